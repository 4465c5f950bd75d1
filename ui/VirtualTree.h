// The owner-drawn tree control behind the window's four trees: a TreeModel painted in
// columns, with check boxes, radio buttons, expand buttons and per-column images.
//
// Only the visible rows are painted (through a back buffer); text, images, font and colour
// come from the events below. WM_GETTEXT answers with the whole tree as text (see Text()).
#pragma once
#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "model/TreeModel.h"
#include "sys/Handles.h"
#include "ui/BackBuffer.h"

namespace ui {

// The tree shows a model that knows nothing of windows.
using model::CheckState;
using model::CheckType;
using model::TreeChange;
using model::TreeChangeKind;
using model::TreeModel;
using model::TreeNode;

struct TreeColumn {
  std::wstring title;
  int width = 100;
  int align = DT_LEFT;  // DT_LEFT, DT_CENTER or DT_RIGHT
  bool fixed = false;   // the user cannot drag its width in the header
};

// What lies under a point of the client area.
struct TreeHit {
  POINT pt{0, 0};
  TreeNode* node = nullptr;  // null on the header and below the last row
  int column = -1;           // -1 right of the last column
  bool onButton = false;     // the expand/collapse box
  bool onCheck = false;      // the check box or radio button
  bool onImage = false;
  bool onText = false;  // within the drawn text of that column
  int textLeft = 0;     // where the text of that column is drawn (client x)
  int textRight = 0;
};

// Where the parts of a node's first column are drawn, in client coordinates; a part the
// node does not have is an empty rectangle.
struct TreeNodeRects {
  RECT row, button, check, image, text;
};

enum class MouseButton { Left, Right, Middle };

class VirtualTree {
 public:
  static const wchar_t kClassName[];
  static constexpr DWORD kDefaultStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL;

  // Registers the window class once per process; Create does it too. A window made with
  // CreateWindowExW(kClassName) directly owns a VirtualTree that dies with it.
  static void Register();
  static VirtualTree* FromHandle(HWND hwnd);

  VirtualTree();
  ~VirtualTree();  // destroys the window
  VirtualTree(const VirtualTree&) = delete;
  VirtualTree& operator=(const VirtualTree&) = delete;

  HWND Create(HWND parent, int id, int x, int y, int width, int height, DWORD style = kDefaultStyle,
              DWORD exStyle = WS_EX_CLIENTEDGE);
  HWND Handle() const { return hwnd_; }

  // The tree shows its own model unless given another; a given model is not owned and
  // must outlive the tree or be replaced first (SetModel(nullptr) returns to the own one).
  TreeModel& Model() { return *model_; }
  const TreeModel& Model() const { return *model_; }
  void SetModel(TreeModel* model);

  // --- appearance ---
  // No columns means one column 0 as wide as the window.
  void SetColumns(std::vector<TreeColumn> columns);
  const std::vector<TreeColumn>& Columns() const { return columns_; }
  int ColumnCount() const;
  // The drawn width: the auto-size column takes the room the others leave (never less
  // than its own width).
  int ColumnWidth(int column) const;
  void SetAutoSizeColumn(int column);  // -1: none
  void SetHeaderVisible(bool visible);
  void SetRowHeight(int pixels);  // default 18
  int RowHeight() const { return rowHeight_; }
  void SetIndent(int pixels);         // default 18
  void SetImages(HIMAGELIST images);  // not owned
  void SetShowTreeLines(bool show);   // default on
  void SetShowRoot(bool show);        // buttons and lines for top-level nodes; default on
  void SetFullRowSelect(bool on);     // default off: only the first column's text

  // --- scrolling and geometry ---
  int TopRow() const { return topRow_; }
  void SetTopRow(int row);
  // Whole rows that fit below the header.
  int PageRows() const;
  void ScrollIntoView(TreeNode* node);
  TreeHit HitTest(POINT client) const;
  // False when the node is hidden under a collapsed ancestor.
  bool NodeRects(TreeNode* node, TreeNodeRects& rects) const;

  // The whole tree as text, one line per node in tree order (collapsed or not) ended by
  // CR LF: the depth as tabs, "[x] ", "[ ] " or "[-] " for a node with a check box or
  // radio button, then the texts of its columns separated by tabs.
  std::wstring Text() const;

  // A user's expand or collapse: a collapse asks OnCollapsing first. True when done.
  bool Expand(TreeNode* node, bool expand);

  // --- events ---
  std::function<std::wstring(TreeNode* node, int column)> OnGetText;
  // Image of the list given to SetImages, -1 for none.
  std::function<int(TreeNode* node, int column)> OnGetImageIndex;
  // May change the font (starting as the window's font) and the text colour.
  std::function<void(TreeNode* node, int column, LOGFONTW& font, COLORREF& color)> OnPaintText;
  // Any button, before the tree acts on the press.
  std::function<void(MouseButton button, const TreeHit& hit)> OnMouseDown;
  std::function<void(const TreeHit& hit)> OnMouseMove;
  // Left button pressed and released on the same row (not on its button or check box).
  std::function<void(const TreeHit& hit)> OnClick;
  // The user changed the node's check (click or Space).
  std::function<void(TreeNode* node)> OnChecked;
  // Return false to keep the node expanded.
  std::function<bool(TreeNode* node)> OnCollapsing;
  std::function<void(TreeNode* node)> OnFocusChanged;
  // The cursor for a point; null gives the arrow.
  std::function<HCURSOR(const TreeHit& hit)> OnGetCursor;

 private:
  struct Cell;
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT Dispatch(UINT msg, WPARAM wp, LPARAM lp);
  void OnModelChange(const TreeChange& change);
  // Whether a node's row is on screen (the partly shown last row counts); true when that
  // is not known at once.
  bool OnScreen(const TreeNode* node) const;
  // Whether an appended node changes anything on screen.
  bool AppendShows(const TreeNode* node) const;
  // The scroll bar is set once the burst of changes ends; repaint invalidates the window.
  void ScheduleRefresh(bool repaint = true);
  void UpdateScrollBar();
  // At once, or on a timer when the bar was set a moment ago.
  void ScrollBarWhenDue();
  void ScrollBarTimer();
  void Layout();
  void SyncHeader();
  void CreateHeader();
  int HeaderHeight() const;
  int ColumnLeft(int column) const;
  int RowTop(int row) const;
  std::wstring CellText(TreeNode* node, int column) const;

  // Window life and the messages that are neither painting nor input.
  void OnCreate();
  void OnDestroy();
  void OnSetFont(WPARAM wp, LPARAM lp);
  LRESULT TextMessage(UINT msg, WPARAM wp, LPARAM lp) const;

  // Painting.
  void LayoutCell(HDC dc, TreeNode* node, int column, int rowTop, Cell& cell) const;
  HFONT FontFor(const LOGFONTW& lf) const;
  void OnPaint();
  void PrintClient(HDC dc);
  void Paint(HDC dc, const RECT& area);
  void PaintRow(HDC dc, TreeNode* node, int rowTop);
  void PaintLines(HDC dc, TreeNode* node, int rowTop, int left);
  void PaintButton(HDC dc, const RECT& r, bool expanded);
  void PaintCheck(HDC dc, const RECT& r, CheckType type, CheckState state);
  void OpenThemes();
  void CloseThemes();

  // Keyboard and mouse.
  void MoveFocusTo(std::ptrdiff_t row);
  void KeyDown(WPARAM key, LPARAM flags);
  LRESULT MouseMessage(UINT msg, LPARAM lp);
  void MouseDown(MouseButton button, POINT pt, bool doubleClick);
  void MouseUp(POINT pt);
  void CaptureIfHeld();
  // The press of a check box or row ends without a click.
  void DropPress();
  // True when it set the cursor.
  bool SetCursorFor(HWND over, UINT hitArea);

  // Scrolling and the header.
  void Wheel(int delta);
  void VScroll(int request);
  // True when the message came from the header and was answered with `result`.
  bool HeaderNotify(const NMHDR& nm, LRESULT& result);

  HWND hwnd_ = nullptr;
  HWND header_ = nullptr;
  bool ownedByWindow_ = false;
  TreeModel ownModel_;
  TreeModel* model_ = &ownModel_;
  int listenerId_ = 0;

  std::vector<TreeColumn> columns_;
  int autoSize_ = -1;
  bool headerVisible_ = false;
  bool syncingHeader_ = false;
  int rowHeight_ = 18;
  int indent_ = 18;
  HIMAGELIST images_ = nullptr;
  bool treeLines_ = true;
  bool showRoot_ = true;
  bool fullRow_ = false;

  int topRow_ = 0;
  int wheelDelta_ = 0;
  bool changePending_ = false;
  bool repaintPending_ = false;
  DWORD lastScrollBar_ = 0;
  TreeNode* shownFocus_ = nullptr;  // the focused node as last painted

  HFONT font_ = nullptr;  // not owned: the window's font, given with WM_SETFONT
  // Fonts an OnPaintText handler asked for, made once each.
  mutable std::vector<std::pair<LOGFONTW, sys::ScopedFont>> fonts_;
  sys::MemoryDc measureDc_;  // hit tests lay cells out without painting
  BackBuffer buffer_;
  sys::ScopedBrush dotBrush_;
  sys::ScopedTheme buttonTheme_;
  sys::ScopedTheme treeTheme_;

  TreeNode* pressedCheck_ = nullptr;  // check box held down by the left button
  TreeNode* pressedRow_ = nullptr;    // row the left button went down on
};

}  // namespace ui
