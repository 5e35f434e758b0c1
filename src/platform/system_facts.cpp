#include "platform/system_facts.h"

#include <windows.h>

#include "platform/os_kind.h"
#include "platform/text.h"

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
  std::string fileName, shortPath, directory, windowsDirectory;
  uint8_t osKind = 0;
  bool nt = false, xpClass = false;

  ProcessFacts() {
    char buf[1025] = {};
    const DWORD n = ::GetModuleFileNameA(nullptr, buf, sizeof buf - 1);
    fileName.assign(buf, n);

    std::string shortName(1025, '\0');
    DWORD s = ::GetShortPathNameA(fileName.c_str(), shortName.data(),
                                  static_cast<DWORD>(shortName.size()));
    if (s > shortName.size()) {
      shortName.assign(s, '\0');
      s = ::GetShortPathNameA(fileName.c_str(), shortName.data(), s);
    }
    shortPath = LowerAscii(s > 0 && s < shortName.size() ? shortName.substr(0, s) : fileName);

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

const std::string& ProgramFileName() { return Facts().fileName; }
const std::string& ProgramShortPath() { return Facts().shortPath; }
const std::string& ProgramDirectory() { return Facts().directory; }
const std::string& WindowsDirectory() { return Facts().windowsDirectory; }
uint8_t OsKind() { return Facts().osKind; }
bool IsNtPlatform() { return Facts().nt; }
bool IsXpClassSystem() { return Facts().xpClass; }

}  // namespace sentrova
