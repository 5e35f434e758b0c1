// The button kinds of TControl (Button and Checkbox) and the commands
// child controls report to their parent.
#include "toolkit/control.h"

namespace sentrova {

bool TControl::HandleChildCommand(int code) {
  switch (kind_) {
    case ControlKind::Button:
      if (code != BN_CLICKED || !onClick) return false;
      onClick(*this);
      return true;
    case ControlKind::Checkbox:
      if (code != BN_CLICKED) return false;
      checked_ = ::SendMessageA(handle_, BM_GETCHECK, 0, 0) == BST_CHECKED;
      {
        const std::shared_ptr<bool> alive = alive_;
        if (onClick) onClick(*this);
        if (*alive && onChange) onChange(*this);
      }
      return true;
    case ControlKind::Editbox:
      if (code != EN_CHANGE || !onChange) return false;
      onChange(*this);
      return true;
    case ControlKind::Label:
    case ControlKind::WordWrapLabel:
    case ControlKind::Paintbox:
      if (code != STN_CLICKED || !onClick) return false;
      onClick(*this);
      return true;
    default:
      return false;
  }
}

void TControl::SetDefaultButton(bool isDefault) {
  if (kind_ != ControlKind::Button) return;
  ModifyStyle(isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, BS_TYPEMASK);
}

bool TControl::Checked() const {
  if (handle_) return ::SendMessageA(handle_, BM_GETCHECK, 0, 0) == BST_CHECKED;
  return checked_;
}

void TControl::SetChecked(bool checked) {
  checked_ = checked;
  if (handle_) ::SendMessageA(handle_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

}  // namespace sentrova
