// A 64-bit machine for tests of "missing in every view": the other registry view inside the
// hermetic registry and file attributes seen only with WoW64 redirection off. Both put
// the real seams back on destruction.
#pragma once
#include <windows.h>

#include <map>
#include <string>

#include "sys/Views.h"

namespace testsupport {

// Registry views present; the program's own view is the plain path, the other one lives
// below "Wow6432Node": HKLM "Software\X" there is "Software\Wow6432Node\X", HKCR "X" is
// "Wow6432Node\X". Other roots have one view.
class OtherRegistryView {
 public:
  OtherRegistryView();
  OtherRegistryView(const OtherRegistryView&) = delete;
  OtherRegistryView& operator=(const OtherRegistryView&) = delete;
  // Where a key of the other view is kept, for building a case.
  static std::wstring PathOf(HKEY root, const std::wstring& path);

 private:
  sys::ScopedViewApis restore_;
};

// The 32-bit program on a 64-bit Windows: registry views present, and its own view of the
// redirected keys (HKLM "Software", HKCR) is where Windows keeps the 32-bit view, below
// "Wow6432Node" (OtherRegistryView::PathOf); the native 64-bit view is the plain path.
class RedirectedRegistryView {
 public:
  RedirectedRegistryView();
  RedirectedRegistryView(const RedirectedRegistryView&) = delete;
  RedirectedRegistryView& operator=(const RedirectedRegistryView&) = delete;

 private:
  sys::ScopedViewApis restore_;
};

// File-system redirection that can be switched off; the paths added here exist only
// while it is (the native view), everything else is asked of the real file system.
class NativeOnlyFiles {
 public:
  NativeOnlyFiles();
  NativeOnlyFiles(const NativeOnlyFiles&) = delete;
  NativeOnlyFiles& operator=(const NativeOnlyFiles&) = delete;
  void AddFile(const std::wstring& path) { paths_[Key(path)] = FILE_ATTRIBUTE_ARCHIVE; }
  void AddFolder(const std::wstring& path) { paths_[Key(path)] = FILE_ATTRIBUTE_DIRECTORY; }
  int RedirectionSwitches() const { return switches_; }

 private:
  static std::wstring Key(const std::wstring& path);
  sys::ScopedViewApis restore_;
  std::map<std::wstring, DWORD> paths_;
  bool off_ = false;
  int switches_ = 0;
};

}  // namespace testsupport
