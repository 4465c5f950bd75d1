// The folders the scanners read: filled once at start-up by the window, by tests with
// sandbox paths.
#pragma once
#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace machine {

// Path of a special folder (CSIDL number), empty when unknown or when the owner is
// INVALID_HANDLE_VALUE.
std::wstring GetSpecialFolder(HWND owner, int csidl);

struct Folders {
  std::wstring windows;  // GetWindowsDirectory, no trailing backslash
  std::wstring system;   // GetSystemDirectory
  std::wstring temp;     // GetTempPath, as the system gives it (trailing backslash)
  std::map<int, std::wstring> special;  // CSIDL number -> path

  // Empty when the folder is unknown.
  std::wstring Special(int csidl) const;
  std::wstring Profile() const { return Special(0x0028 /* CSIDL_PROFILE */); }
  std::wstring ProgramFiles() const { return Special(0x0026 /* CSIDL_PROGRAM_FILES */); }

  // Reads the live system's folders (the CSIDL numbers the scanners use).
  static Folders FromSystem(HWND owner);
};


// The process-wide folders object that the utilities read.
Folders& AppFolders();

// The temporary folder may be walked: it is not a bare drive root, and neither one of
// the known folders nor an ancestor of one. Those are the profile, the Windows and
// system folders, Program Files, the desktop, the documents, the roaming, local and
// common application data. The first form reads AppFolders().
bool IsTempFolderSafe();
bool IsTempFolderSafe(const Folders& folders);
bool IsTempFolderSafe(const std::wstring& temp, const std::vector<std::wstring>& known);
bool IsTempFolderSafe(const std::wstring& temp, const std::wstring& profile,
                      const std::wstring& windows, const std::wstring& programFiles);

}  // namespace machine
