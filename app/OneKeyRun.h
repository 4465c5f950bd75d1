// The one-key clean of the home page: a full scan with the saved options, the clean of
// everything found without a question, the progress rows and bar, the statistics, and the
// power-off when asked.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "catalogue/ScanState.h"
#include "model/TreeModel.h"

namespace ui {
class VirtualTree;
}

namespace app {

class TFormSorvex;
struct FormControls;

// A row of VTCleanResult.
struct CleanResultRow {
  std::wstring Title;
  std::wstring State;
  int ImageIndex = -1;
};

class OneKeyRun {
 public:
  OneKeyRun(TFormSorvex& form, const FormControls& controls, ui::VirtualTree& rows);
  OneKeyRun(const OneKeyRun&) = delete;
  OneKeyRun& operator=(const OneKeyRun&) = delete;

  // The columns and events of VTCleanResult.
  void SetupRows();
  // Label10 and lblReClean: never a one-key run inside a scan or a clean.
  void Start();
  // Button1: stops a running scan; the clean, once started, goes on.
  void Cancel();
  // Called by the dispatcher and the executor in one-key mode.
  void Step(catalogue::OneKeyStep step, int count = 0, double kilobytes = 0);
  // A settings file that could not be written is told once the run has ended.
  void HoldSettingsFailure(const std::wstring& text);
  // Rewrites the row when given, else adds it below `parent`; returns it.
  model::TreeNode* SetCleanResultRow(model::TreeNode* row, const std::wstring& title,
                                     model::TreeNode* parent, int image,
                                     const std::wstring& state);

  bool cancelled = false;
  // The findings when the scan ended, less what the clean could not delete.
  int pendingCleanCount = 0;
  float pendingCleanSize = 0;
  // Called after each step has been shown; tests read the rows here.
  std::function<void(catalogue::OneKeyStep)> onStepShown;

 private:
  void ShowRunning();
  void ShowStep(catalogue::OneKeyStep step);
  void ScanEnded(int count, double kilobytes);
  void CleanFinished();
  void Finish(const std::wstring& headline, const std::wstring& status);
  void IdleLayout(bool idle);

  TFormSorvex& form_;
  const FormControls& c_;
  ui::VirtualTree& tree_;
  model::TreeNode* rows_[5] = {};
  std::wstring settingsFailure_;  // held back until the run has ended
};

}  // namespace app
