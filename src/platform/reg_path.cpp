#include "platform/reg_path.h"

#include "platform/text.h"

namespace sentrova {

std::string NormalizeKeyPath(std::string_view path) {
  const std::string trimmed = Trim(path);
  std::string result;
  result.reserve(trimmed.size());
  for (char c : trimmed) {
    if (c == '\\' && !result.empty() && result.back() == '\\') continue;
    result.push_back(c);
  }
  if (!result.empty() && result.back() == '\\') result.pop_back();
  return result;
}

}  // namespace sentrova
