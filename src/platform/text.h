// Text helpers shared by every subsystem. Platform-free: texts are byte
// strings in the system's ANSI code page, and case rules touch ASCII letters
// only, so that they never depend on the user's locale.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sentrova {

// True for the characters that separate and pad texts: codes 1 to 32
// (blank and control characters). NUL is not among them.
constexpr bool IsBlankOrControl(char c) {
  const auto u = static_cast<unsigned char>(c);
  return u >= 1 && u <= 32;
}

// Removes leading and trailing blanks and control characters (codes 1-32).
std::string Trim(std::string_view text);
std::string TrimLeft(std::string_view text);
std::string TrimRight(std::string_view text);

// ASCII-only case changes: a-z <-> A-Z; every other byte stays.
std::string UpperAscii(std::string_view text);
std::string LowerAscii(std::string_view text);
char UpperAscii(char c);
char LowerAscii(char c);

// Case-insensitive (ASCII) comparisons.
bool SameTextAscii(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
// Position of the first case-insensitive occurrence of needle at or after
// `from`, or std::string::npos.
size_t FindNoCase(std::string_view text, std::string_view needle, size_t from = 0);

// Splits a text into lines at CR LF, LF or a lone CR; a final line break does
// not add an empty last line.
std::vector<std::string> SplitLines(std::string_view text);

// Parses a whole text as a signed 32-bit decimal number ("+5", "-12"; no
// blanks, no trailing characters). False when it is not one.
bool ParseInt32(std::string_view text, int& value);

}  // namespace sentrova
