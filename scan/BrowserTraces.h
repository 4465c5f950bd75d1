// The browser sources: the Internet Explorer URL cache, Firefox, Chrome and Opera.
#pragma once
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "catalogue/ScanContext.h"

namespace scan {

using catalogue::ScanContext;

// Mode 0 all entries, 1 without cookies, 2 without cookies and history; other modes do
// nothing. In delete mode the entries are removed instead of reported, except those whose
// name (local file, or URL) is in `keep`, and then every cache item leaves the results.
void ScanIECache(ScanContext& ctx, int mode, bool deleteMode,
                 const std::set<std::wstring>& keep = {});
// Whether the cache walk takes an entry in `mode`: URL-history entries only when last
// synchronised today (local time), or when that time cannot be converted.
bool IECacheEntryTaken(DWORD type, const FILETIME& lastSync, int mode);
// The profile databases' tables with rows, older flat files and cache files. Firefox: the
// profiles below USERPROFILE's "Application Data" and their caches below "Local Settings"
// ("Cache" and "cache2"). Chrome: the "Default" profile of the local application data,
// with the files of current versions ("Login Data", "Network\Cookies", "Cache\Cache_Data",
// "Code Cache") beside the older ones.
void ScanFirefox(ScanContext& ctx, bool history, bool downloads, bool formHistory, bool cache,
                 bool cookies);
void ScanChrome(ScanContext& ctx, bool history, bool downloads, bool cache, bool cookies,
                bool logins);
// The trace files of the Opera profile and the folders its "opera6.ini" names.
void ScanOpera(ScanContext& ctx, bool cache, bool visits, bool downloads, bool cookies);
// The clean of Opera's session list ("autosave.win") keeps its first window: it erases
// the sections of the later windows that are in the file, each once, and sets "window
// count" to 1 where it is more.
struct OperaSessionEdit {
  bool readable = false;  // nothing can be said of a file that cannot be read
  std::vector<std::wstring> sections;
  bool resetCount = false;
  bool Changes() const { return resetCount || !sections.empty(); }
};
OperaSessionEdit PlanOperaSessionEdit(const std::wstring& path);
// False when the file could not be read or written.
bool ApplyOperaSessionEdit(const std::wstring& path, const OperaSessionEdit& edit);
// With a trailing backslash: "Opera" in the program files folder unless the registry names
// the installation there; empty without a program files folder.
std::wstring OperaInstallationFolder(const machine::Folders& folders);

}  // namespace scan
