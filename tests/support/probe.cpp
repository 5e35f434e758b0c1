// A small second process for the Windows tests: it does one thing that a
// test wants to see done from another process and answers in its exit code
// (or a file). Commands:
//   event NAME                open-or-create NAME asking for a manual-reset,
//                             signalled event; exit 1 when it was signalled
//                             on arrival, else 0; then set it (exit 3 on failure)
//   mutex NAME                open-or-create NAME and try to own it at once:
//                             exit 1 when owned, 0 when another holds it
//   abandon NAME              own the mutex NAME and end without releasing it
//   facts FILE                write the process facts, one per line, to FILE
//   shell-folders NAME        write NAME.desktop to the Desktop folder and
//                             NAME.documents to Documents, and send
//                             NAME.deleted to the recycle bin
//   tray-click CLASS          post a right-click on the tray icon (id 1) of the
//                             top-level window of CLASS, as the shell does;
//                             exit 0 once a popup menu shows (10 s), else 1
//   menu-pick N               choose the Nth item of the popup menu that shows
//                             (N presses of the down key, then Enter); 1: no menu
//   hold LIST EVENT           open every file named in LIST (UTF-8, one a line)
//                             without delete sharing, write LIST.ready, and keep
//                             them open until the event EVENT is set (10 min at most)
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdlib>
#include <string>
#include <vector>

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
  if (command == "abandon") {  // own the mutex and end without releasing it
    KernelHandle mutex = OpenOrCreateMutex(argv[2], true);
    return mutex && ::WaitForSingleObject(mutex.get(), 0) == WAIT_OBJECT_0 ? 0 : 3;
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
  if (command == "shell-folders") {
    auto writeTo = [](int folder, const std::string& name) {
      char path[MAX_PATH] = {};
      if (FAILED(::SHGetFolderPathA(nullptr, folder | CSIDL_FLAG_CREATE, nullptr, 0, path)))
        return std::string();
      const std::string file = std::string(path) + "\\" + name;
      HANDLE h = ::CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
      if (h == INVALID_HANDLE_VALUE) return std::string();
      ::CloseHandle(h);
      return file;
    };
    const std::string name = argv[2];
    if (writeTo(CSIDL_DESKTOPDIRECTORY, name + ".desktop").empty() ||
        writeTo(CSIDL_PERSONAL, name + ".documents").empty())
      return 3;
    std::string doomed = writeTo(CSIDL_PERSONAL, name + ".deleted");
    if (doomed.empty()) return 3;
    doomed.push_back('\0');  // the operation takes a double-NUL-terminated list
    SHFILEOPSTRUCTA op{};
    op.wFunc = FO_DELETE;
    op.pFrom = doomed.c_str();
    op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    return ::SHFileOperationA(&op) == 0 ? 0 : 4;
  }
  if (command == "hold" && argc >= 4) {
    HANDLE list = ::CreateFileA(argv[2], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    if (list == INVALID_HANDLE_VALUE) return 3;
    std::string text(1 << 20, '\0');
    DWORD read = 0;
    ::ReadFile(list, text.data(), DWORD(text.size()), &read, nullptr);
    ::CloseHandle(list);
    text.resize(read);
    std::vector<HANDLE> held;
    for (size_t start = 0, end; start < text.size(); start = end + 1) {
      end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      const std::string line = text.substr(start, end - start);
      if (line.empty()) continue;
      std::wstring path(::MultiByteToWideChar(CP_UTF8, 0, line.data(), int(line.size()), nullptr, 0), L'\0');
      ::MultiByteToWideChar(CP_UTF8, 0, line.data(), int(line.size()), path.data(), int(path.size()));
      if (path.size() >= 240) path = L"\\\\?\\" + path;
      held.push_back(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr));
    }
    for (HANDLE h : held) {
      if (h == INVALID_HANDLE_VALUE) return 4;
    }
    HANDLE release = ::OpenEventA(SYNCHRONIZE, FALSE, argv[3]);
    const std::string ready = std::string(argv[2]) + ".ready";
    ::CloseHandle(::CreateFileA(ready.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (release) ::WaitForSingleObject(release, 600000);
    for (HANDLE h : held) ::CloseHandle(h);
    return 0;
  }
  if (command == "tray-click" || command == "menu-pick") {
    auto openMenu = [] {
      for (int i = 0; i < 1000; ++i) {
        HWND menu = ::FindWindowA("#32768", nullptr);
        if (menu && ::IsWindowVisible(menu)) return menu;
        ::Sleep(10);
      }
      return HWND{};
    };
    if (command == "tray-click") {
      HWND window = ::FindWindowA(argv[2], nullptr);
      if (!window) return 3;
      constexpr UINT kTrayCallback = 0xB008;
      ::PostMessageA(window, kTrayCallback, 1, WM_RBUTTONDOWN);
      ::PostMessageA(window, kTrayCallback, 1, WM_RBUTTONUP);
      return openMenu() ? 0 : 1;
    }
    HWND menu = openMenu();
    if (!menu) return 1;
    for (int i = std::atoi(argv[2]); i > 0; --i) ::PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
    ::PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
    return 0;
  }
  return 2;
}
