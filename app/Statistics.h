// The settings file "Halvane.set" next to the program, and the clean statistics in it.
#pragma once
#include <windows.h>

#include <string>

#include "catalogue/TraceOption.h"

namespace app {

using catalogue::kSettingsSection;  // "TraceScanOption"
// Full path of a file in the folder of the running executable.
std::wstring ProgramFolderFile(const std::wstring& name);
// Full path of "Halvane.set" in the folder of the running executable.
std::wstring SettingsFilePath();

// Adds one clean to the statistics (count of items, size in kilobytes). A failed write
// raises sys::ProfileWriteError.
void SaveCleanStatistics(const std::wstring& file, int count, float kilobytes);

struct CleanSummary {
  std::wstring label6, label5, label12;  // time, last result, cumulative result
  bool recentlyCleaned = true;           // the verdict of the home page
};
// The three summary lines; `now` is the local time the verdict is measured against.
CleanSummary ShowCleanSummary(const std::wstring& file, bool thisTime, const SYSTEMTIME& now);

}  // namespace app
