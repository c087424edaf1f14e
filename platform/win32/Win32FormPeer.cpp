// A form's window: a borderless popup without taskbar button (the main
// window), a fixed dialog with a caption bar, or a window never shown (the
// notification area's). Its window procedure only dispatches, each message
// to one handler below.
#include <windowsx.h>

#include <algorithm>
#include <vector>

#include "platform/win32/Win32Convert.h"
#include "platform/win32/Win32Services.h"
#include "platform/win32/Win32WindowSystem.h"
#include "platform/win32/WindowClasses.h"

namespace tavrel {
namespace {

struct WindowStyle {
  DWORD style, exStyle;
};

WindowStyle StyleOf(BorderStyle border) {
  switch (border) {
    // WS_EX_TOOLWINDOW keeps the window off the taskbar; WS_POPUP without a
    // caption gives the borderless panel the program draws itself.
    case BorderStyle::None: return {WS_POPUP | WS_CLIPCHILDREN, WS_EX_TOOLWINDOW};
    case BorderStyle::FixedDialog:
      return {WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, WS_EX_DLGMODALFRAME};
    case BorderStyle::Hidden: return {WS_POPUP, WS_EX_TOOLWINDOW};
  }
  return {WS_POPUP, 0};
}

// Posted when the form first shows: the windows of the controls that lie
// outside it are made then, once the user can see the window.
constexpr UINT kRealizeControls = WM_USER + 1;

struct OwnedWindows {
  HWND owner;
  std::vector<HWND> windows;
};

BOOL CALLBACK CollectOwned(HWND window, LPARAM list) {
  auto* owned = reinterpret_cast<OwnedWindows*>(list);
  if (GetWindow(window, GW_OWNER) == owned->owner) owned->windows.push_back(window);
  return TRUE;
}

}  // namespace

Win32FormPeer::Win32FormPeer(Win32WindowSystem& system, Form& form)
    : system_(system), form_(form) {
  brush_ = CreateSolidBrush(ToColorRef(form_.BackColor()));
  const Rect& b = form_.Bounds();
  const WindowStyle style = StyleOf(form_.Style());
  HWND owner = form_.Owner() ? reinterpret_cast<HWND>(form_.Owner()->hwnd()) : nullptr;
  const std::string title = form_.Caption().empty() ? form_.Name() : form_.Caption();
  hwnd_ = CreateWindowExA(style.exStyle, kFormWindowClass, title.c_str(), style.style, system_.ToPixels(b.left),
                          system_.ToPixels(b.top), system_.ToPixels(b.width), system_.ToPixels(b.height), owner,
                          nullptr, GetModuleHandleA(nullptr), this);
  if (!hwnd_) Raise(errOutOfMemory, "Unable to create the window");
  if (form_.TopMost()) ApplyTopMost();
}

Win32FormPeer::~Win32FormPeer() {
  if (hwnd_) {
    // The window outlives nothing of ours: no message may reach this peer
    // while it is being torn down.
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
  if (brush_) DeleteObject(brush_);
}

bool Win32FormPeer::IsFormWindow(HWND hwnd) {
  return reinterpret_cast<WNDPROC>(GetWindowLongPtrA(hwnd, GWLP_WNDPROC)) == WindowProc;
}

LRESULT CALLBACK Win32FormPeer::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    auto* peer = static_cast<Win32FormPeer*>(create->lpCreateParams);
    peer->hwnd_ = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(peer));
  }
  auto* peer = reinterpret_cast<Win32FormPeer*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!peer) return DefWindowProcA(hwnd, message, wParam, lParam);
  // A run-time error in an event handler is the program's to trap; whatever
  // slips through is reported and must not unwind into the system's code.
  // The form outlives its window (a close may destroy the window and this
  // peer on the way), so the report names the form.
  Form& form = peer->form_;
  try {
    return peer->Dispatch(message, wParam, lParam);
  } catch (...) {
    ReportEventError("WindowProc of Formular " + form.Name());
  }
  return 0;
}

LRESULT Win32FormPeer::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND: return OnCommand(wParam, lParam);
    case WM_NOTIFY: return OnNotify(lParam);
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX: return OnCtlColor(message, wParam, lParam);
    case WM_DRAWITEM: return OnDrawItem(wParam, lParam);
    case WM_ERASEBKGND: return OnEraseBackground(reinterpret_cast<HDC>(wParam));
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MOUSEMOVE: return OnMouse(message, wParam, lParam);
    case WM_SETCURSOR: return OnSetCursor(wParam, lParam);
    case WM_CLOSE: return OnClose(vbFormControlMenu);
    // Windows may end the session: the answer is yes, and the end itself
    // closes the window the way every other close does.
    case WM_QUERYENDSESSION: return TRUE;
    case WM_ENDSESSION: return OnEndSession(wParam);
    case kRealizeControls: RealizeControls(); return 0;
    case WM_TIMECHANGE:
    case WM_SETTINGCHANGE:
      // Whoever set the clock: where its ticks fall is learnt again.
      if (message == WM_TIMECHANGE) Win32Clock::TimeChanged();
      form_.Form_SystemChange();
      return DefWindowProcA(hwnd_, message, wParam, lParam);
    // Windows 98, Me and 2000 on send PBT_APMRESUMEAUTOMATIC at every
    // resume, then PBT_APMRESUMESUSPEND when a user is there; Windows 95
    // with APM sends PBT_APMRESUMESUSPEND, or PBT_APMRESUMECRITICAL after a
    // suspend nobody was asked about. NT 4.0 sends none. TRUE grants a
    // request to suspend, as Windows' own default does (Wine's answers 0).
    case WM_POWERBROADCAST:
      if (wParam == PBT_APMRESUMEAUTOMATIC || wParam == PBT_APMRESUMESUSPEND || wParam == PBT_APMRESUMECRITICAL)
        form_.Form_Resume();
      return TRUE;
    default:
      // Private and registered messages are the form's own business.
      if (message >= WM_APP) {
        form_.Form_Message(message, wParam, lParam);
        return 0;
      }
      return DefWindowProcA(hwnd_, message, wParam, lParam);
  }
}

LRESULT Win32FormPeer::OnCommand(WPARAM wParam, LPARAM lParam) {
  if (Win32ControlPeer* peer = PeerOf(reinterpret_cast<HWND>(lParam))) peer->OnCommand(HIWORD(wParam));
  return 0;
}

LRESULT Win32FormPeer::OnNotify(LPARAM lParam) {
  const auto* header = reinterpret_cast<const NMHDR*>(lParam);
  if (Win32ControlPeer* peer = PeerOf(header->hwndFrom)) peer->OnNotify(*header);
  return 0;
}

LRESULT Win32FormPeer::OnCtlColor(UINT message, WPARAM wParam, LPARAM lParam) {
  Win32ControlPeer* peer = PeerOf(reinterpret_cast<HWND>(lParam));
  if (!peer) return DefWindowProcA(hwnd_, message, wParam, lParam);
  return reinterpret_cast<LRESULT>(peer->OnCtlColor(reinterpret_cast<HDC>(wParam)));
}

LRESULT Win32FormPeer::OnDrawItem(WPARAM, LPARAM lParam) {
  const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
  if (Win32ControlPeer* peer = PeerOf(item->hwndItem)) peer->OnDrawItem(*item);
  return TRUE;
}

// A click is a press and a release on the background; a release that ends a
// drag started elsewhere is none.
LRESULT Win32FormPeer::OnMouse(UINT message, WPARAM wParam, LPARAM lParam) {
  // Signed: a point left of or above the window is negative.
  const float x = system_.ToTwipsF(GET_X_LPARAM(lParam));
  const float y = system_.ToTwipsF(GET_Y_LPARAM(lParam));
  const int shift = MouseShift(wParam);
  switch (message) {
    case WM_LBUTTONDOWN:
      pressedOnBackground_ = true;
      form_.Form_MouseDown(vbLeftButton, shift, x, y);
      break;
    case WM_RBUTTONDOWN: form_.Form_MouseDown(vbRightButton, shift, x, y); break;
    case WM_MBUTTONDOWN: form_.Form_MouseDown(vbMiddleButton, shift, x, y); break;
    case WM_LBUTTONUP:
      form_.Form_MouseUp(vbLeftButton, shift, x, y);
      if (pressedOnBackground_) {
        pressedOnBackground_ = false;
        form_.Form_Click();
      }
      break;
    case WM_RBUTTONUP: form_.Form_MouseUp(vbRightButton, shift, x, y); break;
    case WM_MBUTTONUP: form_.Form_MouseUp(vbMiddleButton, shift, x, y); break;
    default: form_.Form_MouseMove(MouseButtons(wParam), shift, x, y); break;
  }
  return 0;
}

// The hourglass of a busy program wins over every control's own pointer.
LRESULT Win32FormPeer::OnSetCursor(WPARAM wParam, LPARAM lParam) {
  MousePointer pointer = system_.ScreenPointer();
  if (pointer == MousePointer::Default) {
    if (Win32ControlPeer* peer = PeerOf(reinterpret_cast<HWND>(wParam))) pointer = peer->Model().Pointer();
  }
  if (pointer == MousePointer::Default || LOWORD(lParam) != HTCLIENT)
    return DefWindowProcA(hwnd_, WM_SETCURSOR, wParam, lParam);
  SetCursor(Win32WindowSystem::CursorOf(pointer));
  return TRUE;
}

LRESULT Win32FormPeer::OnClose(int unloadMode) {
  form_.Unload(unloadMode);
  return 0;
}

LRESULT Win32FormPeer::OnEndSession(WPARAM ending) {
  if (ending) OnClose(vbAppWindows);
  return 0;
}

// ---------------------------------------------------------------------------

void Win32FormPeer::Update(Prop what) {
  switch (what) {
    case Prop::Bounds: ApplyBounds(); break;
    case Prop::Caption: ApplyCaption(); break;
    case Prop::Visible:
      ShowWindow(hwnd_, form_.Visible() ? SW_SHOW : SW_HIDE);
      if (form_.Visible() && !realizePosted_) realizePosted_ = PostMessageA(hwnd_, kRealizeControls, 0, 0) != 0;
      break;
    case Prop::BackColor:
      if (brush_) DeleteObject(brush_);
      brush_ = CreateSolidBrush(ToColorRef(form_.BackColor()));
      BackgroundChanged();
      InvalidateRect(hwnd_, nullptr, TRUE);
      break;
    case Prop::Picture:
      BackgroundChanged();
      InvalidateRect(hwnd_, nullptr, TRUE);
      break;
    case Prop::TopMost: ApplyTopMost(); break;
    default: break;
  }
}

// No SWP_NOACTIVATE: the window joins or leaves the top band and is
// activated, as the program's "Always on top" has always done.
//
// Wine first moves the window's owned windows (its top-most tooltip) into
// the band and then slots the window in behind them without making it
// top-most itself. There the owned windows are let go for the one call and
// taken back after it.
void Win32FormPeer::ApplyTopMost() {
  const bool top = form_.TopMost();
  HWND after = top ? HWND_TOPMOST : HWND_NOTOPMOST;
  SetWindowPos(hwnd_, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  if (static_cast<bool>(GetWindowLongA(hwnd_, GWL_EXSTYLE) & WS_EX_TOPMOST) == top) return;
  OwnedWindows owned{hwnd_, {}};
  EnumThreadWindows(GetCurrentThreadId(), CollectOwned, reinterpret_cast<LPARAM>(&owned));
  for (HWND w : owned.windows) SetWindowLongPtrA(w, GWLP_HWNDPARENT, 0);
  SetWindowPos(hwnd_, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  for (HWND w : owned.windows) SetWindowLongPtrA(w, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(hwnd_));
}

void Win32FormPeer::ApplyBounds() {
  const Rect& b = form_.Bounds();
  SetWindowPos(hwnd_, nullptr, system_.ToPixels(b.left), system_.ToPixels(b.top), system_.ToPixels(b.width),
               system_.ToPixels(b.height), SWP_NOZORDER | SWP_NOACTIVATE);
  // A taller or wider window takes in controls that had no window yet.
  const std::vector<Win32ControlPeer*> peers = order_;
  for (Win32ControlPeer* peer : peers) peer->RealizeIfInForm();
}

void Win32FormPeer::ApplyCaption() {
  const std::string title = form_.Caption().empty() ? form_.Name() : form_.Caption();
  SetWindowTextA(hwnd_, title.c_str());
}

std::unique_ptr<ControlPeer> Win32FormPeer::CreateControlPeer(Control& control) {
  return std::make_unique<Win32ControlPeer>(*this, control);
}

void Win32FormPeer::Refresh() {
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void Win32FormPeer::BringToTop() {
  SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  SetForegroundWindow(hwnd_);
}

// The system moves the window with the mouse as if its caption were held.
void Win32FormPeer::Drag() {
  ReleaseCapture();
  SendMessageA(hwnd_, WM_NCLBUTTONDOWN, HTCAPTION, 0);
}

// The owner stays disabled while the form is up, as under any modal dialog;
// the quit of the program's loop is left for that loop.
void Win32FormPeer::RunModal() {
  HWND owner = GetWindow(hwnd_, GW_OWNER);
  if (owner) EnableWindow(owner, FALSE);
  HWND self = hwnd_;
  while (IsWindow(self) && IsWindowVisible(self) && form_.Visible() && form_.Loaded())
    if (!system_.PumpOne()) break;
  if (owner) {
    EnableWindow(owner, TRUE);
    if (IsWindowVisible(owner)) SetForegroundWindow(owner);
  }
}

HWND Win32FormPeer::Tooltip() {
  if (!tooltip_) {
    tooltip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  }
  return tooltip_;
}

void Win32FormPeer::Attach(Win32ControlPeer* peer) { order_.push_back(peer); }

void Win32FormPeer::Realized(Win32ControlPeer* peer) { children_[peer->hwnd()] = peer; }

void Win32FormPeer::Detach(Win32ControlPeer* peer) {
  if (peer->hwnd()) children_.erase(peer->hwnd());
  order_.erase(std::remove(order_.begin(), order_.end(), peer), order_.end());
}

// Every control has its window from here on, as the tools that look for
// them by ID expect; a picture among them may lie behind others.
void Win32FormPeer::RealizeControls() {
  bool pictures = false;
  const std::vector<Win32ControlPeer*> peers = order_;
  for (Win32ControlPeer* peer : peers) {
    if (peer->hwnd()) continue;
    peer->Realize();
    pictures = pictures || peer->IsPicture();
  }
  if (pictures) BackgroundChanged();
}

HWND Win32FormPeer::WindowAbove(const Win32ControlPeer* peer) const {
  auto it = std::find(order_.begin(), order_.end(), peer);
  if (it == order_.end()) return nullptr;
  for (++it; it != order_.end(); ++it)
    if ((*it)->hwnd()) return (*it)->hwnd();
  return nullptr;
}

Win32ControlPeer* Win32FormPeer::PeerOf(HWND child) const {
  const auto it = children_.find(child);
  return it == children_.end() ? nullptr : it->second;
}

void Win32FormPeer::UpdateContained(const Control& container, Prop what) {
  const std::vector<Win32ControlPeer*> peers = order_;
  for (Win32ControlPeer* child : peers) {
    bool inside = false;
    for (const Control* c = child->Model().Container(); c && !inside; c = c->Container())
      inside = c == &container;
    if (!inside) continue;
    switch (what) {
      case Prop::Bounds: child->ApplyBounds(); break;
      case Prop::Visible: child->ApplyVisible(); break;
      case Prop::Enabled: child->ApplyEnabled(); break;
      default: break;
    }
  }
}

}  // namespace tavrel
