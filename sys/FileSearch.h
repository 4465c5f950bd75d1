// Folder enumeration over FindFirstFileW / FindNextFileW.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

namespace sys {

// for (FileSearch s(folder + L"\\*.*"); s.Found(); s.Next()) { s.Name() ... }
// "." and ".." are skipped. A full path is searched in its exact form, so a name found
// here and joined to the folder again reaches the same entry. The search handle is closed on destruction or by Close().
class FileSearch {
 public:
  explicit FileSearch(const std::wstring& pattern);
  ~FileSearch() { Close(); }
  FileSearch(const FileSearch&) = delete;
  FileSearch& operator=(const FileSearch&) = delete;

  bool Found() const { return found_; }
  void Next();
  void Close();

  std::wstring Name() const { return data_.cFileName; }
  DWORD Attributes() const { return data_.dwFileAttributes; }
  bool IsDirectory() const { return (data_.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
  // Junctions and symbolic links: never walked through.
  bool IsReparsePoint() const {
    return (data_.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  }
  std::int64_t Size() const {
    return (std::int64_t(data_.nFileSizeHigh) << 32) | data_.nFileSizeLow;
  }
  const WIN32_FIND_DATAW& Data() const { return data_; }

 private:
  void SkipDots();
  HANDLE handle_ = INVALID_HANDLE_VALUE;
  WIN32_FIND_DATAW data_{};
  bool found_ = false;
};

// Paths the program built itself, asked in their exact form. Whether a path read from the
// registry, an INI file or a shortcut is missing is asked with ExistsInAnyView instead.
bool FileExists(const std::wstring& path);       // a file, not a folder
bool DirectoryExists(const std::wstring& path);  // a folder (or a link to one)
// Attributes, or INVALID_FILE_ATTRIBUTES.
DWORD FileAttributes(const std::wstring& path);

}  // namespace sys
