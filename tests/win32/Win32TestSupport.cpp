#include "Win32TestSupport.h"

#include <shellapi.h>

#include <vector>

namespace tavrel {

ScratchFolder::ScratchFolder() {
  char temp[MAX_PATH] = {};
  GetTempPathA(sizeof temp, temp);
  static int counter = 0;
  path_ = std::string(temp) + "tavrel_test_" + std::to_string(GetCurrentProcessId()) + "_" +
          std::to_string(++counter);
  CreateDirectoryA(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() {
  // Read-only and hidden entries would stop the removal.
  WIN32_FIND_DATAA entry;
  HANDLE find = FindFirstFileA((path_ + "\\*").c_str(), &entry);
  if (find != INVALID_HANDLE_VALUE) {
    do SetFileAttributesA((path_ + "\\" + entry.cFileName).c_str(), FILE_ATTRIBUTE_NORMAL);
    while (FindNextFileA(find, &entry));
    FindClose(find);
  }
  std::vector<char> from(path_.begin(), path_.end());
  from.push_back('\0');
  from.push_back('\0');
  SHFILEOPSTRUCTA op{};
  op.wFunc = FO_DELETE;
  op.pFrom = from.data();
  op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
  SHFileOperationA(&op);
}

std::optional<unsigned long> OpenHandles(const char*& counted) {
  typedef BOOL(WINAPI * HandleCount)(HANDLE, PDWORD);
  const auto count = reinterpret_cast<HandleCount>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetProcessHandleCount")));
  DWORD handles = 0;
  if (count && count(GetCurrentProcess(), &handles) && handles > 0) {
    counted = "process handles";
    return handles;
  }
  WIN32_FIND_DATAA entry;
  HANDLE find = FindFirstFileA("Z:\\proc\\self\\fd\\*", &entry);
  if (find == INVALID_HANDLE_VALUE) return std::nullopt;
  unsigned long descriptors = 0;
  do descriptors += entry.cFileName[0] != '.';
  while (FindNextFileA(find, &entry));
  FindClose(find);
  counted = "Unix descriptors of the Wine process";
  return descriptors;
}

namespace {
constexpr UINT kProbeClick = WM_APP + 23;
}  // namespace

PaintProbe::PaintProbe() {
  WNDCLASSA cls{};
  cls.lpfnWndProc = Proc;
  cls.hInstance = GetModuleHandleA(nullptr);
  cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  cls.lpszClassName = "TavrelPaintProbe";
  RegisterClassA(&cls);  // fails harmlessly from the second probe on
  window_ = CreateWindowExA(0, cls.lpszClassName, "", WS_POPUP | WS_VISIBLE, 0, 0, 80, 40, nullptr, nullptr,
                            cls.hInstance, nullptr);
  SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  // The first painting of a new window is not the wait's doing.
  UpdateWindow(window_);
  paints_ = 0;
  thread_ = CreateThread(nullptr, 0, Invalidate, this, 0, nullptr);
}

PaintProbe::~PaintProbe() {
  stop_ = true;
  if (thread_) {
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
  }
  DestroyWindow(window_);
}

void PaintProbe::PostClick() { PostMessageA(window_, kProbeClick, 0, 0); }

bool PaintProbe::ClickStillQueued() {
  MSG msg;
  return PeekMessageA(&msg, window_, kProbeClick, kProbeClick, PM_REMOVE) != FALSE;
}

LRESULT CALLBACK PaintProbe::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_PAINT) return DefWindowProcA(hwnd, message, wParam, lParam);
  PAINTSTRUCT ps;
  BeginPaint(hwnd, &ps);
  EndPaint(hwnd, &ps);
  if (auto* probe = reinterpret_cast<PaintProbe*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA))) ++probe->paints_;
  return 0;
}

DWORD WINAPI PaintProbe::Invalidate(void* self) {
  auto* probe = static_cast<PaintProbe*>(self);
  while (!probe->stop_) {
    InvalidateRect(probe->window_, nullptr, FALSE);
    Sleep(30);
  }
  return 0;
}

}  // namespace tavrel
