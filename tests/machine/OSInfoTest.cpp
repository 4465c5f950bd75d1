// Naming of the system from version facts, the .NET and IE tests, start-up with fake
// systems, the administrator test and the shutdown call (never really made).
#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <vector>

#include "sys/FileVersion.h"
#include "machine/Folders.h"
#include "machine/Seams.h"
#include "machine/TarnGetOSInfo.h"
#include "sys/Text.h"
#include "tests/support/Sandbox.h"
#include "sys/FileUtils.h"

using namespace machine;
using namespace sys;
using namespace testsupport;

namespace {

VersionFacts Facts(int major, int minor, BYTE productType = VER_NT_WORKSTATION,
                   WORD suite = 0) {
  VersionFacts f;
  f.queryOk = f.extendedOk = true;
  f.major = major;
  f.minor = minor;
  f.productType = productType;
  f.suiteMask = suite;
  return f;
}

std::wstring TestDataFile(const wchar_t* name) {
  std::wstring dir = sys::ModuleFileName();
  return dir.substr(0, dir.find_last_of(L'\\') + 1) + name;
}

bool ShutdownPrivilegeEnabled() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  PRIVILEGE_SET set{};
  set.PrivilegeCount = 1;
  set.Control = PRIVILEGE_SET_ALL_NECESSARY;
  BOOL enabled = FALSE;
  if (LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &set.Privilege[0].Luid))
    PrivilegeCheck(token, &set, &enabled);
  CloseHandle(token);
  return enabled != FALSE;
}

void DisableShutdownPrivilege() {
  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                               &token));
  TOKEN_PRIVILEGES tp{};
  tp.PrivilegeCount = 1;
  ASSERT_TRUE(LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &tp.Privileges[0].Luid));
  AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr);
  CloseHandle(token);
}

BOOL WINAPI FakeWow64Yes(HANDLE, PBOOL result) {
  *result = TRUE;
  return TRUE;
}
BOOL WINAPI FakeWow64No(HANDLE, PBOOL result) {
  *result = FALSE;
  return TRUE;
}
BOOL WINAPI FakeWow64Fails(HANDLE, PBOOL) {
  SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}

}  // namespace

TEST(OSInfoNaming, NameAndNumbersFromVersion) {
  struct Case {
    bool queryOk;
    int major, minor, build;
    BYTE productType;
    bool extendedOk;
    const wchar_t* name;
    int expectMajor, expectBuild;
  } cases[] = {
      {true, 4, 10, 0x040A08AE, 0, true, L"98", 4, 2222},  // 9x: high word holds the version
      {true, 4, 90, 0x045A0BB8, 0, true, L"Me", 4, 3000},
      {true, 4, 0, 1381, 1, true, L"", 4, 1381},  // NT 4.0 and 95
      {true, 4, 3, 1, 1, true, L"", 4, 1},
      {true, 5, 0, 2195, 1, true, L"2000", 5, 2195},
      {true, 5, 1, 2600, 1, true, L"XP", 5, 2600},
      {true, 5, 2, 3790, 3, true, L"2003", 5, 3790},
      {true, 5, 3, 1, 1, true, L"", 5, 1},
      {true, 6, 0, 6002, 1, true, L"Vista", 6, 6002},
      {true, 6, 0, 6002, 3, true, L"2008", 6, 6002},
      {true, 6, 0, 6002, 2, true, L"2008", 6, 6002},   // domain controller
      {true, 6, 0, 6002, 3, false, L"Vista", 6, 6002},  // no extended record, no rename
      {true, 6, 1, 7601, 1, true, L"7", 6, 7601},
      {true, 6, 1, 7601, 3, true, L"7", 6, 7601},
      {true, 6, 2, 9200, 1, true, L"", 6, 9200},
      {true, 6, 3, 9600, 1, true, L"", 6, 9600},
      {true, 10, 0, 19045, 1, true, L"Invalidated", 10, 19045},
      {true, 3, 51, 1057, 1, true, L"Invalidated", 3, 1057},
      {false, 5, 1, 2600, 1, true, L"Invalidated", 0, 0},  // failed query: facts ignored
  };
  for (const Case& c : cases) {
    VersionFacts f = Facts(c.major, c.minor, c.productType);
    f.queryOk = c.queryOk;
    f.extendedOk = c.extendedOk;
    f.build = c.build;
    VersionNaming n = NameVersion(f);
    SCOPED_TRACE(testing::Message() << c.major << "." << c.minor << " type " << int(c.productType));
    EXPECT_EQ(c.name, n.osName);
    EXPECT_EQ(c.expectMajor, n.major);
    EXPECT_EQ(c.queryOk ? c.minor : 0, n.minor);
    EXPECT_EQ(c.expectBuild, n.build);
  }
}

TEST(OSInfoNaming, EditionOf2000XPAnd2003) {
  const WORD personal = VER_SUITE_PERSONAL, embedded = VER_SUITE_EMBEDDEDNT,
             datacenter = VER_SUITE_DATACENTER, enterprise = VER_SUITE_ENTERPRISE,
             blade = VER_SUITE_BLADE, compute = VER_SUITE_COMPUTE_SERVER;
  enum { kStarter = 1, kMedia = 2, kTablet = 4, kR2 = 8 };
  struct Case {
    int minor;
    BYTE productType;
    WORD suite;
    int metrics;
    const wchar_t* edition;
  } cases[] = {
      // XP: the metrics are tested before the suite bits.
      {1, 1, personal, kStarter | kMedia, L"Starter Edition"},
      {1, 1, personal, kMedia, L"Media Center Edition"},
      {1, 1, personal, kMedia | kTablet, L"Media Center Edition"},
      {1, 1, personal, kTablet, L"Tablet PC Edition"},
      {1, 1, personal | embedded, 0, L"Home Edition"},
      {1, 1, embedded, 0, L"Embedded"},
      {1, 1, 0, kR2, L"Professional"},
      {1, 3, personal, kMedia, L""},  // XP never is a server
      // Workstations other than XP have no edition.
      {0, 1, datacenter, kMedia, L""},
      {2, 1, 0, 0, L""},
      {0, 3, datacenter | enterprise, 0, L"Datacenter Server"},
      {0, 3, enterprise, 0, L"Advanced Server"},
      {0, 3, 0, kR2, L"Server"},
      {0, 2, 0, 0, L"Server"},
      {2, 3, blade | datacenter, kR2, L"Web Edition"},
      {2, 3, compute | enterprise, 0, L"Compute Cluster Edition"},
      {2, 3, datacenter | enterprise, kR2, L"Datacenter Edition"},
      {2, 3, enterprise, kR2, L"Enterprise Edition"},
      {2, 3, 0, kR2, L"Server 2003 R2"},
      {2, 2, 0, 0, L"Server"},
      {3, 3, enterprise, 0, L""},
  };
  for (const Case& c : cases) {
    VersionFacts f = Facts(5, c.minor, c.productType, c.suite);
    f.smStarter = c.metrics & kStarter;
    f.smMediaCenter = c.metrics & kMedia;
    f.smTabletPc = c.metrics & kTablet;
    f.smServerR2 = c.metrics & kR2;
    VersionNaming n = NameVersion(f);
    SCOPED_TRACE(testing::Message() << "5." << c.minor << " type " << int(c.productType)
                                    << " suite " << c.suite << " metrics " << c.metrics);
    EXPECT_EQ(c.edition, n.edition);
    EXPECT_EQ(c.productType, n.productType);
  }
  // Without the extended record nothing is known of the edition.
  VersionFacts f = Facts(5, 1, 1, personal);
  f.extendedOk = false;
  EXPECT_EQ(L"", NameVersion(f).edition);
  EXPECT_EQ(0, NameVersion(f).productType);
  // The product type is kept only for major version 5.
  EXPECT_EQ(0, NameVersion(Facts(6, 0, 3)).productType);
  EXPECT_EQ(0, NameVersion(Facts(4, 0, 1)).productType);
}

TEST(OSInfoNaming, EditionOfVistaAndLaterFromProductNumber) {
  // Index = product number; 43 and above (48 is Windows 7 Professional) are not in the table.
  const std::vector<const wchar_t*> expected = {
      L"", L"Ultimate", L"Home Basic", L"Home Premium", L"Enterprise", L"Home Basic N",
      L"Business", L"Server Standard", L"Server Datacenter", L"Small Business Server",
      L"Server Enterprise", L"Starter", L"Server Datacenter", L"Server Standard",
      L"Server Enterprise", L"Server Enterprise for Itanium-based Systems", L"Business N",
      L"Web Server", L"HPC Edition", L"Home Server", L"Storage Server Express",
      L"Storage Server Standard", L"Storage Server Workgroup", L"Storage Server Enterprise",
      L"Server 2008 for Windows Essential Server Solutions", L"Small Business Server Premium",
      L"Home Premium N", L"Enterprise N", L"Ultimate N", L"Web Server",
      L"Essential Business Server Management Server",
      L"Essential Business Server Security Server",
      L"Essential Business Server Messaging Server", L"", L"",
      L"Server 2008 without Hyper-V for Windows Essential Server Solutions",
      L"Server Standard without Hyper-V", L"Server Datacenter without Hyper-V",
      L"Server Enterprise without Hyper-V", L"Server Datacenter without Hyper-V",
      L"Server Standard without Hyper-V", L"Server Enterprise without Hyper-V",
      L"Hyper-V Server", L"", L"", L"", L"", L"", L"",
  };
  for (DWORD number = 0; number < expected.size(); ++number) {
    VersionFacts f = Facts(6, 0);
    f.productInfoOk = true;
    f.productNumber = number;
    EXPECT_EQ(expected[number], NameVersion(f).edition) << number;
  }
  EXPECT_EQ(L"", ProductEdition(0xABCDABCD));

  struct Case {
    int major, minor;
    bool extendedOk, productInfoOk;
    const wchar_t* edition;
  } cases[] = {
      {6, 1, true, true, L"Ultimate"},
      {10, 0, true, true, L"Ultimate"},  // the name is "Invalidated" but the edition is read
      {6, 0, true, false, L""},          // GetProductInfo missing or failed
      {6, 0, false, true, L""},          // no extended record
      {5, 1, true, true, L"Professional"},  // major 5 ignores the product number
  };
  for (const Case& c : cases) {
    VersionFacts f = Facts(c.major, c.minor);
    f.extendedOk = c.extendedOk;
    f.productInfoOk = c.productInfoOk;
    f.productNumber = 1;
    EXPECT_EQ(c.edition, NameVersion(f).edition) << c.major << "." << c.minor;
  }
}

TEST(OSInfoNaming, ServicePackFromCSDText) {
  struct Case {
    int major;
    const wchar_t* csd;
    const wchar_t* servicePack;
  } cases[] = {
      {5, L"Service Pack 2", L"SP2"},
      {5, L"Service Pack 1a", L"SP1"},
      {5, L"Service Pack 10", L"SP1"},  // one character only
      {6, L"Update, Service Pack 3", L"SP3"},
      {5, L"SP2", L""},
      {5, L"service pack 2", L""},
      {5, L"Service Pack", L""},
      {5, L"Service Pack ", L""},  // nothing follows the marker
      {5, L"", L""},
      {4, L"Service Pack 6", L""},  // NT 4.0 is not asked
      {4, L" A ", L""},
      {10, L"Service Pack 1", L"SP1"},
  };
  for (const Case& c : cases) {
    VersionFacts f = Facts(c.major, 0);
    f.csdVersion = c.csd;
    VersionNaming n = NameVersion(f);
    EXPECT_EQ(c.servicePack, n.servicePack) << c.major << " '" << c.csd << "'";
    EXPECT_EQ(c.csd, n.csdVersion);
  }
  VersionFacts f = Facts(5, 1);
  f.csdVersion = std::wstring(200, L'x');
  EXPECT_EQ(128u, NameVersion(f).csdVersion.size());
  f.queryOk = false;
  EXPECT_EQ(L"", NameVersion(f).csdVersion);
}

TEST(OSInfoNaming, DotNetVersionFromTheFiveTests) {
  struct Case {
    bool v20, v30, v35, v11, v10;
    const wchar_t* version;
  } cases[] = {
      {1, 1, 1, 1, 1, L"3.5"}, {1, 1, 1, 0, 0, L"3.5"}, {1, 1, 0, 1, 1, L"3.0"},
      {1, 0, 1, 1, 1, L"2.0"}, {0, 1, 1, 1, 1, L"1.1"}, {0, 1, 1, 0, 1, L"1.0"},
      {0, 0, 1, 0, 0, L""},    {0, 0, 0, 0, 0, L""},
  };
  for (const Case& c : cases) {
    VersionFacts f = Facts(5, 1);
    f.net20 = c.v20;
    f.net30 = c.v30;
    f.net35 = c.v35;
    f.net11 = c.v11;
    f.net10 = c.v10;
    EXPECT_EQ(c.version, NameVersion(f).dotNetVersion)
        << c.v20 << c.v30 << c.v35 << c.v11 << c.v10;
  }
}

class OSInfoRegistryTest : public SandboxTest {};

TEST_F(OSInfoRegistryTest, DotNetKeyTestsReadTheRegistry) {
  const std::wstring ndp = L"Software\\Microsoft\\NET Framework Setup\\NDP\\";
  const std::wstring policy = L"Software\\Microsoft\\.NETFramework\\Policy\\v1.0";
  SetRegDword(HKEY_LOCAL_MACHINE, ndp + L"v2.0.50727", L"Install", 1);
  SetRegDword(HKEY_LOCAL_MACHINE, ndp + L"v3.0\\Setup", L"InstallSuccess", 1);
  SetRegDword(HKEY_LOCAL_MACHINE, ndp + L"v3.5", L"Install", 0);
  SetRegString(HKEY_LOCAL_MACHINE, ndp + L"v1.1.4322", L"Install", L"1");
  SetRegString(HKEY_LOCAL_MACHINE, policy, L"3705", L"3321-3705");
  SetRegDword(HKEY_LOCAL_MACHINE, ndp + L"v4", L"Other", 1);
  struct Case {
    std::wstring key;
    const wchar_t* value;
    bool expected;
  } cases[] = {
      {ndp + L"v2.0.50727", L"Install", true},
      {ndp + L"v3.0\\Setup", L"InstallSuccess", true},
      {ndp + L"v3.5", L"Install", false},       // present but 0
      {ndp + L"v1.1.4322", L"Install", false},  // a text is not an integer
      {policy, L"3705", true},                  // existence is enough
      {ndp + L"v4", L"Install", false},         // key without the value
      {ndp + L"v9", L"Install", false},         // no key
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, DotNetKeyTest(c.key, c.value)) << c.key;

  EXPECT_EQ(L"3.0", NameVersion(ReadVersionFacts()).dotNetVersion);
  SetRegDword(HKEY_LOCAL_MACHINE, ndp + L"v3.5", L"Install", 1);
  EXPECT_EQ(L"3.5", NameVersion(ReadVersionFacts()).dotNetVersion);
}

TEST(OSInfoVersionText, NumericComparison) {
  struct Case {
    const wchar_t* a;
    const wchar_t* b;
    int sign;
  } cases[] = {
      {L"10.0.9200.16384", L"7.0.0.0", 1}, {L"1.2.3", L"1.2.3.0", 0},
      {L"1.10", L"1.9", 1},               {L"2", L"10", -1},
      {L"", L"0", 0},                     {L"6, 0, 2900, 2180", L"6.0.2900.2180", 0},
      {L"7.00.6000.16386 (vista_rtm.061101-2205)", L"7.0.6000.16386", 0},
  };
  for (const Case& c : cases) {
    int r = CompareVersionText(c.a, c.b);
    EXPECT_EQ(c.sign, (r > 0) - (r < 0)) << c.a << " vs " << c.b;
    EXPECT_EQ(-c.sign, (CompareVersionText(c.b, c.a) > 0) - (CompareVersionText(c.b, c.a) < 0));
  }
}

TEST(OSInfoWow64, AbsentFunctionFailureAndAnswer) {
  EXPECT_FALSE(QueryIsWow64(nullptr, GetCurrentProcess()));
  EXPECT_TRUE(QueryIsWow64(FakeWow64Yes, GetCurrentProcess()));
  EXPECT_FALSE(QueryIsWow64(FakeWow64No, GetCurrentProcess()));
  try {
    QueryIsWow64(FakeWow64Fails, GetCurrentProcess());
    ADD_FAILURE() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ("Halvane get Wow64 information error!", e.what());
  }
}

class OSInfoStartTest : public SandboxTest {
 protected:
  void SetUp() override {
    calls = 0;
    Seams().readVersionFacts = [this] {
      ++calls;
      return facts;
    };
  }
  // Copies the test library that carries the version 1.2.3.4.
  void VersionedFile(const std::wstring& rel) {
    std::wstring target = sandbox.file(rel);
    ASSERT_TRUE(CopyFileW(TestDataFile(L"verfixed.dll").c_str(), target.c_str(), FALSE));
  }
  ScopedSeams seams;
  VersionFacts facts;
  int calls = 0;
};

TEST_F(OSInfoStartTest, ConstructorFillsFieldsFromFactsRegistryAndFiles) {
  const std::wstring pf = sandbox.dir(L"Program Files");
  const std::wstring hklmCv = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
  SetRegString(HKEY_LOCAL_MACHINE, hklmCv, L"ProgramFilesDir", pf);
  SetRegString(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\DirectX", L"Version",
               L"4.09.00.0904");
  SetRegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\MessengerService",
               L"InstallationDirectory", sandbox / L"Messenger");
  SetRegDword(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\NET Framework Setup\\NDP\\v2.0.50727",
              L"Install", 1);  // ignored: the facts decide
  VersionedFile(L"Program Files\\Internet Explorer\\IExplore.exe");
  VersionedFile(L"Program Files\\Windows Media Player\\Mplayer2.exe");
  VersionedFile(L"Program Files\\MSN Messenger\\msnmsgr.exe");
  VersionedFile(L"Messenger\\msmsgs.exe");

  facts = Facts(5, 1, VER_NT_WORKSTATION, VER_SUITE_PERSONAL);
  facts.build = 2600;
  facts.csdVersion = L"Service Pack 2";
  facts.smMediaCenter = 1;
  facts.net20 = facts.net30 = true;

  TTarnOSInfo os;
  EXPECT_EQ(1, calls);
  EXPECT_EQ(pf, os.ProgramFilesDir);
  EXPECT_EQ(L"XP", os.OSName);
  EXPECT_EQ(L"Media Center Edition", os.Edition);
  EXPECT_EQ(1, os.ProductType);
  EXPECT_EQ(5, os.MajorVersion);
  EXPECT_EQ(1, os.MinorVersion);
  EXPECT_EQ(2600, os.BuildNumber);
  EXPECT_EQ(L"Service Pack 2", os.CSDVersion);
  EXPECT_EQ(L"SP2", os.ServicePack);
  // Wine answers for its own iexplore.exe in place of the copied file, so the version is
  // whatever the version routine reports for that path.
  const std::wstring ie = pf + L"\\Internet Explorer\\IExplore.exe";
  EXPECT_FALSE(os.IEVersion.empty());
  EXPECT_EQ(Trim(GetVersionInfoString(ie, L"FileVersion")), os.IEVersion);
  EXPECT_EQ(L"", os.OEVersion);
  EXPECT_EQ(L"1.2.3.4", os.WMPVersion);  // the older player when the newer is missing
  EXPECT_EQ(L"1.2.3.4", os.MSNVersion);
  EXPECT_EQ(L"4.09.00.0904", os.DirectXVersion);
  EXPECT_EQ(L"3.0", os.DotNetVersion);
  EXPECT_EQ(L"1.2.3.4", os.MessengerVersion);  // backslash added to the folder
  EXPECT_FALSE(os.ComCtlVersion.empty());      // found by the system's search order
  BOOL wow64 = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow64);
  EXPECT_EQ(wow64 != FALSE, os.IsWow64);
  EXPECT_EQ(ie, InternetExplorerPath);

  // A newer player without version information is still preferred to the older one.
  sandbox.file(L"Program Files\\Windows Media Player\\wmplayer.exe", "not a program");
  EXPECT_EQ(L"", TTarnOSInfo().WMPVersion);
}

TEST_F(OSInfoStartTest, MissingRegistryAndFailedVersionQuery) {
  facts = VersionFacts();  // GetVersionEx failed
  TTarnOSInfo os;
  EXPECT_EQ(L"Invalidated", os.OSName);
  EXPECT_EQ(0, os.MajorVersion);
  EXPECT_EQ(0, os.BuildNumber);
  struct Field {
    const char* name;
    const std::wstring& value;
  } empty[] = {
      {"ProgramFilesDir", os.ProgramFilesDir}, {"Edition", os.Edition},
      {"IEVersion", os.IEVersion},             {"OEVersion", os.OEVersion},
      {"WMPVersion", os.WMPVersion},           {"MSNVersion", os.MSNVersion},
      {"DirectXVersion", os.DirectXVersion},   {"DotNetVersion", os.DotNetVersion},
      {"ServicePack", os.ServicePack},         {"MessengerVersion", os.MessengerVersion},
  };
  for (const Field& f : empty) EXPECT_EQ(L"", f.value) << f.name;
  EXPECT_EQ(L"\\Internet Explorer\\IExplore.exe", InternetExplorerPath);
}

TEST_F(OSInfoStartTest, IsIE7OrLaterComparesNumbers) {
  struct Case {
    const wchar_t* version;
    bool later;
  } cases[] = {
      {L"6.0.2900.2180", false},
      {L"6.99.9999.9999", false},
      {L"7.0.5730.13", true},
      {L"7", true},
      {L"8.00.6001.18702", true},
      {L"9.00.8112.16421", true},
      {L"10.0.9200.16384", true},
      {L"11.0.9600.17416", true},
      {L"7.00.6000.16386 (vista_rtm.061101-2205)", true},
      {L"6, 0, 2900, 2180", false},
      {L"", false},
      {L"unknown", false},
  };
  TTarnOSInfo os;
  for (const Case& c : cases) {
    os.IEVersion = c.version;
    EXPECT_EQ(c.later, os.IsIE7OrLater()) << c.version;
  }
}

TEST(OSInfoShutdown, FlagsAndPrivilegeThroughTheSeam) {
  ScopedSeams outer;
  std::vector<UINT> outerCalls;
  Seams().exitWindows = [&](UINT flags, DWORD) {
    outerCalls.push_back(flags);
    return TRUE;
  };
  struct Case {
    bool restart;
    int major;
    UINT flags;
    bool privileged;
  } cases[] = {
      {true, 4, 6, false},
      {false, 4, 12, false},
      {true, 5, 6, true},
      {false, 6, 12, true},
  };
  for (const Case& c : cases) {
    ScopedSeams inner;
    std::vector<UINT> flags;
    std::vector<DWORD> reasons;
    bool privileged = false;
    Seams().exitWindows = [&](UINT f, DWORD reason) {
      flags.push_back(f);
      reasons.push_back(reason);
      privileged = ShutdownPrivilegeEnabled();
      return FALSE;
    };
    DisableShutdownPrivilege();
    ASSERT_FALSE(ShutdownPrivilegeEnabled());
    EXPECT_FALSE(ShutdownComputer(c.restart, c.major));
    ASSERT_EQ(1u, flags.size());
    EXPECT_EQ(c.flags, flags[0]) << c.restart << " " << c.major;
    EXPECT_EQ(0xFFFFu, reasons[0]);
    EXPECT_EQ(c.privileged, privileged) << c.major;
  }
  // Each inner scope put the outer fake back.
  EXPECT_TRUE(ShutdownComputer(true, 4));
  EXPECT_EQ(std::vector<UINT>{6}, outerCalls);
}

TEST(OSInfoAdministrator, WineUserIsAdministratorWithProcessAndThreadToken) {
  EXPECT_TRUE(IsAdministrator());
  EXPECT_TRUE(Seams().isAdministrator());
  ASSERT_TRUE(ImpersonateSelf(SecurityImpersonation));
  HANDLE token = nullptr;
  bool threadToken = OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token) != FALSE;
  if (token) CloseHandle(token);
  EXPECT_TRUE(IsAdministrator());
  RevertToSelf();
  EXPECT_TRUE(threadToken);
}

TEST(OSInfoRealSystem, DefaultSeamReadsTheRunningSystem) {
  VersionFacts f = Seams().readVersionFacts();
  EXPECT_TRUE(f.queryOk);
  EXPECT_TRUE(f.extendedOk);
  EXPECT_GT(f.major, 4);
  VersionNaming n = NameVersion(f);
  std::printf("running system: %d.%d.%d name '%ls' edition '%ls' csd '%ls' product %lu\n",
              n.major, n.minor, n.build, n.osName.c_str(), n.edition.c_str(),
              n.csdVersion.c_str(), static_cast<unsigned long>(f.productNumber));
}
