// State of the main window that the scan dispatcher, the clean executor and the one-key
// run share.
#pragma once

namespace catalogue {

// The points of a one-key run that the dispatcher and the executor report to the home
// page, in the order a full run reaches them. A run that finds nothing (or nothing new)
// jumps from ScanEnded or CleanStarted to NothingToClean.
enum class OneKeyStep {
  ScanStarted,
  BrowsersScanned,
  FinderPrepared,  // or found not needed
  SystemWalked,    // the finder may still be running
  ApplicationsScanned,
  RegistryScanned,
  ScanEnded,         // runs the whole clean before it returns
  CleanStarted,
  DeletionStarting,  // before the Internet Explorer cache pass
  IECachePassed,     // item deletion starts
  ItemsDeleted,      // the recycle bin handled too
  CleanFinished,
  NothingToClean,
};

struct ScanState {
  bool scanning = false;
  bool finderRunning = false;
  bool tempFilesRequested = false;
  bool oneKey = false;
  bool cleaning = false;  // the executor runs; no scan may start
  int ieCleanMode = -1;  // 0, 1, 2; -1 when no IE clean is pending
};

}  // namespace catalogue
