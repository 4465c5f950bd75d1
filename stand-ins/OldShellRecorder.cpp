// Test double for the two SHDOCVW.dll ordinals: records each call in order. The test keeps
// its own reference to the library, so the record outlives the caller's FreeLibrary.
#include <windows.h>

#include <string>

namespace {
std::string record;

void Note(const char* what, int argument) {
  record += what;
  record += '(' + std::to_string(argument) + ");";
}
}  // namespace

extern "C" int __stdcall ClearFormData(int mode) {
  Note("211", mode);
  return 0;
}

extern "C" int __stdcall FinishClear(int flags) {
  Note("164", flags);
  return 0;
}

extern "C" const char* RecordedCalls() { return record.c_str(); }
extern "C" void ResetRecord() { record.clear(); }
