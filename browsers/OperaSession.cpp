#include "browsers/OperaSession.h"

#include <windows.h>

#include "sys/ProfileIni.h"
#include "sys/Text.h"
#include "sys/Views.h"

namespace browsers {

namespace {

// A section of a window the clean drops: "<n>" or "<n>history url", "<n>history document
// type", "<n>history title", "<n>history scrollpos list", with n a window after the first.
bool IsLaterWindowSection(const std::wstring& section) {
  const std::wstring s = sys::LowerCase(section);
  size_t digits = s.find_first_not_of(L"0123456789");
  if (digits == 0) return false;
  const std::wstring number = s.substr(0, digits), rest = s.substr(number.size());
  // "0", "1", "01": the window that stays, or none.
  if (number.find_first_not_of(L'0') == std::wstring::npos) return false;
  if (number.substr(number.find_first_not_of(L'0')) == L"1") return false;
  for (const wchar_t* suffix : {L"", L"history url", L"history document type", L"history title",
                                L"history scrollpos list"})
    if (rest == suffix) return true;
  return false;
}

}  // namespace

OperaSessionEdit PlanOperaSessionEdit(const std::wstring& path) {
  OperaSessionEdit edit;
  // The profile functions read a file they cannot open as an empty one.
  HANDLE h = CreateFileW(sys::ExactPath(path).c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return edit;
  CloseHandle(h);
  edit.readable = true;
  // The sections really in the file, never as many as its own count claims.
  sys::ProfileIni ini(path);
  for (const std::wstring& section : ini.Sections())
    if (IsLaterWindowSection(section)) edit.sections.push_back(section);
  edit.resetCount = ini.ReadInteger(L"session", L"window count", 1) > 1;
  return edit;
}

bool ApplyOperaSessionEdit(const std::wstring& path, const OperaSessionEdit& edit) {
  if (!edit.readable) return false;
  sys::ProfileIni ini(path);
  try {
    for (const std::wstring& section : edit.sections) ini.EraseSection(section);
    if (edit.resetCount) ini.WriteInteger(L"session", L"window count", 1);
  } catch (const sys::ProfileWriteError&) {
    return false;
  }
  return true;
}

}  // namespace browsers
