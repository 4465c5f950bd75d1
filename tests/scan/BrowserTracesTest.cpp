// The Firefox, Chrome and Opera scanners on sandbox profiles with real SQLite databases,
// with an in-memory result model.
#include <windows.h>
#include <shlobj.h>
#include <sqlite3.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "scan/BrowserFiles.h"
#include "scan/BrowserTraces.h"
#include "sys/FileSearch.h"
#include "sys/Registry.h"
#include "sys/Text.h"
#include "tests/support/BrowserDatabases.h"
#include "tests/support/FakeSystem.h"
#include "tests/support/ResultLines.h"
#include "tests/support/Sandbox.h"
#include "tests/support/ScanHarness.h"

using catalogue::ResultItem;
using namespace testsupport;

namespace {

const std::wstring kAdvice = L"若未使用浏览器的脱机浏览功能，建议删除";
const wchar_t kFirefoxPart[] = L"\\Application Data\\Mozilla\\Firefox\\Profiles";
const wchar_t kFirefoxCachePart[] =
    L"\\Local Settings\\Application Data\\Mozilla\\Firefox\\Profiles";
const wchar_t kChromePart[] = L"\\Google\\Chrome\\User Data\\Default";
const int kDeepLevels = 200;

class BrowserTracesTest : public SandboxTest, public ScanHarness {
 protected:
  void SetUp() override {
    folders = SandboxSystemFolders(sandbox);
    folders.special[CSIDL_LOCAL_APPDATA] = sandbox.dir(L"Profile\\Local");
    folders.special[CSIDL_PROGRAM_FILES] = sandbox.dir(L"Program Files");
    folders.special[CSIDL_PERSONAL] = sandbox.dir(L"Profile\\Documents");
    profile.Set(sandbox / L"Profile");
    appData.Set(sandbox / L"Profile\\Roaming");
  }
  std::wstring FirefoxProfiles() const { return sandbox / L"Profile" + kFirefoxPart; }
  std::wstring FirefoxCaches() const { return sandbox / L"Profile" + kFirefoxCachePart; }
  std::wstring ChromeProfile() const { return folders.Special(CSIDL_LOCAL_APPDATA) + kChromePart; }
  void UseSystem(int major) { os = FakeSystem(major, 0); }

  void Reset() {
    results.Clear();
    results.ResetSize();
    statuses.clear();
    pumps = 0;
    stop = false;
  }

  ScopedEnvironment profile{L"USERPROFILE"};
  ScopedEnvironment appData{L"APPDATA"};
};

std::vector<std::wstring> Sorted(std::vector<std::wstring> v) {
  std::sort(v.begin(), v.end());
  return v;
}

std::wstring TableItem(const std::wstring& file, const std::wstring& folder,
                       const std::wstring& table, const wchar_t* kind, int image,
                       const std::wstring& note, int rows) {
  return file + L"|" + folder + L"\\|" + table + L"|" + kind + L"|" + std::to_wstring(image) +
         L" / 说明=" + note + L"共有" + std::to_wstring(rows) + L"条记录。@20";
}

std::wstring CacheItem(const std::wstring& file, const std::wstring& folder, int size,
                       const std::wstring& label, int image) {
  std::wstring line = file + L"|" + folder + L"|||" + std::to_wstring(image);
  if (size > 0) line += L" / 大小=" + std::to_wstring(size) + L" Byte@20";
  return line + L" / " + label + L"=" + kAdvice + L"@20";
}

std::wstring Path(const std::wstring& folder, const std::wstring& name) {
  return folder + L"\\" + name;
}

// Holds a file open without sharing, as a running program may.
struct ExclusiveOpen {
  HANDLE h;
  explicit ExclusiveOpen(const std::wstring& path)
      : h(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                      nullptr)) {}
  ~ExclusiveOpen() {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
};

}  // namespace

// --- Firefox ------------------------------------------------------------------------

TEST_F(BrowserTracesTest, FirefoxTablesWithRowsAreItemsWithTheirCount) {
  const struct {
    const char* what;
    std::wstring profile, file;
    int rows;
    Journal journal;
    const char* change;
    bool listed;
  } cases[] = {
      {"twelve visits", L"k3x9.default", L"places.sqlite", 12, Journal::Rollback, "", true},
      {"no visits", L"k3x9.default", L"places.sqlite", 0, Journal::Rollback, "", false},
      {"a schema without the table", L"k3x9.default", L"places.sqlite", 4, Journal::Rollback,
       "DROP TABLE moz_historyvisits;", false},
      {"a Chinese profile folder and capitals", L"默认.用户配置", L"Places.SQLite", 3,
       Journal::Rollback, "", true},
      {"a current database in a folder with signs", L"k3x9.默认-release #1 (50%) &",
       L"places.sqlite", 9, Journal::Wal, "", true},
      {"rows only in the journal", L"k3x9.default-release", L"places.sqlite", 7,
       Journal::WalLeftOver, "", true},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Reset();
    const std::wstring home = sandbox.dir(L"Home" + std::to_wstring(++n));
    profile.Set(home);
    const std::wstring folder = home + kFirefoxPart + L"\\" + c.profile;
    ASSERT_TRUE(
        MakeBrowserDatabase(Path(folder, c.file), BrowserDb::FirefoxPlaces, c.rows, c.journal));
    if (*c.change) {
      ASSERT_TRUE(ExecSql(Path(folder, c.file), c.change));
    }
    scan::ScanFirefox(ctx, true, false, false, false, false);
    std::vector<std::wstring> expected;
    if (c.listed)
      expected.push_back(TableItem(c.file, folder, L"moz_historyvisits", L"FireFox", 34,
                                   L"FireFox 浏览历史", c.rows));
    EXPECT_EQ(expected, Items());
    EXPECT_EQ(0, results.SizeTotal());
    // Reading leaves no journal behind where there was none.
    if (c.journal == Journal::Wal) {
      EXPECT_FALSE(sys::FileExists(Path(folder, c.file + L"-wal")));
      EXPECT_FALSE(sys::FileExists(Path(folder, c.file + L"-shm")));
    }
  }
}

TEST_F(BrowserTracesTest, FirefoxOptionsTakeTheirDatabaseAndTheirOlderFlatFile) {
  const std::wstring folder = FirefoxProfiles() + L"\\old.default";
  ASSERT_TRUE(MakeBrowserDatabase(Path(folder, L"places.sqlite"), BrowserDb::FirefoxPlaces, 2));
  ASSERT_TRUE(MakeBrowserDatabase(Path(folder, L"downloads.sqlite"), BrowserDb::FirefoxDownloads, 3));
  ASSERT_TRUE(
      MakeBrowserDatabase(Path(folder, L"formhistory.sqlite"), BrowserDb::FirefoxFormHistory, 4));
  ASSERT_TRUE(MakeBrowserDatabase(Path(folder, L"cookies.sqlite"), BrowserDb::FirefoxCookies, 5));
  sandbox.file(L"Profile\\Application Data\\Mozilla\\Firefox\\Profiles\\old.default\\history.dat",
               "12345");
  sandbox.file(L"Profile\\Application Data\\Mozilla\\Firefox\\Profiles\\old.default\\"
               L"downloads.rdf",
               "<rdf/>");
  sandbox.file(L"Profile\\Application Data\\Mozilla\\Firefox\\Profiles\\old.default\\Sub\\"
               L"formhistory.dat",
               "ab");
  sandbox.file(L"Profile\\Application Data\\Mozilla\\Firefox\\Profiles\\old.default\\cookies.txt",
               "");
  auto flat = [](const std::wstring& file, const std::wstring& dir, int size,
                 const std::wstring& note) {
    return file + L"|" + dir + L"\\|||34 / 大小=" + std::to_wstring(size) + L" Byte@20 / 说明=" +
           note + L"@20";
  };
  const struct {
    const char* what;
    bool history, downloads, forms, cookies;
    std::vector<std::wstring> items;
  } cases[] = {
      {"history", true, false, false, false,
       {TableItem(L"places.sqlite", folder, L"moz_historyvisits", L"FireFox", 34,
                  L"FireFox 浏览历史", 2),
        flat(L"history.dat", folder, 5, L"FireFox 浏览历史")}},
      {"downloads", false, true, false, false,
       {TableItem(L"downloads.sqlite", folder, L"moz_downloads", L"FireFox", 34,
                  L"FireFox 下载历史", 3),
        flat(L"downloads.rdf", folder, 6, L"FireFox 下载历史")}},
      {"form history, flat file one folder down", false, false, true, false,
       {TableItem(L"formhistory.sqlite", folder, L"moz_formhistory", L"FireFox", 34,
                  L"FireFox 已保存的表单和搜索历史", 4),
        flat(L"formhistory.dat", folder + L"\\Sub", 2, L"FireFox 已保存的表单和搜索历史")}},
      {"cookies, an empty cookies.txt", false, false, false, true,
       {TableItem(L"cookies.sqlite", folder, L"moz_cookies", L"FireFox", 34, L"FireFox Cookies", 5),
        flat(L"cookies.txt", folder, 0, L"FireFox Cookies")}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Reset();
    scan::ScanFirefox(ctx, c.history, c.downloads, c.forms, false, c.cookies);
    EXPECT_EQ(Sorted(c.items), SortedItems());
    EXPECT_EQ(0, results.SizeTotal());
  }
}

TEST_F(BrowserTracesTest, FirefoxCachesOfEveryProfileOldAndCurrent) {
  const std::wstring root = FirefoxCaches();
  const std::wstring old = root + L"\\a1.default", current = root + L"\\b2.default-release";
  sandbox.file(L"Elsewhere\\keep.bin", "keep");
  auto put = [&](const std::wstring& path, const std::string& bytes) {
    sandbox.file(path.substr(sandbox.path().size() + 1), bytes);
  };
  put(old + L"\\Cache\\_CACHE_MAP_", std::string(10, 'm'));
  put(old + L"\\Cache\\0\\1A\\F00d1", "12345");
  put(old + L"\\thumbnails\\t.png", "png");
  put(current + L"\\cache2\\entries\\9F3A", "1234567");
  put(current + L"\\cache2\\index", "");
  put(current + L"\\startupCache\\startupCache.8.little", "sc");
  ASSERT_TRUE(MakeFolderLink(old + L"\\Cache\\linked", sandbox / L"Elsewhere"));

  scan::ScanFirefox(ctx, false, false, false, true, false);
  std::vector<std::wstring> expected = {
      CacheItem(L"_CACHE_MAP_", old + L"\\Cache", 10, L"FireFox 缓存", 34),
      CacheItem(L"F00d1", old + L"\\Cache\\0\\1A", 5, L"FireFox 缓存", 34),
      CacheItem(L"9F3A", current + L"\\cache2\\entries", 7, L"FireFox 缓存", 34),
      CacheItem(L"index", current + L"\\cache2", 0, L"FireFox 缓存", 34),
  };
  EXPECT_EQ(Sorted(expected), SortedItems());
  EXPECT_EQ(22, results.SizeTotal());
}

TEST_F(BrowserTracesTest, UnreadableDatabasesAddNothingAndEndNothingElse) {
  const std::wstring root = FirefoxProfiles();
  const std::wstring locked = root + L"\\1locked", busy = root + L"\\2busy",
                     truncated = root + L"\\3truncated", text = root + L"\\4text",
                     good = root + L"\\5good";
  for (const std::wstring& f : {locked, busy, truncated, good}) {
    ASSERT_TRUE(MakeBrowserDatabase(Path(f, L"places.sqlite"), BrowserDb::FirefoxPlaces, 6));
    ASSERT_TRUE(MakeBrowserDatabase(Path(f, L"cookies.sqlite"), BrowserDb::FirefoxCookies, 2));
  }
  sandbox.file(L"Profile\\Application Data\\Mozilla\\Firefox\\Profiles\\1locked\\history.dat", "h");
  sandbox.file(L"Profile\\Application Data\\Mozilla\\Firefox\\Profiles\\4text\\places.sqlite",
               "This is not a database, only text named like one.\r\n");
  // Cut after the first page: the tables' pages are gone.
  HANDLE h = CreateFileW(Path(truncated, L"places.sqlite").c_str(), GENERIC_WRITE, 0, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  SetFilePointer(h, 4096, nullptr, FILE_BEGIN);
  SetEndOfFile(h);
  CloseHandle(h);
  ExclusiveOpen holder(Path(locked, L"places.sqlite"));
  ASSERT_NE(INVALID_HANDLE_VALUE, holder.h);
  // Another connection in the middle of writing: SQLite's own lock.
  sqlite3* writer = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open(sys::ToUtf8(Path(busy, L"places.sqlite")).c_str(), &writer));
  ASSERT_EQ(SQLITE_OK,
            sqlite3_exec(writer, "BEGIN EXCLUSIVE; DELETE FROM moz_bookmarks;", nullptr, nullptr,
                         nullptr));

  scan::ScanFirefox(ctx, true, false, false, false, true);
  sqlite3_exec(writer, "ROLLBACK;", nullptr, nullptr, nullptr);
  sqlite3_close(writer);

  std::vector<std::wstring> expected = {
      L"history.dat|" + locked + L"\\|||34 / 大小=1 Byte@20 / 说明=FireFox 浏览历史@20",
      TableItem(L"places.sqlite", good, L"moz_historyvisits", L"FireFox", 34, L"FireFox 浏览历史", 6),
  };
  for (const std::wstring& f : {locked, busy, truncated, good})
    expected.push_back(
        TableItem(L"cookies.sqlite", f, L"moz_cookies", L"FireFox", 34, L"FireFox Cookies", 2));
  EXPECT_EQ(Sorted(expected), SortedItems());
}

TEST_F(BrowserTracesTest, WalksNeverEnterLinksButMayStartBehindOne) {
  // As on Vista and later: the profile's "Application Data" is a link to "AppData\Roaming".
  const std::wstring home = sandbox.dir(L"Home");
  const std::wstring roaming = sandbox.dir(L"Home\\AppData\\Roaming");
  ASSERT_TRUE(MakeFolderLink(home + L"\\Application Data", roaming));
  profile.Set(home);
  const std::wstring real = roaming + L"\\Mozilla\\Firefox\\Profiles\\x.default";
  const std::wstring elsewhere = sandbox / L"Elsewhere\\y.default";
  ASSERT_TRUE(MakeBrowserDatabase(Path(real, L"places.sqlite"), BrowserDb::FirefoxPlaces, 2));
  ASSERT_TRUE(MakeBrowserDatabase(Path(elsewhere, L"places.sqlite"), BrowserDb::FirefoxPlaces, 2));
  ASSERT_TRUE(MakeFolderLink(home + kFirefoxPart + L"\\linked.default", elsewhere));
  sandbox.file(L"Elsewhere\\code\\f_000001", "abc");
  CreateFolders(ChromeProfile() + L"\\Code Cache");
  ASSERT_TRUE(MakeFolderLink(ChromeProfile() + L"\\Code Cache\\js", sandbox / L"Elsewhere\\code"));

  scan::ScanFirefox(ctx, true, false, false, false, false);
  scan::ScanChrome(ctx, false, false, true, false, false);
  std::vector<std::wstring> expected = {TableItem(L"places.sqlite", home + kFirefoxPart + L"\\x.default",
                                                  L"moz_historyvisits", L"FireFox", 34,
                                                  L"FireFox 浏览历史", 2)};
  EXPECT_EQ(expected, Items());
}

// Links as Wine has them (Unix symbolic links, shown as reparse points), where caches are.
TEST_F(BrowserTracesTest, CacheFoldersThatAreLinksAreNotWalked) {
  const std::wstring docs = sandbox / L"Profile\\Documents";
  sandbox.file(L"Profile\\Documents\\thesis.doc", "mine");
  sandbox.file(L"Profile\\Documents\\Cache_Data\\index-dir\\notes.txt", "mine");
  const std::wstring chrome = ChromeProfile(), firefox = FirefoxCaches() + L"\\x.default";
  CreateFolders(chrome);
  CreateFolders(firefox);
  ASSERT_TRUE(MakeFolderLink(chrome + L"\\Code Cache", docs));
  ASSERT_TRUE(MakeFolderLink(chrome + L"\\Cache", docs));  // "Cache\Cache_Data" is behind it
  ASSERT_TRUE(MakeFolderLink(firefox + L"\\cache2", docs));
  scan::ScanChrome(ctx, false, false, true, false, false);
  scan::ScanFirefox(ctx, false, false, false, true, false);
  EXPECT_EQ(std::vector<std::wstring>{}, Items());
}

// A tree made through "\\?\" paths is walked to the bottom on a stack that does not grow
// with its depth: a walk recursing per level would reach some hundred bytes further each
// level, and overflow at a few thousand. (Wine takes no path over 4,096 bytes and lists a
// folder ever more slowly the deeper it lies: a few hundred levels keep the test short.)
TEST_F(BrowserTracesTest, ADeepFolderTreeIsWalkedOnAFlatStack) {
  int made = 0;
  const std::wstring deep = MakeNestedFolders(FirefoxProfiles() + L"\\deep.default",
                                              kDeepLevels, L"history.dat", made);
  ASSERT_EQ(kDeepLevels, made);
  StackReach reach;
  onPump = [&reach] { reach.Sample(); };
  scan::ScanFirefox(ctx, true, false, false, false, false);
  ASSERT_EQ(1, results.ItemCount());
  EXPECT_EQ(deep.substr(4) + L"\\",
            std::wstring(results.Tree().FirstTopLevel()->DataAs<ResultItem>()->Location));
  EXPECT_LT(reach.Bytes(), 16u * 1024);
}

TEST_F(BrowserTracesTest, WalkedDirectoriesHaveExactlyTheDirectoryAttributes) {
  const struct {
    DWORD attributes;
    int major;
    bool walked;
  } cases[] = {
      {0x10, 5, true},    {0x10, 6, true},    {0x2010, 5, false}, {0x2010, 6, true},
      {0x410, 6, false},  {0x2410, 6, false}, {0x30, 6, false},   {0x12, 5, false},
      {0x20, 6, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.walked, scan::browser::IsWalkedDirectory(c.attributes, c.major))
        << std::hex << c.attributes << " on " << c.major;
}

TEST_F(BrowserTracesTest, StopEndsTheWalkAfterTheCurrentEntry) {
  for (const wchar_t* p : {L"a.default", L"b.default", L"c.default"})
    ASSERT_TRUE(MakeBrowserDatabase(Path(FirefoxProfiles() + L"\\" + p, L"places.sqlite"),
                                    BrowserDb::FirefoxPlaces, 1));
  ASSERT_TRUE(MakeBrowserDatabase(Path(ChromeProfile(), L"History"), BrowserDb::ChromeHistory, 2));
  sandbox.file(L"Profile\\Local\\Google\\Chrome\\User Data\\Default\\Cache\\data_0", "d");
  const struct {
    const char* what;
    std::function<void()> scan;
  } cases[] = {
      {"Firefox", [&] { scan::ScanFirefox(ctx, true, true, true, true, true); }},
      {"Chrome", [&] { scan::ScanChrome(ctx, true, true, true, true, true); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Reset();
    size_t statusesAtStop = 0;
    onPump = [&] {
      if (!stop && results.ItemCount() == 1) {
        stop = true;
        statusesAtStop = statuses.size();
      }
    };
    c.scan();
    EXPECT_EQ(1, results.ItemCount());
    // Nothing is looked at once the stop is seen after the entry that gave the item.
    EXPECT_TRUE(stop);
    EXPECT_EQ(statusesAtStop, statuses.size());
  }
  onPump = nullptr;
}

TEST_F(BrowserTracesTest, EveryEntryIsShownAndFollowedByAPump) {
  const std::wstring folder = FirefoxProfiles() + L"\\p.default";
  ASSERT_TRUE(MakeBrowserDatabase(Path(folder, L"places.sqlite"), BrowserDb::FirefoxPlaces, 1));
  sandbox.file(L"Profile\\Application Data\\Mozilla\\Firefox\\Profiles\\p.default\\prefs.js", "p");
  sandbox.file(L"Profile\\Application Data\\Mozilla\\Firefox\\Profiles\\p.default\\.parentlock", "");
  scan::ScanFirefox(ctx, true, false, false, false, false);
  std::vector<std::wstring> expected = {L"分析: " + folder, L"分析: " + Path(folder, L"places.sqlite"),
                                        L"分析: " + Path(folder, L"prefs.js")};
  EXPECT_EQ(expected, statuses);
  EXPECT_EQ(3, pumps);
}

// --- Chrome ------------------------------------------------------------------------

TEST_F(BrowserTracesTest, ChromeHistoryGivesOneItemPerTableOfTheSameFile) {
  const std::wstring folder = ChromeProfile();
  ASSERT_TRUE(MakeBrowserDatabase(Path(folder, L"History"), BrowserDb::ChromeHistory, 3));
  sandbox.file(L"Profile\\Local\\Google\\Chrome\\User Data\\Default\\History Index 2009-01", "idx!");
  sandbox.file(L"Profile\\Local\\Google\\Chrome\\User Data\\Default\\History Index 2009-02", "");
  sandbox.file(L"Profile\\Local\\Google\\Chrome\\User Data\\Default\\History Index 2010-02", "");
  sandbox.file(L"Profile\\Local\\Google\\Chrome\\User Data\\Default\\History-journal", "");

  scan::ScanChrome(ctx, true, false, false, false, false);
  std::vector<std::wstring> expected;
  for (const wchar_t* t : {L"segments", L"segment_usages", L"urls", L"visits", L"keyword_search_terms"})
    expected.push_back(
        TableItem(L"History", folder, t, L"Google Chrome", 38, L"Chrome 浏览历史", 3));
  std::vector<std::wstring> got = Items();
  ASSERT_EQ(7u, got.size());
  EXPECT_EQ(expected, std::vector<std::wstring>(got.begin(), got.begin() + 5));
  EXPECT_EQ(Sorted({CacheItem(L"History Index 2009-01", folder, 4, L"Chrome 浏览历史", 38),
                    CacheItem(L"History Index 2009-02", folder, 0, L"Chrome 浏览历史", 38)}),
            Sorted({got[5], got[6]}));
  EXPECT_EQ(4, results.SizeTotal());

  Reset();
  scan::ScanChrome(ctx, false, true, false, false, false);
  EXPECT_EQ(std::vector<std::wstring>{TableItem(L"History", folder, L"downloads", L"Google Chrome",
                                                38, L"Chrome 下载历史", 3)},
            Items());
}

TEST_F(BrowserTracesTest, ChromeFindsTheFilesOfOldAndCurrentVersions) {
  const std::wstring folder = ChromeProfile();
  ASSERT_TRUE(MakeBrowserDatabase(Path(folder, L"Cookies"), BrowserDb::ChromeCookies, 2));
  ASSERT_TRUE(MakeBrowserDatabase(Path(folder, L"Network\\Cookies"), BrowserDb::ChromeCookies, 5,
                                  Journal::Wal));
  ASSERT_TRUE(MakeBrowserDatabase(Path(folder, L"Web Data"), BrowserDb::ChromeWebData, 1));
  ASSERT_TRUE(MakeBrowserDatabase(Path(folder, L"Login Data"), BrowserDb::ChromeLoginData, 4));
  const std::wstring rel = L"Profile\\Local\\Google\\Chrome\\User Data\\Default\\";
  sandbox.file(rel + L"Cache\\data_0", "12345678");
  sandbox.file(rel + L"Cache\\Cache_Data\\f_000001", "abc");
  sandbox.file(rel + L"Code Cache\\js\\3f2a_0", "12345");
  sandbox.file(rel + L"Code Cache\\wasm\\index", "");
  sandbox.file(rel + L"GPUCache\\data_1", "not asked for");
  const struct {
    const char* what;
    bool cache, cookies, logins;
    std::vector<std::wstring> items;
    int size;
  } cases[] = {
      {"cookies",
       false,
       true,
       false,
       {TableItem(L"Cookies", folder, L"cookies", L"Google Chrome", 38, L"Chrome Cookies", 2),
        TableItem(L"Cookies", folder + L"\\Network", L"cookies", L"Google Chrome", 38,
                  L"Chrome Cookies", 5)},
       0},
      {"logins",
       false,
       false,
       true,
       {TableItem(L"Web Data", folder, L"logins", L"Google Chrome", 38,
                  L"Chrome 已保存的用户名和密码", 1),
        TableItem(L"Login Data", folder, L"logins", L"Google Chrome", 38,
                  L"Chrome 已保存的用户名和密码", 4)},
       0},
      {"cache",
       true,
       false,
       false,
       {CacheItem(L"data_0", folder + L"\\Cache", 8, L"Google Chrome 缓存", 38),
        CacheItem(L"f_000001", folder + L"\\Cache\\Cache_Data", 3, L"Google Chrome 缓存", 38),
        CacheItem(L"3f2a_0", folder + L"\\Code Cache\\js", 5, L"Google Chrome 缓存", 38),
        CacheItem(L"index", folder + L"\\Code Cache\\wasm", 0, L"Google Chrome 缓存", 38)},
       16},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Reset();
    scan::ScanChrome(ctx, false, false, c.cache, c.cookies, c.logins);
    EXPECT_EQ(Sorted(c.items), SortedItems());
    EXPECT_EQ(c.size, results.SizeTotal());
  }
  // The scan reads only: no journal or index file is left beside a database.
  for (const wchar_t* f : {L"Cookies-journal", L"Login Data-journal", L"Network\\Cookies-wal",
                           L"Network\\Cookies-shm"})
    EXPECT_FALSE(sys::FileExists(Path(folder, f))) << sys::ToUtf8(f);
}

TEST_F(BrowserTracesTest, ProfileFoldersFollowTheSystemVersion) {
  const std::wstring windows = folders.windows;
  sandbox.file(L"Windows\\Application Data\\Mozilla\\Firefox\\Profiles\\w.default\\cookies.txt", "w");
  sandbox.file(L"Profile\\Application Data\\Mozilla\\Firefox\\Profiles\\u.default\\cookies.txt", "u");
  sandbox.file(L"Windows\\Application Data\\Mozilla\\Firefox\\Profiles\\w.default\\Cache\\wc", "1");
  sandbox.file(L"Profile\\Local Settings\\Application Data\\Mozilla\\Firefox\\Profiles\\u.default\\"
               L"Cache\\uc",
               "1");
  sandbox.file(L"Windows\\Application Data\\Google\\Chrome\\User Data\\Default\\Cache\\wd", "1");
  sandbox.file(L"Profile\\Local\\Google\\Chrome\\User Data\\Default\\Cache\\ud", "1");
  const std::wstring home = sandbox / L"Profile";
  const struct {
    int major;
    const wchar_t* where;
  } cases[] = {{4, L"windows"}, {5, L"profile"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.major);
    Reset();
    UseSystem(c.major);
    scan::ScanFirefox(ctx, false, false, false, true, true);
    scan::ScanChrome(ctx, false, false, true, false, false);
    std::vector<std::wstring> got;
    for (const model::TreeNode* n = results.Tree().FirstTopLevel(); n; n = n->NextSibling()) {
      const ResultItem* r = n->DataAs<ResultItem>();
      got.push_back(r->Text + L"|" +
                    (sys::StartsWith(r->Location, windows + L"\\") ? L"windows"
                     : sys::StartsWith(r->Location, home + L"\\") ? L"profile"
                                                                   : r->Location));
    }
    const std::wstring w = c.where;
    const wchar_t* const names[3] = {L"cookies.txt", c.major <= 4 ? L"wc" : L"uc",
                                     c.major <= 4 ? L"wd" : L"ud"};
    EXPECT_EQ(Sorted({std::wstring(names[0]) + L"|" + w, std::wstring(names[1]) + L"|" + w,
                      std::wstring(names[2]) + L"|" + w}),
              Sorted(got));
  }
}

// --- Profiles written by the real browsers -------------------------------------------

TEST_F(BrowserTracesTest, RealProfilesListEveryTraceOfEveryBrowserAndProfileAndStayAsTheyWere) {
  folders.special[CSIDL_APPDATA] = sandbox.dir(L"Profile\\Roaming");
  const std::wstring firefoxRoot = sandbox / L"Profile\\Application Data\\Mozilla\\Firefox";
  RealProfileSet p;
  ASSERT_TRUE(SeedRealProfiles(folders.Special(CSIDL_LOCAL_APPDATA),
                               folders.Special(CSIDL_APPDATA), firefoxRoot, p));
  // A second Firefox profile that only "profiles.ini" names, with its cache inside it.
  const std::wstring second = sandbox / L"Elsewhere\\第二个";
  ASSERT_TRUE(CopyTree(p.firefox, second));
  HANDLE ini = CreateFileW((firefoxRoot + L"\\profiles.ini").c_str(), FILE_APPEND_DATA, 0, nullptr,
                           OPEN_EXISTING, 0, nullptr);
  const std::string more = "[Profile1]\r\nName=second\r\nIsRelative=0\r\nPath=" +
                           sys::ToUtf8(second) + "\r\n";
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(ini, more.data(), DWORD(more.size()), &written, nullptr));
  CloseHandle(ini);
  // As a Firefox that was closed leaves them: empty write-ahead logs.
  for (const wchar_t* db : {L"places.sqlite", L"cookies.sqlite"})
    sandbox.file((p.firefox + L"\\" + db + L"-wal").substr(sandbox.path().size() + 1), "");
  const std::vector<std::wstring> files = TreeListing(sandbox.path());

  scan::ScanChrome(ctx, true, true, false, true, false);
  scan::ScanOpera(ctx, false, true, true, true);
  scan::ScanFirefox(ctx, true, true, true, false, true);

  std::vector<std::wstring> expected;
  auto chromium = [&](const std::wstring& profile, const wchar_t* kind, int image,
                      const std::wstring& history, const std::wstring& downloads,
                      const std::wstring& cookies) {
    for (const auto& t : std::vector<std::pair<const wchar_t*, int>>{
             {L"segments", 7}, {L"segment_usage", 7}, {L"urls", 8}, {L"visits", 9},
             {L"visited_links", 2}, {L"content_annotations", 9}, {L"context_annotations", 9}})
      expected.push_back(TableItem(L"History", profile, t.first, kind, image, history, t.second));
    // The address bar's shortcut and its predictions for every letter typed, the new-tab
    // tiles but Chromium's own, the icons of every page but the bookmarked one.
    for (const auto& t : std::vector<std::tuple<const wchar_t*, const wchar_t*, int>>{
             {L"Shortcuts", L"omni_box_shortcuts", 1},
             {L"Network Action Predictor", L"network_action_predictor", 153},
             {L"Top Sites", L"top_sites", 5},
             {L"Favicons", L"icon_mapping", 7},
             {L"Favicons", L"favicons", 2},
             {L"Favicons", L"favicon_bitmaps", 4}})
      expected.push_back(TableItem(std::get<0>(t), profile, std::get<1>(t), kind, image, history,
                                   std::get<2>(t)));
    expected.push_back(TableItem(L"History", profile, L"downloads", kind, image, downloads, 1));
    expected.push_back(
        TableItem(L"History", profile, L"downloads_url_chains", kind, image, downloads, 1));
    expected.push_back(
        TableItem(L"Cookies", profile + L"\\Network", L"cookies", kind, image, cookies, 1));
  };
  for (const std::wstring& profile : {p.chromeDefault, p.chromeProfile1, p.edgeDefault})
    chromium(profile, L"Google Chrome", 38, L"Chrome 浏览历史", L"Chrome 下载历史", L"Chrome Cookies");
  chromium(p.opera, L"Google Chrome", 36, L"Opera 访问记录", L"Opera 下载记录", L"Opera Cookies");
  for (const std::wstring& profile : {p.firefox, second}) {
    expected.push_back(TableItem(L"places.sqlite", profile, L"moz_historyvisits", L"FireFox", 34,
                                 L"FireFox 浏览历史", 9));
    // Every place but the bookmarked ones (Firefox's four and the one bookmarked here).
    expected.push_back(TableItem(L"places.sqlite", profile, L"moz_places", L"FireFox", 34,
                                 L"FireFox 浏览历史", 7));
    // The pages' icons but those of the bookmarks, and the one icon only visited pages use.
    expected.push_back(TableItem(L"favicons.sqlite", profile, L"moz_pages_w_icons", L"FireFox",
                                 34, L"FireFox 浏览历史", 5));
    expected.push_back(TableItem(L"favicons.sqlite", profile, L"moz_icons", L"FireFox", 34,
                                 L"FireFox 浏览历史", 1));
    expected.push_back(TableItem(L"places.sqlite", profile, L"moz_annos", L"FireFox", 34,
                                 L"FireFox 下载历史", 1));
    expected.push_back(TableItem(L"formhistory.sqlite", profile, L"moz_formhistory", L"FireFox",
                                 34, L"FireFox 已保存的表单和搜索历史", 1));
    expected.push_back(TableItem(L"cookies.sqlite", profile, L"moz_cookies", L"FireFox", 34,
                                 L"FireFox Cookies", 1));
  }
  EXPECT_EQ(Sorted(expected), SortedItems());
  // The scan wrote nothing: no journal, no index of one.
  EXPECT_EQ(files, TreeListing(sandbox.path()));

  // The cache of the profile elsewhere is in the profile itself.
  Reset();
  scan::ScanFirefox(ctx, false, false, false, true, false);
  EXPECT_EQ(12, results.ItemCount());
  for (const model::TreeNode* n = results.Tree().FirstTopLevel(); n; n = n->NextSibling())
    EXPECT_TRUE(sys::StartsWith(n->DataAs<ResultItem>()->Location, second + L"\\cache2"));
}

// --- Opera ------------------------------------------------------------------------

class OperaTest : public BrowserTracesTest {
 protected:
  void SetUp() override {
    BrowserTracesTest::SetUp();
    install = sandbox.dir(L"Program Files\\Opera");
    operaProfile = sandbox.dir(L"Program Files\\Opera\\profile");
  }
  void Prefs(const wchar_t* key, const std::wstring& value) {
    ASSERT_TRUE(WritePrivateProfileStringW(L"User Prefs", key, value.c_str(),
                                           (operaProfile + L"\\opera6.ini").c_str()));
  }
  std::wstring OperaItem(const std::wstring& file, const std::wstring& folder, int size,
                         const std::wstring& label, const std::wstring& text) {
    return file + L"|" + folder + L"|||36 / 大小=" + std::to_wstring(size) + L" Byte@20 / " + label +
           L"=" + text + L"@20";
  }
  std::wstring install, operaProfile;
};

// A folder "opera6.ini" names is walked only where Opera's own folders are or where it
// holds Opera's index; never among the user's files.
TEST_F(OperaTest, CacheFolderIsTheFirstThatAppliesAndNeverAnUnsafeOne) {
  folders.special[CSIDL_MYPICTURES] = sandbox.dir(L"Shared\\Pictures");
  const std::wstring local = sandbox.dir(L"OperaLocal"), data = sandbox.dir(L"OperaData");
  const std::wstring docs = sandbox / L"Profile\\Documents\\Opera Cache";
  const std::wstring shared = sandbox / L"Shared", other = sandbox / L"Elsewhere\\cache";
  const std::wstring unmarked = sandbox / L"Unmarked";
  for (const std::wstring& base : {local + L"\\cache4", data + L"\\cache4",
                                   operaProfile + L"\\cache4", docs, shared, other,
                                   unmarked + L"\\cache4"})
    sandbox.file(base.substr(sandbox.path().size() + 1) + L"\\opr0001.tmp", "ab");
  // Opera's own index, but not in the profile's cache (which needs none) nor elsewhere.
  for (const std::wstring& base : {local + L"\\cache4", data + L"\\cache4", docs, shared})
    sandbox.file(base.substr(sandbox.path().size() + 1) + L"\\dcache4.url", "u");
  const struct {
    const char* what;
    std::wstring cacheDir, localDir, operaDir;
    std::wstring walked;  // empty: nothing
  } cases[] = {
      {"Cache Directory4 that does not exist", sandbox / L"Nowhere", local, data, L""},
      {"Cache Directory4 with a trailing backslash", data + L"\\cache4\\", local, L"", data + L"\\cache4"},
      {"Opera Local Directory", L"", local, data, local + L"\\cache4"},
      {"Opera Directory", L"", sandbox / L"Nowhere", data, data + L"\\cache4"},
      {"an Opera Local Directory that is not Opera's", L"", unmarked, data, data + L"\\cache4"},
      {"the profile, without an index", L"", L"", L"", operaProfile + L"\\cache4"},
      {"the user profile itself", sandbox / L"Profile", L"", L"", L""},
      {"a drive root", L"C:\\", L"", L"", L""},
      {"inside the documents, even with an index", docs, L"", L"", L""},
      {"a folder holding the pictures, with an index", shared, L"", L"", L""},
      {"elsewhere without an index", other, L"", L"", L""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Reset();
    Prefs(L"Cache Directory4", c.cacheDir);
    Prefs(L"Opera Local Directory", c.localDir);
    Prefs(L"Opera Directory", c.operaDir);
    scan::ScanOpera(ctx, true, false, false, false);
    std::vector<std::wstring> expected;
    if (!c.walked.empty()) {
      expected.push_back(OperaItem(L"opr0001.tmp", c.walked, 2, L"Opera 缓存", kAdvice));
      if (c.walked != operaProfile + L"\\cache4")
        expected.push_back(OperaItem(L"dcache4.url", c.walked, 1, L"Opera 缓存", kAdvice));
    }
    EXPECT_EQ(Sorted(expected), SortedItems());
    EXPECT_EQ(0, results.SizeTotal());
  }
}

// "Opera Directory" is searched for Opera's files only when it is a folder of Opera's.
TEST_F(OperaTest, OperaDirectoryIsSearchedOnlyWhenItIsOpera) {
  sandbox.file(L"Program Files\\Opera\\profile\\cookies4.dat", "in the profile");
  sandbox.file(L"Profile\\Documents\\cookies4.dat", "c");
  sandbox.file(L"Elsewhere\\Opera\\cookies4.dat", "c");
  sandbox.file(L"Elsewhere\\Plain\\sub\\cookies4.dat", "c");
  const struct {
    const char* what;
    std::wstring operaDir, found;  // empty: nothing at all, not even in the profile
  } cases[] = {
      {"a folder with Opera's files", sandbox / L"Elsewhere\\Opera", sandbox / L"Elsewhere\\Opera"},
      {"the documents", sandbox / L"Profile\\Documents", L""},
      {"a folder without them", sandbox / L"Elsewhere\\Plain", L""},
      {"the profile's parent", sandbox / L"Program Files\\Opera", operaProfile},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Reset();
    Prefs(L"Opera Directory", c.operaDir);
    scan::ScanOpera(ctx, false, false, false, true);
    std::vector<std::wstring> locations;
    for (const model::TreeNode* n = results.Tree().FirstTopLevel(); n; n = n->NextSibling())
      locations.push_back(n->DataAs<ResultItem>()->Location);
    EXPECT_EQ(c.found.empty() ? std::vector<std::wstring>{} : std::vector<std::wstring>{c.found},
              locations);
  }
}

TEST_F(OperaTest, TraceFilesByNameBelowTheProfileWhenNoOperaDirectoryIsSet) {
  const std::wstring rel = L"Program Files\\Opera\\profile\\";
  sandbox.file(rel + L"GLOBAL.DAT", "g");
  sandbox.file(rel + L"vlink4.dat", "vv");
  sandbox.file(rel + L"typed_history.xml", "<t/>");
  sandbox.file(rel + L"opera.dir", "");
  sandbox.file(rel + L"download.dat", "dl");
  sandbox.file(rel + L"cookies4.dat", "c4");
  sandbox.file(rel + L"mail\\account1\\cookies4.dat", "c");
  sandbox.file(rel + L"notes.adr", "n");
  Prefs(L"Opera Directory", L"");
  const std::wstring p = operaProfile;
  const std::wstring visited = L"Opera已访问过的链接";
  const struct {
    const char* what;
    bool visits, downloads, cookies;
    std::vector<std::wstring> items;
  } cases[] = {
      {"visits",
       true,
       false,
       false,
       {OperaItem(L"GLOBAL.DAT", p, 1, L"Opera 历史记录", L"Opera 工具菜单的历史查看内容"),
        OperaItem(L"vlink4.dat", p, 2, L"Opera 历史记录", visited),
        OperaItem(L"typed_history.xml", p, 4, L"Opera 历史记录", visited),
        OperaItem(L"opera.dir", p, 0, L"Opera 历史记录", L"Opera地址栏输入过的网址")}},
      {"downloads", false, true, false, {OperaItem(L"download.dat", p, 2, L"Opera 下载记录", L"Opera 下载记录")}},
      {"cookies, recursively",
       false,
       false,
       true,
       {OperaItem(L"cookies4.dat", p, 2, L"Opera Cookies", L"Opera Cookies"),
        OperaItem(L"cookies4.dat", p + L"\\mail\\account1", 1, L"Opera Cookies", L"Opera Cookies")}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Reset();
    scan::ScanOpera(ctx, false, c.visits, c.downloads, c.cookies);
    EXPECT_EQ(Sorted(c.items), SortedItems());
  }
  // Only the cache and history walks tell what they read.
  Reset();
  scan::ScanOpera(ctx, false, false, true, true);
  EXPECT_TRUE(statuses.empty());
}

TEST_F(OperaTest, SessionListIsAnItemWhenItKeepsMoreThanOneWindow) {
  const std::wstring data = sandbox.dir(L"OperaData");
  Prefs(L"Opera Directory", data);
  const std::wstring session = data + L"\\sessions\\autosave.win";
  const struct {
    const char* what;
    const char* text;
    bool listed;
  } cases[] = {
      {"one window", "[session]\r\nwindow count=1\r\n[1]\r\nx=1\r\n[1history url]\r\n0=a\r\n", false},
      {"one window and a second one's titles",
       "[session]\r\nwindow count=1\r\n[1]\r\nx=1\r\n[2history title]\r\n0=b\r\n", true},
      {"three windows", "[session]\r\nwindow count=3\r\n", true},
      {"one window and a later one's page", "[session]\r\nwindow count=1\r\n[1]\r\n[12]\r\nx=1\r\n", true},
      {"no count", "[1]\r\nx=1\r\n", false},
      {"a count that is no number", "[session]\r\nwindow count=many\r\n", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Reset();
    sandbox.file(L"OperaData\\sessions\\autosave.win", c.text);
    scan::ScanOpera(ctx, false, true, false, false);
    std::vector<std::wstring> expected;
    if (c.listed)
      expected.push_back(L"autosave.win|" + session +
                         L"|OperaINI|other|36 / 说明=Opera 最后打开的网页地址@36");
    EXPECT_EQ(expected, Items());
  }
}

TEST_F(OperaTest, InstallationFolderFromTheStandardPlaceOrTheRegistry) {
  const std::wstring standard = install + L"\\";
  const std::wstring other = sandbox.dir(L"Apps\\Opera 9") + L"\\";
  sandbox.file(L"Apps\\Opera 9\\opera.exe", "MZ");
  const std::wstring key = L"Software\\Opera Software";
  const struct {
    const char* what;
    bool standardExe;
    std::vector<std::pair<std::wstring, std::wstring>> values;
    std::wstring folder;
  } cases[] = {
      {"no opera.exe in the standard place", false, {{L"Last Directory3", other}}, standard},
      {"Last CommandLine names a program", true,
       {{L"Last CommandLine", other + L"opera.exe"}, {L"Last Directory3", other}}, standard},
      {"Last CommandLine v2 with arguments", true,
       {{L"Last CommandLine v2", L"\"" + other + L"Opera.EXE\" -newwindow"}}, other},
      {"Last Directory3 without backslash", true,
       {{L"Last CommandLine", L"C:\\gone.exe"}, {L"Last Directory3", other.substr(0, other.size() - 1)}},
       other},
      {"nothing usable in the registry", true, {{L"Last Directory3", sandbox / L"Nowhere"}}, standard},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    sys::DeleteKeyTree(HKEY_CURRENT_USER, key);
    for (const auto& v : c.values) SetRegString(HKEY_CURRENT_USER, key, v.first, v.second);
    if (c.standardExe) sandbox.file(L"Program Files\\Opera\\opera.exe", "MZ");
    else DeleteFileW((install + L"\\opera.exe").c_str());
    EXPECT_EQ(c.folder, scan::OperaInstallationFolder(folders));
  }
}

TEST_F(OperaTest, ProfileInTheInstallationOrBelowAppData) {
  const std::wstring roaming = sandbox / L"Profile\\Roaming\\Opera\\Opera\\profile";
  sandbox.file(L"Program Files\\Opera\\profile\\download.dat", "i");
  sandbox.file(L"Profile\\Roaming\\Opera\\Opera\\profile\\download.dat", "a");
  sandbox.file(L"Profile\\Roaming\\Opera\\Opera\\profile\\opera6.ini", "[User Prefs]\r\n");
  sandbox.file(L"Windows\\Application Data\\Opera\\Opera\\profile\\download.dat", "w");
  const struct {
    const char* what;
    int major;
    bool installIni;
    std::wstring found;
  } cases[] = {
      {"in the installation", 6, true, operaProfile},
      {"below APPDATA", 5, false, roaming},
      {"below the Windows folder on old systems", 4, false,
       folders.windows + L"\\Application Data\\Opera\\Opera\\profile"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Reset();
    UseSystem(c.major);
    if (c.installIni) sandbox.file(L"Program Files\\Opera\\profile\\opera6.ini", "[User Prefs]\r\n");
    else DeleteFileW((operaProfile + L"\\opera6.ini").c_str());
    scan::ScanOpera(ctx, false, false, true, false);
    ASSERT_EQ(1, results.ItemCount());
    EXPECT_EQ(c.found, results.Tree().FirstTopLevel()->DataAs<ResultItem>()->Location);
  }
  // Neither profile there: nothing.
  Reset();
  UseSystem(6);
  appData.Set(sandbox / L"Nowhere");
  scan::ScanOpera(ctx, false, false, true, false);
  EXPECT_EQ(0, results.ItemCount());
}
