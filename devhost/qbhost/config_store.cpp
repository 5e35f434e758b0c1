#include "config_store.h"

#include <oleauto.h>

#include <cstring>

namespace qbhost {

namespace {

class Key {
 public:
  Key(const std::wstring& subkey, bool create, REGSAM access) {
    const std::wstring path = std::wstring(kStoreRoot) + L"\\" + subkey;
    if (create) {
      ::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, access, nullptr, &h_,
                        nullptr);
    } else {
      ::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, access, &h_);
    }
  }
  ~Key() {
    if (h_) ::RegCloseKey(h_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  HKEY get() const { return h_; }

 private:
  HKEY h_ = nullptr;
};

bool ReadVariant(HKEY key, const std::wstring& name, VARIANT& value) {
  DWORD type = 0;
  DWORD size = 0;
  if (::RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
    return false;
  }
  std::vector<BYTE> data(size + sizeof(wchar_t));
  if (::RegQueryValueExW(key, name.c_str(), nullptr, &type, data.data(), &size) != ERROR_SUCCESS) {
    return false;
  }
  ::VariantInit(&value);
  switch (type) {
    case REG_DWORD:
      value.vt = VT_I4;
      std::memcpy(&value.lVal, data.data(), sizeof(LONG));
      return true;
    case REG_SZ:
    case REG_EXPAND_SZ: {
      const wchar_t* text = reinterpret_cast<const wchar_t*>(data.data());
      value.vt = VT_BSTR;
      value.bstrVal = ::SysAllocString(text);
      return true;
    }
    case REG_BINARY:
      if (size == sizeof(VARIANT_BOOL)) {
        value.vt = VT_BOOL;
        std::memcpy(&value.boolVal, data.data(), sizeof(VARIANT_BOOL));
        return true;
      }
      if (size == sizeof(DATE)) {
        value.vt = VT_DATE;
        std::memcpy(&value.date, data.data(), sizeof(DATE));
        return true;
      }
      return false;
    default:
      return false;
  }
}

}  // namespace

bool LookupValue(const std::wstring& ns, const std::wstring& key, VARIANT& value) {
  {
    Key config(L"Config\\" + ns, false, KEY_QUERY_VALUE);
    if (config.get() && ReadVariant(config.get(), key, value)) return true;
  }
  Key defaults(L"Defaults\\" + ns, false, KEY_QUERY_VALUE);
  return defaults.get() && ReadVariant(defaults.get(), key, value);
}

bool StoreValue(const std::wstring& ns, const std::wstring& key, const VARIANT& value) {
  Key config(L"Config\\" + ns, true, KEY_SET_VALUE);
  if (!config.get()) return false;
  LONG rc = ERROR_INVALID_PARAMETER;
  switch (value.vt) {
    case VT_I4:
      rc = ::RegSetValueExW(config.get(), key.c_str(), 0, REG_DWORD,
                            reinterpret_cast<const BYTE*>(&value.lVal), sizeof(LONG));
      break;
    case VT_BOOL:
      rc = ::RegSetValueExW(config.get(), key.c_str(), 0, REG_BINARY,
                            reinterpret_cast<const BYTE*>(&value.boolVal), sizeof(VARIANT_BOOL));
      break;
    case VT_DATE:
      rc = ::RegSetValueExW(config.get(), key.c_str(), 0, REG_BINARY,
                            reinterpret_cast<const BYTE*>(&value.date), sizeof(DATE));
      break;
    case VT_BSTR: {
      const wchar_t* text = value.bstrVal ? value.bstrVal : L"";
      rc = ::RegSetValueExW(config.get(), key.c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(text),
                            static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)));
      break;
    }
    default:
      break;
  }
  return rc == ERROR_SUCCESS;
}

bool DeleteValue(const std::wstring& ns, const std::wstring& key) {
  Key config(L"Config\\" + ns, false, KEY_SET_VALUE);
  return config.get() && ::RegDeleteValueW(config.get(), key.c_str()) == ERROR_SUCCESS;
}

int StoreDefaults(const std::wstring& ns, const std::wstring& text) {
  const std::wstring path = std::wstring(kStoreRoot) + L"\\Defaults\\" + ns;
  ::RegDeleteKeyW(HKEY_CURRENT_USER, path.c_str());
  int kept = 0;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find_first_of(L"\r\n", start);
    if (end == std::wstring::npos) end = text.size();
    const std::wstring line = text.substr(start, end - start);
    const size_t eq = line.find(L'=');
    if (eq != std::wstring::npos && eq > 0) {
      if (WriteText(L"Defaults\\" + ns, line.substr(0, eq), line.substr(eq + 1))) ++kept;
    }
    start = end + 1;
  }
  return kept;
}

bool WriteText(const std::wstring& subkey, const std::wstring& name, const std::wstring& text) {
  Key key(subkey, true, KEY_SET_VALUE);
  return key.get() &&
         ::RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool WriteNumber(const std::wstring& subkey, const std::wstring& name, DWORD number) {
  Key key(subkey, true, KEY_SET_VALUE);
  return key.get() && ::RegSetValueExW(key.get(), name.c_str(), 0, REG_DWORD,
                                       reinterpret_cast<const BYTE*>(&number),
                                       sizeof number) == ERROR_SUCCESS;
}

std::vector<std::wstring> ListValues(const std::wstring& subkey) {
  std::vector<std::wstring> lines;
  Key key(subkey, false, KEY_QUERY_VALUE);
  if (!key.get()) return lines;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD nameLen = 256;
    if (::RegEnumValueW(key.get(), i, name, &nameLen, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    VARIANT v;
    std::wstring text;
    if (ReadVariant(key.get(), name, v)) {
      VARIANT s;
      ::VariantInit(&s);
      if (SUCCEEDED(::VariantChangeType(&s, &v, 0, VT_BSTR)) && s.bstrVal) text = s.bstrVal;
      ::VariantClear(&s);
      ::VariantClear(&v);
    }
    lines.push_back(std::wstring(name) + L"=" + text);
  }
  return lines;
}

void CountCommit(const std::wstring& ns) {
  Key key(L"Commits", true, KEY_QUERY_VALUE | KEY_SET_VALUE);
  if (!key.get()) return;
  DWORD count = 0;
  DWORD size = sizeof count;
  ::RegQueryValueExW(key.get(), ns.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&count),
                     &size);
  ++count;
  ::RegSetValueExW(key.get(), ns.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&count),
                   sizeof count);
}

void ClearStore() { ::RegDeleteTreeW(HKEY_CURRENT_USER, kStoreRoot); }

}  // namespace qbhost
