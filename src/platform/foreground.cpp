#include "platform/foreground.h"

namespace sentrova {

namespace {

// Systems since Windows 98 and 2000 refuse SetForegroundWindow to a process
// that is not in the foreground.
bool HasForegroundLock() {
  OSVERSIONINFOA v{};
  v.dwOSVersionInfoSize = sizeof v;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!::GetVersionExA(&v)) return true;
#pragma GCC diagnostic pop
  if (v.dwPlatformId == VER_PLATFORM_WIN32_NT) return v.dwMajorVersion > 4;
  if (v.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS)
    return v.dwMajorVersion > 4 || (v.dwMajorVersion == 4 && v.dwMinorVersion > 0);
  return false;
}

}  // namespace

bool ForceForegroundWindow(HWND window) {
  if (!window || !::IsWindow(window)) return false;
  if (::IsIconic(window)) ::ShowWindow(window, SW_RESTORE);
  if (::GetForegroundWindow() == window) return true;

  if (HasForegroundLock()) {
    const DWORD foregroundThread = ::GetWindowThreadProcessId(::GetForegroundWindow(), nullptr);
    const DWORD windowThread = ::GetWindowThreadProcessId(window, nullptr);
    bool done = false;
    if (foregroundThread && ::AttachThreadInput(windowThread, foregroundThread, TRUE)) {
      ::BringWindowToTop(window);
      ::SetForegroundWindow(window);
      ::AttachThreadInput(windowThread, foregroundThread, FALSE);
      done = ::GetForegroundWindow() == window;
    }
    if (!done) {
      DWORD timeout = 0;
      ::SystemParametersInfoA(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &timeout, 0);
      ::SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, SPIF_SENDCHANGE);
      ::BringWindowToTop(window);
      ::SetForegroundWindow(window);
      ::SystemParametersInfoA(SPI_SETFOREGROUNDLOCKTIMEOUT, 0,
                              reinterpret_cast<void*>(static_cast<ULONG_PTR>(timeout)),
                              SPIF_SENDCHANGE);
    }
  } else {
    ::BringWindowToTop(window);
    ::SetForegroundWindow(window);
  }
  return ::GetForegroundWindow() == window;
}

}  // namespace sentrova
