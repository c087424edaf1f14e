#include "platform/win32/Win32Platform.h"

#include "platform/win32/Win32NotifyArea.h"
#include "platform/win32/Win32Services.h"
#include "platform/win32/Win32Speech.h"
#include "platform/win32/Win32WindowSystem.h"

namespace tavrel {

void InstallWin32Platform() {
  // One of each for the life of the process; nothing in them needs tearing
  // down before the system reclaims the process.
  static Win32Clock clock;
  static Win32Http http;
  static Win32Udp udp;
  static Win32Random random;
  static Win32Registry registry;
  static Win32FileSystem files;
  static Win32Shell shell;
  static Win32Sound sound;
  static Win32Speech speech;
  static Win32Downloads downloads;
  static Win32SystemInfo system;
  static Win32Locale locale;
  static Win32TimeZone timeZone;
  static Win32Process process;
  static Win32WindowSystem windows;
  static Win32NotifyArea notifyArea;

  Platform p;
  p.clock = &clock;
  p.http = &http;
  p.udp = &udp;
  p.random = &random;
  p.registry = &registry;
  p.files = &files;
  p.shell = &shell;
  p.sound = &sound;
  p.speech = &speech;
  p.downloads = &downloads;
  p.system = &system;
  p.locale = &locale;
  p.timeZone = &timeZone;
  p.process = &process;
  p.windows = &windows;
  p.notifyArea = &notifyArea;
  InstallPlatform(p);
}

}  // namespace tavrel
