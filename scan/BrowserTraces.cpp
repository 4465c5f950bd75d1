#include "scan/BrowserTraces.h"

namespace scan {

// The browser scanners come with their own work; until then they find nothing.
void ScanFirefox(ScanContext&, bool, bool, bool, bool, bool) {}
void ScanChrome(ScanContext&, bool, bool, bool, bool, bool) {}
void ScanOpera(ScanContext&, bool, bool, bool, bool) {}

}  // namespace scan
