// Read-only scanners of registry entries that point at things no longer present.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "catalogue/ScanContext.h"
#include "registry_scan/Judge.h"

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

// --- uninstall entries and installer products ------------------------------------------

// `product` is the entry's own installer product (its product code packed names it), or
// null.
bool IsUninstallEntryValid(const JudgeContext& ctx, const std::wstring& uninstall,
                           const std::wstring& displayName, const std::wstring& icon,
                           const TRegIcoPosition* product);
// A product code "{...}" as Windows Installer names its keys ("Products\<packed>"); empty
// for a name that is no product code. UnpackedProductCode undoes it.
std::wstring PackedProductCode(const std::wstring& code);
std::wstring UnpackedProductCode(const std::wstring& packed);
// The program file to take as an entry's icon when it names none; empty when none fits.
std::wstring GuessProgramIcon(const JudgeContext& ctx, const std::wstring& uninstall);
std::wstring GuessProgramIcon(const ScanContext& ctx, const std::wstring& uninstall);

// --- help files and menus --------------------------------------------------------------

// `keyPath` is below HKEY_LOCAL_MACHINE.
void ScanHelpKey(ScanContext& ctx, const std::wstring& keyPath);

// Start-menu folders below `base` + `rel`: top-level folders by bare name, deeper ones as
// "\A\B". A folder whose bare name is listed already is neither added nor walked.
void ListMenuFolders(const std::wstring& base, const std::wstring& rel,
                     std::vector<std::wstring>& folders);
// Sub-keys below HKEY_CURRENT_USER `key` + `rel`, named as ListMenuFolders names folders.
void ListMenuOrderKeys(const std::wstring& key, const std::wstring& rel,
                       std::vector<std::wstring>& keys);
// Reports the menu-order keys below `key` whose folder is not in `folders` and, by its
// own or its English name, exists below none of the programs folders `bases`.
void CheckMenuOrderKey(ScanContext& ctx, const std::wstring& key,
                       const std::vector<std::wstring>& folders,
                       const std::vector<std::wstring>& bases = {});

}  // namespace registry_scan
