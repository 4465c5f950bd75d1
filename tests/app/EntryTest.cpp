// The entry routine's paths: second instance, the three refusals, the running window.
#include <gtest/gtest.h>

#include <memory>

#include "app/Entry.h"
#include "machine/Seams.h"
#include "machine/TarnGetOSInfo.h"

namespace {

machine::VersionFacts Facts(bool ok, int major, int minor, BYTE productType = 1) {
  machine::VersionFacts f;
  f.queryOk = ok;
  f.major = major;
  f.minor = minor;
  f.extendedOk = ok;
  f.productType = productType;
  return f;
}

struct Outcome {
  int exitCode = -1;
  int boxes = 0;
  std::wstring text, caption;
  UINT flags = 0;
  int windows = 0;
};

Outcome RunEntryWith(const machine::VersionFacts& facts, bool admin, const std::wstring& mutexName) {
  machine::ScopedSeams seams;
  machine::Seams().readVersionFacts = [facts] { return facts; };
  machine::Seams().isAdministrator = [admin] { return admin; };
  Outcome out;
  app::EntryHooks hooks;
  hooks.mutexName = mutexName;
  hooks.messageBox = [&](const std::wstring& t, const std::wstring& c, UINT f) {
    ++out.boxes;
    out.text = t;
    out.caption = c;
    out.flags = f;
  };
  hooks.runMainWindow = [&](machine::TTarnOSInfo* os) {
    std::unique_ptr<machine::TTarnOSInfo> owned(os);
    ++out.windows;
  };
  out.exitCode = app::RunEntry(hooks);
  return out;
}

std::wstring UniqueMutex() {
  return L"SorvexTest-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
         std::to_wstring(GetTickCount());
}

}  // namespace

TEST(EntryTest, RefusalsAndTheRunningWindow) {
  const std::wstring undetectable = L"说明：无法检测当前电脑的操作系统，Velmora一键清理不能正常运行。";
  const std::wstring tooOld =
      L"说明：一键清理Sandrel版只能在Windows2000之后的操作系统(例如：Windows2000/2003/XP/Vista/"
      L"2008...)中运行。";
  struct Case {
    const char* what;
    machine::VersionFacts facts;
    bool admin;
    std::wstring message;  // empty: the window runs
  } cases[] = {
      {"Windows 98", Facts(true, 4, 10), true, tooOld},
      {"Windows Me", Facts(true, 4, 90), true, tooOld},
      {"NT 4.0 has no name but is too old", Facts(true, 4, 0), true, tooOld},
      {"failed version query", Facts(false, 0, 0), true, undetectable},
      {"unknown major version", Facts(true, 10, 0), true, undetectable},
      {"XP, not an administrator", Facts(true, 5, 1), false,
       L"说明：Windows XP 下，只有系统管理员身份的用户才能使用本软件。"},
      {"Windows 8 reported as 6.2: empty name", Facts(true, 6, 2), false,
       L"说明：Windows  下，只有系统管理员身份的用户才能使用本软件。"},
      {"Windows 7 administrator", Facts(true, 6, 1), true, L""},
      {"Windows 2000 administrator", Facts(true, 5, 0), true, L""},
  };
  for (const Case& c : cases) {
    Outcome o = RunEntryWith(c.facts, c.admin, UniqueMutex());
    EXPECT_EQ(0, o.exitCode) << c.what;
    if (c.message.empty()) {
      EXPECT_EQ(0, o.boxes) << c.what;
      EXPECT_EQ(1, o.windows) << c.what;
    } else {
      EXPECT_EQ(1, o.boxes) << c.what;
      EXPECT_EQ(0, o.windows) << c.what;
      EXPECT_EQ(c.message, o.text) << c.what;
      EXPECT_EQ(L"一键清理Sandrel版", o.caption);
      EXPECT_EQ(UINT(MB_OK | MB_ICONERROR), o.flags);
    }
  }
}

TEST(EntryTest, SecondInstanceEndsSilently) {
  std::wstring name = UniqueMutex();
  HANDLE first = CreateMutexW(nullptr, TRUE, name.c_str());
  ASSERT_NE(nullptr, first);
  Outcome o = RunEntryWith(Facts(true, 6, 1), true, name);
  EXPECT_EQ(0, o.exitCode);
  EXPECT_EQ(0, o.boxes);
  EXPECT_EQ(0, o.windows);
  CloseHandle(first);
  // Once the first is gone the next start runs.
  EXPECT_EQ(1, RunEntryWith(Facts(true, 6, 1), true, name).windows);
}

TEST(EntryTest, StartupSettingsBeforeTheWindow) {
  SetThreadLocale(1033);
  machine::ScopedSeams seams;
  machine::Seams().readVersionFacts = [] { return Facts(true, 6, 1); };
  machine::Seams().isAdministrator = [] { return true; };
  app::EntryHooks hooks;
  hooks.mutexName = UniqueMutex();
  LCID seen = 0;
  hooks.runMainWindow = [&](machine::TTarnOSInfo* os) {
    std::unique_ptr<machine::TTarnOSInfo> owned(os);
    seen = GetThreadLocale();
    EXPECT_EQ(L"7", os->OSName);
  };
  app::RunEntry(hooks);
  EXPECT_EQ(LCID(2052), seen);
  EXPECT_EQ(L"Velmora一键清理_velmora.example", app::ApplicationTitle());
}
