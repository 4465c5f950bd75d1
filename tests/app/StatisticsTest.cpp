// Clean statistics in "Halvane.set" and the three summary lines of the home page.
#include <gtest/gtest.h>

#include "app/Statistics.h"
#include "sys/ProfileIni.h"
#include "tests/support/Sandbox.h"

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
