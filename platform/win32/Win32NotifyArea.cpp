// The notification area. The program keeps its icon's record in the 32-bit
// shell's 88-byte layout; the 32-bit program hands it over as it is. Built
// for x86_64 (the tests on a machine without 32-bit support), the shell
// reads the 64-bit NOTIFYICONDATAA, so the record is copied field by field
// into one, with the same size meaning ("the first version's record").
#include "platform/win32/Win32NotifyArea.h"

#include <cstring>

namespace tavrel {

Win32NotifyArea::ShellNotifyIcon Win32NotifyArea::shellCall = Shell_NotifyIconA;

namespace {

// A 32-bit handle widened as the system widens it: sign-extended.
template <class Handle>
Handle Widen(uint32_t handle) {
  return reinterpret_cast<Handle>(static_cast<intptr_t>(static_cast<int32_t>(handle)));
}

}  // namespace

bool Win32NotifyArea::Notify(uint32_t message, const TrayIconData& record) {
#if defined(_WIN64)
  NOTIFYICONDATAA data;
  std::memset(&data, 0, sizeof data);
  data.cbSize = record.cbSize == sizeof(TrayIconData) ? NOTIFYICONDATAA_V1_SIZE : record.cbSize;
  data.hWnd = Widen<HWND>(record.hWnd);
  data.uID = record.uID;
  data.uFlags = record.uFlags;
  data.uCallbackMessage = record.uCallbackMessage;
  data.hIcon = Widen<HICON>(record.hIcon);
  static_assert(sizeof data.szTip >= sizeof record.szTip, "the tip fits");
  std::memcpy(data.szTip, record.szTip, sizeof record.szTip);
  return shellCall(message, &data) != FALSE;
#else
  static_assert(sizeof(void*) == 4 && NOTIFYICONDATAA_V1_SIZE == sizeof(TrayIconData),
                "the 32-bit shell reads the program's record as it is");
  TrayIconData data = record;
  return shellCall(message, reinterpret_cast<PNOTIFYICONDATAA>(&data)) != FALSE;
#endif
}

}  // namespace tavrel
