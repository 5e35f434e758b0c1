#include "platform/system_facts.h"

#include <windows.h>

#include "platform/com.h"
#include "platform/os_kind.h"

namespace sentrova {

namespace {

struct VersionFacts {
  uint32_t platformId = 0, major = 0, minor = 0;
  uint8_t productType = 0;
};

VersionFacts QueryVersion() {
  VersionFacts v;
  OSVERSIONINFOEXA info{};
  info.dwOSVersionInfoSize = sizeof info;  // the extended record, 156 bytes
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) {
    v.platformId = info.dwPlatformId;
    v.major = info.dwMajorVersion;
    v.minor = info.dwMinorVersion;
    v.productType = info.wProductType;
  } else {
    // Systems that reject the extended record are older than NT 4 SP6;
    // the plain record still tells the platform and version.
    OSVERSIONINFOA plain{};
    plain.dwOSVersionInfoSize = sizeof plain;
    if (::GetVersionExA(&plain)) {
      v.platformId = plain.dwPlatformId;
      v.major = plain.dwMajorVersion;
      v.minor = plain.dwMinorVersion;
      v.productType = 1;
    }
  }
#pragma GCC diagnostic pop
  return v;
}

std::string WithBackslash(std::string path) {
  if (!path.empty() && path.back() != '\\') path.push_back('\\');
  return path;
}

struct ProcessFacts {
  std::wstring fileNameW, shortPathW;
  std::string fileName, shortPath, directory, windowsDirectory;
  uint8_t osKind = 0;
  bool nt = false, xpClass = false;

  ProcessFacts() {
    std::wstring path(1024, L'\0');
    for (;;) {
      const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
      if (n < path.size()) {
        path.resize(n);
        break;
      }
      path.resize(path.size() * 2);  // cut short: try again with more room
    }
    fileNameW = path;
    fileName = WideToAnsi(fileNameW);

    // The short form, lower-cased as characters: a byte-wise change would
    // damage the double-byte names of some code pages.
    std::wstring shortName(path.size() + 1, L'\0');
    DWORD s = ::GetShortPathNameW(fileNameW.c_str(), shortName.data(),
                                  static_cast<DWORD>(shortName.size()));
    if (s >= shortName.size()) {
      shortName.assign(s, L'\0');
      s = ::GetShortPathNameW(fileNameW.c_str(), shortName.data(), s);
    }
    shortPathW = s > 0 && s < shortName.size() ? shortName.substr(0, s) : fileNameW;
    if (!shortPathW.empty()) {
      ::CharLowerBuffW(shortPathW.data(), static_cast<DWORD>(shortPathW.size()));
    }
    shortPath = WideToAnsi(shortPathW);

    const size_t slash = fileName.find_last_of('\\');
    directory = slash == std::string::npos ? std::string() : fileName.substr(0, slash + 1);

    char win[261] = {};
    const UINT w = ::GetWindowsDirectoryA(win, sizeof win);
    std::string windows(win, w < sizeof win ? w : 0);
    char full[1025] = {};
    const DWORD f = ::GetFullPathNameA(windows.c_str(), sizeof full, full, nullptr);
    if (f > 0 && f < sizeof full) windows.assign(full, f);
    windowsDirectory = WithBackslash(windows);

    const VersionFacts v = QueryVersion();
    osKind = ClassifyOsKind(v.platformId, v.major, v.minor, v.productType);
    nt = v.platformId == VER_PLATFORM_WIN32_NT;
    xpClass = IsXpClass(v.platformId, v.major, v.minor, v.productType);
  }
};

// Built on first use; the first use is during start-up, before any other
// thread of the program runs.
const ProcessFacts& Facts() {
  static const ProcessFacts facts;
  return facts;
}

// Computes the facts during module initialisation.
const bool kFactsReady = (Facts(), true);

}  // namespace

const std::wstring& ProgramFileNameW() { return Facts().fileNameW; }
const std::wstring& ProgramShortPathW() { return Facts().shortPathW; }
const std::string& ProgramFileName() { return Facts().fileName; }
const std::string& ProgramShortPath() { return Facts().shortPath; }
const std::string& ProgramDirectory() { return Facts().directory; }
const std::string& WindowsDirectory() { return Facts().windowsDirectory; }
uint8_t OsKind() { return Facts().osKind; }
bool IsNtPlatform() { return Facts().nt; }
bool IsXpClassSystem() { return Facts().xpClass; }

}  // namespace sentrova
