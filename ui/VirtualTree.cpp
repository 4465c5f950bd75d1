#include "ui/VirtualTree.h"

#include <windowsx.h>

#include <algorithm>

#include "ui/VirtualTreeParts.h"

namespace ui {

using namespace tree_parts;

const wchar_t VirtualTree::kClassName[] = L"VelmoraVirtualTree";

void VirtualTree::Register() {
  // A local static is made once, whichever thread gets here first.
  static const bool registered = [] {
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
    return true;
  }();
  (void)registered;
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

void VirtualTree::ScrollBarTimer() {
  KillTimer(hwnd_, kScrollBarTimer);
  if (changePending_) UpdateScrollBar();
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

std::wstring VirtualTree::CellText(TreeNode* node, int column) const {
  return OnGetText ? OnGetText(node, column) : std::wstring();
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
  LRESULT result = 0;
  switch (msg) {
    case WM_CREATE:
      OnCreate();
      return 0;
    case WM_DESTROY:
      OnDestroy();
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
      ScrollBarTimer();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_PRINTCLIENT:
      PrintClient(reinterpret_cast<HDC>(wp));
      return 0;
    case WM_SETFONT:
      OnSetFont(wp, lp);
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(font_);
    case WM_GETTEXTLENGTH:
    case WM_GETTEXT:
    case WM_SETTEXT:
      return TextMessage(msg, wp, lp);
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
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
    case WM_MOUSEMOVE:
      return MouseMessage(msg, lp);
    case WM_SETCURSOR:
      if (SetCursorFor(reinterpret_cast<HWND>(wp), LOWORD(lp))) return TRUE;
      break;
    case WM_MOUSEWHEEL:
      Wheel(GET_WHEEL_DELTA_WPARAM(wp));
      return 0;
    case WM_VSCROLL:
      VScroll(LOWORD(wp));
      return 0;
    case WM_NOTIFY:
      if (HeaderNotify(*reinterpret_cast<NMHDR*>(lp), result)) return result;
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

void VirtualTree::OnCreate() {
  measureDc_.reset(CreateCompatibleDC(nullptr));
  WORD bits[8] = {0xAAAA, 0x5555, 0xAAAA, 0x5555, 0xAAAA, 0x5555, 0xAAAA, 0x5555};
  // The brush keeps its own copy of the pattern.
  sys::ScopedBitmap pattern(CreateBitmap(8, 8, 1, 1, bits));
  dotBrush_.reset(CreatePatternBrush(pattern.get()));
  OpenThemes();
  if (headerVisible_) CreateHeader();
  Layout();
}

// The window's drawing things go with it; the object may live on without a window.
void VirtualTree::OnDestroy() {
  CloseThemes();
  buffer_.Release();
  measureDc_.reset();
  dotBrush_.reset();
  fonts_.clear();
  header_ = nullptr;
}

void VirtualTree::OnSetFont(WPARAM wp, LPARAM lp) {
  font_ = reinterpret_cast<HFONT>(wp);
  fonts_.clear();
  if (header_) SendMessageW(header_, WM_SETFONT, wp, lp);
  Layout();
}

LRESULT VirtualTree::TextMessage(UINT msg, WPARAM wp, LPARAM lp) const {
  if (msg == WM_SETTEXT) return TRUE;  // the text is the tree's content
  if (msg == WM_GETTEXTLENGTH) return static_cast<LRESULT>(Text().size());
  if (wp == 0) return 0;
  std::wstring text = Text();
  std::size_t n = std::min<std::size_t>(text.size(), wp - 1);
  auto* buf = reinterpret_cast<wchar_t*>(lp);
  std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(n), buf);
  buf[n] = L'\0';
  return static_cast<LRESULT>(n);
}

}  // namespace ui
