#include <shlobj.h>

#include <cwctype>
#include <set>

#include "catalogue/Images.h"
#include "registry_scan/FindInvalidRegistry.h"
#include "registry_scan/Judge.h"
#include "registry_scan/ScanSupport.h"
#include "sys/FileSearch.h"
#include "sys/FolderWalk.h"
#include "sys/Registry.h"
#include "sys/Text.h"
#include "sys/Views.h"
#include "machine/Folders.h"
#include "machine/TarnGetOSInfo.h"

namespace registry_scan {

using namespace catalogue::images;

using namespace detail;

namespace {

const wchar_t kMenuOrderKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\";
const wchar_t kClassesKey[] = L"Software\\CLASSES\\";
// The handler of the shell's "new" menu, registered without a class of that name.
const wchar_t kNewMenuHandler[] = L"{B41DB860-64E4-11D2-9906-E49FADC173CA}";

std::wstring Child(const std::wstring& rel, const std::wstring& name) {
  return rel.empty() ? name : rel + L"\\" + name;
}

std::wstring ReplaceAll(std::wstring s, const std::wstring& from, const std::wstring& to) {
  for (size_t at = s.find(from); at != std::wstring::npos; at = s.find(from, at + to.size()))
    s.replace(at, from.size(), to);
  return s;
}

// Chinese names of the standard Start-menu folders, as the English system names them.
std::wstring TranslateMenuNames(std::wstring t) {
  static const wchar_t* const kNames[][2] = {
      {L"启动", L"Startup"},           {L"附件", L"Accessories"},
      {L"管理工具", L"Administrative Tools"}, {L"方案和升级", L"Extras and Upgrades"},
      {L"游戏", L"Games"},             {L"维护", L"Maintenance"}};
  for (const auto& n : kNames) t = ReplaceAll(t, n[0], n[1]);
  if (sys::Contains(t, L"Accessories\\系统工具")) t = ReplaceAll(t, L"系统工具", L"System Tools");
  if (sys::Contains(t, L"Accessories\\轻松访问")) t = ReplaceAll(t, L"轻松访问", L"Accessibility");
  return t;
}

// Key and folder names alike compare without regard to case, as Windows compares them.
bool Listed(const std::vector<std::wstring>& list, const std::wstring& s) {
  const std::wstring lower = sys::LowerCase(s);
  for (const std::wstring& e : list)
    if (sys::LowerCase(e) == lower) return true;
  return false;
}

}  // namespace

Verdict JudgeHelpValue(const JudgeContext& ctx, const std::wstring& keyPath,
                       const sys::RegKey& key, const std::wstring& name) {
  // A finding without a value name would stand for the whole key.
  if (name.empty()) return {};
  // A value that is not text says nothing of a help file.
  std::wstring text;
  if (key.ReadString(name, text) != ERROR_SUCCESS) return {};
  if (text.empty()) return Dead(kMachine, keyPath, L"", name);
  if (text.size() <= 2) return {};
  const wchar_t drive = wchar_t(std::towupper(text[0]));
  if (drive < L'C' || drive > L'Z' || text[1] != L':' || text[2] != L'\\') return {};
  const std::wstring folder = sys::WithBackslash(text);
  if (!PathMissing(folder + name)) return {};
  const std::wstring& windows = ctx.folders.windows;
  if (!windows.empty() && sys::Contains(folder, windows)) return {};
  return Dead(kMachine, keyPath, folder, name);
}

void ScanHelpKey(ScanContext& ctx, const std::wstring& keyPath) {
  sys::RegKey key;
  if (key.OpenRead(HKEY_LOCAL_MACHINE, keyPath) != ERROR_SUCCESS) return;
  const JudgeContext judge = Judging(ctx);
  for (const std::wstring& name : key.ValueNames())
    if (ReportIfDead(ctx, JudgeHelpValue(judge, keyPath, key, name), kImageHelp, L"无效的帮助"))
      Pump(ctx);
}

void ScanHelpFiles(ScanContext& ctx) {
  ScanHelpKey(ctx, L"Software\\Microsoft\\Windows\\Help");
  ScanHelpKey(ctx, L"Software\\Microsoft\\Windows\\HTML Help");
}

void ListMenuFolders(const std::wstring& base, const std::wstring& rel,
                     std::vector<std::wstring>& folders) {
  if (base.empty()) return;
  std::set<std::wstring> bare;
  for (const std::wstring& f : folders) bare.insert(sys::LowerCase(f));
  // Links are not walked (FolderWalk): they may lead anywhere, round in circles too.
  for (sys::FolderWalk walk(base + rel); walk.Next();) {
    const std::wstring here = walk.Folder().substr(base.size());
    for (sys::FileSearch f(walk.Folder() + L"\\*.*"); f.Found(); f.Next()) {
      if (!f.IsDirectory() || f.IsReparsePoint()) continue;
      const std::wstring name = f.Name();
      if (name.empty() || name[0] == L'.' || bare.count(sys::LowerCase(name))) continue;
      folders.push_back(Child(here, name));
      bare.insert(sys::LowerCase(folders.back()));
      walk.Enter(walk.Folder() + L"\\" + name, f.Attributes());
    }
  }
}

void ListMenuOrderKeys(const std::wstring& key, const std::wstring& rel,
                       std::vector<std::wstring>& keys) {
  std::vector<std::wstring> pending = {rel};
  while (!pending.empty()) {
    const std::wstring here = pending.back();
    pending.pop_back();
    std::vector<std::wstring> below;
    for (const std::wstring& name : sys::GetRegSubKeyNames(HKEY_CURRENT_USER, key + here)) {
      keys.push_back(Child(here, name));
      sys::RegKey k;
      if (k.OpenRead(HKEY_CURRENT_USER, key + here + L"\\" + name) == ERROR_SUCCESS &&
          k.HasSubKeys())
        below.push_back(here + L"\\" + name);
    }
    // The first sub-key is taken next, as a recursive walk would take it.
    pending.insert(pending.end(), below.rbegin(), below.rend());
  }
}

// The folder is proven missing below every programs folder that is known: the list
// above leaves out user-only folders below shared ones.
bool FolderMissing(const std::vector<std::wstring>& bases, const std::wstring& rel) {
  const std::wstring tail = rel.empty() || rel[0] == L'\\' ? rel : L"\\" + rel;
  bool known = false;
  for (const std::wstring& base : bases) {
    if (base.empty()) continue;
    if (!PathMissing(base + tail)) return false;
    known = true;
  }
  return known;
}

namespace {

const wchar_t kStartMenus[][12] = {L"Start Menu", L"Start Menu2"};

// The folder key ("...\Start Menu\Programs") and the path below it as ListMenuOrderKeys
// names it ("Accessories", "\Accessories\Gone"); false for a key outside the menus.
bool SplitMenuOrderKey(const std::wstring& keyPath, std::wstring& key, std::wstring& rel) {
  for (const wchar_t* menu : kStartMenus) {
    const std::wstring parent = kMenuOrderKey + std::wstring(menu) + L"\\";
    if (keyPath.size() <= parent.size() ||
        sys::LowerCase(keyPath.substr(0, parent.size())) != sys::LowerCase(parent))
      continue;
    const size_t slash = keyPath.find(L'\\', parent.size());
    if (slash == std::wstring::npos || slash + 1 >= keyPath.size()) return false;
    key = keyPath.substr(0, slash);
    rel = keyPath.substr(slash + 1);
    if (rel.find(L'\\') != std::wstring::npos) rel = L"\\" + rel;
    return true;
  }
  return false;
}

// The programs folders and the folders below them, as the scan lists them.
void ListStartMenu(const JudgeContext& ctx, std::vector<std::wstring>& folders,
                   std::vector<std::wstring>& bases) {
  const int major = ctx.os.MajorVersion;
  if (major == 4) {
    bases.push_back(ctx.folders.Special(CSIDL_PROGRAMS));
  } else {
    bases.push_back(ctx.folders.Special(CSIDL_COMMON_PROGRAMS));
    if (major > 4) bases.push_back(ctx.folders.Special(CSIDL_PROGRAMS));
  }
  for (const std::wstring& base : bases) ListMenuFolders(base, L"", folders);
}

}  // namespace

Verdict JudgeMenuOrderKey(const JudgeContext& ctx, const std::wstring& keyPath) {
  std::wstring key, r;
  if (!SplitMenuOrderKey(keyPath, key, r)) return {};
  std::vector<std::wstring> listed, listedBases;
  if (!ctx.cache) ListStartMenu(ctx, listed, listedBases);
  const std::vector<std::wstring>& folders = ctx.cache ? ctx.cache->menuFolders : listed;
  const std::vector<std::wstring>& bases = ctx.cache ? ctx.cache->menuBases : listedBases;
  if (sys::LowerCase(r) == L"menu") return {};
  std::wstring t = r;
  if (Listed(folders, t)) return {};
  if (t == L"\\附件\\通讯\\超级终端" || t == L"\\Accessories\\Communications\\HyperTerminal" ||
      t == L"\\附属应用程序\\通讯\\超级终端机")
    return {};
  const std::wstring original = t;
  t = TranslateMenuNames(t);
  if (Listed(folders, t) || t.empty()) return {};
  if (!FolderMissing(bases, original) || !FolderMissing(bases, t)) return {};
  if (t[0] == L'\\') t.erase(0, 1);
  return Dead(kUser, r[0] == L'\\' ? key + r : key + L"\\" + r, t);
}

void CheckMenuOrderKey(ScanContext& ctx, const std::wstring& key,
                       const std::vector<std::wstring>& folders,
                       const std::vector<std::wstring>& bases) {
  JudgeCache cache;
  cache.menuFolders = folders;
  cache.menuBases = bases;
  const JudgeContext judge = Judging(ctx, &cache);
  std::vector<std::wstring> keys;
  ListMenuOrderKeys(key, L"", keys);
  for (const std::wstring& r : keys) {
    const std::wstring path = r[0] == L'\\' ? key + r : key + L"\\" + r;
    if (ReportIfDead(ctx, JudgeMenuOrderKey(judge, path), kImageMenu, L"无效的菜单")) Pump(ctx);
  }
}

void ScanStartMenuOrder(ScanContext& ctx) {
  std::vector<std::wstring> folders, bases;
  ListStartMenu(Judging(ctx), folders, bases);
  for (const wchar_t* menu : kStartMenus) {
    const std::wstring parent = kMenuOrderKey + std::wstring(menu);
    for (const std::wstring& k : sys::GetRegSubKeyNames(HKEY_CURRENT_USER, parent))
      CheckMenuOrderKey(ctx, parent + L"\\" + k, folders, bases);
  }
}

Verdict JudgeContextMenuHandler(const JudgeContext& ctx, const std::wstring& className,
                                const std::wstring& handler) {
  const std::wstring handlers = kClassesKey + className + L"\\shellex\\ContextMenuHandlers";
  const std::wstring clsids = std::wstring(kClassesKey) + L"CLSID";
  const std::wstring value = DefaultText(HKEY_LOCAL_MACHINE, handlers + L"\\" + handler);
  if (value.empty() || !sys::RegKeyExists(HKEY_LOCAL_MACHINE, clsids)) return {};
  // A 64-bit shell extension has its class in the 64-bit view only, one installed for
  // this user in the user's classes.
  if (ClassExists(ctx, L"CLSID\\" + value) || ClassExists(ctx, L"CLSID\\" + handler)) return {};
  std::wstring upper = value;
  for (wchar_t& c : upper) c = wchar_t(std::towupper(c));
  if (upper == kNewMenuHandler) return {};
  return Dead(kMachine, handlers + L"\\" + handler, handler);
}

void ScanContextMenuHandlers(ScanContext& ctx, const std::wstring& className) {
  const std::wstring handlers = kClassesKey + className + L"\\shellex\\ContextMenuHandlers";
  const JudgeContext judge = Judging(ctx);
  for (const std::wstring& h : sys::GetRegSubKeyNames(HKEY_LOCAL_MACHINE, handlers))
    ReportIfDead(ctx, JudgeContextMenuHandler(judge, className, h), kImageMenu, L"无效的菜单");
}

}  // namespace registry_scan
