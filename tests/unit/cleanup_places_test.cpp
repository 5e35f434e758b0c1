#include <gtest/gtest.h>

#include "cleanup/clean_places.h"

namespace sentrova {
namespace {

TEST(CleanPlaces, OnlyFoldersBelowTheDriveAndAwayFromTheSystemAreEmptied) {
  const std::vector<std::string> guarded = {"C:\\windows", "C:\\windows\\system32",
                                            "C:\\users\\ann\\"};
  const struct {
    const char* folder;
    bool safe;
  } cases[] = {
      {"C:\\users\\ann\\Temp\\", true},
      {"c:/Users/Ann/Recent", true},
      {"C:\\windows\\Downloaded Program Files", true},  // inside a guarded folder
      {"D:\\scratch", true},
      {"", false},
      {"Temp", false},               // relative
      {"\\Temp", false},             // no drive
      {"\\\\server\\share\\t", false},
      {"C:\\", false},               // a drive root
      {"C:", false},
      {"C:\\Windows\\", false},      // a guarded folder itself
      {"C:\\WINDOWS\\SYSTEM32", false},
      {"C:\\users\\ann", false},     // the profile root
      {"C:\\users", false},          // above the profile
      {"C:\\users\\ann\\Temp\\..\\..", false},
      {"C:\\users\\ann\\.\\Temp", false},
      {"C:\\users\\ann\\\\Temp", false},
      {"C:\\users\\annex", true},    // a sibling whose name begins the same
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsFolderSafeToEmpty(c.folder, guarded), c.safe) << c.folder;
  }
}

}  // namespace
}  // namespace sentrova
