#include "ui/settings_opener.h"

#include <windows.h>
#include <exdisp.h>
#include <objbase.h>

#include <mutex>
#include <string>
#include <thread>

#include "branding/translate.h"
#include "platform/com.h"
#include "platform/date_time_win.h"
#include "platform/guard.h"
#include "platform/registry.h"
#include "platform/system_facts.h"
#include "quillbox.h"  // the toolbar host's service (generated from its IDL)
#include "state/process_state.h"

namespace sentrova {

namespace {

constexpr DWORD kStartDelayMs = 500;
constexpr DWORD kComFlags = COINIT_MULTITHREADED | COINIT_SPEED_OVER_MEMORY;
// The host is asked to hold back its own prompts this long while the
// program's settings window is up (days).
constexpr double kAskLaterDays = 20.0 / (24 * 60);

// Openers take turns: each reads and replaces the shared SettingsWindow.
std::mutex openerMutex;

std::string ResourceAddress(const char* name) { return "res://" + ProgramFileName() + "/" + name; }

// The settings in the host's own HTML window.
void OpenInHostWindow(ITB4Server* service) {
  State().SettingsWindow = nullptr;
  LONG window = 0;
  const HRESULT hr = service->OpenHtmlWindow(
      Bstr(L"VRX").get(), Bstr::FromAnsi(TranslateText("Sentrova Settings")).get(),
      Bstr::FromAnsi(ResourceAddress("options")).get(), 450, 470, 0, 0, 0, &window);
  if (SUCCEEDED(hr)) State().SettingsWindow = reinterpret_cast<HWND>(static_cast<intptr_t>(window));
}

// A new small browser window showing the settings; null when the browser
// cannot be set up.
HWND NewSettingsBrowser() {
  HWND window = nullptr;
  Guarded([&] {
    ComPtr<IWebBrowser2> browser;
    OleCheck(::CoCreateInstance(CLSID_InternetExplorer, nullptr,
                                CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IWebBrowser2,
                                browser.put_void()));
    if (!browser) return;
    OleCheck(browser->put_Width(456));
    OleCheck(browser->put_Height(526));
    OleCheck(browser->put_MenuBar(VARIANT_FALSE));
    OleCheck(browser->put_ToolBar(0));
    OleCheck(browser->put_AddressBar(VARIANT_FALSE));
    OleCheck(browser->put_StatusBar(VARIANT_FALSE));
    OleCheck(browser->put_Resizable(VARIANT_FALSE));
    SHANDLE_PTR handle = 0;
    OleCheck(browser->get_HWND(&handle));
    window = reinterpret_cast<HWND>(handle);
    Guarded([&] {
      VARIANT none;
      ::VariantInit(&none);
      browser->Navigate(Bstr::FromAnsi(ResourceAddress("settings")).get(), &none, &none, &none,
                        &none);
    });
  });
  return window;
}

void BringForward(HWND window) {
  ::ShowWindow(window, SW_HIDE);
  ::BringWindowToTop(window);
  ::SetForegroundWindow(window);
  ::SetFocus(window);
  ::SetActiveWindow(window);
  const int x = ::GetSystemMetrics(SM_CXSCREEN) / 2 - 230;
  const int y = ::GetSystemMetrics(SM_CYSCREEN) / 2 - 245;
  ::SetWindowPos(window, HWND_TOPMOST, x, y, 0, 0, SWP_NOSIZE);
  ::ShowWindow(window, SW_SHOW);
}

// The settings in a browser window of the program's own.
void OpenInOwnWindow() {
  Guarded([] {
    WriteRegFloat(HKEY_CURRENT_USER, "Software\\Toolbar\\", "AsQ", false,
                  NowLocal() + kAskLaterDays);
  });
  ProcessState& st = State();
  HWND window = st.SettingsWindow;
  if (window != nullptr && !::IsWindow(window)) window = nullptr;
  if (window == nullptr) window = NewSettingsBrowser();
  st.SettingsWindow = window;
  if (window != nullptr) Guarded([&] { BringForward(window); });
}

}  // namespace

void OpenSettings() {
  Guarded([] {
    std::lock_guard<std::mutex> lock(openerMutex);
    ComPtr<IUnknown> object;
    if (FAILED(::CoCreateInstance(CLSID_CoTB4Server, nullptr,
                                  CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                  object.put_void())) ||
        !object) {
      return;
    }
    ComPtr<ITB4Server> service;
    if (SUCCEEDED(object->QueryInterface(IID_ITB4Server, service.put_void())) && service) {
      Guarded([&] { OpenInHostWindow(service.get()); });
    } else {
      OpenInOwnWindow();
    }
  });
}

void TMenuSettingsThr::Start() {
  Guarded([] {
    std::thread([] {
      Guarded([] {
        ::Sleep(kStartDelayMs);
        const HRESULT com = ::CoInitializeEx(nullptr, kComFlags);
        OpenSettings();
        if (SUCCEEDED(com)) ::CoUninitialize();
      });
    }).detach();
  });
}

}  // namespace sentrova
