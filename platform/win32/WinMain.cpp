// The process entry: claim the instance mutex before anything can take
// long, install the Windows platform and run the start-up procedure. When
// start-up left no main window (a missing language file), the program ends
// here; otherwise the message loop carries it until the window ends it.
#include "app/A_Tavrel_Main.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/Win32WindowSystem.h"
#include "platform/win32/Win32Compat.h"
#include "support/Globals.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  tavrel::ClaimInstanceMutex();
  tavrel::compat::PretendMissingFromEnvironment();
  tavrel::InstallWin32Platform();
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
