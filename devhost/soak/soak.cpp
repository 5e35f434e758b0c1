// soak.exe: days of use squeezed into minutes. Plays the toolbar host (it
// creates plug-in objects through COM and calls them as the toolbar does) and
// the user (it answers the program's security alerts through their windows),
// and watches what the work leaves behind in the running sentrova.exe.
//
//   soak [CLEANUPS CHANGES RELOADS TRAYS WINDOWS RESTARTS]
//        (default 500 200 500 100 50 20)
//
// The work is cut into ten tenths; each tenth does its share of every kind:
// clean-up passes (toolbar menu "Clean Up Now" and the settings button, in
// turn), monitored zone changes answered "Yes" and "No" in turn, configuration
// reloads, tray shows and hides, browser windows opening and closing, and host
// restarts (the host's objects released, another host process living once,
// the objects created again). Before the work and after each tenth it prints
//   SAMPLE|tenth|handles|user|gdi|windows|private bytes|working set|threads|pid
// read from the program's process by another process, the way a task manager
// reads them, and a table at the end. Exit code 0 when every piece of work
// was seen done, 1 when some was not (the lines starting with "MISSED" say
// which), 2 on a usage error.
#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host/config.h"
#include "host/config_keys.h"
#include "host/host_contract.h"
#include "platform/com.h"
#include "platform/handle.h"
#include "platform/named_objects.h"
#include "platform/registry.h"
#include "../common/child_window.h"
#include "../common/program_processes.h"

namespace {

using sentrova::Bstr;
using sentrova::ComPtr;
using sentrova::KernelHandle;

constexpr DWORD kWaitMs = 60000;
constexpr char kAlertCaption[] = "Sentrova - Security Settings Changed";
constexpr char kZoneKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones\\3";
constexpr char kZoneValue[] = "1A02";  // M_COOKIE_1, monitored by default

int missed = 0;

void SetZoneValue(DWORD value) {
  HKEY key = nullptr;
  if (::RegCreateKeyExA(HKEY_CURRENT_USER, kZoneKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
    return;
  }
  ::RegSetValueExA(key, kZoneValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                   sizeof value);
  ::RegCloseKey(key);
}

void Missed(const std::string& what) {
  ++missed;
  std::printf("MISSED|%s\n", what.c_str());
}

template <class Condition>
bool WaitFor(Condition condition, DWORD timeoutMs) {
  const ULONGLONG end = ::GetTickCount64() + timeoutMs;
  for (;;) {
    if (condition()) return true;
    if (::GetTickCount64() > end) return condition();
    ::Sleep(10);
  }
}

std::string ExeDirectory() {
  char buf[MAX_PATH * 2] = {};
  const DWORD n = ::GetModuleFileNameA(nullptr, buf, sizeof buf);
  std::string path(buf, n);
  return path.substr(0, path.find_last_of("\\/") + 1);
}


DWORD ThreadCount(DWORD pid) {
  DWORD count = 0;
  HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snap == INVALID_HANDLE_VALUE) return 0;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Thread32First(snap, &entry); more; more = ::Thread32Next(snap, &entry)) {
    if (entry.th32OwnerProcessID == pid) ++count;
  }
  ::CloseHandle(snap);
  return count;
}

// Windows (top-level and child) that belong to the process: the USER objects
// one can count from outside where GetGuiResources counts none.
DWORD WindowCount(DWORD pid) {
  struct Count {
    DWORD pid;
    DWORD n;
  } c{pid, 0};
  auto top = [](HWND w, LPARAM p) CALLBACK -> BOOL {
    auto* c = reinterpret_cast<Count*>(p);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(w, &owner);
    if (owner != c->pid) return TRUE;
    ++c->n;
    ::EnumChildWindows(w, [](HWND, LPARAM q) CALLBACK -> BOOL {
      ++reinterpret_cast<Count*>(q)->n;
      return TRUE;
    }, p);
    return TRUE;
  };
  ::EnumWindows(top, reinterpret_cast<LPARAM>(&c));
  // Message-only windows are not top-level windows of the desktop.
  for (HWND w = nullptr; (w = ::FindWindowExA(HWND_MESSAGE, w, nullptr, nullptr));) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(w, &owner);
    if (owner == pid) ++c.n;
  }
  return c.n;
}

// The process's handles in the system's handle list, for where
// GetProcessHandleCount answers 0 for another process (Wine).
DWORD HandlesInSystemList(DWORD pid) {
  struct Entry {
    void* object;
    ULONG_PTR process;
    ULONG_PTR handle;
    ULONG access;
    USHORT backTrace;
    USHORT type;
    ULONG attributes;
    ULONG reserved;
  };
  struct List {
    ULONG_PTR count;
    ULONG_PTR reserved;
    Entry entries[1];
  };
  using Query = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);
  const auto query = reinterpret_cast<Query>(reinterpret_cast<void (*)()>(
      ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  if (query == nullptr) return 0;
  constexpr ULONG kExtendedHandleInformation = 64;
  std::vector<char> buffer(1 << 20);
  for (int attempt = 0; attempt < 8; ++attempt) {
    ULONG needed = 0;
    const LONG status = query(kExtendedHandleInformation, buffer.data(),
                              static_cast<ULONG>(buffer.size()), &needed);
    if (status == 0) {
      const auto* list = reinterpret_cast<const List*>(buffer.data());
      DWORD n = 0;
      for (ULONG_PTR i = 0; i < list->count; ++i) n += list->entries[i].process == pid;
      return n;
    }
    buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 65536));
  }
  return 0;
}

// Committed private memory of another process, region by region, for where
// the memory counters leave PrivateUsage at 0 (Wine).
SIZE_T PrivateCommitted(HANDLE process) {
  SIZE_T total = 0;
  MEMORY_BASIC_INFORMATION region{};
  for (char* at = nullptr;
       ::VirtualQueryEx(process, at, &region, sizeof region) == sizeof region;
       at = static_cast<char*>(region.BaseAddress) + region.RegionSize) {
    if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
    if (region.RegionSize == 0) break;
  }
  return total;
}

// GDI objects of another process counted in its GDI handle table (the
// table that the process block names), for where GetGuiResources counts none
// (Wine). An entry in use carries its object type; stock objects, shared by
// every process, are left out.
DWORD GdiObjectsInTable(HANDLE process) {
  struct BasicInformation {
    LONG_PTR exitStatus;
    void* peb;
    ULONG_PTR affinity;
    LONG_PTR priority;
    ULONG_PTR id;
    ULONG_PTR parent;
  } basic{};
  using Query = LONG(WINAPI*)(HANDLE, ULONG, void*, ULONG, ULONG*);
  const auto query = reinterpret_cast<Query>(reinterpret_cast<void (*)()>(
      ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
  if (query == nullptr || query(process, 0, &basic, sizeof basic, nullptr) != 0) return 0;
  constexpr size_t kGdiTableInBlock = 0xF8;  // 64-bit process block
  void* table = nullptr;
  if (!::ReadProcessMemory(process, static_cast<char*>(basic.peb) + kGdiTableInBlock, &table,
                           sizeof table, nullptr) ||
      table == nullptr) {
    return 0;
  }
  struct Entry {
    UINT64 object;
    ULONG owner;
    UCHAR extTypeAndStock;  // stock objects: the high bit
    UCHAR generation;
    UCHAR type;
    UCHAR flags;
  };
  std::vector<Entry> entries(0x10000);
  if (!::ReadProcessMemory(process, table, entries.data(), entries.size() * sizeof(Entry), nullptr)) {
    return 0;
  }
  DWORD n = 0;
  for (const Entry& e : entries) n += e.type != 0 && (e.extTypeAndStock & 0x80) == 0;
  return n;
}

struct Sample {
  DWORD handles = 0, user = 0, gdi = 0, windows = 0, threads = 0;
  SIZE_T privateBytes = 0, workingSet = 0;
  DWORD pid = 0;
};

Sample Measure(DWORD pid) {
  Sample s;
  s.pid = pid;
  KernelHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
  if (!process) return s;
  ::GetProcessHandleCount(process.get(), &s.handles);
  if (s.handles == 0) s.handles = HandlesInSystemList(pid);
  s.user = ::GetGuiResources(process.get(), GR_USEROBJECTS);
  s.gdi = ::GetGuiResources(process.get(), GR_GDIOBJECTS);
  if (s.gdi == 0 && s.user == 0) s.gdi = GdiObjectsInTable(process.get());
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  if (::GetProcessMemoryInfo(process.get(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                             sizeof memory)) {
    s.privateBytes = memory.PrivateUsage;
    s.workingSet = memory.WorkingSetSize;
  }
  if (s.privateBytes == 0) s.privateBytes = PrivateCommitted(process.get());
  s.windows = WindowCount(pid);
  s.threads = ThreadCount(pid);
  return s;
}

bool AlertShown() {
  HWND w = ::FindWindowA(nullptr, kAlertCaption);
  return w != nullptr && ::IsWindowVisible(w);
}

// A control of the window, at any depth, by its caption.
// Presses a button of a visible window, as windriver does.
bool Click(const char* caption, const char* button) {
  HWND window = ::FindWindowA(nullptr, caption);
  if (!window) return false;
  HWND child = devhost::ChildByCaption(window, button);
  if (!child) return false;
  ::PostMessageA(child, BM_CLICK, 0, 0);
  return true;
}

class Soak {
 public:
  bool Start() {
    ComPtr<ITB4Server> service = sentrova::CreateHostService();
    if (!service) {
      std::printf("the host's service cannot be created; run: qbhost register\n");
      return false;
    }
    // Only what the soak measures runs: no clean-up on its own, no start
    // page question, no question inside a pass.
    const Bstr ns(L"VRX");
    for (const auto& [key, value] : {std::pair{L"VRX_ALL", true}, {L"RUN_AUTO", false},
                                     {L"RUN_ENDIE", false}, {L"HOME_MON", false},
                                     {L"SHOW_CLEAN_CLOSEIE", true},
                                     {L"SHOW_CLEAN_SCHEDULE", true}, {L"SHOW_TRAY", true}}) {
      service->WriteBool(ns.get(), Bstr(key).get(), value ? VARIANT_TRUE : VARIANT_FALSE,
                         VARIANT_TRUE);
    }
    // The clean-up of a fresh configuration, Temp only, whatever an earlier
    // run (the demo) selected: each pass is seen by a file it removes there.
    for (const char* item : sentrova::config_keys::kCleanUpItems) {
      const bool temp = std::string(item) == "WIN_TEMP";
      service->WriteBool(ns.get(), Bstr::FromAnsi(item).get(),
                         temp ? VARIANT_TRUE : VARIANT_FALSE, VARIANT_TRUE);
    }
    service->WriteStr(ns.get(), Bstr(L"UserCookies").get(),
                      Bstr(L"kept.example\nalso-kept.example").get(), VARIANT_TRUE);
    service->Commit(ns.get());
    SetZoneValue(0);
    if (!OpenHost()) return false;
    const std::vector<DWORD> ids = devhost::ProgramProcesses();
    if (ids.size() != 1) {
      std::printf("%zu sentrova.exe processes run, not one\n", ids.size());
      return false;
    }
    pid_ = ids[0];
    // The scanner starts on Connect; the first answered change shows it runs.
    Change();
    changes_ = 0;
    return true;
  }

  void Tenth(int tenth, const int counts[6]) {
    auto share = [&](int kind) {  // this tenth's part of kind's total
      return counts[kind] * (tenth + 1) / 10 - counts[kind] * tenth / 10;
    };
    const int shares[6] = {share(0), share(1), share(2), share(3), share(4), share(5)};
    int most = 0;
    for (int n : shares) most = n > most ? n : most;
    // The kinds take turns, so that each meets the others' leftovers.
    for (int i = 0; i < most; ++i) {
      if (i < shares[0]) CleanUp();
      if (i < shares[1]) Change();
      if (i < shares[2]) Reload();
      if (i < shares[3]) Tray();
      if (i < shares[4]) Windows();
      if (i < shares[5]) RestartHost();
    }
  }

  Sample Quiet() {
    // No pass, no alert: the tenth's work is over.
    WaitFor([&] { return !AlertShown() && CleanIdle(); }, kWaitMs);
    // Threads that a finished piece of work leaves end on their own; the
    // count is read once it stays put.
    Sample last = Measure(pid_);
    for (int i = 0; i < 30; ++i) {
      ::Sleep(100);
      Sample now = Measure(pid_);
      const bool same = now.threads == last.threads && now.handles == last.handles;
      last = now;
      if (same) break;
    }
    const std::vector<DWORD> ids = devhost::ProgramProcesses();
    if (ids.size() != 1 || ids[0] != pid_) Missed("the same sentrova.exe process all along");
    return last;
  }

  void Stop() {
    windows_.clear();
    base_.reset();
    KernelHandle shutdown = sentrova::OpenOrCreateEvent(sentrova::kHostShutdownEvent, false, false, true);
    KernelHandle process(::OpenProcess(SYNCHRONIZE, FALSE, pid_));
    if (shutdown) ::SetEvent(shutdown.get());
    if (process && ::WaitForSingleObject(process.get(), kWaitMs) != WAIT_OBJECT_0) {
      Missed("the program ending when the host asks");
    }
  }

 private:
  ComPtr<ITB4Plugin> NewObject(bool first) {
    ComPtr<ITB4Plugin> plugin;
    HRESULT hr = E_FAIL;
    // A host restart may meet the server while COM still forgets the old host.
    WaitFor([&] {
      hr = ::CoCreateInstance(sentrova::kVrxObjClassId, nullptr, CLSCTX_LOCAL_SERVER,
                              sentrova::kPluginInterfaceId, plugin.put_void());
      return SUCCEEDED(hr);
    }, kWaitMs);
    if (FAILED(hr)) {
      Missed("a plug-in object (" + std::to_string(static_cast<unsigned long>(hr)) + ")");
      return {};
    }
    const Bstr id = Bstr::FromAnsi(std::to_string(nextWindow_++));
    plugin->SetInstanceId(id.get());
    if (first) plugin->HostStarted();
    Bstr text;
    plugin->GetDefaults(text.put());
    LONG connected = 0;
    plugin->Connect(&connected);
    Bstr none;
    plugin->GetInfo(Bstr(L"INITEVENTS").get(), 0, none.put());
    return plugin;
  }

  bool OpenHost() {
    base_ = NewObject(true);
    return static_cast<bool>(base_);
  }

  // The host's first object, made again when a restart failed to make it.
  bool Base() { return base_ || OpenHost(); }

  bool CleanIdle() {
    if (!base_) return true;
    Bstr answer;
    base_->GetInfo(Bstr(L"ALLOW_EXIT").get(), 0, answer.put());
    if (answer.Ansi() != "YES") return false;
    // The worker gives its mutex back last.
    KernelHandle mutex = sentrova::OpenOrCreateMutex("VRX_Run_Clean_Mtx", true);
    if (!mutex) return false;
    const DWORD wait = ::WaitForSingleObject(mutex.get(), 0);
    if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) return false;
    ::ReleaseMutex(mutex.get());
    return true;
  }

  // One pass, seen by a file it removes from the Temp folder.
  void CleanUp() {
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    const std::string marker = std::string(temp) + "soak-" + std::to_string(passes_) + ".tmp";
    HANDLE file = ::CreateFileA(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
    WaitFor([&] { return CleanIdle(); }, kWaitMs);
    if (!Base()) return;
    const Bstr clean(L"CLEAN");
    if (passes_++ % 2 == 0) {
      base_->MenuCommand(0, clean.get());
    } else {
      base_->SettingsButtonClick(clean.get());
    }
    if (!WaitFor([&] { return ::GetFileAttributesA(marker.c_str()) == INVALID_FILE_ATTRIBUTES; },
                 kWaitMs)) {
      Missed("clean-up pass " + std::to_string(passes_));
      ::DeleteFileA(marker.c_str());
    }
  }

  // Another program changes a monitored zone setting; the alert is answered
  // "Yes" (restore) and "No" (keep) in turn. A change made before the scanner
  // took its first picture raises no alert: the change is made again then.
  void Change() {
    const bool restore = changes_++ % 2 == 0;
    bool shown = false;
    for (int attempt = 0; attempt < 6 && !shown; ++attempt) {
      const int32_t now = sentrova::ReadRegInteger(HKEY_CURRENT_USER, kZoneKey, kZoneValue, 0);
      SetZoneValue(now == 0 ? 3 : 0);
      shown = WaitFor(AlertShown, 10000);
    }
    if (!shown) {
      Missed("security alert " + std::to_string(changes_));
      return;
    }
    // The buttons may come a moment after the window.
    WaitFor([&] { return Click(kAlertCaption, restore ? "Yes" : "No"); }, kWaitMs);
    if (!WaitFor([] { return !AlertShown(); }, kWaitMs)) Missed("alert answered");
  }

  void Reload() {
    if (Base()) base_->ConfigChanged();
  }

  void Tray() {
    if (!Base()) return;
    base_->MenuCommand(0, Bstr(L"HIDE_TRAY").get());
    base_->MenuCommand(0, Bstr(L"SHOW_TRAY").get());
  }

  // Two browser windows open, the user looks at the button, both close.
  void Windows() {
    for (int i = 0; i < 2; ++i) {
      if (ComPtr<ITB4Plugin> p = NewObject(false)) {
        LONG width = 0, style = 0, visible = 0;
        Bstr descriptor, caption, tooltip, menu, longName;
        SAFEARRAY* image = nullptr;
        SAFEARRAY* large = nullptr;
        p->GetButtonInfo(0, &width, &style, descriptor.put(), caption.put(), tooltip.put(),
                         &image, menu.put(), longName.put(), &large, &visible);
        if (image) ::SafeArrayDestroy(image);
        if (large) ::SafeArrayDestroy(large);
        windows_.push_back(std::move(p));
      }
    }
    windows_.clear();
  }

  // The host ends (its objects go), another host process lives once, and
  // the host comes back.
  void RestartHost() {
    windows_.clear();
    base_.reset();
    std::string cmd = "\"";
    cmd += ExeDirectory();
    cmd += "qbhost.exe\" session 1 info ALLOW_EXIT";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    PROCESS_INFORMATION pi{};
    if (::CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                         nullptr, &si, &pi)) {
      if (::WaitForSingleObject(pi.hProcess, kWaitMs) != WAIT_OBJECT_0) {
        ::TerminateProcess(pi.hProcess, 1);
        Missed("a host session ending");
      }
      ::CloseHandle(pi.hThread);
      ::CloseHandle(pi.hProcess);
    } else {
      Missed("a host session");
    }
    OpenHost();
  }

  ComPtr<ITB4Plugin> base_;
  std::vector<ComPtr<ITB4Plugin>> windows_;
  DWORD pid_ = 0;
  int nextWindow_ = 1001;
  int passes_ = 0;
  int changes_ = 0;
};

void Print(int tenth, const Sample& s) {
  std::printf("SAMPLE|%d|%lu|%lu|%lu|%lu|%zu|%zu|%lu|%lu\n", tenth,
              static_cast<unsigned long>(s.handles), static_cast<unsigned long>(s.user),
              static_cast<unsigned long>(s.gdi), static_cast<unsigned long>(s.windows),
              static_cast<size_t>(s.privateBytes), static_cast<size_t>(s.workingSet),
              static_cast<unsigned long>(s.threads), static_cast<unsigned long>(s.pid));
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  int counts[6] = {500, 200, 500, 100, 50, 20};
  if (argc != 1 && argc != 7) {
    std::printf("usage: soak [CLEANUPS CHANGES RELOADS TRAYS WINDOWS RESTARTS]\n");
    return 2;
  }
  for (int i = 1; i < argc; ++i) counts[i - 1] = std::atoi(argv[i]);
  sentrova::ComApartment com(COINIT_MULTITHREADED);
  std::vector<Sample> samples;
  {
    Soak soak;
    if (!soak.Start()) return 1;
    samples.push_back(soak.Quiet());
    Print(0, samples.back());
    for (int tenth = 0; tenth < 10; ++tenth) {
      const ULONGLONG start = ::GetTickCount64();
      soak.Tenth(tenth, counts);
      samples.push_back(soak.Quiet());
      Print(tenth + 1, samples.back());
      std::printf("tenth %d took %.1f s\n", tenth + 1, (::GetTickCount64() - start) / 1000.0);
    }
    soak.Stop();
  }
  std::printf("\nwork: %d clean-ups, %d monitored changes, %d reloads, %d tray shows and hides, "
              "%d browser-window rounds, %d host restarts\n",
              counts[0], counts[1], counts[2], counts[3], counts[4], counts[5]);
  std::printf("%-6s %8s %6s %6s %8s %14s %14s %8s\n", "tenth", "handles", "USER", "GDI",
              "windows", "private bytes", "working set", "threads");
  for (size_t i = 0; i < samples.size(); ++i) {
    const Sample& s = samples[i];
    std::printf("%-6zu %8lu %6lu %6lu %8lu %14zu %14zu %8lu\n", i,
                static_cast<unsigned long>(s.handles), static_cast<unsigned long>(s.user),
                static_cast<unsigned long>(s.gdi), static_cast<unsigned long>(s.windows),
                static_cast<size_t>(s.privateBytes), static_cast<size_t>(s.workingSet),
                static_cast<unsigned long>(s.threads));
  }
  return missed == 0 ? 0 : 1;
}
