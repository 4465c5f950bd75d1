// Folder walks, deletion, locking and version resources on real files in a sandbox.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "sys/FileSearch.h"
#include "sys/FileUtils.h"
#include "sys/FileVersion.h"
#include "machine/Folders.h"
#include "tests/support/Sandbox.h"

using namespace machine;
using namespace sys;
using testsupport::SandboxTest;

namespace {

class FolderScope {  // points AppFolders() at sandbox paths for one test
 public:
  FolderScope() : saved_(AppFolders()) {}
  ~FolderScope() { AppFolders() = saved_; }

 private:
  Folders saved_;
};

}  // namespace

class FileUtilsTest : public SandboxTest {};

TEST_F(FileUtilsTest, ListSubfoldersGivesDirectChildrenBeforeTheirChildren) {
  sandbox.dir(L"root\\b\\b1");
  sandbox.dir(L"root\\a\\a1\\a11");
  sandbox.dir(L"root\\a\\a2");
  sandbox.dir(L"root\\.hidden\\x");
  sandbox.dir(L"root\\中文");
  sandbox.file(L"root\\file.txt");
  std::vector<std::wstring> list;
  ListSubfolders(sandbox / L"root\\\\", list);  // doubled and trailing backslashes too
  std::wstring r = sandbox / L"root\\";
  std::vector<std::wstring> level1(list.begin(), list.begin() + 3);
  std::sort(level1.begin(), level1.end());
  EXPECT_EQ((std::vector<std::wstring>{r + L"a", r + L"b", r + L"中文"}), level1);
  ASSERT_EQ(7u, list.size());
  // Every folder appears after its parent, and a's children before a1's child.
  auto pos = [&](const std::wstring& p) { return std::find(list.begin(), list.end(), p) - list.begin(); };
  EXPECT_LT(pos(r + L"a"), pos(r + L"a\\a1"));
  EXPECT_LT(pos(r + L"a\\a2"), pos(r + L"a\\a1\\a11"));
  EXPECT_LT(pos(r + L"b"), pos(r + L"b\\b1"));
  list.clear();
  ListSubfolders(L"", list);
  EXPECT_TRUE(list.empty());
}

TEST_F(FileUtilsTest, WalksAndDeletionNeverGoThroughLinks) {
  std::wstring docs = sandbox.dir(L"docs");
  std::wstring precious = sandbox.file(L"docs\\precious.doc", "keep me");
  sandbox.dir(L"docs\\inner");
  std::wstring temp = sandbox.dir(L"temp");
  ASSERT_TRUE(testsupport::MakeFolderLink(temp + L"\\link", docs)) << "symbolic links unavailable";
  DWORD a = FileAttributes(temp + L"\\link");
  ASSERT_NE(INVALID_FILE_ATTRIBUTES, a);
  EXPECT_TRUE(a & FILE_ATTRIBUTE_REPARSE_POINT);

  std::vector<std::wstring> list;
  ListSubfolders(temp, list);
  EXPECT_TRUE(list.empty()) << "listed " << list.size();
  ListSubfolders(temp + L"\\link", list);  // nor from a link as the start
  EXPECT_TRUE(list.empty()) << "listed " << list.size();

  EmptyFolderFiles(temp + L"\\link");
  EmptyFolderFiles(temp + L"\\link\\");
  EXPECT_TRUE(testsupport::FileExistsW(precious));
}

TEST_F(FileUtilsTest, EmptyFolderFilesDeletesFilesOnly) {
  std::wstring f = sandbox.dir(L"f");
  std::wstring plain = sandbox.file(L"f\\a.tmp");
  std::wstring ro = sandbox.file(L"f\\readonly.tmp");
  SetFileAttributesW(ro.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  std::wstring nested = sandbox.file(L"f\\sub\\keep.tmp");
  EmptyFolderFiles(f + L"\\");
  EXPECT_FALSE(testsupport::FileExistsW(plain));
  EXPECT_FALSE(testsupport::FileExistsW(ro));
  EXPECT_TRUE(testsupport::FileExistsW(nested));
  EXPECT_TRUE(DirectoryExists(f + L"\\sub"));
  // Short texts and missing folders do nothing.
  EmptyFolderFiles(L"\\");
  EmptyFolderFiles(sandbox / L"missing");
}

TEST_F(FileUtilsTest, IsFileLockedCases) {
  const std::wstring temp = sandbox / L"tmp\\";
  std::wstring free = sandbox.file(L"free.txt");
  std::wstring held = sandbox.file(L"held.txt");
  std::wstring ro = sandbox.file(L"ro.txt");
  SetFileAttributesW(ro.c_str(), FILE_ATTRIBUTE_READONLY);
  std::wstring tempTyped = sandbox.file(L"tmp\\held.txt");
  std::wstring tempUntyped = sandbox.file(L"tmp\\held");

  auto hold = [](const std::wstring& p) {
    return CreateFileW(p.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  };
  HANDLE h1 = hold(held), h2 = hold(tempTyped), h3 = hold(tempUntyped);
  ASSERT_NE(INVALID_HANDLE_VALUE, h1);

  EXPECT_FALSE(IsFileLocked(free, temp));
  EXPECT_FALSE(IsFileLocked(sandbox / L"missing.txt", temp));
  EXPECT_TRUE(IsFileLocked(held, temp));
  EXPECT_TRUE(IsFileLocked(ro, temp));
  // In the temporary folder only a file with a shell type name stays locked.
  ASSERT_FALSE(GetFileTypeName(tempTyped).empty());
  EXPECT_TRUE(IsFileLocked(tempTyped, temp));
  // Whether a name without extension has a type name depends on the shell.
  EXPECT_EQ(!GetFileTypeName(tempUntyped).empty(), IsFileLocked(tempUntyped, temp));
  // With the attributes of a listing the answers are the same, also for a file gone since.
  for (const std::wstring& p : {free, held, ro, tempTyped, tempUntyped})
    EXPECT_EQ(IsFileLocked(p, temp), IsFileLocked(p, GetFileAttributesW(p.c_str()), temp)) << p;
  EXPECT_FALSE(IsFileLocked(sandbox / L"missing.txt", FILE_ATTRIBUTE_NORMAL, temp));
  CloseHandle(h1);
  CloseHandle(h2);
  CloseHandle(h3);
  EXPECT_FALSE(IsFileLocked(held, temp));
}

TEST_F(FileUtilsTest, LongPathExpandsShortNames) {
  std::wstring longFile = sandbox.file(L"A Long Folder Name\\Some Long File Name.text");
  wchar_t shortBuf[MAX_PATH];
  DWORD n = GetShortPathNameW(longFile.c_str(), shortBuf, MAX_PATH);
  ASSERT_GT(n, 0u);
  std::wstring shortPath(shortBuf, n);
  std::wstring expanded = GetLongPath(shortPath);
  EXPECT_EQ(0, lstrcmpiW(longFile.c_str(), expanded.c_str())) << shortPath;
  EXPECT_EQ(L"", GetLongPath(L""));
}

TEST(FileVersionTest, ReadsFixedInformationAndStringTable) {
  wchar_t sysdir[MAX_PATH];
  GetSystemDirectoryW(sysdir, MAX_PATH);
  std::wstring kernel = std::wstring(sysdir) + L"\\kernel32.dll";
  std::wstring fixed = GetFileVersionText(kernel);
  ASSERT_FALSE(fixed.empty());
  EXPECT_EQ(3, std::count(fixed.begin(), fixed.end(), L'.')) << fixed;
  EXPECT_FALSE(GetVersionInfoString(kernel, L"FileVersion").empty());
  EXPECT_FALSE(GetVersionInfoString(kernel, L"CompanyName").empty());
  EXPECT_EQ(L"", GetVersionInfoString(L"", L"FileVersion"));
  EXPECT_EQ(L"", GetFileVersionText(std::wstring(sysdir) + L"\\no-such-file.dll"));
}

TEST(FileVersionTest, FixedInformationWithoutStringTable) {
  // verfixed.dll is built beside the tests with a VERSIONINFO that has no string table.
  std::wstring dll = ModuleFileName();
  dll = dll.substr(0, dll.find_last_of(L'\\')) + L"\\verfixed.dll";
  ASSERT_TRUE(FileExists(dll));
  EXPECT_EQ(L"1.2.3.4", GetFileVersionText(dll));
  EXPECT_EQ(L"1.2.3.4", GetVersionInfoString(dll, L"FileVersion"));
  EXPECT_EQ(L"", GetVersionInfoString(dll, L"CompanyName"));
}

TEST(SpecialFolderTest, InvalidOwnerGivesEmptyAndProfileIsKnown) {
  EXPECT_EQ(L"", GetSpecialFolder(reinterpret_cast<HWND>(INVALID_HANDLE_VALUE), 0x28));
  EXPECT_FALSE(GetSpecialFolder(GetDesktopWindow(), 0x28).empty());
  Folders f = Folders::FromSystem(GetDesktopWindow());
  EXPECT_FALSE(f.windows.empty());
  EXPECT_FALSE(f.temp.empty());
  EXPECT_FALSE(f.Profile().empty());
}
