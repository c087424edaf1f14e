// How long one SNTP synchronisation takes against a server on loopback,
// measured twice over the build's real UDP and clock:
//   - the query alone: from the start of the query (parsing the server,
//     resolving, opening the socket) to the moment its result is ready
//     (four exchanges, the best chosen);
//   - the whole run the program makes: from the start of DoAtomicTime with
//     "NTP client within a local network" chosen to its clock call, the
//     figure to set beside the web page's (tavrel_sync_bench).
// The clock only records the moment it is asked to change; nothing is set.
// Prints the medians of the runs, and each query's offset for
// scripts/bench-sntp.sh. With --tick the real clock moves only every MS
// milliseconds, as on Windows 9x (55) or NT (10, 15.625), interpolated
// unless --no-interpolation.
//
//   tavrel_sntp_bench 127.0.0.1:PORT [runs] [--tick MS] [--no-interpolation]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/FrmMain.h"
#include "bench/BenchNet.h"
#include "platform/memory/MemoryPlatform.h"
#include "support/Globals.h"
#include "timesync/NtpServerBook.h"
#include "timesync/Sntp.h"
#include "timesync/VRN_TimeSync.h"

namespace tavrel {
namespace {

using Clock = std::chrono::steady_clock;

// The real clock for reading; a change is only recorded.
class RecordingClock : public IClock {
 public:
  explicit RecordingClock(IClock& real) : real_(real) {}
  DateTime Now() override { return real_.Now(); }
  DateTime NowUtc() override { return real_.NowUtc(); }
  void SetLocalTime(DateTime) override { calledAt = Clock::now(); }
  bool MaySetTime() override { return true; }
  void BroadcastTimeChange() override {}
  void WaitUntilUtc(DateTime utc) override { real_.WaitUntilUtc(utc); }
  uint32_t TickCount() override { return real_.TickCount(); }
  ClockStep Step() override { return real_.Step(); }
  Clock::time_point calledAt;

 private:
  IClock& real_;
};

void Print(const char* what, std::vector<double> micros) {
  std::sort(micros.begin(), micros.end());
  std::printf("%s: runs %zu  median %.0f us  min %.0f us  max %.0f us\n", what, micros.size(),
              micros[micros.size() / 2], micros.front(), micros.back());
}

}  // namespace
}  // namespace tavrel

int main(int argc, char** argv) {
  using namespace tavrel;
  std::vector<std::string> args(argv + 1, argv + argc);
  const BenchClockOptions clockOptions = TakeClockOptions(args);
  if (args.empty()) {
    std::fprintf(stderr, "usage: %s 127.0.0.1:PORT [runs] [--tick MS] [--no-interpolation]\n", argv[0]);
    return 2;
  }
  const std::string server = args[0];
  const int runs = args.size() > 1 ? std::atoi(args[1].c_str()) : 20;

  MemoryPlatform memory;  // its random source: the nonce costs nothing to draw
  auto udp = MakeBenchUdp();
  auto realClock = MakeBenchClock(clockOptions);
  RecordingClock clock(*realClock);
  Platform p = Sys();
  p.udp = udp.get();
  p.clock = &clock;
  InstallPlatform(p);

  std::vector<double> micros, offsets;
  for (int i = 0; i < runs; ++i) {
    const auto start = Clock::now();
    try {
      const SntpResult result = QueryNtpServer(server);
      micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
      offsets.push_back(result.offset);
    } catch (const RuntimeError& e) {
      std::fprintf(stderr, "run %d failed: %s\n", i, e.Description().c_str());
      return 1;
    }
  }
  for (double offset : offsets) std::printf("offset %+.6f s\n", offset);
  const ClockStep step = clock.Step();
  std::printf("clock step %.3f ms interpolated %s\n", step.ms, step.interpolated ? "yes" : "no");
  std::sort(offsets.begin(), offsets.end());
  Print("query", micros);
  std::printf("       (4 exchanges each; offset median %+.3f ms)\n", offsets[offsets.size() / 2] * 1e3);

  ProgramName = "Tavrel";
  ProductNumber = "230";
  FrmMain form;
  MainForm = &form;
  form.optTimeSource(2).SetValue(-1);
  form.txtIPaddress.SetText(server);
  micros.clear();
  for (int i = 0; i < runs; ++i) {
    std::string text;
    // The program asks a server at most once in 15 s; the runs here are
    // back to back, and what they measure is one run.
    TheNtpServerBook().Clear();
    const auto start = Clock::now();
    if (!DoAtomicTime(text)) {
      std::fprintf(stderr, "DoAtomicTime run %d failed\n", i);
      return 1;
    }
    micros.push_back(std::chrono::duration<double, std::micro>(clock.calledAt - start).count());
  }
  Print("DoAtomicTime to the clock call", micros);
  MainForm = nullptr;
  return 0;
}
