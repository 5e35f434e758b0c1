// TVRXObj, the plug-in object that the toolbar host creates in this process
// (one per browser window and one for the host's settings dialog), and its
// class factory. The host calls it on COM worker threads (free threading).
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "host/host_contract.h"
#include "platform/com.h"

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
  // The object's service, obtained when it has none yet; throws OleError
  // when the host's service cannot be created.
  ComPtr<ITB4Server> ObtainService();
  void ReleaseService();
  std::string InstanceId() const;
  // Reads the object's settings and pushes button, tray and menu (Connect,
  // ConfigChanged); only while the program runs.
  void LoadConfiguration();

  std::atomic<ULONG> refs_{1};
  mutable std::mutex mutex_;  // guards instanceId_ and service_
  std::string instanceId_;
  ComPtr<ITB4Server> service_;
  // SHOW_VRX_BUTTON: 0 or less hidden, odd shows the image, above 1 the caption.
  std::atomic<int> buttonMode_{1};
  // RUN_ENDIE as the object read it.
  std::atomic<bool> cleanAtBrowserEnd_{false};
};

// What UpdateToolbar pushes to the host.
enum class ToolbarPart { kButton = 1, kMenu = 2 };

// Pushes the button (value: the button mode) or the menu to the host through
// a new service reference; only while the program runs. Errors are swallowed.
void UpdateToolbar(ToolbarPart part, int value);

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

// The instance ids of the browser windows that registered (GetInfo
// "INITEVENTS") and whose objects still live.
std::vector<std::string> RegisteredInstances();

}  // namespace sentrova
