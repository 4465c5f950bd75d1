#include "app/Entry.h"

#include <memory>

#include "sys/FileUtils.h"
#include "machine/Seams.h"
#include "machine/TarnGetOSInfo.h"
#include "sys/Text.h"
#include "machine/StartupFont.h"

namespace app {

const wchar_t kMessageCaption[] = L"一键清理Sandrel版";
const wchar_t kMutexName[] = L"Sorvex";
const wchar_t kWebHost[] = L"velmora.example";

std::wstring ApplicationTitle() { return std::wstring(L"Velmora一键清理_") + kWebHost; }

std::wstring StartupRefusal(const machine::TTarnOSInfo& os, bool administrator) {
  if (os.OSName == L"Invalidated")
    return L"说明：无法检测当前电脑的操作系统，Velmora一键清理不能正常运行。";
  if (os.MajorVersion <= 4)
    return L"说明：一键清理Sandrel版只能在Windows2000之后的操作系统(例如：Windows2000/2003/XP/"
           L"Vista/2008...)中运行。";
  if (!administrator)
    return sys::Format(L"说明：Windows %ls 下，只有系统管理员身份的用户才能使用本软件。",
                       os.OSName.c_str());
  return {};
}

int RunEntry(const EntryHooks& hooks) {
  HANDLE mutex = CreateMutexW(nullptr, TRUE, hooks.mutexName.c_str());
  bool another = GetLastError() == ERROR_ALREADY_EXISTS;
  if (!another) {
    SetThreadLocale(2052);
    machine::AppStartupFont().height = -12;
    machine::AppStartupFont().charset = GB2312_CHARSET;
    std::unique_ptr<machine::TTarnOSInfo> os(new machine::TTarnOSInfo());
    std::wstring refusal = StartupRefusal(*os, machine::Seams().isAdministrator());
    if (!refusal.empty()) {
      hooks.messageBox(refusal, kMessageCaption, MB_OK | MB_ICONERROR);
    } else {
      hooks.runMainWindow(os.release());
    }
  }
  if (mutex) {
    ReleaseMutex(mutex);
    // Also closed here so that a test calling the routine twice starts clean; a process
    // that ends releases it anyway.
    CloseHandle(mutex);
  }
  return 0;
}

Application::Application() {
  HINSTANCE inst = GetModuleHandleW(nullptr);
  WNDCLASSW wc = {};
  if (!GetClassInfoW(inst, L"TApplication", &wc)) {
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = inst;
    wc.hIcon = LoadIconW(inst, L"MAINICON");
    wc.lpszClassName = L"TApplication";
    RegisterClassW(&wc);
  }
  // Visible but of no size, as the taskbar button needs a shown window.
  hwnd_ = CreateWindowExW(WS_EX_APPWINDOW, L"TApplication", ApplicationTitle().c_str(),
                          WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_VISIBLE,
                          GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 0,
                          0, nullptr, nullptr, inst, nullptr);
}

Application::~Application() {
  if (hwnd_) DestroyWindow(hwnd_);
}

EntryHooks DefaultEntryHooks() {
  EntryHooks h;
  h.messageBox = [](const std::wstring& text, const std::wstring& caption, UINT flags) {
    MessageBoxW(nullptr, text.c_str(), caption.c_str(), flags);
  };
  return h;
}

}  // namespace app
