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

// soak.exe's output, written to a file beside the programs: the clean-up
// passes empty the Temp folder.
std::string RunSoak(const std::string& counts, DWORD& exitCode) {
  const std::string file = test::BinDir() + "soak_test.out";
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE out = ::CreateFileA(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE) return {};
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = out;
  si.hStdError = out;
  PROCESS_INFORMATION pi{};
  std::string cmd = test::Quoted(test::BinDir() + "soak.exe") + " " + counts;
  exitCode = 99;
  if (::CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                       nullptr, &si, &pi)) {
    if (::WaitForSingleObject(pi.hProcess, kWaitMs) == WAIT_OBJECT_0) {
      ::GetExitCodeProcess(pi.hProcess, &exitCode);
    } else {
      ::TerminateProcess(pi.hProcess, 1);
      ::WaitForSingleObject(pi.hProcess, 5000);
    }
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
  }
  ::CloseHandle(out);
  std::string text;
  // Wine may still hold the ended child's copy of the handle a moment.
  HANDLE in = ::CreateFileA(file.c_str(), GENERIC_READ,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (in != INVALID_HANDLE_VALUE) {
    char buf[4096];
    DWORD n = 0;
    while (::ReadFile(in, buf, sizeof buf, &n, nullptr) && n > 0) text.append(buf, n);
    ::CloseHandle(in);
  }
  ::DeleteFileA(file.c_str());
  return text;
}

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
  DWORD code = 0;
  const std::string output = RunSoak("20 20 20 20 20 6", code);
  std::printf("%s\n", output.c_str());
  EXPECT_EQ(output.find("MISSED"), std::string::npos);
  EXPECT_EQ(code, 0u);
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
