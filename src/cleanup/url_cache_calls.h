// The calls the URL cache component makes into WinINet, behind one small
// interface: the real one loads "wininet.dll" at run time; tests may hand the
// component a fake. Every call returns a system error code (0 on success).
#pragma once

#include <windows.h>

#include <cstdint>

namespace sentrova {

class UrlCacheCalls {
 public:
  virtual ~UrlCacheCalls() = default;

  // Whether the cache library offers what the component needs.
  virtual bool LibraryFound() = 0;

  // Starts a search with a URL prefix (null: every entry), an entry-type
  // filter and a cache group, and fetches the first entry into `buffer`.
  // With a null or short buffer: 122 and `size` set to the size needed. On
  // success `find` receives the handle of the search; otherwise it is null.
  virtual DWORD FindFirst(const char* pattern, DWORD filter, uint64_t group, void* buffer,
                          DWORD& size, HANDLE& find) = 0;
  // Fetches the next entry of a search; 122 with the size needed, 259 at
  // the end.
  virtual DWORD FindNext(HANDLE find, void* buffer, DWORD& size) = 0;
  virtual DWORD Delete(const char* sourceUrlName) = 0;
  virtual void Close(HANDLE find) = 0;
};

// The process's WinINet calls.
UrlCacheCalls& SystemUrlCache();

// Whether "wininet.dll" exports the five functions the component checks for.
// A positive answer is remembered for the process; a negative one is worked
// out again at the next call. The library is never unloaded.
bool CacheLibraryFound();

}  // namespace sentrova
