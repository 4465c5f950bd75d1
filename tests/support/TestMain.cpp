// Test entry: COM on the main thread, as the program has it.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <string>

#include "machine/Seams.h"

int main(int argc, char** argv) {
  CoInitialize(nullptr);
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  ::testing::InitGoogleTest(&argc, argv);
  // No test starts a browser: a test that opens an address puts its own opener in place.
  machine::Seams().shellOpen = [](const std::wstring&) -> INT_PTR {
    ADD_FAILURE() << "the shell was asked to open an address";
    return 0;
  };
  machine::Seams().shellOpenWith = [](const std::wstring&, const std::wstring&) {
    ADD_FAILURE() << "a program was asked to open an address";
    return false;
  };
  int rc = RUN_ALL_TESTS();
  CoUninitialize();
  return rc;
}
