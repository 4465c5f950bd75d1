/* A DLL planted beside the program under a system DLL's name (the planting end-to-end
   test builds one per name). When anything loads it, it writes "<its path>.loaded" with
   "static" (loaded for an import table while the process started) or "dynamic" (loaded
   by a LoadLibrary call): code that ran there could have done anything with the
   program's rights. Built with -DVERSION_EXPORTS it also has version.dll's three calls
   (see below). */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    char path[MAX_PATH + 8];
    DWORD n = GetModuleFileNameA(self, path, MAX_PATH);
    if (n > 0 && n < MAX_PATH) {
      lstrcatA(path, ".loaded");
      HANDLE f = CreateFileA(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                             NULL);
      if (f != INVALID_HANDLE_VALUE) {
        /* Windows passes a non-null reserved pointer for a load at process start. */
        const char* how = reserved ? "static" : "dynamic";
        DWORD wrote = 0;
        WriteFile(f, how, lstrlenA(how), &wrote, NULL);
        CloseHandle(f);
      }
    }
  }
  return TRUE;
}

#ifdef VERSION_EXPORTS
/* The three calls Wine's own user32.dll imports from version.dll at process start, each
   answering "no version information", so that the process can start at all. */
__declspec(dllexport) DWORD WINAPI GetFileVersionInfoSizeW(LPCWSTR file, LPDWORD handle) {
  (void)file;
  if (handle) *handle = 0;
  SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
  return 0;
}

__declspec(dllexport) BOOL WINAPI GetFileVersionInfoW(LPCWSTR file, DWORD handle, DWORD size,
                                                      LPVOID data) {
  (void)file, (void)handle, (void)size, (void)data;
  SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
  return FALSE;
}

__declspec(dllexport) BOOL WINAPI VerQueryValueW(LPCVOID block, LPCWSTR sub, LPVOID* buffer,
                                                 PUINT length) {
  (void)block, (void)sub, (void)buffer, (void)length;
  return FALSE;
}
#endif
