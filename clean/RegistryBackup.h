// What a clean deletes from the registry, kept in a file that regedit and "reg import"
// read back: "Windows Registry Editor Version 5.00", UTF-16 with a byte-order mark.
#pragma once
#include <windows.h>

#include <string>

namespace clean {

class RegistryBackup {
 public:
  // The file is made in `folder` at the first entry, named by the date and time.
  explicit RegistryBackup(std::wstring folder = L"") : folder_(std::move(folder)) {}

  // Appends the key with its values and sub-keys (`valueName` empty) or the one value
  // ("@D_e_f_a_u_l_t": the default value). A key or value that is not there is nothing
  // to keep and counts as kept. False when the file could not be written.
  bool Save(HKEY root, const std::wstring& keyPath, const std::wstring& valueName);
  // The file written so far, empty before the first entry.
  const std::wstring& File() const { return file_; }

 private:
  bool Append(const std::wstring& text);
  std::wstring folder_;
  std::wstring file_;
};

// The "Backup" folder beside the settings file (which lies beside the program).
std::wstring BackupFolderFor(const std::wstring& settingsFile);

// The lines of one key in the .reg form, its sub-keys after it; empty when it does not
// open. `name` is how the key is written in its section header.
std::wstring RegKeyText(HKEY root, const std::wstring& keyPath, const std::wstring& name);
// The line of one value ("name"=data) with its line end; empty when it cannot be read.
std::wstring RegValueText(HKEY key, const std::wstring& valueName);

}  // namespace clean
