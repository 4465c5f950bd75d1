// Puts the demo machine's junk files and traces of use into the running (Wine) system, so
// that a scan or a one-key clean there has something to find. Run by scripts/run.sh and
// scripts/screenshot.sh in the demo prefix, never in the test prefix.
#include <windows.h>

#include <cstdio>

#include "machine/Folders.h"
#include "machine/TarnGetOSInfo.h"
#include "tests/support/DemoMachine.h"
#include "sys/FileUtils.h"

int wmain() {
  machine::Folders folders = machine::Folders::FromSystem(nullptr);
  int major = 6;
  bool wow64 = false;
  try {
    machine::TTarnOSInfo os;
    major = os.MajorVersion;
    wow64 = os.IsWow64;
  } catch (...) {
  }
  size_t traces = testsupport::SeedDemoMachine(folders, sys::EnvironmentVariable(L"LOCALAPPDATA"), major, wow64).size();
  printf("demo machine: %u traces\n", unsigned(traces));
  return 0;
}
