// The result tree as text for comparisons in tests.
#pragma once
#include <string>
#include <vector>

#include "catalogue/ResultModel.h"

namespace testsupport {

// The kind column of a listing: the kind's text, or a registry item's value data.
inline std::wstring KindField(const catalogue::ResultItem& r) {
  return r.IsRegistryItem() ? r.ValueData : catalogue::KindText(r.Kind);
}

// Each top-level item as "Text|Location|Detail|Kind|Image", then " / label=value@image"
// for each line below it.
inline std::vector<std::wstring> ResultLines(const catalogue::ResultModel& results) {
  std::vector<std::wstring> out;
  for (const model::TreeNode* n = results.Tree().FirstTopLevel(); n; n = n->NextSibling()) {
    const catalogue::ResultItem* r = n->DataAs<catalogue::ResultItem>();
    std::wstring line = r->Text + L"|" + r->Location + L"|" + r->Detail + L"|" + KindField(*r) +
                        L"|" + std::to_wstring(r->ImageIndex);
    for (const model::TreeNode* c = n->FirstChild(); c; c = c->NextSibling()) {
      const catalogue::ResultItem* d = c->DataAs<catalogue::ResultItem>();
      line += L" / " + d->Text + L"=" + d->Location + L"@" + std::to_wstring(d->ImageIndex);
    }
    out.push_back(line);
  }
  return out;
}

}  // namespace testsupport
