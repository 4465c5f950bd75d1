#include "app/MainUnit.h"

#include <shlobj.h>

#include <stdexcept>

#include "app/Entry.h"
#include "app/Statistics.h"
#include "catalogue/TraceOption.h"
#include "sys/FileUtils.h"
#include "sys/ProcessList.h"
#include "sys/ProfileIni.h"
#include "sys/TrackLibrary.h"
#include "machine/TarnGetOSInfo.h"
#include "sys/Text.h"
#include "sys/Thread.h"
#include "ui/Widgets.h"
#include "machine/StartupFont.h"

namespace app {

const wchar_t kFormCaption[] = L"一键清理Sandrel版 V2.0 http://velmora.example/";
static const wchar_t kFormClass[] = L"TFormSorvex";
static const int kClientWidth = 784, kClientHeight = 538;
static const COLORREF kHeadlineColor = RGB(0, 96, 0);
static const COLORREF kSummaryColor = RGB(0, 51, 0);
// The colours the drawn pictures were made on, so labels blend with them.
static const COLORREF kBannerColor = RGB(26, 122, 82);
static const COLORREF kStatusColor = RGB(234, 245, 232);

TFormSorvex::TFormSorvex(machine::TTarnOSInfo* os) : settingsFile(SettingsFilePath()), os_(os) {
  messageBox = [this](const std::wstring& text, UINT type) {
    return MessageBoxW(hwnd_, text.c_str(), kMessageCaption, type);
  };
  isProcessRunning = [](const std::wstring& exe) { return sys::IsProcessRunning(exe); };
  emptyRecycleBin = [this] { clean::EmptyRecycleBin(hwnd_); };
  shutdownComputer = [this] { machine::ShutdownComputer(false, os_ ? os_->MajorVersion : 0); };
}

TFormSorvex::~TFormSorvex() {
  if (hwnd_ && !destroyed_) DestroyWindow(hwnd_);
}

HWND TFormSorvex::Create(HWND owner) {
  HINSTANCE inst = GetModuleHandleW(nullptr);
  ui::RegisterWidgetClasses(inst);
  ui::VirtualTree::Register();
  WNDCLASSW wc = {};
  if (!GetClassInfoW(inst, kFormClass, &wc)) {
    wc.lpfnWndProc = WndProc;
    wc.hInstance = inst;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = LoadIconW(inst, L"MAINICON");
    wc.lpszClassName = kFormClass;
    RegisterClassW(&wc);
  }
  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  RECT rc = {0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&rc, style, FALSE, 0);
  int w = rc.right - rc.left, h = rc.bottom - rc.top;
  RECT work;
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  int x = work.left + (work.right - work.left - w) / 2;
  int y = work.top + (work.bottom - work.top - h) / 2;
  hwnd_ = CreateWindowExW(0, kFormClass, L"", style, x, y, w, h, owner, nullptr, inst, this);
  return hwnd_;
}

void TFormSorvex::Show(int cmdShow) {
  FormShow();
  ShowWindow(hwnd_, cmdShow);
  UpdateWindow(hwnd_);
}

HWND TFormSorvex::Component(const std::wstring& name) const {
  return hwnd_ ? ui::FindComponent(hwnd_, name) : nullptr;
}

LRESULT CALLBACK TFormSorvex::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  TFormSorvex* self;
  if (msg == WM_NCCREATE) {
    self = static_cast<TFormSorvex*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<TFormSorvex*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  return self->Dispatch(msg, wp, lp);
}

// An exception must not cross the window procedure. On Vista and later the program ends
// with the runtime's report (the loop rethrows); before that it is shown and the program
// goes on.
void TFormSorvex::RunHandler(const std::function<void()>& handler) {
  struct Depth {
    TFormSorvex* f;
    explicit Depth(TFormSorvex* form) : f(form) { ++f->handlerDepth_; }
    ~Depth() {
      if (--f->handlerDepth_ == 0 && f->closePending_ && !f->destroyed_) {
        f->closePending_ = false;
        PostMessageW(f->hwnd_, WM_CLOSE, 0, 0);
      }
    }
  } depth(this);
  try {
    handler();
  } catch (...) {
    if (os_ && os_->MajorVersion >= 6) {
      fatal_ = std::current_exception();
      PostQuitMessage(1);
      return;
    }
    std::wstring text = L"Unknown error";
    try {
      throw;
    } catch (const std::exception& e) {
      text = sys::FromAnsi(e.what());
    } catch (...) {
    }
    MessageBoxW(hwnd_, text.c_str(), kMessageCaption, MB_OK | MB_ICONERROR);
  }
}

void TFormSorvex::RunHandler(void (TFormSorvex::*handler)()) {
  RunHandler([this, handler] { (this->*handler)(); });
}

LRESULT TFormSorvex::Dispatch(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CREATE:
      SetPropW(hwnd_, ui::kBackgroundProp,
               reinterpret_cast<HANDLE>(static_cast<UINT_PTR>(kFormColor) + 1));
      RunHandler(&TFormSorvex::FormCreate);
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wp) != WA_INACTIVE) RunHandler(&TFormSorvex::FormActivate);
      break;
    case WM_ERASEBKGND: {
      RECT rc;
      GetClientRect(hwnd_, &rc);
      sys::ScopedBrush b(CreateSolidBrush(kFormColor));
      FillRect(reinterpret_cast<HDC>(wp), &rc, b.get());
      return 1;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      // Check boxes and the like take the colour of what they stand on.
      HDC dc = reinterpret_cast<HDC>(wp);
      COLORREF c = ui::BackgroundOf(reinterpret_cast<HWND>(lp));
      SetBkColor(dc, c);
      SetDCBrushColor(dc, c);
      return reinterpret_cast<LRESULT>(GetStockObject(DC_BRUSH));
    }
    case WM_COMMAND:
      OnCommand(LOWORD(wp), HIWORD(wp));
      return 0;
    case WM_CLOSE:
      if (handlerDepth_ > 0) {
        closePending_ = true;
        CloseWhileBusy();
        return 0;
      }
      // A finder that outlives its scan is stopped and waited for before the window goes.
      if (dispatcher_ && dispatcher_->Busy()) RunHandler(&TFormSorvex::CloseWhileBusy);
      RunHandler(&TFormSorvex::FormClose);
      DestroyWindow(hwnd_);
      return 0;
    case WM_DESTROY:
      RunHandler(&TFormSorvex::FormDestroy);
      ui::ReleaseComponentNames(hwnd_);
      PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      destroyed_ = true;
      SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
      break;
  }
  return DefWindowProcW(hwnd_, msg, wp, lp);
}

void TFormSorvex::OnCommand(int id, int code) {
  if (id == idNoteMemo && code == EN_SETFOCUS) return RunHandler(&TFormSorvex::NoteMemoEnter);
  if (code != BN_CLICKED) return;
  switch (id) {
    case idBtnHomepage: RunHandler(&TFormSorvex::BtnHomepageClick); break;
    case idBtnOverview: RunHandler(&TFormSorvex::BtnOverviewClick); break;
    case idButton3: RunHandler(&TFormSorvex::Button3Click); break;
    case idLabel10:
    case idLblReClean: RunHandler(&TFormSorvex::Label10Click); break;
    case idButton1: RunHandler(&TFormSorvex::Button1Click); break;
    case idButtonScanTrace: RunHandler(&TFormSorvex::ButtonScanTraceClick); break;
    case idButtonDelAllTrace: RunHandler(&TFormSorvex::ButtonDelAllTraceClick); break;
    case idLabel1: RunHandler(&TFormSorvex::Label1Click); break;
    case idLabel2: RunHandler(&TFormSorvex::Label2Click); break;
    case idLabel3: RunHandler(&TFormSorvex::Label3Click); break;
    case idLabel13: RunHandler(&TFormSorvex::Label13Click); break;
    case idLabel17: RunHandler(&TFormSorvex::Label17Click); break;
  }
}

HFONT TFormSorvex::MakeFont(int extraPoints, bool bold) {
  LOGFONTW lf = baseFont_;
  if (extraPoints) {
    // Sizes are in points: -12 pixels is 9 points on a 96-dpi screen.
    int dpi = GetDeviceCaps(sys::WindowDc(nullptr).get(), LOGPIXELSY);
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
  if (b) bitmaps_.emplace_back(b);
  return b;
}

namespace {
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
  HWND p = ui::CreateChild(ui::kPictureClass, name, L"",
                           (visible ? WS_VISIBLE : 0) | WS_CLIPSIBLINGS, x, y, w, h, parent, id);
  return p;
}
HWND Button(const std::wstring& name, const std::wstring& text, int x, int y, int w, int h,
            HWND parent, int id, bool visible = true, bool enabled = true) {
  HWND b = ui::CreateChild(L"BUTTON", name, text,
                           (visible ? WS_VISIBLE : 0) | WS_TABSTOP | BS_PUSHBUTTON |
                               (enabled ? 0 : WS_DISABLED),
                           x, y, w, h, parent, id);
  return b;
}
void NameTree(ui::VirtualTree& tree, const std::wstring& name, HWND parent, int id, int x, int y,
              int w, int h, bool visible = true) {
  HWND t = tree.Create(parent, id, x, y, w, h,
                       ui::VirtualTree::kDefaultStyle & ~(visible ? 0 : WS_VISIBLE));
  ui::SetComponentName(t, name);
}
}  // namespace

// The layout of both pages; sizes are those of the 784 x 538 client area.
void TFormSorvex::CreateComponents() {
  HWND f = hwnd_;
  const COLORREF bg = kFormColor;
  // Top bar.
  HWND panel1 = Panel(L"Panel1", 0, 0, kClientWidth, 70, f, idPanel1, kBannerColor);
  Picture(L"Image1", 0, 0, kClientWidth, 70, panel1, idImage1);
  ui::CreateChild(ui::kSpeedButtonClass, L"BtnHomepage", L"", WS_VISIBLE, 380, 3, 100, 66,
                  panel1, idBtnHomepage);
  ui::CreateChild(ui::kSpeedButtonClass, L"BtnOverview", L"", WS_VISIBLE, 486, 3, 100, 66,
                  panel1, idBtnOverview);
  HWND label13 =
      Label(L"Label13", L"", 660, 8, 118, 54, panel1, idLabel13, RGB(255, 255, 255), true);
  // A click area over the banner's "官方网站".
  SendMessageW(label13, ui::kLabelSetTransparent, TRUE, 0);
  SetWindowLongPtrW(label13, GWL_EXSTYLE, GetWindowLongPtrW(label13, GWL_EXSTYLE) | WS_EX_TRANSPARENT);

  const int pageTop = 70, pageHeight = kClientHeight - 70 - 22;
  // The pages, whose tabs are never shown: the page buttons switch them.
  HWND pages =
      Panel(L"PageControl1", 0, pageTop, kClientWidth, pageHeight, f, idPageControl1, bg);
  // Home page.
  HWND tab1 = Panel(L"TabSheet1", 0, 0, kClientWidth, pageHeight, pages, idTabSheet1, bg);
  HWND panel2 = Panel(L"Panel2", 6, 6, 556, 100, tab1, idPanel2, kStatusColor);
  Picture(L"Image2", 3, 3, 550, 94, panel2, idImage2);
  Picture(L"Image3", 18, 26, 48, 48, panel2, idImage3);
  Picture(L"Image6", 18, 26, 48, 48, panel2, idImage6, false);
  Label(L"Label4", L"", 82, 12, 460, 24, panel2, idLabel4, kHeadlineColor);
  HWND panel6 = Panel(L"Panel6", 82, 38, 466, 56, panel2, idPanel6, kStatusColor);
  Label(L"Label6", L"", 0, 1, 466, 18, panel6, idLabel6, kSummaryColor);
  Label(L"Label5", L"", 0, 19, 466, 18, panel6, idLabel5, kSummaryColor);
  Label(L"Label12", L"", 0, 37, 466, 18, panel6, idLabel12, kSummaryColor);
  HWND panel7 = Panel(L"Panel7", 82, 38, 466, 56, panel2, idPanel7, kStatusColor, false);
  ui::CreateChild(PROGRESS_CLASSW, L"ProgressBar1", L"", WS_VISIBLE, 0, 16, 360, 18, panel7,
                  idProgressBar1);
  Button(L"Button1", L"取消清理", 372, 12, 86, 26, panel7, idButton1);

  HWND panel5 = Panel(L"Panel5", 6, 110, 556, pageHeight - 116, tab1, idPanel5, bg);
  Label(L"Label7", L"Velmora一键清理能做些什么？", 14, 10, 520, 20, panel5, idLabel7,
        RGB(96, 96, 96));
  Label(L"Label8", L"", 14, 38, 530, 18, panel5, idLabel8, RGB(64, 64, 64));
  Label(L"Label9", L"", 14, 56, 530, 18, panel5, idLabel9, RGB(64, 64, 64));
  Label(L"Label11", L"", 14, 74, 530, 18, panel5, idLabel11, RGB(64, 64, 64));
  Picture(L"Image5", 148, 130, 260, 84, panel5, idImage5);
  HWND label10 = Label(L"Label10", L"一键清理", 148 + 92, 130 + 18, 144, 48, panel5,
                       idLabel10, kHeadlineColor, true);
  SendMessageW(label10, ui::kLabelSetAlign, DT_CENTER, 0);
  NameTree(vtCleanResult, L"VTCleanResult", panel5, idVTCleanResult, 14, 100, 528, 170, false);
  Label(L"lblReClean", L"重新清理", 462, 282, 80, 20, panel5, idLblReClean, RGB(0, 128, 0), true,
        false);
  ui::CreateChild(L"BUTTON", L"chkAutoShutdown", L"", WS_TABSTOP | BS_AUTOCHECKBOX, 14, 280,
                  240, 22, panel5, idChkAutoShutdown);

  HWND panel4 = Panel(L"Panel4", 566, 6, 212, pageHeight - 12, tab1, idPanel4, bg);
  NameTree(vtLog, L"VTLog", panel4, idVTLog, 0, 0, 212, 214);
  HWND panel3 = Panel(L"Panel3", 0, 220, 212, pageHeight - 232, panel4, idPanel3, bg);
  Label(L"Label16", L"", 2, 2, 200, 18, panel3, idLabel16, RGB(0, 0, 128));
  ui::CreateChild(L"EDIT", L"NoteMemo", L"",
                  WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 0, 22,
                  212, pageHeight - 232 - 46, panel3, idNoteMemo, WS_EX_CLIENTEDGE);
  Label(L"Label17", L"", 2, pageHeight - 232 - 20, 100, 18, panel3, idLabel17, RGB(0, 0, 255),
        true);

  // Advanced page.
  HWND tab2 = Panel(L"TabSheet2", 0, 0, kClientWidth, pageHeight, pages, idTabSheet2, bg, false);
  // Wide enough that the advice column beside the fixed 249-pixel captions can be read.
  NameTree(vtTraceOption, L"VTTraceOption", tab2, idVTTraceOption, 8, 8, 318, pageHeight - 52);
  NameTree(vtTraceResult, L"VTTraceResult", tab2, idVTTraceResult, 332, 8, 444, pageHeight - 52);
  int linkTop = pageHeight - 34;
  Label(L"Label1", L"全选", 10, linkTop + 6, 30, 18, tab2, idLabel1, RGB(0, 0, 255), true);
  Label(L"Label2", L"全不选", 48, linkTop + 6, 44, 18, tab2, idLabel2, RGB(0, 0, 255), true);
  Label(L"Label3", L"推荐", 100, linkTop + 6, 30, 18, tab2, idLabel3, RGB(0, 0, 255), true);
  Button(L"ButtonCleanOneKey", L"一键清理", 376, linkTop, 90, 28, tab2, idButtonCleanOneKey,
         false);
  Button(L"ButtonScanTrace", L"扫描", 486, linkTop, 90, 28, tab2, idButtonScanTrace);
  Button(L"ButtonDelAllTrace", L"清理", 586, linkTop, 90, 28, tab2, idButtonDelAllTrace, true,
         false);
  Button(L"Button3", L"退出", 686, linkTop, 90, 28, tab2, idButton3);

  HWND stat = ui::CreateChild(STATUSCLASSNAMEW, L"stat1", L"", WS_VISIBLE, 0, 0, 0, 0, f, idStat1);
  int parts[2] = {520, 520 + 250};
  SendMessageW(stat, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));

  // A new child window is placed below its siblings, so the pictures that others are
  // drawn over are sent to the back only now.
  for (const wchar_t* n : {L"Image1", L"Image2", L"Image5"})
    SetWindowPos(Component(n), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TFormSorvex::FormCreate() {
  SetWindowTextW(hwnd_, kFormCaption);
  CreateComponents();
  AllocateFolderBuffers();
  ApplyFontsAndTexts();
  // The hand cursor of the clickable labels (they set it themselves).
  handCursor_ = LoadCursorW(nullptr, IDC_HAND);
  // Option and result icons.
  imageList1_.reset(ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 56, 8));
  if (HBITMAP strip = Bitmap(L"OptionIcons"))
    ImageList_AddMasked(imageList1_.get(), strip, RGB(255, 0, 255));
  vtCleanResult.SetImages(imageList1_.get());
  SetupCleanResultTree();
  SetupOptionTree();
  SetupResultTree();
  SetupLogTree();
  scanState.ieCleanMode = -1;
  scanState.tempFilesRequested = false;
  firstActivated = false;
  ReadSpecialFolders();
  SetupDispatcher();
  scanState.oneKey = false;
  ShowCleanVerdict();
  BtnHomepageClick();
}

void TFormSorvex::AllocateFolderBuffers() {
  try {
    windowsDir_.reset(new wchar_t[261]());
    systemDir_.reset(new wchar_t[261]());
    tempDir_.reset(new wchar_t[261]());
    GetWindowsDirectoryW(windowsDir_.get(), 261);
    GetSystemDirectoryW(systemDir_.get(), 261);
    GetTempPathW(261, tempDir_.get());
    machine::Folders& folders = machine::AppFolders();
    folders.windows = windowsDir_.get();
    folders.system = systemDir_.get();
    folders.temp = tempDir_.get();
  } catch (...) {
    MessageBoxW(hwnd_, L"错误！找不到操作系统路径或临时文件存放的目录。", kMessageCaption,
                MB_OK | MB_ICONERROR);
    windowsDir_.reset();
    systemDir_.reset();
    tempDir_.reset();
    foldersReleased = true;  // FormDestroy must not release them again
    PostQuitMessage(0);
  }
}

void TFormSorvex::ApplyFontsAndTexts() {
  int major = os_ ? os_->MajorVersion : 0;
  baseFont_ = {};
  machine::ApplyUIFont(baseFont_, major);
  HFONT formFont = MakeFont(0, false);
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(formFont), FALSE);
  for (const wchar_t* n : {L"Label1", L"Label2", L"Label3", L"Label13", L"Label6", L"Label5",
                           L"Label12", L"Label8", L"Label9", L"Label11", L"NoteMemo",
                           L"Label16", L"Label17", L"chkAutoShutdown", L"lblReClean",
                           L"Button1", L"ButtonScanTrace", L"ButtonDelAllTrace",
                           L"ButtonCleanOneKey", L"Button3", L"stat1", L"VTTraceOption",
                           L"VTTraceResult", L"VTCleanResult", L"VTLog"})
    SetFont(Component(n), formFont);
  HWND home = Component(L"BtnHomepage"), overview = Component(L"BtnOverview");
  SendMessageW(home, ui::kSpeedSetGlyph, 0, reinterpret_cast<LPARAM>(Bitmap(L"BtnClean")));
  SetWindowTextW(home, L"一键清理");
  SendMessageW(overview, ui::kSpeedSetGlyph, 0,
               reinterpret_cast<LPARAM>(Bitmap(L"BtnAdvanceClean")));
  SetWindowTextW(overview, L"高级清理");
  pageFont_ = formFont;
  pageBoldFont_ = MakeFont(0, true);
  SetFont(home, formFont);
  SetFont(overview, formFont);
  SetFont(Component(L"Label4"), MakeFont(3, true));
  SendMessageW(Component(L"Image1"), ui::kPictureSetBitmap, FALSE,
               reinterpret_cast<LPARAM>(Bitmap(L"Banner")));
  SendMessageW(Component(L"Image2"), ui::kPictureSetBitmap, FALSE,
               reinterpret_cast<LPARAM>(Bitmap(L"HomepagePanelPure")));
  SendMessageW(Component(L"Image5"), ui::kPictureSetBitmap, FALSE,
               reinterpret_cast<LPARAM>(Bitmap(L"OneKeyPicture")));
  SendMessageW(Component(L"Image6"), ui::kPictureSetBitmap, FALSE,
               reinterpret_cast<LPARAM>(Bitmap(L"BusyPicture")));
  SetFont(Component(L"Label7"), MakeFont(0, true));
  SetFont(Component(L"Label10"), MakeFont(10, true));
  SetWindowTextW(Component(L"Label8"),
                 L"一键清理Sandrel版能有效的清除系统垃圾文件，与电脑使用中残留的各种无用信息，安全的清");
  SetWindowTextW(Component(L"Label9"),
                 L"理出更多的硬盘空间，从而保护您的上网隐私，让电脑运行更流畅，更稳定。");
  SetWindowTextW(Component(L"Label11"), L"");
  SetWindowTextW(Component(L"chkAutoShutdown"), L"清理完成后自动关机");
}

void TFormSorvex::ReadSpecialFolders() {
  try {
    HWND desktop = GetDesktopWindow();
    machine::Folders& folders = machine::AppFolders();
    for (int csidl : {CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILES_COMMON, CSIDL_PROFILE}) {
      std::wstring p = machine::GetSpecialFolder(desktop, csidl);
      if (!p.empty()) folders.special[csidl] = p;
    }
    machine::Folders all = machine::Folders::FromSystem(desktop);
    for (const auto& kv : all.special) folders.special.insert(kv);
  } catch (...) {
  }
}

// The summary lines, and the verdict picture and line of the home page.
void TFormSorvex::ShowCleanVerdict() {
  bool recent = FillCleanSummary(false);
  SendMessageW(Component(L"Image3"), ui::kPictureSetBitmap, FALSE,
               reinterpret_cast<LPARAM>(Bitmap(recent ? L"ImgRight" : L"ImgError")));
  SetWindowTextW(Component(L"Label4"), recent ? L"您的电脑状况良好，无需进行系统清理"
                                              : L"您的电脑中存在很多垃圾文件，请立即进行系统清理");
}

// VTTraceOption: caption with its icon in column 0 (249, fixed), advice centred in 1.
void TFormSorvex::SetupOptionTree() {
  vtTraceOption.SetImages(imageList1_.get());
  vtTraceOption.SetColumns({{L"", 249, DT_LEFT, true}, {L"", 10, DT_CENTER, false}});
  vtTraceOption.SetAutoSizeColumn(1);
  vtTraceOption.OnGetText = [](model::TreeNode* node, int column) -> std::wstring {
    const catalogue::TraceOption* o = node->DataAs<catalogue::TraceOption>();
    if (!o) return {};
    return column == 0 ? o->Caption : column == 1 ? o->Advice : std::wstring();
  };
  vtTraceOption.OnGetImageIndex = [](model::TreeNode* node, int column) {
    const catalogue::TraceOption* o = node->DataAs<catalogue::TraceOption>();
    return o && column == 0 ? o->ImageIndex : -1;
  };
  vtTraceOption.OnMouseDown = [this](ui::MouseButton, const ui::TreeHit& hit) {
    VTTraceOptionMouseDown(hit);
  };
  confirm = [this](const std::wstring& text) {
    return MessageBoxW(hwnd_, text.c_str(), kMessageCaption, MB_OKCANCEL | MB_ICONQUESTION) ==
           IDOK;
  };
}

void TFormSorvex::VTTraceOptionMouseDown(const ui::TreeHit& hit) {
  if (!hit.node || !hit.node->Parent()) return;
  if (hit.pt.x <= vtTraceOption.ColumnWidth(0)) return;
  const catalogue::TraceOption* o = hit.node->DataAs<catalogue::TraceOption>();
  if (!o || o->Advice != catalogue::kClickToClear) return;
  bool ie7 = os_ && os_->IsIE7OrLater();
  if (o->Id == catalogue::OptionId::IEFormAutoComplete) {
    if (!confirm(L"说明：将要清除IE浏览器自动完成历史记录中的表单，确定吗？")) return;
    if (ie7) sys::ClearTracksForVista(hwnd_, 3);
    else sys::ClearAutoCompleteOldSystem(1);
  } else if (o->Id == catalogue::OptionId::IEPasswordAutoComplete) {
    if (!confirm(L"说明：Pellucid将要清除自动完成历史记录中的密码，确定吗？")) return;
    if (ie7) sys::ClearTracksForVista(hwnd_, 4);
    else sys::ClearAutoCompleteOldSystem(2);
  }
}

void TFormSorvex::Label1Click() {
  catalogue::SetAllOptions(vtTraceOption.Model(), true);
  InvalidateRect(vtTraceOption.Handle(), nullptr, TRUE);
}

void TFormSorvex::Label2Click() {
  catalogue::SetAllOptions(vtTraceOption.Model(), false);
  InvalidateRect(vtTraceOption.Handle(), nullptr, TRUE);
}

void TFormSorvex::Label3Click() {
  if (os_) catalogue::BuildOptionTree(vtTraceOption.Model(), *os_, nullptr);
}

// The status bar paints itself at once for every text it gets, and a scan's hand-over gives
// it several: it is painted at the next pump instead, once.
static void SetStatusText(HWND stat, int panel, const std::wstring& text) {
  bool shown = (GetWindowLongPtrW(stat, GWL_STYLE) & WS_VISIBLE) != 0;
  if (shown) SendMessageW(stat, WM_SETREDRAW, FALSE, 0);
  SendMessageW(stat, SB_SETTEXTW, panel, reinterpret_cast<LPARAM>(text.c_str()));
  if (!shown) return;
  SendMessageW(stat, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(stat, nullptr, FALSE);
}

// VTTraceResult: "项目" and "值", the icon of an item in column 0, of a detail row in 1.
void TFormSorvex::SetupResultTree() {
  results.Images().Reset(imageList1_.get());
  vtTraceResult.SetModel(&results.Tree());
  vtTraceResult.SetColumns({{L"项目", 186, DT_LEFT, false}, {L"值", 298, DT_LEFT, false}});
  vtTraceResult.SetHeaderVisible(true);
  vtTraceResult.SetFullRowSelect(true);
  vtTraceResult.SetImages(results.Images().Handle());
  vtTraceResult.OnGetText = [](model::TreeNode* node, int column) -> std::wstring {
    const catalogue::ResultItem* r = node->DataAs<catalogue::ResultItem>();
    if (!r) return {};
    return column == 0 ? r->Text : column == 1 ? r->Location : std::wstring();
  };
  vtTraceResult.OnGetImageIndex = [](model::TreeNode* node, int column) {
    const catalogue::ResultItem* r = node->DataAs<catalogue::ResultItem>();
    int iconColumn = node->Parent() ? 1 : 0;
    return r && column == iconColumn ? r->ImageIndex : -1;
  };
  HWND stat = Component(L"stat1");
  results.OnCountText = [stat](const std::wstring& text) { SetStatusText(stat, 1, text); };
}

bool TFormSorvex::FillCleanSummary(bool thisTime) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  CleanSummary summary = ShowCleanSummary(settingsFile, thisTime, now);
  SetWindowTextW(Component(L"Label6"), summary.label6.c_str());
  SetWindowTextW(Component(L"Label5"), summary.label5.c_str());
  SetWindowTextW(Component(L"Label12"), summary.label12.c_str());
  return summary.recentlyCleaned;
}

// Gives the memory of start-up and of a scan back to the system (NT family only).
static void TrimWorkingSet() {
  OSVERSIONINFOW vi = {};
  vi.dwOSVersionInfoSize = sizeof vi;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  bool nt = GetVersionExW(&vi) && vi.dwPlatformId == VER_PLATFORM_WIN32_NT;
#pragma GCC diagnostic pop
  if (nt) SetProcessWorkingSetSize(GetCurrentProcess(), SIZE_T(-1), SIZE_T(-1));
}

void TFormSorvex::FormShow() {
  if (vtTraceOption.Model().NodeCount() == 0 && os_) {
    sys::ProfileIni saved(settingsFile);
    catalogue::BuildOptionTree(vtTraceOption.Model(), *os_, &saved);
  }
  LoadNotesFeed();
  TrimWorkingSet();
}

void TFormSorvex::FormActivate() {
  if (!firstActivated) {
    RECT rc;
    if (GetWindowRect(hwnd_, &rc))
      SetWindowPos(hwnd_, nullptr, rc.left, rc.top - 15, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  firstActivated = true;
}

void TFormSorvex::FormClose() {
  sys::ProfileIni ini(settingsFile);
  catalogue::SaveOptionStates(vtTraceOption.Model(), ini, scanState.ieCleanMode,
                              [this](const sys::ProfileWriteError& e) { SettingsNotWritten(e); });
}

void TFormSorvex::SettingsNotWritten(const sys::ProfileWriteError& error) {
  std::wstring text = SettingsWriteFailureText(error);
  if (scanState.oneKey && executor_ && executor_->Running()) {
    if (settingsFailure_.empty()) settingsFailure_ = text;
    return;
  }
  messageBox(text, MB_OK | MB_ICONERROR);
}

void TFormSorvex::FormDestroy() {
  // Both read the system facts; a finder still running is ended first.
  executor_.reset();
  dispatcher_.reset();
  os_.reset();
  if (!foldersReleased) {
    windowsDir_.reset();
    systemDir_.reset();
    tempDir_.reset();
    foldersReleased = true;
  }
}

void TFormSorvex::ShowPage(int page) {
  activePage = page;
  ShowWindow(Component(L"TabSheet1"), page == 0 ? SW_SHOW : SW_HIDE);
  ShowWindow(Component(L"TabSheet2"), page == 1 ? SW_SHOW : SW_HIDE);
}

// The pressed page button is bold; the other loses its bold.
void TFormSorvex::PageButtonClick(const wchar_t* pressed, const wchar_t* other, int page) {
  SetFont(Component(pressed), pageBoldFont_);
  SetFont(Component(other), pageFont_);
  SelectPageButton(Component(pressed));
  if (!destroyed_) ShowPage(page);
}

void TFormSorvex::BtnHomepageClick() { PageButtonClick(L"BtnHomepage", L"BtnOverview", 0); }

void TFormSorvex::BtnOverviewClick() { PageButtonClick(L"BtnOverview", L"BtnHomepage", 1); }

void TFormSorvex::SelectPageButton(HWND button) {
  for (const wchar_t* n : {L"BtnHomepage", L"BtnOverview"}) {
    HWND b = Component(n);
    SendMessageW(b, ui::kSpeedSetTransparent, TRUE, 0);
    SendMessageW(b, ui::kSpeedSetDown, FALSE, 0);
  }
  sys::ProcessMessages();
  if (button && !destroyed_) {
    SendMessageW(button, ui::kSpeedSetTransparent, FALSE, 0);
    SendMessageW(button, ui::kSpeedSetDown, TRUE, 0);
    sys::ProcessMessages();
  }
}

void TFormSorvex::SetupDispatcher() {
  if (!os_) return;
  HWND scanButton = Component(L"ButtonScanTrace");
  HWND cleanButton = Component(L"ButtonDelAllTrace");
  HWND stat = Component(L"stat1");
  scan::ScanWindow w;
  w.buttonCaption = [scanButton] {
    wchar_t text[32] = L"";
    GetWindowTextW(scanButton, text, 32);
    return std::wstring(text);
  };
  w.setButtonCaption = [scanButton](const std::wstring& text) {
    SetWindowTextW(scanButton, text.c_str());
  };
  w.enableClean = [cleanButton](bool on) { EnableWindow(cleanButton, on); };
  w.setStatus = [stat](int panel, const std::wstring& text) { SetStatusText(stat, panel, text); };
  w.processMessages = [] { sys::ProcessMessages(); };
  w.resetResultImages = [this] {
    results.Images().Reset(imageList1_.get());
    vtTraceResult.SetImages(results.Images().Handle());
  };
  w.oneKeyStep = [this](int stage, int count, double kilobytes) {
    OneKeyStep(stage, count, kilobytes);
  };
  w.notice = [this](const std::wstring& text) { messageBox(text, MB_OK | MB_ICONINFORMATION); };
  w.askClean = [this](const std::wstring& text) {
    return messageBox(text, MB_OKCANCEL | MB_ICONINFORMATION) == IDOK;
  };
  w.startClean = [this] { executor_->Run(false); };
  w.isProcessRunning = [this](const std::wstring& exe) { return isProcessRunning(exe); };
  w.trimWorkingSet = TrimWorkingSet;
  // The finder's end runs the summary (and in one-key mode the whole clean): as a handler,
  // so that a close meanwhile waits for it.
  w.runHandler = [this](const std::function<void()>& fn) { RunHandler(fn); };
  clean::CleanWindow c;
  c.setStatus = w.setStatus;
  c.processMessages = w.processMessages;
  dispatcher_.reset(new scan::ScanDispatcher(scanState, results, vtTraceOption.Model(),
                                             machine::AppFolders(), *os_, std::move(w)));
  c.oneKeyStep = [this](int step) { OneKeyStep(step, 0, 0); };
  c.messageBox = [this](const std::wstring& text, UINT type) { return messageBox(text, type); };
  c.repaintResults = [this] { InvalidateRect(vtTraceResult.Handle(), nullptr, TRUE); };
  c.emptyRecycleBin = [this] { emptyRecycleBin(); };
  c.settingsFile = settingsFile;
  c.settingsNotWritten = [this](const sys::ProfileWriteError& e) { SettingsNotWritten(e); };
  HWND oneKeyButton = Component(L"ButtonCleanOneKey");
  c.busy = [this, scanButton, cleanButton, oneKeyButton](bool running) {
    for (HWND b : {scanButton, oneKeyButton}) EnableWindow(b, !running);
    EnableWindow(cleanButton, !running && results.ItemCount() > 0);
  };
  executor_.reset(new clean::CleanExecutor(scanState, results, vtTraceOption.Model(),
                                           machine::AppFolders(), *os_, std::move(c)));
}

void TFormSorvex::ButtonDelAllTraceClick() {
  if (executor_) executor_->Run(true);
}

void TFormSorvex::ButtonScanTraceClick() {
  if (dispatcher_) dispatcher_->ScanTraces(false);
}

namespace {
// A question still open would hold the close until somebody answers it.
BOOL CALLBACK CancelOwnedBox(HWND hwnd, LPARAM owner) {
  wchar_t cls[16] = L"";
  GetClassNameW(hwnd, cls, 16);
  if (wcscmp(cls, L"#32770") == 0 && GetWindow(hwnd, GW_OWNER) == reinterpret_cast<HWND>(owner))
    PostMessageW(hwnd, WM_COMMAND, IDCANCEL, 0);
  return TRUE;
}
}  // namespace

void TFormSorvex::CloseWhileBusy() {
  EnumThreadWindows(GetCurrentThreadId(), CancelOwnedBox, reinterpret_cast<LPARAM>(hwnd_));
  if (executor_ && executor_->Running()) executor_->Abandon();
  if (dispatcher_ && dispatcher_->Busy()) dispatcher_->Abandon();
}

void TFormSorvex::Button3Click() { PostMessageW(hwnd_, WM_CLOSE, 0, 0); }

void RunMessageLoop(TFormSorvex& form) {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (!IsDialogMessageW(form.Handle(), &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    // A worker's Synchronize wakes this loop with a posted WM_NULL.
    sys::CheckSynchronize();
  }
  if (form.PendingFatal()) std::rethrow_exception(form.PendingFatal());
}

}  // namespace app
