// What the host link and the user interface ask of the program as a whole:
// start a clean-up, show the Customize Cookies dialog or the Clean Up
// Preview, open the settings, show or hide the tray icon. The plug-in object (called on COM threads) and
// the tray menu reach these through ProgramActions, which the process entry
// installs at start-up, so that neither depends on the parts that carry them
// out. Until one is installed every action does nothing.
#pragma once

namespace sentrova {

class ProgramActions {
 public:
  virtual ~ProgramActions() = default;
  // Starts a clean-up pass in the background when the plug-in is enabled;
  // returns at once. Interactive passes may ask the user questions.
  virtual void StartCleanUp(bool interactive) = 0;
  // Shows the Customize Cookies dialog (its window belongs to the main thread).
  virtual void ShowCookiesDialog() = 0;
  // Shows the Clean Up Preview window (its window belongs to the main thread).
  virtual void ShowCleanPreview() = 0;
  // Opens the settings pages (in the host's window, else a browser window).
  virtual void OpenSettings() = 0;
  // Shows or hides the tray icon; with store, writes SHOW_TRAY as well.
  virtual void SetTray(bool show, bool store) = 0;
};

// The installed actions; a do-nothing set before InstallActions.
ProgramActions& Actions();
// Installs the program's actions for the life of the process (null puts the
// do-nothing set back).
void InstallActions(ProgramActions* actions);

}  // namespace sentrova
