#include "registry_scan/FindInvalidRegistry.h"

#include <cwctype>
#include <set>

#include "catalogue/Images.h"
#include "registry_scan/Judge.h"
#include "registry_scan/ScanSupport.h"
#include "sys/Registry.h"
#include "sys/Text.h"
#include "sys/Views.h"
#include "machine/Folders.h"

namespace registry_scan {

using namespace catalogue::images;

using namespace detail;

namespace {

const wchar_t kSharedDllsKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";
const wchar_t kInstallerFoldersKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\Folders";
const wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const wchar_t kAppPathsKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const wchar_t kArpCacheKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache";

// A decimal integer with optional blanks and sign; false for anything else.
bool ParseDecimal(const std::wstring& text, long long& value) {
  std::wstring s = sys::Trim(text);
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == L'+' || s[i] == L'-')) negative = s[i++] == L'-';
  if (i == s.size()) return false;
  long long v = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < L'0' || s[i] > L'9') return false;
    v = v * 10 + (s[i] - L'0');
    if (v > 0xFFFFFFFFLL) return false;
  }
  value = negative ? -v : v;
  return true;
}

// The views in which a key of HKLM may live: the program's own, and on 64-bit Windows
// both named ones.
std::vector<sys::RegView> MachineViews() {
  if (!sys::HasRegistryViews()) return {sys::RegView::Default};
  return {sys::RegView::Default, sys::RegView::Native64, sys::RegView::Wow32};
}

std::vector<std::wstring> SubKeyNamesIn(HKEY root, const std::wstring& path, sys::RegView view) {
  sys::RegKey k;
  if (k.OpenRead(root, path, view) != ERROR_SUCCESS) return {};
  return k.SubKeyNames();
}

// A key with sub-keys or values in some view is in use.
bool InUseInAnyView(const std::wstring& path) {
  for (sys::RegView view : MachineViews()) {
    sys::RegKey k;
    DWORD subKeys = 0, values = 0;
    if (k.OpenRead(HKEY_LOCAL_MACHINE, path, view) == ERROR_SUCCESS &&
        k.KeyInfo(subKeys, values) == ERROR_SUCCESS && (subKeys > 0 || values > 0))
      return true;
  }
  return false;
}

// Keys of Windows itself, empty on a fresh system until a policy or a program fills them.
bool IsSystemKey(const std::wstring& name) {
  static const wchar_t* const kNames[] = {L"policies", L"registeredapplications",
                                          L"registered applications", L"clients", L"classes"};
  const std::wstring lower = sys::LowerCase(name);
  for (const wchar_t* n : kNames)
    if (lower == n) return true;
  return false;
}

bool IsEmptyKey(const sys::RegKey& k) {
  DWORD subKeys = 0, values = 0;
  return k.KeyInfo(subKeys, values) == ERROR_SUCCESS && subKeys == 0 && values == 0;
}

// Empty machine keys that stay all the same.
bool IsExceptionKey(const std::wstring& name) {
  const std::wstring lower = sys::LowerCase(name);
  return lower == L"secure" || lower == L"cnetseek" || IsSystemKey(name);
}

// The machine key of that name is used: it holds something in some view, or it is one
// of the empty keys that stay.
bool MachineKeyInUse(const std::wstring& name) {
  const std::wstring path = L"Software\\" + name;
  return InUseInAnyView(path) ||
         (IsExceptionKey(name) && sys::RegKeyExists(HKEY_LOCAL_MACHINE, path));
}

// Uninstall key names of every view, trimmed and lower case.
std::set<std::wstring> UninstallNames() {
  std::set<std::wstring> names;
  for (sys::RegView view : MachineViews())
    for (const std::wstring& u : SubKeyNamesIn(HKEY_LOCAL_MACHINE, kUninstallKey, view))
      names.insert(sys::LowerCase(sys::Trim(u)));
  return names;
}

}  // namespace

Verdict JudgeSharedDll(const JudgeContext&, const sys::RegKey& key, const std::wstring& name) {
  Verdict v;
  // A finding without a value name would stand for the whole key.
  if (name.empty()) return v;
  long long count = 0;
  DWORD type = key.ValueType(name);
  if (type == REG_DWORD) {
    DWORD n = 0;
    if (key.ReadInteger(name, n) != ERROR_SUCCESS) return v;
    count = n;
  } else if (type == REG_SZ) {
    // Text that is no number says nothing about the count.
    if (!ParseDecimal(key.ReadString(name), count)) return v;
  } else {
    return v;
  }
  if (count != 0 && !PathMissing(name)) return v;
  return Dead(kMachine, kSharedDllsKey, L"", name);
}

Verdict JudgeInstallerFolder(const JudgeContext& ctx, const sys::RegKey& key,
                             const std::wstring& name) {
  Verdict v;
  if (name.empty()) return v;
  DWORD type = key.ValueType(name);
  if (type != REG_SZ && type != REG_EXPAND_SZ) return v;
  const std::wstring windows = sys::LowerCase(ctx.folders.windows);
  const std::wstring lower = sys::LowerCase(name);
  if ((!windows.empty() && sys::Contains(lower, windows)) ||
      sys::Contains(lower, L"common files") || sys::Contains(lower, L"template") ||
      sys::Contains(lower, L"office"))
    return v;
  if (!PathMissing(name)) return v;
  return Dead(kMachine, kInstallerFoldersKey, L"", name);
}

Verdict JudgeMachineSoftwareKey(const JudgeContext&, const std::wstring& name) {
  const std::wstring path = L"Software\\" + name;
  sys::RegKey k;
  if (k.OpenRead(HKEY_LOCAL_MACHINE, path) != ERROR_SUCCESS || !IsEmptyKey(k)) return {};
  if (IsExceptionKey(name) || InUseInAnyView(path)) return {};
  return Dead(kMachine, path);
}

Verdict JudgeUserSoftwareKey(const JudgeContext& ctx, const std::wstring& name) {
  const std::wstring path = L"Software\\" + name;
  sys::RegKey k;
  if (k.OpenRead(HKEY_CURRENT_USER, path) != ERROR_SUCCESS || !IsEmptyKey(k)) return {};
  if (sys::LowerCase(name) == L"cnetseek") return {};
  // The registry compares key names without regard to case, and so does this test.
  const bool inUse = ctx.cache ? ctx.cache->machineKeysInUse.count(sys::LowerCase(name)) > 0
                               : MachineKeyInUse(name);
  if (inUse) return {};
  return Dead(kUser, path);
}

Verdict JudgeArpCacheEntry(const JudgeContext& ctx, const std::wstring& name) {
  if (name.size() > 1 && name[0] == L'{') return {};
  const std::set<std::wstring> uninstall = ctx.cache ? std::set<std::wstring>() : UninstallNames();
  const std::set<std::wstring>& names = ctx.cache ? ctx.cache->uninstallNames : uninstall;
  // Without any uninstall entry nothing tells which program a cache entry belonged to.
  if (names.empty() || names.count(sys::LowerCase(sys::Trim(name)))) return {};
  return Dead(kMachine, std::wstring(kArpCacheKey) + L"\\" + name, name);
}

Verdict JudgeAppPath(const JudgeContext& ctx, const std::wstring& rootName,
                     const std::wstring& name, sys::RegView view) {
  const HKEY root = sys::RootFromName(rootName);
  const std::wstring path = std::wstring(kAppPathsKey) + L"\\" + name;
  sys::RegKey key;
  if (!root || name.empty() || key.OpenRead(root, path, view) != ERROR_SUCCESS) return {};
  std::wstring program;
  if (key.ReadString(L"", program) != ERROR_SUCCESS) return {};
  // Only a program given by its full path can be judged.
  if (!sys::Contains(ExpandVariables(program), L":\\") || !ProgramMissing(ctx, program)) return {};
  Verdict v = Dead(root == HKEY_CURRENT_USER ? kUser : kMachine, path, program);
  v.view = view;
  return v;
}

void ScanSharedDlls(ScanContext& ctx) {
  sys::RegKey key;
  if (key.OpenRead(HKEY_LOCAL_MACHINE, kSharedDllsKey) != ERROR_SUCCESS) return;
  const JudgeContext judge = Judging(ctx);
  for (const std::wstring& name : key.ValueNames()) {
    if (Stopped(ctx)) return;
    Status(ctx, name);
    if (ReportIfDead(ctx, JudgeSharedDll(judge, key, name), kImageLibrary, L"冗余动态链接库"))
      Pump(ctx);
  }
}

void ScanInstallerFolders(ScanContext& ctx) {
  sys::RegKey key;
  if (key.OpenRead(HKEY_LOCAL_MACHINE, kInstallerFoldersKey) != ERROR_SUCCESS) return;
  const JudgeContext judge = Judging(ctx);
  for (const std::wstring& name : key.ValueNames()) {
    if (Stopped(ctx)) return;
    Status(ctx, name);
    if (ReportIfDead(ctx, JudgeInstallerFolder(judge, key, name), kImageApplications,
                     L"无效的安装程序"))
      Pump(ctx);
  }
}

void ScanSoftwareKeys(ScanContext& ctx) {
  const std::wstring software = L"Software";
  JudgeCache cache;
  const JudgeContext judge = Judging(ctx, &cache);
  // Machine keys in use, in any view: a key only in the 64-bit view is used as well.
  for (sys::RegView view : MachineViews()) {
    for (const std::wstring& name : SubKeyNamesIn(HKEY_LOCAL_MACHINE, software, view)) {
      const std::wstring lower = sys::LowerCase(name);
      if (cache.machineKeysInUse.count(lower)) continue;
      sys::RegKey k;
      if (k.OpenRead(HKEY_LOCAL_MACHINE, software + L"\\" + name, view) != ERROR_SUCCESS)
        continue;
      if (!IsEmptyKey(k)) {
        cache.machineKeysInUse.insert(lower);
        continue;
      }
      if (view != sys::RegView::Default) continue;  // only keys the clean can reach
      const Verdict v = JudgeMachineSoftwareKey(judge, name);
      if (!v.dead) {
        cache.machineKeysInUse.insert(lower);
        continue;
      }
      ReportIfDead(ctx, v, kImageWindows, L"无效的软件");
      Pump(ctx);
    }
  }

  for (const std::wstring& name : sys::GetRegSubKeyNames(HKEY_CURRENT_USER, software))
    if (ReportIfDead(ctx, JudgeUserSoftwareKey(judge, name), kImageWindows, L"无效的软件"))
      Pump(ctx);

  // Programs registered for "Run" by name whose file is gone: the machine's in both
  // registry views, the user's.
  const std::pair<const wchar_t*, sys::RegView> appPaths[] = {
      {kMachine, sys::RegView::Default}, {kMachine, sys::RegViews().other}, {kUser, sys::RegView::Default}};
  for (const auto& place : appPaths) {
    if (place.second != sys::RegView::Default && !sys::HasRegistryViews()) continue;
    sys::RegKey key;
    if (key.OpenRead(sys::RootFromName(place.first), kAppPathsKey, place.second) != ERROR_SUCCESS)
      continue;
    for (const std::wstring& name : key.SubKeyNames())
      if (ReportIfDead(ctx, JudgeAppPath(judge, place.first, name, place.second), kImageWindows,
                       L"无效的软件"))
        Pump(ctx);
  }

  // Cache entries of programs that have no uninstall entry in either view.
  cache.uninstallNames = UninstallNames();
  const std::vector<std::wstring> entries =
      sys::GetRegSubKeyNames(HKEY_LOCAL_MACHINE, kArpCacheKey);
  if (cache.uninstallNames.empty() || entries.empty()) return;
  for (const std::wstring& a : entries)
    if (ReportIfDead(ctx, JudgeArpCacheEntry(judge, a), kImageWindows, L"无效的软件")) Pump(ctx);
}

}  // namespace registry_scan
