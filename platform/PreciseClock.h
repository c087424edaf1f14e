// A UTC clock finer than the one the system keeps. Windows 95, 98 and Me
// move their time of day once per timer tick, about every 55 ms, NT every
// 10 or 15.625 ms, so a reading of the system clock is up to a tick behind
// the time. The precise clock learns where the system clock's ticks fall on
// a fine counter that runs beside it (the performance counter) and from the
// last tick it saw times everything on that counter: the system time,
// interpolated. It never strays more than one step from the system clock,
// never runs backwards unless the clock was set, and where the system clock
// is already fine it reads that clock and does nothing else.
//
// Both platforms use it, each with its own sources: the Windows clock with
// GetSystemTimeAsFileTime and the performance counter, the in-memory clock
// with a clock that moves in ticks and a counter beside it. Not for two
// threads at once: the Windows clock holds a critical section around it.
#pragma once

#include <cstdint>

#include "platform/Platform.h"

namespace tavrel {

// A UTC date as 100 ns units since 1601-01-01 (a FILETIME), and back.
int64_t ToFileTime(DateTime utc);
DateTime FromFileTime(int64_t units);

// What a precise clock is made from.
class IClockSources {
 public:
  virtual ~IClockSources() = default;
  // The system's UTC clock in 100 ns units since 1601-01-01, as coarse as
  // the system keeps it.
  virtual int64_t SystemTime() = 0;
  // A counter that runs on at a steady rate and is never set, and its
  // counts per second (above 0).
  virtual int64_t Counter() = 0;
  virtual double CounterFrequency() = 0;
  // Called between two readings while waiting for the system clock to
  // move on: a moment passes. The real clocks move by themselves.
  virtual void Spin() {}
};

class PreciseClock {
 public:
  explicit PreciseClock(IClockSources& sources) : sources_(sources) {}

  // UTC in 100 ns units since 1601-01-01: the system clock, interpolated
  // when it is coarse. Learning where its ticks fall takes up to a few of
  // its steps, on the first call and after the clock was set.
  int64_t Now();
  // The system clock's step, measured on the first call.
  ClockStep Step();
  // Returns just after the system clock moved on (at once where it is fine
  // or not interpolated), with the seconds that took on the counter. A
  // clock set at that moment gets its next tick a whole step after the
  // time set, as it should: set mid-step, it would run ahead by the part
  // of the step already gone.
  double AwaitTick();
  // The clock was set, by this program or another: where its ticks fall
  // is learnt again, and the time may go back.
  void Changed();
  // Forgets the step too: the sources are not what they were.
  void Reset();

  // false: Now() is the system clock as it reads.
  bool interpolate = true;

  // A step up to this (100 ns units, 1 ms) is fine: nothing to fill in.
  static constexpr int64_t kFineStep = 10000;
  // An anchor older than this (seconds) is renewed: the counter and the
  // system clock may run at slightly different rates.
  static constexpr double kAnchorLife = 8;

 private:
  // One reading of the system clock and the counter just before and after.
  struct Reading {
    int64_t system = 0;
    int64_t before = 0, after = 0;
  };
  // A tick of the system clock: its value from then on, the counter's
  // value at that moment and how far either way it may lie (seconds).
  struct Edge {
    bool found = false;
    int64_t system = 0;
    double at = 0;
    double width = 0;
    int64_t increment = 0;  // how far the system clock moved there
  };

  Reading Read();
  Edge EdgeBetween(const Reading& earlier, const Reading& later) const;
  Edge FindEdge(int maxEdges);
  void Measure();
  void Observe(const Reading& r);
  void Relearn();
  int64_t Predict(const Reading& r) const;
  double Age(const Reading& r) const;
  double GoodWidth() const;
  bool IsTick(int64_t increment) const;

  IClockSources& sources_;
  double frequency_ = 1;
  bool measured_ = false;
  bool coarse_ = false;
  int64_t step_ = 0;     // the usual step
  int64_t maxStep_ = 0;  // the longest single step seen
  bool anchored_ = false;
  Edge anchor_;
  bool haveLast_ = false;
  Reading last_;
  bool returned_ = false;
  int64_t lastReturned_ = 0;
};

}  // namespace tavrel
