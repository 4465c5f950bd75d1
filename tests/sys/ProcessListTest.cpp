// Finding a running process by (part of) its executable name.
#include "sys/ProcessList.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "machine/Folders.h"
#include "sys/Text.h"
#include "tests/support/Sandbox.h"
#include "sys/FileUtils.h"

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

// A process whose name has more letters before the wanted one counts as that program.
TEST(ProcessListTest, ANameWithMoreLettersBeforeItCounts) {
  testsupport::SandboxFolder sandbox;
  std::wstring self = sys::ModuleFileName();
  const std::wstring copy = sandbox / L"xfirefox.exe";
  ASSERT_TRUE(CopyFileW(self.c_str(), copy.c_str(), FALSE));
  ASSERT_FALSE(sys::IsProcessRunning(L"firefox.exe"));
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::wstring line = L"\"" + copy + L"\" --gtest_list_tests";
  // Suspended: it is listed but never runs.
  ASSERT_TRUE(CreateProcessW(copy.c_str(), &line[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                             nullptr, nullptr, &si, &pi));
  bool running = sys::IsProcessRunning(L"firefox.exe");
  bool upper = sys::IsProcessRunning(L"FireFox.EXE");
  TerminateProcess(pi.hProcess, 0);
  WaitForSingleObject(pi.hProcess, 10000);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  EXPECT_TRUE(running);
  EXPECT_TRUE(upper);
}
