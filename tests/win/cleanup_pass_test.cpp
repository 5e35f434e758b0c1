// ctest: serial
// The clean-up pass against the real registry, URL cache, files and recycle
// bin of the test prefix, with the stand-in host's configuration service and
// the URL history double; the worker's single-run rule.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <functional>
#include <thread>
#include <tuple>
#include <vector>

#include "cleanup/clean.h"
#include "cleanup/clean_report.h"
#include "cleanup/clean_thread.h"
#include "cleanup/restart_operations.h"
#include "host/config_keys.h"
#include "doubles/automation_bases.h"
#include "win/host_test_support.h"

namespace sentrova {
namespace {

using test::FileExists;
using test::ScratchDir;
using test::WriteFileText;

constexpr char kHistoryServer[] = "CLSID\\{3C374A40-BAE4-11CF-BF7D-00AA006946EE}\\InprocServer32";
constexpr char kDoubleKey[] = "Software\\SentrovaTests\\UrlHistoryDouble";
const std::string kContainer = std::string(clean_keys::kHistoryContainers) + "SentrovaTest";

void SetText(HKEY root, const std::string& key, const char* name, const std::string& text) {
  ::RegSetKeyValueA(root, key.c_str(), name, REG_SZ, text.c_str(), DWORD(text.size() + 1));
}
DWORD DoubleNumber(const char* name) {
  DWORD value = 0, size = sizeof value;
  ::RegGetValueA(HKEY_CURRENT_USER, kDoubleKey, name, RRF_RT_REG_DWORD, nullptr, &value, &size);
  return value;
}
// Values and subkeys of an HKCU key (0 when it is missing).
DWORD Entries(const std::string& key) {
  HKEY k = nullptr;
  if (::RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return 0;
  DWORD subkeys = 0, values = 0;
  ::RegQueryInfoKeyA(k, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                     nullptr, nullptr, nullptr);
  ::RegCloseKey(k);
  return subkeys + values;
}
void AddCacheEntry(const std::string& url, DWORD type = 0) {
  char file[MAX_PATH] = {};
  if (!::CreateUrlCacheEntryA(url.c_str(), 0, "txt", file, 0)) return;
  WriteFileText(file, "cached");
  if (type == 0) type = url.rfind("Cookie:", 0) == 0 ? COOKIE_CACHE_ENTRY : NORMAL_CACHE_ENTRY;
  ::CommitUrlCacheEntryA(url.c_str(), file, {}, {}, type, nullptr, 0, nullptr, nullptr);
}
bool InCache(const std::string& url) {
  DWORD size = 0;
  ::GetUrlCacheEntryInfoA(url.c_str(), nullptr, &size);
  return ::GetLastError() == ERROR_INSUFFICIENT_BUFFER;
}
// Sends a file to the recycle bin; true when it went.
bool Recycle(const std::string& path) {
  const std::string from = path + '\0';
  SHFILEOPSTRUCTA op{nullptr, FO_DELETE, from.c_str()};
  op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
  return ::SHFileOperationA(&op) == 0;
}
std::string TrashFile(const std::string& name) {
  char data[MAX_PATH] = {};
  ::GetEnvironmentVariableA("XDG_DATA_HOME", data, sizeof data);
  std::string path = std::string("Z:") + data + "/Trash/files/" + name;
  for (char& c : path) c = c == '/' ? '\\' : c;
  return path;
}

// A registry value (of any type), or the TMP variable, put back as found.
struct SavedValue {
  SavedValue(HKEY root, std::string key, const char* name, REGSAM view = 0)
      : root(root), key(std::move(key)), name(name), view(view) {
    HKEY k = nullptr;
    if (::RegOpenKeyExA(root, this->key.c_str(), 0, KEY_QUERY_VALUE | view, &k) != 0) return;
    length = sizeof data;
    found = ::RegQueryValueExA(k, name, nullptr, &type, data, &length) == 0;
    ::RegCloseKey(k);
  }
  ~SavedValue() {
    HKEY k = nullptr;
    if (::RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, &k,
                          nullptr) != 0)
      return;
    if (found) ::RegSetValueExA(k, name, 0, type, data, length);
    if (!found) ::RegDeleteValueA(k, name);
    ::RegCloseKey(k);
  }
  HKEY root;
  std::string key;
  const char* name;
  REGSAM view;
  bool found = false;
  DWORD type = 0, length = 0;
  BYTE data[2048] = {};
};
// The value the pass hands to the host's service, in the host's 32-bit view.
void DeleteHandOver() {
  HKEY k = nullptr;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kServiceHandOverKey, 0, KEY_SET_VALUE | KEY_WOW64_32KEY,
                      &k) != 0)
    return;
  ::RegDeleteValueA(k, kServiceHandOverValue);
  ::RegCloseKey(k);
}
struct SavedTemp {
  SavedTemp() { ::GetEnvironmentVariableA("TMP", old, sizeof old); }
  ~SavedTemp() { ::SetEnvironmentVariableA("TMP", old); }
  char old[MAX_PATH] = {};
};

// Answers the pass's question on another thread while `pass` runs: ticks the
// do-not-ask-again box when told to, then clicks Yes or No. True when a
// question showed.
bool AnswerDuring(const std::function<void()>& pass, bool yes, bool tick) {
  std::atomic<bool> done{false}, asked{false};
  std::thread driver([&] {
    HWND dialog = nullptr;
    test::WaitFor([&] {
      dialog = ::FindWindowA(nullptr, "Sentrova - Clean Up");
      return (dialog && ::IsWindowVisible(dialog)) || done;
    }, 60000);
    if (!dialog || !::IsWindowVisible(dialog)) return;
    asked = true;
    HWND button = nullptr;
    for (HWND child = nullptr; (child = ::FindWindowExA(dialog, child, 0, 0));) {
      char text[64] = {};
      ::GetWindowTextA(child, text, sizeof text);
      if (tick && (::GetWindowLongPtrA(child, GWL_STYLE) & BS_TYPEMASK) == BS_AUTOCHECKBOX)
        ::SendMessageA(child, BM_CLICK, 0, 0);
      if (std::string(text).find(yes ? "Yes" : "No") != std::string::npos) button = child;
    }
    if (button) ::SendMessageA(button, BM_CLICK, 0, 0);
    if (!button) ::PostMessageA(dialog, WM_CLOSE, 0, 0);  // never hang the pass
  });
  pass();
  done = true;
  driver.join();
  return asked;
}

// An Internet Explorer window of the shell window collection; closing it
// does nothing.
struct IeWindow final : test::WebBrowserBase {
  STDMETHODIMP get_FullName(BSTR* name) override {
    *name = ::SysAllocString(L"C:\\Program Files\\Internet Explorer\\iexplore.exe");
    return S_OK;
  }
};

// Browser windows as the pass counts them.
struct OpenWindows final : test::ShellWindowsBase {
  explicit OpenWindows(LONG n) : n(n) {}
  STDMETHODIMP get_Count(LONG* count) override {
    *count = n;
    return S_OK;
  }
  STDMETHODIMP Item(VARIANT index, IDispatch** item) override {
    *item = nullptr;
    if (index.vt != VT_I4 || index.lVal < 0 || index.lVal >= n) return S_FALSE;
    *item = new IeWindow;
    return S_OK;
  }
  LONG n;
};

class CleanPassTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_TRUE(test::RegisterStandInHost()); }
  void SetUp() override {
    // The URL history service is the double for these tests.
    SetText(HKEY_CLASSES_ROOT, kHistoryServer, nullptr, test::BinDir() + "url_history_double.dll");
    SetText(HKEY_CLASSES_ROOT, kHistoryServer, "ThreadingModel", "Both");
    ::RegDeleteTreeA(HKEY_CURRENT_USER, kDoubleKey);
  }
  void TearDown() override {
    ::RegDeleteTreeA(HKEY_CURRENT_USER, kContainer.c_str());
    SetText(HKEY_CLASSES_ROOT, kHistoryServer, nullptr, "urlmon.dll");
  }
  // Selects exactly the given item; the questions stay away unless asked for.
  void Select(const std::string& only, bool ask = false) {
    TConfig config;
    for (const char* item : config_keys::kCleanUpItems) config.SetBool(item, item == only, true);
    config.SetBool(config_keys::kShowCleanCloseIe, !ask, true);
    config.SetBool(config_keys::kShowCleanSchedule, !ask, true);
    config.SetStr(config_keys::kUserCookies, "", true);
  }
  // A history container of the browser, made now.
  void AddContainer(const std::string& folder) {
    ::CreateDirectoryA(folder.c_str(), nullptr);
    SetText(HKEY_CURRENT_USER, kContainer, "CachePath", folder);
  }

  ComApartment com_{COINIT_MULTITHREADED};
  SavedValue recent_{HKEY_CURRENT_USER, clean_keys::kShellFolders, "Recent"};
  SavedValue activeX_{HKEY_LOCAL_MACHINE, clean_keys::kInternetSettings, "ActiveXCache"};
  SavedValue handOver_{HKEY_LOCAL_MACHINE, kServiceHandOverKey, kServiceHandOverValue,
                       KEY_WOW64_32KEY};
  SavedTemp temp_;
};

// Every trace of every item seeded at once: the selected item's traces go,
// all the others stay.
TEST_F(CleanPassTest, EachItemRemovesExactlyItsTraces) {
  ScratchDir recent, downloads, temp, history, outside;
  const std::string storage = std::string(clean_keys::kProtectedStorage) + "\\S-1-5-21-7";
  std::string activeX = downloads.path();
  activeX.pop_back();  // as stored, without a trailing backslash
  struct Item {
    std::string name;
    std::function<void()> seed;
    std::function<bool()> present;
  };
  std::vector<Item> items;
  for (const auto& [item, key] : {std::pair{"IE_BAR", clean_keys::kTypedUrls},
                                  {"IE_FILLPASS", clean_keys::kStoredPasswords},
                                  {"WIN_RUN", clean_keys::kRunMru},
                                  {"WIN_RUN", clean_keys::kSearchBarFiles},
                                  {"WIN_SEARCH", clean_keys::kSearchAssistant},
                                  {"WIN_SEARCH", clean_keys::kDocFind}}) {
    const std::string k = key;
    items.push_back({item,
                     [k] {
                       for (const char* v : {"", "a", "b", "c", "MRUList"}) SetText(HKEY_CURRENT_USER, k, v, v);
                       SetText(HKEY_CURRENT_USER, k + "\\nested", "v", "x");
                     },
                     [k] { return Entries(k) > 0; }});
  }
  auto file = [](std::string path) {
    return Item{"", [path] { WriteFileText(path, "trace"); }, [path] { return FileExists(path); }};
  };
  auto cache = [](std::string url) {
    return Item{"", [url] { AddCacheEntry(url); }, [url] { return InCache(url); }};
  };
  auto named = [](const char* name, Item item) { item.name = name; return item; };
  items.push_back(named("IE_TEMP", cache("http://temp.sentrova.test/page")));
  items.push_back(named("IE_COOKIES", cache("Cookie:user@cookie.sentrova.test/")));
  items.push_back(named("WIN_DOC", file(recent.File("doc.lnk"))));
  items.push_back(named("WIN_DOWN", file(downloads.File("control.ocx"))));
  items.push_back(named("WIN_TEMP", file(temp.File("a.tmp"))));
  items.push_back({"WIN_RECYCLE",
                   [&] {
                     WriteFileText(outside.File("binned.txt"), "b");
                     Recycle(outside.File("binned.txt"));
                   },
                   [] { return FileExists(TrashFile("binned.txt")); }});
  items.push_back({"IE_HIST", [&] { AddContainer(history.File("c")); },
                   [&] { return FileExists(history.File("c")); }});
  items.push_back({"IE_FILLFORM", [&] { SetText(HKEY_CURRENT_USER, storage, "v", "x"); }, [&] {
                     return test::RegText(HKEY_LOCAL_MACHINE, kServiceHandOverKey,
                                          kServiceHandOverValue, KEY_WOW64_32KEY) !=
                            "HKUS\\S-1-5-21-7\\" + storage;
                   }});
  SetText(HKEY_CURRENT_USER, clean_keys::kShellFolders, "Recent", recent.path());
  SetText(HKEY_LOCAL_MACHINE, clean_keys::kInternetSettings, "ActiveXCache", activeX);
  ::SetEnvironmentVariableA("TMP", temp.path().c_str());
  WriteFileText(activeX + "x.ocx", "a sibling whose name begins the same");

  for (const Item& chosen : items) {
    SCOPED_TRACE(chosen.name);
    DeleteHandOver();
    for (const Item& item : items) item.seed();
    for (const Item& item : items) ASSERT_TRUE(item.present()) << "seeding " << item.name;
    Select(chosen.name);
    TClean().Run(false);
    for (const Item& item : items) EXPECT_EQ(item.present(), item.name != chosen.name) << item.name;
  }
  EXPECT_TRUE(FileExists(activeX + "x.ocx"));
  EXPECT_EQ(DoubleNumber("Cleared"), 1u);
  ::DeleteFileA((activeX + "x.ocx").c_str());
  ::RegDeleteTreeA(HKEY_CURRENT_USER, clean_keys::kProtectedStorage);
}

// Traces of every item, as the demonstration plants them, with what must
// stay: a kept cookie, a file that a pending operation names and a link out
// of Temp. The preview counts exactly what the pass then removes and
// reports, item by item, and removes nothing itself.
TEST_F(CleanPassTest, PreviewCountsWhatThePassRemoves) {
  ScratchDir recent, downloads, temp, outside;
  std::string activeX = downloads.path();
  activeX.pop_back();
  SetText(HKEY_CURRENT_USER, clean_keys::kShellFolders, "Recent", recent.path());
  SetText(HKEY_LOCAL_MACHINE, clean_keys::kInternetSettings, "ActiveXCache", activeX);
  ::SetEnvironmentVariableA("TMP", temp.path().c_str());
  Select("");
  TConfig config;
  for (const char* item : config_keys::kCleanUpItems) config.SetBool(item, true, true);
  config.SetStr(config_keys::kUserCookies, "kept.sentrova.test", true);
  TClean().Run(false);  // what earlier tests left in the cache and the bin

  const std::string storage = std::string(clean_keys::kProtectedStorage) + "\\S-1-5-21-7";
  for (const char* url : {"http://a.test/", "http://bb.test/"})
    SetText(HKEY_CURRENT_USER, clean_keys::kTypedUrls, url + 7, url);
  SetText(HKEY_CURRENT_USER, clean_keys::kStoredPasswords, "pw", "123");
  SetText(HKEY_CURRENT_USER, storage + "\\Data", "form", "stored form");
  SetText(HKEY_CURRENT_USER, clean_keys::kRunMru, "a", "notepad");
  SetText(HKEY_CURRENT_USER, std::string(clean_keys::kSearchAssistant) + "\\5603", "0", "photos");
  for (const char* url : {"http://a.test/", "http://b.test/", "http://c.test/"})
    SetText(HKEY_CURRENT_USER, std::string(kDoubleKey) + "\\Urls", url, "");  // the history
  for (const char* url : {"http://temp.sentrova.test/page", "Cookie:user@kept.sentrova.test/",
                          "Cookie:user@gone.sentrova.test/"})
    AddCacheEntry(url);  // 6 bytes each
  WriteFileText(recent.File("doc.lnk"), "12345");
  WriteFileText(downloads.File("control.ocx"), "123");
  WriteFileText(outside.File("binned.txt"), "1234");
  ASSERT_TRUE(Recycle(outside.File("binned.txt")));
  ::CreateDirectoryA(temp.File("session").c_str(), nullptr);
  WriteFileText(temp.File("session\\page.tmp"), "1234567");
  WriteFileText(temp.File("pending.tmp"), "pending");
  ASSERT_TRUE(::MoveFileExA(temp.File("pending.tmp").c_str(), nullptr, 5));  // at the restart
  WriteFileText(outside.File("target.txt"), "not in Temp");
  // Under Wine the link stays (it cannot be opened as itself) and counts
  // nothing; what it leads to is never counted.
  const std::string target = outside.path().substr(0, outside.path().size() - 1);
  test::FolderLink link(temp.File("link-to-outside"), target);
  ASSERT_TRUE(link.IsLink());

  using Row = std::tuple<std::string, uint64_t, uint64_t>;
  auto rows = [](const CleanReport& report) {
    std::vector<Row> rows;
    for (const ItemTally& item : report.items) rows.emplace_back(item.key, item.count, item.bytes);
    return rows;
  };
  const std::vector<Row> planted = {
      {"IE_BAR", 2, 15 + 16}, {"IE_HIST", 3, 0},   {"IE_TEMP", 1, 6},     {"IE_FILLPASS", 1, 4},
      {"IE_FILLFORM", 1, 12}, {"IE_COOKIES", 1, 6}, {"WIN_DOC", 1, 5},    {"WIN_DOWN", 1, 3},
      {"WIN_RUN", 1, 8},      {"WIN_SEARCH", 1, 7}, {"WIN_RECYCLE", 1, 4}, {"WIN_TEMP", 1, 7}};
  TClean preview;
  EXPECT_EQ(rows(preview.Preview()), planted);
  TClean().Run(false);
  const std::optional<CleanReport> stored = DecodeCleanReport(config.GetStr(kLastCleanKey, -1));
  ASSERT_TRUE(stored);
  EXPECT_EQ(rows(*stored), planted);
  // All went but the stored forms, which wait for the host's service.
  for (const Row& row : rows(preview.Preview())) {
    const bool forms = std::get<0>(row) == "IE_FILLFORM";
    EXPECT_EQ(std::get<1>(row) + std::get<2>(row), forms ? 13u : 0u) << std::get<0>(row);
  }
  EXPECT_TRUE(InCache("Cookie:user@kept.sentrova.test/"));
  EXPECT_TRUE(FileExists(temp.File("pending.tmp")));
  EXPECT_TRUE(FileExists(outside.File("target.txt")));
  DeleteCookiesExceptKept(std::string());
  ::RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kSessionManagerKey, kPendingRenameValue);
  ::RegDeleteTreeA(HKEY_CURRENT_USER, clean_keys::kProtectedStorage);
}

TEST_F(CleanPassTest, TempKeepsEveryPathThatAPendingOperationNames) {
  ScratchDir temp;
  ::SetEnvironmentVariableA("TMP", temp.path().c_str());
  for (const char* name : {"plain.tmp", "staged.tmp", "deleted.tmp"}) {
    WriteFileText(temp.File(name), name);
  }
  ASSERT_TRUE(::MoveFileExA(temp.File("staged.tmp").c_str(), temp.File("final.tmp").c_str(),
                            MOVEFILE_DELAY_UNTIL_REBOOT));
  ASSERT_TRUE(::MoveFileExA(temp.File("deleted.tmp").c_str(), nullptr, 5));
  Select("WIN_TEMP");
  TClean().Run(false);
  EXPECT_FALSE(FileExists(temp.File("plain.tmp")));
  EXPECT_TRUE(FileExists(temp.File("staged.tmp")));
  EXPECT_TRUE(FileExists(temp.File("deleted.tmp")));
  ::RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kSessionManagerKey, kPendingRenameValue);
}

// The places a damaged registry or environment may name: each is refused
// with everything in it.
TEST_F(CleanPassTest, ProtectedPlacesAreRefused) {
  char windows[MAX_PATH] = {}, documents[MAX_PATH] = {}, local[MAX_PATH] = {};
  ::GetWindowsDirectoryA(windows, sizeof windows);
  ::SHGetFolderPathA(nullptr, CSIDL_PERSONAL, nullptr, 0, documents);
  ::SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, local);
  const struct {
    const char* item;
    std::string folder, sentinel;
  } places[] = {{"WIN_DOC", windows, "win.ini"},
                {"WIN_DOC", documents, "sentrova-sentinel.txt"},
                {"WIN_TEMP", local, "sentrova-sentinel.txt"}};
  for (const auto& place : places) {
    SCOPED_TRACE(place.folder);
    const std::string sentinel = place.folder + "\\" + place.sentinel;
    if (!FileExists(sentinel)) ASSERT_TRUE(WriteFileText(sentinel, "keep"));
    SetText(HKEY_CURRENT_USER, clean_keys::kShellFolders, "Recent", place.folder);
    ::SetEnvironmentVariableA("TMP", place.folder.c_str());
    Select(place.item);
    TClean().Run(false);
    EXPECT_TRUE(FileExists(sentinel));
  }
  ::DeleteFileA((std::string(documents) + "\\sentrova-sentinel.txt").c_str());
  ::DeleteFileA((std::string(local) + "\\sentrova-sentinel.txt").c_str());
}

// A store where the keep-list was never written: every cookie goes.
TEST_F(CleanPassTest, NoKeepListStoredDeletesEveryCookie) {
  const std::string cookie = "Cookie:user@fresh.sentrova.test/";
  AddCacheEntry(cookie);
  Select("IE_COOKIES");
  ASSERT_EQ(::RegDeleteKeyValueA(HKEY_CURRENT_USER, "Software\\Quillbox\\TB4\\Config\\VRX",
                                 config_keys::kUserCookies),
            ERROR_SUCCESS);
  TClean().Run(false);
  EXPECT_FALSE(InCache(cookie));
}

// Cookies belong to the cookie item: the temporary files leave them, also
// those stored the browser's way, as normal entries with the cookie bit.
TEST_F(CleanPassTest, TemporaryFilesLeaveCookies) {
  const std::string page = "http://page.sentrova.test/", cookie = "Cookie:user@kept.sentrova.test/";
  AddCacheEntry(page);
  AddCacheEntry(cookie, NORMAL_CACHE_ENTRY | COOKIE_CACHE_ENTRY);
  Select("IE_TEMP");
  TClean().Run(false);
  EXPECT_FALSE(InCache(page));
  EXPECT_TRUE(InCache(cookie));
  DeleteCookiesExceptKept(std::string());
}

TEST_F(CleanPassTest, APassWhileAnotherRunsDoesNothing) {
  ScratchDir temp;
  ::SetEnvironmentVariableA("TMP", temp.path().c_str());
  WriteFileText(temp.File("a.tmp"), "a");
  Select("WIN_TEMP");
  HANDLE other = ::CreateMutexA(nullptr, FALSE, kCleanMutexName);
  TConfig().SetStr(kLastCleanKey, "", true);
  TClean().Run(false);
  EXPECT_TRUE(FileExists(temp.File("a.tmp")));
  EXPECT_EQ(TConfig().GetStr(kLastCleanKey, -1), "");  // no report of a pass that did not run
  ::CloseHandle(other);
  TClean().Run(false);
  EXPECT_FALSE(FileExists(temp.File("a.tmp")));
}

TEST(WipeRegistryKey, RemovesEveryValueAndSubkeyAndKeepsTheKey) {
  const std::string key = "Software\\SentrovaTests\\Wipe", sibling = key + "Sibling";
  for (const char* value : {"", "one", "two", "MRUList"}) SetText(HKEY_CURRENT_USER, key, value, "v");
  for (const char* sub : {"\\a", "\\a\\deeper\\deepest", "\\b", "\\c"}) {
    SetText(HKEY_CURRENT_USER, key + sub, "x", "v");
    SetText(HKEY_CURRENT_USER, key + sub, nullptr, "v");
  }
  SetText(HKEY_CURRENT_USER, sibling, "stays", "v");
  ASSERT_EQ(Entries(key), 7u);
  WipeRegistryKey(HKEY_CURRENT_USER, key);
  EXPECT_TRUE(test::RegKeyExists(HKEY_CURRENT_USER, key));
  EXPECT_EQ(Entries(key), 0u);
  EXPECT_EQ(Entries(sibling), 1u);
  ::RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
  ::RegDeleteTreeA(HKEY_CURRENT_USER, sibling.c_str());
}

TEST_F(CleanPassTest, KeepListProtectsExactHostsOnly) {
  const std::pair<const char*, bool> cookies[] = {
      {"Cookie:user@kept.sentrova.test/", true},       // exact host
      {"Cookie:user@casekept.sentrova.test/a", true},  // listed in capitals
      {"Cookie:user@sub.kept.sentrova.test/", false},  // a subdomain is not kept
      {"Cookie:user@other.sentrova.test/", false},
  };
  for (const auto& [url, kept] : cookies) AddCacheEntry(url);
  DeleteCookiesExceptKept(std::nullopt);  // an unreadable list deletes nothing
  for (const auto& [url, kept] : cookies) EXPECT_TRUE(InCache(url)) << url;
  DeleteCookiesExceptKept(std::string("kept.sentrova.test\nCaseKept.Sentrova.TEST\n"));
  for (const auto& [url, kept] : cookies) EXPECT_EQ(InCache(url), kept) << url;
  DeleteCookiesExceptKept(std::string());
  for (const auto& [url, kept] : cookies) EXPECT_FALSE(InCache(url)) << url;
}

// The after-restart question through its window: the answer and the box,
// then the settings-changed broadcast.
TEST_F(CleanPassTest, AfterRestartQuestionWritesWhatTheUserChose) {
  test::HostFlag hostFlag;
  SavedValue runOnce(HKEY_LOCAL_MACHINE, kRunOnceKey, kRunOnceValue);
  test::HostFlag::Set(1);
  static std::atomic<int> broadcasts{0};
  std::atomic<HWND> listener{nullptr};
  std::thread pump([&] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = [](HWND w, UINT m, WPARAM wp, LPARAM lp) CALLBACK -> LRESULT {
      if (m == WM_SETTINGCHANGE && wp == 0 && lp == 0) ++broadcasts;
      return ::DefWindowProcA(w, m, wp, lp);
    };
    wc.lpszClassName = "SentrovaBroadcastListener";
    ::RegisterClassA(&wc);
    listener = ::CreateWindowA(wc.lpszClassName, "", WS_POPUP, 0, 0, 1, 1, 0, 0, 0, 0);
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) ::DispatchMessageA(&msg);
  });
  ASSERT_TRUE(test::WaitFor([&] { return listener.load() != nullptr; }, 30000));

  for (const auto& [yes, tick] : {std::pair{true, false}, {false, true}}) {
    ScratchDir history;
    AddContainer(history.File("c"));
    ::RegSetKeyValueA(HKEY_CURRENT_USER, kDoubleKey, "Hold", REG_DWORD, "\1\0\0\0", 4);
    ::RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kRunOnceKey, kRunOnceValue);
    ::Sleep(2100);  // the container's time has a 2-second step
    Select("IE_HIST", true);
    const int before = broadcasts;
    EXPECT_TRUE(AnswerDuring([] { TClean().Run(true); }, yes, tick));
    EXPECT_EQ(test::RegText(HKEY_LOCAL_MACHINE, kRunOnceKey, kRunOnceValue),
              yes ? std::optional(AfterRestartCommand()) : std::nullopt);
    EXPECT_EQ(TConfig().GetBool(config_keys::kShowCleanSchedule, 0), tick);
    EXPECT_TRUE(test::WaitFor([&] { return broadcasts > before; }, 30000));
  }
  ::PostMessageA(listener, WM_QUIT, 0, 0);
  pump.join();
}

// What brings up the close-browser question, and its box stores the flag
// whatever the answer.
TEST_F(CleanPassTest, CloseBrowserQuestion) {
  test::HostFlag hostFlag;
  test::HostFlag::Set(1);
  const struct {
    bool interactive, bar, history;
    LONG windows;
    bool neverAsk, asked, yes, tick;
  } rows[] = {
      {true, true, false, 2, false, true, false, true},   // typed addresses: asked; No, ticked
      {true, false, true, 1, false, true, true, true},    // history: asked; Yes, ticked
      {true, true, true, 1, false, true, false, false},   // No, box left alone
      {false, true, true, 2, false, false, false, false}, // a scheduled pass never asks
      {true, false, false, 2, false, false, false, false},// neither item selected
      {true, true, true, 0, false, false, false, false},  // no browser window open
      {true, true, true, 2, true, false, false, false},   // SHOW_CLEAN_CLOSEIE set
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(::testing::Message() << "interactive " << row.interactive << " bar " << row.bar
                                      << " history " << row.history << " windows "
                                      << row.windows << " never ask " << row.neverAsk);
    Select("");
    TConfig config;
    config.SetBool("IE_BAR", row.bar, true);
    config.SetBool("IE_HIST", row.history, true);
    config.SetBool(config_keys::kShowCleanCloseIe, row.neverAsk, true);
    const bool asked = AnswerDuring([&] {
      TClean(CreateHostService(), ComPtr<IShellWindows>::Attach(new OpenWindows(row.windows)))
          .Run(row.interactive);
    }, row.yes, row.tick);
    EXPECT_EQ(asked, row.asked);
    EXPECT_EQ(config.GetBool(config_keys::kShowCleanCloseIe, 0), row.neverAsk || row.tick);
  }
}

// A hundred requests within a second: one pass. The first worker's busy sign
// waits until every other one has given up on the run mutex.
TEST_F(CleanPassTest, AHundredRequestsAtOnceMakeOnePass) {
  constexpr int kRequests = 100;
  Select("");
  const std::string probe = test::Quoted(test::BinDir() + "sentrova_probe.exe");
  struct Sign final : BusyIndicator {
    explicit Sign(std::string probe) : probe(std::move(probe)) {}
    void ShowBusy() override {
      ++busy;
      test::WaitFor([&] { return finished.load() == kRequests - 1; }, 60000);
    }
    void ShowIdle() override {
      // The sign goes back while the run mutex is still held (probe: 0).
      const test::ChildResult r = test::RunAndWait(probe + " mutex VRX_Run_Clean_Mtx", 60000);
      heldAtIdle = r.started && r.finished && r.exitCode == 0;
    }
    void CleanUpEnded(const std::string& line) override {
      ended += line.rfind("Last clean-up: ", 0) == 0;
    }
    std::string probe;
    std::atomic<int> busy{0}, finished{0}, ended{0};
    std::atomic<bool> heldAtIdle{false};
  };
  auto sign = std::make_shared<Sign>(probe);
  std::atomic<int> passes{0};
  auto worker = [&] {
    if (RunCleanWorker(false, sign)) ++passes;
    ++sign->finished;
  };
  std::vector<std::thread> requests;
  for (int i = 0; i < kRequests; ++i) requests.emplace_back(worker);
  for (std::thread& request : requests) request.join();
  EXPECT_EQ(passes, 1);
  EXPECT_EQ(sign->busy, 1);
  EXPECT_EQ(sign->ended, 1);
  EXPECT_TRUE(sign->heldAtIdle);
  // A run mutex abandoned by a process that ended holding it counts as free.
  ASSERT_TRUE(test::RunAndWait(probe + " abandon VRX_Run_Clean_Mtx", 60000).finished);
  EXPECT_TRUE(RunCleanWorker(false, nullptr));
}

}  // namespace
}  // namespace sentrova
