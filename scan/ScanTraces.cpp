#include "scan/ScanTraces.h"

#include <shlobj.h>

#include <map>

#include "browsers/ChromiumBrowsers.h"
#include "browsers/IECache.h"
#include "catalogue/TraceOption.h"
#include "junk/FindInvalidFiles.h"
#include "registry_scan/FindInvalidRegistry.h"
#include "scan/BrowserTraces.h"
#include "scan/WindowsHistory.h"
#include "sys/FileUtils.h"
#include "sys/Handles.h"
#include "sys/Registry.h"
#include "sys/SizeText.h"
#include "sys/Text.h"
#include "sys/Thread.h"
#include "machine/TarnGetOSInfo.h"

namespace scan {

const wchar_t kScanCaption[] = L"扫描";
const wchar_t kStopCaption[] = L"停止";

using catalogue::OneKeyStep;
using catalogue::OptionId;

ScanDispatcher::ScanDispatcher(catalogue::ScanState& state, catalogue::ResultModel& results,
                               const model::TreeModel& options, const machine::Folders& folders,
                               const machine::TTarnOSInfo& os, ScanWindow& window)
    : state_(state),
      results_(results),
      options_(options),
      folders_(folders),
      os_(os),
      window_(window) {}

ScanDispatcher::~ScanDispatcher() {
  if (state_.finderRunning) Abandon();
}

catalogue::ScanContext ScanDispatcher::Context() {
  return catalogue::ScanContext{
      results_, folders_, os_,
      [this] { return window_.ButtonCaption() == kScanCaption; },
      [this] { window_.ProcessMessages(); },
      [this](const std::wstring& text) { window_.SetStatus(0, text); }};
}

bool ScanDispatcher::Running() const { return window_.ButtonCaption() == kStopCaption; }

// Absent rows (a condition on the system failed) count as unchecked.
bool ScanDispatcher::Checked(OptionId id) const { return catalogue::OptionChecked(options_, id); }

bool ScanDispatcher::On(OptionId id) const { return catalogue::OptionOn(options_, id); }

void ScanDispatcher::Report(OneKeyStep step, int count, double kilobytes) {
  if (state_.oneKey) window_.OneKeyStepReached(step, count, kilobytes);
}

void ScanDispatcher::WaitForFinder() {
  while (state_.finderRunning) {
    window_.ProcessMessages();
    if (!state_.finderRunning) break;
    // Woken by the finder's Synchronize (its end is one) or by any window message.
    HANDLE sync = sys::SyncEvent();
    MsgWaitForMultipleObjects(1, &sync, FALSE, 20, QS_ALLINPUT);
  }
}

void ScanDispatcher::StopBranch() {
  if (state_.finderRunning && finder_) finder_->Terminate();
  WaitForFinder();
  window_.SetButtonCaption(kScanCaption);
  state_.scanning = false;
  window_.EnableClean(results_.ItemCount() > 0);
}

void ScanDispatcher::Abandon() {
  abandoned_ = true;
  StopBranch();
}

void ScanDispatcher::ScanTraces(bool oneKey) {
  if (window_.ButtonCaption() != kScanCaption) {
    StopBranch();
    return;
  }
  // A stopped scan still unwinding, its summary, or a clean: a new scan would free the
  // findings they hold.
  if (Busy() || state_.cleaning) return;
  ++depth_;
  sys::ScopeExit depth([this] { --depth_; });
  abandoned_ = false;
  BeginScan(oneKey);
  // The browser group runs to its end even when stopped meanwhile.
  if (On(OptionId::BrowserGroup)) BrowserGroup();
  Report(OneKeyStep::BrowsersScanned);
  junk::TFindInvalidFiles* finder = FinderIfWanted();
  Report(OneKeyStep::FinderPrepared);
  if (On(OptionId::SystemGroup) && Running()) SystemGroup(finder);
  if (finder) StartFinder(finder);
  Report(OneKeyStep::SystemWalked);
  if (On(OptionId::ApplicationGroup) && Running()) ApplicationGroup();
  Report(OneKeyStep::ApplicationsScanned);
  if (On(OptionId::RegistryGroup) && Running()) RegistryGroup();
  Report(OneKeyStep::RegistryScanned);
  state_.scanning = false;
  // A finder still at work makes the summary when it ends.
  if (state_.finderRunning || abandoned_) return;
  Summary();
  Trim();
}

void ScanDispatcher::BeginScan(bool oneKey) {
  window_.SetButtonCaption(kStopCaption);
  state_.scanning = true;
  window_.EnableClean(false);
  state_.oneKey = oneKey;
  Report(OneKeyStep::ScanStarted);
  results_.ResetSize();
  state_.ieCleanMode = 2;
  results_.Clear();
  window_.ResetResultImages();
  state_.tempFilesRequested = false;
  window_.SetStatus(0, L"");
  window_.SetStatus(1, L"");
}

junk::TFindInvalidFiles* ScanDispatcher::FinderIfWanted() {
  if (!Running()) return nullptr;
  if (!On(OptionId::SystemGroup) && !Checked(OptionId::SymantecAntiVirus) &&
      !Checked(OptionId::AcrobatReader))
    return nullptr;
  return PrepareFinder();
}

void ScanDispatcher::StartFinder(junk::TFindInvalidFiles* finder) {
  if (onFinderReady) onFinderReady(*finder);
  finder_ = finder;
  state_.finderRunning = true;
  finder->Resume();
  if (window_.ButtonCaption() == kScanCaption) finder->Terminate();
}

bool ScanDispatcher::BrowserMayBeScanned(const wchar_t* process, const wchar_t* message) {
  if (!window_.IsProcessRunning(process)) return true;
  if (state_.oneKey) return false;
  window_.Notice(message);
  return !window_.IsProcessRunning(process);
}

void ScanDispatcher::BrowserGroup() {
  catalogue::ScanContext ctx = Context();
  if (On(OptionId::IESubgroup)) {
    if (Checked(OptionId::IECache)) {
      int radio = catalogue::CheckedIEMode(options_);
      state_.ieCleanMode = radio == 0 ? 0 : radio == 1 ? 1 : 2;
      browsers::ScanIECache(ctx, state_.ieCleanMode, false);
    }
    if (Checked(OptionId::IETypedUrls)) ScanHistorySource(ctx, OptionId::IETypedUrls);
  }
  if (On(OptionId::FirefoxSubgroup) &&
      BrowserMayBeScanned(L"firefox.exe",
                          L"说明：Firefox浏览器正在运行中，无法进行Firefox相关的清理，"
                          L"请关闭Firefox后点击“确定”。")) {
    const bool f[] = {Checked(OptionId::FirefoxHistory), Checked(OptionId::FirefoxDownloads),
                      Checked(OptionId::FirefoxFormHistory), Checked(OptionId::FirefoxCache),
                      Checked(OptionId::FirefoxCookies)};
    window_.ProcessMessages();
    // A 64-bit Firefox registers in the registry view a 32-bit program does not see; one
    // installed for the user alone registers below HKEY_CURRENT_USER; a Firefox that has
    // run leaves its list of profiles.
    if (sys::RegKeyExistsInAnyView(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Mozilla\\Mozilla Firefox") ||
        sys::RegKeyExistsInAnyView(HKEY_CURRENT_USER, L"Software\\Mozilla\\Mozilla Firefox") ||
        FirefoxProfileListExists(ctx))
      ScanFirefox(ctx, f[0], f[1], f[2], f[3], f[4]);
  }
  // A Chromium-family browser is asked about only when it is there, and each program once
  // (Chrome's channels share one).
  std::map<std::wstring, bool> asked;
  auto mayScan = [this, &asked](const browsers::ChromiumBrowser& b) {
    auto known = asked.find(b.process);
    if (known != asked.end()) return known->second;
    return asked[b.process] = BrowserMayBeScanned(b.process, browsers::RunningNotice(b).c_str());
  };
  if (On(OptionId::OperaSubgroup)) {
    const bool f[] = {Checked(OptionId::OperaCache), Checked(OptionId::OperaHistory),
                      Checked(OptionId::OperaDownloads), Checked(OptionId::OperaCookies)};
    window_.ProcessMessages();
    ScanOpera(ctx, f[0], f[1], f[2], f[3], mayScan);
  }
  if (On(OptionId::ChromeSubgroup)) {
    const bool f[] = {Checked(OptionId::ChromeHistory), Checked(OptionId::ChromeDownloads),
                      Checked(OptionId::ChromeCache), Checked(OptionId::ChromeCookies),
                      Checked(OptionId::ChromePasswords)};
    window_.ProcessMessages();
    ScanChrome(ctx, f[0], f[1], f[2], f[3], f[4], mayScan);
  }
}

junk::TFindInvalidFiles* ScanDispatcher::PrepareFinder() {
  auto* finder = new junk::TFindInvalidFiles(
      results_, folders_, os_.MajorVersion,
      [this](const std::wstring& text) { window_.SetStatus(0, text); });
  finder->FreeOnTerminate = true;
  finder->OnTerminate = [this, finder] {
    window_.RunHandler([this, finder] { FinderTerminated(finder); });
  };
  // An empty fragment would occur in every path and keep the whole walk out.
  auto exclude = [finder](const std::wstring& path) {
    if (!path.empty()) finder->ExcludedFolders.push_back(sys::LowerCase(path));
  };
  exclude(folders_.Special(CSIDL_SENDTO));
  exclude(folders_.Special(CSIDL_INTERNET_CACHE));
  exclude(folders_.Special(CSIDL_COOKIES));
  exclude(folders_.temp);
  finder->CleanSymantecLogs = Checked(OptionId::SymantecAntiVirus);
  finder->CleanAcrobatCache = Checked(OptionId::AcrobatReader);
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
  auto wanted = [this](OptionId id) { return Checked(id) && Running(); };
  if (wanted(OptionId::TempFiles)) {
    if (finder) finder->CleanTempFiles = true;
    state_.tempFilesRequested = true;
    ScanHistorySource(ctx, OptionId::TempFiles);
  }
  if (wanted(OptionId::LogFiles) && finder) finder->CleanLogFiles = true;
  if (wanted(OptionId::ThumbnailCache) && finder) finder->CleanThumbnailCache = true;
  if (wanted(OptionId::ErrorReports) && finder) finder->CleanErrorReports = true;
  if (wanted(OptionId::InvalidShortcuts) && finder) {
    std::wstring programs = folders_.Special(CSIDL_COMMON_PROGRAMS);
    finder->RootFolders = std::make_unique<std::vector<std::wstring>>(1, programs);
    std::vector<std::wstring> below;
    if (!programs.empty()) sys::ListSubfolders(programs, below);
    for (const std::wstring& folder : below) {
      if (window_.ButtonCaption() == kScanCaption) break;
      finder->RootFolders->push_back(folder);
    }
    finder->CheckShortcuts = true;
  }
  for (OptionId id : catalogue::OptionsFromTo(OptionId::RunHistory, OptionId::EventLogs))
    if (wanted(id)) ScanHistorySource(ctx, id);
}

void ScanDispatcher::ApplicationGroup() {
  catalogue::ScanContext ctx = Context();
  for (OptionId id : catalogue::OptionsFromTo(OptionId::Paint, OptionId::AcrobatReader))
    if (Checked(id) && Running()) ScanHistorySource(ctx, id);
}

void ScanDispatcher::RegistryGroup() {
  catalogue::ScanContext ctx = Context();
  auto wanted = [this](OptionId id) { return Checked(id) && Running(); };
  if (wanted(OptionId::SharedDlls)) registry_scan::ScanSharedDlls(ctx);
  if (wanted(OptionId::InvalidSoftware)) registry_scan::ScanSoftwareKeys(ctx);
  if (wanted(OptionId::InvalidInstallers)) registry_scan::ScanInstallerFolders(ctx);
  if (wanted(OptionId::InvalidUninstallers)) registry_scan::ScanUninstallEntries(ctx);
  if (wanted(OptionId::InvalidHelp)) registry_scan::ScanHelpFiles(ctx);
  if (wanted(OptionId::InvalidMenus)) {
    registry_scan::ScanStartMenuOrder(ctx);
    for (const wchar_t* cls : {L"*", L"Directory", L"Folder", L"Drive"})
      if (Running()) registry_scan::ScanContextMenuHandlers(ctx, cls);
  }
  if (wanted(OptionId::ActiveXAndClasses)) registry_scan::ScanFileClasses(ctx);
}

void ScanDispatcher::FinderTerminated(junk::TFindInvalidFiles* sender) {
  if (state_.finderRunning) results_.AddSize(sender->FoundBytes);
  state_.finderRunning = false;
  if (finder_ == sender) finder_ = nullptr;  // it frees itself after this handler
  if (!state_.scanning && !abandoned_ && depth_ == 0) {
    ++depth_;
    sys::ScopeExit depth([this] { --depth_; });
    Summary();
    Trim();
  }
}

void ScanDispatcher::Summary() {
  window_.SetButtonCaption(kScanCaption);
  if (results_.ItemCount() > 0) {
    window_.EnableClean(true);
    std::wstring size = sys::FormatByteSize(results_.SizeTotal());
    auto summaryText = [&] {
      return sys::Format(L"共扫描分析到: %d 个可清理项，估计可以释放 %s 的磁盘空间。",
                         results_.ItemCount(), size.c_str());
    };
    // In one-key mode ScanEnded runs the whole clean: the scan's line comes first there, so
    // that the clean's own last line is what stays.
    if (state_.oneKey) {
      window_.SetStatus(0, summaryText());
      window_.SetStatus(1, L"");
    }
    Report(OneKeyStep::ScanEnded, results_.ItemCount(), double(results_.SizeTotal()) / 1024.0);
    std::wstring text = summaryText();
    if (!state_.oneKey) {
      window_.SetStatus(0, text);
      window_.SetStatus(1, L"");
    }
    if (!state_.oneKey &&
        window_.AskClean(text + L"\r" + L"要立即清理这些项目，请点击“确定”按钮。"))
      window_.StartClean();
  } else {
    window_.EnableClean(false);
    window_.SetStatus(0, state_.oneKey ? L"" : L"没有符合条件的项目。");
    window_.SetStatus(1, L"");
    Report(OneKeyStep::ScanEnded, 0, 0);
  }
}

void ScanDispatcher::Trim() {
  try {
    window_.TrimWorkingSet();
  } catch (...) {
    // Giving memory back is a courtesy to the system: a failure must not end the scan.
  }
}

}  // namespace scan
