// The demo machine's traces seeded into a sandbox, then a scan with the browsers, the
// system and the application groups on: every trace must be found.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "catalogue/TraceOption.h"
#include "sys/Text.h"
#include "sys/Thread.h"
#include "tests/app/FormFixture.h"
#include "tests/support/DemoMachine.h"

namespace {


class DemoScanTest : public testsupport::FormTest {};

}  // namespace

TEST_F(DemoScanTest, TheBrowserSystemAndApplicationGroupsFindEverySeededTrace) {
  machine::Folders& f = machine::AppFolders();
  f.special[CSIDL_APPDATA] = sandbox.dir(L"Profile\\Roaming");
  f.special[CSIDL_LOCAL_APPDATA] = sandbox.dir(L"Profile\\Local");
  f.special[CSIDL_RECENT] = sandbox.dir(L"Profile\\Recent");
  f.special[CSIDL_PROGRAM_FILES] = sandbox.dir(L"Program Files");
  testsupport::ScopedEnvironment local(L"Localappdata", f.special[CSIDL_LOCAL_APPDATA]);
  testsupport::ScopedEnvironment home(L"USERPROFILE", f.Profile());
  testsupport::ScopedEnvironment appData(L"APPDATA", f.special[CSIDL_APPDATA]);
  machine::TTarnOSInfo os;
  std::vector<testsupport::DemoTrace> traces = testsupport::SeedDemoMachine(
      f, f.special[CSIDL_LOCAL_APPDATA], os.MajorVersion, os.IsWow64);
  ASSERT_GE(traces.size(), 70u);

  Tick(L"FireFox 清理");
  Tick(L"Opera 历史记录清理");
  Tick(L"Chrome 清理");
  Tick(L"系统历史痕迹和临时文件");
  Tick(L"应用程序历史记录");
  form->BtnOverviewClick();
  Click(app::idButtonScanTrace, L"ButtonScanTrace");
  for (int i = 0; i < 3000 && form->scanState.finderRunning; ++i) {
    sys::ProcessMessages();
    Sleep(2);
  }
  ASSERT_FALSE(form->scanState.finderRunning);

  std::vector<std::wstring> found;
  for (model::TreeNode* n = form->results.Tree().FirstTopLevel(); n; n = n->NextSibling()) {
    const catalogue::ResultItem* r = n->DataAs<catalogue::ResultItem>();
    found.push_back(sys::LowerCase(r->Text + L"|" + r->Location));
  }
  for (const testsupport::DemoTrace& t : traces) {
    std::wstring want = sys::LowerCase(t.text + L"|" + t.location);
    EXPECT_NE(found.end(), std::find(found.begin(), found.end(), want)) << sys::ToUtf8(want);
  }
  // Each seeded value and file is one item of its own, found once.
  for (const testsupport::DemoTrace& t : traces) {
    std::wstring want = sys::LowerCase(t.text + L"|" + t.location);
    auto seeded = std::count_if(traces.begin(), traces.end(), [&](const testsupport::DemoTrace& o) {
      return sys::LowerCase(o.text + L"|" + o.location) == want;
    });
    EXPECT_EQ(seeded, std::count(found.begin(), found.end(), want)) << sys::ToUtf8(want);
  }
  ASSERT_EQ(1u, boxes.size());  // the summary's question
}
