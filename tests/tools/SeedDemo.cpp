// Puts the demo machine's junk files and traces of use into the running (Wine) system, so
// that a scan or a one-key clean there has something to find. Run by scripts/run.sh and
// scripts/screenshot.sh in the demo prefix, never in the test prefix, and by end-to-end
// tests in prefixes of their own. "seed-demo urlcache" also adds a page and a cookie to
// the Internet Explorer cache.
#include <windows.h>
#include <wininet.h>

#include <cstdio>
#include <string>

#include "machine/Folders.h"
#include "machine/TarnGetOSInfo.h"
#include "tests/support/DemoMachine.h"
#include "sys/FileUtils.h"

namespace {

// One cache entry with a small local file (a cookie or a page of a site).
bool AddCacheEntry(const wchar_t* url, DWORD type, const wchar_t* ext) {
  wchar_t file[MAX_PATH] = L"";
  if (!CreateUrlCacheEntryW(url, 0, ext, file, 0)) return false;
  HANDLE h = CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  WriteFile(h, "velmora", 7, &written, nullptr);
  CloseHandle(h);
  FILETIME zero = {};
  return CommitUrlCacheEntryW(url, file, zero, zero, type, nullptr, 0, ext, nullptr) != FALSE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc > 1 && std::wstring(argv[1]) == L"urlcache" &&
      (!AddCacheEntry(L"http://velmora.example/demo/page.css", NORMAL_CACHE_ENTRY, L"css") ||
       !AddCacheEntry(L"Cookie:demo@velmora.example/", COOKIE_CACHE_ENTRY, L"txt"))) {
    printf("cannot fill the URL cache: %lu\n", GetLastError());
    return 1;
  }
  machine::Folders folders = machine::Folders::FromSystem(nullptr);
  int major = 6;
  bool wow64 = false;
  try {
    machine::TTarnOSInfo os;
    major = os.MajorVersion;
    wow64 = os.IsWow64;
  } catch (...) {
  }
  size_t traces = testsupport::SeedDemoMachine(folders, sys::EnvironmentVariable(L"LOCALAPPDATA"), major, wow64).size();
  printf("demo machine: %u traces\n", unsigned(traces));
  return 0;
}
