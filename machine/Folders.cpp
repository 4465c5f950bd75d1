#include "machine/Folders.h"

#include <shlobj.h>

#include <vector>

#include "sys/Text.h"

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

Folders Folders::FromSystem(HWND owner) {
  Folders f;
  wchar_t buf[MAX_PATH + 1] = {};
  UINT n = GetWindowsDirectoryW(buf, MAX_PATH);
  if (n > 0 && n < MAX_PATH) f.windows.assign(buf, n);
  n = GetSystemDirectoryW(buf, MAX_PATH);
  if (n > 0 && n < MAX_PATH) f.system.assign(buf, n);
  DWORD t = GetTempPathW(MAX_PATH, buf);
  if (t > 0 && t < MAX_PATH) f.temp.assign(buf, t);
  static const int kUsed[] = {CSIDL_PROGRAMS,       CSIDL_STARTUP,        CSIDL_RECENT,
                              CSIDL_SENDTO,         CSIDL_COMMON_PROGRAMS, CSIDL_COMMON_STARTUP,
                              CSIDL_APPDATA,        CSIDL_LOCAL_APPDATA,  CSIDL_INTERNET_CACHE,
                              CSIDL_COOKIES,        CSIDL_COMMON_APPDATA, CSIDL_PROGRAM_FILES,
                              CSIDL_PROFILE,        CSIDL_PROGRAM_FILES_COMMON, CSIDL_HISTORY,
                              CSIDL_PERSONAL,       CSIDL_DESKTOPDIRECTORY, CSIDL_FAVORITES,
                              CSIDL_TEMPLATES};
  for (int csidl : kUsed) {
    std::wstring p = GetSpecialFolder(owner, csidl);
    if (!p.empty()) f.special[csidl] = p;
  }
  return f;
}

Folders& AppFolders() {
  static Folders folders;
  return folders;
}


static std::wstring Norm(const std::wstring& p) { return LowerCase(WithBackslash(p)); }

bool IsTempFolderSafe(const std::wstring& temp, const std::vector<std::wstring>& known) {
  std::wstring t = Norm(temp);
  if (t.size() <= 3) return false;
  // Walking one of these, or a folder above one, would reach somebody's data.
  for (const std::wstring& k : known) {
    if (Trim(k).empty()) continue;
    if (StartsWith(Norm(k), t)) return false;
  }
  return true;
}

bool IsTempFolderSafe(const std::wstring& temp, const std::wstring& profile,
                      const std::wstring& windows, const std::wstring& programFiles) {
  return IsTempFolderSafe(temp, std::vector<std::wstring>{profile, windows, programFiles});
}

bool IsTempFolderSafe(const Folders& f) {
  std::vector<std::wstring> known = {f.windows, f.system};
  for (int csidl : {CSIDL_PROFILE, CSIDL_PROGRAM_FILES, CSIDL_DESKTOPDIRECTORY, CSIDL_PERSONAL,
                    CSIDL_APPDATA, CSIDL_LOCAL_APPDATA, CSIDL_COMMON_APPDATA})
    known.push_back(f.Special(csidl));
  return IsTempFolderSafe(f.temp, known);
}

bool IsTempFolderSafe() { return IsTempFolderSafe(AppFolders()); }

}  // namespace machine
