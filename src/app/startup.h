// The program's entry sequence: module start, the command line, the normal
// run with its guarded steps, and the shutdown order.
#pragma once

#include <string>

namespace sentrova {

// Runs the program for the text after the executable's path. Returns the exit
// code for the paths that end by returning from the entry point (CLEANUP,
// MANUALUPDATE, a disabled plug-in); every other path ends the process
// itself with ExitProcess(0).
int RunProgram(const std::string& commandLineArguments);

// True exactly when the host's DISABLED value (HKEY_LOCAL_MACHINE) reads as
// the one-character text "1".
bool PluginDisabled();

}  // namespace sentrova
