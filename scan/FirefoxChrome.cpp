// Firefox and the Chromium family: rows of the profile databases, the older flat files of
// Firefox and the files of the browsers' disk caches, in the layouts of old and of current
// versions, in every profile.
#include <shlobj.h>

#include <vector>

#include "browsers/BrowserDatabases.h"
#include "browsers/ChromiumBrowsers.h"
#include "catalogue/Images.h"
#include "scan/BrowserFiles.h"
#include "scan/BrowserTraces.h"
#include "sys/FileSearch.h"
#include "sys/FolderWalk.h"
#include "machine/Folders.h"
#include "sys/Text.h"
#include "sys/FileUtils.h"
#include "sys/Handles.h"
#include "machine/TarnGetOSInfo.h"

namespace scan {

namespace {

using namespace browser;

const int kFirefoxImage = catalogue::kImageFirefoxData;
const int kChromeImage = catalogue::kImageChrome;

using browsers::Engine;
using browsers::Trace;

// One Firefox option: the trace whose database tables it takes (browsers/BrowserDatabases),
// the flat file older versions kept instead, and the note of its items.
struct FirefoxSource {
  Trace trace;
  const wchar_t* flatFile;
  const wchar_t* note;
};

const FirefoxSource kFirefoxHistory = {Trace::History, L"history.dat", L"FireFox 浏览历史"};
const FirefoxSource kFirefoxDownloads = {Trace::Downloads, L"downloads.rdf", L"FireFox 下载历史"};
const FirefoxSource kFirefoxForms = {Trace::FormHistory, L"formhistory.dat",
                                     L"FireFox 已保存的表单和搜索历史"};
const FirefoxSource kFirefoxCookies = {Trace::Cookies, L"cookies.txt", L"FireFox Cookies"};
const wchar_t kFirefoxCacheNote[] = L"FireFox 缓存";
// "Cache" up to Firefox 31, "cache2" since Firefox 32.
const wchar_t* const kFirefoxCacheFolders[] = {L"cache", L"cache2"};


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

// The tables of an option's databases that a file of this name holds, each an item when
// its trace is not empty. False when the name is none of the option's databases.
bool TakeFirefoxDatabase(ScanContext& ctx, const std::wstring& folder, const std::wstring& name,
                         const FirefoxSource& source) {
  const auto tables = browsers::SourcesOf(Engine::Firefox, source.trace, name);
  for (const browsers::TableSource* t : tables)
    AddTableItem(ctx, folder, name, *t, source.note, catalogue::ResultKind::FirefoxDatabase,
                 kFirefoxImage);
  return !tables.empty();
}

void AddFlatFile(ScanContext& ctx, const std::wstring& folder, const std::wstring& name,
                 std::int64_t size, const FirefoxSource& source) {
  model::TreeNode* item =
      AddItem(ctx, name, kFirefoxImage, catalogue::ResultKind::None, L"", folder + L"\\");
  AddLine(ctx, item, L"大小", catalogue::ResultModel::SizeText(size));
  AddLine(ctx, item, L"说明", source.note);
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
        if (!TakeFirefoxDatabase(ctx, folder, name, source) && SameName(name, source.flatFile))
          AddFlatFile(ctx, folder, name, s.Size(), source);
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

// One level of the profile folder: the table of the database file, when its trace is not
// empty.
void CheckChromeDatabase(ScanContext& ctx, const std::wstring& folder,
                         const browsers::TableSource& table, const wchar_t* note, int image) {
  if (Stopped(ctx) || !sys::IsPlainFolder(folder)) return;
  for (sys::FileSearch s(folder + L"\\*.*"); s.Found(); s.Next()) {
    const std::wstring name = s.Name();
    if (Hidden(name)) continue;
    Status(ctx, folder + L"\\" + name);
    if (!s.IsDirectory() && SameName(name, table.database))
      AddTableItem(ctx, folder, name, table, note, catalogue::ResultKind::ChromeDatabase, image);
    if (Stopped(ctx)) return;
    Pump(ctx);
  }
}

// Every table of a trace in the profile's databases of these names.
void CheckChromeTrace(ScanContext& ctx, const std::wstring& folder, Trace trace,
                      const wchar_t* database, const wchar_t* note, int image) {
  for (const browsers::TableSource* t : browsers::SourcesOf(Engine::Chromium, trace, database))
    CheckChromeDatabase(ctx, folder, *t, note, image);
}

// One profile of a Chromium-family browser; `twin` is where the browser keeps the
// profile's cache when not in the profile itself (empty: nowhere else).
void ScanChromiumProfile(ScanContext& ctx, const std::wstring& profile, const std::wstring& twin,
                         const ChromiumScan& scan) {
  const int image = scan.image;
  if (scan.history) {
    for (const std::wstring& db : browsers::DatabasesOf(Engine::Chromium, Trace::History))
      CheckChromeTrace(ctx, profile, Trace::History, db.c_str(), scan.historyNote, image);
    if (!Stopped(ctx))
      ListCacheFiles(ctx, profile, L"History Index 200*", scan.historyNote, image, false, true);
  }
  if (scan.downloads)
    CheckChromeTrace(ctx, profile, Trace::Downloads, L"History", scan.downloadsNote, image);
  if (scan.logins)
    for (const wchar_t* db : {L"Web Data", L"Login Data", L"Login Data For Account"})
      CheckChromeTrace(ctx, profile, Trace::Logins, db, scan.loginsNote, image);
  if (scan.cookies) {
    CheckChromeTrace(ctx, profile, Trace::Cookies, L"Cookies", scan.cookiesNote, image);
    // Moved below "Network" in Chrome 96.
    CheckChromeTrace(ctx, profile + L"\\Network", Trace::Cookies, L"Cookies", scan.cookiesNote,
                     image);
  }
  if (scan.cache) {
    for (const std::wstring& base : {profile, twin}) {
      if (base.empty() || Stopped(ctx)) continue;
      ListCacheFiles(ctx, base + L"\\Cache", L"*.*", scan.cacheNote, image, false, true);
      if (!Stopped(ctx))
        ListCacheFiles(ctx, base + L"\\Cache\\Cache_Data", L"*.*", scan.cacheNote, image, true,
                       true);
      if (!Stopped(ctx))
        ListCacheFiles(ctx, base + L"\\Code Cache", L"*.*", scan.cacheNote, image, true, true);
    }
  }
}

// Firefox's own list of profiles ("profiles.ini", UTF-8 written): each profile's folder,
// with whether its path is relative to the folder that holds the list.
struct IniProfile {
  std::wstring path;
  bool relative;
};

std::vector<IniProfile> FirefoxIniProfiles(const std::wstring& file) {
  std::vector<IniProfile> profiles;
  sys::ScopedFile h(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size;
  if (!h || !GetFileSizeEx(h.get(), &size) || size.QuadPart > (1 << 20)) return profiles;
  std::string bytes(size_t(size.QuadPart), '\0');
  DWORD read = 0;
  if (!bytes.empty() && !ReadFile(h.get(), &bytes[0], DWORD(bytes.size()), &read, nullptr))
    return profiles;
  bytes.resize(read);
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
  std::wstring text = sys::FromUtf8(bytes);
  bool inProfile = false;
  IniProfile current{L"", true};
  auto flush = [&] {
    if (inProfile && !current.path.empty()) profiles.push_back(current);
    current = {L"", true};
  };
  size_t at = 0;
  while (at <= text.size()) {
    size_t end = text.find(L'\n', at);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = sys::Trim(text.substr(at, end - at));
    at = end + 1;
    if (!line.empty() && line[0] == L'[') {
      flush();
      inProfile = sys::StartsWith(sys::LowerCase(line), L"[profile");
      continue;
    }
    const size_t eq = line.find(L'=');
    if (!inProfile || eq == std::wstring::npos) continue;
    const std::wstring key = sys::LowerCase(sys::Trim(line.substr(0, eq)));
    const std::wstring value = sys::Trim(line.substr(eq + 1));
    if (key == L"path") current.path = value;
    if (key == L"isrelative") current.relative = value != L"0";
  }
  flush();
  for (IniProfile& p : profiles)
    for (wchar_t& c : p.path)
      if (c == L'/') c = L'\\';
  return profiles;
}

// The profiles "profiles.ini" names outside the folder the walks search anyway: their
// databases and flat files (one level: a profile keeps them at its top), and their caches,
// which Firefox keeps below the local application data for a relative profile and in the
// profile itself for one elsewhere.
void ScanFirefoxIniProfiles(ScanContext& ctx, const std::wstring& profiles,
                            const std::wstring& cacheRoot,
                            const std::vector<const FirefoxSource*>& sources, bool cache) {
  const std::wstring root = profiles.substr(0, profiles.find_last_of(L'\\'));
  const std::wstring walked = sys::LowerCase(profiles) + L"\\";
  for (const IniProfile& p : FirefoxIniProfiles(root + L"\\profiles.ini")) {
    const std::wstring folder = p.relative ? root + L"\\" + p.path : p.path;
    if (Stopped(ctx)) return;
    if (sys::StartsWith(sys::LowerCase(folder) + L"\\", walked) || !sys::IsPlainFolder(folder))
      continue;
    for (sys::FileSearch s(folder + L"\\*.*"); s.Found(); s.Next()) {
      if (s.IsDirectory() || Hidden(s.Name())) continue;
      for (const FirefoxSource* source : sources)
        if (!TakeFirefoxDatabase(ctx, folder, s.Name(), *source) &&
            SameName(s.Name(), source->flatFile))
          AddFlatFile(ctx, folder, s.Name(), s.Size(), *source);
    }
    if (!cache || cacheRoot.empty()) continue;
    const std::wstring cacheParent = cacheRoot.substr(0, cacheRoot.find_last_of(L'\\'));
    const std::wstring local = p.relative ? cacheParent + L"\\" + p.path : folder;
    // A cache the list names outside Firefox's own folders must look like one.
    const machine::ProgramMark mark{{root, cacheParent}, {L"index", L"entries", L"_CACHE_MAP_"}};
    for (const wchar_t* name : kFirefoxCacheFolders)
      if (!Stopped(ctx) && machine::SafeNamedFolder(local + L"\\" + name, ctx.folders, mark))
        ListCacheFiles(ctx, local + L"\\" + name, L"*.*", kFirefoxCacheNote, kFirefoxImage, true,
                       false);
  }
}

}  // namespace

bool FirefoxProfileListExists(const ScanContext& ctx) {
  const std::wstring profiles = FirefoxProfiles(ctx);
  return !profiles.empty() &&
         sys::FileExists(profiles.substr(0, profiles.find_last_of(L'\\')) + L"\\profiles.ini");
}

void ScanFirefox(ScanContext& ctx, bool history, bool downloads, bool formHistory, bool cache,
                 bool cookies) {
  const std::wstring profiles = FirefoxProfiles(ctx);
  const std::wstring cacheRoot = FirefoxCacheRoot(ctx);
  std::vector<const FirefoxSource*> wanted;
  const struct {
    bool wanted;
    const FirefoxSource& source;
  } walks[] = {{history, kFirefoxHistory},
               {downloads, kFirefoxDownloads},
               {formHistory, kFirefoxForms},
               {cookies, kFirefoxCookies}};
  for (const auto& w : walks)
    if (w.wanted) wanted.push_back(&w.source);
  if (!profiles.empty() && sys::DirectoryExists(profiles))
    for (const FirefoxSource* source : wanted)
      if (!Stopped(ctx)) WalkFirefoxDatabases(ctx, profiles, *source);
  if (cache && !cacheRoot.empty() && !Stopped(ctx)) WalkFirefoxCaches(ctx, cacheRoot);
  if (!profiles.empty() && !Stopped(ctx))
    ScanFirefoxIniProfiles(ctx, profiles, cacheRoot, wanted, cache);
}

void ScanChromiumFamily(ScanContext& ctx, browsers::ChromiumOptions options,
                        const ChromiumScan& scan, const MayScan& mayScan) {
  for (const browsers::ChromiumBrowser& b : browsers::ChromiumBrowsers()) {
    if (b.options != options || Stopped(ctx)) continue;
    const std::wstring userData = browsers::UserDataFolder(b, ctx.folders, ctx.os.MajorVersion);
    if (userData.empty() || !sys::DirectoryExists(userData)) continue;
    // A running browser holds its databases: it is skipped alone.
    if (mayScan && !mayScan(b)) continue;
    const std::vector<std::wstring> profiles =
        b.singleProfile ? std::vector<std::wstring>{userData} : browsers::ProfileFolders(userData);
    for (const std::wstring& profile : profiles)
      if (!Stopped(ctx))
        ScanChromiumProfile(ctx, profile, browsers::LocalTwin(profile, ctx.folders, ctx.os.MajorVersion),
                            scan);
  }
}

void ScanChrome(ScanContext& ctx, bool history, bool downloads, bool cache, bool cookies,
                bool logins, const MayScan& mayScan) {
  const ChromiumScan scan = {history, downloads, cache, cookies, logins,
                             L"Chrome 浏览历史", L"Chrome 下载历史", L"Google Chrome 缓存",
                             L"Chrome Cookies", L"Chrome 已保存的用户名和密码", kChromeImage};
  ScanChromiumFamily(ctx, browsers::ChromiumOptions::Chrome, scan, mayScan);
}

}  // namespace scan
