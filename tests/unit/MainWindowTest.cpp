// The main window on the in-memory window system: its views, the stored
// settings, the timer, the options that act at once, closing, and the
// synchronisation run a user starts. What a user would see is read from the
// window's peers; what the program leaves behind from the registry.
#include <string>

#include "app/ControlIds.h"
#include "app/FrmMain.h"
#include "support/VRN_ErrorLog.h"
#include "TestPlatform.h"

namespace tavrel {
namespace {

const char* const kSettingsKey = "Software\\VRN Program Settings\\VRN\\Tavrel\\TESTER\\Settings";
const char* const kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::string NavalPage(const std::string& time) { return std::string(120, '.') + time + " UTC"; }

class MainWindowTest : public ProgramTest {
 protected:
  MainWindowTest() {
    UserName = "TESTER";
    MainForm = &form;
  }
  ~MainWindowTest() override { MainForm = nullptr; }

  void Store(const char* name, const std::string& text) {
    sys.registry.WriteString(RegRoot::CurrentUser, kSettingsKey, name, text);
  }
  std::string Stored(const char* name) const {
    const auto value = sys.registry.Value(RegRoot::CurrentUser, kSettingsKey, name);
    return value ? value->text : "<missing>";
  }
  std::string Log() const { return sys.files.FileContent(ErrorLogPath()).value_or(""); }
  MemoryFormPeer& Window() { return *sys.windows.Window("FrmMain"); }
  // Closing ends the process; the memory platform says so by throwing.
  void Close() { EXPECT_THROW(form.cmdExit_Click(), ProcessEnded); }

  FrmMain form;
};

// ---------------------------------------------------------------------------
// Views

TEST_F(MainWindowTest, ViewsFollowTheButtonsAndTheSize) {
  form.Load();
  EXPECT_EQ(kCompactHeight, form.Height());
  EXPECT_FALSE(Window().Shows(IDC_Frame2));
  EXPECT_FALSE(Window().Shows(IDC_Frame1));

  form.cmdOptions.UserClick();
  EXPECT_EQ(kOptionsHeight, form.Height());
  EXPECT_EQ("Save &Options", Window().Control(IDC_cmdOptions)->View().caption);
  EXPECT_TRUE(Window().Shows(IDC_chkDT));

  // "&TZ Info" from the options view goes back to compact, leaving the
  // caption; the next "Save &Options" saves and stays compact.
  form.cmdInfo.UserClick();
  EXPECT_EQ(kCompactHeight, form.Height());
  EXPECT_EQ("Save &Options", form.cmdOptions.Caption());
  form.cmdOptions.UserClick();
  EXPECT_EQ(kCompactHeight, form.Height());
  EXPECT_EQ("&Options", form.cmdOptions.Caption());
  EXPECT_EQ("1725", Stored("MainHeight"));

  form.cmdInfo.UserClick();
  EXPECT_EQ(kZoneWidth, form.Width());
  EXPECT_EQ(kZoneHeight, form.Height());
  EXPECT_TRUE(Window().Shows(IDC_lblInfoValue + 1));
  EXPECT_EQ("2280", Stored("MainHeight"));
}

TEST_F(MainWindowTest, SmallClockTwiceReturnsAndTzInfoFromItOpensCompact) {
  form.Load();
  form.imgMinimize.UserClick();
  EXPECT_EQ(kSmallClockHeight, form.Height());
  EXPECT_EQ("enlarge Clock", form.imgMinimize.ToolTip());
  EXPECT_TRUE(form.lblTimeHeader.Visible());
  form.imgMinimize.UserClick();
  EXPECT_EQ(kCompactHeight, form.Height());
  EXPECT_EQ("small Clock", form.imgMinimize.ToolTip());
  EXPECT_FALSE(form.lblTimeHeader.Visible());

  form.imgMinimize.UserClick();
  form.cmdInfo.UserClick();
  EXPECT_EQ(kCompactHeight, form.Height());
  EXPECT_EQ(kMainWidth, form.Width());
}

// The left edge is computed with the width before the reset to 4102: from
// the zone view the window ends 8160 - 4102 = 4058 twips further left.
TEST_F(MainWindowTest, HomePositionUsesTheWidthItHadBefore) {
  form.Load();
  const long screen = sys.windows.ScreenWidthTwips();
  form.imgHome.UserClick();
  EXPECT_EQ(30, form.Top());
  EXPECT_EQ(screen - (kMainWidth + screen / 17), form.Left());
  EXPECT_EQ(kSmallClockHeight, form.Height());
  const long fromCompact = form.Left();

  form.imgMinimize.UserClick();
  form.cmdInfo.UserClick();
  form.form_click();
  EXPECT_EQ(fromCompact - 4058, form.Left());
  EXPECT_EQ(kMainWidth, form.Width());
  EXPECT_EQ("&Options", form.cmdOptions.Caption());
}

TEST_F(MainWindowTest, LeftButtonOnThePictureDragsOthersDoNot) {
  form.Load();
  form.Image1.UserMouseDown(vbMiddleButton, 0, 10, 10);
  EXPECT_EQ(0, Window().drags);
  form.Image1.UserMouseDown(vbLeftButton, 0, 10, 10);
  EXPECT_EQ(1, Window().drags);
}

// ---------------------------------------------------------------------------
// Settings

TEST_F(MainWindowTest, FirstStartShowsTheDefaults) {
  form.Load();
  EXPECT_EQ(1000, form.Left());
  EXPECT_EQ(1000, form.Top());
  EXPECT_EQ(kCompactHeight, form.Height());
  EXPECT_EQ(1, form.chkDT.Value());
  for (Control* box : {&form.chkExit, &form.chkStartWithWindow, &form.chkTimeSync, &form.chkStartInSysTray,
                       &form.chkWinOnTop, &form.chkPeriodic, &form.chkVoice})
    EXPECT_EQ(0, box->Value()) << box->Name();
  EXPECT_EQ(-1, form.optusnavy.Value());
  EXPECT_EQ("60", form.Combo1.Text());
  EXPECT_EQ("0", form.txtPeriodic.Text());
  EXPECT_EQ("0", form.txtTimeCorrection.Text());
  EXPECT_EQ("", form.lblLastUpdate.Caption());
  EXPECT_TRUE(Window().visible);
  EXPECT_EQ("", Log());
}

TEST_F(MainWindowTest, StoredViewsComeBackCompactButTheSmallClockKeepsItsTooltip) {
  Store("MainHeight", "7440");
  form.Load_Registry();
  EXPECT_EQ(kCompactHeight, form.Height());

  Store("MainHeight", "185");
  form.Load_Registry();
  EXPECT_EQ(kSmallClockHeight, form.Height());
  EXPECT_EQ("enlarge Clock", form.imgMinimize.ToolTip());
  EXPECT_TRUE(form.lblTimeHeader.Visible());
}

// A place stored on a larger screen: the window opens on the 800 x 600 one,
// where it is, moved only as far as needed; a place on it is kept.
TEST_F(MainWindowTest, AStoredPlaceOffTheScreenOpensOnIt) {
  sys.windows.screenWidth = 800 * 15;
  sys.windows.screenHeight = 600 * 15;
  struct Case {
    const char *left, *top, *height;
    long wantLeft, wantTop;
  } cases[] = {
      {"20000", "15000", "1725", 12000 - kMainWidth, 9000 - kCompactHeight},  // beyond the right and bottom
      {"3000", "2000", "1725", 3000, 2000},                                    // on the screen: kept
      {"0", "0", "1725", 0, 0},
      {"-9000", "-500", "1725", 0, 0},                                         // left of and above it
      {"9000", "1000", "1725", 12000 - kMainWidth, 1000},                      // half off: all of it on
      // The small clock opens compact: the compact window must fit.
      {"1000", "8800", "185", 1000, 9000 - kCompactHeight},
  };
  bool loaded = false;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.left) + ", " + c.top);
    Store("MainLeft", c.left);
    Store("MainTop", c.top);
    Store("MainHeight", c.height);
    // The first through the whole start, the others through the settings.
    if (!loaded) form.Load();
    else form.Load_Registry();
    loaded = true;
    EXPECT_EQ(c.wantLeft, form.Left());
    EXPECT_EQ(c.wantTop, form.Top());
    EXPECT_EQ(c.wantLeft, Window().bounds.left);
    EXPECT_EQ(c.wantTop, Window().bounds.top);
  }
  EXPECT_EQ("", Log());
}

// A second screen left of the main one is part of the desktop: a window
// placed there stays there.
TEST_F(MainWindowTest, APlaceOnASecondScreenIsKept) {
  sys.windows.desktop = Rect{-1024 * 15, 0, 2048 * 15, 768 * 15};
  Store("MainLeft", "-9000");
  Store("MainTop", "2000");
  form.Load();
  EXPECT_EQ(-9000, form.Left());
  EXPECT_EQ(2000, form.Top());
}

TEST_F(MainWindowTest, AValueThatDoesNotConvertIsReportedAndTheRestStillLoads) {
  Store("chkExit", "abc");
  Store("chkTimeSync", "1");
  Store("VoicePeriode", "3");
  Store("chkWinOnTop", "7");  // no check box value
  Store("optusnavy", "False");
  Store("optebay", "True");
  Store("MainLeft", "1234.5");

  form.Load();

  EXPECT_EQ(0, form.chkExit.Value());
  EXPECT_EQ(1, form.chkTimeSync.Value());
  EXPECT_EQ("15", form.Combo1.Text());
  EXPECT_EQ(0, form.chkWinOnTop.Value());
  EXPECT_EQ(-1, form.optebay.Value());
  EXPECT_EQ(0, form.optusnavy.Value());
  EXPECT_EQ(1235, form.Left());
  const std::string log = Log();
  EXPECT_NE(std::string::npos, log.find("Load_Registry of Formular FrmMain  70  13  Type mismatch"));
  EXPECT_NE(std::string::npos, log.find("Load_Registry of Formular FrmMain  110  380  Invalid property value"));
}

TEST_F(MainWindowTest, SaveWritesEveryValueAsText) {
  form.Load();
  form.SetLeft(2000);
  form.chkExit.SetValue(1);
  form.optebay.SetValue(-1);
  form.Combo1.SetListIndex(6);
  form.txtPeriodic.SetText("1.5");
  form.txtTimeCorrection.SetText("-2");

  form.Save_Registry();

  const std::pair<const char*, const char*> expected[] = {
      {"MainLeft", "2000"},      {"MainTop", "1000"},          {"MainHeight", "1725"},  {"lblLastUpdate", ""},
      {"txtTimeCorrection", "-2"}, {"chkExit", "1"},           {"chkStartWithWindow", "0"}, {"chkTimeSync", "0"},
      {"chkStartInSysTray", "0"}, {"chkWinOnTop", "0"},        {"txtPeriodic", "1.5"},  {"chkPeriodic", "0"},
      {"VoicePeriode", "6"},      {"chkVoice", "0"},           {"chkDT", "1"},          {"optusnavy", "False"},
      {"optebay", "True"}};
  for (const auto& value : expected) EXPECT_EQ(value.second, Stored(value.first)) << value.first;
}

TEST_F(MainWindowTest, ClosingSavesAndUnloadsTheOtherForms) {
  form.Load();
  Form other("frmOther");
  other.Load();
  form.cmdOptions.UserClick();

  Close();

  EXPECT_FALSE(other.Loaded());
  EXPECT_TRUE(form.Loaded());
  EXPECT_EQ("7440", Stored("MainHeight"));
  EXPECT_EQ(nullptr, MainForm);
}

// The farewell wait counts seconds since midnight; across midnight it must
// still end about two seconds later.
TEST_F(MainWindowTest, FarewellWaitsAboutTwoSecondsAlsoAcrossMidnight) {
  form.Load();
  form.chkVoice.SetValue(1);
  sys.clock.now = MakeDateTime(2026, 12, 8, 23, 59, 59).AddSeconds(0.6);
  const DateTime start = sys.clock.now;
  sys.windows.onDoEvents = [&] {
    sys.clock.Advance(0.1);
    ASSERT_LT(sys.clock.now.Serial() - start.Serial(), 5.0 / 86400) << "the wait does not end";
  };
  Close();
  const double waited = (sys.clock.now.Serial() - start.Serial()) * 86400;
  EXPECT_GE(waited, 1.5);
  EXPECT_LE(waited, 2.5);
}

// The farewell and the exit wait count time on the tick: a clock stepped
// back an hour (by a run, or by the user) does not make them an hour long,
// nor does one stepped forward cut them short.
TEST_F(MainWindowTest, TheWaitsKeepTheirLengthWhenTheClockIsStepped) {
  form.Load();
  form.chkVoice.SetValue(1);
  for (double step : {-3600.0, 3600.0}) {
    int rounds = 0;
    const uint32_t start = sys.clock.tick;
    sys.windows.onDoEvents = [&] {
      if (++rounds == 3) sys.clock.SetLocalTime(sys.clock.now.AddSeconds(step));
      sys.clock.Advance(0.1);
      ASSERT_LT(rounds, 100) << "the wait does not end";
    };
    Close();
    const uint32_t waited = sys.clock.tick - start;
    EXPECT_GE(waited, 1500u) << step;
    EXPECT_LE(waited, 2500u) << step;
  }
}

TEST_F(MainWindowTest, TheExitWaitKeepsItsFiveSecondsWhenTheClockIsSteppedBack) {
  form.Load();
  form.chkExit.SetValue(1);
  sys.http.handler = [](const std::string&) { return NavalPage("12:00:09"); };
  sys.clock.now = MakeDateTime(2026, 12, 8, 12, 0, 10).AddSeconds(0.3);
  int rounds = 0;
  const uint32_t start = sys.clock.tick;
  sys.windows.onDoEvents = [&] {
    if (++rounds == 3) sys.clock.SetLocalTime(sys.clock.now.AddSeconds(-3600));
    sys.clock.Advance(0.1);
    ASSERT_LT(rounds, 200) << "the wait does not end";
  };
  EXPECT_THROW(form.cmdTimeSync_Click(), ProcessEnded);
  const uint32_t waited = sys.clock.tick - start;
  EXPECT_GE(waited, 4500u);
  EXPECT_LE(waited, 5500u);
}

TEST_F(MainWindowTest, AWaitRunsRightAcrossTheTicksWrap) {
  form.Load();
  form.chkVoice.SetValue(1);
  sys.clock.tick = 0xFFFFFFFFu - 500;
  int rounds = 0;
  sys.windows.onDoEvents = [&] {
    sys.clock.Advance(0.1);
    ASSERT_LT(++rounds, 100) << "the wait does not end";
  };
  Close();
  EXPECT_GE(rounds, 15);
  EXPECT_LE(rounds, 25);
}

// ---------------------------------------------------------------------------
// Options that act at once

TEST_F(MainWindowTest, AlwaysOnTopFollowsTheBox) {
  form.Load();
  form.chkWinOnTop.UserClick();
  EXPECT_TRUE(Window().topMost);
  form.chkWinOnTop.UserClick();
  EXPECT_FALSE(Window().topMost);
}

TEST_F(MainWindowTest, StartWithWindowsWritesTheQuotedPathAndRemovesIt) {
  form.Load();
  form.chkStartWithWindow.UserClick();
  const auto entry = sys.registry.Value(RegRoot::LocalMachine, kRunKey, "Tavrel");
  ASSERT_TRUE(entry.has_value());
  EXPECT_EQ("\"C:\\Program Files\\VRN\\Tavrel\\A_Tavrel.exe\"", entry->text);
  form.chkStartWithWindow.UserClick();
  EXPECT_FALSE(sys.registry.Value(RegRoot::LocalMachine, kRunKey, "Tavrel").has_value());

  EXPECT_FALSE(sys.registry.Value(RegRoot::CurrentUser, kRunKey, "Tavrel").has_value());
}

TEST_F(MainWindowTest, StartWithWindowsForAUserWithoutRightsOnTheMachineUsesTheUsersRunKey) {
  form.Load();
  sys.registry.readOnlyRoots.push_back(RegRoot::LocalMachine);
  form.chkStartWithWindow.UserClick();
  EXPECT_EQ(1, form.chkStartWithWindow.Value());
  const auto entry = sys.registry.Value(RegRoot::CurrentUser, kRunKey, "Tavrel");
  ASSERT_TRUE(entry.has_value());
  EXPECT_EQ("\"C:\\Program Files\\VRN\\Tavrel\\A_Tavrel.exe\"", entry->text);
  EXPECT_FALSE(sys.registry.Value(RegRoot::LocalMachine, kRunKey, "Tavrel").has_value());
  EXPECT_EQ("", Log());  // the refusal is the ordinary case, not an error
  form.chkStartWithWindow.UserClick();
  EXPECT_FALSE(sys.registry.Value(RegRoot::CurrentUser, kRunKey, "Tavrel").has_value());

  // Rights again (an administrator): the entry moves machine-wide, and
  // only one is left to start the program.
  form.chkStartWithWindow.UserClick();
  sys.registry.readOnlyRoots.clear();
  form.chkStartWithWindow.SetValue(0);
  form.chkStartWithWindow.SetValue(1);
  EXPECT_TRUE(sys.registry.Value(RegRoot::LocalMachine, kRunKey, "Tavrel").has_value());
  EXPECT_FALSE(sys.registry.Value(RegRoot::CurrentUser, kRunKey, "Tavrel").has_value());

  // Both keys refused: that is reported, and the box keeps its value.
  sys.registry.readOnlyRoots = {RegRoot::LocalMachine, RegRoot::CurrentUser};
  form.chkStartWithWindow.SetValue(0);
  form.chkStartWithWindow.SetValue(1);
  EXPECT_EQ(1, form.chkStartWithWindow.Value());
  EXPECT_NE(std::string::npos, Log().find("CreateKey of Modul VRN_Registry"));
}

TEST_F(MainWindowTest, LinksOpenPagesOfTheWebSite) {
  form.Load();
  form.lblHelp.UserClick();
  form.lblVRNHome.UserClick();
  form.Label11.UserClick();
  ASSERT_EQ(3u, sys.shell.executed.size());
  EXPECT_EQ("http://www.vrn.example/vrn/products/tavrel_e.htm", sys.shell.executed[0].file);
  EXPECT_EQ("http://www.vrn.example/vrn", sys.shell.executed[1].file);
  EXPECT_EQ("http://www.vrn.example/vrn/support/BugReport.htm", sys.shell.executed[2].file);
  EXPECT_EQ("open", sys.shell.executed[0].verb);
  EXPECT_EQ(5, sys.shell.executed[0].show);
}

// ---------------------------------------------------------------------------
// The time-zone panel

void Name(char16_t (&field)[32], const std::u16string& name) {
  for (std::size_t i = 0; i < 32; ++i) field[i] = i < name.size() ? name[i] : 0;
}

TEST_F(MainWindowTest, ZonePanelShowsTheRecordAndThisYearsChangeDates) {
  TimeZoneInformation& zone = sys.timeZone.zone;
  zone.Bias = 300;
  zone.DaylightBias = -60;
  Name(zone.StandardName, u"Eastern Standard Time");
  Name(zone.DaylightName, u"Eastern Daylight Time");
  zone.StandardDate.wMonth = 11;
  zone.StandardDate.wDay = 1;
  zone.StandardDate.wHour = 2;
  zone.DaylightDate.wMonth = 3;
  zone.DaylightDate.wDay = 2;
  zone.DaylightDate.wHour = 2;
  sys.timeZone.result = TIME_ZONE_ID_STANDARD;
  form.Load();
  EXPECT_EQ(" Standard Time...", form.Label8.Caption());
  EXPECT_EQ("300", form.lblInfoValue(0).Caption());
  EXPECT_EQ("Eastern Standard Time", form.lblInfoValue(1).Caption());
  EXPECT_EQ("Eastern Standard Time", form.lblTimeZone.Caption());
  EXPECT_EQ("01.11.2026", form.lblInfoValue(2).Caption());
  EXPECT_EQ("0", form.lblInfoValue(3).Caption());
  EXPECT_EQ("Eastern Daylight Time", form.lblInfoValue(4).Caption());
  EXPECT_EQ("08.03.2026", form.lblInfoValue(5).Caption());
  EXPECT_EQ("-60", form.lblInfoValue(6).Caption());
  EXPECT_FALSE(DaylightActive);
}

TEST_F(MainWindowTest, ZoneWithoutDaylightSavingAndAFullLengthName) {
  Name(sys.timeZone.zone.StandardName, u"Thirty-two characters zone name!");
  sys.timeZone.result = TIME_ZONE_ID_UNKNOWN;
  form.Load();
  EXPECT_EQ(" Time Zone Unknown!", form.Label8.Caption());
  EXPECT_EQ("Thirty-two characters zone name!", form.lblInfoValue(1).Caption());
  EXPECT_EQ("", form.lblInfoValue(4).Caption());
  EXPECT_EQ("01.12.2025", form.lblInfoValue(2).Caption());
}

TEST_F(MainWindowTest, PickingADateSetsTheSystemDateAndTellsEveryWindow) {
  form.Load();
  sys.clock.now = MakeDateTime(2026, 12, 8, 14, 5, 9);
  form.DTPicker1.UserPickDate(DateSerial(2026, 12, 24));
  ASSERT_EQ(1u, sys.clock.sets.size());
  EXPECT_EQ(MakeDateTime(2026, 12, 24, 14, 5, 9), sys.clock.sets[0]);
  EXPECT_EQ(1, sys.clock.broadcasts);
  form.cmdChangeTimeZone.UserClick();
  ASSERT_EQ(1u, sys.shell.started.size());
  EXPECT_EQ("CONTROL.EXE timedate.cpl,,1", sys.shell.started[0].first);
  EXPECT_EQ(2, sys.shell.started[0].second);
}

// ---------------------------------------------------------------------------
// The timer

class TimerTest : public MainWindowTest {
 protected:
  TimerTest() {
    form.Load();
    sys.http.handler = [this](const std::string&) {
      ++fetches;
      return NavalPage("12:00:00");
    };
  }
  int fetches = 0;
};

TEST_F(TimerTest, ATickShowsTheClockAndTheDate) {
  sys.clock.now = MakeDateTime(2026, 12, 8, 14, 5, 9);
  form.Timer1.Fire();
  EXPECT_EQ("14:05:09", Window().Control(IDC_lblTime)->View().caption);
  EXPECT_EQ("14:05:09", form.lblTimeHeader.Caption());
  EXPECT_EQ(DateSerial(2026, 12, 8), form.DTPicker1.Date());
  EXPECT_EQ(0, fetches);
}

TEST_F(TimerTest, HalfASecondBeforeMidnightIsStillToday) {
  sys.clock.now = MakeDateTime(2026, 12, 31, 23, 59, 59).AddSeconds(0.6);
  form.Timer1.Fire();
  EXPECT_EQ("23:59:59", form.lblTime.Caption());
  EXPECT_EQ(DateSerial(2026, 12, 31), form.DTPicker1.Date());
}

TEST_F(TimerTest, PeriodicRunIsDueStrictlyAfterLastUpdatePlusPeriod) {
  form.chkPeriodic.SetValue(1);
  sys.locale.decimal = ',';
  form.txtPeriodic.SetText("1,5");
  form.lblLastUpdate.SetCaption("08.12.2026 10:30:00");
  sys.clock.now = MakeDateTime(2026, 12, 8, 12, 0, 0);
  form.Timer1.Fire();
  EXPECT_EQ(0, fetches);
  sys.clock.now = MakeDateTime(2026, 12, 8, 12, 0, 1);
  form.Timer1.Fire();
  EXPECT_EQ(1, fetches);
  EXPECT_TRUE(sys.windows.boxes.empty());  // periodic runs show no message
}

TEST_F(TimerTest, NoLastUpdateIsReportedAndSynchronisesAndExitStaysOff) {
  form.chkPeriodic.SetValue(1);
  form.chkExit.SetValue(1);
  form.Timer1.Fire();
  EXPECT_EQ(1, fetches);
  EXPECT_NE(std::string::npos, Log().find("Timer1_Timer of Formular FrmMain  50  13"));
  EXPECT_NE("", form.lblLastUpdate.Caption());
  EXPECT_TRUE(form.Timer1.Enabled());
  EXPECT_FALSE(sys.process.ended);

  // Period 0 is due at every tick, but a periodic run waits a minute after
  // the last run, also when the clock was stepped back meanwhile.
  sys.clock.Advance(1);
  form.Timer1.Fire();
  EXPECT_EQ(1, fetches);
  sys.clock.SetLocalTime(sys.clock.now.AddSeconds(-3600));
  sys.clock.Advance(58);
  form.lblLastUpdate.SetCaption("");
  form.Timer1.Fire();
  EXPECT_EQ(1, fetches);
  sys.clock.Advance(1.5);
  form.Timer1.Fire();
  EXPECT_EQ(2, fetches);
}

TEST_F(TimerTest, TheButtonAndTheTrayRunAtOnceWhateverThePeriodicGap) {
  form.chkPeriodic.SetValue(1);
  form.txtPeriodic.UserEditText("abc");
  form.Timer1.Fire();
  EXPECT_EQ(1, fetches);
  form.cmdTimeSync.UserClick();
  EXPECT_EQ(2, fetches);
  form.m_frmSysTray_MenuClick(2, "SyncNow");
  EXPECT_EQ(3, fetches);
  sys.clock.Advance(30);
  form.Timer1.Fire();
  EXPECT_EQ(3, fetches);
  sys.clock.Advance(31);
  form.Timer1.Fire();
  EXPECT_EQ(4, fetches);
}

TEST_F(TimerTest, LettersInThePeriodBecomeZero) {
  form.txtPeriodic.UserEditText("abc");
  EXPECT_EQ("0", form.txtPeriodic.Text());
  form.txtPeriodic.UserEditText(" 2.5 ");
  EXPECT_EQ(" 2.5 ", form.txtPeriodic.Text());
}

// ---------------------------------------------------------------------------
// An ordinary user on NT, whose account may not set the clock

class OrdinaryUserTest : public MainWindowTest {
 protected:
  OrdinaryUserTest() {
    sys.clock.maySetTime = false;
    sys.clock.accept = [](DateTime, DateTime) { return false; };
    sys.clock.now = MakeDateTime(2026, 12, 8, 12, 0, 10);
    sys.http.handler = [this](const std::string&) {
      ++fetches;
      return NavalPage("12:00:04");
    };
  }
  std::string Label15() { return Window().Control(IDC_Label15)->View().caption; }
  std::string TrayTip() const { return sys.notifyArea.icons.begin()->second.tip; }
  int fetches = 0;
};

TEST_F(OrdinaryUserTest, TheOptionsViewSaysSoAndPeriodicRunsFetchNothing) {
  // Due at every tick, and no run ever made.
  Store("chkPeriodic", "1");
  Store("txtPeriodic", "0");
  form.Load();
  EXPECT_EQ("Only an administrator can set the clock", Label15());
  for (int i = 0; i < 5; ++i) {
    sys.clock.Advance(120);
    form.Timer1.Fire();
  }
  EXPECT_EQ(0, fetches);
  EXPECT_EQ("", form.lblLastUpdate.Caption());
  EXPECT_EQ("", Log());
  EXPECT_EQ("12:10:10", form.lblTime.Caption());
}

TEST_F(OrdinaryUserTest, TheTrayIconSaysSoEachTimeItIsAdded) {
  form.Load();
  form.imgSysTray.UserClick();
  ASSERT_EQ(1u, sys.notifyArea.icons.size());
  EXPECT_EQ("Only an administrator can set this computer's clock", TrayTip());
  form.Restore_from_SysTray();
  form.imgSysTray.UserClick();
  ASSERT_EQ(1u, sys.notifyArea.icons.size());
  EXPECT_EQ("Only an administrator can set this computer's clock", TrayTip());
}

// The start-up run is the button's run; both still fetch, fail to set the
// clock and say so as any failed run does.
TEST_F(OrdinaryUserTest, RunsTheUserAskedForStillRunAndSayTheyFailed) {
  Store("chkTimeSync", "1");
  form.Load();
  EXPECT_EQ(1, fetches);
  form.cmdTimeSync.UserClick();
  EXPECT_EQ(2, fetches);
  ASSERT_EQ(2u, sys.windows.boxes.size());
  EXPECT_EQ("The attempt to synchronize your system time failed", sys.windows.boxes[1].text);
  EXPECT_NE(std::string::npos, Log().find("DoAtomicTime of Modul VRN_TimeSync  240  70"));
  EXPECT_EQ("Only an administrator can set the clock", Label15());
}

// ---------------------------------------------------------------------------
// The synchronisation run

class SyncRunTest : public MainWindowTest {
 protected:
  SyncRunTest() {
    form.Load();
    sys.clock.now = MakeDateTime(2026, 12, 8, 12, 0, 10);
  }
};

TEST_F(SyncRunTest, SuccessShowsTheNewTimeAndTheSecondsCorrected) {
  sys.http.handler = [this](const std::string&) {
    // While the page is fetched the window shows that it works.
    EXPECT_FALSE(form.cmdTimeSync.Enabled());
    EXPECT_EQ("please wait...", form.cmdTimeSync.Caption());
    EXPECT_EQ("updating...", form.lblTime.Caption());
    EXPECT_EQ(8454016, form.cmdTimeSync.BackColor());
    EXPECT_FALSE(form.Timer1.Enabled());
    EXPECT_GE(sys.windows.refreshes, 1);
    return NavalPage("12:00:04");
  };
  form.cmdTimeSync.UserClick();
  ASSERT_EQ(1u, sys.windows.boxes.size());
  EXPECT_EQ("Your system time was updated to 12:00:05\r\nTime correcten < 5 seconds", sys.windows.boxes[0].text);
  EXPECT_EQ("A_Tavrel", sys.windows.boxes[0].title);
  EXPECT_EQ(vbOKOnly, sys.windows.boxes[0].style);
  EXPECT_EQ("&Get Atomic Time", form.cmdTimeSync.Caption());
  EXPECT_TRUE(form.cmdTimeSync.Enabled());
  EXPECT_EQ(kButtonYellow, form.cmdTimeSync.BackColor());
  EXPECT_EQ("12:00:04", form.lblUT(7).Caption());
  EXPECT_EQ("08.12.2026 12:00:05", form.lblLastUpdate.Caption());
  EXPECT_TRUE(form.Timer1.Enabled());
}

TEST_F(SyncRunTest, FailureSaysSoAndStillWritesTheLastUpdate) {
  form.cmdTimeSync.UserClick();
  ASSERT_EQ(1u, sys.windows.boxes.size());
  EXPECT_EQ("The attempt to synchronize your system time failed", sys.windows.boxes[0].text);
  EXPECT_EQ("08.12.2026 12:00:10", form.lblLastUpdate.Caption());
  EXPECT_TRUE(sys.clock.sets.empty());
}

TEST_F(SyncRunTest, APeriodicRunThatFailsShowsNothingButStillWritesTheLastUpdate) {
  form.TimeSync(false);
  EXPECT_TRUE(sys.windows.boxes.empty());
  EXPECT_EQ("08.12.2026 12:00:10", form.lblLastUpdate.Caption());
  EXPECT_EQ("&Get Atomic Time", form.cmdTimeSync.Caption());
}

TEST_F(SyncRunTest, CorrectionIsCheckedOnLeavingAndReadAtTheRun) {
  form.txtTimeCorrection.UserEditText("abc");
  form.txtTimeCorrection.UserLeave();
  EXPECT_EQ("0", form.txtTimeCorrection.Text());
  form.txtTimeCorrection.UserEditText("-2");
  form.txtTimeCorrection.UserLeave();
  EXPECT_EQ("-2", form.txtTimeCorrection.Text());
  sys.http.handler = [](const std::string&) { return NavalPage("12:00:04"); };
  form.TimeSync(false);
  EXPECT_EQ(-2, TimeCorrection);
  EXPECT_EQ(MakeDateTime(2026, 12, 8, 12, 2, 5), sys.clock.sets.at(0));

  // A correction that does not convert keeps the one before; the run and
  // the restored controls go on.
  form.txtTimeCorrection.SetText("x");
  form.TimeSync(false);
  EXPECT_EQ(-2, TimeCorrection);
  EXPECT_NE(std::string::npos, Log().find("TimeSync of Formular FrmMain  70  13"));
  EXPECT_TRUE(form.cmdTimeSync.Enabled());
}

TEST_F(SyncRunTest, ExitRunEndsTheProgramFiveSecondsLaterWithoutAMessage) {
  form.chkExit.SetValue(1);
  sys.http.handler = [](const std::string&) { return NavalPage("12:00:09"); };
  sys.clock.now = MakeDateTime(2026, 12, 8, 12, 0, 10).AddSeconds(0.3);
  const DateTime start = sys.clock.now;
  sys.windows.onDoEvents = [&] { sys.clock.Advance(0.1); };
  EXPECT_THROW(form.cmdTimeSync_Click(), ProcessEnded);
  EXPECT_TRUE(sys.windows.boxes.empty());
  const double waited = (sys.clock.now.Serial() - start.Serial()) * 86400;
  EXPECT_GE(waited, 4.5);
  EXPECT_LE(waited, 5.5);
}

}  // namespace
}  // namespace tavrel
