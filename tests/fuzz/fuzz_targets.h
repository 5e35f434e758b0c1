// Fuzz targets for the program's parsers of outside text: each takes any
// bytes, runs the parser and checks what must hold for every input, and
// aborts when it does not. libFuzzer drives them through
// LLVMFuzzerTestOneInput (scripts/fuzz); the unit tests feed them their seed
// corpus and fixed-seed mutations of it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sentrova::fuzz {

using TargetFunction = int (*)(const uint8_t* data, size_t size);

struct Target {
  const char* name;  // also the folder of its seed corpus, tests/fuzz/<name>/
  TargetFunction run;
};

int CommandLine(const uint8_t* data, size_t size);
int NameValueText(const uint8_t* data, size_t size);
int PendingRenames(const uint8_t* data, size_t size);
int WininitIni(const uint8_t* data, size_t size);
int KeepList(const uint8_t* data, size_t size);
int ScheduleTexts(const uint8_t* data, size_t size);

inline constexpr Target kTargets[] = {
    {"command_line", CommandLine},     {"name_value", NameValueText},
    {"pending_renames", PendingRenames}, {"wininit", WininitIni},
    {"keep_list", KeepList},           {"schedule", ScheduleTexts},
};

}  // namespace sentrova::fuzz
