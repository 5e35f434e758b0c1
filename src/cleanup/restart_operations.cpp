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

// A folder path as the attribute and removal calls take it: without the
// trailing backslash, except for a drive's root.
std::string FolderArgument(const std::string& folder) {
  if (folder.size() > 1 && folder.back() == '\\' && folder[folder.size() - 2] != ':') {
    return folder.substr(0, folder.size() - 1);
  }
  return folder;
}

// A path's long form, empty when it cannot be had.
std::string LongPathOf(const std::string& path) {
  char buffer[MAX_PATH + 1] = {};
  const DWORD n = ::GetLongPathNameA(path.c_str(), buffer, sizeof buffer);
  if (n == 0 || n >= sizeof buffer) return {};
  return std::string(buffer, n);
}

// Where an open file or folder really is: its path on its volume (a link
// resolved, drive left out), ASCII lower-cased; nothing when it cannot be
// had. The volume-relative name costs a fraction of the full final path, which
// Wine builds by searching its drive table on every call.
std::optional<std::string> RealLocationOf(HANDLE handle) {
  alignas(FILE_NAME_INFO) char buffer[sizeof(FILE_NAME_INFO) + 2048] = {};
  auto* info = reinterpret_cast<FILE_NAME_INFO*>(buffer);
  if (!::GetFileInformationByHandleEx(handle, FileNameInfo, info, sizeof buffer - sizeof(WCHAR))) {
    return std::nullopt;
  }
  const std::wstring name(info->FileName, info->FileNameLength / sizeof(WCHAR));
  return NormalisedPath(WideToAnsi(name));
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

FileHandle OpenForLocation(const std::string& path, DWORD access, DWORD flags) {
  return FileHandle(::CreateFileA(path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                                  flags | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// What one emptying needs on its way down: the paths that pending restart
// operations name (normalised, long and short forms), hashed so that each
// file costs one look-up.
struct Emptying {
  std::unordered_set<std::string> ignored;
  const RestartRoad& road;
  // The same paths where they really lie, so that a folder reached through a
  // link keeps what an operation names by the other way.
  std::unordered_set<std::string> ignoredReal;
};

std::unordered_set<std::string> IgnoreSetOf(const std::vector<std::string>* ignoreList) {
  std::unordered_set<std::string> set;
  if (ignoreList == nullptr) return set;
  for (const std::string& entry : *ignoreList) {
    set.insert(NormalisedPath(entry));
    // Only a name that may be a short one is looked up: under Wine each look-up
    // reads the whole folder.
    if (entry.find('~') == std::string::npos) continue;
    const std::string longForm = LongPathOf(entry);
    if (!longForm.empty()) set.insert(NormalisedPath(longForm));
  }
  return set;
}

// The real locations of the ignored paths: each folder is resolved once, and
// a name that does not exist yet (a rename's destination) resolves too.
std::unordered_set<std::string> RealIgnoreSetOf(const std::unordered_set<std::string>& ignored) {
  std::unordered_set<std::string> real;
  std::unordered_map<std::string, std::optional<std::string>> folders;
  for (const std::string& path : ignored) {
    const size_t slash = path.find_last_of('\\');
    if (slash == std::string::npos) continue;
    auto [folder, fresh] = folders.try_emplace(path.substr(0, slash));
    if (fresh) {
      FileHandle handle = OpenForLocation(FolderArgument(folder->first + "\\"), 0,
                                          FILE_FLAG_BACKUP_SEMANTICS);
      if (handle) folder->second = RealLocationOf(handle.get());
    }
    if (folder->second) real.insert(*folder->second + path.substr(slash));
  }
  return real;
}

// Deletes one file of a folder being emptied. `expected` is where the file
// must really be (its folder's real location and its name): under Wine a
// link to a file looks like a plain file and deleting it by name deletes
// what it points to, so a file that really lies elsewhere is left alone.
// A file that is locked is handed to the restart processing.
bool DeleteFileInPlace(const std::string& full, const std::string& expected, DWORD attributes,
                       const RestartRoad& road) {
  const bool readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
  FileHandle file = OpenForLocation(full, DELETE | (readOnly ? FILE_WRITE_ATTRIBUTES : 0), 0);
  if (!file) {
    // Locked (or gone): check the place with an open that asks for nothing.
    FileHandle probe = OpenForLocation(full, 0, 0);
    if (!probe) return ::GetFileAttributesA(full.c_str()) == INVALID_FILE_ATTRIBUTES;
    if (RealLocationOf(probe.get()) != expected) return false;
    probe.reset();
    DeleteFileOrDefer(full, false, road);
    return false;
  }
  if (RealLocationOf(file.get()) != expected) return false;
  if (readOnly) {
    FILE_BASIC_INFO basic{};
    basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    ::SetFileInformationByHandle(file.get(), FileBasicInfo, &basic, sizeof basic);
  }
  FILE_DISPOSITION_INFO disposition{TRUE};
  if (::SetFileInformationByHandle(file.get(), FileDispositionInfo, &disposition,
                                   sizeof disposition)) {
    return true;  // gone when the handle closes
  }
  file.reset();
  DeleteFileOrDefer(full, false, road);
  return false;
}

struct FolderEntry {
  std::string name;
  DWORD attributes;
};

std::vector<FolderEntry> ListWithAttributes(const std::string& mask) {
  std::vector<FolderEntry> entries;
  WIN32_FIND_DATAA data{};
  FindHandle find(::FindFirstFileA(mask.c_str(), &data));
  if (!find) return entries;
  do {
    const std::string_view name = data.cFileName;
    if (name == "." || name == "..") continue;
    entries.push_back(FolderEntry{std::string(name), data.dwFileAttributes});
  } while (::FindNextFileA(find.get(), &data));
  return entries;
}

// Empties the folder of `mask`, whose real location is `realFolder`.
bool DeleteFolderEntries(const std::string& mask, const std::string& realFolder,
                         bool removeFolder, Emptying& emptying) {
  bool result = true;
  const std::string folder = FolderOfMask(mask);
  const std::string folderKey = NormalisedPath(folder);

  for (const FolderEntry& entry : ListWithAttributes(mask)) {
    const std::string full = folder + entry.name;
    const std::string realFull = realFolder + "\\" + LowerAscii(entry.name);
    const bool ok = GuardedOr(false, [&] {
      if (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) {
        // A junction or symbolic link is removed as a link; descending into
        // it would empty a folder that may lie anywhere on the machine.
        if (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
          return ::RemoveDirectoryA(full.c_str()) != FALSE;
        }
        return DeleteFolderEntries(full + "\\*.*", realFull, true, emptying);
      }
      // Every path that a pending restart operation names stays as it is.
      if (!emptying.ignored.empty() &&
          (emptying.ignored.count(folderKey + "\\" + LowerAscii(entry.name)) != 0 ||
           emptying.ignoredReal.count(realFull) != 0)) {
        return true;
      }
      return DeleteFileInPlace(full, realFull, entry.attributes, emptying.road);
    });
    if (!ok) result = false;
  }

  if (result) {
    const std::string target = FolderArgument(folder);
    result = ::SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL) != FALSE;
    if (result && removeFolder) result = ::RemoveDirectoryA(target.c_str()) != FALSE;
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
  return GuardedOr(false, [&] {
    // The folder in its long form, so that the names found in it compare
    // with the long forms of the pending paths.
    const std::string given = FolderOfMask(mask);
    std::string folder = LongPathOf(given);
    if (folder.empty()) folder = given;
    if (!folder.empty() && folder.back() != '\\') folder.push_back('\\');
    const std::string longMask = folder + mask.substr(given.size());
    FileHandle top = OpenForLocation(FolderArgument(folder), 0, FILE_FLAG_BACKUP_SEMANTICS);
    const std::optional<std::string> realFolder =
        top ? RealLocationOf(top.get()) : std::optional<std::string>();
    if (!realFolder) return false;
    top.reset();
    Emptying emptying{IgnoreSetOf(ignoreList), road};
    emptying.ignoredReal = RealIgnoreSetOf(emptying.ignored);
    return DeleteFolderEntries(longMask, *realFolder, removeFolder, emptying);
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
      ReadPendingFromRegistry(list, false);
    } else {
      ReadPendingFromWininit(list, road);
    }
  });
}

std::string AfterRestartCommand() { return AfterRestartCommandText(ProgramShortPath()); }

void WriteAfterRestartCommand() {
  Guarded([] {
    WriteRegString(HKEY_LOCAL_MACHINE, kRunOnceKey, kRunOnceValue, true, AfterRestartCommand());
  });
}

}  // namespace sentrova
