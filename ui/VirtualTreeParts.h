// What the tree control's source files share: sizes, small geometry helpers, the layout
// of one cell and the run-time binding of the theme functions. Not for other users.
#pragma once
#include <windows.h>

#include <string>

#include "ui/VirtualTree.h"

namespace ui {
namespace tree_parts {

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
const ThemeApi& Theme();

inline bool Contains(const RECT& r, POINT p) {
  return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

inline RECT Rect(int l, int t, int r, int b) { return RECT{l, t, r, b}; }

constexpr RECT kEmpty{0, 0, 0, 0};

inline bool IsDescendantOrSelf(const TreeNode* n, const TreeNode* ancestor) {
  for (; n; n = n->Parent())
    if (n == ancestor) return true;
  return false;
}

}  // namespace tree_parts

// The parts of one cell, as paint and hit test both see them.
struct VirtualTree::Cell {
  RECT cell = tree_parts::kEmpty;
  RECT button = tree_parts::kEmpty;
  RECT check = tree_parts::kEmpty;
  RECT image = tree_parts::kEmpty;
  RECT text = tree_parts::kEmpty;  // the text's extent plus padding: selection and focus go here
  int imageIndex = -1;
  std::wstring str;
  HFONT font = nullptr;
  COLORREF color = 0;
};

}  // namespace ui
