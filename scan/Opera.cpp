// Opera: the installation and the profile, the folders its "opera6.ini" names, and the
// trace files found below them.
#include <vector>

#include "browsers/OperaSession.h"
#include "catalogue/Images.h"
#include "scan/BrowserFiles.h"
#include "scan/BrowserTraces.h"
#include "sys/FileSearch.h"
#include "sys/FolderWalk.h"
#include "sys/FileUtils.h"
#include "machine/Folders.h"
#include "sys/ProfileIni.h"
#include "sys/Registry.h"
#include "sys/Text.h"
#include "machine/TarnGetOSInfo.h"

namespace scan {

namespace {

using namespace browser;

const int kOperaImage = catalogue::kImageOperaData;

enum WalkKind { kCache = 1, kHistory = 2, kDownloads = 3, kCookies = 4 };

// The files each walk takes and the line below their "大小" line; no name: every file.
const struct OperaFile {
  WalkKind kind;
  const wchar_t* name;
  const wchar_t* label;
  const wchar_t* text;
} kOperaFiles[] = {
    {kCache, nullptr, L"Opera 缓存", kOfflineAdvice},
    {kHistory, L"global.dat", L"Opera 历史记录", L"Opera 工具菜单的历史查看内容"},
    {kHistory, L"vlink4.dat", L"Opera 历史记录", L"Opera已访问过的链接"},
    {kHistory, L"typed_history.xml", L"Opera 历史记录", L"Opera已访问过的链接"},
    {kHistory, L"opera.dir", L"Opera 历史记录", L"Opera地址栏输入过的网址"},
    {kDownloads, L"download.dat", L"Opera 下载记录", L"Opera 下载记录"},
    {kCookies, L"cookies4.dat", L"Opera Cookies", L"Opera Cookies"},
};
const wchar_t kSessionFile[] = L"autosave.win";

std::wstring WithoutBackslash(std::wstring path) {
  while (path.size() > 3 && path.back() == L'\\') path.pop_back();
  return path;
}

void TakeFile(ScanContext& ctx, const std::wstring& folder, const std::wstring& name,
              std::int64_t size, WalkKind kind) {
  const std::wstring lower = sys::LowerCase(name);
  if (kind == kHistory && lower == kSessionFile) {
    const std::wstring path = folder + L"\\" + name;
    // Listed only when the clean will change something.
    if (browsers::PlanOperaSessionEdit(path).Changes()) {
      model::TreeNode* item =
          AddItem(ctx, name, kOperaImage, catalogue::ResultKind::Configuration, L"OperaINI", path);
      AddLine(ctx, item, L"说明", L"Opera 最后打开的网页地址", kOperaImage);
    }
    return;
  }
  for (const OperaFile& f : kOperaFiles) {
    if (f.kind != kind || (f.name && lower != f.name)) continue;
    model::TreeNode* item = AddItem(ctx, name, kOperaImage, catalogue::ResultKind::None, L"", folder);
    AddLine(ctx, item, L"大小", catalogue::ResultModel::SizeText(size));
    AddLine(ctx, item, f.label, f.text);
    return;
  }
}

void WalkOpera(ScanContext& ctx, const std::wstring& root, WalkKind kind) {
  for (sys::FolderWalk walk(root); !Stopped(ctx) && walk.Next();) {
    const std::wstring folder = walk.Folder();
    for (sys::FileSearch s(folder + L"\\*.*"); s.Found(); s.Next()) {
      const std::wstring name = s.Name();
      if (name[0] == L'.') continue;
      const std::wstring path = folder + L"\\" + name;
      if (IsWalkedDirectory(s.Attributes(), ctx.os.MajorVersion)) {
        walk.Enter(path, s.Attributes());
      } else if (!s.IsDirectory()) {
        if (kind == kCache || kind == kHistory) Status(ctx, path);
        TakeFile(ctx, folder, name, s.Size(), kind);
      }
      if (Stopped(ctx)) return;
      Pump(ctx);
    }
  }
}

// The first "cache4" of the folders Opera may keep it in.
std::wstring ChosenCacheFolder(const std::wstring& profile, const std::wstring& operaDir,
                               const std::wstring& localDir) {
  for (const std::wstring* base : {&localDir, &operaDir, &profile})
    if (!base->empty() && sys::DirectoryExists(*base + L"\\cache4")) return *base + L"\\cache4";
  return {};
}

// The folders "opera6.ini" names are Opera's only where they hold Opera's files, unless
// they lie inside its profile or installation: a cache, its index; the folders of
// Opera's own files, one of those files.
const wchar_t* const kCacheMark[] = {L"dcache4.url"};
const wchar_t* const kOperaFilesMark[] = {
    L"opera6.ini",   L"operaprefs.ini", L"global.dat",   L"global_history.dat",
    L"vlink4.dat",   L"typed_history.xml", L"opera.dir", L"download.dat",
    L"cookies4.dat", L"sessions\\autosave.win", L"cache4\\dcache4.url"};

template <size_t N>
machine::ProgramMark OperaMark(const std::wstring& profile, const std::wstring& install,
                               const wchar_t* const (&files)[N]) {
  return {{profile, install}, std::vector<std::wstring>(std::begin(files), std::end(files))};
}

void ScanOperaProfile(ScanContext& ctx, const std::wstring& profile, const std::wstring& install,
                      bool cache, bool visits, bool downloads, bool cookies) {
  sys::ProfileIni ini(profile + L"\\opera6.ini");
  const std::wstring operaDir = WithoutBackslash(ini.ReadString(L"User Prefs", L"Opera Directory"));
  const std::wstring localDir =
      WithoutBackslash(ini.ReadString(L"User Prefs", L"Opera Local Directory"));
  const std::wstring cacheDir = WithoutBackslash(ini.ReadString(L"User Prefs", L"Cache Directory4"));
  const machine::ProgramMark files = OperaMark(profile, install, kOperaFilesMark);
  // A folder the settings name that is not Opera's is not looked into at all.
  auto opera = [&](const std::wstring& dir) {
    return !dir.empty() && machine::SafeNamedFolder(dir, ctx.folders, files);
  };
  const bool operaDirUsable = opera(operaDir);
  if (cache) {
    std::wstring folder = cacheDir;
    if (folder.empty())
      folder = ChosenCacheFolder(profile, operaDirUsable ? operaDir : L"",
                                 opera(localDir) ? localDir : L"");
    // Every file the cache walk finds is deleted.
    if (!folder.empty() &&
        machine::SafeNamedFolder(folder, ctx.folders, OperaMark(profile, install, kCacheMark)))
      WalkOpera(ctx, folder, kCache);
  }
  const std::wstring base = operaDir.empty() ? profile : operaDirUsable ? operaDir : L"";
  if (base.empty()) return;
  const struct {
    bool wanted;
    WalkKind kind;
  } walks[] = {{visits, kHistory}, {downloads, kDownloads}, {cookies, kCookies}};
  for (const auto& w : walks)
    if (w.wanted && !Stopped(ctx)) WalkOpera(ctx, base, w.kind);
}

// The folder of a program named at the start of a command line, when the program exists.
std::wstring ProgramFolder(std::wstring commandLine) {
  if (!commandLine.empty() && commandLine[0] == L'"') commandLine.erase(0, 1);
  size_t exe = sys::LowerCase(commandLine).find(L".exe");
  if (exe == std::wstring::npos) return {};
  std::wstring program = commandLine.substr(0, exe + 4);
  if (!sys::FileExists(program)) return {};
  size_t cut = program.find_last_of(L'\\');
  return cut == std::wstring::npos ? std::wstring() : program.substr(0, cut + 1);
}

}  // namespace

std::wstring OperaInstallationFolder(const machine::Folders& folders) {
  const std::wstring programs = folders.ProgramFiles();
  if (programs.empty()) return {};
  const std::wstring standard = sys::WithBackslash(programs) + L"Opera\\";
  if (!sys::FileExists(standard + L"opera.exe")) return standard;
  sys::RegKey key;
  if (key.OpenRead(HKEY_CURRENT_USER, L"Software\\Opera Software") == ERROR_SUCCESS) {
    std::wstring value;
    if (key.ReadString(L"Last CommandLine", value) == ERROR_SUCCESS && !value.empty() &&
        sys::FileExists(value))
      return standard;
    if (key.ReadString(L"Last CommandLine v2", value) == ERROR_SUCCESS) {
      std::wstring folder = ProgramFolder(value);
      if (!folder.empty()) return folder;
    }
    if (key.ReadString(L"Last Directory3", value) == ERROR_SUCCESS && !value.empty()) {
      std::wstring folder = sys::WithBackslash(value);
      if (sys::FileExists(folder + L"opera.exe")) return folder;
    }
  }
  // Opera is installed where it usually is, even when the registry does not say so.
  return standard;
}

// The profile of the Opera before its move to Chromium, or empty.
static std::wstring ClassicOperaProfile(const ScanContext& ctx) {
  const std::wstring install = OperaInstallationFolder(ctx.folders);
  if (install.empty()) return {};
  if (ctx.os.MajorVersion <= 4)
    return ctx.folders.windows.empty()
               ? std::wstring()
               : ctx.folders.windows + L"\\Application Data\\Opera\\Opera\\profile";
  const std::wstring appData = sys::EnvironmentVariable(L"APPDATA");
  const std::wstring roaming = appData + L"\\Opera\\Opera\\profile";
  if (sys::FileExists(install + L"profile\\opera6.ini")) return install + L"profile";
  if (!appData.empty() && sys::FileExists(roaming + L"\\opera6.ini")) return roaming;
  return {};
}

void ScanOpera(ScanContext& ctx, bool cache, bool visits, bool downloads, bool cookies,
               const MayScan& mayScan) {
  const std::wstring profile = ClassicOperaProfile(ctx);
  if (!profile.empty())
    ScanOperaProfile(ctx, profile, OperaInstallationFolder(ctx.folders), cache, visits, downloads,
                     cookies);
  if (Stopped(ctx)) return;
  const ChromiumScan scan = {visits, downloads, cache, cookies, false,
                             L"Opera 访问记录", L"Opera 下载记录", L"Opera 缓存",
                             L"Opera Cookies", L"", kOperaImage};
  ScanChromiumFamily(ctx, browsers::ChromiumOptions::Opera, scan, mayScan);
}

}  // namespace scan
