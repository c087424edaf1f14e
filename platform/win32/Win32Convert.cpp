#include "platform/win32/Win32Convert.h"

#include <cmath>

namespace tavrel {

SYSTEMTIME ToSystemTime(DateTime value) {
  // Whole milliseconds, so that 12:00:00.9996 becomes 12:00:01.000 rather
  // than a field that reads 59.999 seconds.
  const long long total = std::llround(value.Serial() * 86400000.0);
  long long days = total / 86400000;
  long long ms = total % 86400000;
  if (ms < 0) {
    ms += 86400000;
    --days;
  }
  const DateTime date(static_cast<double>(days));
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(date.Year());
  st.wMonth = static_cast<WORD>(date.Month());
  st.wDayOfWeek = static_cast<WORD>(date.Weekday() - 1);
  st.wDay = static_cast<WORD>(date.Day());
  st.wHour = static_cast<WORD>(ms / 3600000);
  st.wMinute = static_cast<WORD>(ms / 60000 % 60);
  st.wSecond = static_cast<WORD>(ms / 1000 % 60);
  st.wMilliseconds = static_cast<WORD>(ms % 1000);
  return st;
}

DateTime FromSystemTime(const SYSTEMTIME& st) {
  return MakeDateTime(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond)
      .AddSeconds(st.wMilliseconds / 1000.0);
}

SystemTime ToRecord(const SYSTEMTIME& st) {
  SystemTime r;
  r.wYear = st.wYear;
  r.wMonth = st.wMonth;
  r.wDayOfWeek = st.wDayOfWeek;
  r.wDay = st.wDay;
  r.wHour = st.wHour;
  r.wMinute = st.wMinute;
  r.wSecond = st.wSecond;
  r.wMilliseconds = st.wMilliseconds;
  return r;
}

SYSTEMTIME FromRecord(const SystemTime& r) {
  SYSTEMTIME st{};
  st.wYear = r.wYear;
  st.wMonth = r.wMonth;
  st.wDayOfWeek = r.wDayOfWeek;
  st.wDay = r.wDay;
  st.wHour = r.wHour;
  st.wMinute = r.wMinute;
  st.wSecond = r.wSecond;
  st.wMilliseconds = r.wMilliseconds;
  return st;
}

long FileErrorNumber(DWORD windowsError) {
  switch (windowsError) {
    case ERROR_FILE_NOT_FOUND: return errFileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME: return errPathNotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT: return errPermissionDenied;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE: return errBadFileName;
    default: return errPathFileAccess;
  }
}

std::string WindowsMessage(DWORD windowsError) {
  char buffer[512] = {};
  const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                 windowsError, 0, buffer, sizeof buffer, nullptr);
  std::string text(buffer, n);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
    text.pop_back();
  return text;
}

void RaiseRefusal(DWORD windowsError) {
  // Without the system-time privilege the system answers 1314; an ordinary
  // user meets that, so it reads as the familiar "Permission denied".
  if (windowsError == ERROR_PRIVILEGE_NOT_HELD || windowsError == ERROR_ACCESS_DENIED) Raise(errPermissionDenied);
  const std::string message = WindowsMessage(windowsError);
  Raise(errInvalidCall, message.empty() ? ErrorDescription(errInvalidCall) : message);
}

int MouseShift(WPARAM keys) {
  int shift = 0;
  if (keys & MK_SHIFT) shift |= vbShiftMask;
  if (keys & MK_CONTROL) shift |= vbCtrlMask;
  if (GetKeyState(VK_MENU) < 0) shift |= vbAltMask;
  return shift;
}

int MouseButtons(WPARAM keys) {
  int buttons = 0;
  if (keys & MK_LBUTTON) buttons |= vbLeftButton;
  if (keys & MK_RBUTTON) buttons |= vbRightButton;
  if (keys & MK_MBUTTON) buttons |= vbMiddleButton;
  return buttons;
}

}  // namespace tavrel
