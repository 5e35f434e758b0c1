// A stand-in for the URL history service, which Wine lacks: an in-process
// class that the clean-up tests register in the test prefix under the
// service's class identifier. ClearHistory counts its calls in
// HKCU\Software\SentrovaTests\UrlHistoryDouble\Cleared and removes the
// browser's history containers (the folders named by "CachePath" under the
// extensible cache key, "UserData" excepted), as the browser does when none
// is in use; with the value "Hold" set to 1 there it leaves them, as when the
// browser holds them. EnumUrls lists the names of the values of the subkey
// "Urls" (the history's URLs, planted by the tests); ClearHistory removes
// them (unless held).
#include <windows.h>
#include <urlhist.h>

#include <atomic>
#include <string>
#include <vector>

namespace {

constexpr char kDoubleKey[] = "Software\\SentrovaTests\\UrlHistoryDouble";
constexpr wchar_t kUrlsKey[] = L"Software\\SentrovaTests\\UrlHistoryDouble\\Urls";
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

// Also its own enumeration of the kept URLs (one at a time per object).
class UrlHistory final : public IUrlHistoryStg2, public IEnumSTATURL {
 public:
  UrlHistory() { ++objects; }
  ~UrlHistory() { --objects; }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IUrlHistoryStg || iid == IID_IUrlHistoryStg2) {
      *out = static_cast<IUrlHistoryStg2*>(this);
      AddRef();
      return S_OK;
    }
    if (iid == IID_IEnumSTATURL) {
      *out = static_cast<IEnumSTATURL*>(this);
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
  HRESULT STDMETHODCALLTYPE EnumUrls(IEnumSTATURL** list) override {
    urls_.clear();
    next_ = 0;
    HKEY key = nullptr;
    wchar_t name[2048];
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, kUrlsKey, 0, KEY_READ, &key) == 0) {
      for (DWORD i = 0, n = 2048; ::RegEnumValueW(key, i, name, &n, 0, 0, 0, 0) == 0; ++i, n = 2048)
        urls_.emplace_back(name, n);
      ::RegCloseKey(key);
    }
    return QueryInterface(IID_IEnumSTATURL, reinterpret_cast<void**>(list));
  }
  HRESULT STDMETHODCALLTYPE Next(ULONG count, STATURL* out, ULONG* fetched) override {
    ULONG given = 0;
    for (; given < count && next_ < urls_.size(); ++given, ++next_) {
      out[given] = STATURL{sizeof(STATURL)};
      out[given].pwcsUrl = static_cast<wchar_t*>(::CoTaskMemAlloc((urls_[next_].size() + 1) * 2));
      ::lstrcpyW(out[given].pwcsUrl, urls_[next_].c_str());
    }
    if (fetched) *fetched = given;
    return given == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reset() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Clone(IEnumSTATURL**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE SetFilter(LPCOLESTR, DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE AddUrlAndNotify(LPCOLESTR, LPCOLESTR, DWORD, WINBOOL, IOleCommandTarget*,
                                            IUnknown*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE ClearHistory() override {
    const DWORD cleared = ReadNumber("Cleared") + 1;
    ::RegSetKeyValueA(HKEY_CURRENT_USER, kDoubleKey, "Cleared", REG_DWORD, &cleared,
                      sizeof cleared);
    if (ReadNumber("Hold") != 1) {
      RemoveContainers();
      ::RegDeleteTreeW(HKEY_CURRENT_USER, kUrlsKey);
    }
    return S_OK;
  }

 private:
  std::atomic<ULONG> refs_{1};
  std::vector<std::wstring> urls_;
  size_t next_ = 0;
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
