// Deadlines on the 32-bit millisecond tick count, which wraps every 49.7
// days. Platform-free.
#pragma once

#include <cstdint>

namespace sentrova {

// The deadline `delayMs` from `now`.
constexpr uint32_t TickDeadline(uint32_t now, uint32_t delayMs) { return now + delayMs; }

// True once `now` is later than `deadline`. The difference is read as a
// signed number, so a deadline set shortly before the counter wraps is not
// seen as passed at once, and one set after it is not missed; deadlines must
// lie less than 24.8 days ahead.
constexpr bool TickDeadlinePassed(uint32_t now, uint32_t deadline) {
  return static_cast<int32_t>(now - deadline) > 0;
}

// A start deadline that the loop asks about again and again while it runs.
// Once passed it stays passed: the signed comparison alone would read it as
// "not yet" again from 24.9 to 49.7 days after it was set. It must be asked
// at least once within 24.8 days of passing.
class StartDeadline {
 public:
  constexpr StartDeadline(uint32_t now, uint32_t delayMs) : deadline_(TickDeadline(now, delayMs)) {}

  bool Passed(uint32_t now) {
    if (!passed_ && TickDeadlinePassed(now, deadline_)) passed_ = true;
    return passed_;
  }

  // Milliseconds from `now` until the deadline counts as passed; 0 once it has.
  uint32_t MsLeft(uint32_t now) {
    if (Passed(now)) return 0;
    return deadline_ - now + 1;
  }

 private:
  uint32_t deadline_;
  bool passed_ = false;
};

}  // namespace sentrova
