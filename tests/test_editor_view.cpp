// Edictor's form view: start-up and single instance, the six trees and the list built
// from a realistic rule set, the default rules' captions and lights, removing and
// refreshing rules, tabs, clicks and sorting.
#include <gtest/gtest.h>

#include <algorithm>

#include "editor_fixture.h"

using namespace edictor;

namespace {

// A rule set with every picture, shared nodes, a range, rules in both directions and a gap
// in the rule keys.
class ViewTest : public EditorTest {
 protected:
  void SetUp() override {
    EditorTest::SetUp();
    int http = Protocol("HTTP", PFW_TCP, 80), ftp = Protocol("FTP", PFW_TCP, 21);
    int telnet = Protocol("Telnet", PFW_TCP, 23), smtp = Protocol("SMTP", PFW_TCP, 25);
    int relay = Protocol("Mail Relay", PFW_TCP, 30), dns = Protocol("DNS", PFW_UDP, 53);
    int proxy = Address("Web Proxy", "10.0.0.8"), mail = Address("Mail Server", "192.168.1.5");
    int lan = Address("Office LAN", "192.168.1.0", "192.168.1.255");
    int navigator = App("netscape.exe", "Navigator"), explorer = App("iexplore.exe", "Explorer");
    int outlook = App("outlook.exe", "Mail Client"), caps = App("NETSCAPE.EXE", "Navigator Caps");
    int term = App("TELNET.EXE", "Terminal");
    browse1 = Rule(http, proxy, navigator, PFW_OUTBOUND, PFW_ALLOW);
    Rule(http, proxy, explorer, PFW_OUTBOUND, PFW_ALLOW);
    Rule(smtp, mail, outlook, PFW_OUTBOUND, PFW_ASK);
    int gone = Rule(dns, 0, 0, PFW_OUTBOUND, PFW_ALLOW);
    PFW_DeleteRule(rules, gone);
    Rule(relay, mail, outlook, PFW_OUTBOUND, PFW_DENY);
    Rule(ftp, 0, caps, PFW_OUTBOUND, PFW_DENY);
    telnetIn = Rule(telnet, lan, term, PFW_INBOUND, PFW_ALLOW);
  }
  int browse1 = -1, telnetIn = -1;
};

TEST_F(ViewTest, StartupShowsEveryRuleInEachTreeAndTheList) {
  Open();
  EXPECT_TRUE(boxes.empty()) << boxes[0].text;
  EXPECT_TRUE(app().registered());
  EXPECT_EQ(PFW_GetGlobalEdictorHwnd(), view().hwnd());
  EXPECT_EQ(WindowText(frameHwnd()), "Tarnwall Edictor");

  EXPECT_EQ(DumpTree(view().Tree(kTabProtocol, PFW_OUTBOUND)),
            "Any Protocol [3]\n  Any Address [5]\n    Every program [4]\n      Allow [0]\n"
            "FTP [11]\n  Any Address [5]\n    Navigator Caps [4]\n      Deny [1]\n"
            "HTTP [3]\n  Web Proxy [5]\n    Explorer [6]\n      Allow [0]\n    Navigator [7]\n      Allow [0]\n"
            "Mail Relay [10]\n  Mail Server [5]\n    Mail Client [8]\n      Deny [1]\n"
            "SMTP [10]\n  Mail Server [5]\n    Mail Client [8]\n      Ask User [2]\n");
  EXPECT_EQ(DumpTree(view().Tree(kTabProtocol, PFW_INBOUND)),
            "Any Protocol [3]\n  Any Address [5]\n    Every program [4]\n      Deny [1]\n"
            "Telnet [9]\n  Office LAN [5]\n    Terminal [4]\n      Allow [0]\n");
  EXPECT_EQ(DumpTree(view().Tree(kTabAddress, PFW_OUTBOUND)),
            "Any Address [5]\n  Any Protocol [3]\n    Every program [4]\n      Allow [0]\n"
            "  FTP [11]\n    Navigator Caps [4]\n      Deny [1]\n"
            "Mail Server [5]\n  Mail Relay [10]\n    Mail Client [8]\n      Deny [1]\n"
            "  SMTP [10]\n    Mail Client [8]\n      Ask User [2]\n"
            "Web Proxy [5]\n  HTTP [3]\n    Explorer [6]\n      Allow [0]\n    Navigator [7]\n      Allow [0]\n");
  EXPECT_EQ(
      DumpTree(view().Tree(kTabApplication, PFW_OUTBOUND)),
      "Every program [4]\n  Any Address [5]\n    Any Protocol [3]\n      Allow [0]\n"
      "Explorer [6]\n  Web Proxy [5]\n    HTTP [3]\n      Allow [0]\n"
      "Mail Client [8]\n  Mail Server [5]\n    Mail Relay [10]\n      Deny [1]\n    SMTP [10]\n      Ask User [2]\n"
      "Navigator [7]\n  Web Proxy [5]\n    HTTP [3]\n      Allow [0]\n"
      "Navigator Caps [4]\n  Any Address [5]\n    FTP [11]\n      Deny [1]\n");
  std::vector<std::string> rows = DumpList(view().List());
  std::vector<std::string> expected = {"Any Protocol|Any Address|Every program|INBOUND|Deny",
                                       "Any Protocol|Any Address|Every program|OUTBOUND|Allow",
                                       "FTP|Any Address|Navigator Caps|OUTBOUND|Deny",
                                       "HTTP|Web Proxy|Explorer|OUTBOUND|Allow",
                                       "HTTP|Web Proxy|Navigator|OUTBOUND|Allow",
                                       "Mail Relay|Mail Server|Mail Client|OUTBOUND|Deny",
                                       "SMTP|Mail Server|Mail Client|OUTBOUND|Ask User",
                                       "Telnet|Office LAN|Terminal|INBOUND|Allow"};
  std::sort(rows.begin(), rows.end());  // rows with equal protocol names come in any order
  EXPECT_EQ(rows, expected);

  // The default rules: inbound deny, outbound allow, as installed.
  EXPECT_EQ(WindowText(view().Item(IDC_CAPTION_IN)), "Inbound: Deny");
  EXPECT_EQ(WindowText(view().Item(IDC_CAPTION_OUT)), "Outbound: Allow");
  EXPECT_EQ(reinterpret_cast<HICON>(view().SendItem(IDC_LIGHT_IN, STM_GETICON)), view().lightIcon(PFW_DENY));
  EXPECT_EQ(reinterpret_cast<HICON>(view().SendItem(IDC_LIGHT_OUT, STM_GETICON)), view().lightIcon(PFW_ALLOW));

  // Every tab, for a person to look at.
  const char* names[] = {"editor_protocol_view", "editor_address_view", "editor_application_view", "editor_list_view"};
  for (int tab = 0; tab < kTabCount; ++tab) {
    view().Tabs().SetCurrent(tab);
    NMHDR change{view().Tabs().hwnd(), IDC_TAB, TCN_SELCHANGE};
    SendMessageA(view().hwnd(), WM_NOTIFY, IDC_TAB, reinterpret_cast<LPARAM>(&change));
    for (int t = 0; t < 3; ++t) {
      for (int d : {PFW_INBOUND, PFW_OUTBOUND}) {
        winui::TreeCtrl tree = view().Tree(t, d);
        EXPECT_EQ(IsWindowVisible(tree.hwnd()) != 0, t == tab);
        for (HTREEITEM top = tree.Root(); top; top = tree.Sibling(top)) tree.Expand(top);
      }
    }
    EXPECT_EQ(IsWindowVisible(view().List().hwnd()) != 0, tab == kTabList);
    Screenshot(frameHwnd(), names[tab]);
  }
}

TEST_F(ViewTest, RemovingARulePrunesEmptiedParentsOnly) {
  Open();
  PFW_RULE* explorer = PFW_GetRuleByIndex(view().lists().rules, browse1 + 1, nullptr);
  view().RemoveRule(explorer);
  view().RemoveRule(explorer);  // a second time finds nothing and changes nothing
  std::string tree = DumpTree(view().Tree(kTabApplication, PFW_OUTBOUND));
  EXPECT_EQ(tree.find("Explorer"), std::string::npos);
  EXPECT_NE(tree.find("Navigator [7]\n  Web Proxy [5]\n    HTTP"), std::string::npos);
  EXPECT_NE(DumpTree(view().Tree(kTabProtocol, PFW_OUTBOUND))
                .find("HTTP [3]\n  Web Proxy [5]\n    Navigator [7]\n      Allow [0]\nMail Relay"),
            std::string::npos);
  EXPECT_EQ(view().List().Count(), 7);

  // The last rule under Telnet: its protocol, address and application nodes all go.
  view().RemoveRule(PFW_GetRuleByIndex(view().lists().rules, telnetIn, nullptr));
  EXPECT_EQ(DumpTree(view().Tree(kTabAddress, PFW_INBOUND)),
            "Any Address [5]\n  Any Protocol [3]\n    Every program [4]\n      Deny [1]\n");
  EXPECT_EQ(view().List().Count(), 6);
}

TEST_F(ViewTest, RefreshShowsAChangedDefaultRuleAndASecondInsertIsReported) {
  Open();
  PFW_GetRuleByIndex(rules, 0, nullptr)->action = PFW_ASK;
  PFW_GetRuleByIndex(rules, 1, nullptr)->action = PFW_DENY;
  view().RefreshRule(0);
  view().RefreshRule(1);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(WindowText(view().Item(IDC_CAPTION_IN)), "Inbound: Ask");
  EXPECT_EQ(WindowText(view().Item(IDC_CAPTION_OUT)), "Outbound: Deny");
  EXPECT_EQ(reinterpret_cast<HICON>(view().SendItem(IDC_LIGHT_IN, STM_GETICON)), view().lightIcon(PFW_ASK));
  EXPECT_EQ(reinterpret_cast<HICON>(view().SendItem(IDC_LIGHT_OUT, STM_GETICON)), view().lightIcon(PFW_DENY));
  EXPECT_EQ(DumpTree(view().Tree(kTabProtocol, PFW_INBOUND))
                .find("Any Protocol [3]\n  Any Address [5]\n    Every program [4]\n      Ask User [2]\n"),
            0u);

  // An action outside the three: empty caption, the light stays as it was.
  PFW_GetRuleByIndex(rules, 0, nullptr)->action = 7;
  view().RefreshRule(0);
  EXPECT_EQ(WindowText(view().Item(IDC_CAPTION_IN)), "");
  EXPECT_EQ(reinterpret_cast<HICON>(view().SendItem(IDC_LIGHT_IN, STM_GETICON)), view().lightIcon(PFW_ASK));

  EXPECT_TRUE(view().InsertRule(telnetIn, false));
  ASSERT_EQ(boxes.size(), 3u);  // one per tree of the rule's direction, all with the one caption
  for (const winui::MessageBoxCall& box : boxes) {
    EXPECT_EQ(box.text, "Something's terribly wrong!\nThis rule's already in the tree!!!!");
    EXPECT_EQ(box.caption, "Inbound Address Tree");
  }
  EXPECT_EQ(view().List().Count(), 8);
  EXPECT_FALSE(view().InsertRule(999, false));
}

TEST_F(ViewTest, ARuleAnotherProgramAddsIsShownOnceWhenItsNoticeArrives) {
  Open();
  // Added by another path: one rule joins shown nodes, the other brings new ones.
  int gopher = Protocol("Gopher", PFW_TCP, 70), archive = Address("Archive", "10.0.0.70");
  int browser = App("mosaic.exe", "Early Browser");
  int http = -1, proxy = -1;
  PFW_GetProtocolByName(protocols, "HTTP", &http, nullptr);
  PFW_GetAddressByName(addresses, "Web Proxy", &proxy, nullptr);
  int joining = Rule(http, proxy, browser, PFW_OUTBOUND, PFW_DENY);
  int fresh = Rule(gopher, archive, browser, PFW_INBOUND, PFW_ASK);
  ASSERT_GE(joining, 0);
  ASSERT_GE(fresh, 0);
  UINT notice = RegisterWindowMessageA(PFW_RULE_ADDED_MESSAGE_NAME);
  HWND editor = PFW_GetGlobalEdictorHwnd();
  // Each notice twice, one for a rule already shown, one for a key no rule has.
  for (int key : {joining, fresh, joining, fresh, browse1, 999, -1}) PostMessageA(editor, notice, key, 0);
  winui::PumpMessages();

  EXPECT_TRUE(boxes.empty()) << boxes[0].text;
  EXPECT_EQ(view().List().Count(), 10);
  auto count = [](const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
  };
  for (int tab = 0; tab < 3; ++tab) {
    SCOPED_TRACE(tab);
    std::string out = DumpTree(view().Tree(tab, PFW_OUTBOUND)), in = DumpTree(view().Tree(tab, PFW_INBOUND));
    EXPECT_EQ(count(out, "Early Browser"), 1);
    // The shown nodes are joined, not made again (by application they stand once per program).
    EXPECT_EQ(count(out, "HTTP [3]"), tab == kTabApplication ? 3 : 1);
    EXPECT_EQ(count(out, "Web Proxy [5]"), tab == kTabApplication ? 3 : 1);
    EXPECT_EQ(count(in, "Early Browser"), 1);
    EXPECT_EQ(count(in, "Gopher ["), 1);
    EXPECT_EQ(count(in, "Archive [5]"), 1);
  }
  EXPECT_NE(DumpTree(view().Tree(kTabProtocol, PFW_OUTBOUND)).find("HTTP [3]\n  Web Proxy [5]\n    Early Browser ["),
            std::string::npos);
  std::vector<std::string> rows = DumpList(view().List());
  EXPECT_EQ(std::count(rows.begin(), rows.end(), "Gopher|Archive|Early Browser|INBOUND|Ask User"), 1);
  EXPECT_EQ(std::count(rows.begin(), rows.end(), "HTTP|Web Proxy|Early Browser|OUTBOUND|Deny"), 1);
}

TEST_F(ViewTest, SortingByHeaderClicks) {
  Open();
  auto click = [&](int column) {
    NMLISTVIEW header{};
    header.hdr = {view().List().hwnd(), IDC_RULE_LIST, LVN_COLUMNCLICK};
    header.iItem = -1;
    header.iSubItem = column;
    SendMessageA(view().hwnd(), WM_NOTIFY, IDC_RULE_LIST, reinterpret_cast<LPARAM>(&header));
  };
  auto column = [&](int c) {
    std::string joined;
    for (int row = 0; row < view().List().Count(); ++row) joined += view().List().GetItemText(row, c) + ",";
    return joined;
  };
  click(0);
  EXPECT_FALSE(view().ascending());
  EXPECT_EQ(column(0), "Telnet,SMTP,Mail Relay,HTTP,HTTP,FTP,Any Protocol,Any Protocol,");
  click(0);
  EXPECT_EQ(column(0), "Any Protocol,Any Protocol,FTP,HTTP,HTTP,Mail Relay,SMTP,Telnet,");
  click(4);  // another column keeps the direction: ALLOW, ASK, DENY
  EXPECT_TRUE(view().ascending());
  EXPECT_EQ(view().sortColumn(), 4);
  EXPECT_EQ(column(4), "Allow,Allow,Allow,Allow,Ask User,Deny,Deny,Deny,");
  click(3);
  EXPECT_EQ(column(3), "INBOUND,INBOUND,OUTBOUND,OUTBOUND,OUTBOUND,OUTBOUND,OUTBOUND,OUTBOUND,");
}

TEST_F(ViewTest, ClicksChooseTheCurrentRecordAndADoubleClickOpensTheBranch) {
  Open();
  winui::TreeCtrl tree = view().Tree(kTabProtocol, PFW_OUTBOUND);
  SetForegroundWindow(frameHwnd());
  auto clickOn = [&](HTREEITEM item, UINT code) { NotifyNodeClick(view().hwnd(), tree.hwnd(), item, code); };

  HTREEITEM http = tree.Sibling(tree.Sibling(tree.Root()));
  ASSERT_EQ(tree.GetText(http), "HTTP");
  clickOn(http, NM_DBLCLK);
  EXPECT_EQ(view().currentRecord(), PFW_GetProtocolByName(view().lists().protocols, "HTTP", nullptr, nullptr));
  HTREEITEM proxy = tree.Child(http);
  HTREEITEM app = tree.Child(proxy);
  auto expanded = [&](HTREEITEM item) {
    return (SendMessageA(tree.hwnd(), TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item), TVIS_EXPANDED) &
            TVIS_EXPANDED) != 0;
  };
  EXPECT_TRUE(expanded(proxy));
  EXPECT_TRUE(expanded(app));
  EXPECT_TRUE(expanded(tree.Sibling(app)));

  clickOn(tree.Child(app), NM_CLICK);
  const void* leaf = view().currentRecord();
  EXPECT_EQ(static_cast<const PFW_RULE*>(leaf)->kind, PFW_KIND_RULE);
  // A click on empty space keeps the current record; tabs do not change it either.
  SetCursorPos(0, 0);
  NMHDR miss{tree.hwnd(), static_cast<UINT_PTR>(GetDlgCtrlID(tree.hwnd())), NM_CLICK};
  SendMessageA(view().hwnd(), WM_NOTIFY, miss.idFrom, reinterpret_cast<LPARAM>(&miss));
  EXPECT_EQ(view().currentRecord(), leaf);
}

// Start-up in this process: the application's record of its window and WinSock.
class EditorStartup : public EditorTest {};

// Single instance: the second editor closes without touching the registration; a recorded
// window that is gone or no editor's does not count.
TEST_F(EditorStartup, OneEditorRunsAtATime) {
  Open();
  HWND first = view().hwnd();
  ASSERT_EQ(PFW_GetGlobalEdictorHwnd(), first);

  CEdictorApp second;
  second.frame().SetQuitOnDestroy(false);
  ASSERT_TRUE(second.InitInstance(SW_SHOW));
  EXPECT_TRUE(second.closing());
  EXPECT_FALSE(second.view().built());
  EXPECT_FALSE(second.doc().isOpen());
  EXPECT_TRUE(winui::PumpUntil([&] { return !IsWindow(second.frame().hwnd()); }, 5000));
  EXPECT_EQ(PFW_GetGlobalEdictorHwnd(), first);
  // Activating the first again builds nothing twice.
  int rows = view().List().Count();
  view().OnActivateView();
  EXPECT_EQ(view().List().Count(), rows);
  Close();
  EXPECT_EQ(PFW_GetGlobalEdictorHwnd(), nullptr);

  // A dead handle, then a live window that is not an editor's.
  HWND stale = CreateWindowA("STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  for (bool alive : {false, true}) {
    if (!alive) DestroyWindow(stale);
    HWND other = alive ? CreateWindowA("STATIC", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr) : stale;
    PFW_SetGlobalEdictorHwnd(other);
    Open();
    EXPECT_TRUE(view().built()) << alive;
    EXPECT_EQ(PFW_GetGlobalEdictorHwnd(), view().hwnd());
    Close();
    if (alive) DestroyWindow(other);
  }
}

TEST_F(EditorStartup, WithoutWinsockTheEditorRunsOffline) {
  SetWinsockStartup([](WORD, LPWSADATA) -> int { return WSASYSNOTREADY; });
  Open();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "WinSock startup failed, working in offline mode.");
  EXPECT_EQ(boxes[0].caption, "Tarnwall Edictor");
  EXPECT_EQ(boxes[0].flags, static_cast<UINT>(MB_OK));
  EXPECT_EQ(boxes[0].owner, frameHwnd()) << "the message belongs to the frame";
  EXPECT_FALSE(app().online());
  EXPECT_TRUE(view().built());
  EXPECT_EQ(view().List().Count(), 2);

  // A second editor closes without a word: the message was the first one's to give.
  CEdictorApp second;
  second.frame().SetQuitOnDestroy(false);
  ASSERT_TRUE(second.InitInstance(SW_SHOW));
  EXPECT_TRUE(winui::PumpUntil([&] { return !IsWindow(second.frame().hwnd()); }, 5000));
  EXPECT_EQ(boxes.size(), 1u);
}

}  // namespace
