// Placeholder until the finder's walk lands: finds nothing.
#include "junk/FindInvalidFiles.h"

namespace junk {

TFindInvalidFiles::TFindInvalidFiles(catalogue::ResultModel& results, const sys::Folders& folders,
                                     int majorVersion,
                                     std::function<void(const std::wstring&)> status)
    : results_(results), folders_(folders), majorVersion_(majorVersion), status_(std::move(status)) {}
TFindInvalidFiles::~TFindInvalidFiles() {
  Terminate();
  if (!Suspended() && !Finished() && !FreeOnTerminate) WaitFor();
}
void TFindInvalidFiles::Execute() {}
void TFindInvalidFiles::ShowStatus() {}
void TFindInvalidFiles::PostResult() {}

}  // namespace junk
