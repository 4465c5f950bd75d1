#include "tests/support/BrowserDatabases.h"

#include <windows.h>
#include <sqlite3.h>

#include <algorithm>

#include "sys/FileSearch.h"
#include "sys/FileUtils.h"
#include "sys/Text.h"
#include "tests/support/Sandbox.h"

namespace testsupport {

namespace {

// One table of a schema: its statements, the values of its row number x, and whether the
// cleaner empties it.
struct Table {
  const char* name;
  const char* create;
  const char* columns;
  const char* values;
  bool emptied;
};

const Table kPlaces[] = {
    {"moz_places",
     "CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url LONGVARCHAR, title LONGVARCHAR, "
     "rev_host LONGVARCHAR, visit_count INTEGER DEFAULT 0, hidden INTEGER DEFAULT 0 NOT NULL, "
     "typed INTEGER DEFAULT 0 NOT NULL, frecency INTEGER DEFAULT -1 NOT NULL, "
     "last_visit_date INTEGER, guid TEXT);"
     "CREATE UNIQUE INDEX moz_places_url_uniqueindex ON moz_places (url);",
     "url, title, visit_count, last_visit_date",
     "'https://velmora.example/page' || x, 'page ' || x, 1, 1700000000000000 + x", false},
    {"moz_historyvisits",
     "CREATE TABLE moz_historyvisits (id INTEGER PRIMARY KEY, from_visit INTEGER, "
     "place_id INTEGER, visit_date INTEGER, visit_type INTEGER, session INTEGER);"
     "CREATE INDEX moz_historyvisits_placedateindex ON moz_historyvisits (place_id, visit_date);",
     "from_visit, place_id, visit_date, visit_type", "0, x, 1700000000000000 + x, 1", true},
    {"moz_bookmarks",
     "CREATE TABLE moz_bookmarks (id INTEGER PRIMARY KEY, type INTEGER, fk INTEGER DEFAULT NULL, "
     "parent INTEGER, position INTEGER, title LONGVARCHAR, dateAdded INTEGER, "
     "lastModified INTEGER);",
     "type, fk, parent, position, title", "1, x, 2, x, 'bookmark ' || x", false},
};

const Table kDownloads[] = {
    {"moz_downloads",
     "CREATE TABLE moz_downloads (id INTEGER PRIMARY KEY, name TEXT, source TEXT, target TEXT, "
     "tempPath TEXT, startTime INTEGER, endTime INTEGER, state INTEGER, referrer TEXT, "
     "entityID TEXT, currBytes INTEGER NOT NULL DEFAULT 0, maxBytes INTEGER NOT NULL DEFAULT -1, "
     "mimeType TEXT, preferredApplication TEXT, preferredAction INTEGER NOT NULL DEFAULT 0, "
     "autoResume INTEGER NOT NULL DEFAULT 0);"
     "CREATE INDEX moz_downloads_source_index ON moz_downloads (source);",
     "name, source, target, state",
     "'setup' || x || '.exe', 'https://velmora.example/setup' || x || '.exe', "
     "'file:///C:/downloads/setup' || x || '.exe', 1",
     true},
};

const Table kFormHistory[] = {
    {"moz_formhistory",
     "CREATE TABLE moz_formhistory (id INTEGER PRIMARY KEY, fieldname TEXT NOT NULL, "
     "value TEXT NOT NULL, timesUsed INTEGER, firstUsed INTEGER, lastUsed INTEGER, guid TEXT);"
     "CREATE INDEX moz_formhistory_index ON moz_formhistory (fieldname);",
     "fieldname, value, timesUsed", "'searchbar-history', 'velmora ' || x, x", true},
    {"moz_deleted_formhistory",
     "CREATE TABLE moz_deleted_formhistory (id INTEGER PRIMARY KEY, timeDeleted INTEGER, "
     "guid TEXT);",
     "timeDeleted, guid", "x, 'guid' || x", false},
};

const Table kFirefoxCookies[] = {
    {"moz_cookies",
     "CREATE TABLE moz_cookies (id INTEGER PRIMARY KEY, originAttributes TEXT NOT NULL DEFAULT '', "
     "name TEXT, value TEXT, host TEXT, path TEXT, expiry INTEGER, lastAccessed INTEGER, "
     "creationTime INTEGER, isSecure INTEGER, isHttpOnly INTEGER, "
     "CONSTRAINT moz_uniqueid UNIQUE (name, host, path, originAttributes));",
     "name, value, host, path, expiry", "'id' || x, 'v' || x, '.velmora.example', '/', 2000000000",
     true},
};

const Table kChromeHistory[] = {
    {"meta", "CREATE TABLE meta (key LONGVARCHAR NOT NULL UNIQUE PRIMARY KEY, value LONGVARCHAR);",
     "key, value", "'key' || x, x", false},
    {"urls",
     "CREATE TABLE urls (id INTEGER PRIMARY KEY, url LONGVARCHAR, title LONGVARCHAR, "
     "visit_count INTEGER DEFAULT 0 NOT NULL, typed_count INTEGER DEFAULT 0 NOT NULL, "
     "last_visit_time INTEGER NOT NULL, hidden INTEGER DEFAULT 0 NOT NULL);"
     "CREATE INDEX urls_url_index ON urls (url);",
     "url, title, visit_count, last_visit_time",
     "'https://velmora.example/' || x, 'page ' || x, 1, 13300000000000000 + x", true},
    {"visits",
     "CREATE TABLE visits (id INTEGER PRIMARY KEY, url INTEGER NOT NULL, "
     "visit_time INTEGER NOT NULL, from_visit INTEGER, transition INTEGER DEFAULT 0 NOT NULL, "
     "segment_id INTEGER, visit_duration INTEGER DEFAULT 0 NOT NULL);"
     "CREATE INDEX visits_url_index ON visits (url);"
     "CREATE INDEX visits_time_index ON visits (visit_time);",
     "url, visit_time, from_visit, segment_id", "x, 13300000000000000 + x, 0, x", true},
    {"segments",
     "CREATE TABLE segments (id INTEGER PRIMARY KEY, name VARCHAR, url_id INTEGER NON NULL);"
     "CREATE INDEX segments_name ON segments (name);",
     "name, url_id", "'http://velmora.example/' || x, x", true},
    {"segment_usages",
     "CREATE TABLE segment_usages (id INTEGER PRIMARY KEY, segment_id INTEGER NOT NULL, "
     "time_slot INTEGER NOT NULL, visit_count INTEGER DEFAULT 0 NOT NULL);"
     "CREATE INDEX segment_usage_time_slot_segment_id ON segment_usages (time_slot, segment_id);",
     "segment_id, time_slot, visit_count", "x, 13300000000 + x, 1", true},
    {"keyword_search_terms",
     "CREATE TABLE keyword_search_terms (keyword_id INTEGER NOT NULL, url_id INTEGER NOT NULL, "
     "term LONGVARCHAR NOT NULL, normalized_term LONGVARCHAR NOT NULL);"
     "CREATE INDEX keyword_search_terms_index1 ON keyword_search_terms (keyword_id, "
     "normalized_term);",
     "keyword_id, url_id, term, normalized_term", "2, x, 'Velmora ' || x, 'velmora ' || x", true},
    {"downloads",
     "CREATE TABLE downloads (id INTEGER PRIMARY KEY, guid VARCHAR NOT NULL, "
     "current_path LONGVARCHAR NOT NULL, target_path LONGVARCHAR NOT NULL, "
     "start_time INTEGER NOT NULL, received_bytes INTEGER NOT NULL, "
     "total_bytes INTEGER NOT NULL, state INTEGER NOT NULL);",
     "guid, current_path, target_path, start_time, received_bytes, total_bytes, state",
     "'g' || x, 'C:\\downloads\\f' || x, 'C:\\downloads\\f' || x, x, 100, 100, 1", true},
};

const Table kChromeCookies[] = {
    {"meta", "CREATE TABLE meta (key LONGVARCHAR NOT NULL UNIQUE PRIMARY KEY, value LONGVARCHAR);",
     "key, value", "'key' || x, x", false},
    {"cookies",
     "CREATE TABLE cookies (creation_utc INTEGER NOT NULL, host_key TEXT NOT NULL, "
     "name TEXT NOT NULL, value TEXT NOT NULL, encrypted_value BLOB DEFAULT '', "
     "path TEXT NOT NULL, expires_utc INTEGER NOT NULL, is_secure INTEGER NOT NULL, "
     "is_httponly INTEGER NOT NULL, last_access_utc INTEGER NOT NULL, "
     "UNIQUE (host_key, name, path));",
     "creation_utc, host_key, name, value, path, expires_utc, is_secure, is_httponly, "
     "last_access_utc",
     "13300000000000000 + x, '.velmora.example', 'id' || x, 'v', '/', 0, 0, 0, x", true},
};

const Table kChromeWebData[] = {
    {"meta", "CREATE TABLE meta (key LONGVARCHAR NOT NULL UNIQUE PRIMARY KEY, value LONGVARCHAR);",
     "key, value", "'key' || x, x", false},
    {"autofill",
     "CREATE TABLE autofill (name VARCHAR, value VARCHAR, value_lower VARCHAR, "
     "date_created INTEGER DEFAULT 0, count INTEGER DEFAULT 1, PRIMARY KEY (name, value));",
     "name, value, value_lower", "'q', 'Velmora ' || x, 'velmora ' || x", false},
    {"logins",
     "CREATE TABLE logins (origin_url VARCHAR NOT NULL, action_url VARCHAR, "
     "username_element VARCHAR, username_value VARCHAR, password_element VARCHAR, "
     "password_value BLOB, submit_element VARCHAR, signon_realm VARCHAR NOT NULL, "
     "ssl_valid INTEGER NOT NULL, preferred INTEGER NOT NULL, date_created INTEGER NOT NULL, "
     "blacklisted_by_user INTEGER NOT NULL, scheme INTEGER NOT NULL, "
     "UNIQUE (origin_url, username_element, username_value, password_element, "
     "submit_element, signon_realm));"
     "CREATE INDEX logins_signon ON logins (signon_realm);",
     "origin_url, username_value, signon_realm, ssl_valid, preferred, date_created, "
     "blacklisted_by_user, scheme",
     "'https://velmora.example/login' || x, 'user' || x, 'https://velmora.example/', 1, 1, x, 0, 0",
     true},
};

const Table kChromeLoginData[] = {
    {"meta", "CREATE TABLE meta (key LONGVARCHAR NOT NULL UNIQUE PRIMARY KEY, value LONGVARCHAR);",
     "key, value", "'key' || x, x", false},
    {"logins",
     "CREATE TABLE logins (origin_url VARCHAR NOT NULL, action_url VARCHAR, "
     "username_element VARCHAR, username_value VARCHAR, password_element VARCHAR, "
     "password_value BLOB, submit_element VARCHAR, signon_realm VARCHAR NOT NULL, "
     "date_created INTEGER NOT NULL, blacklisted_by_user INTEGER NOT NULL, "
     "scheme INTEGER NOT NULL, password_type INTEGER, times_used INTEGER, "
     "id INTEGER PRIMARY KEY AUTOINCREMENT, date_last_used INTEGER NOT NULL DEFAULT 0, "
     "UNIQUE (origin_url, username_element, username_value, password_element, signon_realm));"
     "CREATE INDEX logins_signon ON logins (signon_realm);",
     "origin_url, username_value, signon_realm, date_created, blacklisted_by_user, scheme",
     "'https://velmora.example/login' || x, 'user' || x, 'https://velmora.example/', x, 0, 0",
     true},
    {"stats",
     "CREATE TABLE stats (origin_domain VARCHAR NOT NULL, username_value VARCHAR, "
     "dismissal_count INTEGER, update_time INTEGER NOT NULL, "
     "UNIQUE(origin_domain, username_value));",
     "origin_domain, username_value, dismissal_count, update_time",
     "'https://velmora.example/' || x, 'user', 1, x", false},
};

struct Schema {
  const Table* tables;
  size_t count;
};

template <size_t N>
Schema Of(const Table (&t)[N]) {
  return {t, N};
}

Schema SchemaOf(BrowserDb kind) {
  switch (kind) {
    case BrowserDb::FirefoxPlaces: return Of(kPlaces);
    case BrowserDb::FirefoxDownloads: return Of(kDownloads);
    case BrowserDb::FirefoxFormHistory: return Of(kFormHistory);
    case BrowserDb::FirefoxCookies: return Of(kFirefoxCookies);
    case BrowserDb::ChromeHistory: return Of(kChromeHistory);
    case BrowserDb::ChromeCookies: return Of(kChromeCookies);
    case BrowserDb::ChromeWebData: return Of(kChromeWebData);
    case BrowserDb::ChromeLoginData: return Of(kChromeLoginData);
  }
  return {nullptr, 0};
}

std::string InsertRows(const Table& t, int rows) {
  if (rows <= 0) return "";
  return "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < " +
         std::to_string(rows) + ") INSERT INTO " + t.name + " (" + t.columns + ") SELECT " +
         t.values + " FROM n;";
}

struct Connection {
  sqlite3* db = nullptr;
  explicit Connection(const std::wstring& path, int flags = SQLITE_OPEN_READWRITE) {
    if (sqlite3_open_v2(sys::ToUtf8(path).c_str(), &db, flags, nullptr) != SQLITE_OK) Close();
  }
  ~Connection() { Close(); }
  void Close() {
    if (db) sqlite3_close(db);
    db = nullptr;
  }
  bool Exec(const std::string& sql) {
    return db && sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
  }
};

std::vector<std::wstring> Tables(BrowserDb kind, bool emptied) {
  std::vector<std::wstring> names;
  Schema s = SchemaOf(kind);
  for (size_t i = 0; i < s.count; ++i)
    if (s.tables[i].emptied == emptied) names.push_back(sys::FromUtf8(s.tables[i].name));
  return names;
}

}  // namespace

bool MakeBrowserDatabase(const std::wstring& path, BrowserDb kind, int rows, Journal journal) {
  CreateFolders(path.substr(0, path.find_last_of(L'\\')));
  for (const wchar_t* suffix : {L"", L"-wal", L"-shm", L"-journal"})
    DeleteFileW((path + suffix).c_str());
  Schema s = SchemaOf(kind);
  std::string sql = journal == Journal::Rollback ? "" : "PRAGMA journal_mode=WAL;";
  sql += "BEGIN;";
  for (size_t i = 0; i < s.count; ++i) {
    const Table& t = s.tables[i];
    sql += t.create;
    sql += InsertRows(t, t.emptied ? rows : 2);
  }
  sql += "COMMIT;";
  Connection c(path, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
  if (journal == Journal::WalLeftOver &&
      (!c.db || sqlite3_db_config(c.db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr) != SQLITE_OK))
    return false;
  return c.Exec(sql);
}

std::vector<std::wstring> EmptiedTables(BrowserDb kind) {
  std::vector<std::wstring> names = Tables(kind, true);
  // The scan lists the history tables in its own order.
  if (kind == BrowserDb::ChromeHistory)
    names = {L"segments", L"segment_usages", L"urls", L"visits", L"keyword_search_terms",
             L"downloads"};
  return names;
}

std::vector<std::wstring> KeptTables(BrowserDb kind) { return Tables(kind, false); }

bool ExecSql(const std::wstring& path, const std::string& sql) {
  Connection c(path);
  return c.Exec(sql);
}

long long TableRowCount(const std::wstring& path, const std::wstring& table) {
  Connection c(path);
  sqlite3_stmt* st = nullptr;
  std::string sql = "SELECT count(*) FROM \"" + sys::ToUtf8(table) + "\"";
  if (!c.db || sqlite3_prepare_v2(c.db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) return -1;
  long long n = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int64(st, 0) : -1;
  sqlite3_finalize(st);
  return n;
}

std::string IntegrityCheck(const std::wstring& path) {
  Connection c(path);
  sqlite3_stmt* st = nullptr;
  if (!c.db || sqlite3_prepare_v2(c.db, "PRAGMA integrity_check", -1, &st, nullptr) != SQLITE_OK)
    return c.db ? sqlite3_errmsg(c.db) : "cannot open";
  std::string result = sqlite3_step(st) == SQLITE_ROW
                           ? reinterpret_cast<const char*>(sqlite3_column_text(st, 0))
                           : sqlite3_errmsg(c.db);
  sqlite3_finalize(st);
  return result;
}

int ForeignKeyViolations(const std::wstring& path) {
  Connection c(path);
  sqlite3_stmt* st = nullptr;
  if (!c.db || sqlite3_prepare_v2(c.db, "PRAGMA foreign_key_check", -1, &st, nullptr) != SQLITE_OK)
    return -1;
  int rows = 0, rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) ++rows;
  sqlite3_finalize(st);
  return rc == SQLITE_DONE ? rows : -1;
}

const char kRealFormValue[] = "velmora-form-secret";
const char kRealVisitedPage[] = "/visit/velmora-alpha";
const char kRealBookmarkedPage[] = "/visit/velmora-bookmarked";
const char kRealTypedPage[] = "/visit/velmora-be";

std::wstring RealProfiles() {
  std::wstring exe = sys::ModuleFileName();
  return exe.substr(0, exe.find_last_of(L'\\')) + L"\\test-data\\browser-profiles";
}

bool CopyTree(const std::wstring& from, const std::wstring& to) {
  if (!CreateFolders(to)) return false;
  for (sys::FileSearch s(from + L"\\*"); s.Found(); s.Next()) {
    const std::wstring a = from + L"\\" + s.Name(), b = to + L"\\" + s.Name();
    if (s.IsDirectory() ? !CopyTree(a, b) : !CopyFileW(a.c_str(), b.c_str(), FALSE)) return false;
  }
  return true;
}

bool SeedRealProfiles(const std::wstring& local, const std::wstring& roaming,
                      const std::wstring& firefoxRoot, RealProfileSet& seeded) {
  const std::wstring real = RealProfiles();
  const std::wstring chrome = local + L"\\Google\\Chrome\\User Data";
  seeded.chromeDefault = chrome + L"\\Default";
  seeded.chromeProfile1 = chrome + L"\\Profile 1";
  seeded.edgeDefault = local + L"\\Microsoft\\Edge\\User Data\\Default";
  seeded.opera = roaming + L"\\Opera Software\\Opera Stable";
  seeded.firefox = firefoxRoot + L"\\Profiles\\velmora.default-release";
  const std::wstring from = real + L"\\chromium\\User Data\\Default";
  for (const std::wstring& to :
       {seeded.chromeDefault, seeded.chromeProfile1, seeded.edgeDefault, seeded.opera}) {
    if (!CopyTree(from, to) || !CreateFolders(to + L"\\Network")) return false;
    // On Windows the cookies live below "Network" since Chrome 96.
    for (const wchar_t* f : {L"Cookies", L"Cookies-journal"})
      if (!MoveFileW((to + L"\\" + f).c_str(), (to + L"\\Network\\" + f).c_str())) return false;
  }
  if (!CopyFileW((real + L"\\chromium\\User Data\\Local State").c_str(),
                 (chrome + L"\\Local State").c_str(), FALSE) ||
      !CopyTree(real + L"\\firefox\\velmora.default-release", seeded.firefox))
    return false;
  HANDLE h = CreateFileW((firefoxRoot + L"\\profiles.ini").c_str(), GENERIC_WRITE, 0, nullptr,
                         CREATE_ALWAYS, 0, nullptr);
  const char ini[] =
      "[Profile0]\r\nName=default-release\r\nIsRelative=1\r\n"
      "Path=Profiles/velmora.default-release\r\nDefault=1\r\n";
  DWORD written = 0;
  bool ok = h != INVALID_HANDLE_VALUE && WriteFile(h, ini, sizeof ini - 1, &written, nullptr);
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  return ok;
}

std::vector<std::wstring> TreeListing(const std::wstring& folder) {
  std::vector<std::wstring> files;
  std::vector<std::wstring> todo = {L""};
  while (!todo.empty()) {
    const std::wstring rel = todo.back();
    todo.pop_back();
    for (sys::FileSearch s(folder + rel + L"\\*"); s.Found(); s.Next()) {
      if (s.IsDirectory()) todo.push_back(rel + L"\\" + s.Name());
      else files.push_back(rel + L"\\" + s.Name() + L"|" + std::to_wstring(s.Size()));
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

bool FileContains(const std::wstring& path, const std::string& text) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  std::string bytes;
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(h, buffer, sizeof buffer, &read, nullptr) && read) bytes.append(buffer, read);
  CloseHandle(h);
  return bytes.find(text) != std::string::npos;
}

}  // namespace testsupport
