// The window as the clean executor sees it, recorded: status lines, one-key steps and
// message boxes (OK and Cancel questions get `answer`); no recycle bin is ever emptied.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "clean/CleanTraces.h"
#include "sys/ProfileIni.h"
#include "sys/Thread.h"

namespace testsupport {

class FakeCleanWindow final : public clean::CleanWindow {
 public:
  std::vector<std::wstring> statuses;  // panel 0, in order
  std::vector<catalogue::OneKeyStep> steps;
  std::vector<std::wstring> boxes;
  int answer = IDOK;
  int recycleBins = 0;
  int busyCalls = 0;
  bool busy = false;
  std::vector<std::wstring> unwrittenFiles;  // settings files that refused a write
  std::function<void()> onPump;

  void SetStatus(int panel, const std::wstring& text) override {
    if (panel == 0) statuses.push_back(text);
  }
  void ProcessMessages() override {
    sys::ProcessMessages();
    if (onPump) onPump();
  }
  void OneKeyStepReached(catalogue::OneKeyStep step) override { steps.push_back(step); }
  int ShowMessage(const std::wstring& text, UINT type) override {
    boxes.push_back(text);
    return (type & MB_OKCANCEL) ? answer : IDOK;
  }
  void RepaintResults() override {}
  void EmptyRecycleBin() override { ++recycleBins; }
  void CleanBusy(bool running) override {
    ++busyCalls;
    busy = running;
  }
  void SettingsNotWritten(const sys::ProfileWriteError& error) override {
    unwrittenFiles.push_back(error.File());
  }
};

}  // namespace testsupport
