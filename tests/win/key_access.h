// What a registry key's access list grants, for the tests of the program's
// COM registration.
#pragma once

#include <windows.h>

#include <vector>

namespace sentrova::test {

// The access list of a key: what Everyone may do, and whether anyone else
// (administrators, the system) keeps full control.
struct KeyAccess {
  bool read = false;
  ACCESS_MASK everyoneMask = 0;
  BYTE everyoneFlags = 0;
  bool othersFull = false;
};

inline KeyAccess AccessOf(const char* key) {
  KeyAccess access;
  HKEY k = nullptr;
  if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, key, 0, READ_CONTROL, &k) != ERROR_SUCCESS) return access;
  std::vector<BYTE> buf(4096);
  DWORD size = static_cast<DWORD>(buf.size());
  const LONG rc = ::RegGetKeySecurity(k, DACL_SECURITY_INFORMATION, buf.data(), &size);
  ::RegCloseKey(k);
  if (rc != ERROR_SUCCESS) return access;
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL acl = nullptr;
  if (!::GetSecurityDescriptorDacl(buf.data(), &present, &acl, &defaulted) || !present || !acl) {
    return access;
  }
  access.read = true;
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  ::AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
  for (DWORD i = 0; i < acl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    if (!::GetAce(acl, i, reinterpret_cast<void**>(&ace))) continue;
    if (ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
    if (::EqualSid(&ace->SidStart, everyone)) {
      access.everyoneMask |= ace->Mask;
      access.everyoneFlags |= ace->Header.AceFlags;
    } else if ((ace->Mask & KEY_ALL_ACCESS) == KEY_ALL_ACCESS) {
      access.othersFull = true;
    }
  }
  ::FreeSid(everyone);
  return access;
}

}  // namespace sentrova::test
