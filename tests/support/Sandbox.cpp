// Test support may call what the program itself must not (RegDeleteTreeW is Vista's).
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0601
#include "tests/support/Sandbox.h"

#include "sys/Views.h"

#include <atomic>
#include <utility>
#include <vector>

#include "sys/Text.h"
#include "sys/Views.h"
#include "sys/FileUtils.h"

namespace testsupport {

static std::wstring ExeFolder() {
  std::wstring s = sys::ModuleFileName();
  return s.substr(0, s.find_last_of(L'\\'));
}

static std::wstring UniqueName(const wchar_t* prefix) {
  static std::atomic<unsigned> counter{0};
  wchar_t buf[96];
  swprintf(buf, 96, L"%ls%lu-%lu-%u", prefix, GetCurrentProcessId(), GetTickCount(),
           counter.fetch_add(1));
  return buf;
}

HermeticRegistry::HermeticRegistry() {
  baseName_ = L"Software\\VelmoraTests\\" + UniqueName(L"reg");
  LONG rc = RegCreateKeyExW(HKEY_CURRENT_USER, baseName_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &base_, nullptr);
  if (rc != ERROR_SUCCESS) throw std::runtime_error("cannot create the test registry key");
  RegCreateKeyExW(base_, L"HKLM", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hklm_, nullptr);
  RegCreateKeyExW(base_, L"HKCU", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hkcu_, nullptr);
  RegCreateKeyExW(base_, L"HKCR", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hkcr_, nullptr);
  RegOverridePredefKey(HKEY_LOCAL_MACHINE, hklm_);
  RegOverridePredefKey(HKEY_CURRENT_USER, hkcu_);
  RegOverridePredefKey(HKEY_CLASSES_ROOT, hkcr_);
}

HermeticRegistry::~HermeticRegistry() {
  RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
  RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
  RegCloseKey(hklm_);
  RegCloseKey(hkcu_);
  RegCloseKey(hkcr_);
  RegCloseKey(base_);
  RegDeleteTreeW(HKEY_CURRENT_USER, baseName_.c_str());
}

bool FileExistsW(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool CreateFolders(const std::wstring& path) {
  if (path.empty()) return false;
  DWORD a = GetFileAttributesW(path.c_str());
  if (a != INVALID_FILE_ATTRIBUTES) return (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
  size_t cut = path.find_last_of(L'\\');
  if (cut != std::wstring::npos && cut > 2) CreateFolders(path.substr(0, cut));
  return CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

// Exact paths, so that names Win32 would rewrite and deep trees go as well; without
// recursion, so that no depth of folders exhausts the stack.
void RemoveTree(const std::wstring& folder) {
  // Each folder is met twice: first its contents are queued, then it is removed.
  std::vector<std::pair<std::wstring, bool>> stack{{sys::ExactPath(folder), false}};
  while (!stack.empty()) {
    auto [path, emptied] = stack.back();
    stack.pop_back();
    DWORD a = GetFileAttributesW(path.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) continue;
    if (!(a & FILE_ATTRIBUTE_DIRECTORY)) {
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileW(path.c_str());
      continue;
    }
    if (!emptied && !(a & FILE_ATTRIBUTE_REPARSE_POINT)) {
      stack.emplace_back(path, true);
      WIN32_FIND_DATAW fd;
      HANDLE h = FindFirstFileW((path + L"\\*").c_str(), &fd);
      if (h != INVALID_HANDLE_VALUE) {
        do {
          std::wstring n = fd.cFileName;
          if (n != L"." && n != L"..") stack.emplace_back(path + L"\\" + n, false);
        } while (FindNextFileW(h, &fd));
        FindClose(h);
      }
      continue;
    }
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryW(path.c_str());
  }
}

SandboxFolder::SandboxFolder() {
  path_ = ExeFolder() + L"\\sandbox\\" + UniqueName(L"t");
  if (!CreateFolders(path_)) throw std::runtime_error("cannot create the sandbox folder");
}

SandboxFolder::~SandboxFolder() { RemoveTree(path_); }

std::wstring SandboxFolder::dir(const std::wstring& rel) const {
  std::wstring p = *this / rel;
  CreateFolders(p);
  return p;
}

std::wstring SandboxFolder::file(const std::wstring& rel, const std::string& bytes) const {
  std::wstring p = *this / rel;
  size_t cut = p.find_last_of(L'\\');
  CreateFolders(p.substr(0, cut));
  HANDLE h = CreateFileW(p.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create a sandbox file");
  DWORD written = 0;
  if (!bytes.empty()) WriteFile(h, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
  CloseHandle(h);
  return p;
}

static HKEY Create(HKEY root, const std::wstring& key) {
  HKEY k = nullptr;
  if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr) !=
      ERROR_SUCCESS)
    throw std::runtime_error("cannot create a test registry key");
  return k;
}

void CreateRegKey(HKEY root, const std::wstring& key) { RegCloseKey(Create(root, key)); }

void SetRegString(HKEY root, const std::wstring& key, const std::wstring& name,
                  const std::wstring& value, DWORD type) {
  HKEY k = Create(root, key);
  RegSetValueExW(k, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                 DWORD((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(k);
}

void SetRegDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD value) {
  HKEY k = Create(root, key);
  RegSetValueExW(k, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                 sizeof value);
  RegCloseKey(k);
}

void SetRegBinary(HKEY root, const std::wstring& key, const std::wstring& name,
                  const std::string& bytes) {
  HKEY k = Create(root, key);
  RegSetValueExW(k, name.c_str(), 0, REG_BINARY, reinterpret_cast<const BYTE*>(bytes.data()),
                 DWORD(bytes.size()));
  RegCloseKey(k);
}

}  // namespace testsupport

namespace testsupport {

static bool IsLink(const std::wstring& path) {
  DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT);
}

static std::string UnixPath(const std::wstring& path) {
  using Fn = char*(CDECL*)(LPCWSTR);
  auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
  if (!fn) return {};
  char* p = fn(path.c_str());
  if (!p) return {};
  std::string s(p);
  HeapFree(GetProcessHeap(), 0, p);
  return s;
}

bool MakeFolderLink(const std::wstring& link, const std::wstring& target) {
  using Fn = BOOLEAN(WINAPI*)(LPCWSTR, LPCWSTR, DWORD);
  auto create = reinterpret_cast<Fn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32"), "CreateSymbolicLinkW")));
  std::string unixTarget = UnixPath(target);
  if (unixTarget.empty()) return create && create(link.c_str(), target.c_str(), 1) && IsLink(link);
  // Wine: let the Linux ln make the link; Wine runs Linux programs as child processes.
  size_t cut = link.find_last_of(L'\\');
  std::string unixParent = UnixPath(link.substr(0, cut));
  if (unixParent.empty()) return false;
  std::wstring cmd = L"/bin/ln -s \"" + sys::FromUtf8(unixTarget) + L"\" \"" +
                     sys::FromUtf8(unixParent) + L"/" + link.substr(cut + 1) + L"\"";
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessW(L"Z:\\bin\\ln", &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &si, &pi)) {
    fwprintf(stderr, L"cannot start ln (error %lu): %ls\n", GetLastError(), cmd.c_str());
    return false;
  }
  // Wine gives no waitable handle for a Linux process: wait for the link to appear.
  if (pi.hThread) CloseHandle(pi.hThread);
  if (pi.hProcess) CloseHandle(pi.hProcess);
  for (int i = 0; i < 200 && !IsLink(link); ++i) Sleep(50);
  return IsLink(link);
}

}  // namespace testsupport

namespace testsupport {

ScopedEnvironment::ScopedEnvironment(const wchar_t* name) : name_(name) {
  std::wstring value = sys::EnvironmentVariable(name);
  had_ = !value.empty();
  old_ = value;
}

ScopedEnvironment::~ScopedEnvironment() {
  SetEnvironmentVariableW(name_, had_ ? old_.c_str() : nullptr);
}

void ScopedEnvironment::Set(const std::wstring& value) {
  SetEnvironmentVariableW(name_, value.empty() ? nullptr : value.c_str());
}

machine::Folders SandboxSystemFolders(const SandboxFolder& sandbox) {
  machine::Folders f;
  f.windows = sandbox.dir(L"Windows");
  f.system = sandbox.dir(L"Windows\\system32");
  f.temp = sandbox.dir(L"Temp") + L"\\";
  f.special[0x0028 /* CSIDL_PROFILE */] = sandbox.dir(L"Profile");
  return f;
}

}  // namespace testsupport

namespace testsupport {
std::wstring MakeDeepFolder(const SandboxFolder& sandbox, size_t length) {
  std::wstring deep = sys::ExactPath(sandbox.path());
  for (wchar_t c = L'a'; deep.size() < length + 4; ++c) {
    deep += L"\\" + std::wstring(40, c);
    if (!CreateDirectoryW(deep.c_str(), nullptr))
      throw std::runtime_error("cannot make a deep folder");
  }
  return deep;
}
}  // namespace testsupport

namespace testsupport {
std::wstring MakeNestedFolders(const std::wstring& folder, int levels, const std::wstring& file,
                               int& made) {
  CreateFolders(folder);
  std::wstring deep = sys::ExactPath(folder);
  for (made = 0; made < levels; ++made) {
    std::wstring next = deep + L"\\d";
    if (!CreateDirectoryW(next.c_str(), nullptr)) break;
    deep = next;
  }
  for (; deep.size() > 7; deep.erase(deep.find_last_of(L'\\'))) {
    HANDLE h = CreateFileW((deep + L"\\" + file).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           0, nullptr);
    if (h == INVALID_HANDLE_VALUE) continue;
    CloseHandle(h);
    break;
  }
  return deep;
}

}  // namespace testsupport
