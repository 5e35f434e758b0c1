#include "cleanup/clean_report.h"

#include <charconv>
#include <cstdio>

namespace sentrova {

namespace {

constexpr std::string_view kFormatVersion = "1";
// Counts and bytes stay within what a page script holds exactly (2^53).
constexpr size_t kMaxDigits = 15;

bool ParseCount(std::string_view text, uint64_t& value) {
  if (text.empty() || text.size() > kMaxDigits) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

bool IsKeyText(std::string_view key) {
  if (key.empty() || key.size() > 64) return false;
  for (const char c : key) {
    if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) return false;
  }
  return true;
}

// "YYYY-MM-DD HH:MM:SS", every digit in place.
std::optional<OleDateTime> ParseWhen(std::string_view text) {
  if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' ||
      text[13] != ':' || text[16] != ':') {
    return std::nullopt;
  }
  auto field = [&](size_t at, size_t length, int& out) {
    uint64_t value = 0;
    if (!ParseCount(text.substr(at, length), value)) return false;
    out = static_cast<int>(value);
    return true;
  };
  DateTimeParts parts;
  OleDateTime when = 0;
  if (!field(0, 4, parts.year) || !field(5, 2, parts.month) || !field(8, 2, parts.day) ||
      !field(11, 2, parts.hour) || !field(14, 2, parts.minute) || !field(17, 2, parts.second) ||
      !EncodeOleDateTime(parts, when)) {
    return std::nullopt;
  }
  return when;
}

std::string WhenText(OleDateTime when, bool seconds) {
  DateTimeParts parts;
  if (!DecodeOleDateTime(when, parts)) return {};
  char text[32] = {};
  if (seconds) {
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", parts.year, parts.month,
                  parts.day, parts.hour, parts.minute, parts.second);
  } else {
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", parts.year, parts.month,
                  parts.day, parts.hour, parts.minute);
  }
  return text;
}

}  // namespace

ItemTally& CleanReport::Item(std::string_view key) {
  for (ItemTally& item : items) {
    if (item.key == key) return item;
  }
  items.push_back(ItemTally{std::string(key), 0, 0});
  return items.back();
}

uint64_t CleanReport::TotalCount() const {
  uint64_t total = 0;
  for (const ItemTally& item : items) total += item.count;
  return total;
}

uint64_t CleanReport::TotalBytes() const {
  uint64_t total = 0;
  for (const ItemTally& item : items) total += item.bytes;
  return total;
}

std::string EncodeCleanReport(const CleanReport& report) {
  // Appended piece by piece: GCC 12 at -O3 warns about the temporaries of a
  // chain of "+" (a false -Wrestrict), and the build treats warnings as errors.
  std::string text(kFormatVersion);
  text += ';';
  text += WhenText(report.when, true);
  for (const ItemTally& item : report.items) {
    text += ';';
    text += item.key;
    text += '=';
    text += std::to_string(item.count);
    text += ',';
    text += std::to_string(item.bytes);
  }
  return text;
}

std::optional<CleanReport> DecodeCleanReport(std::string_view text) {
  std::vector<std::string_view> fields;
  for (size_t start = 0;;) {
    const size_t end = text.find(';', start);
    fields.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  if (fields.size() < 2 || fields[0] != kFormatVersion) return std::nullopt;
  CleanReport report;
  const std::optional<OleDateTime> when = ParseWhen(fields[1]);
  if (!when) return std::nullopt;
  report.when = *when;
  for (size_t i = 2; i < fields.size(); ++i) {
    const std::string_view field = fields[i];
    const size_t equals = field.find('=');
    const size_t comma = field.find(',', equals == std::string_view::npos ? 0 : equals);
    if (equals == std::string_view::npos || comma == std::string_view::npos) return std::nullopt;
    ItemTally item;
    item.key = std::string(field.substr(0, equals));
    if (!IsKeyText(item.key) ||
        !ParseCount(field.substr(equals + 1, comma - equals - 1), item.count) ||
        !ParseCount(field.substr(comma + 1), item.bytes)) {
      return std::nullopt;
    }
    for (const ItemTally& seen : report.items) {
      if (seen.key == item.key) return std::nullopt;
    }
    report.items.push_back(std::move(item));
  }
  return report;
}

std::string SizeText(uint64_t bytes) {
  if (bytes < 1024) return CountText(bytes, "byte", "bytes");
  static constexpr const char* kUnits[] = {"KB", "MB", "GB", "TB"};
  double value = static_cast<double>(bytes) / 1024.0;
  size_t unit = 0;
  // Rounded to one decimal, 1023.96 KB would read "1024.0 KB": move up first.
  while (value >= 1023.95 && unit + 1 < std::size(kUnits)) {
    value /= 1024.0;
    ++unit;
  }
  char text[32] = {};
  std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
  return text;
}

std::string CountText(uint64_t count, std::string_view one, std::string_view many) {
  return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

std::string LastCleanLine(const CleanReport& report) {
  return "Last clean-up: " + WhenText(report.when, false) + ", " +
         CountText(report.TotalCount(), "item", "items") + ", " + SizeText(report.TotalBytes()) +
         " freed";
}

}  // namespace sentrova
