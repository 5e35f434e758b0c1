#include "branding/brand_values_win.h"

#include <atomic>
#include <mutex>

#include "branding/translate.h"
#include "platform/guard.h"
#include "platform/registry.h"
#include "platform/resource_data.h"

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
  std::optional<std::string> bytes = LoadRcData("CONFIG", module);
  if (!bytes) return std::nullopt;
  return bytes->substr(0, bytes->find('\0'));
}

std::string RegistryBrandSource::ReadValue(std::string_view name,
                                           std::string_view absentDefault) {
  // The toolbar host, a 32-bit browser add-on on most machines, keeps its
  // machine-wide values in the 32-bit view.
  return ReadRegString(HKEY_LOCAL_MACHINE, kBrandRegistryKey, name, absentDefault,
                       KEY_WOW64_32KEY);
}

void RegistryBrandSource::WriteValue(std::string_view name, std::string_view value) {
  WriteRegString(HKEY_LOCAL_MACHINE, kBrandRegistryKey, name, true, value, KEY_WOW64_32KEY);
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
