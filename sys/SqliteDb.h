// One SQLite database file: open, list its tables, count rows, run a statement. The
// browsers' profile databases are read and emptied through it.
#pragma once
#include <functional>
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
  // that another program holds without sharing fails at once, with no retries. Every
  // connection is defensive: no extensions, a schema that is not trusted to call
  // functions with side effects, no writes to the schema itself.
  bool Open(const std::wstring& path);
  // The same for reading only, as a scan does: a locked database is never waited for,
  // and nothing is left beside the file (no journal, no index of one).
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
  // The first column of a query's rows: one number, or every row as text (UTF-8). False
  // when the query fails.
  bool QueryNumber(const std::wstring& sql, long long& value);
  bool QueryTexts(const std::wstring& sql, std::vector<std::string>& values);
  // Runs one statement once for each value (UTF-8 text, bound to ?1); false (with
  // LastError) at the first that fails.
  bool ExecEach(const std::wstring& sql, const std::vector<std::string>& values);
  // Whether a table has a column (names compare without regard to case).
  bool HasColumn(const std::wstring& table, const std::wstring& column);
  // "wal", "delete", ... in lower case; empty when it cannot be read.
  std::wstring JournalMode();
  // Asked every few thousand steps of a statement; a false answer interrupts it. Empty:
  // statements run to their end.
  void SetProgress(std::function<bool()> keepGoing);
  const std::wstring& LastError() const { return error_; }

  // A table name as an SQL identifier, quoted.
  static std::wstring QuoteName(const std::wstring& name);

 private:
  bool OpenWith(const std::wstring& path, bool readOnly);
  static int OnProgress(void* self);
  sqlite3* db_ = nullptr;
  std::wstring error_;
  std::function<bool()> keepGoing_;
  std::wstring madeShm_;  // a journal index this connection made, removed when it closes
};

}  // namespace sys
