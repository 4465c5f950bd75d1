// The window as the scan dispatcher sees it, recorded: the button caption is the stop
// signal a test can flip, questions get `answer`, pumps and notices can act through hooks.
#pragma once
#include <functional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "scan/ScanTraces.h"
#include "sys/Thread.h"

namespace testsupport {

class FakeScanWindow final : public scan::ScanWindow {
 public:
  using StepCall = std::tuple<catalogue::OneKeyStep, int, double>;

  std::wstring caption = scan::kScanCaption;
  bool cleanEnabled = true;
  std::wstring status[2];
  std::vector<StepCall> steps;
  std::vector<std::wstring> notices, questions;
  bool answer = false;
  int cleans = 0;
  std::set<std::wstring> running;  // executable names
  std::function<void()> onPump, onNotice;

  std::wstring ButtonCaption() const override { return caption; }
  void SetButtonCaption(const std::wstring& text) override { caption = text; }
  void EnableClean(bool on) override { cleanEnabled = on; }
  void SetStatus(int panel, const std::wstring& text) override { status[panel] = text; }
  void ProcessMessages() override {
    sys::ProcessMessages();
    if (onPump) onPump();
  }
  void ResetResultImages() override {}
  void OneKeyStepReached(catalogue::OneKeyStep step, int count, double kilobytes) override {
    steps.emplace_back(step, count, kilobytes);
  }
  void Notice(const std::wstring& text) override {
    notices.push_back(text);
    if (onNotice) onNotice();
  }
  bool AskClean(const std::wstring& text) override {
    questions.push_back(text);
    return answer;
  }
  void StartClean() override { ++cleans; }
  bool IsProcessRunning(const std::wstring& exe) override { return running.count(exe) > 0; }
  void TrimWorkingSet() override {}
  void RunHandler(const std::function<void()>& handler) override { handler(); }
};

}  // namespace testsupport
