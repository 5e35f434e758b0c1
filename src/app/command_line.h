// Reading the command line: how the text after the program's path is split
// into parameters and how the first one selects what the process does.
// Platform-free.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sentrova {

// What a start of the program is for.
enum class StartCommand {
  kNormalRun,     // serve the toolbar host (also when COM starts us with -Embedding)
  kCleanUp,       // "CLEANUP": the clean-up that finishes after a restart
  kManualUpdate,  // "MANUALUPDATE": nothing at all
  kRegServer,     // "REGSERVER": write the COM registration
  kUnregServer,   // "UNREGSERVER": remove it
};

// Splits the text after the program's path into parameters. Runs of blanks
// and control characters (codes 1-32) separate parameters, and so does a pair
// of adjacent double quotes where a parameter would begin. A double quote opens
// a stretch, closed by the next one, in which separators do not separate. A
// parameter of two or more characters that begins and ends with a double
// quote loses those two quotes; other quotes stay as they are.
std::vector<std::string> SplitParameters(std::string_view text);

// Upper-cases ASCII letters, then strips every leading "-" and "/":
// "--/cleanup" becomes "CLEANUP".
std::string NormalizeKeyword(std::string_view parameter);

// The command that the first parameter selects; every other parameter is
// ignored. Anything that is not exactly one of the four keywords after
// normalising is a normal run.
StartCommand ParseStartCommand(std::string_view commandLineArguments);

}  // namespace sentrova
