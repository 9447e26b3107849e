// rule_tree.h - one of the view's six rule trees without its window: which node each rule
// goes under, where among its siblings a node sorts, which parents a removal prunes and
// where a node whose text changed now belongs. CTreeDialog mirrors what each call reports
// into its tree control.
//
// Nodes are found by the record they show and their parent, never by text. Node ids are
// indexes that stay valid until Clear(); a removed node's id is not reused.
#pragma once
#include <array>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "rule_view.h"

namespace edictor {

// The order siblings are kept in: by text without regard to case, as a reader looks a name
// up; texts that differ only in case by their bytes, so the order is total.
int CompareNodeTexts(const std::string& a, const std::string& b);

class RuleTree {
 public:
  static constexpr int kNone = -1;
  struct TreeNode {
    const void* record = nullptr;
    std::string text;
    int picture = 0;
    int parent = kNone;
    std::vector<int> children;  // in their sorted order
  };
  // What an insertion did at one level, top first.
  struct Placed {
    int node = kNone;
    bool made = false;  // new: goes in after `after` (kNone: first among its siblings)
    int after = kNone;
    bool write = false;   // text (and, for the leaf, picture) to be written again
    bool resort = false;  // its text changed its place: its siblings are to be put in order
  };
  struct Insertion {
    std::array<Placed, 4> levels;
    // The rule's leaf was there already and this was no update: an inconsistency to report.
    bool duplicate = false;
  };

  // Shows a rule by its path of nodes from the top down (TreePath). With `update` off only
  // what is missing is made; with it on, texts of nodes found are written again.
  Insertion Insert(const std::array<Node, 4>& path, bool update);
  // The nodes a removal of `rule` deletes, its leaf first, then each parent it leaves
  // without children; empty when the rule has no leaf in this tree.
  std::vector<int> Remove(const void* rule);

  const TreeNode& at(int id) const { return nodes_[static_cast<size_t>(id)]; }
  // The children of `parent` (kNone: the top level) in their order.
  const std::vector<int>& Children(int parent) const;
  // The leaf of a rule, or kNone.
  int Leaf(const void* rule) const;
  void Clear();

 private:
  std::vector<int>& ChildrenOf(int parent);
  // Puts `id` at its sorted place among `siblings`; the sibling before it, or kNone.
  int Place(std::vector<int>& siblings, int id);

  std::vector<TreeNode> nodes_;
  std::vector<int> roots_;
  std::map<std::pair<int, const void*>, int> index_;  // (parent, record) -> node
  std::unordered_map<const void*, int> leaves_;       // rule -> its leaf
};

}  // namespace edictor
