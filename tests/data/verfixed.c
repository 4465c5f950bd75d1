/* A resource-only library for the version tests. */
#include <windows.h>
BOOL WINAPI DllMain(HINSTANCE h, DWORD r, LPVOID p) {
  (void)h;
  (void)r;
  (void)p;
  return TRUE;
}
