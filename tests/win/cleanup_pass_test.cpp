// ctest: serial
// The clean-up pass against the real registry, URL cache, files and recycle
// bin of the test prefix, with the stand-in host's configuration service and
// the URL history double; the worker's single-run rule.
#include <windows.h>
#include <shellapi.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "cleanup/clean.h"
#include "cleanup/clean_thread.h"
#include "cleanup/restart_operations.h"
#include "host/config_keys.h"
#include "state/control_objects.h"
#include "win/host_test_support.h"

namespace sentrova {
namespace {

using test::FileExists;
using test::ScratchDir;
using test::WriteFileText;

constexpr char kHistoryServer[] =
    "CLSID\\{3C374A40-BAE4-11CF-BF7D-00AA006946EE}\\InprocServer32";
constexpr char kDoubleKey[] = "Software\\SentrovaTests\\UrlHistoryDouble";
constexpr char kContainer[] = "SentrovaTestContainer";

void SetText(HKEY root, const std::string& key, const char* name, const std::string& text) {
  ::RegSetKeyValueA(root, key.c_str(), name, REG_SZ, text.c_str(),
                    static_cast<DWORD>(text.size() + 1));
}
void SetNumber(const char* name, DWORD value) {
  ::RegSetKeyValueA(HKEY_CURRENT_USER, kDoubleKey, name, REG_DWORD, &value, sizeof value);
}
DWORD Number(const char* name) {
  DWORD value = 0, size = sizeof value;
  ::RegGetValueA(HKEY_CURRENT_USER, kDoubleKey, name, RRF_RT_REG_DWORD, nullptr, &value, &size);
  return value;
}
// Values and subkeys of a key (0 when it is missing).
DWORD Entries(HKEY root, const std::string& key) {
  HKEY k = nullptr;
  if (::RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return 0;
  DWORD subkeys = 0, values = 0;
  ::RegQueryInfoKeyA(k, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                     nullptr, nullptr, nullptr);
  ::RegCloseKey(k);
  return subkeys + values;
}
void SeedKey(const std::string& key, std::initializer_list<const char*> names) {
  for (const char* name : names) SetText(HKEY_CURRENT_USER, key, name, std::string("x") + name);
  SetText(HKEY_CURRENT_USER, key + "\\nested", "v", "x");
}
void AddCacheEntry(const std::string& url) {
  char file[MAX_PATH] = {};
  if (!::CreateUrlCacheEntryA(url.c_str(), 0, "txt", file, 0)) return;
  WriteFileText(file, "cached");
  const DWORD type = url.rfind("Cookie:", 0) == 0 ? COOKIE_CACHE_ENTRY : NORMAL_CACHE_ENTRY;
  ::CommitUrlCacheEntryA(url.c_str(), file, {}, {}, type, nullptr, 0, nullptr, nullptr);
}
bool InCache(const std::string& url) {
  DWORD size = 0;
  ::GetUrlCacheEntryInfoA(url.c_str(), nullptr, &size);
  return ::GetLastError() == ERROR_INSUFFICIENT_BUFFER;
}
std::string TrashFiles() {
  char data[MAX_PATH] = {};
  ::GetEnvironmentVariableA("XDG_DATA_HOME", data, sizeof data);
  std::string path = std::string("Z:") + data + "/Trash/files";
  for (char& c : path) c = c == '/' ? '\\' : c;
  return path;
}

// A registry value put back as it was found.
class SavedValue {
 public:
  SavedValue(HKEY root, std::string key, const char* name)
      : root_(root), key_(std::move(key)), name_(name ? name : "") {
    old_ = test::RegText(root_, key_, name ? name : nullptr);
  }
  ~SavedValue() {
    if (old_) {
      SetText(root_, key_, name_.empty() ? nullptr : name_.c_str(), *old_);
    } else {
      ::RegDeleteKeyValueA(root_, key_.c_str(), name_.empty() ? nullptr : name_.c_str());
    }
  }

 private:
  HKEY root_;
  std::string key_, name_;
  std::optional<std::string> old_;
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
  // Selects exactly the given items; the questions stay away unless asked for.
  void Select(std::initializer_list<std::string> items, bool ask = false) {
    TConfig config;
    for (const char* item : config_keys::kCleanUpItems) {
      config.SetBool(item, std::find(items.begin(), items.end(), item) != items.end(), true);
    }
    config.SetBool(config_keys::kShowCleanCloseIe, !ask, true);
    config.SetBool(config_keys::kShowCleanSchedule, !ask, true);
    config.SetStr(config_keys::kUserCookies, "", true);
  }
  void Pass() { TClean().Run(false); }
  // A history container of the browser, made now, with its folder.
  std::string AddContainer(const ScratchDir& dir) {
    const std::string folder = dir.File("container");
    ::CreateDirectoryA(folder.c_str(), nullptr);
    SetText(HKEY_CURRENT_USER, std::string(clean_keys::kHistoryContainers) + kContainer,
            "CachePath", folder);
    return folder;
  }
  void TearDown() override {
    ::RegDeleteTreeA(HKEY_CURRENT_USER,
                     (std::string(clean_keys::kHistoryContainers) + kContainer).c_str());
    SetText(HKEY_CLASSES_ROOT, kHistoryServer, nullptr, "urlmon.dll");
  }

  ComApartment com_{COINIT_MULTITHREADED};
  SavedValue recent_{HKEY_CURRENT_USER, clean_keys::kShellFolders, "Recent"};
  SavedValue activeX_{HKEY_LOCAL_MACHINE, clean_keys::kInternetSettings, "ActiveXCache"};
  SavedValue handOver_{HKEY_LOCAL_MACHINE, kServiceHandOverKey, kServiceHandOverValue};
};

// Every item with every trace seeded at once: the item's own traces go, all
// the others stay.
TEST_F(CleanPassTest, EachItemRemovesExactlyItsTraces) {
  ScratchDir recent, downloads, downloadsSibling, temp, history, outside;
  const std::string profileKey = std::string(clean_keys::kProtectedStorage) + "\\S-1-5-21-7";
  const std::string handOver = "HKUS\\S-1-5-21-7\\" + profileKey;
  const std::string tempRoot = temp.File("t");
  char oldTemp[MAX_PATH] = {};
  ::GetEnvironmentVariableA("TMP", oldTemp, sizeof oldTemp);

  struct Item {
    const char* name;
    std::function<void()> seed;
    std::function<bool()> present;
  };
  const std::vector<Item> items = {
      {"IE_BAR", [] { SeedKey(clean_keys::kTypedUrls, {"url1", "url2", "url3", ""}); },
       [] { return Entries(HKEY_CURRENT_USER, clean_keys::kTypedUrls) > 0; }},
      {"IE_FILLPASS", [] { SeedKey(clean_keys::kStoredPasswords, {"a", "b", "c"}); },
       [] { return Entries(HKEY_CURRENT_USER, clean_keys::kStoredPasswords) > 0; }},
      {"WIN_RUN", [] { SeedKey(clean_keys::kRunMru, {"a", "b", "MRUList"}); },
       [] { return Entries(HKEY_CURRENT_USER, clean_keys::kRunMru) > 0; }},
      {"WIN_RUN", [] { SeedKey(clean_keys::kSearchBarFiles, {"0", "1"}); },
       [] { return Entries(HKEY_CURRENT_USER, clean_keys::kSearchBarFiles) > 0; }},
      {"WIN_SEARCH", [] { SeedKey(clean_keys::kSearchAssistant, {"a"}); },
       [] { return Entries(HKEY_CURRENT_USER, clean_keys::kSearchAssistant) > 0; }},
      {"WIN_SEARCH", [] { SeedKey(clean_keys::kDocFind, {"0", "MRUList"}); },
       [] { return Entries(HKEY_CURRENT_USER, clean_keys::kDocFind) > 0; }},
      {"IE_TEMP", [] { AddCacheEntry("http://temp.sentrova.test/page"); },
       [] { return InCache("http://temp.sentrova.test/page"); }},
      {"IE_COOKIES", [] { AddCacheEntry("Cookie:user@cookie.sentrova.test/"); },
       [] { return InCache("Cookie:user@cookie.sentrova.test/"); }},
      {"WIN_DOC",
       [&] {
         SetText(HKEY_CURRENT_USER, clean_keys::kShellFolders, "Recent", recent.path());
         WriteFileText(recent.File("doc.lnk"), "r");
       },
       [&] { return FileExists(recent.File("doc.lnk")); }},
      {"WIN_DOWN",
       [&] {
         // Without the trailing backslash: the sibling whose name begins the
         // same must stay.
         std::string folder = downloads.path();
         folder.pop_back();
         SetText(HKEY_LOCAL_MACHINE, clean_keys::kInternetSettings, "ActiveXCache", folder);
         WriteFileText(downloads.File("control.ocx"), "d");
         WriteFileText(folder + "x.ocx", "sibling");
       },
       [&] { return FileExists(downloads.File("control.ocx")); }},
      {"WIN_TEMP",
       [&] {
         ::CreateDirectoryA(tempRoot.c_str(), nullptr);
         ::SetEnvironmentVariableA("TMP", tempRoot.c_str());
         WriteFileText(tempRoot + "\\a.tmp", "t");
       },
       [&] { return FileExists(tempRoot + "\\a.tmp"); }},
      {"WIN_RECYCLE",
       [&] {
         const std::string file = outside.File("binned.txt");
         WriteFileText(file, "b");
         std::string from = file + '\0';
         SHFILEOPSTRUCTA op{};
         op.wFunc = FO_DELETE;
         op.pFrom = from.c_str();
         op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
         ::SHFileOperationA(&op);
       },
       [] { return FileExists(TrashFiles() + "\\binned.txt"); }},
      {"IE_HIST", [&] { AddContainer(history); },
       [&] { return FileExists(history.File("container")); }},
      {"IE_FILLFORM", [&] { SetText(HKEY_CURRENT_USER, profileKey, "v", "x"); },
       [&] {
         return test::RegText(HKEY_LOCAL_MACHINE, kServiceHandOverKey, kServiceHandOverValue) !=
                handOver;
       }},
  };

  for (const Item& chosen : items) {
    SCOPED_TRACE(chosen.name);
    ::RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kServiceHandOverKey, kServiceHandOverValue);
    for (const Item& item : items) item.seed();
    for (const Item& item : items) ASSERT_TRUE(item.present()) << "seeding " << item.name;
    Select({chosen.name});
    Pass();
    for (const Item& item : items) {
      EXPECT_EQ(item.present(), std::string(item.name) != chosen.name) << item.name;
    }
  }
  EXPECT_TRUE(FileExists(downloadsSibling.path()));
  std::string sibling = downloads.path();
  sibling.back() = 'x';
  EXPECT_TRUE(FileExists(sibling + ".ocx"));
  ::DeleteFileA((sibling + ".ocx").c_str());
  EXPECT_EQ(Number("Cleared"), 1u);
  ::SetEnvironmentVariableA("TMP", oldTemp);
  ::RegDeleteTreeA(HKEY_CURRENT_USER, clean_keys::kProtectedStorage);
}

TEST_F(CleanPassTest, TempKeepsPendingPathsAndWhatLinksReach) {
  ScratchDir temp, outside;
  const std::string root = temp.File("t");
  ::CreateDirectoryA(root.c_str(), nullptr);
  char oldTemp[MAX_PATH] = {};
  ::GetEnvironmentVariableA("TMP", oldTemp, sizeof oldTemp);
  ::SetEnvironmentVariableA("TMP", root.c_str());
  for (const char* name : {"plain.tmp", "staged.tmp", "deleted.tmp"}) {
    WriteFileText(root + "\\" + name, name);
  }
  WriteFileText(outside.File("kept.txt"), "outside");
  // A rename staged for the restart (source and target), a deletion.
  ASSERT_TRUE(::MoveFileExA((root + "\\staged.tmp").c_str(), (root + "\\final.tmp").c_str(),
                            MOVEFILE_DELAY_UNTIL_REBOOT));
  ASSERT_TRUE(::MoveFileExA((root + "\\deleted.tmp").c_str(), nullptr, 5));
  Select({"WIN_TEMP"});
  Pass();
  EXPECT_FALSE(FileExists(root + "\\plain.tmp"));
  EXPECT_TRUE(FileExists(root + "\\staged.tmp"));
  EXPECT_TRUE(FileExists(root + "\\deleted.tmp"));
  EXPECT_TRUE(FileExists(outside.File("kept.txt")));
  ::SetEnvironmentVariableA("TMP", oldTemp);
  ::RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kSessionManagerKey, kPendingRenameValue);
}

TEST_F(CleanPassTest, FoldersOutsideTheSelectedPlacesAreRefused) {
  ScratchDir kept;
  WriteFileText(kept.File("mine.txt"), "m");
  char windows[MAX_PATH] = {};
  ::GetWindowsDirectoryA(windows, sizeof windows);
  const std::string relative = "relative";
  for (const std::string& place : {std::string(), relative, std::string("C:\\"),
                                   std::string(windows), kept.path() + "..\\..\\.."}) {
    SetText(HKEY_CURRENT_USER, clean_keys::kShellFolders, "Recent", place);
    Select({"WIN_DOC"});
    Pass();
    EXPECT_TRUE(FileExists(std::string(windows) + "\\win.ini")) << place;
    EXPECT_TRUE(FileExists(kept.File("mine.txt"))) << place;
  }
}

TEST_F(CleanPassTest, KeepListProtectsExactHostsOnly) {
  struct Cookie {
    const char* url;
    bool kept;
  };
  const Cookie cookies[] = {
      {"Cookie:user@kept.sentrova.test/", true},        // exact host
      {"Cookie:user@casekept.sentrova.test/a", true},   // listed in capitals
      {"Cookie:user@sub.kept.sentrova.test/", false},   // a subdomain is not kept
      {"Cookie:user@other.sentrova.test/", false},
  };
  for (const Cookie& c : cookies) AddCacheEntry(c.url);
  // An unreadable list deletes nothing.
  DeleteCookiesExceptKept(std::nullopt);
  for (const Cookie& c : cookies) EXPECT_TRUE(InCache(c.url)) << c.url;
  DeleteCookiesExceptKept(std::string("kept.sentrova.test\nCaseKept.Sentrova.TEST\n"));
  for (const Cookie& c : cookies) EXPECT_EQ(InCache(c.url), c.kept) << c.url;
  DeleteCookiesExceptKept(std::string());
  for (const Cookie& c : cookies) EXPECT_FALSE(InCache(c.url)) << c.url;
}

// The after-restart question through its window: the answer and the box.
TEST_F(CleanPassTest, AfterRestartQuestionWritesWhatTheUserChose) {
  SavedValue hostFlag(HKEY_LOCAL_MACHINE, "Software\\Quillbox", "AFA_DONE");
  SavedValue runOnce(HKEY_LOCAL_MACHINE, kRunOnceKey, kRunOnceValue);
  ::RegSetKeyValueA(HKEY_LOCAL_MACHINE, "Software\\Quillbox", "AFA_DONE", REG_SZ, "1", 2);
  // A window that counts the settings-changed broadcasts.
  std::atomic<int> broadcasts{0};
  std::atomic<HWND> listener{nullptr};
  std::thread pump([&] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = [](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
      if (m == WM_SETTINGCHANGE && wp == 0 && lp == 0) {
        ++*reinterpret_cast<std::atomic<int>*>(::GetWindowLongPtrA(w, GWLP_USERDATA));
      }
      return ::DefWindowProcA(w, m, wp, lp);
    };
    wc.lpszClassName = "SentrovaBroadcastListener";
    ::RegisterClassA(&wc);
    HWND w = ::CreateWindowA(wc.lpszClassName, "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                             nullptr, nullptr);
    ::SetWindowLongPtrA(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&broadcasts));
    listener = w;
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) ::DispatchMessageA(&msg);
    ::DestroyWindow(w);
  });
  ASSERT_TRUE(test::WaitFor([&] { return listener.load() != nullptr; }, 30000));

  struct Answer {
    bool yes, tick;
  };
  for (const Answer answer : {Answer{true, false}, Answer{false, true}}) {
    ScratchDir history;
    AddContainer(history);
    SetNumber("Hold", 1);  // the browser holds its history
    ::RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kRunOnceKey, kRunOnceValue);
    ::Sleep(2100);  // the container's time has a 2-second step
    Select({"IE_HIST"}, true);
    const int before = broadcasts;
    std::thread driver([&] {
      HWND dialog = nullptr;
      test::WaitFor([&] { return (dialog = ::FindWindowA(nullptr, "Sentrova - Clean Up")); },
                    60000);
      if (!dialog) return;
      HWND child = nullptr;
      std::string yesNo = answer.yes ? "Yes" : "No";
      while ((child = ::FindWindowExA(dialog, child, nullptr, nullptr)) != nullptr) {
        char text[128] = {};
        ::GetWindowTextA(child, text, sizeof text);
        const LONG_PTR type = ::GetWindowLongPtrA(child, GWL_STYLE) & BS_TYPEMASK;
        if (answer.tick && type == BS_AUTOCHECKBOX) ::SendMessageA(child, BM_CLICK, 0, 0);
      }
      while ((child = ::FindWindowExA(dialog, child, nullptr, nullptr)) != nullptr) {
        char text[128] = {};
        ::GetWindowTextA(child, text, sizeof text);
        if (std::string(text).find(yesNo) != std::string::npos) {
          ::SendMessageA(child, BM_CLICK, 0, 0);
          return;
        }
      }
    });
    TClean().Run(true);
    driver.join();
    EXPECT_EQ(test::RegText(HKEY_LOCAL_MACHINE, kRunOnceKey, kRunOnceValue).has_value(),
              answer.yes);
    if (answer.yes) {
      EXPECT_EQ(test::RegText(HKEY_LOCAL_MACHINE, kRunOnceKey, kRunOnceValue),
                AfterRestartCommand());
    }
    EXPECT_EQ(TConfig().GetBool(config_keys::kShowCleanSchedule, 0), answer.tick);
    EXPECT_TRUE(test::WaitFor([&] { return broadcasts > before; }, 30000));
  }
  ::PostMessageA(listener, WM_QUIT, 0, 0);
  pump.join();
}

// Two workers at once: one pass. The first one's busy sign waits until the
// second has given up on the run mutex.
TEST_F(CleanPassTest, TwoRequestsAtOnceMakeOnePass) {
  Select({});
  class Sign final : public BusyIndicator {
   public:
    void ShowBusy() override {
      ++busy;
      test::WaitFor([&] { return finished.load() == 1; }, 60000);
    }
    void ShowIdle() override {
      ++idle;
      // The sign goes back while the run mutex is still held (probe: 0).
      const test::ChildResult probe = test::RunAndWait(
          test::Quoted(test::BinDir() + "sentrova_probe.exe") + " mutex VRX_Run_Clean_Mtx", 60000);
      heldAtIdle = probe.started && probe.finished && probe.exitCode == 0;
    }
    std::atomic<int> busy{0}, idle{0}, finished{0};
    std::atomic<bool> heldAtIdle{false};
  };
  auto sign = std::make_shared<Sign>();
  std::atomic<int> passes{0};
  auto worker = [&] {
    if (RunCleanWorker(false, sign)) ++passes;
    ++sign->finished;
  };
  std::thread a(worker), b(worker);
  a.join();
  b.join();
  EXPECT_EQ(passes, 1);
  EXPECT_EQ(sign->busy, 1);
  EXPECT_EQ(sign->idle, 1);
  EXPECT_TRUE(sign->heldAtIdle);

  // A run mutex abandoned by a process that ended while holding it counts
  // as free.
  const test::ChildResult holder = test::RunAndWait(
      test::Quoted(test::BinDir() + "sentrova_probe.exe") + " abandon VRX_Run_Clean_Mtx", 60000);
  ASSERT_TRUE(holder.finished);
  EXPECT_TRUE(RunCleanWorker(false, nullptr));
}

}  // namespace
}  // namespace sentrova
