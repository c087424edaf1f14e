// The UTC clock of a Linux machine for the benchmarks: clock_gettime's
// real-time clock, fine to the nanosecond, or cut down to the steps of a
// coarse system clock (55 ms as on Windows 9x, 10 or 15.625 ms as on NT)
// and then interpolated on the monotonic clock by the same precise clock
// the Windows build uses: the benchmarks measure the program on both.
#pragma once

#include "platform/Platform.h"
#include "platform/PreciseClock.h"

namespace tavrel {

// UTC only: the benchmarks never read local time nor set the clock.
class PosixClock : public IClock {
 public:
  // tickMs 0: the machine's own clock. interpolate false: the coarse clock
  // as it reads.
  explicit PosixClock(double tickMs = 0, bool interpolate = true);
  DateTime Now() override { return NowUtc(); }
  DateTime NowUtc() override;
  void SetLocalTime(DateTime) override { Raise(errPermissionDenied); }
  bool MaySetTime() override { return false; }
  void BroadcastTimeChange() override {}
  void WaitUntilUtc(DateTime utc) override;
  uint32_t TickCount() override;
  ClockStep Step() override { return precise_.Step(); }

 private:
  class Sources : public IClockSources {
   public:
    int64_t SystemTime() override;
    int64_t Counter() override;
    double CounterFrequency() override { return 1e9; }
    int64_t tick = 0;  // 100 ns units; 0: not cut
  };
  Sources sources_;
  PreciseClock precise_{sources_};
};

}  // namespace tavrel
