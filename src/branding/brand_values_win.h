// The process's brand values, resolved from HKEY_LOCAL_MACHINE\Software\Quillbox
// and the executable's CONFIG resource.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "branding/brand_values.h"

namespace sentrova {

// The text of the RT_RCDATA resource "CONFIG" of `module` up to its first NUL
// (never past the resource's size); nullopt when the module carries none.
std::optional<std::string> LoadConfigResourceText(HMODULE module);

// The program's brand source: the registry values under
// HKEY_LOCAL_MACHINE\Software\Quillbox (read with ReadRegString, written as
// REG_SZ, creating the key when needed) and the CONFIG resource of `module`.
class RegistryBrandSource : public BrandSource {
 public:
  explicit RegistryBrandSource(HMODULE module) : module_(module) {}
  std::string ReadValue(std::string_view name, std::string_view absentDefault) override;
  void WriteValue(std::string_view name, std::string_view value) override;
  std::optional<std::string> LoadConfigText() override;

 private:
  HMODULE module_;
};

// Resolves the process-wide values once per process, from the registry and
// the executable's CONFIG resource. A caller arriving while another thread
// resolves them waits for it. Errors end the resolution quietly with the
// values resolved so far (the others stay empty).
void LoadBrandValues();

// Set as soon as LoadBrandValues has begun.
bool BrandValuesLoaded();

// The process-wide values; empty until LoadBrandValues has run. Written only
// by LoadBrandValues, then read-only.
const BrandValues& ProcessBrandValues();

}  // namespace sentrova
