#include "state/control_objects.h"

#include "platform/named_objects.h"

namespace sentrova {

KernelHandle OpenControlObject(const ControlObject& object) {
  if (object.kind == ControlObjectKind::kMutex) return OpenOrCreateMutex(object.name, true);
  return OpenOrCreateEvent(object.name, object.manualReset, false, true);
}

bool SignalEvent(const ControlObject& event) {
  if (event.kind != ControlObjectKind::kEvent) return false;
  KernelHandle handle = OpenControlObject(event);
  return handle && ::SetEvent(handle.get()) != FALSE;
}

}  // namespace sentrova
