// Stand-in for the maker's track-clearing library: clears in-process with WinINet and the
// registry only. Starting InetCpl.cpl,ClearMyTracksByProcess would hang under Wine.
#include <windows.h>
#include <wininet.h>

#include <string>
#include <vector>

namespace {

enum class Kind { History, Cookie, Other };

bool Matches(DWORD type, Kind kind) {
  const bool history = (type & URLHISTORY_CACHE_ENTRY) != 0;
  const bool cookie = (type & COOKIE_CACHE_ENTRY) != 0;
  switch (kind) {
    case Kind::History: return history;
    case Kind::Cookie: return cookie;
    case Kind::Other: return !history && !cookie;
  }
  return false;
}

// The names are collected first so that deleting never disturbs the walk itself.
std::vector<std::wstring> CollectUrls(Kind kind) {
  std::vector<std::wstring> urls;
  std::vector<BYTE> buffer(4096);
  auto entry = [&] { return reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.data()); };
  DWORD size = DWORD(buffer.size());
  HANDLE find = FindFirstUrlCacheEntryW(nullptr, entry(), &size);
  while (!find && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    buffer.resize(size > buffer.size() ? size : buffer.size() * 2);
    size = DWORD(buffer.size());
    find = FindFirstUrlCacheEntryW(nullptr, entry(), &size);
  }
  if (!find) return urls;
  for (;;) {
    if (entry()->lpszSourceUrlName && Matches(entry()->CacheEntryType, kind))
      urls.emplace_back(entry()->lpszSourceUrlName);
    size = DWORD(buffer.size());
    BOOL ok = FindNextUrlCacheEntryW(find, entry(), &size);
    while (!ok && GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
      buffer.resize(size > buffer.size() ? size : buffer.size() * 2);
      size = DWORD(buffer.size());
      ok = FindNextUrlCacheEntryW(find, entry(), &size);
    }
    if (!ok) break;
  }
  FindCloseUrlCache(find);
  return urls;
}

void ClearCache(Kind kind) {
  for (const std::wstring& url : CollectUrls(kind)) DeleteUrlCacheEntryW(url.c_str());
}

void ClearValues(const wchar_t* subkey) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, subkey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) !=
      ERROR_SUCCESS)
    return;
  std::vector<std::wstring> names;
  std::vector<wchar_t> name(16384);
  for (DWORD i = 0;; ++i) {
    DWORD length = DWORD(name.size());
    if (RegEnumValueW(key, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    names.emplace_back(name.data(), length);
  }
  for (const std::wstring& n : names) RegDeleteValueW(key, n.c_str());
  RegCloseKey(key);
}

const wchar_t kForms[] = L"Software\\Microsoft\\Internet Explorer\\IntelliForms\\";

}  // namespace

// Exported through Halvane4.def so the name stays undecorated in 32-bit builds too.
extern "C" int __stdcall ClearTracksForVista(HWND, int code) {
  switch (code) {
    case 0: ClearCache(Kind::History); break;
    case 1: ClearCache(Kind::Cookie); break;
    case 2: ClearCache(Kind::Other); break;
    case 3: ClearValues((std::wstring(kForms) + L"Storage1").c_str()); break;
    case 4: ClearValues((std::wstring(kForms) + L"Storage2").c_str()); break;
    default: return 0;
  }
  return 1;
}
