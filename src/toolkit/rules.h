// The toolkit's arithmetic, kept free of the platform so that it is tested on
// its own: centring, the size rule, the growing text read and the tray tooltip.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "toolkit/kinds.h"

namespace sentrova {

// Offset that centres `window` pixels in `screen` pixels: half the
// difference, truncated toward zero, so a window wider than the screen gets a
// negative offset of half the excess.
constexpr int CenteredOffset(int screen, int window) { return (screen - window) / 2; }

// The set-size rule: a requested width or height of 0 or less keeps the
// current one.
constexpr int SizeOrCurrent(int requested, int current) {
  return requested > 0 ? requested : current;
}

// Reading a text of unknown length: the first buffer holds 100 bytes; while
// the text fills a buffer (its length reaches the size minus 1, the NUL's
// place), read again with twice the size plus 100 (100, 300, 700, 1500...).
inline constexpr size_t kFirstTextBuffer = 100;
// Beyond this a reader that keeps filling its buffer is taken as it stands.
inline constexpr size_t kLargestTextBuffer = size_t{1} << 22;

constexpr size_t NextTextBuffer(size_t size) { return size * 2 + 100; }
constexpr bool TextFillsBuffer(size_t length, size_t size) { return length + 1 >= size; }

// `read` copies the text, NUL-terminated and cut to fit, into a buffer of the
// given size and returns the number of characters copied. Returns the text
// read with the first buffer that it did not fill (or the largest buffer).
std::string ReadGrowingText(const std::function<size_t(char* buffer, size_t size)>& read);

// The notification area shows at most 63 characters of a tooltip (the first
// version record has 64 bytes for it, NUL included).
inline constexpr size_t kTrayTooltipLength = 63;
// The tooltip as the record carries it: cut to 63 characters and at any NUL.
std::string TrayTooltip(std::string_view text);

// Keyboard messages, WM_KEYFIRST (256) to the classic WM_KEYLAST (264): the
// ones offered to accelerator tables.
constexpr bool IsKeyboardMessage(unsigned message) { return message >= 256 && message <= 264; }

// Size of an auto-sized control around a caption of textWidth x textHeight
// pixels: a push button gets room for its frame, a check box for its box.
struct Extent {
  int width;
  int height;
};
Extent AutoSizeExtent(ControlKind kind, int textWidth, int textHeight);

}  // namespace sentrova
