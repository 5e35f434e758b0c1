// The Windows half of bench/clean_pass.sh. Commands (times on stdout as
// "seconds=S"):
//   settings          selects only WIN_TEMP in the host's configuration
//   pass              one whole clean-up pass, timed
//   empty FOLDER      the pass's Temp step alone: the pending paths read,
//                     then DeleteFolderContents, timed
//   loop FOLDER       the bare baseline: list each folder, DeleteFileA each
//                     file, remove the subfolders, timed
//   pend FOLDER N     schedules N renames at restart of FOLDER\f0.tmp...
//   unpend            forgets every operation pending at restart
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cleanup/clean.h"
#include "cleanup/restart_operations.h"
#include "host/config_keys.h"
#include "platform/com.h"

namespace {

double Seconds(LARGE_INTEGER start) {
  LARGE_INTEGER frequency{}, stop{};
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&stop);
  return static_cast<double>(stop.QuadPart - start.QuadPart) /
         static_cast<double>(frequency.QuadPart);
}

void BareLoop(const std::string& folder) {
  std::vector<std::pair<std::string, bool>> entries;
  WIN32_FIND_DATAA data{};
  HANDLE find = ::FindFirstFileA((folder + "\\*.*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = data.cFileName;
    if (name == "." || name == "..") continue;
    entries.emplace_back(name, (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
  } while (::FindNextFileA(find, &data));
  ::FindClose(find);
  for (const auto& [name, isFolder] : entries) {
    const std::string full = folder + "\\" + name;
    if (isFolder) {
      BareLoop(full);
      ::RemoveDirectoryA(full.c_str());
    } else {
      ::DeleteFileA(full.c_str());
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  using namespace sentrova;
  const std::string command = argc > 1 ? argv[1] : "";
  sentrova::ComApartment com(COINIT_MULTITHREADED);
  LARGE_INTEGER start{};
  if (command == "settings") {
    TConfig config;
    for (const char* item : config_keys::kCleanUpItems) {
      config.SetBool(item, std::string(item) == "WIN_TEMP", true);
    }
    config.Commit();
    return 0;
  }
  if (command == "pass") {
    TClean clean;
    ::QueryPerformanceCounter(&start);
    clean.Run(false);
    std::printf("seconds=%.3f\n", Seconds(start));
    return 0;
  }
  if (command == "empty" && argc == 3) {
    ::QueryPerformanceCounter(&start);
    std::vector<std::string> ignore;
    ReadPendingPaths(ignore);
    DeleteFolderContents(std::string(argv[2]) + "\\*.*", false, &ignore);
    std::printf("seconds=%.3f\n", Seconds(start));
    return 0;
  }
  if (command == "loop" && argc == 3) {
    ::QueryPerformanceCounter(&start);
    BareLoop(argv[2]);
    std::printf("seconds=%.3f\n", Seconds(start));
    return 0;
  }
  if (command == "pend" && argc == 4) {
    for (int i = 0; i < std::atoi(argv[3]); ++i) {
      const std::string source = std::string(argv[2]) + "\\f" + std::to_string(i) + ".tmp";
      ::MoveFileExA(source.c_str(), (source + ".renamed").c_str(), MOVEFILE_DELAY_UNTIL_REBOOT);
    }
    return 0;
  }
  if (command == "unpend") {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_SET_VALUE, &key) == 0) {
      ::RegDeleteValueA(key, kPendingRenameValue);
      ::RegCloseKey(key);
    }
    return 0;
  }
  std::fprintf(stderr, "usage: bench_clean_pass settings|pass|loop FOLDER|pend FOLDER N|unpend\n");
  return 2;
}
