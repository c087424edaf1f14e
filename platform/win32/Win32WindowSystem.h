// The window system on Win32: a borderless top-level popup per form, a real
// child window per control (so screen readers and the test driver can read
// them by control ID), SetTimer for timers, MessageBoxA for message boxes.
// The form and control objects of platform/Forms.h stay the truth; the
// windows mirror them and report what the user did through Control::User*.
#pragma once

#include <map>
#include <memory>

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
  WindowHandle DesktopWindow() override;
  long ScreenWidthTwips() override;
  long ScreenHeightTwips() override;

  // Twips at the display's own resolution.
  int ToPixels(long twips) const;
  long ToTwips(int pixels) const;
  HFONT Font() const { return font_; }

  // The program's message loop: runs until WM_QUIT and returns its code.
  int RunMessageLoop();

  // Timers.
  HWND TimerWindow();
  UINT_PTR AddTimer(Win32TimerPeer* peer);
  void RemoveTimer(UINT_PTR id);

 private:
  static LRESULT CALLBACK TimerWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void OnTimer(UINT_PTR id);
  void RegisterClasses();

  int dpi_ = 96;
  HFONT font_ = nullptr;
  bool registered_ = false;
  HWND timerWindow_ = nullptr;
  UINT_PTR nextTimerId_ = 1;
  std::map<UINT_PTR, Win32TimerPeer*> timers_;
};

class Win32FormPeer : public FormPeer {
 public:
  Win32FormPeer(Win32WindowSystem& system, Form& form);
  ~Win32FormPeer() override;

  void Update(Prop what) override;
  std::unique_ptr<ControlPeer> CreateControlPeer(Control& control) override;
  void Refresh() override;
  WindowHandle Handle() override { return reinterpret_cast<WindowHandle>(hwnd_); }

  HWND hwnd() const { return hwnd_; }
  Form& Model() { return form_; }
  Win32WindowSystem& System() { return system_; }
  HWND Tooltip();
  void Attach(Win32ControlPeer* peer);
  void Detach(Win32ControlPeer* peer);
  // A control's position, visibility or enabled state passes on to the
  // controls it contains.
  void UpdateContained(const Control& container, Prop what);

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static bool IsFormWindow(HWND hwnd);

 private:
  LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnCommand(WPARAM wParam, LPARAM lParam);
  LRESULT OnNotify(LPARAM lParam);
  LRESULT OnCtlColor(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnDrawItem(WPARAM wParam, LPARAM lParam);
  LRESULT OnEraseBackground(HDC dc);
  LRESULT OnLeftButtonDown();
  LRESULT OnLeftButtonUp();
  LRESULT OnClose(int unloadMode);
  LRESULT OnEndSession(WPARAM ending);
  Win32ControlPeer* PeerOf(HWND child) const;
  void ApplyBounds();

  Win32WindowSystem& system_;
  Form& form_;
  HWND hwnd_ = nullptr;
  HWND tooltip_ = nullptr;
  HBRUSH brush_ = nullptr;
  bool pressedOnBackground_ = false;
  std::map<HWND, Win32ControlPeer*> children_;
};

class Win32ControlPeer : public ControlPeer {
 public:
  Win32ControlPeer(Win32FormPeer& form, Control& control);
  ~Win32ControlPeer() override;

  void Update(Prop what) override;
  HWND hwnd() const { return hwnd_; }
  Control& Model() { return control_; }

  // Events the form's window procedure hands on.
  void OnCommand(WORD code);
  void OnNotify(const NMHDR& header);
  HBRUSH OnCtlColor(HDC dc);
  void OnDrawItem(const DRAWITEMSTRUCT& item);
  void OnMouseDown(int button, WPARAM keys, LPARAM position);

  void ApplyBounds();
  void ApplyVisible();
  void ApplyEnabled();

 private:
  static LRESULT CALLBACK MouseProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                    UINT_PTR id, DWORD_PTR self);
  void Create();
  void ApplyCaption();
  void ApplyValue();
  void ApplyItems();
  void ApplyListIndex();
  void ApplyDate();
  void ApplyToolTip();
  void ApplyColors();
  void DrawButton(const DRAWITEMSTRUCT& item);
  void DrawPicture(const DRAWITEMSTRUCT& item);
  std::string WindowText() const;

  Win32FormPeer& form_;
  Control& control_;
  HWND hwnd_ = nullptr;
  HBRUSH brush_ = nullptr;
  bool echo_ = false;        // our own change is on its way back as a notification
  bool hasToolTip_ = false;
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
