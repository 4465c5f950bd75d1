// The main window in a real window under Xvfb: components by name, their captions and
// states at start, page switching, the first activation.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>

#include "app/MainUnit.h"
#include "catalogue/TraceOption.h"
#include "sys/ProfileIni.h"
#include "machine/Seams.h"
#include "machine/TarnGetOSInfo.h"
#include "sys/Text.h"
#include "tests/support/Sandbox.h"
#include "ui/Widgets.h"

namespace {

std::wstring TextOf(HWND hwnd) {
  int n = GetWindowTextLengthW(hwnd);
  std::wstring s(size_t(n) + 1, L'\0');
  GetWindowTextW(hwnd, &s[0], n + 1);
  s.resize(size_t(n));
  return s;
}

bool FontBold(HWND hwnd) {
  HFONT f = reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
  LOGFONTW lf = {};
  return f && GetObjectW(f, sizeof lf, &lf) && lf.lfWeight >= FW_BOLD;
}

class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    form.reset(new app::TFormSorvex(new machine::TTarnOSInfo()));
    form->settingsFile = sandbox / L"Halvane.set";  // never the one beside the exe
    form->notesFeedFile = sandbox / L"Log.dat";
    ASSERT_NE(nullptr, form->Create());
  }
  HWND C(const wchar_t* name) {
    HWND h = form->Component(name);
    EXPECT_NE(nullptr, h) << sys::ToUtf8(name);
    return h;
  }
  testsupport::SandboxFolder sandbox;
  std::unique_ptr<app::TFormSorvex> form;
};

}  // namespace

TEST_F(MainFormTest, ComponentsAtStart) {
  struct Expect {
    const wchar_t* name;
    const wchar_t* text;  // null: not checked
    bool visible;
    bool enabled;
  } expected[] = {
      {L"Panel1", nullptr, true, true},          {L"Image1", nullptr, true, true},
      {L"BtnHomepage", L"一键清理", true, true}, {L"BtnOverview", L"高级清理", true, true},
      {L"Label13", nullptr, true, true},         {L"PageControl1", nullptr, true, true},
      {L"TabSheet1", nullptr, true, true},
      {L"TabSheet2", nullptr, false, true},      {L"Panel2", nullptr, true, true},
      {L"Image2", nullptr, true, true},          {L"Image3", nullptr, true, true},
      {L"Image6", nullptr, false, true},         {L"Panel6", nullptr, true, true},
      {L"Panel7", nullptr, false, true},         {L"ProgressBar1", nullptr, false, true},
      {L"Button1", L"取消清理", false, true},    {L"Panel5", nullptr, true, true},
      {L"Label7", L"Velmora一键清理能做些什么？", true, true},
      {L"Label8", L"一键清理Sandrel版能有效的清除系统垃圾文件，与电脑使用中残留的各种无用信息，安全的清",
       true, true},
      {L"Label9", L"理出更多的硬盘空间，从而保护您的上网隐私，让电脑运行更流畅，更稳定。", true, true},
      {L"Label11", L"", true, true},             {L"Image5", nullptr, true, true},
      {L"Label10", L"一键清理", true, true},     {L"VTCleanResult", nullptr, false, true},
      {L"lblReClean", L"重新清理", false, true},
      {L"chkAutoShutdown", L"清理完成后自动关机", false, true},
      {L"Panel4", nullptr, true, true},          {L"VTLog", nullptr, true, true},
      {L"Panel3", nullptr, true, true},          {L"Label16", L"", true, true},
      {L"NoteMemo", L"", true, true},            {L"Label17", L"", true, true},
      {L"VTTraceOption", nullptr, false, true},  {L"VTTraceResult", nullptr, false, true},
      {L"Label1", L"全选", false, true},         {L"Label2", L"全不选", false, true},
      {L"Label3", L"推荐", false, true},         {L"ButtonScanTrace", L"扫描", false, true},
      {L"ButtonDelAllTrace", L"清理", false, false},
      {L"ButtonCleanOneKey", L"一键清理", false, true},
      {L"Button3", L"退出", false, true},        {L"stat1", L"", true, true},
  };
  form->Show(SW_SHOWNORMAL);
  for (const Expect& e : expected) {
    HWND h = C(e.name);
    if (!h) continue;
    // Visible means shown on screen (the advanced page is hidden at start).
    EXPECT_EQ(e.visible, IsWindowVisible(h) != 0) << sys::ToUtf8(e.name);
    EXPECT_EQ(e.enabled, IsWindowEnabled(h) != 0) << sys::ToUtf8(e.name);
    if (e.text) {
      EXPECT_EQ(e.text, TextOf(h)) << sys::ToUtf8(e.name);
    }
    EXPECT_NE(0, GetDlgCtrlID(h)) << sys::ToUtf8(e.name);
  }
  // The headline is bold and dark green; Label10 is the big link.
  EXPECT_TRUE(FontBold(C(L"Label4")));
  EXPECT_TRUE(FontBold(C(L"Label7")));
  EXPECT_FALSE(TextOf(C(L"Label4")).empty());

  // Both pages stand in the page control.
  for (const wchar_t* page : {L"TabSheet1", L"TabSheet2"})
    EXPECT_EQ(C(L"PageControl1"), GetParent(C(page))) << sys::ToUtf8(page);

  // Hidden controls stand hidden themselves, not only through a hidden page.
  for (const wchar_t* n : {L"ButtonCleanOneKey", L"Image6", L"Panel7", L"VTCleanResult",
                           L"lblReClean", L"chkAutoShutdown"})
    EXPECT_FALSE(GetWindowLongW(C(n), GWL_STYLE) & WS_VISIBLE) << sys::ToUtf8(n);
}

TEST_F(MainFormTest, WindowFrameCaptionAndStatusBar) {
  HWND w = form->Handle();
  RECT rc;
  GetClientRect(w, &rc);
  EXPECT_EQ(784, rc.right);
  EXPECT_EQ(538, rc.bottom);
  LONG style = GetWindowLongW(w, GWL_STYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME);
  EXPECT_EQ(0u, TextOf(w).find(L"一键清理Sandrel版 V2.0 "));
  int parts[4] = {};
  ASSERT_EQ(2, SendMessageW(C(L"stat1"), SB_GETPARTS, 4, reinterpret_cast<LPARAM>(parts)));
  EXPECT_EQ(520, parts[0]);
  EXPECT_EQ(770, parts[1]);
  // The "Name" property is a global atom another process can read.
  ATOM atom = ATOM(reinterpret_cast<UINT_PTR>(GetPropW(C(L"Label10"), L"Name")));
  wchar_t buf[64] = {};
  GlobalGetAtomNameW(atom, buf, 64);
  EXPECT_STREQ(L"Label10", buf);
}

TEST_F(MainFormTest, PageButtonsSwitchPagesWithExactlyOneDown) {
  form->Show(SW_SHOWNORMAL);
  HWND home = C(L"BtnHomepage"), overview = C(L"BtnOverview");
  auto down = [](HWND b) { return SendMessageW(b, ui::kSpeedGetDown, 0, 0) != 0; };
  EXPECT_TRUE(down(home));
  EXPECT_FALSE(down(overview));
  EXPECT_TRUE(FontBold(home));
  EXPECT_FALSE(FontBold(overview));
  for (int round = 0; round < 2; ++round) {
    // A real click on the button, as the user makes it.
    SendMessageW(overview, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    SendMessageW(overview, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    EXPECT_EQ(1, form->activePage);
    EXPECT_TRUE(IsWindowVisible(C(L"TabSheet2")));
    EXPECT_FALSE(IsWindowVisible(C(L"TabSheet1")));
    EXPECT_TRUE(IsWindowVisible(C(L"ButtonScanTrace")));
    EXPECT_TRUE(down(overview));
    EXPECT_FALSE(down(home));
    EXPECT_TRUE(FontBold(overview));
    EXPECT_FALSE(FontBold(home));
    form->BtnHomepageClick();
    EXPECT_EQ(0, form->activePage);
    EXPECT_TRUE(IsWindowVisible(C(L"TabSheet1")));
    EXPECT_FALSE(IsWindowVisible(C(L"TabSheet2")));
    EXPECT_TRUE(down(home));
    EXPECT_FALSE(down(overview));
    EXPECT_TRUE(FontBold(home));
    EXPECT_FALSE(FontBold(overview));
  }
}

TEST_F(MainFormTest, FirstActivationMovesUpFifteenPixelsOnce) {
  RECT before;
  GetWindowRect(form->Handle(), &before);
  form->FormActivate();
  form->FormActivate();
  RECT after;
  GetWindowRect(form->Handle(), &after);
  EXPECT_EQ(before.top - 15, after.top);
  EXPECT_EQ(before.left, after.left);
  // Showing and activating for real does not move it again.
  form->Show(SW_SHOWNORMAL);
  SetForegroundWindow(form->Handle());
  RECT shown;
  GetWindowRect(form->Handle(), &shown);
  EXPECT_EQ(after.top, shown.top);
}

TEST_F(MainFormTest, ExitButtonClosesAndDestroyFreesOnce) {
  form->Show(SW_SHOWNORMAL);
  SendMessageW(C(L"Button3"), BM_CLICK, 0, 0);
  MSG msg;
  for (int i = 0; i < 100 && !form->Destroyed(); ++i)
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  EXPECT_TRUE(form->Destroyed());
  EXPECT_TRUE(form->foldersReleased);
  // Closing saved the option states.
  sys::ProfileIni saved(sandbox / L"Halvane.set");
  EXPECT_EQ(L"1", saved.ReadString(L"TraceScanOption", L"IE缓存"));
  EXPECT_EQ(L"0", saved.ReadString(L"TraceScanOption", L"网络临时文件"));
  // The quit message the window posted must not leak into the next test.
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
}

TEST_F(MainFormTest, ACloseDuringAPumpingHandlerWaitsForIt) {
  form->Show(SW_SHOWNORMAL);
  HWND overview = C(L"BtnOverview");
  // The page switch lets pending messages run; the close arrives among them.
  PostMessageW(form->Handle(), WM_CLOSE, 0, 0);
  SendMessageW(overview, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
  SendMessageW(overview, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
  EXPECT_FALSE(form->Destroyed());
  EXPECT_EQ(1, form->activePage);  // the handler finished on a live window
  MSG msg;
  for (int i = 0; i < 100 && !form->Destroyed(); ++i)
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  EXPECT_TRUE(form->Destroyed());
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
}

TEST_F(MainFormTest, ResultTreeShowsTheModelWithCountInStatusPanel1) {
  form->Show(SW_SHOWNORMAL);
  model::TreeNode* item = form->results.AddKeyedResult(L"HKEY_CURRENT_USER", L"Software\\Velmora",
                                                    19, L"无效的键", L"", L"v");
  ASSERT_NE(nullptr, item);
  form->results.Tree().SetExpanded(item, true);
  HWND tree = C(L"VTTraceResult");
  std::wstring text(4096, L'\0');
  text.resize(size_t(SendMessageW(tree, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]))));
  EXPECT_EQ(L"[x] HKEY_CURRENT_USER\tSoftware\\Velmora\r\n\t键名\tv\r\n\t说明\t无效的键\r\n", text);
  wchar_t panel[64] = {};
  SendMessageW(C(L"stat1"), SB_GETTEXTW, 1, reinterpret_cast<LPARAM>(panel));
  EXPECT_STREQ(L" 已扫描到: 1个清理项", panel);
  ASSERT_EQ(2u, form->vtTraceResult.Columns().size());
  EXPECT_EQ(L"项目", form->vtTraceResult.Columns()[0].title);
  EXPECT_EQ(186, form->vtTraceResult.Columns()[0].width);
  EXPECT_EQ(L"值", form->vtTraceResult.Columns()[1].title);
  EXPECT_EQ(298, form->vtTraceResult.Columns()[1].width);
  // Icons: the item's in column 0, a detail row's in column 1.
  model::TreeNode* row = item->FirstChild();
  EXPECT_EQ(19, form->vtTraceResult.OnGetImageIndex(item, 0));
  EXPECT_EQ(-1, form->vtTraceResult.OnGetImageIndex(item, 1));
  EXPECT_EQ(-1, form->vtTraceResult.OnGetImageIndex(row, 0));
  EXPECT_EQ(19, form->vtTraceResult.OnGetImageIndex(row, 1));
}

TEST_F(MainFormTest, OptionTreeLinksAndClickToClearQuestions) {
  form->Show(SW_SHOWNORMAL);  // builds the tree from the (absent) settings file
  model::TreeModel& tree = form->vtTraceOption.Model();
  ASSERT_EQ(4u, tree.TopLevelCount());
  EXPECT_EQ(249, form->vtTraceOption.Columns()[0].width);
  SendMessageW(C(L"Label1"), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  SendMessageW(C(L"Label1"), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
  for (model::TreeNode* n = tree.FirstTopLevel(); n; n = model::TreeModel::NextInTree(n))
    if (n->Depth() <= 2) {
      EXPECT_TRUE(model::IsChecked(n->CheckState()));
    }
  form->Advanced().Label3Click();  // recommended states again
  EXPECT_TRUE(model::IsMixed(catalogue::FindOption(tree, L"网络临时文件")->CheckState()));

  std::vector<std::wstring> asked;
  form->Advanced().confirm = [&](const std::wstring& text) {
    asked.push_back(text);
    return false;  // Cancel: nothing is cleared
  };
  model::TreeNode* forms = catalogue::FindOption(tree, L"清理表单自动完成历史记录");
  model::TreeNode* passwords = catalogue::FindOption(tree, L"清除密码自动完成历史记录");
  model::TreeNode* cache = catalogue::FindOption(tree, L"IE缓存");
  ui::TreeHit hit;
  int right = form->vtTraceOption.ColumnWidth(0) + 3;
  struct Case {
    model::TreeNode* node;
    int x;
    size_t asks;
  } cases[] = {{forms, 40, 0}, {forms, right, 1}, {passwords, right, 2}, {cache, right, 2},
               {tree.FirstTopLevel(), right, 2}};
  for (const Case& c : cases) {
    hit.node = c.node;
    hit.pt.x = c.x;
    form->Advanced().VTTraceOptionMouseDown(hit);
    EXPECT_EQ(c.asks, asked.size());
  }
  ASSERT_EQ(2u, asked.size());
  EXPECT_EQ(L"说明：将要清除IE浏览器自动完成历史记录中的表单，确定吗？", asked[0]);
  EXPECT_EQ(L"说明：Pellucid将要清除自动完成历史记录中的密码，确定吗？", asked[1]);
}

TEST_F(MainFormTest, ClickToClearOnOkClearsTheFormDataThenThePasswords) {
  form->Show(SW_SHOWNORMAL);
  testsupport::HermeticRegistry registry;  // the stand-in library clears these keys
  const wchar_t* storage1 = L"Software\\Microsoft\\Internet Explorer\\IntelliForms\\Storage1";
  const wchar_t* storage2 = L"Software\\Microsoft\\Internet Explorer\\IntelliForms\\Storage2";
  testsupport::SetRegBinary(HKEY_CURRENT_USER, storage1, L"form", "x");
  testsupport::SetRegBinary(HKEY_CURRENT_USER, storage2, L"password", "y");
  auto valueCount = [](const wchar_t* key) {
    HKEY k = nullptr;
    DWORD values = 0;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, &k) == ERROR_SUCCESS) {
      RegQueryInfoKeyW(k, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                       nullptr, nullptr, nullptr);
      RegCloseKey(k);
    }
    return values;
  };
  form->Advanced().confirm = [](const std::wstring&) { return true; };
  model::TreeModel& tree = form->vtTraceOption.Model();
  ui::TreeHit hit;
  hit.pt.x = form->vtTraceOption.ColumnWidth(0) + 3;
  hit.node = catalogue::FindOption(tree, L"清理表单自动完成历史记录");
  form->Advanced().VTTraceOptionMouseDown(hit);
  EXPECT_EQ(0u, valueCount(storage1));
  EXPECT_EQ(1u, valueCount(storage2));
  hit.node = catalogue::FindOption(tree, L"清除密码自动完成历史记录");
  form->Advanced().VTTraceOptionMouseDown(hit);
  EXPECT_EQ(0u, valueCount(storage2));
}
