// The control layer the forms are written in. A form is a class whose
// members are its controls; a control is a small object holding the
// properties the program uses and raising its events. The window system
// (IWindowSystem) gives each form and control a peer that mirrors the
// properties on screen: a real window in platform/win32, a record in
// platform/memory. The objects here are the truth; peers only show it and
// report what the user did through the User* entry points.
//
// Positions and sizes are in twips (1440 per inch); colours are 0x00BBGGRR.
//
// One header of over 400 lines on purpose: control, form, timer and the
// window system's interface refer to one another and are read together.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/DateTime.h"

namespace tavrel {

using WindowHandle = std::intptr_t;

class Form;
class Control;
class Timer;

// Runs an event handler's body at a peer boundary: a run-time error that
// escaped the handler's own traps goes to the handler the program installs
// (the central error reporter), never into the window system's dispatch.
// `where` names the boundary ("WindowProc of Formular FrmMain").
using EventErrorHandler = std::function<void(const std::string& where, long number, const std::string& description)>;
void SetEventErrorHandler(EventErrorHandler handler);
// Reports the exception being handled; call only inside a catch block.
void ReportEventError(const std::string& where) noexcept;
template <class Body>
void GuardEvent(const std::string& where, Body&& body) noexcept {
  try {
    body();
  } catch (...) {
    ReportEventError(where);
  }
}

enum class ControlKind {
  Label, Button, CheckBox, OptionButton, TextBox, ComboBox, Frame, PictureBox, Image, DatePicker,
};

// Which property of a control or form changed, for the peer.
enum class Prop {
  Caption, Value, Visible, Enabled, BackColor, ForeColor, ToolTip, ListIndex, Items, Bounds,
  Picture, Date, Font, Transparent, MousePointer, TopMost,
};

// A control's font: face, size in points, bold or not.
struct Font {
  std::string name = "Tahoma";
  int size = 8;
  bool bold = false;
  friend bool operator==(const Font& a, const Font& b) {
    return a.name == b.name && a.size == b.size && a.bold == b.bold;
  }
};

// Mouse pointers, numbered as the runtime numbers them; Hand is the
// pointer of the links (the runtime's custom pointer).
enum class MousePointer : int { Default = 0, Arrow = 1, Hourglass = 11, ArrowQuestion = 14, Hand = 99 };

// Mouse buttons and keys of the mouse events, as the runtime numbers them.
enum : int { vbLeftButton = 1, vbRightButton = 2, vbMiddleButton = 4 };
enum : int { vbShiftMask = 1, vbCtrlMask = 2, vbAltMask = 4 };

using MouseHandler = std::function<void(int button, int shift, float x, float y)>;

// One entry of a popup menu; a caption of "-" is a separator line.
struct MenuItem {
  std::string caption;
  bool enabled = true;
  bool visible = true;
};

struct Rect {
  long left = 0, top = 0, width = 0, height = 0;  // twips
};

class ControlPeer {
 public:
  virtual ~ControlPeer() = default;
  virtual void Update(Prop what) = 0;
};

class FormPeer {
 public:
  virtual ~FormPeer() = default;
  virtual void Update(Prop what) = 0;
  virtual std::unique_ptr<ControlPeer> CreateControlPeer(Control& control) = 0;
  // Paints the window at once, before the program blocks.
  virtual void Refresh() = 0;
  virtual WindowHandle Handle() = 0;
  // Brings the window to the top of the window order.
  virtual void BringToTop() = 0;
  // Moves the window with the mouse until the left button is released.
  virtual void Drag() = 0;
  // Shows the window modally: returns when the form is hidden or unloaded.
  virtual void RunModal() = 0;
};

class TimerPeer {
 public:
  virtual ~TimerPeer() = default;
  virtual void Update() = 0;  // interval or enabled changed
};

// Message box styles and answers, as the system's.
enum : long {
  vbOKOnly = 0, vbOKCancel = 1, vbYesNo = 4, vbCritical = 16, vbExclamation = 48, vbInformation = 64,
  vbDefaultButton2 = 256, vbSystemModal = 4096,
};
enum : int { vbOK = 1, vbCancel = 2, vbYes = 6, vbNo = 7 };

class IWindowSystem {
 public:
  virtual ~IWindowSystem() = default;
  virtual std::unique_ptr<FormPeer> CreateFormPeer(Form& form) = 0;
  virtual std::unique_ptr<TimerPeer> CreateTimerPeer(Timer& timer) = 0;
  // A modal message box; returns the button pressed (vbOK, vbCancel, ...).
  virtual int MessageBox(const std::string& text, const std::string& title, long style) = 0;
  // Lets the pending window events run once.
  virtual void DoEvents() = 0;
  // Waits up to `ms` milliseconds for a window event, then lets the pending
  // ones run: a wait that keeps the window alive without spinning.
  virtual void WaitForEvents(unsigned ms) = 0;
  virtual WindowHandle DesktopWindow() = 0;
  virtual long ScreenWidthTwips() = 0;
  virtual long ScreenHeightTwips() = 0;
  // The area all screens together cover, in twips; its left and top are
  // negative where a screen lies left of or above the main one.
  virtual Rect DesktopTwips() = 0;
  // The program-wide pointer (the hourglass while the program is busy);
  // Default lets each control show its own.
  virtual void SetScreenPointer(MousePointer pointer) = 0;
  // RegisterWindowMessage: the number of a message known by its name.
  virtual unsigned RegisterMessage(const std::string& name) = 0;
  // Pops up a menu at the mouse pointer for `owner`, with the item at
  // `defaultIndex` in bold (-1: none). Returns the chosen index, -1 when the
  // menu closed without a choice.
  virtual int PopupMenu(Form& owner, const std::vector<MenuItem>& items, int defaultIndex) = 0;
  // The icon of one of the program's pictures, loaded once; 0 when none.
  virtual WindowHandle IconHandle(int picture) = 0;
  // Twips per pixel of the display (15 at 96 DPI): what a window's mouse
  // positions were scaled by.
  virtual float TwipsPerPixel() = 0;
};

class Control {
 public:
  Control(Form& form, int id, ControlKind kind, std::string name, Rect bounds,
          Control* container = nullptr);
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;
  virtual ~Control();

  int Id() const { return id_; }
  ControlKind Kind() const { return kind_; }
  const std::string& Name() const { return name_; }
  Form& Owner() const { return form_; }
  Control* Container() const { return container_; }

  // Caption of labels, buttons, boxes and frames; the text of a text box.
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& text);
  const std::string& Text() const { return caption_; }
  void SetText(const std::string& text) { SetCaption(text); }

  // Check box: 0 unticked, 1 ticked, 2 greyed (anything else raises 380).
  // Option button: -1 selected, 0 not. Setting a new value runs Click; a
  // selected option clears the other options of its container.
  int Value() const { return value_; }
  void SetValue(int value);

  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  long BackColor() const { return backColor_; }
  void SetBackColor(long color);
  long ForeColor() const { return foreColor_; }
  void SetForeColor(long color);
  const std::string& ToolTip() const { return toolTip_; }
  void SetToolTip(const std::string& text);
  // Pictures are resource numbers of the program's images; 0 = none.
  int Picture() const { return picture_; }
  void SetPicture(int picture);
  const tavrel::Font& Font() const { return font_; }
  void SetFont(const tavrel::Font& font);
  // A transparent label shows what lies behind it (the background picture)
  // instead of its back colour.
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool transparent);
  MousePointer Pointer() const { return pointer_; }
  void SetPointer(MousePointer pointer);

  // Drop-down lists: the items and the selected index (-1 = none; outside
  // -1 .. count-1 raises 380). A new index runs Click.
  const std::vector<std::string>& Items() const { return items_; }
  void AddItem(const std::string& item);
  int ListIndex() const { return listIndex_; }
  void SetListIndex(int index);

  // Date pickers.
  DateTime Date() const { return date_; }
  void SetDate(DateTime date);

  const Rect& Bounds() const { return bounds_; }
  void Move(long left, long top, long width, long height);

  // Events.
  std::function<void()> Click;
  std::function<void()> Change;
  std::function<void()> LostFocus;
  // Positions in twips from the control's top left corner.
  MouseHandler MouseDown;
  MouseHandler MouseUp;
  MouseHandler MouseMove;

  // What the user did, reported by the peer.
  void UserClick();
  void UserEditText(const std::string& text);
  void UserSelectItem(int index);
  void UserPickDate(DateTime date);
  void UserLeave();
  void UserMouseDown(int button, int shift, float x, float y);
  void UserMouseUp(int button, int shift, float x, float y);
  void UserMouseMove(int button, int shift, float x, float y);

  // Called by the form when it creates its window.
  void CreatePeer(FormPeer& formPeer);

 private:
  friend class Form;
  void Notify(Prop what);
  static void Raise(const std::function<void()>& handler);

  Form& form_;
  int id_;
  ControlKind kind_;
  std::string name_;
  Rect bounds_;
  Control* container_;
  std::string caption_;
  int value_ = 0;
  bool visible_ = true;
  bool enabled_ = true;
  long backColor_ = 0xFFFFFF;
  long foreColor_ = 0;
  std::string toolTip_;
  int picture_ = 0;
  tavrel::Font font_;
  bool transparent_ = false;
  MousePointer pointer_ = MousePointer::Default;
  std::vector<std::string> items_;
  int listIndex_ = -1;
  DateTime date_;
  std::unique_ptr<ControlPeer> peer_;
};

// A control array: elements of one kind and name, each its own control,
// reached by index like lblInfo(3). Elements may leave gaps.
class ControlArray {
 public:
  ControlArray(Form& form, int firstId, ControlKind kind, std::string name, Control* container = nullptr)
      : form_(form), firstId_(firstId), kind_(kind), name_(std::move(name)), container_(container) {}
  // Creates element `index` (its control ID is firstId + index), in the
  // array's container or, where given, in its own.
  Control& Add(int index, Rect bounds, Control* container = nullptr);
  // Element `index`; raises errSubscriptRange when there is none.
  Control& operator()(int index) const;
  bool Has(int index) const;

 private:
  Form& form_;
  int firstId_;
  ControlKind kind_;
  std::string name_;
  Control* container_;
  std::vector<std::pair<int, std::unique_ptr<Control>>> elements_;
};

class Timer {
 public:
  Timer(Form& form, std::string name, long intervalMs, bool enabled);
  ~Timer();
  const std::string& Name() const { return name_; }
  long Interval() const { return interval_; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  void SetInterval(long intervalMs);
  std::function<void()> Tick;
  // Called by the peer at every interval while enabled.
  void Fire();
  void CreatePeer();

 private:
  friend class Form;
  std::string name_;
  long interval_;
  bool enabled_;
  std::unique_ptr<TimerPeer> peer_;
};

// How a form's window looks: the borderless panel the program draws itself,
// a fixed dialog with a caption bar, or a window that is never shown.
enum class BorderStyle { None, FixedDialog, Hidden };

// Why a form is asked to close, as the runtime numbers it.
enum : int { vbFormControlMenu = 0, vbFormCode = 1, vbAppWindows = 2 };

class Form {
 public:
  explicit Form(std::string name, BorderStyle style = BorderStyle::None);
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;
  virtual ~Form();

  const std::string& Name() const { return name_; }
  BorderStyle Style() const { return style_; }
  // The caption bar's text; the window is titled with the form's name
  // while the caption is empty.
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& text);
  long Left() const { return bounds_.left; }
  long Top() const { return bounds_.top; }
  long Width() const { return bounds_.width; }
  long Height() const { return bounds_.height; }
  void SetLeft(long twips);
  void SetTop(long twips);
  void SetWidth(long twips);
  void SetHeight(long twips);
  const Rect& Bounds() const { return bounds_; }
  long BackColor() const { return backColor_; }
  void SetBackColor(long color);
  // The picture drawn under every control, resource number; 0 = none.
  int Picture() const { return picture_; }
  void SetPicture(int picture);
  bool Visible() const { return visible_; }
  // Shows the form, loading it first; owned by `owner` when given. A modal
  // show returns when the form is hidden or unloaded.
  void Show(bool modal = false, Form* owner = nullptr);
  void Hide();
  void Refresh();
  // Brings the window to the top of the window order.
  void ZOrder();
  // Moves the window with the mouse until the left button is released.
  void Drag();
  bool TopMost() const { return topMost_; }
  void SetTopMost(bool topMost);
  Form* Owner() const { return owner_; }
  // The window's handle; 0 until the window exists.
  WindowHandle hwnd() const;

  // Creates the window and its controls (once) and runs Form_Load.
  void Load();
  bool Loaded() const { return peer_ != nullptr; }
  // Asks Form_QueryUnload and Form_Unload; unless either cancels, the
  // window and its controls' windows are destroyed and the form leaves the
  // collection of loaded forms. It can be loaded again.
  void Unload(int unloadMode = vbFormCode);

  const std::vector<Control*>& Controls() const { return controls_; }
  Control* FindControl(int id) const;
  const std::vector<Timer*>& Timers() const { return timers_; }

  // Events raised by the window system.
  virtual void Form_Load() {}
  // The user, the program or the system asks to close the window.
  virtual void Form_QueryUnload(int& cancel, int unloadMode) { (void)cancel; (void)unloadMode; }
  virtual void Form_Unload(int& cancel) { (void)cancel; }
  // A click on the window's own background.
  virtual void Form_Click() {}
  // Mouse on the window's own background; positions in twips.
  virtual void Form_MouseDown(int button, int shift, float x, float y) { (void)button; (void)shift; (void)x; (void)y; }
  virtual void Form_MouseUp(int button, int shift, float x, float y) { (void)button; (void)shift; (void)x; (void)y; }
  virtual void Form_MouseMove(int button, int shift, float x, float y) { (void)button; (void)shift; (void)x; (void)y; }
  // The system's clock or one of its settings (the time zone among them)
  // changed: WM_TIMECHANGE, WM_SETTINGCHANGE.
  virtual void Form_SystemChange() {}
  // The computer resumed from standby or hibernation (WM_POWERBROADCAST).
  virtual void Form_Resume() {}
  // A private (WM_APP and above) or registered message sent to the window.
  virtual void Form_Message(unsigned message, uintptr_t wParam, intptr_t lParam) {
    (void)message; (void)wParam; (void)lParam;
  }

 private:
  friend class Control;
  friend class Timer;
  void Register(Control* control) { controls_.push_back(control); }
  void Register(Timer* timer) { timers_.push_back(timer); }
  void Notify(Prop what);
  void DestroyPeers();

  std::string name_;
  BorderStyle style_;
  std::string caption_;
  Rect bounds_;
  long backColor_ = 0x8000000F;
  int picture_ = 0;
  bool visible_ = false;
  bool topMost_ = false;
  Form* owner_ = nullptr;
  std::vector<Control*> controls_;
  std::vector<Timer*> timers_;
  std::unique_ptr<FormPeer> peer_;
};

// The runtime's collection of loaded forms, in the order they were loaded.
const std::vector<Form*>& LoadedForms();

}  // namespace tavrel
