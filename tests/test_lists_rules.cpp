// Rules and the lookup that picks the governing rule: every specificity level
// reached by real lookups, ties, directions, program names as given, and rules
// that no entry leads to any more.
#include <algorithm>
#include <string>
#include <vector>

#include "test_lists_fixture.h"

namespace {

// The eight combinations of specific (1) and wildcard (0) entries, most specific first.
struct Level {
  int p, x, a;  // protocol, application, address
  int score;
};
const Level kLevels[8] = {{1, 1, 1, 21}, {1, 1, 0, 12}, {1, 0, 1, 10}, {0, 1, 1, 6},
                          {1, 0, 0, 4},  {0, 1, 0, 2},  {0, 0, 1, 1},  {0, 0, 0, 0}};

class RuleLookupTest : public ListsTest {
 protected:
  // One connection: IEXPLORE.EXE to TCP port 80 at 10.0.0.1, outbound.
  PFW_RULE* lookup(int* key, PFW_RULE* copy, const char* app = "IEXPLORE.EXE", const char* address = "10.0.0.1",
                   unsigned port = 80, int direction = PFW_OUTBOUND) {
    *key = -1;
    return PFW_GetRule(rules, addresses, protocols, apps, port, PFW_TCP, ip(address), app, direction, key, copy);
  }

  // The wildcards and the connection's specific entries, in either order; returns
  // the specific entries' keys (the wildcards have key 0).
  void add_entries(bool wildcards_first, uint32_t* p, uint32_t* a, uint32_t* x) {
    if (wildcards_first) install_wildcards();
    *p = protocols->next_key;
    ASSERT_EQ(1, PFW_AddProtocol(protocols, 0, "Web", PFW_TCP, 80, *p));
    *a = addresses->next_key;
    ASSERT_EQ(1, PFW_AddAddress(addresses, 0, ip("10.0.0.1"), ip("10.0.0.1"), "Gateway", PFW_SINGLE_ADDRESS, *a));
    *x = apps->next_key;
    ASSERT_EQ(1, PFW_AddApp(apps, 0, "IEXPLORE.EXE", "Browser", *x));
    if (!wildcards_first) {
      // Keyed after the specific ones, so no wildcard holds key 0 here.
      ASSERT_EQ(1, PFW_AddProtocol(protocols, 1, "Any Protocol", PFW_TCP, 0, 9));
      ASSERT_EQ(1, PFW_AddAddress(addresses, 1, 0, 0, "Any Address", PFW_SINGLE_ADDRESS, 9));
      ASSERT_EQ(1, PFW_AddApp(apps, 1, "", "Any Application", 9));
    }
  }
};

// All eight levels at once; the lookup must give the highest, and after that
// rule is deleted the next highest, down to the all-wildcard rule and then none.
TEST_F(RuleLookupTest, EveryScoreLevelBeatsAllLowerLevelsInARealLookup) {
  const std::vector<std::vector<int>> orders = {
      {0, 1, 2, 3, 4, 5, 6, 7}, {7, 6, 5, 4, 3, 2, 1, 0}, {3, 7, 1, 5, 0, 6, 2, 4}, {6, 4, 2, 0, 7, 5, 3, 1}};
  int round = 0;
  for (bool wildcards_first : {true, false}) {
    for (const std::vector<int>& order : orders) {
      SCOPED_TRACE("round " + std::to_string(round++));
      uint32_t p, a, x;
      add_entries(wildcards_first, &p, &a, &x);
      uint32_t any = protocols->any_key;
      ASSERT_EQ(any, addresses->any_key);
      ASSERT_EQ(any, apps->any_key);
      int keys[8];
      for (int level : order) {
        const Level& l = kLevels[level];
        ASSERT_EQ(1, PFW_AddRule(rules, l.p ? p : any, l.a ? a : any, l.x ? x : any, PFW_OUTBOUND, level % 3, 0));
        keys[level] = (int)rules->next_key - 1;
        // The same numbers inbound never answer an outbound connection.
        ASSERT_EQ(1, PFW_AddRule(rules, l.p ? p : any, l.a ? a : any, l.x ? x : any, PFW_INBOUND, PFW_DENY, 1));
      }
      for (int level = 0; level < 8; level++) {
        int key;
        PFW_RULE copy;
        PFW_RULE* r = lookup(&key, &copy);
        ASSERT_NE(nullptr, r) << "score " << kLevels[level].score;
        EXPECT_EQ(keys[level], key) << "score " << kLevels[level].score << " should govern";
        EXPECT_EQ(PFW_OUTBOUND, copy.direction);
        EXPECT_EQ((uint32_t)key, r->key);
        EXPECT_EQ(kLevels[level].p ? p : any, copy.protocol_key);
        EXPECT_EQ(kLevels[level].a ? a : any, copy.address_key);
        EXPECT_EQ(kLevels[level].x ? x : any, copy.app_key);
        ASSERT_EQ(1, PFW_DeleteRule(rules, keys[level]));
      }
      int key;
      PFW_RULE copy;
      EXPECT_EQ(nullptr, lookup(&key, &copy));
      EXPECT_EQ(-1, key);
      TearDown();
      SetUp();
    }
  }
  expect_locks_free("the score levels");
}

// Typical pairs of rules, each settled by one lookup.
TEST_F(RuleLookupTest, SpecificityExamples) {
  install_wildcards();
  uint32_t p = 1, a = 1, x = 1;
  ASSERT_EQ(1, PFW_AddProtocol(protocols, 0, "Web", PFW_TCP, 80));
  ASSERT_EQ(1, PFW_AddAddress(addresses, 0, ip("10.0.0.1"), ip("10.0.0.1"), "Gateway", PFW_SINGLE_ADDRESS));
  ASSERT_EQ(1, PFW_AddApp(apps, 0, "IEXPLORE.EXE", "Browser"));
  int key;
  PFW_RULE copy;
  // (TCP 80, any, IE) scores 12: beats (TCP 80, any, any) at 4 and (any, 10.0.0.1, any) at 1.
  ASSERT_EQ(1, PFW_AddRule(rules, 0, a, 0, PFW_OUTBOUND, PFW_DENY, 0));  // key 0: 1
  ASSERT_EQ(1, PFW_AddRule(rules, p, 0, 0, PFW_OUTBOUND, PFW_DENY, 0));  // key 1: 4
  ASSERT_NE(nullptr, lookup(&key, &copy));
  EXPECT_EQ(1, key);
  ASSERT_EQ(1, PFW_AddRule(rules, p, 0, x, PFW_OUTBOUND, PFW_ALLOW, 0));  // key 2: 12
  ASSERT_NE(nullptr, lookup(&key, &copy));
  EXPECT_EQ(2, key);
  EXPECT_EQ(PFW_ALLOW, copy.action);
  // (any, 10.0.0.1, IE) scores 6 and beats (TCP 80, any, any) at 4.
  ASSERT_EQ(1, PFW_DeleteRule(rules, 2));
  ASSERT_EQ(1, PFW_AddRule(rules, 0, a, x, PFW_OUTBOUND, PFW_ASK, 0));  // key 3: 6
  ASSERT_NE(nullptr, lookup(&key, &copy));
  EXPECT_EQ(3, key);
  // Another program at the same address only reaches the protocol rule.
  ASSERT_NE(nullptr, lookup(&key, &copy, "NETSCAPE.EXE"));
  EXPECT_EQ(1, key);
  // Another port leaves (any, 10.0.0.1, IE) against (any, 10.0.0.1, any).
  ASSERT_NE(nullptr, lookup(&key, &copy, "IEXPLORE.EXE", "10.0.0.1", 81));
  EXPECT_EQ(3, key);
  ASSERT_NE(nullptr, lookup(&key, &copy, "NETSCAPE.EXE", "10.0.0.1", 81));
  EXPECT_EQ(0, key);
  // Nothing matches a connection elsewhere on another port without a wildcard rule.
  EXPECT_EQ(nullptr, lookup(&key, &copy, "NETSCAPE.EXE", "10.0.0.2", 81));
  expect_locks_free("specificity examples");
}

// Equal scores come only from several matching addresses (one specific entry per
// service and per program name); the address met first, the newest, decides,
// whatever the order of the rules.
TEST_F(RuleLookupTest, AmongEqualScoresTheNewestMatchingAddressDecides) {
  install_wildcards();
  ASSERT_EQ(1, PFW_AddProtocol(protocols, 0, "Web", PFW_TCP, 80));
  ASSERT_EQ(1, PFW_AddApp(apps, 0, "IEXPLORE.EXE", "Browser"));
  ASSERT_EQ(1, PFW_AddAddress(addresses, 0, ip("10.0.0.0"), ip("10.0.0.255"), "Office", PFW_NETWORK_ADDRESS));
  ASSERT_EQ(1, PFW_AddAddress(addresses, 0, ip("10.0.0.1"), ip("10.0.0.1"), "Gateway", PFW_SINGLE_ADDRESS));
  for (int app : {1, 0}) {  // score 21, then 10
    SCOPED_TRACE(app ? "specific application" : "any application");
    for (bool newest_rule_first : {false, true}) {
      int older = -1, newer = -1;
      if (newest_rule_first) {
        ASSERT_EQ(1, PFW_AddRule(rules, 1, 2, app, PFW_OUTBOUND, PFW_ALLOW, 0));
        newer = (int)rules->next_key - 1;
        ASSERT_EQ(1, PFW_AddRule(rules, 1, 1, app, PFW_OUTBOUND, PFW_DENY, 0));
        older = (int)rules->next_key - 1;
      } else {
        ASSERT_EQ(1, PFW_AddRule(rules, 1, 1, app, PFW_OUTBOUND, PFW_DENY, 0));
        older = (int)rules->next_key - 1;
        ASSERT_EQ(1, PFW_AddRule(rules, 1, 2, app, PFW_OUTBOUND, PFW_ALLOW, 0));
        newer = (int)rules->next_key - 1;
      }
      int key;
      PFW_RULE copy;
      ASSERT_NE(nullptr, lookup(&key, &copy, app ? "IEXPLORE.EXE" : "OTHER.EXE"));
      EXPECT_EQ(newer, key);
      EXPECT_EQ(2u, copy.address_key);
      // Outside the single address only the range matches.
      ASSERT_NE(nullptr, lookup(&key, &copy, app ? "IEXPLORE.EXE" : "OTHER.EXE", "10.0.0.7"));
      EXPECT_EQ(older, key);
      ASSERT_EQ(1, PFW_DeleteRule(rules, older));
      ASSERT_EQ(1, PFW_DeleteRule(rules, newer));
    }
  }
  // A third, newest range takes over; deleting that address entry hands back.
  ASSERT_EQ(1, PFW_AddRule(rules, 1, 1, 1, PFW_OUTBOUND, PFW_DENY, 0));
  ASSERT_EQ(1, PFW_AddRule(rules, 1, 2, 1, PFW_OUTBOUND, PFW_DENY, 0));
  ASSERT_EQ(1, PFW_AddAddress(addresses, 0, ip("10.0.0.0"), ip("10.0.0.15"), "Corner", PFW_NETWORK_ADDRESS));
  ASSERT_EQ(1, PFW_AddRule(rules, 1, 3, 1, PFW_OUTBOUND, PFW_ASK, 0));
  int key;
  PFW_RULE copy;
  ASSERT_NE(nullptr, lookup(&key, &copy));
  EXPECT_EQ(3u, copy.address_key);
  ASSERT_EQ(1, PFW_DeleteAddress(addresses, 3));
  ASSERT_NE(nullptr, lookup(&key, &copy));
  EXPECT_EQ(2u, copy.address_key);
  // At the lowest specific level too: any protocol, any program, two addresses.
  ASSERT_EQ(1, PFW_AddRule(rules, 0, 1, 0, PFW_INBOUND, PFW_DENY, 0));
  ASSERT_EQ(1, PFW_AddRule(rules, 0, 2, 0, PFW_INBOUND, PFW_ALLOW, 0));
  ASSERT_EQ(1, PFW_AddRule(rules, 0, 1, 0, PFW_OUTBOUND, PFW_DENY, 0));
  ASSERT_NE(nullptr, lookup(&key, &copy, "OTHER.EXE", "10.0.0.1", 9, PFW_INBOUND));
  EXPECT_EQ(2u, copy.address_key);
  EXPECT_EQ(PFW_ALLOW, copy.action);
  expect_locks_free("ties");
}

TEST_F(RuleLookupTest, WithOnlyTheDefaultRulesTheDirectionDecidesAndTheActionCanBeChangedInPlace) {
  install_wildcards();
  ASSERT_EQ(1, PFW_AddRule(rules, 0, 0, 0, PFW_INBOUND, PFW_DENY, 1));
  ASSERT_EQ(1, PFW_AddRule(rules, 0, 0, 0, PFW_OUTBOUND, PFW_ASK, 1));
  ASSERT_EQ(1, PFW_AddProtocol(protocols, 0, "Web", PFW_TCP, 80));
  ASSERT_EQ(1, PFW_AddApp(apps, 0, "IEXPLORE.EXE", "Browser"));
  int key;
  PFW_RULE copy;
  for (const char* app : {"IEXPLORE.EXE", "OTHER.EXE", ""}) {
    for (unsigned port : {80u, 25u}) {
      ASSERT_NE(nullptr, lookup(&key, &copy, app, "192.168.1.1", port, PFW_INBOUND));
      EXPECT_EQ(0, key);
      EXPECT_EQ(PFW_DENY, copy.action);
      ASSERT_NE(nullptr, lookup(&key, &copy, app, "192.168.1.1", port, PFW_OUTBOUND));
      EXPECT_EQ(1, key);
    }
  }
  EXPECT_NE(nullptr, PFW_GetRule(rules, addresses, protocols, apps, 80, PFW_TCP, ip("1.2.3.4"), nullptr, PFW_OUTBOUND,
                                 &key, &copy));
  // The editor changes a policy by writing through the live pointer.
  PFW_RULE* live = PFW_GetRuleByIndex(rules, 0, nullptr);
  ASSERT_NE(nullptr, live);
  live->action = PFW_ALLOW;
  ASSERT_EQ(live, lookup(&key, &copy, "X.EXE", "1.1.1.1", 21, PFW_INBOUND));
  EXPECT_EQ(PFW_ALLOW, copy.action);
}

TEST_F(RuleLookupTest, ProgramNamesMatchOnlyAsStoredAndRulesWithoutEntriesAreNeverReached) {
  install_wildcards();
  ASSERT_EQ(1, PFW_AddApp(apps, 0, "IEXPLORE.EXE", "Browser"));  // key 1
  ASSERT_EQ(1, PFW_AddRule(rules, 0, 0, 0, PFW_OUTBOUND, PFW_ASK, 1));
  ASSERT_EQ(1, PFW_AddRule(rules, 0, 0, 1, PFW_OUTBOUND, PFW_ALLOW, 0));
  int key;
  PFW_RULE copy;
  ASSERT_NE(nullptr, lookup(&key, &copy));
  EXPECT_EQ(1, key);
  for (const char* other : {"iexplore.exe", "C:\\PROGRA~1\\IE\\IEXPLORE.EXE", "IEXPLORE"}) {
    ASSERT_NE(nullptr, lookup(&key, &copy, other)) << other;
    EXPECT_EQ(0, key) << other;
  }
  // Rules naming keys that no entry holds are never candidates.
  ASSERT_EQ(1, PFW_AddRule(rules, 42, 0, 1, PFW_OUTBOUND, PFW_DENY, 0));
  ASSERT_EQ(1, PFW_AddRule(rules, 0, 42, 1, PFW_OUTBOUND, PFW_DENY, 0));
  ASSERT_NE(nullptr, lookup(&key, &copy));
  EXPECT_EQ(1, key);
  // Deleting the application leaves its rule in the list but out of reach.
  ASSERT_EQ(1, PFW_DeleteApp(apps, 1));
  ASSERT_NE(nullptr, lookup(&key, &copy));
  EXPECT_EQ(0, key);
  EXPECT_NE(nullptr, PFW_GetRuleByNumbers(rules, 0, 0, 1, PFW_OUTBOUND, nullptr, nullptr));
  // Without a wildcard entry, a list that has no match yields no candidate at all.
  ASSERT_EQ(1, PFW_DeleteApp(apps, 0));
  ASSERT_EQ(1, PFW_AddApp(apps, 0, "IEXPLORE.EXE", "Browser"));  // key 2
  ASSERT_EQ(1, PFW_AddRule(rules, 0, 0, 2, PFW_OUTBOUND, PFW_ALLOW, 0));
  EXPECT_EQ(nullptr, lookup(&key, &copy, "OTHER.EXE"));
  EXPECT_EQ(-1, key);
  ASSERT_NE(nullptr, lookup(&key, &copy));
  EXPECT_EQ(4, key);
  ASSERT_EQ(1, PFW_DeleteProtocol(protocols, 0));
  EXPECT_EQ(nullptr, lookup(&key, &copy));
  expect_locks_free("unreachable rules");
}

TEST_F(RuleLookupTest, RulesAreFoundByTheirFourNumbersAndByKey) {
  ASSERT_EQ(1, PFW_AddRule(rules, 1, 2, 3, PFW_OUTBOUND, PFW_ALLOW, 1));
  ASSERT_EQ(1, PFW_AddRule(rules, 1, 2, 3, PFW_INBOUND, PFW_DENY, 0));
  ASSERT_EQ(1, PFW_AddRule(rules, 3, 2, 1, PFW_OUTBOUND, PFW_ASK, 1));
  int key = -1;
  PFW_RULE copy;
  PFW_RULE* r = PFW_GetRuleByNumbers(rules, 1, 2, 3, PFW_INBOUND, &key, &copy);
  ASSERT_NE(nullptr, r);
  EXPECT_EQ(1, key);
  EXPECT_EQ(PFW_DENY, copy.action);
  EXPECT_EQ(PFW_KIND_RULE, copy.kind);
  EXPECT_EQ(r, PFW_GetRuleByIndex(rules, 1, nullptr));
  EXPECT_EQ(nullptr, PFW_GetRuleByNumbers(rules, 2, 1, 3, PFW_OUTBOUND, &key, nullptr));
  EXPECT_EQ(nullptr, PFW_GetRuleByNumbers(rules, 1, 2, 3, 2, &key, nullptr));
  ASSERT_NE(nullptr, PFW_GetRuleByIndex(rules, 2, &copy));
  EXPECT_EQ(3u, copy.protocol_key);
  EXPECT_EQ(1, copy.log);
  EXPECT_EQ(nullptr, PFW_GetRuleByIndex(rules, 3, &copy));
  EXPECT_EQ(nullptr, PFW_GetRuleByIndex(rules, -1, &copy));
  expect_locks_free("rule lookups");
}

}  // namespace
