#include "app/run_loop.h"

#include <cmath>
#include <cstdint>

#include "app/background.h"
#include "app/schedule.h"
#include "app/tick_deadline.h"
#include "cleanup/cookies_form.h"
#include "platform/date_time_win.h"
#include "platform/guard.h"
#include "state/control_objects.h"
#include "state/loop_wake.h"
#include "state/process_state.h"
#include "toolkit/message_loop.h"

namespace sentrova {

namespace {

// The longest the loop blocks when something is due but its pass did not
// deal with it (a failed scanner start, a clean-up still due): the next try
// comes no later than a 10 ms poll would make it.
constexpr DWORD kRetryMs = 10;
// A schedule counts in local date-time, which a clock change can move. The
// hidden main window receives WM_TIMECHANGE and wakes the loop then; this cap
// is the safety net for a change nobody announced.
constexpr DWORD kLongestScheduleWaitMs = 60000;
// Without a start request from a connecting plug-in object the scanner
// starts this long after the loop began.
constexpr DWORD kScannerStartDelayMs = 15000;
// A flood of window messages must not starve the event tests.
constexpr int kMainWindowMessageLimit = 50;
constexpr double kMsPerDay = 86400000.0;

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

// An event as the loop sees it. Blocking on an automatic-reset event consumes
// its signal, so a wake by one is kept here and counts as the signal at the
// event's next test; the pass therefore runs exactly as if it had polled.
struct WatchedEvent {
  const KernelHandle& handle;
  bool woke = false;

  // A missing handle is never signalled. Testing an automatic-reset event
  // consumes its signal.
  bool Take() {
    if (woke) {
      woke = false;
      return true;
    }
    return handle && ::WaitForSingleObject(handle.get(), 0) == WAIT_OBJECT_0;
  }
};

// One stop test: a signalled event clears Running for good. The loop never
// sets Running: once a COM thread cleared it, it stays cleared.
bool StopSignalled(WatchedEvent& event) {
  if (!event.Take()) return false;
  State().Running = false;
  return true;
}

bool TickPassed(DWORD deadline) { return TickDeadlinePassed(::GetTickCount(), deadline); }

class Loop {
 public:
  explicit Loop(LoopServices& services)
      : services_(services),
        hadWindow_(State().MainWindow.load() != nullptr),
        scannerDeadline_(TickDeadline(::GetTickCount(), kScannerStartDelayMs)) {}

  void Run() {
    SetRunLoopThread(::GetCurrentThreadId());
    struct Unregister {
      ~Unregister() { SetRunLoopThread(0); }
    } unregister;
    while (State().Running) {
      if (!Pass()) break;
      Block();
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
    // A dialog whose creation failed is tried again when it is asked for.
    if (st.HostStartDone && st.CookiesRequested) {
      st.CookiesRequested = false;
      Guarded([&] {
        if (st.CookiesForm == nullptr) st.CookiesForm = services_.CreateCookiesForm(st.MainWindow);
        if (st.CookiesForm != nullptr) ShowCookiesDialog();
      });
    }
    if (StopSignalled(stop_)) return false;
    if (StopSignalled(shutdown_)) return false;
    if (!PumpAndContinue()) return false;

    if (st.HostReady && refresh_.Take()) {
      LoadConfiguration(services_);
      loaded_ = true;
    }
    if (!PumpAndContinue()) return false;

    if (!st.ScannerStarted && st.Enabled) {
      Guarded([&] {
        if (TickPassed(scannerDeadline_) || startScan_.Take()) StartScanner();
      });
    }
    if (!PumpAndContinue()) return false;

    if (IsCleanDue(Schedule(), st.Enabled, NowLocal())) RunScheduledClean(services_);

    PumpMainWindow(services_);
    return !WindowGone();
  }

  // Blocks until something needs a pass: one of the watched events, a wake
  // from another thread, a message for the main window, or the next due time
  // (the scanner's start deadline, the schedule's next clean-up).
  void Block() {
    ProcessState& st = State();
    HANDLE handles[5];
    WatchedEvent* owners[5];
    DWORD count = 0;
    auto watch = [&](HANDLE h, WatchedEvent* owner) {
      if (h == nullptr) return;
      handles[count] = h;
      owners[count] = owner;
      ++count;
    };
    // Only the events the next pass would test, and none whose wake is
    // still kept: a refresh before the host is ready, or a start request
    // while the scanner cannot start, stays in its event as it would have
    // while polling, without waking the loop over and over.
    watch(stop_.handle.get(), &stop_);
    if (!shutdown_.woke) watch(shutdown_.handle.get(), &shutdown_);
    if (st.HostReady && !refresh_.woke) watch(refresh_.handle.get(), &refresh_);
    const bool scannerWaits = !st.ScannerStarted && st.Enabled;
    if (scannerWaits && !startScan_.woke) watch(startScan_.handle.get(), &startScan_);
    watch(RunLoopWakeEvent(), nullptr);

    const DWORD timeout = Timeout(scannerWaits);
    if (timeout == 0) return;
    // Messages matter only while the pump serves them; otherwise they would
    // wake the loop again and again.
    const bool pumping = st.MainWindow.load() != nullptr;
    const DWORD result =
        pumping ? ::MsgWaitForMultipleObjectsEx(count, handles, timeout, QS_ALLINPUT,
                                                MWMO_INPUTAVAILABLE)
                : ::WaitForMultipleObjects(count, handles, FALSE, timeout);
    if (result >= WAIT_OBJECT_0 && result < WAIT_OBJECT_0 + count) {
      if (WatchedEvent* owner = owners[result - WAIT_OBJECT_0]) owner->woke = true;
    } else if (result == WAIT_FAILED) {
      ::Sleep(kRetryMs);
    }
  }

  // How long the loop may block: 0 when the next pass must follow at once,
  // INFINITE when only an event, a wake or a message can bring work.
  DWORD Timeout(bool scannerWaits) const {
    ProcessState& st = State();
    // A flag changed on this thread (by a window procedure or a part the
    // loop called) after the pass looked at it.
    if (!st.Running || WindowGone() || (st.HostReady && !st.HostStartDone)) return 0;
    DWORD timeout = INFINITE;
    if (scannerWaits) {
      const int32_t left = static_cast<int32_t>(scannerDeadline_ - ::GetTickCount());
      // The deadline counts as passed only once the tick count is beyond it.
      timeout = left >= 0 ? static_cast<DWORD>(left) + 1 : kRetryMs;
    }
    const ScheduleState schedule = Schedule();
    if (schedule.armed && st.Enabled) {
      const double leftMs = (schedule.nextClean - NowLocal()) * kMsPerDay;
      // A date the host handed over as not-a-number never falls due.
      DWORD scheduleMs = std::isnan(leftMs) ? INFINITE : kRetryMs;
      if (leftMs >= 0) {
        scheduleMs = leftMs >= kLongestScheduleWaitMs ? kLongestScheduleWaitMs
                                                      : static_cast<DWORD>(leftMs) + 1;
      }
      if (scheduleMs < timeout) timeout = scheduleMs;
    }
    return timeout;
  }

  static ScheduleState Schedule() {
    const ProcessState& st = State();
    return ScheduleState{st.ScheduleArmed, st.LastScan, st.NextClean};
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

  // The loop ends when the hidden main window it began with has gone. A loop
  // that began without one (start-up failed to create it) ends through the
  // stop events and Running alone.
  bool WindowGone() const { return hadWindow_ && State().MainWindow.load() == nullptr; }

  LoopServices& services_;
  LoopEvents events_;
  WatchedEvent stop_{events_.stop};
  WatchedEvent shutdown_{events_.shutdown};
  WatchedEvent refresh_{events_.refresh};
  WatchedEvent startScan_{events_.startScan};
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
      // The keyboard of the dialogs this thread owns (the Customize Cookies
      // dialog): Tab, arrows and mnemonics.
      if (keyboard && DialogNavigation(msg)) continue;
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
