// What the Firefox, Chrome and Opera scanners share: the walks' directory test, the row
// count of a profile database, and the items with their detail lines.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "catalogue/Images.h"
#include "catalogue/ScanContext.h"
#include "catalogue/ResultModel.h"
#include "model/TreeModel.h"

namespace scan {
namespace browser {

using catalogue::ScanContext;

extern const wchar_t kOfflineAdvice[];  // "若未使用浏览器的脱机浏览功能，建议删除"
const int kLineImage = catalogue::kImageDetail;

// A directory the browser walks enter: attributes exactly FILE_ATTRIBUTE_DIRECTORY, or from
// Vista on also with FILE_ATTRIBUTE_NOT_CONTENT_INDEXED. Links never pass (their reparse
// bit is set), nor do directories with other attributes.
bool IsWalkedDirectory(DWORD attributes, int majorVersion);

// The rows of `table` (letter case ignored) in a database opened read-only. False, and
// nothing to report, when the file is locked, damaged, no database or lacks the table;
// otherwise `name` is the table's name as the database spells it.
bool CountRows(const std::wstring& path, const std::wstring& table, std::wstring& name,
               long long& rows);

// A table with rows becomes an item: Text the database file name, Location its folder
// with a trailing backslash, Detail the table, and the line "说明" with the count.
void AddTableItem(ScanContext& ctx, const std::wstring& folder, const std::wstring& file,
                  const std::wstring& table, const std::wstring& note, catalogue::ResultKind kind,
                  int image);

// A cache or index file: Location the folder without a trailing backslash, "大小" when
// not empty, then `note` with the offline advice; its size counts in the total.
void AddCacheFile(ScanContext& ctx, const std::wstring& folder, const std::wstring& file,
                  std::int64_t size, const std::wstring& note, int image);

// A top-level item and a detail line below it (nothing once a clean has finished).
model::TreeNode* AddItem(ScanContext& ctx, const std::wstring& text, int image,
                      catalogue::ResultKind kind, const std::wstring& detail,
                      const std::wstring& location);
void AddLine(ScanContext& ctx, model::TreeNode* item, const std::wstring& label,
             const std::wstring& value, int image = kLineImage);

bool Stopped(const ScanContext& ctx);
void Pump(ScanContext& ctx);
void Status(ScanContext& ctx, const std::wstring& path);  // "分析: " + path

}  // namespace browser
}  // namespace scan
