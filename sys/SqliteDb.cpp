#include "sys/SqliteDb.h"

#include <sqlite3.h>

#include "sys/Text.h"

namespace sys {

bool SqliteDb::Open(const std::wstring& path) {
  Close();
  int rc = sqlite3_open_v2(ToUtf8(path).c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr);
  if (rc != SQLITE_OK) {
    error_ = db_ ? FromUtf8(sqlite3_errmsg(db_)) : L"out of memory";
    Close();
    return false;
  }
  // A browser that holds the file briefly should not make the clean fail at once.
  sqlite3_busy_timeout(db_, 2000);
  return true;
}

void SqliteDb::Close() {
  if (db_) sqlite3_close_v2(db_);
  db_ = nullptr;
}

std::vector<std::wstring> SqliteDb::TableNames() {
  std::vector<std::wstring> names;
  sqlite3_stmt* st = nullptr;
  if (!db_ || sqlite3_prepare_v2(db_,
                                 "select name from sqlite_master where type = 'table' "
                                 "order by name",
                                 -1, &st, nullptr) != SQLITE_OK)
    return names;
  while (sqlite3_step(st) == SQLITE_ROW) {
    const unsigned char* name = sqlite3_column_text(st, 0);
    if (name) names.push_back(FromUtf8(reinterpret_cast<const char*>(name)));
  }
  sqlite3_finalize(st);
  return names;
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
