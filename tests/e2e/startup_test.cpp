// Start-up as a real user's Windows meets it: a host that calls while the
// program is still starting, a second start in the same session, class keys
// the program may not write, and the clean-up that finishes after a restart.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <thread>

#include "cleanup/clean_report.h"
#include "host/config.h"
#include "host/host_contract.h"
#include "platform/com.h"
#include "platform/handle.h"
#include "platform/named_objects.h"
#include "support/slow_start.h"
#include "win/host_test_support.h"
#include "win/key_access.h"

namespace sentrova {
namespace {

using test::Quoted;
using test::SentrovaExe;
using test::SentrovaProcesses;

constexpr char kClassKey[] = "CLSID\\{8A22DFAF-353B-4627-833C-B943F4B11814}";
constexpr DWORD kWaitMs = 30000;

class Startup : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(test::RegisterStandInHost()); }
  void SetUp() override {
    stop_ = OpenOrCreateEvent(kHostStopEvent, true, false, true);
    shutdown_ = OpenOrCreateEvent(kHostShutdownEvent, false, false, true);
    ASSERT_TRUE(stop_ && shutdown_);
    test::EndStrayPrograms();
    ::ResetEvent(stop_.get());
    ASSERT_EQ(test::RunAndWait(Quoted(SentrovaExe()) + " /regserver", 60000).exitCode, 0u);
  }
  void TearDown() override {
    ::SetEvent(shutdown_.get());
    test::WaitFor([] { return SentrovaProcesses().empty(); }, 10000);
    test::EndStrayPrograms();
    ::ResetEvent(shutdown_.get());
    test::RunAndWait(Quoted(SentrovaExe()) + " /regserver", 60000);
  }
  static ComPtr<ITB4Plugin> Create() {
    ComPtr<ITB4Plugin> plugin;
    EXPECT_HRESULT_SUCCEEDED(::CoCreateInstance(kVrxObjClassId, nullptr, CLSCTX_LOCAL_SERVER,
                                                kPluginInterfaceId, plugin.put_void()));
    return plugin;
  }

  ComApartment com_;
  KernelHandle stop_;
  KernelHandle shutdown_;
};

// The slow-starting program, started as COM starts a local server; the
// test goes on once its class objects are registered and the rest of its
// start-up is still to come.
KernelHandle StartSlowly() {
  KernelHandle registered(::CreateEventA(nullptr, TRUE, FALSE, test::kSlowStartRegisteredEvent));
  if (!registered) return KernelHandle();
  ::ResetEvent(registered.get());
  KernelHandle slow(test::StartProcess(Quoted(test::BinDir() + test::kSlowStartExe) +
                                       " -Embedding"));
  if (!slow || ::WaitForSingleObject(registered.get(), 60000) != WAIT_OBJECT_0) return KernelHandle();
  return slow;
}

// The host calls while the start-up is still loading the defaults: its calls
// wait for the program to be ready instead of taking half answers.
TEST_F(Startup, AHostCallingDuringStartUpGetsWholeAnswers) {
  KernelHandle slow = StartSlowly();
  ASSERT_TRUE(slow);
  ComPtr<ITB4Plugin> plugin = Create();
  ASSERT_TRUE(plugin);
  Bstr defaults;
  ASSERT_HRESULT_SUCCEEDED(plugin->GetDefaults(defaults.put()));
  EXPECT_NE(defaults.Ansi().find("\r\nM_NET_SIGN=1\r\n\r\nAF_ID=1\r\n"), std::string::npos)
      << defaults.Ansi();
  LONG connected = 0;
  ASSERT_HRESULT_SUCCEEDED(plugin->Connect(&connected));
  EXPECT_EQ(connected, 1);
  plugin.reset();

  ::SetEvent(shutdown_.get());
  EXPECT_EQ(::WaitForSingleObject(slow.get(), kWaitMs), WAIT_OBJECT_0);
}

// The host disables the plug-in while the program is still starting: the
// program ends by itself once started, as it would had it been running.
TEST_F(Startup, ADisableDuringStartUpIsNotLost) {
  KernelHandle slow = StartSlowly();
  ASSERT_TRUE(slow);
  ComPtr<ITB4Plugin> plugin = Create();
  ASSERT_TRUE(plugin);
  EXPECT_HRESULT_SUCCEEDED(plugin->DisablePlugin());
  plugin.reset();
  ASSERT_EQ(::WaitForSingleObject(slow.get(), kWaitMs), WAIT_OBJECT_0);
  DWORD code = 1;
  EXPECT_TRUE(::GetExitCodeProcess(slow.get(), &code));
  EXPECT_EQ(code, 0u);
}

// One program per session: a second normal start ends at once with code 0
// and the first one keeps serving; the keyword runs still do their work.
TEST_F(Startup, ASecondStartInTheSessionEndsAtOnce) {
  ComPtr<ITB4Plugin> plugin = Create();
  ASSERT_TRUE(plugin);
  ASSERT_EQ(SentrovaProcesses().size(), 1u);
  for (const char* args : {"", " -Embedding"}) {
    const test::ChildResult second = test::RunAndWait(Quoted(SentrovaExe()) + args, kWaitMs);
    EXPECT_TRUE(second.finished) << args;
    EXPECT_EQ(second.exitCode, 0u) << args;
  }
  const test::ChildResult reg = test::RunAndWait(Quoted(SentrovaExe()) + " /regserver", kWaitMs);
  EXPECT_TRUE(reg.finished);
  EXPECT_EQ(reg.exitCode, 0u);
  EXPECT_EQ(SentrovaProcesses().size(), 1u);
  Bstr name;
  EXPECT_HRESULT_SUCCEEDED(plugin->GetPluginName(name.put()));
  EXPECT_EQ(name.Ansi(), "VRX");
}

// A user who may not write the class keys still gets a serving program.
TEST_F(Startup, ClassKeysThatCannotBeWrittenLeaveTheProgramServing) {
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    // A value that differs, so that the start must try to write.
    ASSERT_EQ(::RegSetKeyValueA(HKEY_CLASSES_ROOT, kClassKey, "PluginName", REG_SZ, "old", 4),
              ERROR_SUCCESS);
    test::ReadOnlyKey locked(HKEY_CLASSES_ROOT, kClassKey, view);
    ASSERT_TRUE(locked.applied());
    ComPtr<ITB4Plugin> plugin = Create();
    ASSERT_TRUE(plugin);
    Bstr name;
    EXPECT_HRESULT_SUCCEEDED(plugin->GetPluginName(name.put()));
    EXPECT_EQ(name.Ansi(), "VRX");
    plugin.reset();
    ::SetEvent(shutdown_.get());
    ASSERT_TRUE(test::WaitFor([] { return SentrovaProcesses().empty(); }, kWaitMs));
  }
}

// The clean-up after a restart empties the typed addresses and clears the
// URL history (through the test double of the history service), and stores
// its report as a pass does.
TEST_F(Startup, CleanupEmptiesTypedAddressesAndHistory) {
  constexpr char kTyped[] = "Software\\Microsoft\\Internet Explorer\\TypedURLs";
  constexpr char kHistoryServer[] =
      "CLSID\\{3C374A40-BAE4-11CF-BF7D-00AA006946EE}\\InprocServer32";
  constexpr char kDoubleKey[] = "Software\\SentrovaTests\\UrlHistoryDouble";
  const std::string double_ = test::BinDir() + "url_history_double.dll";
  ::RegSetKeyValueA(HKEY_CLASSES_ROOT, kHistoryServer, nullptr, REG_SZ, double_.c_str(),
                    static_cast<DWORD>(double_.size() + 1));
  ::RegSetKeyValueA(HKEY_CLASSES_ROOT, kHistoryServer, "ThreadingModel", REG_SZ, "Both", 5);
  ::RegDeleteTreeA(HKEY_CURRENT_USER, kDoubleKey);
  ::RegDeleteTreeA(HKEY_CURRENT_USER, kTyped);  // what other tests left
  for (const char* name : {"url1", "url2"}) {
    ::RegSetKeyValueA(HKEY_CURRENT_USER, kTyped, name, REG_SZ, "http://typed.example/", 22);
  }
  const std::string urls = std::string(kDoubleKey) + "\\Urls";
  ::RegSetKeyValueA(HKEY_CURRENT_USER, urls.c_str(), "http://seen.example/", REG_SZ, "", 1);
  TConfig().SetStr(kLastCleanKey, "", true);

  const test::ChildResult r = test::RunAndWait(Quoted(SentrovaExe()) + " /cleanup", kWaitMs);
  ::RegSetKeyValueA(HKEY_CLASSES_ROOT, kHistoryServer, nullptr, REG_SZ, "urlmon.dll", 11);
  ASSERT_TRUE(r.finished);
  EXPECT_EQ(r.exitCode, 0u);
  DWORD values = 99;
  HKEY k = nullptr;
  ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, kTyped, 0, KEY_READ, &k), ERROR_SUCCESS);
  ::RegQueryInfoKeyA(k, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                     nullptr, nullptr, nullptr);
  ::RegCloseKey(k);
  EXPECT_EQ(values, 0u);
  DWORD cleared = 0, size = sizeof cleared;
  ::RegGetValueA(HKEY_CURRENT_USER, kDoubleKey, "Cleared", RRF_RT_REG_DWORD, nullptr, &cleared,
                 &size);
  EXPECT_EQ(cleared, 1u);
  std::optional<CleanReport> report = DecodeCleanReport(TConfig().GetStr(kLastCleanKey, -1));
  ASSERT_TRUE(report);
  EXPECT_EQ(report->Item("IE_BAR").count, 2u);
  EXPECT_EQ(report->Item("IE_HIST").count, 1u);
  EXPECT_TRUE(SentrovaProcesses().empty());
}

}  // namespace
}  // namespace sentrova
