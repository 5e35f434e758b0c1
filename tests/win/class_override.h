// Puts a class object of the test's own in front of a COM class, for this
// process and as long as the override lives (CoRegisterClassObject): every
// CoCreateInstance of the class in the process then reaches `create`. The
// calling thread must be in the multithreaded apartment.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <atomic>
#include <functional>
#include <utility>

namespace sentrova::test {

class ClassOverride final : public IClassFactory {
 public:
  using Create = std::function<HRESULT(REFIID iid, void** out)>;

  ClassOverride(REFCLSID classId, Create create) : create_(std::move(create)) {
    if (FAILED(::CoRegisterClassObject(classId, this, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                       REGCLS_MULTIPLEUSE, &cookie_)))
      cookie_ = 0;
  }
  ~ClassOverride() {
    if (cookie_ != 0) ::CoRevokeClassObject(cookie_);
  }
  ClassOverride(const ClassOverride&) = delete;
  ClassOverride& operator=(const ClassOverride&) = delete;

  bool Registered() const { return cookie_ != 0; }
  int Creations() const { return creations_; }

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
    *out = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  // The override lives on the test's stack.
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    ++creations_;
    return create_(iid, out);
  }
  STDMETHODIMP LockServer(BOOL) override { return S_OK; }

 private:
  Create create_;
  DWORD cookie_ = 0;
  std::atomic<int> creations_{0};
};

}  // namespace sentrova::test
