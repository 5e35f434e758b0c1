// ctest: serial
// Serial: the keys follow the keyboard focus, which a window of another test
// program taking the foreground would take away.
// Enter and Escape in the toolkit's forms, driven through the real Detected
// Changes window from a second thread while this thread waits in it: Enter
// presses the focused push button, else the default "OK"; Escape is "Cancel";
// the default-button look goes with the focus.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <thread>

#include "monitor/change_form.h"
#include "support/win_support.h"
#include "toolkit/control.h"

namespace sentrova {
namespace {

constexpr char kCaption[] = "Sentrova - Detected Changes";
constexpr DWORD kWaitMs = 20000;

HWND Child(HWND parent, const std::string& text) {
  return ::FindWindowExA(parent, nullptr, nullptr, text.c_str());
}

HWND ListOf(HWND parent) { return ::FindWindowExA(parent, nullptr, "obj_SysListView32", nullptr); }

bool IsDefaultLook(HWND button) {
  return (::GetWindowLongPtrA(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
}

int TickedRows(HWND list) {
  int ticked = 0;
  const int count = static_cast<int>(::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  for (int row = 0; row < count; ++row)
    ticked += (::SendMessageA(list, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK) >> 12) == 2;
  return ticked;
}

void Press(HWND control, WPARAM key) {
  ::PostMessageA(control, WM_KEYDOWN, key, 1);
  ::PostMessageA(control, WM_KEYUP, key, 0xC0000001);
}

TEST(DialogKeys, DetectedChangesTakesEnterAndEscapeWhereverTheFocusIs) {
  struct Row {
    const char* focus;  // a button's caption, or "list"
    WPARAM key;
    int result;         // 1 "OK", 2 "Cancel"; 0: the dialog stays
    int ticked;         // rows ticked afterwards (of two)
  };
  const Row rows[] = {
      {"list", VK_RETURN, kChangeFormOk, 1},   {"OK", VK_RETURN, kChangeFormOk, 1},
      {"Cancel", VK_RETURN, kChangeFormCancel, 1}, {"list", VK_ESCAPE, kChangeFormCancel, 1},
      {"OK", VK_ESCAPE, kChangeFormCancel, 1},  {"Select All", VK_RETURN, 0, 2},
      {"Deselect All", VK_RETURN, 0, 0},
  };
  const DWORD formThread = ::GetCurrentThreadId();
  for (const Row& row : rows) {
    const std::string what = std::string(row.focus) + (row.key == VK_RETURN ? ", Enter" : ", Escape");
    TChangeForm form(nullptr);
    form.AddChangeRow(0, "3", "0", "M_A", true);
    form.AddChangeRow(1, "3", "1", "M_B", false);
    std::thread driver([&] {
      HWND dialog = nullptr;
      ASSERT_TRUE(test::WaitFor(
          [&] { return (dialog = ::FindWindowA(nullptr, kCaption)) && ::IsWindowVisible(dialog); },
          kWaitMs));
      const std::string focusName = row.focus;
      HWND focus = focusName == "list" ? ListOf(dialog) : Child(dialog, focusName);
      ASSERT_NE(focus, nullptr) << what;
      ::PostMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(focus), TRUE);
      GUITHREADINFO info{sizeof info};
      EXPECT_TRUE(test::WaitFor(
          [&] { return ::GetGUIThreadInfo(formThread, &info) && info.hwndFocus == focus; },
          kWaitMs))
          << what;
      // The look changes as the focus arrives, on the dialog's thread.
      HWND looks = focusName == "list" ? Child(dialog, "OK") : focus;
      EXPECT_TRUE(test::WaitFor(
          [&] {
            for (const char* caption : {"Select All", "Deselect All", "OK", "Cancel"})
              if (IsDefaultLook(Child(dialog, caption)) != (Child(dialog, caption) == looks))
                return false;
            return true;
          },
          kWaitMs))
          << what << ": the default look is not where the focus is";
      Press(focus, row.key);
      if (row.result == 0) {
        EXPECT_TRUE(test::WaitFor([&] { return TickedRows(ListOf(dialog)) == row.ticked; }, kWaitMs))
            << what;
        EXPECT_TRUE(::IsWindowVisible(dialog)) << what;
        Press(focus, VK_ESCAPE);
      }
      EXPECT_TRUE(test::WaitFor([&] { return !::IsWindowVisible(dialog); }, kWaitMs)) << what;
      // Whatever happened, the dialog must not stay open.
      if (::IsWindowVisible(dialog)) ::PostMessageA(dialog, WM_CLOSE, 0, 0);
    });
    const int result = form.ShowModal();
    driver.join();
    EXPECT_EQ(result, row.result ? row.result : kChangeFormCancel) << what;
    int ticked = 0;
    for (const TChangeForm::RowMark& mark : form.Marks()) ticked += mark.ticked;
    EXPECT_EQ(ticked, row.ticked) << what;
  }
}

}  // namespace
}  // namespace sentrova
