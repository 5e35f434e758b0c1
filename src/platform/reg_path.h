// Registry key path tidying, shared by every registry helper. Platform-free.
#pragma once

#include <string>
#include <string_view>

namespace sentrova {

// Trims blanks and control characters, collapses every run of backslashes to
// one and removes one trailing backslash.
std::string NormalizeKeyPath(std::string_view path);

}  // namespace sentrova
