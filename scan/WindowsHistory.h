// Traces of use that Windows and common applications keep in the current user's registry
// and in small folders: the MRU walker and the source of every history option.
#pragma once
#include <windows.h>

#include <string>

#include "catalogue/ScanContext.h"

namespace scan {

using catalogue::ScanContext;

// One keyed result per value of root\path; one level of sub-keys below RecentDocs and
// OpenSaveMRU only.
void ScanRegistryMru(ScanContext& ctx, HKEY root, const std::wstring& path, int image);

// Runs the history source of one catalogue row (system group: "临时文件" (its folder part)
// and rows 33-42; application group: rows 45-65; browser group: row 7). The caller has
// checked that the option exists, is checked and that the scan still runs. Rows without a
// source here do nothing.
void ScanHistorySource(ScanContext& ctx, int row);

}  // namespace scan
