// ctest: serial
// The scanner against the real registry of the test prefix and its real
// windows: the browser's zone and main keys, the named scanner events and
// HKLM's AFA_DONE are shared, so these tests run alone. The host's
// configuration is an in-memory double of the interface the scanner takes.
#include <gtest/gtest.h>
#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>

#include "monitor/catalogue.h"
#include "monitor/scanner.h"
#include "state/control_objects.h"
#include "state/process_state.h"
#include "support/win_support.h"

namespace sentrova {
namespace {

// A bound for failures only: a change is always found within one periodic
// scan (about 22 s), however busy the machine.
constexpr DWORD kWindowWaitMs = 60000;
constexpr char kAlert[] = "Sentrova - Security Settings Changed";
constexpr char kDetails[] = "Sentrova - Detected Changes";
constexpr char kHomeAlert[] = "Sentrova - Homepage Change Alert!";

// Texts by key; a boolean is "1" or "0" and reads true when missing.
struct Store {
  std::mutex mutex;
  std::map<std::string, std::string> values;
  bool toolbarReady = false;
  // Snapshot reloads done: each reads HOME_MON first and ends with the home
  // page check, the only reader of the host's flag.
  std::atomic<bool> reloading{false};
  std::atomic<int> reloads{0};
  // Scanners holding their configuration, and how many did when the last
  // one was made (its predecessors still running then).
  std::atomic<int> liveConfigs{0};
  std::atomic<int> liveAtLastStart{-1};
  void Set(const std::string& key, std::string value) {
    std::lock_guard<std::mutex> lock(mutex);
    values[key] = std::move(value);
  }
  std::string Value(std::string_view key) {
    std::lock_guard<std::mutex> lock(mutex);
    return values[std::string(key)];
  }
};

class FakeConfig final : public ScannerConfig {
 public:
  explicit FakeConfig(std::shared_ptr<Store> s) : s_(std::move(s)) {
    s_->liveAtLastStart = s_->liveConfigs++;
  }
  ~FakeConfig() override { --s_->liveConfigs; }
  bool ReadBool(std::string_view key) override {
    if (key == "HOME_MON") s_->reloading = true;
    return s_->Value(key) != "0";
  }
  std::string ReadStr(std::string_view key) override { return s_->Value(key); }
  void WriteBool(std::string_view key, bool v) override {
    s_->Set(std::string(key), v ? "1" : "0");
  }
  void WriteStr(std::string_view key, std::string_view v) override {
    s_->Set(std::string(key), std::string(v));
  }
  std::optional<bool> ReadHostBool(std::string_view) override {
    if (s_->reloading.exchange(false)) ++s_->reloads;
    return s_->toolbarReady;
  }

 private:
  std::shared_ptr<Store> s_;
};

// The registry values the tests touch, saved before and put back after.
struct Place {
  std::string key;
  const char* name;
};
const Place kTouched[] = {
    {ZoneKeyPath(1), "1A02"},
    {ZoneKeyPath(3), "1A02"},
    {ZoneKeyPath(3), "1A03"},
    {ZoneKeyPath(3), "1A05"},
    {ZoneKeyPath(3), "1A06"},
    {ZoneKeyPath(3), "1C00"},
    {ZoneKeyPath(3), "1206"},
    {kBrowserMainKeyPath, kDebuggerValueName},
    {kBrowserMainKeyPath, kStartPageValueName},
};

void Put(const std::string& key, const char* name, DWORD type, const std::string& bytes) {
  ::RegSetKeyValueA(HKEY_CURRENT_USER, key.c_str(), name, type, bytes.data(),
                    static_cast<DWORD>(bytes.size()));
}
void PutDword(int zone, const char* name, DWORD v) {
  Put(ZoneKeyPath(zone), name, REG_DWORD, std::string(reinterpret_cast<char*>(&v), 4));
}
void PutText(const char* name, const std::string& text) {
  Put(kBrowserMainKeyPath, name, REG_SZ, text + '\0');
}
std::optional<RawValue> Get(const std::string& key, const char* name) {
  char buffer[512];
  DWORD type = 0, size = sizeof buffer;
  if (::RegGetValueA(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &type, buffer,
                     &size) != ERROR_SUCCESS)
    return std::nullopt;
  return RawValue{type, std::string(buffer, size)};
}
DWORD GetDword(int zone, const char* name) {
  auto raw = Get(ZoneKeyPath(zone), name);
  return raw && raw->type == REG_DWORD ? *reinterpret_cast<const DWORD*>(raw->bytes.data()) : ~0u;
}
// The scanner writes its restores after the question has gone: the value
// that it writes is waited for.
::testing::AssertionResult Becomes(int zone, const char* name, DWORD value) {
  if (test::WaitFor([&] { return GetDword(zone, name) == value; }, kWindowWaitMs))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << name << " is " << GetDword(zone, name);
}
::testing::AssertionResult Becomes(const char* name, const std::string& bytes) {
  auto now = [&] { return Get(kBrowserMainKeyPath, name).value_or(RawValue{}).bytes; };
  if (test::WaitFor([&] { return now() == bytes; }, kWindowWaitMs))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << name << " is " << now();
}

HWND WaitWindow(const char* caption, DWORD ms = kWindowWaitMs) {
  HWND found = nullptr;
  // Shown, not just made: a dialog's window exists while its rows are added.
  test::WaitFor(
      [&] { return (found = ::FindWindowA(nullptr, caption)) && ::IsWindowVisible(found); }, ms);
  if (found && !::IsWindowVisible(found)) found = nullptr;
  return found;
}
// A control anywhere below `parent` whose caption holds `caption` (is it, with `exact`).
HWND FindChild(HWND parent, const char* caption, bool exact = true) {
  struct Search {
    const char* caption;
    bool exact;
    HWND found;
  } search{caption, exact, nullptr};
  ::EnumChildWindows(
      parent,
      [](HWND child, LPARAM p) CALLBACK -> BOOL {
        auto* s = reinterpret_cast<Search*>(p);
        char text[1024] = {};
        ::GetWindowTextA(child, text, sizeof text);
        std::string found(text);
        std::erase(found, '&');  // a button's mnemonic mark
        if (s->exact ? found == s->caption : found.find(s->caption) != std::string::npos)
          s->found = child;
        return s->found == nullptr;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}
HWND Button(HWND parent, const char* caption) {
  HWND button = nullptr;
  test::WaitFor([&] { return (button = FindChild(parent, caption)) != nullptr; }, kWindowWaitMs);
  EXPECT_NE(button, nullptr) << caption;
  return button;
}
// A click whose handler opens a dialog of its own: posted, not waited for.
void Click(HWND parent, const char* caption) {
  if (HWND button = Button(parent, caption)) ::PostMessageA(button, BM_CLICK, 0, 0);
}
// A click that the dialog has handled when this returns.
void Press(HWND parent, const char* caption) {
  if (HWND button = Button(parent, caption)) ::SendMessageA(button, BM_CLICK, 0, 0);
}

// The question has gone. A write after this is reported: by the change
// notification that the scanner arms again, or by the periodic scan if the
// write came first.
bool Answered(HWND question) {
  return test::WaitFor([&] { return !::IsWindow(question); }, kWindowWaitMs);
}

// A row as "[x] old>new label".
using Row = std::string;
HWND ListOf(HWND dialog) { return ::FindWindowExA(dialog, nullptr, "obj_SysListView32", nullptr); }
std::vector<Row> Rows(HWND dialog) {
  HWND list = ListOf(dialog);
  std::vector<Row> rows;
  const int count = static_cast<int>(::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    auto cell = [&](int column) {
      char text[300] = {};
      LVITEMA item{};
      item.iSubItem = column;
      item.pszText = text;
      item.cchTextMax = sizeof text - 1;
      ::SendMessageA(list, LVM_GETITEMTEXTA, i, reinterpret_cast<LPARAM>(&item));
      return std::string(text);
    };
    const auto state = ::SendMessageA(list, LVM_GETITEMSTATE, i, LVIS_STATEIMAGEMASK);
    rows.push_back(((state >> 12) == 2 ? "[x] " : "[ ] ") + cell(1) + ">" + cell(2) + " " +
                   cell(3));
  }
  return rows;
}
// Opens "Details..." of the alert (which it disables meanwhile), reads the
// rows, unticks one if asked, presses `first` if given, closes with `button`
// and waits for the alert to be enabled again.
std::vector<Row> Details(HWND alert, const char* button = "Cancel", int untick = -1,
                         const char* first = nullptr) {
  Click(alert, "Details...");
  HWND details = WaitWindow(kDetails);
  EXPECT_NE(details, nullptr);
  if (!details) return {};
  EXPECT_FALSE(::IsWindowEnabled(alert));
  std::vector<Row> rows = Rows(details);
  if (untick >= 0) {
    LVITEMA item{};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(1);
    ::SendMessageA(ListOf(details), LVM_SETITEMSTATE, untick, reinterpret_cast<LPARAM>(&item));
  }
  if (first) Press(details, first);
  Press(details, button);
  EXPECT_TRUE(test::WaitFor([&] { return ::IsWindowEnabled(alert); }, kWindowWaitMs));
  return rows;
}

class Scanner : public ::testing::Test {
 protected:
  // The question dialog shows only once the toolbar host is set up; the
  // machine's flag is put back as it was found.
  static void SetUpTestSuite() {
    hostFlag_ = std::make_unique<test::HostFlag>();
    test::HostFlag::Set(1);
  }
  static void TearDownTestSuite() { hostFlag_.reset(); }
  static inline std::unique_ptr<test::HostFlag> hostFlag_;

  void SetUp() override {
    for (const Place& p : kTouched) saved_.push_back(Get(p.key, p.name));
    PutDword(1, "1A02", 0);
    for (const char* name : {"1A02", "1A03", "1A05", "1A06"}) PutDword(3, name, 0);
    PutText(kDebuggerValueName, "yes");
    store_->Set("HOME_MON", "0");
    State().LabelsList = {"M_COOKIE_1=Write first-party cookies"};
    KernelHandle stop = OpenControlObject(kScannerStopEvent);
    ::ResetEvent(stop.get());
  }
  void TearDown() override {
    if (TVRXScanner* running = State().Scanner) EXPECT_TRUE(StopScannerAndWait(running, 10000));
    for (size_t i = 0; i < saved_.size(); ++i) {
      if (saved_[i])
        Put(kTouched[i].key, kTouched[i].name, saved_[i]->type, saved_[i]->bytes);
      else
        ::RegDeleteKeyValueA(HKEY_CURRENT_USER, kTouched[i].key.c_str(), kTouched[i].name);
    }
  }
  // Starts a scanner and waits until it holds its snapshot: a change after
  // this is reported.
  void Start() {
    const int reloads = store_->reloads;
    scanner_ = StartScannerThread([s = store_] { return std::make_unique<FakeConfig>(s); });
    ASSERT_TRUE(test::WaitFor([&] { return store_->reloads > reloads; }, kWindowWaitMs));
  }
  // Signals a reload and waits until it has run.
  void Reload() {
    const int reloads = store_->reloads;
    ASSERT_TRUE(SignalScannerReload());
    ASSERT_TRUE(test::WaitFor([&] { return store_->reloads > reloads; }, kWindowWaitMs));
  }
  HWND Alert() {
    HWND alert = WaitWindow(kAlert);
    EXPECT_NE(alert, nullptr);
    return alert;
  }
  // Answers and waits until the question has gone. A simulated click is a
  // press and a release; another program's window taking the focus between
  // them (ctest runs Wine tests side by side on one display) makes the
  // button drop it. The click is then given again: the first answer stands.
  void Answer(HWND question, const char* button) {
    for (int attempt = 0; attempt < 10 && ::IsWindow(question); ++attempt) {
      Press(question, button);
      if (test::WaitFor([&] { return !::IsWindow(question); }, 3000)) return;
    }
    EXPECT_TRUE(Answered(question)) << button;
  }
  // What the scan after `rewrite` reports: a fresh change of M_COOKIE_SES3
  // must come alone, so the rewritten settings are settled.
  void ExpectSettledAfter(void (*rewrite)()) {
    rewrite();
    PutDword(3, "1A06", 3);
    HWND alert = Alert();
    if (!alert) return;
    const std::vector<Row> rows = Details(alert);
    EXPECT_EQ(rows, std::vector<Row>{"[x] Enable>Disable M_COOKIE_SES3"});
    Answer(alert, "No");
  }

  std::shared_ptr<Store> store_ = std::make_shared<Store>();
  TVRXScanner* scanner_ = nullptr;
  std::vector<std::optional<RawValue>> saved_;
};

TEST_F(Scanner, OneChangeOneAlertAndNoKeepsIt) {
  Start();
  PutDword(3, "1A02", 3);
  HWND alert = Alert();
  ASSERT_NE(alert, nullptr);
  const std::vector<Row> rows = Details(alert);
  EXPECT_EQ(rows, std::vector<Row>{"[x] Enable>Disable Write first-party cookies"});
  Answer(alert, "No");
  EXPECT_EQ(GetDword(3, "1A02"), 3u);
  ExpectSettledAfter([] { PutDword(3, "1A02", 3); });
}

TEST_F(Scanner, ThreeChangesOneAlertUntickedOneKeptForGood) {
  Start();
  PutDword(1, "1A02", 1);
  PutDword(3, "1A03", 3);
  PutDword(3, "1A05", 1);
  HWND alert = Alert();
  ASSERT_NE(alert, nullptr);
  const std::vector<Row> rows = Details(alert, "OK", 1);
  // Zone 1 first, then zone 3 in catalogue order; a key without a line in
  // the process's labels list shows itself.
  EXPECT_EQ(rows,
            (std::vector<Row>{"[x] Enable>Prompt Write first-party cookies",
                              "[x] Enable>Disable M_COOKIE_SES1", "[x] Enable>Prompt M_COOKIE_3"}));
  Answer(alert, "Yes");
  EXPECT_TRUE(Becomes(3, "1A05", 0));
  EXPECT_TRUE(Becomes(1, "1A02", 0));
  EXPECT_EQ(GetDword(3, "1A03"), 3u);
  ExpectSettledAfter([] { PutDword(3, "1A03", 3); });
}

TEST_F(Scanner, JavaBytesComeBackAsIntegerAndDebuggerCaseMatters) {
  Put(ZoneKeyPath(3), "1C00", REG_BINARY, std::string("\0\0\1\0", 4));
  Start();
  PutDword(3, "1C00", 0x30000);
  PutText(kDebuggerValueName, "Yes");
  HWND alert = Alert();
  ASSERT_NE(alert, nullptr);
  const std::vector<Row> rows = Details(alert);  // the debugger's zone 0 first
  EXPECT_EQ(rows, (std::vector<Row>{"[x] Enable>Disable M_ADV_DISSCRIPT",
                                    "[x] High safety>Low safety M_JAVA_PERM"}));
  Answer(alert, "Yes");
  EXPECT_TRUE(Becomes(3, "1C00", 0x10000));
  EXPECT_TRUE(Becomes(kDebuggerValueName, std::string("yes\0", 4)));
}

TEST_F(Scanner, UnreadableValueReportedOnceAsUnknown) {
  Start();
  Put(ZoneKeyPath(3), "1A02", REG_SZ, std::string("3\0", 2));
  HWND alert = Alert();
  ASSERT_NE(alert, nullptr);
  const std::vector<Row> rows = Details(alert);
  EXPECT_EQ(rows, std::vector<Row>{"[x] Enable>Unknown Write first-party cookies"});
  Answer(alert, "No");
  // The scanner lives on and reports the next change, but not the old one.
  ExpectSettledAfter([] {});
}

TEST_F(Scanner, AForgottenScannerInADialogGivesWayToItsSuccessorWhichAsksAgain) {
  Start();
  PutDword(3, "1A02", 3);
  HWND closed = Alert();
  ASSERT_NE(closed, nullptr);
  // The plug-in is switched off (the run control forgets the scanner and
  // signals the stop event) and on again while the alert is open.
  State().Scanner = nullptr;
  ASSERT_TRUE(SignalEvent(kScannerStopEvent));
  TVRXScanner* successor =
      StartScannerThread([s = store_] { return std::make_unique<FakeConfig>(s); });
  ASSERT_TRUE(Answered(closed));
  // The successor began once its predecessor had ended: exactly one monitors.
  ASSERT_TRUE(test::WaitFor([&] { return store_->liveAtLastStart >= 0; }, kWindowWaitMs));
  EXPECT_EQ(store_->liveAtLastStart, 0);
  EXPECT_EQ(State().Scanner.load(), successor);
  // The closed alert was no answer: nothing was restored, and the successor
  // asks again.
  EXPECT_EQ(GetDword(3, "1A02"), 3u);
  HWND again = Alert();
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(Details(again), std::vector<Row>{"[x] Enable>Disable Write first-party cookies"});
  Answer(again, "Yes");
  EXPECT_TRUE(Becomes(3, "1A02", 0));
  EXPECT_TRUE(StopScannerAndWait(successor, 10000));
}

TEST_F(Scanner, StoppedWithAnOpenAlertItEndsAndAcceptsNothing) {
  Start();
  PutDword(3, "1A05", 3);
  ASSERT_NE(Alert(), nullptr);
  // The labels stay while the scanner's thread may still show them.
  EXPECT_FALSE(ReleaseLabelsAfterScanners());
  EXPECT_FALSE(State().LabelsList.empty());
  // Shutdown closes the open alert, so the wait ends.
  EXPECT_TRUE(StopScannerAndWait(scanner_, 5000));
  EXPECT_EQ(State().Scanner.load(), nullptr);
  EXPECT_TRUE(ReleaseLabelsAfterScanners() && State().LabelsList.empty());
  EXPECT_EQ(GetDword(3, "1A05"), 3u);
  // The next scanner asks about it again.
  Start();
  HWND again = Alert();
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(Details(again), std::vector<Row>{"[x] Enable>Disable M_COOKIE_3"});
  Answer(again, "No");
  // The stop event alone ends a waiting scanner within a wait.
  ASSERT_TRUE(SignalEvent(kScannerStopEvent));
  EXPECT_TRUE(test::WaitFor([] { return State().Scanner.load() == nullptr; }, 10000));
}

TEST_F(Scanner, AChangeIsFoundWithoutNotificationsEvenWhenEveryWaitFails) {
  struct Case {
    const char* what;
    std::vector<const char*> taken;  // event names held by other kinds of objects
  };
  const Case cases[] = {
      {"no notification of zone 3", {"VRX4Scanner_ScanEvent3"}},
      {"every wait fails",
       {"VRX4Scanner_StopEvent", "VRX4Scanner_ReloadEvent", "VRX4Scanner_MainHook",
        "VRX4Scanner_ScanEvent0", "VRX4Scanner_ScanEvent1", "VRX4Scanner_ScanEvent2",
        "VRX4Scanner_ScanEvent3", "VRX4Scanner_ScanEvent4"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<KernelHandle> squatters;
    for (const char* name : c.taken) {
      squatters.emplace_back(::CreateMutexA(nullptr, FALSE, name));
      ASSERT_TRUE(squatters.back()) << name;
      ASSERT_NE(::GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS)) << name;
    }
    Start();
    PutDword(3, "1A02", 3);
    HWND alert = Alert();
    ASSERT_NE(alert, nullptr);
    Answer(alert, "Yes");
    EXPECT_TRUE(Becomes(3, "1A02", 0));
    ASSERT_TRUE(StopScannerAndWait(scanner_, 10000));
  }
}

// An abandoned start-page question stores nothing: the next start asks again.
TEST_F(Scanner, AStartPageQuestionClosedAtShutdownIsAskedAgain) {
  store_->Set("HOME_MON", "1");
  store_->Set("HOME_SET", "0");
  store_->Set("HOME_URL", "http://home.example/");
  store_->toolbarReady = true;
  PutText(kStartPageValueName, "http://home.example/");
  Start();
  PutText(kStartPageValueName, "http://hijack.example/");
  HWND question = WaitWindow(kHomeAlert);
  ASSERT_NE(question, nullptr);
  ASSERT_TRUE(StopScannerAndWait(scanner_, 5000));
  EXPECT_EQ(store_->Value("HOME_URL"), "http://home.example/");
  EXPECT_EQ(store_->Value("HOME_SET"), "0");
  EXPECT_EQ(Get(kBrowserMainKeyPath, kStartPageValueName)->bytes,
            std::string("http://hijack.example/\0", 23));
  Start();
  question = WaitWindow(kHomeAlert);
  ASSERT_NE(question, nullptr);
  Answer(question, "Yes");
  EXPECT_TRUE(Becomes(kStartPageValueName, std::string("http://home.example/\0", 21)));
}

// A change of the setting without a label is restored with the others but
// shows no row; Select All and Deselect All act on every row.
TEST_F(Scanner, AnUnlabelledChangeIsRestoredWithoutARow) {
  Start();
  PutDword(3, "1206", 3);
  PutDword(3, "1A02", 3);
  HWND alert = Alert();
  ASSERT_NE(alert, nullptr);
  const Row ticked = "[x] Enable>Disable Write first-party cookies";
  const Row unticked = "[ ] Enable>Disable Write first-party cookies";
  EXPECT_EQ(Details(alert, "OK", -1, "Deselect All"), std::vector<Row>{ticked});
  EXPECT_EQ(Details(alert, "OK", -1, "Select All"), std::vector<Row>{unticked});
  EXPECT_EQ(Details(alert, "OK", -1, "Deselect All"), std::vector<Row>{ticked});
  Answer(alert, "Yes");
  EXPECT_TRUE(Becomes(3, "1206", 0));
  EXPECT_EQ(GetDword(3, "1A02"), 3u);
}

// A zone key the user may read but not write is watched all the same. Its
// restore is refused: the user is told so once, and the value that stayed is
// not reported again.
TEST_F(Scanner, AZoneKeyThatCannotBeWrittenIsWatchedAndAFailedRestoreIsTold) {
  HKEY writer = nullptr;  // opened for writing before the key is closed to writes
  ASSERT_EQ(::RegOpenKeyExA(HKEY_CURRENT_USER, ZoneKeyPath(3).c_str(), 0,
                            KEY_SET_VALUE | READ_CONTROL | WRITE_DAC, &writer),
            ERROR_SUCCESS);
  std::vector<BYTE> saved(4096);
  DWORD size = static_cast<DWORD>(saved.size());
  ASSERT_EQ(::RegGetKeySecurity(writer, DACL_SECURITY_INFORMATION, saved.data(), &size),
            ERROR_SUCCESS);
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  ::AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
  std::vector<BYTE> aclBytes(256);
  auto* acl = reinterpret_cast<PACL>(aclBytes.data());
  ::InitializeAcl(acl, static_cast<DWORD>(aclBytes.size()), ACL_REVISION);
  ::AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ, everyone);
  SECURITY_DESCRIPTOR readOnly;
  ::InitializeSecurityDescriptor(&readOnly, SECURITY_DESCRIPTOR_REVISION);
  ::SetSecurityDescriptorDacl(&readOnly, TRUE, acl, FALSE);
  ASSERT_EQ(::RegSetKeySecurity(writer, DACL_SECURITY_INFORMATION, &readOnly), ERROR_SUCCESS);
  HKEY probe = nullptr;
  EXPECT_NE(::RegOpenKeyExA(HKEY_CURRENT_USER, ZoneKeyPath(3).c_str(), 0, KEY_SET_VALUE, &probe),
            ERROR_SUCCESS);
  Start();
  const DWORD three = 3;
  ::RegSetValueExA(writer, "1A02", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&three), 4);
  HWND alert = Alert();
  if (alert) Answer(alert, "Yes");
  // The notice has the alert's caption; the alert itself has gone.
  HWND notice = alert ? WaitWindow(kAlert) : nullptr;
  const bool told = notice && FindChild(notice, "could not undo some of the changes", false);
  if (notice) Answer(notice, "OK");
  ::RegSetKeySecurity(writer, DACL_SECURITY_INFORMATION, saved.data());
  ::RegCloseKey(writer);
  ::FreeSid(everyone);
  EXPECT_NE(alert, nullptr);
  EXPECT_TRUE(told);
  EXPECT_EQ(GetDword(3, "1A02"), 3u);
  ExpectSettledAfter([] {});
}

TEST_F(Scanner, ReloadAfterSwitchingAnEntryOffStopsItsReports) {
  Start();
  store_->Set("M_COOKIE_1", "0");
  Reload();
  ExpectSettledAfter([] { PutDword(3, "1A02", 3); });
}

// The home page check runs first in every scan: a zone change that follows
// proves by its alert that the check has run and asked nothing.
TEST_F(Scanner, HomePageCases) {
  struct Case {
    const char* monitored;
    const char* startPage;
    bool homeSet;
    const char* expectedStartPage;  // after the scan; null: a question is asked
  };
  const Case cases[] = {
      {"http://Home.example/", "  http://home.EXAMPLE ", false, "  http://home.EXAMPLE "},
      {"http://home.example/", "", true, ""},
      {"http://home.example/", "http://other.example/", true, "http://home.example/"},
      {"http://home.example/", "http://other.example/", false, nullptr},
  };
  store_->Set("HOME_MON", "1");
  store_->toolbarReady = true;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.startPage);
    store_->Set("HOME_URL", c.monitored);
    store_->Set("HOME_SET", c.homeSet ? "1" : "0");
    PutText(kStartPageValueName, "http://home.example/");
    Start();
    PutText(kStartPageValueName, c.startPage);
    if (!c.expectedStartPage) {
      HWND question = WaitWindow(kHomeAlert);
      ASSERT_NE(question, nullptr);
      Answer(question, "Yes");
      EXPECT_TRUE(Becomes(kStartPageValueName, std::string("http://home.example/\0", 21)));
    } else {
      PutDword(3, "1A02", 3);
      ASSERT_NE(Alert(), nullptr);
      EXPECT_EQ(::FindWindowA(nullptr, kHomeAlert), nullptr);
      EXPECT_EQ(Get(kBrowserMainKeyPath, kStartPageValueName)->bytes,
                std::string(c.expectedStartPage) + '\0');
      PutDword(3, "1A02", 0);
    }
    ASSERT_TRUE(StopScannerAndWait(scanner_, 10000));
  }
}

// After the user changed the monitored address in the settings, the reload
// brings the settings-case question; "No" gives the browser's page back.
TEST_F(Scanner, SettingsCaseAsksAboutTheNewAddress) {
  store_->Set("HOME_MON", "1");
  store_->Set("HOME_SET", "0");
  store_->toolbarReady = true;
  store_->Set("HOME_URL", "http://old.example/");
  PutText(kStartPageValueName, "http://old.example/");
  Start();
  store_->Set("HOME_URL", "http://new.example/");
  ASSERT_TRUE(SignalScannerReload());
  HWND question = WaitWindow(kHomeAlert);
  ASSERT_NE(question, nullptr);
  EXPECT_NE(FindChild(question, "from \"http://old.example/\" to \"http://new.example/\".", false),
            nullptr);
  Answer(question, "No");
  EXPECT_TRUE(test::WaitFor([&] { return store_->Value("HOME_URL") == "http://old.example/"; },
                            kWindowWaitMs));
}

}  // namespace
}  // namespace sentrova
