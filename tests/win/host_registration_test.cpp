// ctest: serial
// sentrova.exe /regserver, /unregserver and /manualupdate against the
// machine's class registration.
#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>

#include <map>
#include <string>
#include <vector>

#include "host/registration.h"
#include "win/host_test_support.h"
#include "win/key_access.h"

namespace sentrova {
namespace {

using test::Quoted;
using test::RegKeyExists;
using test::RegText;
using test::SentrovaExe;

constexpr char kClassKey[] = "CLSID\\{8A22DFAF-353B-4627-833C-B943F4B11814}";
constexpr char kProgIdKey[] = "BVRX.VRXObj4";
constexpr char kTypeLibKey[] = "TypeLib\\{CDAB5E96-1533-4BF4-BDCE-D08BFD81976F}";

DWORD RunProgram(const std::string& exe, const std::string& args) {
  const test::ChildResult r = test::RunAndWait(Quoted(exe) + " " + args, 60000);
  EXPECT_TRUE(r.finished) << args;
  return r.exitCode;
}

// The class keys of both registry views, and the type library.
constexpr REGSAM kViews[] = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};
std::map<std::string, std::string> Snapshot() {
  std::map<std::string, std::string> s;
  for (REGSAM view : kViews) {
    const std::string tag = view == KEY_WOW64_32KEY ? "32:" : "64:";
    std::map<std::string, std::string> one;
    test::SnapshotKey(HKEY_CLASSES_ROOT, kClassKey, one, view);
    test::SnapshotKey(HKEY_CLASSES_ROOT, kProgIdKey, one, view);
    for (auto& [k, v] : one) s[tag + k] = v;
  }
  test::SnapshotKey(HKEY_CLASSES_ROOT, kTypeLibKey, s);
  return s;
}

bool SameText(const std::optional<std::string>& a, const std::string& b) {
  return a && ::lstrcmpiA(a->c_str(), b.c_str()) == 0;
}

class Registration : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(test::RegisterStandInHost()); }
  // Leave the machine registered, as the other tests expect.
  static void TearDownTestSuite() { RunProgram(SentrovaExe(), "/regserver"); }
};

TEST_F(Registration, RegserverWritesEveryKeyAndValue) {
  ASSERT_EQ(RunProgram(SentrovaExe(), "/unregserver"), 0u);
  ASSERT_EQ(RunProgram(SentrovaExe(), "/regserver"), 0u);
  const std::string cls = kClassKey;
  const std::string progId = kProgIdKey;
  // A toolbar host of either word size finds the class in its own view.
  for (REGSAM v : kViews) {
    SCOPED_TRACE(v == KEY_WOW64_32KEY ? "32-bit view" : "64-bit view");
    EXPECT_EQ(RegText(HKEY_CLASSES_ROOT, cls, nullptr, v), "");
    EXPECT_EQ(RegText(HKEY_CLASSES_ROOT, cls, "PluginName", v), "VRX");
    EXPECT_TRUE(SameText(RegText(HKEY_CLASSES_ROOT, cls + "\\LocalServer32", nullptr, v),
                         SentrovaExe()));
    EXPECT_EQ(RegText(HKEY_CLASSES_ROOT, cls + "\\LocalServer32", "ThreadingModel", v), "Free");
    EXPECT_EQ(RegText(HKEY_CLASSES_ROOT, cls + "\\ProgID", nullptr, v), "BVRX.VRXObj4");
    EXPECT_EQ(RegText(HKEY_CLASSES_ROOT, cls + "\\Version", nullptr, v), "1.0");
    EXPECT_EQ(RegText(HKEY_CLASSES_ROOT, cls + "\\TypeLib", nullptr, v),
              "{CDAB5E96-1533-4BF4-BDCE-D08BFD81976F}");
    EXPECT_EQ(RegText(HKEY_CLASSES_ROOT, progId, nullptr, v), "");
    EXPECT_EQ(RegText(HKEY_CLASSES_ROOT, progId + "\\Clsid", nullptr, v),
              "{8A22DFAF-353B-4627-833C-B943F4B11814}");
  }
  EXPECT_EQ(RegText(HKEY_CLASSES_ROOT, std::string(kTypeLibKey) + "\\1.0"), "Brindle VRX Library");
  // Toolbar hosts of either word size find the library.
  for (const char* kind : {"win64", "win32"}) {
    EXPECT_TRUE(SameText(RegText(HKEY_CLASSES_ROOT, std::string(kTypeLibKey) + "\\1.0\\409\\" + kind),
                         SentrovaExe()))
        << kind;
  }

  // Twice is the same as once.
  const auto once = Snapshot();
  ASSERT_EQ(RunProgram(SentrovaExe(), "/regserver"), 0u);
  EXPECT_EQ(Snapshot(), once);
}

TEST_F(Registration, EveryoneMayReadTheClassKeysButNotChangeThem) {
  ASSERT_EQ(RunProgram(SentrovaExe(), "/regserver"), 0u);
  for (const auto& [key, view] : {std::pair{kClassKey, KEY_WOW64_64KEY},
                                  {kClassKey, KEY_WOW64_32KEY}, {kProgIdKey, KEY_WOW64_64KEY}}) {
    const test::KeyAccess a = test::AccessOf(key, view);
    ASSERT_TRUE(a.read) << key;
    EXPECT_EQ(a.everyoneMask & KEY_READ, static_cast<ACCESS_MASK>(KEY_READ)) << key;
    EXPECT_EQ(a.everyoneMask & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY | WRITE_DAC | WRITE_OWNER | DELETE),
              0u)
        << key;
    EXPECT_TRUE(a.everyoneFlags & CONTAINER_INHERIT_ACE) << key;
    EXPECT_TRUE(a.othersFull) << key;
  }
}

TEST_F(Registration, UnregserverLeavesNothingBehind) {
  ASSERT_EQ(RunProgram(SentrovaExe(), "/regserver"), 0u);
  ASSERT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, kClassKey));
  ASSERT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, kClassKey, KEY_WOW64_32KEY));
  ASSERT_EQ(RunProgram(SentrovaExe(), "-UNREGSERVER"), 0u);
  EXPECT_TRUE(Snapshot().empty());
  // The host's own registration is not the program's to remove.
  EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, "Interface\\{01C78433-6FDF-4E5A-A82D-B535C32E03DF}"));
  // Nothing to remove is no failure either.
  EXPECT_EQ(RunProgram(SentrovaExe(), "/unregserver"), 0u);
}

TEST_F(Registration, ManualUpdateTouchesNothing) {
  ASSERT_EQ(RunProgram(SentrovaExe(), "/unregserver"), 0u);
  // The host's machine values, in the host's (32-bit) view, where every
  // start writes back the brand values that are missing: a first run leaves
  // none missing, so that the runs below have nothing to write.
  ASSERT_EQ(RunProgram(SentrovaExe(), "/manualupdate"), 0u);
  std::map<std::string, std::string> before;
  test::SnapshotKey(HKEY_CURRENT_USER, "Software\\Quillbox", before);
  test::SnapshotKey(HKEY_LOCAL_MACHINE, "Software\\Quillbox", before, KEY_WOW64_32KEY);
  EXPECT_EQ(RunProgram(SentrovaExe(), "/manualupdate"), 0u);
  EXPECT_EQ(RunProgram(SentrovaExe(), "--ManualUpdate"), 0u);
  // The after-restart clean-up is no normal run either.
  EXPECT_EQ(RunProgram(SentrovaExe(), "/CleanUp"), 0u);
  EXPECT_TRUE(Snapshot().empty());  // a normal run would have registered
  std::map<std::string, std::string> after;
  test::SnapshotKey(HKEY_CURRENT_USER, "Software\\Quillbox", after);
  test::SnapshotKey(HKEY_LOCAL_MACHINE, "Software\\Quillbox", after, KEY_WOW64_32KEY);
  // The after-restart clean-up stores its report, as every clean-up does.
  const std::string report = "Software\\Quillbox\\TB4\\Config\\VRX|LAST_CLEAN";
  EXPECT_EQ(after.erase(report), 1u);
  before.erase(report);
  EXPECT_EQ(after, before);
}

TEST_F(Registration, InstalledUnderAPathWithBlanks) {
  test::ScratchDir dir;
  const std::string folder = dir.File("Program Files Test");
  ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
  const std::string copy = folder + "\\sentrova.exe";
  ASSERT_TRUE(::CopyFileA(SentrovaExe().c_str(), copy.c_str(), FALSE));
  ASSERT_EQ(RunProgram(copy, "/regserver"), 0u);
  const auto server = RegText(HKEY_CLASSES_ROOT, std::string(kClassKey) + "\\LocalServer32");
  ASSERT_TRUE(server.has_value());
  EXPECT_EQ(server->find(' '), std::string::npos) << *server;
  char longPath[MAX_PATH] = {};
  ASSERT_GT(::GetLongPathNameA(server->c_str(), longPath, MAX_PATH), 0u) << *server;
  EXPECT_EQ(::lstrcmpiA(longPath, copy.c_str()), 0) << longPath;
  ASSERT_EQ(RunProgram(SentrovaExe(), "/regserver"), 0u);
  ::DeleteFileA(copy.c_str());
  ::RemoveDirectoryA(folder.c_str());
}

TEST(LocalServerCommand, ShortensOrQuotesPathsWithBlanks) {
  EXPECT_EQ(LocalServerCommand(L"C:\\App\\s.exe", L"C:\\App\\s.exe"), L"C:\\App\\s.exe");
  EXPECT_EQ(LocalServerCommand(L"C:\\My App\\s.exe", L"C:\\MYAPP~1\\s.exe"), L"C:\\MYAPP~1\\s.exe");
  // No short names on the volume: the long path, quoted, still names the program.
  EXPECT_EQ(LocalServerCommand(L"C:\\My App\\s.exe", L"C:\\My App\\s.exe"),
            L"\"C:\\My App\\s.exe\"");
}

}  // namespace
}  // namespace sentrova
