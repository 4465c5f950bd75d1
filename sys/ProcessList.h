// Running processes, through the ToolHelp snapshot.
#pragma once
#include <string>

namespace sys {

// True when the lower-cased name occurs in the lower-cased executable file name of a
// running process ("firefox" matches "firefox.exe"). False when no snapshot can be taken
// (Windows NT 4 has no ToolHelp).
bool IsProcessRunning(const std::wstring& name);

}  // namespace sys
