#include "host/registration.h"

#include <windows.h>
#include <aclapi.h>
#include <oleauto.h>

#include <cstdio>
#include <stdexcept>

#include "host/host_contract.h"
#include "platform/com.h"
#include "platform/guard.h"
#include "platform/handle.h"
#include "platform/registry.h"
#include "platform/system_facts.h"

namespace sentrova {

namespace {

std::string GuidText(const GUID& guid) {
  wchar_t buf[64] = {};
  ::StringFromGUID2(guid, buf, 64);
  return WideToAnsi(buf);
}

std::string ClassKey() { return "CLSID\\" + GuidText(kVrxObjClassId); }

// TypeLib\{library}\1.0 and its locale's key below it.
std::string LibraryVersionKey() {
  return "TypeLib\\" + GuidText(kBvrxLibraryId) + "\\" + std::to_string(kBvrxLibraryMajor) +
         "." + std::to_string(kBvrxLibraryMinor);
}
std::string LibraryKey() {
  char lcid[16];
  std::snprintf(lcid, sizeof lcid, "%lx", static_cast<unsigned long>(kBvrxLibraryLcid));
  return LibraryVersionKey() + "\\" + lcid;
}

// Writes the unnamed value of a key below HKEY_CLASSES_ROOT, creating the key.
void WriteClassesValue(const std::string& key, const char* name, const std::string& data) {
  HKEY raw = nullptr;
  LONG rc = ::RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0,
                              KEY_SET_VALUE, nullptr, &raw, nullptr);
  if (rc != ERROR_SUCCESS) throw std::runtime_error("cannot create " + key);
  RegKey k(raw);
  rc = ::RegSetValueExA(k.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                        static_cast<DWORD>(data.size() + 1));
  if (rc != ERROR_SUCCESS) throw std::runtime_error("cannot write " + key);
}

// Deletes one key that has no subkeys left; a missing key is no error.
void DeleteClassesKey(const std::string& key) {
  const LONG rc = ::RegDeleteKeyA(HKEY_CLASSES_ROOT, key.c_str());
  if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) {
    throw std::runtime_error("cannot delete " + key);
  }
}

std::string ShortPathOf(const std::string& path) {
  char buf[MAX_PATH * 2] = {};
  const DWORD n = ::GetShortPathNameA(path.c_str(), buf, sizeof buf);
  if (n == 0 || n >= sizeof buf) return path;
  return std::string(buf, n);
}

// Everyone may read the key and what is created below it; administrators
// and the system keep full control, so that the class can be registered
// again and removed. Write access for every account would let any user
// point LocalServer32 at a program of their choice, to be started in the
// sessions of all users.
void SetClassKeyAccess(const std::string& key) {
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID everyone = nullptr;
  PSID admins = nullptr;
  PSID system = nullptr;
  if (!::AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone)) {
    throw std::runtime_error("no SID");
  }
  ::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0,
                             0, 0, 0, 0, &admins);
  ::AllocateAndInitializeSid(&nt, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, &system);

  EXPLICIT_ACCESSA entries[3] = {};
  DWORD count = 0;
  auto add = [&](PSID sid, DWORD rights) {
    if (sid == nullptr) return;
    EXPLICIT_ACCESSA& e = entries[count++];
    e.grfAccessPermissions = rights;
    e.grfAccessMode = SET_ACCESS;
    e.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
    e.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    e.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
    e.Trustee.ptstrName = static_cast<LPSTR>(sid);
  };
  add(everyone, KEY_READ);
  add(admins, KEY_ALL_ACCESS);
  add(system, KEY_ALL_ACCESS);

  PACL acl = nullptr;
  DWORD rc = ::SetEntriesInAclA(count, entries, nullptr, &acl);
  bool ok = false;
  if (rc == ERROR_SUCCESS) {
    SECURITY_DESCRIPTOR sd;
    if (::InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION) &&
        ::SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE)) {
      HKEY raw = nullptr;
      if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, WRITE_DAC, &raw) == ERROR_SUCCESS) {
        RegKey k(raw);
        ok = ::RegSetKeySecurity(k.get(), DACL_SECURITY_INFORMATION, &sd) == ERROR_SUCCESS;
      }
    }
    ::LocalFree(acl);
  }
  ::FreeSid(everyone);
  if (admins) ::FreeSid(admins);
  if (system) ::FreeSid(system);
  if (!ok) throw std::runtime_error("cannot set the access list of " + key);
}

}  // namespace

std::string LocalServerCommand(const std::string& fullPath, const std::string& shortPath) {
  if (fullPath.find(' ') == std::string::npos) return fullPath;
  if (shortPath.find(' ') == std::string::npos) return shortPath;
  return "\"" + shortPath + "\"";
}

void RegisterComClass() {
  const std::string exe = ProgramFileName();
  // 1. The type library carried in the executable.
  {
    ComPtr<ITypeLib> lib;
    const std::wstring path = AnsiToWide(exe);
    OleCheck(::LoadTypeLibEx(path.c_str(), REGKIND_NONE, lib.put()));
    OleCheck(::RegisterTypeLib(lib.get(), const_cast<LPOLESTR>(path.c_str()), nullptr));
    // The toolbar host looks the library up under its own word size; a
    // 32-bit host reads "win32", where RegisterTypeLib of this 64-bit
    // program writes only "win64".
    Guarded([&] { WriteClassesValue(LibraryKey() + "\\win32", nullptr, exe); });
  }
  // 2. The standard class keys. The coclass has no help string, so the
  // class description is empty.
  const std::string classKey = ClassKey();
  const std::string description;
  WriteClassesValue(classKey, nullptr, description);
  WriteClassesValue(classKey + "\\LocalServer32", nullptr,
                    LocalServerCommand(exe, ShortPathOf(exe)));
  WriteClassesValue(kProgId, nullptr, description);
  WriteClassesValue(std::string(kProgId) + "\\Clsid", nullptr, GuidText(kVrxObjClassId));
  WriteClassesValue(classKey + "\\ProgID", nullptr, kProgId);
  WriteClassesValue(classKey + "\\Version", nullptr,
                    std::to_string(kBvrxLibraryMajor) + "." + std::to_string(kBvrxLibraryMinor));
  WriteClassesValue(classKey + "\\TypeLib", nullptr, GuidText(kBvrxLibraryId));
  // 3. The program's own values, each on its own.
  Guarded([&] { WriteClassesValue(classKey, "PluginName", kPluginName); });
  Guarded([&] { WriteClassesValue(classKey + "\\LocalServer32", "ThreadingModel", "Free"); });
  if (IsNtPlatform()) {
    Guarded([&] { SetClassKeyAccess(classKey); });
    Guarded([&] { SetClassKeyAccess(kProgId); });
  }
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
  Guarded([] { DeleteRegKey(HKEY_CLASSES_ROOT, LibraryVersionKey()); });
  Guarded([] { DeleteClassesKey("TypeLib\\" + GuidText(kBvrxLibraryId)); });
  const std::string classKey = ClassKey();
  DeleteClassesKey(classKey + "\\TypeLib");
  DeleteClassesKey(classKey + "\\Version");
  DeleteClassesKey(classKey + "\\ProgID");
  DeleteClassesKey(std::string(kProgId) + "\\Clsid");
  DeleteClassesKey(kProgId);
  DeleteClassesKey(classKey + "\\LocalServer32");
  DeleteClassesKey(classKey);
  // Whatever is left (for example after a step above failed) goes with
  // everything below it.
  Guarded([&] { DeleteRegKey(HKEY_CLASSES_ROOT, classKey); });
  Guarded([] { DeleteRegKey(HKEY_CLASSES_ROOT, kProgId); });
}

}  // namespace sentrova
