// Facts about this process: where its program file lives, its name and the
// version resource it carries, and whether another copy of the program runs.
#include <cstdio>
#include <vector>

#include "platform/win32/Win32Platform.h"
#include "platform/win32/Win32Services.h"
#include "platform/win32/Win32Convert.h"
#include "platform/win32/WindowClasses.h"

namespace tavrel {
namespace {

// Every copy of the program opens this mutex; the first one creates it. The
// handle stays open for the life of the process and the system closes it at
// exit, so the answer turns false again when the first copy ends.
const char* const kInstanceMutex = "A_Tavrel.Instance.Mutex";
bool g_claimed = false;
bool g_otherCopyRuns = false;

std::string ModulePath() {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n < buffer.size()) return std::string(buffer.data(), n);
    buffer.resize(buffer.size() * 2);
  }
}

std::vector<BYTE> VersionBlock() {
  const std::string path = ModulePath();
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  if (size == 0) return {};
  std::vector<BYTE> block(size);
  if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data())) return {};
  return block;
}

}  // namespace

void ClaimInstanceMutex() {
  if (g_claimed) return;
  g_claimed = true;
  HANDLE mutex = CreateMutexA(nullptr, FALSE, kInstanceMutex);
  g_otherCopyRuns = mutex && GetLastError() == ERROR_ALREADY_EXISTS;
}

std::string Win32Process::AppPath() {
  std::string path = ModulePath();
  const auto slash = path.find_last_of('\\');
  if (slash == std::string::npos) return path;
  path.resize(slash);
  if (path.size() == 2 && path[1] == ':') path += '\\';  // a drive root keeps its backslash
  return path;
}

std::string Win32Process::ExeName() {
  std::string name = ModulePath();
  const auto slash = name.find_last_of('\\');
  if (slash != std::string::npos) name.erase(0, slash + 1);
  const auto dot = name.find_last_of('.');
  if (dot != std::string::npos) name.resize(dot);
  return name;
}

VersionNumbers Win32Process::Version() {
  VersionNumbers numbers;
  std::vector<BYTE> block = VersionBlock();
  if (block.empty()) return numbers;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT size = 0;
  if (!VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &size) || !fixed ||
      size < sizeof *fixed)
    return numbers;
  // 3.10.0.1: the third field is not shown anywhere, the fourth is the
  // revision.
  numbers.major = HIWORD(fixed->dwFileVersionMS);
  numbers.minor = LOWORD(fixed->dwFileVersionMS);
  numbers.revision = LOWORD(fixed->dwFileVersionLS);
  return numbers;
}

std::string Win32Process::ProductName() {
  std::vector<BYTE> block = VersionBlock();
  if (block.empty()) return std::string();
  struct Translation {
    WORD language, codePage;
  };
  Translation* translations = nullptr;
  UINT size = 0;
  std::vector<std::string> tables;
  if (VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations),
                     &size)) {
    for (UINT i = 0; i < size / sizeof(Translation); ++i) {
      char table[16];
      std::snprintf(table, sizeof table, "%04x%04x", translations[i].language, translations[i].codePage);
      tables.push_back(table);
    }
  }
  tables.push_back("040904b0");
  tables.push_back("040904e4");
  for (const std::string& table : tables) {
    char* text = nullptr;
    UINT length = 0;
    const std::string query = "\\StringFileInfo\\" + table + "\\ProductName";
    if (VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&text), &length) && text)
      return std::string(text);
  }
  return std::string();
}

bool Win32Process::PrevInstance() {
  ClaimInstanceMutex();
  return g_otherCopyRuns;
}

// The other copy's main window: a form window titled with its form's name.
// This copy has made no window yet, so the one found is the other's.
void Win32Process::ActivatePrevInstance() {
  HWND main = FindWindowA(kFormWindowClass, "FrmMain");
  if (!main || !IsWindowVisible(main)) return;
  if (GetWindowLongA(main, GWL_STYLE) & WS_MINIMIZE) ShowWindow(main, SW_RESTORE);
  SetForegroundWindow(main);
}

void Win32Process::End() { ExitProcess(0); }

}  // namespace tavrel
