// The settings file "Halvane.set" next to the program, and the clean statistics in it.
#pragma once
#include <windows.h>

#include <string>

#include "catalogue/TraceOption.h"
namespace sys {
class ProfileWriteError;
}

namespace app {

using catalogue::kSettingsSection;  // "TraceScanOption"
// Full path of a file in the folder of the running executable.
std::wstring ProgramFolderFile(const std::wstring& name);
// Full path of "Halvane.set" in the folder of the running executable.
std::wstring SettingsFilePath();
// The same beside an executable's full path.
std::wstring SettingsFilePathOf(const std::wstring& exePath);
// What the user is told when the settings file could not be written.
std::wstring SettingsWriteFailureText(const sys::ProfileWriteError& error);

// Adds one clean to the statistics (count of items, size in kilobytes). Sums stop at the
// largest count and amount instead of wrapping. A failed write raises
// sys::ProfileWriteError.
void SaveCleanStatistics(const std::wstring& file, int count, float kilobytes);

// The stored counts and amounts as the statistics use them: a value that is negative, not
// a finite number, out of range or unreadable is 0.
int ReadCleanCount(const std::wstring& file, const wchar_t* key);
float ReadCleanSize(const std::wstring& file, const wchar_t* key);

struct CleanSummary {
  std::wstring label6, label5, label12;  // time, last result, cumulative result
  bool recentlyCleaned = true;           // the verdict of the home page
};
// The three summary lines; `now` is the local time the verdict is measured against.
CleanSummary ShowCleanSummary(const std::wstring& file, bool thisTime, const SYSTEMTIME& now);

}  // namespace app
