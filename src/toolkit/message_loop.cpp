#include "toolkit/message_loop.h"

#include <windows.h>

#include "toolkit/control.h"
#include "toolkit/rules.h"

namespace sentrova {

namespace {

thread_local bool tQuitReceived = false;
thread_local int tQuitCode = 0;

bool TakeMessage(MSG& msg) {
  if (!::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return false;
  if (msg.message == WM_QUIT) {
    tQuitReceived = true;
    tQuitCode = static_cast<int>(msg.wParam);
  }
  return true;
}

void Deliver(MSG& msg) {
  if (msg.message == WM_QUIT) return;
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

}  // namespace

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

void RunModalLoop(const std::function<bool()>& done) {
  for (;;) {
    ProcessMessages();
    if (done()) return;
    ::Sleep(10);
  }
}

bool QuitReceived(int* exitCode) {
  if (exitCode && tQuitReceived) *exitCode = tQuitCode;
  return tQuitReceived;
}

}  // namespace sentrova
