// Opera's session list ("autosave.win", an INI file): the edit that clears it, which the
// scan asks about and the clean makes.
#pragma once

#include <string>
#include <vector>

namespace browsers {

// The clean of Opera's session list ("autosave.win") keeps its first window: it erases
// the sections of the later windows that are in the file, each once, and sets "window
// count" to 1 where it is more.
struct OperaSessionEdit {
  bool readable = false;  // nothing can be said of a file that cannot be read
  std::vector<std::wstring> sections;
  bool resetCount = false;
  bool Changes() const { return resetCount || !sections.empty(); }
};
OperaSessionEdit PlanOperaSessionEdit(const std::wstring& path);
// False when the file could not be read or written.
bool ApplyOperaSessionEdit(const std::wstring& path, const OperaSessionEdit& edit);

}  // namespace browsers
