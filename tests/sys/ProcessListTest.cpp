// Finding a running process by (part of) its executable name.
#include "sys/ProcessList.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "sys/Folders.h"
#include "sys/Text.h"

TEST(ProcessListTest, FindsOwnExeByAnyCaseAndPart) {
  std::wstring self = sys::ModuleFileName();
  self = self.substr(self.find_last_of(L'\\') + 1);
  ASSERT_FALSE(self.empty());
  std::wstring upper = self;
  CharUpperBuffW(&upper[0], DWORD(upper.size()));
  const struct {
    std::wstring name;
    bool running;
  } cases[] = {
      {self, true},
      {sys::LowerCase(self), true},
      {upper, true},
      {self.substr(0, self.size() - 4), true},  // without ".exe"
      {L"x" + self, false},
      {L"velmora-no-such-process-4711.exe", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(sys::ToUtf8(c.name));
    EXPECT_EQ(c.running, sys::IsProcessRunning(c.name));
  }
}
