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
#include <cstring>
#include <string>
#include <vector>

#include "config_store.h"
#include "page_export.h"
#include "host/host_contract.h"
#include "platform/com.h"
#include "platform/named_objects.h"
#include "platform/registry.h"
#include "toolkit/tray_icon.h"
#include "../common/program_processes.h"

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
    "qbhost toolbar NS [BUTTON]          what the plug-in pushed to its button, and the\n"
    "                                    HTML windows it asked the host for\n"
    "qbhost clear                        forget every value, default and record\n"
    "qbhost service-key                  show SVC_REG_KEY and PlugInSvcRegistry; when set,\n"
    "                                    delete the named key as the host's service does\n"
    "qbhost signal EVENT | reset EVENT   set or clear a named event (TB4Stop, TB4Shutdown_VRX, ...)\n"
    "qbhost session [N] [STEP...]        create plug-in objects for N browser windows,\n"
    "                                    call them as the toolbar does, print the\n"
    "                                    answers, then run the steps in order:\n"
    "                                    new | release I | release all | wait MS |\n"
    "                                    processes | service-key | stop | shutdown | end |\n"
    "                                    menu COMMAND | button COMMAND | enable | disable |\n"
    "                                    info NAME | buttoninfo | configchanged\n"
    "                                    (on the newest object) |\n"
    "                                    tray N  (choose item N of the tray menu) |\n"
    "                                    await EVENT  (until the named event is set, 120 s)\n"
    "qbhost machine NAME [VALUE]         read or write a text value of the host's machine\n"
    "                                    key HKLM\\Software\\Quillbox (32-bit view;\n"
    "                                    NAME may name a subkey: PlugIns\\VRX\\DISABLED)\n"
    "qbhost pages DIR                    write sentrova.exe's settings pages to DIR, with a\n"
    "                                    stand-in page object, for any browser\n";

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
  // In the 32-bit view, where a 32-bit host keeps its machine values.
  HKEY machine = nullptr;
  if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Quillbox", 0, nullptr, 0,
                        KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr, &machine,
                        nullptr) == ERROR_SUCCESS) {
    const DWORD done = 1;
    ::RegSetValueExA(machine, "AFA_DONE", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&done),
                     sizeof done);
    ::RegCloseKey(machine);
  }
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

// The toolbar's own namespace "TBR" holds AFA_DONE = true once the toolbar
// has finished its first-run set-up; the program's home page check waits for it.
bool HoldToolbarSetUpDone() {
  VARIANT done;
  ::VariantInit(&done);
  done.vt = VT_BOOL;
  done.boolVal = VARIANT_TRUE;
  return qbhost::StoreValue(L"TBR", L"AFA_DONE", done);
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
                  SetClassesValue(classKey + "\\InprocServer32", "ThreadingModel", "Free") &&
                  HoldToolbarSetUpDone();
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
  // In the 32-bit view, where a 32-bit host keeps its machine values.
  bool written = false;
  HKEY server = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServerKey, 0, KEY_QUERY_VALUE | KEY_WOW64_32KEY,
                      &server) == ERROR_SUCCESS) {
    DWORD type = 0;
    size = sizeof text - 1;
    written = ::RegQueryValueExA(server, "SVC_REG_KEY", nullptr, &type,
                                 reinterpret_cast<BYTE*>(text), &size) == ERROR_SUCCESS &&
              type == REG_SZ;
    ::RegCloseKey(server);
  }
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
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServerKey, 0, KEY_SET_VALUE | KEY_WOW64_32KEY,
                        &server) == ERROR_SUCCESS) {
      ::RegDeleteValueA(server, "SVC_REG_KEY");
      ::RegCloseKey(server);
    }
    ::ResetEvent(event);
  }
  if (event != nullptr) ::CloseHandle(event);
  return 0;
}

int Unregister() {
  ::UnRegisterTypeLib(sentrova::kHostLibraryId, sentrova::kHostLibraryMajor,
                      sentrova::kHostLibraryMinor, 0,
                      sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
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

// What the plug-in pushed to its button, then the HTML windows it opened.
int ShowToolbar(const std::string& ns, const std::string& button) {
  List(L"Toolbar\\" + AnsiToWide(ns) + L"\\" + AnsiToWide(button));
  for (const std::wstring& line : qbhost::ListValues(L"Windows\\" + AnsiToWide(ns))) {
    std::printf("window.%s\n", WideToAnsi(line).c_str());
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


std::string ProcessList() {
  std::string text;
  for (DWORD id : devhost::ProgramProcesses()) text += (text.empty() ? "" : ", ") + std::to_string(id);
  return text.empty() ? "none" : text;
}

std::string OneLine(const std::string& text);
std::string ImageSummary(SAFEARRAY* image);

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
    Bstr pages;
    SAFEARRAY* pagesImage = nullptr;
    plugin->GetSettingsPages(pages.put(), &pagesImage);
    std::printf("  settings pages:\n");
    const std::string list = pages.Ansi();
    for (size_t start = 0; start < list.size();) {
      size_t end = list.find("\r\n", start);
      if (end == std::string::npos) end = list.size();
      std::printf("    %s\n", list.substr(start, end - start).c_str());
      start = end + 2;
    }
    std::printf("  settings pages image: %s\n", ImageSummary(pagesImage).c_str());
    // The slots without a name, as the toolbar calls them.
    Bstr slot14;
    SHORT slot19 = -1;
    const HRESULT hr13 = plugin->Reserved13(0, 0, 0);
    const HRESULT hr14 = plugin->Reserved14(slot14.put());
    const HRESULT hr19 = plugin->Reserved19(&slot19);
    std::printf("  slot 13: 0x%08lx; slot 14: \"%s\" (0x%08lx); slot 19: %d (0x%08lx)\n",
                static_cast<unsigned long>(hr13), OneLine(slot14.Ansi()).c_str(),
                static_cast<unsigned long>(hr14), slot19, static_cast<unsigned long>(hr19));
    windows_.push_back({number, std::move(plugin)});
    return true;
  }

  // The newest live plug-in object, or null.
  ITB4Plugin* Newest() const { return windows_.empty() ? nullptr : windows_.back().plugin.get(); }

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

  // Sets a stop event (none: the program is ending by itself, after
  // "disable") and waits (bounded) for the program's processes to end.
  void Stop(const char* eventName) {
    std::vector<HANDLE> processes;
    for (DWORD id : devhost::ProgramProcesses()) {
      HANDLE h = ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
      if (h) processes.push_back(h);
    }
    if (eventName != nullptr) {
      Signal(eventName, true);
      std::printf("%s set\n", eventName);
    }
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
    if (eventName != nullptr && EventIsManualReset(eventName)) Signal(eventName, false);
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

// A text as one printable line: line ends shown as \r and \n.
std::string OneLine(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

std::string ImageSummary(SAFEARRAY* image) {
  if (image == nullptr) return "none";
  const std::vector<uint8_t> bytes = sentrova::SafeArrayBytes(image);
  ::SafeArrayDestroy(image);
  std::string text = std::to_string(bytes.size()) + " bytes";
  if (bytes.size() >= 26 && bytes[0] == 'B' && bytes[1] == 'M') {
    LONG w = 0;
    LONG h = 0;
    WORD bits = 0;
    std::memcpy(&w, &bytes[18], 4);
    std::memcpy(&h, &bytes[22], 4);
    std::memcpy(&bits, &bytes[28], 2);
    text += ", BMP " + std::to_string(w) + " x " + std::to_string(h) + ", " +
            std::to_string(bits) + " bits per pixel";
  }
  return text;
}

void PrintButtonInfo(ITB4Plugin* plugin) {
  LONG width = 0, style = 0, visible = 0;
  Bstr descriptor, caption, tooltip, menu, longName;
  SAFEARRAY* image = nullptr;
  SAFEARRAY* largeImage = nullptr;
  const HRESULT hr = plugin->GetButtonInfo(0, &width, &style, descriptor.put(), caption.put(),
                                           tooltip.put(), &image, menu.put(), longName.put(),
                                           &largeImage, &visible);
  std::printf("  button info (0x%08lx):\n", static_cast<unsigned long>(hr));
  std::printf("    width: %ld\n    style: %ld\n", static_cast<long>(width), static_cast<long>(style));
  std::printf("    descriptor: %s\n    caption: %s\n    tooltip: %s\n",
              descriptor.Ansi().c_str(), caption.Ansi().c_str(), tooltip.Ansi().c_str());
  std::printf("    image: %s\n", ImageSummary(image).c_str());
  std::printf("    menu: %s\n    long name: %s\n", OneLine(menu.Ansi()).c_str(),
              longName.Ansi().c_str());
  std::printf("    large image: %s\n    visible: %ld\n", ImageSummary(largeImage).c_str(),
              static_cast<long>(visible));
}

// The session steps that call the newest plug-in object as the toolbar
// does when the user works with its button. Returns how many arguments the
// step took (0: not such a step).
int PluginStep(ITB4Plugin* plugin, const std::vector<std::string>& args, size_t i) {
  const std::string& step = args[i];
  if (step == "await" && i + 1 < args.size()) {
    sentrova::KernelHandle event = sentrova::OpenOrCreateEvent(args[i + 1], false, false, true);
    const bool set = event && ::WaitForSingleObject(event.get(), 120000) == WAIT_OBJECT_0;
    std::printf("%s %s\n", args[i + 1].c_str(), set ? "set" : "not set");
    return 2;
  }
  const bool withArgument = step == "menu" || step == "button" || step == "info";
  if (withArgument && i + 1 >= args.size()) return 0;
  if (!withArgument && step != "enable" && step != "disable" && step != "buttoninfo" &&
      step != "configchanged")
    return 0;
  if (plugin == nullptr) {
    std::printf("%s: no plug-in object\n", step.c_str());
    return withArgument ? 2 : 1;
  }
  if (step == "buttoninfo") {
    PrintButtonInfo(plugin);
    return 1;
  }
  if (step == "enable" || step == "disable" || step == "configchanged") {
    const HRESULT hr = step == "enable"    ? plugin->EnablePlugin()
                       : step == "disable" ? plugin->DisablePlugin()
                                           : plugin->ConfigChanged();
    std::printf("%s: 0x%08lx\n", step.c_str(), static_cast<unsigned long>(hr));
    return 1;
  }
  Bstr argument = Bstr::FromAnsi(args[i + 1]);
  if (step == "info") {
    Bstr value;
    const HRESULT hr = plugin->GetInfo(argument.get(), 0, value.put());
    std::printf("info %s: %s (0x%08lx)\n", args[i + 1].c_str(), value.Ansi().c_str(),
                static_cast<unsigned long>(hr));
  } else {
    const HRESULT hr = step == "menu" ? plugin->MenuCommand(0, argument.get())
                                      : plugin->SettingsButtonClick(argument.get());
    std::printf("%s %s: 0x%08lx\n", step.c_str(), args[i + 1].c_str(),
                static_cast<unsigned long>(hr));
  }
  return 2;
}

// The host's machine-wide values live in the 32-bit registry view, as a
// 32-bit toolbar host sees them on 64-bit Windows.
int MachineValue(const std::string& name, const std::string* value) {
  std::string key = "Software\\Quillbox";
  std::string valueName = name;
  const size_t slash = name.find_last_of('\\');
  if (slash != std::string::npos) {
    key += "\\" + name.substr(0, slash);
    valueName = name.substr(slash + 1);
  }
  if (value != nullptr) {
    sentrova::WriteRegString(HKEY_LOCAL_MACHINE, key, valueName, true, *value, KEY_WOW64_32KEY);
    return 0;
  }
  const std::string text =
      sentrova::ReadRegString(HKEY_LOCAL_MACHINE, key, valueName, "\x01", KEY_WOW64_32KEY);
  if (text == "\x01") return 3;
  std::printf("%s\n", text.c_str());
  return 0;
}

// The visible popup menu of a process, or null.
HWND ShownMenuOf(DWORD processId) {
  for (HWND menu = nullptr; (menu = ::FindWindowExA(nullptr, menu, "#32768", nullptr));) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(menu, &owner);
    if (owner == processId && ::IsWindowVisible(menu)) return menu;
  }
  return nullptr;
}

// Waits (bounded) until `done` holds; false when it never did.
template <class Done>
bool WaitUntil(Done done, DWORD limitMs) {
  const DWORD start = ::GetTickCount();
  while (!done()) {
    if (::GetTickCount() - start > limitMs) return false;
    ::Sleep(20);
  }
  return true;
}

// Chooses item N of the program's tray menu as a user does: a right click
// on the tray icon (the first icon of the program's hidden window), then N
// presses of the down key and Enter; returns when the menu has closed.
void TrayItem(int item) {
  const HWND window = ::FindWindowA("VRXWndClass", "VRX");
  if (window == nullptr) {
    std::printf("tray %d: the program has no tray window\n", item);
    return;
  }
  DWORD program = 0;
  ::GetWindowThreadProcessId(window, &program);
  ::PostMessageA(window, sentrova::kTrayCallbackMessage, 1, WM_RBUTTONDOWN);
  HWND menu = nullptr;
  if (!WaitUntil([&] { return (menu = ShownMenuOf(program)) != nullptr; }, 20000)) {
    std::printf("tray %d: the menu did not open\n", item);
    return;
  }
  for (int i = 0; i < item; ++i) ::PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
  ::PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
  const bool closed = WaitUntil([&] { return ShownMenuOf(program) == nullptr; }, 20000);
  std::printf("tray %d: %s\n", item, closed ? "chosen" : "the menu stays open");
}

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
    } else if (step == "end") {
      session.Stop(nullptr);
    } else if (step == "tray" && i + 1 < args.size()) {
      TrayItem(std::atoi(args[++i].c_str()));
    } else if (int used = PluginStep(session.Newest(), args, i); used > 0) {
      i += static_cast<size_t>(used - 1);
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
  if (command == "toolbar" && (n == 2 || n == 3)) return ShowToolbar(args[1], n == 3 ? args[2] : args[1]);
  if (command == "machine" && (n == 2 || n == 3)) return MachineValue(args[1], n == 3 ? &args[2] : nullptr);
  if (command == "clear" && n == 1) {
    qbhost::ClearStore();
    return 0;
  }
  if (command == "service-key" && n == 1) return ServiceKey();
  if (command == "signal" && n == 2) return Signal(args[1], true);
  if (command == "reset" && n == 2) return Signal(args[1], false);
  if (command == "pages" && n == 2) return qbhost::ExportPages(ExeDirectory() + "sentrova.exe", args[1]);
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
