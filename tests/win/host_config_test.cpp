// ctest: serial
// TConfig against the stand-in host's service (qbhost.dll), and the
// service's store: reads give the written value, the plug-in's default or
// the call default; writes keep their types.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

#include "host/config.h"
#include "platform/com.h"
#include "win/host_test_support.h"

namespace sentrova {
namespace {

constexpr char kStore[] = "Software\\Quillbox\\TB4";

class HostConfig : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(test::RegisterStandInHost()); }
  void SetUp() override { ::RegDeleteTreeA(HKEY_CURRENT_USER, kStore); }
  void TearDown() override { ::RegDeleteTreeA(HKEY_CURRENT_USER, kStore); }

  // The plug-in's defaults as the stand-in host keeps them after GetDefaults.
  void SetDefault(const char* key, const char* value) {
    HKEY k = nullptr;
    ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, (std::string(kStore) + "\\Defaults\\VRX").c_str(),
                                0, nullptr, 0, KEY_SET_VALUE, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExA(k, key, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                     static_cast<DWORD>(std::strlen(value) + 1));
    ::RegCloseKey(k);
  }
  ComApartment com_;
};

TEST_F(HostConfig, ReadsYieldTheCallDefaultForKeysTheHostDoesNotHold) {
  TConfig config;
  EXPECT_TRUE(config.GetBool("IE_HIST", -1));
  EXPECT_FALSE(config.GetBool("IE_HIST", 0));
  EXPECT_EQ(config.GetDate("LAST_SCAN", 0), 0.0);
  EXPECT_EQ(config.GetStr("HOME_URL", -1), "");

  // Read directly, the service reports that it does not know the key.
  VARIANT_BOOL value = 0;
  Bstr ns(L"VRX");
  Bstr key(L"IE_HIST");
  EXPECT_TRUE(FAILED(config.Service()->ReadBool(ns.get(), key.get(), -1, &value)));
  EXPECT_EQ(value, VARIANT_TRUE);
}

// A host service whose every call fails without answering (a host that has
// gone away behind its proxy): a table of slots that all report E_FAIL.
struct FailingService {
  static HRESULT STDMETHODCALLTYPE Fail(void*) { return E_FAIL; }
  static HRESULT STDMETHODCALLTYPE QueryInterface(void*, REFIID, void** out) {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  static ULONG STDMETHODCALLTYPE Count(void*) { return 1; }
  FailingService() {
    slots[0] = reinterpret_cast<void*>(&QueryInterface);
    slots[1] = slots[2] = reinterpret_cast<void*>(&Count);
    for (size_t i = 3; i < std::size(slots); ++i) slots[i] = reinterpret_cast<void*>(&Fail);
  }
  ITB4Server* get() { return reinterpret_cast<ITB4Server*>(&table); }
  void* slots[64];
  void** table = slots;
};

TEST_F(HostConfig, AFailingServiceReadsEverySwitchOff) {
  FailingService failing;
  TConfig config(ComPtr<ITB4Server>(failing.get()));
  EXPECT_FALSE(config.GetBool("M_COOKIE_1", -1));
  EXPECT_FALSE(config.GetBool("VRX_ALL", -1));
}

TEST_F(HostConfig, DefaultsFromThePluginAnswerUntilAValueIsWritten) {
  SetDefault("IE_HIST", "0");
  SetDefault("HOME_MON", "1");
  SetDefault("RUN_DELAY", " 15 ");
  TConfig config;
  EXPECT_FALSE(config.GetBool("IE_HIST", -1));
  EXPECT_TRUE(config.GetBool("HOME_MON", 0));
  EXPECT_EQ(config.GetStr("RUN_DELAY", 0), " 15 ");

  config.SetBool("IE_HIST", true, true);
  EXPECT_TRUE(config.GetBool("IE_HIST", 0));
  config.SetBool("HOME_MON", false, true);
  EXPECT_FALSE(config.GetBool("HOME_MON", -1));
  // Another TConfig (another service object) sees the same store.
  TConfig other;
  EXPECT_TRUE(other.GetBool("IE_HIST", 0));
}

TEST_F(HostConfig, ValuesKeepTheirTypesInTheStore) {
  TConfig config;
  config.SetBool("RUN_AUTO", true, true);
  config.SetDate("LAST_SCAN", 45000.75, true);
  config.Commit();
  // true goes to the host as -1.
  VARIANT_BOOL stored = 0;
  DWORD size = sizeof stored;
  DWORD type = 0;
  ASSERT_EQ(::RegGetValueA(HKEY_CURRENT_USER, (std::string(kStore) + "\\Config\\VRX").c_str(),
                           "RUN_AUTO", RRF_RT_ANY, &type, &stored, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(stored, -1);
  EXPECT_DOUBLE_EQ(config.GetDate("LAST_SCAN", 0), 45000.75);
  EXPECT_TRUE(config.GetBool("RUN_AUTO", 0));
  EXPECT_EQ(test::RegText(HKEY_CURRENT_USER, kStore + std::string("\\Commits"), "VRX"),
            std::nullopt);  // a DWORD, not a text
  DWORD commits = 0;
  size = sizeof commits;
  ASSERT_EQ(::RegGetValueA(HKEY_CURRENT_USER, (std::string(kStore) + "\\Commits").c_str(), "VRX",
                           RRF_RT_REG_DWORD, nullptr, &commits, &size),
            ERROR_SUCCESS);
  EXPECT_EQ(commits, 1u);
}

TEST_F(HostConfig, TextsCrossTheBoundaryInTheAnsiCodePage) {
  TConfig config;
  Bstr ns(L"VRX");
  Bstr key(L"HOME_URL");
  Bstr url(L"http://caf\u00e9.example/");
  ASSERT_HRESULT_SUCCEEDED(config.Service()->WriteStr(ns.get(), key.get(), url.get(), VARIANT_TRUE));
  EXPECT_EQ(config.GetStr("HOME_URL", -1), WideToAnsi(L"http://caf\u00e9.example/"));
  // An integer written by the host reads as a bool and as text.
  Bstr button(L"SHOW_VRX_BUTTON");
  ASSERT_HRESULT_SUCCEEDED(config.Service()->WriteInt(ns.get(), button.get(), 3, VARIANT_TRUE));
  EXPECT_TRUE(config.GetBool("SHOW_VRX_BUTTON", 0));
  EXPECT_EQ(config.GetStr("SHOW_VRX_BUTTON", 0), "3");
}

// What a plug-in pushes to its toolbar button is kept where the command line
// (and later tests) can read it back.
TEST_F(HostConfig, StandInRecordsTheToolbarAndAnswersTheCommandLine) {
  TConfig config;
  ITB4Server* service = config.Service();
  Bstr ns(L"VRX");
  Bstr caption(L"VRX");
  Bstr menu(L"Clean Up Now=CLEAN\n-\nHelp=HELP");
  Bstr bmp(L"SET_BMP");
  Bstr image(L"424D00");
  ASSERT_HRESULT_SUCCEEDED(service->SetButtonCaption(ns.get(), 0, ns.get(), caption.get()));
  ASSERT_HRESULT_SUCCEEDED(service->ShowButton(ns.get(), 0, ns.get(), 1));
  ASSERT_HRESULT_SUCCEEDED(service->SetMenu(ns.get(), 0, ns.get(), menu.get()));
  ASSERT_HRESULT_SUCCEEDED(service->SetButtonImage(ns.get(), 0, bmp.get(), ns.get(), image.get()));
  const std::string qbhost = test::Quoted(test::QbhostExe());
  const test::CapturedRun toolbar = test::RunCaptured(qbhost + " toolbar VRX", 60000);
  ASSERT_TRUE(toolbar.finished);
  EXPECT_EQ(toolbar.exitCode, 0u);
  EXPECT_NE(toolbar.output.find("Caption=VRX"), std::string::npos) << toolbar.output;
  EXPECT_NE(toolbar.output.find("Visible=1"), std::string::npos) << toolbar.output;
  EXPECT_NE(toolbar.output.find("SET_BMP=424D00"), std::string::npos) << toolbar.output;
  EXPECT_NE(toolbar.output.find("Menu=Clean Up Now=CLEAN"), std::string::npos) << toolbar.output;
  EXPECT_EQ(test::RegText(HKEY_CURRENT_USER, std::string(kStore) + "\\Toolbar\\VRX\\VRX", "Menu"),
            "Clean Up Now=CLEAN\n-\nHelp=HELP");

  // Values set on the command line reach the program's reads, and a key that
  // the host does not hold is reported as such.
  ASSERT_EQ(test::RunCaptured(qbhost + " set VRX RUN_ENDIE bool 1", 60000).exitCode, 0u);
  EXPECT_TRUE(config.GetBool("RUN_ENDIE", 0));
  const test::CapturedRun unknown = test::RunCaptured(qbhost + " get VRX NO_SUCH_KEY int 7", 60000);
  EXPECT_EQ(unknown.exitCode, 3u);
  EXPECT_EQ(unknown.output.rfind("7", 0), 0u) << unknown.output;
}

TEST_F(HostConfig, CreationFailsLoudlyWithoutTheHostService) {
  const std::string classKey = "CLSID\\{183643C8-EE67-4574-9A38-927852E34163}";
  ASSERT_EQ(::RegDeleteTreeA(HKEY_CLASSES_ROOT, classKey.c_str()), ERROR_SUCCESS);
  ::RegDeleteKeyA(HKEY_CLASSES_ROOT, classKey.c_str());
  bool threw = false;
  try {
    TConfig config;
  } catch (const OleError& e) {
    threw = true;
    EXPECT_EQ(std::string(e.what()).rfind("OLE error: -", 0), 0u) << e.what();
  }
  EXPECT_TRUE(threw);
  ASSERT_TRUE(test::RegisterStandInHost());
  EXPECT_NO_THROW(TConfig());
}

}  // namespace
}  // namespace sentrova
