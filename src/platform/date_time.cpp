#include "platform/date_time.h"

#include <cmath>

namespace sentrova {

namespace {

constexpr double kMsPerDay = 86400000.0;
// Days from 1 January 0001 to 30 December 1899 in the proleptic Gregorian calendar.
constexpr int64_t kEpochDayNumber = 693593;
// The OLE range this program accepts: 1 January 100 to 31 December 9999.
constexpr double kMinDate = -657434.0;
constexpr double kMaxDate = 2958466.0;  // exclusive: 1 January 10000
// FILETIME ticks from 1 January 1601 to 30 December 1899.
constexpr int64_t kTicksPerDay = 864000000000LL;
constexpr int64_t kFileTimeEpochDays = 109205;

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return (m == 2 && IsLeap(y)) ? 29 : days[m - 1];
}

// Days since 1 January 0001 (day 0) for a valid date.
int64_t DayNumber(int y, int m, int d) {
  int64_t n = 0;
  const int64_t py = y - 1;
  n = py * 365 + py / 4 - py / 100 + py / 400;
  for (int i = 1; i < m; ++i) n += DaysInMonth(y, i);
  return n + d - 1;
}

void FromDayNumber(int64_t n, int& y, int& m, int& d) {
  // 400-year cycles of 146097 days, then centuries, 4-year groups and years.
  int64_t y400 = n / 146097;
  n %= 146097;
  int64_t y100 = n / 36524;
  if (y100 == 4) y100 = 3;
  n -= y100 * 36524;
  int64_t y4 = n / 1461;
  n %= 1461;
  int64_t y1 = n / 365;
  if (y1 == 4) y1 = 3;
  n -= y1 * 365;
  y = static_cast<int>(y400 * 400 + y100 * 100 + y4 * 4 + y1 + 1);
  m = 1;
  while (n >= DaysInMonth(y, m)) {
    n -= DaysInMonth(y, m);
    ++m;
  }
  d = static_cast<int>(n) + 1;
}

}  // namespace

bool EncodeOleDateTime(const DateTimeParts& p, OleDateTime& out) {
  if (p.year < 100 || p.year > 9999 || p.month < 1 || p.month > 12 || p.day < 1 ||
      p.day > DaysInMonth(p.year, p.month) || p.hour < 0 || p.hour > 23 || p.minute < 0 ||
      p.minute > 59 || p.second < 0 || p.second > 59 || p.millisecond < 0 ||
      p.millisecond > 999)
    return false;
  const double days = static_cast<double>(DayNumber(p.year, p.month, p.day) - kEpochDayNumber);
  const double fraction =
      ((p.hour * 60.0 + p.minute) * 60.0 + p.second) * 1000.0 + p.millisecond;
  // Before the epoch the integer part counts backwards while the fraction
  // still counts forwards: -1.25 is 29 December 1899, 06:00.
  out = days >= 0 ? days + fraction / kMsPerDay : days - fraction / kMsPerDay;
  return true;
}

bool DecodeOleDateTime(OleDateTime value, DateTimeParts& out) {
  if (!std::isfinite(value) || value <= kMinDate - 1 || value >= kMaxDate) return false;
  double whole = std::trunc(value);
  double fraction = std::fabs(value - whole);
  auto ms = static_cast<int64_t>(std::llround(fraction * kMsPerDay));
  if (ms >= static_cast<int64_t>(kMsPerDay)) {  // rounded up to the next day
    ms = 0;
    whole += value >= 0 ? 1 : -1;
  }
  const int64_t dayNumber = static_cast<int64_t>(whole) + kEpochDayNumber;
  if (dayNumber < 0) return false;
  DateTimeParts p;
  FromDayNumber(dayNumber, p.year, p.month, p.day);
  if (p.year < 100 || p.year > 9999) return false;
  p.millisecond = static_cast<int>(ms % 1000);
  p.second = static_cast<int>((ms / 1000) % 60);
  p.minute = static_cast<int>((ms / 60000) % 60);
  p.hour = static_cast<int>(ms / 3600000);
  p.dayOfWeek = static_cast<int>((dayNumber + 1) % 7);  // 1 January 0001 was a Monday
  out = p;
  return true;
}

bool OleDateTimeFromFileTimeTicks(uint64_t ticks, OleDateTime& out) {
  const auto t = static_cast<int64_t>(ticks);
  if (t < 0) return false;
  const int64_t days = t / kTicksPerDay - kFileTimeEpochDays;
  const double fraction = static_cast<double>(t % kTicksPerDay) / static_cast<double>(kTicksPerDay);
  const double value = days >= 0 ? static_cast<double>(days) + fraction
                                  : static_cast<double>(days) - fraction;
  if (value >= kMaxDate) return false;
  out = value;
  return true;
}

bool FileTimeTicksFromOleDateTime(OleDateTime value, uint64_t& ticks) {
  if (!std::isfinite(value) || value <= kMinDate - 1 || value >= kMaxDate) return false;
  const double whole = std::trunc(value);
  const double fraction = std::fabs(value - whole);
  const int64_t days = static_cast<int64_t>(whole) + kFileTimeEpochDays;
  if (days < 0) return false;
  ticks = static_cast<uint64_t>(days * kTicksPerDay +
                                std::llround(fraction * static_cast<double>(kTicksPerDay)));
  return true;
}

}  // namespace sentrova
