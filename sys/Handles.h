// Owning wrappers for the handles the program makes: each frees its handle once, with the
// call that matches how it was made, and cannot be copied.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <utility>

namespace sys {

// A handle with its close call. Traits::Invalid() is the value that means "none".
template <class H, class Traits>
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(H h) : h_(h) {}
  ~UniqueHandle() { reset(); }
  UniqueHandle(UniqueHandle&& o) noexcept : h_(o.release()) {}
  UniqueHandle& operator=(UniqueHandle&& o) noexcept {
    if (this != &o) reset(o.release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  H get() const { return h_; }
  explicit operator bool() const { return h_ != Traits::Invalid(); }
  // Gives the handle up without freeing it.
  H release() { return std::exchange(h_, Traits::Invalid()); }
  void reset(H h = Traits::Invalid()) {
    H old = std::exchange(h_, h);
    if (old != Traits::Invalid()) Traits::Close(old);
  }

 private:
  H h_ = Traits::Invalid();
};

// Traits for a handle that is null when there is none.
template <class H, class Arg, void (*CloseFn)(Arg)>
struct NullIsNone {
  static H Invalid() { return nullptr; }
  static void Close(H h) { CloseFn(h); }
};

inline void DeleteGdi(HGDIOBJ h) { DeleteObject(h); }
inline void DeleteMemoryDc(HDC h) { DeleteDC(h); }
inline void FreeLoadedModule(HMODULE h) { FreeLibrary(h); }
inline void DestroyIconHandle(HICON h) { DestroyIcon(h); }
inline void DestroyImageListHandle(HIMAGELIST h) { ImageList_Destroy(h); }

// A GDI object must not be freed while selected into a device context: a SelectScope
// that selected it has to end first.
template <class T>
using GdiObject = UniqueHandle<T, NullIsNone<T, HGDIOBJ, DeleteGdi>>;
using ScopedFont = GdiObject<HFONT>;
using ScopedBrush = GdiObject<HBRUSH>;
using ScopedPen = GdiObject<HPEN>;
using ScopedBitmap = GdiObject<HBITMAP>;
using ScopedRegion = GdiObject<HRGN>;
using MemoryDc = UniqueHandle<HDC, NullIsNone<HDC, HDC, DeleteMemoryDc>>;  // CreateCompatibleDC
using ScopedModule = UniqueHandle<HMODULE, NullIsNone<HMODULE, HMODULE, FreeLoadedModule>>;
// An image list copies an icon it is given, so the icon is still the caller's to free.
using ScopedIcon = UniqueHandle<HICON, NullIsNone<HICON, HICON, DestroyIconHandle>>;
using ScopedImageList =
    UniqueHandle<HIMAGELIST, NullIsNone<HIMAGELIST, HIMAGELIST, DestroyImageListHandle>>;

// A file from CreateFile, which answers INVALID_HANDLE_VALUE when it fails.
struct FileHandleTraits {
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { CloseHandle(h); }
};
using ScopedFile = UniqueHandle<HANDLE, FileHandleTraits>;

// A theme handle from OpenThemeData. uxtheme.dll is bound at run time where it is used
// (it is missing before Windows XP), so the handle comes with its close call.
class ScopedTheme {
 public:
  using CloseFn = HRESULT(WINAPI*)(HANDLE);
  ScopedTheme() = default;
  ScopedTheme(HANDLE h, CloseFn close) : h_(h), close_(close) {}
  ~ScopedTheme() { reset(); }
  ScopedTheme(ScopedTheme&& o) noexcept : h_(std::exchange(o.h_, nullptr)), close_(o.close_) {}
  ScopedTheme& operator=(ScopedTheme&& o) noexcept {
    if (this != &o) {
      reset();
      h_ = std::exchange(o.h_, nullptr);
      close_ = o.close_;
    }
    return *this;
  }
  ScopedTheme(const ScopedTheme&) = delete;
  ScopedTheme& operator=(const ScopedTheme&) = delete;

  HANDLE get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }
  void reset() {
    if (HANDLE h = std::exchange(h_, nullptr)) close_(h);
  }

 private:
  HANDLE h_ = nullptr;
  CloseFn close_ = nullptr;
};

// A window's device context from GetDC (null: the screen's), released on destruction.
class WindowDc {
 public:
  explicit WindowDc(HWND hwnd) : hwnd_(hwnd), dc_(GetDC(hwnd)) {}
  ~WindowDc() {
    if (dc_) ReleaseDC(hwnd_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND hwnd_;
  HDC dc_;
};

// BeginPaint now, EndPaint on destruction.
class PaintScope {
 public:
  explicit PaintScope(HWND hwnd) : hwnd_(hwnd) { dc_ = BeginPaint(hwnd, &ps_); }
  ~PaintScope() { EndPaint(hwnd_, &ps_); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  HDC dc() const { return dc_; }
  const RECT& area() const { return ps_.rcPaint; }

 private:
  HWND hwnd_;
  PAINTSTRUCT ps_{};
  HDC dc_ = nullptr;
};

// Selects an object into a device context and puts the previous one back on destruction,
// so that the object may be freed afterwards. A null object selects nothing.
class SelectScope {
 public:
  SelectScope(HDC dc, HGDIOBJ object)
      : dc_(dc), old_(object ? SelectObject(dc, object) : nullptr) {}
  ~SelectScope() {
    if (old_) SelectObject(dc_, old_);
  }
  SelectScope(const SelectScope&) = delete;
  SelectScope& operator=(const SelectScope&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// Runs a callable when the scope ends.
template <class F>
class ScopeExit {
 public:
  explicit ScopeExit(F f) : f_(std::move(f)) {}
  ~ScopeExit() { f_(); }
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;

 private:
  F f_;
};

}  // namespace sys
