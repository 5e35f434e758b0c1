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
#include "platform/com.h"
#include "platform/text.h"
#include "state/program_actions.h"
#include "toolkit/message_loop.h"
#include "win/host_test_support.h"

namespace sentrova {
namespace {

using CreateEntryFn = BOOL(WINAPI*)(LPCSTR, DWORD, LPCSTR, LPSTR, DWORD);
using CommitEntryFn = BOOL(WINAPI*)(LPCSTR, LPCSTR, FILETIME, FILETIME, DWORD, LPBYTE, DWORD,
                                    LPCSTR, LPCSTR);
using DeleteFn = BOOL(WINAPI*)(LPCSTR);

constexpr char kStore[] = "Software\\Quillbox\\TB4";
constexpr char kCaption[] = "Sentrova - Customize Cookies";
const std::vector<std::string> kCookies = {
    "Cookie:user@alpha.sentrova-test/", "Cookie:other@alpha.sentrova-test/shop/",
    "Cookie:user@beta.sentrova-test/", "Cookie:user@gamma.sentrova-test/"};

HMODULE Wininet() {
  static HMODULE module = ::LoadLibraryA("wininet.dll");
  return module;
}
template <class Fn>
Fn Api(const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(Wininet(), name)));
}

bool SeedCookie(const std::string& url) {
  char file[MAX_PATH + 1] = {};
  if (!Api<CreateEntryFn>("CreateUrlCacheEntryA")(url.c_str(), 0, "txt", file, 0)) return false;
  if (!test::WriteFileText(file, "id=1\n")) return false;
  const FILETIME modified{0xC0000000u, 0x01D4A5E0u};
  return Api<CommitEntryFn>("CommitUrlCacheEntryA")(url.c_str(), file, FILETIME{}, modified,
                                                    NORMAL_CACHE_ENTRY | COOKIE_CACHE_ENTRY,
                                                    nullptr, 0, "txt", nullptr) != FALSE;
}

std::string StoredKeepList() {
  ComApartment com;
  return TConfig().GetStr("UserCookies", -1);
}

// The dialog's controls as another thread sees them.
struct Dialog {
  HWND window = nullptr;
  HWND list = nullptr;
  HWND field = nullptr;

  HWND Button(const char* caption) const {
    return ::FindWindowExA(window, nullptr, "obj_BUTTON", caption);
  }
  void Click(const char* caption) const { ::SendMessageA(Button(caption), BM_CLICK, 0, 0); }
  bool Enabled(const char* caption) const { return ::IsWindowEnabled(Button(caption)) != FALSE; }
  std::string Cell(int row, int column) const {
    char text[260] = {};
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text - 1;
    ::SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return text;
  }
  int Rows() const { return static_cast<int>(::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0)); }
  // The test's rows in list order, as "host:status".
  std::vector<std::string> OwnRows() const {
    std::vector<std::string> rows;
    for (int i = 0; i < Rows(); ++i) {
      const std::string host = Cell(i, 0);
      if (LowerAscii(host).find(".sentrova-test") != std::string::npos)
        rows.push_back(host + ":" + Cell(i, 1));
    }
    return rows;
  }
  int RowOf(const std::string& host) const {
    for (int i = 0; i < Rows(); ++i)
      if (Cell(i, 0) == host) return i;
    return -1;
  }
  void Select(const std::string& host) const {
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageA(list, LVM_SETITEMSTATE, RowOf(host), reinterpret_cast<LPARAM>(&item));
  }
  void Type(const char* text) const {
    ::SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
  }
};

// Asks for the dialog from this thread, as the host's command does, and
// waits until it is shown.
bool OpenDialog(Dialog& d) {
  ProgramActionSet().ShowCookiesDialog();
  if (!test::WaitFor([&] {
        d.window = ::FindWindowA(nullptr, kCaption);
        return d.window != nullptr && ::IsWindowVisible(d.window);
      }, 30000)) {
    return false;
  }
  d.list = ::FindWindowExA(d.window, nullptr, "obj_SysListView32", nullptr);
  d.field = ::FindWindowExA(d.window, nullptr, "obj_EDIT", nullptr);
  return d.list != nullptr && d.field != nullptr;
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
    for (const std::string& url : kCookies) Api<DeleteFn>("DeleteUrlCacheEntryA")(url.c_str());
    ::RegDeleteTreeA(HKEY_CURRENT_USER, kStore);
  }
  ComApartment com_;
};

TEST_F(CookiesForm, EditedRowsAreStoredByOkAndLeftAloneByCancel) {
  TCookiesForm* form = ProgramServices().CreateCookiesForm(nullptr);
  ASSERT_NE(form, nullptr);
  std::atomic<bool> done{false};
  std::string afterOk, afterCancel;
  std::thread driver([&] {
    struct Done {
      std::atomic<bool>& flag;
      ~Done() { flag = true; }
    } finish{done};
    Dialog d;
    ASSERT_TRUE(OpenDialog(d));
    EXPECT_EQ(d.OwnRows(), (std::vector<std::string>{
                               "alpha.sentrova-test:Delete", "Beta.Sentrova-Test:Keep",
                               "gamma.sentrova-test:Delete", "kept-only.sentrova-test:Keep"}));
    EXPECT_FALSE(d.Enabled("Keep"));
    EXPECT_FALSE(d.Enabled("Delete"));
    EXPECT_FALSE(d.Enabled("Add"));

    // Blanks and capitals: trimmed, as typed, where its lower-cased form sorts.
    d.Type("  Delta.SENTROVA-test ");
    EXPECT_TRUE(d.Enabled("Add"));
    d.Click("Add");
    // The exact name of a row on Delete: nothing is added.
    d.Type("alpha.sentrova-test");
    const int before = d.Rows();
    d.Click("Add");
    EXPECT_EQ(d.Rows(), before);
    EXPECT_EQ(d.OwnRows(), (std::vector<std::string>{
                               "alpha.sentrova-test:Delete", "Beta.Sentrova-Test:Keep",
                               "Delta.SENTROVA-test:Keep", "gamma.sentrova-test:Delete",
                               "kept-only.sentrova-test:Keep"}));

    d.Select("gamma.sentrova-test");
    EXPECT_TRUE(d.Enabled("Keep"));
    EXPECT_FALSE(d.Enabled("Delete"));
    d.Click("Keep");
    EXPECT_EQ(d.Cell(d.RowOf("gamma.sentrova-test"), 1), "Keep");
    EXPECT_FALSE(d.Enabled("Keep"));
    EXPECT_TRUE(d.Enabled("Delete"));
    d.Select("kept-only.sentrova-test");
    d.Click("Delete");
    d.Click("OK");
    EXPECT_FALSE(::IsWindowVisible(d.window));
    afterOk = StoredKeepList();

    // Opened again, the rows are rebuilt from the stored list; Cancel
    // stores nothing.
    ASSERT_TRUE(OpenDialog(d));
    EXPECT_EQ(d.Cell(d.RowOf("Delta.SENTROVA-test"), 1), "Keep");
    EXPECT_EQ(d.RowOf("kept-only.sentrova-test"), -1);
    d.Click("Delete All");
    d.Click("Cancel");
    EXPECT_FALSE(::IsWindowVisible(d.window));
    afterCancel = StoredKeepList();
  });
  RunModalLoop([&] { return done.load(); });
  driver.join();
  delete form;
  EXPECT_EQ(afterOk, "Beta.Sentrova-Test\nDelta.SENTROVA-test\ngamma.sentrova-test\n");
  EXPECT_EQ(afterCancel, afterOk);
  EXPECT_EQ(::FindWindowA(nullptr, kCaption), nullptr);
}

}  // namespace
}  // namespace sentrova
