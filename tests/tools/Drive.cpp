// Drives a running Sorvex.exe from another process, as tests and accessibility tools do:
// components are found by their "Name" property.
//   drive wait                  waits (up to 30 s) until the main window exists
//   drive text <Name>           prints the component's text (WM_GETTEXT)
//   drive click <Name>          clicks the component in its middle
//   drive visible <Name>        prints 1 or 0
//   drive close                 asks the main window to close
//   drive count                 prints how many main windows exist
//   drive caption               prints the main window's caption
//   drive dismiss [ok]          answers the program's message box (Cancel, or OK)
//   drive waittext <Name> <text> [s]  waits (default 120 s) until the text starts so
// Exit code 0 on success, 2 when the window or the component is missing.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

HWND MainWindow() { return FindWindowW(L"TFormSorvex", nullptr); }

std::wstring NameOf(HWND hwnd) {
  ATOM atom = ATOM(reinterpret_cast<UINT_PTR>(GetPropW(hwnd, L"Name")));
  if (!atom) return {};
  wchar_t buf[256];
  UINT n = GlobalGetAtomNameW(atom, buf, 256);
  return std::wstring(buf, n);
}

struct Search {
  const wchar_t* name;
  HWND found;
};

BOOL CALLBACK Visit(HWND hwnd, LPARAM lp) {
  Search* s = reinterpret_cast<Search*>(lp);
  if (NameOf(hwnd) == s->name) {
    s->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

HWND Find(const wchar_t* name) {
  HWND main = MainWindow();
  if (!main) return nullptr;
  Search s{name, nullptr};
  EnumChildWindows(main, Visit, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

void PrintUtf8(const std::wstring& text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0, nullptr,
                              nullptr);
  std::string out(size_t(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), &out[0], n, nullptr, nullptr);
  fwrite(out.data(), 1, out.size(), stdout);
  fputc('\n', stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 1;
  std::wstring cmd = argv[1];
  if (cmd == L"wait") {
    for (int i = 0; i < 300; ++i) {
      if (HWND w = MainWindow())
        if (IsWindowVisible(w)) return 0;
      Sleep(100);
    }
    return 2;
  }
  if (cmd == L"count") {
    int n = 0;
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"TFormSorvex", nullptr)) != nullptr;) ++n;
    printf("%d\n", n);
    return 0;
  }
  if (cmd == L"caption") {
    HWND w = MainWindow();
    if (!w) return 2;
    wchar_t buf[512] = {};
    GetWindowTextW(w, buf, 512);
    PrintUtf8(buf);
    return 0;
  }
  if (cmd == L"close") {
    HWND w = MainWindow();
    if (!w) return 2;
    PostMessageW(w, WM_CLOSE, 0, 0);
    return 0;
  }
  if (cmd == L"dismiss") {
    // The message boxes of the program are dialogs owned by its main window.
    HWND main = MainWindow();
    for (int i = 0; i < 300 && main; ++i) {
      for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, L"#32770", nullptr)) != nullptr;)
        if (GetWindow(w, GW_OWNER) == main) {
          bool ok = argc > 2 && std::wstring(argv[2]) == L"ok";
          PostMessageW(w, WM_COMMAND, MAKEWPARAM(ok ? IDOK : IDCANCEL, BN_CLICKED), 0);
          return 0;
        }
      Sleep(100);
    }
    return 2;
  }
  if (argc < 3) return 1;
  if (cmd == L"waittext" && argc > 3) {
    int seconds = argc > 4 ? _wtoi(argv[4]) : 120;
    for (int i = 0; i < seconds * 10; ++i) {
      HWND t = Find(argv[2]);
      wchar_t buf[1024] = {};
      DWORD_PTR got = 0;
      if (t && SendMessageTimeoutW(t, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buf),
                                   SMTO_ABORTIFHUNG, 1000, &got) &&
          std::wstring(buf).rfind(argv[3], 0) == 0)
        return 0;
      Sleep(100);
    }
    return 2;
  }
  HWND target = Find(argv[2]);
  if (!target) return 2;
  if (cmd == L"text") {
    DWORD_PTR len = 0;
    SendMessageTimeoutW(target, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &len);
    std::wstring text(size_t(len) + 1, L'\0');
    DWORD_PTR got = 0;
    SendMessageTimeoutW(target, WM_GETTEXT, WPARAM(len + 1), reinterpret_cast<LPARAM>(&text[0]),
                        SMTO_ABORTIFHUNG, 5000, &got);
    text.resize(size_t(got));
    PrintUtf8(text);
    return 0;
  }
  if (cmd == L"visible") {
    printf("%d\n", IsWindowVisible(target) ? 1 : 0);
    return 0;
  }
  if (cmd == L"click") {
    RECT rc;
    GetClientRect(target, &rc);
    LPARAM at = MAKELPARAM(rc.right / 2, rc.bottom / 2);
    PostMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(target, WM_LBUTTONUP, 0, at);
    return 0;
  }
  return 1;
}
