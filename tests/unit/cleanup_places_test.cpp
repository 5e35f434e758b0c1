#include <gtest/gtest.h>

#include "cleanup/clean_places.h"

namespace sentrova {
namespace {

TEST(CleanPlaces, OnlyFoldersBelowTheDriveAndAwayFromTheSystemAreEmptied) {
  const std::vector<std::string> guarded = {"C:\\windows", "C:\\windows\\system32", "C:\\users\\ann\\"};
  const std::pair<const char*, bool> cases[] = {
      {"C:\\users\\ann\\Temp\\", true}, {"c:/Users/Ann/Recent", true}, {"D:\\scratch", true},
      {"C:\\windows\\Downloaded Program Files", true},  // inside a guarded folder
      {"C:\\users\\annex", true},                       // a name that begins the same
      {"", false}, {"Temp", false}, {"\\Temp", false}, {"\\\\server\\share\\t", false},
      {"C:\\", false}, {"C:", false}, {"C:\\Windows\\", false}, {"C:\\WINDOWS\\SYSTEM32", false},
      {"C:\\users\\ann", false}, {"C:\\users", false},  // the profile and above
      {"C:\\users\\ann\\Temp\\..\\..", false}, {"C:\\users\\ann\\.\\Temp", false},
      {"C:\\users\\ann\\\\Temp", false},
  };
  for (const auto& [folder, safe] : cases) EXPECT_EQ(IsFolderSafeToEmpty(folder, guarded), safe) << folder;
}

}  // namespace
}  // namespace sentrova
