// Shared DLLs, installer folders and software keys on the hermetic registry.
#include <set>

#include "sys/Registry.h"
#include "tests/registry_scan/RegistryScanFixture.h"
#include "tests/support/ViewFakes.h"

using namespace testsupport;
using registry_scan::ScanInstallerFolders;
using registry_scan::ScanSharedDlls;
using registry_scan::ScanSoftwareKeys;

namespace {

const std::wstring kShared = L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";
const std::wstring kFolders = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\Folders";
const std::wstring kUninstall = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const std::wstring kArpCache =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache";


}  // namespace

class SoftwareKeysTest : public RegistryScanTest {};

TEST_F(SoftwareKeysTest, SharedDllIsReportedByItsCountAndFileOnly) {
  const std::wstring present = sandbox.file(L"lib\\present.dll");
  const std::wstring gone = sandbox / L"lib\\gone.dll";
  struct Case {
    std::wstring name;
    DWORD type;
    std::wstring text;  // REG_SZ data
    DWORD count;        // REG_DWORD data
    bool reported;
  } cases[] = {
      {present, REG_DWORD, L"", 0, true},       {present + L"x", REG_DWORD, L"", 3, true},
      {sandbox.file(L"lib\\other.dll"), REG_SZ, L"0", 0, true},         {gone + L"1", REG_SZ, L" 2 ", 0, true},
      {gone + L"2", REG_SZ, L"many", 0, false}, {gone + L"3", REG_EXPAND_SZ, L"0", 0, false},
      {gone + L"4", REG_BINARY, L"", 0, false}, {sandbox / L"lib", REG_DWORD, L"", 1, false},
  };
  Names expected, all;
  for (const Case& c : cases) {
    if (c.type == REG_DWORD) SetRegDword(HKEY_LOCAL_MACHINE, kShared, c.name, c.count);
    else if (c.type == REG_BINARY) SetRegBinary(HKEY_LOCAL_MACHINE, kShared, c.name, "\0\0\0\0");
    else SetRegString(HKEY_LOCAL_MACHINE, kShared, c.name, c.text, c.type);
    if (c.reported) expected.push_back(c.name);
    all.push_back(L"分析: " + c.name);
  }
  // The file that exists with count 3 stays (the name differs from the count-0 one).
  SetRegDword(HKEY_LOCAL_MACHINE, kShared, sandbox.file(L"lib\\used.dll"), 3);
  all.push_back(L"分析: " + (sandbox / L"lib\\used.dll"));

  ScanSharedDlls(ctx);

  EXPECT_EQ(Sorted(expected), ValueNames());
  Names lines;
  for (const std::wstring& name : expected)
    lines.push_back(Finding(L"HKEY_LOCAL_MACHINE", kShared, name, L"", 41));
  EXPECT_EQ(Sorted(lines), Sorted(Findings()));
  EXPECT_EQ(Names(expected.size(), L"冗余动态链接库"), DescriptionRows());
  EXPECT_EQ(Sorted(all), Sorted(statuses));
}

// Count 1 through a REG_SZ that is no number would otherwise carry the count before it.
TEST_F(SoftwareKeysTest, SharedDllTextCountThatIsNoNumberIsSkipped) {
  const std::wstring present = sandbox.file(L"a.dll");
  SetRegDword(HKEY_LOCAL_MACHINE, kShared, sandbox.file(L"b.dll"), 0);
  SetRegString(HKEY_LOCAL_MACHINE, kShared, present, L"0x10");
  ScanSharedDlls(ctx);
  EXPECT_EQ(Names{sandbox / L"b.dll"}, ValueNames());
}

TEST_F(SoftwareKeysTest, PathsMissingInOneFileSystemViewOnlyAreNotReported) {
  NativeOnlyFiles native;
  const std::wstring nativeDll = sandbox / L"sys64\\only64.dll";
  const std::wstring nativeDir = sandbox / L"Program Files\\Tool64";
  native.AddFile(nativeDll);
  native.AddFolder(nativeDir);
  SetRegDword(HKEY_LOCAL_MACHINE, kShared, nativeDll, 2);
  SetRegDword(HKEY_LOCAL_MACHINE, kShared, sandbox / L"sys64\\gone.dll", 2);
  SetRegString(HKEY_LOCAL_MACHINE, kFolders, nativeDir, L"");
  SetRegString(HKEY_LOCAL_MACHINE, kFolders, sandbox / L"Program Files\\Gone", L"");

  ScanSharedDlls(ctx);
  ScanInstallerFolders(ctx);

  EXPECT_EQ(Sorted({sandbox / L"sys64\\gone.dll", sandbox / L"Program Files\\Gone"}), ValueNames());
  EXPECT_GT(native.RedirectionSwitches(), 0);
}

TEST_F(SoftwareKeysTest, InstallerFolderExceptionsHoldInAnyLetterCase) {
  std::wstring windows = folders.windows;
  for (wchar_t& ch : windows) ch = wchar_t(towupper(ch));
  struct Case {
    std::wstring name;
    DWORD type;
    bool reported;
  } cases[] = {
      {windows + L"\\Installer\\Gone\\", REG_SZ, false},
      {sandbox / L"Program Files\\COMMON Files\\Gone\\", REG_SZ, false},
      {sandbox / L"Program Files\\Microsoft OfFice\\Gone\\", REG_SZ, false},
      {sandbox / L"Templates\\TEMPLATE\\", REG_SZ, false},
      {sandbox / L"Program Files\\Gone\\", REG_SZ, true},
      {sandbox / L"Program Files\\GoneToo\\", REG_EXPAND_SZ, true},
      {sandbox / L"Program Files\\Counted\\", REG_DWORD, false},
      {sandbox.dir(L"Program Files\\Here") + L"\\", REG_SZ, false},
  };
  Names expected;
  for (const Case& c : cases) {
    if (c.type == REG_DWORD) SetRegDword(HKEY_LOCAL_MACHINE, kFolders, c.name, 1);
    else SetRegString(HKEY_LOCAL_MACHINE, kFolders, c.name, L"", c.type);
    if (c.reported) expected.push_back(c.name);
  }
  ScanInstallerFolders(ctx);
  EXPECT_EQ(Sorted(expected), ValueNames());
  EXPECT_EQ(Names(expected.size(), L"无效的安装程序"), DescriptionRows());
  const Names found = Findings();
  EXPECT_NE(found.end(), std::find(found.begin(), found.end(),
                                   Finding(L"HKEY_LOCAL_MACHINE", kFolders,
                                           sandbox / L"Program Files\\Gone\\", L"", 11)));
}

TEST_F(SoftwareKeysTest, ScannersWithAStopTestEndBeforeTheirFirstEntry) {
  SetRegDword(HKEY_LOCAL_MACHINE, kShared, sandbox / L"gone.dll", 0);
  SetRegString(HKEY_LOCAL_MACHINE, kFolders, sandbox / L"Gone\\", L"");
  stop = true;
  ScanSharedDlls(ctx);
  ScanInstallerFolders(ctx);
  EXPECT_TRUE(Findings().empty());
  EXPECT_TRUE(statuses.empty());
  stop = false;
  ScanSharedDlls(ctx);
  ScanInstallerFolders(ctx);
  EXPECT_EQ(2u, Findings().size());
  // One pump with each status line and one after each finding.
  EXPECT_EQ(4, pumps);
}

TEST_F(SoftwareKeysTest, EmptyMachineAndUserKeysWithTheirExceptions) {
  const std::wstring sw = L"Software\\";
  for (const wchar_t* n : {L"Secure", L"cnetseek", L"EmptyMachine", L"Vendor", L"Policies",
                           L"Registered Applications"})
    CreateRegKey(HKEY_LOCAL_MACHINE, sw + n);
  SetRegString(HKEY_LOCAL_MACHINE, sw + L"Valued", L"v", L"1");
  CreateRegKey(HKEY_LOCAL_MACHINE, sw + L"Parent\\Child");
  SetRegString(HKEY_LOCAL_MACHINE, sw + L"Named", L"", L"text");
  SetRegString(HKEY_LOCAL_MACHINE, sw + L"Vendor", L"", L"");  // a value: in use
  for (const wchar_t* n : {L"Secure", L"cnetseek", L"valued", L"Valued", L"Parent", L"EmptyMachine",
                           L"UserOnly"})
    CreateRegKey(HKEY_CURRENT_USER, sw + n);
  SetRegString(HKEY_CURRENT_USER, sw + L"UserValued", L"x", L"1");

  ScanSoftwareKeys(ctx);

  // "valued" is the machine's "Valued": key names compare without regard to case.
  EXPECT_EQ(Sorted({L"HKEY_LOCAL_MACHINE|Software\\EmptyMachine|||4",
                    L"HKEY_CURRENT_USER|Software\\EmptyMachine|||4",
                    L"HKEY_CURRENT_USER|Software\\UserOnly|||4"}),
            Sorted(Findings()));
  EXPECT_EQ(Names(3, L"无效的软件"), DescriptionRows());
  EXPECT_TRUE(statuses.empty());
}

TEST_F(SoftwareKeysTest, UserKeySecureIsReportedWithoutTheMachineKey) {
  CreateRegKey(HKEY_CURRENT_USER, L"Software\\Secure");
  CreateRegKey(HKEY_LOCAL_MACHINE, L"Software\\Other\\Sub");
  ScanSoftwareKeys(ctx);
  EXPECT_EQ(Names{L"HKEY_CURRENT_USER|Software\\Secure|||4"}, Findings());
}

TEST_F(SoftwareKeysTest, CacheEntriesWithoutAnUninstallEntry) {
  for (const wchar_t* u : {L"Tool", L"Editor 2", L"{11111111-2222-3333-4444-555555555555}"})
    CreateRegKey(HKEY_LOCAL_MACHINE, kUninstall + L"\\" + u);
  for (const wchar_t* a : {L"TOOL", L" editor 2 ", L"{99999999-2222-3333-4444-555555555555}",
                           L"{", L"Removed"})
    CreateRegKey(HKEY_LOCAL_MACHINE, kArpCache + L"\\" + a);
  ScanSoftwareKeys(ctx);
  EXPECT_EQ(Sorted({Finding(L"HKEY_LOCAL_MACHINE", kArpCache + L"\\{", L"", L"{", 4),
                    Finding(L"HKEY_LOCAL_MACHINE", kArpCache + L"\\Removed", L"", L"Removed", 4)}),
            Sorted(Findings()));
}

TEST_F(SoftwareKeysTest, CachePassNeedsBothLists) {
  CreateRegKey(HKEY_LOCAL_MACHINE, kArpCache + L"\\Removed");
  ScanSoftwareKeys(ctx);
  EXPECT_TRUE(Findings().empty());
  sys::RegKey k;
  ASSERT_EQ(ERROR_SUCCESS, k.OpenWrite(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion"));
  ASSERT_EQ(ERROR_SUCCESS, k.DeleteKey(L"App Management"));
  CreateRegKey(HKEY_LOCAL_MACHINE, kUninstall + L"\\Tool");
  ScanSoftwareKeys(ctx);
  EXPECT_TRUE(Findings().empty());
}

TEST_F(SoftwareKeysTest, MachineKeysAreJudgedInBothRegistryViews) {
  OtherRegistryView views;
  const std::wstring sw = L"Software\\";
  // Empty here, in use in the other view.
  CreateRegKey(HKEY_LOCAL_MACHINE, sw + L"Split");
  SetRegString(HKEY_LOCAL_MACHINE, views.PathOf(HKEY_LOCAL_MACHINE, sw + L"Split"), L"v", L"1");
  // Only in the other view, and a user key of its name.
  SetRegString(HKEY_LOCAL_MACHINE, views.PathOf(HKEY_LOCAL_MACHINE, sw + L"Only64"), L"v", L"1");
  CreateRegKey(HKEY_CURRENT_USER, sw + L"Only64");
  CreateRegKey(HKEY_LOCAL_MACHINE, sw + L"Empty");
  // A cache entry whose uninstall entry is in the other view.
  CreateRegKey(HKEY_LOCAL_MACHINE, views.PathOf(HKEY_LOCAL_MACHINE, kUninstall + L"\\Tool64"));
  CreateRegKey(HKEY_LOCAL_MACHINE, kUninstall + L"\\Tool32");
  CreateRegKey(HKEY_LOCAL_MACHINE, kArpCache + L"\\Tool64");

  ScanSoftwareKeys(ctx);

  EXPECT_EQ(Names{L"Software\\Empty"}, Keys());
}

TEST_F(SoftwareKeysTest, AppPathsOfProgramsThatAreGone) {
  OtherRegistryView views;
  const std::wstring appPaths = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
  const std::wstring gone = sandbox / L"gone\\app.exe";
  ScopedEnvironment root(L"VelmoraAppRoot", sandbox / L"gone");
  auto entry = [&](HKEY key, const std::wstring& name, const std::wstring& program) {
    SetRegString(key, appPaths + name, L"", program);
  };
  entry(HKEY_LOCAL_MACHINE, L"gone.exe", gone);
  entry(HKEY_LOCAL_MACHINE, L"quoted.exe", L"\"%VelmoraAppRoot%\\quoted.exe\"");
  entry(HKEY_LOCAL_MACHINE, L"here.exe", sandbox.file(L"here\\here.exe"));
  entry(HKEY_LOCAL_MACHINE, L"bare.exe", L"bare.exe");
  CreateRegKey(HKEY_LOCAL_MACHINE, appPaths + L"empty.exe");
  SetRegDword(HKEY_LOCAL_MACHINE, appPaths + L"number.exe", L"", 1);
  SetRegString(HKEY_LOCAL_MACHINE, views.PathOf(HKEY_LOCAL_MACHINE, appPaths + L"other.exe"), L"", gone);
  entry(HKEY_CURRENT_USER, L"mine.exe", gone);

  ScanSoftwareKeys(ctx);

  Names found;
  for (const model::TreeNode* n = results.Tree().FirstTopLevel(); n; n = n->NextSibling()) {
    const catalogue::ResultItem* r = n->DataAs<catalogue::ResultItem>();
    found.push_back(std::wstring(r->Text) + L"|" + std::wstring(r->Location) + L"|" +
                    std::wstring(r->ValueData) + (r->View == sys::RegView::Wow32 ? L"|32" : L""));
  }
  EXPECT_EQ(Sorted({L"HKEY_LOCAL_MACHINE|" + appPaths + L"gone.exe|" + gone,
                    L"HKEY_LOCAL_MACHINE|" + appPaths + L"quoted.exe|\"%VelmoraAppRoot%\\quoted.exe\"",
                    L"HKEY_LOCAL_MACHINE|" + appPaths + L"other.exe|" + gone + L"|32",
                    L"HKEY_CURRENT_USER|" + appPaths + L"mine.exe|" + gone}),
            Sorted(found));
  EXPECT_EQ(Names(4, L"无效的软件"), DescriptionRows());

  // On a removable disk nothing is proven gone.
  sys::Drives().type = [](const std::wstring&) { return UINT(DRIVE_REMOVABLE); };
  sys::ForgetDrives();
  Reset();
  ScanSoftwareKeys(ctx);
  EXPECT_TRUE(Findings().empty());
}
