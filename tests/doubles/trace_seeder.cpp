// Plants and lists traces of browsing for the clean-up demonstration
// (scripts/demo/cleanup.sh), in whichever prefix it runs. Commands:
//   cache URL...          add committed URL-cache entries ("Cookie:user@host/"
//                         makes a cookie)
//   cache-list            print the URL of every cache entry, one a line
//   recycle FILE          send a file to the recycle bin
//   defer FILE            schedule the file's deletion at the next restart
//   hold FILE SECONDS     keep the file open, shared with nobody, for a while
//   window CAPTION S      wait at most S seconds for a visible window
//   click CAPTION TEXT    press the button TEXT (without "&") of that window
#include <windows.h>
#include <shellapi.h>
#include <wininet.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "cache") {
    for (int i = 2; i < argc; ++i) {
      char file[MAX_PATH] = {};
      if (!::CreateUrlCacheEntryA(argv[i], 0, "txt", file, 0)) return 3;
      HANDLE h = ::CreateFileA(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
      DWORD written = 0;
      ::WriteFile(h, "trace", 5, &written, nullptr);
      ::CloseHandle(h);
      const bool cookie = std::string(argv[i]).rfind("Cookie:", 0) == 0;
      ::CommitUrlCacheEntryA(argv[i], file, {}, {},
                             cookie ? COOKIE_CACHE_ENTRY : NORMAL_CACHE_ENTRY, nullptr, 0,
                             nullptr, nullptr);
    }
    return 0;
  }
  if (command == "cache-list") {
    std::vector<char> buffer(4096);
    DWORD size = static_cast<DWORD>(buffer.size());
    auto* entry = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(buffer.data());
    HANDLE find = ::FindFirstUrlCacheEntryA(nullptr, entry, &size);
    if (find == nullptr) return 0;
    do {
      std::printf("%s\n", entry->lpszSourceUrlName);
      size = static_cast<DWORD>(buffer.size());
    } while (::FindNextUrlCacheEntryA(find, entry, &size));
    ::FindCloseUrlCache(find);
    return 0;
  }
  if (command == "recycle" && argc == 3) {
    std::string from = std::string(argv[2]) + '\0';
    SHFILEOPSTRUCTA op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    return ::SHFileOperationA(&op) == 0 ? 0 : 3;
  }
  if (command == "defer" && argc == 3) {
    return ::MoveFileExA(argv[2], nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) ? 0 : 3;
  }
  if (command == "hold" && argc == 4) {
    HANDLE file = ::CreateFileA(argv[2], GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 3;
    ::Sleep(static_cast<DWORD>(std::atoi(argv[3])) * 1000);
    ::CloseHandle(file);
    return 0;
  }
  if (command == "window" && argc == 4) {
    for (int i = 0; i < std::atoi(argv[3]) * 10; ++i) {
      HWND window = ::FindWindowA(nullptr, argv[2]);
      if (window != nullptr && ::IsWindowVisible(window)) return 0;
      ::Sleep(100);
    }
    return 3;
  }
  if (command == "click" && argc == 4) {
    HWND window = ::FindWindowA(nullptr, argv[2]);
    for (HWND child = nullptr;
         window && (child = ::FindWindowExA(window, child, nullptr, nullptr)) != nullptr;) {
      char text[256] = {};
      ::GetWindowTextA(child, text, sizeof text);
      std::string plain;
      for (const char* c = text; *c; ++c) {
        if (*c != '&') plain.push_back(*c);
      }
      if (plain == argv[3]) {
        ::SendMessageA(child, BM_CLICK, 0, 0);
        return 0;
      }
    }
    return 3;
  }
  std::fprintf(stderr, "usage: trace_seeder cache URL...|cache-list|recycle F|defer F|hold F S|window C S|click C T\n");
  return 2;
}
