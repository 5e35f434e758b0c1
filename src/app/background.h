// Background work control: the configuration load that feeds the main loop,
// the automatic clean-up schedule over the host's settings, and the start of
// clean-ups and of the security scanner.
//
// The loop and these functions reach the other parts of the program (the
// clean-up worker, the scanner thread, the tray icon, the toolbar menu, the
// Customize Cookies dialog, the hidden main window) only through
// LoopServices. ProgramServices() is the program's own implementation; each
// function below has an overload that uses it.
#pragma once

#include <windows.h>

#include <mutex>

#include "app/schedule.h"
#include "cleanup/clean_report.h"
#include "state/process_state.h"

namespace sentrova {

class TConfig;

class LoopServices {
 public:
  virtual ~LoopServices() = default;
  // Starts a clean-up worker thread for the main window, whose tray icon the
  // worker swaps for the busy icon while it works. The worker frees itself.
  virtual void StartCleanUpWorker(TMainForm* mainWindow, bool interactive) = 0;
  // Creates the security scanner thread, which runs at once and frees itself
  // when it ends.
  virtual TVRXScanner* StartScanner() = 0;
  // Waits at most timeoutMs for a scanner thread to end (shutdown only).
  virtual void WaitForScanner(TVRXScanner* scanner, DWORD timeoutMs) = 0;
  // Shows or hides the tray icon (and, when told to, stores SHOW_TRAY).
  virtual void SetTray(bool show, bool store) = 0;
  // The loop has ended: the tray icon goes at once, before the slower steps
  // of shutdown (SHOW_TRAY is left as it is).
  virtual void HideTray() = 0;
  // Pushes the toolbar menu to the host.
  virtual void UpdateToolbarMenu(bool trayShown) = 0;
  // Creates the Customize Cookies dialog, hidden, with the main window as parent.
  virtual TCookiesForm* CreateCookiesForm(TMainForm* parent) = 0;
  // The main window's handle and keyboard accelerators (none: null).
  virtual HWND MainWindowHandle(TMainForm* mainWindow) = 0;
  virtual HACCEL MainWindowAccelerators(TMainForm* mainWindow) = 0;
};

// The program's own services.
LoopServices& ProgramServices();

// What a pass over the selected items would remove, for the Clean Up Preview
// window; called on the window's worker thread.
CleanReport CountCleanUpPreview();

// Held while the main window is used from another thread (SetTray) and
// while it is destroyed.
std::mutex& MainWindowMutex();

class ProgramActions;
// The program's own actions, which start-up installs for the host link and
// the tray menu.
ProgramActions& ProgramActionSet();

// Reads VRX_ALL (call default true) into Enabled and SHOW_TRAY into
// TrayShown, sets the tray, pushes the toolbar menu, recomputes the schedule
// and, when the plug-in has become disabled, tells a running scanner to stop
// (without waiting) so that a later pass starts a new one once enabled again.
// Guarded as a whole: nothing changes when the host's service cannot be
// reached.
void LoadConfiguration(LoopServices& services);
void LoadConfiguration();

// Recomputes ProcessState's schedule (ScheduleArmed, LastScan, NextClean)
// from RUN_AUTO, RUN_DELAY, RUN_PERIOD and LAST_SCAN. A failing read leaves
// the schedule disarmed.
void ComputeSchedule(TConfig& config);

// The due automatic clean-up: with RUN_AUTO still on, stamps LAST_SCAN with
// the current local date-time (notify, no commit), starts a non-interactive
// clean-up and recomputes the schedule from the new stamp; with RUN_AUTO off
// the schedule stays disarmed until the next configuration load.
void RunScheduledClean(LoopServices& services);
void RunScheduledClean();

// Starts a clean-up worker when the plug-in is enabled. Errors are swallowed.
// The tray menu and the toolbar commands start interactive clean-ups; the
// schedule a non-interactive one.
void StartCleanUp(bool interactive, LoopServices& services);
void StartCleanUp(bool interactive);

// Shutdown's part: tells a running scanner to end and waits at most 5,000 ms.
void StopScanner(LoopServices& services);

}  // namespace sentrova
