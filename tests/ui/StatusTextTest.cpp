// The status bar keeps only the latest text of a panel until the next pump, and nobody who
// asks it or sets it directly can tell.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "ui/Widgets.h"

namespace {

// The window's pumps over a while: as long as a text may wait for its turn.
void Pump(DWORD millis = 150) {
  const DWORD start = GetTickCount();
  do {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(5);
  } while (GetTickCount() - start < millis);
}

// Texts the bar itself takes, counted below the text keeper.
WNDPROC g_barProc = nullptr;
int g_taken = 0;
LRESULT CALLBACK CountingProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == SB_SETTEXTW) ++g_taken;
  return CallWindowProcW(g_barProc, hwnd, msg, wp, lp);
}

class StatusTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    frame = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 400, 100, nullptr,
                            nullptr, GetModuleHandleW(nullptr), nullptr);
    bar = NewBar();
  }
  void TearDown() override { DestroyWindow(frame); }

  HWND NewBar() {
    HWND b = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, frame,
                             nullptr, GetModuleHandleW(nullptr), nullptr);
    int parts[2] = {200, -1};
    SendMessageW(b, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
    return b;
  }
  // What the bar itself holds, asked past the text keeper.
  std::wstring Shown(int panel) {
    wchar_t text[128] = L"";
    auto proc = reinterpret_cast<WNDPROC>(GetClassLongPtrW(bar, GCLP_WNDPROC));
    CallWindowProcW(proc, bar, SB_GETTEXTW, panel, reinterpret_cast<LPARAM>(text));
    return text;
  }
  std::wstring Asked(HWND b, int panel) {
    wchar_t text[128] = L"";
    SendMessageW(b, SB_GETTEXTW, panel, reinterpret_cast<LPARAM>(text));
    return text;
  }

  HWND frame = nullptr, bar = nullptr;
};

TEST_F(StatusTextTest, OnlyTheLatestTextReachesTheBarAtThePump) {
  ui::SetStatusText(bar, 0, L"first");
  Pump();
  for (int i = 0; i < 100; ++i) ui::SetStatusText(bar, 0, L"file " + std::to_wstring(i));
  ui::SetStatusText(bar, 1, L"count");
  EXPECT_EQ(L"first", Shown(0));
  EXPECT_EQ(L"", Shown(1));
  Pump();
  EXPECT_EQ(L"file 99", Shown(0));
  EXPECT_EQ(L"count", Shown(1));
}

TEST_F(StatusTextTest, ABusyRunGivesTheBarAFewTextsASecond) {
  g_barProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingProc)));
  g_taken = 0;
  const DWORD start = GetTickCount();
  for (int i = 0; GetTickCount() - start < 500; ++i) {
    ui::SetStatusText(bar, 0, L"file " + std::to_wstring(i));
    Pump(0);
  }
  Pump();
  EXPECT_GE(g_taken, 2);
  EXPECT_LE(g_taken, 8);
}

TEST_F(StatusTextTest, ReadersAndDirectSettersSeeTheLatestText) {
  ui::SetStatusText(bar, 0, L"held");
  EXPECT_EQ(L"held", Asked(bar, 0));  // no pump in between
  ui::SetStatusText(bar, 0, L"held again");
  ui::SetStatusText(bar, 1, L"other panel");
  SendMessageW(bar, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(L"direct"));
  Pump();
  EXPECT_EQ(L"direct", Asked(bar, 0));
  EXPECT_EQ(L"other panel", Asked(bar, 1));
}

TEST_F(StatusTextTest, ABarDestroyedWithATextHeldLeavesTheNextBarWorking) {
  ui::SetStatusText(bar, 0, L"never shown");
  DestroyWindow(bar);
  Pump();
  ui::SetStatusText(bar, 0, L"to a window that is gone");
  bar = NewBar();
  ui::SetStatusText(bar, 0, L"new bar");
  Pump();
  EXPECT_EQ(L"new bar", Shown(0));
}

}  // namespace
