// The two views of a 64-bit Windows, modelled through the seams, and the exact form of
// paths, on real files.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "sys/FileSearch.h"
#include "sys/FileUtils.h"
#include "sys/Registry.h"
#include "sys/Views.h"
#include "tests/support/Sandbox.h"

using namespace sys;

namespace {

// A 32-bit program on 64-bit Windows: `own` are the paths its redirected view shows,
// `native` those seen with redirection off.
struct FakeFileViews {
  std::set<std::wstring> own, native;
  bool canDisable = true;
  bool off = false;
  int asked = 0;
  void Install() {
    FileViews().disableRedirection = [this](void**) { return canDisable && (off = true); };
    FileViews().revertRedirection = [this](void*) { off = false; };
    FileViews().attributes = [this](const std::wstring& p) -> DWORD {
      ++asked;
      return (off ? native : own).count(p) ? FILE_ATTRIBUTE_ARCHIVE : INVALID_FILE_ATTRIBUTES;
    };
  }
};

TEST(ViewsTest, APathIsMissingOnlyWhenMissingInBothFileSystemViews) {
  ScopedViewApis keep;
  const std::wstring p = L"C:\\Windows\\System32\\only64.exe";
  struct Case {
    bool own, native, canDisable, exists;
  } cases[] = {
      {true, false, true, true},    // the redirected view has it
      {false, true, true, true},    // only the 64-bit system folder has it: kept
      {false, false, true, false},  // missing in both: the finding stands
      {false, true, false, false},  // no WoW64: the one view decides
  };
  for (const Case& c : cases) {
    FakeFileViews fake;
    if (c.own) fake.own.insert(p);
    if (c.native) fake.native.insert(p);
    fake.canDisable = c.canDisable;
    fake.Install();
    EXPECT_EQ(c.exists, ExistsInAnyView(p)) << c.own << c.native << c.canDisable;
    EXPECT_FALSE(fake.off) << "redirection is switched back on";
  }
  EXPECT_FALSE(ExistsInAnyView(L""));
}

TEST(ViewsTest, AbsenceIsProvenOnlyOnAPresentFixedDiskByNotFoundInBothViews) {
  ScopedViewApis keep;
  std::map<wchar_t, UINT> types = {{L'C', DRIVE_FIXED},     {L'D', DRIVE_FIXED},
                                   {L'E', DRIVE_REMOVABLE}, {L'F', DRIVE_CDROM},
                                   {L'G', DRIVE_REMOTE},    {L'H', DRIVE_UNKNOWN},
                                   {L'I', DRIVE_RAMDISK}};
  int asked = 0;
  Drives().type = [&](const std::wstring& root) -> UINT {
    ++asked;
    auto it = types.find(root[0]);
    return it == types.end() ? UINT(DRIVE_NO_ROOT_DIR) : it->second;
  };
  Drives().ready = [](const std::wstring& root) { return root[0] != L'D'; };
  ForgetDrives();
  // The error each view gives (0: the path is there).
  DWORD own = 0, native = 0;
  bool canDisable = true, off = false;
  FileViews().disableRedirection = [&](void**) { return canDisable && (off = true); };
  FileViews().revertRedirection = [&](void*) { off = false; };
  FileViews().attributes = [&](const std::wstring&) -> DWORD {
    const DWORD error = off ? native : own;
    SetLastError(error);
    return error ? INVALID_FILE_ATTRIBUTES : FILE_ATTRIBUTE_ARCHIVE;
  };
  const DWORD kFile = ERROR_FILE_NOT_FOUND, kPath = ERROR_PATH_NOT_FOUND;
  struct Case {
    const wchar_t* path;
    DWORD own, native;
    bool canDisable, proven;
  } cases[] = {
      {L"C:\\gone\\x.dll", kFile, kFile, true, true},
      {L"c:/gone/x.dll", kPath, kFile, true, true},
      {L"\\\\?\\C:\\gone\\x.dll", kPath, kPath, true, true},
      {L"C:\\gone\\x.dll", kFile, 0, true, false},  // only the 64-bit view has it
      {L"C:\\gone\\x.dll", kFile, 0, false, true},  // 32-bit Windows: one view
      {L"C:\\gone\\x.dll", ERROR_ACCESS_DENIED, kFile, true, false},
      {L"C:\\gone\\x.dll", kFile, ERROR_NOT_READY, true, false},
      {L"C:\\bad|name", ERROR_INVALID_NAME, ERROR_INVALID_NAME, true, false},
      {L"D:\\gone\\x.dll", kFile, kFile, true, false},  // fixed, not ready
      {L"E:\\gone\\x.dll", kFile, kFile, true, false},  // removable
      {L"F:\\gone\\x.dll", kFile, kFile, true, false},
      {L"G:\\gone\\x.dll", kFile, kFile, true, false},
      {L"H:\\gone\\x.dll", kFile, kFile, true, false},
      {L"I:\\gone\\x.dll", kFile, kFile, true, false},
      {L"Q:\\gone\\x.dll", kFile, kFile, true, false},  // no such drive
      {L"\\\\server\\share\\x.dll", kFile, kFile, true, false},
      {L"x.dll", kFile, kFile, true, false},
      {L"C:x.dll", kFile, kFile, true, false},
      {L"", kFile, kFile, true, false},
  };
  for (const Case& c : cases) {
    own = c.own;
    native = c.native;
    canDisable = c.canDisable;
    EXPECT_EQ(c.proven, ProvenMissing(c.path)) << c.path << " " << c.own << " " << c.native;
    EXPECT_FALSE(off) << "redirection is switched back on";
  }
  // Each drive is asked once, however many paths lie on it.
  const int drives = asked;
  own = native = kFile;
  for (int i = 0; i < 1000; ++i) ProvenMissing(L"C:\\gone\\" + std::to_wstring(i));
  EXPECT_EQ(drives, asked);
  EXPECT_LE(drives, 12);
  // A disk plugged in is seen once what was learnt is forgotten.
  types[L'E'] = DRIVE_FIXED;
  ForgetDrives();
  EXPECT_TRUE(ProvenMissing(L"E:\\gone\\x.dll"));
}

TEST(ViewsTest, OnThisMachineAbsenceIsProvenInTheSandboxAndNotOnAnAbsentDrive) {
  testsupport::SandboxFolder sandbox;
  EXPECT_TRUE(ProvenMissing(sandbox / L"gone\\x.dll"));
  EXPECT_TRUE(ProvenMissing(sandbox / L"gone.dll"));
  EXPECT_FALSE(ProvenMissing(sandbox.file(L"here.dll")));
  EXPECT_FALSE(ProvenMissing(sandbox.path()));
  const DWORD present = GetLogicalDrives();
  for (wchar_t letter = L'Z'; letter >= L'D'; --letter)
    if (!(present & (1u << (letter - L'A')))) {
      EXPECT_FALSE(ProvenMissing(std::wstring(1, letter) + L":\\gone\\x.dll")) << letter;
      break;
    }
}

TEST(ViewsTest, ExactPathKeepsEveryNameAsWrittenAndFoldsWhatWin32Folds) {
  const struct {
    const wchar_t* in;
    const wchar_t* out;
  } cases[] = {
      {L"C:\\a\\docs.", L"\\\\?\\C:\\a\\docs."},
      {L"C:\\a\\stuff \\f.tmp", L"\\\\?\\C:\\a\\stuff \\f.tmp"},
      {L"C:/a//b\\.\\c\\..\\d\\", L"\\\\?\\C:\\a\\b\\d\\"},
      {L"c:\\", L"\\\\?\\c:\\"},
      {L"\\\\server\\share\\x", L"\\\\?\\UNC\\server\\share\\x"},
      {L"\\\\?\\C:\\x.", L"\\\\?\\C:\\x."},
      {L"relative\\x.", L"relative\\x."},
      {L"C:x", L"C:x"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.out, ExactPath(c.in)) << c.in;
}

TEST(ViewsTest, PlainNamesAreThoseWin32PassesUnchanged) {
  for (const wchar_t* plain : {L"a.txt", L"docs", L"con1", L"nul_x", L"com10", L".hidden"})
    EXPECT_TRUE(IsPlainWin32Name(plain)) << plain;
  for (const wchar_t* odd : {L"docs.", L"stuff ", L"con", L"NUL.txt", L"com1.tar.gz", L"lpt9",
                             L"a:b", L"..", L""})
    EXPECT_FALSE(IsPlainWin32Name(odd)) << odd;
  EXPECT_TRUE(IsPlainWin32Path(L"C:\\Temp\\a\\b.lnk"));
  EXPECT_FALSE(IsPlainWin32Path(L"C:\\Temp\\docs.\\b.lnk"));
}

// A name Win32 rewrites and a path beyond MAX_PATH, on real files.
TEST(ViewsTest, FileCallsReachTheEntryAWalkFound) {
  testsupport::SandboxFolder sandbox;
  const std::wstring plain = sandbox.dir(L"docs");
  const std::wstring dotted = sandbox / L"docs.";
  ASSERT_TRUE(CreateDirectoryW(ExactPath(dotted).c_str(), nullptr));
  HANDLE h = CreateFileW(ExactPath(dotted + L"\\junk.tmp").c_str(), GENERIC_WRITE, 0, nullptr,
                         CREATE_NEW, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  CloseHandle(h);
  const std::wstring keep = sandbox.file(L"docs\\junk.tmp", "mine");

  std::set<std::wstring> names;
  for (FileSearch s(sandbox.path() + L"\\*"); s.Found(); s.Next()) names.insert(s.Name());
  EXPECT_EQ((std::set<std::wstring>{L"docs", L"docs."}), names);
  EXPECT_TRUE(FileExists(dotted + L"\\junk.tmp"));
  EXPECT_TRUE(DeleteFileForced(dotted + L"\\junk.tmp"));
  EXPECT_TRUE(testsupport::FileExistsW(keep)) << "the other folder's file is untouched";
  EXPECT_TRUE(RemoveEmptyFolder(dotted));
  EXPECT_TRUE(DirectoryExists(plain));

  std::wstring deep = sandbox.path();
  while (deep.size() < 300) deep += L"\\" + std::wstring(40, L'd');
  ASSERT_TRUE(testsupport::CreateFolders(ExactPath(deep)));
  h = CreateFileW(ExactPath(deep + L"\\x.tmp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0,
                  nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, h);
  CloseHandle(h);
  FileSearch found(deep + L"\\*.tmp");
  ASSERT_TRUE(found.Found());
  EXPECT_TRUE(DeleteFileForced(deep + L"\\" + found.Name()));
  EXPECT_FALSE(FileExists(deep + L"\\x.tmp"));
}

// Emulates the 32-bit registry view inside the hermetic registry, as Windows keeps it
// under "Wow6432Node".
void InstallFakeRegistryViews() {
  RegViews().present = true;
  RegViews().open = [](HKEY root, const std::wstring& path, REGSAM access, RegView view,
                       HKEY* key) {
    std::wstring p = path;
    if (view == RegView::Wow32 && _wcsnicmp(p.c_str(), L"Software\\", 9) == 0)
      p.insert(9, L"Wow6432Node\\");
    return RegOpenKeyExW(root, p.c_str(), 0, access, key);
  };
}

TEST(ViewsTest, AKeyIsMissingOnlyWhenMissingInEveryRegistryView) {
  testsupport::HermeticRegistry registry;
  ScopedViewApis keep;
  InstallFakeRegistryViews();
  testsupport::CreateRegKey(HKEY_LOCAL_MACHINE, L"Software\\Wow6432Node\\Only32");
  testsupport::CreateRegKey(HKEY_LOCAL_MACHINE, L"Software\\Only64");

  RegKey k;
  EXPECT_NE(ERROR_SUCCESS, k.OpenRead(HKEY_LOCAL_MACHINE, L"Software\\Only32"));
  EXPECT_EQ(ERROR_SUCCESS, k.OpenRead(HKEY_LOCAL_MACHINE, L"Software\\Only32", RegView::Wow32));
  EXPECT_TRUE(RegKeyExistsInAnyView(HKEY_LOCAL_MACHINE, L"Software\\Only32"));
  EXPECT_TRUE(RegKeyExistsInAnyView(HKEY_LOCAL_MACHINE, L"Software\\Only64"));
  EXPECT_FALSE(RegKeyExistsInAnyView(HKEY_LOCAL_MACHINE, L"Software\\Neither"));
  // Without WoW64 there is one registry and the other views are not asked.
  RegViews().present = false;
  EXPECT_FALSE(RegKeyExistsInAnyView(HKEY_LOCAL_MACHINE, L"Software\\Only32"));
}

}  // namespace
