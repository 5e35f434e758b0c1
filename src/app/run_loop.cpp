#include "app/run_loop.h"

#include <windows.h>

#include "app/process_state.h"
#include "host/host_contract.h"
#include "platform/guard.h"
#include "platform/named_objects.h"

namespace sentrova {

namespace {

constexpr DWORD kPassSleepMs = 10;

// The named events the loop watches, opened (or created clear) once per loop.
struct LoopEvents {
  KernelHandle stop;      // TB4Stop, manual reset
  KernelHandle shutdown;  // TB4Shutdown_VRX, automatic reset
};

LoopEvents OpenLoopEvents() {
  LoopEvents events;
  events.stop = OpenOrCreateEvent(kHostStopEvent, true, false, true);
  events.shutdown = OpenOrCreateEvent(kHostShutdownEvent, false, false, true);
  return events;
}

bool Signalled(const KernelHandle& event) {
  return ::WaitForSingleObject(event.get(), 0) == WAIT_OBJECT_0;
}

// One stop test: a missing handle is never a reason to stop. A signalled
// event clears Running for good; the test of the automatic-reset event
// consumes its signal.
bool StopSignalled(const KernelHandle& event) {
  if (!event) return false;
  if (Signalled(event)) State().Running = false;
  return !State().Running;
}

// One pass; false when the loop must end.
bool LoopPass(const LoopEvents& events) {
  if (StopSignalled(events.stop)) return false;
  if (StopSignalled(events.shutdown)) return false;
  // The hidden main window's queue, the configuration refresh, the scanner
  // start and the clean-up schedule join the pass here as they arrive; until
  // then the thread's own queue is kept moving.
  DrainQueue();
  return State().Running;
}

}  // namespace

void DrainQueue() {
  MSG msg;
  while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
}

void RunLoop() {
  LoopEvents events = OpenLoopEvents();
  // An error inside the loop ends it, like a stop request.
  Guarded([&] {
    while (State().Running) {
      if (!LoopPass(events)) break;
      ::Sleep(kPassSleepMs);
    }
  });
}

void StopScanner() {
  // The security scanner thread is started by the loop once the monitor
  // exists; no process has one yet (ProcessState's Scanner stays empty), so
  // there is nothing to signal or wait for.
}

}  // namespace sentrova
