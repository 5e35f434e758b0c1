// Ownership of Win32 handles: one move-only template with a traits class per
// handle kind, and an alias for each kind the program uses.
#pragma once

#include <windows.h>
#include <utility>

namespace sentrova {

template <class Traits>
class UniqueHandle {
 public:
  using pointer = typename Traits::pointer;

  UniqueHandle() noexcept = default;
  explicit UniqueHandle(pointer h) noexcept : h_(h) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : h_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~UniqueHandle() { reset(); }

  pointer get() const noexcept { return h_; }
  explicit operator bool() const noexcept { return h_ != Traits::Invalid(); }
  bool valid() const noexcept { return h_ != Traits::Invalid(); }

  // Gives up ownership without closing.
  pointer release() noexcept { return std::exchange(h_, Traits::Invalid()); }

  void reset(pointer h = Traits::Invalid()) noexcept {
    pointer old = std::exchange(h_, h);
    if (old != Traits::Invalid()) Traits::Close(old);
  }

  // For out-parameters: closes what is held and exposes the slot.
  pointer* put() noexcept {
    reset();
    return &h_;
  }

 private:
  pointer h_ = Traits::Invalid();
};

namespace handle_traits {
struct Kernel {
  using pointer = HANDLE;
  static HANDLE Invalid() noexcept { return nullptr; }
  static void Close(HANDLE h) noexcept { ::CloseHandle(h); }
};
struct File {
  using pointer = HANDLE;
  static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) noexcept { ::CloseHandle(h); }
};
struct Find {
  using pointer = HANDLE;
  static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) noexcept { ::FindClose(h); }
};
struct Key {
  using pointer = HKEY;
  static HKEY Invalid() noexcept { return nullptr; }
  static void Close(HKEY h) noexcept { ::RegCloseKey(h); }
};
struct Module {
  using pointer = HMODULE;
  static HMODULE Invalid() noexcept { return nullptr; }
  static void Close(HMODULE h) noexcept { ::FreeLibrary(h); }
};
template <class T>
struct Gdi {
  using pointer = T;
  static T Invalid() noexcept { return nullptr; }
  static void Close(T h) noexcept { ::DeleteObject(h); }
};
struct Icon {
  using pointer = HICON;
  static HICON Invalid() noexcept { return nullptr; }
  static void Close(HICON h) noexcept { ::DestroyIcon(h); }
};
struct Menu {
  using pointer = HMENU;
  static HMENU Invalid() noexcept { return nullptr; }
  static void Close(HMENU h) noexcept { ::DestroyMenu(h); }
};
struct Window {
  using pointer = HWND;
  static HWND Invalid() noexcept { return nullptr; }
  static void Close(HWND h) noexcept { ::DestroyWindow(h); }
};
struct MemoryDc {
  using pointer = HDC;
  static HDC Invalid() noexcept { return nullptr; }
  static void Close(HDC h) noexcept { ::DeleteDC(h); }
};
}  // namespace handle_traits

using KernelHandle = UniqueHandle<handle_traits::Kernel>;  // events, mutexes, threads, processes
using FileHandle = UniqueHandle<handle_traits::File>;      // CreateFile results
using FindHandle = UniqueHandle<handle_traits::Find>;      // FindFirstFile results
using RegKey = UniqueHandle<handle_traits::Key>;
using ModuleHandle = UniqueHandle<handle_traits::Module>;  // LoadLibrary results
using BitmapHandle = UniqueHandle<handle_traits::Gdi<HBITMAP>>;
using FontHandle = UniqueHandle<handle_traits::Gdi<HFONT>>;
using BrushHandle = UniqueHandle<handle_traits::Gdi<HBRUSH>>;
using PenHandle = UniqueHandle<handle_traits::Gdi<HPEN>>;
using IconHandle = UniqueHandle<handle_traits::Icon>;
using MenuHandle = UniqueHandle<handle_traits::Menu>;
using WindowHandle = UniqueHandle<handle_traits::Window>;
using MemoryDcHandle = UniqueHandle<handle_traits::MemoryDc>;

}  // namespace sentrova
