#include "bench/BenchNet.h"
#include "platform/win32/Win32Services.h"

namespace tavrel {

std::unique_ptr<IUdp> MakeBenchUdp() { return std::make_unique<Win32Udp>(); }

// The system clock cut down to the tick, as the Windows tests make it:
// every Win32Clock reads the same one, WinINet's timestamps included.
std::unique_ptr<IClock> MakeBenchClock(const BenchClockOptions& options) {
  Win32Clock::QuantizeSystemTime(options.tickMs);
  Win32Clock::Interpolate(options.interpolate);
  return std::make_unique<Win32Clock>();
}

}  // namespace tavrel
