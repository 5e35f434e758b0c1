// ctest: serial
// Deletion now or at the restart, folder emptying and the reading of what is
// already scheduled, against the real file system and registry of the test
// prefix. Serial: the tests add to the machine's pending rename operations
// (and put the value back as it was).
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cleanup/clean.h"
#include "cleanup/pending_text.h"
#include "cleanup/restart_operations.h"
#include "platform/com.h"
#include "platform/handle.h"
#include "platform/registry.h"
#include "platform/system_facts.h"
#include "platform/text.h"
#include "support/win_support.h"

namespace sentrova {
namespace {

using Strings = std::vector<std::string>;
using test::FileExists;
using test::FolderLink;
using test::ScratchDir;
using test::WriteFileText;

const RestartRoad kNtRoad{true, ""};

// Keeps the machine's pending rename operations as they were before the test
// (value bytes and type, or its absence).
class PendingValueGuard {
 public:
  PendingValueGuard() {
    RegKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
      return;
    DWORD size = 0;
    if (::RegQueryValueExW(key.get(), kValue, nullptr, &type_, nullptr, &size) != ERROR_SUCCESS)
      return;
    data_.resize(size);
    existed_ = ::RegQueryValueExW(key.get(), kValue, nullptr, &type_, data_.data(), &size) ==
               ERROR_SUCCESS;
    data_.resize(size);
  }
  ~PendingValueGuard() {
    RegKey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_SET_VALUE, key.put()) != ERROR_SUCCESS)
      return;
    if (existed_) {
      ::RegSetValueExW(key.get(), kValue, 0, type_, data_.data(),
                       static_cast<DWORD>(data_.size()));
    } else {
      ::RegDeleteValueW(key.get(), kValue);
    }
  }

 private:
  static constexpr const wchar_t* kKey = L"System\\CurrentControlSet\\Control\\Session Manager";
  static constexpr const wchar_t* kValue = L"PendingFileRenameOperations";
  bool existed_ = false;
  DWORD type_ = REG_MULTI_SZ;
  std::vector<BYTE> data_;
};

// The strings of the pending value as it stands.
Strings PendingStrings() {
  RegKey key;
  if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_QUERY_VALUE, key.put()) !=
      ERROR_SUCCESS)
    return {};
  DWORD size = 0, type = 0;
  if (::RegQueryValueExA(key.get(), kPendingRenameValue, nullptr, &type, nullptr, &size) !=
      ERROR_SUCCESS)
    return {};
  std::string data(size, '\0');
  ::RegQueryValueExA(key.get(), kPendingRenameValue, nullptr, &type,
                     reinterpret_cast<BYTE*>(data.data()), &size);
  data.resize(size);
  Strings strings;
  size_t start = 0;
  while (start < data.size()) {
    size_t end = data.find('\0', start);
    if (end == std::string::npos) end = data.size();
    strings.push_back(data.substr(start, end - start));
    start = end + 1;
  }
  return strings;
}

// How many times a file is scheduled for deletion: source "\??\path" with an
// empty destination.
int TimesScheduled(const std::string& path) {
  const Strings strings = PendingStrings();
  int count = 0;
  for (size_t i = 0; i + 1 < strings.size(); ++i) {
    if (SameTextAscii(strings[i], "\\??\\" + path) && strings[i + 1].empty()) {
      ++count;
      ++i;
    }
  }
  return count;
}

// A file held open without delete sharing, as a running program holds it.
FileHandle HoldOpen(const std::string& path) {
  return FileHandle(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
}

bool MakeFolder(const std::string& path) { return ::CreateDirectoryA(path.c_str(), nullptr) != 0; }

bool Contains(const Strings& list, const std::string& text) {
  return std::any_of(list.begin(), list.end(),
                     [&](const std::string& s) { return SameTextAscii(s, text); });
}

std::string ReadText(const std::string& path) {
  FileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr));
  if (!file) return {};
  std::string text(65536, '\0');
  DWORD read = 0;
  ::ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &read, nullptr);
  text.resize(read);
  return text;
}

TEST(DeleteFileOrDefer, UnlockedFileIsDeletedNowAndNotScheduled) {
  PendingValueGuard guard;
  ScratchDir dir;
  const std::string file = dir.File("free.tmp");
  ASSERT_TRUE(WriteFileText(file, "x"));
  const Strings before = PendingStrings();
  EXPECT_TRUE(DeleteFileOrDefer(file, true, kNtRoad));
  EXPECT_FALSE(FileExists(file));
  EXPECT_EQ(PendingStrings(), before);
}

TEST(DeleteFileOrDefer, LockedFileIsScheduledOnceOnTheNtRoad) {
  PendingValueGuard guard;
  ScratchDir dir;
  const std::string file = dir.File("locked.tmp");
  ASSERT_TRUE(WriteFileText(file, "x"));
  {
    FileHandle held = HoldOpen(file);
    ASSERT_TRUE(held);
    EXPECT_FALSE(DeleteFileOrDefer(file, true, kNtRoad));
  }
  EXPECT_TRUE(FileExists(file));
  EXPECT_EQ(TimesScheduled(file), 1);

  // What is scheduled reads back, in short form.
  Strings pending;
  ReadPendingOperations(pending, kNtRoad);
  EXPECT_TRUE(Contains(pending, ShortPathOf(file))) << ShortPathOf(file);
}

TEST(DeleteFileOrDefer, WithoutTryFirstTheFileIsOnlyScheduled) {
  PendingValueGuard guard;
  ScratchDir dir;
  const std::string file = dir.File("later.tmp");
  ASSERT_TRUE(WriteFileText(file, "x"));
  EXPECT_FALSE(DeleteFileOrDefer(file, false, kNtRoad));
  EXPECT_TRUE(FileExists(file));
  EXPECT_EQ(TimesScheduled(file), 1);
  // A missing file is not scheduled.
  const std::string missing = dir.File("missing.tmp");
  EXPECT_FALSE(DeleteFileOrDefer(missing, false, kNtRoad));
  EXPECT_EQ(TimesScheduled(missing), 0);
}

TEST(DeleteFileOrDefer, WininitRoadAppendsTheSectionAndUpperCasesTheFile) {
  ScratchDir windows;
  ScratchDir dir;
  const RestartRoad road{false, windows.path()};
  const std::string ini = windows.File("wininit.ini");
  const std::string first = dir.File("first.tmp"), second = dir.File("second.tmp");
  ASSERT_TRUE(WriteFileText(first, "1"));
  ASSERT_TRUE(WriteFileText(second, "2"));

  // No wininit.ini yet: it is made with the section and the line.
  EXPECT_FALSE(DeleteFileOrDefer(first, false, road));
  EXPECT_EQ(ReadText(ini), "[RENAME]\r\nNUL=" + ShortPathOf(first) + "\r\n");

  // An existing file without the section: upper-cased, section appended.
  ASSERT_TRUE(WriteFileText(ini, "[boot]\r\nshell=Explorer.exe\r\n"));
  EXPECT_FALSE(DeleteFileOrDefer(second, false, road));
  EXPECT_EQ(ReadText(ini), "[BOOT]\r\nSHELL=EXPLORER.EXE\r\n[RENAME]\r\nNUL=" +
                               ShortPathOf(second) + "\r\n");

  // A second deletion keeps the one section.
  EXPECT_FALSE(DeleteFileOrDefer(first, false, road));
  EXPECT_EQ(ReadText(ini), "[BOOT]\r\nSHELL=EXPLORER.EXE\r\n[RENAME]\r\nNUL=" +
                               UpperAscii(ShortPathOf(second)) + "\r\nNUL=" + ShortPathOf(first) +
                               "\r\n");

  // Read back from the last line to the first.
  Strings pending;
  ReadPendingOperations(pending, road);
  EXPECT_EQ(pending, (Strings{ShortPathOf(first), UpperAscii(ShortPathOf(second)), "[RENAME]",
                              "EXPLORER.EXE", "[BOOT]"}));

  // A file that can be deleted now leaves wininit.ini alone.
  const std::string before = ReadText(ini);
  EXPECT_TRUE(DeleteFileOrDefer(first, true, road));
  EXPECT_EQ(ReadText(ini), before);
}

TEST(DeleteFileOrDefer, WininitThatCannotBeReadIsNotOverwritten) {
  ScratchDir windows;
  ScratchDir dir;
  const RestartRoad road{false, windows.path()};
  const std::string ini = windows.File("wininit.ini");
  const std::string file = dir.File("f.tmp");
  ASSERT_TRUE(WriteFileText(ini, "[boot]\r\nkeep=me\r\n"));
  ASSERT_TRUE(WriteFileText(file, "1"));
  {
    // Held open with no sharing at all: neither readable nor writable.
    FileHandle held(::CreateFileA(ini.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    EXPECT_FALSE(DeleteFileOrDefer(file, false, road));
  }
  EXPECT_EQ(ReadText(ini), "[boot]\r\nkeep=me\r\n");
}

TEST(ReadPendingOperations, NtRoadReadsPairsFromTheLastToTheFirst) {
  PendingValueGuard guard;
  ScratchDir dir;
  const std::string a = dir.File("alpha.tmp"), b = dir.File("beta.tmp"), c = dir.File("gamma.tmp");
  ASSERT_TRUE(WriteFileText(a, "a"));
  ASSERT_TRUE(WriteFileText(b, "b"));
  ASSERT_TRUE(WriteFileText(c, "c"));
  // A deletion, a replacing rename and a plain rename, the way the system
  // records them.
  ASSERT_TRUE(::MoveFileExA(a.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT));
  ASSERT_TRUE(::MoveFileExA(b.c_str(), c.c_str(),
                            MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING));
  const std::string renamed = dir.File("Delta-Not-There.tmp");
  ASSERT_TRUE(::MoveFileExA(c.c_str(), renamed.c_str(), MOVEFILE_DELAY_UNTIL_REBOOT));

  Strings pending;
  ReadPendingOperations(pending, kNtRoad);
  // The newest three entries, newest first: the rename's destination (no
  // such file: the lower-cased path), then b and a in short form.
  ASSERT_GE(pending.size(), 3u);
  EXPECT_EQ(pending[0], LowerAscii(renamed));
  EXPECT_TRUE(SameTextAscii(pending[1], ShortPathOf(b))) << pending[1];
  EXPECT_TRUE(SameTextAscii(pending[2], ShortPathOf(a))) << pending[2];
}

TEST(ListFolderEntries, NamesByAttributeFilter) {
  ScratchDir dir;
  ASSERT_TRUE(WriteFileText(dir.File("a.txt"), "a"));
  ASSERT_TRUE(WriteFileText(dir.File("b.log"), "b"));
  ASSERT_TRUE(WriteFileText(dir.File("h.txt"), "h"));
  ASSERT_TRUE(::SetFileAttributesA(dir.File("h.txt").c_str(), FILE_ATTRIBUTE_HIDDEN));
  ASSERT_TRUE(MakeFolder(dir.File("sub")));

  Strings all;
  EXPECT_TRUE(ListFolderEntries(dir.path() + "*.*", kAnyFileAttributes, all));
  std::sort(all.begin(), all.end());
  EXPECT_EQ(all, (Strings{"a.txt", "b.log", "h.txt", "sub"}));

  Strings plain;
  EXPECT_TRUE(ListFolderEntries(dir.path() + "*.*", 0, plain));
  std::sort(plain.begin(), plain.end());
  EXPECT_EQ(plain, (Strings{"a.txt", "b.log"}));

  Strings txt;
  EXPECT_TRUE(ListFolderEntries(dir.path() + "*.txt", kAnyFileAttributes, txt));
  std::sort(txt.begin(), txt.end());
  EXPECT_EQ(txt, (Strings{"a.txt", "h.txt"}));

  Strings none;
  EXPECT_FALSE(ListFolderEntries(dir.path() + "missing\\*.*", kAnyFileAttributes, none));
  EXPECT_TRUE(none.empty());
}

TEST(DeleteFolderContents, EmptiesATempTreeAndSkipsWhatIsAlreadyPending) {
  PendingValueGuard guard;
  ScratchDir temp;
  const std::string top = temp.path();
  ASSERT_TRUE(WriteFileText(top + "plain.tmp", "p"));
  ASSERT_TRUE(WriteFileText(top + "readonly.tmp", "r"));
  ASSERT_TRUE(::SetFileAttributesA((top + "readonly.tmp").c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(MakeFolder(top + "nested"));
  ASSERT_TRUE(MakeFolder(top + "nested\\deeper"));
  ASSERT_TRUE(WriteFileText(top + "nested\\one.tmp", "1"));
  ASSERT_TRUE(WriteFileText(top + "nested\\deeper\\two.tmp", "2"));
  ASSERT_TRUE(::SetFileAttributesA((top + "nested\\deeper").c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(WriteFileText(top + "nested\\listed.tmp", "l"));
  ASSERT_TRUE(WriteFileText(top + "Pending File.tmp", "s"));

  // Already scheduled: the top-level file and one inside a subfolder.
  ASSERT_TRUE(::MoveFileExA((top + "Pending File.tmp").c_str(), nullptr, 5));
  ASSERT_TRUE(::MoveFileExA((top + "nested\\listed.tmp").c_str(), nullptr, 5));
  Strings ignore;
  ReadPendingOperations(ignore, kNtRoad);
  ASSERT_TRUE(Contains(ignore, ShortPathOf(top + "Pending File.tmp")));

  // Not everything goes: the pending file in the subfolder keeps its folder.
  EXPECT_FALSE(DeleteFolderContents(top + "*.*", false, &ignore, kNtRoad));
  EXPECT_FALSE(FileExists(top + "plain.tmp"));
  EXPECT_FALSE(FileExists(top + "readonly.tmp"));
  EXPECT_FALSE(FileExists(top + "nested\\deeper"));
  // The pending top-level file is left alone and not scheduled twice.
  EXPECT_TRUE(FileExists(top + "Pending File.tmp"));
  EXPECT_EQ(TimesScheduled(top + "Pending File.tmp"), 1);
  // So is a pending file in a subfolder, which keeps its folder.
  EXPECT_TRUE(FileExists(top + "nested\\listed.tmp"));
  EXPECT_EQ(TimesScheduled(top + "nested\\listed.tmp"), 1);
  EXPECT_TRUE(FileExists(top));  // the top folder is kept
}

TEST(DeleteFolderContents, EmptyOrMissingFolder) {
  ScratchDir temp;
  const std::string empty = temp.path() + "empty";
  ASSERT_TRUE(MakeFolder(empty));
  EXPECT_TRUE(DeleteFolderContents(empty + "\\*.*", false, nullptr, kNtRoad));
  EXPECT_TRUE(FileExists(empty));
  EXPECT_TRUE(DeleteFolderContents(empty + "\\*.*", true, nullptr, kNtRoad));
  EXPECT_FALSE(FileExists(empty));
  EXPECT_FALSE(DeleteFolderContents(empty + "\\*.*", false, nullptr, kNtRoad));
}

// The folder shapes the emptying meets: for each, what goes, what must
// survive and how many things (files and links) a preview and then the pass
// count. `temp` is emptied (unless a row names another folder); `outside`
// and `profile` lie elsewhere, `profile` standing for a protected folder.
struct Scene {
  ScratchDir temp, outside, profile;
  std::string target;  // the folder emptied; temp's when empty
  Strings pending;     // paths named by operations pending at restart
  std::vector<std::unique_ptr<FolderLink>> links;
  FileHandle held;
  void Link(const std::string& link, const std::string& to) {
    links.push_back(std::make_unique<FolderLink>(link, to));
  }
};
std::wstring Wide(const std::string& path) { return L"\\\\?\\" + AnsiToWide(path); }
bool MakeWideFile(const std::wstring& path) {
  FileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  return static_cast<bool>(file);
}
bool WideExists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
std::string Bare(const std::string& folder) { return folder.substr(0, folder.size() - 1); }
const std::wstring kNonAnsi = L"\x0436\x4E2D\x05D0.tmp";  // Cyrillic, CJK, Hebrew
const std::wstring kDeep = L"\\" + std::wstring(120, L'd') + L"\\" + std::wstring(120, L'e') +
                           L"\\" + std::wstring(60, L'f');

TEST(EmptyChosenFolder, FolderShapes) {
  PendingValueGuard guard;
  struct Shape {
    const char* name;
    std::function<void(Scene&)> make;
    std::function<Strings(Scene&)> survive, gone;
    uint64_t count;
    std::function<bool(Scene&)> also = [](Scene&) { return true; };
  };
  const Shape shapes[] = {
      {"a link to a folder, and an empty folder behind a link",
       [](Scene& s) {
         WriteFileText(s.outside.File("precious.txt"), "keep");
         MakeFolder(s.outside.File("hollow"));
         MakeFolder(s.temp.File("sub"));
         s.Link(s.temp.File("sub\\link"), Bare(s.outside.path()));
         s.Link(s.temp.File("hollow-link"), s.outside.File("hollow"));
       },
       [](Scene& s) { return Strings{s.outside.File("precious.txt"), s.outside.File("hollow")}; },
       [](Scene&) { return Strings{}; },
       0},  // Wine opens a link's target even as itself: the links stay
      {"a link to a file",
       [](Scene& s) {
         WriteFileText(s.outside.File("precious.txt"), "keep");
         s.Link(s.temp.File("precious-link.txt"), s.outside.File("precious.txt"));
       },
       [](Scene& s) { return Strings{s.outside.File("precious.txt")}; },
       [](Scene&) { return Strings{}; }, 0},
      {"a top folder that is a link to a harmless place",
       [](Scene& s) {
         WriteFileText(s.outside.File("junk.tmp"), "j");
         s.Link(s.temp.File("ramdisk"), Bare(s.outside.path()));
         s.target = s.temp.File("ramdisk");
       },
       [](Scene& s) { return Strings{s.outside.path()}; },
       [](Scene& s) { return Strings{s.outside.File("junk.tmp")}; }, 1},
      {"a top folder that is a link to a protected one",
       [](Scene& s) {
         WriteFileText(s.profile.File("mine.doc"), "keep");
         s.Link(s.temp.File("to-profile"), Bare(s.profile.path()));
         s.target = s.temp.File("to-profile");
       },
       [](Scene& s) { return Strings{s.profile.File("mine.doc")}; },
       [](Scene&) { return Strings{}; }, 0},
      {"a linked parent leading into a protected folder",
       [](Scene& s) {
         WriteFileText(s.profile.File("mine.doc"), "keep");
         const std::string profile = Bare(s.profile.path());
         const size_t slash = profile.find_last_of('\\');
         s.Link(s.temp.File("settings"), profile.substr(0, slash));
         s.target = s.temp.File("settings") + profile.substr(slash);
       },
       [](Scene& s) { return Strings{s.profile.File("mine.doc")}; },
       [](Scene&) { return Strings{}; }, 0},
      {"files and a folder named by pending operations",
       [](Scene& s) {
         MakeFolder(s.temp.File("staged"));
         WriteFileText(s.temp.File("staged\\inside.tmp"), "s");
         WriteFileText(s.temp.File("named.tmp"), "n");
         WriteFileText(s.temp.File("free.tmp"), "f");
         s.pending = {s.temp.File("staged"), s.temp.File("named.tmp")};
       },
       [](Scene& s) {
         return Strings{s.temp.File("staged\\inside.tmp"), s.temp.File("named.tmp")};
       },
       [](Scene& s) { return Strings{s.temp.File("free.tmp")}; }, 1},
      {"a locked file is deferred",
       [](Scene& s) {
         WriteFileText(s.temp.File("held.tmp"), "h");
         s.held = HoldOpen(s.temp.File("held.tmp"));
       },
       [](Scene& s) { return Strings{s.temp.File("held.tmp")}; },
       [](Scene&) { return Strings{}; },
       0,
       [](Scene& s) { return TimesScheduled(s.temp.File("held.tmp")) == 1; }},
      {"read-only, hidden and system files",
       [](Scene& s) {
         const std::pair<const char*, DWORD> files[] = {{"ro.tmp", FILE_ATTRIBUTE_READONLY},
                                                        {"hidden.tmp", FILE_ATTRIBUTE_HIDDEN},
                                                        {"system.tmp", FILE_ATTRIBUTE_SYSTEM}};
         for (const auto& [name, attributes] : files) {
           WriteFileText(s.temp.File(name), name);
           ::SetFileAttributesA(s.temp.File(name).c_str(), attributes);
         }
       },
       [](Scene&) { return Strings{}; },
       [](Scene& s) {
         return Strings{s.temp.File("ro.tmp"), s.temp.File("hidden.tmp"), s.temp.File("system.tmp")};
       }, 3},
      {"a path longer than 260 characters and names outside the ANSI code page",
       [](Scene& s) {
         std::wstring deep = Wide(Bare(s.temp.path()));
         for (size_t at = 1; at <= kDeep.size(); ++at) {
           if (at == kDeep.size() || kDeep[at] == L'\\')
             ::CreateDirectoryW((deep + kDeep.substr(0, at)).c_str(), nullptr);
         }
         MakeWideFile(deep + kDeep + L"\\deep.tmp");
         MakeWideFile(Wide(s.temp.path()) + kNonAnsi);
         ::CreateDirectoryW((Wide(s.temp.path()) + kNonAnsi + L"-dir").c_str(), nullptr);
         MakeWideFile(Wide(s.temp.path()) + kNonAnsi + L"-dir\\" + kNonAnsi);
       },
       [](Scene&) { return Strings{}; },
       [](Scene&) { return Strings{}; },
       3,
       [](Scene& s) {
         return !WideExists(Wide(s.temp.path()) + kNonAnsi) &&
                !WideExists(Wide(s.temp.path()) + kNonAnsi + L"-dir") &&
                !WideExists(Wide(Bare(s.temp.path())) + kDeep.substr(0, 121));
       }},
  };
  for (const Shape& shape : shapes) {
    SCOPED_TRACE(shape.name);
    Scene scene;
    shape.make(scene);
    const std::string target = scene.target.empty() ? scene.temp.path() : scene.target;
    // The preview first: it must leave everything for the pass to find.
    ItemTally preview, pass;
    EmptyChosenFolder(target, &scene.pending, {scene.profile.path()}, CleanMode::kPreview, preview);
    EmptyChosenFolder(target, &scene.pending, {scene.profile.path()}, CleanMode::kPass, pass);
    EXPECT_EQ(pass.count, shape.count);
    EXPECT_EQ(preview.count, pass.count);
    EXPECT_EQ(preview.bytes, pass.bytes);
    for (const std::string& path : shape.survive(scene)) EXPECT_TRUE(FileExists(path)) << path;
    for (const std::string& path : shape.gone(scene)) EXPECT_FALSE(FileExists(path)) << path;
    EXPECT_TRUE(shape.also(scene));
    scene.held.reset();
    scene.links.clear();
  }
}

TEST(AfterRestartCommand, IsTheShortPathWithTheOption) {
  const std::string command = AfterRestartCommand();
  EXPECT_EQ(command, ProgramShortPath() + " /cleanup");
  EXPECT_EQ(command, LowerAscii(command));
  EXPECT_TRUE(FileExists(command.substr(0, command.size() - 9)));
}

}  // namespace
}  // namespace sentrova
