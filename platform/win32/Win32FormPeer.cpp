// A form's window: a borderless popup without taskbar button whose window
// procedure only dispatches, each message to one handler below.
#include "platform/win32/Win32WindowSystem.h"

#include "platform/win32/WindowClasses.h"

namespace tavrel {
namespace {
// The unload modes a form's QueryUnload is told.
constexpr int kUnloadByUser = 0;     // the close request of the window
constexpr int kUnloadBySession = 2;  // Windows is shutting down
}  // namespace

Win32FormPeer::Win32FormPeer(Win32WindowSystem& system, Form& form) : system_(system), form_(form) {
  brush_ = CreateSolidBrush(ToColorRef(form_.BackColor()));
  const Rect& b = form_.Bounds();
  // WS_EX_TOOLWINDOW keeps the window off the taskbar; WS_POPUP without a
  // caption gives the borderless panel the program draws itself.
  hwnd_ = CreateWindowExA(WS_EX_TOOLWINDOW, kFormWindowClass, form_.Name().c_str(),
                          WS_POPUP | WS_CLIPCHILDREN, system_.ToPixels(b.left), system_.ToPixels(b.top),
                          system_.ToPixels(b.width), system_.ToPixels(b.height), nullptr, nullptr,
                          GetModuleHandleA(nullptr), this);
  if (!hwnd_) Raise(errOutOfMemory, "Unable to create the window");
  if (form_.Visible()) ShowWindow(hwnd_, SW_SHOW);
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
  // slips through must not unwind into the system's dispatch code.
  try {
    return peer->Dispatch(message, wParam, lParam);
  } catch (...) {
    return 0;
  }
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
    case WM_LBUTTONDOWN: return OnLeftButtonDown();
    case WM_LBUTTONUP: return OnLeftButtonUp();
    case WM_CLOSE: return OnClose(kUnloadByUser);
    case WM_ENDSESSION: return OnEndSession(wParam);
    default: return DefWindowProcA(hwnd_, message, wParam, lParam);
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

LRESULT Win32FormPeer::OnEraseBackground(HDC dc) {
  RECT client;
  GetClientRect(hwnd_, &client);
  FillRect(dc, &client, brush_);
  return TRUE;
}

// A click is a press and a release on the background; a release that ends a
// drag started elsewhere is none.
LRESULT Win32FormPeer::OnLeftButtonDown() {
  pressedOnBackground_ = true;
  return 0;
}

LRESULT Win32FormPeer::OnLeftButtonUp() {
  if (!pressedOnBackground_) return 0;
  pressedOnBackground_ = false;
  form_.Form_Click();
  return 0;
}

LRESULT Win32FormPeer::OnClose(int unloadMode) {
  int cancel = 0;
  form_.Form_QueryUnload(cancel, unloadMode);
  // A form that lets the close happen and is still here is put away; the
  // main window ends the process inside its own handler.
  if (!cancel) form_.Hide();
  return 0;
}

LRESULT Win32FormPeer::OnEndSession(WPARAM ending) {
  if (ending) OnClose(kUnloadBySession);
  return 0;
}

// ---------------------------------------------------------------------------

void Win32FormPeer::Update(Prop what) {
  switch (what) {
    case Prop::Bounds: ApplyBounds(); break;
    case Prop::Visible: ShowWindow(hwnd_, form_.Visible() ? SW_SHOW : SW_HIDE); break;
    case Prop::BackColor:
      if (brush_) DeleteObject(brush_);
      brush_ = CreateSolidBrush(ToColorRef(form_.BackColor()));
      InvalidateRect(hwnd_, nullptr, TRUE);
      break;
    default: break;
  }
}

void Win32FormPeer::ApplyBounds() {
  const Rect& b = form_.Bounds();
  SetWindowPos(hwnd_, nullptr, system_.ToPixels(b.left), system_.ToPixels(b.top), system_.ToPixels(b.width),
               system_.ToPixels(b.height), SWP_NOZORDER | SWP_NOACTIVATE);
}

std::unique_ptr<ControlPeer> Win32FormPeer::CreateControlPeer(Control& control) {
  return std::make_unique<Win32ControlPeer>(*this, control);
}

void Win32FormPeer::Refresh() {
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

HWND Win32FormPeer::Tooltip() {
  if (!tooltip_) {
    tooltip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  }
  return tooltip_;
}

void Win32FormPeer::Attach(Win32ControlPeer* peer) { children_[peer->hwnd()] = peer; }

void Win32FormPeer::Detach(Win32ControlPeer* peer) { children_.erase(peer->hwnd()); }

Win32ControlPeer* Win32FormPeer::PeerOf(HWND child) const {
  const auto it = children_.find(child);
  return it == children_.end() ? nullptr : it->second;
}

void Win32FormPeer::UpdateContained(const Control& container, Prop what) {
  for (const auto& child : children_) {
    bool inside = false;
    for (const Control* c = child.second->Model().Container(); c && !inside; c = c->Container())
      inside = c == &container;
    if (!inside) continue;
    switch (what) {
      case Prop::Bounds: child.second->ApplyBounds(); break;
      case Prop::Visible: child.second->ApplyVisible(); break;
      case Prop::Enabled: child.second->ApplyEnabled(); break;
      default: break;
    }
  }
}

}  // namespace tavrel
