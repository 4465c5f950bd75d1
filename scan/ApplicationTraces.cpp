#include "scan/ApplicationTraces.h"

#include <objbase.h>
#include <shlobj.h>

#include <stdexcept>
#include <unordered_set>
#include <vector>

#include "catalogue/Images.h"
#include "sys/ComScope.h"
#include "sys/FileSearch.h"
#include "sys/FileUtils.h"
#include "sys/FolderWalk.h"
#include "machine/Folders.h"
#include "sys/ProfileIni.h"
#include "sys/Registry.h"
#include "sys/ShellLink.h"
#include "sys/Text.h"
#include "sys/Views.h"
#include "sys/XmlDocument.h"
#include "catalogue/ResultModel.h"
#include "machine/TarnGetOSInfo.h"
#include "model/TreeModel.h"

namespace scan {

using namespace catalogue::images;

namespace {

const wchar_t kFileExtsKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";

void ShowProgress(ScanContext& ctx, const std::wstring& what) {
  if (ctx.status) ctx.status(L"分析: " + what);
  if (ctx.processMessages) ctx.processMessages();
}

bool Stopped(const ScanContext& ctx) { return ctx.stopped && ctx.stopped(); }

// A top-level item of a file-edited application trace with its one "说明" line.
void AddAppItem(ScanContext& ctx, const std::wstring& text, int image, catalogue::ResultKind kind,
                const std::wstring& detail, const std::wstring& location,
                const std::wstring& description) {
  model::TreeModel* tree = &ctx.results.Tree();
  model::TreeNode* item =
      ctx.results.AddResultNode(tree, text, nullptr, image, kind, detail, location);
  ctx.results.AddRow(item, L"说明", description, image);
}

std::wstring FileNamePart(const std::wstring& path) {
  size_t cut = path.find_last_of(L"\\/:");
  return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

std::wstring Rot13(std::wstring s) {
  for (wchar_t& c : s) {
    if (c >= L'A' && c <= L'Z')
      c = wchar_t(L'A' + (c - L'A' + 13) % 26);
    else if (c >= L'a' && c <= L'z')
      c = wchar_t(L'a' + (c - L'a' + 13) % 26);
  }
  return s;
}

// The program text of a UserAssist value; false when the value is not reported.
bool UserAssistProgram(const std::wstring& name, std::wstring& text) {
  if (name.size() <= 2) return false;
  text = sys::StartsWith(name, L"HR") ? Rot13(name) : name;
  size_t colon = text.find(L':');
  if (colon != std::wstring::npos) text.erase(0, colon + 1);
  if (sys::Contains(name, L"?") || sys::Contains(name, L"AutoCAD")) return false;
  // A drive path is history only while it names a program file that is gone.
  if (text.find(L':') == 1) {
    bool extension = text.size() >= 4 && text[text.size() - 4] == L'.';
    if (!extension || sys::FileExistsInAnyView(text)) return false;
  }
  return true;
}

// Every non-empty key of the sections, each section from its last key to its first.
void ScanUltraEditIni(ScanContext& ctx, const std::wstring& ini,
                      std::initializer_list<const wchar_t*> sections) {
  sys::ProfileIni file(ini);
  for (const wchar_t* section : sections) {
    std::vector<std::wstring> keys = file.SectionKeys(section);
    for (auto key = keys.rbegin(); key != keys.rend(); ++key) {
      std::wstring value = file.ReadString(section, *key);
      if (value.empty()) continue;
      AddAppItem(ctx, FileNamePart(value), catalogue::kImageUltraEdit,
                 catalogue::ResultKind::IniValue, std::wstring(section) + L"|" + *key, ini,
                 L"UltraEdit编辑软件");
    }
  }
}

// The session and history files of one Maxthon 2 account; `data` ends with a backslash.
void ScanMaxthonData(ScanContext& ctx, const std::wstring& data) {
  const std::wstring last = data + L"LastSession.ini";
  if (sys::FileExists(last)) {
    size_t sections = sys::ProfileIni(last).Sections().size();
    if (sections > 0)
      AddAppItem(ctx, L"LastSession.ini", catalogue::kImageMaxthon, catalogue::ResultKind::None,
                 L"", data, sys::Format(L"傲游(Maxthon)撤销的%d个记录", int(sections)));
  }
  if (sys::FileExists(data + L"Session.ini"))
    AddAppItem(ctx, L"Session.ini", catalogue::kImageMaxthon, catalogue::ResultKind::None, L"",
               data, L"傲游(Maxthon)最后关闭的的网页");
  if (sys::FileExists(data + L"Dynamic.ini"))
    AddAppItem(ctx, L"Dynamic.ini", catalogue::kImageMaxthon, catalogue::ResultKind::None, L"",
               data, L"傲游2搜索栏及RSS历史记录");
}

}  // namespace

void ListFolderTraces(ScanContext& ctx, std::wstring folder, const std::wstring& mask, int image,
                      bool includeFolders) {
  if (folder.size() <= 1) return;
  if (folder.back() == L'\\') folder.pop_back();
  const bool allFiles = mask == L"*.*";
  // Every file of a "*.*" listing is deleted by the clean; no listing starts in a link.
  if (allFiles ? !machine::SafeToEmpty(folder, ctx.folders) : !sys::IsPlainFolder(folder)) return;
  const std::wstring recent = sys::LowerCase(ctx.folders.Special(CSIDL_RECENT));
  const std::wstring extension = sys::LowerCase(mask);
  model::TreeModel* tree = &ctx.results.Tree();
  for (sys::FileSearch s(folder + (allFiles ? L"\\*.*" : L"\\*.lnk")); s.Found(); s.Next()) {
    const std::wstring name = s.Name();
    if (s.IsDirectory()) {
      // The executor empties a "目录" item: never one reached through a link.
      if (!includeFolders || name[0] == L'.' || s.IsReparsePoint()) continue;
      model::TreeNode* item = ctx.results.AddResultNode(tree, name, nullptr, kImageFolder,
                                                     catalogue::ResultKind::Folder, L"", folder);
      ctx.results.AddRow(item, L"说明", L"目录", kImageDetail);
      continue;
    }
    const std::wstring path = folder + L"\\" + name;
    ShowProgress(ctx, path);
    model::TreeNode* item = nullptr;
    if (allFiles) {
      item = ctx.results.AddResultNode(tree, name, nullptr, image, catalogue::ResultKind::File, L"",
                                       folder);
    } else {
      // The shell would read another shortcut under a name it rewrites.
      if (!sys::IsPlainWin32Path(path)) continue;
      std::wstring target;
      if (FAILED(sys::GetShortcutTarget(path, target))) continue;  // not a readable shortcut
      bool take;
      if (target != L"tarn") {
        target = sys::LowerCase(sys::ExtractExePath(target));
        take = mask == L"*" || sys::ExtensionOf(target) == extension;
      } else {
        // A shortcut without a usable target is only history where Windows keeps history.
        take = sys::Contains(recent, sys::LowerCase(folder));
      }
      if (!take) continue;
      int icon = ctx.results.Images().AppendFileIcon(path);
      item = ctx.results.AddResultNode(tree, name, nullptr, icon, catalogue::ResultKind::Shortcut,
                                       L"", folder);
    }
    if (item && s.Size() > 0) {
      ctx.results.AddSize(item, s.Size());
      ctx.results.AddRow(item, L"大小", catalogue::ResultModel::SizeText(s.Size()), kImageDetail);
    }
  }
}

std::wstring ScannerRootName(HKEY root) {
  if (root == HKEY_CURRENT_USER) return L"HKEY_CURRENT_USER";
  if (root == HKEY_USERS) return L"HKEY_USERS";
  return L"HKEY_LOCAL_MACHINE";
}

void ScanMarkedSubKeys(ScanContext& ctx, HKEY root, const std::wstring& key, int image,
                       const std::wstring& description, const std::wstring& marker) {
  const std::wstring rootName = ScannerRootName(root);
  for (const std::wstring& name : sys::GetRegSubKeyNames(root, key)) {
    if (!sys::Contains(name, marker)) continue;
    const std::wstring path = key + L"\\" + name;
    std::wstring value;
    sys::RegKey sub;
    if (sub.OpenRead(root, path) == ERROR_SUCCESS) sub.ReadString(L"", value);
    size_t bar = value.find(L'|');
    if (bar != std::wstring::npos) value.erase(bar);
    ctx.results.AddKeyedResult(rootName, path, image, description, value, L"");
  }
}

void ScanFileExts(ScanContext& ctx) {
  std::unordered_set<std::wstring> registered;
  for (const std::wstring& name : sys::GetRegSubKeyNames(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes"))
    if (sys::StartsWith(name, L".")) registered.insert(sys::LowerCase(name));

  for (const std::wstring& name : sys::GetRegSubKeyNames(HKEY_CURRENT_USER, kFileExtsKey)) {
    if (name.empty()) continue;
    if (Stopped(ctx)) break;
    ShowProgress(ctx, name);
    if (name.size() > 1 && name[0] != L'.') continue;
    const std::wstring path = std::wstring(kFileExtsKey) + L"\\" + name;
    sys::RegKey ext;
    if (ext.OpenRead(HKEY_CURRENT_USER, path) != ERROR_SUCCESS) continue;
    DWORD subKeys = 0, values = 0;
    if (ext.KeyInfo(subKeys, values) != ERROR_SUCCESS) continue;
    if (subKeys > 1) continue;
    if (subKeys == 1) {
      // Only an empty "open with" list leaves the extension without any trace of a program.
      sys::RegKey list;
      if (list.OpenRead(ext.Handle(), L"OpenWithList") != ERROR_SUCCESS) continue;
      std::wstring def;
      list.ReadString(L"", def);
      if (!def.empty() || !list.ValueNames().empty()) continue;
    }
    if (registered.count(sys::LowerCase(name))) continue;
    ctx.results.AddKeyedResult(L"HKEY_CURRENT_USER", path, kImageDefaultFile, L"文件扩展名历史记录",
                               name, L"");
  }
}

void ScanUserAssist(ScanContext& ctx, const std::wstring& key) {
  sys::RegKey k;
  if (k.OpenRead(HKEY_CURRENT_USER, key) != ERROR_SUCCESS) return;
  for (const std::wstring& name : k.ValueNames()) {
    if (name == L"{5E6AB780-7743-11CF-A12B-00AA004AE837}") continue;
    if (Stopped(ctx)) break;
    ShowProgress(ctx, name);
    std::wstring program;
    if (!UserAssistProgram(name, program)) continue;
    ctx.results.AddKeyedResult(L"HKEY_CURRENT_USER", key, kImageProgramsRun,
                               L"最近打开的程序历史记录", program, name);
  }
}

void ScanUltraEditProgram(ScanContext& ctx) {
  std::wstring command =
      ReadRegString(HKEY_CLASSES_ROOT, L"Applications\\Uedit32.exe\\shell\\edit\\command", L"");
  if (command.empty()) return;
  ExpandLeadingMacro(command, ctx.folders);
  const std::wstring program = sys::ExtractExePath(command);
  ShowProgress(ctx, program);
  size_t cut = program.find_last_of(L'\\');
  // Without a folder the INI name would be looked up in the working folder.
  if (cut == std::wstring::npos) return;
  const std::wstring ini = program.substr(0, cut + 1) + L"Uedit32.ini";
  if (sys::FileExists(ini)) ScanUltraEditIni(ctx, ini, {L"Recent File List"});
}

void ScanUltraEditProfile(ScanContext& ctx) {
  std::wstring folder = ctx.folders.Special(CSIDL_APPDATA);
  if (folder.empty()) return;
  ExpandLeadingMacro(folder, ctx.folders);
  folder = sys::ExtractExePath(folder) + L"\\IDMComp\\UltraEdit\\";
  ShowProgress(ctx, folder);
  const std::wstring ini = folder + L"Uedit32.ini";
  if (sys::FileExists(ini))
    ScanUltraEditIni(ctx, ini, {L"Recent File List", L"Find in File History", L"Find History"});
}

void ScanStorm(ScanContext& ctx) {
  const bool old = ctx.os.MajorVersion < 6;
  const std::wstring base = sys::EnvironmentVariable(old ? L"ALLUSERSPROFILE" : L"Localappdata");
  if (base.empty()) return;
  const std::wstring file =
      sys::WithBackslash(base) + (old ? L"Application Data\\Storm\\config.xml"
                                      : L"VirtualStore\\ProgramData\\Storm\\config.xml");
  if (!sys::FileExists(file)) return;
  sys::ComScope com;
  long count = 0;
  {
    sys::XmlDocument xml;
    if (xml.Load(file) != S_OK) return;
    count = xml.DocumentElement().LastChildNamed(L"localplayhist").ChildCount();
  }
  if (count > 0)
    AddAppItem(ctx, L"暴风影音", catalogue::kImageStorm, catalogue::ResultKind::Configuration,
               L"Storm", file, sys::Format(L"暴风影音播放历史，共%ld条记录", count));
}

void ScanMyIE2(ScanContext& ctx) {
  std::wstring file;
  if (ctx.os.MajorVersion < 6 || ctx.os.IsWow64) {
    std::wstring folder = ReadRegString(HKEY_CURRENT_USER, L"\\Software\\MYIE2", L"Folder");
    if (folder.empty()) return;
    file = folder + L"\\Config\\myie.ini";
  } else {
    std::wstring local = sys::EnvironmentVariable(L"Localappdata");
    if (local.empty()) return;
    file = local + L"\\VirtualStore\\Program Files\\MYIE2\\Config\\myie.ini";
  }
  if (!sys::FileExists(file)) return;
  sys::ProfileIni ini(file);
  int count = 0;
  for (int i = 0; i < 16; ++i)
    if (!ini.ReadString(L"UndoUrl", L"Title" + std::to_wstring(i)).empty()) ++count;
  if (count > 0)
    AddAppItem(ctx, L"MyIE2浏览器", catalogue::kImageMyIE2, catalogue::ResultKind::Configuration,
               L"MyIE2", file, sys::Format(L"MyIE2搜索记录及打开过的网页，共%d条记录", count));
}

void ScanKuGooFolder(ScanContext& ctx, const std::wstring& folder) {
  if (folder.empty() || !sys::IsPlainFolder(folder)) return;
  for (sys::FileSearch s(folder + L"*.*"); s.Found(); s.Next()) {
    const std::wstring name = s.Name();
    if (sys::Contains(name, L".") || !IsDigitsText(name) || s.IsReparsePoint()) continue;
    const std::wstring ini = folder + name + L"\\Option.ini";
    if (!sys::FileExists(ini)) continue;
    int count = sys::ProfileIni(ini).ReadInteger(L"SearchItems", L"Count", 1);
    // Count holds one more than the saved searches: 1 (or less) means none.
    if (count <= 1) continue;
    AddAppItem(ctx, L"酷狗", catalogue::kImageKuGoo, catalogue::ResultKind::Configuration,
               L"kugoo2007", ini,
               sys::Format(L"酷狗：用户%ls搜索记录，共有%d条记录", name.c_str(), count - 1));
  }
}

void ScanMaxthon2(ScanContext& ctx, const std::wstring& folder) {
  if (folder.empty() || !sys::IsPlainFolder(folder)) return;
  for (sys::FileSearch s(folder + L"*.*"); s.Found(); s.Next())
    if (sys::Contains(s.Name(), L"@") && s.IsDirectory() && !s.IsReparsePoint())
      ScanMaxthonData(ctx, folder + s.Name() + L"\\Data\\");
  ScanMaxthonData(ctx, folder + L"SharedAccount\\Data\\");
}

void ScanMaxthon1(ScanContext& ctx, const std::wstring& folder) {
  if (folder.empty()) return;
  const std::wstring config = sys::WithBackslash(folder) + L"Config\\";
  if (sys::FileExists(config + L"Dynamic.ini"))
    AddAppItem(ctx, L"Dynamic.ini", catalogue::kImageMaxthon, catalogue::ResultKind::None, L"",
               config, L"傲游最近浏览的历史记录");
}

std::wstring ReadRegString(HKEY root, const std::wstring& key, const std::wstring& name) {
  // Key paths are written "\Software\..." in places; the registry wants them relative.
  size_t start = key.find_first_not_of(L'\\');
  sys::RegKey k;
  if (k.OpenRead(root, start == std::wstring::npos ? L"" : key.substr(start)) != ERROR_SUCCESS)
    return {};
  DWORD type = k.ValueType(name);
  if (type != REG_SZ && type != REG_EXPAND_SZ) return {};
  std::wstring value;
  if (k.ReadString(name, value) != ERROR_SUCCESS) return {};
  return value;
}

void ExpandLeadingMacro(std::wstring& text, const machine::Folders& folders) {
  const struct {
    const wchar_t* macro;
    std::wstring folder;
  } macros[] = {
      {L"%programfiles%", folders.Special(CSIDL_PROGRAM_FILES)},
      {L"%systemroot%", folders.windows},
      {L"%commonprogramfiles%", folders.Special(CSIDL_PROGRAM_FILES_COMMON)},
      {L"%windir%", folders.windows},
  };
  const std::wstring lower = sys::LowerCase(text);
  for (const auto& m : macros) {
    if (!sys::StartsWith(lower, m.macro)) continue;
    // An unknown folder would leave a path from the drive root: keep the text instead.
    if (!m.folder.empty()) text.replace(0, wcslen(m.macro), m.folder);
    return;
  }
}

bool IsDigitsText(const std::wstring& text) {
  const std::wstring t = sys::Trim(text);
  return !t.empty() && t.find_first_not_of(L"0123456789.") == std::wstring::npos;
}

}  // namespace scan
