// Runs any number of random folder worlds through the clean-up's folder
// items (scripts/fuzz shapes N):
//   folder_worlds FIRST-SEED COUNT [without-mended-shapes] [no-shrink]
// A failing world prints its seed, what went wrong and (unless no-shrink)
// the smallest shape that still fails. The exit code is the number of failing worlds (at most 100).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "worlds/folder_world.h"

using namespace sentrova::worlds;

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr,
                 "usage: folder_worlds FIRST-SEED COUNT [without-mended-shapes] [no-shrink]\n");
    return 200;
  }
  const unsigned long long first = std::strtoull(argv[1], nullptr, 10);
  const unsigned long long count = std::strtoull(argv[2], nullptr, 10);
  WorldOptions options;
  bool shrink = true;
  for (int i = 3; i < argc; ++i) {
    options.allShapes &= std::string(argv[i]) != "without-mended-shapes";
    shrink &= std::string(argv[i]) != "no-shrink";
  }
  WorldSession session;
  if (!session.ready()) {
    std::fprintf(stderr, "folder_worlds: no configuration service or no Unix side\n");
    return 201;
  }
  int failed = 0;
  unsigned long long entries = 0;
  for (unsigned long long seed = first; seed < first + count; ++seed) {
    const World world = Generate(seed, options);
    entries += world.entries.size();
    const auto violations = RunWorld(world);
    if (violations.empty()) continue;
    ++failed;
    std::printf("FAIL seed %llu%s\n%s", seed, options.allShapes ? "" : " without-mended-shapes",
                Describe(violations).c_str());
    if (!shrink) {
      std::fflush(stdout);
      continue;
    }
    const World small = Shrink(world, 80);
    std::printf("smallest failing shape:\n%s%s", Describe(small).c_str(),
                Describe(RunWorld(small)).c_str());
    std::fflush(stdout);
  }
  std::printf("worlds %llu entries %llu failed %d\n", count, entries, failed);
  return failed > 100 ? 100 : failed;
}
