// The named kernel objects through which the program's threads, its other
// processes and the toolbar host signal one another. Each is opened by name
// first and created, with access for every account, only when missing, so
// the first creator's kind and reset mode are the ones in force: every user
// of a name therefore opens it through this table.
#pragma once

#include "platform/handle.h"

namespace sentrova {

enum class ControlObjectKind { kEvent, kMutex };

struct ControlObject {
  const char* name;
  ControlObjectKind kind;
  bool manualReset;  // events only; every event is created clear
};

// The host's two stop events keep the names the toolbar host gives them.
// Set by the host to stop all of its plug-in processes. Manual reset: the
// program never resets it, so while it stays set every new process of the
// program leaves its loop at once.
inline constexpr ControlObject kStopAllEvent{"TB4Stop", ControlObjectKind::kEvent, true};
// Set by the host to stop this plug-in's process.
inline constexpr ControlObject kShutdownEvent{"TB4Shutdown_VRX", ControlObjectKind::kEvent,
                                              false};
// Set by a plug-in object when the host reports changed settings; the main
// loop reloads the configuration.
inline constexpr ControlObject kRefreshConfigEvent{"VRX4_Refresh_Cfg", ControlObjectKind::kEvent,
                                                   false};
// Set by a plug-in object when the host connects it; the main loop starts the
// scanner without waiting for its deadline.
inline constexpr ControlObject kStartScanEvent{"VRX4_Start_Scan_Thread",
                                               ControlObjectKind::kEvent, false};
// Tells the scanner thread to end (plug-in disabled, shutdown).
inline constexpr ControlObject kScannerStopEvent{"VRX4Scanner_StopEvent",
                                                 ControlObjectKind::kEvent, false};
// Tells the scanner thread to re-read its settings.
inline constexpr ControlObject kScannerReloadEvent{"VRX4Scanner_ReloadEvent",
                                                   ControlObjectKind::kEvent, false};
// Held by the clean-up worker so that only one clean-up runs at a time.
inline constexpr ControlObject kRunCleanMutex{"VRX_Run_Clean_Mtx", ControlObjectKind::kMutex,
                                              false};
// Set for the host after the clean-up engine wrote a value for the host's service.
inline constexpr ControlObject kServiceRegistryEvent{"PlugInSvcRegistry",
                                                     ControlObjectKind::kEvent, true};

inline constexpr ControlObject kControlObjects[] = {
    kStopAllEvent,     kShutdownEvent,      kRefreshConfigEvent, kStartScanEvent,
    kScannerStopEvent, kScannerReloadEvent, kRunCleanMutex,      kServiceRegistryEvent,
};

// Opens the object or creates it (events clear, the mutex not owned) with a
// null access list; an empty handle when neither works.
KernelHandle OpenControlObject(const ControlObject& object);

// Sets an event of the table: opens or creates it, sets it and closes the
// handle again. True when setting succeeded.
bool SignalEvent(const ControlObject& event);

}  // namespace sentrova
