// What a clean deletes from the registry, kept in a file that regedit and "reg import"
// read back: "Windows Registry Editor Version 5.00", UTF-16 with a byte-order mark. Nothing
// is deleted that is not in that file first.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "sys/Handles.h"
#include "sys/RegistryTree.h"

namespace clean {

// Why the backup of an item cannot be made, and so the item is not deleted.
enum class BackupProblem {
  None,
  Unreadable,      // a value or key of it could not be read
  NameNotCarried,  // a name holding a line break or a NUL: the .reg form has no way to write it
  PathTooLong,     // a key whose path no import can create again (over 32,766 characters)
  PlaceUnknown,    // where WoW64 redirection put the key could not be told
};

// A registry finding opened for its clean, so that what is kept and what is deleted are the
// same keys: the key with every key below it, each opened through its parent for reading
// and deleting, or the key holding the one value.
class RegistryItem {
 public:
  // `valueName` empty: the key with everything below it; "@D_e_f_a_u_l_t": the key's
  // default value; else that value. ERROR_SUCCESS, or ERROR_FILE_NOT_FOUND when it is not
  // there (nothing to keep, nothing to delete), or why it may not be touched: a key of it
  // that may not be read or deleted (FailedPath() names it below the item), a name with a
  // NUL (ERROR_INVALID_NAME), a tree that changed while it was opened (ERROR_INVALID_DATA).
  // All or nothing: an item that does not open whole is never deleted in part.
  LONG Open(HKEY root, const std::wstring& path, const std::wstring& valueName,
            sys::RegView view);
  const std::wstring& FailedPath() const { return tree_.FailedPath(); }
  // The item in the .reg form under the name of its real place, every value and key of it.
  BackupProblem Text(std::wstring& text);
  // Deletes what was opened when none of it changed since Text read it
  // (ERROR_INVALID_DATA otherwise, and nothing is deleted).
  LONG Delete();

 private:
  HKEY root_ = nullptr;
  std::wstring path_;
  std::wstring value_;  // the value's name; empty for a whole key
  bool defaultValue_ = false;
  sys::RegTree tree_;
  sys::ScopedRegKey key_;  // the key of the value
  DWORD type_ = 0;
  std::vector<BYTE> data_;
};

class RegistryBackup {
 public:
  // The file is made in `folder` at the first entry, named by the date and time.
  explicit RegistryBackup(std::wstring folder = L"") : folder_(std::move(folder)) {}
  RegistryBackup(RegistryBackup&& other) noexcept = default;
  RegistryBackup& operator=(RegistryBackup&& other) noexcept = default;

  // Appends the text and flushes it to the disk. True only when all of it is there; a
  // failed append leaves the file as it was.
  bool Append(const std::wstring& text);
  // The file written so far, empty before the first entry.
  const std::wstring& File() const { return file_; }
  // Ends this clean's file: from now on others may open it (an import, an editor).
  void Close() { handle_.reset(); }

 private:
  std::wstring folder_;
  std::wstring file_;
  sys::ScopedFile handle_;  // open for the whole clean
  LONGLONG size_ = 0;         // bytes known to be in the file
};

// The "Backup" folder beside the settings file (which lies beside the program).
std::wstring BackupFolderFor(const std::wstring& settingsFile);

// The line of one value ("name"=data) with its line end; empty when it cannot be read.
std::wstring RegValueText(HKEY key, const std::wstring& valueName);

}  // namespace clean
