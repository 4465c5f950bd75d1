// TFindInvalidFiles: the junk-file finder thread. It walks a fixed sequence of places and
// hands every junk file, broken shortcut and empty folder to the main thread, which adds
// it to the result tree. It deletes nothing.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "catalogue/ResultModel.h"
#include "machine/Folders.h"
#include "sys/Thread.h"

namespace junk {

// One finding, made by the worker and read by the main thread during the hand-over.
struct FindResult {
  std::wstring Path;      // a file's full path; a folder's path (trailing backslash)
  std::int64_t Size = 0;  // bytes; 0 for folders
  int ImageIndex = 7;     // in the result image list; 43 for folders
  int IsFolder = 0;       // 0 file, 1 empty folder
  // Programs and shortcuts show their own icon; the image list may only grow on the main
  // thread, so the hand-over appends it and replaces ImageIndex.
  bool WantsFileIcon = false;
};

enum class WalkMode { Files, EmptyFolders };

class TFindInvalidFiles : public sys::Thread {
 public:
  // Created suspended. `results` receives the findings (through the hand-over only);
  // `folders` is copied; `status` writes status panel 0 and runs on the main thread.
  TFindInvalidFiles(catalogue::ResultModel& results, const machine::Folders& folders,
                    int majorVersion, std::function<void(const std::wstring&)> status);
  ~TFindInvalidFiles() override;

  std::wstring StatusText;
  bool CleanTempFiles = false;
  bool CheckShortcuts = false;
  bool FindEmptyFolders = false;
  bool SkipLockedFiles = false;
  bool IncludeReadOnly = false;
  bool IncludeSystem = false;
  bool IncludeHidden = false;
  std::vector<std::wstring> ExcludedFolders;  // lower-case folder fragments
  std::vector<std::wstring> ExcludedNames;    // file-name fragments, any letter case
  std::unique_ptr<std::vector<std::wstring>> RootFolders;  // may be absent
  FindResult* CurrentResult = nullptr;  // the finding PostResult adds; not owned
  bool CleanLogFiles = false;
  bool CleanThumbnailCache = false;
  bool CleanErrorReports = false;
  bool CleanSymantecLogs = false;
  bool CleanAcrobatCache = false;
  std::int64_t FoundBytes = 0;

  // The IE cache clean mode of the scan (0, 1, 2; -1 none), for the exclusions of step 2.
  int IECleanMode = -1;
  // GetDriveTypeW; tests put CD-ROM and removable drives here.
  std::function<UINT(const std::wstring& root)> DriveType;

  // Run through Synchronize; both do nothing once Terminate has been called.
  void ShowStatus();
  void PostResult();

  // Findings and the status travel to the main thread in batches: a hand-over costs far
  // more than the walk of a file (a round trip through the window's queue; several
  // server calls under Wine), so one is made when this many findings wait or this much
  // time has passed, and always before a walk entry point returns.
  static constexpr size_t kBatchSize = 256;
  static constexpr DWORD kBatchMillis = 30;
  // Tests lengthen it, so that only the count cuts batches.
  DWORD BatchMillis = kBatchMillis;

  // The walk (worker thread; public so that tests can drive single steps).
  void ScanFolder(const std::wstring& folder, const std::wstring& mask, bool reportEveryMatch);
  void WalkFolder(const std::wstring& folder, WalkMode mode);
  std::unique_ptr<FindResult> MakeFileResult(const std::wstring& folder,
                                             const WIN32_FIND_DATAW& entry);
  // Called inside the synchronised hand-over only.
  int AddFileIcon(const std::wstring& path);

 protected:
  void Execute() override;

 private:
  void Status(const std::wstring& text);
  // Queues r for the next hand-over; withStatus shows StatusText then.
  void Report(std::unique_ptr<FindResult> r, bool withStatus = false);
  // StatusText changed: shown with the next hand-over.
  void StatusChanged();
  void HandOverWhenDue();
  void HandOver();
  // Main thread: the status, then every queued finding in order.
  void PostBatch();
  void Search(const std::wstring& folder, const std::wstring& mask, bool reportEveryMatch);
  void Walk(const std::wstring& folder, WalkMode mode);
  bool ShortcutIsBroken(const std::wstring& lnk);
  bool AttributesAllowed(DWORD attributes) const;
  bool TempFolderSafe() const;
  // Base (the Windows or system folder, or a CSIDL folder) + tail; empty when the base
  // is unknown, so that a step on an unknown folder finds nothing.
  std::wstring PlaceOf(int base, const std::wstring& tail) const;
  // Lower-cased copies of the two lists, taken when a walk starts.
  void TakeExclusions();
  bool FolderExcluded(const std::wstring& lowerPath) const;
  bool FolderExcludedExactly(const std::wstring& lowerPath) const;
  bool NameExcluded(const std::wstring& lowerName) const;
  void ExcludeEmptyFolderRoot(const std::wstring& folder);
  void CheckRootShortcuts();
  void ScanTempFolders();
  void FindEmptyFoldersBelowTempAndMenus();

  catalogue::ResultModel& results_;
  machine::Folders folders_;
  int majorVersion_;
  std::function<void(const std::wstring&)> status_;
  std::function<void()> postBatch_;
  std::vector<std::unique_ptr<FindResult>> batch_;
  bool statusPending_ = false;
  DWORD lastHandOver_ = 0;
  std::vector<std::wstring> lowFolders_;
  std::vector<std::wstring> lowNames_;
  // The sub-folders of every folder a file walk found with content, by path: the
  // empty-folder walk of the same tree need not list those again. Bounded, since a
  // pathological tree would otherwise be held whole.
  using Subfolders = std::vector<std::pair<std::wstring, DWORD>>;
  static constexpr size_t kRememberedListings = 50000;
  std::unordered_map<std::wstring, Subfolders> listings_;
};

// Appends a backslash when missing and folds doubled backslashes into one (the leading
// pair of a network path is kept).
std::wstring NormalizeFolderPath(const std::wstring& path);

}  // namespace junk
