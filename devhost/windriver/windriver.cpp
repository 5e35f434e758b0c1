// windriver.exe: drives the program's dialogs from another process, as a
// user would, for the demonstration script. Windows are found by caption.
//   windriver wait CAPTION [MS]      exit 0 once a visible window has the caption
//   windriver gone CAPTION [MS]      exit 0 once no visible window has it
//   windriver click CAPTION BUTTON   presses the button of that caption
//   windriver rows CAPTION           prints the rows of the window's list view
//   windriver table CAPTION          prints every column of them, separated by tabs
//   windriver texts CAPTION          prints the window's static texts
//   windriver untick CAPTION ROW     clears the check box of a list-view row
//   windriver rect CAPTION           prints the window's WxH+X+Y
// A list view belongs to another process, so its item records are placed in
// that process's memory.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "../common/child_window.h"

namespace {

HWND Visible(const char* caption) {
  HWND w = ::FindWindowA(nullptr, caption);
  return w && ::IsWindowVisible(w) ? w : nullptr;
}

bool WaitUntil(bool wantVisible, const char* caption, DWORD ms) {
  const ULONGLONG end = ::GetTickCount64() + ms;
  for (;;) {
    if ((Visible(caption) != nullptr) == wantVisible) return true;
    if (::GetTickCount64() > end) return false;
    ::Sleep(20);
  }
}

// A control found by its caption, or, when a class name is given, the first
// whose class name contains it.
HWND Child(HWND parent, const char* caption, const char* className) {
  if (!className) return devhost::ChildByCaption(parent, caption);
  struct Search {
    const char* className;
    HWND found;
  } s{className, nullptr};
  ::EnumChildWindows(
      parent,
      [](HWND w, LPARAM p) CALLBACK -> BOOL {
        auto* s = reinterpret_cast<Search*>(p);
        char text[256] = {};
        ::GetClassNameA(w, text, sizeof text);
        if (std::string(text).find(s->className) != std::string::npos) s->found = w;
        return s->found == nullptr;
      },
      reinterpret_cast<LPARAM>(&s));
  return s.found;
}

// Memory in the list view's process for one item record and its text.
class Remote {
 public:
  explicit Remote(HWND window) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    process_ = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process_)
      memory_ = static_cast<char*>(
          ::VirtualAllocEx(process_, nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  }
  ~Remote() {
    if (memory_) ::VirtualFreeEx(process_, memory_, 0, MEM_RELEASE);
    if (process_) ::CloseHandle(process_);
  }
  bool ok() const { return memory_ != nullptr; }
  char* at(size_t offset) const { return memory_ + offset; }
  void put(const void* data, size_t size, size_t offset = 0) {
    ::WriteProcessMemory(process_, memory_ + offset, data, size, nullptr);
  }
  void get(void* data, size_t size, size_t offset) {
    ::ReadProcessMemory(process_, memory_ + offset, data, size, nullptr);
  }

 private:
  HANDLE process_ = nullptr;
  char* memory_ = nullptr;
};

constexpr size_t kTextAt = 512;

std::string Cell(HWND list, Remote& remote, int row, int column) {
  LVITEMA item{};
  item.iSubItem = column;
  item.pszText = remote.at(kTextAt);
  item.cchTextMax = 255;
  remote.put(&item, sizeof item);
  char text[256] = {};
  remote.put(text, sizeof text, kTextAt);
  ::SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(remote.at(0)));
  remote.get(text, sizeof text - 1, kTextAt);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const std::string command = argv[1];
  const char* caption = argv[2];
  const DWORD ms = argc > 3 ? static_cast<DWORD>(std::atoi(argv[3])) : 30000;
  if (command == "wait") return WaitUntil(true, caption, ms) ? 0 : 1;
  if (command == "gone") return WaitUntil(false, caption, ms) ? 0 : 1;
  HWND window = Visible(caption);
  if (!window) return 1;
  if (command == "rect") {
    RECT r;
    ::GetWindowRect(window, &r);
    std::printf("%ldx%ld+%ld+%ld\n", r.right - r.left, r.bottom - r.top, r.left, r.top);
    return 0;
  }
  if (command == "click" && argc > 3) {
    HWND button = Child(window, argv[3], nullptr);
    if (!button) return 1;
    ::PostMessageA(button, BM_CLICK, 0, 0);
    return 0;
  }
  if (command == "texts") {
    ::EnumChildWindows(
        window,
        [](HWND child, LPARAM) CALLBACK -> BOOL {
          char text[256] = {};
          ::GetClassNameA(child, text, sizeof text);
          if (std::string(text).find("STATIC") == std::string::npos) return TRUE;
          ::SendMessageA(child, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
          std::printf("%s\n", text);
          return TRUE;
        },
        0);
    return 0;
  }
  HWND list = Child(window, nullptr, "SysListView32");
  if (!list) return 1;
  Remote remote(list);
  if (!remote.ok()) return 3;
  if (command == "rows") {
    const int count = static_cast<int>(::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
      const auto state = ::SendMessageA(list, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK);
      std::printf("[%c] %-16s %-16s %s\n", (state >> 12) == 2 ? 'x' : ' ',
                  Cell(list, remote, row, 1).c_str(), Cell(list, remote, row, 2).c_str(),
                  Cell(list, remote, row, 3).c_str());
    }
    return 0;
  }
  if (command == "table") {
    HWND header = reinterpret_cast<HWND>(::SendMessageA(list, LVM_GETHEADER, 0, 0));
    const int columns = header ? static_cast<int>(::SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 1;
    const int count = static_cast<int>(::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
      std::string line;
      for (int column = 0; column < columns; ++column) {
        if (column > 0) line += '\t';
        line += Cell(list, remote, row, column);
      }
      std::printf("%s\n", line.c_str());
    }
    return 0;
  }
  if (command == "untick" && argc > 3) {
    LVITEMA item{};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(1);
    remote.put(&item, sizeof item);
    ::SendMessageA(list, LVM_SETITEMSTATE, std::atoi(argv[3]),
                   reinterpret_cast<LPARAM>(remote.at(0)));
    return 0;
  }
  return 2;
}
