// The real platform: every service of platform/Platform.h carried out by the
// Windows calls it stands for. WinMain installs it once; the Windows tests
// install it the same way.
#pragma once

namespace tavrel {

// Fills the platform table with the Windows services and the window system.
void InstallWin32Platform();

// Creates the named mutex that tells a second copy of the program that this
// one runs. Called once, first thing at start-up; later calls do nothing.
void ClaimInstanceMutex();

}  // namespace tavrel
