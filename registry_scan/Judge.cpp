// Which judgement made a finding, told by where the finding is.
#include "registry_scan/Judge.h"

#include "registry_scan/FindInvalidRegistry.h"
#include "registry_scan/ScanSupport.h"
#include "sys/Registry.h"
#include "sys/Text.h"

namespace registry_scan {

namespace {

const wchar_t kCurrentVersion[] = L"software\\microsoft\\windows\\currentversion\\";
const wchar_t kClassesPrefix[] = L"software\\classes\\";

// `path` begins with `prefix` (lower case), letter case aside; `rest` is what follows.
bool Below(const std::wstring& path, const std::wstring& prefix, std::wstring& rest) {
  if (path.size() <= prefix.size() || sys::LowerCase(path.substr(0, prefix.size())) != prefix)
    return false;
  rest = path.substr(prefix.size());
  return true;
}

bool SameText(const std::wstring& a, const std::wstring& b) {
  return sys::LowerCase(a) == sys::LowerCase(b);
}

std::vector<std::wstring> Split(const std::wstring& s) {
  std::vector<std::wstring> parts;
  size_t from = 0;
  for (size_t at; (at = s.find(L'\\', from)) != std::wstring::npos; from = at + 1)
    parts.push_back(s.substr(from, at - from));
  parts.push_back(s.substr(from));
  return parts;
}

// The verdict still makes this very finding.
Verdict IfItNames(const Verdict& v, const std::wstring& rootName, const std::wstring& keyPath,
                  const std::wstring& valueName) {
  if (!v.dead) return {};
  if (v.root == rootName && SameText(v.key, keyPath) && v.valueName == valueName) return v;
  for (const Verdict& a : v.along)
    if (a.root == rootName && SameText(a.key, keyPath) && a.valueName == valueName) return a;
  return {};
}

Verdict ValueFinding(const JudgeContext& ctx, const std::wstring& keyPath,
                     const std::wstring& valueName, sys::RegView view) {
  sys::RegKey key;
  if (key.OpenRead(HKEY_LOCAL_MACHINE, keyPath, view) != ERROR_SUCCESS) return {};
  const std::wstring lower = sys::LowerCase(keyPath);
  const std::wstring cv = kCurrentVersion;
  if (lower == cv + L"shareddlls") return JudgeSharedDll(ctx, key, valueName);
  if (lower == cv + L"installer\\folders") return JudgeInstallerFolder(ctx, key, valueName);
  if (lower == L"software\\microsoft\\windows\\help" ||
      lower == L"software\\microsoft\\windows\\html help")
    return JudgeHelpValue(ctx, keyPath, key, valueName);
  return {};
}

Verdict ClassFinding(const JudgeContext& ctx, const std::wstring& rest) {
  const std::vector<std::wstring> parts = Split(rest);
  const std::wstring& cls = parts[0];
  if (cls.empty()) return {};
  if (parts.size() == 4 && SameText(parts[1], L"shellex") &&
      SameText(parts[2], L"ContextMenuHandlers"))
    return JudgeContextMenuHandler(ctx, cls, parts[3]);
  if (cls[0] == L'.') {
    if (parts.size() != 1) return {};
    const Verdict v = JudgeExtensionKey(ctx, cls);
    return v.dead ? v : JudgeExtensionClass(ctx, cls);
  }
  if (parts.size() == 1) {
    const Verdict v = JudgeClassWithoutVerbs(ctx, cls);
    if (v.dead) return v;
  }
  if (parts.size() >= 2 && !SameText(parts[1], L"shell")) return {};
  if (parts.size() >= 3) return JudgeVerb(ctx, cls, parts[2]);
  // The class or its Shell key: taken along by one of its verbs.
  for (const std::wstring& verb :
       sys::GetRegSubKeyNames(HKEY_LOCAL_MACHINE, L"Software\\CLASSES\\" + cls + L"\\shell")) {
    const Verdict v = JudgeVerb(ctx, cls, verb);
    if (v.dead && SameText(v.key, L"Software\\CLASSES\\" + rest)) return v;
  }
  return {};
}

Verdict ProductFinding(const JudgeContext& ctx, const std::wstring& keyPath) {
  // A product's own InstallProperties, judged in the product pass.
  std::wstring rest;
  if (Below(keyPath, std::wstring(kCurrentVersion) + L"installer\\userdata\\", rest)) {
    const std::vector<std::wstring> parts = Split(rest);
    if (parts.size() == 3 && SameText(parts[1], L"Products")) {
      const Verdict v = JudgeProductProperties(ctx, parts[0], parts[2]);
      if (v.dead) return v;
    }
  }
  // A registration taken along by the dead uninstall entry of its product code.
  const std::wstring code = UnpackedProductCode(Split(keyPath).back());
  if (code.empty()) return {};
  for (sys::RegView view : sys::OwnAndOtherView()) {
    const Verdict v =
        IfItNames(JudgeUninstallEntry(ctx, code, view), L"HKEY_LOCAL_MACHINE", keyPath, L"");
    if (v.dead) return v;
  }
  return {};
}

Verdict MachineFinding(const JudgeContext& ctx, const std::wstring& keyPath, sys::RegView view) {
  std::wstring rest;
  const std::wstring cv = kCurrentVersion;
  if (Below(keyPath, cv + L"uninstall\\", rest))
    return rest.find(L'\\') == std::wstring::npos ? JudgeUninstallEntry(ctx, rest, view) : Verdict();
  if (Below(keyPath, cv + L"app paths\\", rest))
    return rest.find(L'\\') == std::wstring::npos ? JudgeAppPath(ctx, L"HKEY_LOCAL_MACHINE", rest, view)
                                                   : Verdict();
  if (Below(keyPath, cv + L"app management\\arpcache\\", rest))
    return rest.find(L'\\') == std::wstring::npos ? JudgeArpCacheEntry(ctx, rest) : Verdict();
  if (Below(keyPath, std::wstring(kClassesPrefix) + L"installer\\products\\", rest) ||
      Below(keyPath, cv + L"installer\\userdata\\", rest))
    return ProductFinding(ctx, keyPath);
  if (Below(keyPath, kClassesPrefix, rest)) return ClassFinding(ctx, rest);
  if (Below(keyPath, L"software\\", rest) && rest.find(L'\\') == std::wstring::npos)
    return JudgeMachineSoftwareKey(ctx, rest);
  return {};
}

}  // namespace

Verdict JudgeFinding(const JudgeContext& ctx, const std::wstring& rootName,
                     const std::wstring& keyPath, const std::wstring& valueName,
                     sys::RegView view) {
  Verdict v;
  std::wstring rest;
  if (rootName == L"HKEY_LOCAL_MACHINE") {
    v = valueName.empty() ? MachineFinding(ctx, keyPath, view)
                          : ValueFinding(ctx, keyPath, valueName, view);
  } else if (rootName == L"HKEY_CURRENT_USER" && valueName.empty()) {
    if (Below(keyPath, std::wstring(kCurrentVersion) + L"explorer\\menuorder\\", rest))
      v = JudgeMenuOrderKey(ctx, keyPath);
    else if (Below(keyPath, std::wstring(kCurrentVersion) + L"app paths\\", rest))
      v = rest.find(L'\\') == std::wstring::npos ? JudgeAppPath(ctx, rootName, rest, view) : Verdict();
    else if (Below(keyPath, L"software\\", rest) && rest.find(L'\\') == std::wstring::npos)
      v = JudgeUserSoftwareKey(ctx, rest);
  }
  return IfItNames(v, rootName, keyPath, valueName);
}

}  // namespace registry_scan
