#include "toolkit/menu.h"

#include "toolkit/control.h"

namespace sentrova {

TMenu::TMenu(TControl* owner) : owner_(owner), menu_(::CreatePopupMenu()) {}

bool TMenu::AddItem(int command, const std::string& caption) {
  return command > 0 && menu_ &&
         ::AppendMenuA(menu_.get(), MF_STRING, static_cast<UINT_PTR>(command), caption.c_str());
}

bool TMenu::AddSeparator() {
  return menu_ && ::AppendMenuA(menu_.get(), MF_SEPARATOR, 0, nullptr);
}

void TMenu::SetItemEnabled(int command, bool enabled) {
  if (menu_)
    ::EnableMenuItem(menu_.get(), static_cast<UINT>(command),
                     MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void TMenu::SetItemChecked(int command, bool checked) {
  if (menu_)
    ::CheckMenuItem(menu_.get(), static_cast<UINT>(command),
                    MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

int TMenu::ItemCount() const { return menu_ ? ::GetMenuItemCount(menu_.get()) : 0; }

int TMenu::Popup(int x, int y) {
  if (!menu_) return 0;
  if (onPopup) onPopup(*this);
  // Tracking needs a window of this thread; without an owner a hidden form
  // lends one for the time of the menu.
  std::unique_ptr<TControl> helper;
  HWND window = owner_ ? owner_->Handle() : nullptr;
  if (!window) {
    helper = std::make_unique<TControl>(ControlKind::Form, nullptr);
    window = helper->Handle();
    if (!window) return 0;
  }
  const int command = static_cast<int>(
      ::TrackPopupMenu(menu_.get(), TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, x, y, 0, window,
                       nullptr));
  // Lets the menu close properly when the user clicks elsewhere next time.
  ::PostMessageA(window, WM_NULL, 0, 0);
  if (command > 0 && owner_ && !helper)
    ::SendMessageA(window, WM_COMMAND, MAKEWPARAM(command, 0), 0);
  return command;
}

}  // namespace sentrova
