// DLLs loaded by full path only, system DLLs from the system folder, and a library of
// another folder that does not get its imports from that folder.
#include <windows.h>

#include <gtest/gtest.h>

#include "sys/FileUtils.h"
#include "sys/SystemLibrary.h"
#include "sys/Text.h"
#include "tests/support/Sandbox.h"

class SystemLibraryTest : public testsupport::SandboxTest {};

TEST_F(SystemLibraryTest, OnlyFullPathsAreLoadedAndSystemDllsOnce) {
  SetLastError(0);
  EXPECT_EQ(nullptr, sys::LoadLibraryByPath(L"version.dll"));
  EXPECT_EQ(DWORD(ERROR_INVALID_PARAMETER), GetLastError());
  EXPECT_EQ(nullptr, sys::LoadLibraryByPath(L".\\version.dll"));

  HMODULE version = sys::SystemLibrary(L"version.dll");
  ASSERT_NE(nullptr, version);
  EXPECT_EQ(version, sys::SystemLibrary(L"VERSION.DLL"));
  EXPECT_EQ(sys::LowerCase(sys::SystemDllPath(L"version.dll")),
            sys::LowerCase(sys::ModuleFileName(version)));
  EXPECT_NE(nullptr, sys::SystemProc(L"version.dll", "VerQueryValueW"));
  EXPECT_EQ(nullptr, sys::SystemProc(L"version.dll", "NoSuchExport"));
  EXPECT_EQ(nullptr, sys::SystemLibrary(L"no-such-library.dll"));
}

TEST_F(SystemLibraryTest, ALibraryOfAnotherFolderGetsNoImportFromThatFolder) {
  // plantuser.dll imports plantdep.dll; both are put into a folder of their own, as a
  // downloads folder would hold the program's library beside a planted one.
  const std::wstring from = sys::ProgramFolderPath(L"");
  for (const wchar_t* name : {L"plantuser.dll", L"plantdep.dll"})
    ASSERT_TRUE(CopyFileW((from + name).c_str(), (sandbox / name).c_str(), FALSE)) << GetLastError();
  const std::wstring user = sandbox / L"plantuser.dll";

  // The copy beside it is what the plain search order would take.
  HMODULE plain = LoadLibraryExW(user.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  ASSERT_NE(nullptr, plain) << GetLastError();
  FreeLibrary(plain);

  if (sys::RestrictDllSearch() != sys::DllSearch::SystemFolderOnly)
    GTEST_SKIP() << "this system looks for imports beside a library; the program loads them first";
  EXPECT_EQ(nullptr, sys::LoadLibraryByPath(user)) << "plantdep.dll was taken from beside it";
}
