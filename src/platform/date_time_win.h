// OLE date-time conversions from and to the Win32 time records.
#pragma once

#include <windows.h>

#include "platform/date_time.h"

namespace sentrova {

// False (out untouched) when the record is not a valid time.
bool OleDateTimeFromSystemTime(const SYSTEMTIME& st, OleDateTime& out);
bool SystemTimeFromOleDateTime(OleDateTime value, SYSTEMTIME& out);
// A FILETIME as it stands (no zone change) and back.
bool OleDateTimeFromFileTime(const FILETIME& ft, OleDateTime& out);
bool FileTimeFromOleDateTime(OleDateTime value, FILETIME& out);
// A UTC FILETIME (as the file system and the URL cache report them) to a local
// date-time; false when the conversion fails.
bool LocalOleDateTimeFromUtcFileTime(const FILETIME& utc, OleDateTime& out);
// Now, in local time.
OleDateTime NowLocal();

}  // namespace sentrova
