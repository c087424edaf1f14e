// The window system on Win32: a top-level window per form, a real child
// window per control (so screen readers and the test driver can read them
// by control ID), SetTimer for timers, MessageBoxA for message boxes,
// TrackPopupMenuEx for popup menus. The form and control objects of
// platform/Forms.h stay the truth; the windows mirror them and report what
// the user did through Control::User* and the Form_* events.
//
// Fonts and pictures are made once and shared: a font per face, size and
// weight at the display's resolution; a picture per resource and size, from
// the bitmap drawn for the nearest resolution (N, or N + 1000 for 200 %).
#pragma once

#include <map>
#include <memory>
#include <tuple>

#include "platform/Forms.h"
#include "platform/win32/Win32.h"

namespace tavrel {

class Win32ControlPeer;
class Win32TimerPeer;

// 0x00BBGGRR, or a system colour when the top bit is set.
COLORREF ToColorRef(long color);

class Win32WindowSystem : public IWindowSystem {
 public:
  Win32WindowSystem();
  ~Win32WindowSystem() override;

  std::unique_ptr<FormPeer> CreateFormPeer(Form& form) override;
  std::unique_ptr<TimerPeer> CreateTimerPeer(Timer& timer) override;
  int MessageBox(const std::string& text, const std::string& title, long style) override;
  void DoEvents() override;
  void WaitForEvents(unsigned ms) override;
  // WaitForEvents with another wait than MsgWaitForMultipleObjects (tests).
  using WaitFunction = DWORD(WINAPI*)(DWORD, const HANDLE*, BOOL, DWORD, DWORD);
  void WaitForEventsWith(unsigned ms, WaitFunction wait);
  // The messages a wait wakes up for, as every version knows them.
  static const DWORD kWakeMask;
  WindowHandle DesktopWindow() override;
  long ScreenWidthTwips() override;
  long ScreenHeightTwips() override;
  Rect DesktopTwips() override;
  void SetScreenPointer(MousePointer pointer) override;
  unsigned RegisterMessage(const std::string& name) override;
  int PopupMenu(Form& owner, const std::vector<MenuItem>& items, int defaultIndex) override;
  WindowHandle IconHandle(int picture) override;
  float TwipsPerPixel() override { return 1440.0f / dpi_; }

  // Twips at the display's own resolution.
  int Dpi() const { return dpi_; }
  int ToPixels(long twips) const;
  long ToTwips(int pixels) const;
  float ToTwipsF(int pixels) const { return pixels * 1440.0f / dpi_; }

  // Shared GDI objects, owned here and deleted with the window system.
  HFONT FontOf(const Font& font);
  // Draws picture `id` (a bitmap, opaque or with a transparent colour, or
  // an icon) into the rectangle; false when the program has no such picture.
  bool DrawPicture(HDC dc, int id, const RECT& r);
  // The pointer a window shows: the program-wide one while it is set.
  MousePointer ScreenPointer() const { return screenPointer_; }
  static HCURSOR CursorOf(MousePointer pointer);

  // The program's message loop: runs until WM_QUIT and returns its code,
  // or kLoopFailed when the system cannot deliver messages any more.
  using GetMessageFunction = BOOL(WINAPI*)(LPMSG, HWND, UINT, UINT);
  static constexpr int kLoopFailed = 1;
  int RunMessageLoop(GetMessageFunction get = GetMessageA);
  // One round of the loop: waits for a message and dispatches it; false at
  // WM_QUIT, which is left in the queue for the outer loop.
  bool PumpOne();

  // Whether the common controls took the program's classes.
  bool CommonControlsReady() const { return commonControls_; }

  // Timers: their window, null when it cannot be made.
  HWND TimerWindow();
  UINT_PTR AddTimer(Win32TimerPeer* peer);
  void RemoveTimer(UINT_PTR id);

 private:
  struct Bitmap {
    HBITMAP handle = nullptr;
    HBITMAP mask = nullptr;  // white where transparent; none when opaque
    int width = 0, height = 0;
  };
  static LRESULT CALLBACK TimerWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void OnTimer(UINT_PTR id);
  void RegisterClasses();
  const Bitmap* BitmapOf(int id);
  HICON IconOf(int id, int size);

  int dpi_ = 96;
  bool registered_ = false;
  bool commonControls_ = false;
  HWND timerWindow_ = nullptr;
  UINT_PTR nextTimerId_ = 1;
  std::map<UINT_PTR, Win32TimerPeer*> timers_;
  std::map<std::tuple<std::string, int, bool>, HFONT> fonts_;
  std::map<int, Bitmap> bitmaps_;
  std::map<std::pair<int, int>, HICON> icons_;
  MousePointer screenPointer_ = MousePointer::Default;
};

class Win32FormPeer : public FormPeer {
 public:
  Win32FormPeer(Win32WindowSystem& system, Form& form);
  ~Win32FormPeer() override;

  void Update(Prop what) override;
  std::unique_ptr<ControlPeer> CreateControlPeer(Control& control) override;
  void Refresh() override;
  WindowHandle Handle() override { return reinterpret_cast<WindowHandle>(hwnd_); }
  void BringToTop() override;
  void Drag() override;
  void RunModal() override;

  HWND hwnd() const { return hwnd_; }
  Form& Model() { return form_; }
  Win32WindowSystem& System() { return system_; }
  HWND Tooltip();
  // A control's peer joins the form when it is made and again when its
  // window is (which may be later), and leaves when it goes.
  void Attach(Win32ControlPeer* peer);
  void Realized(Win32ControlPeer* peer);
  void Detach(Win32ControlPeer* peer);
  // The window of the nearest control made after `peer` that has one: the
  // window `peer`'s goes right below. Null when there is none.
  HWND WindowAbove(const Win32ControlPeer* peer) const;
  // A control's position, visibility or enabled state passes on to the
  // controls it contains.
  void UpdateContained(const Control& container, Prop what);
  // Paints what lies behind `above` at `r` (form coordinates, pixels) into
  // a DC whose origin is the form's: the back colour, the form's picture and
  // every picture control made before `above`.
  void PaintBehind(HDC dc, const RECT& r, const Win32ControlPeer* above);
  // What the pictures show changed: transparent controls repaint their
  // backgrounds.
  void BackgroundChanged();

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static bool IsFormWindow(HWND hwnd);

 private:
  LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnCommand(WPARAM wParam, LPARAM lParam);
  LRESULT OnNotify(LPARAM lParam);
  LRESULT OnCtlColor(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnDrawItem(WPARAM wParam, LPARAM lParam);
  LRESULT OnEraseBackground(HDC dc);
  LRESULT OnMouse(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnSetCursor(WPARAM wParam, LPARAM lParam);
  LRESULT OnClose(int unloadMode);
  LRESULT OnEndSession(WPARAM ending);
  Win32ControlPeer* PeerOf(HWND child) const;
  void ApplyBounds();
  void ApplyCaption();
  void ApplyTopMost();
  void RealizeControls();

  Win32WindowSystem& system_;
  Form& form_;
  HWND hwnd_ = nullptr;
  HWND tooltip_ = nullptr;
  HBRUSH brush_ = nullptr;
  bool pressedOnBackground_ = false;
  bool realizePosted_ = false;
  std::map<HWND, Win32ControlPeer*> children_;  // those with a window
  std::vector<Win32ControlPeer*> order_;  // creation order: bottom to top
};

class Win32ControlPeer : public ControlPeer {
 public:
  Win32ControlPeer(Win32FormPeer& form, Control& control);
  ~Win32ControlPeer() override;

  void Update(Prop what) override;
  HWND hwnd() const { return hwnd_; }
  Control& Model() { return control_; }
  bool IsPicture() const;
  // The control's rectangle in the form, pixels.
  RECT FormRect() const;
  // Its window's: a drop-down list's includes the open list.
  RECT WindowRect() const;

  // Events the form's window procedure hands on.
  void OnCommand(WORD code);
  void OnNotify(const NMHDR& header);
  HBRUSH OnCtlColor(HDC dc);
  void OnDrawItem(const DRAWITEMSTRUCT& item);
  void OnMouse(UINT message, WPARAM keys, LPARAM position);

  // Makes the control's window: once the control lies in the form's
  // window, or at once. A window that cannot be made (its class is
  // missing) is reported once; the control then stays without one.
  void RealizeIfInForm();
  void Realize();
  void ApplyBounds();
  void ApplyVisible();
  void ApplyEnabled();
  void ApplyBackground();

 private:
  static LRESULT CALLBACK ControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR id, DWORD_PTR self);
  bool OnEraseBackground(HDC dc);
  bool LiesInForm() const;
  void Create();
  void ApplyCaption();
  void ApplyLabelCaption();
  void ApplyValue();
  void ApplyItems();
  void ApplyListIndex();
  void ApplyDate();
  void ApplyToolTip();
  void ApplyColors();
  void ApplyFont();
  void PaintBackground(HDC dc);
  void DrawButton(const DRAWITEMSTRUCT& item);
  void DrawPicture(const DRAWITEMSTRUCT& item);
  std::string WindowText() const;

  Win32FormPeer& form_;
  Control& control_;
  HWND hwnd_ = nullptr;
  HBRUSH brush_ = nullptr;
  bool failed_ = false;      // its window could not be made; reported once
  bool echo_ = false;        // our own change is on its way back as a notification
  bool hasToolTip_ = false;
  std::string labelText_;  // a label's text as its window has it
};

class Win32TimerPeer : public TimerPeer {
 public:
  Win32TimerPeer(Win32WindowSystem& system, Timer& timer);
  ~Win32TimerPeer() override;
  void Update() override;
  void Fire();

 private:
  Win32WindowSystem& system_;
  Timer& timer_;
  UINT_PTR id_;
  bool firing_ = false;
};

}  // namespace tavrel
