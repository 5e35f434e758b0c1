// The toolbar host's picture library, as far as the question dialogs use it:
// the size of a JPEG picture stored as a resource of type 23 in a module, and
// drawing that picture into a device context. Decoding is the platform's own
// (OleLoadPicture), so the library carries no image code.
//
// Both functions return S_OK on success and a failure status (sign bit set)
// otherwise; they never throw and never show anything.
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <cstring>

namespace {

const LPCSTR kPictureType = MAKEINTRESOURCEA(23);  // RT_HTML

// Initialises COM for the calling thread for one call when the caller has
// not: the picture decoder is a COM object. A thread already initialised in
// the other apartment kind keeps what it has.
class CallApartment {
 public:
  CallApartment() : hr_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~CallApartment() {
    if (SUCCEEDED(hr_)) ::CoUninitialize();
  }
  CallApartment(const CallApartment&) = delete;
  CallApartment& operator=(const CallApartment&) = delete;

 private:
  HRESULT hr_;
};

// The decoded picture of a resource, with its bitmap and size in pixels.
class ResourcePicture {
 public:
  ResourcePicture() = default;
  ResourcePicture(const ResourcePicture&) = delete;
  ResourcePicture& operator=(const ResourcePicture&) = delete;
  ~ResourcePicture() {
    if (picture_) picture_->Release();
  }

  HRESULT Load(HMODULE module, const char* name) {
    if (!name || !*name) return E_INVALIDARG;
    HRSRC info = ::FindResourceA(module, name, kPictureType);
    if (!info) return HRESULT_FROM_WIN32(ERROR_RESOURCE_NAME_NOT_FOUND);
    const DWORD size = ::SizeofResource(module, info);
    HGLOBAL loaded = ::LoadResource(module, info);
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (!bytes || size == 0) return E_FAIL;

    // The decoder reads from a stream; the stream owns a copy of the bytes.
    HGLOBAL copy = ::GlobalAlloc(GMEM_MOVEABLE, size);
    if (!copy) return E_OUTOFMEMORY;
    void* target = ::GlobalLock(copy);
    if (!target) {
      ::GlobalFree(copy);
      return E_OUTOFMEMORY;
    }
    std::memcpy(target, bytes, size);
    ::GlobalUnlock(copy);
    IStream* stream = nullptr;
    HRESULT hr = ::CreateStreamOnHGlobal(copy, TRUE, &stream);
    if (FAILED(hr)) {
      ::GlobalFree(copy);
      return hr;
    }
    hr = ::OleLoadPicture(stream, static_cast<LONG>(size), FALSE, IID_IPicture,
                          reinterpret_cast<void**>(&picture_));
    stream->Release();
    if (FAILED(hr)) return hr;
    if (!picture_) return E_FAIL;

    SHORT type = PICTYPE_UNINITIALIZED;
    OLE_HANDLE handle = 0;
    if (FAILED(picture_->get_Type(&type)) || type != PICTYPE_BITMAP ||
        FAILED(picture_->get_Handle(&handle)) || !handle)
      return E_FAIL;  // a JPEG decodes to a bitmap; anything else is not ours
    bitmap_ = reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle));
    BITMAP facts{};
    if (!::GetObjectA(bitmap_, sizeof facts, &facts) || facts.bmWidth <= 0 ||
        facts.bmHeight == 0)
      return E_FAIL;
    width_ = facts.bmWidth;
    height_ = facts.bmHeight < 0 ? -facts.bmHeight : facts.bmHeight;
    return S_OK;
  }

  HRESULT Draw(HDC target, int x, int y) const {
    if (!target || !bitmap_) return E_INVALIDARG;
    HDC source = ::CreateCompatibleDC(target);
    if (!source) return E_FAIL;
    HGDIOBJ previous = ::SelectObject(source, bitmap_);
    const BOOL done = ::BitBlt(target, x, y, width_, height_, source, 0, 0, SRCCOPY);
    ::SelectObject(source, previous);
    ::DeleteDC(source);
    return done ? S_OK : E_FAIL;
  }

  int width() const { return width_; }
  int height() const { return height_; }

 private:
  IPicture* picture_ = nullptr;  // owns bitmap_
  HBITMAP bitmap_ = nullptr;
  int width_ = 0;
  int height_ = 0;
};

}  // namespace

extern "C" {

__declspec(dllexport) HRESULT WINAPI GetResourceJPEGPictureSize(HMODULE module, const char* name,
                                                                int* width, int* height) {
  try {
    if (!width || !height) return E_POINTER;
    CallApartment apartment;
    ResourcePicture picture;
    const HRESULT hr = picture.Load(module, name);
    if (FAILED(hr)) return hr;
    *width = picture.width();
    *height = picture.height();
    return S_OK;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

__declspec(dllexport) HRESULT WINAPI DrawResourceJPEGPictureSize(HMODULE module, const char* name,
                                                                 HDC target, int x, int y) {
  try {
    if (!target) return E_INVALIDARG;
    CallApartment apartment;
    ResourcePicture picture;
    const HRESULT hr = picture.Load(module, name);
    if (FAILED(hr)) return hr;
    return picture.Draw(target, x, y);
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // extern "C"
