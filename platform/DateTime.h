// A date-time value as the program computes with it: days since the zero
// date 30 December 1899, the fraction being the time of day. Built from
// possibly out-of-range parts the forgiving way (month 13 is January of the
// next year, day 0 the last day of the month before). Its fields read like
// the clock's own: to the millisecond, with the milliseconds cut off, so a
// clock at 12:00:30.7 is in second 30, never rounded up into the next.
#pragma once

#include <cstdint>

namespace tavrel {

class DateTime {
 public:
  DateTime() = default;
  explicit DateTime(double serial) : serial_(serial) {}

  double Serial() const { return serial_; }
  long Days() const;              // the whole days (floor of the serial)
  long SecondsOfDay() const;      // 0 .. 86399, whole seconds of the day

  int Year() const;
  int Month() const;              // 1 .. 12
  int Day() const;                // 1 .. 31
  int Weekday() const;            // 1 = Sunday .. 7 = Saturday
  int Hour() const;
  int Minute() const;
  int Second() const;

  DateTime DateOnly() const { return DateTime(static_cast<double>(Days())); }
  DateTime AddDays(long days) const { return DateTime(serial_ + days); }
  DateTime AddSeconds(double seconds) const { return DateTime(serial_ + seconds / 86400.0); }

  friend bool operator<(DateTime a, DateTime b) { return a.serial_ < b.serial_; }
  friend bool operator==(DateTime a, DateTime b) { return a.SameSecond(b); }
  friend bool operator!=(DateTime a, DateTime b) { return !(a == b); }

 private:
  bool SameSecond(DateTime other) const;
  double serial_ = 0.0;
};

// The date of year/month/day; month and day carry into the larger units.
// Raises errInvalidCall when the year leaves 100 .. 9999.
DateTime DateSerial(long year, long month, long day);
// The date and time of the given parts, all carrying forgivingly.
DateTime MakeDateTime(long year, long month, long day, long hour, long minute, long second);
// A time of day from hour, minute and second counts that may lie outside
// their ranges: carries into the larger units and wraps past midnight in
// either direction. Result in seconds since midnight, 0 .. 86399.
long WrapTimeOfDay(long hour, long minute, long second);
// The fraction of a day of a count of seconds since midnight.
inline double DayFraction(long secondsOfDay) { return secondsOfDay / 86400.0; }

}  // namespace tavrel
