#include "toolkit/tray_icon.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

#include "toolkit/control.h"
#include "toolkit/rules.h"

namespace sentrova {

namespace {

class ShellNotifier : public TrayNotifier {
 public:
  bool Notify(DWORD command, const NOTIFYICONDATAA& record) override {
    return ::Shell_NotifyIconA(command, const_cast<NOTIFYICONDATAA*>(&record)) != FALSE;
  }
};

std::atomic<UINT> gNextId{1};

// The process-wide list: made with the first icon and released with the
// last, together with the hook that watches for the taskbar's restart.
struct TrayList {
  std::vector<TTrayIcon*> icons;
  UINT taskbarCreated = 0;
  TControl* hooked = nullptr;  // the window that carries the restart hook
  std::weak_ptr<const bool> hookedAlive;
};
std::mutex gListMutex;
TrayList* gList = nullptr;
const char kRestartHookKey = 0;

std::vector<TTrayIcon*> Snapshot() {
  std::lock_guard lock(gListMutex);
  return gList ? gList->icons : std::vector<TTrayIcon*>{};
}

}  // namespace

TrayNotifier& ShellTray() {
  static ShellNotifier shell;
  return shell;
}

TTrayIcon::TTrayIcon(TControl& owner, IconHandle icon, bool active, TrayNotifier& notifier)
    : owner_(owner),
      ownerAlive_(owner.LifeToken()),
      notifier_(notifier),
      id_(gNextId++),
      icon_(std::move(icon)) {
  {
    std::lock_guard lock(gListMutex);
    if (!gList) gList = new TrayList;
    gList->icons.push_back(this);
  }
  owner_.AddHook(this, [this](TMessage& message) { return OnOwnerMessage(message); });
  SetActive(active);
}

TTrayIcon::~TTrayIcon() {
  SetActive(false);
  const bool ownerAlive = !ownerAlive_.expired();
  if (ownerAlive) owner_.RemoveHook(this);
  std::lock_guard lock(gListMutex);
  if (!gList) return;
  auto& icons = gList->icons;
  icons.erase(std::remove(icons.begin(), icons.end(), this), icons.end());
  if (icons.empty()) {
    if (gList->hooked && !gList->hookedAlive.expired()) gList->hooked->RemoveHook(&kRestartHookKey);
    delete gList;
    gList = nullptr;
  }
}

size_t TTrayIcon::Count() {
  std::lock_guard lock(gListMutex);
  return gList ? gList->icons.size() : 0;
}

void TTrayIcon::Issue(DWORD command) {
  if (ownerAlive_.expired()) return;
  // An add makes the owner's window when needed; nothing of the icon can be
  // shown without one, so the other commands do not.
  const HWND window = command == NIM_ADD ? owner_.Handle() : owner_.HandleIfCreated();
  if (!window) return;
  NOTIFYICONDATAA record{};
  record.cbSize = kTrayRecordSize;
  record.hWnd = window;
  record.uID = id_;
  record.uFlags = command == NIM_DELETE ? 0 : kTrayRecordFlags;
  record.uCallbackMessage = kTrayCallbackMessage;
  record.hIcon = icon_.get();
  const std::string tip = TrayTooltip(tooltip_);
  std::copy(tip.begin(), tip.end(), record.szTip);
  record.szTip[tip.size()] = '\0';
  notifier_.Notify(command, record);  // the shell's refusals change nothing here
}

namespace {

template <size_t N>
void CopyCut(char (&to)[N], const std::string& text) {
  const size_t size = std::min(text.size(), N - 1);
  std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(size), to);
  to[size] = '\0';
}

}  // namespace

bool TTrayIcon::ShowBalloon(const std::string& title, const std::string& text) {
  if (!active_ || !icon_ || ownerAlive_.expired()) return false;
  const HWND window = owner_.HandleIfCreated();
  if (!window) return false;
  NOTIFYICONDATAA record{};
  record.cbSize = kTrayBalloonRecordSize;
  record.hWnd = window;
  record.uID = id_;
  record.uFlags = NIF_INFO;
  CopyCut(record.szInfo, text);
  CopyCut(record.szInfoTitle, title);
  record.uTimeout = 10000;  // the shell keeps it at least ten seconds
  record.dwInfoFlags = NIIF_INFO;
  return notifier_.Notify(NIM_MODIFY, record);
}

void TTrayIcon::SetActive(bool active) {
  if (active == active_) return;
  active_ = active;
  if (icon_ && !ownerAlive_.expired()) Issue(active ? NIM_ADD : NIM_DELETE);
}

IconHandle TTrayIcon::SetIcon(IconHandle icon) {
  if (icon.get() == icon_.get()) {
    icon.release();  // the same handle: it is ours already
    return IconHandle();
  }
  const bool hadIcon = icon_.valid();
  IconHandle previous = std::exchange(icon_, std::move(icon));
  if (active_) Issue(hadIcon ? NIM_MODIFY : NIM_ADD);
  return previous;
}

void TTrayIcon::SetTooltip(std::string tooltip) {
  if (tooltip == tooltip_) return;
  tooltip_ = std::move(tooltip);
  if (active_) Issue(NIM_MODIFY);
}

void TTrayIcon::SetAutoRecreate(bool autoRecreate) {
  autoRecreate_ = autoRecreate;
  if (!autoRecreate) return;
  // The shell broadcasts "TaskbarCreated" to top-level windows when its
  // taskbar comes back; the application window (or, lacking one, this
  // icon's owner) listens for it on behalf of every icon.
  std::lock_guard lock(gListMutex);
  if (!gList || gList->hooked) return;
  gList->taskbarCreated = ::RegisterWindowMessageA("TaskbarCreated");
  TControl* listener = Application() ? Application() : &owner_;
  const UINT restart = gList->taskbarCreated;
  listener->AddHook(&kRestartHookKey, [restart](TMessage& message) {
    if (restart == 0 || message.message != restart) return false;
    for (TTrayIcon* icon : Snapshot()) {
      if (icon->autoRecreate_ && icon->active_) {
        // Re-add: cleared without a delete (the old taskbar took it along).
        icon->active_ = false;
        icon->SetActive(true);
      }
    }
    return false;
  });
  gList->hooked = listener;
  gList->hookedAlive = listener->LifeToken();
}

bool TTrayIcon::OnOwnerMessage(TMessage& message) {
  if (message.message == kTrayCallbackMessage) {
    if (message.wParam != id_) return false;  // another icon of this owner
    if (onMouse) onMouse(*this, static_cast<UINT>(message.lParam));
    message.result = 0;
    return true;
  }
  if (message.message == WM_CLOSE || message.message == WM_NCDESTROY) SetActive(false);
  return false;
}

}  // namespace sentrova
