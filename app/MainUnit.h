// TFormSorvex: the main window with its two pages (home and advanced).
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/AdvancedPage.h"
#include "app/FormControls.h"
#include "app/NotesFeed.h"
#include "app/OneKeyRun.h"
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

extern const wchar_t kFormCaption[];  // "一键清理Sandrel版 V2.0 " and the web address
constexpr COLORREF kFormColor = RGB(247, 250, 246);
constexpr int kClientWidth = 784, kClientHeight = 538;

// The window keeps the layout, the controls and the engines of scan and clean; the home
// page's one-key run and the advanced page are parts of it that it routes events to. It
// is what the dispatcher and the executor call back into.
class TFormSorvex : private scan::ScanWindow, private clean::CleanWindow {
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
  // The power-off after a one-key clean; tests never switch anything off.
  std::function<void()> shutdownComputer;
  // The recycle bin; tests stand in for it so that no real one is emptied.
  std::function<void()> emptyRecycleBin;
  void ButtonDelAllTraceClick();
  void ButtonScanTraceClick();
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
  bool firstActivated = false;
  bool foldersReleased = false;
  int activePage = 0;

  // Declared before the trees: VTTraceResult shows its tree and must go first.
  catalogue::ResultModel results;
  ui::VirtualTree vtTraceOption, vtTraceResult, vtCleanResult, vtLog;
  // Null until the window exists with its system facts.
  scan::ScanDispatcher* Dispatcher() { return dispatcher_.get(); }
  clean::CleanExecutor* Executor() { return executor_.get(); }
  OneKeyRun& OneKey() { return oneKey_; }
  AdvancedPage& Advanced() { return advanced_; }
  // A bitmap of the resources, freed with the window.
  HBITMAP Bitmap(const wchar_t* name);

 private:
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT Dispatch(UINT msg, WPARAM wp, LPARAM lp);
  void OnCommand(int id, int code);
  void RunHandler(void (TFormSorvex::*handler)());
  // The layout of both pages (FormLayout.cpp).
  void CreateComponents();
  void CreateTopBar();
  void CreateHomePage(HWND pages, int pageHeight);
  void CreateNotesColumn(HWND tab1, int pageHeight);
  void CreateAdvancedPage(HWND pages, int pageHeight);
  void ApplyFontsAndTexts();
  void ApplyPictures();
  HFONT MakeFont(int extraPoints, bool bold);
  void SetFont(HWND hwnd, HFONT font);

  void AllocateFolderBuffers();
  void ReadSpecialFolders();
  void ShowCleanVerdict();
  void SetupDispatcher();
  void SetupLogTree();
  bool OnLogLink(const ui::TreeHit& hit) const;
  void ShowPage(int page);
  void PageButtonClick(HWND pressed, HWND other, int page);

  // --- what the dispatcher and the executor call back into ---
  std::wstring ButtonCaption() const override;
  void SetButtonCaption(const std::wstring& text) override;
  void EnableClean(bool on) override;
  void SetStatus(int panel, const std::wstring& text) override;
  void ProcessMessages() override;
  void ResetResultImages() override;
  void OneKeyStepReached(catalogue::OneKeyStep step, int count, double kilobytes) override;
  void OneKeyStepReached(catalogue::OneKeyStep step) override;
  void Notice(const std::wstring& text) override;
  bool AskClean(const std::wstring& text) override;
  void StartClean() override;
  bool IsProcessRunning(const std::wstring& exe) override;
  void TrimWorkingSet() override;
  // An exception must not cross the window procedure (the finder's end runs through it).
  void RunHandler(const std::function<void()>& handler) override;
  int ShowMessage(const std::wstring& text, UINT type) override;
  void RepaintResults() override;
  void EmptyRecycleBin() override;
  void CleanBusy(bool running) override;

  HWND hwnd_ = nullptr;
  bool destroyed_ = false;
  // Handlers pump messages; a close that arrives meanwhile waits until the outermost
  // handler has returned, so no handler goes on with a destroyed window.
  int handlerDepth_ = 0;
  bool closePending_ = false;
  std::exception_ptr fatal_;
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
  FormControls c_;
  OneKeyRun oneKey_;
  AdvancedPage advanced_;
  std::unique_ptr<scan::ScanDispatcher> dispatcher_;
  std::unique_ptr<clean::CleanExecutor> executor_;
};

// Runs the message loop of a created form until it closes.
void RunMessageLoop(TFormSorvex& form);

}  // namespace app
