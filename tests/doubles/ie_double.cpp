// A stand-in for the Internet Explorer application object, registered by the
// browser tests in the test prefix as the class's local server. Wine's own
// browser cannot navigate without its Gecko package, so the tests point the
// class at this program instead; it answers the calls the product makes and
// records each of them, in order, as a line of the text value
// HKCU\Software\SentrovaTests\IeDouble\Log.
//
// One object per process (like the real browser); the process ends when that
// object is released, or after a minute at the latest.
#include <windows.h>
#include <exdisp.h>

#include <string>

#include "doubles/automation_bases.h"

namespace {

constexpr char kLogKey[] = "Software\\SentrovaTests\\IeDouble";
constexpr UINT_PTR kLifeTimer = 1;
constexpr UINT kLifeMs = 60000;

HWND g_window = nullptr;

void Record(const std::string& line) {
  HKEY key = nullptr;
  if (::RegCreateKeyExA(HKEY_CURRENT_USER, kLogKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
    return;
  std::string log;
  char buffer[8192];
  DWORD size = sizeof buffer - 1;
  DWORD type = 0;
  if (::RegQueryValueExA(key, "Log", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) ==
          ERROR_SUCCESS &&
      type == REG_SZ) {
    buffer[size] = '\0';
    log = buffer;
  }
  log += line + "\n";
  ::RegSetValueExA(key, "Log", 0, REG_SZ, reinterpret_cast<const BYTE*>(log.c_str()),
                   static_cast<DWORD>(log.size() + 1));
  ::RegCloseKey(key);
}

std::string Narrow(const wchar_t* text) {
  if (!text) return {};
  const int n = ::WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n - 1 : 0, '\0');
  if (n > 1) ::WideCharToMultiByte(CP_ACP, 0, text, -1, out.data(), n, nullptr, nullptr);
  return out;
}

// "EMPTY" for a missing or empty optional argument, else its variant type.
std::string Describe(const VARIANT* v) {
  if (!v) return "NULL";
  if (v->vt == VT_EMPTY) return "EMPTY";
  return "vt" + std::to_string(v->vt);
}

class Browser : public sentrova::test::WebBrowserBase {
 public:
  STDMETHODIMP put_Visible(VARIANT_BOOL value) override {
    Record("Visible " + std::to_string(value));
    ::ShowWindow(g_window, value ? SW_SHOW : SW_HIDE);
    return S_OK;
  }
  STDMETHODIMP get_HWND(SHANDLE_PTR* handle) override {
    Record("HWND");
    if (!handle) return E_POINTER;
    *handle = reinterpret_cast<SHANDLE_PTR>(g_window);
    return S_OK;
  }
  STDMETHODIMP Navigate2(VARIANT* url, VARIANT* flags, VARIANT* frame, VARIANT* post,
                         VARIANT* headers) override {
    const std::string address = url && url->vt == VT_BSTR ? Narrow(url->bstrVal) : "?";
    Record("Navigate2 " + address + " " + Describe(flags) + "," + Describe(frame) + "," +
           Describe(post) + "," + Describe(headers));
    return S_OK;
  }
  STDMETHODIMP Quit() override {
    Record("Quit");
    return S_OK;
  }
  void OnFinalRelease() override {
    Record("Released");
    ::PostQuitMessage(0);
    delete this;
  }
};

class Factory : public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    Record("Created");
    auto* browser = new Browser;
    const HRESULT hr = browser->QueryInterface(iid, out);
    browser->Release();
    return hr;
  }
  STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_TIMER && wParam == kLifeTimer) {
    ::PostQuitMessage(1);
    return 0;
  }
  if (message == WM_QUIT) return 0;
  return ::DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
  WNDCLASSA wc{};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.lpszClassName = "SentrovaTestBrowser";
  ::RegisterClassA(&wc);
  g_window = ::CreateWindowExA(0, wc.lpszClassName, "Sentrova test browser", WS_OVERLAPPEDWINDOW,
                               100, 100, 400, 300, nullptr, nullptr, instance, nullptr);
  ::SetTimer(g_window, kLifeTimer, kLifeMs, nullptr);

  static Factory factory;
  DWORD cookie = 0;
  if (SUCCEEDED(::CoRegisterClassObject(CLSID_InternetExplorer, &factory, CLSCTX_LOCAL_SERVER,
                                        REGCLS_SINGLEUSE, &cookie))) {
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
      ::TranslateMessage(&msg);
      ::DispatchMessageA(&msg);
    }
    ::CoRevokeClassObject(cookie);
  }
  ::DestroyWindow(g_window);
  ::CoUninitialize();
  return 0;
}
