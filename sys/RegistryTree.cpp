#include "sys/RegistryTree.h"

#include <algorithm>

namespace sys {

namespace {

using NtDeleteKeyFn = LONG(WINAPI*)(HANDLE);
using NtStatusToErrorFn = ULONG(WINAPI*)(LONG);

RegTreeApi RealRegTreeApi() {
  RegTreeApi api;
  api.openSubKey = [](HKEY parent, const std::wstring& name, REGSAM access, HKEY* key) {
    return RegOpenKeyExW(parent, name.c_str(), 0, access, key);
  };
  return api;
}

// Deletes the key the handle holds, in whatever view it was opened: RegDeleteKey would
// look the name up again.
LONG DeleteOpenKey(HKEY key) {
  static const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  static const auto del = reinterpret_cast<NtDeleteKeyFn>(
      reinterpret_cast<void*>(ntdll ? GetProcAddress(ntdll, "NtDeleteKey") : nullptr));
  static const auto toError = reinterpret_cast<NtStatusToErrorFn>(
      reinterpret_cast<void*>(ntdll ? GetProcAddress(ntdll, "RtlNtStatusToDosError") : nullptr));
  if (!del || !toError) return RegDeleteKeyW(key, L"");
  LONG status = del(key);
  return status == 0 ? ERROR_SUCCESS : LONG(toError(status));
}

// FNV-1a, 64 bits: fast, and a change of any byte changes it.
struct Hash {
  unsigned long long h = 1469598103934665603ULL;
  void Bytes(const void* p, size_t n) {
    const BYTE* b = static_cast<const BYTE*>(p);
    for (size_t i = 0; i < n; ++i) {
      h ^= b[i];
      h *= 1099511628211ULL;
    }
  }
  // The length first, so that "ab"+"c" and "a"+"bc" differ.
  void Text(const std::wstring& s) {
    DWORD n = DWORD(s.size());
    Bytes(&n, sizeof n);
    Bytes(s.data(), s.size() * sizeof(wchar_t));
  }
  void Value(const std::wstring& name, DWORD type, const std::vector<BYTE>& data) {
    Text(name);
    Bytes(&type, sizeof type);
    DWORD n = DWORD(data.size());
    Bytes(&n, sizeof n);
    if (!data.empty()) Bytes(data.data(), data.size());
  }
};

}  // namespace

RegTreeApi& RegTreeCalls() {
  static RegTreeApi api = RealRegTreeApi();
  return api;
}

LONG ForEachValue(HKEY key, const std::function<void(const std::wstring&, DWORD,
                                                     const std::vector<BYTE>&)>& visit) {
  DWORD count = 0, maxName = 0, maxData = 0;
  LONG rc = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                             &maxName, &maxData, nullptr, nullptr);
  if (rc != ERROR_SUCCESS) return rc;
  std::vector<wchar_t> name(maxName + 2);
  std::vector<BYTE> data(maxData);
  // As many as were counted: one added since is caught by RegTree::Unchanged.
  DWORD read = 0;
  for (int grown = 0; read < count;) {
    DWORD nameLen = DWORD(name.size()), size = DWORD(data.size()), type = 0;
    rc = RegEnumValueW(key, read, name.data(), &nameLen, nullptr, &type,
                       data.empty() ? nullptr : data.data(), &size);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc == ERROR_MORE_DATA && ++grown < 8) {
      // Written to since the sizes were taken: larger buffers, and the value again.
      name.resize(name.size() * 2 + 256);
      data.resize(std::max<size_t>(data.size() * 2, size));
      continue;
    }
    if (rc != ERROR_SUCCESS) return rc;
    visit(std::wstring(name.data(), nameLen), type,
          std::vector<BYTE>(data.begin(), data.begin() + size));
    ++read;
  }
  return read == count ? ERROR_SUCCESS : ERROR_INVALID_DATA;
}

LONG ReadRegValue(HKEY key, const std::wstring& name, DWORD& type, std::vector<BYTE>& data) {
  // Most values fit: one call reads them.
  data.assign(512, 0);
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD size = DWORD(data.size());
    LONG rc = RegQueryValueExW(key, name.c_str(), nullptr, &type,
                               data.empty() ? nullptr : data.data(), &size);
    if (rc == ERROR_MORE_DATA || (rc == ERROR_SUCCESS && size > data.size())) {
      data.resize(size);
      continue;
    }
    if (rc == ERROR_SUCCESS) data.resize(size);
    else data.clear();
    return rc;
  }
  data.clear();
  return ERROR_MORE_DATA;
}

void RegTree::Close() {
  for (Key& k : keys_)
    if (k.handle) RegCloseKey(k.handle);
  keys_.clear();
}

LONG RegTree::Open(HKEY root, const std::wstring& path, RegView view, REGSAM access) {
  Close();
  failed_.clear();
  HKEY top = nullptr;
  LONG rc = OpenKeyInView(root, path, access, view, &top);
  if (rc != ERROR_SUCCESS) return rc;
  keys_.push_back(Key());
  keys_.back().handle = top;
  // Parents come before their children: a walk from the end deletes children first.
  std::vector<std::pair<int, std::wstring>> pending;  // parent index, name
  for (size_t i = 0;; ++i) {
    if (i == keys_.size()) {
      if (pending.empty()) break;
      Key k;
      k.parent = pending.back().first;
      k.name = pending.back().second;
      pending.pop_back();
      keys_.push_back(k);
      Key& child = keys_.back();
      if (child.name.find(L'\0') != std::wstring::npos) {
        rc = ERROR_INVALID_NAME;
      } else {
        HKEY h = nullptr;
        rc = RegTreeCalls().openSubKey(keys_[child.parent].handle, child.name, access, &h);
        child.handle = rc == ERROR_SUCCESS ? h : nullptr;
      }
      if (rc != ERROR_SUCCESS) {
        // Gone since its parent listed it: the tree is not as it was listed either.
        if (rc == ERROR_FILE_NOT_FOUND) rc = ERROR_INVALID_DATA;
        failed_ = PathOf(i);
        Close();
        return rc;
      }
    }
    Key& key = keys_[i];
    DWORD maxSub = 0;
    rc = RegQueryInfoKeyW(key.handle, nullptr, nullptr, nullptr, &key.subKeys, &maxSub, nullptr,
                          &key.values, nullptr, nullptr, nullptr, &key.written);
    std::vector<std::wstring> names;
    std::vector<wchar_t> buf(maxSub + 2);
    for (DWORD n = 0; rc == ERROR_SUCCESS && n < key.subKeys; ++n) {
      DWORD len = DWORD(buf.size());
      LONG e = RegEnumKeyExW(key.handle, n, buf.data(), &len, nullptr, nullptr, nullptr, nullptr);
      if (e == ERROR_NO_MORE_ITEMS) break;
      if (e == ERROR_MORE_DATA) {
        buf.resize(buf.size() * 2 + 256);
        --n;
        continue;
      }
      if (e != ERROR_SUCCESS) rc = e;
      else names.emplace_back(buf.data(), len);
    }
    if (rc == ERROR_SUCCESS && names.size() != key.subKeys) rc = ERROR_INVALID_DATA;
    if (rc != ERROR_SUCCESS) {
      failed_ = PathOf(i);
      Close();
      return rc;
    }
    // Reversed onto the stack, so that the first name is walked first.
    for (size_t n = names.size(); n-- > 0;) pending.emplace_back(int(i), names[n]);
  }
  return ERROR_SUCCESS;
}

std::wstring RegTree::PathOf(size_t index) const {
  std::vector<const std::wstring*> parts;
  for (int i = int(index); i > 0; i = keys_[i].parent) parts.push_back(&keys_[i].name);
  std::wstring path;
  for (size_t n = parts.size(); n-- > 0;) {
    if (!path.empty()) path += L'\\';
    path += *parts[n];
  }
  return path;
}

bool RegTree::Unchanged() const {
  for (const Key& k : keys_) {
    DWORD subKeys = 0, values = 0;
    FILETIME written{};
    if (RegQueryInfoKeyW(k.handle, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, &written) != ERROR_SUCCESS ||
        subKeys != k.subKeys || values != k.values || CompareFileTime(&written, &k.written) != 0)
      return false;
  }
  return true;
}

LONG RegTree::DeleteAll() {
  for (size_t i = keys_.size(); i-- > 0;) {
    LONG rc = DeleteOpenKey(keys_[i].handle);
    if (rc != ERROR_SUCCESS) return rc;
  }
  return ERROR_SUCCESS;
}

RegSummary SummarizeValue(const std::wstring& name, DWORD type, const std::vector<BYTE>& data) {
  Hash hash;
  hash.Value(name, type, data);
  RegSummary s;
  s.entries = 1;
  s.digest = hash.h;
  return s;
}

LONG SummarizeTree(const RegTree& tree, RegSummary& out) {
  out = RegSummary();
  Hash hash;
  DWORD entries = 0;
  for (size_t i = 0; i < tree.Keys().size(); ++i) {
    // A key's place in the tree, not only its name: the same keys moved elsewhere differ.
    hash.Text(tree.PathOf(i));
    ++entries;
    LONG rc = ForEachValue(tree.Keys()[i].handle,
                           [&](const std::wstring& name, DWORD type, const std::vector<BYTE>& data) {
                             hash.Value(name, type, data);
                             ++entries;
                           });
    if (rc != ERROR_SUCCESS) return rc;
  }
  out.entries = entries;
  out.digest = hash.h;
  return ERROR_SUCCESS;
}

LONG SummarizeRegItem(HKEY root, const std::wstring& path, const std::wstring& valueName,
                      RegView view, RegSummary& out) {
  out = RegSummary();
  if (valueName.empty()) {
    RegTree tree;
    LONG rc = tree.Open(root, path, view, KEY_READ);
    return rc == ERROR_SUCCESS ? SummarizeTree(tree, out) : rc;
  }
  HKEY key = nullptr;
  LONG rc = OpenKeyInView(root, path, KEY_QUERY_VALUE, view, &key);
  if (rc != ERROR_SUCCESS) return rc;
  DWORD type = 0;
  std::vector<BYTE> data;
  rc = ReadRegValue(key, valueName, type, data);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) return rc;
  out = SummarizeValue(valueName, type, data);
  return ERROR_SUCCESS;
}

}  // namespace sys
