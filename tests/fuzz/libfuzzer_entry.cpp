// libFuzzer's entry for one target, chosen when scripts/fuzz compiles it
// (SENTROVA_FUZZ_TARGET names it).
#include <cstring>

#include "fuzz/fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (const sentrova::fuzz::Target& target : sentrova::fuzz::kTargets) {
    if (std::strcmp(target.name, SENTROVA_FUZZ_TARGET) == 0) return target.run(data, size);
  }
  return 0;
}
