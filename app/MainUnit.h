// TFormSorvex: the main window with its two pages (home and advanced).
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "app/NotesFeed.h"
#include "app/Statistics.h"
#include "catalogue/ResultModel.h"
#include "clean/CleanTraces.h"
#include "scan/ScanTraces.h"
#include "machine/Folders.h"
#include "sys/Handles.h"
#include "ui/VirtualTree.h"

namespace sys {
class ProfileWriteError;
}
namespace machine {
class TTarnOSInfo;
}

namespace app {

// Control IDs: fixed, so that other processes can find a component by ID as well as by
// its "Name" property.
enum ControlId : int {
  idPanel1 = 1001, idImage1, idBtnHomepage, idBtnOverview, idLabel13,
  idPageControl1 = 1100,
  idTabSheet1 = 1101, idPanel2, idImage2, idLabel4, idImage3, idImage6, idPanel6, idLabel6,
  idLabel5, idLabel12, idPanel7, idProgressBar1, idButton1, idPanel5, idLabel7, idLabel8,
  idLabel9, idLabel11, idImage5, idLabel10, idVTCleanResult, idLblReClean, idChkAutoShutdown,
  idPanel4, idVTLog, idPanel3, idLabel16, idNoteMemo, idLabel17,
  idTabSheet2 = 1201, idVTTraceOption, idVTTraceResult, idLabel1, idLabel2, idLabel3,
  idButtonScanTrace, idButtonDelAllTrace, idButtonCleanOneKey, idButton3,
  idStat1 = 1301,
};

extern const wchar_t kFormCaption[];  // "一键清理Sandrel版 V2.0 " and the web address
constexpr COLORREF kFormColor = RGB(247, 250, 246);

// A row of VTCleanResult.
struct CleanResultRow {
  std::wstring Title;
  std::wstring State;
  int ImageIndex = -1;
};

class TFormSorvex {
 public:
  // Takes ownership of `os`; it is freed by FormDestroy.
  explicit TFormSorvex(machine::TTarnOSInfo* os);
  ~TFormSorvex();
  TFormSorvex(const TFormSorvex&) = delete;
  TFormSorvex& operator=(const TFormSorvex&) = delete;

  // Creates the window (FormCreate runs inside); `owner` is the application window.
  HWND Create(HWND owner = nullptr);
  // Shows the window (FormShow, then FormActivate on activation).
  void Show(int cmdShow = SW_SHOWNORMAL);
  HWND Handle() const { return hwnd_; }
  HWND Component(const std::wstring& name) const;
  bool Destroyed() const { return destroyed_; }
  // Set when an event handler raised on a system where errors end the program; the
  // message loop rethrows it once it has left the window procedure.
  std::exception_ptr PendingFatal() const { return fatal_; }

  // --- events ---
  void FormCreate();
  void FormShow();
  void FormActivate();
  void FormClose();
  void FormDestroy();
  void BtnHomepageClick();
  void BtnOverviewClick();
  void SelectPageButton(HWND button);
  void Button3Click();
  // Called when the user closes the window during a scan or a clean: the scan stops, the
  // clean ends after its current item, and a running finder is waited for, before the
  // window goes.
  void CloseWhileBusy();
  bool ClosePending() const { return closePending_; }
  // Later parts of the program fill these in.
  void Label10Click();
  void Button1Click();
  void ButtonScanTraceClick();
  // The one-key progress, steps 0 to 12 (count and kilobytes for step 6).
  void OneKeyStep(int step, int count, double kilobytes);
  // Rewrites the row when given, else adds it below `parent`; returns it.
  model::TreeNode* SetCleanResultRow(model::TreeNode* row, const std::wstring& title,
                                  model::TreeNode* parent, int image, const std::wstring& state);
  // The power-off after a one-key clean; tests never switch anything off.
  std::function<void()> shutdownComputer;
  // The recycle bin; tests stand in for it so that no real one is emptied.
  std::function<void()> emptyRecycleBin;
  void ButtonDelAllTraceClick();
  void Label1Click();
  void Label2Click();
  void Label3Click();
  // A mouse-down right of column 0 on a click-to-clear option asks, then clears.
  void VTTraceOptionMouseDown(const ui::TreeHit& hit);
  // Asks with OK and Cancel; tests answer for the user.
  std::function<bool(const std::wstring& text)> confirm;
  // Every other message box of the window (caption "一键清理Sandrel版"); tests answer.
  std::function<int(const std::wstring& text, UINT type)> messageBox;
  // Whether a process of that executable name runs; tests stand in for the system.
  std::function<bool(const std::wstring& exe)> isProcessRunning;
  // The notes feed: "官方日志" rows in VTLog, the usage note in NoteMemo and Label17.
  void LoadNotesFeed();
  void VTLogMouseMove(const ui::TreeHit& hit);
  void VTLogMouseDown(const ui::TreeHit& hit);
  void NoteMemoEnter();
  void Label13Click();
  void Label17Click();
  // Where the feed is read and the library call that decodes it; tests replace both.
  std::wstring notesFeedFile = NotesFeedPath();
  GetMemIniFileFn getMemIniFile = CallGetMemIniFile;
  std::wstring label17Link;  // the address Label17 opens (its hint)

  // The three summary lines from the settings file; returns the verdict.
  bool FillCleanSummary(bool thisTime);

  // The settings file; tests point it into their sandbox before Create.
  std::wstring settingsFile;
  // A write of the settings file was refused: the user is told which file and why, and
  // the program goes on. During a one-key clean the message waits for the run's end.
  void SettingsNotWritten(const sys::ProfileWriteError& error);

  // State read by other parts.
  catalogue::ScanState scanState;
  bool cancelled = false;
  int pendingCleanCount = 0;
  float pendingCleanSize = 0;
  // The rows of VTCleanResult: root, browsers, system, applications, registry.
  model::TreeNode* cleanRows[5] = {};
  bool firstActivated = false;
  bool foldersReleased = false;
  int activePage = 0;

  // Declared before the trees: VTTraceResult shows its tree and must go first.
  catalogue::ResultModel results;
  ui::VirtualTree vtTraceOption, vtTraceResult, vtCleanResult, vtLog;
  // Null until the window exists with its system facts.
  scan::ScanDispatcher* Dispatcher() { return dispatcher_.get(); }
  clean::CleanExecutor* Executor() { return executor_.get(); }

 private:
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT Dispatch(UINT msg, WPARAM wp, LPARAM lp);
  void OnCommand(int id, int code);
  void RunHandler(void (TFormSorvex::*handler)());
  void RunHandler(const std::function<void()>& handler);
  void CreateComponents();
  void AllocateFolderBuffers();
  void ApplyFontsAndTexts();
  void ReadSpecialFolders();
  void ShowCleanVerdict();
  void ShowOneKeyRunning();
  void SetupResultTree();
  void SetupOptionTree();
  void SetupDispatcher();
  void SetupCleanResultTree();
  void SetupLogTree();
  bool OnLogLink(const ui::TreeHit& hit) const;
  void OneKeyFinish(const std::wstring& headline, const std::wstring& status);
  void OneKeyIdleLayout(bool idle);
  void ShowPage(int page);
  void PageButtonClick(const wchar_t* pressed, const wchar_t* other, int page);
  HFONT MakeFont(int extraPoints, bool bold);
  void SetFont(HWND hwnd, HFONT font);
  HBITMAP Bitmap(const wchar_t* name);

  HWND hwnd_ = nullptr;
  bool destroyed_ = false;
  // Handlers pump messages; a close that arrives meanwhile waits until the outermost
  // handler has returned, so no handler goes on with a destroyed window.
  int handlerDepth_ = 0;
  bool closePending_ = false;
  std::exception_ptr fatal_;
  std::wstring settingsFailure_;  // held back until the one-key clean has ended
  std::unique_ptr<machine::TTarnOSInfo> os_;
  LOGFONTW baseFont_{};
  // Controls hold these without owning them: the window goes first (destructor).
  std::vector<sys::ScopedFont> fonts_;
  HFONT pageFont_ = nullptr, pageBoldFont_ = nullptr;
  std::vector<sys::ScopedBitmap> bitmaps_;
  sys::ScopedImageList imageList1_;
  HCURSOR handCursor_ = nullptr;
  // The three folder buffers of the system: filled at creation, freed at destruction.
  std::unique_ptr<wchar_t[]> windowsDir_, systemDir_, tempDir_;
  std::unique_ptr<scan::ScanDispatcher> dispatcher_;
  std::unique_ptr<clean::CleanExecutor> executor_;
};

// Runs the message loop of a created form until it closes.
void RunMessageLoop(TFormSorvex& form);

}  // namespace app
