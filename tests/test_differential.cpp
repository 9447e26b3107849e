// The library's rule lookup against the stepwise reference, on random rule sets,
// and under a second process that keeps changing the lists.
#include <gtest/gtest.h>
#include <stdio.h>

#include <random>
#include <string>
#include <vector>

#include "reference_lookup.h"
#include "store_fixture.h"

namespace {

const unsigned kPorts[] = {21, 25, 53, 80, 110, 443};
const char* kNames[] = {"IEXPLORE.EXE", "iexplore.exe", "NETSCAPE.EXE", "FTP.EXE", "C:\\WIN\\FTP.EXE", "MAIL.EXE"};

struct Connection {
  unsigned port;
  int transport;
  unsigned long address;
  const char* app;
  int direction;
};

class RandomRuleSet {
 public:
  // crowded: many entries of each list match one connection, more than the
  // lookup handles without its sorted index.
  explicit RandomRuleSet(uint32_t seed, bool crowded = false) : rng_(seed), crowded_(crowded) {}

  int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
  bool chance(int percent) { return pick(100) < percent; }

  unsigned long address() { return ip_of(10 + 182 * pick(2), pick(3), pick(4)); }

  // Addresses cluster in a few small nets so ranges overlap and single addresses hit.
  static unsigned long ip_of(int first, int third, int fourth) {
    return (unsigned long)(first | (168 << 8) | (third << 16) | (fourth << 24));
  }

  void fill(PFW_PROTO_ROOT* protocols, PFW_ADR_ROOT* addresses, PFW_APP_ROOT* apps, PFW_RULE_ROOT* rules) {
    // Wildcards usually exist, and usually first, as installed; sometimes late or missing.
    bool late_wildcards = chance(20);
    if (!late_wildcards) add_wildcards(protocols, addresses, apps);
    for (int i = entries(); i > 0; i--)
      PFW_AddProtocol(protocols, 0, "svc", (PFW_TRANSPORT)(crowded_ ? chance(20) : pick(2)),
                      kPorts[pick(crowded_ ? 2 : 6)]);
    for (int i = entries(); i > 0; i--) {
      int first = chance(50) ? 10 : 192;
      unsigned long lo = ip_of(first, pick(3), pick(4)), hi = ip_of(first, pick(3), pick(4));
      if (PFW_CompareAddresses(lo, hi) > 0) std::swap(lo, hi);
      bool single = chance(40);
      PFW_AddAddress(addresses, 0, lo, single ? lo : hi, "net", single ? PFW_SINGLE_ADDRESS : PFW_NETWORK_ADDRESS);
    }
    for (int i = crowded_ ? entries() : pick(6); i > 0; i--) PFW_AddApp(apps, 0, kNames[pick(crowded_ ? 2 : 6)], "app");
    if (late_wildcards) add_wildcards(protocols, addresses, apps);

    int keys[3] = {(int)protocols->next_key, (int)addresses->next_key, (int)apps->next_key};
    int any[3] = {(int)protocols->any_key, (int)addresses->any_key, (int)apps->any_key};
    // Half the parts name the wildcard, so rules mix general and specific as real sets do.
    auto part = [&](int i) { return chance(50) ? any[i] : pick(keys[i] + 1); };
    for (int i = pick(crowded_ ? 120 : 25); i > 0; i--) {
      int p = part(0), a = part(1), x = part(2);
      PFW_AddRule(rules, p, a, x, pick(2), pick(3), pick(2));
    }
    // Deleted entries leave rules that no combination reaches any more.
    for (int i = pick(3); i > 0; i--) PFW_DeleteProtocol(protocols, pick(keys[0]));
    for (int i = pick(3); i > 0; i--) PFW_DeleteAddress(addresses, pick(keys[1]));
    for (int i = pick(2); i > 0; i--) PFW_DeleteApp(apps, pick(keys[2]));
    for (int i = pick(4); i > 0; i--) PFW_DeleteRule(rules, pick((int)rules->next_key + 1));
  }

  Connection connection() {
    int choices = crowded_ ? 2 : 6;
    int transport = crowded_ ? chance(20) : pick(2);
    return Connection{chance(90) ? kPorts[pick(choices)] : 8080u, transport, address(), kNames[pick(choices)], pick(2)};
  }

 private:
  void add_wildcards(PFW_PROTO_ROOT* protocols, PFW_ADR_ROOT* addresses, PFW_APP_ROOT* apps) {
    if (chance(90)) PFW_AddProtocol(protocols, 1, "Any Protocol", PFW_TCP, 0);
    if (chance(90)) PFW_AddAddress(addresses, 1, 0, 0, "Any Address", PFW_SINGLE_ADDRESS);
    if (chance(90)) PFW_AddApp(apps, 1, "", "Any Application");
  }

  int entries() { return crowded_ ? 12 + pick(24) : pick(7); }

  std::mt19937 rng_;
  bool crowded_;
};

class DifferentialTest : public StoreTest {
 public:
  // Both lookups on random sets, a dozen connections each; counts lookups
  // compared and those a rule governed.
  void compare_on_random_sets(int sets, uint32_t seed, bool crowded, int& compared, int& found) {
    const int kConnections = 12;
    compared = found = 0;
    for (int set = 0; set < sets; set++) {
      RandomRuleSet gen(seed + set, crowded);
      gen.fill(protocols, addresses, apps, rules);
      for (int c = 0; c < kConnections; c++) {
        Connection k = gen.connection();
        int fast_key = -1, ref_key = -1;
        PFW_RULE fast_copy = {}, ref_copy = {};
        PFW_RULE* fast = PFW_GetRule(rules, addresses, protocols, apps, k.port, k.transport, k.address, k.app,
                                     k.direction, &fast_key, &fast_copy);
        PFW_RULE* ref = reference_get_rule(rules, addresses, protocols, apps, k.port, k.transport, k.address, k.app,
                                           k.direction, &ref_key, &ref_copy);
        ASSERT_EQ(fast != nullptr, ref != nullptr) << "set " << set << " connection " << c;
        if (fast) {
          ASSERT_EQ(fast_key, ref_key) << "set " << set << " connection " << c;
          ASSERT_EQ(fast, ref);
          ASSERT_EQ(0, memcmp(&fast_copy, &ref_copy, PFW_RULE_COPY_BYTES));
          found++;
        }
        compared++;
      }
      TearDown();
      SetUp();
    }
  }
};

// The test command compares the first few hundred sets of each kind; the full sweep
// (DifferentialSweep, ctest label "sweep") runs with the benchmarks. Same seeds, so
// the quick run is the sweep's first part.
constexpr int kRandomSets = 1500, kQuickRandomSets = 250;
constexpr int kCrowdedSets = 300, kQuickCrowdedSets = 50;
constexpr uint32_t kRandomSeed = 0x7A11u, kCrowdedSeed = 0xC40Du;

class DifferentialSweep : public DifferentialTest {};

void expect_random_sets_agree(DifferentialTest& t, int sets) {
  int compared = 0, found = 0;
  t.compare_on_random_sets(sets, kRandomSeed, false, compared, found);
  printf("differential: %d lookups compared, %d with a governing rule\n", compared, found);
  EXPECT_GT(found, compared / 8);  // the sets must actually exercise the scoring
  EXPECT_LT(found, compared);      // and the no-rule path
}

// Nine or more entries of one list matching a connection take the lookup's
// sorted-index path, which the small sets above never reach.
void expect_crowded_sets_agree(DifferentialTest& t, int sets) {
  int compared = 0, found = 0;
  t.compare_on_random_sets(sets, kCrowdedSeed, true, compared, found);
  printf("differential, crowded: %d lookups compared, %d with a governing rule\n", compared, found);
  EXPECT_GT(found, compared / 8);
  EXPECT_LT(found, compared);
}

TEST_F(DifferentialTest, FastLookupAgreesWithStepwiseReferenceOnRandomRuleSets) {
  expect_random_sets_agree(*this, kQuickRandomSets);
}

TEST_F(DifferentialSweep, FastLookupAgreesWithStepwiseReferenceOnEveryRandomRuleSet) {
  expect_random_sets_agree(*this, kRandomSets);
}

TEST_F(DifferentialSweep, FastLookupAgreesOnEveryCrowdedRuleSet) { expect_crowded_sets_agree(*this, kCrowdedSets); }

TEST_F(DifferentialTest, FastLookupAgreesWhenManyEntriesOfEachListMatch) {
  expect_crowded_sets_agree(*this, kQuickCrowdedSets);

  // Nine nested ranges hold one address; the rule on any one of them is found.
  for (int with_rule : {0, 4, 8}) {
    SCOPED_TRACE(with_rule);
    ASSERT_EQ(1, PFW_AddProtocol(protocols, 1, "Any Protocol", PFW_TCP, 0, 0));
    ASSERT_EQ(1, PFW_AddApp(apps, 1, "", "Any Application", 0));
    for (int i = 0; i < 9; i++)
      ASSERT_EQ(1, PFW_AddAddress(addresses, 0, RandomRuleSet::ip_of(10, 0, 0), RandomRuleSet::ip_of(10, 2, 9 + i),
                                  "nest", PFW_NETWORK_ADDRESS, (unsigned)i + 1));
    ASSERT_EQ(1, PFW_AddRule(rules, 0, with_rule + 1, 0, PFW_OUTBOUND, PFW_DENY, 0));
    int key = -1;
    PFW_RULE copy;
    ASSERT_NE(nullptr, PFW_GetRule(rules, addresses, protocols, apps, 80, PFW_TCP, RandomRuleSet::ip_of(10, 1, 1),
                                   "X.EXE", PFW_OUTBOUND, &key, &copy));
    EXPECT_EQ((uint32_t)with_rule + 1, copy.address_key);
    TearDown();
    SetUp();
  }
}

TEST_F(DifferentialTest, LookupsWithoutBothOutputsReportNoRuleAndWriteNothing) {
  ASSERT_EQ(1, PFW_AddProtocol(protocols, 1, "Any Protocol", PFW_TCP, 0, 0));
  ASSERT_EQ(1, PFW_AddAddress(addresses, 1, 0, 0, "Any Address", PFW_SINGLE_ADDRESS, 0));
  ASSERT_EQ(1, PFW_AddApp(apps, 1, "", "Any Application", 0));
  ASSERT_EQ(1, PFW_AddRule(rules, 0, 0, 0, PFW_OUTBOUND, PFW_ASK, 1));
  int key = 77;
  PFW_RULE copy;
  memset(&copy, 0xAB, sizeof copy);
  unsigned long a = ip("10.0.0.1");
  EXPECT_EQ(nullptr,
            PFW_GetRule(rules, addresses, protocols, apps, 80, PFW_TCP, a, "X.EXE", PFW_OUTBOUND, &key, nullptr));
  EXPECT_EQ(77, key);
  EXPECT_EQ(nullptr,
            PFW_GetRule(rules, addresses, protocols, apps, 80, PFW_TCP, a, "X.EXE", PFW_OUTBOUND, nullptr, &copy));
  EXPECT_EQ(0xABu, (unsigned char)((char*)&copy)[0]);
  // With both it answers, and takes at most one hold of each list.
  unsigned long long before = PFW_GetLockHoldCount();
  EXPECT_NE(nullptr,
            PFW_GetRule(rules, addresses, protocols, apps, 80, PFW_TCP, a, "X.EXE", PFW_OUTBOUND, &key, &copy));
  EXPECT_LE(PFW_GetLockHoldCount() - before, 4u);
  EXPECT_EQ(0, key);
  // An empty list answers without taking any hold.
  PFW_DeleteApp(apps, 0);
  before = PFW_GetLockHoldCount();
  EXPECT_EQ(nullptr,
            PFW_GetRule(rules, addresses, protocols, apps, 80, PFW_TCP, a, "X.EXE", PFW_OUTBOUND, &key, &copy));
  EXPECT_EQ(2u, PFW_GetLockHoldCount() - before);  // protocols and addresses; applications are empty
}

// While another process adds and deletes entries and rules, every answer is a rule
// that existed (its slot holds what the copy says), or null, and no lock is left taken.
TEST_F(DifferentialTest, LookupsStaySoundWhileAnotherProcessChangesTheLists) {
  ASSERT_EQ(1, PFW_AddProtocol(protocols, 1, "Any Protocol", PFW_TCP, 0, 0));
  ASSERT_EQ(1, PFW_AddAddress(addresses, 1, 0, 0, "Any Address", PFW_SINGLE_ADDRESS, 0));
  ASSERT_EQ(1, PFW_AddApp(apps, 1, "", "Any Application", 0));
  ASSERT_EQ(1, PFW_AddRule(rules, 0, 0, 0, PFW_INBOUND, PFW_DENY, 1));
  ASSERT_EQ(1, PFW_AddRule(rules, 0, 0, 0, PFW_OUTBOUND, PFW_ASK, 1));

  HANDLE go = CreateEventA(nullptr, TRUE, FALSE, "TarnwallChurnGo");
  HANDLE churn = start_helper("lookup_churn.exe 1200");
  ASSERT_NE(nullptr, churn);
  // Lookups race with the churn from whenever it has joined; the loop below runs until it ends.
  SetEvent(go);

  RandomRuleSet gen(99);
  int lookups = 0, answered = 0;
  auto rule_base = (char*)rules - PFW_ROOT_OFFSET;
  while (WaitForSingleObject(churn, 0) == WAIT_TIMEOUT || lookups < 200) {
    Connection k = gen.connection();
    k.app = "CHURN.EXE";
    int key = -1;
    PFW_RULE copy;
    PFW_RULE* r =
        PFW_GetRule(rules, addresses, protocols, apps, k.port, k.transport, k.address, k.app, k.direction, &key, &copy);
    lookups++;
    if (!r) continue;
    answered++;
    // The live pointer names a used slot of the rule mapping, and the slot is the copy's.
    uint32_t offset = (uint32_t)((char*)r - rule_base);
    ASSERT_GE(offset, PFW_RULE_FIRST_SLOT);
    ASSERT_EQ(0u, (offset - PFW_RULE_FIRST_SLOT) % sizeof(PFW_RULE));
    ASSERT_LT((offset - PFW_RULE_FIRST_SLOT) / sizeof(PFW_RULE), (uint32_t)rules->count);
    ASSERT_EQ((uint32_t)key, r->key);
    ASSERT_EQ(0, memcmp(&copy, r, PFW_RULE_COPY_BYTES));
    ASSERT_EQ(k.direction, copy.direction);
    ASSERT_LT(copy.key, rules->next_key);
  }
  DWORD code = 1;
  GetExitCodeProcess(churn, &code);
  CloseHandle(churn);
  CloseHandle(go);
  EXPECT_EQ(0u, code);
  printf("concurrency: %d lookups, %d answered with a rule\n", lookups, answered);
  EXPECT_GT(answered, 0);
  for (const char* name :
       {PFW_PROTOCOL_SEMAPHORE_NAME, PFW_ADDRESS_SEMAPHORE_NAME, PFW_APP_SEMAPHORE_NAME, PFW_RULE_SEMAPHORE_NAME})
    EXPECT_EQ(1, semaphore_count(name)) << name;
}

}  // namespace
