// The lists between processes: a second process sees the same entries and adds
// its own; removing the lists in one process leaves them to the other; several
// processes adding the same entries at one moment leave exactly one of each.
#include <stdio.h>

#include <map>
#include <set>
#include <string>

#include "test_lists_fixture.h"

namespace {

std::string read_file(const std::string& path) {
  std::string out;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return "(no file " + path + ")";
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  fclose(f);
  return out;
}

class ListsProcessTest : public ListsTest {
 protected:
  void add_sample_set() {
    install_wildcards();
    ASSERT_EQ(1, PFW_AddProtocol(protocols, 0, "Web", PFW_TCP, 80));
    ASSERT_EQ(1, PFW_AddAddress(addresses, 0, ip("10.0.0.0"), ip("10.0.0.255"), "Office", PFW_NETWORK_ADDRESS));
    ASSERT_EQ(1, PFW_AddApp(apps, 0, "IEXPLORE.EXE", "Browser"));
    ASSERT_EQ(1, PFW_AddRule(rules, 0, 0, 0, PFW_INBOUND, PFW_DENY, 1));
    ASSERT_EQ(1, PFW_AddRule(rules, 0, 0, 0, PFW_OUTBOUND, PFW_ASK, 1));
    ASSERT_EQ(1, PFW_AddRule(rules, 1, 1, 1, PFW_OUTBOUND, PFW_ALLOW, 0));
  }

  void open_lists() {
    protocols = PFW_CreateProtocolList();
    addresses = PFW_CreateAddressList();
    apps = PFW_CreateAppList();
    rules = PFW_CreateRuleList();
    ASSERT_TRUE(protocols && addresses && apps && rules);
  }
  void remove_lists() {
    EXPECT_NE(0, PFW_RemoveRuleList(rules));
    EXPECT_NE(0, PFW_RemoveAppList(apps));
    EXPECT_NE(0, PFW_RemoveAddressList(addresses));
    EXPECT_NE(0, PFW_RemoveProtocolList(protocols));
  }
};

TEST_F(ListsProcessTest, AnotherProcessSeesTheSameListsAndWhatItAddsIsSeenHere) {
  add_sample_set();
  std::string mine = describe_lists(protocols, addresses, apps, rules);
  const std::string path = "list_helper_report.txt";
  ASSERT_EQ(0, run_helper("list_helper.exe report " + path));
  EXPECT_EQ(mine, read_file(path));
  DeleteFileA(path.c_str());

  // The helper has ended; what it added stays, in slots its process committed.
  int p = -1, a = -1, x = -1, key = -1;
  ASSERT_NE(nullptr, PFW_GetExactProtocolByService(protocols, PFW_UDP, 5000, &p, nullptr));
  ASSERT_NE(nullptr, PFW_GetAddressByName(addresses, "Helper host", &a, nullptr));
  ASSERT_NE(nullptr, PFW_GetExactAppByName(apps, "HELPER.EXE", &x, nullptr));
  EXPECT_EQ(2, p);
  EXPECT_EQ(2, x);
  PFW_RULE copy;
  PFW_RULE* r = PFW_GetRule(rules, addresses, protocols, apps, 5000, PFW_UDP, ip("10.9.9.9"), "HELPER.EXE",
                            PFW_OUTBOUND, &key, &copy);
  ASSERT_NE(nullptr, r);
  EXPECT_EQ(3, key);
  EXPECT_EQ(PFW_ASK, copy.action);
  EXPECT_EQ((uint32_t)a, copy.address_key);
  // The helper's adds continued this list's keys and slots.
  EXPECT_EQ(4, rules->count);
  EXPECT_EQ(3u, apps->next_key);
  expect_sound("another process added");
  expect_locks_free("another process added");
}

TEST_F(ListsProcessTest, RemovingTheListsInOneProcessLeavesThemIntactForTheOther) {
  add_sample_set();
  HANDLE ready = CreateEventA(nullptr, FALSE, FALSE, "TarnwallHelperReady");
  HANDLE go = CreateEventA(nullptr, FALSE, FALSE, "TarnwallHelperGo");
  ASSERT_TRUE(ready && go);
  const std::string path = "list_helper_hold.txt";
  std::string before = describe_lists(protocols, addresses, apps, rules);
  HANDLE helper = start_helper("list_helper.exe hold " + path);
  ASSERT_NE(nullptr, helper);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ready, 30000));
  EXPECT_EQ(before, read_file(path + ".1"));
  ASSERT_NE(nullptr, PFW_GetExactAppByName(apps, "HOLDER1.EXE", nullptr, nullptr));

  // This process lets go of all four lists; the helper still holds them.
  std::string held = describe_lists(protocols, addresses, apps, rules);
  remove_lists();
  SetEvent(go);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ready, 30000));
  EXPECT_EQ(held, read_file(path + ".2"));

  // Creating them again joins what the helper kept, its latest entry included.
  open_lists();
  EXPECT_EQ(1, PFW_AddApp(apps, 0, "BACK.EXE", "Back again"));
  EXPECT_EQ(5, apps->count);
  for (const char* name : {"IEXPLORE.EXE", "HOLDER1.EXE", "HOLDER2.EXE", "BACK.EXE"})
    EXPECT_NE(nullptr, PFW_GetExactAppByName(apps, name, nullptr, nullptr)) << name;
  EXPECT_EQ(3, rules->count);
  EXPECT_EQ(2u, addresses->next_key);

  // Now the helper lets go, and this process keeps everything.
  SetEvent(go);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(helper, 30000));
  DWORD code = 99;
  GetExitCodeProcess(helper, &code);
  EXPECT_EQ(0u, code);
  CloseHandle(helper);
  CloseHandle(ready);
  CloseHandle(go);
  DeleteFileA((path + ".1").c_str());
  DeleteFileA((path + ".2").c_str());
  EXPECT_NE(nullptr, PFW_GetExactAppByName(apps, "HOLDER2.EXE", nullptr, nullptr));
  int key = -1;
  PFW_RULE copy;
  ASSERT_NE(nullptr, PFW_GetRule(rules, addresses, protocols, apps, 80, PFW_TCP, ip("10.0.0.7"), "IEXPLORE.EXE",
                                 PFW_OUTBOUND, &key, &copy));
  EXPECT_EQ(2, key);
  expect_sound("the helper ended");
  expect_locks_free("the helper ended");
}

// Three helper processes and this one, released together by one event, create the
// lists (none exists yet) and add the same entries in the same order, meeting
// before each round so that they collide on every shared entry.
TEST_F(ListsProcessTest, ProcessesAddingTheSameEntriesAtOnceLeaveExactlyOneOfEach) {
  const int kHelpers = 3, kRounds = 100, kCompetitors = kHelpers + 1;
  remove_lists();
  HANDLE ready = CreateSemaphoreA(nullptr, 0, kHelpers, "TarnwallRaceReady");
  HANDLE done = CreateSemaphoreA(nullptr, 0, kHelpers, "TarnwallRaceDone");
  HANDLE go = CreateEventA(nullptr, TRUE, FALSE, "TarnwallRaceGo");
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, "TarnwallRaceRelease");
  HANDLE meeting = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(RaceBarrier),
                                      TARNWALL_RACE_BARRIER_NAME);
  ASSERT_TRUE(ready && done && go && release && meeting);
  auto* barrier = (RaceBarrier*)MapViewOfFile(meeting, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(RaceBarrier));
  ASSERT_NE(nullptr, barrier);
  barrier->arrived = 0;
  // However this test ends, the helpers are let go of and end too.
  struct LetGo {
    HANDLE event;
    ~LetGo() { SetEvent(event); }
  } let_go{release};
  HANDLE helpers[kHelpers];
  for (int id = 1; id <= kHelpers; id++) {
    helpers[id - 1] = start_helper("list_helper.exe race " + std::to_string(id) + " " + std::to_string(kRounds) + " " +
                                   std::to_string(kCompetitors));
    ASSERT_NE(nullptr, helpers[id - 1]);
  }
  auto exit_codes = [&] {
    std::string out;
    for (HANDLE h : helpers) {
      DWORD code = 0;
      GetExitCodeProcess(h, &code);
      out += ' ';
      out += code == STILL_ACTIVE ? std::string("running") : std::to_string(code);
    }
    return out;
  };
  for (int i = 0; i < kHelpers; i++) ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ready, 30000));
  SetEvent(go);
  open_lists();
  const int mine = race_adds(0, kRounds, protocols, addresses, apps, rules, barrier, kCompetitors);
  ASSERT_GE(mine, 0) << "a competitor went missing; helpers:" << exit_codes();
  int won = mine;
  for (int i = 0; i < kHelpers; i++)
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(done, 60000)) << "helpers:" << exit_codes();

  // Every list: the links are sound, every used slot has its own key, and
  // automatic keys were handed out without a gap.
  auto check_slots = [](const auto& w, int expected_count, const char* what) {
    EXPECT_EQ("", w.problem) << what;
    EXPECT_EQ(expected_count, w.count) << what;
    EXPECT_EQ((uint32_t)expected_count, w.next_key) << what;
    std::set<uint32_t> keys;
    for (const auto& e : w.slots) keys.insert(e.key);
    EXPECT_EQ((size_t)expected_count, keys.size()) << what << ": a key was given twice";
    if (!keys.empty()) {
      EXPECT_EQ((uint32_t)expected_count - 1, *keys.rbegin()) << what;
    }
  };
  auto pw = walk_list<PFW_PROTO>(protocols);
  auto aw = walk_list<PFW_ADR>(addresses);
  auto xw = walk_list<PFW_APP>(apps);
  auto rw = walk_list<PFW_RULE>(rules);
  check_slots(pw, kRounds + kCompetitors * kRounds, "protocols");
  check_slots(aw, kRounds, "addresses");
  check_slots(xw, kRounds, "applications");
  check_slots(rw, kRounds + kCompetitors * kRounds, "rules");

  // Exactly one entry per key text, each whole: its fields agree with its text.
  std::map<std::string, int> seen;
  for (const PFW_PROTO& e : pw.linked) {
    seen[e.key_text]++;
    EXPECT_STREQ(PFW_CreateProtocolKey(0, e.transport, e.port), e.key_text);
    if (e.transport == PFW_UDP) {
      EXPECT_EQ(1u, (e.port - 10000) % 1000 % 2) << e.port << " was deleted";
    }
  }
  for (const PFW_ADR& e : aw.linked) {
    seen[e.key_text]++;
    EXPECT_STREQ(PFW_CreateAddressKey(0, e.low, e.high, e.type), e.key_text);
  }
  for (const PFW_APP& e : xw.linked) {
    seen[e.key_text]++;
    EXPECT_STREQ(e.name, e.key_text);
  }
  std::set<std::string> rule_numbers;
  for (const PFW_RULE& e : rw.linked)
    EXPECT_TRUE(rule_numbers.insert(PFW_CreateRuleKey(e.protocol_key, e.address_key, e.app_key, e.direction)).second)
        << "two rules " << e.key_text;
  for (const auto& [text, n] : seen) EXPECT_EQ(1, n) << text;
  EXPECT_EQ((size_t)(kRounds + kCompetitors * kRounds / 2), pw.linked.size());
  EXPECT_EQ((size_t)kRounds, aw.linked.size());
  EXPECT_EQ((size_t)kRounds, xw.linked.size());
  EXPECT_EQ((size_t)(kRounds + kCompetitors * kRounds / 2), rw.linked.size());
  expect_locks_free("the race");

  SetEvent(release);
  std::string wins = std::to_string(mine);
  for (HANDLE h : helpers) {
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(h, 30000));
    DWORD code = 9999;
    GetExitCodeProcess(h, &code);
    EXPECT_LT(code, 1000u) << "a helper failed at step " << code;
    if (code < 1000) won += (int)code;
    wins += ' ';
    wins += std::to_string(code);
    CloseHandle(h);
  }
  // Each shared add was won by exactly one process.
  EXPECT_EQ(4 * kRounds, won);
  printf("race: %d processes tried the same %d adds; won by each: %s\n", kCompetitors, 4 * kRounds, wins.c_str());
  UnmapViewOfFile(barrier);
  for (HANDLE h : {ready, done, go, release, meeting}) CloseHandle(h);
}

}  // namespace
