#include "cleanup/restart_operations.h"

#include <optional>
#include <unordered_map>
#include <unordered_set>

#include "cleanup/pending_text.h"
#include "platform/com.h"
#include "platform/guard.h"
#include "platform/handle.h"
#include "platform/registry.h"
#include "platform/system_facts.h"
#include "platform/text.h"

namespace sentrova {

namespace {

constexpr DWORD kDelayedDeleteFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT;  // 5
constexpr const char* kWininitName = "wininit.ini";
constexpr DWORD kValueNameChars = 501;
constexpr DWORD kValueDataBytes = 32767;

bool Exists(const std::string& path) {
  return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string WithBackslash(std::string path) {
  if (!path.empty() && path.back() != '\\') path.push_back('\\');
  return path;
}

// The whole file, or nothing when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path) {
  FileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.get(), &size) || size.QuadPart > 64 * 1024 * 1024) return std::nullopt;
  std::string text(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!text.empty() &&
      !::ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &read, nullptr)) {
    return std::nullopt;
  }
  text.resize(read);
  return text;
}

bool WriteWholeFile(const std::string& path, const std::string& text) {
  FileHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written,
                     nullptr) &&
         written == text.size();
}

void ScheduleInWininit(const std::string& path, const RestartRoad& road) {
  const std::string iniPath = WithBackslash(road.windowsDirectory) + kWininitName;
  std::vector<std::string> lines;
  if (Exists(iniPath)) {
    // A file that is there but cannot be read is left alone: writing the
    // list back would replace its contents with our one line.
    const std::optional<std::string> text = ReadWholeFile(iniPath);
    if (!text) return;
    lines = SplitLines(*text);
  }
  std::string shortPath = ShortPathOf(path);
  if (shortPath.empty()) shortPath = path;
  WriteWholeFile(iniPath, JoinIniLines(WithWininitDeletion(std::move(lines), shortPath)));
}

// The folder part of a mask, with its trailing backslash ("" when none).
std::string FolderOfMask(const std::string& mask) {
  const size_t slash = mask.find_last_of('\\');
  return slash == std::string::npos ? std::string() : mask.substr(0, slash + 1);
}

// A path's long form, empty when it cannot be had.
std::string LongPathOf(const std::string& path) {
  char buffer[MAX_PATH + 1] = {};
  const DWORD n = ::GetLongPathNameA(path.c_str(), buffer, sizeof buffer);
  if (n == 0 || n >= sizeof buffer) return {};
  return std::string(buffer, n);
}

// --- emptying a folder, on wide-character names ---
//
// Names are wide from the listing to the deletion, so that a name outside the
// ANSI code page is deleted like any other; every path carries the long-path
// prefix, so that a tree deeper than 260 characters is emptied too.

constexpr wchar_t kLongPrefix[] = L"\\\\?\\";
constexpr wchar_t kLongUncPrefix[] = L"\\\\?\\UNC\\";

std::wstring LowerAsciiW(std::wstring_view text) {
  std::wstring lower(text);
  for (wchar_t& c : lower) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  }
  return lower;
}

// A path as the pending set compares it: ASCII lower-cased, "/" read as "\",
// without the long-path prefix and trailing backslashes.
std::wstring PathKey(std::wstring_view path) {
  std::wstring key = LowerAsciiW(path);
  for (wchar_t& c : key) {
    if (c == L'/') c = L'\\';
  }
  if (key.rfind(L"\\\\?\\unc\\", 0) == 0) {
    key = L"\\\\" + key.substr(8);
  } else if (key.rfind(kLongPrefix, 0) == 0) {
    key = key.substr(4);
  }
  while (!key.empty() && key.back() == L'\\') key.pop_back();
  return key;
}

// An absolute path with the long-path prefix (which also turns off the
// system's own clean-up of the text: the path is made full first).
std::wstring LongPrefixed(const std::wstring& path) {
  if (path.rfind(kLongPrefix, 0) == 0) return path;
  std::wstring full(32768, L'\0');
  const DWORD n = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(),
                                     nullptr);
  if (n == 0 || n >= full.size()) return path;
  full.resize(n);
  if (full.rfind(L"\\\\", 0) == 0) return kLongUncPrefix + full.substr(2);
  return kLongPrefix + full;
}

// A folder path as the attribute and removal calls take it: without the
// trailing backslash, except for a drive's root.
std::wstring FolderArgumentW(const std::wstring& folder) {
  if (folder.size() > 1 && folder.back() == L'\\' && folder[folder.size() - 2] != L':') {
    return folder.substr(0, folder.size() - 1);
  }
  return folder;
}

// Where an open file or folder really is: its path on its volume (every link
// on the way resolved, drive left out), ASCII lower-cased; nothing when it
// cannot be had. The volume-relative name costs a fraction of the full final
// path, which Wine builds by searching its drive table on every call.
std::optional<std::wstring> RealLocationOf(HANDLE handle) {
  alignas(FILE_NAME_INFO) char buffer[sizeof(FILE_NAME_INFO) + 65536] = {};
  auto* info = reinterpret_cast<FILE_NAME_INFO*>(buffer);
  if (!::GetFileInformationByHandleEx(handle, FileNameInfo, info, sizeof buffer - sizeof(WCHAR))) {
    return std::nullopt;
  }
  return PathKey(std::wstring_view(info->FileName, info->FileNameLength / sizeof(WCHAR)));
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens the entry itself: a link is opened as the link, never followed.
FileHandle OpenEntry(const std::wstring& path, DWORD access, DWORD flags) {
  return FileHandle(::CreateFileW(path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                                  flags | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// A junction or symbolic link (to a folder or to a file): the emptying
// removes the link at most and never goes through it.
bool IsLinkEntry(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

// What one emptying needs on its way down: the paths that pending restart
// operations name (PathKey forms, long and short), hashed so that each entry
// costs one look-up; whether it removes or only counts, and its tally.
struct Emptying {
  std::unordered_set<std::wstring> pending;
  const RestartRoad& road;
  CleanMode mode;
  ItemTally& tally;
  // The same paths where they really lie (RealLocationOf forms), so that a
  // folder reached through a link keeps what an operation names by the
  // other way.
  std::unordered_set<std::wstring> pendingReal;
};

// A file or folder that a pending restart operation names (source or
// target) stays as it is, and a folder with everything in it.
bool IsNamedByPendingOperation(const Emptying& emptying, const std::wstring& folderKey,
                               const std::wstring& name, const std::wstring& realFull) {
  return !emptying.pending.empty() &&
         (emptying.pending.count(folderKey + L"\\" + LowerAsciiW(name)) != 0 ||
          emptying.pendingReal.count(realFull) != 0);
}

// The real locations of the pending paths: each folder is resolved once, and
// a name that does not exist yet (a rename's destination) resolves too.
std::unordered_set<std::wstring> RealPendingSetOf(const std::unordered_set<std::wstring>& pending) {
  std::unordered_set<std::wstring> real;
  std::unordered_map<std::wstring, std::optional<std::wstring>> folders;
  for (const std::wstring& path : pending) {
    const size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos) continue;
    auto [folder, fresh] = folders.try_emplace(path.substr(0, slash));
    if (fresh) {
      FileHandle handle(::CreateFileW(LongPrefixed(folder->first + L"\\").c_str(), 0, kShareAll,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
      if (handle) folder->second = RealLocationOf(handle.get());
    }
    if (folder->second) real.insert(*folder->second + path.substr(slash));
  }
  return real;
}

// Marks a path in the emptying's list that is carried in UTF-8.
constexpr char kUtf8Mark = '\x01';

// Converts between UTF-8 and wide characters.
std::string Utf8Of(std::wstring_view wide) {
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0,
                                      nullptr, nullptr);
  std::string text(n > 0 ? n : 0, '\0');
  if (n > 0) {
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), text.data(), n, nullptr,
                          nullptr);
  }
  return text;
}
std::wstring WideOfUtf8(std::string_view text) {
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
  std::wstring wide(n > 0 ? n : 0, L'\0');
  if (n > 0) ::MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), wide.data(), n);
  return wide;
}

// A path's long form in wide characters (names outside the ANSI code page
// come back whole); for a name that is not there, its folder's long form and
// the name. Empty when neither can be had.
std::wstring LongFormOf(const std::wstring& path) {
  std::wstring buffer(32768, L'\0');
  DWORD n = ::GetLongPathNameW(path.c_str(), buffer.data(), DWORD(buffer.size()));
  if (n > 0 && n < buffer.size()) return buffer.substr(0, n);
  const size_t slash = path.find_last_of(L'\\');
  if (slash == std::wstring::npos) return {};
  n = ::GetLongPathNameW(path.substr(0, slash).c_str(), buffer.data(), DWORD(buffer.size()));
  if (n == 0 || n >= buffer.size()) return {};
  return buffer.substr(0, n) + path.substr(slash);
}

std::unordered_set<std::wstring> PendingSetOf(const std::vector<std::string>* ignoreList) {
  std::unordered_set<std::wstring> set;
  if (ignoreList == nullptr) return set;
  for (const std::string& entry : *ignoreList) {
    if (!entry.empty() && entry.front() == kUtf8Mark) {
      set.insert(PathKey(WideOfUtf8(std::string_view(entry).substr(1))));
      continue;
    }
    set.insert(PathKey(AnsiToWide(entry)));
    // Only a name that may be a short one is looked up: under Wine each look-up
    // reads the whole folder.
    if (entry.find('~') == std::string::npos) continue;
    const std::wstring longForm = LongFormOf(AnsiToWide(entry));
    if (!longForm.empty()) set.insert(PathKey(longForm));
  }
  return set;
}

// Hands a file that cannot go now to the restart processing.
void DeferDeletion(const std::wstring& path, const RestartRoad& road) {
  Guarded([&] {
    if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return;
    if (road.ntFamily) {
      ::MoveFileExW(path.c_str(), nullptr, kDelayedDeleteFlags);
      return;
    }
    wchar_t shortPath[MAX_PATH] = {};
    const DWORD n = ::GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
    std::wstring named = n > 0 && n < MAX_PATH ? std::wstring(shortPath, n) : path;
    if (named.rfind(kLongPrefix, 0) == 0) named = named.substr(4);
    ScheduleInWininit(WideToAnsi(named), road);
  });
}

// Deletes one file of a folder being emptied, through one handle: opened as
// itself (a link is never followed), its place confirmed on that handle, then
// marked for deletion on it. `expected` is where the file must really be (its
// folder's real location and its name): under Wine a link to a file looks
// like a plain file, so a file that really lies elsewhere is left alone. A
// file that is locked is handed to the restart processing (by a pass) and
// not counted. A preview opens the file just as the pass does, so a file
// that the pass could not delete now is not counted by it either.
bool DeleteFileInPlace(const std::wstring& full, const std::wstring& expected, DWORD attributes,
                       uint64_t bytes, Emptying& emptying) {
  const bool readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  FileHandle file = OpenEntry(full, DELETE | (readOnly ? FILE_WRITE_ATTRIBUTES : 0), 0);
  if (!file) {
    // Locked (or gone): check the place with an open that asks for nothing.
    FileHandle probe = OpenEntry(full, 0, 0);
    if (!probe) return ::GetFileAttributesW(full.c_str()) == INVALID_FILE_ATTRIBUTES;
    if (RealLocationOf(probe.get()) != expected) return false;
    probe.reset();
    if (emptying.mode == CleanMode::kPass) DeferDeletion(full, emptying.road);
    return false;
  }
  if (RealLocationOf(file.get()) != expected) return false;
  if (emptying.mode == CleanMode::kPreview) {
    emptying.tally.Add(bytes);
    return true;
  }
  if (readOnly) {
    FILE_BASIC_INFO basic{};
    basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    ::SetFileInformationByHandle(file.get(), FileBasicInfo, &basic, sizeof basic);
  }
  FILE_DISPOSITION_INFO disposition{TRUE};
  if (::SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition,
                                   sizeof disposition)) {
    emptying.tally.Add(bytes);
    return true;  // gone when the handle closes
  }
  file.reset();
  DeferDeletion(full, emptying.road);
  return false;
}

// Removes a link itself, through a handle opened on the link and confirmed to
// be where the link lies. Removing it by name would let the system follow it:
// Wine's RemoveDirectory removes an empty folder that a link leads to. A link
// counts as one thing of 0 bytes, whatever it leads to.
bool RemoveLinkInPlace(const std::wstring& full, const std::wstring& expected,
                       Emptying& emptying) {
  FileHandle link = OpenEntry(full, DELETE, FILE_FLAG_BACKUP_SEMANTICS);
  if (!link || RealLocationOf(link.get()) != expected) return false;
  FILE_DISPOSITION_INFO disposition{TRUE};
  if (emptying.mode == CleanMode::kPass &&
      !::SetFileInformationByHandle(link.get(), FileDispositionInfo, &disposition,
                                    sizeof disposition)) {
    return false;
  }
  emptying.tally.Add(0);
  return true;
}

struct FolderEntry {
  std::wstring name;
  DWORD attributes;
  uint64_t bytes;
};

std::vector<FolderEntry> ListWithAttributes(const std::wstring& mask) {
  std::vector<FolderEntry> entries;
  WIN32_FIND_DATAW data{};
  HANDLE find = ::FindFirstFileExW(mask.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                   nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) return entries;
  do {
    const std::wstring_view name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    entries.push_back(FolderEntry{std::wstring(name), data.dwFileAttributes,
                                  (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow});
  } while (::FindNextFileW(find, &data));
  ::FindClose(find);
  return entries;
}

// Empties `folder` (long-path prefixed, with its trailing backslash) for the
// file pattern `pattern`; `realFolder` is where the folder really is. A
// preview goes the same way and leaves the folders as they are.
bool DeleteFolderEntries(const std::wstring& folder, const std::wstring& pattern,
                         const std::wstring& realFolder, bool removeFolder, Emptying& emptying) {
  bool result = true;
  const std::wstring folderKey = PathKey(folder);

  for (const FolderEntry& entry : ListWithAttributes(folder + pattern)) {
    const std::wstring full = folder + entry.name;
    const std::wstring realFull = realFolder + L"\\" + LowerAsciiW(entry.name);
    const bool ok = GuardedOr(false, [&] {
      if (IsNamedByPendingOperation(emptying, folderKey, entry.name, realFull)) return true;
      // Removed as a link at most; going through it would empty a place
      // that may lie anywhere on the machine.
      if (IsLinkEntry(entry.attributes)) return RemoveLinkInPlace(full, realFull, emptying);
      if (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) {
        return DeleteFolderEntries(full + L"\\", L"*", realFull, true, emptying);
      }
      return DeleteFileInPlace(full, realFull, entry.attributes, entry.bytes, emptying);
    });
    if (!ok) result = false;
  }

  if (result && emptying.mode == CleanMode::kPass) {
    const std::wstring target = FolderArgumentW(folder);
    result = ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL) != FALSE;
    if (result && removeFolder) result = ::RemoveDirectoryW(target.c_str()) != FALSE;
  }
  return result;
}

void ReadPendingFromRegistry(std::vector<std::string>& list, bool shortForms) {
  RegKey key;
  if (::RegOpenKeyA(HKEY_LOCAL_MACHINE, kSessionManagerKey, key.put()) != ERROR_SUCCESS) return;
  std::vector<char> name(kValueNameChars);
  std::vector<BYTE> data(kValueDataBytes);
  for (DWORD index = 0;; ++index) {
    DWORD nameLength = kValueNameChars;
    DWORD dataLength = kValueDataBytes;
    DWORD type = 0;
    if (::RegEnumValueA(key.get(), index, name.data(), &nameLength, nullptr, &type, data.data(),
                        &dataLength) != ERROR_SUCCESS) {
      return;
    }
    if (std::string_view(name.data(), nameLength) != kPendingRenameValue) continue;
    const std::string_view bytes(reinterpret_cast<const char*>(data.data()),
                                 std::min<DWORD>(dataLength, kValueDataBytes));
    std::vector<std::string> paths = PendingRenamePaths(bytes);
    for (std::string& other : PendingRenameOtherPaths(bytes)) paths.push_back(std::move(other));
    for (std::string& path : paths) {
      const std::string shortPath = shortForms ? Trim(ShortPathOf(path)) : std::string();
      if (!shortPath.empty()) path = shortPath;
      if (!path.empty()) list.push_back(std::move(path));
    }
    return;
  }
}

// A pending path as the emptying's list carries it: as it is when the ANSI
// code page holds it, else byte 1 and its UTF-8 form (short forms would not
// do: Wine's are hashed and two names may share one).
std::string ListFormOf(const std::wstring& path) {
  const std::string ansi = WideToAnsi(path);
  if (AnsiToWide(ansi) == path) return ansi;
  std::string marked(1, kUtf8Mark);
  marked += Utf8Of(path);
  return marked;
}

// The pending paths read in wide characters, so that a path outside the
// ANSI code page is not lost on the way (the emptying's list).
void ReadPendingPathsFromRegistry(std::vector<std::string>& list) {
  RegKey key;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_QUERY_VALUE, key.put()) !=
      ERROR_SUCCESS) {
    return;
  }
  const std::wstring value = AnsiToWide(kPendingRenameValue);
  DWORD size = 0;
  if (::RegQueryValueExW(key.get(), value.c_str(), nullptr, nullptr, nullptr, &size) !=
      ERROR_SUCCESS) {
    return;
  }
  std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
  if (::RegQueryValueExW(key.get(), value.c_str(), nullptr, nullptr,
                         reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS) {
    return;
  }
  data.resize(size / sizeof(wchar_t));
  const std::string bytes = Utf8Of(data);
  std::vector<std::string> paths = PendingRenamePaths(bytes);
  for (std::string& other : PendingRenameOtherPaths(bytes)) paths.push_back(std::move(other));
  for (const std::string& path : paths) {
    std::string listed = ListFormOf(WideOfUtf8(path));
    if (!listed.empty()) list.push_back(std::move(listed));
  }
}

void ReadPendingFromWininit(std::vector<std::string>& list, const RestartRoad& road) {
  const std::string iniPath = WithBackslash(road.windowsDirectory) + kWininitName;
  if (!Exists(iniPath)) return;
  const std::optional<std::string> text = ReadWholeFile(iniPath);
  if (!text) return;
  for (std::string& path : WininitPendingPaths(SplitLines(*text))) list.push_back(std::move(path));
}

}  // namespace

RestartRoad SystemRestartRoad() { return RestartRoad{IsNtPlatform(), WindowsDirectory()}; }

std::string ShortPathOf(const std::string& path) {
  char buffer[260] = {};
  const DWORD n = ::GetShortPathNameA(path.c_str(), buffer, sizeof buffer);
  if (n == 0 || n >= sizeof buffer) return {};
  return std::string(buffer, n);
}

bool DeleteFileOrDefer(const std::string& path, bool tryFirst, const RestartRoad& road) {
  const bool deleted = tryFirst && ::DeleteFileA(path.c_str());
  Guarded([&] {
    if (!Exists(path)) return;
    if (road.ntFamily) {
      ::MoveFileExA(path.c_str(), nullptr, kDelayedDeleteFlags);
    } else {
      ScheduleInWininit(path, road);
    }
  });
  return deleted;
}

bool DeleteFileOrDefer(const std::string& path, bool tryFirst) {
  return DeleteFileOrDefer(path, tryFirst, SystemRestartRoad());
}

bool ListFolderEntries(const std::string& mask, DWORD attributes, std::vector<std::string>& list) {
  return GuardedOr(false, [&] {
    // Hidden, system, volume and folder entries come only when asked for.
    const DWORD excluded = ~attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | 0x8 |
                                          FILE_ATTRIBUTE_DIRECTORY);
    WIN32_FIND_DATAA data{};
    FindHandle find(::FindFirstFileA(mask.c_str(), &data));
    if (!find) return false;
    do {
      const std::string_view name = data.cFileName;
      if (name == "." || name == "..") continue;
      if (data.dwFileAttributes & excluded) continue;
      list.emplace_back(name);
    } while (::FindNextFileA(find.get(), &data));
    return ::GetLastError() == ERROR_NO_MORE_FILES;
  });
}

bool DeleteFolderContents(const std::string& mask, bool removeFolder,
                          const std::vector<std::string>* ignoreList, const RestartRoad& road) {
  ItemTally unused;
  return DeleteFolderContents(mask, removeFolder, ignoreList, road, CleanMode::kPass, unused);
}

bool DeleteFolderContents(const std::string& mask, bool removeFolder,
                          const std::vector<std::string>* ignoreList, const RestartRoad& road,
                          CleanMode mode, ItemTally& tally) {
  return GuardedOr(false, [&] {
    // The folder in its long form, so that the names found in it compare
    // with the long forms of the pending paths.
    const std::string given = FolderOfMask(mask);
    if (given.empty()) return false;
    std::string longForm = LongPathOf(given);
    if (longForm.empty()) longForm = given;
    std::wstring folder = LongPrefixed(AnsiToWide(longForm));
    if (folder.back() != L'\\') folder.push_back(L'\\');
    // Where the folder really is, a link on the way to it followed: what lies
    // elsewhere is never touched.
    FileHandle top(::CreateFileW(FolderArgumentW(folder).c_str(), 0, kShareAll, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    const std::optional<std::wstring> realFolder =
        top ? RealLocationOf(top.get()) : std::optional<std::wstring>();
    if (!realFolder) return false;
    top.reset();
    Emptying emptying{PendingSetOf(ignoreList), road, mode, tally};
    emptying.pendingReal = RealPendingSetOf(emptying.pending);
    return DeleteFolderEntries(folder, AnsiToWide(mask.substr(given.size())), *realFolder,
                               removeFolder, emptying);
  });
}

std::optional<std::string> RealFolderPath(const std::string& folder) {
  return GuardedOr(std::optional<std::string>(), [&]() -> std::optional<std::string> {
    const std::wstring path = LongPrefixed(AnsiToWide(folder));
    FileHandle handle(::CreateFileW(path.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle) return std::nullopt;
    std::wstring final(32768, L'\0');
    const DWORD n = ::GetFinalPathNameByHandleW(handle.get(), final.data(),
                                                static_cast<DWORD>(final.size()),
                                                FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0 || n >= final.size()) return std::nullopt;
    final.resize(n);
    if (final.rfind(kLongUncPrefix, 0) == 0) {
      final = L"\\\\" + final.substr(8);
    } else if (final.rfind(kLongPrefix, 0) == 0) {
      final = final.substr(4);
    }
    return WideToUtf8(final);
  });
}

bool DeleteFolderContents(const std::string& mask, bool removeFolder,
                          const std::vector<std::string>* ignoreList) {
  return DeleteFolderContents(mask, removeFolder, ignoreList, SystemRestartRoad());
}

void ReadPendingOperations(std::vector<std::string>& list, const RestartRoad& road) {
  Guarded([&] {
    if (road.ntFamily) {
      ReadPendingFromRegistry(list, true);
    } else {
      ReadPendingFromWininit(list, road);
    }
  });
}

void ReadPendingOperations(std::vector<std::string>& list) {
  ReadPendingOperations(list, SystemRestartRoad());
}

void ReadPendingPaths(std::vector<std::string>& list) {
  const RestartRoad road = SystemRestartRoad();
  Guarded([&] {
    if (road.ntFamily) {
      ReadPendingPathsFromRegistry(list);
    } else {
      ReadPendingFromWininit(list, road);
    }
  });
}

std::string AfterRestartCommand() { return AfterRestartCommandText(ProgramShortPath()); }

}  // namespace sentrova
