// What a clean deletes from the registry, kept in a file that regedit and "reg import"
// read back: "Windows Registry Editor Version 5.00", UTF-16 with a byte-order mark. Nothing
// is deleted that is not in that file first.
#pragma once
#include <windows.h>

#include <memory>
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

  // Appends the text; false, leaving the file as it was, when not all of it was written.
  bool Append(const std::wstring& text);
  // Puts what was appended on the disk. When that fails, what was appended since the last
  // flush is cut off again (it may never reach the disk) and the result is false.
  bool Flush();
  // The file written so far, empty before the first entry.
  const std::wstring& File() const { return file_; }
  // Ends this clean's file: from now on others may open it (an import, an editor).
  void Close() { handle_.reset(); }

 private:
  bool Truncate(LONGLONG size);
  std::wstring folder_;
  std::wstring file_;
  sys::ScopedFile handle_;  // open for the whole clean
  LONGLONG size_ = 0;         // bytes written
  LONGLONG flushed_ = 0;      // bytes on the disk
};

// Registry findings on their way out. Each is opened and its backup appended; once the
// backup file is flushed, all of them are deleted: one flush for many items.
class RegistryBatch {
 public:
  // Without a backup nothing is kept (and all the rest is the same).
  explicit RegistryBatch(RegistryBackup* backup) : backup_(backup) {}
  // Opens the finding (see DeleteRegistryItem) and appends its backup. Empty when it waits
  // in the batch (`waiting`) or is not there; otherwise why it stays.
  std::wstring Add(const std::wstring& rootName, const std::wstring& keyPath,
                   const std::wstring& valueName, sys::RegView view, bool& waiting);
  // The key lies inside a waiting item's key or holds one: deleting either would change
  // the other, so the batch is finished first.
  bool Touches(const std::wstring& rootName, const std::wstring& keyPath) const;
  size_t Size() const { return waiting_.size(); }
  // Flushes the backup and deletes the waiting items in the order they came: for each,
  // empty when it is gone, or why it stays.
  std::vector<std::wstring> Finish();

 private:
  struct Waiting {
    std::wstring root, path;
    std::unique_ptr<RegistryItem> item;
  };
  RegistryBackup* backup_;
  std::vector<Waiting> waiting_;
};

// The root a finding names; a name no scanner writes stands for the current configuration.
HKEY RegistryRoot(const std::wstring& name);

// The "Backup" folder beside the settings file (which lies beside the program).
std::wstring BackupFolderFor(const std::wstring& settingsFile);

// The line of one value ("name"=data) with its line end; empty when it cannot be read.
std::wstring RegValueText(HKEY key, const std::wstring& valueName);

}  // namespace clean
