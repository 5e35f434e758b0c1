// ctest: serial
// The hidden main window and its tray icon through real window messages: the
// tray callback opens the menu (driven from a second thread as a user's
// keys would), each menu item reaches the program, the taskbar's restart
// re-adds only a shown icon, the busy sign swaps the image from another
// thread and shows an ended pass's line in a balloon, and the logon's end ends the program while WM_CLOSE does not.
// The shell sees the icon through a recording notifier.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "state/process_state.h"
#include "ui/main_form.h"
#include "win/host_test_support.h"
#include "win/recorded_actions.h"
#include "win/recording_tray.h"

namespace sentrova {
namespace {

using test::Calls;
using test::RecordingTray;

void Pump() {
  MSG msg;
  while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&msg);
}

// Plays the user at the tray menu: once it is open, `downs` presses of the
// down key and Enter (none: Escape). `seen` tells whether a menu opened.
class MenuDriver {
 public:
  explicit MenuDriver(int downs)
      : thread_([this, downs] {
          const DWORD start = ::GetTickCount();
          while (!stop_ && ::GetTickCount() - start < 20000) {
            if (HWND menu = test::ShownMenuOf(::GetCurrentProcessId())) {
              seen_ = true;
              for (int i = 0; i < downs; ++i) ::PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
              ::PostMessageA(menu, WM_KEYDOWN, downs > 0 ? VK_RETURN : VK_ESCAPE, 0);
              return;
            }
            ::Sleep(10);
          }
        }) {}
  ~MenuDriver() { Finish(); }
  bool Finish() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    return seen_;
  }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<bool> seen_{false};
  std::thread thread_;
};

class MainForm : public ::testing::Test {
 protected:
  void SetUp() override {
    InstallActions(&actions_);
    State().Running = true;
    form_ = std::make_unique<TMainForm>(tray_);
    form_->onTrayRemoved = [this] { ++removed_; };
    ASSERT_NE(form_->Handle(), nullptr);
  }
  void TearDown() override {
    form_.reset();
    InstallActions(nullptr);
  }
  // The tray icon reports a mouse message; the handler runs before this returns.
  void Mouse(UINT mouse) { ::SendMessageA(form_->Handle(), kTrayCallbackMessage, 1, mouse); }

  test::RecordedActions actions_;
  RecordingTray tray_;
  std::unique_ptr<TMainForm> form_;
  int removed_ = 0;
};

TEST_F(MainForm, RightClickAndDoubleClickOpenTheMenu) {
  struct Row {
    UINT mouse;
    bool opens;
  } rows[] = {{WM_RBUTTONDOWN, true},  {WM_LBUTTONDBLCLK, true}, {WM_LBUTTONDOWN, false},
              {WM_LBUTTONUP, false},   {WM_RBUTTONUP, false}};
  form_->ShowTrayIcon(true);
  for (const Row& row : rows) {
    MenuDriver driver(0);
    Mouse(row.mouse);
    EXPECT_EQ(driver.Finish(), row.opens) << "mouse message " << row.mouse;
    EXPECT_EQ(actions_.Take(), Calls{});
  }
}

TEST_F(MainForm, EachMenuItemReachesTheProgram) {
  struct Row {
    int downs;
    Calls calls;
    int removed;
  } rows[] = {{1, {"StartCleanUp 1"}, 0}, {2, {"OpenSettings"}, 0}, {5, {"SetTray 01"}, 1}};
  for (const Row& row : rows) {
    MenuDriver driver(row.downs);
    Mouse(WM_RBUTTONDOWN);
    EXPECT_TRUE(driver.Finish());
    EXPECT_EQ(actions_.Take(), row.calls) << "item " << row.downs;
    EXPECT_EQ(removed_, row.removed);
  }
}

TEST_F(MainForm, TaskbarRestartReAddsOnlyAShownIcon) {
  const UINT restart = ::RegisterWindowMessageA("TaskbarCreated");
  struct Row {
    bool shown;
    int addsAfter;
  } rows[] = {{true, 2}, {false, 2}, {true, 4}};
  for (const Row& row : rows) {
    form_->ShowTrayIcon(row.shown);
    ::SendMessageA(form_->Handle(), restart, 0, 0);
    EXPECT_EQ(tray_.Count(NIM_ADD), row.addsAfter) << "shown " << row.shown;
    EXPECT_EQ(form_->TrayIconShown(), row.shown);
  }
}

TEST_F(MainForm, OtherThreadsHandTheirChangesToTheWindow) {
  std::thread([&] { form_->ShowTrayIcon(true); }).join();
  EXPECT_FALSE(form_->TrayIconShown());  // not before the window's thread runs it
  Pump();
  EXPECT_TRUE(form_->TrayIconShown());
  const HICON idle = tray_.LastIcon();
  std::shared_ptr<BusyIndicator> busy = form_->Busy();
  std::thread([&] { busy->ShowBusy(); }).join();
  Pump();
  EXPECT_NE(tray_.LastIcon(), idle);
  EXPECT_EQ(tray_.Count(NIM_MODIFY), 1);
  std::thread([&] { busy->ShowIdle(); }).join();
  Pump();
  EXPECT_EQ(tray_.LastIcon(), idle);
  // The line of an ended pass, in a balloon over the shown icon only.
  const std::string line = "Last clean-up: 2026-12-07 22:30, 15 items, 34.8 KB freed";
  std::thread([&] { busy->CleanUpEnded(line); }).join();
  Pump();
  EXPECT_EQ(tray_.balloons, std::vector<std::string>{"Sentrova: " + line});
  form_->ShowTrayIcon(false);
  std::thread([&] { busy->CleanUpEnded(line); }).join();
  Pump();
  EXPECT_EQ(tray_.balloons.size(), 1u);
  // A worker that outlives the window changes nothing.
  form_.reset();
  const size_t records = tray_.records.size();
  std::thread([&] { busy->ShowBusy(); }).join();
  Pump();
  EXPECT_EQ(tray_.records.size(), records);
}

TEST_F(MainForm, AnOlderRequestFromAnotherThreadNeverOverrulesANewerOne) {
  std::thread([&] { form_->ShowTrayIcon(true); }).join();  // posted
  form_->ShowTrayIcon(false);                              // on the window's thread: at once
  Pump();
  EXPECT_FALSE(form_->TrayIconShown());
  EXPECT_EQ(tray_.Count(NIM_ADD), 0);
}

TEST_F(MainForm, LogonEndEndsTheProgramWhileCloseDoesNot) {
  struct Row {
    UINT message;
    WPARAM wParam;
    LRESULT result;
    bool stays;
  } rows[] = {{WM_CLOSE, 0, 0, true},
              {WM_QUERYENDSESSION, 0, 1, true},
              {WM_ENDSESSION, FALSE, 0, true},
              {WM_ENDSESSION, TRUE, 0, false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.message);
    form_ = std::make_unique<TMainForm>(tray_);
    form_->ShowTrayIcon(true);
    State().Running = true;
    const HWND window = form_->Handle();
    EXPECT_EQ(::SendMessageA(window, row.message, row.wParam, 0), row.result);
    EXPECT_EQ(::IsWindow(window) != FALSE, row.stays);
    EXPECT_EQ(State().Running.load(), row.stays);
    EXPECT_EQ(form_->TrayIconShown(), row.stays);
  }
}

}  // namespace
}  // namespace sentrova
