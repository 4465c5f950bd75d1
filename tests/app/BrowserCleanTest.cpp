// A one-key clean of the demo machine's browsers in a real window: every seeded table is
// emptied and stays a sound database, the other tables keep their rows, the cache and
// trace files are gone, in the layouts of old and of current browser versions.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "browsers/LevelDbLog.h"
#include "sys/FileSearch.h"
#include "sys/ProfileIni.h"
#include "sys/SqliteDb.h"
#include "sys/Text.h"
#include "sys/Thread.h"
#include "tests/app/FormFixture.h"
#include "tests/support/BrowserDatabases.h"
#include "tests/support/DemoMachine.h"

namespace {

class BrowserCleanTest : public testsupport::FormTest {
 protected:
  // "一键清理" clicked, and waited for until the scan and the finder are done.
  void RunOneKey() {
    Click(app::idLabel10, L"Label10");
    for (int i = 0; i < 2000 && (form->scanState.finderRunning || form->scanState.scanning); ++i) {
      sys::ProcessMessages();
      Sleep(5);
    }
    sys::ProcessMessages();
  }
};

}  // namespace

TEST_F(BrowserCleanTest, OneKeyCleanEmptiesEverySeededTableAndDeletesTheCaches) {
  machine::Folders& f = machine::AppFolders();
  f.special[CSIDL_APPDATA] = sandbox.dir(L"Profile\\AppData\\Roaming");
  f.special[CSIDL_LOCAL_APPDATA] = sandbox.dir(L"Profile\\AppData\\Local");
  f.special[CSIDL_PROGRAM_FILES] = sandbox.dir(L"Program Files");
  testsupport::ScopedEnvironment home(L"USERPROFILE", f.Profile());
  testsupport::ScopedEnvironment appData(L"APPDATA", f.special[CSIDL_APPDATA]);
  std::vector<testsupport::DemoTrace> traces;
  machine::TTarnOSInfo os;
  testsupport::DemoBrowsers seeded = testsupport::SeedDemoBrowsers(f, os.MajorVersion, traces);
  ASSERT_GE(seeded.emptied.size(), 15u);
  ASSERT_GE(seeded.files.size(), 20u);
  for (const auto& t : seeded.emptied)
    ASSERT_GT(testsupport::TableRowCount(t.database, t.table), 0) << sys::ToUtf8(t.database);

  Tick(L"FireFox 清理");
  Tick(L"Opera 历史记录清理");
  Tick(L"Chrome 清理");
  RunOneKey();
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(L"清理完毕！", Panel(0));

  for (const auto& t : seeded.emptied) {
    SCOPED_TRACE(sys::ToUtf8(t.database + L" " + t.table));
    EXPECT_EQ(0, testsupport::TableRowCount(t.database, t.table));
  }
  for (const auto& t : seeded.kept) {
    SCOPED_TRACE(sys::ToUtf8(t.database + L" " + t.table));
    EXPECT_EQ(2, testsupport::TableRowCount(t.database, t.table));
  }
  for (const auto& t : seeded.emptied)
    EXPECT_EQ("ok", testsupport::IntegrityCheck(t.database)) << sys::ToUtf8(t.database);
  for (const std::wstring& file : seeded.files)
    EXPECT_FALSE(sys::FileExists(file)) << sys::ToUtf8(file);
  // The session list keeps its first window only.
  const std::wstring session = f.special[CSIDL_PROGRAM_FILES] + L"\\Opera\\profile\\sessions\\autosave.win";
  sys::ProfileIni ini(session);
  EXPECT_EQ(1, ini.ReadInteger(L"session", L"window count", 0));
  EXPECT_TRUE(ini.KeyExists(L"1history url", L"0"));
  EXPECT_FALSE(ini.KeyExists(L"2history url", L"0"));
}

namespace {
std::vector<std::string> Texts(const std::wstring& db, const wchar_t* sql) {
  sys::SqliteDb d;
  std::vector<std::string> values;
  if (d.OpenReadOnly(db)) d.QueryTexts(sql, values);
  return values;
}
}  // namespace

// Profiles that real browsers wrote, cleaned with every Firefox and Chrome option: what the
// browsers would show again is gone from the tables and from the bytes of the files, the
// bookmarks stay, and Chromium's own store of downloads no longer holds the download.
TEST_F(BrowserCleanTest, RealProfilesKeepNoHistoryTheBrowsersCouldShowOrRestore) {
  machine::Folders& f = machine::AppFolders();
  f.special[CSIDL_APPDATA] = sandbox.dir(L"Profile\\AppData\\Roaming");
  f.special[CSIDL_LOCAL_APPDATA] = sandbox.dir(L"Profile\\AppData\\Local");
  testsupport::ScopedEnvironment home(L"USERPROFILE", f.Profile());
  testsupport::RealProfileSet p;
  ASSERT_TRUE(testsupport::SeedRealProfiles(
      f.special[CSIDL_LOCAL_APPDATA], f.special[CSIDL_APPDATA],
      f.Profile() + L"\\Application Data\\Mozilla\\Firefox", p));
  const std::wstring places = p.firefox + L"\\places.sqlite";
  const auto bookmarks = Texts(places, L"SELECT count(*) FROM moz_bookmarks");
  const std::vector<std::wstring> chromium = {p.chromeDefault, p.chromeProfile1, p.edgeDefault};
  std::vector<std::string> guids;
  for (const std::wstring& profile : chromium) {
    guids.push_back(Texts(profile + L"\\History", L"SELECT guid FROM downloads").at(0));
    ASSERT_TRUE(testsupport::FileContains(profile + L"\\History", testsupport::kRealVisitedPage));
  }
  ASSERT_TRUE(testsupport::FileContains(p.firefox + L"\\formhistory.sqlite",
                                        testsupport::kRealFormValue));

  Tick(L"FireFox 清理");
  Tick(L"Chrome 清理");
  RunOneKey();
  EXPECT_EQ(L"清理完毕！", Panel(0));

  for (size_t i = 0; i < chromium.size(); ++i) {
    const std::wstring& profile = chromium[i];
    SCOPED_TRACE(sys::ToUtf8(profile));
    for (const wchar_t* table : {L"urls", L"visits", L"segments", L"segment_usage",
                                 L"visited_links", L"content_annotations", L"downloads",
                                 L"downloads_url_chains"})
      EXPECT_EQ(0, testsupport::TableRowCount(profile + L"\\History", table)) << sys::ToUtf8(table);
    EXPECT_EQ(0, testsupport::TableRowCount(profile + L"\\Network\\Cookies", L"cookies"));
    // The download is deleted, after everything else, from the store Chromium restores
    // downloads from at its next start.
    std::vector<browsers::LevelDbOp> ops;
    ASSERT_TRUE(browsers::ReadLevelDbLog(profile + L"\\shared_proto_db\\000003.log", ops));
    EXPECT_EQ("21_download," + guids[i], ops.back().key);
    EXPECT_FALSE(ops.back().put);
  }
  EXPECT_EQ(0, testsupport::TableRowCount(places, L"moz_historyvisits"));
  EXPECT_EQ(0, testsupport::TableRowCount(places, L"moz_annos"));
  EXPECT_EQ(0, testsupport::TableRowCount(p.firefox + L"\\formhistory.sqlite", L"moz_formhistory"));
  EXPECT_EQ(bookmarks, Texts(places, L"SELECT count(*) FROM moz_bookmarks"));
  EXPECT_EQ(std::vector<std::string>{"velmorakw"}, Texts(places, L"SELECT keyword FROM moz_keywords"));
  // The bookmarked places stay, without their visits.
  EXPECT_EQ(std::vector<std::string>{"5"},
            Texts(places, L"SELECT count(*) FROM moz_places WHERE visit_count = 0 AND "
                          L"last_visit_date IS NULL AND foreign_count > 0"));
  EXPECT_EQ(std::vector<std::string>{"5"}, Texts(places, L"SELECT count(*) FROM moz_places"));

  // The address bar, the new-tab page and the icons know no visited page but the bookmarked
  // one, whose icon stays with its pictures; Chromium's own tile stays.
  for (const std::wstring& profile : chromium) {
    SCOPED_TRACE(sys::ToUtf8(profile));
    EXPECT_EQ(0, testsupport::TableRowCount(profile + L"\\Shortcuts", L"omni_box_shortcuts"));
    EXPECT_EQ(0, testsupport::TableRowCount(profile + L"\\Network Action Predictor",
                                            L"network_action_predictor"));
    EXPECT_EQ(std::vector<std::string>{"Web Store"},
              Texts(profile + L"\\Top Sites", L"SELECT title FROM top_sites"));
    EXPECT_EQ(std::vector<std::string>{"2"},
              Texts(profile + L"\\Favicons",
                    L"SELECT count(*) FROM icon_mapping m JOIN favicons f ON f.id = m.icon_id "
                    L"JOIN favicon_bitmaps b ON b.icon_id = f.id WHERE m.page_url LIKE "
                    L"'%/visit/velmora-bookmarked' AND f.url LIKE '%/icons/velmora.png'"));
    EXPECT_EQ(1, testsupport::TableRowCount(profile + L"\\Favicons", L"icon_mapping"));
    EXPECT_EQ(1, testsupport::TableRowCount(profile + L"\\Favicons", L"favicons"));
  }
  // Firefox keeps the icons of its bookmarks (its own four and the one made here) and the
  // site's own icon of the bookmarked site; the icon only a visited page used goes.
  const std::wstring favicons = p.firefox + L"\\favicons.sqlite";
  EXPECT_EQ(5, testsupport::TableRowCount(favicons, L"moz_pages_w_icons"));
  EXPECT_EQ(5, testsupport::TableRowCount(favicons, L"moz_icons_to_pages"));
  EXPECT_EQ(std::vector<std::string>{"0"},
            Texts(favicons, L"SELECT count(*) FROM moz_icons WHERE icon_url LIKE '%/alpha.png'"));
  EXPECT_EQ(std::vector<std::string>{"2"},
            Texts(favicons, L"SELECT count(*) FROM moz_icons WHERE icon_url LIKE "
                            L"'http://127.0.0.1:%/favicon.ico' OR icon_url LIKE '%/velmora.png'"));

  // Sound files, nothing readable left in them or beside them.
  std::vector<std::wstring> databases = {places, favicons, p.firefox + L"\\formhistory.sqlite",
                                         p.firefox + L"\\cookies.sqlite"};
  for (const std::wstring& profile : chromium)
    for (const wchar_t* db :
         {L"History", L"Shortcuts", L"Network Action Predictor", L"Top Sites", L"Favicons"})
      databases.push_back(profile + L"\\" + db);
  for (const std::wstring& db : databases) {
    SCOPED_TRACE(sys::ToUtf8(db));
    EXPECT_EQ("ok", testsupport::IntegrityCheck(db));
    EXPECT_EQ(0, testsupport::ForeignKeyViolations(db));
    for (const wchar_t* journal : {L"", L"-wal", L"-journal"})
      for (const char* trace : {testsupport::kRealVisitedPage, testsupport::kRealTypedPage,
                                testsupport::kRealFormValue})
        EXPECT_FALSE(testsupport::FileContains(db + journal, trace)) << trace;
    EXPECT_FALSE(sys::FileExists(db + L"-shm"));
  }
  for (const std::wstring& db : {places, favicons, chromium[0] + L"\\Favicons"})
    EXPECT_TRUE(testsupport::FileContains(db, testsupport::kRealBookmarkedPage));
}
