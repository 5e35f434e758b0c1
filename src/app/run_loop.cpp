#include "app/run_loop.h"

#include "app/background.h"
#include "app/schedule.h"
#include "app/tick_deadline.h"
#include "platform/date_time_win.h"
#include "platform/guard.h"
#include "state/control_objects.h"
#include "state/process_state.h"

namespace sentrova {

namespace {

constexpr DWORD kPassSleepMs = 10;
// Without a start request from a connecting plug-in object the scanner
// starts this long after the loop began.
constexpr DWORD kScannerStartDelayMs = 15000;
// A flood of window messages must not starve the polling.
constexpr int kMainWindowMessageLimit = 50;

// The four events the loop watches, opened (or created clear) once per loop.
struct LoopEvents {
  KernelHandle stop;       // TB4Stop
  KernelHandle shutdown;   // TB4Shutdown_VRX
  KernelHandle refresh;    // VRX4_Refresh_Cfg
  KernelHandle startScan;  // VRX4_Start_Scan_Thread

  LoopEvents()
      : stop(OpenControlObject(kStopAllEvent)),
        shutdown(OpenControlObject(kShutdownEvent)),
        refresh(OpenControlObject(kRefreshConfigEvent)),
        startScan(OpenControlObject(kStartScanEvent)) {}
  // A start request that arrived too late for this process must not linger
  // in the event while the handle is still open.
  ~LoopEvents() {
    if (startScan) ::ResetEvent(startScan.get());
  }
  LoopEvents(const LoopEvents&) = delete;
  LoopEvents& operator=(const LoopEvents&) = delete;
};

// A missing handle is never signalled. Testing an automatic-reset event
// consumes its signal.
bool Signalled(const KernelHandle& event) {
  return event && ::WaitForSingleObject(event.get(), 0) == WAIT_OBJECT_0;
}

// One stop test: a signalled event clears Running for good.
bool StopSignalled(const KernelHandle& event) {
  if (!event) return false;
  State().Running = !Signalled(event);
  return !State().Running;
}

bool TickPassed(DWORD deadline) { return TickDeadlinePassed(::GetTickCount(), deadline); }

class Loop {
 public:
  explicit Loop(LoopServices& services)
      : services_(services),
        hadWindow_(State().MainWindow.load() != nullptr),
        scannerDeadline_(TickDeadline(::GetTickCount(), kScannerStartDelayMs)) {}

  void Run() {
    while (State().Running) {
      if (!Pass()) break;
      ::Sleep(kPassSleepMs);
    }
  }

 private:
  // One pass; false when the loop must end.
  bool Pass() {
    ProcessState& st = State();
    // The first configuration load after the host announced itself.
    if (st.HostReady && !st.HostStartDone) {
      st.HostStartDone = true;
      LoadConfiguration(services_);
      Guarded([&] { st.CookiesForm = services_.CreateCookiesForm(st.MainWindow); });
      loaded_ = true;
    }
    if (StopSignalled(events_.stop)) return false;
    if (StopSignalled(events_.shutdown)) return false;
    if (!PumpAndContinue()) return false;

    if (st.HostReady && Signalled(events_.refresh)) {
      LoadConfiguration(services_);
      loaded_ = true;
    }
    if (!PumpAndContinue()) return false;

    if (!st.ScannerStarted && st.Enabled) {
      Guarded([&] {
        if (TickPassed(scannerDeadline_) || Signalled(events_.startScan)) StartScanner();
      });
    }
    if (!PumpAndContinue()) return false;

    const ScheduleState schedule{st.ScheduleArmed, st.LastScan, st.NextClean};
    if (IsCleanDue(schedule, st.Enabled, NowLocal())) RunScheduledClean(services_);

    PumpMainWindow(services_);
    return !WindowGone();
  }

  void StartScanner() {
    ProcessState& st = State();
    // Before any configuration load the tray follows the CONFIG resource.
    if (!loaded_) services_.SetTray(st.TrayDefault, false);
    st.Scanner = services_.StartScanner();
    st.ScannerStarted = true;
  }

  bool PumpAndContinue() {
    PumpMainWindow(services_);
    return !WindowGone() && State().Running;
  }

  // The loop ends when the hidden main window it began with has gone. While
  // start-up creates no main window (the user interface is not part of the
  // program yet), the stop events and Running alone end the loop.
  bool WindowGone() const { return hadWindow_ && State().MainWindow.load() == nullptr; }

  LoopServices& services_;
  LoopEvents events_;
  const bool hadWindow_;
  const DWORD scannerDeadline_;
  bool loaded_ = false;
};

}  // namespace

void DrainQueue() {
  MSG msg;
  while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
}

int PumpMessages(HWND acceleratorWindow, HACCEL accelerators, int limit) {
  int removed = 0;
  Guarded([&] {
    MSG msg;
    while (removed < limit && ::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ++removed;
      if (msg.message == WM_QUIT) continue;
      const bool keyboard = msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST;
      if (keyboard && accelerators != nullptr && acceleratorWindow != nullptr &&
          ::TranslateAcceleratorA(acceleratorWindow, accelerators, &msg)) {
        continue;
      }
      ::TranslateMessage(&msg);
      ::DispatchMessageA(&msg);
    }
  });
  return removed;
}

void PumpMainWindow(LoopServices& services) {
  Guarded([&] {
    TMainForm* mainWindow = State().MainWindow;
    if (mainWindow == nullptr || !State().Running) return;
    PumpMessages(services.MainWindowHandle(mainWindow),
                 services.MainWindowAccelerators(mainWindow), kMainWindowMessageLimit);
  });
}

void RunLoop(LoopServices& services) {
  // An error in the loop's own steps ends it, like a stop request; the
  // events are closed on the way out.
  Guarded([&] { Loop(services).Run(); });
}

void RunLoop() { RunLoop(ProgramServices()); }

}  // namespace sentrova
