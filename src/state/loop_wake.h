// Waking the main loop. The main thread blocks between passes until one of
// its events, a window message or its next due time arrives; a thread that
// changes a flag the loop acts on (Running, HostReady, Enabled, MainWindow)
// must wake it, or the change waits for the next unrelated wake. The flags of
// ProcessState that the loop watches are WakingFlags, which do this on every
// store; WakeRunLoop is for anything else.
#pragma once

#include <windows.h>

#include <atomic>

namespace sentrova {

// Sets the loop's private wake event (unnamed, automatic reset). A call from
// the loop's own thread does nothing: that thread looks at the flags again
// before it blocks.
void WakeRunLoop();

// The wake event the loop waits on; created on first use, never closed. Null
// only when the system could not create it.
HANDLE RunLoopWakeEvent();

// The thread running the loop (0 while none), which WakeRunLoop skips.
void SetRunLoopThread(DWORD threadId);

// An atomic value that wakes the main loop whenever it is stored. Reads are
// plain atomic loads.
template <class T>
class WakingFlag {
 public:
  constexpr WakingFlag() noexcept = default;
  constexpr explicit WakingFlag(T value) noexcept : value_(value) {}
  WakingFlag(const WakingFlag&) = delete;
  WakingFlag& operator=(const WakingFlag&) = delete;

  T load(std::memory_order order = std::memory_order_seq_cst) const noexcept {
    return value_.load(order);
  }
  operator T() const noexcept { return value_.load(); }
  void store(T value) noexcept {
    value_.store(value);
    WakeRunLoop();
  }
  T operator=(T value) noexcept {
    store(value);
    return value;
  }
  T exchange(T value) noexcept {
    T old = value_.exchange(value);
    WakeRunLoop();
    return old;
  }

 private:
  std::atomic<T> value_{};
};

}  // namespace sentrova
