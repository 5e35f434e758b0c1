// Brand placeholders in every text shown to the user.
#pragma once

#include <string>
#include <string_view>

namespace sentrova {

// Fills in the brand placeholders of one English sentence or line with the
// process's brand values.
std::string TranslateText(std::string_view text);

}  // namespace sentrova
