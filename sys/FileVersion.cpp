#include "sys/FileVersion.h"

#include <windows.h>

#include <vector>

#include "sys/SystemLibrary.h"
#include "sys/Text.h"

namespace sys {

namespace {

// version.dll is no known DLL: it is loaded from the system folder by its full path.
struct VersionApi {
  decltype(&GetFileVersionInfoSizeW) size =
      SystemFunction<decltype(size)>(L"version.dll", "GetFileVersionInfoSizeW");
  decltype(&GetFileVersionInfoW) read =
      SystemFunction<decltype(read)>(L"version.dll", "GetFileVersionInfoW");
  decltype(&VerQueryValueW) query =
      SystemFunction<decltype(query)>(L"version.dll", "VerQueryValueW");
};

const VersionApi& Version() {
  static const VersionApi api;
  return api;
}

BOOL QueryValue(LPCVOID block, LPCWSTR subBlock, LPVOID* buffer, PUINT len) {
  return Version().query ? Version().query(block, subBlock, buffer, len) : FALSE;
}

}  // namespace

static bool ReadVersionBlock(const std::wstring& file, std::vector<BYTE>& block) {
  const VersionApi& api = Version();
  if (!api.size || !api.read || !api.query) return false;
  DWORD handle = 0;
  DWORD size = api.size(file.c_str(), &handle);
  if (size == 0) return false;
  block.assign(size, 0);
  return api.read(file.c_str(), 0, size, block.data()) != 0;
}

std::wstring GetFileVersionText(const std::wstring& file) {
  std::vector<BYTE> block;
  if (file.empty() || !ReadVersionBlock(file, block)) return {};
  VS_FIXEDFILEINFO* info = nullptr;
  UINT len = 0;
  if (!QueryValue(block.data(), L"\\", reinterpret_cast<void**>(&info), &len) || !info ||
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
  if (QueryValue(block.data(), L"\\VarFileInfo\\Translation",
                     reinterpret_cast<void**>(&translation), &len) &&
      translation && len >= sizeof(DWORD)) {
    subBlock = Format(L"\\StringFileInfo\\%04x%04x\\%ls", unsigned(LOWORD(*translation)),
                      unsigned(HIWORD(*translation)), name.c_str());
  }
  std::wstring text;
  wchar_t* value = nullptr;
  if (QueryValue(block.data(), subBlock.c_str(), reinterpret_cast<void**>(&value), &len) &&
      value && len > 0) {
    size_t n = 0;
    while (n < len && value[n]) ++n;
    text.assign(value, n);
  }
  if (name == L"FileVersion" && text.empty()) return GetFileVersionText(file);
  return text;
}

}  // namespace sys
