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

model::TreeNode* ResultModel::AddResultNode(model::TreeModel* tree, const std::wstring& text,
                                         model::TreeNode* parent, int imageIndex, ResultKind kind,
                                         const std::wstring& detail, const std::wstring& location) {
  ResultItem item;
  item.Text = text;
  item.Location = location;
  item.Detail = detail;
  item.Kind = kind;
  item.ImageIndex = imageIndex;
  return AddResultItem(tree, parent, item);
}

model::TreeNode* ResultModel::AddResultItem(model::TreeModel* tree, model::TreeNode* parent,
                                         const ResultItem& item) {
  if (!tree || cleaned_) return nullptr;
  model::TreeNode* node = tree->Append(parent, item);
  if (!parent) {
    // The user may leave a finding out before cleaning.
    tree->SetCheckType(node, model::CheckType::CheckBox);
    tree->SetCheckStateOnly(node, model::CheckState::Checked);
    tree->SetFocused(node);
  }
  ReportCount();
  return node;
}

model::TreeNode* ResultModel::AddKeyedResult(const std::wstring& rootName,
                                          const std::wstring& keyPath, int imageIndex,
                                          const std::wstring& description,
                                          const std::wstring& valueData,
                                          const std::wstring& valueName) {
  if (rootName.empty() || keyPath.empty()) return nullptr;
  ResultItem record;
  record.Text = rootName;
  record.Location = keyPath;
  record.Detail = valueName;
  record.Kind = ResultKind::Registry;
  record.ValueData = valueData;
  record.ImageIndex = imageIndex;
  model::TreeNode* item = AddResultItem(&tree_, nullptr, record);
  if (!item) return nullptr;
  const ResultKind row = ResultKind::None;
  if (!valueName.empty()) AddResultNode(&tree_, L"键名", item, kImageRegistry, row, L"", valueName);
  if (!valueData.empty())
    AddResultNode(&tree_, L"键值或分析结果", item, kImageDetail, row, L"", valueData);
  if (!description.empty()) AddResultNode(&tree_, L"说明", item, imageIndex, row, L"", description);
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
  ReportCount();
}

}  // namespace catalogue
