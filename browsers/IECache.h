// The Internet Explorer URL cache: listed by a scan and deleted by the clean, which both
// stand on this library.
#pragma once
#include <windows.h>

#include <set>
#include <string>

#include "catalogue/ScanContext.h"

namespace browsers {

using catalogue::ScanContext;

// Mode 0 all entries, 1 without cookies, 2 without cookies and history; other modes do
// nothing. In delete mode the entries are removed instead of reported, except those whose
// name (local file, or URL) is in `keep`, and then every cache item leaves the results.
void ScanIECache(ScanContext& ctx, int mode, bool deleteMode,
                 const std::set<std::wstring>& keep = {});
// Whether the cache walk takes an entry in `mode`: URL-history entries only when last
// synchronised today (local time), or when that time cannot be converted.
bool IECacheEntryTaken(DWORD type, const FILETIME& lastSync, int mode);

}  // namespace browsers
