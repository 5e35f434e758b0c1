// Finishing a clean-up after the restart: the RunOnce command that runs
// "sentrova.exe /cleanup" at the next log-on, written where the user may
// write it, and what the user is told when nowhere is possible.
#pragma once

#include <string_view>

namespace sentrova {

// Writes the command (AfterRestartCommand, with the path as the system has
// it) as the value "VRX" of the machine's RunOnce key; when that is refused,
// as it is to a standard user, of the user's own. False when neither could
// be written.
bool WriteAfterRestartCommand();

// True when one of the two RunOnce keys may be written (nothing is written).
bool AfterRestartCommandWritable();

// Tells the user, in place of the after-restart question, that the clean-up
// cannot be scheduled for after the restart. `title` is already translated.
void TellAfterRestartUnavailable(std::string_view title);

}  // namespace sentrova
