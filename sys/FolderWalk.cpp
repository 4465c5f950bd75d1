#include "sys/FolderWalk.h"

#include <algorithm>
#include <iterator>

#include "sys/FileSearch.h"

namespace sys {

bool IsWalkableFolder(DWORD a) {
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) &&
         !(a & FILE_ATTRIBUTE_REPARSE_POINT);
}

DWORD FolderAttributes(const std::wstring& folder) {
  std::wstring p = folder;
  // "C:\" needs its backslash; elsewhere the bare name is the safe form.
  while (p.size() > 3 && p.back() == L'\\') p.pop_back();
  return FileAttributes(p);
}

bool IsPlainFolder(const std::wstring& folder) {
  return !folder.empty() && IsWalkableFolder(FolderAttributes(folder));
}

FolderWalk::FolderWalk(const std::wstring& root) {
  if (!root.empty()) stack_.emplace_back(root, INVALID_FILE_ATTRIBUTES);
}

bool FolderWalk::Next() {
  // The first queued is listed first: it goes on top.
  std::move(queued_.rbegin(), queued_.rend(), std::back_inserter(stack_));
  queued_.clear();
  while (!stack_.empty()) {
    std::pair<std::wstring, DWORD> next = std::move(stack_.back());
    stack_.pop_back();
    // Unknown attributes are read as the folder is reached, not when it was queued.
    DWORD a = next.second != INVALID_FILE_ATTRIBUTES ? next.second : FolderAttributes(next.first);
    if (!IsWalkableFolder(a)) continue;
    current_ = std::move(next.first);
    attributes_ = a;
    return true;
  }
  current_.clear();
  attributes_ = INVALID_FILE_ATTRIBUTES;
  return false;
}

void FolderWalk::Enter(const std::wstring& path, DWORD attributes) {
  if (attributes != INVALID_FILE_ATTRIBUTES && !IsWalkableFolder(attributes)) return;
  queued_.emplace_back(path, attributes);
}

}  // namespace sys
