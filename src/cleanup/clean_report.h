// What a clean-up found or removed: per selected item the number of things
// (files, cache entries, registry values, history entries) and their bytes.
// A preview fills one without removing anything; every pass fills one with
// what it really removed and keeps it in the host's configuration under
// `LAST_CLEAN`, where the Clean Up page and the tray read it. Platform-free.
//
// The stored text is one line of fields separated by ';':
//   "1;2026-12-07 22:30:15;IE_TEMP=12,34567;WIN_TEMP=3,1024"
// the format's version, the local time the pass ended, then one field per
// item: its configuration key, "=", the count, ",", the bytes (decimal).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/date_time.h"

namespace sentrova {

inline constexpr char kLastCleanKey[] = "LAST_CLEAN";

// How a clean-up step goes over its places. Each step walks them once, the
// same way in both modes, and tallies as it goes: a preview removes nothing
// and counts what a pass would remove; a pass removes and counts only what
// really went (a file handed to the restart processing, an entry whose
// deletion failed, is not counted).
enum class CleanMode { kPreview, kPass };

struct ItemTally {
  std::string key;  // the item's configuration key, "IE_TEMP"
  uint64_t count = 0;
  uint64_t bytes = 0;

  // One thing of `size` bytes found or removed.
  void Add(uint64_t size) {
    ++count;
    bytes += size;
  }
  void Add(const ItemTally& other) {
    count += other.count;
    bytes += other.bytes;
  }
};

struct CleanReport {
  OleDateTime when = 0;  // local time; 0 for a preview
  std::vector<ItemTally> items;  // in the pass's order

  // The tally of `key`, added at the end when missing.
  ItemTally& Item(std::string_view key);
  uint64_t TotalCount() const;
  uint64_t TotalBytes() const;
};

std::string EncodeCleanReport(const CleanReport& report);
// Nothing for a text that is not a whole, well-formed report of this format.
std::optional<CleanReport> DecodeCleanReport(std::string_view text);

// "512 bytes", "1 byte", "34.6 KB", "1.2 MB", "3.0 GB" (1 KB = 1024 bytes).
std::string SizeText(uint64_t bytes);
// "1 item", "15 items".
std::string CountText(uint64_t count, std::string_view one, std::string_view many);
// "Last clean-up: 2026-12-07 22:30, 15 items, 34.6 KB freed".
std::string LastCleanLine(const CleanReport& report);

}  // namespace sentrova
