#include "platform/resource_data.h"

namespace sentrova {

std::optional<std::string> LoadRcData(const char* name, HMODULE module) {
  if (module == nullptr) module = ::GetModuleHandleA(nullptr);
  HRSRC info = ::FindResourceA(module, name, MAKEINTRESOURCEA(10));  // RT_RCDATA
  if (info == nullptr) return std::nullopt;
  HGLOBAL handle = ::LoadResource(module, info);
  const DWORD size = ::SizeofResource(module, info);
  const void* bytes = handle != nullptr ? ::LockResource(handle) : nullptr;
  if (bytes == nullptr) return std::nullopt;
  return std::string(static_cast<const char*>(bytes), size);
}

}  // namespace sentrova
