#include "branding/brand_values.h"

#include <array>

#include "branding/name_value_list.h"
#include "platform/text.h"

namespace sentrova {

namespace {

struct BrandField {
  std::string_view name;
  std::string BrandValues::*value;
  std::string_view builtIn;
};

enum : size_t { kBrand, kBrandLong, kBrandCode, kBrandDomain, kBrandFolder, kFieldCount };

constexpr std::array<BrandField, kFieldCount> kFields = {{
    {"BRAND", &BrandValues::brand, kDefaultBrand},
    {"BRAND_LONG", &BrandValues::brandLong, kDefaultBrandLong},
    {"BRAND_CODE", &BrandValues::brandCode, kDefaultBrandCode},
    {"BRAND_DOMAIN", &BrandValues::brandDomain, kDefaultBrandDomain},
    {"BRAND_FOLDER", &BrandValues::brandFolder, kDefaultBrandFolder},
}};

// The CONFIG pass takes the domain before the code.
constexpr std::array<size_t, kFieldCount> kConfigOrder = {kBrand, kBrandLong, kBrandDomain,
                                                          kBrandCode, kBrandFolder};

std::string Cut(std::string_view text) {
  return std::string(text.substr(0, kMaxBrandValueLength));
}

}  // namespace

void ResolveBrandValues(BrandSource& source, BrandValues& values) {
  std::array<bool, kFieldCount> missing{};
  bool anyMissing = false;

  for (size_t i = 0; i < kFieldCount; ++i) {
    const BrandField& field = kFields[i];
    const std::string stored = Trim(source.ReadValue(field.name, kBrandAbsentMark));
    if (stored == kBrandAbsentMark) {
      values.*field.value = std::string(field.builtIn);
      source.WriteValue(field.name, field.builtIn);
      missing[i] = true;
      anyMissing = true;
    } else if (stored.empty()) {
      // Blank in the registry: the built-in default, and the blank stays.
      values.*field.value = std::string(field.builtIn);
    } else {
      values.*field.value = Cut(stored);
    }
  }

  if (!anyMissing) return;
  const std::optional<std::string> configText = source.LoadConfigText();
  if (!configText) return;
  const NameValueList config(*configText);

  for (size_t i : kConfigOrder) {
    if (!missing[i]) continue;
    const BrandField& field = kFields[i];
    const std::string entry = config.Value(field.name);
    if (entry.empty()) continue;
    values.*field.value = Cut(entry);
    source.WriteValue(field.name, values.*field.value);
  }

  // The folder falls back to the brand name (kept in memory only), and to the
  // product's own brand when even that is empty.
  if (values.brandFolder.empty()) values.brandFolder = values.brand;
  if (values.brandFolder.empty()) {
    values.brandFolder = std::string(kDefaultBrand);
    source.WriteValue(kFields[kBrandFolder].name, values.brandFolder);
  }
}

}  // namespace sentrova
