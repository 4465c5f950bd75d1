// The dispatcher against a window stand-in: the order of the groups, the stop, the
// finder's configuration, the browser notices and the summary.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "catalogue/TraceOption.h"
#include "junk/FindInvalidFiles.h"
#include "scan/ScanTraces.h"
#include "sys/Registry.h"
#include "sys/Text.h"
#include "sys/Thread.h"
#include "tests/support/BrowserDatabases.h"
#include "tests/support/FakeScanWindow.h"
#include "tests/support/FakeSystem.h"
#include "tests/support/Sandbox.h"

using namespace testsupport;

namespace {

const wchar_t kRunMru[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU";
const wchar_t kLastVisited[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\LastVisitedMRU";
const wchar_t kTypedUrls[] = L"Software\\Microsoft\\Internet Explorer\\TypedURLs";
const wchar_t kPaint[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Paint\\Recent File List";

using Step = catalogue::OneKeyStep;

class ScanTracesTest : public SandboxTest {
 protected:
  void SetUp() override {
    sys::InitMainThread();
    folders = SandboxSystemFolders(sandbox);
    folders.special[CSIDL_SENDTO] = sandbox.dir(L"Profile\\SendTo");
    folders.special[CSIDL_COOKIES] = sandbox.dir(L"Profile\\Cookies");
    folders.special[CSIDL_COMMON_PROGRAMS] = sandbox.dir(L"All\\Programs");
    sandbox.file(L"All\\Programs\\Accessories.lnk");  // no empty folder to report
    UseSystem(6, 1);
  }
  void TearDown() override { WaitForFinder(); }

  void UseSystem(int major, int minor) {
    os = FakeSystem(major, minor);
    catalogue::BuildOptionTree(options, os, nullptr);
    catalogue::SetAllOptions(options, false);
    dispatcher.reset(new scan::ScanDispatcher(state, results, options, folders, os, window));
    dispatcher->onFinderReady = [this](junk::TFindInvalidFiles& f) {
      ++finders;
      cleanTemp = f.CleanTempFiles;
      logs = f.CleanLogFiles;
      thumbs = f.CleanThumbnailCache;
      errors = f.CleanErrorReports;
      shortcuts = f.CheckShortcuts;
      symantec = f.CleanSymantecLogs;
      acrobat = f.CleanAcrobatCache;
      ieMode = f.IECleanMode;
      excluded = f.ExcludedFolders;
      roots = f.RootFolders ? *f.RootFolders : std::vector<std::wstring>();
      emptyFolders = f.FindEmptyFolders && f.SkipLockedFiles && f.IncludeReadOnly &&
                     f.IncludeHidden && !f.IncludeSystem;
    };
  }

  void Check(const wchar_t* caption, model::CheckState s = model::CheckState::Checked) {
    model::TreeNode* n = catalogue::FindOption(options, caption);
    ASSERT_NE(nullptr, n) << caption;
    options.SetCheckState(n, s);
  }

  void WaitForFinder() {
    for (int i = 0; i < 3000 && state.finderRunning; ++i) {
      sys::ProcessMessages();
      Sleep(2);
    }
    sys::ProcessMessages();
  }

  std::vector<std::wstring> TopLevelLocations() const {
    std::vector<std::wstring> out;
    for (model::TreeNode* n = results.Tree().FirstTopLevel(); n; n = n->NextSibling())
      out.push_back(n->DataAs<catalogue::ResultItem>()->Location);
    return out;
  }

  machine::Folders folders;
  machine::TTarnOSInfo os = FakeSystem(6, 1);
  model::TreeModel options;
  catalogue::ResultModel results;
  catalogue::ScanState state;
  FakeScanWindow window;
  std::unique_ptr<scan::ScanDispatcher> dispatcher;

  int finders = 0, ieMode = -9;
  bool cleanTemp = false, logs = false, thumbs = false, errors = false, shortcuts = false,
       symantec = false, acrobat = false, emptyFolders = false;
  std::vector<std::wstring> excluded, roots;
};

}  // namespace

TEST_F(ScanTracesTest, NothingCheckedEndsAtOnceWithNoResult) {
  for (bool oneKey : {false, true}) {
    window.steps.clear();
    dispatcher->ScanTraces(oneKey);
    EXPECT_EQ(scan::kScanCaption, window.caption);
    EXPECT_FALSE(window.cleanEnabled);
    EXPECT_EQ(oneKey ? L"" : L"没有符合条件的项目。", window.status[0]);
    EXPECT_EQ(L"", window.status[1]);
    EXPECT_EQ(0, finders);
    EXPECT_TRUE(window.questions.empty());
    EXPECT_FALSE(state.scanning);
    EXPECT_EQ(2, state.ieCleanMode);
    std::vector<FakeScanWindow::StepCall> expected;
    if (oneKey)
      expected = {{Step::ScanStarted, 0, 0.0},         {Step::BrowsersScanned, 0, 0.0},
                  {Step::FinderPrepared, 0, 0.0},      {Step::SystemWalked, 0, 0.0},
                  {Step::ApplicationsScanned, 0, 0.0}, {Step::RegistryScanned, 0, 0.0},
                  {Step::ScanEnded, 0, 0.0}};
    EXPECT_EQ(expected, window.steps) << oneKey;
  }
}

// Each finder option is known by its own row, also where rows before it are absent.
TEST_F(ScanTracesTest, FinderIsConfiguredFromItsOwnRows) {
  struct Case {
    int major, minor;
    const wchar_t* option;
    bool temp, logs, thumbs, errors, shortcuts, symantec, acrobat;
  } cases[] = {
      {6, 1, L"临时文件", true, false, false, false, false, false, false},
      {6, 1, L"日志文件", false, true, false, false, false, false, false},
      {6, 1, L"缩略图缓存", false, false, true, false, false, false, false},
      {6, 1, L"Windows错误报告", false, false, false, true, false, false, false},
      {6, 1, L"桌面和菜单中无效的快捷方式", false, false, false, false, true, false, false},
      {5, 1, L"桌面和菜单中无效的快捷方式", false, false, false, false, true, false, false},
      {5, 1, L"日志文件", false, true, false, false, false, false, false},
      {6, 1, L"Symantec AntiVirus", false, false, false, false, false, true, false},
      {6, 1, L"Acrobat Reader阅读器", false, false, false, false, false, false, true},
  };
  for (const Case& c : cases) {
    UseSystem(c.major, c.minor);
    finders = 0;
    Check(c.option);
    dispatcher->ScanTraces(false);
    EXPECT_EQ(1, finders) << c.option;
    EXPECT_EQ(c.temp, cleanTemp) << c.option;
    EXPECT_EQ(c.temp, state.tempFilesRequested) << c.option;
    EXPECT_EQ(c.logs, logs) << c.option;
    EXPECT_EQ(c.thumbs, thumbs) << c.option;
    EXPECT_EQ(c.errors, errors) << c.option;
    EXPECT_EQ(c.shortcuts, shortcuts) << c.option;
    EXPECT_EQ(c.symantec, symantec) << c.option;
    EXPECT_EQ(c.acrobat, acrobat) << c.option;
    EXPECT_TRUE(emptyFolders) << c.option;
    WaitForFinder();
    EXPECT_FALSE(state.finderRunning) << c.option;
    EXPECT_EQ(scan::kScanCaption, window.caption) << c.option;
  }
  // The send-to, cookie and temporary folders are kept out, lower-cased; the unknown
  // Internet cache folder adds no empty fragment that would keep everything out.
  std::vector<std::wstring> expected = {sys::LowerCase(folders.Special(CSIDL_SENDTO)),
                                        sys::LowerCase(folders.Special(CSIDL_COOKIES)),
                                        sys::LowerCase(folders.temp)};
  ASSERT_GE(excluded.size(), 3u);
  EXPECT_EQ(expected, std::vector<std::wstring>(excluded.end() - 3, excluded.end()));
}

TEST_F(ScanTracesTest, ShortcutRootsAreTheCommonProgramsAndEveryFolderBelow) {
  sandbox.dir(L"All\\Programs\\Tools\\Old");
  Check(L"桌面和菜单中无效的快捷方式");
  dispatcher->ScanTraces(false);
  std::wstring programs = folders.Special(CSIDL_COMMON_PROGRAMS);
  std::vector<std::wstring> expected = {programs, programs + L"\\Tools",
                                        programs + L"\\Tools\\Old"};
  EXPECT_EQ(expected, roots);
}

TEST_F(ScanTracesTest, IEModeFollowsTheRadioItems) {
  struct Case {
    bool cacheChecked;
    const wchar_t* radio;
    int mode;
  } cases[] = {
      {true, L"全部IE缓存", 0},
      {true, L"IE缓存(不包括IE Cookie)", 1},
      {true, L"IE缓存(不包括IE Cookie和IE历史记录)", 2},
      {false, L"全部IE缓存", 2},
  };
  for (const Case& c : cases) {
    UseSystem(6, 1);
    if (c.cacheChecked) Check(L"IE缓存");
    Check(c.radio);
    Check(L"临时文件");
    dispatcher->ScanTraces(false);
    EXPECT_EQ(c.mode, state.ieCleanMode) << c.radio;
    EXPECT_EQ(c.mode, ieMode) << c.radio;
    WaitForFinder();
  }
}

TEST_F(ScanTracesTest, RunningBrowsersAreNoticedOnceAndSkippedInOneKeyMode) {
  const std::wstring firefox =
      L"说明：Firefox浏览器正在运行中，无法进行Firefox相关的清理，请关闭Firefox后点击“确定”。";
  const std::wstring chrome =
      L"Chrome浏览器正在运行中，无法进行相关的清理，请关闭Chrome后点击“确定”。";
  Check(L"FireFox 浏览历史");
  Check(L"Chrome 浏览历史");
  // Chrome is there: a browser that is not is never asked about.
  folders.special[CSIDL_LOCAL_APPDATA] = sandbox.dir(L"Local");
  sandbox.dir(L"Local\\Google\\Chrome\\User Data");
  struct Case {
    std::set<std::wstring> running;
    bool oneKey;
    std::vector<std::wstring> notices;
  } cases[] = {
      {{}, false, {}},
      {{L"firefox.exe"}, false, {firefox}},
      {{L"firefox.exe", L"chrome.exe"}, false, {firefox, chrome}},
      {{L"chrome.exe"}, false, {chrome}},
      {{L"firefox.exe", L"chrome.exe"}, true, {}},
  };
  for (const Case& c : cases) {
    window.notices.clear();
    window.running = c.running;
    dispatcher->ScanTraces(c.oneKey);
    EXPECT_EQ(c.notices, window.notices) << c.running.size() << c.oneKey;
  }
}

TEST_F(ScanTracesTest, ResultsGiveTheSummaryAndTheQuestion) {
  SetRegString(HKEY_CURRENT_USER, kRunMru, L"a", L"cmd\\1");
  SetRegString(HKEY_CURRENT_USER, kRunMru, L"b", L"notepad\\1");
  Check(L"运行(开始菜单中)");
  for (bool answer : {false, true}) {
    window.questions.clear();
    window.answer = answer;
    window.cleans = 0;
    dispatcher->ScanTraces(false);
    WaitForFinder();  // the system group started the finder; its end gives the summary
    ASSERT_EQ(2, results.ItemCount());
    EXPECT_TRUE(window.cleanEnabled);
    std::wstring text = L"共扫描分析到: 2 个可清理项，估计可以释放 0 Byte 的磁盘空间。";
    EXPECT_EQ(text, window.status[0]);
    EXPECT_EQ(L"", window.status[1]);
    ASSERT_EQ(1u, window.questions.size());
    EXPECT_EQ(text + L"\r要立即清理这些项目，请点击“确定”按钮。", window.questions[0]);
    EXPECT_EQ(answer ? 1 : 0, window.cleans);
  }
  // In one-key mode the summary reports the scan's end and asks nothing.
  window.questions.clear();
  window.steps.clear();
  dispatcher->ScanTraces(true);
  WaitForFinder();
  EXPECT_TRUE(window.questions.empty());
  ASSERT_EQ(7u, window.steps.size());
  EXPECT_EQ(std::make_tuple(Step::ScanEnded, 2, 0.0), window.steps.back());
}

// A press of the button while the system group runs: what was found stays, every later
// source is skipped, and the summary still comes.
TEST_F(ScanTracesTest, StopDuringTheSystemGroupKeepsWhatWasFound) {
  SetRegString(HKEY_CURRENT_USER, kTypedUrls, L"url1", L"http://a.example/");
  SetRegString(HKEY_CURRENT_USER, kRunMru, L"a", L"cmd\\1");
  SetRegString(HKEY_CURRENT_USER, kRunMru, L"b", L"notepad\\1");
  SetRegString(HKEY_CURRENT_USER, kLastVisited, L"x", L"y");
  SetRegString(HKEY_CURRENT_USER, kPaint, L"File1", L"c:\\a.bmp");
  for (const wchar_t* o : {L"IE地址栏中的历史网址记录", L"运行(开始菜单中)",
                           L"最近运行的程序历史记录", L"Windows画图", L"冗余动态链接库"})
    Check(o);
  bool stopped = false;
  window.onPump = [&] {
    // The first RunMRU value is in: the user presses "停止".
    if (!stopped && results.ItemCount() == 2 && window.caption == scan::kStopCaption) {
      stopped = true;
      dispatcher->ScanTraces(false);
      EXPECT_EQ(scan::kScanCaption, window.caption);
      EXPECT_TRUE(window.cleanEnabled);
      EXPECT_FALSE(state.scanning);
    }
  };
  dispatcher->ScanTraces(false);
  ASSERT_TRUE(stopped);
  // The finder was prepared before the stop; it is started and ended at once, and its
  // end gives the summary.
  EXPECT_EQ(1, finders);
  WaitForFinder();
  // The MRU walk finishes its key; the next sources never run.
  std::vector<std::wstring> expected = {kTypedUrls, kRunMru, kRunMru};
  EXPECT_EQ(expected, TopLevelLocations());
  ASSERT_EQ(1u, window.questions.size());
  EXPECT_TRUE(sys::StartsWith(window.questions[0], L"共扫描分析到: 3 个可清理项"));
}

// A stop while the finder still runs after the walk: it is ended, waited for, and its
// completion gives the summary.
TEST_F(ScanTracesTest, StopWhileTheFinderRunsWaitsForItAndSummarises) {
  for (int i = 0; i < 300; ++i) sandbox.file(L"Temp\\f" + std::to_wstring(i) + L".tmp", "abc");
  Check(L"临时文件");
  dispatcher->ScanTraces(false);
  ASSERT_EQ(1, finders);
  ASSERT_TRUE(state.finderRunning);
  EXPECT_EQ(scan::kStopCaption, window.caption);  // still scanning while the finder works
  EXPECT_FALSE(state.scanning);
  EXPECT_TRUE(window.questions.empty());
  dispatcher->ScanTraces(false);  // the button again
  EXPECT_FALSE(state.finderRunning);
  EXPECT_EQ(scan::kScanCaption, window.caption);
  int found = results.ItemCount();
  EXPECT_LT(found, 300);
  EXPECT_EQ(found > 0, window.cleanEnabled);
  if (found > 0) {
    ASSERT_EQ(1u, window.questions.size());
    EXPECT_EQ(3 * found, results.SizeTotal());
  }
}

// The window closing during a scan: the finder is ended and nothing is asked afterwards.
TEST_F(ScanTracesTest, AbandonEndsTheFinderWithoutSummary) {
  for (int i = 0; i < 300; ++i) sandbox.file(L"Temp\\f" + std::to_wstring(i) + L".tmp", "abc");
  Check(L"临时文件");
  dispatcher->ScanTraces(false);
  ASSERT_TRUE(state.finderRunning);
  dispatcher->Abandon();
  EXPECT_FALSE(state.finderRunning);
  EXPECT_FALSE(dispatcher->Busy());
  EXPECT_TRUE(window.questions.empty());
}

namespace {
// A Firefox profile whose one trace (an old cookie file) shows that Firefox was scanned.
class FirefoxDispatchTest : public ScanTracesTest {
 protected:
  void SetUp() override {
    ScanTracesTest::SetUp();
    home.Set(sandbox / L"Profile");
    sandbox.file(L"Profile\\Application Data\\Mozilla\\Firefox\\Profiles\\x.default\\cookies.txt");
    Check(L"FireFox Cookies");
  }
  bool FirefoxScanned() const {
    for (model::TreeNode* n = results.Tree().FirstTopLevel(); n; n = n->NextSibling())
      if (n->DataAs<catalogue::ResultItem>()->Text == L"cookies.txt") return true;
    return false;
  }
  ScopedEnvironment home{L"USERPROFILE"};
};
const wchar_t kMozillaKey[] = L"SOFTWARE\\Mozilla\\Mozilla Firefox";
}  // namespace

TEST_F(FirefoxDispatchTest, ARunningFirefoxIsToldOnceAndSkippedWhileItStillRuns) {
  CreateRegKey(HKEY_LOCAL_MACHINE, kMozillaKey);
  const std::wstring notice =
      L"说明：Firefox浏览器正在运行中，无法进行Firefox相关的清理，请关闭Firefox后点击“确定”。";
  const struct {
    const char* what;
    bool running, closedAtTheNotice, oneKey;
    size_t notices;
    bool scanned;
  } cases[] = {
      {"not running", false, false, false, 0, true},
      {"closed when told", true, true, false, 1, true},
      {"still running", true, false, false, 1, false},
      {"one-key mode", true, true, true, 0, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    window.notices.clear();
    window.running.clear();
    if (c.running) window.running.insert(L"firefox.exe");
    window.onNotice = [&] {
      if (c.closedAtTheNotice) window.running.erase(L"firefox.exe");
    };
    dispatcher->ScanTraces(c.oneKey);
    EXPECT_EQ(c.notices, window.notices.size());
    for (const std::wstring& n : window.notices) EXPECT_EQ(notice, n);
    EXPECT_EQ(c.scanned, FirefoxScanned());
  }
  window.onNotice = nullptr;
}

TEST_F(FirefoxDispatchTest, TheMozillaKeyCountsInEitherRegistryView) {
  sys::ScopedViewApis views;
  // A 64-bit machine: the 32-bit view keeps its keys below "Wow6432Node".
  auto model64 = [] {
    sys::RegViews().present = true;
    sys::RegViews().open = [](HKEY root, const std::wstring& path, REGSAM access,
                              sys::RegView view, HKEY* key) {
      std::wstring p = path;
      if (view == sys::RegView::Wow32 && sys::StartsWith(sys::LowerCase(p), L"software\\"))
        p.insert(9, L"Wow6432Node\\");
      return RegOpenKeyExW(root, p.c_str(), 0, access, key);
    };
  };
  const struct {
    const char* what;
    const wchar_t* key;
    bool views;
    bool scanned;
  } cases[] = {
      {"in the program's own view", kMozillaKey, false, true},
      {"only in the other view of a 64-bit machine", L"SOFTWARE\\Wow6432Node\\Mozilla\\Mozilla Firefox",
       true, true},
      {"in no view", L"SOFTWARE\\Mozilla\\Other", true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    sys::DeleteKeyTree(HKEY_LOCAL_MACHINE, L"SOFTWARE");
    CreateRegKey(HKEY_LOCAL_MACHINE, c.key);
    sys::RegViews() = sys::RegViewApi();
    if (c.views) model64();
    dispatcher->ScanTraces(false);
    EXPECT_EQ(c.scanned, FirefoxScanned());
  }
}

// Each Chromium-family browser is tested on its own: a running Edge is told about and
// skipped, Chrome beside it is scanned.
TEST_F(ScanTracesTest, ARunningEdgeSkipsOnlyEdge) {
  folders.special[CSIDL_LOCAL_APPDATA] = sandbox.dir(L"Local");
  folders.special[CSIDL_APPDATA] = sandbox.dir(L"Roaming");
  RealProfileSet p;
  ASSERT_TRUE(SeedRealProfiles(folders.Special(CSIDL_LOCAL_APPDATA), folders.Special(CSIDL_APPDATA),
                               sandbox / L"Mozilla", p));
  Check(L"Chrome 浏览历史");
  window.running = {L"msedge.exe"};
  for (bool oneKey : {false, true}) {
    window.notices.clear();
    dispatcher->ScanTraces(oneKey);
    std::vector<std::wstring> notices;
    if (!oneKey)
      notices.push_back(
          L"Microsoft Edge浏览器正在运行中，无法进行相关的清理，请关闭Microsoft Edge后点击“确定”。");
    EXPECT_EQ(notices, window.notices);
    int chrome = 0, edge = 0;
    for (model::TreeNode* n = results.Tree().FirstTopLevel(); n; n = n->NextSibling()) {
      const std::wstring where = n->DataAs<catalogue::ResultItem>()->Location;
      chrome += sys::StartsWith(where, p.chromeDefault) || sys::StartsWith(where, p.chromeProfile1);
      edge += sys::StartsWith(where, p.edgeDefault);
    }
    EXPECT_EQ(26, chrome) << oneKey;  // thirteen history items in each of two profiles
    EXPECT_EQ(0, edge) << oneKey;
    WaitForFinder();
  }
}

// A Firefox installed for the user alone registers below HKEY_CURRENT_USER; one that has
// run leaves its list of profiles. Either counts like the machine's key.
TEST_F(FirefoxDispatchTest, APerUserFirefoxOrItsListOfProfilesCountsToo) {
  const std::wstring list = sandbox / L"Profile\\Application Data\\Mozilla\\Firefox\\profiles.ini";
  const struct {
    const char* what;
    bool userKey, profileList, scanned;
  } cases[] = {
      {"neither", false, false, false},
      {"the user's key", true, false, true},
      {"the list of profiles", false, true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    sys::DeleteKeyTree(HKEY_CURRENT_USER, L"Software\\Mozilla");
    DeleteFileW(list.c_str());
    if (c.userKey) CreateRegKey(HKEY_CURRENT_USER, L"Software\\Mozilla\\Mozilla Firefox");
    if (c.profileList) sandbox.file(list.substr(sandbox.path().size() + 1), "[General]\r\n");
    dispatcher->ScanTraces(false);
    EXPECT_EQ(c.scanned, FirefoxScanned());
  }
}
