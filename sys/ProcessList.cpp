#include "sys/ProcessList.h"

#include <windows.h>
#include <tlhelp32.h>

#include "sys/Text.h"

namespace sys {

namespace {

// Resolved at run time: Windows NT 4's kernel32 lacks them.
struct ToolHelp {
  using Snapshot = HANDLE(WINAPI*)(DWORD, DWORD);
  using Walk = BOOL(WINAPI*)(HANDLE, PROCESSENTRY32W*);
  Snapshot snapshot = nullptr;
  Walk first = nullptr;
  Walk next = nullptr;

  ToolHelp() {
    HMODULE k = GetModuleHandleW(L"kernel32.dll");
    if (!k) return;
    snapshot = reinterpret_cast<Snapshot>(
        reinterpret_cast<void*>(GetProcAddress(k, "CreateToolhelp32Snapshot")));
    first = reinterpret_cast<Walk>(reinterpret_cast<void*>(GetProcAddress(k, "Process32FirstW")));
    next = reinterpret_cast<Walk>(reinterpret_cast<void*>(GetProcAddress(k, "Process32NextW")));
  }
  bool Available() const { return snapshot && first && next; }
};

const ToolHelp& Api() {
  static const ToolHelp api;
  return api;
}

}  // namespace

bool IsProcessRunning(const std::wstring& name) {
  const ToolHelp& api = Api();
  if (!api.Available()) return false;
  HANDLE snap = api.snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return false;
  std::wstring wanted = LowerCase(name);
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  bool found = false;
  BOOL ok = api.first(snap, &entry);
  while (ok && !found) {
    found = LowerCase(entry.szExeFile).find(wanted) != std::wstring::npos;
    if (!found) ok = api.next(snap, &entry);
  }
  CloseHandle(snap);
  return found;
}

}  // namespace sys
