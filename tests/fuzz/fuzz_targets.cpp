#include "fuzz/fuzz_targets.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "app/schedule.h"
#include "branding/name_value_list.h"
#include "cleanup/cookie_keep_list.h"
#include "cleanup/pending_text.h"
#include "host/resource_text.h"

namespace sentrova::fuzz {

namespace {

// A broken property stops the run where libFuzzer (or the test) sees it.
#define FUZZ_CHECK(condition)                                                   \
  do {                                                                          \
    if (!(condition)) {                                                         \
      std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", #condition, __FILE__, \
                   __LINE__);                                                   \
      std::abort();                                                             \
    }                                                                           \
  } while (0)

std::string_view Text(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

bool HasUpper(std::string_view s) {
  for (char c : s) {
    if (c >= 'A' && c <= 'Z') return true;
  }
  return false;
}
bool HasLower(std::string_view s) {
  for (char c : s) {
    if (c >= 'a' && c <= 'z') return true;
  }
  return false;
}

// Splits the input at NUL bytes into texts for parsers that take several.
std::vector<std::string> Parts(std::string_view text, size_t count) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (parts.size() + 1 < count) {
    const size_t end = text.find('\0', start);
    if (end == std::string_view::npos) break;
    parts.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  parts.emplace_back(text.substr(start < text.size() ? start : text.size()));
  parts.resize(count);
  return parts;
}

// The schedule's configuration, answered from fuzzed texts.
class TextScheduleConfig final : public ScheduleConfig {
 public:
  TextScheduleConfig(bool runAuto, std::string delay, std::string period, double lastScan)
      : runAuto_(runAuto), delay_(std::move(delay)), period_(std::move(period)),
        lastScan_(lastScan) {}
  bool GetBool(std::string_view, bool) override { return runAuto_; }
  std::string GetStr(std::string_view key, int) override {
    return key == "RUN_DELAY" ? delay_ : period_;
  }
  OleDateTime GetDate(std::string_view, OleDateTime) override { return lastScan_; }
  void SetDate(std::string_view, OleDateTime value, bool) override { lastScan_ = value; }

 private:
  bool runAuto_;
  std::string delay_, period_;
  double lastScan_;
};

}  // namespace

int CommandLine(const uint8_t* data, size_t size) {
  const std::string_view text = Text(data, size);
  const std::vector<std::string> params = SplitParameters(text);
  size_t total = 0;
  for (const std::string& p : params) total += p.size();
  FUZZ_CHECK(total <= text.size());
  const StartCommand command = ParseStartCommand(text);
  if (params.empty()) FUZZ_CHECK(command == StartCommand::kNormalRun);
  if (!params.empty()) {
    const std::string keyword = NormalizeKeyword(params[0]);
    FUZZ_CHECK(!HasLower(keyword));
    FUZZ_CHECK(keyword.empty() || (keyword[0] != '-' && keyword[0] != '/'));
    FUZZ_CHECK(NormalizeKeyword(keyword) == keyword);
    const bool isKeyword = keyword == "CLEANUP" || keyword == "MANUALUPDATE" ||
                           keyword == "REGSERVER" || keyword == "UNREGSERVER";
    FUZZ_CHECK(isKeyword == (command != StartCommand::kNormalRun));
  }
  return 0;
}

int NameValueText(const uint8_t* data, size_t size) {
  const std::string_view text = Text(data, size);
  const NameValueList list(text);
  const std::vector<std::string> lines = ResourceLines(text);
  for (const std::string& line : lines) {
    FUZZ_CHECK(line.find_first_of("\r\n") == std::string::npos);
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string name = line.substr(0, eq);
    // A name that a line carries is found, by both readers.
    FUZZ_CHECK(FindResourceValue(lines, name).has_value());
    list.Find(name);
  }
  std::string defaults;
  AppendDefaultsPart(defaults, lines);
  FUZZ_CHECK(defaults.size() >= 2 && defaults.compare(defaults.size() - 2, 2, "\r\n") == 0);
  ConfigAddresses addresses = DefaultConfigAddresses();
  ApplyConfigLines(lines, addresses);
  return 0;
}

int PendingRenames(const uint8_t* data, size_t size) {
  for (const std::string& path : PendingRenamePaths(Text(data, size))) {
    FUZZ_CHECK(!path.empty());
    FUZZ_CHECK(!HasUpper(path));
    FUZZ_CHECK(path.find('\0') == std::string::npos);
  }
  return 0;
}

int WininitIni(const uint8_t* data, size_t size) {
  const std::vector<std::string> parts = Parts(Text(data, size), 2);
  const std::vector<std::string> lines = ResourceLines(parts[1]);
  const std::vector<std::string> edited = WithWininitDeletion(lines, parts[0]);
  FUZZ_CHECK(!edited.empty());
  FUZZ_CHECK(edited.back() == "NUL=" + parts[0]);
  FUZZ_CHECK(edited.size() >= lines.size() + 1);
  for (const std::string& path : WininitPendingPaths(edited)) FUZZ_CHECK(!path.empty());
  const std::string joined = JoinIniLines(edited);
  FUZZ_CHECK(joined.size() >= 2 * edited.size());
  IgnoreListContains(lines, parts[0]);
  return 0;
}

int KeepList(const uint8_t* data, size_t size) {
  const std::string_view text = Text(data, size);
  const std::vector<std::string> kept = KeepListLines(text);
  for (const std::string& host : kept) {
    FUZZ_CHECK(!host.empty());
    FUZZ_CHECK(host.find_first_of("\r\n") == std::string::npos);
    FUZZ_CHECK(IsKeptHost(kept, host));
  }
  // What is stored reads back as the same list.
  FUZZ_CHECK(KeepListLines(KeepListText(kept)) == kept);
  const std::string host = CookieHostOf(text);
  FUZZ_CHECK(host.find('/') == std::string::npos);
  FUZZ_CHECK(!HasUpper(host));
  return 0;
}

int ScheduleTexts(const uint8_t* data, size_t size) {
  double lastScan = 0;
  if (size >= sizeof lastScan) std::memcpy(&lastScan, data, sizeof lastScan);
  const std::vector<std::string> parts = Parts(Text(data, size), 2);
  const int delay = ParseRunDelay(parts[0]);
  const double step = RunPeriodStep(parts[1]);
  FUZZ_CHECK(step == 0 || step == kOneMinute || step == kOneHour || step == 1.0);
  TextScheduleConfig config(size % 2 == 1, parts[0], parts[1], lastScan);
  ScheduleState state;
  ComputeSchedule(config, state);
  FUZZ_CHECK(state.armed == (size % 2 == 1 && delay > 0 && step > 0));
  IsCleanDue(state, true, lastScan);
  return 0;
}

}  // namespace sentrova::fuzz
