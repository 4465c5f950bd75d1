// The judgements the clean asks again: every finding of every scanner is judged dead
// again, with the texts it showed, until what it points at comes back.
#include <shlobj.h>

#include "registry_scan/FindInvalidRegistry.h"
#include "registry_scan/Judge.h"
#include "registry_scan/ScanSupport.h"
#include "sys/FileUtils.h"
#include "tests/registry_scan/RegistryScanFixture.h"

using namespace testsupport;

namespace {

const std::wstring kCv = L"Software\\Microsoft\\Windows\\CurrentVersion\\";
const std::wstring kClasses = L"Software\\CLASSES\\";

}  // namespace

class JudgeTest : public RegistryScanTest {
 protected:
  // One dead entry for every scanner, all pointing into the folder "gone".
  void BuildDeadEntries() {
    const std::wstring gone = sandbox / L"gone";
    SetRegDword(HKEY_LOCAL_MACHINE, kCv + L"SharedDlls", gone + L"\\shared.dll", 1);
    SetRegString(HKEY_LOCAL_MACHINE, kCv + L"Installer\\Folders", gone + L"\\", L"");
    CreateRegKey(HKEY_LOCAL_MACHINE, L"Software\\EmptyVendor");
    CreateRegKey(HKEY_CURRENT_USER, L"Software\\EmptyUserVendor");
    CreateRegKey(HKEY_LOCAL_MACHINE, kCv + L"Uninstall\\Present");
    CreateRegKey(HKEY_LOCAL_MACHINE, kCv + L"App Management\\ARPCache\\Removed");
    const std::wstring code = L"{12345678-9ABC-DEF0-1234-56789ABCDEF0}";
    const std::wstring entry = kCv + L"Uninstall\\" + code;
    SetRegString(HKEY_LOCAL_MACHINE, entry, L"DisplayName", L"Tool");
    SetRegString(HKEY_LOCAL_MACHINE, entry, L"UninstallString", gone + L"\\uninst.exe");
    SetRegString(HKEY_LOCAL_MACHINE, entry, L"DisplayIcon", gone + L"\\tool.exe,0");
    SetRegString(HKEY_LOCAL_MACHINE,
                 L"SOFTWARE\\Classes\\Installer\\Products\\" + registry_scan::PackedProductCode(code),
                 L"ProductName", L"Tool");
    SetRegString(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\Help", L"gone.chm", gone);
    folders.special[CSIDL_COMMON_PROGRAMS] = sandbox.dir(L"Programs");
    CreateRegKey(HKEY_CURRENT_USER, kCv + L"Explorer\\MenuOrder\\Start Menu2\\Programs\\Gone");
    SetRegString(HKEY_LOCAL_MACHINE, kClasses + L"*\\shellex\\ContextMenuHandlers\\Gone", L"",
                 L"{0000}");
    CreateRegKey(HKEY_LOCAL_MACHINE, kClasses + L"CLSID\\{1111}");
    CreateRegKey(HKEY_LOCAL_MACHINE, kClasses + L".empty");
    SetRegString(HKEY_LOCAL_MACHINE, kClasses + L".solo", L"", L"solo");
    SetRegString(HKEY_LOCAL_MACHINE, kClasses + L"solo\\Shell\\open\\Command", L"",
                 L"\"" + gone + L"\\app.exe\" \"%1\"");
    SetRegString(HKEY_LOCAL_MACHINE, kClasses + L"iconless\\DefaultIcon", L"", gone + L"\\i.dll,1");
    SetRegString(HKEY_LOCAL_MACHINE, kClasses + L"Dead.Object\\CLSID", L"", L"{2222}");
  }
  void ScanAll() {
    registry_scan::ScanSharedDlls(ctx);
    registry_scan::ScanSoftwareKeys(ctx);
    registry_scan::ScanInstallerFolders(ctx);
    registry_scan::ScanUninstallEntries(ctx);
    registry_scan::ScanHelpFiles(ctx);
    registry_scan::ScanStartMenuOrder(ctx);
    registry_scan::ScanContextMenuHandlers(ctx, L"*");
    registry_scan::ScanFileClasses(ctx);
  }
  // The findings as the clean judges them again: "root|key|value name|data", or "alive|key".
  Names JudgedAgain() const {
    const registry_scan::JudgeContext judge{folders, os};
    Names lines;
    for (const model::TreeNode* n = results.Tree().FirstTopLevel(); n; n = n->NextSibling()) {
      const catalogue::ResultItem* r = n->DataAs<catalogue::ResultItem>();
      const registry_scan::Verdict v =
          registry_scan::JudgeFinding(judge, r->Text, r->Location, r->Detail);
      lines.push_back(v.dead ? v.root + L"|" + v.key + L"|" + v.valueName + L"|" + v.data
                             : L"alive|" + std::wstring(r->Location));
    }
    return Sorted(lines);
  }
  Names Scanned() const {
    Names lines;
    for (const model::TreeNode* n = results.Tree().FirstTopLevel(); n; n = n->NextSibling()) {
      const catalogue::ResultItem* r = n->DataAs<catalogue::ResultItem>();
      lines.push_back(std::wstring(r->Text) + L"|" + std::wstring(r->Location) + L"|" +
                      std::wstring(r->Detail) + L"|" + std::wstring(r->ValueData));
    }
    return Sorted(lines);
  }
};

TEST_F(JudgeTest, EveryFindingIsJudgedDeadAgainWithItsTexts) {
  BuildDeadEntries();
  ScanAll();
  const Names scanned = Scanned();
  // Each scanner found its entry; the uninstall entry took its product along.
  EXPECT_EQ(15u, scanned.size());
  EXPECT_EQ(scanned, JudgedAgain());
}

TEST_F(JudgeTest, AFindingWhoseTargetCameBackIsAlive) {
  BuildDeadEntries();
  ScanAll();
  // Everything "gone" pointed at is there now; the empty keys got values.
  for (const wchar_t* f : {L"gone\\shared.dll", L"gone\\uninst.exe", L"gone\\tool.exe",
                           L"gone\\gone.chm", L"gone\\app.exe", L"gone\\i.dll"})
    sandbox.file(f);
  sandbox.dir(L"Programs\\Gone");
  for (const std::wstring& k : {std::wstring(L"Software\\EmptyVendor"), kClasses + L".empty"})
    SetRegString(HKEY_LOCAL_MACHINE, k, L"v", L"1");
  SetRegString(HKEY_CURRENT_USER, L"Software\\EmptyUserVendor", L"v", L"1");
  CreateRegKey(HKEY_LOCAL_MACHINE, kCv + L"Uninstall\\Removed");
  CreateRegKey(HKEY_LOCAL_MACHINE, kClasses + L"CLSID\\{0000}");
  CreateRegKey(HKEY_LOCAL_MACHINE, kClasses + L"CLSID\\{2222}");

  for (const std::wstring& line : JudgedAgain()) EXPECT_EQ(0u, line.find(L"alive|")) << line;
  // A place no scanner reports is never dead.
  const registry_scan::JudgeContext judge{folders, os};
  EXPECT_FALSE(registry_scan::JudgeFinding(judge, L"HKEY_LOCAL_MACHINE", L"Software\\Other\\Key", L"")
                   .dead);
}

TEST_F(JudgeTest, ABareProgramIsMissingOnlyWhereverWindowsWouldLookForIt) {
  const registry_scan::JudgeContext judge{folders, os};
  const std::wstring appPaths = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
  SetRegString(HKEY_LOCAL_MACHINE, appPaths + L"velmorahere.exe", L"", sandbox.file(L"app\\h.exe"));
  SetRegString(HKEY_CURRENT_USER, appPaths + L"velmoragone.exe", L"", sandbox / L"gone\\g.exe");
  sandbox.file(L"Windows\\system32\\velmorasys.exe");
  const struct {
    const wchar_t* command;
    bool missing;
  } cases[] = {
      {L"velmoranowhere.exe /x", true},
      {L"velmoranowhere /x", true},
      {L"VelmoraHere.EXE /x", false},  // App Paths names a program that is there
      {L"velmoragone.exe", true},      // ... or one that is gone
      {L"velmorasys.exe /x", false},   // in the system folder
      {L"velmorasys", false},
      {L"msiexec.exe /x{1}", false},   // on the search path
      {L"rundll32.exe setupapi,InstallHinfSection", false},  // a library: ".dll" added
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.missing, registry_scan::detail::ProgramMissing(judge, c.command)) << c.command;
  // A folder of the search path that proves nothing leaves every bare name standing.
  const std::wstring path = sys::EnvironmentVariable(L"PATH");
  ScopedEnvironment unplugged(L"PATH", path + L";" + AbsentDrive() + L"\\Tools");
  EXPECT_FALSE(registry_scan::detail::ProgramMissing(judge, L"velmoranowhere.exe /x"));
}
