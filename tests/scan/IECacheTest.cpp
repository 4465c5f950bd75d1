// The URL cache walk on real WinINet entries: the three modes, today's history only, the
// item texts, the stop, and the delete mode.
#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "browsers/IECache.h"
#include "sys/Text.h"
#include "tests/support/FakeSystem.h"
#include "tests/support/Sandbox.h"
#include "catalogue/ResultModel.h"
#include "model/TreeModel.h"

using namespace testsupport;

namespace {

bool EntryExists(const std::wstring& url) {
  DWORD size = 0;
  if (GetUrlCacheEntryInfoW(url.c_str(), nullptr, &size)) return true;
  return GetLastError() == ERROR_INSUFFICIENT_BUFFER;
}

// Where the item of an entry points: its local file, or its URL when it has none.
std::wstring ItemLocation(const std::wstring& url) {
  DWORD size = 0;
  GetUrlCacheEntryInfoW(url.c_str(), nullptr, &size);
  std::vector<BYTE> buffer(size ? size : 1);
  auto* e = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(buffer.data());
  if (!size || !GetUrlCacheEntryInfoW(url.c_str(), e, &size)) return url;
  std::wstring local = e->lpszLocalFileName ? e->lpszLocalFileName : L"";
  return local.empty() ? url : local;
}

// A cache entry with `bytes` in its local file (none for history entries). Wine's cache
// keeps no synchronisation time (it reads back as 0, which converts to no date): its
// history entries all count as today's, and the date rule is tested on its own below.
void AddEntry(const std::wstring& url, DWORD type, const wchar_t* ext, const std::string& bytes) {
  wchar_t file[MAX_PATH] = L"";
  if (ext) {
    ASSERT_TRUE(CreateUrlCacheEntryW(url.c_str(), 0, ext, file, 0)) << GetLastError();
    HANDLE h = CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    DWORD written = 0;
    if (!bytes.empty()) WriteFile(h, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(h);
  }
  FILETIME zero = {};
  ASSERT_TRUE(CommitUrlCacheEntryW(url.c_str(), ext ? file : nullptr, zero, zero, type, nullptr, 0,
                                   ext, nullptr))
      << GetLastError();
}

class IECacheTest : public SandboxTest {
 protected:
  void SetUp() override {
    tag = L"velmora" + std::to_wstring(GetCurrentProcessId());
    cookie = L"Cookie:user@" + tag + L".example/";
    today = L"Visited: user@http://" + tag + L".example/today.htm";
    page = L"http://" + tag + L".example/a/page.css";
    empty = L"http://" + tag + L".example/empty.gif";
    all = {cookie, today, page, empty};
  }
  void TearDown() override {
    for (const std::wstring& u : all) DeleteUrlCacheEntryW(u.c_str());
  }
  void Seed() {
    AddEntry(cookie, COOKIE_CACHE_ENTRY | NORMAL_CACHE_ENTRY, L"txt", "c=1");
    AddEntry(today, URLHISTORY_CACHE_ENTRY | NORMAL_CACHE_ENTRY, nullptr, "");
    AddEntry(page, NORMAL_CACHE_ENTRY, L"css", "body{}");
    AddEntry(empty, NORMAL_CACHE_ENTRY, L"gif", "");
  }
  catalogue::ScanContext Context() {
    return catalogue::ScanContext{results, folders, os, [this] { return stopNow; },
                                  [this] {
                                    ++pumps;
                                    if (onPump) onPump();
                                  },
                                  [this](const std::wstring& t) { statuses.push_back(t); }};
  }
  std::vector<std::wstring> OurUrls(bool present) {
    std::vector<std::wstring> out;
    for (const std::wstring& u : all)
      if (EntryExists(u) == present) out.push_back(u);
    return out;
  }

  UrlCacheLock lock;
  std::wstring tag, cookie, today, page, empty;
  std::vector<std::wstring> all;
  catalogue::ResultModel results;
  machine::Folders folders;
  machine::TTarnOSInfo os = FakeSystem(6, 1);
  bool stopNow = false;
  int pumps = 0;
  std::function<void()> onPump;
  std::vector<std::wstring> statuses;
};

}  // namespace

TEST_F(IECacheTest, ModesTakeTheirEntriesAndOnlyTodaysHistory) {
  Seed();
  struct Case {
    int mode;
    std::vector<std::wstring> listed;  // of ours, by URL
  } cases[] = {
      {0, {cookie, today, page, empty}},
      {1, {today, page, empty}},
      {2, {page, empty}},
      {-1, {}},
      {3, {}},
  };
  for (const Case& c : cases) {
    results.Clear();
    catalogue::ScanContext ctx = Context();
    browsers::ScanIECache(ctx, c.mode, false);
    std::vector<std::wstring> listed;
    for (const std::wstring& u : all) {
      std::wstring location = ItemLocation(u);
      for (model::TreeNode* n = results.Tree().FirstTopLevel(); n; n = n->NextSibling()) {
        const catalogue::ResultItem* r = n->DataAs<catalogue::ResultItem>();
        EXPECT_EQ(catalogue::ResultKind::IECache, r->Kind);
        if (r->Location == location) listed.push_back(u);
      }
    }
    std::sort(listed.begin(), listed.end());
    std::vector<std::wstring> expected = c.listed;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, listed) << c.mode;
  }
}

TEST_F(IECacheTest, ItemTextsRowsAndSizes) {
  Seed();
  catalogue::ScanContext ctx = Context();
  browsers::ScanIECache(ctx, 0, false);
  const std::wstring advice = L"IE缓存=若未使用浏览器的脱机浏览功能，建议删除";
  struct Case {
    std::wstring url;
    std::wstring text;  // empty: the local file's name
    int image;
    std::vector<std::wstring> rows;
  } cases[] = {
      // No local file: after the last ":" and without the leading slashes.
      {today, tag + L".example/today.htm", 10, {advice}},
      {page, L"", 45, {L"大小=6 Byte", advice}},
      {empty, L"", 40, {advice}},  // no size row at 0 bytes
  };
  std::int64_t ours = 0;
  for (const Case& c : cases) {
    std::wstring location = ItemLocation(c.url);
    model::TreeNode* item = nullptr;
    for (model::TreeNode* n = results.Tree().FirstTopLevel(); n && !item; n = n->NextSibling())
      if (n->DataAs<catalogue::ResultItem>()->Location == location) item = n;
    ASSERT_NE(nullptr, item) << sys::ToUtf8(c.url);
    const catalogue::ResultItem* r = item->DataAs<catalogue::ResultItem>();
    std::wstring text = c.text.empty() ? location.substr(location.find_last_of(L'\\') + 1) : c.text;
    EXPECT_EQ(text, r->Text);
    EXPECT_EQ(c.image, r->ImageIndex) << sys::ToUtf8(c.url);
    EXPECT_EQ(L"", r->Detail);
    std::vector<std::wstring> rows;
    for (model::TreeNode* d = item->FirstChild(); d; d = d->NextSibling()) {
      const catalogue::ResultItem* row = d->DataAs<catalogue::ResultItem>();
      rows.push_back(row->Text + L"=" + row->Location);
      EXPECT_EQ(20, row->ImageIndex);
    }
    EXPECT_EQ(c.rows, rows) << sys::ToUtf8(c.url);
    if (c.url == page) ours += 6;
    EXPECT_NE(statuses.end(), std::find(statuses.begin(), statuses.end(), L"分析: " + location));
  }
  EXPECT_GE(results.SizeTotal(), ours);
}

TEST_F(IECacheTest, StopEndsTheWalkAfterTheCurrentEntry) {
  Seed();
  onPump = [this] { stopNow = true; };
  catalogue::ScanContext ctx = Context();
  browsers::ScanIECache(ctx, 0, false);
  EXPECT_EQ(1, results.ItemCount());
}

TEST_F(IECacheTest, DeleteModeRemovesTakenEntriesAndEveryCacheItem) {
  struct Case {
    int mode;
    std::vector<std::wstring> kept;
  } cases[] = {
      {0, {}},
      {1, {cookie}},
      {2, {cookie, today}},
  };
  for (const Case& c : cases) {
    Seed();
    results.Clear();
    // Items of every kind in the list; only the cache items go.
    results.AddResultNode(&results.Tree(), L"a.css", nullptr, 45, catalogue::ResultKind::IECache,
                          L"", L"x");
    results.AddResultNode(&results.Tree(), L"b.tmp", nullptr, 7, catalogue::ResultKind::File, L"",
                          L"c:\\t");
    results.AddKeyedResult(L"HKEY_CURRENT_USER", L"Software\\IECache", 1, L"d", L"", L"v");
    catalogue::ScanContext ctx = Context();
    browsers::ScanIECache(ctx, c.mode, true);
    std::vector<std::wstring> expected = c.kept;
    std::sort(expected.begin(), expected.end());
    std::vector<std::wstring> kept = OurUrls(true);
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(expected, kept) << c.mode;
    ASSERT_EQ(2, results.ItemCount()) << c.mode;
    EXPECT_EQ(catalogue::ResultKind::File,
              results.Tree().FirstTopLevel()->DataAs<catalogue::ResultItem>()->Kind);
    bool sawDeleteStatus = false;
    for (const std::wstring& s : statuses)
      if (s == L"正在删除IE缓存：" + page) sawDeleteStatus = true;
    EXPECT_TRUE(sawDeleteStatus) << c.mode;
    for (const std::wstring& u : all) DeleteUrlCacheEntryW(u.c_str());
  }
}

TEST(IECacheRuleTest, TypesByModeAndTodaysHistoryOnly) {
  SYSTEMTIME st;
  GetSystemTime(&st);
  FILETIME now;
  SystemTimeToFileTime(&st, &now);
  auto daysAgo = [&](int days) {
    ULARGE_INTEGER t{{now.dwLowDateTime, now.dwHighDateTime}};
    t.QuadPart -= ULONGLONG(days) * 24 * 3600 * 10000000ULL;
    return FILETIME{t.LowPart, t.HighPart};
  };
  const FILETIME never = {};  // before 1980: no DOS date, counts as today
  const DWORD cookie = 0x100001, history = 0x200001, normal = 0x1, otherHistory = 0x200000;
  struct Case {
    DWORD type;
    FILETIME sync;
    bool mode0, mode1, mode2;
  } cases[] = {
      {normal, daysAgo(3), true, true, true},
      {cookie, now, true, false, false},
      {history, now, true, true, false},
      {history, daysAgo(2), false, false, false},
      {history, never, true, true, false},
      {otherHistory, daysAgo(2), false, false, false},
      {otherHistory, now, true, true, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.mode0, browsers::IECacheEntryTaken(c.type, c.sync, 0)) << std::hex << c.type;
    EXPECT_EQ(c.mode1, browsers::IECacheEntryTaken(c.type, c.sync, 1)) << std::hex << c.type;
    EXPECT_EQ(c.mode2, browsers::IECacheEntryTaken(c.type, c.sync, 2)) << std::hex << c.type;
  }
}
