#include "cleanup/restart_operations.h"

#include <optional>

#include "cleanup/pending_text.h"
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

void DebugOutput(const std::string& text) { ::OutputDebugStringA(text.c_str()); }

bool DeleteFolderEntries(const std::string& mask, bool removeFolder,
                         const std::vector<std::string>* ignoreList, const RestartRoad& road) {
  bool result = true;
  std::vector<std::string> names;
  ListFolderEntries(mask, kAnyFileAttributes, names);
  const std::string folder = FolderOfMask(mask);

  for (const std::string& name : names) {
    const std::string full = folder + name;
    const bool ok = GuardedOr(false, [&] {
      const DWORD attributes = ::GetFileAttributesA(full.c_str());
      const bool known = attributes != INVALID_FILE_ATTRIBUTES;
      const bool isLink = known && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
      if (known && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        // A junction or symbolic link is removed as a link; descending into
        // it would empty a folder that may lie anywhere on the machine.
        if (isLink) return ::RemoveDirectoryA(full.c_str()) != FALSE;
        return DeleteFolderEntries(full + "\\*.*", true, nullptr, road);
      }
      DebugOutput(full);
      if (ignoreList) {
        std::string shortPath = ShortPathOf(full);
        if (shortPath.empty()) shortPath = full;
        if (IgnoreListContains(*ignoreList, LowerAscii(shortPath))) {
          DebugOutput("ignore :" + full);
          return true;
        }
      }
      // The attributes of a link to a file would be set on its target.
      if (!isLink && !::SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL)) return false;
      return DeleteFileOrDefer(full, true, road);
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

void ReadPendingFromRegistry(std::vector<std::string>& list) {
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
    for (std::string& path : PendingRenamePaths(bytes)) {
      const std::string shortPath = Trim(ShortPathOf(path));
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
  return GuardedOr(false, [&] { return DeleteFolderEntries(mask, removeFolder, ignoreList, road); });
}

bool DeleteFolderContents(const std::string& mask, bool removeFolder,
                          const std::vector<std::string>* ignoreList) {
  return DeleteFolderContents(mask, removeFolder, ignoreList, SystemRestartRoad());
}

void ReadPendingOperations(std::vector<std::string>& list, const RestartRoad& road) {
  Guarded([&] {
    if (road.ntFamily) {
      ReadPendingFromRegistry(list);
    } else {
      ReadPendingFromWininit(list, road);
    }
  });
}

void ReadPendingOperations(std::vector<std::string>& list) {
  ReadPendingOperations(list, SystemRestartRoad());
}

std::string AfterRestartCommand() { return AfterRestartCommandText(ProgramShortPath()); }

void WriteAfterRestartCommand() {
  Guarded([] {
    WriteRegString(HKEY_LOCAL_MACHINE, kRunOnceKey, kRunOnceValue, true, AfterRestartCommand());
  });
}

}  // namespace sentrova
