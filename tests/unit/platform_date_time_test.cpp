#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/date_time.h"

namespace sentrova {
namespace {

DateTimeParts Parts(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
  DateTimeParts p;
  p.year = y;
  p.month = mo;
  p.day = d;
  p.hour = h;
  p.minute = mi;
  p.second = s;
  p.millisecond = ms;
  return p;
}

double Encode(const DateTimeParts& p) {
  double v = std::numeric_limits<double>::quiet_NaN();
  EXPECT_TRUE(EncodeOleDateTime(p, v));
  return v;
}

TEST(OleDateTime, KnownDaysAndTimes) {
  EXPECT_DOUBLE_EQ(Encode(Parts(1899, 12, 30)), 0.0);
  EXPECT_DOUBLE_EQ(Encode(Parts(1899, 12, 31)), 1.0);
  EXPECT_DOUBLE_EQ(Encode(Parts(1900, 1, 1)), 2.0);
  EXPECT_DOUBLE_EQ(Encode(Parts(1900, 3, 1)), 61.0);  // 1900 is not a leap year
  EXPECT_DOUBLE_EQ(Encode(Parts(2000, 1, 1)), 36526.0);
  EXPECT_DOUBLE_EQ(Encode(Parts(2026, 12, 7, 18)), 46363.75);
  EXPECT_NEAR(Encode(Parts(2026, 12, 7, 10, 30)) - Encode(Parts(2026, 12, 7, 10)),
              30 * kOneMinute, 1e-9);
  // Before the epoch the fraction still counts forward in the day.
  EXPECT_DOUBLE_EQ(Encode(Parts(1899, 12, 29, 6)), -1.25);
}

TEST(OleDateTime, RoundTripsToTheMillisecond) {
  const DateTimeParts samples[] = {Parts(1899, 12, 29, 6), Parts(1601, 1, 1),
                                   Parts(2000, 2, 29, 23, 59, 59, 999), Parts(2024, 2, 29, 12),
                                   Parts(9999, 12, 31, 23, 59, 59, 999), Parts(100, 1, 1, 0, 0, 1)};
  for (const auto& p : samples) {
    DateTimeParts back;
    ASSERT_TRUE(DecodeOleDateTime(Encode(p), back)) << p.year;
    EXPECT_EQ(back.year, p.year);
    EXPECT_EQ(back.month, p.month);
    EXPECT_EQ(back.day, p.day);
    EXPECT_EQ(back.hour, p.hour);
    EXPECT_EQ(back.minute, p.minute);
    EXPECT_EQ(back.second, p.second);
    EXPECT_EQ(back.millisecond, p.millisecond) << p.year;
  }
  DateTimeParts monday;
  ASSERT_TRUE(DecodeOleDateTime(Encode(Parts(2026, 12, 7)), monday));
  EXPECT_EQ(monday.dayOfWeek, 1);
}

TEST(OleDateTime, RejectsInvalidFieldsAndValues) {
  double v = 42;
  EXPECT_FALSE(EncodeOleDateTime(Parts(2023, 2, 29), v));
  EXPECT_FALSE(EncodeOleDateTime(Parts(2024, 13, 1), v));
  EXPECT_FALSE(EncodeOleDateTime(Parts(2024, 0, 1), v));
  EXPECT_FALSE(EncodeOleDateTime(Parts(2024, 1, 1, 24), v));
  EXPECT_FALSE(EncodeOleDateTime(Parts(99, 1, 1), v));
  EXPECT_FALSE(EncodeOleDateTime(Parts(10000, 1, 1), v));
  EXPECT_EQ(v, 42);
  DateTimeParts p;
  EXPECT_FALSE(DecodeOleDateTime(std::numeric_limits<double>::quiet_NaN(), p));
  EXPECT_FALSE(DecodeOleDateTime(std::numeric_limits<double>::infinity(), p));
  EXPECT_FALSE(DecodeOleDateTime(1e12, p));
  EXPECT_FALSE(DecodeOleDateTime(-1e12, p));
}

TEST(OleDateTime, FileTimeTicks) {
  // 1 January 1601 is day -109205; 30 December 1899 is tick 94353120000000000.
  double v = 0;
  ASSERT_TRUE(OleDateTimeFromFileTimeTicks(94353120000000000ULL, v));
  EXPECT_DOUBLE_EQ(v, 0.0);
  ASSERT_TRUE(OleDateTimeFromFileTimeTicks(0, v));
  EXPECT_DOUBLE_EQ(v, Encode(Parts(1601, 1, 1)));
  uint64_t ticks = 0;
  const double noon = Encode(Parts(2026, 12, 7, 12, 0, 0, 500));
  ASSERT_TRUE(FileTimeTicksFromOleDateTime(noon, ticks));
  double back = 0;
  ASSERT_TRUE(OleDateTimeFromFileTimeTicks(ticks, back));
  EXPECT_NEAR(back, noon, 1e-9);
  // 1 January 10000 and beyond is out of range; so is a "negative" FILETIME.
  EXPECT_FALSE(OleDateTimeFromFileTimeTicks(0x7fffffffffffffffULL, v));
  EXPECT_FALSE(OleDateTimeFromFileTimeTicks(0x8000000000000000ULL, v));
  EXPECT_FALSE(FileTimeTicksFromOleDateTime(-109206.0, ticks));  // before 1601
}

}  // namespace
}  // namespace sentrova
