#include "app/MainUnit.h"

#include <shlobj.h>

#include <stdexcept>

#include "app/Entry.h"
#include "app/Statistics.h"
#include "catalogue/TraceOption.h"
#include "sys/Handles.h"
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

TFormSorvex::TFormSorvex(machine::TTarnOSInfo* os)
    : settingsFile(SettingsFilePath()),
      os_(os),
      oneKey_(*this, c_, vtCleanResult),
      advanced_(c_, vtTraceOption, vtTraceResult, results, os_) {
  messageBox = [this](const std::wstring& text, UINT type) {
    return MessageBoxW(hwnd_, text.c_str(), kMessageCaption, type);
  };
  isProcessRunning = [](const std::wstring& exe) { return sys::IsProcessRunning(exe); };
  emptyRecycleBin = [this] { clean::EmptyRecycleBin(hwnd_); };
  shutdownComputer = [this] { machine::ShutdownComputer(false, os_ ? os_->MajorVersion : 0); };
}

TFormSorvex::~TFormSorvex() {
  // The controls go before the fonts, pictures and images they show.
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
  ++handlerDepth_;
  sys::ScopeExit depth([this] {
    if (--handlerDepth_ == 0 && closePending_ && !destroyed_) {
      closePending_ = false;
      PostMessageW(hwnd_, WM_CLOSE, 0, 0);
    }
  });
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
      // Not a standard exception: the user is told that much, and the program goes on.
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
    case idLblReClean: RunHandler([this] { oneKey_.Start(); }); break;
    case idButton1: RunHandler([this] { oneKey_.Cancel(); }); break;
    case idButtonScanTrace: RunHandler(&TFormSorvex::ButtonScanTraceClick); break;
    case idButtonDelAllTrace: RunHandler(&TFormSorvex::ButtonDelAllTraceClick); break;
    case idLabel1: RunHandler([this] { advanced_.Label1Click(); }); break;
    case idLabel2: RunHandler([this] { advanced_.Label2Click(); }); break;
    case idLabel3: RunHandler([this] { advanced_.Label3Click(); }); break;
    case idLabel13: RunHandler(&TFormSorvex::Label13Click); break;
    case idLabel17: RunHandler(&TFormSorvex::Label17Click); break;
  }
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
  oneKey_.SetupRows();
  advanced_.Setup(hwnd_, imageList1_.get());
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
    folders.downloads = all.downloads;
    folders.nativeProgramFiles = all.nativeProgramFiles;
  } catch (...) {
    // A folder the system will not name is one the scan does without.
  }
}

// The summary lines, and the verdict picture and line of the home page.
void TFormSorvex::ShowCleanVerdict() {
  bool recent = FillCleanSummary(false);
  SendMessageW(c_.image3, ui::kPictureSetBitmap, FALSE,
               reinterpret_cast<LPARAM>(Bitmap(recent ? L"ImgRight" : L"ImgError")));
  SetWindowTextW(c_.label4, recent ? L"您的电脑状况良好，无需进行系统清理"
                                              : L"您的电脑中存在很多垃圾文件，请立即进行系统清理");
}

bool TFormSorvex::FillCleanSummary(bool thisTime) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  CleanSummary summary = ShowCleanSummary(settingsFile, thisTime, now);
  SetWindowTextW(c_.label6, summary.label6.c_str());
  SetWindowTextW(c_.label5, summary.label5.c_str());
  SetWindowTextW(c_.label12, summary.label12.c_str());
  return summary.recentlyCleaned;
}

// Gives the memory of start-up and of a scan back to the system (NT family only).
static void GiveMemoryBack() {
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
  GiveMemoryBack();
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
    oneKey_.HoldSettingsFailure(text);
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
  ShowWindow(c_.tabSheet1, page == 0 ? SW_SHOW : SW_HIDE);
  ShowWindow(c_.tabSheet2, page == 1 ? SW_SHOW : SW_HIDE);
}

// The pressed page button is bold; the other loses its bold.
void TFormSorvex::PageButtonClick(HWND pressed, HWND other, int page) {
  SetFont(pressed, pageBoldFont_);
  SetFont(other, pageFont_);
  SelectPageButton(pressed);
  if (!destroyed_) ShowPage(page);
}

void TFormSorvex::BtnHomepageClick() { PageButtonClick(c_.btnHomepage, c_.btnOverview, 0); }

void TFormSorvex::BtnOverviewClick() { PageButtonClick(c_.btnOverview, c_.btnHomepage, 1); }

void TFormSorvex::SelectPageButton(HWND button) {
  for (HWND b : {c_.btnHomepage, c_.btnOverview}) {
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
  dispatcher_.reset(new scan::ScanDispatcher(scanState, results, vtTraceOption.Model(),
                                             machine::AppFolders(), *os_, *this));
  executor_.reset(new clean::CleanExecutor(scanState, results, vtTraceOption.Model(),
                                           machine::AppFolders(), *os_, *this, settingsFile));
}

std::wstring TFormSorvex::ButtonCaption() const { return advanced_.ScanButtonCaption(); }

void TFormSorvex::SetButtonCaption(const std::wstring& text) {
  advanced_.SetScanButtonCaption(text);
}

void TFormSorvex::EnableClean(bool on) { advanced_.EnableClean(on); }

void TFormSorvex::SetStatus(int panel, const std::wstring& text) {
  ui::SetStatusText(c_.stat1, panel, text);
}

void TFormSorvex::ProcessMessages() { sys::ProcessMessages(); }

void TFormSorvex::ResetResultImages() { advanced_.ResetResultImages(); }

void TFormSorvex::OneKeyStepReached(catalogue::OneKeyStep step, int count, double kilobytes) {
  oneKey_.Step(step, count, kilobytes);
}

void TFormSorvex::OneKeyStepReached(catalogue::OneKeyStep step) { oneKey_.Step(step); }

void TFormSorvex::Notice(const std::wstring& text) { messageBox(text, MB_OK | MB_ICONINFORMATION); }

bool TFormSorvex::AskClean(const std::wstring& text) {
  return messageBox(text, MB_OKCANCEL | MB_ICONINFORMATION) == IDOK;
}

void TFormSorvex::StartClean() { executor_->Run(false); }

bool TFormSorvex::IsProcessRunning(const std::wstring& exe) { return isProcessRunning(exe); }

void TFormSorvex::TrimWorkingSet() { GiveMemoryBack(); }

int TFormSorvex::ShowMessage(const std::wstring& text, UINT type) { return messageBox(text, type); }

void TFormSorvex::RepaintResults() { advanced_.RepaintResults(); }

void TFormSorvex::EmptyRecycleBin() { emptyRecycleBin(); }

void TFormSorvex::CleanBusy(bool running) { advanced_.CleanBusy(running); }

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
