// The result model: items and their detail rows, refusal after a clean, the count text,
// 64-bit totals, and the result image list.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <vector>

#include "catalogue/ResultModel.h"

using catalogue::ResultItem;
using catalogue::ResultModel;

namespace {

struct Row {
  std::wstring text, location;
  int image;
};

std::vector<Row> DetailRows(model::TreeNode* item) {
  std::vector<Row> rows;
  for (model::TreeNode* c = item->FirstChild(); c; c = c->NextSibling()) {
    const ResultItem* r = c->DataAs<ResultItem>();
    rows.push_back({r->Text, r->Location, r->ImageIndex});
  }
  return rows;
}

}  // namespace

TEST(ResultModelTest, KeyedResultsGetTheirDetailRows) {
  struct Case {
    const char* what;
    std::wstring root, key, description, data, name;
    bool added;
    std::vector<std::wstring> labels;
  } cases[] = {
      {"default value with string data", L"HKEY_CURRENT_USER", L"Software\\A", L"说明文字", L"x",
       L"", true, {L"键值或分析结果", L"说明"}},
      {"value that is not a string", L"HKEY_LOCAL_MACHINE", L"Software\\B", L"无效", L"", L"v",
       true, {L"键名", L"说明"}},
      {"all three", L"HKEY_USERS", L"S-1\\C", L"d", L"data", L"name", true,
       {L"键名", L"键值或分析结果", L"说明"}},
      {"a whole key", L"HKEY_LOCAL_MACHINE", L"Software\\D", L"", L"", L"", true, {}},
      {"no root", L"", L"Software\\E", L"d", L"x", L"n", false, {}},
      {"no key", L"HKEY_CURRENT_USER", L"", L"d", L"x", L"n", false, {}},
  };
  for (const Case& c : cases) {
    ResultModel model;
    model::TreeNode* item = model.AddKeyedResult(c.root, c.key, 33, c.description, c.data, c.name);
    EXPECT_EQ(c.added, item != nullptr) << c.what;
    EXPECT_EQ(c.added ? 1 : 0, model.ItemCount()) << c.what;
    if (!item) continue;
    const ResultItem* r = item->DataAs<ResultItem>();
    ASSERT_NE(nullptr, r);
    EXPECT_EQ(c.root, r->Text);
    EXPECT_EQ(c.key, r->Location);
    EXPECT_EQ(c.name, r->Detail);
    EXPECT_EQ(c.data, r->ValueData);
    EXPECT_EQ(33, r->ImageIndex);
    EXPECT_TRUE(r->IsRegistryItem());
    std::vector<Row> rows = DetailRows(item);
    ASSERT_EQ(c.labels.size(), rows.size()) << c.what;
    for (size_t i = 0; i < rows.size(); ++i) {
      EXPECT_EQ(c.labels[i], rows[i].text) << c.what;
      if (rows[i].text == L"键名") {
        EXPECT_EQ(c.name, rows[i].location);
        EXPECT_EQ(19, rows[i].image);
      } else if (rows[i].text == L"键值或分析结果") {
        EXPECT_EQ(c.data, rows[i].location);
        EXPECT_EQ(20, rows[i].image);
      } else {
        EXPECT_EQ(c.description, rows[i].location);
        EXPECT_EQ(33, rows[i].image);
      }
    }
  }
}

TEST(ResultModelTest, TopLevelItemsAreCheckedFocusedAndCounted) {
  ResultModel model;
  std::vector<std::wstring> reports;
  model.OnCountText = [&](const std::wstring& t) { reports.push_back(t); };
  model::TreeNode* a = model.AddResultNode(&model.Tree(), L"a.tmp", nullptr, 7,
                                        catalogue::ResultKind::None, L"", L"C:\\Temp");
  model::TreeNode* size = model.AddResultNode(&model.Tree(), L"大小", a, 7,
                                           catalogue::ResultKind::None, L"", L"5 Byte");
  model::TreeNode* b = model.AddKeyedResult(L"HKEY_CURRENT_USER", L"K", 19, L"d", L"x", L"n");
  EXPECT_EQ(2, model.ItemCount());
  EXPECT_EQ(b, model.Tree().Focused());
  EXPECT_EQ(model::CheckType::CheckBox, a->CheckType());
  EXPECT_TRUE(model::IsChecked(a->CheckState()));
  EXPECT_EQ(model::CheckType::None, size->CheckType());
  EXPECT_FALSE(a->DataAs<ResultItem>()->IsRegistryItem());
  // Detail rows report the count of top-level items, not of all nodes.
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(L" 已扫描到: 1个清理项", reports[1]);
  EXPECT_EQ(L" 已扫描到: 2个清理项", reports.back());
  // Without a tree nothing is added.
  EXPECT_EQ(nullptr,
            model.AddResultNode(nullptr, L"x", nullptr, 1, catalogue::ResultKind::None, L"", L""));
  model.Clear();
  EXPECT_EQ(0, model.ItemCount());
  EXPECT_EQ(L" 已扫描到: 0个清理项", reports.back());
}

// The kind is the item's own; its text is what listings have always shown.
TEST(ResultModelTest, KindsKeepTheirTextAndACopiedItemKeepsEverything) {
  using K = catalogue::ResultKind;
  struct Case {
    K kind;
    const wchar_t* text;
  } cases[] = {{K::None, L""},           {K::File, L"文件"},
               {K::Folder, L"目录"},     {K::Shortcut, L"LnkFile"},
               {K::IECache, L"IECache"}, {K::ChromeDatabase, L"Google Chrome"},
               {K::IniValue, L"other"},  {K::Configuration, L"other"}};
  for (const Case& c : cases) EXPECT_EQ(std::wstring(c.text), catalogue::KindText(c.kind));
  ResultModel model;
  model::TreeNode* key = model.AddKeyedResult(L"HKEY_CURRENT_USER", L"K", 19, L"d", L"data", L"n");
  model::TreeNode* copy = model.AddResultItem(&model.Tree(), nullptr, *key->DataAs<ResultItem>());
  ASSERT_NE(nullptr, copy);
  const ResultItem* r = copy->DataAs<ResultItem>();
  EXPECT_TRUE(r->IsRegistryItem());
  EXPECT_EQ(L"data", r->ValueData);
  EXPECT_EQ(L"n", r->Detail);
  // A file whose name reads like a registry root is still a file.
  model::TreeNode* file = model.AddResultNode(&model.Tree(), L"HKEY_CLASSES_ROOT.txt", nullptr, 6,
                                           K::File, L"", L"C:\\Temp");
  EXPECT_FALSE(file->DataAs<ResultItem>()->IsRegistryItem());
}

TEST(ResultModelTest, NothingIsAddedOnceCleaned) {
  ResultModel model;
  model.AddResultNode(&model.Tree(), L"a", nullptr, 1, catalogue::ResultKind::None, L"", L"");
  model.SetCleaned();
  EXPECT_EQ(nullptr, model.AddResultNode(&model.Tree(), L"b", nullptr, 1,
                                         catalogue::ResultKind::None, L"", L""));
  EXPECT_EQ(nullptr, model.AddKeyedResult(L"HKEY_CURRENT_USER", L"K", 1, L"d", L"x", L"n"));
  EXPECT_EQ(1, model.ItemCount());
  EXPECT_TRUE(model.Cleaned());
}

TEST(ResultModelTest, SizeTotalIsSixtyFourBit) {
  ResultModel model;
  const std::int64_t big = 3LL * 1024 * 1024 * 1024;  // a file over 2 GiB
  model.AddSize(big);
  model.AddSize(big);
  model.AddSize(1);
  EXPECT_EQ(2 * big + 1, model.SizeTotal());
  model.ResetSize();
  EXPECT_EQ(0, model.SizeTotal());
}

TEST(ResultModelTest, ImageListCopiesTheOptionsAndAppendsAfterThem) {
  HIMAGELIST options = ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 4, 4);
  HICON icon = LoadIconW(nullptr, IDI_APPLICATION);
  for (int i = 0; i < 3; ++i) ImageList_AddIcon(options, icon);
  ResultModel model;
  model.Images().Reset(options);
  EXPECT_EQ(3, model.Images().Count());
  EXPECT_EQ(3, model.Images().Append(icon));
  EXPECT_EQ(4, model.Images().Append(icon));
  EXPECT_EQ(-1, model.Images().Append(nullptr));
  // A new scan starts again from the option icons.
  model.Images().Reset(options);
  EXPECT_EQ(3, model.Images().Count());
  ImageList_Destroy(options);
}

// Each kind of finding keeps its rows in its record: the tree holds one node per finding
// until it is opened, shows the rows as nodes while it is open, and drops them again.
TEST(ResultModelTest, DetailRowsAreAnsweredFromTheRecord) {
  using K = catalogue::ResultKind;
  using Add = model::TreeNode* (*)(ResultModel&);
  struct Case {
    const char* what;
    Add add;
    std::vector<std::wstring> rows;  // "label=value@image"
    std::int64_t size;
  } cases[] = {
      {"finder's file", [](ResultModel& m) {
         model::TreeNode* n = m.AddResultNode(&m.Tree(), L"a.tmp", nullptr, 7, K::File, L"",
                                              L"C:\\Temp");
         m.AddRow(n, L"大小", L"4096 Byte", 20);
         m.AddRow(n, L"临时文件", L"建议删除", 20);
         return n;
       }, {L"大小=4096 Byte@20", L"临时文件=建议删除@20"}, 4096},
      {"folder", [](ResultModel& m) {
         model::TreeNode* n = m.AddResultNode(&m.Tree(), L"old", nullptr, 3, K::Folder, L"",
                                              L"C:\\Temp\\");
         m.AddRow(n, L"说明", L"目录", 20);
         return n;
       }, {L"说明=目录@20"}, 0},
      {"size written otherwise", [](ResultModel& m) {
         model::TreeNode* n = m.AddResultNode(&m.Tree(), L"c.log", nullptr, 7, K::None, L"",
                                              L"C:\\Logs");
         m.AddRow(n, L"大小", L"0012 Byte", 20);
         return n;
       }, {L"大小=0012 Byte@20"}, 12},
      {"registry value", [](ResultModel& m) {
         return m.AddKeyedResult(L"HKEY_CURRENT_USER", L"Software\\A", 33, L"无效", L"x", L"v");
       }, {L"键名=v@19", L"键值或分析结果=x@20", L"说明=无效@33"}, 0},
      {"event log", [](ResultModel& m) {
         model::TreeNode* n = m.AddResultNode(&m.Tree(), L"应用程序", nullptr, 30, K::EventLog,
                                              L"Application", L"共有9条日志记录");
         m.AddRow(n, L"大小", L"65536 Byte", 20);
         m.AddRow(n, L"日志名", L"Application", 20);
         return n;
       }, {L"大小=65536 Byte@20", L"日志名=Application@20"}, 65536},
  };
  for (const Case& c : cases) {
    ResultModel model;
    model.AddResultNode(&model.Tree(), L"first.tmp", nullptr, 7, K::File, L"", L"C:\\Temp");
    model::TreeNode* item = c.add(model);
    ASSERT_NE(nullptr, item) << c.what;
    const ResultItem* record = item->DataAs<ResultItem>();
    EXPECT_EQ(c.size, record->Size) << c.what;
    std::vector<std::wstring> answered;
    for (const ResultItem& r : ResultModel::RowsOf(*record))
      answered.push_back(r.Text + L"=" + r.Location + L"@" + std::to_wstring(r.ImageIndex));
    EXPECT_EQ(c.rows, answered) << c.what;
    model::TreeModel& tree = model.Tree();
    EXPECT_EQ(2u, tree.MadeNodeCount()) << c.what;  // collapsed: no row nodes
    EXPECT_EQ(2 + c.rows.size(), tree.NodeCount()) << c.what;
    EXPECT_EQ(c.rows.size(), item->ChildCount()) << c.what;
    tree.SetExpanded(item, true);
    EXPECT_EQ(2 + c.rows.size(), tree.MadeNodeCount()) << c.what;
    EXPECT_EQ(2 + c.rows.size(), tree.VisibleRowCount()) << c.what;
    std::vector<std::wstring> shown;
    for (std::size_t i = 2; i < tree.VisibleRowCount(); ++i) {
      const ResultItem* r = tree.VisibleRow(i)->DataAs<ResultItem>();
      shown.push_back(r->Text + L"=" + r->Location + L"@" + std::to_wstring(r->ImageIndex));
    }
    EXPECT_EQ(c.rows, shown) << c.what;
    tree.SetExpanded(item, false);
    EXPECT_EQ(2u, tree.MadeNodeCount()) << c.what;
    EXPECT_EQ(2u, tree.VisibleRowCount()) << c.what;
  }
}

// A row added to an open item shows at once; a copied record brings its rows along.
TEST(ResultModelTest, RowsFollowTheRecord) {
  ResultModel model;
  model::TreeNode* a = model.AddResultNode(&model.Tree(), L"a.tmp", nullptr, 7,
                                           catalogue::ResultKind::File, L"", L"C:\\Temp");
  model.Tree().SetExpanded(a, true);
  model.AddRow(a, L"临时文件", L"建议删除", 20);
  EXPECT_EQ(2u, model.Tree().VisibleRowCount());
  model.AddRow(a, L"说明", L"x", 20);
  EXPECT_EQ(3u, model.Tree().VisibleRowCount());
  ResultItem copy = *a->DataAs<ResultItem>();
  model.Clear();
  model::TreeNode* again = model.AddResultItem(&model.Tree(), nullptr, copy);
  EXPECT_EQ(1u, model.Tree().MadeNodeCount());
  EXPECT_EQ(3u, model.Tree().NodeCount());
  ASSERT_NE(nullptr, again->FirstChild());  // walking makes them
  EXPECT_EQ(L"临时文件", again->FirstChild()->DataAs<ResultItem>()->Text);
  EXPECT_EQ(L"x", again->LastChild()->DataAs<ResultItem>()->Location);
}
