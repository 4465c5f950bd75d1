// Traces of use that Windows and common applications keep in the current user's registry
// and in small folders: the MRU walker and the source of every history option.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "catalogue/ScanContext.h"

namespace catalogue {
enum class OptionId;
}

namespace scan {

using catalogue::ScanContext;

// One keyed result per value of root\path; one level of sub-keys below RecentDocs and
// OpenSaveMRU only.
void ScanRegistryMru(ScanContext& ctx, HKEY root, const std::wstring& path, int image);

// Runs the history source of one option (system group: "临时文件" (its folder part) and
// the history options from "运行(开始菜单中)" to "Windows系统日志"; application group: from
// "Windows画图" to "Acrobat Reader阅读器"; browser group: the typed addresses). The caller has
// checked that the option exists, is checked and that the scan still runs. Options without
// a source here do nothing.
void ScanHistorySource(ScanContext& ctx, catalogue::OptionId option);

// One step of a history source, run in table order.
struct HistoryStep {
  enum class Kind { Mru, Folder, Code };
  Kind kind;
  const wchar_t* path;  // Mru: the key below HKEY_CURRENT_USER; Folder: appended to the
                        // special folder
  int image;
  int csidl;                   // Folder: the special folder (unknown: the step is skipped)
  const wchar_t* mask;         // Folder: "*.*" every file, "*" every shortcut
  bool includeFolders;         // Folder: sub-folders become items too
  void (*code)(ScanContext&);  // Code: a source that needs more than a key or a folder
};

struct HistorySource {
  catalogue::OptionId option;
  const wchar_t* status;  // shown after "分析: " before the steps; null for none
  std::vector<HistoryStep> steps;
};

// Every history source, by option.
const std::vector<HistorySource>& HistorySources();

// Where KuGoo keeps its users' settings: next to the program named by "AppFileName", or
// in the virtual store on 32-bit Windows of major version 6 or more (with a trailing
// backslash). Empty when the program is not registered.
std::wstring KuGooDataFolder(const ScanContext& ctx);

}  // namespace scan
