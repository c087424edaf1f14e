// The notification-area form: a window that is never shown, owning one icon
// in the task bar's notification area and one popup menu. It turns the
// shell's notifications about the icon into events for its one listener
// (the main window) and knows nothing else of the program.
//
// The icon's record (TrayIconData) lives as long as the window and goes to
// the shell whole on every request, with the fields the request changes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/Forms.h"
#include "platform/Platform.h"

namespace tavrel {

class frmSysTray : public Form {
 public:
  frmSysTray();
  // A tray object released while its icon is shown takes the icon with it:
  // no icon is left behind without a window to answer for it.
  ~frmSysTray() override;

  // The icon's tooltip: up to 63 characters; a longer text is cut.
  std::string ToolTip() const;
  void SetToolTip(const std::string& text);
  // The icon shown in the notification area.
  WindowHandle IconHandle() const;
  void SetIconHandle(WindowHandle icon);

  // Menu items are numbered from 0 without gaps. The first call reuses item
  // 0, which exists from the start; each later call appends one. A caption
  // of "-" is a separator line.
  int AddMenuItem(const std::string& caption, const std::string& key, bool isDefault);
  void EnableMenuItem(int index, bool enabled);
  // Item 0 only loses its caption; a later item is removed, the items
  // after it moving up with their captions and keys.
  void RemoveMenuItem(int index);
  // The item drawn in bold; an index outside the menu makes it item 0.
  int DefaultMenuIndex() const { return defaultIndex_; }
  void SetDefaultMenuIndex(int index);
  // Pops the menu up at the mouse pointer; returns when it closed. A chosen
  // item raises MenuClick.
  void ShowMenu();
  // Puts the icon into the notification area.
  void Add_Icon_To_Tray();

  // What the shell is sent, as it stands.
  const TrayIconData& TrayIconRecord() const { return TrayIconData_; }
  bool IconAdded() const { return iconAdded_; }
  // Whether the shell accepted the icon.
  bool IconShown() const { return iconShown_; }

  // Events, raised synchronously to the one listener. The button is 1 for
  // the left and 2 for the right mouse button. A handler may release this
  // object: nothing of it is touched after an event returns.
  std::function<void(int button)> SysTrayMouseDown;
  std::function<void(int button)> SysTrayMouseUp;
  std::function<void()> SysTrayMouseMove;
  std::function<void(int button)> SysTrayDoubleClick;
  std::function<void(long index, const std::string& key)> MenuClick;
  // The shell refused the icon at the add and at every retry: no icon
  // shows, so the listener should show its window instead.
  std::function<void()> SysTrayIconRefused;

  // A refused add (no task bar yet, at log-on) is tried again this often,
  // this far apart, and whenever a new task bar says it is there.
  static constexpr int kAddRetries = 5;
  static constexpr long kRetryIntervalMs = 2000;

  void Form_QueryUnload(int& cancel, int unloadMode) override;
  void Form_MouseMove(int button, int shift, float x, float y) override;
  void Form_Message(unsigned message, uintptr_t wParam, intptr_t lParam) override;

 private:
  struct Item {
    std::string caption;
    std::string key;
    bool visible = true;
    bool enabled = true;
  };
  bool MenuIndexInRange(int index) const;
  void mnuSysTray_Click(int index);
  void SetTip(const std::string& text);
  bool Send(uint32_t message);
  void RemoveIcon();
  // NIM_ADD with the whole record; an add the shell refuses because it
  // knows the icon already (its answer to the first add lost in a time-out)
  // counts as shown once a modify finds it.
  bool AddWholeIcon();
  void tmrRetry_Timer();

  TrayIconData TrayIconData_;
  bool MenuCreated_ = false;
  int defaultIndex_ = 0;
  std::vector<Item> mnuSysTray_;  // the entries of the popup mnuPopup
  bool iconAdded_ = false;
  bool iconShown_ = false;
  int retriesLeft_ = 0;
  unsigned taskbarCreated_ = 0;
  Timer tmrRetry_;
};

}  // namespace tavrel
