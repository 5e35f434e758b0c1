// ctest: serial
// The Customize Cookies dialog through its real window: made by the program's
// services on this (pumping) thread, opened from a thread that pumps nothing,
// as the host's command is; its rows come from the real WinINet cookie cache
// and the stand-in host's store, which OK writes and Cancel leaves alone.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <wininet.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "app/background.h"
#include "cleanup/cookies_form.h"
#include "host/config.h"
#include "platform/text.h"
#include "state/program_actions.h"
#include "toolkit/message_loop.h"
#include "win/host_test_support.h"

namespace sentrova {
namespace {

using Rows = std::vector<std::string>;
constexpr char kStore[] = "Software\\Quillbox\\TB4";
constexpr char kCaption[] = "Sentrova - Customize Cookies";
const Rows kCookies = {"Cookie:user@alpha.sentrova-test/", "Cookie:other@alpha.sentrova-test/x/",
                       "Cookie:user@beta.sentrova-test/", "Cookie:user@gamma.sentrova-test/"};

template <class Fn>
Fn Wininet(const char* name) {
  static HMODULE module = ::LoadLibraryA("wininet.dll");
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

bool SeedCookie(const std::string& url) {
  char file[MAX_PATH + 1] = {};
  using Create = BOOL(WINAPI*)(LPCSTR, DWORD, LPCSTR, LPSTR, DWORD);
  using Commit =
      BOOL(WINAPI*)(LPCSTR, LPCSTR, FILETIME, FILETIME, DWORD, LPBYTE, DWORD, LPCSTR, LPCSTR);
  return Wininet<Create>("CreateUrlCacheEntryA")(url.c_str(), 0, "txt", file, 0) &&
         test::WriteFileText(file, "id=1\n") &&
         Wininet<Commit>("CommitUrlCacheEntryA")(url.c_str(), file, FILETIME{}, FILETIME{},
                                                 NORMAL_CACHE_ENTRY | COOKIE_CACHE_ENTRY, nullptr,
                                                 0, "txt", nullptr);
}

// The dialog as another thread sees it, opened from that thread.
struct Dialog {
  HWND window = nullptr, list = nullptr, field = nullptr;

  bool Open() {
    ProgramActionSet().ShowCookiesDialog();
    test::WaitFor([&] { return ::IsWindowVisible(window = ::FindWindowA(nullptr, kCaption)); },
                  30000);
    list = ::FindWindowExA(window, nullptr, "obj_SysListView32", nullptr);
    field = ::FindWindowExA(window, nullptr, "obj_EDIT", nullptr);
    return ::IsWindowVisible(window) && list && field;
  }
  HWND Button(const char* caption) const {
    return ::FindWindowExA(window, nullptr, "obj_BUTTON", caption);
  }
  void Click(const char* caption) const { ::SendMessageA(Button(caption), BM_CLICK, 0, 0); }
  bool Enabled(const char* caption) const { return ::IsWindowEnabled(Button(caption)); }
  void Type(const char* text) const {
    ::SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
  }
  int Count() const { return static_cast<int>(::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)); }
  std::string Cell(int row, int column) const {
    char text[260] = {};
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text - 1;
    ::SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return text;
  }
  // The test's own rows (the cache may hold other hosts), as "host:status".
  Rows Own() const {
    Rows rows;
    for (int i = 0; i < Count(); ++i)
      if (LowerAscii(Cell(i, 0)).find(".sentrova-test") != std::string::npos)
        rows.push_back(Cell(i, 0) + ":" + Cell(i, 1));
    return rows;
  }
  void Select(const std::string& host) const {
    LVITEMA item{};
    item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
    for (int i = 0; i < Count(); ++i)
      if (Cell(i, 0) == host)
        ::SendMessageA(list, LVM_SETITEMSTATE, i, reinterpret_cast<LPARAM>(&item));
  }
};

// Ends the pumping thread's wait: the loop looks at `done` after each
// message, so a message must follow the store.
void Finish(std::atomic<bool>& done, DWORD pumping) {
  done = true;
  ::PostThreadMessageA(pumping, WM_NULL, 0, 0);
}

class CookiesForm : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(test::RegisterStandInHost()); }
  void SetUp() override {
    ::RegDeleteTreeA(HKEY_CURRENT_USER, kStore);
    for (const std::string& url : kCookies) ASSERT_TRUE(SeedCookie(url)) << url;
    TConfig().SetStr("UserCookies", "Beta.Sentrova-Test\nkept-only.sentrova-test\n", true);
  }
  void TearDown() override {
    using Delete = BOOL(WINAPI*)(LPCSTR);
    for (const std::string& url : kCookies) Wininet<Delete>("DeleteUrlCacheEntryA")(url.c_str());
    ::RegDeleteTreeA(HKEY_CURRENT_USER, kStore);
  }
  // Makes the dialog on this thread, as the program's main thread does, and
  // pumps it while `user` drives it from another thread.
  template <class User>
  void Drive(User user) {
    TCookiesForm* form = ProgramServices().CreateCookiesForm(nullptr);
    ASSERT_NE(form, nullptr);
    std::atomic<bool> done{false};
    const DWORD pumping = ::GetCurrentThreadId();
    std::thread driver([&] {
      Dialog d;
      user(d);
      Finish(done, pumping);
    });
    RunModalLoop([&] { return done.load(); });
    driver.join();
    delete form;
  }
  ComApartment com_;
};

TEST_F(CookiesForm, EditedRowsAreStoredByOkAndLeftAloneByCancel) {
  Drive([](Dialog& d) {
    EXPECT_TRUE(d.Open());
    EXPECT_EQ(d.Own(), (Rows{"alpha.sentrova-test:Delete", "Beta.Sentrova-Test:Keep",
                             "gamma.sentrova-test:Delete", "kept-only.sentrova-test:Keep"}));
    EXPECT_FALSE(d.Enabled("Keep") || d.Enabled("Delete") || d.Enabled("Add"));
    d.Type("  Delta.SENTROVA-test ");  // trimmed, as typed, where "delta..." sorts
    EXPECT_TRUE(d.Enabled("Add"));
    d.Click("Add");
    d.Type("alpha.sentrova-test");  // the exact name of a row on Delete: nothing added
    d.Click("Add");
    d.Select("gamma.sentrova-test");
    EXPECT_TRUE(d.Enabled("Keep") && !d.Enabled("Delete"));
    d.Click("Keep");
    EXPECT_TRUE(!d.Enabled("Keep") && d.Enabled("Delete"));
    d.Select("kept-only.sentrova-test");
    d.Click("Delete");
    EXPECT_EQ(d.Own(), (Rows{"alpha.sentrova-test:Delete", "Beta.Sentrova-Test:Keep",
                             "Delta.SENTROVA-test:Keep", "gamma.sentrova-test:Keep",
                             "kept-only.sentrova-test:Delete"}));
    d.Click("OK");
    EXPECT_FALSE(::IsWindowVisible(d.window));

    // Opened again: rebuilt from what OK stored; Cancel stores nothing.
    EXPECT_TRUE(d.Open());
    EXPECT_EQ(d.Own(), (Rows{"alpha.sentrova-test:Delete", "Beta.Sentrova-Test:Keep",
                             "Delta.SENTROVA-test:Keep", "gamma.sentrova-test:Keep"}));
    d.Click("Delete All");
    d.Click("Cancel");
    EXPECT_FALSE(::IsWindowVisible(d.window));
  });
  EXPECT_EQ(TConfig().GetStr("UserCookies", -1),
            "Beta.Sentrova-Test\nDelta.SENTROVA-test\ngamma.sentrova-test\n");
}

// A store where the keep-list was never written holds an empty list: every
// row is on Delete, and OK stores the list.
TEST_F(CookiesForm, AKeepListNeverWrittenIsAnEmptyOne) {
  ::RegDeleteTreeA(HKEY_CURRENT_USER, kStore);
  Drive([](Dialog& d) {
    EXPECT_TRUE(d.Open());
    EXPECT_EQ(d.Own(), (Rows{"alpha.sentrova-test:Delete", "beta.sentrova-test:Delete",
                             "gamma.sentrova-test:Delete"}));
    EXPECT_TRUE(d.Enabled("OK"));
    d.Select("beta.sentrova-test");
    d.Click("Keep");
    d.Click("OK");
  });
  EXPECT_EQ(TConfig().GetStr("UserCookies", -1), "beta.sentrova-test\n");
}

// A cookie cache that, while the dialog scans it, moves the mouse over the
// dialog (the dialog is sent WM_SETCURSOR) and notes the cursor then.
struct MouseOverDuringScan final : UrlCacheCalls {
  HCURSOR seen = nullptr;
  bool LibraryFound() override { return true; }
  DWORD FindFirst(const char*, DWORD, uint64_t, void*, DWORD&, HANDLE& find) override {
    find = nullptr;
    HWND dialog = ::FindWindowA(nullptr, kCaption);
    ::SendMessageA(dialog, WM_SETCURSOR, reinterpret_cast<WPARAM>(dialog),
                   MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    seen = ::GetCursor();
    return ERROR_NO_MORE_ITEMS;
  }
  DWORD FindNext(HANDLE, void*, DWORD&) override { return ERROR_NO_MORE_ITEMS; }
  DWORD Delete(const char*) override { return 0; }
  void Close(HANDLE) override {}
};

TEST(CookiesFormScan, TheWaitCursorStaysUntilTheScanEnds) {
  MouseOverDuringScan cache;
  TCookiesForm form(nullptr, nullptr, &cache);
  form.ScanCookieHosts();
  EXPECT_EQ(cache.seen, ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT)));
  EXPECT_EQ(::GetCursor(), ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW)));
}

}  // namespace
}  // namespace sentrova
