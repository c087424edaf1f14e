// The start-up module: Main fills the program-wide state, loads the
// language, records the version, prepares the error log and opens the main
// window. After it returns the program lives in the window's handlers; when
// it returns with MainForm unset, there is no window and the process ends.
#pragma once

#include <string>

namespace tavrel {

void Main();
// Releases the main window (the last act before the process ends).
void ReleaseMainForm();

// Where the settings live: the per-user store's application name
// (VRN\Tavrel\<user>) and the machine-wide one (VRN\Tavrel\<machine code>),
// both with the section "Settings".
std::string UserSettingsApplication();
std::string MachineSettingsApplication();

}  // namespace tavrel
