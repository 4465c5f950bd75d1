// How fast the clean executor deletes a large list of file findings: 20,000 small files
// deleted (a) by a bare DeleteFileW loop and (b) by the executor with a real status bar
// and a real message pump, the files made anew between the two. Prints the ratio b/a
// (goal <= 1.5) and the longest gap between two pumps (goal < 50 ms).
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/BenchTree.h"
#include "catalogue/ResultModel.h"
#include "catalogue/TraceOption.h"
#include "clean/CleanTraces.h"
#include "machine/Folders.h"
#include "machine/TarnGetOSInfo.h"
#include "sys/Thread.h"
#include "ui/Widgets.h"

namespace {

constexpr int kFiles = 20000;
constexpr int kFolders = 100;

using bench::Now;

using bench::ExeFolder;

// A real status bar, set the way the window sets it, and a real pump, with the longest gap
// between two pumps measured.
class BenchWindow final : public clean::CleanWindow {
 public:
  explicit BenchWindow(HWND stat) : stat_(stat) {}
  double lastPump = 0, longestGap = 0;
  int pumps = 0;

  void SetStatus(int panel, const std::wstring& text) override {
    ui::SetStatusText(stat_, panel, text);
  }
  void ProcessMessages() override {
    double now = Now();
    if (lastPump > 0) longestGap = std::max(longestGap, now - lastPump);
    sys::ProcessMessages();
    lastPump = Now();
    ++pumps;
  }
  void OneKeyStepReached(catalogue::OneKeyStep) override {}
  int ShowMessage(const std::wstring&, UINT) override { return IDOK; }
  void RepaintResults() override {}
  void EmptyRecycleBin() override {}
  void CleanBusy(bool) override {}
  void SettingsNotWritten(const sys::ProfileWriteError&) override {}

 private:
  HWND stat_;
};

std::wstring FolderOf(const std::wstring& root, int i) {
  return root + L"\\d" + std::to_wstring(i % kFolders);
}

std::wstring NameOf(int i) { return L"junk" + std::to_wstring(i) + L".tmp"; }

void MakeFiles(const std::wstring& root) {
  CreateDirectoryW(root.c_str(), nullptr);
  for (int d = 0; d < kFolders; ++d) CreateDirectoryW(FolderOf(root, d).c_str(), nullptr);
  for (int i = 0; i < kFiles; ++i) {
    HANDLE h = CreateFileW((FolderOf(root, i) + L"\\" + NameOf(i)).c_str(), GENERIC_WRITE, 0,
                           nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) continue;
    DWORD n = 0;
    WriteFile(h, "0123456789", 10, &n, nullptr);
    CloseHandle(h);
  }
}

int BareDelete(const std::wstring& root) {
  int deleted = 0;
  for (int i = 0; i < kFiles; ++i)
    deleted += DeleteFileW((FolderOf(root, i) + L"\\" + NameOf(i)).c_str()) ? 1 : 0;
  return deleted;
}

}  // namespace

int wmain() {
  sys::InitMainThread();
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);
  HWND frame = CreateWindowExW(0, L"STATIC", L"bench", WS_OVERLAPPEDWINDOW, 0, 0, 600, 200,
                               nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  HWND stat = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, frame,
                              nullptr, GetModuleHandleW(nullptr), nullptr);
  int parts[2] = {400, -1};
  SendMessageW(stat, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
  ShowWindow(frame, SW_SHOWNOACTIVATE);

  const std::wstring root = ExeFolder() + L"\\bench-clean";
  MakeFiles(root);
  double t0 = Now();
  int bare = BareDelete(root);
  double bareTime = Now() - t0;
  std::printf("bare DeleteFileW loop: %d files in %.3f s\n", bare, bareTime);

  MakeFiles(root);
  machine::TTarnOSInfo os;
  machine::Folders folders;
  model::TreeModel options;
  catalogue::ResultModel results;
  catalogue::ScanState state;
  for (int i = 0; i < kFiles; ++i) {
    model::TreeNode* n = results.AddResultNode(&results.Tree(), NameOf(i), nullptr, 7,
                                            catalogue::ResultKind::File, L"", FolderOf(root, i));
    results.AddRow(n, L"大小", L"10 Byte", 20);
    results.AddRow(n, L"临时文件", L"建议删除", 20);
  }
  BenchWindow w(stat);
  const std::wstring settings = root + L"\\Halvane.set";
  clean::CleanExecutor executor(state, results, options, folders, os, w, settings);
  t0 = Now();
  w.lastPump = t0;
  executor.Run(false);
  double cleanTime = Now() - t0;
  int left = 0;
  for (int i = 0; i < kFiles; ++i)
    left += GetFileAttributesW((FolderOf(root, i) + L"\\" + NameOf(i)).c_str()) !=
            INVALID_FILE_ATTRIBUTES;
  std::printf("executor: %d file findings in %.3f s (%d left, %d failed, %d pumps)\n", kFiles,
              cleanTime, left, executor.FailedCount(), w.pumps);
  double ratio = bareTime > 0 ? cleanTime / bareTime : 0;
  std::printf("ratio executor/bare: %.2f (goal <= 1.5)\n", ratio);
  std::printf("longest gap between two pump calls: %.1f ms (goal < 50)\n", w.longestGap * 1000);
  std::printf("verdict: %s\n", ratio <= 1.5 && w.longestGap < 0.05 && left == 0 ? "goals met"
                                                                              : "goals not met");

  DeleteFileW(settings.c_str());
  for (int d = 0; d < kFolders; ++d) RemoveDirectoryW(FolderOf(root, d).c_str());
  RemoveDirectoryW(root.c_str());
  DestroyWindow(frame);
  return 0;
}
