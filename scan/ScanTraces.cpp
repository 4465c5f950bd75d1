#include "scan/ScanTraces.h"

#include <shlobj.h>

#include "catalogue/TraceOption.h"
#include "junk/FindInvalidFiles.h"
#include "registry_scan/FindInvalidRegistry.h"
#include "scan/BrowserTraces.h"
#include "scan/WindowsHistory.h"
#include "sys/FileUtils.h"
#include "sys/Registry.h"
#include "sys/SizeText.h"
#include "sys/Text.h"
#include "sys/Thread.h"

namespace scan {

const wchar_t kScanCaption[] = L"扫描";
const wchar_t kStopCaption[] = L"停止";

namespace {
// Catalogue rows the dispatcher knows by number.
enum Row {
  kBrowserGroup = 1, kIESubgroup = 2, kIECache = 3, kTypedUrls = 7,
  kFirefoxSubgroup = 10, kFirefoxFirst = 11, kOperaSubgroup = 16, kOperaFirst = 17,
  kChromeSubgroup = 21, kChromeFirst = 22,
  kSystemGroup = 27, kTempFiles = 28, kLogFiles = 29, kThumbnails = 30, kErrorReports = 31,
  kShortcuts = 32, kSystemHistoryFirst = 33, kSystemHistoryLast = 42,
  kApplicationGroup = 44, kApplicationFirst = 45, kApplicationLast = 65, kAcrobat = 65,
  kSymantec = 66,
  kRegistryGroup = 67, kSharedDlls = 68, kSoftware = 69, kInstallers = 70, kUninstall = 71,
  kHelp = 72, kMenus = 73, kClasses = 74,
};
}  // namespace

ScanDispatcher::ScanDispatcher(ScanState& state, catalogue::ResultModel& results,
                               const ui::TreeModel& options, const sys::Folders& folders,
                               const sys::TTarnOSInfo& os, ScanWindow window)
    : state_(state),
      results_(results),
      options_(options),
      folders_(folders),
      os_(os),
      window_(std::move(window)) {}

ScanDispatcher::~ScanDispatcher() {
  if (state_.finderRunning) Abandon();
}

catalogue::ScanContext ScanDispatcher::Context() {
  return catalogue::ScanContext{
      results_, folders_, os_,
      [this] { return window_.buttonCaption() == kScanCaption; },
      [this] { window_.processMessages(); },
      [this](const std::wstring& text) { window_.setStatus(0, text); }};
}

bool ScanDispatcher::Running() const { return window_.buttonCaption() == kStopCaption; }

// Absent rows (a condition on the system failed) count as unchecked.
bool ScanDispatcher::Checked(int row) const {
  const catalogue::CatalogueRow* r = catalogue::CatalogueRowOf(row);
  const ui::TreeNode* n = r ? catalogue::FindOption(options_, r->caption) : nullptr;
  return n && ui::IsChecked(n->CheckState());
}

bool ScanDispatcher::On(int row) const {
  const catalogue::CatalogueRow* r = catalogue::CatalogueRowOf(row);
  return r && catalogue::OptionOn(catalogue::FindOption(options_, r->caption));
}

void ScanDispatcher::Report(int stage, int count, double kilobytes) {
  if (state_.oneKey && window_.oneKeyStep) window_.oneKeyStep(stage, count, kilobytes);
}

void ScanDispatcher::WaitForFinder() {
  while (state_.finderRunning) {
    window_.processMessages();
    if (!state_.finderRunning) break;
    // Woken by the finder's Synchronize (its end is one) or by any window message.
    HANDLE sync = sys::SyncEvent();
    MsgWaitForMultipleObjects(1, &sync, FALSE, 20, QS_ALLINPUT);
  }
}

void ScanDispatcher::StopBranch() {
  if (state_.finderRunning && finder_) finder_->Terminate();
  WaitForFinder();
  window_.setButtonCaption(kScanCaption);
  state_.scanning = false;
  window_.enableClean(results_.ItemCount() > 0);
}

void ScanDispatcher::Abandon() {
  abandoned_ = true;
  StopBranch();
}

namespace {
struct DepthScope {
  int& depth;
  explicit DepthScope(int& d) : depth(d) { ++depth; }
  ~DepthScope() { --depth; }
};
}  // namespace

void ScanDispatcher::ScanTraces(bool oneKey) {
  if (window_.buttonCaption() != kScanCaption) {
    StopBranch();
    return;
  }
  // A stopped scan still unwinding, its summary, or a clean: a new scan would free the
  // findings they hold.
  if (Busy() || state_.cleaning) return;
  DepthScope depth(depth_);
  abandoned_ = false;
  // 1.-2.
  window_.setButtonCaption(kStopCaption);
  state_.scanning = true;
  window_.enableClean(false);
  state_.oneKey = oneKey;
  Report(0);
  results_.ResetSize();
  state_.ieCleanMode = 2;
  results_.Clear();
  window_.resetResultImages();
  state_.tempFilesRequested = false;
  window_.setStatus(0, L"");
  window_.setStatus(1, L"");
  // 3.-4. The browser group runs to its end even when stopped meanwhile.
  if (On(kBrowserGroup)) BrowserGroup();
  Report(1);
  // 5.-6.
  junk::TFindInvalidFiles* finder = nullptr;
  if (Running() && (On(kSystemGroup) || Checked(kSymantec) || Checked(kAcrobat)))
    finder = PrepareFinder();
  Report(2);
  // 7.-9.
  if (On(kSystemGroup) && Running()) SystemGroup(finder);
  if (finder) {
    if (onFinderReady) onFinderReady(*finder);
    finder_ = finder;
    state_.finderRunning = true;
    finder->Resume();
    if (window_.buttonCaption() == kScanCaption) finder->Terminate();
  }
  Report(3);
  // 10.-13.
  if (On(kApplicationGroup) && Running()) ApplicationGroup();
  Report(4);
  if (On(kRegistryGroup) && Running()) RegistryGroup();
  Report(5);
  state_.scanning = false;
  // 14. A finder still at work makes the summary when it ends.
  if (state_.finderRunning || abandoned_) return;
  Summary();
  Trim();
}

bool ScanDispatcher::BrowserMayBeScanned(const wchar_t* process, const wchar_t* message) {
  if (!window_.isProcessRunning(process)) return true;
  if (state_.oneKey) return false;
  window_.notice(message);
  return !window_.isProcessRunning(process);
}

void ScanDispatcher::BrowserGroup() {
  catalogue::ScanContext ctx = Context();
  if (On(kIESubgroup)) {
    if (Checked(kIECache)) {
      int radio = catalogue::CheckedIEMode(options_);
      state_.ieCleanMode = radio == 0 ? 0 : radio == 1 ? 1 : 2;
      ScanIECache(ctx, state_.ieCleanMode, false);
    }
    if (Checked(kTypedUrls)) ScanHistorySource(ctx, kTypedUrls);
  }
  if (On(kFirefoxSubgroup) &&
      BrowserMayBeScanned(L"firefox.exe",
                          L"说明：Firefox浏览器正在运行中，无法进行Firefox相关的清理，"
                          L"请关闭Firefox后点击“确定”。")) {
    bool f[5];
    for (int i = 0; i < 5; ++i) f[i] = Checked(kFirefoxFirst + i);
    window_.processMessages();
    // A 64-bit Firefox registers in the registry view a 32-bit program does not see.
    if (sys::RegKeyExistsInAnyView(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Mozilla\\Mozilla Firefox"))
      ScanFirefox(ctx, f[0], f[1], f[2], f[3], f[4]);
  }
  if (On(kOperaSubgroup)) {
    bool f[4];
    for (int i = 0; i < 4; ++i) f[i] = Checked(kOperaFirst + i);
    window_.processMessages();
    ScanOpera(ctx, f[0], f[1], f[2], f[3]);
  }
  if (On(kChromeSubgroup) &&
      BrowserMayBeScanned(L"chrome.exe",
                          L"Chrome浏览器正在运行中，无法进行相关的清理，请关闭Chrome后点击“确定”。")) {
    bool f[5];
    for (int i = 0; i < 5; ++i) f[i] = Checked(kChromeFirst + i);
    window_.processMessages();
    ScanChrome(ctx, f[0], f[1], f[2], f[3], f[4]);
  }
}

junk::TFindInvalidFiles* ScanDispatcher::PrepareFinder() {
  auto* finder = new junk::TFindInvalidFiles(
      results_, folders_, os_.MajorVersion,
      [this](const std::wstring& text) { window_.setStatus(0, text); });
  finder->FreeOnTerminate = true;
  finder->OnTerminate = [this, finder] {
    if (window_.runHandler) window_.runHandler([this, finder] { FinderTerminated(finder); });
    else FinderTerminated(finder);
  };
  // An empty fragment would occur in every path and keep the whole walk out.
  auto exclude = [finder](const std::wstring& path) {
    if (!path.empty()) finder->ExcludedFolders.push_back(sys::LowerCase(path));
  };
  exclude(folders_.Special(CSIDL_SENDTO));
  exclude(folders_.Special(CSIDL_INTERNET_CACHE));
  exclude(folders_.Special(CSIDL_COOKIES));
  exclude(folders_.temp);
  finder->CleanSymantecLogs = Checked(kSymantec);
  finder->CleanAcrobatCache = Checked(kAcrobat);
  finder->FindEmptyFolders = true;
  finder->SkipLockedFiles = true;
  finder->IncludeReadOnly = true;
  finder->IncludeSystem = false;
  finder->IncludeHidden = true;
  finder->IECleanMode = state_.ieCleanMode;
  return finder;
}

void ScanDispatcher::SystemGroup(junk::TFindInvalidFiles* finder) {
  catalogue::ScanContext ctx = Context();
  auto wanted = [this](int row) { return Checked(row) && Running(); };
  if (wanted(kTempFiles)) {
    if (finder) finder->CleanTempFiles = true;
    state_.tempFilesRequested = true;
    ScanHistorySource(ctx, kTempFiles);
  }
  if (wanted(kLogFiles) && finder) finder->CleanLogFiles = true;
  if (wanted(kThumbnails) && finder) finder->CleanThumbnailCache = true;
  if (wanted(kErrorReports) && finder) finder->CleanErrorReports = true;
  if (wanted(kShortcuts) && finder) {
    std::wstring programs = folders_.Special(CSIDL_COMMON_PROGRAMS);
    finder->RootFolders.reset(new std::vector<std::wstring>{programs});
    std::vector<std::wstring> below;
    if (!programs.empty()) sys::ListSubfolders(programs, below);
    for (const std::wstring& folder : below) {
      if (window_.buttonCaption() == kScanCaption) break;
      finder->RootFolders->push_back(folder);
    }
    finder->CheckShortcuts = true;
  }
  for (int row = kSystemHistoryFirst; row <= kSystemHistoryLast; ++row)
    if (wanted(row)) ScanHistorySource(ctx, row);
}

void ScanDispatcher::ApplicationGroup() {
  catalogue::ScanContext ctx = Context();
  for (int row = kApplicationFirst; row <= kApplicationLast; ++row)
    if (Checked(row) && Running()) ScanHistorySource(ctx, row);
}

void ScanDispatcher::RegistryGroup() {
  catalogue::ScanContext ctx = Context();
  auto wanted = [this](int row) { return Checked(row) && Running(); };
  if (wanted(kSharedDlls)) registry_scan::ScanSharedDlls(ctx);
  if (wanted(kSoftware)) registry_scan::ScanSoftwareKeys(ctx);
  if (wanted(kInstallers)) registry_scan::ScanInstallerFolders(ctx);
  if (wanted(kUninstall)) registry_scan::ScanUninstallEntries(ctx);
  if (wanted(kHelp)) registry_scan::ScanHelpFiles(ctx);
  if (wanted(kMenus)) {
    registry_scan::ScanStartMenuOrder(ctx);
    for (const wchar_t* cls : {L"*", L"Directory", L"Folder", L"Drive"})
      if (Running()) registry_scan::ScanContextMenuHandlers(ctx, cls);
  }
  if (wanted(kClasses)) registry_scan::ScanFileClasses(ctx);
}

void ScanDispatcher::FinderTerminated(junk::TFindInvalidFiles* sender) {
  if (state_.finderRunning) results_.AddSize(sender->FoundBytes);
  state_.finderRunning = false;
  if (finder_ == sender) finder_ = nullptr;  // it frees itself after this handler
  if (!state_.scanning && !abandoned_ && depth_ == 0) {
    DepthScope depth(depth_);
    Summary();
    Trim();
  }
}

void ScanDispatcher::Summary() {
  window_.setButtonCaption(kScanCaption);
  if (results_.ItemCount() > 0) {
    window_.enableClean(true);
    std::wstring size = sys::FormatByteSize(results_.SizeTotal());
    auto summaryText = [&] {
      return sys::Format(L"共扫描分析到: %d 个可清理项，估计可以释放 %s 的磁盘空间。",
                         results_.ItemCount(), size.c_str());
    };
    // In one-key mode stage 6 runs the whole clean: the scan's line comes first there, so
    // that the clean's own last line is what stays.
    if (state_.oneKey) {
      window_.setStatus(0, summaryText());
      window_.setStatus(1, L"");
    }
    Report(6, results_.ItemCount(), double(results_.SizeTotal()) / 1024.0);
    std::wstring text = summaryText();
    if (!state_.oneKey) {
      window_.setStatus(0, text);
      window_.setStatus(1, L"");
    }
    if (!state_.oneKey &&
        window_.askClean(text + L"\r" + L"要立即清理这些项目，请点击“确定”按钮。"))
      window_.startClean();
  } else {
    window_.enableClean(false);
    window_.setStatus(0, state_.oneKey ? L"" : L"没有符合条件的项目。");
    window_.setStatus(1, L"");
    Report(6, 0, 0);
  }
}

void ScanDispatcher::Trim() {
  try {
    if (window_.trimWorkingSet) window_.trimWorkingSet();
  } catch (...) {
  }
}

}  // namespace scan
