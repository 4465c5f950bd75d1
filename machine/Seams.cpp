#include "machine/Seams.h"

#include <shellapi.h>

namespace machine {

SystemSeams& Seams() {
  static SystemSeams seams{
      [] { return ReadVersionFacts(); },
      [] { return IsAdministrator(); },
      [](UINT flags, DWORD reason) { return ExitWindowsEx(flags, reason); },
      [](const std::wstring& file) {
        return reinterpret_cast<INT_PTR>(
            ShellExecuteW(nullptr, nullptr, file.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
      },
      [](const std::wstring& program, const std::wstring& parameters) {
        SHELLEXECUTEINFOW info = {};
        info.cbSize = sizeof info;
        info.fMask = SEE_MASK_NOCLOSEPROCESS;
        info.lpVerb = L"open";
        info.lpFile = program.c_str();
        info.lpParameters = parameters.c_str();
        info.nShow = SW_SHOWNORMAL;
        if (!ShellExecuteExW(&info)) return false;
        if (info.hProcess) CloseHandle(info.hProcess);
        return true;
      },
  };
  return seams;
}

}  // namespace machine
