// How long one synchronisation takes from the start of DoAtomicTime to the
// clock call, against a time page on loopback. The clock only records the
// moment it is asked to change; nothing is set. Prints the median of the runs.
//
//   tavrel_sync_bench http://127.0.0.1:PORT [runs]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/FrmMain.h"
#include "platform/memory/MemoryPlatform.h"
#include "support/Globals.h"
#include "timesync/VRN_TimeSync.h"
#include "bench/BenchHttp.h"

namespace tavrel {
namespace {

using Clock = std::chrono::steady_clock;

class RecordingClock : public IClock {
 public:
  DateTime Now() override { return now; }
  DateTime NowUtc() override { return now; }
  void SetLocalTime(DateTime) override { calledAt = Clock::now(); }
  void BroadcastTimeChange() override {}
  uint32_t TickCount() override { return 0; }
  DateTime now = MakeDateTime(2026, 12, 8, 1, 29, 50);
  Clock::time_point calledAt;
};

}  // namespace
}  // namespace tavrel

int main(int argc, char** argv) {
  using namespace tavrel;
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s http://127.0.0.1:PORT [runs]\n", argv[0]);
    return 2;
  }
  const int runs = argc > 2 ? std::atoi(argv[2]) : 20;

  MemoryPlatform memory;
  RecordingClock clock;
  auto http = MakeBenchHttp();
  Platform p = Sys();
  p.clock = &clock;
  p.http = http.get();
  InstallPlatform(p);
  memory.registry.WriteString(RegRoot::LocalMachine, "Software\\VRN\\Tavrel\\Hosts", "USNO", argv[1]);

  ProgramName = "Tavrel";
  ProductNumber = "230";
  FrmMain form;
  MainForm = &form;

  std::vector<double> micros;
  for (int i = 0; i < runs; ++i) {
    std::string text;
    const auto start = Clock::now();
    if (!DoAtomicTime(text)) {
      std::fprintf(stderr, "run %d failed: %s\n", i, text.c_str());
      return 1;
    }
    micros.push_back(std::chrono::duration<double, std::micro>(clock.calledAt - start).count());
  }
  std::sort(micros.begin(), micros.end());
  std::printf("runs %d  median %.0f us  min %.0f us  max %.0f us\n", runs, micros[micros.size() / 2],
              micros.front(), micros.back());
  MainForm = nullptr;
  return 0;
}
