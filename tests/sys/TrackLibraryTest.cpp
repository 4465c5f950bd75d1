// The track-clearing calls against the real Halvane4.dll and recording SHDOCVW doubles.
#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sys/SystemLibrary.h"
#include "sys/TrackLibrary.h"
#include "tests/support/Sandbox.h"

using namespace testsupport;

namespace {

const wchar_t kForms[] = L"Software\\Microsoft\\Internet Explorer\\IntelliForms";

class TrackLibraryTest : public SandboxTest {
 protected:
  ~TrackLibraryTest() override {
    sys::TrackLibraryName() = savedTrack_;
    sys::OldSystemLibraryPath() = savedOld_;
  }

 private:
  std::wstring savedTrack_ = sys::TrackLibraryName();
  std::wstring savedOld_ = sys::OldSystemLibraryPath();
};

std::vector<std::wstring> ValueNames(const std::wstring& subkey) {
  std::vector<std::wstring> names;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return names;
  wchar_t name[512];
  for (DWORD i = 0;; ++i) {
    DWORD length = 512;
    if (RegEnumValueW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    names.emplace_back(name, length);
  }
  RegCloseKey(key);
  return names;
}

bool KeyExists(const std::wstring& subkey) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

// Both stores get two values and a sub-key; a neighbouring key gets one value.
void FillForms() {
  const std::wstring forms = kForms;
  for (const wchar_t* store : {L"\\Storage1", L"\\Storage2"}) {
    SetRegBinary(HKEY_CURRENT_USER, forms + store, L"8F3C21AB", std::string("\x01\x02", 2));
    SetRegString(HKEY_CURRENT_USER, forms + store, L"", L"default");
    SetRegString(HKEY_CURRENT_USER, forms + store + L"\\Kept", L"v", L"x");
  }
  SetRegString(HKEY_CURRENT_USER, forms + L"\\Storage3", L"v", L"x");
}

bool CacheEntryExists(const std::wstring& url) {
  DWORD size = 0;
  if (GetUrlCacheEntryInfoW(url.c_str(), nullptr, &size)) return true;
  return GetLastError() == ERROR_INSUFFICIENT_BUFFER;
}

// Commits one entry; a local file is made for every kind but history.
bool AddCacheEntry(const std::wstring& url, DWORD type, const wchar_t* extension) {
  wchar_t file[MAX_PATH] = L"";
  if (extension) {
    if (!CreateUrlCacheEntryW(url.c_str(), 0, extension, file, 0)) return false;
    HANDLE h = CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    WriteFile(h, "body", 4, &written, nullptr);
    CloseHandle(h);
  }
  FILETIME zero = {};
  return CommitUrlCacheEntryW(url.c_str(), extension ? file : nullptr, zero, zero, type,
                              nullptr, 0, extension, nullptr) != FALSE;
}

// Keeps a recording double loaded so its record outlives the caller's FreeLibrary.
class Recorder {
 public:
  explicit Recorder(const wchar_t* name) : module_(LoadLibraryW(name)) {
    if (module_) Call<void (*)()>("ResetRecord")();
  }
  ~Recorder() {
    if (module_) FreeLibrary(module_);
  }
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;
  bool loaded() const { return module_ != nullptr; }
  std::string calls() const { return Call<const char* (*)()>("RecordedCalls")(); }

 private:
  template <typename Fn>
  Fn Call(const char* name) const {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
  }
  HMODULE module_;
};

}  // namespace

TEST_F(TrackLibraryTest, FormCodesEmptyOnlyTheirStore) {
  UrlCacheLock cache;  // code 0 below clears every history entry of the prefix
  const std::wstring forms = kForms;
  // Absent stores are no error.
  sys::ClearTracksForVista(nullptr, 3);
  sys::ClearTracksForVista(nullptr, 4);
  struct Case {
    int code;
    bool storage1Emptied, storage2Emptied;
  } cases[] = {
      {3, true, false}, {4, false, true}, {0, false, false}, {5, false, false}, {-1, false, false},
  };
  for (const Case& c : cases) {
    FillForms();
    sys::ClearTracksForVista(nullptr, c.code);
    EXPECT_EQ(c.storage1Emptied ? 0u : 2u, ValueNames(forms + L"\\Storage1").size()) << c.code;
    EXPECT_EQ(c.storage2Emptied ? 0u : 2u, ValueNames(forms + L"\\Storage2").size()) << c.code;
    for (const wchar_t* rest : {L"\\Storage1\\Kept", L"\\Storage2\\Kept", L"\\Storage3"})
      EXPECT_EQ(1u, ValueNames(forms + rest).size()) << c.code << " " << rest;
    EXPECT_TRUE(KeyExists(forms + L"\\Storage1")) << c.code;
    EXPECT_TRUE(KeyExists(forms + L"\\Storage2")) << c.code;
  }
}

TEST_F(TrackLibraryTest, CacheCodesRemoveOnlyTheirKindOfEntry) {
  UrlCacheLock cache;
  const std::wstring tag = std::to_wstring(GetCurrentProcessId());
  const std::wstring cookie = L"Cookie:user@velmora" + tag + L".example.com/";
  const std::wstring visited = L"Visited: user@http://velmora" + tag + L".example.com/";
  const std::wstring normal = L"http://velmora" + tag + L".example.com/a.css";
  // Longer than the walk's first buffer, so the walk must grow it to go on.
  const std::wstring longer = L"http://velmora" + tag + L".example.com/" +
                              std::wstring(3000, L'b') + L".css";
  struct Case {
    int code;
    bool cookieGone, visitedGone, normalGone;  // the longer entry goes with the normal one
  } cases[] = {
      {1, true, false, false}, {0, false, true, false}, {2, false, false, true},
      {3, false, false, false}, {4, false, false, false}, {9, false, false, false},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(AddCacheEntry(cookie, COOKIE_CACHE_ENTRY, L"txt")) << GetLastError();
    ASSERT_TRUE(AddCacheEntry(visited, URLHISTORY_CACHE_ENTRY, nullptr)) << GetLastError();
    ASSERT_TRUE(AddCacheEntry(normal, NORMAL_CACHE_ENTRY, L"css")) << GetLastError();
    ASSERT_TRUE(AddCacheEntry(longer, NORMAL_CACHE_ENTRY, L"css")) << GetLastError();
    ASSERT_TRUE(CacheEntryExists(cookie) && CacheEntryExists(visited) &&
                CacheEntryExists(normal) && CacheEntryExists(longer));
    sys::ClearTracksForVista(nullptr, c.code);
    EXPECT_EQ(!c.cookieGone, CacheEntryExists(cookie)) << c.code;
    EXPECT_EQ(!c.visitedGone, CacheEntryExists(visited)) << c.code;
    EXPECT_EQ(!c.normalGone, CacheEntryExists(normal)) << c.code;
    EXPECT_EQ(!c.normalGone, CacheEntryExists(longer)) << c.code;
    for (const std::wstring& url : {cookie, visited, normal, longer})
      DeleteUrlCacheEntryW(url.c_str());
  }
}

TEST_F(TrackLibraryTest, MissingTrackLibraryOrExportIsSilent) {
  const std::wstring store = std::wstring(kForms) + L"\\Storage1";
  for (const wchar_t* name : {L"NoSuchTrackLibrary.dll", L"OldShellBoth.dll"}) {
    SetRegString(HKEY_CURRENT_USER, store, L"v", L"x");
    sys::TrackLibraryName() = name;
    sys::ClearTracksForVista(nullptr, 3);
    EXPECT_EQ(1u, ValueNames(store).size()) << name;
  }
}

TEST_F(TrackLibraryTest, OldSystemCallsBothOrdinalsOrNone) {
  struct Case {
    const wchar_t* library;
    int mode;
    const char* calls;
  } cases[] = {
      {L"OldShellBoth.dll", 1, "211(1);164(0);"},
      {L"OldShellBoth.dll", 2, "211(2);164(0);"},
      {L"OldShellOnly211.dll", 1, ""},
      {L"OldShellOnly164.dll", 2, ""},
  };
  for (const Case& c : cases) {
    Recorder recorder(c.library);
    ASSERT_TRUE(recorder.loaded()) << c.library;
    sys::OldSystemLibraryPath() = sys::ProgramFolderPath(c.library);
    sys::ClearAutoCompleteOldSystem(c.mode);
    EXPECT_EQ(c.calls, recorder.calls()) << c.library << " " << c.mode;
  }
  sys::OldSystemLibraryPath() = sys::ProgramFolderPath(L"NoSuchOldShell.dll");
  sys::ClearAutoCompleteOldSystem(1);
}
