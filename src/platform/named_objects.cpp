#include "platform/named_objects.h"

#include <string>

namespace sentrova {

namespace {

// Security attributes whose descriptor has a present but null access list:
// every account gets full access.
struct EveryoneAccess {
  SECURITY_DESCRIPTOR descriptor{};
  SECURITY_ATTRIBUTES attributes{};
  bool ok = false;

  EveryoneAccess() {
    ok = ::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
         ::SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE);
    attributes.nLength = sizeof attributes;
    attributes.lpSecurityDescriptor = &descriptor;
    attributes.bInheritHandle = FALSE;
  }
  SECURITY_ATTRIBUTES* get() { return ok ? &attributes : nullptr; }
};

}  // namespace

KernelHandle OpenOrCreateEvent(std::string_view name, bool manualReset, bool initiallySignalled,
                               bool everyoneAccess) {
  const std::string n(name);
  if (HANDLE h = ::OpenEventA(EVENT_ALL_ACCESS, FALSE, n.c_str())) return KernelHandle(h);
  EveryoneAccess everyone;
  return KernelHandle(::CreateEventA(everyoneAccess ? everyone.get() : nullptr, manualReset,
                                     initiallySignalled, n.c_str()));
}

KernelHandle OpenOrCreateMutex(std::string_view name, bool everyoneAccess) {
  const std::string n(name);
  if (HANDLE h = ::OpenMutexA(MUTEX_ALL_ACCESS, FALSE, n.c_str())) return KernelHandle(h);
  EveryoneAccess everyone;
  return KernelHandle(::CreateMutexA(everyoneAccess ? everyone.get() : nullptr, FALSE, n.c_str()));
}

}  // namespace sentrova
