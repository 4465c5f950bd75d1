#include "browsers/BrowserDatabases.h"

#include <algorithm>
#include <set>

#include "browsers/LevelDbLog.h"
#include "sys/FileSearch.h"
#include "sys/Handles.h"
#include "sys/SqliteDb.h"
#include "sys/Text.h"

namespace browsers {

namespace {

const Engine kFirefox = Engine::Firefox;
const Engine kChromium = Engine::Chromium;

// Takes the places a bookmark, tag or keyword holds out of a temporary table of places:
// Firefox's own "clear history" keeps exactly those (tags are bookmarks too).
std::vector<Statement> KeepHeld(const char* temp) {
  const std::string t = std::string("temp.") + temp;
  std::vector<Statement> s = {
      {"moz_bookmarks", "DELETE FROM " + t + " WHERE id IN (SELECT fk FROM moz_bookmarks)"},
      {"moz_keywords.place_id", "DELETE FROM " + t + " WHERE id IN (SELECT place_id FROM moz_keywords)"},
      {"moz_places.foreign_count",
       "DELETE FROM " + t + " WHERE id IN (SELECT rowid FROM moz_places WHERE foreign_count > 0)"},
  };
  return s;
}

// Removes the places of a temporary table with every row that refers to them, and the
// origins no place uses any more, as Firefox does when it removes a page.
std::vector<Statement> RemovePlaces(const char* temp) {
  const std::string in = std::string(" IN (SELECT id FROM temp.") + temp + ")";
  return {
      {"moz_historyvisits", "DELETE FROM moz_historyvisits WHERE place_id" + in},
      {"moz_historyvisits_extra moz_historyvisits",
       "DELETE FROM moz_historyvisits_extra WHERE visit_id NOT IN (SELECT id FROM moz_historyvisits)"},
      {"moz_annos", "DELETE FROM moz_annos WHERE place_id" + in},
      {"moz_inputhistory", "DELETE FROM moz_inputhistory WHERE place_id" + in},
      {"moz_places_metadata",
       "DELETE FROM moz_places_metadata WHERE place_id" + in + " OR referrer_place_id" + in},
      {"moz_places_metadata_search_queries moz_places_metadata",
       "DELETE FROM moz_places_metadata_search_queries WHERE id NOT IN "
       "(SELECT search_query_id FROM moz_places_metadata WHERE search_query_id NOT NULL)"},
      {"moz_newtab_shortcuts_interaction",
       "DELETE FROM moz_newtab_shortcuts_interaction WHERE place_id" + in},
      {"moz_places_extra", "DELETE FROM moz_places_extra WHERE place_id" + in},
      {"moz_places", "DELETE FROM moz_places WHERE rowid" + in},
      {"moz_origins moz_places.origin_id",
       "DELETE FROM moz_origins WHERE id NOT IN (SELECT origin_id FROM moz_places WHERE origin_id NOT NULL)"},
      {"", std::string("DROP TABLE temp.") + temp},
  };
}

std::vector<Statement> Join(std::initializer_list<std::vector<Statement>> parts) {
  std::vector<Statement> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

const char kDownloadAnnos[] =
    "SELECT id FROM moz_anno_attributes WHERE name LIKE 'downloads/%'";

// Pages and icons of the stores of icons that the bookmarks hold (see Keep).
const std::string kKeptUrls = "(SELECT url FROM temp.velmora_kept)";
const std::string kChromiumKeptIcons =
    "(SELECT icon_id FROM icon_mapping WHERE icon_id NOT NULL AND page_url IN " + kKeptUrls + ")";
// Firefox's clear removes the icons no remaining page uses, and a site's own icon
// ("root", found by its site, not through a page) when no remaining place is of its site
// or of the site without "www.".
const std::string kFirefoxGoneIcons =
    "id NOT IN (SELECT icon_id FROM moz_icons_to_pages WHERE page_id IN (SELECT id FROM "
    "moz_pages_w_icons WHERE page_url IN " + kKeptUrls + ")) AND (root = 0 OR NOT EXISTS "
    "(SELECT 1 FROM temp.velmora_kept_hosts h WHERE "
    "substr(icon_url, instr(icon_url, '://') + 3, length(h.host) + 1) = h.host || '/' OR "
    "substr(icon_url, instr(icon_url, '://') + 3, length(h.host) + 5) = 'www.' || h.host || '/'))";
// The tiles Chromium puts on its new-tab page itself when history has too few pages.
const char kChromiumOwnTiles[] =
    "url NOT LIKE 'https://chrome.google.com/webstore?hl=%' AND "
    "url NOT LIKE 'https://chromewebstore.google.com/?hl=%'";

std::vector<Statement> CountWhere(const std::string& needs, const std::string& table,
                                  const std::string& where) {
  return {{needs, "SELECT count(*) FROM " + table + " WHERE " + where}};
}

std::vector<TableSource> MakeSources() {
  std::vector<TableSource> s;
  auto add = [&](Engine e, Trace t, const wchar_t* db, const wchar_t* table,
                 std::vector<Statement> count = {}, std::vector<Statement> clean = {},
                 bool store = false, Keep keep = Keep::Nothing) {
    s.push_back({e, t, db, table, std::move(count), std::move(clean), store, keep});
  };
  // Firefox: the visits, then the places no bookmark holds. A bookmarked place stays with
  // its visit data reset; its bookmarks, tags and keywords are never touched.
  add(kFirefox, Trace::History, L"places.sqlite", L"moz_historyvisits", {},
      {{"", "DELETE FROM moz_historyvisits"},
       {"moz_historyvisits_extra", "DELETE FROM moz_historyvisits_extra"},
       {"moz_places_metadata", "DELETE FROM moz_places_metadata"},
       {"moz_places_metadata_search_queries", "DELETE FROM moz_places_metadata_search_queries"},
       {"moz_places.visit_count moz_places.last_visit_date",
        "UPDATE moz_places SET visit_count = 0, last_visit_date = NULL "
            "WHERE visit_count <> 0 OR last_visit_date NOT NULL"},
       {"moz_places.typed", "UPDATE moz_places SET typed = 0 WHERE typed <> 0"},
       // Firefox computes these again, now without the visits.
       {"moz_places.recalc_frecency", "UPDATE moz_places SET recalc_frecency = 1"},
       {"moz_places.recalc_alt_frecency", "UPDATE moz_places SET recalc_alt_frecency = 1"},
       {"moz_origins.recalc_frecency", "UPDATE moz_origins SET recalc_frecency = 1"},
       {"moz_origins.recalc_alt_frecency", "UPDATE moz_origins SET recalc_alt_frecency = 1"}});
  add(kFirefox, Trace::History, L"places.sqlite", L"moz_places",
      {{"moz_bookmarks moz_keywords.place_id moz_places.foreign_count",
        "SELECT count(*) FROM moz_places WHERE foreign_count = 0 AND rowid NOT IN "
        "(SELECT fk FROM moz_bookmarks WHERE fk NOT NULL) AND rowid NOT IN "
        "(SELECT place_id FROM moz_keywords WHERE place_id NOT NULL)"},
       {"moz_bookmarks",
        "SELECT count(*) FROM moz_places WHERE rowid NOT IN (SELECT fk FROM moz_bookmarks WHERE fk NOT NULL)"},
       {"", "SELECT count(*) FROM moz_places"}},
      Join({{{"", "CREATE TEMP TABLE IF NOT EXISTS velmora_places (id INTEGER PRIMARY KEY)"},
             {"", "DELETE FROM temp.velmora_places"},
             {"", "INSERT INTO temp.velmora_places SELECT rowid FROM moz_places"}},
            KeepHeld("velmora_places"), RemovePlaces("velmora_places")}));
  // The older history file, and Firefox 3 to 25's own download database.
  add(kFirefox, Trace::Downloads, L"downloads.sqlite", L"moz_downloads");
  // Since Firefox 26 a download is a visit of its own kind (7) with annotations of its
  // place; Firefox's "clear downloads" removes those visits, and the places nothing else
  // holds go with them.
  add(kFirefox, Trace::Downloads, L"places.sqlite", L"moz_annos",
      {{"moz_anno_attributes moz_places moz_historyvisits",
        std::string("SELECT count(*) FROM moz_places WHERE rowid IN (SELECT place_id FROM "
                    "moz_historyvisits WHERE visit_type = 7) OR rowid IN (SELECT place_id FROM "
                    "moz_annos WHERE anno_attribute_id IN (") + kDownloadAnnos + "))"}},
      Join({{{"", "CREATE TEMP TABLE IF NOT EXISTS velmora_downloads (id INTEGER PRIMARY KEY)"},
             {"", "DELETE FROM temp.velmora_downloads"},
             {"moz_historyvisits", "INSERT OR IGNORE INTO temp.velmora_downloads "
                                   "SELECT place_id FROM moz_historyvisits WHERE visit_type = 7"},
             {"moz_anno_attributes",
              std::string("INSERT OR IGNORE INTO temp.velmora_downloads SELECT place_id FROM "
                          "moz_annos WHERE anno_attribute_id IN (") + kDownloadAnnos + ")"},
             {"moz_anno_attributes",
              std::string("DELETE FROM moz_annos WHERE anno_attribute_id IN (") + kDownloadAnnos + ")"},
             {"moz_historyvisits", "DELETE FROM moz_historyvisits WHERE visit_type = 7"},
             {"moz_places moz_historyvisits", "UPDATE moz_places SET last_visit_date = (SELECT max(visit_date) FROM "
                  "moz_historyvisits WHERE place_id = moz_places.rowid) "
                  "WHERE rowid IN (SELECT id FROM temp.velmora_downloads)"},
             {"moz_places.recalc_frecency", "UPDATE moz_places SET recalc_frecency = 1 "
                                            "WHERE rowid IN (SELECT id FROM temp.velmora_downloads)"},
             // Places that still have visits of other kinds stay.
             {"moz_historyvisits", "DELETE FROM temp.velmora_downloads WHERE id IN "
                                   "(SELECT place_id FROM moz_historyvisits)"}},
            KeepHeld("velmora_downloads"), RemovePlaces("velmora_downloads")}));
  // The icons of the pages, which Firefox's clear removes with the places: a page's
  // address, and an icon only the removed pages used.
  {
    const std::string pages = "moz_pages_w_icons WHERE page_url NOT IN " + kKeptUrls;
    add(kFirefox, Trace::History, L"favicons.sqlite", L"moz_pages_w_icons",
        CountWhere("moz_pages_w_icons.page_url", "moz_pages_w_icons",
                   "page_url NOT IN " + kKeptUrls),
        {{"moz_icons_to_pages moz_pages_w_icons.page_url",
          "DELETE FROM moz_icons_to_pages WHERE page_id IN (SELECT id FROM " + pages + ")"},
         {"moz_pages_w_icons.page_url", "DELETE FROM " + pages}},
        false, Keep::FirefoxBookmarks);
    const std::string needs = "moz_icons.root moz_icons.icon_url moz_icons_to_pages moz_pages_w_icons";
    add(kFirefox, Trace::History, L"favicons.sqlite", L"moz_icons",
        CountWhere(needs, "moz_icons", kFirefoxGoneIcons),
        {{needs, "DELETE FROM moz_icons_to_pages WHERE icon_id IN (SELECT id FROM moz_icons WHERE " +
                     kFirefoxGoneIcons + ")"},
         {needs, "DELETE FROM moz_icons WHERE " + kFirefoxGoneIcons}},
        false, Keep::FirefoxBookmarks);
  }
  add(kFirefox, Trace::FormHistory, L"formhistory.sqlite", L"moz_formhistory", {},
      {{"", "DELETE FROM moz_formhistory"},
       {"moz_history_to_sources",
        "DELETE FROM moz_history_to_sources WHERE history_id NOT IN (SELECT id FROM moz_formhistory)"},
       {"moz_sources moz_history_to_sources",
        "DELETE FROM moz_sources WHERE id NOT IN (SELECT source_id FROM moz_history_to_sources)"}});
  add(kFirefox, Trace::Cookies, L"cookies.sqlite", L"moz_cookies");

  // Chromium's "History": every table that records where the user went, in the order the
  // scan lists them ("segment_usages" is the name in some writings, "segment_usage" the
  // browser's own), then the downloads.
  for (const wchar_t* table :
       {L"segments", L"segment_usage", L"segment_usages", L"urls", L"visits",
        L"keyword_search_terms", L"visit_source", L"visited_links", L"content_annotations",
        L"context_annotations", L"clusters", L"clusters_and_visits", L"cluster_keywords",
        L"cluster_visit_duplicates", L"journeys", L"journey_history_entries",
        L"journey_continuation_queries", L"history_sync_metadata"})
    add(kChromium, Trace::History, L"History", table);
  // What Chromium's "clear history" empties beside "History": the address bar's shortcuts
  // (typed text and the page taken for it) and predictions, what the loading predictor
  // learnt of each site (with the tables of older versions), the new-tab page's tiles but
  // those Chromium puts there itself, and the icons of every page no bookmark holds.
  add(kChromium, Trace::History, L"Shortcuts", L"omni_box_shortcuts");
  for (const wchar_t* table :
       {L"network_action_predictor", L"resource_prefetch_predictor_host_redirect",
        L"resource_prefetch_predictor_origin", L"lcp_critical_path_predictor",
        L"lcp_critical_path_predictor_initiator_origin", L"resource_prefetch_predictor_url",
        L"resource_prefetch_predictor_host", L"resource_prefetch_predictor_url_redirect",
        L"resource_prefetch_predictor_manifest"})
    add(kChromium, Trace::History, L"Network Action Predictor", table);
  add(kChromium, Trace::History, L"Top Sites", L"top_sites",
      CountWhere("top_sites.url", "top_sites", kChromiumOwnTiles),
      {{"top_sites.url", std::string("DELETE FROM top_sites WHERE ") + kChromiumOwnTiles}});
  add(kChromium, Trace::History, L"Top Sites", L"thumbnails");
  {
    const std::string mappings = "page_url NOT IN " + kKeptUrls;
    const std::string icons = "id NOT IN " + kChromiumKeptIcons;
    const std::string bitmaps = "icon_id NOT IN " + kChromiumKeptIcons;
    add(kChromium, Trace::History, L"Favicons", L"icon_mapping",
        CountWhere("icon_mapping.page_url", "icon_mapping", mappings),
        {{"icon_mapping.page_url", "DELETE FROM icon_mapping WHERE " + mappings}}, false,
        Keep::ChromiumBookmarks);
    // An icon goes with the pages' mappings to it and its pictures.
    const std::string needs = "icon_mapping.page_url icon_mapping.icon_id";
    add(kChromium, Trace::History, L"Favicons", L"favicons", CountWhere(needs, "favicons", icons),
        {{needs, "DELETE FROM icon_mapping WHERE icon_id NOT IN " + kChromiumKeptIcons},
         {needs + " favicon_bitmaps.icon_id", "DELETE FROM favicon_bitmaps WHERE " + bitmaps},
         {needs, "DELETE FROM favicons WHERE " + icons}},
        false, Keep::ChromiumBookmarks);
    add(kChromium, Trace::History, L"Favicons", L"favicon_bitmaps",
        CountWhere(needs + " favicon_bitmaps.icon_id", "favicon_bitmaps", bitmaps),
        {{needs + " favicon_bitmaps.icon_id", "DELETE FROM favicon_bitmaps WHERE " + bitmaps}},
        false, Keep::ChromiumBookmarks);
  }
  add(kChromium, Trace::Downloads, L"History", L"downloads", {}, {}, true);
  add(kChromium, Trace::Downloads, L"History", L"downloads_url_chains");
  add(kChromium, Trace::Downloads, L"History", L"downloads_slices");
  // Saved logins: in "Web Data" in early versions, "Login Data" since 2011, and the
  // account's own store beside it today.
  for (const wchar_t* db : {L"Web Data", L"Login Data", L"Login Data For Account"})
    add(kChromium, Trace::Logins, db, L"logins");
  add(kChromium, Trace::Cookies, L"Cookies", L"cookies");
  return s;
}

bool SameText(const std::wstring& a, const std::wstring& b) {
  return sys::LowerCase(a) == sys::LowerCase(b);
}

// What a connection's database has: its tables and, asked once each, their columns.
class Schema {
 public:
  explicit Schema(sys::SqliteDb& db) : db_(db) { ok_ = db.ListTables(tables_); }
  bool ok() const { return ok_; }
  // The table as the database spells it; empty when it is not there.
  std::wstring Table(const std::wstring& name) const {
    for (const std::wstring& t : tables_)
      if (SameText(t, name)) return t;
    return L"";
  }
  // Every "table" or "table.column" of a space-separated list is there.
  bool Has(const std::string& needs) {
    size_t at = 0;
    while (at < needs.size()) {
      size_t end = needs.find(' ', at);
      if (end == std::string::npos) end = needs.size();
      const std::wstring need = sys::FromUtf8(needs.substr(at, end - at));
      at = end + 1;
      if (need.empty()) continue;
      const size_t dot = need.find(L'.');
      const std::wstring table = Table(need.substr(0, dot));
      if (table.empty()) return false;
      if (dot != std::wstring::npos && !db_.HasColumn(table, need.substr(dot + 1))) return false;
    }
    return true;
  }

 private:
  sys::SqliteDb& db_;
  std::vector<std::wstring> tables_;
  bool ok_ = false;
};

std::wstring FolderOf(const std::wstring& path) {
  size_t cut = path.find_last_of(L'\\');
  return cut == std::wstring::npos ? L"." : path.substr(0, cut);
}

// A file of the browser's own, whole: empty when there is none; false when it is there but
// cannot be read, or is far larger than the browser writes it.
bool ReadBrowserFile(const std::wstring& path, std::string& data) {
  data.clear();
  sys::ScopedFile h(CreateFileW(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }
  LARGE_INTEGER size;
  if (!GetFileSizeEx(h.get(), &size) || size.QuadPart > (64 << 20)) return false;
  data.assign(size_t(size.QuadPart), '\0');
  DWORD read = 0;
  return data.empty() ||
         (ReadFile(h.get(), &data[0], DWORD(data.size()), &read, nullptr) && read == data.size());
}

// The addresses (for Chromium the bookmark files themselves, which SQLite's JSON functions
// read) and sites the bookmarks hold beside the database at `path`. False when they are
// there but cannot be read.
bool ReadKept(const std::wstring& path, Keep keep, std::vector<std::string>& urls,
              std::vector<std::string>& hosts) {
  const std::wstring folder = FolderOf(path);
  if (keep == Keep::ChromiumBookmarks) {
    // Every address in the bookmark files (also of folders' extras: keeping one more icon
    // is harmless).
    for (const wchar_t* name : {L"Bookmarks", L"AccountBookmarks"}) {
      std::string json;
      if (!ReadBrowserFile(folder + L"\\" + name, json)) return false;
      if (!json.empty()) urls.push_back(json);
    }
    return true;
  }
  // The places a bookmark, tag or keyword holds are those Firefox's clear keeps.
  const std::wstring places = folder + L"\\places.sqlite";
  if (keep != Keep::FirefoxBookmarks || !sys::FileExists(places)) return true;
  sys::SqliteDb p;
  return p.OpenReadOnly(places) &&
         p.QueryTexts(L"SELECT url FROM moz_places WHERE foreign_count > 0", urls) &&
         p.QueryTexts(L"SELECT host FROM moz_origins WHERE id IN "
                      L"(SELECT origin_id FROM moz_places WHERE foreign_count > 0)",
                      hosts);
}

// Fills temp.velmora_kept and temp.velmora_kept_hosts with what the bookmarks hold beside
// the database at `path`, each address also without its fragment. False when that cannot
// be read: then nothing may go.
bool LoadKept(sys::SqliteDb& db, const std::wstring& path, Keep keep) {
  std::vector<std::string> urls, hosts;
  return ReadKept(path, keep, urls, hosts) &&
         db.Exec(L"CREATE TEMP TABLE IF NOT EXISTS velmora_kept (url TEXT PRIMARY KEY);"
                 L"CREATE TEMP TABLE IF NOT EXISTS velmora_kept_hosts (host TEXT PRIMARY KEY);"
                 L"DELETE FROM temp.velmora_kept; DELETE FROM temp.velmora_kept_hosts") &&
         db.ExecEach(keep == Keep::ChromiumBookmarks
                         ? L"INSERT OR IGNORE INTO temp.velmora_kept SELECT value FROM "
                           L"json_tree(?1) WHERE key = 'url' AND type = 'text'"
                         : L"INSERT OR IGNORE INTO temp.velmora_kept VALUES (?1)",
                     urls) &&
         db.ExecEach(L"INSERT OR IGNORE INTO temp.velmora_kept_hosts VALUES (?1)", hosts) &&
         db.Exec(L"INSERT OR IGNORE INTO temp.velmora_kept SELECT substr(url, 1, "
                 L"instr(url, '#') - 1) FROM temp.velmora_kept WHERE instr(url, '#') > 1");
}

}  // namespace

const std::vector<TableSource>& AllSources() {
  static const std::vector<TableSource> sources = MakeSources();
  return sources;
}

std::vector<std::wstring> DatabasesOf(Engine engine, Trace trace) {
  std::vector<std::wstring> names;
  for (const TableSource& s : AllSources())
    if (s.engine == engine && s.trace == trace &&
        std::none_of(names.begin(), names.end(),
                     [&](const std::wstring& n) { return SameText(n, s.database); }))
      names.push_back(s.database);
  return names;
}

std::vector<const TableSource*> SourcesOf(Engine engine, Trace trace, const std::wstring& database) {
  std::vector<const TableSource*> found;
  for (const TableSource& s : AllSources())
    if (s.engine == engine && s.trace == trace && SameText(s.database, database)) found.push_back(&s);
  return found;
}

const TableSource* FindSource(Engine engine, const std::wstring& database, const std::wstring& table) {
  for (const TableSource& s : AllSources())
    if (s.engine == engine && SameText(s.database, database) && SameText(s.table, table)) return &s;
  return nullptr;
}

bool CountTrace(const std::wstring& path, const TableSource& source, std::wstring& table,
                long long& count) {
  sys::SqliteDb db;
  if (!db.OpenReadOnly(path)) return false;
  Schema schema(db);
  if (!schema.ok()) return false;
  table = schema.Table(source.table);
  if (table.empty()) return false;
  if (source.keep != Keep::Nothing &&
      (!db.Exec(L"PRAGMA temp_store = MEMORY") || !LoadKept(db, path, source.keep)))
    return false;
  std::wstring sql = L"SELECT count(*) FROM " + sys::SqliteDb::QuoteName(table);
  for (const Statement& s : source.count) {
    if (!schema.Has(s.needs)) continue;
    sql = sys::FromUtf8(s.sql);
    break;
  }
  return db.QueryNumber(sql, count) && count >= 0;
}

std::vector<std::string> DownloadStoreKeys(const std::vector<std::string>& guids) {
  // leveldb_proto's shared database keeps each client's keys behind the client's number
  // (21 is the download database) and the download database behind its namespace.
  std::vector<std::string> keys;
  for (const std::string& g : guids) keys.push_back("21_download," + g);
  return keys;
}

bool CleanTrace(const std::wstring& path, const TableSource* source, const std::wstring& table,
                const std::function<bool()>& keepGoing) {
  sys::SqliteDb db;
  if (!db.Open(path)) return false;
  Schema schema(db);
  if (!schema.ok()) return false;
  const std::wstring name = schema.Table(table);
  if (name.empty()) return true;
  // Deleted rows are overwritten, not only unlinked; the browser's own foreign keys
  // take what hangs on a deleted row with it.
  if (!db.Exec(L"PRAGMA secure_delete = ON; PRAGMA foreign_keys = ON; PRAGMA temp_store = MEMORY"))
    return false;
  std::vector<Statement> statements;
  if (source && !source->clean.empty()) {
    for (const Statement& s : source->clean)
      if (schema.Has(s.needs)) statements.push_back(s);
  } else {
    statements.push_back({"", sys::ToUtf8(L"DELETE FROM " + sys::SqliteDb::QuoteName(name))});
  }
  db.SetProgress(keepGoing);
  std::vector<std::string> guids;
  bool ok = db.Exec(L"BEGIN IMMEDIATE");
  if (ok && source && source->keep != Keep::Nothing) ok = LoadKept(db, path, source->keep);
  if (ok && source && source->downloadStore && db.HasColumn(name, L"guid"))
    ok = db.QueryTexts(L"SELECT guid FROM " + sys::SqliteDb::QuoteName(name) +
                           L" WHERE guid NOT NULL AND guid <> ''",
                       guids);
  for (size_t i = 0; ok && i < statements.size(); ++i) ok = db.Exec(sys::FromUtf8(statements[i].sql));
  // What the file's own triggers can make last is bounded; the writing of the result is
  // not interrupted half way.
  db.SetProgress(nullptr);
  // The browser's own copy of the downloads goes in the same step: written only when the
  // rows can go, and the rows stay when it cannot be written.
  if (ok && !guids.empty())
    ok = AppendLevelDbDeletions(FolderOf(path) + L"\\shared_proto_db", DownloadStoreKeys(guids));
  if (ok) ok = db.Exec(L"COMMIT");
  if (!ok) {
    db.Exec(L"ROLLBACK");
    return false;
  }
  if (db.JournalMode() == L"wal") db.Exec(L"PRAGMA wal_checkpoint(TRUNCATE)");
  return true;
}

}  // namespace browsers
