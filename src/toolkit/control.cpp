// TControl: the life of a control and its window, message dispatch and
// hooks, geometry, state and styles. The kinds' own parts live beside it:
// form.cpp (App and Form), button.cpp (Button and Checkbox), text_controls.cpp
// (captions, fonts, colours; labels, panels, edit boxes), list_view.cpp.
#include "toolkit/control.h"

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <utility>

#include "platform/guard.h"
#include "toolkit/rules.h"

namespace sentrova {

namespace {

constexpr char kSelfProperty[] = "SELF_";

std::atomic<TControl*> gApplication{nullptr};

// The object whose window is being made on this thread: the window's first
// message binds the two (WM_GETMINMAXINFO comes before WM_NCCREATE, so the
// creation parameter would be too late).
thread_local TControl* tCreating = nullptr;

constexpr char kBaseProperty[] = "BASE_";

// Window classes registered by the toolkit. A toolkit class is registered
// once, but the platform class it is built on is looked up again for every
// window: which "BUTTON" that is depends on the activation context active
// when the window is made (the themed common controls, or the classic
// ones), not on the context of whichever window came first.
class ClassRegistry {
 public:
  static ClassRegistry& Instance() {
    static ClassRegistry registry;
    return registry;
  }

  // Registers `name` for `kind` once per process; the procedure of the
  // platform class in the calling thread's context now, or null when the
  // class cannot be made.
  WNDPROC Ensure(ControlKind kind, const std::string& name, WNDPROC procedure) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    WNDPROC base = ::DefWindowProcA;
    const std::string platformClass(InfoOf(kind).platformClass);
    if (!platformClass.empty()) {
      if (!::GetClassInfoExA(nullptr, platformClass.c_str(), &wc)) return nullptr;
      base = wc.lpfnWndProc;
      wc.style &= ~CS_GLOBALCLASS;
      // Room for the window data of either version of the platform class.
      wc.cbWndExtra = std::max(wc.cbWndExtra, kPlatformWindowExtra);
    } else {
      wc.style = CS_DBLCLKS;
      wc.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
      wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    }
    std::lock_guard lock(mutex_);
    if (auto it = byName_.find(name); it != byName_.end()) return base;
    wc.lpfnWndProc = procedure;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = name.c_str();
    wc.lpszMenuName = nullptr;
    const ATOM atom = ::RegisterClassExA(&wc);
    if (!atom) return nullptr;
    byName_.emplace(name, base);
    byAtom_.emplace(atom, base);
    return base;
  }

  // The base procedure of a window of a toolkit class (for windows that no
  // longer have an object).
  WNDPROC BaseOf(HWND window) {
    if (auto base = reinterpret_cast<WNDPROC>(::GetPropA(window, kBaseProperty))) return base;
    const ATOM atom = static_cast<ATOM>(::GetClassWord(window, GCW_ATOM));
    std::lock_guard lock(mutex_);
    auto it = byAtom_.find(atom);
    return it == byAtom_.end() ? ::DefWindowProcA : it->second;
  }

 private:
  static constexpr int kPlatformWindowExtra = 64;
  std::mutex mutex_;
  std::map<std::string, WNDPROC> byName_;
  std::map<ATOM, WNDPROC> byAtom_;
};

DWORD DefaultStyle(ControlKind kind) {
  switch (kind) {
    case ControlKind::App:
      return WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPSIBLINGS;
    case ControlKind::Form:
      return WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS;
    case ControlKind::Button:
      return WS_CHILD | WS_TABSTOP | BS_PUSHBUTTON;
    case ControlKind::Checkbox:
      return WS_CHILD | WS_TABSTOP | BS_AUTOCHECKBOX;
    // Texts and pictures start a group of the arrow keys, as the platform's
    // dialog templates make them: the controls after a text are its group.
    case ControlKind::Label:
      return WS_CHILD | WS_GROUP | SS_LEFTNOWORDWRAP | SS_NOPREFIX | SS_NOTIFY;
    case ControlKind::WordWrapLabel:
      return WS_CHILD | WS_GROUP | SS_LEFT | SS_NOPREFIX | SS_NOTIFY;
    case ControlKind::Paintbox:
      return WS_CHILD | WS_GROUP | SS_NOTIFY;
    case ControlKind::Panel:
      return WS_CHILD | WS_GROUP | WS_CLIPSIBLINGS;
    case ControlKind::Editbox:
      return WS_CHILD | WS_TABSTOP | ES_AUTOHSCROLL;
    case ControlKind::Listview:
      return WS_CHILD | WS_TABSTOP | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SINGLESEL;
  }
  return WS_CHILD;
}

DWORD DefaultExStyle(ControlKind kind) {
  switch (kind) {
    case ControlKind::App:
      return WS_EX_APPWINDOW;
    case ControlKind::Form:
      return WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_CONTROLPARENT;
    case ControlKind::Editbox:
    case ControlKind::Listview:
      return WS_EX_CLIENTEDGE;
    default:
      return 0;
  }
}

// The application window's system menu offers only Move and Close; Restore
// stays, greyed.
void TrimAppSystemMenu(HWND window) {
  HMENU menu = ::GetSystemMenu(window, FALSE);
  if (!menu) return;
  ::DeleteMenu(menu, SC_SIZE, MF_BYCOMMAND);
  ::DeleteMenu(menu, SC_MINIMIZE, MF_BYCOMMAND);
  ::DeleteMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND);
  ::EnableMenuItem(menu, SC_RESTORE, MF_BYCOMMAND | MF_GRAYED);
}

}  // namespace

TControl* Application() { return gApplication.load(); }

TControl::TControl(ControlKind kind, TControl* parent, std::string caption)
    : kind_(kind),
      parent_(parent),
      className_(WindowClassOf(kind)),
      caption_(std::move(caption)),
      visible_(!IsTopLevelKind(kind)),
      style_(DefaultStyle(kind)),
      exStyle_(DefaultExStyle(kind)) {
  if (parent_) {
    // A form's first control starts a group whatever its kind: the arrow
    // keys' groups run from one WS_GROUP control to the next.
    if (parent_->kind_ == ControlKind::Form && parent_->children_.empty() &&
        !IsTopLevelKind(kind))
      style_ |= WS_GROUP;
    parent_->children_.push_back(this);
    font_ = parent_->font_;
    color_ = parent_->color_;
    textColor_ = parent_->textColor_;
    if (!IsTopLevelKind(kind)) left_ = top_ = parent_->margin_;
  }
  const KindInfo& info = InfoOf(kind);
  if (info.defaultWidth > 0) width_ = info.defaultWidth;
  if (info.defaultHeight > 0) height_ = info.defaultHeight;
  if (kind == ControlKind::Listview) {
    // The list view class comes with the common controls; making sure they
    // are initialised costs nothing once they are.
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&icc);
  }
  if (kind == ControlKind::App) {
    TControl* none = nullptr;
    gApplication.compare_exchange_strong(none, this);
  }
}

TControl::~TControl() {
  owned_.clear();
  for (TControl* child : children_) child->parent_ = nullptr;
  children_.clear();
  for (TControl* p = parent_; p; p = p->parent_)
    if (p->currentControl_ == this) p->currentControl_ = nullptr;
  if (parent_) parent_->Unlink(this);
  if (TControl* app = Application()) {
    TControl* self = this;
    app->currentForm_.compare_exchange_strong(self, nullptr);
  }
  TControl* self = this;
  gApplication.compare_exchange_strong(self, nullptr);
  if (handle_) {
    // The hooks still see the window go (tray icons leave the notification
    // area on its WM_NCDESTROY), which also unbinds it.
    const HWND window = handle_;
    ::DestroyWindow(window);
    if (handle_) {
      // Not destroyed (another thread's window): at least cut the link.
      ::RemovePropA(window, kSelfProperty);
      handle_ = nullptr;
    }
  }
  for (auto& slot : hooks_) slot->removed = true;
  *alive_ = false;
}

void TControl::Unlink(TControl* child) {
  children_.erase(std::remove(children_.begin(), children_.end(), child), children_.end());
}

TControl& TControl::Add(ControlKind kind, std::string caption) {
  owned_.push_back(std::make_unique<TControl>(kind, this, std::move(caption)));
  return *owned_.back();
}

TControl* TControl::FromHandle(HWND window) {
  return window ? static_cast<TControl*>(::GetPropA(window, kSelfProperty)) : nullptr;
}

TControl* TControl::FormOf() {
  if (kind_ == ControlKind::App) return currentForm_.load();
  TControl* control = this;
  while (!IsTopLevelKind(control->kind_) && control->parent_) control = control->parent_;
  return control;
}

void TControl::SetClassName(std::string name) {
  if (!handle_ && !name.empty()) className_ = std::move(name);
}

// --- the window -------------------------------------------------------------

HWND TControl::Handle() {
  if (!handle_) CreateWindowNow();
  return handle_;
}

DWORD TControl::WindowStyle() const {
  DWORD style = style_ & ~WS_VISIBLE;
  if (visible_) style |= WS_VISIBLE;
  if (!enabled_) style |= WS_DISABLED;
  return style;
}

HWND TControl::CreateWindowNow() {
  const bool topLevel = IsTopLevelKind(kind_);
  HWND parentWindow = parent_ ? parent_->Handle() : nullptr;
  if (!topLevel && !parentWindow) return nullptr;  // a child needs its parent's window
  if (handle_) return handle_;                     // made while the parent was made

  baseProc_ = ClassRegistry::Instance().Ensure(kind_, className_, &TControl::WindowProc);
  if (!baseProc_) return nullptr;

  DWORD style = WindowStyle();
  if (kind_ == ControlKind::Editbox && multiLine_)
    style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL;
  TControl* outer = std::exchange(tCreating, this);
  const HWND window = ::CreateWindowExA(exStyle_, className_.c_str(), caption_.c_str(), style,
                                        left_, top_, width_, height_, parentWindow, nullptr,
                                        ::GetModuleHandleA(nullptr), nullptr);
  tCreating = outer;
  if (!window) return nullptr;
  if (handle_ != window) Bind(window);  // a class whose first message came late
  if (!topLevel) TakeSiblingOrder();
  ApplyAfterCreation();
  CreateChildWindows();
  return handle_;
}

// The focus order of Tab and the arrow keys is the stacking order of the
// children, which must follow the order they were added in even when one
// child's window is made before those of the siblings added before it (a
// button focused before its form is shown): it goes right after the last
// such sibling that has a window.
void TControl::TakeSiblingOrder() {
  HWND after = HWND_TOP;
  for (TControl* sibling : parent_->children_) {
    if (sibling == this) break;
    if (!IsTopLevelKind(sibling->kind_) && sibling->handle_) after = sibling->handle_;
  }
  ::SetWindowPos(handle_, after, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

void TControl::CreateChildWindows() {
  // A copy: making a window may run handlers that add children.
  const std::vector<TControl*> children = children_;
  for (TControl* child : children)
    if (!IsTopLevelKind(child->kind_) && !child->handle_) child->CreateWindowNow();
}

void TControl::ApplyAfterCreation() {
  ::SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(PlatformFont()), FALSE);
  if (kind_ == ControlKind::App) TrimAppSystemMenu(handle_);
  if (kind_ == ControlKind::Checkbox && checked_)
    ::SendMessageA(handle_, BM_SETCHECK, BST_CHECKED, 0);
  if (kind_ == ControlKind::Listview && listExStyle_)
    ::SendMessageA(handle_, LVM_SETEXTENDEDLISTVIEWSTYLE, listExStyle_, listExStyle_);
  if (exStyle_ & WS_EX_TOPMOST)
    ::SetWindowPos(handle_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  ApplyIcons();
  if (autoSize_) FitToCaption();
}

void TControl::Bind(HWND window) {
  handle_ = window;
  windowThread_ = ::GetCurrentThreadId();
  ::SetPropA(window, kSelfProperty, this);
  ::SetPropA(window, kBaseProperty, reinterpret_cast<HANDLE>(baseProc_));
}

void TControl::Unbind() {
  if (!handle_) return;
  ::RemovePropA(handle_, kSelfProperty);
  ::RemovePropA(handle_, kBaseProperty);
  handle_ = nullptr;
  columnCount_ = 0;
  if (TControl* app = Application()) {
    TControl* self = this;
    app->currentForm_.compare_exchange_strong(self, nullptr);
  }
}

LRESULT CALLBACK TControl::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  TControl* control = FromHandle(window);
  if (!control && tCreating && !tCreating->handle_) {
    control = std::exchange(tCreating, nullptr);
    control->Bind(window);
  }
  if (!control || control->handle_ != window)
    return ::CallWindowProcA(ClassRegistry::Instance().BaseOf(window), window, message, wParam,
                             lParam);
  try {
    return control->Dispatch(message, wParam, lParam);
  } catch (...) {
    // The handling failed; the platform has the last word.
    return ::CallWindowProcA(ClassRegistry::Instance().BaseOf(window), window, message, wParam,
                             lParam);
  }
}

LRESULT TControl::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  // Handlers may free this control; the token outlives it.
  const std::shared_ptr<bool> alive = alive_;
  const HWND window = handle_;
  const WNDPROC base = baseProc_;
  TMessage m{window, message, wParam, lParam, 0};
  if (!OfferToHooks(m) && *alive && !HandleOwn(m) && *alive)
    m.result = ::CallWindowProcA(base, window, m.message, m.wParam, m.lParam);
  // The window's last message: whoever handled it, the link goes.
  if (message == WM_NCDESTROY && *alive) Unbind();
  return m.result;
}

bool TControl::OfferToHooks(TMessage& message) {
  if (hooks_.empty()) return false;
  const std::shared_ptr<bool> alive = alive_;
  // A copy: hooks may add or remove hooks while they run.
  const std::vector<std::shared_ptr<HookSlot>> hooks = hooks_;
  for (auto it = hooks.rbegin(); it != hooks.rend(); ++it) {
    if ((*it)->removed || !*alive) continue;
    bool handled = false;
    try {
      handled = (*it)->hook(message);
    } catch (...) {
      continue;  // a failing hook is passed over
    }
    if (handled) return true;
  }
  return false;
}

void TControl::AddHook(const void* key, MessageHook hook) {
  if (!hook || HasHook(key)) return;
  hooks_.push_back(std::make_shared<HookSlot>(HookSlot{key, std::move(hook)}));
}

const void* TControl::AddHook(MessageHook hook) {
  if (!hook) return nullptr;
  auto slot = std::make_shared<HookSlot>(HookSlot{nullptr, std::move(hook)});
  slot->key = slot.get();
  hooks_.push_back(slot);
  return slot->key;
}

void TControl::RemoveHook(const void* key) {
  for (auto it = hooks_.begin(); it != hooks_.end(); ++it) {
    if ((*it)->key == key) {
      (*it)->removed = true;
      hooks_.erase(it);
      return;
    }
  }
}

bool TControl::HasHook(const void* key) const {
  return std::any_of(hooks_.begin(), hooks_.end(),
                     [key](const auto& slot) { return slot->key == key; });
}

bool TControl::HandleOwn(TMessage& m) {
  switch (m.message) {
    case WM_COMMAND: {
      if (m.lParam) {
        TControl* child = FromHandle(reinterpret_cast<HWND>(m.lParam));
        return child && child->HandleChildCommand(HIWORD(m.wParam));
      }
      return onCommand && onCommand(*this, LOWORD(m.wParam));
    }
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(m.lParam);
      TControl* child = header ? FromHandle(header->hwndFrom) : nullptr;
      return child && child->HandleChildNotify(*header, m.result);
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return ColorChild(m);
    case WM_ERASEBKGND:
      if (color_ == kDefaultColor || !IsTopLevelKind(kind_)) return false;
      {
        RECT r;
        ::GetClientRect(handle_, &r);
        if (!brush_) brush_.reset(::CreateSolidBrush(color_));
        ::FillRect(reinterpret_cast<HDC>(m.wParam), &r, brush_.get());
        m.result = 1;
      }
      return true;
    case WM_PAINT:
      if (!onPaint) return false;
      {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(handle_, &ps);
        {
          TCanvas canvas(dc);
          canvas.UseFont(PlatformFont());
          onPaint(*this, canvas);
        }
        ::EndPaint(handle_, &ps);
      }
      return true;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
      return onKeyDown && onKeyDown(*this, static_cast<int>(m.wParam));
    case WM_SETFOCUS:
      if (kind_ == ControlKind::App) {
        // The application window hands the focus to the current form.
        // Only forms of this window's own thread are recorded, so the
        // focus never goes to another thread's window.
        TControl* form = currentForm_.load();
        if (form && form->handle_) {
          ::SetFocus(form->handle_);
          return true;
        }
      } else if (kind_ == ControlKind::Form) {
        if (currentControl_ && currentControl_->handle_) {
          ::SetFocus(currentControl_->handle_);
          return true;
        }
      } else if (TControl* form = FormOf(); form && form != this) {
        form->currentControl_ = this;
        form->FollowFocus(this);
      }
      return false;
    case WM_ACTIVATE:
      if (kind_ == ControlKind::Form && LOWORD(m.wParam) != WA_INACTIVE) {
        // A form shown on a worker thread (a question of the clean-up or the
        // scanner) is that thread's business: the application window must
        // neither hand the focus to it nor keep a pointer that thread frees.
        TControl* app = Application();
        if (app && app->windowThread_.load() == ::GetCurrentThreadId()) app->currentForm_ = this;
      }
      return false;
    case WM_NEXTDLGCTL:
      return kind_ == ControlKind::Form && NextControl(m);
    case WM_CLOSE:
      if (!onClose) return false;
      onClose(*this);
      m.result = 0;
      return true;
    case WM_SETCURSOR:
      if (!cursor_ || LOWORD(m.lParam) != HTCLIENT) return false;
      ::SetCursor(cursor_);
      m.result = TRUE;
      return true;
    case WM_WINDOWPOSCHANGED: {
      const auto* pos = reinterpret_cast<const WINDOWPOS*>(m.lParam);
      if (!(pos->flags & SWP_NOMOVE)) {
        left_ = pos->x;
        top_ = pos->y;
      }
      if (!(pos->flags & SWP_NOSIZE)) {
        width_ = pos->cx;
        height_ = pos->cy;
      }
      return false;
    }
    default:
      return false;
  }
}

// --- geometry -----------------------------------------------------------------

void TControl::SetBounds(int left, int top, int width, int height) {
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  if (handle_)
    ::SetWindowPos(handle_, nullptr, left, top, width, height,
                   SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

void TControl::SetSize(int width, int height) {
  SetBounds(left_, top_, SizeOrCurrent(width, width_), SizeOrCurrent(height, height_));
}

// --- state --------------------------------------------------------------------

void TControl::SetEnabled(bool enabled) {
  enabled_ = enabled;
  if (handle_) ::EnableWindow(handle_, enabled ? TRUE : FALSE);
}

bool TControl::Visible() const {
  if (!handle_) return visible_;
  return (::GetWindowLongPtrA(handle_, GWL_STYLE) & WS_VISIBLE) != 0;
}

void TControl::SetStyle(DWORD style) {
  style_ = style & ~WS_VISIBLE;
  ApplyStyle();
}

void TControl::SetExStyle(DWORD exStyle) {
  const bool topmostChanged = ((exStyle_ ^ exStyle) & WS_EX_TOPMOST) != 0;
  exStyle_ = exStyle;
  if (!handle_) return;
  ::SetWindowLongPtrA(handle_, GWL_EXSTYLE, static_cast<LONG_PTR>(exStyle_));
  // The topmost bit only takes effect through the stacking order.
  ::SetWindowPos(handle_, (exStyle_ & WS_EX_TOPMOST) ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0,
                 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_FRAMECHANGED |
                     (topmostChanged ? 0 : SWP_NOZORDER));
  ::RedrawWindow(handle_, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE);
}

void TControl::ApplyStyle() {
  if (!handle_) return;
  DWORD style = style_ & ~(WS_VISIBLE | WS_DISABLED);
  style |= static_cast<DWORD>(::GetWindowLongPtrA(handle_, GWL_STYLE)) & (WS_VISIBLE | WS_DISABLED);
  if (kind_ == ControlKind::Editbox && multiLine_)
    style |= ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL;
  if (kind_ == ControlKind::Button || kind_ == ControlKind::Checkbox)
    ::SendMessageA(handle_, BM_SETSTYLE, LOWORD(style), TRUE);  // buttons keep their own copy
  ::SetWindowLongPtrA(handle_, GWL_STYLE, static_cast<LONG_PTR>(style));
  ::SetWindowPos(handle_, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  ::RedrawWindow(handle_, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_ERASE);
}

LRESULT TControl::Send(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND window = Handle();
  return window ? ::SendMessageA(window, message, wParam, lParam) : 0;
}

}  // namespace sentrova
