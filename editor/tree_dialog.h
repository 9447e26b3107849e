// CTreeDialog - Edictor's form view: four tabs over six rule trees (by protocol, address
// and application; inbound left, outbound right) and one rule list, with the default
// rules' captions and lights above.
//
// It shows the document's lists; start-up (WinSock, the one-editor claim, recording the
// window) is CEdictorApp's. Where a rule's nodes go and which parents a removal prunes is
// decided by one RuleTree per tree; the view mirrors each decision into its control. Nodes
// and rows carry a pointer to the shared record they show and are found again by it,
// never by text.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <functional>
#include <vector>

#include "dialog.h"
#include "controls.h"
#include "edictor_doc.h"
#include "edictor_ids.h"
#include "rule_tree.h"
#include "rule_view.h"

namespace edictor {

// Store calls the view has made to show rules: what showing one rule costs.
long StoreCallCount();

class CTreeDialog : public winui::Dialog {
 public:
  explicit CTreeDialog(CEdictorDoc& doc);
  ~CTreeDialog() override;

  // The first activation with the document open builds and fills the view; later ones,
  // and any while the document is closed (a second editor), do nothing.
  void OnActivateView();
  // Whether the Add Address dialog may resolve host names.
  void SetOnline(bool online) { online_ = online; }

  bool InsertRule(int key, bool update);
  // A rule added by another program (the monitor's prompt): shown once it exists and is
  // not shown already; false when nothing was inserted.
  bool OnRuleAdded(int key);
  void RefreshRule(int key);
  void RemoveRule(const PFW_RULE* rule);
  void ShowTab(int index);
  // The Add Rule command: the dialog, then the new rule shown.
  void AddRule();
  // Deny, Ask or Allow on the current record when it is a rule; nothing when unchanged.
  void SetAction(int action);
  // The Delete rule command: the current record when it is a rule still in the list
  // and neither default rule.
  void DeleteCurrentRule();
  // The context menu over `record` at `screen`; false when there is nothing to open it on.
  bool OpenContextMenu(const void* record, bool onLight, POINT screen);
  // The menu the keyboard asks for (Shift+F10, the menu key) in `control`: over its
  // selected node or row, placed at it.
  bool OpenContextMenuFromKeys(HWND control);
  // Shows a popup menu and returns the command chosen, or 0. Tests replace it.
  static std::function<UINT(HMENU menu, POINT screen, HWND owner)> trackMenu;
  const void* renaming() const { return renaming_; }

  winui::TreeCtrl Tree(int tab, int direction) const;
  winui::ListCtrl List() const { return winui::ListCtrl(Item(IDC_RULE_LIST)); }
  winui::TabCtrl Tabs() const;
  const Lists& lists() const { return doc_.lists(); }
  const RuleTree& model(int tab, int direction) const;
  const void* currentRecord() const { return current_; }
  bool built() const { return built_; }
  int sortColumn() const { return sortColumn_; }
  bool ascending() const { return ascending_; }
  HICON lightIcon(int action) const { return action >= 0 && action < 3 ? lights_[action] : nullptr; }

 protected:
  BOOL OnInitDialog() override;
  bool OnCommand(int id, int code, HWND control) override;
  LRESULT OnNotify(NMHDR* header) override;

 private:
  void BuildView();
  void SortByFirstColumn();
  void InsertIntoTree(int tab, const RuleView& view, bool update);
  // Puts the children of the model's node `parent` in the control in the model's order.
  void MirrorOrder(int treeIndex, int parent);
  void InsertIntoList(const RuleView& view, bool update);
  void UpdateDefaultRule(int key);
  void SortList(int column);
  // Sorts the list again as it stands: by the header last clicked, or by its first column.
  void KeepListSort();
  // True when the double-click opened a branch, so the tree must not toggle it back.
  bool OnTreeClick(HWND tree, bool doubleClick);
  void OnListClick();
  LRESULT OnRightClick(NMHDR* header);
  bool OnContextMenu(POINT screen);
  BOOL OnBeginRename(NMTVDISPINFOA* info);
  void OnEndRename(NMTVDISPINFOA* info);
  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

  CEdictorDoc& doc_;
  bool online_ = false;
  UINT ruleAddedMessage_ = 0;
  bool built_ = false;
  // While every rule is shown at start, rows go last and the list is sorted once after.
  bool bulk_ = false;
  RecordCache* cache_ = nullptr;
  const void* current_ = nullptr;
  const void* renaming_ = nullptr;
  int sortColumn_ = 0;
  bool ascending_ = true;
  bool sortedByHeader_ = false;
  // One model per tree (tab * 2 + direction) and the control's item of each model node.
  RuleTree trees_[6];
  std::vector<HTREEITEM> items_[6];
  winui::ImageList images_;
  HICON lights_[3] = {};
  // The tab body's own colour, under the captions and lights that lie on it.
  HBRUSH paneBrush_ = nullptr;
  COLORREF paneColour_ = 0;
  void TakePaneColour();
};

}  // namespace edictor
