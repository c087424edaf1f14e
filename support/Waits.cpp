#include "support/Waits.h"

#include <cmath>
#include <cstdint>

#include "platform/Forms.h"
#include "platform/Platform.h"

namespace tavrel {

void WaitWithEvents(double ms) {
  const uint32_t start = Sys().clock->TickCount();
  // Unsigned 32-bit difference: right across the tick's wrap after 49.7 days.
  while (static_cast<uint32_t>(Sys().clock->TickCount() - start) < ms) Sys().windows->WaitForEvents(50);
}

double MsFromWholeSecond(double seconds) {
  const double now = Sys().clock->Now().Serial() * 86400.0;
  // Whole milliseconds: the tick counts no finer.
  return std::round((std::round(now) + seconds - now) * 1000.0);
}

}  // namespace tavrel
