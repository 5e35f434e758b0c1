#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/resource_text.h"

namespace sentrova {
namespace {

using Lines = std::vector<std::string>;

// The bytes of a literal, embedded NULs included.
template <size_t N>
std::string Bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

TEST(ResourceLines, StopsAtTheFirstNulAndKeepsEmptyLines) {
  const std::string bytes = Bytes("A=1\r\nB=2\r\n\r\nC=\r\n\0D=4\r\n");
  EXPECT_EQ(ResourceLines(bytes), (Lines{"A=1", "B=2", "", "C="}));
  EXPECT_EQ(ResourceLines(Bytes("\0\0")), Lines{});
  EXPECT_EQ(ResourceLines("X=1"), (Lines{"X=1"}));
  // A missing NUL is tolerated: the text simply runs to the end.
  EXPECT_EQ(ResourceLines("X=1\r\n\r\n"), (Lines{"X=1", ""}));
}

TEST(FindResourceValue, MatchesWholeNamesWithoutRegardToCase) {
  const Lines lines{"HELP_URL=http://h/?a=b", "", "help=x", "ABOUT_URL=", "NOEQUALS", "SHOW_TRAY=1"};
  EXPECT_EQ(FindResourceValue(lines, "help_url"), "http://h/?a=b");
  EXPECT_EQ(FindResourceValue(lines, "HELP"), "x");
  EXPECT_EQ(FindResourceValue(lines, "ABOUT_URL"), "");
  EXPECT_EQ(FindResourceValue(lines, "NOEQUALS"), std::nullopt);
  EXPECT_EQ(FindResourceValue(lines, "HELP_UR"), std::nullopt);
  EXPECT_EQ(FindResourceValue(Lines{"K=first", "K=second"}, "K"), "first");
}

TEST(DefaultsText, JoinsBothPartsWithAnEmptyLineAfterEach) {
  const Lines defset{"RUN_AUTO=0", "", "M_NET_SIGN=1"};
  const Lines config{"AF_ID=1", "BRAND="};
  std::string text;
  AppendDefaultsPart(text, defset);
  AppendDefaultsPart(text, config);
  EXPECT_EQ(text, "RUN_AUTO=0\r\n\r\nM_NET_SIGN=1\r\n\r\nAF_ID=1\r\nBRAND=\r\n\r\n");

  // Without a CONFIG part the DEFSET part stands alone.
  std::string onlyDefset;
  AppendDefaultsPart(onlyDefset, defset);
  EXPECT_EQ(onlyDefset, "RUN_AUTO=0\r\n\r\nM_NET_SIGN=1\r\n\r\n");
}

TEST(DefaultsText, BuiltFromResourceBytesAsTheProgramCarriesThem) {
  // The shape of the real resources: a group gap, the last DEFSET line with
  // its line end and a NUL; CONFIG followed by two NULs.
  const std::string defset = Bytes("RUN_AUTO=0\r\nRUN_DELAY=30\r\n\r\nM_NET_SIGN=1\r\n\0");
  const std::string config = Bytes("AF_ID=1\r\nBRAND_DOMAIN=brindle-soft.example\r\n\0\0");
  std::string text;
  AppendDefaultsPart(text, ResourceLines(defset));
  AppendDefaultsPart(text, ResourceLines(config));
  EXPECT_EQ(text.rfind("RUN_AUTO=0\r\n", 0), 0u);
  EXPECT_NE(text.find("M_NET_SIGN=1\r\n\r\nAF_ID=1\r\n"), std::string::npos);
  EXPECT_EQ(text.find('\0'), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 4), "\r\n\r\n");
}

TEST(ApplyConfigLines, TakesTrimmedAddressesAndTheTrayDefault) {
  ConfigAddresses a = DefaultConfigAddresses();
  const ConfigAddresses builtIn = a;
  ApplyConfigLines(Lines{"HELP_URL=  http://help/ \t", "SETTINGS_HELP=http://s/?i=",
                         "SHOW_TRAY=1"},
                   a);
  EXPECT_EQ(a.helpUrl, "http://help/");
  EXPECT_EQ(a.settingsHelpUrl, "http://s/?i=");
  EXPECT_EQ(a.aboutUrl, builtIn.aboutUrl);  // not named: unchanged
  EXPECT_TRUE(a.trayDefault);

  ApplyConfigLines(Lines{"SHOW_TRAY=yes"}, a);
  EXPECT_FALSE(a.trayDefault);
  a.trayDefault = true;
  ApplyConfigLines(Lines{"SHOW_TRAY= 1"}, a);
  EXPECT_FALSE(a.trayDefault);  // exactly "1"
}

TEST(ApplyConfigLines, BuiltInAddressesStandWithoutConfig) {
  ConfigAddresses a = DefaultConfigAddresses();
  ApplyConfigLines(Lines{}, a);
  EXPECT_EQ(a.helpUrl, DefaultConfigAddresses().helpUrl);
  EXPECT_FALSE(a.helpUrl.empty());
  EXPECT_FALSE(a.aboutUrl.empty());
  // The settings pages append a topic number.
  ASSERT_GE(a.settingsHelpUrl.size(), 2u);
  EXPECT_EQ(a.settingsHelpUrl.substr(a.settingsHelpUrl.size() - 2), "i=");
  EXPECT_FALSE(a.trayDefault);
}

}  // namespace
}  // namespace sentrova
