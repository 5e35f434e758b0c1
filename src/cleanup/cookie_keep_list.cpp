#include "cleanup/cookie_keep_list.h"

#include "platform/text.h"

namespace sentrova {

std::string CookieHostOf(std::string_view sourceUrlName) {
  std::string host = LowerAscii(sourceUrlName);
  const size_t at = host.find('@');
  if (at != std::string::npos) host.erase(0, at + 1);
  const size_t slash = host.find('/');
  if (slash != std::string::npos) host.erase(slash);
  return host;
}

std::vector<std::string> KeepListLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t end = text.find_first_of("\r\n", start);
    const size_t stop = end == std::string_view::npos ? text.size() : end;
    if (stop > start) lines.emplace_back(text.substr(start, stop - start));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return lines;
}

bool IsKeptHost(const std::vector<std::string>& kept, std::string_view host) {
  for (const std::string& name : kept) {
    if (SameTextAscii(name, host)) return true;
  }
  return false;
}

std::string KeepListText(const std::vector<std::string>& kept) {
  std::string text;
  for (const std::string& name : kept) {
    text += name;
    text += '\n';
  }
  return text;
}

}  // namespace sentrova
