#include "bench/BenchWindows.h"

#include "platform/win32/Win32WindowSystem.h"

namespace tavrel {

void InstallBenchWindows() {
  static Win32WindowSystem windows;
  Platform p = Sys();
  p.windows = &windows;
  InstallPlatform(p);
}

namespace {

BOOL CALLBACK CountWindow(HWND hwnd, LPARAM count) {
  ++*reinterpret_cast<unsigned long*>(count);
  EnumChildWindows(hwnd, CountWindow, count);
  return TRUE;
}

}  // namespace

ObjectCounts CountObjects() {
  ObjectCounts counts;
  counts.known = true;
  counts.gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  counts.user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
  if (counts.gdi || counts.user) return counts;
  counts.probed = true;
  // A freed GDI slot is handed out again first, so a new object lands in
  // the lowest free slot: it moves up only while objects pile up.
  HBRUSH probe = CreateSolidBrush(0);
  counts.gdi = LOWORD(reinterpret_cast<UINT_PTR>(probe));
  DeleteObject(probe);
  counts.user = 0;
  EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&counts.user));
  return counts;
}

void LetWindowsPaint() { Sys().windows->DoEvents(); }

}  // namespace tavrel
