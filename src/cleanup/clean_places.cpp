#include "cleanup/clean_places.h"

#include "cleanup/pending_text.h"

namespace sentrova {

namespace {

bool IsDriveAbsolute(const std::string& path) {
  return path.size() >= 3 && path[0] >= 'a' && path[0] <= 'z' && path[1] == ':' && path[2] == '\\';
}

// True when `inner` is `outer` or lies below it (both normalised).
bool IsSameOrBelow(const std::string& inner, const std::string& outer) {
  if (inner.size() < outer.size() || inner.compare(0, outer.size(), outer) != 0) return false;
  return inner.size() == outer.size() || inner[outer.size()] == '\\';
}

}  // namespace

bool IsFolderSafeToEmpty(std::string_view folder, const std::vector<std::string>& protectedFolders) {
  const std::string path = NormalisedPath(folder);
  if (!IsDriveAbsolute(path) || path.size() <= 3) return false;  // relative, empty or a root
  // Every part below the drive must be a plain name.
  size_t start = 3;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    const std::string_view part(path.data() + start, end - start);
    if (part.empty() || part == "." || part == "..") return false;
    start = end + 1;
  }
  for (const std::string& guarded : protectedFolders) {
    const std::string other = NormalisedPath(guarded);
    if (other.empty()) continue;
    if (IsSameOrBelow(other, path)) return false;  // the folder itself or one above it
  }
  return true;
}

}  // namespace sentrova
