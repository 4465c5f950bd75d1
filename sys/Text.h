// Text helpers shared by every subsystem. All text is UTF-16 internally.
#pragma once
#include <string>

namespace sys {

// The one lower-case mapping used for file names, folder fragments and extensions.
std::wstring LowerCase(const std::wstring& s);
// Removes leading and trailing blanks (spaces and control characters).
std::wstring Trim(const std::wstring& s);
bool Contains(const std::wstring& s, const std::wstring& part);
bool StartsWith(const std::wstring& s, const std::wstring& prefix);
bool EndsWith(const std::wstring& s, const std::wstring& suffix);
// Adds one trailing backslash when the text is not empty and lacks it.
std::wstring WithBackslash(const std::wstring& path);
// Conversions at the edges (SQLite wants UTF-8, some files are ANSI).
std::string ToUtf8(const std::wstring& s);
std::wstring FromUtf8(const std::string& s);
std::string ToAnsi(const std::wstring& s);
std::wstring FromAnsi(const std::string& s);
// printf-style formatting into a wide string; %s and %c take wide arguments, as the
// program's texts ("删除: %s") are written.
std::wstring Format(const wchar_t* fmt, ...);
// The system's own text for an error code (GetLastError), without its line end; the code
// in decimal when the system has no text for it.
std::wstring SystemErrorText(unsigned long code);

}  // namespace sys
