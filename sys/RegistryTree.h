// A registry key with every key below it, each opened through its parent's handle: no full
// path is ever built, so neither depth nor path length sets a limit (Windows refuses a path
// over 32,767 characters, which relative handles reach easily). The tree keeps its handles
// open, so that what is read and what is deleted are the same keys.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "sys/Views.h"

namespace sys {

// The call the tree opens keys below the top with; tests replace it where Wine differs from
// Windows (Wine grants DELETE on every key, whatever its security says).
struct RegTreeApi {
  std::function<LONG(HKEY parent, const std::wstring& name, REGSAM access, HKEY* key)> openSubKey;
};
RegTreeApi& RegTreeCalls();

// Restores RegTreeCalls() on destruction; change it in between.
class ScopedRegTreeApi {
 public:
  ScopedRegTreeApi() : saved_(RegTreeCalls()) {}
  ~ScopedRegTreeApi() { RegTreeCalls() = saved_; }
  ScopedRegTreeApi(const ScopedRegTreeApi&) = delete;
  ScopedRegTreeApi& operator=(const ScopedRegTreeApi&) = delete;

 private:
  RegTreeApi saved_;
};

// Calls `visit` with each value of an open key, in the registry's order: its name (which
// may hold any character, NUL too), type and data. ERROR_SUCCESS when every value the key
// counts was read; otherwise the error (ERROR_INVALID_DATA when the count did not match).
LONG ForEachValue(HKEY key, const std::function<void(const std::wstring& name, DWORD type,
                                                     const std::vector<BYTE>& data)>& visit);

// Reads one value of an open key whole, however large (it may grow meanwhile).
LONG ReadRegValue(HKEY key, const std::wstring& name, DWORD& type, std::vector<BYTE>& data);

class RegTree {
 public:
  struct Key {
    std::wstring name;  // empty for the top
    int parent = -1;    // index of the parent; -1 for the top
    HKEY handle = nullptr;
    DWORD subKeys = 0, values = 0;
    FILETIME written{};  // last write time when opened
  };

  RegTree() = default;
  ~RegTree() { Close(); }
  RegTree(const RegTree&) = delete;
  RegTree& operator=(const RegTree&) = delete;

  // Opens the top and every key below it with `access`, parents before their children.
  // ERROR_SUCCESS when every key opened; otherwise the first error (ERROR_INVALID_NAME for
  // a name with a NUL, which no call can open by name), with FailedPath() naming the key,
  // and nothing is left open.
  LONG Open(HKEY root, const std::wstring& path, RegView view, REGSAM access);
  void Close();
  const std::vector<Key>& Keys() const { return keys_; }
  // The path of a key below the top ("a\b"); empty for the top.
  std::wstring PathOf(size_t index) const;
  // Below the top, where Open stopped; empty when the top itself failed.
  const std::wstring& FailedPath() const { return failed_; }
  // No key was written to, and none gained or lost a sub-key or value, since Open.
  bool Unchanged() const;
  // Deletes every key, each before its parent; stops at the first failure.
  LONG DeleteAll();

 private:
  std::vector<Key> keys_;
  std::wstring failed_;
};

// What a key with everything below it, or one value, holds, in short: how many keys and
// values, and a 64-bit hash of their names, types and data in the registry's order. Two
// readings agree when nothing changed in between (as far as such a hash tells).
struct RegSummary {
  DWORD entries = 0;
  unsigned long long digest = 0;
  bool operator==(const RegSummary& o) const { return entries == o.entries && digest == o.digest; }
  bool operator!=(const RegSummary& o) const { return !(*this == o); }
};
// `valueName` empty: the key `path` and everything below it; else that one value. A key
// or value that is not there has entries 0 and ERROR_FILE_NOT_FOUND.
LONG SummarizeRegItem(HKEY root, const std::wstring& path, const std::wstring& valueName,
                      RegView view, RegSummary& out);
// The same of an open tree, and of one value as read.
LONG SummarizeTree(const RegTree& tree, RegSummary& out);
RegSummary SummarizeValue(const std::wstring& name, DWORD type, const std::vector<BYTE>& data);

}  // namespace sys
