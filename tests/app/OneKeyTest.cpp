// The one-key clean from the home page's link in a real window on a seeded sandbox: the
// progress rows and bar, the clean without questions, the statistics, a second run, the
// cancel while the finder runs, and the power-off.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/MainUnit.h"
#include "catalogue/TraceOption.h"
#include "sys/FileSearch.h"
#include "machine/Folders.h"
#include "sys/ProfileIni.h"
#include "sys/Registry.h"
#include "machine/TarnGetOSInfo.h"
#include "sys/Text.h"
#include "sys/Thread.h"
#include "tests/app/FormFixture.h"
#include "tests/support/Sandbox.h"

using testsupport::TextOf;

namespace {

const wchar_t kRunMru[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU";

class OneKeyTest : public testsupport::FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    testsupport::SetRegString(HKEY_CURRENT_USER, kRunMru, L"a", L"cmd\\1");
  }
  std::wstring Panel0() { return Panel(0); }
  int Progress() {
    return int(SendMessageW(form->Component(L"ProgressBar1"), PBM_GETPOS, 0, 0));
  }
  bool Visible(const wchar_t* name) { return IsWindowVisible(form->Component(name)) != FALSE; }
};

}  // namespace

TEST_F(OneKeyTest, ScansCleansAndKeepsTheStatistics) {
  Tick(L"运行(开始菜单中)");
  Tick(L"临时文件");
  std::wstring junk = sandbox.file(L"Temp\\old.tmp", "12345678");
  Click(app::idLabel10, L"Label10");
  RunUntilIdle();
  EXPECT_TRUE(boxes.empty());
  EXPECT_FALSE(sys::FileExists(junk));
  sys::RegKey mru;
  ASSERT_EQ(ERROR_SUCCESS, mru.OpenRead(HKEY_CURRENT_USER, kRunMru));
  EXPECT_FALSE(mru.ValueExists(L"a"));
  EXPECT_EQ(L"一键清理的项目有：\t\r\n"
            L"\t网络临时文件\t清理完成\r\n"
            L"\t系统历史痕迹和临时文件\t清理完成\r\n"
            L"\t应用程序历史记录\t清理完成\r\n"
            L"\t注册表冗余信息\t清理完成\r\n",
            TreeText(L"VTCleanResult"));
  EXPECT_EQ(11, Progress());  // a full run never reaches 12
  EXPECT_EQ(L"恭喜您！已成功清理了垃圾文件和上网痕迹。", TextOf(form->Component(L"Label4")));
  EXPECT_TRUE(sys::StartsWith(TextOf(form->Component(L"Label5")), L"本次清理结果：已清除 2 个"));
  EXPECT_EQ(L"清理完毕！", Panel0());
  EXPECT_TRUE(Visible(L"lblReClean"));
  EXPECT_TRUE(Visible(L"Panel6"));
  EXPECT_FALSE(Visible(L"Panel7"));
  EXPECT_FALSE(Visible(L"chkAutoShutdown"));
  EXPECT_TRUE(IsWindowEnabled(form->Component(L"Panel1")));
  sys::ProfileIni ini(form->settingsFile);
  EXPECT_EQ(2, ini.ReadInteger(L"TraceScanOption", L"PreviousCleanCount", 0));
  EXPECT_EQ(2, ini.ReadInteger(L"TraceScanOption", L"TotalCleanCount", 0));
  EXPECT_TRUE(ini.KeyExists(L"TraceScanOption", L"PreviousCleanDate2"));
  EXPECT_EQ(0, shutdowns);

  // Again in the same run: the results refuse new items, nothing is deleted.
  testsupport::SetRegString(HKEY_CURRENT_USER, kRunMru, L"b", L"notepad\\1");
  Click(app::idLblReClean, L"lblReClean");
  RunUntilIdle();
  EXPECT_EQ(L"您的电脑状况良好，无需进行系统清理", TextOf(form->Component(L"Label4")));
  EXPECT_EQ(L"您的电脑状况良好，无需进行系统清理", Panel0());
  EXPECT_EQ(7, Progress());
  mru.Close();
  ASSERT_EQ(ERROR_SUCCESS, mru.OpenRead(HKEY_CURRENT_USER, kRunMru));
  EXPECT_TRUE(mru.ValueExists(L"b"));
  EXPECT_EQ(2, sys::ProfileIni(form->settingsFile)
                   .ReadInteger(L"TraceScanOption", L"TotalCleanCount", 0));
  EXPECT_TRUE(boxes.empty());
}

TEST_F(OneKeyTest, NothingFoundEndsWellWithoutStatistics) {
  Click(app::idLabel10, L"Label10");
  RunUntilIdle();
  EXPECT_EQ(L"您的电脑状况良好，无需进行系统清理", TextOf(form->Component(L"Label4")));
  EXPECT_EQ(7, Progress());
  EXPECT_FALSE(sys::FileExists(form->settingsFile));
  EXPECT_TRUE(boxes.empty());
}

TEST_F(OneKeyTest, CancelWhileTheFinderRunsCleansNothing) {
  Tick(L"运行(开始菜单中)");
  Tick(L"临时文件");
  for (int i = 0; i < 400; ++i) sandbox.file(L"Temp\\f" + std::to_wstring(i) + L".tmp", "abcd");
  Click(app::idLabel10, L"Label10");
  ASSERT_TRUE(form->scanState.finderRunning);
  Click(app::idButton1, L"Button1");
  EXPECT_FALSE(form->scanState.finderRunning);
  RunUntilIdle();
  EXPECT_TRUE(sys::FileExists(sandbox / L"Temp\\f0.tmp"));
  EXPECT_TRUE(sys::FileExists(sandbox / L"Temp\\f399.tmp"));
  EXPECT_EQ(0, form->results.ItemCount());
  EXPECT_EQ(L"本次清理没有完成，建议立即进行一键清理", TextOf(form->Component(L"Label4")));
  EXPECT_TRUE(Visible(L"Label10"));
  EXPECT_FALSE(Visible(L"VTCleanResult"));
  EXPECT_FALSE(sys::ProfileIni(form->settingsFile)
                   .KeyExists(L"TraceScanOption", L"PreviousCleanCount"));
  EXPECT_TRUE(boxes.empty());
}

TEST_F(OneKeyTest, AutoShutdownWritesTheStatisticsThenSwitchesOff) {
  Tick(L"运行(开始菜单中)");
  SendMessageW(form->Component(L"chkAutoShutdown"), BM_SETCHECK, BST_CHECKED, 0);
  Click(app::idLabel10, L"Label10");
  RunUntilIdle();
  EXPECT_EQ(1, shutdowns);
  EXPECT_EQ(1, sys::ProfileIni(form->settingsFile)
                   .ReadInteger(L"TraceScanOption", L"PreviousCleanCount", 0));
  // The home page stays as it was during the run.
  EXPECT_EQ(L"正在进行一键清理，请稍候......", TextOf(form->Component(L"Label4")));
}

// What the user sees after each step of a run: the rows, the bar, whether it can still be
// cancelled. A second run finds nothing new and ends where the scan ends.
TEST_F(OneKeyTest, EachStepShowsItsRowsAndMovesTheBar) {
  using S = catalogue::OneKeyStep;
  const wchar_t *scanning = L"正在扫描中...", *scanned = L"扫描完成", *cleaning = L"正在清理中...",
                *cleaned = L"清理完成";
  // The rows below the root in the order they appear, each with its state.
  auto rows = [](std::initializer_list<const wchar_t*> states) {
    const wchar_t* titles[] = {L"网络临时文件", L"系统历史痕迹和临时文件", L"应用程序历史记录",
                               L"注册表冗余信息"};
    std::wstring text = L"一键清理的项目有：\t\r\n";
    int i = 0;
    for (const wchar_t* s : states) text += std::wstring(L"\t") + titles[i++] + L"\t" + s + L"\r\n";
    return text;
  };
  struct Seen {
    S step;
    std::wstring rows;
    int bar;
    bool cancellable;
  };
  const std::vector<Seen> scan = {
      {S::ScanStarted, rows({scanning}), 1, true},
      {S::BrowsersScanned, rows({scanned, scanning}), 2, true},
      {S::FinderPrepared, rows({scanned, scanning}), 3, true},
      {S::SystemWalked, rows({scanned, scanning, scanning}), 4, true},
      {S::ApplicationsScanned, rows({scanned, scanning, scanned, scanning}), 5, true},
      {S::RegistryScanned, rows({scanned, scanning, scanned, scanned}), 6, true},
      {S::ScanEnded, rows({scanned, scanned, scanned, scanned}), 7, true},
  };
  std::vector<Seen> full = scan;
  full.insert(full.end(),
              {{S::CleanStarted, rows({cleaning, scanned, scanned, scanned}), 8, false},
               {S::DeletionStarting, rows({cleaning, scanned, scanned, cleaning}), 9, false},
               {S::IECachePassed, rows({cleaned, cleaning, cleaning, cleaning}), 10, false},
               {S::ItemsDeleted, rows({cleaned, cleaning, cleaned, cleaned}), 11, false},
               {S::CleanFinished, rows({cleaned, cleaned, cleaned, cleaned}), 11, false}});
  std::vector<Seen> again = scan;
  again.push_back({S::NothingToClean, rows({scanned, scanned, scanned, scanned}), 7, true});

  std::vector<Seen> seen;
  form->OneKey().onStepShown = [&](S step) {
    seen.push_back({step, TreeText(L"VTCleanResult"), Progress(),
                    IsWindowEnabled(form->Component(L"Button1")) != FALSE});
  };
  Tick(L"运行(开始菜单中)");
  Tick(L"临时文件");
  sandbox.file(L"Temp\\old.tmp", "12345678");
  for (const auto& run : {std::make_pair(app::idLabel10, L"Label10"),
                          std::make_pair(app::idLblReClean, L"lblReClean")}) {
    SCOPED_TRACE(run.second);
    seen.clear();
    Click(run.first, run.second);
    RunUntilIdle();
    const std::vector<Seen>& expected = run.first == app::idLabel10 ? full : again;
    ASSERT_EQ(expected.size(), seen.size());
    for (size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(expected[i].step, seen[i].step) << i;
      EXPECT_EQ(expected[i].rows, seen[i].rows) << i;
      EXPECT_EQ(expected[i].bar, seen[i].bar) << i;
      EXPECT_EQ(expected[i].cancellable, seen[i].cancellable) << i;
    }
  }
}
