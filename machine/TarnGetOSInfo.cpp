#include "machine/TarnGetOSInfo.h"

#include <cwchar>
#include <new>
#include <stdexcept>
#include <vector>

#include "sys/FileSearch.h"
#include "sys/FileVersion.h"
#include "sys/Handles.h"
#include "sys/Registry.h"
#include "sys/SystemLibrary.h"
#include "machine/Seams.h"
#include "sys/Text.h"

#ifdef _MSC_VER
#pragma warning(disable : 4996)  // GetVersionExW is deprecated but is the query that binds
#endif

namespace machine {

using sys::FileExists;
using sys::GetVersionInfoString;
using sys::RegKey;
using sys::Trim;
using sys::WithBackslash;

std::wstring InternetExplorerPath;

namespace {

std::wstring OSNameOf(int major, int minor) {
  struct Row {
    int major, minor;
    const wchar_t* name;
  };
  static const Row rows[] = {
      {4, 10, L"98"}, {4, 90, L"Me"}, {5, 0, L"2000"}, {5, 1, L"XP"},
      {5, 2, L"2003"}, {6, 0, L"Vista"}, {6, 1, L"7"},
  };
  for (const Row& r : rows)
    if (r.major == major && r.minor == minor) return r.name;
  if (major >= 4 && major <= 6) return L"";
  return L"Invalidated";
}

std::wstring Edition2000XP2003(const VersionFacts& f, const std::wstring& osName) {
  const WORD suite = f.suiteMask;
  if (f.productType == VER_NT_WORKSTATION) {
    if (osName != L"XP") return L"";
    // The metrics come first: a Media Center PC also carries the personal suite bit.
    if (f.smStarter) return L"Starter Edition";
    if (f.smMediaCenter) return L"Media Center Edition";
    if (f.smTabletPc) return L"Tablet PC Edition";
    if (suite & VER_SUITE_PERSONAL) return L"Home Edition";
    if (suite & VER_SUITE_EMBEDDEDNT) return L"Embedded";
    return L"Professional";
  }
  if (osName == L"2000") {
    if (suite & VER_SUITE_DATACENTER) return L"Datacenter Server";
    if (suite & VER_SUITE_ENTERPRISE) return L"Advanced Server";
    return L"Server";
  }
  if (osName == L"2003") {
    if (suite & VER_SUITE_BLADE) return L"Web Edition";
    if (suite & VER_SUITE_COMPUTE_SERVER) return L"Compute Cluster Edition";
    if (suite & VER_SUITE_DATACENTER) return L"Datacenter Edition";
    if (suite & VER_SUITE_ENTERPRISE) return L"Enterprise Edition";
    if (f.smServerR2) return L"Server 2003 R2";
    return L"Server";
  }
  return L"";
}

std::wstring ServicePackOf(const std::wstring& csd) {
  static const std::wstring marker = L"Service Pack ";
  size_t at = csd.find(marker);
  if (at == std::wstring::npos || at + marker.size() >= csd.size()) return L"";
  return L"SP" + csd.substr(at + marker.size(), 1);
}

std::wstring DotNetOf(const VersionFacts& f) {
  if (f.net20 && f.net30 && f.net35) return L"3.5";
  if (f.net20 && f.net30) return L"3.0";
  if (f.net20) return L"2.0";
  if (f.net11) return L"1.1";
  if (f.net10) return L"1.0";
  return L"";
}

// Casting through void* keeps -Wcast-function-type quiet for GetProcAddress results.
template <typename Fn>
Fn ProcAddress(HMODULE module, const char* name) {
  return module ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)))
                : nullptr;
}

std::vector<unsigned long long> VersionParts(const std::wstring& s) {
  std::vector<unsigned long long> parts;
  size_t i = 0;
  while (i < s.size() && (s[i] == L' ' || s[i] == L'\t')) ++i;
  while (i < s.size() && s[i] >= L'0' && s[i] <= L'9') {
    unsigned long long v = 0;
    for (; i < s.size() && s[i] >= L'0' && s[i] <= L'9'; ++i)
      if (v < 100000000000000ULL) v = v * 10 + unsigned(s[i] - L'0');
    parts.push_back(v);
    if (i >= s.size() || (s[i] != L'.' && s[i] != L',')) break;
    ++i;
    while (i < s.size() && s[i] == L' ') ++i;  // "6, 0, 2900, 2180"
  }
  return parts;
}

std::wstring SystemFolder() {
  std::vector<wchar_t> buf(MAX_PATH);
  UINT n = GetSystemDirectoryW(buf.data(), UINT(buf.size()));
  if (n >= buf.size()) {
    buf.resize(n + 1);
    n = GetSystemDirectoryW(buf.data(), UINT(buf.size()));
  }
  return n && n < buf.size() ? std::wstring(buf.data(), n) : std::wstring();
}

std::wstring FileVersionOf(const std::wstring& file) {
  return GetVersionInfoString(file, L"FileVersion");
}

std::wstring ReadHklmString(const std::wstring& key, const std::wstring& name) {
  RegKey k;
  if (k.OpenRead(HKEY_LOCAL_MACHINE, key) != ERROR_SUCCESS) return L"";
  return k.ReadString(name);
}

class TokenHandle {
 public:
  TokenHandle() = default;
  ~TokenHandle() {
    if (h) CloseHandle(h);
  }
  TokenHandle(const TokenHandle&) = delete;
  TokenHandle& operator=(const TokenHandle&) = delete;
  HANDLE h = nullptr;
};

}  // namespace

std::wstring ProductEdition(DWORD number) {
  static const wchar_t* const names[] = {
      L"",  // 0
      L"Ultimate",
      L"Home Basic",
      L"Home Premium",
      L"Enterprise",
      L"Home Basic N",
      L"Business",
      L"Server Standard",
      L"Server Datacenter",
      L"Small Business Server",
      L"Server Enterprise",  // 10
      L"Starter",
      L"Server Datacenter",
      L"Server Standard",
      L"Server Enterprise",
      L"Server Enterprise for Itanium-based Systems",
      L"Business N",
      L"Web Server",
      L"HPC Edition",
      L"Home Server",
      L"Storage Server Express",  // 20
      L"Storage Server Standard",
      L"Storage Server Workgroup",
      L"Storage Server Enterprise",
      L"Server 2008 for Windows Essential Server Solutions",
      L"Small Business Server Premium",
      L"Home Premium N",
      L"Enterprise N",
      L"Ultimate N",
      L"Web Server",
      L"Essential Business Server Management Server",  // 30
      L"Essential Business Server Security Server",
      L"Essential Business Server Messaging Server",
      L"",
      L"",
      L"Server 2008 without Hyper-V for Windows Essential Server Solutions",
      L"Server Standard without Hyper-V",
      L"Server Datacenter without Hyper-V",
      L"Server Enterprise without Hyper-V",
      L"Server Datacenter without Hyper-V",
      L"Server Standard without Hyper-V",  // 40
      L"Server Enterprise without Hyper-V",
      L"Hyper-V Server",
  };
  return number < sizeof(names) / sizeof(names[0]) ? names[number] : L"";
}

VersionNaming NameVersion(const VersionFacts& f) {
  VersionNaming n;
  if (f.queryOk) {
    n.major = f.major;
    n.minor = f.minor;
    n.build = f.build & 0xFFFF;  // Windows 9x keeps major and minor in the high word
    n.csdVersion = f.csdVersion.substr(0, 128);
  }
  n.osName = OSNameOf(n.major, n.minor);
  if (n.major == 5) {
    if (f.extendedOk) {
      n.productType = f.productType;
      n.edition = Edition2000XP2003(f, n.osName);
    }
  } else if (n.major >= 6 && f.extendedOk) {
    if (n.osName == L"Vista" && f.productType != VER_NT_WORKSTATION) n.osName = L"2008";
    if (f.productInfoOk) n.edition = ProductEdition(f.productNumber);
  }
  if (n.major >= 5) n.servicePack = ServicePackOf(n.csdVersion);
  n.dotNetVersion = DotNetOf(f);
  return n;
}

bool DotNetKeyTest(const std::wstring& key, const std::wstring& value) {
  RegKey k;
  if (k.OpenRead(HKEY_LOCAL_MACHINE, key) != ERROR_SUCCESS || !k.ValueExists(value))
    return false;
  if (value == L"3705") return true;
  DWORD v = 0;
  return k.ReadInteger(value, v) == ERROR_SUCCESS && v == 1;
}

VersionFacts ReadVersionFacts() {
  VersionFacts f;
  OSVERSIONINFOW plain{};
  plain.dwOSVersionInfoSize = sizeof(plain);
  if (GetVersionExW(&plain)) {
    f.queryOk = true;
    f.major = int(plain.dwMajorVersion);
    f.minor = int(plain.dwMinorVersion);
    f.build = int(plain.dwBuildNumber);
    f.csdVersion.assign(plain.szCSDVersion, wcsnlen(plain.szCSDVersion, 128));
  }
  OSVERSIONINFOEXW ex{};
  ex.dwOSVersionInfoSize = sizeof(ex);
  if (GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&ex))) {
    f.extendedOk = true;
    f.productType = ex.wProductType;
    f.suiteMask = ex.wSuiteMask;
    f.servicePackMajor = ex.wServicePackMajor;
    f.servicePackMinor = ex.wServicePackMinor;
  }
  f.smStarter = GetSystemMetrics(SM_STARTER);
  f.smMediaCenter = GetSystemMetrics(SM_MEDIACENTER);
  f.smTabletPc = GetSystemMetrics(SM_TABLETPC);
  f.smServerR2 = GetSystemMetrics(SM_SERVERR2);
  if (f.extendedOk && ex.dwMajorVersion >= 6) {
    // Missing before Vista, so it is looked up rather than imported.
    using GetProductInfoFn = BOOL(WINAPI*)(DWORD, DWORD, DWORD, DWORD, PDWORD);
    sys::ScopedModule kernel(sys::LoadLibraryByPath(sys::SystemDllPath(L"Kernel32.dll")));
    if (auto getProductInfo = ProcAddress<GetProductInfoFn>(kernel.get(), "GetProductInfo")) {
      DWORD number = 0;
      if (getProductInfo(ex.dwMajorVersion, ex.dwMinorVersion, ex.wServicePackMajor,
                         ex.wServicePackMinor, &number) > 0) {
        f.productInfoOk = true;
        f.productNumber = number;
      }
    }
  }
  const std::wstring ndp = L"Software\\Microsoft\\NET Framework Setup\\NDP\\";
  f.net20 = DotNetKeyTest(ndp + L"v2.0.50727", L"Install");
  f.net30 = DotNetKeyTest(ndp + L"v3.0\\Setup", L"InstallSuccess");
  f.net35 = DotNetKeyTest(ndp + L"v3.5", L"Install");
  f.net11 = DotNetKeyTest(ndp + L"v1.1.4322", L"Install");
  f.net10 = DotNetKeyTest(L"Software\\Microsoft\\.NETFramework\\Policy\\v1.0", L"3705");
  return f;
}

int CompareVersionText(const std::wstring& a, const std::wstring& b) {
  const std::vector<unsigned long long> pa = VersionParts(a), pb = VersionParts(b);
  for (size_t i = 0; i < pa.size() || i < pb.size(); ++i) {
    unsigned long long x = i < pa.size() ? pa[i] : 0, y = i < pb.size() ? pb[i] : 0;
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

bool QueryIsWow64(IsWow64ProcessFn fn, HANDLE process) {
  if (!fn) return false;
  BOOL wow64 = FALSE;
  if (!fn(process, &wow64)) throw std::runtime_error("Halvane get Wow64 information error!");
  return wow64 != FALSE;
}

TTarnOSInfo::TTarnOSInfo() {
  ProgramFilesDir =
      ReadHklmString(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", L"ProgramFilesDir");

  const VersionNaming naming = NameVersion(Seams().readVersionFacts());
  OSName = naming.osName;
  Edition = naming.edition;
  ProductType = naming.productType;
  MajorVersion = naming.major;
  MinorVersion = naming.minor;
  BuildNumber = naming.build;
  CSDVersion = naming.csdVersion;
  ServicePack = naming.servicePack;

  ComCtlVersion = FileVersionOf(L"ComCtl32.dll");
  // Without the folder these would be looked up at the root of the current drive.
  auto programFile = [this](const wchar_t* rel) {
    return ProgramFilesDir.empty() ? std::wstring() : ProgramFilesDir + rel;
  };
  IEVersion = Trim(FileVersionOf(programFile(L"\\Internet Explorer\\IExplore.exe")));
  OEVersion = Trim(FileVersionOf(programFile(L"\\Outlook Express\\msimn.exe")));
  const std::wstring wmplayer = programFile(L"\\Windows Media Player\\wmplayer.exe");
  const std::wstring mplayer2 = programFile(L"\\Windows Media Player\\Mplayer2.exe");
  if (FileExists(wmplayer))
    WMPVersion = Trim(FileVersionOf(wmplayer));
  else if (FileExists(mplayer2))
    WMPVersion = Trim(FileVersionOf(mplayer2));
  MSNVersion = Trim(FileVersionOf(programFile(L"\\MSN Messenger\\msnmsgr.exe")));
  DirectXVersion = ReadHklmString(L"Software\\Microsoft\\DirectX", L"Version");

  const std::wstring system = SystemFolder();
  if (!system.empty()) {
    OpenGLVersion = FileVersionOf(system + L"\\OpenGL32.dll");
    ASPIVersion = FileVersionOf(system + L"\\wnaspi32.dll");
  }

  // Absent on Windows 2000, so looked up at run time.
  IsWow64 = QueryIsWow64(ProcAddress<IsWow64ProcessFn>(GetModuleHandleW(L"kernel32"),
                                                       "IsWow64Process"),
                         GetCurrentProcess());

  DotNetVersion = naming.dotNetVersion;

  const std::wstring messengerDir =
      ReadHklmString(L"SOFTWARE\\Microsoft\\MessengerService", L"InstallationDirectory");
  if (!messengerDir.empty())
    MessengerVersion = FileVersionOf(WithBackslash(messengerDir) + L"msmsgs.exe");

  InternetExplorerPath = ProgramFilesDir + L"\\Internet Explorer\\IExplore.exe";
}

// An empty or unreadable version has no parts and so stays below 7.
bool TTarnOSInfo::IsIE7OrLater() const { return CompareVersionText(IEVersion, L"7") >= 0; }

bool IsAdministrator() {
  try {
    TokenHandle token;
    if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token.h)) {
      if (GetLastError() != ERROR_NO_TOKEN) return false;
      if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token.h)) return false;
    }
    // The list is sized by asking; it can grow between the two calls, so ask again then.
    std::vector<ULONGLONG> buffer;
    bool read = false;
    for (int attempt = 0; attempt < 4 && !read; ++attempt) {
      DWORD needed = 0;
      if (GetTokenInformation(token.h, TokenGroups, buffer.data(),
                              DWORD(buffer.size() * sizeof(ULONGLONG)), &needed)) {
        read = true;
      } else {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed == 0) return false;
        buffer.assign((needed + sizeof(ULONGLONG) - 1) / sizeof(ULONGLONG), 0);
      }
    }
    if (!read) return false;
    const TOKEN_GROUPS* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());

    SID_IDENTIFIER_AUTHORITY ntAuthority = {SECURITY_NT_AUTHORITY};
    PSID admins = nullptr;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                  DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &admins))
      return false;
    bool found = false;
    for (DWORD i = 0; i < groups->GroupCount && !found; ++i)
      found = EqualSid(groups->Groups[i].Sid, admins) != FALSE;
    FreeSid(admins);
    return found;
  } catch (const std::bad_alloc&) {
    return false;  // no answer counts as no administrator
  }
}

void EnableShutdownPrivilege() {
  TokenHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token.h))
    return;
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid))
    AdjustTokenPrivileges(token.h, FALSE, &privileges, 0, nullptr, nullptr);
}

BOOL ShutdownComputer(bool restart, int majorVersion) {
  if (majorVersion > 4) EnableShutdownPrivilege();
  const UINT flags = restart ? (EWX_REBOOT | EWX_FORCE) : (EWX_POWEROFF | EWX_FORCE);
  return Seams().exitWindows(flags, 0xFFFF);
}

}  // namespace machine
