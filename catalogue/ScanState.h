// State of the main window that the scan dispatcher, the clean executor and the one-key
// run share.
#pragma once

namespace catalogue {

struct ScanState {
  bool scanning = false;
  bool finderRunning = false;
  bool tempFilesRequested = false;
  bool oneKey = false;
  bool cleaning = false;  // the executor runs; no scan may start
  int ieCleanMode = -1;  // 0, 1, 2; -1 when no IE clean is pending
};

}  // namespace catalogue
