#include "sys/FileSearch.h"

#include "sys/Views.h"

namespace sys {

FileSearch::FileSearch(const std::wstring& pattern) {
  handle_ = FindFirstFileW(ExactPath(pattern).c_str(), &data_);
  found_ = handle_ != INVALID_HANDLE_VALUE;
  SkipDots();
}

void FileSearch::SkipDots() {
  while (found_ && (wcscmp(data_.cFileName, L".") == 0 || wcscmp(data_.cFileName, L"..") == 0))
    found_ = FindNextFileW(handle_, &data_) != 0;
}

void FileSearch::Next() {
  if (!found_) return;
  found_ = FindNextFileW(handle_, &data_) != 0;
  SkipDots();
}

void FileSearch::Close() {
  if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
  handle_ = INVALID_HANDLE_VALUE;
  found_ = false;
}

DWORD FileAttributes(const std::wstring& path) {
  return GetFileAttributesW(ExactPath(path).c_str());
}

bool FileExists(const std::wstring& path) {
  DWORD a = FileAttributes(path);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::wstring& path) {
  DWORD a = FileAttributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace sys
