// How the program's windows can be found from outside: by screen readers,
// by the end-to-end test driver, by anyone with a window spy. Plain
// constants, so that a tool can include this without the program.
#pragma once

namespace tavrel {

// Every form is a top-level window of this class whose title is the form's
// name ("FrmMain", "frmSysTray", "frmAbout"); every control is a child
// window whose control ID is its number in app/ControlIds.h.
constexpr const char* kFormWindowClass = "A_Tavrel_Form";

// The hidden top-level window that receives the timers' ticks.
constexpr const char* kTimerWindowClass = "A_Tavrel_Timers";

}  // namespace tavrel
