// Gives the test process a private HKEY_LOCAL_MACHINE: a scratch key below
// HKEY_CURRENT_USER stands in for it (RegOverridePredefKey), so tests of the
// brand values never touch the machine's Software\Quillbox key.
#pragma once

#include <windows.h>

#include <string>

#include "platform/registry.h"
#include "support/win_support.h"

namespace sentrova::test {

class PrivateMachineKey {
 public:
  PrivateMachineKey() {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, scratch_.path().c_str(), 0, KEY_ALL_ACCESS, &key) ==
        ERROR_SUCCESS) {
      overridden_ = ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, key) == ERROR_SUCCESS;
      ::RegCloseKey(key);
    }
  }
  ~PrivateMachineKey() {
    if (overridden_) ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
  }
  PrivateMachineKey(const PrivateMachineKey&) = delete;
  PrivateMachineKey& operator=(const PrivateMachineKey&) = delete;

  bool ok() const { return overridden_; }
  // Where HKEY_LOCAL_MACHINE\Software\Quillbox really lands, below HKCU.
  std::string QuillboxKey() const { return scratch_.Sub("Software\\Quillbox"); }

  // Reads a brand value through HKEY_CURRENT_USER, bypassing the override;
  // "<absent>" when there is none.
  std::string Stored(const std::string& name) const {
    return ReadRegString(HKEY_CURRENT_USER, QuillboxKey(), name, "<absent>");
  }
  void Store(const std::string& name, const std::string& value) const {
    WriteRegString(HKEY_CURRENT_USER, QuillboxKey(), name, true, value);
  }

 private:
  ScratchKey scratch_;
  bool overridden_ = false;
};

}  // namespace sentrova::test
