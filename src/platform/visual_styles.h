// Themed common controls for dialogs, through the executable's manifest
// (resource type 24, id 2).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace sentrova {

// Kept by the caller from ActivateVisualStyles to DeactivateVisualStyles, on
// one thread, in last-in first-out order with other activations.
struct VisualStyleContext {
  bool activated = false;
  HANDLE context = nullptr;
  ULONG_PTR cookie = 0;
  std::string source;        // copy of ProgramFileName
  std::string application;   // copy of ProgramFileName
  std::string assemblyDir;   // 255-character buffer of the request
};

// Activates the manifest's context when OsKind is 6 or more; always
// initialises the common controls.
void ActivateVisualStyles(VisualStyleContext& context);
// The same for a given OsKind classification (ActivateVisualStyles passes
// the running system's).
void ActivateVisualStyles(VisualStyleContext& context, uint8_t osKind);
// Deactivates and releases what ActivateVisualStyles activated; else nothing.
void DeactivateVisualStyles(VisualStyleContext& context);

// The process-wide pair used by start-up and shutdown: acts only when OsKind
// is exactly 6, activates at most once and deactivates only what it activated.
void ActivateProcessVisualStyles();
void DeactivateProcessVisualStyles();
bool ProcessVisualStylesActive();

}  // namespace sentrova
