// The program's running processes, found by executable name. Shared by the
// stand-in host and the soak driver.
#pragma once

#include <windows.h>
#include <tlhelp32.h>

#include <vector>

namespace devhost {

inline std::vector<DWORD> ProgramProcesses() {
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

}  // namespace devhost
