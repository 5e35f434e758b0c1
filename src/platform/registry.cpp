#include "platform/registry.h"

#include <algorithm>
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

// Text of raw value data up to its first NUL.
std::string TextOf(const std::vector<char>& data) {
  size_t len = 0;
  while (len < data.size() && data[len] != '\0') ++len;
  return std::string(data.data(), len);
}

}  // namespace

ValueQuery QueryOf(HKEY key, std::string name) {
  return [key, name = std::move(name)](DWORD* type, BYTE* data, DWORD* size) {
    return ::RegQueryValueExA(key, name.c_str(), nullptr, type, data, size);
  };
}

LONG QueryValueBytes(const ValueQuery& query, std::vector<char>& data, DWORD& type) {
  data.assign(kFirstReadSize, '\0');
  LONG rc = ERROR_MORE_DATA;
  for (int round = 0; round < 8; ++round) {
    DWORD size = static_cast<DWORD>(data.size());
    type = REG_NONE;
    rc = query(&type, reinterpret_cast<BYTE*>(data.data()), &size);
    if (rc == ERROR_SUCCESS) {
      data.resize(std::min<size_t>(size, data.size()));
      return rc;
    }
    // Anything but a larger size is an answer, not a race.
    if (rc != ERROR_MORE_DATA || size <= data.size()) return rc;
    data.assign(size, '\0');
  }
  return rc;
}

std::string ReadRegString(HKEY root, std::string_view keyPath, std::string_view valueName,
                          std::string_view def, REGSAM view) {
  std::string result(def);
  RegKey key = OpenKey(root, keyPath, view);
  if (!key) return result;
  std::vector<char> data;
  DWORD type = 0;
  if (QueryValueBytes(QueryOf(key.get(), std::string(valueName)), data, type) == ERROR_SUCCESS)
    result = TextOf(data);
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
  if (QueryValueBytes(QueryOf(key.get(), name), data, type) != ERROR_SUCCESS) return def;
  int value = 0;
  return ParseInt32(TextOf(data), value) ? value : def;
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
