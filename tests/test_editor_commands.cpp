// Edictor's commands: the context menu and its states, action changes, deleting and
// renaming from the views, and the frame's menu prompts, toolbar, keys, help, About and
// feedback, each driven by window messages.
#include <gtest/gtest.h>

#include <stdio.h>

#include <functional>
#include <map>

#include "editor_fixture.h"
#include "screenshot.h"

using namespace edictor;
using namespace regtest;

namespace {

// Every value under a key with its bytes: a rewrite of the same name shows in the bytes.
std::map<std::string, std::vector<unsigned char>> values(const char* path) {
  std::map<std::string, std::vector<unsigned char>> all;
  for (const std::string& name : value_names(path)) read_value(path, name.c_str(), &all[name]);
  return all;
}

class CommandTest : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    http = Protocol("HTTP", PFW_TCP, 80);
    Protocol("SMTP", PFW_TCP, 25);
    int proxy = Address("Web Proxy", "10.0.0.8");
    browser = App("BROWSER.EXE", "Browser");
    rule = Rule(http, proxy, browser, PFW_OUTBOUND, PFW_ALLOW);
    Open();
    SetForegroundWindow(frameHwnd());
    CTreeDialog::trackMenu = [this](HMENU menu, POINT, HWND) {
      shown.clear();
      for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        UINT state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
        shown.push_back(state & MF_SEPARATOR  ? '-'
                        : state & MF_GRAYED   ? 'g'
                        : state & MF_DISABLED ? 'd'
                        : state & MF_CHECKED  ? 'x'
                                              : 'e');
      }
      return choose;
    };
  }
  void TearDown() override {
    CTreeDialog::trackMenu = nullptr;
    EditorTest::TearDown();
  }
  // A node of the outbound protocol tree by its path of texts.
  HTREEITEM Node(std::initializer_list<const char*> path, int tab = kTabProtocol) {
    winui::TreeCtrl tree = view().Tree(tab, PFW_OUTBOUND);
    HTREEITEM item = tree.Root();
    for (auto it = path.begin(); it != path.end(); ++it) {
      while (item && tree.GetText(item) != *it) item = tree.Sibling(item);
      if (!item || it + 1 == path.end()) break;
      tree.Expand(item);
      item = tree.Child(item);
    }
    return item;
  }
  // A right (or left) click on a node, where the cursor is.
  void ClickNode(HTREEITEM item, UINT code, int tab = kTabProtocol) {
    NotifyNodeClick(view().hwnd(), view().Tree(tab, PFW_OUTBOUND).hwnd(), item, code);
  }
  void Key(UINT key, bool shift = false) {
    BYTE keys[256] = {};
    if (shift) keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
    MSG msg{frameHwnd(), WM_KEYDOWN, key, 0, GetTickCount(), {}};
    if (!TranslateAcceleratorA(frameHwnd(), frame().accelerators(), &msg)) ADD_FAILURE() << "no key " << key;
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
  }
  PFW_RULE_RECORD StoredRule(const char* name) {
    std::vector<unsigned char> bytes;
    PFW_RULE_RECORD record{};
    record.action = -1;
    if (read_value(kRuleSet, name, &bytes) && bytes.size() == sizeof record)
      memcpy(&record, bytes.data(), sizeof record);
    return record;
  }
  std::string shown;
  UINT choose = 0;
  int http = -1, browser = -1, rule = -1;
};

TEST_F(CommandTest, ContextMenuStatesAndActionChanges) {
  ClickNode(Node({"HTTP"}), NM_RCLICK);
  EXPECT_EQ(shown, "ggg-eg");  // on an object only Add is usable
  // Rule 1's leaf: Delete greyed, its action (Allow) checked; Deny turns the right light red.
  choose = ID_ACTION_DENY;
  ClickNode(Node({"Any Protocol", "Any Address", "Every program", "Allow"}), NM_RCLICK);
  EXPECT_EQ(shown, "eex-eg");
  EXPECT_EQ(WindowText(view().Item(IDC_CAPTION_OUT)), "Outbound: Deny");
  EXPECT_EQ(reinterpret_cast<HICON>(view().SendItem(IDC_LIGHT_OUT, STM_GETICON)), view().lightIcon(PFW_DENY));
  EXPECT_EQ(StoredRule("0,0,0,1").action, PFW_DENY);
  EXPECT_NE(DumpTree(view().Tree(kTabProtocol, PFW_OUTBOUND)).find("Every program [4]\n      Deny [1]"),
            std::string::npos);
  // The same action again writes nothing: not the shared record (no hold of the list is
  // taken for it), not the registry.
  std::vector<unsigned char> storedBefore, storedAfter;
  ASSERT_TRUE(read_value(kRuleSet, "0,0,0,1", &storedBefore));
  HTREEITEM denied = Node({"Any Protocol", "Any Address", "Every program", "Deny"});
  choose = 0;
  ClickNode(denied, NM_RCLICK);  // the menu alone, for the counts' baseline
  EXPECT_EQ(shown, "xee-eg");
  unsigned long long holds = PFW_GetLockHoldCount(), registryCalls = PFW_GetRegistryCallCount();
  choose = ID_ACTION_DENY;
  ClickNode(denied, NM_RCLICK);
  EXPECT_EQ(PFW_GetLockHoldCount(), holds);
  EXPECT_EQ(PFW_GetRegistryCallCount(), registryCalls);
  ASSERT_TRUE(read_value(kRuleSet, "0,0,0,1", &storedAfter));
  EXPECT_EQ(storedAfter, storedBefore);

  // An ordinary rule's row in the list: Delete usable; Ask changes row and leaf.
  view().Tabs().SetCurrent(kTabList);
  view().ShowTab(kTabList);
  winui::ListCtrl list = view().List();
  int row = list.FindData(reinterpret_cast<LPARAM>(PFW_GetRuleByIndex(view().lists().rules, rule, nullptr)));
  ASSERT_GE(row, 0);
  RECT rect{LVIR_BOUNDS, 0, 0, 0};
  SendMessageA(list.hwnd(), LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rect));
  POINT point{rect.left + 20, (rect.top + rect.bottom) / 2};
  ClientToScreen(list.hwnd(), &point);
  SetCursorPos(point.x, point.y);
  choose = ID_ACTION_ASK;
  NMHDR click{list.hwnd(), IDC_RULE_LIST, NM_RCLICK};
  SendMessageA(view().hwnd(), WM_NOTIFY, IDC_RULE_LIST, reinterpret_cast<LPARAM>(&click));
  EXPECT_EQ(shown,
            "ee"
            "x-ee");
  EXPECT_EQ(list.GetItemText(list.FindData(list.GetData(row)), 4), "Ask User");

  // Over the left light: rule 0, Delete disabled rather than greyed.
  RECT light;
  GetWindowRect(view().Item(IDC_LIGHT_IN), &light);
  choose = 0;
  SendMessageA(view().hwnd(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(view().hwnd()),
               MAKELPARAM(light.left + 2, light.top + 2));
  EXPECT_EQ(shown, "xee-ed");
  EXPECT_EQ(static_cast<const PFW_RULE*>(view().currentRecord())->key, 0u);
}

TEST_F(CommandTest, DeleteActsOnceAndNeverOnDefaultRules) {
  ClickNode(Node({"HTTP", "Web Proxy", "Browser", "Allow"}), NM_CLICK);
  std::string stored = PFW_CreateRuleKey(http, 1, browser, PFW_OUTBOUND);
  ASSERT_TRUE(value_exists(kRuleSet, stored.c_str()));
  Key(VK_DELETE);
  EXPECT_EQ(PFW_GetRuleByIndex(rules, rule, nullptr), nullptr);
  EXPECT_FALSE(value_exists(kRuleSet, stored.c_str()));
  EXPECT_EQ(DumpTree(view().Tree(kTabAddress, PFW_OUTBOUND)).find("Web Proxy"), std::string::npos);
  EXPECT_EQ(view().List().Count(), 2);
  Key(VK_DELETE);  // the second press finds nothing
  EXPECT_EQ(view().List().Count(), 2);

  // Rule 1 and an object node: nothing happens, and nothing is said.
  for (HTREEITEM item : {Node({"Any Protocol", "Any Address", "Every program", "Allow"}), Node({"Any Protocol"})}) {
    ClickNode(item, NM_CLICK);
    SendMessageA(frameHwnd(), WM_COMMAND, ID_RULE_DELETE, 0);
  }
  EXPECT_NE(PFW_GetRuleByIndex(rules, 1, nullptr), nullptr);
  EXPECT_EQ(view().List().Count(), 2);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(CommandTest, RenamingByLabelEdit) {
  winui::TreeCtrl tree = view().Tree(kTabProtocol, PFW_OUTBOUND);
  auto rename = [&](HTREEITEM item, const char* text) {
    HWND edit = tree.EditLabel(item);
    if (!edit) return false;
    SetWindowTextA(edit, text);
    SendMessageA(tree.hwnd(), TVM_ENDEDITLABELNOW, FALSE, 0);
    return true;
  };
  // Key 0 entries and rule leaves are not edited.
  EXPECT_EQ(tree.EditLabel(Node({"Any Protocol"})), nullptr);
  EXPECT_EQ(tree.EditLabel(Node({"HTTP", "Web Proxy", "Browser", "Allow"})), nullptr);

  // A twentieth typed character is not taken.
  HWND edit = tree.EditLabel(Node({"HTTP"}));
  ASSERT_NE(edit, nullptr);
  SetWindowTextA(edit, "");
  for (int i = 0; i < 20; ++i) SendMessageA(edit, WM_CHAR, 'a' + i, 0);
  EXPECT_EQ(WindowText(edit), "abcdefghijklmnopqrs");
  // The Delete key edits the text, and deletes no rule.
  SetFocus(edit);
  SendMessageA(edit, EM_SETSEL, 0, 1);
  Key(VK_DELETE);
  EXPECT_EQ(WindowText(edit), "bcdefghijklmnopqrs");
  EXPECT_EQ(view().List().Count(), 3);
  SendMessageA(tree.hwnd(), TVM_ENDEDITLABELNOW, TRUE, 0);
  EXPECT_EQ(view().renaming(), nullptr);

  // Its own name: nothing said, nothing written. Another protocol's: refused. Checked by
  // the values' contents, which a rewrite of the same name would keep by name alone.
  std::map<std::string, std::vector<unsigned char>> before = values(kProtocols);
  unsigned long long registryCalls = PFW_GetRegistryCallCount();
  ASSERT_TRUE(rename(Node({"HTTP"}), "HTTP"));
  EXPECT_EQ(PFW_GetRegistryCallCount(), registryCalls);
  ASSERT_TRUE(rename(Node({"HTTP"}), "SMTP"));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "A protocol with this name already exists!");
  EXPECT_EQ(boxes[0].caption, "Tarnwall");
  EXPECT_EQ(values(kProtocols), before);
  EXPECT_STREQ(PFW_GetProtocolByIndex(protocols, http, nullptr)->name, "HTTP");

  // A new name reaches the store, the registry and every node and row showing it.
  ASSERT_TRUE(rename(Node({"HTTP"}), "Web"));
  EXPECT_STREQ(PFW_GetProtocolByIndex(protocols, http, nullptr)->name, "Web");
  std::string dump;
  for (int tab = 0; tab < 3; ++tab) dump += DumpTree(view().Tree(tab, PFW_OUTBOUND));
  EXPECT_EQ(dump.find("HTTP"), std::string::npos);
  EXPECT_EQ(view().List().GetItemText(view().List().Count() - 1, 0), "Web");
  std::string storedName;
  std::vector<unsigned char> bytes;
  for (const std::string& name : value_names(kProtocols)) {
    PFW_PROTO_RECORD stored{};
    if (read_value(kProtocols, name.c_str(), &bytes) && bytes.size() == sizeof stored) {
      memcpy(&stored, bytes.data(), sizeof stored);
      if (stored.key == static_cast<uint32_t>(http)) storedName = stored.name;
    }
  }
  EXPECT_EQ(storedName, "Web");

  // Applications are renamed by description, up to the 41 characters Add Application takes.
  HWND appEdit = tree.EditLabel(Node({"Web", "Web Proxy", "Browser"}));
  ASSERT_NE(appEdit, nullptr);
  EXPECT_EQ(SendMessageA(appEdit, EM_GETLIMITTEXT, 0, 0), 41);
  SendMessageA(tree.hwnd(), TVM_ENDEDITLABELNOW, TRUE, 0);
}

// Every entry of the four lists, one line each by key, without the links that tie a list
// together in its own order.
std::string DescribeLists(const Lists& l) {
  std::string text;
  char line[256];
  for (unsigned key = 0; key < l.protocols->next_key + 8; ++key) {
    PFW_PROTO p;
    if (!PFW_GetProtocolByIndex(l.protocols, static_cast<int>(key), &p)) continue;
    snprintf(line, sizeof line, "P%u %s any=%d %s %d/%u\n", p.key, p.key_text, p.any, p.name, p.transport, p.port);
    text += line;
  }
  for (unsigned key = 0; key < l.addresses->next_key + 8; ++key) {
    PFW_ADR a;
    if (!PFW_GetAddressByIndex(l.addresses, static_cast<int>(key), &a)) continue;
    snprintf(line, sizeof line, "A%u %s any=%d %s %08x-%08x t%d\n", a.key, a.key_text, a.any, a.name, a.low, a.high,
             a.type);
    text += line;
  }
  for (unsigned key = 0; key < l.apps->next_key + 8; ++key) {
    PFW_APP x;
    if (!PFW_GetAppByIndex(l.apps, static_cast<int>(key), &x)) continue;
    snprintf(line, sizeof line, "X%u %s any=%d %s|%s\n", x.key, x.key_text, x.any, x.name, x.description);
    text += line;
  }
  for (unsigned key = 0; key < l.rules->next_key + 8; ++key) {
    PFW_RULE r;
    if (!PFW_GetRuleByIndex(l.rules, static_cast<int>(key), &r)) continue;
    snprintf(line, sizeof line, "R%u %.11s %u,%u,%u d%d a%d l%d\n", r.key, r.key_text, r.protocol_key, r.address_key,
             r.app_key, r.direction, r.action, r.log);
    text += line;
  }
  return text;
}

TEST_F(CommandTest, AfterEachChangeTheRegistryLoadsIntoFreshListsAsTheEditorHoldsThem) {
  auto rename = [&](std::initializer_list<const char*> path, const char* text) {
    winui::TreeCtrl tree = view().Tree(kTabProtocol, PFW_OUTBOUND);
    HWND edit = tree.EditLabel(Node(path));
    ASSERT_NE(edit, nullptr);
    SetWindowTextA(edit, text);
    SendMessageA(tree.hwnd(), TVM_ENDEDITLABELNOW, FALSE, 0);
  };
  auto act = [&](std::initializer_list<const char*> leaf, UINT command) {
    ClickNode(Node(leaf), NM_CLICK);
    SendMessageA(view().hwnd(), WM_COMMAND, command, 0);
  };
  struct Case {
    const char* name;
    std::function<void()> change;
    std::string changed;  // a line the editor's lists hold afterwards
  } cases[] = {
      {"action",
       [&] {
         act({"HTTP", "Web Proxy", "Browser", "Allow"}, ID_ACTION_ASK);
       },
       " d1 a2 l"},
      {"default action",
       [&] {
         act({"Any Protocol", "Any Address", "Every program", "Allow"}, ID_ACTION_DENY);
       },
       "R1 0,0,0,1 0,0,0 d1 a1 "},
      {"protocol rename", [&] { rename({"HTTP"}, "Web"); }, " Web 0/80\n"},
      {"address rename",
       [&] {
         rename({"Web", "Web Proxy"}, "Gateway");
       },
       " Gateway "},
      {"application rename",
       [&] {
         rename({"Web", "Gateway", "Browser"}, "Navigator");
       },
       "|Navigator\n"},
      {"delete",
       [&] {
         act({"Web", "Gateway", "Navigator", "Ask User"}, ID_CONTEXT_DELETE);
       },
       ""},
  };
  std::string before = DescribeLists(view().lists());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.change();
    ASSERT_TRUE(boxes.empty()) << boxes[0].text;
    std::string running = DescribeLists(view().lists());
    ASSERT_NE(running, before) << "the change reached the lists";
    EXPECT_NE(running.find(c.changed), std::string::npos) << running;
    before = running;

    // Every view of the lists in this process let go, the names are made afresh and
    // filled by the store's own load, as the next program to start would find them.
    Close();
    StoreTest::TearDown();
    StoreTest::SetUp();
    ASSERT_EQ(protocols->count + addresses->count + apps->count + rules->count, 0) << "fresh lists";
    PFW_LoadProtocolSetFromRegistry(protocols);
    PFW_LoadAddressSetFromRegistry(addresses);
    PFW_LoadApplicationSetFromRegistry(apps);
    PFW_LoadRuleSetFromRegistry(rules);
    EXPECT_EQ(DescribeLists(Lists{protocols, addresses, apps, rules}), running);

    Open();
    SetForegroundWindow(frameHwnd());
  }
  EXPECT_EQ(PFW_GetRuleByIndex(rules, rule, nullptr), nullptr);
}

TEST_F(CommandTest, MenusPromptsToolbarAndKeys) {
  HMENU menu = GetMenu(frameHwnd());
  std::string titles;
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    char text[32] = "";
    GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
    titles += std::string(text) + ";";
  }
  EXPECT_EQ(titles, "&File;&Rules;&Tools;&Help;");
  EXPECT_TRUE(GetMenuState(menu, ID_TOOLS_LOCK, MF_BYCOMMAND) & MF_GRAYED);
  EXPECT_TRUE(GetMenuState(menu, ID_TOOLS_TIMER, MF_BYCOMMAND) & MF_GRAYED);
  auto status = [&] {
    char text[128] = "";
    SendMessageA(frame().statusBar(), SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(text));
    return std::string(text);
  };
  EXPECT_EQ(status(), " ");
  SendMessageA(frameHwnd(), WM_MENUSELECT, MAKEWPARAM(ID_RULE_DELETE, MF_HILITE), reinterpret_cast<LPARAM>(menu));
  EXPECT_EQ(status(), "Delete rule from rule set");
  SendMessageA(frameHwnd(), WM_MENUSELECT, MAKEWPARAM(ID_HELP_FEEDBACK, MF_HILITE), reinterpret_cast<LPARAM>(menu));
  EXPECT_EQ(status(), " ");
  SendMessageA(frameHwnd(), WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
  EXPECT_EQ(status(), " ");

  HWND toolbar = frame().toolbar();
  EXPECT_TRUE(SendMessageA(toolbar, TB_ISBUTTONENABLED, ID_RULE_ADD, 0));
  EXPECT_FALSE(SendMessageA(toolbar, TB_ISBUTTONENABLED, ID_TOOLS_LOCK, 0));
  EXPECT_FALSE(SendMessageA(toolbar, TB_ISBUTTONENABLED, ID_TOOLS_TIMER, 0));
  auto tipOf = [&](UINT id) {
    NMTTDISPINFOA tip{};
    tip.hdr = {toolbar, id, TTN_GETDISPINFOA};
    SendMessageA(frameHwnd(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&tip));
    return std::string(tip.lpszText ? tip.lpszText : "");
  };
  EXPECT_EQ(tipOf(ID_RULE_DELETE), "Delete");
  // Lock and Set Timer have prompts but no tips.
  EXPECT_EQ(tipOf(ID_TOOLS_LOCK), "");
  EXPECT_EQ(tipOf(ID_TOOLS_TIMER), "");
  EXPECT_EQ(CommandPrompt(ID_TOOLS_LOCK), "Lock/Unlock Tarnwall");
  // Lock and Set Timer do nothing, whichever way they come.
  SendMessageA(frameHwnd(), WM_COMMAND, ID_TOOLS_LOCK, reinterpret_cast<LPARAM>(toolbar));
  SendMessageA(frameHwnd(), WM_COMMAND, ID_TOOLS_TIMER, 0);
  EXPECT_TRUE(boxes.empty());

  // The toolbar moves to the left edge; the form keeps its whole size beside it.
  choose = ID_TOOLBAR_LEFT;
  NMHDR right{toolbar, 0, NM_RCLICK};
  SendMessageA(frameHwnd(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&right));
  EXPECT_EQ(shown, "xeee");
  EXPECT_EQ(frame().toolbarEdge(), kEdgeLeft);
  RECT bar, form, expected = {0, 0, 335, 191};
  GetWindowRect(toolbar, &bar);
  GetWindowRect(view().hwnd(), &form);
  MapDialogRect(view().hwnd(), &expected);
  EXPECT_LE(bar.right, form.left);
  EXPECT_GT(bar.bottom - bar.top, bar.right - bar.left);
  EXPECT_EQ(form.right - form.left, expected.right);
  EXPECT_EQ(form.bottom - form.top, expected.bottom);
  Screenshot(frameHwnd(), "editor_toolbar_left");
  choose = ID_TOOLBAR_TOP;
  SendMessageA(frameHwnd(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&right));

  // Insert opens Add Rule from the List View too.
  view().Tabs().SetCurrent(kTabList);
  view().ShowTab(kTabList);
  DialogScript script;
  script.Then("Add Rule", [](HWND d) { Click(d, IDCANCEL); });
  EXPECT_TRUE(script.Run([&] { Key(VK_INSERT); }));
}

TEST_F(CommandTest, HelpAboutAndFeedback) {
  std::vector<std::pair<std::string, UINT>> calls;
  BOOL started = TRUE;
  winui::SetHelpHook([&](const winui::HelpCall& call) {
    calls.push_back({call.path, call.command});
    return started;
  });
  frame().SetHelpPath("C:\\windows\\Tarnwall.hlp");
  Key(VK_F1);
  SendMessageA(frameHwnd(), WM_COMMAND, ID_HELP_CONTENTS_CMD, 0);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0], std::make_pair(std::string("C:\\windows\\Tarnwall.hlp"), static_cast<UINT>(HELP_CONTEXT)));
  EXPECT_EQ(calls[1].second, static_cast<UINT>(HELP_CONTENTS));
  // Shift+F1: the next click asks for the clicked item's topic.
  Key(VK_F1, true);
  EXPECT_TRUE(frame().inHelpMode());
  SendMessageA(frameHwnd(), WM_LBUTTONDOWN, 0, MAKELPARAM(40, 40));
  EXPECT_FALSE(frame().inHelpMode());
  EXPECT_EQ(calls.size(), 3u);
  started = FALSE;
  SendMessageA(frameHwnd(), WM_COMMAND, ID_HELP_INDEX_CMD, 0);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Failed to launch help.");
  winui::SetHelpHook(nullptr);

  std::string opened;
  CFeedbackDialog::shellOpen = [&](HWND, const char* path) { opened = path; };
  DialogScript script;
  script
      .Then("About Tarnwall",
            [](HWND d) {
              Screenshot(d, "editor_about");
              Click(d, IDOK);
            })
      .Then("Tarnwall Feedback", [](HWND d) {
        Screenshot(d, "editor_feedback");
        Click(d, IDC_FEEDBACK_BROWSE);
      });
  EXPECT_TRUE(script.Run([&] {
    SendMessageA(frameHwnd(), WM_COMMAND, ID_APP_ABOUT_CMD, 0);
    SendMessageA(frameHwnd(), WM_COMMAND, ID_HELP_FEEDBACK, 0);
  }));
  EXPECT_EQ(opened, CFeedbackDialog::FeedbackPath());
  EXPECT_NE(opened.find("\\feedback.url"), std::string::npos);
  CFeedbackDialog::shellOpen = nullptr;
}

// The real menu, open on screen, read back while it is open and pictured for a person.
TEST_F(CommandTest, PictureOfTheOpenContextMenu) {
  CTreeDialog::trackMenu = nullptr;
  int items = -1;
  std::string texts;
  bool deleteUsable = false;
  DialogScript script;
  script.Then("#32768", [&](HWND popup) {
    HMENU menu = reinterpret_cast<HMENU>(SendMessageA(popup, MN_GETHMENU, 0, 0));
    items = GetMenuItemCount(menu);
    for (int i = 0; i < items; ++i) {
      char text[32] = "";
      GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
      texts += std::string(text) + ";";
    }
    deleteUsable = !(GetMenuState(menu, ID_CONTEXT_DELETE, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED));
    winui::SaveScreenshot(nullptr, "..\\screenshots\\editor_context_menu.bmp");
    EndMenu();
  });
  EXPECT_TRUE(script.Run([&] { ClickNode(Node({"HTTP", "Web Proxy", "Browser", "Allow"}), NM_RCLICK); }));
  EXPECT_EQ(items, 6) << "no popup menu was seen open on the screen";
  EXPECT_EQ(texts, "Deny;Ask;Allow;;Add;Delete;");
  EXPECT_TRUE(deleteUsable);
}

}  // namespace
