// The computer's NTP server on the memory network: every field of its
// replies, the unsynchronised state, the rate limit, the datagrams it
// drops, the late ones, its sockets and the bytes it shares with the
// client (the header, the short format, reference IDs and MD5).
#include <cmath>
#include <cstring>
#include <string>

#include "TestPlatform.h"
#include "support/Md5.h"
#include "timesync/NtpPacket.h"
#include "timesync/NtpServer.h"

namespace tavrel {
namespace {

const NetAddress kClient = NetAddress::V4(192, 0, 2, 7);
const uint16_t kClientPort = 40000;
const uint16_t kPort = 1123;
const uint64_t kNonce = 0x0123456789ABCDEFull;

uint64_t Get64(const std::string& b, std::size_t at) {
  uint64_t v = 0;
  for (std::size_t i = 0; i < 8; ++i) v = v << 8 | static_cast<unsigned char>(b[at + i]);
  return v;
}
uint32_t Get32(const std::string& b, std::size_t at) { return static_cast<uint32_t>(Get64(b, at) >> 32); }

// A request as a client sends it: the first byte, the poll and the
// transmit time set, `size` bytes in all.
std::string Request(unsigned version, unsigned mode, uint64_t transmit = kNonce, std::size_t size = 48) {
  std::string b(size, '\0');
  b[0] = static_cast<char>(3 << 6 | version << 3 | mode);  // leap 3: a client not synchronised yet
  b[1] = 0;
  b[2] = 6;  // poll 64 s
  b[3] = static_cast<char>(-6);
  if (size >= 48)
    for (int i = 0; i < 8; ++i) b[40 + i] = static_cast<char>(transmit >> (56 - 8 * i));
  return b;
}

class NtpServerTest : public ProgramTest {
 protected:
  NtpServerTest() : server(sys.udp, sys.clock) { server.Serve(kPort); }

  // What the server sent back to one request from `from`, or nothing.
  std::optional<std::string> Ask(const std::string& bytes, NetAddress from = kClient,
                                 std::optional<uint32_t> readyTick = std::nullopt) {
    const std::size_t before = sys.udp.sent.size();
    EXPECT_TRUE(sys.udp.Deliver(kPort, {bytes, from, kClientPort}, readyTick));
    if (sys.udp.sent.size() == before) return std::nullopt;
    EXPECT_EQ(before + 1, sys.udp.sent.size());
    const MemoryUdp::Sent& reply = sys.udp.sent.back();
    EXPECT_EQ(from, reply.to);
    EXPECT_EQ(kClientPort, reply.port);
    return reply.bytes;
  }

  SourceQuality Quality(unsigned stratum = 3) {
    SourceQuality q;
    q.stratum = stratum;
    q.referenceId = NtpReferenceId(NetAddress::V4(192, 0, 2, 1));
    q.rootDelay = 0.030;
    q.rootDispersion = 0.010;
    return q;
  }

  NtpServer server;
};

// ---------------------------------------------------------------------------
// The reply, field by field

TEST_F(NtpServerTest, ASynchronisedReplyCarriesEveryFieldAsTheSourceLeftIt) {
  server.NoteSynchronised(Quality());
  const NtpTimestamp setAt = ToNtpTimestamp(sys.clock.NowUtc());
  sys.clock.Advance(100);

  const auto reply = Ask(Request(4, 3));
  ASSERT_TRUE(reply);
  const std::string& b = *reply;
  ASSERT_EQ(48u, b.size());
  EXPECT_EQ(0 << 6 | 4 << 3 | 4, static_cast<unsigned char>(b[0]));  // no leap warning, version 4, server
  EXPECT_EQ(3, b[1]);                                                 // the source's stratum + 1, as noted
  EXPECT_EQ(6, b[2]);                                                 // the request's poll
  EXPECT_EQ(-20, static_cast<signed char>(b[3]));                     // the memory clock does not move
  EXPECT_EQ(ToNtpShort(0.030), Get32(b, 4));
  // The dispersion has grown by 15 ppm of the 100 s since, and the clock's
  // precision is in it.
  EXPECT_EQ(ToNtpShort(0.010 + std::ldexp(1.0, -20) + 100 * 15e-6), Get32(b, 8));
  EXPECT_EQ(0xC0000201u, Get32(b, 12));  // 192.0.2.1
  EXPECT_EQ(setAt, Get64(b, 16));
  EXPECT_EQ(kNonce, Get64(b, 24));
  const NtpTimestamp now = ToNtpTimestamp(sys.clock.NowUtc());
  EXPECT_EQ(now, Get64(b, 32));
  EXPECT_EQ(now, Get64(b, 40));
  EXPECT_EQ(1u, server.Counted().answered);
}

TEST_F(NtpServerTest, EveryVersionIsEchoedAndSymmetricActiveGetsSymmetricPassive) {
  server.NoteSynchronised(Quality());
  for (unsigned version = 1; version <= 4; ++version) {
    for (unsigned mode : {1u, 3u}) {
      // Another address each time: the rate limit is not what is tested.
      const auto reply = Ask(Request(version, mode), NetAddress::V4(10, 0, version, mode));
      ASSERT_TRUE(reply) << version << "/" << mode;
      EXPECT_EQ(version, (static_cast<unsigned char>((*reply)[0]) >> 3) & 7);
      EXPECT_EQ(mode == 1 ? 2u : 4u, static_cast<unsigned char>((*reply)[0]) & 7);
    }
  }
}

TEST_F(NtpServerTest, AWebSourceServesStratumTwoNamedHttp) {
  SourceQuality web;
  web.referenceId = NtpCode("HTTP");
  web.rootDispersion = 1;
  server.NoteSynchronised(web);
  const auto reply = Ask(Request(3, 1));
  ASSERT_TRUE(reply);
  EXPECT_EQ(2, (*reply)[1]);
  EXPECT_EQ("HTTP", reply->substr(12, 4));
  EXPECT_EQ(0u, Get32(*reply, 4));
}

TEST_F(NtpServerTest, AnIpv6SourceIsNamedByTheFirstBytesOfItsDigest) {
  NetAddress loopback6;
  loopback6.family = NetAddress::IPv6;
  loopback6.bytes[15] = 1;
  EXPECT_EQ(0xcf404dc8u, NtpReferenceId(loopback6));  // MD5 of ::1 begins cf 40 4d c8
  EXPECT_EQ(0x0A000001u, NtpReferenceId(NetAddress::V4(10, 0, 0, 1)));
  EXPECT_EQ(0x47505300u, NtpCode("GPS"));
}

// ---------------------------------------------------------------------------
// Not synchronised

TEST_F(NtpServerTest, BeforeTheFirstSynchronisationTheServerSaysItIsUnsynchronised) {
  const auto reply = Ask(Request(4, 3));
  ASSERT_TRUE(reply);
  EXPECT_EQ(3, static_cast<unsigned char>((*reply)[0]) >> 6);
  EXPECT_EQ(16, (*reply)[1]);
  EXPECT_EQ(0u, Get32(*reply, 12));
  EXPECT_EQ(0u, Get64(*reply, 16));
  // Still an answer to the request, with the time: a client can tell.
  EXPECT_EQ(kNonce, Get64(*reply, 24));
  EXPECT_NE(0u, Get64(*reply, 40));
}

TEST_F(NtpServerTest, ASynchronisationOlderThanItsAgeLimitCountsNoMore) {
  struct Case {
    double maxAge, age;
    bool synchronised;
  };
  for (const Case& c : {Case{24 * 3600.0, 24 * 3600.0 - 1, true}, Case{24 * 3600.0, 24 * 3600.0 + 1, false},
                        Case{4 * 5400.0, 4 * 5400.0 - 1, true}, Case{4 * 5400.0, 4 * 5400.0 + 1, false}}) {
    server.SetMaxAge(c.maxAge);
    server.NoteSynchronised(Quality());
    sys.clock.Advance(c.age);
    const ServedClock served = server.Describe();
    EXPECT_EQ(c.synchronised, served.synchronised) << c.maxAge << " " << c.age;
    EXPECT_EQ(c.synchronised ? 3u : 16u, served.stratum);
  }
}

TEST_F(NtpServerTest, AClockSetBackOrATickThatWrappedMakesItOlderNotYounger) {
  server.NoteSynchronised(Quality());
  // Someone sets the clock back a day: the tick still knows.
  sys.clock.Advance(25 * 3600.0);
  sys.clock.now = sys.clock.now.AddSeconds(-24 * 3600.0);
  EXPECT_FALSE(server.Describe().synchronised);

  // A tick that wrapped around 49.7 days later reads young; the wall clock
  // does not.
  server.NoteSynchronised(Quality());
  sys.clock.now = sys.clock.now.AddSeconds(50 * 86400.0);
  EXPECT_FALSE(server.Describe().synchronised);
}

TEST_F(NtpServerTest, ASourceAtStratumFifteenLeavesTheServerUnsynchronised) {
  server.NoteSynchronised(Quality(16));
  const auto reply = Ask(Request(4, 3));
  ASSERT_TRUE(reply);
  EXPECT_EQ(16, (*reply)[1]);
  EXPECT_EQ(3, static_cast<unsigned char>((*reply)[0]) >> 6);
}

// ---------------------------------------------------------------------------
// The rate limit

bool IsRateKiss(const std::string& b) {
  return b.size() == 48 && b[1] == 0 && b.substr(12, 4) == "RATE" && (static_cast<unsigned char>(b[0]) >> 6) == 3;
}

TEST_F(NtpServerTest, TwentyRequestsInOneSecondGetTwoAnswersAndEighteenKisses) {
  server.NoteSynchronised(Quality());
  int answers = 0, kisses = 0;
  for (int i = 0; i < 20; ++i) {
    const auto reply = Ask(Request(4, 3, kNonce + i));
    ASSERT_TRUE(reply);
    EXPECT_EQ(kNonce + i, Get64(*reply, 24));  // a kiss answers its request too
    IsRateKiss(*reply) ? ++kisses : ++answers;
    sys.clock.Advance(0.050);
  }
  EXPECT_EQ(2, answers);
  EXPECT_EQ(18, kisses);
  // Another client is not held back by this one.
  const auto other = Ask(Request(4, 3), NetAddress::V4(192, 0, 2, 8));
  ASSERT_TRUE(other);
  EXPECT_FALSE(IsRateKiss(*other));
  // Two seconds on, the first one is answered again.
  sys.clock.Advance(2.0);
  const auto later = Ask(Request(4, 3));
  ASSERT_TRUE(later);
  EXPECT_FALSE(IsRateKiss(*later));
}

TEST_F(NtpServerTest, AClientAskingEveryTwoSecondsIsNeverKissedEvenWithJitter) {
  server.NoteSynchronised(Quality());
  for (int i = 0; i < 100; ++i) {
    const auto reply = Ask(Request(4, 3));
    ASSERT_TRUE(reply);
    EXPECT_FALSE(IsRateKiss(*reply)) << i;
    sys.clock.Advance(i % 2 ? 2.02 : 1.98);
  }
}

TEST(RateLimiterTest, ForgetsTheLongestQuietClientWhenFull) {
  RateLimiter limiter;
  for (uint32_t i = 0; i < RateLimiter::kMaxClients + 10; ++i)
    EXPECT_TRUE(limiter.Allow(NetAddress::V4(10, 0, static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i)), 1000 + i));
  EXPECT_EQ(RateLimiter::kMaxClients, limiter.Clients());
  // Quiet clients have their burst back and are forgotten.
  EXPECT_TRUE(limiter.Allow(NetAddress::V4(10, 1, 0, 0), 100000));
  EXPECT_EQ(1u, limiter.Clients());
  // Across the tick's wrap.
  EXPECT_TRUE(limiter.Allow(NetAddress::V4(10, 1, 0, 0), 0xFFFFFFF0u));
  EXPECT_TRUE(limiter.Allow(NetAddress::V4(10, 1, 0, 0), 0xFFFFFFF8u));
  EXPECT_FALSE(limiter.Allow(NetAddress::V4(10, 1, 0, 0), 10));
  EXPECT_TRUE(limiter.Allow(NetAddress::V4(10, 1, 0, 0), 2010));
}

// ---------------------------------------------------------------------------
// What gets no reply

TEST_F(NtpServerTest, MalformedShortOversizedAndControlPacketsGetNoReply) {
  server.NoteSynchronised(Quality());
  struct Case {
    const char* what;
    std::string bytes;
  };
  const Case dropped[] = {
      {"12 bytes", Request(4, 3, kNonce, 12)},
      {"47 bytes", Request(4, 3, kNonce, 47)},
      {"50 bytes", Request(4, 3, kNonce, 50)},
      {"76 bytes", Request(4, 3, kNonce, 76)},
      {"1000 bytes", Request(4, 3, kNonce, 1000)},
      {"mode 0", Request(4, 0)},
      {"mode 2", Request(4, 2)},
      {"mode 4", Request(4, 4)},
      {"mode 5", Request(4, 5)},
      {"mode 6", Request(4, 6)},
      {"mode 7", Request(2, 7)},
      {"version 0", Request(0, 3)},
      {"version 5", Request(5, 3)},
      {"version 7", Request(7, 3)},
  };
  for (const Case& c : dropped) EXPECT_FALSE(Ask(c.bytes)) << c.what;
  EXPECT_EQ(std::size(dropped), server.Counted().dropped);
  // Nothing sent from port 0 either.
  sys.udp.Deliver(kPort, {Request(4, 3), kClient, 0});
  EXPECT_TRUE(sys.udp.sent.empty());
  // A request with a MAC is answered without one: never more bytes than came.
  const auto withMac = Ask(Request(4, 3, kNonce, 68));
  ASSERT_TRUE(withMac);
  EXPECT_EQ(48u, withMac->size());
}

TEST_F(NtpServerTest, RequestsThatWaitedBehindOtherWorkAreDroppedNotAnsweredLate) {
  server.NoteSynchronised(Quality());
  const uint32_t now = sys.clock.TickCount();
  EXPECT_FALSE(Ask(Request(4, 3), kClient, now - NtpServer::kLateMs - 1));
  EXPECT_EQ(1u, server.Counted().late);
  EXPECT_TRUE(Ask(Request(4, 3), kClient, now - NtpServer::kLateMs));
}

TEST_F(NtpServerTest, TheReceiveTimeIsPutBackToTheAnnouncementBeyondOneTickStep) {
  server.NoteSynchronised(Quality());
  const DateTime now = sys.clock.NowUtc();
  // The memory tick stands still: its step is taken as 16 ms, and 50 ms of
  // waiting put the receive time back by 34 ms; the transmit time stays.
  const auto reply = Ask(Request(4, 3), kClient, sys.clock.TickCount() - 50);
  ASSERT_TRUE(reply);
  EXPECT_NEAR(-0.034, NtpSeconds(ToNtpTimestamp(now), Get64(*reply, 32)), 1e-6);
  EXPECT_EQ(ToNtpTimestamp(now), Get64(*reply, 40));
  // Within one step nothing is taken off.
  const auto prompt = Ask(Request(4, 3), NetAddress::V4(192, 0, 2, 9), sys.clock.TickCount() - 16);
  ASSERT_TRUE(prompt);
  EXPECT_EQ(ToNtpTimestamp(now), Get64(*prompt, 32));
}


// ---------------------------------------------------------------------------
// Sockets

TEST_F(NtpServerTest, ServesIpv6WhereTheSystemHasItAndIpv4Alone) {
  EXPECT_TRUE(server.ServingIpv6());
  NetAddress client6;
  client6.family = NetAddress::IPv6;
  client6.bytes[0] = 0xfe;
  client6.bytes[1] = 0x80;
  client6.bytes[15] = 7;
  EXPECT_TRUE(Ask(Request(4, 3), client6));

  sys.udp.ipv6Sockets = false;
  NtpServer v4only(sys.udp, sys.clock);
  v4only.Serve(1124);
  EXPECT_TRUE(v4only.Serving());
  EXPECT_FALSE(v4only.ServingIpv6());
}

TEST_F(NtpServerTest, APortInUseIsNamedAndTakenWhenItIsFree) {
  sys.udp.portsInUse = {123};
  NtpServer second(sys.udp, sys.clock);
  try {
    second.Serve(123);
    FAIL() << "served a port in use";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(errPortInUse, e.Number());
    EXPECT_EQ("Port 123 is in use by another program", e.Description());
  }
  EXPECT_FALSE(second.Serving());
  second.Retry();
  EXPECT_FALSE(second.Serving());
  sys.udp.portsInUse.clear();
  second.Retry();
  EXPECT_TRUE(second.Serving());
  EXPECT_EQ(123, second.Port());
  // Moving to another port lets the old one go; stopping lets every one go.
  second.Serve(124);
  EXPECT_EQ(0u, sys.udp.listening.count({NetAddress::IPv4, 123}));
  second.Stop();
  EXPECT_EQ(0u, sys.udp.listening.count({NetAddress::IPv4, 124}));
}

TEST_F(NtpServerTest, ASocketFailingOverAndOverIsLoggedOnce) {
  sys.udp.listenersFail = true;
  for (int i = 0; i < 5; ++i) sys.udp.Deliver(kPort, {Request(4, 3), kClient, kClientPort});
  const std::string log = sys.files.FileContent(ErrorLogPath()).value_or("");
  const std::string line = "NtpServer of Modul VRN_TimeSync  10  ";
  EXPECT_NE(std::string::npos, log.find(line)) << log;
  EXPECT_EQ(log.find(line), log.rfind(line)) << log;
}

// ---------------------------------------------------------------------------
// The clock's precision

// A system clock that moves in steps of `step` seconds, read every
// microsecond.
class SteppingClock : public MemoryClock {
 public:
  explicit SteppingClock(double step) : step_(step) {}
  DateTime NowUtc() override {
    elapsed_ += 1e-6;
    return start_.AddSeconds(std::floor(elapsed_ / step_) * step_);
  }
  uint32_t TickCount() override { return static_cast<uint32_t>(elapsed_ * 1000); }

 private:
  double step_, elapsed_ = 0;
  DateTime start_ = MakeDateTime(2026, 1, 1, 0, 0, 0);
};

// A tick that moves by `step` ms every 1000 readings.
class SteppingTick : public MemoryClock {
 public:
  explicit SteppingTick(uint32_t step) : step_(step) {}
  uint32_t TickCount() override { return ++reads_ / 1000 * step_; }

 private:
  uint32_t step_, reads_ = 0;
};

TEST(TickStepTest, IsTheSmallestMoveOfTheTick) {
  SteppingTick tick(10);
  EXPECT_EQ(10u, MeasureTickStep(tick));
  MemoryClock still;
  EXPECT_EQ(16u, MeasureTickStep(still));
}

TEST(ClockPrecisionTest, IsTheClocksStepRoundedUpToAPowerOfTwo) {
  for (const auto& [step, precision] : {std::pair{0.055, -4}, std::pair{0.015625, -6}, std::pair{0.010, -6},
                                        std::pair{0.001, -9}, std::pair{0.5, -3}}) {
    SteppingClock clock(step);
    EXPECT_EQ(precision, MeasureClockPrecision(clock)) << step;
  }
  MemoryClock still;
  EXPECT_EQ(-20, MeasureClockPrecision(still));
}

// ---------------------------------------------------------------------------
// The bytes shared with the client

TEST(NtpPacketTest, HeaderShortFormatAndDigestReadWhatTheyWrite) {
  NtpHeader h;
  h.leap = 3;
  h.version = 2;
  h.mode = 1;
  h.stratum = 200;
  h.poll = -3;
  h.precision = -29;
  h.rootDelay = 0x00010002;
  h.rootDispersion = 0xFFFF8000;
  h.referenceId = NtpCode("RATE");
  h.referenceTime = 1;
  h.originTime = 0x8000000000000000ull;
  h.receiveTime = kNonce;
  h.transmitTime = ~kNonce;
  const std::string bytes = WriteNtpHeader(h);
  ASSERT_EQ(48u, bytes.size());
  const auto back = ReadNtpHeader(bytes + "extension");
  ASSERT_TRUE(back);
  EXPECT_EQ(WriteNtpHeader(*back), bytes);
  EXPECT_EQ(-3, back->poll);
  EXPECT_EQ(-29, back->precision);
  EXPECT_FALSE(ReadNtpHeader(bytes.substr(0, 47)));

  EXPECT_EQ(0u, ToNtpShort(-1));
  EXPECT_EQ(0u, ToNtpShort(std::nan("")));
  EXPECT_EQ(0x00018000u, ToNtpShort(1.5));
  EXPECT_EQ(0xFFFFFFFFu, ToNtpShort(1e9));
  EXPECT_DOUBLE_EQ(1.5, FromNtpShort(0x00018000u));

  auto hex = [](const Md5Digest& d) {
    std::string text;
    for (uint8_t b : d) text += "0123456789abcdef"[b >> 4], text += "0123456789abcdef"[b & 15];
    return text;
  };
  // RFC 1321's test suite, and the padding's edges around one block.
  EXPECT_EQ("d41d8cd98f00b204e9800998ecf8427e", hex(Md5("")));
  EXPECT_EQ("900150983cd24fb0d6963f7d28e17f72", hex(Md5("abc")));
  EXPECT_EQ("57edf4a22be3c955ac49da2e2107b67a",
            hex(Md5("12345678901234567890123456789012345678901234567890123456789012345678901234567890")));
  EXPECT_EQ("b06521f39153d618550606be297466d5", hex(Md5(std::string(63, 'a'))));
  EXPECT_EQ("014842d480b571495a4a0363793f7367", hex(Md5(std::string(64, 'a'))));
}

}  // namespace
}  // namespace tavrel
