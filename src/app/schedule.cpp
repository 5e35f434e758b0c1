#include "app/schedule.h"

#include "platform/text.h"

namespace sentrova {

int ParseRunDelay(std::string_view text) {
  const std::string trimmed = Trim(text);
  int n = 0;
  if (trimmed.empty() || !ParseInt32(trimmed, n)) return 0;
  return n;
}

double RunPeriodStep(std::string_view text) {
  const std::string unit = LowerAscii(Trim(text));
  if (unit == "m") return kOneMinute;
  if (unit == "h") return kOneHour;
  if (unit == "d") return 1.0;
  return 0.0;
}

void ComputeSchedule(ScheduleConfig& config, ScheduleState& state) {
  state.armed = config.GetBool("RUN_AUTO", false);
  if (!state.armed) return;
  state.armed = false;
  const int n = ParseRunDelay(config.GetStr("RUN_DELAY", 0));
  if (n <= 0) return;
  const double step = RunPeriodStep(config.GetStr("RUN_PERIOD", 0));
  if (!(step > 0.0)) return;
  const double interval = n * step;
  state.lastScan = config.GetDate("LAST_SCAN", 0.0);
  state.nextClean = state.lastScan + interval;
  state.armed = true;
}

bool IsCleanDue(const ScheduleState& state, bool enabled, OleDateTime now) {
  return state.armed && enabled && now > state.nextClean;
}

void RunScheduledClean(ScheduleConfig& config, ScheduleState& state, OleDateTime now,
                       const std::function<void()>& startCleanUp) {
  state.armed = config.GetBool("RUN_AUTO", false);
  if (!state.armed) return;
  config.SetDate("LAST_SCAN", now, true);
  if (startCleanUp) startCleanUp();
  ComputeSchedule(config, state);
}

}  // namespace sentrova
