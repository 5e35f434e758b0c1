// The security monitor's two costs, measured under Wine against the real
// registry and windows:
//  - alert latency: from a zone value written by another process to the
//    alert window on the screen, over 20 changes (the design pauses 2.0 s
//    before every scan so that bursts of writes make one alert);
//  - idle cost: the processor time the scanner thread takes in 60 s with
//    nothing happening (this process does nothing else meanwhile).
//   bench_monitor.exe [changes] [idle-seconds]
//   bench_monitor.exe write VALUE     (the writer: another process)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "monitor/catalogue.h"
#include "monitor/scanner.h"
#include "state/process_state.h"

using namespace sentrova;

namespace {

constexpr char kAlert[] = "Sentrova - Security Settings Changed";
constexpr char kClockKey[] = "Software\\SentrovaBench";

// Every entry monitored, no home page check.
class BenchConfig final : public ScannerConfig {
 public:
  bool ReadBool(std::string_view key) override { return key != "HOME_MON"; }
  std::string ReadStr(std::string_view) override { return {}; }
  void WriteBool(std::string_view, bool) override {}
  void WriteStr(std::string_view, std::string_view) override {}
  std::optional<bool> ReadHostBool(std::string_view) override { return false; }
};

double Seconds(LONGLONG ticks) {
  LARGE_INTEGER f;
  ::QueryPerformanceFrequency(&f);
  return static_cast<double>(ticks) / static_cast<double>(f.QuadPart);
}

// The writer records the moment just before its write.
int Write(DWORD value) {
  LARGE_INTEGER now;
  ::QueryPerformanceCounter(&now);
  ::RegSetKeyValueA(HKEY_CURRENT_USER, kClockKey, "written", REG_QWORD, &now, sizeof now);
  return ::RegSetKeyValueA(HKEY_CURRENT_USER, ZoneKeyPath(3).c_str(), "1A02", REG_DWORD, &value,
                           sizeof value) == ERROR_SUCCESS
             ? 0
             : 1;
}

bool RunWriter(DWORD value) {
  char self[MAX_PATH];
  ::GetModuleFileNameA(nullptr, self, MAX_PATH);
  char line[MAX_PATH + 32];
  std::snprintf(line, sizeof line, "\"%s\" write %lu", self, static_cast<unsigned long>(value));
  STARTUPINFOA si{sizeof si};
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return false;
  ::WaitForSingleObject(pi.hProcess, 30000);
  ::CloseHandle(pi.hThread);
  ::CloseHandle(pi.hProcess);
  return true;
}

HWND VisibleAlert() {
  HWND w = ::FindWindowA(nullptr, kAlert);
  return w && ::IsWindowVisible(w) ? w : nullptr;
}

double CpuSeconds() {
  FILETIME created, exited, kernel, user;
  ::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto value = [](FILETIME t) {
    return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 1e7;
  };
  return value(kernel) + value(user);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "write")
    return Write(static_cast<DWORD>(std::atoi(argv[2])));
  const int changes = argc > 1 ? std::atoi(argv[1]) : 20;
  const int idleSeconds = argc > 2 ? std::atoi(argv[2]) : 60;

  // The question dialog shows only once the toolbar host is set up.
  DWORD one = 1;
  ::RegSetKeyValueA(HKEY_LOCAL_MACHINE, "Software\\Quillbox", "AFA_DONE", REG_DWORD, &one, 4);
  DWORD zero = 0;
  ::RegSetKeyValueA(HKEY_CURRENT_USER, ZoneKeyPath(3).c_str(), "1A02", REG_DWORD, &zero, 4);
  TVRXScanner* scanner = StartScannerThread([] { return std::make_unique<BenchConfig>(); });
  ::Sleep(4000);  // the first, silent scan

  std::vector<double> latencies;
  for (int i = 0; i < changes; ++i) {
    if (!RunWriter(i % 2 == 0 ? 3 : 0)) break;
    HWND alert = nullptr;
    const ULONGLONG giveUp = ::GetTickCount64() + 60000;
    while (!(alert = VisibleAlert()) && ::GetTickCount64() < giveUp) ::Sleep(1);
    LARGE_INTEGER shown, written{};
    ::QueryPerformanceCounter(&shown);
    DWORD size = sizeof written;
    ::RegGetValueA(HKEY_CURRENT_USER, kClockKey, "written", RRF_RT_QWORD, nullptr, &written, &size);
    if (!alert) break;
    latencies.push_back(Seconds(shown.QuadPart - written.QuadPart));
    // "No": the value is accepted; the scanner then re-arms its notifications.
    HWND no = ::FindWindowExA(alert, nullptr, nullptr, "&No");
    for (HWND child = ::GetWindow(alert, GW_CHILD); !no && child;
         child = ::GetWindow(child, GW_HWNDNEXT))
      no = ::FindWindowExA(child, nullptr, nullptr, "&No");
    if (no) ::PostMessageA(no, BM_CLICK, 0, 0);
    while (VisibleAlert()) ::Sleep(10);
    ::Sleep(3000);
  }

  const double cpuBefore = CpuSeconds();
  ::Sleep(static_cast<DWORD>(idleSeconds) * 1000);
  const double idleCpu = CpuSeconds() - cpuBefore;
  StopScannerAndWait(scanner, 5000);
  ::RegSetKeyValueA(HKEY_CURRENT_USER, ZoneKeyPath(3).c_str(), "1A02", REG_DWORD, &zero, 4);
  ::RegDeleteTreeA(HKEY_CURRENT_USER, kClockKey);

  std::vector<double> sorted = latencies;
  std::sort(sorted.begin(), sorted.end());
  const double median = sorted.empty() ? 0
                        : sorted.size() % 2
                            ? sorted[sorted.size() / 2]
                            : (sorted[sorted.size() / 2 - 1] + sorted[sorted.size() / 2]) / 2;
  const double worst = sorted.empty() ? 0 : sorted.back();
  std::printf("| measure | value | design / goal |\n|---|---|---|\n");
  std::printf("| alert latency, median of %zu changes | %.3f s | pause 2.0 s; goal <= 2.2 s |\n",
              sorted.size(), median);
  std::printf("| alert latency, worst | %.3f s | goal <= 2.2 s |\n", worst);
  std::printf("| scanner idle CPU over %d s | %.3f s (%.2f %%) | blocks in its waits |\n",
              idleSeconds, idleCpu, 100.0 * idleCpu / idleSeconds);
  return static_cast<int>(sorted.size()) == changes ? 0 : 1;
}
