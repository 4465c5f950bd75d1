// The one-key clean of the home page: a full scan with the saved options, the clean of
// everything found without a question, the progress rows and bar, the statistics, and the
// power-off when asked.
#include <windows.h>
#include <commctrl.h>

#include "app/MainUnit.h"
#include "app/Statistics.h"
#include "sys/ProfileIni.h"
#include "sys/Text.h"
#include "ui/Widgets.h"

namespace app {

namespace {
enum Row { kRoot, kBrowsers, kSystem, kApplications, kRegistry };
struct RowLook {
  const wchar_t* title;
  int image;
};
const RowLook kRows[5] = {{L"一键清理的项目有：", -1},
                          {L"网络临时文件", 39},
                          {L"系统历史痕迹和临时文件", 0},
                          {L"应用程序历史记录", 11},
                          {L"注册表冗余信息", 19}};
const wchar_t kScanning[] = L"正在扫描中...";
const wchar_t kScanned[] = L"扫描完成";
const wchar_t kCleaning[] = L"正在清理中...";
const wchar_t kCleanedText[] = L"清理完成";
}  // namespace

void TFormSorvex::SetupCleanResultTree() {
  vtCleanResult.SetColumns({{L"", 300, DT_LEFT, false}, {L"", 203, DT_RIGHT, false}});
  vtCleanResult.OnGetText = [](model::TreeNode* node, int column) -> std::wstring {
    const CleanResultRow* r = node->DataAs<CleanResultRow>();
    if (!r) return {};
    return column == 0 ? r->Title : column == 1 ? r->State : std::wstring();
  };
  vtCleanResult.OnGetImageIndex = [](model::TreeNode* node, int column) {
    const CleanResultRow* r = node->DataAs<CleanResultRow>();
    return r && column == 0 ? r->ImageIndex : -1;
  };
  vtCleanResult.OnPaintText = [](model::TreeNode* node, int column, LOGFONTW& font,
                                 COLORREF& color) {
    if (column == 0 && !node->Parent()) {
      color = RGB(0, 0, 128);
      font.lfWeight = FW_BOLD;
    }
  };
  vtCleanResult.OnCollapsing = [this](model::TreeNode*) {
    SetFocus(Component(L"Panel5"));
    return true;
  };
}

model::TreeNode* TFormSorvex::SetCleanResultRow(model::TreeNode* row, const std::wstring& title,
                                             model::TreeNode* parent, int image,
                                             const std::wstring& state) {
  model::TreeModel& tree = vtCleanResult.Model();
  CleanResultRow record{title, state, image};
  if (row) tree.SetData(row, record);
  else row = tree.Append(parent, record);
  InvalidateRect(vtCleanResult.Handle(), nullptr, FALSE);
  return row;
}

// Visible at rest: the summary lines, the status picture, the big link. While running:
// the progress bar, the busy picture and the rows.
void TFormSorvex::OneKeyIdleLayout(bool idle) {
  ShowWindow(Component(L"Panel6"), idle ? SW_SHOW : SW_HIDE);
  ShowWindow(Component(L"Panel7"), idle ? SW_HIDE : SW_SHOW);
  ShowWindow(Component(L"Image6"), idle ? SW_HIDE : SW_SHOW);
  ShowWindow(Component(L"Image3"), idle ? SW_SHOW : SW_HIDE);
  EnableWindow(Component(L"Panel1"), idle);
}

void TFormSorvex::Label10Click() {
  // Never a one-key run inside a scan or a clean.
  if (!dispatcher_ || dispatcher_->Busy() || (executor_ && executor_->Running())) return;
  ShowOneKeyRunning();
  dispatcher_->ScanTraces(true);
}

// The busy layout of the home page, its rows and progress bar reset.
void TFormSorvex::ShowOneKeyRunning() {
  OneKeyIdleLayout(false);
  SetWindowTextW(Component(L"Label4"), L"正在进行一键清理，请稍候......");
  ShowWindow(Component(L"VTCleanResult"), SW_SHOW);
  for (const wchar_t* n : {L"Label10", L"Image5", L"lblReClean"})
    ShowWindow(Component(n), SW_HIDE);
  ShowWindow(Component(L"chkAutoShutdown"), SW_SHOW);
  vtCleanResult.Model().Clear();
  for (model::TreeNode*& r : cleanRows) r = nullptr;
  cancelled = false;
  pendingCleanCount = 0;
  pendingCleanSize = 0;
  HWND bar = Component(L"ProgressBar1");
  SendMessageW(bar, PBM_SETRANGE32, 0, 12);
  SendMessageW(bar, PBM_SETSTEP, 1, 0);
  SendMessageW(bar, PBM_SETPOS, 0, 0);
  EnableWindow(Component(L"Button1"), TRUE);
}

void TFormSorvex::OneKeyStep(int step, int count, double kilobytes) {
  auto set = [this](int row, const wchar_t* state) {
    model::TreeNode* parent = row == kRoot ? nullptr : cleanRows[kRoot];
    cleanRows[row] = SetCleanResultRow(cleanRows[row], kRows[row].title, parent,
                                       kRows[row].image, state);
  };
  auto advance = [this] { SendMessageW(Component(L"ProgressBar1"), PBM_STEPIT, 0, 0); };
  switch (step) {
    case 0:
      set(kRoot, L"");
      set(kBrowsers, kScanning);
      vtCleanResult.Model().SetExpanded(cleanRows[kRoot], true);
      advance();
      break;
    case 1:
      set(kBrowsers, kScanned);
      set(kSystem, kScanning);
      advance();
      break;
    case 2: advance(); break;
    case 3:
      set(kApplications, kScanning);
      advance();
      break;
    case 4:
      set(kApplications, kScanned);
      set(kRegistry, kScanning);
      advance();
      break;
    case 5:
      set(kRegistry, kScanned);
      advance();
      break;
    case 6:
      if (cancelled) break;
      set(kSystem, kScanned);
      advance();
      pendingCleanCount = count;
      pendingCleanSize = float(kilobytes);
      if (results.ItemCount() == 0) OneKeyStep(12, 0, 0);
      else if (executor_) executor_->Run(false);
      break;
    case 7:
      EnableWindow(Component(L"Button1"), FALSE);
      set(kBrowsers, kCleaning);
      advance();
      break;
    case 8:
      set(kRegistry, kCleaning);
      advance();
      break;
    case 9:
      set(kBrowsers, kCleanedText);
      set(kSystem, kCleaning);
      set(kApplications, kCleaning);
      advance();
      break;
    case 10:
      set(kRegistry, kCleanedText);
      set(kApplications, kCleanedText);
      advance();
      break;
    case 11: {
      set(kSystem, kCleanedText);
      // What could not be deleted was not cleaned.
      if (executor_) {
        pendingCleanCount -= executor_->FailedCount();
        pendingCleanSize -= float(double(executor_->FailedBytes()) / 1024.0);
        if (pendingCleanSize < 0) pendingCleanSize = 0;
      }
      try {
        SaveCleanStatistics(settingsFile, pendingCleanCount, pendingCleanSize);
      } catch (const sys::ProfileWriteError& e) {
        SettingsNotWritten(e);
      }
      std::wstring failure;
      failure.swap(settingsFailure_);
      // The power-off the user asked for is not held up by a message nobody may read.
      if (SendMessageW(Component(L"chkAutoShutdown"), BM_GETCHECK, 0, 0) == BST_CHECKED) {
        shutdownComputer();
        break;
      }
      FillCleanSummary(true);
      wchar_t label5[512] = L"";
      GetWindowTextW(Component(L"Label5"), label5, 512);
      const int failed = executor_ ? executor_->FailedCount() : 0;
      // What stayed is not called cleaned; the advanced page's list still shows it.
      OneKeyFinish(failed == 0 ? std::wstring(L"恭喜您！已成功清理了垃圾文件和上网痕迹。")
                               : sys::Format(L"清理完成，但有 %d 个项目未能删除，请在“高级清理”中查看。",
                                             failed),
                   label5);
      if (!failure.empty()) messageBox(failure, MB_OK | MB_ICONERROR);
      break;
    }
    case 12:
      OneKeyFinish(L"您的电脑状况良好，无需进行系统清理", L"您的电脑状况良好，无需进行系统清理");
      break;
  }
}

void TFormSorvex::OneKeyFinish(const std::wstring& headline, const std::wstring& status) {
  SetWindowTextW(Component(L"Label4"), headline.c_str());
  SendMessageW(Component(L"stat1"), SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(status.c_str()));
  OneKeyIdleLayout(true);
  SendMessageW(Component(L"Image3"), ui::kPictureSetBitmap, FALSE,
               reinterpret_cast<LPARAM>(Bitmap(L"ImgRight")));
  for (const wchar_t* n : {L"Label10", L"Image5", L"chkAutoShutdown"})
    ShowWindow(Component(n), SW_HIDE);
  ShowWindow(Component(L"lblReClean"), SW_SHOW);
}

void TFormSorvex::Button1Click() {
  cancelled = true;
  // Only a running scan is stopped; a scan is never started from here.
  if (dispatcher_ && dispatcher_->Busy()) dispatcher_->ScanTraces(false);
  results.Clear();
  OneKeyIdleLayout(true);
  SetWindowTextW(Component(L"Label4"), L"本次清理没有完成，建议立即进行一键清理");
  ShowWindow(Component(L"VTCleanResult"), SW_HIDE);
  ShowWindow(Component(L"Label10"), SW_SHOW);
  ShowWindow(Component(L"Image5"), SW_SHOW);
  ShowWindow(Component(L"lblReClean"), SW_HIDE);
  ShowWindow(Component(L"chkAutoShutdown"), SW_HIDE);
}

}  // namespace app
