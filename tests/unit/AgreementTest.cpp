// Trust before a big correction, several NTP servers and being a good
// client of them, on the in-memory platform: web servers whose Dates
// disagree, time pages, a pool of NTP servers with their answers, their
// kisses-o'-death and the least time between two runs that ask them.
#include <cstring>
#include <map>
#include <string>

#include "app/FrmMain.h"
#include "support/VRN_ErrorLog.h"
#include "TestPlatform.h"
#include "timesync/NtpSource.h"
#include "timesync/Sntp.h"
#include "timesync/VRN_TimeSync.h"

namespace tavrel {
namespace {

const char* const kUnconfirmed = "DoAtomicTime of Modul VRN_TimeSync  510  ";
const char* const kNaval = "tycho.usno.navy.mil";
const char* const kNist = "www.time.gov";
const char* const kEbay = "cgi3.ebay.com";

NetAddress Server(int n) { return NetAddress::V4(192, 0, 2, static_cast<uint8_t>(n)); }

class AgreementTest : public ProgramTest {
 protected:
  AgreementTest() {
    MainForm = &form;
    sys.clock.now = MakeDateTime(2026, 12, 8, 12, 0, 0).AddSeconds(0.437);
  }
  ~AgreementTest() override { MainForm = nullptr; }

  // Web servers that answer every time page with a redirect and their own
  // Date, `offset` seconds ahead of the computer's UTC, after `latency`.
  struct WebHost {
    double offset = 0, latency = 0.05;
  };
  void ServeDates() {
    sys.http.answerer = [this](const std::string& url) {
      const WebHost& host = web[url.substr(7, url.find('/', 7) - 7)];
      HttpAnswer a;
      a.status = 301;
      a.headers = "Date: " + ImfFixdate(sys.clock.NowUtc().AddSeconds(host.latency / 2 + host.offset)) + "\r\n";
      sys.clock.Advance(host.latency);
      return a;
    };
  }

  // NTP servers at 192.0.2.n: `offset` seconds ahead, `oneWay` seconds
  // away each way; a `kiss` code answers with that kiss-o'-death instead.
  struct NtpHost {
    double offset = 0, oneWay = 0.01;
    std::string kiss;
  };
  void ServeNtp() {
    sys.udp.server = [this](const MemoryUdp::Sent& request) -> std::vector<Datagram> {
      const auto it = ntp.find(request.to.bytes[3]);
      if (request.to.bytes[0] != 192 || it == ntp.end()) return {};
      const NtpHost& host = it->second;
      sys.clock.Advance(host.oneWay);
      const NtpTimestamp t = ToNtpTimestamp(sys.clock.NowUtc().AddSeconds(host.offset));
      sys.clock.Advance(host.oneWay);
      std::string b(48, '\0');
      b[0] = 0x24;  // leap 0, version 4, server mode
      b[1] = host.kiss.empty() ? 2 : 0;
      if (!host.kiss.empty()) std::memcpy(&b[12], host.kiss.data(), 4);
      std::memcpy(&b[24], &request.bytes[40], 8);
      for (int i = 0; i < 8; ++i) b[32 + i] = b[40 + i] = static_cast<char>(t >> (56 - 8 * i));
      return {{b, request.to, 123}};
    };
  }
  void Ntp(int n, double offset, double oneWay = 0.01, const std::string& kiss = "") {
    NtpHost& host = ntp[n];
    host.offset = offset;
    host.oneWay = oneWay;
    host.kiss = kiss;
  }
  void ChooseNtp(const std::string& servers) {
    form.optTimeSource(2).SetValue(-1);
    form.txtIPaddress.SetText(servers);
  }
  int SentTo(int n) const {
    int count = 0;
    for (const MemoryUdp::Sent& s : sys.udp.sent) count += s.to == Server(n);
    return count;
  }

  bool Periodic() {
    std::string text;
    run = SyncRun();
    return DoAtomicTime(text, run);
  }
  std::string Log() const { return sys.files.FileContent(ErrorLogPath()).value_or(""); }
  int Count(const std::string& what) const {
    const std::string log = Log();
    int n = 0;
    for (auto p = log.find(what); p != std::string::npos; p = log.find(what, p + 1)) ++n;
    return n;
  }

  FrmMain form;
  std::map<std::string, WebHost> web;
  std::map<int, NtpHost> ntp;
  SyncRun run;
};

// ---------------------------------------------------------------------------
// The web servers

// The fastest server runs three hours ahead; the other two, with the real
// clock, are already heard from in the chain and need no further request.
TEST_F(AgreementTest, AnUnconfirmedWebCorrectionSetsNothingAndIsLoggedOnce) {
  web[kNaval] = {10800, 0.005};
  ServeDates();

  EXPECT_FALSE(Periodic());

  EXPECT_TRUE(sys.clock.sets.empty());
  EXPECT_EQ(SyncResult::NotConfirmed, run.result.outcome);
  EXPECT_EQ(1, Count(kUnconfirmed));
  EXPECT_EQ(1, Count("correction of 10800 s not confirmed by a second source"));
  EXPECT_EQ(1, Count("DoAtomicTime"));
  for (std::size_t i = 3; i < sys.http.requests.size(); ++i) EXPECT_NE(std::string::npos, sys.http.requests[i].find(kNaval));
  EXPECT_TRUE(sys.windows.boxes.empty());
}

TEST_F(AgreementTest, TheUserSeesBothAnswersAndDecides) {
  web[kNaval] = {10800, 0.005};
  ServeDates();

  sys.windows.answers = {vbNo};
  form.cmdTimeSync.UserClick();
  ASSERT_EQ(2u, sys.windows.boxes.size());
  const MemoryWindowSystem::Box& ask = sys.windows.boxes[0];
  EXPECT_EQ(vbYesNo | vbExclamation | vbDefaultButton2, ask.style);
  EXPECT_NE(std::string::npos, ask.text.find("Set the clock anyway?")) << ask.text;
  EXPECT_NE(std::string::npos, ask.text.find("3 h 0 min 0 s forward")) << ask.text;
  EXPECT_NE(std::string::npos, ask.text.find("tycho.usno.navy.mil says 15:00:")) << ask.text;
  EXPECT_NE(std::string::npos, ask.text.find("www.time.gov says 12:00:")) << ask.text;
  EXPECT_EQ("The attempt to synchronize your system time failed", sys.windows.boxes[1].text);
  EXPECT_TRUE(sys.clock.sets.empty());
  EXPECT_EQ(0, Count(kUnconfirmed));
  EXPECT_EQ("Last try failed " + sys.locale.LongTime(sys.clock.now) + ": correction declined", form.SyncStatus());

  sys.windows.answers = {vbYes};
  form.cmdTimeSync.UserClick();
  ASSERT_EQ(1u, sys.clock.sets.size());
  ASSERT_EQ(4u, sys.windows.boxes.size());
  EXPECT_EQ(0u, sys.windows.boxes[3].text.find("Your system time was updated to 15:00:")) << sys.windows.boxes[3].text;
}

// A flat CMOS battery: the computer is three hours behind and every server
// says so. Nobody is asked.
TEST_F(AgreementTest, ServersThatAgreeSetAClockHoursOffWithoutAWord) {
  for (const char* host : {kNaval, kNist, kEbay}) web[host] = {10800, 0.02};
  ServeDates();
  EXPECT_TRUE(Periodic());
  EXPECT_EQ(1u, sys.clock.sets.size());
  EXPECT_EQ(0, Count(kUnconfirmed));
  EXPECT_EQ(kNaval, run.result.sourceName);
}

// A time page an hour ahead: the next host's page is fetched once for its
// word; agreeing, it confirms; an unreachable third host then is not asked.
TEST_F(AgreementTest, AnotherTimePageConfirmsWithOneRequest) {
  sys.http.handler = [](const std::string& url) -> std::string {
    if (url.find("timer.pl") != std::string::npos) return std::string(120, '.') + "13:00:00 UTC";
    if (url.find("timezone.cgi") != std::string::npos)
      return std::string(1100, '.') + "<td bgcolor=\"white\"><b>13:00:00</b>";
    Raise(errInetFailure);
  };
  EXPECT_TRUE(Periodic());
  EXPECT_EQ(2u, sys.http.requests.size());
  ASSERT_EQ(1u, sys.clock.sets.size());
  EXPECT_EQ(MakeDateTime(2026, 12, 8, 13, 0, 1), sys.clock.sets[0]);
}

// ---------------------------------------------------------------------------
// Several NTP servers

TEST(NtpChoiceTest, TheLargestAgreeingGroupWithAMajorityWins) {
  // Two of three agree within 100 ms: the faster of the two.
  NtpChoice c = ChooseNtpAnswer({{0.50, 0.030}, {4.00, 0.005}, {0.58, 0.010}}, 0.1);
  EXPECT_EQ(2, c.index);
  EXPECT_EQ(2, c.agreeing);
  // One of one.
  c = ChooseNtpAnswer({{7.0, 0.2}}, 0.1);
  EXPECT_EQ(0, c.index);
  EXPECT_EQ(1, c.agreeing);
  // Two against two of four: no majority, no answer.
  c = ChooseNtpAnswer({{0.0, 0.01}, {1.0, 0.01}, {0.05, 0.02}, {1.05, 0.001}}, 0.1);
  EXPECT_EQ(-1, c.index);
  // Three of four.
  c = ChooseNtpAnswer({{0.0, 0.01}, {1.0, 0.001}, {0.05, 0.02}, {0.09, 0.005}}, 0.1);
  EXPECT_EQ(3, c.index);
  EXPECT_EQ(3, c.agreeing);
  // Two that disagree: the better delay.
  c = ChooseNtpAnswer({{0.0, 0.03}, {1.0, 0.02}}, 0.1);
  EXPECT_EQ(1, c.index);
  EXPECT_EQ(1, c.agreeing);
}

TEST_F(AgreementTest, APoolNameIsEveryAddressItResolvesTo) {
  sys.udp.hosts["POOL.EXAMPLE"] = {Server(1), Server(2), Server(3), Server(4), Server(5)};
  Ntp(1, 0.50, 0.015);
  Ntp(2, 0.53, 0.005);
  Ntp(3, 4.00, 0.001);
  ServeNtp();  // 192.0.2.4 stays silent; the fifth address is not asked
  ChooseNtp("pool.example");

  EXPECT_TRUE(Periodic());

  EXPECT_EQ(4, SentTo(1));
  EXPECT_EQ(4, SentTo(4));
  EXPECT_EQ(0, SentTo(5));
  ASSERT_EQ(1u, sys.clock.sets.size());
  EXPECT_NEAR(0.53, run.result.offset, 0.001);
  EXPECT_EQ("offset +0.530 s, delay 10 ms; 3 of 4 answered, 2 agree", form.Label15.Caption());
  EXPECT_EQ("2 of 3 agree", run.result.agreement);
  EXPECT_EQ("pool.example", run.result.sourceName);
}

TEST_F(AgreementTest, ListedServersSplitTwoAgainstTwoSetNothing) {
  for (int n : {1, 2}) Ntp(n, 0.0);
  for (int n : {3, 4}) Ntp(n, 1.0);
  ServeNtp();
  ChooseNtp("192.0.2.1, 192.0.2.2,192.0.2.3 ,192.0.2.4");
  EXPECT_FALSE(Periodic());
  EXPECT_TRUE(sys.clock.sets.empty());
  EXPECT_EQ("4 of 4 answered, no majority agrees", form.Label15.Caption());
}

// One server three hours off: nobody to confirm it, so a periodic run
// waits, and the user says yes once.
TEST_F(AgreementTest, OneNtpServerHoursOffNeedsTheUsersYes) {
  Ntp(1, 10800);
  ServeNtp();
  ChooseNtp("192.0.2.1");
  EXPECT_FALSE(Periodic());
  EXPECT_EQ(1, Count(kUnconfirmed));
  sys.clock.Advance(15);
  form.cmdTimeSync.UserClick();
  ASSERT_EQ(2u, sys.windows.boxes.size());
  EXPECT_NE(std::string::npos, sys.windows.boxes[0].text.find("No second source answered.")) << sys.windows.boxes[0].text;
  EXPECT_EQ(1u, sys.clock.sets.size());
}

// The user's own settings move the clock whatever the source says: five
// minutes' correction and standard time all year, in summer. Set the first
// time, they move it an hour and five minutes while the server agrees with
// the computer's UTC clock; kept, they hold the clock that far off UTC and
// the server moves it by nothing. Neither is a source to doubt.
TEST_F(AgreementTest, TheUsersOwnCorrectionsNeedNoSecondSource) {
  ServeNtp();
  ChooseNtp("192.0.2.1");
  TimeCorrection = 5;
  form.chkDT.SetValue(0);
  sys.timeZone.zone.DaylightBias = -60;
  sys.timeZone.result = TIME_ZONE_ID_DAYLIGHT;
  sys.clock.utcBiasMinutes = -60;
  Ntp(1, 0.2);
  EXPECT_TRUE(Periodic());
  EXPECT_NEAR(0.2 - 65 * 60, run.result.offset, 0.001);
  sys.clock.Advance(15);
  Ntp(1, 65 * 60 + 0.2);
  EXPECT_TRUE(Periodic());
  EXPECT_NEAR(0.2, run.result.offset, 0.001);
  EXPECT_EQ(0, Count(kUnconfirmed));
}

// ---------------------------------------------------------------------------
// A good client

TEST_F(AgreementTest, AServerIsAskedAgainOnlyAfterFifteenSeconds) {
  Ntp(1, 0.2);
  ServeNtp();
  ChooseNtp("192.0.2.1");
  EXPECT_TRUE(Periodic());
  EXPECT_EQ(4, SentTo(1));

  sys.clock.Advance(10);
  EXPECT_FALSE(Periodic());
  EXPECT_EQ(4, SentTo(1));
  EXPECT_EQ("192.0.2.1 not asked: asked less than 15 s ago", form.Label15.Caption());
  EXPECT_EQ(SyncResult::NoAnswer, run.result.outcome);

  sys.clock.Advance(5);
  EXPECT_TRUE(Periodic());
  EXPECT_EQ(8, SentTo(1));
}

TEST_F(AgreementTest, RateDoublesTheIntervalAndDenyEndsTheAsking) {
  Ntp(1, 0.2, 0.01, "RATE");
  Ntp(2, 0.2, 0.01, "DENY");
  Ntp(3, 0.2);
  ServeNtp();
  ChooseNtp("192.0.2.1,192.0.2.2,192.0.2.3");
  EXPECT_TRUE(Periodic());
  EXPECT_EQ(1, SentTo(1));  // a kiss ends the run's requests to it
  EXPECT_EQ(1, SentTo(2));
  EXPECT_EQ(
      "offset +0.200 s, delay 20 ms; 1 of 3 answered, 1 agree; 192.0.2.1 said RATE: next ask in 30 s; "
      "192.0.2.2 said DENY: not asked again",
      form.Label15.Caption());

  sys.clock.Advance(20);
  Periodic();
  EXPECT_EQ(1, SentTo(1));
  EXPECT_EQ(4 + 4, SentTo(3));
  sys.clock.Advance(30);
  ntp[1].kiss.clear();
  Periodic();
  EXPECT_EQ(1 + 4, SentTo(1));
  EXPECT_EQ(1, SentTo(2));
  EXPECT_NE(std::string::npos, form.Label15.Caption().find("192.0.2.2 not asked: refused service (DENY)"));
}

}  // namespace
}  // namespace tavrel
