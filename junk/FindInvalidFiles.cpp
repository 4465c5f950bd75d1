#include "junk/FindInvalidFiles.h"

#include <objbase.h>
#include <shlobj.h>

#include <initializer_list>

#include "catalogue/Images.h"
#include "machine/Folders.h"
#include "sys/ComScope.h"
#include "sys/FileSearch.h"
#include "sys/FileUtils.h"
#include "sys/FolderWalk.h"
#include "sys/Handles.h"
#include "sys/ShellLink.h"
#include "sys/Text.h"
#include "sys/Views.h"

namespace junk {

namespace {

// Bases of the places below that are no CSIDL folder.
constexpr int kWindows = -1;
constexpr int kSystem = -2;

// One folder with the masks searched in it (none: the folder is walked).
struct Place {
  int base;
  const wchar_t* tail;
  std::initializer_list<const wchar_t*> masks;
};

const Place kLogFiles[] = {
    {kSystem, L"\\wbem\\Logs", {L"*.log", L"*.lo_"}},
    {kWindows, L"", {L"KB*.log", L"setupact.log", L"setuperr.log", L"setupapi.log", L"FaxSetup.log"}},
    {kWindows, L"\\repair", {L"setupapi.log"}},
    {kWindows,
     L"",
     {L"updspapi.log",
      L"Windows Update.log",
      L"WindowsUpdate.log",
      L"svcpack.log",
      L"spuninst.log",
      L"spupdsvc.log",
      L"DPINST.LOG",
      L"PFRO.log",
      L"SMinstall.log",
      L"TSSysprep.log",
      L"0.log",
      L"cmsetacl.log",
      L"IDNMitigationAPIs.log",
      L"ie7.log",
      L"ie7_main.log",
      L"medctroc.Log",
      L"msmqinst.log",
      L"msxml6-KB933579-enu-x86.LOG",
      L"msxml6-KB954459-enu-x86.LOG",
      L"NLSDownlevelMapping.log",
      L"nsw.log",
      L"ntdtcsetup.log",
      L"ocgen.log",
      L"oobeact.log",
      L"regopt.log",
      L"sessmgr.setup.log",
      L"spupdsvc.log.1.log",
      L"Sti_Trace.log",
      L"tabletoc.log",
      L"WGA.log",
      L"wiadebug.log",
      L"wiaservc.log",
      L"wmsetup.log",
      L"wmsetup10.log",
      L"IE4 Error Log.txt",
      L"OEWABLog.txt",
      L"COM+.log",
      L"comsetup.log",
      L"javainst.log",
      L"netfxocm.log",
      L"wplog.txt",
      L"ydi.log",
      L"YukonInstall.log"}},
    {kWindows, L"\\Debug", {L"mrt.log", L"blastcln.log", L"mrteng.log", L"NetSetup.LOG", L"sammui.log"}},
    {kWindows, L"\\Debug\\UserMode", {L"userenv.log", L"userenv.bak", L"ChkAcc.log", L"ChkAcc.bak"}},
    {kWindows, L"\\security\\logs", {L"*.log", L"*.old"}},
    {kWindows, L"", {L"dtcInstall.log", L"iis5.log", L"iis6.log", L"tsoc.log"}},
    {kSystem, L"", {L"spupdw2k.log", L"spupdwxp.log"}},
    {kSystem, L"\\CatRoot2", {L"dberr.txt"}},
    {CSIDL_APPDATA, L"\\Real\\RealPlayer\\", {L"realplayer.ste"}},
    {CSIDL_PROGRAM_FILES, L"\\Ahead\\Nero\\", {L"NeroHistory.log"}},
    {CSIDL_COMMON_APPDATA, L"\\Raxco\\PerfectDisk\\7.0\\", {L"PerfectDisk.log"}},
    {CSIDL_PROGRAM_FILES, L"\\Ewido\\Security Suite\\", {L"logfile.txt"}},
    {CSIDL_PROGRAM_FILES, L"\\Ewido Anti-Malware\\", {L"logfile.txt"}},
    {CSIDL_PROGRAM_FILES, L"\\ewido anti-spyware 4.0\\", {L"logfile.txt"}},
    {CSIDL_PROGRAM_FILES, L"\\Grisoft\\AVG Anti-Spyware 7.5\\", {L"logfile.txt"}},
};

const Place kThumbnailCache[] = {
    {CSIDL_LOCAL_APPDATA, L"\\Microsoft\\Windows\\Explorer\\", {L"*.db"}},
};

const Place kErrorReports[] = {
    {CSIDL_COMMON_APPDATA, L"\\Microsoft\\Windows\\WER\\ReportArchive", {}},
    {CSIDL_COMMON_APPDATA, L"\\Microsoft\\Windows\\WER\\ReportQueue", {}},
    {CSIDL_LOCAL_APPDATA, L"\\Microsoft\\Windows\\WER\\ReportArchive", {}},
    {CSIDL_LOCAL_APPDATA, L"\\Microsoft\\Windows\\WER\\ReportQueue", {}},
};

const Place kAcrobatCache[] = {
    {CSIDL_LOCAL_APPDATA, L"\\Adobe\\Acrobat\\8.0\\Cache\\Search80\\", {L"*.idx"}},
    {CSIDL_LOCAL_APPDATA, L"\\Adobe\\Acrobat\\9.0\\Cache\\Search90\\", {L"*.idx"}},
};

const Place kSymantecLogs[] = {
    {CSIDL_COMMON_APPDATA, L"\\Symantec\\Symantec AntiVirus Corporate Edition\\7.5\\Logs\\",
     {L"*.log"}},
    {CSIDL_LOCAL_APPDATA, L"\\Symantec\\Symantec AntiVirus Corporate Edition\\7.5\\Logs\\",
     {L"*.log"}},
    {CSIDL_COMMON_APPDATA, L"\\Symantec\\LiveUpdate\\Downloads\\", {L"*.*"}},
};

const wchar_t* const kDefaultExcludedFolders[] = {
    L"microsoft\\office\\data",      L"microsoft office\\data",   L"microsoft\\msn messenger",
    L"rav",                          L"system volume information", L"symantec shared\\virusdefs\\",
    L"paprport\\data\\",             L"chaos32\\",                 L"resources\\themes\\",
    L"windows\\security\\",          L"system32\\catroot2\\",      L"system32\\usmt\\",
    L"winsxs",                       L"microsoft sql server",
};

const wchar_t* const kDefaultExcludedNames[] = {
    L"index.dat",       L"desktop.ini",     L"hcdata.bak",     L"data.bak",
    L"opa11.bak",       L"rtscan.ini",      L"kvbigfile.bak",  L"pyczu102.bak",
    L"menus.bak",       L"ravmond.log",     L"devs.tmp",       L"default.jcd.bak",
    L"account.stg.bak", L"jedec.tmp",       L"nam.fts",        L"admpkg.err",
    L"datasrc.err",     L"framwork.err",    L"odbcdac.err",    L"omerrors.err",
    L"spss.err",        L"streamdac.err",   L"txtwdac.err",    L"uaspss.err",
    L"xlsdac.err",      L"uninstal.log",    L"fl114.dmp",      L"fl_s1119.dmp",
    L"flprim1119.dmp",  L"KISTempDB.bak",
};

const wchar_t kStatusPrefix[] = L"分析: ";

bool AnyOccursIn(const std::vector<std::wstring>& fragments, const std::wstring& text) {
  for (const std::wstring& f : fragments)
    if (text.find(f) != std::wstring::npos) return true;
  return false;
}

}  // namespace

std::wstring NormalizeFolderPath(const std::wstring& path) {
  std::wstring s = sys::WithBackslash(path);
  size_t from = sys::StartsWith(s, L"\\\\") ? 2 : 0;
  for (size_t p; (p = s.find(L"\\\\", from)) != std::wstring::npos;) s.erase(p, 1);
  return s;
}

TFindInvalidFiles::TFindInvalidFiles(catalogue::ResultModel& results, const machine::Folders& folders,
                                     int majorVersion,
                                     std::function<void(const std::wstring&)> status)
    : DriveType([](const std::wstring& root) { return GetDriveTypeW(root.c_str()); }),
      results_(results),
      folders_(folders),
      majorVersion_(majorVersion),
      status_(std::move(status)),
      postBatch_([this] { PostBatch(); }) {
  ExcludedFolders.assign(std::begin(kDefaultExcludedFolders), std::end(kDefaultExcludedFolders));
  ExcludedNames.assign(std::begin(kDefaultExcludedNames), std::end(kDefaultExcludedNames));
}

TFindInvalidFiles::~TFindInvalidFiles() {
  // The body and the hand-over use this object's members, which are gone before the base
  // destructor could wait. A FreeOnTerminate thread ends before it deletes itself.
  Terminate();
  if (!Suspended() && !Finished() && !FreeOnTerminate && GetCurrentThreadId() != ThreadID())
    WaitFor();
}

// Once stopped, a hand-over still waiting in the queue leaves the window alone: a window
// that stops the finder while closing may serve the queue as it waits for the thread.
void TFindInvalidFiles::ShowStatus() {
  if (status_ && !Terminated()) status_(StatusText);
}

void TFindInvalidFiles::PostResult() {
  const FindResult* r = CurrentResult;
  if (!r || Terminated()) return;
  model::TreeModel* tree = &results_.Tree();
  if (r->IsFolder == 1) {
    std::wstring path = r->Path;
    if (!path.empty() && path.back() == L'\\') path.pop_back();
    size_t cut = path.find_last_of(L'\\');
    std::wstring name = cut == std::wstring::npos ? path : path.substr(cut + 1);
    std::wstring parent = cut == std::wstring::npos ? std::wstring() : path.substr(0, cut + 1);
    if (name.empty() || parent.empty()) return;
    model::TreeNode* item = results_.AddResultNode(tree, name, nullptr, catalogue::kImageFolder,
                                                catalogue::ResultKind::Folder, L"", parent);
    // A refused item must not turn its rows into items of their own.
    if (item) results_.AddRow(item, L"说明", L"目录", catalogue::kImageDetail);
    return;
  }
  size_t cut = r->Path.find_last_of(L'\\');
  std::wstring name = cut == std::wstring::npos ? r->Path : r->Path.substr(cut + 1);
  std::wstring folder = cut == std::wstring::npos ? std::wstring() : r->Path.substr(0, cut);
  if (name.empty()) return;
  int image = r->WantsFileIcon ? AddFileIcon(r->Path) : r->ImageIndex;
  model::TreeNode* item =
      results_.AddResultNode(tree, name, nullptr, image, catalogue::ResultKind::File, L"", folder);
  if (!item) return;
  if (r->Size > 0) {
    FoundBytes += r->Size;
    catalogue::ResultModel::MarkSizeCounted(item);
    results_.AddRow(item, L"大小", catalogue::ResultModel::SizeText(r->Size),
                    catalogue::kImageDetail);
  }
  results_.AddRow(item, L"临时文件", L"建议删除", catalogue::kImageDetail);
}

int TFindInvalidFiles::AddFileIcon(const std::wstring& path) {
  // The shell takes no exact path: it would show another file's icon.
  if (!sys::IsPlainWin32Path(path)) return catalogue::kImageDefaultFile;
  int index = results_.Images().AppendFileIcon(path);
  return index < 0 ? catalogue::kImageDefaultFile : index;
}

void TFindInvalidFiles::Status(const std::wstring& text) {
  StatusText = kStatusPrefix + text;
  StatusChanged();
}

void TFindInvalidFiles::StatusChanged() {
  statusPending_ = true;
  HandOverWhenDue();
}

void TFindInvalidFiles::Report(std::unique_ptr<FindResult> r, bool withStatus) {
  batch_.push_back(std::move(r));
  if (withStatus) statusPending_ = true;
  HandOverWhenDue();
}

void TFindInvalidFiles::HandOverWhenDue() {
  if (batch_.size() >= kBatchSize || GetTickCount() - lastHandOver_ >= BatchMillis) HandOver();
}

void TFindInvalidFiles::HandOver() {
  if (!batch_.empty() || statusPending_) Synchronize(postBatch_);
  batch_.clear();
  statusPending_ = false;
  lastHandOver_ = GetTickCount();
}

void TFindInvalidFiles::PostBatch() {
  // A stop hands over nothing more, not even what the walk found just before it.
  if (Terminated()) return;
  if (statusPending_) ShowStatus();
  catalogue::ResultModel::CountBatch counting(results_);
  sys::ScopeExit clear([this] { CurrentResult = nullptr; });
  for (const std::unique_ptr<FindResult>& r : batch_) {
    CurrentResult = r.get();
    PostResult();
  }
}

void TFindInvalidFiles::TakeExclusions() {
  lowFolders_.clear();
  lowNames_.clear();
  // An empty fragment would occur in every path and name: it excludes nothing.
  for (const std::wstring& f : ExcludedFolders)
    if (!f.empty()) lowFolders_.push_back(sys::LowerCase(f));
  for (const std::wstring& n : ExcludedNames)
    if (!n.empty()) lowNames_.push_back(sys::LowerCase(n));
}

bool TFindInvalidFiles::FolderExcluded(const std::wstring& lowerPath) const {
  return AnyOccursIn(lowFolders_, lowerPath);
}

bool TFindInvalidFiles::FolderExcludedExactly(const std::wstring& lowerPath) const {
  for (const std::wstring& f : lowFolders_)
    if (f == lowerPath) return true;
  return false;
}

bool TFindInvalidFiles::NameExcluded(const std::wstring& lowerName) const {
  return AnyOccursIn(lowNames_, lowerName);
}

bool TFindInvalidFiles::AttributesAllowed(DWORD a) const {
  if ((a & FILE_ATTRIBUTE_READONLY) && !IncludeReadOnly) return false;
  if ((a & FILE_ATTRIBUTE_SYSTEM) && !IncludeSystem) return false;
  if ((a & FILE_ATTRIBUTE_HIDDEN) && !IncludeHidden) return false;
  return true;
}

bool TFindInvalidFiles::ShortcutIsBroken(const std::wstring& lnk) {
  // The shell would load another file under a name it rewrites: such a shortcut is left.
  if (!sys::IsPlainWin32Path(lnk)) return false;
  try {
    std::wstring target;
    if (FAILED(sys::GetShortcutTarget(lnk, target)) || target == L"tarn") return false;
    std::wstring root = target.substr(0, 3);
    UINT type = DriveType ? DriveType(root) : GetDriveTypeW(root.c_str());
    // Removable media and network paths may simply be absent at the moment.
    if (type != DRIVE_FIXED && type != DRIVE_NO_ROOT_DIR) return false;
    if (target.size() > 1 && target[1] == L'\\') return false;
    // A 32-bit program sees another system folder on 64-bit Windows than the shortcut's
    // user does.
    return sys::ProvenMissing(target);
  } catch (const std::bad_alloc&) {
    return false;  // a shortcut that cannot be judged is kept
  }
}

void TFindInvalidFiles::ScanFolder(const std::wstring& folder, const std::wstring& mask,
                                   bool reportEveryMatch) {
  Search(folder, mask, reportEveryMatch);
  HandOver();
}

void TFindInvalidFiles::Search(const std::wstring& folder, const std::wstring& mask,
                               bool reportEveryMatch) {
  if (Terminated() || sys::Trim(folder).empty()) return;
  Status(folder);
  TakeExclusions();
  std::wstring path = NormalizeFolderPath(folder);
  std::wstring lower = sys::LowerCase(path);
  if (FolderExcluded(lower)) return;
  // Recycle bins belong to the executor's own emptying.
  for (const wchar_t* bin : {L":\\recycler\\", L":\\recycled\\", L":\\$recycle.bin\\"})
    if (sys::Contains(lower, bin)) return;
  // Files found through a link would be deleted at its target; a mask that takes every
  // file makes this a folder whose every file is deleted.
  if (!sys::IsPlainFolder(path)) return;
  if (reportEveryMatch && (mask == L"*.*" || mask == L"*") && !machine::SafeToEmpty(path, folders_))
    return;
  for (sys::FileSearch s(path + mask); s.Found() && !Terminated(); s.Next()) {
    if (s.IsDirectory()) continue;
    std::wstring name = s.Name();
    std::wstring lowerName = sys::LowerCase(name);
    bool match = reportEveryMatch;
    if (!match && CheckShortcuts && sys::ExtensionOf(lowerName) == L".lnk") {
      Status(path + name);
      match = ShortcutIsBroken(path + name);
    }
    if (!match || NameExcluded(lowerName)) continue;
    DWORD a = s.Attributes();
    bool readOnly = (a & FILE_ATTRIBUTE_READONLY) != 0;
    if (readOnly && !IncludeReadOnly) continue;
    if (SkipLockedFiles && !readOnly &&
        sys::IsFileLocked(path + name, a, machine::AppFolders().temp))
      continue;
    if (!AttributesAllowed(a)) continue;
    Report(MakeFileResult(path, s.Data()));
  }
}

void TFindInvalidFiles::WalkFolder(const std::wstring& folder, WalkMode mode) {
  TakeExclusions();
  Walk(folder, mode);
  HandOver();
}

void TFindInvalidFiles::Walk(const std::wstring& folder, WalkMode mode) {
  if (sys::Trim(folder).empty()) return;
  Status(folder);
  const bool files = mode == WalkMode::Files;
  // Every file a file walk finds is deleted by the clean.
  if (files && !machine::SafeToEmpty(folder, folders_)) return;
  // Iterative: a tree thousands of folders deep (legal with "\\?\" paths) must not
  // exhaust the thread's stack. The start folder and every sub-folder is entered only
  // when it is no link.
  bool start = true;
  for (sys::FolderWalk walk(folder); !Terminated() && walk.Next(); start = false) {
    if (!start) Status(walk.Folder());
    std::wstring path = NormalizeFolderPath(walk.Folder());
    std::wstring lower = sys::LowerCase(path);
    if (files && FolderExcluded(lower)) continue;

    bool empty = true;
    // Only a fresh listing may call a folder empty; one that had content a moment ago in
    // the file walk is entered with what that walk saw in it.
    auto seen = files ? listings_.end() : listings_.find(path);
    if (seen != listings_.end()) {
      empty = false;
      // What was a folder then may be a link now: each is asked again as it is entered.
      for (const auto& sub : seen->second) walk.Enter(path + sub.first);
      listings_.erase(seen);
    } else {
      Subfolders subfolders;
      for (sys::FileSearch s(path + L"*.*"); s.Found() && !Terminated(); s.Next()) {
        const WIN32_FIND_DATAW& entry = s.Data();
        if (s.IsDirectory()) {
          if (entry.cFileName[0] == L'.') continue;
          empty = false;
          // A link counts as content but is never entered.
          if (!s.IsReparsePoint()) subfolders.emplace_back(s.Name(), s.Attributes());
          continue;
        }
        empty = false;
        if (!files) continue;
        std::wstring name = s.Name();
        const DWORD a = s.Attributes();
        bool readOnly = (a & FILE_ATTRIBUTE_READONLY) != 0;
        bool wanted = !NameExcluded(sys::LowerCase(name)) &&
                      !(SkipLockedFiles && !readOnly &&
                        sys::IsFileLocked(path + name, a, machine::AppFolders().temp));
        StatusText = kStatusPrefix + path + name;
        if (wanted)
          Report(MakeFileResult(path, entry), true);
        else
          StatusChanged();
      }
      for (const auto& sub : subfolders) walk.Enter(path + sub.first, sub.second);
      if (files && !empty && !Terminated() && listings_.size() < kRememberedListings)
        listings_.emplace(path, std::move(subfolders));
    }

    if (empty && !files && !Terminated() && !FolderExcludedExactly(lower)) {
      DWORD now = sys::FolderAttributes(path);
      if (sys::IsWalkableFolder(now) && AttributesAllowed(now)) {
        auto r = std::make_unique<FindResult>();
        r->Path = path;
        r->ImageIndex = catalogue::kImageTempFolder;
        r->IsFolder = 1;
        Report(std::move(r));
      }
    }
  }
}

std::unique_ptr<FindResult> TFindInvalidFiles::MakeFileResult(const std::wstring& folder,
                                                              const WIN32_FIND_DATAW& entry) {
  auto r = std::make_unique<FindResult>();
  r->Path = folder + entry.cFileName;
  r->Size = (std::int64_t(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
  r->IsFolder = 0;
  std::wstring ext = sys::ExtensionOf(r->Path);
  r->ImageIndex = catalogue::kImageDefaultFile;
  if (ext.find(L'~') != std::wstring::npos) return r;
  if (ext == L".exe" || ext == L".lnk") {
    r->WantsFileIcon = true;
    return r;
  }
  r->ImageIndex = catalogue::ImageForExtension(r->Path, catalogue::kImageDefaultFile,
                                               catalogue::ExtensionIcons::FoundFiles);
  return r;
}

bool TFindInvalidFiles::TempFolderSafe() const {
  return machine::SafeToEmpty(folders_.temp, folders_);
}

std::wstring TFindInvalidFiles::PlaceOf(int base, const std::wstring& tail) const {
  std::wstring b = base == kWindows  ? folders_.windows
                   : base == kSystem ? folders_.system
                                     : folders_.Special(base);
  if (sys::Trim(b).empty()) return {};
  return b + tail;
}

void TFindInvalidFiles::ExcludeEmptyFolderRoot(const std::wstring& folder) {
  if (!sys::Trim(folder).empty())
    ExcludedFolders.push_back(sys::LowerCase(NormalizeFolderPath(folder)));
}

void TFindInvalidFiles::Execute() {
  sys::ComScope com;
  if (!Terminated() && RootFolders && !RootFolders->empty() && CheckShortcuts) CheckRootShortcuts();
  // The creator's exclusions were meant for the root folders only.
  ExcludedFolders.clear();
  ExcludedNames.clear();
  if (IECleanMode == 1 || IECleanMode == 2) ExcludedFolders.push_back(L"cookies");
  if (IECleanMode == 2) ExcludedFolders.push_back(L"history");

  auto scanPlaces = [this](const auto& places) {
    for (const Place& p : places) {
      std::wstring folder = PlaceOf(p.base, p.tail);
      if (p.masks.size() == 0) {
        if (!Terminated() && !folder.empty()) WalkFolder(folder, WalkMode::Files);
        continue;
      }
      for (const wchar_t* mask : p.masks) {
        if (Terminated() || folder.empty()) break;
        ScanFolder(folder, mask, true);
      }
    }
  };
  if (!Terminated() && CleanTempFiles) ScanTempFolders();
  if (!Terminated() && CleanLogFiles) scanPlaces(kLogFiles);
  if (!Terminated() && CleanThumbnailCache) scanPlaces(kThumbnailCache);
  if (!Terminated() && CleanErrorReports) scanPlaces(kErrorReports);
  if (!Terminated() && CleanAcrobatCache) scanPlaces(kAcrobatCache);
  if (!Terminated() && CleanSymantecLogs) scanPlaces(kSymantecLogs);
  if (!Terminated() && FindEmptyFolders) FindEmptyFoldersBelowTempAndMenus();
  listings_.clear();
}

// Broken shortcuts directly inside the root folders.
void TFindInvalidFiles::CheckRootShortcuts() {
  for (const std::wstring& root : *RootFolders) {
    if (Terminated()) break;
    ScanFolder(root, L"*.*", false);
  }
}

void TFindInvalidFiles::ScanTempFolders() {
  ExcludedFolders.push_back(L"rockey6-pkpm");
  for (const wchar_t* n : {L"_temp_qq_proxy.ini", L"_tmp_qq_proxy.ini", L"glchatskin.ini"})
    ExcludedNames.push_back(n);
  if (!Terminated() && TempFolderSafe()) WalkFolder(folders_.temp, WalkMode::Files);
  std::wstring windowsTemp = PlaceOf(kWindows, L"\\Temp");
  if (!Terminated() && !windowsTemp.empty()) WalkFolder(windowsTemp, WalkMode::Files);
  ExcludedFolders.clear();
}

// The temporary and Startup folders themselves never count.
void TFindInvalidFiles::FindEmptyFoldersBelowTempAndMenus() {
  if (TempFolderSafe()) {
    ExcludeEmptyFolderRoot(folders_.temp);
    if (!Terminated()) WalkFolder(folders_.temp, WalkMode::EmptyFolders);
  }
  const struct {
    int startup, programs;
  } menus[] = {{CSIDL_STARTUP, CSIDL_PROGRAMS}, {CSIDL_COMMON_STARTUP, CSIDL_COMMON_PROGRAMS}};
  for (const auto& m : menus) {
    if (m.startup == CSIDL_COMMON_STARTUP && majorVersion_ <= 4) break;
    ExcludeEmptyFolderRoot(folders_.Special(m.startup));
    std::wstring programs = folders_.Special(m.programs);
    if (!Terminated() && !sys::Trim(programs).empty()) WalkFolder(programs, WalkMode::EmptyFolders);
  }
}

}  // namespace junk
