// The main window in a test: created on sandbox folders and the hermetic registry, every
// option unticked, message boxes recorded and answered, nothing switched off or emptied.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/MainUnit.h"
#include "catalogue/TraceOption.h"
#include "machine/Folders.h"
#include "machine/TarnGetOSInfo.h"
#include "sys/Thread.h"
#include "tests/support/Sandbox.h"

namespace testsupport {

inline std::wstring TextOf(HWND hwnd) {
  std::wstring s(size_t(GetWindowTextLengthW(hwnd)) + 1, L'\0');
  s.resize(size_t(GetWindowTextW(hwnd, &s[0], int(s.size()))));
  return s;
}

class FormTest : public SandboxTest {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    form.reset(new app::TFormSorvex(new machine::TTarnOSInfo()));
    form->settingsFile = sandbox / L"Halvane.set";
    form->notesFeedFile = sandbox / L"Log.dat";  // none unless a test writes one
    ASSERT_NE(nullptr, form->Create());
    form->messageBox = [this](const std::wstring& text, UINT type) {
      boxes.push_back(text);
      return (type & MB_OKCANCEL) ? okCancelAnswer : IDOK;
    };
    form->shutdownComputer = [this] { ++shutdowns; };
    form->emptyRecycleBin = [] {};
    // The scan walks the sandbox, never the prefix's own folders.
    machine::AppFolders() = SandboxSystemFolders(sandbox);
    form->Show(SW_SHOWNORMAL);
    catalogue::SetAllOptions(form->vtTraceOption.Model(), false);
  }
  void TearDown() override {
    if (form && !form->Destroyed()) DestroyWindow(form->Handle());
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
  }
  void Tick(const wchar_t* option) {
    model::TreeNode* n = catalogue::FindOption(form->vtTraceOption.Model(), option);
    ASSERT_NE(nullptr, n) << option;
    form->vtTraceOption.Model().SetCheckState(n, model::CheckState::Checked);
  }
  // Lets the window run (as its message loop would) until a scan and its clean are over.
  void RunUntilIdle() {
    for (int i = 0; i < 4000 && (form->scanState.finderRunning || form->scanState.scanning ||
                                 form->scanState.cleaning);
         ++i) {
      sys::ProcessMessages();
      Sleep(5);
    }
    sys::ProcessMessages();
  }
  // A click as the component sends it to its parent.
  void Click(int id, const wchar_t* name) {
    HWND c = form->Component(name);
    SendMessageW(GetParent(c), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(c));
  }
  std::wstring Panel(int i) {
    wchar_t text[512] = L"";
    SendMessageW(form->Component(L"stat1"), SB_GETTEXTW, i, reinterpret_cast<LPARAM>(text));
    return text;
  }
  std::wstring TreeText(const wchar_t* name) {
    std::wstring t(65536, L'\0');
    t.resize(size_t(SendMessageW(form->Component(name), WM_GETTEXT, t.size(),
                                 reinterpret_cast<LPARAM>(&t[0]))));
    return t;
  }

  std::unique_ptr<app::TFormSorvex> form;
  std::vector<std::wstring> boxes;
  int okCancelAnswer = IDCANCEL;
  int shutdowns = 0;
};

}  // namespace testsupport
