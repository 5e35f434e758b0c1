// COM ownership helpers: a small ComPtr, Bstr, SafeArray, the ANSI/wide
// conversions used at the COM boundary, and the apartment guard.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sentrova {

// ANSI code page <-> UTF-16. Invalid input converts as the system does
// (replacement characters); empty in, empty out.
std::wstring AnsiToWide(std::string_view text);
std::string WideToAnsi(std::wstring_view text);
std::string WideToUtf8(std::wstring_view text);

// The error raised by COM wrappers that test a call's status; its text is
// "OLE error: " followed by the status in signed decimal.
class OleError : public std::runtime_error {
 public:
  explicit OleError(HRESULT hr);
  HRESULT status() const noexcept { return status_; }

 private:
  HRESULT status_;
};

// Throws OleError when hr reports a failure.
inline void OleCheck(HRESULT hr) {
  if (FAILED(hr)) throw OleError(hr);
}

template <class T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  ComPtr(std::nullptr_t) noexcept {}
  // Takes a new reference to p.
  explicit ComPtr(T* p) noexcept : p_(p) {
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& o) noexcept : ComPtr(o.p_) {}
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  ComPtr& operator=(const ComPtr& o) noexcept {
    ComPtr(o).swap(*this);
    return *this;
  }
  ComPtr& operator=(ComPtr&& o) noexcept {
    ComPtr(std::move(o)).swap(*this);
    return *this;
  }
  ~ComPtr() { reset(); }

  // Adopts a reference the caller already owns (no AddRef).
  static ComPtr Attach(T* p) noexcept {
    ComPtr c;
    c.p_ = p;
    return c;
  }
  T* Detach() noexcept { return std::exchange(p_, nullptr); }

  void reset() noexcept {
    if (T* old = std::exchange(p_, nullptr)) old->Release();
  }
  void swap(ComPtr& o) noexcept { std::swap(p_, o.p_); }

  T* get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }

  // Out-parameter slot: releases what is held first.
  T** put() noexcept {
    reset();
    return &p_;
  }
  void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

  template <class U>
  HRESULT As(const IID& iid, ComPtr<U>& out) const noexcept {
    if (!p_) return E_POINTER;
    return p_->QueryInterface(iid, out.put_void());
  }

 private:
  T* p_ = nullptr;
};

// Owns one BSTR.
class Bstr {
 public:
  Bstr() noexcept = default;
  explicit Bstr(std::wstring_view text);
  static Bstr FromAnsi(std::string_view text) { return Bstr(AnsiToWide(text)); }
  static Bstr Attach(BSTR b) noexcept {
    Bstr r;
    r.b_ = b;
    return r;
  }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  Bstr(Bstr&& o) noexcept : b_(std::exchange(o.b_, nullptr)) {}
  Bstr& operator=(Bstr&& o) noexcept {
    if (this != &o) {
      reset();
      b_ = std::exchange(o.b_, nullptr);
    }
    return *this;
  }
  ~Bstr() { reset(); }

  BSTR get() const noexcept { return b_; }
  BSTR* put() noexcept {
    reset();
    return &b_;
  }
  BSTR Detach() noexcept { return std::exchange(b_, nullptr); }
  void reset() noexcept {
    if (b_) ::SysFreeString(std::exchange(b_, nullptr));
  }
  std::wstring Wide() const { return b_ ? std::wstring(b_, ::SysStringLen(b_)) : std::wstring(); }
  std::string Ansi() const { return WideToAnsi(Wide()); }

 private:
  BSTR b_ = nullptr;
};

// Owns one SAFEARRAY.
class SafeArray {
 public:
  SafeArray() noexcept = default;
  static SafeArray Attach(SAFEARRAY* a) noexcept {
    SafeArray r;
    r.a_ = a;
    return r;
  }
  // A one-dimensional array of bytes (VT_UI1) holding a copy of `bytes`.
  static SafeArray FromBytes(const void* bytes, size_t count);
  SafeArray(const SafeArray&) = delete;
  SafeArray& operator=(const SafeArray&) = delete;
  SafeArray(SafeArray&& o) noexcept : a_(std::exchange(o.a_, nullptr)) {}
  SafeArray& operator=(SafeArray&& o) noexcept {
    if (this != &o) {
      reset();
      a_ = std::exchange(o.a_, nullptr);
    }
    return *this;
  }
  ~SafeArray() { reset(); }

  SAFEARRAY* get() const noexcept { return a_; }
  SAFEARRAY** put() noexcept {
    reset();
    return &a_;
  }
  SAFEARRAY* Detach() noexcept { return std::exchange(a_, nullptr); }
  void reset() noexcept {
    if (a_) ::SafeArrayDestroy(std::exchange(a_, nullptr));
  }

 private:
  SAFEARRAY* a_ = nullptr;
};

// Copies the elements of a one-dimensional array of bytes; empty for null,
// for arrays of more than one dimension or of elements that are not one byte.
std::vector<uint8_t> SafeArrayBytes(SAFEARRAY* array);

// Initialises COM for the calling thread and balances it on destruction
// when the initialisation succeeded.
class ComApartment {
 public:
  explicit ComApartment(DWORD flags = COINIT_MULTITHREADED) noexcept
      : hr_(::CoInitializeEx(nullptr, flags)) {}
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
  ~ComApartment() {
    if (SUCCEEDED(hr_)) ::CoUninitialize();
  }
  bool ok() const noexcept { return SUCCEEDED(hr_); }

 private:
  HRESULT hr_;
};

}  // namespace sentrova
