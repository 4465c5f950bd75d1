// The folders the scanners read: filled once at start-up by the window, by tests with
// sandbox paths.
#pragma once
#include <windows.h>

#include <map>
#include <string>

namespace sys {

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

// A variable of this process's environment; empty when it is not set.
std::wstring EnvironmentVariable(const wchar_t* name);

// Full path of a loaded module (null: the running executable), however long; empty when
// the system gives none. Every module path of the program is read here.
std::wstring ModuleFileName(HMODULE module = nullptr);

// The process-wide folders object that the utilities read.
Folders& AppFolders();

}  // namespace sys
