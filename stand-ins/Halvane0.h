// "Halvane0.dll": decodes the notes feed "Log.dat" into the program's in-memory INI.
#pragma once
#include "app/IniPackage.h"

#ifdef HALVANE0_BUILD
#define HALVANE0_API __declspec(dllexport)
#else
#define HALVANE0_API __declspec(dllimport)
#endif

// `fileName` is the full ANSI path of "Log.dat"; `ini` holds the caller's empty object.
// True when the object holds the feed; on false the caller frees the object. C calling
// convention, so that the export and the import library carry the plain name in both builds.
extern "C" HALVANE0_API bool __cdecl GetMemIniFile(const char* fileName,
                                                     app::TStreamIniFile*& ini);
