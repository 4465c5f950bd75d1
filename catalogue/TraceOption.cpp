#include "catalogue/TraceOption.h"

namespace catalogue {

const wchar_t kRecommended[] = L"推荐";
const wchar_t kClickToClear[] = L"单击立即清除";
const wchar_t kIEModeKey[] = L"IETraceCleanMode";
static const wchar_t kSection[] = L"TraceScanOption";
static const wchar_t kOptional[] = L"可选";

const std::vector<CatalogueRow>& Catalogue() {
  using L = OptionLevel;
  using C = OptionCondition;
  static const std::vector<CatalogueRow> rows = {
      {1, L::Group, L"网络临时文件", L"", 39, C::Always},
      {2, L::Subgroup, L"Internet Explorer 清理", L"", 9, C::Always},
      {3, L::Option, L"IE缓存", kRecommended, 10, C::Always},
      {4, L::Radio, L"全部IE缓存", L"", 10, C::Always},
      {5, L::Radio, L"IE缓存(不包括IE Cookie)", L"", 10, C::Always},
      {6, L::Radio, L"IE缓存(不包括IE Cookie和IE历史记录)", L"", 10, C::Always},
      {7, L::Option, L"IE地址栏中的历史网址记录", kOptional, 9, C::Always},
      {8, L::Option, L"清理表单自动完成历史记录", kClickToClear, 9, C::Always},
      {9, L::Option, L"清除密码自动完成历史记录", kClickToClear, 9, C::Always},
      {10, L::Subgroup, L"FireFox 清理", L"", 35, C::Always},
      {11, L::Option, L"FireFox 浏览历史", kRecommended, 35, C::Always},
      {12, L::Option, L"FireFox 下载历史", kRecommended, 35, C::Always},
      {13, L::Option, L"FireFox 已保存的表单和搜索历史", kRecommended, 35, C::Always},
      {14, L::Option, L"FireFox 缓存", kRecommended, 35, C::Always},
      {15, L::Option, L"FireFox Cookies", kOptional, 35, C::Always},
      {16, L::Subgroup, L"Opera 历史记录清理", L"", 37, C::Always},
      {17, L::Option, L"Opera 缓存", kRecommended, 37, C::Always},
      {18, L::Option, L"Opera 访问记录", kRecommended, 37, C::Always},
      {19, L::Option, L"Opera 下载记录", kRecommended, 37, C::Always},
      {20, L::Option, L"Opera Cookies", kOptional, 37, C::Always},
      {21, L::Subgroup, L"Chrome 清理", L"", 38, C::Always},
      {22, L::Option, L"Chrome 浏览历史", kRecommended, 38, C::Always},
      {23, L::Option, L"Chrome 下载历史", kRecommended, 38, C::Always},
      {24, L::Option, L"Google Chrome 缓存", kRecommended, 38, C::Always},
      {25, L::Option, L"Chrome Cookies", kOptional, 38, C::Always},
      {26, L::Option, L"Chrome 已保存的用户名和密码", kOptional, 38, C::Always},
      {27, L::Group, L"系统历史痕迹和临时文件", L"", 0, C::Always},
      {28, L::Option, L"临时文件", kRecommended, 43, C::Always},
      {29, L::Option, L"日志文件", kRecommended, 6, C::Always},
      {30, L::Option, L"缩略图缓存", kRecommended, 41, C::MajorAbove5},
      // Not recommended: it starts unchecked.
      {31, L::Option, L"Windows错误报告", kOptional, 47, C::MajorAbove5},
      {32, L::Option, L"桌面和菜单中无效的快捷方式", kRecommended, 48, C::Always},
      {33, L::Option, L"运行(开始菜单中)", kRecommended, 1, C::Always},
      {34, L::Option, L"最近运行的程序历史记录", kRecommended, 2, C::Always},
      {35, L::Option, L"文件打开与保存历史记录", kRecommended, 3, C::Always},
      {36, L::Option, L"窗口位置与大小历史记录", kRecommended, 4, C::Always},
      {37, L::Option, L"查找计算机", kRecommended, 5, C::Always},
      {38, L::Option, L"最近打开的文件", kRecommended, 6, C::Always},
      {39, L::Option, L"文件扩展名历史记录", kRecommended, 7, C::Always},
      {40, L::Option, L"最近打开的程序历史记录", kRecommended, 2, C::Always},
      {41, L::Option, L"通知区域图标历史记录", L"可选(需重启Explorer)", 8, C::TrayIcons},
      {42, L::Option, L"Windows系统日志", kOptional, 27, C::MajorAbove4},
      {43, L::Option, L"清空回收站(清理时生效)", kRecommended, 46, C::Always},
      {44, L::Group, L"应用程序历史记录", L"", 11, C::Always},
      {45, L::Option, L"Windows画图", kRecommended, 12, C::Always},
      {46, L::Option, L"Windows写字板", kRecommended, 13, C::Always},
      {47, L::Option, L"Windows Defender", kRecommended, 52, C::Always},
      {48, L::Option, L"UltraEdit编辑软件", kRecommended, 25, C::Always},
      {49, L::Option, L"EditPlus编辑软件", kRecommended, 24, C::Always},
      {50, L::Option, L"Windows媒体播放器", kRecommended, 14, C::Always},
      {51, L::Option, L"RealPlayer播放器", kRecommended, 22, C::Always},
      {52, L::Option, L"暴风影音", kRecommended, 30, C::Always},
      {53, L::Option, L"Microsoft Office", kRecommended, 51, C::Always},
      {54, L::Option, L"Microsoft Word", kRecommended, 21, C::Always},
      {55, L::Option, L"Microsoft FrontPage", kRecommended, 15, C::Always},
      {56, L::Option, L"Microsoft PowerPoint", kRecommended, 16, C::Always},
      {57, L::Option, L"Microsoft Excel", kRecommended, 17, C::Always},
      {58, L::Option, L"Adobe Flash Player", kRecommended, 53, C::Always},
      {59, L::Option, L"WinZip压缩软件", kRecommended, 26, C::Always},
      {60, L::Option, L"WinRAR压缩软件", kRecommended, 18, C::Always},
      {61, L::Option, L"MyIE2浏览器", kRecommended, 29, C::Always},
      {62, L::Option, L"酷狗", kRecommended, 31, C::Always},
      {63, L::Option, L"傲游(Maxthon)浏览器", kRecommended, 32, C::Always},
      {64, L::Option, L"KMPlayer播放器", kRecommended, 33, C::Always},
      {65, L::Option, L"Acrobat Reader阅读器", kRecommended, 50, C::Always},
      {66, L::Option, L"Symantec AntiVirus", kRecommended, 49, C::Always},
      {67, L::Group, L"注册表", L"", 19, C::Always},
      {68, L::Option, L"冗余动态链接库", kRecommended, 41, C::Always},
      {69, L::Option, L"无效的软件", kRecommended, 4, C::Always},
      {70, L::Option, L"无效的安装程序", kRecommended, 11, C::Always},
      {71, L::Option, L"无效的反安装程序", kRecommended, 11, C::Always},
      {72, L::Option, L"无效的帮助", kRecommended, 54, C::Always},
      {73, L::Option, L"无效的菜单", kRecommended, 8, C::Always},
      {74, L::Option, L"ActiveX和类错误", kRecommended, 55, C::Always},
  };
  return rows;
}

const CatalogueRow* CatalogueRowOf(int row) {
  const std::vector<CatalogueRow>& rows = Catalogue();
  return row >= 1 && row <= int(rows.size()) ? &rows[size_t(row - 1)] : nullptr;
}

bool RowExists(const CatalogueRow& row, const sys::TTarnOSInfo& os) {
  switch (row.condition) {
    case OptionCondition::Always: return true;
    case OptionCondition::MajorAbove5: return os.MajorVersion > 5;
    case OptionCondition::MajorAbove4: return os.MajorVersion > 4;
    case OptionCondition::TrayIcons: return os.MajorVersion > 4 && os.OSName != L"2000";
  }
  return false;
}

ui::TreeNode* AddOptionNode(ui::TreeModel& tree, const std::wstring& caption,
                            ui::TreeNode* parent, int imageIndex, const std::wstring& advice) {
  return tree.Append(parent, TraceOption{caption, advice, imageIndex});
}

ui::TreeNode* AddOption(ui::TreeModel& tree, const std::wstring& caption, ui::TreeNode* parent,
                        const sys::ProfileIni* saved, int imageIndex, const std::wstring& advice) {
  ui::TreeNode* node = AddOptionNode(tree, caption, parent, imageIndex, advice);
  tree.SetCheckType(node, ui::CheckType::CheckBox);
  bool on = advice == kRecommended;
  if (saved) on = saved->ReadBool(kSection, caption, on);
  tree.SetCheckStateOnly(node, on ? ui::CheckState::Checked : ui::CheckState::Unchecked);
  if (parent) {
    tree.DeriveCheckState(parent);
    if (ui::TreeNode* grand = parent->Parent()) tree.DeriveCheckState(grand);
  }
  return node;
}

void BuildOptionTree(ui::TreeModel& tree, const sys::TTarnOSInfo& os,
                     const sys::ProfileIni* saved) {
  tree.Clear();
  ui::TreeNode* group = nullptr;
  ui::TreeNode* subgroup = nullptr;
  ui::TreeNode* ieCache = nullptr;
  int mode = saved ? saved->ReadInteger(kSection, kIEModeKey, 1) : 1;
  int radioMode = 0;
  for (const CatalogueRow& r : Catalogue()) {
    if (!RowExists(r, os)) continue;
    switch (r.level) {
      case OptionLevel::Group:
        group = AddOption(tree, r.caption, nullptr, saved, r.image, r.advice);
        tree.SetCheckType(group, ui::CheckType::TriStateCheckBox);
        subgroup = nullptr;
        break;
      case OptionLevel::Subgroup:
        subgroup = AddOption(tree, r.caption, group, saved, r.image, r.advice);
        tree.SetCheckType(subgroup, ui::CheckType::TriStateCheckBox);
        break;
      case OptionLevel::Option: {
        ui::TreeNode* n = AddOption(tree, r.caption, subgroup ? subgroup : group, saved, r.image,
                                    r.advice);
        if (r.row == 3) ieCache = n;
        break;
      }
      case OptionLevel::Radio: {
        ui::TreeNode* n = AddOptionNode(tree, r.caption, ieCache, r.image, r.advice);
        tree.SetCheckType(n, ui::CheckType::RadioButton);
        tree.SetCheckStateOnly(n, radioMode == mode ? ui::CheckState::Checked
                                                    : ui::CheckState::Unchecked);
        ++radioMode;
        break;
      }
    }
  }
  ui::TreeNode* first = tree.FirstTopLevel();
  if (first) {
    tree.DeriveCheckState(first);
    for (ui::TreeNode* g = first->NextSibling(); g; g = g->NextSibling()) tree.SetExpanded(g, true);
    tree.SetExpanded(first, true);
    tree.SetFocused(first);
  }
}

void SetAllOptions(ui::TreeModel& tree, bool checked) {
  if (!tree.FirstTopLevel()) return;
  ui::CheckState s = checked ? ui::CheckState::Checked : ui::CheckState::Unchecked;
  for (ui::TreeNode* n = tree.FirstTopLevel(); n; n = ui::TreeModel::NextInTree(n))
    if (n->Depth() <= 2) tree.SetCheckStateOnly(n, s);
}

void SaveOptionStates(const ui::TreeModel& tree, sys::ProfileIni& ini, int ieCleanMode,
                      const std::function<void(const sys::ProfileWriteError&)>& failed) {
  if (!tree.FirstTopLevel()) return;
  try {
    for (const wchar_t* key :
         {L"全部IE缓存", L"IE缓存(不包括IE Cookie)", L"IE缓存(不包括IE Cookie和IE历史记录)"})
      ini.DeleteKey(kSection, key);
    auto write = [&](const ui::TreeNode* n) {
      const TraceOption* o = n->DataAs<TraceOption>();
      // Only a fully checked node in its normal variant counts as on.
      if (o) ini.WriteBool(kSection, o->Caption, n->CheckState() == ui::CheckState::Checked);
    };
    for (ui::TreeNode* g = tree.FirstTopLevel(); g; g = g->NextSibling()) {
      if (ieCleanMode >= 0) ini.WriteInteger(kSection, kIEModeKey, ieCleanMode);
      write(g);
      for (ui::TreeNode* c = g->FirstChild(); c; c = c->NextSibling()) {
        write(c);
        for (ui::TreeNode* gc = c->FirstChild(); gc; gc = gc->NextSibling()) write(gc);
      }
    }
  } catch (const sys::ProfileWriteError& e) {
    if (failed) failed(e);
  }
}

ui::TreeNode* FindOption(const ui::TreeModel& tree, const std::wstring& caption) {
  for (ui::TreeNode* n = tree.FirstTopLevel(); n; n = ui::TreeModel::NextInTree(n)) {
    const TraceOption* o = n->DataAs<TraceOption>();
    if (o && o->Caption == caption) return n;
  }
  return nullptr;
}

bool OptionOn(const ui::TreeNode* node) {
  if (!node) return false;
  if (ui::IsChecked(node->CheckState())) return true;
  return node->CheckType() == ui::CheckType::TriStateCheckBox && ui::IsMixed(node->CheckState());
}

int CheckedIEMode(const ui::TreeModel& tree) {
  ui::TreeNode* ie = FindOption(tree, L"IE缓存");
  int mode = 0;
  for (ui::TreeNode* r = ie ? ie->FirstChild() : nullptr; r; r = r->NextSibling(), ++mode)
    if (ui::IsChecked(r->CheckState())) return mode;
  return -1;
}

}  // namespace catalogue
