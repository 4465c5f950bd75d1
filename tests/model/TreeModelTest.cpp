// The node model on its own: tri-state tracking, radio groups, the row index kept up to
// date through appends, expansion and deletion, focus and change notifications.
#include "model/TreeModel.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

using model::CheckState;
using model::CheckType;
using model::TreeModel;
using model::TreeNode;

namespace {

// A small option tree shaped like the real one:
//   G (tri) > S1 (tri) > O1 (check, radio children R1 R2 R3), O2
//           > S2 (tri) > O3, O4
struct OptionTree {
  TreeModel m;
  std::map<std::string, TreeNode*> n;
  std::vector<std::string> order{"G", "S1", "O1", "R1", "R2", "R3", "O2", "S2", "O3", "O4"};

  OptionTree() {
    auto add = [&](const std::string& name, const char* parent, CheckType t) {
      TreeNode* node = m.Append(parent ? n.at(parent) : nullptr, name);
      m.SetCheckType(node, t);
      n[name] = node;
    };
    add("G", nullptr, CheckType::TriStateCheckBox);
    add("S1", "G", CheckType::TriStateCheckBox);
    add("O1", "S1", CheckType::CheckBox);
    add("R1", "O1", CheckType::RadioButton);
    add("R2", "O1", CheckType::RadioButton);
    add("R3", "O1", CheckType::RadioButton);
    add("O2", "S1", CheckType::CheckBox);
    add("S2", "G", CheckType::TriStateCheckBox);
    add("O3", "S2", CheckType::CheckBox);
    add("O4", "S2", CheckType::CheckBox);
  }

  // States in tree order, one mark each: x checked, X checked pressed, . unchecked,
  // - mixed; blanks are ignored.
  void Load(const std::string& marks) {
    std::size_t i = 0;
    for (char ch : marks) {
      if (ch == ' ') continue;
      CheckState s = ch == 'x'   ? CheckState::Checked
                     : ch == 'X' ? CheckState::CheckedPressed
                     : ch == '-' ? CheckState::Mixed
                                 : CheckState::Unchecked;
      m.SetCheckStateOnly(n.at(order.at(i++)), s);
    }
  }
  std::string Marks() const {
    std::string out;
    for (const auto& name : order) {
      CheckState s = n.at(name)->CheckState();
      if (!out.empty()) out += ' ';
      out += s == CheckState::CheckedPressed ? 'X'
             : model::IsChecked(s)              ? 'x'
             : model::IsMixed(s)                ? '-'
                                             : '.';
    }
    return out;
  }
};

CheckState ParseState(char c) {
  return c == 'x' ? CheckState::Checked : c == '-' ? CheckState::Mixed : CheckState::Unchecked;
}

// Rows as a brute-force walk sees them.
std::vector<TreeNode*> ExpectedRows(const TreeModel& m) {
  std::vector<TreeNode*> rows;
  std::vector<TreeNode*> stack;
  for (TreeNode* c = m.LastTopLevel(); c; c = c->PrevSibling()) stack.push_back(c);
  while (!stack.empty()) {
    TreeNode* t = stack.back();
    stack.pop_back();
    rows.push_back(t);
    if (t->Expanded())
      for (TreeNode* c = t->LastChild(); c; c = c->PrevSibling()) stack.push_back(c);
  }
  return rows;
}

}  // namespace

TEST(TreeModelTest, CheckPropagation) {
  struct Case {
    const char* what;
    const char* before;  // G S1 O1 R1 R2 R3 O2 S2 O3 O4
    const char* node;
    char state;
    const char* after;
  };
  const Case cases[] = {
      {"checking the group passes down, radios untouched", ". . . . x . . . . .", "G", 'x',
       "x x x . x . x x x x"},
      {"unchecking the group passes down, radios untouched", "x x x . x . x x x x", "G", '.',
       ". . . . x . . . . ."},
      {"a subgroup passes down and its group becomes mixed", ". . . . x . . . . .", "S1", 'x',
       "- x x . x . x . . ."},
      {"a leaf makes its subgroup and group mixed", ". . . . x . . . . .", "O3", 'x',
       "- . . . x . . - x ."},
      {"the last leaf completes its subgroup", "- . . . x . . - x .", "O4", 'x',
       "- . . . x . . x x x"},
      {"every leaf checked checks the group", "- x x . x . x - x .", "O4", 'x',
       "x x x . x . x x x x"},
      {"unchecking a leaf mixes what is above it", "x x x . x . x x x x", "O2", '.',
       "- - x . x . . x x x"},
      {"the last leaf unchecked clears the group", "- . . . x . . - x .", "O3", '.',
       ". . . . x . . . . ."},
      {"a group whose children are all mixed is mixed", "- - x . x . . . . .", "O3", 'x',
       "- - x . x . . - x ."},
      {"a pressed check counts as checked", ". - X . x . . x x x", "O2", 'x',
       "x x X . x . x x x x"},
      {"a radio unchecks its siblings, not its parent", "- - x . x . . . . .", "R1", 'x',
       "- - x x . . . . . ."},
      {"a radio under an unchecked option", ". . . . . x . . . .", "R2", 'x',
       ". . . . x . . . . ."},
      {"mixed set on a group stays on the group", ". . . . x . . . . .", "S2", '-',
       "- . . . x . . - . ."},
  };
  for (const Case& c : cases) {
    OptionTree t;
    t.Load(c.before);
    t.m.SetCheckState(t.n.at(c.node), ParseState(c.state));
    EXPECT_EQ(t.Marks(), c.after) << c.what;
  }
}

TEST(TreeModelTest, ToggleAndDerive) {
  struct Case {
    const char* what;
    const char* before;
    const char* node;
    bool changed;
    const char* after;
  };
  const Case cases[] = {
      {"a mixed group becomes checked", "- - x . x . . . . .", "G", true, "x x x . x . x x x x"},
      {"a checked option becomes unchecked", "x x x . x . x x x x", "O3", true,
       "- x x . x . x - . x"},
      {"an unchecked radio becomes checked", ". . . x . . . . . .", "R3", true,
       ". . . . . x . . . ."},
      {"a checked radio stays checked", ". . . x . . . . . .", "R1", false, ". . . x . . . . . ."},
  };
  for (const Case& c : cases) {
    OptionTree t;
    t.Load(c.before);
    EXPECT_EQ(t.m.ToggleCheck(t.n.at(c.node)), c.changed) << c.what;
    EXPECT_EQ(t.Marks(), c.after) << c.what;
  }

  // The builder sets states one by one and derives the groups itself.
  OptionTree t;
  t.Load(". . x . x . . . x x");
  t.m.DeriveCheckState(t.n.at("S1"));
  t.m.DeriveCheckState(t.n.at("S2"));
  EXPECT_EQ(t.Marks(), ". - x . x . . x x x") << "only the derived nodes change";
  t.m.DeriveCheckState(t.n.at("G"));
  EXPECT_EQ(t.Marks(), "- - x . x . . x x x");
  t.m.DeriveCheckState(t.n.at("O1"));  // radio children do not count
  EXPECT_EQ(t.n.at("O1")->CheckState(), CheckState::Checked);

  // Deleting the only unchecked leaf completes its subgroup.
  t.m.Delete(t.n.at("O2"));
  EXPECT_EQ(t.n.at("S1")->CheckState(), CheckState::Checked);
  EXPECT_EQ(t.n.at("G")->CheckState(), CheckState::Checked);
}

TEST(TreeModelTest, StructureAndCounts) {
  TreeModel m;
  EXPECT_EQ(m.TopLevelCount(), 0u);
  EXPECT_EQ(m.VisibleRowCount(), 0u);
  TreeNode* a = m.Append(nullptr, std::wstring(L"a"));
  TreeNode* a1 = m.Append(a, std::wstring(L"a1"));
  TreeNode* a2 = m.Append(a, std::wstring(L"a2"));
  TreeNode* a2x = m.Append(a2, std::wstring(L"a2x"));
  TreeNode* b = m.Append(nullptr, std::wstring(L"b"));
  EXPECT_EQ(m.TopLevelCount(), 2u);
  EXPECT_EQ(m.NodeCount(), 5u);
  EXPECT_EQ(a2x->Depth(), 2);
  EXPECT_EQ(a2x->Parent(), a2);
  EXPECT_EQ(a->Parent(), nullptr);
  EXPECT_EQ(*a1->DataAs<std::wstring>(), L"a1");
  EXPECT_EQ(a1->DataAs<int>(), nullptr);

  std::vector<TreeNode*> order;
  for (TreeNode* n = m.FirstTopLevel(); n; n = TreeModel::NextInTree(n)) order.push_back(n);
  EXPECT_EQ(order, (std::vector<TreeNode*>{a, a1, a2, a2x, b})) << "tree order ignores collapse";

  struct Step {
    TreeNode* node;
    bool expand;
    std::vector<TreeNode*> rows;
  };
  const Step steps[] = {
      {a2, true, {a, b}},  // expanding under a collapsed parent shows nothing yet
      {a, true, {a, a1, a2, a2x, b}},
      {a2, false, {a, a1, a2, b}},
      {a, false, {a, b}},
      {a, true, {a, a1, a2, b}},
  };
  for (const Step& s : steps) {
    m.SetExpanded(s.node, s.expand);
    ASSERT_EQ(m.VisibleRowCount(), s.rows.size());
    for (std::size_t i = 0; i < s.rows.size(); ++i) {
      EXPECT_EQ(m.VisibleRow(i), s.rows[i]) << "row " << i;
      EXPECT_EQ(m.RowOf(s.rows[i]), static_cast<std::ptrdiff_t>(i));
    }
  }
  EXPECT_EQ(m.RowOf(a2x), -1);
  EXPECT_EQ(m.VisibleRow(99), nullptr);

  m.SetFocused(a2x);
  m.Delete(a2);
  EXPECT_EQ(m.Focused(), nullptr) << "focus inside a deleted subtree goes";
  EXPECT_EQ(m.NodeCount(), 3u);
  EXPECT_EQ(m.VisibleRowCount(), 3u);
  EXPECT_EQ(a->ChildCount(), 1u);
  EXPECT_EQ(a->LastChild(), a1);

  m.Clear();
  EXPECT_EQ(m.TopLevelCount(), 0u);
  EXPECT_EQ(m.NodeCount(), 0u);
  EXPECT_EQ(m.VisibleRowCount(), 0u);
  EXPECT_EQ(m.VisibleRow(0), nullptr);
}

// Random appends, expansions and deletions against a brute-force walk: the counts kept
// along the way must always match.
TEST(TreeModelTest, RowIndexMatchesWalk) {
  std::mt19937 rng(12345);
  TreeModel m;
  std::vector<TreeNode*> all;
  for (int step = 0; step < 3000; ++step) {
    int op = static_cast<int>(rng() % 10);
    if (op < 5 || all.empty()) {
      TreeNode* parent = all.empty() || rng() % 4 == 0 ? nullptr : all[rng() % all.size()];
      all.push_back(m.Append(parent));
    } else if (op < 9) {
      TreeNode* n = all[rng() % all.size()];
      m.SetExpanded(n, !n->Expanded());
    } else {
      TreeNode* n = all[rng() % all.size()];
      m.Delete(n);
      // Forget the subtree: keep nodes that still reach the model's top level.
      std::vector<TreeNode*> alive;
      for (TreeNode* t = m.FirstTopLevel(); t; t = TreeModel::NextInTree(t)) alive.push_back(t);
      all = alive;
    }
    if (step % 7 == 0 || step > 2950) {
      std::vector<TreeNode*> want = ExpectedRows(m);
      ASSERT_EQ(m.VisibleRowCount(), want.size()) << "step " << step;
      for (std::size_t i = 0; i < want.size(); ++i) ASSERT_EQ(m.VisibleRow(i), want[i]);
      ASSERT_EQ(m.NodeCount(), all.size());
    }
  }
}

TEST(TreeModelTest, Notifications) {
  TreeModel m;
  std::vector<model::TreeChangeKind> seen;
  int id = m.Subscribe([&](const model::TreeChange& c) { seen.push_back(c.kind); });
  TreeNode* g = m.Append(nullptr);
  m.SetCheckType(g, CheckType::TriStateCheckBox);
  TreeNode* o = m.Append(g);
  m.SetCheckType(o, CheckType::CheckBox);
  seen.clear();
  m.SetCheckState(o, CheckState::Checked);  // the option and its group
  EXPECT_EQ(seen, (std::vector<model::TreeChangeKind>{model::TreeChangeKind::Checked,
                                                   model::TreeChangeKind::Checked}));
  seen.clear();
  m.SetCheckState(o, CheckState::Checked);
  EXPECT_TRUE(seen.empty()) << "no change, no notice";
  m.SetExpanded(g, true);
  m.SetFocused(o);
  m.Delete(o);
  m.Clear();
  EXPECT_EQ(seen, (std::vector<model::TreeChangeKind>{
                      model::TreeChangeKind::Expanded, model::TreeChangeKind::Focused,
                      model::TreeChangeKind::Deleting, model::TreeChangeKind::Focused,
                      model::TreeChangeKind::Cleared}));
  m.Unsubscribe(id);
  seen.clear();
  m.Append(nullptr);
  EXPECT_TRUE(seen.empty());
}
