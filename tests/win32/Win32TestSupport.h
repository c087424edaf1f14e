// Helpers of the Windows tests: a scratch folder under the system's temp
// folder, a scratch registry key, and the question whether we run on Wine.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/Platform.h"
#include "platform/win32/Win32.h"
#include "platform/win32/Win32Platform.h"

namespace tavrel {

// Wine refuses every clock change of a second or more; real Windows with
// the privilege would make it. Tests that ask for a big change run only
// where it is refused for certain.
inline bool RunningOnWine() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// The number of a run-time error thrown by `statement`, 0 when none.
template <class Statement>
long ErrorOf(Statement&& statement) {
  try {
    statement();
  } catch (const RuntimeError& e) {
    return e.Number();
  }
  return 0;
}

// The process's handles as Windows counts them; where Wine's answer is a
// stub (zero), the Unix descriptors of the Wine process that hosts us,
// which every open socket or file holds one of. Nothing when neither is
// there. `counted` says which was counted.
std::optional<unsigned long> OpenHandles(const char*& counted);

// A fresh folder for one test, removed with everything in it afterwards.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

}  // namespace tavrel
