// System calls that tests replace: the real call is the default.
#pragma once
#include <windows.h>

#include <functional>

#include "sys/TarnGetOSInfo.h"

namespace sys {

struct SystemSeams {
  std::function<VersionFacts()> readVersionFacts;
  std::function<bool()> isAdministrator;
  std::function<BOOL(UINT flags, DWORD reason)> exitWindows;
};

// The process-wide seams, filled with ReadVersionFacts, IsAdministrator and ExitWindowsEx.
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

}  // namespace sys
