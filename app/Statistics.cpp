#include "app/Statistics.h"

#include <cmath>

#include "sys/ProfileIni.h"
#include "sys/SizeText.h"
#include "sys/Text.h"

namespace app {

std::wstring ProgramFolderFile(const std::wstring& name) {
  wchar_t buf[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, buf, MAX_PATH);
  std::wstring exe(buf, n);
  return exe.substr(0, exe.find_last_of(L'\\') + 1) + name;
}

std::wstring SettingsFilePath() { return ProgramFolderFile(L"Halvane.set"); }

void SaveCleanStatistics(const std::wstring& file, int count, float kilobytes) {
  sys::ProfileIni ini(file);
  ini.WriteInteger(kSettingsSection, L"PreviousCleanCount", count);
  ini.WriteFloat(kSettingsSection, L"PreviousCleanSize", double(kilobytes));
  int totalCount = ini.ReadInteger(kSettingsSection, L"TotalCleanCount", 0);
  float totalSize = float(ini.ReadFloat(kSettingsSection, L"TotalCleanSize", 0));
  ini.WriteInteger(kSettingsSection, L"TotalCleanCount", count + totalCount);
  float sum = kilobytes + totalSize;  // single precision, as the amounts are kept
  ini.WriteFloat(kSettingsSection, L"TotalCleanSize", double(sum));
}

static double DaysBetween(const SYSTEMTIME& a, const SYSTEMTIME& b) {
  FILETIME fa, fb;
  if (!SystemTimeToFileTime(&a, &fa) || !SystemTimeToFileTime(&b, &fb)) return 0;
  ULARGE_INTEGER ua, ub;
  ua.LowPart = fa.dwLowDateTime;
  ua.HighPart = fa.dwHighDateTime;
  ub.LowPart = fb.dwLowDateTime;
  ub.HighPart = fb.dwHighDateTime;
  double diff = double(ua.QuadPart > ub.QuadPart ? ua.QuadPart - ub.QuadPart
                                                 : ub.QuadPart - ua.QuadPart);
  return diff / (86400.0 * 10000000.0);
}

CleanSummary ShowCleanSummary(const std::wstring& file, bool thisTime, const SYSTEMTIME& now) {
  sys::ProfileIni ini(file);
  CleanSummary s;
  SYSTEMTIME when = {};
  bool known = ini.ReadDate(kSettingsSection, L"PreviousCleanDate2", when);
  const wchar_t* timePrefix = thisTime ? L"本次清理时间：" : L"上次清理时间：";
  s.label6 = timePrefix + (known ? sys::ProfileIni::DateText(when) : L"尚未进行过清理。");
  // Whole days, fractions cut off; a machine never cleaned is not recently cleaned.
  if (!thisTime && (!known || std::floor(DaysBetween(when, now)) > 2)) s.recentlyCleaned = false;

  int n = ini.ReadInteger(kSettingsSection, L"PreviousCleanCount", 0);
  float k = float(ini.ReadFloat(kSettingsSection, L"PreviousCleanSize", 0));
  if (k < 0.1f) k = 0.1f;
  const wchar_t* resultPrefix = thisTime ? L"本次清理结果：" : L"上次清理结果：";
  s.label5 = resultPrefix + (n != 0 ? sys::Format(L"已清除 %d 个垃圾文件，共释放 %ls 磁盘空间", n,
                                                   sys::FormatKilobyteSize(k).c_str())
                                    : std::wstring(L"尚未进行过清理。"));
  int total = ini.ReadInteger(kSettingsSection, L"TotalCleanCount", 0);
  float totalK = float(ini.ReadFloat(kSettingsSection, L"TotalCleanSize", 0));
  if (totalK < 0.1f) totalK = 0.1f;
  s.label12 = total != 0 ? sys::Format(L"累计清理结果：已清除 %d 个垃圾文件，共释放 %ls 磁盘空间",
                                       total, sys::FormatKilobyteSize(totalK).c_str())
                         : std::wstring(L"累计清理结果：尚未进行过清理。");
  return s;
}

}  // namespace app
