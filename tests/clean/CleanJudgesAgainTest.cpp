// What changed between the scan and the clean is left alone: the clean judges every
// registry finding again by the scanner's own rule and compares it with what the scan saw,
// in the advanced clean and in the one-key clean alike.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "catalogue/TraceOption.h"
#include "clean/CleanTraces.h"
#include "registry_scan/FindInvalidRegistry.h"
#include "sys/Registry.h"
#include "sys/Thread.h"
#include "tests/support/FakeCleanWindow.h"
#include "tests/support/FakeSystem.h"
#include "tests/support/Sandbox.h"

using namespace testsupport;

namespace {

const std::wstring kCv = L"Software\\Microsoft\\Windows\\CurrentVersion\\";

class CleanJudgesAgainTest : public SandboxTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    sys::InitMainThread();
    folders = SandboxSystemFolders(sandbox);
    catalogue::BuildOptionTree(options, os, nullptr);
    catalogue::SetAllOptions(options, false);
    executor.reset(new clean::CleanExecutor(state, results, options, folders, os, window,
                                            sandbox / L"Halvane.set"));
  }
  void Scan() {
    catalogue::ScanContext ctx{results, folders, os, [] { return false; }, [] {},
                               [](const std::wstring&) {}};
    registry_scan::ScanSharedDlls(ctx);
    registry_scan::ScanSoftwareKeys(ctx);
    registry_scan::ScanUninstallEntries(ctx);
    registry_scan::ScanHelpFiles(ctx);
    registry_scan::ScanFileClasses(ctx);
  }
  bool Said(const std::wstring& text) const {
    return std::find(window.statuses.begin(), window.statuses.end(), text) != window.statuses.end();
  }
  bool ValueExists(const std::wstring& key, const std::wstring& name) const {
    sys::RegKey k;
    return k.OpenRead(HKEY_LOCAL_MACHINE, key) == ERROR_SUCCESS && k.ValueExists(name);
  }

  machine::Folders folders;
  machine::TTarnOSInfo os = FakeSystem(6, 1);
  model::TreeModel options;
  catalogue::ResultModel results;
  catalogue::ScanState state;
  FakeCleanWindow window;
  std::unique_ptr<clean::CleanExecutor> executor;
};

}  // namespace

TEST_P(CleanJudgesAgainTest, WhatChangedSinceTheScanIsLeftAndTheRestCleaned) {
  const std::wstring gone = sandbox / L"gone", shared = kCv + L"SharedDlls";
  const std::wstring help = L"Software\\Microsoft\\Windows\\Help";
  const std::wstring entry = kCv + L"Uninstall\\Tool", cls = L"Software\\CLASSES\\solo";
  SetRegDword(HKEY_LOCAL_MACHINE, shared, gone + L"\\counted.dll", 1);
  SetRegDword(HKEY_LOCAL_MACHINE, shared, gone + L"\\still.dll", 1);
  SetRegString(HKEY_LOCAL_MACHINE, entry, L"DisplayName", L"Tool");
  SetRegString(HKEY_LOCAL_MACHINE, entry, L"UninstallString", gone + L"\\uninst.exe");
  SetRegString(HKEY_LOCAL_MACHINE, entry, L"DisplayIcon", gone + L"\\tool.exe,0");
  SetRegString(HKEY_LOCAL_MACHINE, help, L"back.chm", gone);
  CreateRegKey(HKEY_CURRENT_USER, L"Software\\EmptyVendor");
  SetRegString(HKEY_LOCAL_MACHINE, cls + L"\\Shell\\open\\Command", L"",
               L"\"" + gone + L"\\app.exe\" \"%1\"");
  Scan();
  ASSERT_EQ(6, results.ItemCount());

  // After the scan: a count and its file, a re-pointed entry, a help file put back (the
  // registry as it was), settings in the vendor key, 200 sub-keys under the class.
  SetRegDword(HKEY_LOCAL_MACHINE, shared, gone + L"\\counted.dll", 5);
  sandbox.file(L"gone\\counted.dll");
  const std::wstring program = sandbox.file(L"Tool\\tool.exe");
  SetRegString(HKEY_LOCAL_MACHINE, entry, L"UninstallString", program + L" /uninstall");
  SetRegString(HKEY_LOCAL_MACHINE, entry, L"DisplayIcon", program);
  sandbox.file(L"gone\\back.chm");
  SetRegString(HKEY_CURRENT_USER, L"Software\\EmptyVendor", L"Setting", L"1");
  for (int i = 0; i < 200; ++i) CreateRegKey(HKEY_LOCAL_MACHINE, cls + L"\\k" + std::to_wstring(i));

  state.oneKey = GetParam();
  executor->Run(!state.oneKey);

  EXPECT_FALSE(ValueExists(shared, gone + L"\\still.dll"));
  EXPECT_TRUE(ValueExists(shared, gone + L"\\counted.dll"));
  EXPECT_TRUE(ValueExists(help, L"back.chm"));
  EXPECT_TRUE(sys::RegKeyExists(HKEY_LOCAL_MACHINE, entry));
  EXPECT_TRUE(sys::RegKeyExists(HKEY_CURRENT_USER, L"Software\\EmptyVendor"));
  EXPECT_TRUE(sys::RegKeyExists(HKEY_LOCAL_MACHINE, cls + L"\\Shell\\open\\Command"));
  EXPECT_TRUE(Said(L"删除: HKEY_LOCAL_MACHINE\\" + shared + L"\\" + gone + L"\\still.dll:"));
  EXPECT_TRUE(Said(L"已变化，未删除: HKEY_LOCAL_MACHINE\\" + entry + L"\\:Tool"));
  EXPECT_TRUE(Said(L"已变化，未删除: HKEY_CURRENT_USER\\Software\\EmptyVendor\\:"));
  // Not cleaned, not counted, still listed.
  EXPECT_EQ(5, executor->FailedCount());
  EXPECT_EQ(5, results.ItemCount());
}

INSTANTIATE_TEST_SUITE_P(AdvancedAndOneKey, CleanJudgesAgainTest, ::testing::Bool());
