// The synchronisation run a user sees: the main window locks its button and
// timer, shows that it works, hands the correction to DoAtomicTime, shows
// the result and unlocks again. The button, start-up and the tray menu run
// it through cmdTimeSync_Click; the timer's periodic run calls TimeSync
// without a message.
#include <algorithm>
#include <cmath>
#include <vector>

#include "app/FrmMain.h"
#include "platform/Platform.h"
#include "support/ErrorTrap.h"
#include "support/Globals.h"
#include "support/Text.h"
#include "support/VRN_ErrorLog.h"
#include "support/Waits.h"
#include "timesync/NtpServer.h"
#include "timesync/NtpSource.h"
#include "timesync/Sntp.h"
#include "timesync/SyncStatus.h"
#include "timesync/VRN_TimeSync.h"

namespace tavrel {
namespace {

constexpr long kRunningGreen = 8454016;  // RGB(128, 255, 128)
constexpr long kExitDelaySeconds = 5;

}  // namespace

void FrmMain::TimeSync(bool meldung) {
  ErrorTrap trap(kSourceMain, "TimeSync of Formular FrmMain");
  trap(10, [&] { Timer1.SetEnabled(false); });
  trap(20, [&] {
    cmdTimeSync.SetEnabled(false);
    cmdTimeSync.SetCaption("please wait...");
  });
  trap(30, [&] { lblTime.SetCaption("updating..."); });
  trap(40, [&] { imgCountdown.SetPicture(imgClock.Picture()); });
  trap(50, [&] { cmdTimeSync.SetBackColor(kRunningGreen); });
  // The fetches block the window: what it shows now stays until they end.
  trap(60, [&] { Refresh(); });
  trap(70, [&] { TimeCorrection = CLng(txtTimeCorrection.Text(), Sys().locale->DecimalSeparator()); });
  std::string timePage;
  bool synchronised = false;
  SyncRun run;
  run.userStarted = userRun_;
  trap(80, [&] { synchronised = DoAtomicTime(timePage, run); });
  trap(90, [&] { lblUT(7).SetCaption(timePage); });
  if (meldung) {
    trap(100, [&] {
      const std::string text =
          synchronised ? "Your system time was updated to " + Sys().locale->LongTime(Sys().clock->Now()) +
                             "\r\nTime correcten < " + CStr(SecondsCorrected) + " seconds"
                       : std::string("The attempt to synchronize your system time failed");
      Sys().windows->MessageBox(text, kSourceMain, vbOKOnly);
    });
  }
  trap(120, [&] {
    cmdTimeSync.SetBackColor(kButtonYellow);
    cmdTimeSync.SetCaption("&Get Atomic Time");
  });
  trap(130, [&] { imgCountdown.SetPicture(imgYak.Picture()); });
  trap(140, [&] { cmdTimeSync.SetEnabled(true); });
  trap(150, [&] { lblLastUpdate.SetCaption(GeneralDateText()); });
  trap(155, [&] { ShowSyncStatus(SyncStatusText(run.result, Sys().locale->LongTime(Sys().clock->Now()))); });
  AfterRun(run.result);
  hasRun_ = true;
  lastRunEndTick_ = Sys().clock->TickCount();
  trap(160, [&] { Timer1.SetEnabled(true); });
}

// With "Exit  5 seconds after time synchronization" ticked the run is silent
// and the program ends five seconds after it, counted from the whole second
// the run ended in; the window stays alive meanwhile.
//
// The button and the tray menu are the user's: their run may ask before a
// big correction. The start-up run (Form_Load) is not.
void FrmMain::cmdTimeSync_Click() {
  ErrorTrap trap(kSourceMain, "cmdTimeSync_Click of Formular FrmMain");
  bool exitAfter = false;
  trap(10, [&] { exitAfter = chkExit.Value() == 1; });
  userRun_ = !starting_;
  if (!exitAfter) {
    trap(20, [&] { TimeSync(true); });
    userRun_ = false;
    return;
  }
  trap(30, [&] { TimeSync(false); });
  userRun_ = false;
  trap(40, [&] {
    // The run may just have stepped the clock: the tick measures the wait.
    WaitWithEvents(MsFromWholeSecond(kExitDelaySeconds));
  });
  trap(50, [&] { cmdExit_Click(); });
}

void FrmMain::txtTimeCorrection_LostFocus() {
  ErrorTrap trap(kSourceMain, "txtTimeCorrection_lostfocus of Formular FrmMain");
  trap(10, [&] {
    if (!IsNumeric(txtTimeCorrection.Text(), Sys().locale->DecimalSeparator())) txtTimeCorrection.SetText("0");
  });
}

// A text that is no number becomes the standard two minutes: the check is
// turned off only by a 0 the user writes.
void FrmMain::txtMaxCorrection_LostFocus() {
  ErrorTrap trap(kSourceMain, "txtMaxCorrection_LostFocus of Formular FrmMain");
  trap(10, [&] {
    if (!IsNumeric(txtMaxCorrection.Text(), Sys().locale->DecimalSeparator())) txtMaxCorrection.SetText("2");
  });
}

// A text that is no server address yet (the user may be typing) shows the
// standard port; the run reports it when it is still wrong then. Several
// servers show their ports, each once. While the program serves, the box
// holds the port to serve on.
void FrmMain::txtIPaddress_Change() {
  ErrorTrap trap(kSourceMain, "txtIPaddress_Change of Formular FrmMain");
  std::vector<uint16_t> ports;
  const bool serving = optTimeSource.Has(1) && optTimeSource(1).Value() != 0;
  const std::vector<std::string> entries =
      serving ? std::vector<std::string>{txtIPaddress.Text()} : SplitNtpServerList(txtIPaddress.Text());
  for (const std::string& entry : entries) {
    uint16_t port = 123;
    try {
      port = serving ? ParseServedPort(entry) : ParseNtpServer(entry).port;
    } catch (const RuntimeError&) {
    }
    if (std::find(ports.begin(), ports.end(), port) == ports.end()) ports.push_back(port);
  }
  if (ports.empty()) ports.push_back(123);
  std::string text;
  for (uint16_t port : ports) text += (text.empty() ? "" : ", ") + std::to_string(port);
  trap(10, [&] { Label14.SetCaption("Port : " + text); });
}

}  // namespace tavrel
