#include "sys/UrlCache.h"

#include "sys/SystemLibrary.h"

namespace sys::wininet {

namespace {

template <typename Fn, typename Failed, typename... Args>
auto Call(const char* name, Failed failed, Args... args) {
  if (Fn fn = SystemFunction<Fn>(L"wininet.dll", name)) return fn(args...);
  SetLastError(ERROR_PROC_NOT_FOUND);
  return failed;
}

}  // namespace

HANDLE FindFirstUrlCacheEntryW(LPCWSTR pattern, INTERNET_CACHE_ENTRY_INFOW* entry, DWORD* size) {
  return Call<decltype(&::FindFirstUrlCacheEntryW)>("FindFirstUrlCacheEntryW", HANDLE(nullptr),
                                                    pattern, entry, size);
}

BOOL FindNextUrlCacheEntryW(HANDLE find, INTERNET_CACHE_ENTRY_INFOW* entry, DWORD* size) {
  return Call<decltype(&::FindNextUrlCacheEntryW)>("FindNextUrlCacheEntryW", FALSE, find, entry,
                                                   size);
}

BOOL FindCloseUrlCache(HANDLE find) {
  return Call<decltype(&::FindCloseUrlCache)>("FindCloseUrlCache", FALSE, find);
}

BOOL DeleteUrlCacheEntryW(LPCWSTR url) {
  return Call<decltype(&::DeleteUrlCacheEntryW)>("DeleteUrlCacheEntryW", FALSE, url);
}

}  // namespace sys::wininet
