// The main thread's loop and the message-queue helpers that start-up
// shares with it.
#pragma once

#include <windows.h>

namespace sentrova {

class LoopServices;

// Removes the thread's messages one at a time, translating and dispatching
// every one except WM_QUIT, until none is left.
void DrainQueue();

// Processes at most `limit` pending messages of the calling thread's queue,
// one at a time: a WM_QUIT is removed and dropped; keyboard messages are
// first offered to `accelerators` (when given) for `acceleratorWindow`; all
// others are translated and dispatched. Stops early when the queue is empty
// or processing fails. Returns how many messages it removed.
int PumpMessages(HWND acceleratorWindow, HACCEL accelerators, int limit);

// PumpMessages for the hidden main window, at most 50 messages a call; does
// nothing while there is no main window or Running is false.
void PumpMainWindow(LoopServices& services);

// Runs passes while ProcessState's Running is true; returns when the process
// must stop: the host set TB4Stop (every plug-in) or TB4Shutdown_VRX (this
// plug-in), something else cleared Running, or the main window went away.
// Each pass also loads the configuration once the host is ready, reloads it
// on VRX4_Refresh_Cfg, starts the scanner (15 s after the loop began, or
// earlier on VRX4_Start_Scan_Thread) and runs the automatic clean-up when it
// falls due. Between passes the thread blocks until one of those events, a
// message for the main window, a wake (WakeRunLoop, or a store to one of the
// flags the loop watches) or the next due time. TB4Stop is never reset here:
// while the host keeps it set, a new process leaves at its first pass.
// On the way out it hides the tray icon.
void RunLoop(LoopServices& services);
void RunLoop();

// Shutdown's part of the scanner control: tells a running scanner thread to
// end and waits at most 5,000 ms for it.
void StopScanner();

}  // namespace sentrova
