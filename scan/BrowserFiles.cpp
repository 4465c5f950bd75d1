#include "scan/BrowserFiles.h"

#include <vector>

#include "catalogue/Images.h"
#include "sys/Text.h"
#include "catalogue/ResultModel.h"
#include "model/TreeModel.h"

namespace scan {
namespace browser {

const wchar_t kOfflineAdvice[] = L"若未使用浏览器的脱机浏览功能，建议删除";

bool IsWalkedDirectory(DWORD attributes, int majorVersion) {
  if (attributes == FILE_ATTRIBUTE_DIRECTORY) return true;
  return majorVersion > 5 &&
         attributes == (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
}

model::TreeNode* AddItem(ScanContext& ctx, const std::wstring& text, int image,
                      catalogue::ResultKind kind, const std::wstring& detail,
                      const std::wstring& location) {
  return ctx.results.AddResultNode(&ctx.results.Tree(), text, nullptr, image, kind, detail,
                                   location);
}

void AddLine(ScanContext& ctx, model::TreeNode* item, const std::wstring& label,
             const std::wstring& value, int image) {
  ctx.results.AddRow(item, label, value, image);
}


void AddTableItem(ScanContext& ctx, const std::wstring& folder, const std::wstring& file,
                  const browsers::TableSource& source, const std::wstring& note,
                  catalogue::ResultKind kind, int image) {
  std::wstring name;
  long long rows = 0;
  if (!browsers::CountTrace(folder + L"\\" + file, source, name, rows) || rows == 0) return;
  model::TreeNode* item = AddItem(ctx, file, image, kind, name, folder + L"\\");
  AddLine(ctx, item, L"说明", sys::Format(L"%s共有%lld条记录。", note.c_str(), rows));
}

void AddCacheFile(ScanContext& ctx, const std::wstring& folder, const std::wstring& file,
                  std::int64_t size, const std::wstring& note, int image) {
  model::TreeNode* item = AddItem(ctx, file, image, catalogue::ResultKind::None, L"", folder);
  if (!item) return;
  if (size > 0) AddLine(ctx, item, L"大小", catalogue::ResultModel::SizeText(size));
  AddLine(ctx, item, note, kOfflineAdvice);
  ctx.results.AddSize(item, size);
}

bool Stopped(const ScanContext& ctx) { return ctx.stopped && ctx.stopped(); }

void Pump(ScanContext& ctx) {
  if (ctx.processMessages) ctx.processMessages();
}

void Status(ScanContext& ctx, const std::wstring& path) {
  if (ctx.status) ctx.status(L"分析: " + path);
}

}  // namespace browser
}  // namespace scan
