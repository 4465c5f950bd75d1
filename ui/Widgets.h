// The light widget set of the main window: every component is a real child window with a
// fixed control ID and its component name in the window property "Name" (a global atom),
// so tests and other processes can find, read and drive it.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

namespace ui {

// Component names -------------------------------------------------------------------
void SetComponentName(HWND hwnd, const std::wstring& name);
std::wstring ComponentName(HWND hwnd);
// Searches all descendants of `root` (and `root` itself).
HWND FindComponent(HWND root, const std::wstring& name);
// Frees the atoms of a window tree; called when the form is destroyed.
void ReleaseComponentNames(HWND root);

// Registers the window classes below once per process.
void RegisterWidgetClasses(HINSTANCE instance);

// Child controls notify their parent with WM_COMMAND (control ID, code, hwnd); containers
// pass WM_COMMAND, WM_NOTIFY, WM_DRAWITEM and WM_CTLCOLOR* on to their own parent, so the
// form receives every notification whatever panel a control sits on.
constexpr UINT kClicked = BN_CLICKED;

// A label: text in a font and colour on its parent's background. As a link it has the
// hand cursor, takes focus (Tab), and Enter, Space or a click send kClicked.
// Messages: WM_SETFONT, WM_SETTEXT as usual; kLabelSetColor (wParam COLORREF),
// kLabelSetLink (wParam BOOL), kLabelSetAlign (wParam DT_LEFT/DT_CENTER/DT_RIGHT),
// kLabelSetTransparent (wParam BOOL: paints only its text, so a picture beneath shows).
extern const wchar_t kLabelClass[];
constexpr UINT kLabelSetColor = WM_APP + 1;
constexpr UINT kLabelSetLink = WM_APP + 2;
constexpr UINT kLabelSetAlign = WM_APP + 3;
constexpr UINT kLabelSetTransparent = WM_APP + 4;

// A panel: a plain container with a background colour (kPanelSetColor, wParam COLORREF);
// hiding it hides its children.
extern const wchar_t kPanelClass[];
constexpr UINT kPanelSetColor = WM_APP + 10;

// A picture: shows a bitmap (kPictureSetBitmap, lParam HBITMAP, owned by the caller),
// drawn at its natural size from the top-left corner or stretched (wParam TRUE).
extern const wchar_t kPictureClass[];
constexpr UINT kPictureSetBitmap = WM_APP + 20;

// A flat speed button with a glyph above its caption; one of a group is "down".
// kSpeedSetGlyph (lParam HBITMAP, owned by the caller), kSpeedSetDown (wParam BOOL),
// kSpeedGetDown, kSpeedSetTransparent (wParam BOOL). A click sends kClicked.
extern const wchar_t kSpeedButtonClass[];
constexpr UINT kSpeedSetGlyph = WM_APP + 30;
constexpr UINT kSpeedSetDown = WM_APP + 31;
constexpr UINT kSpeedGetDown = WM_APP + 32;
constexpr UINT kSpeedSetTransparent = WM_APP + 33;

// Creates a named child window.
HWND CreateChild(const wchar_t* cls, const std::wstring& name, const std::wstring& text,
                 DWORD style, int x, int y, int w, int h, HWND parent, int id,
                 DWORD exStyle = 0);

// Sets a status bar panel's text. A clean or a scan's hand-over gives the bar far more
// texts than anyone can read, and every text it takes costs several server calls under
// Wine: the bar keeps only the latest text of each panel and takes it at the next pump.
// Whoever asks the bar for a text, or sets one directly, sees the latest one first.
void SetStatusText(HWND stat, int panel, const std::wstring& text);

// Colour of the first ancestor that has one (panels and the form set theirs).
COLORREF BackgroundOf(HWND hwnd);
// The form publishes its background colour with this property (a COLORREF + 1, so 0
// means none).
extern const wchar_t kBackgroundProp[];

}  // namespace ui
