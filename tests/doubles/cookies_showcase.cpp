// Shows the Customize Cookies dialog with a few rows, for
// scripts/take-screenshots.sh: cookies_showcase.exe [seconds]. Seeds cookies
// of four hosts in the prefix's URL cache, keeps two hosts on a keep-list held
// in memory, opens the dialog, selects a row and types an address; removes
// the cookies and ends the given time (default 8 s) later.
#include <windows.h>
#include <wininet.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "cleanup/cookies_form.h"
#include "platform/com.h"
#include "toolkit/message_loop.h"

namespace {

const char* const kCookies[] = {"Cookie:user@shop.example.com/", "Cookie:user@news.example.org/",
                                "Cookie:user@tracker.ads.example/", "Cookie:user@www.example.net/"};

using CreateEntryFn = BOOL(WINAPI*)(LPCSTR, DWORD, LPCSTR, LPSTR, DWORD);
using CommitEntryFn = BOOL(WINAPI*)(LPCSTR, LPCSTR, FILETIME, FILETIME, DWORD, LPBYTE, DWORD,
                                    LPCSTR, LPCSTR);
using DeleteFn = BOOL(WINAPI*)(LPCSTR);

class MemoryStore final : public sentrova::KeepListStore {
 public:
  std::optional<std::string> Read() override { return text_; }
  bool Write(const std::string& text) override {
    text_ = text;
    return true;
  }

 private:
  std::string text_ = "shop.example.com\nBank.Example\n";
};

}  // namespace

int main(int argc, char** argv) {
  sentrova::ComApartment apartment;
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 8;
  HMODULE wininet = ::LoadLibraryA("wininet.dll");
  auto create = reinterpret_cast<CreateEntryFn>(
      reinterpret_cast<void*>(::GetProcAddress(wininet, "CreateUrlCacheEntryA")));
  auto commit = reinterpret_cast<CommitEntryFn>(
      reinterpret_cast<void*>(::GetProcAddress(wininet, "CommitUrlCacheEntryA")));
  auto remove = reinterpret_cast<DeleteFn>(
      reinterpret_cast<void*>(::GetProcAddress(wininet, "DeleteUrlCacheEntryA")));
  if (create == nullptr || commit == nullptr || remove == nullptr) return 1;
  for (const char* url : kCookies) {
    char file[MAX_PATH + 1] = {};
    if (!create(url, 0, "txt", file, 0)) continue;
    std::ofstream(file) << "id=1\n";
    commit(url, file, FILETIME{}, FILETIME{}, NORMAL_CACHE_ENTRY | COOKIE_CACHE_ENTRY, nullptr, 0,
           "txt", nullptr);
  }
  {
    sentrova::TCookiesForm form(nullptr, std::make_unique<MemoryStore>());
    form.Open();
    const std::string selected = "news.example.org";
    for (int row = 0; row < static_cast<int>(form.Rows().Rows().size()); ++row) {
      if (form.Rows().Rows()[static_cast<size_t>(row)].host == selected) {
        const HWND list =
            ::FindWindowExA(form.Window()->Handle(), nullptr, "obj_SysListView32", nullptr);
        ::SetFocus(list);
        sentrova::TControl::FromHandle(list)->SelectRow(row);
      }
    }
    const HWND field = ::FindWindowExA(form.Window()->Handle(), nullptr, "obj_EDIT", nullptr);
    ::SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("www.my-bank.example"));
    const DWORD end = ::GetTickCount() + static_cast<DWORD>(seconds) * 1000;
    sentrova::RunModalLoop([&] { return static_cast<LONG>(::GetTickCount() - end) >= 0; });
  }
  for (const char* url : kCookies) remove(url);
  return 0;
}
