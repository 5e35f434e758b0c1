// TClean: one clean-up pass. It reads which items the user selected, may
// offer to close the running browser windows, removes the traces of each
// selected item in a fixed order, and offers to finish the history clean-up
// after a restart when the browser held part of it. Created and freed by the
// clean-up worker for each pass, on a thread that has initialised COM.
//
// Every step walks its places once, in the pass's mode or in the preview's
// (CleanMode), and tallies per item what it found or removed:
//   - registry lists (typed addresses, passwords, Run and search lists): each
//     value, subkeys' values included (bytes: the value's data size); the
//     keys themselves are not counted;
//   - folders (Recent, downloaded program files, Temp): each file (its size)
//     and each link (0 bytes); folders are not counted;
//   - the URL cache (temporary files, downloaded programs, cookies): each
//     entry (its Size);
//   - the history: the URL history service's entries (0 bytes); a pass counts
//     them before and after clearing and reports the difference;
//   - the recycle bin: its items and bytes; a pass reports before minus after;
//   - stored forms: the values under the key that the pass deletes or hands
//     to the host's service (see CleanStoredForms).
#pragma once

#include <windows.h>
#include <exdisp.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cleanup/clean_report.h"
#include "cleanup/url_cache_calls.h"
#include "host/config.h"
#include "platform/date_time.h"

namespace sentrova {

// Exists while a pass runs, in any process; a pass that finds it does nothing.
inline constexpr char kCleanMutexName[] = "VRX_CLEAN_MUTEX";

// Where the pass hands the protected-storage key to the host's service (HKLM).
inline constexpr char kServiceHandOverKey[] = "Software\\Toolbar\\Server\\";
inline constexpr char kServiceHandOverValue[] = "SVC_REG_KEY";

// The registry places of the pass (HKCU unless said otherwise).
namespace clean_keys {
inline constexpr char kTypedUrls[] = "Software\\Microsoft\\Internet Explorer\\TypedURLs";
inline constexpr char kStoredPasswords[] =
    "Software\\Microsoft\\Internet Explorer\\IntelliForms\\SPW";
inline constexpr char kProtectedStorage[] =
    "Software\\Microsoft\\Protected Storage System Provider";
inline constexpr char kShellFolders[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
// HKLM.
inline constexpr char kInternetSettings[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
inline constexpr char kRunMru[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU";
inline constexpr char kSearchBarFiles[] =
    "Software\\Microsoft\\Internet Explorer\\Explorer Bars\\"
    "{C4EE31F3-4768-11D2-BE5C-00A0C9A83DA1}\\FilesNamedMRU";
inline constexpr char kSearchAssistant[] = "Software\\Microsoft\\Search Assistant\\ACMru";
inline constexpr char kDocFind[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Doc Find Spec MRU";
// Without a leading backslash: with one the key does not open.
inline constexpr char kHistoryContainers[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\5.0\\Cache\\"
    "Extensible Cache\\";
}  // namespace clean_keys

// Deletes every value (the unnamed one included) and every subkey of the key;
// the key itself stays. The names are gathered before anything is deleted.
void WipeRegistryKey(HKEY root, std::string_view keyPath);
// The same walk in either mode; the key is opened with the same rights in
// both, so that a preview counts only where a pass could delete. A pass
// counts the values it deleted and those of each subkey tree it deleted.
void WipeRegistryKey(HKEY root, std::string_view keyPath, CleanMode mode, ItemTally& tally);

// The folders of the browser's history containers, environment variables
// expanded; "UserData" is not one. The list is cleared first.
void CollectHistoryFolders(std::vector<std::string>& folders);

// Clears the browser history through the URL history service.
void ClearUrlHistory();
// A preview counts the service's entries; a pass clears them and counts how
// many fewer there are afterwards.
void ClearUrlHistory(CleanMode mode, ItemTally& tally);

// False when a history container that existed before startTime is still
// there (the browser held it); true for no list, an empty one, or an error.
bool IsHistoryCleared(const std::vector<std::string>* folders, OleDateTime startTime);

// Local creation time of a file or folder at 2-second precision; 1 January
// 1980 when it is not found or cannot be converted.
OleDateTime FolderCreationTime(const std::string& path);

// Deletes every cookie whose host is not on the keep-list text. Nothing is
// deleted when the list could not be read (nullopt): an unreadable list is
// not an empty one.
void DeleteCookiesExceptKept(const std::optional<std::string>& keepList);
// The same over the given URL cache calls.
void DeleteCookiesExceptKept(const std::optional<std::string>& keepList, UrlCacheCalls& cache);
// The same in either mode, tallying each cookie deleted (or, in a preview,
// each that would be).
void DeleteCookiesExceptKept(const std::optional<std::string>& keepList, UrlCacheCalls& cache,
                             CleanMode mode, ItemTally& tally);

// Empties the recycle bin of every drive without asking.
void EmptyRecycleBin();
// A preview counts the bins' items and bytes; a pass empties them and counts
// what is gone (before minus after).
void EmptyRecycleBin(CleanMode mode, ItemTally& tally);

// The folders that emptying must never reach or lie above: the Windows and
// system folders, the user's profile and known folders (Documents, Desktop,
// Favorites, Pictures, Music, Videos, the Roaming and Local AppData roots),
// both Program Files folders and ProgramData.
std::vector<std::string> ProtectedFolders();

// Empties a folder that the pass takes from the registry or the environment
// (Recent, the downloaded program files, Temp), keeping the folder itself,
// unless it is not safe to empty (IsFolderSafeToEmpty) by its text or by
// where it really is, links resolved. False when the folder was refused or
// not everything went.
bool EmptyChosenFolder(const std::string& folder, const std::vector<std::string>* ignoreList,
                       const std::vector<std::string>& protectedFolders);
// The same in either mode (see DeleteFolderContents); a refused folder
// counts nothing in both.
bool EmptyChosenFolder(const std::string& folder, const std::vector<std::string>* ignoreList,
                       const std::vector<std::string>& protectedFolders, CleanMode mode,
                       ItemTally& tally);

// The clean-up that the /cleanup command finishes after a restart: the typed
// addresses and the history, whichever items are selected. Its report (under
// IE_BAR and IE_HIST) is stored like a pass's when the host's configuration
// can be reached. Nothing escapes.
void CleanUpAfterRestart() noexcept;

class TClean : public TConfig {
 public:
  TClean() = default;
  explicit TClean(ComPtr<ITB4Server> service) : TConfig(std::move(service)) {}
  // Counts and closes the browser windows of the given collection instead of
  // the shell's.
  TClean(ComPtr<ITB4Server> service, ComPtr<IShellWindows> browserWindows)
      : TConfig(std::move(service)), browserWindows_(std::move(browserWindows)) {}

  // One pass; interactive passes may ask to close the browser windows. When
  // it ran (no other pass held kCleanMutexName), the report of what it
  // removed, also when a step failed and ended it early, is stored under
  // kLastCleanKey. Nothing escapes.
  void Run(bool interactive) noexcept;
  // What a pass would remove now, item by item, walked the way the pass
  // walks. It asks nothing, writes and removes nothing, leaves the pending
  // restart operations alone and takes no mutex: a pass may run meanwhile.
  // Needs COM on the calling thread. Nothing escapes.
  CleanReport Preview() noexcept;
  // The last Run's or Preview's report.
  const CleanReport& Report() const { return report_; }
  // Whether the last Run ran its steps.
  bool Ran() const { return ran_; }

 private:
  bool Item(std::string_view key);
  void Steps(bool interactive, CleanMode mode);
  void AskToCloseBrowsers();
  void CleanStoredForms(CleanMode mode, ItemTally& tally);
  void OfferAfterRestart();

  int BrowserWindowCount();
  std::vector<std::string> historyFolders_;
  ComPtr<IShellWindows> browserWindows_;
  OleDateTime startTime_ = 0;
  CleanReport report_;
  bool ran_ = false;
};

}  // namespace sentrova
