// CTreeDialog - Edictor's form view: four tabs over six rule trees (by protocol, address
// and application; inbound left, outbound right) and one rule list, with the default
// rules' captions and lights above.
//
// The view decides at its initial update whether another editor already runs; the frame of
// the one that runs then starts WinSock through it; at its first activation the view
// registers its window, joins and loads
// the four shared lists and shows every rule. Nodes and rows carry a pointer to the shared
// record they show and are found again by it, never by text; an index per tree keeps that
// search from walking the whole tree for each rule.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <functional>
#include <map>
#include <utility>

#include "dialog.h"
#include "controls.h"
#include "edictor_ids.h"
#include "rule_view.h"

namespace edictor {

// The caption of the program's own message boxes.
extern const char* const kProgramTitle;
// The class of Edictor's main frame: a recorded editor window must have one as its root.
extern const char* const kFrameClass;

// WinSock start-up, replaceable so that tests can start Edictor offline.
using WinsockStartup = int(WINAPI*)(WORD, LPWSADATA);
WinsockStartup SetWinsockStartup(WinsockStartup startup);

// Store calls the view has made to show rules: what showing one rule costs.
long StoreCallCount();

// True when `hwnd` is a live window whose top-level window is an Edictor frame.
bool IsEditorWindow(HWND hwnd);

class CTreeDialog : public winui::Dialog {
public:
    CTreeDialog();
    ~CTreeDialog() override;

    // After the form is made: true when this instance may run; false when another editor
    // runs, in which case a close has been posted to `frame`.
    bool OnInitialUpdate(HWND frame);
    // Starts WinSock; when it cannot, says so once in a message owned by `owner` (the
    // frame) and works offline.
    void StartWinsock(HWND owner);
    // The first activation builds and fills the view; later ones do nothing.
    void OnActivateView();

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
    const Lists& lists() const { return lists_; }
    const void* currentRecord() const { return current_; }
    bool online() const { return online_; }
    bool registered() const { return registered_; }
    bool closing() const { return closing_; }
    bool built() const { return built_; }
    int sortColumn() const { return sortColumn_; }
    bool ascending() const { return ascending_; }
    HICON lightIcon(int action) const { return action >= 0 && action < 3 ? lights_[action] : nullptr; }

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND control) override;
    LRESULT OnNotify(NMHDR* header) override;
    void OnDestroy() override;

private:
    struct TreeIndex {
        std::map<std::pair<HTREEITEM, const void*>, HTREEITEM> nodes;  // (parent, record) -> node
        std::map<const void*, HTREEITEM> leaves;                       // rule -> its leaf
    };
    void BuildView();
    // Sorts every level of a tree filled in bulk.
    void SortBranch(const winui::TreeCtrl& tree, HTREEITEM parent);
    void SortByFirstColumn();
    void InsertIntoTree(int tab, const RuleView& view, bool update);
    void InsertIntoList(const RuleView& view, bool update);
    void DeleteTreeNode(int treeIndex, HTREEITEM item);
    void UpdateDefaultRule(int key);
    void SortList(int column);
    // Sorts the list again as it stands: by the header last clicked, or by its first column.
    void KeepListSort();
    // After a rename: each node of `record` goes to its sorted place among its siblings.
    void ResortNodesOf(const void* record);
    // True when the double-click opened a branch, so the tree must not toggle it back.
    bool OnTreeClick(HWND tree, bool doubleClick);
    void OnListClick();
    LRESULT OnRightClick(NMHDR* header);
    bool OnContextMenu(POINT screen);
    BOOL OnBeginRename(NMTVDISPINFOA* info);
    void OnEndRename(NMTVDISPINFOA* info);
    bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void CleanupWinsock();

    Lists lists_;
    bool online_ = false;
    bool winsockStarted_ = false;
    bool registered_ = false;
    UINT ruleAddedMessage_ = 0;
    bool closing_ = false;
    bool built_ = false;
    // While every rule is shown at start, nodes go last and each level is sorted once after.
    bool bulk_ = false;
    RecordCache* cache_ = nullptr;
    const void* current_ = nullptr;
    const void* renaming_ = nullptr;
    int sortColumn_ = 0;
    bool ascending_ = true;
    bool sortedByHeader_ = false;
    TreeIndex index_[6];
    winui::ImageList images_;
    HICON lights_[3] = {};
    // The tab body's own colour, under the captions and lights that lie on it.
    HBRUSH paneBrush_ = nullptr;
    COLORREF paneColour_ = 0;
    void TakePaneColour();
};

}  // namespace edictor
