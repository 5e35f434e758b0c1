// ctest: serial
// Opening an address in a new browser window, against a stand-in for the
// Internet Explorer application object (tests/doubles/ie_double.cpp) that the
// test points the class's machine registration at for its duration.
#include <gtest/gtest.h>

#include <string>

#include "dialogs/browser_windows.h"
#include "platform/com.h"
#include "platform/registry.h"
#include "support/win_support.h"

namespace sentrova {
namespace {

constexpr char kServerKey[] = "CLSID\\{0002DF01-0000-0000-C000-000000000046}\\LocalServer32";
constexpr char kLogKey[] = "Software\\SentrovaTests\\IeDouble";

std::string DoubleLog() { return ReadRegString(HKEY_CURRENT_USER, kLogKey, "Log", ""); }

class OpenInNewBrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    original_ = ReadRegString(HKEY_CLASSES_ROOT, kServerKey, "", "");
    WriteRegString(HKEY_CLASSES_ROOT, kServerKey, "", true,
                   "\"" + test::BinDir() + "ie_double.exe\"");
    DeleteRegKey(HKEY_CURRENT_USER, kLogKey);
  }
  void TearDown() override {
    // The double ends when its object is released; wait for its last line.
    test::WaitFor([] { return DoubleLog().find("Released") != std::string::npos ||
                              DoubleLog().empty(); },
                  10000);
    if (original_.empty())
      DeleteRegKey(HKEY_CLASSES_ROOT, kServerKey);
    else
      WriteRegString(HKEY_CLASSES_ROOT, kServerKey, "", true, original_);
    DeleteRegKey(HKEY_CURRENT_USER, kLogKey);
  }

  ComApartment apartment_{COINIT_APARTMENTTHREADED};
  std::string original_;
};

TEST_F(OpenInNewBrowserTest, ShowsTheWindowThenNavigatesToTheTrimmedAddress) {
  EXPECT_FALSE(OpenInNewBrowser("  http://help.example.test/ask?topic=1 \t"));
  // The object is released when the call returns, so the log is complete.
  ASSERT_TRUE(test::WaitFor([] { return DoubleLog().find("Released") != std::string::npos; },
                            10000));
  EXPECT_EQ(DoubleLog(),
            "Created\n"
            "Visible -1\n"
            "HWND\n"
            "Navigate2 http://help.example.test/ask?topic=1 EMPTY,EMPTY,EMPTY,EMPTY\n"
            "Released\n");
}

TEST_F(OpenInNewBrowserTest, BlankAddressOpensNothing) {
  EXPECT_FALSE(OpenInNewBrowser(" \t "));
  EXPECT_FALSE(OpenInNewBrowser(""));
  // The call is synchronous: had it created the object, the double would
  // have written "Created" before the call returned.
  EXPECT_EQ(DoubleLog(), "");
}

TEST_F(OpenInNewBrowserTest, AMissingBrowserIsNoError) {
  DeleteRegKey(HKEY_CLASSES_ROOT, kServerKey);
  WriteRegString(HKEY_CLASSES_ROOT, kServerKey, "", true,
                 "\"" + test::BinDir() + "no_such_browser.exe\"");
  EXPECT_FALSE(OpenInNewBrowser("http://help.example.test/"));
  EXPECT_EQ(DoubleLog(), "");
}

}  // namespace
}  // namespace sentrova
