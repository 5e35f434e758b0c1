// WinINet, reached at run time. The extended search functions take an
// entry-type filter; some implementations of the library (Wine among them)
// export them as stubs that always fail with ERROR_FILE_NOT_FOUND. When they
// are missing or answer like that, the search falls back to the classic
// functions and applies the filter itself, so that callers see one contract.
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <type_traits>
#include <vector>

#include "cleanup/cache_filter.h"
#include "cleanup/url_cache_calls.h"

namespace sentrova {

namespace {

using FindFirstExFn = HANDLE(WINAPI*)(LPCSTR, DWORD, DWORD, GROUPID, LPINTERNET_CACHE_ENTRY_INFOA,
                                      LPDWORD, LPVOID, LPDWORD, LPVOID);
using FindNextExFn = BOOL(WINAPI*)(HANDLE, LPINTERNET_CACHE_ENTRY_INFOA, LPDWORD, LPVOID, LPDWORD,
                                   LPVOID);
using FindFirstFn = HANDLE(WINAPI*)(LPCSTR, LPINTERNET_CACHE_ENTRY_INFOA, LPDWORD);
using FindNextFn = BOOL(WINAPI*)(HANDLE, LPINTERNET_CACHE_ENTRY_INFOA, LPDWORD);
using DeleteFn = BOOL(WINAPI*)(LPCSTR);
using CloseFn = BOOL(WINAPI*)(HANDLE);

constexpr const char* kLibraryName = "wininet.dll";
// The exports whose presence makes the library usable, checked in this order.
constexpr const char* kRequiredExports[] = {
    "FindFirstUrlCacheGroup", "FindNextUrlCacheGroup", "GetUrlCacheGroupAttributeA",
    "SetUrlCacheGroupAttributeA", "FindFirstUrlCacheEntryExA"};

// A record that changes size between the size query and the fetch is fetched
// again; a few rounds are plenty for an entry being written right now.
constexpr int kFetchRounds = 4;

std::atomic<bool> gLibraryFound{false};

bool CheckLibrary() {
  // Loaded for the life of the process: never freed.
  HMODULE module = ::LoadLibraryA(kLibraryName);
  if (!module) return false;
  for (const char* name : kRequiredExports) {
    if (!::GetProcAddress(module, name)) return false;
  }
  return true;
}

template <class Fn>
Fn Resolve(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

struct Functions {
  FindFirstExFn findFirstEx = nullptr;
  FindNextExFn findNextEx = nullptr;
  FindFirstFn findFirst = nullptr;
  FindNextFn findNext = nullptr;
  DeleteFn deleteEntry = nullptr;
  CloseFn close = nullptr;

  Functions() {
    // Loaded for the life of the process, like the library check's load.
    HMODULE module = ::LoadLibraryA(kLibraryName);
    if (!module) return;
    findFirstEx = Resolve<FindFirstExFn>(module, "FindFirstUrlCacheEntryExA");
    findNextEx = Resolve<FindNextExFn>(module, "FindNextUrlCacheEntryExA");
    findFirst = Resolve<FindFirstFn>(module, "FindFirstUrlCacheEntryA");
    findNext = Resolve<FindNextFn>(module, "FindNextUrlCacheEntryA");
    deleteEntry = Resolve<DeleteFn>(module, "DeleteUrlCacheEntryA");
    close = Resolve<CloseFn>(module, "FindCloseUrlCache");
  }
  bool ExtendedUsable() const { return findFirstEx && findNextEx; }
  bool ClassicUsable() const { return findFirst && findNext && close; }
};

// Resolved on first use (the library is never unloaded).
const Functions& Fns() {
  static const Functions functions;
  return functions;
}

DWORD LastErrorOr(DWORD fallback) {
  const DWORD error = ::GetLastError();
  return error != 0 ? error : fallback;
}

// The handle handed out for every search: the library's own handle and, for
// a search that runs on the classic functions, the filter and the matching
// record that the caller's buffer could not take yet.
struct Search {
  HANDLE native = nullptr;
  bool classic = false;
  DWORD filter = 0;
  std::vector<BYTE> pending;
};

HANDLE ToHandle(Search* search) { return static_cast<HANDLE>(search); }
Search* FromHandle(HANDLE find) { return static_cast<Search*>(find); }

void CloseNative(const Search& search) {
  if (search.native && Fns().close) Fns().close(search.native);
}

// A record buffer that can always be read as a whole entry structure.
void SizeRecord(std::vector<BYTE>& record, DWORD size) {
  record.assign(std::max<size_t>(size, sizeof(INTERNET_CACHE_ENTRY_INFOA)), 0);
}

const INTERNET_CACHE_ENTRY_INFOA& AsEntry(const std::vector<BYTE>& record) {
  return *reinterpret_cast<const INTERNET_CACHE_ENTRY_INFOA*>(record.data());
}

// Copies a record into the caller's buffer, moving the text pointers that
// point into the record so that they point into the copy. A buffer that is
// too small gets nothing: 122 and the size needed.
DWORD Deliver(const std::vector<BYTE>& record, void* buffer, DWORD& size) {
  const DWORD needed = static_cast<DWORD>(record.size());
  if (!buffer || size < needed) {
    size = needed;
    return ERROR_INSUFFICIENT_BUFFER;
  }
  std::memcpy(buffer, record.data(), needed);
  size = needed;
  auto* entry = static_cast<INTERNET_CACHE_ENTRY_INFOA*>(buffer);
  const auto* base = record.data();
  auto rebase = [&](auto*& pointer) {
    const auto* p = reinterpret_cast<const BYTE*>(pointer);
    if (p >= base && p < base + needed) {
      pointer = reinterpret_cast<std::remove_reference_t<decltype(pointer)>>(
          static_cast<BYTE*>(buffer) + (p - base));
    }
  };
  rebase(entry->lpszSourceUrlName);
  rebase(entry->lpszLocalFileName);
  rebase(entry->lpHeaderInfo);
  rebase(entry->lpszFileExtension);
  return 0;
}

// Fetches one record with the two-call pattern; `fetch(buffer, size)` is the
// classic first or next call and answers with an error code.
template <class Fetch>
DWORD FetchRecord(Fetch&& fetch, std::vector<BYTE>& record) {
  DWORD size = 0;
  DWORD error = fetch(nullptr, size);
  for (int round = 0; round < kFetchRounds && error == ERROR_INSUFFICIENT_BUFFER; ++round) {
    SizeRecord(record, size);
    size = static_cast<DWORD>(record.size());
    error = fetch(record.data(), size);
  }
  return error;
}

// Moves a classic search on until its record passes the filter.
DWORD SkipToMatch(Search& search, std::vector<BYTE>& record) {
  while (!EntryTypeMatches(AsEntry(record).CacheEntryType, search.filter)) {
    const DWORD error = FetchRecord(
        [&](void* buffer, DWORD& size) -> DWORD {
          return Fns().findNext(search.native, static_cast<INTERNET_CACHE_ENTRY_INFOA*>(buffer),
                                &size)
                     ? 0
                     : LastErrorOr(ERROR_NO_MORE_ITEMS);
        },
        record);
    if (error != 0) return error;
  }
  return 0;
}

class WinInetCache final : public UrlCacheCalls {
 public:
  bool LibraryFound() override { return CacheLibraryFound(); }

  DWORD FindFirst(const char* pattern, DWORD filter, uint64_t group, void* buffer, DWORD& size,
                  HANDLE& find) override {
    find = nullptr;
    const Functions& fns = Fns();
    if (fns.ExtendedUsable()) {
      DWORD exSize = size;
      ::SetLastError(0);
      HANDLE native =
          fns.findFirstEx(pattern, 0, filter, static_cast<GROUPID>(group),
                          static_cast<INTERNET_CACHE_ENTRY_INFOA*>(buffer), &exSize, nullptr,
                          nullptr, nullptr);
      if (native) {
        size = exSize;
        find = ToHandle(new Search{native, false, filter, {}});
        return 0;
      }
      const DWORD error = LastErrorOr(ERROR_FILE_NOT_FOUND);
      if (error != ERROR_FILE_NOT_FOUND && error != ERROR_CALL_NOT_IMPLEMENTED) {
        size = exSize;
        return error;
      }
    }
    if (!fns.ClassicUsable()) return ERROR_CALL_NOT_IMPLEMENTED;

    // Classic search: find the first record that passes the filter. When
    // the caller only asks for the size, the search is given up again; the
    // caller starts it anew with a buffer.
    auto search = std::make_unique<Search>();
    search->classic = true;
    search->filter = filter;
    std::vector<BYTE> record;
    DWORD error = FetchRecord(
        [&](void* recordBuffer, DWORD& recordSize) -> DWORD {
          HANDLE native = fns.findFirst(
              pattern, static_cast<INTERNET_CACHE_ENTRY_INFOA*>(recordBuffer), &recordSize);
          if (!native) return LastErrorOr(ERROR_NO_MORE_ITEMS);
          if (!recordBuffer) {
            // A library that opens a search without a buffer: start again.
            fns.close(native);
            return ERROR_INSUFFICIENT_BUFFER;
          }
          search->native = native;
          return 0;
        },
        record);
    if (error == 0) error = SkipToMatch(*search, record);
    if (error == 0) error = Deliver(record, buffer, size);
    if (error != 0) {
      CloseNative(*search);
      return error;
    }
    find = ToHandle(search.release());
    return 0;
  }

  DWORD FindNext(HANDLE find, void* buffer, DWORD& size) override {
    Search* search = FromHandle(find);
    if (!search) return ERROR_INVALID_HANDLE;
    const Functions& fns = Fns();
    if (!search->classic) {
      return fns.findNextEx(search->native, static_cast<INTERNET_CACHE_ENTRY_INFOA*>(buffer),
                            &size, nullptr, nullptr, nullptr)
                 ? 0
                 : LastErrorOr(ERROR_NO_MORE_ITEMS);
    }
    // A matching record that did not fit last time is handed out first, so
    // that a size query does not move the search on.
    std::vector<BYTE> record = std::move(search->pending);
    search->pending.clear();
    if (record.empty()) {
      DWORD error = FetchRecord(
          [&](void* recordBuffer, DWORD& recordSize) -> DWORD {
            return fns.findNext(search->native,
                                static_cast<INTERNET_CACHE_ENTRY_INFOA*>(recordBuffer),
                                &recordSize)
                       ? 0
                       : LastErrorOr(ERROR_NO_MORE_ITEMS);
          },
          record);
      if (error == 0) error = SkipToMatch(*search, record);
      if (error != 0) return error;
    }
    const DWORD error = Deliver(record, buffer, size);
    if (error == ERROR_INSUFFICIENT_BUFFER) search->pending = std::move(record);
    return error;
  }

  DWORD Delete(const char* sourceUrlName) override {
    const Functions& fns = Fns();
    if (!fns.deleteEntry) return ERROR_CALL_NOT_IMPLEMENTED;
    ::SetLastError(0);
    return fns.deleteEntry(sourceUrlName) ? 0 : LastErrorOr(ERROR_GEN_FAILURE);
  }

  void Close(HANDLE find) override {
    std::unique_ptr<Search> search(FromHandle(find));
    if (search) CloseNative(*search);
  }
};

}  // namespace

bool CacheLibraryFound() { return RememberPositive(gLibraryFound, CheckLibrary); }

UrlCacheCalls& SystemUrlCache() {
  static WinInetCache cache;
  return cache;
}

}  // namespace sentrova
