#include "app/AdvancedPage.h"

#include "app/Entry.h"
#include "app/FormControls.h"
#include "catalogue/ResultModel.h"
#include "catalogue/TraceOption.h"
#include "machine/TarnGetOSInfo.h"
#include "sys/TrackLibrary.h"
#include "ui/VirtualTree.h"
#include "ui/Widgets.h"

namespace app {

AdvancedPage::AdvancedPage(const FormControls& controls, ui::VirtualTree& options,
                           ui::VirtualTree& results, catalogue::ResultModel& model,
                           const std::unique_ptr<machine::TTarnOSInfo>& os)
    : c_(controls), options_(options), results_(results), model_(model), os_(os) {}

void AdvancedPage::Setup(HWND owner, HIMAGELIST images) {
  owner_ = owner;
  images_ = images;
  // VTTraceOption: caption with its icon in column 0 (249, fixed), advice centred in 1.
  options_.SetImages(images);
  options_.SetColumns({{L"", 249, DT_LEFT, true}, {L"", 10, DT_CENTER, false}});
  options_.SetAutoSizeColumn(1);
  options_.OnGetText = [](model::TreeNode* node, int column) -> std::wstring {
    const catalogue::TraceOption* o = node->DataAs<catalogue::TraceOption>();
    if (!o) return {};
    return column == 0 ? o->Caption : column == 1 ? o->Advice : std::wstring();
  };
  options_.OnGetImageIndex = [](model::TreeNode* node, int column) {
    const catalogue::TraceOption* o = node->DataAs<catalogue::TraceOption>();
    return o && column == 0 ? o->ImageIndex : -1;
  };
  options_.OnMouseDown = [this](ui::MouseButton, const ui::TreeHit& hit) {
    VTTraceOptionMouseDown(hit);
  };
  confirm = [this](const std::wstring& text) {
    return MessageBoxW(owner_, text.c_str(), kMessageCaption, MB_OKCANCEL | MB_ICONQUESTION) ==
           IDOK;
  };

  // VTTraceResult: "项目" and "值", the icon of an item in column 0, of a detail row in 1.
  model_.Images().Reset(images);
  results_.SetModel(&model_.Tree());
  results_.SetColumns({{L"项目", 186, DT_LEFT, false}, {L"值", 298, DT_LEFT, false}});
  results_.SetHeaderVisible(true);
  results_.SetFullRowSelect(true);
  results_.SetImages(model_.Images().Handle());
  results_.OnGetText = [](model::TreeNode* node, int column) -> std::wstring {
    const catalogue::ResultItem* r = node->DataAs<catalogue::ResultItem>();
    if (!r) return {};
    return column == 0 ? r->Text : column == 1 ? r->Location : std::wstring();
  };
  results_.OnGetImageIndex = [](model::TreeNode* node, int column) {
    const catalogue::ResultItem* r = node->DataAs<catalogue::ResultItem>();
    int iconColumn = node->Parent() ? 1 : 0;
    return r && column == iconColumn ? r->ImageIndex : -1;
  };
  HWND stat = c_.stat1;
  model_.OnCountText = [stat](const std::wstring& text) { ui::SetStatusText(stat, 1, text); };
}

void AdvancedPage::VTTraceOptionMouseDown(const ui::TreeHit& hit) {
  if (!hit.node || !hit.node->Parent()) return;
  if (hit.pt.x <= options_.ColumnWidth(0)) return;
  const catalogue::TraceOption* o = hit.node->DataAs<catalogue::TraceOption>();
  if (!o || o->Advice != catalogue::kClickToClear) return;
  bool ie7 = os_ && os_->IsIE7OrLater();
  if (o->Id == catalogue::OptionId::IEFormAutoComplete) {
    if (!confirm(L"说明：将要清除IE浏览器自动完成历史记录中的表单，确定吗？")) return;
    if (ie7) sys::ClearTracksForVista(owner_, 3);
    else sys::ClearAutoCompleteOldSystem(1);
  } else if (o->Id == catalogue::OptionId::IEPasswordAutoComplete) {
    if (!confirm(L"说明：Pellucid将要清除自动完成历史记录中的密码，确定吗？")) return;
    if (ie7) sys::ClearTracksForVista(owner_, 4);
    else sys::ClearAutoCompleteOldSystem(2);
  }
}

void AdvancedPage::Label1Click() {
  catalogue::SetAllOptions(options_.Model(), true);
  InvalidateRect(options_.Handle(), nullptr, TRUE);
}

void AdvancedPage::Label2Click() {
  catalogue::SetAllOptions(options_.Model(), false);
  InvalidateRect(options_.Handle(), nullptr, TRUE);
}

void AdvancedPage::Label3Click() {
  if (os_) catalogue::BuildOptionTree(options_.Model(), *os_, nullptr);
}

std::wstring AdvancedPage::ScanButtonCaption() const {
  wchar_t text[32] = L"";
  GetWindowTextW(c_.buttonScanTrace, text, 32);
  return text;
}

void AdvancedPage::SetScanButtonCaption(const std::wstring& text) {
  SetWindowTextW(c_.buttonScanTrace, text.c_str());
}

void AdvancedPage::EnableClean(bool on) { EnableWindow(c_.buttonDelAllTrace, on); }

void AdvancedPage::ResetResultImages() {
  model_.Images().Reset(images_);
  results_.SetImages(model_.Images().Handle());
}

void AdvancedPage::RepaintResults() { InvalidateRect(results_.Handle(), nullptr, TRUE); }

void AdvancedPage::CleanBusy(bool running) {
  for (HWND b : {c_.buttonScanTrace, c_.buttonCleanOneKey}) EnableWindow(b, !running);
  EnableWindow(c_.buttonDelAllTrace, !running && model_.ItemCount() > 0);
}

}  // namespace app
