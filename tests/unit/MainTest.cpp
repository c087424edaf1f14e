// Start-up: what Main leaves behind, and in which order, on the in-memory
// platform.
#include <string>

#include "app/A_Tavrel_Main.h"
#include "app/FrmMain.h"
#include "TestPlatform.h"

namespace tavrel {
namespace {

const char* const kLanguageFolder = "C:\\Program Files\\VRN\\Common\\language\\";

class MainTest : public ProgramTest {
 protected:
  MainTest() {
    sys.files.AddFile(std::string(kLanguageFolder) + "english.lng", "T0023\tSpeech\r\n");
    // A machine as installed: an organisation is registered, so start-up
    // reports nothing before the log gets its header.
    sys.system.version = WindowsXp();
    sys.registry.WriteString(RegRoot::LocalMachine, "Software\\Microsoft\\Windows NT\\CurrentVersion",
                             "RegisteredOrganization", "vrn");
  }
  ~MainTest() override { ReleaseMainForm(); }

  std::optional<RegValue> MachineValue(const std::string& name) const {
    return sys.registry.Value(RegRoot::LocalMachine, "Software\\VRN\\Tavrel\\" + MachineCode + "\\Settings", name);
  }
  std::optional<std::string> Log() const { return sys.files.FileContent(ErrorLogPath()); }
};

TEST_F(MainTest, EverythingIsReadyBeforeTheWindowExists) {
  sys.files.AddFolder("C:\\Program Files\\VRN\\Common");
  bool checked = false;
  sys.windows.onCreateForm = [&](const std::string&) {
    checked = true;
    EXPECT_EQ("Tavrel", ProgramName);
    EXPECT_EQ("230", ProductNumber);
    EXPECT_EQ("TESTER", UserName);
    EXPECT_EQ(9u, MachineCode.size());
    EXPECT_EQ("english", LanguageSetting);
    EXPECT_EQ("Speech", LanguageTexts[23]);
    ASSERT_TRUE(MachineValue("ProgramVersion").has_value());
    ASSERT_TRUE(Log().has_value());
    EXPECT_EQ(0u, Log()->find("########  v.r.n error log file - created "));
    EXPECT_TRUE(SoundAvailable);
    EXPECT_EQ("http://www.vrn.example/vrn", HomePageAddress);
  };

  Main();

  EXPECT_TRUE(checked);
  ASSERT_NE(nullptr, MainForm);
  EXPECT_TRUE(MainForm->Visible());
  EXPECT_EQ(kCompactHeight, MainForm->Height());
  EXPECT_EQ(kMainWidth, MainForm->Width());
  EXPECT_FALSE(sys.process.ended);
}

// On a slow machine the user can click before start-up is over.
TEST_F(MainTest, AViewOpenedWhileStartUpRunsTheEventsStaysOpen) {
  bool clicked = false;
  sys.windows.onDoEvents = [&] {
    if (clicked || !MainForm || !MainForm->Visible()) return;
    clicked = true;
    MainForm->cmdOptions_Click();
  };

  Main();

  ASSERT_TRUE(clicked);
  EXPECT_EQ("Save &Options", MainForm->cmdOptions.Caption());
  EXPECT_EQ(kOptionsHeight, MainForm->Height());
}

TEST_F(MainTest, ProgramVersionIsRewrittenAtEveryStart) {
  sys.system.volumeSerials.clear();  // drive C unreadable: still a machine code
  Main();
  const std::string key = "Software\\VRN\\Tavrel\\" + MachineCode + "\\Settings";
  sys.registry.WriteString(RegRoot::LocalMachine, key, "ProgramVersion", "3.9.0");
  ReleaseMainForm();

  Main();

  const auto version = MachineValue("ProgramVersion");
  ASSERT_TRUE(version.has_value());
  EXPECT_EQ(RegValue::String, version->type);
  EXPECT_EQ("3.10.1", version->text);
}

TEST_F(MainTest, StoredLanguageChoosesTheFile) {
  sys.files.AddFile(std::string(kLanguageFolder) + "deutsch.lng", "T0023\tSprache\r\n");
  sys.registry.WriteString(RegRoot::CurrentUser, "Software\\VRN Program Settings\\VRN\\Tavrel\\TESTER\\Settings",
                           "Language", "deutsch");
  Main();
  EXPECT_EQ("Sprache", LanguageTexts[23]);
}

TEST_F(MainTest, MissingLanguageFileEndsStartUpWithoutAWindow) {
  sys.files.Remove(std::string(kLanguageFolder) + "english.lng");

  Main();

  EXPECT_EQ(nullptr, MainForm);
  EXPECT_TRUE(sys.windows.formsCreated.empty());
  ASSERT_EQ(1u, sys.windows.boxes.size());
  EXPECT_EQ("Tavrel", sys.windows.boxes[0].title);
  EXPECT_NE(std::string::npos, sys.windows.boxes[0].text.find("english.lng"));
  EXPECT_FALSE(MachineValue("ProgramVersion").has_value());
}

TEST_F(MainTest, SecondCopyEndsFirstAndQuietlyBringingTheFirstToTheFront) {
  // Everything a second copy must not do: a stored start-up run with its
  // message, the voice, the Run entry and the tray icon.
  const std::string settings = "Software\\VRN Program Settings\\VRN\\Tavrel\\TESTER\\Settings";
  for (const char* option : {"chkTimeSync", "chkVoice", "chkStartWithWindow", "chkStartInSysTray"})
    sys.registry.WriteString(RegRoot::CurrentUser, settings, option, "1");
  sys.process.prevInstance = true;
  int fetches = 0;
  sys.http.handler = [&](const std::string&) -> std::string {
    ++fetches;
    Raise(errInetFailure);
  };

  EXPECT_THROW(Main(), ProcessEnded);

  EXPECT_TRUE(sys.process.ended);
  EXPECT_EQ(1, sys.process.activations);
  EXPECT_TRUE(sys.windows.formsCreated.empty());
  EXPECT_TRUE(sys.windows.boxes.empty());
  EXPECT_EQ(0, fetches);
  EXPECT_TRUE(sys.speech.spoken.empty());
  EXPECT_EQ(0, sys.speech.creates);
  EXPECT_TRUE(sys.notifyArea.requests.empty());
  EXPECT_FALSE(MachineValue("ProgramVersion").has_value());
  EXPECT_FALSE(sys.registry.KeyExists(RegRoot::LocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion\\Run"));
  EXPECT_FALSE(Log().has_value());
  const auto stored = sys.registry.Value(RegRoot::CurrentUser, settings, "chkTimeSync");
  ASSERT_TRUE(stored.has_value());
  EXPECT_EQ("1", stored->text);
}

TEST_F(MainTest, TheFirstCopyBringsNothingToTheFront) {
  Main();
  EXPECT_EQ(0, sys.process.activations);
  EXPECT_FALSE(sys.process.ended);
}

TEST_F(MainTest, NoSoundDeviceIsRemembered) {
  sys.sound.devices = 0;
  Main();
  EXPECT_FALSE(SoundAvailable);
}

// ---------------------------------------------------------------------------

class FormLoadTest : public ProgramTest {
 protected:
  ~FormLoadTest() override { MainForm = nullptr; }
  FrmMain form;
};

TEST_F(FormLoadTest, DaylightTimeAtLoadSetsTheFlagForTheRun) {
  sys.timeZone.result = TIME_ZONE_ID_DAYLIGHT;
  sys.timeZone.zone.Bias = -60;
  sys.timeZone.zone.DaylightBias = -60;
  form.Load();
  EXPECT_TRUE(DaylightActive);
  EXPECT_EQ(-60, TZInfo.Bias);
  EXPECT_EQ(" Daylight Savings Time...", form.Label8.Caption());
}

// Autumn comes while the program runs: the system's word that its settings
// changed brings the panel and the flag to standard time.
TEST_F(FormLoadTest, TheSystemsChangeOfSeasonShowsAtOnce) {
  sys.timeZone.result = TIME_ZONE_ID_DAYLIGHT;
  sys.timeZone.zone.Bias = -60;
  sys.timeZone.zone.DaylightBias = -60;
  form.Load();
  EXPECT_EQ(" Daylight Savings Time...", form.Label8.Caption());

  sys.timeZone.result = TIME_ZONE_ID_STANDARD;
  sys.timeZone.zone.Bias = 300;
  sys.windows.SystemChange();
  EXPECT_FALSE(DaylightActive);
  EXPECT_EQ(" Standard Time...", form.Label8.Caption());
  EXPECT_EQ("300", form.lblInfoValue(0).Caption());
}

TEST_F(FormLoadTest, ZoneStatesAndAFailedRead) {
  sys.timeZone.result = TIME_ZONE_ID_STANDARD;
  form.Load();
  EXPECT_FALSE(DaylightActive);
  EXPECT_EQ(" Standard Time...", form.Label8.Caption());

  FrmMain unknown;
  sys.timeZone.result = TIME_ZONE_ID_UNKNOWN;
  unknown.Load();
  EXPECT_EQ(" Time Zone Unknown!", unknown.Label8.Caption());

  FrmMain failed;
  sys.timeZone.result = TIME_ZONE_ID_INVALID;
  TZInfo = TimeZoneInformation();
  failed.Load();
  EXPECT_FALSE(DaylightActive);
  EXPECT_EQ("x", failed.Label8.Caption());
  EXPECT_EQ(u' ', TZInfo.StandardName[0]);  // blanks, nothing read
}

}  // namespace
}  // namespace tavrel
