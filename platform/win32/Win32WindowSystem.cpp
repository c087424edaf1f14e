// The window system's program-wide part: window classes, the display's
// resolution, the shared fonts and icons, message boxes, popup menus, the
// message loop and the timers. The pictures are drawn in Win32Paint.cpp.
#include "platform/win32/Win32WindowSystem.h"

#include "platform/win32/Win32Compat.h"
#include "platform/win32/WindowClasses.h"
#include <algorithm>

#include "platform/win32/resource.h"

namespace tavrel {
namespace {

// Hands a keyboard message to the form it belongs to, so that Tab, the
// arrow keys and the space bar move between and press the controls.
bool IsFormKeyboardMessage(MSG& msg) {
  if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
  HWND root = compat::RootWindow(msg.hwnd);
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
}

Win32WindowSystem::~Win32WindowSystem() {
  if (timerWindow_) DestroyWindow(timerWindow_);
  for (auto& font : fonts_) DeleteObject(font.second);
  for (auto& bitmap : bitmaps_) {
    if (bitmap.second.handle) DeleteObject(bitmap.second.handle);
    if (bitmap.second.mask) DeleteObject(bitmap.second.mask);
  }
  for (auto& icon : icons_) DestroyIcon(icon.second);
}

HFONT Win32WindowSystem::FontOf(const Font& font) {
  const auto key = std::make_tuple(font.name, font.size, font.bold);
  const auto it = fonts_.find(key);
  if (it != fonts_.end()) return it->second;
  const std::string face = compat::InstalledFace(font.name);
  HFONT handle = CreateFontA(-MulDiv(font.size, dpi_, 72), 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE,
                             FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, compat::FontQuality(),
                             DEFAULT_PITCH | FF_SWISS, face.c_str());
  fonts_[key] = handle;
  return handle;
}

HICON Win32WindowSystem::IconOf(int id, int size) {
  const auto key = std::make_pair(id, size);
  const auto it = icons_.find(key);
  if (it != icons_.end()) return it->second;
  HICON icon = static_cast<HICON>(
      LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
  icons_[key] = icon;
  return icon;
}

WindowHandle Win32WindowSystem::IconHandle(int picture) {
  return reinterpret_cast<WindowHandle>(IconOf(picture, GetSystemMetrics(SM_CXSMICON)));
}

HCURSOR Win32WindowSystem::CursorOf(MousePointer pointer) {
  switch (pointer) {
    case MousePointer::Arrow: return LoadCursorA(nullptr, IDC_ARROW);
    case MousePointer::Hourglass: return LoadCursorA(nullptr, IDC_WAIT);
    case MousePointer::ArrowQuestion: return LoadCursorA(nullptr, IDC_HELP);
    case MousePointer::Hand: return compat::HandCursor();
    case MousePointer::Default: break;
  }
  return nullptr;
}

void Win32WindowSystem::SetScreenPointer(MousePointer pointer) {
  screenPointer_ = pointer;
  // Shown at once: a program that is about to block sends no WM_SETCURSOR.
  SetCursor(CursorOf(pointer == MousePointer::Default ? MousePointer::Arrow : pointer));
}

unsigned Win32WindowSystem::RegisterMessage(const std::string& name) {
  return RegisterWindowMessageA(name.c_str());
}

int Win32WindowSystem::PopupMenu(Form& owner, const std::vector<MenuItem>& items, int defaultIndex) {
  // Without its owner window a menu cannot be tracked; it is not made at
  // all, so no handle is left behind.
  HWND hwnd = reinterpret_cast<HWND>(owner.hwnd());
  if (!hwnd || !IsWindow(hwnd)) return -1;
  HMENU menu = CreatePopupMenu();
  if (!menu) return -1;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (!items[i].visible) continue;
    const UINT id = static_cast<UINT>(i + 1);
    if (items[i].caption == "-")
      AppendMenuA(menu, MF_SEPARATOR, id, nullptr);
    else
      AppendMenuA(menu, MF_STRING | (items[i].enabled ? MF_ENABLED : MF_GRAYED), id, items[i].caption.c_str());
  }
  if (defaultIndex >= 0) SetMenuDefaultItem(menu, static_cast<UINT>(defaultIndex + 1), FALSE);
  POINT at{};
  GetCursorPos(&at);
  // A menu of a window that is not in the foreground does not close when
  // the user clicks elsewhere; the WM_NULL afterwards lets the next popup
  // of a notification-area icon open on the first click.
  SetForegroundWindow(hwnd);
  const int chosen = static_cast<int>(TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_LEFTBUTTON, at.x,
                                                       at.y, hwnd, nullptr));
  PostMessageA(hwnd, WM_NULL, 0, 0);
  DestroyMenu(menu);
  return chosen - 1;
}

void Win32WindowSystem::RegisterClasses() {
  if (registered_) return;
  registered_ = true;
  // The date picker and the tooltips live in the common controls; a control
  // whose class is missing all the same is reported when it is made.
  commonControls_ = compat::InitCommonControls(ICC_DATE_CLASSES | ICC_WIN95_CLASSES);

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

// Every message but raw input (XP), which Windows 2000 and earlier refuse
// to wait for: there the wait would fail at once, every time.
const DWORD Win32WindowSystem::kWakeMask = QS_KEY | QS_MOUSEMOVE | QS_MOUSEBUTTON | QS_POSTMESSAGE | QS_TIMER |
                                           QS_PAINT | QS_SENDMESSAGE | QS_HOTKEY;

void Win32WindowSystem::WaitForEvents(unsigned ms) { WaitForEventsWith(ms, MsgWaitForMultipleObjects); }

void Win32WindowSystem::WaitForEventsWith(unsigned ms, WaitFunction wait) {
  // A wait that fails returns at once; the callers wait in a loop, which
  // must not turn into a busy one.
  if (wait(0, nullptr, FALSE, ms, kWakeMask) == WAIT_FAILED) Sleep(ms);
  DoEvents();
}

// GetMessage answers -1 when it fails, and leaves the record unfilled then:
// the loop ends with kLoopFailed, not with whatever the record held.
int Win32WindowSystem::RunMessageLoop(GetMessageFunction get) {
  MSG msg{};
  for (;;) {
    const BOOL got = get(&msg, nullptr, 0, 0);
    if (got == -1) return kLoopFailed;
    if (got == 0) return static_cast<int>(msg.wParam);
    if (IsFormKeyboardMessage(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

bool Win32WindowSystem::PumpOne() {
  MSG msg{};
  const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
  if (got <= 0) {
    PostQuitMessage(got == -1 ? kLoopFailed : static_cast<int>(msg.wParam));
    return false;
  }
  if (!IsFormKeyboardMessage(msg)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return true;
}

WindowHandle Win32WindowSystem::DesktopWindow() {
  return reinterpret_cast<WindowHandle>(GetDesktopWindow());
}

long Win32WindowSystem::ScreenWidthTwips() { return ToTwips(GetSystemMetrics(SM_CXSCREEN)); }

long Win32WindowSystem::ScreenHeightTwips() { return ToTwips(GetSystemMetrics(SM_CYSCREEN)); }

// Windows 98 and 2000 on know several screens; 95 and NT 4.0 answer 0 for
// the virtual screen and have the main one only.
Rect Win32WindowSystem::DesktopTwips() {
  RECT r{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  compat::VirtualScreen(r);
  return Rect{ToTwips(r.left), ToTwips(r.top), ToTwips(r.right - r.left), ToTwips(r.bottom - r.top)};
}

int Win32WindowSystem::ToPixels(long twips) const { return MulDiv(twips, dpi_, 1440); }

long Win32WindowSystem::ToTwips(int pixels) const { return MulDiv(pixels, 1440, dpi_); }

// ---------------------------------------------------------------------------
// Timers tick on a window of their own, so they run whether or not any form
// exists or is visible. A hidden top-level window without owner: every
// version has it, while message-only windows came with Windows 2000.

HWND Win32WindowSystem::TimerWindow() {
  if (!timerWindow_) {
    RegisterClasses();
    timerWindow_ = CreateWindowExA(WS_EX_TOOLWINDOW, kTimerWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr,
                                   nullptr, GetModuleHandleA(nullptr), this);
    if (timerWindow_) SetWindowLongPtrA(timerWindow_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
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
  GuardEvent("TimerProc of the window system", [&] { system->OnTimer(wParam); });
  return 0;
}

Win32TimerPeer::Win32TimerPeer(Win32WindowSystem& system, Timer& timer)
    : system_(system), timer_(timer), id_(system.AddTimer(this)) {
  Update();
}

Win32TimerPeer::~Win32TimerPeer() { system_.RemoveTimer(id_); }

// SetTimer without a window would ignore the ID and make a new timer at
// every call, one that no window receives: without its window (the system
// is out of window memory) the timer waits for the next change.
void Win32TimerPeer::Update() {
  HWND window = system_.TimerWindow();
  if (!window) return;
  if (timer_.Enabled() && timer_.Interval() > 0)
    SetTimer(window, id_, static_cast<UINT>(timer_.Interval()), nullptr);
  else
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
