#include "Win32TestSupport.h"

#include <shellapi.h>

#include <vector>

namespace tavrel {

ScratchFolder::ScratchFolder() {
  char temp[MAX_PATH] = {};
  GetTempPathA(sizeof temp, temp);
  static int counter = 0;
  path_ = std::string(temp) + "tavrel_test_" + std::to_string(GetCurrentProcessId()) + "_" +
          std::to_string(++counter);
  CreateDirectoryA(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() {
  // Read-only and hidden entries would stop the removal.
  WIN32_FIND_DATAA entry;
  HANDLE find = FindFirstFileA((path_ + "\\*").c_str(), &entry);
  if (find != INVALID_HANDLE_VALUE) {
    do SetFileAttributesA((path_ + "\\" + entry.cFileName).c_str(), FILE_ATTRIBUTE_NORMAL);
    while (FindNextFileA(find, &entry));
    FindClose(find);
  }
  std::vector<char> from(path_.begin(), path_.end());
  from.push_back('\0');
  from.push_back('\0');
  SHFILEOPSTRUCTA op{};
  op.wFunc = FO_DELETE;
  op.pFrom = from.data();
  op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
  SHFileOperationA(&op);
}

std::optional<unsigned long> OpenHandles(const char*& counted) {
  typedef BOOL(WINAPI * HandleCount)(HANDLE, PDWORD);
  const auto count = reinterpret_cast<HandleCount>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetProcessHandleCount")));
  DWORD handles = 0;
  if (count && count(GetCurrentProcess(), &handles) && handles > 0) {
    counted = "process handles";
    return handles;
  }
  WIN32_FIND_DATAA entry;
  HANDLE find = FindFirstFileA("Z:\\proc\\self\\fd\\*", &entry);
  if (find == INVALID_HANDLE_VALUE) return std::nullopt;
  unsigned long descriptors = 0;
  do descriptors += entry.cFileName[0] != '.';
  while (FindNextFileA(find, &entry));
  FindClose(find);
  counted = "Unix descriptors of the Wine process";
  return descriptors;
}


}  // namespace tavrel
