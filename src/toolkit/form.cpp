// The top-level kinds of TControl (App and Form): showing, stacking,
// icons, focus, closing and keyboard shortcuts.
#include "toolkit/control.h"

#include "toolkit/rules.h"

namespace sentrova {

void TControl::CenterOnScreen() {
  SetPosition(CenteredOffset(::GetSystemMetrics(SM_CXSCREEN), width_),
              CenteredOffset(::GetSystemMetrics(SM_CYSCREEN), height_));
}

void TControl::Show() {
  // Made hidden first: a window made visible is also activated.
  if (!Handle()) return;
  visible_ = true;
  CreateChildWindows();
  ::ShowWindow(handle_, SW_SHOW);
  if (IsTopLevelKind(kind_)) ::SetForegroundWindow(handle_);
}

void TControl::ShowNoActivate() {
  if (!Handle()) return;
  visible_ = true;
  CreateChildWindows();
  ::ShowWindow(handle_, SW_SHOWNA);
}

void TControl::Hide() {
  visible_ = false;
  if (handle_) ::ShowWindow(handle_, SW_HIDE);
}

void TControl::SetTopmost(bool topmost) {
  if (topmost)
    exStyle_ |= WS_EX_TOPMOST;
  else
    exStyle_ &= ~WS_EX_TOPMOST;
  if (handle_)
    ::SetWindowPos(handle_, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

bool TControl::SetIconFromResource(const char* name) {
  HINSTANCE module = ::GetModuleHandleA(nullptr);
  IconHandle big(static_cast<HICON>(::LoadImageA(
      module, name, IMAGE_ICON, ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), 0)));
  IconHandle small(static_cast<HICON>(::LoadImageA(module, name, IMAGE_ICON,
                                                   ::GetSystemMetrics(SM_CXSMICON),
                                                   ::GetSystemMetrics(SM_CYSMICON), 0)));
  if (!big) small.reset();
  bigIcon_ = big.get();
  smallIcon_ = small ? small.get() : bigIcon_;
  // The window takes the new images first; only then are the ones it let
  // go of destroyed.
  ApplyIcons();
  ownedBigIcon_ = std::move(big);
  ownedSmallIcon_ = std::move(small);
  return bigIcon_ != nullptr;
}

void TControl::SetSharedIcon(HICON icon) {
  bigIcon_ = smallIcon_ = icon;
  ApplyIcons();
  ownedBigIcon_.reset();
  ownedSmallIcon_.reset();
}

void TControl::ApplyIcons() {
  if (!handle_ || !IsTopLevelKind(kind_)) return;
  ::SendMessageA(handle_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_));
  ::SendMessageA(handle_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
}

void TControl::Focus() {
  if (IsTopLevelKind(kind_)) {
    if (Handle()) ::SetForegroundWindow(handle_);
    return;
  }
  if (TControl* form = FormOf(); form && form != this) form->currentControl_ = this;
  if (Handle()) ::SetFocus(handle_);
}

void TControl::Close() {
  if (handle_) ::SendMessageA(handle_, WM_CLOSE, 0, 0);
}

void TControl::SetAccelerators(const std::vector<ACCEL>& entries) {
  accelerators_.reset();
  if (entries.empty()) return;
  std::vector<ACCEL> copy = entries;
  accelerators_.reset(::CreateAcceleratorTableA(copy.data(), static_cast<int>(copy.size())));
}

// WM_NEXTDLGCTL, which the platform's keyboard handling sends to a form as
// it does to a dialog (a mnemonic on a text moves the focus on past it):
// with lParam set, wParam is the control to focus; else wParam chooses the
// previous (non-zero) or next control with WS_TABSTOP.
bool TControl::NextControl(TMessage& m) {
  const HWND target = m.lParam ? reinterpret_cast<HWND>(m.wParam)
                               : ::GetNextDlgTabItem(handle_, ::GetFocus(), m.wParam != 0);
  if (target && ::IsChild(handle_, target)) {
    ::SetFocus(target);
    if (::SendMessageA(target, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
      ::SendMessageA(target, EM_SETSEL, 0, -1);
  }
  m.result = 0;
  return true;
}

}  // namespace sentrova
