// The clean executor: deletes every finding of the result tree by its kind, empties the
// recycle bin when asked, sweeps the temporary folders again, and records the clean.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "catalogue/ResultModel.h"
#include "clean/RegistryBackup.h"
#include "scan/ScanTraces.h"
#include "sys/Folders.h"
#include "sys/TarnGetOSInfo.h"
#include "ui/TreeModel.h"

namespace clean {

// What the executor needs of the window; the window fills every member.
struct CleanWindow {
  std::function<void(int panel, const std::wstring&)> setStatus;
  std::function<void()> processMessages;
  std::function<void(int step)> oneKeyStep;  // 7 to 12
  std::function<int(const std::wstring& text, UINT type)> messageBox;
  std::function<void()> repaintResults;
  std::function<void()> emptyRecycleBin;  // tests never empty the real one
  std::wstring settingsFile;
};

class CleanExecutor {
 public:
  CleanExecutor(scan::ScanState& state, catalogue::ResultModel& results,
                const ui::TreeModel& options, const sys::Folders& folders,
                const sys::TTarnOSInfo& os, CleanWindow window);

  // With `confirm` the user is asked first (not in one-key mode).
  void Run(bool confirm);
  bool Running() const { return running_; }
  // For a window that closes: the clean ends after the current item (a running sweep is
  // waited for), without the rest of its steps.
  void Abandon() { abandoned_ = true; }
  // Sweeps of the temporary folders made by the last clean.
  int RescanPasses() const { return rescanPasses_; }

 private:
  void ClearAutoComplete();
  void CleanIECache();
  void CleanItem(ui::TreeNode* node);
  void CleanConfiguration(ui::TreeNode* node, const catalogue::ResultItem& r);
  void Rescan();
  void Step(int step);

  scan::ScanState& state_;
  catalogue::ResultModel& results_;
  const ui::TreeModel& options_;
  const sys::Folders& folders_;
  const sys::TTarnOSInfo& os_;
  CleanWindow window_;
  RegistryBackup backup_;  // one file per clean, made at its first registry delete
  bool running_ = false;
  bool abandoned_ = false;
  int rescanPasses_ = 0;
};

// Deletes a registry finding: the whole key (sub-keys first) when `valueName` is empty,
// the default value's text for "@D_e_f_a_u_l_t", else the value. A key or value that is
// already gone counts as deleted. Unknown root names mean HKEY_CURRENT_CONFIG.
bool DeleteRegistryItem(const std::wstring& rootName, const std::wstring& keyPath,
                        const std::wstring& valueName, int majorVersion);
// Empties every drive's recycle bin without asking (SHEmptyRecycleBin, flags 7).
void EmptyRecycleBin(HWND owner);

}  // namespace clean
