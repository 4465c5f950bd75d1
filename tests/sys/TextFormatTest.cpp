// Format with the program's own texts: %s is a wide text whatever the C runtime's rule.
#include <gtest/gtest.h>

#include "sys/Text.h"

TEST(TextFormatTest, TextArgumentsAreWide) {
  struct Case {
    std::wstring got, expected;
  } cases[] = {
      {sys::Format(L"删除: %s", L"HKEY_CURRENT_USER\\键"), L"删除: HKEY_CURRENT_USER\\键"},
      {sys::Format(L"%d 个，%s。", 3, L"1.50 KB"), L"3 个，1.50 KB。"},
      {sys::Format(L"[%5s|%-4s]", L"ab", L"c"), L"[   ab|c   ]"},
      {sys::Format(L"%ls and %c", L"wide", L'字'), L"wide and 字"},
      {sys::Format(L"100%% %s", L"done"), L"100% done"},
      {sys::Format(L"%lld Byte", 5000000000LL), L"5000000000 Byte"},
      {sys::Format(L"%*.*f", 4, 2, 1.5), L"1.50"},
      {sys::Format(L"%s", std::wstring(1000, L'x').c_str()), std::wstring(1000, L'x')},
  };
  for (const Case& c : cases) EXPECT_EQ(c.expected, c.got);
}
