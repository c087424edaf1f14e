// The program's timing on a coarse system clock: the in-memory clock moves
// once per tick (55 ms as on Windows 9x, 15.625 and 10 ms as on NT) with a
// fine counter beside it, and NowUtc() is the precise clock's interpolation.
// The clock itself, the SNTP exchange and the bisection of the web server's
// second must come within their bounds on every tick; read without
// interpolation, they do not.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "TestPlatform.h"
#include "platform/PreciseClock.h"
#include "timesync/Sntp.h"
#include "timesync/SyncCore.h"

namespace tavrel {
namespace {

const NetAddress kServer = NetAddress::V4(192, 0, 2, 1);

// Seconds from a to b.
double Seconds(DateTime a, DateTime b) { return (b.Serial() - a.Serial()) * 86400.0; }

class CoarseClockTest : public ProgramTest, public ::testing::WithParamInterface<double> {
 protected:
  CoarseClockTest() {
    sys.clock.tickMs = GetParam();
    sys.clock.now = MidTick(MakeDateTime(2026, 12, 8, 12, 0, 0));
  }

  // The moment half a tick after the clock's last tick before `t`: where
  // a reading is furthest behind.
  DateTime MidTick(DateTime t) const {
    const int64_t tick = std::llround(GetParam() * 1e4);
    const int64_t units = ToFileTime(t);
    return FromFileTime(units - units % tick + tick / 2);
  }

  // How far NowUtc() is from the time as it is, in milliseconds.
  double ErrorMs() { return Seconds(sys.clock.TrueUtc(), sys.clock.NowUtc()) * 1000; }

  // An NTP server on the true clock, `offset` ahead, 0.2 ms away each way:
  // loopback.
  void ServeNtp(double offset) {
    sys.udp.server = [this, offset](const MemoryUdp::Sent& request) -> std::vector<Datagram> {
      sys.clock.Advance(0.0002);
      const NtpTimestamp t = ToNtpTimestamp(sys.clock.TrueUtc().AddSeconds(offset));
      sys.clock.Advance(0.0002);
      std::string b(48, '\0');
      b[0] = 0x24;  // version 4, server
      b[1] = 2;
      std::memcpy(&b[24], &request.bytes[40], 8);
      for (int i = 0; i < 8; ++i) b[32 + i] = b[40 + i] = static_cast<char>(t >> (56 - 8 * i));
      return {{b, kServer, 123}};
    };
  }

  // The web servers' offset as the synchronisation measures it, against
  // today's hosts: a redirect and a Date, 10 ms away.
  double WebServerOffset(double offset) {
    sys.http.answerer = [](const std::string&) {
      HttpAnswer answer;
      answer.status = 301;
      return answer;
    };
    sys.http.serverOffset = offset;
    sys.http.latency = 0.010;
    std::string text;
    const SyncResult r = Synchronise(SyncRequest(), text);
    EXPECT_TRUE(r.synchronised);
    return r.offset;
  }
};

INSTANTIATE_TEST_SUITE_P(Ticks, CoarseClockTest, ::testing::Values(55.0, 15.625, 10.0));

TEST_P(CoarseClockTest, ReadsFinerThanTheTickNeverBackwardsNeverATickOff) {
  const ClockStep step = sys.clock.Step();
  EXPECT_DOUBLE_EQ(GetParam(), step.ms);
  EXPECT_TRUE(step.interpolated);
  double worst = 0;
  DateTime last = sys.clock.NowUtc();
  for (int i = 0; i < 400; ++i) {
    sys.clock.Advance(0.0007 + (i % 7) * 0.0011);  // readings at odd moments
    const DateTime t = sys.clock.NowUtc();
    EXPECT_FALSE(t < last) << i;
    last = t;
    worst = std::max(worst, std::fabs(ErrorMs()));
  }
  EXPECT_LT(worst, 0.1);

  // Read as it is, the clock is up to a tick behind.
  sys.clock.interpolate = false;
  EXPECT_FALSE(sys.clock.Step().interpolated);
  sys.clock.now = MidTick(sys.clock.now);
  EXPECT_NEAR(-GetParam() / 2, ErrorMs(), 0.01);
}

// Another program sets the clock and says nothing: a reading that no tick
// explains starts the learning again, forward or back.
TEST_P(CoarseClockTest, FollowsAClockSetBySomeoneElse) {
  sys.clock.NowUtc();
  for (double jump : {3.7, -3.7, 0.25}) {
    sys.clock.now = sys.clock.now.AddSeconds(jump);
    sys.clock.Advance(0.0013);
    EXPECT_NEAR(0, ErrorMs(), 0.1) << jump;
  }
}

// A counter 100 ppm fast parts from the clock by 6 ms a minute; the
// anchors renewed on the way keep the time within a millisecond.
TEST_P(CoarseClockTest, RenewsItsAnchorAsCounterAndClockPart) {
  sys.clock.counterRate = 1.0001;
  double worst = 0;
  for (int i = 0; i < 60; ++i) {
    sys.clock.Advance(1.0 + i * 0.0017);
    worst = std::max(worst, std::fabs(ErrorMs()));
  }
  EXPECT_LT(worst, 1.0);
}

// Set mid-tick, the clock would run ahead by the part of the tick gone:
// the change waits for the next tick, and the time set moves on with it.
TEST_P(CoarseClockTest, TheClockIsSetJustAfterATick) {
  sys.clock.Step();
  sys.clock.now = MidTick(sys.clock.now);
  const DateTime asked = sys.clock.now.AddSeconds(2.5);
  const DateTime calledAt = sys.clock.now;
  DateTime setAt;
  sys.clock.accept = [&](DateTime from, DateTime) {
    setAt = from;
    return true;
  };
  sys.clock.SetLocalTime(asked);

  const int64_t tick = std::llround(GetParam() * 1e4);
  EXPECT_LE(ToFileTime(setAt) % tick, 200);  // within the 20 us one reading takes
  ASSERT_EQ(1u, sys.clock.sets.size());
  EXPECT_NEAR(Seconds(calledAt, setAt), Seconds(asked, sys.clock.sets[0]), 5e-6);
  EXPECT_NEAR(GetParam() / 2000, Seconds(calledAt, setAt), 1e-4);
}

TEST_P(CoarseClockTest, SntpOnLoopbackWithinAMillisecondOnlyInterpolated) {
  ServeNtp(0.25);
  EXPECT_NEAR(0.25, QueryNtpServer("192.0.2.1").offset, 0.001);

  sys.clock.interpolate = false;
  sys.clock.now = MidTick(sys.clock.now);
  EXPECT_GT(std::fabs(QueryNtpServer("192.0.2.1").offset - 0.25), 0.002);
}

// Read on the coarse clock as it is, the same runs are off by up to half
// the transit and more (at 55 ms: up to 12 ms off, 5 ms in the median).
TEST_P(CoarseClockTest, WebServerClockWithinFiveMilliseconds) {
  for (double offset : {0.05, 0.25, 0.5, 0.95, -0.3}) {
    sys.clock.now = MidTick(sys.clock.now.AddSeconds(10));
    EXPECT_NEAR(offset, WebServerOffset(offset), 0.005) << offset;
  }
}

// The options view's line gets a second line about the clock.
TEST_P(CoarseClockTest, TheResultLineSaysTheStep) {
  ServeNtp(0.25);
  SyncRequest request;
  request.source = SyncRequest::NtpServer;
  request.ntpServer = "192.0.2.1";
  std::string text;
  char step[48];
  std::snprintf(step, sizeof step, "\r\nclock step %.3g ms", GetParam());
  EXPECT_EQ(std::string("offset +0.250 s, delay 0 ms") + step + ", interpolated",
            Synchronise(request, text).resultLine.value_or("<none>"));
  sys.clock.interpolate = false;
  sys.clock.Advance(20);  // a server is asked once in 15 s at most
  const std::string coarse = Synchronise(request, text).resultLine.value_or("<none>");
  EXPECT_EQ(step, coarse.substr(coarse.find('\r'))) << coarse;
}

}  // namespace
}  // namespace tavrel
