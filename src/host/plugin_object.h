// TVRXObj, the plug-in object that the toolbar host creates in this process
// (one per browser window and one for the host's settings dialog), and its
// class factory. The host calls it on COM worker threads (free threading).
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <atomic>
#include <string>

#include "host/host_contract.h"

namespace sentrova {

class TVRXObj final : public ITB4Plugin {
 public:
  TVRXObj();
  ~TVRXObj();
  TVRXObj(const TVRXObj&) = delete;
  TVRXObj& operator=(const TVRXObj&) = delete;

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IDispatch, answered from the host's type library.
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                             DISPID* ids) override;
  STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                      VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) override;

  // The plug-in interface.
  STDMETHODIMP GetPluginName(BSTR* name) override;
  STDMETHODIMP SetInstanceId(BSTR instanceId) override;
  STDMETHODIMP Connect(LONG* connected) override;
  STDMETHODIMP GetButtonInfo(LONG reserved, LONG* width, LONG* style, BSTR* descriptor,
                             BSTR* caption, BSTR* tooltip, SAFEARRAY** image, BSTR* menu,
                             BSTR* longName, SAFEARRAY** largeImage, LONG* visible) override;
  STDMETHODIMP GetSettingsPages(BSTR* pages, SAFEARRAY** image) override;
  STDMETHODIMP GetInfo(BSTR name, LONG reserved, BSTR* value) override;
  STDMETHODIMP Reserved13(LONG a, LONG b, LONG c) override;
  STDMETHODIMP Reserved14(BSTR* value) override;
  STDMETHODIMP GetAboutUrl(BSTR* url) override;
  STDMETHODIMP GetHelpUrl(BSTR* url) override;
  STDMETHODIMP SettingsButtonClick(BSTR command) override;
  STDMETHODIMP MenuCommand(LONG reserved, BSTR command) override;
  STDMETHODIMP Reserved19(SHORT* value) override;
  STDMETHODIMP GetDefaults(BSTR* defaults) override;
  STDMETHODIMP HostStarted() override;
  STDMETHODIMP EnablePlugin() override;
  STDMETHODIMP DisablePlugin() override;
  STDMETHODIMP ConfigChanged() override;

 private:
  std::atomic<ULONG> refs_{1};
};

// The class object that COM hands out for the plug-in class: multiple use,
// free threaded; it lives as long as the process.
IClassFactory* VrxObjFactory();

// The vtable view of the plug-in interface's type information, reached
// through the program's own type library (which refers to the host's);
// null when neither library can be loaded.
ITypeInfo* PluginTypeInfo();

// Whether the host has announced itself (HostStarted) and the instance list
// exists.
bool InstanceListExists();

}  // namespace sentrova
