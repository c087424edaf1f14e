// The process entry: claim the instance mutex before anything can take
// long, install the Windows platform and run the start-up procedure. When
// start-up left no main window (a missing language file), the program ends
// here; otherwise the message loop carries it until the window ends it.
//
// TAVREL_CLOCK_STEP_MS in the environment makes the program read the system
// time in steps of that many milliseconds, as Windows 9x (55) and NT (10,
// 15.625) keep it: the end-to-end tests run it so under Wine, whose clock
// is fine.
#include <cstdlib>

#include "app/A_Tavrel_Main.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/Win32Services.h"
#include "platform/win32/Win32WindowSystem.h"
#include "support/Globals.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  tavrel::ClaimInstanceMutex();
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_DATE_CLASSES | ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  tavrel::InstallWin32Platform();
  if (const char* step = std::getenv("TAVREL_CLOCK_STEP_MS")) tavrel::Win32Clock::QuantizeSystemTime(std::atof(step));
  try {
    tavrel::Main();
  } catch (...) {
    // Start-up traps its own errors; anything else must not show the user
    // a crash dialog.
  }
  if (!tavrel::MainForm) return 0;
  auto* windows = static_cast<tavrel::Win32WindowSystem*>(tavrel::Sys().windows);
  return windows->RunMessageLoop();
}
