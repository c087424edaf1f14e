// The start-up module: Main fills the program-wide state, loads the
// language, records the version, prepares the error log and opens the main
// window. After it returns the program lives in the window's handlers; when
// it returns with MainForm unset, there is no window and the process ends.
#pragma once

namespace tavrel {

void Main();

}  // namespace tavrel
