#include <gtest/gtest.h>

#include <atomic>

#include "cleanup/cache_filter.h"

namespace sentrova {
namespace {

using O = TFilterOption;

TEST(CacheFilterMask, SumsTheFlagsOfTheKindsInTheSet) {
  EXPECT_EQ(FilterMaskOf({}), 0u);
  EXPECT_EQ(FilterMaskOf({O::OCX_ENTRY}), 0x20000u);
  // The default set: normal, sticky, cookie, history and both tracking kinds.
  EXPECT_EQ(FilterMaskOf(kDefaultFilterOptions), 0x1u + 0x4u + 0x100000u + 0x200000u + 0x10u + 0x20u);
  EXPECT_FALSE(kDefaultFilterOptions.Contains(O::STABLE_ENTRY));
  EXPECT_FALSE(kDefaultFilterOptions.Contains(O::SPARSE_ENTRY));
  EXPECT_FALSE(kDefaultFilterOptions.Contains(O::OCX_ENTRY));
  // The sets the clean-up uses for temporary files and for cookies.
  EXPECT_EQ(FilterMaskOf({O::NORMAL_ENTRY, O::STABLE_ENTRY, O::STICKY_ENTRY, O::SPARSE_ENTRY}),
            0x10007u);
  EXPECT_EQ(FilterMaskOf({O::NORMAL_ENTRY, O::STABLE_ENTRY, O::STICKY_ENTRY, O::COOKIE_ENTRY,
                          O::SPARSE_ENTRY}),
            0x110007u);
  // Every kind together: all nine flags, each counted once.
  EXPECT_EQ(FilterMaskOf(TFilterOptions::FromBits(0x1ff)), 0x330037u);
  // Including a kind twice changes nothing.
  TFilterOptions twice{O::COOKIE_ENTRY, O::COOKIE_ENTRY};
  EXPECT_EQ(FilterMaskOf(twice), 0x100000u);
}

TEST(CacheFilterMask, TrackingKindsKeepTheirOddPlaceInTheStoredSet) {
  // Bits 5 and 6 of the stored set are the tracking kinds, whose flags are
  // 0x10 and 0x20; bits 3 and 4 are cookies and history.
  EXPECT_EQ(TFilterOptions({O::TRACK_OFFLINE_ENTRY}).Bits(), 1u << 5);
  EXPECT_EQ(TFilterOptions({O::TRACK_ONLINE_ENTRY}).Bits(), 1u << 6);
  EXPECT_EQ(FilterMaskOf(TFilterOptions::FromBits(1u << 5)), 0x10u);
  EXPECT_EQ(FilterMaskOf(TFilterOptions::FromBits(1u << 6)), 0x20u);
  EXPECT_EQ(FilterMaskOf(TFilterOptions::FromBits(1u << 3)), 0x100000u);
  EXPECT_EQ(FilterMaskOf(TFilterOptions::FromBits(1u << 4)), 0x200000u);
  // Bits above the ninth kind are not kinds.
  EXPECT_TRUE(TFilterOptions::FromBits(0xfe00).Empty());

  TFilterOptions set = kDefaultFilterOptions;
  set.Exclude(O::COOKIE_ENTRY);
  set.Include(O::OCX_ENTRY);
  EXPECT_EQ(FilterMaskOf(set), 0x1u + 0x4u + 0x200000u + 0x10u + 0x20u + 0x20000u);
}

TEST(CacheFilterMask, EntryPassesWhenItSharesAFlagWithTheMask) {
  const uint32_t cookies = FilterMaskOf({O::COOKIE_ENTRY});
  EXPECT_TRUE(EntryTypeMatches(0x100001, cookies));
  EXPECT_FALSE(EntryTypeMatches(0x1, cookies));
  EXPECT_TRUE(EntryTypeMatches(0x1, FilterMaskOf(kDefaultFilterOptions)));
  EXPECT_FALSE(EntryTypeMatches(0x20000, FilterMaskOf(kDefaultFilterOptions)));
  // The empty filter lets nothing through.
  EXPECT_FALSE(EntryTypeMatches(0xffffffff, 0));
}

TEST(CacheSearchPattern, AllIsNullAndUrlIsEmpty) {
  EXPECT_EQ(SearchPatternText(TSearchPattern::spAll), nullptr);
  const char* url = SearchPatternText(TSearchPattern::spUrl);
  ASSERT_NE(url, nullptr);
  EXPECT_STREQ(url, "");
  EXPECT_STREQ(SearchPatternText(TSearchPattern::spCookies), "Cookie:");
  EXPECT_STREQ(SearchPatternText(TSearchPattern::spHistory), "Visited:");
}

TEST(RememberPositive, TrueIsFinalFalseIsAskedAgain) {
  std::atomic<bool> remembered{false};
  int calls = 0;
  bool next = false;
  auto check = [&] {
    ++calls;
    return next;
  };
  EXPECT_FALSE(RememberPositive(remembered, check));
  EXPECT_FALSE(RememberPositive(remembered, check));
  EXPECT_EQ(calls, 2);
  next = true;
  EXPECT_TRUE(RememberPositive(remembered, check));
  EXPECT_EQ(calls, 3);
  next = false;  // the library cannot go away again
  EXPECT_TRUE(RememberPositive(remembered, check));
  EXPECT_TRUE(RememberPositive(remembered, check));
  EXPECT_EQ(calls, 3);
}

}  // namespace
}  // namespace sentrova
