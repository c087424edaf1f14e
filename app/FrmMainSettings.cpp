// The user's settings: copied from the per-user store into the controls
// once at load, and back whenever the options are saved, the zone view is
// switched or the program ends. The controls are the only live copy.
//
// Order matters on the way in: setting a box runs its click handler (a
// ticked "Start with Windows" rewrites its entry, "Always on top" acts at
// once), and the period text runs its own check. A value that does not
// convert, or that its control refuses, is reported and the next one is
// still loaded.
#include <algorithm>
#include <cmath>

#include "app/A_Tavrel_Main.h"
#include "app/FrmMain.h"
#include "platform/Platform.h"
#include "platform/SettingsStore.h"
#include "support/ErrorTrap.h"
#include "support/Text.h"

namespace tavrel {
namespace {

const char* const kSection = "Settings";

std::string Read(const char* name, const std::string& defaultValue) {
  return GetSetting(UserSettingsApplication(), kSection, name, defaultValue);
}

void Write(const char* name, const std::string& text) {
  SaveSetting(UserSettingsApplication(), kSection, name, text);
}

char Decimal() { return Sys().locale->DecimalSeparator(); }

// A position or height in twips, stored as a single-precision number.
long ReadTwips(const char* name, long defaultValue) {
  return std::lround(static_cast<float>(CDbl(Read(name, std::to_string(defaultValue)), Decimal())));
}

int ReadInteger(const char* name, int defaultValue) { return CInt(Read(name, std::to_string(defaultValue)), Decimal()); }

bool ReadTruth(const char* name, bool defaultValue) {
  return CBool(Read(name, defaultValue ? "-1" : "0"), Decimal());
}

}  // namespace

void FrmMain::Load_Registry() {
  ErrorTrap trap(kSourceMain, "Load_Registry of Formular FrmMain");
  trap(10, [&] { SetLeft(ReadTwips("MainLeft", 1000)); });
  trap(20, [&] { SetTop(ReadTwips("MainTop", 1000)); });
  trap(30, [&] { SetHeight(ReadTwips("MainHeight", kCompactHeight)); });
  // Only the small clock comes back as it was; the options and zone views
  // open compact.
  trap(40, [&] {
    if (Height() == kSmallClockHeight) {
      imgMinimize.SetToolTip("enlarge Clock");
      lblTimeHeader.SetVisible(true);
    } else {
      SetHeight(kCompactHeight);
    }
  });
  // A place stored on a larger or another screen that is gone now would
  // open the window where nobody can see it: it comes back onto the screen,
  // moved no further than needed. A place on the screen is kept.
  trap(45, [&] { KeepOnScreen(); });
  trap(50, [&] { lblLastUpdate.SetCaption(Read("lblLastUpdate", "")); });
  trap(60, [&] { txtTimeCorrection.SetText(Read("txtTimeCorrection", "0")); });
  trap(70, [&] { chkExit.SetValue(ReadInteger("chkExit", 0)); });
  trap(80, [&] { chkStartWithWindow.SetValue(ReadInteger("chkStartWithWindow", 0)); });
  trap(90, [&] { chkTimeSync.SetValue(ReadInteger("chkTimeSync", 0)); });
  trap(100, [&] { chkStartInSysTray.SetValue(ReadInteger("chkStartInSysTray", 0)); });
  trap(110, [&] { chkWinOnTop.SetValue(ReadInteger("chkWinOnTop", 0)); });
  trap(120, [&] { txtPeriodic.SetText(Read("txtPeriodic", "0")); });
  trap(130, [&] { chkPeriodic.SetValue(ReadInteger("chkPeriodic", 0)); });
  trap(140, [&] { Combo1.SetListIndex(ReadInteger("VoicePeriode", 0)); });
  trap(150, [&] { chkVoice.SetValue(ReadInteger("chkVoice", 0)); });
  trap(160, [&] { chkDT.SetValue(ReadInteger("chkDT", 1)); });
  trap(170, [&] { optusnavy.SetValue(ReadTruth("optusnavy", true) ? -1 : 0); });
  trap(180, [&] { optebay.SetValue(ReadTruth("optebay", false) ? -1 : 0); });
  // The time source: 0 the web pages, 1 serving NTP on the port in the
  // address box, 2 the NTP server in the address box.
  trap(190, [&] {
    const int source = ReadInteger("optTimeSource", 0);
    if (source < 0 || source > 2) Raise(errInvalidPropertyValue);
    optTimeSource(source).SetValue(-1);
  });
  trap(200, [&] { txtIPaddress.SetText(Read("txtIPaddress", "")); });
  // While serving, the program's own source: 0 the web, 1 the NTP server
  // in txtNtpServer.
  trap(210, [&] {
    const int index = ReadInteger("cboServerSource", 0);
    if (index != 0 && index != 1) Raise(errInvalidPropertyValue);
    cboServerSource.SetListIndex(index);
  });
  trap(220, [&] { txtNtpServer.SetText(Read("txtNtpServer", "")); });
  trap(230, [&] {
    txtMaxCorrection.SetText(Read("txtMaxCorrection", "2"));
    txtMaxCorrection_LostFocus();
  });
}

// The window opens compact whatever its stored height (Main sets it), so
// the compact window must fit.
void FrmMain::KeepOnScreen() {
  const Rect desk = Sys().windows->DesktopTwips();
  const long height = std::max(Height(), kCompactHeight);
  auto inside = [](long at, long size, long from, long room) {
    return std::max(from, std::min(at, from + room - size));
  };
  const long left = inside(Left(), Width(), desk.left, desk.width);
  const long top = inside(Top(), height, desk.top, desk.height);
  if (left != Left()) SetLeft(left);
  if (top != Top()) SetTop(top);
}

void FrmMain::Save_Registry() {
  ErrorTrap trap(kSourceMain, "Save_Registry of Formular FrmMain");
  auto truth = [](const Control& option) { return std::string(option.Value() ? "True" : "False"); };
  trap(10, [&] { Write("MainLeft", CStr(Left())); });
  trap(20, [&] { Write("MainTop", CStr(Top())); });
  trap(30, [&] { Write("MainHeight", CStr(Height())); });
  trap(40, [&] { Write("lblLastUpdate", lblLastUpdate.Caption()); });
  trap(50, [&] { Write("txtTimeCorrection", txtTimeCorrection.Text()); });
  trap(60, [&] { Write("chkExit", CStr(chkExit.Value())); });
  trap(70, [&] { Write("chkStartWithWindow", CStr(chkStartWithWindow.Value())); });
  trap(80, [&] { Write("chkTimeSync", CStr(chkTimeSync.Value())); });
  trap(90, [&] { Write("chkStartInSysTray", CStr(chkStartInSysTray.Value())); });
  trap(100, [&] { Write("chkWinOnTop", CStr(chkWinOnTop.Value())); });
  trap(110, [&] { Write("txtPeriodic", txtPeriodic.Text()); });
  trap(120, [&] { Write("chkPeriodic", CStr(chkPeriodic.Value())); });
  trap(130, [&] { Write("VoicePeriode", CStr(Combo1.ListIndex())); });
  trap(140, [&] { Write("chkVoice", CStr(chkVoice.Value())); });
  trap(150, [&] { Write("chkDT", CStr(chkDT.Value())); });
  trap(160, [&] { Write("optusnavy", truth(optusnavy)); });
  trap(170, [&] { Write("optebay", truth(optebay)); });
  trap(180, [&] { Write("optTimeSource", optTimeSource(1).Value() ? "1" : optTimeSource(2).Value() ? "2" : "0"); });
  trap(190, [&] { Write("txtIPaddress", txtIPaddress.Text()); });
  trap(200, [&] { Write("cboServerSource", CStr(cboServerSource.ListIndex())); });
  trap(210, [&] { Write("txtNtpServer", txtNtpServer.Text()); });
  trap(220, [&] { Write("txtMaxCorrection", txtMaxCorrection.Text()); });
}

}  // namespace tavrel
