#include "catalogue/ResultModel.h"

#include <shellapi.h>

#include "catalogue/Images.h"
#include "sys/Text.h"

namespace catalogue {

void ResultImages::Reset(HIMAGELIST options) {
  if (!list_) list_.reset(ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 64, 64));
  ImageList_RemoveAll(list_.get());
  if (!options) return;
  int n = ImageList_GetImageCount(options);
  for (int i = 0; i < n; ++i) {
    sys::ScopedIcon icon(ImageList_GetIcon(options, i, ILD_TRANSPARENT));
    ImageList_AddIcon(list_.get(), icon.get());
  }
}

int ResultImages::Append(HICON icon) {
  if (!icon) return -1;
  if (!list_) list_.reset(ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 64, 64));
  return ImageList_AddIcon(list_.get(), icon);
}

int ResultImages::AppendFileIcon(const std::wstring& path) {
  SHFILEINFOW info = {};
  if (SHGetFileInfoW(path.c_str(), 0, &info, sizeof info, SHGFI_ICON | SHGFI_SMALLICON) &&
      info.hIcon) {
    sys::ScopedIcon icon(info.hIcon);
    return Append(icon.get());
  }
  // Shared: the system owns it.
  return Append(static_cast<HICON>(LoadImageW(nullptr, MAKEINTRESOURCEW(32517), IMAGE_ICON, 64,
                                              64, LR_SHARED | LR_DEFAULTSIZE)));
}

int ResultImages::Count() const { return list_ ? ImageList_GetImageCount(list_.get()) : 0; }

const wchar_t kDefaultValueMarker[] = L"@D_e_f_a_u_l_t";

const wchar_t* KindText(ResultKind kind) {
  switch (kind) {
    case ResultKind::None: return L"";
    case ResultKind::File: return L"文件";
    case ResultKind::Folder: return L"目录";
    case ResultKind::Shortcut: return L"LnkFile";
    case ResultKind::IECache: return L"IECache";
    case ResultKind::FirefoxDatabase: return L"FireFox";
    case ResultKind::ChromeDatabase: return L"Google Chrome";
    case ResultKind::Configuration: return L"other";
    case ResultKind::IniValue: return L"other";
    case ResultKind::EventLog: return L"EventLog";
    case ResultKind::Registry: return L"";
  }
  return L"";
}

std::wstring ResultModel::CountText(int count) {
  return sys::Format(L" 已扫描到: %d个清理项", count);
}

void ResultModel::ReportCount() {
  if (countBatches_ > 0) {
    countPending_ = batchReported_;
    if (batchReported_) return;
    batchReported_ = true;
  }
  if (OnCountText) OnCountText(CountText(ItemCount()));
}

ResultModel::CountBatch::CountBatch(ResultModel& model) : model_(model) {
  if (model_.countBatches_++ == 0) model_.batchReported_ = model_.countPending_ = false;
}

ResultModel::CountBatch::~CountBatch() {
  if (--model_.countBatches_ > 0 || !model_.countPending_) return;
  model_.countPending_ = false;
  model_.ReportCount();
}

ResultModel::ResultModel() {
  tree_.SetChildMaker([](model::TreeModel& tree, model::TreeNode* node) {
    if (const ResultItem* item = node->DataAs<ResultItem>())
      for (ResultItem& row : RowsOf(*item)) tree.Append(node, std::move(row));
  });
}

std::wstring ResultModel::SizeText(std::int64_t bytes) {
  return std::to_wstring(bytes) + L" Byte";
}

std::vector<ResultItem> ResultModel::RowsOf(const ResultItem& item) {
  std::vector<ResultItem> out;
  if (!item.Rows) return out;
  for (const DetailRow& r : *item.Rows) {
    ResultItem row;
    row.Text = r.Label;
    row.Location = r.IsSize ? SharedText(SizeText(item.Size)) : r.Value;
    row.ImageIndex = r.ImageIndex;
    out.push_back(std::move(row));
  }
  return out;
}

// Findings come folder by folder: the last folder is all the sharing they need.
SharedText ResultModel::ShareLocation(const std::wstring& location) {
  if (!lastLocation_.Equals(location.data(), location.size()))
    lastLocation_ = SharedText(location);
  return lastLocation_;
}

DetailRows ResultModel::ShareRows(std::vector<DetailRow> rows) {
  auto same = [&rows](const DetailRows& list) {
    if (list->size() != rows.size()) return false;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const DetailRow &a = (*list)[i], &b = rows[i];
      if (a.IsSize != b.IsSize || a.ImageIndex != b.ImageIndex || !(a.Label == b.Label) ||
          !(a.Value == b.Value))
        return false;
    }
    return true;
  };
  for (const DetailRows& list : recentRows_)
    if (same(list)) return list;
  // A scanner's findings use a few shapes of rows, and an item grows through each of its
  // shorter shapes on the way.
  constexpr std::size_t kKept = 8;
  if (recentRows_.size() == kKept) recentRows_.pop_back();
  recentRows_.insert(recentRows_.begin(),
                     std::make_shared<const std::vector<DetailRow>>(std::move(rows)));
  return recentRows_.front();
}

model::TreeNode* ResultModel::AddResultNode(model::TreeModel* tree, const std::wstring& text,
                                         model::TreeNode* parent, int imageIndex, ResultKind kind,
                                         const std::wstring& detail, const std::wstring& location) {
  if (!tree || cleaned_) return nullptr;
  ResultItem item;
  item.Text = text;
  item.Location = tree == &tree_ ? ShareLocation(location) : SharedText(location);
  item.Detail = detail;
  item.Kind = kind;
  item.ImageIndex = imageIndex;
  return AddResultItem(tree, parent, item);
}

model::TreeNode* ResultModel::AddResultItem(model::TreeModel* tree, model::TreeNode* parent,
                                         const ResultItem& item) {
  if (!tree || cleaned_) return nullptr;
  if (parent && tree == &tree_ && parent->DataAs<ResultItem>()) {
    AddRow(parent, item.Text, item.Location, item.ImageIndex);
    tree_.MakeChildren(parent);
    return parent->LastChild();
  }
  model::TreeNode* node = tree->Append(parent, item);
  if (!parent) {
    // The user may leave a finding out before cleaning.
    tree->SetCheckType(node, model::CheckType::CheckBox);
    tree->SetCheckStateOnly(node, model::CheckState::Checked);
    tree->SetFocused(node);
    if (item.Rows) tree->SetLazyChildren(node, item.Rows->size());
  }
  ReportCount();
  return node;
}

void ResultModel::AddSize(model::TreeNode* item, std::int64_t bytes) {
  if (!item) return;
  sizeTotal_ += bytes;
  MarkSizeCounted(item);
}

void ResultModel::MarkSizeCounted(model::TreeNode* item) {
  if (ResultItem* record = item ? item->DataAs<ResultItem>() : nullptr) record->SizeCounted = true;
}

void ResultModel::AddRow(model::TreeNode* item, const std::wstring& label,
                         const std::wstring& value, int imageIndex) {
  ResultItem* record = item && !cleaned_ ? item->DataAs<ResultItem>() : nullptr;
  if (!record) return;
  DetailRow row{SharedText(label), SharedText(value), imageIndex, false};
  if (label == L"大小") {
    record->Size = _wtoi64(value.c_str());
    if (value == SizeText(record->Size)) row = {row.Label, SharedText(), imageIndex, true};
  }
  std::vector<DetailRow> rows;
  if (record->Rows) rows = *record->Rows;
  rows.push_back(std::move(row));
  record->Rows = ShareRows(std::move(rows));
  // Rows already made (or an open item) get the new one as a node at once.
  if ((item->ChildrenMade() && item->ChildCount() > 0) || item->Expanded())
    tree_.Append(item, RowsOf(*record).back());
  tree_.SetLazyChildren(item, record->Rows->size());
  ReportCount();
}

model::TreeNode* ResultModel::AddKeyedResult(const std::wstring& rootName,
                                          const std::wstring& keyPath, int imageIndex,
                                          const std::wstring& description,
                                          const std::wstring& valueData,
                                          const std::wstring& valueName, sys::RegView view) {
  if (rootName.empty() || keyPath.empty()) return nullptr;
  ResultItem record;
  record.Text = rootName;
  record.Location = ShareLocation(keyPath);
  record.Detail = valueName;
  record.Kind = ResultKind::Registry;
  record.ValueData = valueData;
  record.ImageIndex = imageIndex;
  record.View = view;
  model::TreeNode* item = AddResultItem(&tree_, nullptr, record);
  if (!item) return nullptr;
  if (!valueName.empty()) AddRow(item, L"键名", valueName, kImageRegistry);
  if (!valueData.empty()) AddRow(item, L"键值或分析结果", valueData, kImageDetail);
  if (!description.empty()) AddRow(item, L"说明", description, imageIndex);
  return item;
}

void ResultModel::Remove(model::TreeNode* node) {
  if (!node) return;
  tree_.Delete(node);
  ReportCount();
}

void ResultModel::Clear() {
  ++clears_;
  tree_.Clear();
  lastLocation_ = SharedText();
  recentRows_.clear();
  ReportCount();
}

}  // namespace catalogue
