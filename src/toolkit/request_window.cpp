#include "toolkit/request_window.h"

#include "platform/guard.h"

namespace sentrova {

namespace {

constexpr char kClassName[] = "TkRequestWindow";

}  // namespace

TRequestWindow::TRequestWindow(std::atomic<HWND>& slot, Handler onRequest)
    : slot_(slot), onRequest_(std::move(onRequest)) {
  static const ATOM windowClass = [] {
    WNDCLASSA info{};
    info.lpfnWndProc = Proc;
    info.hInstance = ::GetModuleHandleA(nullptr);
    info.lpszClassName = kClassName;
    return ::RegisterClassA(&info);
  }();
  if (windowClass == 0) return;
  window_.reset(::CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  ::GetModuleHandleA(nullptr), nullptr));
  if (!window_) return;
  ::SetWindowLongPtrA(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  slot_ = window_.get();
}

TRequestWindow::~TRequestWindow() {
  HWND mine = window_.get();
  if (mine != nullptr) slot_.compare_exchange_strong(mine, nullptr);
}

bool TRequestWindow::PostTo(const std::atomic<HWND>& slot, UINT message) {
  return GuardedOr(false, [&] {
    const HWND window = slot.load();
    return window != nullptr && ::PostMessageA(window, message, 0, 0) != FALSE;
  });
}

LRESULT CALLBACK TRequestWindow::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message < WM_APP || message > 0xBFFF) {
    return ::DefWindowProcA(window, message, wParam, lParam);
  }
  auto* self = reinterpret_cast<TRequestWindow*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
  if (self != nullptr && self->onRequest_) Guarded([&] { self->onRequest_(message); });
  return 0;
}

}  // namespace sentrova
