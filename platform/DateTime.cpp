#include "platform/DateTime.h"

#include <cmath>

#include "platform/RuntimeError.h"

namespace tavrel {
namespace {

// Days between 1970-01-01 and the proleptic Gregorian date (H. Hinnant).
long DaysFromCivil(long y, long m, long d) {
  y -= m <= 2;
  const long era = (y >= 0 ? y : y - 399) / 400;
  const long yoe = y - era * 400;
  const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(long z, int& y, int& m, int& d) {
  z += 719468;
  const long era = (z >= 0 ? z : z - 146096) / 146097;
  const long doe = z - era * 146097;
  const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

// 1899-12-30 counted from 1970-01-01.
const long kZeroDate = DaysFromCivil(1899, 12, 30);

long FloorDiv(long a, long b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Whole seconds since the zero date. The value is first taken to the
// millisecond, as the system's clock gives it, so that floating-point noise
// never turns 12:00:05.000 into 12:00:04.999; then the milliseconds are cut
// off, as in the clock's own seconds field: 12:00:30.7 is second 30, and
// 23:59:59.6 on 31 December is still that day and year.
long long TotalSeconds(double serial) {
  const long long ms = std::llround(serial * 86400000.0);
  return ms / 1000 - (ms % 1000 < 0 ? 1 : 0);
}

}  // namespace

long DateTime::Days() const {
  const long long s = TotalSeconds(serial_);
  return static_cast<long>(s / 86400 - (s % 86400 < 0 ? 1 : 0));
}

long DateTime::SecondsOfDay() const {
  const long long s = TotalSeconds(serial_) % 86400;
  return static_cast<long>(s < 0 ? s + 86400 : s);
}

int DateTime::Year() const { int y, m, d; CivilFromDays(Days() + kZeroDate, y, m, d); return y; }
int DateTime::Month() const { int y, m, d; CivilFromDays(Days() + kZeroDate, y, m, d); return m; }
int DateTime::Day() const { int y, m, d; CivilFromDays(Days() + kZeroDate, y, m, d); return d; }

int DateTime::Weekday() const {
  // The zero date was a Saturday (7).
  const long w = (Days() % 7 + 7) % 7;  // 0 = Saturday
  return static_cast<int>(w == 0 ? 7 : w);
}

int DateTime::Hour() const { return static_cast<int>(SecondsOfDay() / 3600); }
int DateTime::Minute() const { return static_cast<int>(SecondsOfDay() / 60 % 60); }
int DateTime::Second() const { return static_cast<int>(SecondsOfDay() % 60); }

bool DateTime::SameSecond(DateTime other) const {
  return TotalSeconds(serial_) == TotalSeconds(other.serial_);
}

DateTime DateSerial(long year, long month, long day) {
  // Months carry into years first, then days run freely from day 1.
  const long m0 = month - 1;
  const long y = year + FloorDiv(m0, 12);
  const long m = m0 - FloorDiv(m0, 12) * 12 + 1;
  if (y < 100 || y > 9999) Raise(errInvalidCall);
  const long days = DaysFromCivil(y, m, 1) + (day - 1) - kZeroDate;
  const DateTime result(static_cast<double>(days));
  if (result.Year() < 100 || result.Year() > 9999) Raise(errInvalidCall);
  return result;
}

DateTime MakeDateTime(long year, long month, long day, long hour, long minute, long second) {
  const long long seconds = static_cast<long long>(hour) * 3600 + static_cast<long long>(minute) * 60 + second;
  return DateTime(DateSerial(year, month, day).Serial() + static_cast<double>(seconds) / 86400.0);
}

long WrapTimeOfDay(long hour, long minute, long second) {
  const long long total = static_cast<long long>(hour) * 3600 + static_cast<long long>(minute) * 60 + second;
  const long long wrapped = total % 86400;
  return static_cast<long>(wrapped < 0 ? wrapped + 86400 : wrapped);
}

}  // namespace tavrel
