#include "bench/PosixClock.h"

#include <time.h>

namespace tavrel {

PosixClock::PosixClock(double tickMs, bool interpolate) {
  sources_.tick = static_cast<int64_t>(tickMs * 1e4 + 0.5);
  precise_.interpolate = interpolate;
}

// 100 ns units since 1601, as Windows counts: 1970-01-01 is 11644473600 s later.
int64_t PosixClock::Sources::SystemTime() {
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  const int64_t t = (static_cast<int64_t>(now.tv_sec) + 11644473600) * 10000000 + now.tv_nsec / 100;
  return tick > 0 ? t - t % tick : t;
}

int64_t PosixClock::Sources::Counter() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

DateTime PosixClock::NowUtc() { return FromFileTime(precise_.Now()); }

uint32_t PosixClock::TickCount() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<uint32_t>(static_cast<uint64_t>(t.tv_sec) * 1000u + static_cast<uint64_t>(t.tv_nsec) / 1000000u);
}

// Sleeps to within the clock's last step and two milliseconds of the
// moment, then looks at the clock until it has come, as the Windows clock
// does.
void PosixClock::WaitUntilUtc(DateTime utc) {
  const double lookSeconds = (Step().ms + 2) / 1000;
  for (;;) {
    const double left = (utc.Serial() - NowUtc().Serial()) * 86400.0;
    if (left <= 0) return;
    const double sleep = left > lookSeconds ? left - lookSeconds : 0;
    timespec pause{static_cast<time_t>(sleep), static_cast<long>((sleep - static_cast<time_t>(sleep)) * 1e9)};
    nanosleep(&pause, nullptr);
  }
}

}  // namespace tavrel
