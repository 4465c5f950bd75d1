// The demo machine's traces: junk files and traces of use for every kind of source the
// program scans, put into the current user's registry and into the given folders. The
// run script seeds its Wine prefix with it (seed-demo.exe); a window test seeds a sandbox
// and checks that a scan finds every trace.
#pragma once
#include <string>
#include <vector>

#include "machine/Folders.h"

namespace testsupport {

// One trace as the result tree shows it: the item's Text and Location.
struct DemoTrace {
  std::wstring text;
  std::wstring location;
};

// What the demo machine's browsers hold: the tables a clean empties and those it keeps
// (database path, table), and the files it deletes.
struct DemoBrowsers {
  struct Table {
    std::wstring database, table;
  };
  std::vector<Table> emptied, kept;
  std::vector<std::wstring> files;
};

// Seeds Firefox (a profile of an old and one of a current version, each with its cache,
// and the HKEY_LOCAL_MACHINE key), Chrome (the files of old and current versions in the
// "Default" profile) and Opera (installation folder and profile), below the folders'
// profile, application data, local application data and program files; on Vista and later
// the profile's "Application Data" and "Local Settings\Application Data" are links to the
// last two, as Windows makes them. Appends what a scan of the browser options must find.
DemoBrowsers SeedDemoBrowsers(const machine::Folders& folders, int majorVersion,
                              std::vector<DemoTrace>& traces);

// Seeds the traces, the browsers' among them. Folders used: temp, Special(CSIDL_APPDATA,
// CSIDL_LOCAL_APPDATA, CSIDL_RECENT, CSIDL_PROGRAM_FILES, CSIDL_PROFILE); `localAppData`
// stands for the "Localappdata" environment variable (the virtual store of KuGoo and
// Storm); the system's major version and 64-bit flag decide where those two programs keep
// their files. Returns what a scan
// with the browser, system and application groups must find.
std::vector<DemoTrace> SeedDemoMachine(const machine::Folders& folders,
                                       const std::wstring& localAppData, int majorVersion,
                                       bool wow64);

}  // namespace testsupport
