// The demo machine's traces: junk files and traces of use for every kind of source the
// program scans, put into the current user's registry and into the given folders. The
// run script seeds its Wine prefix with it (seed-demo.exe); a window test seeds a sandbox
// and checks that a scan finds every trace.
#pragma once
#include <string>
#include <vector>

#include "sys/Folders.h"

namespace testsupport {

// One trace as the result tree shows it: the item's Text and Location.
struct DemoTrace {
  std::wstring text;
  std::wstring location;
};

// Seeds the traces. Folders used: temp, Special(CSIDL_APPDATA, CSIDL_LOCAL_APPDATA,
// CSIDL_RECENT, CSIDL_PROGRAM_FILES); `localAppData` stands for the "Localappdata"
// environment variable (the virtual store of KuGoo and Storm); the system's major version
// and 64-bit flag decide where those two programs keep their files. Returns what a scan
// with the system and application groups must find.
std::vector<DemoTrace> SeedDemoMachine(const sys::Folders& folders,
                                       const std::wstring& localAppData, int majorVersion,
                                       bool wow64);

}  // namespace testsupport
