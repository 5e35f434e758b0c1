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

std::map<std::string, std::string> Snapshot() {
  std::map<std::string, std::string> s;
  test::SnapshotKey(HKEY_CLASSES_ROOT, kClassKey, s);
  test::SnapshotKey(HKEY_CLASSES_ROOT, kProgIdKey, s);
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
  EXPECT_EQ(RegText(HKEY_CLASSES_ROOT, cls), "");
  EXPECT_EQ(RegText(HKEY_CLASSES_ROOT, cls, "PluginName"), "VRX");
  EXPECT_TRUE(SameText(RegText(HKEY_CLASSES_ROOT, cls + "\\LocalServer32"), SentrovaExe()));
  EXPECT_EQ(RegText(HKEY_CLASSES_ROOT, cls + "\\LocalServer32", "ThreadingModel"), "Free");
  EXPECT_EQ(RegText(HKEY_CLASSES_ROOT, cls + "\\ProgID"), "BVRX.VRXObj4");
  EXPECT_EQ(RegText(HKEY_CLASSES_ROOT, cls + "\\Version"), "1.0");
  EXPECT_EQ(RegText(HKEY_CLASSES_ROOT, cls + "\\TypeLib"), "{CDAB5E96-1533-4BF4-BDCE-D08BFD81976F}");
  EXPECT_EQ(RegText(HKEY_CLASSES_ROOT, kProgIdKey), "");
  EXPECT_EQ(RegText(HKEY_CLASSES_ROOT, std::string(kProgIdKey) + "\\Clsid"),
            "{8A22DFAF-353B-4627-833C-B943F4B11814}");
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
  for (const char* key : {kClassKey, kProgIdKey}) {
    const test::KeyAccess a = test::AccessOf(key);
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
  ASSERT_EQ(RunProgram(SentrovaExe(), "-UNREGSERVER"), 0u);
  EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, kClassKey));
  EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, kProgIdKey));
  EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, kTypeLibKey));
  // The host's own registration is not the program's to remove.
  EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, "Interface\\{01C78433-6FDF-4E5A-A82D-B535C32E03DF}"));
  // Nothing to remove is no failure either.
  EXPECT_EQ(RunProgram(SentrovaExe(), "/unregserver"), 0u);
}

TEST_F(Registration, ManualUpdateTouchesNothing) {
  ASSERT_EQ(RunProgram(SentrovaExe(), "/unregserver"), 0u);
  std::map<std::string, std::string> before;
  test::SnapshotKey(HKEY_CURRENT_USER, "Software\\Quillbox", before);
  test::SnapshotKey(HKEY_LOCAL_MACHINE, "Software\\Quillbox", before);
  EXPECT_EQ(RunProgram(SentrovaExe(), "/manualupdate"), 0u);
  EXPECT_EQ(RunProgram(SentrovaExe(), "--ManualUpdate"), 0u);
  // The after-restart clean-up is no normal run either.
  EXPECT_EQ(RunProgram(SentrovaExe(), "/CleanUp"), 0u);
  EXPECT_TRUE(Snapshot().empty());  // a normal run would have registered
  std::map<std::string, std::string> after;
  test::SnapshotKey(HKEY_CURRENT_USER, "Software\\Quillbox", after);
  test::SnapshotKey(HKEY_LOCAL_MACHINE, "Software\\Quillbox", after);
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
  EXPECT_EQ(LocalServerCommand("C:\\App\\s.exe", "C:\\App\\s.exe"), "C:\\App\\s.exe");
  EXPECT_EQ(LocalServerCommand("C:\\My App\\s.exe", "C:\\MYAPP~1\\s.exe"), "C:\\MYAPP~1\\s.exe");
  // No short names on the volume: the long path, quoted, still names the program.
  EXPECT_EQ(LocalServerCommand("C:\\My App\\s.exe", "C:\\My App\\s.exe"), "\"C:\\My App\\s.exe\"");
}

}  // namespace
}  // namespace sentrova
