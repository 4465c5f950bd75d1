// Test double for the two SHDOCVW.dll ordinals: records each call in order. The test keeps
// its own reference to the library, so the record outlives the caller's FreeLibrary. Put
// into a prefix's system folder as shdocvw.dll, it also appends each call to the file that
// VELMORA_SHELL_RECORD names (the end-to-end runs on older systems).
#include <windows.h>

#include <string>

namespace {
std::string record;

void Note(const char* what, int argument) {
  const std::string call = what + ('(' + std::to_string(argument) + ");");
  record += call;
  char path[MAX_PATH];
  DWORD n = GetEnvironmentVariableA("VELMORA_SHELL_RECORD", path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return;
  HANDLE f = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return;
  DWORD wrote = 0;
  WriteFile(f, call.data(), DWORD(call.size()), &wrote, nullptr);
  CloseHandle(f);
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
