// Bringing a dialog to the user's attention past the foreground lock.
#pragma once

#include <windows.h>

namespace sentrova {

// True when the window is the foreground window on return.
bool ForceForegroundWindow(HWND window);

}  // namespace sentrova
