// The rule-tree model without a window: which nodes a rule shares, where a node sorts
// among its siblings, what a removal prunes and where a renamed node moves.
#include <gtest/gtest.h>

#include <string.h>

#include <deque>

#include "rule_tree.h"

using namespace edictor;

namespace {

class RuleTreeModel : public ::testing::Test {
 protected:
  const PFW_PROTO* Protocol(const char* name, unsigned port) {
    PFW_PROTO& p = protocols.emplace_back();
    p.kind = PFW_KIND_PROTOCOL;
    strncpy(p.name, name, sizeof p.name - 1);
    p.port = port;
    return &p;
  }
  const PFW_ADR* Address(const char* name) {
    PFW_ADR& a = addresses.emplace_back();
    a.kind = PFW_KIND_ADDRESS;
    strncpy(a.name, name, sizeof a.name - 1);
    return &a;
  }
  const PFW_APP* App(const char* description) {
    PFW_APP& a = apps.emplace_back();
    a.kind = PFW_KIND_APP;
    strncpy(a.description, description, sizeof a.description - 1);
    strncpy(a.name, "PROGRAM.EXE", sizeof a.name - 1);
    return &a;
  }
  RuleView Rule(const PFW_PROTO* p, const PFW_ADR* a, const PFW_APP* x, int action) {
    PFW_RULE& r = rules.emplace_back();
    r.kind = PFW_KIND_RULE;
    r.key = static_cast<unsigned>(rules.size());
    r.direction = PFW_OUTBOUND;
    r.action = action;
    return {&r, p, a, x};
  }
  RuleTree::Insertion Insert(const RuleView& view, bool update = false, int tab = kTabProtocol) {
    return tree.Insert(TreePath(view, tab), update);
  }
  std::string Dump(int parent = RuleTree::kNone, int depth = 0) const {
    std::string out;
    for (int id : tree.Children(parent)) {
      const RuleTree::TreeNode& node = tree.at(id);
      out += std::string(static_cast<size_t>(depth) * 2, ' ') + node.text + " [" + std::to_string(node.picture) +
             "]\n" + Dump(id, depth + 1);
    }
    return out;
  }
  std::deque<PFW_PROTO> protocols;
  std::deque<PFW_ADR> addresses;
  std::deque<PFW_APP> apps;
  std::deque<PFW_RULE> rules;
  RuleTree tree;
};

TEST_F(RuleTreeModel, RulesShareTheirNodesAndEachLevelIsSorted) {
  const PFW_PROTO *smtp = Protocol("SMTP", 25), *http = Protocol("HTTP", 80), *ftp = Protocol("ftp", 21);
  const PFW_ADR *proxy = Address("Web Proxy"), *mail = Address("Mail Server");
  const PFW_APP *navigator = App("Navigator"), *explorer = App("Explorer");
  Insert(Rule(smtp, mail, navigator, PFW_ASK));
  RuleTree::Insertion first = Insert(Rule(http, proxy, navigator, PFW_ALLOW));
  RuleTree::Insertion joining = Insert(Rule(http, proxy, explorer, PFW_DENY));
  Insert(Rule(ftp, proxy, explorer, PFW_DENY));
  EXPECT_EQ(Dump(),
            "ftp [11]\n  Web Proxy [5]\n    Explorer [4]\n      Deny [1]\n"
            "HTTP [3]\n  Web Proxy [5]\n    Explorer [4]\n      Deny [1]\n    Navigator [4]\n      Allow [0]\n"
            "SMTP [10]\n  Mail Server [5]\n    Navigator [4]\n      Ask User [2]\n");
  // HTTP went in before SMTP, the first of the top level; the joining rule made only its
  // application and leaf, the application first among its siblings.
  EXPECT_TRUE(first.levels[0].made);
  EXPECT_EQ(first.levels[0].after, RuleTree::kNone);
  EXPECT_FALSE(joining.levels[0].made);
  EXPECT_FALSE(joining.levels[1].made);
  EXPECT_TRUE(joining.levels[2].made);
  EXPECT_EQ(joining.levels[2].after, RuleTree::kNone);
  EXPECT_TRUE(joining.levels[3].made);
  EXPECT_FALSE(first.duplicate || joining.duplicate);

  // Another tab groups the same records in its own order.
  RuleTree byApp;
  byApp.Insert(TreePath(Rule(http, proxy, navigator, PFW_ALLOW), kTabApplication), false);
  EXPECT_EQ(byApp.at(byApp.Children(RuleTree::kNone)[0]).record, navigator);
}

TEST_F(RuleTreeModel, ASecondInsertIsReportedAndAnUpdateWritesTexts) {
  RuleView rule = Rule(Protocol("HTTP", 80), Address("Web Proxy"), App("Browser"), PFW_ALLOW);
  Insert(rule);
  RuleTree::Insertion again = Insert(rule);
  EXPECT_TRUE(again.duplicate);
  EXPECT_FALSE(again.levels[0].write);
  EXPECT_TRUE(again.levels[3].write);  // the leaf is written found or not
  const_cast<PFW_RULE*>(rule.rule)->action = PFW_ASK;
  RuleTree::Insertion update = Insert(rule, true);
  EXPECT_FALSE(update.duplicate);
  for (const RuleTree::Placed& placed : update.levels) {
    EXPECT_FALSE(placed.made);
    EXPECT_TRUE(placed.write);
  }
  EXPECT_EQ(Dump(), "HTTP [3]\n  Web Proxy [5]\n    Browser [4]\n      Ask User [2]\n");
}

TEST_F(RuleTreeModel, ARemovalPrunesOnlyTheParentsItLeavesEmpty) {
  const PFW_PROTO *http = Protocol("HTTP", 80), *telnet = Protocol("Telnet", 23);
  const PFW_ADR *proxy = Address("Web Proxy"), *lan = Address("Office LAN");
  const PFW_APP *navigator = App("Navigator"), *explorer = App("Explorer"), *term = App("Terminal");
  RuleView kept = Rule(http, proxy, navigator, PFW_ALLOW), gone = Rule(http, proxy, explorer, PFW_ALLOW);
  RuleView last = Rule(telnet, lan, term, PFW_ALLOW);
  for (const RuleView& r : {kept, gone, last}) Insert(r);

  std::vector<int> removed = tree.Remove(gone.rule);
  ASSERT_EQ(removed.size(), 2u);  // the leaf, then its application
  EXPECT_EQ(tree.at(removed[0]).record, gone.rule);
  EXPECT_EQ(tree.at(removed[1]).record, explorer);
  EXPECT_TRUE(tree.Remove(gone.rule).empty()) << "a second removal finds nothing";
  EXPECT_EQ(tree.Leaf(gone.rule), RuleTree::kNone);

  // The last rule under Telnet takes its protocol, address and application along.
  EXPECT_EQ(tree.Remove(last.rule).size(), 4u);
  EXPECT_EQ(Dump(), "HTTP [3]\n  Web Proxy [5]\n    Navigator [4]\n      Allow [0]\n");
  // Brought back, the explorer rule makes its application node afresh.
  EXPECT_TRUE(Insert(gone).levels[2].made);
}

TEST_F(RuleTreeModel, ARenamedNodeMovesToItsPlaceAndLaterNodesSortAroundIt) {
  PFW_PROTO* http = const_cast<PFW_PROTO*>(Protocol("HTTP", 80));
  const PFW_PROTO* smtp = Protocol("SMTP", 25);
  const PFW_ADR* proxy = Address("Web Proxy");
  const PFW_APP* browser = App("Browser");
  RuleView web = Rule(http, proxy, browser, PFW_ALLOW), mail = Rule(smtp, proxy, browser, PFW_DENY);
  Insert(web);
  Insert(mail);
  strcpy(http->name, "Zebra");
  RuleTree::Insertion renamed = Insert(web, true);
  EXPECT_TRUE(renamed.levels[0].resort);
  EXPECT_FALSE(renamed.levels[1].resort);
  EXPECT_FALSE(Insert(web, true).levels[0].resort) << "an unchanged text moves nothing";
  auto top = [&] {
    std::string texts;
    for (int id : tree.Children(RuleTree::kNone)) texts += tree.at(id).text + ";";
    return texts;
  };
  EXPECT_EQ(top(), "SMTP;Zebra;");
  Insert(Rule(Protocol("Gopher", 70), proxy, browser, PFW_ALLOW));
  Insert(Rule(Protocol("any protocol", 0), proxy, browser, PFW_ALLOW));
  EXPECT_EQ(top(), "any protocol;Gopher;SMTP;Zebra;");
}

TEST(RuleTreeOrder, SiblingsSortWithoutRegardToCaseYetTotally) {
  EXPECT_LT(CompareNodeTexts("apple", "Banana"), 0);
  EXPECT_GT(CompareNodeTexts("Zebra", "smtp"), 0);
  EXPECT_LT(CompareNodeTexts("Mail", "Mail Relay"), 0);
  EXPECT_EQ(CompareNodeTexts("Same", "Same"), 0);
  EXPECT_NE(CompareNodeTexts("abc", "ABC"), 0);
  EXPECT_EQ(CompareNodeTexts("abc", "ABC"), -CompareNodeTexts("ABC", "abc"));
  EXPECT_LT(CompareNodeTexts("Z", "\xE9"), 0);  // bytes above 127 after the letters
}

}  // namespace
