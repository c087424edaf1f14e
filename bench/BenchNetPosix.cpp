#include "bench/BenchNet.h"
#include "bench/PosixUdp.h"

namespace tavrel {

std::unique_ptr<IUdp> MakeBenchUdp() { return std::make_unique<PosixUdp>(); }
std::unique_ptr<IClock> MakeBenchClock() { return std::make_unique<PosixClock>(); }

}  // namespace tavrel
