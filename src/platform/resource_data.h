// The bytes of a resource carried in an executable.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace sentrova {

// The bytes of an RCDATA resource of `module` (the executable when null);
// nothing when the module lacks it. Resource memory belongs to the module:
// the bytes are copied.
std::optional<std::string> LoadRcData(const char* name, HMODULE module = nullptr);

}  // namespace sentrova
