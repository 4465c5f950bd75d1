#include "ui/Widgets.h"

#include <windowsx.h>

#include "sys/Handles.h"
#include "sys/SystemLibrary.h"

namespace ui {

const wchar_t kLabelClass[] = L"VelmoraLabel";
const wchar_t kPanelClass[] = L"VelmoraPanel";
const wchar_t kPictureClass[] = L"VelmoraPicture";
const wchar_t kSpeedButtonClass[] = L"VelmoraSpeedButton";
const wchar_t kBackgroundProp[] = L"VelmoraBackground";
static const wchar_t kNameProp[] = L"Name";

void SetComponentName(HWND hwnd, const std::wstring& name) {
  ATOM old = ATOM(reinterpret_cast<UINT_PTR>(GetPropW(hwnd, kNameProp)));
  if (old) GlobalDeleteAtom(old);
  ATOM atom = GlobalAddAtomW(name.c_str());
  SetPropW(hwnd, kNameProp, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(atom)));
}

std::wstring ComponentName(HWND hwnd) {
  ATOM atom = ATOM(reinterpret_cast<UINT_PTR>(GetPropW(hwnd, kNameProp)));
  if (!atom) return {};
  wchar_t buf[256];
  UINT n = GlobalGetAtomNameW(atom, buf, 256);
  return std::wstring(buf, n);
}

namespace {
struct FindState {
  const std::wstring* name;
  HWND found;
};
BOOL CALLBACK FindChild(HWND hwnd, LPARAM lp) {
  FindState* s = reinterpret_cast<FindState*>(lp);
  if (ComponentName(hwnd) == *s->name) {
    s->found = hwnd;
    return FALSE;
  }
  return TRUE;
}
BOOL CALLBACK ReleaseChild(HWND hwnd, LPARAM) {
  ATOM atom = ATOM(reinterpret_cast<UINT_PTR>(RemovePropW(hwnd, kNameProp)));
  if (atom) GlobalDeleteAtom(atom);
  return TRUE;
}
}  // namespace

HWND FindComponent(HWND root, const std::wstring& name) {
  if (ComponentName(root) == name) return root;
  FindState s{&name, nullptr};
  EnumChildWindows(root, FindChild, reinterpret_cast<LPARAM>(&s));  // all descendants
  return s.found;
}

void ReleaseComponentNames(HWND root) {
  ReleaseChild(root, 0);
  EnumChildWindows(root, ReleaseChild, 0);
}

COLORREF BackgroundOf(HWND hwnd) {
  for (HWND w = hwnd; w; w = GetParent(w)) {
    UINT_PTR v = reinterpret_cast<UINT_PTR>(GetPropW(w, kBackgroundProp));
    if (v) return COLORREF(v - 1);
    if (!(GetWindowLongW(w, GWL_STYLE) & WS_CHILD)) break;
  }
  return GetSysColor(COLOR_BTNFACE);
}

static void SetBackground(HWND hwnd, COLORREF c) {
  SetPropW(hwnd, kBackgroundProp, reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(c) + 1));
}

static void FillBackground(HWND hwnd, HDC dc, const RECT& rc) {
  sys::ScopedBrush b(CreateSolidBrush(BackgroundOf(hwnd)));
  FillRect(dc, &rc, b.get());
}

static void NotifyParent(HWND hwnd, UINT code) {
  SendMessageW(GetParent(hwnd), WM_COMMAND,
               MAKEWPARAM(GetDlgCtrlID(hwnd), code), reinterpret_cast<LPARAM>(hwnd));
}

// Containers forward what their children tell them.
static bool Forward(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  switch (msg) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_HSCROLL:
    case WM_VSCROLL:
      if (HWND parent = GetParent(hwnd)) {
        result = SendMessageW(parent, msg, wp, lp);
        return true;
      }
  }
  return false;
}

// --- label ---------------------------------------------------------------------------
namespace {
// A press and a release inside the control make a click, as for buttons.
struct ClickTracker {
  bool pressed = false;
  // True when the message was a mouse message it took care of.
  bool Handle(HWND hwnd, UINT msg, LPARAM lp) {
    switch (msg) {
      case WM_LBUTTONDOWN:
        SetCapture(hwnd);
        pressed = true;
        return true;
      case WM_LBUTTONUP:
        if (pressed) {
          pressed = false;
          ReleaseCapture();
          RECT rc;
          GetClientRect(hwnd, &rc);
          POINT pt = {GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
          if (PtInRect(&rc, pt)) NotifyParent(hwnd, kClicked);
        }
        return true;
      case WM_CAPTURECHANGED:
        pressed = false;
        return true;
    }
    return false;
  }
};

// The per-window record, the font and the text, shared by the controls that keep a
// record: the record is made with the window and freed with it.
template <class Data>
bool CommonMessages(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, Data*& d, LRESULT& result) {
  switch (msg) {
    case WM_NCCREATE:
      d = new Data;
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(d));
      return false;
    case WM_NCDESTROY:
      delete d;
      d = nullptr;
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      return false;
    case WM_SETFONT:
      d->font = reinterpret_cast<HFONT>(wp);
      if (LOWORD(lp)) InvalidateRect(hwnd, nullptr, TRUE);
      result = 0;
      return true;
    case WM_GETFONT:
      result = reinterpret_cast<LRESULT>(d->font);
      return true;
    case WM_SETTEXT:  // the new text is painted at once
      result = DefWindowProcW(hwnd, msg, wp, lp);
      InvalidateRect(hwnd, nullptr, TRUE);
      return true;
  }
  return false;
}

struct LabelData {
  COLORREF color = RGB(0, 0, 0);
  HFONT font = nullptr;
  bool link = false;
  ClickTracker click;
  UINT align = DT_LEFT;
  bool transparent = false;
};

LRESULT CALLBACK LabelProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  LabelData* d = reinterpret_cast<LabelData*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  LRESULT common;
  if (CommonMessages(hwnd, msg, wp, lp, d, common)) return common;
  if (!d) return DefWindowProcW(hwnd, msg, wp, lp);
  switch (msg) {
    case kLabelSetColor:
      d->color = COLORREF(wp);
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case kLabelSetLink:
      d->link = wp != 0;
      return 0;
    case kLabelSetTransparent:
      d->transparent = wp != 0;
      return 0;
    case kLabelSetAlign:
      d->align = UINT(wp);
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      sys::PaintScope paint(hwnd);
      HDC dc = paint.dc();
      RECT rc;
      GetClientRect(hwnd, &rc);
      int len = GetWindowTextLengthW(hwnd);
      if (!d->transparent) FillBackground(hwnd, dc, rc);
      std::wstring text(size_t(len) + 1, L'\0');
      GetWindowTextW(hwnd, &text[0], len + 1);
      text.resize(size_t(len));
      sys::SelectScope font(dc, d->font ? d->font : GetStockObject(DEFAULT_GUI_FONT));
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, IsWindowEnabled(hwnd) ? d->color : GetSysColor(COLOR_GRAYTEXT));
      DrawTextW(dc, text.c_str(), -1, &rc, d->align | DT_WORDBREAK | DT_NOPREFIX);
      if (d->link && GetFocus() == hwnd) DrawFocusRect(dc, &rc);
      return 0;
    }
    case WM_SETCURSOR:
      if (d->link) {
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
      }
      break;
    case WM_NCHITTEST:
      // A plain label lets clicks through to what lies beneath it, as labels do.
      if (!d->link) return HTTRANSPARENT;
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      if (d->link) {
        if (msg == WM_LBUTTONDOWN) SetFocus(hwnd);
        d->click.Handle(hwnd, msg, lp);
      }
      return 0;
    case WM_GETDLGCODE:
      return d->link ? DLGC_WANTCHARS | DLGC_BUTTON : DLGC_STATIC;
    case WM_KEYDOWN:
      if (d->link && (wp == VK_RETURN || wp == VK_SPACE)) {
        NotifyParent(hwnd, kClicked);
        return 0;
      }
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_ENABLE:
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

// --- panel ---------------------------------------------------------------------------
LRESULT CALLBACK PanelProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT forwarded;
  if (Forward(hwnd, msg, wp, lp, forwarded)) return forwarded;
  switch (msg) {
    case kPanelSetColor:
      SetBackground(hwnd, COLORREF(wp));
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_ERASEBKGND: {
      RECT rc;
      GetClientRect(hwnd, &rc);
      FillBackground(hwnd, reinterpret_cast<HDC>(wp), rc);
      return 1;
    }
    case WM_NCDESTROY:
      RemovePropW(hwnd, kBackgroundProp);
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

// --- picture -------------------------------------------------------------------------
LRESULT CALLBACK PictureProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case kPictureSetBitmap:
      SetPropW(hwnd, L"VelmoraBitmap", reinterpret_cast<HANDLE>(lp));
      SetPropW(hwnd, L"VelmoraStretch", reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(wp)));
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_NCHITTEST:
      return HTTRANSPARENT;
    case WM_PAINT: {
      sys::PaintScope paint(hwnd);
      HDC dc = paint.dc();
      RECT rc;
      GetClientRect(hwnd, &rc);
      FillBackground(hwnd, dc, rc);
      HBITMAP bmp = reinterpret_cast<HBITMAP>(GetPropW(hwnd, L"VelmoraBitmap"));
      if (bmp) {
        BITMAP bm;
        GetObjectW(bmp, sizeof bm, &bm);
        sys::MemoryDc mem(CreateCompatibleDC(dc));
        sys::SelectScope picture(mem.get(), bmp);
        if (GetPropW(hwnd, L"VelmoraStretch")) {
          SetStretchBltMode(dc, HALFTONE);
          StretchBlt(dc, 0, 0, rc.right, rc.bottom, mem.get(), 0, 0, bm.bmWidth, bm.bmHeight,
                     SRCCOPY);
        } else {
          BitBlt(dc, 0, 0, bm.bmWidth, bm.bmHeight, mem.get(), 0, 0, SRCCOPY);
        }
      }
      return 0;
    }
    case WM_NCDESTROY:
      RemovePropW(hwnd, L"VelmoraBitmap");
      RemovePropW(hwnd, L"VelmoraStretch");
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

// --- speed button --------------------------------------------------------------------
struct SpeedData {
  HBITMAP glyph = nullptr;
  HFONT font = nullptr;
  bool down = false;
  bool transparent = true;
  bool hot = false;
  ClickTracker click;
};

void PaintSpeedButton(HWND hwnd, const SpeedData& d) {
  sys::PaintScope paint(hwnd);
  HDC dc = paint.dc();
  RECT rc;
  GetClientRect(hwnd, &rc);
  FillBackground(hwnd, dc, rc);
  if (!d.transparent || d.down || d.hot) {
    // The pressed page button stands out as a light tab on the banner.
    sys::ScopedBrush b(CreateSolidBrush(d.down ? RGB(247, 250, 246) : RGB(214, 235, 214)));
    FillRect(dc, &rc, b.get());
    if (d.down) {
      sys::ScopedPen pen(CreatePen(PS_SOLID, 1, RGB(120, 170, 120)));
      sys::SelectScope selected(dc, pen.get());
      MoveToEx(dc, rc.left, rc.bottom, nullptr);
      LineTo(dc, rc.left, rc.top);
      LineTo(dc, rc.right - 1, rc.top);
      LineTo(dc, rc.right - 1, rc.bottom);
    }
  }
  int textTop = rc.bottom - 20;
  if (d.glyph) {
    BITMAP bm;
    GetObjectW(d.glyph, sizeof bm, &bm);
    sys::MemoryDc mem(CreateCompatibleDC(dc));
    sys::SelectScope glyph(mem.get(), d.glyph);
    int x = (rc.right - bm.bmWidth) / 2, y = 4;
    // The glyph's bottom-left pixel is its transparent colour, as for speed buttons.
    // msimg32.dll is no known DLL: loaded from the system folder by its full path.
    using TransparentBltFn = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, UINT);
    static const auto transparentBlt =
        sys::SystemFunction<TransparentBltFn>(L"msimg32.dll", "TransparentBlt");
    if (transparentBlt)
      transparentBlt(dc, x, y, bm.bmWidth, bm.bmHeight, mem.get(), 0, 0, bm.bmWidth, bm.bmHeight,
                     GetPixel(mem.get(), 0, bm.bmHeight - 1));
    textTop = y + bm.bmHeight + 2;
  }
  wchar_t text[128];
  GetWindowTextW(hwnd, text, 128);
  sys::SelectScope font(dc, d.font ? d.font : GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, d.down ? RGB(0, 96, 0) : RGB(255, 255, 255));
  RECT tr = {rc.left, textTop, rc.right, rc.bottom};
  DrawTextW(dc, text, -1, &tr, DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
}

LRESULT CALLBACK SpeedProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  SpeedData* d = reinterpret_cast<SpeedData*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  LRESULT common;
  if (CommonMessages(hwnd, msg, wp, lp, d, common)) return common;
  if (!d) return DefWindowProcW(hwnd, msg, wp, lp);
  switch (msg) {
    case kSpeedSetGlyph:
      d->glyph = reinterpret_cast<HBITMAP>(lp);
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case kSpeedSetDown:
      d->down = wp != 0;
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case kSpeedGetDown:
      return d->down;
    case kSpeedSetTransparent:
      d->transparent = wp != 0;
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_SETCURSOR:
      SetCursor(LoadCursorW(nullptr, IDC_HAND));
      return TRUE;
    case WM_MOUSEMOVE:
      if (!d->hot) {
        d->hot = true;
        TRACKMOUSEEVENT t = {sizeof t, TME_LEAVE, hwnd, 0};
        TrackMouseEvent(&t);
        InvalidateRect(hwnd, nullptr, TRUE);
      }
      return 0;
    case WM_MOUSELEAVE:
      d->hot = false;
      InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      d->click.Handle(hwnd, msg, lp);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      PaintSpeedButton(hwnd, *d);
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}
}  // namespace

void RegisterWidgetClasses(HINSTANCE instance) {
  struct Cls {
    const wchar_t* name;
    WNDPROC proc;
  } classes[] = {{kLabelClass, LabelProc},
                 {kPanelClass, PanelProc},
                 {kPictureClass, PictureProc},
                 {kSpeedButtonClass, SpeedProc}};
  for (const Cls& c : classes) {
    WNDCLASSW wc = {};
    if (GetClassInfoW(instance, c.name, &wc)) continue;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = c.proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = c.name;
    RegisterClassW(&wc);
  }
}

HWND CreateChild(const wchar_t* cls, const std::wstring& name, const std::wstring& text,
                 DWORD style, int x, int y, int w, int h, HWND parent, int id, DWORD exStyle) {
  HWND hwnd = CreateWindowExW(exStyle, cls, text.c_str(), WS_CHILD | style, x, y, w, h, parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                              reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE)),
                              nullptr);
  if (hwnd) SetComponentName(hwnd, name);
  return hwnd;
}

}  // namespace ui
