#include "registry_scan/FindInvalidRegistry.h"

#include <cwctype>
#include <set>

#include "catalogue/Images.h"
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

}  // namespace

void ScanSharedDlls(ScanContext& ctx) {
  sys::RegKey key;
  if (key.OpenRead(HKEY_LOCAL_MACHINE, kSharedDllsKey) != ERROR_SUCCESS) return;
  for (const std::wstring& name : key.ValueNames()) {
    if (Stopped(ctx)) return;
    Status(ctx, name);
    // A finding without a value name would stand for the whole key.
    if (name.empty()) continue;
    long long count = 0;
    DWORD type = key.ValueType(name);
    if (type == REG_DWORD) {
      DWORD v = 0;
      if (key.ReadInteger(name, v) != ERROR_SUCCESS) continue;
      count = v;
    } else if (type == REG_SZ) {
      // Text that is no number says nothing about the count.
      if (!ParseDecimal(key.ReadString(name), count)) continue;
    } else {
      continue;
    }
    if (count != 0 && sys::ExistsInAnyView(name)) continue;
    Report(ctx, kMachine, kSharedDllsKey, kImageLibrary, L"冗余动态链接库", L"", name);
    Pump(ctx);
  }
}

void ScanInstallerFolders(ScanContext& ctx) {
  sys::RegKey key;
  if (key.OpenRead(HKEY_LOCAL_MACHINE, kInstallerFoldersKey) != ERROR_SUCCESS) return;
  const std::wstring windows = sys::LowerCase(ctx.folders.windows);
  for (const std::wstring& name : key.ValueNames()) {
    if (Stopped(ctx)) return;
    Status(ctx, name);
    if (name.empty()) continue;
    DWORD type = key.ValueType(name);
    if (type != REG_SZ && type != REG_EXPAND_SZ) continue;
    const std::wstring lower = sys::LowerCase(name);
    if ((!windows.empty() && sys::Contains(lower, windows)) ||
        sys::Contains(lower, L"common files") || sys::Contains(lower, L"template") ||
        sys::Contains(lower, L"office"))
      continue;
    if (sys::ExistsInAnyView(name)) continue;
    Report(ctx, kMachine, kInstallerFoldersKey, kImageApplications, L"无效的安装程序", L"", name);
    Pump(ctx);
  }
}

void ScanSoftwareKeys(ScanContext& ctx) {
  const std::wstring software = L"Software";
  // Machine keys in use, in any view: a key only in the 64-bit view is used as well.
  std::set<std::wstring> inUse;
  for (sys::RegView view : MachineViews()) {
    for (const std::wstring& name : SubKeyNamesIn(HKEY_LOCAL_MACHINE, software, view)) {
      if (inUse.count(name)) continue;
      sys::RegKey k;
      if (k.OpenRead(HKEY_LOCAL_MACHINE, software + L"\\" + name, view) != ERROR_SUCCESS)
        continue;
      if (!IsEmptyKey(k)) {
        inUse.insert(name);
        continue;
      }
      if (view != sys::RegView::Default) continue;  // only keys the clean can reach
      const std::wstring path = software + L"\\" + name;
      if (name == L"Secure" || name == L"cnetseek" || IsSystemKey(name) || InUseInAnyView(path)) {
        inUse.insert(name);
        continue;
      }
      Report(ctx, kMachine, path, kImageWindows, L"无效的软件");
      Pump(ctx);
    }
  }

  for (const std::wstring& name : sys::GetRegSubKeyNames(HKEY_CURRENT_USER, software)) {
    sys::RegKey k;
    if (k.OpenRead(HKEY_CURRENT_USER, software + L"\\" + name) != ERROR_SUCCESS) continue;
    if (!IsEmptyKey(k) || name == L"cnetseek" || inUse.count(name)) continue;
    Report(ctx, kUser, software + L"\\" + name, kImageWindows, L"无效的软件");
    Pump(ctx);
  }

  // Cache entries of programs that have no uninstall entry in either view.
  std::set<std::wstring> uninstall;
  for (sys::RegView view : MachineViews())
    for (const std::wstring& u : SubKeyNamesIn(HKEY_LOCAL_MACHINE, kUninstallKey, view))
      uninstall.insert(sys::LowerCase(sys::Trim(u)));
  const std::vector<std::wstring> cache = sys::GetRegSubKeyNames(HKEY_LOCAL_MACHINE, kArpCacheKey);
  if (uninstall.empty() || cache.empty()) return;
  for (const std::wstring& a : cache) {
    if (a.size() > 1 && a[0] == L'{') continue;
    if (uninstall.count(sys::LowerCase(sys::Trim(a)))) continue;
    Report(ctx, kMachine, std::wstring(kArpCacheKey) + L"\\" + a, kImageWindows, L"无效的软件", a);
    Pump(ctx);
  }
}

}  // namespace registry_scan
