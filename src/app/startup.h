// The program's entry sequence: module start, the command line, the normal
// run with its guarded steps, and the shutdown order.
#pragma once

#include <string>

namespace sentrova {

// Points of a normal run's start-up that a watcher is told of, in order.
enum class StartPoint {
  kClassObjectsRegistered,  // registered with COM, suspended
  kServing,                 // start-up complete, class objects resumed
};

// Told of each start point on the main thread as the start-up reaches it.
class StartWatcher {
 public:
  virtual ~StartWatcher() = default;
  virtual void Reached(StartPoint point) = 0;
};

// Runs the program for the text after the executable's path. Returns the exit
// code for the paths that end by returning from the entry point (CLEANUP,
// MANUALUPDATE, a disabled plug-in, a second normal run in the session);
// every other path ends the process itself with ExitProcess: code 0, except
// a REGSERVER run whose class keys could not be written.
int RunProgram(const std::string& commandLineArguments, StartWatcher* watcher = nullptr);

// True exactly when the host's DISABLED value (HKEY_LOCAL_MACHINE) reads as
// the one-character text "1".
bool PluginDisabled();

}  // namespace sentrova
