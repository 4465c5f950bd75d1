// Registry access: one RAII key class and the small utilities built on it.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "sys/Views.h"

namespace sys {

class RegKey {
 public:
  RegKey() = default;
  ~RegKey() { Close(); }
  RegKey(RegKey&& o) noexcept : key_(o.key_) { o.key_ = nullptr; }
  RegKey& operator=(RegKey&& o) noexcept;
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;

  // When the result is ERROR_SUCCESS the key is open, otherwise it is closed. A view
  // other than Default opens the key in that registry view of 64-bit Windows.
  LONG OpenRead(HKEY root, const std::wstring& path, RegView view = RegView::Default);
  LONG OpenWrite(HKEY root, const std::wstring& path, RegView view = RegView::Default);
  // Opens in the program's own view, else the native 64-bit one, else the 32-bit one: for
  // a look-up that decides a finding, where a key missing in one view may be in the other.
  LONG OpenReadInAnyView(HKEY root, const std::wstring& path);
  // Creates missing keys on the way; opens read-write.
  LONG Create(HKEY root, const std::wstring& path);
  void Close();
  bool IsOpen() const { return key_ != nullptr; }
  HKEY Handle() const { return key_; }

  // Names in the order the registry enumerates them; empty when the key is closed.
  std::vector<std::wstring> SubKeyNames() const;
  std::vector<std::wstring> ValueNames() const;
  bool HasSubKeys() const;
  // When the result is ERROR_SUCCESS the counts were read, otherwise they are 0.
  LONG KeyInfo(DWORD& subKeys, DWORD& values) const;
  bool ValueExists(const std::wstring& name) const;
  // REG_NONE when the value is absent.
  DWORD ValueType(const std::wstring& name) const;
  // REG_SZ / REG_EXPAND_SZ (unexpanded) / REG_MULTI_SZ (first string). Data without a
  // terminating NUL or with an odd byte count is read safely. When the result is
  // ERROR_SUCCESS the value was read, otherwise it is cleared.
  LONG ReadString(const std::wstring& name, std::wstring& value) const;
  std::wstring ReadString(const std::wstring& name) const;
  // REG_DWORD (or 4 bytes of REG_BINARY). When not ERROR_SUCCESS the value is 0.
  LONG ReadInteger(const std::wstring& name, DWORD& value) const;
  LONG ReadBinary(const std::wstring& name, std::vector<BYTE>& data) const;
  LONG WriteString(const std::wstring& name, const std::wstring& value, DWORD type = REG_SZ);
  LONG WriteInteger(const std::wstring& name, DWORD value);
  LONG DeleteValue(const std::wstring& name);
  // Deletes the sub-key with everything below it.
  LONG DeleteKey(const std::wstring& subKey);

 private:
  HKEY key_ = nullptr;
};

// True when the key opens read-only on the root.
bool RegKeyExists(HKEY root, const std::wstring& path, RegView view = RegView::Default);
// True when the key opens in any registry view: "missing" means missing in both.
bool RegKeyExistsInAnyView(HKEY root, const std::wstring& path);
// Names of the sub-keys of a key; empty when it cannot be opened.
std::vector<std::wstring> GetRegSubKeyNames(HKEY root, const std::wstring& path);
// Deletes a key and everything below it (works where RegDeleteTree is missing).
LONG DeleteKeyTree(HKEY root, const std::wstring& path);

// "HKEY_CURRENT_USER" <-> HKEY_CURRENT_USER for the five predefined roots; the short
// forms "HKCU", "HKLM", "HKCR", "HKU", "HKCC" are accepted too. nullptr when unknown.
HKEY RootFromName(const std::wstring& name);
// Empty for a handle that is not one of the predefined roots.
std::wstring RootName(HKEY root);

}  // namespace sys
