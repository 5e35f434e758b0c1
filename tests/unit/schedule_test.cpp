#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <vector>

#include "app/schedule.h"
#include "platform/date_time.h"

namespace sentrova {
namespace {

// The host's settings for plug-in "VRX", as far as the schedule reads them.
class FakeScheduleConfig : public ScheduleConfig {
 public:
  std::map<std::string, bool> bools;
  std::map<std::string, std::string> strs;
  std::map<std::string, OleDateTime> dates;
  std::vector<std::string> reads;
  std::string failOn;

  bool GetBool(std::string_view key, bool callDefault) override {
    Note(key);
    auto it = bools.find(std::string(key));
    return it == bools.end() ? callDefault : it->second;
  }
  std::string GetStr(std::string_view key, int) override {
    Note(key);
    auto it = strs.find(std::string(key));
    return it == strs.end() ? std::string() : it->second;
  }
  OleDateTime GetDate(std::string_view key, OleDateTime callDefault) override {
    Note(key);
    auto it = dates.find(std::string(key));
    return it == dates.end() ? callDefault : it->second;
  }
  void SetDate(std::string_view key, OleDateTime value, bool notify) override {
    EXPECT_TRUE(notify);
    dates[std::string(key)] = value;
  }

 private:
  void Note(std::string_view key) {
    reads.emplace_back(key);
    if (key == failOn) throw std::runtime_error("host gone");
  }
};

OleDateTime At(int hour, int minute, int second = 0, int millisecond = 0) {
  DateTimeParts p;
  p.year = 2026;
  p.month = 3;
  p.day = 14;
  p.hour = hour;
  p.minute = minute;
  p.second = second;
  p.millisecond = millisecond;
  OleDateTime t = 0;
  EXPECT_TRUE(EncodeOleDateTime(p, t));
  return t;
}

FakeScheduleConfig Auto(std::string delay, std::string period, OleDateTime lastScan) {
  FakeScheduleConfig c;
  c.bools["RUN_AUTO"] = true;
  c.strs["RUN_DELAY"] = std::move(delay);
  c.strs["RUN_PERIOD"] = std::move(period);
  c.dates["LAST_SCAN"] = lastScan;
  return c;
}

ScheduleState Computed(FakeScheduleConfig c) {
  ScheduleState s;
  ComputeSchedule(c, s);
  return s;
}

TEST(ParseRunDelay, TrimsAndReadsWholeDecimalNumbers) {
  EXPECT_EQ(ParseRunDelay("30"), 30);
  EXPECT_EQ(ParseRunDelay("  15 \t"), 15);
  EXPECT_EQ(ParseRunDelay("\r\n45\r\n"), 45);
  EXPECT_EQ(ParseRunDelay("-5"), -5);
  EXPECT_EQ(ParseRunDelay(""), 0);
  EXPECT_EQ(ParseRunDelay("   "), 0);
  EXPECT_EQ(ParseRunDelay("thirty"), 0);
  EXPECT_EQ(ParseRunDelay("1 5"), 0);
  EXPECT_EQ(ParseRunDelay("15m"), 0);
  EXPECT_EQ(ParseRunDelay("0x10"), 0);
  EXPECT_EQ(ParseRunDelay("99999999999"), 0);
}

TEST(RunPeriodStep, KnowsMinutesHoursAndDaysInEitherCase) {
  EXPECT_DOUBLE_EQ(RunPeriodStep("m"), 1.0 / 1440.0);
  EXPECT_DOUBLE_EQ(RunPeriodStep("M"), 1.0 / 1440.0);
  EXPECT_DOUBLE_EQ(RunPeriodStep("h"), 1.0 / 24.0);
  EXPECT_DOUBLE_EQ(RunPeriodStep("H"), 1.0 / 24.0);
  EXPECT_DOUBLE_EQ(RunPeriodStep("d"), 1.0);
  EXPECT_DOUBLE_EQ(RunPeriodStep("D"), 1.0);
  // Trimmed, as the settings page reads the stored text.
  EXPECT_DOUBLE_EQ(RunPeriodStep(" m"), 1.0 / 1440.0);
  EXPECT_DOUBLE_EQ(RunPeriodStep("h "), 1.0 / 24.0);
  EXPECT_DOUBLE_EQ(RunPeriodStep("\tD\r\n"), 1.0);
  for (const char* bad : {"", "  ", "mm", "min", "w", "s", "m h"})
    EXPECT_EQ(RunPeriodStep(bad), 0.0) << '"' << bad << '"';
}

TEST(ComputeSchedule, ThirtyMinutesAfterTenFallsDueInTheFirstPassAfterHalfPast) {
  ScheduleState s = Computed(Auto("30", "m", At(10, 0)));
  ASSERT_TRUE(s.armed);
  EXPECT_DOUBLE_EQ(s.lastScan, At(10, 0));
  EXPECT_NEAR(s.nextClean, At(10, 30), 1e-9);
  EXPECT_FALSE(IsCleanDue(s, true, At(10, 0)));
  EXPECT_FALSE(IsCleanDue(s, true, At(10, 29, 59, 990)));
  EXPECT_TRUE(IsCleanDue(s, true, At(10, 30, 0, 10)));
  EXPECT_TRUE(IsCleanDue(s, true, At(23, 0)));
  // Disabled plug-in: never due.
  EXPECT_FALSE(IsCleanDue(s, false, At(23, 0)));
}

TEST(ComputeSchedule, HoursAndDaysAndTrimmedDelays) {
  ScheduleState h = Computed(Auto(" 2 ", "H", At(10, 0)));
  ASSERT_TRUE(h.armed);
  EXPECT_NEAR(h.nextClean, At(12, 0), 1e-9);
  ScheduleState d = Computed(Auto("\t1\r\n", "d", At(10, 0)));
  ASSERT_TRUE(d.armed);
  EXPECT_NEAR(d.nextClean, At(10, 0) + 1.0, 1e-9);
  ScheduleState m = Computed(Auto("15", "M", At(10, 0)));
  ASSERT_TRUE(m.armed);
  EXPECT_NEAR(m.nextClean, At(10, 15), 1e-9);
}

TEST(ComputeSchedule, InvalidDelaysAndPeriodsLeaveItDisarmed) {
  const struct {
    const char* delay;
    const char* period;
  } cases[] = {{"0", "m"},   {"-5", "m"},  {"", "m"},   {"   ", "h"}, {"ten", "d"},
               {"30", ""},   {"30", "x"},  {"30", " "}, {"30", "min"},
               {"3 0", "m"}};
  for (const auto& c : cases) {
    ScheduleState s;
    s.armed = true;
    FakeScheduleConfig cfg = Auto(c.delay, c.period, At(10, 0));
    ComputeSchedule(cfg, s);
    EXPECT_FALSE(s.armed) << '"' << c.delay << "\" \"" << c.period << '"';
    EXPECT_FALSE(IsCleanDue(s, true, At(23, 0)));
  }
}

TEST(ComputeSchedule, RunAutoOffReadsNothingElse) {
  FakeScheduleConfig c = Auto("30", "m", At(10, 0));
  c.bools["RUN_AUTO"] = false;
  ScheduleState s;
  s.armed = true;
  ComputeSchedule(c, s);
  EXPECT_FALSE(s.armed);
  EXPECT_EQ(c.reads, std::vector<std::string>{"RUN_AUTO"});
  // And a host without RUN_AUTO means off.
  FakeScheduleConfig none;
  ComputeSchedule(none, s);
  EXPECT_FALSE(s.armed);
}

TEST(ComputeSchedule, NeverStampedLastScanIsDueAtOnce) {
  FakeScheduleConfig c = Auto("30", "m", 0.0);
  c.dates.clear();
  ScheduleState s = Computed(c);
  ASSERT_TRUE(s.armed);
  EXPECT_EQ(s.lastScan, 0.0);
  EXPECT_NEAR(s.nextClean, 30.0 / 1440.0, 1e-12);
  EXPECT_TRUE(IsCleanDue(s, true, At(0, 0)));
}

TEST(ComputeSchedule, AFailedReadAfterRunAutoLeavesItDisarmed) {
  FakeScheduleConfig c = Auto("30", "m", At(10, 0));
  c.failOn = "LAST_SCAN";
  ScheduleState s;
  s.armed = true;
  s.nextClean = 5.0;
  EXPECT_THROW(ComputeSchedule(c, s), std::runtime_error);
  EXPECT_FALSE(s.armed);
  EXPECT_EQ(s.nextClean, 5.0);
  // A failing RUN_AUTO read changes nothing.
  FakeScheduleConfig d = Auto("30", "m", At(10, 0));
  d.failOn = "RUN_AUTO";
  s.armed = true;
  EXPECT_THROW(ComputeSchedule(d, s), std::runtime_error);
  EXPECT_TRUE(s.armed);
}

TEST(RunScheduledClean, StampsStartsAndReschedulesFromTheStart) {
  FakeScheduleConfig c = Auto("30", "m", At(10, 0));
  ScheduleState s;
  ComputeSchedule(c, s);
  const OleDateTime start = At(10, 30, 0, 10);
  ASSERT_TRUE(IsCleanDue(s, true, start));
  int started = 0;
  RunScheduledClean(c, s, start, [&] {
    ++started;
    EXPECT_EQ(c.dates["LAST_SCAN"], start);  // stamped before the clean-up starts
  });
  EXPECT_EQ(started, 1);
  EXPECT_EQ(c.dates["LAST_SCAN"], start);
  ASSERT_TRUE(s.armed);
  EXPECT_EQ(s.lastScan, start);
  EXPECT_NEAR(s.nextClean, At(11, 0, 0, 10), 1e-9);
  // Not again until the next interval has passed.
  EXPECT_FALSE(IsCleanDue(s, true, At(10, 59)));
  EXPECT_TRUE(IsCleanDue(s, true, At(11, 0, 0, 20)));
}

TEST(RunScheduledClean, RunAutoSwitchedOffDisarmsWithoutCleaning) {
  FakeScheduleConfig c = Auto("30", "m", At(10, 0));
  ScheduleState s;
  ComputeSchedule(c, s);
  c.bools["RUN_AUTO"] = false;
  int started = 0;
  RunScheduledClean(c, s, At(11, 0), [&] { ++started; });
  EXPECT_EQ(started, 0);
  EXPECT_FALSE(s.armed);
  EXPECT_EQ(c.dates["LAST_SCAN"], At(10, 0));
  EXPECT_FALSE(IsCleanDue(s, true, At(23, 0)));
}

TEST(RunScheduledClean, NewSettingsThatNoLongerParseDisarmAfterTheClean) {
  FakeScheduleConfig c = Auto("30", "m", At(10, 0));
  ScheduleState s;
  ComputeSchedule(c, s);
  c.strs["RUN_PERIOD"] = "week";
  int started = 0;
  RunScheduledClean(c, s, At(11, 0), [&] { ++started; });
  EXPECT_EQ(started, 1);
  EXPECT_EQ(c.dates["LAST_SCAN"], At(11, 0));
  EXPECT_FALSE(s.armed);
}

}  // namespace
}  // namespace sentrova
