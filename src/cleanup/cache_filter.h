// Entry kinds and search patterns of the URL cache component. Platform-free:
// the flag values are WinINet's cache-entry-type bits, spelled out here so
// that the mask arithmetic can be checked without the library.
#pragma once

#include <atomic>
#include <cstdint>
#include <initializer_list>

namespace sentrova {

// The entry kinds in their stored order. The two tracking kinds come after
// the cookie and history kinds although their flags are smaller: a stored set
// keeps them in bits 5 and 6, with the flags 0x10 and 0x20.
enum class TFilterOption : uint8_t {
  NORMAL_ENTRY = 0,
  STABLE_ENTRY = 1,
  STICKY_ENTRY = 2,
  COOKIE_ENTRY = 3,
  URLHISTORY_ENTRY = 4,
  TRACK_OFFLINE_ENTRY = 5,
  TRACK_ONLINE_ENTRY = 6,
  SPARSE_ENTRY = 7,
  OCX_ENTRY = 8,
};

constexpr int kFilterOptionCount = 9;

// The WinINet cache-entry-type flag of one kind.
constexpr uint32_t FilterOptionFlag(TFilterOption option) {
  constexpr uint32_t kFlags[kFilterOptionCount] = {0x1,  0x2,  0x4,     0x100000, 0x200000,
                                                   0x10, 0x20, 0x10000, 0x20000};
  return kFlags[static_cast<uint8_t>(option)];
}

// A set of entry kinds, stored in 16 bits: bit i stands for the kind of
// ordinal i.
class TFilterOptions {
 public:
  constexpr TFilterOptions() = default;
  constexpr TFilterOptions(std::initializer_list<TFilterOption> options) {
    for (TFilterOption o : options) Include(o);
  }
  static constexpr TFilterOptions FromBits(uint16_t bits) {
    TFilterOptions set;
    set.bits_ = static_cast<uint16_t>(bits & kAllBits);
    return set;
  }

  constexpr void Include(TFilterOption o) { bits_ |= Bit(o); }
  constexpr void Exclude(TFilterOption o) { bits_ &= static_cast<uint16_t>(~Bit(o)); }
  constexpr bool Contains(TFilterOption o) const { return (bits_ & Bit(o)) != 0; }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr uint16_t Bits() const { return bits_; }
  friend constexpr bool operator==(TFilterOptions, TFilterOptions) = default;

 private:
  static constexpr uint16_t kAllBits = (1u << kFilterOptionCount) - 1;
  static constexpr uint16_t Bit(TFilterOption o) {
    return static_cast<uint16_t>(1u << static_cast<uint8_t>(o));
  }
  uint16_t bits_ = 0;
};

// The set a new component starts with: every kind except the stable, sparse
// and downloaded-control ones.
constexpr TFilterOptions kDefaultFilterOptions = {
    TFilterOption::NORMAL_ENTRY,     TFilterOption::STICKY_ENTRY,
    TFilterOption::COOKIE_ENTRY,     TFilterOption::URLHISTORY_ENTRY,
    TFilterOption::TRACK_OFFLINE_ENTRY, TFilterOption::TRACK_ONLINE_ENTRY};

// The filter handed to the cache search: the flags of the kinds in the set,
// walked in ordinal order; 0 for the empty set.
uint32_t FilterMaskOf(TFilterOptions options);

// Whether an entry of the given cache-entry-type flags passes a filter mask,
// as the extended cache search decides it: at least one flag in common. Used
// where only the classic search, which has no filter, is available.
constexpr bool EntryTypeMatches(uint32_t entryType, uint32_t filterMask) {
  return (entryType & filterMask) != 0;
}

// The URL prefix handed to the cache search.
enum class TSearchPattern : uint8_t { spAll, spCookies, spHistory, spUrl };

// The pattern text of a search: null for spAll (every entry), and an empty
// text, not null, for spUrl; the cache treats the two differently.
const char* SearchPatternText(TSearchPattern pattern);

// A yes/no check whose positive answer is final for the process: once `check`
// has answered true it is never asked again; a false answer is asked again at
// the next call. Two threads may both run the check and store the same
// answer, which is harmless, so no lock is taken.
template <class Check>
bool RememberPositive(std::atomic<bool>& remembered, Check&& check) {
  if (remembered.load()) return true;
  const bool answer = check();
  if (answer) remembered.store(true);
  return answer;
}

}  // namespace sentrova
