// ctest: serial
// Faults the program survives without writing anything wrongly: the host's
// configuration service gone or broken while the program runs, the host
// killed while it holds plug-in objects, and each registry value the program
// reads given every type of data.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "host/config.h"
#include "host/host_contract.h"
#include "platform/com.h"
#include "platform/handle.h"
#include "platform/named_objects.h"
#include "win/host_test_support.h"

namespace sentrova {
namespace {

using test::Quoted;
using test::SentrovaProcesses;

constexpr char kServiceClassKey[] = "CLSID\\{183643C8-EE67-4574-9A38-927852E34163}";
constexpr char kStoreKey[] = "Software\\Quillbox\\TB4";
constexpr DWORD kWaitMs = 30000;

// A value of the host's machine keys, in both registry views: the host is a
// 32-bit browser add-on on most machines.
struct RawValue {
  DWORD type = REG_NONE;
  std::string bytes;
  bool operator==(const RawValue&) const = default;
};
void WriteBoth(const char* key, const char* name, const std::optional<RawValue>& value) {
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    HKEY k = nullptr;
    if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_SET_VALUE | view, nullptr,
                          &k, nullptr) != ERROR_SUCCESS) {
      continue;
    }
    if (value) {
      ::RegSetValueExA(k, name, 0, value->type, reinterpret_cast<const BYTE*>(value->bytes.data()),
                       static_cast<DWORD>(value->bytes.size()));
    } else {
      ::RegDeleteValueA(k, name);
    }
    ::RegCloseKey(k);
  }
}
std::optional<RawValue> Read(const char* key, const char* name, REGSAM view) {
  HKEY k = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE | view, &k) != 0) return {};
  RawValue v;
  DWORD size = 0;
  LONG rc = ::RegQueryValueExA(k, name, nullptr, &v.type, nullptr, &size);
  v.bytes.resize(size);
  if (rc == ERROR_SUCCESS && size > 0) {
    rc = ::RegQueryValueExA(k, name, nullptr, &v.type, reinterpret_cast<BYTE*>(v.bytes.data()),
                            &size);
  }
  ::RegCloseKey(k);
  if (rc != ERROR_SUCCESS) return {};
  return v;
}

std::map<std::string, std::string> Store() {
  std::map<std::string, std::string> s;
  test::SnapshotKey(HKEY_CURRENT_USER, kStoreKey, s);
  return s;
}

class Faults : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(test::RegisterStandInHost());
    ASSERT_TRUE(test::RunAndWait(Quoted(test::SentrovaExe()) + " /regserver", kWaitMs).finished);
  }
  // Holds the host's stop events, as the host does; a stop left set by
  // another run would end the program at its first pass.
  void SetUp() override {
    stop_ = OpenOrCreateEvent(kHostStopEvent, true, false, true);
    shutdown_ = OpenOrCreateEvent(kHostShutdownEvent, false, false, true);
    ASSERT_TRUE(stop_ && shutdown_);
    ::ResetEvent(stop_.get());
    ::ResetEvent(shutdown_.get());
    test::EndStrayPrograms();
  }
  void TearDown() override {
    ::SetEvent(shutdown_.get());
    test::WaitFor([] { return SentrovaProcesses().empty(); }, kWaitMs);
    test::EndStrayPrograms();
    ::ResetEvent(shutdown_.get());
    test::RegisterStandInHost();
  }
  ComPtr<ITB4Plugin> Create() {
    ComPtr<ITB4Plugin> plugin;
    const HRESULT hr = ::CoCreateInstance(kVrxObjClassId, nullptr, CLSCTX_LOCAL_SERVER,
                                          kPluginInterfaceId, plugin.put_void());
    if (FAILED(hr)) std::printf("plug-in object not created: 0x%08lx\n", static_cast<unsigned long>(hr));
    return plugin;
  }
  // The program still answers, then ends with code 0 when the host asks.
  void ExpectServesAndEnds() {
    ComPtr<ITB4Plugin> plugin = Create();
    ASSERT_TRUE(plugin);
    Bstr name;
    EXPECT_HRESULT_SUCCEEDED(plugin->GetPluginName(name.put()));
    EXPECT_EQ(name.Ansi(), "VRX");
    const std::vector<DWORD> ids = SentrovaProcesses();
    ASSERT_EQ(ids.size(), 1u);
    KernelHandle process(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                                       ids[0]));
    plugin.reset();
    ExpectEndsWhenAsked(process);
  }
  // The host asks the program to end; it does, with code 0.
  void ExpectEndsWhenAsked(const KernelHandle& process) {
    ASSERT_TRUE(::SetEvent(shutdown_.get()));
    ASSERT_EQ(::WaitForSingleObject(process.get(), kWaitMs), WAIT_OBJECT_0);
    DWORD code = 1;
    ::GetExitCodeProcess(process.get(), &code);
    EXPECT_EQ(code, 0u);
  }

  ComApartment com_;
  KernelHandle stop_;
  KernelHandle shutdown_;
};

TEST_F(Faults, TheHostsServiceFailingMidRun) {
  const std::pair<const char*, std::function<void()>> faults[] = {
      {"unregistered",
       [] {
         ::RegDeleteTreeA(HKEY_CLASSES_ROOT, kServiceClassKey);
         ::RegDeleteKeyA(HKEY_CLASSES_ROOT, kServiceClassKey);
       }},
      {"a library without the class",
       [] {
         const std::string key = std::string(kServiceClassKey) + "\\InprocServer32";
         ::RegSetValueA(HKEY_CLASSES_ROOT, key.c_str(), REG_SZ, "version.dll", 0);
       }},
  };
  for (const auto& [what, fault] : faults) {
    SCOPED_TRACE(what);
    // The start page check would adopt the browser's start page into
    // HOME_URL while the service still answers; it is not what this test
    // watches, so it is switched off.
    {
      ComPtr<ITB4Server> service = CreateHostService();
      ASSERT_HRESULT_SUCCEEDED(test::WriteVrxBool(service.get(), "HOME_MON", false));
    }
    ComPtr<ITB4Plugin> plugin = Create();
    ASSERT_TRUE(plugin);
    plugin->HostStarted();
    LONG connected = 0;
    plugin->Connect(&connected);
    const auto before = Store();
    fault();
    // Every reload now meets the broken service.
    for (int i = 0; i < 3; ++i) {
      KernelHandle refresh = OpenOrCreateEvent("VRX4_Refresh_Cfg", false, false, true);
      ::SetEvent(refresh.get());
      ::Sleep(300);
    }
    EXPECT_EQ(Store(), before);
    plugin.reset();
    ExpectServesAndEnds();
    ASSERT_TRUE(test::RegisterStandInHost());
  }
}

TEST_F(Faults, TheHostKilledWhileHoldingObjects) {
  ::RegDeleteTreeA(HKEY_CURRENT_USER, (std::string(kStoreKey) + "\\Defaults\\VRX").c_str());
  KernelHandle host(test::StartProcess(Quoted(test::QbhostExe()) + " session 2 wait 120000"));
  ASSERT_TRUE(host);
  // The session keeps the first object's defaults, then creates the second.
  ASSERT_TRUE(test::WaitFor(
      [] { return test::RegKeyExists(HKEY_CURRENT_USER, "Software\\Quillbox\\TB4\\Defaults\\VRX"); },
      kWaitMs));
  ::Sleep(2000);
  ASSERT_TRUE(::TerminateProcess(host.get(), 1));
  ::WaitForSingleObject(host.get(), kWaitMs);
  ExpectServesAndEnds();
}

// The program ended by the host while its security alert is open: it ends,
// and the alert's question counts as no answer (the change stays).
TEST_F(Faults, ShutdownWithAnOpenAlert) {
  constexpr char kZone3[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones\\3";
  constexpr char kMain[] = "Software\\Microsoft\\Internet Explorer\\Main";
  test::HostFlag hostFlag;
  test::HostFlag::Set(1);
  const DWORD zero = 0, three = 3;
  ::RegSetKeyValueA(HKEY_CURRENT_USER, kZone3, "1A02", REG_DWORD, &zero, 4);
  // The start-page question that ends the scanner's first snapshot shows
  // that the snapshot is taken.
  ::RegSetKeyValueA(HKEY_CURRENT_USER, kMain, "Start Page", REG_SZ, "http://other.example/", 22);
  {
    ComPtr<ITB4Server> service = CreateHostService();
    ASSERT_HRESULT_SUCCEEDED(test::WriteVrxBool(service.get(), "HOME_MON", true));
    ASSERT_HRESULT_SUCCEEDED(test::WriteVrxBool(service.get(), "HOME_SET", false));
    ASSERT_HRESULT_SUCCEEDED(test::WriteVrxStr(service.get(), "HOME_URL", "http://home.example/"));
    Bstr host(L"TBR"), flag(L"AFA_DONE");
    ASSERT_HRESULT_SUCCEEDED(service->WriteBool(host.get(), flag.get(), VARIANT_TRUE, VARIANT_FALSE));
  }
  ComPtr<ITB4Plugin> plugin = Create();
  ASSERT_TRUE(plugin);
  plugin->HostStarted();
  LONG connected = 0;
  plugin->Connect(&connected);  // starts the scanner at once
  const std::vector<DWORD> ids = SentrovaProcesses();
  ASSERT_EQ(ids.size(), 1u);
  KernelHandle process(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, ids[0]));
  auto shown = [](const char* caption) {
    HWND w = nullptr;
    test::WaitFor([&] { return (w = ::FindWindowA(nullptr, caption)) && ::IsWindowVisible(w); },
                  60000);
    return w;
  };
  HWND question = shown("Sentrova - Homepage Change Alert!");
  ASSERT_NE(question, nullptr);
  ::RegSetKeyValueA(HKEY_CURRENT_USER, kZone3, "1A02", REG_DWORD, &three, 4);
  ::PostMessageA(question, WM_CLOSE, 0, 0);  // the user's close box: "No"
  ASSERT_NE(shown("Sentrova - Security Settings Changed"), nullptr);
  plugin.reset();
  ExpectEndsWhenAsked(process);
  if (HasFatalFailure()) return;
  DWORD value = 0, size = 4;
  ::RegGetValueA(HKEY_CURRENT_USER, kZone3, "1A02", RRF_RT_DWORD, nullptr, &value, &size);
  EXPECT_EQ(value, 3u);
  ::RegSetKeyValueA(HKEY_CURRENT_USER, kZone3, "1A02", REG_DWORD, &zero, 4);
  ComPtr<ITB4Server> service = CreateHostService();
  test::WriteVrxBool(service.get(), "HOME_MON", false);
}

constexpr char kPluginKey[] = "Software\\Quillbox\\PlugIns\\VRX";
constexpr char kBrandKey[] = "Software\\Quillbox";

struct ValueCase {
  const char* what;
  std::optional<RawValue> value;
  bool disables;  // as DISABLED: only a text value reading exactly "1"
};
const std::string kLong(3000, '1');
const ValueCase kValueCases[] = {
    {"text 1", RawValue{REG_SZ, std::string("1\0", 2)}, true},
    {"text 1 without its NUL", RawValue{REG_SZ, "1"}, true},
    {"expandable text 1", RawValue{REG_EXPAND_SZ, std::string("1\0", 2)}, true},
    {"binary 1", RawValue{REG_BINARY, "1"}, false},
    {"number 1", RawValue{REG_DWORD, std::string("\x01\0\0\0", 4)}, false},
    {"64-bit number", RawValue{REG_QWORD, std::string(8, '\0')}, false},
    {"too long", RawValue{REG_SZ, kLong + '\0'}, false},
    {"empty text", RawValue{REG_SZ, std::string(1, '\0')}, false},
    {"no data", RawValue{REG_BINARY, ""}, false},
    {"missing", std::nullopt, false},
};

TEST_F(Faults, RegistryValuesOfEveryType) {
  for (const ValueCase& c : kValueCases) {
    SCOPED_TRACE(c.what);
    // DISABLED: only the text "1" keeps the program from serving.
    WriteBoth(kPluginKey, "DISABLED", c.value);
    if (c.disables) {
      EXPECT_FALSE(Create());
      EXPECT_TRUE(test::WaitFor([] { return SentrovaProcesses().empty(); }, kWaitMs));
    } else {
      ExpectServesAndEnds();
    }
    WriteBoth(kPluginKey, "DISABLED", std::nullopt);

    // A brand value that is there, whatever it holds, is never rewritten;
    // a missing one is written back as text.
    WriteBoth(kBrandKey, "BRAND_LONG", c.value);
    // As stored: the registry may add the NUL that a text lacks.
    const auto before64 = Read(kBrandKey, "BRAND_LONG", KEY_WOW64_64KEY);
    const auto before32 = Read(kBrandKey, "BRAND_LONG", KEY_WOW64_32KEY);
    const test::ChildResult r =
        test::RunAndWait(Quoted(test::SentrovaExe()) + " /manualupdate", kWaitMs);
    EXPECT_TRUE(r.finished);
    EXPECT_EQ(r.exitCode, 0u);
    const auto after64 = Read(kBrandKey, "BRAND_LONG", KEY_WOW64_64KEY);
    const auto after32 = Read(kBrandKey, "BRAND_LONG", KEY_WOW64_32KEY);
    if (c.value) {
      EXPECT_TRUE(after64 == before64 && after32 == before32);
    } else {
      // Written where the host reads it: its own (32-bit) view.
      const auto written = after32;
      ASSERT_TRUE(written);
      EXPECT_EQ(written->type, static_cast<DWORD>(REG_SZ));
      EXPECT_GT(written->bytes.size(), 1u);
    }
    WriteBoth(kBrandKey, "BRAND_LONG", std::nullopt);
  }
}

}  // namespace
}  // namespace sentrova
