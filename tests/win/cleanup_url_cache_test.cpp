// ctest: serial
// TIECache against the real URL cache of the test prefix: entries made with
// CommitUrlCacheEntryA are listed by pattern and kind and deleted. Serial:
// DeleteAllEntries removes every matching entry of the user's cache.
#include <gtest/gtest.h>
#include <windows.h>
#include <wininet.h>

#include <map>
#include <string>
#include <vector>

#include "cleanup/ie_cache.h"
#include "platform/date_time_win.h"
#include "support/win_support.h"

namespace sentrova {
namespace {

using CreateEntryFn = BOOL(WINAPI*)(LPCSTR, DWORD, LPCSTR, LPSTR, DWORD);
using CommitEntryFn = BOOL(WINAPI*)(LPCSTR, LPCSTR, FILETIME, FILETIME, DWORD, LPBYTE, DWORD,
                                    LPCSTR, LPCSTR);
using EntryInfoFn = BOOL(WINAPI*)(LPCSTR, LPINTERNET_CACHE_ENTRY_INFOA, LPDWORD);
using DeleteFn = BOOL(WINAPI*)(LPCSTR);

// The test's own way into the cache, to make and look up entries.
struct Wininet {
  HMODULE module = ::LoadLibraryA("wininet.dll");
  CreateEntryFn create = reinterpret_cast<CreateEntryFn>(
      reinterpret_cast<void*>(::GetProcAddress(module, "CreateUrlCacheEntryA")));
  CommitEntryFn commit = reinterpret_cast<CommitEntryFn>(
      reinterpret_cast<void*>(::GetProcAddress(module, "CommitUrlCacheEntryA")));
  EntryInfoFn info = reinterpret_cast<EntryInfoFn>(
      reinterpret_cast<void*>(::GetProcAddress(module, "GetUrlCacheEntryInfoA")));
  DeleteFn remove = reinterpret_cast<DeleteFn>(
      reinterpret_cast<void*>(::GetProcAddress(module, "DeleteUrlCacheEntryA")));
};

const Wininet& Api() {
  static const Wininet api;
  return api;
}

constexpr uint64_t kModifiedTicks = 0x01D4A5E0C0000000ull;  // a day in 2019
const std::string kHeader = "HTTP/1.1 200 OK\r\nX-Sentrova: test\r\n\r\n";

bool Commit(const std::string& url, DWORD type, const std::string& content) {
  char file[MAX_PATH + 1] = {};
  if (!Api().create(url.c_str(), 0, "txt", file, 0)) return false;
  if (!test::WriteFileText(file, content)) return false;
  const FILETIME modified{static_cast<DWORD>(kModifiedTicks),
                          static_cast<DWORD>(kModifiedTicks >> 32)};
  std::string header = kHeader;
  return Api().commit(url.c_str(), file, FILETIME{}, modified, type,
                      reinterpret_cast<BYTE*>(header.data()), static_cast<DWORD>(header.size()),
                      "txt", nullptr) != FALSE;
}

bool InCache(const std::string& url) {
  DWORD size = 0;
  if (Api().info(url.c_str(), nullptr, &size)) return true;
  return ::GetLastError() == ERROR_INSUFFICIENT_BUFFER;
}

// Forwards to the system's calls and counts what passes.
class CountingCalls : public UrlCacheCalls {
 public:
  int opened = 0, closed = 0, deletes = 0;
  bool LibraryFound() override { return SystemUrlCache().LibraryFound(); }
  DWORD FindFirst(const char* pattern, DWORD filter, uint64_t group, void* buffer, DWORD& size,
                  HANDLE& find) override {
    const DWORD error = SystemUrlCache().FindFirst(pattern, filter, group, buffer, size, find);
    if (find) ++opened;
    return error;
  }
  DWORD FindNext(HANDLE find, void* buffer, DWORD& size) override {
    return SystemUrlCache().FindNext(find, buffer, size);
  }
  DWORD Delete(const char* url) override {
    ++deletes;
    return SystemUrlCache().Delete(url);
  }
  void Close(HANDLE find) override {
    ++closed;
    SystemUrlCache().Close(find);
  }
};

class UrlCacheTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Api().create && Api().commit && Api().info && Api().remove);
    host_ = "sentrova-cache-" + std::to_string(::GetCurrentProcessId()) + ".test";
    normal1_ = "http://" + host_ + "/page1.html";
    normal2_ = "http://" + host_ + "/page2.html";
    sticky_ = "http://" + host_ + "/sticky.html";
    cookie_ = "Cookie:tester@" + host_ + "/";
    ASSERT_TRUE(Commit(normal1_, NORMAL_CACHE_ENTRY, "hello"));
    ASSERT_TRUE(Commit(normal2_, NORMAL_CACHE_ENTRY, "second page"));
    ASSERT_TRUE(Commit(sticky_, STICKY_CACHE_ENTRY, "sticky"));
    ASSERT_TRUE(Commit(cookie_, COOKIE_CACHE_ENTRY, "name\nvalue\n" + host_ + "/\n"));
  }
  void TearDown() override {
    for (const std::string& url : {normal1_, normal2_, sticky_, cookie_}) {
      Api().remove(url.c_str());
    }
  }

  // Every entry of an enumeration, by URL, with the number of times each
  // was seen.
  std::map<std::string, std::pair<TEntryInfo, int>> Collect(TSearchPattern pattern,
                                                            TFilterOptions options) {
    TIECache cache;
    cache.SetSearchPattern(pattern);
    cache.SetFilterOptions(options);
    std::map<std::string, std::pair<TEntryInfo, int>> seen;
    for (DWORD error = cache.FindFirstEntry(0); error == 0; error = cache.FindNextEntry()) {
      auto& slot = seen[cache.CurrentEntry().SourceUrlName];
      slot.first = cache.CurrentEntry();
      ++slot.second;
    }
    cache.CloseFind();
    return seen;
  }

  std::string host_, normal1_, normal2_, sticky_, cookie_;
};

TEST_F(UrlCacheTest, LibraryIsFound) {
  EXPECT_TRUE(CacheLibraryFound());
  EXPECT_TRUE(TIECache().LibraryFound());
}

TEST_F(UrlCacheTest, ListsEntriesByPatternAndKind) {
  const auto normal = Collect(TSearchPattern::spUrl, {TFilterOption::NORMAL_ENTRY});
  ASSERT_EQ(normal.count(normal1_), 1u);
  EXPECT_EQ(normal.at(normal1_).second, 1);  // seen once: a size query does not move on
  ASSERT_EQ(normal.count(normal2_), 1u);
  EXPECT_EQ(normal.at(normal2_).second, 1);
  EXPECT_EQ(normal.count(cookie_), 0u);  // another container than the pattern's

  // The cache gives every committed entry the normal flag as well; the
  // other kinds tell the entries apart.
  const auto sticky = Collect(TSearchPattern::spUrl, {TFilterOption::STICKY_ENTRY});
  EXPECT_EQ(sticky.count(sticky_), 1u);
  EXPECT_EQ(sticky.count(normal1_), 0u);
  EXPECT_EQ(sticky.count(normal2_), 0u);

  // The kind alone, over every container.
  const auto cookieKind = Collect(TSearchPattern::spAll, {TFilterOption::COOKIE_ENTRY});
  EXPECT_EQ(cookieKind.count(cookie_), 1u);
  EXPECT_EQ(cookieKind.count(normal1_), 0u);
  EXPECT_EQ(cookieKind.count(sticky_), 0u);

  const auto cookies = Collect(TSearchPattern::spCookies, {TFilterOption::COOKIE_ENTRY});
  EXPECT_EQ(cookies.count(cookie_), 1u);
  for (const auto& [url, entry] : cookies) EXPECT_EQ(url.rfind("Cookie:", 0), 0u) << url;

  const auto everything = Collect(TSearchPattern::spAll, kDefaultFilterOptions);
  for (const std::string& url : {normal1_, normal2_, sticky_, cookie_}) {
    EXPECT_EQ(everything.count(url), 1u) << url;
  }

  // No kind at all matches nothing.
  const auto none = Collect(TSearchPattern::spAll, {});
  EXPECT_TRUE(none.empty());
}

TEST_F(UrlCacheTest, EntryIsCopiedWithLocalTimes) {
  const auto normal = Collect(TSearchPattern::spUrl, {TFilterOption::NORMAL_ENTRY});
  ASSERT_EQ(normal.count(normal1_), 1u);
  const TEntryInfo& e = normal.at(normal1_).first;
  EXPECT_EQ(e.CacheEntryType & NORMAL_CACHE_ENTRY, static_cast<uint32_t>(NORMAL_CACHE_ENTRY));
  EXPECT_EQ(e.Size, 5u);
  EXPECT_EQ(e.HeaderInfo, kHeader);
  EXPECT_EQ(e.FileExtension, "txt");
  EXPECT_TRUE(test::FileExists(e.LocalFileName)) << e.LocalFileName;

  const FILETIME utc{static_cast<DWORD>(kModifiedTicks), static_cast<DWORD>(kModifiedTicks >> 32)};
  SYSTEMTIME universal{}, local{};
  ASSERT_TRUE(::FileTimeToSystemTime(&utc, &universal));
  ASSERT_TRUE(::SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local));
  OleDateTime expected = 0;
  ASSERT_TRUE(OleDateTimeFromSystemTime(local, expected));
  EXPECT_NEAR(e.LastModifiedTime, expected, 1.0 / 86400.0);
}

TEST_F(UrlCacheTest, DeleteAllEntriesRemovesWhatMatchesOnly) {
  CountingCalls calls;
  {
    TIECache cache(calls);
    cache.SetSearchPattern(TSearchPattern::spUrl);
    cache.SetFilterOptions({TFilterOption::STICKY_ENTRY});
    cache.DeleteAllEntries();
    EXPECT_FALSE(cache.EnumerationOpen());
  }
  EXPECT_FALSE(InCache(sticky_));
  EXPECT_TRUE(InCache(normal1_));
  EXPECT_TRUE(InCache(normal2_));
  EXPECT_TRUE(InCache(cookie_));
  EXPECT_GE(calls.deletes, 1);
  EXPECT_EQ(calls.opened, 1);
  EXPECT_EQ(calls.closed, 1);

  TIECache pages;
  pages.SetSearchPattern(TSearchPattern::spUrl);
  pages.SetFilterOptions({TFilterOption::NORMAL_ENTRY});
  pages.DeleteAllEntries();
  EXPECT_FALSE(InCache(normal1_));
  EXPECT_FALSE(InCache(normal2_));
  EXPECT_TRUE(InCache(cookie_));

  TIECache cookies;
  cookies.SetSearchPattern(TSearchPattern::spCookies);
  cookies.SetFilterOptions({TFilterOption::COOKIE_ENTRY});
  cookies.DeleteAllEntries();
  EXPECT_FALSE(InCache(cookie_));
}

TEST_F(UrlCacheTest, DeleteAllOnAnEmptyMatchDeletesNothingAndCloses) {
  CountingCalls calls;
  TIECache cache(calls);
  cache.SetFilterOptions({TFilterOption::OCX_ENTRY});
  EXPECT_EQ(cache.FindFirstEntry(0), kCacheNoMoreItems);
  cache.CloseFind();
  cache.DeleteAllEntries();
  EXPECT_EQ(calls.deletes, 0);
  EXPECT_EQ(calls.opened, calls.closed);
  EXPECT_FALSE(cache.EnumerationOpen());
  for (const std::string& url : {normal1_, normal2_, sticky_, cookie_}) {
    EXPECT_TRUE(InCache(url)) << url;
  }
}

TEST_F(UrlCacheTest, DeleteEntryByName) {
  TIECache cache;
  cache.SetSearchPattern(TSearchPattern::spCookies);
  cache.SetFilterOptions({TFilterOption::COOKIE_ENTRY});
  DWORD error = cache.FindFirstEntry(0);
  while (error == 0 && cache.CurrentEntry().SourceUrlName != cookie_) error = cache.FindNextEntry();
  ASSERT_EQ(error, 0u);
  cache.CloseFind();

  // A name the cache does not hold: an error, and the entry stays.
  EXPECT_NE(cache.DeleteEntry("http://" + host_ + "/never-cached"), 0u);
  EXPECT_EQ(cache.CurrentEntry().SourceUrlName, cookie_);

  EXPECT_EQ(cache.DeleteEntry(cookie_), 0u);
  EXPECT_TRUE(cache.CurrentEntry().SourceUrlName.empty());
  EXPECT_FALSE(InCache(cookie_));
  EXPECT_TRUE(InCache(normal1_));
}

}  // namespace
}  // namespace sentrova
