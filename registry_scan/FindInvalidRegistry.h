// Read-only scanners of registry entries that point at things no longer present.
#pragma once
#include <string>

#include "catalogue/ScanContext.h"

namespace registry_scan {

using catalogue::ScanContext;

void ScanSharedDlls(ScanContext& ctx);
void ScanSoftwareKeys(ScanContext& ctx);
void ScanInstallerFolders(ScanContext& ctx);
void ScanUninstallEntries(ScanContext& ctx);
void ScanHelpFiles(ScanContext& ctx);
void ScanStartMenuOrder(ScanContext& ctx);
// `className` is "*", "Directory", "Folder" or "Drive".
void ScanContextMenuHandlers(ScanContext& ctx, const std::wstring& className);
void ScanFileClasses(ScanContext& ctx);

}  // namespace registry_scan
