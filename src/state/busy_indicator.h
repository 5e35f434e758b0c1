// The busy sign that a clean-up shows while it works: the tray icon's image
// swapped for the busy icon and back, and at the end of a pass the line that
// tells what it removed. The main window carries it out; the
// clean-up worker holds it shared, so that it stays valid when the program
// shuts down during a pass (it then does nothing).
#pragma once

#include <string>

namespace sentrova {

class BusyIndicator {
 public:
  virtual ~BusyIndicator() = default;
  // Shows the busy image, remembering the one it replaces.
  virtual void ShowBusy() = 0;
  // Puts the remembered image back.
  virtual void ShowIdle() = 0;
  // A pass ran and removed what `line` says ("Last clean-up: ..."); called
  // between ShowBusy and ShowIdle, on the worker's thread, only when the
  // pass ran. Does nothing unless a sign wants to tell the user.
  virtual void CleanUpEnded([[maybe_unused]] const std::string& line) {}
};

}  // namespace sentrova
