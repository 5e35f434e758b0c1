#include "app/loop_wait.h"

#include <algorithm>
#include <cmath>

namespace sentrova {

namespace {

constexpr double kLongestScheduleWaitMs = 60000.0;

}  // namespace

uint32_t LoopWaitMs(const LoopWaitFacts& facts) {
  if (facts.passAtOnce) return 0;
  uint32_t wait = kWaitWithoutLimit;
  if (facts.scannerDeadlineMs > 0) {
    // The loop looks at the deadline once it has passed, whether or not the
    // scanner waits for it, so that it counts as passed from then on.
    wait = facts.scannerDeadlineMs;
  } else if (facts.scannerWaits) {
    // Past the deadline the pass would have started it: the start failed
    // and is tried again a poll later.
    wait = kLoopPollMs;
  }
  if (facts.cleanUpScheduled && !std::isnan(facts.cleanUpDueMs)) {
    uint32_t cleanUpWait = kLoopPollMs;
    if (facts.cleanUpDueMs >= 0) {
      cleanUpWait = facts.cleanUpDueMs >= kLongestScheduleWaitMs
                        ? static_cast<uint32_t>(kLongestScheduleWaitMs)
                        : static_cast<uint32_t>(facts.cleanUpDueMs) + 1;
    }
    wait = std::min(wait, cleanUpWait);
  }
  // Without the wake event a change made by another thread (a stop, a tray
  // request) is seen only by polling.
  if (!facts.wakeable) wait = std::min(wait, kLoopPollMs);
  return wait;
}

}  // namespace sentrova
