// A one-key clean of the demo machine's browsers in a real window: every seeded table is
// emptied and stays a sound database, the other tables keep their rows, the cache and
// trace files are gone, in the layouts of old and of current browser versions.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "sys/FileSearch.h"
#include "sys/ProfileIni.h"
#include "sys/Text.h"
#include "sys/Thread.h"
#include "tests/app/FormFixture.h"
#include "tests/support/BrowserDatabases.h"
#include "tests/support/DemoMachine.h"

namespace {

class BrowserCleanTest : public testsupport::FormTest {};

}  // namespace

TEST_F(BrowserCleanTest, OneKeyCleanEmptiesEverySeededTableAndDeletesTheCaches) {
  machine::Folders& f = machine::AppFolders();
  f.special[CSIDL_APPDATA] = sandbox.dir(L"Profile\\AppData\\Roaming");
  f.special[CSIDL_LOCAL_APPDATA] = sandbox.dir(L"Profile\\AppData\\Local");
  f.special[CSIDL_PROGRAM_FILES] = sandbox.dir(L"Program Files");
  testsupport::ScopedEnvironment home(L"USERPROFILE", f.Profile());
  testsupport::ScopedEnvironment appData(L"APPDATA", f.special[CSIDL_APPDATA]);
  std::vector<testsupport::DemoTrace> traces;
  machine::TTarnOSInfo os;
  testsupport::DemoBrowsers seeded = testsupport::SeedDemoBrowsers(f, os.MajorVersion, traces);
  ASSERT_GE(seeded.emptied.size(), 15u);
  ASSERT_GE(seeded.files.size(), 20u);
  for (const auto& t : seeded.emptied)
    ASSERT_GT(testsupport::TableRowCount(t.database, t.table), 0) << sys::ToUtf8(t.database);

  Tick(L"FireFox 清理");
  Tick(L"Opera 历史记录清理");
  Tick(L"Chrome 清理");
  Click(app::idLabel10, L"Label10");
  for (int i = 0; i < 2000 && (form->scanState.finderRunning || form->scanState.scanning); ++i) {
    sys::ProcessMessages();
    Sleep(5);
  }
  sys::ProcessMessages();
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(L"清理完毕！", Panel(0));

  for (const auto& t : seeded.emptied) {
    SCOPED_TRACE(sys::ToUtf8(t.database + L" " + t.table));
    EXPECT_EQ(0, testsupport::TableRowCount(t.database, t.table));
  }
  for (const auto& t : seeded.kept) {
    SCOPED_TRACE(sys::ToUtf8(t.database + L" " + t.table));
    EXPECT_EQ(2, testsupport::TableRowCount(t.database, t.table));
  }
  for (const auto& t : seeded.emptied)
    EXPECT_EQ("ok", testsupport::IntegrityCheck(t.database)) << sys::ToUtf8(t.database);
  for (const std::wstring& file : seeded.files)
    EXPECT_FALSE(sys::FileExists(file)) << sys::ToUtf8(file);
  // The session list keeps its first window only.
  const std::wstring session = f.special[CSIDL_PROGRAM_FILES] + L"\\Opera\\profile\\sessions\\autosave.win";
  sys::ProfileIni ini(session);
  EXPECT_EQ(1, ini.ReadInteger(L"session", L"window count", 0));
  EXPECT_TRUE(ini.KeyExists(L"1history url", L"0"));
  EXPECT_FALSE(ini.KeyExists(L"2history url", L"0"));
}
