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
  // The Downloads folder, which has no CSIDL number (Vista and later; empty before).
  std::wstring downloads;
  // On 64-bit Windows the 64-bit "Program Files", which a 32-bit program is not given.
  std::wstring nativeProgramFiles;

  // Empty when the folder is unknown.
  std::wstring Special(int csidl) const;
  std::wstring Profile() const { return Special(0x0028 /* CSIDL_PROFILE */); }
  std::wstring ProgramFiles() const { return Special(0x0026 /* CSIDL_PROGRAM_FILES */); }
  // Where the user's own files are: the desktop, documents, pictures, music, videos,
  // downloads and favorites, the user's and all users'.
  std::vector<std::wstring> UserFileFolders() const;
  // The folders of the system and of the programs: the profile, the roaming, local and
  // common application data, Windows, the system folders and both Program Files.
  std::vector<std::wstring> SystemFolders() const;

  // Reads the live system's folders (the CSIDL numbers the scanners use).
  static Folders FromSystem(HWND owner);
};


// The process-wide folders object that the utilities read.
Folders& AppFolders();

// Why a walk that deletes every file it finds may not start at a folder.
enum class EmptyRefusal {
  None,
  NotFullPath,   // relative, or not a drive or network path
  DriveRoot,     // "C:\", "\\server\share\"
  NoFolder,      // missing, or a file
  Link,          // a junction, symbolic link or mount point, or unreadable
  UserFiles,     // is, holds or lies inside one of the user's own folders
  SystemFolder,  // is or holds a folder of the system or of the programs
};
// Compared as the walk would reach them: full paths in their exact form, long names, and
// also where links on the way lead (where the system can tell, Vista and later).
EmptyRefusal WhyNotEmptied(const std::wstring& folder, const Folders& folders);
bool SafeToEmpty(const std::wstring& folder, const Folders& folders);

// What marks a folder as another program's own, for a folder that program's settings
// name: the program's own folders (its profile and installation), inside which any
// folder is its own, and the files (relative paths) one of which such a folder holds.
struct ProgramMark {
  std::vector<std::wstring> ownFolders;
  std::vector<std::wstring> files;
};
// A folder named by another program's settings may be walked: it passes the rule of
// SafeToEmpty and lies inside one of the program's own folders or carries its mark.
bool SafeNamedFolder(const std::wstring& folder, const Folders& folders,
                     const ProgramMark& mark);

}  // namespace machine
