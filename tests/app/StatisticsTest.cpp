// Clean statistics in "Halvane.set" and the three summary lines of the home page.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

#include "app/Statistics.h"
#include "machine/Folders.h"
#include "sys/ProfileIni.h"
#include "sys/Text.h"
#include "tests/support/Sandbox.h"
#include "sys/FileUtils.h"

namespace {

SYSTEMTIME At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
  SYSTEMTIME t = {};
  t.wYear = WORD(y);
  t.wMonth = WORD(mo);
  t.wDay = WORD(d);
  t.wHour = WORD(h);
  t.wMinute = WORD(mi);
  t.wSecond = WORD(s);
  return t;
}

}  // namespace

class StatisticsTest : public testsupport::SandboxTest {
 protected:
  std::wstring file = sandbox / L"Halvane.set";
};

TEST_F(StatisticsTest, FreshMachineHasNoCleanAndIsNotRecent) {
  app::CleanSummary s = app::ShowCleanSummary(file, false, At(2026, 12, 8, 12));
  EXPECT_EQ(L"上次清理时间：尚未进行过清理。", s.label6);
  EXPECT_EQ(L"上次清理结果：尚未进行过清理。", s.label5);
  EXPECT_EQ(L"累计清理结果：尚未进行过清理。", s.label12);
  EXPECT_FALSE(s.recentlyCleaned);
  // This time's lines do not judge.
  EXPECT_TRUE(app::ShowCleanSummary(file, true, At(2026, 12, 8, 12)).recentlyCleaned);
}

TEST_F(StatisticsTest, VerdictCountsWholeDaysEitherWay) {
  sys::ProfileIni ini(file);
  ini.WriteDate(app::kSettingsSection, L"PreviousCleanDate2", At(2026, 12, 5, 12, 0, 0));
  struct Case {
    SYSTEMTIME now;
    bool recent;
  } cases[] = {
      {At(2026, 12, 8, 11, 0, 0), true},    // 2 days 23 hours
      {At(2026, 12, 8, 11, 59, 59), true},
      {At(2026, 12, 8, 12, 0, 0), false},   // 3 days
      {At(2026, 12, 20), false},
      {At(2026, 12, 5, 12), true},
      {At(2026, 12, 3, 12, 0, 1), true},    // a clock set back: the difference counts
      {At(2026, 12, 1), false},
  };
  for (const Case& c : cases) {
    app::CleanSummary s = app::ShowCleanSummary(file, false, c.now);
    EXPECT_EQ(c.recent, s.recentlyCleaned) << c.now.wDay << " " << c.now.wHour;
    EXPECT_EQ(L"上次清理时间：2026-12-05 12:00:00", s.label6);
  }
  EXPECT_EQ(L"本次清理时间：2026-12-05 12:00:00",
            app::ShowCleanSummary(file, true, At(2026, 12, 5)).label6);
}

TEST_F(StatisticsTest, SavedStatisticsAddUpAndShowTheirSizes) {
  struct Step {
    int count;
    float kb;
    const wchar_t* last;
    const wchar_t* total;
  } steps[] = {
      {3, 0.05f, L"本次清理结果：已清除 3 个垃圾文件，共释放 0.10 KB 磁盘空间",
       L"累计清理结果：已清除 3 个垃圾文件，共释放 0.10 KB 磁盘空间"},
      {1200, 2048.0f, L"本次清理结果：已清除 1200 个垃圾文件，共释放 2.00 MB 磁盘空间",
       L"累计清理结果：已清除 1203 个垃圾文件，共释放 2.00 MB 磁盘空间"},
      {7, 2000000.0f, L"本次清理结果：已清除 7 个垃圾文件，共释放 1.91 GB 磁盘空间",
       L"累计清理结果：已清除 1210 个垃圾文件，共释放 1.91 GB 磁盘空间"},
      {1, 1024.0f, L"本次清理结果：已清除 1 个垃圾文件，共释放 1024.00 KB 磁盘空间",
       L"累计清理结果：已清除 1211 个垃圾文件，共释放 1.91 GB 磁盘空间"},
  };
  for (const Step& st : steps) {
    app::SaveCleanStatistics(file, st.count, st.kb);
    app::CleanSummary s = app::ShowCleanSummary(file, true, At(2026, 12, 8));
    EXPECT_EQ(st.last, s.label5);
    EXPECT_EQ(st.total, s.label12);
  }
  sys::ProfileIni ini(file);
  EXPECT_EQ(L"0.0500000007450581", sys::ProfileIni(file).FloatText(double(0.05f)));
  EXPECT_EQ(L"1024", ini.ReadString(app::kSettingsSection, L"PreviousCleanSize"));
  EXPECT_EQ(L"1211", ini.ReadString(app::kSettingsSection, L"TotalCleanCount"));
}

TEST_F(StatisticsTest, UnreadableValuesReadAsDefaults) {
  std::wstring f = sandbox.file(L"bad.set",
                                "[TraceScanOption]\r\nPreviousCleanDate2=someday\r\n"
                                "PreviousCleanCount=many\r\nPreviousCleanSize=x\r\n"
                                "TotalCleanCount=0x10\r\nTotalCleanSize=1.5\r\n");
  app::CleanSummary s = app::ShowCleanSummary(f, false, At(2026, 12, 8));
  EXPECT_EQ(L"上次清理时间：尚未进行过清理。", s.label6);
  EXPECT_EQ(L"上次清理结果：尚未进行过清理。", s.label5);
  EXPECT_EQ(L"累计清理结果：已清除 16 个垃圾文件，共释放 1.50 KB 磁盘空间", s.label12);
  EXPECT_FALSE(s.recentlyCleaned);
}

TEST_F(StatisticsTest, AFailedWriteIsRaised) {
  EXPECT_THROW(app::SaveCleanStatistics(sandbox / L"missing\\Halvane.set", 1, 1.0f),
               sys::ProfileWriteError);
}

TEST_F(StatisticsTest, StoredNumbersThatAreNoCountOrAmountReadAsZero) {
  struct Case {
    const char* text;
    int count;
    float size;
  } cases[] = {
      {"1e400", 0, 0},          {"nan", 0, 0},           {"inf", 0, 0},
      {"-inf", 0, 0},           {"-5", 0, 0},            {"garbage", 0, 0},
      {"1e39", 0, 0},           {"4294967295", 0, 4294967295.0f},
      {"2147483648", 0, 2147483648.0f},                  {"99999999999", 0, 99999999999.0f},
      {"2147483647", 2147483647, 2147483647.0f},         {"12", 12, 12.0f},
      {"0.25", 0, 0.25f},       {"3.4028234663852886e38", 0, FLT_MAX},
  };
  for (const Case& c : cases) {
    std::string keys;
    for (const char* k :
         {"PreviousCleanCount", "PreviousCleanSize", "TotalCleanCount", "TotalCleanSize"})
      keys += std::string(k) + "=" + c.text + "\r\n";
    std::wstring f = sandbox.file(L"odd.set", "[TraceScanOption]\r\n" + keys);
    EXPECT_EQ(c.count, app::ReadCleanCount(f, L"TotalCleanCount")) << c.text;
    EXPECT_EQ(c.size, app::ReadCleanSize(f, L"TotalCleanSize")) << c.text;
    app::CleanSummary s = app::ShowCleanSummary(f, false, At(2026, 12, 8));
    std::wstring last = c.count ? sys::Format(L"上次清理结果：已清除 %d 个垃圾文件，", c.count)
                                : L"上次清理结果：尚未进行过清理。";
    EXPECT_TRUE(sys::StartsWith(s.label5, last)) << c.text << " " << sys::ToUtf8(s.label5);
    for (const wchar_t* bad : {L"inf", L"nan", L"-"})
      EXPECT_FALSE(sys::Contains(s.label5 + s.label12, bad))
          << c.text << " " << sys::ToUtf8(s.label12);
  }
}

TEST_F(StatisticsTest, SumsStopAtTheLargestValueAndWhatIsWrittenReadsBackTheSame) {
  sandbox.file(L"Halvane.set",
               "[TraceScanOption]\r\nTotalCleanCount=2147483647\r\nTotalCleanSize=3.4e38\r\n");
  app::SaveCleanStatistics(file, 5, 1e38f);
  sys::ProfileIni ini(file);
  EXPECT_EQ(L"2147483647", ini.ReadString(app::kSettingsSection, L"TotalCleanCount"));
  EXPECT_EQ(FLT_MAX, app::ReadCleanSize(file, L"TotalCleanSize"));
  std::wstring total = ini.ReadString(app::kSettingsSection, L"TotalCleanSize");
  EXPECT_TRUE(std::isfinite(ini.ReadFloat(app::kSettingsSection, L"TotalCleanSize", NAN)))
      << sys::ToUtf8(total);
  EXPECT_TRUE(sys::StartsWith(app::ShowCleanSummary(file, true, At(2026, 12, 8)).label12,
                              L"累计清理结果：已清除 2147483647 个垃圾文件，"));
  // Read and written again, the totals stay as they are.
  app::SaveCleanStatistics(file, 0, 0);
  EXPECT_EQ(L"2147483647", ini.ReadString(app::kSettingsSection, L"TotalCleanCount"));
  EXPECT_EQ(total, ini.ReadString(app::kSettingsSection, L"TotalCleanSize"));

  // What cannot be a total starts again from this clean; odd arguments write zeros.
  std::wstring odd = sandbox.file(
      L"odd.set", "[TraceScanOption]\r\nTotalCleanCount=4294967295\r\nTotalCleanSize=1e400\r\n");
  app::SaveCleanStatistics(odd, 3, 2.5f);
  sys::ProfileIni oddIni(odd);
  EXPECT_EQ(L"3", oddIni.ReadString(app::kSettingsSection, L"TotalCleanCount"));
  EXPECT_EQ(L"2.5", oddIni.ReadString(app::kSettingsSection, L"TotalCleanSize"));
  app::SaveCleanStatistics(odd, -7, NAN);
  EXPECT_EQ(L"0", oddIni.ReadString(app::kSettingsSection, L"PreviousCleanCount"));
  EXPECT_EQ(L"0", oddIni.ReadString(app::kSettingsSection, L"PreviousCleanSize"));
  EXPECT_EQ(L"3", oddIni.ReadString(app::kSettingsSection, L"TotalCleanCount"));
  EXPECT_EQ(L"2.5", oddIni.ReadString(app::kSettingsSection, L"TotalCleanSize"));
}

// The program's own path comes through the module path reader; a module in a folder
// deeper than MAX_PATH stands in for the program there.
TEST_F(StatisticsTest, AProgramInAFolderDeeperThanMaxPathKeepsItsOwnSettingsFile) {
  std::wstring self = sys::ModuleFileName();
  std::wstring deep = testsupport::MakeDeepFolder(sandbox, 300);
  std::wstring dll = deep + L"\\verfixed.dll";
  ASSERT_TRUE(CopyFileW((self.substr(0, self.find_last_of(L'\\')) + L"\\verfixed.dll").c_str(),
                        dll.c_str(), FALSE));
  HMODULE module = LoadLibraryW(dll.c_str());
  ASSERT_NE(nullptr, module) << GetLastError();
  std::wstring settings = app::SettingsFilePathOf(sys::ModuleFileName(module));
  FreeLibrary(module);
  EXPECT_EQ(sys::LowerCase(deep.substr(4) + L"\\Halvane.set"), sys::LowerCase(settings));

  app::SaveCleanStatistics(settings, 7, 1.5f);
  EXPECT_TRUE(testsupport::FileExistsW(deep + L"\\Halvane.set"));
  EXPECT_TRUE(sys::StartsWith(app::ShowCleanSummary(settings, true, At(2026, 12, 8)).label5,
                              L"本次清理结果：已清除 7 个垃圾文件，"));
  // None of the folders above it got one.
  for (std::wstring up = deep; up.size() > sandbox.path().size() + 4;
       up = up.substr(0, up.find_last_of(L'\\')))
    EXPECT_FALSE(
        testsupport::FileExistsW(up.substr(0, up.find_last_of(L'\\')) + L"\\Halvane.set"));
  testsupport::RemoveTree(deep.substr(0, deep.find(L'\\', sandbox.path().size() + 5)));
}
