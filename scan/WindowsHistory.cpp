#include "scan/WindowsHistory.h"

#include <shlobj.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>

#include "catalogue/Images.h"
#include "catalogue/TraceOption.h"
#include "scan/ApplicationTraces.h"
#include "sys/FileSearch.h"
#include "sys/FileUtils.h"
#include "machine/Folders.h"
#include "sys/Registry.h"
#include "sys/SysEvent.h"
#include "sys/Text.h"
#include "catalogue/ResultModel.h"
#include "machine/TarnGetOSInfo.h"

namespace scan {

using namespace catalogue::images;

namespace {

const wchar_t kHkcu[] = L"HKEY_CURRENT_USER";
using catalogue::kDefaultValueMarker;
const wchar_t kRecentDocs[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RecentDocs";
const wchar_t kOpenSaveMru[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\OpenSaveMRU";

// The folder of a file name, with its trailing backslash; empty when it has none.
std::wstring FolderPart(const std::wstring& fileName) {
  const size_t slash = fileName.find_last_of(L'\\');
  return slash == std::wstring::npos ? std::wstring() : fileName.substr(0, slash + 1);
}

void AddRow(ScanContext& ctx, model::TreeNode* item, const std::wstring& label, int image,
            const std::wstring& value) {
  ctx.results.AddRow(item, label, value, image);
}

// Binary values whose data is never read: the value itself is the item.
void AddPresentValues(ScanContext& ctx, const std::wstring& key,
                      std::initializer_list<const wchar_t*> names, int image,
                      const std::wstring& description) {
  sys::RegKey k;
  if (k.OpenRead(HKEY_CURRENT_USER, key) != ERROR_SUCCESS) return;
  for (const wchar_t* name : names)
    if (k.ValueExists(name)) ctx.results.AddKeyedResult(kHkcu, key, image, description, L"", name);
}

void ScanUserAssistKeys(ScanContext& ctx) {
  const std::wstring base = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\UserAssist\\";
  ScanUserAssist(ctx, base + L"{5E6AB780-7743-11CF-A12B-00AA004AE837}\\Count");
  ScanUserAssist(ctx, base + L"{75048700-EF1F-11D0-9888-006097DEACF9}\\Count");
}

void ScanTrayIcons(ScanContext& ctx) {
  const wchar_t* key =
      ctx.os.MajorVersion < 6
          ? L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\TrayNotify"
          : L"Software\\Classes\\Local Settings\\Software\\Microsoft\\Windows\\CurrentVersion\\"
            L"TrayNotify";
  AddPresentValues(ctx, key, {L"IconStreams", L"PastIconsStream"}, kImageMenu,
                   L"通知区域图标历史记录");
}

void ScanEventLogs(ScanContext& ctx) {
  const sys::TEventLogManager logs;
  catalogue::ResultModel& results = ctx.results;
  for (const std::wstring& name : logs.LogNames) {
    const std::wstring display = logs.DisplayNameOf(name);
    ctx.status(L"分析: " + display);
    ctx.processMessages();
    const int count = logs.RecordCountOf(name);
    // A log that holds next to nothing is not worth a finding.
    if (count <= 2) continue;
    model::TreeNode* item = results.AddResultNode(&results.Tree(), display, nullptr, kImageEventLog,
                                               catalogue::ResultKind::EventLog, name,
                                               sys::Format(L"共有%d条日志记录", count));
    if (!item) continue;
    const std::int64_t size = logs.FileSizeOf(name);
    if (size > 0) {
      results.AddSize(item, size);
      AddRow(ctx, item, L"大小", kImageDetail, catalogue::ResultModel::SizeText(size));
    }
    AddRow(ctx, item, L"日志名", kImageDetail, name);
    AddRow(ctx, item, L"说明", kImageEventLog, L"Windows系统记录的日志信息");
  }
}

void ScanRealPlayerClips(ScanContext& ctx) {
  ScanMarkedSubKeys(ctx, HKEY_CURRENT_USER, L"Software\\RealNetworks\\RealPlayer\\6.0\\Preferences",
                    kImageRealPlayer, L"RealPlayer播放器", L"MostRecentClips");
}

void ScanWordSettings(ScanContext& ctx) {
  for (const wchar_t* version : {L"9.0", L"10.0", L"11.0", L"12.0"})
    AddPresentValues(ctx,
                     std::wstring(L"Software\\Microsoft\\Office\\") + version + L"\\Word\\Data",
                     {L"Settings"}, kImageWord, L"Microsoft Word");
}

void ScanFlashSharedObjects(ScanContext& ctx) {
  const std::wstring appData = ctx.folders.Special(CSIDL_APPDATA);
  if (appData.empty()) return;
  std::vector<std::wstring> folders;
  sys::ListSubfolders(appData + L"\\Macromedia\\Flash Player\\#SharedObjects", folders);
  for (const std::wstring& folder : folders) {
    if (ctx.stopped()) break;
    ListFolderTraces(ctx, folder, L"*.*", kImageFlash, true);
  }
}

void ScanKuGoo(ScanContext& ctx) {
  const std::wstring folder = KuGooDataFolder(ctx);
  if (!folder.empty()) ScanKuGooFolder(ctx, folder);
}

void ScanMaxthon(ScanContext& ctx) {
  const std::wstring maxthon2 = ReadRegString(HKEY_CURRENT_USER, L"Software\\Maxthon2", L"Folder");
  if (!maxthon2.empty()) ScanMaxthon2(ctx, sys::WithBackslash(maxthon2));
  const std::wstring maxthon1 = ReadRegString(HKEY_CURRENT_USER, L"Software\\Maxthon", L"Folder");
  if (!maxthon1.empty()) ScanMaxthon1(ctx, maxthon1);
}

void ScanKMPlayer(ScanContext& ctx) {
  const std::wstring folder = FolderPart(
      ReadRegString(HKEY_CURRENT_USER, L"Software\\KMPlayer\\KMP2.0\\OptionArea", L"InstallPath"));
  if (folder.empty() || !sys::FileExists(folder + L"plugins\\ml\\recent.dat")) return;
  model::TreeNode* item =
      ctx.results.AddResultNode(&ctx.results.Tree(), L"recent.dat", nullptr, kImageKMPlayer,
                                catalogue::ResultKind::None, L"", folder + L"plugins\\ml");
  if (item) AddRow(ctx, item, L"说明", kImageKMPlayer, L"KMPlayer播放器");
}

void ScanAcrobatRecentFiles(ScanContext& ctx) {
  const std::wstring base = L"Software\\Adobe\\Acrobat Reader";
  for (const std::wstring& version : sys::GetRegSubKeyNames(HKEY_CURRENT_USER, base)) {
    if (version.empty()) continue;
    const std::wstring list = base + L"\\" + version + L"\\AVGeneral\\cRecentFiles";
    for (const std::wstring& file : sys::GetRegSubKeyNames(HKEY_CURRENT_USER, list))
      if (!file.empty())
        ctx.results.AddKeyedResult(kHkcu, list + L"\\" + file, kImageAcrobat,
                                   L"Acrobat Reader阅读器", L"", L"");
  }
}

HistoryStep Mru(const wchar_t* key, int image) {
  return {HistoryStep::Kind::Mru, key, image, 0, nullptr, false, nullptr};
}
HistoryStep Folder(int csidl, const wchar_t* subPath, const wchar_t* mask, int image,
                   bool includeFolders = false) {
  return {HistoryStep::Kind::Folder, subPath, image, csidl, mask, includeFolders, nullptr};
}
HistoryStep Code(void (*code)(ScanContext&)) {
  return {HistoryStep::Kind::Code, nullptr, 0, 0, nullptr, false, code};
}

// The same folder seen twice by one source (on XP the profile's "Recent" is the recent
// documents folder) would list each file twice and count its size twice.
std::wstring FolderIdentity(const std::wstring& folder) {
  std::wstring f = sys::LowerCase(folder);
  while (!f.empty() && f.back() == L'\\') f.pop_back();
  return f;
}

}  // namespace

void ScanRegistryMru(ScanContext& ctx, HKEY root, const std::wstring& path, int image) {
  std::vector<std::wstring> subKeys;
  {
    sys::RegKey key;
    if (key.OpenRead(root, path) == ERROR_SUCCESS) {
      if (path == kRecentDocs || path == kOpenSaveMru) subKeys = key.SubKeyNames();
      const std::wstring rootText = ScannerRootName(root);
      for (const std::wstring& name : key.ValueNames()) {
        const DWORD type = key.ValueType(name);
        const std::wstring data =
            type == REG_SZ || type == REG_EXPAND_SZ ? key.ReadString(name) : std::wstring();
        // The unnamed default value is cleared by its marker: an empty value name would
        // make the clean delete the whole key.
        ctx.results.AddKeyedResult(rootText, path, image, L"用户运行或操作历史记录", data,
                                   name.empty() ? kDefaultValueMarker : name);
        ctx.processMessages();
      }
    }
  }
  for (const std::wstring& sub : subKeys)
    if (!sub.empty()) ScanRegistryMru(ctx, root, path + L"\\" + sub, image);
}

const std::vector<HistorySource>& HistorySources() {
  using I = catalogue::OptionId;
  static const std::vector<HistorySource> sources = {
      {I::IETypedUrls,
       L"HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\TypedURLs",
       {Mru(L"Software\\Microsoft\\Internet Explorer\\TypedURLs", kImageInternetExplorer)}},
      {I::TempFiles,
       nullptr,
       {Folder(CSIDL_LOCAL_APPDATA, L"\\Microsoft\\Terminal Server Client\\Cache", L"*.*",
               kImageDefaultFile)}},
      {I::RunHistory,
       L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU",
       {Mru(L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU", kImageRunBox)}},
      {I::RecentPrograms,
       L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\"
       L"LastVisitedMRU",
       {Mru(L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\LastVisitedMRU",
            kImageProgramsRun)}},
      {I::OpenSaveHistory,
       L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\"
       L"OpenSaveMRU",
       {Mru(kOpenSaveMru, kImageFolder)}},
      {I::WindowPositions,
       L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StreamMRU",
       {Mru(L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StreamMRU", kImageWindows)}},
      {I::ComputerSearch,
       L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
       L"FindComputerMRU",
       {Mru(L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FindComputerMRU",
            kImageFindComputer)}},
      {I::RecentDocuments,
       L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RecentDocs",
       {Mru(kRecentDocs, kImageTextFile),
        Folder(CSIDL_PROFILE, L"\\Recent", L"*", kImageDefaultFile),
        Folder(CSIDL_RECENT, L"", L"*", kImageDefaultFile)}},
      {I::ExtensionHistory, nullptr, {Code(ScanFileExts)}},
      {I::RecentlyOpenedPrograms, nullptr, {Code(ScanUserAssistKeys)}},
      {I::TrayIcons, nullptr, {Code(ScanTrayIcons)}},
      {I::EventLogs, nullptr, {Code(ScanEventLogs)}},
      {I::Paint,
       L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Paint\\"
       L"Recent File List",
       {Mru(L"Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Paint\\Recent File List",
            kImagePaint)}},
      {I::WordPad,
       L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Wordpad\\"
       L"Recent File List",
       {Mru(L"Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Wordpad\\Recent File List",
            kImageWordPad)}},
      {I::Defender,
       nullptr,
       {Folder(CSIDL_COMMON_APPDATA,
               L"\\Microsoft\\Windows Defender\\Scans\\History\\Results\\Resource", L"*.*",
               kImageDefender)}},
      {I::UltraEdit, nullptr, {Code(ScanUltraEditProgram), Code(ScanUltraEditProfile)}},
      {I::EditPlus,
       L"HKEY_CURRENT_USER\\Software\\ES-Computing\\EditPlus 2\\Recent File List",
       {Mru(L"Software\\ES-Computing\\EditPlus 2\\Recent File List", kImageEditPlus)}},
      {I::MediaPlayer,
       L"HKEY_CURRENT_USER\\Software\\Microsoft\\MediaPlayer\\Player\\RecentFileList",
       {Mru(L"Software\\Microsoft\\MediaPlayer\\Player\\RecentFileList", kImageMediaPlayer)}},
      {I::RealPlayer,
       L"HKEY_CURRENT_USER\\Software\\RealNetworks\\RealPlayer",
       {Code(ScanRealPlayerClips),
        Folder(CSIDL_APPDATA, L"\\Real\\RealPlayer\\History", L"*", kImageDefaultFile)}},
      {I::Storm,
       L"HKEY_CURRENT_USER\\Software\\Gabest\\Media Player Classic\\Recent File List",
       {Mru(L"Software\\Gabest\\Media Player Classic\\Recent File List", kImageVideoList),
        Code(ScanStorm)}},
      {I::Office,
       nullptr,
       {Folder(CSIDL_APPDATA, L"\\Microsoft\\Office\\Recent", L"*.*", kImageDefaultFile)}},
      {I::Word,
       L"HKEY_CURRENT_USER\\Software\\Microsoft\\Office\\...\\Word",
       {Code(ScanWordSettings),
        Mru(L"Software\\Microsoft\\Office\\12.0\\Word\\File MRU", kImageWord)}},
      {I::FrontPage,
       L"HKEY_CURRENT_USER\\Software\\Microsoft\\FrontPage\\",
       {Mru(L"Software\\Microsoft\\FrontPage\\Editor\\Insert Hyperlink\\Recently Used URLs",
            kImageFrontPage),
        Mru(L"Software\\Microsoft\\FrontPage\\Editor\\Insert Image\\Recently Used URLs",
            kImageFrontPage),
        Mru(L"Software\\Microsoft\\FrontPage\\Explorer\\FrontPage Explorer\\Recent File List",
            kImageFrontPage),
        Mru(L"Software\\Microsoft\\FrontPage\\Explorer\\FrontPage Explorer\\Recent Page List",
            kImageFrontPage),
        Mru(L"Software\\Microsoft\\FrontPage\\Explorer\\FrontPage Explorer\\Recent Web List",
            kImageFrontPage)}},
      {I::PowerPoint,
       L"HKEY_CURRENT_USER\\Software\\Microsoft\\Office\\...\\PowerPoint",
       {Mru(L"Software\\Microsoft\\Office\\10.0\\PowerPoint\\Recent File List", kImagePowerPoint),
        Mru(L"Software\\Microsoft\\Office\\11.0\\PowerPoint\\Recent File List", kImagePowerPoint),
        Mru(L"Software\\Microsoft\\Office\\12.0\\PowerPoint\\File MRU", kImagePowerPoint)}},
      {I::Excel,
       L"HKEY_CURRENT_USER\\Software\\Microsoft\\Office\\...\\Excel",
       {Mru(L"Software\\Microsoft\\Office\\10.0\\Excel\\Recent File List", kImageExcel),
        Mru(L"Software\\Microsoft\\Office\\11.0\\Excel\\Recent Files", kImageExcel),
        Mru(L"Software\\Microsoft\\Office\\12.0\\Excel\\File MRU", kImageExcel)}},
      {I::FlashPlayer,
       nullptr,
       {Code(ScanFlashSharedObjects),
        Folder(CSIDL_APPDATA,
               L"\\Macromedia\\Flash Player\\macromedia.com\\support\\flashplayer\\sys", L"*.*",
               kImageFlash, true)}},
      {I::WinZip,
       L"HKEY_CURRENT_USER\\Software\\Nico Mak Computing\\WinZip\\filemenu",
       {Mru(L"Software\\Nico Mak Computing\\WinZip\\filemenu", kImageZip)}},
      {I::WinRAR,
       L"HKEY_CURRENT_USER\\Software\\WinRAR",
       {Mru(L"Software\\WinRAR\\ArcHistory", kImageArchive),
        Mru(L"Software\\WinRAR\\DialogEditHistory\\ArcName", kImageArchive),
        Mru(L"Software\\WinRAR\\DialogEditHistory\\ExtrPath", kImageArchive)}},
      {I::MyIE2, L"MyIE2", {Code(ScanMyIE2)}},
      {I::KuGoo, L"酷狗", {Code(ScanKuGoo)}},
      {I::Maxthon, L"傲游(Maxthon)浏览器", {Code(ScanMaxthon)}},
      {I::KMPlayer, L"KMPlayer播放器", {Code(ScanKMPlayer)}},
      {I::AcrobatReader, L"Acrobat Reader阅读器", {Code(ScanAcrobatRecentFiles)}},
  };
  return sources;
}

void ScanHistorySource(ScanContext& ctx, catalogue::OptionId option) {
  for (const HistorySource& source : HistorySources()) {
    if (source.option != option) continue;
    if (source.status) {
      ctx.status(std::wstring(L"分析: ") + source.status);
      ctx.processMessages();
    }
    std::vector<std::wstring> listed;
    for (const HistoryStep& step : source.steps) {
      switch (step.kind) {
        case HistoryStep::Kind::Mru:
          ScanRegistryMru(ctx, HKEY_CURRENT_USER, step.path, step.image);
          break;
        case HistoryStep::Kind::Folder: {
          const std::wstring base = ctx.folders.Special(step.csidl);
          if (base.empty()) break;
          const std::wstring folder = base + step.path;
          const std::wstring identity = FolderIdentity(folder);
          if (std::find(listed.begin(), listed.end(), identity) != listed.end()) break;
          listed.push_back(identity);
          ListFolderTraces(ctx, folder, step.mask, step.image, step.includeFolders);
          break;
        }
        case HistoryStep::Kind::Code:
          step.code(ctx);
          break;
      }
    }
    return;
  }
}

std::wstring KuGooDataFolder(const ScanContext& ctx) {
  const std::wstring program =
      ReadRegString(HKEY_CURRENT_USER, L"Software\\KuGoo4", L"AppFileName");
  if (program.empty()) return {};
  if (ctx.os.MajorVersion < 6 || ctx.os.IsWow64) return FolderPart(program);
  // A 32-bit system with UAC redirects the program's own writes to the virtual store.
  const std::wstring local = sys::EnvironmentVariable(L"Localappdata");
  if (local.empty()) return {};
  return sys::WithBackslash(local) + L"VirtualStore\\Program Files\\KuGoo2007\\";
}

}  // namespace scan
