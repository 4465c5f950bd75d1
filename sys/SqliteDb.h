// One SQLite database file: open, list its tables, count rows, run a statement. The
// browsers' profile databases are read and emptied through it.
#pragma once
#include <string>
#include <vector>

struct sqlite3;

namespace sys {

class SqliteDb {
 public:
  SqliteDb() = default;
  ~SqliteDb() { Close(); }
  SqliteDb(const SqliteDb&) = delete;
  SqliteDb& operator=(const SqliteDb&) = delete;

  // Opens an existing file read-write (never creates one); false when it cannot. A file
  // that another program holds without sharing fails at once, with no retries.
  bool Open(const std::wstring& path);
  // The same for reading only, as a scan does: a locked database is never waited for.
  bool OpenReadOnly(const std::wstring& path);
  void Close();
  bool IsOpen() const { return db_ != nullptr; }

  // Names of the tables, ordered by name; empty when the file is no database.
  std::vector<std::wstring> TableNames();
  // The same; false when the schema cannot be read (locked, damaged, no database).
  bool ListTables(std::vector<std::wstring>& names);
  // Rows of a table, -1 when it cannot be read.
  long long RowCount(const std::wstring& table);
  // Runs one or more statements; false (with LastError) when one fails.
  bool Exec(const std::wstring& sql);
  const std::wstring& LastError() const { return error_; }

  // A table name as an SQL identifier, quoted.
  static std::wstring QuoteName(const std::wstring& name);

 private:
  bool OpenWith(const std::wstring& path, bool readOnly);
  sqlite3* db_ = nullptr;
  std::wstring error_;
};

}  // namespace sys
