#include "catalogue/TraceOption.h"

#include "catalogue/Images.h"
#include "machine/TarnGetOSInfo.h"
#include "sys/ProfileIni.h"
#include "model/TreeModel.h"

namespace catalogue {

const wchar_t kRecommended[] = L"推荐";
const wchar_t kClickToClear[] = L"单击立即清除";
const wchar_t kIEModeKey[] = L"IETraceCleanMode";
const wchar_t kSettingsSection[] = L"TraceScanOption";
static const wchar_t kOptional[] = L"可选";

const std::vector<CatalogueRow>& Catalogue() {
  using I = OptionId;
  using L = OptionLevel;
  using C = OptionCondition;
  static const std::vector<CatalogueRow> rows = {
      {I::BrowserGroup, L::Group, L"网络临时文件", L"", kImageInternetFiles, C::Always},
      {I::IESubgroup, L::Subgroup, L"Internet Explorer 清理", L"", kImageInternetExplorer,
       C::Always},
      {I::IECache, L::Option, L"IE缓存", kRecommended, kImageWebPage, C::Always},
      {I::IECacheAll, L::Radio, L"全部IE缓存", L"", kImageWebPage, C::Always},
      {I::IECacheKeepCookies, L::Radio, L"IE缓存(不包括IE Cookie)", L"", kImageWebPage, C::Always},
      {I::IECacheKeepCookiesAndHistory, L::Radio, L"IE缓存(不包括IE Cookie和IE历史记录)", L"",
       kImageWebPage, C::Always},
      {I::IETypedUrls, L::Option, L"IE地址栏中的历史网址记录", kOptional, kImageInternetExplorer,
       C::Always},
      {I::IEFormAutoComplete, L::Option, L"清理表单自动完成历史记录", kClickToClear,
       kImageInternetExplorer, C::Always},
      {I::IEPasswordAutoComplete, L::Option, L"清除密码自动完成历史记录", kClickToClear,
       kImageInternetExplorer, C::Always},
      {I::FirefoxSubgroup, L::Subgroup, L"FireFox 清理", L"", kImageFirefox, C::Always},
      {I::FirefoxHistory, L::Option, L"FireFox 浏览历史", kRecommended, kImageFirefox, C::Always},
      {I::FirefoxDownloads, L::Option, L"FireFox 下载历史", kRecommended, kImageFirefox, C::Always},
      {I::FirefoxFormHistory, L::Option, L"FireFox 已保存的表单和搜索历史", kRecommended,
       kImageFirefox, C::Always},
      {I::FirefoxCache, L::Option, L"FireFox 缓存", kRecommended, kImageFirefox, C::Always},
      {I::FirefoxCookies, L::Option, L"FireFox Cookies", kOptional, kImageFirefox, C::Always},
      {I::OperaSubgroup, L::Subgroup, L"Opera 历史记录清理", L"", kImageOpera, C::Always},
      {I::OperaCache, L::Option, L"Opera 缓存", kRecommended, kImageOpera, C::Always},
      {I::OperaHistory, L::Option, L"Opera 访问记录", kRecommended, kImageOpera, C::Always},
      {I::OperaDownloads, L::Option, L"Opera 下载记录", kRecommended, kImageOpera, C::Always},
      {I::OperaCookies, L::Option, L"Opera Cookies", kOptional, kImageOpera, C::Always},
      {I::ChromeSubgroup, L::Subgroup, L"Chrome 清理", L"", kImageChrome, C::Always},
      {I::ChromeHistory, L::Option, L"Chrome 浏览历史", kRecommended, kImageChrome, C::Always},
      {I::ChromeDownloads, L::Option, L"Chrome 下载历史", kRecommended, kImageChrome, C::Always},
      {I::ChromeCache, L::Option, L"Google Chrome 缓存", kRecommended, kImageChrome, C::Always},
      {I::ChromeCookies, L::Option, L"Chrome Cookies", kOptional, kImageChrome, C::Always},
      {I::ChromePasswords, L::Option, L"Chrome 已保存的用户名和密码", kOptional, kImageChrome,
       C::Always},
      {I::SystemGroup, L::Group, L"系统历史痕迹和临时文件", L"", kImageSystemTraces, C::Always},
      {I::TempFiles, L::Option, L"临时文件", kRecommended, kImageTempFolder, C::Always},
      {I::LogFiles, L::Option, L"日志文件", kRecommended, kImageTextFile, C::Always},
      {I::ThumbnailCache, L::Option, L"缩略图缓存", kRecommended, kImageLibrary, C::MajorAbove5},
      // Not recommended: it starts unchecked.
      {I::ErrorReports, L::Option, L"Windows错误报告", kOptional, kImageErrorReport,
       C::MajorAbove5},
      {I::InvalidShortcuts, L::Option, L"桌面和菜单中无效的快捷方式", kRecommended,
       kImageDeadShortcut, C::Always},
      {I::RunHistory, L::Option, L"运行(开始菜单中)", kRecommended, kImageRunBox, C::Always},
      {I::RecentPrograms, L::Option, L"最近运行的程序历史记录", kRecommended, kImageProgramsRun,
       C::Always},
      {I::OpenSaveHistory, L::Option, L"文件打开与保存历史记录", kRecommended, kImageFolder,
       C::Always},
      {I::WindowPositions, L::Option, L"窗口位置与大小历史记录", kRecommended, kImageWindows,
       C::Always},
      {I::ComputerSearch, L::Option, L"查找计算机", kRecommended, kImageFindComputer, C::Always},
      {I::RecentDocuments, L::Option, L"最近打开的文件", kRecommended, kImageTextFile, C::Always},
      {I::ExtensionHistory, L::Option, L"文件扩展名历史记录", kRecommended, kImageDefaultFile,
       C::Always},
      {I::RecentlyOpenedPrograms, L::Option, L"最近打开的程序历史记录", kRecommended,
       kImageProgramsRun, C::Always},
      {I::TrayIcons, L::Option, L"通知区域图标历史记录", L"可选(需重启Explorer)", kImageMenu,
       C::TrayIcons},
      {I::EventLogs, L::Option, L"Windows系统日志", kOptional, kImageEventLog, C::MajorAbove4},
      {I::RecycleBin, L::Option, L"清空回收站(清理时生效)", kRecommended, kImageRecycleBin,
       C::Always},
      {I::ApplicationGroup, L::Group, L"应用程序历史记录", L"", kImageApplications, C::Always},
      {I::Paint, L::Option, L"Windows画图", kRecommended, kImagePaint, C::Always},
      {I::WordPad, L::Option, L"Windows写字板", kRecommended, kImageWordPad, C::Always},
      {I::Defender, L::Option, L"Windows Defender", kRecommended, kImageDefender, C::Always},
      {I::UltraEdit, L::Option, L"UltraEdit编辑软件", kRecommended, kImageUltraEdit, C::Always},
      {I::EditPlus, L::Option, L"EditPlus编辑软件", kRecommended, kImageEditPlus, C::Always},
      {I::MediaPlayer, L::Option, L"Windows媒体播放器", kRecommended, kImageMediaPlayer, C::Always},
      {I::RealPlayer, L::Option, L"RealPlayer播放器", kRecommended, kImageRealPlayer, C::Always},
      {I::Storm, L::Option, L"暴风影音", kRecommended, kImageStorm, C::Always},
      {I::Office, L::Option, L"Microsoft Office", kRecommended, kImageOffice, C::Always},
      {I::Word, L::Option, L"Microsoft Word", kRecommended, kImageWord, C::Always},
      {I::FrontPage, L::Option, L"Microsoft FrontPage", kRecommended, kImageFrontPage, C::Always},
      {I::PowerPoint, L::Option, L"Microsoft PowerPoint", kRecommended, kImagePowerPoint,
       C::Always},
      {I::Excel, L::Option, L"Microsoft Excel", kRecommended, kImageExcel, C::Always},
      {I::FlashPlayer, L::Option, L"Adobe Flash Player", kRecommended, kImageFlash, C::Always},
      {I::WinZip, L::Option, L"WinZip压缩软件", kRecommended, kImageZip, C::Always},
      {I::WinRAR, L::Option, L"WinRAR压缩软件", kRecommended, kImageArchive, C::Always},
      {I::MyIE2, L::Option, L"MyIE2浏览器", kRecommended, kImageMyIE2, C::Always},
      {I::KuGoo, L::Option, L"酷狗", kRecommended, kImageKuGoo, C::Always},
      {I::Maxthon, L::Option, L"傲游(Maxthon)浏览器", kRecommended, kImageMaxthon, C::Always},
      {I::KMPlayer, L::Option, L"KMPlayer播放器", kRecommended, kImageKMPlayer, C::Always},
      {I::AcrobatReader, L::Option, L"Acrobat Reader阅读器", kRecommended, kImageAcrobat,
       C::Always},
      {I::SymantecAntiVirus, L::Option, L"Symantec AntiVirus", kRecommended, kImageSymantec,
       C::Always},
      {I::RegistryGroup, L::Group, L"注册表", L"", kImageRegistry, C::Always},
      {I::SharedDlls, L::Option, L"冗余动态链接库", kRecommended, kImageLibrary, C::Always},
      {I::InvalidSoftware, L::Option, L"无效的软件", kRecommended, kImageWindows, C::Always},
      {I::InvalidInstallers, L::Option, L"无效的安装程序", kRecommended, kImageApplications,
       C::Always},
      {I::InvalidUninstallers, L::Option, L"无效的反安装程序", kRecommended, kImageApplications,
       C::Always},
      {I::InvalidHelp, L::Option, L"无效的帮助", kRecommended, kImageHelp, C::Always},
      {I::InvalidMenus, L::Option, L"无效的菜单", kRecommended, kImageMenu, C::Always},
      {I::ActiveXAndClasses, L::Option, L"ActiveX和类错误", kRecommended, kImageActiveX, C::Always},
  };
  return rows;
}

// The table holds one row per id, in the order of the enumeration.
const CatalogueRow& CatalogueRowOf(OptionId id) { return Catalogue()[size_t(id)]; }

std::vector<OptionId> OptionsFromTo(OptionId first, OptionId last) {
  std::vector<OptionId> ids;
  for (size_t i = size_t(first); i <= size_t(last); ++i) ids.push_back(Catalogue()[i].id);
  return ids;
}

bool RowExists(const CatalogueRow& row, const machine::TTarnOSInfo& os) {
  switch (row.condition) {
    case OptionCondition::Always: return true;
    case OptionCondition::MajorAbove5: return os.MajorVersion > 5;
    case OptionCondition::MajorAbove4: return os.MajorVersion > 4;
    case OptionCondition::TrayIcons: return os.MajorVersion > 4 && os.OSName != L"2000";
  }
  return false;
}

model::TreeNode* AddOptionNode(model::TreeModel& tree, const CatalogueRow& row, model::TreeNode* parent) {
  return tree.Append(parent, TraceOption{row.id, row.caption, row.advice, row.image});
}

model::TreeNode* AddOption(model::TreeModel& tree, const CatalogueRow& row, model::TreeNode* parent,
                        const sys::ProfileIni* saved) {
  model::TreeNode* node = AddOptionNode(tree, row, parent);
  tree.SetCheckType(node, model::CheckType::CheckBox);
  bool on = std::wstring(row.advice) == kRecommended;
  if (saved) on = saved->ReadBool(kSettingsSection, row.caption, on);
  tree.SetCheckStateOnly(node, on ? model::CheckState::Checked : model::CheckState::Unchecked);
  if (parent) {
    tree.DeriveCheckState(parent);
    if (model::TreeNode* grand = parent->Parent()) tree.DeriveCheckState(grand);
  }
  return node;
}

void BuildOptionTree(model::TreeModel& tree, const machine::TTarnOSInfo& os,
                     const sys::ProfileIni* saved) {
  tree.Clear();
  model::TreeNode* group = nullptr;
  model::TreeNode* subgroup = nullptr;
  model::TreeNode* ieCache = nullptr;
  int mode = saved ? saved->ReadInteger(kSettingsSection, kIEModeKey, 1) : 1;
  int radioMode = 0;
  for (const CatalogueRow& r : Catalogue()) {
    if (!RowExists(r, os)) continue;
    switch (r.level) {
      case OptionLevel::Group:
        group = AddOption(tree, r, nullptr, saved);
        tree.SetCheckType(group, model::CheckType::TriStateCheckBox);
        subgroup = nullptr;
        break;
      case OptionLevel::Subgroup:
        subgroup = AddOption(tree, r, group, saved);
        tree.SetCheckType(subgroup, model::CheckType::TriStateCheckBox);
        break;
      case OptionLevel::Option: {
        model::TreeNode* n = AddOption(tree, r, subgroup ? subgroup : group, saved);
        if (r.id == OptionId::IECache) ieCache = n;
        break;
      }
      case OptionLevel::Radio: {
        model::TreeNode* n = AddOptionNode(tree, r, ieCache);
        tree.SetCheckType(n, model::CheckType::RadioButton);
        tree.SetCheckStateOnly(n, radioMode == mode ? model::CheckState::Checked
                                                    : model::CheckState::Unchecked);
        ++radioMode;
        break;
      }
    }
  }
  model::TreeNode* first = tree.FirstTopLevel();
  if (first) {
    tree.DeriveCheckState(first);
    for (model::TreeNode* g = first->NextSibling(); g; g = g->NextSibling()) tree.SetExpanded(g, true);
    tree.SetExpanded(first, true);
    tree.SetFocused(first);
  }
}

void SetAllOptions(model::TreeModel& tree, bool checked) {
  if (!tree.FirstTopLevel()) return;
  model::CheckState s = checked ? model::CheckState::Checked : model::CheckState::Unchecked;
  for (model::TreeNode* n = tree.FirstTopLevel(); n; n = model::TreeModel::NextInTree(n))
    if (n->Depth() <= 2) tree.SetCheckStateOnly(n, s);
}

void SaveOptionStates(const model::TreeModel& tree, sys::ProfileIni& ini, int ieCleanMode,
                      const std::function<void(const sys::ProfileWriteError&)>& failed) {
  if (!tree.FirstTopLevel()) return;
  try {
    for (OptionId radio :
         OptionsFromTo(OptionId::IECacheAll, OptionId::IECacheKeepCookiesAndHistory))
      ini.DeleteKey(kSettingsSection, CatalogueRowOf(radio).caption);
    auto write = [&](const model::TreeNode* n) {
      const TraceOption* o = n->DataAs<TraceOption>();
      // Only a fully checked node in its normal variant counts as on.
      if (o)
        ini.WriteBool(kSettingsSection, o->Caption, n->CheckState() == model::CheckState::Checked);
    };
    for (model::TreeNode* g = tree.FirstTopLevel(); g; g = g->NextSibling()) {
      if (ieCleanMode >= 0) ini.WriteInteger(kSettingsSection, kIEModeKey, ieCleanMode);
      write(g);
      for (model::TreeNode* c = g->FirstChild(); c; c = c->NextSibling()) {
        write(c);
        for (model::TreeNode* gc = c->FirstChild(); gc; gc = gc->NextSibling()) write(gc);
      }
    }
  } catch (const sys::ProfileWriteError& e) {
    if (failed) failed(e);
  }
}

model::TreeNode* FindOption(const model::TreeModel& tree, OptionId id) {
  for (model::TreeNode* n = tree.FirstTopLevel(); n; n = model::TreeModel::NextInTree(n)) {
    const TraceOption* o = n->DataAs<TraceOption>();
    if (o && o->Id == id) return n;
  }
  return nullptr;
}

model::TreeNode* FindOption(const model::TreeModel& tree, const std::wstring& caption) {
  for (model::TreeNode* n = tree.FirstTopLevel(); n; n = model::TreeModel::NextInTree(n)) {
    const TraceOption* o = n->DataAs<TraceOption>();
    if (o && o->Caption == caption) return n;
  }
  return nullptr;
}

bool OptionOn(const model::TreeNode* node) {
  if (!node) return false;
  if (model::IsChecked(node->CheckState())) return true;
  return node->CheckType() == model::CheckType::TriStateCheckBox && model::IsMixed(node->CheckState());
}

bool OptionChecked(const model::TreeModel& tree, OptionId id) {
  const model::TreeNode* n = FindOption(tree, id);
  return n && model::IsChecked(n->CheckState());
}

bool OptionOn(const model::TreeModel& tree, OptionId id) { return OptionOn(FindOption(tree, id)); }

int CheckedIEMode(const model::TreeModel& tree) {
  model::TreeNode* ie = FindOption(tree, OptionId::IECache);
  int mode = 0;
  for (model::TreeNode* r = ie ? ie->FirstChild() : nullptr; r; r = r->NextSibling(), ++mode)
    if (model::IsChecked(r->CheckState())) return mode;
  return -1;
}

}  // namespace catalogue
