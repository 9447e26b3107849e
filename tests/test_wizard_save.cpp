// Kindler's save against the real tessary.dll and this prefix's registry: the rules it
// writes, in which order, how a second run and a second Finish behave, and what a missing
// library or Edictor path does.
#include <map>
#include <string>

#include "lists.h"
#include "registry_fixture.h"
#include "save.h"

using namespace regtest;
using kindler::RuleStoreLink;
using kindler::WizardLists;

namespace {

class WizardSaveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    make_layout();
    install_starting_set();
  }
  void TearDown() override {
    if (rules) {
      PFW_RemoveRuleList(rules);
      PFW_RemoveAppList(apps);
      PFW_RemoveAddressList(addresses);
      PFW_RemoveProtocolList(protocols);
    }
    delete_maker_key();
  }

  // Loads an application list from memory, as the provider page does.
  void load(const std::string& content) {
    files_["A.LST"] = content;
    lists_.EmptyRuleTable();
    ASSERT_EQ(lists_.LoadApplicationList("A.LST", "A"), 0);
    lists_.RemoveEmptyGroups();
  }

  // What a later process finds: the lists loaded afresh from the registry.
  void reload() {
    protocols = PFW_CreateProtocolList();
    addresses = PFW_CreateAddressList();
    apps = PFW_CreateAppList();
    rules = PFW_CreateRuleList();
    ASSERT_TRUE(protocols && addresses && apps && rules);
    PFW_LoadAddressSetFromRegistry(addresses);
    PFW_LoadProtocolSetFromRegistry(protocols);
    PFW_LoadApplicationSetFromRegistry(apps);
    PFW_LoadRuleSetFromRegistry(rules);
  }

  // The stored action of the rule for this application, service and direction; -1: none.
  int action(const char* app, int transport, unsigned port, int direction, bool local = false) {
    int app_key = -1, proto_key = -1, adr_key = 0;
    if (!PFW_GetExactAppByName(apps, app, &app_key, nullptr)) return -1;
    if (!PFW_GetExactProtocolByService(protocols, transport, port, &proto_key, nullptr)) return -1;
    if (local && !PFW_GetExactAddressByIP(addresses, ip("127.0.0.1"), &adr_key, nullptr)) return -1;
    PFW_RULE r;
    if (!PFW_GetRuleByNumbers(rules, proto_key, adr_key, app_key, direction, nullptr, &r)) return -1;
    return r.action;
  }

  std::map<std::string, std::string> files_;
  WizardLists lists_{[this](const std::string& name, std::string& content, kindler::Failure& failure) {
    if (!files_.count(name)) return failure = {2, "missing"}, false;
    content = files_[name];
    return true;
  }};
  PFW_PROTO_ROOT* protocols = nullptr;
  PFW_ADR_ROOT* addresses = nullptr;
  PFW_APP_ROOT* apps = nullptr;
  PFW_RULE_ROOT* rules = nullptr;
};

const char kThreeGroups[] =
    "Mail,Mail program,outlook.exe,SMTP,25,TCP,OUT,ALL\r\n"
    "Web,Web browser,iexplore.exe,HTTP,80,TCP,OUT,ALL\r\n"
    "Names,Name cache,cache.exe,DNS,53,UDP,IN,LOCAL\r\n"
    "Anything,Any service,any.exe,None,0,TCP,OUT,ALL\r\n";

TEST_F(WizardSaveTest, EachGroupsAccessBecomesItsRulesAction) {
  load(kThreeGroups);
  lists_.SetAccess(0, kindler::kDeny);
  lists_.SetAccess(2, kindler::kAllow);  // Web stays at Ask
  RuleStoreLink link;
  std::string path;
  ASSERT_TRUE(link.SaveRuleSet(lists_, path));
  EXPECT_EQ(path, std::string(kEdictorPath) + '\0');
  EXPECT_EQ(kindler::TrimEdictorPath(path), kEdictorPath);
  reload();
  EXPECT_EQ(action("outlook.exe", PFW_TCP, 25, PFW_OUTBOUND), PFW_DENY);
  EXPECT_EQ(action("iexplore.exe", PFW_TCP, 80, PFW_OUTBOUND), PFW_ASK);
  EXPECT_EQ(action("cache.exe", PFW_UDP, 53, PFW_INBOUND, true), PFW_ALLOW);
  int any_app = -1;
  ASSERT_TRUE(PFW_GetExactAppByName(apps, "any.exe", &any_app, nullptr));
  EXPECT_TRUE(PFW_GetRuleByNumbers(rules, 0, 0, any_app, PFW_OUTBOUND, nullptr, nullptr));  // port 0: any protocol
  EXPECT_EQ(rules->count, 2 + 4);
}

TEST_F(WizardSaveTest, TheLaterGroupDecidesASharedRuleAndASecondRunUpdates) {
  load(
      "Browsing,Web browser,iexplore.exe,HTTP,80,TCP,OUT,ALL\r\n"
      "Everything,Browser again,iexplore.exe,Web,80,TCP,OUT,ALL\r\n");
  lists_.SetAccess(0, kindler::kAllow);
  lists_.SetAccess(1, kindler::kDeny);
  RuleStoreLink link;
  std::string path;
  ASSERT_TRUE(link.SaveRuleSet(lists_, path));
  reload();
  EXPECT_EQ(action("iexplore.exe", PFW_TCP, 80, PFW_OUTBOUND), PFW_DENY);
  EXPECT_EQ(rules->count, 3);

  // The wizard run again over the stored set, now allowing everything: changed, not doubled.
  lists_.SetAccess(1, kindler::kAllow);
  RuleStoreLink second;
  ASSERT_TRUE(second.SaveRuleSet(lists_, path));
  EXPECT_EQ(action("iexplore.exe", PFW_TCP, 80, PFW_OUTBOUND), PFW_ALLOW);
  EXPECT_EQ(rules->count, 3);
  EXPECT_EQ(value_names(kRuleSet).size(), 3u);  // the two defaults and the one rule
}

TEST_F(WizardSaveTest, FinishAgainAfterAFailure) {
  load(kThreeGroups);
  ASSERT_TRUE(delete_value(kRules, "EdictorPath"));
  RuleStoreLink link;
  std::string path = "stale";
  EXPECT_FALSE(link.SaveRuleSet(lists_, path));
  EXPECT_EQ(path, "");
  EXPECT_EQ(value_names(kApps).size(), 1u);  // nothing added

  // Mended, Finish again: the store is opened a second time without a release between.
  ASSERT_TRUE(write_string(kRules, "EdictorPath", kEdictorPath));
  ASSERT_TRUE(link.SaveRuleSet(lists_, path));
  EXPECT_EQ(kindler::TrimEdictorPath(path), kEdictorPath);
  reload();
  EXPECT_EQ(action("outlook.exe", PFW_TCP, 25, PFW_OUTBOUND), PFW_ASK);
  EXPECT_EQ(rules->count, 6);
}

TEST_F(WizardSaveTest, OtherAloneStillOpensTheStoreAndAMissingLibraryFails) {
  RuleStoreLink link;
  std::string path;
  EXPECT_TRUE(link.SaveRuleSet(lists_, path));  // no rules at all
  EXPECT_EQ(kindler::TrimEdictorPath(path), kEdictorPath);

  load(kThreeGroups);
  RuleStoreLink missing("no_such_store");
  path = "stale";
  EXPECT_FALSE(missing.SaveRuleSet(lists_, path));
  EXPECT_EQ(path, "");
}

TEST(WizardEdictorPath, TrimmedAndShortened) {
  EXPECT_EQ(kindler::TrimEdictorPath(std::string("  C:\\x\\e.exe") + '\0' + "   "), "C:\\x\\e.exe");
  EXPECT_EQ(kindler::TrimEdictorPath("   "), "");
  EXPECT_EQ(kindler::TrimEdictorPath(std::string(1, '\0')), "");
  // The test program exists; a made-up path does not.
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string shortened = kindler::ShortPath(self);
  EXPECT_FALSE(shortened.empty());
  EXPECT_EQ(GetFileAttributesA(shortened.c_str()) == INVALID_FILE_ATTRIBUTES, false);
  EXPECT_EQ(kindler::ShortPath("C:\\no\\such\\folder\\edictor.exe"), "");
}

}  // namespace
