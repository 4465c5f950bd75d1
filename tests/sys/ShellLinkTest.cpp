// Shortcut targets: real .lnk files made with the shell link object in the sandbox.
#include "sys/ShellLink.h"

#include <objbase.h>
#include <shlobj.h>

#include <stdexcept>
#include <string>

#include "sys/Text.h"
#include "tests/support/Sandbox.h"

namespace {

// Only the folder sandbox: COM class look-ups should see the real registry.
class ShellLinkTest : public ::testing::Test {
 protected:
  testsupport::SandboxFolder sandbox;
};

// A shortcut to a shell item given by its item list instead of a path.
HRESULT CreateShortcutToFolderItem(const std::wstring& lnk, int csidl) {
  IShellLinkW* link = nullptr;
  HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link));
  if (FAILED(hr)) return hr;
  LPITEMIDLIST pidl = nullptr;
  hr = SHGetSpecialFolderLocation(nullptr, csidl, &pidl);
  if (SUCCEEDED(hr)) {
    hr = link->SetIDList(pidl);
    CoTaskMemFree(pidl);
  }
  IPersistFile* file = nullptr;
  if (SUCCEEDED(hr)) hr = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
  if (SUCCEEDED(hr)) hr = file->Save(lnk.c_str(), TRUE);
  if (file) file->Release();
  link->Release();
  return hr;
}

}  // namespace

TEST_F(ShellLinkTest, ShortcutGivesItsStoredTargetPath) {
  enum Target { Exists, Deleted, NeverExisted };
  const struct {
    const wchar_t* rel;
    Target state;
  } cases[] = {
      {L"plain.txt", Exists},
      {L"中文文件名.txt", Exists},
      {L"子目录\\带 空格\\程序.exe", Exists},
      {L"已删除\\旧程序.exe", Deleted},
      {L"missing\\never.exe", NeverExisted},
  };
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(sys::ToUtf8(c.rel));
    std::wstring rel = std::wstring(L"targets\\") + c.rel;
    std::wstring target = c.state == NeverExisted ? sandbox / rel : sandbox.file(rel);
    std::wstring lnk = sandbox.dir(L"links") + L"\\" + std::to_wstring(++n) + L".lnk";
    ASSERT_TRUE(SUCCEEDED(sys::CreateShortcut(lnk, target)));
    if (c.state == Deleted) DeleteFileW(target.c_str());
    std::wstring got;
    EXPECT_EQ(S_OK, sys::GetShortcutTarget(lnk, got));
    EXPECT_EQ(target, got);
  }
}

TEST_F(ShellLinkTest, ShortcutWithoutUsableFilePathGivesMarker) {
  sandbox.dir(L"links");
  // A shell object that has no file system path: "My Computer".
  std::wstring drives = sandbox / L"links\\drives.lnk";
  ASSERT_TRUE(SUCCEEDED(CreateShortcutToFolderItem(drives, CSIDL_DRIVES)));
  std::wstring got;
  EXPECT_EQ(S_OK, sys::GetShortcutTarget(drives, got));
  EXPECT_EQ(L"tarn", got);
  // A bare drive root is too short to be a usable target.
  std::wstring root = sandbox / L"links\\root.lnk";
  ASSERT_TRUE(SUCCEEDED(sys::CreateShortcut(root, L"C:\\")));
  EXPECT_EQ(S_OK, sys::GetShortcutTarget(root, got));
  EXPECT_EQ(L"tarn", got);
}

TEST_F(ShellLinkTest, FileThatIsNoShortcutFails) {
  const struct {
    const wchar_t* rel;
    const char* bytes;  // nullptr: not created
  } cases[] = {
      {L"text.lnk", "this is not a shell link"},
      {L"empty.lnk", ""},
      {L"缺少.lnk", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(sys::ToUtf8(c.rel));
    std::wstring p = c.bytes ? sandbox.file(c.rel, c.bytes) : sandbox / c.rel;
    std::wstring got = L"x";
    EXPECT_TRUE(FAILED(sys::GetShortcutTarget(p, got)));
    EXPECT_EQ(L"", got);
  }
}
