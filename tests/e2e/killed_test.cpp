// ctest: serial
// The program or its host killed in the middle of work: during a clean-up
// pass, with a security alert open, with Customize Cookies or the Clean Up
// Preview open (opened by the host's settings button), while the program
// writes its registration. Each moment is reached by waiting on what
// the program shows or holds. The next run through the host starts cleanly
// (the clean-up mutex left abandoned by the dead worker counts as free), runs
// the next clean-up (which stores its report), has lost no configuration
// value or keep-list entry and leaves the registration whole.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <map>
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

constexpr DWORD kWaitMs = 60000;
constexpr char kAlert[] = "Sentrova - Security Settings Changed";
constexpr char kCookies[] = "Sentrova - Customize Cookies";
constexpr char kPreview[] = "Sentrova - Clean Up Preview";
constexpr char kStore[] = "Software\\Quillbox\\TB4\\Config\\VRX";
constexpr char kZoneKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Zones\\3";

std::string GuidText(const GUID& guid) {
  wchar_t buf[64] = {};
  ::StringFromGUID2(guid, buf, 64);
  return WideToAnsi(buf);
}
const std::string kLibraryKey = "TypeLib\\" + GuidText(kBvrxLibraryId);

// Everything the program registers: class, programmatic name, type library.
std::map<std::string, std::string> Registration() {
  std::map<std::string, std::string> r;
  test::SnapshotKey(HKEY_CLASSES_ROOT, "CLSID\\" + GuidText(kVrxObjClassId), r);
  test::SnapshotKey(HKEY_CLASSES_ROOT, kProgId, r);
  test::SnapshotKey(HKEY_CLASSES_ROOT, kLibraryKey, r);
  return r;
}

std::map<std::string, std::string> StoredValues() {
  std::map<std::string, std::string> s;
  test::SnapshotKey(HKEY_CURRENT_USER, kStore, s);
  return s;
}

HWND Shown(const char* caption) {
  HWND w = ::FindWindowA(nullptr, caption);
  return w && ::IsWindowVisible(w) ? w : nullptr;
}

// Presses a button of a shown window, as a user would (windriver.exe).
void Click(const char* caption, const char* button) {
  if (Shown(caption)) {
    test::RunAndWait(Quoted(test::BinDir() + "windriver.exe") + " click " + Quoted(caption) + " " +
                         Quoted(button),
                     kWaitMs);
  }
}

void SetZoneValue(DWORD value) {
  HKEY key = nullptr;
  if (::RegCreateKeyExA(HKEY_CURRENT_USER, kZoneKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
    return;
  }
  ::RegSetValueExA(key, "1A02", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  ::RegCloseKey(key);
}

std::string TempFolder() {
  char temp[MAX_PATH] = {};
  ::GetTempPathA(MAX_PATH, temp);
  return temp;
}

enum class Moment { kCleanUp, kAlert, kCookies, kPreview, kRegistration };
enum class Victim { kProgram, kHost };

struct KillCase {
  const char* what;
  Moment moment;
  Victim victim;
};

class Killed : public ::testing::TestWithParam<KillCase> {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(test::RegisterStandInHost());
    ASSERT_TRUE(test::RunAndWait(Quoted(test::SentrovaExe()) + " /regserver", kWaitMs).finished);
    registration_ = Registration();
  }
  void SetUp() override {
    stop_ = OpenOrCreateEvent(kHostStopEvent, true, false, true);
    shutdown_ = OpenOrCreateEvent(kHostShutdownEvent, false, false, true);
    ::ResetEvent(stop_.get());
    ::ResetEvent(shutdown_.get());
    test::EndStrayPrograms();
    test::ForgetKilledServers();
    ASSERT_TRUE(test::RunAndWait(Quoted(test::QbhostExe()) + " clear", kWaitMs).finished);
    ComPtr<ITB4Server> service = CreateHostService();
    ASSERT_TRUE(service);
    for (const char* key : {"RUN_AUTO", "RUN_ENDIE", "HOME_MON"}) {
      test::WriteVrxBool(service.get(), key, false);
    }
    for (const char* key : {"VRX_ALL", "SHOW_CLEAN_CLOSEIE", "SHOW_CLEAN_SCHEDULE", "WIN_TEMP"}) {
      test::WriteVrxBool(service.get(), key, true);
    }
    test::WriteVrxStr(service.get(), "RUN_PERIOD", "d");
    test::WriteVrxStr(service.get(), "UserCookies", "kept.example\nalso-kept.example");
    service->Commit(Bstr(L"VRX").get());
    stored_ = StoredValues();
    ASSERT_FALSE(stored_.empty());
    SetZoneValue(0);
    // Held as another process of the program would hold it: the worker that
    // dies owning it leaves it abandoned, not gone.
    runMutex_ = OpenOrCreateMutex("VRX_Run_Clean_Mtx", true);
  }
  void TearDown() override {
    Click(kAlert, "No");
    Click(kCookies, "Cancel");
    Click(kPreview, "Close");
    if (host_) {
      ::TerminateProcess(host_.get(), 1);
      ::WaitForSingleObject(host_.get(), kWaitMs);
    }
    ::SetEvent(shutdown_.get());
    test::WaitFor([] { return SentrovaProcesses().empty(); }, kWaitMs);
    test::EndStrayPrograms();
    test::ForgetKilledServers();
    ::ResetEvent(shutdown_.get());
    ::RemoveDirectoryA((TempFolder() + "killed-pass").c_str());
    test::RunAndWait(Quoted(test::SentrovaExe()) + " /regserver", kWaitMs);
  }

  // The host process that is running when the moment comes.
  void StartHost(const std::string& steps) {
    host_.reset(test::StartProcess(Quoted(test::QbhostExe()) + " session 1 " + steps));
    ASSERT_TRUE(host_);
  }

  // The one program process, once it runs.
  DWORD Program() {
    std::vector<DWORD> ids;
    test::WaitFor([&] { return (ids = SentrovaProcesses()).size() == 1; }, kWaitMs);
    return ids.size() == 1 ? ids[0] : 0;
  }

  // Starts the work and waits until the program is in the middle of it.
  void ReachMoment(Moment moment) {
    switch (moment) {
      case Moment::kCleanUp: {
        // A Temp folder big enough that the pass is seen running.
        const std::string folder = TempFolder() + "killed-pass\\";
        ::CreateDirectoryA(folder.c_str(), nullptr);
        for (int i = 0; i < 3000; ++i) test::WriteFileText(folder + std::to_string(i) + ".tmp", "x");
        StartHost("menu CLEAN wait 120000");
        // The pass marker exists from the pass's first step to its last.
        ASSERT_TRUE(test::WaitFor(
            [] { return static_cast<bool>(KernelHandle(::OpenMutexA(SYNCHRONIZE, FALSE, "VRX_CLEAN_MUTEX"))); },
            kWaitMs));
        break;
      }
      case Moment::kAlert: {
        StartHost("wait 120000");
        // A change made before the scanner's first picture raises nothing:
        // it is made again until the alert shows.
        DWORD value = 0;
        ASSERT_TRUE(test::WaitFor(
            [&] {
              SetZoneValue(value = 3 - value);
              return test::WaitFor([] { return Shown(kAlert) != nullptr; }, 5000);
            },
            kWaitMs));
        break;
      }
      case Moment::kCookies:
        StartHost("button COOKIES wait 120000");
        ASSERT_TRUE(test::WaitFor([] { return Shown(kCookies) != nullptr; }, kWaitMs));
        break;
      case Moment::kPreview:
        StartHost("button PREVIEW wait 120000");
        ASSERT_TRUE(test::WaitFor([] { return Shown(kPreview) != nullptr; }, kWaitMs));
        break;
      case Moment::kRegistration:
        // The type library goes first at each start; its key coming back
        // means the program is writing.
        ::RegDeleteTreeA(HKEY_CLASSES_ROOT, kLibraryKey.c_str());
        ::RegDeleteKeyA(HKEY_CLASSES_ROOT, kLibraryKey.c_str());
        ::RegDeleteTreeA(HKEY_CLASSES_ROOT, kProgId);
        ::RegDeleteKeyA(HKEY_CLASSES_ROOT, kProgId);
        StartHost("wait 120000");
        ASSERT_TRUE(test::WaitFor([] { return test::RegKeyExists(HKEY_CLASSES_ROOT, kLibraryKey); },
                                  kWaitMs));
        break;
    }
  }

  static inline std::map<std::string, std::string> registration_;
  ComApartment com_;
  KernelHandle stop_, shutdown_, runMutex_, host_;
  std::map<std::string, std::string> stored_;
};

TEST_P(Killed, TheNextRunIsWhole) {
  const KillCase& c = GetParam();
  ReachMoment(c.moment);
  if (HasFatalFailure()) return;
  const DWORD killedProgram = c.victim == Victim::kProgram ? Program() : 0;
  {
    KernelHandle victim(c.victim == Victim::kHost
                            ? ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE,
                                            ::GetProcessId(host_.get()))
                            : ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, killedProgram));
    ASSERT_TRUE(victim);
    ASSERT_TRUE(::TerminateProcess(victim.get(), 1));
    ASSERT_EQ(::WaitForSingleObject(victim.get(), kWaitMs), WAIT_OBJECT_0);
  }
  if (c.victim == Victim::kProgram) test::ForgetKilledServers();
  // A program that outlived its host finishes starting first: Windows' COM
  // service would hold the next activation until then, while Wine's client
  // would start a second program beside it.
  if (c.victim == Victim::kHost) {
    ASSERT_TRUE(test::WaitFor([] { return ::FindWindowA("VRXWndClass", "VRX") != nullptr; }, kWaitMs));
  }

  // The next run, through the host, which tries again as a new browser
  // window would while COM's service is starting.
  ComPtr<ITB4Plugin> plugin;
  ASSERT_TRUE(test::WaitFor(
      [&] {
        return SUCCEEDED(::CoCreateInstance(kVrxObjClassId, nullptr, CLSCTX_LOCAL_SERVER,
                                            kPluginInterfaceId, plugin.put_void()));
      },
      kWaitMs));
  Bstr name;
  EXPECT_HRESULT_SUCCEEDED(plugin->GetPluginName(name.put()));
  EXPECT_EQ(name.Ansi(), "VRX");
  plugin->SetInstanceId(Bstr(L"2001").get());
  plugin->HostStarted();
  LONG connected = 0;
  plugin->Connect(&connected);
  const DWORD program = Program();
  ASSERT_NE(program, 0u);
  if (c.victim == Victim::kProgram) EXPECT_NE(program, killedProgram);

  // The next clean-up runs, once a pass that outlived its host has ended.
  auto idle = [&] {
    Bstr answer;
    plugin->GetInfo(Bstr(L"ALLOW_EXIT").get(), 0, answer.put());
    return answer.Ansi() == "YES";
  };
  ASSERT_TRUE(test::WaitFor(idle, kWaitMs));
  const std::string marker = TempFolder() + "killed-next.tmp";
  ASSERT_TRUE(test::WriteFileText(marker, "x"));
  ASSERT_HRESULT_SUCCEEDED(plugin->MenuCommand(0, Bstr(L"CLEAN").get()));
  EXPECT_TRUE(test::WaitFor([&] { return !test::FileExists(marker); }, kWaitMs));
  EXPECT_TRUE(test::WaitFor(idle, kWaitMs));

  // The pass adds its report; every other value is as it was.
  std::map<std::string, std::string> values = StoredValues();
  EXPECT_EQ(values.erase(std::string(kStore) + "|LAST_CLEAN"), 1u);
  EXPECT_EQ(values, stored_);
  EXPECT_EQ(Registration(), registration_);

  // And it ends the host's way.
  Click(kAlert, "No");
  Click(kCookies, "Cancel");
  KernelHandle process(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, program));
  plugin.reset();
  ::SetEvent(shutdown_.get());
  ASSERT_EQ(::WaitForSingleObject(process.get(), kWaitMs), WAIT_OBJECT_0);
  DWORD code = 1;
  ::GetExitCodeProcess(process.get(), &code);
  EXPECT_EQ(code, 0u);
}

const KillCase kCases[] = {
    {"ProgramDuringCleanUp", Moment::kCleanUp, Victim::kProgram},
    {"ProgramWithAlertOpen", Moment::kAlert, Victim::kProgram},
    {"ProgramWithCookiesOpen", Moment::kCookies, Victim::kProgram},
    {"ProgramWritingRegistration", Moment::kRegistration, Victim::kProgram},
    {"HostDuringCleanUp", Moment::kCleanUp, Victim::kHost},
    {"HostWithAlertOpen", Moment::kAlert, Victim::kHost},
    {"HostWithCookiesOpen", Moment::kCookies, Victim::kHost},
    // The program outlives its host with the preview open, and its own end
    // closes it.
    {"HostWithPreviewOpen", Moment::kPreview, Victim::kHost},
    {"HostWhileRegistrationIsWritten", Moment::kRegistration, Victim::kHost},
};
INSTANTIATE_TEST_SUITE_P(AtEachMoment, Killed, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.what); });

}  // namespace
}  // namespace sentrova
