// What the scan and the clean share about the browsers: the profiles of a Chromium "User
// Data" folder, the download store's log, and the table of database sources.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "browsers/BrowserDatabases.h"
#include "browsers/ChromiumBrowsers.h"
#include "browsers/LevelDbLog.h"
#include "sys/FileSearch.h"
#include "sys/Text.h"
#include "tests/support/BrowserDatabases.h"
#include "tests/support/Sandbox.h"

using namespace testsupport;

namespace {

class BrowsersTest : public SandboxTest {};

std::string Slurp(const std::wstring& path) {
  std::string bytes;
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  char buffer[4096];
  DWORD read = 0;
  while (h != INVALID_HANDLE_VALUE && ReadFile(h, buffer, sizeof buffer, &read, nullptr) && read)
    bytes.append(buffer, read);
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  return bytes;
}

}  // namespace

TEST_F(BrowsersTest, LocalStateGivesTheNamesOfItsProfileList) {
  const struct {
    const char* json;
    std::vector<std::wstring> names;
  } cases[] = {
      {R"({"browser":{"x":[1,{"info_cache":{"No":{}}}]},"profile":{"info_cache":{)"
       R"("Default":{"name":"A, \"quoted\" {"},"Profile 2":{"avatar":[1,2]}},"last_used":"Default"}})",
       {L"Default", L"Profile 2"}},
      {R"({"profile":{"info_cache":{"Profile \u0033":{}, "\u4e2a\u4eba":{}}}})",
       {L"Profile 3", L"个人"}},
      {R"({"other":{"profile":{"info_cache":{"Deep":{}}}}})", {}},
      {R"({"profile":{"info_cache":{"Broken)", {}},
      {"not json at all }]", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(c.names, browsers::LocalStateProfiles(c.json)) << c.json;
}

TEST_F(BrowsersTest, ProfileFoldersArePlainFoldersListedOrFound) {
  const std::wstring userData = sandbox.dir(L"User Data");
  sandbox.file(L"User Data\\Local State",
               R"({"profile":{"info_cache":{"Work":{},"..\\..\\Documents":{},"Gone":{},)"
               R"("Profile 2":{}}}})");
  for (const wchar_t* d : {L"Work", L"Default", L"Profile 1", L"Profile 10", L"Profile x",
                           L"System Profile", L"Documents"})
    sandbox.dir(std::wstring(L"User Data\\") + d);
  sandbox.dir(L"Elsewhere");
  ASSERT_TRUE(MakeFolderLink(userData + L"\\Profile 2", sandbox / L"Elsewhere"));
  std::vector<std::wstring> got = browsers::ProfileFolders(userData);
  for (std::wstring& g : got) g = g.substr(userData.size() + 1);
  std::sort(got.begin() + 2, got.end());
  EXPECT_EQ((std::vector<std::wstring>{L"Work", L"Default", L"Profile 1", L"Profile 10"}), got);
}

TEST_F(BrowsersTest, RunningNoticeIsChromesOwnTextWithEachName) {
  const auto& all = browsers::ChromiumBrowsers();
  auto find = [&](const wchar_t* name) {
    for (const auto& b : all)
      if (std::wstring(b.name) == name) return browsers::RunningNotice(b);
    return std::wstring();
  };
  EXPECT_EQ(L"Chrome浏览器正在运行中，无法进行相关的清理，请关闭Chrome后点击“确定”。", find(L"Chrome"));
  EXPECT_EQ(L"QQ浏览器正在运行中，无法进行相关的清理，请关闭QQ浏览器后点击“确定”。",
            find(L"QQ浏览器"));
}

TEST_F(BrowsersTest, DeletionsAreReadBackFromTheLogAfterEverythingItHeld) {
  const std::wstring store = sandbox / L"shared_proto_db";
  ASSERT_TRUE(CopyTree(RealProfiles() + L"\\chromium\\User Data\\Default\\shared_proto_db", store));
  const std::wstring log = store + L"\\000003.log";
  std::vector<browsers::LevelDbOp> before;
  ASSERT_TRUE(browsers::ReadLevelDbLog(log, before));
  std::uint64_t last = 0;
  for (const auto& op : before) last = std::max(last, op.sequence);
  // Enough keys to run over the log's block edges.
  std::vector<std::string> keys = {"21_download,a"};
  for (int i = 0; i < 4000; ++i) keys.push_back("21_download,filler-" + std::to_string(i));
  ASSERT_TRUE(browsers::AppendLevelDbDeletions(store, keys));
  ASSERT_TRUE(browsers::AppendLevelDbDeletions(store, {"21_download,b"}));
  std::vector<browsers::LevelDbOp> after;
  ASSERT_TRUE(browsers::ReadLevelDbLog(log, after));
  ASSERT_EQ(before.size() + keys.size() + 1, after.size());
  EXPECT_EQ(last + 1, after[before.size()].sequence);
  EXPECT_EQ("21_download,a", after[before.size()].key);
  EXPECT_FALSE(after[before.size()].put);
  EXPECT_EQ(last + keys.size() + 1, after.back().sequence);
  EXPECT_EQ("21_download,b", after.back().key);
}

TEST_F(BrowsersTest, ALogThatIsHeldOrUnsoundIsLeftAlone) {
  const std::wstring real = RealProfiles() + L"\\chromium\\User Data\\Default\\shared_proto_db";
  const std::wstring held = sandbox / L"held", broken = sandbox / L"broken";
  ASSERT_TRUE(CopyTree(real, held));
  ASSERT_TRUE(CopyTree(real, broken));
  // The browser has the database open.
  HANDLE lock = CreateFileW((held + L"\\LOCK").c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, lock);
  // A byte of a record changed: its checksum no longer holds.
  std::string bytes = Slurp(broken + L"\\000003.log");
  bytes[bytes.size() / 2] ^= 0x40;
  sandbox.file(L"broken\\000003.log", bytes);
  for (const std::wstring& store : {held, broken}) {
    const std::string log = Slurp(store + L"\\000003.log");
    EXPECT_FALSE(browsers::AppendLevelDbDeletions(store, {"21_download,x"})) << sys::ToUtf8(store);
    EXPECT_EQ(log, Slurp(store + L"\\000003.log"));
  }
  CloseHandle(lock);
  EXPECT_TRUE(browsers::AppendLevelDbDeletions(sandbox / L"none", {"21_download,x"}));
}

TEST_F(BrowsersTest, EachItemNamesOneSource) {
  std::set<std::wstring> seen;
  for (const browsers::TableSource& s : browsers::AllSources()) {
    std::wstring key = std::to_wstring(int(s.engine)) + L"|" + sys::LowerCase(s.database) + L"|" +
                       sys::LowerCase(s.table);
    EXPECT_TRUE(seen.insert(key).second) << sys::ToUtf8(key);
    EXPECT_EQ(&s, browsers::FindSource(s.engine, sys::LowerCase(s.database), s.table));
  }
}
