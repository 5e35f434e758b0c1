// ctest: serial
// The question dialog's real windows, driven from a second thread while the
// test's own thread waits in AskQuestion. Serial: the host's AFA_DONE value
// (HKLM\Software\Quillbox) and, for the help button, the browser's class
// registration are fixed locations.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "branding/translate.h"
#include "dialogs/ask_layout.h"
#include "dialogs/ask_question.h"
#include "platform/com.h"
#include "platform/registry.h"
#include "support/win_support.h"
#include "toolkit/control.h"
#include "toolkit/message_loop.h"

namespace sentrova {
namespace {

constexpr DWORD kWaitMs = 20000;

// ---- looking at the windows -------------------------------------------------

std::string TextOf(HWND window) {
  char buffer[1024] = {};
  ::GetWindowTextA(window, buffer, sizeof buffer);
  return buffer;
}

std::string ClassOf(HWND window) {
  char buffer[256] = {};
  ::GetClassNameA(window, buffer, sizeof buffer);
  return buffer;
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> all;
  ::EnumChildWindows(
      parent,
      [](HWND child, LPARAM list) CALLBACK -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&all));
  return all;
}

// The child whose text, without its mnemonic's "&", is `text` (and whose
// class contains `classPart`).
HWND Child(HWND parent, const std::string& text, const std::string& classPart = "") {
  for (HWND child : Children(parent)) {
    std::string plain = TextOf(child);
    std::erase(plain, '&');
    if (plain == text && ClassOf(child).find(classPart) != std::string::npos) return child;
  }
  return nullptr;
}

HWND CheckboxOf(HWND dialog) {
  for (HWND child : Children(dialog)) {
    const LONG_PTR type = ::GetWindowLongPtrA(child, GWL_STYLE) & BS_TYPEMASK;
    if (ClassOf(child) == "obj_BUTTON" && type == BS_AUTOCHECKBOX) return child;
  }
  return nullptr;
}

// A child's rectangle in its parent's client coordinates.
RECT Placement(HWND child) {
  RECT r;
  ::GetWindowRect(child, &r);
  ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

HWND WaitForDialog(const std::string& caption) {
  HWND found = nullptr;
  test::WaitFor(
      [&] {
        found = ::FindWindowA(nullptr, caption.c_str());
        return found && ::IsWindowVisible(found);
      },
      kWaitMs);
  return found && ::IsWindowVisible(found) ? found : nullptr;
}

HWND FocusOf(DWORD thread) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  return ::GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

// The focus is set on the dialog's thread, and activation may move it for a
// moment: wait for it to settle on `expected`.
bool FocusSettlesOn(DWORD thread, HWND expected) {
  return test::WaitFor([&] { return FocusOf(thread) == expected; }, 5000);
}

void Click(HWND button) { ::SendMessageA(button, BM_CLICK, 0, 0); }

// ---- the fixture ----------------------------------------------------------------

// Runs `drive` on a second thread while this thread asks; whatever the driver
// leaves open is closed at the end, so that a failing check cannot hang the
// test.
class AskQuestionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::HostFlag::Set(1);
    testThread_ = ::GetCurrentThreadId();
  }

  template <class Ask>
  bool AskDriven(const std::string& caption, std::function<void(HWND)> drive, Ask ask) {
    std::thread driver([&] {
      HWND dialog = WaitForDialog(caption);
      EXPECT_NE(dialog, nullptr) << "no window captioned " << caption;
      if (dialog) drive(dialog);
      // Leave nothing waiting: close what is still open.
      if (HWND still = ::FindWindowA(nullptr, caption.c_str()))
        ::PostMessageA(still, WM_CLOSE, 0, 0);
    });
    const bool answer = ask();
    driver.join();
    return answer;
  }

  // A plain question with a check box, no banner.
  bool Plain(const std::string& caption, std::function<void(HWND)> drive, bool& flag,
             const std::string& heading = "Close all running Internet Explorer windows?") {
    return AskDriven(caption, std::move(drive), [&] {
      return AskQuestionSimple(caption, heading, "Close them now?", "", "", flag);
    });
  }

  ComApartment apartment_{COINIT_APARTMENTTHREADED};
  test::HostFlag hostFlag_;
  DWORD testThread_ = 0;
};

// Puts a known value into the desktop's last-question property and back.
class LastWindowProperty {
 public:
  LastWindowProperty() : saved_(::GetPropA(::GetDesktopWindow(), kLastQuestionWindowProperty)) {
    ::SetPropA(::GetDesktopWindow(), kLastQuestionWindowProperty, kMarker);
  }
  ~LastWindowProperty() { ::SetPropA(::GetDesktopWindow(), kLastQuestionWindowProperty, saved_); }
  static HANDLE Current() { return ::GetPropA(::GetDesktopWindow(), kLastQuestionWindowProperty); }
  static inline HANDLE const kMarker = reinterpret_cast<HANDLE>(0x5E17);

 private:
  HANDLE saved_;
};

// ---- when nothing is shown ------------------------------------------------------

TEST_F(AskQuestionTest, WithoutTheHostFlagNothingIsShownUnlessTheTitleSaysSo) {
  LastWindowProperty property;
  for (bool absent : {true, false}) {
    if (absent)
      test::HostFlag::Remove();
    else
      test::HostFlag::Set(0);
    bool flag = true;
    // A shown dialog would wait for an answer that nobody gives; returning
    // at all, with the property untouched, means no window was made.
    EXPECT_FALSE(AskQuestionSimple("Sentrova - Clean Up", "Close?", "", "", "", flag));
    EXPECT_EQ(LastWindowProperty::Current(), LastWindowProperty::kMarker);
    EXPECT_TRUE(flag);
  }

  // The mark of code 7 shows it anyway, without the mark in the caption.
  bool flag = false;
  const bool answer = AskDriven(
      "Sentrova - Forced",
      [&](HWND dialog) {
        EXPECT_EQ(TextOf(dialog), "Sentrova - Forced");
        Click(Child(dialog, "Yes"));
      },
      [&] { return AskQuestionSimple("\x07Sentrova - Forced", "Close?", "", "", "", flag); });
  EXPECT_TRUE(answer);
}

TEST_F(AskQuestionTest, AHeadingOfCodesAndBlanksOnlyShowsNothing) {
  LastWindowProperty property;
  bool flag = true;
  EXPECT_FALSE(AskQuestionSimple("Sentrova - Empty", "\x01\x03  \t \r\n", "Message", "", "", flag));
  EXPECT_FALSE(AskQuestionSimple("\x07Sentrova - Empty", "\x05", "Message", "", "", flag));
  EXPECT_EQ(LastWindowProperty::Current(), LastWindowProperty::kMarker);
  EXPECT_TRUE(flag);
}

// ---- answers ------------------------------------------------------------------------

TEST_F(AskQuestionTest, YesAnswersTrueAndTheCheckboxStateComesBack) {
  LastWindowProperty property;
  bool flag = true;
  const bool answer = Plain(
      "Sentrova - Yes",
      [&](HWND dialog) {
        EXPECT_EQ(LastWindowProperty::Current(), static_cast<HANDLE>(dialog));
        HWND box = CheckboxOf(dialog);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(TextOf(box), TranslateText("Please do not show me this dialog again."));
        EXPECT_EQ(::SendMessageA(box, BM_GETCHECK, 0, 0), BST_CHECKED);  // from the flag
        Click(box);                                                        // now clear
        Click(Child(dialog, "Yes"));
      },
      flag);
  EXPECT_TRUE(answer);
  EXPECT_FALSE(flag);
  EXPECT_EQ(::FindWindowA(nullptr, "Sentrova - Yes"), nullptr);  // destroyed
}

TEST_F(AskQuestionTest, TheCloseBoxAnswersNoAndStillReportsTheCheckbox) {
  bool flag = false;
  const bool answer = Plain(
      "Sentrova - Close box",
      [&](HWND dialog) {
        Click(CheckboxOf(dialog));
        ::SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
      },
      flag);
  EXPECT_FALSE(answer);
  EXPECT_TRUE(flag);
}

// Keys as the user types them: posted to the focused control and taken by
// the dialog's own message loop, which gives them keyboard navigation.
void Post(HWND control, WPARAM key) {
  ::PostMessageA(control, WM_KEYDOWN, key, 1);
  ::PostMessageA(control, WM_KEYUP, key, 0xC0000001);
}

// Waits until the dialog's thread has taken every message posted to
// `control` so far: a highlight posted behind them shows up, and goes.
bool PostedKeysTaken(HWND control) {
  ::PostMessageA(control, BM_SETSTATE, TRUE, 0);
  const bool taken = test::WaitFor(
      [&] { return (::SendMessageA(control, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0; }, kWaitMs);
  ::SendMessageA(control, BM_SETSTATE, FALSE, 0);
  return taken;
}

TEST_F(AskQuestionTest, KeysReachTheCheckboxButNoneCountsInTheFirstSecond) {
  bool checked = false;
  for (int attempt = 0; attempt < 3 && !checked; ++attempt) {
    bool inGuard = false, flag = false;
    const ULONGLONG asked = ::GetTickCount64();  // the dialog is shown later
    const bool answer = Plain(
        "Sentrova - Keys",
        [&](HWND dialog) {
          HWND yes = Child(dialog, "Yes"), no = Child(dialog, "No"), box = CheckboxOf(dialog);
          ASSERT_TRUE(FocusSettlesOn(testThread_, yes));
          // Space would press the focused "Yes"; Enter, Tab and arrows are dropped too.
          for (WPARAM key : {VK_SPACE, VK_RETURN, VK_TAB, VK_RIGHT}) Post(yes, key);
          ASSERT_TRUE(PostedKeysTaken(yes));
          inGuard = ::GetTickCount64() - asked < kKeyGuardMs;
          EXPECT_TRUE(::IsWindowVisible(dialog));
          EXPECT_EQ(FocusOf(testThread_), yes);
          ::Sleep(1200);
          // Then they move the focus (arrows among the buttons) and tick the box.
          for (auto [key, focus] : {std::pair{VK_RIGHT, no}, {VK_RIGHT, yes}, {VK_TAB, no},
                                    {VK_TAB, box}, {VK_SPACE, box}, {VK_DOWN, box}}) {
            Post(FocusOf(testThread_), key);
            EXPECT_TRUE(FocusSettlesOn(testThread_, focus)) << "key " << key;
          }
          EXPECT_TRUE(test::WaitFor(
              [&] { return ::SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }, kWaitMs));
          Post(box, VK_RETURN);  // Enter on the check box answers "Yes"
        },
        flag);
    if (!inGuard) continue;
    checked = true;
    EXPECT_TRUE(answer);
    EXPECT_TRUE(flag) << "the check box was ticked from the keyboard";
  }
  EXPECT_TRUE(checked) << "the early keys were never taken within the first second";
}

bool IsDefaultLook(HWND button) {
  return (::GetWindowLongPtrA(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
}

// Waits out the keyboard guard of a dialog that has just appeared.
void PastTheGuard() { ::Sleep(kKeyGuardMs + 200); }

// Moves the focus as the dialog itself would (WM_NEXTDLGCTL to the form).
bool FocusOn(HWND dialog, HWND control, DWORD thread) {
  ::PostMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
  return FocusSettlesOn(thread, control);
}

// Where the focus is, the heading's codes and a key, against what the key
// presses: Enter presses the focused button, with the focus on the check box
// the default button; Escape is "No". The default look goes with the focus.
TEST_F(AskQuestionTest, EnterPressesTheFocusedButtonAndEscapeIsNo) {
  struct Row {
    const char* heading;
    const char* focus;  // a button's caption, or "box"
    WPARAM key;
    const char* presses;
  };
  const Row rows[] = {
      {"\x01" "Code 1", "Yes", VK_RETURN, "Yes"},
      {"\x01" "Code 1", "No", VK_RETURN, "No"},
      {"\x01" "Code 1", "Details...", VK_RETURN, "Details..."},
      {"\x01" "Code 1", "box", VK_RETURN, "Yes"},
      {"\x01" "Code 1", "Yes", VK_ESCAPE, "No"},
      {"\x02" "Code 2", "box", VK_RETURN, "No"},
      {"\x02" "Code 2", "Yes", VK_RETURN, "Yes"},
      {"\x02" "Code 2", "Details...", VK_ESCAPE, "No"},
      {"\x02" "Code 2", "box", VK_ESCAPE, "No"},
      {"\x03" "Code 3", "Yes", VK_RETURN, "Yes"},
      {"\x03" "Code 3", "No", VK_RETURN, "No"},
      {"\x03\x02" "Codes 3 and 2", "Details...", VK_RETURN, "Details..."},
      {"\x04" "Code 4", "No", VK_RETURN, "No"},
      {"\x04" "Code 4", "box", VK_RETURN, "Yes"},
      {"\x04" "Code 4", "Details...", VK_ESCAPE, "No"},
  };
  for (const Row& row : rows) {
    const std::string what = std::string(row.heading + (row.heading[1] < 32 ? 2 : 1)) + ", focus " +
                             row.focus + ", " + (row.key == VK_RETURN ? "Enter" : "Escape");
    std::atomic<int> details{0};
    bool flag = false;
    const bool answer = AskDriven(
        "Sentrova - Keys Table",
        [&](HWND dialog) {
          const bool yesDefault = row.heading[0] != 2;
          HWND yes = Child(dialog, "Yes"), no = Child(dialog, "No");
          HWND third = Child(dialog, "Details...");
          HWND focus = std::string(row.focus) == "box" ? CheckboxOf(dialog)
                                                       : Child(dialog, row.focus);
          ASSERT_NE(focus, nullptr) << what;
          PastTheGuard();
          ASSERT_TRUE(FocusOn(dialog, focus, testThread_)) << what;
          const bool onButton = focus != CheckboxOf(dialog);
          HWND looks = onButton ? focus : (yesDefault ? yes : no);
          EXPECT_TRUE(test::WaitFor(
              [&] {
                for (HWND button : {yes, no, third})
                  if (IsDefaultLook(button) != (button == looks)) return false;
                return true;
              },
              kWaitMs))
              << what << ": the default look is not where the focus is";
          Post(focus, row.key);
          if (std::string(row.presses) == "Details...") {
            EXPECT_TRUE(test::WaitFor([&] { return details.load() == 1; }, kWaitMs)) << what;
            EXPECT_TRUE(::IsWindowVisible(dialog)) << what << ": the dialog stays";
          } else {
            EXPECT_TRUE(test::WaitFor([&] { return !::IsWindow(dialog); }, kWaitMs))
                << what << ": the key answered nothing";
          }
        },
        [&] {
          return AskQuestion("Sentrova - Keys Table", row.heading, "Close them now?", "", "",
                             flag, "", "Details...", [&](TControl&) { ++details; });
        });
    EXPECT_EQ(answer, std::string(row.presses) == "Yes") << what;
    EXPECT_EQ(details.load(), std::string(row.presses) == "Details..." ? 1 : 0) << what;
  }
}

// Enter held down from within the first second repeats without effect when
// the second is over, and Alt+Enter answers nothing; a new press answers.
TEST_F(AskQuestionTest, AnEnterHeldSinceTheGuardAndAltEnterAnswerNothing) {
  bool checked = false;
  for (int attempt = 0; attempt < 3 && !checked; ++attempt) {
    bool inGuard = false, flag = false;
    const ULONGLONG asked = ::GetTickCount64();
    const bool answer = Plain(
        "Sentrova - Held",
        [&](HWND dialog) {
          HWND yes = Child(dialog, "Yes");
          ASSERT_TRUE(FocusSettlesOn(testThread_, yes));
          ::PostMessageA(yes, WM_KEYDOWN, VK_RETURN, 1);
          ASSERT_TRUE(PostedKeysTaken(yes));
          inGuard = ::GetTickCount64() - asked < kKeyGuardMs;
          PastTheGuard();
          for (int i = 0; i < 3; ++i) ::PostMessageA(yes, WM_KEYDOWN, VK_RETURN, 0x40000001);
          ::PostMessageA(yes, WM_SYSKEYDOWN, VK_RETURN, 0x20000001);  // Alt+Enter
          ::PostMessageA(yes, WM_SYSKEYUP, VK_RETURN, 0xE0000001);
          ASSERT_TRUE(PostedKeysTaken(yes));
          EXPECT_TRUE(::IsWindowVisible(dialog));
          ::PostMessageA(yes, WM_KEYUP, VK_RETURN, 0xC0000001);
          Post(yes, VK_RETURN);
          EXPECT_TRUE(test::WaitFor([&] { return !::IsWindow(dialog); }, kWaitMs));
        },
        flag);
    if (!inGuard) continue;
    checked = true;
    EXPECT_TRUE(answer);
  }
  EXPECT_TRUE(checked) << "the early key was never taken within the first second";
}

TEST_F(AskQuestionTest, YesAndNoCarryAltMnemonics) {
  bool flag = false;
  const bool answer = Plain(
      "Sentrova - Mnemonics",
      [&](HWND dialog) {
        EXPECT_EQ(TextOf(Child(dialog, "Yes")), "&Yes");
        EXPECT_EQ(TextOf(Child(dialog, "No")), "&No");
        PastTheGuard();
        ::PostMessageA(Child(dialog, "Yes"), WM_SYSCHAR, 'n', 0x20000001);
        EXPECT_TRUE(test::WaitFor([&] { return !::IsWindow(dialog); }, kWaitMs));
      },
      flag);
  EXPECT_FALSE(answer);
}

TEST_F(AskQuestionTest, InformationOnlyShowsJustOkWhichAnswersFalse) {
  for (bool byKey : {false, true}) {
    bool flag = true;
    const bool answer = Plain(
        "Sentrova - Info",
        [&](HWND dialog) {
          HWND yes = Child(dialog, "Yes");
          HWND ok = Child(dialog, "OK");
          ASSERT_NE(ok, nullptr);
          EXPECT_EQ(Child(dialog, "No"), nullptr);
          ASSERT_NE(yes, nullptr);
          EXPECT_FALSE(::IsWindowVisible(yes));
          EXPECT_TRUE(::IsWindowVisible(ok));
          EXPECT_TRUE(FocusSettlesOn(testThread_, ok));
          if (byKey) {
            PastTheGuard();
            Post(ok, VK_RETURN);  // Enter presses the one visible button
            EXPECT_TRUE(test::WaitFor([&] { return !::IsWindow(dialog); }, kWaitMs));
          } else {
            Click(ok);
          }
        },
        flag, "\x05\x03" "Clean up finished.");
    EXPECT_FALSE(answer) << (byKey ? "Enter" : "click");
    EXPECT_TRUE(flag);  // no check box: the flag is left alone
  }
}

TEST_F(AskQuestionTest, CodeTwoMakesNoTheDefaultButton) {
  for (const char* heading : {"Plain heading", "\x02No by default", "\x02\x01Yes after all"}) {
    const bool noDefault = std::string(heading).rfind("\x02No", 0) == 0;
    bool flag = false;
    Plain(
        "Sentrova - Default",
        [&](HWND dialog) {
          HWND yes = Child(dialog, "Yes");
          HWND no = Child(dialog, "No");
          HWND expected = noDefault ? no : yes;
          HWND other = noDefault ? yes : no;
          EXPECT_TRUE(FocusSettlesOn(testThread_, expected)) << heading;
          EXPECT_EQ(::GetWindowLongPtrA(expected, GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
          EXPECT_EQ(::GetWindowLongPtrA(other, GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
          Click(no);
        },
        flag, heading);
  }
}

TEST_F(AskQuestionTest, CodeFourPinsTheWindow) {
  for (bool pinned : {false, true}) {
    bool flag = false;
    RECT before{}, after{};
    Plain(
        "Sentrova - Pinned",
        [&](HWND dialog) {
          ::GetWindowRect(dialog, &before);
          ::SetWindowPos(dialog, nullptr, before.left - 40, before.top - 30, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
          ::GetWindowRect(dialog, &after);
          // A drag asks through WM_MOVING; a pinned window answers with
          // its own rectangle.
          RECT drag = {0, 0, 100, 100};
          ::SendMessageA(dialog, WM_MOVING, WMSZ_TOP, reinterpret_cast<LPARAM>(&drag));
          RECT now{};
          ::GetWindowRect(dialog, &now);
          if (pinned)
            EXPECT_TRUE(::EqualRect(&drag, &now));
          else
            EXPECT_EQ(drag.right, 100);
          Click(Child(dialog, "No"));
        },
        flag, pinned ? "\x04Pinned" : "Free");
    if (pinned) {
      EXPECT_EQ(after.left, before.left);
      EXPECT_EQ(after.top, before.top);
    } else {
      EXPECT_EQ(after.left, before.left - 40);
      EXPECT_EQ(after.top, before.top - 30);
    }
  }
}

// ---- the window and its layout ------------------------------------------------------

TEST_F(AskQuestionTest, WindowFrameSizeAndPlaceFollowTheLayout) {
  bool flag = false;
  const std::string message = "First line of the message.\r\n\r\nA second paragraph.";
  AskDriven(
      "Sentrova - Layout",
      [&](HWND dialog) {
        const LONG_PTR style = ::GetWindowLongPtrA(dialog, GWL_STYLE);
        const LONG_PTR exStyle = ::GetWindowLongPtrA(dialog, GWL_EXSTYLE);
        EXPECT_TRUE(style & WS_CAPTION);
        EXPECT_TRUE(style & WS_SYSMENU);
        EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
        EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
        EXPECT_FALSE(exStyle & WS_EX_CONTEXTHELP);  // no help address
        EXPECT_EQ(reinterpret_cast<HICON>(::SendMessageA(dialog, WM_GETICON, ICON_BIG, 0)),
                  ::LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_WARNING)));

        HWND heading = Child(dialog, "Close all running Internet Explorer windows?");
        ASSERT_NE(heading, nullptr);
        const RECT h = Placement(heading);
        EXPECT_EQ(h.left, 30);
        EXPECT_EQ(h.top, 20);  // no banner
        EXPECT_EQ(h.right - h.left, 480);
        EXPECT_EQ(h.bottom - h.top, 32);

        // The message's height: whole label widths of its text, its CR
        // characters and two spare lines, in the window's font (which the
        // label carries; a form of our own class does not answer WM_GETFONT).
        HWND body = Child(dialog, message);
        ASSERT_NE(body, nullptr);
        HDC dc = ::GetDC(dialog);
        HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageA(body, WM_GETFONT, 0, 0)));
        SIZE text{};
        ::GetTextExtentPoint32A(dc, message.c_str(), static_cast<int>(message.size()), &text);
        ::SelectObject(dc, old);
        ::ReleaseDC(dialog, dc);
        const RECT m = Placement(body);
        EXPECT_EQ(m.top, 52);
        EXPECT_EQ(m.right - m.left, 470);
        EXPECT_EQ(m.bottom - m.top, (text.cx / 470 + 2 + 2) * text.cy);

        const RECT box = Placement(CheckboxOf(dialog));
        const RECT yes = Placement(Child(dialog, "Yes"));
        const RECT no = Placement(Child(dialog, "No"));
        EXPECT_EQ(box.top, m.bottom + 20);
        EXPECT_EQ(box.left, 30);
        EXPECT_EQ(box.right - box.left, 210);
        EXPECT_EQ(yes.top, box.top);  // the check box's line
        EXPECT_EQ(yes.left, 250);
        EXPECT_EQ(no.left, 380);
        EXPECT_EQ(yes.right - yes.left, 120);

        RECT frame{};
        ::GetWindowRect(dialog, &frame);
        EXPECT_EQ(frame.right - frame.left, 530);
        EXPECT_EQ(frame.bottom - frame.top, yes.bottom + 50);
        EXPECT_EQ(frame.left, (::GetSystemMetrics(SM_CXSCREEN) - 530) / 2);
        EXPECT_EQ(frame.top, (::GetSystemMetrics(SM_CYSCREEN) - (yes.bottom + 50)) / 2);
        Click(Child(dialog, "No"));
      },
      [&] {
        return AskQuestionSimple("Sentrova - Layout",
                                 "Close all running Internet Explorer windows?", message, "", "",
                                 flag);
      });
}

TEST_F(AskQuestionTest, ABannerTakes150PixelsAndAMissingOneClosesUp) {
  struct Case {
    const char* picture;
    int headingTop;
  };
  const Case cases[] = {
      {"ASKCLOSEIE", 170},                // this program's own resource
      {"sentrova.exe:ASKRESTORE", 170},   // the product's, by module name
      {"NOSUCHBANNER", 20},               // missing resource
      {"NOTAPICTURE", 20},                // not a JPEG
      {"no_such_library.dll:ASKRESTORE", 20},
  };
  for (const Case& c : cases) {
    bool flag = false;
    AskDriven(
        "Sentrova - Banner",
        [&](HWND dialog) {
          HWND heading = Child(dialog, "Restore?");
          ASSERT_NE(heading, nullptr) << c.picture;
          EXPECT_EQ(Placement(heading).top, c.headingTop) << c.picture;
          // The picture, in a one-pixel frame at (29, 19).
          HWND frame = nullptr;
          for (HWND child : Children(dialog))
            if (::GetParent(child) == dialog && ClassOf(child) == "obj_STATIC" &&
                TextOf(child).empty())
              frame = child;
          if (c.headingTop == 170) {
            ASSERT_NE(frame, nullptr) << c.picture;
            const RECT f = Placement(frame);
            EXPECT_EQ(f.left, 29);
            EXPECT_EQ(f.top, 19);
            EXPECT_EQ(f.right - f.left, 462);
            EXPECT_EQ(f.bottom - f.top, 142);
          } else {
            EXPECT_EQ(frame, nullptr) << c.picture;
          }
          Click(Child(dialog, "No"));
        },
        [&] {
          return AskQuestion("Sentrova - Banner", "\x03Restore?", "", "", c.picture, flag);
        });
  }
}

// ---- the third button ---------------------------------------------------------------

TEST_F(AskQuestionTest, TheThirdButtonRunsItsActionAndTheDialogStays) {
  int runs = 0;
  std::string pressedCaption;
  bool flag = false;
  const bool answer = AskDriven(
      "Sentrova - Details",
      [&](HWND dialog) {
        HWND details = Child(dialog, "Details...");
        ASSERT_NE(details, nullptr);
        const RECT box = Placement(CheckboxOf(dialog));
        const RECT d = Placement(details);
        EXPECT_EQ(Placement(Child(dialog, "Yes")).left, 120);
        EXPECT_EQ(Placement(Child(dialog, "No")).left, 250);
        EXPECT_EQ(d.left, 380);
        EXPECT_EQ(d.top, box.top + 23);  // below the check box
        Click(details);
        Click(details);
        EXPECT_TRUE(::IsWindowVisible(dialog));
        Click(Child(dialog, "Yes"));
      },
      [&] {
        return AskQuestion("Sentrova - Details", "Restore?", "Message", "", "", flag, "Keep it",
                           "Details...", [&](TControl& pressed) {
                             ++runs;
                             pressedCaption = pressed.Caption();
                           });
      });
  EXPECT_EQ(runs, 2);
  EXPECT_EQ(pressedCaption, "Details...");
  EXPECT_TRUE(answer);
}

TEST_F(AskQuestionTest, AThirdCaptionWithoutActionShowsNoThirdButton) {
  bool flag = false;
  AskDriven(
      "Sentrova - No action",
      [&](HWND dialog) {
        EXPECT_EQ(Child(dialog, "Details..."), nullptr);
        EXPECT_EQ(Placement(Child(dialog, "Yes")).left, 250);
        Click(Child(dialog, "No"));
      },
      [&] {
        return AskQuestion("Sentrova - No action", "Restore?", "", "", "", flag, "", "Details...",
                           AskAction{});
      });
}

TEST_F(AskQuestionTest, TheActionCanAskANestedQuestion) {
  bool innerAnswer = false;
  bool flag = false;
  std::atomic<bool> innerSeen{false};
  const bool outer = AskDriven(
      "Sentrova - Outer",
      [&](HWND dialog) {
        // The click returns only when the action (and the inner question)
        // is over, so it is posted.
        ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(0, BN_CLICKED),
                       reinterpret_cast<LPARAM>(Child(dialog, "Details...")));
        HWND inner = WaitForDialog("Sentrova - Inner");
        ASSERT_NE(inner, nullptr);
        innerSeen = true;
        EXPECT_TRUE(::IsWindowVisible(dialog));
        Click(Child(inner, "Yes"));
        ASSERT_TRUE(test::WaitFor([] { return !::FindWindowA(nullptr, "Sentrova - Inner"); },
                                  kWaitMs));
        EXPECT_TRUE(::IsWindowVisible(dialog));
        Click(Child(dialog, "No"));
      },
      [&] {
        return AskQuestion("Sentrova - Outer", "\x03Outer?", "", "", "", flag, "", "Details...",
                           [&](TControl&) {
                             bool innerFlag = false;
                             innerAnswer = AskQuestionSimple("Sentrova - Inner", "\x03Inner?", "",
                                                             "", "", innerFlag);
                           });
      });
  EXPECT_TRUE(innerSeen);
  EXPECT_TRUE(innerAnswer);
  EXPECT_FALSE(outer);
}

// ---- the help button ------------------------------------------------------------------

TEST_F(AskQuestionTest, TheHelpButtonOpensTheAddressAndTheDialogStays) {
  const char* serverKey = "CLSID\\{0002DF01-0000-0000-C000-000000000046}\\LocalServer32";
  const char* logKey = "Software\\SentrovaTests\\IeDouble";
  const std::string original = ReadRegString(HKEY_CLASSES_ROOT, serverKey, "", "");
  WriteRegString(HKEY_CLASSES_ROOT, serverKey, "", true, "\"" + test::BinDir() + "ie_double.exe\"");
  DeleteRegKey(HKEY_CURRENT_USER, logKey);

  bool flag = false;
  AskDriven(
      "Sentrova - Help",
      [&](HWND dialog) {
        EXPECT_TRUE(::GetWindowLongPtrA(dialog, GWL_EXSTYLE) & WS_EX_CONTEXTHELP);
        ::SendMessageA(dialog, WM_SYSCOMMAND, SC_CONTEXTHELP, 0);
        EXPECT_TRUE(::IsWindowVisible(dialog));
        Click(Child(dialog, "No"));
      },
      [&] {
        return AskQuestion("Sentrova - Help", "Restore?", "", " http://help.example.test/ask ",
                           "", flag);
      });
  const bool navigated = test::WaitFor(
      [&] {
        return ReadRegString(HKEY_CURRENT_USER, logKey, "Log", "")
                   .find("Navigate2 http://help.example.test/ask ") != std::string::npos;
      },
      kWaitMs);
  test::WaitFor(
      [&] {
        return ReadRegString(HKEY_CURRENT_USER, logKey, "Log", "").find("Released") !=
               std::string::npos;
      },
      kWaitMs);
  WriteRegString(HKEY_CLASSES_ROOT, serverKey, "", true, original);
  DeleteRegKey(HKEY_CURRENT_USER, logKey);
  EXPECT_TRUE(navigated);
}

// Questions of a worker thread (the clean-up's, the scanner's) while the
// application window lives on this thread: the window never records them (it
// would hand the focus to another thread's window and keep a pointer that
// thread frees), and each gives back every object it made.
TEST_F(AskQuestionTest, QuestionsOnAWorkerThreadStayTheirsAndLeaveNothingBehind) {
  TControl app(ControlKind::App, nullptr, "Sentrova main");
  ASSERT_NE(app.Handle(), nullptr);
  const auto askOnWorker = [&](int questions) {
    std::atomic<DWORD> workerThread{0};
    std::thread worker([&] {
      ComApartment apartment(COINIT_APARTMENTTHREADED);
      workerThread = ::GetCurrentThreadId();
      for (int i = 0; i < questions; ++i) {
        bool flag = false;
        AskQuestionSimple("Sentrova - Worker", "Close all running Internet Explorer windows?",
                          "Close them now?", "", "", flag);
      }
    });
    for (int i = 0; i < questions; ++i) {
      // This thread serves the application window meanwhile.
      HWND dialog = nullptr;
      ASSERT_TRUE(test::WaitFor(
          [&] {
            ProcessMessages();
            dialog = ::FindWindowA(nullptr, "Sentrova - Worker");
            return dialog && ::IsWindowVisible(dialog);
          },
          kWaitMs));
      HWND yes = Child(dialog, "Yes");
      ASSERT_TRUE(test::WaitFor(
          [&] {
            ProcessMessages();
            return FocusOf(workerThread) == yes;
          },
          kWaitMs))
          << "the question was never active";
      EXPECT_EQ(app.FormOf(), nullptr) << "question " << i << " was recorded in the main window";
      Click(Child(dialog, "No"));
      ASSERT_TRUE(test::WaitFor(
          [&] {
            ProcessMessages();
            return !::IsWindow(dialog);
          },
          kWaitMs));
    }
    worker.join();
  };
  askOnWorker(3);  // what the first questions make once (classes, fonts) stays
  const test::GuiObjectCounts before = test::CountGuiObjects();
  askOnWorker(20);
  const test::GuiObjectCounts after = test::CountGuiObjects();
  std::printf("GDI objects %ld -> %ld, USER objects %ld -> %ld over 20 questions\n", before.gdi,
              after.gdi, before.user, after.user);
  EXPECT_EQ(after.gdi, before.gdi);
  EXPECT_EQ(after.user, before.user);
  EXPECT_GT(before.gdi, 0);
  EXPECT_GT(before.user, 0);
}

// At 120 dpi the fonts are a quarter larger, and the layout grows with
// them: the check box's caption fits its box. The screen's resolution is
// read at a program's start, so a second program shows the question.
TEST_F(AskQuestionTest, At120DpiTheLayoutGrowsWithTheFont) {
  constexpr char kDesktop[] = "Control Panel\\Desktop";
  const auto setDpi = [&](DWORD dpi) {
    if (dpi)
      ::RegSetKeyValueA(HKEY_CURRENT_USER, kDesktop, "LogPixels", REG_DWORD, &dpi, sizeof dpi);
    else
      ::RegDeleteKeyValueA(HKEY_CURRENT_USER, kDesktop, "LogPixels");
  };
  const DWORD before =
      static_cast<DWORD>(ReadRegInteger(HKEY_CURRENT_USER, kDesktop, "LogPixels", 0));
  setDpi(120);
  HANDLE showcase = test::StartProcess("\"" + test::BinDir() + "ask_showcase.exe\" closeie 60");
  HWND dialog = WaitForDialog("Sentrova - Clean Up");
  setDpi(before);  // for the programs that start after this one
  ASSERT_NE(showcase, nullptr);
  ASSERT_NE(dialog, nullptr);
  RECT frame;
  ::GetWindowRect(dialog, &frame);
  const auto at120 = [](int pixels) { return (pixels * 120 + 48) / 96; };
  EXPECT_EQ(frame.right - frame.left, at120(540) - at120(10));
  HWND box = CheckboxOf(dialog);
  ASSERT_NE(box, nullptr);
  // The caption measured in the dialog's font as 120 dpi makes it.
  HDC dc = ::GetDC(nullptr);
  HFONT font = ::CreateFontA(-::MulDiv(8, 120, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                             DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif");
  HGDIOBJ old = ::SelectObject(dc, font);
  const std::string caption = TextOf(box);
  SIZE text{};
  ::GetTextExtentPoint32A(dc, caption.c_str(), static_cast<int>(caption.size()), &text);
  ::SelectObject(dc, old);
  ::DeleteObject(font);
  ::ReleaseDC(nullptr, dc);
  const RECT r = Placement(box);
  const int boxAndGap = at120(::GetSystemMetrics(SM_CXMENUCHECK) + 4);
  EXPECT_GE(r.right - r.left, text.cx + boxAndGap) << caption;
  ::PostMessageA(dialog, WM_CLOSE, 0, 0);
  EXPECT_EQ(::WaitForSingleObject(showcase, kWaitMs), WAIT_OBJECT_0);
  ::CloseHandle(showcase);
}

}  // namespace
}  // namespace sentrova
