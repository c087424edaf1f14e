// How long one synchronisation takes from the start of DoAtomicTime to the
// clock call, against a time page on loopback. The clock only records the
// moment it is asked to change; nothing is set. Prints the median of the runs.
//
//   tavrel_sync_bench http://127.0.0.1:PORT [runs] [webclock] [--tick MS]
//                     [--no-interpolation]
//
// With "webclock" the server shows no time text and every host is that
// server: the run takes the web server's clock from its Date headers on
// the real clock, and the offsets it would have set are printed as well,
// one line each with the run's time, for scripts/bench-httpdate.sh; with
// --tick the real clock moves only every MS milliseconds, as on Windows 9x
// (55) or NT (10, 15.625), interpolated unless --no-interpolation.
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
#include "bench/BenchNet.h"

namespace tavrel {
namespace {

using Clock = std::chrono::steady_clock;

// A fixed clock for a time page; the real one, read in UTC (the memory
// time zone has no bias), for the web server clock. A change is only
// recorded, with the offset it would have made.
class RecordingClock : public IClock {
 public:
  explicit RecordingClock(IClock* real) : real_(real) {}
  DateTime Now() override { return real_ ? real_->NowUtc() : now; }
  DateTime NowUtc() override { return real_ ? real_->NowUtc() : now; }
  void SetLocalTime(DateTime to) override {
    calledAt = Clock::now();
    offset = (to.Serial() - Now().Serial()) * 86400.0;
  }
  bool MaySetTime() override { return true; }
  void BroadcastTimeChange() override {}
  void WaitUntilUtc(DateTime utc) override {
    if (real_) real_->WaitUntilUtc(utc);
  }
  uint32_t TickCount() override { return 0; }
  ClockStep Step() override { return real_ ? real_->Step() : ClockStep(); }
  DateTime now = MakeDateTime(2026, 12, 8, 1, 29, 50);
  Clock::time_point calledAt;
  double offset = 0;

 private:
  IClock* real_;
};

}  // namespace
}  // namespace tavrel

int main(int argc, char** argv) {
  using namespace tavrel;
  std::vector<std::string> args(argv + 1, argv + argc);
  const BenchClockOptions clockOptions = TakeClockOptions(args);
  if (args.empty()) {
    std::fprintf(stderr, "usage: %s http://127.0.0.1:PORT [runs] [webclock] [--tick MS] [--no-interpolation]\n",
                 argv[0]);
    return 2;
  }
  const int runs = args.size() > 1 ? std::atoi(args[1].c_str()) : 20;
  const bool webClock = args.size() > 2 && args[2] == "webclock";

  MemoryPlatform memory;
  auto realClock = MakeBenchClock(clockOptions);
  RecordingClock clock(webClock ? realClock.get() : nullptr);
  auto http = MakeBenchHttp();
  Platform p = Sys();
  p.clock = &clock;
  p.http = http.get();
  InstallPlatform(p);
  for (const char* host : {"USNO", "NIST", "eBay"})
    memory.registry.WriteString(RegRoot::LocalMachine, "Software\\VRN\\Tavrel\\Hosts", host, args[0]);

  ProgramName = "Tavrel";
  ProductNumber = "230";
  FrmMain form;
  MainForm = &form;

  std::vector<double> micros;
  std::vector<double> offsets;
  std::vector<double> took;
  for (int i = 0; i < runs; ++i) {
    std::string text;
    const auto start = Clock::now();
    if (!DoAtomicTime(text)) {
      std::fprintf(stderr, "run %d failed: %s\n", i, text.c_str());
      return 1;
    }
    micros.push_back(std::chrono::duration<double, std::micro>(clock.calledAt - start).count());
    offsets.push_back(clock.offset);
    took.push_back(micros.back());
  }
  std::sort(micros.begin(), micros.end());
  std::printf("runs %d  median %.0f us  min %.0f us  max %.0f us\n", runs, micros[micros.size() / 2],
              micros.front(), micros.back());
  // In the order of the runs: the offset each would have set and how long
  // it took to the clock call.
  if (webClock) {
    for (size_t i = 0; i < offsets.size(); ++i) std::printf("offset %+.4f s  took %.0f us\n", offsets[i], took[i]);
    const ClockStep step = clock.Step();
    std::printf("clock step %.3f ms interpolated %s\n", step.ms, step.interpolated ? "yes" : "no");
  }
  MainForm = nullptr;
  return 0;
}
