// Starting other programs: documents and web addresses through the shell,
// command lines as new processes.
#include <vector>

#include "platform/win32/Win32Services.h"
#include "platform/win32/Win32Convert.h"

namespace tavrel {
namespace {
// The shell reads an empty text differently from none (an empty verb is
// not the default verb everywhere).
const char* OrNull(const std::string& text) { return text.empty() ? nullptr : text.c_str(); }
}  // namespace

void Win32Shell::Execute(std::intptr_t ownerWindow, const std::string& verb, const std::string& file,
                         const std::string& parameters, const std::string& directory,
                         int showCommand) {
  ShellExecuteA(reinterpret_cast<HWND>(ownerWindow), OrNull(verb), file.c_str(), OrNull(parameters),
                OrNull(directory), showCommand);
}

void Win32Shell::Run(const std::string& commandLine, int windowStyle) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(windowStyle);
  PROCESS_INFORMATION process{};
  // CreateProcessA may write into the command line, so it gets a copy.
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process))
    Raise(errFileNotFound);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

}  // namespace tavrel
