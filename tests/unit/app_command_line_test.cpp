#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/command_line.h"

namespace sentrova {
namespace {

using Params = std::vector<std::string>;

TEST(SplitParameters, BlanksAndControlCharactersSeparate) {
  EXPECT_EQ(SplitParameters("  /a\t-b\r\n\x01 c  "), (Params{"/a", "-b", "c"}));
  EXPECT_EQ(SplitParameters(""), Params{});
  EXPECT_EQ(SplitParameters(" \t\x1f "), Params{});
  // Bytes above 32 and below 1 are ordinary characters.
  EXPECT_EQ(SplitParameters("a\x7f"
                            "b \xa0"),
            (Params{"a\x7f"
                    "b",
                    "\xa0"}));
}

TEST(SplitParameters, QuotesGroupAndOuterQuotesGo) {
  EXPECT_EQ(SplitParameters("\"C:\\Program Files\\x.exe\" /cleanup"),
            (Params{"C:\\Program Files\\x.exe", "/cleanup"}));
  // Quotes in the middle stay; the stretch still keeps blanks together.
  EXPECT_EQ(SplitParameters("a\"b c\"d e"), (Params{"a\"b c\"d", "e"}));
  // Only a parameter that both begins and ends with a quote loses them.
  EXPECT_EQ(SplitParameters("\"abc d"), (Params{"\"abc d"}));
  EXPECT_EQ(SplitParameters("ab\"c\""), (Params{"ab\"c\""}));
  // A lone quote is a parameter of one character and keeps its quote.
  EXPECT_EQ(SplitParameters("\""), (Params{"\""}));
  // An adjacent pair where a parameter would begin separates, giving nothing.
  EXPECT_EQ(SplitParameters("\"\" x \"\"\"\"y"), (Params{"x", "y"}));
  EXPECT_EQ(SplitParameters("\"\"\"a b\""), (Params{"a b"}));
}

TEST(NormalizeKeyword, UpperCasesAndStripsLeadingSwitchCharacters) {
  EXPECT_EQ(NormalizeKeyword("--/cleanup"), "CLEANUP");
  EXPECT_EQ(NormalizeKeyword("/-/RegServer"), "REGSERVER");
  EXPECT_EQ(NormalizeKeyword("clean-up/"), "CLEAN-UP/");
  EXPECT_EQ(NormalizeKeyword("//"), "");
  // Only ASCII letters change case.
  EXPECT_EQ(NormalizeKeyword("\xe9t\xc9"), "\xe9T\xc9");
}

TEST(ParseStartCommand, SelectsTheCleanUpOnlyFromTheFirstParameter) {
  EXPECT_EQ(ParseStartCommand("/CleanUp"), StartCommand::kCleanUp);
  EXPECT_EQ(ParseStartCommand("-cleanup"), StartCommand::kCleanUp);
  EXPECT_EQ(ParseStartCommand("--/CLEANUP"), StartCommand::kCleanUp);
  EXPECT_EQ(ParseStartCommand("\"/cleanup\""), StartCommand::kCleanUp);
  EXPECT_EQ(ParseStartCommand("cleanup extra words"), StartCommand::kCleanUp);

  EXPECT_EQ(ParseStartCommand("cleanup2"), StartCommand::kNormalRun);
  EXPECT_EQ(ParseStartCommand("/ cleanup"), StartCommand::kNormalRun);
  EXPECT_EQ(ParseStartCommand("-Embedding /cleanup"), StartCommand::kNormalRun);
  EXPECT_EQ(ParseStartCommand("\"/clean up\""), StartCommand::kNormalRun);
  EXPECT_EQ(ParseStartCommand("/clean\"up\""), StartCommand::kNormalRun);
}

TEST(ParseStartCommand, KnowsTheFourKeywordsAndNothingElse) {
  EXPECT_EQ(ParseStartCommand("/manualupdate"), StartCommand::kManualUpdate);
  EXPECT_EQ(ParseStartCommand("/regserver"), StartCommand::kRegServer);
  EXPECT_EQ(ParseStartCommand("-UnRegServer"), StartCommand::kUnregServer);
  EXPECT_EQ(ParseStartCommand(""), StartCommand::kNormalRun);
  EXPECT_EQ(ParseStartCommand("   "), StartCommand::kNormalRun);
  EXPECT_EQ(ParseStartCommand("-Embedding"), StartCommand::kNormalRun);
  EXPECT_EQ(ParseStartCommand("/regserver32"), StartCommand::kNormalRun);
  EXPECT_EQ(ParseStartCommand("/unreg server"), StartCommand::kNormalRun);
}

// A small deterministic fuzz run over command lines made of the characters
// that matter to the splitter.
class CommandLineFuzz : public ::testing::Test {
 protected:
  uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }
  std::string RandomLine(const std::string& alphabet) {
    std::string line;
    const size_t length = Next() % 24;
    for (size_t i = 0; i < length; ++i) line += alphabet[Next() % alphabet.size()];
    return line;
  }
  uint32_t state_ = 0x2545F491u;
};

TEST_F(CommandLineFuzz, ParametersComeFromTheInputAndAreNeverEmpty) {
  const std::string alphabet("  \t\"\"-/aClEnUp\x01\x7f\xff\0", 18);
  for (int round = 0; round < 20000; ++round) {
    const std::string line = RandomLine(alphabet);
    const Params params = SplitParameters(line);
    ASSERT_LE(params.size(), line.size()) << line;
    for (const std::string& p : params) {
      ASSERT_FALSE(p.empty()) << "input: [" << line << "]";
      ASSERT_TRUE(line.find(p) != std::string::npos ||
                  line.find("\"" + p + "\"") != std::string::npos)
          << "input: [" << line << "] parameter: [" << p << "]";
    }
    const std::string keyword = params.empty() ? "" : NormalizeKeyword(params.front());
    ASSERT_EQ(NormalizeKeyword(keyword), keyword);
    ASSERT_TRUE(keyword.empty() || (keyword[0] != '-' && keyword[0] != '/'));
    for (char c : keyword) ASSERT_FALSE(c >= 'a' && c <= 'z');
    ParseStartCommand(line);
  }
}

TEST_F(CommandLineFuzz, WithoutQuotesItSplitsAtEveryBlankRun) {
  const std::string alphabet(" \t\r\n\x01-/aclenupCLEANUP\x80", 22);
  for (int round = 0; round < 20000; ++round) {
    const std::string line = RandomLine(alphabet);
    Params expected;
    std::string current;
    for (char c : line) {
      const auto u = static_cast<unsigned char>(c);
      if (u >= 1 && u <= 32) {
        if (!current.empty()) expected.push_back(current);
        current.clear();
      } else {
        current += c;
      }
    }
    if (!current.empty()) expected.push_back(current);
    ASSERT_EQ(SplitParameters(line), expected) << "input: [" << line << "]";
  }
}

}  // namespace
}  // namespace sentrova
