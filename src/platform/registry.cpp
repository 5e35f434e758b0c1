#include "platform/registry.h"

#include <vector>

#include "platform/handle.h"
#include "platform/text.h"

namespace sentrova {

namespace {

constexpr DWORD kFirstReadSize = 500;

RegKey OpenKey(HKEY root, std::string_view keyPath, REGSAM view) {
  RegKey key;
  const std::string path = NormalizeKeyPath(keyPath);
  if (::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, key.put()) != ERROR_SUCCESS)
    key.release();
  return key;
}

// Text of raw value data up to its first NUL, never past the bytes read.
std::string TextOf(const std::vector<char>& data, DWORD size) {
  const size_t n = std::min<size_t>(size, data.size());
  size_t len = 0;
  while (len < n && data[len] != '\0') ++len;
  return std::string(data.data(), len);
}

// Reads a value's raw bytes: first into a buffer of 500 bytes, then, when the
// value is larger, into one of the size the system reports. The value may
// grow between the two queries, so a few rounds are allowed; each round reads
// into a buffer at least as large as the size asked for.
bool QueryValue(HKEY key, const std::string& name, std::vector<char>& data, DWORD& size,
                DWORD& type) {
  data.assign(kFirstReadSize, '\0');
  for (int round = 0; round < 4; ++round) {
    size = static_cast<DWORD>(data.size());
    type = REG_NONE;
    const LONG rc = ::RegQueryValueExA(key, name.c_str(), nullptr, &type,
                                       reinterpret_cast<BYTE*>(data.data()), &size);
    if (rc == ERROR_SUCCESS) return true;
    if (rc != ERROR_MORE_DATA || size <= data.size()) return false;
    data.assign(size, '\0');
  }
  return false;
}

}  // namespace

std::string ReadRegString(HKEY root, std::string_view keyPath, std::string_view valueName,
                          std::string_view def, REGSAM view) {
  std::string result(def);
  RegKey key = OpenKey(root, keyPath, view);
  if (!key) return result;
  std::vector<char> data;
  DWORD size = 0, type = 0;
  if (QueryValue(key.get(), std::string(valueName), data, size, type)) result = TextOf(data, size);
  return result;
}

void WriteRegString(HKEY root, std::string_view keyPath, std::string_view valueName,
                    bool createKey, std::string_view text, REGSAM view) {
  const std::string path = NormalizeKeyPath(keyPath);
  RegKey key;
  const REGSAM access = KEY_SET_VALUE | view;
  const LONG rc = createKey ? ::RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, access,
                                                nullptr, key.put(), nullptr)
                            : ::RegOpenKeyExA(root, path.c_str(), 0, access, key.put());
  if (rc != ERROR_SUCCESS) {
    key.release();
    return;
  }
  const std::string name(valueName);
  const std::string data(text);
  ::RegSetValueExA(key.get(), name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>(data.size() + 1));
}

int32_t ReadRegInteger(HKEY root, std::string_view keyPath, std::string_view valueName,
                       int32_t def, REGSAM view) {
  RegKey key = OpenKey(root, keyPath, view);
  if (!key) return def;
  const std::string name(valueName);
  DWORD type = REG_NONE;
  int32_t number = 0;
  DWORD size = sizeof number;
  const LONG rc = ::RegQueryValueExA(key.get(), name.c_str(), nullptr, &type,
                                     reinterpret_cast<BYTE*>(&number), &size);
  if (rc == ERROR_SUCCESS && size == sizeof number &&
      (type == REG_DWORD || type == REG_DWORD_BIG_ENDIAN))
    return number;  // as stored: big-endian values are not swapped
  std::vector<char> data;
  DWORD got = 0;
  if (!QueryValue(key.get(), name, data, got, type)) return def;
  int value = 0;
  return ParseInt32(TextOf(data, got), value) ? value : def;
}

void WriteRegFloat(HKEY root, std::string_view keyPath, std::string_view valueName,
                   bool createKey, double value) {
  const std::string path = NormalizeKeyPath(keyPath);
  RegKey key;
  LONG rc;
  if (createKey) {
    rc = ::RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                           nullptr);
  } else {
    rc = ::RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, key.put());
  }
  if (rc != ERROR_SUCCESS) {
    key.release();
    return;
  }
  const std::string name(valueName);
  ::RegSetValueExA(key.get(), name.c_str(), 0, REG_BINARY, reinterpret_cast<const BYTE*>(&value),
                   sizeof value);
}

namespace {
void DeleteTree(HKEY parent, const std::string& path, REGSAM view) {
  RegKey key;
  if (::RegOpenKeyExA(parent, path.c_str(), 0, KEY_ALL_ACCESS | view, key.put()) !=
      ERROR_SUCCESS) {
    key.release();
    return;
  }
  std::vector<std::string> subkeys;
  char name[256];
  for (DWORD i = 0;; ++i) {
    DWORD len = sizeof name;
    if (::RegEnumKeyExA(key.get(), i, name, &len, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    subkeys.emplace_back(name, len);
  }
  for (auto it = subkeys.rbegin(); it != subkeys.rend(); ++it) DeleteTree(key.get(), *it, view);
  key.reset();
  ::RegDeleteKeyExA(parent, path.c_str(), view, 0);
}
}  // namespace

void DeleteRegKey(HKEY root, std::string_view keyPath, REGSAM view) {
  const std::string path = NormalizeKeyPath(keyPath);
  if (path.empty()) return;  // never the root itself
  DeleteTree(root, path, view);
}

}  // namespace sentrova
