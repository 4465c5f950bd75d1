// What the file benchmarks share: a clock, their folder inside the build tree, and a
// seeded temporary folder (groups of 20 folders with 20 small files each, plus 10 empty
// folders per group) with the bare walk that is their baseline.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "machine/Folders.h"
#include "sys/FileUtils.h"

namespace bench {

constexpr int kFoldersPerGroup = 20;
constexpr int kFilesPerFolder = 20;
constexpr int kEmptyPerGroup = 10;
constexpr int kFilesPerGroup = kFoldersPerGroup * kFilesPerFolder;

inline double Now() {
  static LARGE_INTEGER freq = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(freq.QuadPart);
}

inline std::wstring ExeFolder() {
  std::wstring s = sys::ModuleFileName();
  return s.substr(0, s.find_last_of(L'\\'));
}

// Links are removed, never followed.
inline void RemoveTree(const std::wstring& path) {
  DWORD a = GetFileAttributesW(path.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return;
  if ((a & FILE_ATTRIBUTE_DIRECTORY) && !(a & FILE_ATTRIBUTE_REPARSE_POINT)) {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((path + L"\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        std::wstring n = fd.cFileName;
        if (n != L"." && n != L"..") RemoveTree(path + L"\\" + n);
      } while (FindNextFileW(h, &fd));
      FindClose(h);
    }
  }
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (a & FILE_ATTRIBUTE_DIRECTORY)
    RemoveDirectoryW(path.c_str());
  else
    DeleteFileW(path.c_str());
}

inline void WriteSmallFile(const std::wstring& path, int i) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  std::string bytes(size_t(16 + i % 200), 'x');
  DWORD written = 0;
  WriteFile(h, bytes.data(), DWORD(bytes.size()), &written, nullptr);
  CloseHandle(h);
}

inline void BuildTree(const std::wstring& temp, int groups) {
  CreateDirectoryW(temp.c_str(), nullptr);
  int n = 0;
  for (int g = 0; g < groups; ++g) {
    std::wstring group = temp + L"\\group" + std::to_wstring(g);
    CreateDirectoryW(group.c_str(), nullptr);
    for (int d = 0; d < kFoldersPerGroup; ++d) {
      std::wstring folder = group + L"\\cache" + std::to_wstring(d);
      CreateDirectoryW(folder.c_str(), nullptr);
      for (int f = 0; f < kFilesPerFolder; ++f, ++n)
        WriteSmallFile(folder + L"\\~tmp" + std::to_wstring(n) + L".tmp", n);
    }
    for (int e = 0; e < kEmptyPerGroup; ++e)
      CreateDirectoryW((group + L"\\empty" + std::to_wstring(e)).c_str(), nullptr);
  }
}

// The baseline: the same search and the same exclusive open per file as the finder's
// lock test, nothing else.
inline int BareWalk(const std::wstring& folder) {
  int files = 0;
  std::vector<std::wstring> subfolders;
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((folder + L"\\*.*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return 0;
  do {
    if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (fd.cFileName[0] != L'.') subfolders.push_back(fd.cFileName);
      continue;
    }
    std::wstring path = folder + L"\\" + fd.cFileName;
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
    ++files;
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  for (const std::wstring& name : subfolders) files += BareWalk(folder + L"\\" + name);
  return files;
}

}  // namespace bench
