#include "scan/WindowsHistory.h"

namespace scan {

void ScanRegistryMru(ScanContext&, HKEY, const std::wstring&, int) {}
void ScanHistorySource(ScanContext&, int) {}

}  // namespace scan
