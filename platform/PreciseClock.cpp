#include "platform/PreciseClock.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace tavrel {
namespace {

constexpr int64_t kDay = 864000000000;     // 100 ns units in a day
constexpr int64_t kFileTimeDay0 = 109205;  // 1601-01-01 counted back from the serial's zero day
constexpr double kGoodWidth = 0.0002;      // seconds: an edge read this tightly anchors well
constexpr int kMaxEdges = 8;               // ticks to wait at most for a tight reading
constexpr double kGiveUp = 1;              // seconds: a system clock that does not move is read as it is
// How fast the counter and the system clock may part (seconds per second):
// crystals of a PC are good to about 100 ppm.
constexpr double kDriftRate = 1e-4;
constexpr std::size_t kStepsMeasured = 3;

double Middle(int64_t before, int64_t after) { return (static_cast<double>(before) + static_cast<double>(after)) / 2; }

}  // namespace

int64_t ToFileTime(DateTime utc) {
  // Days and the day's part apart, so that the double keeps the 100 ns.
  const double serial = utc.Serial();
  const double days = std::floor(serial);
  return (static_cast<int64_t>(days) + kFileTimeDay0) * kDay + std::llround((serial - days) * kDay);
}

DateTime FromFileTime(int64_t units) {
  int64_t days = units / kDay;
  int64_t rest = units % kDay;
  if (rest < 0) rest += kDay, --days;
  return DateTime(static_cast<double>(days - kFileTimeDay0) + static_cast<double>(rest) / kDay);
}

// ---------------------------------------------------------------------------

PreciseClock::Reading PreciseClock::Read() {
  Reading r;
  r.before = sources_.Counter();
  r.system = sources_.SystemTime();
  r.after = sources_.Counter();
  return r;
}

// The system clock moved between two readings: it did so somewhere between
// the start of the first and the end of the second.
PreciseClock::Edge PreciseClock::EdgeBetween(const Reading& earlier, const Reading& later) const {
  Edge e;
  e.found = true;
  e.system = later.system;
  e.at = (Middle(earlier.before, earlier.after) + Middle(later.before, later.after)) / 2;
  e.width = static_cast<double>(later.after - earlier.before) / frequency_;
  e.increment = later.system - earlier.system;
  return e;
}

double PreciseClock::GoodWidth() const { return std::max(kGoodWidth, 2 / frequency_); }

bool PreciseClock::IsTick(int64_t increment) const {
  return increment > 0 && std::llabs(increment - step_) <= step_ / 4;
}

// Reads the clock over and over until it moves, and again until a move is
// caught between two readings close together (another thread may have had
// the processor meanwhile), `edges` moves at most. Ends just after the edge
// it returns.
PreciseClock::Edge PreciseClock::FindEdge(int maxEdges) {
  Reading previous = Read();
  const int64_t start = previous.before;
  Edge best;
  for (int edges = 0;;) {
    sources_.Spin();
    const Reading r = Read();
    if (r.system != previous.system) {
      const Edge e = EdgeBetween(previous, r);
      // Once the step is known, a move that is none was someone setting
      // the clock: no tick to anchor on.
      const bool tick = !coarse_ || IsTick(e.increment);
      if (tick && (!best.found || e.width < best.width)) best = e;
      if ((tick && e.width <= GoodWidth()) || ++edges >= maxEdges) {
        last_ = r;
        haveLast_ = true;
        return tick && e.width <= GoodWidth() ? e : best;
      }
    }
    previous = r;
    if (static_cast<double>(r.after - start) / frequency_ > kGiveUp) break;
  }
  last_ = previous;
  haveLast_ = true;
  return best;
}

void PreciseClock::Measure() {
  if (measured_) return;
  measured_ = true;
  coarse_ = false;
  frequency_ = sources_.CounterFrequency();
  if (!(frequency_ > 0)) {
    frequency_ = 1;
    return;
  }
  // The next few moves, however tightly read: a move read within half of
  // it cannot hide a second one, so it is a whole step, and a move of a
  // millisecond at most is a fine clock's whatever the reading.
  std::vector<int64_t> steps;
  Edge best;
  for (int i = 0; i < kMaxEdges * 3 && steps.size() < kStepsMeasured; ++i) {
    const Edge e = FindEdge(1);
    if (!e.found) break;
    if (e.increment > 0 && (e.increment <= kFineStep || e.width * 1e7 * 2 < static_cast<double>(e.increment)))
      steps.push_back(e.increment);
    if (!best.found || e.width <= best.width) best = e;
  }
  if (steps.empty()) return;
  std::sort(steps.begin(), steps.end());
  step_ = steps[steps.size() / 2];
  // Steps may differ a little (a clock kept in whole milliseconds moves by
  // 54 or 55 of them): the longest bounds a reading. A double step is a
  // tick the reading missed, not a step.
  maxStep_ = step_;
  for (int64_t s : steps)
    if (s <= step_ * 3 / 2) maxStep_ = std::max(maxStep_, s);
  coarse_ = step_ > kFineStep;
  // Read loosely, the anchor is found when the time is first read.
  anchored_ = coarse_ && best.width <= GoodWidth();
  if (anchored_) anchor_ = best;
}

double PreciseClock::Age(const Reading& r) const {
  return (Middle(r.before, r.after) - anchor_.at) / frequency_;
}

int64_t PreciseClock::Predict(const Reading& r) const {
  return anchor_.system + std::llround(Age(r) * 1e7);
}

// A reading after the one before it: a tick caught between two readings
// close together is a better anchor than an old one; a move that is no
// tick was the clock being set.
void PreciseClock::Observe(const Reading& r) {
  if (haveLast_ && r.system != last_.system) {
    const Edge e = EdgeBetween(last_, r);
    if (e.width * 1e7 <= static_cast<double>(step_)) {
      if (!IsTick(e.increment)) {
        Changed();
      } else if (!anchored_ ? e.width <= GoodWidth() : e.width <= anchor_.width + Age(r) * kDriftRate) {
        anchor_ = e;
        anchored_ = true;
      }
    }
  }
  last_ = r;
  haveLast_ = true;
}

void PreciseClock::Relearn() {
  const Edge e = FindEdge(kMaxEdges);
  anchored_ = e.found;
  if (e.found) anchor_ = e;
}

int64_t PreciseClock::Now() {
  if (!interpolate) return sources_.SystemTime();
  Measure();
  if (!coarse_) return sources_.SystemTime();
  Reading r = Read();
  Observe(r);
  if (!anchored_ || Age(r) > kAnchorLife) {
    Relearn();
    r = last_;
  }
  if (!anchored_) return r.system;
  int64_t predicted = Predict(r);
  const int64_t slack = kFineStep + std::llround((anchor_.width + Age(r) * kDriftRate) * 1e7);
  if (predicted < r.system - slack || predicted > r.system + maxStep_ + slack) {
    // Set without a word, or the counter and the clock have parted: the
    // time is learnt again, and may go back.
    Changed();
    Relearn();
    r = last_;
    if (!anchored_) return r.system;
    predicted = Predict(r);
  }
  // The system clock reads the last tick it passed: the time lies within
  // the step after it.
  int64_t t = std::clamp(predicted, r.system, r.system + maxStep_);
  if (returned_ && t < lastReturned_) t = std::min(lastReturned_, r.system + maxStep_);
  returned_ = true;
  lastReturned_ = t;
  return t;
}

ClockStep PreciseClock::Step() {
  Measure();
  ClockStep s;
  s.ms = static_cast<double>(step_) / 1e4;
  s.interpolated = interpolate && coarse_;
  return s;
}

double PreciseClock::AwaitTick() {
  if (!interpolate) return 0;
  Measure();
  if (!coarse_) return 0;
  const int64_t start = sources_.Counter();
  const Edge e = FindEdge(kMaxEdges);
  if (e.found && (!anchored_ || e.width <= anchor_.width + Age(last_) * kDriftRate)) {
    anchor_ = e;
    anchored_ = true;
  }
  return static_cast<double>(sources_.Counter() - start) / frequency_;
}

void PreciseClock::Changed() {
  anchored_ = false;
  haveLast_ = false;
  returned_ = false;
}

void PreciseClock::Reset() {
  Changed();
  measured_ = false;
  coarse_ = false;
  step_ = maxStep_ = 0;
}

}  // namespace tavrel
