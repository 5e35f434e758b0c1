// The Internet Explorer application object, replaced for this process by a
// double that records the product's calls in order ("Width 456", "HWND",
// "Navigate2 http://...") and hands out a window of the test's own. The
// calling thread must be in the multithreaded apartment.
#pragma once

#include <windows.h>
#include <exdisp.h>

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "doubles/automation_bases.h"
#include "platform/com.h"
#include "win/class_override.h"

namespace sentrova::test {

class BrowserDouble {
 public:
  using Calls = std::vector<std::string>;

  // The window that each new browser object reports as its own (may be null).
  HWND window = nullptr;

  bool Registered() const { return override_.Registered(); }
  int Creations() const { return override_.Creations(); }
  Calls Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(calls_, {});
  }

 private:
  class Browser final : public WebBrowserBase {
   public:
    explicit Browser(BrowserDouble& owner) : owner_(owner) {}
    STDMETHODIMP put_Width(LONG v) override { return Put("Width", v); }
    STDMETHODIMP put_Height(LONG v) override { return Put("Height", v); }
    STDMETHODIMP put_MenuBar(VARIANT_BOOL v) override { return Put("MenuBar", v); }
    STDMETHODIMP put_ToolBar(int v) override { return Put("ToolBar", v); }
    STDMETHODIMP put_AddressBar(VARIANT_BOOL v) override { return Put("AddressBar", v); }
    STDMETHODIMP put_StatusBar(VARIANT_BOOL v) override { return Put("StatusBar", v); }
    STDMETHODIMP put_Resizable(VARIANT_BOOL v) override { return Put("Resizable", v); }
    STDMETHODIMP put_Visible(VARIANT_BOOL v) override { return Put("Visible", v); }
    STDMETHODIMP get_HWND(SHANDLE_PTR* handle) override {
      owner_.Add("HWND");
      *handle = reinterpret_cast<SHANDLE_PTR>(owner_.window);
      return S_OK;
    }
    STDMETHODIMP Navigate(BSTR url, VARIANT*, VARIANT*, VARIANT*, VARIANT*) override {
      owner_.Add("Navigate " + WideToAnsi(url ? url : L""));
      return S_OK;
    }
    STDMETHODIMP Navigate2(VARIANT* url, VARIANT*, VARIANT*, VARIANT*, VARIANT*) override {
      const bool text = url != nullptr && url->vt == VT_BSTR && url->bstrVal != nullptr;
      owner_.Add("Navigate2 " + (text ? WideToAnsi(url->bstrVal) : std::string("?")));
      return S_OK;
    }

   private:
    HRESULT Put(const char* what, long value) {
      owner_.Add(std::string(what) + " " + std::to_string(value));
      return S_OK;
    }
    BrowserDouble& owner_;
  };

  void Add(std::string call) {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(std::move(call));
  }

  std::mutex mutex_;
  Calls calls_;
  ClassOverride override_{CLSID_InternetExplorer, [this](REFIID iid, void** out) {
                            auto* browser = new Browser(*this);
                            const HRESULT hr = browser->QueryInterface(iid, out);
                            browser->Release();
                            return hr;
                          }};
};

}  // namespace sentrova::test
