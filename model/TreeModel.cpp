#include "model/TreeModel.h"

#include <utility>

namespace model {

namespace {

bool CountsForTriState(const TreeNode* n) {
  return n->CheckType() == CheckType::CheckBox || n->CheckType() == CheckType::TriStateCheckBox;
}

}  // namespace

TreeModel::TreeModel() {
  root_.depth_ = -1;
  root_.expanded_ = true;
  root_.data_ = this;  // how a node finds the model that makes its children
}

void TreeNode::MakeForWalk() const {
  const TreeNode* root = this;
  while (root->parent_) root = root->parent_;
  if (TreeModel* const* model = std::any_cast<TreeModel*>(&root->data_))
    (*model)->MakeChildren(const_cast<TreeNode*>(this));
}

TreeModel::~TreeModel() {
  for (TreeNode* n = root_.first_; n;) {
    TreeNode* next = n->next_;
    FreeSubtree(n);
    n = next;
  }
}

TreeNode* TreeModel::Append(TreeNode* parent, std::any data) {
  TreeNode* p = parent ? parent : &root_;
  auto* n = new TreeNode;
  n->data_ = std::move(data);
  n->parent_ = p;
  n->depth_ = p->depth_ + 1;
  n->prev_ = p->last_;
  if (p->last_)
    p->last_->next_ = n;
  else
    p->first_ = n;
  p->last_ = n;
  ++p->childCount_;
  ++nodeCount_;

  // Appending below the last visible row keeps the row index valid: the common case of a
  // list that grows at its end, or of rows hidden under a collapsed node.
  if (rowsValid_ && p->expanded_ && IsVisible(p)) {
    std::size_t pos = p == &root_ ? rows_.size() : p->row_ + 1 + p->belowRows_;
    if (pos == rows_.size()) {
      n->row_ = pos;
      rows_.push_back(n);
    } else {
      rowsValid_ = false;
    }
  }
  AddBelowRows(p, 1);
  if (!making_) Notify(TreeChangeKind::Added, n);
  return n;
}

void TreeModel::Delete(TreeNode* node) {
  if (!node || node == &root_) return;
  Notify(TreeChangeKind::Deleting, node);
  bool focusGone = false;
  for (TreeNode* f = focused_; f; f = f->parent_)
    if (f == node) focusGone = true;

  TreeNode* p = node->parent_;
  if (IsVisible(node)) rowsValid_ = false;
  std::size_t rows = 1 + (node->expanded_ ? node->belowRows_ : 0);
  AddBelowRows(p, -static_cast<std::ptrdiff_t>(rows));
  if (node->prev_)
    node->prev_->next_ = node->next_;
  else
    p->first_ = node->next_;
  if (node->next_)
    node->next_->prev_ = node->prev_;
  else
    p->last_ = node->prev_;
  --p->childCount_;

  std::size_t unmade = 0;
  nodeCount_ -= FreeSubtree(node, &unmade);
  unmadeCount_ -= unmade;
  // The last made child gone, the node's children are to be made again.
  if (!p->first_) unmadeCount_ += p->lazyChildren_;

  if (focusGone) SetFocused(nullptr);
  if (p != &root_ && p->checkType_ == CheckType::TriStateCheckBox) {
    DeriveCheckState(p);
    DeriveAncestors(p);
  }
}

void TreeModel::Clear() {
  for (TreeNode* n = root_.first_; n;) {
    TreeNode* next = n->next_;
    FreeSubtree(n);
    n = next;
  }
  root_.first_ = root_.last_ = nullptr;
  root_.childCount_ = 0;
  root_.belowRows_ = 0;
  nodeCount_ = unmadeCount_ = 0;
  focused_ = nullptr;
  rows_.clear();
  rowsValid_ = true;
  Notify(TreeChangeKind::Cleared, nullptr);
}

std::size_t TreeModel::FreeSubtree(TreeNode* node, std::size_t* unmade) {
  std::size_t freed = 0;
  std::vector<TreeNode*> stack{node};
  while (!stack.empty()) {
    TreeNode* t = stack.back();
    stack.pop_back();
    if (unmade && !t->first_) *unmade += t->lazyChildren_;
    for (TreeNode* c = t->first_; c; c = c->next_) stack.push_back(c);
    delete t;
    ++freed;
  }
  return freed;
}

TreeNode* TreeModel::NextInTree(const TreeNode* node) {
  if (!node) return nullptr;
  if (TreeNode* child = node->FirstChild()) return child;
  for (; node; node = node->parent_)
    if (node->next_) return node->next_;
  return nullptr;
}

void TreeModel::SetLazyChildren(TreeNode* node, std::size_t count) {
  if (!node->first_) unmadeCount_ -= node->lazyChildren_;
  node->lazyChildren_ = static_cast<std::uint8_t>(count < 255 ? count : 255);
  if (!node->first_) unmadeCount_ += node->lazyChildren_;
}

bool TreeModel::MakeChildren(TreeNode* node) {
  if (!node || node->ChildrenMade() || !childMaker_ || making_) return false;
  making_ = true;
  childMaker_(*this, node);
  making_ = false;
  if (!node->first_) return false;
  unmadeCount_ -= node->lazyChildren_;
  return true;
}

void TreeModel::DropChildren(TreeNode* node) {
  if (node && node->lazyChildren_ && !node->expanded_) RemoveChildren(node, true);
}

void TreeModel::RemoveChildren(TreeNode* node, bool notify) {
  while (TreeNode* c = node->last_) {
    if (notify) {
      Delete(c);
      continue;
    }
    node->last_ = c->prev_;
    if (c->prev_) c->prev_->next_ = nullptr;
    nodeCount_ -= FreeSubtree(c);
    if (!node->last_) unmadeCount_ += node->lazyChildren_;
  }
  node->first_ = nullptr;
  node->childCount_ = 0;
  node->belowRows_ = 0;
}

void TreeModel::ForEachInTree(const std::function<void(TreeNode*)>& visit) {
  Walk(root_.first_, visit);
}

void TreeModel::Walk(TreeNode* first, const std::function<void(TreeNode*)>& visit) {
  for (TreeNode* n = first; n; n = n->next_) {
    visit(n);
    // Made for this walk only, so no one holds them: they go without a notice.
    bool made = MakeChildren(n);
    Walk(n->first_, visit);
    if (made) RemoveChildren(n, false);
  }
}

void TreeModel::SetData(TreeNode* node, std::any data) {
  node->data_ = std::move(data);
  Notify(TreeChangeKind::Data, node);
}

void TreeModel::DataChanged(TreeNode* node) { Notify(TreeChangeKind::Data, node); }

void TreeModel::AddBelowRows(TreeNode* node, std::ptrdiff_t delta) {
  node->belowRows_ += delta;
  while (node->expanded_ && node->parent_) {
    node = node->parent_;
    node->belowRows_ += delta;
  }
}

void TreeModel::SetExpanded(TreeNode* node, bool expanded) {
  if (!node || node == &root_ || node->expanded_ == expanded) return;
  if (expanded) MakeChildren(node);
  bool visible = IsVisible(node);
  node->expanded_ = expanded;
  if (node->belowRows_ > 0) {
    std::ptrdiff_t delta = static_cast<std::ptrdiff_t>(node->belowRows_);
    AddBelowRows(node->parent_, expanded ? delta : -delta);
    if (visible) rowsValid_ = false;
  }
  Notify(TreeChangeKind::Expanded, node);
  if (!expanded) DropChildren(node);
}

bool TreeModel::IsVisible(const TreeNode* node) {
  if (!node) return false;
  for (const TreeNode* p = node->parent_; p; p = p->parent_)
    if (!p->expanded_) return false;
  return true;
}

void TreeModel::RebuildRows() const {
  rows_.clear();
  rows_.reserve(root_.belowRows_);
  TreeNode* n = root_.first_;
  while (n) {
    n->row_ = rows_.size();
    rows_.push_back(n);
    if (n->expanded_ && n->first_) {
      n = n->first_;
      continue;
    }
    while (n && !n->next_) n = n->parent_;
    if (n) n = n->next_;
  }
  rowsValid_ = true;
}

TreeNode* TreeModel::VisibleRow(std::size_t i) const {
  if (!rowsValid_) RebuildRows();
  return i < rows_.size() ? rows_[i] : nullptr;
}

std::ptrdiff_t TreeModel::RowOf(const TreeNode* node) const {
  if (!node || node == &root_) return -1;
  if (!rowsValid_) RebuildRows();
  if (node->row_ < rows_.size() && rows_[node->row_] == node)
    return static_cast<std::ptrdiff_t>(node->row_);
  return -1;
}

void TreeModel::SetCheckType(TreeNode* node, CheckType type) {
  if (node->checkType_ == type) return;
  node->checkType_ = type;
  Notify(TreeChangeKind::Checked, node);
}

void TreeModel::SetStateNotify(TreeNode* node, CheckState state) {
  if (node->checkState_ == state) return;
  node->checkState_ = state;
  Notify(TreeChangeKind::Checked, node);
}

void TreeModel::SetCheckStateOnly(TreeNode* node, CheckState state) { SetStateNotify(node, state); }

void TreeModel::SetCheckState(TreeNode* node, CheckState state) {
  SetStateNotify(node, state);
  if (IsPressed(state)) return;
  if (node->checkType_ == CheckType::TriStateCheckBox && !IsMixed(state)) PushDown(node, state);
  if (node->checkType_ == CheckType::RadioButton && IsChecked(state)) {
    for (TreeNode* s = node->parent_->first_; s; s = s->next_)
      if (s != node && s->checkType_ == CheckType::RadioButton)
        SetStateNotify(s, CheckState::Unchecked);
  }
  DeriveAncestors(node);
}

void TreeModel::PushDown(TreeNode* node, CheckState state) {
  std::vector<TreeNode*> stack;
  for (TreeNode* c = node->first_; c; c = c->next_) stack.push_back(c);
  while (!stack.empty()) {
    TreeNode* t = stack.back();
    stack.pop_back();
    if (CountsForTriState(t)) SetStateNotify(t, state);
    for (TreeNode* c = t->first_; c; c = c->next_) stack.push_back(c);
  }
}

void TreeModel::DeriveCheckState(TreeNode* node) {
  bool any = false, all = true, some = false;
  for (TreeNode* c = node->first_; c; c = c->next_) {
    if (!CountsForTriState(c)) continue;
    any = true;
    if (IsChecked(c->checkState_)) {
      some = true;
    } else {
      all = false;
      if (IsMixed(c->checkState_)) some = true;
    }
  }
  if (!any) return;
  SetStateNotify(node, all    ? CheckState::Checked
                       : some ? CheckState::Mixed
                              : CheckState::Unchecked);
}

void TreeModel::DeriveAncestors(TreeNode* node) {
  // A plain check box keeps its own state, so nothing above it can change.
  for (TreeNode* p = node->parent_; p && p != &root_; p = p->parent_) {
    if (p->checkType_ != CheckType::TriStateCheckBox) break;
    DeriveCheckState(p);
  }
}

bool TreeModel::ToggleCheck(TreeNode* node) {
  switch (node->checkType_) {
    case CheckType::None:
      return false;
    case CheckType::RadioButton:
      if (IsChecked(node->checkState_)) {
        SetStateNotify(node, CheckState::Checked);  // drop a pressed look
        return false;
      }
      SetCheckState(node, CheckState::Checked);
      return true;
    default:
      SetCheckState(node,
                    IsChecked(node->checkState_) ? CheckState::Unchecked : CheckState::Checked);
      return true;
  }
}

void TreeModel::SetFocused(TreeNode* node) {
  if (focused_ == node) return;
  focused_ = node;
  Notify(TreeChangeKind::Focused, node);
}

int TreeModel::Subscribe(Listener listener) {
  listeners_.push_back({nextListenerId_, std::move(listener)});
  return nextListenerId_++;
}

void TreeModel::Unsubscribe(int id) {
  for (auto it = listeners_.begin(); it != listeners_.end(); ++it)
    if (it->id == id) {
      listeners_.erase(it);
      return;
    }
}

void TreeModel::Notify(TreeChangeKind kind, TreeNode* node) {
  TreeChange change{kind, node};
  for (std::size_t i = 0; i < listeners_.size(); ++i) listeners_[i].fn(change);
}

}  // namespace model
