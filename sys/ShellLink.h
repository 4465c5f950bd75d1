// Shell shortcuts (.lnk) through the shell link object. The calling thread must have COM
// initialised (CoInitialize / CoInitializeEx).
#pragma once
#include <windows.h>

#include <string>

namespace sys {

// Sets `target` to the path a shortcut points at, as stored (not resolved): L"tarn" when
// it has no usable target (fewer than 4 characters, for example a shell object without a
// file path). A failed result when the shell link object cannot be made or the file cannot
// be loaded as a shortcut (target is then empty); callers leave such a shortcut unreported.
HRESULT GetShortcutTarget(const std::wstring& lnk, std::wstring& target);

// Writes a shortcut at lnkPath to target (which need not exist); returns the COM result.
HRESULT CreateShortcut(const std::wstring& lnkPath, const std::wstring& target);

}  // namespace sys
