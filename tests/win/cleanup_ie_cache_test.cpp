// TIECache over a scripted stand-in for the WinINet calls: the contract of
// the fetch, the failure paths and the copies, which the real cache cannot be
// made to show on demand.
#include <gtest/gtest.h>
#include <windows.h>
#include <wininet.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "cleanup/clean.h"
#include "cleanup/cookies_form.h"
#include "cleanup/ie_cache.h"
#include "platform/date_time_win.h"

namespace sentrova {
namespace {

struct FakeEntry {
  std::string url;
  uint32_t type = 1;
  uint32_t size = 0;
  uint64_t modified = 0x01D0000000000000ull;  // some time in 2014
  uint64_t expire = 0x01D0000000000000ull;
  std::string header;
};

class FakeCache : public UrlCacheCalls {
 public:
  bool found = true;
  std::vector<FakeEntry> entries;
  // Errors to answer instead of fetching: the next N fetches (size query and
  // fetch alike) of FindNext fail with `nextError`.
  int failNext = 0;
  DWORD nextError = ERROR_INVALID_DATA;
  DWORD deleteError = 0;
  DWORD firstError = 0;      // FindFirst fails with it
  bool growsOnce = false;    // the next entry grows between size query and fetch
  bool unterminatedUrl = false;  // the URL runs to the very end of the record

  struct Call {
    std::string what;
    bool nullPattern = false;
    std::string pattern;
    DWORD filter = 0;
    bool nullBuffer = false;
    DWORD size = 0;
  };
  std::vector<Call> calls;
  std::vector<std::string> deleted;
  int opened = 0, closed = 0;

  bool LibraryFound() override { return found; }

  DWORD FindFirst(const char* pattern, DWORD filter, uint64_t, void* buffer, DWORD& size,
                  HANDLE& find) override {
    calls.push_back({"first", pattern == nullptr, pattern ? pattern : "", filter, buffer == nullptr,
                     size});
    find = nullptr;
    index_ = 0;
    if (firstError != 0) return firstError;
    if (entries.empty()) return ERROR_NO_MORE_ITEMS;
    const DWORD error = Fill(entries[0], buffer, size);
    if (error == 0) {
      ++opened;
      find = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x5000 + opened));
      index_ = 1;
    }
    return error;
  }

  DWORD FindNext(HANDLE, void* buffer, DWORD& size) override {
    calls.push_back({"next", false, "", 0, buffer == nullptr, size});
    if (failNext > 0) {
      --failNext;
      return nextError;
    }
    if (index_ >= entries.size()) return ERROR_NO_MORE_ITEMS;
    const DWORD error = Fill(entries[index_], buffer, size);
    if (error == 0) ++index_;
    return error;
  }

  DWORD Delete(const char* url) override {
    calls.push_back({"delete", false, url, 0, false, 0});
    if (deleteError == 0) deleted.emplace_back(url);
    return deleteError;
  }

  void Close(HANDLE) override { ++closed; }

  size_t Count(const std::string& what) const {
    size_t n = 0;
    for (const Call& c : calls) n += c.what == what;
    return n;
  }

 private:
  DWORD Fill(const FakeEntry& e, void* buffer, DWORD& size) {
    const DWORD needed = static_cast<DWORD>(sizeof(INTERNET_CACHE_ENTRY_INFOA) + e.url.size() +
                                            (unterminatedUrl ? 0 : 1) + e.header.size() + 1);
    if (!buffer || size < needed) {
      size = needed;
      return ERROR_INSUFFICIENT_BUFFER;
    }
    if (growsOnce) {
      growsOnce = false;
      size = needed + 16;
      return ERROR_INSUFFICIENT_BUFFER;
    }
    std::memset(buffer, 0x5a, size);
    auto* info = static_cast<INTERNET_CACHE_ENTRY_INFOA*>(buffer);
    std::memset(info, 0, sizeof *info);
    info->dwStructSize = sizeof *info;
    char* header = reinterpret_cast<char*>(info + 1);
    std::memcpy(header, e.header.c_str(), e.header.size() + 1);
    char* url = header + e.header.size() + 1;
    std::memcpy(url, e.url.data(), e.url.size());
    if (!unterminatedUrl) url[e.url.size()] = '\0';
    info->lpszSourceUrlName = url;
    info->lpHeaderInfo = header;
    info->dwHeaderInfoSize = static_cast<DWORD>(e.header.size());
    info->CacheEntryType = e.type;
    info->dwUseCount = 3;
    info->dwHitRate = 4;
    info->dwSizeLow = e.size;
    info->dwSizeHigh = 1;
    info->LastModifiedTime = {static_cast<DWORD>(e.modified), static_cast<DWORD>(e.modified >> 32)};
    info->ExpireTime = {static_cast<DWORD>(e.expire), static_cast<DWORD>(e.expire >> 32)};
    info->dwExemptDelta = 77;
    size = needed;
    return 0;
  }
  size_t index_ = 0;
};

OleDateTime LocalFromTicks(uint64_t ticks) {
  const FILETIME utc{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  SYSTEMTIME universal{}, local{};
  ::FileTimeToSystemTime(&utc, &universal);
  ::SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local);
  OleDateTime value = 0;
  OleDateTimeFromSystemTime(local, value);
  return value;
}

TEST(IECacheContract, StartsWithTheDefaultsAndFollowsTheFilterSet) {
  FakeCache fake;
  TIECache cache(fake);
  EXPECT_EQ(cache.SearchPattern(), TSearchPattern::spAll);
  EXPECT_EQ(cache.FilterOptions(), kDefaultFilterOptions);
  EXPECT_EQ(cache.FilterMask(), 0x300035u);
  cache.SetFilterOptions({});
  EXPECT_EQ(cache.FilterMask(), 0u);
  cache.SetFilterOptions({TFilterOption::OCX_ENTRY});
  EXPECT_EQ(cache.FilterMask(), 0x20000u);
  EXPECT_TRUE(cache.CurrentEntry().SourceUrlName.empty());
}

TEST(IECacheContract, FetchAsksTheSizeThenFetchesWithOneBufferOfThatSize) {
  FakeCache fake;
  fake.entries = {{"http://a.test/1", 1, 10, 0x01D0000000000000ull, 0x01D1000000000000ull, "H: 1"},
                  {"http://a.test/2", 0x100001, 20}};
  TIECache cache(fake);
  cache.SetSearchPattern(TSearchPattern::spUrl);
  cache.SetFilterOptions({TFilterOption::NORMAL_ENTRY, TFilterOption::COOKIE_ENTRY});
  ASSERT_EQ(cache.FindFirstEntry(0), 0u);
  ASSERT_EQ(fake.calls.size(), 2u);
  EXPECT_TRUE(fake.calls[0].nullBuffer);
  EXPECT_EQ(fake.calls[0].size, 0u);
  EXPECT_FALSE(fake.calls[1].nullBuffer);
  EXPECT_EQ(fake.calls[1].size, sizeof(INTERNET_CACHE_ENTRY_INFOA) + 15 + 1 + 4 + 1);
  for (const auto& call : fake.calls) {
    // spUrl hands over an empty pattern, not a null one.
    EXPECT_FALSE(call.nullPattern);
    EXPECT_EQ(call.pattern, "");
    EXPECT_EQ(call.filter, 0x100001u);
  }
  const TEntryInfo& e = cache.CurrentEntry();
  EXPECT_EQ(e.SourceUrlName, "http://a.test/1");
  EXPECT_EQ(e.HeaderInfo, "H: 1");
  EXPECT_EQ(e.CacheEntryType, 1u);
  EXPECT_EQ(e.UseCount, 3u);
  EXPECT_EQ(e.HitRate, 4u);
  EXPECT_EQ(e.Size, 10u);  // the low half only
  EXPECT_EQ(e.ExemptDelta, 77u);
  EXPECT_DOUBLE_EQ(e.LastModifiedTime, LocalFromTicks(0x01D0000000000000ull));
  EXPECT_DOUBLE_EQ(e.ExpireTime, LocalFromTicks(0x01D1000000000000ull));
  EXPECT_TRUE(e.LocalFileName.empty());  // a null text copies as empty

  ASSERT_EQ(cache.FindNextEntry(), 0u);
  EXPECT_EQ(cache.CurrentEntry().SourceUrlName, "http://a.test/2");
  EXPECT_EQ(cache.FindNextEntry(), kCacheNoMoreItems);
  EXPECT_EQ(cache.CurrentEntry().SourceUrlName, "http://a.test/2");  // kept on failure
  cache.CloseFind();
  EXPECT_FALSE(cache.EnumerationOpen());
  EXPECT_EQ(fake.opened, 1);
  EXPECT_EQ(fake.closed, 1);

  // spAll passes no pattern at all.
  FakeCache other;
  TIECache all(other);
  EXPECT_EQ(all.FindFirstEntry(0), kCacheNoMoreItems);
  ASSERT_FALSE(other.calls.empty());
  EXPECT_TRUE(other.calls[0].nullPattern);
}

TEST(IECacheContract, MissingLibraryMakesEveryOperationANoOp) {
  FakeCache fake;
  fake.found = false;
  fake.entries = {{"http://a.test/1"}};
  TIECache cache(fake);
  EXPECT_EQ(cache.FindFirstEntry(0), kCacheLibraryMissing);
  EXPECT_EQ(cache.FindNextEntry(), kCacheLibraryMissing);
  EXPECT_EQ(cache.DeleteEntry("http://a.test/1"), 0u);
  cache.DeleteAllEntries();
  cache.ClearCurrentEntry();
  EXPECT_TRUE(fake.calls.empty());
  EXPECT_TRUE(fake.deleted.empty());
}

TEST(IECacheContract, FailedTimeConversionGivesZeroAndKeepsTheOtherFields) {
  FakeCache fake;
  // The expiry is beyond what a calendar time can hold.
  fake.entries = {{"http://a.test/t", 1, 5, 0x01D0000000000000ull, 0xFFFFFFFFFFFFFFFFull}};
  TIECache cache(fake);
  ASSERT_EQ(cache.FindFirstEntry(0), 0u);
  const TEntryInfo& e = cache.CurrentEntry();
  EXPECT_EQ(e.ExpireTime, 0.0);
  EXPECT_DOUBLE_EQ(e.LastModifiedTime, LocalFromTicks(0x01D0000000000000ull));
  EXPECT_EQ(e.SourceUrlName, "http://a.test/t");
  EXPECT_EQ(e.Size, 5u);
}

TEST(IECacheContract, TextRunningToTheEndOfTheRecordIsCutThere) {
  FakeCache fake;
  fake.unterminatedUrl = true;
  fake.entries = {{"http://a.test/no-nul"}};
  TIECache cache(fake);
  ASSERT_EQ(cache.FindFirstEntry(0), 0u);
  EXPECT_EQ(cache.CurrentEntry().SourceUrlName, "http://a.test/no-nul");
}

TEST(IECacheContract, DeleteClearsTheEntryOnlyWhenItSucceeds) {
  FakeCache fake;
  fake.entries = {{"http://a.test/held", 1, 9}};
  TIECache cache(fake);
  ASSERT_EQ(cache.FindFirstEntry(0), 0u);
  fake.deleteError = ERROR_SHARING_VIOLATION;  // the browser holds it
  EXPECT_EQ(cache.DeleteEntry("http://a.test/held"), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(cache.CurrentEntry().SourceUrlName, "http://a.test/held");
  EXPECT_EQ(cache.CurrentEntry().Size, 9u);
  fake.deleteError = 0;
  EXPECT_EQ(cache.DeleteEntry("http://a.test/held"), 0u);
  EXPECT_TRUE(cache.CurrentEntry().SourceUrlName.empty());
  EXPECT_EQ(cache.CurrentEntry().Size, 0u);
}

TEST(IECacheContract, DeleteAllRetriesAFailedStepAndDeletesEveryEntry) {
  FakeCache fake;
  fake.entries = {{"u:1"}, {"u:2"}, {"u:3"}};
  // The two steps after u:1 fail, the third works.
  fake.failNext = 2;
  fake.nextError = ERROR_INVALID_DATA;
  TIECache cache(fake);
  cache.DeleteAllEntries();
  // After the failed step the pass repeats the deletion of what the entry
  // holds: the empty name left by the successful deletion of u:1.
  EXPECT_EQ(fake.deleted, (std::vector<std::string>{"u:1", "", "", "u:2", "u:3"}));
  EXPECT_FALSE(cache.EnumerationOpen());
  EXPECT_EQ(fake.opened, fake.closed);
}

TEST(IECacheContract, DeleteAllEndsAfterRepeatedFailuresAndCloses) {
  FakeCache fake;
  fake.entries = {{"u:1"}, {"u:2"}};
  fake.failNext = 1000000;
  TIECache cache(fake);
  cache.DeleteAllEntries();
  EXPECT_EQ(fake.Count("next"), static_cast<size_t>(kMaxRepeatedFetchFailures));
  EXPECT_EQ(fake.deleted.front(), "u:1");
  EXPECT_FALSE(cache.EnumerationOpen());
  EXPECT_EQ(fake.opened, 1);
  EXPECT_EQ(fake.closed, 1);
}

TEST(IECacheContract, NothingMatchingDeletesNothingAndLeavesNothingOpen) {
  FakeCache fake;
  TIECache cache(fake);
  cache.DeleteAllEntries();
  EXPECT_EQ(fake.Count("delete"), 0u);
  EXPECT_EQ(fake.Count("first"), 1u);
  EXPECT_EQ(fake.opened, fake.closed);
  EXPECT_FALSE(cache.EnumerationOpen());
}

TEST(IECacheContract, ANewEnumerationClosesTheOneStillOpen) {
  FakeCache fake;
  fake.entries = {{"u:1"}, {"u:2"}};
  {
    TIECache cache(fake);
    ASSERT_EQ(cache.FindFirstEntry(0), 0u);
    ASSERT_EQ(cache.FindFirstEntry(0), 0u);
    EXPECT_EQ(fake.opened, 2);
    EXPECT_EQ(fake.closed, 1);
  }
  EXPECT_EQ(fake.closed, 2);  // the destructor closes the last one
}

// The cookie clean-up and the dialog's rows walk the cache through the same
// failures: none loops for ever, none loses an entry to one failed step, and
// a walk that gave up is not taken for the whole cache.
TEST(CookieWalk, FailedFetchesNeitherLoopNorLoseEntries) {
  using Strings = std::vector<std::string>;
  const Strings urls = {"Cookie:u@a.test/", "Cookie:u@b.test/x", "Cookie:v@c.test/"};
  const struct {
    const char* name;
    DWORD firstError;
    bool grows;
    int failNext;
    Strings deleted;
    std::optional<Strings> hosts;
  } cases[] = {
      {"first fetch fails", ERROR_INVALID_DATA, false, 0, {}, std::nullopt},
      {"an entry grew before its fetch", 0, true, 0, urls, Strings{"a.test", "b.test", "c.test"}},
      {"one failed step", 0, false, 1, urls, Strings{"a.test", "b.test", "c.test"}},
      {"failures without end", 0, false, 1000000, {urls[0]}, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeCache fake;
    for (const std::string& url : urls) fake.entries.push_back({url});
    auto script = [&] {
      fake.firstError = c.firstError;
      fake.growsOnce = c.grows;
      fake.failNext = c.failNext;
    };
    script();
    DeleteCookiesExceptKept(std::string(), fake);
    EXPECT_EQ(fake.deleted, c.deleted);
    EXPECT_LE(fake.Count("next"), urls.size() + kMaxRepeatedFetchFailures);
    fake.deleted.clear();
    script();
    EXPECT_EQ(CookieCacheHosts(fake), c.hosts);
    EXPECT_EQ(fake.opened, fake.closed);
  }
}

}  // namespace
}  // namespace sentrova
