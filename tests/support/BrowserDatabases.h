// Browser profile databases with the schemas Firefox and Chrome give them, made with
// SQLite for the scanner tests and the demo machine, and the checks made on them after a
// clean.
#pragma once
#include <string>
#include <vector>

namespace testsupport {

enum class BrowserDb {
  FirefoxPlaces,       // places.sqlite
  FirefoxDownloads,    // downloads.sqlite (before Firefox 26)
  FirefoxFormHistory,  // formhistory.sqlite
  FirefoxCookies,      // cookies.sqlite
  ChromeHistory,       // History
  ChromeCookies,       // Cookies (before Chrome 96), Network\Cookies (since)
  ChromeWebData,       // Web Data, with the logins of early versions
  ChromeLoginData,     // Login Data
};

enum class Journal {
  Rollback,
  Wal,          // as current browsers keep their databases
  WalLeftOver,  // as a browser that was ended leaves them: every row still in the journal
};

// Makes the database (and its folders) with every table and index of its schema:
// `rows` rows in each table the cleaner empties, two in each other table. False on any
// error.
bool MakeBrowserDatabase(const std::wstring& path, BrowserDb kind, int rows,
                         Journal journal = Journal::Rollback);
// The tables of that schema that the cleaner empties, in the order the scan lists them,
// and those it leaves alone.
std::vector<std::wstring> EmptiedTables(BrowserDb kind);
std::vector<std::wstring> KeptTables(BrowserDb kind);

// Runs statements on a database file; false on any error.
bool ExecSql(const std::wstring& path, const std::string& sql);
// Rows of a table, -1 when it cannot be read.
long long TableRowCount(const std::wstring& path, const std::wstring& table);
// The first line of "PRAGMA integrity_check" ("ok" for a sound file), or the error.
std::string IntegrityCheck(const std::wstring& path);

}  // namespace testsupport
