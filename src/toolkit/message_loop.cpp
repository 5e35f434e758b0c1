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
  // Enter and Escape go to the controls as they are: each form decides what
  // they mean (none of them is turned into an OK or Cancel command here).
  if (msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE) return false;
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
    if (done()) break;
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
