// The setup wizard's entry points, bound the way the wizard binds them: by name,
// from a library loaded by name at run time.
#include <optional>

#include "registry_fixture.h"

using namespace regtest;

namespace {

class SetupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    make_layout();
    install_starting_set();
    module_ = LoadLibraryA("tessary");
    ASSERT_NE(module_, nullptr);
    startup_ = (SW_STARTUP_PROC)(void*)GetProcAddress(module_, "SW_Startup");
    add_rule_ = (SW_ADDRULE_PROC)(void*)GetProcAddress(module_, "SW_AddRule");
    shutdown_ = (SW_SHUTDOWN_PROC)(void*)GetProcAddress(module_, "SW_Shutdown");
    ASSERT_TRUE(startup_ && add_rule_ && shutdown_);
  }
  void TearDown() override {
    if (shutdown_) shutdown_();
    own_.reset();
    if (module_) FreeLibrary(module_);
    delete_maker_key();
  }

  // The test's own view of the lists, independent of the wizard's.
  void hold_lists() {
    own_.emplace();
    protocols = own_->protocols;
    addresses = own_->addresses;
    apps = own_->apps;
    rules = own_->rules;
    ASSERT_TRUE(own_->ok());
  }

  void start() {
    char path[PFW_EDICTOR_PATH_SIZE] = {};
    ASSERT_EQ(startup_(path), 1);
    ASSERT_STREQ(path, kEdictorPath);
    if (!own_) hold_lists();
  }

  static PFW_RULE_RECORD stored_rule(const char* name) {
    std::vector<unsigned char> raw;
    PFW_RULE_RECORD r;
    memset(&r, 0xEE, sizeof r);
    if (read_value(kRuleSet, name, &raw) && raw.size() == sizeof r) memcpy(&r, raw.data(), sizeof r);
    return r;
  }

  HMODULE module_ = nullptr;
  SW_STARTUP_PROC startup_ = nullptr;
  SW_ADDRULE_PROC add_rule_ = nullptr;
  SW_SHUTDOWN_PROC shutdown_ = nullptr;
  std::optional<tessary::ListSet> own_;
  PFW_PROTO_ROOT* protocols = nullptr;
  PFW_ADR_ROOT* addresses = nullptr;
  PFW_APP_ROOT* apps = nullptr;
  PFW_RULE_ROOT* rules = nullptr;
};

}  // namespace

TEST_F(SetupTest, StartupLoadsTheInstalledSetAndReportsEdictorsPath) {
  start();
  EXPECT_EQ(protocols->any_key, 0u);
  EXPECT_TRUE(PFW_GetProtocolByIndex(protocols, 0, nullptr));
  EXPECT_TRUE(PFW_GetAddressByIndex(addresses, 0, nullptr));
  EXPECT_TRUE(PFW_GetAppByIndex(apps, 0, nullptr));
  PFW_RULE r;
  ASSERT_TRUE(PFW_GetRuleByIndex(rules, 0, &r));
  EXPECT_EQ(r.direction, PFW_INBOUND);
  ASSERT_TRUE(PFW_GetRuleByIndex(rules, 1, &r));
  EXPECT_EQ(r.direction, PFW_OUTBOUND);
  EXPECT_EQ(rules->count, 2);
}

TEST_F(SetupTest, StartupWithoutEdictorPathFailsLeavingTheBufferButLoadingTheLists) {
  ASSERT_TRUE(delete_value(kRules, "EdictorPath"));
  char path[PFW_EDICTOR_PATH_SIZE];
  memset(path, 'Z', sizeof path);
  EXPECT_EQ(startup_(path), 0);
  for (char c : path) ASSERT_EQ(c, 'Z');
  hold_lists();
  EXPECT_EQ(rules->count, 2);
  EXPECT_NE(protocols->next_key, 0u);
}

TEST_F(SetupTest, AnyPortAndAnyAddressUseTheWildcardKeys) {
  start();
  ASSERT_EQ(add_rule_("Mail", "MAIL.EXE", "SMTP", 0, PFW_TCP, PFW_OUTBOUND, PFW_ALLOW, 0), 1);
  EXPECT_EQ(protocols->count, 1);  // nothing added for port 0
  EXPECT_EQ(addresses->count, 1);
  EXPECT_EQ(value_names(kProtocols).size(), 1u);
  int app = -1;
  ASSERT_TRUE(PFW_GetExactAppByName(apps, "MAIL.EXE", &app, nullptr));
  EXPECT_EQ(app, 1);
  PFW_RULE r;
  ASSERT_TRUE(PFW_GetRuleByNumbers(rules, 0, 0, app, PFW_OUTBOUND, nullptr, &r));
  EXPECT_EQ(r.action, PFW_ALLOW);
  EXPECT_EQ(r.log, 1);  // the wizard's rules are logged
  PFW_RULE_RECORD stored = stored_rule("0,0,1,1");
  EXPECT_EQ(stored.action, PFW_ALLOW);
  EXPECT_EQ(stored.log, 1);
  // The application was stored too.
  std::vector<unsigned char> raw;
  ASSERT_TRUE(read_value(kApps, "1", &raw));
  EXPECT_STREQ((char*)&raw[8], "MAIL.EXE");
  EXPECT_STREQ((char*)&raw[38], "Mail");
}

TEST_F(SetupTest, NewServiceAndLocalHostAreAddedOnceAndReused) {
  start();
  ASSERT_EQ(add_rule_("Browser", "IEXPLORE.EXE", "Web", 80, PFW_TCP, PFW_OUTBOUND, PFW_ALLOW, 1), 1);
  ASSERT_EQ(add_rule_("Proxy", "PROXY.EXE", "Browsing", 80, PFW_TCP, PFW_INBOUND, PFW_DENY, 1), 1);
  int web = -1, local = -1;
  PFW_PROTO p;
  ASSERT_TRUE(PFW_GetExactProtocolByService(protocols, PFW_TCP, 80, &web, &p));
  EXPECT_STREQ(p.name, "Web");  // the second name did not rename it
  EXPECT_EQ(protocols->count, 2);
  PFW_ADR a;
  ASSERT_TRUE(PFW_GetExactAddressByIP(addresses, ip("127.0.0.1"), &local, &a));
  EXPECT_STREQ(a.name, "Local Host");
  EXPECT_EQ(a.type, PFW_SINGLE_ADDRESS);
  EXPECT_EQ(addresses->count, 2);
  std::vector<unsigned char> raw;
  ASSERT_TRUE(read_value(kProtocols, std::to_string(web).c_str(), &raw));
  EXPECT_STREQ((char*)&raw[8], "Web");
  ASSERT_TRUE(read_value(kAddresses, std::to_string(local).c_str(), &raw));
  EXPECT_STREQ((char*)&raw[16], "Local Host");
  EXPECT_EQ(*(uint32_t*)&raw[8], ip("127.0.0.1"));

  int ie = -1, proxy = -1;
  ASSERT_TRUE(PFW_GetExactAppByName(apps, "IEXPLORE.EXE", &ie, nullptr));
  ASSERT_TRUE(PFW_GetExactAppByName(apps, "PROXY.EXE", &proxy, nullptr));
  EXPECT_TRUE(PFW_GetRuleByNumbers(rules, web, local, ie, PFW_OUTBOUND, nullptr, nullptr));
  EXPECT_TRUE(PFW_GetRuleByNumbers(rules, web, local, proxy, PFW_INBOUND, nullptr, nullptr));
  EXPECT_EQ(stored_rule(PFW_CreateRuleKey(web, local, proxy, PFW_INBOUND)).action, PFW_DENY);
}

// Each step finds or adds its entry under one hold, so a call takes one hold per
// list it touches, whether it adds entries or reuses them, and between another
// process's look-up and add there is no gap in which the same entry could appear.
TEST_F(SetupTest, EachCallHoldsEachListItTouchesOnce) {
  start();
  uint64_t before = PFW_GetLockHoldCount();
  ASSERT_EQ(add_rule_("Browser", "IEXPLORE.EXE", "Web", 80, PFW_TCP, PFW_OUTBOUND, PFW_ALLOW, 1), 1);
  EXPECT_EQ(PFW_GetLockHoldCount() - before, 4u);  // new service, program, local host and rule
  before = PFW_GetLockHoldCount();
  ASSERT_EQ(add_rule_("Browser", "IEXPLORE.EXE", "Web", 80, PFW_TCP, PFW_OUTBOUND, PFW_DENY, 1), 1);
  EXPECT_EQ(PFW_GetLockHoldCount() - before, 4u);  // all found; the rule changes in place
  before = PFW_GetLockHoldCount();
  ASSERT_EQ(add_rule_("Anything", "ANY.EXE", "", 0, PFW_TCP, PFW_INBOUND, PFW_DENY, 0), 1);
  EXPECT_EQ(PFW_GetLockHoldCount() - before, 2u);  // port 0 and all addresses need no look-up
  int rule_key = -1;
  PFW_RULE rule;
  int web = -1, ie = -1, local = -1;
  ASSERT_TRUE(PFW_GetExactProtocolByService(protocols, PFW_TCP, 80, &web, nullptr));
  ASSERT_TRUE(PFW_GetExactAppByName(apps, "IEXPLORE.EXE", &ie, nullptr));
  ASSERT_TRUE(PFW_GetExactAddressByIP(addresses, ip("127.0.0.1"), &local, nullptr));
  ASSERT_TRUE(PFW_GetRuleByNumbers(rules, web, local, ie, PFW_OUTBOUND, &rule_key, &rule));
  EXPECT_EQ(rule.action, PFW_DENY);
  EXPECT_EQ(rule.log, 1);
  EXPECT_EQ(stored_rule(PFW_CreateRuleKey(web, local, ie, PFW_OUTBOUND)).action, PFW_DENY);
}

TEST_F(SetupTest, AnInstalledServiceAndApplicationKeepTheirNames) {
  PFW_PROTO_RECORD http = {4, 0, "HTTP", PFW_TCP, 80};
  PFW_APP_RECORD browser = {6, 0, "IEXPLORE.EXE", "Installed browser"};
  ASSERT_TRUE(write_value(kProtocols, "4", REG_BINARY, &http, sizeof http));
  ASSERT_TRUE(write_value(kApps, "6", REG_BINARY, &browser, sizeof browser));
  start();
  ASSERT_EQ(add_rule_("Internet Explorer", "IEXPLORE.EXE", "Web", 80, PFW_TCP, PFW_OUTBOUND, PFW_ASK, 0), 1);
  PFW_PROTO p;
  ASSERT_TRUE(PFW_GetProtocolByIndex(protocols, 4, &p));
  EXPECT_STREQ(p.name, "HTTP");
  PFW_APP x;
  ASSERT_TRUE(PFW_GetAppByIndex(apps, 6, &x));
  EXPECT_STREQ(x.description, "Installed browser");
  EXPECT_EQ(protocols->count, 2);
  EXPECT_EQ(apps->count, 2);
  EXPECT_EQ(stored_rule("4,0,6,1").action, PFW_ASK);
  std::vector<unsigned char> raw;
  ASSERT_TRUE(read_value(kApps, "6", &raw));
  EXPECT_STREQ((char*)&raw[38], "Installed browser");
}

TEST_F(SetupTest, ARepeatedRuleChangesOnlyItsActionInListAndRegistry) {
  start();
  ASSERT_EQ(add_rule_("Ftp", "FTP.EXE", "FTP", 21, PFW_TCP, PFW_OUTBOUND, PFW_ALLOW, 0), 1);
  int key = -1;
  PFW_RULE* live = PFW_GetRuleByNumbers(rules, 1, 0, 1, PFW_OUTBOUND, &key, nullptr);
  ASSERT_TRUE(live);
  live->log = 0;  // someone switched logging off meanwhile
  int count = rules->count;

  ASSERT_EQ(add_rule_("File transfer", "FTP.EXE", "FTP", 21, PFW_TCP, PFW_OUTBOUND, PFW_DENY, 0), 1);
  EXPECT_EQ(rules->count, count);
  EXPECT_EQ(live->action, PFW_DENY);
  EXPECT_EQ(live->log, 0);
  EXPECT_EQ(stored_rule("1,0,1,1").action, PFW_DENY);
  PFW_APP x;
  ASSERT_TRUE(PFW_GetAppByIndex(apps, 1, &x));
  EXPECT_STREQ(x.description, "Ftp");

  // A live rule whose value is missing (its first store failed) is stored anew.
  ASSERT_TRUE(delete_value(kRuleSet, "1,0,1,1"));
  EXPECT_EQ(add_rule_("Ftp", "FTP.EXE", "FTP", 21, PFW_TCP, PFW_OUTBOUND, PFW_ASK, 0), 1);
  EXPECT_EQ(live->action, PFW_ASK);
  EXPECT_EQ(stored_rule("1,0,1,1").action, PFW_ASK);
  EXPECT_EQ(stored_rule("1,0,1,1").log, 0);
}

TEST_F(SetupTest, OverlongAndMissingNamesNeverBreakTheStore) {
  start();
  std::string long_name(40, 'A');
  ASSERT_EQ(add_rule_(std::string(60, 'd').c_str(), long_name.c_str(), std::string(30, 'p').c_str(), 7000, PFW_UDP,
                      PFW_INBOUND, PFW_DENY, 0),
            1);
  PFW_APP x;
  int app = -1;
  ASSERT_TRUE(PFW_GetExactAppByName(apps, long_name.substr(0, 29).c_str(), &app, &x));
  EXPECT_EQ(strlen(x.description), 41u);
  PFW_PROTO p;
  ASSERT_TRUE(PFW_GetExactProtocolByService(protocols, PFW_UDP, 7000, nullptr, &p));
  EXPECT_EQ(strlen(p.name), 19u);
  // The same long name again finds what the first call made.
  ASSERT_EQ(add_rule_("", long_name.c_str(), "", 7000, PFW_UDP, PFW_INBOUND, PFW_ALLOW, 0), 1);
  EXPECT_EQ(apps->count, 2);
  EXPECT_EQ(rules->count, 3);

  EXPECT_EQ(add_rule_("None", nullptr, "X", 1, PFW_TCP, PFW_INBOUND, PFW_ALLOW, 0), 0);
  EXPECT_EQ(add_rule_("None", "", "X", 1, PFW_TCP, PFW_INBOUND, PFW_ALLOW, 0), 0);
  ASSERT_EQ(add_rule_(nullptr, "NULL.EXE", nullptr, 9, PFW_TCP, PFW_INBOUND, PFW_ALLOW, 0), 1);
  ASSERT_TRUE(PFW_GetExactAppByName(apps, "NULL.EXE", nullptr, &x));
  EXPECT_STREQ(x.description, "");
}

TEST_F(SetupTest, ShutdownLeavesTheCallersOwnRootsWorking) {
  hold_lists();
  start();
  ASSERT_EQ(add_rule_("Chat", "CHAT.EXE", "Chat", 6667, PFW_TCP, PFW_OUTBOUND, PFW_ALLOW, 1), 1);
  ASSERT_EQ(shutdown_(), 1);
  // The wizard's views are gone; ours still read and change the same lists.
  EXPECT_TRUE(PFW_GetExactAppByName(apps, "CHAT.EXE", nullptr, nullptr));
  EXPECT_TRUE(PFW_GetExactProtocolByService(protocols, PFW_TCP, 6667, nullptr, nullptr));
  EXPECT_TRUE(PFW_GetExactAddressByIP(addresses, ip("127.0.0.1"), nullptr, nullptr));
  EXPECT_EQ(PFW_AddRule(rules, 9, 9, 9, PFW_INBOUND, PFW_DENY, 0), 1);
  EXPECT_EQ(free_list_semaphores(), 4);
  // Calls outside a start-up fail quietly, and a second shutdown takes nothing of ours.
  EXPECT_EQ(add_rule_("Chat", "CHAT.EXE", "Chat", 6667, PFW_TCP, PFW_OUTBOUND, PFW_DENY, 1), 0);
  EXPECT_EQ(shutdown_(), 1);
  EXPECT_TRUE(PFW_GetRuleByNumbers(rules, 9, 9, 9, PFW_INBOUND, nullptr, nullptr));
}

TEST_F(SetupTest, ASecondStartupJoinsAgainAndShutdownReleasesEveryView) {
  EXPECT_EQ(add_rule_("Early", "EARLY.EXE", "", 0, PFW_TCP, PFW_OUTBOUND, PFW_ALLOW, 0), 0);
  char path[PFW_EDICTOR_PATH_SIZE];
  ASSERT_EQ(startup_(path), 1);
  ASSERT_EQ(add_rule_("News", "NEWS.EXE", "NNTP", 119, PFW_TCP, PFW_OUTBOUND, PFW_ALLOW, 0), 1);
  ASSERT_EQ(startup_(path), 1);
  ASSERT_EQ(add_rule_("News", "NEWS.EXE", "NNTP", 119, PFW_TCP, PFW_OUTBOUND, PFW_DENY, 0), 1);
  ASSERT_EQ(shutdown_(), 1);
  // Nothing holds the lists any more, so they start empty.
  hold_lists();
  EXPECT_EQ(rules->count, 0);
  EXPECT_EQ(apps->next_key, 0u);
  // And the registry has what the wizard wrote, ready for the next load.
  ASSERT_EQ(PFW_LoadProtocolSetFromRegistry(protocols), 1);
  ASSERT_EQ(PFW_LoadAddressSetFromRegistry(addresses), 1);
  ASSERT_EQ(PFW_LoadApplicationSetFromRegistry(apps), 1);
  ASSERT_EQ(PFW_LoadRuleSetFromRegistry(rules), 1);
  int proto = -1, app = -1;
  ASSERT_TRUE(PFW_GetExactProtocolByService(protocols, PFW_TCP, 119, &proto, nullptr));
  ASSERT_TRUE(PFW_GetExactAppByName(apps, "NEWS.EXE", &app, nullptr));
  PFW_RULE r;
  ASSERT_TRUE(PFW_GetRuleByNumbers(rules, proto, 0, app, PFW_OUTBOUND, nullptr, &r));
  EXPECT_EQ(r.action, PFW_DENY);
  EXPECT_EQ(r.log, 1);
  ASSERT_TRUE(PFW_GetRuleByIndex(rules, 0, &r));
  EXPECT_EQ(r.direction, PFW_INBOUND);
  EXPECT_EQ(r.app_key, 0u);
}

TEST_F(SetupTest, ARuleThatCannotBeStoredReportsFailureButStaysInTheList) {
  start();
  ASSERT_TRUE(delete_value(kRules, "ActiveRuleSet"));
  EXPECT_EQ(add_rule_("Game", "GAME.EXE", "Game", 27015, PFW_UDP, PFW_INBOUND, PFW_ALLOW, 0), 0);
  int app = -1;
  ASSERT_TRUE(PFW_GetExactAppByName(apps, "GAME.EXE", &app, nullptr));
  EXPECT_TRUE(value_exists(kApps, std::to_string(app).c_str()));
  EXPECT_EQ(rules->count, 3);

  // The wizard's next Finish, once the store can take it, saves the rule it kept.
  ASSERT_TRUE(write_string(kRules, "ActiveRuleSet", kRuleSetName));
  EXPECT_EQ(add_rule_("Game", "GAME.EXE", "Game", 27015, PFW_UDP, PFW_INBOUND, PFW_DENY, 0), 1);
  int game = -1;
  ASSERT_TRUE(PFW_GetExactProtocolByService(protocols, PFW_UDP, 27015, &game, nullptr));
  EXPECT_EQ(stored_rule(PFW_CreateRuleKey(game, 0, app, PFW_INBOUND)).action, PFW_DENY);
  EXPECT_EQ(rules->count, 3);
}

TEST_F(SetupTest, StoresFollowKeysMadeAgainAndAnotherActiveSetDuringTheSession) {
  start();
  ASSERT_EQ(add_rule_("Web", "WEB.EXE", "Web", 80, PFW_TCP, PFW_OUTBOUND, PFW_ALLOW, 0), 1);
  // The keys are removed and made again while the wizard runs (a repair install).
  make_layout();
  ASSERT_EQ(add_rule_("Mail", "MAIL.EXE", "Mail", 25, PFW_TCP, PFW_OUTBOUND, PFW_ALLOW, 0), 1);
  int mail = -1, smtp = -1;
  ASSERT_TRUE(PFW_GetExactAppByName(apps, "MAIL.EXE", &mail, nullptr));
  ASSERT_TRUE(PFW_GetExactProtocolByService(protocols, PFW_TCP, 25, &smtp, nullptr));
  EXPECT_TRUE(value_exists(kApps, std::to_string(mail).c_str()));
  EXPECT_TRUE(value_exists(kProtocols, std::to_string(smtp).c_str()));
  EXPECT_TRUE(value_exists(kRuleSet, PFW_CreateRuleKey(smtp, 0, mail, PFW_OUTBOUND)));

  // Another active set: the next rule goes there.
  std::string other = std::string(kRules) + "\\Travel";
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, other.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  ASSERT_TRUE(write_string(kRules, "ActiveRuleSet", "Travel"));
  ASSERT_EQ(add_rule_("Mail", "MAIL.EXE", "Mail", 25, PFW_TCP, PFW_INBOUND, PFW_DENY, 0), 1);
  EXPECT_TRUE(value_exists(other.c_str(), PFW_CreateRuleKey(smtp, 0, mail, PFW_INBOUND)));
  EXPECT_FALSE(value_exists(kRuleSet, PFW_CreateRuleKey(smtp, 0, mail, PFW_INBOUND)));
}

TEST_F(SetupTest, AWildcardEntryIsNeverTakenForTheServiceOrTheLocalHost) {
  // Wildcards whose unused fields happen to hold TCP 80 and 127.0.0.1.
  PFW_PROTO_RECORD any_protocol = {0, 1, "Any Protocol", PFW_TCP, 80};
  PFW_ADR_RECORD any_address = {0, 1, ip("127.0.0.1"), ip("127.0.0.1"), "Any Address", PFW_SINGLE_ADDRESS};
  ASSERT_TRUE(write_value(kProtocols, "0", REG_BINARY, &any_protocol, sizeof any_protocol));
  ASSERT_TRUE(write_value(kAddresses, "0", REG_BINARY, &any_address, sizeof any_address));
  start();
  ASSERT_EQ(add_rule_("Local web", "WEBD.EXE", "Web", 80, PFW_TCP, PFW_INBOUND, PFW_ALLOW, 1), 1);
  ASSERT_EQ(add_rule_("Local web", "WEBD.EXE", "Web", 80, PFW_TCP, PFW_OUTBOUND, PFW_ALLOW, 1), 1);
  EXPECT_EQ(protocols->count, 2);
  EXPECT_EQ(addresses->count, 2);
  PFW_RULE r;
  ASSERT_TRUE(PFW_GetRuleByIndex(rules, 2, &r));
  EXPECT_EQ(r.protocol_key, 1u);
  EXPECT_EQ(r.address_key, 1u);
  ASSERT_TRUE(PFW_GetRuleByIndex(rules, 3, &r));
  EXPECT_EQ(r.protocol_key, 1u);
  EXPECT_EQ(r.address_key, 1u);
  EXPECT_FALSE(value_exists(kRuleSet, "0,0,1,0"));
}
