#include "dialogs/browser_windows.h"

#include "platform/com.h"
#include "platform/foreground.h"
#include "platform/guard.h"
#include "platform/text.h"

namespace sentrova {

namespace {

// An empty optional argument of an automation call.
VARIANT EmptyVariant() {
  VARIANT v;
  ::VariantInit(&v);
  return v;
}

// Runs every message waiting in the calling thread's queue, so that the
// topmost change below reaches the window manager before it is undone.
void PumpWaitingMessages() {
  MSG msg;
  while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // Not ours to swallow: put it back for the caller's own loop.
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
}

ComPtr<IShellWindows> CreateShellWindows() {
  ComPtr<IShellWindows> windows;
  ::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                     IID_IShellWindows, windows.put_void());
  return windows;
}

// The shell window collection holds the file browser's folder windows as
// well, and on Windows they offer the web browser interface too: only a
// window whose program is Internet Explorer counts as a browser.
bool IsInternetExplorer(IWebBrowser2* browser) {
  return GuardedOr(false, [&] {
    Bstr name;
    if (FAILED(browser->get_FullName(name.put())) || !name.get()) return false;
    const std::string program = LowerAscii(name.Ansi());
    constexpr std::string_view kProgram = "iexplore.exe";
    return program.size() >= kProgram.size() &&
           std::string_view(program).substr(program.size() - kProgram.size()) == kProgram;
  });
}

// The collection's item at `index` when it is an Internet Explorer window.
ComPtr<IWebBrowser2> BrowserAt(IShellWindows* windows, long index) {
  VARIANT which = EmptyVariant();
  which.vt = VT_I4;
  which.lVal = index;
  ComPtr<IDispatch> item;
  ComPtr<IWebBrowser2> browser;
  if (FAILED(windows->Item(which, item.put())) || !item) return {};
  if (FAILED(item.As(IID_IWebBrowser2, browser)) || !browser) return {};
  if (!IsInternetExplorer(browser.get())) return {};
  return browser;
}

void CloseOneBrowser(IWebBrowser2* browser, std::string_view barId) {
  SHANDLE_PTR handle = 0;
  Guarded([&] {
    if (FAILED(browser->get_HWND(&handle))) handle = 0;
  });
  if (!barId.empty()) {
    Guarded([&] {
      Bstr id = Bstr::FromAnsi(barId);
      VARIANT clsid = EmptyVariant();
      clsid.vt = VT_BSTR;
      clsid.bstrVal = id.get();
      VARIANT show = EmptyVariant();
      show.vt = VT_BOOL;
      show.boolVal = VARIANT_FALSE;
      VARIANT size = EmptyVariant();
      browser->ShowBrowserBar(&clsid, &show, &size);
    });
  }
  Guarded([&] { browser->Quit(); });
  // A window whose handle could not be read gets no quit message: posting
  // WM_QUIT to a null window would land in this thread's own queue and end
  // the caller's message loop instead.
  if (handle != 0) {
    Guarded([&] { ::PostMessageA(reinterpret_cast<HWND>(handle), WM_QUIT, 0, 0); });
  }
}

}  // namespace

bool OpenInNewBrowser(std::string_view address) {
  Guarded([&] {
    const std::string url = Trim(address);
    if (url.empty()) return;

    ComPtr<IWebBrowser2> browser;
    if (FAILED(::CoCreateInstance(CLSID_InternetExplorer, nullptr,
                                  CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IWebBrowser2,
                                  browser.put_void())) ||
        !browser)
      return;

    Guarded([&] { browser->put_Visible(VARIANT_TRUE); });
    SHANDLE_PTR handle = 0;
    Guarded([&] {
      if (FAILED(browser->get_HWND(&handle))) handle = 0;
    });
    const HWND window = reinterpret_cast<HWND>(handle);
    Guarded([&] {
      if (window && !ForceForegroundWindow(window)) {
        // Past a foreground lock that would not yield, at least lift the
        // window above the others for a moment.
        ::SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        PumpWaitingMessages();
        ::SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      }
    });

    Guarded([&] {
      Bstr text = Bstr::FromAnsi(url);
      VARIANT target = EmptyVariant();
      target.vt = VT_BSTR;
      target.bstrVal = text.get();
      VARIANT flags = EmptyVariant(), frame = EmptyVariant(), post = EmptyVariant(),
              headers = EmptyVariant();
      browser->Navigate2(&target, &flags, &frame, &post, &headers);
    });
  });
  return false;
}

int CountBrowserWindows(IShellWindows* windows) {
  return GuardedOr(0, [&] {
    if (!windows) return 0;
    long count = 0;
    if (FAILED(windows->get_Count(&count)) || count < 0) return 0;
    int browsers = 0;
    for (long index = 0; index < count; ++index)
      Guarded([&] {
        if (BrowserAt(windows, index)) ++browsers;
      });
    return browsers;
  });
}

int CountBrowserWindows() {
  return GuardedOr(0, [] {
    ComPtr<IShellWindows> windows = CreateShellWindows();
    return CountBrowserWindows(windows.get());
  });
}

void CloseBrowserWindows(IShellWindows* windows, std::string_view barId) {
  if (!windows) return;
  long count = 0;
  if (!Guarded([&] {
        if (FAILED(windows->get_Count(&count))) count = 0;
      }))
    return;
  for (long index = count - 1; index >= 0; --index) {
    Guarded([&] {
      if (ComPtr<IWebBrowser2> browser = BrowserAt(windows, index))
        CloseOneBrowser(browser.get(), barId);
    });
  }
}

void CloseBrowserWindows(std::string_view barId) {
  Guarded([&] {
    ComPtr<IShellWindows> windows = CreateShellWindows();
    if (windows) CloseBrowserWindows(windows.get(), barId);
  });
}

}  // namespace sentrova
