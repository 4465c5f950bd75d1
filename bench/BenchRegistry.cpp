// The invalid-registry scanners on a registry of about 50,000 and of about 500,000 keys
// (a large Windows 10/11 registry holds some 700,000) laid out where they read (file
// classes, CLSIDs, the user's classes, uninstall entries, installer products, software
// keys, App Paths, menu order, context-menu handlers, shared DLLs and help values),
// against a bare RegEnumKeyExW / RegEnumValueW walk of the same keys in the same run.
// Prints the ratio scanners/walk at each size (goal <= 1.5). At the first size it then
// cleans what they found as the one-key clean does (each finding judged again, kept in the
// backup file and deleted) and prints what judging again costs. Works in a private key
// (RegOverridePredefKey), deleted afterwards. An argument runs one size: "50000".
// A benchmark may call what the program itself must not (RegDeleteTreeW is Vista's).
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0601
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/BenchTree.h"
#include "catalogue/ResultModel.h"
#include "catalogue/TraceOption.h"
#include "clean/CleanTraces.h"
#include "registry_scan/FindInvalidRegistry.h"
#include "machine/Folders.h"
#include "machine/TarnGetOSInfo.h"
#include "sys/FileUtils.h"
#include "sys/Registry.h"
#include "sys/Thread.h"

namespace {

using bench::Now;

void Set(HKEY root, const std::wstring& key, const std::wstring& name, const std::wstring& value) {
  HKEY k;
  if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr) !=
      ERROR_SUCCESS)
    return;
  if (!name.empty() || !value.empty())
    RegSetValueExW(k, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   DWORD((value.size() + 1) * 2));
  RegCloseKey(k);
}

std::wstring N(const wchar_t* prefix, int i) { return prefix + std::to_wstring(i); }

// One key in ten points to a program that is gone.
std::wstring Program(const std::wstring& present, int i) {
  return i % 10 == 0 ? L"C:\\VelmoraBenchGone\\app" + std::to_wstring(i) + L".exe" : present;
}

// `scale` 1 makes about 50,000 keys.
void Build(const std::wstring& present, int scale) {
  const std::wstring classes = L"Software\\Classes\\";
  for (int i = 0; i < 5000 * scale; ++i) {
    Set(HKEY_LOCAL_MACHINE, classes + N(L".ext", i), L"", N(L"cls", i % 6000));
    const std::wstring cls = classes + N(L"cls", i);
    Set(HKEY_LOCAL_MACHINE, cls, L"", N(L"Class ", i));
    Set(HKEY_LOCAL_MACHINE, cls + L"\\shell\\open\\command", L"",
        L"\"" + Program(present, i) + L"\" \"%1\"");
  }
  for (int i = 0; i < 2500 * scale; ++i) {
    const std::wstring id = L"{" + std::to_wstring(10000000 + i) + L"-0000-0000-0000-000000000000}";
    if (i % 10) Set(HKEY_LOCAL_MACHINE, classes + L"CLSID\\" + id, L"", L"object");
    Set(HKEY_LOCAL_MACHINE, classes + N(L"Obj.Class", i) + L"\\CLSID", L"", id);
    if (i < 500 * scale)
      Set(HKEY_LOCAL_MACHINE, classes + L"*\\shellex\\ContextMenuHandlers\\" + N(L"h", i), L"", id);
  }
  // Classes a user installed for himself, behind machine extensions and identifiers.
  for (int i = 0; i < 1000 * scale; ++i) {
    Set(HKEY_CURRENT_USER, classes + N(L"usercls", i), L"", N(L"User class ", i));
    Set(HKEY_CURRENT_USER, classes + L"CLSID\\{" + std::to_wstring(20000000 + i) +
                               L"-0000-0000-0000-000000000000}", L"", L"object");
    Set(HKEY_LOCAL_MACHINE, classes + N(L".uext", i), L"", N(L"usercls", i));
    Set(HKEY_LOCAL_MACHINE, classes + N(L"UserObj.Class", i) + L"\\CLSID", L"",
        L"{" + std::to_wstring(20000000 + i) + L"-0000-0000-0000-000000000000}");
  }
  const std::wstring appPaths = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
  for (int i = 0; i < 1000 * scale; ++i)
    Set(HKEY_LOCAL_MACHINE, appPaths + N(L"app", i) + L".exe", L"", Program(present, i));
  const std::wstring uninstall = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
  const std::wstring products = L"SOFTWARE\\Classes\\Installer\\Products\\";
  const std::wstring userData =
      L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\UserData\\S-1-5-18\\Products\\";
  for (int i = 0; i < 3000 * scale; ++i) {
    Set(HKEY_LOCAL_MACHINE, uninstall + N(L"App", i), L"DisplayName", N(L"Application ", i));
    Set(HKEY_LOCAL_MACHINE, uninstall + N(L"App", i), L"UninstallString", L"\"" + Program(present, i) + L"\" /x");
    Set(HKEY_LOCAL_MACHINE, uninstall + N(L"App", i), L"DisplayIcon", Program(present, i + 1) + L",0");
  }
  for (int i = 0; i < 1200 * scale; ++i) {
    Set(HKEY_LOCAL_MACHINE, products + N(L"P", i), L"ProductName", N(L"Product ", i));
    Set(HKEY_LOCAL_MACHINE, userData + N(L"P", i) + L"\\InstallProperties", L"DisplayName", N(L"Product ", i));
    Set(HKEY_LOCAL_MACHINE, userData + N(L"P", i) + L"\\InstallProperties", L"UninstallString",
        L"MsiExec.exe /X{" + std::to_wstring(i) + L"}");
  }
  const std::wstring arp = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache\\";
  for (int i = 0; i < 1500 * scale; ++i) Set(HKEY_LOCAL_MACHINE, arp + N(L"App", i * 2), L"", L"");
  for (int i = 0; i < 5000 * scale; ++i) {
    Set(HKEY_LOCAL_MACHINE, N(L"Software\\Vendor", i), i % 10 ? L"v" : L"", i % 10 ? L"1" : L"");
    Set(HKEY_CURRENT_USER, N(L"Software\\Vendor", i * 3), L"", L"");
  }
  const std::wstring menu =
      L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\Start Menu\\Programs\\";
  for (int i = 0; i < 1000 * scale; ++i) Set(HKEY_CURRENT_USER, menu + N(L"Folder", i), L"Order", L"x");
  const std::wstring shared = L"Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";
  const std::wstring help = L"Software\\Microsoft\\Windows\\Help";
  for (int i = 0; i < 2000 * scale; ++i) {
    HKEY k;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, shared.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                        nullptr) == ERROR_SUCCESS) {
      DWORD count = i % 10 ? 1 : 0;
      const std::wstring name = Program(present, i);
      RegSetValueExW(k, (name + std::to_wstring(i)).c_str(), 0, REG_DWORD,
                     reinterpret_cast<const BYTE*>(&count), 4);
      RegCloseKey(k);
    }
    Set(HKEY_LOCAL_MACHINE, help, N(L"file", i) + L".chm", i % 10 ? L"C:\\windows\\help" : L"D:\\gone");
  }
}

// Every key below `key`, and every value with its data.
void Walk(HKEY key, int& keys, int& values) {
  ++keys;
  wchar_t name[512];
  std::vector<BYTE> data(4096);
  for (DWORD i = 0;; ++i) {
    DWORD len = 512, size = DWORD(data.size()), type = 0;
    LONG rc = RegEnumValueW(key, i, name, &len, nullptr, &type, data.data(), &size);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    ++values;
  }
  for (DWORD i = 0;; ++i) {
    DWORD len = 512;
    if (RegEnumKeyExW(key, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    HKEY sub;
    if (RegOpenKeyExW(key, name, 0, KEY_READ, &sub) == ERROR_SUCCESS) {
      Walk(sub, keys, values);
      RegCloseKey(sub);
    }
  }
}

// The window as the clean sees it, doing nothing.
class QuietWindow final : public clean::CleanWindow {
 public:
  void SetStatus(int, const std::wstring&) override {}
  void ProcessMessages() override { sys::ProcessMessages(); }
  void OneKeyStepReached(catalogue::OneKeyStep) override {}
  int ShowMessage(const std::wstring&, UINT) override { return IDOK; }
  void RepaintResults() override {}
  void EmptyRecycleBin() override {}
  void CleanBusy(bool) override {}
  void SettingsNotWritten(const sys::ProfileWriteError&) override {}
};

void RemoveFolder(const std::wstring& folder) {
  WIN32_FIND_DATAW f;
  HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &f);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      if (!(f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        DeleteFileW((folder + L"\\" + f.cFileName).c_str());
    } while (FindNextFileW(h, &f));
    FindClose(h);
  }
  RemoveDirectoryW(folder.c_str());
}

// The findings' record of what the scan saw, judging them again, and the one-key clean of
// them, which judges them once more, keeps them in its backup file and deletes them.
void CleanFigures(catalogue::ResultModel& results, const machine::Folders& folders,
                  const machine::TTarnOSInfo& os, double bareWalk) {
  const int findings = results.ItemCount();
  double t0 = Now();
  for (const model::TreeNode* n = results.Tree().FirstTopLevel(); n; n = n->NextSibling()) {
    const catalogue::ResultItem* r = n->DataAs<catalogue::ResultItem>();
    sys::RegSummary seen;
    sys::SummarizeRegItem(sys::RootFromName(r->Text), r->Location, r->Detail, r->View, seen);
  }
  std::printf("of the scan, recording what it saw of each finding: %.3f s\n", Now() - t0);
  int still = 0;
  t0 = Now();
  for (const model::TreeNode* n = results.Tree().FirstTopLevel(); n; n = n->NextSibling())
    if (clean::StillAsFound(*n->DataAs<catalogue::ResultItem>(), folders, os)) ++still;
  const double judging = Now() - t0;
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring work =
      std::wstring(temp) + L"VelmoraBenchClean" + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(work.c_str(), nullptr);
  model::TreeModel options;
  catalogue::BuildOptionTree(options, os, nullptr);
  catalogue::SetAllOptions(options, false);
  catalogue::ScanState state;
  state.oneKey = true;
  QuietWindow window;
  clean::CleanExecutor executor(state, results, options, folders, os, window,
                                work + L"\\Halvane.set");
  t0 = Now();
  executor.Run(false);
  const double cleanTime = Now() - t0;
  std::printf("judged again: %d of %d findings still as found in %.3f s (%.0f us a finding)\n",
              still, findings, judging, findings ? judging * 1e6 / findings : 0.0);
  std::printf("clean: %d findings judged again, kept and deleted in %.3f s (%d left); "
              "judging again is %.0f%% of it\n",
              findings, cleanTime, executor.FailedCount(),
              cleanTime > 0 ? judging * 100 / cleanTime : 0.0);
  std::printf("ratio clean/walk: %.2f\n", cleanTime / bareWalk);
  std::fflush(stdout);
  RemoveFolder(work + L"\\Backup");
  DeleteFileW((work + L"\\Halvane.set").c_str());
  RemoveDirectoryW(work.c_str());
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  sys::InitMainThread();
  std::wstring present = sys::ModuleFileName();
  const std::wstring baseName = L"Software\\VelmoraBench\\registry" + std::to_wstring(GetCurrentProcessId());
  HKEY base, hklm, hkcu, hkcr;
  RegCreateKeyExW(HKEY_CURRENT_USER, baseName.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &base, nullptr);
  RegCreateKeyExW(base, L"HKLM", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hklm, nullptr);
  RegCreateKeyExW(base, L"HKCU", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hkcu, nullptr);
  RegCreateKeyExW(base, L"HKCR", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hkcr, nullptr);
  RegOverridePredefKey(HKEY_LOCAL_MACHINE, hklm);
  RegOverridePredefKey(HKEY_CURRENT_USER, hkcu);
  RegOverridePredefKey(HKEY_CLASSES_ROOT, hkcr);

  machine::Folders folders;
  folders.windows = L"C:\\windows";
  folders.system = L"C:\\windows\\system32";
  machine::TTarnOSInfo os;
  int statuses = 0;
  std::vector<int> scales = {1, 10};
  if (argc > 1) scales = {std::max(1, _wtoi(argv[1]) / 50000)};
  for (int scale : scales) {
    // A list of its own for each size: after a clean a list takes no findings.
    catalogue::ResultModel results;
    catalogue::ScanContext ctx{results, folders, os, [] { return false; }, [] {},
                               [&](const std::wstring&) { ++statuses; }};
    RegDeleteTreeW(hklm, nullptr);
    RegDeleteTreeW(hkcu, nullptr);
    double t0 = Now();
    Build(present, scale);
    std::printf("registry built in %.1f s\n", Now() - t0);
    double best = 1e9, bestWalk = 1e9;
    int keys = 0, values = 0;
    for (int round = 0; round < 3; ++round) {
      keys = values = 0;
      t0 = Now();
      Walk(hklm, keys, values);
      Walk(hkcu, keys, values);
      bestWalk = std::min(bestWalk, Now() - t0);

      results.Clear();
      t0 = Now();
      registry_scan::ScanSharedDlls(ctx);
      registry_scan::ScanSoftwareKeys(ctx);
      registry_scan::ScanInstallerFolders(ctx);
      registry_scan::ScanUninstallEntries(ctx);
      registry_scan::ScanHelpFiles(ctx);
      registry_scan::ScanStartMenuOrder(ctx);
      for (const wchar_t* cls : {L"*", L"Directory", L"Folder", L"Drive"})
        registry_scan::ScanContextMenuHandlers(ctx, cls);
      registry_scan::ScanFileClasses(ctx);
      best = std::min(best, Now() - t0);
    }
    std::printf("bare walk: %d keys, %d values in %.3f s (best of 3)\n", keys, values, bestWalk);
    std::printf("seven scanners: %d findings in %.3f s (best of 3)\n", results.ItemCount(), best);
    std::printf("ratio scanners/walk at %d keys: %.2f (goal <= 1.5)\n", keys, best / bestWalk);
    std::fflush(stdout);
    if (scale == scales.front()) CleanFigures(results, folders, os, bestWalk);
  }

  RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
  RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
  RegCloseKey(hklm);
  RegCloseKey(hkcu);
  RegCloseKey(hkcr);
  RegCloseKey(base);
  RegDeleteTreeW(HKEY_CURRENT_USER, baseName.c_str());
  return 0;
}
