// What the Firefox, Chrome and Opera scanners share: the walks' directory test, the row
// count of a profile database, and the items with their detail lines.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "browsers/BrowserDatabases.h"
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

// A table whose trace counts more than 0 (the database read-only, nothing written beside
// it) becomes an item: Text the database file name, Location its folder with a trailing
// backslash, Detail the table as the database spells it, and the line "说明" with the
// count. A locked, damaged or other database, or one without the table, adds nothing.
void AddTableItem(ScanContext& ctx, const std::wstring& folder, const std::wstring& file,
                  const browsers::TableSource& source, const std::wstring& note,
                  catalogue::ResultKind kind, int image);

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
