// The real network and clock of the build for the SNTP benchmark: POSIX
// sockets and clock_gettime natively, Winsock and the system clock in the
// Windows build.
#pragma once

#include <memory>

#include "platform/Platform.h"

namespace tavrel {

std::unique_ptr<IUdp> MakeBenchUdp();
std::unique_ptr<IClock> MakeBenchClock();

}  // namespace tavrel
