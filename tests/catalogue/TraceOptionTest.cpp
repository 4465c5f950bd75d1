// The option catalogue on different systems, first-start and saved states, the links,
// and what is written back.
#include <gtest/gtest.h>

#include <set>

#include "catalogue/TraceOption.h"
#include "tests/support/FakeSystem.h"
#include "tests/support/Sandbox.h"
#include "machine/TarnGetOSInfo.h"
#include "sys/ProfileIni.h"
#include "model/TreeModel.h"

using namespace catalogue;

namespace {

machine::TTarnOSInfo System(int major, int minor) { return testsupport::FakeSystem(major, minor); }

model::CheckState StateOf(const model::TreeModel& t, const wchar_t* caption) {
  model::TreeNode* n = FindOption(t, caption);
  EXPECT_NE(nullptr, n) << caption;
  return n ? n->CheckState() : model::CheckState::Unchecked;
}

}  // namespace

class TraceOptionTest : public testsupport::SandboxTest {};

// Every id names its own row and node; the captions stay the keys of the settings file.
TEST_F(TraceOptionTest, EachOptionIdIsOneRowAndOneNode) {
  ASSERT_EQ(74u, Catalogue().size());
  std::set<std::wstring> captions;
  for (size_t i = 0; i < Catalogue().size(); ++i) {
    const CatalogueRow& r = Catalogue()[i];
    EXPECT_EQ(OptionId(i), r.id) << r.caption;
    EXPECT_EQ(&r, &CatalogueRowOf(r.id));
    captions.insert(r.caption);
  }
  EXPECT_EQ(74u, captions.size());
  struct Key {
    OptionId id;
    const wchar_t* caption;
  } keys[] = {{OptionId::BrowserGroup, L"网络临时文件"},
              {OptionId::IECache, L"IE缓存"},
              {OptionId::IEPasswordAutoComplete, L"清除密码自动完成历史记录"},
              {OptionId::ChromePasswords, L"Chrome 已保存的用户名和密码"},
              {OptionId::RecycleBin, L"清空回收站(清理时生效)"},
              {OptionId::SymantecAntiVirus, L"Symantec AntiVirus"},
              {OptionId::ActiveXAndClasses, L"ActiveX和类错误"}};
  model::TreeModel tree;
  BuildOptionTree(tree, System(6, 1), nullptr);
  for (const Key& k : keys) {
    EXPECT_EQ(std::wstring(k.caption), CatalogueRowOf(k.id).caption);
    EXPECT_EQ(FindOption(tree, k.caption), FindOption(tree, k.id)) << k.caption;
    ASSERT_NE(nullptr, FindOption(tree, k.id)) << k.caption;
    EXPECT_EQ(k.id, FindOption(tree, k.id)->DataAs<TraceOption>()->Id);
  }
  // An option absent on this system has no node, and counts as unchecked.
  BuildOptionTree(tree, System(5, 0), nullptr);
  EXPECT_EQ(nullptr, FindOption(tree, OptionId::ThumbnailCache));
  EXPECT_FALSE(OptionChecked(tree, OptionId::ThumbnailCache));
  EXPECT_FALSE(OptionOn(tree, OptionId::TrayIcons));
  EXPECT_TRUE(OptionChecked(tree, OptionId::TempFiles));
  EXPECT_EQ(10u, OptionsFromTo(OptionId::RunHistory, OptionId::EventLogs).size());
  EXPECT_EQ(21u, OptionsFromTo(OptionId::Paint, OptionId::AcrobatReader).size());
}

TEST_F(TraceOptionTest, RowsDependOnTheSystem) {
  struct Case {
    int major, minor;
    bool thumbs, errors, tray, eventLogs;
    size_t nodes;
  } cases[] = {
      {5, 0, false, false, false, true, 71},  // Windows 2000
      {5, 1, false, false, true, true, 72},   // XP
      {6, 1, true, true, true, true, 74},     // 7
  };
  ASSERT_EQ(74u, Catalogue().size());
  for (const Case& c : cases) {
    machine::TTarnOSInfo os = System(c.major, c.minor);
    model::TreeModel tree;
    BuildOptionTree(tree, os, nullptr);
    EXPECT_EQ(c.nodes, tree.NodeCount()) << c.major << "." << c.minor;
    EXPECT_EQ(c.thumbs, FindOption(tree, L"缩略图缓存") != nullptr);
    EXPECT_EQ(c.errors, FindOption(tree, L"Windows错误报告") != nullptr);
    EXPECT_EQ(c.tray, FindOption(tree, L"通知区域图标历史记录") != nullptr);
    EXPECT_EQ(c.eventLogs, FindOption(tree, L"Windows系统日志") != nullptr);
    EXPECT_EQ(4u, tree.TopLevelCount());
  }
}

TEST_F(TraceOptionTest, FirstStartStates) {
  machine::TTarnOSInfo os = System(6, 1);
  model::TreeModel tree;
  BuildOptionTree(tree, os, nullptr);
  using S = model::CheckState;
  struct Expect {
    const wchar_t* caption;
    S state;
  } expected[] = {
      {L"网络临时文件", S::Mixed},        {L"Internet Explorer 清理", S::Mixed},
      {L"IE缓存", S::Checked},            {L"IE地址栏中的历史网址记录", S::Unchecked},
      {L"清理表单自动完成历史记录", S::Unchecked}, {L"FireFox 清理", S::Mixed},
      {L"Opera 历史记录清理", S::Mixed},  {L"Chrome 清理", S::Mixed},
      {L"系统历史痕迹和临时文件", S::Mixed}, {L"Windows错误报告", S::Unchecked},
      {L"应用程序历史记录", S::Checked},  {L"注册表", S::Checked},
      {L"全部IE缓存", S::Unchecked},      {L"IE缓存(不包括IE Cookie)", S::Checked},
      {L"IE缓存(不包括IE Cookie和IE历史记录)", S::Unchecked},
  };
  for (const Expect& e : expected) EXPECT_EQ(e.state, StateOf(tree, e.caption)) << e.caption;
  EXPECT_EQ(1, CheckedIEMode(tree));
  EXPECT_EQ(model::CheckType::RadioButton, FindOption(tree, L"全部IE缓存")->CheckType());
  EXPECT_EQ(model::CheckType::TriStateCheckBox, FindOption(tree, L"FireFox 清理")->CheckType());
  EXPECT_EQ(FindOption(tree, L"网络临时文件"), tree.Focused());
  // Clicking a group passes the state down, leaving the radio items alone.
  tree.SetCheckState(FindOption(tree, L"网络临时文件"), S::Unchecked);
  EXPECT_EQ(S::Unchecked, StateOf(tree, L"Chrome Cookies"));
  EXPECT_EQ(S::Checked, StateOf(tree, L"IE缓存(不包括IE Cookie)"));
}

TEST_F(TraceOptionTest, SavedStatesWithDefaultsAsFallback) {
  sys::ProfileIni ini(sandbox / L"Halvane.set");
  ini.WriteBool(L"TraceScanOption", L"IE缓存", false);
  ini.WriteBool(L"TraceScanOption", L"Windows错误报告", true);
  ini.WriteInteger(L"TraceScanOption", L"IETraceCleanMode", 2);
  ini.WriteBool(L"TraceScanOption", L"缩略图缓存", false);
  machine::TTarnOSInfo os = System(6, 1);
  model::TreeModel tree;
  BuildOptionTree(tree, os, &ini);
  EXPECT_EQ(model::CheckState::Unchecked, StateOf(tree, L"IE缓存"));
  EXPECT_EQ(model::CheckState::Checked, StateOf(tree, L"Windows错误报告"));
  EXPECT_EQ(model::CheckState::Unchecked, StateOf(tree, L"缩略图缓存"));
  EXPECT_EQ(model::CheckState::Checked, StateOf(tree, L"临时文件"));  // no key: default
  EXPECT_EQ(2, CheckedIEMode(tree));
  // A mode outside 0..2 leaves every radio item unchecked.
  ini.WriteInteger(L"TraceScanOption", L"IETraceCleanMode", 7);
  BuildOptionTree(tree, os, &ini);
  EXPECT_EQ(-1, CheckedIEMode(tree));
  // Defaults ignore the file.
  BuildOptionTree(tree, os, nullptr);
  EXPECT_EQ(model::CheckState::Checked, StateOf(tree, L"IE缓存"));
  EXPECT_EQ(1, CheckedIEMode(tree));
}

TEST_F(TraceOptionTest, SelectAllThenSaveWritesEveryOptionAndKeepsTheRadio) {
  sys::ProfileIni ini(sandbox / L"Halvane.set");
  ini.WriteBool(L"TraceScanOption", L"IE缓存(不包括IE Cookie)", true);  // an old radio key
  ini.WriteBool(L"TraceScanOption", L"缩略图缓存", false);  // a row XP does not have
  machine::TTarnOSInfo xp = System(5, 1);
  model::TreeModel tree;
  BuildOptionTree(tree, xp, nullptr);
  tree.SetCheckState(FindOption(tree, L"全部IE缓存"), model::CheckState::Checked);
  SetAllOptions(tree, true);
  EXPECT_EQ(0, CheckedIEMode(tree));
  SaveOptionStates(tree, ini, -1);
  for (const CatalogueRow& r : Catalogue()) {
    if (r.level == OptionLevel::Radio) {
      EXPECT_FALSE(ini.KeyExists(L"TraceScanOption", r.caption)) << r.caption;
    } else if (RowExists(r, xp)) {
      EXPECT_EQ(L"1", ini.ReadString(L"TraceScanOption", r.caption)) << r.caption;
    }
  }
  // Rows absent on this system keep what the file had; no mode was held, none written.
  EXPECT_EQ(L"0", ini.ReadString(L"TraceScanOption", L"缩略图缓存"));
  EXPECT_FALSE(ini.KeyExists(L"TraceScanOption", L"IETraceCleanMode"));
  SetAllOptions(tree, false);
  SaveOptionStates(tree, ini, 2);
  EXPECT_EQ(L"0", ini.ReadString(L"TraceScanOption", L"网络临时文件"));
  EXPECT_EQ(2, ini.ReadInteger(L"TraceScanOption", L"IETraceCleanMode", -1));
  EXPECT_EQ(0, CheckedIEMode(tree));
}

TEST_F(TraceOptionTest, MixedAndPressedAreSavedAsFalse) {
  sys::ProfileIni ini(sandbox / L"Halvane.set");
  machine::TTarnOSInfo os = System(6, 1);
  model::TreeModel tree;
  BuildOptionTree(tree, os, nullptr);
  tree.SetCheckStateOnly(FindOption(tree, L"日志文件"), model::CheckState::CheckedPressed);
  SaveOptionStates(tree, ini, -1);
  EXPECT_EQ(L"0", ini.ReadString(L"TraceScanOption", L"网络临时文件"));  // mixed
  EXPECT_EQ(L"0", ini.ReadString(L"TraceScanOption", L"日志文件"));    // pressed
  EXPECT_EQ(L"1", ini.ReadString(L"TraceScanOption", L"临时文件"));
  // Saving into a folder that does not exist is swallowed.
  sys::ProfileIni bad(sandbox / L"missing\\Halvane.set");
  SaveOptionStates(tree, bad, 1);
}
