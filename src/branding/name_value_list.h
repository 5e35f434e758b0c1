// NAME=VALUE texts as the program carries them in its resources (CONFIG,
// DEFSET, LABELS): 8-bit lines ended by CR LF, a NUL ending the text.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sentrova {

class NameValueList {
 public:
  NameValueList() = default;
  // Takes the text up to its first NUL and splits it into lines; empty lines
  // are kept (they separate groups) but never match a name.
  explicit NameValueList(std::string_view text);

  const std::vector<std::string>& Lines() const { return lines_; }

  // The value of the first line whose name (the part before its first "=")
  // equals `name` without regard to ASCII letter case: everything after that
  // "=", untrimmed. Lines without "=" have no name. nullopt when no line matches.
  std::optional<std::string> Find(std::string_view name) const;

  // Find, with an empty text for a missing name.
  std::string Value(std::string_view name) const { return Find(name).value_or(std::string()); }

  // The lookup of Find over lines split already.
  static std::optional<std::string> FindIn(const std::vector<std::string>& lines,
                                           std::string_view name);

 private:
  std::vector<std::string> lines_;
};

}  // namespace sentrova
