// Version resources of executable files.
#pragma once
#include <string>

namespace sys {

// "major.minor.build.revision" from the fixed file information; empty when none.
std::wstring GetFileVersionText(const std::wstring& file);
// A field of the string table in the file's first translation (or the bare name when
// there is no translation table); for "FileVersion" an empty field falls back to
// GetFileVersionText. Empty for an empty path or a file without version information.
std::wstring GetVersionInfoString(const std::wstring& file, const std::wstring& name);

}  // namespace sys
