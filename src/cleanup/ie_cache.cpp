#include "cleanup/ie_cache.h"

#include <wininet.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>

#include "platform/date_time_win.h"
#include "platform/guard.h"

namespace sentrova {

namespace {

// A text of the entry record. Texts inside the record are read no further
// than its end, so a record without its closing NUL cannot lead the copy
// astray.
std::string CopyText(const char* text, const BYTE* record, size_t recordSize) {
  if (!text) return {};
  const auto* p = reinterpret_cast<const BYTE*>(text);
  if (p >= record && p < record + recordSize) {
    const size_t room = static_cast<size_t>(record + recordSize - p);
    return std::string(text, ::strnlen(text, room));
  }
  return std::string(text);
}

TEntryInfo CopyEntry(const BYTE* record, size_t recordSize) {
  const auto& e = *reinterpret_cast<const INTERNET_CACHE_ENTRY_INFOA*>(record);
  TEntryInfo info;
  info.SourceUrlName = CopyText(e.lpszSourceUrlName, record, recordSize);
  info.LocalFileName = CopyText(e.lpszLocalFileName, record, recordSize);
  info.CacheEntryType = e.CacheEntryType;
  info.UseCount = e.dwUseCount;
  info.HitRate = e.dwHitRate;
  info.Size = e.dwSizeLow;
  info.LastModifiedTime = CacheTimeToLocal(e.LastModifiedTime);
  info.ExpireTime = CacheTimeToLocal(e.ExpireTime);
  info.LastAccessTime = CacheTimeToLocal(e.LastAccessTime);
  info.LastSyncTime = CacheTimeToLocal(e.LastSyncTime);
  info.HeaderInfo = CopyText(reinterpret_cast<const char*>(e.lpHeaderInfo), record, recordSize);
  info.FileExtension = CopyText(e.lpszFileExtension, record, recordSize);
  info.ExemptDelta = e.dwExemptDelta;
  return info;
}

}  // namespace

OleDateTime CacheTimeToLocal(const FILETIME& utc) {
  FILETIME local{};
  SYSTEMTIME st{};
  OleDateTime value = 0;
  if (!::FileTimeToLocalFileTime(&utc, &local)) return 0;
  if (!::FileTimeToSystemTime(&local, &st)) return 0;
  if (!OleDateTimeFromSystemTime(st, value)) return 0;
  return value;
}

TIECache::TIECache() : TIECache(SystemUrlCache()) {}

TIECache::TIECache(UrlCacheCalls& calls) : calls_(calls) {}

TIECache::~TIECache() { CloseFind(); }

void TIECache::SetFilterOptions(TFilterOptions options) {
  filterOptions_ = options;
  filterMask_ = FilterMaskOf(options);
}

bool TIECache::LibraryFound() const {
  return GuardedOr(false, [&] { return calls_.LibraryFound(); });
}

DWORD TIECache::Fetch(bool first, uint64_t group) {
  if (!LibraryFound()) return kCacheLibraryMissing;
  if (first) {
    // Only one enumeration at a time; one still open is closed rather than
    // leaked.
    CloseFind();
  } else if (!find_) {
    return ERROR_INVALID_HANDLE;
  }
  const char* pattern = SearchPatternText(searchPattern_);

  // The size the record needs.
  DWORD size = 0;
  HANDLE probe = nullptr;
  DWORD error = first ? calls_.FindFirst(pattern, filterMask_, group, nullptr, size, probe)
                      : calls_.FindNext(find_, nullptr, size);
  if (probe) calls_.Close(probe);  // a search opened without a record is not kept
  if (error != ERROR_INSUFFICIENT_BUFFER) return error != 0 ? error : ERROR_INVALID_DATA;

  // An entry that grew between the size query and the fetch is fetched once
  // more with the size it reports then.
  for (int attempt = 0;; ++attempt) {
    // One buffer for this entry, freed on every way out. It is never smaller
    // than the record structure, so a bogus size cannot make the copy read
    // past it.
    const size_t bufferSize = std::max<size_t>(size, sizeof(INTERNET_CACHE_ENTRY_INFOA));
    std::unique_ptr<BYTE[]> buffer(new BYTE[bufferSize]());
    DWORD fetchSize = static_cast<DWORD>(bufferSize);
    if (first) {
      // The search is started a second time, now with the buffer; the handle
      // of this call is the one kept.
      HANDLE find = nullptr;
      error = calls_.FindFirst(pattern, filterMask_, group, buffer.get(), fetchSize, find);
      if (error == 0) {
        find_ = find;
      } else if (find) {
        calls_.Close(find);
      }
    } else {
      error = calls_.FindNext(find_, buffer.get(), fetchSize);
    }
    if (error == ERROR_INSUFFICIENT_BUFFER && attempt == 0 && fetchSize > bufferSize) {
      size = fetchSize;
      continue;
    }
    if (error != 0) return error;
    currentEntry_ = CopyEntry(buffer.get(), bufferSize);
    return 0;
  }
}

DWORD TIECache::FindFirstEntry(uint64_t group) {
  return GuardedOr<DWORD>(ERROR_NOT_ENOUGH_MEMORY, [&] { return Fetch(true, group); });
}

DWORD TIECache::FindNextEntry() {
  return GuardedOr<DWORD>(ERROR_NOT_ENOUGH_MEMORY, [&] { return Fetch(false, 0); });
}

DWORD TIECache::DeleteEntry(const std::string& sourceUrlName) {
  return GuardedOr<DWORD>(ERROR_NOT_ENOUGH_MEMORY, [&]() -> DWORD {
    if (!LibraryFound()) return 0;
    const DWORD error = calls_.Delete(sourceUrlName.c_str());
    if (error == 0) ClearCurrentEntry();
    return error;
  });
}

void TIECache::DeleteAllEntries(const std::function<bool(const TEntryInfo&)>& keep) {
  ItemTally unused;
  DeleteAllEntries(CleanMode::kPass, unused, keep);
}

void TIECache::DeleteAllEntries(CleanMode mode, ItemTally& tally,
                                const std::function<bool(const TEntryInfo&)>& keep) {
  Guarded([&] {
    if (!LibraryFound()) return;
    if (FindFirstEntry(0) == 0) {
      // A failed fetch other than the end is repeated on the next pass: it
      // is normally an entry that grew between the size query and the fetch,
      // and the next attempt gets it. Several failures in a row mean the
      // browser keeps rewriting that entry; eight in a row mean the step
      // will not succeed at all (a dead handle, a damaged index), and going
      // on would spin for ever.
      int failures = 0;
      for (;;) {
        if (!keep || !keep(currentEntry_)) {
          const uint32_t size = currentEntry_.Size;  // a deletion clears the entry
          if (mode == CleanMode::kPreview || DeleteEntry(currentEntry_.SourceUrlName) == 0) {
            tally.Add(size);
          }
        }
        const DWORD error = FindNextEntry();
        if (error == kCacheNoMoreItems) break;
        if (error == 0) {
          failures = 0;
        } else if (++failures >= kMaxRepeatedFetchFailures) {
          break;
        }
      }
    }
  });
  CloseFind();
}

DWORD TIECache::ForEachEntry(const std::function<void(const TEntryInfo&)>& visit) {
  DWORD result = GuardedOr<DWORD>(ERROR_NOT_ENOUGH_MEMORY, [&]() -> DWORD {
    DWORD error = FindFirstEntry(0);
    // Without a first entry there is no search to go on with.
    if (error != 0) return error == kCacheNoMoreItems ? kCacheOk : error;
    int failures = 0;
    for (;;) {
      if (error == 0) {
        failures = 0;
        visit(currentEntry_);
      } else if (++failures >= kMaxRepeatedFetchFailures) {
        return error;  // the step will not succeed: give up
      }
      error = FindNextEntry();
      if (error == kCacheNoMoreItems) return kCacheOk;
    }
  });
  CloseFind();
  return result;
}

void TIECache::CloseFind() {
  if (!find_) return;
  HANDLE find = std::exchange(find_, nullptr);
  Guarded([&] { calls_.Close(find); });
}

void TIECache::ClearCurrentEntry() {
  if (LibraryFound()) currentEntry_ = TEntryInfo{};
}

}  // namespace sentrova
