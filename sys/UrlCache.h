// The WinINet URL cache calls the program makes. wininet.dll is no known DLL, so it is not
// imported at load time but loaded from the system folder by its full path; where it
// cannot be loaded every call fails with ERROR_PROC_NOT_FOUND.
#pragma once
#include <windows.h>
#include <wininet.h>

namespace sys::wininet {

HANDLE FindFirstUrlCacheEntryW(LPCWSTR pattern, INTERNET_CACHE_ENTRY_INFOW* entry, DWORD* size);
BOOL FindNextUrlCacheEntryW(HANDLE find, INTERNET_CACHE_ENTRY_INFOW* entry, DWORD* size);
BOOL FindCloseUrlCache(HANDLE find);
BOOL DeleteUrlCacheEntryW(LPCWSTR url);

}  // namespace sys::wininet
