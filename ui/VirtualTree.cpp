#include "ui/VirtualTree.h"

#include <uxtheme.h>
#include <vsstyle.h>
#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace ui {

const wchar_t VirtualTree::kClassName[] = L"VelmoraVirtualTree";

namespace {

constexpr UINT kRefreshMsg = WM_APP + 0x3A1;
constexpr UINT_PTR kScrollBarTimer = 0x3A1;
// Setting the scroll bar repaints it at once, which under Wine costs as much as painting
// the rows: while rows keep coming off screen it is set at most this often.
constexpr DWORD kScrollBarEvery = 200;  // ms
constexpr int kButtonSize = 9;
constexpr int kCheckSize = 13;
constexpr int kCheckSlot = 17;
constexpr int kTextPad = 2;

// uxtheme.dll is missing before Windows XP, so it is bound at run time.
struct ThemeApi {
  using OpenFn = HANDLE(WINAPI*)(HWND, LPCWSTR);
  using CloseFn = HRESULT(WINAPI*)(HANDLE);
  using DrawFn = HRESULT(WINAPI*)(HANDLE, HDC, int, int, const RECT*, const RECT*);
  OpenFn open = nullptr;
  CloseFn close = nullptr;
  DrawFn draw = nullptr;
};

const ThemeApi& Theme() {
  static ThemeApi api = [] {
    ThemeApi a;
    if (HMODULE m = LoadLibraryW(L"uxtheme.dll")) {
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

bool Contains(const RECT& r, POINT p) {
  return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

RECT Rect(int l, int t, int r, int b) { return RECT{l, t, r, b}; }

const RECT kEmpty{0, 0, 0, 0};

void Fill(HDC dc, const RECT& r, COLORREF c) {
  SetBkColor(dc, c);
  ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
}

bool IsDescendantOrSelf(const TreeNode* n, const TreeNode* ancestor) {
  for (; n; n = n->Parent())
    if (n == ancestor) return true;
  return false;
}

}  // namespace

// The parts of one cell, as paint and hit test both see them.
struct VirtualTree::Cell {
  RECT cell = kEmpty;
  RECT button = kEmpty;
  RECT check = kEmpty;
  RECT image = kEmpty;
  RECT text = kEmpty;  // the text's extent plus padding: selection and focus go here
  int imageIndex = -1;
  std::wstring str;
  HFONT font = nullptr;
  COLORREF color = 0;
};

void VirtualTree::Register() {
  static std::once_flag once;
  std::call_once(once, [] {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = WndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc);
  });
}

VirtualTree* VirtualTree::FromHandle(HWND hwnd) {
  return reinterpret_cast<VirtualTree*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

VirtualTree::VirtualTree() {
  listenerId_ = model_->Subscribe([this](const TreeChange& c) { OnModelChange(c); });
}

VirtualTree::~VirtualTree() {
  if (hwnd_) DestroyWindow(hwnd_);
  model_->Unsubscribe(listenerId_);
}

HWND VirtualTree::Create(HWND parent, int id, int x, int y, int width, int height, DWORD style,
                         DWORD exStyle) {
  Register();
  return CreateWindowExW(exStyle, kClassName, L"", style | WS_CHILD | WS_CLIPCHILDREN, x, y, width,
                         height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                         GetModuleHandleW(nullptr), this);
}

void VirtualTree::SetModel(TreeModel* model) {
  TreeModel* next = model ? model : &ownModel_;
  if (next == model_) return;
  model_->Unsubscribe(listenerId_);
  model_ = next;
  listenerId_ = model_->Subscribe([this](const TreeChange& c) { OnModelChange(c); });
  pressedCheck_ = pressedRow_ = nullptr;
  shownFocus_ = model_->Focused();
  topRow_ = 0;
  ScheduleRefresh();
}

// --- appearance ------------------------------------------------------------------------

void VirtualTree::SetColumns(std::vector<TreeColumn> columns) {
  columns_ = std::move(columns);
  if (header_) {
    while (Header_GetItemCount(header_) > 0) Header_DeleteItem(header_, 0);
    for (std::size_t i = 0; i < columns_.size(); ++i) {
      HDITEMW item{};
      item.mask = HDI_TEXT | HDI_WIDTH | HDI_FORMAT;
      item.pszText = const_cast<wchar_t*>(columns_[i].title.c_str());
      item.cxy = columns_[i].width;
      item.fmt = HDF_STRING | (columns_[i].align == DT_CENTER  ? HDF_CENTER
                               : columns_[i].align == DT_RIGHT ? HDF_RIGHT
                                                               : HDF_LEFT);
      syncingHeader_ = true;
      SendMessageW(header_, HDM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
      syncingHeader_ = false;
    }
  }
  Layout();
}

int VirtualTree::ColumnCount() const {
  return columns_.empty() ? 1 : static_cast<int>(columns_.size());
}

int VirtualTree::ColumnWidth(int column) const {
  RECT rc{};
  if (hwnd_) GetClientRect(hwnd_, &rc);
  if (columns_.empty()) return column == 0 ? static_cast<int>(rc.right) : 0;
  if (column < 0 || column >= static_cast<int>(columns_.size())) return 0;
  int w = columns_[column].width;
  if (column == autoSize_) {
    int others = 0;
    for (int i = 0; i < static_cast<int>(columns_.size()); ++i)
      if (i != column) others += columns_[i].width;
    w = std::max(w, static_cast<int>(rc.right) - others);
  }
  return w;
}

void VirtualTree::SetAutoSizeColumn(int column) {
  autoSize_ = column;
  Layout();
}

void VirtualTree::SetHeaderVisible(bool visible) {
  headerVisible_ = visible;
  if (visible && hwnd_ && !header_) CreateHeader();
  if (header_) ShowWindow(header_, visible ? SW_SHOWNA : SW_HIDE);
  Layout();
}

void VirtualTree::SetRowHeight(int pixels) {
  rowHeight_ = std::max(1, pixels);
  Layout();
}

void VirtualTree::SetIndent(int pixels) {
  indent_ = std::max(kButtonSize + 2, pixels);
  ScheduleRefresh();
}

void VirtualTree::SetImages(HIMAGELIST images) {
  images_ = images;
  ScheduleRefresh();
}

void VirtualTree::SetShowTreeLines(bool show) {
  treeLines_ = show;
  ScheduleRefresh();
}

void VirtualTree::SetShowRoot(bool show) {
  showRoot_ = show;
  ScheduleRefresh();
}

void VirtualTree::SetFullRowSelect(bool on) {
  fullRow_ = on;
  ScheduleRefresh();
}

void VirtualTree::CreateHeader() {
  header_ = CreateWindowExW(0, WC_HEADERW, L"", WS_CHILD | HDS_HORZ | HDS_FULLDRAG, 0, 0, 0, 0,
                            hwnd_, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (font_) SendMessageW(header_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  SetColumns(std::move(columns_));
}

int VirtualTree::HeaderHeight() const {
  if (!header_ || !headerVisible_) return 0;
  RECT r;
  GetWindowRect(header_, &r);
  return r.bottom - r.top;
}

void VirtualTree::Layout() {
  if (!hwnd_) return;
  if (header_ && headerVisible_) {
    RECT rc;
    GetClientRect(hwnd_, &rc);
    WINDOWPOS wp{};
    HDLAYOUT hl{&rc, &wp};
    Header_Layout(header_, &hl);
    SetWindowPos(header_, wp.hwndInsertAfter, wp.x, wp.y, wp.cx, wp.cy,
                 wp.flags | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  }
  SyncHeader();
  UpdateScrollBar();
  InvalidateRect(hwnd_, nullptr, FALSE);
}

void VirtualTree::SyncHeader() {
  if (!header_) return;
  syncingHeader_ = true;
  for (int i = 0; i < static_cast<int>(columns_.size()); ++i) {
    HDITEMW item{};
    item.mask = HDI_WIDTH;
    item.cxy = ColumnWidth(i);
    SendMessageW(header_, HDM_SETITEMW, i, reinterpret_cast<LPARAM>(&item));
  }
  syncingHeader_ = false;
}

// --- model changes and scrolling -----------------------------------------------------

void VirtualTree::OnModelChange(const TreeChange& change) {
  switch (change.kind) {
    case TreeChangeKind::Deleting:
      if (IsDescendantOrSelf(pressedCheck_, change.node)) pressedCheck_ = nullptr;
      if (IsDescendantOrSelf(pressedRow_, change.node)) pressedRow_ = nullptr;
      if (IsDescendantOrSelf(shownFocus_, change.node)) shownFocus_ = nullptr;
      break;
    case TreeChangeKind::Cleared:
      pressedCheck_ = pressedRow_ = shownFocus_ = nullptr;
      topRow_ = 0;
      break;
    case TreeChangeKind::Focused: {
      if (OnFocusChanged) OnFocusChanged(change.node);
      TreeNode* old = shownFocus_;
      shownFocus_ = change.node;
      if (!OnScreen(old) && !OnScreen(change.node)) return;
      break;
    }
    // A scan appends its findings below the last row on screen: then only the scroll bar
    // changes, and the window is not painted again for every hand-over.
    case TreeChangeKind::Added:
      if (!AppendShows(change.node)) {
        ScheduleRefresh(false);
        return;
      }
      break;
    case TreeChangeKind::Checked:
      if (!OnScreen(change.node)) return;
      break;
    default:
      break;
  }
  ScheduleRefresh();
}

bool VirtualTree::OnScreen(const TreeNode* node) const {
  if (!node) return false;
  if (!model_->RowsIndexed()) return true;
  std::ptrdiff_t row = model_->RowOf(node);
  return row >= topRow_ && row >= 0 && row <= topRow_ + PageRows();
}

bool VirtualTree::AppendShows(const TreeNode* node) const {
  if (!hwnd_) return false;
  if (!model_->RowsIndexed()) return true;
  const TreeNode* parent = node->Parent();
  if (parent && parent->ChildCount() == 1 && OnScreen(parent)) return true;  // its button
  if (model_->RowOf(node) < 0) return false;  // under a collapsed node
  // The previous sibling's line reaches down to the new row.
  const TreeNode* from = node->PrevSibling() ? node->PrevSibling() : node;
  return model_->RowOf(from) <= topRow_ + PageRows();
}

// Changes come in bursts (a scan appends thousands of nodes between two pumps), so the
// window is invalidated once and the scroll bar set once per burst.
void VirtualTree::ScheduleRefresh(bool repaint) {
  if (!hwnd_) return;
  if (repaint && !repaintPending_) {
    repaintPending_ = true;
    InvalidateRect(hwnd_, nullptr, FALSE);
  }
  if (changePending_) return;
  changePending_ = true;
  PostMessageW(hwnd_, kRefreshMsg, 0, 0);
}

int VirtualTree::PageRows() const {
  if (!hwnd_) return 1;
  RECT rc;
  GetClientRect(hwnd_, &rc);
  return std::max(1, static_cast<int>(rc.bottom - HeaderHeight()) / rowHeight_);
}

void VirtualTree::ScrollBarWhenDue() {
  DWORD since = GetTickCount() - lastScrollBar_;
  if (since < kScrollBarEvery &&
      SetTimer(hwnd_, kScrollBarTimer, kScrollBarEvery - since, nullptr))
    return;
  UpdateScrollBar();
  changePending_ = false;
}

void VirtualTree::UpdateScrollBar() {
  if (!hwnd_) return;
  lastScrollBar_ = GetTickCount();
  int rows = static_cast<int>(model_->VisibleRowCount());
  int page = PageRows();
  int top = topRow_;
  topRow_ = std::max(0, std::min(topRow_, rows - page));
  SCROLLINFO si{sizeof(si),
                SIF_RANGE | SIF_PAGE | SIF_POS,
                0,
                std::max(0, rows - 1),
                static_cast<UINT>(page),
                topRow_,
                0};
  SetScrollInfo(hwnd_, SB_VERT, &si, TRUE);
  // Showing or hiding the bar resizes the client area and may change the page.
  if (PageRows() != page) {
    page = PageRows();
    topRow_ = std::max(0, std::min(topRow_, rows - page));
    si.nPage = page;
    si.nPos = topRow_;
    SetScrollInfo(hwnd_, SB_VERT, &si, TRUE);
  }
  if (topRow_ != top) InvalidateRect(hwnd_, nullptr, FALSE);
}

void VirtualTree::SetTopRow(int row) {
  int rows = static_cast<int>(model_->VisibleRowCount());
  row = std::max(0, std::min(row, rows - PageRows()));
  if (row == topRow_) return;
  topRow_ = row;
  if (hwnd_) {
    SetScrollPos(hwnd_, SB_VERT, topRow_, TRUE);
    InvalidateRect(hwnd_, nullptr, FALSE);
  }
}

void VirtualTree::ScrollIntoView(TreeNode* node) {
  std::ptrdiff_t row = model_->RowOf(node);
  if (row < 0) return;
  int page = PageRows();
  if (row < topRow_)
    SetTopRow(static_cast<int>(row));
  else if (row >= topRow_ + page)
    SetTopRow(static_cast<int>(row) - page + 1);
}

bool VirtualTree::Expand(TreeNode* node, bool expand) {
  if (!node || node->Expanded() == expand) return false;
  if (!expand) {
    if (OnCollapsing && !OnCollapsing(node)) return false;
    TreeNode* f = model_->Focused();
    if (f && f != node && IsDescendantOrSelf(f, node)) model_->SetFocused(node);
  }
  model_->SetExpanded(node, expand);
  return true;
}

// --- geometry ----------------------------------------------------------------------------

int VirtualTree::ColumnLeft(int column) const {
  int x = 0;
  for (int i = 0; i < column; ++i) x += ColumnWidth(i);
  return x;
}

int VirtualTree::RowTop(int row) const { return HeaderHeight() + (row - topRow_) * rowHeight_; }

HFONT VirtualTree::FontFor(const LOGFONTW& lf) const {
  for (auto& f : fonts_)
    if (std::memcmp(&f.first, &lf, sizeof(lf)) == 0) return f.second;
  HFONT font = CreateFontIndirectW(&lf);
  fonts_.emplace_back(lf, font);
  return font;
}

std::wstring VirtualTree::CellText(TreeNode* node, int column) const {
  return OnGetText ? OnGetText(node, column) : std::wstring();
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
  HGDIOBJ old = SelectObject(dc, c.font);
  SIZE ext{0, 0};
  GetTextExtentPoint32W(dc, c.str.c_str(), static_cast<int>(c.str.size()), &ext);
  SelectObject(dc, old);

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
  LayoutCell(measureDc_, hit.node, hit.column, RowTop(row), cell);
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
  LayoutCell(measureDc_, node, 0, RowTop(static_cast<int>(row)), cell);
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
  buttonTheme_ = Theme().open(hwnd_, L"BUTTON");
  treeTheme_ = Theme().open(hwnd_, L"TREEVIEW");
}

void VirtualTree::CloseThemes() {
  if (buttonTheme_) Theme().close(buttonTheme_);
  if (treeTheme_) Theme().close(treeTheme_);
  buttonTheme_ = treeTheme_ = nullptr;
}

void VirtualTree::PaintButton(HDC dc, const RECT& r, bool expanded) {
  if (treeTheme_ && SUCCEEDED(Theme().draw(treeTheme_, dc, TVP_GLYPH,
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
    if (SUCCEEDED(Theme().draw(buttonTheme_, dc, part, st, &box, nullptr))) return;
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
    FillRect(dc, &r, dotBrush_);
  };
  // The node's own slot: a branch to the right, the line down to its next sibling.
  int x = left + (slots - 1) * indent_ + indent_ / 2;
  RECT h = Rect(x, mid, left + slots * indent_, mid + 1);
  FillRect(dc, &h, dotBrush_);
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
    HRGN clip = CreateRectRgnIndirect(&c.cell);
    SelectClipRgn(dc, clip);
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
      HGDIOBJ old = SelectObject(dc, c.font);
      SetTextColor(dc, c.color);
      SetBkMode(dc, TRANSPARENT);
      RECT tr = Rect(c.text.left + kTextPad, rowTop, c.text.right - kTextPad, rowTop + rowHeight_);
      DrawTextW(dc, c.str.c_str(), static_cast<int>(c.str.size()), &tr,
                DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS | DT_LEFT);
      SelectObject(dc, old);
    }
    SelectClipRgn(dc, nullptr);
    DeleteObject(clip);
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

void VirtualTree::MouseDown(MouseButton button, POINT pt, bool doubleClick) {
  if (pressedCheck_)  // an earlier press whose release never came
    model_->SetCheckStateOnly(pressedCheck_, WithPressed(pressedCheck_->CheckState(), false));
  pressedCheck_ = pressedRow_ = nullptr;
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

// --- text ----------------------------------------------------------------------------------

std::wstring VirtualTree::Text() const {
  std::wstring out;
  int columns = ColumnCount();
  // Rows made on demand are listed too, collapsed or not.
  model_->ForEachInTree([&](TreeNode* n) {
    out.append(static_cast<std::size_t>(n->Depth()), L'\t');
    if (n->CheckType() != CheckType::None)
      out += IsChecked(n->CheckState()) ? L"[x] " : IsMixed(n->CheckState()) ? L"[-] " : L"[ ] ";
    for (int c = 0; c < columns; ++c) {
      if (c > 0) out += L'\t';
      out += CellText(n, c);
    }
    out += L"\r\n";
  });
  return out;
}

// --- window procedure -------------------------------------------------------------------

LRESULT CALLBACK VirtualTree::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  VirtualTree* self = FromHandle(hwnd);
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
    self = static_cast<VirtualTree*>(cs->lpCreateParams);
    if (!self) {
      self = new VirtualTree;
      self->ownedByWindow_ = true;
    }
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    LRESULT r = self->Dispatch(msg, wp, lp);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    if (self->ownedByWindow_) delete self;
    return r;
  }
  return self->Dispatch(msg, wp, lp);
}

LRESULT VirtualTree::Dispatch(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE: {
      measureDc_ = CreateCompatibleDC(nullptr);
      WORD bits[8] = {0xAAAA, 0x5555, 0xAAAA, 0x5555, 0xAAAA, 0x5555, 0xAAAA, 0x5555};
      HBITMAP pattern = CreateBitmap(8, 8, 1, 1, bits);
      dotBrush_ = CreatePatternBrush(pattern);
      DeleteObject(pattern);
      OpenThemes();
      if (headerVisible_) CreateHeader();
      Layout();
      return 0;
    }
    case WM_DESTROY:
      CloseThemes();
      if (bufferDc_) {
        SelectObject(bufferDc_, bufferOld_);
        DeleteDC(bufferDc_);
        DeleteObject(buffer_);
        bufferDc_ = nullptr;
        buffer_ = nullptr;
        bufferSize_ = SIZE{0, 0};
      }
      if (measureDc_) DeleteDC(measureDc_);
      measureDc_ = nullptr;
      if (dotBrush_) DeleteObject(dotBrush_);
      dotBrush_ = nullptr;
      for (auto& f : fonts_) DeleteObject(f.second);
      fonts_.clear();
      header_ = nullptr;
      break;
    case WM_THEMECHANGED:
      OpenThemes();
      InvalidateRect(hwnd_, nullptr, FALSE);
      break;
    case WM_SIZE:
      Layout();
      return 0;
    case kRefreshMsg:
      repaintPending_ = false;
      if (changePending_) ScrollBarWhenDue();
      return 0;
    case WM_TIMER:
      if (wp != kScrollBarTimer) break;
      KillTimer(hwnd_, kScrollBarTimer);
      if (changePending_) UpdateScrollBar();
      changePending_ = false;
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      if (changePending_) UpdateScrollBar();
      changePending_ = false;
      repaintPending_ = false;
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd_, &ps);
      RECT rc;
      GetClientRect(hwnd_, &rc);
      if (!bufferDc_ || bufferSize_.cx < rc.right || bufferSize_.cy < rc.bottom) {
        if (bufferDc_) {
          SelectObject(bufferDc_, bufferOld_);
          DeleteObject(buffer_);
        } else {
          bufferDc_ = CreateCompatibleDC(dc);
        }
        bufferSize_ = SIZE{std::max<LONG>(rc.right, 1), std::max<LONG>(rc.bottom, 1)};
        buffer_ = CreateCompatibleBitmap(dc, bufferSize_.cx, bufferSize_.cy);
        bufferOld_ = SelectObject(bufferDc_, buffer_);
      }
      Paint(bufferDc_, ps.rcPaint);
      BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left,
             ps.rcPaint.bottom - ps.rcPaint.top, bufferDc_, ps.rcPaint.left, ps.rcPaint.top,
             SRCCOPY);
      EndPaint(hwnd_, &ps);
      return 0;
    }
    case WM_PRINTCLIENT: {
      RECT rc;
      GetClientRect(hwnd_, &rc);
      Paint(reinterpret_cast<HDC>(wp), rc);
      return 0;
    }
    case WM_SETFONT:
      font_ = reinterpret_cast<HFONT>(wp);
      for (auto& f : fonts_) DeleteObject(f.second);
      fonts_.clear();
      if (header_) SendMessageW(header_, WM_SETFONT, wp, lp);
      Layout();
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(font_);
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(Text().size());
    case WM_GETTEXT: {
      if (wp == 0) return 0;
      std::wstring text = Text();
      std::size_t n = std::min<std::size_t>(text.size(), wp - 1);
      auto* buf = reinterpret_cast<wchar_t*>(lp);
      std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n), buf);
      buf[n] = L'\0';
      return static_cast<LRESULT>(n);
    }
    case WM_SETTEXT:
      return TRUE;  // the text is the tree's content
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_ENABLE:
      InvalidateRect(hwnd_, nullptr, FALSE);
      return 0;
    case WM_KEYDOWN:
      KeyDown(wp, lp);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      MouseDown(MouseButton::Left, POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)},
                msg == WM_LBUTTONDBLCLK);
      return 0;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
      MouseDown(MouseButton::Right, POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}, false);
      return 0;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
      MouseDown(MouseButton::Middle, POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}, false);
      return 0;
    case WM_LBUTTONUP:
      MouseUp(POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)});
      return 0;
    case WM_CAPTURECHANGED:
      if (pressedCheck_)
        model_->SetCheckStateOnly(pressedCheck_, WithPressed(pressedCheck_->CheckState(), false));
      pressedCheck_ = pressedRow_ = nullptr;
      return 0;
    case WM_MOUSEMOVE:
      if (OnMouseMove) OnMouseMove(HitTest(POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)}));
      return 0;
    case WM_SETCURSOR:
      if (LOWORD(lp) == HTCLIENT && reinterpret_cast<HWND>(wp) == hwnd_) {
        POINT pt;
        GetCursorPos(&pt);
        ScreenToClient(hwnd_, &pt);
        HCURSOR c = OnGetCursor ? OnGetCursor(HitTest(pt)) : nullptr;
        SetCursor(c ? c : LoadCursorW(nullptr, IDC_ARROW));
        return TRUE;
      }
      break;
    case WM_MOUSEWHEEL: {
      wheelDelta_ += GET_WHEEL_DELTA_WPARAM(wp);
      UINT lines = 3;
      SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
      int step = lines == WHEEL_PAGESCROLL ? PageRows() : static_cast<int>(lines);
      int notches = wheelDelta_ / WHEEL_DELTA;
      wheelDelta_ -= notches * WHEEL_DELTA;
      if (notches && step) SetTopRow(topRow_ - notches * step);
      return 0;
    }
    case WM_VSCROLL: {
      int page = PageRows();
      switch (LOWORD(wp)) {
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
      return 0;
    }
    case WM_NOTIFY: {
      auto* nm = reinterpret_cast<NMHDR*>(lp);
      if (nm->hwndFrom != header_ || !header_) break;
      auto* hd = reinterpret_cast<NMHEADERW*>(lp);
      bool fixed = hd->iItem >= 0 && hd->iItem < static_cast<int>(columns_.size()) &&
                   columns_[hd->iItem].fixed;
      switch (nm->code) {
        case HDN_BEGINTRACKW:
        case HDN_BEGINTRACKA:
          return fixed ? TRUE : FALSE;
        case HDN_ITEMCHANGINGW:
        case HDN_ITEMCHANGINGA:
          return !syncingHeader_ && fixed && hd->pitem && (hd->pitem->mask & HDI_WIDTH) ? TRUE
                                                                                        : FALSE;
        case HDN_ITEMCHANGEDW:
        case HDN_ITEMCHANGEDA:
          if (!syncingHeader_ && hd->pitem && (hd->pitem->mask & HDI_WIDTH) && hd->iItem >= 0 &&
              hd->iItem < static_cast<int>(columns_.size())) {
            columns_[hd->iItem].width = hd->pitem->cxy;
            InvalidateRect(hwnd_, nullptr, FALSE);
          }
          return 0;
        default:
          break;
      }
      break;
    }
    default:
      break;
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

}  // namespace ui
