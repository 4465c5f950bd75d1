#include "browsers/ChromiumBrowsers.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>

#include "machine/Folders.h"
#include "sys/FileSearch.h"
#include "sys/FolderWalk.h"
#include "sys/Handles.h"
#include "sys/Text.h"

namespace browsers {

namespace {

const int kLocal = CSIDL_LOCAL_APPDATA;
const int kRoaming = CSIDL_APPDATA;
const ChromiumOptions kChrome = ChromiumOptions::Chrome;

// Where they keep their data, as the public sources name it: Chromium's "User Data
// Directory" page (Chrome and its channels, Chromium); Microsoft's "Microsoft Edge user
// data directory" page (Edge); Firefox's browser migration code, ChromeMigrationUtils
// (Edge Beta, Brave, Vivaldi, Opera, Opera GX, 360 Secure Browser); HackBrowserData's
// browser table (360 Speed Browser, QQ Browser, Sogou Explorer's "Webkit" folder).
// Chrome's channels and Chromium all run as chrome.exe, Edge's as msedge.exe.
const std::vector<ChromiumBrowser> kBrowsers = {
    {L"Chrome", kLocal, L"Google\\Chrome\\User Data", L"chrome.exe", false, kChrome},
    {L"Chrome Beta", kLocal, L"Google\\Chrome Beta\\User Data", L"chrome.exe", false, kChrome},
    {L"Chrome Dev", kLocal, L"Google\\Chrome Dev\\User Data", L"chrome.exe", false, kChrome},
    {L"Chrome Canary", kLocal, L"Google\\Chrome SxS\\User Data", L"chrome.exe", false, kChrome},
    {L"Chromium", kLocal, L"Chromium\\User Data", L"chrome.exe", false, kChrome},
    {L"Microsoft Edge", kLocal, L"Microsoft\\Edge\\User Data", L"msedge.exe", false, kChrome},
    {L"Microsoft Edge Beta", kLocal, L"Microsoft\\Edge Beta\\User Data", L"msedge.exe", false,
     kChrome},
    {L"Microsoft Edge Dev", kLocal, L"Microsoft\\Edge Dev\\User Data", L"msedge.exe", false,
     kChrome},
    {L"Brave", kLocal, L"BraveSoftware\\Brave-Browser\\User Data", L"brave.exe", false, kChrome},
    {L"Vivaldi", kLocal, L"Vivaldi\\User Data", L"vivaldi.exe", false, kChrome},
    {L"360安全浏览器", kRoaming, L"360se6\\User Data", L"360se.exe", false, kChrome},
    {L"360极速浏览器", kLocal, L"360Chrome\\Chrome\\User Data", L"360chrome.exe", false, kChrome},
    {L"360极速浏览器X", kLocal, L"360ChromeX\\Chrome\\User Data", L"360chromex.exe", false,
     kChrome},
    {L"QQ浏览器", kLocal, L"Tencent\\QQBrowser\\User Data", L"qqbrowser.exe", false, kChrome},
    {L"搜狗浏览器", kRoaming, L"SogouExplorer\\Webkit", L"sogouexplorer.exe", false, kChrome},
    {L"Opera", kRoaming, L"Opera Software\\Opera Stable", L"opera.exe", true,
     ChromiumOptions::Opera},
    {L"Opera GX", kRoaming, L"Opera Software\\Opera GX Stable", L"opera.exe", true,
     ChromiumOptions::Opera},
};

// A name that "Local State" gives may only ever be one folder directly below User Data.
bool PlainFolderName(const std::wstring& name) {
  if (name.empty() || name.size() > 200 || name == L"." || name == L"..") return false;
  for (wchar_t c : name)
    if (c < 32 || wcschr(L"\\/:*?\"<>|", c)) return false;
  return name.back() != L' ' && name.back() != L'.';
}

bool IsNumberedProfile(const std::wstring& name) {
  const std::wstring prefix = L"profile ";
  if (name.size() <= prefix.size() || sys::LowerCase(name.substr(0, prefix.size())) != prefix)
    return false;
  return std::all_of(name.begin() + prefix.size(), name.end(),
                     [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

// "Local State" is a few hundred kilobytes; a file far larger is nothing of the browser's.
std::string ReadSmallFile(const std::wstring& path) {
  sys::ScopedFile h(CreateFileW(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!h) return {};
  LARGE_INTEGER size;
  if (!GetFileSizeEx(h.get(), &size) || size.QuadPart > (16 << 20)) return {};
  std::string text(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!text.empty() && !ReadFile(h.get(), &text[0], DWORD(text.size()), &read, nullptr)) return {};
  text.resize(read);
  return text;
}

// One JSON string from its opening quote at `i`, which is left after the closing one.
// False on an unterminated string.
bool ReadJsonString(const std::string& s, size_t& i, std::wstring& out) {
  out.clear();
  std::string utf8;
  for (++i; i < s.size(); ++i) {
    char c = s[i];
    if (c == '"') {
      ++i;
      out += sys::FromUtf8(utf8);
      return true;
    }
    if (c != '\\') {
      utf8 += c;
      continue;
    }
    if (++i >= s.size()) return false;
    switch (s[i]) {
      case 'b': utf8 += '\b'; break;
      case 'f': utf8 += '\f'; break;
      case 'n': utf8 += '\n'; break;
      case 'r': utf8 += '\r'; break;
      case 't': utf8 += '\t'; break;
      case 'u': {
        if (i + 4 >= s.size()) return false;
        wchar_t unit = wchar_t(strtoul(s.substr(i + 1, 4).c_str(), nullptr, 16));
        i += 4;
        out += sys::FromUtf8(utf8);
        utf8.clear();
        out += unit;
        break;
      }
      default: utf8 += s[i];
    }
  }
  return false;
}

}  // namespace

const std::vector<ChromiumBrowser>& ChromiumBrowsers() { return kBrowsers; }

std::wstring UserDataFolder(const ChromiumBrowser& browser, const machine::Folders& folders,
                            int majorVersion) {
  std::wstring root = majorVersion <= 4 ? (folders.windows.empty()
                                               ? std::wstring()
                                               : folders.windows + L"\\Application Data")
                                        : folders.Special(browser.root);
  return root.empty() ? root : sys::WithBackslash(root) + browser.userData;
}

std::vector<std::wstring> LocalStateProfiles(const std::string& json) {
  // An object or array being read, and the key it was opened under.
  struct Frame {
    bool object;
    std::wstring key;
  };
  std::vector<Frame> frames;
  std::vector<std::wstring> names;
  std::wstring pendingKey, text;
  bool expectKey = false;
  for (size_t i = 0; i < json.size();) {
    char c = json[i];
    if (c == '{' || c == '[') {
      frames.push_back({c == '{', pendingKey});
      pendingKey.clear();
      expectKey = c == '{';
      ++i;
    } else if (c == '}' || c == ']') {
      if (frames.empty()) return {};
      frames.pop_back();
      expectKey = false;
      ++i;
    } else if (c == ',') {
      expectKey = !frames.empty() && frames.back().object;
      ++i;
    } else if (c == '"') {
      if (!ReadJsonString(json, i, text)) return {};
      if (expectKey) {
        pendingKey = text;
        expectKey = false;
        if (frames.size() == 3 && frames[1].key == L"profile" && frames[2].key == L"info_cache")
          names.push_back(text);
      }
    } else {
      ++i;  // ':', blanks, numbers and literals
    }
  }
  return names;
}

std::vector<std::wstring> ProfileFolders(const std::wstring& userData) {
  std::vector<std::wstring> found;
  auto add = [&](const std::wstring& name) {
    if (!PlainFolderName(name)) return;
    const std::wstring path = userData + L"\\" + name;
    for (const std::wstring& f : found)
      if (sys::LowerCase(f) == sys::LowerCase(path)) return;
    if (sys::IsPlainFolder(path)) found.push_back(path);
  };
  for (const std::wstring& name : LocalStateProfiles(ReadSmallFile(userData + L"\\Local State")))
    add(name);
  add(L"Default");
  for (sys::FileSearch s(userData + L"\\*"); s.Found(); s.Next())
    if (s.IsDirectory() && IsNumberedProfile(s.Name())) add(s.Name());
  return found;
}

std::wstring LocalTwin(const std::wstring& profile, const machine::Folders& folders,
                       int majorVersion) {
  if (majorVersion <= 4) return {};
  const std::wstring roaming = folders.Special(kRoaming), local = folders.Special(kLocal);
  if (roaming.empty() || local.empty()) return {};
  const std::wstring prefix = sys::WithBackslash(roaming);
  if (!sys::StartsWith(sys::LowerCase(profile), sys::LowerCase(prefix))) return {};
  return sys::WithBackslash(local) + profile.substr(prefix.size());
}

std::wstring RunningNotice(const ChromiumBrowser& browser) {
  std::wstring name = browser.name;
  std::wstring first = sys::Contains(name, L"浏览器") ? name : name + L"浏览器";
  return first + L"正在运行中，无法进行相关的清理，请关闭" + name + L"后点击“确定”。";
}

}  // namespace browsers
