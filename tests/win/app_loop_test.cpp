// The main loop in this process, against the stand-in host's configuration
// service and a recording stand-in for the parts the loop starts (clean-up
// worker, scanner, tray, toolbar menu, cookies dialog, main window). The
// recorder's main-window query runs once per message pump, four times a
// pass, and lets each test act between the steps of a running loop; unless a
// test says otherwise it also wakes the loop, like a busy neighbour, so that
// pass follows pass.
// ctest: serial
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <cctype>
#include <cmath>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

#include "app/background.h"
#include "app/run_loop.h"
#include "host/config.h"
#include "platform/com.h"
#include "platform/date_time_win.h"
#include "state/control_objects.h"
#include "state/loop_wake.h"
#include "state/process_state.h"
#include "state/program_actions.h"
#include "win/host_test_support.h"

namespace sentrova {
namespace {

// Stand-ins for objects the loop only passes around.
char windowToken;
char cookiesToken;
char scannerTokens[8];
TMainForm* const kWindow = reinterpret_cast<TMainForm*>(&windowToken);
TCookiesForm* const kCookies = reinterpret_cast<TCookiesForm*>(&cookiesToken);
TVRXScanner* ScannerToken(int n) { return reinterpret_cast<TVRXScanner*>(&scannerTokens[n % 8]); }

constexpr int kPumpsPerPass = 4;

class RecordingServices final : public LoopServices {
 public:
  struct CleanUpStart {
    TMainForm* window;
    bool interactive;
  };
  std::vector<CleanUpStart> cleanUps;
  std::vector<std::pair<bool, bool>> trays;  // (show, store)
  std::vector<bool> menus;                   // trayShown of each menu push
  std::atomic<int> menuPushes{0};
  std::atomic<int> cleanUpStarts{0};
  std::atomic<int> scannerStarts{0};
  std::vector<std::pair<TVRXScanner*, DWORD>> scannerWaits;
  std::vector<TMainForm*> cookiesParents;
  std::atomic<int> pumps{0};
  std::function<void(int pump)> onPump;
  bool keepPassing = true;
  bool failing = false;  // every part throws after recording the call

  void StartCleanUpWorker(TMainForm* window, bool interactive) override {
    cleanUps.push_back({window, interactive});
    ++cleanUpStarts;
    Fail();
  }
  TVRXScanner* StartScanner() override {
    ++scannerStarts;
    Fail();
    return ScannerToken(scannerStarts);
  }
  void WaitForScanner(TVRXScanner* scanner, DWORD timeoutMs) override {
    scannerWaits.emplace_back(scanner, timeoutMs);
  }
  void SetTray(bool show, bool store) override {
    trays.emplace_back(show, store);
    Fail();
  }
  void UpdateToolbarMenu(bool trayShown) override {
    menus.push_back(trayShown);
    ++menuPushes;
    Fail();
  }
  TCookiesForm* CreateCookiesForm(TMainForm* parent) override {
    cookiesParents.push_back(parent);
    Fail();
    return kCookies;
  }
  HWND MainWindowHandle(TMainForm*) override {
    const int n = ++pumps;
    if (onPump) onPump(n);
    if (keepPassing) ::SetEvent(RunLoopWakeEvent());
    return nullptr;
  }
  HACCEL MainWindowAccelerators(TMainForm*) override { return nullptr; }

 private:
  void Fail() const {
    if (failing) throw std::runtime_error("part failed");
  }
};

bool IsSet(const KernelHandle& event) {
  return ::WaitForSingleObject(event.get(), 0) == WAIT_OBJECT_0;
}

void ResetState() {
  ProcessState& st = State();
  st.Running = false;
  st.MainWindow = nullptr;
  st.TrayDefault = false;
  st.Enabled = false;
  st.TrayShown = false;
  st.HostReady = false;
  st.HostStartDone = false;
  st.ScheduleArmed = false;
  st.LastScan = 0.0;
  st.NextClean = 0.0;
  st.Scanner = nullptr;
  st.ScannerStarted = false;
  st.CookiesForm = nullptr;
}

constexpr char kServiceClassKey[] = "CLSID\\{183643C8-EE67-4574-9A38-927852E34163}";

class MainLoop : public ::testing::Test {
 public:
  static void SetUpTestSuite() { ASSERT_TRUE(test::RegisterStandInHost()); }

  void SetUp() override {
    ClearStore();
    ResetState();
    // Held for the whole test, so that the loop opens these very events.
    stop_ = OpenControlObject(kStopAllEvent);
    shutdown_ = OpenControlObject(kShutdownEvent);
    refresh_ = OpenControlObject(kRefreshConfigEvent);
    startScan_ = OpenControlObject(kStartScanEvent);
    scannerStop_ = OpenControlObject(kScannerStopEvent);
    for (KernelHandle* e : {&stop_, &shutdown_, &refresh_, &startScan_, &scannerStop_}) {
      ASSERT_TRUE(*e);
      ::ResetEvent(e->get());
    }
    service_ = CreateHostService();
    ASSERT_TRUE(service_);
    State().Running = true;
    State().MainWindow = kWindow;
    ::ResetEvent(RunLoopWakeEvent());
  }
  void TearDown() override {
    for (KernelHandle* e : {&stop_, &shutdown_, &refresh_, &startScan_, &scannerStop_}) {
      if (*e) ::ResetEvent(e->get());
    }
    service_.reset();
    ResetState();
    ClearStore();
  }

  static void ClearStore() { ::RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Quillbox\\TB4"); }

  void WriteBool(const char* key, bool value) {
    ASSERT_HRESULT_SUCCEEDED(test::WriteVrxBool(service_.get(), key, value));
  }
  void WriteStr(const char* key, const char* value) {
    ASSERT_HRESULT_SUCCEEDED(test::WriteVrxStr(service_.get(), key, value));
  }
  void WriteDate(const char* key, double value) {
    ASSERT_HRESULT_SUCCEEDED(test::WriteVrxDate(service_.get(), key, value));
  }
  // The stored LAST_SCAN; -1 when the host holds none.
  double StoredLastScan() { return test::ReadVrxDate(service_.get(), "LAST_SCAN"); }
  void WriteDueSchedule(const char* delay = "30") {
    WriteBool("RUN_AUTO", true);
    WriteStr("RUN_DELAY", delay);
    WriteStr("RUN_PERIOD", "m");
    WriteDate("LAST_SCAN", NowLocal() - kOneHour);
  }

  // Runs the loop on this thread; a watchdog clears Running after limitMs so
  // that a loop that does not stop fails the test instead of hanging it.
  void RunBounded(DWORD limitMs = 30000) {
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    std::thread watchdog([&] {
      std::unique_lock<std::mutex> lock(m);
      if (!cv.wait_for(lock, std::chrono::milliseconds(limitMs), [&] { return done; })) {
        timedOut_ = true;
        State().Running = false;
      }
    });
    RunLoop(services_);
    {
      std::lock_guard<std::mutex> lock(m);
      done = true;
    }
    cv.notify_all();
    watchdog.join();
    EXPECT_FALSE(timedOut_) << "the loop did not stop";
  }
  // Ends the loop from the hook at the given pump.
  void StopAt(int pump) {
    services_.onPump = [pump](int n) {
      if (n >= pump) State().Running = false;
    };
  }

  ComApartment com_;
  ComPtr<ITB4Server> service_;
  RecordingServices services_;
  KernelHandle stop_, shutdown_, refresh_, startScan_, scannerStop_;
  std::atomic<bool> timedOut_{false};
};

TEST_F(MainLoop, AStopLeftSetEndsTheLoopInItsFirstPass) {
  ASSERT_TRUE(::SetEvent(stop_.get()));
  State().HostReady = true;
  RunBounded();
  EXPECT_FALSE(State().Running);
  // The first configuration load precedes the stop test; no pump followed it.
  EXPECT_EQ(services_.menus.size(), 1u);
  EXPECT_EQ(services_.pumps, 0);
  // The program never resets the host's stop event.
  EXPECT_TRUE(IsSet(stop_));
  EXPECT_TRUE(IsSet(stop_));
}

TEST_F(MainLoop, TheShutdownEventEndsTheLoopAndIsConsumed) {
  services_.onPump = [this](int n) {
    if (n == 8) ::SetEvent(shutdown_.get());
  };
  RunBounded();
  EXPECT_FALSE(State().Running);
  // Seen at the start of the next pass, before its first pump.
  EXPECT_EQ(services_.pumps, 8);
  EXPECT_FALSE(IsSet(shutdown_));
}

TEST_F(MainLoop, ClearedRunningOrAVanishedWindowEndsTheLoop) {
  services_.onPump = [](int n) {
    if (n == 6) State().Running = false;
  };
  RunBounded();
  EXPECT_EQ(services_.pumps, 6);

  State().Running = true;
  services_.pumps = 0;
  services_.onPump = [](int n) {
    if (n == 11) State().MainWindow = nullptr;
  };
  RunBounded();
  EXPECT_EQ(services_.pumps, 11);
  EXPECT_TRUE(State().Running);
}

TEST_F(MainLoop, TheFirstLoadWaitsForTheHost) {
  WriteBool("VRX_ALL", false);
  WriteBool("SHOW_TRAY", true);
  State().Enabled = true;
  services_.onPump = [this](int n) {
    if (n == 8) {
      // Two passes without the host: nothing loaded.
      EXPECT_TRUE(services_.menus.empty());
      EXPECT_TRUE(State().Enabled);
      State().HostReady = true;
    }
    if (n == 16) State().Running = false;
  };
  RunBounded();
  ProcessState& st = State();
  EXPECT_TRUE(st.HostStartDone);
  EXPECT_FALSE(st.Enabled);
  EXPECT_TRUE(st.TrayShown);
  ASSERT_EQ(services_.trays.size(), 1u);
  EXPECT_EQ(services_.trays[0], std::make_pair(true, false));
  ASSERT_EQ(services_.menus.size(), 1u);
  EXPECT_TRUE(services_.menus[0]);
  ASSERT_EQ(services_.cookiesParents.size(), 1u);
  EXPECT_EQ(services_.cookiesParents[0], kWindow);
  EXPECT_EQ(st.CookiesForm.load(), kCookies);
}

TEST_F(MainLoop, TheRefreshEventReloadsEnabledAndTheTrayOnceTheHostIsReady) {
  WriteBool("VRX_ALL", false);
  WriteBool("SHOW_TRAY", false);
  ASSERT_TRUE(::SetEvent(refresh_.get()));  // before the host is ready: kept
  services_.onPump = [this](int n) {
    if (n == 8) {
      EXPECT_TRUE(services_.menus.empty());
      State().HostReady = true;
    }
    if (n == 12) {
      // The first load and the kept refresh in the same pass.
      EXPECT_EQ(services_.menus.size(), 2u);
      EXPECT_FALSE(State().Enabled);
      WriteBool("VRX_ALL", true);
      WriteBool("SHOW_TRAY", true);
    }
    if (n == 20) {
      // Changed values are not read without the event.
      EXPECT_EQ(services_.menus.size(), 2u);
      EXPECT_FALSE(State().Enabled);
      ::SetEvent(refresh_.get());
    }
    if (n == 24) State().Running = false;
  };
  RunBounded();
  ProcessState& st = State();
  EXPECT_EQ(services_.menus.size(), 3u);
  EXPECT_TRUE(st.Enabled);
  EXPECT_TRUE(st.TrayShown);
  ASSERT_FALSE(services_.trays.empty());
  EXPECT_EQ(services_.trays.back(), std::make_pair(true, false));
  EXPECT_FALSE(IsSet(refresh_));
}

TEST_F(MainLoop, TheStartRequestStartsTheScannerOnceAndOnlyWhenEnabled) {
  State().TrayDefault = true;
  ASSERT_TRUE(::SetEvent(startScan_.get()));
  services_.onPump = [this](int n) {
    if (n == 8) {
      EXPECT_EQ(services_.scannerStarts, 0);
      State().Enabled = true;
    }
    if (n == 12) {
      EXPECT_EQ(services_.scannerStarts, 1);
      ::SetEvent(startScan_.get());
    }
    if (n == 20) State().Running = false;
  };
  RunBounded();
  ProcessState& st = State();
  EXPECT_EQ(services_.scannerStarts, 1);
  EXPECT_TRUE(st.ScannerStarted);
  EXPECT_EQ(st.Scanner.load(), ScannerToken(1));
  // No configuration was loaded: the tray followed the CONFIG resource.
  ASSERT_EQ(services_.trays.size(), 1u);
  EXPECT_EQ(services_.trays[0], std::make_pair(true, false));
  // The second request was never consumed; leaving the loop clears it.
  EXPECT_FALSE(IsSet(startScan_));
}

TEST_F(MainLoop, AfterALoadTheScannerStartLeavesTheTrayAlone) {
  WriteBool("VRX_ALL", true);
  WriteBool("SHOW_TRAY", false);
  State().TrayDefault = true;
  State().HostReady = true;
  ASSERT_TRUE(::SetEvent(startScan_.get()));
  StopAt(8);
  RunBounded();
  EXPECT_EQ(services_.scannerStarts, 1);
  ASSERT_EQ(services_.trays.size(), 1u);
  EXPECT_EQ(services_.trays[0], std::make_pair(false, false));
}

TEST_F(MainLoop, WithoutARequestTheScannerStartsAtTheDeadlineAndRestartsAfterReenabling) {
  WriteBool("VRX_ALL", true);
  State().HostReady = true;
  services_.keepPassing = false;  // the deadline alone must wake the loop
  const DWORD began = ::GetTickCount();
  DWORD started = 0;
  int stage = 0;
  int enabledAt = 0;
  services_.onPump = [&](int n) {
    ProcessState& st = State();
    if (stage == 0 && services_.scannerStarts == 1) {
      started = ::GetTickCount();
      EXPECT_EQ(st.Scanner.load(), ScannerToken(1));
      WriteBool("VRX_ALL", false);
      ::SetEvent(refresh_.get());
      stage = 1;
    } else if (stage == 1 && !st.Enabled) {
      // Disabled: the scanner is told to stop and forgotten.
      EXPECT_TRUE(IsSet(scannerStop_));
      EXPECT_FALSE(st.ScannerStarted);
      EXPECT_EQ(st.Scanner.load(), nullptr);
      WriteBool("VRX_ALL", true);
      ::SetEvent(refresh_.get());
      stage = 2;
    } else if (stage == 2 && st.Enabled) {
      // Enabled again: the deadline has long passed, so the same pass that
      // reloaded the configuration starts a new scanner.
      if (enabledAt == 0) enabledAt = n;
      if (services_.scannerStarts == 2) {
        EXPECT_LE(n - enabledAt, 2);
        EXPECT_EQ(st.Scanner.load(), ScannerToken(2));
        EXPECT_TRUE(st.ScannerStarted);
        st.Running = false;
        stage = 3;
      }
    }
  };
  RunBounded(60000);
  EXPECT_EQ(stage, 3);
  EXPECT_GE(started - began, 15000u);
}

TEST_F(MainLoop, EventsThatCannotBeOpenedAreNeverSignalled) {
  // Mutexes hold the four names, so the loop gets no event handles at all.
  for (KernelHandle* e : {&stop_, &shutdown_, &refresh_, &startScan_}) e->reset();
  std::vector<KernelHandle> squatters;
  for (const char* name :
       {"TB4Stop", "TB4Shutdown_VRX", "VRX4_Refresh_Cfg", "VRX4_Start_Scan_Thread"}) {
    squatters.emplace_back(::CreateMutexA(nullptr, FALSE, name));
    ASSERT_TRUE(squatters.back()) << name;
  }
  ASSERT_FALSE(OpenControlObject(kStopAllEvent));
  ASSERT_FALSE(OpenControlObject(kStartScanEvent));
  WriteBool("VRX_ALL", true);
  State().HostReady = true;
  services_.keepPassing = false;
  const DWORD began = ::GetTickCount();
  services_.onPump = [&](int) {
    // The scanner still starts at the deadline; nothing else was seen.
    if (services_.scannerStarts == 1) {
      EXPECT_EQ(services_.menus.size(), 1u);
      State().Running = false;
    }
  };
  RunBounded(60000);
  EXPECT_EQ(services_.scannerStarts, 1);
  EXPECT_GE(::GetTickCount() - began, 15000u);
}

TEST_F(MainLoop, ADueCleanUpStampsLastScanOnceUntilTheIntervalPasses) {
  WriteBool("VRX_ALL", true);
  WriteDueSchedule(" 30 ");
  State().HostReady = true;
  const double before = NowLocal();
  double firstStamp = 0;
  services_.onPump = [&](int n) {
    if (n == 40) {
      firstStamp = StoredLastScan();
      // Ten passes, one clean-up.
      EXPECT_EQ(services_.cleanUps.size(), 1u);
      // The interval "passes": the host's LAST_SCAN moves an hour back.
      WriteDate("LAST_SCAN", NowLocal() - kOneHour);
      ::SetEvent(refresh_.get());
    }
    if (n == 60) State().Running = false;
  };
  RunBounded();
  const double after = NowLocal();
  ProcessState& st = State();
  EXPECT_GE(firstStamp, before);
  EXPECT_LE(firstStamp, after);
  ASSERT_EQ(services_.cleanUps.size(), 2u);
  for (const auto& start : services_.cleanUps) {
    EXPECT_EQ(start.window, kWindow);
    EXPECT_FALSE(start.interactive);
  }
  const double secondStamp = StoredLastScan();
  EXPECT_GT(secondStamp, firstStamp - 1e-9);
  EXPECT_LE(secondStamp, after);
  EXPECT_TRUE(st.ScheduleArmed);
  EXPECT_DOUBLE_EQ(st.LastScan, secondStamp);
  EXPECT_NEAR(st.NextClean, secondStamp + 30 * kOneMinute, 1e-9);
}

TEST_F(MainLoop, ADisabledPluginStartsNoCleanUpAndNoScanner) {
  WriteBool("VRX_ALL", false);
  WriteDueSchedule("1");
  const double stamp = StoredLastScan();
  State().HostReady = true;
  ASSERT_TRUE(::SetEvent(startScan_.get()));
  StopAt(40);
  RunBounded();
  ProcessState& st = State();
  EXPECT_TRUE(services_.cleanUps.empty());
  EXPECT_EQ(services_.scannerStarts, 0);
  EXPECT_FALSE(st.ScannerStarted);
  EXPECT_DOUBLE_EQ(StoredLastScan(), stamp);
  // The schedule itself is armed and overdue; only the plug-in's state holds it.
  EXPECT_TRUE(st.ScheduleArmed);
  EXPECT_LT(st.NextClean, NowLocal());

  // "Clean Up Now" does nothing either, until the plug-in is enabled.
  StartCleanUp(true, services_);
  EXPECT_TRUE(services_.cleanUps.empty());
  st.Enabled = true;
  StartCleanUp(true, services_);
  ASSERT_EQ(services_.cleanUps.size(), 1u);
  EXPECT_TRUE(services_.cleanUps[0].interactive);
  EXPECT_EQ(services_.cleanUps[0].window, kWindow);
}

TEST_F(MainLoop, FailingPartsDoNotEndTheLoop) {
  WriteBool("VRX_ALL", true);
  WriteDueSchedule();
  State().HostReady = true;
  ASSERT_TRUE(::SetEvent(startScan_.get()));
  services_.failing = true;
  StopAt(40);
  const double before = NowLocal();
  RunBounded();
  ProcessState& st = State();
  EXPECT_EQ(services_.pumps, 40);
  EXPECT_TRUE(st.Enabled);
  EXPECT_TRUE(st.HostStartDone);
  // The failed worker start does not undo the stamp or the next date.
  EXPECT_EQ(services_.cleanUps.size(), 1u);
  EXPECT_GE(StoredLastScan(), before);
  EXPECT_TRUE(st.ScheduleArmed);
  EXPECT_NEAR(st.NextClean, st.LastScan + 30 * kOneMinute, 1e-9);
  // The scanner start failed: not marked as started.
  EXPECT_EQ(services_.scannerStarts, 1);
  EXPECT_FALSE(st.ScannerStarted);
}

TEST_F(MainLoop, ACookiesDialogThatFailedIsMadeAgainAtTheNextRequest) {
  State().HostReady = true;
  services_.failing = true;
  services_.onPump = [this](int n) {
    if (n == 4) {
      services_.failing = false;
      ProgramActionSet().ShowCookiesDialog();
    }
    if (n == 12) State().Running = false;
  };
  RunBounded();
  EXPECT_EQ(services_.cookiesParents.size(), 2u);
  EXPECT_EQ(State().CookiesForm.load(), kCookies);
}

TEST_F(MainLoop, RunAutoSwitchedOffDisarmsTheDueCleanUp) {
  WriteBool("VRX_ALL", true);
  WriteBool("RUN_AUTO", false);
  State().Enabled = true;
  State().ScheduleArmed = true;
  RunScheduledClean(services_);
  EXPECT_FALSE(State().ScheduleArmed);
  EXPECT_TRUE(services_.cleanUps.empty());
  EXPECT_EQ(StoredLastScan(), -1);
}

TEST_F(MainLoop, TheScheduleReadsTheHostsTexts) {
  WriteBool("RUN_AUTO", true);
  WriteStr("RUN_DELAY", " 2 ");
  WriteStr("RUN_PERIOD", "H");
  WriteDate("LAST_SCAN", 45000.25);
  {
    TConfig config;
    ComputeSchedule(config);
  }
  EXPECT_TRUE(State().ScheduleArmed);
  EXPECT_DOUBLE_EQ(State().LastScan, 45000.25);
  EXPECT_NEAR(State().NextClean, 45000.25 + 2 * kOneHour, 1e-9);

  WriteStr("RUN_PERIOD", " h");
  {
    TConfig config;
    ComputeSchedule(config);
  }
  EXPECT_FALSE(State().ScheduleArmed);

  // Never stamped: due at once.
  ClearStore();
  WriteBool("RUN_AUTO", true);
  WriteStr("RUN_DELAY", " 2 ");
  WriteStr("RUN_PERIOD", "d");
  {
    TConfig config;
    ComputeSchedule(config);
  }
  EXPECT_TRUE(State().ScheduleArmed);
  EXPECT_DOUBLE_EQ(State().NextClean, 2.0);
}

TEST_F(MainLoop, WithoutTheHostsServiceNothingChanges) {
  ProcessState& st = State();
  st.Enabled = true;
  st.TrayShown = true;
  st.ScheduleArmed = true;
  st.NextClean = 123.0;
  service_.reset();
  ASSERT_EQ(::RegDeleteTreeA(HKEY_CLASSES_ROOT, kServiceClassKey), ERROR_SUCCESS);
  ::RegDeleteKeyA(HKEY_CLASSES_ROOT, kServiceClassKey);
  LoadConfiguration(services_);
  RunScheduledClean(services_);
  const bool registered = test::RegisterStandInHost();
  EXPECT_TRUE(st.Enabled);
  EXPECT_TRUE(st.TrayShown);
  EXPECT_TRUE(st.ScheduleArmed);
  EXPECT_DOUBLE_EQ(st.NextClean, 123.0);
  EXPECT_TRUE(services_.trays.empty());
  EXPECT_TRUE(services_.menus.empty());
  EXPECT_TRUE(services_.cleanUps.empty());
  ASSERT_TRUE(registered);
}

TEST_F(MainLoop, ShutdownStopsARunningScanner) {
  StopScanner(services_);  // none running: nothing to do
  EXPECT_TRUE(services_.scannerWaits.empty());
  EXPECT_FALSE(IsSet(scannerStop_));
  State().Scanner = ScannerToken(3);
  StopScanner(services_);
  EXPECT_TRUE(IsSet(scannerStop_));
  ASSERT_EQ(services_.scannerWaits.size(), 1u);
  EXPECT_EQ(services_.scannerWaits[0].first, ScannerToken(3));
  EXPECT_EQ(services_.scannerWaits[0].second, 5000u);
}

TEST_F(MainLoop, TheMainWindowPumpRunsOnlyWithAWindowWhileRunning) {
  MSG msg;
  ASSERT_TRUE(::PostThreadMessageA(::GetCurrentThreadId(), WM_APP + 3, 0, 0));
  State().MainWindow = nullptr;
  PumpMainWindow(services_);
  EXPECT_TRUE(::PeekMessageA(&msg, nullptr, WM_APP + 3, WM_APP + 3, PM_NOREMOVE));
  State().MainWindow = kWindow;
  State().Running = false;
  PumpMainWindow(services_);
  EXPECT_TRUE(::PeekMessageA(&msg, nullptr, WM_APP + 3, WM_APP + 3, PM_NOREMOVE));
  State().Running = true;
  PumpMainWindow(services_);
  EXPECT_FALSE(::PeekMessageA(&msg, nullptr, WM_APP + 3, WM_APP + 3, PM_NOREMOVE));
}

TEST_F(MainLoop, TheProgramsTrayFollowsTheEnabledState) {
  // Without a main window the program's SetTray only records the state.
  State().Enabled = false;
  ProgramServices().SetTray(true, false);
  EXPECT_FALSE(State().TrayShown);
  State().Enabled = true;
  ProgramServices().SetTray(true, false);
  EXPECT_TRUE(State().TrayShown);
  ProgramServices().SetTray(false, false);
  EXPECT_FALSE(State().TrayShown);
}


// Between passes the loop blocks; each row is one thing that must wake it,
// started from another thread (or by the clock) once the loop has sat still.
struct WakeCase {
  const char* name;
  std::function<void(MainLoop&)> before;   // state before the loop starts
  std::function<void(MainLoop&, DWORD loopThread)> trigger;
  std::function<bool(MainLoop&)> done;     // the effect, polled
  bool ends;                               // the loop returns
};

void PrintTo(const WakeCase& c, std::ostream* os) { *os << c.name; }

void WaitFor(const std::function<bool()>& condition) {
  for (int i = 0; i < 3000 && !condition(); ++i) ::Sleep(10);
}

const WakeCase kWakeCases[] = {
      {"the host announced", nullptr, [](MainLoop&, DWORD) { State().HostReady = true; },
       [](MainLoop& t) { return t.services_.menuPushes == 1; }, false},
      {"a refresh", [](MainLoop&) { State().HostReady = true; State().HostStartDone = true; },
       [](MainLoop& t, DWORD) { ::SetEvent(t.refresh_.get()); },
       [](MainLoop& t) { return t.services_.menuPushes == 1; }, false},
      {"a start request", [](MainLoop&) { State().Enabled = true; },
       [](MainLoop& t, DWORD) { ::SetEvent(t.startScan_.get()); },
       [](MainLoop& t) { return t.services_.scannerStarts == 1; }, false},
      {"a kept start request once enabled",
       [](MainLoop& t) { ::SetEvent(t.startScan_.get()); },
       [](MainLoop&, DWORD) { State().Enabled = true; },
       [](MainLoop& t) { return t.services_.scannerStarts == 1; }, false},
      {"a message", nullptr,
       [](MainLoop&, DWORD thread) { ::PostThreadMessageA(thread, WM_APP + 5, 0, 0); },
       [](MainLoop& t) { return t.services_.pumps >= 8; }, false},
      {"the due clean-up",
       [](MainLoop& t) {
         t.WriteBool("RUN_AUTO", true);
         State().Enabled = true;
         State().ScannerStarted = true;
         State().ScheduleArmed = true;
         // Far enough ahead that a slow machine still sees the quiet time first.
         State().NextClean = NowLocal() + kOneMinute / 6;
       },
       nullptr, [](MainLoop& t) { return t.services_.cleanUpStarts == 1; }, false},
      {"Running cleared with a schedule that never falls due",
       [](MainLoop&) {
         State().Enabled = true;
         State().ScannerStarted = true;
         State().ScheduleArmed = true;
         State().NextClean = std::nan("");
       },
       [](MainLoop&, DWORD) { State().Running = false; }, nullptr, true},
      {"TB4Stop", nullptr, [](MainLoop& t, DWORD) { ::SetEvent(t.stop_.get()); }, nullptr, true},
      {"TB4Shutdown_VRX", nullptr, [](MainLoop& t, DWORD) { ::SetEvent(t.shutdown_.get()); },
       nullptr, true},
      {"Running cleared", nullptr, [](MainLoop&, DWORD) { State().Running = false; }, nullptr,
       true},
      {"the window gone", nullptr, [](MainLoop&, DWORD) { State().MainWindow = nullptr; },
       nullptr, true},
};
class MainLoopWakes : public MainLoop, public ::testing::WithParamInterface<WakeCase> {};

TEST_P(MainLoopWakes, BetweenPassesItBlocksUntilSomethingNeedsIt) {
  const WakeCase& c = GetParam();
  {
    services_.keepPassing = false;
    if (c.before) c.before(*this);
    ::ResetEvent(RunLoopWakeEvent());  // the stores above woke no loop yet
    std::atomic<DWORD> loopThread{0};
    std::atomic<bool> returned{false};
    std::thread loop([&] {
      ComApartment com;
      loopThread = ::GetCurrentThreadId();
      RunLoop(services_);
      returned = true;
    });
    WaitFor([&] { return services_.pumps >= 4; });
    ::Sleep(300);
    // One pass, then nothing while nothing happens.
    EXPECT_EQ(services_.pumps, 4);
    EXPECT_FALSE(returned);
    if (c.trigger) c.trigger(*this, loopThread);
    WaitFor([&] { return c.ends ? returned.load() : c.done(*this); });
    EXPECT_EQ(returned.load(), c.ends);
    if (c.done) EXPECT_TRUE(c.done(*this));
    State().Running = false;
    loop.join();
  }
}

INSTANTIATE_TEST_SUITE_P(Wakes, MainLoopWakes, ::testing::ValuesIn(kWakeCases),
                         [](const ::testing::TestParamInfo<WakeCase>& info) {
                           std::string name;
                           for (const char* p = info.param.name; *p; ++p) {
                             if (isalnum(static_cast<unsigned char>(*p))) name += *p;
                           }
                           return name;
                         });

}  // namespace
}  // namespace sentrova
