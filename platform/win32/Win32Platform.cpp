#include "platform/win32/Win32Platform.h"

#include "platform/win32/Win32NotifyArea.h"
#include "platform/win32/Win32Services.h"
#include "platform/win32/Win32Speech.h"
#include "platform/win32/Win32WindowSystem.h"

namespace tavrel {

namespace {

struct Win32Platform {
  Win32Clock clock;
  Win32Http http;
  Win32Udp udp;
  Win32Random random;
  Win32Registry registry;
  Win32FileSystem files;
  Win32Shell shell;
  Win32Sound sound;
  Win32Speech speech;
  Win32Downloads downloads;
  Win32SystemInfo system;
  Win32Locale locale;
  Win32TimeZone timeZone;
  Win32Process process;
  Win32WindowSystem windows;
  Win32NotifyArea notifyArea;
};

}  // namespace

void InstallWin32Platform() {
  // One of each for the life of the process; nothing in them needs tearing
  // down before the system reclaims the process.
  static Win32Platform services;
  InstallPlatform(TableOf(services));
}

}  // namespace tavrel
