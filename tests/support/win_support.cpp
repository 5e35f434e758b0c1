#include "support/win_support.h"

#include <winternl.h>

#include <atomic>
#include <string>

#include "platform/registry.h"

namespace sentrova::test {

namespace {
std::string UniqueSuffix() {
  static std::atomic<unsigned> counter{0};
  return std::to_string(::GetCurrentProcessId()) + "_" + std::to_string(::GetTickCount()) + "_" +
         std::to_string(counter++);
}

void RemoveTree(const std::string& dir) {
  WIN32_FIND_DATAA fd;
  HANDLE h = ::FindFirstFileA((dir + "*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      std::string name = fd.cFileName;
      if (name == "." || name == "..") continue;
      std::string full = dir + name;
      ::SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
      if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
          !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        RemoveTree(full + "\\");
      } else if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        ::RemoveDirectoryA(full.c_str());
      } else {
        ::DeleteFileA(full.c_str());
      }
    } while (::FindNextFileA(h, &fd));
    ::FindClose(h);
  }
  ::RemoveDirectoryA(dir.c_str());
}
}  // namespace

std::string BinDir() {
  char buf[MAX_PATH * 2] = {};
  DWORD n = ::GetModuleFileNameA(nullptr, buf, sizeof buf);
  std::string path(buf, n);
  return path.substr(0, path.find_last_of("\\/") + 1);
}

ScratchKey::ScratchKey() : path_("Software\\SentrovaTests\\k" + UniqueSuffix()) {
  HKEY key = nullptr;
  if (::RegCreateKeyA(HKEY_CURRENT_USER, path_.c_str(), &key) == ERROR_SUCCESS) ::RegCloseKey(key);
}

ScratchKey::~ScratchKey() { DeleteRegKey(HKEY_CURRENT_USER, path_); }

ScratchDir::ScratchDir() {
  char temp[MAX_PATH + 1] = {};
  ::GetTempPathA(sizeof temp, temp);
  path_ = std::string(temp) + "sentrova_test_" + UniqueSuffix() + "\\";
  ::CreateDirectoryA(path_.c_str(), nullptr);
}

ScratchDir::~ScratchDir() { RemoveTree(path_); }

bool WriteFileText(const std::string& path, const std::string& text) {
  HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = ::WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  ::CloseHandle(h);
  return ok && written == text.size();
}

bool FileExists(const std::string& path) {
  return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

HANDLE StartProcess(const std::string& commandLine) {
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::string cmd = commandLine;
  if (!::CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
    return nullptr;
  ::CloseHandle(pi.hThread);
  return pi.hProcess;
}

ChildResult RunAndWait(const std::string& commandLine, DWORD timeoutMs) {
  ChildResult r;
  HANDLE process = StartProcess(commandLine);
  if (!process) return r;
  r.started = true;
  if (::WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0) {
    r.finished = true;
    ::GetExitCodeProcess(process, &r.exitCode);
  } else {
    ::TerminateProcess(process, 1);
    ::WaitForSingleObject(process, 5000);
  }
  ::CloseHandle(process);
  return r;
}

namespace {

// One entry of the GDI handle table that the process environment block
// points to (the same 24-byte layout on 64-bit Windows and Wine).
struct GdiTableEntry {
  unsigned long long object;
  unsigned short owner;
  unsigned short count;
  unsigned short unique;
  unsigned char type;
  unsigned char flags;
  unsigned long long user;
};
constexpr size_t kGdiTableOffset = 0xF8;  // GdiSharedHandleTable in the 64-bit PEB
constexpr int kGdiTableEntries = 0x10000;

long CountGdiTable() {
  const auto* peb = reinterpret_cast<const unsigned char*>(NtCurrentTeb()->ProcessEnvironmentBlock);
  const auto* table = *reinterpret_cast<GdiTableEntry* const*>(peb + kGdiTableOffset);
  if (!table) return -1;
  long n = 0;
  for (int i = 0; i < kGdiTableEntries; ++i) n += table[i].type != 0;
  return n;
}

BOOL CALLBACK CountWindow(HWND window, LPARAM count) {
  ++*reinterpret_cast<long*>(count);
  return TRUE;
}

BOOL CALLBACK CountOwnTopLevel(HWND window, LPARAM count) {
  DWORD process = 0;
  ::GetWindowThreadProcessId(window, &process);
  if (process != ::GetCurrentProcessId()) return TRUE;
  CountWindow(window, count);
  ::EnumChildWindows(window, CountWindow, count);
  return TRUE;
}

}  // namespace

GuiObjectCounts CountGuiObjects() {
  GuiObjectCounts counts;
  counts.gdi = static_cast<long>(::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS));
  counts.user = static_cast<long>(::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS));
  if (counts.gdi == 0 && counts.user == 0) {
    counts.gdi = CountGdiTable();
    ::EnumWindows(CountOwnTopLevel, reinterpret_cast<LPARAM>(&counts.user));
  }
  return counts;
}

}  // namespace sentrova::test
