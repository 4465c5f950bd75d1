// A folder tree walked without recursion, so that no depth of folders can exhaust the
// stack: an explicit stack of the folders still to list.
#pragma once
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace sys {

// Depth first: after a folder, the sub-folders its listing queued, in the order queued,
// each with everything below it before the next. Links (junctions, symbolic links, mount
// points) are never entered, the start folder included; nor is a folder whose
// attributes cannot be read.
//
//   for (FolderWalk walk(root); walk.Next();)
//     for (FileSearch s(walk.Folder() + L"\\*.*"); ...) walk.Enter(path, s.Attributes());
class FolderWalk {
 public:
  explicit FolderWalk(const std::wstring& root);

  // Moves to the next folder; false when none is left.
  bool Next();
  // The folder Next moved to, as it was queued.
  const std::wstring& Folder() const { return current_; }
  DWORD Attributes() const { return attributes_; }
  // Queues a sub-folder of the current folder. `attributes` are those its listing gave;
  // INVALID_FILE_ATTRIBUTES has them read when the folder is reached.
  void Enter(const std::wstring& path, DWORD attributes = INVALID_FILE_ATTRIBUTES);

 private:
  std::vector<std::pair<std::wstring, DWORD>> stack_;
  std::vector<std::pair<std::wstring, DWORD>> queued_;  // below the current folder
  std::wstring current_;
  DWORD attributes_ = INVALID_FILE_ATTRIBUTES;
};

// The attributes allow walking: a folder, no link; unreadable ones (INVALID) do not.
bool IsWalkableFolder(DWORD attributes);
// A folder's attributes read by its path, a trailing backslash allowed.
DWORD FolderAttributes(const std::wstring& folder);
// The folder exists and is no link: it may be the start of a walk.
bool IsPlainFolder(const std::wstring& folder);

}  // namespace sys
