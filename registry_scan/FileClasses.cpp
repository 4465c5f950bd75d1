#include "catalogue/Images.h"
#include "registry_scan/FindInvalidRegistry.h"
#include "registry_scan/Judge.h"
#include "registry_scan/ScanSupport.h"
#include "sys/Registry.h"
#include "sys/Text.h"
#include "sys/Views.h"
#include "machine/TarnGetOSInfo.h"

namespace registry_scan {

using namespace catalogue::images;

using namespace detail;

namespace {

const wchar_t kClasses[] = L"Software\\CLASSES";
const wchar_t kDescription[] = L"ActiveX和类错误";
const wchar_t kShellMarker[] = L"Tarncc";
const wchar_t kCommandMarker[] = L"Tarncc-Dorrin";

std::wstring Path(const std::wstring& name) { return std::wstring(kClasses) + L"\\" + name; }

Verdict DeadClassKey(const std::wstring& key, const std::wstring& data) {
  return Dead(kMachine, key, data);
}

// A command or icon that names a program by its drive path, and the program is gone.
bool NamesMissingProgram(const JudgeContext& ctx, const std::wstring& text) {
  return !text.empty() && sys::Contains(ExpandVariables(text), L":\\") &&
         ProgramMissing(ctx, text);
}

// Which key goes with a dead verb: its Command key when the verb holds more, the whole
// class when the verb is all it has, else its Shell key or the verb itself.
Verdict VerbRule(const std::wstring& c, const std::wstring& verb, const std::wstring& data,
                 bool fallback) {
  const std::wstring classKey = Path(c);
  const std::wstring shellKey = classKey + L"\\Shell";
  const std::wstring verbKey = shellKey + L"\\" + verb;
  DWORD verbSubKeys = 0, verbValues = 0;
  CountsOf(HKEY_LOCAL_MACHINE, verbKey, verbSubKeys, verbValues);
  if (verbSubKeys >= 3) return DeadClassKey(verbKey + L"\\Command", data);
  DWORD shellSubKeys = 0, shellValues = 0;
  CountsOf(HKEY_LOCAL_MACHINE, shellKey, shellSubKeys, shellValues);
  if (shellSubKeys != 1) return fallback ? DeadClassKey(verbKey, data) : Verdict();
  DWORD classSubKeys = 0, classValues = 0;
  CountsOf(HKEY_LOCAL_MACHINE, classKey, classSubKeys, classValues);
  if (classSubKeys > 0 && sys::RegKeyExists(HKEY_LOCAL_MACHINE, classKey + L"\\DefaultIcon"))
    --classSubKeys;
  if (shellValues < 2 && classSubKeys == 1 && classValues < 2) return DeadClassKey(classKey, data);
  if (shellValues < 2) return DeadClassKey(shellKey, data);
  return DeadClassKey(verbKey, data);
}

// The class was judged dead as a whole: one of its verbs takes the class key along.
bool IsDeadClass(const JudgeContext& ctx, const std::wstring& cls) {
  if (ctx.cache) return ctx.cache->deadClasses.count(sys::LowerCase(cls)) > 0;
  for (const std::wstring& v : sys::GetRegSubKeyNames(HKEY_LOCAL_MACHINE, Path(cls) + L"\\shell")) {
    const Verdict verdict = JudgeVerb(ctx, cls, v);
    if (verdict.dead && sys::LowerCase(verdict.key) == sys::LowerCase(Path(cls))) return true;
  }
  return false;
}

// A class without verbs, by its icon or its class identifier.
Verdict ClassWithoutVerbsByItself(const JudgeContext& ctx, const std::wstring& c) {
  const std::wstring classKey = Path(c);
  sys::RegKey icon, clsid;
  DWORD subKeys = 0, values = 0;
  if (icon.OpenRead(HKEY_LOCAL_MACHINE, classKey + L"\\DefaultIcon") == ERROR_SUCCESS) {
    icon.KeyInfo(subKeys, values);
    const std::wstring text = ReadTextOrEmpty(icon, L"");
    if (values >= 2 || !NamesMissingProgram(ctx, text)) return {};
    sys::RegKey cls;
    std::wstring description = c;
    DWORD classSubKeys = 0, classValues = 0;
    if (cls.OpenRead(HKEY_LOCAL_MACHINE, classKey) == ERROR_SUCCESS) {
      cls.KeyInfo(classSubKeys, classValues);
      description = ReadTextOrEmpty(cls, L"");
    }
    if (classSubKeys == 1) return DeadClassKey(classKey, description);
  } else if (clsid.OpenRead(HKEY_LOCAL_MACHINE, classKey + L"\\CLSID") == ERROR_SUCCESS) {
    clsid.KeyInfo(subKeys, values);
    const std::wstring id = ReadTextOrEmpty(clsid, L"");
    if (values >= 2 || id.empty() || id[0] != L'{' || id.find(L'}') != id.size() - 1) return {};
    // A class whose identifier lives in the user's classes or the other view is not dead.
    if (ClassExists(ctx, L"CLSID\\" + id)) return {};
    const std::wstring lower = sys::LowerCase(c);
    if (sys::Contains(lower, L"headerfooter.headerfooter") ||
        sys::Contains(lower, L"search.customwordbreaker"))
      return {};
    return DeadClassKey(classKey, DefaultText(HKEY_LOCAL_MACHINE, classKey));
  }
  return {};
}

}  // namespace

Verdict JudgeExtensionKey(const JudgeContext&, const std::wstring& c) {
  sys::RegKey key;
  DWORD subKeys = 0, values = 0;
  const bool opened = key.OpenRead(HKEY_LOCAL_MACHINE, Path(c)) == ERROR_SUCCESS &&
                      key.KeyInfo(subKeys, values) == ERROR_SUCCESS;
  if (opened && subKeys == 1) {
    sys::RegKey shell;
    if (shell.OpenRead(HKEY_LOCAL_MACHINE, Path(c) + L"\\Shell") == ERROR_SUCCESS) {
      std::wstring text = kShellMarker;
      ReadText(shell, L"", text);
      sys::RegKey open;
      if (text.empty() &&
          open.OpenRead(HKEY_LOCAL_MACHINE, Path(c) + L"\\Shell\\Open") == ERROR_SUCCESS &&
          !open.HasSubKeys()) {
        std::wstring verb = kShellMarker;
        ReadText(open, L"", verb);
        if (verb.empty()) return DeadClassKey(Path(c), c);
      }
    }
  } else if (opened && subKeys == 0 && values == 0) {
    return DeadClassKey(Path(c), c);
  }
  return {};
}

Verdict JudgeExtensionClass(const JudgeContext& ctx, const std::wstring& e) {
  sys::RegKey key;
  if (key.OpenRead(HKEY_LOCAL_MACHINE, Path(e)) != ERROR_SUCCESS) return {};
  if (ctx.os.MajorVersion != 4 && key.HasSubKeys()) return {};
  const std::wstring cls = ReadTextOrEmpty(key, L"");
  if (cls.empty()) return {};
  // The class is missing only when Windows finds it in none of the classes.
  if (!sys::Contains(cls, L":\\") && !ClassExists(ctx, cls)) return DeadClassKey(Path(e), cls);
  if (IsDeadClass(ctx, cls)) return DeadClassKey(Path(e), cls);
  return {};
}

Verdict JudgeClassWithoutVerbs(const JudgeContext& ctx, const std::wstring& c) {
  const Verdict v = ClassWithoutVerbsByItself(ctx, c);
  return v.dead && HandsOverToCurrentVersion(ctx, c) ? Verdict() : v;
}

Verdict JudgeVerb(const JudgeContext& ctx, const std::wstring& c, const std::wstring& v) {
  const std::wstring verbKey = Path(c) + L"\\Shell\\" + v;
  sys::RegKey verb;
  if (verb.OpenRead(HKEY_LOCAL_MACHINE, verbKey) != ERROR_SUCCESS) return {};
  const std::wstring description = ReadTextOrEmpty(verb, L"");
  std::wstring command = kCommandMarker;
  sys::RegKey cmd;
  if (cmd.OpenRead(HKEY_LOCAL_MACHINE, verbKey + L"\\Command") == ERROR_SUCCESS) {
    // Windows Installer advertises a verb by a descriptor in "command" and starts the
    // program through it; DelegateExecute hands the verb to a COM object.
    if (cmd.ValueExists(L"command") || cmd.ValueExists(L"DelegateExecute")) return {};
    ReadText(cmd, L"", command);
  }
  Verdict verdict;
  if (command.empty())
    verdict = VerbRule(c, v, description.empty() ? c : description, false);
  else if (command != kCommandMarker && NamesMissingProgram(ctx, command))
    verdict = VerbRule(c, v, command, true);
  // What else may carry out the verb is asked only of one that would be dead: a COM
  // object (whatever the command line says), or the class CurVer names.
  if (!verdict.dead || verb.ValueExists(L"ExplorerCommandHandler") ||
      sys::RegKeyExists(HKEY_LOCAL_MACHINE, verbKey + L"\\DropTarget") ||
      HandsOverToCurrentVersion(ctx, c))
    return {};
  return verdict;
}

void ScanFileClasses(ScanContext& ctx) {
  static const wchar_t* const kNeverExamined[] = {L".acl", L".aw", L".elm",
                                                  L".lex", L".opc", L".pip"};
  JudgeCache cache;
  IndexClasses(cache);
  const JudgeContext judge = Judging(ctx, &cache);
  std::vector<std::wstring> extensions;  // extensions whose class is looked up
  for (const std::wstring& c : sys::GetRegSubKeyNames(HKEY_LOCAL_MACHINE, kClasses)) {
    if (Stopped(ctx)) return;
    bool skip = c.empty();
    const std::wstring lower = sys::LowerCase(c);
    for (const wchar_t* n : kNeverExamined) skip = skip || lower == n;
    if (skip) continue;
    Status(ctx, c);
    if (c[0] == L'.') {
      ReportIfDead(ctx, JudgeExtensionKey(judge, c), kImageActiveX, kDescription);
      extensions.push_back(c);
      continue;
    }
    const std::vector<std::wstring> verbs =
        sys::GetRegSubKeyNames(HKEY_LOCAL_MACHINE, Path(c) + L"\\shell");
    if (verbs.empty()) {
      ReportIfDead(ctx, JudgeClassWithoutVerbs(judge, c), kImageActiveX, kDescription);
      continue;
    }
    for (const std::wstring& v : verbs) {
      if (Stopped(ctx)) return;
      const Verdict verdict = JudgeVerb(judge, c, v);
      if (ReportIfDead(ctx, verdict, kImageActiveX, kDescription) && verdict.key == Path(c))
        cache.deadClasses.insert(sys::LowerCase(c));
    }
  }
  for (const std::wstring& e : extensions) {
    if (Stopped(ctx)) return;
    Status(ctx, e);
    ReportIfDead(ctx, JudgeExtensionClass(judge, e), kImageActiveX, kDescription);
  }
}

}  // namespace registry_scan
