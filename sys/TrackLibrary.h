// Calls into the outside track-clearing libraries, loaded only for the call.
#pragma once
#include <windows.h>

#include <string>

namespace sys {

// Where the libraries are; tests point them at doubles. The track library is a file name
// in the program's own folder (default "Halvane4.dll"); the older systems' library is a
// full path (default "SHDOCVW.dll" in the system folder). Both are loaded by full path only.
std::wstring& TrackLibraryName();
std::wstring& OldSystemLibraryPath();

// Loads the track library, calls its ClearTracksForVista once and releases it.
// Codes: 0 history, 1 cookies, 2 temporary files, 3 form data, 4 passwords.
// A missing library or export is skipped silently.
void ClearTracksForVista(HWND window, int code);

// Older systems: ordinal 211 with mode (1 form data, 2 passwords), then ordinal 164 with 0;
// nothing is called unless both ordinals exist.
void ClearAutoCompleteOldSystem(int mode);

}  // namespace sys
