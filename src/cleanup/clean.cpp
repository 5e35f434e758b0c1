#include "cleanup/clean.h"

#include <shellapi.h>
#include <shlobj.h>
#include <urlhist.h>

#include <algorithm>

#include "branding/translate.h"
#include "cleanup/after_restart.h"
#include "cleanup/clean_places.h"
#include "cleanup/cookie_keep_list.h"
#include "cleanup/ie_cache.h"
#include "cleanup/restart_operations.h"
#include "dialogs/ask_question.h"
#include "dialogs/browser_windows.h"
#include "host/config_keys.h"
#include "platform/date_time_win.h"
#include "platform/guard.h"
#include "platform/handle.h"
#include "platform/registry.h"
#include "platform/system_facts.h"
#include "platform/text.h"
#include "state/control_objects.h"

namespace sentrova {

namespace {

constexpr long kItemDefault = -1;  // the call default of every read of the pass
constexpr DWORD kCloseWaitMs = 2000;
// Every top-level window gets the settings-changed notice and up to a second
// to answer it; a hung one is skipped at once.
constexpr UINT kBroadcastTimeoutMs = 1000;
constexpr char kTitle[] = "Sentrova - Clean Up";
constexpr char kUserDataContainer[] = "UserData";
constexpr char kCachePathValue[] = "CachePath";

// {3C374A40-BAE4-11CF-BF7D-00AA006946EE}: the URL history service.
constexpr CLSID kUrlHistoryClass = {
    0x3C374A40, 0xBAE4, 0x11CF, {0xBF, 0x7D, 0x00, 0xAA, 0x00, 0x69, 0x46, 0xEE}};

struct Question {
  const char* heading;
  const char* lines[3];  // joined as first + " " + second + CR LF CR LF + third
  const char* picture;
};

constexpr Question kCloseBrowsersQuestion = {
    "Close all running Internet Explorer windows?",
    {"You want to clean up items that may be locked in Internet Explorer.",
     "If you will not close Internet Explorer, the clean up might fail.",
     "Do you want to close all running Internet Explorer windows?"},
    "ASKCLOSEIE"};

constexpr Question kAfterRestartQuestion = {
    "Perform clean up after restart?",
    {"Clean up was not performed completely because of some items locked in Internet Explorer.",
     "The clean up could be performed successfully after you restart your computer.",
     "Do you want to schedule clean up to be performed after restart of your computer?"},
    "ASKSCHEDULE"};

// Asks one of the pass's questions; `ticked` comes back true when the user
// ticked the do-not-ask-again box.
bool Ask(const Question& question, bool& ticked) {
  const std::string body = TranslateText(question.lines[0]) + " " +
                           TranslateText(question.lines[1]) + "\r\n\r\n" +
                           TranslateText(question.lines[2]);
  ticked = false;
  return AskQuestionSimple(TranslateText(kTitle), TranslateText(question.heading), body, "",
                           question.picture, ticked);
}

struct ValueEntry {
  std::string name;
  DWORD bytes;  // the size of its data
};

// The values under an open key, gathered whole before anyone deletes.
std::vector<ValueEntry> ValueEntries(HKEY key) {
  std::vector<ValueEntry> values;
  char name[16384];
  for (DWORD index = 0;; ++index) {
    DWORD length = sizeof name;
    DWORD bytes = 0;
    const LONG rc = ::RegEnumValueA(key, index, name, &length, nullptr, nullptr, nullptr, &bytes);
    if (rc == ERROR_MORE_DATA) continue;
    if (rc != ERROR_SUCCESS) break;
    values.push_back(ValueEntry{std::string(name, length), bytes});
  }
  return values;
}

std::vector<std::string> SubkeyNames(HKEY key) {
  std::vector<std::string> names;
  char name[256];
  for (DWORD index = 0;; ++index) {
    DWORD length = sizeof name;
    const LONG rc =
        ::RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_MORE_DATA) continue;
    if (rc != ERROR_SUCCESS) break;
    names.emplace_back(name, length);
  }
  return names;
}

std::string WithBackslash(std::string path) {
  if (!path.empty() && path.back() != '\\') path.push_back('\\');
  return path;
}

std::string LongFormOf(const std::string& path) {
  char buffer[MAX_PATH + 1] = {};
  const DWORD n = ::GetLongPathNameA(path.c_str(), buffer, sizeof buffer);
  return n == 0 || n >= sizeof buffer ? path : std::string(buffer, n);
}

// Cookies belong to the cookie item and its keep-list: the browser stores
// them as normal entries with the cookie bit, which the temporary files'
// filter matches.
bool IsCookieEntry(const TEntryInfo& entry) {
  return (entry.CacheEntryType & FilterOptionFlag(TFilterOption::COOKIE_ENTRY)) != 0 ||
         StartsWithNoCase(entry.SourceUrlName, "Cookie:");
}

// Adds the values of the key `path` below `parent`, and of every key below
// it, to the tally.
void TallyKeyTree(HKEY parent, const std::string& path, ItemTally& tally, int depth = 0) {
  RegKey key;
  if (depth > 512 ||
      ::RegOpenKeyExA(parent, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
    return;
  }
  for (const ValueEntry& value : ValueEntries(key.get())) tally.Add(value.bytes);
  for (const std::string& name : SubkeyNames(key.get())) {
    TallyKeyTree(key.get(), name, tally, depth + 1);
  }
}

// The URL history service, or nothing where there is none.
ComPtr<IUrlHistoryStg2> UrlHistory() {
  ComPtr<IUrlHistoryStg2> history;
  if (FAILED(::CoCreateInstance(kUrlHistoryClass, nullptr,
                                CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IUrlHistoryStg2,
                                history.put_void()))) {
    return {};
  }
  return history;
}

// The entries the history service lists (0 when it lists none or cannot).
uint64_t HistoryEntries(IUrlHistoryStg2* history) {
  ComPtr<IEnumSTATURL> entries;
  if (FAILED(history->EnumUrls(entries.put())) || !entries) return 0;
  uint64_t count = 0;
  for (;;) {
    STATURL entry{};
    entry.cbSize = sizeof entry;
    ULONG fetched = 0;
    if (entries->Next(1, &entry, &fetched) != S_OK || fetched != 1) break;
    ::CoTaskMemFree(entry.pwcsUrl);
    ::CoTaskMemFree(entry.pwcsTitle);
    ++count;
  }
  return count;
}

// What the recycle bins of every drive hold; nothing when it cannot be asked.
std::optional<ItemTally> RecycleBinContents(HMODULE shell) {
  using QueryBin = HRESULT(WINAPI*)(LPCSTR, SHQUERYRBINFO*);
  const auto query = reinterpret_cast<QueryBin>(
      reinterpret_cast<void (*)()>(::GetProcAddress(shell, "SHQueryRecycleBinA")));
  SHQUERYRBINFO info{};
  info.cbSize = sizeof info;
  if (query == nullptr || FAILED(query(nullptr, &info))) return std::nullopt;
  ItemTally contents;
  contents.count = static_cast<uint64_t>(std::max<int64_t>(info.i64NumItems, 0));
  contents.bytes = static_cast<uint64_t>(std::max<int64_t>(info.i64Size, 0));
  return contents;
}

// What went between two looks: before minus after, never below nothing.
ItemTally Gone(const ItemTally& before, const ItemTally& after) {
  ItemTally gone;
  gone.count = before.count > after.count ? before.count - after.count : 0;
  gone.bytes = before.bytes > after.bytes ? before.bytes - after.bytes : 0;
  return gone;
}

void Broadcast() {
  DWORD_PTR result = 0;
  ::SendMessageTimeoutA(HWND_BROADCAST, WM_SETTINGCHANGE, 0, 0, SMTO_ABORTIFHUNG,
                        kBroadcastTimeoutMs, &result);
}

}  // namespace

void WipeRegistryKey(HKEY root, std::string_view keyPath) {
  ItemTally unused;
  WipeRegistryKey(root, keyPath, CleanMode::kPass, unused);
}

void WipeRegistryKey(HKEY root, std::string_view keyPath, CleanMode mode, ItemTally& tally) {
  Guarded([&] {
    RegKey key;
    if (::RegOpenKeyExA(root, NormalizeKeyPath(keyPath).c_str(), 0, KEY_ALL_ACCESS, key.put()) !=
        ERROR_SUCCESS) {
      return;
    }
    // Deleting while listing by rising index would skip every other entry.
    for (const ValueEntry& value : ValueEntries(key.get())) {
      if (mode == CleanMode::kPreview ||
          ::RegDeleteValueA(key.get(), value.name.c_str()) == ERROR_SUCCESS) {
        tally.Add(value.bytes);
      }
    }
    for (const std::string& name : SubkeyNames(key.get())) {
      Guarded([&] {
        ItemTally below;
        TallyKeyTree(key.get(), name, below);
        if (mode == CleanMode::kPreview ||
            ::RegDeleteTreeA(key.get(), name.c_str()) == ERROR_SUCCESS) {
          tally.Add(below);
        }
      });
    }
  });
}

void CollectHistoryFolders(std::vector<std::string>& folders) {
  folders.clear();
  Guarded([&] {
    RegKey key;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER,
                        NormalizeKeyPath(clean_keys::kHistoryContainers).c_str(), 0, KEY_READ,
                        key.put()) != ERROR_SUCCESS) {
      return;
    }
    for (const std::string& subkey : SubkeyNames(key.get())) {
      const std::string name = Trim(subkey);
      if (name.empty() || name == kUserDataContainer) continue;
      const std::string raw = ReadRegString(key.get(), name, kCachePathValue, "");
      char expanded[260] = {};
      const DWORD n = ::ExpandEnvironmentStringsA(raw.c_str(), expanded, sizeof expanded);
      const std::string path = Trim(n > 0 && n <= sizeof expanded ? expanded : raw.c_str());
      folders.push_back(path);
    }
  });
}

void ClearUrlHistory() {
  Guarded([] {
    if (ComPtr<IUrlHistoryStg2> history = UrlHistory()) history->ClearHistory();
  });
}

void ClearUrlHistory(CleanMode mode, ItemTally& tally) {
  Guarded([&] {
    ComPtr<IUrlHistoryStg2> history = UrlHistory();
    if (!history) return;
    const uint64_t before = HistoryEntries(history.get());
    if (mode == CleanMode::kPreview) {
      tally.count += before;
      return;
    }
    history->ClearHistory();
    const uint64_t after = HistoryEntries(history.get());
    if (before > after) tally.count += before - after;
  });
}

OleDateTime FolderCreationTime(const std::string& path) {
  OleDateTime result = 0;
  DateTimeParts y1980;
  y1980.year = 1980;
  y1980.month = 1;
  y1980.day = 1;
  EncodeOleDateTime(y1980, result);
  WIN32_FIND_DATAA data{};
  FindHandle find(::FindFirstFileA(path.c_str(), &data));
  if (!find) return result;
  FILETIME local{};
  WORD dosDate = 0, dosTime = 0;
  if (!::FileTimeToLocalFileTime(&data.ftCreationTime, &local) ||
      !::FileTimeToDosDateTime(&local, &dosDate, &dosTime)) {
    return result;
  }
  DateTimeParts parts;
  parts.year = 1980 + (dosDate >> 9);
  parts.month = (dosDate >> 5) & 0xF;
  parts.day = dosDate & 0x1F;
  parts.hour = dosTime >> 11;
  parts.minute = (dosTime >> 5) & 0x3F;
  parts.second = (dosTime & 0x1F) * 2;
  EncodeOleDateTime(parts, result);
  return result;
}

bool IsHistoryCleared(const std::vector<std::string>* folders, OleDateTime startTime) {
  if (folders == nullptr || folders->empty()) return true;
  return GuardedOr(true, [&] {
    for (const std::string& entry : *folders) {
      std::string folder = Trim(entry);
      if (folder.empty()) continue;
      while (folder.size() > 3 && folder.back() == '\\') folder.pop_back();
      const DWORD attributes = ::GetFileAttributesA(folder.c_str());
      if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        continue;
      }
      const OleDateTime created = FolderCreationTime(folder);
      // A container that existed before the pass survived the clear.
      if (created > 0 && created < startTime) return false;
    }
    return true;
  });
}

void DeleteCookiesExceptKept(const std::optional<std::string>& keepList) {
  DeleteCookiesExceptKept(keepList, SystemUrlCache());
}

void DeleteCookiesExceptKept(const std::optional<std::string>& keepList, UrlCacheCalls& calls) {
  ItemTally unused;
  DeleteCookiesExceptKept(keepList, calls, CleanMode::kPass, unused);
}

void DeleteCookiesExceptKept(const std::optional<std::string>& keepList, UrlCacheCalls& calls,
                             CleanMode mode, ItemTally& tally) {
  if (!keepList) return;
  Guarded([&] {
    const std::vector<std::string> kept = KeepListLines(LowerAscii(*keepList));
    TIECache cache(calls);
    cache.SetSearchPattern(TSearchPattern::spCookies);
    cache.SetFilterOptions({TFilterOption::NORMAL_ENTRY, TFilterOption::STABLE_ENTRY,
                            TFilterOption::STICKY_ENTRY, TFilterOption::COOKIE_ENTRY,
                            TFilterOption::SPARSE_ENTRY});
    if (!cache.LibraryFound()) return;
    // Gather first: a deletion inside the enumeration could move its place.
    std::vector<std::pair<std::string, uint32_t>> doomed;
    cache.ForEachEntry([&](const TEntryInfo& entry) {
      if (!IsKeptHost(kept, CookieHostOf(entry.SourceUrlName))) {
        doomed.emplace_back(entry.SourceUrlName, entry.Size);
      }
    });
    for (const auto& [url, size] : doomed) {
      if (mode == CleanMode::kPreview || cache.DeleteEntry(url) == 0) tally.Add(size);
    }
  });
}

void EmptyRecycleBin() {
  ItemTally unused;
  EmptyRecycleBin(CleanMode::kPass, unused);
}

void EmptyRecycleBin(CleanMode mode, ItemTally& tally) {
  Guarded([&] {
    ModuleHandle shell(::LoadLibraryA("Shell32.dll"));
    if (!shell) return;
    const std::optional<ItemTally> before = RecycleBinContents(shell.get());
    if (mode == CleanMode::kPreview) {
      if (before) tally.Add(*before);
      return;
    }
    using EmptyBin = HRESULT(WINAPI*)(HWND, LPCSTR, DWORD);
    const auto empty =
        reinterpret_cast<EmptyBin>(reinterpret_cast<void (*)()>(
            ::GetProcAddress(shell.get(), "SHEmptyRecycleBinA")));
    if (empty != nullptr) empty(nullptr, nullptr, SHERB_NOCONFIRMATION);
    const std::optional<ItemTally> after = RecycleBinContents(shell.get());
    if (before && after) tally.Add(Gone(*before, *after));
  });
}

std::vector<std::string> ProtectedFolders() {
  std::vector<std::string> folders;
  auto add = [&](const std::string& path) {
    if (path.empty()) return;
    folders.push_back(path);
    folders.push_back(LongFormOf(path));
  };
  char buffer[MAX_PATH + 1] = {};
  if (::GetWindowsDirectoryA(buffer, sizeof buffer) > 0) add(buffer);
  buffer[0] = 0;
  if (::GetSystemDirectoryA(buffer, sizeof buffer) > 0) add(buffer);
  // The profile, the user's known folders and the folders of programs and
  // their data: a damaged "Recent" or TMP that names one of them, or a folder
  // above one, must not empty it.
  for (const int known : {CSIDL_PROFILE, CSIDL_PERSONAL, CSIDL_DESKTOPDIRECTORY, CSIDL_FAVORITES,
                          CSIDL_MYPICTURES, CSIDL_MYMUSIC, CSIDL_MYVIDEO, CSIDL_APPDATA,
                          CSIDL_LOCAL_APPDATA, CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86,
                          CSIDL_COMMON_APPDATA}) {
    buffer[0] = 0;
    if (SUCCEEDED(::SHGetFolderPathA(nullptr, known, nullptr, 0, buffer))) add(buffer);
  }
  const DWORD n = ::GetEnvironmentVariableA("USERPROFILE", buffer, sizeof buffer);
  if (n > 0 && n < sizeof buffer) add(buffer);
  return folders;
}

// A folder chosen for emptying is judged by its text and by where it really
// is: a link on the way (the folder itself, or a parent such as "Documents
// and Settings") must not lead the emptying into a protected place. The
// protected folders are judged where they really are too.
bool IsChosenFolderSafe(const std::string& folder,
                        const std::vector<std::string>& protectedFolders) {
  if (!IsFolderSafeToEmpty(folder, protectedFolders) ||
      !IsFolderSafeToEmpty(LongFormOf(folder), protectedFolders)) {
    return false;
  }
  const std::optional<std::string> real = RealFolderPath(folder);
  if (!real) return false;
  std::vector<std::string> realProtected;
  for (const std::string& guarded : protectedFolders) {
    if (std::optional<std::string> place = RealFolderPath(guarded)) {
      realProtected.push_back(std::move(*place));
    }
  }
  return IsFolderSafeToEmpty(*real, realProtected);
}

bool EmptyChosenFolder(const std::string& folder, const std::vector<std::string>* ignoreList,
                       const std::vector<std::string>& protectedFolders) {
  ItemTally unused;
  return EmptyChosenFolder(folder, ignoreList, protectedFolders, CleanMode::kPass, unused);
}

bool EmptyChosenFolder(const std::string& folder, const std::vector<std::string>* ignoreList,
                       const std::vector<std::string>& protectedFolders, CleanMode mode,
                       ItemTally& tally) {
  return GuardedOr(false, [&] {
    const std::string given = Trim(folder);
    if (given.empty() || !IsChosenFolderSafe(given, protectedFolders)) return false;
    return DeleteFolderContents(WithBackslash(given) + "*.*", false, ignoreList,
                                SystemRestartRoad(), mode, tally);
  });
}

void CleanUpAfterRestart() noexcept {
  CleanReport report;
  Guarded([&] {
    WipeRegistryKey(HKEY_CURRENT_USER, clean_keys::kTypedUrls, CleanMode::kPass,
                    report.Item("IE_BAR"));
  });
  Guarded([&] { ClearUrlHistory(CleanMode::kPass, report.Item("IE_HIST")); });
  report.when = NowLocal();
  Guarded([&] { TConfig().SetStr(kLastCleanKey, EncodeCleanReport(report), true); });
}

// --- the pass ---

bool TClean::Item(std::string_view key) { return GetBool(key, kItemDefault); }

void TClean::Run(bool interactive) noexcept {
  report_ = CleanReport{};
  ran_ = false;
  Guarded([&] {
    KernelHandle mutex(::CreateMutexA(nullptr, FALSE, kCleanMutexName));
    if (!mutex) return;
    if (::GetLastError() == ERROR_ALREADY_EXISTS) return;  // another pass runs
    const DWORD wait = ::WaitForSingleObject(mutex.get(), 0);
    if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) {
      ran_ = true;
      // An error escaping a step ends the pass; the end below still runs and
      // stores what the steps removed until then.
      Guarded([&] { Steps(interactive, CleanMode::kPass); });
      report_.when = NowLocal();
      Guarded([&] { SetStr(kLastCleanKey, EncodeCleanReport(report_), true); });
    }
    ::ReleaseMutex(mutex.get());
    Guarded(Broadcast);
  });
}

CleanReport TClean::Preview() noexcept {
  report_ = CleanReport{};
  Guarded([&] { Steps(false, CleanMode::kPreview); });
  return report_;
}

// The items in the pass's order; each selected item gets its tally (0/0 when
// nothing is found), an unselected one none.
void TClean::Steps(bool interactive, CleanMode mode) {
  const bool pass = mode == CleanMode::kPass;
  const bool bar = Item("IE_BAR");
  const bool history = Item("IE_HIST");
  if (pass && interactive && (bar || history)) AskToCloseBrowsers();
  startTime_ = NowLocal();

  auto tally = [&](std::string_view key) -> ItemTally& { return report_.Item(key); };
  if (Item("IE_BAR")) {
    WipeRegistryKey(HKEY_CURRENT_USER, clean_keys::kTypedUrls, mode, tally("IE_BAR"));
  }
  const bool historyCleared = Item("IE_HIST");
  if (historyCleared) {
    CollectHistoryFolders(historyFolders_);
    ClearUrlHistory(mode, tally("IE_HIST"));
  }
  if (Item("IE_TEMP")) {
    TIECache cache;
    cache.SetSearchPattern(TSearchPattern::spAll);
    cache.SetFilterOptions({TFilterOption::NORMAL_ENTRY, TFilterOption::STABLE_ENTRY,
                            TFilterOption::STICKY_ENTRY, TFilterOption::SPARSE_ENTRY});
    cache.DeleteAllEntries(mode, tally("IE_TEMP"), IsCookieEntry);
  }
  if (Item("IE_FILLPASS")) {
    WipeRegistryKey(HKEY_CURRENT_USER, clean_keys::kStoredPasswords, mode, tally("IE_FILLPASS"));
  }
  if (Item("IE_FILLFORM")) CleanStoredForms(mode, tally("IE_FILLFORM"));
  if (Item("IE_COOKIES")) {
    DeleteCookiesExceptKept(TryGetStr(config_keys::kUserCookies, kItemDefault), SystemUrlCache(),
                            mode, tally("IE_COOKIES"));
  }
  // What a pending restart operation names stays in every folder emptied,
  // not only in Temp: the restart would otherwise miss the file it renames.
  if (Item("WIN_DOC")) {
    std::vector<std::string> pending;
    ReadPendingPaths(pending);
    EmptyChosenFolder(ReadRegString(HKEY_CURRENT_USER, clean_keys::kShellFolders, "Recent", ""),
                      &pending, ProtectedFolders(), mode, tally("WIN_DOC"));
  }
  if (Item("WIN_DOWN")) {
    ItemTally& down = tally("WIN_DOWN");
    TIECache cache;
    cache.SetSearchPattern(TSearchPattern::spAll);
    cache.SetFilterOptions({TFilterOption::OCX_ENTRY});
    cache.DeleteAllEntries(mode, down);
    std::vector<std::string> pending;
    ReadPendingPaths(pending);
    EmptyChosenFolder(
        ReadRegString(HKEY_LOCAL_MACHINE, clean_keys::kInternetSettings, "ActiveXCache", ""),
        &pending, ProtectedFolders(), mode, down);
  }
  if (Item("WIN_RUN")) {
    ItemTally& run = tally("WIN_RUN");
    WipeRegistryKey(HKEY_CURRENT_USER, clean_keys::kRunMru, mode, run);
    WipeRegistryKey(HKEY_CURRENT_USER, clean_keys::kSearchBarFiles, mode, run);
  }
  if (Item("WIN_SEARCH")) {
    ItemTally& search = tally("WIN_SEARCH");
    WipeRegistryKey(HKEY_CURRENT_USER, clean_keys::kSearchAssistant, mode, search);
    WipeRegistryKey(HKEY_CURRENT_USER, clean_keys::kDocFind, mode, search);
  }
  if (Item("WIN_RECYCLE")) EmptyRecycleBin(mode, tally("WIN_RECYCLE"));
  if (Item("WIN_TEMP")) {
    ItemTally& temporary = tally("WIN_TEMP");
    std::vector<std::string> ignore;
    ReadPendingPaths(ignore);
    char temp[261] = {};
    const DWORD n = ::GetTempPathA(sizeof temp, temp);
    if (n > 0 && n < sizeof temp) {
      EmptyChosenFolder(temp, &ignore, ProtectedFolders(), mode, temporary);
    }
  }
  if (pass && historyCleared) OfferAfterRestart();
}

int TClean::BrowserWindowCount() {
  return browserWindows_ ? CountBrowserWindows(browserWindows_.get()) : CountBrowserWindows();
}

void TClean::AskToCloseBrowsers() {
  if (BrowserWindowCount() <= 0) return;
  if (GetBool(config_keys::kShowCleanCloseIe, kItemDefault)) return;
  bool ticked = false;
  const bool yes = Ask(kCloseBrowsersQuestion, ticked);
  if (ticked) SetBool(config_keys::kShowCleanCloseIe, true, true);
  if (!yes) return;
  if (browserWindows_) {
    CloseBrowserWindows(browserWindows_.get(), "");
  } else {
    CloseBrowserWindows("");
  }
  ::Sleep(kCloseWaitMs);
  if (BrowserWindowCount() > 0) ::Sleep(kCloseWaitMs);
}

// On the NT family the stored forms are counted as handed over: the values
// under the key given to the host's service, read through the registry, in
// both modes; the service deletes them later, out of the pass's sight.
// Elsewhere a pass counts the values of the key it deleted.
void TClean::CleanStoredForms(CleanMode mode, ItemTally& tally) {
  if (IsNtPlatform()) {
    RegKey key;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, clean_keys::kProtectedStorage, 0, KEY_READ,
                        key.put()) != ERROR_SUCCESS) {
      return;
    }
    const std::vector<std::string> users = SubkeyNames(key.get());
    if (users.empty()) return;
    const std::string& user = users.front();
    TallyKeyTree(key.get(), user, tally);
    if (mode == CleanMode::kPreview) return;
    // The key lies in another account's hive; the host's service, which runs
    // with the rights for it, deletes it when the event is set.
    // In the 32-bit view, where the (32-bit) host's service looks.
    WriteRegString(HKEY_LOCAL_MACHINE, kServiceHandOverKey, kServiceHandOverValue, true,
                   "HKUS\\" + user + "\\" + clean_keys::kProtectedStorage + "\\" + user,
                   KEY_WOW64_32KEY);
    SignalEvent(kServiceRegistryEvent);
    return;
  }
  char name[256] = {};
  DWORD length = 255;
  // Without a user name the key would be the whole provider key, every
  // user's stored forms: nothing is deleted then.
  if (!::GetUserNameA(name, &length) || name[0] == 0) return;
  const std::string storage = std::string(clean_keys::kProtectedStorage) + "\\" + name;
  ItemTally stored, left;
  TallyKeyTree(HKEY_LOCAL_MACHINE, storage, stored);
  if (mode == CleanMode::kPass) {
    DeleteRegKey(HKEY_LOCAL_MACHINE, storage);
    TallyKeyTree(HKEY_LOCAL_MACHINE, storage, left);
  }
  tally.Add(Gone(stored, left));
}

void TClean::OfferAfterRestart() {
  if (IsHistoryCleared(&historyFolders_, startTime_)) return;
  if (GetBool(config_keys::kShowCleanSchedule, kItemDefault)) return;
  // A user who may write neither RunOnce key is told so instead of asked.
  if (!AfterRestartCommandWritable()) {
    TellAfterRestartUnavailable(TranslateText(kTitle));
    return;
  }
  bool ticked = false;
  if (Ask(kAfterRestartQuestion, ticked)) WriteAfterRestartCommand();
  if (ticked) SetBool(config_keys::kShowCleanSchedule, true, true);
}

}  // namespace sentrova
