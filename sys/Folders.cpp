#include "sys/Folders.h"

#include <shlobj.h>

#include <vector>

namespace sys {

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

std::wstring EnvironmentVariable(const wchar_t* name) {
  std::vector<wchar_t> buf(MAX_PATH);
  for (;;) {
    DWORD n = GetEnvironmentVariableW(name, buf.data(), DWORD(buf.size()));
    if (n == 0) return {};
    if (n < buf.size()) return std::wstring(buf.data(), n);
    buf.resize(n);
  }
}

std::wstring ModuleFileName(HMODULE module) {
  // The call fills the whole buffer, cut short, when the path does not fit.
  std::vector<wchar_t> buf(MAX_PATH);
  for (;;) {
    DWORD n = GetModuleFileNameW(module, buf.data(), DWORD(buf.size()));
    if (n == 0) return {};
    if (n < buf.size()) return std::wstring(buf.data(), n);
    if (buf.size() >= 0x10000) return {};  // longer than any path the system can hold
    buf.resize(buf.size() * 2);
  }
}

}  // namespace sys
