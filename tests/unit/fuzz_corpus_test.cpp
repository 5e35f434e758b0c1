// Every fuzz target gets its seed corpus and a few thousand fixed-seed
// mutations of it, so that the properties the targets check are tried on
// each test run; scripts/fuzz runs them for longer under libFuzzer.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "fuzz/fuzz_targets.h"

namespace sentrova::fuzz {
namespace {

constexpr int kMutations = 3000;

std::filesystem::path CorpusFolder(const char* name) {
#ifdef _WIN32
  // Under Wine the source tree is reached through drive Z:, the Linux root.
  return std::filesystem::path("Z:" SENTROVA_FUZZ_CORPUS) / name;
#else
  return std::filesystem::path(SENTROVA_FUZZ_CORPUS) / name;
#endif
}

std::vector<std::string> Seeds(const char* name) {
  std::vector<std::string> seeds;
  for (const auto& entry : std::filesystem::directory_iterator(CorpusFolder(name))) {
    std::ifstream in(entry.path(), std::ios::binary);
    seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  return seeds;
}

// One of libFuzzer's simpler moves, applied to a seed.
std::string Mutate(std::string input, const std::vector<std::string>& seeds, std::mt19937& rng) {
  auto pick = [&](size_t n) { return n == 0 ? size_t{0} : std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
  const char interesting[] = {'\0', '\r', '\n', '"', '=', '/', '-', '\\', ' ', '\x7f', '\xff', '['};
  switch (pick(5)) {
    case 0:  // replace a byte
      if (!input.empty()) input[pick(input.size())] = static_cast<char>(rng());
      break;
    case 1:  // insert a byte that parsers care about
      input.insert(input.begin() + static_cast<long>(pick(input.size() + 1)),
                   interesting[pick(sizeof interesting)]);
      break;
    case 2:  // drop a stretch
      if (!input.empty()) {
        const size_t at = pick(input.size());
        input.erase(at, pick(input.size() - at) + 1);
      }
      break;
    case 3:  // repeat a stretch
      if (!input.empty()) {
        const size_t at = pick(input.size());
        input.insert(at, input.substr(at, pick(64) + 1));
      }
      break;
    default:  // splice another seed in
      input.insert(pick(input.size() + 1), seeds[pick(seeds.size())]);
      break;
  }
  return input;
}

}  // namespace

// Names the target in test output (found by argument-dependent look-up).
void PrintTo(const Target& target, std::ostream* os) { *os << target.name; }

namespace {

class FuzzCorpus : public ::testing::TestWithParam<Target> {};

TEST_P(FuzzCorpus, SeedsAndMutationsKeepTheTargetsProperties) {
  const Target& target = GetParam();
  const std::vector<std::string> seeds = Seeds(target.name);
  ASSERT_FALSE(seeds.empty()) << CorpusFolder(target.name);
  auto feed = [&](const std::string& input) {
    return target.run(reinterpret_cast<const uint8_t*>(input.data()), input.size());
  };
  for (const std::string& seed : seeds) EXPECT_EQ(feed(seed), 0);
  std::mt19937 rng(20261207);
  std::string input = seeds[0];
  for (int i = 0; i < kMutations; ++i) {
    // Mostly a fresh seed, sometimes a mutant of the last mutant.
    input = Mutate(i % 4 == 0 ? input : seeds[rng() % seeds.size()], seeds, rng);
    if (input.size() > 4096) input.resize(4096);
    ASSERT_EQ(feed(input), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzCorpus, ::testing::ValuesIn(kTargets),
                         [](const ::testing::TestParamInfo<Target>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace sentrova::fuzz
