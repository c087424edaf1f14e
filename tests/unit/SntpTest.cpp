// The SNTP client against servers played on the in-memory network: what it
// sends, which answers it takes, what it computes from them and what it
// reports when an answer is missing or breaks a rule.
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "TestPlatform.h"
#include "timesync/Sntp.h"

namespace tavrel {
namespace {

const NetAddress kServer = NetAddress::V4(192, 0, 2, 1);
const double kMs = 0.001;

long ErrorOf(const std::function<void()>& statement, std::string* description = nullptr) {
  try {
    statement();
  } catch (const RuntimeError& e) {
    if (description) *description = e.Description();
    return e.Number();
  }
  return 0;
}

// ---------------------------------------------------------------------------

TEST(NtpTimestamp, CountsSecondsSince1900AndWrapsIn2036) {
  EXPECT_EQ(0xEEC26FC0ull << 32, ToNtpTimestamp(MakeDateTime(2026, 12, 8, 12, 0, 0)));
  EXPECT_EQ(0xEEC26FC0ull << 32 | 0x80000000u, ToNtpTimestamp(MakeDateTime(2026, 12, 8, 12, 0, 0).AddSeconds(0.5)));
  const DateTime eraEnd = MakeDateTime(2036, 2, 7, 6, 28, 16);
  EXPECT_EQ(0xFFFFFFFFull << 32, ToNtpTimestamp(eraEnd.AddSeconds(-1)));
  EXPECT_EQ(1ull << 32, ToNtpTimestamp(eraEnd.AddSeconds(1)));
}

TEST(NtpTimestamp, DifferencesAcrossTheEraBoundaryAreShortAndSigned) {
  const DateTime eraEnd = MakeDateTime(2036, 2, 7, 6, 28, 16);
  const NtpTimestamp before = ToNtpTimestamp(eraEnd.AddSeconds(-2.25));
  const NtpTimestamp after = ToNtpTimestamp(eraEnd.AddSeconds(3 * 3600 + 0.5));
  EXPECT_NEAR(3 * 3600 + 2.75, NtpSeconds(before, after), 1e-6);
  EXPECT_NEAR(-(3 * 3600 + 2.75), NtpSeconds(after, before), 1e-6);
  // A server timestamp of the new era read by a clock still in the old one.
  const DateTime server = FromNtpTimestamp(after, eraEnd.AddSeconds(-10));
  EXPECT_EQ(2036, server.Year());
  EXPECT_EQ("09:28:16", TimeOfDayText(server));
}

TEST(NtpTimestamp, TimeOfDayCutsTheSeconds) {
  const DateTime noon = MakeDateTime(2026, 12, 8, 12, 0, 0);
  EXPECT_EQ("12:00:00", TimeOfDayText(noon));
  EXPECT_EQ("11:59:59", TimeOfDayText(noon.AddSeconds(-0.001)));
  EXPECT_EQ("00:00:00", TimeOfDayText(noon.AddSeconds(12 * 3600)));
}

// ---------------------------------------------------------------------------

TEST(NtpServerText, ReadsHostsLiteralsAndPorts) {
  struct Case {
    const char* text;
    const char* host;
    uint16_t port;
  } cases[] = {
      {"", "pool.ntp.org", 123},
      {"  ", "pool.ntp.org", 123},
      {"ntp.example.lan", "ntp.example.lan", 123},
      {"ntp.example.lan:1234", "ntp.example.lan", 1234},
      {"192.168.1.10", "192.168.1.10", 123},
      {" 192.168.1.10:65535 ", "192.168.1.10", 65535},
      {"[::1]:12345", "::1", 12345},
      {"[fe80::1]", "fe80::1", 123},
      {"2001:db8::123", "2001:db8::123", 123},  // no brackets: the last group is no port
      {"::ffff:192.0.2.1", "::ffff:192.0.2.1", 123},
  };
  for (const Case& c : cases) {
    const NtpServerAddress a = ParseNtpServer(c.text);
    EXPECT_EQ(c.host, a.host) << c.text;
    EXPECT_EQ(c.port, a.port) << c.text;
  }
}

TEST(NtpServerText, RefusesMalformedText) {
  for (const char* text : {":123", "host:", "host:0", "host:65536", "host:12a", "host:-1", "ho st", "host/x",
                           "[::1", "[::1]x", "[::1]:", "[host]:123", "[1.2.3.4]", "1:2:3", "2001:db8::1::2",
                           "a..b", ".host", "http://host", "host:123:456x"}) {
    std::string description;
    EXPECT_EQ(errInvalidPropertyValue, ErrorOf([&] { ParseNtpServer(text); }, &description)) << text;
    EXPECT_NE(std::string::npos, description.find(text)) << description;
  }
}

// ---------------------------------------------------------------------------
// A server on the memory network. Each answer is built field by field from
// a plan; a test changes the field whose rule it checks.

struct Plan {
  unsigned leap = 0, version = 4, mode = 4, stratum = 2;
  std::string refId = "GPS";
  double offset = 0.25;                 // the server's clock minus ours, seconds
  double out = 10 * kMs, back = 10 * kMs;  // time on the way there and back
  std::size_t length = 48;
  bool echoNonce = true;
  bool zeroTransmit = false;
  NetAddress from = kServer;
  uint16_t fromPort = 123;
};

class SntpTest : public ProgramTest {
 protected:
  SntpTest() {
    sys.clock.now = MakeDateTime(2026, 12, 8, 12, 0, 0);
    sys.udp.server = [this](const MemoryUdp::Sent& request) { return Serve(request); };
  }

  std::vector<Datagram> Serve(const MemoryUdp::Sent& request) {
    const std::size_t index = sys.udp.sent.size() - 1;
    if (index >= plans.size()) return {};
    std::vector<Datagram> replies;
    for (const Plan& p : plans[index]) replies.push_back(Answer(request, p));
    return replies;
  }

  Datagram Answer(const MemoryUdp::Sent& request, const Plan& p) {
    sys.clock.Advance(p.out);
    const NtpTimestamp serverNow = ToNtpTimestamp(sys.clock.NowUtc().AddSeconds(p.offset));
    sys.clock.Advance(p.back);
    std::string b(std::max<std::size_t>(p.length, 48), '\0');
    b[0] = static_cast<char>(p.leap << 6 | p.version << 3 | p.mode);
    b[1] = static_cast<char>(p.stratum);
    std::memcpy(&b[12], p.refId.c_str(), std::min<std::size_t>(4, p.refId.size() + 1));
    std::memcpy(&b[24], &request.bytes[40], 8);
    if (!p.echoNonce) b[31] ^= 1;
    for (int i = 0; i < 8; ++i) {
      b[32 + i] = static_cast<char>(serverNow >> (56 - 8 * i));
      b[40 + i] = p.zeroTransmit ? '\0' : b[32 + i];
    }
    b.resize(p.length);
    return {b, p.from, p.fromPort};
  }

  // The same answer to every request.
  void AnswerAlways(const Plan& p) { plans.assign(SntpClient::kRequests, {p}); }

  SntpResult Run(const std::string& server = "192.0.2.1") {
    failures.clear();
    return QueryNtpServer(server, &failures);
  }

  std::vector<std::vector<Plan>> plans;  // the answers to request 1, 2 ...
  std::vector<RuntimeError> failures;
};

TEST_F(SntpTest, AGoodServerGivesItsOffsetDelayAndTime) {
  AnswerAlways(Plan());
  const SntpResult r = Run();

  EXPECT_NEAR(0.250, r.offset, 1e-6);
  EXPECT_NEAR(0.020, r.delay, 1e-6);
  EXPECT_EQ("12:00:00", r.serverTime);
  EXPECT_EQ(kServer, r.address);
  EXPECT_EQ(123, r.port);
  EXPECT_TRUE(failures.empty());
  ASSERT_EQ(4u, sys.udp.sent.size());
  for (const auto& sent : sys.udp.sent) {
    EXPECT_EQ(123, sent.port);
    ASSERT_EQ(48u, sent.bytes.size());
    EXPECT_EQ(0x23, sent.bytes[0]);  // version 4, client
  }
  EXPECT_EQ(0, sys.udp.openSockets);
}

TEST_F(SntpTest, TheTransmitTimestampIsARandomNonZeroNonce) {
  sys.random.script = {0, 0x0123456789ABCDEFull};
  AnswerAlways(Plan());
  Run();
  EXPECT_EQ(std::string("\x01\x23\x45\x67\x89\xAB\xCD\xEF", 8), sys.udp.sent[0].bytes.substr(40));
  // Not our clock's time: nothing in a request tells it.
  EXPECT_NE(sys.udp.sent[1].bytes.substr(40), sys.udp.sent[2].bytes.substr(40));
}

TEST_F(SntpTest, NegativeAndLargeOffsetsKeepTheirSign) {
  for (double offset : {-1.5, -5 * 3600.0 - 0.125, 7 * 3600.0}) {
    sys.udp.sent.clear();
    Plan p;
    p.offset = offset;
    AnswerAlways(p);
    EXPECT_NEAR(offset, Run().offset, 1e-5) << offset;
  }
}

TEST_F(SntpTest, TheAnswerWithTheSmallestDelayWins) {
  const double delays[] = {0.080, 0.030, 0.012, 0.050};
  for (double d : delays) {
    Plan p;
    p.out = p.back = d / 2;
    p.offset = d;  // each answer tells a different offset
    plans.push_back({p});
  }
  const SntpResult r = Run();
  EXPECT_NEAR(0.012, r.delay, 1e-6);
  EXPECT_NEAR(0.012, r.offset, 1e-6);
}

TEST_F(SntpTest, EveryRequestWaitsTwoSecondsForASilentServer) {
  std::string description;
  EXPECT_EQ(errInetTimeout, ErrorOf([&] { Run(); }, &description));
  EXPECT_NE(std::string::npos, description.find("No valid NTP reply from 192.0.2.1:123")) << description;
  ASSERT_EQ(4u, failures.size());
  EXPECT_EQ("NTP server did not answer within 2 s", failures[0].Description());
  EXPECT_EQ(MakeDateTime(2026, 12, 8, 12, 0, 8), sys.clock.now);
}

// The reply wait counts on the tick: a clock stepped back while a request
// waits (another program setting it) neither lengthens nor ends the wait.
TEST_F(SntpTest, AClockSteppedDuringTheWaitLeavesTheWaitAtTwoSeconds) {
  // Forward: an answer 1.5 s into the wait still counts.
  Plan late;
  late.out = 1.5;
  late.back = 0;
  AnswerAlways(late);
  sys.udp.server = [this](const MemoryUdp::Sent& request) {
    sys.clock.SetLocalTime(sys.clock.now.AddSeconds(3600));
    return Serve(request);
  };
  uint32_t start = sys.clock.tick;
  Run();
  EXPECT_TRUE(failures.empty());
  EXPECT_EQ(6000u, sys.clock.tick - start);

  // Back: a silent server still costs two seconds a request, not an hour.
  plans.clear();
  sys.udp.sent.clear();
  sys.udp.server = [this](const MemoryUdp::Sent&) {
    sys.clock.SetLocalTime(sys.clock.now.AddSeconds(-3600));
    return std::vector<Datagram>();
  };
  start = sys.clock.tick;
  EXPECT_EQ(errInetTimeout, ErrorOf([&] { Run(); }));
  EXPECT_EQ(4u, failures.size());
  EXPECT_EQ(8000u, sys.clock.tick - start);
}

TEST_F(SntpTest, AForgedDatagramIsIgnoredAndTheRealAnswerStillCounts) {
  Plan forged;
  forged.echoNonce = false;
  forged.offset = 3600;
  forged.out = forged.back = 0;
  Plan other = forged;
  other.echoNonce = true;
  other.fromPort = 124;
  for (int i = 0; i < 4; ++i) plans.push_back({forged, other, Plan()});
  EXPECT_NEAR(0.250, Run().offset, 1e-6);
  EXPECT_TRUE(failures.empty());
}

// Each rule alone: every answer breaks it, so a regression names its rule.
struct Rule {
  const char* name;
  std::function<void(Plan&)> breakIt;
  long number;
  const char* description;
  bool waitsForTimeout;  // not an answer to the request at all
};

class SntpRuleTest : public SntpTest, public ::testing::WithParamInterface<Rule> {};

TEST_P(SntpRuleTest, AnAnswerBreakingTheRuleNeverCounts) {
  const Rule& rule = GetParam();
  Plan p;
  rule.breakIt(p);
  AnswerAlways(p);

  EXPECT_EQ(rule.number, ErrorOf([&] { Run(); }));
  ASSERT_EQ(4u, failures.size());
  for (const RuntimeError& e : failures) {
    EXPECT_EQ(rule.number, e.Number());
    EXPECT_EQ(rule.description, e.Description());
  }
  EXPECT_EQ(4u, sys.udp.sent.size());
  const double waited = (sys.clock.now.Serial() - MakeDateTime(2026, 12, 8, 12, 0, 0).Serial()) * 86400;
  EXPECT_NEAR(rule.waitsForTimeout ? 8.0 : 4 * 0.020, waited, 1e-3);
  EXPECT_TRUE(sys.clock.sets.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SntpRuleTest,
    ::testing::Values(
        Rule{"OtherAddress", [](Plan& p) { p.from = NetAddress::V4(192, 0, 2, 99); }, errNtpBadReply,
             "NTP reply from another address", true},
        Rule{"OtherPort", [](Plan& p) { p.fromPort = 1123; }, errNtpBadReply, "NTP reply from another port", true},
        Rule{"WrongOrigin", [](Plan& p) { p.echoNonce = false; }, errNtpBadReply,
             "NTP reply with wrong origin timestamp", true},
        Rule{"Truncated", [](Plan& p) { p.length = 47; }, errNtpBadReply, "NTP reply shorter than 48 bytes", true},
        Rule{"ModeNotServer", [](Plan& p) { p.mode = 3; }, errNtpBadReply, "NTP reply not in server mode (mode 3)",
             false},
        Rule{"Version2", [](Plan& p) { p.version = 2; }, errNtpBadReply, "NTP reply of version 2", false},
        Rule{"Version5", [](Plan& p) { p.version = 5; }, errNtpBadReply, "NTP reply of version 5", false},
        Rule{"Stratum0", [](Plan& p) { p.stratum = 0; p.refId = "STEP"; }, errNtpBadReply,
             "NTP reply with stratum 0", false},
        Rule{"Stratum16", [](Plan& p) { p.stratum = 16; }, errNtpBadReply,
             "NTP reply with stratum 16 (unsynchronised)", false},
        Rule{"Leap3", [](Plan& p) { p.leap = 3; }, errNtpBadReply,
             "NTP server not synchronised (leap indicator 3)", false},
        Rule{"ZeroTransmit", [](Plan& p) { p.zeroTransmit = true; }, errNtpBadReply,
             "NTP reply with zero transmit timestamp", false}),
    [](const ::testing::TestParamInfo<Rule>& info) { return info.param.name; });

TEST_F(SntpTest, AKissOfDeathEndsTheRunAtOnce) {
  for (const char* code : {"RATE", "DENY", "RSTR"}) {
    sys.udp.sent.clear();
    Plan p;
    p.stratum = 0;
    p.refId = code;
    AnswerAlways(p);
    std::string description;
    EXPECT_EQ(errNtpKissOfDeath, ErrorOf([&] { Run(); }, &description)) << code;
    EXPECT_EQ(1u, sys.udp.sent.size()) << code;
    ASSERT_EQ(1u, failures.size());
    EXPECT_EQ(std::string("NTP kiss-o'-death ") + code, failures[0].Description());
  }
}

TEST_F(SntpTest, AnswersBeforeAKissOfDeathStillCount) {
  Plan kiss;
  kiss.stratum = 0;
  kiss.refId = "RATE";
  plans = {{Plan()}, {kiss}, {Plan()}, {Plan()}};
  EXPECT_NEAR(0.250, Run().offset, 1e-6);
  EXPECT_EQ(2u, sys.udp.sent.size());
  ASSERT_EQ(1u, failures.size());
  EXPECT_EQ(errNtpKissOfDeath, failures[0].Number());
}

// Random bytes, half of them carrying the right origin: whatever passes as
// an answer has every field the rules ask for, and nothing reads past the
// datagram (the sanitizer builds of the fuzz targets would tell).
TEST(NtpReply, GarbageCountsOnlyWhenItKeepsEveryRule) {
  MemoryRandom random;
  const NtpTimestamp nonce = 0x1122334455667788ull;
  std::string origin(8, '\0');
  for (int i = 0; i < 8; ++i) origin[i] = static_cast<char>(nonce >> (56 - 8 * i));
  int answers = 0;
  for (int i = 0; i < 20000; ++i) {
    std::string b(random.Next64() % 80, '\0');
    for (char& c : b) c = static_cast<char>(random.Next64());
    if (b.size() >= 48 && i % 2) b.replace(24, 8, origin);
    if (b.size() >= 2 && i % 4 == 1) b[0] = static_cast<char>((b[0] & 0xC0) | 0x24);  // version 4, server
    const NtpReplyCheck check = CheckNtpReply({b, kServer, 123}, kServer, 123, nonce);
    if (check.kind != NtpReplyCheck::Answer) {
      EXPECT_FALSE(check.reason.empty());
      continue;
    }
    ++answers;
    const unsigned first = static_cast<unsigned char>(b[0]), stratum = static_cast<unsigned char>(b[1]);
    EXPECT_EQ(origin, b.substr(24, 8));
    EXPECT_EQ(4u, first & 7);
    EXPECT_TRUE((first >> 3 & 7) == 3 || (first >> 3 & 7) == 4);
    EXPECT_NE(3u, first >> 6);
    EXPECT_TRUE(stratum >= 1 && stratum <= 15);
    EXPECT_NE(0u, check.t3);
  }
  EXPECT_GT(answers, 0);  // the loop did reach the answers' side
}

TEST_F(SntpTest, OpeningResolvesTheNameAndFallsBackToIpv4) {
  AnswerAlways(Plan());
  EXPECT_EQ(errHostNotFound, ErrorOf([&] { Run("ntp.nowhere.lan"); }));
  EXPECT_EQ(errInvalidPropertyValue, ErrorOf([&] { Run("ntp:server"); }));
  EXPECT_TRUE(sys.udp.sent.empty());

  sys.udp.hosts["POOL.NTP.ORG"] = {*ParseIpLiteral("2001:db8::1"), kServer};
  sys.udp.ipv6Sockets = false;
  const SntpResult r = Run("");
  EXPECT_EQ(kServer, r.address);
  EXPECT_EQ(kServer, sys.udp.sent.at(0).to);
}

TEST(NetAddressText, ReadsAndWritesLiterals) {
  for (const char* text : {"127.0.0.1", "::1", "::", "2001:db8::1", "fe80::1:0:0:1", "2001:db8:0:1:1:1:1:1"})
    EXPECT_EQ(text, ParseIpLiteral(text)->Text()) << text;
  EXPECT_EQ("2001:db8::1", ParseIpLiteral("2001:0DB8:0:0:0:0:0:1")->Text());
  EXPECT_EQ("::ffff:c000:201", ParseIpLiteral("::ffff:192.0.2.1")->Text());
  for (const char* text : {"", "1.2.3", "1.2.3.256", "1.2.3.4.5", "localhost", "1::2::3", "12345::", ":::",
                           "1:2:3:4:5:6:7:8:9", "1:2:3:4:5:6:7::8"})
    EXPECT_FALSE(ParseIpLiteral(text)) << text;
}

}  // namespace
}  // namespace tavrel
