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

// What the dispatcher needs of the window.
class ScanWindow {
 public:
  virtual std::wstring ButtonCaption() const = 0;  // of ButtonScanTrace: the stop signal
  virtual void SetButtonCaption(const std::wstring& text) = 0;
  virtual void EnableClean(bool on) = 0;  // ButtonDelAllTrace
  virtual void SetStatus(int panel, const std::wstring& text) = 0;
  virtual void ProcessMessages() = 0;  // dispatches messages and serves Synchronize
  virtual void ResetResultImages() = 0;
  // Called in one-key mode only; count and kilobytes are the findings at ScanEnded.
  virtual void OneKeyStepReached(catalogue::OneKeyStep step, int count, double kilobytes) = 0;
  virtual void Notice(const std::wstring& text) = 0;    // information, OK
  virtual bool AskClean(const std::wstring& text) = 0;  // information, OK and Cancel
  virtual void StartClean() = 0;                        // the clean, without its question
  virtual bool IsProcessRunning(const std::wstring& exe) = 0;
  virtual void TrimWorkingSet() = 0;
  // Runs the finder's completion as an event of the window.
  virtual void RunHandler(const std::function<void()>& handler) = 0;

 protected:
  ~ScanWindow() = default;
};

class ScanDispatcher {
 public:
  ScanDispatcher(catalogue::ScanState& state, catalogue::ResultModel& results, const model::TreeModel& options,
                 const machine::Folders& folders, const machine::TTarnOSInfo& os, ScanWindow& window);
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
  void Report(catalogue::OneKeyStep step, int count = 0, double kilobytes = 0);
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
  ScanWindow& window_;  // outlives the dispatcher
  junk::TFindInvalidFiles* finder_ = nullptr;  // frees itself when it ends
  bool abandoned_ = false;
  int depth_ = 0;  // scan bodies and summaries on the stack
};

}  // namespace scan
