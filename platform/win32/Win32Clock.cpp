// The computer's clock: read in local time and in UTC, set in local time,
// and the broadcast that tells every other program the clock moved.
#include "platform/win32/Win32Services.h"
#include "platform/win32/Win32Compat.h"
#include "platform/win32/Win32Convert.h"
#include "platform/win32/Win32Wait.h"

#include <algorithm>
#include <vector>

namespace tavrel {

DateTime Win32Clock::Now() {
  SYSTEMTIME st;
  ::GetLocalTime(&st);
  return FromSystemTime(st);
}

DateTime Win32Clock::NowUtc() {
  FILETIME ft;
  ::GetSystemTimeAsFileTime(&ft);
  ULARGE_INTEGER t;
  t.LowPart = ft.dwLowDateTime;
  t.HighPart = ft.dwHighDateTime;
  // 100 ns steps since 1601-01-01; the serial's zero day is 109205 days
  // later. Days and the rest apart, so the double keeps the microseconds.
  const unsigned long long kDay = 864000000000ull;
  const long long days = static_cast<long long>(t.QuadPart / kDay) - 109205;
  return DateTime(static_cast<double>(days) + static_cast<double>(t.QuadPart % kDay) / kDay);
}

void Win32Clock::SetLocalTime(DateTime localTime) {
  const SYSTEMTIME st = ToSystemTime(localTime);
  // As the system answers a token without the right (1314).
  if (compat::PretendsMissing(compat::Feature::ClockRight)) Raise(errPermissionDenied);
  if (!::SetLocalTime(&st)) RaiseRefusal(GetLastError());
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
  // whole milliseconds and may wake a tick late; the last two milliseconds
  // are spent looking at the clock.
  constexpr double kPaintEveryMs = 50;
  for (;;) {
    PaintPendingWindows();
    const double leftMs = (utc.Serial() - NowUtc().Serial()) * 86400000.0;
    if (leftMs <= 0) return;
    ::Sleep(leftMs > 3 ? static_cast<DWORD>(std::min(leftMs - 2, kPaintEveryMs)) : 0);
  }
}

uint32_t Win32Clock::TickCount() { return ::GetTickCount(); }

}  // namespace tavrel
