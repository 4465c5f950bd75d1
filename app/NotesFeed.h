// The notes feed beside the program ("Log.dat", decoded by "Halvane0.dll"): the news rows of
// VTLog and the usage note, and the opener of every link of the window.
#pragma once
#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace app {

class TStreamIniFile;

// A row of VTLog.
struct LogEntry {
  std::wstring Title;
  std::wstring Link;
  std::wstring Colour;
};

extern const wchar_t kLogHeader[];    // "官方日志"
extern const wchar_t kProductSite[];  // the web site Label13 opens

// Bounds on what a feed may put on screen, so that a damaged or hostile file neither blocks
// the start nor floods the panels. A longer title or note line is cut; a longer address
// is dropped.
constexpr std::size_t kMaxLogEntries = 100;
constexpr std::size_t kMaxNoteLines = 50;
constexpr std::size_t kMaxTitleChars = 128;
constexpr std::size_t kMaxNoteChars = 500;
constexpr std::size_t kMaxLinkChars = 2048;

struct NotesFeed {
  std::vector<LogEntry> entries;        // "Sorvex", in key order
  std::vector<std::wstring> noteLines;  // "Note" keys "Cleaner|text", in key order
  std::wstring noteLink;                // the value of the last of them
};

// The library call: the ANSI path of the file and the variable holding the empty object.
using GetMemIniFileFn = std::function<bool(const char* fileName, TStreamIniFile*& ini)>;
bool CallGetMemIniFile(const char* fileName, TStreamIniFile*& ini);

// "Log.dat" in the folder of the running executable.
std::wstring NotesFeedPath();
// Nothing when the file is missing or the library fails.
NotesFeed ReadNotesFeed(const std::wstring& path, const GetMemIniFileFn& getMemIniFile);

// The text colour of a row's colour name; an unknown name leaves `color` as it is.
void ApplyLogColour(const std::wstring& name, COLORREF& color);

// An address the opener accepts: "http://" or "https://" (any letter case) and something
// after it, without blanks, quotes or control characters.
bool IsWebAddress(const std::wstring& address);
// Opens a web address with the shell, or failing that with Internet Explorer; anything
// else is ignored, so a feed cannot start programs. Failures are silent.
void OpenUrl(const std::wstring& address);

}  // namespace app
