// The clean executor on real registry keys, files, INI and XML files, an SQLite database
// and a faked event log: what goes, what stays, what is said, what is written.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <sqlite3.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "catalogue/TraceOption.h"
#include "clean/CleanTraces.h"
#include "sys/FileSearch.h"
#include "sys/ProfileIni.h"
#include "sys/Registry.h"
#include "sys/SysEvent.h"
#include "sys/Text.h"
#include "sys/Thread.h"
#include "tests/support/BrowserDatabases.h"
#include "tests/support/FakeCleanWindow.h"
#include "tests/support/FakeSystem.h"
#include "tests/support/Sandbox.h"

using namespace testsupport;
using K = catalogue::ResultKind;

namespace {

class CleanTracesTest : public SandboxTest {
 protected:
  void SetUp() override {
    sys::InitMainThread();
    folders = SandboxSystemFolders(sandbox);
    settings = sandbox / L"Halvane.set";
    catalogue::BuildOptionTree(options, os, nullptr);
    catalogue::SetAllOptions(options, false);
    executor.reset(
        new clean::CleanExecutor(state, results, options, folders, os, window, settings));
  }

  model::TreeNode* Item(const std::wstring& text, const std::wstring& location,
                     catalogue::ResultKind kind, const std::wstring& detail = L"", int image = 7) {
    return results.AddResultNode(&results.Tree(), text, nullptr, image, kind, detail, location);
  }
  bool Said(const std::wstring& status) const {
    return std::find(statuses.begin(), statuses.end(), status) != statuses.end();
  }

  machine::Folders folders;
  machine::TTarnOSInfo os = FakeSystem(6, 1);
  model::TreeModel options;
  catalogue::ResultModel results;
  catalogue::ScanState state;
  std::wstring settings;
  FakeCleanWindow window;
  std::vector<std::wstring>& statuses = window.statuses;
  std::vector<std::wstring>& boxes = window.boxes;
  std::vector<catalogue::OneKeyStep>& steps = window.steps;
  int& answer = window.answer;
  int& recycleBins = window.recycleBins;
  std::unique_ptr<clean::CleanExecutor> executor;
};

bool KeyExists(HKEY root, const std::wstring& path) { return sys::RegKeyExists(root, path); }

}  // namespace

TEST_F(CleanTracesTest, EmptyListOrCancelChangesNothing) {
  executor->Run(true);
  EXPECT_TRUE(boxes.empty());  // not even the question
  EXPECT_FALSE(sys::FileExists(settings));
  EXPECT_FALSE(results.Cleaned());

  std::wstring file = sandbox.file(L"Temp\\keep.tmp");
  Item(L"keep.tmp", sandbox / L"Temp", K::File);
  answer = IDCANCEL;
  executor->Run(true);
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ(L"说明：将要清理扫描到的项目，确定吗？", boxes[0]);
  EXPECT_TRUE(sys::FileExists(file));
  EXPECT_EQ(1, results.ItemCount());
  EXPECT_FALSE(sys::FileExists(settings));
  EXPECT_FALSE(results.Cleaned());
}

TEST_F(CleanTracesTest, RegistryItemsByValueKeyAndMarker) {
  const std::wstring key = L"Software\\VelmoraClean";
  SetRegString(HKEY_CURRENT_USER, key + L"\\Values", L"v1", L"data");
  SetRegString(HKEY_CURRENT_USER, key + L"\\Values", L"v2", L"kept");
  SetRegString(HKEY_CURRENT_USER, key + L"\\Values", L"", L"default text");
  SetRegString(HKEY_CURRENT_USER, key + L"\\Tree\\A\\Deep\\Deeper", L"x", L"1");
  SetRegString(HKEY_CURRENT_USER, key + L"\\Tree\\B", L"y", L"2");
  SetRegString(HKEY_CURRENT_USER, key + L"\\Unticked", L"u", L"3");
  results.AddKeyedResult(L"HKEY_CURRENT_USER", key + L"\\Values", 1, L"d", L"data", L"v1");
  results.AddKeyedResult(L"HKEY_CURRENT_USER", key + L"\\Values", 1, L"d", L"", L"@D_e_f_a_u_l_t");
  results.AddKeyedResult(L"HKEY_CURRENT_USER", key + L"\\Tree", 1, L"d", L"", L"");
  results.AddKeyedResult(L"HKEY_CURRENT_USER", key + L"\\Gone", 1, L"d", L"", L"missing");
  model::TreeNode* unticked =
      results.AddKeyedResult(L"HKEY_CURRENT_USER", key + L"\\Unticked", 1, L"d", L"", L"");
  results.Tree().SetCheckState(unticked, model::CheckState::Unchecked);
  executor->Run(false);

  sys::RegKey values;
  ASSERT_EQ(ERROR_SUCCESS, values.OpenRead(HKEY_CURRENT_USER, key + L"\\Values"));
  EXPECT_FALSE(values.ValueExists(L"v1"));
  EXPECT_EQ(L"kept", values.ReadString(L"v2"));
  EXPECT_EQ(L"", values.ReadString(L""));  // the marker clears the default value
  EXPECT_FALSE(values.ValueExists(L"@D_e_f_a_u_l_t"));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, key + L"\\Tree"));  // with every sub-key
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, key + L"\\Unticked"));
  // The log line: root\key\value:data.
  EXPECT_TRUE(Said(L"删除: HKEY_CURRENT_USER\\" + key + L"\\Values\\v1:data"));
  EXPECT_TRUE(Said(L"删除: HKEY_CURRENT_USER\\" + key + L"\\Gone\\missing:"));
  EXPECT_EQ(0, results.ItemCount());
  EXPECT_TRUE(results.Cleaned());
  EXPECT_EQ(std::vector<std::wstring>{L"说明: 清理完毕！已删除所有扫描到的项目。"}, boxes);
  EXPECT_EQ(L"清理完毕！", statuses.back());
}

TEST(RegistryDeletionTest, UnknownRootNamesMeanCurrentConfig) {
  const std::wstring key = L"Software\\VelmoraCleanTest" + std::to_wstring(GetCurrentProcessId());
  sys::RegKey k;
  ASSERT_EQ(ERROR_SUCCESS, k.Create(HKEY_CURRENT_CONFIG, key + L"\\Sub"));
  k.Close();
  EXPECT_EQ(L"", clean::DeleteRegistryItem(L"HKEY_NOWHERE", key, L""));
  EXPECT_FALSE(sys::RegKeyExists(HKEY_CURRENT_CONFIG, key));
  // Nothing to delete is no failure.
  EXPECT_EQ(L"", clean::DeleteRegistryItem(L"", key, L""));
  EXPECT_EQ(L"", clean::DeleteRegistryItem(L"HKEY_CURRENT_USER", L"", L"v"));
  // A key that is not there is already deleted.
  EXPECT_EQ(L"", clean::DeleteRegistryItem(L"HKEY_NOWHERE", key, L""));
  RegDeleteKeyW(HKEY_CURRENT_CONFIG, L"Software\\VelmoraCleanTest");
}

TEST_F(CleanTracesTest, FilesAndFoldersAndWhatStays) {
  std::wstring ro = sandbox.file(L"Temp\\readonly.log");
  SetFileAttributesW(ro.c_str(), FILE_ATTRIBUTE_READONLY);
  std::wstring plain = sandbox.file(L"Temp\\plain.tmp");
  std::wstring kept = sandbox.file(L"Temp\\unticked.tmp");
  sandbox.file(L"Temp\\Full\\a.txt");
  sandbox.dir(L"Temp\\Full\\Inner");
  sandbox.file(L"Temp\\Empty\\b.txt");
  Item(L"readonly.log", sandbox / L"Temp", K::File);
  Item(L"plain.tmp", sandbox / L"Temp", K::None);
  results.Tree().SetCheckState(Item(L"unticked.tmp", sandbox / L"Temp", K::File),
                               model::CheckState::Unchecked);
  // Folder items keep the parent's trailing backslash.
  Item(L"Full", sandbox / L"Temp\\", K::Folder);
  Item(L"Empty", sandbox / L"Temp\\", K::Folder);
  // A file is a file whatever its name says.
  std::wstring named = sandbox.file(L"Temp\\HKEY_CURRENT_USER.tmp");
  Item(L"HKEY_CURRENT_USER.tmp", sandbox / L"Temp", K::File);
  executor->Run(true);
  EXPECT_FALSE(sys::FileExists(ro));
  EXPECT_FALSE(sys::FileExists(plain));
  EXPECT_FALSE(sys::FileExists(named));
  EXPECT_TRUE(Said(L"删除: HKEY_CURRENT_USER.tmp"));
  EXPECT_TRUE(sys::FileExists(kept));
  EXPECT_FALSE(sys::FileExists(sandbox / L"Temp\\Full\\a.txt"));
  EXPECT_TRUE(sys::DirectoryExists(sandbox / L"Temp\\Full\\Inner"));
  EXPECT_FALSE(sys::DirectoryExists(sandbox / L"Temp\\Empty"));
  EXPECT_TRUE(Said(L"删除: readonly.log"));
  EXPECT_FALSE(Said(L"删除: unticked.tmp"));
  EXPECT_EQ(0, recycleBins);
}

// A folder item that is a link: the link goes, never what it points at.
TEST_F(CleanTracesTest, AFolderLinkLosesNothingBehindIt) {
  std::wstring doc = sandbox.file(L"Documents\\report.doc");
  ASSERT_TRUE(MakeFolderLink(sandbox / L"Temp\\link", sandbox / L"Documents"));
  Item(L"link", sandbox / L"Temp\\", K::Folder);
  executor->Run(false);
  EXPECT_TRUE(sys::FileExists(doc));
}

TEST_F(CleanTracesTest, ConfigurationFilesAreEditedByTheirTag) {
  auto write = [](const std::wstring& file, const wchar_t* section, const wchar_t* key,
                  const wchar_t* value) {
    WritePrivateProfileStringW(section, key, value, file.c_str());
  };
  std::wstring myie = sandbox / L"myie.ini";
  write(myie, L"UndoUrl", L"Title0", L"a");
  write(myie, L"SearchBar", L"History", L"x|y");
  write(myie, L"Settings", L"lastvisit", L"http://a/");
  write(myie, L"Settings", L"other", L"kept");
  std::wstring uedit = sandbox / L"Uedit32.ini";
  write(uedit, L"Recent File List", L"File1", L"c:\\a.txt");
  write(uedit, L"Recent File List", L"File2", L"c:\\b.txt");
  std::wstring opera = sandbox / L"opera6.ini";
  write(opera, L"session", L"window count", L"3");
  for (const wchar_t* n : {L"1", L"2", L"3"})
    for (const wchar_t* suffix : {L"", L"history url", L"history document type", L"history title",
                                  L"history scrollpos list"})
      write(opera, (std::wstring(n) + suffix).c_str(), L"k", L"v");
  std::wstring kugoo = sandbox / L"Option.ini";
  write(kugoo, L"SearchItems", L"Count", L"5");
  write(kugoo, L"Other", L"k", L"v");
  std::wstring storm = sandbox.file(
      L"config.xml",
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><config><localplayhist><i n=\"1\"/><i n=\"2\"/>"
      "</localplayhist><keep/></config>");
  Item(L"MyIE2浏览器", myie, K::Configuration, L"MyIE2", 29);
  Item(L"b.txt", uedit, K::IniValue, L"Recent File List|File2", 25);
  Item(L"Opera", opera, K::Configuration, L"operaini", 37);
  Item(L"酷狗", kugoo, K::Configuration, L"kugoo2007", 31);
  Item(L"暴风影音", storm, K::Configuration, L"Storm", 30);
  executor->Run(false);

  sys::ProfileIni m(myie), u(uedit), o(opera), k(kugoo);
  EXPECT_FALSE(m.KeyExists(L"UndoUrl", L"Title0"));
  EXPECT_EQ(L"", m.ReadString(L"SearchBar", L"History", L"?"));
  EXPECT_EQ(L"", m.ReadString(L"Settings", L"lastvisit", L"?"));
  EXPECT_EQ(L"kept", m.ReadString(L"Settings", L"other", L""));
  EXPECT_EQ(L"c:\\a.txt", u.ReadString(L"Recent File List", L"File1", L""));
  EXPECT_FALSE(u.KeyExists(L"Recent File List", L"File2"));
  EXPECT_TRUE(Said(L"删除: b.txt"));
  EXPECT_EQ(1, o.ReadInteger(L"session", L"window count", 0));
  std::vector<std::wstring> sections = o.Sections();
  std::vector<std::wstring> expected = {L"session", L"1", L"1history url",
                                        L"1history document type", L"1history title",
                                        L"1history scrollpos list"};
  EXPECT_EQ(expected, sections);
  EXPECT_FALSE(k.KeyExists(L"SearchItems", L"Count"));
  EXPECT_TRUE(k.KeyExists(L"Other", L"k"));
  // The play history loses its entries; the rest of the document stays.
  HANDLE h = CreateFileW(storm.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                         nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  char buf[512] = {};
  DWORD read = 0;
  ReadFile(h, buf, sizeof buf - 1, &read, nullptr);
  CloseHandle(h);
  std::string xml(buf, read);
  EXPECT_EQ(std::string::npos, xml.find("<i ")) << xml;
  EXPECT_NE(std::string::npos, xml.find("localplayhist")) << xml;
  EXPECT_NE(std::string::npos, xml.find("<keep")) << xml;
}

// The session edit works on the sections in the file, whatever count the file claims; a
// file it cannot write keeps its item, said to have failed.
TEST_F(CleanTracesTest, OperaSessionEditWorksOnTheSectionsInTheFile) {
  const struct {
    const wchar_t* file;
    const char* text;
    std::vector<std::wstring> left;
    int count;  // "window count" afterwards
  } cases[] = {
      {L"billions.win", "[session]\r\nwindow count=2000000000\r\n[1]\r\nk=v\r\n[2]\r\nk=v\r\n"
       "[3history url]\r\nk=v\r\n", {L"session", L"1"}, 1},
      {L"uncounted.win", "[session]\r\nwindow count=0\r\n[2]\r\nk=v\r\n[2x]\r\nk=v\r\n",
       {L"session", L"2x"}, 0},
      {L"locked.win", "[session]\r\nwindow count=2\r\n[2]\r\nk=v\r\n", {L"session", L"2"}, 2},
  };
  for (const auto& c : cases)
    Item(c.file, sandbox.file(c.file, c.text), K::Configuration, L"OperaINI", 36);
  HANDLE held = CreateFileW((sandbox / L"locked.win").c_str(), GENERIC_READ, 0, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, held);
  executor->Run(false);
  CloseHandle(held);
  for (const auto& c : cases) {
    SCOPED_TRACE(sys::ToUtf8(c.file));
    sys::ProfileIni o(sandbox / c.file);
    EXPECT_EQ(c.left, o.Sections());
    EXPECT_EQ(c.count, o.ReadInteger(L"session", L"window count", -1));
  }
  EXPECT_EQ(1, executor->FailedCount());
  EXPECT_TRUE(Said(L"删除失败: locked.win"));
}

// What could not be deleted is taken back from the scan's total only as far as the scan
// counted it: an Opera file shows its size but never added it.
TEST_F(CleanTracesTest, FailedItemsGiveBackOnlyTheBytesTheyAdded) {
  const std::wstring counted = sandbox.file(L"Temp\\counted.tmp", "12345");
  const std::wstring shown = sandbox.file(L"Temp\\global.dat", "1234567");
  model::TreeNode* a = Item(L"counted.tmp", sandbox / L"Temp", K::File);
  results.AddRow(a, L"大小", catalogue::ResultModel::SizeText(5), 20);
  results.AddSize(a, 5);
  model::TreeNode* b = Item(L"global.dat", sandbox / L"Temp", K::None);
  results.AddRow(b, L"大小", catalogue::ResultModel::SizeText(7), 20);
  std::vector<HANDLE> held;
  for (const std::wstring& f : {counted, shown})
    held.push_back(CreateFileW(f.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  executor->Run(false);
  for (HANDLE h : held) CloseHandle(h);
  EXPECT_EQ(2, executor->FailedCount());
  EXPECT_EQ(5, executor->FailedBytes());
}

TEST_F(CleanTracesTest, BrowserDatabaseTablesAreEmptied) {
  std::wstring db = sandbox / L"places.sqlite";
  sqlite3* raw = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open(sys::ToUtf8(db).c_str(), &raw));
  sqlite3_exec(raw,
               "create table moz_places(url text); insert into moz_places values('a'),('b');"
               "create table kept(x); insert into kept values(1);",
               nullptr, nullptr, nullptr);
  sqlite3_close(raw);
  Item(L"places.sqlite", sandbox.path() + L"\\", K::FirefoxDatabase, L" moz_places ");
  Item(L"places.sqlite", sandbox.path() + L"\\", K::ChromeDatabase, L"no_such_table");
  Item(L"missing.sqlite", sandbox.path() + L"\\", K::FirefoxDatabase, L"t");
  executor->Run(false);
  ASSERT_EQ(SQLITE_OK, sqlite3_open(sys::ToUtf8(db).c_str(), &raw));
  auto count = [&](const char* sql) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(raw, sql, -1, &st, nullptr);
    int n = sqlite3_step(st) == SQLITE_ROW ? sqlite3_column_int(st, 0) : -1;
    sqlite3_finalize(st);
    return n;
  };
  EXPECT_EQ(0, count("select count(*) from moz_places"));
  EXPECT_EQ(1, count("select count(*) from kept"));
  sqlite3_close(raw);
  EXPECT_FALSE(sys::FileExists(sandbox / L"missing.sqlite"));  // never created
}

TEST_F(CleanTracesTest, EventLogsAreClearedThroughTheirName) {
  sys::ScopedEventLogApi api;
  std::vector<std::wstring> opened;
  int cleared = 0;
  sys::EventLogApi().open = [&](LPCWSTR, LPCWSTR name) {
    opened.push_back(name);
    return reinterpret_cast<HANDLE>(0x1234);
  };
  sys::EventLogApi().clear = [&](HANDLE, LPCWSTR backup) {
    EXPECT_EQ(nullptr, backup);
    ++cleared;
    return TRUE;
  };
  sys::EventLogApi().close = [](HANDLE) { return TRUE; };
  Item(L"应用程序", L"共有5条日志记录", K::EventLog, L"Application", 27);
  executor->Run(false);
  EXPECT_EQ(std::vector<std::wstring>{L"Application"}, opened);
  EXPECT_EQ(1, cleared);
  EXPECT_TRUE(Said(L"删除: 应用程序"));
}

// A log Windows refuses to clear, a settings file that cannot be written: failed, kept.
TEST_F(CleanTracesTest, AnEditOrClearThatWasRefusedIsReportedFailed) {
  sys::ScopedEventLogApi api;
  sys::EventLogApi().open = [](LPCWSTR, LPCWSTR) { return reinterpret_cast<HANDLE>(0x1234); };
  sys::EventLogApi().clear = [](HANDLE, LPCWSTR) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  };
  sys::EventLogApi().close = [](HANDLE) { return TRUE; };
  Item(L"系统", L"共有5条日志记录", K::EventLog, L"System", 27);
  const std::wstring uedit = sandbox.file(L"Uedit32.ini", "[Recent File List]\r\nFile1=c:\\a\r\n");
  const std::wstring storm = sandbox.file(
      L"config.xml", "<?xml version=\"1.0\"?><config><localplayhist><i/></localplayhist></config>");
  Item(L"a", uedit, K::IniValue, L"Recent File List|File1", 25);
  Item(L"暴风影音", storm, K::Configuration, L"Storm", 30);
  std::vector<HANDLE> locks;  // another program holds them (a read-only file is no bar to root)
  for (const std::wstring& f : {uedit, storm})
    locks.push_back(CreateFileW(f.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  executor->Run(false);
  for (HANDLE h : locks) CloseHandle(h);
  for (const wchar_t* text : {L"系统", L"a", L"暴风影音"})
    EXPECT_TRUE(Said(std::wstring(L"删除失败: ") + text)) << text;
  EXPECT_EQ(3, executor->FailedCount());
  EXPECT_EQ(L"c:\\a", sys::ProfileIni(uedit).ReadString(L"Recent File List", L"File1", L""));
}

// Unticked it is left alone (FilesAndFoldersAndWhatStays).
TEST_F(CleanTracesTest, RecycleBinWhenItsOptionIsTicked) {
  Item(L"x.tmp", sandbox / L"Temp", K::File);
  options.SetCheckState(catalogue::FindOption(options, L"清空回收站(清理时生效)"),
                        model::CheckState::Checked);
  executor->Run(false);
  EXPECT_EQ(1, recycleBins);
}

// Temporary files asked for: up to three sweeps, each deleting what the one before left.
TEST_F(CleanTracesTest, RescanSweepsTheTemporaryFolderUpToThreeTimes) {
  sandbox.dir(L"Temp\\a\\b\\c\\d\\e");
  std::wstring hidden = sandbox.file(L"Temp\\x\\hidden.dat");
  SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN);
  Item(L"unrelated.tmp", sandbox / L"Temp", K::File);
  state.tempFilesRequested = true;
  executor->Run(false);
  EXPECT_EQ(3, executor->RescanPasses());
  EXPECT_FALSE(sys::FileExists(hidden));  // files of a walked tree go whatever their attributes
  // Pass 1 removes e and the emptied x is found by pass 2 with d; pass 3 takes c.
  EXPECT_FALSE(sys::DirectoryExists(sandbox / L"Temp\\a\\b\\c"));
  EXPECT_TRUE(sys::DirectoryExists(sandbox / L"Temp\\a\\b"));
  EXPECT_FALSE(sys::DirectoryExists(sandbox / L"Temp\\x"));
  EXPECT_TRUE(sys::DirectoryExists(sandbox / L"Temp"));
  EXPECT_EQ(0, results.ItemCount());
}

TEST_F(CleanTracesTest, OneKeyModeAsksNothingAndReportsItsSteps) {
  state.oneKey = true;
  Item(L"x.tmp", sandbox / L"Temp", K::File);
  executor->Run(true);
  EXPECT_TRUE(boxes.empty());
  using Step = catalogue::OneKeyStep;
  EXPECT_EQ((std::vector<Step>{Step::CleanStarted, Step::DeletionStarting, Step::IECachePassed,
                               Step::ItemsDeleted, Step::CleanFinished}),
            steps);
  // The dates of the clean, as text the summary reads back.
  sys::ProfileIni ini(settings);
  SYSTEMTIME when = {}, now;
  GetLocalTime(&now);
  ASSERT_TRUE(ini.ReadDate(L"TraceScanOption", L"PreviousCleanDate2", when));
  EXPECT_EQ(now.wYear, when.wYear);
  EXPECT_EQ(sys::ProfileIni::DateText(now).substr(0, 10),
            ini.ReadString(L"TraceScanOption", L"PreviousCleanDate", L""));
  // Once cleaned, a one-key clean has nothing to do.
  steps.clear();
  executor->Run(true);
  EXPECT_EQ(std::vector<Step>{Step::NothingToClean}, steps);
}

TEST_F(CleanTracesTest, SeveralCacheItemsMakeOneCachePass) {
  UrlCacheLock cache;  // the pass clears the prefix's cache by mode
  state.ieCleanMode = 2;
  Item(L"a.css", L"c:\\cache\\a.css", K::IECache, L"", 45);
  Item(L"b.gif", L"c:\\cache\\b.gif", K::IECache, L"", 40);
  Item(L"c.tmp", sandbox / L"Temp", K::File);
  executor->Run(false);
  EXPECT_EQ(1, std::count(statuses.begin(), statuses.end(), L"正在清理IE缓存，请稍候..."));
  EXPECT_TRUE(Said(L"IE缓存清理完毕"));
  EXPECT_EQ(-1, state.ieCleanMode);
  EXPECT_TRUE(Said(L"删除: c.tmp"));
}

TEST_F(CleanTracesTest, AFileThatStaysIsReportedAsNotDeleted) {
  std::wstring locked = sandbox.file(L"Temp\\locked.tmp");
  HANDLE h = CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  Item(L"locked.tmp", sandbox / L"Temp", K::File);
  Item(L"already-gone.tmp", sandbox / L"Temp", K::File);
  executor->Run(false);
  CloseHandle(h);
  EXPECT_TRUE(sys::FileExists(locked));
  EXPECT_TRUE(Said(L"删除失败: locked.tmp"));
  EXPECT_FALSE(Said(L"删除: locked.tmp"));
  EXPECT_TRUE(Said(L"删除: already-gone.tmp"));
}

TEST_F(CleanTracesTest, ARescanThatFindsNothingStopsAfterOnePass) {
  state.tempFilesRequested = true;
  Item(L"x.tmp", sandbox / L"Temp", K::File);
  executor->Run(false);
  EXPECT_EQ(1, executor->RescanPasses());
}

// The window closes during the clean: the current item is finished, nothing after it.
TEST_F(CleanTracesTest, AbandonEndsAfterTheCurrentItem) {
  std::wstring first = sandbox.file(L"Temp\\first.tmp");
  std::wstring second = sandbox.file(L"Temp\\second.tmp");
  Item(L"first.tmp", sandbox / L"Temp", K::File);
  Item(L"second.tmp", sandbox / L"Temp", K::File);
  FakeCleanWindow w;
  clean::CleanExecutor closing(state, results, options, folders, os, w, settings);
  w.onPump = [&] {
    if (sys::FileExists(first)) return;
    closing.Abandon();
  };
  closing.Run(false);
  EXPECT_FALSE(sys::FileExists(first));
  EXPECT_TRUE(sys::FileExists(second));
  EXPECT_FALSE(results.Cleaned());
  EXPECT_FALSE(sys::FileExists(settings));
  EXPECT_TRUE(w.boxes.empty());
  EXPECT_FALSE(closing.Running());
}

// Between the scan and the clean another program took the database: its rows stay, the
// clean says so and goes on with the next items.
TEST_F(CleanTracesTest, ADatabaseLockedSinceTheScanIsReportedAndTheCleanGoesOn) {
  const std::wstring folder = sandbox.path() + L"\\";
  const std::wstring places = sandbox / L"places.sqlite", cookies = sandbox / L"cookies.sqlite";
  const struct {
    const char* what;
    std::function<std::function<void()>()> lock;  // takes the lock, gives its release
  } cases[] = {
      {"held without sharing",
       [&] {
         HANDLE h = CreateFileW(places.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
         EXPECT_NE(INVALID_HANDLE_VALUE, h);
         return std::function<void()>([h] { CloseHandle(h); });
       }},
      {"written by another connection",
       [&] {
         sqlite3* writer = nullptr;
         sqlite3_open(sys::ToUtf8(places).c_str(), &writer);
         EXPECT_EQ(SQLITE_OK, sqlite3_exec(writer, "BEGIN EXCLUSIVE; DELETE FROM moz_bookmarks;",
                                           nullptr, nullptr, nullptr));
         return std::function<void()>([writer] {
           sqlite3_exec(writer, "ROLLBACK;", nullptr, nullptr, nullptr);
           sqlite3_close(writer);
         });
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    // A clean ends with the results closed to new items: each case has its own.
    catalogue::ResultModel own;
    clean::CleanExecutor cleaner(state, own, options, folders, os, window, settings);
    statuses.clear();
    ASSERT_TRUE(MakeBrowserDatabase(places, BrowserDb::FirefoxPlaces, 3));
    ASSERT_TRUE(MakeBrowserDatabase(cookies, BrowserDb::FirefoxCookies, 3));
    std::wstring after = sandbox.file(L"after.txt");
    for (const auto& i : {std::make_pair(L"places.sqlite", L"moz_historyvisits"),
                          std::make_pair(L"gone.sqlite", L"moz_cookies"),
                          std::make_pair(L"cookies.sqlite", L"moz_cookies")})
      own.AddResultNode(&own.Tree(), i.first, nullptr, 34, catalogue::ResultKind::FirefoxDatabase,
                        i.second, folder);
    own.AddResultNode(&own.Tree(), L"after.txt", nullptr, 7, catalogue::ResultKind::File, L"",
                      sandbox.path());
    std::function<void()> release = c.lock();
    cleaner.Run(false);
    release();
    EXPECT_TRUE(Said(L"删除失败: places.sqlite:moz_historyvisits"));
    EXPECT_EQ(1, std::count_if(statuses.begin(), statuses.end(), [](const std::wstring& s) {
                return sys::StartsWith(s, L"删除失败");
              }));  // a database that is gone has nothing left to delete
    EXPECT_EQ(3, TableRowCount(places, L"moz_historyvisits"));
    EXPECT_EQ(0, TableRowCount(cookies, L"moz_cookies"));
    EXPECT_FALSE(sys::FileExists(after));
    EXPECT_TRUE(own.Cleaned());
  }
}

// A trigger in the file that would run for minutes costs its own item only.
TEST_F(CleanTracesTest, ADatabaseStepThatRunsOutOfTimeFailsAloneAndTheCleanGoesOn) {
  const std::wstring forms = sandbox / L"formhistory.sqlite", cookies = sandbox / L"cookies.sqlite";
  ASSERT_TRUE(MakeBrowserDatabase(forms, BrowserDb::FirefoxFormHistory, 3));
  ASSERT_TRUE(MakeBrowserDatabase(cookies, BrowserDb::FirefoxCookies, 3));
  ASSERT_TRUE(ExecSql(forms,
                      "CREATE TRIGGER slow AFTER DELETE ON moz_formhistory BEGIN SELECT count(*) "
                      "FROM (WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n "
                      "WHERE x < 100000000000) SELECT x FROM n); END;"));
  const std::wstring after = sandbox.file(L"after.txt");
  Item(L"formhistory.sqlite", sandbox.path() + L"\\", K::FirefoxDatabase, L"moz_formhistory");
  Item(L"cookies.sqlite", sandbox.path() + L"\\", K::FirefoxDatabase, L"moz_cookies");
  Item(L"after.txt", sandbox.path(), K::File);
  executor->DatabaseStepMillis = 300;
  int pumps = 0;
  window.onPump = [&] { ++pumps; };
  const DWORD start = GetTickCount();
  executor->Run(false);
  window.onPump = nullptr;
  EXPECT_LT(GetTickCount() - start, 10000u);
  EXPECT_GT(pumps, 5);  // the window was served while it ran
  EXPECT_TRUE(Said(L"删除失败: formhistory.sqlite:moz_formhistory"));
  EXPECT_EQ(3, TableRowCount(forms, L"moz_formhistory"));
  EXPECT_EQ("ok", IntegrityCheck(forms));
  EXPECT_EQ(0, TableRowCount(cookies, L"moz_cookies"));
  EXPECT_FALSE(sys::FileExists(after));
  EXPECT_EQ(1, executor->FailedCount());
}
