// The main thread's message pump: at most the given number of messages per
// call, WM_QUIT removed and dropped, keyboard messages offered to the main
// window's accelerators first.
#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "app/run_loop.h"
#include "platform/handle.h"

namespace sentrova {
namespace {

constexpr UINT kProbe = WM_APP + 7;
constexpr WORD kAcceleratorCommand = 4711;

std::vector<UINT>* received = nullptr;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (received != nullptr && (message == kProbe || message == WM_KEYDOWN || message == WM_CHAR ||
                              (message == WM_COMMAND && LOWORD(w) == kAcceleratorCommand))) {
    received->push_back(message);
  }
  return ::DefWindowProcA(window, message, w, l);
}

class Pump : public ::testing::Test {
 protected:
  void SetUp() override {
    received = &messages_;
    WNDCLASSA wc{};
    wc.lpfnWndProc = RecordingProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = "SentrovaPumpProbe";
    ::RegisterClassA(&wc);
    window_.reset(::CreateWindowExA(0, "SentrovaPumpProbe", "probe", 0, 0, 0, 10, 10, nullptr,
                                    nullptr, wc.hInstance, nullptr));
    ASSERT_TRUE(window_);
    DrainQueue();
    messages_.clear();
  }
  void TearDown() override {
    window_.reset();
    DrainQueue();
    received = nullptr;
  }
  int Count(UINT message) const {
    int n = 0;
    for (UINT m : messages_) n += m == message;
    return n;
  }
  void PostKey(WPARAM key) {
    ASSERT_TRUE(::PostMessageA(window_.get(), WM_KEYDOWN, key, 1));
  }

  std::vector<UINT> messages_;
  UniqueHandle<handle_traits::Window> window_;
};

TEST_F(Pump, TakesAtMostTheLimitPerCallAndStopsWhenTheQueueIsEmpty) {
  for (int i = 0; i < 120; ++i) ASSERT_TRUE(::PostMessageA(window_.get(), kProbe, i, 0));
  EXPECT_EQ(PumpMessages(nullptr, nullptr, 50), 50);
  EXPECT_EQ(Count(kProbe), 50);
  EXPECT_EQ(PumpMessages(nullptr, nullptr, 50), 50);
  EXPECT_EQ(PumpMessages(nullptr, nullptr, 50), 20);
  EXPECT_EQ(Count(kProbe), 120);
  EXPECT_EQ(PumpMessages(nullptr, nullptr, 50), 0);
}

TEST_F(Pump, DropsQuitAndGoesOn) {
  ::PostQuitMessage(0);
  ASSERT_TRUE(::PostMessageA(window_.get(), kProbe, 0, 0));
  EXPECT_EQ(PumpMessages(nullptr, nullptr, 50), 2);
  EXPECT_EQ(Count(kProbe), 1);
  MSG msg;
  EXPECT_FALSE(::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));
}

TEST_F(Pump, KeyboardMessagesGoToTheAcceleratorsFirst) {
  ACCEL accel{FVIRTKEY, VK_F5, kAcceleratorCommand};
  HACCEL table = ::CreateAcceleratorTableA(&accel, 1);
  ASSERT_NE(table, nullptr);
  PostKey(VK_F5);
  PostKey('A');
  // F5 became the command and was not dispatched as a key; A was dispatched
  // and translated into a character, which the same call then took.
  EXPECT_EQ(PumpMessages(window_.get(), table, 50), 3);
  EXPECT_EQ(Count(WM_COMMAND), 1);
  EXPECT_EQ(Count(WM_KEYDOWN), 1);
  EXPECT_EQ(Count(WM_CHAR), 1);
  ::DestroyAcceleratorTable(table);
}

TEST_F(Pump, WithoutAcceleratorsKeysAreDispatched) {
  PostKey(VK_F5);
  EXPECT_EQ(PumpMessages(window_.get(), nullptr, 50), 1);
  EXPECT_EQ(Count(WM_KEYDOWN), 1);
  EXPECT_EQ(Count(WM_COMMAND), 0);
}

TEST_F(Pump, DrainQueueEmptiesTheQueue) {
  for (int i = 0; i < 80; ++i) ASSERT_TRUE(::PostMessageA(window_.get(), kProbe, i, 0));
  ::PostQuitMessage(0);
  DrainQueue();
  EXPECT_EQ(Count(kProbe), 80);
  MSG msg;
  EXPECT_FALSE(::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
}

}  // namespace
}  // namespace sentrova
