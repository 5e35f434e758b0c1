// ProcessState: the one process-wide record of flags, objects and texts,
// shared by the main thread and the COM call threads. It starts zeroed: all
// flags false, all objects absent, all texts empty. Flags, handles and
// pointers are atomics, read and written whole without a lock; the texts are
// held behind a lock because the host may ask for them while start-up is
// still writing them. The flags that the main loop acts on wake it when they
// are stored (WakingFlag), whichever thread stores them.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "state/loop_wake.h"

namespace sentrova {

class TMainForm;     // the hidden main window with the tray icon
class TCookiesForm;  // the Customize Cookies dialog, created hidden
class TVRXScanner;   // the security scanner thread

// A text that one thread writes while others may read it.
class SharedText {
 public:
  std::string Get() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return text_;
  }
  void Set(std::string text) {
    std::lock_guard<std::mutex> lock(mutex_);
    text_ = std::move(text);
  }

 private:
  mutable std::mutex mutex_;
  std::string text_;
};

struct ProcessState {
  // True while the process serves the host; once cleared it stays cleared.
  WakingFlag<bool> Running{false};
  WakingFlag<TMainForm*> MainWindow{nullptr};
  // DEFSET and CONFIG as one text, handed to the host by GetDefaults.
  SharedText DefaultsText;
  SharedText HelpUrl;
  SharedText AboutUrl;
  SharedText SettingsHelpUrl;
  // SHOW_TRAY of the CONFIG resource.
  std::atomic<bool> TrayDefault{false};
  // The LABELS resource, written by start-up before the scanner can start.
  std::vector<std::string> LabelsList;
  // Mirror of the configuration key VRX_ALL.
  WakingFlag<bool> Enabled{false};
  std::atomic<bool> TrayShown{false};
  // The host has announced itself; the first configuration load after that has run.
  WakingFlag<bool> HostReady{false};
  std::atomic<bool> HostStartDone{false};
  // The automatic clean-up schedule (OLE date-times).
  std::atomic<bool> ScheduleArmed{false};
  std::atomic<double> LastScan{0.0};
  std::atomic<double> NextClean{0.0};
  std::atomic<TVRXScanner*> Scanner{nullptr};
  std::atomic<bool> ScannerStarted{false};
  std::atomic<TCookiesForm*> CookiesForm{nullptr};
  // The Customize Cookies dialog was asked for while it did not exist (its
  // creation had failed): the loop makes it again and opens it.
  WakingFlag<bool> CookiesRequested{false};
  std::atomic<HWND> SettingsWindow{nullptr};
  // A clean-up is running (set and cleared by the clean-up worker).
  std::atomic<bool> CleanInProgress{false};
};

// The process's record.
ProcessState& State();

}  // namespace sentrova
