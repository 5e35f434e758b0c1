#include "host/registration.h"

#include <windows.h>
#include <aclapi.h>
#include <oleauto.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <stdexcept>
#include <vector>

#include "host/host_contract.h"
#include "platform/com.h"
#include "platform/guard.h"
#include "platform/handle.h"
#include "platform/registry.h"
#include "platform/system_facts.h"

namespace sentrova {

namespace {

// The class keys go to both registry views of a 64-bit system: the
// program's own, and the one where a 32-bit toolbar host looks up
// CLSID\{...} (PluginName and the rest). On a 32-bit system both flags name
// the one view there is.
constexpr REGSAM kViews[] = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};

std::wstring GuidText(const GUID& guid) {
  wchar_t buf[64] = {};
  ::StringFromGUID2(guid, buf, 64);
  return buf;
}

std::wstring Wide(std::string_view ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::wstring ClassKey() { return L"CLSID\\" + GuidText(kVrxObjClassId); }
std::wstring ProgIdKey() { return Wide(kProgId); }

// TypeLib\{library}\1.0 and its locale's key below it.
std::wstring LibraryVersionKey() {
  return L"TypeLib\\" + GuidText(kBvrxLibraryId) + L"\\" + std::to_wstring(kBvrxLibraryMajor) +
         L"." + std::to_wstring(kBvrxLibraryMinor);
}
std::wstring LibraryKey() {
  wchar_t lcid[16];
  std::swprintf(lcid, 16, L"%lx", static_cast<unsigned long>(kBvrxLibraryLcid));
  return LibraryVersionKey() + L"\\" + lcid;
}

// True when a key below HKEY_CLASSES_ROOT already holds `data` as the text
// value `name` (nullptr: the unnamed one).
bool HoldsText(const std::wstring& key, const wchar_t* name, const std::wstring& data,
               REGSAM view) {
  HKEY raw = nullptr;
  if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_QUERY_VALUE | view, &raw) !=
      ERROR_SUCCESS) {
    return false;
  }
  RegKey k(raw);
  const DWORD expected = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
  std::wstring stored(data.size() + 2, L'\0');
  DWORD type = 0;
  DWORD size = static_cast<DWORD>(stored.size() * sizeof(wchar_t));
  if (::RegQueryValueExW(k.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(stored.data()),
                         &size) != ERROR_SUCCESS) {
    return false;
  }
  return type == REG_SZ && size == expected && stored.compare(0, data.size(), data) == 0 &&
         stored[data.size()] == L'\0';
}

// Writes a text value of a key below HKEY_CLASSES_ROOT, creating the key,
// unless the key already holds it: an unchanged registration costs reads only.
void WriteClassesValue(const std::wstring& key, const wchar_t* name, const std::wstring& data,
                       REGSAM view = 0) {
  if (HoldsText(key, name, data, view)) return;
  HKEY raw = nullptr;
  LONG rc = ::RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view,
                              nullptr, &raw, nullptr);
  if (rc != ERROR_SUCCESS) throw std::runtime_error("cannot create a class key");
  RegKey k(raw);
  rc = ::RegSetValueExW(k.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                        static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
  if (rc != ERROR_SUCCESS) throw std::runtime_error("cannot write a class value");
}

// Deletes one key that has no subkeys left; a missing key is no error.
void DeleteClassesKey(const std::wstring& key, REGSAM view) {
  const LONG rc = ::RegDeleteKeyExW(HKEY_CLASSES_ROOT, key.c_str(), view, 0);
  if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) {
    throw std::runtime_error("cannot delete a class key");
  }
}

std::wstring ShortPathOf(const std::wstring& path) {
  std::wstring buf(path.size() + 1, L'\0');
  DWORD n = ::GetShortPathNameW(path.c_str(), buf.data(), static_cast<DWORD>(buf.size()));
  if (n >= buf.size()) {
    buf.assign(n, L'\0');
    n = ::GetShortPathNameW(path.c_str(), buf.data(), n);
  }
  if (n == 0 || n >= buf.size()) return path;
  return buf.substr(0, n);
}

// Everyone may read the key and what is created below it; administrators
// and the system keep full control, so that the class can be registered
// again and removed. Write access for every account would let any user
// point LocalServer32 at a program of their choice, to be started in the
// sessions of all users.
class ClassKeyAccess {
 public:
  ClassKeyAccess() {
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    ::AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone_);
    ::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0,
                               0, 0, 0, 0, &admins_);
    ::AllocateAndInitializeSid(&nt, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, &system_);
    if (everyone_ == nullptr) return;
    EXPLICIT_ACCESSW entries[3] = {};
    DWORD count = 0;
    auto add = [&](PSID sid, DWORD rights) {
      if (sid == nullptr) return;
      EXPLICIT_ACCESSW& e = entries[count++];
      e.grfAccessPermissions = rights;
      e.grfAccessMode = SET_ACCESS;
      e.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
      e.Trustee.TrusteeForm = TRUSTEE_IS_SID;
      e.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
      e.Trustee.ptstrName = static_cast<LPWSTR>(sid);
    };
    add(everyone_, KEY_READ);
    add(admins_, KEY_ALL_ACCESS);
    add(system_, KEY_ALL_ACCESS);
    if (::SetEntriesInAclW(count, entries, nullptr, &acl_) != ERROR_SUCCESS) acl_ = nullptr;
  }
  ~ClassKeyAccess() {
    if (acl_ != nullptr) ::LocalFree(acl_);
    for (PSID sid : {everyone_, admins_, system_}) {
      if (sid != nullptr) ::FreeSid(sid);
    }
  }
  ClassKeyAccess(const ClassKeyAccess&) = delete;
  ClassKeyAccess& operator=(const ClassKeyAccess&) = delete;

  // Gives the key this access list unless it has it already.
  void ApplyTo(const std::wstring& key, REGSAM view) const {
    if (acl_ == nullptr) throw std::runtime_error("no access list");
    if (Has(key, view)) return;
    SECURITY_DESCRIPTOR sd;
    HKEY raw = nullptr;
    if (!::InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION) ||
        !::SetSecurityDescriptorDacl(&sd, TRUE, acl_, FALSE) ||
        ::RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, WRITE_DAC | view, &raw) !=
            ERROR_SUCCESS) {
      throw std::runtime_error("cannot open a class key's access list");
    }
    RegKey k(raw);
    if (::RegSetKeySecurity(k.get(), DACL_SECURITY_INFORMATION, &sd) != ERROR_SUCCESS) {
      throw std::runtime_error("cannot set a class key's access list");
    }
  }

 private:
  bool Has(const std::wstring& key, REGSAM view) const {
    HKEY raw = nullptr;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, READ_CONTROL | view, &raw) !=
        ERROR_SUCCESS) {
      return false;
    }
    RegKey k(raw);
    std::vector<BYTE> sd(1024);
    DWORD size = static_cast<DWORD>(sd.size());
    LONG rc = ::RegGetKeySecurity(k.get(), DACL_SECURITY_INFORMATION, sd.data(), &size);
    if (rc == ERROR_INSUFFICIENT_BUFFER) {
      sd.resize(size);
      rc = ::RegGetKeySecurity(k.get(), DACL_SECURITY_INFORMATION, sd.data(), &size);
    }
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL acl = nullptr;
    return rc == ERROR_SUCCESS && ::GetSecurityDescriptorDacl(sd.data(), &present, &acl, &defaulted) &&
           present && acl != nullptr && acl->AclSize >= acl_->AclSize &&
           acl->AceCount == acl_->AceCount &&
           std::memcmp(reinterpret_cast<const BYTE*>(acl) + sizeof(ACL),
                       reinterpret_cast<const BYTE*>(acl_) + sizeof(ACL),
                       acl_->AclSize - sizeof(ACL)) == 0;
  }

  PSID everyone_ = nullptr;
  PSID admins_ = nullptr;
  PSID system_ = nullptr;
  PACL acl_ = nullptr;
};

// The type library is registered as it should be: its name, and the path
// for either word size, each as this executable has it.
bool LibraryRegistered(const std::wstring& exe) {
  return HoldsText(LibraryVersionKey(), nullptr, L"Brindle VRX Library", 0) &&
         HoldsText(LibraryKey() + L"\\win64", nullptr, exe, 0) &&
         HoldsText(LibraryKey() + L"\\win32", nullptr, exe, 0);
}

// Writes the standard class keys and the program's own values in one view.
void RegisterClassKeys(const std::wstring& exe, REGSAM view, const ClassKeyAccess& access) {
  // The coclass has no help string, so the class description is empty.
  const std::wstring classKey = ClassKey();
  const std::wstring progId = ProgIdKey();
  const std::wstring description;
  WriteClassesValue(classKey, nullptr, description, view);
  WriteClassesValue(classKey + L"\\LocalServer32", nullptr,
                    LocalServerCommand(exe, ShortPathOf(exe)), view);
  WriteClassesValue(progId, nullptr, description, view);
  WriteClassesValue(progId + L"\\Clsid", nullptr, GuidText(kVrxObjClassId), view);
  WriteClassesValue(classKey + L"\\ProgID", nullptr, progId, view);
  WriteClassesValue(classKey + L"\\Version", nullptr,
                    std::to_wstring(kBvrxLibraryMajor) + L"." + std::to_wstring(kBvrxLibraryMinor),
                    view);
  WriteClassesValue(classKey + L"\\TypeLib", nullptr, GuidText(kBvrxLibraryId), view);
  // The program's own values, each on its own.
  Guarded([&] { WriteClassesValue(classKey, L"PluginName", kPluginNameW, view); });
  Guarded([&] { WriteClassesValue(classKey + L"\\LocalServer32", L"ThreadingModel", L"Free", view); });
  if (IsNtPlatform()) {
    Guarded([&] { access.ApplyTo(classKey, view); });
    Guarded([&] { access.ApplyTo(progId, view); });
  }
}

// Deletes the class keys of one view, one key at a time.
void UnregisterClassKeys(REGSAM view) {
  const std::wstring classKey = ClassKey();
  const std::wstring progId = ProgIdKey();
  DeleteClassesKey(classKey + L"\\TypeLib", view);
  DeleteClassesKey(classKey + L"\\Version", view);
  DeleteClassesKey(classKey + L"\\ProgID", view);
  DeleteClassesKey(progId + L"\\Clsid", view);
  DeleteClassesKey(progId, view);
  DeleteClassesKey(classKey + L"\\LocalServer32", view);
  DeleteClassesKey(classKey, view);
}

}  // namespace

std::wstring LocalServerCommand(const std::wstring& fullPath, const std::wstring& shortPath) {
  if (fullPath.find(L' ') == std::wstring::npos) return fullPath;
  if (shortPath.find(L' ') == std::wstring::npos) return shortPath;
  return L"\"" + shortPath + L"\"";
}

void RegisterComClass() {
  // The path in wide characters: an install folder may hold characters that
  // the ANSI code page lacks.
  const std::wstring& exe = ProgramFileNameW();
  // 1. The type library carried in the executable, unless it is registered
  // from here already.
  if (!LibraryRegistered(exe)) {
    ComPtr<ITypeLib> lib;
    OleCheck(::LoadTypeLibEx(exe.c_str(), REGKIND_NONE, lib.put()));
    OleCheck(::RegisterTypeLib(lib.get(), const_cast<LPOLESTR>(exe.c_str()), nullptr));
    // The toolbar host looks the library up under its own word size; a
    // 32-bit host reads "win32", where RegisterTypeLib of this 64-bit
    // program writes only "win64".
    Guarded([&] { WriteClassesValue(LibraryKey() + L"\\win32", nullptr, exe); });
  }
  // 2. and 3. The class keys and the program's own values, in both views.
  const ClassKeyAccess access;
  for (REGSAM view : kViews) RegisterClassKeys(exe, view, access);
}

void UnregisterComClass() {
  // A library that is registered no longer must not keep the class keys
  // from going.
  for (SYSKIND kind : {SYS_WIN64, SYS_WIN32}) {
    Guarded([&] {
      OleCheck(::UnRegisterTypeLib(kBvrxLibraryId, kBvrxLibraryMajor, kBvrxLibraryMinor,
                                   kBvrxLibraryLcid, kind));
    });
  }
  // What the system's removal left of the library's version (it keeps the
  // version while another word size is still registered).
  Guarded([] { ::RegDeleteTreeW(HKEY_CLASSES_ROOT, LibraryVersionKey().c_str()); });
  Guarded([] { DeleteClassesKey(L"TypeLib\\" + GuidText(kBvrxLibraryId), 0); });
  // The first failing deletion of a view ends that view's chain; whatever
  // is left (in either view) then goes with everything below it.
  bool failed = false;
  for (REGSAM view : kViews) {
    Guarded([&] {
      failed = true;
      UnregisterClassKeys(view);
      failed = false;
    });
  }
  for (REGSAM view : kViews) {
    Guarded([&] { DeleteRegKey(HKEY_CLASSES_ROOT, WideToAnsi(ClassKey()), view); });
    Guarded([&] { DeleteRegKey(HKEY_CLASSES_ROOT, kProgId, view); });
  }
  if (failed) throw std::runtime_error("a class key stayed");
}

}  // namespace sentrova
