// How long the main loop may block between two passes. Platform-free.
#pragma once

#include <cstdint>

namespace sentrova {

// Blocking without a limit: only an event, a wake or a message brings work.
inline constexpr uint32_t kWaitWithoutLimit = 0xFFFFFFFFu;
// The loop's polling step: the longest a due thing waits for its next try.
inline constexpr uint32_t kLoopPollMs = 10;

// What the loop knows when a pass has ended.
struct LoopWaitFacts {
  // A flag changed on the loop's own thread after the pass looked at it: the
  // next pass follows at once.
  bool passAtOnce = false;
  // Other threads can wake the blocked loop (its wake event exists).
  bool wakeable = true;
  // The scanner is to start (enabled, not started yet).
  bool scannerWaits = false;
  // Milliseconds until the scanner's start deadline passes; 0 once it has.
  uint32_t scannerDeadlineMs = 0;
  // An automatic clean-up is scheduled (armed and enabled), due in
  // `cleanUpDueMs` milliseconds (negative: overdue; not a number: never).
  bool cleanUpScheduled = false;
  double cleanUpDueMs = 0;
};

// The wait in milliseconds (kWaitWithoutLimit for none): until the scanner's
// start deadline (also while the scanner does not wait for it), or the next
// clean-up, whichever comes first; at most one poll without the wake event. A schedule counts
// in local date-time, which a clock change can move; the hidden main window
// wakes the loop on WM_TIMECHANGE, and the wait for a clean-up is capped at
// a minute as the safety net for a change nobody announced.
uint32_t LoopWaitMs(const LoopWaitFacts& facts);

}  // namespace sentrova
