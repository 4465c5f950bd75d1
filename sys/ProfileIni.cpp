#include "sys/ProfileIni.h"

#include <cmath>
#include <cwchar>
#include <cwctype>

#include "sys/Text.h"
#include "sys/Views.h"

namespace sys {

ProfileWriteError::ProfileWriteError(const std::wstring& file, DWORD error)
    : std::runtime_error("Unable to write to " + ToAnsi(file)), file_(file), error_(error) {}

// The short form of a long full path; empty when the system has none.
static std::wstring ShortForm(const std::wstring& path) {
  std::wstring exact = ExactPath(path);
  DWORD n = GetShortPathNameW(exact.c_str(), nullptr, 0);
  if (n == 0) return {};
  std::wstring s(n, L'\0');
  n = GetShortPathNameW(exact.c_str(), &s[0], n);
  if (n == 0 || n >= s.size()) return {};
  s.resize(n);
  if (StartsWith(s, L"\\\\?\\UNC\\")) return L"\\" + s.substr(7);
  if (StartsWith(s, L"\\\\?\\")) return s.substr(4);
  return s;
}

static std::wstring ProfilePath(const std::wstring& file) {
  if (file.size() < MAX_PATH) return file;
  std::wstring shortFile = ShortForm(file);  // an existing file
  if (shortFile.empty()) {
    size_t cut = file.find_last_of(L'\\');
    if (cut == std::wstring::npos) return {};
    std::wstring folder = ShortForm(file.substr(0, cut));
    if (!folder.empty()) shortFile = folder + file.substr(cut);
  }
  return shortFile.size() < MAX_PATH ? shortFile : std::wstring();
}

ProfileIni::ProfileIni(std::wstring file) : file_(std::move(file)), path_(ProfilePath(file_)) {}

std::wstring ProfileIni::ReadString(const std::wstring& section, const std::wstring& key,
                                    const std::wstring& def) const {
  if (path_.empty()) return def;
  std::vector<wchar_t> buf(1024);
  for (;;) {
    DWORD n = GetPrivateProfileStringW(section.c_str(), key.c_str(), def.c_str(), buf.data(),
                                       DWORD(buf.size()), path_.c_str());
    if (n + 1 < buf.size()) return std::wstring(buf.data(), n);
    buf.resize(buf.size() * 4);
  }
}

// Runs a profile call that fills a list of NUL-ended names, with a buffer that grows until
// the list fits (the call answers size - 2 when it was cut).
template <class Call>
static std::vector<std::wstring> ReadNameList(Call call) {
  std::vector<wchar_t> buf(4096);
  DWORD n;
  while ((n = call(buf.data(), DWORD(buf.size()))) + 2 >= buf.size()) buf.resize(buf.size() * 4);
  std::vector<std::wstring> out;
  for (const wchar_t* p = buf.data(); p < buf.data() + n && *p; p += wcslen(p) + 1)
    out.emplace_back(p);
  return out;
}

std::vector<std::wstring> ProfileIni::SectionKeys(const std::wstring& section) const {
  return ReadNameList([&](wchar_t* buf, DWORD size) {
    if (path_.empty()) return DWORD(0);
    return GetPrivateProfileStringW(section.c_str(), nullptr, L"", buf, size, path_.c_str());
  });
}

std::vector<std::wstring> ProfileIni::Sections() const {
  return ReadNameList([&](wchar_t* buf, DWORD size) {
    if (path_.empty()) return DWORD(0);
    return GetPrivateProfileSectionNamesW(buf, size, path_.c_str());
  });
}

bool ProfileIni::KeyExists(const std::wstring& section, const std::wstring& key) const {
  // Two different defaults tell an absent key from one holding either of them.
  return ReadString(section, key, L"\x01") != L"\x01" || ReadString(section, key, L"\x02") != L"\x02";
}

static bool ParseInteger(const std::wstring& text, long long& out) {
  std::wstring s = Trim(text);
  if (s.empty()) return false;
  int base = 10;
  size_t start = 0;
  bool negative = false;
  if (s[0] == L'-' || s[0] == L'+') {
    negative = s[0] == L'-';
    start = 1;
  }
  if (s.compare(start, 1, L"$") == 0) {
    base = 16;
    start += 1;
  } else if (s.compare(start, 2, L"0x") == 0 || s.compare(start, 2, L"0X") == 0) {
    base = 16;
    start += 2;
  }
  if (start >= s.size()) return false;
  long long v = 0;
  for (size_t i = start; i < s.size(); ++i) {
    int d;
    wchar_t c = s[i];
    if (c >= L'0' && c <= L'9') d = c - L'0';
    else if (base == 16 && c >= L'a' && c <= L'f') d = c - L'a' + 10;
    else if (base == 16 && c >= L'A' && c <= L'F') d = c - L'A' + 10;
    else return false;
    v = v * base + d;
    if (v > 0xFFFFFFFFLL) return false;
  }
  out = negative ? -v : v;
  return true;
}

int ProfileIni::ReadInteger(const std::wstring& section, const std::wstring& key, int def) const {
  long long v;
  if (!ParseInteger(ReadString(section, key), v)) return def;
  if (v < -2147483648LL || v > 0xFFFFFFFFLL) return def;
  return int(static_cast<unsigned long long>(v) & 0xFFFFFFFFu);
}

bool ProfileIni::ReadBool(const std::wstring& section, const std::wstring& key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

double ProfileIni::ReadFloat(const std::wstring& section, const std::wstring& key,
                             double def) const {
  std::wstring s = Trim(ReadString(section, key));
  if (s.empty()) return def;
  wchar_t* end = nullptr;
  double v = wcstod(s.c_str(), &end);
  // "1e400", "inf" and "nan" are no amounts, and would be written back as such.
  if (!end || *end != L'\0' || !std::isfinite(v)) return def;
  return v;
}

std::wstring ProfileIni::FloatText(double value) { return Format(L"%.15g", value); }

std::wstring ProfileIni::DateText(const SYSTEMTIME& t) {
  return Format(L"%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour,
                t.wMinute, t.wSecond);
}

bool ProfileIni::ParseDate(const std::wstring& text, SYSTEMTIME& when) {
  unsigned y, mo, d, h = 0, mi = 0, s = 0;
  wchar_t tail = 0;
  std::wstring t = Trim(text);
  int n = swscanf(t.c_str(), L"%4u-%2u-%2u %2u:%2u:%2u%lc", &y, &mo, &d, &h, &mi, &s, &tail);
  if (n != 3 && n != 6) return false;
  if (n == 3 && t.size() != 10) return false;
  SYSTEMTIME st = {};
  st.wYear = WORD(y);
  st.wMonth = WORD(mo);
  st.wDay = WORD(d);
  st.wHour = WORD(h);
  st.wMinute = WORD(mi);
  st.wSecond = WORD(s);
  // A real calendar date: the conversion refuses 2023-02-30 and 25:00.
  FILETIME ft;
  if (!SystemTimeToFileTime(&st, &ft)) return false;
  FileTimeToSystemTime(&ft, &st);  // fills the day of the week
  when = st;
  return true;
}

bool ProfileIni::ReadDate(const std::wstring& section, const std::wstring& key,
                          SYSTEMTIME& when) const {
  return ParseDate(ReadString(section, key), when);
}

void ProfileIni::Write(const wchar_t* section, const wchar_t* key, const wchar_t* value) {
  if (path_.empty()) throw ProfileWriteError(file_, ERROR_FILENAME_EXCED_RANGE);
  if (!WritePrivateProfileStringW(section, key, value, path_.c_str()))
    throw ProfileWriteError(file_, GetLastError());
}

void ProfileIni::WriteString(const std::wstring& section, const std::wstring& key,
                             const std::wstring& value) {
  Write(section.c_str(), key.c_str(), value.c_str());
}

void ProfileIni::WriteInteger(const std::wstring& section, const std::wstring& key, int value) {
  WriteString(section, key, Format(L"%d", value));
}

void ProfileIni::WriteBool(const std::wstring& section, const std::wstring& key, bool value) {
  WriteString(section, key, value ? L"1" : L"0");
}

void ProfileIni::WriteFloat(const std::wstring& section, const std::wstring& key,
                            double value) {
  WriteString(section, key, FloatText(value));
}

void ProfileIni::WriteDate(const std::wstring& section, const std::wstring& key,
                           const SYSTEMTIME& when) {
  WriteString(section, key, DateText(when));
}

void ProfileIni::EraseSection(const std::wstring& section) {
  Write(section.c_str(), nullptr, nullptr);
}

void ProfileIni::DeleteKey(const std::wstring& section, const std::wstring& key) {
  // Deleting from a file that does not exist is no failure; one that stays unwritten is.
  if (path_.empty() ||
      WritePrivateProfileStringW(section.c_str(), key.c_str(), nullptr, path_.c_str()))
    return;
  const DWORD error = GetLastError();
  if (GetFileAttributesW(path_.c_str()) != INVALID_FILE_ATTRIBUTES)
    throw ProfileWriteError(file_, error);
}

}  // namespace sys
