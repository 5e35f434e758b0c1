#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/kinds.h"
#include "toolkit/rules.h"

namespace sentrova {
namespace {

TEST(CenteredOffset, HalvesTheDifferenceTruncatingTowardZero) {
  EXPECT_EQ(CenteredOffset(1280, 530), 375);
  EXPECT_EQ(CenteredOffset(1280, 531), 374);  // 749 / 2
  EXPECT_EQ(CenteredOffset(1024, 1024), 0);
  // Wider than the screen: negative, half the excess.
  EXPECT_EQ(CenteredOffset(1280, 1400), -60);
  // -1 / 2 truncates to 0 and -3 / 2 to -1 (not -1 and -2 as flooring gives).
  EXPECT_EQ(CenteredOffset(1280, 1281), 0);
  EXPECT_EQ(CenteredOffset(1280, 1283), -1);
}

TEST(SizeOrCurrent, KeepsTheCurrentForZeroOrLess) {
  EXPECT_EQ(SizeOrCurrent(300, 64), 300);
  EXPECT_EQ(SizeOrCurrent(1, 64), 1);
  EXPECT_EQ(SizeOrCurrent(0, 64), 64);
  EXPECT_EQ(SizeOrCurrent(-5, 64), 64);
}

// A reader over a fixed text that behaves like the list view's: copies what
// fits with its NUL and reports the characters copied; it notes each size.
struct FakeReader {
  std::string text;
  std::vector<size_t> sizes;

  size_t operator()(char* buffer, size_t size) {
    sizes.push_back(size);
    const size_t n = std::min(text.size(), size - 1);
    text.copy(buffer, n);
    buffer[n] = '\0';
    return n;
  }
};

std::string ReadWith(FakeReader& reader) {
  return ReadGrowingText([&](char* b, size_t s) { return reader(b, s); });
}

TEST(ReadGrowingText, GrowsByTwicePlusHundredWhileTheTextFillsTheBuffer) {
  EXPECT_EQ(NextTextBuffer(100), 300u);
  EXPECT_EQ(NextTextBuffer(300), 700u);
  EXPECT_EQ(NextTextBuffer(700), 1500u);

  FakeReader shortText{"abc", {}};
  EXPECT_EQ(ReadWith(shortText), "abc");
  EXPECT_EQ(shortText.sizes, (std::vector<size_t>{100}));

  FakeReader text250{std::string(250, 'x'), {}};
  EXPECT_EQ(ReadWith(text250), std::string(250, 'x'));
  EXPECT_EQ(text250.sizes, (std::vector<size_t>{100, 300}));

  // 98 characters leave the buffer not full; 99 fill it (length = size - 1),
  // so a larger buffer is tried even though the text was complete.
  FakeReader text98{std::string(98, 'a'), {}};
  EXPECT_EQ(ReadWith(text98).size(), 98u);
  EXPECT_EQ(text98.sizes, (std::vector<size_t>{100}));
  FakeReader text99{std::string(99, 'a'), {}};
  EXPECT_EQ(ReadWith(text99).size(), 99u);
  EXPECT_EQ(text99.sizes, (std::vector<size_t>{100, 300}));

  FakeReader text1000{std::string(1000, 'q'), {}};
  EXPECT_EQ(ReadWith(text1000).size(), 1000u);
  EXPECT_EQ(text1000.sizes, (std::vector<size_t>{100, 300, 700, 1500}));
}

TEST(ReadGrowingText, StopsAtTheLargestBufferAndDistrustsOverstatedCounts) {
  // A reader that always claims a full buffer would otherwise never end.
  std::vector<size_t> sizes;
  const std::string text = ReadGrowingText([&](char* buffer, size_t size) {
    sizes.push_back(size);
    std::fill(buffer, buffer + size - 1, 'z');
    buffer[size - 1] = '\0';
    return size + 10;  // more than it could have copied
  });
  ASSERT_FALSE(sizes.empty());
  EXPECT_LE(sizes.back(), kLargestTextBuffer);
  EXPECT_GT(NextTextBuffer(sizes.back()), kLargestTextBuffer);
  EXPECT_EQ(text.size(), sizes.back() - 1);

  // A reader that fails (copies nothing) gives an empty text at once.
  int calls = 0;
  EXPECT_EQ(ReadGrowingText([&](char*, size_t) {
              ++calls;
              return size_t{0};
            }),
            "");
  EXPECT_EQ(calls, 1);
}

TEST(TrayTooltip, KeepsAtMostSixtyThreeCharacters) {
  const std::string eighty = std::string(60, 'a') + "bcdefghijklmnopqrstu";
  ASSERT_EQ(eighty.size(), 80u);
  EXPECT_EQ(TrayTooltip(eighty), eighty.substr(0, 63));
  EXPECT_EQ(TrayTooltip(std::string(63, 'b')), std::string(63, 'b'));
  EXPECT_EQ(TrayTooltip("Sentrova"), "Sentrova");
  EXPECT_EQ(TrayTooltip(""), "");
  EXPECT_EQ(TrayTooltip(std::string("ab\0cd", 5)), "ab");
}

TEST(ControlKinds, TableOfClassesAndDefaultSizes) {
  struct Row {
    const char* name;
    const char* platformClass;
    const char* windowClass;
    int width;
    int height;
  };
  const Row rows[] = {
      {"App", "", "obj_APP", 0, 0},
      {"Form", "", "obj_FORM", 0, 0},
      {"Button", "BUTTON", "obj_BUTTON", 0, 22},
      {"Checkbox", "BUTTON", "obj_BUTTON", 72, 0},
      {"Label", "STATIC", "obj_STATIC", 0, 22},
      {"WordWrapLabel", "STATIC", "obj_STATIC", 0, 44},
      {"Paintbox", "STATIC", "obj_STATIC", 40, 40},
      {"Panel", "STATIC", "obj_STATIC", 100, 100},
      {"Editbox", "EDIT", "obj_EDIT", 100, 22},
      {"Listview", "SysListView32", "obj_SysListView32", 0, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ControlKind kind{};
    ASSERT_TRUE(KindFromName(row.name, kind));
    const KindInfo& info = InfoOf(kind);
    EXPECT_EQ(info.name, row.name);
    EXPECT_EQ(info.platformClass, row.platformClass);
    EXPECT_EQ(WindowClassOf(kind), row.windowClass);
    EXPECT_EQ(info.defaultWidth, row.width);
    EXPECT_EQ(info.defaultHeight, row.height);
    EXPECT_EQ(IsTopLevelKind(kind), row.name == std::string("App") || row.name == std::string("Form"));
  }
  ControlKind kind{};
  EXPECT_FALSE(KindFromName("button", kind));  // exact spelling
  EXPECT_FALSE(KindFromName("Combobox", kind));
}

TEST(KeyboardMessages, AreTwoHundredFiftySixToTwoHundredSixtyFour) {
  EXPECT_FALSE(IsKeyboardMessage(255));
  EXPECT_TRUE(IsKeyboardMessage(256));  // WM_KEYDOWN
  EXPECT_TRUE(IsKeyboardMessage(258));  // WM_CHAR
  EXPECT_TRUE(IsKeyboardMessage(264));
  EXPECT_FALSE(IsKeyboardMessage(265));
}

TEST(AutoSizeExtent, LeavesRoomForFrameAndBox) {
  const Extent button = AutoSizeExtent(ControlKind::Button, 40, 13);
  EXPECT_GT(button.width, 40);
  EXPECT_GT(button.height, 13);
  const Extent box = AutoSizeExtent(ControlKind::Checkbox, 40, 13);
  EXPECT_GE(box.width, 40 + 16);  // the box itself is about 13 pixels plus a gap
  const Extent label = AutoSizeExtent(ControlKind::Label, 40, 13);
  EXPECT_EQ(label.width, 40);
  EXPECT_EQ(label.height, 13);
}

}  // namespace
}  // namespace sentrova
