// Connections to other programs' databases: defensive, interruptible, and a reader that
// leaves nothing beside the file.
#include <windows.h>

#include <gtest/gtest.h>

#include "sys/SqliteDb.h"
#include "sys/Text.h"
#include "tests/support/BrowserDatabases.h"
#include "tests/support/Sandbox.h"

using namespace testsupport;

namespace {
class SqliteDbTest : public SandboxTest {};
}  // namespace

TEST_F(SqliteDbTest, ConnectionsTrustNothingTheFileSays) {
  const std::wstring path = sandbox / L"x.sqlite";
  ASSERT_TRUE(MakeBrowserDatabase(path, BrowserDb::ChromeCookies, 1));
  for (bool readOnly : {false, true}) {
    sys::SqliteDb db;
    ASSERT_TRUE(readOnly ? db.OpenReadOnly(path) : db.Open(path));
    long long trusted = -1;
    ASSERT_TRUE(db.QueryNumber(L"PRAGMA trusted_schema", trusted));
    EXPECT_EQ(0, trusted);
    // The schema itself cannot be rewritten through the connection.
    EXPECT_FALSE(db.Exec(L"PRAGMA writable_schema = ON; UPDATE sqlite_master SET sql = ''"));
    EXPECT_FALSE(db.Exec(L"SELECT load_extension('evil.dll')"));
  }
  EXPECT_EQ("ok", IntegrityCheck(path));
}

TEST_F(SqliteDbTest, AStatementStopsWhenItsTimeIsUpAndIsUndone) {
  const std::wstring path = sandbox / L"x.sqlite";
  ASSERT_TRUE(MakeBrowserDatabase(path, BrowserDb::ChromeCookies, 3));
  ASSERT_TRUE(ExecSql(path,
                      "CREATE TRIGGER slow AFTER DELETE ON cookies BEGIN SELECT count(*) FROM "
                      "(WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n "
                      "WHERE x < 100000000000) SELECT x FROM n); END;"));
  sys::SqliteDb db;
  ASSERT_TRUE(db.Open(path));
  int asked = 0;
  db.SetProgress([&] { return ++asked < 50; });
  const DWORD start = GetTickCount();
  EXPECT_FALSE(db.Exec(L"BEGIN; DELETE FROM cookies"));
  EXPECT_LT(GetTickCount() - start, 5000u);
  EXPECT_EQ(50, asked);
  db.SetProgress(nullptr);
  db.Exec(L"ROLLBACK");  // SQLite may have undone the transaction itself
  db.Close();
  EXPECT_EQ(3, TableRowCount(path, L"cookies"));
}

TEST_F(SqliteDbTest, AReaderLeavesNothingBesideTheFile) {
  const struct {
    const char* what;
    Journal journal;
    bool emptyLog;  // as a browser that closed leaves it
  } cases[] = {
      {"a rollback journal", Journal::Rollback, false},
      {"a write-ahead log folded in", Journal::Wal, false},
      {"an empty write-ahead log", Journal::Wal, true},
      {"a write-ahead log with every row in it", Journal::WalLeftOver, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::wstring folder = sandbox.dir(sys::FromUtf8(c.what));
    const std::wstring path = folder + L"\\History";
    ASSERT_TRUE(MakeBrowserDatabase(path, BrowserDb::ChromeHistory, 4, c.journal));
    if (c.emptyLog) sandbox.file(path.substr(sandbox.path().size() + 1) + L"-wal", "");
    DeleteFileW((path + L"-shm").c_str());
    const std::vector<std::wstring> files = TreeListing(folder);
    sys::SqliteDb db;
    ASSERT_TRUE(db.OpenReadOnly(path));
    long long rows = 0;
    ASSERT_TRUE(db.QueryNumber(L"SELECT count(*) FROM urls", rows));
    EXPECT_EQ(4, rows);
    db.Close();
    EXPECT_EQ(files, TreeListing(folder));
  }
}
