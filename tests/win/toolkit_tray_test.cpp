// The tray icon's notification-area commands, observed through a recording
// notifier, and the shell's own call under Wine.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "toolkit/control.h"
#include "toolkit/tray_icon.h"

namespace sentrova {
namespace {

struct Call {
  DWORD command;
  NOTIFYICONDATAA record;
};

class RecordingTray : public TrayNotifier {
 public:
  bool Notify(DWORD command, const NOTIFYICONDATAA& record) override {
    calls.push_back({command, record});
    return true;
  }
  size_t Count(DWORD command, UINT id) const {
    size_t n = 0;
    for (const Call& call : calls) n += call.command == command && call.record.uID == id;
    return n;
  }
  std::vector<Call> calls;
};

// An icon the tray icon may destroy.
IconHandle NewIcon() {
  return IconHandle(::CopyIcon(::LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION))));
}

TEST(TrayIcon, ActivatingAddsAFirstVersionRecordAndDeactivatingDeletesIt) {
  TControl owner(ControlKind::Form, nullptr, "tray owner");
  RecordingTray shell;
  TTrayIcon tray(owner, NewIcon(), false, shell);
  tray.SetTooltip("Sentrova");
  EXPECT_TRUE(shell.calls.empty()) << "nothing is shown while inactive";

  tray.SetActive(true);
  ASSERT_EQ(shell.calls.size(), 1u);
  const Call& add = shell.calls[0];
  EXPECT_EQ(add.command, static_cast<DWORD>(NIM_ADD));
  EXPECT_EQ(add.record.cbSize, sizeof(void*) == 8 ? 104u : 88u);  // the first version, own word size
  EXPECT_EQ(add.record.hWnd, owner.HandleIfCreated());
  EXPECT_NE(add.record.hWnd, nullptr);
  EXPECT_EQ(add.record.uID, tray.Id());
  EXPECT_EQ(add.record.uFlags, 7u);
  EXPECT_EQ(add.record.uCallbackMessage, 0xB008u);
  EXPECT_EQ(add.record.hIcon, tray.Icon());
  EXPECT_STREQ(add.record.szTip, "Sentrova");

  tray.SetActive(true);
  EXPECT_EQ(shell.calls.size(), 1u) << "an unchanged flag issues nothing";

  tray.SetActive(false);
  ASSERT_EQ(shell.calls.size(), 2u);
  EXPECT_EQ(shell.calls[1].command, static_cast<DWORD>(NIM_DELETE));
  EXPECT_EQ(shell.calls[1].record.uFlags, 0u);
  EXPECT_EQ(shell.calls[1].record.uID, tray.Id());
}

TEST(TrayIcon, TooltipIsCutToSixtyThreeCharactersAndChangesOnlyOnce) {
  TControl owner(ControlKind::Form, nullptr, "tray owner");
  RecordingTray shell;
  TTrayIcon tray(owner, NewIcon(), true, shell);
  ASSERT_EQ(shell.Count(NIM_ADD, tray.Id()), 1u);

  std::string eighty;
  for (int i = 0; i < 80; ++i) eighty += static_cast<char>('A' + i % 26);
  tray.SetTooltip(eighty);
  tray.SetTooltip(eighty);
  ASSERT_EQ(shell.Count(NIM_MODIFY, tray.Id()), 1u) << "the same tooltip twice is one modify";
  const NOTIFYICONDATAA& record = shell.calls.back().record;
  EXPECT_EQ(std::string(record.szTip), eighty.substr(0, 63));
  EXPECT_EQ(record.szTip[63], '\0');
  EXPECT_EQ(tray.Tooltip(), eighty) << "the object keeps the whole text";

  // A text that differs only beyond character 63 is still a change.
  tray.SetTooltip(eighty.substr(0, 79));
  EXPECT_EQ(shell.Count(NIM_MODIFY, tray.Id()), 2u);

  // While hidden the text is only stored.
  tray.SetActive(false);
  const size_t before = shell.calls.size();
  tray.SetTooltip("hidden");
  EXPECT_EQ(shell.calls.size(), before);
  tray.SetActive(true);
  EXPECT_STREQ(shell.calls.back().record.szTip, "hidden");
}

TEST(TrayIcon, IconOnAnActiveIconWithoutOneAddsAndReplacingModifies) {
  TControl owner(ControlKind::Form, nullptr, "tray owner");
  RecordingTray shell;
  TTrayIcon tray(owner, IconHandle(), false, shell);
  tray.SetActive(true);
  EXPECT_TRUE(shell.calls.empty()) << "an icon without an image is not shown";
  EXPECT_TRUE(tray.Active());

  IconHandle first = NewIcon();
  const HICON firstHandle = first.get();
  EXPECT_FALSE(tray.SetIcon(std::move(first)).valid()) << "there was no previous image";
  ASSERT_EQ(shell.calls.size(), 1u);
  EXPECT_EQ(shell.calls[0].command, static_cast<DWORD>(NIM_ADD));
  EXPECT_EQ(shell.calls[0].record.hIcon, firstHandle);

  IconHandle second = NewIcon();
  const HICON secondHandle = second.get();
  IconHandle previous = tray.SetIcon(std::move(second));
  EXPECT_EQ(previous.get(), firstHandle) << "the previous image goes back to the caller";
  ASSERT_EQ(shell.calls.size(), 2u);
  EXPECT_EQ(shell.calls[1].command, static_cast<DWORD>(NIM_MODIFY));
  EXPECT_EQ(shell.calls[1].record.hIcon, secondHandle);

  // The same handle again changes nothing and stays the tray's.
  EXPECT_FALSE(tray.SetIcon(IconHandle(secondHandle)).valid());
  EXPECT_EQ(shell.calls.size(), 2u);
  EXPECT_EQ(tray.Icon(), secondHandle);

  // Putting the first image back (as the clean-up does with its busy icon).
  IconHandle busy = tray.SetIcon(std::move(previous));
  EXPECT_EQ(busy.get(), secondHandle);
  EXPECT_EQ(shell.calls.back().command, static_cast<DWORD>(NIM_MODIFY));
  EXPECT_EQ(shell.calls.back().record.hIcon, firstHandle);
}

TEST(TrayIcon, TaskbarRestartReAddsOnlyShownAutoRecreateIcons) {
  TControl app(ControlKind::App, nullptr, "app");
  ASSERT_EQ(Application(), &app);
  RecordingTray shell;
  TTrayIcon recreated(app, NewIcon(), true, shell);
  TTrayIcon plain(app, NewIcon(), true, shell);
  TTrayIcon hidden(app, NewIcon(), false, shell);
  recreated.SetAutoRecreate(true);
  hidden.SetAutoRecreate(true);
  shell.calls.clear();

  const UINT taskbarCreated = ::RegisterWindowMessageA("TaskbarCreated");
  ASSERT_NE(taskbarCreated, 0u);
  ::SendMessageA(app.Handle(), taskbarCreated, 0, 0);

  ASSERT_EQ(shell.calls.size(), 1u);
  EXPECT_EQ(shell.calls[0].command, static_cast<DWORD>(NIM_ADD));
  EXPECT_EQ(shell.calls[0].record.uID, recreated.Id());
  EXPECT_TRUE(recreated.Active());
  EXPECT_FALSE(hidden.Active());

  // Switching it off again: the next restart re-adds nothing.
  recreated.SetAutoRecreate(false);
  ::SendMessageA(app.Handle(), taskbarCreated, 0, 0);
  EXPECT_EQ(shell.calls.size(), 1u);
}

TEST(TrayIcon, ClosingOrDestroyingTheOwnerRemovesItsIcons) {
  RecordingTray shell;
  TControl owner(ControlKind::Form, nullptr, "owner");
  TControl other(ControlKind::Form, nullptr, "other");
  TTrayIcon a(owner, NewIcon(), true, shell);
  TTrayIcon b(owner, NewIcon(), true, shell);
  TTrayIcon c(other, NewIcon(), true, shell);

  // A form without a close handler is destroyed by WM_CLOSE: one delete each.
  ::SendMessageA(owner.Handle(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(owner.HasHandle());
  EXPECT_EQ(shell.Count(NIM_DELETE, a.Id()), 1u);
  EXPECT_EQ(shell.Count(NIM_DELETE, b.Id()), 1u);
  EXPECT_EQ(shell.Count(NIM_DELETE, c.Id()), 0u);
  EXPECT_FALSE(a.Active());
  EXPECT_TRUE(c.Active());

  // Destroying the window without a close request (WM_NCDESTROY).
  ::DestroyWindow(other.HandleIfCreated());
  EXPECT_EQ(shell.Count(NIM_DELETE, c.Id()), 1u);
  EXPECT_FALSE(c.Active());
}

TEST(TrayIcon, ClosingAWindowThatStaysOpenStillHidesItsIcons) {
  RecordingTray shell;
  TControl owner(ControlKind::Form, nullptr, "owner");
  int closeRequests = 0;
  owner.onClose = [&](TControl&) { ++closeRequests; };
  TTrayIcon tray(owner, NewIcon(), true, shell);
  ::SendMessageA(owner.Handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(closeRequests, 1);
  EXPECT_TRUE(owner.HasHandle());
  EXPECT_EQ(shell.Count(NIM_DELETE, tray.Id()), 1u);
}

TEST(TrayIcon, CallbackMessageReachesTheNamedIconsMouseHandler) {
  RecordingTray shell;
  TControl owner(ControlKind::Form, nullptr, "owner");
  TTrayIcon first(owner, NewIcon(), true, shell);
  TTrayIcon second(owner, NewIcon(), true, shell);
  std::vector<std::pair<UINT, UINT>> seen;  // (icon id, mouse message)
  first.onMouse = [&](TTrayIcon& icon, UINT mouse) { seen.push_back({icon.Id(), mouse}); };
  second.onMouse = [&](TTrayIcon& icon, UINT mouse) { seen.push_back({icon.Id(), mouse}); };

  EXPECT_EQ(::SendMessageA(owner.Handle(), 0xB008, second.Id(), WM_RBUTTONDOWN), 0);
  EXPECT_EQ(::SendMessageA(owner.Handle(), 0xB008, first.Id(), WM_LBUTTONDBLCLK), 0);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], std::make_pair(second.Id(), static_cast<UINT>(WM_RBUTTONDOWN)));
  EXPECT_EQ(seen[1], std::make_pair(first.Id(), static_cast<UINT>(WM_LBUTTONDBLCLK)));
}

TEST(TrayIcon, FreeingDeletesTheEntryAndReleasesTheProcessList) {
  RecordingTray shell;
  TControl owner(ControlKind::Form, nullptr, "owner");
  const size_t before = TTrayIcon::Count();
  UINT id = 0;
  const void* hookKey = nullptr;
  {
    TTrayIcon tray(owner, NewIcon(), true, shell);
    id = tray.Id();
    hookKey = &tray;
    EXPECT_TRUE(owner.HasHook(hookKey));
    EXPECT_EQ(TTrayIcon::Count(), before + 1);
  }
  EXPECT_EQ(TTrayIcon::Count(), before);
  EXPECT_EQ(shell.Count(NIM_DELETE, id), 1u);
  EXPECT_FALSE(owner.HasHook(hookKey)) << "the owner no longer routes messages to the freed icon";
}

TEST(TrayIcon, AnOwnerFreedFirstTakesItsIconsAlong) {
  RecordingTray shell;
  auto owner = std::make_unique<TControl>(ControlKind::Form, nullptr, "short-lived");
  TTrayIcon tray(*owner, NewIcon(), true, shell);
  ASSERT_EQ(shell.Count(NIM_ADD, tray.Id()), 1u);
  owner.reset();
  EXPECT_EQ(shell.Count(NIM_DELETE, tray.Id()), 1u);
  EXPECT_FALSE(tray.Active());
  tray.SetActive(true);  // no owner any more: nothing to show it on
  tray.SetTooltip("still safe");
  EXPECT_EQ(shell.calls.size(), 2u);
}

TEST(TrayIcon, ShellAcceptsTheRecordsUnderWine) {
  TControl owner(ControlKind::Form, nullptr, "shell owner");
  TTrayIcon tray(owner, NewIcon(), false);  // the real notification area
  tray.SetTooltip("Sentrova");
  tray.SetActive(true);

  // The icon is really there: the shell refuses a second add of the same
  // id and accepts a modify and a delete of it.
  NOTIFYICONDATAA record{};
  record.cbSize = kTrayRecordSize;
  record.hWnd = owner.Handle();
  record.uID = tray.Id();
  record.uFlags = kTrayRecordFlags;
  record.uCallbackMessage = kTrayCallbackMessage;
  record.hIcon = tray.Icon();
  EXPECT_FALSE(ShellTray().Notify(NIM_ADD, record));
  EXPECT_TRUE(ShellTray().Notify(NIM_MODIFY, record));
  EXPECT_TRUE(tray.ShowBalloon("Sentrova", "a balloon of the second-version record"));

  tray.SetActive(false);
  EXPECT_FALSE(tray.ShowBalloon("Sentrova", "over a hidden icon"));
  record.uFlags = 0;
  EXPECT_FALSE(ShellTray().Notify(NIM_DELETE, record)) << "already deleted by SetActive(false)";

  // And the shell takes our own add and delete.
  record.uFlags = kTrayRecordFlags;
  EXPECT_TRUE(ShellTray().Notify(NIM_ADD, record));
  EXPECT_TRUE(ShellTray().Notify(NIM_DELETE, record));
}

}  // namespace
}  // namespace sentrova
