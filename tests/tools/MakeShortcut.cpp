// Writes a shortcut as a 64-bit installer does: make-shortcut <lnk> <target> [native-only].
// File-system redirection is off meanwhile, so that a 32-bit run on 64-bit Windows reaches
// the native system folder. With "native-only" the target must exist only there: missing
// in this program's own view, present with redirection off (exit code 3 otherwise).
#include <windows.h>
#include <objbase.h>

#include <string>

#include "sys/ShellLink.h"
#include "sys/Views.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 1;
  bool nativeOnly = argc > 3 && std::wstring(argv[3]) == L"native-only";
  bool ownView = GetFileAttributesW(argv[2]) != INVALID_FILE_ATTRIBUTES;
  if (FAILED(CoInitialize(nullptr))) return 2;
  void* old = nullptr;
  bool off = sys::FileViews().disableRedirection(&old);
  bool nativeView = off && GetFileAttributesW(argv[2]) != INVALID_FILE_ATTRIBUTES;
  HRESULT hr = sys::CreateShortcut(argv[1], argv[2]);
  if (off) sys::FileViews().revertRedirection(old);
  CoUninitialize();
  if (FAILED(hr)) return 2;
  return nativeOnly && (ownView || !nativeView) ? 3 : 0;
}
