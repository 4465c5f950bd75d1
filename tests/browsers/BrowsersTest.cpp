// What the scan and the clean share about the browsers: the profiles of a Chromium "User
// Data" folder, the download store's log, and the table of database sources.
#include <windows.h>
#include <sqlite3.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "browsers/BrowserDatabases.h"
#include "browsers/ChromiumBrowsers.h"
#include "browsers/LevelDbLog.h"
#include "sys/FileSearch.h"
#include "sys/SqliteDb.h"
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

namespace {
// A new database file made by the statements.
bool MakeDb(const std::wstring& path, const std::string& sql) {
  sqlite3* db = nullptr;
  bool ok = sqlite3_open_v2(sys::ToUtf8(path).c_str(), &db,
                            SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) == SQLITE_OK &&
            sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(db);
  return ok;
}

// The texts of a query's first column, joined by blanks.
std::string Column(const std::wstring& db, const std::string& sql) {
  sys::SqliteDb d;
  std::vector<std::string> values;
  if (d.OpenReadOnly(db)) d.QueryTexts(sys::FromUtf8(sql), values);
  std::string all;
  for (const std::string& v : values) all += (all.empty() ? "" : " ") + v;
  return all;
}

// Each item of a database, as the scan counts it; then every one cleaned. "-" for no item.
std::string CountAndClean(browsers::Engine engine, const std::wstring& db,
                          const std::vector<std::wstring>& tables, bool& cleaned) {
  std::string counts;
  cleaned = true;
  const std::wstring file = db.substr(db.find_last_of(L'\\') + 1);
  for (const std::wstring& t : tables) {
    std::wstring name;
    long long n = 0;
    const browsers::TableSource* source = browsers::FindSource(engine, file, t);
    counts += (counts.empty() ? "" : " ") +
              (source && browsers::CountTrace(db, *source, name, n) ? std::to_string(n) : "-");
  }
  for (const std::wstring& t : tables)
    cleaned = browsers::CleanTrace(db, browsers::FindSource(engine, file, t), t, [] { return true; }) &&
              cleaned;
  return counts;
}
}  // namespace

// The icons of the pages a bookmark holds stay, as the browsers' own clear keeps them;
// bookmarks that are there but cannot be read keep everything.
TEST_F(BrowsersTest, IconsStayForWhatTheBookmarksHoldAndAllWhenTheyCannotBeRead) {
  const std::wstring chromium = sandbox.dir(L"Default") + L"\\Favicons";
  const std::wstring bookmarks = L"Default\\Bookmarks";
  const std::string favicons =
      "CREATE TABLE icon_mapping(id INTEGER PRIMARY KEY, page_url LONGVARCHAR NOT NULL, icon_id INTEGER);"
      "CREATE TABLE favicons(id INTEGER PRIMARY KEY, url LONGVARCHAR NOT NULL, icon_type INTEGER);"
      "CREATE TABLE favicon_bitmaps(id INTEGER PRIMARY KEY, icon_id INTEGER NOT NULL, image_data BLOB);"
      "INSERT INTO favicons VALUES (1, 'http://a/gone.ico', 1), (2, 'http://b/kept.ico', 1);"
      "INSERT INTO icon_mapping VALUES (1, 'http://a/', 1), (2, 'http://b/', 2), (3, 'http://c/', NULL),"
      " (4, 'http://d/', 2);"
      "INSERT INTO favicon_bitmaps VALUES (1, 1, x'01'), (2, 2, x'02'), (3, 1, x'03');";
  const std::vector<std::wstring> tables = {L"icon_mapping", L"favicons", L"favicon_bitmaps"};
  const struct {
    const char* bookmarks;  // null: no file
    std::string counts, pages, icons;
    bool cleaned;
  } cases[] = {
      // A page bookmarked without an icon is no icon to keep; a bookmark's fragment is
      // none of its page's address.
      {R"({"roots":{"bookmark_bar":{"children":[{"type":"url","url":"http://b/"},)"
       R"({"type":"url","url":"http://c/#top"}],"type":"folder"}}})",
       "2 1 2", "http://b/ http://c/", "2", true},
      {nullptr, "4 2 3", "", "", true},
      {R"({"roots":{"bookmark_bar":{"children":[)", "- - -", "http://a/ http://b/ http://c/ http://d/",
       "1 2", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bookmarks ? c.bookmarks : "no bookmarks");
    DeleteFileW(chromium.c_str());
    DeleteFileW((sandbox / bookmarks).c_str());
    ASSERT_TRUE(MakeDb(chromium, favicons));
    if (c.bookmarks) sandbox.file(bookmarks, c.bookmarks);
    bool cleaned = false;
    EXPECT_EQ(c.counts, CountAndClean(browsers::Engine::Chromium, chromium, tables, cleaned));
    EXPECT_EQ(c.cleaned, cleaned);
    EXPECT_EQ(c.pages, Column(chromium, "SELECT page_url FROM icon_mapping ORDER BY page_url"));
    EXPECT_EQ(c.icons, Column(chromium, "SELECT id FROM favicons ORDER BY id"));
    EXPECT_EQ(c.icons, Column(chromium, "SELECT DISTINCT icon_id FROM favicon_bitmaps ORDER BY icon_id"));
  }

  // Firefox: a site's own icon stays while a bookmarked place is of its site (also with
  // "www." before it), not of another port.
  const std::wstring ff = sandbox.dir(L"ff");
  const std::wstring firefox = ff + L"\\favicons.sqlite", places = ff + L"\\places.sqlite";
  ASSERT_TRUE(MakeDb(places,
      "CREATE TABLE moz_origins(id INTEGER PRIMARY KEY, prefix TEXT, host TEXT);"
      "CREATE TABLE moz_places(id INTEGER PRIMARY KEY, url TEXT, foreign_count INTEGER, origin_id INTEGER);"
      "INSERT INTO moz_origins VALUES (1, 'http://', 'kept.example'), (2, 'http://', 'gone.example');"
      "INSERT INTO moz_places VALUES (1, 'http://kept.example/b', 1, 1), (2, 'http://gone.example/a', 0, 2);"));
  ASSERT_TRUE(MakeDb(firefox,
      "CREATE TABLE moz_icons(id INTEGER PRIMARY KEY, icon_url TEXT NOT NULL, root INTEGER NOT NULL DEFAULT 0);"
      "CREATE TABLE moz_pages_w_icons(id INTEGER PRIMARY KEY, page_url TEXT NOT NULL);"
      "CREATE TABLE moz_icons_to_pages(page_id INTEGER NOT NULL, icon_id INTEGER NOT NULL,"
      " PRIMARY KEY (page_id, icon_id), FOREIGN KEY (page_id) REFERENCES moz_pages_w_icons ON DELETE CASCADE,"
      " FOREIGN KEY (icon_id) REFERENCES moz_icons ON DELETE CASCADE) WITHOUT ROWID;"
      "INSERT INTO moz_icons VALUES (1, 'http://kept.example/favicon.ico', 1),"
      " (2, 'http://www.kept.example/favicon.ico', 1), (3, 'http://kept.example:8080/favicon.ico', 1),"
      " (4, 'http://gone.example/favicon.ico', 1), (5, 'http://kept.example/b.png', 0),"
      " (6, 'http://gone.example/a.png', 0);"
      "INSERT INTO moz_pages_w_icons VALUES (1, 'http://kept.example/b'), (2, 'http://gone.example/a');"
      "INSERT INTO moz_icons_to_pages VALUES (1, 5), (2, 6), (2, 5);"));
  const std::string before = Column(firefox, "SELECT id FROM moz_icons");
  sandbox.file(L"ff\\broken\\places.sqlite", "not a database, but there");
  const std::wstring broken = sandbox / L"ff\\broken\\favicons.sqlite";
  ASSERT_TRUE(CopyFileW(firefox.c_str(), broken.c_str(), FALSE));
  bool cleaned = false;
  EXPECT_EQ("- -", CountAndClean(browsers::Engine::Firefox, broken,
                                 {L"moz_pages_w_icons", L"moz_icons"}, cleaned));
  EXPECT_FALSE(cleaned);
  EXPECT_EQ(before, Column(broken, "SELECT id FROM moz_icons"));
  EXPECT_EQ("1 3", CountAndClean(browsers::Engine::Firefox, firefox,
                                 {L"moz_pages_w_icons", L"moz_icons"}, cleaned));
  EXPECT_TRUE(cleaned);
  EXPECT_EQ("http://kept.example/b", Column(firefox, "SELECT page_url FROM moz_pages_w_icons"));
  EXPECT_EQ("1 2 5", Column(firefox, "SELECT id FROM moz_icons ORDER BY id"));
  EXPECT_EQ("1|5", Column(firefox, "SELECT page_id || '|' || icon_id FROM moz_icons_to_pages"));
}
