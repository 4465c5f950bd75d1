// What a scanner is handed in a test: a result model, folders, a system record and a
// ScanContext whose window is replaced by counters.
#pragma once
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "catalogue/ResultModel.h"
#include "catalogue/ScanContext.h"
#include "machine/Folders.h"
#include "machine/TarnGetOSInfo.h"
#include "tests/support/FakeSystem.h"
#include "tests/support/ResultLines.h"

namespace testsupport {

// One system record for every test (its constructor is slow); each test changes a copy.
inline const machine::TTarnOSInfo& PrototypeOS() {
  static const machine::TTarnOSInfo os = FakeSystem(6, 1);
  return os;
}

struct ScanHarness {
  catalogue::ResultModel results;
  machine::Folders folders;
  machine::TTarnOSInfo os = PrototypeOS();
  bool stop = false;
  int pumps = 0;
  std::function<void()> onPump;
  std::vector<std::wstring> statuses;
  catalogue::ScanContext ctx{results,
                             folders,
                             os,
                             [this] { return stop; },
                             [this] {
                               ++pumps;
                               if (onPump) onPump();
                             },
                             [this](const std::wstring& s) { statuses.push_back(s); }};

  std::vector<std::wstring> Items() const { return ResultLines(results); }
  std::vector<std::wstring> SortedItems() const {
    std::vector<std::wstring> v = Items();
    std::sort(v.begin(), v.end());
    return v;
  }
};

}  // namespace testsupport
