// The periodic run beyond its period, on the in-memory platform: when the
// computer wakes (the system says so, or the wall clock ran on while the
// tick count stood still), when the network failed the last run (1, 2,
// 4 ... minutes, up to the period); the tray tooltip that says how the last
// run went; and the option "Ask before correcting more than".
#include <string>

#include "app/ControlIds.h"
#include "app/FrmMain.h"
#include "support/VRN_ErrorLog.h"
#include "TestPlatform.h"
#include "timesync/SyncStatus.h"

namespace tavrel {
namespace {

const char* const kSettingsKey = "Software\\VRN Program Settings\\VRN\\Tavrel\\TESTER\\Settings";

class WakeAndRetryTest : public ProgramTest {
 protected:
  WakeAndRetryTest() {
    UserName = "TESTER";
    MainForm = &form;
    form.Load();
    // A page of the current time, unless the network is down.
    sys.http.handler = [this](const std::string&) -> std::string {
      ++fetches;
      if (networkDown) Raise(errHostNotFound, "The server name or address could not be resolved");
      return std::string(120, '.') + sys.locale.LongTime(sys.clock.NowUtc()) + " UTC";
    };
    form.chkPeriodic.SetValue(1);
    form.txtPeriodic.SetText("24");
    form.lblLastUpdate.SetCaption("08.12.2026 12:00:00");
  }
  ~WakeAndRetryTest() override { MainForm = nullptr; }

  // The runs so far, each of which fetched at least once.
  int Runs() {
    if (fetches != lastFetches) ++runs;
    lastFetches = fetches;
    return runs;
  }
  void Tick(double seconds = 0.5) {
    sys.clock.Advance(seconds);
    form.Timer1.Fire();
  }

  FrmMain form;
  int fetches = 0, lastFetches = 0, runs = 0;
  bool networkDown = false;
};

TEST_F(WakeAndRetryTest, TheSystemsResumeMakesThePeriodicRunDue) {
  Tick();
  EXPECT_EQ(0, Runs());
  sys.windows.PowerResume();
  Tick();
  EXPECT_EQ(1, Runs());
  Tick();
  EXPECT_EQ(1, Runs());

  // Still one run a minute at most: a resume right after a run waits.
  sys.windows.PowerResume();
  Tick(30);
  EXPECT_EQ(1, Runs());
  Tick(30);
  EXPECT_EQ(2, Runs());
}

TEST_F(WakeAndRetryTest, WallClockRunningAheadOfTheTickCountIsAWake) {
  Tick();
  Tick(3600);  // an hour awake: both ran on
  EXPECT_EQ(0, Runs());
  sys.clock.now = sys.clock.now.AddSeconds(8 * 3600);  // a night asleep: only the clock ran on
  Tick();
  EXPECT_EQ(1, Runs());

  // A clock someone set and announced is no sleep; nor is the run's own.
  Tick(120);
  sys.clock.now = sys.clock.now.AddSeconds(3600);
  sys.windows.SystemChange();
  Tick();
  Tick(120);
  EXPECT_EQ(1, Runs());
}

TEST_F(WakeAndRetryTest, ARunTheNetworkFailedIsRetriedAfterOneTwoFourMinutesUpToThePeriod) {
  form.txtPeriodic.SetText("0.1");  // six minutes
  networkDown = true;
  form.cmdTimeSync.UserClick();
  EXPECT_EQ(1, Runs());
  int expected = 1;
  for (double minutes : {1, 2, 4, 6, 6}) {
    Tick(minutes * 60 - 1.5);
    EXPECT_EQ(expected, Runs()) << minutes;
    Tick(2);
    EXPECT_EQ(++expected, Runs()) << minutes;
  }
  EXPECT_EQ(6, Runs());
  // Back on the network: the period alone again.
  networkDown = false;
  Tick(6 * 60 + 1);
  EXPECT_EQ(7, Runs());
  Tick(61);
  EXPECT_EQ(7, Runs());
  // A source that answers without the time is not the network: no retry.
  sys.http.handler = [this](const std::string&) -> std::string {
    ++fetches;
    return "no time here";
  };
  Tick(5 * 60);
  EXPECT_EQ(8, Runs());
  Tick(61);
  EXPECT_EQ(8, Runs());
}

// ---------------------------------------------------------------------------
// The tray's tooltip

TEST_F(WakeAndRetryTest, TheTrayTooltipSaysHowTheLastRunWent) {
  form.Send_to_SysTray();
  auto tip = [&] { return sys.notifyArea.icons.begin()->second.tip; };
  EXPECT_EQ("vrn Tavrel XP", tip());
  form.cmdTimeSync_Click();
  EXPECT_EQ("Set " + sys.locale.LongTime(sys.clock.now) + " from tycho.usno.navy.mil", tip());
  networkDown = true;
  form.cmdTimeSync_Click();
  EXPECT_EQ("Last try failed " + sys.locale.LongTime(sys.clock.now) + ": no network", tip());
  // A fresh icon says it too.
  form.Restore_from_SysTray();
  form.Send_to_SysTray();
  EXPECT_EQ("Last try failed " + sys.locale.LongTime(sys.clock.now) + ": no network", tip());
}

TEST(SyncStatusTest, TheTooltipFitsSixtyThreeCharactersCuttingOnlyTheName) {
  SyncResult r;
  r.synchronised = true;
  r.sourceName = "pool.ntp.org";
  r.agreement = "3 of 4 agree";
  EXPECT_EQ("Set 12:00:03 from pool.ntp.org, 3 of 4 agree", SyncStatusText(r, "12:00:03"));
  r.sourceName = std::string(80, 'n') + ".example";
  const std::string text = SyncStatusText(r, "12:00:03 PM");
  EXPECT_EQ(kTooltipChars, text.size());
  EXPECT_EQ("Set 12:00:03 PM from nnn", text.substr(0, 24));
  EXPECT_EQ("n..., 3 of 4 agree", text.substr(text.size() - 18));
  r = SyncResult();
  r.outcome = SyncResult::NotConfirmed;
  EXPECT_EQ("Last try failed 12:00:03: correction not confirmed", SyncStatusText(r, "12:00:03"));
}

// ---------------------------------------------------------------------------
// "Ask before correcting more than [2] minutes"

TEST_F(WakeAndRetryTest, TheLargestCorrectionIsAnOptionStoredLikeTheOthers) {
  form.cmdOptions.UserClick();
  MemoryFormPeer& window = *sys.windows.Window("FrmMain");
  for (int id : {IDC_lblMaxCorrection, IDC_txtMaxCorrection, IDC_lblMaxCorrectionMinutes, IDC_Label11})
    EXPECT_TRUE(window.Shows(id)) << id;
  EXPECT_EQ("Ask before correcting more than", form.lblMaxCorrection.Caption());
  EXPECT_EQ("2", form.txtMaxCorrection.Text());
  form.txtMaxCorrection.UserEditText("10");
  form.cmdOptions.UserClick();
  EXPECT_EQ("10", sys.registry.Value(RegRoot::CurrentUser, kSettingsKey, "txtMaxCorrection")->text);

  // Letters never turn the check off: they read as the standard two minutes.
  form.txtMaxCorrection.UserEditText("abc");
  form.txtMaxCorrection.UserLeave();
  EXPECT_EQ("2", form.txtMaxCorrection.Text());
  sys.registry.WriteString(RegRoot::CurrentUser, kSettingsKey, "txtMaxCorrection", "x0");
  form.Load_Registry();
  EXPECT_EQ("2", form.txtMaxCorrection.Text());
  sys.registry.WriteString(RegRoot::CurrentUser, kSettingsKey, "txtMaxCorrection", "0");
  form.Load_Registry();
  EXPECT_EQ("0", form.txtMaxCorrection.Text());
}

}  // namespace
}  // namespace tavrel
