// Opening the settings pages: in the toolbar host's HTML window when the
// host's service can be created, else in a small browser window of the
// program's own. Started from the tray menu's "Settings" and the toolbar's
// "OPT" command; never on the main thread.
#pragma once

namespace sentrova {

// A thread that waits 500 ms, initialises COM, runs OpenSettings and ends;
// it frees itself. Several may run at once; their openings take turns.
class TMenuSettingsThr {
 public:
  static void Start();
};

// Opens the settings (see above). All failures are silent. The calling
// thread must have initialised COM.
void OpenSettings();

}  // namespace sentrova
