// The synchronisation run a user sees: the main window locks its button and
// timer, shows that it works, hands the correction to DoAtomicTime, shows
// the result and unlocks again. The button, start-up and the tray menu run
// it through cmdTimeSync_Click; the timer's periodic run calls TimeSync
// without a message.
#include <cmath>

#include "app/FrmMain.h"
#include "platform/Platform.h"
#include "support/ErrorTrap.h"
#include "support/Globals.h"
#include "support/Text.h"
#include "support/VRN_ErrorLog.h"
#include "support/Waits.h"
#include "timesync/NtpServer.h"
#include "timesync/Sntp.h"
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
  trap(80, [&] { synchronised = DoAtomicTime(timePage); });
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
  hasRun_ = true;
  lastRunEndTick_ = Sys().clock->TickCount();
  trap(160, [&] { Timer1.SetEnabled(true); });
}

// With "Exit  5 seconds after time synchronization" ticked the run is silent
// and the program ends five seconds after it, counted from the whole second
// the run ended in; the window stays alive meanwhile.
void FrmMain::cmdTimeSync_Click() {
  ErrorTrap trap(kSourceMain, "cmdTimeSync_Click of Formular FrmMain");
  bool exitAfter = false;
  trap(10, [&] { exitAfter = chkExit.Value() == 1; });
  if (!exitAfter) {
    trap(20, [&] { TimeSync(true); });
    return;
  }
  trap(30, [&] { TimeSync(false); });
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

// A text that is no server address yet (the user may be typing) shows the
// standard port; the run reports it when it is still wrong then. While
// the program serves, the box holds the port to serve on.
void FrmMain::txtIPaddress_Change() {
  ErrorTrap trap(kSourceMain, "txtIPaddress_Change of Formular FrmMain");
  uint16_t port = 123;
  try {
    const bool serving = optTimeSource.Has(1) && optTimeSource(1).Value() != 0;
    port = serving ? ParseServedPort(txtIPaddress.Text()) : ParseNtpServer(txtIPaddress.Text()).port;
  } catch (const RuntimeError&) {
  }
  trap(10, [&] { Label14.SetCaption("Port : " + std::to_string(port)); });
}

}  // namespace tavrel
