// The clean options: the catalogue of 74 rows as one table, the option tree built from it,
// the saved check states, and the shortcut links.
#pragma once
#include <functional>
#include <string>
#include <vector>

namespace machine {
class TTarnOSInfo;
}
namespace model {
class TreeModel;
class TreeNode;
}
namespace sys {
class ProfileIni;
class ProfileWriteError;
}

namespace catalogue {

// One enumerator per catalogue row, in table order, named after what the option cleans.
enum class OptionId {
  BrowserGroup, IESubgroup, IECache, IECacheAll, IECacheKeepCookies,
  IECacheKeepCookiesAndHistory, IETypedUrls, IEFormAutoComplete, IEPasswordAutoComplete,
  FirefoxSubgroup, FirefoxHistory, FirefoxDownloads, FirefoxFormHistory, FirefoxCache,
  FirefoxCookies,
  OperaSubgroup, OperaCache, OperaHistory, OperaDownloads, OperaCookies,
  ChromeSubgroup, ChromeHistory, ChromeDownloads, ChromeCache, ChromeCookies, ChromePasswords,
  SystemGroup, TempFiles, LogFiles, ThumbnailCache, ErrorReports, InvalidShortcuts, RunHistory,
  RecentPrograms, OpenSaveHistory, WindowPositions, ComputerSearch, RecentDocuments,
  ExtensionHistory, RecentlyOpenedPrograms, TrayIcons, EventLogs, RecycleBin,
  ApplicationGroup, Paint, WordPad, Defender, UltraEdit, EditPlus, MediaPlayer, RealPlayer,
  Storm, Office, Word, FrontPage, PowerPoint, Excel, FlashPlayer, WinZip, WinRAR, MyIE2, KuGoo,
  Maxthon, KMPlayer, AcrobatReader, SymantecAntiVirus,
  RegistryGroup, SharedDlls, InvalidSoftware, InvalidInstallers, InvalidUninstallers,
  InvalidHelp, InvalidMenus, ActiveXAndClasses,
};

// The record of one option node.
struct TraceOption {
  OptionId Id = OptionId::BrowserGroup;
  std::wstring Caption;  // column 0, and the key of its saved state
  std::wstring Advice;   // column 1: "推荐", "可选", ... or empty
  int ImageIndex = -1;
};

enum class OptionLevel { Group, Subgroup, Option, Radio };
// When a row exists on the running system.
enum class OptionCondition { Always, MajorAbove5, MajorAbove4, TrayIcons };

struct CatalogueRow {
  OptionId id;
  OptionLevel level;
  const wchar_t* caption;
  const wchar_t* advice;
  int image;
  OptionCondition condition;
};

extern const wchar_t kRecommended[];   // "推荐"
extern const wchar_t kClickToClear[];  // "单击立即清除"
extern const wchar_t kIEModeKey[];     // "IETraceCleanMode"
extern const wchar_t kSettingsSection[];  // "TraceScanOption", of the settings file

// All 74 rows in tree order.
const std::vector<CatalogueRow>& Catalogue();
const CatalogueRow& CatalogueRowOf(OptionId id);
// The ids from `first` to `last` in table order, both included.
std::vector<OptionId> OptionsFromTo(OptionId first, OptionId last);
bool RowExists(const CatalogueRow& row, const machine::TTarnOSInfo& os);

// A node with its record, no check box.
model::TreeNode* AddOptionNode(model::TreeModel& tree, const CatalogueRow& row, model::TreeNode* parent);
// A node with a check box: the default state (checked exactly when recommended), or the
// saved one when `saved` is given; then the parent and grandparent are re-derived.
model::TreeNode* AddOption(model::TreeModel& tree, const CatalogueRow& row, model::TreeNode* parent,
                        const sys::ProfileIni* saved);
// Clears the tree and adds every row that exists on this system. With `saved` the states
// and the IE mode come from the settings file (defaults as fallback).
void BuildOptionTree(model::TreeModel& tree, const machine::TTarnOSInfo& os,
                     const sys::ProfileIni* saved);
// "全选" / "全不选": every group, subgroup and option; the radio items keep their state.
void SetAllOptions(model::TreeModel& tree, bool checked);
// Writes the states when the window closes. A refused write ends the saving; it is handed
// to `failed` when given, and never raised, so the window closes all the same.
void SaveOptionStates(const model::TreeModel& tree, sys::ProfileIni& ini, int ieCleanMode,
                      const std::function<void(const sys::ProfileWriteError&)>& failed = {});

// The node of a catalogue row, or null when absent on this system.
model::TreeNode* FindOption(const model::TreeModel& tree, OptionId id);
// The same by the caption a user reads (tests and automation name options so).
model::TreeNode* FindOption(const model::TreeModel& tree, const std::wstring& caption);
// The node of the row (an absent row counts as unchecked) is checked / on.
bool OptionChecked(const model::TreeModel& tree, OptionId id);
bool OptionOn(const model::TreeModel& tree, OptionId id);
// On: checked (normal or pressed); a group is on when checked or mixed.
bool OptionOn(const model::TreeNode* node);
// The IE mode chosen by the radio items below "IE缓存", or -1 when none is checked.
int CheckedIEMode(const model::TreeModel& tree);

}  // namespace catalogue
