// The four shared lists in one process: create and join, key texts and keys,
// duplicates, unlinking, the lookups and their outputs, cut strings, full lists.
#include <string.h>

#include <string>
#include <vector>

#include "test_lists_fixture.h"

namespace {

// A caller's output buffer, filled with a pattern so untouched bytes show.
template <typename Entry>
struct Poisoned {
  Entry e;
  Poisoned() { memset(&e, 0xAB, sizeof e); }
  bool untouched_from(size_t offset) const {
    for (size_t i = offset; i < sizeof e; i++)
      if (((const unsigned char*)&e)[i] != 0xAB) return false;
    return true;
  }
};

TEST_F(ListsTest, CreatingAgainJoinsTheSameMemoryAndRemovingOneViewLeavesTheOther) {
  ASSERT_EQ(1, PFW_AddProtocol(protocols, 0, "Web", PFW_TCP, 80));
  ASSERT_EQ(1, PFW_AddAddress(addresses, 0, ip("10.0.0.1"), ip("10.0.0.1"), "Gateway", PFW_SINGLE_ADDRESS));
  ASSERT_EQ(1, PFW_AddApp(apps, 0, "IEXPLORE.EXE", "Browser"));
  ASSERT_EQ(1, PFW_AddRule(rules, 0, 0, 0, PFW_OUTBOUND, PFW_ALLOW, 1));

  // Join and create are one operation; each gives this process a view of its own.
  PFW_PROTO_ROOT* p2 = PFW_JoinProtocolList();
  PFW_ADR_ROOT* a2 = PFW_CreateAddressList();
  PFW_APP_ROOT* x2 = PFW_JoinAppList();
  PFW_RULE_ROOT* r2 = PFW_CreateRuleList();
  ASSERT_TRUE(p2 && a2 && x2 && r2);
  EXPECT_NE((void*)protocols, (void*)p2);
  EXPECT_NE((void*)rules, (void*)r2);
  EXPECT_EQ(1, p2->count);
  EXPECT_NE(nullptr, PFW_GetExactProtocolByService(p2, PFW_TCP, 80, nullptr, nullptr));
  EXPECT_NE(nullptr, PFW_GetExactAddressByIP(a2, ip("10.0.0.1"), nullptr, nullptr));
  EXPECT_NE(nullptr, PFW_GetExactAppByName(x2, "IEXPLORE.EXE", nullptr, nullptr));
  EXPECT_NE(nullptr, PFW_GetRuleByNumbers(r2, 0, 0, 0, PFW_OUTBOUND, nullptr, nullptr));

  // What one view adds the other sees, at the same offset.
  ASSERT_EQ(1, PFW_AddProtocol(p2, 0, "Mail", PFW_TCP, 25));
  int key = -1;
  PFW_PROTO* mail = PFW_GetProtocolByName(protocols, "Mail", &key, nullptr);
  ASSERT_NE(nullptr, mail);
  EXPECT_EQ(1, key);
  EXPECT_EQ((char*)mail - (char*)protocols, (char*)PFW_GetProtocolByName(p2, "Mail", nullptr, nullptr) - (char*)p2);
  // The eight bytes before the root are never written.
  for (int i = 0; i < (int)PFW_ROOT_OFFSET; i++) EXPECT_EQ(0, ((char*)p2 - PFW_ROOT_OFFSET)[i]) << i;

  EXPECT_NE(0, PFW_RemoveProtocolList(p2));
  EXPECT_NE(0, PFW_RemoveAddressList(a2));
  EXPECT_NE(0, PFW_RemoveAppList(x2));
  EXPECT_NE(0, PFW_RemoveRuleList(r2));
  // The first views and their locks go on working.
  EXPECT_EQ(1, PFW_AddProtocol(protocols, 0, "News", PFW_TCP, 119));
  EXPECT_EQ(3, protocols->count);
  EXPECT_NE(nullptr, PFW_GetExactAddressByIP(addresses, ip("10.0.0.1"), nullptr, nullptr));
  EXPECT_EQ(1, PFW_AddRule(rules, 0, 0, 0, PFW_INBOUND, PFW_DENY, 0));
  expect_locks_free("a second view was removed");
  expect_sound("a second view was removed");
}

// The four lists as one object: a second set in the same process joins them; letting
// it go (twice, then destroying it) leaves the first set's lists whole; once the last
// set lets go, all four vanish and the next set starts from empty lists.
TEST_F(ListsTest, AListSetJoinsTheFourListsAndRemovesOnlyWhatItOpened) {
  ASSERT_EQ(1, PFW_AddProtocol(protocols, 0, "Web", PFW_TCP, 80));
  {
    tessary::ListSet second;
    ASSERT_TRUE(second.ok());
    EXPECT_NE((void*)second.protocols, (void*)protocols);
    EXPECT_NE(nullptr, PFW_GetExactProtocolByService(second.protocols, PFW_TCP, 80, nullptr, nullptr));
    ASSERT_EQ(1, PFW_AddApp(second.apps, 0, "FTP.EXE", "Files"));
    ASSERT_EQ(1, PFW_AddAddress(second.addresses, 0, ip("10.0.0.1"), ip("10.0.0.1"), "Gateway", PFW_SINGLE_ADDRESS));
    ASSERT_EQ(1, PFW_AddRule(second.rules, 0, 0, 0, PFW_INBOUND, PFW_DENY, 1));
    second.close();
    EXPECT_FALSE(second.ok());
    EXPECT_FALSE(second.load_from_registry());
    second.close();
  }
  EXPECT_NE(nullptr, PFW_GetExactAppByName(apps, "FTP.EXE", nullptr, nullptr));
  EXPECT_NE(nullptr, PFW_GetExactAddressByIP(addresses, ip("10.0.0.1"), nullptr, nullptr));
  EXPECT_EQ(1, rules->count);
  EXPECT_EQ(1, PFW_AddRule(rules, 0, 0, 0, PFW_OUTBOUND, PFW_ALLOW, 1));

  ASSERT_TRUE(reopen_lists());
  EXPECT_EQ(0, protocols->count);
  EXPECT_EQ(0, addresses->count);
  EXPECT_EQ(0, apps->count);
  EXPECT_EQ(0, rules->count);
}

TEST_F(ListsTest, WhenTheLastHolderRemovesAListTheNextCreateStartsEmpty) {
  ASSERT_EQ(1, PFW_AddProtocol(protocols, 0, "Web", PFW_TCP, 80));
  ASSERT_EQ(1, PFW_AddRule(rules, 1, 2, 3, PFW_OUTBOUND, PFW_ALLOW, 1));
  TearDown();
  SetUp();  // asserts both counts are 0 again
  EXPECT_EQ(0u, protocols->next_key);
  EXPECT_EQ(0u, rules->head);
  EXPECT_EQ(nullptr, PFW_GetExactProtocolByService(protocols, PFW_TCP, 80, nullptr, nullptr));
}

TEST_F(ListsTest, OnEmptyListsEveryLookupMissesLeavesOutputsAloneAndDeleteRefuses) {
  for (int round = 0; round < 2; round++) {
    int key = 77;
    Poisoned<PFW_PROTO> p;
    Poisoned<PFW_ADR> a;
    Poisoned<PFW_APP> x;
    Poisoned<PFW_RULE> r;
    unsigned long gw = ip("10.0.0.1");
    EXPECT_EQ(nullptr, PFW_GetProtocolByKey(protocols, "0;80", &key, &p.e));
    EXPECT_EQ(nullptr, PFW_GetProtocolByName(protocols, "Web", &key, &p.e));
    EXPECT_EQ(nullptr, PFW_GetProtocolByIndex(protocols, 0, &p.e));
    EXPECT_EQ(nullptr, PFW_GetProtocolByService(protocols, PFW_TCP, 80, &key, &p.e));
    EXPECT_EQ(nullptr, PFW_GetExactProtocolByService(protocols, PFW_TCP, 80, &key, &p.e));
    EXPECT_EQ(nullptr, PFW_GetAddressByIP(addresses, gw, &key, &a.e));
    EXPECT_EQ(nullptr, PFW_GetExactAddressByIP(addresses, gw, &key, &a.e));
    EXPECT_EQ(nullptr, PFW_GetExactAddressByRange(addresses, gw, gw, &key, &a.e));
    EXPECT_EQ(nullptr, PFW_GetAddressByIndex(addresses, 0, &a.e));
    EXPECT_EQ(nullptr, PFW_GetAddressByKey(addresses, "0;1;1", &key, &a.e));
    EXPECT_EQ(nullptr, PFW_GetAddressByName(addresses, "Gateway", &key, &a.e));
    EXPECT_EQ(nullptr, PFW_GetAppByName(apps, "IEXPLORE.EXE", &key, &x.e));
    EXPECT_EQ(nullptr, PFW_GetExactAppByName(apps, "IEXPLORE.EXE", &key, &x.e));
    EXPECT_EQ(nullptr, PFW_GetAppByDescription(apps, "Browser", &key, &x.e));
    EXPECT_EQ(nullptr, PFW_GetAppByIndex(apps, 0, &x.e));
    EXPECT_EQ(nullptr, PFW_GetRuleByNumbers(rules, 0, 0, 0, PFW_INBOUND, &key, &r.e));
    EXPECT_EQ(nullptr, PFW_GetRuleByIndex(rules, 0, &r.e));
    EXPECT_EQ(nullptr,
              PFW_GetRule(rules, addresses, protocols, apps, 80, PFW_TCP, gw, "X.EXE", PFW_INBOUND, &key, &r.e));
    EXPECT_EQ(77, key);
    EXPECT_TRUE(p.untouched_from(0) && a.untouched_from(0) && x.untouched_from(0) && r.untouched_from(0));
    EXPECT_EQ(0, PFW_DeleteProtocol(protocols, 0));
    EXPECT_EQ(0, PFW_DeleteAddress(addresses, 0));
    EXPECT_EQ(0, PFW_DeleteApp(apps, 0));
    EXPECT_EQ(0, PFW_DeleteRule(rules, 0));
    expect_locks_free(round ? "misses on emptied lists" : "misses on empty lists");
    if (round == 0) {
      // A list whose only entry was deleted is empty again, though its slot stays used.
      ASSERT_EQ(1, PFW_AddProtocol(protocols, 1, "Any Protocol", PFW_TCP, 0, 0));
      ASSERT_EQ(1, PFW_AddAddress(addresses, 1, 0, 0, "Any Address", PFW_SINGLE_ADDRESS, 0));
      ASSERT_EQ(1, PFW_AddApp(apps, 1, "", "Any Application", 0));
      ASSERT_EQ(1, PFW_AddRule(rules, 0, 0, 0, PFW_INBOUND, PFW_DENY, 0));
      ASSERT_EQ(1, PFW_DeleteProtocol(protocols, 0));
      ASSERT_EQ(1, PFW_DeleteAddress(addresses, 0));
      ASSERT_EQ(1, PFW_DeleteApp(apps, 0));
      ASSERT_EQ(1, PFW_DeleteRule(rules, 0));
      EXPECT_EQ(0u, protocols->head);
      EXPECT_EQ(1, protocols->count);
      EXPECT_EQ(1u, apps->next_key);
    }
  }
}

TEST_F(ListsTest, KeyTextsAreTheSignedDecimalsOfTheFieldsOrTheWildcardText) {
  EXPECT_STREQ("0;80", PFW_CreateProtocolKey(0, PFW_TCP, 80));
  EXPECT_STREQ("1;53", PFW_CreateProtocolKey(0, PFW_UDP, 53));
  EXPECT_STREQ("0;-1", PFW_CreateProtocolKey(0, PFW_TCP, 0xFFFFFFFFu));
  EXPECT_STREQ("<AnyProtocol>", PFW_CreateProtocolKey(1, PFW_TCP, 80));
  // Addresses are their fields read as little-endian integers.
  EXPECT_STREQ("0;16777343;16777343", PFW_CreateAddressKey(0, ip("127.0.0.1"), ip("127.0.0.1"), PFW_SINGLE_ADDRESS));
  EXPECT_STREQ("0;-1;-1", PFW_CreateAddressKey(0, ip("255.255.255.255"), ip("255.255.255.255"), 0));
  EXPECT_STREQ("1;10;-16777206", PFW_CreateAddressKey(0, ip("10.0.0.0"), ip("10.0.0.255"), PFW_NETWORK_ADDRESS));
  EXPECT_STREQ("<AnyAddress>", PFW_CreateAddressKey(2, 5, 6, PFW_NETWORK_ADDRESS));
  EXPECT_STREQ("IEXPLORE.EXE", PFW_CreateAppKey(0, "IEXPLORE.EXE"));
  EXPECT_STREQ("<AnyApplication>", PFW_CreateAppKey(1, "IEXPLORE.EXE"));
  EXPECT_STREQ("ABCDEFGHIJKLMNOPQRSTUVWXYZ012", PFW_CreateAppKey(0, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"));
  EXPECT_STREQ("1,2,3,0", PFW_CreateRuleKey(1, 2, 3, 0));
  EXPECT_STREQ("-2147483648,-2147483648,-2147483648,-2147483648",
               PFW_CreateRuleKey(INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN));

  // Entries carry the same texts as the builders give.
  ASSERT_EQ(1, PFW_AddProtocol(protocols, 0, "Web", PFW_TCP, 80));
  ASSERT_EQ(1, PFW_AddProtocol(protocols, 1, "Any Protocol", PFW_UDP, 7));
  ASSERT_EQ(1, PFW_AddAddress(addresses, 0, ip("127.0.0.1"), ip("127.0.0.1"), "Loopback", PFW_SINGLE_ADDRESS));
  ASSERT_EQ(1, PFW_AddAddress(addresses, 0, ip("10.0.0.0"), ip("10.0.0.255"), "Office", PFW_NETWORK_ADDRESS));
  ASSERT_EQ(1, PFW_AddApp(apps, 0, "IEXPLORE.EXE", "Browser"));
  ASSERT_EQ(1, PFW_AddApp(apps, 1, "whatever", "Any Application"));
  EXPECT_EQ((std::vector<std::string>{"<AnyProtocol>", "0;80"}), linked_texts(walk_list<PFW_PROTO>(protocols)));
  EXPECT_EQ((std::vector<std::string>{"1;10;-16777206", "0;16777343;16777343"}),
            linked_texts(walk_list<PFW_ADR>(addresses)));
  EXPECT_EQ((std::vector<std::string>{"<AnyApplication>", "IEXPLORE.EXE"}), linked_texts(walk_list<PFW_APP>(apps)));

  // A rule's field keeps what fits of its text; the builder keeps it all.
  ASSERT_EQ(1, PFW_AddRule(rules, 1, 2, 3, PFW_INBOUND, PFW_ALLOW, 0));
  ASSERT_EQ(1, PFW_AddRule(rules, 100, 20, 30, PFW_OUTBOUND, PFW_ALLOW, 0));    // exactly 11 characters
  ASSERT_EQ(1, PFW_AddRule(rules, 100, 200, 300, PFW_OUTBOUND, PFW_ALLOW, 0));  // 13 characters
  EXPECT_EQ((std::vector<std::string>{"100,200,300", "100,20,30,1", "1,2,3,0"}),
            linked_texts(walk_list<PFW_RULE>(rules)));
  EXPECT_STREQ("100,200,300,1", PFW_CreateRuleKey(100, 200, 300, 1));
  PFW_RULE* r = PFW_GetRuleByNumbers(rules, 100, 200, 300, PFW_OUTBOUND, nullptr, nullptr);
  ASSERT_NE(nullptr, r);
  EXPECT_EQ(100u, r->protocol_key);  // the cut text spilled into nothing
  EXPECT_EQ(200u, r->address_key);
  EXPECT_EQ(300u, r->app_key);
  expect_sound("key texts");
}

TEST_F(ListsTest, ExplicitKeysRaiseNextKeyPastTheLargestAndAutomaticKeysFollow) {
  ASSERT_EQ(1, PFW_AddProtocol(protocols, 0, "a", PFW_TCP, 1, 0));
  EXPECT_EQ(1u, protocols->next_key);
  ASSERT_EQ(1, PFW_AddProtocol(protocols, 0, "b", PFW_TCP, 2, 2));
  EXPECT_EQ(3u, protocols->next_key);
  ASSERT_EQ(1, PFW_AddProtocol(protocols, 0, "c", PFW_TCP, 3, 1));
  EXPECT_EQ(4u, protocols->next_key);  // max(3, 1) + 1
  ASSERT_EQ(1, PFW_AddProtocol(protocols, 0, "d", PFW_TCP, 4));
  EXPECT_EQ(5u, protocols->next_key);
  ASSERT_EQ(1, PFW_AddProtocol(protocols, 0, "e", PFW_TCP, 5, 3));
  EXPECT_EQ(6u, protocols->next_key);  // max(5, 3) + 1: an explicit key always moves it on
  const char* names[] = {"a", "c", "b", "e", "d"};
  for (int k = 0; k < 5; k++) {
    PFW_PROTO copy;
    ASSERT_NE(nullptr, PFW_GetProtocolByIndex(protocols, k, &copy)) << k;
    EXPECT_STREQ(names[k], copy.name);
  }

  // The comparison is unsigned: a key with the top bit set still raises next_key.
  ASSERT_EQ(1, PFW_AddAddress(addresses, 0, 1, 1, "a", PFW_SINGLE_ADDRESS, 7));
  ASSERT_EQ(1, PFW_AddAddress(addresses, 0, 2, 2, "b", PFW_SINGLE_ADDRESS, 0x80000000u));
  EXPECT_EQ(0x80000001u, addresses->next_key);
  ASSERT_EQ(1, PFW_AddAddress(addresses, 0, 3, 3, "c", PFW_SINGLE_ADDRESS));
  EXPECT_EQ(0x80000002u, addresses->next_key);
  PFW_ADR copy;
  ASSERT_NE(nullptr, PFW_GetAddressByIndex(addresses, (int)0x80000001u, &copy));
  EXPECT_STREQ("c", copy.name);

  // Applications: explicit then automatic; the wildcard's key is noted in the root.
  ASSERT_EQ(1, PFW_AddApp(apps, 0, "A.EXE", "a", 5));
  ASSERT_EQ(1, PFW_AddApp(apps, 1, "", "Any Application"));
  EXPECT_EQ(6u, apps->any_key);
  EXPECT_EQ(7u, apps->next_key);

  // Rules have automatic keys only, and a deleted rule's key is not given again.
  for (int i = 0; i < 3; i++) ASSERT_EQ(1, PFW_AddRule(rules, i, 0, 0, PFW_INBOUND, PFW_ALLOW, 0));
  ASSERT_EQ(1, PFW_DeleteRule(rules, 2));
  ASSERT_EQ(1, PFW_AddRule(rules, 2, 0, 0, PFW_INBOUND, PFW_ALLOW, 0));
  int key = -1;
  ASSERT_NE(nullptr, PFW_GetRuleByNumbers(rules, 2, 0, 0, PFW_INBOUND, &key, nullptr));
  EXPECT_EQ(3, key);
  EXPECT_EQ(4u, rules->next_key);
  expect_sound("explicit keys");
}

TEST_F(ListsTest, ExplicitKeysThatWouldBeGivenTwiceAreRefused) {
  // A key in use, or one after which next_key would wrap to 0 and hand out keys
  // again, would make two entries answer to one key.
  ASSERT_EQ(1, PFW_AddProtocol(protocols, 0, "Web", PFW_TCP, 80, 4));
  EXPECT_EQ(0, PFW_AddProtocol(protocols, 0, "Mail", PFW_TCP, 25, 4));
  EXPECT_EQ(0, PFW_AddAddress(addresses, 0, 1, 1, "a", PFW_SINGLE_ADDRESS, 0xFFFFFFFFu));
  EXPECT_EQ(0, PFW_AddApp(apps, 0, "A.EXE", "a", 0xFFFFFFFFu));
  EXPECT_EQ(1, protocols->count);
  EXPECT_EQ(5u, protocols->next_key);
  EXPECT_EQ(0, addresses->count);
  EXPECT_EQ(0u, apps->next_key);
  // The highest key that leaves room is given, and then automatic keys are at an end.
  ASSERT_EQ(1, PFW_AddApp(apps, 0, "A.EXE", "a", 0xFFFFFFFEu));
  EXPECT_EQ(0xFFFFFFFFu, apps->next_key);
  EXPECT_EQ(0, PFW_AddApp(apps, 0, "B.EXE", "b"));
  EXPECT_EQ(1, apps->count);
  expect_locks_free("refused keys");
  expect_sound("refused keys");
}

TEST_F(ListsTest, DuplicatesAreRefusedByKeyTextAndLeaveTheListAsItWas) {
  ASSERT_EQ(1, PFW_AddProtocol(protocols, 0, "Web", PFW_TCP, 80));
  EXPECT_EQ(0, PFW_AddProtocol(protocols, 0, "Browsing", PFW_TCP, 80));  // same "0;80"
  EXPECT_EQ(0, PFW_AddProtocol(protocols, 0, "Browsing", PFW_TCP, 80, 9));
  EXPECT_EQ(1, PFW_AddProtocol(protocols, 0, "Web", PFW_UDP, 80));  // names need not be unique
  ASSERT_EQ(1, PFW_AddProtocol(protocols, 1, "Any Protocol", PFW_TCP, 0));
  EXPECT_EQ(0, PFW_AddProtocol(protocols, 1, "Other Any", PFW_UDP, 99));  // one wildcard per list
  EXPECT_EQ(3, protocols->count);
  EXPECT_EQ(3u, protocols->next_key);
  EXPECT_EQ(2u, protocols->any_key);
  PFW_PROTO copy;
  ASSERT_NE(nullptr, PFW_GetProtocolByName(protocols, "Web", nullptr, &copy));
  EXPECT_EQ(PFW_UDP, copy.transport);  // the newest of the two named Web

  unsigned long gw = ip("10.0.0.1");
  ASSERT_EQ(1, PFW_AddAddress(addresses, 0, gw, gw, "Gateway", PFW_SINGLE_ADDRESS));
  EXPECT_EQ(0, PFW_AddAddress(addresses, 0, gw, gw, "Router", PFW_SINGLE_ADDRESS));
  EXPECT_EQ(1, PFW_AddAddress(addresses, 0, gw, gw, "Gateway net", PFW_NETWORK_ADDRESS));  // the type is part
  EXPECT_EQ(2, addresses->count);

  // Application names are compared case-sensitively, descriptions are not part of the identity.
  ASSERT_EQ(1, PFW_AddApp(apps, 0, "IEXPLORE.EXE", "Browser"));
  EXPECT_EQ(1, PFW_AddApp(apps, 0, "iexplore.exe", "Browser"));
  EXPECT_EQ(0, PFW_AddApp(apps, 0, "IEXPLORE.EXE", "Another browser"));
  EXPECT_EQ(1, PFW_AddApp(apps, 0, "C:\\IE\\IEXPLORE.EXE", "Browser"));
  // Names that agree in their first 29 characters are one entry once cut to the field.
  EXPECT_EQ(1, PFW_AddApp(apps, 0, "A_VERY_LONG_PROGRAM_NAME_1234.EXE", "long"));
  EXPECT_EQ(0, PFW_AddApp(apps, 0, "A_VERY_LONG_PROGRAM_NAME_1234X.EXE", "longer"));
  EXPECT_EQ(4, apps->count);

  ASSERT_EQ(1, PFW_AddRule(rules, 1, 2, 3, PFW_OUTBOUND, PFW_ALLOW, 1));
  EXPECT_EQ(0, PFW_AddRule(rules, 1, 2, 3, PFW_OUTBOUND, PFW_DENY, 0));
  PFW_RULE rule;
  ASSERT_NE(nullptr, PFW_GetRuleByNumbers(rules, 1, 2, 3, PFW_OUTBOUND, nullptr, &rule));
  EXPECT_EQ(PFW_ALLOW, rule.action);
  EXPECT_EQ(1, rule.log);
  EXPECT_EQ(1, PFW_AddRule(rules, 1, 2, 3, PFW_INBOUND, PFW_DENY, 0));
  EXPECT_EQ(1, PFW_AddRule(rules, 1, 2, 4, PFW_OUTBOUND, PFW_DENY, 0));
  EXPECT_EQ(3, rules->count);
  expect_locks_free("refused duplicates");

  // After a delete the same key text goes in again, with a new key in a new slot.
  int key = -1;
  ASSERT_NE(nullptr, PFW_GetExactProtocolByService(protocols, PFW_TCP, 80, &key, nullptr));
  ASSERT_EQ(1, PFW_DeleteProtocol(protocols, key));
  EXPECT_EQ(1, PFW_AddProtocol(protocols, 0, "Browsing", PFW_TCP, 80));
  int again = -1;
  ASSERT_NE(nullptr, PFW_GetExactProtocolByService(protocols, PFW_TCP, 80, &again, nullptr));
  EXPECT_EQ(3, again);
  EXPECT_EQ(4, protocols->count);
  EXPECT_EQ(PFW_FIRST_SLOT + 3 * sizeof(PFW_PROTO), protocols->head);
  expect_sound("duplicates");
}

// Five entries, then the middle, the newest and the oldest unlinked, then the rest.
template <typename Entry, typename Root, typename Add, typename Delete>
void check_unlinking(Root* root, Add add, Delete del) {
  using T = ListTraits<Entry>;
  uint32_t b = root->next_key, old_head = root->head;
  int32_t c = root->count;
  for (int i = 0; i < 5; i++) ASSERT_EQ(1, add(i)) << i;
  auto keys = [&] {  // of the entries added here
    std::vector<uint32_t> out;
    ListWalk<Entry> w = walk_list<Entry>(root);
    EXPECT_EQ("", w.problem);
    for (const Entry& e : w.linked)
      if (e.key >= b) out.push_back(e.key);
    return out;
  };
  ASSERT_EQ((std::vector<uint32_t>{b + 4, b + 3, b + 2, b + 1, b}), keys());
  EXPECT_EQ(1, del((int)(b + 2)));
  EXPECT_EQ((std::vector<uint32_t>{b + 4, b + 3, b + 1, b}), keys());
  EXPECT_EQ(1, del((int)(b + 4)));
  EXPECT_EQ(T::first + (uint32_t)(c + 3) * sizeof(Entry), root->head);
  EXPECT_EQ(1, del((int)b));
  ListWalk<Entry> w = walk_list<Entry>(root);
  EXPECT_EQ((std::vector<uint32_t>{b + 3, b + 1}), keys());
  for (const Entry& e : w.linked) {
    if (e.key == b + 1) {
      EXPECT_EQ(old_head, e.next);  // it now ends the entries added here
    }
  }
  EXPECT_EQ(0, del((int)(b + 2)));  // already unlinked
  EXPECT_EQ(0, del((int)(b + 100)));
  EXPECT_EQ(0, del(-1));
  // Slots keep their bytes and are never handed out again.
  EXPECT_EQ(c + 5, root->count);
  EXPECT_EQ(b + 5, root->next_key);
  EXPECT_EQ(b + 2, w.slots[c + 2].key);
  EXPECT_EQ(T::kind, w.slots[c + 2].kind);
  // Adding the unlinked middle entry again takes a new slot and key.
  EXPECT_EQ(1, add(2));
  EXPECT_EQ((std::vector<uint32_t>{b + 5, b + 3, b + 1}), keys());
  EXPECT_EQ(c + 6, root->count);
  for (uint32_t k : {b + 5, b + 3, b + 1}) EXPECT_EQ(1, del((int)k));
  EXPECT_EQ(old_head, root->head);
  EXPECT_EQ(0, del((int)(b + 1)));
}

TEST_F(ListsTest, DeletesUnlinkNewestMiddleAndOldestAndKeepTheOrderOfTheRest) {
  check_unlinking<PFW_PROTO>(
      protocols, [&](int i) { return PFW_AddProtocol(protocols, 0, "p", PFW_TCP, 100 + i); },
      [&](int k) { return PFW_DeleteProtocol(protocols, k); });
  check_unlinking<PFW_ADR>(
      addresses, [&](int i) { return PFW_AddAddress(addresses, 0, 10 + i, 10 + i, "a", PFW_SINGLE_ADDRESS); },
      [&](int k) { return PFW_DeleteAddress(addresses, k); });
  // Applications after an explicit key, so the keys do not start at 0.
  ASSERT_EQ(1, PFW_AddApp(apps, 1, "", "Any Application", 6));
  check_unlinking<PFW_APP>(
      apps, [&](int i) { return PFW_AddApp(apps, 0, std::string("APP").append(1, char('0' + i)).c_str(), "x"); },
      [&](int k) { return PFW_DeleteApp(apps, k); });
  EXPECT_NE(nullptr, PFW_GetAppByIndex(apps, 6, nullptr));
  check_unlinking<PFW_RULE>(
      rules, [&](int i) { return PFW_AddRule(rules, i, 0, 0, PFW_OUTBOUND, PFW_DENY, 0); },
      [&](int k) { return PFW_DeleteRule(rules, k); });
  expect_locks_free("deletes");
}

TEST_F(ListsTest, AHitFillsTheGivenOutputsWithACopyThatStopsBeforeTheLink) {
  install_wildcards();
  ASSERT_EQ(1, PFW_AddProtocol(protocols, 0, "Web", PFW_TCP, 80));
  ASSERT_EQ(1, PFW_AddAddress(addresses, 0, ip("10.0.0.1"), ip("10.0.0.1"), "Gateway", PFW_SINGLE_ADDRESS));
  ASSERT_EQ(1, PFW_AddApp(apps, 0, "IEXPLORE.EXE", "Browser"));
  ASSERT_EQ(1, PFW_AddRule(rules, 1, 1, 1, PFW_OUTBOUND, PFW_ASK, 1));
  int key = -1;
  {
    Poisoned<PFW_PROTO> out;
    PFW_PROTO* live = PFW_GetProtocolByName(protocols, "Web", &key, &out.e);
    ASSERT_NE(nullptr, live);
    EXPECT_EQ(1, key);
    EXPECT_EQ(0, memcmp(live, &out.e, PFW_PROTO_COPY_BYTES));
    EXPECT_TRUE(out.untouched_from(offsetof(PFW_PROTO, next)));
    EXPECT_EQ(72u, PFW_PROTO_COPY_BYTES);
  }
  {
    Poisoned<PFW_ADR> out;
    PFW_ADR* live = PFW_GetAddressByName(addresses, "Gateway", &key, &out.e);
    ASSERT_NE(nullptr, live);
    EXPECT_EQ(0, memcmp(live, &out.e, PFW_ADR_COPY_BYTES));
    EXPECT_TRUE(out.untouched_from(108));
  }
  {
    Poisoned<PFW_APP> out;
    PFW_APP* live = PFW_GetAppByDescription(apps, "Browser", &key, &out.e);
    ASSERT_NE(nullptr, live);
    EXPECT_EQ(0, memcmp(live, &out.e, PFW_APP_COPY_BYTES));
    EXPECT_TRUE(out.untouched_from(116));
    EXPECT_STREQ("Browser", out.e.description);
  }
  {
    Poisoned<PFW_RULE> out;
    PFW_RULE* live = PFW_GetRuleByIndex(rules, 0, &out.e);
    ASSERT_NE(nullptr, live);
    EXPECT_EQ(0, memcmp(live, &out.e, PFW_RULE_COPY_BYTES));
    EXPECT_TRUE(out.untouched_from(44));
    Poisoned<PFW_RULE> got;
    key = -1;
    EXPECT_EQ(live, PFW_GetRule(rules, addresses, protocols, apps, 80, PFW_TCP, ip("10.0.0.1"), "IEXPLORE.EXE",
                                PFW_OUTBOUND, &key, &got.e));
    EXPECT_EQ(0, key);
    EXPECT_EQ(0, memcmp(live, &got.e, PFW_RULE_COPY_BYTES));
    EXPECT_TRUE(got.untouched_from(44));
  }
  // Each output is optional on its own.
  key = -1;
  EXPECT_NE(nullptr, PFW_GetExactAppByName(apps, "IEXPLORE.EXE", &key, nullptr));
  EXPECT_EQ(1, key);
  PFW_PROTO p;
  EXPECT_NE(nullptr, PFW_GetProtocolByService(protocols, PFW_UDP, 53, nullptr, &p));
  EXPECT_EQ(1, p.any);
  EXPECT_NE(nullptr, PFW_GetAddressByIP(addresses, ip("1.2.3.4"), nullptr, nullptr));
  expect_locks_free("hits");
}

TEST_F(ListsTest, ProtocolLookupsByTextNameKeyAndServiceWithTheWildcardFallback) {
  ASSERT_EQ(1, PFW_AddProtocol(protocols, 0, "DNS", PFW_UDP, 53, 0));  // a specific entry holding key 0
  ASSERT_EQ(1, PFW_AddProtocol(protocols, 0, "Web", PFW_TCP, 80));
  ASSERT_EQ(1, PFW_AddProtocol(protocols, 0, "Web", PFW_TCP, 8080));
  int key = -1;
  ASSERT_NE(nullptr, PFW_GetProtocolByKey(protocols, "0;80", &key, nullptr));
  EXPECT_EQ(1, key);
  EXPECT_EQ(nullptr, PFW_GetProtocolByKey(protocols, "0;81", &key, nullptr));
  EXPECT_EQ(nullptr, PFW_GetProtocolByName(protocols, "web", &key, nullptr));
  ASSERT_NE(nullptr, PFW_GetProtocolByName(protocols, "Web", &key, nullptr));
  EXPECT_EQ(2, key);  // the newer of the two named Web
  PFW_PROTO copy;
  ASSERT_NE(nullptr, PFW_GetProtocolByIndex(protocols, 1, &copy));
  EXPECT_EQ(80u, copy.port);
  EXPECT_EQ(nullptr, PFW_GetProtocolByIndex(protocols, 3, &copy));
  EXPECT_EQ(nullptr, PFW_GetExactProtocolByService(protocols, PFW_UDP, 80, &key, nullptr));
  ASSERT_NE(nullptr, PFW_GetExactProtocolByService(protocols, PFW_TCP, 8080, &key, nullptr));
  EXPECT_EQ(2, key);

  // Without a wildcard, any_key is 0 and the fallback gives whatever holds key 0.
  key = -1;
  PFW_PROTO* fallback = PFW_GetProtocolByService(protocols, PFW_TCP, 25, &key, &copy);
  ASSERT_NE(nullptr, fallback);
  EXPECT_EQ(0, key);
  EXPECT_STREQ("DNS", copy.name);
  ASSERT_EQ(1, PFW_DeleteProtocol(protocols, 0));
  key = -1;
  EXPECT_EQ(nullptr, PFW_GetProtocolByService(protocols, PFW_TCP, 25, &key, nullptr));
  EXPECT_EQ(-1, key);

  ASSERT_EQ(1, PFW_AddProtocol(protocols, 1, "Any Protocol", PFW_TCP, 0));
  EXPECT_EQ(3u, protocols->any_key);
  PFW_PROTO* any = PFW_GetProtocolByService(protocols, PFW_TCP, 25, &key, &copy);
  ASSERT_NE(nullptr, any);
  EXPECT_EQ(3, key);
  EXPECT_EQ(1, copy.any);
  EXPECT_STREQ("<AnyProtocol>", any->key_text);
  EXPECT_EQ(nullptr, PFW_GetExactProtocolByService(protocols, PFW_TCP, 25, &key, nullptr));
  // A specific entry wins over the wildcard, however old.
  ASSERT_NE(nullptr, PFW_GetProtocolByService(protocols, PFW_TCP, 80, &key, nullptr));
  EXPECT_EQ(1, key);
  expect_locks_free("protocol lookups");
}

TEST(AddressOrder, AddressesCompareAsTheirDottedFormsRead) {
  EXPECT_EQ(0, PFW_CompareAddresses(ip("10.0.0.1"), ip("10.0.0.1")));
  EXPECT_EQ(1, PFW_CompareAddresses(ip("10.0.0.2"), ip("10.0.0.1")));
  EXPECT_EQ(-1, PFW_CompareAddresses(ip("10.0.0.1"), ip("10.0.0.2")));
  // The raw values in memory order say the opposite for these.
  EXPECT_EQ(1, PFW_CompareAddresses(ip("10.0.0.1"), ip("9.255.255.255")));
  EXPECT_LT(ip("10.0.0.1"), ip("9.255.255.255"));
  EXPECT_EQ(1, PFW_CompareAddresses(ip("192.168.0.1"), ip("10.255.255.255")));
  EXPECT_EQ(1, PFW_CompareAddresses(ip("10.0.1.0"), ip("10.0.0.255")));
  EXPECT_EQ(1, PFW_CompareAddresses(ip("255.255.255.255"), ip("0.0.0.0")));
  EXPECT_EQ(-1, PFW_CompareAddresses(ip("127.255.255.255"), ip("128.0.0.0")));  // no sign trouble
  EXPECT_EQ(1, PFW_CompareAddresses(ip("128.0.0.0"), ip("127.255.255.255")));
}

TEST_F(ListsTest, AddressLookupsByRangeExactAddressAndPair) {
  // Key 0 is far away: with no wildcard yet, by-IP misses fall back to it.
  ASSERT_EQ(1, PFW_AddAddress(addresses, 0, ip("172.16.0.1"), ip("172.16.0.1"), "Far", PFW_SINGLE_ADDRESS));
  // A range across an octet boundary: inside it only when compared octet by octet.
  ASSERT_EQ(1, PFW_AddAddress(addresses, 0, ip("10.0.0.250"), ip("10.0.1.5"), "Edge", PFW_NETWORK_ADDRESS));
  int key = -1;
  PFW_ADR copy;
  for (const char* in : {"10.0.0.250", "10.0.0.255", "10.0.1.0", "10.0.1.5"}) {
    EXPECT_NE(nullptr, PFW_GetAddressByIP(addresses, ip(in), &key, nullptr)) << in;
    EXPECT_EQ(1, key) << in;
  }
  for (const char* out : {"10.0.0.249", "10.0.1.6", "11.0.0.251", "9.0.1.0", "10.1.0.0", "192.168.1.1"}) {
    ASSERT_NE(nullptr, PFW_GetAddressByIP(addresses, ip(out), &key, &copy)) << out;
    EXPECT_EQ(0, key) << out;
    EXPECT_STREQ("Far", copy.name);
  }

  // Of two ranges that hold an address, the newer answers.
  ASSERT_EQ(1, PFW_AddAddress(addresses, 0, ip("10.0.0.0"), ip("10.255.255.255"), "Net ten", PFW_NETWORK_ADDRESS));
  ASSERT_NE(nullptr, PFW_GetAddressByIP(addresses, ip("10.0.1.0"), &key, &copy));
  EXPECT_STREQ("Net ten", copy.name);
  EXPECT_EQ(2, key);

  // Exact by address: low and high both equal it, whatever the type.
  ASSERT_EQ(1, PFW_AddAddress(addresses, 0, ip("10.0.1.0"), ip("10.0.1.0"), "Host net", PFW_NETWORK_ADDRESS));
  EXPECT_EQ(nullptr, PFW_GetExactAddressByIP(addresses, ip("10.0.0.250"), &key, nullptr));
  ASSERT_NE(nullptr, PFW_GetExactAddressByIP(addresses, ip("10.0.1.0"), &key, nullptr));
  EXPECT_EQ(3, key);

  // Exact by range, the pair given either way round.
  ASSERT_NE(nullptr, PFW_GetExactAddressByRange(addresses, ip("10.0.1.5"), ip("10.0.0.250"), &key, nullptr));
  EXPECT_EQ(1, key);
  ASSERT_NE(nullptr, PFW_GetExactAddressByRange(addresses, ip("10.0.0.250"), ip("10.0.1.5"), &key, nullptr));
  EXPECT_EQ(1, key);
  EXPECT_EQ(nullptr, PFW_GetExactAddressByRange(addresses, ip("10.0.0.250"), ip("10.0.1.4"), &key, nullptr));

  // A reversed pair keeps only its upper end, as a single address in both bounds.
  ASSERT_EQ(1, PFW_AddAddress(addresses, 0, ip("10.0.0.9"), ip("10.0.0.1"), "Backwards", PFW_NETWORK_ADDRESS));
  PFW_ADR* back = PFW_GetAddressByName(addresses, "Backwards", &key, &copy);
  ASSERT_NE(nullptr, back);
  EXPECT_EQ(ip("10.0.0.1"), copy.low);
  EXPECT_EQ(ip("10.0.0.1"), copy.high);
  EXPECT_STREQ(PFW_CreateAddressKey(0, ip("10.0.0.1"), ip("10.0.0.1"), PFW_NETWORK_ADDRESS), copy.key_text);
  EXPECT_EQ(nullptr, PFW_GetExactAddressByRange(addresses, ip("10.0.0.1"), ip("10.0.0.9"), &key, nullptr));
  EXPECT_EQ(back, PFW_GetExactAddressByIP(addresses, ip("10.0.0.1"), nullptr, nullptr));
  EXPECT_EQ(back, PFW_GetAddressByKey(addresses, copy.key_text, nullptr, nullptr));

  // Once there is a wildcard, misses fall back to it, with its key.
  ASSERT_EQ(1, PFW_AddAddress(addresses, 1, 0, 0, "Any Address", PFW_SINGLE_ADDRESS));
  key = -1;
  ASSERT_NE(nullptr, PFW_GetAddressByIP(addresses, ip("192.168.1.1"), &key, &copy));
  EXPECT_EQ(5, key);
  EXPECT_EQ(1, copy.any);
  EXPECT_EQ(nullptr, PFW_GetExactAddressByIP(addresses, ip("192.168.1.1"), nullptr, nullptr));
  // The wildcard takes no part in range matching: 10.0.1.0 still finds the newest range.
  ASSERT_NE(nullptr, PFW_GetAddressByIP(addresses, ip("10.0.1.0"), &key, nullptr));
  EXPECT_EQ(3, key);
  expect_locks_free("address lookups");
  expect_sound("address lookups");
}

TEST_F(ListsTest, ApplicationLookupsCompareNamesExactlyAndFallBackToTheWildcard) {
  ASSERT_EQ(1, PFW_AddApp(apps, 0, "IEXPLORE.EXE", "Browser"));
  ASSERT_EQ(1, PFW_AddApp(apps, 0, "NETSCAPE.EXE", "Browser"));
  int key = -1;
  PFW_APP copy;
  ASSERT_NE(nullptr, PFW_GetAppByDescription(apps, "Browser", &key, &copy));
  EXPECT_EQ(1, key);  // the newer of two with one description
  EXPECT_EQ(nullptr, PFW_GetAppByDescription(apps, "browser", &key, nullptr));
  for (const char* other : {"iexplore.exe", "C:\\IE\\IEXPLORE.EXE", "IEXPLORE", "IEXPLORE.EXE "}) {
    EXPECT_EQ(nullptr, PFW_GetExactAppByName(apps, other, &key, nullptr)) << other;
    // No wildcard yet: the fallback is whatever holds key 0.
    key = -1;
    ASSERT_NE(nullptr, PFW_GetAppByName(apps, other, &key, &copy)) << other;
    EXPECT_EQ(0, key);
    EXPECT_EQ(0, copy.any);
  }
  ASSERT_EQ(1, PFW_DeleteApp(apps, 0));
  EXPECT_EQ(nullptr, PFW_GetAppByName(apps, "iexplore.exe", &key, nullptr));
  ASSERT_EQ(1, PFW_AddApp(apps, 0, "IEXPLORE.EXE", "Browser", 0));
  ASSERT_EQ(1, PFW_AddApp(apps, 1, "", "Any Application"));
  key = -1;
  PFW_APP* any = PFW_GetAppByName(apps, "iexplore.exe", &key, &copy);
  ASSERT_NE(nullptr, any);
  EXPECT_EQ(3, key);  // the explicit key 0 moved next_key on to 3
  EXPECT_EQ(3u, apps->any_key);
  EXPECT_STREQ("<AnyApplication>", copy.key_text);
  EXPECT_EQ(nullptr, PFW_GetExactAppByName(apps, "iexplore.exe", &key, nullptr));
  ASSERT_NE(nullptr, PFW_GetAppByName(apps, "IEXPLORE.EXE", &key, &copy));
  EXPECT_EQ(0, key);
  EXPECT_STREQ("IEXPLORE.EXE", copy.name);
  ASSERT_NE(nullptr, PFW_GetAppByIndex(apps, 1, &copy));
  EXPECT_STREQ("NETSCAPE.EXE", copy.name);
  expect_locks_free("application lookups");
}

TEST_F(ListsTest, EveryStringIsCutToItsFieldAndTerminated) {
  std::string long_text(200, 'W');
  ASSERT_EQ(1, PFW_AddProtocol(protocols, 0, long_text.c_str(), PFW_UDP, 4242));
  ASSERT_EQ(1, PFW_AddAddress(addresses, 0, 5, 5, long_text.c_str(), PFW_NETWORK_ADDRESS));
  ASSERT_EQ(1, PFW_AddApp(apps, 0, long_text.c_str(), long_text.c_str()));
  ASSERT_EQ(1, PFW_AddProtocol(protocols, 0, nullptr, PFW_TCP, 1));
  ASSERT_EQ(1, PFW_AddApp(apps, 0, "N.EXE", nullptr));
  PFW_PROTO p;
  ASSERT_NE(nullptr, PFW_GetExactProtocolByService(protocols, PFW_UDP, 4242, nullptr, &p));
  EXPECT_EQ(std::string(19, 'W'), p.name);
  EXPECT_EQ(PFW_UDP, p.transport);  // the field after the name is intact
  EXPECT_EQ(4242u, p.port);
  PFW_ADR a;
  ASSERT_NE(nullptr, PFW_GetAddressByIndex(addresses, 0, &a));
  EXPECT_EQ(std::string(31, 'W'), a.name);
  EXPECT_EQ(PFW_NETWORK_ADDRESS, a.type);
  PFW_APP x;
  ASSERT_NE(nullptr, PFW_GetAppByIndex(apps, 0, &x));
  EXPECT_EQ(std::string(29, 'W'), x.name);
  EXPECT_EQ(std::string(29, 'W'), x.key_text);
  EXPECT_EQ(std::string(41, 'W'), x.description);
  // The cut name is what lookups find.
  EXPECT_NE(nullptr, PFW_GetExactAppByName(apps, std::string(29, 'W').c_str(), nullptr, nullptr));
  EXPECT_NE(nullptr, PFW_GetAppByDescription(apps, std::string(41, 'W').c_str(), nullptr, nullptr));
  // A missing text is stored empty.
  ASSERT_NE(nullptr, PFW_GetExactProtocolByService(protocols, PFW_TCP, 1, nullptr, &p));
  EXPECT_STREQ("", p.name);
  ASSERT_NE(nullptr, PFW_GetExactAppByName(apps, "N.EXE", nullptr, &x));
  EXPECT_STREQ("", x.description);
  // Texts that just fit are kept whole.
  ASSERT_EQ(1, PFW_AddProtocol(protocols, 0, std::string(19, 'F').c_str(), PFW_TCP, 2));
  EXPECT_NE(nullptr, PFW_GetProtocolByName(protocols, std::string(19, 'F').c_str(), nullptr, nullptr));
  expect_sound("long strings");
}

// Fills a list to its last slot; the next add is refused and nothing past the
// 65,535-byte mapping (nor in the tail before it) is written.
template <typename Entry, typename Root, typename Add, typename Delete>
void check_full_list(Root* root, Add add, Delete del) {
  using T = ListTraits<Entry>;
  for (uint32_t i = 0; i < T::slots; i++) ASSERT_EQ(1, add(i)) << "add " << i;
  ASSERT_EQ((int32_t)T::slots, root->count);
  uint32_t head = root->head, next_key = root->next_key;
  EXPECT_EQ(0, add(T::slots)) << "the add one past the last slot";
  EXPECT_EQ(0, add(T::slots + 1));
  EXPECT_EQ((int32_t)T::slots, root->count);
  EXPECT_EQ(next_key, root->next_key);
  EXPECT_EQ(head, root->head);
  const unsigned char* base = (const unsigned char*)root - PFW_ROOT_OFFSET;
  uint32_t end = T::first + T::slots * sizeof(Entry);
  MEMORY_BASIC_INFORMATION mbi;
  ASSERT_NE(0u, VirtualQuery(base + end, &mbi, sizeof mbi));
  ASSERT_EQ((DWORD)MEM_COMMIT, mbi.State);  // the tail shares the last slot's page
  for (uint32_t o = end; o < 65536; o++) EXPECT_EQ(0, base[o]) << "byte " << o << " was written";
  ListWalk<Entry> w = walk_list<Entry>(root);
  EXPECT_EQ("", w.problem);
  EXPECT_EQ(T::slots, w.linked.size());
  // A delete frees no slot: the list stays full.
  EXPECT_EQ(1, del(0));
  EXPECT_EQ(0, add(0));
  EXPECT_EQ(0, add(T::slots));
  EXPECT_EQ((int32_t)T::slots, root->count);
}

TEST_F(ListsTest, AFullListRefusesTheNextAddAndWritesNothingPastTheMapping) {
  check_full_list<PFW_PROTO>(
      protocols, [&](uint32_t i) { return PFW_AddProtocol(protocols, 0, "p", PFW_TCP, i); },
      [&](int k) { return PFW_DeleteProtocol(protocols, k); });
  check_full_list<PFW_ADR>(
      addresses, [&](uint32_t i) { return PFW_AddAddress(addresses, 0, i, i, "a", PFW_SINGLE_ADDRESS); },
      [&](int k) { return PFW_DeleteAddress(addresses, k); });
  check_full_list<PFW_APP>(
      apps, [&](uint32_t i) { return PFW_AddApp(apps, 0, ("APP" + std::to_string(i)).c_str(), "x"); },
      [&](int k) { return PFW_DeleteApp(apps, k); });
  check_full_list<PFW_RULE>(
      rules, [&](uint32_t i) { return PFW_AddRule(rules, (int)i, 0, 0, PFW_OUTBOUND, PFW_DENY, 0); },
      [&](int k) { return PFW_DeleteRule(rules, k); });
  // Full lists still answer, oldest and newest alike.
  EXPECT_NE(nullptr, PFW_GetExactProtocolByService(protocols, PFW_TCP, 1, nullptr, nullptr));
  EXPECT_NE(nullptr, PFW_GetExactProtocolByService(protocols, PFW_TCP, PFW_PROTOCOL_SLOTS - 1, nullptr, nullptr));
  EXPECT_NE(nullptr, PFW_GetExactAppByName(apps, "APP544", nullptr, nullptr));
  EXPECT_NE(nullptr, PFW_GetRuleByNumbers(rules, 1, 0, 0, PFW_OUTBOUND, nullptr, nullptr));
  EXPECT_NE(nullptr, PFW_GetRuleByIndex(rules, PFW_RULE_SLOTS - 1, nullptr));
  expect_locks_free("full lists");
}

}  // namespace
