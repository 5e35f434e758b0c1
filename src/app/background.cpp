#include "app/background.h"

#include <stdexcept>
#include <string>
#include <string_view>

#include "app/run_loop.h"
#include "cleanup/clean_thread.h"
#include "host/config.h"
#include "host/config_keys.h"
#include "platform/date_time_win.h"
#include "platform/guard.h"
#include "state/control_objects.h"
#include "state/program_actions.h"

namespace sentrova {

namespace {

constexpr DWORD kScannerStopWaitMs = 5000;

// The program's own services. The clean-up worker, the scanner thread, the
// tray icon of the hidden main window, the toolbar link and the Customize
// Cookies dialog are started here; where one of them is not part of the
// program yet, its entry below is the point where it will be started and
// does nothing else.
class ProgramLoopServices final : public LoopServices {
 public:
  void StartCleanUpWorker(TMainForm*, bool interactive) override {
    // The worker takes the single-run mutex, shows the busy sign and runs one
    // clean-up pass; it frees itself.
    StartCleanThread(interactive, nullptr);  // the main window's busy sign goes here
  }
  TVRXScanner* StartScanner() override {
    // Start point of the security scanner thread (TVRXScanner). No scanner
    // runs yet, so there is none to record.
    return nullptr;
  }
  void WaitForScanner(TVRXScanner*, DWORD) override {
    // The scanner thread's end is awaited here once it exists.
  }
  void SetTray(bool show, bool) override {
    // The tray icon belongs to the hidden main window; without one SetTray
    // only records the state and stops (nor does it store SHOW_TRAY).
    State().TrayShown = show && State().Enabled;
  }
  void UpdateToolbarMenu(bool) override {
    // The toolbar menu is pushed to the host here once the toolbar link
    // builds its menu text.
  }
  TCookiesForm* CreateCookiesForm(TMainForm*) override {
    // The hidden Customize Cookies dialog is created here once it exists.
    return nullptr;
  }
  HWND MainWindowHandle(TMainForm*) override { return nullptr; }
  HACCEL MainWindowAccelerators(TMainForm*) override { return nullptr; }
};

// The schedule arithmetic over the host's configuration.
class TConfigSchedule final : public ScheduleConfig {
 public:
  explicit TConfigSchedule(TConfig& config) : config_(config) {}
  bool GetBool(std::string_view key, bool callDefault) override {
    return config_.GetBool(key, callDefault ? config_keys::kReadTrue : config_keys::kReadFalse);
  }
  std::string GetStr(std::string_view key, int flag) override { return config_.GetStr(key, flag); }
  OleDateTime GetDate(std::string_view key, OleDateTime callDefault) override {
    return config_.GetDate(key, static_cast<int32_t>(callDefault));
  }
  void SetDate(std::string_view key, OleDateTime value, bool notify) override {
    config_.SetDate(key, value, notify);
  }

 private:
  TConfig& config_;
};

ScheduleState LoadSchedule() {
  const ProcessState& st = State();
  return ScheduleState{st.ScheduleArmed, st.LastScan, st.NextClean};
}

void StoreSchedule(const ScheduleState& schedule) {
  ProcessState& st = State();
  st.LastScan = schedule.lastScan;
  st.NextClean = schedule.nextClean;
  st.ScheduleArmed = schedule.armed;
}

// Runs a step of the schedule arithmetic on a copy of ProcessState's schedule
// and stores the copy back even when the step fails half-way: the arithmetic
// disarms the schedule before the reads that may fail.
template <class Step>
void UpdateSchedule(Step&& step) {
  ScheduleState schedule = LoadSchedule();
  const bool ok = Guarded([&] { step(schedule); });
  StoreSchedule(schedule);
  if (!ok) throw std::runtime_error("schedule update failed");
}

// What the plug-in object and the tray menu ask of the program.
class AppActions final : public ProgramActions {
 public:
  void StartCleanUp(bool interactive) override { sentrova::StartCleanUp(interactive); }
  void ShowCookiesDialog() override {
    // Start point of the Customize Cookies dialog, shown by the main thread.
  }
  void OpenSettings() override {
    // Start point of the settings opener thread.
  }
  void SetTray(bool show, bool store) override { ProgramServices().SetTray(show, store); }
};

}  // namespace

ProgramActions& ProgramActionSet() {
  static AppActions actions;
  return actions;
}

LoopServices& ProgramServices() {
  static ProgramLoopServices services;
  return services;
}

void ComputeSchedule(TConfig& config) {
  Guarded([&] {
    TConfigSchedule schedule(config);
    UpdateSchedule([&](ScheduleState& s) { ComputeSchedule(schedule, s); });
  });
}

void LoadConfiguration(LoopServices& services) {
  Guarded([&] {
    ProcessState& st = State();
    {
      TConfig config;
      st.Enabled = config.GetBool(config_keys::kVrxAll, config_keys::kReadTrue);
      st.TrayShown = config.GetBool(config_keys::kShowTray, config_keys::kReadFalse);
      // The icon shows exactly while the tray is wanted and the plug-in is
      // enabled; SetTray applies both.
      Guarded([&] { services.SetTray(st.TrayShown, false); });
      Guarded([&] { services.UpdateToolbarMenu(st.TrayShown); });
      ComputeSchedule(config);
    }
    if (!st.Enabled && st.Scanner.load() != nullptr) {
      // The scanner is told to end but not waited for; once enabled again a
      // later pass of the loop starts a new one.
      SignalEvent(kScannerStopEvent);
      st.ScannerStarted = false;
      st.Scanner = nullptr;
    }
  });
}

void LoadConfiguration() { LoadConfiguration(ProgramServices()); }

void RunScheduledClean(LoopServices& services) {
  Guarded([&] {
    TConfig config;
    TConfigSchedule schedule(config);
    UpdateSchedule([&](ScheduleState& s) {
      RunScheduledClean(schedule, s, NowLocal(), [&] { StartCleanUp(false, services); });
    });
  });
}

void RunScheduledClean() { RunScheduledClean(ProgramServices()); }

void StartCleanUp(bool interactive, LoopServices& services) {
  Guarded([&] {
    if (!State().Enabled) return;
    services.StartCleanUpWorker(State().MainWindow, interactive);
  });
}

void StartCleanUp(bool interactive) { StartCleanUp(interactive, ProgramServices()); }

void StopScanner(LoopServices& services) {
  TVRXScanner* scanner = State().Scanner;
  if (scanner == nullptr) return;
  KernelHandle stop = OpenControlObject(kScannerStopEvent);
  if (stop) ::SetEvent(stop.get());
  Guarded([&] { services.WaitForScanner(scanner, kScannerStopWaitMs); });
}

void StopScanner() { StopScanner(ProgramServices()); }

}  // namespace sentrova
