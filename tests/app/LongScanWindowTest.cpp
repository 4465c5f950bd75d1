// A scan of a temporary folder of 100,000 files from the window's scan button: findings
// reach the result tree while the finder still walks, the status line follows the walk,
// and the stop button, clicked in the middle of it, ends the walk with the summary.
// Long: seeding and removing the files takes most of its time.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/MainUnit.h"
#include "sys/SizeText.h"
#include "sys/Text.h"
#include "sys/Thread.h"
#include "tests/app/FormFixture.h"

using testsupport::TextOf;

namespace {

constexpr int kFolders = 250;
constexpr int kFilesPerFolder = 400;
constexpr int kFiles = kFolders * kFilesPerFolder;

class LongScanWindowTest : public testsupport::FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    form->BtnOverviewClick();
    Tick(L"临时文件");
    const std::wstring temp = sandbox.dir(L"Temp");
    for (int d = 0; d < kFolders; ++d) {
      std::wstring folder = temp + L"\\d" + std::to_wstring(d) + L"\\";
      ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
      for (int i = 0; i < kFilesPerFolder; ++i) {
        HANDLE h = CreateFileW((folder + L"f" + std::to_wstring(i) + L".tmp").c_str(),
                               GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        CloseHandle(h);
      }
    }
  }
  // One turn of the window's message loop: messages, then the finder's hand-overs.
  void PumpOnce() {
    HANDLE sync = sys::SyncEvent();
    MsgWaitForMultipleObjects(1, &sync, FALSE, 50, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (!IsDialogMessageW(form->Handle(), &msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    }
    sys::CheckSynchronize();
  }
};

}  // namespace

TEST_F(LongScanWindowTest, FindingsShowWhileTheWalkRunsAndTheStopButtonAnswers) {
  HWND scan = form->Component(L"ButtonScanTrace");
  Click(app::idButtonScanTrace, L"ButtonScanTrace");
  ASSERT_TRUE(form->scanState.finderRunning);
  // Pumped until the tree holds a thousand findings or the walk is over.
  int shownWhileRunning = 0;
  std::wstring treeWhileRunning, statusWhileRunning;
  while (form->scanState.finderRunning && shownWhileRunning < 1000) {
    PumpOnce();
    if (!form->scanState.finderRunning) break;
    shownWhileRunning = form->results.ItemCount();
    treeWhileRunning = TreeText(L"VTTraceResult");
    statusWhileRunning = Panel(0);
  }
  ASSERT_TRUE(form->scanState.finderRunning) << "the walk ended before its findings showed";
  EXPECT_NE(std::wstring::npos, treeWhileRunning.find(L"[x] f")) << sys::ToUtf8(treeWhileRunning);
  EXPECT_EQ(0u, statusWhileRunning.find(L"分析: ")) << sys::ToUtf8(statusWhileRunning);
  EXPECT_EQ(L"停止", TextOf(scan));

  // The stop comes through the queue, as a user's click does.
  PostMessageW(GetParent(scan), WM_COMMAND, MAKEWPARAM(app::idButtonScanTrace, BN_CLICKED),
               reinterpret_cast<LPARAM>(scan));
  while (boxes.empty()) PumpOnce();
  EXPECT_FALSE(form->scanState.finderRunning);
  EXPECT_EQ(L"扫描", TextOf(scan));
  const int items = form->results.ItemCount();
  EXPECT_GE(items, shownWhileRunning);
  EXPECT_LT(items, kFiles);  // the walk was cut short
  std::wstring summary = sys::Format(
      L"共扫描分析到: %d 个可清理项，估计可以释放 %s 的磁盘空间。", items,
      sys::FormatByteSize(form->results.SizeTotal()).c_str());
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ(summary + L"\r要立即清理这些项目，请点击“确定”按钮。", boxes[0]);
  EXPECT_EQ(summary, Panel(0));
}
