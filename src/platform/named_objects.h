// Named kernel objects shared with the toolbar host and between processes.
// They are opened by name first; only a missing one is created, so the first
// creator's reset mode and initial state win.
#pragma once

#include <string_view>

#include "platform/handle.h"

namespace sentrova {

// With everyoneAccess the object is created with a null access list, so that
// processes of every account can open it.
KernelHandle OpenOrCreateEvent(std::string_view name, bool manualReset, bool initiallySignalled,
                               bool everyoneAccess);
// The returned mutex is not owned; wait on it to own it.
KernelHandle OpenOrCreateMutex(std::string_view name, bool everyoneAccess);

}  // namespace sentrova
