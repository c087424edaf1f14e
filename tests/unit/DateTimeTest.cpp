#include <gtest/gtest.h>

#include "platform/DateTime.h"
#include "platform/RuntimeError.h"

namespace tavrel {
namespace {

TEST(DateTime, ZeroDateIsThirtiethDecember1899) {
  const DateTime zero;
  EXPECT_EQ(1899, zero.Year());
  EXPECT_EQ(12, zero.Month());
  EXPECT_EQ(30, zero.Day());
  EXPECT_EQ(7, zero.Weekday());  // a Saturday
  EXPECT_DOUBLE_EQ(1.0, DateSerial(1899, 12, 31).Serial());
}

TEST(DateTime, OutOfRangePartsCarryForgivingly) {
  EXPECT_EQ(DateSerial(2027, 1, 1), DateSerial(2026, 13, 1));
  EXPECT_EQ(DateSerial(2026, 2, 28), DateSerial(2026, 3, 0));
  EXPECT_EQ(DateSerial(2025, 12, 1), DateSerial(2026, 0, 1));
  EXPECT_EQ(DateSerial(2028, 2, 29), DateSerial(2028, 3, 0));
  EXPECT_EQ(MakeDateTime(2026, 12, 9, 0, 0, 1), MakeDateTime(2026, 12, 8, 23, 59, 61));
  EXPECT_THROW(DateSerial(99, 1, 1), RuntimeError);
  EXPECT_THROW(DateSerial(9999, 13, 1), RuntimeError);
}

TEST(DateTime, FieldsReadInWholeSeconds) {
  const DateTime t = MakeDateTime(2026, 3, 29, 23, 59, 59);
  EXPECT_EQ(23, t.Hour());
  EXPECT_EQ(59, t.Minute());
  EXPECT_EQ(59, t.Second());
  EXPECT_EQ(1, t.Weekday());  // a Sunday
  // A hair below the next second still reads as that second.
  EXPECT_EQ(0, DateTime(t.Serial() + 0.99999 / 86400.0).Second());
}

TEST(DateTime, TimeOfDayWrapsBothWays) {
  EXPECT_EQ(3 * 3600 + 29 * 60 + 56, WrapTimeOfDay(1, 149, 56));
  EXPECT_EQ(21 * 3600 + 10 * 60 + 1, WrapTimeOfDay(2, 10 - 300, 1));
  EXPECT_EQ(4 * 3600 + 15 * 60 + 1, WrapTimeOfDay(27, 15 + 60, 1));
  EXPECT_EQ(0, WrapTimeOfDay(23, 59, 60));
}

}  // namespace
}  // namespace tavrel
