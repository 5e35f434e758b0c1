#include "platform/com.h"

#include <cstring>

namespace sentrova {

std::wstring AnsiToWide(std::string_view text) {
  if (text.empty()) return {};
  const int n = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0);
  if (n <= 0) return {};
  std::wstring out(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::string WideToAnsi(std::wstring_view text) {
  if (text.empty()) return {};
  const int n = ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
  return out;
}

std::string WideToUtf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
  return out;
}

OleError::OleError(HRESULT hr)
    : std::runtime_error("OLE error: " + std::to_string(static_cast<long>(hr))), status_(hr) {}

Bstr::Bstr(std::wstring_view text)
    : b_(::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}

SafeArray SafeArray::FromBytes(const void* bytes, size_t count) {
  SafeArray r;
  r.a_ = ::SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(count));
  if (r.a_ && count > 0) {
    void* data = nullptr;
    if (SUCCEEDED(::SafeArrayAccessData(r.a_, &data))) {
      std::memcpy(data, bytes, count);
      ::SafeArrayUnaccessData(r.a_);
    }
  }
  return r;
}

std::vector<uint8_t> SafeArrayBytes(SAFEARRAY* array) {
  std::vector<uint8_t> out;
  if (!array || ::SafeArrayGetDim(array) != 1 || ::SafeArrayGetElemsize(array) != 1) return out;
  LONG lo = 0, hi = -1;
  if (FAILED(::SafeArrayGetLBound(array, 1, &lo)) || FAILED(::SafeArrayGetUBound(array, 1, &hi)))
    return out;
  if (hi < lo) return out;
  void* data = nullptr;
  if (FAILED(::SafeArrayAccessData(array, &data))) return out;
  const auto* p = static_cast<const uint8_t*>(data);
  out.assign(p, p + (static_cast<size_t>(hi) - static_cast<size_t>(lo) + 1));
  ::SafeArrayUnaccessData(array);
  return out;
}

}  // namespace sentrova
