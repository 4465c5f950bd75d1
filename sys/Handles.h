// Owning wrappers for the handles the program makes: each frees its handle once, with the
// call that matches how it was made, and cannot be copied.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <utility>

namespace sys {

// A handle with its close call. Traits::Invalid() is the value that means "none" (null for
// most handles; CreateFile's INVALID_HANDLE_VALUE).
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
inline void CloseKernelHandle(HANDLE h) { CloseHandle(h); }

template <class T>
using GdiObject = UniqueHandle<T, NullIsNone<T, HGDIOBJ, DeleteGdi>>;
using ScopedFont = GdiObject<HFONT>;
using ScopedBrush = GdiObject<HBRUSH>;
using ScopedPen = GdiObject<HPEN>;
using ScopedBitmap = GdiObject<HBITMAP>;
using ScopedRegion = GdiObject<HRGN>;
using MemoryDc = UniqueHandle<HDC, NullIsNone<HDC, HDC, DeleteMemoryDc>>;  // CreateCompatibleDC
using ScopedModule = UniqueHandle<HMODULE, NullIsNone<HMODULE, HMODULE, FreeLoadedModule>>;
using ScopedIcon = UniqueHandle<HICON, NullIsNone<HICON, HICON, DestroyIconHandle>>;
using ScopedImageList = UniqueHandle<HIMAGELIST, NullIsNone<HIMAGELIST, HIMAGELIST, DestroyImageListHandle>>;
using ScopedKernelHandle = UniqueHandle<HANDLE, NullIsNone<HANDLE, HANDLE, CloseKernelHandle>>;

struct FileHandleTraits {
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { CloseHandle(h); }
};
using ScopedFile = UniqueHandle<HANDLE, FileHandleTraits>;  // from CreateFile

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
// so that the object may be freed afterwards.
class SelectScope {
 public:
  SelectScope(HDC dc, HGDIOBJ object) : dc_(dc), old_(object ? SelectObject(dc, object) : nullptr) {}
  ~SelectScope() {
    if (old_) SelectObject(dc_, old_);
  }
  SelectScope(const SelectScope&) = delete;
  SelectScope& operator=(const SelectScope&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// Runs a callable when the scope ends, unless dismissed.
template <class F>
class ScopeExit {
 public:
  explicit ScopeExit(F f) : f_(std::move(f)) {}
  ~ScopeExit() {
    if (armed_) f_();
  }
  ScopeExit(const ScopeExit&) = delete;
  ScopeExit& operator=(const ScopeExit&) = delete;
  void Dismiss() { armed_ = false; }

 private:
  F f_;
  bool armed_ = true;
};

}  // namespace sys
