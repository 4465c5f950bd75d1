#include "clean/CleanTraces.h"

#include <objbase.h>
#include <shellapi.h>

#include <set>
#include <vector>

#include "browsers/BrowserDatabases.h"
#include "browsers/IECache.h"
#include "browsers/OperaSession.h"
#include "catalogue/TraceOption.h"
#include "clean/RegistryBackup.h"
#include "junk/FindInvalidFiles.h"
#include "registry_scan/Judge.h"
#include "sys/ComScope.h"
#include "sys/FileSearch.h"
#include "sys/FileUtils.h"
#include "sys/FolderWalk.h"
#include "sys/Handles.h"
#include "sys/ProfileIni.h"
#include "sys/Registry.h"
#include "sys/SysEvent.h"
#include "sys/SystemLibrary.h"
#include "sys/Text.h"
#include "sys/TrackLibrary.h"
#include "sys/XmlDocument.h"
#include "machine/Folders.h"
#include "machine/TarnGetOSInfo.h"

namespace clean {

using catalogue::OneKeyStep;

namespace {

// Folder items keep the parent's trailing backslash; the path gets one separator.
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
  return sys::WithBackslash(folder) + name;
}

// The files inside go, the folder too when nothing is left in it. Sub-folders that stay
// are no failure; a file that stays is. A folder the rule for emptied folders refuses
// keeps its files: a link may go itself, nothing behind it does.
bool DeleteFolder(const std::wstring& path, const machine::Folders& folders) {
  switch (machine::WhyNotEmptied(path, folders)) {
    case machine::EmptyRefusal::None:
      break;
    case machine::EmptyRefusal::NoFolder:
      return sys::RemoveEmptyFolder(path);  // gone already, or a file of that name
    case machine::EmptyRefusal::Link: {
      DWORD a = sys::FolderAttributes(path);
      return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT) &&
             sys::RemoveEmptyFolder(path);
    }
    default:
      return false;
  }
  bool filesGone = sys::EmptyFolderFiles(path);
  if (sys::RemoveEmptyFolder(path)) return filesGone;
  return filesGone && sys::HasSubfolders(path);
}



bool IsCacheItem(const catalogue::ResultItem& r) {
  return r.Kind == catalogue::ResultKind::IECache;
}

bool Unticked(const model::TreeNode* n) { return model::IsUnchecked(n->CheckState()); }

}  // namespace

std::wstring DeleteRegistryItem(const std::wstring& rootName, const std::wstring& keyPath,
                                const std::wstring& valueName, RegistryBackup* backup,
                                sys::RegView view) {
  RegistryBatch batch(backup);
  bool waiting = false;
  const std::wstring why = batch.Add(rootName, keyPath, valueName, view, waiting);
  return waiting ? batch.Finish().front() : why;
}

bool StillAsFound(const catalogue::ResultItem& item, const machine::Folders& folders,
                  const machine::TTarnOSInfo& os) {
  if (!item.IsRegistryItem() || !item.Seen) return true;
  const std::wstring valueName =
      item.Detail == catalogue::kDefaultValueMarker ? std::wstring() : item.Detail.str();
  sys::RegSummary now;
  // Gone since the scan: nothing to judge, nothing left to delete.
  LONG rc = sys::SummarizeRegItem(RegistryRoot(item.Text), item.Location, valueName,
                                  item.View, now);
  if (rc == ERROR_FILE_NOT_FOUND) return true;
  if (rc != ERROR_SUCCESS || now != *item.Seen) return false;
  const registry_scan::JudgeContext judge{folders, os, nullptr};
  const registry_scan::Verdict verdict =
      registry_scan::JudgeFinding(judge, item.Text, item.Location, item.Detail, item.View);
  return verdict.dead && verdict.data == item.ValueData.str();
}

void EmptyRecycleBin(HWND owner) {
  sys::ScopedModule shell(sys::LoadLibraryByPath(sys::SystemDllPath(L"Shell32.dll")));
  if (!shell) return;
  using Fn = HRESULT(WINAPI*)(HWND, LPCWSTR, DWORD);
  if (auto fn = reinterpret_cast<Fn>(
          reinterpret_cast<void*>(GetProcAddress(shell.get(), "SHEmptyRecycleBinW"))))
    fn(owner, nullptr, SHERB_NOCONFIRMATION | SHERB_NOPROGRESSUI | SHERB_NOSOUND);
}

CleanExecutor::CleanExecutor(catalogue::ScanState& state, catalogue::ResultModel& results,
                             const model::TreeModel& options, const machine::Folders& folders,
                             const machine::TTarnOSInfo& os, CleanWindow& window,
                             std::wstring settingsFile)
    : DatabaseStepMillis(browsers::kDatabaseStepMillis),
      state_(state),
      results_(results),
      options_(options),
      folders_(folders),
      os_(os),
      window_(window),
      settingsFile_(std::move(settingsFile)) {}

void CleanExecutor::Step(catalogue::OneKeyStep step) {
  if (state_.oneKey) window_.OneKeyStepReached(step);
}

// A ticked click-to-clear option is cleared with the clean as well.
void CleanExecutor::ClearAutoComplete() {
  const bool vista = os_.MajorVersion >= 6;
  if (catalogue::OptionChecked(options_, catalogue::OptionId::IEFormAutoComplete)) {
    if (vista) sys::ClearTracksForVista(nullptr, 3);
    else sys::ClearAutoCompleteOldSystem(1);
  }
  if (catalogue::OptionChecked(options_, catalogue::OptionId::IEPasswordAutoComplete)) {
    if (vista) sys::ClearTracksForVista(nullptr, 4);
    else sys::ClearAutoCompleteOldSystem(2);
  }
}

void CleanExecutor::Abandon() {
  abandoned_ = true;
  if (sweep_) sweep_->Terminate();
}

void CleanExecutor::Run(bool confirm) {
  // A scan still walking would add to, or empty, the list being cleaned.
  if (running_ || state_.cleaning || state_.scanning || state_.finderRunning) return;
  running_ = state_.cleaning = true;
  window_.CleanBusy(true);
  sys::ScopeExit running([this] {
    running_ = state_.cleaning = false;
    window_.CleanBusy(false);
  });
  abandoned_ = false;
  rescanPasses_ = 0;
  failed_.clear();
  failedBytes_ = 0;
  if (state_.oneKey) {
    if (results_.Cleaned()) {
      Step(OneKeyStep::NothingToClean);
      return;
    }
    Step(OneKeyStep::CleanStarted);
  }
  ClearAutoComplete();
  if (results_.ItemCount() == 0) return;
  if (confirm && !state_.oneKey &&
      window_.ShowMessage(L"说明：将要清理扫描到的项目，确定吗？", MB_OKCANCEL | MB_ICONQUESTION) !=
          IDOK)
    return;
  if (results_.ItemCount() == 0) return;
  Step(OneKeyStep::DeletionStarting);
  CleanIECache();
  Step(OneKeyStep::IECachePassed);
  backup_ = RegistryBackup(BackupFolderFor(settingsFile_));
  if (JudgeAgain()) CleanItems();
  backup_.Close();
  changed_.clear();
  if (abandoned_) return;
  if (catalogue::OptionChecked(options_, catalogue::OptionId::RecycleBin))
    window_.EmptyRecycleBin();
  Step(OneKeyStep::ItemsDeleted);
  if (state_.tempFilesRequested) Rescan();
  if (abandoned_) return;
  results_.Clear();
  ShowFailedAgain();
  window_.RepaintResults();
  results_.SetCleaned();
  SYSTEMTIME now;
  GetLocalTime(&now);
  try {
    sys::ProfileIni ini(settingsFile_);
    ini.WriteString(catalogue::kSettingsSection, L"PreviousCleanDate",
                    sys::ProfileIni::DateText(now).substr(0, 10));
    ini.WriteDate(catalogue::kSettingsSection, L"PreviousCleanDate2", now);
  } catch (const sys::ProfileWriteError& e) {
    window_.SettingsNotWritten(e);
  }
  if (!state_.oneKey && failed_.empty())
    window_.ShowMessage(L"说明: 清理完毕！已删除所有扫描到的项目。", MB_OK | MB_ICONINFORMATION);
  else if (!state_.oneKey)
    window_.ShowMessage(sys::Format(L"说明: 清理完毕！有 %d 个项目未能删除，仍列在扫描结果中。",
                                    FailedCount()),
                        MB_OK | MB_ICONWARNING);
  Step(OneKeyStep::CleanFinished);
  window_.SetStatus(0, L"清理完毕！");
}

// One pass over the cache for all cache items. Entries of items the user unticked are
// kept, and then the whole-kind clear of the track library is not used either.
void CleanExecutor::CleanIECache() {
  bool any = false;
  std::set<std::wstring> keep;
  for (model::TreeNode* n = results_.Tree().FirstTopLevel(); n; n = n->NextSibling()) {
    const catalogue::ResultItem* r = n->DataAs<catalogue::ResultItem>();
    if (!r || !IsCacheItem(*r)) continue;
    if (Unticked(n)) keep.insert(r->Location);
    else any = true;
  }
  if (!any) return;  // unticked items only: they leave with the list
  window_.SetStatus(0, L"正在清理IE缓存，请稍候...");
  window_.ProcessMessages();
  catalogue::ScanContext ctx{results_, folders_, os_, [] { return false; },
                             [this] { window_.ProcessMessages(); },
                             [this](const std::wstring& t) { window_.SetStatus(0, t); }};
  browsers::ScanIECache(ctx, state_.ieCleanMode, true, keep);
  state_.ieCleanMode = -1;
  window_.SetStatus(0, L"IE缓存清理完毕");
}

bool CleanExecutor::JudgeAgain() {
  changed_.clear();
  const unsigned clears = results_.Clears();
  DWORD lastPump = GetTickCount();
  for (model::TreeNode* n = results_.Tree().FirstTopLevel(); n; n = n->NextSibling()) {
    const catalogue::ResultItem* r = n->DataAs<catalogue::ResultItem>();
    if (!r || !r->Seen || Unticked(n)) continue;
    if (!StillAsFound(*r, folders_, os_)) changed_.insert(n);
    if (GetTickCount() - lastPump >= kPumpMillis) {
      window_.ProcessMessages();
      lastPump = GetTickCount();
      if (abandoned_ || results_.Clears() != clears) return false;
    }
  }
  return true;
}

// The node in hand is never kept across the pump: only the model's count of clears tells
// whether what follows it is still there (nothing else may empty it while this runs).
void CleanExecutor::CleanItems() {
  const unsigned clears = results_.Clears();
  DWORD lastPump = 0;
  bool first = true;
  // Registry items wait for one flush of the backup; the nodes stay valid until the pump.
  RegistryBatch batch(&backup_);
  std::vector<std::pair<model::TreeNode*, std::wstring>> waiting;  // node, log text
  auto finish = [&] {
    if (waiting.empty()) return;
    const std::vector<std::wstring> why = batch.Finish();
    for (size_t i = 0; i < waiting.size(); ++i)
      RegistryItemDone(waiting[i].first, waiting[i].second, why[i]);
    waiting.clear();
  };
  for (model::TreeNode* n = results_.Tree().FirstTopLevel(); n;) {
    model::TreeNode* next = n->NextSibling();
    const catalogue::ResultItem* r = n->DataAs<catalogue::ResultItem>();
    // An item the user unticked is left alone.
    if (r && !Unticked(n) && r->IsRegistryItem()) {
      const std::wstring log =
          r->Text + L"\\" + r->Location + L"\\" + r->Detail + L":" + r->ValueData;
      if (changed_.count(n)) {
        window_.SetStatus(0, L"已变化，未删除: " + log);
        KeepFailed(n);
      } else {
        if (batch.Touches(r->Text, r->Location) || waiting.size() >= kRegistryBatch) finish();
        bool waits = false;
        const std::wstring why =
            batch.Add(r->Text, r->Location, r->Detail, r->View, waits);
        if (waits) waiting.emplace_back(n, log);
        else RegistryItemDone(n, log, why);
      }
    } else if (r && !Unticked(n)) {
      // A database step serves the window: no registry item may wait across it.
      finish();
      if (!CleanItem(n)) KeepFailed(n);
    }
    // A pump costs more than deleting a file: the window is served every few
    // milliseconds, which keeps it as live as a pump per item would.
    DWORD now = GetTickCount();
    if (first || now - lastPump >= kPumpMillis) {
      finish();
      window_.ProcessMessages();
      lastPump = GetTickCount();
      first = false;
      if (abandoned_ || results_.Clears() != clears) return;
    }
    n = next;
  }
  finish();
}

void CleanExecutor::RegistryItemDone(model::TreeNode* node, const std::wstring& log,
                                     const std::wstring& why) {
  window_.SetStatus(0, why.empty() ? L"删除: " + log : L"删除失败: " + log + L"（" + why + L"）");
  if (!why.empty()) KeepFailed(node);
}

bool CleanExecutor::CleanItem(model::TreeNode* node) {
  const catalogue::ResultItem* item = node->DataAs<catalogue::ResultItem>();
  if (!item) return true;
  const catalogue::ResultItem r = *item;  // the node may go below
  if (r.Kind == catalogue::ResultKind::FirefoxDatabase ||
      r.Kind == catalogue::ResultKind::ChromeDatabase) {
    std::wstring table = sys::Trim(r.Detail);
    std::wstring path = sys::Trim(r.Location) + sys::Trim(r.Text);
    // A database or table that is gone has nothing left to delete.
    if (table.empty() || !sys::FileExists(path)) return true;
    if (CleanDatabase(path, sys::Trim(r.Text), table, r.Kind)) return true;
    window_.SetStatus(0, sys::Format(L"删除失败: %s", (r.Text + L":" + table).c_str()));
    return false;
  }
  if (r.Kind == catalogue::ResultKind::Configuration || r.Kind == catalogue::ResultKind::IniValue)
    return CleanConfiguration(node, r);
  if (r.Kind == catalogue::ResultKind::EventLog) {
    if (!sys::TEventLogOper(r.Detail).Clear()) {
      window_.SetStatus(0, sys::Format(L"删除失败: %s", r.Text.c_str()));
      return false;
    }
    results_.Remove(node);
    window_.SetStatus(0, sys::Format(L"删除: %s", r.Text.c_str()));
    return true;
  }
  if (IsCacheItem(r)) return true;
  // A file or folder that stays is never reported as deleted.
  bool gone = r.Kind == catalogue::ResultKind::Folder
                  ? DeleteFolder(JoinPath(r.Location, r.Text), folders_)
                  : sys::DeleteFileForced(JoinPath(r.Location, r.Text));
  window_.SetStatus(0, sys::Format(gone ? L"删除: %s" : L"删除失败: %s", r.Text.c_str()));
  return gone;
}

// The statements of one item run for a few seconds at most: a trigger in somebody's file
// that would run for minutes costs that item, not the clean. The window is served
// meanwhile, and a window that closes ends the step.
bool CleanExecutor::CleanDatabase(const std::wstring& path, const std::wstring& file,
                                  const std::wstring& table, catalogue::ResultKind kind) {
  const auto engine = kind == catalogue::ResultKind::FirefoxDatabase ? browsers::Engine::Firefox
                                                                     : browsers::Engine::Chromium;
  const DWORD start = GetTickCount();
  DWORD lastPump = start;
  return browsers::CleanTrace(path, browsers::FindSource(engine, file, table), table, [&] {
    const DWORD now = GetTickCount();
    if (now - lastPump >= kPumpMillis) {
      window_.ProcessMessages();
      lastPump = GetTickCount();
    }
    return !abandoned_ && now - start < DatabaseStepMillis;
  });
}

void CleanExecutor::KeepFailed(const model::TreeNode* node) {
  const catalogue::ResultItem* item = node->DataAs<catalogue::ResultItem>();
  if (!item) return;
  // The record keeps its rows: shown again, the item has them all.
  // Only bytes the scan counted are taken back from its total.
  if (item->SizeCounted) failedBytes_ += item->Size;
  failed_.push_back({*item});
}

void CleanExecutor::ShowFailedAgain() {
  model::TreeModel* tree = &results_.Tree();
  for (const FailedItem& f : failed_) results_.AddResultItem(tree, nullptr, f.item);
}

bool CleanExecutor::CleanConfiguration(model::TreeNode* node, const catalogue::ResultItem& r) {
  const bool exists = sys::FileExists(r.Location);
  sys::ProfileIni ini(r.Location);
  // A write error of one file must not end the clean of everything else; the item stays.
  bool written = true;
  auto guarded = [&written](const std::function<bool()>& edit) {
    try {
      if (!edit()) written = false;
    } catch (const sys::ProfileWriteError&) {
      written = false;
    }
  };
  auto ini_edit = [&](const std::function<void()>& edit) {
    guarded([&] {
      edit();
      return true;
    });
  };
  bool handled = true;
  if (r.Detail == L"MyIE2" && exists) {
    ini_edit([&] { ini.EraseSection(L"UndoUrl"); });
    ini_edit([&] { ini.WriteString(L"SearchBar", L"History", L""); });
    ini_edit([&] { ini.WriteString(L"Settings", L"lastvisit", L""); });
  } else if (r.Kind == catalogue::ResultKind::IniValue && exists) {
    const std::wstring detail = r.Detail;
    size_t bar = detail.find(L'|');
    std::wstring section = detail.substr(0, bar);
    std::wstring key = bar == std::wstring::npos ? L"" : detail.substr(bar + 1);
    ini_edit([&] { ini.DeleteKey(section, key); });
  } else if (sys::LowerCase(r.Detail) == L"operaini" && exists) {
    // Only the sections that are in the file, whatever count it claims.
    written =
        browsers::ApplyOperaSessionEdit(r.Location, browsers::PlanOperaSessionEdit(r.Location));
  } else if (r.Detail == L"Storm") {
    guarded([&] {
      sys::ComScope com;
      sys::XmlDocument xml;
      if (xml.Load(r.Location) != S_OK) return !exists;  // gone meanwhile: nothing left
      sys::XmlNode history = xml.DocumentElement().LastChildNamed(L"localplayhist");
      if (!history) return true;
      return SUCCEEDED(history.RemoveChildren()) && SUCCEEDED(xml.Save(r.Location));
    });
  } else if (r.Detail == L"kugoo2007") {
    ini_edit([&] { ini.EraseSection(L"SearchItems"); });
  } else {
    handled = false;
  }
  if (!written) {
    window_.SetStatus(0, sys::Format(L"删除失败: %s", r.Text.c_str()));
    return false;
  }
  if (!handled) return true;
  results_.Remove(node);
  if (r.Kind == catalogue::ResultKind::IniValue)
    window_.SetStatus(0, sys::Format(L"删除: %s", r.Text.c_str()));
  return true;
}

// The temporary folders once more, up to three times, so that what a first pass left
// (folders emptied by it) goes as well.
void CleanExecutor::Rescan() {
  for (int pass = 0; pass < 3 && !abandoned_; ++pass) {
    ++rescanPasses_;
    results_.Clear();
    window_.ProcessMessages();
    junk::TFindInvalidFiles finder(results_, folders_, os_.MajorVersion,
                                   [this](const std::wstring& t) { window_.SetStatus(0, t); });
    sweep_ = &finder;
    sys::ScopeExit current([this] { sweep_ = nullptr; });
    finder.FreeOnTerminate = false;
    finder.CleanTempFiles = true;
    finder.FindEmptyFolders = true;
    finder.SkipLockedFiles = true;
    finder.IncludeReadOnly = finder.IncludeSystem = finder.IncludeHidden = false;
    finder.Resume();
    finder.WaitFor();
    if (abandoned_ || results_.ItemCount() == 0) break;
    for (model::TreeNode* n = results_.Tree().FirstTopLevel(); n; n = n->NextSibling()) {
      const catalogue::ResultItem* r = n->DataAs<catalogue::ResultItem>();
      if (!r) continue;
      std::wstring path = JoinPath(r->Location, r->Text);
      // What a sweep cannot delete was never confirmed: it is simply left.
      if (r->Kind == catalogue::ResultKind::Folder) DeleteFolder(path, folders_);
      else sys::DeleteFileForced(path);
    }
  }
}

}  // namespace clean
