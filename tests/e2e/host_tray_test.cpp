// The running program's hidden window and tray, driven as the shell and the
// user would: the tray callback's right-click opens the menu, "Remove Icon"
// stores SHOW_TRAY = false in the host, ConfigChanged makes the tray follow
// the host's SHOW_TRAY, WM_CLOSE leaves the program running
// and the logon's end ends it.
#include <gtest/gtest.h>

#include <windows.h>

#include "host/config.h"
#include "host/host_contract.h"
#include "platform/com.h"
#include "platform/handle.h"
#include "platform/named_objects.h"
#include "platform/registry.h"
#include "toolkit/tray_icon.h"
#include "win/host_test_support.h"

namespace sentrova {
namespace {

constexpr DWORD kWaitMs = 20000;

class RunningProgram : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(test::RegisterStandInHost());
    ASSERT_TRUE(test::RunAndWait(test::Quoted(test::SentrovaExe()) + " /regserver", 60000).finished);
  }
  void SetUp() override {
    test::EndStrayPrograms();
    test::RunAndWait(test::Quoted(test::QbhostExe()) + " clear", 60000);
    test::RunAndWait(test::Quoted(test::QbhostExe()) + " set VRX SHOW_TRAY bool 1", 60000);
    ASSERT_HRESULT_SUCCEEDED(::CoCreateInstance(kVrxObjClassId, nullptr, CLSCTX_LOCAL_SERVER,
                                                kPluginInterfaceId, plugin_.put_void()));
    plugin_->SetInstanceId(Bstr(L"1001").get());
    plugin_->HostStarted();
    LONG connected = 0;
    plugin_->Connect(&connected);
    ASSERT_EQ(connected, 1);
    ASSERT_TRUE(test::WaitFor([&] { return (window_ = ::FindWindowA("VRXWndClass", "VRX")); },
                              kWaitMs));
    const std::vector<DWORD> ids = test::SentrovaProcesses();
    ASSERT_EQ(ids.size(), 1u);
    programId_ = ids[0];
    process_.reset(::OpenProcess(SYNCHRONIZE, FALSE, programId_));
  }
  // The program ends the host's way; a terminated server would stay known
  // to COM, and the next test's first object would find it gone.
  void TearDown() override {
    plugin_.reset();
    KernelHandle shutdown = OpenOrCreateEvent(kHostShutdownEvent, false, false, true);
    if (shutdown) ::SetEvent(shutdown.get());
    test::WaitFor([] { return test::SentrovaProcesses().empty(); }, kWaitMs);
    test::EndStrayPrograms();
  }
  bool Ended(DWORD waitMs) { return ::WaitForSingleObject(process_.get(), waitMs) == WAIT_OBJECT_0; }
  ComApartment com_{COINIT_MULTITHREADED};
  ComPtr<ITB4Plugin> plugin_;
  HWND window_ = nullptr;
  DWORD programId_ = 0;
  KernelHandle process_;
};

// Whether the shell holds the program's tray icon (the first icon of its
// hidden window): a modify that changes nothing succeeds only for an icon
// that the shell has.
bool TrayIconPresent(HWND window) {
  NOTIFYICONDATAA record{};
  record.cbSize = kTrayRecordSize;
  record.hWnd = window;
  record.uID = 1;
  return ::Shell_NotifyIconA(NIM_MODIFY, &record) != FALSE;
}

TEST_F(RunningProgram, ConfigChangedShowsOrHidesTheTrayAsTheHostNowHoldsIt) {
  ASSERT_TRUE(test::WaitFor([&] { return TrayIconPresent(window_); }, kWaitMs));
  ComPtr<ITB4Server> service = CreateHostService();
  for (bool shown : {false, true, false}) {
    ASSERT_HRESULT_SUCCEEDED(test::WriteVrxBool(service.get(), "SHOW_TRAY", shown));
    ASSERT_HRESULT_SUCCEEDED(plugin_->ConfigChanged());
    EXPECT_TRUE(test::WaitFor([&] { return TrayIconPresent(window_) == shown; }, kWaitMs))
        << "SHOW_TRAY " << shown;
  }
}

TEST_F(RunningProgram, RemoveIconFromTheTrayMenuStoresTheHiddenTray) {
  ComPtr<ITB4Server> service = CreateHostService();
  auto stored = [&] {
    VARIANT_BOOL v = 1;
    service->ReadBool(Bstr(L"VRX").get(), Bstr(L"SHOW_TRAY").get(), 1, &v);
    return v != 0;
  };
  ASSERT_TRUE(stored());
  // The first tray icon of the process has the id 1.
  ::PostMessageA(window_, kTrayCallbackMessage, 1, WM_RBUTTONDOWN);
  HWND menu = nullptr;
  ASSERT_TRUE(test::WaitFor([&] { return (menu = test::ShownMenuOf(programId_)) != nullptr; },
                            kWaitMs));
  for (int i = 0; i < 5; ++i) ::PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
  ::PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_TRUE(test::WaitFor([&] { return !stored(); }, kWaitMs));
}

TEST_F(RunningProgram, SettingsOpenInTheHostsWindow) {
  ASSERT_HRESULT_SUCCEEDED(plugin_->MenuCommand(0, Bstr(L"OPT").get()));
  const std::string record = "Software\\Quillbox\\TB4\\Windows\\VRX";
  ASSERT_TRUE(test::WaitFor(
      [&] { return test::RegText(HKEY_CURRENT_USER, record, "Address").has_value(); },
      kWaitMs));
  EXPECT_EQ(test::RegText(HKEY_CURRENT_USER, record, "Address"),
            "res://" + test::SentrovaExe() + "/options");
  EXPECT_EQ(test::RegText(HKEY_CURRENT_USER, record, "Caption"), "Sentrova Settings");
  EXPECT_EQ(ReadRegInteger(HKEY_CURRENT_USER, record, "Width", 0), 450);
  EXPECT_EQ(ReadRegInteger(HKEY_CURRENT_USER, record, "Height", 0), 470);
}

TEST_F(RunningProgram, CloseLeavesItRunningAndTheLogonEndEndsIt) {
  ::PostMessageA(window_, WM_CLOSE, 0, 0);
  EXPECT_FALSE(Ended(2000));
  EXPECT_TRUE(::IsWindow(window_));
  ::PostMessageA(window_, WM_ENDSESSION, TRUE, 0);
  EXPECT_TRUE(Ended(kWaitMs));
}

}  // namespace
}  // namespace sentrova
