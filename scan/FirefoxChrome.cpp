// Firefox and Chrome: rows of the profile databases, the older flat files of Firefox and
// the files of both browsers' disk caches, in the layouts of old and of current versions.
#include <shlobj.h>

#include <vector>

#include "catalogue/Images.h"
#include "scan/BrowserFiles.h"
#include "scan/BrowserTraces.h"
#include "sys/FileSearch.h"
#include "sys/FolderWalk.h"
#include "machine/Folders.h"
#include "sys/Text.h"
#include "sys/FileUtils.h"
#include "machine/TarnGetOSInfo.h"

namespace scan {

namespace {

using namespace browser;

const int kFirefoxImage = catalogue::kImageFirefoxData;
const int kChromeImage = catalogue::kImageChrome;

// One Firefox option: its database and table, the flat file older versions kept instead,
// and the note of its items.
struct FirefoxSource {
  const wchar_t* database;
  const wchar_t* table;
  const wchar_t* flatFile;
  const wchar_t* note;
};

const FirefoxSource kFirefoxHistory = {L"places.sqlite", L"moz_historyvisits", L"history.dat",
                                       L"FireFox 浏览历史"};
const FirefoxSource kFirefoxDownloads = {L"downloads.sqlite", L"moz_downloads",
                                         L"downloads.rdf", L"FireFox 下载历史"};
const FirefoxSource kFirefoxForms = {L"formhistory.sqlite", L"moz_formhistory",
                                     L"formhistory.dat", L"FireFox 已保存的表单和搜索历史"};
const FirefoxSource kFirefoxCookies = {L"cookies.sqlite", L"moz_cookies", L"cookies.txt",
                                       L"FireFox Cookies"};
const wchar_t kFirefoxCacheNote[] = L"FireFox 缓存";
// "Cache" up to Firefox 31, "cache2" since Firefox 32.
const wchar_t* const kFirefoxCacheFolders[] = {L"cache", L"cache2"};

const wchar_t kChromeHistoryNote[] = L"Chrome 浏览历史";
const wchar_t kChromeDownloadsNote[] = L"Chrome 下载历史";
const wchar_t kChromeCacheNote[] = L"Google Chrome 缓存";
const wchar_t kChromeCookiesNote[] = L"Chrome Cookies";
const wchar_t kChromeLoginsNote[] = L"Chrome 已保存的用户名和密码";
const wchar_t* const kChromeHistoryTables[] = {L"segments", L"segment_usages", L"urls",
                                               L"visits", L"keyword_search_terms"};

bool Hidden(const std::wstring& name) { return !name.empty() && name[0] == L'.'; }

bool SameName(const std::wstring& a, const wchar_t* b) {
  return b && sys::LowerCase(a) == sys::LowerCase(b);
}

// Before Windows 2000 the profiles lived below the Windows folder.
std::wstring OldSystemRoot(const ScanContext& ctx) { return ctx.folders.windows; }

std::wstring FirefoxProfiles(const ScanContext& ctx) {
  std::wstring base = ctx.os.MajorVersion <= 4 ? OldSystemRoot(ctx)
                                               : sys::EnvironmentVariable(L"USERPROFILE");
  return base.empty() ? base : base + L"\\Application Data\\Mozilla\\Firefox\\Profiles";
}

std::wstring FirefoxCacheRoot(const ScanContext& ctx) {
  if (ctx.os.MajorVersion <= 4) {
    std::wstring base = OldSystemRoot(ctx);
    return base.empty() ? base : base + L"\\Application Data\\Mozilla\\Firefox\\Profiles";
  }
  std::wstring base = sys::EnvironmentVariable(L"USERPROFILE");
  return base.empty() ? base
                      : base + L"\\Local Settings\\Application Data\\Mozilla\\Firefox\\Profiles";
}

std::wstring ChromeProfile(const ScanContext& ctx) {
  if (ctx.os.MajorVersion <= 4) {
    std::wstring base = OldSystemRoot(ctx);
    return base.empty() ? base : base + L"\\Application Data\\Google\\Chrome\\User Data\\Default";
  }
  std::wstring local = ctx.folders.Special(CSIDL_LOCAL_APPDATA);
  return local.empty() ? local : sys::WithBackslash(local) + L"Google\\Chrome\\User Data\\Default";
}

// Every folder below `root`: the source's database tables with rows and its flat files.
// A database that cannot be read adds nothing and ends nothing else.
void WalkFirefoxDatabases(ScanContext& ctx, const std::wstring& root,
                          const FirefoxSource& source) {
  for (sys::FolderWalk walk(root); !Stopped(ctx) && walk.Next();) {
    const std::wstring folder = walk.Folder();
    for (sys::FileSearch s(folder + L"\\*.*"); s.Found(); s.Next()) {
      const std::wstring name = s.Name();
      if (Hidden(name)) continue;
      const std::wstring path = folder + L"\\" + name;
      Status(ctx, path);
      if (IsWalkedDirectory(s.Attributes(), ctx.os.MajorVersion)) {
        walk.Enter(path, s.Attributes());
      } else if (!s.IsDirectory()) {
        if (SameName(name, source.database)) {
          AddTableItem(ctx, folder, name, source.table, source.note,
                       catalogue::ResultKind::FirefoxDatabase, kFirefoxImage);
        } else if (SameName(name, source.flatFile)) {
          model::TreeNode* item =
              AddItem(ctx, name, kFirefoxImage, catalogue::ResultKind::None, L"", folder + L"\\");
          AddLine(ctx, item, L"大小", catalogue::ResultModel::SizeText(s.Size()));
          AddLine(ctx, item, L"说明", source.note);
        }
      }
      if (Stopped(ctx)) return;
      Pump(ctx);
    }
  }
}

// The files of a cache folder, and of the folders below it when `deep` (the files of a
// current cache live in sub-folders); each file is an item of its own folder. A mask
// that takes every file makes `root` a folder whose every file the clean deletes.
void ListCacheFiles(ScanContext& ctx, const std::wstring& root, const std::wstring& mask,
                    const std::wstring& note, int image, bool deep, bool statusWithName) {
  const bool everyFile = mask == L"*.*";
  if (everyFile ? !machine::SafeToEmpty(root, ctx.folders) : !sys::IsPlainFolder(root)) return;
  for (sys::FolderWalk walk(root); !Stopped(ctx) && walk.Next();) {
    const std::wstring folder = walk.Folder();
    for (sys::FileSearch s(folder + L"\\" + mask); s.Found(); s.Next()) {
      const std::wstring name = s.Name();
      if (Hidden(name)) continue;
      if (s.IsDirectory()) {
        if (deep && IsWalkedDirectory(s.Attributes(), ctx.os.MajorVersion))
          walk.Enter(folder + L"\\" + name, s.Attributes());
      } else {
        Status(ctx, statusWithName ? folder + L"\\" + name : folder);
        AddCacheFile(ctx, folder, name, s.Size(), note, image);
      }
      if (Stopped(ctx)) return;
      Pump(ctx);
    }
  }
}

bool IsFirefoxCacheFolder(const std::wstring& name) {
  for (const wchar_t* cache : kFirefoxCacheFolders)
    if (SameName(name, cache)) return true;
  return false;
}

// Looks for the profiles below `root`: a folder holding a cache is a profile, whose
// other sub-folders hold no cache of their own.
void WalkFirefoxCaches(ScanContext& ctx, const std::wstring& root) {
  for (sys::FolderWalk walk(root); !Stopped(ctx) && walk.Next();) {
    const std::wstring folder = walk.Folder();
    bool profile = false;
    std::vector<std::pair<std::wstring, DWORD>> below;
    for (sys::FileSearch s(folder + L"\\*.*"); s.Found(); s.Next()) {
      const std::wstring name = s.Name();
      if (Hidden(name)) continue;
      const std::wstring path = folder + L"\\" + name;
      Status(ctx, path);
      if (IsWalkedDirectory(s.Attributes(), ctx.os.MajorVersion)) {
        if (IsFirefoxCacheFolder(name)) {
          ListCacheFiles(ctx, path, L"*.*", kFirefoxCacheNote, kFirefoxImage, true, false);
          profile = true;
        } else {
          below.emplace_back(path, s.Attributes());
        }
      }
      if (Stopped(ctx)) return;
      Pump(ctx);
    }
    if (!profile)
      for (const auto& b : below) walk.Enter(b.first, b.second);
  }
}

// One level of the profile folder: the table of the database file, when it has rows.
void CheckChromeDatabase(ScanContext& ctx, const std::wstring& folder, const wchar_t* database,
                         const wchar_t* table, const wchar_t* note) {
  if (Stopped(ctx) || !sys::IsPlainFolder(folder)) return;
  for (sys::FileSearch s(folder + L"\\*.*"); s.Found(); s.Next()) {
    const std::wstring name = s.Name();
    if (Hidden(name)) continue;
    Status(ctx, folder + L"\\" + name);
    if (!s.IsDirectory() && SameName(name, database))
      AddTableItem(ctx, folder, name, table, note, catalogue::ResultKind::ChromeDatabase,
                   kChromeImage);
    if (Stopped(ctx)) return;
    Pump(ctx);
  }
}

void ListChromeFiles(ScanContext& ctx, const std::wstring& folder, const wchar_t* mask,
                     bool deep) {
  if (Stopped(ctx)) return;
  ListCacheFiles(ctx, folder, mask, kChromeCacheNote, kChromeImage, deep, true);
}

}  // namespace

void ScanFirefox(ScanContext& ctx, bool history, bool downloads, bool formHistory, bool cache,
                 bool cookies) {
  const std::wstring profiles = FirefoxProfiles(ctx);
  if (!profiles.empty() && sys::DirectoryExists(profiles)) {
    const struct {
      bool wanted;
      const FirefoxSource& source;
    } walks[] = {{history, kFirefoxHistory},
                 {downloads, kFirefoxDownloads},
                 {formHistory, kFirefoxForms},
                 {cookies, kFirefoxCookies}};
    for (const auto& w : walks)
      if (w.wanted && !Stopped(ctx)) WalkFirefoxDatabases(ctx, profiles, w.source);
  }
  const std::wstring cacheRoot = FirefoxCacheRoot(ctx);
  if (cache && !cacheRoot.empty() && !Stopped(ctx)) WalkFirefoxCaches(ctx, cacheRoot);
}

void ScanChrome(ScanContext& ctx, bool history, bool downloads, bool cache, bool cookies,
                bool logins) {
  const std::wstring profile = ChromeProfile(ctx);
  if (profile.empty() || !sys::DirectoryExists(profile)) return;
  if (history) {
    for (const wchar_t* table : kChromeHistoryTables)
      CheckChromeDatabase(ctx, profile, L"History", table, kChromeHistoryNote);
    if (!Stopped(ctx))
      ListCacheFiles(ctx, profile, L"History Index 200*", kChromeHistoryNote, kChromeImage,
                     false, true);
  }
  if (downloads) CheckChromeDatabase(ctx, profile, L"History", L"downloads", kChromeDownloadsNote);
  if (logins) {
    CheckChromeDatabase(ctx, profile, L"Web Data", L"logins", kChromeLoginsNote);
    // Chrome keeps the saved logins in a database of their own since 2011.
    CheckChromeDatabase(ctx, profile, L"Login Data", L"logins", kChromeLoginsNote);
  }
  if (cookies) {
    CheckChromeDatabase(ctx, profile, L"Cookies", L"cookies", kChromeCookiesNote);
    // Moved below "Network" in Chrome 96.
    CheckChromeDatabase(ctx, profile + L"\\Network", L"Cookies", L"cookies", kChromeCookiesNote);
  }
  if (cache) {
    ListChromeFiles(ctx, profile + L"\\Cache", L"*.*", false);
    ListChromeFiles(ctx, profile + L"\\Cache\\Cache_Data", L"*.*", true);
    ListChromeFiles(ctx, profile + L"\\Code Cache", L"*.*", true);
  }
}

}  // namespace scan
