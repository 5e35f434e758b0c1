// ctest: serial
// Where the after-restart command goes: the machine's RunOnce key, the
// user's own when the machine's is refused (a standard user), and nowhere,
// said so, when both are. Serial: the machine's RunOnce key is shared.
#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>

#include "cleanup/after_restart.h"
#include "cleanup/restart_operations.h"
#include "win/host_test_support.h"
#include "win/key_access.h"

namespace sentrova {
namespace {

constexpr char kKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

void Remove(HKEY root) { ::RegDeleteKeyValueA(root, kKey, kRunOnceValue); }

TEST(AfterRestartCommand, GoesWhereTheUserMayWriteIt) {
  struct Case {
    const char* what;
    bool machineRefused, userRefused;
    HKEY expected;  // null: nowhere
  };
  const Case cases[] = {
      {"administrator", false, false, HKEY_LOCAL_MACHINE},
      {"standard user", true, false, HKEY_CURRENT_USER},
      {"neither", true, true, nullptr},
  };
  const std::string command = AfterRestartCommand();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
      ::RegSetKeyValueA(root, kKey, "SentrovaTestKeep", REG_SZ, "", 1);  // the key exists
      ::RegDeleteKeyValueA(root, kKey, "SentrovaTestKeep");
      Remove(root);
    }
    {
      std::optional<test::ReadOnlyKey> machine, user;
      if (c.machineRefused) machine.emplace(HKEY_LOCAL_MACHINE, kKey);
      if (c.userRefused) user.emplace(HKEY_CURRENT_USER, kKey);
      ASSERT_TRUE(!machine || machine->applied());
      ASSERT_TRUE(!user || user->applied());
      EXPECT_EQ(AfterRestartCommandWritable(), c.expected != nullptr);
      EXPECT_EQ(WriteAfterRestartCommand(), c.expected != nullptr);
    }
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
      EXPECT_EQ(test::RegText(root, kKey, kRunOnceValue),
                root == c.expected ? std::optional(command) : std::nullopt)
          << (root == HKEY_LOCAL_MACHINE ? "HKLM" : "HKCU");
      Remove(root);
    }
  }
}

}  // namespace
}  // namespace sentrova
