// A control's window: a child of its form's window whose control ID is the
// control's number. Containers are not parents: a frame's controls are
// children of the form placed at the frame's origin, so that every command
// and colour request reaches the one form window procedure. Here: creation,
// properties and events; the painting is in Win32Paint.cpp.
#include "platform/win32/Win32Convert.h"
#include "platform/win32/Win32Subclass.h"
#include "platform/win32/Win32WindowSystem.h"

#include <windowsx.h>

#include <algorithm>
#include <vector>

namespace tavrel {
namespace {

// A drop-down list's window includes its open list.
constexpr int kDropDownListPixels = 160;

struct WindowKind {
  const char* className;
  DWORD style;
};

// A label at least this tall (two lines of 195 twips) has room for the
// lines its words wrap into.
constexpr long kTwoLinesTwips = 390;

WindowKind KindOf(const Control& control) {
  switch (control.Kind()) {
    // One line each: a text too long for its label is cut, never wrapped
    // into a second line that the label has no room for.
    case ControlKind::Label:
      if (control.Bounds().height >= kTwoLinesTwips) return {"STATIC", SS_LEFT | SS_NOTIFY};
      return {"STATIC", SS_LEFTNOWORDWRAP | SS_NOTIFY};
    // Owner-drawn, because a push button ignores its colour requests and the
    // program's buttons are light yellow.
    case ControlKind::Button: return {"BUTTON", BS_OWNERDRAW | WS_TABSTOP};
    // Not automatic: a click asks the control object, which decides the
    // value; the box then shows what the object holds.
    case ControlKind::CheckBox: return {"BUTTON", BS_3STATE | WS_TABSTOP};
    case ControlKind::OptionButton: return {"BUTTON", BS_RADIOBUTTON | WS_TABSTOP};
    case ControlKind::TextBox: return {"EDIT", ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP};
    case ControlKind::ComboBox: return {"COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP};
    case ControlKind::Frame: return {"BUTTON", BS_GROUPBOX};
    case ControlKind::PictureBox:
    case ControlKind::Image: return {"STATIC", SS_OWNERDRAW | SS_NOTIFY};
    case ControlKind::DatePicker: return {DATETIMEPICK_CLASSA, DTS_SHORTDATEFORMAT | WS_TABSTOP};
  }
  return {"STATIC", SS_LEFT};
}

// Visual styles draw check and option captions in the theme's colour; the
// program's white captions on dark grey need the classic look. Looked up at
// run time: systems before XP have no uxtheme.dll and need nothing of it.
void UseClassicLook(HWND hwnd) {
  using SetWindowThemeFn = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
  static const auto setWindowTheme = [] {
    HMODULE uxtheme = LoadLibraryA("uxtheme.dll");
    return uxtheme ? reinterpret_cast<SetWindowThemeFn>(
                         reinterpret_cast<void*>(GetProcAddress(uxtheme, "SetWindowTheme")))
                   : nullptr;
  }();
  if (setWindowTheme) setWindowTheme(hwnd, L"", L"");
}

bool HasMouseEvents(ControlKind kind) {
  return kind == ControlKind::Label || kind == ControlKind::PictureBox || kind == ControlKind::Image;
}

// The controls the program's own subclass serves: mouse events, a frame's
// inside, a transparent control's background.
bool HasControlProc(ControlKind kind) {
  return HasMouseEvents(kind) || kind == ControlKind::Frame || kind == ControlKind::CheckBox ||
         kind == ControlKind::OptionButton;
}

// Where a contained control sits: its container's origin plus its own.
void Origin(const Control& control, long& left, long& top) {
  left = top = 0;
  for (const Control* c = control.Container(); c; c = c->Container()) {
    left += c->Bounds().left;
    top += c->Bounds().top;
  }
}

bool ShownWithContainers(const Control& control) {
  for (const Control* c = &control; c; c = c->Container())
    if (!c->Visible()) return false;
  return true;
}

bool EnabledWithContainers(const Control& control) {
  for (const Control* c = &control; c; c = c->Container())
    if (!c->Enabled()) return false;
  return true;
}

}  // namespace

// A control's window is made when the control first lies in its form's
// window: the main window opens small, and most of its eighty controls lie
// in the views below, which under Wine took half its start-up to make.
// Until then the control object holds the whole state, and the window takes
// it at once when it is made.
Win32ControlPeer::Win32ControlPeer(Win32FormPeer& form, Control& control) : form_(form), control_(control) {
  brush_ = CreateSolidBrush(ToColorRef(control_.BackColor()));
  form_.Attach(this);
  if (LiesInForm()) Realize();
}

Win32ControlPeer::~Win32ControlPeer() {
  const bool picture = IsPicture() && hwnd_ && IsWindowVisible(hwnd_);
  form_.Detach(this);
  if (hwnd_) DestroyWindow(hwnd_);
  if (brush_) DeleteObject(brush_);
  if (picture) form_.BackgroundChanged();
}

bool Win32ControlPeer::LiesInForm() const {
  RECT client;
  GetClientRect(form_.hwnd(), &client);
  const RECT r = WindowRect();
  // Its top left corner counts, so that a control without size gets its
  // window too.
  return r.left < client.right && r.top < client.bottom && r.right >= client.left && r.bottom >= client.top;
}

void Win32ControlPeer::RealizeIfInForm() {
  if (hwnd_ || !LiesInForm()) return;
  Realize();
  // A picture made now may lie behind transparent controls made before.
  if (IsPicture()) form_.BackgroundChanged();
}

void Win32ControlPeer::Realize() {
  if (hwnd_ || failed_) return;
  Create();
  if (!hwnd_) {
    // One control without its window must not keep the others from theirs.
    failed_ = true;
    GuardEvent("Realize of Formular " + form_.Model().Name(),
               [&] { Raise(errOutOfMemory, "Unable to create the control " + control_.Name()); });
    return;
  }
  form_.Realized(this);
  ApplyValue();
  ApplyItems();
  ApplyDate();
  ApplyToolTip();
}

bool Win32ControlPeer::IsPicture() const {
  return control_.Kind() == ControlKind::Image || control_.Kind() == ControlKind::PictureBox;
}

void Win32ControlPeer::Create() {
  const WindowKind kind = KindOf(control_);
  DWORD style = WS_CHILD | WS_CLIPSIBLINGS | kind.style;
  if (ShownWithContainers(control_)) style |= WS_VISIBLE;
  if (!EnabledWithContainers(control_)) style |= WS_DISABLED;
  const bool showsCaption = control_.Kind() != ControlKind::ComboBox && control_.Kind() != ControlKind::DatePicker;
  const RECT r = WindowRect();
  hwnd_ = CreateWindowExA(0, kind.className, showsCaption ? control_.Caption().c_str() : "", style, r.left, r.top,
                          r.right - r.left, r.bottom - r.top, form_.hwnd(),
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(control_.Id())), GetModuleHandleA(nullptr),
                          nullptr);
  if (!hwnd_) return;
  if (control_.Kind() == ControlKind::Label) labelText_ = control_.Caption();
  // Each control lies above those made before it in the form, so a frame
  // lies under the controls it holds and the background picture under all;
  // a window made late goes right below the next control that has one.
  HWND below = form_.WindowAbove(this);
  SetWindowPos(hwnd_, below ? below : HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(form_.System().FontOf(control_.Font())), FALSE);
  if (control_.Kind() == ControlKind::CheckBox || control_.Kind() == ControlKind::OptionButton)
    UseClassicLook(hwnd_);
  if (HasControlProc(control_.Kind())) SetSubclass(hwnd_, ControlProc, 0, reinterpret_cast<DWORD_PTR>(this));
}

// ---------------------------------------------------------------------------
// From the model to the window.

void Win32ControlPeer::Update(Prop what) {
  if (!hwnd_) {
    // A move or a change of size of the form may bring the control in; a
    // frame passes its own changes on to the controls it holds.
    RealizeIfInForm();
    if (!hwnd_ && (what == Prop::Bounds || what == Prop::Visible || what == Prop::Enabled))
      form_.UpdateContained(control_, what);
    if (!hwnd_) return;
  }
  switch (what) {
    case Prop::Caption: ApplyCaption(); break;
    case Prop::Value: ApplyValue(); break;
    case Prop::Visible:
      ApplyVisible();
      form_.UpdateContained(control_, what);
      if (IsPicture()) form_.BackgroundChanged();
      break;
    case Prop::Enabled:
      ApplyEnabled();
      form_.UpdateContained(control_, what);
      break;
    case Prop::BackColor:
    case Prop::ForeColor: ApplyColors(); break;
    case Prop::ToolTip: ApplyToolTip(); break;
    case Prop::ListIndex: ApplyListIndex(); break;
    case Prop::Items: ApplyItems(); break;
    case Prop::Bounds:
      ApplyBounds();
      form_.UpdateContained(control_, what);
      if (IsPicture()) form_.BackgroundChanged();
      else ApplyBackground();
      break;
    // What a picture shows may lie behind transparent controls too.
    case Prop::Picture: form_.BackgroundChanged(); break;
    case Prop::Date: ApplyDate(); break;
    case Prop::Font: ApplyFont(); break;
    case Prop::Transparent: ApplyBackground(); break;
    case Prop::MousePointer: break;  // asked for at every WM_SETCURSOR
    case Prop::TopMost: break;
  }
}

std::string Win32ControlPeer::WindowText() const {
  const int length = GetWindowTextLengthA(hwnd_);
  std::vector<char> buffer(length + 2, '\0');
  GetWindowTextA(hwnd_, buffer.data(), length + 1);
  return std::string(buffer.data());
}

void Win32ControlPeer::ApplyCaption() {
  // A drop-down list shows its selected item, a date picker its date.
  if (control_.Kind() == ControlKind::ComboBox || control_.Kind() == ControlKind::DatePicker) return;
  if (control_.Kind() == ControlKind::Label) return ApplyLabelCaption();
  if (WindowText() == control_.Caption()) return;
  echo_ = true;
  SetWindowTextA(hwnd_, control_.Caption().c_str());
  echo_ = false;
  // A button paints its new text at once, over the old one where it fills
  // nothing: the background is painted again under both.
  if (control_.Transparent()) InvalidateRect(hwnd_, nullptr, TRUE);
}

// The clock's labels change every second, and under Wine each window call
// is a round trip to its server. A label remembers the text its window has
// instead of asking for it, and a hidden one (the header clock outside the
// small clock) takes its text when it shows. A static control paints itself
// inside WM_SETTEXT, a millisecond under Wine: the text is stored where the
// static keeps it and the label repaints with the window's next painting.
void Win32ControlPeer::ApplyLabelCaption() {
  const std::string& caption = control_.Caption();
  if (labelText_ == caption || !(GetWindowLongA(hwnd_, GWL_STYLE) & WS_VISIBLE)) return;
  DefWindowProcA(hwnd_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(caption.c_str()));
  InvalidateRect(hwnd_, nullptr, TRUE);
  labelText_ = caption;
}

void Win32ControlPeer::ApplyValue() {
  WPARAM state = BST_UNCHECKED;
  switch (control_.Kind()) {
    case ControlKind::CheckBox:
      state = control_.Value() == 1 ? BST_CHECKED : control_.Value() == 2 ? BST_INDETERMINATE : BST_UNCHECKED;
      break;
    case ControlKind::OptionButton: state = control_.Value() ? BST_CHECKED : BST_UNCHECKED; break;
    default: return;
  }
  SendMessageA(hwnd_, BM_SETCHECK, state, 0);
}

void Win32ControlPeer::ApplyItems() {
  if (control_.Kind() != ControlKind::ComboBox) return;
  SendMessageA(hwnd_, CB_RESETCONTENT, 0, 0);
  for (const std::string& item : control_.Items())
    SendMessageA(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
  ApplyListIndex();
}

void Win32ControlPeer::ApplyListIndex() {
  if (control_.Kind() != ControlKind::ComboBox) return;
  SendMessageA(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(control_.ListIndex()), 0);
}

void Win32ControlPeer::ApplyDate() {
  if (control_.Kind() != ControlKind::DatePicker) return;
  const DateTime date = control_.Date();
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(date.Year());
  st.wMonth = static_cast<WORD>(date.Month());
  st.wDay = static_cast<WORD>(date.Day());
  st.wDayOfWeek = static_cast<WORD>(date.Weekday() - 1);
  st.wHour = static_cast<WORD>(date.Hour());
  st.wMinute = static_cast<WORD>(date.Minute());
  st.wSecond = static_cast<WORD>(date.Second());
  echo_ = true;
  SendMessageA(hwnd_, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&st));
  echo_ = false;
}

void Win32ControlPeer::ApplyToolTip() {
  const std::string& text = control_.ToolTip();
  if (text.empty() && !hasToolTip_) return;
  TOOLINFOA tool{};
  // The size the common controls of every Windows version accept.
  tool.cbSize = TTTOOLINFOA_V2_SIZE;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = form_.hwnd();
  tool.uId = reinterpret_cast<UINT_PTR>(hwnd_);
  tool.lpszText = const_cast<char*>(text.c_str());
  HWND tooltip = form_.Tooltip();
  if (text.empty()) {
    SendMessageA(tooltip, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    hasToolTip_ = false;
  } else if (hasToolTip_) {
    SendMessageA(tooltip, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
  } else {
    hasToolTip_ = SendMessageA(tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool)) != 0;
  }
}

void Win32ControlPeer::ApplyColors() {
  if (brush_) DeleteObject(brush_);
  brush_ = CreateSolidBrush(ToColorRef(control_.BackColor()));
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void Win32ControlPeer::ApplyFont() {
  SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(form_.System().FontOf(control_.Font())), TRUE);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void Win32ControlPeer::ApplyBackground() {
  if (hwnd_ && (IsPicture() || control_.Transparent())) InvalidateRect(hwnd_, nullptr, TRUE);
}

RECT Win32ControlPeer::FormRect() const {
  long left = 0, top = 0;
  Origin(control_, left, top);
  const Rect& b = control_.Bounds();
  const Win32WindowSystem& system = form_.System();
  const int x = system.ToPixels(left + b.left), y = system.ToPixels(top + b.top);
  return RECT{x, y, x + system.ToPixels(b.width), y + system.ToPixels(b.height)};
}

RECT Win32ControlPeer::WindowRect() const {
  RECT r = FormRect();
  if (control_.Kind() == ControlKind::ComboBox) r.bottom += kDropDownListPixels;
  return r;
}

void Win32ControlPeer::ApplyBounds() {
  if (!hwnd_) return RealizeIfInForm();
  const RECT r = WindowRect();
  SetWindowPos(hwnd_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32ControlPeer::ApplyVisible() {
  if (!hwnd_) return;
  const bool shown = ShownWithContainers(control_);
  ShowWindow(hwnd_, shown ? SW_SHOWNA : SW_HIDE);
  if (shown && control_.Kind() == ControlKind::Label) ApplyLabelCaption();
}

void Win32ControlPeer::ApplyEnabled() {
  if (hwnd_) EnableWindow(hwnd_, EnabledWithContainers(control_));
}

// ---------------------------------------------------------------------------
// From the window to the model.

void Win32ControlPeer::OnCommand(WORD code) {
  switch (control_.Kind()) {
    case ControlKind::Button:
    case ControlKind::CheckBox:
    case ControlKind::OptionButton:
      if (code == BN_CLICKED) control_.UserClick();
      break;
    case ControlKind::Label:
    case ControlKind::PictureBox:
    case ControlKind::Image:
      if (code == STN_CLICKED) control_.UserClick();
      break;
    case ControlKind::TextBox:
      if (code == EN_CHANGE && !echo_) control_.UserEditText(WindowText());
      else if (code == EN_KILLFOCUS) control_.UserLeave();
      break;
    case ControlKind::ComboBox:
      if (code == CBN_SELCHANGE) control_.UserSelectItem(static_cast<int>(SendMessageA(hwnd_, CB_GETCURSEL, 0, 0)));
      break;
    default: break;
  }
}

void Win32ControlPeer::OnNotify(const NMHDR& header) {
  if (control_.Kind() != ControlKind::DatePicker || header.code != DTN_DATETIMECHANGE || echo_) return;
  const auto& change = reinterpret_cast<const NMDATETIMECHANGE&>(header);
  if (change.dwFlags != GDT_VALID) return;
  // The picker shows a date; the time of day the object held stays.
  const DateTime picked = DateSerial(change.st.wYear, change.st.wMonth, change.st.wDay);
  const DateTime held = control_.Date();
  control_.UserPickDate(DateTime(picked.Serial() + (held.Serial() - static_cast<double>(held.Days()))));
}

// ---------------------------------------------------------------------------
// The program's subclass of its controls: the mouse on labels and pictures,
// with the button and keys in the runtime's numbering and the position in
// twips; and the backgrounds the controls do not paint themselves.

LRESULT CALLBACK Win32ControlPeer::ControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                               DWORD_PTR self) {
  auto* peer = reinterpret_cast<Win32ControlPeer*>(self);
  if (message == WM_NCDESTROY) {
    RemoveSubclass(hwnd, ControlProc, 0);
    return DefSubclass(hwnd, message, wParam, lParam);
  }
  if (message == WM_ERASEBKGND && peer->OnEraseBackground(reinterpret_cast<HDC>(wParam))) return TRUE;
  if (!HasMouseEvents(peer->control_.Kind())) return DefSubclass(hwnd, message, wParam, lParam);
  // The window is looked up again after the event: a handler may unload
  // the form, taking this control's window along.
  Form& form = peer->form_.Model();
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
    case WM_MOUSEMOVE:
      try {
        peer->OnMouse(message, wParam, lParam);
      } catch (...) {
        ReportEventError("MouseProc of Formular " + form.Name());
      }
      if (!IsWindow(hwnd)) return 0;
      break;
    default: break;
  }
  return DefSubclass(hwnd, message, wParam, lParam);
}

// A group box paints its border and caption but not its inside, and the form
// does not paint under its children: the frame fills itself with its back
// colour first. A transparent control gets what lies behind it. False when
// the control erases as it always does.
bool Win32ControlPeer::OnEraseBackground(HDC dc) {
  if (control_.Kind() == ControlKind::Frame) {
    RECT r;
    GetClientRect(hwnd_, &r);
    FillRect(dc, &r, brush_);
    return true;
  }
  if (!control_.Transparent() || IsPicture()) return false;
  PaintBackground(dc);
  return true;
}

void Win32ControlPeer::OnMouse(UINT message, WPARAM keys, LPARAM position) {
  // Signed: a point left of or above the control is negative.
  const Win32WindowSystem& system = form_.System();
  const float x = system.ToTwipsF(GET_X_LPARAM(position));
  const float y = system.ToTwipsF(GET_Y_LPARAM(position));
  const int shift = MouseShift(keys);
  switch (message) {
    case WM_LBUTTONDOWN: control_.UserMouseDown(vbLeftButton, shift, x, y); break;
    case WM_RBUTTONDOWN: control_.UserMouseDown(vbRightButton, shift, x, y); break;
    case WM_MBUTTONDOWN: control_.UserMouseDown(vbMiddleButton, shift, x, y); break;
    case WM_LBUTTONUP: control_.UserMouseUp(vbLeftButton, shift, x, y); break;
    case WM_RBUTTONUP: control_.UserMouseUp(vbRightButton, shift, x, y); break;
    case WM_MBUTTONUP: control_.UserMouseUp(vbMiddleButton, shift, x, y); break;
    default: control_.UserMouseMove(MouseButtons(keys), shift, x, y); break;
  }
}

}  // namespace tavrel
