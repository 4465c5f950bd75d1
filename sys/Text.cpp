#include "sys/Text.h"

#include <windows.h>

#include <cstdarg>
#include <cwchar>
#include <vector>

namespace sys {

std::wstring LowerCase(const std::wstring& s) {
  if (s.empty()) return s;
  std::wstring r(s);
  // CharLowerBuffW maps by the system's rules, for ASCII and beyond.
  CharLowerBuffW(&r[0], DWORD(r.size()));
  return r;
}

std::wstring Trim(const std::wstring& s) {
  size_t b = 0, e = s.size();
  while (b < e && s[b] <= L' ') ++b;
  while (e > b && s[e - 1] <= L' ') --e;
  return s.substr(b, e - b);
}

bool Contains(const std::wstring& s, const std::wstring& part) {
  return s.find(part) != std::wstring::npos;
}

bool StartsWith(const std::wstring& s, const std::wstring& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const std::wstring& s, const std::wstring& suffix) {
  return s.size() >= suffix.size() &&
         s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::wstring WithBackslash(const std::wstring& path) {
  if (path.empty() || path.back() == L'\\') return path;
  return path + L"\\";
}

static std::string Narrow(UINT cp, const std::wstring& s) {
  if (s.empty()) return {};
  int n = WideCharToMultiByte(cp, 0, s.data(), int(s.size()), nullptr, 0, nullptr, nullptr);
  std::string r(size_t(n), '\0');
  WideCharToMultiByte(cp, 0, s.data(), int(s.size()), &r[0], n, nullptr, nullptr);
  return r;
}

static std::wstring Widen(UINT cp, const std::string& s) {
  if (s.empty()) return {};
  int n = MultiByteToWideChar(cp, 0, s.data(), int(s.size()), nullptr, 0);
  std::wstring r(size_t(n), L'\0');
  MultiByteToWideChar(cp, 0, s.data(), int(s.size()), &r[0], n);
  return r;
}

std::string ToUtf8(const std::wstring& s) { return Narrow(CP_UTF8, s); }
std::wstring FromUtf8(const std::string& s) { return Widen(CP_UTF8, s); }
std::string ToAnsi(const std::wstring& s) { return Narrow(CP_ACP, s); }
std::wstring FromAnsi(const std::string& s) { return Widen(CP_ACP, s); }

// The program's texts say "%s" for a text argument, which is always wide here; the C99
// wide printf of MinGW reads a bare %s as a narrow string, so %s and %c get their "l".
static std::wstring WideConversions(const wchar_t* fmt) {
  std::wstring out;
  for (const wchar_t* p = fmt; *p; ++p) {
    out += *p;
    if (*p != L'%') continue;
    if (p[1] == L'%') {
      out += *++p;
      continue;
    }
    while (p[1] && wcschr(L"-+ #0123456789.*", p[1])) out += *++p;
    if (p[1] == L's' || p[1] == L'c') out += L'l';
  }
  return out;
}

std::wstring Format(const wchar_t* fmt, ...) {
  std::vector<wchar_t> buf(256);
  const std::wstring wide = WideConversions(fmt);
  for (;;) {
    va_list ap;
    va_start(ap, fmt);
    int n = vswprintf(buf.data(), buf.size(), wide.c_str(), ap);
    va_end(ap);
    if (n >= 0 && size_t(n) < buf.size()) return std::wstring(buf.data(), size_t(n));
    buf.resize(buf.size() * 4);
  }
}

std::wstring SystemErrorText(unsigned long code) {
  wchar_t* text = nullptr;
  DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                               FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring s = n && text ? Trim(std::wstring(text, n)) : std::wstring();
  if (text) LocalFree(text);
  return s.empty() ? Format(L"%lu", code) : s;
}

}  // namespace sys
