#include "app/OneKeyRun.h"

#include <commctrl.h>

#include "app/FormControls.h"
#include "app/MainUnit.h"
#include "app/Statistics.h"
#include "sys/ProfileIni.h"
#include "sys/Text.h"
#include "ui/VirtualTree.h"
#include "ui/Widgets.h"

namespace app {

using catalogue::OneKeyStep;

namespace {

enum class Row { Root, Browsers, System, Applications, Registry };
constexpr int kRowCount = 5;

struct RowLook {
  const wchar_t* title;
  int image;
};
const RowLook kRows[kRowCount] = {{L"一键清理的项目有：", -1},
                                  {L"网络临时文件", 39},
                                  {L"系统历史痕迹和临时文件", 0},
                                  {L"应用程序历史记录", 11},
                                  {L"注册表冗余信息", 19}};

const wchar_t kBlank[] = L"";
const wchar_t kScanning[] = L"正在扫描中...";
const wchar_t kScanned[] = L"扫描完成";
const wchar_t kCleaning[] = L"正在清理中...";
const wchar_t kCleaned[] = L"清理完成";

struct RowChange {
  Row row;
  const wchar_t* state;
};
// What a step shows: the rows it writes, in this order, and whether the bar moves.
struct StepLook {
  OneKeyStep step;
  bool advances;
  RowChange changes[3];
};
// The two ends of a run leave the bar where it is: a full run ends at 11 of 12.
const StepLook kStepLooks[] = {
    {OneKeyStep::ScanStarted, true, {{Row::Root, kBlank}, {Row::Browsers, kScanning}}},
    {OneKeyStep::BrowsersScanned, true, {{Row::Browsers, kScanned}, {Row::System, kScanning}}},
    {OneKeyStep::FinderPrepared, true, {}},
    {OneKeyStep::SystemWalked, true, {{Row::Applications, kScanning}}},
    {OneKeyStep::ApplicationsScanned, true,
     {{Row::Applications, kScanned}, {Row::Registry, kScanning}}},
    {OneKeyStep::RegistryScanned, true, {{Row::Registry, kScanned}}},
    {OneKeyStep::ScanEnded, true, {{Row::System, kScanned}}},
    {OneKeyStep::CleanStarted, true, {{Row::Browsers, kCleaning}}},
    {OneKeyStep::DeletionStarting, true, {{Row::Registry, kCleaning}}},
    {OneKeyStep::IECachePassed, true,
     {{Row::Browsers, kCleaned}, {Row::System, kCleaning}, {Row::Applications, kCleaning}}},
    {OneKeyStep::ItemsDeleted, true, {{Row::Registry, kCleaned}, {Row::Applications, kCleaned}}},
    {OneKeyStep::CleanFinished, false, {{Row::System, kCleaned}}},
    {OneKeyStep::NothingToClean, false, {}},
};

const StepLook& LookOf(OneKeyStep step) {
  for (const StepLook& look : kStepLooks)
    if (look.step == step) return look;
  return kStepLooks[0];  // every step is in the table
}

const wchar_t kAllIsWell[] = L"您的电脑状况良好，无需进行系统清理";

}  // namespace

OneKeyRun::OneKeyRun(TFormSorvex& form, const FormControls& controls, ui::VirtualTree& rows)
    : form_(form), c_(controls), tree_(rows) {}

void OneKeyRun::SetupRows() {
  tree_.SetColumns({{L"", 300, DT_LEFT, false}, {L"", 203, DT_RIGHT, false}});
  tree_.OnGetText = [](model::TreeNode* node, int column) -> std::wstring {
    const CleanResultRow* r = node->DataAs<CleanResultRow>();
    if (!r) return {};
    return column == 0 ? r->Title : column == 1 ? r->State : std::wstring();
  };
  tree_.OnGetImageIndex = [](model::TreeNode* node, int column) {
    const CleanResultRow* r = node->DataAs<CleanResultRow>();
    return r && column == 0 ? r->ImageIndex : -1;
  };
  tree_.OnPaintText = [](model::TreeNode* node, int column, LOGFONTW& font, COLORREF& color) {
    if (column == 0 && !node->Parent()) {
      color = RGB(0, 0, 128);
      font.lfWeight = FW_BOLD;
    }
  };
  tree_.OnCollapsing = [this](model::TreeNode*) {
    SetFocus(c_.panel5);
    return true;
  };
}

model::TreeNode* OneKeyRun::SetCleanResultRow(model::TreeNode* row, const std::wstring& title,
                                              model::TreeNode* parent, int image,
                                              const std::wstring& state) {
  model::TreeModel& tree = tree_.Model();
  CleanResultRow record{title, state, image};
  if (row) tree.SetData(row, record);
  else row = tree.Append(parent, record);
  InvalidateRect(tree_.Handle(), nullptr, FALSE);
  return row;
}

// Visible at rest: the summary lines, the status picture, the big link. While running:
// the progress bar, the busy picture and the rows.
void OneKeyRun::IdleLayout(bool idle) {
  ShowWindow(c_.panel6, idle ? SW_SHOW : SW_HIDE);
  ShowWindow(c_.panel7, idle ? SW_HIDE : SW_SHOW);
  ShowWindow(c_.image6, idle ? SW_HIDE : SW_SHOW);
  ShowWindow(c_.image3, idle ? SW_SHOW : SW_HIDE);
  EnableWindow(c_.panel1, idle);
}

void OneKeyRun::Start() {
  scan::ScanDispatcher* dispatcher = form_.Dispatcher();
  clean::CleanExecutor* executor = form_.Executor();
  if (!dispatcher || dispatcher->Busy() || (executor && executor->Running())) return;
  ShowRunning();
  dispatcher->ScanTraces(true);
}

// The busy layout of the home page, its rows and progress bar reset.
void OneKeyRun::ShowRunning() {
  IdleLayout(false);
  SetWindowTextW(c_.label4, L"正在进行一键清理，请稍候......");
  ShowWindow(tree_.Handle(), SW_SHOW);
  for (HWND h : {c_.label10, c_.image5, c_.lblReClean}) ShowWindow(h, SW_HIDE);
  ShowWindow(c_.chkAutoShutdown, SW_SHOW);
  tree_.Model().Clear();
  for (model::TreeNode*& r : rows_) r = nullptr;
  cancelled = false;
  pendingCleanCount = 0;
  pendingCleanSize = 0;
  SendMessageW(c_.progressBar1, PBM_SETRANGE32, 0, 12);
  SendMessageW(c_.progressBar1, PBM_SETSTEP, 1, 0);
  SendMessageW(c_.progressBar1, PBM_SETPOS, 0, 0);
  EnableWindow(c_.button1, TRUE);
}

void OneKeyRun::ShowStep(OneKeyStep step) {
  const StepLook& look = LookOf(step);
  for (const RowChange& change : look.changes) {
    if (!change.state) break;
    int i = int(change.row);
    model::TreeNode* parent = change.row == Row::Root ? nullptr : rows_[int(Row::Root)];
    rows_[i] = SetCleanResultRow(rows_[i], kRows[i].title, parent, kRows[i].image, change.state);
  }
  if (step == OneKeyStep::ScanStarted) tree_.Model().SetExpanded(rows_[int(Row::Root)], true);
  if (look.advances) SendMessageW(c_.progressBar1, PBM_STEPIT, 0, 0);
}

void OneKeyRun::Step(OneKeyStep step, int count, double kilobytes) {
  // A cancelled scan still ends; its end does nothing more.
  if (step == OneKeyStep::ScanEnded && cancelled) return;
  if (step == OneKeyStep::CleanStarted) EnableWindow(c_.button1, FALSE);
  ShowStep(step);
  if (onStepShown) onStepShown(step);
  switch (step) {
    case OneKeyStep::ScanEnded: ScanEnded(count, kilobytes); break;
    case OneKeyStep::CleanFinished: CleanFinished(); break;
    case OneKeyStep::NothingToClean: Finish(kAllIsWell, kAllIsWell); break;
    default: break;
  }
}

// Runs the whole clean before it returns.
void OneKeyRun::ScanEnded(int count, double kilobytes) {
  pendingCleanCount = count;
  pendingCleanSize = float(kilobytes);
  if (form_.results.ItemCount() == 0) Step(OneKeyStep::NothingToClean);
  else if (clean::CleanExecutor* executor = form_.Executor()) executor->Run(false);
}

void OneKeyRun::CleanFinished() {
  const clean::CleanExecutor* executor = form_.Executor();
  // What could not be deleted was not cleaned.
  if (executor) {
    pendingCleanCount -= executor->FailedCount();
    pendingCleanSize -= float(double(executor->FailedBytes()) / 1024.0);
    if (pendingCleanSize < 0) pendingCleanSize = 0;
  }
  try {
    SaveCleanStatistics(form_.settingsFile, pendingCleanCount, pendingCleanSize);
  } catch (const sys::ProfileWriteError& e) {
    form_.SettingsNotWritten(e);
  }
  std::wstring failure;
  failure.swap(settingsFailure_);
  // The power-off the user asked for is not held up by a message nobody may read.
  if (SendMessageW(c_.chkAutoShutdown, BM_GETCHECK, 0, 0) == BST_CHECKED) {
    form_.shutdownComputer();
    return;
  }
  form_.FillCleanSummary(true);
  wchar_t label5[512] = L"";
  GetWindowTextW(c_.label5, label5, 512);
  const int failed = executor ? executor->FailedCount() : 0;
  // What stayed is not called cleaned; the advanced page's list still shows it.
  Finish(failed == 0 ? std::wstring(L"恭喜您！已成功清理了垃圾文件和上网痕迹。")
                     : sys::Format(L"清理完成，但有 %d 个项目未能删除，请在“高级清理”中查看。",
                                   failed),
         label5);
  if (!failure.empty()) form_.messageBox(failure, MB_OK | MB_ICONERROR);
}

void OneKeyRun::HoldSettingsFailure(const std::wstring& text) {
  if (settingsFailure_.empty()) settingsFailure_ = text;
}

void OneKeyRun::Finish(const std::wstring& headline, const std::wstring& status) {
  SetWindowTextW(c_.label4, headline.c_str());
  SendMessageW(c_.stat1, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(status.c_str()));
  IdleLayout(true);
  SendMessageW(c_.image3, ui::kPictureSetBitmap, FALSE,
               reinterpret_cast<LPARAM>(form_.Bitmap(L"ImgRight")));
  for (HWND h : {c_.label10, c_.image5, c_.chkAutoShutdown}) ShowWindow(h, SW_HIDE);
  ShowWindow(c_.lblReClean, SW_SHOW);
}

void OneKeyRun::Cancel() {
  cancelled = true;
  // Only a running scan is stopped; a scan is never started from here.
  scan::ScanDispatcher* dispatcher = form_.Dispatcher();
  if (dispatcher && dispatcher->Busy()) dispatcher->ScanTraces(false);
  form_.results.Clear();
  IdleLayout(true);
  SetWindowTextW(c_.label4, L"本次清理没有完成，建议立即进行一键清理");
  ShowWindow(tree_.Handle(), SW_HIDE);
  ShowWindow(c_.label10, SW_SHOW);
  ShowWindow(c_.image5, SW_SHOW);
  ShowWindow(c_.lblReClean, SW_HIDE);
  ShowWindow(c_.chkAutoShutdown, SW_HIDE);
}

}  // namespace app
