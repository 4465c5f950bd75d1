#include "catalogue/Images.h"
#include "registry_scan/FindInvalidRegistry.h"
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

class ClassScan {
 public:
  explicit ClassScan(ScanContext& ctx) : ctx_(ctx) {}
  void Run();

 private:
  static std::wstring Path(const std::wstring& name) { return std::wstring(kClasses) + L"\\" + name; }
  void Report(const std::wstring& key, const std::wstring& data) {
    detail::Report(ctx_, kMachine, key, kImageActiveX, kDescription, data);
  }
  void Extension(const std::wstring& c);
  // False when the scan was stopped.
  bool Class(const std::wstring& c);
  void VerbRule(const std::wstring& c, const std::wstring& verb, const std::wstring& data,
                bool fallback);
  bool ExtensionsOfDeadClasses();

  ScanContext& ctx_;
  std::vector<std::wstring> candidates_;   // extensions whose class is looked up
  std::vector<std::wstring> deadClasses_;  // classes reported as a whole
};

// A path in a command or icon that names a program which is gone.
bool NamesMissingProgram(const std::wstring& text) {
  return !text.empty() && sys::Contains(text, L":\\") &&
         !sys::Contains(sys::LowerCase(text), L"rundll32.exe") && !ProgramExists(text);
}

void ClassScan::Extension(const std::wstring& c) {
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
        if (verb.empty()) Report(Path(c), c);
      }
    }
  } else if (opened && subKeys == 0 && values == 0) {
    Report(Path(c), c);
  }
  if (ctx_.os.MajorVersion == 4 || (opened && subKeys == 0)) candidates_.push_back(c);
}

bool ClassScan::Class(const std::wstring& c) {
  const std::wstring classKey = Path(c);
  const std::vector<std::wstring> verbs =
      sys::GetRegSubKeyNames(HKEY_LOCAL_MACHINE, classKey + L"\\shell");
  if (verbs.empty()) {
    sys::RegKey icon, clsid;
    DWORD subKeys = 0, values = 0;
    if (icon.OpenRead(HKEY_LOCAL_MACHINE, classKey + L"\\DefaultIcon") == ERROR_SUCCESS) {
      icon.KeyInfo(subKeys, values);
      const std::wstring text = ReadTextOrEmpty(icon, L"");
      if (values >= 2 || !NamesMissingProgram(text)) return true;
      sys::RegKey cls;
      std::wstring description = c;
      DWORD classSubKeys = 0, classValues = 0;
      if (cls.OpenRead(HKEY_LOCAL_MACHINE, classKey) == ERROR_SUCCESS) {
        cls.KeyInfo(classSubKeys, classValues);
        description = ReadTextOrEmpty(cls, L"");
      }
      if (classSubKeys == 1) Report(classKey, description);
    } else if (clsid.OpenRead(HKEY_LOCAL_MACHINE, classKey + L"\\CLSID") == ERROR_SUCCESS) {
      clsid.KeyInfo(subKeys, values);
      const std::wstring id = ReadTextOrEmpty(clsid, L"");
      if (values >= 2 || id.empty() || id[0] != L'{' || id.find(L'}') != id.size() - 1)
        return true;
      // A class whose identifier lives in the other registry view is not dead.
      if (sys::RegKeyExistsInAnyView(HKEY_LOCAL_MACHINE, Path(L"CLSID\\" + id))) return true;
      if (sys::Contains(c, L"HeaderFooter.HeaderFooter") ||
          sys::Contains(c, L"Search.CustomWordbreaker"))
        return true;
      Report(classKey, DefaultText(HKEY_LOCAL_MACHINE, classKey));
    }
    return true;
  }
  for (const std::wstring& v : verbs) {
    if (Stopped(ctx_)) return false;
    const std::wstring verbKey = classKey + L"\\Shell\\" + v;
    const std::wstring description = DefaultText(HKEY_LOCAL_MACHINE, verbKey);
    std::wstring command = kCommandMarker;
    sys::RegKey cmd;
    bool delegated = false;
    if (cmd.OpenRead(HKEY_LOCAL_MACHINE, verbKey + L"\\Command") == ERROR_SUCCESS) {
      ReadText(cmd, L"", command);
      // A verb carried out by a COM object has no command line.
      delegated = cmd.ValueExists(L"DelegateExecute");
    }
    if (command.empty()) {
      if (!delegated) VerbRule(c, v, description.empty() ? c : description, false);
    } else if (command != kCommandMarker && NamesMissingProgram(command)) {
      VerbRule(c, v, command, true);
    }
  }
  return true;
}

void ClassScan::VerbRule(const std::wstring& c, const std::wstring& verb, const std::wstring& data,
                         bool fallback) {
  const std::wstring classKey = Path(c);
  const std::wstring shellKey = classKey + L"\\Shell";
  const std::wstring verbKey = shellKey + L"\\" + verb;
  DWORD verbSubKeys = 0, verbValues = 0;
  CountsOf(HKEY_LOCAL_MACHINE, verbKey, verbSubKeys, verbValues);
  if (verbSubKeys >= 3) {
    Report(verbKey + L"\\Command", data);
    return;
  }
  DWORD shellSubKeys = 0, shellValues = 0;
  CountsOf(HKEY_LOCAL_MACHINE, shellKey, shellSubKeys, shellValues);
  if (shellSubKeys != 1) {
    if (fallback) Report(verbKey, data);
    return;
  }
  DWORD classSubKeys = 0, classValues = 0;
  CountsOf(HKEY_LOCAL_MACHINE, classKey, classSubKeys, classValues);
  if (classSubKeys > 0 && sys::RegKeyExists(HKEY_LOCAL_MACHINE, classKey + L"\\DefaultIcon"))
    --classSubKeys;
  if (shellValues < 2 && classSubKeys == 1 && classValues < 2) {
    Report(classKey, data);
    deadClasses_.push_back(c);
  } else if (shellValues < 2) {
    Report(shellKey, data);
  } else {
    Report(verbKey, data);
  }
}

bool ClassScan::ExtensionsOfDeadClasses() {
  for (const std::wstring& e : candidates_) {
    if (Stopped(ctx_)) return false;
    Status(ctx_, e);
    const std::wstring cls = DefaultText(HKEY_LOCAL_MACHINE, Path(e));
    if (cls.empty()) continue;
    // The class is missing only when it is absent from every registry view.
    if (!sys::Contains(cls, L":\\") && !sys::RegKeyExistsInAnyView(HKEY_LOCAL_MACHINE, Path(cls)))
      Report(Path(e), cls);
    for (const std::wstring& dead : deadClasses_) {
      if (Stopped(ctx_)) return false;
      if (dead == cls) Report(Path(e), cls);
    }
  }
  return true;
}

void ClassScan::Run() {
  static const wchar_t* const kNeverExamined[] = {L".acl", L".aw", L".elm",
                                                  L".lex", L".opc", L".pip"};
  for (const std::wstring& c : sys::GetRegSubKeyNames(HKEY_LOCAL_MACHINE, kClasses)) {
    if (Stopped(ctx_)) return;
    bool skip = c.empty();
    for (const wchar_t* n : kNeverExamined) skip = skip || c == n;
    if (skip) continue;
    Status(ctx_, c);
    if (c[0] == L'.') Extension(c);
    else if (!Class(c)) return;
  }
  ExtensionsOfDeadClasses();
}

}  // namespace

void ScanFileClasses(ScanContext& ctx) { ClassScan(ctx).Run(); }

}  // namespace registry_scan
