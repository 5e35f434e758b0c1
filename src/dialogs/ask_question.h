// The system's one yes/no question: a small window built in code with an
// optional banner, a bold heading, a word-wrapped message, an optional check
// box, "Yes" and "No" and an optional third button. It runs its own message
// loop in the calling thread (any thread; dialogs nest) and returns true for
// "Yes".
//
// Nothing is shown, and the answer is false, while the toolbar host's
// AFA_DONE flag (HKLM\Software\Quillbox\AFA_DONE) is 0 or absent, unless the
// title starts with the character of code 7. Option codes in front of the
// heading (see ask_layout.h) choose the default button, hide the check box,
// pin the window or make it an information with one "OK" button.
#pragma once

#include <functional>
#include <string_view>

namespace sentrova {

class TControl;

// The third button's action; it gets the pressed button. The dialog stays
// open while it runs and after it returns.
using AskAction = std::function<void(TControl& pressedButton)>;

// title: the caption (already translated by the caller).
// heading: option codes, then the bold first line.
// message: the body; may be empty; line breaks as CR LF or LF CR pairs.
// helpAddress: when not empty, the caption bar gets a help button that opens
//   the address in a new browser window.
// pictureName: "module:resource" or "resource" (a JPEG of type 23); empty
//   for none. A picture that cannot be drawn is left out.
// checkboxFlag: the check box's initial state; its final state is written
//   back when the dialog has a check box.
// checkboxCaption: empty for "Please do not show me this dialog again.".
// thirdCaption, thirdAction: the third button, shown when both are given.
bool AskQuestion(std::string_view title, std::string_view heading, std::string_view message,
                 std::string_view helpAddress, std::string_view pictureName, bool& checkboxFlag,
                 std::string_view checkboxCaption = {}, std::string_view thirdCaption = {},
                 const AskAction& thirdAction = {});

// AskQuestion with the default check-box caption and no third button.
bool AskQuestionSimple(std::string_view title, std::string_view heading, std::string_view message,
                       std::string_view helpAddress, std::string_view pictureName,
                       bool& checkboxFlag);

// Name of the desktop window's property that holds the last question window.
inline constexpr char kLastQuestionWindowProperty[] = "LIBASK4_LAST_WIN";

}  // namespace sentrova
