// The main window's layout, fonts, texts and pictures; sizes are those of the 784 x 538
// client area.
#include <windows.h>
#include <commctrl.h>

#include "app/MainUnit.h"
#include "machine/StartupFont.h"
#include "machine/TarnGetOSInfo.h"
#include "ui/Widgets.h"

namespace app {

namespace {

const COLORREF kHeadlineColor = RGB(0, 96, 0);
const COLORREF kSummaryColor = RGB(0, 51, 0);
// The colours the drawn pictures were made on, so labels blend with them.
const COLORREF kBannerColor = RGB(26, 122, 82);
const COLORREF kStatusColor = RGB(234, 245, 232);
const COLORREF kLinkColor = RGB(0, 0, 255);
const COLORREF kBodyTextColor = RGB(64, 64, 64);

HWND Label(const std::wstring& name, const std::wstring& text, int x, int y, int w, int h,
           HWND parent, int id, COLORREF color = RGB(0, 0, 0), bool link = false,
           bool visible = true) {
  HWND l = ui::CreateChild(ui::kLabelClass, name, text,
                           (visible ? WS_VISIBLE : 0) | (link ? WS_TABSTOP : 0), x, y, w, h,
                           parent, id);
  SendMessageW(l, ui::kLabelSetColor, color, 0);
  SendMessageW(l, ui::kLabelSetLink, link, 0);
  return l;
}
HWND Panel(const std::wstring& name, int x, int y, int w, int h, HWND parent, int id,
           COLORREF color, bool visible = true) {
  HWND p = ui::CreateChild(ui::kPanelClass, name, L"",
                           (visible ? WS_VISIBLE : 0) | WS_CLIPCHILDREN | WS_CLIPSIBLINGS,
                           x, y, w, h, parent, id, WS_EX_CONTROLPARENT);
  SendMessageW(p, ui::kPanelSetColor, color, 0);
  return p;
}
HWND Picture(const std::wstring& name, int x, int y, int w, int h, HWND parent, int id,
             bool visible = true) {
  // Background pictures go beneath their siblings once all exist (SendToBack).
  return ui::CreateChild(ui::kPictureClass, name, L"",
                         (visible ? WS_VISIBLE : 0) | WS_CLIPSIBLINGS, x, y, w, h, parent, id);
}
HWND Button(const std::wstring& name, const std::wstring& text, int x, int y, int w, int h,
            HWND parent, int id, bool visible = true, bool enabled = true) {
  return ui::CreateChild(L"BUTTON", name, text,
                         (visible ? WS_VISIBLE : 0) | WS_TABSTOP | BS_PUSHBUTTON |
                             (enabled ? 0 : WS_DISABLED),
                         x, y, w, h, parent, id);
}
void NameTree(ui::VirtualTree& tree, const std::wstring& name, HWND parent, int id, int x, int y,
              int w, int h, bool visible = true) {
  HWND t = tree.Create(parent, id, x, y, w, h,
                       ui::VirtualTree::kDefaultStyle & ~(visible ? 0 : WS_VISIBLE));
  ui::SetComponentName(t, name);
}
void SetPicture(HWND picture, HBITMAP bitmap) {
  SendMessageW(picture, ui::kPictureSetBitmap, FALSE, reinterpret_cast<LPARAM>(bitmap));
}

}  // namespace

void TFormSorvex::CreateComponents() {
  CreateTopBar();
  const int pageHeight = kClientHeight - 70 - 22;
  // The pages, whose tabs are never shown: the page buttons switch them.
  HWND pages =
      Panel(L"PageControl1", 0, 70, kClientWidth, pageHeight, hwnd_, idPageControl1, kFormColor);
  CreateHomePage(pages, pageHeight);
  CreateAdvancedPage(pages, pageHeight);
  c_.stat1 =
      ui::CreateChild(STATUSCLASSNAMEW, L"stat1", L"", WS_VISIBLE, 0, 0, 0, 0, hwnd_, idStat1);
  int parts[2] = {520, 520 + 250};
  SendMessageW(c_.stat1, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
  // A new child window is placed below its siblings, so the pictures that others are
  // drawn over are sent to the back only now.
  for (HWND h : {c_.image1, c_.image2, c_.image5})
    SetWindowPos(h, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TFormSorvex::CreateTopBar() {
  c_.panel1 = Panel(L"Panel1", 0, 0, kClientWidth, 70, hwnd_, idPanel1, kBannerColor);
  c_.image1 = Picture(L"Image1", 0, 0, kClientWidth, 70, c_.panel1, idImage1);
  c_.btnHomepage = ui::CreateChild(ui::kSpeedButtonClass, L"BtnHomepage", L"", WS_VISIBLE, 380,
                                   3, 100, 66, c_.panel1, idBtnHomepage);
  c_.btnOverview = ui::CreateChild(ui::kSpeedButtonClass, L"BtnOverview", L"", WS_VISIBLE, 486,
                                   3, 100, 66, c_.panel1, idBtnOverview);
  c_.label13 =
      Label(L"Label13", L"", 660, 8, 118, 54, c_.panel1, idLabel13, RGB(255, 255, 255), true);
  // A click area over the banner's "官方网站".
  SendMessageW(c_.label13, ui::kLabelSetTransparent, TRUE, 0);
  SetWindowLongPtrW(c_.label13, GWL_EXSTYLE,
                    GetWindowLongPtrW(c_.label13, GWL_EXSTYLE) | WS_EX_TRANSPARENT);
}

void TFormSorvex::CreateHomePage(HWND pages, int pageHeight) {
  const COLORREF bg = kFormColor;
  HWND tab1 = c_.tabSheet1 =
      Panel(L"TabSheet1", 0, 0, kClientWidth, pageHeight, pages, idTabSheet1, bg);
  HWND panel2 = Panel(L"Panel2", 6, 6, 556, 100, tab1, idPanel2, kStatusColor);
  c_.image2 = Picture(L"Image2", 3, 3, 550, 94, panel2, idImage2);
  c_.image3 = Picture(L"Image3", 18, 26, 48, 48, panel2, idImage3);
  c_.image6 = Picture(L"Image6", 18, 26, 48, 48, panel2, idImage6, false);
  c_.label4 = Label(L"Label4", L"", 82, 12, 460, 24, panel2, idLabel4, kHeadlineColor);
  c_.panel6 = Panel(L"Panel6", 82, 38, 466, 56, panel2, idPanel6, kStatusColor);
  c_.label6 = Label(L"Label6", L"", 0, 1, 466, 18, c_.panel6, idLabel6, kSummaryColor);
  c_.label5 = Label(L"Label5", L"", 0, 19, 466, 18, c_.panel6, idLabel5, kSummaryColor);
  c_.label12 = Label(L"Label12", L"", 0, 37, 466, 18, c_.panel6, idLabel12, kSummaryColor);
  c_.panel7 = Panel(L"Panel7", 82, 38, 466, 56, panel2, idPanel7, kStatusColor, false);
  c_.progressBar1 = ui::CreateChild(PROGRESS_CLASSW, L"ProgressBar1", L"", WS_VISIBLE, 0, 16,
                                    360, 18, c_.panel7, idProgressBar1);
  c_.button1 = Button(L"Button1", L"取消清理", 372, 12, 86, 26, c_.panel7, idButton1);

  HWND panel5 = c_.panel5 = Panel(L"Panel5", 6, 110, 556, pageHeight - 116, tab1, idPanel5, bg);
  c_.label7 = Label(L"Label7", L"Velmora一键清理能做些什么？", 14, 10, 520, 20, panel5, idLabel7,
                    RGB(96, 96, 96));
  c_.label8 = Label(L"Label8", L"", 14, 38, 530, 18, panel5, idLabel8, kBodyTextColor);
  c_.label9 = Label(L"Label9", L"", 14, 56, 530, 18, panel5, idLabel9, kBodyTextColor);
  c_.label11 = Label(L"Label11", L"", 14, 74, 530, 18, panel5, idLabel11, kBodyTextColor);
  c_.image5 = Picture(L"Image5", 148, 130, 260, 84, panel5, idImage5);
  c_.label10 = Label(L"Label10", L"一键清理", 148 + 92, 130 + 18, 144, 48, panel5, idLabel10,
                     kHeadlineColor, true);
  SendMessageW(c_.label10, ui::kLabelSetAlign, DT_CENTER, 0);
  NameTree(vtCleanResult, L"VTCleanResult", panel5, idVTCleanResult, 14, 100, 528, 170, false);
  c_.lblReClean = Label(L"lblReClean", L"重新清理", 462, 282, 80, 20, panel5, idLblReClean,
                        RGB(0, 128, 0), true, false);
  c_.chkAutoShutdown = ui::CreateChild(L"BUTTON", L"chkAutoShutdown", L"",
                                       WS_TABSTOP | BS_AUTOCHECKBOX, 14, 280, 240, 22, panel5,
                                       idChkAutoShutdown);
  CreateNotesColumn(tab1, pageHeight);
}

void TFormSorvex::CreateNotesColumn(HWND tab1, int pageHeight) {
  const COLORREF bg = kFormColor;
  HWND panel4 = Panel(L"Panel4", 566, 6, 212, pageHeight - 12, tab1, idPanel4, bg);
  NameTree(vtLog, L"VTLog", panel4, idVTLog, 0, 0, 212, 214);
  const int notesHeight = pageHeight - 232;
  HWND panel3 = c_.panel3 = Panel(L"Panel3", 0, 220, 212, notesHeight, panel4, idPanel3, bg);
  c_.label16 = Label(L"Label16", L"", 2, 2, 200, 18, panel3, idLabel16, RGB(0, 0, 128));
  c_.noteMemo = ui::CreateChild(
      L"EDIT", L"NoteMemo", L"",
      WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 0, 22, 212,
      notesHeight - 46, panel3, idNoteMemo, WS_EX_CLIENTEDGE);
  c_.label17 =
      Label(L"Label17", L"", 2, notesHeight - 20, 100, 18, panel3, idLabel17, kLinkColor, true);
}

void TFormSorvex::CreateAdvancedPage(HWND pages, int pageHeight) {
  HWND tab2 = c_.tabSheet2 = Panel(L"TabSheet2", 0, 0, kClientWidth, pageHeight, pages,
                                   idTabSheet2, kFormColor, false);
  // Wide enough that the advice column beside the fixed 249-pixel captions can be read.
  NameTree(vtTraceOption, L"VTTraceOption", tab2, idVTTraceOption, 8, 8, 318, pageHeight - 52);
  NameTree(vtTraceResult, L"VTTraceResult", tab2, idVTTraceResult, 332, 8, 444, pageHeight - 52);
  const int linkTop = pageHeight - 34;
  c_.label1 = Label(L"Label1", L"全选", 10, linkTop + 6, 30, 18, tab2, idLabel1, kLinkColor, true);
  c_.label2 =
      Label(L"Label2", L"全不选", 48, linkTop + 6, 44, 18, tab2, idLabel2, kLinkColor, true);
  c_.label3 = Label(L"Label3", L"推荐", 100, linkTop + 6, 30, 18, tab2, idLabel3, kLinkColor, true);
  c_.buttonCleanOneKey = Button(L"ButtonCleanOneKey", L"一键清理", 376, linkTop, 90, 28, tab2,
                                idButtonCleanOneKey, false);
  c_.buttonScanTrace =
      Button(L"ButtonScanTrace", L"扫描", 486, linkTop, 90, 28, tab2, idButtonScanTrace);
  c_.buttonDelAllTrace = Button(L"ButtonDelAllTrace", L"清理", 586, linkTop, 90, 28, tab2,
                                idButtonDelAllTrace, true, false);
  c_.button3 = Button(L"Button3", L"退出", 686, linkTop, 90, 28, tab2, idButton3);
}

HFONT TFormSorvex::MakeFont(int extraPoints, bool bold) {
  LOGFONTW lf = baseFont_;
  if (extraPoints) {
    // Sizes are in points: -12 pixels is 9 points on a 96-dpi screen.
    int dpi;
    {
      sys::WindowDc screen(nullptr);
      dpi = GetDeviceCaps(screen.get(), LOGPIXELSY);
    }
    int points = MulDiv(-lf.lfHeight, 72, dpi) + extraPoints;
    lf.lfHeight = -MulDiv(points, dpi, 72);
  }
  if (bold) lf.lfWeight = FW_BOLD;
  fonts_.emplace_back(CreateFontIndirectW(&lf));
  return fonts_.back().get();
}

void TFormSorvex::SetFont(HWND hwnd, HFONT font) {
  if (hwnd) SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

HBITMAP TFormSorvex::Bitmap(const wchar_t* name) {
  HBITMAP b = static_cast<HBITMAP>(
      LoadImageW(GetModuleHandleW(nullptr), name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (!b) return nullptr;
  bitmaps_.emplace_back(b);
  return b;
}

void TFormSorvex::ApplyFontsAndTexts() {
  int major = os_ ? os_->MajorVersion : 0;
  baseFont_ = {};
  machine::ApplyUIFont(baseFont_, major);
  HFONT formFont = MakeFont(0, false);
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(formFont), FALSE);
  for (HWND h : {c_.label1, c_.label2, c_.label3, c_.label13, c_.label6, c_.label5, c_.label12,
                 c_.label8, c_.label9, c_.label11, c_.noteMemo, c_.label16, c_.label17,
                 c_.chkAutoShutdown, c_.lblReClean, c_.button1, c_.buttonScanTrace,
                 c_.buttonDelAllTrace, c_.buttonCleanOneKey, c_.button3, c_.stat1,
                 vtTraceOption.Handle(), vtTraceResult.Handle(), vtCleanResult.Handle(),
                 vtLog.Handle()})
    SetFont(h, formFont);
  SendMessageW(c_.btnHomepage, ui::kSpeedSetGlyph, 0,
               reinterpret_cast<LPARAM>(Bitmap(L"BtnClean")));
  SetWindowTextW(c_.btnHomepage, L"一键清理");
  SendMessageW(c_.btnOverview, ui::kSpeedSetGlyph, 0,
               reinterpret_cast<LPARAM>(Bitmap(L"BtnAdvanceClean")));
  SetWindowTextW(c_.btnOverview, L"高级清理");
  pageFont_ = formFont;
  pageBoldFont_ = MakeFont(0, true);
  SetFont(c_.btnHomepage, formFont);
  SetFont(c_.btnOverview, formFont);
  SetFont(c_.label4, MakeFont(3, true));
  ApplyPictures();
  SetFont(c_.label7, MakeFont(0, true));
  SetFont(c_.label10, MakeFont(10, true));
  SetWindowTextW(c_.label8,
                 L"一键清理Sandrel版能有效的清除系统垃圾文件，与电脑使用中残留的各种无用信息，安全的清");
  SetWindowTextW(c_.label9, L"理出更多的硬盘空间，从而保护您的上网隐私，让电脑运行更流畅，更稳定。");
  SetWindowTextW(c_.label11, L"");
  SetWindowTextW(c_.chkAutoShutdown, L"清理完成后自动关机");
}

void TFormSorvex::ApplyPictures() {
  SetPicture(c_.image1, Bitmap(L"Banner"));
  SetPicture(c_.image2, Bitmap(L"HomepagePanelPure"));
  SetPicture(c_.image5, Bitmap(L"OneKeyPicture"));
  SetPicture(c_.image6, Bitmap(L"BusyPicture"));
}

}  // namespace app
