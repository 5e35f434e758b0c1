// TMainForm: the process's hidden top-level window (caption "VRX", class
// VRXWndClass) with the tray icon and its menu. The window gives the process
// a message queue for the tray, a parent for the dialogs and a place where
// the end of the Windows logon is noticed.
//
// The form, its window and its tray icon belong to the main thread, which
// creates and destroys them. Other threads change the tray only through
// ShowTrayIcon and the busy indicator, which hand the change to the main
// thread as a posted message. ShowTrayIcon's message carries no value: the
// window applies the state last asked for, so an older request that arrives
// late never overrules a newer one made on the main thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "state/busy_indicator.h"
#include "toolkit/control.h"
#include "toolkit/menu.h"
#include "toolkit/tray_icon.h"

namespace sentrova {

// Tray commands, numbered from 1 as the menu shows them.
enum TrayCommand : int {
  kTrayCleanUpNow = 1,
  kTraySettings = 2,
  kTrayHelp = 3,
  kTrayAbout = 4,
  kTrayRemoveIcon = 5,
};

class TMainForm {
 public:
  // Builds the window, the tray menu and the (hidden) tray icon; a step
  // that fails leaves the parts made so far.
  explicit TMainForm(TrayNotifier& notifier = ShellTray());
  ~TMainForm();
  TMainForm(const TMainForm&) = delete;
  TMainForm& operator=(const TMainForm&) = delete;

  HWND Handle() const;
  HACCEL Accelerators() const;
  // The hidden window as a toolkit control: the owner of the program's own
  // dialogs (the Customize Cookies dialog).
  TControl& Window() { return window_; }
  // The number of the registered message VRX_SYNC_TIME.
  UINT SyncMessage() const { return syncMessage_; }

  // Shows or hides the tray icon; it is re-added after the taskbar restarts
  // exactly while shown. Any thread: off the main thread the change is
  // posted to it.
  void ShowTrayIcon(bool shown);
  bool TrayIconShown() const;
  // Whether the form has a tray icon that can show: made, with its image.
  bool HasTrayIcon() const { return hasTrayIcon_; }

  // The busy sign of the clean-up worker: swaps the tray image for WORKICON
  // and back, and shows the line of an ended pass in a balloon over a shown
  // icon. It stays valid after the form is gone and then does nothing.
  std::shared_ptr<BusyIndicator> Busy() const { return busy_; }

  // Runs after "Remove Icon" stored the hidden tray (the toolbar menu is
  // pushed again there).
  std::function<void()> onTrayRemoved;

 private:
  bool OnMessage(TMessage& message);
  void OnTrayMouse(UINT mouseMessage);
  void RunCommand(int command);
  void ApplyBusy(bool busy);
  void ShowCleanUpEnded(const std::string& line);
  void ApplyTray();

  TControl window_;
  std::unique_ptr<TTrayIcon> tray_;
  std::unique_ptr<TMenu> menu_;
  UINT syncMessage_ = 0;
  bool hasTrayIcon_ = false;
  std::atomic<bool> trayWanted_{false};  // the state ShowTrayIcon last asked for
  IconHandle idleIcon_;  // the image put aside while the busy icon shows
  std::shared_ptr<BusyIndicator> busy_;
};

}  // namespace sentrova
