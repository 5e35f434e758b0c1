// TTrayIcon: one icon in the notification area.
//
//   TTrayIcon tray(mainWindow, std::move(icon), /*active=*/false);
//   tray.SetTooltip("Sentrova");
//   tray.onMouse = [&](TTrayIcon&, UINT mouse) { if (mouse == WM_RBUTTONDOWN) ... };
//   tray.SetActive(true);
//
// Every change goes to the shell as a first-version notification record
// through a TrayNotifier (the shell itself unless one is given): an add when
// the icon appears, a modify when its image or tooltip changes while shown,
// a delete when it disappears, and nothing when a value does not change.
// A balloon goes as a second-version modify carrying only the balloon.
// The owner window's WM_CLOSE and WM_NCDESTROY take the owner's icons out of
// the notification area; after the shell's taskbar restarts
// ("TaskbarCreated"), the shown icons marked for it are added again.
//
// Icons are created and freed on the main thread, which alone changes the
// process-wide list of icons; other threads may change an icon's image.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "platform/handle.h"

namespace sentrova {

class TControl;
struct TMessage;

// The callback message of every tray icon; its lParam is the mouse message.
inline constexpr UINT kTrayCallbackMessage = 0xB008;
// The first-version record's size for this program's word size: up to the
// end of the 64-character tip (88 bytes in a 32-bit program, 104 in a 64-bit
// one, whose handles are wider). A 64-bit shell may refuse the 32-bit size.
// The buffer passed is always a whole NOTIFYICONDATAA, so nothing beyond it
// is read.
inline constexpr DWORD kTrayRecordSize = offsetof(NOTIFYICONDATAA, szTip) + 64;
static_assert(kTrayRecordSize == (sizeof(void*) == 8 ? 104 : 88));
// Flags of add and modify: message, icon and tip.
inline constexpr UINT kTrayRecordFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
// A balloon needs the second version of the record (up to its info flags).
inline constexpr DWORD kTrayBalloonRecordSize = NOTIFYICONDATAA_V2_SIZE;

// Where the records go.
class TrayNotifier {
 public:
  virtual ~TrayNotifier() = default;
  // `command` is NIM_ADD, NIM_MODIFY or NIM_DELETE; false when refused.
  virtual bool Notify(DWORD command, const NOTIFYICONDATAA& record) = 0;
};

// The shell's notification area (Shell_NotifyIconA).
TrayNotifier& ShellTray();

class TTrayIcon {
 public:
  using MouseHandler = std::function<void(TTrayIcon& icon, UINT mouseMessage)>;

  // An icon for `owner`'s window; it takes `icon` and destroys it when freed.
  // An owner freed first takes the icon out of the notification area, and
  // the icon stays hidden from then on.
  TTrayIcon(TControl& owner, IconHandle icon, bool active, TrayNotifier& notifier = ShellTray());
  ~TTrayIcon();
  TTrayIcon(const TTrayIcon&) = delete;
  TTrayIcon& operator=(const TTrayIcon&) = delete;

  bool Active() const { return active_; }
  void SetActive(bool active);
  HICON Icon() const { return icon_.get(); }
  // Takes the new image and hands back the previous one (which the caller
  // then owns); the same handle again changes nothing.
  IconHandle SetIcon(IconHandle icon);
  const std::string& Tooltip() const { return tooltip_; }
  void SetTooltip(std::string tooltip);
  // A balloon with an information sign over the shown icon (the shell cuts
  // the title to 63 and the text to 255 characters); false, and nothing
  // shown, while the icon is hidden.
  bool ShowBalloon(const std::string& title, const std::string& text);
  bool AutoRecreate() const { return autoRecreate_; }
  void SetAutoRecreate(bool autoRecreate);

  // The icon's id in its records, unique in the process.
  UINT Id() const { return id_; }
  TControl& Owner() const { return owner_; }

  MouseHandler onMouse;

  // Icons alive in the process (the process-wide list holds them).
  static size_t Count();

 private:
  void Issue(DWORD command);
  bool OnOwnerMessage(TMessage& message);

  TControl& owner_;
  std::weak_ptr<const bool> ownerAlive_;
  TrayNotifier& notifier_;
  UINT id_;
  IconHandle icon_;
  std::string tooltip_;
  bool active_ = false;
  bool autoRecreate_ = false;
};

}  // namespace sentrova
