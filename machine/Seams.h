// System calls that tests replace: the real call is the default.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "machine/TarnGetOSInfo.h"

namespace machine {

struct SystemSeams {
  std::function<VersionFacts()> readVersionFacts;
  std::function<bool()> isAdministrator;
  std::function<BOOL(UINT flags, DWORD reason)> exitWindows;
  // The URL opener's two ways: ShellExecuteW of a file with the default verb (its result,
  // above 32 on success), and ShellExecuteExW "open" of a program with a parameter string.
  std::function<INT_PTR(const std::wstring& file)> shellOpen;
  std::function<bool(const std::wstring& program, const std::wstring& parameters)> shellOpenWith;
};

// The process-wide seams, filled with ReadVersionFacts, IsAdministrator, ExitWindowsEx and
// the two shell calls.
SystemSeams& Seams();

// Keeps the current seams and puts them back on destruction; change Seams() in between.
class ScopedSeams {
 public:
  ScopedSeams() : saved_(Seams()) {}
  ~ScopedSeams() { Seams() = saved_; }
  ScopedSeams(const ScopedSeams&) = delete;
  ScopedSeams& operator=(const ScopedSeams&) = delete;

 private:
  SystemSeams saved_;
};

}  // namespace machine
