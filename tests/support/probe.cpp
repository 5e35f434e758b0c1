// A small second process for the Windows tests: it does one thing that a
// test wants to see done from another process and answers in its exit code
// (or a file). Commands:
//   event NAME                open-or-create NAME asking for a manual-reset,
//                             signalled event; exit 1 when it was signalled
//                             on arrival, else 0; then set it (exit 3 on failure)
//   mutex NAME                open-or-create NAME and try to own it at once:
//                             exit 1 when owned, 0 when another holds it
//   facts FILE                write the process facts, one per line, to FILE
#include <windows.h>

#include <string>

#include "platform/named_objects.h"
#include "platform/system_facts.h"

using namespace sentrova;

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const std::string command = argv[1];
  if (command == "event") {
    KernelHandle event = OpenOrCreateEvent(argv[2], true, true, true);
    if (!event) return 3;
    const bool wasSignalled = ::WaitForSingleObject(event.get(), 0) == WAIT_OBJECT_0;
    if (!::SetEvent(event.get())) return 3;
    return wasSignalled ? 1 : 0;
  }
  if (command == "mutex") {
    KernelHandle mutex = OpenOrCreateMutex(argv[2], true);
    if (!mutex) return 3;
    const DWORD rc = ::WaitForSingleObject(mutex.get(), 0);
    if (rc == WAIT_OBJECT_0 || rc == WAIT_ABANDONED) {
      ::ReleaseMutex(mutex.get());
      return 1;
    }
    return 0;
  }
  if (command == "facts") {
    const std::string text = ProgramFileName() + "\n" + ProgramShortPath() + "\n" +
                             ProgramDirectory() + "\n" + WindowsDirectory() + "\n" +
                             std::to_string(OsKind()) + "\n" + (IsNtPlatform() ? "1" : "0") +
                             "\n";
    HANDLE file = ::CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 3;
    DWORD written = 0;
    ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    ::CloseHandle(file);
    return 0;
  }
  return 2;
}
