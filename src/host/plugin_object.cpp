#include "host/plugin_object.h"

#include <oleauto.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <vector>

#include "dialogs/browser_windows.h"
#include "host/com_server.h"
#include "host/config.h"
#include "host/toolbar_texts.h"
#include "platform/class_factory.h"
#include "platform/com.h"
#include "platform/guard.h"
#include "platform/system_facts.h"
#include "platform/text.h"
#include "state/control_objects.h"
#include "state/process_state.h"
#include "state/program_actions.h"

namespace sentrova {

namespace {

// Instance ids that the host registered (GetInfo "INITEVENTS"); created when
// the host announces itself, or by a registration that comes first. The host
// calls on several threads at once: every use holds the lock.
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

// Hands a copy of the image out; none when there is no image or copying fails.
void OutImage(SAFEARRAY** out, const std::vector<uint8_t>& bytes) {
  if (out == nullptr || bytes.empty()) return;
  Guarded([&] { *out = SafeArray::FromBytes(bytes.data(), bytes.size()).Detach(); });
}

std::wstring BstrText(BSTR b) { return b ? std::wstring(b, ::SysStringLen(b)) : std::wstring(); }

// The object of the host's settings dialog.
constexpr char kSettingsInstance[] = "SETTINGS";

// Odd and not negative: the button shows its image.
bool IsImageMode(int mode) { return mode >= 0 && (mode & 1) != 0; }

// Instance ids are compared without regard to case.
std::vector<std::string>::iterator FindInstance(std::vector<std::string>& list,
                                                const std::string& id) {
  return std::find_if(list.begin(), list.end(),
                      [&](const std::string& entry) { return SameTextAscii(entry, id); });
}

// A whole decimal number, else 0.
intptr_t DecimalOrZero(const std::string& text) {
  if (text.empty()) return 0;
  char* end = nullptr;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  return end != nullptr && *end == '\0' ? static_cast<intptr_t>(value) : 0;
}

ITypeInfo* LoadPluginTypeInfo() {
  ComPtr<ITypeInfo> info;
  // Through the program's own library: its coclass names the host's
  // interface, which resolves through the host's registered library.
  Guarded([&] {
    ComPtr<ITypeLib> own;
    OleCheck(::LoadTypeLibEx(ProgramFileNameW().c_str(), REGKIND_NONE, own.put()));
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

TVRXObj::~TVRXObj() {
  Guarded([&] { ReleaseService(); });
  Guarded([&] {
    // Only the object whose removal empties the list starts the clean-up
    // that ends the browser session: two windows closing at once start
    // exactly one, and an object that never registered (the settings
    // dialog's) starts none.
    bool emptied = false;
    {
      std::lock_guard<std::mutex> lock(instanceMutex);
      if (instanceList) {
        auto it = FindInstance(*instanceList, instanceId_);
        if (it != instanceList->end()) {
          instanceList->erase(it);
          emptied = instanceList->empty();
        }
      }
    }
    if (emptied && cleanAtBrowserEnd_ && State().Enabled) Actions().StartCleanUp(false);
  });
  ServerObjectDestroyed();
}

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

STDMETHODIMP TVRXObj::SetInstanceId(BSTR instanceId) {
  return GuardedOr(E_UNEXPECTED, [&] {
    std::string id = WideToAnsi(BstrText(instanceId));
    std::lock_guard<std::mutex> lock(mutex_);
    instanceId_ = std::move(id);
    return S_OK;
  });
}

STDMETHODIMP TVRXObj::Connect(LONG* connected) {
  Clear(connected);
  if (!State().Running) return S_OK;
  if (connected != nullptr) *connected = 1;
  // Without the host's service the object keeps its initial settings; the
  // scanner is asked to start all the same.
  Guarded([&] {
    ObtainService();
    LoadConfiguration();
  });
  SignalEvent(kStartScanEvent);
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
  Guarded([&] {
    const ToolbarTexts texts = CurrentToolbarTexts();
    const int mode = buttonMode_;
    const bool shown = State().Enabled && mode > 0;
    const bool withCaption = InstanceId() == kSettingsInstance || mode > 1 || !shown;
    if (width != nullptr) *width = 600;
    if (style != nullptr) *style = 2;
    OutText(descriptor, "VRX:SHOW_VRX_BUTTON:VRX");
    OutText(caption, withCaption ? kPluginName : "");
    OutText(tooltip, texts.captions.productName);
    if (IsImageMode(mode)) OutImage(image, texts.buttonImage);
    OutText(menu, texts.menuText);
    OutText(longName, texts.captions.productName);
    OutImage(largeImage, texts.buttonImage);
    if (visible != nullptr) *visible = shown ? 1 : 0;
  });
  return S_OK;
}

STDMETHODIMP TVRXObj::GetSettingsPages(BSTR* pages, SAFEARRAY** image) {
  Clear(pages);
  Clear(image);
  if (!State().Running) return S_OK;
  Guarded([&] {
    const ToolbarTexts texts = CurrentToolbarTexts();
    OutText(pages, BuildSettingsPageList(texts.captions, ProgramFileName()));
    OutImage(image, texts.buttonImage);
  });
  return S_OK;
}

STDMETHODIMP TVRXObj::GetInfo(BSTR name, LONG, BSTR* value) {
  Clear(value);
  return GuardedOr(E_UNEXPECTED, [&] {
    const std::wstring what = BstrText(name);
    std::string answer;
    if (what == L"INITEVENTS") {
      const std::string id = InstanceId();
      std::lock_guard<std::mutex> lock(instanceMutex);
      // A registration before HostStarted creates the list itself.
      if (!instanceList) instanceList.emplace();
      if (FindInstance(*instanceList, id) == instanceList->end()) instanceList->push_back(id);
    } else if (what == L"LONGNAME") {
      answer = CurrentToolbarTexts().captions.productName;
    } else if (what == L"ALLOW_EXIT") {
      answer = State().CleanInProgress ? "" : "YES";
    }
    return OutText(value, answer);
  });
}

STDMETHODIMP TVRXObj::Reserved13(LONG, LONG, LONG) { return S_OK; }

STDMETHODIMP TVRXObj::Reserved14(BSTR* value) {
  Clear(value);
  return GuardedOr(E_UNEXPECTED, [&] { return OutText(value, ""); });
}

STDMETHODIMP TVRXObj::SettingsButtonClick(BSTR command) {
  Guarded([&] {
    if (!State().Running) return;
    const std::wstring what = BstrText(command);
    if (what == L"COOKIES") {
      Actions().ShowCookiesDialog();
    } else if (what == L"CLEAN") {
      Actions().StartCleanUp(true);
    } else if (what == L"PREVIEW") {
      Actions().ShowCleanPreview();
    }
  });
  return S_OK;
}

STDMETHODIMP TVRXObj::MenuCommand(LONG, BSTR command) {
  Guarded([&] {
    const std::wstring what = BstrText(command);
    if (what == L"OPT") {
      // The host's window for this object, if its id is one; the opener
      // brings it forward or replaces it.
      State().SettingsWindow = reinterpret_cast<HWND>(DecimalOrZero(InstanceId()));
      Actions().OpenSettings();
    } else if (what == L"CLEAN") {
      Actions().StartCleanUp(true);
    } else if (what == L"SHOW_TRAY" || what == L"HIDE_TRAY") {
      Actions().SetTray(what == L"SHOW_TRAY", true);
      UpdateToolbar(ToolbarPart::kMenu, State().TrayShown);
    } else if (what == L"HELP") {
      OpenInNewBrowser(State().HelpUrl.Get());
    } else if (what == L"ABOUT") {
      OpenInNewBrowser(State().AboutUrl.Get());
    }
  });
  return S_OK;
}

STDMETHODIMP TVRXObj::Reserved19(SHORT* value) {
  Clear(value);
  return S_OK;
}

STDMETHODIMP TVRXObj::EnablePlugin() {
  ProcessState& st = State();
  st.Enabled = true;
  // Each step depends on the one before: an error ends the method here.
  Guarded([&] {
    const Bstr ns(kPluginNameW);
    const Bstr showButton(L"SHOW_VRX_BUTTON");
    if (st.HostReady && st.Running) {
      const bool ok = Guarded([&] {
        ComPtr<ITB4Server> service = ObtainService();
        OleCheck(service->WriteBool(ns.get(), Bstr(L"VRX_ALL").get(), VARIANT_TRUE, VARIANT_TRUE));
        LONG mode = 0;
        OleCheck(service->ReadInt(ns.get(), showButton.get(), 0, &mode));
        buttonMode_ = mode;
      });
      if (!ok) ReleaseService();
    }
    ComPtr<ITB4Server> service = ObtainService();
    LONG mode = -1;
    service->ReadInt(ns.get(), showButton.get(), -1, &mode);
    buttonMode_ = mode;
    if (mode <= 0) {
      buttonMode_ = 1;
      service->WriteInt(ns.get(), showButton.get(), 1, VARIANT_TRUE);
      service->Commit(ns.get());
    }
    UpdateToolbar(ToolbarPart::kButton, buttonMode_);
    Actions().SetTray(true, true);
  });
  return S_OK;
}

STDMETHODIMP TVRXObj::DisablePlugin() {
  Guarded([] { UpdateToolbar(ToolbarPart::kButton, -1); });
  Guarded([] { Actions().SetTray(false, false); });
  // The run loop sees this within one pass and ends the process; during
  // the start-up it keeps Running from being set.
  StopRunning(State());
  return S_OK;
}

STDMETHODIMP TVRXObj::ConfigChanged() {
  if (!State().Running) return S_OK;
  Guarded([&] { LoadConfiguration(); });
  SignalEvent(kRefreshConfigEvent);
  SignalEvent(kScannerReloadEvent);
  return S_OK;
}

ComPtr<ITB4Server> TVRXObj::ObtainService() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (service_) return service_;
  }
  ComPtr<ITB4Server> made = CreateHostService();
  std::lock_guard<std::mutex> lock(mutex_);
  if (!service_) service_ = made;
  return service_;
}

void TVRXObj::ReleaseService() {
  ComPtr<ITB4Server> gone;
  std::lock_guard<std::mutex> lock(mutex_);
  std::swap(gone, service_);
}

std::string TVRXObj::InstanceId() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return instanceId_;
}

void TVRXObj::LoadConfiguration() {
  ProcessState& st = State();
  if (!st.Running) return;
  buttonMode_ = 1;
  cleanAtBrowserEnd_ = false;
  ComPtr<ITB4Server> service = ObtainService();
  const Bstr ns(kPluginNameW);
  // A read counts only when the host reports success: a key that the host
  // does not know leaves the current value.
  VARIANT_BOOL flag = VARIANT_FALSE;
  if (SUCCEEDED(service->ReadBool(ns.get(), Bstr(L"VRX_ALL").get(), 0, &flag))) {
    st.Enabled = flag != VARIANT_FALSE;
  }
  LONG mode = 0;
  if (SUCCEEDED(service->ReadInt(ns.get(), Bstr(L"SHOW_VRX_BUTTON").get(), 0, &mode))) {
    buttonMode_ = mode;
  }
  UpdateToolbar(ToolbarPart::kButton, st.Enabled ? buttonMode_.load() : -1);
  if (SUCCEEDED(service->ReadBool(ns.get(), Bstr(L"RUN_ENDIE").get(), 0, &flag))) {
    cleanAtBrowserEnd_ = flag != VARIANT_FALSE;
  }
  if (SUCCEEDED(service->ReadBool(ns.get(), Bstr(L"SHOW_TRAY").get(), 0, &flag))) {
    const bool show = flag != VARIANT_FALSE;
    Actions().SetTray(show, false);
    UpdateToolbar(ToolbarPart::kMenu, show && st.Enabled);
  }
}

std::vector<std::string> RegisteredInstances() {
  std::lock_guard<std::mutex> lock(instanceMutex);
  return instanceList ? *instanceList : std::vector<std::string>{};
}

void UpdateToolbar(ToolbarPart part, int value) {
  Guarded([&] {
    if (!State().Running) return;
    ComPtr<ITB4Server> service = CreateHostService();
    const Bstr ns(kPluginNameW);  // also the button's name and its caption
    const ToolbarTexts texts = CurrentToolbarTexts();
    if (part == ToolbarPart::kMenu) {
      service->SetMenu(ns.get(), 0, ns.get(), Bstr::FromAnsi(texts.menuText).get());
      return;
    }
    if (value > 0 && State().Running) {
      const Bstr none(L"");
      service->SetButtonCaption(ns.get(), 0, ns.get(), value > 1 ? ns.get() : none.get());
      const Bstr image = IsImageMode(value) ? Bstr::FromAnsi(texts.buttonImageText) : Bstr(L"");
      service->SetButtonImage(ns.get(), 0, Bstr(L"SET_BMP").get(), ns.get(), image.get());
      service->SetButtonImage(ns.get(), 0, Bstr(L"SET_CHEVRONBMP").get(), ns.get(), image.get());
      service->ShowButton(ns.get(), 0, ns.get(), 1);
    } else {
      service->ShowButton(ns.get(), 0, ns.get(), 0);
    }
  });
}

}  // namespace sentrova
