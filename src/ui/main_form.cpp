#include "ui/main_form.h"

#include <atomic>
#include <mutex>
#include <string>
#include <utility>

#include "branding/translate.h"
#include "dialogs/browser_windows.h"
#include "platform/foreground.h"
#include "platform/guard.h"
#include "state/process_state.h"
#include "state/program_actions.h"

namespace sentrova {

namespace {

// Posted to the window by other threads: show or hide the tray icon as
// last asked.
constexpr UINT kApplyTrayMessage = WM_APP + 0x201;
// Posted by the busy indicator: wParam 1 busy, 0 idle.
constexpr UINT kBusyMessage = WM_APP + 0x202;
// Posted by the busy indicator when a pass has ended; the line waits in it.
constexpr UINT kCleanEndedMessage = WM_APP + 0x203;

IconHandle LoadOwnIcon(const char* name) {
  return IconHandle(static_cast<HICON>(::LoadImageA(::GetModuleHandleA(nullptr), name, IMAGE_ICON,
                                                    ::GetSystemMetrics(SM_CXSMICON),
                                                    ::GetSystemMetrics(SM_CYSMICON), 0)));
}

// Held by the clean-up worker; the form clears the window when it goes.
class PostedBusyIndicator final : public BusyIndicator {
 public:
  explicit PostedBusyIndicator(HWND window) : window_(window) {}
  void ShowBusy() override { Post(1); }
  void ShowIdle() override { Post(0); }
  // The newest line waits here for the window: a post carries no text that
  // a window gone in between would leave behind.
  void CleanUpEnded(const std::string& line) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      line_ = line;
    }
    if (HWND window = window_.load()) ::PostMessageA(window, kCleanEndedMessage, 0, 0);
  }
  std::string TakeLine() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(line_, {});
  }
  void Forget() { window_ = nullptr; }

 private:
  void Post(WPARAM busy) {
    if (HWND window = window_.load()) ::PostMessageA(window, kBusyMessage, busy, 0);
  }
  std::atomic<HWND> window_;
  std::mutex mutex_;
  std::string line_;
};

}  // namespace

TMainForm::TMainForm(TrayNotifier& notifier) : window_(ControlKind::App, nullptr, "VRX") {
  // 1. A window without any visible style: it is never shown.
  Guarded([&] {
    window_.SetStyle(0);
    window_.SetExStyle(0);
    window_.SetClassName("VRXWndClass");
    window_.Handle();
  });
  // 2. The icon (the hook comes last, so that it sees messages before the
  // tray icon's own hook: a WM_CLOSE that it consumes must not hide the icon).
  Guarded([&] { window_.SetIconFromResource("MAINICON"); });
  // 3.
  Guarded([&] { syncMessage_ = ::RegisterWindowMessageA("VRX_SYNC_TIME"); });
  // 4. The tray menu; chosen commands arrive at the window.
  Guarded([&] {
    auto menu = std::make_unique<TMenu>(&window_);
    menu->AddItem(kTrayCleanUpNow, TranslateText("Clean Up Now"));
    menu->AddSeparator();
    menu->AddItem(kTraySettings, TranslateText("Settings"));
    menu->AddItem(kTrayHelp, TranslateText("Help"));
    menu->AddItem(kTrayAbout, TranslateText("About"));
    menu->AddSeparator();
    menu->AddItem(kTrayRemoveIcon, TranslateText("Remove Icon"));
    menu_ = std::move(menu);
    window_.onCommand = [this](TControl&, int command) {
      RunCommand(command);
      return true;
    };
  });
  // 5, 6. The tray icon, hidden, with the product's name as its tip.
  Guarded([&] {
    tray_ = std::make_unique<TTrayIcon>(window_, LoadOwnIcon("MAINICON"), false, notifier);
    tray_->SetTooltip(TranslateText("Sentrova"));
    tray_->onMouse = [this](TTrayIcon&, UINT mouse) { OnTrayMouse(mouse); };
    hasTrayIcon_ = tray_->Icon() != nullptr;
  });
  busy_ = std::make_shared<PostedBusyIndicator>(window_.HandleIfCreated());
  Guarded([&] { window_.AddHook(this, [this](TMessage& m) { return OnMessage(m); }); });
}

TMainForm::~TMainForm() {
  Guarded([&] { static_cast<PostedBusyIndicator&>(*busy_).Forget(); });
  Guarded([&] {
    if (tray_) tray_->SetActive(false);
    tray_.reset();
  });
  Guarded([&] { idleIcon_.reset(); });
  Guarded([&] { menu_.reset(); });
  Guarded([&] { window_.RemoveHook(this); });
  // The window goes with window_.
}

HWND TMainForm::Handle() const { return window_.HandleIfCreated(); }

HACCEL TMainForm::Accelerators() const { return window_.Accelerators(); }

void TMainForm::ShowTrayIcon(bool shown) {
  trayWanted_ = shown;
  const HWND window = Handle();
  if (window == nullptr || !tray_) return;
  if (::GetWindowThreadProcessId(window, nullptr) != ::GetCurrentThreadId()) {
    ::PostMessageA(window, kApplyTrayMessage, 0, 0);
    return;
  }
  ApplyTray();
}

void TMainForm::ApplyTray() {
  if (!tray_) return;
  const bool shown = trayWanted_;
  tray_->SetActive(shown);
  tray_->SetAutoRecreate(shown);
}

bool TMainForm::TrayIconShown() const { return tray_ && tray_->Active(); }

bool TMainForm::OnMessage(TMessage& m) {
  switch (m.message) {
    case WM_CLOSE:
      // The hidden window cannot be closed this way.
      m.result = 0;
      return true;
    case WM_QUERYENDSESSION:
      m.result = 1;
      return true;
    case WM_ENDSESSION:
      // A logoff that was called off after all leaves the program running.
      if (m.wParam == FALSE) return false;
      [[fallthrough]];
    case WM_QUIT:
      // The window closes the default way and the run loop ends.
      m.message = WM_CLOSE;
      m.wParam = 0;
      m.lParam = 0;
      m.result = 0;
      State().Running = false;
      return false;
    case kApplyTrayMessage:
      ApplyTray();
      return true;
    case kBusyMessage:
      ApplyBusy(m.wParam != 0);
      return true;
    case kCleanEndedMessage:
      ShowCleanUpEnded(static_cast<PostedBusyIndicator&>(*busy_).TakeLine());
      return true;
    default:
      return false;
  }
}

void TMainForm::ApplyBusy(bool busy) {
  if (!tray_) return;
  if (busy) {
    if (idleIcon_) return;  // already busy
    IconHandle work = LoadOwnIcon("WORKICON");
    if (work) idleIcon_ = tray_->SetIcon(std::move(work));
  } else if (idleIcon_) {
    tray_->SetIcon(std::move(idleIcon_));  // the busy image comes back and is freed
  }
}

void TMainForm::ShowCleanUpEnded(const std::string& line) {
  // Only a shown icon carries a balloon; a second post of the same pass
  // finds the line taken.
  if (!tray_ || !tray_->Active() || line.empty()) return;
  tray_->ShowBalloon(TranslateText("Sentrova"), line);
}

void TMainForm::OnTrayMouse(UINT mouse) {
  if (mouse != WM_RBUTTONDOWN && mouse != WM_LBUTTONDBLCLK) return;
  Guarded([&] {
    POINT at{};
    ::GetCursorPos(&at);
    // In front, so that the menu closes when the user clicks elsewhere.
    ForceForegroundWindow(Handle());
    if (menu_) menu_->Popup(at.x, at.y);
  });
}

void TMainForm::RunCommand(int command) {
  Guarded([&] {
    switch (command) {
      case kTrayCleanUpNow:
        Actions().StartCleanUp(true);
        break;
      case kTraySettings:
        Actions().OpenSettings();
        break;
      case kTrayHelp:
        OpenInNewBrowser(State().HelpUrl.Get());
        break;
      case kTrayAbout:
        OpenInNewBrowser(State().AboutUrl.Get());
        break;
      case kTrayRemoveIcon:
        Actions().SetTray(false, true);
        if (onTrayRemoved) onTrayRemoved();
        break;
      default:
        break;
    }
  });
}

}  // namespace sentrova
