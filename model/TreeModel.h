// The node model behind every VirtualTree: structure, user records, check states with the
// automatic tri-state tracking, expansion and the focused node. It knows nothing of
// painting; a view subscribes to its changes.
#pragma once
#include <any>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace model {

enum class CheckType : std::uint8_t { None, CheckBox, TriStateCheckBox, RadioButton };

// Each state has a normal and a pressed variant (pressed while the mouse holds it down).
enum class CheckState : std::uint8_t {
  Unchecked,
  UncheckedPressed,
  Checked,
  CheckedPressed,
  Mixed,
  MixedPressed
};

inline bool IsChecked(CheckState s) {
  return s == CheckState::Checked || s == CheckState::CheckedPressed;
}
inline bool IsMixed(CheckState s) {
  return s == CheckState::Mixed || s == CheckState::MixedPressed;
}
inline bool IsUnchecked(CheckState s) {
  return s == CheckState::Unchecked || s == CheckState::UncheckedPressed;
}
inline bool IsPressed(CheckState s) { return (static_cast<int>(s) & 1) != 0; }
// The same state in its normal or pressed variant.
inline CheckState WithPressed(CheckState s, bool pressed) {
  return static_cast<CheckState>((static_cast<int>(s) & ~1) | (pressed ? 1 : 0));
}

class TreeModel;

// One node. Read through the getters; change it only through its TreeModel, which keeps
// the counts and tells the subscribers.
class TreeNode {
 public:
  // Null for a top-level node (whose link points at the model's hidden root).
  TreeNode* Parent() const { return parent_ && parent_->parent_ ? parent_ : nullptr; }
  // A node with children made on demand has them made here when they are not there yet:
  // whoever walks them sees them all.
  TreeNode* FirstChild() const {
    if (!first_ && lazyChildren_) MakeForWalk();
    return first_;
  }
  TreeNode* LastChild() const {
    if (!first_ && lazyChildren_) MakeForWalk();
    return last_;
  }
  TreeNode* NextSibling() const { return next_; }
  TreeNode* PrevSibling() const { return prev_; }
  // Counts children made on demand whether they are made or not.
  std::size_t ChildCount() const { return first_ ? childCount_ : lazyChildren_; }
  bool HasChildren() const { return first_ != nullptr || lazyChildren_ > 0; }
  // Whether the children are nodes now (a node without any has none to make).
  bool ChildrenMade() const { return first_ != nullptr || lazyChildren_ == 0; }
  int Depth() const { return depth_; }  // 0 for a top-level node
  model::CheckType CheckType() const { return checkType_; }
  model::CheckState CheckState() const { return checkState_; }
  bool Expanded() const { return expanded_; }

  // The user record: any copyable value, owned by the node and released with it.
  const std::any& Data() const { return data_; }
  std::any& Data() { return data_; }
  // The record as T, or null when the node holds no T.
  template <class T>
  T* DataAs() {
    return std::any_cast<T>(&data_);
  }
  template <class T>
  const T* DataAs() const {
    return std::any_cast<T>(&data_);
  }

 private:
  friend class TreeModel;
  void MakeForWalk() const;
  TreeNode* parent_ = nullptr;
  TreeNode* first_ = nullptr;
  TreeNode* last_ = nullptr;
  TreeNode* next_ = nullptr;
  TreeNode* prev_ = nullptr;
  std::size_t childCount_ = 0;
  // Rows the children's subtrees take when this node is expanded (so expanding costs the
  // depth, not the subtree).
  std::size_t belowRows_ = 0;
  std::size_t row_ = 0;  // index in the row cache; trusted only when the cache says so
  int depth_ = 0;
  model::CheckType checkType_ = model::CheckType::None;
  model::CheckState checkState_ = model::CheckState::Unchecked;
  bool expanded_ = false;
  // Children the model's child maker makes when they are wanted (see SetLazyChildren).
  std::uint8_t lazyChildren_ = 0;
  std::any data_;
};

enum class TreeChangeKind {
  Added,     // node was appended
  Deleting,  // node and its subtree are about to be freed
  Cleared,   // every node is gone (node is null)
  Checked,   // node's check type or state changed
  Expanded,  // node was expanded or collapsed
  Focused,   // the focused node changed (node is the new one, may be null)
  Data       // node's record changed
};

struct TreeChange {
  TreeChangeKind kind;
  TreeNode* node;
};

class TreeModel {
 public:
  TreeModel();
  ~TreeModel();
  TreeModel(const TreeModel&) = delete;
  TreeModel& operator=(const TreeModel&) = delete;

  // --- structure ---
  // Appends a child of parent (null: a top-level node), collapsed, without check box.
  TreeNode* Append(TreeNode* parent, std::any data = {});
  // Frees the node and its subtree.
  void Delete(TreeNode* node);
  void Clear();
  std::size_t TopLevelCount() const { return root_.childCount_; }
  // Every node, children made on demand counted whether made or not.
  std::size_t NodeCount() const { return nodeCount_ + unmadeCount_; }
  // The nodes that exist now.
  std::size_t MadeNodeCount() const { return nodeCount_; }
  TreeNode* FirstTopLevel() const { return root_.first_; }
  TreeNode* LastTopLevel() const { return root_.last_; }
  // The node after node in tree order (pre-order, collapsed or not), or null.
  static TreeNode* NextInTree(const TreeNode* node);

  // --- children made on demand ---
  // Rows that follow from a node's record need not be nodes all the time: such a node says
  // how many children it has, and the child maker appends them when the node is expanded
  // or its children are walked; they are dropped again when it is collapsed.
  using ChildMaker = std::function<void(TreeModel&, TreeNode*)>;
  void SetChildMaker(ChildMaker maker) { childMaker_ = std::move(maker); }
  // Says a collapsed node has count such children (at most 255); an open node is given
  // its new children as nodes by whoever adds them.
  void SetLazyChildren(TreeNode* node, std::size_t count);
  // Makes the children of a node that has them on demand; true when they were made now.
  // They are made without an Added notice: nothing on screen changes by it.
  bool MakeChildren(TreeNode* node);
  // Frees the made-on-demand children of a collapsed node.
  void DropChildren(TreeNode* node);
  // Every node in tree order, children made on demand included; those made only for the
  // walk are dropped again behind it.
  void ForEachInTree(const std::function<void(TreeNode*)>& visit);

  void SetData(TreeNode* node, std::any data);
  // Tells the subscribers that the record was changed in place.
  void DataChanged(TreeNode* node);

  // --- expansion and visible rows ---
  void SetExpanded(TreeNode* node, bool expanded);
  // True when every ancestor is expanded.
  static bool IsVisible(const TreeNode* node);
  // Rows of the expanded tree; O(1).
  std::size_t VisibleRowCount() const { return root_.belowRows_; }
  // The node shown in row i (0-based); null past the end. O(1) once the row index is
  // valid; it is rebuilt lazily after changes other than appending at the end.
  TreeNode* VisibleRow(std::size_t i) const;
  // Row of a visible node, -1 for a hidden or null one.
  std::ptrdiff_t RowOf(const TreeNode* node) const;
  // Whether RowOf and VisibleRow answer without rebuilding the row index.
  bool RowsIndexed() const { return rowsValid_; }

  // --- check boxes ---
  void SetCheckType(TreeNode* node, model::CheckType type);
  // The automatic tri-state tracking: a tri-state node passes a checked or unchecked state
  // to its check-box and tri-state descendants (radio buttons untouched); a checked radio
  // button unchecks its radio siblings; then every tri-state ancestor is re-derived.
  // A pressed variant changes only the node itself (it is how a press is shown).
  void SetCheckState(TreeNode* node, model::CheckState state);
  // Sets the state of this node alone, without any propagation.
  void SetCheckStateOnly(TreeNode* node, model::CheckState state);
  // The tri-state rule on node's direct check-box and tri-state children: all checked ->
  // checked, none checked or mixed -> unchecked, otherwise mixed. Nothing happens when it
  // has no such children.
  void DeriveCheckState(TreeNode* node);
  // What a click or Space does: unchecked or mixed -> checked, checked -> unchecked; a
  // checked radio button stays checked. Returns whether the node's state changed.
  bool ToggleCheck(TreeNode* node);

  // --- focus ---
  TreeNode* Focused() const { return focused_; }
  void SetFocused(TreeNode* node);

  // --- change notifications ---
  using Listener = std::function<void(const TreeChange&)>;
  // Returns an id for Unsubscribe.
  int Subscribe(Listener listener);
  void Unsubscribe(int id);

 private:
  void Notify(TreeChangeKind kind, TreeNode* node);
  void SetStateNotify(TreeNode* node, model::CheckState state);
  void PushDown(TreeNode* node, model::CheckState state);
  void DeriveAncestors(TreeNode* node);
  // Adds delta rows to the counts above node, as far as the expanded chain reaches.
  void AddBelowRows(TreeNode* node, std::ptrdiff_t delta);
  void RebuildRows() const;
  // Frees the node and everything below it; returns how many nodes that was, and adds
  // the children it still had to make to *unmade.
  static std::size_t FreeSubtree(TreeNode* node, std::size_t* unmade = nullptr);
  void RemoveChildren(TreeNode* node, bool notify);
  void Walk(TreeNode* first, const std::function<void(TreeNode*)>& visit);

  TreeNode root_;  // never shown; its children are the top-level nodes
  std::size_t nodeCount_ = 0;
  std::size_t unmadeCount_ = 0;  // children nodes say they have but are not made
  TreeNode* focused_ = nullptr;
  mutable std::vector<TreeNode*> rows_;
  mutable bool rowsValid_ = true;
  struct Subscriber {
    int id;
    Listener fn;
  };
  std::vector<Subscriber> listeners_;
  int nextListenerId_ = 1;
  ChildMaker childMaker_;
  bool making_ = false;
};

}  // namespace model
