// What a registry key's access list grants, for the tests of the program's
// COM registration, and keys made read-only for a while.
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

inline KeyAccess AccessOf(const char* key, REGSAM view = 0) {
  KeyAccess access;
  HKEY k = nullptr;
  if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, key, 0, READ_CONTROL | view, &k) != ERROR_SUCCESS) {
    return access;
  }
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

// Makes a key read-only for every account for as long as the object lives:
// its access list is replaced by one entry, Everyone may read it and change
// its access list (so that the old one can be put back), and is put back on
// destruction. This is how a standard user meets the machine's keys.
class ReadOnlyKey {
 public:
  ReadOnlyKey(HKEY root, const char* key, REGSAM view = 0) {
    if (::RegOpenKeyExA(root, key, 0, READ_CONTROL | WRITE_DAC | view, &key_) != ERROR_SUCCESS) {
      key_ = nullptr;
      return;
    }
    DWORD size = static_cast<DWORD>(saved_.size());
    if (::RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, saved_.data(), &size) !=
        ERROR_SUCCESS) {
      return;
    }
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    if (!::AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone)) {
      return;
    }
    std::vector<BYTE> acl(512);
    SECURITY_DESCRIPTOR sd;
    applied_ = ::InitializeAcl(reinterpret_cast<PACL>(acl.data()), 512, ACL_REVISION) &&
               ::AddAccessAllowedAce(reinterpret_cast<PACL>(acl.data()), ACL_REVISION,
                                     KEY_READ | WRITE_DAC, everyone) &&
               ::InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION) &&
               ::SetSecurityDescriptorDacl(&sd, TRUE, reinterpret_cast<PACL>(acl.data()), FALSE) &&
               ::RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, &sd) == ERROR_SUCCESS;
    ::FreeSid(everyone);
  }
  ~ReadOnlyKey() {
    if (applied_) ::RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, saved_.data());
    if (key_ != nullptr) ::RegCloseKey(key_);
  }
  ReadOnlyKey(const ReadOnlyKey&) = delete;
  ReadOnlyKey& operator=(const ReadOnlyKey&) = delete;
  bool applied() const { return applied_; }

 private:
  HKEY key_ = nullptr;
  std::vector<BYTE> saved_ = std::vector<BYTE>(4096);
  bool applied_ = false;
};

}  // namespace sentrova::test
