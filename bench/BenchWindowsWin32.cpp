#include "bench/BenchWindows.h"

#include "platform/win32/Win32WindowSystem.h"

#include <algorithm>
#include <chrono>
#include <vector>

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

double WindowServerRequestNs(const Control& control) {
  HWND window = GetDlgItem(reinterpret_cast<HWND>(control.Owner().hwnd()), control.Id());
  if (!window) return 0;
  std::vector<double> nanos;
  for (int i = 0; i < 1000; ++i) {
    const auto start = std::chrono::steady_clock::now();
    InvalidateRect(window, nullptr, TRUE);
    nanos.push_back(std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count());
  }
  LetWindowsPaint();
  std::sort(nanos.begin(), nanos.end());
  return nanos[nanos.size() / 2];
}

}  // namespace tavrel
