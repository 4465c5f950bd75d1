// The notes feed on the home page: "官方日志" rows with their colours and links, the usage
// note, damaged feeds, and the opener that only ever opens web addresses.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/IniPackage.h"
#include "app/NotesFeed.h"
#include "app/Statistics.h"
#include "stand-ins/LogCodec.h"
#include "machine/Seams.h"
#include "machine/TarnGetOSInfo.h"
#include "sys/Text.h"
#include "tests/app/FormFixture.h"

namespace {

std::string Gbk(const std::wstring& s) {
  int n = WideCharToMultiByte(936, 0, s.data(), int(s.size()), nullptr, 0, nullptr, nullptr);
  std::string r(size_t(n), '\0');
  WideCharToMultiByte(936, 0, s.data(), int(s.size()), &r[0], n, nullptr, nullptr);
  return r;
}

// Every address the shell or Internet Explorer was asked to open.
struct Opened {
  std::vector<std::wstring> shell, explorer;
  INT_PTR shellResult = 42;
};

class NotesFeedTest : public testsupport::FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    machine::Seams().shellOpen = [this](const std::wstring& a) {
      opened.shell.push_back(a);
      return opened.shellResult;
    };
    machine::Seams().shellOpenWith = [this](const std::wstring& program, const std::wstring& a) {
      opened.explorer.push_back(program + L" " + a);
      return true;
    };
  }
  // Writes the feed in its stored form and loads it as FormShow does.
  void Feed(const std::wstring& ini) { FeedBytes(halvane::EncodeLog(Gbk(ini))); }
  void FeedBytes(const std::string& stored) {
    sandbox.file(L"Log.dat", stored);
    form->LoadNotesFeed();
  }
  model::TreeNode* Row(int i) {
    model::TreeNode* n = form->vtLog.Model().FirstTopLevel();
    for (int k = 0; k < i && n; ++k) n = model::TreeModel::NextInTree(n);
    return n;
  }
  ui::TreeHit HitAt(model::TreeNode* node, int dxFromTextRight) {
    ui::TreeNodeRects r;
    EXPECT_TRUE(form->vtLog.NodeRects(node, r));
    int x = dxFromTextRight < 0 ? r.text.left + 3 : r.text.right + dxFromTextRight;
    return form->vtLog.HitTest(POINT{x, (r.text.top + r.text.bottom) / 2});
  }
  // A press and release of the left button, as the tree receives it.
  void ClickAt(const ui::TreeHit& hit) {
    LPARAM at = MAKELPARAM(hit.pt.x, hit.pt.y);
    SendMessageW(form->vtLog.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageW(form->vtLog.Handle(), WM_LBUTTONUP, 0, at);
  }
  void Paint(model::TreeNode* node, LOGFONTW& font, COLORREF& color) {
    font = LOGFONTW{};
    color = RGB(1, 2, 3);  // stands for the tree's normal colour
    form->vtLog.OnPaintText(node, 0, font, color);
  }
  machine::ScopedSeams seams;
  Opened opened;
};

const wchar_t kFeed[] =
    L"[Sorvex]\r\n"
    L"新版发布|clRed=http://a.example/new\r\n"
    L"两|竖|线=http://b.example/\r\n"
    L"没有网址|clTeal=见帮助文件\r\n"
    L"默认颜色=https://c.example/\r\n";

}  // namespace

TEST_F(NotesFeedTest, RowsShowTitlesInKeyOrderUnderTheHeaderWithTheirColours) {
  Feed(kFeed);
  EXPECT_EQ(L"官方日志\r\n\t新版发布\r\n\t两\r\n\t没有网址\r\n\t默认颜色\r\n", TreeText(L"VTLog"));
  model::TreeNode* header = Row(0);
  EXPECT_TRUE(header->Expanded());
  struct {
    int row;
    COLORREF color;
    bool underline, bold;
  } looks[] = {{0, RGB(0, 0, 128), false, true},    {1, RGB(255, 0, 0), true, false},
               {2, RGB(1, 2, 3), true, false},      {3, RGB(0, 128, 128), true, false},
               {4, RGB(0, 128, 0), true, false}};
  for (const auto& l : looks) {
    LOGFONTW font;
    COLORREF color;
    Paint(Row(l.row), font, color);
    EXPECT_EQ(l.color, color) << "row " << l.row;
    EXPECT_EQ(l.underline, font.lfUnderline != 0) << "row " << l.row;
    EXPECT_EQ(l.bold, font.lfWeight >= FW_BOLD) << "row " << l.row;
  }
  // The header stays open whatever the user does.
  EXPECT_FALSE(form->vtLog.Expand(header, false));
  EXPECT_TRUE(header->Expanded());
}

TEST_F(NotesFeedTest, OnlyTheTextOfARowIsItsLinkAndOnlyWebAddressesOpen) {
  Feed(kFeed);
  HCURSOR hand = LoadCursorW(nullptr, IDC_HAND), arrow = LoadCursorW(nullptr, IDC_ARROW);
  struct {
    int row;
    int dx;  // -1: on the text, else pixels right of it
    bool hand;
    const wchar_t* opens;  // null: nothing
  } cases[] = {{1, -1, true, L"http://a.example/new"},
               {1, 6, false, nullptr},
               {2, -1, true, L"http://b.example/"},
               {3, -1, true, nullptr},  // the hand, but the value is no address
               {4, -1, true, L"https://c.example/"},
               {0, -1, false, nullptr}};  // the header
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "row " << c.row << " dx " << c.dx);
    opened.shell.clear();
    ui::TreeHit hit = HitAt(Row(c.row), c.dx);
    ASSERT_EQ(Row(c.row), hit.node);
    form->VTLogMouseMove(hit);
    EXPECT_EQ(c.hand ? hand : arrow, GetCursor());
    EXPECT_EQ(c.hand ? hand : nullptr, form->vtLog.OnGetCursor(hit));
    ClickAt(hit);
    EXPECT_EQ(c.opens ? std::vector<std::wstring>{c.opens} : std::vector<std::wstring>{},
              opened.shell);
  }
  EXPECT_TRUE(opened.explorer.empty());
}

TEST_F(NotesFeedTest, CleanerNotesFillTheMemoInOrderAndLabel17OpensTheLast) {
  Feed(L"[Note]\r\n"
       L"Cleaner|第一行=http://n.example/1\r\n"
       L"cleaner|小写的不算=http://n.example/lower\r\n"
       L"Cleaner没有竖线=http://n.example/nobar\r\n"
       L"Cleaner|第二行|含竖线=http://n.example/2\r\n"
       L"Other|别的=http://n.example/other\r\n");
  EXPECT_EQ(L"第一行\r\n第二行|含竖线", testsupport::TextOf(form->Component(L"NoteMemo")));
  EXPECT_EQ(L"使用说明", testsupport::TextOf(form->Component(L"Label16")));
  EXPECT_EQ(L"了解详情", testsupport::TextOf(form->Component(L"Label17")));
  EXPECT_EQ(0, SendMessageW(form->Component(L"NoteMemo"), EM_GETFIRSTVISIBLELINE, 0, 0));
  EXPECT_EQ(L"", TreeText(L"VTLog"));
  Click(app::idLabel17, L"Label17");
  EXPECT_EQ(std::vector<std::wstring>{L"http://n.example/2"}, opened.shell);

  // A note whose address is a program: Label17 shows, but its click opens nothing.
  opened.shell.clear();
  Feed(L"[Note]\r\nCleaner|看说明=C:\\Windows\\notepad.exe\r\n");
  Click(app::idLabel17, L"Label17");
  EXPECT_TRUE(opened.shell.empty());

  // The memo never keeps the focus; Label13 opens the product's site.
  SetFocus(form->Component(L"NoteMemo"));
  EXPECT_EQ(form->Component(L"Panel3"), GetFocus());
  Click(app::idLabel13, L"Label13");
  EXPECT_EQ(std::vector<std::wstring>{app::kProductSite}, opened.shell);
}

TEST_F(NotesFeedTest, NoFeedOrAFailingLibraryLeavesThePanelsEmpty) {
  auto expectEmpty = [this](const char* what) {
    EXPECT_EQ(L"", TreeText(L"VTLog")) << what;
    EXPECT_EQ(L"", testsupport::TextOf(form->Component(L"NoteMemo"))) << what;
    EXPECT_EQ(L"", testsupport::TextOf(form->Component(L"Label16"))) << what;
    EXPECT_EQ(L"", testsupport::TextOf(form->Component(L"Label17"))) << what;
  };
  const std::wstring full = std::wstring(kFeed) + L"[Note]\r\nCleaner|一行=http://n.example/\r\n";
  expectEmpty("no Log.dat at start");
  int calls = 0;
  form->getMemIniFile = [&](const char*, app::TStreamIniFile*&) { return ++calls, true; };
  form->LoadNotesFeed();
  EXPECT_EQ(0, calls) << "a missing file is not handed to the library";
  // The library fills the object and still reports failure: nothing of it is shown.
  form->getMemIniFile = [&](const char*, app::TStreamIniFile*& ini) {
    ini->SetStrings({L"[Sorvex]", L"标题=http://x.example/"});
    return false;
  };
  Feed(full);
  expectEmpty("a failing library");
  // A library that raises leaves the object as it was when it raised.
  form->getMemIniFile = [&](const char*, app::TStreamIniFile*& ini) -> bool {
    ini->SetStrings({L"[Sorvex]", L"标题=http://x.example/"});
    throw std::runtime_error("decoder");
  };
  Feed(full);
  EXPECT_EQ(L"官方日志\r\n\t标题\r\n", TreeText(L"VTLog"));
}

TEST_F(NotesFeedTest, DamagedOrHostileFeedsShowNothingOrABoundedPart) {
  std::string good = halvane::EncodeLog(Gbk(std::wstring(kFeed)));
  std::wstring longValue(100000, L'长');
  std::wstring many = L"[Sorvex]\r\n[Note]\r\n";
  for (int i = 0; i < 1000; ++i) many.insert(10, L"t" + std::to_wstring(i) + L"=http://m/\r\n");
  for (int i = 0; i < 1000; ++i) many += L"Cleaner|" + std::to_wstring(i) + L"\r\n";
  std::string huge;
  while (huge.size() < (10u << 20)) huge += "[Sorvex]\r\nentry=http://h.example/\r\n";
  struct {
    const char* what;
    std::string stored;
    size_t rows, notes;  // rows of VTLog (header included), lines of the memo
  } cases[] = {
      {"empty file", "", 0, 0},
      {"truncated", good.substr(0, good.size() - 7), 0, 0},
      {"header only", good.substr(0, 16), 0, 0},
      {"wrong header", "X" + good.substr(1), 0, 0},
      {"wrong checksum", good.substr(0, 12) + std::string(4, '\0') + good.substr(16), 0, 0},
      {"plain INI text", Gbk(kFeed), 0, 0},
      {"10 MB of text", halvane::EncodeLog(huge), 0, 0},
      {"lines without =", halvane::EncodeLog("[Sorvex]\r\njust text\r\n[Note]\r\nCleaner|x\r\n"), 2, 1},
      {"invalid GBK", halvane::EncodeLog("[Sorvex]\r\n\x81\xFF\xFE\x80=\xFF\r\n[Note]\r\nCleaner|\x81"), 2, 1},
      {"100,000-character values",
       halvane::EncodeLog(Gbk(L"[Sorvex]\r\n长=http://l.example/" + longValue + L"\r\n" + longValue +
                              L"=x\r\n[Note]\r\nCleaner|" + longValue + L"=http://l/" + longValue)),
       3, 1},
      {"a thousand entries", halvane::EncodeLog(Gbk(many)), 1 + app::kMaxLogEntries,
       app::kMaxNoteLines},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FeedBytes(c.stored);
    model::TreeModel& tree = form->vtLog.Model();
    EXPECT_EQ(c.rows, tree.NodeCount());
    std::wstring memo = testsupport::TextOf(form->Component(L"NoteMemo"));
    size_t lines = memo.empty() ? 0 : 1;
    for (size_t p = memo.find(L"\r\n"); p != std::wstring::npos; p = memo.find(L"\r\n", p + 2))
      ++lines;
    EXPECT_EQ(c.notes, lines);
    EXPECT_LE(memo.size(), app::kMaxNoteLines * (app::kMaxNoteChars + 2));
    for (model::TreeNode* n = tree.FirstTopLevel(); n; n = model::TreeModel::NextInTree(n)) {
      const app::LogEntry* e = n->DataAs<app::LogEntry>();
      ASSERT_NE(nullptr, e);
      EXPECT_LE(e->Title.size(), app::kMaxTitleChars);
      EXPECT_LE(e->Link.size(), app::kMaxLinkChars);
    }
  }
  // The address of 100,000 characters is dropped, not cut into another address.
  FeedBytes(cases[9].stored);
  EXPECT_EQ(L"", form->vtLog.Model().FirstTopLevel()->FirstChild()->DataAs<app::LogEntry>()->Link);
  EXPECT_EQ(L"", form->label17Link);
}

TEST_F(NotesFeedTest, TheShippedFeedLoadsThroughTheLibrary) {
  form->notesFeedFile = app::ProgramFolderFile(L"Log.dat");
  form->LoadNotesFeed();
  model::TreeNode* header = form->vtLog.Model().FirstTopLevel();
  ASSERT_NE(nullptr, header);
  EXPECT_GE(header->ChildCount(), 3u);
  const app::LogEntry* first = header->FirstChild()->DataAs<app::LogEntry>();
  EXPECT_EQ(L"clRed", first->Colour);
  EXPECT_TRUE(app::IsWebAddress(first->Link));
  EXPECT_EQ(L"使用说明", testsupport::TextOf(form->Component(L"Label16")));
  EXPECT_TRUE(app::IsWebAddress(form->label17Link));
}

TEST_F(NotesFeedTest, TheOpenerTriesTheShellThenInternetExplorerForWebAddressesOnly) {
  std::wstring savedIe = machine::InternetExplorerPath;
  struct {
    const wchar_t* address;
    INT_PTR shellResult;
    const wchar_t* ie;
    size_t shellCalls, explorerCalls;
  } cases[] = {
      {L"http://a.example/", 42, L"C:\\IE\\iexplore.exe", 1, 0},
      {L"HTTPS://A.example/x?y=1", 33, L"", 1, 0},
      {L"https://a.example/", 32, L"C:\\IE\\iexplore.exe", 1, 1},
      {L"http://a.example/", 2, L"", 1, 0},
      {L"C:\\Windows\\System32\\cmd.exe", 42, L"C:\\IE\\iexplore.exe", 0, 0},
      {L"file:///C:/Windows/notepad.exe", 42, L"", 0, 0},
      {L"cmd /c http://a.example/", 42, L"", 0, 0},
      {L"http://", 42, L"", 0, 0},
      {L"http://a.example/\" -extoff", 2, L"C:\\IE\\iexplore.exe", 0, 0},
      {L"http://a.example/ x", 2, L"C:\\IE\\iexplore.exe", 0, 0},
      {L"", 42, L"", 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(sys::ToUtf8(c.address));
    opened = Opened{};
    opened.shellResult = c.shellResult;
    machine::InternetExplorerPath = c.ie;
    app::OpenUrl(c.address);
    EXPECT_EQ(c.shellCalls, opened.shell.size());
    ASSERT_EQ(c.explorerCalls, opened.explorer.size());
    if (c.explorerCalls) {
      EXPECT_EQ(std::wstring(c.ie) + L" " + c.address, opened.explorer[0]);
    }
  }
  machine::InternetExplorerPath = savedIe;
}
