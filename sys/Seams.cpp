#include "sys/Seams.h"

namespace sys {

SystemSeams& Seams() {
  static SystemSeams seams{
      [] { return ReadVersionFacts(); },
      [] { return IsAdministrator(); },
      [](UINT flags, DWORD reason) { return ExitWindowsEx(flags, reason); },
  };
  return seams;
}

}  // namespace sys
