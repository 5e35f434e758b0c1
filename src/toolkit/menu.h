// TMenu: a popup menu of commands.
//
//   TMenu menu;
//   menu.AddItem(1, "Clean Up Now");
//   menu.AddSeparator();
//   menu.AddItem(5, "Remove Icon");
//   int chosen = menu.Popup(cursor.x, cursor.y);   // 0: nothing chosen
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "platform/handle.h"

namespace sentrova {

class TControl;

class TMenu {
 public:
  // With an owner control, the chosen command is also sent to the owner's
  // window as WM_COMMAND (reaching its onCommand); without one it is only
  // returned.
  explicit TMenu(TControl* owner = nullptr);
  TMenu(const TMenu&) = delete;
  TMenu& operator=(const TMenu&) = delete;

  // Commands are numbers above 0.
  bool AddItem(int command, const std::string& caption);
  bool AddSeparator();
  void SetItemEnabled(int command, bool enabled);
  void SetItemChecked(int command, bool checked);
  int ItemCount() const;
  HMENU Handle() const { return menu_.get(); }
  TControl* Owner() const { return owner_; }

  // Runs before the menu opens (to enable or tick items).
  std::function<void(TMenu& menu)> onPopup;

  // Shows the menu at a screen position and waits for the choice; the
  // chosen command, or 0 when the menu was dismissed.
  int Popup(int x, int y);

 private:
  TControl* owner_;
  MenuHandle menu_;
};

}  // namespace sentrova
