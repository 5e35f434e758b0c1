#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "cleanup/pending_text.h"

namespace sentrova {
namespace {

using Strings = std::vector<std::string>;

// The value's data from pairs: each string NUL-terminated, one extra NUL.
std::string PendingData(const std::vector<std::pair<std::string, std::string>>& pairs,
                        bool closing = true) {
  std::string data;
  for (const auto& [source, destination] : pairs) {
    data += source;
    data.push_back('\0');
    data += destination;
    data.push_back('\0');
  }
  if (closing) data.push_back('\0');
  return data;
}

TEST(PendingRenamePaths, DeletionReplaceAndRenameFromLastToFirst) {
  const std::string data =
      PendingData({{"\\??\\C:\\Temp\\A.TMP", ""},
                   {"\\??\\C:\\Temp\\B.dat", "!\\??\\C:\\Temp\\C.dat"},
                   {"\\??\\C:\\Temp\\D.x", "\\??\\C:\\Temp\\E.x"}});
  EXPECT_EQ(PendingRenamePaths(data),
            (Strings{"c:\\temp\\e.x", "c:\\temp\\b.dat", "c:\\temp\\a.tmp"}));
}

TEST(PendingRenamePaths, TheOtherPathsOfEachPair) {
  const std::string data =
      PendingData({{"\\??\\C:\\Temp\\A.TMP", ""},
                   {"\\??\\C:\\Temp\\B.dat", "!\\??\\C:\\Temp\\C.dat"},
                   {"\\??\\C:\\Temp\\D.x", "\\??\\C:\\Temp\\E.x"}});
  EXPECT_EQ(PendingRenameOtherPaths(data), (Strings{"c:\\temp\\d.x", "c:\\temp\\c.dat"}));
  EXPECT_EQ(PendingRenameOtherPaths(""), Strings{});
  EXPECT_EQ(PendingRenameOtherPaths(PendingData({{"X", "!"}})), Strings{});
}

TEST(PendingRenamePaths, OddInputs) {
  EXPECT_EQ(PendingRenamePaths(""), Strings{});
  EXPECT_EQ(PendingRenamePaths(std::string(1, '\0')), Strings{});
  EXPECT_EQ(PendingRenamePaths(std::string(5, '\0')), Strings{});
  // A lone source, with or without its NUL, is no operation.
  EXPECT_EQ(PendingRenamePaths("\\??\\C:\\a"), Strings{});
  EXPECT_EQ(PendingRenamePaths(std::string("\\??\\C:\\a\0", 9)), Strings{});
  // A trailing single string after a whole pair is dropped, the pair kept.
  EXPECT_EQ(PendingRenamePaths(PendingData({{"X", ""}}, false) + "Y"), Strings{"x"});
  EXPECT_EQ(PendingRenamePaths(PendingData({{"X", ""}}, false) + std::string("Y\0", 2)),
            Strings{"x"});
  // Without the closing NULs: the last destination lacks its NUL.
  std::string cut = PendingData({{"P", ""}, {"Q", "R"}}, false);
  cut.pop_back();
  EXPECT_EQ(PendingRenamePaths(cut), (Strings{"r", "p"}));
  // A deletion at the very end without its closing NULs still counts.
  EXPECT_EQ(PendingRenamePaths(std::string("Z\0", 2)), Strings{});
  EXPECT_EQ(PendingRenamePaths(std::string("Z\0\0", 3)), Strings{"z"});
  // The end of the list is the empty string where a source is due; what
  // follows it is not read.
  EXPECT_EQ(PendingRenamePaths(PendingData({{"S", ""}}) + PendingData({{"T", ""}})),
            Strings{"s"});
  // "=" and "!" inside a path are ordinary characters of the path.
  EXPECT_EQ(PendingRenamePaths(PendingData({{"C:\\a=b!", ""}, {"!x", "y=z"}})),
            (Strings{"y=z", "c:\\a=b!"}));
  // Only the first "\??\" goes; letters outside ASCII keep their case.
  EXPECT_EQ(PendingRenamePaths(PendingData({{"\\??\\C:\\\xC4\\??\\X", ""}})),
            Strings{"c:\\\xC4\\??\\x"});
  // A pair whose chosen path is only the prefix gives nothing.
  EXPECT_EQ(PendingRenamePaths(PendingData({{"\\??\\", ""}, {"K", "!L"}})), Strings{"k"});
}

TEST(PendingRenamePaths, VeryLongPaths) {
  const std::string longPath = "\\??\\C:\\" + std::string(40000, 'N') + ".TMP";
  const std::string expected = "c:\\" + std::string(40000, 'n') + ".tmp";
  EXPECT_EQ(PendingRenamePaths(PendingData({{longPath, ""}, {"M", "!" + longPath}})),
            (Strings{"m", expected}));
  EXPECT_EQ(PendingRenamePaths(PendingData({{"M", longPath}})), Strings{expected});
  std::string cut = PendingData({{"A", ""}, {longPath, ""}}, false);
  cut.resize(cut.size() - 2);  // cut inside the last pair's source
  EXPECT_EQ(PendingRenamePaths(cut), Strings{"a"});
}

// Random well-formed values against what their pairs mean.
TEST(PendingRenamePaths, FuzzPairsAgainstTheirMeaning) {
  std::mt19937 random(20261207);
  const std::string alphabet = "AbZ:\\?.!= x\xE4";
  auto randomPath = [&](size_t maxLength) {
    std::string path;
    const size_t length = 1 + random() % maxLength;
    for (size_t i = 0; i < length; ++i) path.push_back(alphabet[random() % alphabet.size()]);
    return path;
  };
  for (int round = 0; round < 3000; ++round) {
    std::vector<std::pair<std::string, std::string>> pairs;
    Strings expected;
    const int count = static_cast<int>(random() % 6);
    for (int i = 0; i < count; ++i) {
      std::string source = "\\??\\" + randomPath(12);
      std::string destination;
      std::string touched = source;
      switch (random() % 3) {
        case 0:
          break;  // deletion
        case 1:
          destination = "!\\??\\" + randomPath(12);
          break;
        default:
          destination = randomPath(12);
          if (destination.front() == '!') destination.front() = 'R';
          touched = destination;
      }
      pairs.emplace_back(source, destination);
      std::string path;
      for (char c : touched) path.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c);
      if (const size_t p = path.find("\\??\\"); p != std::string::npos) path.erase(p, 4);
      if (!path.empty()) expected.insert(expected.begin(), path);
    }
    const bool closing = random() % 2 == 0;
    ASSERT_EQ(PendingRenamePaths(PendingData(pairs, closing)), expected) << "round " << round;
  }
}

// Random bytes: whatever the data, the result holds clean, non-empty paths
// and never more than one per two strings.
TEST(PendingRenamePaths, FuzzArbitraryBytes) {
  std::mt19937 random(7);
  const std::string alphabet = std::string("\0\0\0!!=\\?aZ\t", 11);
  for (int round = 0; round < 5000; ++round) {
    std::string data;
    const size_t length = random() % 64;
    for (size_t i = 0; i < length; ++i) {
      data.push_back(random() % 4 == 0 ? static_cast<char>(random() % 256)
                                       : alphabet[random() % alphabet.size()]);
    }
    size_t nuls = 0;
    for (char c : data) nuls += c == '\0';
    const Strings paths = PendingRenamePaths(data);
    ASSERT_LE(paths.size(), nuls / 2 + 1) << "round " << round;
    for (const std::string& path : paths) {
      ASSERT_FALSE(path.empty());
      ASSERT_EQ(path.find('\0'), std::string::npos);
      for (char c : path) ASSERT_FALSE(c >= 'A' && c <= 'Z') << path;
    }
  }
}

TEST(WininitEdits, ScheduleAppendsSectionAndUpperCasesExistingLines) {
  // No "[RENAME]" line: it is added at the end, then the deletion.
  EXPECT_EQ(WithWininitDeletion({"[boot]", "shell=Explorer.exe"}, "C:\\TEMP\\a~1.tmp"),
            (Strings{"[BOOT]", "SHELL=EXPLORER.EXE", "[RENAME]", "NUL=C:\\TEMP\\a~1.tmp"}));
  // An existing section in any case is found; the new line goes at the end.
  EXPECT_EQ(WithWininitDeletion({"[rename]", "nul=c:\\x.tmp", "[Other]"}, "C:\\Y.TMP"),
            (Strings{"[RENAME]", "NUL=C:\\X.TMP", "[OTHER]", "NUL=C:\\Y.TMP"}));
  EXPECT_EQ(WithWininitDeletion({}, "C:\\Z"), (Strings{"[RENAME]", "NUL=C:\\Z"}));
  // A line that only contains the header text is not the header.
  EXPECT_EQ(WithWininitDeletion({" [RENAME]"}, "Q"), (Strings{" [RENAME]", "[RENAME]", "NUL=Q"}));
  EXPECT_EQ(JoinIniLines({"[RENAME]", "NUL=Q"}), "[RENAME]\r\nNUL=Q\r\n");
  EXPECT_EQ(JoinIniLines({}), "");
}

TEST(WininitEdits, PendingPathsReadBackFromLastLine) {
  EXPECT_EQ(WininitPendingPaths({"[RENAME]", "NUL=C:\\TEMP\\A~1.TMP", "C:\\NEW.DLL=C:\\OLD.DLL",
                                 "", "NUL=", "loose line"}),
            (Strings{"loose line", "C:\\OLD.DLL", "C:\\TEMP\\A~1.TMP", "[RENAME]"}));
  // Only the first "=" splits.
  EXPECT_EQ(WininitPendingPaths({"NUL=C:\\A=B"}), Strings{"C:\\A=B"});
  // What a deletion writes reads back as the path.
  const Strings written = WithWininitDeletion({}, "C:\\TEMP\\F~1.TMP");
  EXPECT_EQ(WininitPendingPaths(written), (Strings{"C:\\TEMP\\F~1.TMP", "[RENAME]"}));
}

TEST(IgnoreList, MatchesWholePathsIgnoringAsciiCase) {
  const Strings list = {"c:\\temp\\a~1.tmp", "C:\\TEMP\\B.TMP"};
  EXPECT_TRUE(IgnoreListContains(list, "C:\\Temp\\A~1.TMP"));
  EXPECT_TRUE(IgnoreListContains(list, "c:\\temp\\b.tmp"));
  EXPECT_FALSE(IgnoreListContains(list, "c:\\temp\\a~1.tm"));
  EXPECT_FALSE(IgnoreListContains(list, "c:\\temp\\"));
  EXPECT_FALSE(IgnoreListContains({}, "c:\\temp\\a~1.tmp"));
}

TEST(AfterRestartCommand, ShortPathBlankOption) {
  EXPECT_EQ(AfterRestartCommandText("c:\\progra~1\\sentrova\\sentrova.exe"),
            "c:\\progra~1\\sentrova\\sentrova.exe /cleanup");
  EXPECT_EQ(AfterRestartCommandText(""), " /cleanup");
  // A path that kept a blank is quoted, so that the command line holds.
  EXPECT_EQ(AfterRestartCommandText("c:\\my apps\\sentrova.exe"),
            "\"c:\\my apps\\sentrova.exe\" /cleanup");
}

}  // namespace
}  // namespace sentrova
