#include "registry_scan/FindInvalidRegistry.h"

namespace registry_scan {

// The registry scanners come with their own work; until then they find nothing.
void ScanSharedDlls(ScanContext&) {}
void ScanSoftwareKeys(ScanContext&) {}
void ScanInstallerFolders(ScanContext&) {}
void ScanUninstallEntries(ScanContext&) {}
void ScanHelpFiles(ScanContext&) {}
void ScanStartMenuOrder(ScanContext&) {}
void ScanContextMenuHandlers(ScanContext&, const std::wstring&) {}
void ScanFileClasses(ScanContext&) {}

}  // namespace registry_scan
