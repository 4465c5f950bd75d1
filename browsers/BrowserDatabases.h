// Which tables of the browsers' profile databases hold which trace, how a scan counts
// them and how a clean empties them. One table row is one result item: the scan lists it
// when its count is not 0, the clean finds it again by database file and table name.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace browsers {

enum class Engine { Firefox, Chromium };
enum class Trace { History, Downloads, FormHistory, Cookies, Logins };

// A statement that runs only when every "table" and "table.column" it needs (separated by
// blanks) is there, so that one list serves the layouts of old and of current versions.
struct Statement {
  std::string needs;
  std::string sql;
};

// What the bookmarks hold in a store of pages that a clean otherwise empties, as the
// browser's own "clear history" keeps it: the pages of the profile's bookmarks (Chromium's
// "Bookmarks" and "AccountBookmarks" beside the store; Firefox's bookmarked places in
// "places.sqlite" beside it, with their sites). The statements find them in
// temp.velmora_kept (url) and temp.velmora_kept_hosts (host); a list that is there but
// cannot be read counts nothing and cleans nothing.
enum class Keep { Nothing, ChromiumBookmarks, FirefoxBookmarks };

struct TableSource {
  Engine engine;
  Trace trace;
  const wchar_t* database;  // the file name
  const wchar_t* table;     // the item's table: it must exist for the item to be listed
  std::vector<Statement> count;  // the first that applies gives one number; none: the rows
  std::vector<Statement> clean;  // those that apply, in order; none: every row of the table
  // Chromium puts downloads back from the profile's "shared_proto_db" at its next start:
  // the clean deletes them there as well.
  bool downloadStore;
  Keep keep;
};

// The sources of a trace for a database file (letter case ignored), in the order a scan
// lists them.
std::vector<const TableSource*> SourcesOf(Engine engine, Trace trace, const std::wstring& database);
// The source of an item; null when no row names that file and table.
const TableSource* FindSource(Engine engine, const std::wstring& database, const std::wstring& table);
const std::vector<TableSource>& AllSources();
// The database files that hold a trace, in the order of their first source.
std::vector<std::wstring> DatabasesOf(Engine engine, Trace trace);

// What the item counts, read without writing anything beside the file. False when the
// database cannot be read or lacks the table; `table` is then the name as the database
// spells it.
bool CountTrace(const std::wstring& path, const TableSource& source, std::wstring& table,
                long long& count);

// Empties what the source names (without a source: every row of `table`) in one
// transaction on a defensive connection: deleted rows are overwritten in the file, and a
// write-ahead log is folded into the file and removed when the clean is done. The
// statements run while `keepGoing` (asked every few thousand steps) answers true;
// otherwise they are undone (committing them is not interrupted). False when rows stay:
// locked, damaged, interrupted, failed. A table that is not there has nothing left to
// delete.
bool CleanTrace(const std::wstring& path, const TableSource* source, const std::wstring& table,
                const std::function<bool()>& keepGoing);

// The longest one item's statements may run in a clean (a Firefox history of 400,000
// visits is emptied in under two seconds on a slow disk).
constexpr DWORD kDatabaseStepMillis = 5000;

// The keys under which Chromium's download database keeps the downloads with these
// identifiers ("guid" in "History"), in the profile's "shared_proto_db".
std::vector<std::string> DownloadStoreKeys(const std::vector<std::string>& guids);

}  // namespace browsers
