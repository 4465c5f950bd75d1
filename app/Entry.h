// The program's entry routine: single instance, start-up refusals, the main window.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

namespace machine {
class TTarnOSInfo;
}

namespace app {

extern const wchar_t kMessageCaption[];  // "一键清理Sandrel版"
extern const wchar_t kMutexName[];       // "Sorvex"
extern const wchar_t kWebHost[];         // the product site's host name
std::wstring ApplicationTitle();         // the taskbar text

// What the entry routine reaches outside itself; tests replace the message box and the
// main window.
struct EntryHooks {
  std::wstring mutexName = kMutexName;  // tests running side by side use their own
  // A message box without owner window.
  std::function<void(const std::wstring& text, const std::wstring& caption, UINT flags)>
      messageBox;
  // Creates the main window and runs the message loop until it closes. Owns `os` from
  // then on (the window frees it when it is destroyed).
  std::function<void(machine::TTarnOSInfo* os)> runMainWindow;
};
EntryHooks DefaultEntryHooks();

// The application window: hidden, titled with ApplicationTitle(), owner of the main
// window, so the taskbar shows the application's title rather than the form's caption.
class Application {
 public:
  Application();
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;
  HWND Handle() const { return hwnd_; }

 private:
  HWND hwnd_ = nullptr;
};

// The refusal text for a system, or empty when the program may run.
std::wstring StartupRefusal(const machine::TTarnOSInfo& os, bool administrator);

// Returns the process exit code: 0 on every path.
int RunEntry(const EntryHooks& hooks);

}  // namespace app
