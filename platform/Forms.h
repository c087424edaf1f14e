// The control layer the forms are written in. A form is a class whose
// members are its controls; a control is a small object holding the
// properties the program uses and raising its events. The window system
// (IWindowSystem) gives each form and control a peer that mirrors the
// properties on screen: a real window in platform/win32, a record in
// platform/memory. The objects here are the truth; peers only show it and
// report what the user did through the User* entry points.
//
// Positions and sizes are in twips (1440 per inch); colours are 0x00BBGGRR.
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

enum class ControlKind {
  Label, Button, CheckBox, OptionButton, TextBox, ComboBox, Frame, PictureBox, Image, DatePicker,
};

// Which property of a control or form changed, for the peer.
enum class Prop {
  Caption, Value, Visible, Enabled, BackColor, ForeColor, ToolTip, ListIndex, Items, Bounds,
  Picture, Date,
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
};

class TimerPeer {
 public:
  virtual ~TimerPeer() = default;
  virtual void Update() = 0;  // interval or enabled changed
};

// Message box styles and answers, as the system's.
enum : long {
  vbOKOnly = 0, vbOKCancel = 1, vbCritical = 16, vbSystemModal = 4096,
};
enum : int { vbOK = 1, vbCancel = 2 };

class IWindowSystem {
 public:
  virtual ~IWindowSystem() = default;
  virtual std::unique_ptr<FormPeer> CreateFormPeer(Form& form) = 0;
  virtual std::unique_ptr<TimerPeer> CreateTimerPeer(Timer& timer) = 0;
  // A modal message box; returns the button pressed (vbOK, vbCancel, ...).
  virtual int MessageBox(const std::string& text, const std::string& title, long style) = 0;
  // Lets the pending window events run once.
  virtual void DoEvents() = 0;
  virtual WindowHandle DesktopWindow() = 0;
  virtual long ScreenWidthTwips() = 0;
  virtual long ScreenHeightTwips() = 0;
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
  std::function<void(int button, int shift, float x, float y)> MouseDown;

  // What the user did, reported by the peer.
  void UserClick();
  void UserEditText(const std::string& text);
  void UserSelectItem(int index);
  void UserPickDate(DateTime date);
  void UserLeave();
  void UserMouseDown(int button, int shift, float x, float y);

  // Called by the form when it creates its window.
  void CreatePeer(FormPeer& formPeer);

 private:
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
  std::vector<std::string> items_;
  int listIndex_ = -1;
  DateTime date_;
  std::unique_ptr<ControlPeer> peer_;
};

class Timer {
 public:
  Timer(Form& form, std::string name, long intervalMs, bool enabled);
  ~Timer();
  const std::string& Name() const { return name_; }
  long Interval() const { return interval_; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  std::function<void()> Tick;
  // Called by the peer at every interval while enabled.
  void Fire();
  void CreatePeer();

 private:
  std::string name_;
  long interval_;
  bool enabled_;
  std::unique_ptr<TimerPeer> peer_;
};

class Form {
 public:
  explicit Form(std::string name);
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;
  virtual ~Form();

  const std::string& Name() const { return name_; }
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
  bool Visible() const { return visible_; }
  void Show();
  void Hide();
  void Refresh();
  // The window's handle; 0 until the window exists.
  WindowHandle hwnd() const;

  // Creates the window and its controls (once) and runs Form_Load.
  void Load();
  bool Loaded() const { return peer_ != nullptr; }

  const std::vector<Control*>& Controls() const { return controls_; }
  Control* FindControl(int id) const;
  const std::vector<Timer*>& Timers() const { return timers_; }

  // Events raised by the window system.
  virtual void Form_Load() {}
  // The user or the system asks to close the window.
  virtual void Form_QueryUnload(int& cancel, int unloadMode) { (void)cancel; (void)unloadMode; }
  // A click on the window's own background.
  virtual void Form_Click() {}

 private:
  friend class Control;
  friend class Timer;
  void Register(Control* control) { controls_.push_back(control); }
  void Register(Timer* timer) { timers_.push_back(timer); }
  void Notify(Prop what);

  std::string name_;
  Rect bounds_;
  long backColor_ = 0x8000000F;
  bool visible_ = false;
  std::vector<Control*> controls_;
  std::vector<Timer*> timers_;
  std::unique_ptr<FormPeer> peer_;
};

}  // namespace tavrel
