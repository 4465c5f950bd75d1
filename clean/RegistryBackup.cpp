#include "clean/RegistryBackup.h"

#include <vector>

#include "catalogue/ResultModel.h"
#include "machine/Folders.h"
#include "sys/Registry.h"
#include "sys/Text.h"
#include "sys/FileUtils.h"

namespace clean {

namespace {

const wchar_t kHeader[] = L"Windows Registry Editor Version 5.00\r\n";
using catalogue::kDefaultValueMarker;

std::wstring Quoted(const std::wstring& s) {
  std::wstring q = L"\"";
  for (wchar_t c : s) {
    if (c == L'\\' || c == L'"') q += L'\\';
    q += c;
  }
  return q + L"\"";
}

// Text that a quoted string gives back unchanged: one terminating NUL, none inside, no
// line break.
bool IsPlainString(const std::vector<BYTE>& data) {
  if (data.size() < 2 || data.size() % 2) return false;
  const wchar_t* p = reinterpret_cast<const wchar_t*>(data.data());
  size_t n = data.size() / 2;
  if (p[n - 1] != L'\0') return false;
  for (size_t i = 0; i + 1 < n; ++i)
    if (p[i] == L'\0' || p[i] == L'\r' || p[i] == L'\n') return false;
  return true;
}

std::wstring HexBytes(const std::vector<BYTE>& data) {
  std::wstring s;
  wchar_t b[4];
  for (size_t i = 0; i < data.size(); ++i) {
    swprintf(b, 4, L"%02x", data[i]);
    if (i) s += L',';
    s += b;
  }
  return s;
}

}  // namespace

std::wstring RegValueText(HKEY key, const std::wstring& valueName) {
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key, valueName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
    return {};
  std::vector<BYTE> data(size);
  for (int attempt = 0; attempt < 4; ++attempt) {
    size = DWORD(data.size());
    LONG rc = RegQueryValueExW(key, valueName.c_str(), nullptr, &type,
                               data.empty() ? nullptr : data.data(), &size);
    if (rc == ERROR_MORE_DATA) {
      data.resize(size);
      continue;
    }
    if (rc != ERROR_SUCCESS) return {};
    data.resize(size);
    break;
  }
  std::wstring line = valueName.empty() ? L"@" : Quoted(valueName);
  line += L'=';
  if (type == REG_SZ && IsPlainString(data)) {
    line += Quoted(std::wstring(reinterpret_cast<const wchar_t*>(data.data()), data.size() / 2 - 1));
  } else if (type == REG_DWORD && data.size() == 4) {
    DWORD v;
    memcpy(&v, data.data(), 4);
    line += sys::Format(L"dword:%08lx", static_cast<unsigned long>(v));
  } else if (type == REG_BINARY) {
    line += L"hex:" + HexBytes(data);
  } else {
    line += sys::Format(L"hex(%lx):", static_cast<unsigned long>(type)) + HexBytes(data);
  }
  return line + L"\r\n";
}

std::wstring RegKeyText(HKEY root, const std::wstring& keyPath, const std::wstring& name) {
  sys::RegKey key;
  if (key.OpenRead(root, keyPath) != ERROR_SUCCESS) return {};
  std::wstring text = L"\r\n[" + name + L"]\r\n";
  for (const std::wstring& v : key.ValueNames()) text += RegValueText(key.Handle(), v);
  for (const std::wstring& sub : key.SubKeyNames())
    text += RegKeyText(root, keyPath + L"\\" + sub, name + L"\\" + sub);
  return text;
}

std::wstring BackupFolderFor(const std::wstring& settingsFile) {
  std::wstring base = settingsFile;
  if (base.empty()) base = sys::ModuleFileName();
  size_t slash = base.find_last_of(L'\\');
  return (slash == std::wstring::npos ? std::wstring(L".") : base.substr(0, slash)) + L"\\Backup";
}

bool RegistryBackup::Save(HKEY root, const std::wstring& keyPath, const std::wstring& valueName) {
  // Without a key path the clean deletes nothing (never a whole root).
  if (keyPath.empty()) return true;
  const std::wstring header = sys::RootName(root) + L"\\" + keyPath;
  std::wstring text;
  if (valueName.empty()) {
    text = RegKeyText(root, keyPath, header);
  } else {
    sys::RegKey key;
    if (key.OpenRead(root, keyPath) != ERROR_SUCCESS) return true;
    std::wstring line =
        RegValueText(key.Handle(), valueName == kDefaultValueMarker ? L"" : valueName);
    if (!line.empty()) text = L"\r\n[" + header + L"]\r\n" + line;
  }
  return text.empty() || Append(text);
}

bool RegistryBackup::Append(const std::wstring& text) {
  std::wstring out = text;
  if (file_.empty()) {
    CreateDirectoryW(folder_.c_str(), nullptr);
    SYSTEMTIME t;
    GetLocalTime(&t);
    const std::wstring stem =
        folder_ + sys::Format(L"\\%04u%02u%02u-%02u%02u%02u", t.wYear, t.wMonth, t.wDay, t.wHour,
                              t.wMinute, t.wSecond);
    // Two cleans within one second each get a file of their own.
    for (int n = 1; n < 100 && file_.empty(); ++n) {
      std::wstring name = stem + (n == 1 ? L"" : sys::Format(L"-%d", n)) + L".reg";
      HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
      if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        file_ = name;
      } else if (GetLastError() != ERROR_FILE_EXISTS) {
        return false;
      }
    }
    if (file_.empty()) return false;
    out = L"\xFEFF" + std::wstring(kHeader) + text;
  }
  HANDLE h = CreateFileW(file_.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  const DWORD bytes = DWORD(out.size() * sizeof(wchar_t));
  DWORD written = 0;
  bool ok = WriteFile(h, out.data(), bytes, &written, nullptr) && written == bytes;
  CloseHandle(h);
  return ok;
}

}  // namespace clean
