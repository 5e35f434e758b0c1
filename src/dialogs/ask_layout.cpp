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

int ScaleForDpi(int pixels, int dpi) {
  if (dpi <= 0 || dpi == 96) return pixels;
  const long long scaled = static_cast<long long>(pixels) * dpi;
  return static_cast<int>((scaled + (scaled >= 0 ? 48 : -48)) / 96);
}

int MessageHeight(int textWidth, int carriageReturns, int textHeight, int messageWidth) {
  const int lines =
      std::max(textWidth, 0) / std::max(messageWidth, 1) + std::max(carriageReturns, 0) + 2;
  return lines * std::max(textHeight, 0);
}

AskLayout ComputeAskLayout(const AskLayoutInput& in) {
  const auto px = [&](int pixels) { return ScaleForDpi(pixels, in.dpi); };
  const int width = px(kAskWidth), margin = px(kAskMargin);
  AskLayout out;
  int y = px(kAskFirstTop);
  if (in.picture) {
    // The picture keeps its own size; the step below it scales with the rest.
    out.pictureFrame = AskRect{margin - 1, y - 1, in.picture->width + 2, in.picture->height + 2};
    y += px(kBannerStep);
  }
  out.heading = AskRect{margin, y, width - 2 * margin, px(kHeadingHeight)};
  y += px(kHeadingHeight);
  if (in.hasMessage) {
    const int messageWidth = px(kMessageWidth);
    const int h = MessageHeight(in.messageTextWidth, in.messageCarriageReturns,
                                in.messageTextHeight, messageWidth);
    out.message = AskRect{margin, y, messageWidth, h};
    y += h;
  }
  y += px(20);
  if (in.checkbox) {
    // Never narrower than its caption: fonts do not grow exactly with the
    // resolution (8 points at 120 dpi are 27% wider than at 96).
    const int boxWidth =
        std::max(px(kCheckboxWidth), in.checkboxTextWidth + px(kCheckboxBoxRoom));
    out.checkbox = AskRect{margin, y, boxWidth, px(kCheckboxHeight)};
    if (in.thirdButton) y += px(kCheckboxToButtons);
  }
  const int yesLeft = width - px(in.thirdButton ? 420 : 290);
  const int noLeft = width - px(in.thirdButton ? 290 : 160);
  const int buttonWidth = px(kButtonWidth), buttonHeight = px(kButtonHeight);
  out.yes = AskRect{yesLeft, y, buttonWidth, buttonHeight};
  out.no = AskRect{noLeft, y, buttonWidth, buttonHeight};
  if (in.thirdButton) out.third = AskRect{width - px(160), y, buttonWidth, buttonHeight};
  out.windowWidth = width - px(10);
  out.windowHeight = out.yes.bottom() + px(kBelowButtons);
  return out;
}

}  // namespace sentrova
