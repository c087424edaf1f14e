#include "timesync/WebServerClock.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "timesync/HttpDate.h"
#include "timesync/NtpPacket.h"
#include "timesync/Sntp.h"

namespace tavrel {
namespace {

// What one answer says about the offset (seconds to add to the computer's
// UTC clock to get the server's): the server wrote its Date at the middle
// of the round trip, as far as this side can tell, and the Date is the
// whole second it was in, so the offset lies in [lo, hi), one second wide.
struct Bound {
  double lo, hi;
};

// Seconds from `base` to `t`.
double Since(DateTime base, DateTime t) { return (t.Serial() - base.Serial()) * 86400.0; }

Bound BoundOf(const DateReading& r, DateTime base) {
  const double middle = (Since(base, r.sentUtc) + Since(base, r.answeredUtc)) / 2;
  const double date = Since(base, r.date);
  return {date - middle, date + 1 - middle};
}

// Where all bounds agree. Readings a network's jitter has pushed slightly
// apart leave no common ground; the run then keeps the point between them
// and goes on narrowing from there.
Bound Common(const std::vector<Bound>& bounds) {
  Bound c = bounds.front();
  for (const Bound& b : bounds) {
    const double lo = std::max(c.lo, b.lo);
    const double hi = std::min(c.hi, b.hi);
    if (lo <= hi) {
      c = {lo, hi};
    } else {
      const double between = b.lo > c.hi ? (b.lo + c.hi) / 2 : (c.lo + b.hi) / 2;
      c = {between, between};
    }
  }
  return c;
}

}  // namespace

std::optional<TimeReading> WebServerClock::Read(std::string& timePageText, ErrorTrap& trap) {
  if (readings_.empty()) return std::nullopt;
  IClock& clock = *Sys().clock;
  auto transit = [](const DateReading& r) { return Since(r.sentUtc, r.answeredUtc); };
  // A server counts as faster only by a millisecond or more: less is the
  // clock's own grain, and the first of equals (the chain's order) wins.
  const DateReading fastest =
      *std::min_element(readings_.begin(), readings_.end(), [&](const DateReading& a, const DateReading& b) {
        return transit(a) + 0.001 <= transit(b);
      });
  // Times count from a whole second, so that the server's seconds change
  // at whole numbers.
  const DateTime base = fastest.date;

  std::vector<Bound> bounds;
  double bestTransit = std::numeric_limits<double>::infinity();
  double lastTransit = 0;
  auto take = [&](const DateReading& r) {
    bounds.push_back(BoundOf(r, base));
    lastTransit = std::max(0.0, transit(r));
    bestTransit = std::min(bestTransit, lastTransit);
  };
  const std::string host = HostOf(fastest.url);
  for (const DateReading& r : readings_)
    if (HostOf(r.url) == host) take(r);

  const double start = Since(base, clock.NowUtc());
  const double deadline = start + kBudgetSeconds;
  for (int i = 0; i < kRequests; ++i) {
    const Bound c = Common(bounds);
    if (c.hi - c.lo < 0.001) break;
    // If the offset were the middle of what is left, the server's second
    // would change at local time N − middle. A request that arrives then
    // comes back with the second before or after: either half goes.
    const double middle = (c.lo + c.hi) / 2;
    const double now = Since(base, clock.NowUtc());
    const double arrive = std::ceil(now + lastTransit / 2 + middle) - middle;
    const double send = arrive - lastTransit / 2;
    if (send + lastTransit * 1.5 + 0.05 > deadline) break;
    if (asker_.Left(fastest.url) <= 0) break;
    clock.WaitUntilUtc(base.AddSeconds(send));
    const auto timeoutMs = static_cast<unsigned>(std::max(1.0, (deadline - send) * 1000.0));
    HttpAnswer answer;
    if (!trap(400, [&] { answer = asker_.Fetch(fastest.url, timeoutMs); })) continue;
    const auto header = answer.Header("Date");
    const auto date = header ? ParseHttpDate(*header) : std::nullopt;
    if (date) take({fastest.url, *date, answer.sentUtc, answer.answeredUtc});
  }

  // One clock's readings all overlap, give or take the network; Dates
  // further apart than that come from servers that do not agree with
  // themselves (a farm behind one name, one clock stepping), and none of
  // them is to be trusted.
  double highestLo = -std::numeric_limits<double>::infinity();
  double lowestHi = std::numeric_limits<double>::infinity();
  for (const Bound& b : bounds) {
    highestLo = std::max(highestLo, b.lo);
    lowestHi = std::min(lowestHi, b.hi);
  }
  if (highestLo - lowestHi > kContradiction) return std::nullopt;

  const Bound c = Common(bounds);
  TimeReading reading;
  reading.timeOfDay = false;
  reading.utcOffset = (c.lo + c.hi) / 2;
  reading.line = 430;
  reading.quality.referenceId = NtpCode("HTTP");
  reading.quality.rootDelay = bestTransit;
  reading.quality.rootDispersion = (c.hi - c.lo) / 2;
  reading.source = host;
  char text[96];
  std::snprintf(text, sizeof text, "offset %+.3f s, delay %.0f ms (web server clock)", reading.utcOffset,
                bestTransit * 1000.0);
  line_ = text;
  timePageText = TimeOfDayText(clock.NowUtc().AddSeconds(reading.utcOffset));
  return reading;
}

}  // namespace tavrel
