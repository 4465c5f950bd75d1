// The tree control's painting, and the cell layout that painting and hit tests share.
#include "ui/VirtualTree.h"

#include <uxtheme.h>
#include <vsstyle.h>

#include <algorithm>
#include <cstring>

#include "sys/SystemLibrary.h"
#include "ui/VirtualTreeParts.h"

namespace ui {

using namespace tree_parts;

const ThemeApi& tree_parts::Theme() {
  static ThemeApi api = [] {
    ThemeApi a;
    // Missing before Windows XP; loaded from the system folder by its full path.
    if (HMODULE m = sys::SystemLibrary(L"uxtheme.dll")) {
      a.open = reinterpret_cast<ThemeApi::OpenFn>(
          reinterpret_cast<void*>(GetProcAddress(m, "OpenThemeData")));
      a.close = reinterpret_cast<ThemeApi::CloseFn>(
          reinterpret_cast<void*>(GetProcAddress(m, "CloseThemeData")));
      a.draw = reinterpret_cast<ThemeApi::DrawFn>(
          reinterpret_cast<void*>(GetProcAddress(m, "DrawThemeBackground")));
      if (!a.open || !a.close || !a.draw) a = ThemeApi{};
    }
    return a;
  }();
  return api;
}

namespace {

void Fill(HDC dc, const RECT& r, COLORREF c) {
  SetBkColor(dc, c);
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
}

}  // namespace

HFONT VirtualTree::FontFor(const LOGFONTW& lf) const {
  for (auto& f : fonts_)
    if (std::memcmp(&f.first, &lf, sizeof(lf)) == 0) return f.second.get();
  HFONT font = CreateFontIndirectW(&lf);
  fonts_.emplace_back(lf, sys::ScopedFont(font));
  return font;
}

void VirtualTree::LayoutCell(HDC dc, TreeNode* node, int column, int rowTop, Cell& c) const {
  int left = ColumnLeft(column);
  c.cell = Rect(left, rowTop, left + ColumnWidth(column), rowTop + rowHeight_);
  int x = left;
  if (column == 0) {
    int slots = node->Depth() + (showRoot_ ? 1 : 0);
    if (slots > 0 && node->HasChildren()) {
      int cx = x + (slots - 1) * indent_ + indent_ / 2;
      int cy = rowTop + rowHeight_ / 2;
      c.button = Rect(cx - kButtonSize / 2, cy - kButtonSize / 2,
                      cx - kButtonSize / 2 + kButtonSize, cy - kButtonSize / 2 + kButtonSize);
    }
    x += slots * indent_;
    if (node->CheckType() != CheckType::None) {
      int top = rowTop + (rowHeight_ - kCheckSize) / 2;
      c.check = Rect(x + 1, top, x + 1 + kCheckSize, top + kCheckSize);
      x += kCheckSlot;
    }
  }
  c.imageIndex = OnGetImageIndex && images_ ? OnGetImageIndex(node, column) : -1;
  if (c.imageIndex >= 0) {
    int w = 16, h = 16;
    ImageList_GetIconSize(images_, &w, &h);
    int top = rowTop + (rowHeight_ - h) / 2;
    c.image = Rect(x + 1, top, x + 1 + w, top + h);
    x += w + 2;
  }

  c.str = CellText(node, column);
  LOGFONTW lf{};
  GetObjectW(font_ ? static_cast<HGDIOBJ>(font_) : GetStockObject(DEFAULT_GUI_FONT), sizeof(lf),
             &lf);
  LOGFONTW base = lf;
  bool selected = node == model_->Focused() && (column == 0 || fullRow_);
  bool focusedWindow = hwnd_ && GetFocus() == hwnd_;
  c.color = !IsWindowEnabled(hwnd_)       ? GetSysColor(COLOR_GRAYTEXT)
            : (selected && focusedWindow) ? GetSysColor(COLOR_HIGHLIGHTTEXT)
                                          : GetSysColor(COLOR_WINDOWTEXT);
  if (OnPaintText) OnPaintText(node, column, lf, c.color);
  c.font = std::memcmp(&lf, &base, sizeof(lf)) == 0
               ? (font_ ? font_ : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)))
               : FontFor(lf);
  SIZE ext{0, 0};
  {
    sys::SelectScope font(dc, c.font);
    GetTextExtentPoint32W(dc, c.str.c_str(), static_cast<int>(c.str.size()), &ext);
  }

  int avail = std::max(0, static_cast<int>(c.cell.right) - x);
  int w = std::min(static_cast<int>(ext.cx) + 2 * kTextPad, avail);
  int align = columns_.empty() ? DT_LEFT : columns_[column].align;
  int tx = align == DT_CENTER ? x + (avail - w) / 2 : align == DT_RIGHT ? x + avail - w : x;
  c.text = Rect(tx, rowTop, tx + w, rowTop + rowHeight_);
}

TreeHit VirtualTree::HitTest(POINT pt) const {
  TreeHit hit;
  hit.pt = pt;
  if (!hwnd_ || pt.y < HeaderHeight()) return hit;
  int row = topRow_ + (pt.y - HeaderHeight()) / rowHeight_;
  hit.node = model_->VisibleRow(static_cast<std::size_t>(row));
  if (!hit.node) return hit;
  for (int c = 0, x = 0; c < ColumnCount(); ++c) {
    int w = ColumnWidth(c);
    if (pt.x >= x && pt.x < x + w) hit.column = c;
    x += w;
  }
  if (hit.column < 0) return hit;
  Cell cell;
  LayoutCell(measureDc_.get(), hit.node, hit.column, RowTop(row), cell);
  hit.onButton = Contains(cell.button, pt);
  hit.onCheck = Contains(cell.check, pt);
  hit.onImage = Contains(cell.image, pt);
  hit.onText = Contains(cell.text, pt);
  hit.textLeft = cell.text.left + kTextPad;
  hit.textRight = std::max(hit.textLeft, static_cast<int>(cell.text.right) - kTextPad);
  return hit;
}

bool VirtualTree::NodeRects(TreeNode* node, TreeNodeRects& rects) const {
  std::ptrdiff_t row = model_->RowOf(node);
  if (row < 0 || !hwnd_) return false;
  Cell cell;
  LayoutCell(measureDc_.get(), node, 0, RowTop(static_cast<int>(row)), cell);
  RECT rc;
  GetClientRect(hwnd_, &rc);
  rects.row = Rect(0, cell.cell.top, rc.right, cell.cell.bottom);
  rects.button = cell.button;
  rects.check = cell.check;
  rects.image = cell.image;
  rects.text = cell.text;
  return true;
}

// --- painting --------------------------------------------------------------------------

void VirtualTree::OpenThemes() {
  CloseThemes();
  if (!Theme().open) return;
  buttonTheme_ = sys::ScopedTheme(Theme().open(hwnd_, L"BUTTON"), Theme().close);
  treeTheme_ = sys::ScopedTheme(Theme().open(hwnd_, L"TREEVIEW"), Theme().close);
}

void VirtualTree::CloseThemes() {
  buttonTheme_.reset();
  treeTheme_.reset();
}

void VirtualTree::PaintButton(HDC dc, const RECT& r, bool expanded) {
  if (treeTheme_ && SUCCEEDED(Theme().draw(treeTheme_.get(), dc, TVP_GLYPH,
                                           expanded ? GLPS_OPENED : GLPS_CLOSED, &r, nullptr)))
    return;
  HBRUSH frame = GetSysColorBrush(COLOR_BTNSHADOW);
  Fill(dc, r, GetSysColor(COLOR_WINDOW));
  FrameRect(dc, &r, frame);
  int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
  RECT h = Rect(r.left + 2, cy, r.right - 2, cy + 1);
  Fill(dc, h, GetSysColor(COLOR_WINDOWTEXT));
  if (!expanded) {
    RECT v = Rect(cx, r.top + 2, cx + 1, r.bottom - 2);
    Fill(dc, v, GetSysColor(COLOR_WINDOWTEXT));
  }
}

void VirtualTree::PaintCheck(HDC dc, const RECT& r, CheckType type, CheckState state) {
  bool pressed = IsPressed(state);
  bool disabled = !IsWindowEnabled(hwnd_);
  RECT box = r;
  if (buttonTheme_) {
    int part, st;
    if (type == CheckType::RadioButton) {
      part = BP_RADIOBUTTON;
      st = IsChecked(state) ? RBS_CHECKEDNORMAL : RBS_UNCHECKEDNORMAL;
    } else {
      part = BP_CHECKBOX;
      st = IsChecked(state) ? CBS_CHECKEDNORMAL
           : IsMixed(state) ? CBS_MIXEDNORMAL
                            : CBS_UNCHECKEDNORMAL;
    }
    // Normal, hot, pressed, disabled follow each other in both parts.
    st += disabled ? 3 : pressed ? 2 : 0;
    if (SUCCEEDED(Theme().draw(buttonTheme_.get(), dc, part, st, &box, nullptr))) return;
  }
  UINT flags = type == CheckType::RadioButton ? DFCS_BUTTONRADIO
               : IsMixed(state)               ? DFCS_BUTTON3STATE | DFCS_CHECKED
                                              : DFCS_BUTTONCHECK;
  if (IsChecked(state)) flags |= DFCS_CHECKED;
  if (pressed) flags |= DFCS_PUSHED;
  if (disabled) flags |= DFCS_INACTIVE;
  DrawFrameControl(dc, &box, DFC_BUTTON, flags);
}

void VirtualTree::PaintLines(HDC dc, TreeNode* node, int rowTop, int left) {
  int slots = node->Depth() + (showRoot_ ? 1 : 0);
  if (slots == 0) return;
  SetTextColor(dc, GetSysColor(COLOR_BTNSHADOW));
  SetBkColor(dc, GetSysColor(COLOR_WINDOW));
  int mid = rowTop + rowHeight_ / 2;
  auto vline = [&](int x, int y0, int y1) {
    RECT r = Rect(x, y0, x + 1, y1);
    FillRect(dc, &r, dotBrush_.get());
  };
  // The node's own slot: a branch to the right, the line down to its next sibling.
  int x = left + (slots - 1) * indent_ + indent_ / 2;
  RECT h = Rect(x, mid, left + slots * indent_, mid + 1);
  FillRect(dc, &h, dotBrush_.get());
  bool first = !node->Parent() && !node->PrevSibling();
  vline(x, first ? mid : rowTop, node->NextSibling() ? rowTop + rowHeight_ : mid);
  // The ancestors' slots: a through line where an ancestor has a later sibling.
  int slot = slots - 2;
  for (TreeNode* a = node->Parent(); a && slot >= 0; a = a->Parent(), --slot)
    if (a->NextSibling()) vline(left + slot * indent_ + indent_ / 2, rowTop, rowTop + rowHeight_);
}

void VirtualTree::PaintRow(HDC dc, TreeNode* node, int rowTop) {
  bool focusedWindow = GetFocus() == hwnd_;
  bool selected = node == model_->Focused();
  COLORREF selBack = GetSysColor(focusedWindow ? COLOR_HIGHLIGHT : COLOR_BTNFACE);
  RECT client;
  GetClientRect(hwnd_, &client);
  RECT rowRect = Rect(0, rowTop, client.right, rowTop + rowHeight_);
  if (selected && fullRow_) Fill(dc, rowRect, selBack);

  SetBkMode(dc, TRANSPARENT);
  RECT focusRect = kEmpty;
  for (int col = 0; col < ColumnCount(); ++col) {
    Cell c;
    LayoutCell(dc, node, col, rowTop, c);
    if (c.cell.left >= client.right) break;
    sys::ScopedRegion clip(CreateRectRgnIndirect(&c.cell));
    SelectClipRgn(dc, clip.get());
    if (col == 0) {
      if (treeLines_) PaintLines(dc, node, rowTop, c.cell.left);
      if (!IsRectEmpty(&c.button)) PaintButton(dc, c.button, node->Expanded());
      if (!IsRectEmpty(&c.check)) PaintCheck(dc, c.check, node->CheckType(), node->CheckState());
      if (selected && !fullRow_) {
        Fill(dc, c.text, selBack);
        focusRect = c.text;
      }
    }
    if (c.imageIndex >= 0)
      ImageList_Draw(images_, c.imageIndex, dc, c.image.left, c.image.top, ILD_TRANSPARENT);
    if (!c.str.empty()) {
      sys::SelectScope font(dc, c.font);
      SetTextColor(dc, c.color);
      SetBkMode(dc, TRANSPARENT);
      RECT tr = Rect(c.text.left + kTextPad, rowTop, c.text.right - kTextPad, rowTop + rowHeight_);
      DrawTextW(dc, c.str.c_str(), static_cast<int>(c.str.size()), &tr,
                DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS | DT_LEFT);
    }
    SelectClipRgn(dc, nullptr);
  }
  if (selected && focusedWindow) {
    if (fullRow_) focusRect = rowRect;
    if (!IsRectEmpty(&focusRect)) {
      SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
      SetBkColor(dc, GetSysColor(COLOR_WINDOW));
      DrawFocusRect(dc, &focusRect);
    }
  }
}

void VirtualTree::Paint(HDC dc, const RECT& area) {
  Fill(dc, area, GetSysColor(IsWindowEnabled(hwnd_) ? COLOR_WINDOW : COLOR_BTNFACE));
  int head = HeaderHeight();
  int first = topRow_ + std::max(0, static_cast<int>(area.top) - head) / rowHeight_;
  for (int row = first;; ++row) {
    int top = RowTop(row);
    if (top >= area.bottom) break;
    TreeNode* node = model_->VisibleRow(static_cast<std::size_t>(row));
    if (!node) break;
    PaintRow(dc, node, top);
  }
}

// The rows are drawn off screen and copied in one go, so they never flicker.
void VirtualTree::OnPaint() {
  if (changePending_) UpdateScrollBar();
  changePending_ = false;
  repaintPending_ = false;
  sys::PaintScope paint(hwnd_);
  RECT rc;
  GetClientRect(hwnd_, &rc);
  HDC buffer = buffer_.Prepare(paint.dc(), SIZE{rc.right, rc.bottom});
  const RECT& area = paint.area();
  Paint(buffer, area);
  BitBlt(paint.dc(), area.left, area.top, area.right - area.left, area.bottom - area.top, buffer,
         area.left, area.top, SRCCOPY);
}

void VirtualTree::PrintClient(HDC dc) {
  RECT rc;
  GetClientRect(hwnd_, &rc);
  Paint(dc, rc);
}

}  // namespace ui
