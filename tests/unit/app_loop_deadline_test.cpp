// The scanner's start deadline on the wrapping 32-bit tick count, and how
// long the main loop may block between passes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "app/loop_wait.h"
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

TEST(StartDeadline, OncePassedStaysPassedForTheWholeRun) {
  constexpr uint32_t kDay = 86400000u;
  for (uint32_t start : {1000u, 0xFFFFFF00u, 0x7FFFFF00u}) {
    SCOPED_TRACE(testing::Message() << "start " << start);
    StartDeadline deadline(start, 15000);
    EXPECT_FALSE(deadline.Passed(start + 100));
    EXPECT_EQ(deadline.MsLeft(start + 100), 14901u);
    EXPECT_TRUE(deadline.Passed(start + 15001));
    // 24.9, 30 and 49 days on, across the signed turn-over and the wrap.
    for (uint32_t later : {24 * kDay + 80000000u, 30 * kDay, 49 * kDay}) {
      EXPECT_TRUE(deadline.Passed(start + later)) << later;
      EXPECT_EQ(deadline.MsLeft(start + later), 0u) << later;
    }
  }
}

TEST(LoopWait, BlocksUntilTheNextDueThingAndPollsWithoutAWakeEvent) {
  const double never = std::nan("");
  struct Row {
    const char* what;
    LoopWaitFacts facts;
    uint32_t wait;
  } rows[] = {
      {"nothing due", {}, kWaitWithoutLimit},
      {"pass at once", {true, true, true, 500, true, 5.0}, 0},
      {"scanner deadline", {false, true, true, 500, false, 0}, 500},
      // Not waiting for the scanner (disabled), the loop still wakes once at
      // the deadline: a deadline nobody looked at for 24.9 days would read
      // as not yet passed.
      {"deadline, scanner not waiting", {false, true, false, 500, false, 0}, 500},
      {"scanner start failed", {false, true, true, 0, false, 0}, kLoopPollMs},
      {"clean-up sooner", {false, true, true, 500, true, 99.5}, 100},
      {"clean-up overdue", {false, true, false, 0, true, -3.0}, kLoopPollMs},
      {"clean-up far off", {false, true, false, 0, true, 9e9}, 60000},
      {"clean-up never", {false, true, false, 0, true, never}, kWaitWithoutLimit},
      // Without its wake event a change made by another thread is seen only
      // by polling.
      {"no wake event", {false, false, false, 0, false, 0}, kLoopPollMs},
      {"no wake event, deadline", {false, false, true, 500, false, 0}, kLoopPollMs},
      {"no wake event, clean-up", {false, false, false, 0, true, 5.0}, 6},
  };
  for (const Row& row : rows) EXPECT_EQ(LoopWaitMs(row.facts), row.wait) << row.what;
}

}  // namespace
}  // namespace sentrova
