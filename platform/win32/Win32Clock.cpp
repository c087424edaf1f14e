// The computer's clock: read and set in local time, and the broadcast that
// tells every other program the clock moved.
#include "platform/win32/Win32Services.h"
#include "platform/win32/Win32Convert.h"

namespace tavrel {

DateTime Win32Clock::Now() {
  SYSTEMTIME st;
  ::GetLocalTime(&st);
  return FromSystemTime(st);
}

void Win32Clock::SetLocalTime(DateTime localTime) {
  const SYSTEMTIME st = ToSystemTime(localTime);
  if (::SetLocalTime(&st)) return;
  const DWORD error = GetLastError();
  // Without the system-time privilege the system answers 1314; an ordinary
  // user meets that, so it reads as the familiar "Permission denied".
  if (error == ERROR_PRIVILEGE_NOT_HELD || error == ERROR_ACCESS_DENIED)
    Raise(errPermissionDenied);
  Raise(errInvalidCall, WindowsMessage(error).empty() ? ErrorDescription(errInvalidCall)
                                                      : WindowsMessage(error));
}

void Win32Clock::BroadcastTimeChange() {
  // A plain SendMessage would wait for ever on a hung window; abort on hung
  // windows and give the others a few seconds each.
  DWORD_PTR result = 0;
  SendMessageTimeoutA(HWND_BROADCAST, WM_TIMECHANGE, 0, 0, SMTO_ABORTIFHUNG, 2000, &result);
}

}  // namespace tavrel
