// Folders and files on real Windows paths. Failures become the run-time
// errors the program's file helpers expect: 53 missing file, 76 missing
// folder, 70 no access, 75 anything else about the path.
#include <algorithm>
#include <cstring>

#include "platform/win32/Win32Services.h"
#include "platform/win32/Win32Convert.h"

namespace tavrel {
namespace {

bool IsFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Opening a folder as a file is "access denied" to Windows, but a path
// error to the program.
[[noreturn]] void RaiseFileError(const std::string& path, DWORD error) {
  if (error == ERROR_ACCESS_DENIED && IsFolder(path)) Raise(errPathFileAccess);
  Raise(FileErrorNumber(error));
}

class FindHandle {
 public:
  explicit FindHandle(HANDLE h) : h_(h) {}
  ~FindHandle() { if (h_ != INVALID_HANDLE_VALUE) FindClose(h_); }
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

bool Counts(const WIN32_FIND_DATAA& entry, unsigned wanted) {
  const DWORD a = entry.dwFileAttributes;
  if (a & FILE_ATTRIBUTE_DIRECTORY) {
    // "." and ".." are not entries of their own.
    if (!(wanted & attrDirectory)) return false;
    if (!strcmp(entry.cFileName, ".") || !strcmp(entry.cFileName, "..")) return false;
  }
  if ((a & FILE_ATTRIBUTE_HIDDEN) && !(wanted & attrHidden)) return false;
  if ((a & FILE_ATTRIBUTE_SYSTEM) && !(wanted & attrSystem)) return false;
  return true;
}

}  // namespace

bool Win32FileSystem::FolderExists(const std::string& path) { return IsFolder(path); }

void Win32FileSystem::CreateFolder(const std::string& path) {
  if (CreateDirectoryA(path.c_str(), nullptr)) return;
  const DWORD error = GetLastError();
  if (error == ERROR_ALREADY_EXISTS) Raise(errPathFileAccess, "File already exists");
  Raise(FileErrorNumber(error));
}

bool Win32FileSystem::MatchExists(const std::string& pattern, unsigned attributes) {
  WIN32_FIND_DATAA entry;
  FindHandle find(FindFirstFileA(pattern.c_str(), &entry));
  if (find.get() == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_INVALID_NAME || error == ERROR_BAD_PATHNAME) Raise(errBadFileName);
    return false;
  }
  do {
    if (Counts(entry, attributes)) return true;
  } while (FindNextFileA(find.get(), &entry));
  return false;
}

std::string Win32FileSystem::ReadAll(const std::string& path) {
  KernelHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) RaiseFileError(path, GetLastError());
  std::string bytes;
  char buffer[65536];
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr)) Raise(FileErrorNumber(GetLastError()));
    if (read == 0) break;
    bytes.append(buffer, read);
  }
  return bytes;
}

void Win32FileSystem::Write(const std::string& path, const std::string& bytes, bool append) {
  // OPEN_ALWAYS and an explicit truncation rather than CREATE_ALWAYS, which
  // refuses to replace a hidden or system file.
  KernelHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) RaiseFileError(path, GetLastError());
  if (append) {
    if (SetFilePointer(file.get(), 0, nullptr, FILE_END) == INVALID_SET_FILE_POINTER &&
        GetLastError() != NO_ERROR)
      Raise(FileErrorNumber(GetLastError()));
  } else if (!SetEndOfFile(file.get())) {
    Raise(FileErrorNumber(GetLastError()));
  }
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
    if (!WriteFile(file.get(), bytes.data() + done, chunk, &written, nullptr) || written == 0)
      Raise(FileErrorNumber(GetLastError()));
    done += written;
  }
}

// FindFirstFileA answers on every Windows the program runs on.
uint64_t Win32FileSystem::Size(const std::string& path) {
  WIN32_FIND_DATAA entry{};
  FindHandle find(FindFirstFileA(path.c_str(), &entry));
  if (find.get() == INVALID_HANDLE_VALUE) RaiseFileError(path, GetLastError());
  if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) Raise(errPathFileAccess);
  return (static_cast<uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
}

// Windows 95, 98 and Me have no MoveFileEx: the old file goes first.
void Win32FileSystem::Rename(const std::string& from, const std::string& to) {
  if (GetFileAttributesA(from.c_str()) == INVALID_FILE_ATTRIBUTES) RaiseFileError(from, GetLastError());
  if (!DeleteFileA(to.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) RaiseFileError(to, GetLastError());
  if (!MoveFileA(from.c_str(), to.c_str())) RaiseFileError(from, GetLastError());
}

}  // namespace tavrel
