// Brand placeholders in every text shown to the user.
#pragma once

#include <string>
#include <string_view>

#include "branding/brand_values.h"

namespace sentrova {

// Fills in the brand placeholders of one English sentence or line with the
// process's brand values (resolving them first if that has not happened yet).
// Callable from any thread; never fails: on an error the text comes back with
// the replacement steps that completed.
std::string TranslateText(std::string_view text);

// The same with the brand values given. Placeholders, replaced in this order
// and matched without regard to ASCII letter case: "%BRAND_LONG",
// "%BRAND_DOMAIN", "%BRAND_CODE", "%BRAND". A placeholder has no closing mark.
// Each step replaces every occurrence and does not look again at the text it
// inserted; the later steps do.
std::string TranslateText(std::string_view text, const BrandValues& brand);

}  // namespace sentrova
