#include "app/background.h"

#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "app/run_loop.h"
#include "cleanup/clean.h"
#include "cleanup/clean_thread.h"
#include "cleanup/cookies_form.h"
#include "cleanup/preview_form.h"
#include "host/config.h"
#include "host/config_keys.h"
#include "host/plugin_object.h"
#include "monitor/scanner.h"
#include "platform/com.h"
#include "platform/date_time_win.h"
#include "platform/guard.h"
#include "state/control_objects.h"
#include "state/program_actions.h"
#include "ui/main_form.h"
#include "ui/settings_opener.h"

namespace sentrova {

namespace {

constexpr DWORD kScannerStopWaitMs = 5000;

// The Customize Cookies dialog's own connection to the host's configuration
// service, made on first use and made again after a failed call (a host
// restarted in between).
class HostKeepListStore final : public KeepListStore {
 public:
  std::optional<std::string> Read() override {
    std::optional<std::string> text = GuardedOr(std::optional<std::string>(), [&] {
      return Config().TryGetStr(config_keys::kUserCookies, kTextFlag);
    });
    if (!text) config_.reset();
    return text;
  }
  bool Write(const std::string& text) override {
    const bool written = GuardedOr(
        false, [&] { return Config().TrySetStr(config_keys::kUserCookies, text, true); });
    if (!written) config_.reset();
    return written;
  }

 private:
  static constexpr int32_t kTextFlag = -1;
  TConfig& Config() {
    if (!config_) config_ = std::make_unique<TConfig>();
    return *config_;
  }
  std::unique_ptr<TConfig> config_;
};

// The scanner's view of the host's configuration: the program's namespace
// through TConfig, and the host's own namespace "TBR" for AFA_DONE.
class HostScannerConfig final : public ScannerConfig {
 public:
  bool ReadBool(std::string_view key) override {
    return config_.GetBool(key, config_keys::kReadTrue);
  }
  std::string ReadStr(std::string_view key) override { return config_.GetStr(key, -1); }
  void WriteBool(std::string_view key, bool value) override { config_.SetBool(key, value, true); }
  void WriteStr(std::string_view key, std::string_view value) override {
    config_.SetStr(key, value, true);
  }
  std::optional<bool> ReadHostBool(std::string_view key) override {
    Bstr hostName = Bstr::FromAnsi("TBR");
    Bstr name = Bstr::FromAnsi(key);
    VARIANT_BOOL value = VARIANT_TRUE;
    if (FAILED(config_.Service()->ReadBool(hostName.get(), name.get(), config_keys::kReadTrue,
                                           &value)))
      return std::nullopt;
    return value != 0;
  }

 private:
  TConfig config_;
};

// The program's own services. The clean-up worker, the scanner thread, the
// tray icon of the hidden main window, the toolbar link and the Customize
// Cookies dialog are started here; where one of them is not part of the
// program yet, its entry below is the point where it will be started and
// does nothing else.
class ProgramLoopServices final : public LoopServices {
 public:
  void StartCleanUpWorker(TMainForm* mainWindow, bool interactive) override {
    // The worker takes the single-run mutex, shows the main window's busy
    // sign and runs one clean-up pass; it frees itself. The sign is taken
    // under the lock that guards the window's destruction (requests come
    // from COM threads), and outlives the window.
    std::shared_ptr<BusyIndicator> busy;
    {
      std::lock_guard<std::mutex> lock(MainWindowMutex());
      if (mainWindow != nullptr && State().MainWindow.load() == mainWindow) {
        busy = mainWindow->Busy();
      }
    }
    StartCleanThread(interactive, std::move(busy));
  }
  TVRXScanner* StartScanner() override {
    return StartScannerThread([] { return std::make_unique<HostScannerConfig>(); });
  }
  void WaitForScanner(TVRXScanner* scanner, DWORD timeoutMs) override {
    // An open alert of the scanner is answered "No", so shutdown always ends.
    StopScannerAndWait(scanner, timeoutMs);
  }
  void SetTray(bool show, bool store) override {
    ProcessState& st = State();
    bool shown = false;
    {
      // Callers on several threads: the shown state and the order of the
      // icon changes stay together, and the window outlives the change.
      std::lock_guard<std::mutex> lock(MainWindowMutex());
      shown = show && st.Enabled;
      st.TrayShown = shown;
      TMainForm* form = st.MainWindow;
      // Without the main window or its tray icon nothing is shown or stored.
      if (form == nullptr || !form->HasTrayIcon()) return;
      form->ShowTrayIcon(shown);
    }
    // The stored value is what this caller showed (another caller may have
    // changed the tray since): asking to show the icon of a disabled plug-in
    // stores false.
    if (store) {
      Guarded([&] {
        TConfig config;
        config.SetBool(config_keys::kShowTray, shown, true);
        config.Commit();
      });
    }
  }
  void HideTray() override {
    std::lock_guard<std::mutex> lock(MainWindowMutex());
    State().TrayShown = false;
    if (TMainForm* form = State().MainWindow) form->ShowTrayIcon(false);
  }
  void UpdateToolbarMenu(bool trayShown) override {
    UpdateToolbar(ToolbarPart::kMenu, trayShown ? 1 : 0);
  }
  TCookiesForm* CreateCookiesForm(TMainForm* parent) override {
    // Made by the run loop on the main thread, whose loop pumps the dialog's
    // messages; the hidden main window owns it.
    return new TCookiesForm(parent != nullptr ? &parent->Window() : nullptr,
                            std::make_unique<HostKeepListStore>());
  }
  HWND MainWindowHandle(TMainForm* mainWindow) override {
    return mainWindow != nullptr ? mainWindow->Handle() : nullptr;
  }
  HACCEL MainWindowAccelerators(TMainForm* mainWindow) override {
    return mainWindow != nullptr ? mainWindow->Accelerators() : nullptr;
  }
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
  // Called on COM threads: the main thread, which owns the dialog, opens it,
  // making it first when it is missing.
  void ShowCookiesDialog() override {
    if (!sentrova::ShowCookiesDialog()) State().CookiesRequested = true;
  }
  // Called on COM threads: the main thread opens the window, which start-up
  // made with the main window.
  void ShowCleanPreview() override { sentrova::ShowCleanPreview(); }
  void OpenSettings() override { TMenuSettingsThr::Start(); }
  void SetTray(bool show, bool store) override { ProgramServices().SetTray(show, store); }
};

}  // namespace

std::mutex& MainWindowMutex() {
  static std::mutex mutex;
  return mutex;
}

ProgramActions& ProgramActionSet() {
  static AppActions actions;
  return actions;
}

LoopServices& ProgramServices() {
  static ProgramLoopServices services;
  return services;
}

CleanReport CountCleanUpPreview() {
  // The worker has COM of its own for the host's settings and the caches.
  ComApartment com(COINIT_MULTITHREADED | COINIT_SPEED_OVER_MEMORY);
  TClean clean;
  return clean.Preview();
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
