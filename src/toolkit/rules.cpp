#include "toolkit/rules.h"

#include <vector>

#include "toolkit/kinds.h"

namespace sentrova {

std::string ReadGrowingText(const std::function<size_t(char* buffer, size_t size)>& read) {
  std::vector<char> buffer;
  for (size_t size = kFirstTextBuffer;; size = NextTextBuffer(size)) {
    // One byte more than the reader is told: a list view that fills the
    // buffer may put its NUL past the end (Wine's does not stop short).
    buffer.assign(size + 1, '\0');
    size_t length = read(buffer.data(), size);
    // Wine's list view reports the buffer's size, not the characters copied,
    // when the text fills the buffer.
    if (length >= size) length = size - 1;
    if (!TextFillsBuffer(length, size) || NextTextBuffer(size) > kLargestTextBuffer)
      return std::string(buffer.data(), length);
  }
}

std::string TrayTooltip(std::string_view text) {
  const size_t end = text.find('\0');
  if (end != std::string_view::npos) text = text.substr(0, end);
  return std::string(text.substr(0, kTrayTooltipLength));
}

Extent AutoSizeExtent(ControlKind kind, int textWidth, int textHeight) {
  switch (kind) {
    case ControlKind::Button:
      return {textWidth + 16, textHeight + 10};
    case ControlKind::Checkbox:
      return {textWidth + 20, textHeight + 4};
    case ControlKind::Editbox:
      return {textWidth + 8, textHeight + 6};
    default:
      return {textWidth, textHeight};
  }
}

}  // namespace sentrova
