// Uninstall entries and installer products on the hermetic registry.
#include <map>

#include "machine/Folders.h"
#include "sys/Registry.h"
#include "sys/Text.h"
#include "registry_scan/Judge.h"
#include "tests/registry_scan/RegistryScanFixture.h"
#include "tests/support/ViewFakes.h"
#include "sys/FileUtils.h"

using namespace testsupport;
using registry_scan::GuessProgramIcon;
using registry_scan::ScanUninstallEntries;

namespace {

const std::wstring kUninstall = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::wstring kProducts = L"SOFTWARE\\Classes\\Installer\\Products\\";
const std::wstring kUserData = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\";

using Values = std::map<std::wstring, std::wstring>;

void SetValues(const std::wstring& key, const Values& values) {
  CreateRegKey(HKEY_LOCAL_MACHINE, key);
  for (const auto& v : values) SetRegString(HKEY_LOCAL_MACHINE, key, v.first, v.second);
}


}  // namespace

class UninstallEntriesTest : public RegistryScanTest {
 protected:
  void SetUp() override {
    present = sandbox.file(L"Program Files\\Tool\\tool.exe");
    gone = sandbox / L"Program Files\\Gone\\uninst.exe";
    sandbox.file(L"Windows\\system32\\systool.exe");
  }
  void Entry(const std::wstring& name, const Values& values) { SetValues(kUninstall + name, values); }
  void Product(const std::wstring& key, const std::wstring& name, const std::wstring& icon) {
    SetValues(kProducts + key, {{L"ProductName", name}, {L"ProductIcon", icon}});
  }
  std::wstring present, gone;
};

TEST_F(UninstallEntriesTest, EntriesNeedANameOrACommandToBeJudged) {
  Entry(L"Nothing", {{L"DisplayIcon", gone}});
  Entry(L"NoCommand", {{L"DisplayName", L"No command"}, {L"DisplayIcon", gone}});
  Entry(L"Quiet", {{L"QuietDisplayName", L"Quiet tool"}, {L"QuietUninstallString", gone},
                   {L"DisplayIcon", gone}});
  Entry(L"Unnamed", {{L"UninstallString", gone + L" /S"}, {L"DisplayIcon", gone}});
  Entry(L"Fine", {{L"DisplayName", L"Fine"}, {L"UninstallString", gone}, {L"DisplayIcon", present}});

  ScanUninstallEntries(ctx);

  EXPECT_EQ(Sorted({Finding(L"HKEY_LOCAL_MACHINE", kUninstall + L"Quiet", L"", L"Quiet tool", 11),
                    Finding(L"HKEY_LOCAL_MACHINE", kUninstall + L"Unnamed", L"", L"Unnamed", 11)}),
            Sorted(Findings()));
  EXPECT_EQ(Names(2, L"无效的反安装程序"), DescriptionRows());
  EXPECT_TRUE(statuses.empty());
}

TEST_F(UninstallEntriesTest, IconRulesDecideBeforeTheCommand) {
  ScopedEnvironment unset(L"VelmoraNoSuchRoot", L"");
  ScopedEnvironment root(L"VelmoraToolRoot", sandbox / L"Program Files\\Tool");
  NativeOnlyFiles native;
  native.AddFile(sandbox / L"System64\\tool64.exe");
  struct Case {
    std::wstring icon, uninstall;
    bool reported;
  } cases[] = {
      {L"%VelmoraNoSuchRoot%\\systool.exe", gone, false},     // found in the system folder
      // The number spoils that test, and a variable that is not set proves nothing.
      {L"%VelmoraNoSuchRoot%\\systool.exe,1", gone, false},
      {L"%VelmoraNoSuchRoot%\\systool.exe,1", present, false},
      {L"%VelmoraToolRoot%\\tool.exe,0", gone, false},        // expanded, it exists
      {L"\\\\server\\share\\gone.exe", gone, false},
      {sandbox / L"gone\\SetupAPI.dll,3", gone, false},
      {present + L",2", gone, false},
      {sandbox / L"System64\\tool64.exe,0", gone, false},  // in the native view only
      {sandbox / L"gone\\icon.ico", L"\"" + present + L"\" /remove", false},
      {sandbox / L"gone\\icon.ico", L"\"" + gone + L"\" /remove", true},
  };
  Names expected;
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    const std::wstring name = L"App" + std::to_wstring(i);
    Entry(name, {{L"DisplayName", name}, {L"UninstallString", cases[i].uninstall},
                 {L"DisplayIcon", cases[i].icon}});
    if (cases[i].reported) expected.push_back(kUninstall + name);
  }
  ScanUninstallEntries(ctx);
  EXPECT_EQ(Sorted(expected), Keys());
}

TEST_F(UninstallEntriesTest, ProductCodesArePackedAsWindowsInstallerNamesItsKeys) {
  EXPECT_EQ(L"87654321CBA90FED21436587A9CBED0F",
            registry_scan::PackedProductCode(L"{12345678-9abc-DEF0-1234-56789ABCDEF0}"));
  EXPECT_EQ(L"{12345678-9ABC-DEF0-1234-56789ABCDEF0}",
            registry_scan::UnpackedProductCode(L"87654321CBA90FED21436587A9CBED0F"));
  for (const wchar_t* no : {L"Tool", L"{12345678-9ABC-DEF0-1234-56789ABCDEF}",
                            L"{12345678-9ABC-DEF0-1234_56789ABCDEF0}", L"{1234567G-9ABC-DEF0-1234-56789ABCDEF0}"})
    EXPECT_EQ(L"", registry_scan::PackedProductCode(no)) << no;
  EXPECT_EQ(L"", registry_scan::UnpackedProductCode(L"87654321CBA90FED21436587A9CBED0"));
}

// The entry "{...}" of an installer product and that product's key, "Products\<packed>".
std::wstring Code(int i) { return L"{1111111" + std::to_wstring(i) + L"-2222-3333-4444-555555555555}"; }
std::wstring Packed(int i) { return registry_scan::PackedProductCode(Code(i)); }

TEST_F(UninstallEntriesTest, MsiexecEntriesAreJudgedByTheirOwnProduct) {
  const std::wstring msi = sandbox / L"gone\\MsiExec.exe /X{11111111-2222-3333-4444-555555555555}";
  struct Case {
    std::wstring display, productIcon, uninstall;
    bool product, reported;
  } cases[] = {
      {L"Tool", sandbox / L"gone\\tool.ico", msi, true, true},
      {L"Acronis Backup", sandbox / L"gone\\a.ico", msi, true, false},
      {L"ACRONIS disk", sandbox / L"gone\\a.ico", msi, true, false},
      {L"Plain", L"", msi, true, false},
      {L"Iconic", present, msi, true, false},
      {L"Unknown", L"", msi, false, false},
      // A bare program name is looked up on the search path.
      {L"Searched", sandbox / L"gone\\s.ico", L"MsiExec.exe /X{1}", true, false},
      // An uninstaller given its log file: the log decides.
      {L"Logged", L"", L"uninst.exe -f\"" + sandbox / L"gone\\install.log\"", false, true},
      {L"LogKept", L"", L"uninst.exe -f\"" + present + L"\"", false, false},
  };
  Names expected;
  for (int i = 0; i < int(sizeof cases / sizeof cases[0]); ++i) {
    const Case& c = cases[i];
    Entry(Code(i), {{L"DisplayName", c.display}, {L"UninstallString", c.uninstall}});
    if (c.product) Product(Packed(i), c.display, c.productIcon);
    if (c.reported) expected.push_back(kUninstall + Code(i));
    // The product's own registration goes with a reported entry.
    if (c.reported && c.product) expected.push_back(kProducts + Packed(i));
  }
  // A product of the same name but another code says nothing of this entry.
  Entry(L"Named", {{L"DisplayName", L"Tool"}, {L"UninstallString", msi}});
  ScanUninstallEntries(ctx);
  EXPECT_EQ(Sorted(expected), Keys());
}

TEST_F(UninstallEntriesTest, ReportedEntryTakesItsInstallerRegistrationsAlong) {
  const Values invalid = {{L"UninstallString", gone}, {L"DisplayIcon", gone}};
  for (const std::wstring display : {L"Tool", L"Microsoft Office Standard 2007"}) {
    Reset();
    sys::DeleteKeyTree(HKEY_LOCAL_MACHINE, L"SOFTWARE");
    Values v = invalid;
    v[L"DisplayName"] = display;
    Entry(Code(1), v);
    Product(Packed(1), display, L"");
    // The product would be reported on its own as well if it were examined again.
    SetValues(kUserData + L"S-1\\Products\\" + Packed(1) + L"\\InstallProperties", v);
    CreateRegKey(HKEY_LOCAL_MACHINE, kUserData + L"S-2\\Products\\" + Packed(1));
    CreateRegKey(HKEY_LOCAL_MACHINE, kUserData + L"S-3\\Products\\Other");

    ScanUninstallEntries(ctx);

    Names expected = {kUninstall + Code(1)};
    if (display == L"Tool")
      expected = {kUninstall + Code(1), kProducts + Packed(1), kUserData + L"S-1\\Products\\" + Packed(1),
                  kUserData + L"S-2\\Products\\" + Packed(1)};
    EXPECT_EQ(Sorted(expected), Keys()) << display;
    for (const std::wstring& f : Findings()) EXPECT_NE(std::wstring::npos, f.find(L"|" + display + L"|"));
  }
}

// A bootstrapper's entry is gone with its package cache; the product it installed, of the
// same name, is installed and works.
TEST_F(UninstallEntriesTest, ABootstrapperTakesNoProductOfTheSameNameAlong) {
  Entry(L"{99999999-2222-3333-4444-555555555555}",
        {{L"DisplayName", L"Tool"}, {L"UninstallString", gone + L" /uninstall"}, {L"DisplayIcon", gone}});
  Entry(Code(2), {{L"DisplayName", L"Tool"}, {L"UninstallString", L"MsiExec.exe /X" + Code(2)},
                  {L"DisplayIcon", present}});
  Product(Packed(2), L"Tool", present);
  SetValues(kUserData + L"S-1\\Products\\" + Packed(2) + L"\\InstallProperties",
            {{L"DisplayName", L"Tool"}, {L"UninstallString", L"MsiExec.exe /X" + Code(2)},
             {L"DisplayIcon", present}});

  ScanUninstallEntries(ctx);

  EXPECT_EQ(Names{kUninstall + L"{99999999-2222-3333-4444-555555555555}"}, Keys());
}

TEST_F(UninstallEntriesTest, EntriesOfTheOtherRegistryViewAreJudgedThere) {
  OtherRegistryView views;
  const Values dead = {{L"DisplayName", L"Dead"}, {L"UninstallString", gone}, {L"DisplayIcon", gone}};
  const Values alive = {{L"DisplayName", L"Alive"}, {L"UninstallString", gone}, {L"DisplayIcon", present}};
  // The same name in both views, dead in the other one only; a dead product entry there.
  Entry(L"Both", alive);
  SetValues(views.PathOf(HKEY_LOCAL_MACHINE, kUninstall + L"Both"), dead);
  SetValues(views.PathOf(HKEY_LOCAL_MACHINE, kUninstall + Code(3)), dead);
  Product(Packed(3), L"Dead", L"");
  Entry(L"Here", dead);

  ScanUninstallEntries(ctx);

  Names found;
  for (const model::TreeNode* n = results.Tree().FirstTopLevel(); n; n = n->NextSibling()) {
    const catalogue::ResultItem* r = n->DataAs<catalogue::ResultItem>();
    found.push_back(std::wstring(r->Location) + (r->View == sys::RegView::Wow32 ? L" (32)" : L""));
  }
  EXPECT_EQ(Sorted({kUninstall + L"Both (32)", kUninstall + Code(3) + L" (32)", kProducts + Packed(3),
                    kUninstall + L"Here"}),
            Sorted(found));
  // Judged again, each in its view.
  const registry_scan::JudgeContext judge{folders, os};
  auto again = [&](const std::wstring& key, sys::RegView view) {
    return registry_scan::JudgeFinding(judge, L"HKEY_LOCAL_MACHINE", key, L"", view).dead;
  };
  EXPECT_TRUE(again(kUninstall + L"Both", sys::RegView::Wow32));
  EXPECT_FALSE(again(kUninstall + L"Both", sys::RegView::Default));
  EXPECT_TRUE(again(kProducts + Packed(3), sys::RegView::Default));
}

TEST_F(UninstallEntriesTest, ProductsWithoutEntryAreJudgedByTheirInstallProperties) {
  const Values invalid = {{L"UninstallString", gone}, {L"DisplayIcon", gone}};
  auto properties = [&](const std::wstring& sid, const std::wstring& key, const std::wstring& name,
                        bool valid) {
    Values v = invalid;
    v[L"DisplayName"] = name;
    if (valid) v[L"DisplayIcon"] = present;
    SetValues(kUserData + sid + L"\\Products\\" + key + L"\\InstallProperties", v);
  };
  Product(L"K1", L"Orphan", L"");
  properties(L"S-2", L"K1", L"Orphan", false);
  Product(L"K2", L"Healthy", L"");
  properties(L"S-1", L"K2", L"Healthy", true);
  // Only the first user that has the product counts.
  Product(L"K3", L"Twice", L"");
  properties(L"S-1", L"K3", L"Twice", false);
  properties(L"S-2", L"K3", L"Twice", false);
  CreateRegKey(HKEY_LOCAL_MACHINE, kUserData + L"S-0");

  ScanUninstallEntries(ctx);

  EXPECT_EQ(Sorted({Finding(L"HKEY_LOCAL_MACHINE", kUserData + L"S-2\\Products\\K1", L"", L"Orphan", 11),
                    Finding(L"HKEY_LOCAL_MACHINE", kUserData + L"S-1\\Products\\K3", L"", L"Twice", 11)}),
            Sorted(Findings()));
}

// Each product left is judged once, by its own InstallProperties: a dead one whose
// display name is another product's takes nothing of that product along.
TEST_F(UninstallEntriesTest, ProductPassJudgesEveryProductLeftOnce) {
  const Values invalid = {{L"UninstallString", gone}, {L"DisplayIcon", gone}};
  auto product = [&](const std::wstring& key, const std::wstring& name, const std::wstring& shown) {
    Product(key, name, L"");
    Values v = invalid;
    v[L"DisplayName"] = shown;
    SetValues(kUserData + L"S-1\\Products\\" + key + L"\\InstallProperties", v);
  };
  product(L"A0", L"First", L"First");
  product(L"A1", L"Second", L"First");
  product(L"A2", L"Third", L"Third");

  ScanUninstallEntries(ctx);

  EXPECT_EQ(Sorted({kUserData + L"S-1\\Products\\A0", kUserData + L"S-1\\Products\\A1",
                    kUserData + L"S-1\\Products\\A2"}),
            Keys());
}

TEST_F(UninstallEntriesTest, GuessedIconIsAVersionedProgramNearTheUninstaller) {
  // A library with a version resource, built beside the tests.
  std::wstring versioned = sys::ModuleFileName();
  versioned = versioned.substr(0, versioned.find_last_of(L'\\')) + L"\\verfixed.dll";
  const std::wstring app = sandbox.dir(L"Program Files\\App");
  ASSERT_TRUE(CopyFileW(versioned.c_str(), (app + L"\\main.exe").c_str(), FALSE));
  sandbox.file(L"Program Files\\App\\unins000.exe");  // no version: never the icon
  sandbox.file(L"Program Files\\Bare\\unins000.exe");
  const std::wstring inWindows = sandbox.file(L"Windows\\uninst\\remove.exe");
  const std::wstring lower = sys::LowerCase(app);
  struct Case {
    std::wstring uninstall, icon;
  } cases[] = {
      {L"\"" + app + L"\\unins000.exe\" /SILENT", lower + L"\\main.exe"},
      {L"\"" + app + L"\\main.exe\" /remove", lower + L"\\main.exe"},
      {L"RunDll32 " + app + L"\\ctor.dll,Remove", L""},
      {L"\"" + sandbox / L"Program Files\\Bare\\unins000.exe\"", L""},
      {L"uninstall.exe /S", L""},
      {L"\"" + inWindows + L"\" /x", sys::LowerCase(inWindows)},
      {L"\"" + sandbox / L"Windows\\uninst\\gone.exe\" /x", L""},
      {sandbox / L"Windows\\uninst.exe -f\"" + app + L"\\main.exe\"", lower + L"\\main.exe"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.icon, GuessProgramIcon(ctx, c.uninstall)) << c.uninstall;
}
