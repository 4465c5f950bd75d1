// Path, file and folder utilities shared by the scanners, the finder and the window.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace sys {

// Cuts the program path out of a command line, an uninstall string or an icon
// reference ("C:\x\a.dll,3" gives "C:\x\a.dll").
std::wstring ExtractExePath(const std::wstring& commandLine);
// The files a command line stands or falls with, as Windows runs it: its program, or what
// a host runs for it: rundll32's library (in any spelling of the host; a library path
// with blanks left unquoted gives the text up to the comma and up to the first blank),
// the script of wscript and cscript and of powershell -File, and the program or script
// of cmd /c or /k when it is given by a full path (a bare word may be a command of cmd).
// A program path with a blank that no extension ends is given as written and up to the
// blank. The command runs when any of them exists (Windows adds ".exe" to a program and
// ".dll" to a library without extension); none: nothing in the command can be judged,
// as when the file is one the shell fills in ("%1").
// Paths come as written, variables not expanded.
std::vector<std::wstring> CommandTargets(const std::wstring& commandLine);

// The file cannot be opened for exclusive read-write access. A missing file is not
// locked; a locked file inside `temp` (the temporary folder) without a shell type name
// counts as not locked. Read-only files always fail the test: callers exempt them.
bool IsFileLocked(const std::wstring& path, const std::wstring& temp);
// The same with the attributes a folder listing has just given: one question fewer to the
// file system for every file of a walk.
bool IsFileLocked(const std::wstring& path, DWORD attributes, const std::wstring& temp);

// The shell's type name of a file ("文本文档"), empty when none.
std::wstring GetFileTypeName(const std::wstring& path);


// Appends every folder below `folder`, each folder's direct sub-folders before their own
// sub-folders. Names beginning with "." and links (reparse points) are left out, and
// nothing is listed when `folder` itself is a link.
void ListSubfolders(const std::wstring& folder, std::vector<std::wstring>& list);

// Deletes a file (exact path), clearing its read-only bit first; true when it is gone
// (also when it was gone before). A file that stays keeps its attributes.
bool DeleteFileForced(const std::wstring& path);
// Removes a folder (exact path) when nothing is left in it; true when it is gone (also
// when it was gone before), false when it stays (not empty, in use, access denied).
bool RemoveEmptyFolder(const std::wstring& path);

// Deletes the files directly inside a folder (read-only bit cleared first); sub-folders
// are untouched. Nothing is deleted through a link: a folder that is a reparse point, or
// whose attributes cannot be read, is left as it is. False when a file stayed (or the
// folder could not be read for another reason than being gone).
bool EmptyFolderFiles(const std::wstring& folder);
// The folder holds a folder (or a link to one).
bool HasSubfolders(const std::wstring& folder);

// Expands 8.3 short names; empty on failure.
std::wstring GetLongPath(const std::wstring& path);

// The lower-cased extension including its dot, empty when none.
std::wstring ExtensionOf(const std::wstring& name);


// A variable of this process's environment; empty when it is not set.
std::wstring EnvironmentVariable(const wchar_t* name);

// Full path of a loaded module (null: the running executable), however long; empty when
// the system gives none. Every module path of the program is read here.
std::wstring ModuleFileName(HMODULE module = nullptr);

}  // namespace sys
