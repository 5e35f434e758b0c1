// Base classes for test doubles of the browser and shell automation: every
// method answers E_NOTIMPL (as Wine's own objects do for much of it) until a
// double overrides it. Reference counting and QueryInterface are real.
#pragma once

#include <windows.h>
#include <exdisp.h>

#include <atomic>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-parameter"

namespace sentrova::test {

class WebBrowserBase : public IWebBrowser2 {
 public:
  virtual ~WebBrowserBase() = default;

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown ||
        iid == IID_IDispatch ||
        iid == IID_IWebBrowser ||
        iid == IID_IWebBrowserApp ||
        iid == IID_IWebBrowser2) {
      *out = static_cast<IWebBrowser2*>(this);
      AddRef();
      return S_OK;
    }
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --refs_;
    if (left == 0) OnFinalRelease();
    return left;
  }
  // Deletes the object; a double may do more (a server ends its loop).
  virtual void OnFinalRelease() { delete this; }

  STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

  STDMETHODIMP GoBack() override { return E_NOTIMPL; }
  STDMETHODIMP GoForward() override { return E_NOTIMPL; }
  STDMETHODIMP GoHome() override { return E_NOTIMPL; }
  STDMETHODIMP GoSearch() override { return E_NOTIMPL; }
  STDMETHODIMP Navigate(BSTR URL,  VARIANT *Flags,  VARIANT *TargetFrameName,  VARIANT *PostData,  VARIANT *Headers) override { return E_NOTIMPL; }
  STDMETHODIMP Refresh() override { return E_NOTIMPL; }
  STDMETHODIMP Refresh2(VARIANT *Level) override { return E_NOTIMPL; }
  STDMETHODIMP Stop() override { return E_NOTIMPL; }
  STDMETHODIMP get_Application(IDispatch **ppDisp) override { return E_NOTIMPL; }
  STDMETHODIMP get_Parent(IDispatch **ppDisp) override { return E_NOTIMPL; }
  STDMETHODIMP get_Container(IDispatch **ppDisp) override { return E_NOTIMPL; }
  STDMETHODIMP get_Document(IDispatch **ppDisp) override { return E_NOTIMPL; }
  STDMETHODIMP get_TopLevelContainer(VARIANT_BOOL *pBool) override { return E_NOTIMPL; }
  STDMETHODIMP get_Type(BSTR *Type) override { return E_NOTIMPL; }
  STDMETHODIMP get_Left(LONG *pl) override { return E_NOTIMPL; }
  STDMETHODIMP put_Left(LONG Left) override { return E_NOTIMPL; }
  STDMETHODIMP get_Top(LONG *pl) override { return E_NOTIMPL; }
  STDMETHODIMP put_Top(LONG Top) override { return E_NOTIMPL; }
  STDMETHODIMP get_Width(LONG *pl) override { return E_NOTIMPL; }
  STDMETHODIMP put_Width(LONG Width) override { return E_NOTIMPL; }
  STDMETHODIMP get_Height(LONG *pl) override { return E_NOTIMPL; }
  STDMETHODIMP put_Height(LONG Height) override { return E_NOTIMPL; }
  STDMETHODIMP get_LocationName(BSTR *LocationName) override { return E_NOTIMPL; }
  STDMETHODIMP get_LocationURL(BSTR *LocationURL) override { return E_NOTIMPL; }
  STDMETHODIMP get_Busy(VARIANT_BOOL *pBool) override { return E_NOTIMPL; }
  STDMETHODIMP Quit() override { return E_NOTIMPL; }
  STDMETHODIMP ClientToWindow(int *pcx,  int *pcy) override { return E_NOTIMPL; }
  STDMETHODIMP PutProperty(BSTR Property,  VARIANT vtValue) override { return E_NOTIMPL; }
  STDMETHODIMP GetProperty(BSTR Property,  VARIANT *pvtValue) override { return E_NOTIMPL; }
  STDMETHODIMP get_Name(BSTR *Name) override { return E_NOTIMPL; }
  STDMETHODIMP get_HWND(SHANDLE_PTR *pHWND) override { return E_NOTIMPL; }
  STDMETHODIMP get_FullName(BSTR *FullName) override { return E_NOTIMPL; }
  STDMETHODIMP get_Path(BSTR *Path) override { return E_NOTIMPL; }
  STDMETHODIMP get_Visible(VARIANT_BOOL *pBool) override { return E_NOTIMPL; }
  STDMETHODIMP put_Visible(VARIANT_BOOL Value) override { return E_NOTIMPL; }
  STDMETHODIMP get_StatusBar(VARIANT_BOOL *pBool) override { return E_NOTIMPL; }
  STDMETHODIMP put_StatusBar(VARIANT_BOOL Value) override { return E_NOTIMPL; }
  STDMETHODIMP get_StatusText(BSTR *StatusText) override { return E_NOTIMPL; }
  STDMETHODIMP put_StatusText(BSTR StatusText) override { return E_NOTIMPL; }
  STDMETHODIMP get_ToolBar(int *Value) override { return E_NOTIMPL; }
  STDMETHODIMP put_ToolBar(int Value) override { return E_NOTIMPL; }
  STDMETHODIMP get_MenuBar(VARIANT_BOOL *Value) override { return E_NOTIMPL; }
  STDMETHODIMP put_MenuBar(VARIANT_BOOL Value) override { return E_NOTIMPL; }
  STDMETHODIMP get_FullScreen(VARIANT_BOOL *pbFullScreen) override { return E_NOTIMPL; }
  STDMETHODIMP put_FullScreen(VARIANT_BOOL bFullScreen) override { return E_NOTIMPL; }
  STDMETHODIMP Navigate2(VARIANT *URL,  VARIANT *Flags,  VARIANT *TargetFrameName,  VARIANT *PostData,  VARIANT *Headers) override { return E_NOTIMPL; }
  STDMETHODIMP QueryStatusWB(OLECMDID cmdID,  OLECMDF *pcmdf) override { return E_NOTIMPL; }
  STDMETHODIMP ExecWB(OLECMDID cmdID,  OLECMDEXECOPT cmdexecopt,  VARIANT *pvaIn,  VARIANT *pvaOut) override { return E_NOTIMPL; }
  STDMETHODIMP ShowBrowserBar(VARIANT *pvaClsid,  VARIANT *pvarShow,  VARIANT *pvarSize) override { return E_NOTIMPL; }
  STDMETHODIMP get_ReadyState(READYSTATE *plReadyState) override { return E_NOTIMPL; }
  STDMETHODIMP get_Offline(VARIANT_BOOL *pbOffline) override { return E_NOTIMPL; }
  STDMETHODIMP put_Offline(VARIANT_BOOL bOffline) override { return E_NOTIMPL; }
  STDMETHODIMP get_Silent(VARIANT_BOOL *pbSilent) override { return E_NOTIMPL; }
  STDMETHODIMP put_Silent(VARIANT_BOOL bSilent) override { return E_NOTIMPL; }
  STDMETHODIMP get_RegisterAsBrowser(VARIANT_BOOL *pbRegister) override { return E_NOTIMPL; }
  STDMETHODIMP put_RegisterAsBrowser(VARIANT_BOOL bRegister) override { return E_NOTIMPL; }
  STDMETHODIMP get_RegisterAsDropTarget(VARIANT_BOOL *pbRegister) override { return E_NOTIMPL; }
  STDMETHODIMP put_RegisterAsDropTarget(VARIANT_BOOL bRegister) override { return E_NOTIMPL; }
  STDMETHODIMP get_TheaterMode(VARIANT_BOOL *pbRegister) override { return E_NOTIMPL; }
  STDMETHODIMP put_TheaterMode(VARIANT_BOOL bRegister) override { return E_NOTIMPL; }
  STDMETHODIMP get_AddressBar(VARIANT_BOOL *Value) override { return E_NOTIMPL; }
  STDMETHODIMP put_AddressBar(VARIANT_BOOL Value) override { return E_NOTIMPL; }
  STDMETHODIMP get_Resizable(VARIANT_BOOL *Value) override { return E_NOTIMPL; }
  STDMETHODIMP put_Resizable(VARIANT_BOOL Value) override { return E_NOTIMPL; }

 private:
  std::atomic<ULONG> refs_{1};
};

class ShellWindowsBase : public IShellWindows {
 public:
  virtual ~ShellWindowsBase() = default;

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown ||
        iid == IID_IDispatch ||
        iid == IID_IShellWindows) {
      *out = static_cast<IShellWindows*>(this);
      AddRef();
      return S_OK;
    }
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

  STDMETHODIMP get_Count(LONG *Count) override { return E_NOTIMPL; }
  STDMETHODIMP Item(VARIANT index,  IDispatch **Folder) override { return E_NOTIMPL; }
  STDMETHODIMP _NewEnum(IUnknown **ppunk) override { return E_NOTIMPL; }
  STDMETHODIMP Register(IDispatch *pid,  LONG hWnd,  int swClass,  LONG *plCookie) override { return E_NOTIMPL; }
  STDMETHODIMP RegisterPending(LONG lThreadId,  VARIANT *pvarloc,  VARIANT *pvarlocRoot,  int swClass,  LONG *plCookie) override { return E_NOTIMPL; }
  STDMETHODIMP Revoke(LONG lCookie) override { return E_NOTIMPL; }
  STDMETHODIMP OnNavigate(LONG lCookie,  VARIANT *pvarLoc) override { return E_NOTIMPL; }
  STDMETHODIMP OnActivated(LONG lCookie,  VARIANT_BOOL fActive) override { return E_NOTIMPL; }
  STDMETHODIMP FindWindowSW(VARIANT *pvarLoc,  VARIANT *pvarLocRoot,  int swClass,  LONG *phwnd,  int swfwOptions,  IDispatch **ppdispOut) override { return E_NOTIMPL; }
  STDMETHODIMP OnCreated(LONG lCookie,  IUnknown *punk) override { return E_NOTIMPL; }
  STDMETHODIMP ProcessAttachDetach(VARIANT_BOOL fAttach) override { return E_NOTIMPL; }

 private:
  std::atomic<ULONG> refs_{1};
};

}  // namespace sentrova::test

#pragma GCC diagnostic pop
