// The computer's NTP server on the memory network: every field of its
// replies, the unsynchronised state, the rate limit, what it drops, its
// sockets, and the bytes it shares with the client.
#include <cmath>
#include <string>

#include "TestPlatform.h"
#include "support/Md5.h"
#include "timesync/NtpPacket.h"
#include "timesync/NtpServer.h"

namespace tavrel {
namespace {

const NetAddress kClient = NetAddress::V4(192, 0, 2, 7);
const uint16_t kPort = 1123;
const uint64_t kNonce = 0x0123456789ABCDEFull;

uint64_t Get(const std::string& b, std::size_t at, int bytes = 8) {
  uint64_t v = 0;
  for (int i = 0; i < bytes; ++i) v = v << 8 | static_cast<unsigned char>(b[at + i]);
  return v;
}

// A client's request: leap 3, the version and mode, poll 6, the nonce as
// its transmit time; `size` bytes.
std::string Request(unsigned version, unsigned mode, std::size_t size = 48) {
  std::string b(std::max<std::size_t>(size, 48), '\0');
  b[0] = static_cast<char>(3 << 6 | version << 3 | mode);
  b[2] = 6;
  for (int i = 0; i < 8; ++i) b[40 + i] = static_cast<char>(kNonce >> (56 - 8 * i));
  return b.substr(0, size);
}

bool IsRateKiss(const std::string& b) { return b[1] == 0 && b.substr(12, 4) == "RATE" && Get(b, 0, 1) >> 6 == 3; }

class NtpServerTest : public ProgramTest {
 protected:
  NtpServerTest() : server(sys.udp, sys.clock) { server.Serve(kPort); }

  // What the server sent back, or nothing.
  std::optional<std::string> Ask(const std::string& bytes, NetAddress from = kClient,
                                 std::optional<uint32_t> readyTick = std::nullopt) {
    const std::size_t before = sys.udp.sent.size();
    sys.udp.Deliver(kPort, {bytes, from, 40000}, readyTick);
    if (sys.udp.sent.size() == before) return std::nullopt;
    EXPECT_EQ(from, sys.udp.sent.back().to);
    EXPECT_EQ(40000, sys.udp.sent.back().port);
    return sys.udp.sent.back().bytes;
  }
  void Synchronised(unsigned stratum = 3) {
    SourceQuality q;
    q.stratum = stratum;
    q.referenceId = NtpReferenceId(NetAddress::V4(192, 0, 2, 1));
    q.rootDelay = 0.030;
    q.rootDispersion = 0.010;
    server.NoteSynchronised(q);
  }

  NtpServer server;
};

TEST_F(NtpServerTest, AReplyCarriesEveryFieldAsTheLastRunLeftIt) {
  Synchronised();
  const NtpTimestamp setAt = ToNtpTimestamp(sys.clock.NowUtc());
  sys.clock.Advance(100);
  const auto b = Ask(Request(4, 3));
  ASSERT_TRUE(b);
  ASSERT_EQ(48u, b->size());
  EXPECT_EQ(0x24u, Get(*b, 0, 1));  // no leap warning, version 4, server
  EXPECT_EQ(3u, Get(*b, 1, 1));
  EXPECT_EQ(6u, Get(*b, 2, 1));             // the request's poll
  EXPECT_EQ(-20, static_cast<signed char>((*b)[3]));  // the memory clock stands still
  EXPECT_EQ(ToNtpShort(0.030), Get(*b, 4, 4));
  // 15 ppm of the 100 s since, and the precision, on the source's 10 ms.
  EXPECT_EQ(ToNtpShort(0.010 + std::ldexp(1.0, -20) + 100 * 15e-6), Get(*b, 8, 4));
  EXPECT_EQ(0xC0000201u, Get(*b, 12, 4));
  EXPECT_EQ(setAt, Get(*b, 16));
  EXPECT_EQ(kNonce, Get(*b, 24));
  EXPECT_EQ(ToNtpTimestamp(sys.clock.NowUtc()), Get(*b, 32));
  EXPECT_EQ(ToNtpTimestamp(sys.clock.NowUtc()), Get(*b, 40));

  // Every version is echoed; symmetric active gets symmetric passive.
  for (unsigned version = 1; version <= 4; ++version)
    for (unsigned mode : {1u, 3u}) {
      const auto reply = Ask(Request(version, mode), NetAddress::V4(10, 0, version, mode));
      ASSERT_TRUE(reply);
      EXPECT_EQ(version << 3 | (mode == 1 ? 2 : 4), Get(*reply, 0, 1));
    }
}

TEST_F(NtpServerTest, UnsynchronisedBeforeTheFirstRunAfterItsAgeAndFromStratumFifteen) {
  auto unsynchronised = [](const std::string& b) { return Get(b, 0, 1) >> 6 == 3 && b[1] == 16; };
  auto b = Ask(Request(4, 3));
  ASSERT_TRUE(b);
  EXPECT_TRUE(unsynchronised(*b));
  EXPECT_EQ(0u, Get(*b, 12, 4));
  EXPECT_EQ(kNonce, Get(*b, 24));  // still an answer a client can match

  for (double maxAge : {24 * 3600.0, 4 * 5400.0})
    for (double age : {maxAge - 1, maxAge + 1}) {
      server.SetMaxAge(maxAge);
      Synchronised();
      sys.clock.Advance(age);
      EXPECT_EQ(age < maxAge, server.Describe().synchronised) << maxAge << " " << age;
    }
  // Set back a day by someone else: the tick still knows the age. A tick
  // that wrapped reads young: the wall clock does not.
  server.SetMaxAge(24 * 3600.0);
  Synchronised();
  sys.clock.Advance(25 * 3600.0);
  sys.clock.now = sys.clock.now.AddSeconds(-24 * 3600.0);
  EXPECT_FALSE(server.Describe().synchronised);
  Synchronised();
  sys.clock.now = sys.clock.now.AddSeconds(50 * 86400.0);
  EXPECT_FALSE(server.Describe().synchronised);

  Synchronised(16);
  b = Ask(Request(4, 3));
  ASSERT_TRUE(b);
  EXPECT_TRUE(unsynchronised(*b));
}

TEST_F(NtpServerTest, TwentyRequestsInASecondGetTwoAnswersAndKissesButTwoSecondsApartAreFine) {
  Synchronised();
  int answers = 0, kisses = 0;
  for (int i = 0; i < 20; ++i, sys.clock.Advance(0.050)) {
    const auto reply = Ask(Request(4, 3));
    ASSERT_TRUE(reply);
    EXPECT_EQ(kNonce, Get(*reply, 24));
    IsRateKiss(*reply) ? ++kisses : ++answers;
  }
  EXPECT_EQ(2, answers);
  EXPECT_EQ(18, kisses);
  EXPECT_FALSE(IsRateKiss(*Ask(Request(4, 3), NetAddress::V4(192, 0, 2, 8))));  // another client
  for (int i = 0; i < 50; ++i) {
    sys.clock.Advance(i % 2 ? 2.02 : 1.98);
    EXPECT_FALSE(IsRateKiss(*Ask(Request(4, 3)))) << i;
  }

  RateLimiter limiter;
  for (uint32_t i = 0; i < RateLimiter::kMaxClients + 10; ++i)
    limiter.Allow(NetAddress::V4(10, 0, static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i)), 1000 + i);
  EXPECT_EQ(RateLimiter::kMaxClients, limiter.Clients());
  EXPECT_TRUE(limiter.Allow(kClient, 0xFFFFFFF0u));  // the quiet ones are forgotten
  EXPECT_EQ(1u, limiter.Clients());
  EXPECT_TRUE(limiter.Allow(kClient, 0xFFFFFFF8u));
  EXPECT_FALSE(limiter.Allow(kClient, 10));  // across the tick's wrap
}

TEST_F(NtpServerTest, MalformedShortOversizedAndControlPacketsGetNoReply) {
  Synchronised();
  for (const std::string& bytes : {Request(4, 3, 12), Request(4, 3, 47), Request(4, 3, 50), Request(4, 3, 76),
                                   Request(4, 3, 1000), Request(4, 0), Request(4, 2), Request(4, 4), Request(4, 5),
                                   Request(4, 6), Request(2, 7), Request(0, 3), Request(5, 3), Request(7, 3)})
    EXPECT_FALSE(Ask(bytes)) << bytes.size() << " bytes, first " << Get(bytes, 0, 1);
  EXPECT_EQ(14u, server.Counted().dropped);
  sys.udp.Deliver(kPort, {Request(4, 3), kClient, 0});  // port 0 is nobody's
  EXPECT_TRUE(sys.udp.sent.empty());
  // A MAC the server cannot check is ignored: 48 bytes back, never more.
  EXPECT_EQ(48u, Ask(Request(4, 3, 68))->size());
}

TEST_F(NtpServerTest, ALateRequestIsDroppedAndAPromptOnesTimeGoesBackToItsAnnouncement) {
  Synchronised();
  const uint32_t tick = sys.clock.TickCount();
  EXPECT_FALSE(Ask(Request(4, 3), kClient, tick - NtpServer::kLateMs - 1));
  EXPECT_EQ(1u, server.Counted().late);
  // The memory tick stands still, so its step counts as 16 ms: 50 ms of
  // waiting put the receive time back by 34; the transmit time stays.
  const NtpTimestamp now = ToNtpTimestamp(sys.clock.NowUtc());
  const auto b = Ask(Request(4, 3), kClient, tick - 50);
  ASSERT_TRUE(b);
  EXPECT_NEAR(-0.034, NtpSeconds(now, Get(*b, 32)), 1e-6);
  EXPECT_EQ(now, Get(*b, 40));
  EXPECT_EQ(now, Get(*Ask(Request(4, 3), kClient, tick - 16), 32));
}

TEST_F(NtpServerTest, SocketsOnBothFamiliesAPortInUseAndAFailureLoggedOnce) {
  EXPECT_TRUE(server.ServingIpv6());
  NetAddress client6;
  client6.family = NetAddress::IPv6;
  client6.bytes[15] = 7;
  EXPECT_TRUE(Ask(Request(4, 3), client6));

  sys.udp.ipv6Sockets = false;
  sys.udp.portsInUse = {123};
  NtpServer second(sys.udp, sys.clock);
  try {
    second.Serve(123);
    ADD_FAILURE() << "served a port in use";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(errPortInUse, e.Number());
    EXPECT_EQ("Port 123 is in use by another program", e.Description());
  }
  second.Retry();
  EXPECT_FALSE(second.Serving());
  sys.udp.portsInUse.clear();
  second.Retry();
  EXPECT_TRUE(second.Serving());
  EXPECT_FALSE(second.ServingIpv6());
  second.Serve(124);  // lets 123 go
  EXPECT_EQ(0u, sys.udp.listening.count({NetAddress::IPv4, 123}));

  sys.udp.listenersFail = true;
  for (int i = 0; i < 5; ++i) sys.udp.Deliver(kPort, {Request(4, 3), kClient, 40000});
  const std::string log = sys.files.FileContent(ErrorLogPath()).value_or("");
  const std::string line = "NtpServer of Modul VRN_TimeSync  10  ";
  EXPECT_NE(std::string::npos, log.find(line)) << log;
  EXPECT_EQ(log.find(line), log.rfind(line)) << log;
}

TEST(NtpBytesTest, DigestReferenceIdsAndShortFormat) {
  auto hex = [](const Md5Digest& d) {
    std::string text;
    for (uint8_t b : d) text += "0123456789abcdef"[b >> 4], text += "0123456789abcdef"[b & 15];
    return text;
  };
  // RFC 1321's suite, and the padding's edges around one block.
  EXPECT_EQ("d41d8cd98f00b204e9800998ecf8427e", hex(Md5("")));
  EXPECT_EQ("900150983cd24fb0d6963f7d28e17f72", hex(Md5("abc")));
  std::string digits;
  for (int i = 0; i < 8; ++i) digits += "1234567890";
  EXPECT_EQ("57edf4a22be3c955ac49da2e2107b67a", hex(Md5(digits)));
  EXPECT_EQ("b06521f39153d618550606be297466d5", hex(Md5(std::string(63, 'a'))));
  EXPECT_EQ("014842d480b571495a4a0363793f7367", hex(Md5(std::string(64, 'a'))));
  NetAddress loopback6;
  loopback6.family = NetAddress::IPv6;
  loopback6.bytes[15] = 1;
  EXPECT_EQ(0xcf404dc8u, NtpReferenceId(loopback6));  // MD5 of ::1 begins cf 40 4d c8
  EXPECT_EQ(0x47505300u, NtpCode("GPS"));
  EXPECT_EQ(0u, ToNtpShort(std::nan("")));
  EXPECT_EQ(0x00018000u, ToNtpShort(1.5));
  EXPECT_EQ(0xFFFFFFFFu, ToNtpShort(1e9));
}

// A clock that moves in steps of `step` seconds and a tick in whole ms,
// one microsecond passing per reading.
class SteppingClock : public MemoryClock {
 public:
  explicit SteppingClock(double step) : step_(step) {}
  DateTime NowUtc() override { return start_.AddSeconds(std::floor((elapsed_ += 1e-6) / step_) * step_); }
  uint32_t TickCount() override {
    return static_cast<uint32_t>(std::floor((elapsed_ += 1e-6) / step_) * step_ * 1000 + 0.5);
  }

 private:
  double step_, elapsed_ = 0;
  DateTime start_ = MakeDateTime(2026, 1, 1, 0, 0, 0);
};

TEST(ClockStepsTest, PrecisionIsTheStepRoundedUpAndTheTickStepItsSmallestMove) {
  for (const auto& [step, precision] : {std::pair{0.055, -4}, std::pair{0.015625, -6}, std::pair{0.001, -9}}) {
    SteppingClock clock(step);
    EXPECT_EQ(precision, MeasureClockPrecision(clock)) << step;
    EXPECT_EQ(static_cast<uint32_t>(step * 1000), MeasureTickStep(clock)) << step;
  }
  MemoryClock still;
  EXPECT_EQ(-20, MeasureClockPrecision(still));
  EXPECT_EQ(16u, MeasureTickStep(still));
}

}  // namespace
}  // namespace tavrel
