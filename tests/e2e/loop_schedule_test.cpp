// The main loop in the real process, driven by the stand-in toolbar host:
// the stop event, the configuration reload after the host is ready, and the
// automatic clean-up stamping LAST_SCAN in the host's store.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "host/config.h"
#include "host/config_keys.h"
#include "host/host_contract.h"
#include "platform/com.h"
#include "platform/date_time_win.h"
#include "platform/handle.h"
#include "state/control_objects.h"
#include "win/host_test_support.h"

namespace sentrova {
namespace {

using test::Quoted;
using test::SentrovaExe;
using test::SentrovaProcesses;

constexpr DWORD kExitWaitMs = 20000;
constexpr DWORD kStampWaitMs = 15000;
// Many passes of the loop (10 ms each).
constexpr DWORD kQuietMs = 1500;

class LoopInProcess : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(test::RegisterStandInHost());
    ASSERT_TRUE(test::RunAndWait(Quoted(SentrovaExe()) + " /regserver", 60000).finished);
  }
  void SetUp() override {
    stop_ = OpenControlObject(kStopAllEvent);
    shutdown_ = OpenControlObject(kShutdownEvent);
    refresh_ = OpenControlObject(kRefreshConfigEvent);
    ASSERT_TRUE(stop_ && shutdown_ && refresh_);
    test::EndStrayPrograms();
    ::ResetEvent(stop_.get());
    ::ResetEvent(shutdown_.get());
    ::ResetEvent(refresh_.get());
    ::RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Quillbox\\TB4");
    service_ = CreateHostService();
    ASSERT_TRUE(service_);
    ASSERT_TRUE(SentrovaProcesses().empty());
  }
  void TearDown() override {
    plugin_.reset();
    ::SetEvent(shutdown_.get());
    test::WaitFor([] { return SentrovaProcesses().empty(); }, 10000);
    test::EndStrayPrograms();
    ::ResetEvent(stop_.get());
    ::ResetEvent(shutdown_.get());
    ::ResetEvent(refresh_.get());
    service_.reset();
    ::RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Quillbox\\TB4");
  }

  void WriteBool(const char* key, bool value) {
    ASSERT_HRESULT_SUCCEEDED(test::WriteVrxBool(service_.get(), key, value));
  }
  void WriteStr(const char* key, const char* value) {
    ASSERT_HRESULT_SUCCEEDED(test::WriteVrxStr(service_.get(), key, value));
  }
  void WriteLastScan(double value) {
    ASSERT_HRESULT_SUCCEEDED(test::WriteVrxDate(service_.get(), "LAST_SCAN", value));
  }
  double LastScan() { return test::ReadVrxDate(service_.get(), "LAST_SCAN"); }
  // RUN_AUTO on, every 30 minutes, the last clean-up an hour ago. The pass
  // it starts is real: with no item selected it touches nothing that other
  // tests use (Temp, the URL cache) and asks nothing.
  void WriteOverdueSchedule() {
    for (const char* item : config_keys::kCleanUpItems) WriteBool(item, false);
    WriteBool("RUN_AUTO", true);
    WriteStr("RUN_DELAY", "30");
    WriteStr("RUN_PERIOD", "m");
    WriteLastScan(NowLocal() - kOneHour);
  }
  // What the toolbar does first: create a plug-in object (which starts the
  // program) and announce itself.
  void StartServedProgram() {
    ASSERT_HRESULT_SUCCEEDED(::CoCreateInstance(kVrxObjClassId, nullptr, CLSCTX_LOCAL_SERVER,
                                                kPluginInterfaceId, plugin_.put_void()));
    ASSERT_HRESULT_SUCCEEDED(plugin_->HostStarted());
  }
  bool WaitForStampOtherThan(double old) {
    return test::WaitFor([&] { return LastScan() != old; }, kStampWaitMs);
  }

  ComApartment com_;
  ComPtr<ITB4Server> service_;
  ComPtr<ITB4Plugin> plugin_;
  KernelHandle stop_, shutdown_, refresh_;
};

TEST_F(LoopInProcess, AStopSetBeforeTheStartEndsTheProcessInItsFirstPass) {
  WriteBool("VRX_ALL", true);
  WriteOverdueSchedule();
  const double old = LastScan();
  ASSERT_TRUE(::SetEvent(stop_.get()));
  // Started as COM starts a local server.
  const test::ChildResult r = test::RunAndWait(Quoted(SentrovaExe()) + " -Embedding", kExitWaitMs);
  ASSERT_TRUE(r.finished);
  EXPECT_EQ(r.exitCode, 0u);
  // It left before the schedule step of its first pass.
  EXPECT_EQ(LastScan(), old);
  EXPECT_EQ(::WaitForSingleObject(stop_.get(), 0), static_cast<DWORD>(WAIT_OBJECT_0));
}

TEST_F(LoopInProcess, AnOverdueCleanUpStampsLastScanOnceUntilTheIntervalPasses) {
  WriteBool("VRX_ALL", true);
  WriteOverdueSchedule();
  const double old = LastScan();
  const double before = NowLocal();
  StartServedProgram();
  ASSERT_TRUE(WaitForStampOtherThan(old));
  const double first = LastScan();
  EXPECT_GE(first, before);
  EXPECT_LE(first, NowLocal());

  // The next one is due 30 minutes later: no second stamp meanwhile.
  EXPECT_FALSE(test::WaitFor([&] { return LastScan() != first; }, kQuietMs));

  // The host reports an older LAST_SCAN and the changed settings: due again.
  const double moved = NowLocal() - kOneHour;
  WriteLastScan(moved);
  ASSERT_TRUE(::SetEvent(refresh_.get()));
  ASSERT_TRUE(WaitForStampOtherThan(moved));
  EXPECT_GE(LastScan(), first);
}

TEST_F(LoopInProcess, ADisabledPluginCleansNothingUntilTheReloadEnablesIt) {
  WriteBool("VRX_ALL", false);
  WriteOverdueSchedule();
  const double old = LastScan();
  StartServedProgram();
  EXPECT_FALSE(test::WaitFor([&] { return LastScan() != old; }, kQuietMs));

  // The settings page switches the plug-in on; the host says so.
  WriteBool("VRX_ALL", true);
  ASSERT_TRUE(::SetEvent(refresh_.get()));
  ASSERT_TRUE(WaitForStampOtherThan(old));
  EXPECT_GT(LastScan(), old);
}

}  // namespace
}  // namespace sentrova
