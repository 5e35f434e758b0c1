// Empties the folder tree under a mask with DeleteFolderContents (top folder
// kept, no ignore list) and prints the files and folders it held, the time
// the call took and the rate. Usage: bench_delete_folder "C:\tree\*.*"
#include <windows.h>

#include <cstdio>
#include <string>

#include "cleanup/restart_operations.h"

namespace {

struct Counts {
  long files = 0, folders = 0;
};

void CountTree(const std::string& folder, Counts& counts) {
  WIN32_FIND_DATAA data{};
  HANDLE find = ::FindFirstFileA((folder + "*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = data.cFileName;
    if (name == "." || name == "..") continue;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      ++counts.folders;
      CountTree(folder + name + "\\", counts);
    } else {
      ++counts.files;
    }
  } while (::FindNextFileA(find, &data));
  ::FindClose(find);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_delete_folder MASK\n");
    return 2;
  }
  const std::string mask = argv[1];
  const std::string folder = mask.substr(0, mask.find_last_of('\\') + 1);
  Counts before;
  CountTree(folder, before);

  LARGE_INTEGER frequency{}, start{}, stop{};
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&start);
  const bool result = sentrova::DeleteFolderContents(mask, false, nullptr);
  ::QueryPerformanceCounter(&stop);
  const double seconds =
      static_cast<double>(stop.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);

  Counts after;
  CountTree(folder, after);
  std::printf("files=%ld folders=%ld seconds=%.3f files_per_second=%.0f result=%d left=%ld\n",
              before.files, before.folders, seconds, before.files / seconds, result ? 1 : 0,
              after.files + after.folders);
  return result && after.files + after.folders == 0 ? 0 : 1;
}
