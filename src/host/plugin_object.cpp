#include "host/plugin_object.h"

#include <oleauto.h>

#include <mutex>
#include <optional>
#include <vector>

#include "host/com_server.h"
#include "platform/class_factory.h"
#include "platform/com.h"
#include "platform/guard.h"
#include "platform/system_facts.h"
#include "state/process_state.h"

namespace sentrova {

namespace {

// Instance ids that the host registered (GetInfo "INITEVENTS"); created when
// the host announces itself.
std::mutex instanceMutex;
std::optional<std::vector<std::string>> instanceList;

// Hands a text out through a BSTR out-parameter.
HRESULT OutText(BSTR* out, const std::string& text) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  Bstr b = Bstr::FromAnsi(text);
  *out = b.Detach();
  return S_OK;
}

template <class T>
void Clear(T* out) {
  if (out != nullptr) *out = T{};
}

ITypeInfo* LoadPluginTypeInfo() {
  ComPtr<ITypeInfo> info;
  // Through the program's own library: its coclass names the host's
  // interface, which resolves through the host's registered library.
  Guarded([&] {
    ComPtr<ITypeLib> own;
    const std::wstring path = AnsiToWide(ProgramFileName());
    OleCheck(::LoadTypeLibEx(path.c_str(), REGKIND_NONE, own.put()));
    ComPtr<ITypeInfo> coclass;
    OleCheck(own->GetTypeInfoOfGuid(kVrxObjClassId, coclass.put()));
    HREFTYPE ref = 0;
    OleCheck(coclass->GetRefTypeOfImplType(0, &ref));
    OleCheck(coclass->GetRefTypeInfo(ref, info.put()));
  });
  if (!info) {
    Guarded([&] {
      ComPtr<ITypeLib> host;
      OleCheck(::LoadRegTypeLib(kHostLibraryId, kHostLibraryMajor, kHostLibraryMinor, 0,
                                host.put()));
      OleCheck(host->GetTypeInfoOfGuid(kPluginInterfaceId, info.put()));
    });
  }
  if (!info) return nullptr;
  // A dual interface comes as its dispatch view; DispInvoke needs the vtable view.
  Guarded([&] {
    TYPEATTR* attr = nullptr;
    OleCheck(info->GetTypeAttr(&attr));
    const TYPEKIND kind = attr->typekind;
    info->ReleaseTypeAttr(attr);
    if (kind == TKIND_DISPATCH) {
      HREFTYPE ref = 0;
      OleCheck(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref));
      ComPtr<ITypeInfo> vtable;
      OleCheck(info->GetRefTypeInfo(ref, vtable.put()));
      info = vtable;
    }
  });
  return info.Detach();
}


}  // namespace

ITypeInfo* PluginTypeInfo() {
  static std::once_flag once;
  static ITypeInfo* info = nullptr;  // kept for the life of the process
  std::call_once(once, [] { info = LoadPluginTypeInfo(); });
  return info;
}

IClassFactory* VrxObjFactory() {
  // A server lock counts like a live object: the process keeps serving.
  static StaticClassFactory<TVRXObj> factory([](bool lock) {
    if (lock) {
      ServerObjectCreated();
    } else {
      ServerObjectDestroyed();
    }
  });
  return &factory;
}

bool InstanceListExists() {
  std::lock_guard<std::mutex> lock(instanceMutex);
  return instanceList.has_value();
}

TVRXObj::TVRXObj() { ServerObjectCreated(); }

TVRXObj::~TVRXObj() { ServerObjectDestroyed(); }

STDMETHODIMP TVRXObj::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == kPluginInterfaceId) {
    *object = static_cast<ITB4Plugin*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) TVRXObj::AddRef() { return ++refs_; }

STDMETHODIMP_(ULONG) TVRXObj::Release() {
  const ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP TVRXObj::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = PluginTypeInfo() != nullptr ? 1 : 0;
  return S_OK;
}

STDMETHODIMP TVRXObj::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  if (index != 0) return DISP_E_BADINDEX;
  ITypeInfo* t = PluginTypeInfo();
  if (t == nullptr) return TYPE_E_CANTLOADLIBRARY;
  t->AddRef();
  *info = t;
  return S_OK;
}

STDMETHODIMP TVRXObj::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  ITypeInfo* t = PluginTypeInfo();
  if (t == nullptr) return TYPE_E_CANTLOADLIBRARY;
  return ::DispGetIDsOfNames(t, names, count, ids);
}

STDMETHODIMP TVRXObj::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                             VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) {
  ITypeInfo* t = PluginTypeInfo();
  if (t == nullptr) return TYPE_E_CANTLOADLIBRARY;
  return ::DispInvoke(static_cast<ITB4Plugin*>(this), t, id, flags, params, result, excepInfo,
                      argErr);
}

STDMETHODIMP TVRXObj::GetPluginName(BSTR* name) {
  return GuardedOr(E_UNEXPECTED, [&] { return OutText(name, kPluginName); });
}

STDMETHODIMP TVRXObj::GetDefaults(BSTR* defaults) {
  return GuardedOr(E_UNEXPECTED, [&] { return OutText(defaults, State().DefaultsText.Get()); });
}

STDMETHODIMP TVRXObj::GetAboutUrl(BSTR* url) {
  return GuardedOr(E_UNEXPECTED, [&] { return OutText(url, State().AboutUrl.Get()); });
}

STDMETHODIMP TVRXObj::GetHelpUrl(BSTR* url) {
  return GuardedOr(E_UNEXPECTED, [&] { return OutText(url, State().HelpUrl.Get()); });
}

STDMETHODIMP TVRXObj::HostStarted() {
  State().HostReady = true;
  Guarded([] {
    std::lock_guard<std::mutex> lock(instanceMutex);
    if (!instanceList) instanceList.emplace();
  });
  return S_OK;
}

// The toolbar link (button, menu, settings pages, commands, enable and
// disable, configuration changes) is not served yet: these methods answer
// success with empty results and change nothing.

STDMETHODIMP TVRXObj::SetInstanceId(BSTR) { return S_OK; }

STDMETHODIMP TVRXObj::Connect(LONG* connected) {
  Clear(connected);
  return S_OK;
}

STDMETHODIMP TVRXObj::GetButtonInfo(LONG, LONG* width, LONG* style, BSTR* descriptor,
                                    BSTR* caption, BSTR* tooltip, SAFEARRAY** image, BSTR* menu,
                                    BSTR* longName, SAFEARRAY** largeImage, LONG* visible) {
  Clear(width);
  Clear(style);
  Clear(descriptor);
  Clear(caption);
  Clear(tooltip);
  Clear(image);
  Clear(menu);
  Clear(longName);
  Clear(largeImage);
  Clear(visible);
  return S_OK;
}

STDMETHODIMP TVRXObj::GetSettingsPages(BSTR* pages, SAFEARRAY** image) {
  Clear(pages);
  Clear(image);
  return S_OK;
}

STDMETHODIMP TVRXObj::GetInfo(BSTR, LONG, BSTR* value) {
  Clear(value);
  return S_OK;
}

STDMETHODIMP TVRXObj::Reserved13(LONG, LONG, LONG) { return S_OK; }

STDMETHODIMP TVRXObj::Reserved14(BSTR* value) {
  Clear(value);
  return S_OK;
}

STDMETHODIMP TVRXObj::SettingsButtonClick(BSTR) { return S_OK; }

STDMETHODIMP TVRXObj::MenuCommand(LONG, BSTR) { return S_OK; }

STDMETHODIMP TVRXObj::Reserved19(SHORT* value) {
  Clear(value);
  return S_OK;
}

STDMETHODIMP TVRXObj::EnablePlugin() { return S_OK; }

STDMETHODIMP TVRXObj::DisablePlugin() { return S_OK; }

STDMETHODIMP TVRXObj::ConfigChanged() { return S_OK; }

}  // namespace sentrova
