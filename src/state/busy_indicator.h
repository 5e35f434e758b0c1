// The busy sign that a clean-up shows while it works: the tray icon's image
// swapped for the busy icon and back. The main window carries it out; the
// clean-up worker holds it shared, so that it stays valid when the program
// shuts down during a pass (it then does nothing).
#pragma once

namespace sentrova {

class BusyIndicator {
 public:
  virtual ~BusyIndicator() = default;
  // Shows the busy image, remembering the one it replaces.
  virtual void ShowBusy() = 0;
  // Puts the remembered image back.
  virtual void ShowIdle() = 0;
};

}  // namespace sentrova
