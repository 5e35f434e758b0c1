// The registry helpers against Wine's real registry, in scratch keys below
// HKEY_CURRENT_USER.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/handle.h"
#include "platform/registry.h"
#include "support/win_support.h"

namespace sentrova {
namespace {

using test::ScratchKey;

void SetRaw(const std::string& path, const char* name, DWORD type, const void* data, DWORD size) {
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyA(HKEY_CURRENT_USER, path.c_str(), &key), ERROR_SUCCESS);
  ASSERT_EQ(::RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size),
            ERROR_SUCCESS);
  ::RegCloseKey(key);
}

bool KeyExists(const std::string& path) {
  HKEY key = nullptr;
  if (::RegOpenKeyA(HKEY_CURRENT_USER, path.c_str(), &key) != ERROR_SUCCESS) return false;
  ::RegCloseKey(key);
  return true;
}

TEST(ReadRegString, MissingKeyOrValueGivesTheDefault) {
  ScratchKey k;
  EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, k.Sub("absent"), "X", "dflt"), "dflt");
  EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, k.path(), "absent", "dflt"), "dflt");
  EXPECT_FALSE(KeyExists(k.Sub("absent")));
}

TEST(ReadRegString, ReadsLongValuesWholeAndAnyTypeAsText) {
  ScratchKey k;
  std::string big(2000, 'x');
  big[0] = 'A';
  big[1998] = 'Z';
  WriteRegString(HKEY_CURRENT_USER, k.path(), "Big", false, big.substr(0, 1999));
  EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, k.path(), "Big", ""), big.substr(0, 1999));

  // Exactly the 500 bytes of the first read, and one byte more.
  std::string edge(499, 'e');
  WriteRegString(HKEY_CURRENT_USER, k.path(), "Edge", false, edge);
  EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, k.path(), "Edge", ""), edge);
  WriteRegString(HKEY_CURRENT_USER, k.path(), "Edge", false, edge + "f");
  EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, k.path(), "Edge", ""), edge + "f");

  // Binary data reads up to its first NUL.
  const char bin[] = {'a', 'b', '\0', 'c'};
  SetRaw(k.path(), "Bin", REG_BINARY, bin, sizeof bin);
  EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, k.path(), "Bin", "d"), "ab");
}

TEST(ReadRegString, NeverReadsPastDataWithoutTerminatingNul) {
  ScratchKey k;
  // Text values stored without their NUL, at the first buffer's size and
  // beyond it: the result is exactly the stored bytes.
  for (size_t n : {3u, 500u, 501u, 1500u}) {
    std::string text(n, 'q');
    SetRaw(k.path(), "NoNul", REG_SZ, text.data(), static_cast<DWORD>(n));
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, k.path(), "NoNul", ""), text) << n;
    SetRaw(k.path(), "NoNulBin", REG_BINARY, text.data(), static_cast<DWORD>(n));
    EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, k.path(), "NoNulBin", ""), text) << n;
  }
  SetRaw(k.path(), "Empty", REG_BINARY, "", 0);
  EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, k.path(), "Empty", "d"), "");
}

TEST(ReadRegString, KeyPathIsNormalised) {
  ScratchKey k;
  WriteRegString(HKEY_CURRENT_USER, k.Sub("A\\B"), "V", true, "deep");
  const std::string messy = "  " + k.path() + "\\\\A\\\\\\B\\ ";
  EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, messy, "V", ""), "deep");
}

TEST(ReadRegInteger, DwordTextAndOtherData) {
  ScratchKey k;
  const DWORD dword = 0x12345678;
  SetRaw(k.path(), "Dword", REG_DWORD, &dword, 4);
  EXPECT_EQ(ReadRegInteger(HKEY_CURRENT_USER, k.path(), "Dword", -1), 0x12345678);
  // Big-endian values come back as stored, without swapping.
  const unsigned char be[] = {0x00, 0x00, 0x00, 0x01};
  SetRaw(k.path(), "BigEndian", REG_DWORD_BIG_ENDIAN, be, 4);
  int32_t raw;
  std::memcpy(&raw, be, 4);
  EXPECT_EQ(ReadRegInteger(HKEY_CURRENT_USER, k.path(), "BigEndian", -1), raw);

  WriteRegString(HKEY_CURRENT_USER, k.path(), "Number", false, "-1234");
  EXPECT_EQ(ReadRegInteger(HKEY_CURRENT_USER, k.path(), "Number", 7), -1234);
  WriteRegString(HKEY_CURRENT_USER, k.path(), "Text", false, "twelve");
  EXPECT_EQ(ReadRegInteger(HKEY_CURRENT_USER, k.path(), "Text", 7), 7);
  WriteRegString(HKEY_CURRENT_USER, k.path(), "Empty", false, "");
  EXPECT_EQ(ReadRegInteger(HKEY_CURRENT_USER, k.path(), "Empty", 7), 7);
  // A long text holding a number still reads after the second query.
  WriteRegString(HKEY_CURRENT_USER, k.path(), "Long", false, std::string(600, '1'));
  EXPECT_EQ(ReadRegInteger(HKEY_CURRENT_USER, k.path(), "Long", 7), 7);

  EXPECT_EQ(ReadRegInteger(HKEY_CURRENT_USER, k.path(), "absent", 9), 9);
  EXPECT_EQ(ReadRegInteger(HKEY_CURRENT_USER, k.Sub("absent"), "Dword", 9), 9);
}

// Another program rewrites the value at a new length right after each query
// that answered "more data", so that it is never the size last reported.
TEST(QueryValueBytes, AValueResizedBetweenQueriesIsReadAgainAtItsNewSize) {
  struct Case {
    int change, rewrites;  // bytes added (or taken) by each rewrite; -1: for ever
    LONG rc;
  };
  const Case cases[] = {
      {600, 1, ERROR_SUCCESS}, {3000, 2, ERROR_SUCCESS}, {-580, 1, ERROR_SUCCESS},
      {100, -1, ERROR_MORE_DATA}};
  ScratchKey k;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.change * c.rewrites);
    std::string value(600, 'a');
    SetRaw(k.path(), "V", REG_BINARY, value.data(), 600);
    RegKey key;
    ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, k.path().c_str(), 0, KEY_READ, key.put()), 0);
    int rewrites = 0;
    const ValueQuery query = [&](DWORD* type, BYTE* data, DWORD* size) {
      const LONG rc = QueryOf(key.get(), "V")(type, data, size);
      if (rc == ERROR_MORE_DATA && rewrites != c.rewrites) {
        value.assign(value.size() + c.change, static_cast<char>('b' + rewrites++ % 20));
        SetRaw(k.path(), "V", REG_BINARY, value.data(), static_cast<DWORD>(value.size()));
      }
      return rc;
    };
    std::vector<char> data;
    DWORD type = 0;
    const LONG rc = QueryValueBytes(query, data, type);
    EXPECT_EQ(rc, c.rc);
    if (rc == ERROR_SUCCESS)
      EXPECT_TRUE(std::string(data.begin(), data.end()) == value && type == REG_BINARY)
          << data.size() << " bytes read of " << value.size();
  }
}

TEST(WriteRegString, CreateFlagDecidesWhetherMissingKeysAreMade) {
  ScratchKey k;
  WriteRegString(HKEY_CURRENT_USER, k.Sub("New\\Deep"), "V", false, "x");
  EXPECT_FALSE(KeyExists(k.Sub("New")));
  WriteRegString(HKEY_CURRENT_USER, k.Sub("New\\Deep"), "V", true, "x");
  EXPECT_EQ(ReadRegString(HKEY_CURRENT_USER, k.Sub("New\\Deep"), "V", ""), "x");

  // An empty name writes the key's unnamed default value.
  WriteRegString(HKEY_CURRENT_USER, k.path(), "", false, "default text");
  char buf[64] = {};
  LONG size = sizeof buf;
  ASSERT_EQ(::RegQueryValueA(HKEY_CURRENT_USER, k.path().c_str(), buf, &size), ERROR_SUCCESS);
  EXPECT_STREQ(buf, "default text");
}

TEST(WriteRegFloat, WritesEightByteBinaryDouble) {
  ScratchKey k;
  WriteRegFloat(HKEY_CURRENT_USER, k.Sub("Missing"), "LAST_SCAN", false, 1.5);
  EXPECT_FALSE(KeyExists(k.Sub("Missing")));
  WriteRegFloat(HKEY_CURRENT_USER, k.Sub("Made"), "LAST_SCAN", true, 46363.4375);
  HKEY key = nullptr;
  ASSERT_EQ(::RegOpenKeyA(HKEY_CURRENT_USER, k.Sub("Made").c_str(), &key), ERROR_SUCCESS);
  double value = 0;
  DWORD type = 0, size = sizeof value;
  ASSERT_EQ(::RegQueryValueExA(key, "LAST_SCAN", nullptr, &type,
                               reinterpret_cast<BYTE*>(&value), &size),
            ERROR_SUCCESS);
  ::RegCloseKey(key);
  EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
  EXPECT_EQ(size, 8u);
  EXPECT_EQ(value, 46363.4375);
}

TEST(DeleteRegKey, RemovesNestedTreesAndIgnoresMissingKeys) {
  ScratchKey k;
  for (const char* sub : {"T\\A\\A1", "T\\A\\A2\\Deeper", "T\\B", "T\\C\\C1"})
    WriteRegString(HKEY_CURRENT_USER, k.Sub(sub), "V", true, "x");
  WriteRegString(HKEY_CURRENT_USER, k.Sub("Keep"), "V", true, "x");
  DeleteRegKey(HKEY_CURRENT_USER, k.Sub("T") + "\\");
  EXPECT_FALSE(KeyExists(k.Sub("T")));
  EXPECT_TRUE(KeyExists(k.Sub("Keep")));
  DeleteRegKey(HKEY_CURRENT_USER, k.Sub("T"));  // already gone: nothing happens
  EXPECT_TRUE(KeyExists(k.Sub("Keep")));
  // A path that normalises to nothing never names the root itself.
  DeleteRegKey(HKEY_CURRENT_USER, " \\\\ ");
  EXPECT_TRUE(KeyExists("Software"));
}

}  // namespace
}  // namespace sentrova
