#include "sys/SqliteDb.h"

#include <windows.h>
#include <sqlite3.h>

#include <cctype>
#include <cstring>

#include "sys/Text.h"

namespace sys {

namespace {
// SQLite retries a sharing violation for more than a second before it gives up; a file
// held without sharing is seen here at once instead.
bool OpensShared(const std::wstring& path, bool readOnly, std::wstring& error) {
  HANDLE h = CreateFileW(path.c_str(), readOnly ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    error = GetLastError() == ERROR_SHARING_VIOLATION ? L"locked" : L"cannot open";
    return false;
  }
  CloseHandle(h);
  return true;
}

// The journal mode the file's header records: true for write-ahead logging.
bool WalHeader(const std::wstring& path) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  unsigned char header[20] = {};
  DWORD read = 0;
  bool ok = ReadFile(h, header, sizeof header, &read, nullptr) && read == sizeof header;
  CloseHandle(h);
  return ok && memcmp(header, "SQLite format 3", 16) == 0 && header[18] == 2 && header[19] == 2;
}

// The size of a file, -1 when there is none.
long long FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// A write-ahead log without a single page (none, or only its 32-byte header, as browsers
// leave it when they close): everything is in the file, which can be read as it stands.
bool WalWithoutFrames(const std::wstring& path) {
  return WalHeader(path) && FileSize(path + L"-wal") < 32;
}

// The file as an SQLite URI that is read as it stands, without journal or locks.
std::string ImmutableUri(const std::wstring& path) {
  static const char hex[] = "0123456789ABCDEF";
  std::string uri = "file:///";
  for (unsigned char c : ToUtf8(path)) {
    if (c == '\\') c = '/';
    if (isalnum(c) || strchr("-._~/:", c)) {
      uri += char(c);
    } else {
      uri += '%';
      uri += hex[c >> 4];
      uri += hex[c & 15];
    }
  }
  return uri + "?immutable=1";
}
}  // namespace

bool SqliteDb::Open(const std::wstring& path) { return OpenWith(path, false); }

bool SqliteDb::OpenReadOnly(const std::wstring& path) { return OpenWith(path, true); }

bool SqliteDb::OpenWith(const std::wstring& path, bool readOnly) {
  Close();
  if (!OpensShared(path, readOnly, error_)) return false;
  int rc = SQLITE_CANTOPEN;
  if (readOnly && WalWithoutFrames(path)) {
    rc = sqlite3_open_v2(ImmutableUri(path).c_str(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI,
                         nullptr);
    if (rc != SQLITE_OK) Close();
  }
  if (rc != SQLITE_OK) {
    // A reader of a log with pages in it needs the log's index; one it makes goes again.
    if (readOnly && WalHeader(path) && FileSize(path + L"-shm") < 0) madeShm_ = path + L"-shm";
    rc = sqlite3_open_v2(ToUtf8(path).c_str(), &db_,
                         readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE, nullptr);
  }
  // Another program's file is not trusted: no extensions, no functions with side effects
  // called from its schema, no writes to the schema itself.
  if (rc == SQLITE_OK) {
    sqlite3_db_config(db_, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    if (sqlite3_db_config(db_, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr) != SQLITE_OK ||
        sqlite3_db_config(db_, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr) != SQLITE_OK)
      rc = SQLITE_MISUSE;
  }
  if (rc != SQLITE_OK) {
    error_ = db_ ? FromUtf8(sqlite3_errmsg(db_)) : L"out of memory";
    Close();
    return false;
  }
  // A writer that holds the file for a moment may delay a clean a little; a scan skips a
  // busy database at once. Neither may keep the window waiting.
  if (!readOnly) sqlite3_busy_timeout(db_, 200);
  return true;
}

void SqliteDb::Close() {
  if (db_) sqlite3_close_v2(db_);
  db_ = nullptr;
  keepGoing_ = nullptr;
  // A browser that opened the index meanwhile holds it, and then it stays.
  if (!madeShm_.empty()) DeleteFileW(madeShm_.c_str());
  madeShm_.clear();
}

int SqliteDb::OnProgress(void* self) {
  const auto* db = static_cast<SqliteDb*>(self);
  return db->keepGoing_ && !db->keepGoing_() ? 1 : 0;
}

void SqliteDb::SetProgress(std::function<bool()> keepGoing) {
  keepGoing_ = std::move(keepGoing);
  if (db_) sqlite3_progress_handler(db_, keepGoing_ ? 1000 : 0, keepGoing_ ? OnProgress : nullptr,
                                    this);
}

bool SqliteDb::QueryNumber(const std::wstring& sql, long long& value) {
  sqlite3_stmt* st = nullptr;
  if (!db_ || sqlite3_prepare_v2(db_, ToUtf8(sql).c_str(), -1, &st, nullptr) != SQLITE_OK) {
    error_ = db_ ? FromUtf8(sqlite3_errmsg(db_)) : L"not open";
    return false;
  }
  const int rc = sqlite3_step(st);
  if (rc == SQLITE_ROW) value = sqlite3_column_int64(st, 0);
  sqlite3_finalize(st);
  return rc == SQLITE_ROW;
}

bool SqliteDb::QueryTexts(const std::wstring& sql, std::vector<std::string>& values) {
  values.clear();
  sqlite3_stmt* st = nullptr;
  if (!db_ || sqlite3_prepare_v2(db_, ToUtf8(sql).c_str(), -1, &st, nullptr) != SQLITE_OK)
    return false;
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    const unsigned char* text = sqlite3_column_text(st, 0);
    if (text) values.emplace_back(reinterpret_cast<const char*>(text));
  }
  sqlite3_finalize(st);
  return rc == SQLITE_DONE;
}

bool SqliteDb::ExecEach(const std::wstring& sql, const std::vector<std::string>& values) {
  sqlite3_stmt* st = nullptr;
  if (!db_ || sqlite3_prepare_v2(db_, ToUtf8(sql).c_str(), -1, &st, nullptr) != SQLITE_OK) {
    error_ = db_ ? FromUtf8(sqlite3_errmsg(db_)) : L"not open";
    return false;
  }
  bool ok = true;
  for (size_t i = 0; ok && i < values.size(); ++i) {
    sqlite3_bind_text(st, 1, values[i].data(), int(values[i].size()), SQLITE_STATIC);
    ok = sqlite3_step(st) == SQLITE_DONE;
    if (!ok) error_ = FromUtf8(sqlite3_errmsg(db_));
    sqlite3_reset(st);
  }
  sqlite3_finalize(st);
  return ok;
}

bool SqliteDb::HasColumn(const std::wstring& table, const std::wstring& column) {
  sqlite3_stmt* st = nullptr;
  const std::string sql = ToUtf8(L"PRAGMA table_info(" + QuoteName(table) + L")");
  if (!db_ || sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) return false;
  bool found = false;
  while (!found && sqlite3_step(st) == SQLITE_ROW) {
    const unsigned char* name = sqlite3_column_text(st, 1);
    found = name && LowerCase(FromUtf8(reinterpret_cast<const char*>(name))) == LowerCase(column);
  }
  sqlite3_finalize(st);
  return found;
}

std::wstring SqliteDb::JournalMode() {
  std::vector<std::string> mode;
  if (!QueryTexts(L"PRAGMA journal_mode", mode) || mode.empty()) return L"";
  return LowerCase(FromUtf8(mode[0]));
}

std::vector<std::wstring> SqliteDb::TableNames() {
  std::vector<std::wstring> names;
  ListTables(names);
  return names;
}

bool SqliteDb::ListTables(std::vector<std::wstring>& names) {
  names.clear();
  sqlite3_stmt* st = nullptr;
  if (!db_ || sqlite3_prepare_v2(db_,
                                 "select name from sqlite_master where type = 'table' "
                                 "order by name",
                                 -1, &st, nullptr) != SQLITE_OK)
    return false;
  int rc;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    const unsigned char* name = sqlite3_column_text(st, 0);
    if (name) names.push_back(FromUtf8(reinterpret_cast<const char*>(name)));
  }
  sqlite3_finalize(st);
  if (rc == SQLITE_DONE) return true;
  names.clear();
  return false;
}

std::wstring SqliteDb::QuoteName(const std::wstring& name) {
  std::wstring q = L"\"";
  for (wchar_t c : name) {
    q += c;
    if (c == L'"') q += c;
  }
  return q + L"\"";
}

long long SqliteDb::RowCount(const std::wstring& table) {
  sqlite3_stmt* st = nullptr;
  std::string sql = ToUtf8(L"select count(*) from " + QuoteName(table));
  if (!db_ || sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) return -1;
  long long n = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int64(st, 0) : -1;
  sqlite3_finalize(st);
  return n;
}

bool SqliteDb::Exec(const std::wstring& sql) {
  if (!db_) {
    error_ = L"not open";
    return false;
  }
  char* message = nullptr;
  int rc = sqlite3_exec(db_, ToUtf8(sql).c_str(), nullptr, nullptr, &message);
  error_ = message ? FromUtf8(message) : L"";
  sqlite3_free(message);
  return rc == SQLITE_OK;
}

}  // namespace sys
