// Registry persistence: the layout other programs read, the loads that fill empty
// lists, and the damaged values a load must pass over without harm.
#include <stdlib.h>

#include "registry_fixture.h"

using namespace regtest;

namespace {

PFW_PROTO proto_entry(uint32_t key, const char* name, int transport, unsigned port) {
  PFW_PROTO e = {};
  e.key = key;
  strcpy(e.name, name);
  e.transport = transport;
  e.port = port;
  return e;
}

PFW_RULE rule_entry(uint32_t p, uint32_t a, uint32_t x, int direction, int action, int log) {
  PFW_RULE e = {};
  e.protocol_key = p;
  e.address_key = a;
  e.app_key = x;
  e.direction = direction;
  e.action = action;
  e.log = log;
  return e;
}

// Keys of the list from newest to oldest.
std::vector<uint32_t> protocol_keys(PFW_PROTO_ROOT* root) {
  std::vector<uint32_t> keys;
  for (uint32_t off = root->head; off; off = ((PFW_PROTO*)((char*)root - PFW_ROOT_OFFSET + off))->next)
    keys.push_back(((PFW_PROTO*)((char*)root - PFW_ROOT_OFFSET + off))->key);
  return keys;
}

}  // namespace

// --- Loads -----------------------------------------------------------------

TEST_F(PersistTest, EmptyKeysLoadNothingAndAFilledListIsNotLoadedAgain) {
  EXPECT_EQ(PFW_LoadProtocolSetFromRegistry(protocols), 1);
  EXPECT_EQ(PFW_LoadRuleSetFromRegistry(rules), 1);
  EXPECT_EQ(protocols->head, 0u);
  EXPECT_EQ(rules->count, 0);

  ASSERT_EQ(PFW_AddProtocol(protocols, 0, "Web", PFW_TCP, 80), 1);
  PFW_PROTO_RECORD stored = {9, 0, "Mail", PFW_TCP, 25};
  ASSERT_TRUE(write_value(kProtocols, "9", REG_BINARY, &stored, sizeof stored));
  EXPECT_EQ(PFW_LoadProtocolSetFromRegistry(protocols), 0);
  EXPECT_EQ(protocols->count, 1);
  EXPECT_EQ(PFW_LoadProtocolSetFromRegistry(nullptr), 0);
}

TEST_F(PersistTest, EntriesRoundTripThroughTheRegistryWithTheirKeys) {
  PFW_PROTO p = proto_entry(7, "Web", PFW_TCP, 80);
  PFW_PROTO any = proto_entry(3, "Any Protocol", 0, 0);
  any.any = 1;
  PFW_ADR a = {};
  a.key = 4;
  a.low = ip("10.0.0.1");
  a.high = ip("10.0.0.9");
  strcpy(a.name, "Office");
  a.type = PFW_NETWORK_ADDRESS;
  PFW_APP x = {};
  x.key = 12;
  strcpy(x.name, "IEXPLORE.EXE");
  strcpy(x.description, "The browser");
  ASSERT_EQ(PFW_AddProtocolIntoRegistry(p), 1);
  ASSERT_EQ(PFW_AddProtocolIntoRegistry(any), 1);
  ASSERT_EQ(PFW_AddAddressIntoRegistry(a), 1);
  ASSERT_EQ(PFW_AddApplicationIntoRegistry(x), 1);

  // The stored records have the sizes and offsets other programs read.
  std::vector<unsigned char> raw;
  DWORD type = 0;
  ASSERT_TRUE(read_value(kProtocols, "7", &raw, &type));
  EXPECT_EQ(type, (DWORD)REG_BINARY);
  ASSERT_EQ(raw.size(), 36u);
  EXPECT_EQ(*(uint32_t*)&raw[32], 80u);
  EXPECT_STREQ((char*)&raw[8], "Web");
  ASSERT_TRUE(read_value(kAddresses, "4", &raw));
  ASSERT_EQ(raw.size(), 52u);
  EXPECT_EQ(*(uint32_t*)&raw[8], ip("10.0.0.1"));
  EXPECT_EQ(*(int32_t*)&raw[48], PFW_NETWORK_ADDRESS);
  ASSERT_TRUE(read_value(kApps, "12", &raw));
  ASSERT_EQ(raw.size(), 80u);
  EXPECT_STREQ((char*)&raw[38], "The browser");

  ASSERT_EQ(PFW_LoadProtocolSetFromRegistry(protocols), 1);
  ASSERT_EQ(PFW_LoadAddressSetFromRegistry(addresses), 1);
  ASSERT_EQ(PFW_LoadApplicationSetFromRegistry(apps), 1);
  PFW_PROTO gp;
  int key = -1;
  ASSERT_TRUE(PFW_GetExactProtocolByService(protocols, PFW_TCP, 80, &key, &gp));
  EXPECT_EQ(key, 7);
  EXPECT_STREQ(gp.name, "Web");
  EXPECT_EQ(protocols->any_key, 3u);
  EXPECT_EQ(protocols->next_key, 8u);
  PFW_ADR ga;
  ASSERT_TRUE(PFW_GetExactAddressByRange(addresses, ip("10.0.0.1"), ip("10.0.0.9"), &key, &ga));
  EXPECT_EQ(key, 4);
  EXPECT_STREQ(ga.name, "Office");
  PFW_APP gx;
  ASSERT_TRUE(PFW_GetExactAppByName(apps, "IEXPLORE.EXE", &key, &gx));
  EXPECT_EQ(key, 12);
  EXPECT_STREQ(gx.description, "The browser");
}

TEST_F(PersistTest, LoadsInKeyOrderWhateverTheEnumerationOrder) {
  PFW_PROTO_RECORD five = {5, 0, "Five", PFW_TCP, 5}, two = {2, 0, "Two", PFW_TCP, 2},
                   ten = {10, 0, "Ten", PFW_TCP, 10};
  // Written 5, 10, 2; some registries list values by name ("10" before "2").
  ASSERT_TRUE(write_value(kProtocols, "5", REG_BINARY, &five, sizeof five));
  ASSERT_TRUE(write_value(kProtocols, "10", REG_BINARY, &ten, sizeof ten));
  ASSERT_TRUE(write_value(kProtocols, "2", REG_BINARY, &two, sizeof two));
  ASSERT_EQ(PFW_LoadProtocolSetFromRegistry(protocols), 1);
  EXPECT_EQ(protocols->next_key, 11u);
  EXPECT_EQ(protocol_keys(protocols), (std::vector<uint32_t>{10, 5, 2}));
}

// Each start that adds an entry must leave next_key where the entries end, or
// the keys, and every walk over them, grow with every start.
TEST_F(RegistryTest, FiftyStartsThatEachAddAnEntryLeaveNoGapsInTheKeys) {
  install_starting_set();
  constexpr int kCycles = 50;
  for (int i = 1; i <= kCycles; i++) {
    PFW_APP_ROOT* apps = PFW_CreateAppList();
    ASSERT_TRUE(apps);
    ASSERT_EQ(apps->count, 0) << "another holder keeps the list alive";
    ASSERT_EQ(PFW_LoadApplicationSetFromRegistry(apps), 1);
    std::string name = "PROGRAM" + std::to_string(i) + ".EXE";
    ASSERT_EQ(PFW_AddApp(apps, 0, name.c_str(), "cycle"), 1);
    int key = -1;
    PFW_APP added;
    ASSERT_TRUE(PFW_GetExactAppByName(apps, name.c_str(), &key, &added));
    EXPECT_EQ(key, i) << "cycle " << i;
    ASSERT_EQ(PFW_AddApplicationIntoRegistry(added), 1);
    PFW_RemoveAppList(apps);
  }
  PFW_APP_ROOT* apps = PFW_CreateAppList();
  ASSERT_EQ(PFW_LoadApplicationSetFromRegistry(apps), 1);
  EXPECT_EQ(apps->next_key, (uint32_t)kCycles + 1);
  EXPECT_EQ(apps->count, kCycles + 1);
  for (int i = 1; i <= kCycles; i++) {
    int key = -1;
    EXPECT_TRUE(PFW_GetExactAppByName(apps, ("PROGRAM" + std::to_string(i) + ".EXE").c_str(), &key, nullptr));
    EXPECT_EQ(key, i);
  }
  PFW_RemoveAppList(apps);
}

TEST_F(PersistTest, DamagedRecordsAreSkippedOrReadWithZerosNeverWithLeftovers) {
  // Values are read one after another into the same kind of buffer: a short
  // record must not inherit the bytes of the one read before it.
  PFW_PROTO_RECORD full = {1, 0, "Full record", PFW_UDP, 4444};
  ASSERT_TRUE(write_value(kProtocols, "1", REG_BINARY, &full, sizeof full));
  PFW_PROTO_RECORD shortened = {2, 0, "ab", 0, 0};
  ASSERT_TRUE(write_value(kProtocols, "2", REG_BINARY, &shortened, 12));
  // The name field filled to its end with no terminator.
  PFW_PROTO_RECORD unterminated = {3, 0, "", PFW_TCP, 3};
  memset(unterminated.name, 'N', sizeof unterminated.name);
  ASSERT_TRUE(write_value(kProtocols, "3", REG_BINARY, &unterminated, sizeof unterminated));
  // Longer than the record, of the wrong type, empty, a name too long for the buffer.
  unsigned char longer[40] = {4};
  ASSERT_TRUE(write_value(kProtocols, "4", REG_BINARY, longer, sizeof longer));
  PFW_PROTO_RECORD as_text = {5, 0, "Text", PFW_TCP, 5};
  ASSERT_TRUE(write_value(kProtocols, "5", REG_SZ, &as_text, sizeof as_text));
  ASSERT_TRUE(write_value(kProtocols, "6", REG_BINARY, "", 0));
  PFW_PROTO_RECORD long_name = {7, 0, "Long", PFW_TCP, 7};
  ASSERT_TRUE(write_value(kProtocols, "0000000000000007", REG_BINARY, &long_name, sizeof long_name));
  // A second record claiming a key that is already given.
  PFW_PROTO_RECORD same_key = {1, 0, "Imposter", PFW_TCP, 8};
  ASSERT_TRUE(write_value(kProtocols, "8", REG_BINARY, &same_key, sizeof same_key));

  ASSERT_EQ(PFW_LoadProtocolSetFromRegistry(protocols), 1);
  PFW_PROTO got;
  ASSERT_TRUE(PFW_GetProtocolByIndex(protocols, 1, &got));
  EXPECT_EQ(got.port, 4444u);
  ASSERT_TRUE(PFW_GetProtocolByIndex(protocols, 2, &got));
  EXPECT_STREQ(got.name, "ab");
  EXPECT_EQ(got.transport, 0);
  EXPECT_EQ(got.port, 0u);
  ASSERT_TRUE(PFW_GetProtocolByIndex(protocols, 3, &got));
  EXPECT_EQ(strlen(got.name), 19u);
  for (int skipped : {4, 5, 6, 7}) EXPECT_FALSE(PFW_GetProtocolByIndex(protocols, skipped, nullptr)) << skipped;
  EXPECT_FALSE(PFW_GetExactProtocolByService(protocols, PFW_TCP, 8, nullptr, nullptr));
  EXPECT_EQ(protocols->count, 3);
}

TEST_F(PersistTest, DamagedAddressAndApplicationFieldsEndInsideTheirFields) {
  PFW_ADR_RECORD a = {1, 0, ip("10.1.1.1"), ip("10.1.1.1"), "", PFW_SINGLE_ADDRESS};
  memset(a.name, 'A', sizeof a.name);
  ASSERT_TRUE(write_value(kAddresses, "1", REG_BINARY, &a, sizeof a));
  PFW_APP_RECORD x = {1, 0, "", ""};
  memset(x.name, 'X', sizeof x.name);
  memset(x.description, 'D', sizeof x.description);
  ASSERT_TRUE(write_value(kApps, "1", REG_BINARY, &x, sizeof x));
  ASSERT_EQ(PFW_LoadAddressSetFromRegistry(addresses), 1);
  ASSERT_EQ(PFW_LoadApplicationSetFromRegistry(apps), 1);
  PFW_ADR ga;
  ASSERT_TRUE(PFW_GetAddressByIndex(addresses, 1, &ga));
  EXPECT_EQ(strlen(ga.name), 31u);
  PFW_APP gx;
  ASSERT_TRUE(PFW_GetAppByIndex(apps, 1, &gx));
  EXPECT_EQ(strlen(gx.name), 29u);
  EXPECT_EQ(strlen(gx.description), 41u);
}

TEST_F(PersistTest, DefaultRulesGetKeysZeroAndOneWhateverTheRegistryOrder) {
  // Other rules written first, one of them named so that it sorts before the defaults.
  PFW_RULE_RECORD web = {5, 0, 0, PFW_OUTBOUND, PFW_ALLOW, 1};
  PFW_RULE_RECORD high = {0xFFFFFFFEu, 0, 0, PFW_INBOUND, PFW_ALLOW, 0};
  PFW_RULE_RECORD outbound = {0, 0, 0, PFW_OUTBOUND, PFW_ALLOW, 0};
  PFW_RULE_RECORD inbound = {0, 0, 0, PFW_INBOUND, PFW_DENY, 1};
  ASSERT_TRUE(write_value(kRuleSet, "5,0,0,1", REG_BINARY, &web, sizeof web));
  ASSERT_TRUE(write_value(kRuleSet, "-2,0,0,0", REG_BINARY, &high, sizeof high));
  ASSERT_TRUE(write_value(kRuleSet, "0,0,0,1", REG_BINARY, &outbound, sizeof outbound));
  ASSERT_TRUE(write_value(kRuleSet, "0,0,0,0", REG_BINARY, &inbound, sizeof inbound));
  // The log file's value sits among the rules; as 24 bytes of binary data it must still not become a rule.
  PFW_RULE_RECORD log_file = {9, 9, 9, PFW_INBOUND, PFW_ALLOW, 0};
  ASSERT_TRUE(write_value(kRuleSet, "LogFile", REG_BINARY, &log_file, sizeof log_file));
  // Same four numbers as the web rule under another name: refused, takes no key.
  PFW_RULE_RECORD twin = {5, 0, 0, PFW_OUTBOUND, PFW_DENY, 0};
  ASSERT_TRUE(write_value(kRuleSet, "5,0,0,1 copy", REG_BINARY, &twin, sizeof twin));

  ASSERT_EQ(PFW_LoadRuleSetFromRegistry(rules), 1);
  PFW_RULE got;
  ASSERT_TRUE(PFW_GetRuleByIndex(rules, 0, &got));
  EXPECT_EQ(got.direction, PFW_INBOUND);
  EXPECT_EQ(got.protocol_key, 0u);
  EXPECT_EQ(got.action, PFW_DENY);
  EXPECT_EQ(got.log, 1);
  ASSERT_TRUE(PFW_GetRuleByIndex(rules, 1, &got));
  EXPECT_EQ(got.direction, PFW_OUTBOUND);
  EXPECT_EQ(got.protocol_key, 0u);
  EXPECT_EQ(rules->next_key, 4u);
  EXPECT_FALSE(PFW_GetRuleByNumbers(rules, 9, 9, 9, PFW_INBOUND, nullptr, nullptr));
  ASSERT_TRUE(PFW_GetRuleByNumbers(rules, 5, 0, 0, PFW_OUTBOUND, nullptr, &got));
  EXPECT_EQ(got.action, PFW_ALLOW);
  EXPECT_TRUE(PFW_GetRuleByNumbers(rules, (int)0xFFFFFFFEu, 0, 0, PFW_INBOUND, nullptr, nullptr));
}

TEST_F(PersistTest, MissingKeysOrRuleSetLeaveListsEmptyAndCreateNothing) {
  ASSERT_TRUE(delete_value(kRules, "ActiveRuleSet"));
  EXPECT_EQ(PFW_LoadRuleSetFromRegistry(rules), 0);
  EXPECT_EQ(PFW_AddRuleIntoRegistry(rule_entry(1, 0, 0, 1, 0, 0)), 0);
  EXPECT_EQ(PFW_SetLogFileNameInRegistry("C:\\log.txt"), 0);
  // An empty name would open "Rules" itself.
  ASSERT_TRUE(write_string(kRules, "ActiveRuleSet", ""));
  EXPECT_EQ(PFW_LoadRuleSetFromRegistry(rules), 0);
  EXPECT_EQ(PFW_AddRuleIntoRegistry(rule_entry(1, 0, 0, 1, 0, 0)), 0);
  EXPECT_EQ(value_names(kRules).size(), 1u);
  // A set name that names no key.
  ASSERT_TRUE(write_string(kRules, "ActiveRuleSet", "Elsewhere"));
  EXPECT_EQ(PFW_AddRuleIntoRegistry(rule_entry(1, 0, 0, 1, 0, 0)), 0);
  EXPECT_FALSE(key_exists((std::string(kRules) + "\\Elsewhere").c_str()));

  delete_maker_key();
  EXPECT_EQ(PFW_LoadProtocolSetFromRegistry(protocols), 0);
  EXPECT_EQ(PFW_AddProtocolIntoRegistry(proto_entry(1, "Web", PFW_TCP, 80)), 0);
  PFW_OPTIONS options = {};
  EXPECT_EQ(PFW_SetOptionsInRegistry(options), 0);
  EXPECT_EQ(PFW_GetLogFileNameFromRegistry(), nullptr);
  EXPECT_EQ(PFW_GetEdictorPathFromRegistry(), nullptr);
  EXPECT_FALSE(key_exists(kBase));
  EXPECT_FALSE(key_exists("SOFTWARE\\Velmora"));
}

// --- Single values ---------------------------------------------------------

TEST_F(RegistryTest, AddOverwritesAndModifyNeedsAnExistingValue) {
  EXPECT_EQ(PFW_ModifyProtocolInRegistry(proto_entry(3, "Web", PFW_TCP, 80)), 0);
  EXPECT_FALSE(value_exists(kProtocols, "3"));
  ASSERT_EQ(PFW_AddProtocolIntoRegistry(proto_entry(3, "Web", PFW_TCP, 80)), 1);
  ASSERT_EQ(PFW_AddProtocolIntoRegistry(proto_entry(3, "Browsing", PFW_TCP, 8080)), 1);
  std::vector<unsigned char> raw;
  ASSERT_TRUE(read_value(kProtocols, "3", &raw));
  EXPECT_STREQ((char*)&raw[8], "Browsing");
  ASSERT_EQ(PFW_ModifyProtocolInRegistry(proto_entry(3, "Web", PFW_TCP, 80)), 1);
  ASSERT_TRUE(read_value(kProtocols, "3", &raw));
  EXPECT_STREQ((char*)&raw[8], "Web");

  PFW_ADR a = {};
  a.key = 2;
  EXPECT_EQ(PFW_ModifyAddressInRegistry(a), 0);
  EXPECT_EQ(PFW_AddAddressIntoRegistry(a), 1);
  EXPECT_EQ(PFW_ModifyAddressInRegistry(a), 1);
  PFW_APP x = {};
  x.key = 2;
  EXPECT_EQ(PFW_ModifyApplicationInRegistry(x), 0);
  EXPECT_EQ(PFW_AddApplicationIntoRegistry(x), 1);
  EXPECT_EQ(PFW_ModifyApplicationInRegistry(x), 1);
}

TEST_F(RegistryTest, EntryFieldsWithoutTerminatorAreStoredCut) {
  PFW_PROTO p = proto_entry(1, "", PFW_TCP, 1);
  memset(p.name, 'P', sizeof p.name);
  memset(p.key_text, 'K', sizeof p.key_text);
  ASSERT_EQ(PFW_AddProtocolIntoRegistry(p), 1);
  std::vector<unsigned char> raw;
  ASSERT_TRUE(read_value(kProtocols, "1", &raw));
  EXPECT_EQ(strnlen((char*)&raw[8], 20), 19u);
  EXPECT_EQ(*(int32_t*)&raw[28], PFW_TCP);
}

TEST_F(RegistryTest, RuleValuesAreNamedByTheWholeKeyText) {
  // Both texts begin "100,12,100,": cut to the 12-byte field they would share one value.
  PFW_RULE in = rule_entry(100, 12, 100, PFW_INBOUND, PFW_DENY, 1);
  PFW_RULE out = rule_entry(100, 12, 100, PFW_OUTBOUND, PFW_ALLOW, 0);
  strcpy(in.key_text, "100,12,100,");
  strcpy(out.key_text, "100,12,100,");
  ASSERT_EQ(PFW_AddRuleIntoRegistry(in), 1);
  ASSERT_EQ(PFW_AddRuleIntoRegistry(out), 1);
  std::vector<unsigned char> raw;
  ASSERT_TRUE(read_value(kRuleSet, "100,12,100,0", &raw));
  ASSERT_EQ(raw.size(), 24u);
  EXPECT_EQ(((PFW_RULE_RECORD*)raw.data())->action, PFW_DENY);
  ASSERT_TRUE(read_value(kRuleSet, "100,12,100,1", &raw));
  EXPECT_EQ(((PFW_RULE_RECORD*)raw.data())->action, PFW_ALLOW);

  // The largest keys still make a name the load can read back.
  PFW_RULE huge = rule_entry(0x80000000u, 0x80000000u, 0x80000000u, PFW_INBOUND, PFW_ASK, 1);
  ASSERT_EQ(PFW_AddRuleIntoRegistry(huge), 1);
  EXPECT_TRUE(value_exists(kRuleSet, "-2147483648,-2147483648,-2147483648,0"));
  PFW_RULE_ROOT* rules = PFW_CreateRuleList();
  ASSERT_EQ(PFW_LoadRuleSetFromRegistry(rules), 1);
  EXPECT_EQ(rules->count, 3);
  EXPECT_TRUE(PFW_GetRuleByNumbers(rules, (int)0x80000000u, (int)0x80000000u, (int)0x80000000u, 0, nullptr, nullptr));
  PFW_RemoveRuleList(rules);
}

TEST_F(RegistryTest, RuleAddModifyDeleteFollowTheValuesPresence) {
  PFW_RULE r = rule_entry(4, 0, 2, PFW_OUTBOUND, PFW_ALLOW, 1);
  EXPECT_EQ(PFW_ModifyRuleInRegistry(r), 0);
  EXPECT_EQ(PFW_DeleteRuleInRegistry(r), 0);
  ASSERT_EQ(PFW_AddRuleIntoRegistry(r), 1);
  r.action = PFW_DENY;
  EXPECT_EQ(PFW_AddRuleIntoRegistry(r), 0);
  std::vector<unsigned char> raw;
  ASSERT_TRUE(read_value(kRuleSet, "4,0,2,1", &raw));
  EXPECT_EQ(((PFW_RULE_RECORD*)raw.data())->action, PFW_ALLOW);
  ASSERT_EQ(PFW_ModifyRuleInRegistry(r), 1);
  ASSERT_TRUE(read_value(kRuleSet, "4,0,2,1", &raw));
  const PFW_RULE_RECORD* rec = (const PFW_RULE_RECORD*)raw.data();
  EXPECT_EQ(rec->protocol_key, 4u);
  EXPECT_EQ(rec->app_key, 2u);
  EXPECT_EQ(rec->direction, PFW_OUTBOUND);
  EXPECT_EQ(rec->action, PFW_DENY);
  EXPECT_EQ(rec->log, 1);
  ASSERT_EQ(PFW_DeleteRuleInRegistry(r), 1);
  EXPECT_FALSE(value_exists(kRuleSet, "4,0,2,1"));
}

// --- Options and paths -----------------------------------------------------

TEST_F(RegistryTest, OptionsRoundTripWithOnlyThePasswordScrambled) {
  PFW_OPTIONS options = {};
  options.lock_status = 1;
  strcpy(options.password, "opensesame");
  options.run_mode = PFW_MODE_BLOCK;
  options.timer_countdown = 30;
  options.log_deny = 1;
  PFW_OPTIONS original = options;
  ASSERT_EQ(PFW_SetOptionsInRegistry(options), 1);
  EXPECT_EQ(memcmp(&options, &original, sizeof options), 0);  // the caller's record is not scrambled

  std::vector<unsigned char> raw;
  DWORD type = 0;
  ASSERT_TRUE(read_value(kRules, "Options", &raw, &type));
  ASSERT_EQ(raw.size(), 92u);
  EXPECT_EQ(type, (DWORD)REG_BINARY);
  const unsigned char* plain = (const unsigned char*)&options;
  EXPECT_EQ(memcmp(raw.data(), plain, 4), 0);
  EXPECT_EQ(memcmp(raw.data() + 64, plain + 64, 28), 0);
  for (int i = 0; i < 60; i++) EXPECT_EQ(raw[4 + i], plain[4 + i] ^ 0x6D ^ (60 - i)) << i;

  PFW_OPTIONS back;
  memset(&back, 0xCC, sizeof back);
  ASSERT_EQ(PFW_GetOptionsFromRegistry(&back), 1);
  EXPECT_EQ(memcmp(&back, &options, sizeof back), 0);
}

TEST_F(RegistryTest, DamagedOrMissingOptionsNeverOverrunTheRecord) {
  PFW_OPTIONS untouched;
  memset(&untouched, 0xCC, sizeof untouched);
  PFW_OPTIONS out = untouched;
  EXPECT_EQ(PFW_GetOptionsFromRegistry(&out), 0);
  EXPECT_EQ(memcmp(&out, &untouched, sizeof out), 0);
  EXPECT_EQ(PFW_GetOptionsFromRegistry(nullptr), 0);

  unsigned char longer[120] = {};
  ASSERT_TRUE(write_value(kRules, "Options", REG_BINARY, longer, sizeof longer));
  EXPECT_EQ(PFW_GetOptionsFromRegistry(&out), 0);
  ASSERT_TRUE(write_value(kRules, "Options", REG_SZ, "text", 5));
  EXPECT_EQ(PFW_GetOptionsFromRegistry(&out), 0);
  EXPECT_EQ(memcmp(&out, &untouched, sizeof out), 0);

  // A short record, cut inside the password: what it holds is read and
  // unscrambled, the rest is zero (not a scrambled zero).
  PFW_OPTIONS stored = {};
  stored.lock_status = 1;
  stored.run_mode = PFW_MODE_BLOCK;
  strcpy(stored.password, "abcdef");
  ASSERT_EQ(PFW_SetOptionsInRegistry(stored), 1);
  std::vector<unsigned char> raw;
  ASSERT_TRUE(read_value(kRules, "Options", &raw));
  ASSERT_TRUE(write_value(kRules, "Options", REG_BINARY, raw.data(), offsetof(PFW_OPTIONS, password) + 3));
  ASSERT_EQ(PFW_GetOptionsFromRegistry(&out), 1);
  EXPECT_EQ(out.lock_status, 1);
  EXPECT_STREQ(out.password, "abc");
  for (size_t i = 3; i < sizeof out.password; i++) ASSERT_EQ(out.password[i], 0) << "password byte " << i;
  EXPECT_EQ(out.run_mode, 0);

  // A password that fills its field is cut to 59 characters.
  memset(stored.password, 'p', sizeof stored.password);
  ASSERT_EQ(PFW_SetOptionsInRegistry(stored), 1);
  ASSERT_EQ(PFW_GetOptionsFromRegistry(&out), 1);
  EXPECT_EQ(strnlen(out.password, sizeof out.password), 59u);
}

TEST_F(RegistryTest, LogFileNameIsKeptWithinTheReadersBuffer) {
  EXPECT_EQ(PFW_GetLogFileNameFromRegistry(), nullptr);
  EXPECT_EQ(PFW_SetLogFileNameInRegistry(nullptr), 0);
  ASSERT_EQ(PFW_SetLogFileNameInRegistry("C:\\Tarnwall\\connections.log"), 1);
  char* name = PFW_GetLogFileNameFromRegistry();
  ASSERT_NE(name, nullptr);
  EXPECT_STREQ(name, "C:\\Tarnwall\\connections.log");
  PFW_FreeBuffer(name);
  DWORD type = 0;
  ASSERT_TRUE(read_value(kRuleSet, "LogFile", nullptr, &type));
  EXPECT_EQ(type, (DWORD)REG_SZ);

  std::string longest(400, 'L');
  ASSERT_EQ(PFW_SetLogFileNameInRegistry(longest.c_str()), 1);
  std::vector<unsigned char> raw;
  ASSERT_TRUE(read_value(kRuleSet, "LogFile", &raw));
  EXPECT_EQ(raw.size(), 260u);  // 259 characters and the terminator
  name = PFW_GetLogFileNameFromRegistry();
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(strlen(name), 259u);
  PFW_FreeBuffer(name);

  // Written by someone else: exactly the buffer without a terminator is cut; longer is refused.
  ASSERT_TRUE(write_value(kRuleSet, "LogFile", REG_SZ, longest.data(), 260));
  name = PFW_GetLogFileNameFromRegistry();
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(strlen(name), 259u);
  PFW_FreeBuffer(name);
  ASSERT_TRUE(write_string(kRuleSet, "LogFile", longest.c_str()));
  EXPECT_EQ(PFW_GetLogFileNameFromRegistry(), nullptr);
  ASSERT_TRUE(write_value(kRuleSet, "LogFile", REG_BINARY, "C:\\x", 5));
  EXPECT_EQ(PFW_GetLogFileNameFromRegistry(), nullptr);
}

TEST_F(RegistryTest, EdictorPathIsReadFromRules) {
  EXPECT_EQ(PFW_GetEdictorPathFromRegistry(), nullptr);
  install_starting_set();
  char* path = PFW_GetEdictorPathFromRegistry();
  ASSERT_NE(path, nullptr);
  EXPECT_STREQ(path, kEdictorPath);
  PFW_FreeBuffer(path);
  std::string longer(300, 'E');
  ASSERT_TRUE(write_string(kRules, "EdictorPath", longer.c_str()));
  EXPECT_EQ(PFW_GetEdictorPathFromRegistry(), nullptr);
}

TEST_F(RegistryTest, EveryRegistryCallIsCounted) {
  unsigned long long before = PFW_GetRegistryCallCount();
  ASSERT_EQ(PFW_AddProtocolIntoRegistry(proto_entry(1, "Web", PFW_TCP, 80)), 1);
  // Four opens down to the base key, the list key, the write, and a close for each open.
  EXPECT_EQ(PFW_GetRegistryCallCount() - before, 11u);
}
