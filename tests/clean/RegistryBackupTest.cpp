// The clean keeps what it deletes from the registry in a ".reg" file that "reg import"
// puts back exactly, deletes nothing it could not keep, and leaves what changed since the
// scan.
#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "catalogue/TraceOption.h"
#include "clean/CleanTraces.h"
#include "clean/RegistryBackup.h"
#include "registry_scan/FindInvalidRegistry.h"
#include "sys/FileSearch.h"
#include "sys/Registry.h"
#include "sys/Thread.h"
#include "tests/support/FakeCleanWindow.h"
#include "tests/support/FakeSystem.h"
#include "tests/support/Sandbox.h"
#include "tests/support/ViewFakes.h"

using namespace testsupport;

namespace {

// Every value of a key and of its sub-keys: path -> name -> type and bytes.
using Snapshot = std::map<std::wstring, std::map<std::wstring, std::pair<DWORD, std::string>>>;

void Take(HKEY root, const std::wstring& path, const std::wstring& rel, Snapshot& out) {
  sys::RegKey k;
  if (k.OpenRead(root, path) != ERROR_SUCCESS) return;
  auto& values = out[rel];
  for (const std::wstring& name : k.ValueNames()) {
    DWORD type = 0;
    std::vector<BYTE> data;
    RegQueryValueExW(k.Handle(), name.c_str(), nullptr, &type, nullptr, nullptr);
    k.ReadBinary(name, data);
    values[name] = {type, std::string(data.begin(), data.end())};
  }
  for (const std::wstring& sub : k.SubKeyNames()) Take(root, path + L"\\" + sub, rel + L"\\" + sub, out);
}

Snapshot Take(HKEY root, const std::wstring& path) {
  Snapshot s;
  Take(root, path, L"", s);
  return s;
}

void SetRaw(HKEY root, const std::wstring& key, const std::wstring& name, DWORD type,
            const std::string& bytes) {
  sys::RegKey k;
  ASSERT_EQ(ERROR_SUCCESS, k.Create(root, key));
  ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(k.Handle(), name.c_str(), 0, type,
                                          reinterpret_cast<const BYTE*>(bytes.data()),
                                          DWORD(bytes.size())));
}

std::string Wide(const std::wstring& s, bool terminated = true) {
  std::string b(reinterpret_cast<const char*>(s.data()), s.size() * 2);
  if (terminated) b.append(2, '\0');
  return b;
}

// The user's own key below HKEY_USERS, which the hermetic registry does not redirect, so
// that "reg import" in another process writes where this one reads.
std::wstring UserSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  std::vector<BYTE> buf(512);
  DWORD size = 0;
  std::wstring sid;
  if (GetTokenInformation(token, TokenUser, buf.data(), DWORD(buf.size()), &size)) {
    wchar_t* text = nullptr;
    if (ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buf.data())->User.Sid, &text)) {
      sid = text;
      LocalFree(text);
    }
  }
  CloseHandle(token);
  return sid;
}

DWORD RunImport(const std::wstring& file) {
  std::wstring cmd = L"reg.exe import \"" + file + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                      nullptr, &si, &pi))
    return DWORD(-1);
  WaitForSingleObject(pi.hProcess, 120000);
  DWORD code = DWORD(-1);
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return code;
}

std::vector<std::wstring> BackupFiles(const std::wstring& folder) {
  std::vector<std::wstring> files;
  for (sys::FileSearch f(folder + L"\\*.reg"); f.Found(); f.Next()) files.push_back(folder + L"\\" + f.Name());
  return files;
}

std::wstring FileText(const std::wstring& file) {
  std::string bytes;
  HANDLE h = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) return {};
  char buf[65536];
  DWORD n = 0;
  while (ReadFile(h, buf, sizeof buf, &n, nullptr) && n) bytes.append(buf, n);
  CloseHandle(h);
  return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
}

// A chain of `levels` keys of 70-character names below `key`, each with a value, made
// through relative handles as a program can.
void MakeChain(HKEY root, const std::wstring& key, int levels) {
  HKEY cur = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                           nullptr, &cur, nullptr));
  for (int i = 0; i < levels; ++i) {
    const std::wstring n = std::to_wstring(i);
    HKEY next = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExW(cur, (std::wstring(67 - n.size(), L'k') + L"." + n).c_str(), 0,
                              nullptr, 0, KEY_ALL_ACCESS, nullptr, &next, nullptr));
    RegSetValueExW(next, L"level", 0, REG_SZ, reinterpret_cast<const BYTE*>(n.c_str()),
                   DWORD((n.size() + 1) * 2));
    RegCloseKey(cur);
    cur = next;
  }
  RegCloseKey(cur);
}

int ChainDepth(HKEY root, const std::wstring& key) {
  HKEY cur = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &cur) != ERROR_SUCCESS) return -1;
  int depth = 0;
  for (;;) {
    wchar_t name[256];
    DWORD len = 256;
    HKEY next = nullptr;
    if (RegEnumKeyExW(cur, 0, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
        RegOpenKeyExW(cur, name, 0, KEY_READ, &next) != ERROR_SUCCESS)
      break;
    RegCloseKey(cur);
    cur = next;
    ++depth;
  }
  RegCloseKey(cur);
  return depth;
}

class RegistryBackupTest : public SandboxTest {
 protected:
  void SetUp() override {
    sys::InitMainThread();
    folders = SandboxSystemFolders(sandbox);
    catalogue::BuildOptionTree(options, os, nullptr);
    catalogue::SetAllOptions(options, false);
    executor.reset(new clean::CleanExecutor(state, results, options, folders, os, window,
                                            sandbox / L"Halvane.set"));
  }
  void Item(const std::wstring& root, const std::wstring& key, const std::wstring& value) {
    results.AddKeyedResult(root, key, 4, L"无效的软件", L"", value);
  }

  machine::Folders folders;
  machine::TTarnOSInfo os = FakeSystem(6, 1);
  model::TreeModel options;
  catalogue::ResultModel results;
  catalogue::ScanState state;
  FakeCleanWindow window;
  std::vector<std::wstring>& statuses = window.statuses;
  std::unique_ptr<clean::CleanExecutor> executor;
};

// The advanced clean (false) and the one-key clean (true), after a scan of the registry.
class CleanJudgesAgainTest : public RegistryBackupTest, public ::testing::WithParamInterface<bool> {
 protected:
  void Scan() {
    catalogue::ScanContext ctx{results, folders, os, [] { return false; }, [] {},
                               [](const std::wstring&) {}};
    registry_scan::ScanSharedDlls(ctx);
    registry_scan::ScanSoftwareKeys(ctx);
    registry_scan::ScanUninstallEntries(ctx);
    registry_scan::ScanHelpFiles(ctx);
    registry_scan::ScanFileClasses(ctx);
  }
  bool Said(const std::wstring& text) const {
    return std::find(statuses.begin(), statuses.end(), text) != statuses.end();
  }
  bool ValueExists(const std::wstring& key, const std::wstring& name) const {
    sys::RegKey k;
    return k.OpenRead(HKEY_LOCAL_MACHINE, key) == ERROR_SUCCESS && k.ValueExists(name);
  }
};

}  // namespace

TEST_F(RegistryBackupTest, RegImportPutsDeletedKeysAndValuesBackByteForByte) {
  const std::wstring sid = UserSid();
  ASSERT_FALSE(sid.empty());
  const std::wstring base =
      sid + L"\\Software\\VelmoraTests\\backup-" + std::to_wstring(GetCurrentProcessId());
  const std::wstring tree = base + L"\\Tree", single = base + L"\\Single";
  sys::DeleteKeyTree(HKEY_USERS, base);
  struct Value {
    std::wstring name;
    DWORD type;
    std::string bytes;
  } values[] = {
      {L"", REG_SZ, Wide(L"default")},
      {L"text", REG_SZ, Wide(L"C:\\Program Files\\\"quoted\" 名称")},
      {L"名称 \"x\"", REG_SZ, Wide(L"")},
      // Wine stores a terminating NUL itself, and its "reg import" does not keep an odd
      // byte count of text: those forms are checked as lines below.
      {L"unterminated", REG_SZ, Wide(L"abc", false)},
      {L"two lines", REG_SZ, Wide(L"a\r\nb")},
      {L"expand", REG_EXPAND_SZ, Wide(L"%SystemRoot%\\x.dll")},
      {L"multi", REG_MULTI_SZ, Wide(L"a") + Wide(L"b") + std::string(2, '\0')},
      {L"dword", REG_DWORD, std::string("\x78\x56\x34\x12", 4)},
      {L"short dword", REG_DWORD, std::string("\x01\x02", 2)},
      {L"qword", REG_QWORD, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8)},
      {L"binary", REG_BINARY, std::string("\x00\xff\x10", 3)},
      {L"empty binary", REG_BINARY, std::string()},
      {L"none", REG_NONE, std::string("\x01", 1)},
  };
  for (const Value& v : values) SetRaw(HKEY_USERS, tree, v.name, v.type, v.bytes);
  SetRaw(HKEY_USERS, tree + L"\\Sub\\Deeper", L"v", REG_SZ, Wide(L"deep"));
  ASSERT_EQ(ERROR_SUCCESS, sys::RegKey().Create(HKEY_USERS, tree + L"\\Empty"));
  SetRaw(HKEY_USERS, single, L"gone", REG_BINARY, std::string("\x01\x02", 2));
  SetRaw(HKEY_USERS, single, L"stays", REG_SZ, Wide(L"here"));
  const Snapshot before = Take(HKEY_USERS, base);

  Item(L"HKEY_USERS", tree, L"");
  Item(L"HKEY_USERS", single, L"gone");
  Item(L"HKEY_USERS", base + L"\\Missing", L"");
  executor->Run(false);

  EXPECT_FALSE(sys::RegKeyExists(HKEY_USERS, tree));
  sys::RegKey k;
  ASSERT_EQ(ERROR_SUCCESS, k.OpenRead(HKEY_USERS, single));
  EXPECT_FALSE(k.ValueExists(L"gone"));
  k.Close();
  const std::vector<std::wstring> files = BackupFiles(sandbox / L"Backup");
  ASSERT_EQ(1u, files.size());

  EXPECT_EQ(0u, RunImport(files[0]));

  EXPECT_EQ(before, Take(HKEY_USERS, base));
  sys::DeleteKeyTree(HKEY_USERS, base);
}

// Without its backup nothing is deleted: the item stays listed as failed, and the clean
// goes on with the rest.
TEST_F(RegistryBackupTest, NothingIsDeletedWithoutItsBackup) {
  sandbox.file(L"Backup", "a file where the folder would be");
  SetRegString(HKEY_CURRENT_USER, L"Software\\Gone", L"v", L"1");
  Item(L"HKEY_CURRENT_USER", L"Software\\Gone", L"");
  const std::wstring file = sandbox.file(L"Temp\\junk.tmp");
  results.AddResultNode(&results.Tree(), L"junk.tmp", nullptr, 7, catalogue::ResultKind::File,
                        L"", sandbox / L"Temp");
  executor->Run(false);
  EXPECT_TRUE(sys::RegKeyExists(HKEY_CURRENT_USER, L"Software\\Gone"));
  EXPECT_FALSE(sys::FileExists(file));
  EXPECT_EQ(1, executor->FailedCount());
  EXPECT_EQ(1, results.ItemCount());
  EXPECT_NE(statuses.end(),
            std::find(statuses.begin(), statuses.end(),
                      L"删除失败: HKEY_CURRENT_USER\\Software\\Gone\\:（未能写入注册表备份）"));
}

TEST_F(RegistryBackupTest, ValueLinesInTheRegFileForm) {
  sys::RegKey k;
  ASSERT_EQ(ERROR_SUCCESS, k.Create(HKEY_CURRENT_USER, L"Software\\Lines"));
  const struct {
    std::wstring name;
    DWORD type;
    std::string bytes;
    std::wstring line;
  } cases[] = {
      {L"", REG_SZ, Wide(L"a\\b \"c\""), L"@=\"a\\\\b \\\"c\\\"\"\r\n"},
      {L"d", REG_DWORD, std::string("\x0a\0\0\0", 4), L"\"d\"=dword:0000000a\r\n"},
      {L"b", REG_BINARY, std::string("\x01\xab", 2), L"\"b\"=hex:01,ab\r\n"},
      {L"e", REG_EXPAND_SZ, Wide(L"%x%"), L"\"e\"=hex(2):25,00,78,00,25,00,00,00\r\n"},
      {L"u", REG_SZ, std::string("u\0v", 3), L"\"u\"=hex(1):75,00,76\r\n"},
      {L"m", REG_MULTI_SZ, Wide(L"m") + std::string(2, '\0'), L"\"m\"=hex(7):6d,00,00,00,00,00\r\n"},
  };
  for (const auto& c : cases) {
    SetRaw(HKEY_CURRENT_USER, L"Software\\Lines", c.name, c.type, c.bytes);
    EXPECT_EQ(c.line, clean::RegValueText(k.Handle(), c.name)) << c.name;
  }
  EXPECT_EQ(L"", clean::RegValueText(k.Handle(), L"absent"));
}

// A chain whose deepest path comes close to the 32,766 characters an import can create is
// kept whole and comes back byte for byte; one that passes them (a 500-level chain of
// 70-character names) cannot be restored by any import, so nothing of it is deleted.
TEST_F(RegistryBackupTest, ADeepChainIsKeptWholeOrNotTouched) {
  const std::wstring sid = UserSid();
  ASSERT_FALSE(sid.empty());
  const std::wstring base =
      sid + L"\\Software\\VelmoraTests\\deep-" + std::to_wstring(GetCurrentProcessId());
  const std::wstring fits = base + L"\\Fits", deep = base + L"\\TooDeep";
  sys::DeleteKeyTree(HKEY_USERS, base);
  MakeChain(HKEY_USERS, fits, int((32766 - fits.size()) / 71) - 1);
  MakeChain(HKEY_USERS, deep, 500);
  const Snapshot before = Take(HKEY_USERS, fits);
  ASSERT_GT(before.size(), 400u);
  Item(L"HKEY_USERS", fits, L"");
  Item(L"HKEY_USERS", deep, L"");

  executor->Run(false);

  EXPECT_FALSE(sys::RegKeyExists(HKEY_USERS, fits));
  EXPECT_EQ(500, ChainDepth(HKEY_USERS, deep));
  EXPECT_EQ(1, executor->FailedCount());
  EXPECT_NE(statuses.end(), std::find(statuses.begin(), statuses.end(),
                                      L"删除失败: HKEY_USERS\\" + deep +
                                          L"\\:（无法备份：键路径过长，导入无法还原）"));
  const std::vector<std::wstring> files = BackupFiles(sandbox / L"Backup");
  ASSERT_EQ(1u, files.size());
  EXPECT_EQ(0u, RunImport(files[0]));
  EXPECT_EQ(before, Take(HKEY_USERS, fits));
  sys::DeleteKeyTree(HKEY_USERS, base);
}

// The .reg form has no escape for a line break, and a NUL ends a name: an item holding
// such a name anywhere is not deleted, and never another value under a shortened name.
TEST_F(RegistryBackupTest, NamesTheFileCannotCarryStopTheirItem) {
  const std::wstring key = L"Software\\Names";
  SetRegString(HKEY_CURRENT_USER, key + L"\\ValueName", L"two\r\nlines", L"x");
  SetRegString(HKEY_CURRENT_USER, key + L"\\KeyName\\a\nb", L"v", L"x");
  SetRegString(HKEY_CURRENT_USER, key + L"\\Single", L"line\nbreak", L"x");
  SetRegString(HKEY_CURRENT_USER, key + L"\\Nul", L"x", L"short name");
  // Only the native call makes a name with a NUL in it.
  using SetFn = LONG(WINAPI*)(HANDLE, const void*, ULONG, ULONG, const void*, ULONG);
  auto set = reinterpret_cast<SetFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll"), "NtSetValueKey")));
  ASSERT_TRUE(set);
  const std::wstring nul(L"x\0y", 3);
  struct {
    USHORT length, maximum;
    const wchar_t* buffer;
  } name = {USHORT(nul.size() * 2), USHORT(nul.size() * 2), nul.c_str()};
  sys::RegKey k;
  ASSERT_EQ(ERROR_SUCCESS, k.OpenWrite(HKEY_CURRENT_USER, key + L"\\Nul"));
  ASSERT_EQ(0, set(k.Handle(), &name, 0, REG_SZ, L"n", 4));
  k.Close();
  SetRegString(HKEY_CURRENT_USER, key + L"\\Plain", L"v", L"x");
  Item(L"HKEY_CURRENT_USER", key + L"\\ValueName", L"");
  Item(L"HKEY_CURRENT_USER", key + L"\\KeyName", L"");
  Item(L"HKEY_CURRENT_USER", key + L"\\Single", L"line\nbreak");
  Item(L"HKEY_CURRENT_USER", key + L"\\Nul", L"");
  Item(L"HKEY_CURRENT_USER", key + L"\\Nul", nul);
  Item(L"HKEY_CURRENT_USER", key + L"\\Plain", L"");

  executor->Run(false);

  EXPECT_EQ(5, executor->FailedCount());
  for (const wchar_t* sub : {L"ValueName", L"KeyName\\a\nb", L"Single", L"Nul"})
    EXPECT_TRUE(sys::RegKeyExists(HKEY_CURRENT_USER, key + L"\\" + sub)) << sub;
  ASSERT_EQ(ERROR_SUCCESS, k.OpenRead(HKEY_CURRENT_USER, key + L"\\Nul"));
  EXPECT_EQ(L"short name", k.ReadString(L"x"));
  EXPECT_FALSE(sys::RegKeyExists(HKEY_CURRENT_USER, key + L"\\Plain"));
  EXPECT_EQ(5, std::count_if(statuses.begin(), statuses.end(), [](const std::wstring& t) {
              return t.find(L"（无法备份：名称含换行符或空字符）") != std::wstring::npos;
            }));
  EXPECT_EQ(std::wstring::npos, FileText(BackupFiles(sandbox / L"Backup").at(0)).find(L"Names\\Nul"));
}

// All or nothing: when one key below a finding may not be deleted or read (Wine grants
// every right, so the seam refuses), nothing of the finding is touched or kept.
TEST_F(RegistryBackupTest, AKeyThatCannotGoWholeIsNotTouched) {
  sys::ScopedRegTreeApi calls;
  sys::RegTreeCalls().openSubKey = [](HKEY parent, const std::wstring& name, REGSAM access,
                                      HKEY* key) {
    if (name == L"NoDelete" && (access & DELETE)) return LONG(ERROR_ACCESS_DENIED);
    if (name == L"NoRead") access = KEY_ENUMERATE_SUB_KEYS | DELETE;
    return RegOpenKeyExW(parent, name.c_str(), 0, access, key);
  };
  const struct {
    const wchar_t* refused;
    const wchar_t* why;
  } cases[] = {{L"NoDelete", L"有子键无法读取或删除，未做任何改动"},
               {L"NoRead", L"无法完整备份：有值或子键无法读取"}};
  std::vector<Snapshot> before;
  for (const auto& c : cases) {
    const std::wstring key = std::wstring(L"Software\\Whole") + c.refused;
    SetRegString(HKEY_CURRENT_USER, key, L"top", L"1");
    SetRegString(HKEY_CURRENT_USER, key + L"\\A\\Deep", L"v", L"2");
    SetRegString(HKEY_CURRENT_USER, key + L"\\M\\" + c.refused, L"v", L"3");
    SetRegString(HKEY_CURRENT_USER, key + L"\\Z", L"v", L"4");
    before.push_back(Take(HKEY_CURRENT_USER, key));
    Item(L"HKEY_CURRENT_USER", key, L"");
  }
  executor->Run(false);
  for (size_t i = 0; i < 2; ++i) {
    const std::wstring key = std::wstring(L"Software\\Whole") + cases[i].refused;
    EXPECT_EQ(before[i], Take(HKEY_CURRENT_USER, key)) << key;
    EXPECT_NE(statuses.end(),
              std::find(statuses.begin(), statuses.end(),
                        L"删除失败: HKEY_CURRENT_USER\\" + key + L"\\:（" + cases[i].why + L"）"));
  }
  EXPECT_TRUE(BackupFiles(sandbox / L"Backup").empty());
}

// A key that a 32-bit program reaches through WoW64 redirection is kept under its real
// name, so that a 64-bit regedit puts it back there; a key of the 64-bit view, and one not
// redirected, under their own.
TEST_F(RegistryBackupTest, TheBackupNamesTheKeysRealPlace) {
  RedirectedRegistryView wow64;
  const std::wstring shared = L"Microsoft\\Windows\\CurrentVersion\\SharedDlls";
  SetRegString(HKEY_LOCAL_MACHINE, L"Software\\Wow6432Node\\Gone32", L"v", L"32");
  SetRegString(HKEY_LOCAL_MACHINE, L"Software\\Gone32", L"v", L"64");  // another program's
  SetRegString(HKEY_LOCAL_MACHINE, L"Software\\Wow6432Node\\Classes\\CLSID\\{1}", L"", L"x");
  SetRegString(HKEY_CLASSES_ROOT, L"Wow6432Node\\CLSID\\{2}", L"", L"x");
  CreateRegKey(HKEY_CLASSES_ROOT, L"CLSID");  // the 64-bit view's
  SetRegString(HKEY_LOCAL_MACHINE, L"Software\\Wow6432Node\\" + shared, L"C:\\gone.dll", L"1");
  SetRegString(HKEY_LOCAL_MACHINE, L"Software\\Only64", L"v", L"64");
  SetRegString(HKEY_CURRENT_USER, L"Software\\User", L"v", L"u");
  clean::RegistryBackup backup(sandbox / L"Backup");
  const struct {
    const wchar_t* root;
    std::wstring key, value;
    sys::RegView view;
    std::wstring header;
  } cases[] = {
      {L"HKEY_LOCAL_MACHINE", L"Software\\Gone32", L"", sys::RegView::Default,
       L"HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Gone32"},
      {L"HKEY_LOCAL_MACHINE", L"Software\\Classes\\CLSID\\{1}", L"", sys::RegView::Default,
       L"HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Classes\\CLSID\\{1}"},
      {L"HKEY_CLASSES_ROOT", L"CLSID\\{2}", L"", sys::RegView::Default,
       L"HKEY_CLASSES_ROOT\\Wow6432Node\\CLSID\\{2}"},
      {L"HKEY_LOCAL_MACHINE", L"Software\\" + shared, L"C:\\gone.dll", sys::RegView::Default,
       L"HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\" + shared},
      {L"HKEY_LOCAL_MACHINE", L"Software\\Only64", L"", sys::RegView::Native64,
       L"HKEY_LOCAL_MACHINE\\Software\\Only64"},
      {L"HKEY_CURRENT_USER", L"Software\\User", L"", sys::RegView::Default,
       L"HKEY_CURRENT_USER\\Software\\User"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(L"", clean::DeleteRegistryItem(c.root, c.key, c.value, &backup, c.view)) << c.key;
  backup.Close();
  const std::wstring text = FileText(backup.File());
  for (const auto& c : cases)
    EXPECT_NE(std::wstring::npos, text.find(L"\r\n[" + c.header + L"]\r\n")) << c.header;
  // Where the keys lie in the hermetic registry: the native view sees the plain paths.
  const sys::RegView plain = sys::RegView::Native64;
  EXPECT_FALSE(sys::RegKeyExists(HKEY_LOCAL_MACHINE, L"Software\\Wow6432Node\\Gone32", plain));
  EXPECT_FALSE(sys::RegKeyExists(HKEY_LOCAL_MACHINE, L"Software\\Only64", plain));
  EXPECT_TRUE(sys::RegKeyExists(HKEY_LOCAL_MACHINE, L"Software\\Gone32", plain));
  sys::RegKey k;
  ASSERT_EQ(ERROR_SUCCESS,
            k.OpenRead(HKEY_LOCAL_MACHINE, L"Software\\Wow6432Node\\" + shared, plain));
  EXPECT_FALSE(k.ValueExists(L"C:\\gone.dll"));
}

// What changed between the scan and the clean is left alone: the clean judges every
// registry finding again by the scanner's own rule and compares it with what the scan saw.
TEST_P(CleanJudgesAgainTest, WhatChangedSinceTheScanIsLeftAndTheRestCleaned) {
  const std::wstring cv = L"Software\\Microsoft\\Windows\\CurrentVersion\\";
  const std::wstring gone = sandbox / L"gone", shared = cv + L"SharedDlls";
  const std::wstring help = L"Software\\Microsoft\\Windows\\Help";
  const std::wstring entry = cv + L"Uninstall\\Tool", cls = L"Software\\CLASSES\\solo";
  SetRegDword(HKEY_LOCAL_MACHINE, shared, gone + L"\\counted.dll", 1);
  SetRegDword(HKEY_LOCAL_MACHINE, shared, gone + L"\\still.dll", 1);
  SetRegString(HKEY_LOCAL_MACHINE, entry, L"DisplayName", L"Tool");
  SetRegString(HKEY_LOCAL_MACHINE, entry, L"UninstallString", gone + L"\\uninst.exe");
  SetRegString(HKEY_LOCAL_MACHINE, entry, L"DisplayIcon", gone + L"\\tool.exe,0");
  SetRegString(HKEY_LOCAL_MACHINE, help, L"back.chm", gone);
  CreateRegKey(HKEY_CURRENT_USER, L"Software\\EmptyVendor");
  SetRegString(HKEY_LOCAL_MACHINE, cls + L"\\Shell\\open\\Command", L"",
               L"\"" + gone + L"\\app.exe\" \"%1\"");
  Scan();
  ASSERT_EQ(6, results.ItemCount());

  // After the scan: a count and its file, a re-pointed entry, a help file put back (the
  // registry as it was), settings in the vendor key, 200 sub-keys under the class.
  SetRegDword(HKEY_LOCAL_MACHINE, shared, gone + L"\\counted.dll", 5);
  sandbox.file(L"gone\\counted.dll");
  const std::wstring program = sandbox.file(L"Tool\\tool.exe");
  SetRegString(HKEY_LOCAL_MACHINE, entry, L"UninstallString", program + L" /uninstall");
  SetRegString(HKEY_LOCAL_MACHINE, entry, L"DisplayIcon", program);
  sandbox.file(L"gone\\back.chm");
  SetRegString(HKEY_CURRENT_USER, L"Software\\EmptyVendor", L"Setting", L"1");
  for (int i = 0; i < 200; ++i) CreateRegKey(HKEY_LOCAL_MACHINE, cls + L"\\k" + std::to_wstring(i));

  state.oneKey = GetParam();
  executor->Run(!state.oneKey);

  EXPECT_FALSE(ValueExists(shared, gone + L"\\still.dll"));
  EXPECT_TRUE(ValueExists(shared, gone + L"\\counted.dll"));
  EXPECT_TRUE(ValueExists(help, L"back.chm"));
  EXPECT_TRUE(sys::RegKeyExists(HKEY_LOCAL_MACHINE, entry));
  EXPECT_TRUE(sys::RegKeyExists(HKEY_CURRENT_USER, L"Software\\EmptyVendor"));
  EXPECT_TRUE(sys::RegKeyExists(HKEY_LOCAL_MACHINE, cls + L"\\Shell\\open\\Command"));
  EXPECT_TRUE(Said(L"删除: HKEY_LOCAL_MACHINE\\" + shared + L"\\" + gone + L"\\still.dll:"));
  EXPECT_TRUE(Said(L"已变化，未删除: HKEY_LOCAL_MACHINE\\" + entry + L"\\:Tool"));
  EXPECT_TRUE(Said(L"已变化，未删除: HKEY_CURRENT_USER\\Software\\EmptyVendor\\:"));
  // Not cleaned, not counted, still listed.
  EXPECT_EQ(5, executor->FailedCount());
  EXPECT_EQ(5, results.ItemCount());
}

INSTANTIATE_TEST_SUITE_P(AdvancedAndOneKey, CleanJudgesAgainTest, ::testing::Bool());
