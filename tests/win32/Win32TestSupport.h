// Helpers of the Windows tests: a scratch folder under the system's temp
// folder, a scratch registry key, the question whether we run on Wine, a
// feature the program does without for a while, a drawing surface whose
// pixels a test reads, and a window that tells whether a wait kept painting.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <atomic>
#include <optional>
#include <string>

#include "platform/Platform.h"
#include "platform/win32/Win32.h"
#include "platform/win32/Win32Compat.h"
#include "platform/win32/Win32Platform.h"

namespace tavrel {

// Wine refuses every clock change of a second or more; real Windows with
// the privilege would make it. Tests that ask for a big change run only
// where it is refused for certain.
inline bool RunningOnWine() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// The number of a run-time error thrown by `statement`, 0 when none.
template <class Statement>
long ErrorOf(Statement&& statement) {
  try {
    statement();
  } catch (const RuntimeError& e) {
    return e.Number();
  }
  return 0;
}

// The process's handles as Windows counts them; where Wine's answer is a
// stub (zero), the Unix descriptors of the Wine process that hosts us,
// which every open socket or file holds one of. Nothing when neither is
// there. `counted` says which was counted.
std::optional<unsigned long> OpenHandles(const char*& counted);

// A small visible window that a helper thread keeps marking for painting,
// as a window uncovered during a wait would be: its count of paints tells
// whether the thread that made it painted while it waited. A message
// posted to it stands for a click or a tick, which must stay in the queue.
class PaintProbe {
 public:
  PaintProbe();
  ~PaintProbe();
  PaintProbe(const PaintProbe&) = delete;
  PaintProbe& operator=(const PaintProbe&) = delete;
  int Paints() const { return paints_; }
  void PostClick();
  // Takes the posted message out of the queue; false when it is gone.
  bool ClickStillQueued();

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static DWORD WINAPI Invalidate(void* self);
  HWND window_ = nullptr;
  HANDLE thread_ = nullptr;
  std::atomic<bool> stop_{false};
  std::atomic<int> paints_{0};
};

// A fresh folder for one test, removed with everything in it afterwards.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

// The feature counts as missing while this lives.
class Pretend {
 public:
  explicit Pretend(compat::Feature feature, bool missing = true) : feature_(feature) {
    compat::PretendMissing(feature, missing);
  }
  ~Pretend() { compat::PretendMissing(feature_, false); }
  Pretend(const Pretend&) = delete;
  Pretend& operator=(const Pretend&) = delete;

 private:
  compat::Feature feature_;
};

// A 32-bit drawing surface filled with one colour, read pixel by pixel.
class Canvas {
 public:
  Canvas(int width, int height, COLORREF ground) : width_(width), height_(height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    dc_ = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bits_ = static_cast<const std::uint32_t*>(bits);
    old_ = SelectObject(dc_, bitmap_);
    HBRUSH brush = CreateSolidBrush(ground);
    const RECT all{0, 0, width, height};
    FillRect(dc_, &all, brush);
    DeleteObject(brush);
  }
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  HDC dc() const { return dc_; }
  RECT All() const { return RECT{0, 0, width_, height_}; }
  COLORREF At(int x, int y) const {
    GdiFlush();
    const std::uint32_t v = bits_[y * width_ + x];
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
  }

 private:
  int width_, height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  const std::uint32_t* bits_ = nullptr;
};

}  // namespace tavrel
