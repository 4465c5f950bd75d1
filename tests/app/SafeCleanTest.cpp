// What a clean must never do, in a real window on a seeded sandbox: delete through a
// name Win32 rewrites, start a scan inside a clean, report a failure as success, or keep
// the window open after a close.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/MainUnit.h"
#include "sys/FileSearch.h"
#include "sys/Registry.h"
#include "sys/Text.h"
#include "sys/Thread.h"
#include "sys/Views.h"
#include "tests/app/FormFixture.h"
#include "tests/support/Sandbox.h"

namespace {

class SafeCleanTest : public testsupport::FormTest {
 protected:
  // A file made through its exact path, so that its name stays as written.
  std::wstring ExactFile(const std::wstring& path, const std::string& bytes) {
    testsupport::CreateFolders(sys::ExactPath(path.substr(0, path.find_last_of(L'\\'))));
    HANDLE h = CreateFileW(sys::ExactPath(path).c_str(), GENERIC_WRITE, 0, nullptr,
                           CREATE_ALWAYS, 0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, h) << sys::ToUtf8(path);
    DWORD n = 0;
    WriteFile(h, bytes.data(), DWORD(bytes.size()), &n, nullptr);
    CloseHandle(h);
    return path;
  }
  void AddFileItems(int count) {
    for (int i = 0; i < count; ++i) {
      std::wstring name = L"f" + std::to_wstring(i) + L".tmp";
      sandbox.file(L"Temp\\many\\" + name, "x");
      form->results.AddResultNode(&form->results.Tree(), name, nullptr, 7,
                                  catalogue::ResultKind::File, L"", sandbox / L"Temp\\many");
    }
  }
  // Everyone may read the key, nobody may write it; false when the registry ignores it.
  static bool ReadOnlyKey(const std::wstring& key) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, WRITE_DAC, &h) != ERROR_SUCCESS)
      return false;
    SECURITY_DESCRIPTOR sd;
    InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    BYTE aclBuffer[256];
    PACL acl = reinterpret_cast<PACL>(aclBuffer);
    InitializeAcl(acl, sizeof aclBuffer, ACL_REVISION);
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
    AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ, everyone);
    SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE);
    LONG rc = RegSetKeySecurity(h, DACL_SECURITY_INFORMATION, &sd);
    RegCloseKey(h);
    FreeSid(everyone);
    sys::RegKey probe;
    return rc == ERROR_SUCCESS && probe.OpenWrite(HKEY_CURRENT_USER, key) != ERROR_SUCCESS;
  }
  int FilesIn(const std::wstring& folder) {
    int n = 0;
    for (sys::FileSearch s(folder + L"\\*"); s.Found(); s.Next()) n += !s.IsDirectory();
    return n;
  }
};

}  // namespace

// A real folder "docs." (or "stuff ") beside a link "docs" to the user's documents: Win32
// reads both names as the link, the walk and the clean must not.
TEST_F(SafeCleanTest, AOneKeyCleanNeverReachesALinkThroughANameWin32Rewrites) {
  sandbox.file(L"Documents\\letter.txt", "dear");
  sandbox.file(L"Documents\\Photos\\p1.jpg", "jpg");
  sandbox.dir(L"Temp\\app\\cache");
  if (!testsupport::MakeFolderLink(sandbox / L"Temp\\app\\cache\\docs", sandbox / L"Documents"))
    GTEST_SKIP() << "no folder links here";
  ASSERT_TRUE(testsupport::MakeFolderLink(sandbox / L"Temp\\stuff", sandbox / L"Documents"));
  const std::wstring dotJunk = ExactFile(sandbox / L"Temp\\app\\cache\\docs.\\junk.tmp", "j");
  const std::wstring spaceJunk = ExactFile(sandbox / L"Temp\\stuff \\junk.tmp", "j");
  const std::wstring dotFile = ExactFile(sandbox / L"Temp\\f0031.", "12");
  std::wstring deep = sandbox / L"Temp";
  while (deep.size() < 280) deep += L"\\" + std::wstring(30, L'n');
  const std::wstring deepJunk = ExactFile(deep + L"\\deep.tmp", "d");

  Tick(L"临时文件");
  Click(app::idLabel10, L"Label10");
  RunUntilIdle();

  EXPECT_TRUE(testsupport::FileExistsW(sandbox / L"Documents\\letter.txt"));
  EXPECT_TRUE(testsupport::FileExistsW(sandbox / L"Documents\\Photos\\p1.jpg"));
  for (const std::wstring& gone : {dotJunk, spaceJunk, dotFile, deepJunk})
    EXPECT_FALSE(sys::FileExists(gone)) << sys::ToUtf8(gone);
  EXPECT_EQ(0, form->Executor()->FailedCount());
}

// Posted clicks arrive while the clean pumps after each item; none of them may start a
// scan (which would free the findings in hand) or a one-key run.
TEST_F(SafeCleanTest, ClicksDuringACleanStartNothingAndEveryItemGoes) {
  AddFileItems(3000);
  okCancelAnswer = IDOK;
  HWND scan = form->Component(L"ButtonScanTrace");
  for (int i = 0; i < 5; ++i) {
    PostMessageW(GetParent(scan), WM_COMMAND, MAKEWPARAM(app::idButtonScanTrace, BN_CLICKED),
                 reinterpret_cast<LPARAM>(scan));
    HWND oneKey = form->Component(L"Label10");
    PostMessageW(GetParent(oneKey), WM_COMMAND, MAKEWPARAM(app::idLabel10, BN_CLICKED),
                 reinterpret_cast<LPARAM>(oneKey));
  }
  bool scanEnabledMeanwhile = true;
  form->results.OnCountText = [&](const std::wstring&) {
    if (form->scanState.cleaning) scanEnabledMeanwhile = IsWindowEnabled(scan) != FALSE;
  };
  Click(app::idButtonDelAllTrace, L"ButtonDelAllTrace");
  RunUntilIdle();
  EXPECT_EQ(0, FilesIn(sandbox / L"Temp\\many"));
  EXPECT_EQ((std::vector<std::wstring>{L"说明：将要清理扫描到的项目，确定吗？",
                                       L"说明: 清理完毕！已删除所有扫描到的项目。"}),
            boxes);
  EXPECT_FALSE(scanEnabledMeanwhile);
  EXPECT_TRUE(IsWindowEnabled(scan));
  EXPECT_FALSE(form->Dispatcher()->Busy());
}

// Thirty quick clicks on the scan button, the question answered, then a close: no scan
// nests in another, and the window goes.
TEST_F(SafeCleanTest, QuickClicksNestNoScanAndACloseEndsTheWindow) {
  Tick(L"临时文件");
  for (int i = 0; i < 2000; ++i) sandbox.file(L"Temp\\q" + std::to_wstring(i) + L".tmp", "ab");
  okCancelAnswer = IDOK;
  HWND scan = form->Component(L"ButtonScanTrace");
  for (int i = 0; i < 30; ++i)
    PostMessageW(GetParent(scan), WM_COMMAND, MAKEWPARAM(app::idButtonScanTrace, BN_CLICKED),
                 reinterpret_cast<LPARAM>(scan));
  PostMessageW(form->Handle(), WM_CLOSE, 0, 0);
  MSG msg;
  for (int i = 0; i < 20000 && !form->Destroyed(); ++i) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    sys::CheckSynchronize();
    Sleep(1);
  }
  EXPECT_TRUE(form->Destroyed());
  EXPECT_LE(boxes.size(), 2u);
}

// A registry value under a key that will not open for writing, between two files: the
// failure is said, the item stays listed and uncounted, the files still go.
TEST_F(SafeCleanTest, ADeleteThatFailsIsReportedAndTheItemStays) {
  const std::wstring key = L"Software\\Locked";
  testsupport::SetRegString(HKEY_CURRENT_USER, key, L"v", L"data");
  if (!ReadOnlyKey(key)) GTEST_SKIP() << "this registry does not enforce key security";

  AddFileItems(2);
  form->results.AddKeyedResult(L"HKEY_CURRENT_USER", key, 19, L"", L"data", L"v");
  AddFileItems(1);
  okCancelAnswer = IDOK;
  Click(app::idButtonDelAllTrace, L"ButtonDelAllTrace");
  RunUntilIdle();
  EXPECT_EQ(0, FilesIn(sandbox / L"Temp\\many"));
  ASSERT_EQ(2u, boxes.size());
  EXPECT_EQ(L"说明: 清理完毕！有 1 个项目未能删除，仍列在扫描结果中。", boxes[1]);
  EXPECT_EQ(1, form->Executor()->FailedCount());
  std::wstring tree = TreeText(L"VTTraceResult");
  EXPECT_NE(std::wstring::npos, tree.find(L"HKEY_CURRENT_USER")) << sys::ToUtf8(tree);
  EXPECT_EQ(1, form->results.ItemCount());
}

// A close while the clean's question is open answers it with Cancel: nothing is deleted
// and the window goes, with nobody at the keyboard.
TEST_F(SafeCleanTest, ACloseAnswersAnOpenQuestionAndEndsTheWindow) {
  AddFileItems(3);
  form->messageBox = [this](const std::wstring& text, UINT type) {
    boxes.push_back(text);
    return MessageBoxW(form->Handle(), text.c_str(), L"一键清理Sandrel版", type);
  };
  PostMessageW(form->Handle(), WM_CLOSE, 0, 0);
  Click(app::idButtonDelAllTrace, L"ButtonDelAllTrace");
  MSG msg;
  for (int i = 0; i < 1000 && !form->Destroyed(); ++i) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(1);
  }
  EXPECT_TRUE(form->Destroyed());
  EXPECT_EQ(3, FilesIn(sandbox / L"Temp\\many"));
  EXPECT_EQ(1u, boxes.size());
}

// A one-key run whose only finding cannot be deleted: it is not called cleaned, and the
// statistics do not count it.
TEST_F(SafeCleanTest, AOneKeyRunWithAFailureSaysSoAndCountsNothing) {
  const std::wstring key = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU";
  testsupport::SetRegString(HKEY_CURRENT_USER, key, L"a", L"cmd\\1");
  if (!ReadOnlyKey(key)) GTEST_SKIP() << "this registry does not enforce key security";
  Tick(L"运行(开始菜单中)");
  Click(app::idLabel10, L"Label10");
  RunUntilIdle();
  EXPECT_EQ(L"清理完成，但有 1 个项目未能删除，请在“高级清理”中查看。",
            testsupport::TextOf(form->Component(L"Label4")));
  EXPECT_EQ(1, form->Executor()->FailedCount());
  EXPECT_EQ(0, form->OneKey().pendingCleanCount);
  EXPECT_TRUE(boxes.empty());
}
