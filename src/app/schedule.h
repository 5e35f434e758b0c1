// The automatic clean-up schedule: when the next clean-up falls due, computed
// from the host's RUN_AUTO, RUN_DELAY, RUN_PERIOD and LAST_SCAN settings.
// Platform-free; the main loop hands it the configuration through
// ScheduleConfig and keeps the resulting ScheduleState.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/date_time.h"

namespace sentrova {

// The configuration reads and the one write the schedule needs, in the terms
// of the host's configuration service (plug-in "VRX").
class ScheduleConfig {
 public:
  virtual ~ScheduleConfig() = default;
  virtual bool GetBool(std::string_view key, bool callDefault) = 0;
  virtual std::string GetStr(std::string_view key, int flag) = 0;
  virtual OleDateTime GetDate(std::string_view key, OleDateTime callDefault) = 0;
  virtual void SetDate(std::string_view key, OleDateTime value, bool notify) = 0;
};

struct ScheduleState {
  bool armed = false;           // an automatic clean-up is scheduled
  OleDateTime lastScan = 0.0;   // start of the previous automatic clean-up
  OleDateTime nextClean = 0.0;  // lastScan + the interval
};

// RUN_DELAY as a count of periods: trimmed of blanks and control characters
// and read as a decimal number; 0 when it is empty or not a number.
int ParseRunDelay(std::string_view text);

// RUN_PERIOD's step in days: "m" a minute, "h" an hour, "d" a day, in either
// letter case and trimmed of blanks and control characters, as the settings
// page reads it when it picks the option to show; 0 for anything else.
double RunPeriodStep(std::string_view text);

// Re-reads the schedule. RUN_AUTO off leaves the state disarmed; a delay that
// is not above 0 or an unknown period leaves it disarmed too. Otherwise
// nextClean is LAST_SCAN (0 when never stamped, hence due at once) plus delay
// times step. A failing read (an exception from the config) leaves the
// schedule disarmed once RUN_AUTO was read and passes the exception on.
void ComputeSchedule(ScheduleConfig& config, ScheduleState& state);

// The loop's test: an automatic clean-up is due when the schedule is armed,
// the plug-in is enabled and `now` (local date-time) is later than nextClean.
bool IsCleanDue(const ScheduleState& state, bool enabled, OleDateTime now);

// The due clean-up: when RUN_AUTO is still on, stamps LAST_SCAN with `now`
// (notify, no commit), calls `startCleanUp` and recomputes the schedule from
// the new stamp, so that the next one is due one interval after this start.
// With RUN_AUTO off the schedule is disarmed and nothing else happens.
void RunScheduledClean(ScheduleConfig& config, ScheduleState& state, OleDateTime now,
                       const std::function<void()>& startCleanUp);

}  // namespace sentrova
