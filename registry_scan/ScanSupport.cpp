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
  model::TreeNode* node = ctx.results.AddKeyedResult(verdict.root, verdict.key, image,
                                                     description, verdict.data, verdict.valueName);
  if (catalogue::ResultItem* item = node ? node->DataAs<catalogue::ResultItem>() : nullptr) {
    auto seen = std::make_shared<sys::RegSummary>();
    sys::SummarizeRegItem(sys::RootFromName(verdict.root), verdict.key, verdict.valueName,
                          verdict.view, *seen);
    item->Seen = seen;
  }
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

}  // namespace

bool ProgramExists(const std::wstring& commandOrPath) {
  std::wstring program = sys::ExtractExePath(commandOrPath);
  if (program.empty()) return false;
  if (program.find(L'\\') == std::wstring::npos && program.find(L':') == std::wstring::npos) {
    wchar_t found[MAX_PATH];
    DWORD n = SearchPathW(nullptr, program.c_str(), L".exe", MAX_PATH, found, nullptr);
    if (n > 0 && n < MAX_PATH && sys::FileExistsInAnyView(found)) return true;
    // The search runs through the redirected system folder; a program only in the
    // 64-bit one is found there with redirection off.
    const std::wstring system = machine::AppFolders().system;
    if (system.empty()) return false;
    const std::wstring inSystem = sys::WithBackslash(system) + program;
    return sys::FileExistsInAnyView(inSystem) ||
           (sys::ExtensionOf(program).empty() && sys::FileExistsInAnyView(inSystem + L".exe"));
  }
  if (sys::FileExistsInAnyView(Expand(program))) return true;
  std::wstring native = NativeVariables(program);
  return native != program && sys::FileExistsInAnyView(Expand(native));
}

}  // namespace detail
}  // namespace registry_scan
