// TCleanThread: every clean-up runs on a thread of its own, so that neither
// the main loop nor a call from the toolbar host waits for it. The worker
// makes sure only one clean-up runs at a time (VRX_Run_Clean_Mtx, waited for
// at most 100 ms; a second request is dropped), shows the busy sign while it
// works, and runs one TClean pass with COM initialised for its thread.
#pragma once

#include <memory>

#include "state/busy_indicator.h"

namespace sentrova {

// Starts a detached worker that frees itself after one pass and returns at
// once. `busy` may be null (no main window, no tray icon): the pass then runs
// without a busy sign. Nothing escapes.
void StartCleanThread(bool interactive, std::shared_ptr<BusyIndicator> busy) noexcept;

// The worker's body, run on the calling thread (the worker runs exactly
// this). Returns whether a pass ran (false: another worker held the mutex).
bool RunCleanWorker(bool interactive, const std::shared_ptr<BusyIndicator>& busy) noexcept;

}  // namespace sentrova
