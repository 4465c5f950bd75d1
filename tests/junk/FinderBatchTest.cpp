// The finder's hand-over in batches: where batches are cut, the order across them, and a
// stop or a clean that comes in the middle of one. Batches are cut by count only here
// (BatchMillis lengthened), so that every run cuts them at the same findings.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "junk/FindInvalidFiles.h"
#include "sys/FileSearch.h"
#include "tests/support/Sandbox.h"

namespace {

constexpr int kFiles = 600;  // two full batches and a partial one
constexpr DWORD kNoTimeLimit = 0xFFFFFFFF;

class FinderBatchTest : public ::testing::Test {
 protected:
  FinderBatchTest() {
    folders.windows = sandbox / L"Windows";
    folders.system = sandbox / L"Windows\\System32";
    folders.temp = sandbox / L"Temp\\";
    for (int i = 0; i < kFiles; ++i)
      sandbox.file(L"Temp\\many\\f" + std::to_wstring(i) + L".tmp", std::string(SizeOf(i), 'x'));
  }
  ~FinderBatchTest() override {
    if (listener_) results.Tree().Unsubscribe(listener_);
  }
  static int SizeOf(int i) { return 1 + i % 7; }
  static int IndexOf(const std::wstring& name) { return std::stoi(name.substr(1)); }

  std::unique_ptr<junk::TFindInvalidFiles> Finder(DWORD batchMillis = kNoTimeLimit) {
    auto f = std::make_unique<junk::TFindInvalidFiles>(
        results, folders, 6, [this](const std::wstring& s) {
          statuses.push_back(s);
          batchStarts.push_back(results.ItemCount());
        });
    f->CleanTempFiles = f->SkipLockedFiles = f->IncludeReadOnly = f->IncludeHidden = true;
    f->BatchMillis = batchMillis;
    return f;
  }
  void Run(junk::TFindInvalidFiles& f) {
    f.Resume();
    f.WaitFor();
    EXPECT_EQ(L"", f.FatalException());
  }
  // Calls fn after the n-th top-level item has been appended.
  void AtItem(int n, std::function<void()> fn) {
    listener_ = results.Tree().Subscribe([this, n, fn](const model::TreeChange& c) {
      if (c.kind == model::TreeChangeKind::Added && !c.node->Parent() && results.ItemCount() == n)
        fn();
    });
  }
  std::vector<std::wstring> ItemTexts() const {
    std::vector<std::wstring> out;
    for (const model::TreeNode* n = results.Tree().FirstTopLevel(); n; n = n->NextSibling())
      out.push_back(n->DataAs<catalogue::ResultItem>()->Text);
    return out;
  }

  testsupport::SandboxFolder sandbox;
  machine::Folders folders;
  catalogue::ResultModel results;
  std::vector<std::wstring> statuses;
  std::vector<int> batchStarts;  // items in the tree when a hand-over showed its status
  int listener_ = 0;
};

}  // namespace

// Full batches of kBatchSize, the rest at the end of the walk, all of it before the
// completion handler; the count text at the first finding of a hand-over and at its end.
TEST_F(FinderBatchTest, BatchesAreCutByCountAndTheLastArrivesBeforeTheEnd) {
  static_assert(junk::TFindInvalidFiles::kBatchSize == 256, "the cuts below assume 256");
  auto f = Finder();
  int atEnd = -1;
  f->OnTerminate = [&] { atEnd = results.ItemCount(); };
  std::vector<std::wstring> counts;
  results.OnCountText = [&](const std::wstring& t) { counts.push_back(t); };
  Run(*f);
  EXPECT_EQ(kFiles, atEnd);
  // The Windows temporary folder does not exist: its hand-over brings the status alone.
  EXPECT_EQ((std::vector<int>{0, 256, 512, kFiles}), batchStarts);
  std::vector<std::wstring> want;
  for (int n : {1, 256, 257, 512, 513, kFiles}) want.push_back(catalogue::ResultModel::CountText(n));
  EXPECT_EQ(want, counts);
  EXPECT_EQ(std::size_t(3 * kFiles), results.Tree().NodeCount());
}

// The tree lists the findings in the order of the walk, whether batches are cut by count
// or every finding is handed over alone.
TEST_F(FinderBatchTest, OrderIsKeptAcrossBatches) {
  std::vector<std::wstring> walked;
  for (sys::FileSearch s(sandbox / L"Temp\\many\\*.*"); s.Found(); s.Next())
    if (!s.IsDirectory()) walked.push_back(s.Name());
  ASSERT_EQ(std::size_t(kFiles), walked.size());
  for (DWORD millis : {kNoTimeLimit, DWORD(0)}) {
    SCOPED_TRACE(millis);
    results.Clear();
    auto f = Finder(millis);
    Run(*f);
    EXPECT_EQ(walked, ItemTexts());
  }
}

// A stop that comes while a hand-over adds its findings: the finding being added keeps its
// rows, nothing after it arrives, not even a status text.
TEST_F(FinderBatchTest, AStopInsideABatchHandsOverNothingAfterIt) {
  auto f = Finder();
  std::size_t statusesAtStop = 0;
  AtItem(300, [&] {
    f->Terminate();
    statusesAtStop = statuses.size();
  });
  Run(*f);
  EXPECT_TRUE(f->Finished());
  EXPECT_EQ(300, results.ItemCount());
  EXPECT_EQ(std::size_t(3 * 300), results.Tree().NodeCount());
  EXPECT_EQ(statusesAtStop, statuses.size());
}

// A clean that ends while a scan's hand-over adds its findings: the model refuses the rest
// of the batch, the refused findings' bytes are not counted.
TEST_F(FinderBatchTest, ACleanInsideAHandOverAddsNothingMore) {
  auto f = Finder();
  AtItem(100, [&] { results.SetCleaned(); });
  Run(*f);
  EXPECT_EQ(100, results.ItemCount());
  // The hundredth item came before the clean ended; its rows came after.
  EXPECT_EQ(std::size_t(3 * 99 + 1), results.Tree().NodeCount());
  std::int64_t bytes = 0;
  for (const std::wstring& name : ItemTexts()) bytes += SizeOf(IndexOf(name));
  EXPECT_EQ(bytes, f->FoundBytes);
}
