#include "platform/os_kind.h"

namespace sentrova {

uint8_t ClassifyOsKind(uint32_t platformId, uint32_t major, uint32_t minor, uint8_t productType) {
  if (platformId == 1) {
    if (major == 4 && minor == 10) return kOsWin98;
    if (major == 4 && minor == 90) return kOsWinME;
    return kOsWin95;
  }
  if (platformId == 2) {
    if (major < 5) return kOsWinNT4;
    if (minor == 0) return kOsWin2000;
    return productType == 1 ? kOsWinXP : kOsWinServer2003;
  }
  return kOsWin32s;
}

bool IsXpClass(uint32_t platformId, uint32_t major, uint32_t minor, uint8_t productType) {
  return platformId == 2 && major > 4 && minor != 0 && productType == 1;
}

}  // namespace sentrova
