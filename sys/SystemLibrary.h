// Loading DLLs so that no copy planted beside the program gets in. The program runs with
// administrator rights from wherever a user unpacked it (often a downloads folder that
// any program of the user can write to), and Windows looks for a DLL that is not one of
// its "known DLLs" first in the program's folder. So every DLL the program loads at run
// time is loaded here, by its full path; system DLLs that are not known DLLs are not
// imported at load time but reached through SystemFunction.
#pragma once
#include <windows.h>

#include <string>

namespace sys {

// How far the process could restrict its DLL search.
enum class DllSearch {
  SystemFolderOnly,  // SetDefaultDllDirectories: Windows 8 and later, Vista/7 with KB2533623
  NoCurrentFolder,   // only SetDllDirectoryW(""): XP SP1 to 7 without that update
  Unrestricted,      // Windows 2000 and XP before SP1 have neither
};

// Restricts where the process looks for DLLs, as far as the system allows. Called first
// thing, before anything could load a DLL by name.
DllSearch RestrictDllSearch();

// The full path of a DLL in the folder of system DLLs for this process: the system folder,
// or SysWOW64 for a 32-bit process on 64-bit Windows (whatever the calling thread's file
// system redirection is).
std::wstring SystemDllPath(const std::wstring& name);
// The full path of a file in the folder of the running program.
std::wstring ProgramFolderPath(const std::wstring& name);

// Loads a DLL by its full path; its own imports are looked up in the system folder, not
// in the folder it came from. A path that is not a full one is refused (nullptr,
// ERROR_INVALID_PARAMETER): the one place the program calls LoadLibrary.
HMODULE LoadLibraryByPath(const std::wstring& fullPath);

// A system DLL by its file name ("version.dll"), loaded once by its full path and kept for
// the life of the process; nullptr when it cannot be loaded (a failure is tried again at
// the next call).
HMODULE SystemLibrary(const wchar_t* name);

// An export of a system DLL, or nullptr when the DLL or the export is missing.
FARPROC SystemProc(const wchar_t* dll, const char* name);
template <typename Fn>
Fn SystemFunction(const wchar_t* dll, const char* name) {
  // Through void* so that -Wcast-function-type stays quiet.
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(SystemProc(dll, name)));
}

}  // namespace sys
