// The clean executor: deletes every finding of the result tree by its kind, empties the
// recycle bin when asked, sweeps the temporary folders again, and records the clean.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/ResultModel.h"
#include "clean/RegistryBackup.h"
#include "catalogue/ScanState.h"
#include "model/TreeModel.h"

namespace junk {
class TFindInvalidFiles;
}

namespace machine {
struct Folders;
class TTarnOSInfo;
}
namespace sys {
class ProfileWriteError;
}

namespace clean {

// What the executor needs of the window.
class CleanWindow {
 public:
  virtual void SetStatus(int panel, const std::wstring& text) = 0;
  virtual void ProcessMessages() = 0;
  // Called in one-key mode only, from CleanStarted on.
  virtual void OneKeyStepReached(catalogue::OneKeyStep step) = 0;
  virtual int ShowMessage(const std::wstring& text, UINT type) = 0;
  virtual void RepaintResults() = 0;
  virtual void EmptyRecycleBin() = 0;  // tests never empty the real one
  // True while the clean runs: what would start a scan or another clean is disabled.
  virtual void CleanBusy(bool running) = 0;
  // The clean dates could not be written; the clean itself stands and goes on.
  virtual void SettingsNotWritten(const sys::ProfileWriteError& error) = 0;

 protected:
  ~CleanWindow() = default;
};

class CleanExecutor {
 public:
  CleanExecutor(catalogue::ScanState& state, catalogue::ResultModel& results,
                const model::TreeModel& options, const machine::Folders& folders,
                const machine::TTarnOSInfo& os, CleanWindow& window,
                std::wstring settingsFile);

  // The longest the clean goes on between two message pumps.
  static constexpr DWORD kPumpMillis = 15;
  // The longest one browser database item may take (browsers::kDatabaseStepMillis; tests
  // make it short).
  DWORD DatabaseStepMillis;

  // With `confirm` the user is asked first (not in one-key mode). Refused while a clean
  // or a scan runs.
  void Run(bool confirm);
  bool Running() const { return running_; }
  // For a window that closes: the clean ends after the current item (a running sweep is
  // stopped and waited for), without the rest of its steps.
  void Abandon();
  // Sweeps of the temporary folders made by the last clean.
  int RescanPasses() const { return rescanPasses_; }
  // Items of the last clean that could not be deleted (they stay in the result list),
  // and their bytes as far as the items tell.
  int FailedCount() const { return int(failed_.size()); }
  std::int64_t FailedBytes() const { return failedBytes_; }

 private:
  // A failed item as it was, to be shown again once the list is emptied.
  struct FailedItem {
    catalogue::ResultItem item;
  };
  void ClearAutoComplete();
  void CleanIECache();
  void CleanItems();
  // False when the item is still there.
  bool CleanItem(model::TreeNode* node);
  bool CleanDatabase(const std::wstring& path, const std::wstring& file,
                     const std::wstring& table, catalogue::ResultKind kind);
  // False when the edit failed (the item stays).
  bool CleanConfiguration(model::TreeNode* node, const catalogue::ResultItem& r);
  void KeepFailed(const model::TreeNode* node);
  void ShowFailedAgain();
  void Rescan();
  void Step(catalogue::OneKeyStep step);

  catalogue::ScanState& state_;
  catalogue::ResultModel& results_;
  const model::TreeModel& options_;
  const machine::Folders& folders_;
  const machine::TTarnOSInfo& os_;
  CleanWindow& window_;  // outlives the executor
  const std::wstring settingsFile_;  // the clean dates; its folder takes the registry backups
  RegistryBackup backup_;  // one file per clean, made at its first registry delete
  bool running_ = false;
  bool abandoned_ = false;
  int rescanPasses_ = 0;
  std::vector<FailedItem> failed_;
  std::int64_t failedBytes_ = 0;
  junk::TFindInvalidFiles* sweep_ = nullptr;  // the sweep running now
};

// Deletes a registry finding: the whole key (sub-keys first) when `valueName` is empty,
// the default value's text for "@D_e_f_a_u_l_t", else the value. Only a key or value
// that is not found counts as already deleted; a key that will not open for writing
// (access denied) is a failure. Unknown root names mean HKEY_CURRENT_CONFIG.
bool DeleteRegistryItem(const std::wstring& rootName, const std::wstring& keyPath,
                        const std::wstring& valueName, int majorVersion);
// Empties every drive's recycle bin without asking (SHEmptyRecycleBin, flags 7).
void EmptyRecycleBin(HWND owner);

}  // namespace clean
