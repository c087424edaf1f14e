#include "bench/BenchNet.h"
#include "platform/win32/Win32Services.h"

namespace tavrel {

std::unique_ptr<IUdp> MakeBenchUdp() { return std::make_unique<Win32Udp>(); }
std::unique_ptr<IClock> MakeBenchClock() { return std::make_unique<Win32Clock>(); }

}  // namespace tavrel
