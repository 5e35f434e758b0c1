// ctest: serial
// A question whose program has no qbxcomm.dll beside it (nor anywhere it is
// looked for) still shows, without its banner, the layout closed up. The
// product's showcase program is copied alone into an empty folder and its
// window is looked at from here. Serial: it shows a window with a caption
// that the product's other questions share.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "platform/handle.h"
#include "support/win_support.h"

namespace sentrova {
namespace {

struct Found {
  DWORD process;
  HWND window;
};

// The visible question window of one process.
HWND QuestionOf(DWORD process) {
  Found found{process, nullptr};
  ::EnumWindows(
      [](HWND w, LPARAM p) CALLBACK -> BOOL {
        auto* f = reinterpret_cast<Found*>(p);
        DWORD owner = 0;
        ::GetWindowThreadProcessId(w, &owner);
        char text[256] = {};
        ::GetWindowTextA(w, text, sizeof text);
        if (owner == f->process && std::string(text) == "Sentrova - Clean Up" &&
            ::IsWindowVisible(w)) {
          f->window = w;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found.window;
}

TEST(AskWithoutPictureLibrary, TheQuestionShowsWithoutItsBanner) {
  test::ScratchDir dir;
  const std::string program = dir.File("ask_showcase.exe");
  ASSERT_TRUE(::CopyFileA((test::BinDir() + "ask_showcase.exe").c_str(), program.c_str(), FALSE));
  ASSERT_FALSE(test::FileExists(dir.File("qbxcomm.dll")));

  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::string command = "\"" + program + "\" closeie 30";
  ASSERT_TRUE(::CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               dir.path().c_str(), &si, &pi));
  KernelHandle process(pi.hProcess);
  KernelHandle thread(pi.hThread);

  HWND dialog = nullptr;
  EXPECT_TRUE(test::WaitFor(
      [&] { return (dialog = QuestionOf(pi.dwProcessId)) != nullptr; },
      30000));
  if (dialog) {
    HWND heading = ::FindWindowExA(dialog, nullptr, nullptr,
                                   "Close all running Internet Explorer windows?");
    ASSERT_NE(heading, nullptr);
    RECT r;
    ::GetWindowRect(heading, &r);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.top, 20);  // no banner space
    ::PostMessageA(dialog, WM_CLOSE, 0, 0);
  }
  EXPECT_EQ(::WaitForSingleObject(process.get(), 30000), WAIT_OBJECT_0);
  ::TerminateProcess(process.get(), 1);
  ::WaitForSingleObject(process.get(), 5000);
}

}  // namespace
}  // namespace sentrova
