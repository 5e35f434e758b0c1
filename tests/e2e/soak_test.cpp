// ctest: serial
// A short soak: soak.exe does about twenty of each kind of work (clean-ups,
// answered security alerts, configuration reloads, tray shows and hides,
// browser windows, host restarts) on one running program and reads its
// handles, objects, memory and threads before the work and after each tenth.
// Counts only, never times. A steady rise fails: the lower of the last two
// readings may not pass the reading after the first tenth by more than an
// allowance that one-off noise stays within and a leak per piece of work
// does not.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "win/host_test_support.h"

namespace sentrova {
namespace {

constexpr DWORD kWaitMs = 170000;

struct Measure {
  const char* name;
  int column;         // of a SAMPLE line, after the tenth
  double allowance;   // over the whole run
};
constexpr int kPrivateBytes = 4;
constexpr int kThreads = 6;
const Measure kMeasures[] = {
    {"handles", 0, 12},  {"USER objects", 1, 4}, {"GDI objects", 2, 4},
    {"windows", 3, 4},   {"private bytes beyond thread stacks", kPrivateBytes, 2 << 20},
    {"threads", kThreads, 3},
};
// Each thread commits its whole stack under Wine (3 MB, measured): a pooled
// RPC thread alive at one reading and not at another moves private bytes by
// that much, so a thread's stack counts with the thread.
constexpr double kThreadStack = 3 << 20;

TEST(Soak, TwentyRoundsOfEachWorkLeaveNoSteadyRise) {
  ASSERT_TRUE(test::RegisterStandInHost());
  ASSERT_TRUE(
      test::RunAndWait(test::Quoted(test::SentrovaExe()) + " /regserver", 60000).finished);
  test::EndStrayPrograms();
  // Its output lies beside the programs: the clean-up passes empty Temp.
  const test::CapturedRun run = test::RunCaptured(
      test::Quoted(test::BinDir() + "soak.exe") + " 20 20 20 20 20 6", kWaitMs, test::BinDir());
  const std::string& output = run.output;
  std::printf("%s\n", output.c_str());
  EXPECT_EQ(output.find("MISSED"), std::string::npos);
  EXPECT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0u);
  std::vector<std::vector<double>> samples;  // by tenth
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("SAMPLE|", 0) != 0) continue;
    std::vector<double> row;
    std::istringstream cells(line.substr(7));
    for (std::string cell; std::getline(cells, cell, '|');) row.push_back(std::stod(cell));
    samples.push_back(std::vector<double>(row.begin() + 1, row.end()));
  }
  ASSERT_EQ(samples.size(), 11u);
  for (auto& row : samples) row[kPrivateBytes] -= kThreadStack * row[kThreads];
  for (const Measure& m : kMeasures) {
    const double afterFirst = samples[1][m.column];
    const double last = std::min(samples[9][m.column], samples[10][m.column]);
    EXPECT_LE(last, afterFirst + m.allowance) << m.name << " rose steadily";
  }
  test::EndStrayPrograms();
}

}  // namespace
}  // namespace sentrova
