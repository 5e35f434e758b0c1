// File operations of the clean-up that hand locked files over to the
// system's restart processing, and the command that finishes a clean-up
// after the restart.
//
// Two roads exist: the NT family schedules through the system's pending
// rename operations (MoveFileExA with "delay until reboot"); other Windows
// through the "[RENAME]" section of wininit.ini in the Windows directory.
// Every operation has a form that takes the road explicitly; the plain form
// takes the running system's.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "cleanup/clean_report.h"

namespace sentrova {

struct RestartRoad {
  bool ntFamily = true;
  std::string windowsDirectory;  // with a trailing backslash; for wininit.ini
};

// The running system's road: IsNtPlatform and WindowsDirectory.
RestartRoad SystemRestartRoad();

// Deletes a file now when tryFirst is set, and schedules the deletion for the
// next restart when the file is still there. True only when the file was
// deleted now. Failures to schedule are swallowed.
bool DeleteFileOrDefer(const std::string& path, bool tryFirst, const RestartRoad& road);
bool DeleteFileOrDefer(const std::string& path, bool tryFirst);

// The any-file attribute filter.
constexpr DWORD kAnyFileAttributes = 63;

// Adds the names (without folder) that match a mask such as "C:\dir\*.*",
// except "." and "..". Hidden, system and folder entries come only when the
// attribute filter asks for them. True when the search ran to its normal end.
bool ListFolderEntries(const std::string& mask, DWORD attributes, std::vector<std::string>& list);

// Deletes everything that matches the mask: files are deleted or, when
// locked, scheduled for the restart; subfolders are emptied and removed. A
// file that the ignore list names (short or long form, at any depth; ASCII
// case ignored) is left alone without failing the result; so is a folder
// that it names, with everything in it. An entry that is a link (junction or
// symbolic link) is removed as a link at most; what it points to is never
// touched, and a file that really lies outside the folder is left alone. The
// mask's folder itself may be a link: its contents are where it leads. Names
// outside the ANSI code page and paths longer than 260 characters are
// emptied like any other. When everything went, the mask's folder
// gets normal attributes and, with removeFolder, is removed. True when
// everything under the mask was removed (and the folder too, when asked).
bool DeleteFolderContents(const std::string& mask, bool removeFolder,
                          const std::vector<std::string>* ignoreList, const RestartRoad& road);
bool DeleteFolderContents(const std::string& mask, bool removeFolder,
                          const std::vector<std::string>* ignoreList);
// The same walk in either mode (see CleanMode). It tallies each file (its
// size) and each link (0 bytes) that a pass removes; folders are not
// counted. A preview opens each entry as the pass does and changes nothing:
// no deletion, no attribute, nothing handed to the restart processing; it
// answers whether everything would go.
bool DeleteFolderContents(const std::string& mask, bool removeFolder,
                          const std::vector<std::string>* ignoreList, const RestartRoad& road,
                          CleanMode mode, ItemTally& tally);

// Where a folder really is: its full path with every link on the way to it
// resolved ("C:\..."), in UTF-8; nothing when it cannot be opened.
std::optional<std::string> RealFolderPath(const std::string& folder);

// Appends the short paths of the files already scheduled for the restart
// (the paths each operation acts on, last to first), then the other paths
// the operations name (the source of a rename, the file a rename replaces).
void ReadPendingOperations(std::vector<std::string>& list, const RestartRoad& road);
void ReadPendingOperations(std::vector<std::string>& list);
// The same paths as recorded (long forms on the NT family), without the short
// form looked up for each: under Wine each look-up reads the whole folder. A
// path that the ANSI code page cannot hold comes as byte 1 followed by its
// UTF-8 form. DeleteFolderContents takes either list.
void ReadPendingPaths(std::vector<std::string>& list);

// The short (8.3) form of a path, empty when it cannot be had.
std::string ShortPathOf(const std::string& path);

// The RunOnce command that finishes the clean-up after the restart, and its
// place (HKLM, or HKCU where that is refused; see after_restart.h).
constexpr const char* kRunOnceKey = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce\\";
constexpr const char* kRunOnceValue = "VRX";
std::string AfterRestartCommand();

// Where the NT family keeps the pending operations (HKLM).
constexpr const char* kSessionManagerKey = "System\\CurrentControlSet\\Control\\Session Manager";
constexpr const char* kPendingRenameValue = "PendingFileRenameOperations";

}  // namespace sentrova
