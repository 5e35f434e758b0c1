// Classification of the running Windows version. Platform-free table; the
// live facts are in system_facts.h.
#pragma once

#include <cstdint>

namespace sentrova {

enum OsKindValue : uint8_t {
  kOsWin32s = 0,
  kOsWin95 = 1,
  kOsWin98 = 2,
  kOsWinNT4 = 3,
  kOsWinME = 4,
  kOsWin2000 = 5,
  kOsWinXP = 6,
  kOsWinServer2003 = 7,
};

// platformId: 1 = Windows 9x, 2 = NT. productType: 1 = workstation.
// The rules apply as written to later versions too (6.0 -> 5, 6.1 -> 6 or 7).
uint8_t ClassifyOsKind(uint32_t platformId, uint32_t major, uint32_t minor,
                       uint8_t productType);

// The "XP class" of the start-up: NT platform, major above 4, minor not 0,
// workstation.
bool IsXpClass(uint32_t platformId, uint32_t major, uint32_t minor, uint8_t productType);

}  // namespace sentrova
