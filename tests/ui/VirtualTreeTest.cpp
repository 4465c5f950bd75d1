// The tree control in a real window: its text answer, keyboard, mouse, scrolling and what
// it paints.
#include "ui/VirtualTree.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using model::CheckState;
using model::CheckType;
using model::TreeModel;
using model::TreeNode;
using ui::VirtualTree;

namespace {

struct Row {
  std::wstring c0, c1;
};

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// A window's own drawing (WM_PRINTCLIENT) on a white ground, as its DIB holds it.
struct Printed {
  LONG width = 0, height = 0;
  std::vector<DWORD> pixels;
  // Blue, green, red.
  const BYTE* At(LONG x, LONG y) const {
    return reinterpret_cast<const BYTE*>(&pixels[size_t(y) * width + x]);
  }
};

Printed Print(HWND hwnd) {
  RECT rc;
  GetClientRect(hwnd, &rc);
  Printed out{rc.right, rc.bottom, {}};
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), rc.right, -rc.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bmp);
  FillRect(dc, &rc, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SendMessageW(hwnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  GdiFlush();
  const DWORD* px = static_cast<const DWORD*>(bits);
  out.pixels.assign(px, px + size_t(rc.right) * rc.bottom);
  SelectObject(dc, old);
  DeleteObject(bmp);
  DeleteDC(dc);
  return out;
}

// How many pixels of a window's own drawing are dark.
int DarkPixels(HWND hwnd) {
  const Printed p = Print(hwnd);
  int n = 0;
  for (LONG y = 0; y < p.height; ++y)
    for (LONG x = 0; x < p.width; ++x) {
      const BYTE* px = p.At(x, y);
      if (px[0] < 100 && px[1] < 100 && px[2] < 100) ++n;
    }
  return n;
}

LPARAM At(POINT p) { return MAKELPARAM(p.x, p.y); }
POINT Center(const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

class VirtualTreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host = CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 420, 320,
                           nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(host);
    ASSERT_TRUE(tree.Create(host, 100, 0, 0, 300, 200));
    tree.OnGetText = [](TreeNode* n, int column) {
      const Row* r = n->DataAs<Row>();
      return r ? (column == 0 ? r->c0 : r->c1) : std::wstring();
    };
  }
  void TearDown() override { DestroyWindow(host); }

  TreeNode* Add(const std::wstring& name, TreeNode* parent, CheckType type,
                const std::wstring& second = L"") {
    TreeNode* n = tree.Model().Append(parent, Row{name, second});
    tree.Model().SetCheckType(n, type);
    nodes[name] = n;
    return n;
  }
  std::wstring WindowText() {
    HWND h = tree.Handle();
    int len = static_cast<int>(SendMessageW(h, WM_GETTEXTLENGTH, 0, 0));
    std::wstring buf(static_cast<std::size_t>(len) + 1, L'?');
    int got = static_cast<int>(
        SendMessageW(h, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(&buf[0])));
    EXPECT_EQ(got, len);
    EXPECT_EQ(buf[static_cast<std::size_t>(len)], L'\0');
    buf.resize(static_cast<std::size_t>(got));
    return buf;
  }
  void Key(WPARAM vk) { SendMessageW(tree.Handle(), WM_KEYDOWN, vk, 0); }
  void Click(POINT p, UINT down = WM_LBUTTONDOWN) {
    SendMessageW(tree.Handle(), down, MK_LBUTTON, At(p));
    SendMessageW(tree.Handle(), WM_LBUTTONUP, 0, At(p));
  }
  RECT Part(const std::wstring& name, RECT ui::TreeNodeRects::*part) {
    ui::TreeNodeRects r{};
    EXPECT_TRUE(tree.NodeRects(nodes.at(name), r)) << "node hidden";
    return r.*part;
  }
  std::wstring FocusName() {
    TreeNode* f = tree.Model().Focused();
    return f ? f->DataAs<Row>()->c0 : L"(none)";
  }

  HWND host = nullptr;
  VirtualTree tree;
  std::map<std::wstring, TreeNode*> nodes;
};

}  // namespace

TEST_F(VirtualTreeTest, WindowTextListsWholeTree) {
  tree.SetColumns({{L"", 150, DT_LEFT, true}, {L"", 60, DT_CENTER, false}});
  TreeNode* g = Add(L"网络临时文件", nullptr, CheckType::TriStateCheckBox);
  TreeNode* ie = Add(L"IE缓存", g, CheckType::CheckBox, L"推荐");
  TreeNode* all = Add(L"全部IE缓存", ie, CheckType::RadioButton);
  Add(L"IE缓存(不包括IE Cookie)", ie, CheckType::RadioButton);
  Add(L"FireFox 缓存", g, CheckType::CheckBox, L"可选");
  TreeNode* key = Add(L"HKEY_CURRENT_USER", nullptr, CheckType::None, L"Software\\Demo");
  Add(L"键名", key, CheckType::None, L"Value");
  tree.Model().SetCheckState(ie, CheckState::Checked);
  tree.Model().SetCheckState(all, CheckState::CheckedPressed);
  tree.Model().SetExpanded(g, true);  // the second group stays collapsed

  const std::wstring want =
      L"[-] 网络临时文件\t\r\n"
      L"\t[x] IE缓存\t推荐\r\n"
      L"\t\t[x] 全部IE缓存\t\r\n"
      L"\t\t[ ] IE缓存(不包括IE Cookie)\t\r\n"
      L"\t[ ] FireFox 缓存\t可选\r\n"
      L"HKEY_CURRENT_USER\tSoftware\\Demo\r\n"
      L"\t键名\tValue\r\n";
  EXPECT_EQ(WindowText(), want);

  wchar_t small[5];
  EXPECT_EQ(SendMessageW(tree.Handle(), WM_GETTEXT, 5, reinterpret_cast<LPARAM>(small)), 4);
  EXPECT_EQ(std::wstring(small), L"[-] ");

  // Without columns there is one column 0.
  tree.SetColumns({});
  const std::wstring head = L"[-] 网络临时文件\r\n\t[x] IE缓存\r\n\t\t[x] 全部IE缓存\r\n";
  EXPECT_EQ(WindowText().substr(0, head.size()), head);

  // Another model takes over, and back.
  TreeModel other;
  other.Append(nullptr, Row{L"only", L""});
  tree.SetModel(&other);
  EXPECT_EQ(WindowText(), L"only\r\n");
  other.Clear();
  EXPECT_EQ(WindowText(), L"");
  tree.SetModel(nullptr);
  EXPECT_EQ(WindowText().substr(0, head.size()), head);

  // A window made straight from the class carries its own tree.
  HWND raw = CreateWindowExW(0, VirtualTree::kClassName, L"", WS_CHILD, 0, 0, 50, 50, host, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
  ASSERT_TRUE(raw);
  ASSERT_NE(VirtualTree::FromHandle(raw), nullptr);
  VirtualTree::FromHandle(raw)->Model().Append(nullptr);
  EXPECT_EQ(SendMessageW(raw, WM_GETTEXTLENGTH, 0, 0), 2);
  DestroyWindow(raw);
}

// Children made on demand read the same as children that are always there, open or not,
// and the listing leaves none of them behind; the expand button and keys see them too.
TEST_F(VirtualTreeTest, WindowTextListsChildrenMadeOnDemand) {
  tree.SetColumns({{L"", 150, DT_LEFT, false}, {L"", 100, DT_LEFT, false}});
  TreeModel eager;
  for (const wchar_t* name : {L"a.tmp", L"b.tmp"}) {
    TreeNode* n = eager.Append(nullptr, Row{name, L"C:\\Temp"});
    eager.SetCheckType(n, CheckType::CheckBox);
    eager.Append(n, Row{L"大小", L"5 Byte"});
    eager.Append(n, Row{L"临时文件", L"建议删除"});
  }
  tree.SetModel(&eager);
  const std::wstring want = WindowText();
  tree.SetModel(nullptr);

  TreeModel& lazy = tree.Model();
  lazy.SetChildMaker([](TreeModel& m, TreeNode* n) {
    m.Append(n, Row{L"大小", L"5 Byte"});
    m.Append(n, Row{L"临时文件", L"建议删除"});
  });
  TreeNode* a = Add(L"a.tmp", nullptr, CheckType::CheckBox, L"C:\\Temp");
  TreeNode* b = Add(L"b.tmp", nullptr, CheckType::CheckBox, L"C:\\Temp");
  lazy.SetLazyChildren(a, 2);
  lazy.SetLazyChildren(b, 2);
  EXPECT_EQ(WindowText(), want);
  EXPECT_EQ(lazy.MadeNodeCount(), 2u);
  EXPECT_EQ(lazy.NodeCount(), 6u);
  lazy.SetFocused(b);
  Key(VK_RIGHT);  // opens b
  EXPECT_EQ(lazy.VisibleRowCount(), 4u);
  EXPECT_EQ(WindowText(), want);
  EXPECT_EQ(lazy.MadeNodeCount(), 4u);
  Key(VK_DOWN);
  Key(VK_LEFT);  // to b
  Key(VK_LEFT);  // closes it
  EXPECT_EQ(FocusName(), L"b.tmp");
  EXPECT_EQ(lazy.MadeNodeCount(), 2u);
  EXPECT_EQ(WindowText(), want);
}

TEST_F(VirtualTreeTest, Keyboard) {
  TreeNode* g = Add(L"G", nullptr, CheckType::TriStateCheckBox);
  Add(L"O1", g, CheckType::CheckBox);
  Add(L"O2", g, CheckType::CheckBox);
  TreeNode* p = Add(L"P", nullptr, CheckType::None);
  Add(L"P1", p, CheckType::None);
  tree.Model().SetExpanded(g, true);
  tree.Model().SetFocused(g);
  int checkedEvents = 0;
  tree.OnChecked = [&](TreeNode*) { ++checkedEvents; };

  auto marks = [&] {
    std::wstring s;
    for (const wchar_t* n : {L"G", L"O1", L"O2"}) {
      CheckState c = nodes.at(n)->CheckState();
      s += model::IsChecked(c) ? L'x' : model::IsMixed(c) ? L'-' : L'.';
    }
    return s;
  };
  struct Step {
    WPARAM key;
    const wchar_t* focus;
    const wchar_t* marks;
    bool gExpanded, pExpanded;
  };
  const Step steps[] = {
      {VK_SPACE, L"G", L"xxx", true, false},     {VK_DOWN, L"O1", L"xxx", true, false},
      {VK_SPACE, L"O1", L"-.x", true, false},    {VK_END, L"P", L"-.x", true, false},
      {VK_RIGHT, L"P", L"-.x", true, true},      {VK_DOWN, L"P1", L"-.x", true, true},
      {VK_DOWN, L"P1", L"-.x", true, true},      {VK_LEFT, L"P", L"-.x", true, true},
      {VK_LEFT, L"P", L"-.x", true, false},      {VK_HOME, L"G", L"-.x", true, false},
      {VK_SUBTRACT, L"G", L"-.x", false, false}, {VK_DOWN, L"P", L"-.x", false, false},
      {VK_UP, L"G", L"-.x", false, false},       {VK_UP, L"G", L"-.x", false, false},
      {VK_ADD, L"G", L"-.x", true, false},       {VK_NEXT, L"P", L"-.x", true, false},
      {VK_PRIOR, L"G", L"-.x", true, false},     {VK_SPACE, L"G", L"xxx", true, false},
  };
  int i = 0;
  for (const Step& s : steps) {
    Key(s.key);
    EXPECT_EQ(FocusName(), s.focus) << "step " << i;
    EXPECT_EQ(marks(), s.marks) << "step " << i;
    EXPECT_EQ(g->Expanded(), s.gExpanded) << "step " << i;
    EXPECT_EQ(p->Expanded(), s.pExpanded) << "step " << i;
    ++i;
  }
  EXPECT_EQ(checkedEvents, 3);

  // Collapsing with the focus inside moves it to the collapsed node; a veto keeps it open.
  tree.Model().SetFocused(nodes.at(L"O2"));
  tree.OnCollapsing = [](TreeNode*) { return false; };
  Key(VK_LEFT);
  EXPECT_EQ(FocusName(), L"G");
  Key(VK_LEFT);
  EXPECT_TRUE(g->Expanded());
  tree.OnCollapsing = nullptr;
  tree.Model().SetFocused(nodes.at(L"O2"));
  Key(VK_SUBTRACT);
  EXPECT_TRUE(g->Expanded()) << "+/- act on the focused node, which has no children";
}

TEST_F(VirtualTreeTest, Mouse) {
  TreeNode* g = Add(L"G", nullptr, CheckType::TriStateCheckBox);
  TreeNode* o1 = Add(L"O1", g, CheckType::CheckBox);
  TreeNode* o2 = Add(L"O2", g, CheckType::CheckBox);
  TreeNode* p = Add(L"P", nullptr, CheckType::None, L"second");
  Add(L"P1", p, CheckType::None);
  tree.SetColumns({{L"", 120, DT_LEFT, false}, {L"", 100, DT_LEFT, false}});
  tree.Model().SetExpanded(g, true);
  Pump();

  std::vector<TreeNode*> checked, clicked, collapsing;
  std::vector<std::pair<ui::MouseButton, TreeNode*>> downs;
  tree.OnChecked = [&](TreeNode* n) { checked.push_back(n); };
  tree.OnClick = [&](const ui::TreeHit& h) { clicked.push_back(h.node); };
  tree.OnMouseDown = [&](ui::MouseButton b, const ui::TreeHit& h) { downs.push_back({b, h.node}); };
  bool allowCollapse = false;
  tree.OnCollapsing = [&](TreeNode* n) {
    collapsing.push_back(n);
    return allowCollapse;
  };

  // Press and release on a check box: pressed while held, toggled on release.
  POINT box = Center(Part(L"O2", &ui::TreeNodeRects::check));
  ui::TreeHit hit = tree.HitTest(box);
  EXPECT_EQ(hit.node, o2);
  EXPECT_TRUE(hit.onCheck);
  EXPECT_FALSE(hit.onText);
  SendMessageW(tree.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, At(box));
  EXPECT_EQ(o2->CheckState(), CheckState::UncheckedPressed);
  SendMessageW(tree.Handle(), WM_LBUTTONUP, 0, At(box));
  EXPECT_EQ(o2->CheckState(), CheckState::Checked);
  EXPECT_EQ(g->CheckState(), CheckState::Mixed);
  EXPECT_EQ(checked, std::vector<TreeNode*>{o2});
  EXPECT_TRUE(clicked.empty()) << "a check box click is not a row click";

  // Released away from the box: nothing changes.
  SendMessageW(tree.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, At(box));
  SendMessageW(tree.Handle(), WM_LBUTTONUP, 0, At(Center(Part(L"P", &ui::TreeNodeRects::text))));
  EXPECT_EQ(o2->CheckState(), CheckState::Checked);
  EXPECT_EQ(checked.size(), 1u);

  // The group's box passes its new state down.
  Click(Center(Part(L"G", &ui::TreeNodeRects::check)));
  EXPECT_EQ(o1->CheckState(), CheckState::Checked);
  EXPECT_EQ(g->CheckState(), CheckState::Checked);

  // A vetoed collapse stays expanded; an allowed one collapses.
  POINT button = Center(Part(L"G", &ui::TreeNodeRects::button));
  EXPECT_TRUE(tree.HitTest(button).onButton);
  Click(button);
  EXPECT_TRUE(g->Expanded());
  EXPECT_EQ(collapsing, std::vector<TreeNode*>{g});
  allowCollapse = true;
  Click(button);
  EXPECT_FALSE(g->Expanded());
  Click(button);
  EXPECT_TRUE(g->Expanded()) << "expanding asks nothing";
  EXPECT_EQ(collapsing.size(), 2u);

  // A click on a row's text focuses it and is reported; a double click expands.
  POINT text = Center(Part(L"P", &ui::TreeNodeRects::text));
  hit = tree.HitTest(text);
  EXPECT_TRUE(hit.onText);
  EXPECT_EQ(hit.column, 0);
  EXPECT_LE(hit.textLeft, text.x);
  EXPECT_GE(hit.textRight, text.x);
  Click(text);
  EXPECT_EQ(tree.Model().Focused(), p);
  EXPECT_EQ(clicked, std::vector<TreeNode*>{p});
  Click(text, WM_LBUTTONDBLCLK);
  EXPECT_TRUE(p->Expanded());

  // The second column, beyond the text, below the rows.
  POINT inSecond{125, text.y};
  hit = tree.HitTest(inSecond);
  EXPECT_EQ(hit.column, 1);
  EXPECT_EQ(hit.node, p);
  EXPECT_FALSE(tree.HitTest(POINT{110, text.y}).onText);
  EXPECT_EQ(tree.HitTest(POINT{10, 190}).node, nullptr);

  SendMessageW(tree.Handle(), WM_RBUTTONDOWN, MK_RBUTTON, At(inSecond));
  ASSERT_FALSE(downs.empty());
  EXPECT_EQ(downs.back().first, ui::MouseButton::Right);
  EXPECT_EQ(downs.back().second, p);
}

TEST_F(VirtualTreeTest, ScrollingAndHeader) {
  for (int i = 0; i < 1000; ++i) Add(L"n" + std::to_wstring(i), nullptr, CheckType::CheckBox);
  tree.Model().SetFocused(nodes.at(L"n0"));
  Pump();
  int page = tree.PageRows();
  ASSERT_GT(page, 3);
  ASSERT_LT(page, 20);

  Key(VK_END);
  EXPECT_EQ(FocusName(), L"n999");
  EXPECT_EQ(tree.TopRow(), 1000 - page);
  EXPECT_EQ(tree.HitTest(POINT{40, (page - 1) * tree.RowHeight() + 2}).node, nodes.at(L"n999"));

  UINT lines = 3;
  SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
  SendMessageW(tree.Handle(), WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
  EXPECT_EQ(tree.TopRow(), 1000 - page - static_cast<int>(lines));
  SendMessageW(tree.Handle(), WM_VSCROLL, SB_TOP, 0);
  EXPECT_EQ(tree.TopRow(), 0);
  SendMessageW(tree.Handle(), WM_VSCROLL, SB_PAGEDOWN, 0);
  EXPECT_EQ(tree.TopRow(), page);
  Key(VK_HOME);
  EXPECT_EQ(tree.TopRow(), 0);
  Key(VK_NEXT);
  EXPECT_EQ(FocusName(), L"n" + std::to_wstring(page));
  SendMessageW(tree.Handle(), WM_VSCROLL, SB_BOTTOM, 0);
  EXPECT_EQ(tree.TopRow(), 1000 - page);

  tree.SetRowHeight(30);
  EXPECT_LT(tree.PageRows(), page);

  // With a header the rows start below it; the auto-size column fills the width.
  tree.SetColumns({{L"项目", 120, DT_LEFT, true}, {L"值", 60, DT_RIGHT, false}});
  tree.SetAutoSizeColumn(1);
  tree.SetHeaderVisible(true);
  SendMessageW(tree.Handle(), WM_VSCROLL, SB_TOP, 0);
  Pump();
  ui::TreeNodeRects r{};
  ASSERT_TRUE(tree.NodeRects(nodes.at(L"n0"), r));
  EXPECT_GT(r.row.top, 0);
  EXPECT_EQ(tree.HitTest(POINT{40, 2}).node, nullptr) << "on the header";
  EXPECT_EQ(tree.HitTest(POINT{40, r.row.top + 1}).node, nodes.at(L"n0"));
  RECT client;
  GetClientRect(tree.Handle(), &client);
  EXPECT_EQ(tree.ColumnWidth(0) + tree.ColumnWidth(1), client.right);
  // The header's titles are drawn: its custom-draw questions to the tree are answered.
  HWND header = FindWindowExW(tree.Handle(), nullptr, WC_HEADERW, nullptr);
  ASSERT_TRUE(header);
  EXPECT_GT(DarkPixels(header), 10);

  tree.Model().Clear();
  EXPECT_EQ(tree.TopRow(), 0);
  Key(VK_DOWN);  // nothing to move to
  EXPECT_EQ(tree.Model().Focused(), nullptr);
}

TEST_F(VirtualTreeTest, PaintsColoursAndChecks) {
  Add(L"红色的一行", nullptr, CheckType::CheckBox);
  Add(L"普通的一行", nullptr, CheckType::CheckBox);
  tree.OnPaintText = [&](TreeNode* n, int, LOGFONTW& lf, COLORREF& c) {
    if (n == nodes.at(L"红色的一行")) {
      c = RGB(255, 0, 0);
      lf.lfWeight = FW_BOLD;
    }
  };
  Pump();

  const Printed printed = Print(tree.Handle());
  auto count = [&](const RECT& r, auto pred) {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) {
        const BYTE* px = printed.At(x, y);
        if (pred(px[2], px[1], px[0])) ++n;
      }
    return n;
  };
  auto red = [](BYTE r, BYTE g, BYTE b) { return r > 200 && g < 90 && b < 90; };
  auto dark = [](BYTE r, BYTE g, BYTE b) { return r < 160 && g < 160 && b < 160; };
  COLORREF window = GetSysColor(COLOR_WINDOW);
  auto drawn = [&](BYTE r, BYTE g, BYTE b) { return RGB(r, g, b) != window; };
  EXPECT_GT(count(Part(L"红色的一行", &ui::TreeNodeRects::text), red), 10);
  EXPECT_EQ(count(Part(L"普通的一行", &ui::TreeNodeRects::text), red), 0);
  EXPECT_GT(count(Part(L"普通的一行", &ui::TreeNodeRects::text), dark), 10);
  EXPECT_GT(count(Part(L"普通的一行", &ui::TreeNodeRects::check), drawn), 10) << "box frame";
  // The bold row's text is measured with its own font.
  RECT bold = Part(L"红色的一行", &ui::TreeNodeRects::text);
  RECT normal = Part(L"普通的一行", &ui::TreeNodeRects::text);
  EXPECT_GE(bold.right - bold.left, normal.right - normal.left);
}
