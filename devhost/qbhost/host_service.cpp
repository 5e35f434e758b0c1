// qbhost.dll: the stand-in toolbar host's service CoTB4Server, an in-process,
// free-threaded COM server. It keeps configuration values per namespace and
// key (config_store.h), answers reads with the stored value, the plug-in's
// default or the call default, and records what a plug-in pushes to its
// toolbar button so that tests and qbhost.exe can read it back.
#include <initguid.h>

#include <windows.h>
#include <oleauto.h>

#include <atomic>
#include <mutex>
#include <string>

#include "config_store.h"
#include "platform/class_factory.h"
#include "quillbox.h"

namespace {

std::atomic<long> liveObjects{0};
std::atomic<long> serverLocks{0};

// Reads of keys that neither the plug-in wrote nor its defaults hold: the
// call default is handed back, and the status says that the host does not
// know the key.
const HRESULT kUnknownKey = HRESULT_FROM_WIN32(ERROR_NOT_FOUND);

std::wstring Text(BSTR b) { return b ? std::wstring(b, ::SysStringLen(b)) : std::wstring(); }

ITypeInfo* ServiceTypeInfo() {
  static std::once_flag once;
  static ITypeInfo* info = nullptr;
  std::call_once(once, [] {
    ITypeLib* lib = nullptr;
    if (FAILED(::LoadRegTypeLib(LIBID_QuillboxTB4, 1, 0, 0, &lib))) return;
    ITypeInfo* t = nullptr;
    if (SUCCEEDED(lib->GetTypeInfoOfGuid(IID_ITB4Server, &t))) {
      TYPEATTR* attr = nullptr;
      if (SUCCEEDED(t->GetTypeAttr(&attr))) {
        const bool dispatchView = attr->typekind == TKIND_DISPATCH;
        t->ReleaseTypeAttr(attr);
        HREFTYPE ref = 0;
        ITypeInfo* vtable = nullptr;
        if (dispatchView && SUCCEEDED(t->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref)) &&
            SUCCEEDED(t->GetRefTypeInfo(ref, &vtable))) {
          t->Release();
          t = vtable;
        }
      }
      info = t;
    }
    lib->Release();
  });
  return info;
}

// Converts a looked-up value; false when there is none or it does not convert.
bool Lookup(BSTR ns, BSTR key, VARTYPE type, VARIANT& out) {
  VARIANT stored;
  ::VariantInit(&stored);
  ::VariantInit(&out);
  if (!qbhost::LookupValue(Text(ns), Text(key), stored)) return false;
  const HRESULT hr = ::VariantChangeType(&out, &stored, 0, type);
  ::VariantClear(&stored);
  return SUCCEEDED(hr);
}

HRESULT Store(BSTR ns, BSTR key, VARIANT& value) {
  const bool ok = qbhost::StoreValue(Text(ns), Text(key), value);
  return ok ? S_OK : E_FAIL;
}

std::wstring ToolbarKey(BSTR ns, BSTR button) {
  return L"Toolbar\\" + Text(ns) + L"\\" + Text(button);
}

// Counts the HTML windows asked for under a record key.
void CountWindow(const std::wstring& key) {
  static std::mutex countMutex;
  std::lock_guard<std::mutex> lock(countMutex);
  const std::wstring path = std::wstring(qbhost::kStoreRoot) + L"\\" + key;
  DWORD count = 0;
  DWORD size = sizeof count;
  if (::RegGetValueW(HKEY_CURRENT_USER, path.c_str(), L"Opened", RRF_RT_REG_DWORD, nullptr, &count,
                     &size) != ERROR_SUCCESS) {
    count = 0;
  }
  qbhost::WriteNumber(key, L"Opened", count + 1);
}

class CoTB4Server final : public ITB4Server {
 public:
  CoTB4Server() { ++liveObjects; }
  ~CoTB4Server() { --liveObjects; }

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_ITB4Server) {
      *object = static_cast<ITB4Server*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = ServiceTypeInfo() ? 1 : 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    if (!ServiceTypeInfo()) return TYPE_E_CANTLOADLIBRARY;
    ServiceTypeInfo()->AddRef();
    *info = ServiceTypeInfo();
    return S_OK;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (!ServiceTypeInfo()) return TYPE_E_CANTLOADLIBRARY;
    return ::DispGetIDsOfNames(ServiceTypeInfo(), names, count, ids);
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* excepInfo, UINT* argErr) override {
    if (!ServiceTypeInfo()) return TYPE_E_CANTLOADLIBRARY;
    return ::DispInvoke(static_cast<ITB4Server*>(this), ServiceTypeInfo(), id, flags, params,
                        result, excepInfo, argErr);
  }

  // Configuration.
  STDMETHODIMP ReadBool(BSTR ns, BSTR key, LONG def, VARIANT_BOOL* value) override {
    if (!value) return E_POINTER;
    VARIANT v;
    if (!Lookup(ns, key, VT_BOOL, v)) {
      *value = static_cast<VARIANT_BOOL>(def);
      return kUnknownKey;
    }
    *value = v.boolVal;
    return S_OK;
  }
  STDMETHODIMP ReadInt(BSTR ns, BSTR key, LONG def, LONG* value) override {
    if (!value) return E_POINTER;
    VARIANT v;
    if (!Lookup(ns, key, VT_I4, v)) {
      *value = def;
      return kUnknownKey;
    }
    *value = v.lVal;
    return S_OK;
  }
  STDMETHODIMP ReadStr(BSTR ns, BSTR key, LONG, BSTR* value) override {
    if (!value) return E_POINTER;
    *value = nullptr;
    VARIANT v;
    if (!Lookup(ns, key, VT_BSTR, v)) return kUnknownKey;
    *value = v.bstrVal;  // handed over
    return S_OK;
  }
  STDMETHODIMP ReadDate(BSTR ns, BSTR key, LONG def, DATE* value) override {
    if (!value) return E_POINTER;
    VARIANT v;
    if (!Lookup(ns, key, VT_DATE, v)) {
      *value = def;
      return kUnknownKey;
    }
    *value = v.date;
    return S_OK;
  }
  STDMETHODIMP WriteBool(BSTR ns, BSTR key, VARIANT_BOOL value, VARIANT_BOOL) override {
    VARIANT v;
    v.vt = VT_BOOL;
    v.boolVal = value;
    return Store(ns, key, v);
  }
  STDMETHODIMP WriteInt(BSTR ns, BSTR key, LONG value, VARIANT_BOOL) override {
    VARIANT v;
    v.vt = VT_I4;
    v.lVal = value;
    return Store(ns, key, v);
  }
  STDMETHODIMP WriteStr(BSTR ns, BSTR key, BSTR value, VARIANT_BOOL) override {
    VARIANT v;
    v.vt = VT_BSTR;
    v.bstrVal = value;
    return Store(ns, key, v);
  }
  STDMETHODIMP WriteDate(BSTR ns, BSTR key, DATE value, VARIANT_BOOL) override {
    VARIANT v;
    v.vt = VT_DATE;
    v.date = value;
    return Store(ns, key, v);
  }
  STDMETHODIMP Commit(BSTR ns) override {
    qbhost::CountCommit(Text(ns));
    return S_OK;
  }

  // Toolbar.
  STDMETHODIMP SetButtonCaption(BSTR ns, LONG, BSTR button, BSTR caption) override {
    return qbhost::WriteText(ToolbarKey(ns, button), L"Caption", Text(caption)) ? S_OK : E_FAIL;
  }
  STDMETHODIMP ShowButton(BSTR ns, LONG, BSTR button, LONG show) override {
    return qbhost::WriteNumber(ToolbarKey(ns, button), L"Visible", static_cast<DWORD>(show))
               ? S_OK
               : E_FAIL;
  }
  STDMETHODIMP SetMenu(BSTR ns, LONG, BSTR button, BSTR menu) override {
    return qbhost::WriteText(ToolbarKey(ns, button), L"Menu", Text(menu)) ? S_OK : E_FAIL;
  }
  STDMETHODIMP SetButtonImage(BSTR ns, LONG, BSTR imageName, BSTR button, BSTR image) override {
    return qbhost::WriteText(ToolbarKey(ns, button), Text(imageName), Text(image)) ? S_OK : E_FAIL;
  }
  // The stand-in shows no HTML window of its own; it records the request
  // (the last one, and how many there were) and answers with no window.
  STDMETHODIMP OpenHtmlWindow(BSTR ns, BSTR caption, BSTR address, LONG width, LONG height, LONG,
                              LONG, LONG, LONG* window) override {
    if (window) *window = 0;
    const std::wstring key = L"Windows\\" + Text(ns);
    qbhost::WriteText(key, L"Caption", Text(caption));
    qbhost::WriteText(key, L"Address", Text(address));
    qbhost::WriteNumber(key, L"Width", static_cast<DWORD>(width));
    qbhost::WriteNumber(key, L"Height", static_cast<DWORD>(height));
    CountWindow(key);
    return S_OK;
  }

  // Operations of the real host that the stand-in does not offer.
  STDMETHODIMP Reserved15() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved16() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved17() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved18() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved19() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved20() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved22() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved23() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved24() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved25() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved26() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved27() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved29() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved32() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved34() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved35() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved36() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved37() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved38() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved39() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved40() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved41() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved42() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved43() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved44() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved45() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved46() override { return E_NOTIMPL; }
  STDMETHODIMP Reserved47() override { return E_NOTIMPL; }

 private:
  std::atomic<ULONG> refs_{1};
};

sentrova::StaticClassFactory<CoTB4Server> theFactory([](bool lock) {
  if (lock) {
    ++serverLocks;
  } else {
    --serverLocks;
  }
});

}  // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (clsid != CLSID_CoTB4Server) return CLASS_E_CLASSNOTAVAILABLE;
  return theFactory.QueryInterface(iid, object);
}

STDAPI DllCanUnloadNow() {
  return liveObjects == 0 && serverLocks == 0 ? S_OK : S_FALSE;
}
