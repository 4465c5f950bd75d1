#include "sys/Views.h"

#include <cwctype>
#include <vector>

#include "sys/Text.h"

namespace sys {

namespace {

using DisableFn = BOOL(WINAPI*)(PVOID*);
using RevertFn = BOOL(WINAPI*)(PVOID);

FileViewApi RealFileViews() {
  FileViewApi api;
  api.disableRedirection = [](void** old) {
    // Missing before XP SP2; present but useless in a 64-bit process, where it fails or
    // changes nothing.
    static const auto fn = reinterpret_cast<DisableFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32"), "Wow64DisableWow64FsRedirection")));
    BOOL wow64 = FALSE;
    static const auto isWow64 = reinterpret_cast<BOOL(WINAPI*)(HANDLE, PBOOL)>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32"), "IsWow64Process")));
    if (!fn || !isWow64 || !isWow64(GetCurrentProcess(), &wow64) || !wow64) return false;
    return fn(old) != FALSE;
  };
  api.revertRedirection = [](void* old) {
    static const auto fn = reinterpret_cast<RevertFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32"), "Wow64RevertWow64FsRedirection")));
    if (fn) fn(old);
  };
  api.attributes = [](const std::wstring& path) { return GetFileAttributesW(path.c_str()); };
  return api;
}

bool Is64BitWindows() {
#ifdef _WIN64
  return true;
#else
  using IsWow64Fn = BOOL(WINAPI*)(HANDLE, PBOOL);
  static const auto fn = reinterpret_cast<IsWow64Fn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32"), "IsWow64Process")));
  BOOL wow64 = FALSE;
  return fn && fn(GetCurrentProcess(), &wow64) && wow64;
#endif
}

RegViewApi RealRegViews() {
  RegViewApi api;
  api.present = Is64BitWindows();
  api.other = sizeof(void*) == 8 ? RegView::Wow32 : RegView::Native64;
  api.open = [](HKEY root, const std::wstring& path, REGSAM access, RegView view, HKEY* key) {
    if (HasRegistryViews()) {
      if (view == RegView::Native64) access |= KEY_WOW64_64KEY;
      if (view == RegView::Wow32) access |= KEY_WOW64_32KEY;
    }
    return RegOpenKeyExW(root, path.c_str(), 0, access, key);
  };
  return api;
}

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

DriveApi RealDrives() {
  DriveApi api;
  api.type = [](const std::wstring& root) { return GetDriveTypeW(root.c_str()); };
  api.ready = [](const std::wstring& root) {
    // A drive without its medium, or a locked volume, cannot say how much room it has.
    DWORD sectors = 0, bytes = 0, free = 0, total = 0;
    return GetDiskFreeSpaceW(root.c_str(), &sectors, &bytes, &free, &total) != FALSE;
  };
  return api;
}

// What was learnt of each drive letter, one word each so that the finder's thread and
// the main thread may both read and write it without a lock: the time it was learnt in
// units of 16 ms above the two low bits, which say whether the drive is proof.
enum : LONG { kUnknown = 0, kProof = 1, kNoProof = 2 };
const DWORD kDriveFactMillis = 3000;
volatile LONG g_drives[26];

bool NotFound(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// The drive letter of a full local path, in plain or "\\?\" form; 0 for any other path.
wchar_t DriveLetterOf(const std::wstring& path) {
  size_t at = path.compare(0, 4, L"\\\\?\\") == 0 ? 4 : 0;
  if (path.size() < at + 3 || path[at + 1] != L':' || !IsSeparator(path[at + 2])) return 0;
  const wchar_t c = wchar_t(std::towupper(path[at]));
  return c >= L'A' && c <= L'Z' ? c : 0;
}

bool DriveIsProof(wchar_t letter) {
  const DWORD now = GetTickCount() >> 4;
  volatile LONG& slot = g_drives[letter - L'A'];
  const LONG known = InterlockedCompareExchange(&slot, 0, 0);
  const DWORD age = ((now << 2) - (DWORD(known) & ~DWORD(3))) >> 2;  // modulo the 30-bit clock
  if ((known & 3) != kUnknown && age < kDriveFactMillis / 16) return (known & 3) == kProof;
  const std::wstring root = std::wstring(1, letter) + L":\\";
  DriveApi& api = Drives();
  const bool proof = api.type(root) == DRIVE_FIXED && api.ready(root);
  InterlockedExchange(&slot, LONG((now << 2) | DWORD(proof ? kProof : kNoProof)));
  return proof;
}

}  // namespace

DriveApi& Drives() {
  static DriveApi api = RealDrives();
  return api;
}

void ForgetDrives() {
  for (volatile LONG& slot : g_drives) InterlockedExchange(&slot, kUnknown);
}

bool ProvenMissing(const std::wstring& path) {
  const wchar_t letter = DriveLetterOf(path);
  if (!letter || !DriveIsProof(letter)) return false;
  FileViewApi& api = FileViews();
  if (api.attributes(path) != INVALID_FILE_ATTRIBUTES || !NotFound(GetLastError())) return false;
  void* old = nullptr;
  if (!api.disableRedirection(&old)) return true;
  // Nothing but this one call runs while redirection is off.
  const bool missing = api.attributes(path) == INVALID_FILE_ATTRIBUTES && NotFound(GetLastError());
  api.revertRedirection(old);
  return missing;
}

FileViewApi& FileViews() {
  static FileViewApi api = RealFileViews();
  return api;
}

RegViewApi& RegViews() {
  static RegViewApi api = RealRegViews();
  return api;
}

bool HasRegistryViews() { return RegViews().present; }

std::vector<RegView> OwnAndOtherView() {
  if (!HasRegistryViews()) return {RegView::Default};
  return {RegView::Default, RegViews().other};
}

DWORD AttributesInAnyView(const std::wstring& path) {
  if (path.empty()) return INVALID_FILE_ATTRIBUTES;
  FileViewApi& api = FileViews();
  DWORD a = api.attributes(path);
  if (a != INVALID_FILE_ATTRIBUTES) return a;
  void* old = nullptr;
  if (!api.disableRedirection(&old)) return INVALID_FILE_ATTRIBUTES;
  // Nothing but this one call runs while redirection is off: a DLL loaded now would come
  // from the 64-bit system folder.
  a = api.attributes(path);
  api.revertRedirection(old);
  return a;
}

bool ExistsInAnyView(const std::wstring& path) {
  return AttributesInAnyView(path) != INVALID_FILE_ATTRIBUTES;
}

bool FileExistsInAnyView(const std::wstring& path) {
  DWORD a = AttributesInAnyView(path);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExistsInAnyView(const std::wstring& path) {
  DWORD a = AttributesInAnyView(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring ExactPath(const std::wstring& p) {
  if (p.compare(0, 4, L"\\\\?\\") == 0 || p.compare(0, 4, L"\\\\.\\") == 0) return p;
  std::wstring prefix;
  size_t start;
  if (p.size() >= 3 && std::iswalpha(p[0]) && p[1] == L':' && IsSeparator(p[2])) {
    prefix = L"\\\\?\\" + p.substr(0, 2) + L"\\";
    start = 3;
  } else if (p.size() > 2 && IsSeparator(p[0]) && IsSeparator(p[1]) && !IsSeparator(p[2])) {
    prefix = L"\\\\?\\UNC\\";
    start = 2;
  } else {
    return p;
  }
  // What Win32 would do as well: "/" is a separator, empty and "." components go, ".."
  // goes up. What it would also do, and must not, is drop a trailing dot or space.
  std::vector<std::wstring> parts;
  size_t i = start;
  while (i < p.size()) {
    size_t end = i;
    while (end < p.size() && !IsSeparator(p[end])) ++end;
    std::wstring part = p.substr(i, end - i);
    if (part == L"..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != L".") {
      parts.push_back(part);
    }
    i = end + 1;
  }
  std::wstring out = prefix;
  for (size_t k = 0; k < parts.size(); ++k) {
    if (k) out += L'\\';
    out += parts[k];
  }
  if (!parts.empty() && IsSeparator(p.back())) out += L'\\';
  return out;
}

bool IsPlainWin32Name(const std::wstring& name) {
  if (name.empty() || name == L"." || name == L"..") return false;
  wchar_t last = name.back();
  if (last == L'.' || last == L' ') return false;
  for (wchar_t c : name)
    if (c < 32 || wcschr(L"<>:\"/\\|?*", c)) return false;
  // "con", "nul.txt", "com1.tar.gz": the part before the first dot, trailing blanks off.
  std::wstring stem = LowerCase(name.substr(0, name.find(L'.')));
  while (!stem.empty() && stem.back() == L' ') stem.pop_back();
  static const wchar_t* const kDevices[] = {L"con", L"prn", L"aux", L"nul", L"conin$",
                                            L"conout$"};
  for (const wchar_t* d : kDevices)
    if (stem == d) return false;
  if (stem.size() == 4 && (stem.compare(0, 3, L"com") == 0 || stem.compare(0, 3, L"lpt") == 0) &&
      stem[3] >= L'0' && stem[3] <= L'9')
    return false;
  return true;
}

bool IsPlainWin32Path(const std::wstring& path) {
  size_t start = 0;
  if (path.size() >= 3 && path[1] == L':' && IsSeparator(path[2]))
    start = 3;
  else if (path.size() > 2 && IsSeparator(path[0]) && IsSeparator(path[1]))
    start = 2;
  if (path.compare(0, 4, L"\\\\?\\") == 0) return false;
  while (start < path.size()) {
    size_t end = start;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    // An empty component is a doubled or trailing separator; both are harmless.
    if (end > start && !IsPlainWin32Name(path.substr(start, end - start))) return false;
    start = end + 1;
  }
  return true;
}

}  // namespace sys
