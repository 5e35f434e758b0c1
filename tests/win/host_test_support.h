// Helpers of the start-up and host-link tests: the stand-in host, the
// program's processes, captured output and registry snapshots.
#pragma once

#include <windows.h>
#include <tlhelp32.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "host/host_contract.h"
#include "platform/com.h"
#include "support/win_support.h"

namespace sentrova::test {

inline std::string Quoted(const std::string& path) { return "\"" + path + "\""; }
inline std::string SentrovaExe() { return BinDir() + "sentrova.exe"; }
inline std::string QbhostExe() { return BinDir() + "qbhost.exe"; }

// Runs a command line with its standard output sent to a file; the output
// is returned when the program ended within the time limit.
struct CapturedRun {
  bool finished = false;
  DWORD exitCode = 0;
  std::string output;
};
// The output file lies in the Temp folder, or in `folder` when given (a
// program that empties Temp would meet it there).
inline CapturedRun RunCaptured(const std::string& commandLine, DWORD timeoutMs,
                               const std::string& folder = "") {
  CapturedRun result;
  char temp[MAX_PATH] = {};
  char file[MAX_PATH] = {};
  if (folder.empty()) {
    ::GetTempPathA(MAX_PATH, temp);
  } else {
    folder.copy(temp, MAX_PATH - 1);
  }
  ::GetTempFileNameA(temp, "out", 0, file);
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE out = ::CreateFileA(file, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE) return result;
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = out;
  si.hStdError = out;
  si.hStdInput = nullptr;
  PROCESS_INFORMATION pi{};
  std::string cmd = commandLine;
  const BOOL started = ::CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi);
  ::CloseHandle(out);
  if (started) {
    if (::WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0) {
      result.finished = true;
      ::GetExitCodeProcess(pi.hProcess, &result.exitCode);
    } else {
      ::TerminateProcess(pi.hProcess, 1);
      ::WaitForSingleObject(pi.hProcess, 5000);
    }
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
  }
  HANDLE in = ::CreateFileA(file, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (in != INVALID_HANDLE_VALUE) {
    char buf[4096];
    DWORD n = 0;
    while (::ReadFile(in, buf, sizeof buf, &n, nullptr) && n > 0) result.output.append(buf, n);
    ::CloseHandle(in);
  }
  ::DeleteFileA(file);
  return result;
}

// Process ids of every running sentrova.exe.
inline std::vector<DWORD> SentrovaProcesses() {
  std::vector<DWORD> ids;
  HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return ids;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32First(snap, &entry); more; more = ::Process32Next(snap, &entry)) {
    if (::lstrcmpiA(entry.szExeFile, "sentrova.exe") == 0) ids.push_back(entry.th32ProcessID);
  }
  ::CloseHandle(snap);
  return ids;
}

// Windows' COM service forgets the class objects of a server that dies;
// Wine's (rpcss.exe) keeps handing them out, so every later activation fails
// with RPC_S_SERVER_UNAVAILABLE until the service starts again. Ending it
// lets COM start it afresh on the next call, as Windows' own would be.
inline void ForgetKilledServers() {
  HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32First(snap, &entry); more; more = ::Process32Next(snap, &entry)) {
    if (::lstrcmpiA(entry.szExeFile, "rpcss.exe") != 0) continue;
    HANDLE service = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID);
    if (!service) continue;
    if (::TerminateProcess(service, 1)) ::WaitForSingleObject(service, 5000);
    ::CloseHandle(service);
  }
  ::CloseHandle(snap);
}

// Ends every sentrova.exe that a test left running (bounded), and has COM
// forget them, so that the next test's activation starts a new program.
inline void EndStrayPrograms() {
  bool killed = false;
  for (DWORD id : SentrovaProcesses()) {
    HANDLE h = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
    if (!h) continue;
    killed = ::TerminateProcess(h, 1) || killed;
    ::WaitForSingleObject(h, 5000);
    ::CloseHandle(h);
  }
  if (killed) ForgetKilledServers();
}

// The visible popup menu of a process (menus of other test programs may show
// at the same time), or null.
inline HWND ShownMenuOf(DWORD processId) {
  for (HWND menu = nullptr; (menu = ::FindWindowExA(nullptr, menu, "#32768", nullptr));) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(menu, &owner);
    if (owner == processId && ::IsWindowVisible(menu)) return menu;
  }
  return nullptr;
}

// Registers the stand-in host (service class and type library).
inline bool RegisterStandInHost() {
  const ChildResult r = RunAndWait(Quoted(QbhostExe()) + " register", 60000);
  return r.finished && r.exitCode == 0;
}

// The unnamed or a named string value of a key below a root; nothing when the
// key or value is missing.
inline std::optional<std::string> RegText(HKEY root, const std::string& key,
                                          const char* name = nullptr, REGSAM view = 0) {
  HKEY k = nullptr;
  if (::RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE | view, &k) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  char buf[2048] = {};
  DWORD size = sizeof buf - 1;
  DWORD type = 0;
  const LONG rc =
      ::RegQueryValueExA(k, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
  ::RegCloseKey(k);
  if (rc != ERROR_SUCCESS || type != REG_SZ) return std::nullopt;
  return std::string(buf);
}

// The same for a path and a value in wide characters (an install folder that
// the ANSI code page cannot spell); empty when missing.
inline std::wstring RegTextW(HKEY root, const std::wstring& key, REGSAM view = 0) {
  wchar_t buf[1024] = {};
  DWORD size = sizeof buf - sizeof(wchar_t);
  ::RegGetValueW(root, key.c_str(), nullptr, RRF_RT_REG_SZ | view, nullptr, buf, &size);
  return buf;
}

// Runs a program named in wide characters with its arguments and waits at
// most a minute and a half; the exit code, or 0xFFFFFFFF when it did not
// start or end.
inline DWORD RunWide(const std::wstring& exe, const std::wstring& args) {
  std::wstring command = L"\"" + exe + L"\" " + args;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi)) {
    return 0xFFFFFFFF;
  }
  DWORD code = 0xFFFFFFFF;
  if (::WaitForSingleObject(pi.hProcess, 90000) == WAIT_OBJECT_0) {
    ::GetExitCodeProcess(pi.hProcess, &code);
  } else {
    ::TerminateProcess(pi.hProcess, 1);
  }
  ::CloseHandle(pi.hThread);
  ::CloseHandle(pi.hProcess);
  return code;
}

inline bool RegKeyExists(HKEY root, const std::string& key, REGSAM view = 0) {
  HKEY k = nullptr;
  if (::RegOpenKeyExA(root, key.c_str(), 0, KEY_READ | view, &k) != ERROR_SUCCESS) return false;
  ::RegCloseKey(k);
  return true;
}

// Every key and string value below a key, as "subkey|name=value" lines.
inline void SnapshotKey(HKEY root, const std::string& key, std::map<std::string, std::string>& out,
                        REGSAM view = 0) {
  HKEY k = nullptr;
  if (::RegOpenKeyExA(root, key.c_str(), 0, KEY_READ | view, &k) != ERROR_SUCCESS) return;
  out[key + "|"] = "(key)";
  for (DWORD i = 0;; ++i) {
    char name[512];
    DWORD nameLen = sizeof name;
    BYTE data[2048];
    DWORD dataLen = sizeof data;
    DWORD type = 0;
    if (::RegEnumValueA(k, i, name, &nameLen, nullptr, &type, data, &dataLen) != ERROR_SUCCESS) {
      break;
    }
    out[key + "|" + name] = std::to_string(type) + ":" +
                            std::string(reinterpret_cast<char*>(data), dataLen);
  }
  std::vector<std::string> subkeys;
  for (DWORD i = 0;; ++i) {
    char name[512];
    DWORD nameLen = sizeof name;
    if (::RegEnumKeyExA(k, i, name, &nameLen, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      break;
    }
    subkeys.push_back(name);
  }
  ::RegCloseKey(k);
  for (const std::string& s : subkeys) SnapshotKey(root, key + "\\" + s, out, view);
}

// Values of the plug-in's namespace "VRX" in the stand-in host's store,
// written (and committed) or read through its service, as the host's
// settings pages do.
inline HRESULT WriteVrxBool(ITB4Server* service, const char* key, bool value) {
  return service->WriteBool(Bstr(L"VRX").get(), Bstr::FromAnsi(key).get(),
                            value ? VARIANT_TRUE : VARIANT_FALSE, VARIANT_TRUE);
}
inline HRESULT WriteVrxStr(ITB4Server* service, const char* key, const char* value) {
  return service->WriteStr(Bstr(L"VRX").get(), Bstr::FromAnsi(key).get(),
                           Bstr::FromAnsi(value).get(), VARIANT_TRUE);
}
inline HRESULT WriteVrxDate(ITB4Server* service, const char* key, double value) {
  return service->WriteDate(Bstr(L"VRX").get(), Bstr::FromAnsi(key).get(), value, VARIANT_TRUE);
}
// The stored date-time; -1 when the host holds none.
inline double ReadVrxDate(ITB4Server* service, const char* key) {
  DATE value = -1;
  if (FAILED(service->ReadDate(Bstr(L"VRX").get(), Bstr::FromAnsi(key).get(), 0, &value))) return -1;
  return value;
}

}  // namespace sentrova::test
