#include "sys/FileUtils.h"

#include <shlobj.h>
#include <shellapi.h>

#include <algorithm>
#include <cwctype>
#include <vector>

#include "sys/FileSearch.h"
#include "sys/FolderWalk.h"
#include "sys/Registry.h"
#include "sys/Text.h"
#include "sys/Views.h"

namespace sys {

std::wstring ExtractExePath(const std::wstring& commandLine) {
  std::wstring s = Trim(commandLine);
  if (!s.empty() && s[0] == L'"') {
    s.erase(0, 1);
    if (!s.empty() && s[0] == L'"') s.erase(0, 1);
    size_t q = s.find(L'"');
    if (q != std::wstring::npos) s.erase(q);
  } else {
    size_t q = s.find(L'"');
    if (q != std::wstring::npos) {
      s.erase(q, 1);
      size_t next = s.find(L'"', q);
      if (next != std::wstring::npos) s.erase(next);
    }
  }
  for (size_t p; (p = s.find(L"\\\\")) != std::wstring::npos;) s.erase(p, 1);
  // Windows reads ".EXE" as ".exe".
  const std::wstring lower = LowerCase(s);
  if (lower.find(L".exe ") != std::wstring::npos) s.erase(lower.find(L".exe") + 4);
  static const wchar_t* const kSeparators[] = {L" /", L" -", L" %", L" ,", L","};
  for (const wchar_t* sep : kSeparators) {
    size_t at = s.find(sep);
    // A three-letter extension must end right before the separator.
    if (at != std::wstring::npos && at >= 4 && s[at - 4] == L'.') s.erase(at);
  }
  return s;
}

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

std::wstring SkipBlanks(const std::wstring& s, size_t from = 0) {
  while (from < s.size() && IsBlank(s[from])) ++from;
  return s.substr(from);
}

// The first argument of `s` and what follows it. A quoted argument is its quoted text; an
// unquoted one runs to the end of the first of `extensions` followed by a blank or the
// end (a path with blanks left unquoted), else to the first blank, else to `stop`.
std::wstring FirstArgument(const std::wstring& s, std::wstring* rest,
                           const std::vector<std::wstring>& extensions = {},
                           const wchar_t* stop = L"") {
  std::wstring t = SkipBlanks(s);
  size_t end;
  std::wstring arg;
  if (!t.empty() && t[0] == L'"') {
    end = t.find(L'"', 1);
    arg = t.substr(1, end == std::wstring::npos ? std::wstring::npos : end - 1);
    end = end == std::wstring::npos ? t.size() : end + 1;
  } else {
    const std::wstring lower = LowerCase(t);
    end = std::wstring::npos;
    for (const std::wstring& ext : extensions) {
      for (size_t at = lower.find(ext); at != std::wstring::npos; at = lower.find(ext, at + 1)) {
        size_t after = at + ext.size();
        if (after == t.size() || IsBlank(t[after]) || wcschr(stop, t[after])) {
          end = std::min(end, after);
          break;
        }
      }
    }
    if (end == std::wstring::npos) {
      end = 0;
      while (end < t.size() && !IsBlank(t[end]) && t[end] != L'"' && !wcschr(stop, t[end])) ++end;
    }
    arg = t.substr(0, end);
  }
  if (rest) *rest = t.substr(std::min(end, t.size()));
  return arg;
}

std::wstring BaseName(const std::wstring& path) {
  size_t slash = path.find_last_of(L"\\/");
  std::wstring name = LowerCase(slash == std::wstring::npos ? path : path.substr(slash + 1));
  if (EndsWith(name, L".exe")) name.resize(name.size() - 4);
  return name;
}

bool IsFullPath(const std::wstring& path) {
  return (path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/')) ||
         StartsWith(path, L"\\\\") || path[0] == L'%';
}

// "%1", "%L", "%*": a place the shell fills in, no file of the command's own.
bool IsPlaceholder(const std::wstring& arg) {
  return arg.size() == 2 && arg[0] == L'%' && (std::iswalnum(arg[1]) || arg[1] == L'*');
}

}  // namespace

std::vector<std::wstring> CommandTargets(const std::wstring& commandLine) {
  const std::wstring program = ExtractExePath(commandLine);
  std::wstring args;
  const std::wstring host =
      BaseName(FirstArgument(commandLine, &args, {L".exe"}));
  if (host == L"rundll32") {
    // rundll32 reads its library up to the comma; what a blank may end is tried as well.
    std::wstring rest;
    std::wstring dll = FirstArgument(args, &rest, {}, L",");
    const std::wstring upToComma = Trim(SkipBlanks(args).substr(0, SkipBlanks(args).find(L',')));
    if (IsPlaceholder(dll)) return {};
    std::vector<std::wstring> targets;
    if (!dll.empty()) targets.push_back(dll);
    std::wstring unquoted = upToComma;
    if (!unquoted.empty() && unquoted[0] != L'"' && unquoted != dll) targets.push_back(unquoted);
    return targets;
  }
  if (host == L"cmd") {
    std::wstring rest = args;
    for (;;) {
      std::wstring next;
      const std::wstring sw = LowerCase(FirstArgument(rest, &next));
      if (sw.empty()) return {};
      rest = next;
      if (sw == L"/c" || sw == L"/k") break;
      if (sw[0] != L'/') return {};
    }
    // cmd takes off the outer quotes of ""C:\My App\run.bat" arg".
    rest = SkipBlanks(rest);
    if (StartsWith(rest, L"\"\"")) rest.erase(0, 1);
    // Only a file given by its full path is judged: a bare word may be a command of cmd.
    const std::wstring inner = FirstArgument(rest, nullptr, {L".exe", L".bat", L".cmd"});
    if (inner.empty() || !IsFullPath(inner)) return {};
    return CommandTargets(rest);
  }
  if (host == L"wscript" || host == L"cscript") {
    std::wstring rest = args;
    for (;;) {
      std::wstring next;
      const std::wstring arg =
          FirstArgument(rest, &next, {L".vbs", L".vbe", L".js", L".jse", L".wsf", L".wsh"});
      if (arg.empty() || IsPlaceholder(arg)) return {};
      if (!StartsWith(arg, L"//")) return {arg};
      rest = next;
    }
  }
  if (host == L"powershell" || host == L"pwsh") {
    std::wstring rest = args;
    for (;;) {
      std::wstring next;
      const std::wstring arg = LowerCase(FirstArgument(rest, &next));
      if (arg.empty()) return {};
      rest = next;
      if (arg == L"-file" || arg == L"-f") {
        const std::wstring script = FirstArgument(rest, nullptr, {L".ps1"});
        if (script.empty() || IsPlaceholder(script)) return {};
        return {script};
      }
    }
  }
  if (program.empty()) return {};
  // Cut where no extension says so, the text may still hold arguments after a blank.
  const std::wstring first = FirstArgument(commandLine, nullptr, {L".exe"});
  if (first.empty() || first == program || Trim(commandLine)[0] == L'"') return {program};
  // A bare name is the first word: Windows looks it up.
  if (first.find_first_of(L"\\/:") == std::wstring::npos) return {first};
  return {program, first};
}

std::wstring GetFileTypeName(const std::wstring& path) {
  SHFILEINFOW info = {};
  if (!SHGetFileInfoW(path.c_str(), 0, &info, sizeof info, SHGFI_TYPENAME)) return {};
  return std::wstring(info.szTypeName);
}

bool IsFileLocked(const std::wstring& path, const std::wstring& temp) {
  DWORD attrs = FileAttributes(path);
  return attrs != INVALID_FILE_ATTRIBUTES && IsFileLocked(path, attrs, temp);
}

bool IsFileLocked(const std::wstring& path, DWORD attrs, const std::wstring& temp) {
  HANDLE h = CreateFileW(ExactPath(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    CloseHandle(h);
  } else {
    DWORD error = GetLastError();
    // Gone since it was listed: nothing holds it.
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return false;
  }
  // Windows refuses write access to a read-only file; a process with every file right
  // (root under Wine) is not refused, so the attribute is tested as well.
  bool locked = h == INVALID_HANDLE_VALUE || (attrs & FILE_ATTRIBUTE_READONLY);
  if (!locked) return false;
  // The shell takes no exact path: a name it would read as another is asked nothing.
  if (!temp.empty() && Contains(path, temp) && IsPlainWin32Path(path) &&
      GetFileTypeName(path).empty())
    return false;
  return true;
}

// Trailing backslash, doubled backslashes collapsed (a leading UNC pair is kept).
static std::wstring NormaliseFolder(const std::wstring& folder) {
  std::wstring s = WithBackslash(folder);
  size_t from = StartsWith(s, L"\\\\") ? 2 : 0;
  for (size_t p; (p = s.find(L"\\\\", from)) != std::wstring::npos;) s.erase(p, 1);
  return s;
}

void ListSubfolders(const std::wstring& folder, std::vector<std::wstring>& list) {
  if (folder.empty()) return;
  for (FolderWalk walk(NormaliseFolder(folder)); walk.Next();) {
    const std::wstring base = NormaliseFolder(walk.Folder());
    for (FileSearch s(base + L"*.*"); s.Found(); s.Next()) {
      if (!s.IsDirectory() || s.IsReparsePoint()) continue;
      std::wstring name = s.Name();
      if (name[0] == L'.') continue;
      list.push_back(base + name);
      walk.Enter(base + name, s.Attributes());
    }
  }
}

bool EmptyFolderFiles(const std::wstring& folder) {
  if (folder.size() <= 1) return true;
  std::wstring f = folder;
  if (f.back() == L'\\') f.pop_back();
  DWORD a = FileAttributes(f);
  if (a == INVALID_FILE_ATTRIBUTES) {
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }
  if (!(a & FILE_ATTRIBUTE_DIRECTORY)) return false;
  if (a & FILE_ATTRIBUTE_REPARSE_POINT) return true;
  bool all = true;
  for (FileSearch s(f + L"\\*.*"); s.Found(); s.Next()) {
    if (s.IsDirectory()) continue;
    if (!DeleteFileForced(f + L"\\" + s.Name())) all = false;
  }
  return all;
}

bool HasSubfolders(const std::wstring& folder) {
  for (FileSearch s(WithBackslash(folder) + L"*.*"); s.Found(); s.Next())
    if (s.IsDirectory()) return true;
  return false;
}

bool DeleteFileForced(const std::wstring& path) {
  const std::wstring exact = ExactPath(path);
  // Most files simply go: their attributes are only read when the first try fails.
  if (DeleteFileW(exact.c_str())) return true;
  DWORD error = GetLastError();
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return true;
  DWORD a = GetFileAttributesW(exact.c_str());
  // A folder of that name is no file that went.
  if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_DIRECTORY) ||
      !(a & FILE_ATTRIBUTE_READONLY))
    return false;
  SetFileAttributesW(exact.c_str(), a & ~DWORD(FILE_ATTRIBUTE_READONLY));
  if (DeleteFileW(exact.c_str())) return true;
  error = GetLastError();
  SetFileAttributesW(exact.c_str(), a);
  return error == ERROR_FILE_NOT_FOUND;
}

bool RemoveEmptyFolder(const std::wstring& path) {
  const std::wstring exact = ExactPath(path);
  if (RemoveDirectoryW(exact.c_str())) return true;
  DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

std::wstring GetLongPath(const std::wstring& path) {
  DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (n == 0) return {};
  std::wstring full(n, L'\0');
  n = GetFullPathNameW(path.c_str(), n, &full[0], nullptr);
  if (n == 0 || n >= full.size()) return {};
  full.resize(n);
  IShellFolder* desktop = nullptr;
  if (FAILED(SHGetDesktopFolder(&desktop)) || !desktop) return {};
  LPITEMIDLIST pidl = nullptr;
  std::wstring result;
  if (SUCCEEDED(desktop->ParseDisplayName(nullptr, nullptr, &full[0], nullptr, &pidl, nullptr)) &&
      pidl) {
    wchar_t buf[MAX_PATH] = {};
    if (SHGetPathFromIDListW(pidl, buf)) result = buf;
    CoTaskMemFree(pidl);
  }
  desktop->Release();
  return result;
}

std::wstring ExtensionOf(const std::wstring& name) {
  size_t dot = name.find_last_of(L'.');
  size_t slash = name.find_last_of(L"\\/");
  if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash)) return {};
  return LowerCase(name.substr(dot));
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
