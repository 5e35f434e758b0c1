#include "monitor/scanner.h"

#include <objbase.h>
#include <process.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "branding/name_value_list.h"
#include "branding/translate.h"
#include "dialogs/ask_layout.h"
#include "dialogs/ask_question.h"
#include "monitor/alert_texts.h"
#include "monitor/change_detection.h"
#include "monitor/change_form.h"
#include "platform/date_time_win.h"
#include "platform/guard.h"
#include "platform/handle.h"
#include "platform/registry.h"
#include "platform/resource_data.h"
#include "platform/system_facts.h"
#include "platform/visual_styles.h"
#include "state/control_objects.h"
#include "state/process_state.h"
#include "toolkit/control.h"
#include "toolkit/message_loop.h"

namespace sentrova {

namespace {

constexpr DWORD kWaitMs = 1000;
constexpr int kTimeoutsPerScan = 20;
constexpr DWORD kScanPauseMs = 2000;
constexpr DWORD kCloseRetryMs = 200;
constexpr DWORD kPredecessorWaitMs = 30000;
constexpr uint8_t kWindows95 = 1;
constexpr int kEventCount = 8;
constexpr char kHomeMon[] = "HOME_MON";
constexpr char kHomeSet[] = "HOME_SET";
constexpr char kHomeUrl[] = "HOME_URL";

// What other threads of the process know of a scanner: its thread and its
// stop request. Kept apart from the scanner object, which frees itself.
struct ScannerControl {
  TVRXScanner* scanner = nullptr;
  KernelHandle thread;
  DWORD threadId = 0;
  std::atomic<bool> stop{false};
  KernelHandle wake;  // set with `stop`; ends the scanner's pauses early
};

std::mutex gControlsMutex;
std::vector<std::shared_ptr<ScannerControl>> gControls;

// A change whose alert the program closed before the user answered it: the
// accepted value stays the old one, so the next scanner of the process
// reports it again. Guarded by gControlsMutex.
struct UnansweredChange {
  int index;
  int zone;
  uint32_t oldValue;
};
std::vector<UnansweredChange> gUnanswered;

std::shared_ptr<ScannerControl> FindControl(TVRXScanner* scanner) {
  std::lock_guard<std::mutex> lock(gControlsMutex);
  for (const auto& c : gControls)
    if (c->scanner == scanner) return c;
  return nullptr;
}

// Answers every open dialog of the thread as if its close box was used: the
// questions say "No", the Detected Changes dialog "Cancel".
void CloseThreadDialogs(DWORD threadId) {
  ::EnumThreadWindows(
      threadId,
      [](HWND window, LPARAM id) CALLBACK -> BOOL {
        if (::GetWindowThreadProcessId(window, nullptr) == static_cast<DWORD>(id) &&
            TControl::FromHandle(window) != nullptr)
          ::PostMessageA(window, WM_CLOSE, 0, 0);
        return TRUE;
      },
      static_cast<LPARAM>(threadId));
}

void RequestStop(ScannerControl& control) {
  control.stop = true;
  if (control.wake) ::SetEvent(control.wake.get());
  // Only while the thread runs: its id then names no other thread (the
  // handle held here keeps the id from being given to a new one).
  if (control.thread && ::WaitForSingleObject(control.thread.get(), 0) == WAIT_TIMEOUT)
    CloseThreadDialogs(control.threadId);
}

// Waits for a scanner's thread, closing its dialogs again and again (a
// question may open after the first close request); true when it ended.
bool WaitForEnd(ScannerControl& control, DWORD timeoutMs) {
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  for (;;) {
    RequestStop(control);
    const ULONGLONG now = ::GetTickCount64();
    const DWORD slice =
        static_cast<DWORD>(std::min<ULONGLONG>(kCloseRetryMs, now < deadline ? deadline - now : 0));
    if (::WaitForSingleObject(control.thread.get(), slice) != WAIT_TIMEOUT) return true;
    if (::GetTickCount64() >= deadline) return false;
  }
}

// A registry key of the scanner, opened (created when missing) for reading,
// writing and change notification. A key that may be read but not written
// is still watched: it is opened for reading (its restores then fail).
RegKey OpenSettingsKey(const std::string& path) {
  HKEY key = nullptr;
  if (::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0,
                        KEY_READ | KEY_WRITE | KEY_NOTIFY, nullptr, &key, nullptr) == ERROR_SUCCESS)
    return RegKey(key);
  if (::RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ | KEY_NOTIFY, &key) ==
      ERROR_SUCCESS)
    return RegKey(key);
  return {};
}

// The raw value; nothing when it does not exist; throws for a registry error.
struct ReadFailure {};
std::optional<RawValue> QueryRaw(HKEY key, const char* name) {
  if (!key) return std::nullopt;
  std::vector<char> data;
  DWORD type = 0;
  // A value that grows while it is read is read again at its new size.
  const LONG rc = QueryValueBytes(QueryOf(key, name), data, type);
  if (rc == ERROR_FILE_NOT_FOUND) return std::nullopt;
  if (rc != ERROR_SUCCESS) throw ReadFailure{};
  return RawValue{type, std::string(data.begin(), data.end())};
}

bool WriteRaw(HKEY key, const char* name, const RawValue& value) {
  if (!key) return false;
  // A text is written with its terminating NUL (c_str() holds one).
  const size_t size = value.bytes.size() + (value.type == reg_type::kString ? 1 : 0);
  return ::RegSetValueExA(key, name, 0, value.type,
                          reinterpret_cast<const BYTE*>(value.bytes.c_str()),
                          static_cast<DWORD>(size)) == ERROR_SUCCESS;
}

// The text of a REG_SZ value up to its first NUL; empty when missing;
// nothing when the value is not a text or cannot be read.
std::optional<std::string> ReadText(HKEY key, const char* name) {
  std::optional<RawValue> raw;
  try {
    raw = QueryRaw(key, name);
  } catch (const ReadFailure&) {
    return std::nullopt;
  }
  if (!raw) return std::string();
  if (raw->type != reg_type::kString && raw->type != reg_type::kExpandString) return std::nullopt;
  return raw->bytes.substr(0, raw->bytes.find('\0'));
}

std::string Translate(std::string_view text) { return TranslateText(text); }

}  // namespace

class TVRXScanner {
 public:
  TVRXScanner(ScannerConfigFactory factory, std::shared_ptr<ScannerControl> control,
              std::vector<std::shared_ptr<ScannerControl>> predecessors);
  ~TVRXScanner();

  static unsigned __stdcall ThreadMain(void* self);

 private:
  // The registry seen through the scanner's six keys.
  class KeyStore final : public SettingStore {
   public:
    explicit KeyStore(TVRXScanner& s) : s_(s) {}
    std::optional<uint32_t> Read(const TMonitoredSetting& setting, int zone) override {
      try {
        if (setting.kind == SettingKind::kDebugger)
          return SettingValue(
              setting.kind, zone,
              zone == 0 ? QueryRaw(s_.mainKey_.get(), kDebuggerValueName) : std::nullopt);
        return SettingValue(setting.kind, zone,
                            QueryRaw(s_.zoneKeys_[zone].get(), setting.valueName.c_str()));
      } catch (const ReadFailure&) {
        return std::nullopt;
      }
    }
    bool Write(const TMonitoredSetting& setting, int zone, uint32_t value) override {
      const RawValue raw = SettingWriteValue(setting.kind, value);
      if (setting.kind == SettingKind::kDebugger)
        return WriteRaw(s_.mainKey_.get(), kDebuggerValueName, raw);
      return WriteRaw(s_.zoneKeys_[zone].get(), setting.valueName.c_str(), raw);
    }

   private:
    TVRXScanner& s_;
  };

  void Body();
  bool Abandoned() const;
  void Pause(DWORD ms);
  void WaitForPredecessors();
  void OpenKeys();
  void ArmNotifications();
  void Reload();
  void Scan();
  void Report();
  static void TellNotUndone();
  void LeaveUnanswered();
  void TakeUnanswered();
  void ShowChangeDetails(TControl& pressedButton);
  void CheckHomePage();
  bool WriteStartPage(const std::string& address);

  std::unique_ptr<ScannerConfig> config_;
  ScannerConfigFactory configFactory_;
  std::string pluginName_ = "VRX";
  uint8_t osKind_;
  std::array<RegKey, kZoneCount> zoneKeys_;
  RegKey mainKey_;
  KernelHandle mainEvent_;
  std::array<KernelHandle, kZoneCount> zoneEvents_;
  std::vector<TMonitoredSetting> catalogue_;
  KernelHandle stopEvent_;
  KernelHandle reloadEvent_;
  std::vector<TChangeAction> changes_;
  bool homeMonitor_ = false;
  bool homeSet_ = false;
  std::string homeUrl_;
  std::string previousHomeUrl_;
  KeyStore store_{*this};
  std::shared_ptr<ScannerControl> control_;
  std::vector<std::shared_ptr<ScannerControl>> predecessors_;
  VisualStyleContext styles_;
  bool comInitialized_ = false;
};

TVRXScanner::TVRXScanner(ScannerConfigFactory factory, std::shared_ptr<ScannerControl> control,
                         std::vector<std::shared_ptr<ScannerControl>> predecessors)
    : configFactory_(std::move(factory)),
      osKind_(OsKind()),
      control_(std::move(control)),
      predecessors_(std::move(predecessors)) {
  OpenKeys();
  catalogue_ = BuildCatalogue();
  stopEvent_ = OpenControlObject(kScannerStopEvent);
  reloadEvent_ = OpenControlObject(kScannerReloadEvent);
  mainEvent_.reset(::CreateEventA(nullptr, FALSE, TRUE, "VRX4Scanner_MainHook"));
  for (int zone = 0; zone < kZoneCount; ++zone)
    zoneEvents_[zone].reset(::CreateEventA(
        nullptr, FALSE, FALSE, ("VRX4Scanner_ScanEvent" + std::to_string(zone)).c_str()));
}

TVRXScanner::~TVRXScanner() {
  config_.reset();
  // The keys go browser main key first, then zones 4 down to 0.
  mainKey_.reset();
  for (int zone = kZoneCount - 1; zone >= 0; --zone) zoneKeys_[zone].reset();
  TVRXScanner* self = this;
  State().Scanner.compare_exchange_strong(self, nullptr);
  std::lock_guard<std::mutex> lock(gControlsMutex);
  gControls.erase(std::remove(gControls.begin(), gControls.end(), control_), gControls.end());
}

unsigned __stdcall TVRXScanner::ThreadMain(void* self) {
  auto* scanner = static_cast<TVRXScanner*>(self);
  Guarded([&] { scanner->Body(); });
  const bool com = scanner->comInitialized_;
  // The object goes first: it holds the host's interface.
  Guarded([&] { delete scanner; });
  if (com) ::CoUninitialize();
  return 0;
}

void TVRXScanner::OpenKeys() {
  for (int zone = 0; zone < kZoneCount; ++zone) {
    zoneKeys_[zone].reset();
    zoneKeys_[zone] = OpenSettingsKey(ZoneKeyPath(zone));
  }
  mainKey_.reset();
  mainKey_ = OpenSettingsKey(kBrowserMainKeyPath);
}

// Waits, cut short by a stop request; a plain sleep when the wake-up event
// could not be made, so that a failing wait never turns into a busy loop.
void TVRXScanner::Pause(DWORD ms) {
  if (!control_->wake || ::WaitForSingleObject(control_->wake.get(), ms) == WAIT_FAILED)
    ::Sleep(ms);
}

// Stopped through the process (shutdown, a successor), or forgotten by the
// run control (the plug-in was switched off while this scanner sat in a
// dialog and missed the stop event).
bool TVRXScanner::Abandoned() const { return control_->stop || State().Scanner.load() != this; }

void TVRXScanner::WaitForPredecessors() {
  if (predecessors_.empty()) return;
  for (const auto& p : predecessors_) WaitForEnd(*p, kPredecessorWaitMs);
  predecessors_.clear();
}

void TVRXScanner::ArmNotifications() {
  // Armed on this thread: Windows drops a registration when its thread ends.
  constexpr DWORD kFilter = REG_NOTIFY_CHANGE_LAST_SET;
  if (mainKey_ && mainEvent_)
    ::RegNotifyChangeKeyValue(mainKey_.get(), FALSE, kFilter, mainEvent_.get(), TRUE);
  for (int zone = 0; zone < kZoneCount; ++zone)
    if (zoneKeys_[zone] && zoneEvents_[zone])
      ::RegNotifyChangeKeyValue(zoneKeys_[zone].get(), FALSE, kFilter, zoneEvents_[zone].get(),
                                TRUE);
}

void TVRXScanner::Body() {
  comInitialized_ = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED));
  WaitForPredecessors();
  // A stop left pending by a scanner that ended otherwise (forgotten by the
  // run control, or stopped by request) is not meant for this one; stops
  // from within the process also reach it through Abandoned().
  if (stopEvent_) ::ResetEvent(stopEvent_.get());
  Guarded([&] { config_ = configFactory_(); });
  // Themed dialogs on this thread; the context stays active until the
  // thread ends.
  Guarded([&] { ActivateVisualStyles(styles_); });
  homeUrl_.clear();
  Reload();
  TakeUnanswered();

  bool firstPass = true;
  int timeouts = 0;
  // The wait list in its order: stop, reload, main key, zones 0..4. An event
  // whose name another kind of object holds could not be made; it is left
  // out, so that the others still wake the scanner and the periodic scan
  // finds what it would have reported.
  enum Slot { kStop, kReload, kMainKey };
  const std::array<HANDLE, kEventCount> events = {
      stopEvent_.get(),     reloadEvent_.get(),   mainEvent_.get(),     zoneEvents_[0].get(),
      zoneEvents_[1].get(), zoneEvents_[2].get(), zoneEvents_[3].get(), zoneEvents_[4].get(),
  };
  std::vector<HANDLE> waitList;
  std::vector<int> slotOf;
  for (int slot = 0; slot < kEventCount; ++slot) {
    if (!events[slot]) continue;
    waitList.push_back(events[slot]);
    slotOf.push_back(slot);
  }
  while (!Abandoned()) {
    if (State().MainWindow.load() != nullptr && State().Running) ProcessMessages();
    changes_.clear();
    if (osKind_ != kWindows95 && timeouts == 0) ArmNotifications();
    if (firstPass) {
      firstPass = false;
      if (mainEvent_) ::SetEvent(mainEvent_.get());
    }
    const DWORD result = ::WaitForMultipleObjects(static_cast<DWORD>(waitList.size()),
                                                  waitList.data(), FALSE, kWaitMs);
    const int slot = result - WAIT_OBJECT_0 < slotOf.size() ? slotOf[result - WAIT_OBJECT_0] : -1;
    const bool timedOut = result == WAIT_TIMEOUT;
    // A wait that failed (nothing to wait on, a broken handle) counts fully
    // as a time-out, after the time a wait would have taken: it never spins
    // and the periodic scan still comes.
    const bool waitFailed = slot < 0 && !timedOut;
    if (waitFailed) Pause(kWaitMs);
    if (slot == kStop) break;
    if (slot == kReload) {
      Reload();
    } else if (slot >= kMainKey || ((timedOut || waitFailed) && ++timeouts >= kTimeoutsPerScan)) {
      timeouts = 0;
      // Writes made during the pause are read by this scan and reported in
      // one alert.
      Pause(kScanPauseMs);
      if (Abandoned()) break;
      Scan();
    }
    Guarded([&] { Report(); });
  }
}

void TVRXScanner::Reload() {
  Guarded([&] {
    previousHomeUrl_ = homeUrl_;
    if (!config_) {
      homeMonitor_ = false;
      for (TMonitoredSetting& s : catalogue_) s.enabled = false;
      return;
    }
    homeUrl_ = config_->ReadStr(kHomeUrl);
    homeMonitor_ = config_->ReadBool(kHomeMon);
    homeSet_ = config_->ReadBool(kHomeSet);
    ReloadSnapshot(catalogue_, store_,
                   [&](std::string_view key) { return config_->ReadBool(key); });
    CheckHomePage();
  });
}

void TVRXScanner::Scan() {
  Guarded([&] { CheckHomePage(); });
  for (int zone = 0; zone < kZoneCount; ++zone)
    Guarded([&] { CheckZone(zone, catalogue_, store_, changes_); });
}

void TVRXScanner::Report() {
  if (changes_.empty()) return;
  // A scanner that is being stopped asks nothing and accepts nothing.
  if (Abandoned()) return LeaveUnanswered();
  Guarded([] { WriteRegFloat(HKEY_CURRENT_USER, "SOFTWARE\\Toolbar", "AsQ", false, NowLocal()); });
  bool noCheckbox = false;
  const bool restore = GuardedOr(false, [&] {
    // Option code 3 in front of the heading: no check box.
    std::string heading(1, '\x03');
    heading.append(TranslateText("Restore original Internet Explorer security settings?"));
    return AskQuestion(TranslateText("Sentrova - Security Settings Changed"), heading,
                       SecurityAlertMessage(Translate), "", "ASKRESTORE", noCheckbox, "",
                       "Details...", [this](TControl& pressed) { ShowChangeDetails(pressed); });
  });
  // A question the program closed (shutdown, a successor) is no answer:
  // nothing is restored, nothing accepted.
  const bool closedByProgram = control_->stop;
  if (closedByProgram) return LeaveUnanswered();
  Guarded([&] { OpenKeys(); });
  const std::vector<size_t> notUndone = ApplyAnswer(restore, changes_, catalogue_, store_);
  // The values that stayed are accepted all the same (so they are not
  // reported again), but the user who asked for them to be undone is told.
  if (!notUndone.empty() && !Abandoned()) Guarded([] { TellNotUndone(); });
}

// An information with one "OK", on the scanner's thread like the alert, so
// that stopping the scanner closes it too.
void TVRXScanner::TellNotUndone() {
  const std::string heading =
      std::string{static_cast<char>(kOptionInfoOnly), static_cast<char>(kOptionNoCheckbox)} +
      TranslateText("Some settings could not be restored");
  const std::string body =
      TranslateText("Sentrova could not undo some of the changes in Internet Explorer security "
                    "settings: the settings may not be changed by your user account, or another "
                    "program changed them again.") +
      "\r\n\r\n" +
      TranslateText("Sentrova will not report these changes again.");
  bool unused = false;
  AskQuestionSimple(TranslateText("Sentrova - Security Settings Changed"), heading, body, "",
                    "ASKRESTORE", unused);
}

// The changes stay unanswered for the next scanner of the process, which
// keeps their old values as accepted and so reports them again.
void TVRXScanner::LeaveUnanswered() {
  std::lock_guard<std::mutex> lock(gControlsMutex);
  for (const TChangeAction& c : changes_) gUnanswered.push_back({c.index, c.zone, c.oldValue});
  changes_.clear();
}

void TVRXScanner::TakeUnanswered() {
  std::vector<UnansweredChange> taken;
  {
    std::lock_guard<std::mutex> lock(gControlsMutex);
    taken.swap(gUnanswered);
  }
  for (const UnansweredChange& u : taken) {
    if (u.index < 0 || static_cast<size_t>(u.index) >= catalogue_.size()) continue;
    TMonitoredSetting& s = catalogue_[u.index];
    if (s.enabled) s.snapshot[u.zone] = u.oldValue;
  }
}

void TVRXScanner::ShowChangeDetails(TControl& pressedButton) {
  Guarded([&] {
    // Only labelled changes get a row; the others keep their restore mark.
    NameValueList labels;
    if (const std::optional<std::string> bytes = LoadRcData("LABELS"))
      labels = NameValueList(*bytes);
    TChangeForm form(pressedButton.FormOf());
    for (size_t i = 0; i < changes_.size(); ++i) {
      const TChangeAction& c = changes_[i];
      if (!labels.Value(c.key).empty())
        form.AddChangeRow(static_cast<int>(i), c.oldText, c.newText, c.key, c.selected);
    }
    if (form.ShowModal() != kChangeFormOk) return;
    for (const TChangeForm::RowMark& mark : form.Marks())
      if (mark.changeIndex >= 0 && static_cast<size_t>(mark.changeIndex) < changes_.size())
        changes_[mark.changeIndex].selected = mark.ticked;
  });
}

bool TVRXScanner::WriteStartPage(const std::string& address) {
  return WriteRaw(mainKey_.get(), kStartPageValueName, RawValue{reg_type::kString, address});
}

void TVRXScanner::CheckHomePage() {
  if (!config_) return;
  const std::optional<bool> hostReady = config_->ReadHostBool("AFA_DONE");
  if (!hostReady || !*hostReady || !homeMonitor_) return;
  if (homeUrl_.empty()) {
    // While no address is monitored, the browser's current one is adopted.
    Guarded([&] {
      const std::optional<std::string> startPage = ReadText(mainKey_.get(), kStartPageValueName);
      if (!startPage) return;
      homeUrl_ = *startPage;
      config_->WriteStr(kHomeUrl, homeUrl_);
    });
    return;
  }
  // A start page that is not a text cannot be compared: the check ends.
  const std::optional<std::string> startPage = ReadText(mainKey_.get(), kStartPageValueName);
  if (!startPage) return;
  const HomePageAction action = DecideHomePage(homeUrl_, previousHomeUrl_, *startPage, homeSet_);
  if (action == HomePageAction::kNone || Abandoned()) return;
  if (action == HomePageAction::kResetSilently) {
    WriteStartPage(homeUrl_);
    return;
  }
  const std::string shown = ReadText(mainKey_.get(), kStartPageValueName).value_or(*startPage);
  Guarded(
      [] { WriteRegFloat(HKEY_CURRENT_USER, "Software\\Quillbox\\", "AsQ", false, NowLocal()); });
  bool restoreWithoutAsking = false;
  const bool answer = AskQuestion(
      TranslateText("Sentrova - Homepage Change Alert!"), TranslateText("Homepage Change Alert!"),
      HomePageMessage(action == HomePageAction::kAskSettings, HomePageDisplayForm(homeUrl_),
                      HomePageDisplayForm(shown), Translate),
      "", "ASKHOMEPAGE", restoreWithoutAsking, TranslateText("Next time restore without asking"));
  // A question the program closed (shutdown, a successor) is no answer:
  // nothing is stored, and the next check asks again.
  const bool closedByProgram = control_->stop;
  if (closedByProgram) return;
  if (restoreWithoutAsking) {
    homeSet_ = true;
    config_->WriteBool(kHomeSet, true);
  }
  if (answer) {
    WriteStartPage(homeUrl_);
  } else {
    homeUrl_ = shown;
    config_->WriteStr(kHomeUrl, homeUrl_);
  }
}

TVRXScanner* StartScannerThread(ScannerConfigFactory configFactory) {
  auto control = std::make_shared<ScannerControl>();
  control->wake.reset(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
  std::vector<std::shared_ptr<ScannerControl>> predecessors;
  {
    std::lock_guard<std::mutex> lock(gControlsMutex);
    predecessors = gControls;
  }
  for (const auto& p : predecessors) RequestStop(*p);
  auto scanner =
      std::make_unique<TVRXScanner>(std::move(configFactory), control, std::move(predecessors));
  unsigned threadId = 0;
  const uintptr_t thread = ::_beginthreadex(nullptr, 0, &TVRXScanner::ThreadMain, scanner.get(),
                                            CREATE_SUSPENDED, &threadId);
  if (thread == 0) throw std::runtime_error("scanner thread not started");
  control->thread.reset(reinterpret_cast<HANDLE>(thread));
  control->threadId = threadId;
  control->scanner = scanner.get();
  {
    std::lock_guard<std::mutex> lock(gControlsMutex);
    gControls.push_back(control);
  }
  TVRXScanner* started = scanner.release();
  // Recorded before the thread runs, so that it never finds itself forgotten.
  State().Scanner = started;
  ::ResumeThread(control->thread.get());
  return started;
}

bool StopScannerAndWait(TVRXScanner* scanner, DWORD timeoutMs) {
  const std::shared_ptr<ScannerControl> control = FindControl(scanner);
  if (!control) return true;
  return WaitForEnd(*control, timeoutMs);
}

bool ReleaseLabelsAfterScanners() {
  // Under the lock a scanner takes to register: none starts meanwhile.
  std::lock_guard<std::mutex> lock(gControlsMutex);
  if (!gControls.empty()) return false;
  State().LabelsList.clear();
  return true;
}

bool SignalScannerReload() { return SignalEvent(kScannerReloadEvent); }

}  // namespace sentrova
