// The fixtures every other test relies on: redirected registry roots, sandbox folders,
// and the code page the program expects.
#include "tests/support/Sandbox.h"

#include "sys/Text.h"

using namespace testsupport;

TEST(Environment, RunsWithChineseCodePage) { EXPECT_EQ(936u, GetACP()); }

TEST(HermeticRegistryTest, RootsAreRedirectedAndRestored) {
  {
    HermeticRegistry reg;
    HKEY k = nullptr;
    // Each redirected root starts empty.
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft", 0,
                                           KEY_READ, &k));
    SetRegString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\VelmoraProbe", L"v", L"1");
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\VelmoraProbe", 0, KEY_READ, &k));
    RegCloseKey(k);
  }
  HKEY k = nullptr;
  EXPECT_NE(ERROR_SUCCESS,
            RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\VelmoraProbe", 0, KEY_READ, &k));
  ASSERT_EQ(ERROR_SUCCESS,
            RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft", 0, KEY_READ, &k));
  RegCloseKey(k);
}

TEST(SandboxFolderTest, FilesWithChineseNamesAndCleanup) {
  std::wstring where;
  {
    SandboxFolder box;
    where = box.path();
    std::wstring f = box.file(L"子目录\\文件.txt", "abc");
    EXPECT_TRUE(FileExistsW(f));
  }
  EXPECT_FALSE(FileExistsW(where));
}
