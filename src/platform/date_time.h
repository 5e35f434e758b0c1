// OLE date-times: days since 30 December 1899 as a double, with the time of
// day as the fraction (one minute is 1/1440). Platform-free conversions; the
// SYSTEMTIME/FILETIME ones are in date_time_win.h.
#pragma once

#include <cstdint>

namespace sentrova {

using OleDateTime = double;

constexpr double kMinutesPerDay = 1440.0;
constexpr double kOneMinute = 1.0 / kMinutesPerDay;
constexpr double kOneHour = 1.0 / 24.0;

struct DateTimeParts {
  int year = 1899, month = 12, day = 30;  // calendar date (Gregorian)
  int hour = 0, minute = 0, second = 0, millisecond = 0;
  int dayOfWeek = 0;                      // 0 = Sunday; filled by the decoder
};

// Encodes a calendar date and time. False (and `out` untouched) when a field
// is out of range (month 1-12, the day within its month, year 100-9999,
// hour < 24, minute and second < 60, millisecond < 1000).
bool EncodeOleDateTime(const DateTimeParts& parts, OleDateTime& out);

// Decodes a date-time to the nearest millisecond. False for values outside
// the years 100-9999 and for NaN or infinities.
bool DecodeOleDateTime(OleDateTime value, DateTimeParts& out);

// FILETIME ticks (100 ns since 1 January 1601, UTC or local as given) to an
// OLE date-time and back. False when the value is out of the OLE range.
bool OleDateTimeFromFileTimeTicks(uint64_t ticks, OleDateTime& out);
bool FileTimeTicksFromOleDateTime(OleDateTime value, uint64_t& ticks);

}  // namespace sentrova
