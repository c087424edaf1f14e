// Path and file helpers. Folder tests and folder creation, file lookups,
// reading and writing all go through Sys().files, so the same code runs on
// the real file system and on the in-memory one of the tests.
#include "support/VRN_File_Dir.h"

#include "platform/Forms.h"
#include "platform/Platform.h"
#include "support/ErrorTrap.h"
#include "support/Text.h"
#include "support/VRN_ErrorLog.h"

namespace tavrel {
namespace {

const char* const kModule = "VRN_File_Dir";

// Normal, read-only, hidden and system files; folders never match.
constexpr unsigned kAnyFile = attrReadOnly | attrHidden | attrSystem;

// 1-based position where the first folder that may be created starts.
// Server and share of a UNC path and the root of a drive are never created.
long FirstCreatablePosition(const std::string& path) {
  const long length = static_cast<long>(path.size());
  if (Left(path, 2) == "\\\\") {
    const long serverEnd = InStr(3, path, "\\");
    if (serverEnd == 0) return length + 1;
    const long shareEnd = serverEnd + 1 <= length ? InStr(serverEnd + 1, path, "\\") : 0;
    return shareEnd == 0 ? length + 1 : shareEnd + 1;
  }
  if (path.size() >= 2 && path[1] == ':') return path.size() >= 3 && path[2] == '\\' ? 4 : 3;
  // Relative paths: "\a\b\" hangs below the current drive's root, "a\b\"
  // below the current folder. Both start creating at their first name.
  return path[0] == '\\' ? 2 : 1;
}

}  // namespace

bool DirExists(const std::string& path) {
  bool result = false;
  ErrorTrap trap(ProductSource(), ModuleProcedure(kModule, "DirExists"));
  trap(10, [&] { result = Sys().files->FolderExists(path); });
  LetEventsRun();
  return result;
}

bool FileExists(std::string& path) {
  bool result = false;
  ErrorTrap trap(ProductSource(), ModuleProcedure(kModule, "FileExists"));
  const std::string original = path;
  trap.afterReport = [&] { LogErrorDetails(original); };
  bool usable = false;
  if (!trap(10, [&] {
        path = Trim(path);
        usable = !path.empty() && path.back() != '\\';
      }))
    return false;
  if (!usable) return false;
  ErrorTrap::Quietly([&] { result = Sys().files->MatchExists(path, kAnyFile); });
  return result;
}

void WriteFileW(const std::string& path, const std::string& text, bool append) {
  ErrorTrap trap(ProductSource(), ModuleProcedure(kModule, "WriteFileW"));
  // The folder part is everything before the last backslash. A name without
  // any backslash lives in the current folder: there is nothing to create,
  // and making a folder of the file's own name would only block the write.
  const auto cut = path.rfind('\\');
  if (cut != std::string::npos) CreateDirectoryStruct(path.substr(0, cut));
  trap(20, [&] { Sys().files->Write(path, text + "\r\n", append); });
  LetEventsRun();
}

std::string ReadFileW(const std::string& path) {
  std::string result;
  ErrorTrap::Quietly([&] { result = Sys().files->ReadAll(path); });
  return result;
}

std::string sFixDirString(const std::string& path) {
  std::string result;
  ErrorTrap trap(ProductSource(), ModuleProcedure(kModule, "sFixDirString"));
  trap(10, [&] { result = (path.empty() || path.back() != '\\') ? path + "\\" : path; });
  return result;
}

std::string sParsePath(const std::string& path) {
  std::string result;
  ErrorTrap trap(ProductSource(), ModuleProcedure(kModule, "sParsePath"));
  if (path.size() < 4) {
    trap(10, [&] { result = sFixDirString(path); });
    return result;
  }
  trap(20, [&] {
    const auto last = path.rfind('\\');
    result = last == std::string::npos ? std::string() : path.substr(0, last);
  });
  return result;
}

void CreateDirectoryStruct(const std::string& folder) {
  ErrorTrap trap(ProductSource(), ModuleProcedure(kModule, "CreateDirectoryStruct"));
  const std::string path = sFixDirString(folder);
  trap.afterReport = [&] { LogErrorDetails(path); };
  if (DirExists(path)) return;

  long start = 0;
  if (!trap(20, [&] { start = FirstCreatablePosition(path); })) return;
  std::string root = Left(path, start - 1);
  const long length = static_cast<long>(path.size());
  while (root != path && start <= length) {
    std::string segment;
    if (!trap(40, [&] {
          const long next = InStr(start, path, "\\");
          segment = next == 0 ? Mid(path, start, length) : Mid(path, start, next - start);
        }))
      return;
    start += static_cast<long>(segment.size()) + 1;
    const std::string candidate = root + segment;
    // An empty segment (a doubled backslash) names the folder already done.
    if (!segment.empty() && !DirExists(candidate)) {
      if (!trap(50, [&] { Sys().files->CreateFolder(candidate); })) return;
    }
    root = Left(path, start - 1);
  }
}

}  // namespace tavrel
