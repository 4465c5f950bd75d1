// The scan dispatcher: turns the checked options into one scan in catalogue order, starts
// the junk-file finder beside it and ends with a summary. The same button starts and stops
// it: a second call while a scan runs (from a pumped message) is the stop.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "catalogue/ResultModel.h"
#include "catalogue/ScanContext.h"
#include "catalogue/ScanState.h"
#include "model/TreeModel.h"

namespace catalogue {
enum class OptionId;
}
namespace machine {
struct Folders;
class TTarnOSInfo;
}
namespace junk {
class TFindInvalidFiles;
}

namespace scan {

extern const wchar_t kScanCaption[];  // "扫描"
extern const wchar_t kStopCaption[];  // "停止"

// What the dispatcher needs of the window; the window fills every member.
struct ScanWindow {
  std::function<std::wstring()> buttonCaption;  // of ButtonScanTrace
  std::function<void(const std::wstring&)> setButtonCaption;
  std::function<void(bool)> enableClean;  // ButtonDelAllTrace
  std::function<void(int panel, const std::wstring&)> setStatus;
  std::function<void()> processMessages;  // dispatches messages and serves Synchronize
  std::function<void()> resetResultImages;
  std::function<void(int stage, int count, double kilobytes)> oneKeyStep;
  std::function<void(const std::wstring&)> notice;     // information, OK
  std::function<bool(const std::wstring&)> askClean;   // information, OK and Cancel
  std::function<void()> startClean;                    // the clean, without its question
  std::function<bool(const std::wstring&)> isProcessRunning;
  std::function<void()> trimWorkingSet;
  // Runs the finder's completion as an event of the window (may be left empty).
  std::function<void(const std::function<void()>&)> runHandler;
};

class ScanDispatcher {
 public:
  ScanDispatcher(catalogue::ScanState& state, catalogue::ResultModel& results, const model::TreeModel& options,
                 const machine::Folders& folders, const machine::TTarnOSInfo& os, ScanWindow window);
  // Ends a finder that still runs; its completion then makes no summary.
  ~ScanDispatcher();
  ScanDispatcher(const ScanDispatcher&) = delete;
  ScanDispatcher& operator=(const ScanDispatcher&) = delete;

  void ScanTraces(bool oneKey);
  // For a window that closes: stops a running scan and waits for the finder, with no
  // summary and no question afterwards.
  void Abandon();
  // A scan runs, its finder runs, or its summary (with the clean it may start) is on the
  // stack: a start now would nest one scan inside another.
  bool Busy() const { return state_.scanning || state_.finderRunning || depth_ > 0; }

  // What every scanner gets: the stop test is the button's caption.
  catalogue::ScanContext Context();
  // Runs on the main thread when the finder's body has ended.
  void FinderTerminated(junk::TFindInvalidFiles* sender);

  // Called with the configured finder just before it starts (tests adjust it here).
  std::function<void(junk::TFindInvalidFiles&)> onFinderReady;

 private:
  void StopBranch();
  void WaitForFinder();
  void Report(int stage, int count = 0, double kilobytes = 0);
  bool Running() const;
  bool Checked(catalogue::OptionId id) const;
  bool On(catalogue::OptionId id) const;
  void BeginScan(bool oneKey);
  junk::TFindInvalidFiles* FinderIfWanted();
  void StartFinder(junk::TFindInvalidFiles* finder);
  bool BrowserMayBeScanned(const wchar_t* process, const wchar_t* message);
  void BrowserGroup();
  junk::TFindInvalidFiles* PrepareFinder();
  void SystemGroup(junk::TFindInvalidFiles* finder);
  void ApplicationGroup();
  void RegistryGroup();
  void Summary();
  void Trim();

  catalogue::ScanState& state_;
  catalogue::ResultModel& results_;
  const model::TreeModel& options_;
  const machine::Folders& folders_;
  const machine::TTarnOSInfo& os_;
  ScanWindow window_;
  junk::TFindInvalidFiles* finder_ = nullptr;  // frees itself when it ends
  bool abandoned_ = false;
  int depth_ = 0;  // scan bodies and summaries on the stack
};

}  // namespace scan
