// An off-screen bitmap a window paints into before it copies the result to the screen, so
// that a repaint never shows half-drawn rows.
#pragma once
#include <windows.h>

#include <optional>

#include "sys/Handles.h"

namespace ui {

class BackBuffer {
 public:
  // A device context holding a bitmap of at least `size`, made like `screen`. The bitmap
  // is made again (at exactly `size`) only when it is too small, so that shrinking a
  // window and growing it back costs nothing.
  HDC Prepare(HDC screen, SIZE size);
  void Release();

 private:
  // Destroyed in reverse: the bitmap leaves the DC before either is freed.
  sys::ScopedBitmap bitmap_;
  sys::MemoryDc dc_;
  std::optional<sys::SelectScope> selected_;
  SIZE size_{0, 0};
};

}  // namespace ui
