#include "dialogs/ask_layout.h"

#include <algorithm>

#include "platform/text.h"

namespace sentrova {

QuestionOptions ReadQuestionOptions(std::string_view heading, std::string& rest) {
  bool yes = false, no = false;
  QuestionOptions options;
  size_t i = 0;
  for (; i < heading.size() && static_cast<unsigned char>(heading[i]) < 32; ++i) {
    switch (static_cast<unsigned char>(heading[i])) {
      case kOptionYesDefault: yes = true; break;
      case kOptionNoDefault: no = true; break;
      case kOptionNoCheckbox: options.checkbox = false; break;
      case kOptionPinned: options.pinned = true; break;
      case kOptionInfoOnly: options.infoOnly = true; break;
      default: break;
    }
  }
  options.yesDefault = yes || !no;
  rest = Trim(heading.substr(i));
  return options;
}

bool TakeAlwaysShowMark(std::string& title) {
  if (title.empty() || title.front() != kAlwaysShowMark) return false;
  title.erase(0, 1);
  return true;
}

PictureName SplitPictureName(std::string_view name) {
  const size_t colon = name.find(':');
  if (colon == std::string_view::npos) return {true, std::string(), std::string(name)};
  return {false, std::string(name.substr(0, colon)), std::string(name.substr(colon + 1))};
}

int CountCarriageReturns(std::string_view message) {
  return static_cast<int>(std::count(message.begin(), message.end(), '\r'));
}

AskKeyAction KeyAction(unsigned virtualKey, unsigned long long msSinceShown, bool infoOnly) {
  constexpr unsigned kReturn = 0x0D, kEscape = 0x1B;
  if (virtualKey != kReturn && virtualKey != kEscape) return AskKeyAction::kNone;
  if (msSinceShown <= kKeyGuardMs) return AskKeyAction::kNone;
  if (virtualKey == kEscape || infoOnly) return AskKeyAction::kNo;
  return AskKeyAction::kYes;
}

int MessageHeight(int textWidth, int carriageReturns, int textHeight) {
  const int lines = std::max(textWidth, 0) / kMessageWidth + std::max(carriageReturns, 0) + 2;
  return lines * std::max(textHeight, 0);
}

AskLayout ComputeAskLayout(const AskLayoutInput& in) {
  AskLayout out;
  int y = kAskFirstTop;
  if (in.picture) {
    out.pictureFrame =
        AskRect{kAskMargin - 1, y - 1, in.picture->width + 2, in.picture->height + 2};
    y += kBannerStep;
  }
  out.heading = AskRect{kAskMargin, y, kAskWidth - 2 * kAskMargin, kHeadingHeight};
  y += kHeadingHeight;
  if (in.hasMessage) {
    const int h =
        MessageHeight(in.messageTextWidth, in.messageCarriageReturns, in.messageTextHeight);
    out.message = AskRect{kAskMargin, y, kMessageWidth, h};
    y += h;
  }
  y += 20;
  if (in.checkbox) {
    out.checkbox = AskRect{kAskMargin, y, kCheckboxWidth, kCheckboxHeight};
    if (in.thirdButton) y += kCheckboxToButtons;
  }
  const int yesLeft = in.thirdButton ? kAskWidth - 420 : kAskWidth - 290;
  const int noLeft = in.thirdButton ? kAskWidth - 290 : kAskWidth - 160;
  out.yes = AskRect{yesLeft, y, kButtonWidth, kButtonHeight};
  out.no = AskRect{noLeft, y, kButtonWidth, kButtonHeight};
  if (in.thirdButton) out.third = AskRect{kAskWidth - 160, y, kButtonWidth, kButtonHeight};
  out.windowWidth = kAskWidth - 10;
  out.windowHeight = out.yes.bottom() + kBelowButtons;
  return out;
}

}  // namespace sentrova
