// TIECache: a small component over the browser's URL cache. It enumerates
// the entries that match a URL prefix and a set of entry kinds, holds a copy
// of the entry last fetched, and deletes entries by URL. One thread uses an
// instance; it keeps at most one enumeration open.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "cleanup/cache_filter.h"
#include "cleanup/clean_report.h"
#include "cleanup/url_cache_calls.h"
#include "platform/date_time.h"

namespace sentrova {

// A copy of one cache entry. Times are local date-times; a time whose
// conversion failed reads 0.
struct TEntryInfo {
  std::string SourceUrlName;  // for a cookie: "Cookie:" user "@" host path
  std::string LocalFileName;
  uint32_t CacheEntryType = 0;
  uint32_t UseCount = 0;
  uint32_t HitRate = 0;
  uint32_t Size = 0;  // low 32 bits of the size in bytes
  OleDateTime LastModifiedTime = 0;
  OleDateTime ExpireTime = 0;
  OleDateTime LastAccessTime = 0;
  OleDateTime LastSyncTime = 0;
  std::string HeaderInfo;  // up to its first NUL
  std::string FileExtension;
  uint32_t ExemptDelta = 0;
};

// Results are system error codes.
constexpr DWORD kCacheOk = 0;
constexpr DWORD kCacheLibraryMissing = ERROR_FILE_NOT_FOUND;  // 2
constexpr DWORD kCacheNoMoreItems = ERROR_NO_MORE_ITEMS;      // 259

// DeleteAllEntries gives up after this many failed fetches in a row (see
// ie_cache.cpp).
constexpr int kMaxRepeatedFetchFailures = 8;

class TIECache {
 public:
  // Over the system's WinINet.
  TIECache();
  // Over the given calls, which must outlive the component.
  explicit TIECache(UrlCacheCalls& calls);
  ~TIECache();
  TIECache(const TIECache&) = delete;
  TIECache& operator=(const TIECache&) = delete;

  TSearchPattern SearchPattern() const { return searchPattern_; }
  void SetSearchPattern(TSearchPattern pattern) { searchPattern_ = pattern; }
  TFilterOptions FilterOptions() const { return filterOptions_; }
  void SetFilterOptions(TFilterOptions options);
  uint32_t FilterMask() const { return filterMask_; }
  bool LibraryFound() const;
  const TEntryInfo& CurrentEntry() const { return currentEntry_; }
  bool EnumerationOpen() const { return find_ != nullptr; }

  // Opens an enumeration of the given cache group (0: every group) with the
  // current pattern and filter and fetches its first entry: 0, 2 when the
  // library is missing, else the search's error (259 when nothing matches).
  DWORD FindFirstEntry(uint64_t group);
  // Fetches the next entry: 0, 2 when the library is missing, 259 at the end,
  // else the error of the step.
  DWORD FindNextEntry();
  // 0 (and CurrentEntry cleared) when the entry is gone; else the error.
  // 0 without doing anything when the library is missing.
  DWORD DeleteEntry(const std::string& sourceUrlName);
  // Deletes every entry that matches the pattern and filter, except those
  // that `keep` (when given) holds on to; entries that cannot be deleted (in
  // use) are skipped. Closes the enumeration.
  void DeleteAllEntries(const std::function<bool(const TEntryInfo&)>& keep = {});
  // The same walk in either mode: a preview deletes nothing and tallies each
  // entry that a pass would delete; a pass tallies each entry whose deletion
  // succeeded. An entry's bytes are its Size.
  void DeleteAllEntries(CleanMode mode, ItemTally& tally,
                        const std::function<bool(const TEntryInfo&)>& keep = {});
  // Hands every entry that matches the pattern and filter to `visit`, then
  // closes the enumeration. A failed step is tried again, and an entry that
  // grew between the size query and the fetch is fetched with its new size;
  // the walk gives up when the first fetch fails or after
  // kMaxRepeatedFetchFailures failures in a row. 0 when the walk reached the
  // end (or nothing matched), else the error that ended it.
  DWORD ForEachEntry(const std::function<void(const TEntryInfo&)>& visit);
  void CloseFind();
  void ClearCurrentEntry();

 private:
  DWORD Fetch(bool first, uint64_t group);

  UrlCacheCalls& calls_;
  TSearchPattern searchPattern_ = TSearchPattern::spAll;
  TFilterOptions filterOptions_ = kDefaultFilterOptions;
  uint32_t filterMask_ = FilterMaskOf(kDefaultFilterOptions);
  HANDLE find_ = nullptr;
  TEntryInfo currentEntry_;
};

// The local date-time of a cache entry's UTC file time; 0 when the
// conversion to local time or to a calendar time fails.
OleDateTime CacheTimeToLocal(const FILETIME& utc);

}  // namespace sentrova
