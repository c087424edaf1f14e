// The computer's clock: read in local time and in UTC, set in local time,
// and the broadcast that tells every other program the clock moved. The UTC
// clock is the system's, interpolated on the performance counter where the
// system moves its time in coarse steps (Windows 9x every 55 ms, NT every 10
// or 15.625 ms); where there is no performance counter, on the multimedia
// timer at its finest. The precise clock is one for the process and is read
// from more than one thread (a fetch's worker reads the times it was sent
// and answered), so every use of it holds a critical section.
#include "platform/win32/Win32Services.h"
#include "platform/win32/Win32Compat.h"
#include "platform/win32/Win32Convert.h"
#include "platform/win32/Win32Wait.h"

#include <mmsystem.h>

#include <algorithm>
#include <vector>

#include "platform/PreciseClock.h"

namespace tavrel {
namespace {

// The multimedia timer's finest period, asked for once and given back as
// the process ends.
struct FinerTimer {
  ~FinerTimer() {
    if (held) ::timeEndPeriod(1);
  }
  bool held = false;
};
FinerTimer g_finerTimer;

class Win32ClockSources : public IClockSources {
 public:
  int64_t SystemTime() override {
    FILETIME ft;
    ::GetSystemTimeAsFileTime(&ft);
    const int64_t t = static_cast<int64_t>(static_cast<uint64_t>(ft.dwHighDateTime) << 32 | ft.dwLowDateTime) + shift;
    return tick > 0 ? t - t % tick : t;
  }

  int64_t Counter() override {
    Choose();
    if (frequency_ > 0) {
      LARGE_INTEGER count;
      ::QueryPerformanceCounter(&count);
      return count.QuadPart;
    }
    // Milliseconds in 32 bits: carried on past their wrap after 49.7 days.
    const DWORD ms = ::timeGetTime();
    if (ms < lastMs_) wraps_ += int64_t{1} << 32;
    lastMs_ = ms;
    return wraps_ + ms;
  }

  double CounterFrequency() override {
    Choose();
    return frequency_ > 0 ? static_cast<double>(frequency_) : 1000.0;
  }

  void Rechoose() { chosen_ = false; }

  int64_t tick = 0;   // 100 ns units the system time is cut down to; 0: not cut
  int64_t shift = 0;  // 100 ns units added to the system time
  bool noPerformanceCounter = false;

 private:
  void Choose() {
    if (chosen_) return;
    chosen_ = true;
    LARGE_INTEGER f;
    frequency_ = !noPerformanceCounter && ::QueryPerformanceFrequency(&f) ? f.QuadPart : 0;
    // The multimedia timer counts whole milliseconds only once asked to;
    // the request holds until the process ends.
    if (frequency_ <= 0 && !g_finerTimer.held) g_finerTimer.held = ::timeBeginPeriod(1) == TIMERR_NOERROR;
  }

  bool chosen_ = false;
  LONGLONG frequency_ = 0;
  DWORD lastMs_ = 0;
  int64_t wraps_ = 0;
};

struct SharedClock {
  SharedClock() { ::InitializeCriticalSection(&lock); }
  CRITICAL_SECTION lock;
  Win32ClockSources sources;
  PreciseClock precise{sources};
};

// Never destroyed: a worker left behind at its deadline may still read the
// clock while the process ends.
SharedClock& Shared() {
  static SharedClock* clock = new SharedClock;
  return *clock;
}

// The shared clock, held by this thread for the object's life.
class HeldClock {
 public:
  HeldClock() : shared_(Shared()) { ::EnterCriticalSection(&shared_.lock); }
  ~HeldClock() { ::LeaveCriticalSection(&shared_.lock); }
  HeldClock(const HeldClock&) = delete;
  HeldClock& operator=(const HeldClock&) = delete;
  SharedClock* operator->() { return &shared_; }

 private:
  SharedClock& shared_;
};

}  // namespace

DateTime Win32Clock::Now() {
  SYSTEMTIME st;
  ::GetLocalTime(&st);
  return FromSystemTime(st);
}

DateTime Win32Clock::NowUtc() { return FromFileTime(HeldClock()->precise.Now()); }

ClockStep Win32Clock::Step() { return HeldClock()->precise.Step(); }

void Win32Clock::TimeChanged() { HeldClock()->precise.Changed(); }

void Win32Clock::QuantizeSystemTime(double tickMs) {
  HeldClock clock;
  clock->sources.tick = static_cast<int64_t>(tickMs * 1e4 + 0.5);
  clock->precise.Reset();
}

void Win32Clock::ShiftSystemTime(double ms) { HeldClock()->sources.shift = static_cast<int64_t>(ms * 1e4); }

void Win32Clock::PretendNoPerformanceCounter(bool missing) {
  HeldClock clock;
  clock->sources.noPerformanceCounter = missing;
  clock->sources.Rechoose();
  clock->precise.Reset();
}

void Win32Clock::Interpolate(bool on) { HeldClock()->precise.interpolate = on; }

void Win32Clock::SetLocalTime(DateTime localTime) {
  // As the system answers a token without the right (1314).
  if (compat::PretendsMissing(compat::Feature::ClockRight)) Raise(errPermissionDenied);
  // Set just after the system clock's tick, to the time meant for the call
  // moved on by the wait: the system's next tick then comes a whole step
  // after the time set. Held throughout, so that no other thread's reading
  // falls between the tick and the change.
  HeldClock clock;
  const SYSTEMTIME st = ToSystemTime(localTime.AddSeconds(clock->precise.AwaitTick()));
  if (!::SetLocalTime(&st)) RaiseRefusal(GetLastError());
  clock->precise.Changed();
}

bool Win32Clock::MaySetTime() {
  // Windows 9x has no accounts that could be refused.
  if (::GetVersion() & 0x80000000u) return true;
  if (compat::PretendsMissing(compat::Feature::ClockRight)) return false;
  LUID right;
  HANDLE token = nullptr;
  if (!::LookupPrivilegeValueA(nullptr, SE_SYSTEMTIME_NAME, &right) ||
      !::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
    return true;  // not known: setting the clock will tell
  DWORD size = 0;
  ::GetTokenInformation(token, TokenPrivileges, nullptr, 0, &size);
  std::vector<BYTE> buffer(size ? size : 1);
  const bool read = size && ::GetTokenInformation(token, TokenPrivileges, buffer.data(), size, &size);
  ::CloseHandle(token);
  if (!read) return true;
  // The right counts when the token holds it, switched on or not:
  // SetLocalTime switches it on for the call (PrivilegeCheck would ask
  // whether it is on already, and it is off by default, even for an
  // administrator).
  const auto* held = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
  for (DWORD i = 0; i < held->PrivilegeCount; ++i) {
    const LUID& luid = held->Privileges[i].Luid;
    if (luid.LowPart == right.LowPart && luid.HighPart == right.HighPart) return true;
  }
  return false;
}

void Win32Clock::BroadcastTimeChange() {
  // A plain SendMessage would wait for ever on a hung window; abort on hung
  // windows and give the others a few seconds each.
  DWORD_PTR result = 0;
  SendMessageTimeoutA(HWND_BROADCAST, WM_TIMECHANGE, 0, 0, SMTO_ABORTIFHUNG, 2000, &result);
}

void Win32Clock::WaitUntilUtc(DateTime utc) {
  // A synchronisation waits here for seconds on the window's thread. The
  // windows paint meanwhile, and asking for messages keeps the system from
  // taking the window for one that hangs (Windows greys it out after five
  // seconds, Wine stops answering other programs' questions about it);
  // clicks and ticks wait in the queue until the run is over. Sleep takes
  // whole milliseconds and may wake a step of the system clock late; the
  // last step and two milliseconds are spent looking at the clock.
  constexpr double kPaintEveryMs = 50;
  const double lookMs = Step().ms + 2;
  for (;;) {
    PaintPendingWindows();
    const double leftMs = (utc.Serial() - NowUtc().Serial()) * 86400000.0;
    if (leftMs <= 0) return;
    ::Sleep(leftMs > lookMs + 1 ? static_cast<DWORD>(std::min(leftMs - lookMs, kPaintEveryMs)) : 0);
  }
}

uint32_t Win32Clock::TickCount() { return ::GetTickCount(); }

}  // namespace tavrel
