// The Windows clock's interpolation under Wine, whose system time is fine:
// cut down to the steps of Windows 9x (55 ms) and NT (15.625, 10 ms), on the
// performance counter and on the multimedia timer, the UTC clock must read
// between the steps, never behind the system time nor more than a step
// ahead of it, and never backwards; a WM_TIMECHANGE that reaches a form's
// window lets it go back with a clock set back. How close it comes to the
// time is measured by scripts/bench-httpdate.sh and bench-sntp.sh.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "platform/Forms.h"
#include "platform/PreciseClock.h"
#include "platform/win32/Win32Services.h"
#include "Win32TestSupport.h"

namespace tavrel {
namespace {

// A date keeps about a microsecond: what a reading may lose on its way
// through one (100 ns units).
const int64_t kDateGrain = 20;

// The system time as Wine keeps it, in 100 ns units.
int64_t FineSystemTime() {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  return static_cast<int64_t>(static_cast<uint64_t>(ft.dwHighDateTime) << 32 | ft.dwLowDateTime);
}

struct Counter {
  const char* name;
  bool performanceCounter;
};

class CoarseWin32Clock : public ::testing::TestWithParam<std::tuple<double, Counter>> {
 protected:
  void SetUp() override {
    Win32Clock::PretendNoPerformanceCounter(!std::get<1>(GetParam()).performanceCounter);
    Win32Clock::QuantizeSystemTime(TickMs());
  }
  void TearDown() override {
    Win32Clock::QuantizeSystemTime(0);
    Win32Clock::PretendNoPerformanceCounter(false);
  }
  double TickMs() const { return std::get<0>(GetParam()); }
  // The system time as the clock meets it, cut down to the step.
  int64_t SystemTime() const {
    const int64_t t = FineSystemTime();
    const int64_t tick = static_cast<int64_t>(TickMs() * 1e4 + 0.5);
    return t - t % tick;
  }
};

TEST_P(CoarseWin32Clock, ReadsBetweenTheStepsNeverBehindNorAStepAheadNorBackwards) {
  Win32Clock clock;
  const ClockStep step = clock.Step();
  EXPECT_NEAR(TickMs(), step.ms, 0.001);
  EXPECT_TRUE(step.interpolated);

  const int64_t tick = static_cast<int64_t>(TickMs() * 1e4 + 0.5);
  int64_t last = 0;
  std::size_t mostWithinAStep = 0;
  std::set<int64_t> withinThisStep;
  int64_t thisStep = 0;
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < 400) {
    const int64_t before = SystemTime();
    const int64_t t = ToFileTime(clock.NowUtc());
    const int64_t after = SystemTime();
    ASSERT_GE(t, before - kDateGrain);
    ASSERT_LE(t, after + tick + kDateGrain);
    ASSERT_GE(t, last - kDateGrain);
    last = t;
    if (before != after) continue;
    if (before != thisStep) withinThisStep.clear(), thisStep = before;
    withinThisStep.insert(t);
    mostWithinAStep = std::max(mostWithinAStep, withinThisStep.size());
    Sleep(0);
  }
  // The system time alone shows one value a step.
  EXPECT_GE(mostWithinAStep, 5u);

  Win32Clock::Interpolate(false);
  EXPECT_FALSE(clock.Step().interpolated);
  const int64_t before = SystemTime();
  const int64_t coarse = ToFileTime(clock.NowUtc());
  Win32Clock::Interpolate(true);
  EXPECT_TRUE(std::llabs(coarse - before) <= kDateGrain || std::llabs(coarse - before - tick) <= kDateGrain);
}

INSTANTIATE_TEST_SUITE_P(Steps, CoarseWin32Clock,
                         ::testing::Combine(::testing::Values(55.0, 15.625, 10.0),
                                            ::testing::Values(Counter{"PerformanceCounter", true},
                                                              Counter{"MultimediaTimer", false})),
                         [](const auto& info) {
                           return std::string(std::get<1>(info.param).name) + "_" +
                                  std::to_string(static_cast<int>(std::get<0>(info.param) * 1000)) + "us";
                         });

TEST(FineWin32Clock, IsTheSystemTimeAsItIs) {
  Win32Clock clock;
  EXPECT_LT(clock.Step().ms, 1);
  EXPECT_FALSE(clock.Step().interpolated);
  const int64_t before = FineSystemTime();
  const int64_t t = ToFileTime(clock.NowUtc());
  EXPECT_GE(t, before - kDateGrain);
  EXPECT_LT(t - before, 10000);
}

// Another program sets the clock 20 ms back, early in a 55 ms step and
// long after the clock was last read: nothing in the readings tells, and
// the clock would stand still until the time caught up. Told by
// WM_TIMECHANGE, it follows the system's at once.
TEST(Win32ClockTimeChange, AFormWindowThatHearsOfTheChangeLetsTheClockGoBack) {
  InstallWin32Platform();
  Win32Clock::QuantizeSystemTime(55);
  Form form("PreciseClockTestForm", BorderStyle::Hidden);
  form.Load();
  Win32Clock clock;
  clock.NowUtc();
  Sleep(120);
  const int64_t back = 200000;
  while ((FineSystemTime() - back) % 550000 > 50000) Sleep(0);
  Win32Clock::ShiftSystemTime(-20);
  SendMessageA(reinterpret_cast<HWND>(form.hwnd()), WM_TIMECHANGE, 0, 0);
  const int64_t after = ToFileTime(clock.NowUtc());
  const int64_t set = FineSystemTime() - back;
  Win32Clock::ShiftSystemTime(0);
  Win32Clock::QuantizeSystemTime(0);
  form.Unload();
  EXPECT_NEAR(0, (after - set) / 1e4, 8);
}

}  // namespace
}  // namespace tavrel
