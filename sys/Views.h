// The two views a 32-bit program has of a 64-bit Windows, file system and registry, and
// the exact form of a path. A finding that says "missing, therefore remove" must never be
// judged through WoW64 redirection, and a name found by a walk must never be acted on
// under another name that Win32 makes of it.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace sys {

// --- file system -----------------------------------------------------------------------

// The calls behind ExistsInAnyView; tests replace them to model a 64-bit machine.
struct FileViewApi {
  // Switches WoW64 file-system redirection off for the calling thread; false when there
  // is none to switch (32-bit Windows, a 64-bit process, Windows before XP SP2).
  std::function<bool(void** old)> disableRedirection;
  std::function<void(void* old)> revertRedirection;
  std::function<DWORD(const std::wstring& path)> attributes;  // GetFileAttributesW
};
FileViewApi& FileViews();

// Attributes of a path read from the registry, an INI file or a shortcut, from the first
// view in which it exists: the program's own, then the native one with redirection off.
// INVALID_FILE_ATTRIBUTES only when the path is missing in both views.
DWORD AttributesInAnyView(const std::wstring& path);
// The one test for "it is missing, so the finding stands". A file or a folder.
bool ExistsInAnyView(const std::wstring& path);
bool FileExistsInAnyView(const std::wstring& path);
bool DirectoryExistsInAnyView(const std::wstring& path);

// --- proof of absence ------------------------------------------------------------------

// What a path's drive is, asked once per drive and kept for a few seconds; tests replace
// the calls to model drives this machine has not (removable, CD, network, not ready).
struct DriveApi {
  std::function<UINT(const std::wstring& root)> type;  // GetDriveTypeW("C:\")
  std::function<bool(const std::wstring& root)> ready;  // the volume answers
};
DriveApi& Drives();
// Forgets what was learnt of the drives (after DriveApi changed, or a disk was plugged in).
void ForgetDrives();

// The one test for "it is missing, so the finding stands" of a path read from the
// registry: true only when the path is a full one ("C:\...") on a present, ready, local
// fixed disk, and the file system answers "file not found" or "path not found" in the
// program's own view and, on 64-bit Windows, with redirection off as well. A removable,
// CD, network, RAM or unknown drive, one that is not ready or not there, a UNC or
// relative path, and any other answer (access denied, a bad name, ...) prove nothing.
bool ProvenMissing(const std::wstring& path);

// The "\\?\" form of a full path ("C:\..." or "\\server\share\..."), which Win32 passes to
// the file system unchanged: no trailing dot or space dropped, no device names, no
// MAX_PATH limit. Separators are folded and "." / ".." resolved first, as Win32 would.
// Paths that are not full (or already in that form) come back as given. Every file call
// on a path built from names a walk found goes through it.
std::wstring ExactPath(const std::wstring& fullPath);
// The name would reach the file system as written through a plain Win32 path: no
// trailing dot or space, no reserved device name ("con", "nul", "com1.txt" ...), no "?" or
// "*" and no ":" (stream). Shell calls that take no "\\?\" path are made only on such names.
bool IsPlainWin32Name(const std::wstring& name);
// Every component after the root is a plain Win32 name.
bool IsPlainWin32Path(const std::wstring& path);

// --- registry ----------------------------------------------------------------------------

// Default is the program's own view; the others name one explicitly (KEY_WOW64_64KEY /
// KEY_WOW64_32KEY). On Windows without WoW64 every view is the one registry.
enum class RegView { Default, Native64, Wow32 };

// The call behind RegKey::OpenRead/OpenWrite with a view; tests replace it to model the
// redirected keys of a 64-bit machine inside the hermetic registry.
struct RegViewApi {
  // True where the views differ: 64-bit Windows (a 64-bit process, or a 32-bit one under
  // WoW64). Windows 2000 refuses the view flags, so they are only sent where this holds.
  bool present = false;
  // The view that is not the program's own: the native one for a 32-bit program.
  RegView other = RegView::Native64;
  std::function<LONG(HKEY root, const std::wstring& path, REGSAM access, RegView view,
                     HKEY* key)>
      open;
};
RegViewApi& RegViews();
bool HasRegistryViews();
// The views in which a key of a redirected branch may live: the program's own, and where
// the views differ the other one.
std::vector<RegView> OwnAndOtherView();

// Restores FileViews(), RegViews() and Drives() on destruction; change them in between.
class ScopedViewApis {
 public:
  ScopedViewApis() : files_(FileViews()), regs_(RegViews()), drives_(Drives()) {}
  ~ScopedViewApis() {
    FileViews() = files_;
    RegViews() = regs_;
    Drives() = drives_;
    ForgetDrives();
  }
  ScopedViewApis(const ScopedViewApis&) = delete;
  ScopedViewApis& operator=(const ScopedViewApis&) = delete;

 private:
  FileViewApi files_;
  RegViewApi regs_;
  DriveApi drives_;
};

}  // namespace sys
