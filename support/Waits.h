// Waits that keep the window alive: pending events run while the time
// passes. Time is measured on the system's tick, never on the wall clock,
// which a synchronisation itself may step by hours in either direction.
#pragma once

namespace tavrel {

// Lets window events run until `ms` milliseconds have passed on the tick.
void WaitWithEvents(double ms);

// Milliseconds from now until `seconds` after the current time rounded to a
// whole second: a wait of 2 s "from the whole second" lasts 1.5 to 2.5 s.
double MsFromWholeSecond(double seconds);

}  // namespace tavrel
