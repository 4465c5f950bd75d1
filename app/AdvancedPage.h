// The advanced page: the option tree with its three links, the result tree, and the
// scan and clean buttons that the dispatcher and the executor drive.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>

namespace catalogue {
class ResultModel;
}
namespace machine {
class TTarnOSInfo;
}
namespace ui {
class VirtualTree;
struct TreeHit;
}

namespace app {

struct FormControls;

class AdvancedPage {
 public:
  // `os` is the window's, null once the window is gone.
  AdvancedPage(const FormControls& controls, ui::VirtualTree& options, ui::VirtualTree& results,
               catalogue::ResultModel& model, const std::unique_ptr<machine::TTarnOSInfo>& os);
  AdvancedPage(const AdvancedPage&) = delete;
  AdvancedPage& operator=(const AdvancedPage&) = delete;

  // Columns and events of both trees; `owner` owns the questions.
  void Setup(HWND owner, HIMAGELIST images);

  // --- events ---
  void Label1Click();  // all options
  void Label2Click();  // none
  void Label3Click();  // the recommended ones
  // A mouse-down right of column 0 on a click-to-clear option asks, then clears.
  void VTTraceOptionMouseDown(const ui::TreeHit& hit);
  // Asks with OK and Cancel; tests answer for the user.
  std::function<bool(const std::wstring& text)> confirm;

  // --- what the dispatcher and the executor show here ---
  std::wstring ScanButtonCaption() const;
  void SetScanButtonCaption(const std::wstring& text);
  void EnableClean(bool on);
  void ResetResultImages();
  void RepaintResults();
  // While a clean runs neither a scan nor another clean can be started.
  void CleanBusy(bool running);

 private:
  const FormControls& c_;
  ui::VirtualTree& options_;
  ui::VirtualTree& results_;
  catalogue::ResultModel& model_;
  HWND owner_ = nullptr;
  HIMAGELIST images_ = nullptr;
  const std::unique_ptr<machine::TTarnOSInfo>& os_;
};

}  // namespace app
