// Scanners for the traces that single applications and the shell keep in their own files
// and keys, and the folder lister that many history sources use.
#pragma once
#include <windows.h>

#include <string>

#include "catalogue/ScanContext.h"

namespace scan {

using catalogue::ScanContext;

// Files ("*.*") or shortcuts (any other mask: "*" every shortcut, ".exe" those whose target
// has that extension) directly in `folder`; sub-folders as "目录" items when asked.
void ListFolderTraces(ScanContext& ctx, std::wstring folder, const std::wstring& mask,
                      int image, bool includeFolders);
// Sub-keys of root\key whose name contains `marker` (case counts), each a keyed item.
void ScanMarkedSubKeys(ScanContext& ctx, HKEY root, const std::wstring& key, int image,
                       const std::wstring& description, const std::wstring& marker);
void ScanFileExts(ScanContext& ctx);
// `key` is below HKEY_CURRENT_USER.
void ScanUserAssist(ScanContext& ctx, const std::wstring& key);
void ScanUltraEditProgram(ScanContext& ctx);  // scanner 1: next to the program
void ScanUltraEditProfile(ScanContext& ctx);  // scanner 2: in the user's profile
void ScanStorm(ScanContext& ctx);
void ScanMyIE2(ScanContext& ctx);
// `folder` ends with a backslash.
void ScanKuGooFolder(ScanContext& ctx, const std::wstring& folder);
void ScanMaxthon2(ScanContext& ctx, const std::wstring& folder);
void ScanMaxthon1(ScanContext& ctx, const std::wstring& folder);

// Shared routines.
// The root text of a finding: HKEY_CURRENT_USER, HKEY_USERS, and HKEY_LOCAL_MACHINE for any
// other root.
std::wstring ScannerRootName(HKEY root);
// The REG_SZ / REG_EXPAND_SZ value, else empty.
std::wstring ReadRegString(HKEY root, const std::wstring& key, const std::wstring& name);
// Replaces a leading %programfiles%, %systemroot%, %commonprogramfiles% or %windir%.
void ExpandLeadingMacro(std::wstring& text, const machine::Folders& folders);
// Trimmed text that is not empty and holds only "0"-"9" and ".".
bool IsDigitsText(const std::wstring& text);

}  // namespace scan
