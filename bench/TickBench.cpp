// What one tick of the main window's timer costs when no synchronisation is
// due, and whether ticks leave window-system objects behind.
//
//   tavrel_tick_bench [ticks]
//
// Natively the window is the in-memory one and the figure is the median
// time of one tick. In the Windows build the window is real: the tick
// changes its labels, which paint when the window system next lets them
// (timed apart, after each tick), and the process's GDI and USER object
// counts are printed before and after all the ticks.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/FrmMain.h"
#include "bench/BenchWindows.h"
#include "platform/memory/MemoryPlatform.h"
#include "support/Globals.h"

int main(int argc, char** argv) {
  using namespace tavrel;
  using Clock = std::chrono::steady_clock;
  const int ticks = argc > 1 ? std::atoi(argv[1]) : 10000;

  MemoryPlatform memory;
  InstallBenchWindows();
  ProgramName = "Tavrel";
  ProductNumber = "230";
  UserName = "BENCH";
  FrmMain form;
  MainForm = &form;
  form.Load();

  // The window shows in Form_Load and makes its other controls' windows
  // right after: counted from there.
  LetWindowsPaint();
  const ObjectCounts before = CountObjects();
  std::vector<double> nanos;
  // The clock text changes every other tick: those ticks change the clock
  // label (the header clock, hidden, takes it when it shows), the others
  // find nothing to change.
  std::vector<double> changing, unchanged, painting;
  nanos.reserve(ticks);
  for (int i = 0; i < ticks; ++i) {
    memory.clock.Advance(0.5);
    const std::string before = form.lblTime.Caption();
    const auto start = Clock::now();
    form.Timer1_Timer();
    nanos.push_back(std::chrono::duration<double, std::nano>(Clock::now() - start).count());
    const bool changed = form.lblTime.Caption() != before;
    (changed ? changing : unchanged).push_back(nanos.back());
    const auto paintStart = Clock::now();
    LetWindowsPaint();
    if (changed) painting.push_back(std::chrono::duration<double, std::nano>(Clock::now() - paintStart).count());
  }
  const ObjectCounts after = CountObjects();
  std::sort(nanos.begin(), nanos.end());
  std::printf("ticks %d  median %.0f ns  min %.0f ns  max %.0f ns\n", ticks, nanos[nanos.size() / 2], nanos.front(),
              nanos.back());
  auto median = [](std::vector<double>& v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
  };
  std::printf("changing the clock text: %zu ticks, median %.0f ns; the others: %zu ticks, median %.0f ns\n",
              changing.size(), median(changing), unchanged.size(), median(unchanged));
  std::printf("painting after a tick that changed the clock text: median %.0f ns\n", median(painting));
  if (const double request = WindowServerRequestNs(form.lblTime))
    std::printf("one request to the window server (marking the clock label for painting): median %.0f ns\n",
                request);
  if (before.known && !before.probed)
    std::printf("GDI objects %lu -> %lu, USER objects %lu -> %lu\n", before.gdi, after.gdi, before.user, after.user);
  if (before.probed)
    std::printf("next free GDI slot %lu -> %lu, windows %lu -> %lu\n", before.gdi, after.gdi, before.user,
                after.user);
  MainForm = nullptr;
  return 0;
}
