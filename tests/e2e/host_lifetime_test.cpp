// The stand-in toolbar host drives sentrova.exe through COM: the process is
// started for the first plug-in object, keeps serving after the last one is
// released, and ends with exit code 0 when the host sets its stop events or
// has disabled the plug-in.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "host/host_contract.h"
#include "host/resource_text.h"
#include "platform/com.h"
#include "platform/handle.h"
#include "platform/named_objects.h"
#include "platform/registry.h"
#include "win/host_test_support.h"

namespace sentrova {
namespace {

using test::Quoted;
using test::SentrovaExe;
using test::SentrovaProcesses;

constexpr char kPluginKey[] = "Software\\Quillbox\\PlugIns\\VRX";
constexpr char kServiceClassKey[] = "CLSID\\{183643C8-EE67-4574-9A38-927852E34163}";
constexpr DWORD kExitWaitMs = 20000;

KernelHandle StopEvent() { return OpenOrCreateEvent(kHostStopEvent, true, false, true); }
KernelHandle ShutdownEvent() { return OpenOrCreateEvent(kHostShutdownEvent, false, false, true); }

void SetDisabled(DWORD type, const void* data, DWORD size) {
  HKEY k = nullptr;
  // The host's values live in the 32-bit view, where the program reads them.
  ASSERT_EQ(::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kPluginKey, 0, nullptr, 0,
                              KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr, &k, nullptr),
            ERROR_SUCCESS);
  ::RegSetValueExA(k, "DISABLED", 0, type, static_cast<const BYTE*>(data), size);
  ::RegCloseKey(k);
}
void SetDisabledText(const char* text) {
  SetDisabled(REG_SZ, text, static_cast<DWORD>(strlen(text) + 1));
}
void ClearDisabled() {
  HKEY k = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPluginKey, 0, KEY_SET_VALUE | KEY_WOW64_32KEY, &k) !=
      ERROR_SUCCESS)
    return;
  ::RegDeleteValueA(k, "DISABLED");
  ::RegCloseKey(k);
}

std::string ConfigValue(const char* name) {
  HMODULE m = ::LoadLibraryExA(SentrovaExe().c_str(), nullptr,
                               LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  std::string bytes;
  if (HRSRC r = ::FindResourceA(m, "CONFIG", MAKEINTRESOURCEA(10))) {
    bytes.assign(static_cast<const char*>(::LockResource(::LoadResource(m, r))),
                 ::SizeofResource(m, r));
  }
  ::FreeLibrary(m);
  return FindResourceValue(ResourceLines(bytes), name).value_or("(missing)");
}

class HostSession : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(test::RegisterStandInHost());
    const test::ChildResult r = test::RunAndWait(Quoted(SentrovaExe()) + " /regserver", 60000);
    ASSERT_TRUE(r.finished);
  }
  // The test keeps the host's events open, as the host does: a named event
  // lives only while someone holds a handle to it.
  void SetUp() override {
    stop_ = StopEvent();
    shutdown_ = ShutdownEvent();
    ASSERT_TRUE(stop_ && shutdown_);
    test::EndStrayPrograms();
    ::ResetEvent(stop_.get());
    ClearDisabled();
    ASSERT_TRUE(SentrovaProcesses().empty());
  }
  void TearDown() override {
    plugins_.clear();
    ::SetEvent(shutdown_.get());
    test::WaitFor([] { return SentrovaProcesses().empty(); }, 10000);
    test::EndStrayPrograms();
    ::ResetEvent(stop_.get());
    ::ResetEvent(shutdown_.get());
    ClearDisabled();
  }

  HRESULT Create(ComPtr<ITB4Plugin>& plugin) {
    return ::CoCreateInstance(kVrxObjClassId, nullptr, CLSCTX_LOCAL_SERVER, kPluginInterfaceId,
                              plugin.put_void());
  }
  ComPtr<ITB4Plugin> CreateOrFail() {
    ComPtr<ITB4Plugin> plugin;
    EXPECT_HRESULT_SUCCEEDED(Create(plugin));
    return plugin;
  }
  // The one program process, opened for waiting.
  KernelHandle SoleProgram() {
    const std::vector<DWORD> ids = SentrovaProcesses();
    EXPECT_EQ(ids.size(), 1u);
    if (ids.size() != 1) return KernelHandle();
    return KernelHandle(
        ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, ids[0]));
  }
  // Sets a stop event and expects the process to end with exit code 0.
  void ExpectStoppedBy(const KernelHandle& event, const KernelHandle& process) {
    ASSERT_TRUE(process);
    const DWORD start = ::GetTickCount();
    ASSERT_TRUE(::SetEvent(event.get()));
    ASSERT_EQ(::WaitForSingleObject(process.get(), kExitWaitMs), WAIT_OBJECT_0);
    RecordProperty("stop_ms", static_cast<int>(::GetTickCount() - start));
    DWORD code = 1;
    ASSERT_TRUE(::GetExitCodeProcess(process.get(), &code));
    EXPECT_EQ(code, 0u);
  }

  ComApartment com_;
  KernelHandle stop_;
  KernelHandle shutdown_;
  std::vector<ComPtr<ITB4Plugin>> plugins_;
};

TEST_F(HostSession, FirstPluginObjectStartsOneProcessThatAnswers) {
  ComPtr<ITB4Plugin> first = CreateOrFail();
  ASSERT_TRUE(first);
  EXPECT_EQ(SentrovaProcesses().size(), 1u);
  Bstr name;
  ASSERT_HRESULT_SUCCEEDED(first->GetPluginName(name.put()));
  EXPECT_EQ(name.Ansi(), "VRX");
  Bstr defaults;
  ASSERT_HRESULT_SUCCEEDED(first->GetDefaults(defaults.put()));
  const std::string text = defaults.Ansi();
  EXPECT_EQ(text.rfind("RUN_AUTO=0\r\n", 0), 0u);
  EXPECT_NE(text.find("\r\nM_NET_SIGN=1\r\n\r\nAF_ID=1\r\n"), std::string::npos);
  Bstr help;
  Bstr about;
  ASSERT_HRESULT_SUCCEEDED(first->GetHelpUrl(help.put()));
  ASSERT_HRESULT_SUCCEEDED(first->GetAboutUrl(about.put()));
  EXPECT_EQ(help.Ansi(), ConfigValue("HELP_URL"));
  EXPECT_EQ(about.Ansi(), ConfigValue("ABOUT_URL"));
  EXPECT_HRESULT_SUCCEEDED(first->HostStarted());

  // A second browser window is served by the same process.
  ComPtr<ITB4Plugin> second = CreateOrFail();
  ASSERT_TRUE(second);
  EXPECT_EQ(SentrovaProcesses().size(), 1u);
  Bstr again;
  ASSERT_HRESULT_SUCCEEDED(second->GetPluginName(again.put()));
  EXPECT_EQ(again.Ansi(), "VRX");

  KernelHandle process = SoleProgram();
  ExpectStoppedBy(stop_, process);
  ::ResetEvent(stop_.get());
}

TEST_F(HostSession, AStopEventLeftSetEndsTheNextStartAtOnce) {
  ASSERT_TRUE(::SetEvent(stop_.get()));
  const test::ChildResult r = test::RunAndWait(Quoted(SentrovaExe()), kExitWaitMs);
  ASSERT_TRUE(r.finished);
  EXPECT_EQ(r.exitCode, 0u);
  ::ResetEvent(stop_.get());
}

TEST_F(HostSession, DisabledOneKeepsTheProcessFromServing) {
  SetDisabledText("1");
  const test::ChildResult r = test::RunAndWait(Quoted(SentrovaExe()) + " -Embedding", kExitWaitMs);
  ASSERT_TRUE(r.finished);
  EXPECT_EQ(r.exitCode, 0u);

  ComPtr<ITB4Plugin> plugin;
  EXPECT_TRUE(FAILED(Create(plugin)));
  EXPECT_FALSE(plugin);
  EXPECT_TRUE(test::WaitFor([] { return SentrovaProcesses().empty(); }, kExitWaitMs));
}

TEST_F(HostSession, OtherDisabledValuesDoNotDisable) {
  const DWORD one = 1;
  struct Case {
    const char* what;
    DWORD type;
    const void* data;
    DWORD size;
  };
  const Case cases[] = {{"text 0", REG_SZ, "0", 2},
                        {"text yes", REG_SZ, "yes", 4},
                        {"number 1", REG_DWORD, &one, sizeof one}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetDisabled(c.type, c.data, c.size);
    ComPtr<ITB4Plugin> plugin = CreateOrFail();
    ASSERT_TRUE(plugin);
    Bstr name;
    EXPECT_HRESULT_SUCCEEDED(plugin->GetPluginName(name.put()));
    EXPECT_EQ(name.Ansi(), "VRX");
    KernelHandle started = SoleProgram();
    plugin.reset();
    ExpectStoppedBy(shutdown_, started);
  }
}

TEST_F(HostSession, ServesWithoutTheHostsConfigurationService) {
  ASSERT_EQ(::RegDeleteTreeA(HKEY_CLASSES_ROOT, kServiceClassKey), ERROR_SUCCESS);
  ::RegDeleteKeyA(HKEY_CLASSES_ROOT, kServiceClassKey);
  ComPtr<ITB4Plugin> plugin = CreateOrFail();
  EXPECT_TRUE(plugin);
  if (plugin) {
    Bstr defaults;
    EXPECT_HRESULT_SUCCEEDED(plugin->GetDefaults(defaults.put()));
    EXPECT_EQ(defaults.Ansi().rfind("RUN_AUTO=0", 0), 0u);
    EXPECT_HRESULT_SUCCEEDED(plugin->HostStarted());
  }
  plugin.reset();
  KernelHandle process = SoleProgram();
  ExpectStoppedBy(shutdown_, process);
  EXPECT_TRUE(test::RegisterStandInHost());
}

// Rewrites a copy of the program without some of its RCDATA resources: every
// other resource is read and written back into an emptied resource section
// (the update cannot delete a single resource under Wine).
struct Resource {
  std::string type;  // "#n" for a numbered one
  std::string name;
  WORD language;
  std::string bytes;
};
std::string ResName(LPCSTR id) {
  return IS_INTRESOURCE(id) ? "#" + std::to_string(reinterpret_cast<ULONG_PTR>(id)) : std::string(id);
}
LPCSTR ResId(const std::string& name) {
  return name[0] == '#' ? MAKEINTRESOURCEA(std::stoi(name.substr(1))) : name.c_str();
}
bool RemoveRcData(const std::string& exe, const std::vector<std::string>& names) {
  std::vector<Resource> kept;
  size_t removed = 0;
  {
    HMODULE m = ::LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!m) return false;
    struct Walk {
      HMODULE module;
      std::vector<Resource>* all;
    } walk{m, &kept};
    ::EnumResourceTypesA(
        m,
        [](HMODULE mod, LPSTR type, LONG_PTR p) CALLBACK -> BOOL {
          ::EnumResourceNamesA(
              mod, type,
              [](HMODULE mod2, LPCSTR type2, LPSTR name, LONG_PTR p2) CALLBACK -> BOOL {
                ::EnumResourceLanguagesA(
                    mod2, type2, name,
                    [](HMODULE mod3, LPCSTR t, LPCSTR n, WORD lang, LONG_PTR p3) CALLBACK -> BOOL {
                      auto* w = reinterpret_cast<Walk*>(p3);
                      HRSRC r = ::FindResourceExA(mod3, t, n, lang);
                      const char* data = static_cast<const char*>(::LockResource(::LoadResource(mod3, r)));
                      w->all->push_back({ResName(t), ResName(n), lang,
                                         std::string(data, ::SizeofResource(mod3, r))});
                      return TRUE;
                    },
                    p2);
                return TRUE;
              },
              p);
          return TRUE;
        },
        reinterpret_cast<LONG_PTR>(&walk));
    ::FreeLibrary(m);
  }
  std::vector<Resource> rest;
  for (Resource& r : kept) {
    bool drop = false;
    for (const std::string& n : names) drop = drop || (r.type == "#10" && r.name == n);
    if (drop) {
      ++removed;
    } else {
      rest.push_back(std::move(r));
    }
  }
  if (removed != names.size()) return false;
  HANDLE update = ::BeginUpdateResourceA(exe.c_str(), TRUE);
  if (!update) return false;
  bool ok = true;
  for (Resource& r : rest) {
    ok = ok && ::UpdateResourceA(update, ResId(r.type), ResId(r.name), r.language, r.bytes.data(),
                                 static_cast<DWORD>(r.bytes.size()));
  }
  return ::EndUpdateResourceA(update, !ok) && ok;
}

TEST_F(HostSession, WithoutConfigAndLabelsTheBuiltInAddressesServe) {
  test::ScratchDir dir;
  const std::string copy = dir.File("sentrova.exe");
  ASSERT_TRUE(::CopyFileA(SentrovaExe().c_str(), copy.c_str(), FALSE));
  ASSERT_TRUE(RemoveRcData(copy, {"CONFIG", "LABELS"}));
  {
    HMODULE m = ::LoadLibraryExA(copy.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(::FindResourceA(m, "CONFIG", MAKEINTRESOURCEA(10)), nullptr);
    EXPECT_NE(::FindResourceA(m, "DEFSET", MAKEINTRESOURCEA(10)), nullptr);
    ::FreeLibrary(m);
  }
  ASSERT_EQ(test::RunAndWait(Quoted(copy) + " /regserver", 60000).exitCode, 0u);
  EXPECT_EQ(test::RegText(HKEY_CLASSES_ROOT,
                          "CLSID\\{8A22DFAF-353B-4627-833C-B943F4B11814}\\LocalServer32"),
            copy);

  ComPtr<ITB4Plugin> plugin = CreateOrFail();
  if (plugin) {
    Bstr defaults;
    EXPECT_HRESULT_SUCCEEDED(plugin->GetDefaults(defaults.put()));
    const std::string text = defaults.Ansi();
    EXPECT_EQ(text.rfind("RUN_AUTO=0\r\n", 0), 0u);
    const std::string end = "\r\nM_NET_SIGN=1\r\n\r\n";  // DEFSET alone
    ASSERT_GT(text.size(), end.size());
    EXPECT_EQ(text.substr(text.size() - end.size()), end) << text;
    EXPECT_EQ(text.find("AF_ID"), std::string::npos);
    Bstr help;
    Bstr about;
    EXPECT_HRESULT_SUCCEEDED(plugin->GetHelpUrl(help.put()));
    EXPECT_HRESULT_SUCCEEDED(plugin->GetAboutUrl(about.put()));
    EXPECT_EQ(help.Ansi(), DefaultConfigAddresses().helpUrl);
    EXPECT_EQ(about.Ansi(), DefaultConfigAddresses().aboutUrl);
    EXPECT_NE(about.Ansi(), ConfigValue("ABOUT_URL"));
  }
  plugin.reset();
  KernelHandle process = SoleProgram();
  ExpectStoppedBy(shutdown_, process);
  ASSERT_EQ(test::RunAndWait(Quoted(SentrovaExe()) + " /regserver", 60000).exitCode, 0u);
}

TEST_F(HostSession, StandInHostSessionShowsTheProgramAtWork) {
  const test::CapturedRun run = test::RunCaptured(
      Quoted(test::QbhostExe()) + " session 2 release all processes new stop", 90000);
  ASSERT_TRUE(run.finished) << run.output;
  EXPECT_EQ(run.exitCode, 0u) << run.output;
  EXPECT_NE(run.output.find("plug-in name: VRX"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("    RUN_AUTO=0\r\n"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("help address: " + ConfigValue("HELP_URL")), std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("window 3: plug-in object created"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("with exit code 0"), std::string::npos) << run.output;
  EXPECT_TRUE(SentrovaProcesses().empty());
}

// How often `part` occurs in `text`.
size_t Occurrences(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST_F(HostSession, StandInHostCallsEverySlotAndPrintsTheAnswers) {
  // The browser that help and about open is the stand-in of tests/doubles.
  constexpr char kBrowserServer[] =
      "CLSID\\{0002DF01-0000-0000-C000-000000000046}\\LocalServer32";
  constexpr char kBrowserLog[] = "Software\\SentrovaTests\\IeDouble";
  const std::string original = ReadRegString(HKEY_CLASSES_ROOT, kBrowserServer, "", "");
  WriteRegString(HKEY_CLASSES_ROOT, kBrowserServer, "", true,
                 Quoted(test::BinDir() + "ie_double.exe"));
  DeleteRegKey(HKEY_CURRENT_USER, kBrowserLog);
  const test::CapturedRun run = test::RunCaptured(
      Quoted(test::QbhostExe()) + " session configchanged menu HELP menu ABOUT tray 3 tray 4 stop",
      120000);
  const std::string help = ConfigValue("HELP_URL");
  const std::string about = ConfigValue("ABOUT_URL");
  auto log = [&] { return ReadRegString(HKEY_CURRENT_USER, kBrowserLog, "Log", ""); };
  // Each address opened twice: through the toolbar menu and the tray menu.
  EXPECT_TRUE(test::WaitFor([&] { return Occurrences(log(), "Released") == 4; }, 20000)) << log();
  EXPECT_EQ(Occurrences(log(), "Navigate2 " + help + " "), 2u) << log();
  EXPECT_EQ(Occurrences(log(), "Navigate2 " + about + " "), 2u) << log();
  if (original.empty()) {
    DeleteRegKey(HKEY_CLASSES_ROOT, kBrowserServer);
  } else {
    WriteRegString(HKEY_CLASSES_ROOT, kBrowserServer, "", true, original);
  }
  DeleteRegKey(HKEY_CURRENT_USER, kBrowserLog);

  ASSERT_TRUE(run.finished) << run.output;
  EXPECT_EQ(run.exitCode, 0u) << run.output;
  for (const char* line : {"  settings pages:", "/opt_general\r\n", "/opt_cleanup\r\n",
                           "/opt_security\r\n", "    Sentrova=res://",
                           "    Clean Up Settings=res://", "    Security Monitoring=res://",
                           "slot 13: 0x00000000; slot 14: \"\" (0x00000000); slot 19: 0",
                           "configchanged: 0x00000000", "menu HELP: 0x00000000",
                           "menu ABOUT: 0x00000000", "tray 3: chosen", "tray 4: chosen",
                           "with exit code 0"}) {
    EXPECT_NE(run.output.find(line), std::string::npos) << line << "\n" << run.output;
  }
}

}  // namespace
}  // namespace sentrova
