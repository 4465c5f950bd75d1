// The tree control's keyboard, mouse, scroll bar and header.
#include "ui/VirtualTree.h"

#include <windowsx.h>

#include <algorithm>

#include "ui/VirtualTreeParts.h"

namespace ui {

using namespace tree_parts;

// --- input ----------------------------------------------------------------------------

void VirtualTree::MoveFocusTo(std::ptrdiff_t row) {
  std::ptrdiff_t count = static_cast<std::ptrdiff_t>(model_->VisibleRowCount());
  if (count == 0) return;
  row = std::max<std::ptrdiff_t>(0, std::min(row, count - 1));
  TreeNode* node = model_->VisibleRow(static_cast<std::size_t>(row));
  model_->SetFocused(node);
  ScrollIntoView(node);
}

void VirtualTree::KeyDown(WPARAM key, LPARAM flags) {
  TreeNode* focused = model_->Focused();
  std::ptrdiff_t row = model_->RowOf(focused);
  std::ptrdiff_t page = std::max(1, PageRows());
  switch (key) {
    case VK_UP:
      MoveFocusTo(row < 0 ? 0 : row - 1);
      break;
    case VK_DOWN:
      MoveFocusTo(row < 0 ? 0 : row + 1);
      break;
    case VK_HOME:
      MoveFocusTo(0);
      break;
    case VK_END:
      MoveFocusTo(static_cast<std::ptrdiff_t>(model_->VisibleRowCount()) - 1);
      break;
    case VK_PRIOR:
      MoveFocusTo(row < 0 ? 0 : row - page);
      break;
    case VK_NEXT:
      MoveFocusTo(row < 0 ? 0 : row + page);
      break;
    case VK_SPACE:
      if (focused && !(flags & (1 << 30)) && model_->ToggleCheck(focused) && OnChecked)
        OnChecked(focused);
      break;
    case VK_ADD:
    case VK_OEM_PLUS:
      if (focused && focused->HasChildren()) Expand(focused, true);
      break;
    case VK_SUBTRACT:
    case VK_OEM_MINUS:
      if (focused && focused->HasChildren()) Expand(focused, false);
      break;
    case VK_LEFT:
      if (!focused) break;
      if (focused->HasChildren() && focused->Expanded())
        Expand(focused, false);
      else if (focused->Parent())
        MoveFocusTo(model_->RowOf(focused->Parent()));
      break;
    case VK_RIGHT:
      if (!focused || !focused->HasChildren()) break;
      if (!focused->Expanded())
        Expand(focused, true);
      else
        MoveFocusTo(row + 1);
      break;
    default:
      break;
  }
}

LRESULT VirtualTree::MouseMessage(UINT msg, LPARAM lp) {
  POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
  switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      MouseDown(MouseButton::Left, pt, msg == WM_LBUTTONDBLCLK);
      break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
      MouseDown(MouseButton::Right, pt, false);
      break;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
      MouseDown(MouseButton::Middle, pt, false);
      break;
    case WM_LBUTTONUP:
      MouseUp(pt);
      break;
    case WM_CAPTURECHANGED:
      DropPress();
      break;
    case WM_MOUSEMOVE:
      if (OnMouseMove) OnMouseMove(HitTest(pt));
      break;
    default:
      break;
  }
  return 0;
}

void VirtualTree::DropPress() {
  if (pressedCheck_)
    model_->SetCheckStateOnly(pressedCheck_, WithPressed(pressedCheck_->CheckState(), false));
  pressedCheck_ = pressedRow_ = nullptr;
}

void VirtualTree::MouseDown(MouseButton button, POINT pt, bool doubleClick) {
  DropPress();  // an earlier press whose release never came
  if (GetFocus() != hwnd_) SetFocus(hwnd_);
  if (OnMouseDown) OnMouseDown(button, HitTest(pt));
  if (button != MouseButton::Left) return;
  // The handler may have changed the tree, so the point is looked at again.
  TreeHit hit = HitTest(pt);
  if (!hit.node) return;
  if (hit.onButton) {
    Expand(hit.node, !hit.node->Expanded());
    return;
  }
  if (hit.onCheck) {
    pressedCheck_ = hit.node;
    model_->SetCheckStateOnly(hit.node, WithPressed(hit.node->CheckState(), true));
    CaptureIfHeld();
    return;
  }
  model_->SetFocused(hit.node);
  ScrollIntoView(hit.node);
  if (doubleClick && hit.node->HasChildren()) {
    Expand(hit.node, !hit.node->Expanded());
    return;
  }
  pressedRow_ = hit.node;
  CaptureIfHeld();
}

// A handler that ran a modal loop (a message box) may have eaten the release; holding the
// capture then would steal the next click anywhere in the program.
void VirtualTree::CaptureIfHeld() {
  if (GetKeyState(VK_LBUTTON) < 0) SetCapture(hwnd_);
}

void VirtualTree::MouseUp(POINT pt) {
  TreeNode* check = pressedCheck_;
  TreeNode* row = pressedRow_;
  pressedCheck_ = pressedRow_ = nullptr;
  if (GetCapture() == hwnd_) ReleaseCapture();
  TreeHit hit = HitTest(pt);
  if (check) {
    if (hit.node == check && hit.onCheck) {
      if (model_->ToggleCheck(check) && OnChecked) OnChecked(check);
    } else {
      model_->SetCheckStateOnly(check, WithPressed(check->CheckState(), false));
    }
  } else if (row && hit.node == row && OnClick) {
    OnClick(hit);
  }
}

bool VirtualTree::SetCursorFor(HWND over, UINT hitArea) {
  if (hitArea != HTCLIENT || over != hwnd_) return false;
  POINT pt;
  GetCursorPos(&pt);
  ScreenToClient(hwnd_, &pt);
  HCURSOR c = OnGetCursor ? OnGetCursor(HitTest(pt)) : nullptr;
  SetCursor(c ? c : LoadCursorW(nullptr, IDC_ARROW));
  return true;
}

// --- scrolling and the header ------------------------------------------------------------

void VirtualTree::Wheel(int delta) {
  wheelDelta_ += delta;
  UINT lines = 3;
  SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
  int step = lines == WHEEL_PAGESCROLL ? PageRows() : static_cast<int>(lines);
  int notches = wheelDelta_ / WHEEL_DELTA;
  wheelDelta_ -= notches * WHEEL_DELTA;
  if (notches && step) SetTopRow(topRow_ - notches * step);
}

void VirtualTree::VScroll(int request) {
  int page = PageRows();
  switch (request) {
    case SB_LINEUP:
      SetTopRow(topRow_ - 1);
      break;
    case SB_LINEDOWN:
      SetTopRow(topRow_ + 1);
      break;
    case SB_PAGEUP:
      SetTopRow(topRow_ - page);
      break;
    case SB_PAGEDOWN:
      SetTopRow(topRow_ + page);
      break;
    case SB_TOP:
      SetTopRow(0);
      break;
    case SB_BOTTOM:
      SetTopRow(static_cast<int>(model_->VisibleRowCount()));
      break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: {
      SCROLLINFO si{sizeof(si), SIF_TRACKPOS, 0, 0, 0, 0, 0};
      GetScrollInfo(hwnd_, SB_VERT, &si);
      SetTopRow(si.nTrackPos);
      break;
    }
    default:
      break;
  }
}

// A fixed column keeps its width: the header may neither start a drag on it nor change it,
// except when the tree itself sets the width.
bool VirtualTree::HeaderNotify(const NMHDR& nm, LRESULT& result) {
  if (nm.hwndFrom != header_ || !header_) return false;
  // Only the codes below come with an NMHEADER; the header's other notifications (its
  // custom draw among them) must not be read as one.
  const auto& hd = reinterpret_cast<const NMHEADERW&>(nm);
  bool known = hd.iItem >= 0 && hd.iItem < static_cast<int>(columns_.size());
  bool fixed = known && columns_[hd.iItem].fixed;
  auto width = [&hd] { return hd.pitem && (hd.pitem->mask & HDI_WIDTH); };
  switch (nm.code) {
    case HDN_BEGINTRACKW:
    case HDN_BEGINTRACKA:
      result = fixed ? TRUE : FALSE;
      return true;
    case HDN_ITEMCHANGINGW:
    case HDN_ITEMCHANGINGA:
      result = !syncingHeader_ && fixed && width() ? TRUE : FALSE;
      return true;
    case HDN_ITEMCHANGEDW:
    case HDN_ITEMCHANGEDA:
      if (!syncingHeader_ && width() && known) {
        columns_[hd.iItem].width = hd.pitem->cxy;
        InvalidateRect(hwnd_, nullptr, FALSE);
      }
      result = 0;
      return true;
    default:
      return false;
  }
}

}  // namespace ui
