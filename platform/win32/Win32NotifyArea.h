// The notification area on Win32: Shell_NotifyIconA with the program's
// 88-byte record.
#pragma once

#include "platform/Platform.h"
#include "platform/win32/Win32.h"

namespace tavrel {

class Win32NotifyArea : public INotifyArea {
 public:
  bool Notify(uint32_t message, const TrayIconData& record) override;

  // The shell call, replaceable so that the tests see exactly what the
  // shell would get.
  using ShellNotifyIcon = BOOL(WINAPI*)(DWORD message, PNOTIFYICONDATAA data);
  static ShellNotifyIcon shellCall;
};

}  // namespace tavrel
