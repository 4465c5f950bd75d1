// INI profile access on one file through the profile functions, which keep an ANSI file
// ANSI (GBK on a Chinese system).
#pragma once
#include <windows.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace sys {

// Raised by a write that the system refused: "Unable to write to <file>", with the
// system's error code of the refusal.
class ProfileWriteError : public std::runtime_error {
 public:
  explicit ProfileWriteError(const std::wstring& file, DWORD error = 0);
  const std::wstring& File() const { return file_; }
  DWORD Error() const { return error_; }

 private:
  std::wstring file_;
  DWORD error_;
};

// The profile functions take no path of MAX_PATH characters or more: a longer one is
// reached through the short (8.3) form of its folder; where it has none that fits, reads
// give the defaults and writes fail, so that no other file is ever read or written.
class ProfileIni {
 public:
  explicit ProfileIni(std::wstring file);
  const std::wstring& File() const { return file_; }

  std::wstring ReadString(const std::wstring& section, const std::wstring& key,
                          const std::wstring& def = L"") const;
  // A value that is not a whole decimal (or $hex / 0x hex) number gives the default.
  int ReadInteger(const std::wstring& section, const std::wstring& key, int def) const;
  // Stored as an integer: non-zero is true.
  bool ReadBool(const std::wstring& section, const std::wstring& key, bool def) const;
  // A value that is not a finite number gives the default.
  double ReadFloat(const std::wstring& section, const std::wstring& key, double def) const;
  // "yyyy-mm-dd hh:mm:ss"; false (and the time untouched) when absent or malformed.
  bool ReadDate(const std::wstring& section, const std::wstring& key, SYSTEMTIME& when) const;
  bool KeyExists(const std::wstring& section, const std::wstring& key) const;
  // Key names of a section in file order; section names in file order.
  std::vector<std::wstring> SectionKeys(const std::wstring& section) const;
  std::vector<std::wstring> Sections() const;

  // Each write throws ProfileWriteError when the file cannot be written.
  void WriteString(const std::wstring& section, const std::wstring& key,
                   const std::wstring& value);
  void WriteInteger(const std::wstring& section, const std::wstring& key, int value);
  void WriteBool(const std::wstring& section, const std::wstring& key, bool value);
  // General form with up to 15 significant digits (a float 0.1 is 0.100000001490116).
  void WriteFloat(const std::wstring& section, const std::wstring& key, double value);
  void WriteDate(const std::wstring& section, const std::wstring& key, const SYSTEMTIME& when);
  void EraseSection(const std::wstring& section);
  // Raises ProfileWriteError when the file exists and could not be written.
  void DeleteKey(const std::wstring& section, const std::wstring& key);

  static std::wstring FloatText(double value);
  static std::wstring DateText(const SYSTEMTIME& when);
  static bool ParseDate(const std::wstring& text, SYSTEMTIME& when);

 private:
  void Write(const wchar_t* section, const wchar_t* key, const wchar_t* value);
  std::wstring file_;
  std::wstring path_;  // the name given to the profile functions; empty when none fits
};

}  // namespace sys
