#include "sys/SystemLibrary.h"

#include <utility>
#include <vector>

#include "sys/FileUtils.h"
#include "sys/Lock.h"
#include "sys/Text.h"

namespace sys {

namespace {

// Missing from older headers and older systems alike.
constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

template <typename Fn>
Fn Kernel32Function(const char* name) {
  // kernel32 is in every process already: looking it up searches nothing.
  return reinterpret_cast<Fn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name)));
}

// The LOAD_LIBRARY_SEARCH_* flags come with SetDefaultDllDirectories.
bool HasSearchFlags() {
  static const bool has = Kernel32Function<FARPROC>("SetDefaultDllDirectories") != nullptr;
  return has;
}

bool IsFullPath(const std::wstring& p) {
  return (p.size() >= 3 && p[1] == L':' && (p[2] == L'\\' || p[2] == L'/')) ||
         (p.size() >= 3 && p[0] == L'\\' && p[1] == L'\\');
}

std::wstring FolderOf(const std::wstring& path) {
  std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::wstring SystemDllFolder() {
  std::vector<wchar_t> buf(MAX_PATH + 1);
  UINT n = 0;
#ifndef _WIN64
  // A 32-bit process on 64-bit Windows finds its DLLs in SysWOW64; asking for that folder
  // by name stays right while a thread has redirection switched off. Elsewhere it fails.
  using Wow64DirFn = UINT(WINAPI*)(LPWSTR, UINT);
  if (auto wow64Dir = Kernel32Function<Wow64DirFn>("GetSystemWow64DirectoryW"))
    n = wow64Dir(buf.data(), UINT(buf.size()));
  if (n >= buf.size()) n = 0;
#endif
  if (n == 0) n = GetSystemDirectoryW(buf.data(), UINT(buf.size()));
  if (n == 0 || n >= buf.size()) return {};
  std::wstring folder(buf.data(), n);
  if (folder.back() != L'\\') folder += L'\\';
  return folder;
}

struct Cache {
  Lock lock;
  std::vector<std::pair<std::wstring, HMODULE>> loaded;  // lower-case name, module
};

// Never destroyed: the DLLs stay loaded until the process ends.
Cache& Libraries() {
  static Cache* c = new Cache;
  return *c;
}

}  // namespace

DllSearch RestrictDllSearch() {
  using DefaultDirsFn = BOOL(WINAPI*)(DWORD);
  using DllDirectoryFn = BOOL(WINAPI*)(LPCWSTR);
  auto defaultDirs = Kernel32Function<DefaultDirsFn>("SetDefaultDllDirectories");
  if (defaultDirs && defaultDirs(kSearchSystem32)) return DllSearch::SystemFolderOnly;
  // An empty string takes the current folder out of the search order.
  auto dllDirectory = Kernel32Function<DllDirectoryFn>("SetDllDirectoryW");
  if (dllDirectory && dllDirectory(L"")) return DllSearch::NoCurrentFolder;
  return DllSearch::Unrestricted;
}

std::wstring SystemDllPath(const std::wstring& name) {
  std::wstring folder = SystemDllFolder();
  return folder.empty() ? std::wstring() : folder + name;
}

std::wstring ProgramFolderPath(const std::wstring& name) {
  std::wstring folder = FolderOf(ModuleFileName());
  return folder.empty() ? std::wstring() : folder + name;
}

HMODULE LoadLibraryByPath(const std::wstring& fullPath) {
  if (!IsFullPath(fullPath)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  // Where the search flags exist the DLL's imports come from the system folder alone.
  // Before that, the altered search order starts in the DLL's own folder: right for a
  // system DLL; for one of the program's folder the caller first loads the system DLLs it
  // imports (a loaded module is used by name before any search).
  const bool systemFolder = LowerCase(FolderOf(fullPath)) == LowerCase(SystemDllFolder());
  DWORD flags = HasSearchFlags() ? kSearchSystem32 : systemFolder ? LOAD_WITH_ALTERED_SEARCH_PATH : 0;
  return LoadLibraryExW(fullPath.c_str(), nullptr, flags);
}

HMODULE SystemLibrary(const wchar_t* name) {
  const std::wstring key = LowerCase(name);
  Cache& cache = Libraries();
  LockGuard guard(cache.lock);
  for (const auto& entry : cache.loaded)
    if (entry.first == key) return entry.second;
  std::wstring path = SystemDllPath(name);
  HMODULE module = path.empty() ? nullptr : LoadLibraryByPath(path);
  if (module) cache.loaded.emplace_back(key, module);
  return module;
}

FARPROC SystemProc(const wchar_t* dll, const char* name) {
  HMODULE module = SystemLibrary(dll);
  return module ? GetProcAddress(module, name) : nullptr;
}

}  // namespace sys
