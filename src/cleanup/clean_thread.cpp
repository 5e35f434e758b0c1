#include "cleanup/clean_thread.h"

#include <windows.h>

#include <optional>
#include <thread>

#include "cleanup/clean.h"
#include "platform/guard.h"
#include "platform/handle.h"
#include "state/control_objects.h"
#include "state/process_state.h"

namespace sentrova {

namespace {

constexpr DWORD kRunMutexWaitMs = 100;

// Runs the pass with COM for this thread; uninitialises only what it
// initialised. The pass's report when it ran.
std::optional<CleanReport> RunPass(bool interactive) {
  std::optional<CleanReport> report;
  const HRESULT com = ::CoInitializeEx(nullptr, COINIT_MULTITHREADED | COINIT_SPEED_OVER_MEMORY);
  Guarded([&] {
    TClean clean;
    State().CleanInProgress = true;
    clean.Run(interactive);
    if (clean.Ran()) report = clean.Report();
  });
  if (SUCCEEDED(com)) ::CoUninitialize();
  return report;
}

}  // namespace

bool RunCleanWorker(bool interactive, const std::shared_ptr<BusyIndicator>& busy) noexcept {
  return GuardedOr(false, [&] {
    KernelHandle mutex = OpenControlObject(kRunCleanMutex);
    if (!mutex) return false;
    const DWORD wait = ::WaitForSingleObject(mutex.get(), kRunMutexWaitMs);
    // A mutex abandoned by a worker whose process was killed mid-pass is
    // ours now.
    if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) return false;
    if (busy) Guarded([&] { busy->ShowBusy(); });
    std::optional<CleanReport> report;
    Guarded([&] { report = RunPass(interactive); });
    State().CleanInProgress = false;
    if (busy && report) Guarded([&] { busy->CleanUpEnded(LastCleanLine(*report)); });
    // The sign goes back before the mutex is free: a request in between would
    // otherwise remember the busy sign as the one to restore.
    if (busy) Guarded([&] { busy->ShowIdle(); });
    ::ReleaseMutex(mutex.get());
    return true;
  });
}

void StartCleanThread(bool interactive, std::shared_ptr<BusyIndicator> busy) noexcept {
  Guarded([&] {
    std::thread([interactive, busy = std::move(busy)]() noexcept {
      RunCleanWorker(interactive, busy);
    }).detach();
  });
}

}  // namespace sentrova
