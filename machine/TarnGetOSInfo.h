// Facts about the running Windows and a few installed components, gathered once at start-up.
#pragma once
#include <windows.h>

#include <string>

namespace machine {

// What the system answers to the version, metric and .NET queries; naming is derived from
// these alone (NameVersion), so any system can be described by a literal.
struct VersionFacts {
  bool queryOk = false;  // plain GetVersionEx
  int major = 0, minor = 0, build = 0;
  std::wstring csdVersion;
  bool extendedOk = false;  // GetVersionEx with OSVERSIONINFOEX
  BYTE productType = 0;
  WORD suiteMask = 0;
  WORD servicePackMajor = 0, servicePackMinor = 0;
  int smStarter = 0, smMediaCenter = 0, smTabletPc = 0, smServerR2 = 0;
  bool productInfoOk = false;  // GetProductInfo exists and returned a positive value
  DWORD productNumber = 0;
  // The five .NET key tests (DotNetKeyTest).
  bool net20 = false, net30 = false, net35 = false, net11 = false, net10 = false;
};

struct VersionNaming {
  std::wstring osName, edition;
  BYTE productType = 0;
  int major = 0, minor = 0, build = 0;
  std::wstring csdVersion, servicePack, dotNetVersion;
};

VersionNaming NameVersion(const VersionFacts& facts);
// Edition of a GetProductInfo number; empty for numbers outside the known table.
std::wstring ProductEdition(DWORD number);
// Gathers the facts with the real system calls and the registry.
VersionFacts ReadVersionFacts();
// True when HKLM\key opens and `value` exists, and either it is "3705" or its integer is 1.
bool DotNetKeyTest(const std::wstring& key, const std::wstring& value);

// Compares dotted (or comma separated) version texts part by part as numbers; missing parts
// count as 0 and text after the numbers is ignored. <0, 0 or >0.
int CompareVersionText(const std::wstring& a, const std::wstring& b);

using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
// False when the function is absent; throws std::runtime_error when the call fails.
bool QueryIsWow64(IsWow64ProcessFn fn, HANDLE process);

class TTarnOSInfo {
 public:
  // May throw std::runtime_error("Halvane get Wow64 information error!").
  TTarnOSInfo();

  bool IsIE7OrLater() const;

  std::wstring OSName;
  std::wstring Edition;
  BYTE ProductType = 0;
  int MajorVersion = 0;
  int MinorVersion = 0;
  int BuildNumber = 0;
  std::wstring CSDVersion;
  std::wstring ComCtlVersion;
  std::wstring IEVersion;
  std::wstring OEVersion;
  std::wstring WMPVersion;
  std::wstring MSNVersion;
  std::wstring DirectXVersion;
  std::wstring OpenGLVersion;
  std::wstring ASPIVersion;
  std::wstring DotNetVersion;
  std::wstring ProgramFilesDir;
  bool IsWow64 = false;
  std::wstring ServicePack;
  std::wstring MessengerVersion;
};

// Fallback browser of the URL opener; set by the TTarnOSInfo constructor.
extern std::wstring InternetExplorerPath;

// Member of the built-in Administrators group; false on any failure.
bool IsAdministrator();
// Results of the token calls are ignored.
void EnableShutdownPrivilege();
// Forced restart or power-off through Seams().exitWindows; the shutdown privilege is
// enabled first on NT-family systems (major version above 4).
BOOL ShutdownComputer(bool restart, int majorVersion);

}  // namespace machine
