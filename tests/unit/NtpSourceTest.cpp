// The NTP server as the program's time source, on the in-memory platform:
// the choice in the options view and its settings, and DoAtomicTime taking
// the local time from a server on the memory network.
#include <cmath>
#include <cstring>
#include <string>

#include "app/ControlIds.h"
#include "app/FrmMain.h"
#include "support/VRN_ErrorLog.h"
#include "TestPlatform.h"
#include "timesync/Sntp.h"
#include "timesync/VRN_TimeSync.h"

namespace tavrel {
namespace {

const char* const kSettingsKey = "Software\\VRN Program Settings\\VRN\\Tavrel\\TESTER\\Settings";
const char* const kProcedure = "DoAtomicTime of Modul VRN_TimeSync";
const NetAddress kServer = NetAddress::V4(192, 0, 2, 1);

class NtpSourceTest : public ProgramTest {
 protected:
  NtpSourceTest() {
    UserName = "TESTER";
    MainForm = &form;
    sys.http.handler = [](const std::string&) -> std::string { return std::string(120, '.') + "12:00:00 UTC"; };
  }
  ~NtpSourceTest() override { MainForm = nullptr; }

  // A server `offset` seconds ahead of the memory clock's UTC, 10 ms away
  // each way, at kServer:1123.
  void Serve(double offset) {
    sys.udp.server = [this, offset](const MemoryUdp::Sent& request) -> std::vector<Datagram> {
      if (request.to != kServer || request.port != 1123) return {};
      sys.clock.Advance(0.010);
      const NtpTimestamp t = ToNtpTimestamp(sys.clock.NowUtc().AddSeconds(offset));
      sys.clock.Advance(0.010);
      std::string b(48, '\0');
      b[0] = 0x24;  // leap 0, version 4, server mode
      b[1] = 2;
      std::memcpy(&b[24], &request.bytes[40], 8);
      for (int i = 0; i < 8; ++i) b[32 + i] = b[40 + i] = static_cast<char>(t >> (56 - 8 * i));
      return {{b, kServer, 1123}};
    };
  }

  void ChooseNtp(const std::string& server = "192.0.2.1:1123") {
    form.optTimeSource(2).SetValue(-1);
    form.txtIPaddress.SetText(server);
  }

  void Store(const char* name, const std::string& text) {
    sys.registry.WriteString(RegRoot::CurrentUser, kSettingsKey, name, text);
  }
  std::string Stored(const char* name) const {
    const auto value = sys.registry.Value(RegRoot::CurrentUser, kSettingsKey, name);
    return value ? value->text : "<missing>";
  }
  std::string Log() const { return sys.files.FileContent(ErrorLogPath()).value_or(""); }
  int Reports(const std::string& statement) const {
    const std::string log = Log();
    const std::string line = std::string(kProcedure) + "  " + statement + "  ";
    int count = 0;
    for (auto pos = log.find(line); pos != std::string::npos; pos = log.find(line, pos + 1)) ++count;
    return count;
  }

  FrmMain form;
  std::string text;
};

// Seconds from a to b.
double Seconds(DateTime a, DateTime b) { return (b.Serial() - a.Serial()) * 86400.0; }

// ---------------------------------------------------------------------------
// DoAtomicTime with the NTP server

struct Conversion {
  const char* name;
  bool daylightTicked;
  int32_t correction;
  double expectedMinutes;  // the new local time minus the old, offset aside
  int secondsCorrected;    // the old clock's whole seconds less the new one's
};

class NtpConversionTest : public NtpSourceTest, public ::testing::WithParamInterface<Conversion> {};

// Central European summer time: UTC = local − 120 min.
TEST_P(NtpConversionTest, LocalTimeIsServerUtcMinusTheTotalBiasToTheMillisecond) {
  const Conversion& c = GetParam();
  sys.timeZone.zone.Bias = -60;
  sys.timeZone.zone.StandardBias = 0;
  sys.timeZone.zone.DaylightBias = -60;
  sys.timeZone.result = TIME_ZONE_ID_DAYLIGHT;
  sys.clock.utcBiasMinutes = -120;
  form.txtMaxCorrection.SetText("0");  // an hour's correction needs no second server here
  form.chkDT.SetValue(c.daylightTicked ? 1 : 0);
  TimeCorrection = c.correction;
  sys.clock.now = MakeDateTime(2026, 6, 1, 23, 59, 59).AddSeconds(0.5);
  const DateTime start = sys.clock.now;
  Serve(1.25);
  ChooseNtp();

  EXPECT_TRUE(DoAtomicTime(text));

  EXPECT_EQ(4u, sys.udp.sent.size());
  EXPECT_TRUE(sys.http.requests.empty());
  ASSERT_EQ(1u, sys.clock.sets.size());
  // Four exchanges of 20 ms went by before the clock was read.
  const double expected = 0.080 + 1.25 + c.expectedMinutes * 60;
  EXPECT_NEAR(expected, Seconds(start, sys.clock.sets[0]), 0.001);
  EXPECT_EQ(c.secondsCorrected, SecondsCorrected);
  EXPECT_EQ(1, sys.clock.broadcasts);
  EXPECT_EQ("22:00:00", text);  // the server's UTC time of day
  EXPECT_EQ("", Log());
  EXPECT_EQ("offset +1.250 s, delay 20 ms", form.Label15.Caption());
}

INSTANTIATE_TEST_SUITE_P(
    Zones, NtpConversionTest,
    ::testing::Values(Conversion{"DaylightTime", true, 0, 0, -1},
                      Conversion{"StandardTimeAllYear", false, 0, -60, 3599},
                      Conversion{"CorrectedFiveMinutesEarlier", true, 5, -5, 299}),
    [](const ::testing::TestParamInfo<Conversion>& info) { return std::string(info.param.name); });

TEST_F(NtpSourceTest, ASilentServerIsReportedFourTimesAndTheClockStaysUntouched) {
  ChooseNtp();
  text = "before";
  SecondsCorrected = 7;

  EXPECT_FALSE(DoAtomicTime(text));

  EXPECT_EQ(4u, sys.udp.sent.size());
  EXPECT_EQ(4, Reports("310"));
  EXPECT_EQ(1, Reports("320"));
  EXPECT_TRUE(sys.clock.sets.empty());
  EXPECT_EQ(0, sys.clock.broadcasts);
  EXPECT_EQ("before", text);
  EXPECT_EQ(7, SecondsCorrected);
  EXPECT_EQ("no valid answer from the NTP server", form.Label15.Caption());
}

TEST_F(NtpSourceTest, TheWebSourceSendsNoDatagramEvenWithAnAddressTyped) {
  Serve(1.0);
  form.txtIPaddress.SetText("192.0.2.1:1123");

  EXPECT_TRUE(DoAtomicTime(text));

  EXPECT_TRUE(sys.udp.sent.empty());
  EXPECT_EQ(1u, sys.http.requests.size());
  EXPECT_EQ("12:00:00", text);
  EXPECT_EQ("", form.Label15.Caption());
}

// ---------------------------------------------------------------------------
// The options view and the settings

TEST_F(NtpSourceTest, TheOptionsViewOffersTheClientAndShowsThePortInUse) {
  form.Load();
  MemoryFormPeer& window = *sys.windows.Window("FrmMain");
  form.cmdOptions.UserClick();
  EXPECT_TRUE(window.Shows(IDC_optTimeSource + 0));
  EXPECT_TRUE(window.Shows(IDC_optTimeSource + 1));
  EXPECT_TRUE(window.Shows(IDC_optTimeSource + 2));
  EXPECT_TRUE(window.Shows(IDC_txtIPaddress));
  EXPECT_EQ(-1, form.optTimeSource(0).Value());
  EXPECT_EQ("Port : 123", form.Label14.Caption());

  for (const auto& [typed, port] : std::initializer_list<std::pair<const char*, const char*>>{
           {"[::1]:1234", "Port : 1234"}, {"time.lan:", "Port : 123"}, {"", "Port : 123"},
           {"a.lan, b.lan:1123,c.lan:1123", "Port : 123, 1123"}}) {
    form.txtIPaddress.SetText(typed);
    EXPECT_EQ(port, form.Label14.Caption()) << typed;
  }
  EXPECT_EQ("", Log());
}

TEST_F(NtpSourceTest, OlderSettingsLoadUnchangedAndTheNewValuesComeBackAsSaved) {
  Store("optebay", "True");
  Store("chkDT", "0");
  form.Load();
  EXPECT_EQ(-1, form.optTimeSource(0).Value());
  EXPECT_EQ("", form.txtIPaddress.Text());
  EXPECT_EQ(-1, form.optebay.Value());
  EXPECT_EQ(0, form.chkDT.Value());
  form.Save_Registry();
  EXPECT_EQ("0", Stored("optTimeSource"));
  EXPECT_EQ("", Stored("txtIPaddress"));

  Store("optTimeSource", "2");
  Store("txtIPaddress", "[fe80::1]:4123");
  form.Load_Registry();
  EXPECT_EQ(-1, form.optTimeSource(2).Value());
  EXPECT_EQ(0, form.optTimeSource(0).Value());
  EXPECT_EQ("Port : 4123", form.Label14.Caption());
  form.txtIPaddress.SetText("time.lan");
  form.Save_Registry();
  EXPECT_EQ("2", Stored("optTimeSource"));
  EXPECT_EQ("time.lan", Stored("txtIPaddress"));
  EXPECT_EQ("", Log());
}

TEST_F(NtpSourceTest, AnIndexOtherThanZeroToTwoIsReportedAndIgnored) {
  for (const char* stored : {"3", "x"}) {
    Store("optTimeSource", stored);
    Store("txtIPaddress", "time.lan");
    form.Load_Registry();
    EXPECT_EQ(-1, form.optTimeSource(0).Value()) << stored;
    EXPECT_EQ("time.lan", form.txtIPaddress.Text()) << stored;
  }
  EXPECT_NE(std::string::npos, Log().find("Load_Registry of Formular FrmMain  190  380  Invalid property value"));
  EXPECT_NE(std::string::npos, Log().find("Load_Registry of Formular FrmMain  190  13  Type mismatch"));
}

}  // namespace
}  // namespace tavrel
