// TVRXScanner, the security monitor: one worker thread per process that
// keeps a snapshot of the monitored settings, waits for the platform to
// report registry changes under the browser's zone and main keys, asks the
// user whether to restore what changed, and watches the browser's start page.
// All its dialogs run on its own thread.
//
// Other threads and processes reach it only through named events
// (VRX4Scanner_StopEvent, VRX4Scanner_ReloadEvent) and the functions below.
// The scanner frees itself when its thread ends, and then clears
// ProcessState::Scanner if (and only if) that still names it.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace sentrova {

// The host's configuration as the scanner uses it, obtained on the scanner's
// own thread (which has joined the multithreaded apartment).
class ScannerConfig {
 public:
  virtual ~ScannerConfig() = default;
  // A boolean of the program's namespace, read with call default true.
  virtual bool ReadBool(std::string_view key) = 0;
  virtual std::string ReadStr(std::string_view key) = 0;
  // Writes that notify the host; no commit follows.
  virtual void WriteBool(std::string_view key, bool value) = 0;
  virtual void WriteStr(std::string_view key, std::string_view value) = 0;
  // A boolean of the host's own namespace (call default true); nothing when
  // the call fails.
  virtual std::optional<bool> ReadHostBool(std::string_view key) = 0;
};

// Makes the configuration; a factory that throws leaves the scanner without
// one: nothing is monitored, the thread stays alive until stopped.
using ScannerConfigFactory = std::function<std::unique_ptr<ScannerConfig>()>;

class TVRXScanner;

// Builds a scanner and starts its thread; records it in
// ProcessState::Scanner. A scanner of this process that still runs (a
// stopped one finishing a dialog) is told to end, its open dialogs are
// answered "No", and the new thread waits for it before it begins: exactly
// one scanner monitors at a time.
TVRXScanner* StartScannerThread(ScannerConfigFactory configFactory);

// Ends the scanner: it is told to stop, its open dialogs are closed as "No"
// (the Detected Changes dialog as "Cancel"), and the call waits at most
// timeoutMs for its thread. True when the thread has ended (or was unknown).
bool StopScannerAndWait(TVRXScanner* scanner, DWORD timeoutMs);

// Empties the process's labels list (ProcessState::LabelsList) once no
// scanner thread of this process is left: a stopped one may still be
// finishing a dialog that reads them. True when emptied.
bool ReleaseLabelsAfterScanners();

// Asks the running scanner to re-read its configuration and snapshot
// (VRX4Scanner_ReloadEvent). True when the event was set.
bool SignalScannerReload();

}  // namespace sentrova
