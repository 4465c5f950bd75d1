#include "sys/FileVersion.h"

#include <windows.h>

#include <vector>

#include "sys/Text.h"

namespace sys {

static bool ReadVersionBlock(const std::wstring& file, std::vector<BYTE>& block) {
  DWORD handle = 0;
  DWORD size = GetFileVersionInfoSizeW(file.c_str(), &handle);
  if (size == 0) return false;
  block.assign(size, 0);
  return GetFileVersionInfoW(file.c_str(), 0, size, block.data()) != 0;
}

std::wstring GetFileVersionText(const std::wstring& file) {
  std::vector<BYTE> block;
  if (file.empty() || !ReadVersionBlock(file, block)) return {};
  VS_FIXEDFILEINFO* info = nullptr;
  UINT len = 0;
  if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &len) || !info ||
      len < sizeof(VS_FIXEDFILEINFO))
    return {};
  return Format(L"%d.%d.%d.%d", int(HIWORD(info->dwFileVersionMS)),
                int(LOWORD(info->dwFileVersionMS)), int(HIWORD(info->dwFileVersionLS)),
                int(LOWORD(info->dwFileVersionLS)));
}

std::wstring GetVersionInfoString(const std::wstring& file, const std::wstring& name) {
  std::vector<BYTE> block;
  if (file.empty() || !ReadVersionBlock(file, block)) return {};
  std::wstring subBlock = name;
  DWORD* translation = nullptr;
  UINT len = 0;
  if (VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                     reinterpret_cast<void**>(&translation), &len) &&
      translation && len >= sizeof(DWORD)) {
    subBlock = Format(L"\\StringFileInfo\\%04x%04x\\%ls", unsigned(LOWORD(*translation)),
                      unsigned(HIWORD(*translation)), name.c_str());
  }
  std::wstring text;
  wchar_t* value = nullptr;
  if (VerQueryValueW(block.data(), subBlock.c_str(), reinterpret_cast<void**>(&value), &len) &&
      value && len > 0) {
    size_t n = 0;
    while (n < len && value[n]) ++n;
    text.assign(value, n);
  }
  if (name == L"FileVersion" && text.empty()) return GetFileVersionText(file);
  return text;
}

}  // namespace sys
