// TRequestWindow: a message-only window on the thread that makes it, through
// which other threads ask that thread for work. A request is a message at or
// above WM_APP posted to it; the thread's message loop hands it to the
// window's handler. Being message-only, it is never asked to answer a
// broadcast, so nobody waits on it while its thread is busy.
//
// The live window is published in a slot (an atomic window handle that the
// askers share) from its making until it goes.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>

#include "platform/handle.h"

namespace sentrova {

class TRequestWindow {
 public:
  using Handler = std::function<void(UINT message)>;

  // Made on the calling thread, and published in `slot`; nothing escapes
  // `onRequest`.
  TRequestWindow(std::atomic<HWND>& slot, Handler onRequest);
  // Withdrawn from the slot, unless another window took it meanwhile.
  ~TRequestWindow();
  TRequestWindow(const TRequestWindow&) = delete;
  TRequestWindow& operator=(const TRequestWindow&) = delete;

  HWND Handle() const { return window_.get(); }

  // Posts `message` to the window published in `slot`, from any thread; false
  // when none is published or the post failed.
  static bool PostTo(const std::atomic<HWND>& slot, UINT message);

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  std::atomic<HWND>& slot_;
  Handler onRequest_;
  WindowHandle window_;
};

}  // namespace sentrova
