// The real network and clock of the build for the benchmarks: POSIX
// sockets and clock_gettime natively, Winsock and the system clock in the
// Windows build. The clock may be made coarse, as the systems the program
// is for keep it, to measure the program's interpolation against it.
#pragma once

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace tavrel {

struct BenchClockOptions {
  double tickMs = 0;         // the system clock's step; 0: the machine's own
  bool interpolate = true;   // false: the coarse clock as it reads
};

// Takes "--tick MS" and "--no-interpolation" out of the arguments.
inline BenchClockOptions TakeClockOptions(std::vector<std::string>& args) {
  BenchClockOptions options;
  for (std::size_t i = 0; i < args.size();) {
    if (args[i] == "--tick" && i + 1 < args.size()) {
      options.tickMs = std::atof(args[i + 1].c_str());
      args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
    } else if (args[i] == "--no-interpolation") {
      options.interpolate = false;
      args.erase(args.begin() + static_cast<long>(i));
    } else {
      ++i;
    }
  }
  return options;
}

std::unique_ptr<IUdp> MakeBenchUdp();
std::unique_ptr<IClock> MakeBenchClock(const BenchClockOptions& options = BenchClockOptions());

}  // namespace tavrel
