// The program's voice on the in-memory platform: which minutes the timer
// speaks, how the clock text is read out, the engine's set-up with its
// download hint, and what is said when the window opens, the option changes
// and the window closes. What was said is read from the engine's record.
#include <string>
#include <vector>

#include "app/FrmMain.h"
#include "speech/VRN_PlaySound.h"
#include "support/VRN_ErrorLog.h"
#include "timesync/VRN_TimeSync.h"
#include "TestPlatform.h"

namespace tavrel {
namespace {

using Texts = std::vector<std::string>;

const char* const kSettingsKey = "Software\\VRN Program Settings\\VRN\\Tavrel\\TESTER\\Settings";
const char* const kMachineKey = "Software\\VRN\\Tavrel\\123456789\\Settings";

class SpeechTest : public ProgramTest {
 protected:
  SpeechTest() {
    UserName = "TESTER";
    MachineCode = "123456789";
    MainForm = &form;
  }
  ~SpeechTest() override { MainForm = nullptr; }

  // Start-up as Main does it: the sound card, then the engine.
  void StartEngine() {
    HasSound();
    Ini_TTS();
  }
  // A window with the voice on, every period the same, nothing said yet.
  void VoiceOn(int periodIndex) {
    StartEngine();
    form.Load();
    form.Combo1.SetListIndex(periodIndex);
    form.chkVoice.SetValue(1);
    sys.speech.spoken.clear();
  }
  void TickAt(int hour, int minute, double second) {
    sys.clock.now = MakeDateTime(2026, 12, 8, hour, minute, 0).AddSeconds(second);
    form.Timer1.Fire();
  }
  std::string Log() const { return sys.files.FileContent(ErrorLogPath()).value_or(""); }
  std::optional<RegValue> Tts() const { return sys.registry.Value(RegRoot::LocalMachine, kMachineKey, "TTS"); }

  FrmMain form;
};

// ---------------------------------------------------------------------------
// The spoken time on the timer's ticks

TEST_F(SpeechTest, PeriodFifteenSpeaksEachDueMinuteOnceAsynchronously) {
  VoiceOn(3);
  ASSERT_EQ("15", form.Combo1.Text());
  TickAt(10, 14, 58);
  TickAt(10, 15, 0);
  TickAt(10, 15, 0.5);
  TickAt(10, 15, 59.5);
  TickAt(10, 20, 0);
  TickAt(10, 20, 30);
  TickAt(10, 29, 59.5);
  TickAt(10, 30, 0);
  TickAt(10, 30, 1);
  EXPECT_EQ((Texts{"The time is now 10:15", "The time is now 10:30"}), sys.speech.Texts());
  for (const auto& utterance : sys.speech.spoken) EXPECT_EQ(16u, utterance.flags);
  EXPECT_EQ("", Log());
}

TEST_F(SpeechTest, AProgramStartedInADueMinuteFirstSpeaksAtTheNextOne) {
  VoiceOn(3);
  TickAt(10, 15, 0);
  TickAt(10, 15, 30);
  EXPECT_TRUE(sys.speech.spoken.empty());
  TickAt(10, 16, 0);
  TickAt(10, 30, 0);
  EXPECT_EQ((Texts{"The time is now 10:30"}), sys.speech.Texts());
}

TEST_F(SpeechTest, PeriodSixtySpeaksOnceAnHourOnTheHour) {
  VoiceOn(0);
  ASSERT_EQ("60", form.Combo1.Text());
  for (int hour : {10, 11, 12}) {
    TickAt(hour, 0, 0);
    TickAt(hour, 0, 30);
    TickAt(hour, 30, 0);
    TickAt(hour, 59, 59);
  }
  EXPECT_EQ((Texts{"The time is now 11:00", "The time is now 12:00"}), sys.speech.Texts());
}

// A period that is no number, or 0, cannot be tested: the call is reported
// and says nothing, and the next good period works as before.
TEST_F(SpeechTest, APeriodThatIsNoNumberOrZeroIsReportedAndNothingIsSpoken) {
  VoiceOn(3);
  form.lblTime.SetCaption("10:14:00");
  form.Combo1.SetCaption("abc");
  VoiceTime(false, form.lblTime.Caption(), form.Combo1.Text());
  form.lblTime.SetCaption("10:15:00");
  VoiceTime(false, form.lblTime.Caption(), form.Combo1.Text());
  form.Combo1.SetCaption("0");
  VoiceTime(false, form.lblTime.Caption(), form.Combo1.Text());
  EXPECT_TRUE(sys.speech.spoken.empty());
  const std::string log = Log();
  EXPECT_NE(std::string::npos, log.find("Common : 230 v.3.10.1  VoiceTime of Modul VRN_TimeSync  30  13  Type mismatch"))
      << log;
  EXPECT_NE(std::string::npos, log.find("VoiceTime of Modul VRN_TimeSync  30  11  Division by zero")) << log;

  form.Combo1.SetListIndex(2);
  form.lblTime.SetCaption("10:39:00");
  VoiceTime(false, form.lblTime.Caption(), form.Combo1.Text());
  form.lblTime.SetCaption("10:40:00");
  VoiceTime(false, form.lblTime.Caption(), form.Combo1.Text());
  EXPECT_EQ((Texts{"The time is now 10:40"}), sys.speech.Texts());
}

// ---------------------------------------------------------------------------
// How the clock text is read out

TEST_F(SpeechTest, TheClockTextIsReadAsTwoDigitHourAndMinuteWithItsHalfOfTheDay) {
  VoiceOn(0);
  const std::pair<const char*, const char*> cases[] = {
      {"12:00:01 AM", "The time is now 12:00 am"},
      {"9:05:09 PM", "The time is now 09:05 pm"},
      {"14:05:09", "The time is now 14:05"},
      {"7:5:3", "The time is now 07:05"},
      {"11:59:59 pm", "The time is now 11:59 pm"},
  };
  for (const auto& c : cases) {
    sys.speech.spoken.clear();
    form.lblTime.SetCaption(c.first);
    VoiceTime(true, form.lblTime.Caption(), form.Combo1.Text());
    EXPECT_EQ(Texts{c.second}, sys.speech.Texts()) << c.first;
  }
}

// ---------------------------------------------------------------------------
// Without a sound card

TEST_F(SpeechTest, WithoutASoundCardTheEngineIsMadeButNeitherRegisteredNorUsedForTheTime) {
  sys.sound.devices = 0;
  VoiceOn(6);
  EXPECT_FALSE(SoundAvailable);
  EXPECT_TRUE(sys.speech.created);
  EXPECT_TRUE(sys.speech.registrations.empty());
  EXPECT_EQ(uint32_t{0xFFFFFFFFu}, Tts()->number);
  EXPECT_TRUE(sys.windows.boxes.empty());

  for (int minute = 0; minute <= 6; ++minute) TickAt(10, minute, 0);
  form.lblTime.SetCaption("10:06:00");
  VoiceTime(true, form.lblTime.Caption(), form.Combo1.Text());
  EXPECT_TRUE(sys.speech.spoken.empty());

  // The option itself still answers: it does not ask for the sound card.
  form.chkVoice.UserClick();
  EXPECT_EQ((Texts{"voice system deactivated"}), sys.speech.Texts());
}

// ---------------------------------------------------------------------------
// No engine: the download hint

class SpeechHintTest : public SpeechTest {
 protected:
  SpeechHintTest() {
    LanguageTexts[23] = "Title 23";
    for (int i = 52; i <= 57; ++i) LanguageTexts[i] = "Line " + std::to_string(i);
    sys.speech.installed = false;
  }
  // One start of the program as far as the engine goes.
  void Start() {
    sys.windows.boxes.clear();
    SoundAvailable = false;
    SpeechEngine = nullptr;
    StartEngine();
  }
};

TEST_F(SpeechHintTest, TheHintTellsWhereToGetAnEngineAndItsOkDownloadsBoth) {
  Start();
  ASSERT_EQ(1u, sys.windows.boxes.size());
  const auto& box = sys.windows.boxes[0];
  EXPECT_EQ("Title 23", box.title);
  EXPECT_EQ(
      "Line 52\r\nLine 53\r\n"
      "Download url: http://activex.microsoft.com/activex/controls/sapi/spchapi.exe\r\n"
      "Download url: http://activex.microsoft.com/activex/controls/agent2/tv_enua.exe\r\n"
      "Line 54\r\n\r\nLine 55\r\nLine 56\r\n\r\nLine 57",
      box.text);
  EXPECT_EQ(vbOKCancel | vbSystemModal, box.style);
  EXPECT_EQ((Texts{"http://activex.microsoft.com/activex/controls/sapi/spchapi.exe",
                   "http://activex.microsoft.com/activex/controls/agent2/tv_enua.exe"}),
            sys.downloads.urls);
  EXPECT_FALSE(SoundAvailable);
  EXPECT_EQ(nullptr, SpeechEngine);
  ASSERT_TRUE(Tts().has_value());
  EXPECT_EQ(0u, Tts()->number);
  EXPECT_EQ("", Log());
}

TEST_F(SpeechHintTest, CancelDownloadsNothingButStillRemembersTheHint) {
  sys.windows.answers.push_back(vbCancel);
  Start();
  EXPECT_EQ(1u, sys.windows.boxes.size());
  EXPECT_TRUE(sys.downloads.urls.empty());
  EXPECT_EQ(0u, Tts()->number);
}

TEST_F(SpeechHintTest, TheHintComesOncePerLossOfTheEngine) {
  Start();
  EXPECT_EQ(1u, sys.windows.boxes.size());
  Start();
  EXPECT_TRUE(sys.windows.boxes.empty()) << "shown again at the next start";

  sys.speech.installed = true;
  Start();
  EXPECT_TRUE(sys.windows.boxes.empty());
  EXPECT_TRUE(SoundAvailable);
  EXPECT_EQ(0xFFFFFFFFu, Tts()->number);

  sys.speech.installed = false;
  Start();
  EXPECT_EQ(1u, sys.windows.boxes.size()) << "not shown after the engine was lost again";
}

// An engine that will not take the program's registration cannot be
// relied on either: no sound, and the hint.
TEST_F(SpeechHintTest, AFailedRegistrationCountsAsNoEngine) {
  sys.speech.installed = true;
  sys.speech.registerFails = true;
  Start();
  EXPECT_FALSE(SoundAvailable);
  EXPECT_EQ(1u, sys.windows.boxes.size());
}

// ---------------------------------------------------------------------------
// Greeting, the option and the farewell

TEST_F(SpeechTest, StartingWithTheVoiceOnConfirmsItThenGreets) {
  sys.registry.WriteString(RegRoot::CurrentUser, kSettingsKey, "chkVoice", "1");
  StartEngine();
  EXPECT_EQ((std::vector<std::pair<std::string, std::string>>{{"", "A_Tavrel"}}), sys.speech.registrations);
  form.Load();
  EXPECT_EQ((Texts{"voice system acctivated", "welcome to a tavrel"}), sys.speech.Texts());
  for (const auto& utterance : sys.speech.spoken) EXPECT_EQ(16u, utterance.flags);

  form.chkVoice.UserClick();
  form.chkVoice.UserClick();
  EXPECT_EQ((Texts{"voice system acctivated", "welcome to a tavrel", "voice system deactivated",
                   "voice system acctivated"}),
            sys.speech.Texts());
}

// Without an engine every attempt to speak is reported, and the window
// loads and works regardless.
TEST_F(SpeechTest, SpeakingWithoutAnEngineIsReportedAndTheWindowCarriesOn) {
  sys.registry.WriteString(RegRoot::CurrentUser, kSettingsKey, "chkVoice", "1");
  sys.speech.installed = false;
  sys.windows.answers.push_back(vbCancel);
  StartEngine();
  form.Load();
  EXPECT_TRUE(sys.speech.spoken.empty());
  EXPECT_TRUE(sys.windows.Window("FrmMain")->visible);
  EXPECT_EQ(1, form.chkVoice.Value());
  const std::string log = Log();
  EXPECT_NE(std::string::npos, log.find("A_Tavrel : 230 v.3.10.1  chkVoice_Click of Formular FrmMain  10  91  "))
      << log;
  EXPECT_NE(std::string::npos, log.find("Form_Load of Formular FrmMain  40  91  ")) << log;
}

TEST_F(SpeechTest, AnEngineThatRefusesToSpeakIsReported) {
  VoiceOn(0);
  sys.speech.speakFails = true;
  form.lblTime.SetCaption("10:00:00");
  VoiceTime(true, form.lblTime.Caption(), form.Combo1.Text());
  form.chkVoice.UserClick();
  const std::string log = Log();
  EXPECT_NE(std::string::npos, log.find("VoiceTime of Modul VRN_TimeSync  80  440")) << log;
  EXPECT_NE(std::string::npos, log.find("chkVoice_Click of Formular FrmMain  10  440")) << log;
}

TEST_F(SpeechTest, TheFarewellIsSpokenFirstThenTheWindowClosesAboutTwoSecondsLaterAndLetsTheEngineGo) {
  VoiceOn(0);
  const DateTime start = sys.clock.now;
  bool spokenBeforeWaiting = false;
  int ticks = 0;
  sys.windows.onDoEvents = [&] {
    if (ticks++ == 0) spokenBeforeWaiting = sys.speech.Texts() == Texts{"goodbye and have a very nice day"};
    sys.clock.Advance(0.1);
    ASSERT_LT(sys.clock.now.Serial() - start.Serial(), 5.0 / 86400) << "the wait does not end";
  };
  EXPECT_THROW(form.cmdExit_Click(), ProcessEnded);
  EXPECT_TRUE(spokenBeforeWaiting);
  const double waited = (sys.clock.now.Serial() - start.Serial()) * 86400;
  EXPECT_GE(waited, 1.5);
  EXPECT_LE(waited, 2.5);
  EXPECT_EQ(nullptr, SpeechEngine);
  EXPECT_EQ(1, sys.speech.releases);
  EXPECT_FALSE(sys.speech.created);
}

TEST_F(SpeechTest, WithoutAnEngineTheFarewellWaitStillTakesItsTwoSeconds) {
  sys.registry.WriteString(RegRoot::CurrentUser, kSettingsKey, "chkVoice", "1");
  form.Load();
  const DateTime start = sys.clock.now;
  sys.windows.onDoEvents = [&] { sys.clock.Advance(0.1); };
  EXPECT_THROW(form.cmdExit_Click(), ProcessEnded);
  EXPECT_GE((sys.clock.now.Serial() - start.Serial()) * 86400, 1.5);
}

}  // namespace
}  // namespace tavrel
