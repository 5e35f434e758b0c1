// Which folders a clean-up may empty. The folders come from the registry
// and the environment ("Recent", "ActiveXCache", the Temp folder), so a
// damaged or hostile value must not turn the clean-up against the system or
// the user's files. Platform-free.
#pragma once

#include <string_view>
#include <vector>
#include <string>

namespace sentrova {

// True when `folder` may be emptied: an absolute path on a drive ("X:\..."),
// below the drive's root, without "." or ".." parts, and neither one of the
// protected folders nor a folder above one (the Windows and system folders,
// the user's profile). Folders inside a protected one are allowed (the
// downloaded program files live in the Windows folder, Temp in the profile).
// Letter case, "/" and trailing backslashes do not matter.
bool IsFolderSafeToEmpty(std::string_view folder, const std::vector<std::string>& protectedFolders);

}  // namespace sentrova
