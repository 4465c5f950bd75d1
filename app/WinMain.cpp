// Sorvex.exe: the entry routine with the real main window.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "app/Entry.h"
#include "app/MainUnit.h"
#include "machine/TarnGetOSInfo.h"
#include "sys/SystemLibrary.h"
#include "sys/Thread.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
  // Before anything can load a DLL by name. A module already loaded is then used by name
  // before any search, so the system's copies of the DLLs that are no known DLLs come
  // first: also for system DLLs that load them by name, and for Halvane4.dll's imports.
  sys::RestrictDllSearch();
  for (const wchar_t* dll : {L"version.dll", L"wininet.dll", L"msimg32.dll", L"uxtheme.dll"})
    sys::SystemLibrary(dll);
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);
  CoInitialize(nullptr);
  sys::InitMainThread();
  app::EntryHooks hooks = app::DefaultEntryHooks();
  hooks.runMainWindow = [show](machine::TTarnOSInfo* os) {
    app::Application application;
    app::TFormSorvex form(os);
    if (!form.Create(application.Handle())) return;
    form.Show(show);
    app::RunMessageLoop(form);
  };
  int rc = app::RunEntry(hooks);
  CoUninitialize();
  return rc;
}
