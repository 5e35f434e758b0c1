// The look that the clean-up's own windows share.
#pragma once

#include <memory>

#include "toolkit/control.h"

namespace sentrova {

// A form with a title bar only (no system menu, no minimise or maximise box,
// fixed size), in the task bar and on top, with the program's icon and dialog
// font, of the given outer size and centred on the screen.
std::unique_ptr<TControl> MakeToolWindow(TControl* owner, const char* caption, int width,
                                         int height);

}  // namespace sentrova
