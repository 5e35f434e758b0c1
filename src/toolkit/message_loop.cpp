#include "toolkit/message_loop.h"

#include <windows.h>

#include "toolkit/control.h"
#include "toolkit/rules.h"

namespace sentrova {

namespace {

thread_local bool tQuitReceived = false;
thread_local int tQuitCode = 0;
// Quit messages taken on this thread so far: a modal loop compares the count
// before and after it to know whether it took one that belongs to its caller.
thread_local unsigned tQuitsTaken = 0;

// The Enter or Escape press that a form of this thread took, until its key
// comes up: only its auto-repeats count. A key held down since before (one
// that a form's preview dropped, or one pressed for another window) repeats
// without effect.
struct TakenKey {
  HWND form = nullptr;
  WPARAM key = 0;
};
thread_local TakenKey tKeyTaken;

bool TakeMessage(MSG& msg) {
  if (!::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    tQuitReceived = true;
    tQuitCode = static_cast<int>(msg.wParam);
    ++tQuitsTaken;
  }
  return true;
}

void Deliver(MSG& msg) {
  if (msg.message == WM_QUIT || DialogNavigation(msg)) return;
  ::TranslateMessage(&msg);
  ::DispatchMessageA(&msg);
}

bool Accelerated(TControl& control, MSG& msg) {
  if (control.Accelerators() &&
      ::TranslateAcceleratorA(control.Handle(), control.Accelerators(), &msg))
    return true;
  TControl* form = control.FormOf();
  return form && form != &control && form->Accelerators() &&
         ::TranslateAcceleratorA(form->Handle(), form->Accelerators(), &msg);
}

// The toolkit form whose window holds `window` (or is it), else null.
TControl* FormHolding(HWND window) {
  if (!window) return nullptr;
  const HWND root = ::GetAncestor(window, GA_ROOT);
  TControl* form = TControl::FromHandle(root);
  return form && form->Kind() == ControlKind::Form ? form : nullptr;
}

// Texts, pictures and panels never take the focus that arrow keys move.
bool TakesFocus(HWND control) {
  return !(::SendMessageA(control, WM_GETDLGCODE, 0, 0) & DLGC_STATIC);
}

// The next control of `from`'s group (WS_GROUP starts a group; it wraps
// around) that can take the focus; `from` itself when there is none.
HWND NextInGroup(HWND form, HWND from, bool previous) {
  HWND next = from;
  // Bounded: a group never has more controls than a form has windows.
  for (int guard = 0; guard < 1024; ++guard) {
    next = ::GetNextDlgGroupItem(form, next, previous ? TRUE : FALSE);
    if (!next || next == from) return from;
    if (TakesFocus(next)) return next;
  }
  return from;
}

void MoveFocus(HWND target) {
  if (!target) return;
  ::SetFocus(target);
  // As in dialogs: an edit box reached from the keyboard has its text selected.
  if (::SendMessageA(target, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
    ::SendMessageA(target, EM_SETSEL, 0, -1);
}

// Presses `button` as a click would, when it can be pressed.
bool Press(TControl* button) {
  const HWND window = button ? button->HandleIfCreated() : nullptr;
  if (!window || !::IsWindowVisible(window) || !::IsWindowEnabled(window)) return false;
  ::SendMessageA(::GetParent(window), WM_COMMAND,
                 MAKEWPARAM(::GetDlgCtrlID(window), BN_CLICKED), reinterpret_cast<LPARAM>(window));
  return true;
}

// Enter and Escape, as the platform's dialogs take them. Enter presses the
// focused push button, or, with the focus on anything else, the form's
// default button; Escape presses the cancel button, or asks a form that
// handles closing to close. Alt+Enter presses nothing. True when the key
// was used (or dropped).
bool EnterOrEscape(TControl& form, const MSG& msg) {
  const bool enter = msg.wParam == VK_RETURN;
  if (!enter && msg.wParam != VK_ESCAPE) return false;
  const HWND root = form.HandleIfCreated();
  switch (msg.message) {
    case WM_SYSKEYDOWN:
    case WM_SYSCHAR:
      return enter;
    case WM_KEYUP:
      if (tKeyTaken.form == root && tKeyTaken.key == msg.wParam) tKeyTaken = {};
      return false;
    case WM_KEYDOWN:
      break;
    default:
      return false;
  }
  // A control that takes the key itself (multi-line text) keeps it.
  const LRESULT wants =
      ::SendMessageA(msg.hwnd, WM_GETDLGCODE, msg.wParam, reinterpret_cast<LPARAM>(&msg));
  if (wants & (DLGC_WANTALLKEYS | DLGC_WANTMESSAGE)) return false;
  TControl* button = nullptr;
  if (enter) {
    TControl* focused = TControl::FromHandle(::GetFocus());
    button = focused && focused->IsPushButton() && focused->FormOf() == &form
                 ? focused
                 : form.DefaultButton();
  } else {
    button = form.CancelButton();
  }
  if (!button && (enter || !form.onClose)) return false;  // the controls decide
  const bool repeat = (msg.lParam & (LPARAM{1} << 30)) != 0;
  if (repeat && (tKeyTaken.form != root || tKeyTaken.key != msg.wParam)) return true;
  tKeyTaken = {root, msg.wParam};
  if (button)
    Press(button);
  else
    ::SendMessageA(root, WM_CLOSE, 0, 0);
  return true;
}

}  // namespace

bool DialogNavigation(MSG& msg) {
  if (!IsKeyboardMessage(msg.message)) return false;
  TControl* form = FormHolding(msg.hwnd);
  if (!form) return false;
  if (form->onKeyPreview) {
    try {
      if (form->onKeyPreview(*form, msg)) return true;
    } catch (...) {
      // A failing preview drops nothing, as a failing hook is passed over.
    }
  }
  if (msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE) {
    // The form may be gone once a button was pressed: nothing more of it.
    return EnterOrEscape(*form, msg);
  }
  const HWND root = form->HandleIfCreated();
  if (msg.message == WM_KEYDOWN) {
    const WPARAM key = msg.wParam;
    const bool tab = key == VK_TAB;
    const bool arrow = key == VK_LEFT || key == VK_RIGHT || key == VK_UP || key == VK_DOWN;
    if (tab || arrow) {
      const LRESULT wants = ::SendMessageA(msg.hwnd, WM_GETDLGCODE, key,
                                           reinterpret_cast<LPARAM>(&msg));
      const LRESULT own =
          DLGC_WANTMESSAGE | DLGC_WANTALLKEYS | (tab ? DLGC_WANTTAB : DLGC_WANTARROWS);
      if (!(wants & own)) {
        const HWND focus = ::GetFocus();
        const HWND from = (focus && ::IsChild(root, focus)) ? focus : nullptr;
        if (tab) {
          const bool back = (::GetKeyState(VK_SHIFT) & 0x8000) != 0;
          MoveFocus(::GetNextDlgTabItem(root, from, back ? TRUE : FALSE));
        } else if (from) {
          MoveFocus(NextInGroup(root, from, key == VK_LEFT || key == VK_UP));
        }
        return true;
      }
    }
  }
  // Mnemonics (Alt and the letter after "&" in a caption, or the letter
  // alone where the control takes no characters); other keys are
  // translated and dispatched as usual.
  return ::IsDialogMessageA(root, &msg) != FALSE;
}

bool ProcessMessage() {
  MSG msg;
  if (!TakeMessage(msg)) return false;
  Deliver(msg);
  return true;
}

bool ProcessMessage(TControl& control) {
  MSG msg;
  if (!TakeMessage(msg)) return false;
  if (IsKeyboardMessage(msg.message) && Accelerated(control, msg)) return true;
  Deliver(msg);
  return true;
}

void ProcessMessages() {
  while (ProcessMessage()) {
  }
}

bool WaitForMessage(DWORD timeoutMs) {
  return ::MsgWaitForMultipleObjectsEx(0, nullptr, timeoutMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE) ==
         WAIT_OBJECT_0;
}

void RunModalLoop(const std::function<bool()>& done) {
  const unsigned quitsBefore = tQuitsTaken;
  for (;;) {
    ProcessMessages();
    // A quit message ends the wait too: the thread is being asked to end.
    if (done() || tQuitsTaken != quitsBefore) break;
    WaitForMessage();
  }
  // A quit message taken while the loop ran belongs to the caller's loop.
  if (tQuitsTaken != quitsBefore) ::PostQuitMessage(tQuitCode);
}

bool QuitReceived(int* exitCode) {
  if (exitCode && tQuitReceived) *exitCode = tQuitCode;
  return tQuitReceived;
}

}  // namespace sentrova
