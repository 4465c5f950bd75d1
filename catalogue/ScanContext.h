// What every scanner is handed: the result model, the folders, the system facts, and the
// window's stop test, pump and status line (tests give a flag and no window).
#pragma once
#include <functional>
#include <string>

namespace machine {
struct Folders;
class TTarnOSInfo;
}

namespace catalogue {

class ResultModel;

struct ScanContext {
  ResultModel& results;
  const machine::Folders& folders;
  const machine::TTarnOSInfo& os;
  std::function<bool()> stopped;                    // the scan button reads "扫描"
  std::function<void()> processMessages;            // pump, and serve Synchronize
  std::function<void(const std::wstring&)> status;  // status panel 0
};

}  // namespace catalogue
