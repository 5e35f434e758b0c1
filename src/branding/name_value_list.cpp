#include "branding/name_value_list.h"

#include "platform/text.h"

namespace sentrova {

NameValueList::NameValueList(std::string_view text) {
  const size_t end = text.find('\0');
  if (end != std::string_view::npos) text = text.substr(0, end);
  lines_ = SplitLines(text);
}

std::optional<std::string> NameValueList::Find(std::string_view name) const {
  for (const std::string& line : lines_) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    if (SameTextAscii(std::string_view(line).substr(0, eq), name)) return line.substr(eq + 1);
  }
  return std::nullopt;
}

}  // namespace sentrova
