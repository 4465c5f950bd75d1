#include "machine/Folders.h"

#include <shlobj.h>

#include <cwctype>
#include <vector>

#include "sys/FileSearch.h"
#include "sys/FolderWalk.h"
#include "sys/Handles.h"
#include "sys/Registry.h"
#include "sys/SystemLibrary.h"
#include "sys/Text.h"
#include "sys/Views.h"

namespace machine {

using sys::LowerCase;
using sys::StartsWith;
using sys::Trim;
using sys::WithBackslash;

std::wstring GetSpecialFolder(HWND owner, int csidl) {
  if (owner == reinterpret_cast<HWND>(INVALID_HANDLE_VALUE)) return {};
  LPITEMIDLIST pidl = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(owner, csidl, &pidl)) || !pidl) return {};
  wchar_t buf[MAX_PATH] = {};
  BOOL ok = SHGetPathFromIDListW(pidl, buf);
  CoTaskMemFree(pidl);
  return ok ? std::wstring(buf) : std::wstring();
}

std::wstring Folders::Special(int csidl) const {
  auto it = special.find(csidl);
  return it == special.end() ? std::wstring() : it->second;
}

std::vector<std::wstring> Folders::UserFileFolders() const {
  std::vector<std::wstring> list;
  for (int csidl : {CSIDL_DESKTOPDIRECTORY, CSIDL_PERSONAL, CSIDL_MYPICTURES, CSIDL_MYMUSIC,
                    CSIDL_MYVIDEO, CSIDL_FAVORITES, CSIDL_COMMON_DESKTOPDIRECTORY,
                    CSIDL_COMMON_DOCUMENTS, CSIDL_COMMON_PICTURES, CSIDL_COMMON_MUSIC,
                    CSIDL_COMMON_VIDEO, CSIDL_COMMON_FAVORITES})
    list.push_back(Special(csidl));
  list.push_back(downloads);
  return list;
}

std::vector<std::wstring> Folders::SystemFolders() const {
  std::vector<std::wstring> list = {windows, system, nativeProgramFiles};
  for (int csidl : {CSIDL_PROFILE, CSIDL_APPDATA, CSIDL_LOCAL_APPDATA, CSIDL_COMMON_APPDATA,
                    CSIDL_SYSTEMX86, CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86})
    list.push_back(Special(csidl));
  return list;
}

namespace {

// Downloads is a known folder only: SHGetKnownFolderPath, which Windows 2000 and XP lack,
// is looked up at run time.
std::wstring DownloadsFolder() {
  sys::ScopedModule shell(sys::LoadLibraryByPath(sys::SystemDllPath(L"shell32.dll")));
  using Fn = HRESULT(WINAPI*)(const GUID&, DWORD, HANDLE, PWSTR*);
  auto fn = shell ? reinterpret_cast<Fn>(reinterpret_cast<void*>(
                        GetProcAddress(shell.get(), "SHGetKnownFolderPath")))
                  : nullptr;
  if (!fn) return {};
  static const GUID kDownloads = {0x374de290, 0x123f, 0x4565,
                                  {0x91, 0x64, 0x39, 0xc4, 0x92, 0x5e, 0x46, 0x7b}};
  PWSTR path = nullptr;
  std::wstring result;
  if (SUCCEEDED(fn(kDownloads, 0, nullptr, &path)) && path) result = path;
  CoTaskMemFree(path);
  return result;
}

std::wstring NativeProgramFiles() {
  if (!sys::HasRegistryViews()) return {};
  sys::RegKey key;
  if (key.OpenRead(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                   sys::RegView::Native64) != ERROR_SUCCESS)
    return {};
  return key.ReadString(L"ProgramFilesDir");
}

}  // namespace

Folders Folders::FromSystem(HWND owner) {
  Folders f;
  wchar_t buf[MAX_PATH + 1] = {};
  UINT n = GetWindowsDirectoryW(buf, MAX_PATH);
  if (n > 0 && n < MAX_PATH) f.windows.assign(buf, n);
  n = GetSystemDirectoryW(buf, MAX_PATH);
  if (n > 0 && n < MAX_PATH) f.system.assign(buf, n);
  DWORD t = GetTempPathW(MAX_PATH, buf);
  if (t > 0 && t < MAX_PATH) f.temp.assign(buf, t);
  static const int kUsed[] = {
      CSIDL_PROGRAMS,        CSIDL_STARTUP,           CSIDL_RECENT,
      CSIDL_SENDTO,          CSIDL_COMMON_PROGRAMS,   CSIDL_COMMON_STARTUP,
      CSIDL_APPDATA,         CSIDL_LOCAL_APPDATA,     CSIDL_INTERNET_CACHE,
      CSIDL_COOKIES,         CSIDL_COMMON_APPDATA,    CSIDL_PROGRAM_FILES,
      CSIDL_PROFILE,         CSIDL_PROGRAM_FILES_COMMON, CSIDL_HISTORY,
      CSIDL_PERSONAL,        CSIDL_DESKTOPDIRECTORY,  CSIDL_FAVORITES,
      CSIDL_TEMPLATES,       CSIDL_MYPICTURES,        CSIDL_MYMUSIC,
      CSIDL_MYVIDEO,         CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_COMMON_DOCUMENTS,
      CSIDL_COMMON_PICTURES, CSIDL_COMMON_MUSIC,      CSIDL_COMMON_VIDEO,
      CSIDL_COMMON_FAVORITES, CSIDL_SYSTEMX86,        CSIDL_PROGRAM_FILESX86};
  for (int csidl : kUsed) {
    std::wstring p = GetSpecialFolder(owner, csidl);
    if (!p.empty()) f.special[csidl] = p;
  }
  f.downloads = DownloadsFolder();
  f.nativeProgramFiles = NativeProgramFiles();
  return f;
}

Folders& AppFolders() {
  static Folders folders;
  return folders;
}

namespace {

// A path as the walks reach it, for comparing: the exact form of a full drive or network
// path, lower case, with a trailing backslash; empty for anything else. With
// `longNames` an 8.3 name, which would hide a known folder, is made long.
std::wstring Comparable(const std::wstring& path, bool longNames) {
  std::wstring exact = sys::ExactPath(path);
  if (!StartsWith(exact, L"\\\\?\\")) return {};
  DWORD n = longNames ? GetLongPathNameW(exact.c_str(), nullptr, 0) : 0;
  if (n > 0) {
    std::wstring longer(n, L'\0');
    DWORD got = GetLongPathNameW(exact.c_str(), &longer[0], n);
    if (got > 0 && got < n) exact = longer.substr(0, got);
  }
  std::wstring plain;
  if (StartsWith(exact, L"\\\\?\\UNC\\"))
    plain = L"\\\\" + exact.substr(8);
  else if (exact.size() >= 6 && std::iswalpha(exact[4]) && exact[5] == L':')
    plain = exact.substr(4);
  else
    return {};  // a volume name or a device
  return LowerCase(WithBackslash(plain));
}

bool IsRoot(const std::wstring& comparable) {
  if (comparable.size() == 3 && comparable[1] == L':') return true;
  if (!StartsWith(comparable, L"\\\\")) return false;
  // "\\server\share\": two names, each ended by its backslash.
  size_t server = comparable.find(L'\\', 2);
  if (server == std::wstring::npos) return true;
  size_t share = comparable.find(L'\\', server + 1);
  return share == std::wstring::npos || share + 1 == comparable.size();
}

// Where a folder really is once every link on its way is followed, when the system can
// tell (GetFinalPathNameByHandleW, Vista and later); empty otherwise.
std::wstring FinalPath(const std::wstring& path) {
  using Fn = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);
  static const Fn fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetFinalPathNameByHandleW")));
  if (!fn) return {};
  HANDLE h = CreateFileW(sys::ExactPath(path).c_str(), 0,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return {};
  std::wstring result(MAX_PATH, L'\0');
  DWORD n = fn(h, &result[0], DWORD(result.size()), 0);
  if (n >= result.size()) {
    result.resize(n + 1);
    n = fn(h, &result[0], DWORD(result.size()), 0);
  }
  CloseHandle(h);
  if (n == 0 || n >= result.size()) return {};
  result.resize(n);
  return result;
}

// A folder on the way to `path` is a link (or cannot be read): where the system cannot
// say where the path leads, it is not walked.
bool LinkOnTheWay(const std::wstring& path) {
  const std::wstring exact = sys::ExactPath(path);
  size_t from = StartsWith(exact, L"\\\\?\\UNC\\") ? exact.find(L'\\', 8) + 1 : 7;
  for (size_t cut = exact.find(L'\\', from); cut != std::wstring::npos && cut > 0;
       cut = exact.find(L'\\', cut + 1)) {
    DWORD a = sys::FileAttributes(exact.substr(0, cut));
    if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_REPARSE_POINT)) return true;
  }
  return false;
}

// The forms a known folder goes by: as named, and, when it is a link itself, where it
// leads. With `resolve` off only the first, read from the text alone.
std::vector<std::wstring> KnownForms(const std::wstring& path, bool resolve) {
  std::vector<std::wstring> forms;
  if (Trim(path).empty()) return forms;
  std::wstring named = Comparable(path, false);
  if (named.empty()) return forms;
  forms.push_back(named);
  DWORD a = resolve ? sys::FolderAttributes(path) : INVALID_FILE_ATTRIBUTES;
  if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT)) {
    std::wstring real = Comparable(FinalPath(path), false);
    if (!real.empty() && real != named) forms.push_back(real);
  }
  return forms;
}

EmptyRefusal PlaceRefusal(const std::vector<std::wstring>& forms, const Folders& f,
                          bool resolve) {
  for (const std::wstring& user : f.UserFileFolders())
    for (const std::wstring& u : KnownForms(user, resolve))
      for (const std::wstring& x : forms)
        if (StartsWith(x, u) || StartsWith(u, x)) return EmptyRefusal::UserFiles;
  // Lying inside these is allowed: caches and temporary folders live there.
  for (const std::wstring& system : f.SystemFolders())
    for (const std::wstring& s : KnownForms(system, resolve))
      for (const std::wstring& x : forms)
        if (StartsWith(s, x)) return EmptyRefusal::SystemFolder;
  return EmptyRefusal::None;
}

}  // namespace

EmptyRefusal WhyNotEmptied(const std::wstring& folder, const Folders& folders) {
  const std::wstring named = Comparable(folder, true);
  if (named.empty()) return EmptyRefusal::NotFullPath;
  if (IsRoot(named)) return EmptyRefusal::DriveRoot;
  EmptyRefusal place = PlaceRefusal({named}, folders, false);
  if (place != EmptyRefusal::None) return place;
  DWORD a = sys::FolderAttributes(folder);
  if (a == INVALID_FILE_ATTRIBUTES) {
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
      return EmptyRefusal::NoFolder;
    return EmptyRefusal::Link;  // what cannot be read might be one
  }
  if (!(a & FILE_ATTRIBUTE_DIRECTORY)) return EmptyRefusal::NoFolder;
  if (a & FILE_ATTRIBUTE_REPARSE_POINT) return EmptyRefusal::Link;
  // Links on the way there, or a known folder that is a link: the folder may really be
  // somebody's documents.
  std::vector<std::wstring> forms = {named};
  const std::wstring final = FinalPath(folder);
  if (final.empty() && LinkOnTheWay(folder)) return EmptyRefusal::Link;
  std::wstring real = Comparable(final, true);
  if (!real.empty() && real != named) {
    if (IsRoot(real)) return EmptyRefusal::DriveRoot;
    forms.push_back(real);
  }
  return PlaceRefusal(forms, folders, true);
}

bool SafeToEmpty(const std::wstring& folder, const Folders& folders) {
  return WhyNotEmptied(folder, folders) == EmptyRefusal::None;
}

bool SafeNamedFolder(const std::wstring& folder, const Folders& folders,
                     const ProgramMark& mark) {
  if (!SafeToEmpty(folder, folders)) return false;
  const std::wstring named = Comparable(folder, true);
  for (const std::wstring& own : mark.ownFolders) {
    // An own folder that fails the rule itself vouches for nothing.
    const std::wstring o = Comparable(own, true);
    if (!o.empty() && StartsWith(named, o) && SafeToEmpty(own, folders)) return true;
  }
  for (const std::wstring& file : mark.files)
    if (sys::FileAttributes(WithBackslash(folder) + file) != INVALID_FILE_ATTRIBUTES) return true;
  return false;
}

}  // namespace machine
