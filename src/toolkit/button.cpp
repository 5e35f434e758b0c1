// The button kinds of TControl (Button and Checkbox) and the commands
// child controls report to their parent.
#include "toolkit/control.h"

#include <vector>

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
  TControl* form = FormOf();
  if (isDefault && form && form != this) {
    // One default button per form.
    if (TControl* previous = form->DefaultButton()) previous->defaultChoice_ = false;
  }
  defaultChoice_ = isDefault;
  if (form && form != this) {
    TControl* focused = form->currentControl_;
    const bool hasFocus = focused && focused->handle_ && ::GetFocus() == focused->handle_;
    form->FollowFocus(hasFocus ? focused : nullptr);
  } else {
    ShowDefaultLook(isDefault);
  }
}

void TControl::SetCancelButton(bool isCancel) {
  if (kind_ != ControlKind::Button) return;
  TControl* form = FormOf();
  if (isCancel && form && form != this) {
    if (TControl* previous = form->CancelButton()) previous->cancelChoice_ = false;
  }
  cancelChoice_ = isCancel;
}

TControl* TControl::DefaultButton() { return FindButton(&TControl::defaultChoice_); }
TControl* TControl::CancelButton() { return FindButton(&TControl::cancelChoice_); }

// The button of this control's own window tree (not of the forms it owns)
// that carries `mark`.
TControl* TControl::FindButton(bool TControl::*mark) {
  for (TControl* child : children_) {
    if (IsTopLevelKind(child->kind_)) continue;
    if (child->kind_ == ControlKind::Button && child->*mark) return child;
    if (TControl* found = child->FindButton(mark)) return found;
  }
  return nullptr;
}

bool TControl::IsPushButton() const {
  const DWORD type = style_ & BS_TYPEMASK;
  return kind_ == ControlKind::Button && (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON);
}

void TControl::ShowDefaultLook(bool shown) {
  if (!IsPushButton()) return;
  const bool showing = (style_ & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
  if (shown != showing) ModifyStyle(shown ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, BS_TYPEMASK);
}

// The default-button look goes to the push button that has the focus, or,
// with the focus elsewhere, back to the form's default button.
void TControl::FollowFocus(TControl* focused) {
  TControl* holder = focused && focused->IsPushButton() ? focused : DefaultButton();
  std::vector<TControl*> pending(children_.begin(), children_.end());
  while (!pending.empty()) {
    TControl* c = pending.back();
    pending.pop_back();
    if (IsTopLevelKind(c->kind_)) continue;
    if (c->kind_ == ControlKind::Button) c->ShowDefaultLook(c == holder);
    pending.insert(pending.end(), c->children_.begin(), c->children_.end());
  }
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
