// Edictor as a user meets it: the real controls driven with the mouse and key messages a
// user's hand makes, through the frame's own message loop: renaming by label edit, a
// double-click on a branch, help mode and its Escape, F1 where it is pressed, Shift+F10 and
// the menu key, Create New's refusals, and a delete that lost its race.
#include <gtest/gtest.h>
#include <gtest/gtest-spi.h>

#include <map>

#include "editor_fixture.h"
#include "help/tarnwall_help.h"
#include "object_dialogs.h"
#include "screenshot.h"

using namespace edictor;
using namespace regtest;

namespace {

std::map<std::string, std::vector<unsigned char>> Values(const char* path) {
  std::map<std::string, std::vector<unsigned char>> all;
  for (const std::string& name : value_names(path)) read_value(path, name.c_str(), &all[name]);
  return all;
}

const std::string kDescription41 = "A description of forty-one characters ok.";
const std::string kName31 = "An address name, 31 characters.";

class UserTest : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    ASSERT_EQ(kDescription41.size(), 41u);
    ASSERT_EQ(kName31.size() + 1, 32u);
    http = Protocol("HTTP", PFW_TCP, 80);
    smtp = Protocol("SMTP", PFW_TCP, 25);
    proxy = Address("Web Proxy", "10.0.0.8");
    longAddress = Address(kName31.c_str(), "10.0.0.9");
    browser = App("BROWSER.EXE", "Browser");
    longApp = App("LONG.EXE", kDescription41.c_str());
    rule = Rule(http, proxy, browser, PFW_OUTBOUND, PFW_ALLOW);
    Rule(smtp, proxy, browser, PFW_OUTBOUND, PFW_DENY);
    Rule(smtp, longAddress, longApp, PFW_OUTBOUND, PFW_ASK);
    winui::SetHelpHook([this](const winui::HelpCall& call) {
      helps.push_back(call.command == HELP_CONTEXT ? static_cast<int>(call.data) : -1);
      return TRUE;
    });
    CTreeDialog::trackMenu = [this](HMENU, POINT at, HWND) {
      menuAt.push_back(at);
      return 0u;
    };
    Open();
    SetForegroundWindow(frameHwnd());
  }
  void TearDown() override {
    winui::SetHelpHook(nullptr);
    CTreeDialog::trackMenu = nullptr;
    EditorTest::TearDown();
  }
  winui::TreeCtrl Tree(int tab) { return view().Tree(tab, PFW_OUTBOUND); }
  HTREEITEM Top(int tab, const std::string& text) {
    winui::TreeCtrl tree = Tree(tab);
    HTREEITEM item = tree.Root();
    while (item && tree.GetText(item) != text) item = tree.Sibling(item);
    return item;
  }
  std::string Siblings(const winui::TreeCtrl& tree, HTREEITEM first) {
    std::string texts;
    for (HTREEITEM item = first; item; item = tree.Sibling(item)) texts += tree.GetText(item) + ";";
    return texts;
  }
  void ShowTab(int tab) {
    view().Tabs().SetCurrent(tab);
    view().ShowTab(tab);
  }
  // A label edit as the user does it: the tree opens the edit box, the typed keys go to
  // it, Enter ends it; all through the frame's loop.
  void EditLabel(int tab, HTREEITEM item, const char* typed) {
    winui::TreeCtrl tree = Tree(tab);
    SetFocus(tree.hwnd());
    HWND edit = reinterpret_cast<HWND>(SendMessageA(tree.hwnd(), TVM_EDITLABELA, 0, reinterpret_cast<LPARAM>(item)));
    ASSERT_NE(edit, nullptr) << "the label edit did not start";
    if (typed) {
      SendMessageA(edit, EM_SETSEL, 0, -1);
      for (const char* c = typed; *c; ++c) PostMessageA(edit, WM_CHAR, static_cast<unsigned char>(*c), 1);
    }
    PressKey(frame(), edit, VK_RETURN);
    PumpFrameUntil(
        frame(), [&] { return !IsWindow(edit); }, 5000, "the label edit to end");
  }
  std::vector<int> helps;
  std::vector<POINT> menuAt;
  int http = -1, smtp = -1, proxy = -1, longAddress = -1, browser = -1, longApp = -1, rule = -1;
};

// Fault 1: Enter on a text the user left alone writes nothing, however long the text;
// fault 5: a renamed node moves to its sorted place, and the list keeps its sort.
TEST_F(UserTest, ARenameLeftAloneWritesNothingAndARenamedNodeMovesToItsPlace) {
  auto appValues = Values(kApps), addressValues = Values(kAddresses);
  unsigned long long registryCalls = PFW_GetRegistryCallCount();
  ShowTab(kTabApplication);
  EditLabel(kTabApplication, Top(kTabApplication, kDescription41), nullptr);
  ShowTab(kTabAddress);
  EditLabel(kTabAddress, Top(kTabAddress, kName31), nullptr);
  EXPECT_TRUE(boxes.empty()) << boxes[0].text;
  EXPECT_EQ(PFW_GetRegistryCallCount(), registryCalls);
  EXPECT_EQ(Values(kApps), appValues);
  EXPECT_EQ(Values(kAddresses), addressValues);
  EXPECT_EQ(std::string(PFW_GetAppByIndex(apps, longApp, nullptr)->description), kDescription41);
  EXPECT_EQ(std::string(PFW_GetAddressByIndex(addresses, longAddress, nullptr)->name), kName31);

  // The list sorted Z to A by a real click on its "Protocol" header.
  ShowTab(kTabList);
  HWND header = reinterpret_cast<HWND>(SendMessageA(view().List().hwnd(), LVM_GETHEADER, 0, 0));
  RECT column{};
  SendMessageA(header, HDM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&column));
  LPARAM at = MAKELPARAM((column.left + column.right) / 2, (column.top + column.bottom) / 2);
  PostMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageA(header, WM_LBUTTONUP, 0, at);
  PumpFrameUntil(
      frame(), [&] { return !view().ascending(); }, 5000, "the header click to sort the list");
  auto column0 = [&] {
    std::string texts;
    for (const std::string& row : DumpList(view().List())) texts += row.substr(0, row.find('|')) + ";";
    return texts;
  };
  EXPECT_EQ(column0(), "SMTP;SMTP;HTTP;Any Protocol;Any Protocol;");

  ShowTab(kTabProtocol);
  EditLabel(kTabProtocol, Top(kTabProtocol, "HTTP"), "Zebra");
  EXPECT_STREQ(PFW_GetProtocolByIndex(protocols, http, nullptr)->name, "Zebra");
  EXPECT_EQ(Siblings(Tree(kTabProtocol), Tree(kTabProtocol).Root()), "Any Protocol;SMTP;Zebra;");
  HTREEITEM webProxy = Top(kTabAddress, "Web Proxy");
  ASSERT_NE(webProxy, nullptr);
  EXPECT_EQ(Siblings(Tree(kTabAddress), Tree(kTabAddress).Child(webProxy)), "SMTP;Zebra;");
  EXPECT_EQ(column0(), "Zebra;SMTP;SMTP;Any Protocol;Any Protocol;");
  // A protocol added later lands in order among the renamed one's siblings.
  int gopher = Protocol("Gopher", PFW_TCP, 70);
  view().InsertRule(Rule(gopher, proxy, browser, PFW_OUTBOUND, PFW_ALLOW), false);
  EXPECT_EQ(Siblings(Tree(kTabProtocol), Tree(kTabProtocol).Root()), "Any Protocol;Gopher;SMTP;Zebra;");
  EXPECT_TRUE(boxes.empty());
}

// Fault 2: a real double-click on a node leaves its whole branch open.
TEST_F(UserTest, ADoubleClickLeavesTheWholeBranchOpen) {
  winui::TreeCtrl tree = Tree(kTabProtocol);
  HTREEITEM smtpNode = Top(kTabProtocol, "SMTP");
  ASSERT_NE(smtpNode, nullptr);
  POINT screen = NodePoint(tree.hwnd(), smtpNode);
  SetCursorPos(screen.x, screen.y);
  POINT client = screen;
  ScreenToClient(tree.hwnd(), &client);
  LPARAM at = MAKELPARAM(client.x, client.y);
  PostMessageA(tree.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageA(tree.hwnd(), WM_LBUTTONUP, 0, at);
  PostMessageA(tree.hwnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
  PostMessageA(tree.hwnd(), WM_LBUTTONUP, 0, at);
  PumpFrameUntil(
      frame(), [] { return HIWORD(GetQueueStatus(QS_POSTMESSAGE | QS_MOUSE)) == 0; }, 5000, "the clicks to be handled");
  auto expanded = [&](HTREEITEM item) {
    return (SendMessageA(tree.hwnd(), TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_EXPANDED) &
            TVIS_EXPANDED) != 0;
  };
  EXPECT_EQ(view().currentRecord(), PFW_GetProtocolByName(view().lists().protocols, "SMTP", nullptr, nullptr));
  EXPECT_TRUE(expanded(smtpNode)) << "the tree toggled the opened node shut again";
  for (HTREEITEM address = tree.Child(smtpNode); address; address = tree.Sibling(address)) {
    EXPECT_TRUE(expanded(address)) << tree.GetText(address);
    for (HTREEITEM app = tree.Child(address); app; app = tree.Sibling(app)) EXPECT_TRUE(expanded(app));
  }
}

// Fault 3: Escape, pressed in a tree, leaves help mode without opening help; fault 4: F1
// and the help-mode click open the topic of where they are; fault 10: the frame's small
// icon goes with the frame.
TEST_F(UserTest, HelpModeEscapeAndTopicsOfWhereF1IsPressed) {
  HWND tree = Tree(kTabProtocol).hwnd();
  SetFocus(tree);
  PressKey(frame(), tree, VK_F1, true);
  ASSERT_TRUE(frame().inHelpMode());
  PressKey(frame(), tree, VK_ESCAPE);
  EXPECT_FALSE(frame().inHelpMode()) << "Escape did not leave help mode";
  EXPECT_TRUE(helps.empty());
  EXPECT_TRUE(boxes.empty());

  PressKey(frame(), tree, VK_F1);
  ShowTab(kTabList);
  SetFocus(view().List().hwnd());
  PressKey(frame(), view().List().hwnd(), VK_F1);
  EXPECT_EQ(helps, (std::vector<int>{IDH_EDICTOR_PROTOCOL_TREES, IDH_EDICTOR_RULE_LIST}));

  // Shift+F1, then a click: on the address trees, on a light, on the toolbar's Delete.
  ShowTab(kTabAddress);
  auto helpClick = [&](HWND on, POINT clientOfOn) {
    PressKey(frame(), GetFocus() ? GetFocus() : frameHwnd(), VK_F1, true);
    EXPECT_TRUE(frame().inHelpMode());
    MapWindowPoints(on, frameHwnd(), &clientOfOn, 1);
    // Help mode holds the mouse: the click comes to the frame.
    PostMessageA(frameHwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(clientOfOn.x, clientOfOn.y));
    PumpFrameUntil(
        frame(), [&] { return !frame().inHelpMode(); }, 5000, "the help-mode click");
  };
  helpClick(view().Tree(kTabAddress, PFW_INBOUND).hwnd(), POINT{20, 20});
  helpClick(view().Item(IDC_LIGHT_OUT), POINT{3, 3});
  RECT button{};
  SendMessageA(frame().toolbar(), TB_GETRECT, ID_RULE_DELETE, reinterpret_cast<LPARAM>(&button));
  helpClick(frame().toolbar(), POINT{(button.left + button.right) / 2, (button.top + button.bottom) / 2});
  EXPECT_EQ(helps, (std::vector<int>{IDH_EDICTOR_PROTOCOL_TREES, IDH_EDICTOR_RULE_LIST, IDH_EDICTOR_ADDRESS_TREES,
                                     IDH_EDICTOR_DEFAULT_RULES, IDH_EDICTOR_CMD_DELETE_RULE}));

  HICON small = reinterpret_cast<HICON>(SendMessageA(frameHwnd(), WM_GETICON, ICON_SMALL, 0));
  ASSERT_NE(small, nullptr);
  ICONINFO info{};
  ASSERT_TRUE(GetIconInfo(small, &info));
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  Close();
  EXPECT_FALSE(GetIconInfo(small, &info)) << "the frame's small icon outlived the frame";
}

// Fault 4: F1 with the Rules menu open names the highlighted command.
TEST_F(UserTest, F1InAnOpenMenuOpensTheHighlightedCommandsTopic) {
  // Inside the menu's own loop: down to the second item, F1, then Escape out.
  auto key = [&](UINT k) {
    return [this, k](HWND) {
      PostMessageA(frameHwnd(), WM_KEYDOWN, k, 1 | (MapVirtualKeyA(k, 0) << 16));
      PostMessageA(frameHwnd(), WM_KEYUP, k, 1 | (MapVirtualKeyA(k, 0) << 16) | 0xC0000000);
    };
  };
  DialogScript script;
  script.Then("#32768", key(VK_DOWN)).Then("#32768", key(VK_F1)).Then("#32768", [&](HWND menu) {
    key(VK_ESCAPE)(menu);
    key(VK_ESCAPE)(menu);
  });
  // Alt+R as the keyboard opens it: the frame's menu loop runs until Escape ends it.
  EXPECT_TRUE(script.Run([&] { SendMessageA(frameHwnd(), WM_SYSCOMMAND, SC_KEYMENU, 'r'); }));
  EXPECT_EQ(helps, (std::vector<int>{IDH_EDICTOR_CMD_DELETE_RULE}));
}

// Fault 4: F1 pressed in each dialog opens that dialog's topic.
TEST_F(UserTest, F1InEachDialogOpensItsTopic) {
  auto f1 = [&](HWND d, int control) {
    HWND in = GetDlgItem(d, control);
    SetFocus(in);
    PostMessageA(in, WM_KEYDOWN, VK_F1, 1 | (MapVirtualKeyA(VK_F1, 0) << 16));
    PostMessageA(in, WM_KEYUP, VK_F1, 1 | (MapVirtualKeyA(VK_F1, 0) << 16) | 0xC0000000);
  };
  auto createNew = [](int button) { return [=](HWND d) { Click(d, button); }; };
  DialogScript script;
  script.Then("Add Rule", [&](HWND d) { f1(d, IDC_PROTOCOL_BOX); })
      .Then("Add Rule", createNew(IDC_NEW_PROTOCOL))
      .Then("Add Protocol", [&](HWND d) { f1(d, IDC_PROTO_NAME); })
      .Then("Add Protocol", [&](HWND d) { Click(d, IDCANCEL); })
      .Then("Add Rule", createNew(IDC_NEW_APP))
      .Then("Add Application", [&](HWND d) { f1(d, IDC_APP_DESCRIPTION); })
      .Then("Add Application", [&](HWND d) { Click(d, IDCANCEL); })
      .Then("Add Rule", createNew(IDC_NEW_ADDRESS))
      .Then("Add Address", [&](HWND d) { f1(d, IDC_ADR_FIRST1); })
      .Then("Add Address", [&](HWND d) { Click(d, IDCANCEL); })
      .Then("Add Rule", [&](HWND d) { Click(d, IDCANCEL); });
  HWND tree = Tree(kTabProtocol).hwnd();
  SetFocus(tree);
  EXPECT_TRUE(script.Run([&] { PressKey(frame(), tree, VK_INSERT); }));
  EXPECT_EQ(helps, (std::vector<int>{IDH_EDICTOR_ADD_RULE, IDH_EDICTOR_ADD_PROTOCOL, IDH_EDICTOR_ADD_APPLICATION,
                                     IDH_EDICTOR_ADD_ADDRESS}));
}

// The help viewer itself, opened by F1 in the Add Rule dialog, pictured with its topic.
TEST_F(UserTest, PictureOfAHelpTopicOpenedFromADialog) {
  winui::SetHelpHook(nullptr);
  char full[MAX_PATH] = "";
  ASSERT_GT(GetFullPathNameA(TARNWALL_HELP_FILE_NAME, sizeof full, full, nullptr), 0u);
  ASSERT_NE(GetFileAttributesA(full), INVALID_FILE_ATTRIBUTES) << full << " was not made beside the tests";
  frame().SetHelpPath(full);
  HWND viewer = nullptr;
  std::string caption;
  DialogScript script(30000);
  script
      .Then("Add Rule",
            [&](HWND d) {
              SetFocus(GetDlgItem(d, IDC_PROTOCOL_BOX));
              PostMessageA(GetDlgItem(d, IDC_PROTOCOL_BOX), WM_KEYDOWN, VK_F1, 1);
            })
      .Then("Add Rule", [&](HWND d) {
        // The viewer is another program: waited for, bounded, by its window.
        winui::PumpUntil(
            [&] {
              viewer = FindWindowA("MS_WINHELP", nullptr);
              return viewer && IsWindowVisible(viewer);
            },
            20000);
        if (viewer) {
          winui::PumpUntil([&] { return WindowText(viewer).find("Tarnwall") != std::string::npos; }, 10000);
          caption = WindowText(viewer);
          SetWindowPos(viewer, HWND_TOP, 200, 120, 0, 0, SWP_NOSIZE);
          Screenshot(viewer, "editor_help_from_add_rule");
        }
        Click(d, IDCANCEL);
      });
  EXPECT_TRUE(script.Run([&] { PressKey(frame(), Tree(kTabProtocol).hwnd(), VK_INSERT); }));
  ASSERT_NE(viewer, nullptr) << "F1 in Add Rule opened no help viewer";
  EXPECT_NE(caption.find("Tarnwall Help"), std::string::npos) << caption;
  WinHelpA(frameHwnd(), full, HELP_QUIT, 0);
  winui::PumpUntil([] { return !FindWindowA("MS_WINHELP", nullptr); }, 10000);
}

// Fault 9: Shift+F10 in a tree and the menu key in the list open the menu over the
// selected node or row, placed at it.
TEST_F(UserTest, ShiftF10AndTheMenuKeyOpenTheMenuAtTheSelection) {
  winui::TreeCtrl tree = Tree(kTabProtocol);
  HTREEITEM smtpNode = Top(kTabProtocol, "SMTP");
  ASSERT_NE(smtpNode, nullptr);
  tree.Select(smtpNode);
  SetFocus(tree.hwnd());
  PressKey(frame(), tree.hwnd(), VK_F10, true, true);
  ASSERT_EQ(menuAt.size(), 1u) << "Shift+F10 opened no menu";
  EXPECT_EQ(view().currentRecord(), PFW_GetProtocolByName(view().lists().protocols, "SMTP", nullptr, nullptr));
  RECT node{};
  memcpy(&node, &smtpNode, sizeof smtpNode);
  SendMessageA(tree.hwnd(), TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&node));
  MapWindowPoints(tree.hwnd(), nullptr, reinterpret_cast<POINT*>(&node), 2);
  EXPECT_EQ(menuAt[0].x, node.left);
  EXPECT_EQ(menuAt[0].y, node.bottom);

  ShowTab(kTabList);
  winui::ListCtrl list = view().List();
  const PFW_RULE* httpRule = PFW_GetRuleByIndex(view().lists().rules, rule, nullptr);
  int row = list.FindData(reinterpret_cast<LPARAM>(httpRule));
  ASSERT_GE(row, 0);
  LVITEMA state{};
  state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
  SendMessageA(list.hwnd(), LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
  SetFocus(list.hwnd());
  PressKey(frame(), list.hwnd(), VK_APPS);
  ASSERT_EQ(menuAt.size(), 2u) << "the menu key opened no menu";
  EXPECT_EQ(view().currentRecord(), httpRule);
  RECT rowRect{LVIR_LABEL, 0, 0, 0};
  SendMessageA(list.hwnd(), LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rowRect));
  MapWindowPoints(list.hwnd(), nullptr, reinterpret_cast<POINT*>(&rowRect), 2);
  EXPECT_EQ(menuAt[1].y, rowRect.bottom);
  EXPECT_GE(menuAt[1].x, rowRect.left);
}

// Fault 6: a refusal of the dialog's check keeps it open, and a refusal of the store after
// the check passed is told in Add Rule; the box stays without the entry. (Every refusal's
// text: EntryChecks.)
TEST_F(UserTest, CreateNewSaysWhyTheStoreRefused) {
  DialogScript script;
  script.Then("Add Rule", [&](HWND d) { Click(d, IDC_NEW_PROTOCOL); })
      .Then("Add Protocol",
            [&](HWND d) {
              SetText(d, IDC_PROTO_NAME, "   ");
              SetText(d, IDC_PROTO_PORT, "70");
              Click(d, IDOK);
              EXPECT_TRUE(IsWindow(d)) << "a blank name closed the dialog";
              SetText(d, IDC_PROTO_NAME, "Gopher");
              // The last key the list can give: the store refuses the add as a full list.
              protocols->next_key = UINT32_MAX;
              Click(d, IDOK);
            })
      .Then("Add Rule", [&](HWND d) {
        protocols->next_key = 3;
        EXPECT_EQ(SendDlgItemMessageA(d, IDC_PROTOCOL_BOX, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                      reinterpret_cast<LPARAM>("Gopher")),
                  CB_ERR);
        Click(d, IDCANCEL);
      });
  ASSERT_TRUE(script.Run([&] { PressKey(frame(), Tree(kTabProtocol).hwnd(), VK_INSERT); }));
  std::vector<std::string> said;
  for (const auto& box : boxes) said.push_back(box.caption + ": " + box.text);
  EXPECT_EQ(said, (std::vector<std::string>{
                      "Add Protocol: Enter a name for the protocol.",
                      "Add Protocol: The protocol could not be added: the protocol list is full.",
                  }));
  EXPECT_EQ(PFW_GetProtocolByName(protocols, "Gopher", nullptr, nullptr), nullptr);
}

// Fault 7: a delete whose unlink fails leaves the registry value, which now belongs to
// the rule another program added again with the same four keys.
TEST_F(UserTest, ADeleteThatLostItsRaceLeavesTheValueOfTheRuleAddedAgain) {
  PFW_RULE* old = PFW_GetRuleByIndex(rules, rule, nullptr);
  ASSERT_NE(old, nullptr);
  std::string name = PFW_CreateRuleKey(http, proxy, browser, PFW_OUTBOUND);
  // Another program deletes the rule and adds it again: same keys, same value name.
  ASSERT_TRUE(PFW_DeleteRule(rules, rule));
  int again = Rule(http, proxy, browser, PFW_OUTBOUND, PFW_DENY);
  ASSERT_NE(again, rule);
  std::vector<unsigned char> stored;
  ASSERT_TRUE(read_value(kRuleSet, name.c_str(), &stored));

  EXPECT_FALSE(DeleteStoredRule(view().lists(), old));
  std::vector<unsigned char> after;
  EXPECT_TRUE(read_value(kRuleSet, name.c_str(), &after)) << "the value of the rule added again was deleted";
  EXPECT_EQ(after, stored);
  EXPECT_NE(PFW_GetRuleByIndex(rules, again, nullptr), nullptr);

  // The rule as it stands is deleted from both.
  EXPECT_TRUE(DeleteStoredRule(view().lists(), PFW_GetRuleByIndex(rules, again, nullptr)));
  EXPECT_FALSE(value_exists(kRuleSet, name.c_str()));
}

// The script's own bound: a dialog that never comes fails the test, naming the step, and
// the dialog that did come is cancelled so that the test goes on.
DialogScript* g_script = nullptr;
CMainFrame* g_frame = nullptr;

TEST_F(UserTest, ADialogScriptStepThatNeverMatchesFailsNamingIt) {
  DialogScript script(600);
  script.Then("About Tarnwall", [](HWND) {}).Then("No Such Dialog", [](HWND) {});
  g_script = &script;
  g_frame = &frame();
  EXPECT_NONFATAL_FAILURE(g_script->Run([] { SendMessageA(g_frame->hwnd(), WM_COMMAND, ID_APP_ABOUT_CMD, 0); }),
                          "for a window \"No Such Dialog\" that never came");
  EXPECT_EQ(script.timedOut(), "No Such Dialog");
  g_script = nullptr;
}

}  // namespace
