#include "platform/date_time_win.h"

namespace sentrova {

bool OleDateTimeFromSystemTime(const SYSTEMTIME& st, OleDateTime& out) {
  DateTimeParts p;
  p.year = st.wYear;
  p.month = st.wMonth;
  p.day = st.wDay;
  p.hour = st.wHour;
  p.minute = st.wMinute;
  p.second = st.wSecond;
  p.millisecond = st.wMilliseconds;
  return EncodeOleDateTime(p, out);
}

bool SystemTimeFromOleDateTime(OleDateTime value, SYSTEMTIME& out) {
  DateTimeParts p;
  if (!DecodeOleDateTime(value, p)) return false;
  out.wYear = static_cast<WORD>(p.year);
  out.wMonth = static_cast<WORD>(p.month);
  out.wDay = static_cast<WORD>(p.day);
  out.wDayOfWeek = static_cast<WORD>(p.dayOfWeek);
  out.wHour = static_cast<WORD>(p.hour);
  out.wMinute = static_cast<WORD>(p.minute);
  out.wSecond = static_cast<WORD>(p.second);
  out.wMilliseconds = static_cast<WORD>(p.millisecond);
  return true;
}

bool OleDateTimeFromFileTime(const FILETIME& ft, OleDateTime& out) {
  const uint64_t ticks = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  return OleDateTimeFromFileTimeTicks(ticks, out);
}

bool FileTimeFromOleDateTime(OleDateTime value, FILETIME& out) {
  uint64_t ticks = 0;
  if (!FileTimeTicksFromOleDateTime(value, ticks)) return false;
  out.dwLowDateTime = static_cast<DWORD>(ticks);
  out.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return true;
}

bool LocalOleDateTimeFromUtcFileTime(const FILETIME& utc, OleDateTime& out) {
  FILETIME local{};
  if (!::FileTimeToLocalFileTime(&utc, &local)) return false;
  return OleDateTimeFromFileTime(local, out);
}

OleDateTime NowLocal() {
  SYSTEMTIME st{};
  ::GetLocalTime(&st);
  OleDateTime value = 0;
  OleDateTimeFromSystemTime(st, value);
  return value;
}

}  // namespace sentrova
