// ctest: serial
// The Clean Up Preview through its real window: made on this (pumping)
// thread as the main thread makes it, opened from a thread that pumps
// nothing, as the host's command is, and driven there by its buttons and
// keys. The count holds until the test lets it go, so the window is seen,
// closed and freed while it counts. Serial: the window is found by its
// caption, which the program shows too in the end-to-end tests.
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

constexpr char kCaption[] = "Sentrova - Clean Up Preview";
constexpr char kCounting[] = "Counting what a clean-up would remove...";
constexpr DWORD kWaitMs = 30000;

struct HeldCount {
  KernelHandle release{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  std::atomic<int> started{0}, ended{0};
  bool fails = false;
};

int OpenWindows() {
  int n = 0;
  for (HWND w = nullptr; (w = ::FindWindowExA(nullptr, w, nullptr, kCaption));) n += ::IsWindowVisible(w);
  return n;
}

// The window's texts, asked with a time-out: a window whose thread counts
// never answers. The status line first, then one "item|count|size" per row.
std::vector<std::string> Texts(HWND window) {
  char text[260] = {};
  DWORD_PTR done = 0;
  ::SendMessageTimeoutA(::FindWindowExA(window, nullptr, "obj_STATIC", nullptr), WM_GETTEXT,
                        sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, &done);
  std::vector<std::string> texts{text};
  HWND list = ::FindWindowExA(window, nullptr, "obj_SysListView32", nullptr);
  for (int row = 0; row < ::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0); ++row) {
    std::string line;
    for (int column = 0; column < 3; ++column) {
      LVITEMA item{};
      item.iSubItem = column;
      item.pszText = text;
      item.cchTextMax = sizeof text - 1;
      ::SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
      line += (column ? "|" : "") + std::string(text);
    }
    texts.push_back(line);
  }
  return texts;
}

TEST(PreviewForm, CountsOnAWorkerShowsTheRowsAndEndsAsTheUserChooses) {
  struct Row {
    const char* what;
    bool counted;        // the user waits for the count
    const char* button;  // then clicks it,
    WPARAM key;          // or presses this key in the list; neither: the preview is freed
    bool fails;
    test::Calls calls;
  } rows[] = {
      {"Clean Up Now", true, "Clean Up Now", 0, false, {"StartCleanUp 1"}},
      {"Close", true, "Close", 0, false, {}},
      {"Enter", true, nullptr, VK_RETURN, false, {"StartCleanUp 1"}},
      {"Escape, count failed", true, nullptr, VK_ESCAPE, true, {}},
      {"closed while counting", false, "Close", 0, false, {}},
      {"freed while counting, as at shutdown", false, nullptr, 0, false, {}},
  };
  const std::vector<std::string> counted = {
      "A clean-up now would remove:", "Temporary Internet Files (e.g. websites, pictures, ...)|12|33.8 KB",
      "Words you entered into Start -> Run column|2|0 bytes", "Total|14|33.8 KB"};
  test::RecordedActions actions;
  InstallActions(&actions);
  for (const Row& row : rows) {
    auto held = std::make_shared<HeldCount>();
    held->fails = row.fails;
    auto form = std::make_unique<TPreviewForm>(nullptr, [held] {
      ++held->started;
      ::WaitForSingleObject(held->release.get(), kWaitMs);
      ++held->ended;
      if (held->fails) throw std::runtime_error("count failed");
      CleanReport report;
      report.items = {{"IE_TEMP", 12, 34567}, {"WIN_RUN", 2, 0}};
      return report;
    });
    std::atomic<bool> done{false};
    const DWORD pumping = ::GetCurrentThreadId();
    std::thread user([&] {
      HWND w = nullptr;
      ShowCleanPreview();
      EXPECT_TRUE(test::WaitFor([&] { return (w = ::FindWindowA(nullptr, kCaption)) && ::IsWindowVisible(w); }, kWaitMs));
      EXPECT_EQ(Texts(w), std::vector<std::string>{kCounting}) << row.what;
      if (row.counted) {
        ShowCleanPreview();  // again: the same window, no second count
        ::SetEvent(held->release.get());
        EXPECT_TRUE(test::WaitFor([&] { return Texts(w)[0] != kCounting; }, kWaitMs)) << row.what;
        EXPECT_EQ(Texts(w), row.fails ? std::vector<std::string>{"What a clean-up would remove could not be counted."} : counted) << row.what;
        EXPECT_EQ(OpenWindows(), 1) << row.what;
      }
      if (row.button) ::SendMessageA(devhost::ChildByCaption(w, row.button), BM_CLICK, 0, 0);
      HWND list = ::FindWindowExA(w, nullptr, "obj_SysListView32", nullptr);
      if (row.key) ::PostMessageA(list, WM_KEYDOWN, row.key, 1);
      if (row.key) ::PostMessageA(list, WM_KEYUP, row.key, 0xC0000001);
      if (row.button || row.key) EXPECT_TRUE(test::WaitFor([&] { return !::IsWindow(w); }, kWaitMs)) << row.what;
      done = true;
      ::PostThreadMessageA(pumping, WM_NULL, 0, 0);
    });
    RunModalLoop([&] { return done.load(); });
    user.join();
    form.reset();
    // A count still held now ends with its window gone.
    ::SetEvent(held->release.get());
    EXPECT_TRUE(test::WaitFor([&] { return held->ended == 1; }, kWaitMs)) << row.what;
    ProcessMessages();
    EXPECT_EQ(held->started.load(), 1) << row.what;
    EXPECT_EQ(OpenWindows(), 0) << row.what;
    EXPECT_EQ(actions.Take(), row.calls) << row.what;
  }
  InstallActions(nullptr);
}

}  // namespace
}  // namespace sentrova
