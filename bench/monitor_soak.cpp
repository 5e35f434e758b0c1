// The security monitor over a long run: 200 monitored changes answered in
// turn "Yes", "No" and through Detected Changes ("OK", then "Yes"), with a
// reload of the configuration after every fourth, measured under Wine
// against the real registry and windows. After the first 10 changes and at
// the end it notes the process's handles, USER and GDI objects, private
// bytes and threads; the goal is no growth beyond noise.
//   bench_monitor_soak.exe [changes]
#include <windows.h>

#include <psapi.h>
#include <tlhelp32.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "monitor/catalogue.h"
#include "monitor/scanner.h"
#include "../devhost/common/child_window.h"

using namespace sentrova;

namespace {

constexpr char kAlert[] = "Sentrova - Security Settings Changed";
constexpr char kDetails[] = "Sentrova - Detected Changes";
constexpr ULONGLONG kGiveUpMs = 60000;

std::atomic<int> gReloads{0};  // reloads begun (each reads HOME_MON)

// Every entry monitored, no home page check.
class SoakConfig final : public ScannerConfig {
 public:
  bool ReadBool(std::string_view key) override {
    if (key == "HOME_MON") ++gReloads;
    return key != "HOME_MON";
  }
  std::string ReadStr(std::string_view) override { return {}; }
  void WriteBool(std::string_view, bool) override {}
  void WriteStr(std::string_view, std::string_view) override {}
  std::optional<bool> ReadHostBool(std::string_view) override { return false; }
};

struct Resources {
  DWORD handles = 0, user = 0, gdi = 0, threads = 0;
  SIZE_T privateBytes = 0;
};

// Windows of this process, top-level and below (Wine reports no USER count).
DWORD CountWindows() {
  struct Count {
    DWORD n = 0;
  } count;
  auto child = [](HWND, LPARAM p) CALLBACK -> BOOL {
    ++reinterpret_cast<Count*>(p)->n;
    return TRUE;
  };
  struct Top {
    Count* count;
    WNDENUMPROC child;
  } top{&count, child};
  ::EnumWindows(
      [](HWND w, LPARAM p) CALLBACK -> BOOL {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(w, &pid);
        if (pid != ::GetCurrentProcessId()) return TRUE;
        auto* t = reinterpret_cast<Top*>(p);
        ++t->count->n;
        ::EnumChildWindows(w, t->child, reinterpret_cast<LPARAM>(t->count));
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&top));
  return count.n;
}

// Open kernel handles, where the system does not count them itself (Wine):
// every handle value that the system recognises.
DWORD CountHandles() {
  DWORD n = 0;
  if (::GetProcessHandleCount(::GetCurrentProcess(), &n) && n > 0) return n;
  for (uintptr_t v = 4; v < 0x10000; v += 4) {
    DWORD flags = 0;
    if (::GetHandleInformation(reinterpret_cast<HANDLE>(v), &flags)) ++n;
  }
  return n;
}

Resources Measure() {
  Resources r;
  r.handles = CountHandles();
  r.user = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);
  if (r.user == 0) r.user = CountWindows();
  r.gdi = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  if (::GetProcessMemoryInfo(::GetCurrentProcess(),
                             reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory))
    r.privateBytes = memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage;
  HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Thread32First(snapshot, &entry); more; more = ::Thread32Next(snapshot, &entry))
    if (entry.th32OwnerProcessID == ::GetCurrentProcessId()) ++r.threads;
  ::CloseHandle(snapshot);
  return r;
}

template <class Condition>
bool WaitFor(Condition condition) {
  const ULONGLONG giveUp = ::GetTickCount64() + kGiveUpMs;
  while (!condition()) {
    if (::GetTickCount64() > giveUp) return false;
    ::Sleep(5);
  }
  return true;
}

HWND Visible(const char* caption) {
  HWND w = ::FindWindowA(nullptr, caption);
  return w && ::IsWindowVisible(w) ? w : nullptr;
}

bool Press(HWND parent, const char* caption) {
  HWND button = nullptr;
  if (!WaitFor([&] { return (button = devhost::ChildByCaption(parent, caption)) != nullptr; })) return false;
  return ::PostMessageA(button, BM_CLICK, 0, 0) != FALSE;
}

DWORD Current() {
  DWORD value = 0, size = sizeof value;
  ::RegGetValueA(HKEY_CURRENT_USER, ZoneKeyPath(3).c_str(), "1A02", RRF_RT_DWORD, nullptr, &value,
                 &size);
  return value;
}

// One change and its answer: 0 "Yes", 1 "No", 2 "Details...", "OK", "Yes".
bool ChangeAndAnswer(int i) {
  // Always a change: "Yes" puts the accepted value back, "No" keeps the new one.
  const DWORD before = Current();
  const DWORD value = before == 3 ? 1 : 3;
  ::RegSetKeyValueA(HKEY_CURRENT_USER, ZoneKeyPath(3).c_str(), "1A02", REG_DWORD, &value,
                    sizeof value);
  HWND alert = nullptr;
  if (!WaitFor([&] { return (alert = Visible(kAlert)) != nullptr; })) return false;
  if (i % 3 == 2) {
    if (!Press(alert, "Details...")) return false;
    HWND details = nullptr;
    if (!WaitFor([&] { return (details = Visible(kDetails)) != nullptr; })) return false;
    if (!Press(details, "OK")) return false;
    if (!WaitFor([&] { return ::IsWindowEnabled(alert) && !Visible(kDetails); })) return false;
  }
  const bool yes = i % 3 != 1;
  if (!Press(alert, yes ? "Yes" : "No")) return false;
  if (!WaitFor([&] { return !::IsWindow(alert) && (!yes || Current() == before); })) return false;
  // The scanner takes its new snapshot and arms its notifications again.
  ::Sleep(1000);
  return true;
}

void Row(const char* what, double first, double last, const char* unit) {
  std::printf("| %s | %.1f %s | %.1f %s | %+.1f |\n", what, first, unit, last, unit, last - first);
}

}  // namespace

int main(int argc, char** argv) {
  const int changes = argc > 1 ? std::atoi(argv[1]) : 200;
  // The question dialog shows only once the toolbar host is set up (its
  // flag, in the 32-bit view where the host keeps it).
  DWORD one = 1;
  HKEY host = nullptr;
  if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Quillbox", 0, nullptr, 0,
                        KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr, &host, nullptr) == ERROR_SUCCESS) {
    ::RegSetValueExA(host, "AFA_DONE", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4);
    ::RegCloseKey(host);
  }
  DWORD zero = 0;
  ::RegSetKeyValueA(HKEY_CURRENT_USER, ZoneKeyPath(3).c_str(), "1A02", REG_DWORD, &zero, 4);
  TVRXScanner* scanner = StartScannerThread([] { return std::make_unique<SoakConfig>(); });
  ::Sleep(4000);  // the first, silent scan

  Resources first{};
  int done = 0, reloads = 0;
  for (; done < changes; ++done) {
    if (!ChangeAndAnswer(done)) break;
    if (done % 4 == 3) {
      // A reload accepts every current value: the next change waits for it.
      const int begun = gReloads;
      if (!SignalScannerReload() || !WaitFor([&] { return gReloads > begun; })) break;
      ::Sleep(500);
      ++reloads;
    }
    if (done == 9) first = Measure();
  }
  const Resources last = Measure();
  StopScannerAndWait(scanner, 5000);
  ::RegSetKeyValueA(HKEY_CURRENT_USER, ZoneKeyPath(3).c_str(), "1A02", REG_DWORD, &zero, 4);

  std::printf("%d changes answered, %d reloads\n", done, reloads);
  std::printf("| measure | after 10 changes | after %d | growth |\n|---|---|---|---|\n", done);
  Row("handles", first.handles, last.handles, "");
  Row("USER objects (windows where the system counts none)", first.user, last.user, "");
  Row("GDI objects (0: not counted by the system)", first.gdi, last.gdi, "");
  Row("private bytes", first.privateBytes / 1048576.0, last.privateBytes / 1048576.0, "MB");
  Row("threads", first.threads, last.threads, "");
  return done == changes ? 0 : 1;
}
