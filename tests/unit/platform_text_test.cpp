#include <gtest/gtest.h>

#include "platform/reg_path.h"
#include "platform/text.h"

namespace sentrova {
namespace {

TEST(NormalizeKeyPath, CollapsesBackslashRunsAndTrims) {
  EXPECT_EQ(NormalizeKeyPath("  Software\\\\Quillbox\\\\\\PlugIns\\VRX\\ \t"),
            "Software\\Quillbox\\PlugIns\\VRX");
  EXPECT_EQ(NormalizeKeyPath("\\\\\\"), "");
  EXPECT_EQ(NormalizeKeyPath("A\\B"), "A\\B");
  // Only one trailing backslash goes; a run was collapsed to one before that.
  EXPECT_EQ(NormalizeKeyPath("A\\\\"), "A");
  // Inner blanks stay.
  EXPECT_EQ(NormalizeKeyPath(" Internet Settings\\Zones\\3 "), "Internet Settings\\Zones\\3");
}

TEST(Trim, RemovesCodesOneToThirtyTwoOnly) {
  EXPECT_EQ(Trim("\x01\x1f abc def \r\n\x20"), "abc def");
  EXPECT_EQ(Trim(""), "");
  EXPECT_EQ(Trim(" \t\r\n"), "");
  // NUL and bytes above 127 are not blanks.
  EXPECT_EQ(Trim(std::string("\0a\0", 3)), std::string("\0a\0", 3));
  EXPECT_EQ(Trim("\xa0x\xa0"), "\xa0x\xa0");
  EXPECT_EQ(TrimLeft("  a  "), "a  ");
  EXPECT_EQ(TrimRight("  a  "), "  a");
}

TEST(AsciiCase, TouchesAsciiLettersOnly) {
  EXPECT_EQ(UpperAscii("/cleanUp-\xe4z"), "/CLEANUP-\xe4Z");
  EXPECT_EQ(LowerAscii("C:\\PROGRA~1\\\xc4X.EXE"), "c:\\progra~1\\\xc4x.exe");
  EXPECT_TRUE(SameTextAscii("%Brand_Long%", "%BRAND_LONG%"));
  EXPECT_FALSE(SameTextAscii("\xe4", "\xc4"));
  EXPECT_FALSE(SameTextAscii("abc", "abcd"));
  EXPECT_TRUE(StartsWithNoCase("Cookie:user@host/", "cookie:"));
  EXPECT_FALSE(StartsWithNoCase("Cook", "cookie:"));
  EXPECT_EQ(FindNoCase("a %brand% b %BRAND%", "%BRAND%", 3), 12u);
  EXPECT_EQ(FindNoCase("abc", "x"), std::string::npos);
}

TEST(SplitLines, HandlesEveryLineBreak) {
  EXPECT_EQ(SplitLines("a\r\nb\nc\rd"), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitLines("a\r\n\r\nb\r\n"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_TRUE(SplitLines("").empty());
}

TEST(ParseInt32, AcceptsWholeDecimalNumbersOnly) {
  int v = 7;
  EXPECT_TRUE(ParseInt32("123", v));
  EXPECT_EQ(v, 123);
  EXPECT_TRUE(ParseInt32("-2147483648", v));
  EXPECT_EQ(v, INT32_MIN);
  EXPECT_TRUE(ParseInt32("+2147483647", v));
  EXPECT_EQ(v, INT32_MAX);
  v = 7;
  for (const char* bad : {"", "-", "2147483648", "-2147483649", "12a", " 1", "1 ", "0x10",
                          "99999999999999999999"}) {
    EXPECT_FALSE(ParseInt32(bad, v)) << bad;
    EXPECT_EQ(v, 7) << bad;
  }
}

}  // namespace
}  // namespace sentrova
