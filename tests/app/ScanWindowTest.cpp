// A real scan from the window's scan button on a seeded sandbox: the button as stop
// signal while the finder runs, the summary, and a close in the middle of it.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "app/MainUnit.h"
#include "catalogue/TraceOption.h"
#include "sys/FileSearch.h"
#include "machine/Folders.h"
#include "sys/SizeText.h"
#include "machine/TarnGetOSInfo.h"
#include "sys/Text.h"
#include "tests/app/FormFixture.h"
#include "tests/support/Sandbox.h"

using testsupport::TextOf;

namespace {

class ScanWindowTest : public testsupport::FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    machine::AppFolders().special[CSIDL_PROGRAMS] = sandbox.dir(L"Profile\\Programs");
    form->BtnOverviewClick();
    Tick(L"临时文件");
    Tick(L"运行(开始菜单中)");
    testsupport::SetRegString(HKEY_CURRENT_USER,
                              L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU",
                              L"a", L"cmd\\1");
    // Enough files that the finder is still at work when the walk of the options ends:
    // each finding waits for the window.
    for (int i = 0; i < 400; ++i) sandbox.file(L"Temp\\f" + std::to_wstring(i) + L".tmp", "abcd");
  }
  void ClickScan() { Click(app::idButtonScanTrace, L"ButtonScanTrace"); }
};

}  // namespace

TEST_F(ScanWindowTest, TheButtonStopsTheRunningFinderAndTheSummaryFollows) {
  HWND scan = form->Component(L"ButtonScanTrace");
  HWND clean = form->Component(L"ButtonDelAllTrace");
  ClickScan();
  // The options are walked; the finder goes on and the button still reads "停止".
  ASSERT_TRUE(form->scanState.finderRunning);
  EXPECT_FALSE(form->scanState.scanning);
  EXPECT_TRUE(form->scanState.tempFilesRequested);
  EXPECT_EQ(L"停止", TextOf(scan));
  EXPECT_FALSE(IsWindowEnabled(clean));
  EXPECT_TRUE(boxes.empty());
  ClickScan();  // stop
  EXPECT_FALSE(form->scanState.finderRunning);
  EXPECT_EQ(L"扫描", TextOf(scan));
  int items = form->results.ItemCount();
  ASSERT_GE(items, 1);     // at least the RunMRU value
  EXPECT_LT(items, 401);   // the walk was cut short
  EXPECT_TRUE(IsWindowEnabled(clean));
  // The finder's end made the summary, with its bytes in the total.
  std::wstring summary = sys::Format(
      L"共扫描分析到: %d 个可清理项，估计可以释放 %s 的磁盘空间。", items,
      sys::FormatByteSize(form->results.SizeTotal()).c_str());
  EXPECT_EQ(4 * (items - 1), form->results.SizeTotal());
  EXPECT_EQ(summary, Panel(0));
  EXPECT_EQ(L"", Panel(1));
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ(summary + L"\r要立即清理这些项目，请点击“确定”按钮。", boxes[0]);
  // The result tree shows the registry item and the files.
  std::wstring tree = TreeText(L"VTTraceResult");
  EXPECT_NE(std::wstring::npos, tree.find(L"[x] HKEY_CURRENT_USER\t"));
  if (items > 1) {
    EXPECT_NE(std::wstring::npos, tree.find(L".tmp\t"));
  }
}

TEST_F(ScanWindowTest, ClosingWhileTheFinderRunsWaitsForItAndAsksNothing) {
  ClickScan();
  ASSERT_TRUE(form->scanState.finderRunning);
  SendMessageW(form->Handle(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(form->Destroyed());
  EXPECT_FALSE(form->scanState.finderRunning);
  EXPECT_TRUE(boxes.empty());
}

// The close arrives while the clean pumps: the clean ends after its current item, then
// the window goes.
TEST_F(ScanWindowTest, ClosingDuringACleanEndsItAfterTheCurrentItem) {
  std::wstring first = sandbox.file(L"Temp\\one.tmp");
  std::wstring second = sandbox.file(L"Temp\\two.tmp");
  for (const wchar_t* name : {L"one.tmp", L"two.tmp"})
    form->results.AddResultNode(&form->results.Tree(), name, nullptr, 7,
                                catalogue::ResultKind::File, L"", sandbox / L"Temp");
  okCancelAnswer = IDOK;  // yes, clean
  PostMessageW(form->Handle(), WM_CLOSE, 0, 0);
  Click(app::idButtonDelAllTrace, L"ButtonDelAllTrace");
  MSG msg;
  for (int i = 0; i < 100 && !form->Destroyed(); ++i)
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  EXPECT_TRUE(form->Destroyed());
  EXPECT_FALSE(sys::FileExists(first));
  EXPECT_TRUE(sys::FileExists(second));
  EXPECT_EQ(std::vector<std::wstring>{L"说明：将要清理扫描到的项目，确定吗？"}, boxes);
}
