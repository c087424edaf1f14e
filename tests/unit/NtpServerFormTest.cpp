// "act as a NTP server for a local network" in the options view, on the
// in-memory platform: the rows it shows, the source the program keeps
// setting its own clock from, the settings, the server started when the
// options are saved or loaded, a port in use reported once, and what the
// local network hears after a synchronisation.
#include <string>

#include "app/ControlIds.h"
#include "app/FrmMain.h"
#include "support/VRN_ErrorLog.h"
#include "TestPlatform.h"
#include "timesync/NtpPacket.h"
#include "timesync/NtpServer.h"
#include "timesync/VRN_TimeSync.h"

namespace tavrel {
namespace {

const char* const kSettingsKey = "Software\\VRN Program Settings\\VRN\\Tavrel\\TESTER\\Settings";
const NetAddress kUpstream = NetAddress::V4(192, 0, 2, 1);
const NetAddress kClient = NetAddress::V4(192, 168, 1, 20);

class NtpServerFormTest : public ProgramTest {
 protected:
  NtpServerFormTest() {
    UserName = "TESTER";
    MainForm = &form;
    // No time page shows a time; the web servers' clocks answer.
    sys.http.handler = [](const std::string&) { return std::string("no time here"); };
    sys.http.serverOffset = 0;
    // A stratum-2 NTP server at 192.0.2.1:123, at the memory clock's time.
    sys.udp.server = [this](const MemoryUdp::Sent& request) -> std::vector<Datagram> {
      if (request.to != kUpstream || request.port != 123) return {};
      std::string b(48, '\0');
      b[0] = 0x24;
      b[1] = 2;
      b.replace(24, 8, request.bytes.substr(40, 8));
      const NtpTimestamp t = ToNtpTimestamp(sys.clock.NowUtc());
      for (int i = 0; i < 8; ++i) b[32 + i] = b[40 + i] = static_cast<char>(t >> (56 - 8 * i));
      return {{b, kUpstream, 123}};
    };
  }
  ~NtpServerFormTest() override { MainForm = nullptr; }

  void Store(const char* name, const std::string& text) {
    sys.registry.WriteString(RegRoot::CurrentUser, kSettingsKey, name, text);
  }
  std::string Stored(const char* name) const {
    const auto value = sys.registry.Value(RegRoot::CurrentUser, kSettingsKey, name);
    return value ? value->text : "<missing>";
  }
  std::string Log() const { return sys.files.FileContent(ErrorLogPath()).value_or(""); }

  // The reply a client on the network gets from `port`; empty when none.
  std::string Ask(uint16_t port) {
    std::string request(48, '\0');
    request[0] = 0x1B;  // version 3, client
    const std::size_t before = sys.udp.sent.size();
    if (!sys.udp.Deliver(port, {request, kClient, 50123}) || sys.udp.sent.size() == before) return "";
    return sys.udp.sent.back().bytes;
  }

  void OpenOptionsAndServe(const std::string& address) {
    form.cmdOptions.UserClick();
    form.optTimeSource(1).UserClick();
    form.txtIPaddress.UserEditText(address);
  }

  FrmMain form;
  std::string text;
};

TEST_F(NtpServerFormTest, ServingShowsWhereTheProgramsOwnTimeComesFromAndKeepsTheServerItAsked) {
  form.Load();
  MemoryFormPeer& window = *sys.windows.Window("FrmMain");
  form.cmdOptions.UserClick();
  form.optTimeSource(2).UserClick();
  form.txtIPaddress.UserEditText("time.lan:4123");
  EXPECT_TRUE(window.Shows(IDC_Label14));
  EXPECT_FALSE(window.Shows(IDC_cboServerSource));

  form.optTimeSource(1).UserClick();
  EXPECT_EQ(":123", form.txtIPaddress.Text());
  EXPECT_EQ("NTP server", form.cboServerSource.Items()[form.cboServerSource.ListIndex()]);
  EXPECT_EQ("time.lan:4123", form.txtNtpServer.Text());
  EXPECT_TRUE(form.txtNtpServer.Enabled());
  for (int id : {IDC_Label16, IDC_cboServerSource, IDC_txtNtpServer}) EXPECT_TRUE(window.Shows(id)) << id;
  EXPECT_FALSE(window.Shows(IDC_Label14));
  EXPECT_EQ("sync from :", form.Label16.Caption());

  form.cboServerSource.UserSelectItem(0);
  EXPECT_FALSE(form.txtNtpServer.Enabled());
  form.optTimeSource(1).UserClick();  // chosen already: nothing moves
  EXPECT_EQ(0, form.cboServerSource.ListIndex());
  EXPECT_EQ(":123", form.txtIPaddress.Text());

  // Back to the client: the server it asked is in the address box again.
  form.optTimeSource(2).UserClick();
  EXPECT_EQ("time.lan:4123", form.txtIPaddress.Text());
  EXPECT_TRUE(window.Shows(IDC_Label14));
  EXPECT_EQ("Port : 4123", form.Label14.Caption());
  // From the web pages, serving keeps the web.
  form.optTimeSource(0).UserClick();
  form.optTimeSource(1).UserClick();
  EXPECT_EQ(0, form.cboServerSource.ListIndex());
  EXPECT_EQ("", Log());
}

TEST_F(NtpServerFormTest, SavingTheOptionsStartsTheServerAndTheSettingsBringItBack) {
  form.Load();
  OpenOptionsAndServe(":1123");
  EXPECT_FALSE(sys.udp.Deliver(1123, {std::string(48, '\0'), kClient, 50123}));  // chosen, not saved yet
  form.cmdOptions.UserClick();
  EXPECT_EQ("serving NTP on port 1123 (IPv4, IPv6)", form.Label15.Caption());
  EXPECT_EQ(1u, sys.udp.listening.count({NetAddress::IPv4, 1123}));
  EXPECT_EQ(1u, sys.udp.listening.count({NetAddress::IPv6, 1123}));
  EXPECT_EQ("1", Stored("optTimeSource"));
  EXPECT_EQ(":1123", Stored("txtIPaddress"));
  EXPECT_EQ("0", Stored("cboServerSource"));

  // The next start serves at once.
  form.LanNtpServer().Stop();
  FrmMain next;
  MainForm = &next;
  next.Load();
  EXPECT_EQ(-1, next.optTimeSource(1).Value());
  EXPECT_TRUE(next.LanNtpServer().Serving());
  // Giving the choice up stops it.
  next.cmdOptions.UserClick();
  next.optTimeSource(0).UserClick();
  next.cmdOptions.UserClick();
  EXPECT_FALSE(next.LanNtpServer().Serving());
  EXPECT_EQ("0", Stored("optTimeSource"));
  MainForm = &form;
}

TEST_F(NtpServerFormTest, UnsynchronisedUntilARunThenAtTheStratumAndAddressOfTheSource) {
  Store("optTimeSource", "1");
  Store("cboServerSource", "1");
  Store("txtNtpServer", "192.0.2.1");
  form.Load();
  EXPECT_EQ(16, Ask(123).at(1));

  EXPECT_TRUE(DoAtomicTime(text));  // from the stratum-2 NTP server
  std::string reply = Ask(123);
  EXPECT_EQ(0, static_cast<unsigned char>(reply.at(0)) >> 6);
  EXPECT_EQ(3, reply.at(1));
  EXPECT_EQ(std::string("\xC0\x00\x02\x01", 4), reply.substr(12, 4));

  form.cboServerSource.UserSelectItem(0);  // the web servers' clock
  sys.udp.sent.clear();
  sys.clock.Advance(10);
  EXPECT_TRUE(DoAtomicTime(text));
  EXPECT_TRUE(sys.udp.sent.empty());  // no NTP server was asked
  reply = Ask(123);
  EXPECT_EQ(2, reply.at(1));
  EXPECT_EQ("HTTP", reply.substr(12, 4));
  EXPECT_EQ("", Log());
}

TEST_F(NtpServerFormTest, APortInUseIsReportedOnceAndTakenAfterARunWhenFree) {
  sys.udp.portsInUse = {123};
  form.Load();
  OpenOptionsAndServe("");
  form.cmdOptions.UserClick();
  EXPECT_EQ("Port 123 is in use by another program", form.Label15.Caption());
  form.cmdOptions.UserClick();
  form.cmdOptions.UserClick();
  EXPECT_EQ("Port 123 is in use by another program", form.Label15.Caption());
  const std::string log = Log();
  const std::string line = "ApplyNtpServer of Formular FrmMain  70  10048  Port 123 is in use by another program";
  EXPECT_NE(std::string::npos, log.find(line)) << log;
  EXPECT_EQ(log.find(line), log.rfind(line)) << log;
  // The rest of the program goes on.
  form.cmdTimeSync.UserClick();
  EXPECT_FALSE(form.LanNtpServer().Serving());
  // The other program has gone: the next run takes the port.
  sys.udp.portsInUse.clear();
  form.cmdTimeSync.UserClick();
  EXPECT_TRUE(form.LanNtpServer().Serving());
  EXPECT_EQ(48u, Ask(123).size());
}

TEST_F(NtpServerFormTest, ATextThatIsNoPortIsReportedAndNothingServed) {
  form.Load();
  OpenOptionsAndServe("time.lan");
  form.cmdOptions.UserClick();
  EXPECT_FALSE(form.LanNtpServer().Serving());
  EXPECT_EQ("no port to serve NTP on: time.lan", form.Label15.Caption());
  EXPECT_NE(std::string::npos, Log().find("ApplyNtpServer of Formular FrmMain  40  380  Invalid NTP port 'time.lan'"));
  EXPECT_THROW(ParseServedPort(":65536"), RuntimeError);
  EXPECT_EQ(8123, ParseServedPort(" :8123 "));
}

TEST_F(NtpServerFormTest, ASynchronisationCountsForFourPeriodsOrADay) {
  EXPECT_EQ(86400.0, form.ServedMaxAgeSeconds());
  form.txtPeriodic.SetText("1.5");
  EXPECT_EQ(86400.0, form.ServedMaxAgeSeconds());  // not ticked
  form.chkPeriodic.SetValue(1);
  EXPECT_EQ(4 * 5400.0, form.ServedMaxAgeSeconds());
  form.txtPeriodic.SetText("0");  // once a minute
  EXPECT_EQ(240.0, form.ServedMaxAgeSeconds());
}

}  // namespace
}  // namespace tavrel
