#include "branding/translate.h"

#include <array>
#include <utility>

#include "platform/text.h"

namespace sentrova {

namespace {

// One replace-all step: the scan goes on after each inserted value, so the
// value is never matched again by the same step.
std::string ReplaceAllNoCase(const std::string& text, std::string_view placeholder,
                             std::string_view value) {
  size_t hit = FindNoCase(text, placeholder);
  if (hit == std::string::npos) return text;
  std::string out;
  out.reserve(text.size() + value.size());
  size_t from = 0;
  while (hit != std::string::npos) {
    out.append(text, from, hit - from);
    out.append(value);
    from = hit + placeholder.size();
    hit = FindNoCase(text, placeholder, from);
  }
  out.append(text, from, std::string::npos);
  return out;
}

}  // namespace

std::string TranslateText(std::string_view text, const BrandValues& brand) {
  // "%BRAND" comes last so that it does not eat the start of the longer ones.
  const std::array<std::pair<std::string_view, const std::string*>, 4> steps = {{
      {"%BRAND_LONG", &brand.brandLong},
      {"%BRAND_DOMAIN", &brand.brandDomain},
      {"%BRAND_CODE", &brand.brandCode},
      {"%BRAND", &brand.brand},
  }};
  std::string result;
  try {
    result.assign(text);
  } catch (...) {
    return result;
  }
  for (const auto& [placeholder, value] : steps) {
    try {
      result = ReplaceAllNoCase(result, placeholder, *value);
    } catch (...) {
      break;  // keep the steps that completed
    }
  }
  return result;
}

}  // namespace sentrova
