#include "sys/TrackLibrary.h"

#include "sys/Handles.h"
#include "sys/SystemLibrary.h"

namespace sys {

namespace {

// Casting through void* keeps -Wcast-function-type quiet for GetProcAddress results.
template <typename Fn>
Fn Lookup(HMODULE module, LPCSTR name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

std::wstring& TrackLibraryName() {
  static std::wstring name = L"Halvane4.dll";
  return name;
}

std::wstring& OldSystemLibraryPath() {
  static std::wstring path = SystemDllPath(L"SHDOCVW.dll");
  return path;
}

void ClearTracksForVista(HWND window, int code) {
  using Fn = int(WINAPI*)(HWND, int);
  // The library imports WinINet, which is no known DLL: loaded from the system folder
  // first, it is the copy the library gets, not one that was put beside the program.
  SystemLibrary(L"wininet.dll");
  ScopedModule library(LoadLibraryByPath(ProgramFolderPath(TrackLibraryName())));
  if (!library) return;
  if (Fn clear = Lookup<Fn>(library.get(), "ClearTracksForVista")) clear(window, code);
}

void ClearAutoCompleteOldSystem(int mode) {
  using Fn = int(WINAPI*)(int);
  ScopedModule library(LoadLibraryByPath(OldSystemLibraryPath()));
  if (!library) return;
  Fn clear = Lookup<Fn>(library.get(), MAKEINTRESOURCEA(211));
  Fn finish = Lookup<Fn>(library.get(), MAKEINTRESOURCEA(164));
  if (clear && finish) {
    clear(mode);
    finish(0);
  }
}

}  // namespace sys
