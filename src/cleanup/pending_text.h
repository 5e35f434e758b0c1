// The texts behind deletion at restart, platform-free: the system's pending
// rename data (NT family), the "[RENAME]" section of wininit.ini (other
// Windows), the ignore list built from them, and the RunOnce command that
// finishes a clean-up after the restart.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sentrova {

// The files named by the data of the "PendingFileRenameOperations" value:
// NUL-terminated strings in pairs (source, destination), an empty destination
// for a deletion and "!" before the destination of a replacing rename; an
// empty string where a source is due ends the list. Pairs are read from the
// last to the first; a deletion or a replacing rename gives its source, a
// plain rename its destination. Each path is ASCII lower-cased and loses its
// first "\??\". Empty results are dropped. The caller turns the paths into
// their short form where the file still exists. Data that lacks the closing
// NULs or ends in a lone source is read as far as it holds whole pairs.
std::vector<std::string> PendingRenamePaths(std::string_view data);

// The other paths the same data names: the source of a plain rename and the
// destination of a replacing rename (without its "!"), in the same order and
// form. A clean-up leaves every path an operation names alone: deleting the
// staged source of a rename would make the rename fail at the restart.
std::vector<std::string> PendingRenameOtherPaths(std::string_view data);

// wininit.ini read as a list of lines, after scheduling the deletion of the
// file with the given short path: every existing line upper-cased, a
// "[RENAME]" line added at the end when no line is one, then "NUL=" + path.
std::vector<std::string> WithWininitDeletion(std::vector<std::string> lines,
                                             std::string_view shortPath);

// The files wininit.ini will act on, from its last line to its first: the
// text after the first "=" of each line (the whole line when it has none),
// non-empty ones only. Section headers come along; they match no file.
std::vector<std::string> WininitPendingPaths(const std::vector<std::string>& lines);

// The lines of a text file as written back: each line followed by CR LF.
std::string JoinIniLines(const std::vector<std::string>& lines);

// Whether a path is on the ignore list (ASCII case ignored).
bool IgnoreListContains(const std::vector<std::string>& ignoreList, std::string_view path);

// A path as the ignore set compares it: ASCII lower-cased, "/" read as "\",
// without trailing backslashes.
std::string NormalisedPath(std::string_view path);

// The RunOnce command that runs the clean-up after the restart: the program's
// short path, one blank and the option. A path that still holds a blank (no
// short form could be had) is quoted, so that the command line stays valid.
std::string AfterRestartCommandText(std::string_view programShortPath);

}  // namespace sentrova
