// ctest: serial
// The tray icon as the program sets it from the main thread and from the
// host's COM threads: the real hidden main window (with the product's tray
// images), the program's SetTray and the run loop, against the stand-in
// host's configuration service. The shell sees the icon through a recording
// notifier.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <thread>

#include "app/background.h"
#include "app/run_loop.h"
#include "host/config.h"
#include "host/plugin_object.h"
#include "platform/com.h"
#include "state/control_objects.h"
#include "state/process_state.h"
#include "state/program_actions.h"
#include "ui/main_form.h"
#include "win/class_override.h"
#include "win/host_test_support.h"
#include "win/recording_tray.h"

namespace sentrova {
namespace {

// The program's own services, except that the scanner start is the moment
// at which the host disables the plug-in on one of its COM threads.
class DisableAtScannerStart final : public LoopServices {
 public:
  void StartCleanUpWorker(TMainForm*, bool) override {}
  TVRXScanner* StartScanner() override {
    std::thread([] {
      TVRXObj* plugin = new TVRXObj;
      plugin->DisablePlugin();
      plugin->Release();
    }).join();
    return nullptr;
  }
  void WaitForScanner(TVRXScanner*, DWORD) override {}
  void SetTray(bool show, bool store) override { ProgramServices().SetTray(show, store); }
  void HideTray() override { ProgramServices().HideTray(); }
  void UpdateToolbarMenu(bool) override {}
  TCookiesForm* CreateCookiesForm(TMainForm*) override { return nullptr; }
  HWND MainWindowHandle(TMainForm* w) override { return ProgramServices().MainWindowHandle(w); }
  HACCEL MainWindowAccelerators(TMainForm*) override { return nullptr; }
};

class ProgramTray : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(test::RegisterStandInHost()); }
  void SetUp() override {
    InstallActions(&ProgramActionSet());
    form_ = std::make_unique<TMainForm>(tray_);
    ASSERT_TRUE(form_->HasTrayIcon());
    ProcessState& st = State();
    st.MainWindow = form_.get();
    st.Running = true;
    st.Enabled = true;
    st.TrayShown = false;
    TConfig().SetBool("SHOW_TRAY", false, true);
  }
  void TearDown() override {
    ProcessState& st = State();
    st.Running = false;
    st.MainWindow = nullptr;
    st.ScannerStarted = false;
    form_.reset();
    InstallActions(nullptr);
  }
  static bool StoredShowTray() { return TConfig().GetBool("SHOW_TRAY", -1); }

  ComApartment com_{COINIT_MULTITHREADED};
  test::RecordingTray tray_;
  std::unique_ptr<TMainForm> form_;
};

TEST_F(ProgramTray, DisablingHidesTheIconBeforeTheLoopReturns) {
  State().TrayDefault = true;  // the scanner's start shows the tray
  // Held while the loop runs, so that it opens these very events.
  KernelHandle stop = OpenControlObject(kStopAllEvent);
  KernelHandle shutdown = OpenControlObject(kShutdownEvent);
  KernelHandle startScan = OpenControlObject(kStartScanEvent);
  ASSERT_TRUE(stop && shutdown && startScan);
  ::ResetEvent(stop.get());
  ::ResetEvent(shutdown.get());
  ::SetEvent(startScan.get());
  DisableAtScannerStart services;
  RunLoop(services);
  EXPECT_FALSE(State().Running);
  EXPECT_EQ(tray_.Count(NIM_ADD), 1);
  EXPECT_FALSE(form_->TrayIconShown());
  EXPECT_EQ(tray_.Count(NIM_DELETE), 1);
  EXPECT_FALSE(StoredShowTray());  // DisablePlugin leaves SHOW_TRAY alone
}

TEST_F(ProgramTray, StoresTheValueItShowedWhenAnotherCallerCameBetween) {
  ComPtr<IClassFactory> host;
  ASSERT_HRESULT_SUCCEEDED(::CoGetClassObject(kHostServiceClassId, CLSCTX_INPROC_SERVER, nullptr,
                                              IID_IClassFactory, host.put_void()));
  {
    // The store's connection to the host is the moment at which a COM
    // thread hides the tray without storing.
    bool first = true;
    test::ClassOverride service(kHostServiceClassId, [&](REFIID iid, void** out) {
      if (first) {
        first = false;
        std::thread([] { ProgramServices().SetTray(false, false); }).join();
      }
      return host->CreateInstance(nullptr, iid, out);
    });
    ASSERT_TRUE(service.Registered());
    ProgramServices().SetTray(true, true);
    EXPECT_EQ(service.Creations(), 1);
  }
  EXPECT_TRUE(StoredShowTray());
  EXPECT_FALSE(State().TrayShown);
}

}  // namespace
}  // namespace sentrova
