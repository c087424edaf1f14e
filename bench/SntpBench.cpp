// How long one SNTP run takes, from the start of the query (parsing the
// server, resolving, opening the socket) to the moment its result is ready
// (four exchanges, the best chosen), against a server on loopback. The
// build's real UDP and clock; nothing is set. Prints the median of the
// runs and the offset they measured.
//
//   tavrel_sntp_bench 127.0.0.1:PORT [runs]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/BenchNet.h"
#include "platform/memory/MemoryPlatform.h"
#include "timesync/Sntp.h"

int main(int argc, char** argv) {
  using namespace tavrel;
  using Clock = std::chrono::steady_clock;
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s 127.0.0.1:PORT [runs]\n", argv[0]);
    return 2;
  }
  const int runs = argc > 2 ? std::atoi(argv[2]) : 20;

  MemoryPlatform memory;  // its random source: the nonce costs nothing to draw
  auto udp = MakeBenchUdp();
  auto clock = MakeBenchClock();
  Platform p = Sys();
  p.udp = udp.get();
  p.clock = clock.get();
  InstallPlatform(p);

  std::vector<double> micros, offsets;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    try {
      const SntpResult result = QueryNtpServer(argv[1]);
      micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
      offsets.push_back(result.offset);
    } catch (const RuntimeError& e) {
      std::fprintf(stderr, "run %d failed: %s\n", i, e.Description().c_str());
      return 1;
    }
  }
  std::sort(micros.begin(), micros.end());
  std::sort(offsets.begin(), offsets.end());
  std::printf("runs %d  median %.0f us  min %.0f us  max %.0f us  (4 exchanges each; offset median %+.3f ms)\n",
              runs, micros[micros.size() / 2], micros.front(), micros.back(), offsets[offsets.size() / 2] * 1e3);
  return 0;
}
