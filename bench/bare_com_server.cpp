// The memory baseline: a bare COM local server. It loads the DLLs named on
// its command line (the benchmark passes the ones sentrova.exe imports),
// enters the multithreaded apartment, registers one class object whose
// objects only answer IUnknown, and sleeps in GetMessage.
//   bare_com_server.exe /regserver [dll...] | /unregserver | [dll...] -Embedding
#include <windows.h>
#include <objbase.h>

#include <atomic>
#include <cstring>
#include <string>

namespace {

// {5E1C4F0A-77B2-4C1D-9B3E-2A6F8D0C1E55}
constexpr CLSID kBareClassId = {
    0x5e1c4f0a, 0x77b2, 0x4c1d, {0x9b, 0x3e, 0x2a, 0x6f, 0x8d, 0x0c, 0x1e, 0x55}};
constexpr char kClassKey[] = "CLSID\\{5E1C4F0A-77B2-4C1D-9B3E-2A6F8D0C1E55}";

class BareObject final : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown) return E_NOINTERFACE;
    *out = this;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 private:
  std::atomic<ULONG> refs_{1};
};

class BareFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
    *out = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    auto* object = new BareObject;
    const HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

// The DLLs after /regserver become part of the command line COM starts.
void Register(int argc, char** argv) {
  char path[MAX_PATH] = {};
  ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string command = std::string("\"") + path + "\"";
  for (int i = 2; i < argc; ++i) command += std::string(" ") + argv[i];
  const std::string key = std::string(kClassKey) + "\\LocalServer32";
  ::RegSetValueA(HKEY_CLASSES_ROOT, key.c_str(), REG_SZ, command.c_str(), 0);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "/regserver") == 0) {
    Register(argc, argv);
    return 0;
  }
  if (argc > 1 && std::strcmp(argv[1], "/unregserver") == 0) {
    ::RegDeleteTreeA(HKEY_CLASSES_ROOT, kClassKey);
    ::RegDeleteKeyA(HKEY_CLASSES_ROOT, kClassKey);
    return 0;
  }
  for (int i = 1; i < argc; ++i) {
    if (argv[i][0] != '-' && argv[i][0] != '/') ::LoadLibraryA(argv[i]);
  }
  ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  static BareFactory factory;
  DWORD cookie = 0;
  ::CoRegisterClassObject(kBareClassId, &factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie);
  MSG msg;
  while (::GetMessageA(&msg, nullptr, 0, 0) > 0) ::DispatchMessageA(&msg);
  ::CoRevokeClassObject(cookie);
  ::CoUninitialize();
  return 0;
}
