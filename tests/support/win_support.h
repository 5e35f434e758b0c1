// Shared pieces of the Windows tests: private registry keys, folders and
// child processes with time limits.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace sentrova::test {

// Folder of the running test program (where every program of the tree is
// built), with a trailing backslash.
std::string BinDir();

// A key below HKEY_CURRENT_USER\Software\SentrovaTests that is unique to this
// object and deleted with everything below it on destruction.
class ScratchKey {
 public:
  ScratchKey();
  ~ScratchKey();
  ScratchKey(const ScratchKey&) = delete;
  ScratchKey& operator=(const ScratchKey&) = delete;
  const std::string& path() const { return path_; }  // relative to HKCU
  std::string Sub(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

// A fresh folder below the user's Temp folder, removed with its contents on
// destruction.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }  // trailing backslash
  std::string File(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

// Writes a file (creating nothing else); false on failure.
bool WriteFileText(const std::string& path, const std::string& text);
bool FileExists(const std::string& path);

// A symbolic link to a folder, removed again at the end of the test. Wine's
// CreateSymbolicLinkA does nothing, so under Wine the link is made on the
// Unix side (a Unix link shows to Win32 as a folder with the reparse-point
// attribute), and removed there too.
class FolderLink {
 public:
  FolderLink(const std::string& link, const std::string& target) : link_(link) {
    if (unixName_ && spawn_) {
      const std::string unixTarget = UnixPath(target);
      unixLink_ = UnixPath(link);
      if (unixTarget.empty() || unixLink_.empty()) return;
      Run({"/bin/ln", "-s", unixTarget, unixLink_});
    } else {
      ::CreateSymbolicLinkA(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY);
    }
  }
  ~FolderLink() {
    if (!unixLink_.empty()) Run({"/bin/rm", "-f", unixLink_});
  }
  FolderLink(const FolderLink&) = delete;
  FolderLink& operator=(const FolderLink&) = delete;

  bool IsLink() const {
    const DWORD attributes = ::GetFileAttributesA(link_.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
  }

 private:
  using UnixNameFn = char*(CDECL*)(LPCWSTR);
  using SpawnFn = LONG(CDECL*)(char* const[], int);

  std::string UnixPath(const std::string& path) const {
    const std::wstring wide(path.begin(), path.end());
    char* name = unixName_(wide.c_str());
    if (!name) return {};
    std::string result = name;
    ::HeapFree(::GetProcessHeap(), 0, name);
    return result;
  }
  void Run(std::vector<std::string> args) const {
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    spawn_(argv.data(), 1);  // waits for the command to end
  }

  std::string link_, unixLink_;
  UnixNameFn unixName_ = reinterpret_cast<UnixNameFn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
  SpawnFn spawn_ = reinterpret_cast<SpawnFn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "__wine_unix_spawnvp")));
};

// A started child process.
struct ChildResult {
  bool started = false;
  bool finished = false;  // ended within the time limit
  DWORD exitCode = 0;
};
// Runs a command line and waits at most timeoutMs; a child still running then
// is terminated and reported as not finished.
ChildResult RunAndWait(const std::string& commandLine, DWORD timeoutMs);

// Starts a command line without waiting; the handle is the process.
HANDLE StartProcess(const std::string& commandLine);

// Polls `condition` every 10 ms for at most timeoutMs.
template <class Condition>
bool WaitFor(Condition condition, DWORD timeoutMs) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (::GetTickCount() - start >= timeoutMs) return condition();
    ::Sleep(10);
  }
}

// The process's own GDI and USER objects, counted from inside it. Where the
// system does not answer GetGuiResources (Wine), GDI objects are counted in
// the process's GDI handle table and USER objects as the process's windows.
struct GuiObjectCounts {
  long gdi = 0;
  long user = 0;
};
GuiObjectCounts CountGuiObjects();

// The toolbar host's machine key, in the 32-bit registry view where the
// host keeps its machine values.
inline constexpr char kHostMachineKey[] = "Software\\Quillbox";

// The host's first-run flag AFA_DONE, without which no question shows: kept
// as it was found and put back.
class HostFlag {
 public:
  HostFlag() {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kHostMachineKey, 0, KEY_READ | KEY_WOW64_32KEY, &key) ==
        ERROR_SUCCESS) {
      DWORD size = sizeof saved_;
      existed_ = ::RegQueryValueExA(key, "AFA_DONE", nullptr, &type_, saved_, &size) ==
                 ERROR_SUCCESS;
      size_ = size;
      ::RegCloseKey(key);
    }
  }
  ~HostFlag() {
    if (existed_) {
      HKEY key = nullptr;
      if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kHostMachineKey, 0, nullptr, 0,
                          KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &key, nullptr) == ERROR_SUCCESS) {
        ::RegSetValueExA(key, "AFA_DONE", 0, type_, saved_, size_);
        ::RegCloseKey(key);
      }
    } else {
      Remove();
    }
  }
  static void Set(DWORD value) {
    HKEY key = nullptr;
    if (::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kHostMachineKey, 0, nullptr, 0,
                          KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &key, nullptr) != ERROR_SUCCESS) return;
    ::RegSetValueExA(key, "AFA_DONE", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                     sizeof value);
    ::RegCloseKey(key);
  }
  static void Remove() {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kHostMachineKey, 0, KEY_SET_VALUE | KEY_WOW64_32KEY, &key) !=
        ERROR_SUCCESS)
      return;
    ::RegDeleteValueA(key, "AFA_DONE");
    ::RegCloseKey(key);
  }

 private:
  bool existed_ = false;
  DWORD type_ = 0;
  BYTE saved_[64] = {};
  DWORD size_ = 0;
};

}  // namespace sentrova::test
