#include "ui/BackBuffer.h"

#include <algorithm>

namespace ui {

HDC BackBuffer::Prepare(HDC screen, SIZE size) {
  if (dc_ && size_.cx >= size.cx && size_.cy >= size.cy) return dc_.get();
  selected_.reset();
  if (!dc_) dc_.reset(CreateCompatibleDC(screen));
  size_ = SIZE{std::max<LONG>(size.cx, 1), std::max<LONG>(size.cy, 1)};
  bitmap_.reset(CreateCompatibleBitmap(screen, size_.cx, size_.cy));
  selected_.emplace(dc_.get(), bitmap_.get());
  return dc_.get();
}

void BackBuffer::Release() {
  selected_.reset();
  dc_.reset();
  bitmap_.reset();
  size_ = SIZE{0, 0};
}

}  // namespace ui
