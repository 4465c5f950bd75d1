// The Internet Explorer URL cache: listed in a scan, deleted by the clean.
#include <windows.h>

#include <vector>

#include "catalogue/Images.h"
#include "browsers/IECache.h"
#include "sys/FileUtils.h"
#include "sys/Text.h"
#include "sys/TrackLibrary.h"
#include "sys/UrlCache.h"
#include "catalogue/ResultModel.h"
#include "machine/TarnGetOSInfo.h"
#include "model/TreeModel.h"

namespace browsers {

using namespace catalogue::images;

namespace {

const DWORD kCookieEntry = 0x100001;
const DWORD kHistoryEntry = 0x200001;
const DWORD kHistoryBit = 0x200000;

bool TakenByMode(DWORD type, int mode) {
  if (mode == 1) return type != kCookieEntry;
  if (mode == 2) return type != kCookieEntry && type != kHistoryEntry;
  return true;
}

// History entries count only when last synchronised today; a date that cannot be
// converted counts as today.
bool SyncedToday(const FILETIME& sync) {
  FILETIME local;
  WORD date = 0, time = 0;
  if (!FileTimeToLocalFileTime(&sync, &local) || !FileTimeToDosDateTime(&local, &date, &time))
    return true;
  SYSTEMTIME now;
  GetLocalTime(&now);
  WORD today = WORD(((now.wYear - 1980) << 9) | (now.wMonth << 5) | now.wDay);
  return date == today;
}

std::wstring EntryName(const INTERNET_CACHE_ENTRY_INFOW& e) {
  std::wstring local = e.lpszLocalFileName ? e.lpszLocalFileName : L"";
  if (!sys::Trim(local).empty()) return local;
  return e.lpszSourceUrlName ? e.lpszSourceUrlName : L"";
}

// The name after the last "\" or ":", without leading slashes: for a URL, the host and
// the path.
std::wstring ItemText(const std::wstring& name) {
  size_t cut = name.find_last_of(L"\\:");
  std::wstring text = cut == std::wstring::npos ? name : name.substr(cut + 1);
  size_t first = text.find_first_not_of(L'/');
  return first == std::wstring::npos ? std::wstring() : text.substr(first);
}

void AddItem(ScanContext& ctx, const INTERNET_CACHE_ENTRY_INFOW& e) {
  std::wstring name = EntryName(e);
  ctx.status(L"分析: " + name);
  std::int64_t size = (std::int64_t(e.dwSizeHigh) << 32) | e.dwSizeLow;
  model::TreeModel* tree = &ctx.results.Tree();
  model::TreeNode* item = ctx.results.AddResultNode(
      tree, ItemText(name), nullptr,
      catalogue::ImageForExtension(name, catalogue::kImageWebPage,
                                   catalogue::ExtensionIcons::CacheEntries),
      catalogue::ResultKind::IECache, L"", name);
  if (item) {
    if (size > 0)
      ctx.results.AddRow(item, L"大小", catalogue::ResultModel::SizeText(size), kImageDetail);
    ctx.results.AddRow(item, L"IE缓存", L"若未使用浏览器的脱机浏览功能，建议删除", kImageDetail);
    ctx.results.AddSize(item, size);
  }
  ctx.processMessages();
}

// Calls `treat` for every cache entry; `stop` is asked after each one. The walk ends on
// any error other than a buffer too small for the next entry.
template <typename Treat, typename Stop>
void WalkCache(Treat treat, Stop stop) {
  std::vector<BYTE> buffer;
  auto entry = [&] { return reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.data()); };
  DWORD size = 0;
  HANDLE find = sys::wininet::FindFirstUrlCacheEntryW(nullptr, nullptr, &size);
  if (find) {  // no buffer asked: nothing can have been returned
    sys::wininet::FindCloseUrlCache(find);
    find = nullptr;
  }
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return;
  buffer.assign(size, 0);
  find = sys::wininet::FindFirstUrlCacheEntryW(nullptr, entry(), &size);
  if (!find) return;
  try {
    treat(*entry());
  } catch (...) {
    // One entry's error is swallowed; the walk goes on.
  }
  for (;;) {
    if (stop()) break;
    size = 0;
    if (sys::wininet::FindNextUrlCacheEntryW(find, nullptr, &size)) continue;
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) break;
    buffer.assign(size, 0);
    if (!sys::wininet::FindNextUrlCacheEntryW(find, entry(), &size)) continue;
    try {
      treat(*entry());
    } catch (...) {
      // One entry's error is swallowed; the walk goes on.
    }
  }
  sys::wininet::FindCloseUrlCache(find);
}

}  // namespace

bool IECacheEntryTaken(DWORD type, const FILETIME& lastSync, int mode) {
  if (!TakenByMode(type, mode)) return false;
  return !(type & kHistoryBit) || SyncedToday(lastSync);
}

void ScanIECache(ScanContext& ctx, int mode, bool deleteMode,
                 const std::set<std::wstring>& keep) {
  if (mode < 0 || mode > 2) return;
  // The track library clears whole kinds: not when some entries are to be kept.
  if (deleteMode && keep.empty() && ctx.os.IsIE7OrLater()) {
    static const std::vector<int> codes[3] = {{0, 1, 2}, {0, 2}, {2}};
    for (int code : codes[mode]) sys::ClearTracksForVista(nullptr, code);
  }
  auto taken = [mode](const INTERNET_CACHE_ENTRY_INFOW& e) {
    return IECacheEntryTaken(e.CacheEntryType, e.LastSyncTime, mode);
  };
  if (!deleteMode) {
    WalkCache([&](const INTERNET_CACHE_ENTRY_INFOW& e) {
      if (taken(e)) AddItem(ctx, e);
    }, [&] { return ctx.stopped(); });
    return;
  }
  // The URLs are collected first so that deleting never disturbs the walk itself.
  std::vector<std::wstring> urls;
  WalkCache([&](const INTERNET_CACHE_ENTRY_INFOW& e) {
    if (taken(e) && e.lpszSourceUrlName && !keep.count(EntryName(e)))
      urls.emplace_back(e.lpszSourceUrlName);
  }, [] { return false; });
  for (const std::wstring& url : urls) {
    ctx.status(sys::Format(L"正在删除IE缓存：%s", url.c_str()));
    ctx.processMessages();
    sys::wininet::DeleteUrlCacheEntryW(url.c_str());
  }
  for (model::TreeNode* n = ctx.results.Tree().FirstTopLevel(); n;) {
    model::TreeNode* next = n->NextSibling();
    const catalogue::ResultItem* r = n->DataAs<catalogue::ResultItem>();
    if (r && r->Kind == catalogue::ResultKind::IECache) ctx.results.Remove(n);
    n = next;
  }
}

}  // namespace browsers
