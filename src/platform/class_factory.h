// A COM class factory that is one static object for the life of the process.
#pragma once

#include <objbase.h>

#include <new>

namespace sentrova {

// Makes `Object`s with new: an object starts with one reference, which the
// factory hands over through QueryInterface and then drops, so a failed
// QueryInterface frees the object again. Being static, the factory keeps no
// reference count of its own; LockServer calls are reported to `onLock`.
template <class Object>
class StaticClassFactory final : public IClassFactory {
 public:
  using LockHandler = void (*)(bool lock);
  explicit constexpr StaticClassFactory(LockHandler onLock = nullptr) : onLock_(onLock) {}

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *object = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }

  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    try {
      Object* created = new Object();
      const HRESULT hr = created->QueryInterface(iid, object);
      created->Release();
      return hr;
    } catch (...) {
      return E_OUTOFMEMORY;
    }
  }

  STDMETHODIMP LockServer(BOOL lock) override {
    if (onLock_) onLock_(lock != FALSE);
    return S_OK;
  }

 private:
  LockHandler onLock_;
};

}  // namespace sentrova
