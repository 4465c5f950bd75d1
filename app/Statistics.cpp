#include "app/Statistics.h"

#include <cfloat>
#include <climits>
#include <cmath>

#include "machine/Folders.h"
#include "sys/ProfileIni.h"
#include "sys/SizeText.h"
#include "sys/Text.h"
#include "sys/FileUtils.h"

namespace app {

static std::wstring FolderFile(const std::wstring& exePath, const std::wstring& name) {
  return exePath.substr(0, exePath.find_last_of(L'\\') + 1) + name;
}

std::wstring ProgramFolderFile(const std::wstring& name) {
  return FolderFile(sys::ModuleFileName(), name);
}

std::wstring SettingsFilePath() { return ProgramFolderFile(L"Halvane.set"); }

std::wstring SettingsFilePathOf(const std::wstring& exePath) {
  return FolderFile(exePath, L"Halvane.set");
}

std::wstring SettingsWriteFailureText(const sys::ProfileWriteError& error) {
  return sys::Format(L"无法写入设置文件：\n%s\n\n原因：%s\n\n清理记录和清理选项没有保存。",
                     error.File().c_str(), sys::SystemErrorText(error.Error()).c_str());
}

int ReadCleanCount(const std::wstring& file, const wchar_t* key) {
  // Read as a signed 32-bit number, "4294967295" is -1: no count either.
  int n = sys::ProfileIni(file).ReadInteger(kSettingsSection, key, 0);
  return n < 0 ? 0 : n;
}

float ReadCleanSize(const std::wstring& file, const wchar_t* key) {
  double v = sys::ProfileIni(file).ReadFloat(kSettingsSection, key, 0);
  if (!(v >= 0)) return 0;
  // Above FLT_MAX by less than half a step still rounds to it; anything more is no amount.
  if (v > double(FLT_MAX)) return v < 0x1.ffffffp127 ? FLT_MAX : 0;
  return float(v);
}

void SaveCleanStatistics(const std::wstring& file, int count, float kilobytes) {
  if (count < 0) count = 0;
  if (!(kilobytes >= 0) || !std::isfinite(kilobytes)) kilobytes = 0;
  sys::ProfileIni ini(file);
  ini.WriteInteger(kSettingsSection, L"PreviousCleanCount", count);
  ini.WriteFloat(kSettingsSection, L"PreviousCleanSize", double(kilobytes));
  long long totalCount = (long long)ReadCleanCount(file, L"TotalCleanCount") + count;
  ini.WriteInteger(kSettingsSection, L"TotalCleanCount",
                   totalCount > INT_MAX ? INT_MAX : int(totalCount));
  float sum = kilobytes + ReadCleanSize(file, L"TotalCleanSize");  // single precision, as kept
  if (!std::isfinite(sum)) sum = FLT_MAX;
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

  int n = ReadCleanCount(file, L"PreviousCleanCount");
  float k = ReadCleanSize(file, L"PreviousCleanSize");
  if (k < 0.1f) k = 0.1f;
  const wchar_t* resultPrefix = thisTime ? L"本次清理结果：" : L"上次清理结果：";
  s.label5 = resultPrefix + (n != 0 ? sys::Format(L"已清除 %d 个垃圾文件，共释放 %ls 磁盘空间", n,
                                                   sys::FormatKilobyteSize(k).c_str())
                                    : std::wstring(L"尚未进行过清理。"));
  int total = ReadCleanCount(file, L"TotalCleanCount");
  float totalK = ReadCleanSize(file, L"TotalCleanSize");
  if (totalK < 0.1f) totalK = 0.1f;
  s.label12 = total != 0 ? sys::Format(L"累计清理结果：已清除 %d 个垃圾文件，共释放 %ls 磁盘空间",
                                       total, sys::FormatKilobyteSize(totalK).c_str())
                         : std::wstring(L"累计清理结果：尚未进行过清理。");
  return s;
}

}  // namespace app
