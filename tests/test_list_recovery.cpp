// The lists' lock with one owner: the structure check on damaged lists, the
// undo of a change its holder died in the middle of, several processes
// changing the lists at once, and holders killed at random moments.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "list_worker.h"
#include "owned_lock.h"
#include "registry_fixture.h"
#include "shared_list.h"

namespace {

std::string check(int list, void* root) {
  char problem[160] = "?";
  return PFW_CheckListStructure(list, root, problem, sizeof problem) ? "" : problem;
}

// A view of one list's journal, as another process would open it.
struct JournalView {
  HANDLE mapping = nullptr;
  tessary::ListJournal* j = nullptr;
  explicit JournalView(const char* semaphore_name) {
    std::string name = std::string(semaphore_name) + PFW_JOURNAL_SUFFIX;
    mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, name.c_str());
    if (mapping) j = (tessary::ListJournal*)MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
  }
  ~JournalView() {
    if (j) UnmapViewOfFile(j);
    if (mapping) CloseHandle(mapping);
  }
};

class ListStructureTest : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    ASSERT_EQ(PFW_AddProtocol(protocols, 1, "Any", PFW_TCP, 0), 1);
    ASSERT_EQ(PFW_AddProtocol(protocols, 0, "HTTP", PFW_TCP, 80), 1);
    for (int i = 0; i < 3; i++) ASSERT_EQ(PFW_AddRule(rules, i, 0, 0, PFW_OUTBOUND, PFW_ALLOW, 1), 1);
  }
  PFW_RULE* rule_at(uint32_t offset) { return (PFW_RULE*)(tessary::mapping_base(rules) + offset); }
};

TEST_F(ListStructureTest, SoundListsPassAndEachDamageIsNamed) {
  EXPECT_EQ(check(0, protocols), "");
  EXPECT_EQ(check(3, rules), "");
  EXPECT_EQ(check(1, addresses), "");  // empty

  // A cycle: the oldest rule links back to the newest.
  PFW_RULE* newest = rule_at(rules->head);
  PFW_RULE* oldest = rule_at(PFW_RULE_FIRST_SLOT);
  ASSERT_EQ(oldest->next, 0u);
  oldest->next = rules->head;
  EXPECT_NE(check(3, rules).find("cycle"), std::string::npos) << check(3, rules);
  oldest->next = 0;

  // Links outside the mapping, past the used slots and off a slot boundary.
  uint32_t head = rules->head;
  for (uint32_t bad : {70000u, PFW_RULE_FIRST_SLOT + 3 * 48u, PFW_RULE_FIRST_SLOT + 1u, 4u}) {
    rules->head = bad;
    EXPECT_NE(check(3, rules).find("not a used slot"), std::string::npos) << bad;
  }
  rules->head = head;
  newest->next = 70000u;
  EXPECT_NE(check(3, rules).find("not a used slot"), std::string::npos);
  newest->next = PFW_RULE_FIRST_SLOT + 48u;

  // Count and next key against the entries; an entry of the wrong kind.
  rules->next_key = 2;
  EXPECT_NE(check(3, rules).find("next key"), std::string::npos);
  rules->next_key = 3;
  rules->count = PFW_RULE_SLOTS + 1;
  EXPECT_NE(check(3, rules).find("count"), std::string::npos);
  rules->count = 3;
  newest->kind = PFW_KIND_APP;
  EXPECT_NE(check(3, rules).find("kind"), std::string::npos);
  newest->kind = PFW_KIND_RULE;
  newest->key = 0;
  EXPECT_NE(check(3, rules).find("twice"), std::string::npos);
  newest->key = 2;

  // any_key naming an entry that is not the wildcard.
  protocols->any_key = 1;
  EXPECT_NE(check(0, protocols).find("wildcard"), std::string::npos);
  protocols->any_key = 0;

  // A valid journal: a change half done.
  JournalView view(PFW_RULE_SEMAPHORE_NAME);
  ASSERT_TRUE(view.j);
  view.j->state = tessary::kJournalValid;
  EXPECT_NE(check(3, rules).find("half done"), std::string::npos);
  view.j->state = 0;
  EXPECT_EQ(check(3, rules), "");
  EXPECT_EQ(check(3, rules), "");
  EXPECT_EQ(check(7, rules), "no such list");
}

// A thread that takes the rule list's lock the way our processes do and ends
// without letting go; what it does first is up to the test.
template <typename Work>
void die_holding(Work work, bool take_semaphore = true) {
  struct Ctx {
    Work* work;
    bool take_semaphore;
  } ctx{&work, take_semaphore};
  HANDLE t = CreateThread(
      nullptr, 0,
      [](void* p) -> DWORD {
        Ctx* c = (Ctx*)p;
        HANDLE owner = OpenMutexA(SYNCHRONIZE, FALSE, PFW_RULE_SEMAPHORE_NAME PFW_OWNER_SUFFIX);
        HANDLE sem = OpenSemaphoreA(SYNCHRONIZE | SEMAPHORE_MODIFY_STATE, FALSE, PFW_RULE_SEMAPHORE_NAME);
        if (!owner || !sem || WaitForSingleObject(owner, 5000) != WAIT_OBJECT_0) return 1;
        if (c->take_semaphore && WaitForSingleObject(sem, 5000) != WAIT_OBJECT_0) return 2;
        (*c->work)();
        return 0;  // the mutex is abandoned as the thread ends, the semaphore stays taken
      },
      &ctx, 0, nullptr);
  ASSERT_TRUE(t);
  ASSERT_EQ(WaitForSingleObject(t, 10000), WAIT_OBJECT_0) << "the holding thread did not end";
  DWORD code = 9;
  GetExitCodeThread(t, &code);
  CloseHandle(t);
  ASSERT_EQ(code, 0u) << "the holding thread could not take the lock";
}

TEST_F(ListStructureTest, TheNextHoldUndoesAChangeItsHolderDiedInAndReleasesItsCount) {
  JournalView view(PFW_RULE_SEMAPHORE_NAME);
  ASSERT_TRUE(view.j);
  PFW_RULE_ROOT before = *rules;
  char* base = tessary::mapping_base(rules);
  uint64_t dead = PFW_GetDeadHolderCount(), undone = PFW_GetUndoneChangeCount();
  // Half an add: the root saved and the journal valid, count raised, head on a slot never filled.
  die_holding([&] {
    auto& r = view.j->range[0];
    r.offset = PFW_ROOT_OFFSET;
    r.size = sizeof(PFW_RULE_ROOT);
    memcpy(r.bytes, base + PFW_ROOT_OFFSET, r.size);
    view.j->ranges = 1;
    view.j->change = tessary::kChangeAdd;
    view.j->state = tessary::kJournalValid;
    rules->count = 4;
    rules->next_key = 4;
    rules->head = PFW_RULE_FIRST_SLOT + 3 * 48u;
  });
  PFW_RULE got;
  ASSERT_TRUE(PFW_GetRuleByIndex(rules, 2, &got));
  EXPECT_EQ(PFW_GetDeadHolderCount(), dead + 1);
  EXPECT_EQ(PFW_GetUndoneChangeCount(), undone + 1);
  EXPECT_EQ(memcmp(rules, &before, sizeof before), 0);
  EXPECT_EQ(check(3, rules), "");
  // The dead holder's count was carried on and given back once.
  EXPECT_EQ(semaphore_count(PFW_RULE_SEMAPHORE_NAME), 1);

  // Died after its commit point: the change stands.
  die_holding([&] {
    view.j->state = tessary::kJournalValid;
    rule_at(rules->head)->action = PFW_DENY;
    view.j->state = 0;
  });
  ASSERT_TRUE(PFW_GetRuleByIndex(rules, 2, &got));
  EXPECT_EQ(got.action, PFW_DENY);
  EXPECT_EQ(PFW_GetUndoneChangeCount(), undone + 1);

  // Died with the mutex alone: nothing to undo, and the semaphore is not released twice.
  die_holding([] {}, false);
  EXPECT_EQ(check(3, rules), "");
  EXPECT_EQ(PFW_GetDeadHolderCount(), dead + 3);
  EXPECT_EQ(semaphore_count(PFW_RULE_SEMAPHORE_NAME), 1);

  // A journal pointing outside the list is cleared, and nothing is written.
  die_holding([&] {
    view.j->range[0].offset = PFW_MAP_BYTES - 2;
    view.j->range[0].size = 64;
    view.j->ranges = 1;
    view.j->state = tessary::kJournalValid;
  });
  EXPECT_EQ(check(3, rules), "");
  EXPECT_EQ(PFW_GetUndoneChangeCount(), undone + 1);
}

// A creator that died after making the list's semaphore (made taken) and before
// setting the root and letting go: the next opener inherits the count and the
// list is usable, empty, with its semaphore free afterwards.
TEST(ListOpen, ACreatorThatDiedHoldingTheNewSemaphoreLeavesTheListToTheNextOpener) {
  struct Left {
    HANDLE owner = nullptr, mapping = nullptr, semaphore = nullptr;
  } left;
  HANDLE t = CreateThread(
      nullptr, 0,
      [](void* p) -> DWORD {
        Left* l = (Left*)p;
        l->owner = CreateMutexA(nullptr, FALSE, PFW_RULE_SEMAPHORE_NAME PFW_OWNER_SUFFIX);
        if (!l->owner || WaitForSingleObject(l->owner, 5000) != WAIT_OBJECT_0) return 1;
        l->mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, SEC_RESERVE | PAGE_READWRITE, 0, PFW_MAP_BYTES,
                                        PFW_RULE_MAP_NAME);
        l->semaphore = CreateSemaphoreA(nullptr, 0, 1, PFW_RULE_SEMAPHORE_NAME);
        return l->mapping && l->semaphore ? 0 : 2;  // ends holding the mutex and the semaphore's count
      },
      &left, 0, nullptr);
  ASSERT_TRUE(t);
  ASSERT_EQ(WaitForSingleObject(t, 10000), WAIT_OBJECT_0);
  DWORD code = 9;
  GetExitCodeThread(t, &code);
  CloseHandle(t);
  ASSERT_EQ(code, 0u);

  uint64_t dead = PFW_GetDeadHolderCount();
  PFW_RULE_ROOT* rules = PFW_CreateRuleList();
  ASSERT_TRUE(rules);
  EXPECT_EQ(PFW_GetDeadHolderCount(), dead + 1);
  EXPECT_EQ(rules->count, 0);
  EXPECT_EQ(PFW_AddRule(rules, 0, 0, 0, PFW_INBOUND, PFW_DENY, 1), 1);
  EXPECT_EQ(check(3, rules), "");
  // Free once: a wait succeeds and a second one does not.
  HANDLE sem = OpenSemaphoreA(SYNCHRONIZE | SEMAPHORE_MODIFY_STATE, FALSE, PFW_RULE_SEMAPHORE_NAME);
  ASSERT_TRUE(sem);
  EXPECT_EQ(WaitForSingleObject(sem, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(sem, 0), (DWORD)WAIT_TIMEOUT);
  ReleaseSemaphore(sem, 1, nullptr);
  CloseHandle(sem);
  PFW_RemoveRuleList(rules);
  CloseHandle(left.semaphore);
  CloseHandle(left.mapping);
  CloseHandle(left.owner);
}

// --- several processes ---------------------------------------------------

struct Tally {
  HANDLE mapping = nullptr;
  WorkerTally* t = nullptr;
  Tally() {
    mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(WorkerTally),
                                 TARNWALL_WORKER_TALLY_NAME);
    if (mapping) t = (WorkerTally*)MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(WorkerTally));
    if (t) memset(t, 0, sizeof *t);
  }
  ~Tally() {
    if (t) UnmapViewOfFile(t);
    if (mapping) CloseHandle(mapping);
  }
};

// A process that is ended when the test leaves, whatever way: a keeper stuck
// behind a dead holder must not outlive a failed test.
struct Child {
  HANDLE h;
  explicit Child(HANDLE process) : h(process) {}
  ~Child() {
    if (!h) return;
    if (WaitForSingleObject(h, 0) == WAIT_TIMEOUT) TerminateProcess(h, 98);
    CloseHandle(h);
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
};

struct Event {
  HANDLE h;
  explicit Event(const char* name, bool manual = true) : h(CreateEventA(nullptr, manual, FALSE, name)) {}
  ~Event() { CloseHandle(h); }
};

class ListRecoveryTest : public PersistTest {
 protected:
  void SetUp() override {
    PersistTest::SetUp();
    regtest::install_starting_set();
    load();
  }
  void load() {
    ASSERT_EQ(PFW_LoadProtocolSetFromRegistry(protocols), 1);
    ASSERT_EQ(PFW_LoadAddressSetFromRegistry(addresses), 1);
    ASSERT_EQ(PFW_LoadApplicationSetFromRegistry(apps), 1);
    ASSERT_EQ(PFW_LoadRuleSetFromRegistry(rules), 1);
  }
  void expect_sound() {
    void* roots[4] = {protocols, addresses, apps, rules};
    for (int list = 0; list < 4; list++) EXPECT_EQ(check(list, roots[list]), "") << "list " << list;
  }
  // Every registry value of a key, by name.
  static std::map<std::string, std::vector<unsigned char>> stored(const char* path) {
    std::map<std::string, std::vector<unsigned char>> out;
    for (const std::string& name : regtest::value_names(path)) {
      std::vector<unsigned char> data;
      if (regtest::read_value(path, name.c_str(), &data)) out[name] = data;
    }
    return out;
  }
};

TEST_F(ListRecoveryTest, FourProcessesChangingTheListsAtOnceLoseNothingAndTheRegistryAgrees) {
  Tally tally;
  ASSERT_TRUE(tally.t);
  Event go("TarnwallWorkGo");
  const int kWorkers = 4, kOps = 2000;
  std::vector<std::unique_ptr<Child>> workers;
  for (int i = 0; i < kWorkers; i++) {
    workers.push_back(std::make_unique<Child>(start_helper("list_worker.exe ops " + std::to_string(i) + " " +
                                                           std::to_string(kOps) + " " + std::to_string(1234 + i))));
    ASSERT_TRUE(workers.back()->h);
  }
  SetEvent(go.h);  // together, once all have been started
  for (int i = 0; i < kWorkers; i++) {
    ASSERT_EQ(WaitForSingleObject(workers[i]->h, 120000), WAIT_OBJECT_0) << "worker " << i << " did not end";
    DWORD code = 1;
    GetExitCodeProcess(workers[i]->h, &code);
    EXPECT_EQ(code, 0u) << "worker " << i;
  }
  expect_sound();

  uint32_t adds[4] = {}, deletes = 0, lookups = 0;
  for (int i = 0; i < kWorkers; i++) {
    for (int l = 0; l < 4; l++) adds[l] += tally.t->workers[i].adds[l];
    deletes += tally.t->workers[i].deletes;
    lookups += tally.t->workers[i].lookups;
  }
  EXPECT_GT(lookups, 0u);
  EXPECT_GT(deletes, 0u);

  // Every entry linked once, each key text once, and just the registry's records.
  auto protocol_values = stored(regtest::kProtocols);
  std::set<std::string> texts;
  int linked = 0;
  for (uint32_t k = 0; k < protocols->next_key; k++) {
    PFW_PROTO p;
    if (!PFW_GetProtocolByIndex(protocols, (int)k, &p)) continue;
    linked++;
    EXPECT_TRUE(texts.insert(p.key_text).second) << "protocol key text twice: " << p.key_text;
    auto v = protocol_values.find(std::to_string(k));
    ASSERT_NE(v, protocol_values.end()) << "protocol " << k << " is not in the registry";
    ASSERT_EQ(v->second.size(), sizeof(PFW_PROTO_RECORD));
    const PFW_PROTO_RECORD* r = (const PFW_PROTO_RECORD*)v->second.data();
    EXPECT_STREQ(r->name, p.name) << "protocol " << k;
    EXPECT_EQ(r->port, p.port);
  }
  EXPECT_EQ(linked, 1 + (int)adds[0]);
  EXPECT_EQ(protocol_values.size(), (size_t)linked);

  auto address_values = stored(regtest::kAddresses);
  texts.clear();
  linked = 0;
  for (uint32_t k = 0; k < addresses->next_key; k++) {
    PFW_ADR a;
    if (!PFW_GetAddressByIndex(addresses, (int)k, &a)) continue;
    linked++;
    EXPECT_TRUE(texts.insert(a.key_text).second) << "address key text twice: " << a.key_text;
    EXPECT_TRUE(address_values.count(std::to_string(k))) << "address " << k << " is not in the registry";
  }
  EXPECT_EQ(linked, 1 + (int)adds[1]);
  EXPECT_EQ(address_values.size(), (size_t)linked);

  auto app_values = stored(regtest::kApps);
  texts.clear();
  linked = 0;
  for (uint32_t k = 0; k < apps->next_key; k++) {
    PFW_APP x;
    if (!PFW_GetAppByIndex(apps, (int)k, &x)) continue;
    linked++;
    EXPECT_TRUE(texts.insert(x.key_text).second) << "application key text twice: " << x.key_text;
    auto v = app_values.find(std::to_string(k));
    ASSERT_NE(v, app_values.end()) << "application " << k << " is not in the registry";
    EXPECT_STREQ(((const PFW_APP_RECORD*)v->second.data())->description, x.description) << "application " << k;
  }
  EXPECT_EQ(linked, 1 + (int)adds[2]);
  EXPECT_EQ(app_values.size(), (size_t)linked);

  // Rules: the registry's set is the lists' set, action and log included.
  auto rule_values = stored(regtest::kRuleSet);
  std::map<std::string, std::tuple<int, int>> listed;
  for (uint32_t k = 0; k < rules->next_key; k++) {
    PFW_RULE r;
    if (!PFW_GetRuleByIndex(rules, (int)k, &r)) continue;
    std::string name = PFW_CreateRuleKey((int)r.protocol_key, (int)r.address_key, (int)r.app_key, r.direction);
    EXPECT_TRUE(listed.emplace(name, std::make_tuple(r.action, r.log)).second) << "rule twice: " << name;
  }
  EXPECT_EQ((int)listed.size(), 2 + (int)adds[3] - (int)deletes);
  std::map<std::string, std::tuple<int, int>> registered;
  for (auto& [name, data] : rule_values) {
    if (name == PFW_VALUE_LOG_FILE || data.size() != sizeof(PFW_RULE_RECORD)) continue;
    const PFW_RULE_RECORD* r = (const PFW_RULE_RECORD*)data.data();
    registered[name] = std::make_tuple(r->action, r->log);
  }
  EXPECT_TRUE(listed == registered) << listed.size() << " rules listed, " << registered.size() << " registered";
}

TEST_F(ListRecoveryTest, AHolderKilledAtAnyMomentNeverStallsTheOthersAndLeavesSoundLists) {
  Tally tally;
  ASSERT_TRUE(tally.t);
  Event probe("TarnwallProbe", false), done("TarnwallProbeDone", false), end("TarnwallKeeperEnd");
  Child keeper(start_helper("list_worker.exe keeper"));
  ASSERT_TRUE(keeper.h);
  std::mt19937 rng(20261208);
  const int kRounds = 50;
  int rounds_after_dead_holder = 0;
  uint64_t dead_before = 0;
  for (int round = 0; round < kRounds; round++) {
    tally.t->progress = 0;
    Child victim(start_helper("list_worker.exe churn " + std::to_string(100 + round)));
    ASSERT_TRUE(victim.h);
    // Killed after a random number of operations, at whatever step it has reached.
    LONG target = 1 + (LONG)(rng() % 40);
    DWORD waited_from = GetTickCount();
    while (tally.t->progress < target) {
      DWORD code = STILL_ACTIVE;
      GetExitCodeProcess(victim.h, &code);
      ASSERT_EQ(code, (DWORD)STILL_ACTIVE) << "round " << round << ": the worker ended by itself";
      ASSERT_LT(GetTickCount() - waited_from, 20000u)
          << "round " << round << ": the worker did not reach " << target << " operations";
      Sleep(1);
    }
    TerminateProcess(victim.h, 99);
    WaitForSingleObject(victim.h, INFINITE);

    // A stall behind the dead holder would never end: the bound only keeps a failing
    // run from hanging, and is far beyond any slow machine's check and lookup.
    SetEvent(probe.h);
    ASSERT_EQ(WaitForSingleObject(done.h, 60000), WAIT_OBJECT_0)
        << "round " << round << ": the keeper's structure check and lookup did not complete (stalled?)";
    EXPECT_TRUE(tally.t->probe.sound) << "round " << round << ": " << tally.t->probe.problem;
    if (tally.t->probe.dead_holders > dead_before) rounds_after_dead_holder++;
    dead_before = tally.t->probe.dead_holders;
  }
  printf("killed holders: %d of %d rounds found a dead holder, %llu half-done changes undone\n",
         rounds_after_dead_holder, kRounds, (unsigned long long)tally.t->probe.undone);
  // The kills must really land inside holds, or this would prove nothing.
  EXPECT_GE(rounds_after_dead_holder, 5);
  SetEvent(end.h);
  ASSERT_EQ(WaitForSingleObject(keeper.h, 10000), WAIT_OBJECT_0) << "the keeper did not end";

  // A later start loads the lists from the registry: every stored rule names stored entries.
  StoreTest::TearDown();
  StoreTest::SetUp();
  load();
  expect_sound();
  int rules_loaded = 0;
  for (uint32_t k = 0; k < rules->next_key; k++) {
    PFW_RULE r;
    if (!PFW_GetRuleByIndex(rules, (int)k, &r)) continue;
    rules_loaded++;
    EXPECT_TRUE(PFW_GetProtocolByIndex(protocols, (int)r.protocol_key, nullptr)) << "rule " << k;
    EXPECT_TRUE(PFW_GetAddressByIndex(addresses, (int)r.address_key, nullptr)) << "rule " << k;
    EXPECT_TRUE(PFW_GetAppByIndex(apps, (int)r.app_key, nullptr)) << "rule " << k;
  }
  EXPECT_GT(rules_loaded, 2);
}

}  // namespace
