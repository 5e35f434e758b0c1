// Named kernel objects across processes, process facts, the foreground and
// visual-style helpers, against Wine's implementation.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/foreground.h"
#include "platform/named_objects.h"
#include "platform/system_facts.h"
#include "platform/visual_styles.h"
#include "support/win_support.h"

namespace sentrova {
namespace {

std::string Probe() { return "\"" + test::BinDir() + "sentrova_probe.exe\""; }

std::string UniqueName(const char* base) {
  return std::string(base) + "_" + std::to_string(::GetCurrentProcessId()) + "_" +
         std::to_string(::GetTickCount());
}

TEST(NamedObjects, SecondOpenSharesTheEventAndIgnoresItsFlags) {
  const std::string name = UniqueName("SentrovaTestEvent");
  // Created auto-reset and not signalled; the other process asks for a
  // manual-reset, signalled one and must get ours as it is.
  KernelHandle event = OpenOrCreateEvent(name, false, false, true);
  ASSERT_TRUE(event);
  auto child = test::RunAndWait(Probe() + " event " + name, 30000);
  ASSERT_TRUE(child.finished);
  EXPECT_EQ(child.exitCode, 0u) << "the second caller's initially-signalled flag took effect";
  // The child set the event: one wait succeeds, and auto-reset clears it.
  EXPECT_EQ(::WaitForSingleObject(event.get(), 0), static_cast<DWORD>(WAIT_OBJECT_0));
  EXPECT_EQ(::WaitForSingleObject(event.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));

  // In one process: two handles to one event.
  KernelHandle again = OpenOrCreateEvent(name, true, true, false);
  ASSERT_TRUE(again);
  EXPECT_NE(again.get(), event.get());
  ::SetEvent(again.get());
  EXPECT_EQ(::WaitForSingleObject(event.get(), 0), static_cast<DWORD>(WAIT_OBJECT_0));
}

TEST(NamedObjects, MutexIsSharedAndNotOwnedOnReturn) {
  const std::string name = UniqueName("SentrovaTestMutex");
  KernelHandle mutex = OpenOrCreateMutex(name, true);
  ASSERT_TRUE(mutex);
  // Not owned on return: another process can take it.
  auto free = test::RunAndWait(Probe() + " mutex " + name, 30000);
  ASSERT_TRUE(free.finished);
  EXPECT_EQ(free.exitCode, 1u);
  ASSERT_EQ(::WaitForSingleObject(mutex.get(), 0), static_cast<DWORD>(WAIT_OBJECT_0));
  auto held = test::RunAndWait(Probe() + " mutex " + name, 30000);
  ASSERT_TRUE(held.finished);
  EXPECT_EQ(held.exitCode, 0u);
  ::ReleaseMutex(mutex.get());
}

TEST(NamedObjects, InvalidNameGivesNullHandle) {
  // A backslash names a namespace that does not exist.
  EXPECT_FALSE(OpenOrCreateEvent("NoSuchNamespace\\Event", false, false, false));
  EXPECT_FALSE(OpenOrCreateMutex("NoSuchNamespace\\Mutex", true));
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(ProcessFacts, ShortPathOfAProgramUnderFoldersWithBlanks) {
  test::ScratchDir dir;
  const std::string folder = dir.File("Program Files With Blanks\\");
  ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
  const std::string program = folder + "Sentrova Probe.exe";
  ASSERT_TRUE(::CopyFileA((test::BinDir() + "sentrova_probe.exe").c_str(), program.c_str(), TRUE));
  const std::string out = dir.File("facts.txt");
  auto child = test::RunAndWait("\"" + program + "\" facts \"" + out + "\"", 30000);
  ASSERT_TRUE(child.finished);
  ASSERT_EQ(child.exitCode, 0u);
  auto facts = ReadLines(out);
  ASSERT_EQ(facts.size(), 6u);

  char longName[MAX_PATH] = {};
  ::GetLongPathNameA(program.c_str(), longName, MAX_PATH);
  EXPECT_STRCASEEQ(facts[0].c_str(), longName);
  const std::string& shortPath = facts[1];
  EXPECT_EQ(shortPath.find(' '), std::string::npos) << shortPath;
  for (char c : shortPath) EXPECT_FALSE(c >= 'A' && c <= 'Z') << shortPath;
  // The short form names the same file.
  char expanded[MAX_PATH] = {};
  ASSERT_GT(::GetLongPathNameA(shortPath.c_str(), expanded, MAX_PATH), 0u);
  EXPECT_STRCASEEQ(expanded, longName);
  EXPECT_STRCASEEQ(facts[2].c_str(), folder.c_str());

  char windows[MAX_PATH] = {};
  ::GetWindowsDirectoryA(windows, MAX_PATH);
  EXPECT_STRCASEEQ(facts[3].c_str(), (std::string(windows) + "\\").c_str());
  EXPECT_EQ(facts[5], "1");
}

TEST(ProcessFacts, ThisProcess) {
  EXPECT_TRUE(IsNtPlatform());
  // Wine reports Windows 7 (6.1, workstation): the XP class of the table.
  EXPECT_EQ(OsKind(), 6);
  EXPECT_TRUE(IsXpClassSystem());
  EXPECT_EQ(ProgramDirectory(), test::BinDir());
  EXPECT_EQ(WindowsDirectory().back(), '\\');
}

TEST(VisualStyles, ActivatedFromXpOnAndBalanced) {
  for (uint8_t kind : {uint8_t{6}, uint8_t{7}}) {
    VisualStyleContext ctx;
    ActivateVisualStyles(ctx, kind);
    ASSERT_TRUE(ctx.activated) << int(kind);
    HANDLE current = nullptr;
    ASSERT_TRUE(::GetCurrentActCtx(&current));
    EXPECT_EQ(current, ctx.context);
    ::ReleaseActCtx(current);
    DeactivateVisualStyles(ctx);
    EXPECT_FALSE(ctx.activated);
    EXPECT_EQ(ctx.context, nullptr);
    ASSERT_TRUE(::GetCurrentActCtx(&current));
    EXPECT_EQ(current, nullptr) << "the context stayed active";
  }
  VisualStyleContext old;
  ActivateVisualStyles(old, 5);
  EXPECT_FALSE(old.activated);
  DeactivateVisualStyles(old);  // nothing to undo
  EXPECT_FALSE(old.activated);
}

TEST(VisualStyles, ProcessPairActsOnceOnXp) {
  ASSERT_EQ(OsKind(), 6);
  ActivateProcessVisualStyles();
  EXPECT_TRUE(ProcessVisualStylesActive());
  ActivateProcessVisualStyles();  // at most once: still one activation
  DeactivateProcessVisualStyles();
  EXPECT_FALSE(ProcessVisualStylesActive());
  HANDLE current = nullptr;
  ASSERT_TRUE(::GetCurrentActCtx(&current));
  EXPECT_EQ(current, nullptr);
  DeactivateProcessVisualStyles();  // nothing left to undo
}

TEST(ForceForegroundWindow, BringsAMinimisedWindowToTheFront) {
  HWND window = ::CreateWindowExA(0, "STATIC", "Sentrova foreground test", WS_OVERLAPPEDWINDOW,
                                  10, 10, 200, 100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  ::ShowWindow(window, SW_SHOWMINIMIZED);
  EXPECT_TRUE(ForceForegroundWindow(window));
  EXPECT_FALSE(::IsIconic(window));
  EXPECT_EQ(::GetForegroundWindow(), window);
  ::DestroyWindow(window);
  EXPECT_FALSE(ForceForegroundWindow(window));
}

}  // namespace
}  // namespace sentrova
