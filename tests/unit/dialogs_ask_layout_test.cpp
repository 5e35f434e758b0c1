// The question dialog's option codes, keyboard guard and layout arithmetic.
#include <gtest/gtest.h>

#include <string>

#include "dialogs/ask_layout.h"

namespace sentrova {
namespace {

QuestionOptions Read(const std::string& heading, std::string* rest = nullptr) {
  std::string r;
  QuestionOptions o = ReadQuestionOptions(heading, r);
  if (rest) *rest = r;
  return o;
}

TEST(QuestionOptions, PlainHeadingHasYesDefaultAndCheckbox) {
  std::string rest;
  const QuestionOptions o = Read("Close all running Internet Explorer windows?", &rest);
  EXPECT_TRUE(o.yesDefault);
  EXPECT_TRUE(o.checkbox);
  EXPECT_FALSE(o.pinned);
  EXPECT_FALSE(o.infoOnly);
  EXPECT_EQ(rest, "Close all running Internet Explorer windows?");
}

TEST(QuestionOptions, EachCodeHasItsMeaningAndIsRemoved) {
  std::string rest;
  EXPECT_FALSE(Read("\x02" "Delete?", &rest).yesDefault);
  EXPECT_EQ(rest, "Delete?");
  EXPECT_FALSE(Read("\x03Restore?", &rest).checkbox);
  EXPECT_EQ(rest, "Restore?");
  EXPECT_TRUE(Read("\x04Pinned", &rest).pinned);
  EXPECT_EQ(rest, "Pinned");
  EXPECT_TRUE(Read("\x05" "Done.", &rest).infoOnly);
  EXPECT_EQ(rest, "Done.");
}

TEST(QuestionOptions, CodeOneWinsOverCodeTwoInEitherOrder) {
  EXPECT_TRUE(Read("\x01\x02Q").yesDefault);
  EXPECT_TRUE(Read("\x02\x01Q").yesDefault);
  EXPECT_FALSE(Read("\x02\x03Q").yesDefault);
}

TEST(QuestionOptions, CodesCombineAndUnknownOnesAreDropped) {
  std::string rest;
  const QuestionOptions o = Read(std::string("\x06\x03\x1f\x04\x00\x02Heading", 13), &rest);
  EXPECT_FALSE(o.yesDefault);
  EXPECT_FALSE(o.checkbox);
  EXPECT_TRUE(o.pinned);
  EXPECT_FALSE(o.infoOnly);
  EXPECT_EQ(rest, "Heading");
}

TEST(QuestionOptions, ReadingStopsAtTheFirstPrintableCharacter) {
  std::string rest;
  // The code 3 after the first letter is part of the text (and trimmed only
  // where it stands at an end).
  const QuestionOptions o = Read("\x02 A\x03" "B \x03", &rest);
  EXPECT_TRUE(o.checkbox);
  EXPECT_FALSE(o.yesDefault);
  EXPECT_EQ(rest, "A\x03" "B");
}

TEST(QuestionOptions, HighCharactersAreTextNotCodes) {
  std::string rest;
  const QuestionOptions o = Read("\xE9t\xE9?", &rest);  // ANSI accented letters
  EXPECT_TRUE(o.yesDefault);
  EXPECT_EQ(rest, "\xE9t\xE9?");
}

TEST(QuestionOptions, CodesAndBlanksOnlyLeaveAnEmptyHeading) {
  std::string rest = "x";
  Read("\x03\x05   \t\r\n ", &rest);
  EXPECT_EQ(rest, "");
  Read("", &rest);
  EXPECT_EQ(rest, "");
}

TEST(AlwaysShowMark, OnlyALeadingBellCharacterCounts) {
  std::string t = "\x07Sentrova - Clean Up";
  EXPECT_TRUE(TakeAlwaysShowMark(t));
  EXPECT_EQ(t, "Sentrova - Clean Up");
  EXPECT_FALSE(TakeAlwaysShowMark(t));
  std::string u = "Sentrova\x07";
  EXPECT_FALSE(TakeAlwaysShowMark(u));
  EXPECT_EQ(u, "Sentrova\x07");
  std::string e;
  EXPECT_FALSE(TakeAlwaysShowMark(e));
}

TEST(PictureNameSplit, ModuleBeforeTheFirstColonResourceAfterIt) {
  PictureName p = SplitPictureName("ASKRESTORE");
  EXPECT_TRUE(p.ownModule);
  EXPECT_EQ(p.module, "");
  EXPECT_EQ(p.resource, "ASKRESTORE");
  p = SplitPictureName("sentrova.exe:ASKCLOSEIE");
  EXPECT_FALSE(p.ownModule);
  EXPECT_EQ(p.module, "sentrova.exe");
  EXPECT_EQ(p.resource, "ASKCLOSEIE");
  p = SplitPictureName("a:b:c");
  EXPECT_EQ(p.module, "a");
  EXPECT_EQ(p.resource, "b:c");
  p = SplitPictureName(":X");  // a library without a name: none is found
  EXPECT_FALSE(p.ownModule);
  EXPECT_EQ(p.module, "");
  EXPECT_EQ(p.resource, "X");
}

TEST(KeyGuard, KeysDoNothingWithinTheFirstSecond) {
  EXPECT_TRUE(InKeyGuard(0));
  EXPECT_TRUE(InKeyGuard(1000));
  EXPECT_FALSE(InKeyGuard(1001));
}

TEST(MessageHeight, CountsWrappedLinesCarriageReturnsAndTwoSpare) {
  EXPECT_EQ(MessageHeight(0, 0, 13), 26);
  EXPECT_EQ(MessageHeight(469, 0, 13), 26);
  EXPECT_EQ(MessageHeight(470, 0, 13), 39);
  EXPECT_EQ(MessageHeight(1000, 0, 13), 52);  // 1000 / 470 = 2
  EXPECT_EQ(MessageHeight(1000, 4, 13), 104);
  EXPECT_EQ(MessageHeight(-5, -1, 13), 26);  // nonsense measures count as none
}

TEST(MessageHeight, CarriageReturnsAreCountedOnePerCharacter) {
  EXPECT_EQ(CountCarriageReturns("one\r\n\r\ntwo"), 2);
  EXPECT_EQ(CountCarriageReturns("one\n\r\n\rtwo"), 2);  // LF CR pairs as some callers write
  EXPECT_EQ(CountCarriageReturns("one\n\ntwo"), 0);
  EXPECT_EQ(CountCarriageReturns(""), 0);
}

AskLayoutInput Banner() {
  AskLayoutInput in;
  in.picture = AskRect{0, 0, 460, 140};
  return in;
}

TEST(AskLayout, BannerPushesTheHeadingDown150Pixels) {
  const AskLayout with = ComputeAskLayout(Banner());
  ASSERT_TRUE(with.pictureFrame);
  EXPECT_EQ(*with.pictureFrame, (AskRect{29, 19, 462, 142}));
  EXPECT_EQ(with.heading, (AskRect{30, 170, 480, 32}));

  const AskLayout without = ComputeAskLayout(AskLayoutInput{});
  EXPECT_FALSE(without.pictureFrame);
  EXPECT_EQ(without.heading, (AskRect{30, 20, 480, 32}));
}

TEST(AskLayout, TheStepIsFixedWhateverTheBannerHeight) {
  AskLayoutInput in;
  in.picture = AskRect{0, 0, 100, 30};
  const AskLayout l = ComputeAskLayout(in);
  EXPECT_EQ(*l.pictureFrame, (AskRect{29, 19, 102, 32}));
  EXPECT_EQ(l.heading.top, 170);
}

TEST(AskLayout, NoMessageNoCheckboxTwoButtons) {
  AskLayoutInput in;
  in.checkbox = false;
  const AskLayout l = ComputeAskLayout(in);
  EXPECT_FALSE(l.message);
  EXPECT_FALSE(l.checkbox);
  EXPECT_FALSE(l.third);
  // 20 + 32 + 20
  EXPECT_EQ(l.yes, (AskRect{250, 72, 120, 22}));
  EXPECT_EQ(l.no, (AskRect{380, 72, 120, 22}));
  EXPECT_EQ(l.windowWidth, 530);
  EXPECT_EQ(l.windowHeight, 72 + 22 + 50);
}

TEST(AskLayout, MessageWithCarriageReturnsAndCheckboxSharingTheButtonLine) {
  AskLayoutInput in = Banner();
  in.hasMessage = true;
  in.messageTextWidth = 1200;  // two whole label widths
  in.messageTextHeight = 13;
  in.messageCarriageReturns = 2;
  const AskLayout l = ComputeAskLayout(in);
  ASSERT_TRUE(l.message);
  // (2 + 2 + 2) lines of 13 pixels below the heading at 170.
  EXPECT_EQ(*l.message, (AskRect{30, 202, 470, 78}));
  const int line = 202 + 78 + 20;
  ASSERT_TRUE(l.checkbox);
  EXPECT_EQ(*l.checkbox, (AskRect{30, line, 210, 20}));
  EXPECT_EQ(l.yes, (AskRect{250, line, 120, 22}));
  EXPECT_EQ(l.no, (AskRect{380, line, 120, 22}));
  EXPECT_EQ(l.windowHeight, line + 22 + 50);
}

TEST(AskLayout, ThirdButtonMovesTheButtonsLeftAndBelowTheCheckbox) {
  AskLayoutInput in;
  in.thirdButton = true;
  const AskLayout l = ComputeAskLayout(in);
  ASSERT_TRUE(l.checkbox);
  EXPECT_EQ(l.checkbox->top, 72);
  EXPECT_EQ(l.yes, (AskRect{120, 95, 120, 22}));
  EXPECT_EQ(l.no, (AskRect{250, 95, 120, 22}));
  ASSERT_TRUE(l.third);
  EXPECT_EQ(*l.third, (AskRect{380, 95, 120, 22}));
  EXPECT_EQ(l.windowHeight, 95 + 22 + 50);
}

TEST(AskLayout, ThirdButtonWithoutCheckboxSharesTheLine) {
  AskLayoutInput in = Banner();
  in.thirdButton = true;
  in.checkbox = false;
  const AskLayout l = ComputeAskLayout(in);
  EXPECT_EQ(l.yes.top, 170 + 32 + 20);
  EXPECT_EQ(l.third->top, l.yes.top);
  EXPECT_EQ(l.yes.left, 120);
}

// At 120 dpi every figure is 5/4 of its 96-dpi size, and the check box is
// never narrower than its caption (fonts do not grow exactly by 5/4).
TEST(AskLayout, ScalesWithTheScreensResolution) {
  AskLayoutInput in;
  in.dpi = 120;
  in.checkboxTextWidth = 200;
  const AskLayout l = ComputeAskLayout(in);
  EXPECT_EQ(l.heading, (AskRect{38, 25, 599, 40}));
  EXPECT_EQ(l.checkbox, (AskRect{38, 90, 263, 25}));
  EXPECT_EQ(l.no, (AskRect{475, 90, 150, 28}));
  EXPECT_EQ(l.windowWidth, 662);
  in.checkboxTextWidth = 243;
  EXPECT_EQ(ComputeAskLayout(in).checkbox->width, 243 + 23);
}

}  // namespace
}  // namespace sentrova
