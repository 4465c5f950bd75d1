// How the tree control keeps up with a large scan: filling 100,000 result items with two
// detail rows each and painting a screen, against filling a plain std::vector with the
// same records; and painting far down a large tree against painting a small one.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "ui/VirtualTree.h"

namespace {

struct Record {
  std::wstring text, location, detail, kind;
  int image = 0;
};

constexpr int kItems = 100000;

double Now() {
  static LARGE_INTEGER freq = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(freq.QuadPart);
}

Record Item(int i) {
  return Record{
      L"file" + std::to_wstring(i) + L".tmp",
      L"C:\\Documents and Settings\\demo\\Local Settings\\Temp\\sub" + std::to_wstring(i % 97), L"",
      L"", 43};
}
Record Detail(const wchar_t* label, const std::wstring& value) {
  return Record{label, value, L"", L"", 20};
}

template <class Add>
void Fill(int items, Add add) {
  for (int i = 0; i < items; ++i) {
    add(nullptr, Item(i));
    add(reinterpret_cast<void*>(1), Detail(L"大小", std::to_wstring(i * 37) + L" Byte"));
    add(reinterpret_cast<void*>(1), Detail(L"说明", L"临时文件"));
  }
}

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

void PaintNow(HWND hwnd) { RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); }

void SetUp(ui::VirtualTree& tree, HWND host) {
  tree.Create(host, 1, 0, 0, 640, 480);
  tree.SetColumns({{L"项目", 186, DT_LEFT, false}, {L"值", 298, DT_LEFT, false}});
  tree.SetHeaderVisible(true);
  tree.SetFullRowSelect(true);
  tree.OnGetText = [](model::TreeNode* n, int column) {
    const Record* r = n->DataAs<Record>();
    return column == 0 ? r->text : r->location;
  };
}

// A tree filled the way the result model fills it: each item focused as it comes.
double FillTree(ui::VirtualTree& tree, int items) {
  model::TreeModel& m = tree.Model();
  model::TreeNode* last = nullptr;
  double t0 = Now();
  Fill(items, [&](void* detail, Record&& r) {
    if (detail) {
      m.Append(last, std::move(r));
    } else {
      last = m.Append(nullptr, std::move(r));
      m.SetFocused(last);
    }
  });
  Pump();
  PaintNow(tree.Handle());
  return Now() - t0;
}

// Time per screen while paging through the whole visible range.
double PagePaint(ui::VirtualTree& tree, int screens) {
  int rows = static_cast<int>(tree.Model().VisibleRowCount());
  double t0 = Now();
  for (int i = 0; i < screens; ++i) {
    tree.SetTopRow(static_cast<int>(static_cast<long long>(rows) * i / screens));
    PaintNow(tree.Handle());
  }
  return (Now() - t0) / screens;
}

}  // namespace

int main() {
  HWND host = CreateWindowExW(0, L"STATIC", L"bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 660,
                              520, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  const int rounds = 3;
  double vectorBest = 1e9, treeBest = 1e9;
  for (int round = 0; round < rounds; ++round) {
    double t0 = Now();
    {
      std::vector<Record> v;
      Fill(kItems, [&](void*, Record&& r) { v.push_back(std::move(r)); });
      vectorBest = std::min(vectorBest, Now() - t0);
    }
    ui::VirtualTree tree;
    SetUp(tree, host);
    treeBest = std::min(treeBest, FillTree(tree, kItems));
  }
  std::printf(
      "fill %d items x 3 rows + paint one screen: tree %.3f s, std::vector %.3f s, "
      "ratio %.2f\n",
      kItems, treeBest, vectorBest, treeBest / vectorBest);

  // Painting must not depend on the size of the tree or on the scroll position.
  ui::VirtualTree small, large;
  SetUp(small, host);
  SetUp(large, host);
  FillTree(small, 1000);
  FillTree(large, kItems);
  for (ui::VirtualTree* t : {&small, &large})
    for (model::TreeNode* n = t->Model().FirstTopLevel(); n; n = n->NextSibling())
      t->Model().SetExpanded(n, true);
  Pump();
  PaintNow(large.Handle());  // the row index is rebuilt here, once
  double smallPage = 1e9, largePage = 1e9;
  for (int round = 0; round < rounds; ++round) {
    smallPage = std::min(smallPage, PagePaint(small, 200));
    largePage = std::min(largePage, PagePaint(large, 200));
  }
  std::printf("scroll + paint one screen, %zu rows vs %zu rows: %.3f ms vs %.3f ms, ratio %.2f\n",
              large.Model().VisibleRowCount(), small.Model().VisibleRowCount(), largePage * 1e3,
              smallPage * 1e3, largePage / smallPage);

  DestroyWindow(host);
  return 0;
}
