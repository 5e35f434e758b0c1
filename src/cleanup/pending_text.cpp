#include "cleanup/pending_text.h"

#include "platform/text.h"

namespace sentrova {

namespace {
constexpr std::string_view kNtPrefix = "\\??\\";

// The strings of whole pairs, each ended by a NUL (the last one may lack it).
// An empty string where a source is due ends the list; an empty destination
// is a deletion; a source without its destination at the very end is no
// operation.
std::vector<std::string_view> PendingStrings(std::string_view data) {
  std::vector<std::string_view> strings;
  size_t pos = 0;
  while (pos < data.size()) {
    size_t end = data.find('\0', pos);
    if (end == std::string_view::npos) end = data.size();
    const std::string_view text = data.substr(pos, end - pos);
    if (text.empty() && strings.size() % 2 == 0) break;
    strings.push_back(text);
    pos = end + 1;
  }
  if (strings.size() % 2 != 0) strings.pop_back();
  return strings;
}
}  // namespace

std::vector<std::string> PendingRenamePaths(std::string_view data) {
  const std::vector<std::string_view> strings = PendingStrings(data);

  std::vector<std::string> paths;
  for (size_t pair = strings.size() / 2; pair-- > 0;) {
    const std::string_view source = strings[2 * pair];
    const std::string_view destination = strings[2 * pair + 1];
    // A deletion or a replacing rename acts on its source; a plain rename
    // leaves a file at its destination.
    const bool onSource = destination.empty() || destination.front() == '!';
    std::string path = LowerAscii(onSource ? source : destination);
    if (const size_t p = path.find(kNtPrefix); p != std::string::npos) {
      path.erase(p, kNtPrefix.size());
    }
    if (!path.empty()) paths.push_back(std::move(path));
  }
  return paths;
}

std::vector<std::string> PendingRenameOtherPaths(std::string_view data) {
  std::vector<std::string> paths;
  const std::vector<std::string_view> strings = PendingStrings(data);
  for (size_t pair = strings.size() / 2; pair-- > 0;) {
    const std::string_view source = strings[2 * pair];
    std::string_view destination = strings[2 * pair + 1];
    if (destination.empty()) continue;  // a deletion names one path only
    const bool replacing = destination.front() == '!';
    if (replacing) destination.remove_prefix(1);
    std::string path = LowerAscii(replacing ? destination : source);
    if (const size_t p = path.find(kNtPrefix); p != std::string::npos) {
      path.erase(p, kNtPrefix.size());
    }
    if (!path.empty()) paths.push_back(std::move(path));
  }
  return paths;
}

std::vector<std::string> WithWininitDeletion(std::vector<std::string> lines,
                                             std::string_view shortPath) {
  bool hasSection = false;
  for (std::string& line : lines) {
    line = UpperAscii(line);
    if (line == "[RENAME]") hasSection = true;
  }
  if (!hasSection) lines.emplace_back("[RENAME]");
  lines.push_back("NUL=" + std::string(shortPath));
  return lines;
}

std::vector<std::string> WininitPendingPaths(const std::vector<std::string>& lines) {
  std::vector<std::string> paths;
  for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
    const size_t eq = line->find('=');
    std::string path = eq == std::string::npos ? *line : line->substr(eq + 1);
    if (!path.empty()) paths.push_back(std::move(path));
  }
  return paths;
}

std::string JoinIniLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

bool IgnoreListContains(const std::vector<std::string>& ignoreList, std::string_view path) {
  for (const std::string& entry : ignoreList) {
    if (SameTextAscii(entry, path)) return true;
  }
  return false;
}

std::string NormalisedPath(std::string_view path) {
  std::string text = LowerAscii(path);
  for (char& c : text) {
    if (c == '/') c = '\\';
  }
  while (!text.empty() && text.back() == '\\') text.pop_back();
  return text;
}

std::string AfterRestartCommandText(std::string_view programShortPath) {
  const bool quoted = programShortPath.find(' ') != std::string_view::npos;
  std::string command;
  if (quoted) command.push_back('"');
  command.append(programShortPath);
  if (quoted) command.push_back('"');
  command.append(" /cleanup");
  return command;
}

}  // namespace sentrova
