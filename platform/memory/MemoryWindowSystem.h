// The in-memory window system: form and control peers that copy what a
// window would show, recorded message boxes and popup menus, and the timers
// a test fires by hand.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Forms.h"

namespace tavrel {

// What a control's window shows, copied from the control whenever it tells
// its peer of a change: the tests read the screen from here.
struct ControlView {
  std::string caption;
  int value = 0;
  bool visible = true;
  bool enabled = true;
  long backColor = 0, foreColor = 0;
  std::string toolTip;
  int listIndex = -1;
  std::vector<std::string> items;
  Rect bounds;
  int picture = 0;
  DateTime date;
  Font font;
  bool transparent = false;
  MousePointer pointer = MousePointer::Default;
};

class MemoryWindowSystem;

class MemoryControlPeer : public ControlPeer {
 public:
  explicit MemoryControlPeer(Control& control);
  void Update(Prop what) override;
  const ControlView& View() const { return view_; }
  Control& Model() { return control_; }

 private:
  Control& control_;
  ControlView view_;
};

class MemoryFormPeer : public FormPeer {
 public:
  MemoryFormPeer(MemoryWindowSystem& system, Form& form, WindowHandle handle);
  ~MemoryFormPeer() override;
  void Update(Prop what) override;
  std::unique_ptr<ControlPeer> CreateControlPeer(Control& control) override;
  void Refresh() override;
  WindowHandle Handle() override { return handle_; }
  void BringToTop() override;
  void Drag() override { ++drags; }
  void RunModal() override;

  // What the window shows.
  MemoryControlPeer* Control(int id) const;
  // A control a user can see: visible with its containers, and inside the
  // window's area (a control below the window's height is cut off).
  bool Shows(int id) const;
  Form& Model() { return form_; }

  std::string caption;
  Rect bounds;
  bool visible = false;
  bool topMost = false;
  int drags = 0;
  int modalRuns = 0;
  int broughtToTop = 0;

 private:
  MemoryWindowSystem& system_;
  Form& form_;
  WindowHandle handle_;
  std::map<int, MemoryControlPeer*> controls_;
};

class MemoryWindowSystem : public IWindowSystem {
 public:
  struct Box {
    std::string text, title;
    long style;
  };
  struct Menu {
    std::string owner;
    std::vector<MenuItem> items;
    int defaultIndex;
  };
  std::unique_ptr<FormPeer> CreateFormPeer(Form& form) override;
  std::unique_ptr<TimerPeer> CreateTimerPeer(Timer& timer) override;
  int MessageBox(const std::string& text, const std::string& title, long style) override;
  void DoEvents() override;
  void WaitForEvents(unsigned) override { DoEvents(); }
  WindowHandle DesktopWindow() override { return 1; }
  long ScreenWidthTwips() override { return screenWidth; }
  long ScreenHeightTwips() override { return screenHeight; }
  // The main screen alone, unless a test sets more screens.
  Rect DesktopTwips() override { return desktop.width ? desktop : Rect{0, 0, screenWidth, screenHeight}; }
  void SetScreenPointer(MousePointer pointer) override { screenPointers.push_back(pointer); }
  unsigned RegisterMessage(const std::string& name) override;
  int PopupMenu(Form& owner, const std::vector<MenuItem>& items, int defaultIndex) override;
  WindowHandle IconHandle(int picture) override { return picture ? 50000 + picture : 0; }
  float TwipsPerPixel() override { return 15; }

  // The main screen (1024 x 768 pixels of 15 twips) and, when set, the
  // area of all screens.
  long screenWidth = 1024 * 15, screenHeight = 768 * 15;
  Rect desktop;

  // The system tells every window that its clock or settings changed.
  void SystemChange();
  // The computer wakes from standby: every window hears of it.
  void PowerResume();
  // The loaded window of a form, by the form's name; nullptr when none.
  MemoryFormPeer* Window(const std::string& formName) const;

  std::vector<Box> boxes;
  std::deque<int> answers;          // buttons to press, vbOK when empty
  std::function<void(const Box&)> onMessageBox;  // runs while a box is shown
  int doEvents = 0;
  std::function<void()> onDoEvents;  // runs inside DoEvents (a timer tick, say)
  std::vector<std::string> formsCreated;
  std::function<void(const std::string& formName)> onCreateForm;
  std::function<void(Form&)> onModal;  // acts while a form is shown modally
  std::vector<Timer*> timers;
  std::map<WindowHandle, MemoryFormPeer*> windows;
  std::vector<MousePointer> screenPointers;
  std::map<std::string, unsigned> registeredMessages;
  std::vector<Menu> menus;
  std::deque<int> menuChoices;      // items to choose, -1 (none) when empty
  int refreshes = 0;

 private:
  WindowHandle nextHandle_ = 100;
};

}  // namespace tavrel
