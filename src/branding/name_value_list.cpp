#include "branding/name_value_list.h"

#include "platform/text.h"

namespace sentrova {

NameValueList::NameValueList(std::string_view text) {
  const size_t end = text.find('\0');
  if (end != std::string_view::npos) text = text.substr(0, end);
  lines_ = SplitLines(text);
}

std::optional<std::string> NameValueList::Find(std::string_view name) const {
  return FindIn(lines_, name);
}

std::optional<std::string> NameValueList::FindIn(const std::vector<std::string>& lines,
                                                 std::string_view name) {
  for (const std::string& line : lines) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    if (SameTextAscii(std::string_view(line).substr(0, eq), name)) return line.substr(eq + 1);
  }
  return std::nullopt;
}

}  // namespace sentrova
