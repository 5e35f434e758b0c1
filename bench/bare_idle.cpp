// The idle baseline: a Win32 program with one hidden window that does nothing
// but sleep in GetMessage. With "exit" it ends at once (the cost of starting
// a process under Wine).
#include <windows.h>

#include <cstring>

namespace {

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) ::PostQuitMessage(0);
  return ::DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "exit") == 0) return 0;
  WNDCLASSA wc{};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = ::GetModuleHandleA(nullptr);
  wc.lpszClassName = "BareIdleWindow";
  ::RegisterClassA(&wc);
  ::CreateWindowExA(0, wc.lpszClassName, "bare idle", WS_OVERLAPPED, 0, 0, 100, 100, nullptr,
                    nullptr, wc.hInstance, nullptr);
  MSG msg;
  while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
  return 0;
}
