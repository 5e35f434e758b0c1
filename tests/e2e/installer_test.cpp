// ctest: serial
// The installer under Wine: a silent install puts sentrova.exe under Program
// Files with the COM registration the program writes itself and an entry
// under Add/Remove Programs; the stand-in host starts the installed program;
// a silent uninstall leaves nothing of the program in the registry and keeps
// the user's settings unless asked to remove them. A program running under the
// host is asked to end before its file is replaced or removed; one that does
// not end stops the installer before it changes anything. On a user's
// Windows: a refused registration, a locked program file at uninstall, an
// install folder the ANSI code page cannot spell.
#include <gtest/gtest.h>

#include <windows.h>

#include <map>
#include <string>

#include "platform/com.h"
#include "win/host_test_support.h"
#include "win/key_access.h"

namespace sentrova {
namespace {

using test::Quoted;
using test::RegKeyExists;
using test::RegText;

constexpr char kClassKey[] = "CLSID\\{8A22DFAF-353B-4627-833C-B943F4B11814}";
constexpr char kProgIdKey[] = "BVRX.VRXObj4";
constexpr char kTypeLibKey[] = "TypeLib\\{CDAB5E96-1533-4BF4-BDCE-D08BFD81976F}";
constexpr char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Sentrova";
constexpr char kSettingsKey[] = "Software\\Quillbox\\TB4\\Config\\VRX";
constexpr DWORD kRunMs = 120000;

std::string SetupExe() { return test::BinDir() + "sentrova-installer.exe"; }
std::string InstallDir() {
  char dir[MAX_PATH] = {};
  ::ExpandEnvironmentStringsA("%ProgramW6432%\\Sentrova", dir, MAX_PATH);
  return dir;
}

std::map<std::string, std::string> Registration() {
  std::map<std::string, std::string> s;
  for (const char* key : {kClassKey, kProgIdKey, kTypeLibKey}) {
    test::SnapshotKey(HKEY_CLASSES_ROOT, key, s);
  }
  return s;
}

// The long form of the registered server's path.
std::string RegisteredServer() {
  std::string server =
      RegText(HKEY_CLASSES_ROOT, std::string(kClassKey) + "\\LocalServer32").value_or("");
  if (server.size() > 1 && server.front() == '"') server = server.substr(1, server.size() - 2);
  char path[MAX_PATH] = {};
  ::GetLongPathNameA(server.c_str(), path, MAX_PATH);
  return path;
}

bool BrandValueLeft(REGSAM view) {
  for (const char* name : {"BRAND_LONG", "BRAND_CODE", "BRAND_DOMAIN", "BRAND_FOLDER"}) {
    HKEY k = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Quillbox", 0, KEY_READ | view, &k) != 0) {
      return false;
    }
    const LONG rc = ::RegQueryValueExA(k, name, nullptr, nullptr, nullptr, nullptr);
    ::RegCloseKey(k);
    if (rc == ERROR_SUCCESS) return true;
  }
  return false;
}

struct UninstallCase {
  const char* name;
  const char* options;
  bool settingsKept;
};

void PrintTo(const UninstallCase& c, std::ostream* os) { *os << c.options; }

template <class Base>
class InstallerSuite : public Base {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(test::RegisterStandInHost()); }
  // Leave the build's program registered, as the other tests expect.
  static void TearDownTestSuite() {
    test::RunAndWait(Quoted(test::SentrovaExe()) + " /regserver", kRunMs);
    ::RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsKey);
  }
};
using Installer = InstallerSuite<::testing::TestWithParam<UninstallCase>>;
using InstallerWhileRunning = InstallerSuite<::testing::Test>;

TEST_P(Installer, InstallsStartsAndUninstallsCleanly) {
  const UninstallCase& c = GetParam();
  ASSERT_TRUE(test::FileExists(SetupExe())) << "the win64 build makes it when nsis is installed";
  test::RunAndWait(Quoted(test::SentrovaExe()) + " /unregserver", kRunMs);

  const test::ChildResult install = test::RunAndWait(Quoted(SetupExe()) + " /S", kRunMs);
  ASSERT_TRUE(install.finished);
  EXPECT_EQ(install.exitCode, 0u);
  const std::string program = InstallDir() + "\\sentrova.exe";
  const std::string uninstaller = InstallDir() + "\\uninstall.exe";
  ASSERT_TRUE(test::FileExists(program)) << program;
  EXPECT_TRUE(test::FileExists(uninstaller));
  // The program of this machine's word size, as the tests' own.
  DWORD kind = 0;
  ASSERT_TRUE(::GetBinaryTypeA(program.c_str(), &kind));
  EXPECT_EQ(kind, sizeof(void*) == 8 ? static_cast<DWORD>(SCS_64BIT_BINARY)
                                     : static_cast<DWORD>(SCS_32BIT_BINARY));

  // The registration is the one the installed program writes itself.
  EXPECT_EQ(::lstrcmpiA(RegisteredServer().c_str(), program.c_str()), 0) << RegisteredServer();
  const auto installed = Registration();
  EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, std::string(kTypeLibKey) + "\\1.0\\409\\win64"));
  ASSERT_EQ(test::RunAndWait(Quoted(program) + " /regserver", kRunMs).exitCode, 0u);
  EXPECT_EQ(Registration(), installed);
  for (const char* key : {kClassKey, kProgIdKey}) {
    const test::KeyAccess a = test::AccessOf(key);
    EXPECT_EQ(a.everyoneMask & KEY_READ, static_cast<ACCESS_MASK>(KEY_READ)) << key;
    EXPECT_EQ(a.everyoneMask & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY | WRITE_DAC | DELETE), 0u)
        << key;
  }
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName"), "Sentrova");
  EXPECT_EQ(RegText(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"), Quoted(uninstaller));

  // The host starts the installed program and stops it again.
  const test::CapturedRun session =
      test::RunCaptured(Quoted(test::QbhostExe()) + " session 1 stop", kRunMs);
  ASSERT_TRUE(session.finished);
  EXPECT_NE(session.output.find("plug-in object created"), std::string::npos) << session.output;
  EXPECT_NE(session.output.find("with exit code 0"), std::string::npos) << session.output;

  // A setting of the user's, as the host keeps it.
  HKEY k = nullptr;
  ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, &k, nullptr),
            ERROR_SUCCESS);
  ::RegSetValueExA(k, "UserCookies", 0, REG_SZ, reinterpret_cast<const BYTE*>("a.example"), 10);
  ::RegCloseKey(k);

  // The uninstaller runs from a copy of itself in Temp: wait for its work.
  test::RunAndWait(Quoted(uninstaller) + " " + c.options, kRunMs);
  EXPECT_TRUE(test::WaitFor(
      [&] {
        return !RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey) &&
               ::GetFileAttributesA(InstallDir().c_str()) == INVALID_FILE_ATTRIBUTES;
      },
      kRunMs));
  EXPECT_TRUE(Registration().empty());
  EXPECT_FALSE(BrandValueLeft(KEY_WOW64_64KEY));
  EXPECT_FALSE(BrandValueLeft(KEY_WOW64_32KEY));
  EXPECT_EQ(RegText(HKEY_CURRENT_USER, kSettingsKey, "UserCookies").has_value(), c.settingsKept);
}

// A browser window of the host's that stays open until the test lets it go;
// the program it started is then running.
class OpenSession {
 public:
  OpenSession() : event_(::CreateEventA(nullptr, TRUE, FALSE, kEvent)) {
    process_ = test::StartProcess(Quoted(test::QbhostExe()) + " session 1 await " + kEvent);
  }
  ~OpenSession() {
    ::SetEvent(event_);
    if (process_) ::WaitForSingleObject(process_, kRunMs);
    if (process_) ::CloseHandle(process_);
    ::CloseHandle(event_);
  }
  static constexpr char kEvent[] = "InstallerTestSessionDone";

 private:
  HANDLE event_;
  HANDLE process_ = nullptr;
};

DWORD RunningProgram() {
  DWORD id = 0;
  test::WaitFor(
      [&] {
        const HWND main = ::FindWindowA("VRXWndClass", nullptr);
        return main != nullptr && ::GetWindowThreadProcessId(main, &id) != 0;
      },
      kRunMs);
  return id;
}

bool ProcessEnded(DWORD id) {
  HANDLE h = ::OpenProcess(SYNCHRONIZE, FALSE, id);
  if (h == nullptr) return true;
  const bool ended = ::WaitForSingleObject(h, kRunMs) == WAIT_OBJECT_0;
  ::CloseHandle(h);
  return ended;
}

FILETIME WriteTime(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  ::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
  return data.ftLastWriteTime;
}

// An install over a running program ends it, puts the file in place with the
// whole registration, and the host's next session starts the new program; an
// uninstall over a running program ends it and removes everything.
TEST_F(InstallerWhileRunning, UpgradesAndUninstalls) {
  test::RunAndWait(Quoted(test::SentrovaExe()) + " /unregserver", kRunMs);
  ASSERT_EQ(test::RunAndWait(Quoted(SetupExe()) + " /S", kRunMs).exitCode, 0u);
  const std::string program = InstallDir() + "\\sentrova.exe";
  {
    OpenSession session;
    const DWORD running = RunningProgram();
    ASSERT_NE(running, 0u);
    // Marks the file in place, so that its replacement shows.
    HANDLE f = ::CreateFileA(program.c_str(), FILE_WRITE_ATTRIBUTES,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    const FILETIME old{0x12345678, 0x01c00000};
    ASSERT_TRUE(::SetFileTime(f, nullptr, nullptr, &old));
    ::CloseHandle(f);

    const test::ChildResult again = test::RunAndWait(Quoted(SetupExe()) + " /S", kRunMs);
    ASSERT_TRUE(again.finished);
    EXPECT_EQ(again.exitCode, 0u);
    EXPECT_TRUE(ProcessEnded(running));
    const FILETIME now = WriteTime(program);
    EXPECT_NE(::CompareFileTime(&old, &now), 0) << "the file was not replaced";
    EXPECT_EQ(::lstrcmpiA(RegisteredServer().c_str(), program.c_str()), 0) << RegisteredServer();
  }
  const test::CapturedRun next =
      test::RunCaptured(Quoted(test::QbhostExe()) + " session 1 stop", kRunMs);
  EXPECT_NE(next.output.find("plug-in object created"), std::string::npos) << next.output;

  OpenSession session;
  const DWORD running = RunningProgram();
  ASSERT_NE(running, 0u);
  test::RunAndWait(Quoted(InstallDir() + "\\uninstall.exe") + " /S", kRunMs);
  EXPECT_TRUE(ProcessEnded(running));
  EXPECT_TRUE(test::WaitFor(
      [&] {
        return !RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey) &&
               ::GetFileAttributesA(InstallDir().c_str()) == INVALID_FILE_ATTRIBUTES;
      },
      kRunMs));
  EXPECT_TRUE(Registration().empty());
}

// A program that does not end when asked (here a window of the program's
// class in this test process) stops the install before anything changes.
TEST_F(InstallerWhileRunning, AProgramThatStaysStopsTheInstall) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = ::DefWindowProcA;
  wc.hInstance = ::GetModuleHandleA(nullptr);
  wc.lpszClassName = "VRXWndClass";
  ASSERT_NE(::RegisterClassA(&wc), 0);
  const HWND stays = ::CreateWindowA("VRXWndClass", "VRX", 0, 0, 0, 0, 0, nullptr, nullptr,
                                     wc.hInstance, nullptr);
  ASSERT_NE(stays, nullptr);
  test::RunAndWait(Quoted(test::SentrovaExe()) + " /unregserver", kRunMs);
  ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, kUninstallKey);

  const test::ChildResult install = test::RunAndWait(Quoted(SetupExe()) + " /S", kRunMs);
  ASSERT_TRUE(install.finished);
  EXPECT_NE(install.exitCode, 0u);
  EXPECT_FALSE(test::FileExists(InstallDir() + "\\sentrova.exe"));
  EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  EXPECT_TRUE(Registration().empty());
  ::DestroyWindow(stays);
  ::UnregisterClassA("VRXWndClass", wc.hInstance);
  // Nobody took the installer's request to end: it must not stop the next
  // program at its start.
  if (HANDLE shutdown = ::OpenEventA(EVENT_MODIFY_STATE, FALSE, "TB4Shutdown_VRX")) {
    ::ResetEvent(shutdown);
    ::CloseHandle(shutdown);
  }
}

const UninstallCase kUninstallCases[] = {
    {"KeepsSettings", "/S", true},
    {"RemovesSettingsWhenAsked", "/S /REMOVESETTINGS", false},
};
INSTANTIATE_TEST_SUITE_P(Silent, Installer, ::testing::ValuesIn(kUninstallCases),
                         [](const ::testing::TestParamInfo<UninstallCase>& info) {
                           return std::string(info.param.name);
                         });

class InstallerOnAUsersWindows : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(test::RegisterStandInHost()); }
  static void TearDownTestSuite() {
    test::RunAndWait(Quoted(test::SentrovaExe()) + " /regserver", kRunMs);
  }
};

constexpr char kRunOnceKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

// The setup says when the program could not register itself; the
// uninstaller removes the after-restart command, and keeps its entry (and
// itself) while a running copy keeps sentrova.exe.
TEST_F(InstallerOnAUsersWindows, SaysWhatItCouldNotDo) {
  test::RunAndWait(Quoted(test::SentrovaExe()) + " /unregserver", kRunMs);
  const std::string server = std::string(kClassKey) + "\\LocalServer32";
  ASSERT_EQ(::RegSetKeyValueA(HKEY_CLASSES_ROOT, server.c_str(), nullptr, REG_SZ, "old.exe", 8),
            ERROR_SUCCESS);
  {
    test::ReadOnlyKey locked(HKEY_CLASSES_ROOT, server.c_str(), KEY_WOW64_64KEY);
    ASSERT_TRUE(locked.applied());
    const test::ChildResult install = test::RunAndWait(Quoted(SetupExe()) + " /S", kRunMs);
    ASSERT_TRUE(install.finished);
    EXPECT_EQ(install.exitCode, 2u);
  }
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    ::RegSetKeyValueA(root, kRunOnceKey, "VRX", REG_SZ, "sentrova.exe /cleanup", 22);
  }
  const std::string program = InstallDir() + "\\sentrova.exe";
  HANDLE running = ::CreateFileA(program.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(running, INVALID_HANDLE_VALUE);
  // In place (_?=), so that the run is the uninstall itself.
  const test::ChildResult kept = test::RunAndWait(
      Quoted(InstallDir() + "\\uninstall.exe") + " /S _?=" + InstallDir(), kRunMs);
  ::CloseHandle(running);
  EXPECT_TRUE(kept.finished);
  EXPECT_EQ(kept.exitCode, 2u);
  EXPECT_TRUE(test::FileExists(program));
  EXPECT_TRUE(RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    EXPECT_FALSE(RegText(root, kRunOnceKey, "VRX").has_value());
  }

  // Once the program has ended, the uninstall runs again to the end.
  const test::ChildResult done = test::RunAndWait(
      Quoted(InstallDir() + "\\uninstall.exe") + " /S _?=" + InstallDir(), kRunMs);
  EXPECT_EQ(done.exitCode, 0u);
  EXPECT_FALSE(test::FileExists(program));
  EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  ::DeleteFileA((InstallDir() + "\\uninstall.exe").c_str());
  ::RemoveDirectoryA(InstallDir().c_str());
}

// Installed under a folder whose name the ANSI code page cannot spell: the
// program registers itself there and the host starts it.
TEST_F(InstallerOnAUsersWindows, InstallsUnderAFolderOutsideTheAnsiCodePage) {
  const std::wstring dir = L"C:\\Programme\\Sicherheit-\u03A9";
  const std::wstring program = dir + L"\\sentrova.exe";
  ASSERT_EQ(test::RunWide(AnsiToWide(SetupExe()), L"/S /D=" + dir), 0u);
  ASSERT_NE(::GetFileAttributesW(program.c_str()), INVALID_FILE_ATTRIBUTES);
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    EXPECT_EQ(test::RegTextW(HKEY_CLASSES_ROOT, AnsiToWide(kClassKey) + L"\\LocalServer32", view),
              program);
  }
  const test::CapturedRun session =
      test::RunCaptured(Quoted(test::QbhostExe()) + " session 1 stop", kRunMs);
  ASSERT_TRUE(session.finished);
  EXPECT_NE(session.output.find("plug-in object created"), std::string::npos) << session.output;
  EXPECT_NE(session.output.find("with exit code 0"), std::string::npos) << session.output;

  EXPECT_EQ(test::RunWide(dir + L"\\uninstall.exe", L"/S _?=" + dir), 0u);
  EXPECT_EQ(::GetFileAttributesW(program.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(RegKeyExists(HKEY_LOCAL_MACHINE, kUninstallKey));
  ::DeleteFileW((dir + L"\\uninstall.exe").c_str());
  ::RemoveDirectoryW(dir.c_str());
  ::RemoveDirectoryW(L"C:\\Programme");
}

}  // namespace
}  // namespace sentrova
