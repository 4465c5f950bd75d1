#include "registry_scan/ScanSupport.h"

#include "sys/FileUtils.h"
#include "machine/Folders.h"
#include "sys/Text.h"
#include "sys/Views.h"
#include "catalogue/ResultModel.h"

namespace registry_scan {
namespace detail {

const wchar_t kMachine[] = L"HKEY_LOCAL_MACHINE";
const wchar_t kUser[] = L"HKEY_CURRENT_USER";

bool Stopped(const catalogue::ScanContext& ctx) { return ctx.stopped && ctx.stopped(); }

void Pump(catalogue::ScanContext& ctx) {
  if (ctx.processMessages) ctx.processMessages();
}

void Status(catalogue::ScanContext& ctx, const std::wstring& what) {
  if (ctx.status) ctx.status(L"分析: " + what);
  Pump(ctx);
}

void Report(catalogue::ScanContext& ctx, const wchar_t* root, const std::wstring& key, int image,
            const std::wstring& description, const std::wstring& data,
            const std::wstring& valueName) {
  ctx.results.AddKeyedResult(root, key, image, description, data, valueName);
}

JudgeContext Judging(const catalogue::ScanContext& ctx, const JudgeCache* cache) {
  return JudgeContext{ctx.folders, ctx.os, cache};
}

Verdict Dead(const wchar_t* root, const std::wstring& key, const std::wstring& data,
             const std::wstring& valueName) {
  Verdict v;
  v.dead = true;
  v.root = root;
  v.key = key;
  v.data = data;
  v.valueName = valueName;
  return v;
}

bool ReportIfDead(catalogue::ScanContext& ctx, const Verdict& verdict, int image,
                  const std::wstring& description) {
  if (!verdict.dead) return false;
  ctx.results.AddKeyedResult(verdict.root, verdict.key, image, description, verdict.data,
                             verdict.valueName, verdict.view);
  for (const Verdict& v : verdict.along) ReportIfDead(ctx, v, image, description);
  return true;
}

LONG ReadText(const sys::RegKey& key, const std::wstring& name, std::wstring& text) {
  if (!key.IsOpen()) return ERROR_INVALID_HANDLE;
  if (!key.ValueExists(name)) {
    text.clear();
    return ERROR_SUCCESS;
  }
  std::wstring v;
  LONG rc = key.ReadString(name, v);
  if (rc == ERROR_SUCCESS) text = v;
  return rc;
}

std::wstring ReadTextOrEmpty(const sys::RegKey& key, const std::wstring& name) {
  std::wstring t;
  if (ReadText(key, name, t) != ERROR_SUCCESS) t.clear();
  return t;
}

std::wstring DefaultText(HKEY root, const std::wstring& path) {
  sys::RegKey k;
  if (k.OpenRead(root, path) != ERROR_SUCCESS) return {};
  return ReadTextOrEmpty(k, L"");
}

bool CountsOf(HKEY root, const std::wstring& path, DWORD& subKeys, DWORD& values) {
  subKeys = values = 0;
  sys::RegKey k;
  return k.OpenRead(root, path) == ERROR_SUCCESS && k.KeyInfo(subKeys, values) == ERROR_SUCCESS;
}

namespace {

std::wstring Expand(const std::wstring& s) {
  if (s.find(L'%') == std::wstring::npos) return s;
  DWORD n = ExpandEnvironmentStringsW(s.c_str(), nullptr, 0);
  if (n == 0) return s;
  std::wstring out(n, L'\0');
  n = ExpandEnvironmentStringsW(s.c_str(), &out[0], n);
  if (n == 0) return s;
  out.resize(n - 1);
  return out;
}

// A 32-bit program sees the 32-bit Program Files folders in these variables; a path
// written by a 64-bit program means the native ones.
std::wstring NativeVariables(const std::wstring& s) {
  std::wstring t = s, lower = sys::LowerCase(s);
  const struct {
    const wchar_t* from;
    const wchar_t* native;
  } names[] = {{L"%programfiles%", L"ProgramW6432"},
               {L"%commonprogramfiles%", L"CommonProgramW6432"}};
  for (const auto& n : names) {
    size_t at = lower.find(n.from);
    if (at == std::wstring::npos || sys::EnvironmentVariable(n.native).empty()) continue;
    t.replace(at, wcslen(n.from), std::wstring(L"%") + n.native + L"%");
    lower = sys::LowerCase(t);
  }
  return t;
}

// The path as the program that wrote it meant it, variables expanded; on 64-bit Windows
// also with the native Program Files folders. Proven missing only when missing in each.
bool FullPathMissing(const std::wstring& path) {
  if (!sys::ProvenMissing(Expand(path))) return false;
  const std::wstring native = NativeVariables(path);
  return native == path || sys::ProvenMissing(Expand(native));
}

const wchar_t kAppPaths[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";

// The program a bare name stands for in App Paths, empty when it is not registered.
std::wstring AppPathOf(const std::wstring& name) {
  const std::wstring key = kAppPaths + name + (sys::ExtensionOf(name).empty() ? L".exe" : L"");
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
    sys::RegKey k;
    if (k.OpenReadInAnyView(root, key) != ERROR_SUCCESS) continue;
    const std::wstring path = sys::ExtractExePath(ReadTextOrEmpty(k, L""));
    if (!path.empty()) return path;
  }
  return {};
}

// A bare name ("msiexec.exe", "shell32.dll") is missing when App Paths does not name it
// and it is proven missing in every folder Windows searches: the system and Windows
// folders and the folders of the search path. A folder that cannot be judged (not a full
// path, or on a drive that is no proof) leaves the name standing.
bool BareNameMissing(const JudgeContext& ctx, const std::wstring& name) {
  const std::wstring registered = AppPathOf(name);
  if (!registered.empty()) return FullPathMissing(registered);
  wchar_t found[MAX_PATH];
  const DWORD n = SearchPathW(nullptr, name.c_str(), L".exe", MAX_PATH, found, nullptr);
  if (n > 0 && n < MAX_PATH) return false;
  std::vector<std::wstring> folders = {ctx.folders.system, ctx.folders.windows};
  const std::wstring path = Expand(sys::EnvironmentVariable(L"PATH"));
  for (size_t from = 0; from <= path.size();) {
    size_t end = path.find(L';', from);
    if (end == std::wstring::npos) end = path.size();
    std::wstring folder = sys::Trim(path.substr(from, end - from));
    if (folder.size() >= 2 && folder.front() == L'"' && folder.back() == L'"')
      folder = folder.substr(1, folder.size() - 2);
    if (!folder.empty()) folders.push_back(folder);
    from = end + 1;
  }
  const bool plain = sys::ExtensionOf(name).empty();
  for (const std::wstring& folder : folders) {
    const std::wstring file = sys::WithBackslash(folder) + name;
    if (folder.empty() || !sys::ProvenMissing(file) ||
        (plain && (!sys::ProvenMissing(file + L".exe") || !sys::ProvenMissing(file + L".dll"))))
      return false;
  }
  return true;
}

}  // namespace

bool ClassExists(const JudgeContext& ctx, const std::wstring& name) {
  if (name.empty()) return false;
  const std::wstring lower = sys::LowerCase(name);
  if (ctx.cache && ctx.cache->classesIndexed) {
    const std::wstring clsid = L"clsid\\";
    if (sys::StartsWith(lower, clsid) && lower.find(L'\\', clsid.size()) == std::wstring::npos)
      return ctx.cache->clsids.count(lower.substr(clsid.size())) > 0;
    if (lower.find(L'\\') == std::wstring::npos) return ctx.cache->classNames.count(lower) > 0;
  }
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
    if (sys::RegKeyExistsInAnyView(root, L"Software\\Classes\\" + name)) return true;
  return false;
}

bool HandsOverToCurrentVersion(const JudgeContext& ctx, const std::wstring& cls) {
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    const std::wstring current = DefaultText(root, L"Software\\Classes\\" + cls + L"\\CurVer");
    if (current.empty()) continue;
    return sys::LowerCase(current) != sys::LowerCase(cls) && ClassExists(ctx, current);
  }
  return false;
}

bool ProgramMissing(const JudgeContext& ctx, const std::wstring& commandOrPath) {
  const std::vector<std::wstring> targets = sys::CommandTargets(commandOrPath);
  if (targets.empty()) return false;
  for (const std::wstring& target : targets) {
    const bool bare = target.find(L'\\') == std::wstring::npos &&
                      target.find(L'/') == std::wstring::npos &&
                      target.find(L':') == std::wstring::npos;
    if (bare) {
      if (!BareNameMissing(ctx, target)) return false;
    } else if (!FullPathMissing(target) ||
               (sys::ExtensionOf(target).empty() &&
                (!FullPathMissing(target + L".exe") || !FullPathMissing(target + L".dll")))) {
      return false;
    }
  }
  return true;
}

bool PathMissing(const std::wstring& path) { return FullPathMissing(path); }

std::wstring ExpandVariables(const std::wstring& text) { return Expand(text); }

}  // namespace detail

void IndexClasses(JudgeCache& cache) {
  const std::vector<sys::RegView> views =
      sys::HasRegistryViews()
          ? std::vector<sys::RegView>{sys::RegView::Default, sys::RegView::Native64,
                                      sys::RegView::Wow32}
          : std::vector<sys::RegView>{sys::RegView::Default};
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
    for (sys::RegView view : views) {
      sys::RegKey classes, clsids;
      if (classes.OpenRead(root, L"Software\\Classes", view) == ERROR_SUCCESS)
        for (const std::wstring& name : classes.SubKeyNames())
          cache.classNames.insert(sys::LowerCase(name));
      if (clsids.OpenRead(root, L"Software\\Classes\\CLSID", view) == ERROR_SUCCESS)
        for (const std::wstring& id : clsids.SubKeyNames()) cache.clsids.insert(sys::LowerCase(id));
    }
  cache.classesIndexed = true;
}

}  // namespace registry_scan
