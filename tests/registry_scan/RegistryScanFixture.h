// The registry scanners on the hermetic registry and sandbox folders: a context with a
// stop flag, the status lines and the findings as "root|key|value name|data|image".
#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "catalogue/ResultModel.h"
#include "catalogue/ScanContext.h"
#include "registry_scan/FindInvalidRegistry.h"
#include "tests/support/FakeSystem.h"
#include "tests/support/ResultLines.h"
#include "tests/support/Sandbox.h"

namespace testsupport {

using Names = std::vector<std::wstring>;

inline Names Sorted(Names v) {
  std::sort(v.begin(), v.end());
  return v;
}

// A drive letter this machine has not ("Q:"); empty when it has them all.
inline std::wstring AbsentDrive() {
  const DWORD present = GetLogicalDrives();
  for (wchar_t letter = L'Y'; letter >= L'D'; --letter)
    if (!(present & (1u << (letter - L'A')))) return std::wstring(1, letter) + L":";
  return L"";
}

class RegistryScanTest : public SandboxTest {
 protected:
  RegistryScanTest()
      : folders(SandboxSystemFolders(sandbox)),
        os(FakeSystem(6, 1)),
        ctx{results, folders, os, [this] { return stop; }, [this] { ++pumps; },
            [this](const std::wstring& s) { statuses.push_back(s); }} {}

  static std::wstring Finding(const std::wstring& root, const std::wstring& key,
                              const std::wstring& valueName, const std::wstring& data, int image) {
    return root + L"|" + key + L"|" + valueName + L"|" + data + L"|" + std::to_wstring(image);
  }
  std::vector<std::wstring> Findings() const {
    std::vector<std::wstring> lines;
    for (const model::TreeNode* n = results.Tree().FirstTopLevel(); n; n = n->NextSibling()) {
      const catalogue::ResultItem* r = n->DataAs<catalogue::ResultItem>();
      lines.push_back(
          Finding(r->Text, r->Location, r->Detail, testsupport::KindField(*r), r->ImageIndex));
    }
    return lines;
  }
  // The key paths of the findings, sorted.
  std::vector<std::wstring> Keys() const {
    std::vector<std::wstring> keys;
    for (const model::TreeNode* n = results.Tree().FirstTopLevel(); n; n = n->NextSibling())
      keys.push_back(n->DataAs<catalogue::ResultItem>()->Location);
    std::sort(keys.begin(), keys.end());
    return keys;
  }
  // The value names of the findings, sorted.
  std::vector<std::wstring> ValueNames() const {
    std::vector<std::wstring> names;
    for (const model::TreeNode* n = results.Tree().FirstTopLevel(); n; n = n->NextSibling())
      names.push_back(n->DataAs<catalogue::ResultItem>()->Detail);
    std::sort(names.begin(), names.end());
    return names;
  }
  std::vector<std::wstring> DescriptionRows() const {
    std::vector<std::wstring> rows;
    for (const model::TreeNode* n = results.Tree().FirstTopLevel(); n; n = n->NextSibling())
      for (const model::TreeNode* c = n->FirstChild(); c; c = c->NextSibling()) {
        const catalogue::ResultItem* r = c->DataAs<catalogue::ResultItem>();
        if (r->Text == L"说明") rows.push_back(r->Location);
      }
    return rows;
  }
  void Reset() {
    results.Clear();
    statuses.clear();
    pumps = 0;
  }

  catalogue::ResultModel results;
  machine::Folders folders;
  machine::TTarnOSInfo os;
  bool stop = false;
  int pumps = 0;
  std::vector<std::wstring> statuses;
  catalogue::ScanContext ctx;
};

}  // namespace testsupport
