// The scanner's start deadline on the wrapping 32-bit tick count.
#include <gtest/gtest.h>

#include <cstdint>

#include "app/tick_deadline.h"

namespace sentrova {
namespace {

struct Case {
  uint32_t start;  // tick count when the deadline was set
  uint32_t now;
  bool passed;
};

TEST(TickDeadline, PassesOnlyAfterTheDelayAlsoAcrossTheWrap) {
  constexpr uint32_t kDelay = 15000;
  const Case cases[] = {
      {1000, 1000, false},
      {1000, 16000, false},  // exactly at the deadline: not yet later
      {1000, 16001, true},
      {1000, 16000 + 86400000u, true},  // a day later
      // Set shortly before the counter wraps: the deadline lies after the wrap.
      {0xFFFFFF00u, 0xFFFFFF01u, false},
      {0xFFFFFF00u, 100, false},
      {0xFFFFFF00u, 15000 - 0x100 + 1, true},
      // Set just before the signed range turns over.
      {0x7FFFFF00u, 0x7FFFFF10u, false},
      {0x7FFFFF00u, 0x80003999u, true},
      {0x7FFFFF00u, 0x80003998u, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "start " << c.start << " now " << c.now);
    EXPECT_EQ(TickDeadlinePassed(c.now, TickDeadline(c.start, kDelay)), c.passed);
  }
}

}  // namespace
}  // namespace sentrova
