#include "sys/Registry.h"

namespace sys {

RegKey& RegKey::operator=(RegKey&& o) noexcept {
  if (this != &o) {
    Close();
    key_ = o.key_;
    o.key_ = nullptr;
  }
  return *this;
}

namespace {
LONG OpenKey(HKEY root, const std::wstring& path, REGSAM access, RegView view, HKEY* key) {
  return OpenKeyInView(root, path, access, view, key);
}
}  // namespace

LONG RegKey::OpenRead(HKEY root, const std::wstring& path, RegView view) {
  Close();
  return OpenKey(root, path, KEY_READ, view, &key_);
}

LONG RegKey::OpenWrite(HKEY root, const std::wstring& path, RegView view) {
  Close();
  return OpenKey(root, path, KEY_READ | KEY_WRITE, view, &key_);
}

LONG RegKey::OpenReadInAnyView(HKEY root, const std::wstring& path) {
  LONG rc = OpenRead(root, path);
  if (rc == ERROR_SUCCESS || !HasRegistryViews()) return rc;
  if (OpenRead(root, path, RegView::Native64) == ERROR_SUCCESS) return ERROR_SUCCESS;
  if (OpenRead(root, path, RegView::Wow32) == ERROR_SUCCESS) return ERROR_SUCCESS;
  return rc;
}

LONG RegKey::Create(HKEY root, const std::wstring& path) {
  Close();
  LONG rc = RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                            &key_, nullptr);
  if (rc != ERROR_SUCCESS) key_ = nullptr;
  return rc;
}

void RegKey::Close() {
  if (key_) RegCloseKey(key_);
  key_ = nullptr;
}

LONG RegKey::KeyInfo(DWORD& subKeys, DWORD& values) const {
  subKeys = values = 0;
  if (!key_) return ERROR_INVALID_HANDLE;
  LONG rc = RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr,
                             &values, nullptr, nullptr, nullptr, nullptr);
  if (rc != ERROR_SUCCESS) subKeys = values = 0;
  return rc;
}

bool RegKey::HasSubKeys() const {
  DWORD s, v;
  return KeyInfo(s, v) == ERROR_SUCCESS && s > 0;
}

std::vector<std::wstring> RegKey::SubKeyNames() const {
  std::vector<std::wstring> names;
  if (!key_) return names;
  // Key names are at most 255 characters.
  wchar_t buf[512];
  for (DWORD i = 0;; ++i) {
    DWORD len = 512;
    LONG rc = RegEnumKeyExW(key_, i, buf, &len, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_MORE_DATA) continue;
    if (rc != ERROR_SUCCESS) break;
    names.emplace_back(buf, len);
  }
  return names;
}

std::vector<std::wstring> RegKey::ValueNames() const {
  std::vector<std::wstring> names;
  if (!key_) return names;
  DWORD maxLen = 0;
  if (RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                       &maxLen, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
    return names;
  std::vector<wchar_t> buf(maxLen + 2);
  for (DWORD i = 0;; ++i) {
    DWORD len = DWORD(buf.size());
    LONG rc = RegEnumValueW(key_, i, buf.data(), &len, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_MORE_DATA) {  // a value added while enumerating
      buf.resize(buf.size() * 2 + 256);
      --i;
      continue;
    }
    if (rc != ERROR_SUCCESS) break;
    names.emplace_back(buf.data(), len);
  }
  return names;
}

DWORD RegKey::ValueType(const std::wstring& name) const {
  DWORD type = REG_NONE;
  if (!key_ || RegQueryValueExW(key_, name.c_str(), nullptr, &type, nullptr, nullptr) !=
                   ERROR_SUCCESS)
    return REG_NONE;
  return type;
}

bool RegKey::ValueExists(const std::wstring& name) const {
  return key_ && RegQueryValueExW(key_, name.c_str(), nullptr, nullptr, nullptr, nullptr) ==
                     ERROR_SUCCESS;
}

LONG RegKey::ReadBinary(const std::wstring& name, std::vector<BYTE>& data) const {
  data.clear();
  if (!key_) return ERROR_INVALID_HANDLE;
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD size = 0;
    LONG rc = RegQueryValueExW(key_, name.c_str(), nullptr, nullptr, nullptr, &size);
    if (rc != ERROR_SUCCESS) return rc;
    data.resize(size);
    rc = RegQueryValueExW(key_, name.c_str(), nullptr, nullptr, data.empty() ? nullptr : data.data(),
                          &size);
    if (rc == ERROR_MORE_DATA) continue;  // grew in between
    if (rc != ERROR_SUCCESS) {
      data.clear();
      return rc;
    }
    data.resize(size);
    return ERROR_SUCCESS;
  }
  data.clear();
  return ERROR_MORE_DATA;
}

LONG RegKey::ReadString(const std::wstring& name, std::wstring& value) const {
  value.clear();
  DWORD type = ValueType(name);
  if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ)
    return key_ ? (type == REG_NONE ? ERROR_FILE_NOT_FOUND : ERROR_INVALID_DATATYPE)
                : ERROR_INVALID_HANDLE;
  std::vector<BYTE> data;
  LONG rc = ReadBinary(name, data);
  if (rc != ERROR_SUCCESS) return rc;
  // An odd trailing byte is no character; the text ends at the first NUL, if any.
  size_t chars = data.size() / sizeof(wchar_t);
  const wchar_t* p = reinterpret_cast<const wchar_t*>(data.data());
  size_t len = 0;
  while (len < chars && p[len] != L'\0') ++len;
  value.assign(p, len);
  return ERROR_SUCCESS;
}

std::wstring RegKey::ReadString(const std::wstring& name) const {
  std::wstring v;
  ReadString(name, v);
  return v;
}

LONG RegKey::ReadInteger(const std::wstring& name, DWORD& value) const {
  value = 0;
  DWORD type = ValueType(name);
  if (type != REG_DWORD && type != REG_BINARY)
    return type == REG_NONE ? ERROR_FILE_NOT_FOUND : ERROR_INVALID_DATATYPE;
  std::vector<BYTE> data;
  LONG rc = ReadBinary(name, data);
  if (rc != ERROR_SUCCESS) return rc;
  if (data.size() != sizeof(DWORD)) return ERROR_INVALID_DATA;
  memcpy(&value, data.data(), sizeof value);
  return ERROR_SUCCESS;
}

LONG RegKey::WriteString(const std::wstring& name, const std::wstring& value, DWORD type) {
  if (!key_) return ERROR_INVALID_HANDLE;
  return RegSetValueExW(key_, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                        DWORD((value.size() + 1) * sizeof(wchar_t)));
}

LONG RegKey::WriteInteger(const std::wstring& name, DWORD value) {
  if (!key_) return ERROR_INVALID_HANDLE;
  return RegSetValueExW(key_, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                        sizeof value);
}

LONG RegKey::DeleteValue(const std::wstring& name) {
  if (!key_) return ERROR_INVALID_HANDLE;
  return RegDeleteValueW(key_, name.c_str());
}

LONG RegKey::DeleteKey(const std::wstring& subKey) {
  if (!key_) return ERROR_INVALID_HANDLE;
  return DeleteKeyTree(key_, subKey);
}

LONG DeleteKeyTree(HKEY root, const std::wstring& path) {
  if (path.empty()) return ERROR_INVALID_PARAMETER;  // never the root itself
  RegKey k;
  LONG rc = k.OpenWrite(root, path);
  if (rc != ERROR_SUCCESS) return rc;
  for (const std::wstring& sub : k.SubKeyNames()) DeleteKeyTree(k.Handle(), sub);
  k.Close();
  return RegDeleteKeyW(root, path.c_str());
}

bool RegKeyExists(HKEY root, const std::wstring& path, RegView view) {
  RegKey k;
  return k.OpenRead(root, path, view) == ERROR_SUCCESS;
}

bool RegKeyExistsInAnyView(HKEY root, const std::wstring& path) {
  RegKey k;
  return k.OpenReadInAnyView(root, path) == ERROR_SUCCESS;
}

std::vector<std::wstring> GetRegSubKeyNames(HKEY root, const std::wstring& path) {
  RegKey k;
  if (k.OpenRead(root, path) != ERROR_SUCCESS) return {};
  return k.SubKeyNames();
}

namespace {
struct RootEntry {
  const wchar_t* name;
  const wchar_t* shortName;
  HKEY key;
};
const RootEntry kRoots[] = {
    {L"HKEY_CLASSES_ROOT", L"HKCR", HKEY_CLASSES_ROOT},
    {L"HKEY_CURRENT_USER", L"HKCU", HKEY_CURRENT_USER},
    {L"HKEY_LOCAL_MACHINE", L"HKLM", HKEY_LOCAL_MACHINE},
    {L"HKEY_USERS", L"HKU", HKEY_USERS},
    {L"HKEY_CURRENT_CONFIG", L"HKCC", HKEY_CURRENT_CONFIG},
};
}  // namespace

HKEY RootFromName(const std::wstring& name) {
  for (const RootEntry& r : kRoots)
    if (name == r.name || name == r.shortName) return r.key;
  return nullptr;
}

std::wstring RootName(HKEY root) {
  for (const RootEntry& r : kRoots)
    if (root == r.key) return r.name;
  return {};
}

}  // namespace sys
