// Finding a control of another program's window by its caption, as a user
// reads it: the mnemonic mark "&" of a button's caption does not count.
// Shared by the programs that play the user (windriver, the soak driver, the
// monitor soak).
#pragma once

#include <windows.h>

#include <string>

namespace devhost {

inline HWND ChildByCaption(HWND parent, const char* caption) {
  struct Search {
    const char* caption;
    HWND found;
  } search{caption, nullptr};
  ::EnumChildWindows(
      parent,
      [](HWND child, LPARAM p) CALLBACK -> BOOL {
        auto* s = reinterpret_cast<Search*>(p);
        char text[256] = {};
        ::GetWindowTextA(child, text, sizeof text);
        std::string plain(text);
        std::erase(plain, '&');
        if (plain == s->caption) s->found = child;
        return s->found == nullptr;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace devhost
