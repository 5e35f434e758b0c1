#include "branding/brand_values_win.h"

#include <atomic>
#include <mutex>

#include "branding/translate.h"
#include "platform/guard.h"
#include "platform/registry.h"

namespace sentrova {

namespace {

BrandValues& MutableProcessValues() {
  static BrandValues values;
  return values;
}

std::atomic<bool> brandValuesLoaded{false};
std::once_flag brandLoadOnce;

}  // namespace

std::optional<std::string> LoadConfigResourceText(HMODULE module) {
  HRSRC info = ::FindResourceA(module, "CONFIG", MAKEINTRESOURCEA(10) /* RT_RCDATA */);
  if (!info) return std::nullopt;
  // Resource memory belongs to the module: nothing to free.
  HGLOBAL loaded = ::LoadResource(module, info);
  if (!loaded) return std::nullopt;
  const auto* data = static_cast<const char*>(::LockResource(loaded));
  const DWORD size = ::SizeofResource(module, info);
  if (!data) return std::nullopt;
  size_t length = 0;
  while (length < size && data[length] != '\0') ++length;
  return std::string(data, length);
}

std::string RegistryBrandSource::ReadValue(std::string_view name,
                                           std::string_view absentDefault) {
  return ReadRegString(HKEY_LOCAL_MACHINE, kBrandRegistryKey, name, absentDefault);
}

void RegistryBrandSource::WriteValue(std::string_view name, std::string_view value) {
  WriteRegString(HKEY_LOCAL_MACHINE, kBrandRegistryKey, name, true, value);
}

std::optional<std::string> RegistryBrandSource::LoadConfigText() {
  return LoadConfigResourceText(module_);
}

void LoadBrandValues() {
  std::call_once(brandLoadOnce, [] {
    brandValuesLoaded = true;
    Guarded([] {
      RegistryBrandSource source(::GetModuleHandleA(nullptr));
      ResolveBrandValues(source, MutableProcessValues());
    });
  });
}

bool BrandValuesLoaded() { return brandValuesLoaded; }

const BrandValues& ProcessBrandValues() { return MutableProcessValues(); }

std::string TranslateText(std::string_view text) {
  // Always through the once-gate (not only when the flag is clear): a thread
  // that arrives while another resolves the values waits instead of reading
  // half-written texts.
  Guarded([] { LoadBrandValues(); });
  return TranslateText(text, ProcessBrandValues());
}

}  // namespace sentrova
