// The question dialog's platform-free rules: the option codes carried at the
// start of a heading, the title's always-show mark, the keyboard guard and
// the layout arithmetic. The window code in ask_question.cpp measures texts
// and places controls by these numbers.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace sentrova {

// Option codes: characters below 32 in front of the heading.
enum QuestionOptionCode : unsigned char {
  kOptionYesDefault = 1,
  kOptionNoDefault = 2,
  kOptionNoCheckbox = 3,
  kOptionPinned = 4,
  kOptionInfoOnly = 5,
};
// A title starting with this character is shown without it, whatever the
// host's AFA_DONE flag says.
constexpr char kAlwaysShowMark = 7;

struct QuestionOptions {
  bool yesDefault = true;  // false only with code 2 and without code 1
  bool checkbox = true;    // code 3 hides it
  bool pinned = false;     // code 4: the window cannot be moved
  bool infoOnly = false;   // code 5: "Yes" hidden, "No" captioned "OK"
};

// Reads the codes in front of `heading` up to its first character of code 32
// or more; `rest` gets the heading without them, trimmed of blanks and
// control characters at both ends. Unknown codes are dropped.
QuestionOptions ReadQuestionOptions(std::string_view heading, std::string& rest);

// Removes the always-show mark from the start of `title`; true when it was there.
bool TakeAlwaysShowMark(std::string& title);

// A picture name is "module:resource" or just "resource" (then the program's
// own module holds it). The module is the part before the first colon.
struct PictureName {
  bool ownModule = true;  // no colon: the program's own module
  std::string module;     // the library file otherwise (may be empty, which no load finds)
  std::string resource;
};
PictureName SplitPictureName(std::string_view name);

// The number of CR characters in a message: each adds a line to its height.
int CountCarriageReturns(std::string_view message);

// Within the first second after the dialog is shown no key reaches it, so
// that a key meant for another window does not answer a question that popped
// up under it (nor does a key held down since then, once the second is over).
constexpr unsigned kKeyGuardMs = 1000;
constexpr bool InKeyGuard(unsigned long long msSinceShown) { return msSinceShown <= kKeyGuardMs; }

struct AskRect {
  int left = 0, top = 0, width = 0, height = 0;
  int right() const { return left + width; }
  int bottom() const { return top + height; }
  bool operator==(const AskRect&) const = default;
};

// Layout constants, in pixels at the screen's standard 96 dots per inch; at
// another resolution every figure scales with the fonts (120 dpi: by 5/4).
constexpr int kAskWidth = 540;       // W
constexpr int kAskMargin = 30;       // L
constexpr int kAskFirstTop = 20;     // Y at the start
constexpr int kBannerStep = 150;     // whatever the banner's height
constexpr int kHeadingHeight = 32;
constexpr int kMessageWidth = kAskWidth - 2 * kAskMargin - 10;  // 470
constexpr int kCheckboxWidth = 210;
constexpr int kCheckboxBoxRoom = 18;  // the box and the gap before the caption
constexpr int kCheckboxHeight = 20;
constexpr int kCheckboxToButtons = 23;
constexpr int kButtonWidth = 120;
constexpr int kButtonHeight = 22;
constexpr int kBelowButtons = 50;

struct AskLayoutInput {
  std::optional<AskRect> picture;  // only width and height are used
  bool hasMessage = false;
  int messageTextWidth = 0;  // the whole message as one line, in the window's font
  int messageTextHeight = 0;
  int messageCarriageReturns = 0;
  bool checkbox = true;
  int checkboxTextWidth = 0;  // the caption as one line, in the window's font
  bool thirdButton = false;
  int dpi = 96;  // the screen's resolution, which the fonts follow
};

struct AskLayout {
  std::optional<AskRect> pictureFrame;  // the picture plus a 1-pixel frame
  AskRect heading;
  std::optional<AskRect> message;
  std::optional<AskRect> checkbox;
  AskRect yes, no;
  std::optional<AskRect> third;
  int windowWidth = 0, windowHeight = 0;
};

// A 96-dpi figure at `dpi`, rounded to the nearest pixel.
int ScaleForDpi(int pixels, int dpi);

// (text width / message width, whole-number division, + CR count + 2) lines.
int MessageHeight(int textWidth, int carriageReturns, int textHeight,
                  int messageWidth = kMessageWidth);

AskLayout ComputeAskLayout(const AskLayoutInput& input);

}  // namespace sentrova
