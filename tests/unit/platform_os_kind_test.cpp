#include <gtest/gtest.h>

#include "platform/os_kind.h"

namespace sentrova {
namespace {

struct Case {
  uint32_t platform, major, minor;
  uint8_t product;
  uint8_t kind;
  bool xpClass;
  const char* system;
};

TEST(OsKind, ClassifiesEverySystemOfTheTable) {
  const Case cases[] = {
      {0, 3, 11, 1, kOsWin32s, false, "Win32s"},
      {3, 10, 0, 1, kOsWin32s, false, "CE or unknown platform"},
      {1, 4, 0, 0, kOsWin95, false, "Windows 95"},
      {1, 4, 10, 0, kOsWin98, false, "Windows 98"},
      {1, 4, 90, 0, kOsWinME, false, "Windows ME"},
      {1, 4, 3, 0, kOsWin95, false, "95 OSR2 minor number"},
      {2, 3, 51, 1, kOsWinNT4, false, "NT 3.51"},
      {2, 4, 0, 1, kOsWinNT4, false, "NT 4"},
      {2, 5, 0, 1, kOsWin2000, false, "Windows 2000 Professional"},
      {2, 5, 0, 3, kOsWin2000, false, "Windows 2000 Server"},
      {2, 5, 1, 1, kOsWinXP, true, "Windows XP"},
      {2, 5, 2, 3, kOsWinServer2003, false, "Windows Server 2003"},
      {2, 5, 2, 2, kOsWinServer2003, false, "Server 2003 domain controller"},
      {2, 6, 0, 1, kOsWin2000, false, "Vista workstation classifies as 5"},
      {2, 6, 1, 1, kOsWinXP, true, "Windows 7 workstation"},
      {2, 6, 1, 3, kOsWinServer2003, false, "Server 2008 R2"},
      {2, 10, 0, 1, kOsWin2000, false, "Windows 10 reports minor 0"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ClassifyOsKind(c.platform, c.major, c.minor, c.product), c.kind) << c.system;
    EXPECT_EQ(IsXpClass(c.platform, c.major, c.minor, c.product), c.xpClass) << c.system;
  }
}

}  // namespace
}  // namespace sentrova
