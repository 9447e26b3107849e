// Changes to entries already in a list: a rule's action and the renames of
// protocols, addresses and applications. Each is made under one hold of its list,
// the renames refuse a text another entry has, and what the registry's modify
// functions store from the changed entry loads back into fresh lists unchanged.
#include <functional>
#include <string>

#include "registry_fixture.h"
#include "store_edits_race.h"

using namespace regtest;

namespace {

class EditsTest : public PersistTest {
 protected:
  void expect_locks_free(const std::string& after) {
    for (const char* name :
         {PFW_PROTOCOL_SEMAPHORE_NAME, PFW_ADDRESS_SEMAPHORE_NAME, PFW_APP_SEMAPHORE_NAME, PFW_RULE_SEMAPHORE_NAME})
      EXPECT_EQ(1, semaphore_count(name)) << name << " after " << after;
  }
  void expect_sound(const std::string& after) {
    EXPECT_EQ("", walk_list<PFW_PROTO>(protocols).problem) << "protocols after " << after;
    EXPECT_EQ("", walk_list<PFW_ADR>(addresses).problem) << "addresses after " << after;
    EXPECT_EQ("", walk_list<PFW_APP>(apps).problem) << "applications after " << after;
    EXPECT_EQ("", walk_list<PFW_RULE>(rules).problem) << "rules after " << after;
  }
  std::string describe() { return describe_lists(protocols, addresses, apps, rules); }

  // Lets go of the four lists (nothing else holds them, so they vanish) and
  // fills new ones from the registry; returns what the new ones hold.
  std::string reload() {
    if (!reopen_lists()) return "(lists not available)";
    if (protocols->next_key != 0 || rules->next_key != 0) return "(the old lists were still held)";
    lists_.load_from_registry();
    return describe();
  }
};

// One of the three renamable lists seen through the same few operations.
struct Renamable {
  const char* what;
  size_t field_offset, field_size, entry_bytes;
  std::function<int(int key, const char* text, std::string* copy)> rename;
  std::function<bool(int key, std::string* bytes)> get;  // the entry without its link
  std::function<std::string(const std::string& bytes)> text;
};

template <typename Entry, typename Root, size_t Size>
Renamable renamable(const char* what, Root* root, char (Entry::*field)[Size],
                    int (*rename)(Root*, int, const char*, Entry*), Entry* (*by_index)(Root*, int, Entry*)) {
  Entry probe = {};
  size_t offset = (size_t)((char*)&(probe.*field) - (char*)&probe);
  auto bytes_of = [](const Entry& e) { return std::string((const char*)&e, offsetof(Entry, next)); };
  return {what,
          offset,
          Size,
          offsetof(Entry, next),
          [=](int key, const char* text, std::string* copy) {
            Entry out;
            memset(&out, 0xAB, sizeof out);
            int done = rename(root, key, text, copy ? &out : nullptr);
            if (copy) *copy = done ? bytes_of(out) : "";
            return done;
          },
          [=](int key, std::string* bytes) {
            Entry out;
            if (!by_index(root, key, &out)) return false;
            *bytes = bytes_of(out);
            return true;
          },
          [=](const std::string& bytes) { return std::string(bytes.c_str() + offset); }};
}

}  // namespace

TEST_F(EditsTest, SetRuleActionChangesOnlyTheActionOfALinkedRule) {
  ASSERT_EQ(1, PFW_AddRule(rules, 0, 0, 0, PFW_INBOUND, PFW_DENY, 1));
  ASSERT_EQ(1, PFW_AddRule(rules, 0, 0, 0, PFW_OUTBOUND, PFW_ALLOW, 0));
  ASSERT_EQ(1, PFW_AddRule(rules, 4, 5, 6, PFW_OUTBOUND, PFW_ALLOW, 1));
  ASSERT_EQ(1, PFW_AddRule(rules, 7, 8, 9, PFW_INBOUND, PFW_ALLOW, 1));
  ASSERT_EQ(1, PFW_DeleteRule(rules, 3));
  PFW_RULE before;
  ASSERT_NE(nullptr, PFW_GetRuleByIndex(rules, 2, &before));

  PFW_RULE copy;
  ASSERT_EQ(1, PFW_SetRuleAction(rules, 2, PFW_ASK, &copy));
  PFW_RULE after;
  ASSERT_NE(nullptr, PFW_GetRuleByIndex(rules, 2, &after));
  EXPECT_EQ(PFW_ASK, after.action);
  EXPECT_EQ(0, memcmp(&after, &copy, PFW_RULE_COPY_BYTES)) << "the copy is the changed entry";
  after.action = before.action;
  EXPECT_EQ(0, memcmp(&after, &before, PFW_RULE_COPY_BYTES)) << "nothing but the action changed";
  // The default rules change their action like any other; the copy is optional;
  // setting the action a rule already has is done and changes nothing.
  EXPECT_EQ(1, PFW_SetRuleAction(rules, 1, PFW_DENY, nullptr));
  EXPECT_EQ(1, PFW_SetRuleAction(rules, 0, PFW_DENY, nullptr));
  PFW_RULE r;
  ASSERT_NE(nullptr, PFW_GetRuleByIndex(rules, 1, &r));
  EXPECT_EQ(PFW_DENY, r.action);
  ASSERT_NE(nullptr, PFW_GetRuleByIndex(rules, 0, &r));
  EXPECT_EQ(PFW_DENY, r.action);

  struct Refused {
    const char* why;
    PFW_RULE_ROOT* root;
    int key, action;
  } refused[] = {
      {"action 3", rules, 2, 3},
      {"action -1", rules, 2, -1},
      {"deleted rule", rules, 3, PFW_DENY},
      {"key never given", rules, 4, PFW_DENY},
      {"negative key", rules, -1, PFW_DENY},
      {"no list", nullptr, 2, PFW_DENY},
  };
  for (const Refused& c : refused) {
    EXPECT_EQ(0, PFW_SetRuleAction(c.root, c.key, c.action, &copy)) << c.why;
    expect_locks_free(c.why);
  }
  ASSERT_NE(nullptr, PFW_GetRuleByIndex(rules, 2, &r));
  EXPECT_EQ(PFW_ASK, r.action);
  // The unlinked rule keeps its bytes untouched.
  auto w = walk_list<PFW_RULE>(rules);
  ASSERT_EQ(4u, w.slots.size());
  EXPECT_EQ(PFW_ALLOW, w.slots[3].action);
  expect_sound("action changes");
}

// Every list holds its key-0 entry, two entries with texts of their own (keys 1
// and 2) and an unlinked one (key 3), whose text no longer belongs to anybody.
TEST_F(EditsTest, RenamesTakeAFreeTextAndRefuseOneAnotherEntryHas) {
  ASSERT_EQ(1, PFW_AddProtocol(protocols, 1, "Any Protocol", PFW_TCP, 0, 0));
  ASSERT_EQ(1, PFW_AddProtocol(protocols, 0, "Web", PFW_TCP, 80));
  ASSERT_EQ(1, PFW_AddProtocol(protocols, 0, "Mail", PFW_TCP, 25));
  ASSERT_EQ(1, PFW_AddProtocol(protocols, 0, "Old", PFW_UDP, 53));
  ASSERT_EQ(1, PFW_AddAddress(addresses, 1, 0, 0, "Any Address", PFW_SINGLE_ADDRESS, 0));
  ASSERT_EQ(1, PFW_AddAddress(addresses, 0, ip("10.0.0.0"), ip("10.0.0.255"), "Web", PFW_NETWORK_ADDRESS));
  ASSERT_EQ(1, PFW_AddAddress(addresses, 0, ip("10.0.0.2"), ip("10.0.0.2"), "Mail", PFW_SINGLE_ADDRESS));
  ASSERT_EQ(1, PFW_AddAddress(addresses, 0, ip("10.0.0.3"), ip("10.0.0.3"), "Old", PFW_SINGLE_ADDRESS));
  ASSERT_EQ(1, PFW_AddApp(apps, 1, "", "Any Application", 0));
  ASSERT_EQ(1, PFW_AddApp(apps, 0, "IEXPLORE.EXE", "Web"));
  ASSERT_EQ(1, PFW_AddApp(apps, 0, "MAILER.EXE", "Mail"));
  ASSERT_EQ(1, PFW_AddApp(apps, 0, "OLD.EXE", "Old"));
  ASSERT_EQ(1, PFW_DeleteProtocol(protocols, 3));
  ASSERT_EQ(1, PFW_DeleteAddress(addresses, 3));
  ASSERT_EQ(1, PFW_DeleteApp(apps, 3));

  const Renamable lists[] = {
      renamable("protocol", protocols, &PFW_PROTO::name, PFW_RenameProtocol, PFW_GetProtocolByIndex),
      renamable("address", addresses, &PFW_ADR::name, PFW_RenameAddress, PFW_GetAddressByIndex),
      renamable("application", apps, &PFW_APP::description, PFW_RenameApp, PFW_GetAppByIndex),
  };
  const std::string overlong(70, 'L');
  for (const Renamable& l : lists) {
    SCOPED_TRACE(l.what);
    std::string before[3], now, copy;
    for (int k = 0; k < 3; k++) ASSERT_TRUE(l.get(k, &before[k]));
    auto text_of = [&](int key) { return l.get(key, &now) ? l.text(now) : std::string("(gone)"); };
    const std::string key0 = l.text(before[0]);

    // A free text: the live entry and the copy carry it, nothing else changes.
    EXPECT_EQ(1, l.rename(1, "Renamed", &copy));
    ASSERT_TRUE(l.get(1, &now));
    EXPECT_EQ(now, copy);
    EXPECT_EQ("Renamed", l.text(now));
    EXPECT_EQ(before[1].substr(0, l.field_offset), now.substr(0, l.field_offset));
    EXPECT_EQ(before[1].substr(l.field_offset + l.field_size), now.substr(l.field_offset + l.field_size));

    struct Case {
      const char* why;
      int key;
      const char* text;
      int done;
      const char* key1_after;
      const char* key2_after;
    } cases[] = {
        {"another entry's text", 1, "Mail", 0, "Renamed", "Mail"},
        {"the key-0 entry's text", 2, key0.c_str(), 0, "Renamed", "Mail"},
        {"its own text", 1, "Renamed", 1, "Renamed", "Mail"},
        {"differs only in case", 2, "renamed", 1, "Renamed", "renamed"},
        {"an unlinked entry's text", 2, "Old", 1, "Renamed", "Old"},
        {"an unlinked entry", 3, "Back", 0, "Renamed", "Old"},
        {"the key-0 entry", 0, "Everything", 0, "Renamed", "Old"},
        {"a key never given", 99, "Nobody", 0, "Renamed", "Old"},
        {"an empty text", 1, "", 0, "Renamed", "Old"},
        {"no text", 1, nullptr, 0, "Renamed", "Old"},
    };
    for (const Case& c : cases) {
      EXPECT_EQ(c.done, l.rename(c.key, c.text, &copy)) << c.why;
      EXPECT_EQ(c.key1_after, text_of(1)) << c.why;
      EXPECT_EQ(c.key2_after, text_of(2)) << c.why;
      expect_locks_free(c.why);
    }
    ASSERT_TRUE(l.get(0, &now));
    EXPECT_EQ(before[0], now) << "the key-0 entry keeps its text";

    // An overlong text is cut to its field, and the cut text is what the
    // duplicate test sees: a second text with the same start is refused.
    EXPECT_EQ(1, l.rename(1, overlong.c_str(), &copy));
    ASSERT_TRUE(l.get(1, &now));
    EXPECT_EQ(overlong.substr(0, l.field_size - 1), l.text(now));
    EXPECT_EQ(before[1].substr(l.field_offset + l.field_size), now.substr(l.field_offset + l.field_size))
        << "the fields after the text";
    EXPECT_EQ(0, l.rename(2, (overlong + "different tail").c_str(), nullptr));
    EXPECT_EQ("Old", text_of(2));
  }
  EXPECT_EQ(0, PFW_RenameProtocol(nullptr, 1, "Web", nullptr));
  EXPECT_EQ(0, PFW_RenameAddress(nullptr, 1, "Web", nullptr));
  EXPECT_EQ(0, PFW_RenameApp(nullptr, 1, "Web", nullptr));
  // The renames left what connections are matched by as it was.
  EXPECT_NE(nullptr, PFW_GetExactAppByName(apps, "IEXPLORE.EXE", nullptr, nullptr));
  EXPECT_NE(nullptr, PFW_GetProtocolByKey(protocols, "0;80", nullptr, nullptr));
  expect_sound("renames");
}

TEST_F(EditsTest, ChangedEntriesStoredByTheModifyFunctionsLoadBackIntoFreshLists) {
  install_starting_set();
  PFW_PROTO_RECORD web = {1, 0, "Web", PFW_TCP, 80};
  PFW_ADR_RECORD office = {1, 0, ip("10.0.0.0"), ip("10.0.0.255"), "Office", PFW_NETWORK_ADDRESS};
  PFW_APP_RECORD browser = {1, 0, "IEXPLORE.EXE", "Browser"};
  PFW_RULE_RECORD rule = {1, 1, 1, PFW_OUTBOUND, PFW_ALLOW, 1};
  ASSERT_TRUE(write_value(kProtocols, "1", REG_BINARY, &web, sizeof web));
  ASSERT_TRUE(write_value(kAddresses, "1", REG_BINARY, &office, sizeof office));
  ASSERT_TRUE(write_value(kApps, "1", REG_BINARY, &browser, sizeof browser));
  ASSERT_TRUE(write_value(kRuleSet, "1,1,1,1", REG_BINARY, &rule, sizeof rule));
  std::string held = reload();
  ASSERT_NE(std::string::npos, held.find("[Office]")) << held;

  struct Change {
    const char* what;
    std::function<int()> change;  // the store's change, then the registry's write
    const char* shows;            // a line of the loaded lists that shows it
  } changes[] = {
      {"rule action",
       [&] {
         PFW_RULE c;
         return PFW_SetRuleAction(rules, 2, PFW_DENY, &c) && PFW_ModifyRuleInRegistry(c);
       },
       "R 2 [1,1,1,1] 1,1,1 dir=1 action=1 log=1"},
      {"default rule action",
       [&] {
         PFW_RULE c;
         return PFW_SetRuleAction(rules, 1, PFW_ASK, &c) && PFW_ModifyRuleInRegistry(c);
       },
       "R 1 [0,0,0,1] 0,0,0 dir=1 action=2 log=0"},
      {"protocol name",
       [&] {
         PFW_PROTO c;
         return PFW_RenameProtocol(protocols, 1, "World Wide Web", &c) && PFW_ModifyProtocolInRegistry(c);
       },
       "P 1 any=0 [0;80] [World Wide Web] 0/80"},
      {"address name",
       [&] {
         PFW_ADR c;
         return PFW_RenameAddress(addresses, 1, "Head office, second floor, east wing", &c) &&
                PFW_ModifyAddressInRegistry(c);
       },
       "[Head office, second floor, east]"},
      {"application description",
       [&] {
         PFW_APP c;
         return PFW_RenameApp(apps, 1, "The web browser everybody here uses daily", &c) &&
                PFW_ModifyApplicationInRegistry(c);
       },
       "X 1 any=0 [IEXPLORE.EXE] [IEXPLORE.EXE] [The web browser everybody here uses daily]"},
  };
  for (const Change& c : changes) {
    ASSERT_EQ(1, c.change()) << c.what;
    std::string live = describe();
    EXPECT_NE(std::string::npos, live.find(c.shows)) << c.what << "\n" << live;
    EXPECT_EQ(live, reload()) << c.what;
  }
  expect_locks_free("reloads");
}

// This process and a helper rename two different entries of each list to one
// text, meeting before every round so the two renames collide.
TEST_F(EditsTest, TwoProcessesRenamingDifferentEntriesToOneTextAtOnceLeaveOneWinner) {
  const int kRounds = 60;
  ASSERT_EQ(1, PFW_AddProtocol(protocols, 1, "Any Protocol", PFW_TCP, 0, 0));
  ASSERT_EQ(1, PFW_AddAddress(addresses, 1, 0, 0, "Any Address", PFW_SINGLE_ADDRESS, 0));
  ASSERT_EQ(1, PFW_AddApp(apps, 1, "", "Any Application", 0));
  for (int k = 1; k <= 2 * kRounds; k++) {
    std::string text = "Entry " + std::to_string(k);
    ASSERT_EQ(1, PFW_AddProtocol(protocols, 0, text.c_str(), PFW_TCP, 1000 + k));
    ASSERT_EQ(1,
              PFW_AddAddress(addresses, 0, ip_of(10, 2, 0, k), ip_of(10, 2, 0, k), text.c_str(), PFW_SINGLE_ADDRESS));
    ASSERT_EQ(1, PFW_AddApp(apps, 0, ("P" + std::to_string(k) + ".EXE").c_str(), text.c_str()));
  }
  HANDLE ready = CreateEventA(nullptr, FALSE, FALSE, "TarnwallRenameReady");
  HANDLE meeting = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(RaceBarrier),
                                      TARNWALL_RENAME_BARRIER_NAME);
  ASSERT_TRUE(ready && meeting);
  auto* barrier = (RaceBarrier*)MapViewOfFile(meeting, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(RaceBarrier));
  ASSERT_NE(nullptr, barrier);
  barrier->arrived = 0;
  HANDLE helper = start_helper("store_edits_helper.exe " + std::to_string(kRounds));
  ASSERT_NE(nullptr, helper);
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ready, 30000));
  int mine = rename_race(0, kRounds, protocols, addresses, apps, barrier);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(helper, 60000));
  DWORD theirs = 9999;
  GetExitCodeProcess(helper, &theirs);
  CloseHandle(helper);
  UnmapViewOfFile(barrier);
  CloseHandle(meeting);
  CloseHandle(ready);
  ASSERT_GE(mine, 0) << "the helper never met this process";
  ASSERT_LT(theirs, 1000u) << "the helper failed";
  EXPECT_EQ(3 * kRounds, mine + (int)theirs);

  // Every round left its text on exactly one entry of each list; the loser kept its own.
  for (int i = 0; i < kRounds; i++) {
    char same[32];
    rename_race_text(same, sizeof same, i);
    int a = rename_race_key(0, i), b = rename_race_key(1, i);
    PFW_PROTO pa, pb;
    PFW_ADR aa, ab;
    PFW_APP xa, xb;
    ASSERT_TRUE(PFW_GetProtocolByIndex(protocols, a, &pa) && PFW_GetProtocolByIndex(protocols, b, &pb));
    ASSERT_TRUE(PFW_GetAddressByIndex(addresses, a, &aa) && PFW_GetAddressByIndex(addresses, b, &ab));
    ASSERT_TRUE(PFW_GetAppByIndex(apps, a, &xa) && PFW_GetAppByIndex(apps, b, &xb));
    std::pair<std::string, std::string> pairs[] = {
        {pa.name, pb.name}, {aa.name, ab.name}, {xa.description, xb.description}};
    for (auto& [ta, tb] : pairs) {
      EXPECT_TRUE((ta == same) != (tb == same)) << "round " << i << ": " << ta << " / " << tb;
      const std::string& loser = ta == same ? tb : ta;
      EXPECT_EQ("Entry " + std::to_string(ta == same ? b : a), loser) << "round " << i;
    }
  }
  expect_locks_free("the race");
  expect_sound("the race");
}
