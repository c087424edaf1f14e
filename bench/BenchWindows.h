// The window system a benchmark runs on: the in-memory one natively, the
// real one in the Windows build, where the process's GDI and USER objects
// can be counted.
#pragma once

namespace tavrel {

class Control;

struct ObjectCounts {
  bool known = false;
  // Where the system does not count (Wine answers 0), the figures are the
  // next free GDI handle slot and the number of the thread's windows: a
  // leak of either grows them all the same.
  bool probed = false;
  unsigned long gdi = 0, user = 0;
};

// Puts the build's window system into the installed platform.
void InstallBenchWindows();
ObjectCounts CountObjects();
// Lets the windows paint what changed (nothing to do natively).
void LetWindowsPaint();
// The median time of one call that goes to the window system's server
// (under Wine, wineserver) for the control's window: the floor of any
// change to a window. 0 natively.
double WindowServerRequestNs(const Control& control);

}  // namespace tavrel
