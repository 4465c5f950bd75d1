// The path of the running program and of a loaded module, however deep its folder.
#include <windows.h>

#include <gtest/gtest.h>

#include "machine/Folders.h"
#include "sys/Text.h"
#include "tests/support/Sandbox.h"
#include "sys/FileUtils.h"

class ModuleFileNameTest : public testsupport::SandboxTest {};

TEST_F(ModuleFileNameTest, APathLongerThanMaxPathComesWhole) {
  std::wstring self = sys::ModuleFileName();
  ASSERT_TRUE(sys::EndsWith(sys::LowerCase(self), L"\\test_sys.exe")) << sys::ToUtf8(self);

  std::wstring deep = testsupport::MakeDeepFolder(sandbox, 300);
  std::wstring dll = deep + L"\\verfixed.dll";
  std::wstring source = self.substr(0, self.find_last_of(L'\\')) + L"\\verfixed.dll";
  ASSERT_TRUE(CopyFileW(source.c_str(), dll.c_str(), FALSE));
  HMODULE module = LoadLibraryW(dll.c_str());
  ASSERT_NE(nullptr, module) << GetLastError();
  std::wstring got = sys::ModuleFileName(module);
  wchar_t fixed[MAX_PATH];
  DWORD cut = GetModuleFileNameW(module, fixed, MAX_PATH);
  FreeLibrary(module);
  // The case is real: a buffer of MAX_PATH characters holds only a part of the path.
  EXPECT_EQ(DWORD(MAX_PATH), cut);
  EXPECT_GT(got.size(), size_t(300));
  std::wstring plain = deep.substr(4) + L"\\verfixed.dll";  // without "\\?\"
  EXPECT_TRUE(sys::EndsWith(sys::LowerCase(got), sys::LowerCase(plain))) << sys::ToUtf8(got);
  testsupport::RemoveTree(deep.substr(0, deep.find(L'\\', sandbox.path().size() + 5)));
}
