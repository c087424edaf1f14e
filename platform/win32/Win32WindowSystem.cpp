// The window system's program-wide part: window classes, the display's
// resolution and font, message boxes, the message loop and the timers.
#include "platform/win32/Win32WindowSystem.h"

#include "platform/win32/WindowClasses.h"
#include "platform/win32/resource.h"

namespace tavrel {
namespace {

// Hands a keyboard message to the form it belongs to, so that Tab, the
// arrow keys and the space bar move between and press the controls.
bool IsFormKeyboardMessage(MSG& msg) {
  if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
  HWND root = GetAncestor(msg.hwnd, GA_ROOT);
  return root && Win32FormPeer::IsFormWindow(root) && IsDialogMessageA(root, &msg);
}

}  // namespace

COLORREF ToColorRef(long color) {
  if (color & 0x80000000L) return GetSysColor(static_cast<int>(color & 0xFF));
  return static_cast<COLORREF>(color & 0xFFFFFF);
}

Win32WindowSystem::Win32WindowSystem() {
  HDC screen = GetDC(nullptr);
  if (screen) {
    dpi_ = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
  }
  if (dpi_ <= 0) dpi_ = 96;
  font_ = CreateFontA(-MulDiv(8, dpi_, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                      OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                      DEFAULT_PITCH | FF_SWISS, "MS Shell Dlg");
}

Win32WindowSystem::~Win32WindowSystem() {
  if (timerWindow_) DestroyWindow(timerWindow_);
  if (font_) DeleteObject(font_);
}

void Win32WindowSystem::RegisterClasses() {
  if (registered_) return;
  registered_ = true;
  // The date picker and the tooltips live in the common controls.
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_DATE_CLASSES | ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSEXA form{};
  form.cbSize = sizeof form;
  form.lpfnWndProc = Win32FormPeer::WindowProc;
  form.hInstance = instance;
  form.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_APP));
  form.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  form.lpszClassName = kFormWindowClass;
  RegisterClassExA(&form);

  WNDCLASSEXA timers{};
  timers.cbSize = sizeof timers;
  timers.lpfnWndProc = TimerWindowProc;
  timers.hInstance = instance;
  timers.lpszClassName = kTimerWindowClass;
  RegisterClassExA(&timers);
}

std::unique_ptr<FormPeer> Win32WindowSystem::CreateFormPeer(Form& form) {
  RegisterClasses();
  return std::make_unique<Win32FormPeer>(*this, form);
}

std::unique_ptr<TimerPeer> Win32WindowSystem::CreateTimerPeer(Timer& timer) {
  RegisterClasses();
  return std::make_unique<Win32TimerPeer>(*this, timer);
}

int Win32WindowSystem::MessageBox(const std::string& text, const std::string& title, long style) {
  return MessageBoxA(GetActiveWindow(), text.c_str(), title.c_str(), static_cast<UINT>(style));
}

void Win32WindowSystem::DoEvents() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // The quit belongs to the outer loop; put it back for it.
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    if (IsFormKeyboardMessage(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

int Win32WindowSystem::RunMessageLoop() {
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (IsFormKeyboardMessage(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}

WindowHandle Win32WindowSystem::DesktopWindow() {
  return reinterpret_cast<WindowHandle>(GetDesktopWindow());
}

long Win32WindowSystem::ScreenWidthTwips() { return ToTwips(GetSystemMetrics(SM_CXSCREEN)); }

long Win32WindowSystem::ScreenHeightTwips() { return ToTwips(GetSystemMetrics(SM_CYSCREEN)); }

int Win32WindowSystem::ToPixels(long twips) const { return MulDiv(twips, dpi_, 1440); }

long Win32WindowSystem::ToTwips(int pixels) const { return MulDiv(pixels, 1440, dpi_); }

// ---------------------------------------------------------------------------
// Timers tick on a message-only window, so they run whether or not any form
// exists or is visible.

HWND Win32WindowSystem::TimerWindow() {
  if (!timerWindow_) {
    RegisterClasses();
    timerWindow_ = CreateWindowExA(0, kTimerWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   GetModuleHandleA(nullptr), this);
    SetWindowLongPtrA(timerWindow_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  return timerWindow_;
}

UINT_PTR Win32WindowSystem::AddTimer(Win32TimerPeer* peer) {
  const UINT_PTR id = nextTimerId_++;
  timers_[id] = peer;
  return id;
}

void Win32WindowSystem::RemoveTimer(UINT_PTR id) {
  if (timerWindow_) KillTimer(timerWindow_, id);
  timers_.erase(id);
}

void Win32WindowSystem::OnTimer(UINT_PTR id) {
  const auto it = timers_.find(id);
  if (it != timers_.end()) it->second->Fire();
}

LRESULT CALLBACK Win32WindowSystem::TimerWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* system = reinterpret_cast<Win32WindowSystem*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (message != WM_TIMER || !system) return DefWindowProcA(hwnd, message, wParam, lParam);
  // No exception may cross into the system's message dispatch.
  try {
    system->OnTimer(wParam);
  } catch (...) {
  }
  return 0;
}

Win32TimerPeer::Win32TimerPeer(Win32WindowSystem& system, Timer& timer)
    : system_(system), timer_(timer), id_(system.AddTimer(this)) {
  Update();
}

Win32TimerPeer::~Win32TimerPeer() { system_.RemoveTimer(id_); }

void Win32TimerPeer::Update() {
  if (timer_.Enabled() && timer_.Interval() > 0)
    SetTimer(system_.TimerWindow(), id_, static_cast<UINT>(timer_.Interval()), nullptr);
  else if (HWND window = system_.TimerWindow())
    KillTimer(window, id_);
}

void Win32TimerPeer::Fire() {
  // A handler that lets events run must not see its own timer tick again
  // inside itself; the ticks meanwhile are dropped, not queued up.
  if (firing_) return;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{firing_};
  firing_ = true;
  timer_.Fire();
}

}  // namespace tavrel
