// ctest: serial
// The settings in a browser window of the program's own, for a host whose
// service object offers no ITB4Server: the AsQ value, a small browser
// window without bars at the stated place and on top, and the reuse of a
// window that is still there. The host's service and the browser are doubles
// registered for this process.
#include <gtest/gtest.h>

#include <windows.h>
#include <exdisp.h>

#include <string>

#include "host/host_contract.h"
#include "platform/com.h"
#include "platform/date_time_win.h"
#include "platform/system_facts.h"
#include "state/process_state.h"
#include "ui/settings_opener.h"
#include "win/browser_double.h"
#include "win/class_override.h"

namespace sentrova {
namespace {

using Calls = test::BrowserDouble::Calls;

constexpr char kToolbarKey[] = "Software\\Toolbar";

class OwnSettingsWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host_.Registered());
    ASSERT_TRUE(browser_.Registered());
    window_ = ::CreateWindowExA(0, "STATIC", "settings", WS_OVERLAPPEDWINDOW, 5, 5, 300, 200,
                                nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window_, nullptr);
    browser_.window = window_;
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, kToolbarKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ::RegDeleteValueA(key, "AsQ");
    ::RegCloseKey(key);
    State().SettingsWindow = nullptr;
  }
  void TearDown() override {
    State().SettingsWindow = nullptr;
    if (window_ != nullptr) ::DestroyWindow(window_);
    ::RegDeleteKeyA(HKEY_CURRENT_USER, kToolbarKey);
  }
  static double AsQ() {
    double value = 0;
    DWORD size = sizeof value;
    DWORD type = 0;
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, kToolbarKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
      return 0;
    }
    if (::RegQueryValueExA(key, "AsQ", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_BINARY || size != sizeof value)
      value = 0;
    ::RegCloseKey(key);
    return value;
  }
  // Shown, on top of every other window, at the middle of the screen less
  // 230 and 245, its size kept.
  void ExpectInFront() {
    RECT r{};
    ::GetWindowRect(window_, &r);
    EXPECT_EQ(r.left, ::GetSystemMetrics(SM_CXSCREEN) / 2 - 230);
    EXPECT_EQ(r.top, ::GetSystemMetrics(SM_CYSCREEN) / 2 - 245);
    EXPECT_EQ(r.right - r.left, 300);
    EXPECT_EQ(r.bottom - r.top, 200);
    EXPECT_NE(::GetWindowLongA(window_, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_TRUE(::IsWindowVisible(window_));
  }

  ComApartment com_{COINIT_MULTITHREADED};
  // The host's service class hands out an object without ITB4Server.
  test::ClassOverride host_{kHostServiceClassId,
                            [this](REFIID iid, void** out) { return host_.QueryInterface(iid, out); }};
  test::BrowserDouble browser_;
  HWND window_ = nullptr;
};

TEST_F(OwnSettingsWindow, OpensASmallBrowserWithoutBarsInFrontAndTellsTheHostToWait) {
  const double before = NowLocal();
  OpenSettings();
  EXPECT_EQ(browser_.Creations(), 1);
  EXPECT_EQ(browser_.Take(),
            (Calls{"Width 456", "Height 526", "MenuBar 0", "ToolBar 0", "AddressBar 0",
                   "StatusBar 0", "Resizable 0", "HWND",
                   "Navigate res://" + ProgramFileName() + "/settings"}));
  EXPECT_EQ(State().SettingsWindow.load(), window_);
  ExpectInFront();
  // Twenty minutes from now.
  EXPECT_NEAR(AsQ(), before + 20.0 / 1440, 5.0 / 86400);
}

TEST_F(OwnSettingsWindow, AWindowStillThereIsBroughtBackAndAGoneOneReplaced) {
  OpenSettings();
  ::SetWindowPos(window_, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE);
  ::ShowWindow(window_, SW_HIDE);
  OpenSettings();
  EXPECT_EQ(browser_.Creations(), 1);
  ExpectInFront();

  State().SettingsWindow = reinterpret_cast<HWND>(static_cast<intptr_t>(0x7FFF0));
  OpenSettings();
  EXPECT_EQ(browser_.Creations(), 2);
  EXPECT_EQ(State().SettingsWindow.load(), window_);
}

}  // namespace
}  // namespace sentrova
