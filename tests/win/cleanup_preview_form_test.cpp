// The Clean Up Preview window through its real window: made on this
// (pumping) thread as the program's main thread makes it, opened from a
// thread that pumps nothing, as the host's command is, and driven there by
// its buttons and keys. The count is a stand-in that holds until the test
// lets it go, so the window is seen while it counts.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "../../devhost/common/child_window.h"
#include "cleanup/preview_form.h"
#include "toolkit/message_loop.h"
#include "win/host_test_support.h"
#include "win/recorded_actions.h"

namespace sentrova {
namespace {

using Rows = std::vector<std::string>;
constexpr char kCaption[] = "Sentrova - Clean Up Preview";
constexpr DWORD kWaitMs = 30000;

// A count that waits for `release`, then answers `report` (or fails).
struct HeldCount {
  HANDLE release = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::atomic<int> started{0}, ended{0};
  bool fails = false;
  ~HeldCount() { ::CloseHandle(release); }
  static PreviewCount Of(const std::shared_ptr<HeldCount>& held) {
    return [held] {
      ++held->started;
      ::WaitForSingleObject(held->release, kWaitMs);
      ++held->ended;
      if (held->fails) throw std::runtime_error("count failed");
      CleanReport report;
      report.items = {{"IE_TEMP", 12, 34567}, {"WIN_RUN", 2, 0}};
      return report;
    };
  }
};

// The window as the user's thread sees it.
struct Preview {
  HWND window = nullptr;
  static int Open() {
    int windows = 0;
    for (HWND w = nullptr; (w = ::FindWindowExA(nullptr, w, nullptr, kCaption)) != nullptr;)
      windows += ::IsWindowVisible(w) ? 1 : 0;
    return windows;
  }
  bool Find() {
    ShowCleanPreview();
    return test::WaitFor([&] {
      window = ::FindWindowA(nullptr, kCaption);
      return window != nullptr && ::IsWindowVisible(window);
    }, kWaitMs);
  }
  HWND List() const { return ::FindWindowExA(window, nullptr, "obj_SysListView32", nullptr); }
  // Through a time-out: a window whose thread is busy counting never answers.
  std::string Status() const {
    char text[200] = {};
    DWORD_PTR copied = 0;
    ::SendMessageTimeoutA(::FindWindowExA(window, nullptr, "obj_STATIC", nullptr), WM_GETTEXT,
                          sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                          &copied);
    return text;
  }
  Rows Shown() const {
    Rows rows;
    const int count = static_cast<int>(::SendMessageA(List(), LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
      std::string line;
      for (int column = 0; column < 3; ++column) {
        char text[260] = {};
        LVITEMA item{};
        item.iSubItem = column;
        item.pszText = text;
        item.cchTextMax = sizeof text - 1;
        ::SendMessageA(List(), LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
        line += (column ? "|" : "") + std::string(text);
      }
      rows.push_back(line);
    }
    return rows;
  }
  bool Gone() const {
    return test::WaitFor([&] { return !::IsWindow(window); }, kWaitMs);
  }
};

class PreviewForm : public ::testing::Test {
 protected:
  void SetUp() override { InstallActions(&actions_); }
  void TearDown() override { InstallActions(nullptr); }
  // Makes the preview on this thread and pumps it while `user` plays the
  // user on another; then frees it, whatever is still open or counting.
  template <class User>
  void Drive(const std::shared_ptr<HeldCount>& held, User user) {
    auto form = std::make_unique<TPreviewForm>(nullptr, HeldCount::Of(held));
    std::atomic<bool> done{false};
    const DWORD pumping = ::GetCurrentThreadId();
    std::thread driver([&] {
      user();
      done = true;
      ::PostThreadMessageA(pumping, WM_NULL, 0, 0);
    });
    RunModalLoop([&] { return done.load(); });
    driver.join();
    form.reset();
  }
  test::RecordedActions actions_;
};

TEST_F(PreviewForm, CountsOnAWorkerThenShowsTheRowsAndEndsAsTheUserChooses) {
  struct Row {
    const char* what;
    const char* button;  // clicked; null: `key` pressed in the list
    WPARAM key;
    bool fails;
    test::Calls calls;
  } rows[] = {
      {"Clean Up Now", "Clean Up Now", 0, false, {"StartCleanUp 1"}},
      {"Close", "Close", 0, false, {}},
      {"Enter", nullptr, VK_RETURN, false, {"StartCleanUp 1"}},
      {"Escape", nullptr, VK_ESCAPE, true, {}},
  };
  for (const Row& row : rows) {
    auto held = std::make_shared<HeldCount>();
    held->fails = row.fails;
    Drive(held, [&] {
      Preview p;
      ASSERT_TRUE(p.Find()) << row.what;
      // Open at once and answering while the count is held.
      EXPECT_EQ(p.Status(), "Counting what a clean-up would remove...") << row.what;
      EXPECT_TRUE(p.Shown().empty()) << row.what;
      ShowCleanPreview();  // a second request: the same window, no second count
      ::SetEvent(held->release);
      EXPECT_TRUE(test::WaitFor(
          [&] { return p.Status() != "Counting what a clean-up would remove..."; }, kWaitMs));
      EXPECT_EQ(Preview::Open(), 1) << row.what;
      EXPECT_EQ(held->started.load(), 1) << row.what;
      if (row.fails) {
        EXPECT_EQ(p.Status(), "What a clean-up would remove could not be counted.");
        EXPECT_TRUE(p.Shown().empty());
      } else {
        EXPECT_EQ(p.Status(), "A clean-up now would remove:");
        EXPECT_EQ(p.Shown(), (Rows{"Temporary Internet Files (e.g. websites, pictures, ...)|12|33.8 KB",
                                   "Words you entered into Start -> Run column|2|0 bytes",
                                   "Total|14|33.8 KB"}));
      }
      if (row.button) {
        ::SendMessageA(devhost::ChildByCaption(p.window, row.button), BM_CLICK, 0, 0);
      } else {
        ::PostMessageA(p.List(), WM_KEYDOWN, row.key, 1);
        ::PostMessageA(p.List(), WM_KEYUP, row.key, 0xC0000001);
      }
      EXPECT_TRUE(p.Gone()) << row.what;
    });
    EXPECT_EQ(actions_.Take(), row.calls) << row.what;
  }
}

TEST_F(PreviewForm, AWindowClosedOrFreedWhileCountingIgnoresTheLateResult) {
  auto held = std::make_shared<HeldCount>();
  Drive(held, [&] {
    Preview p;
    ASSERT_TRUE(p.Find());
    ::SendMessageA(devhost::ChildByCaption(p.window, "Close"), BM_CLICK, 0, 0);
    ASSERT_TRUE(p.Gone());
    // A new window and count; the first count's result, once let go, finds
    // its window gone and shows nowhere.
    ASSERT_TRUE(p.Find());
    ::SetEvent(held->release);
    ASSERT_TRUE(test::WaitFor([&] { return held->ended == 2; }, kWaitMs));
    EXPECT_TRUE(test::WaitFor([&] { return p.Shown().size() == 3; }, kWaitMs));
    // A third count held while the preview is freed, as at shutdown.
    ::ResetEvent(held->release);
    ::SendMessageA(devhost::ChildByCaption(p.window, "Close"), BM_CLICK, 0, 0);
    ASSERT_TRUE(p.Find());
  });
  ::SetEvent(held->release);
  EXPECT_TRUE(test::WaitFor([&] { return held->ended == 3; }, kWaitMs));
  ProcessMessages();
  EXPECT_EQ(Preview::Open(), 0);
  EXPECT_TRUE(actions_.Take().empty());
}

}  // namespace
}  // namespace sentrova
