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
// The rows "PRAGMA foreign_key_check" reports (0 for a sound file), -1 on an error.
int ForeignKeyViolations(const std::wstring& path);

// Profiles that real browsers wrote (scripts/make-browser-profiles.sh; the build unpacks
// tests/data/browser-profiles.tar.xz beside the test programs): "chromium\User Data" and
// "firefox\velmora.default-release". What the browsers did there:
extern const char kRealFormValue[];     // typed into the form and sent
extern const char kRealVisitedPage[];   // a visited address's path, not bookmarked
extern const char kRealBookmarkedPage[];  // bookmarked (in Firefox with a tag and keyword)
extern const char kRealTypedPage[];     // typed into Chromium's address bar, also the start
                                        // of a visited page
std::wstring RealProfiles();
// Those profiles laid out as Windows keeps them: Chrome's "User Data" below `local` (its
// "Local State", "Default" with the cookies below "Network", and "Profile 1" made from
// "Default"), Edge's "Default" made from it, the Chromium-based Opera's profile below
// `roaming`, and Firefox's profile in "Profiles" below `firefoxRoot` with a
// "profiles.ini" naming it. False on any error.
struct RealProfileSet {
  std::wstring chromeDefault, chromeProfile1, edgeDefault, opera, firefox;
};
bool SeedRealProfiles(const std::wstring& local, const std::wstring& roaming,
                      const std::wstring& firefoxRoot, RealProfileSet& seeded);
// Copies a folder tree; false on any error.
bool CopyTree(const std::wstring& from, const std::wstring& to);
// Every file below a folder as "relative path|size", sorted.
std::vector<std::wstring> TreeListing(const std::wstring& folder);
// Whether a file's bytes hold the text.
bool FileContains(const std::wstring& path, const std::string& text);

}  // namespace testsupport
