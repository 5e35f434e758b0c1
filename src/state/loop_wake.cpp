#include "state/loop_wake.h"

namespace sentrova {

namespace {

std::atomic<DWORD> loopThread{0};

}  // namespace

HANDLE RunLoopWakeEvent() {
  // Never closed: the wake may come from a COM thread while the process ends.
  static const HANDLE event = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
  return event;
}

void WakeRunLoop() {
  if (::GetCurrentThreadId() == loopThread.load()) return;
  if (HANDLE event = RunLoopWakeEvent()) ::SetEvent(event);
}

void SetRunLoopThread(DWORD threadId) { loopThread = threadId; }

}  // namespace sentrova
