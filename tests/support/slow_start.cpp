// sentrova.exe with a slow start: the same program and resources, whose
// start-up stops for a while right after the class objects are registered,
// where a slow machine or a cold disk would make the program wait. Before it
// stops it sets the event named kSlowStartRegisteredEvent, so that a test
// can call in while the rest of the start-up is still to come.
#include <windows.h>

#include "app/startup.h"
#include "support/slow_start.h"

namespace {

class SlowAfterRegistration final : public sentrova::StartWatcher {
 public:
  void Reached(sentrova::StartPoint point) override {
    if (point != sentrova::StartPoint::kClassObjectsRegistered) return;
    HANDLE event = ::CreateEventA(nullptr, TRUE, FALSE, sentrova::test::kSlowStartRegisteredEvent);
    if (event != nullptr) ::SetEvent(event);
    ::Sleep(sentrova::test::kSlowStartPauseMs);
    if (event != nullptr) ::CloseHandle(event);
  }
};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  SlowAfterRegistration watcher;
  return sentrova::RunProgram(commandLine != nullptr ? commandLine : "", &watcher);
}
