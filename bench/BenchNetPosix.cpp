#include "bench/BenchNet.h"
#include "bench/PosixClock.h"
#include "bench/PosixUdp.h"

namespace tavrel {

std::unique_ptr<IUdp> MakeBenchUdp() { return std::make_unique<PosixUdp>(); }

std::unique_ptr<IClock> MakeBenchClock(const BenchClockOptions& options) {
  return std::make_unique<PosixClock>(options.tickMs, options.interpolate);
}

}  // namespace tavrel
