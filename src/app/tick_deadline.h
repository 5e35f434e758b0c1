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

}  // namespace sentrova
