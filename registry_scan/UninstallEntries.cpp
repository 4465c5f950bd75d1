#include <algorithm>
#include <cwctype>

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
                           const TRegIcoPosition* product) {
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
    // Only the entry's own product tells: one of the same name may be another program.
    if (!product || product->ProductIcon.empty()) return true;
    if (!ProgramMissing(ctx, product->ProductIcon) || !ProgramMissing(ctx, uninstall)) return true;
    return sys::Contains(sys::LowerCase(displayName), L"acronis");
  }
  // An uninstaller given its log file: the log decides.
  size_t at = uninstall.find(L"-f\"");
  if (at != std::wstring::npos) return !ProgramMissing(ctx, uninstall.substr(at + 3));
  return true;
}

std::wstring PackedProductCode(const std::wstring& code) {
  // "{12345678-9ABC-DEF0-1234-56789ABCDEF0}": the first three groups reversed, then each
  // byte of the rest with its two digits swapped.
  if (code.size() != 38 || code[0] != L'{' || code[37] != L'}') return {};
  std::wstring hex;
  for (size_t i = 1; i < 37; ++i) {
    const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
    if (dash != (code[i] == L'-')) return {};
    if (!dash) {
      if (!std::iswxdigit(code[i])) return {};
      hex += wchar_t(std::towupper(code[i]));
    }
  }
  std::wstring packed(hex.rbegin() + 24, hex.rend());  // the first 8 reversed
  packed.append(hex.rbegin() + 20, hex.rbegin() + 24);
  packed.append(hex.rbegin() + 16, hex.rbegin() + 20);
  for (size_t i = 16; i < 32; i += 2) {
    packed += hex[i + 1];
    packed += hex[i];
  }
  return packed;
}

std::wstring UnpackedProductCode(const std::wstring& packed) {
  if (packed.size() != 32) return {};
  std::wstring hex(packed.rbegin() + 24, packed.rend());
  hex.append(packed.rbegin() + 20, packed.rbegin() + 24);
  hex.append(packed.rbegin() + 16, packed.rbegin() + 20);
  for (size_t i = 16; i < 32; i += 2) {
    hex += packed[i + 1];
    hex += packed[i];
  }
  const std::wstring code = L"{" + hex.substr(0, 8) + L"-" + hex.substr(8, 4) + L"-" +
                            hex.substr(12, 4) + L"-" + hex.substr(16, 4) + L"-" +
                            hex.substr(20) + L"}";
  return PackedProductCode(code).empty() ? std::wstring() : code;
}

namespace {

std::unique_ptr<TRegIcoPosition> ReadProduct(const std::wstring& key) {
  sys::RegKey k;
  if (key.empty() ||
      k.OpenRead(HKEY_LOCAL_MACHINE, std::wstring(kProductsKey) + L"\\" + key) != ERROR_SUCCESS)
    return nullptr;
  std::unique_ptr<TRegIcoPosition> p(new TRegIcoPosition);
  p->ProductName = TextOrDefault(k, L"ProductName");
  p->ProductIcon = TextOrDefault(k, L"ProductIcon");
  p->ProductKey = key;
  return p;
}

// One entry: `prefix` + `name` (an uninstall entry), or `prefix` + `productKey` +
// "\InstallProperties" (a product's own); `name` stands in for a missing display name.
// `product` is the entry's own installer product: the one its product code names.
Verdict JudgeEntryAt(const JudgeContext& ctx, const std::wstring& prefix, const std::wstring& name,
                     const std::wstring& productKey, const TRegIcoPosition* product,
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
  if (IsUninstallEntryValid(ctx, uninstall, display, icon, product)) return {};

  Verdict v = Dead(kMachine, productKey.empty() ? prefix + name : prefix + productKey, display);
  v.view = view;
  // The installer registrations of the product this entry uninstalls go with it.
  if (!productKey.empty() || !product) return v;
  if (sys::Contains(display, L"Office") && sys::Contains(display, L"2007")) return v;
  const std::wstring registration = std::wstring(kProductsKey) + L"\\" + product->ProductKey;
  if (sys::RegKeyExists(HKEY_LOCAL_MACHINE, registration))
    v.along.push_back(Dead(kMachine, registration, display));
  for (const std::wstring& sid : sys::GetRegSubKeyNames(HKEY_LOCAL_MACHINE, kUserDataKey)) {
    const std::wstring perUser = ProductsOfUser(sid) + product->ProductKey;
    if (sys::RegKeyExists(HKEY_LOCAL_MACHINE, perUser))
      v.along.push_back(Dead(kMachine, perUser, display));
  }
  return v;
}

// The product of that packed code: from the scan's list, else as registered now.
const TRegIcoPosition* OwnProduct(const JudgeContext& ctx, const std::wstring& key,
                                  std::unique_ptr<TRegIcoPosition>& read) {
  if (ctx.cache && ctx.cache->productsListed) {
    auto it = ctx.cache->products.find(sys::LowerCase(key));
    return it == ctx.cache->products.end() ? nullptr : it->second;
  }
  read = ReadProduct(key);
  return read.get();
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
  std::unique_ptr<TRegIcoPosition> read;
  const TRegIcoPosition* product = OwnProduct(ctx, PackedProductCode(name), read);
  return JudgeEntryAt(ctx, std::wstring(kUninstallKey) + L"\\", name, L"", product, view);
}

Verdict JudgeProductProperties(const JudgeContext& ctx, const std::wstring& sid,
                               const std::wstring& productKey) {
  std::unique_ptr<TRegIcoPosition> read;
  const TRegIcoPosition* product = OwnProduct(ctx, productKey, read);
  return JudgeEntryAt(ctx, ProductsOfUser(sid), product ? product->ProductName : L"", productKey,
                      product, sys::RegView::Default);
}

void ScanUninstallEntries(ScanContext& ctx) {
  const ProductList products = ReadInstallerProducts();
  JudgeCache cache;
  for (const auto& p : products) cache.products[sys::LowerCase(p->ProductKey)] = p.get();
  cache.productsListed = true;
  const JudgeContext judge = Judging(ctx, &cache);
  // A product whose entry was judged dead is not judged again.
  auto forget = [&](const std::wstring& key) { cache.products.erase(sys::LowerCase(key)); };

  // Each view's entries in their own view: on 64-bit Windows a 64-bit program's entry is
  // not where a 32-bit program's is.
  for (sys::RegView view : sys::OwnAndOtherView()) {
    sys::RegKey uninstall;
    if (uninstall.OpenRead(HKEY_LOCAL_MACHINE, kUninstallKey, view) != ERROR_SUCCESS) continue;
    for (const std::wstring& name : uninstall.SubKeyNames())
      if (ReportIfDead(ctx, JudgeUninstallEntry(judge, name, view), kImageApplications,
                       kDescription))
        forget(PackedProductCode(name));
  }

  if (cache.products.empty()) return;
  const std::vector<std::wstring> sids = sys::GetRegSubKeyNames(HKEY_LOCAL_MACHINE, kUserDataKey);
  // The products left, from the last.
  for (size_t i = products.size(); i-- > 0;) {
    const std::wstring& key = products[i]->ProductKey;
    if (!cache.products.count(sys::LowerCase(key))) continue;
    for (const std::wstring& sid : sids) {
      if (!sys::RegKeyExists(HKEY_LOCAL_MACHINE, ProductsOfUser(sid) + key + L"\\InstallProperties"))
        continue;
      if (ReportIfDead(ctx, JudgeProductProperties(judge, sid, key), kImageApplications,
                       kDescription))
        forget(key);
      break;
    }
  }
}

}  // namespace registry_scan
