// What the Create New dialogs and Add Rule accept, decided without a window: every refusal
// with the exact text, caption and flags the dialog shows, what is accepted, and what the
// creation steps put into the lists and the registry.
#include <winsock2.h>
#include <gtest/gtest.h>

#include <vector>

#include "entry_checks.h"
#include "object_dialogs.h"
#include "registry_fixture.h"
#include "store_fixture.h"

using namespace edictor;
using namespace regtest;

namespace {

// The installed starting set with one protocol, two addresses and one application.
class EntryChecks : public PersistTest {
 protected:
  void SetUp() override {
    PersistTest::SetUp();
    install_starting_set();
    PFW_LoadProtocolSetFromRegistry(protocols);
    PFW_LoadAddressSetFromRegistry(addresses);
    PFW_LoadApplicationSetFromRegistry(apps);
    PFW_LoadRuleSetFromRegistry(rules);
    lists = {protocols, addresses, apps, rules};
    http = CreateProtocol(lists, {"HTTP", PFW_TCP, 80});
    proxy = CreateAddress(lists, {"Web Proxy", PFW_SINGLE_ADDRESS, ip("10.0.0.8"), ip("10.0.0.8")});
    lan = CreateAddress(lists, {"Office LAN", PFW_NETWORK_ADDRESS, ip("192.168.1.0"), ip("192.168.1.255")});
    browser = CreateApplication(lists, {"browser.exe", "Browser"});
    ASSERT_TRUE(http && proxy && lan && browser);
  }
  static std::string Said(const Check& check) {
    return check ? check->caption + ": " + check->text : std::string("accepted");
  }
  Lists lists;
  const PFW_PROTO* http = nullptr;
  const PFW_ADR *proxy = nullptr, *lan = nullptr;
  const PFW_APP* browser = nullptr;
};

TEST_F(EntryChecks, ProtocolRefusalsAndWhatIsAccepted) {
  struct Case {
    const char *name, *port;
    int transport;
    const char* said;
  };
  const Case cases[] = {
      {"Web", "80", PFW_TCP, "Add Protocol: An entry for TCP Port 80 already exists!\nExisting name: HTTP"},
      {"HTTP", "8080", PFW_TCP, "Add Protocol: A protocol with this name already exists!"},
      {"Web", "", PFW_TCP, "Add Protocol: Enter the port as a number from 0 to 65535."},
      {"Web", "70000", PFW_TCP, "Add Protocol: Enter the port as a number from 0 to 65535."},
      {"Web", "8o", PFW_TCP, "Add Protocol: Enter the port as a number from 0 to 65535."},
      {"   ", "70", PFW_TCP, "Add Protocol: Enter a name for the protocol."},
      {"A protocol name of 20", "70", PFW_TCP, "Add Protocol: The protocol name may hold at most 19 characters."},
      {"http", "81", PFW_TCP, "accepted"},  // names compare exactly
      {"QUIC", "80", PFW_UDP, "accepted"},  // the same port on the other transport
      {"Top", "65535", PFW_TCP, "accepted"},
  };
  for (const Case& c : cases) EXPECT_EQ(Said(CheckProtocol(lists, {c.name, c.port, c.transport})), c.said) << c.name;
  EXPECT_EQ(CheckProtocol(lists, {"Web", "80", PFW_TCP})->flags, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));

  ProtocolEntry entry;
  ASSERT_FALSE(CheckProtocol(lists, {"QUIC", "443", PFW_UDP}, &entry));
  EXPECT_EQ(entry.name, "QUIC");
  EXPECT_EQ(entry.transport, PFW_UDP);
  EXPECT_EQ(entry.port, 443u);
  const PFW_PROTO* made = CreateProtocol(lists, entry);
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->transport, PFW_UDP);
  EXPECT_EQ(value_names(kProtocols).size(), 3u);
}

TEST_F(EntryChecks, ApplicationsCompareNamesAsStored) {
  const std::pair<AppEntry, const char*> cases[] = {
      {{"browser.exe", "Other"}, "Add Application: Application \"BROWSER.EXE\" already exists.\nDescription: Browser"},
      {{"new.exe", "Browser"},
       "Add Application: Application with description \"Browser\" already exists.\nName: BROWSER.EXE"},
      {{"averyveryverylongprogramname1.exe", "Long"}, "Add Application: The file name may hold at most 29 characters."},
      {{"long.exe", std::string(42, 'd')}, "Add Application: The description may hold at most 41 characters."},
      {{" ", "Mail"}, "Add Application: Enter the application's file name."},
      {{"mail.exe", " "}, "Add Application: Enter a description for the application."},
      {{"mail.exe", "browser"}, "accepted"},  // descriptions compare exactly
  };
  for (const auto& [typed, said] : cases) EXPECT_EQ(Said(CheckApplication(lists, typed)), said) << typed.name;

  // Stored in capitals, whatever was typed.
  const PFW_APP* made = CreateApplication(lists, {"mailer.exe", "mailer.exe"});
  ASSERT_NE(made, nullptr);
  EXPECT_STREQ(made->name, "MAILER.EXE");
  EXPECT_EQ(value_names(kApps).size(), 3u);
}

AddressTyped Typed(const char* name, const char* first, const char* last = nullptr) {
  AddressTyped typed;
  typed.name = name;
  typed.type = last ? PFW_NETWORK_ADDRESS : PFW_SINGLE_ADDRESS;
  std::string a = std::string(first) + ".", b = std::string(last ? last : "") + ".";
  for (size_t i = 0, x = 0, y = 0; i < 4; ++i) {
    size_t dx = a.find('.', x), dy = b.find('.', y);
    typed.first[i] = dx == std::string::npos ? "" : a.substr(x, dx - x);
    typed.last[i] = dy == std::string::npos ? "" : b.substr(y, dy - y);
    x = dx == std::string::npos ? a.size() : dx + 1;
    y = dy == std::string::npos ? b.size() : dy + 1;
  }
  return typed;
}

TEST_F(EntryChecks, AddressRefusalsAndWhatIsAccepted) {
  const std::pair<AddressTyped, const char*> cases[] = {
      {Typed("Web Proxy", "1.2.3.4"),
       "Add Address: The address \"Web Proxy\" already exists.\nType: SINGLE ADDRESS\nIP-Address: 10.0.0.8"},
      {Typed("Office LAN", "1.2.3.4"),
       "Add Address: The address \"Office LAN\" already exists.\nType: NETWORK ADDRESS\nIP-Range: "
       "192.168.1.0-192.168.1.255"},
      {Typed("Bad", "1.2.3.256"), "Tarnwall Edictor: Enter valid IP-Address!"},
      {Typed("Bad", "1.2..4"), "Tarnwall Edictor: Enter valid IP-Address!"},
      {Typed("Bad", "1.2.3.4", "5.6.7."), "Tarnwall Edictor: Enter valid IP-Address!"},
      {Typed("Proxy 2", "10.0.0.8"),
       "Add Address: A single address with this address already exists.\nName: Web Proxy"},
      {Typed("LAN 2", "192.168.1.0", "192.168.1.255"),
       "Add Address: A network address with this address range already exists.\nName: Office LAN"},
      {Typed("  ", "9.9.9.9"), "Add Address: Enter a name for the address."},
      {Typed("An address name of 31 letters..", "9.9.9.9"),
       "Add Address: The address name may hold at most 30 characters."},
      {Typed("Printer", "192.168.1.20"), "accepted"},   // inside a range, yet accepted
      {Typed("LAN 3", "192.168.1.255", "192.168.1.0"),  // the same range typed high to low
       "Add Address: A network address with this address range already exists.\nName: Office LAN"},
  };
  for (const auto& [typed, said] : cases) EXPECT_EQ(Said(CheckAddress(lists, typed)), said) << typed.name;
  Check invalid = CheckAddress(lists, Typed("Bad", "1.2.3.256"));
  ASSERT_TRUE(invalid);
  EXPECT_EQ(invalid->flags, static_cast<UINT>(MB_OK));

  // A range typed high to low is accepted as typed and stored from low to high.
  AddressEntry entry;
  ASSERT_FALSE(CheckAddress(lists, Typed("Campus", "10.9.255.255", "10.9.0.0"), &entry));
  EXPECT_EQ(entry.type, PFW_NETWORK_ADDRESS);
  EXPECT_EQ(entry.first, ip("10.9.255.255"));
  EXPECT_EQ(entry.last, ip("10.9.0.0"));
  const PFW_ADR* campus = CreateAddress(lists, entry);
  ASSERT_NE(campus, nullptr);
  EXPECT_EQ(campus->low, ip("10.9.0.0"));
  EXPECT_EQ(campus->high, ip("10.9.255.255"));
  ASSERT_FALSE(CheckAddress(lists, Typed("Host", "10.1.2.3"), &entry));
  EXPECT_EQ(entry.last, entry.first);
  EXPECT_EQ(value_names(kAddresses).size(), 4u);
}

TEST_F(EntryChecks, RulesAreOnePerObjectsAndDirection) {
  RuleChoice choice{http, proxy, browser, PFW_INBOUND, PFW_DENY, 1};
  RuleChoice partial[5] = {choice, choice, choice, choice, choice};
  partial[0].protocol = nullptr;
  partial[1].address = nullptr;
  partial[2].app = nullptr;
  partial[3].direction = -1;
  partial[4].action = -1;
  for (const RuleChoice& p : partial) {
    EXPECT_FALSE(RuleComplete(p));
    EXPECT_EQ(CreateRule(lists, p), -1);
  }
  ASSERT_TRUE(RuleComplete(choice));
  EXPECT_EQ(Said(CheckRule(lists, choice)), "accepted");
  int key = CreateRule(lists, choice);
  ASSERT_GE(key, 2);
  const PFW_RULE* rule = PFW_GetRuleByIndex(rules, key, nullptr);
  ASSERT_NE(rule, nullptr);
  EXPECT_EQ(rule->action, PFW_DENY);
  EXPECT_EQ(rule->log, 1);
  EXPECT_TRUE(value_exists(kRuleSet, PFW_CreateRuleKey(static_cast<int>(http->key), static_cast<int>(proxy->key),
                                                       static_cast<int>(browser->key), PFW_INBOUND)));

  // Another action is no other rule; the other direction is.
  choice.action = PFW_ASK;
  Check refused = CheckRule(lists, choice);
  EXPECT_EQ(Said(refused), "Add Rule: A rule with these parameters already exists!");
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->flags, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
  choice.direction = PFW_OUTBOUND;
  EXPECT_EQ(Said(CheckRule(lists, choice)), "accepted");
  // The installed outbound default rule is any, any, any.
  RuleChoice anyOut{PFW_GetProtocolByIndex(protocols, 0, nullptr),
                    PFW_GetAddressByIndex(addresses, 0, nullptr),
                    PFW_GetAppByIndex(apps, 0, nullptr),
                    PFW_OUTBOUND,
                    PFW_DENY,
                    0};
  EXPECT_EQ(Said(CheckRule(lists, anyOut)), "Add Rule: A rule with these parameters already exists!");
}

TEST_F(EntryChecks, TheStoresRefusalIsToldWithItsReason) {
  std::string refusal;
  // Added meanwhile by another program: the entry exists.
  EXPECT_EQ(CreateProtocol(lists, {"HTTP", PFW_TCP, 80}, &refusal), nullptr);
  EXPECT_EQ(refusal, CreateRefusal("protocol", true));
  EXPECT_EQ(CreateApplication(lists, {"BROWSER.EXE", "Another"}, &refusal), nullptr);
  EXPECT_EQ(refusal, CreateRefusal("application", true));
  EXPECT_EQ(CreateAddress(lists, {"Proxy 2", PFW_SINGLE_ADDRESS, ip("10.0.0.8"), 0}, &refusal), nullptr);
  EXPECT_EQ(refusal, CreateRefusal("address", true));
  // The last key the list can give: the store refuses the add as a full list.
  protocols->next_key = UINT32_MAX;
  EXPECT_EQ(CreateProtocol(lists, {"Gopher", PFW_TCP, 70}, &refusal), nullptr);
  EXPECT_EQ(refusal, "The protocol could not be added: the protocol list is full.");
  protocols->next_key = 3;
  EXPECT_EQ(value_names(kProtocols).size(), 2u);
}

// The system's own resolver, asked only for the one name every machine knows.
TEST(SystemResolver, LocalhostIsTheLoopbackAddress) {
  WSADATA data{};
  ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
  unsigned char address[4] = {};
  EXPECT_TRUE(SystemResolve("localhost", address));
  EXPECT_EQ(std::vector<int>(address, address + 4), (std::vector<int>{127, 0, 0, 1}));
  WSACleanup();
}

}  // namespace
