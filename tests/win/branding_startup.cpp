// ctest: serial
// sentrova.exe resolves the brand values when it starts, before its start-up
// sequence: even a process that the plug-in's DISABLED value stops at once
// leaves the machine's brand values written. Changes the machine's
// Software\Quillbox key and restores it.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "branding/brand_values.h"
#include "platform/handle.h"
#include "platform/registry.h"
#include "support/win_support.h"

namespace sentrova {
namespace {

constexpr char kPlugInKey[] = "Software\\Quillbox\\PlugIns\\VRX";
const char* const kBrandNames[] = {"BRAND", "BRAND_LONG", "BRAND_CODE", "BRAND_DOMAIN",
                                   "BRAND_FOLDER"};

// The host's machine key in the 32-bit view, where the program keeps the
// host's values; created when missing.
RegKey HostKey(const std::string& key) {
  RegKey k;
  if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0,
                        KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, k.put(), nullptr) !=
      ERROR_SUCCESS)
    k.release();
  return k;
}
void DeleteHostValue(const std::string& key, const char* name) {
  if (RegKey k = HostKey(key)) ::RegDeleteValueA(k.get(), name);
}

// One registry value as it was, put back (or removed again) on destruction.
class SavedValue {
 public:
  SavedValue(std::string key, std::string name) : key_(std::move(key)), name_(std::move(name)) {
    RegKey k = HostKey(key_);
    DWORD type = 0, size = 0;
    if (!k || ::RegQueryValueExA(k.get(), name_.c_str(), nullptr, &type, nullptr, &size) !=
                  ERROR_SUCCESS)
      return;
    std::vector<BYTE> data(size);
    if (::RegQueryValueExA(k.get(), name_.c_str(), nullptr, &type, data.data(), &size) ==
        ERROR_SUCCESS) {
      data.resize(size);
      type_ = type;
      data_ = std::move(data);
    }
  }
  ~SavedValue() {
    if (data_) {
      if (RegKey k = HostKey(key_))
        ::RegSetValueExA(k.get(), name_.c_str(), 0, type_, data_->data(),
                         static_cast<DWORD>(data_->size()));
    } else {
      DeleteHostValue(key_, name_.c_str());
    }
  }
  SavedValue(const SavedValue&) = delete;
  SavedValue& operator=(const SavedValue&) = delete;

 private:
  std::string key_, name_;
  DWORD type_ = REG_NONE;
  std::optional<std::vector<BYTE>> data_;
};

std::string Stored(const char* name) {
  return ReadRegString(HKEY_LOCAL_MACHINE, kBrandRegistryKey, name, "<absent>", KEY_WOW64_32KEY);
}

bool RunProduct() {
  const test::ChildResult r = test::RunAndWait("\"" + test::BinDir() + "sentrova.exe\"", 60000);
  return r.started && r.finished && r.exitCode == 0;
}

// Removes the host's key again at the end when the test created it.
class KeyCreatedByTest {
 public:
  KeyCreatedByTest() {
    HKEY key = nullptr;
    existed_ = ::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Quillbox", 0,
                               KEY_READ | KEY_WOW64_32KEY, &key) == ERROR_SUCCESS;
    if (key) ::RegCloseKey(key);
  }
  ~KeyCreatedByTest() {
    if (!existed_) DeleteRegKey(HKEY_LOCAL_MACHINE, "Software\\Quillbox", KEY_WOW64_32KEY);
  }

 private:
  bool existed_ = false;
};

TEST(ProductStart, ResolvesAndWritesTheBrandValuesBeforeAnythingElse) {
  const KeyCreatedByTest hostKey;  // destroyed last, after the values are restored
  const std::string brandKey(kBrandRegistryKey);
  std::vector<std::unique_ptr<SavedValue>> saved;
  for (const char* name : kBrandNames) {
    saved.push_back(std::make_unique<SavedValue>(brandKey, name));
    DeleteHostValue(brandKey, name);
  }
  saved.push_back(std::make_unique<SavedValue>(kPlugInKey, "DISABLED"));
  WriteRegString(HKEY_LOCAL_MACHINE, kPlugInKey, "DISABLED", true, "1", KEY_WOW64_32KEY);

  ASSERT_EQ(Stored("BRAND"), "<absent>");
  ASSERT_TRUE(RunProduct());
  EXPECT_EQ(Stored("BRAND"), "Brindle");
  EXPECT_EQ(Stored("BRAND_LONG"), std::string(kDefaultBrandLong));
  EXPECT_EQ(Stored("BRAND_CODE"), "");
  // The product's CONFIG may name the host again; either way it is there.
  const std::string domain = Stored("BRAND_DOMAIN");
  EXPECT_NE(domain, "<absent>");
  EXPECT_FALSE(domain.empty());
  EXPECT_EQ(Stored("BRAND_FOLDER"), "");

  // The next start keeps what it finds and replaces only the absent mark.
  WriteRegString(HKEY_LOCAL_MACHINE, brandKey, "BRAND", true, "Acme", KEY_WOW64_32KEY);
  WriteRegString(HKEY_LOCAL_MACHINE, brandKey, "BRAND_LONG", true, "#$%", KEY_WOW64_32KEY);
  ASSERT_TRUE(RunProduct());
  EXPECT_EQ(Stored("BRAND"), "Acme");
  EXPECT_EQ(Stored("BRAND_LONG"), std::string(kDefaultBrandLong));
  EXPECT_EQ(Stored("BRAND_DOMAIN"), domain);
}

}  // namespace
}  // namespace sentrova
