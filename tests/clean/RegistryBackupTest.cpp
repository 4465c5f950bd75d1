// The clean keeps what it deletes from the registry in a ".reg" file that "reg import"
// puts back exactly.
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
#include "sys/FileSearch.h"
#include "sys/Registry.h"
#include "sys/Thread.h"
#include "tests/support/FakeCleanWindow.h"
#include "tests/support/FakeSystem.h"
#include "tests/support/Sandbox.h"

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
