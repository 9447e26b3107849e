#include "rule_tree.h"

#include <algorithm>

namespace edictor {

int CompareNodeTexts(const std::string& a, const std::string& b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    int x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x += 'a' - 'A';
    if (y >= 'A' && y <= 'Z') y += 'a' - 'A';
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return CompareSortTexts(a, b);
}

std::vector<int>& RuleTree::ChildrenOf(int parent) {
  return parent == kNone ? roots_ : nodes_[static_cast<size_t>(parent)].children;
}

const std::vector<int>& RuleTree::Children(int parent) const {
  return parent == kNone ? roots_ : nodes_[static_cast<size_t>(parent)].children;
}

int RuleTree::Leaf(const void* rule) const {
  auto found = leaves_.find(rule);
  return found == leaves_.end() ? kNone : found->second;
}

void RuleTree::Clear() {
  nodes_.clear();
  roots_.clear();
  index_.clear();
  leaves_.clear();
}

int RuleTree::Place(std::vector<int>& siblings, int id) {
  const std::string& text = at(id).text;
  // After every sibling of the same text: the earlier one keeps its place.
  auto where = std::upper_bound(siblings.begin(), siblings.end(), text, [&](const std::string& t, int other) {
    return CompareNodeTexts(t, at(other).text) < 0;
  });
  int after = where == siblings.begin() ? kNone : *(where - 1);
  siblings.insert(where, id);
  return after;
}

RuleTree::Insertion RuleTree::Insert(const std::array<Node, 4>& path, bool update) {
  Insertion done;
  int parent = kNone;
  for (size_t level = 0; level < path.size(); ++level) {
    const Node& node = path[level];
    bool leaf = level + 1 == path.size();
    Placed& placed = done.levels[level];
    auto found = index_.find({parent, node.record});
    if (found == index_.end()) {
      int id = static_cast<int>(nodes_.size());
      nodes_.push_back({node.record, node.text, node.picture, parent, {}});
      index_[{parent, node.record}] = id;
      if (leaf) leaves_[node.record] = id;
      placed.node = id;
      placed.made = true;
      placed.after = Place(ChildrenOf(parent), id);
    } else {
      int id = found->second;
      placed.node = id;
      if (leaf && !update) done.duplicate = true;
      // The leaf is written again found or not; other nodes only on an update.
      placed.write = leaf || update;
      TreeNode& shown = nodes_[static_cast<size_t>(id)];
      if (placed.write && shown.text != node.text) {
        shown.text = node.text;
        std::vector<int>& siblings = ChildrenOf(parent);
        siblings.erase(std::find(siblings.begin(), siblings.end(), id));
        Place(siblings, id);
        placed.resort = true;
      }
      if (leaf) shown.picture = node.picture;
    }
    parent = placed.node;
  }
  return done;
}

std::vector<int> RuleTree::Remove(const void* rule) {
  std::vector<int> gone;
  int id = Leaf(rule);
  while (id != kNone && at(id).children.empty()) {
    TreeNode& node = nodes_[static_cast<size_t>(id)];
    std::vector<int>& siblings = ChildrenOf(node.parent);
    siblings.erase(std::find(siblings.begin(), siblings.end(), id));
    index_.erase({node.parent, node.record});
    auto leaf = leaves_.find(node.record);
    if (leaf != leaves_.end() && leaf->second == id) leaves_.erase(leaf);
    gone.push_back(id);
    id = node.parent;
  }
  return gone;
}

}  // namespace edictor
