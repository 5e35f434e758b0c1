// qbhost.exe: the stand-in toolbar host on the command line. It registers
// its service (qbhost.dll) and type library, reads and writes configuration
// values through the service, sets the host's named events, and runs host
// sessions that create plug-in objects through COM as the toolbar does, one
// per browser window. Usage: qbhost help.
#include <windows.h>
#include <oleauto.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "config_store.h"
#include "host/host_contract.h"
#include "platform/com.h"
#include "platform/named_objects.h"

namespace {

using sentrova::AnsiToWide;
using sentrova::Bstr;
using sentrova::ComPtr;
using sentrova::WideToAnsi;

constexpr char kUsage[] =
    "qbhost register                     register the host service and type library\n"
    "qbhost unregister                   remove them\n"
    "qbhost get NS KEY [bool|int|str|date] [DEFAULT]\n"
    "                                    read a value through the service\n"
    "qbhost set NS KEY bool|int|str|date VALUE\n"
    "                                    write a value through the service\n"
    "qbhost delete NS KEY                forget a written value\n"
    "qbhost values NS | defaults NS      list written values / the plug-in's defaults\n"
    "qbhost toolbar NS [BUTTON]          what the plug-in pushed to its button\n"
    "qbhost clear                        forget every value, default and record\n"
    "qbhost service-key                  show SVC_REG_KEY and PlugInSvcRegistry; when set,\n"
    "                                    delete the named key as the host's service does\n"
    "qbhost signal EVENT | reset EVENT   set or clear a named event (TB4Stop, TB4Shutdown_VRX, ...)\n"
    "qbhost session [N] [STEP...]        create plug-in objects for N browser windows,\n"
    "                                    call them as the toolbar does, print the\n"
    "                                    answers, then run the steps in order:\n"
    "                                    new | release I | release all | wait MS |\n"
    "                                    processes | service-key | stop | shutdown\n";

const CLSID kServiceClassId = sentrova::kHostServiceClassId;

std::string ExeDirectory() {
  char buf[MAX_PATH * 2] = {};
  const DWORD n = ::GetModuleFileNameA(nullptr, buf, sizeof buf);
  std::string path(buf, n);
  return path.substr(0, path.find_last_of("\\/") + 1);
}

std::string GuidText(const GUID& guid) {
  wchar_t buf[64] = {};
  ::StringFromGUID2(guid, buf, 64);
  return WideToAnsi(buf);
}

bool SetClassesValue(const std::string& key, const char* name, const std::string& data) {
  HKEY k = nullptr;
  if (::RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k,
                        nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const LONG rc = ::RegSetValueExA(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                                   static_cast<DWORD>(data.size() + 1));
  ::RegCloseKey(k);
  return rc == ERROR_SUCCESS;
}

// What a real host's installer leaves behind: the first-run flag AFA_DONE,
// without which no question of the plug-in shows, and the plug-in's two
// clean-up questions switched on (their do-not-ask-again keys false), kept
// as they are when the host already holds them.
void InstallerDefaults() {
  const DWORD done = 1;
  ::RegSetKeyValueA(HKEY_LOCAL_MACHINE, "Software\\Quillbox", "AFA_DONE", REG_DWORD, &done,
                    sizeof done);
  for (const wchar_t* key : {L"SHOW_CLEAN_CLOSEIE", L"SHOW_CLEAN_SCHEDULE"}) {
    VARIANT value;
    ::VariantInit(&value);
    const bool held = qbhost::LookupValue(L"VRX", key, value);
    ::VariantClear(&value);
    if (held) continue;
    value.vt = VT_BOOL;
    value.boolVal = VARIANT_FALSE;
    qbhost::StoreValue(L"VRX", key, value);
  }
}

int Register() {
  const std::string dir = ExeDirectory();
  const std::wstring exe = AnsiToWide(dir + "qbhost.exe");
  ComPtr<ITypeLib> lib;
  HRESULT hr = ::LoadTypeLibEx(exe.c_str(), REGKIND_NONE, lib.put());
  if (SUCCEEDED(hr)) hr = ::RegisterTypeLib(lib.get(), const_cast<LPOLESTR>(exe.c_str()), nullptr);
  if (FAILED(hr)) {
    std::printf("cannot register the host's type library (0x%08lx)\n", static_cast<unsigned long>(hr));
    return 1;
  }
  const std::string classKey = "CLSID\\" + GuidText(kServiceClassId);
  const bool ok = SetClassesValue(classKey, nullptr, "Quillbox toolbar host service") &&
                  SetClassesValue(classKey + "\\InprocServer32", nullptr, dir + "qbhost.dll") &&
                  SetClassesValue(classKey + "\\InprocServer32", "ThreadingModel", "Free");
  if (ok) InstallerDefaults();
  std::printf(ok ? "registered CoTB4Server (%sqbhost.dll) and the host's type library\n"
                 : "cannot write the registration of CoTB4Server\n",
              dir.c_str());
  return ok ? 0 : 1;
}

// The host service's side of PlugInSvcRegistry: shows the key that the
// plug-in handed over in SVC_REG_KEY and whether the event is set; when it
// is, deletes that key ("HKUS\" names HKEY_USERS) as the real service does,
// then clears the value and the event.
int ServiceKey() {
  constexpr char kServerKey[] = "Software\\Toolbar\\Server";
  char text[1024] = {};
  DWORD size = sizeof text;
  const bool written = ::RegGetValueA(HKEY_LOCAL_MACHINE, kServerKey, "SVC_REG_KEY",
                                      RRF_RT_REG_SZ, nullptr, text, &size) == ERROR_SUCCESS;
  HANDLE event = ::OpenEventA(EVENT_ALL_ACCESS, FALSE, "PlugInSvcRegistry");
  const bool set = event != nullptr && ::WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
  std::printf("SVC_REG_KEY = %s\nPlugInSvcRegistry %s\n", written ? text : "(none)",
              set ? "set" : "not set");
  const std::string name = text;
  if (written && set && name.rfind("HKUS\\", 0) == 0) {
    const std::string path = name.substr(5);
    const LONG rc = ::RegDeleteTreeA(HKEY_USERS, path.c_str());
    ::RegDeleteKeyA(HKEY_USERS, path.c_str());
    std::printf("deleted HKEY_USERS\\%s (%s)\n", path.c_str(),
                rc == ERROR_SUCCESS ? "done" : "not there");
    ::RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kServerKey, "SVC_REG_KEY");
    ::ResetEvent(event);
  }
  if (event != nullptr) ::CloseHandle(event);
  return 0;
}

int Unregister() {
  ::UnRegisterTypeLib(sentrova::kHostLibraryId, sentrova::kHostLibraryMajor,
                      sentrova::kHostLibraryMinor, 0, SYS_WIN64);
  const std::string classKey = "CLSID\\" + GuidText(kServiceClassId);
  const LONG rc = ::RegDeleteTreeA(HKEY_CLASSES_ROOT, classKey.c_str());
  if (rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) ::RegDeleteKeyA(HKEY_CLASSES_ROOT, classKey.c_str());
  std::printf("unregistered CoTB4Server and the host's type library\n");
  return 0;
}

ComPtr<ITB4Server> Service() {
  ComPtr<ITB4Server> service;
  const HRESULT hr = ::CoCreateInstance(kServiceClassId, nullptr, CLSCTX_INPROC_SERVER,
                                        IID_ITB4Server, service.put_void());
  if (FAILED(hr)) {
    std::printf("cannot create the host service (0x%08lx); run: qbhost register\n",
                static_cast<unsigned long>(hr));
  }
  return service;
}

int Get(const std::string& ns, const std::string& key, const std::string& type, long def) {
  ComPtr<ITB4Server> service = Service();
  if (!service) return 1;
  Bstr n = Bstr::FromAnsi(ns);
  Bstr k = Bstr::FromAnsi(key);
  HRESULT hr = E_INVALIDARG;
  std::string shown;
  if (type == "bool") {
    VARIANT_BOOL v = 0;
    hr = service->ReadBool(n.get(), k.get(), def, &v);
    shown = std::to_string(v);
  } else if (type == "int") {
    LONG v = 0;
    hr = service->ReadInt(n.get(), k.get(), def, &v);
    shown = std::to_string(v);
  } else if (type == "str") {
    Bstr v;
    hr = service->ReadStr(n.get(), k.get(), def, v.put());
    shown = v.Ansi();
  } else if (type == "date") {
    DATE v = 0;
    hr = service->ReadDate(n.get(), k.get(), def, &v);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6f", v);
    shown = buf;
  } else {
    std::fputs(kUsage, stdout);
    return 2;
  }
  std::printf("%s\n", shown.c_str());
  // 3: the host holds no value for the key; the call default was shown.
  return SUCCEEDED(hr) ? 0 : 3;
}

int Set(const std::string& ns, const std::string& key, const std::string& type,
        const std::string& value) {
  ComPtr<ITB4Server> service = Service();
  if (!service) return 1;
  Bstr n = Bstr::FromAnsi(ns);
  Bstr k = Bstr::FromAnsi(key);
  HRESULT hr = E_INVALIDARG;
  if (type == "bool") {
    hr = service->WriteBool(n.get(), k.get(), std::atol(value.c_str()) ? VARIANT_TRUE : VARIANT_FALSE,
                            VARIANT_TRUE);
  } else if (type == "int") {
    hr = service->WriteInt(n.get(), k.get(), std::atol(value.c_str()), VARIANT_TRUE);
  } else if (type == "str") {
    Bstr v = Bstr::FromAnsi(value);
    hr = service->WriteStr(n.get(), k.get(), v.get(), VARIANT_TRUE);
  } else if (type == "date") {
    hr = service->WriteDate(n.get(), k.get(), std::atof(value.c_str()), VARIANT_TRUE);
  } else {
    std::fputs(kUsage, stdout);
    return 2;
  }
  if (SUCCEEDED(hr)) hr = service->Commit(n.get());
  return SUCCEEDED(hr) ? 0 : 1;
}

int List(const std::wstring& subkey) {
  for (const std::wstring& line : qbhost::ListValues(subkey)) {
    std::printf("%s\n", WideToAnsi(line).c_str());
  }
  return 0;
}

bool EventIsManualReset(const std::string& name) { return name == sentrova::kHostStopEvent; }

int Signal(const std::string& name, bool set) {
  sentrova::KernelHandle event =
      sentrova::OpenOrCreateEvent(name, EventIsManualReset(name), false, true);
  if (!event) return 1;
  const BOOL ok = set ? ::SetEvent(event.get()) : ::ResetEvent(event.get());
  return ok ? 0 : 1;
}

// The program's processes, found by executable name.
std::vector<DWORD> ProgramProcesses() {
  std::vector<DWORD> ids;
  HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return ids;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32First(snap, &entry); more; more = ::Process32Next(snap, &entry)) {
    if (::lstrcmpiA(entry.szExeFile, "sentrova.exe") == 0) ids.push_back(entry.th32ProcessID);
  }
  ::CloseHandle(snap);
  return ids;
}

std::string ProcessList() {
  std::string text;
  for (DWORD id : ProgramProcesses()) text += (text.empty() ? "" : ", ") + std::to_string(id);
  return text.empty() ? "none" : text;
}

class Session {
 public:
  ~Session() { windows_.clear(); }

  bool Open() {
    const int number = nextNumber_++;
    ComPtr<ITB4Plugin> plugin;
    const HRESULT hr = ::CoCreateInstance(sentrova::kVrxObjClassId, nullptr, CLSCTX_LOCAL_SERVER,
                                          IID_ITB4Plugin, plugin.put_void());
    if (FAILED(hr)) {
      std::printf("window %d: the plug-in object cannot be created (0x%08lx)\n", number,
                  static_cast<unsigned long>(hr));
      return false;
    }
    std::printf("window %d: plug-in object created; sentrova.exe process: %s\n", number,
                ProcessList().c_str());
    Bstr name;
    plugin->GetPluginName(name.put());
    std::printf("  plug-in name: %s\n", name.Ansi().c_str());
    Bstr id = Bstr::FromAnsi(std::to_string(1000 + number));  // the window's handle
    plugin->SetInstanceId(id.get());
    if (!hostStarted_) {
      plugin->HostStarted();
      hostStarted_ = true;
    }
    Bstr defaults;
    plugin->GetDefaults(defaults.put());
    if (!defaultsTaken_) {
      const int kept = qbhost::StoreDefaults(name.Wide(), defaults.Wide());
      std::printf("  defaults (%d values, kept as the host's defaults for %s):\n", kept,
                  name.Ansi().c_str());
      std::string text = defaults.Ansi();
      size_t start = 0;
      while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        std::printf("    %s\n", text.substr(start, end - start).c_str());
        start = end + 2;
      }
      defaultsTaken_ = true;
    }
    LONG connected = 0;
    plugin->Connect(&connected);
    Bstr none;
    Bstr initEvents = Bstr::FromAnsi("INITEVENTS");
    plugin->GetInfo(initEvents.get(), 0, none.put());
    Bstr help;
    Bstr about;
    plugin->GetHelpUrl(help.put());
    plugin->GetAboutUrl(about.put());
    std::printf("  help address: %s\n  about address: %s\n", help.Ansi().c_str(),
                about.Ansi().c_str());
    windows_.push_back({number, std::move(plugin)});
    return true;
  }

  void Release(const std::string& which) {
    for (auto it = windows_.begin(); it != windows_.end();) {
      if (which == "all" || std::to_string(it->number) == which) {
        std::printf("window %d: plug-in object released\n", it->number);
        it = windows_.erase(it);
      } else {
        ++it;
      }
    }
  }

  // Sets a stop event and waits (bounded) for the program's processes to end.
  void Stop(const char* eventName) {
    std::vector<HANDLE> processes;
    for (DWORD id : ProgramProcesses()) {
      HANDLE h = ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
      if (h) processes.push_back(h);
    }
    Signal(eventName, true);
    std::printf("%s set\n", eventName);
    for (HANDLE h : processes) {
      const DWORD start = ::GetTickCount();
      const DWORD wait = ::WaitForSingleObject(h, 15000);
      DWORD code = 0;
      ::GetExitCodeProcess(h, &code);
      if (wait == WAIT_OBJECT_0) {
        std::printf("sentrova.exe (process %lu) ended after %lu ms with exit code %lu\n",
                    static_cast<unsigned long>(::GetProcessId(h)),
                    static_cast<unsigned long>(::GetTickCount() - start),
                    static_cast<unsigned long>(code));
      } else {
        std::printf("sentrova.exe (process %lu) still runs\n",
                    static_cast<unsigned long>(::GetProcessId(h)));
      }
      ::CloseHandle(h);
    }
    // TB4Stop is a manual-reset event: left set, it would stop the next start.
    if (EventIsManualReset(eventName)) Signal(eventName, false);
    windows_.clear();
  }

 private:
  struct Window {
    int number;
    ComPtr<ITB4Plugin> plugin;
  };
  std::vector<Window> windows_;
  int nextNumber_ = 1;
  bool hostStarted_ = false;
  bool defaultsTaken_ = false;
};

int RunSession(const std::vector<std::string>& args) {
  size_t i = 0;
  int count = 1;
  if (i < args.size() && std::atoi(args[i].c_str()) > 0) count = std::atoi(args[i++].c_str());
  Session session;
  // Held for the session, as the host's service holds it: a named event that
  // nobody holds vanishes when the plug-in closes its handle after setting it.
  const sentrova::KernelHandle serviceEvent =
      sentrova::OpenOrCreateEvent("PlugInSvcRegistry", true, false, true);
  int rc = 0;
  for (int n = 0; n < count; ++n) {
    if (!session.Open()) rc = 1;
  }
  for (; i < args.size(); ++i) {
    const std::string& step = args[i];
    if (step == "new") {
      if (!session.Open()) rc = 1;
    } else if (step == "release" && i + 1 < args.size()) {
      session.Release(args[++i]);
    } else if (step == "wait" && i + 1 < args.size()) {
      ::Sleep(static_cast<DWORD>(std::atol(args[++i].c_str())));
    } else if (step == "service-key") {
      ServiceKey();
    } else if (step == "processes") {
      std::printf("sentrova.exe processes: %s\n", ProcessList().c_str());
    } else if (step == "stop") {
      session.Stop(sentrova::kHostStopEvent);
    } else if (step == "shutdown") {
      session.Stop(sentrova::kHostShutdownEvent);
    } else {
      std::printf("unknown session step: %s\n", step.c_str());
      return 2;
    }
  }
  return rc;
}

int Main(const std::vector<std::string>& args) {
  if (args.empty() || args[0] == "help") {
    std::fputs(kUsage, stdout);
    return args.empty() ? 2 : 0;
  }
  const std::string& command = args[0];
  const size_t n = args.size();
  if (command == "register" && n == 1) return Register();
  if (command == "unregister" && n == 1) return Unregister();
  if (command == "get" && (n == 3 || n == 4 || n == 5)) {
    return Get(args[1], args[2], n >= 4 ? args[3] : "str", n == 5 ? std::atol(args[4].c_str()) : 0);
  }
  if (command == "set" && n == 5) return Set(args[1], args[2], args[3], args[4]);
  if (command == "delete" && n == 3) {
    return qbhost::DeleteValue(AnsiToWide(args[1]), AnsiToWide(args[2])) ? 0 : 1;
  }
  if (command == "values" && n == 2) return List(L"Config\\" + AnsiToWide(args[1]));
  if (command == "defaults" && n == 2) return List(L"Defaults\\" + AnsiToWide(args[1]));
  if (command == "toolbar" && (n == 2 || n == 3)) {
    return List(L"Toolbar\\" + AnsiToWide(args[1]) + L"\\" + AnsiToWide(n == 3 ? args[2] : args[1]));
  }
  if (command == "clear" && n == 1) {
    qbhost::ClearStore();
    return 0;
  }
  if (command == "service-key" && n == 1) return ServiceKey();
  if (command == "signal" && n == 2) return Signal(args[1], true);
  if (command == "reset" && n == 2) return Signal(args[1], false);
  if (command == "session") return RunSession(std::vector<std::string>(args.begin() + 1, args.end()));
  std::fputs(kUsage, stdout);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  if (FAILED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED))) return 1;
  int rc = 0;
  {
    std::vector<std::string> args(argv + 1, argv + argc);
    rc = Main(args);
  }
  ::CoUninitialize();
  return rc;
}
