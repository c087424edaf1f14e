// The process entry: claim the instance mutex before anything can take
// long, install the Windows platform and run the start-up procedure. When
// start-up left no main window (a missing language file), the program ends
// here; otherwise the message loop carries it until the window ends it.
//
// TAVREL_CLOCK_STEP_MS in the environment makes the program read the system
// time in steps of that many milliseconds, as Windows 9x (55) and NT (10,
// 15.625) keep it: the end-to-end tests run it so under Wine, whose clock
// is fine.
#include "app/A_Tavrel_Main.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/Win32Services.h"
#include "platform/win32/Win32WindowSystem.h"
#include "platform/win32/Win32Compat.h"
#include "support/Globals.h"
#include "support/Text.h"

namespace {

void ClockStepFromEnvironment() {
  char text[32] = {};
  const DWORD length = GetEnvironmentVariableA("TAVREL_CLOCK_STEP_MS", text, sizeof text);
  if (length == 0 || length >= sizeof text) return;
  try {
    tavrel::Win32Clock::QuantizeSystemTime(tavrel::CDbl(text, '.'));
  } catch (const tavrel::RuntimeError&) {
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  tavrel::ClaimInstanceMutex();
  tavrel::compat::PretendMissingFromEnvironment();
  tavrel::InstallWin32Platform();
  ClockStepFromEnvironment();
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
