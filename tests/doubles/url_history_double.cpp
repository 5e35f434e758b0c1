// A stand-in for the URL history service, which Wine lacks: an in-process
// class that the clean-up tests register in the test prefix under the
// service's class identifier. ClearHistory counts its calls in
// HKCU\Software\SentrovaTests\UrlHistoryDouble\Cleared and removes the
// browser's history containers (the folders named by "CachePath" under the
// extensible cache key, "UserData" excepted), as the browser does when none
// is in use; with the value "Hold" set to 1 there it leaves them, as when the
// browser holds them.
#include <windows.h>
#include <urlhist.h>

#include <atomic>
#include <string>

namespace {

constexpr char kDoubleKey[] = "Software\\SentrovaTests\\UrlHistoryDouble";
constexpr char kContainersKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\5.0\\Cache\\"
    "Extensible Cache";
std::atomic<long> objects{0};

DWORD ReadNumber(const char* name) {
  DWORD value = 0, size = sizeof value;
  ::RegGetValueA(HKEY_CURRENT_USER, kDoubleKey, name, RRF_RT_REG_DWORD, nullptr, &value, &size);
  return value;
}

void RemoveTree(const std::string& folder) {
  WIN32_FIND_DATAA data{};
  HANDLE find = ::FindFirstFileA((folder + "\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(folder + "\\" + name);
      } else {
        ::DeleteFileA((folder + "\\" + name).c_str());
      }
    } while (::FindNextFileA(find, &data));
    ::FindClose(find);
  }
  ::RemoveDirectoryA(folder.c_str());
}

void RemoveContainers() {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_CURRENT_USER, kContainersKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  char name[256];
  for (DWORD i = 0;; ++i) {
    DWORD length = sizeof name;
    if (::RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != 0) break;
    if (std::string(name) == "UserData") continue;
    char path[MAX_PATH] = {};
    DWORD size = sizeof path;
    if (::RegGetValueA(key, name, "CachePath", RRF_RT_REG_SZ, nullptr, path, &size) == 0) {
      RemoveTree(path);
    }
  }
  ::RegCloseKey(key);
}

class UrlHistory final : public IUrlHistoryStg2 {
 public:
  UrlHistory() { ++objects; }
  ~UrlHistory() { --objects; }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IUrlHistoryStg || iid == IID_IUrlHistoryStg2) {
      *out = static_cast<IUrlHistoryStg2*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE AddUrl(LPCOLESTR, LPCOLESTR, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeleteUrl(LPCOLESTR, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryUrl(LPCOLESTR, DWORD, LPSTATURL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE BindToObject(LPCOLESTR, REFIID, void**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumUrls(IEnumSTATURL**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE AddUrlAndNotify(LPCOLESTR, LPCOLESTR, DWORD, WINBOOL, IOleCommandTarget*,
                                            IUnknown*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE ClearHistory() override {
    const DWORD cleared = ReadNumber("Cleared") + 1;
    ::RegSetKeyValueA(HKEY_CURRENT_USER, kDoubleKey, "Cleared", REG_DWORD, &cleared,
                      sizeof cleared);
    if (ReadNumber("Hold") != 1) RemoveContainers();
    return S_OK;
  }

 private:
  std::atomic<ULONG> refs_{1};
};

class Factory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *out = this;
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    UrlHistory* history = new UrlHistory;
    const HRESULT hr = history->QueryInterface(iid, out);
    history->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

Factory factory;

}  // namespace

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID, REFIID iid, void** out) {
  return factory.QueryInterface(iid, out);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return objects == 0 ? S_OK : S_FALSE; }
