#include "tree_dialog.h"

#include <string.h>

#include <algorithm>
#include <string>
#include <unordered_map>
#include <vector>

#include "add_rule_dialog.h"
#include "edictor_app.h"
#include "seams.h"
#include "window.h"

namespace edictor {

namespace {

long g_storeCalls = 0;

int TreeId(int tab, int direction) { return IDC_TREE_PROTOCOL_IN + tab * 2 + (direction == PFW_INBOUND ? 0 : 1); }

const char* const kTabCaptions[kTabCount] = {"Protocol View", "Address View", "Application View", "List View"};

struct Column {
  const char* header;
  int width;
};
const Column kColumns[] = {
    {"Protocol", 100}, {"Address", 100}, {"Application", 100}, {"Direction", 80}, {"Policy", 80}};

}  // namespace

long StoreCallCount() { return g_storeCalls; }

CTreeDialog::CTreeDialog(CEdictorDoc& doc) : Dialog(IDD_TREE_FORM), doc_(doc) {
  ruleAddedMessage_ = RegisterWindowMessageA(PFW_RULE_ADDED_MESSAGE_NAME);
}

CTreeDialog::~CTreeDialog() {
  for (HICON& icon : lights_) {
    if (icon) DestroyIcon(icon);
    icon = nullptr;
  }
  images_.Destroy();
  if (paneBrush_) DeleteObject(paneBrush_);
}

void CTreeDialog::TakePaneColour() {
  // Drawn off screen by the tab control itself, whatever look the system gives it.
  HWND tab = Item(IDC_TAB);
  RECT client;
  GetClientRect(tab, &client);
  RECT pane = client;
  SendMessageA(tab, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&pane));
  HDC screen = GetDC(tab);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
  HGDIOBJ old = SelectObject(memory, bitmap);
  SendMessageA(tab, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT | PRF_ERASEBKGND);
  COLORREF colour = GetPixel(memory, (pane.left + pane.right) / 2, (pane.top + pane.bottom) / 2);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(tab, screen);
  if (colour == CLR_INVALID) colour = GetSysColor(COLOR_BTNFACE);
  if (paneBrush_) DeleteObject(paneBrush_);
  paneColour_ = colour;
  paneBrush_ = CreateSolidBrush(colour);
}

BOOL CTreeDialog::OnInitDialog() { return TRUE; }

winui::TreeCtrl CTreeDialog::Tree(int tab, int direction) const {
  return winui::TreeCtrl(Item(TreeId(tab, direction)));
}

winui::TabCtrl CTreeDialog::Tabs() const { return winui::TabCtrl(Item(IDC_TAB)); }

const RuleTree& CTreeDialog::model(int tab, int direction) const {
  return trees_[tab * 2 + (direction == PFW_INBOUND ? 0 : 1)];
}

void CTreeDialog::OnActivateView() {
  // A closing second instance never opens the document, and so shows nothing.
  if (built_ || !doc_.isOpen() || !hwnd_) return;
  built_ = true;
  BuildView();
}

void CTreeDialog::BuildView() {
  winui::TabCtrl tabs = Tabs();
  for (int i = 0; i < kTabCount; ++i) tabs.Insert(i, kTabCaptions[i]);
  ascending_ = true;
  sortColumn_ = 0;
  winui::ListCtrl list = List();
  for (int c = 0; c < 5; ++c) list.InsertColumn(c, kColumns[c].header, kColumns[c].width);
  list.SetExtendedStyle(LVS_EX_FULLROWSELECT);
  images_ = winui::ImageList::Create(16, 16, kPictureCount, 20);
  images_.AddBitmap(IDB_NODES, RGB(255, 255, 255));
  for (int tab = 0; tab < 3; ++tab) {
    Tree(tab, PFW_INBOUND).SetImageList(images_);
    Tree(tab, PFW_OUTBOUND).SetImageList(images_);
  }

  const Lists& lists = doc_.lists();
  // Filling six trees draws nothing until they are shown.
  for (int id = IDC_TREE_PROTOCOL_IN; id <= IDC_TREE_APP_OUT; ++id) SendItem(id, WM_SETREDRAW, FALSE);
  SendItem(IDC_RULE_LIST, WM_SETREDRAW, FALSE);
  unsigned next = lists.rules ? lists.rules->next_key : 0;
  // The list is sorted once at the end rather than searched at every row.
  list = List();
  LONG_PTR listStyle = GetWindowLongPtrA(list.hwnd(), GWL_STYLE);
  SetWindowLongPtrA(list.hwnd(), GWL_STYLE, listStyle & ~static_cast<LONG_PTR>(LVS_SORTASCENDING));
  RecordCache cache;
  cache_ = &cache;
  bulk_ = true;
  for (unsigned key = 0; key < next; ++key) InsertRule(static_cast<int>(key), false);
  bulk_ = false;
  cache_ = nullptr;
  SortByFirstColumn();
  SetWindowLongPtrA(list.hwnd(), GWL_STYLE, listStyle);
  for (int id = IDC_TREE_PROTOCOL_IN; id <= IDC_TREE_APP_OUT; ++id) SendItem(id, WM_SETREDRAW, TRUE);
  SendItem(IDC_RULE_LIST, WM_SETREDRAW, TRUE);

  for (int id = IDC_TREE_PROTOCOL_IN; id <= IDC_RULE_LIST; ++id) ShowItem(id, false);
  current_ = nullptr;
  tabs.SetCurrent(kTabProtocol);
  ShowTab(kTabProtocol);

  TakePaneColour();
  static const UINT lightIds[3] = {IDI_LIGHT_GREEN, IDI_LIGHT_RED, IDI_LIGHT_YELLOW};
  for (int i = 0; i < 3; ++i) {
    lights_[i] =
        static_cast<HICON>(LoadImageA(winui::Instance(), MAKEINTRESOURCEA(lightIds[i]), IMAGE_ICON, 16, 16, 0));
  }
  UpdateDefaultRule(0);
  UpdateDefaultRule(1);
  for (int id : {IDC_LIGHT_IN, IDC_CAPTION_IN, IDC_LIGHT_OUT, IDC_CAPTION_OUT}) ShowItem(id, true);
}

namespace {
int CALLBACK CompareFirstColumn(LPARAM a, LPARAM b, LPARAM context) {
  auto* texts = reinterpret_cast<std::unordered_map<LPARAM, std::string>*>(context);
  return lstrcmpA((*texts)[a].c_str(), (*texts)[b].c_str());
}
}  // namespace

void CTreeDialog::SortByFirstColumn() {
  // The order the list keeps by itself when rows are inserted one by one.
  winui::ListCtrl list = List();
  std::unordered_map<LPARAM, std::string> texts;
  for (int row = 0, n = list.Count(); row < n; ++row) texts[list.GetData(row)] = list.GetItemText(row, 0);
  list.Sort(CompareFirstColumn, reinterpret_cast<LPARAM>(&texts));
}

void CTreeDialog::UpdateDefaultRule(int key) {
  const Lists& lists = doc_.lists();
  PFW_RULE* rule = lists.rules ? PFW_GetRuleByIndex(lists.rules, key, nullptr) : nullptr;
  ++g_storeCalls;
  int action = rule ? rule->action : -1;
  int direction = key == 0 ? PFW_INBOUND : PFW_OUTBOUND;
  SetItemText(key == 0 ? IDC_CAPTION_IN : IDC_CAPTION_OUT, DefaultCaption(direction, action).c_str());
  int light = LightPicture(action);
  if (light >= 0 && lights_[light]) {
    SendItem(key == 0 ? IDC_LIGHT_IN : IDC_LIGHT_OUT, STM_SETICON, reinterpret_cast<WPARAM>(lights_[light]));
  }
}

bool CTreeDialog::InsertRule(int key, bool update) {
  RuleView view;
  if (!LoadRuleView(doc_.lists(), key, &view, cache_, &g_storeCalls)) return false;
  // Address, application, then protocol trees of the rule's direction, then the list.
  InsertIntoTree(kTabAddress, view, update);
  InsertIntoTree(kTabApplication, view, update);
  InsertIntoTree(kTabProtocol, view, update);
  InsertIntoList(view, update);
  return true;
}

void CTreeDialog::InsertIntoTree(int tab, const RuleView& view, bool update) {
  int direction = view.rule->direction == PFW_INBOUND ? PFW_INBOUND : PFW_OUTBOUND;
  int t = tab * 2 + direction;
  winui::TreeCtrl tree = Tree(tab, direction);
  RuleTree& model = trees_[t];
  std::vector<HTREEITEM>& items = items_[t];
  RuleTree::Insertion done = model.Insert(TreePath(view, tab), update);
  if (done.duplicate) {
    // One caption for all six trees, as the message has always been shown.
    winui::ShowMessageBox(hwnd_, "Something's terribly wrong!\nThis rule's already in the tree!!!!",
                          "Inbound Address Tree", MB_OK);
  }
  for (const RuleTree::Placed& placed : done.levels) {
    const RuleTree::TreeNode& node = model.at(placed.node);
    if (items.size() <= static_cast<size_t>(placed.node)) items.resize(static_cast<size_t>(placed.node) + 1);
    HTREEITEM& item = items[static_cast<size_t>(placed.node)];
    if (placed.made) {
      HTREEITEM parent = node.parent == RuleTree::kNone ? TVI_ROOT : items[static_cast<size_t>(node.parent)];
      HTREEITEM after = placed.after == RuleTree::kNone ? TVI_FIRST : items[static_cast<size_t>(placed.after)];
      item = tree.Insert(parent, after, node.text.c_str(), node.picture, node.picture,
                         reinterpret_cast<LPARAM>(node.record));
      if (!item) return;
    } else if (placed.write) {
      tree.SetText(item, node.text.c_str());
      tree.SetImage(item, node.picture, node.picture);
    }
    if (placed.resort) MirrorOrder(t, node.parent);
  }
}

namespace {
struct MirrorContext {
  std::unordered_map<LPARAM, size_t> place;
};
int CALLBACK CompareByModel(LPARAM a, LPARAM b, LPARAM context) {
  const auto* order = reinterpret_cast<const MirrorContext*>(context);
  size_t x = order->place.count(a) ? order->place.at(a) : 0, y = order->place.count(b) ? order->place.at(b) : 0;
  return x < y ? -1 : x > y ? 1 : 0;
}
}  // namespace

void CTreeDialog::MirrorOrder(int treeIndex, int parent) {
  const RuleTree& model = trees_[treeIndex];
  MirrorContext order;
  const std::vector<int>& children = model.Children(parent);
  for (size_t i = 0; i < children.size(); ++i) order.place[reinterpret_cast<LPARAM>(model.at(children[i]).record)] = i;
  TVSORTCB sort{};
  sort.hParent = parent == RuleTree::kNone ? TVI_ROOT : items_[treeIndex][static_cast<size_t>(parent)];
  sort.lpfnCompare = CompareByModel;
  sort.lParam = reinterpret_cast<LPARAM>(&order);
  SendItem(IDC_TREE_PROTOCOL_IN + treeIndex, TVM_SORTCHILDRENCB, 0, reinterpret_cast<LPARAM>(&sort));
}

void CTreeDialog::InsertIntoList(const RuleView& view, bool update) {
  winui::ListCtrl list = List();
  LPARAM data = reinterpret_cast<LPARAM>(view.rule);
  std::array<std::string, 5> texts = RowTexts(view);
  // Shown in bulk, every rule is new to the list.
  int row = bulk_ ? -1 : list.FindData(data);
  if (row >= 0 && !update) return;
  if (row >= 0) {
    list.SetItemText(row, 0, texts[0].c_str());
  } else {
    // The list places the row by its first column.
    row = list.InsertItem(list.Count(), texts[0].c_str(), -1, data);
    if (row < 0) return;
  }
  for (int c = 1; c < 5; ++c) list.SetItemText(row, c, texts[c].c_str());
}

bool CTreeDialog::OnRuleAdded(int key) {
  const Lists& lists = doc_.lists();
  if (!built_ || key < 0 || !lists.rules) return false;
  // The key comes from another process: only a rule the shared list holds is shown, and
  // a rule already on show (a second notice, or one this editor added) is left as it is.
  const PFW_RULE* rule = PFW_GetRuleByIndex(lists.rules, key, nullptr);
  ++g_storeCalls;
  if (!rule) return false;
  if (List().FindData(reinterpret_cast<LPARAM>(rule)) >= 0) return false;
  for (const RuleTree& tree : trees_) {
    if (tree.Leaf(rule) != RuleTree::kNone) return false;
  }
  return InsertRule(key, false);
}

void CTreeDialog::RefreshRule(int key) {
  InsertRule(key, true);
  if (key == 0 || key == 1) UpdateDefaultRule(key);
}

void CTreeDialog::RemoveRule(const PFW_RULE* rule) {
  for (int t = 0; t < 6; ++t) {
    winui::TreeCtrl tree(Item(IDC_TREE_PROTOCOL_IN + t));
    // Leaf first, then each parent left without children.
    for (int gone : trees_[t].Remove(rule)) {
      HTREEITEM& item = items_[t][static_cast<size_t>(gone)];
      if (item) tree.Delete(item);
      item = nullptr;
    }
  }
  winui::ListCtrl list = List();
  int row = list.FindData(reinterpret_cast<LPARAM>(rule));
  if (row >= 0) list.DeleteItem(row);
}

void CTreeDialog::ShowTab(int index) {
  for (int id = IDC_TREE_PROTOCOL_IN; id <= IDC_TREE_APP_OUT; ++id) ShowItem(id, false);
  ShowItem(IDC_RULE_LIST, false);
  if (index == kTabList) {
    ShowItem(IDC_RULE_LIST, true);
  } else if (index >= 0 && index < kTabList) {
    ShowItem(TreeId(index, PFW_INBOUND), true);
    ShowItem(TreeId(index, PFW_OUTBOUND), true);
  }
}

void CTreeDialog::AddRule() {
  if (!built_) return;
  HWND owner = GetAncestor(hwnd_, GA_ROOT);
  std::optional<int> added = RunAddRuleDialog(owner, doc_.lists(), online_);
  if (added && *added != -1) InsertRule(*added, false);
  RedrawWindow(owner, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

bool CTreeDialog::OnCommand(int id, int code, HWND control) {
  switch (id) {
    case ID_RULE_ADD:
    case ID_CONTEXT_ADD:
      AddRule();
      return true;
    case ID_RULE_DELETE:
    case ID_CONTEXT_DELETE:
      DeleteCurrentRule();
      return true;
    case ID_ACTION_DENY:
      SetAction(PFW_DENY);
      return true;
    case ID_ACTION_ASK:
      SetAction(PFW_ASK);
      return true;
    case ID_ACTION_ALLOW:
      SetAction(PFW_ALLOW);
      return true;
  }
  // Enter and Escape in a form have nothing to close.
  if (id == IDOK || id == IDCANCEL) return true;
  return false;
}

namespace {
struct SortContext {
  std::unordered_map<LPARAM, std::string> texts;
  bool ascending;
};
int CALLBACK CompareRows(LPARAM a, LPARAM b, LPARAM context) {
  const SortContext* sort = reinterpret_cast<const SortContext*>(context);
  const std::string& x = sort->texts.at(a);
  const std::string& y = sort->texts.at(b);
  return sort->ascending ? CompareSortTexts(x, y) : CompareSortTexts(y, x);
}
}  // namespace

void CTreeDialog::SortList(int column) {
  if (column == sortColumn_) ascending_ = !ascending_;
  sortColumn_ = column;
  sortedByHeader_ = true;
  KeepListSort();
}

void CTreeDialog::KeepListSort() {
  if (!sortedByHeader_) {
    SortByFirstColumn();
    return;
  }
  int column = sortColumn_;
  // Each row's sort text is looked up once, not once per comparison.
  SortContext sort;
  sort.ascending = ascending_;
  winui::ListCtrl list = List();
  for (int row = 0, n = list.Count(); row < n; ++row) {
    LPARAM data = list.GetData(row);
    const PFW_RULE* rule = reinterpret_cast<const PFW_RULE*>(data);
    RuleView view;
    std::string text;
    if (rule && LoadRuleView(doc_.lists(), static_cast<int>(rule->key), &view)) text = SortText(view, column);
    sort.texts[data] = text;
  }
  list.Sort(CompareRows, reinterpret_cast<LPARAM>(&sort));
}

bool CTreeDialog::OnTreeClick(HWND treeWindow, bool doubleClick) {
  winui::TreeCtrl tree(treeWindow);
  POINT point;
  GetCursorPos(&point);
  ScreenToClient(treeWindow, &point);
  UINT flags = 0;
  HTREEITEM hit = tree.HitTest(point, &flags);
  if (!hit || !(flags & TVHT_ONITEM)) return false;
  current_ = reinterpret_cast<const void*>(tree.GetData(hit));
  if (!doubleClick || !tree.Child(hit)) return false;
  // The whole branch opens: the node, its children and theirs. The tree's own toggle
  // would close the node again, so the caller tells the tree the click is handled.
  tree.Expand(hit);
  for (HTREEITEM child = tree.Child(hit); child; child = tree.Sibling(child)) {
    tree.Expand(child);
    for (HTREEITEM grand = tree.Child(child); grand; grand = tree.Sibling(grand)) tree.Expand(grand);
  }
  return true;
}

void CTreeDialog::OnListClick() {
  winui::ListCtrl list = List();
  POINT point;
  GetCursorPos(&point);
  ScreenToClient(list.hwnd(), &point);
  int row = list.HitTest(point);
  if (row >= 0) current_ = reinterpret_cast<const void*>(list.GetData(row));
}

LRESULT CTreeDialog::OnNotify(NMHDR* header) {
  int id = static_cast<int>(header->idFrom);
  if (id == IDC_TAB && header->code == TCN_SELCHANGE) {
    ShowTab(Tabs().Current());
  } else if (id >= IDC_TREE_PROTOCOL_IN && id <= IDC_TREE_APP_OUT) {
    if (header->code == NM_CLICK) OnTreeClick(header->hwndFrom, false);
    if (header->code == NM_DBLCLK) return OnTreeClick(header->hwndFrom, true) ? TRUE : 0;
    if (header->code == NM_RCLICK) return OnRightClick(header);
    if (header->code == TVN_BEGINLABELEDITA) return OnBeginRename(reinterpret_cast<NMTVDISPINFOA*>(header));
    if (header->code == TVN_ENDLABELEDITA) {
      OnEndRename(reinterpret_cast<NMTVDISPINFOA*>(header));
      return FALSE;  // labels change only through the refresh of every rule
    }
  } else if (id == IDC_RULE_LIST) {
    if (header->code == NM_CLICK || header->code == NM_DBLCLK) OnListClick();
    if (header->code == NM_RCLICK) return OnRightClick(header);
    if (header->code == LVN_COLUMNCLICK) SortList(reinterpret_cast<NMLISTVIEW*>(header)->iSubItem);
  }
  return 0;
}

std::function<UINT(HMENU, POINT, HWND)> CTreeDialog::trackMenu;

namespace {
const PFW_RULE* AsRule(const void* record) {
  const PFW_RULE* rule = static_cast<const PFW_RULE*>(record);
  return rule && rule->kind == PFW_KIND_RULE ? rule : nullptr;
}
}  // namespace

void CTreeDialog::SetAction(int action) {
  const PFW_RULE* rule = AsRule(current_);
  if (!rule || rule->action == action) return;
  // One hold of the rule list for the write: the monitor and the interceptor read it.
  PFW_RULE copy{};
  if (!PFW_SetRuleAction(doc_.lists().rules, static_cast<int>(rule->key), action, &copy)) return;
  PFW_ModifyRuleInRegistry(copy);
  RefreshRule(static_cast<int>(rule->key));
}

void CTreeDialog::DeleteCurrentRule() {
  const PFW_RULE* rule = AsRule(current_);
  if (!rule || rule->key == 0 || rule->key == 1) return;
  if (!PFW_GetRuleByIndex(doc_.lists().rules, static_cast<int>(rule->key), nullptr)) return;
  // A rule another program deleted meanwhile is gone from the list: it leaves the views,
  // but the registry value its keys name is left to whoever holds it now.
  DeleteStoredRule(doc_.lists(), rule);
  RemoveRule(rule);
}

bool CTreeDialog::OpenContextMenu(const void* record, bool onLight, POINT screen) {
  if (!record) return false;
  current_ = record;
  MenuState state = ContextMenuState(record, onLight);
  HMENU bar = LoadMenuA(winui::Instance(), MAKEINTRESOURCEA(IDR_CONTEXT));
  if (!bar) return false;
  HMENU menu = GetSubMenu(bar, 0);
  for (UINT id : {ID_ACTION_DENY, ID_ACTION_ASK, ID_ACTION_ALLOW})
    EnableMenuItem(menu, id, MF_BYCOMMAND | (state.actions ? MF_ENABLED : MF_GRAYED));
  EnableMenuItem(menu, ID_CONTEXT_ADD, MF_BYCOMMAND | (state.add ? MF_ENABLED : MF_GRAYED));
  EnableMenuItem(menu, ID_CONTEXT_DELETE,
                 MF_BYCOMMAND | (state.remove         ? MF_ENABLED
                                 : state.removeGreyed ? MF_GRAYED
                                                      : MF_DISABLED));
  static const UINT checks[3] = {ID_ACTION_ALLOW, ID_ACTION_DENY, ID_ACTION_ASK};
  if (state.checked >= 0) CheckMenuItem(menu, checks[state.checked], MF_BYCOMMAND | MF_CHECKED);
  // The frame owns the menu so that its status bar shows the items' prompts.
  HWND frame = GetAncestor(hwnd_, GA_ROOT);
  SetForegroundWindow(frame);
  UINT command = trackMenu ? trackMenu(menu, screen, frame)
                           : static_cast<UINT>(TrackPopupMenu(menu, TPM_RIGHTBUTTON | TPM_RETURNCMD, screen.x, screen.y,
                                                              0, frame, nullptr));
  PostMessageA(hwnd_, WM_NULL, 0, 0);
  DestroyMenu(bar);
  if (command) OnCommand(static_cast<int>(command), 0, nullptr);
  RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
  return true;
}

LRESULT CTreeDialog::OnRightClick(NMHDR* header) {
  POINT screen;
  GetCursorPos(&screen);
  POINT client = screen;
  ScreenToClient(header->hwndFrom, &client);
  if (header->idFrom == IDC_RULE_LIST) {
    winui::ListCtrl list = List();
    int row = list.HitTest(client);
    if (row >= 0) OpenContextMenu(reinterpret_cast<const void*>(list.GetData(row)), false, screen);
    return TRUE;
  }
  winui::TreeCtrl tree(header->hwndFrom);
  UINT flags = 0;
  HTREEITEM hit = tree.HitTest(client, &flags);
  if (!hit || !(flags & TVHT_ONITEM)) return TRUE;
  tree.Select(hit);
  OpenContextMenu(reinterpret_cast<const void*>(tree.GetData(hit)), false, screen);
  return TRUE;
}

bool CTreeDialog::OpenContextMenuFromKeys(HWND control) {
  int id = control ? GetDlgCtrlID(control) : 0;
  RECT item{};
  const void* record = nullptr;
  if (id >= IDC_TREE_PROTOCOL_IN && id <= IDC_TREE_APP_OUT && GetParent(control) == hwnd_) {
    winui::TreeCtrl tree(control);
    HTREEITEM selected = reinterpret_cast<HTREEITEM>(SendMessageA(control, TVM_GETNEXTITEM, TVGN_CARET, 0));
    if (!selected) return false;
    memcpy(&item, &selected, sizeof selected);  // TVM_GETITEMRECT takes the item in the rectangle
    if (!SendMessageA(control, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&item))) return false;
    record = reinterpret_cast<const void*>(tree.GetData(selected));
  } else if (id == IDC_RULE_LIST && GetParent(control) == hwnd_) {
    winui::ListCtrl list = List();
    int row = static_cast<int>(SendMessageA(control, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (row < 0) row = static_cast<int>(SendMessageA(control, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
    if (row < 0) return false;
    item.left = LVIR_LABEL;
    if (!SendMessageA(control, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)))
      return false;
    record = reinterpret_cast<const void*>(list.GetData(row));
  } else {
    return false;
  }
  // At the item's lower left, where the eye already is.
  POINT at{item.left, item.bottom};
  ClientToScreen(control, &at);
  return OpenContextMenu(record, false, at);
}

bool CTreeDialog::OnContextMenu(POINT screen) {
  // The lights stand for the two default rules.
  for (int key : {0, 1}) {
    RECT light;
    GetWindowRect(Item(key == 0 ? IDC_LIGHT_IN : IDC_LIGHT_OUT), &light);
    if (!PtInRect(&light, screen)) continue;
    const PFW_RULE* rule = PFW_GetRuleByIndex(doc_.lists().rules, key, nullptr);
    return rule && OpenContextMenu(rule, true, screen);
  }
  return false;
}

bool CTreeDialog::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (msg == WM_CTLCOLORSTATIC && paneBrush_) {
    int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
    if (id == IDC_CAPTION_IN || id == IDC_CAPTION_OUT || id == IDC_LIGHT_IN || id == IDC_LIGHT_OUT) {
      SetBkColor(reinterpret_cast<HDC>(wParam), paneColour_);
      result = reinterpret_cast<LRESULT>(paneBrush_);
      return true;
    }
  }
  if (msg == ruleAddedMessage_ && ruleAddedMessage_) {
    OnRuleAdded(static_cast<int>(wParam));
    result = 0;
    return true;
  }
  if (msg == WM_CONTEXTMENU && built_) {
    POINT screen{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    // (-1, -1): asked for from the keyboard, in the window that has the focus.
    if (screen.x == -1 && screen.y == -1) {
      HWND from = reinterpret_cast<HWND>(wParam);
      OpenContextMenuFromKeys(from && from != hwnd_ ? from : GetFocus());
    } else {
      OnContextMenu(screen);
    }
    result = 0;
    return true;
  }
  return false;
}

BOOL CTreeDialog::OnBeginRename(NMTVDISPINFOA* info) {
  // The node being edited is the record renamed, and so becomes the current record.
  const void* record = reinterpret_cast<const void*>(info->item.lParam);
  renaming_ = nullptr;
  if (!record) return TRUE;
  current_ = record;
  const PFW_RULE* any = static_cast<const PFW_RULE*>(record);  // kind and key lead every record
  int limit = RenameLimit(any->kind);
  if (limit == 0 || any->key == 0) return TRUE;
  std::string text;
  if (any->kind == PFW_KIND_PROTOCOL)
    text = NodeFor({nullptr, static_cast<const PFW_PROTO*>(record)}, kLevelProtocol).text;
  if (any->kind == PFW_KIND_ADDRESS)
    text = NodeFor({nullptr, nullptr, static_cast<const PFW_ADR*>(record)}, kLevelAddress).text;
  if (any->kind == PFW_KIND_APP)
    text = NodeFor({nullptr, nullptr, nullptr, static_cast<const PFW_APP*>(record)}, kLevelApp).text;
  HWND edit = reinterpret_cast<HWND>(SendMessageA(info->hdr.hwndFrom, TVM_GETEDITCONTROL, 0, 0));
  if (edit) {
    SetWindowTextA(edit, text.c_str());
    SendMessageA(edit, EM_LIMITTEXT, static_cast<WPARAM>(limit), 0);
  }
  renaming_ = record;
  return FALSE;
}

void CTreeDialog::OnEndRename(NMTVDISPINFOA* info) {
  const void* record = renaming_;
  renaming_ = nullptr;
  if (!record || !info->item.pszText) return;
  const PFW_RULE* any = static_cast<const PFW_RULE*>(record);
  int kind = any->kind, key = static_cast<int>(any->key);
  const Lists& lists = doc_.lists();

  std::string now;
  const char* duplicate = "";
  if (kind == PFW_KIND_PROTOCOL) {
    now = NodeFor({nullptr, static_cast<const PFW_PROTO*>(record)}, kLevelProtocol).text;
    duplicate = "A protocol with this name already exists!";
  } else if (kind == PFW_KIND_ADDRESS) {
    now = NodeFor({nullptr, nullptr, static_cast<const PFW_ADR*>(record)}, kLevelAddress).text;
    duplicate = "An address with this name already exists!";
  } else if (kind == PFW_KIND_APP) {
    now = NodeFor({nullptr, nullptr, nullptr, static_cast<const PFW_APP*>(record)}, kLevelApp).text;
    duplicate = "An application with this description already exists!";
  } else {
    return;
  }
  // Compared as typed, before any cut: its own text, however long, changes nothing.
  RenameOutcome outcome = DecideRename(kind, now, info->item.pszText);
  if (!outcome.change) return;
  const std::string& text = outcome.text;
  const void* found = nullptr;
  if (kind == PFW_KIND_PROTOCOL) found = PFW_GetProtocolByName(lists.protocols, text.c_str(), nullptr, nullptr);
  if (kind == PFW_KIND_ADDRESS) found = PFW_GetAddressByName(lists.addresses, text.c_str(), nullptr, nullptr);
  if (kind == PFW_KIND_APP) found = PFW_GetAppByDescription(lists.apps, text.c_str(), nullptr, nullptr);
  if (found) {
    if (found != record) winui::ShowMessageBox(hwnd_, duplicate, kRenameCaption, MB_OK | MB_ICONINFORMATION);
    return;
  }
  // The store renames under one hold of the list, refusing a name another entry took
  // since the look-up above.
  int done = 0;
  if (kind == PFW_KIND_PROTOCOL) {
    PFW_PROTO copy{};
    if ((done = PFW_RenameProtocol(lists.protocols, key, text.c_str(), &copy))) PFW_ModifyProtocolInRegistry(copy);
  } else if (kind == PFW_KIND_ADDRESS) {
    PFW_ADR copy{};
    if ((done = PFW_RenameAddress(lists.addresses, key, text.c_str(), &copy))) PFW_ModifyAddressInRegistry(copy);
  } else {
    PFW_APP copy{};
    if ((done = PFW_RenameApp(lists.apps, key, text.c_str(), &copy))) PFW_ModifyApplicationInRegistry(copy);
  }
  if (!done) {
    // Refused: the name was taken meanwhile, or the text is empty.
    if (!text.empty()) winui::ShowMessageBox(hwnd_, duplicate, kRenameCaption, MB_OK | MB_ICONINFORMATION);
    return;
  }
  if (outcome.cut) {
    std::string said = "The new text was longer than " + std::to_string(RenameLimit(kind)) +
                       " characters and was cut to \"" + text + "\".";
    winui::ShowMessageBox(hwnd_, said.c_str(), kRenameCaption, MB_OK | MB_ICONINFORMATION);
  }
  unsigned next = lists.rules->next_key;
  for (unsigned k = 0; k < next; ++k) InsertRule(static_cast<int>(k), true);
  // The trees moved each renamed node to its place; the list keeps the order it had.
  KeepListSort();
}

}  // namespace edictor
