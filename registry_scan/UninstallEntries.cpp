#include <algorithm>

#include "catalogue/Images.h"
#include "registry_scan/FindInvalidRegistry.h"
#include "registry_scan/Judge.h"
#include "registry_scan/ScanSupport.h"
#include "sys/FileSearch.h"
#include "sys/FileUtils.h"
#include "sys/FileVersion.h"
#include "sys/Registry.h"
#include "sys/Text.h"
#include "sys/Views.h"
#include "machine/Folders.h"

namespace registry_scan {

using namespace catalogue::images;

using namespace detail;

namespace {

const wchar_t kProductsKey[] = L"SOFTWARE\\Classes\\Installer\\Products";
const wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const wchar_t kUserDataKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData";
const wchar_t kDescription[] = L"无效的反安装程序";

std::wstring ProductsOfUser(const std::wstring& sid) {
  return std::wstring(kUserDataKey) + L"\\" + sid + L"\\Products\\";
}

// The value as text; a value that exists but is not text gives the default value.
std::wstring TextOrDefault(const sys::RegKey& key, const std::wstring& name) {
  std::wstring text;
  if (ReadText(key, name, text) == ERROR_SUCCESS) return text;
  return ReadTextOrEmpty(key, L"");
}

// The first of the two values that exists, as text (errors give empty); `found` tells
// whether either exists.
std::wstring FirstOf(const sys::RegKey& key, const wchar_t* a, const wchar_t* b, bool* found) {
  const wchar_t* name = key.ValueExists(a) ? a : key.ValueExists(b) ? b : nullptr;
  if (found) *found = name != nullptr;
  return name ? ReadTextOrEmpty(key, name) : std::wstring();
}

std::wstring FileNamePart(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring FolderPart(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

bool HasFileVersion(const std::wstring& file) {
  return !sys::Trim(sys::GetVersionInfoString(file, L"FileVersion")).empty();
}

}  // namespace

std::wstring GuessProgramIcon(const ScanContext& ctx, const std::wstring& uninstall) {
  return GuessProgramIcon(Judging(ctx), uninstall);
}

std::wstring GuessProgramIcon(const JudgeContext& ctx, const std::wstring& uninstall) {
  std::wstring s = sys::LowerCase(uninstall);
  const std::wstring windows = sys::LowerCase(ctx.folders.windows);
  const bool underWindows = !windows.empty() && sys::Contains(s, windows);
  if (sys::StartsWith(s, L"rundll32 ")) {
    s.erase(0, 9);
    if (sys::Contains(s, L"ctor.dll")) return {};
  }
  const std::wstring logSwitch = L"uninst.exe -f";
  size_t at = s.find(logSwitch);
  if (underWindows && at != std::wstring::npos) s.erase(0, at + logSwitch.size());
  s = sys::ExtractExePath(s);
  if (s.size() < 2 || s[1] != L':') return {};
  if (sys::Contains(s, L"~")) {
    s = sys::LowerCase(sys::GetLongPath(s));
    if (s.empty()) return {};
  }
  if (!sys::Contains(s, L"unins") && !sys::Contains(s, L"unwise.exe") && HasFileVersion(s))
    return s;
  if (windows.empty() || !sys::Contains(s, windows)) {
    const std::wstring folder = FolderPart(s);
    if (folder.empty()) return {};
    for (sys::FileSearch f(folder + L"\\*.exe"); f.Found(); f.Next()) {
      if (f.IsDirectory()) continue;
      const std::wstring file = folder + L"\\" + f.Name();
      if (HasFileVersion(file)) return file;
    }
    return {};
  }
  return sys::FileExistsInAnyView(s) ? s : std::wstring();
}

bool IsUninstallEntryValid(const JudgeContext& ctx, const std::wstring& uninstall,
                           const std::wstring& displayName, const std::wstring& icon,
                           const ProductList& products) {
  if (uninstall.empty()) return true;
  if (!icon.empty()) {
    if (!ProgramMissing(ctx, icon)) return true;
    if (icon[0] == L'%' && !ctx.folders.system.empty() &&
        sys::FileExistsInAnyView(ctx.folders.system + L"\\" + FileNamePart(icon)))
      return true;
    if (sys::Contains(icon, L"\\\\")) return true;  // a network share
    if (sys::Contains(sys::LowerCase(icon), L"setupapi.dll")) return true;
    return !ProgramMissing(ctx, uninstall);
  }
  if (sys::Contains(sys::LowerCase(uninstall), L"msiexec.exe") && sys::Contains(uninstall, L"{")) {
    for (const auto& p : products) {
      if (p->ProductName.empty() || p->ProductName != displayName) continue;
      if (p->ProductIcon.empty()) return true;
      if (!ProgramMissing(ctx, p->ProductIcon) || !ProgramMissing(ctx, uninstall)) return true;
      return sys::Contains(sys::LowerCase(displayName), L"acronis");
    }
    return true;
  }
  // An uninstaller given its log file: the log decides.
  size_t at = uninstall.find(L"-f\"");
  if (at != std::wstring::npos) return !ProgramMissing(ctx, uninstall.substr(at + 3));
  return true;
}

namespace {

// The product an uninstall entry of that display name owns: the last one of that name.
ProductList::const_iterator ProductNamed(const ProductList& products, const std::wstring& display) {
  for (size_t i = products.size(); i-- > 0;)
    if (!products[i]->ProductName.empty() && products[i]->ProductName == display)
      return products.begin() + i;
  return products.end();
}

// A product matched by a dead entry is not judged again.
void ForgetProduct(ProductList& products, const std::wstring& display) {
  auto it = ProductNamed(products, display);
  if (it != products.end()) products.erase(it);
}

// One entry: `prefix` + `name` (an uninstall entry), or `prefix` + `productKey` +
// "\InstallProperties" (a product's own); `name` stands in for a missing display name.
Verdict JudgeEntryAt(const JudgeContext& ctx, const std::wstring& prefix, const std::wstring& name,
                     const std::wstring& productKey, const ProductList& products,
                     sys::RegView view) {
  const std::wstring path =
      productKey.empty() ? prefix + name : prefix + productKey + L"\\InstallProperties";
  sys::RegKey key;
  if (key.OpenRead(HKEY_LOCAL_MACHINE, path, view) != ERROR_SUCCESS) return {};
  bool named = false;
  std::wstring display = FirstOf(key, L"DisplayName", L"QuietDisplayName", &named);
  if (!named) display = name;
  const std::wstring uninstall = FirstOf(key, L"UninstallString", L"QuietUninstallString", nullptr);
  if (!named && uninstall.empty()) return {};
  std::wstring icon = ReadTextOrEmpty(key, L"DisplayIcon");
  key.Close();
  if (icon.empty() && !uninstall.empty()) icon = GuessProgramIcon(ctx, uninstall);
  if (IsUninstallEntryValid(ctx, uninstall, display, icon, products)) return {};

  Verdict v = Dead(kMachine, productKey.empty() ? prefix + name : prefix + productKey, display);
  v.view = view;
  // A product matched by an uninstall entry: its installer registrations go with it.
  if (!productKey.empty()) return v;
  auto owned = ProductNamed(products, display);
  if (owned == products.end()) return v;
  if (sys::Contains(display, L"Office") && sys::Contains(display, L"2007")) return v;
  const std::wstring product = (*owned)->ProductKey;
  const std::wstring registration = std::wstring(kProductsKey) + L"\\" + product;
  if (sys::RegKeyExists(HKEY_LOCAL_MACHINE, registration))
    v.along.push_back(Dead(kMachine, registration, display));
  for (const std::wstring& sid : sys::GetRegSubKeyNames(HKEY_LOCAL_MACHINE, kUserDataKey)) {
    const std::wstring perUser = ProductsOfUser(sid) + product;
    if (sys::RegKeyExists(HKEY_LOCAL_MACHINE, perUser))
      v.along.push_back(Dead(kMachine, perUser, display));
  }
  return v;
}

}  // namespace

ProductList ReadInstallerProducts() {
  ProductList products;
  for (const std::wstring& name : sys::GetRegSubKeyNames(HKEY_LOCAL_MACHINE, kProductsKey)) {
    sys::RegKey k;
    if (k.OpenRead(HKEY_LOCAL_MACHINE, std::wstring(kProductsKey) + L"\\" + name) != ERROR_SUCCESS)
      continue;
    std::unique_ptr<TRegIcoPosition> p(new TRegIcoPosition);
    p->ProductName = TextOrDefault(k, L"ProductName");
    p->ProductIcon = TextOrDefault(k, L"ProductIcon");
    p->ProductKey = name;
    products.push_back(std::move(p));
  }
  return products;
}

Verdict JudgeUninstallEntry(const JudgeContext& ctx, const std::wstring& name, sys::RegView view) {
  const std::wstring prefix = std::wstring(kUninstallKey) + L"\\";
  if (ctx.cache && ctx.cache->products)
    return JudgeEntryAt(ctx, prefix, name, L"", *ctx.cache->products, view);
  return JudgeEntryAt(ctx, prefix, name, L"", ReadInstallerProducts(), view);
}

Verdict JudgeProductProperties(const JudgeContext& ctx, const std::wstring& sid,
                               const std::wstring& productKey) {
  ProductList read;
  if (!ctx.cache || !ctx.cache->products) read = ReadInstallerProducts();
  const ProductList& products = read.empty() && ctx.cache && ctx.cache->products
                                    ? *ctx.cache->products
                                    : read;
  std::wstring productName;
  for (const auto& p : products)
    if (p->ProductKey == productKey) productName = p->ProductName;
  return JudgeEntryAt(ctx, ProductsOfUser(sid), productName, productKey, products,
                      sys::RegView::Default);
}

void ScanUninstallEntries(ScanContext& ctx) {
  ProductList products = ReadInstallerProducts();
  JudgeCache cache;
  cache.products = &products;
  const JudgeContext judge = Judging(ctx, &cache);

  for (const std::wstring& name : sys::GetRegSubKeyNames(HKEY_LOCAL_MACHINE, kUninstallKey)) {
    const Verdict v = JudgeUninstallEntry(judge, name);
    if (ReportIfDead(ctx, v, kImageApplications, kDescription)) ForgetProduct(products, v.data);
  }

  if (products.empty()) return;
  const std::vector<std::wstring> sids = sys::GetRegSubKeyNames(HKEY_LOCAL_MACHINE, kUserDataKey);
  // The products left, from the last: a removal during the walk neither skips nor
  // repeats one.
  std::vector<const TRegIcoPosition*> pending;
  for (const auto& p : products) pending.push_back(p.get());
  for (size_t i = pending.size(); i-- > 0;) {
    auto still = std::find_if(products.begin(), products.end(),
                              [&](const std::unique_ptr<TRegIcoPosition>& p) {
                                return p.get() == pending[i];
                              });
    if (still == products.end()) continue;
    const std::wstring productKey = (*still)->ProductKey;  // the entry may be freed below
    for (const std::wstring& sid : sids) {
      if (!sys::RegKeyExists(HKEY_LOCAL_MACHINE,
                             ProductsOfUser(sid) + productKey + L"\\InstallProperties"))
        continue;
      const Verdict v = JudgeProductProperties(judge, sid, productKey);
      if (ReportIfDead(ctx, v, kImageApplications, kDescription)) ForgetProduct(products, v.data);
      break;
    }
  }
}

}  // namespace registry_scan
