// The notification-area form. Every member skips a failing statement and
// goes on with the next; nothing here reports to the user or the log, and
// the shell's answers are not examined.
#include "tray/frmSysTray.h"

#include <cmath>
#include <cstring>

#include "app/PictureIds.h"
#include "support/ErrorTrap.h"

namespace tavrel {
namespace {

// The shell reports what happened on the icon as the mouse message's number
// in the callback's lParam, which the window sees as the x of a mouse move.
enum : int {
  kMouseMove = 0x200,
  kLeftDown = 0x201,
  kLeftUp = 0x202,
  kLeftDoubleClick = 0x203,
  kRightDown = 0x204,
  kRightUp = 0x205,
  kRightDoubleClick = 0x206,
};
constexpr uint32_t kCallbackMessage = kMouseMove;
constexpr std::size_t kTipChars = sizeof(TrayIconData{}.szTip) - 1;  // 63 and the NUL

uint32_t Handle32(WindowHandle handle) { return static_cast<uint32_t>(handle); }

// The icon the window carries itself; the owner replaces it on the icon.
WindowHandle OwnIcon() { return Sys().windows->IconHandle(IDI_STOP); }

}  // namespace

frmSysTray::frmSysTray()
    : Form("frmSysTray", BorderStyle::Hidden), tmrRetry_(*this, "tmrRetry", kRetryIntervalMs, false) {
  SetCaption("Sys Tray Interface");
  mnuSysTray_.push_back(Item{});
  tmrRetry_.Tick = [this] { tmrRetry_Timer(); };
}

frmSysTray::~frmSysTray() {
  ErrorTrap::Quietly([&] { RemoveIcon(); });
}

// ---------------------------------------------------------------------------
// The icon

bool frmSysTray::Send(uint32_t message) {
  INotifyArea* area = Sys().notifyArea;
  return area && area->Notify(message, TrayIconData_);
}

void frmSysTray::RemoveIcon() {
  if (!iconAdded_) return;
  iconAdded_ = false;
  iconShown_ = false;
  Send(kNimDelete);
}

bool frmSysTray::AddWholeIcon() {
  TrayIconData_.uFlags = kNifMessage | kNifIcon | kNifTip;
  return Send(kNimAdd) || Send(kNimModify);
}

// The last retry gives up and tells the listener, as the last thing done:
// its handler may act on this object.
void frmSysTray::tmrRetry_Timer() {
  ErrorTrap::Quietly([&] {
    if (!iconShown_) iconShown_ = AddWholeIcon();
  });
  if (iconShown_ || --retriesLeft_ <= 0) tmrRetry_.SetEnabled(false);
  if (!iconShown_ && retriesLeft_ <= 0) ErrorTrap::Quietly([&] {
      if (SysTrayIconRefused) SysTrayIconRefused();
    });
}

void frmSysTray::Add_Icon_To_Tray() {
  ErrorTrap::Quietly([&] { Load(); });
  ErrorTrap::Quietly([&] { TrayIconData_.hWnd = Handle32(hwnd()); });
  ErrorTrap::Quietly([&] { TrayIconData_.uID = Handle32(OwnIcon()); });
  ErrorTrap::Quietly([&] { TrayIconData_.uFlags = kNifMessage | kNifIcon | kNifTip; });
  ErrorTrap::Quietly([&] { TrayIconData_.uCallbackMessage = kCallbackMessage; });
  ErrorTrap::Quietly([&] { TrayIconData_.hIcon = Handle32(OwnIcon()); });
  ErrorTrap::Quietly([&] { SetTip(Sys().process->ProductName()); });
  ErrorTrap::Quietly([&] { TrayIconData_.cbSize = sizeof(TrayIconData); });
  ErrorTrap::Quietly([&] {
    // The shell knows the icon from here on, whatever it answered: the
    // delete at the end is sent either way.
    iconAdded_ = true;
    iconShown_ = Send(kNimAdd);
  });
  // A restarted Explorer (a new task bar) has forgotten every icon and says
  // so with this message to every top-level window.
  ErrorTrap::Quietly([&] { taskbarCreated_ = Sys().windows->RegisterMessage("TaskbarCreated"); });
  // At log-on the program can start before the task bar exists.
  if (!iconShown_) {
    retriesLeft_ = kAddRetries;
    ErrorTrap::Quietly([&] { tmrRetry_.SetEnabled(true); });
  }
}

// The text, cut to what the field holds, then a NUL, then spaces.
void frmSysTray::SetTip(const std::string& text) {
  const std::string tip = text.substr(0, kTipChars);
  std::memset(TrayIconData_.szTip, ' ', sizeof TrayIconData_.szTip);
  std::memcpy(TrayIconData_.szTip, tip.data(), tip.size());
  TrayIconData_.szTip[tip.size()] = '\0';
}

std::string frmSysTray::ToolTip() const {
  const char* tip = TrayIconData_.szTip;
  const void* nul = std::memchr(tip, '\0', sizeof TrayIconData_.szTip);
  return std::string(tip, nul ? static_cast<const char*>(nul) : tip + sizeof TrayIconData_.szTip);
}

// The same text twice (also a long text whose first 63 characters are
// shown already) sends nothing.
void frmSysTray::SetToolTip(const std::string& text) {
  bool same = false;
  ErrorTrap::Quietly([&] { same = ToolTip() == text.substr(0, kTipChars); });
  if (same) return;
  ErrorTrap::Quietly([&] { SetTip(text); });
  ErrorTrap::Quietly([&] { TrayIconData_.uFlags = kNifTip; });
  ErrorTrap::Quietly([&] { Send(kNimModify); });
}

WindowHandle frmSysTray::IconHandle() const {
  // Sign-extended as the system widens a 32-bit handle.
  return static_cast<WindowHandle>(static_cast<int32_t>(TrayIconData_.hIcon));
}

void frmSysTray::SetIconHandle(WindowHandle icon) {
  if (Handle32(icon) == TrayIconData_.hIcon) return;
  ErrorTrap::Quietly([&] { TrayIconData_.hIcon = Handle32(icon); });
  ErrorTrap::Quietly([&] { TrayIconData_.uFlags = kNifIcon; });
  ErrorTrap::Quietly([&] { Send(kNimModify); });
}

// Unloading is never cancelled; the icon goes with the window.
void frmSysTray::Form_QueryUnload(int&, int) {
  ErrorTrap::Quietly([&] { tmrRetry_.SetEnabled(false); });
  ErrorTrap::Quietly([&] {
    iconAdded_ = false;
    iconShown_ = false;
    Send(kNimDelete);
  });
}

// The shell's notification: x, scaled from pixels to twips on the way, is
// the number of the mouse message on the icon.
void frmSysTray::Form_MouseMove(int, int, float x, float) {
  int message = 0;
  if (!ErrorTrap::Quietly([&] { message = static_cast<int>(std::lround(x / Sys().windows->TwipsPerPixel())); }))
    return;
  // Raising an event is the last thing done: its handler may release this
  // object.
  ErrorTrap::Quietly([&] {
    switch (message) {
      case kMouseMove: if (SysTrayMouseMove) SysTrayMouseMove(); break;
      case kLeftDown: if (SysTrayMouseDown) SysTrayMouseDown(vbLeftButton); break;
      case kLeftUp: if (SysTrayMouseUp) SysTrayMouseUp(vbLeftButton); break;
      case kLeftDoubleClick: if (SysTrayDoubleClick) SysTrayDoubleClick(vbLeftButton); break;
      case kRightDown: if (SysTrayMouseDown) SysTrayMouseDown(vbRightButton); break;
      case kRightUp: if (SysTrayMouseUp) SysTrayMouseUp(vbRightButton); break;
      case kRightDoubleClick: if (SysTrayDoubleClick) SysTrayDoubleClick(vbRightButton); break;
      default: break;  // the middle button and anything else
    }
  });
}

// A new task bar knows no icons: ours is added again, whole, as at first.
void frmSysTray::Form_Message(unsigned message, uintptr_t, intptr_t) {
  if (!iconAdded_ || taskbarCreated_ == 0 || message != taskbarCreated_) return;
  ErrorTrap::Quietly([&] { TrayIconData_.uFlags = kNifMessage | kNifIcon | kNifTip; });
  ErrorTrap::Quietly([&] { iconShown_ = Send(kNimAdd); });
  if (iconShown_) ErrorTrap::Quietly([&] { tmrRetry_.SetEnabled(false); });
}

// ---------------------------------------------------------------------------
// The menu

bool frmSysTray::MenuIndexInRange(int index) const {
  return index >= 0 && index < static_cast<int>(mnuSysTray_.size());
}

int frmSysTray::AddMenuItem(const std::string& caption, const std::string& key, bool isDefault) {
  int index = 0;
  // The window exists from the first use of its menu.
  ErrorTrap::Quietly([&] { Load(); });
  ErrorTrap::Quietly([&] {
    if (!MenuCreated_) {
      index = 0;
      MenuCreated_ = true;
    } else {
      index = static_cast<int>(mnuSysTray_.size());
      mnuSysTray_.push_back(Item{});
    }
  });
  ErrorTrap::Quietly([&] { mnuSysTray_.at(index).visible = true; });
  ErrorTrap::Quietly([&] { mnuSysTray_.at(index).key = key; });
  ErrorTrap::Quietly([&] { mnuSysTray_.at(index).caption = caption; });
  if (isDefault) defaultIndex_ = index;
  return index;
}

void frmSysTray::EnableMenuItem(int index, bool enabled) {
  if (MenuIndexInRange(index)) mnuSysTray_[index].enabled = enabled;
}

void frmSysTray::RemoveMenuItem(int index) {
  if (!MenuIndexInRange(index)) return;
  if (index == 0) {
    mnuSysTray_[0].caption.clear();
    return;
  }
  // Captions and keys move up; enabled and visible stay with the places.
  const int last = static_cast<int>(mnuSysTray_.size()) - 1;
  for (int i = index + 1; i <= last; ++i) {
    mnuSysTray_[i - 1].caption = mnuSysTray_[i].caption;
    mnuSysTray_[i - 1].key = mnuSysTray_[i].key;
  }
  mnuSysTray_.pop_back();
}

void frmSysTray::SetDefaultMenuIndex(int index) { defaultIndex_ = MenuIndexInRange(index) ? index : 0; }

// The window system brings the tray window to the foreground first, so that
// the menu closes when the user clicks elsewhere. A default index that no
// longer names an item (after removals) shows no bold item.
void frmSysTray::ShowMenu() {
  std::vector<MenuItem> items;
  int chosen = -1;
  ErrorTrap::Quietly([&] { Load(); });
  ErrorTrap::Quietly([&] {
    for (const Item& item : mnuSysTray_) items.push_back(MenuItem{item.caption, item.enabled, item.visible});
  });
  ErrorTrap::Quietly([&] {
    const int bold = defaultIndex_ > -1 && MenuIndexInRange(defaultIndex_) ? defaultIndex_ : -1;
    chosen = Sys().windows->PopupMenu(*this, items, bold);
  });
  if (MenuIndexInRange(chosen)) mnuSysTray_Click(chosen);
}

// Separators cannot be chosen.
void frmSysTray::mnuSysTray_Click(int index) {
  std::string key;
  if (!ErrorTrap::Quietly([&] {
        if (mnuSysTray_.at(index).caption == "-" || !mnuSysTray_.at(index).enabled) index = -1;
        else key = mnuSysTray_.at(index).key;
      }) || index < 0)
    return;
  ErrorTrap::Quietly([&] {
    if (MenuClick) MenuClick(index, key);
  });
}

}  // namespace tavrel
