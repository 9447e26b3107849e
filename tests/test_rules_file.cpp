// The rule-set file of rules.exe: what the reader accepts, what it refuses and
// which line it names, and what the writer refuses to write.
#include <gtest/gtest.h>

#include <string>

#include "rules_format.h"

using namespace rulesfile;

namespace {

const char kWildcards[] =
    "protocol p0 any \"Any Protocol\"\n"
    "address a0 any \"Any Address\"\n"
    "application x0 any \"*\" \"Any Application\"\n";
const char kDefaults[] = "rule in deny log p0 a0 x0\nrule out ask log p0 a0 x0\n";

std::string file_of(const std::string& body) {
  return "tarnwall-rules 1\n" + std::string(kWildcards) + kDefaults + body;
}

TEST(RulesFile, ReadsEveryFieldOfEveryKindOfLine) {
  std::string text =
      "\xEF\xBB\xBFtarnwall-rules 1\r\n"
      "# a comment with a \"stray quote\n"
      "   \t\n"
      "logfile \"C:\\Program Files\\x.log\"\r\n"
      "protocol p0 any \"Any Protocol\"\n"
      "protocol web\tTCP  80 \"Say \"\"hi\"\"\"\n"
      "protocol dns udp 53 \"DNS\"\n"
      "address a0 any \"Any Address\"\n"
      "address lan range 192.168.0.1 192.168.0.255 \"LAN\"\n"
      "address me single 127.0.0.1 \"Local Host\"\n"
      "application x0 any \"*\" \"Any Application\"\n"
      "application ie \"IEXPLORE.EXE\" \"Caf\xC3\xA9\"\n"
      "application bare \"A B.EXE\" \"\"\n"
      "rule in deny log p0 a0 x0\n"
      "rule out ask nolog p0 a0 x0\n"
      "rule OUT Allow NOLOG web lan ie";  // no line end at the end
  RuleSet set;
  Fault fault;
  Latin1 cp;
  ASSERT_TRUE(read_rule_set(text, cp, set, fault)) << describe(fault);
  EXPECT_TRUE(set.has_log_file);
  EXPECT_EQ(set.log_file, "C:\\Program Files\\x.log");
  ASSERT_EQ(set.protocols.size(), 3u);
  EXPECT_TRUE(set.protocols[0].any);
  EXPECT_EQ(set.protocols[1].name, "Say \"hi\"");
  EXPECT_EQ(set.protocols[1].transport, kTcp);
  EXPECT_EQ(set.protocols[1].port, 80u);
  EXPECT_EQ(set.protocols[2].transport, kUdp);
  ASSERT_EQ(set.addresses.size(), 3u);
  EXPECT_EQ(set.addresses[1].type, kRange);
  EXPECT_EQ(set.addresses[1].low, 0x0100A8C0u);  // network byte order
  EXPECT_EQ(set.addresses[1].high, 0xFF00A8C0u);
  EXPECT_EQ(set.addresses[2].type, kSingle);
  EXPECT_EQ(set.addresses[2].low, set.addresses[2].high);
  ASSERT_EQ(set.apps.size(), 3u);
  EXPECT_EQ(set.apps[1].description, "Caf\xE9") << "UTF-8 e-acute is the one code-page byte";
  EXPECT_EQ(set.apps[2].description, "");
  ASSERT_EQ(set.rules.size(), 3u);
  EXPECT_FALSE(set.rules[1].log);
  const Rule& r = set.rules[2];
  EXPECT_EQ(r.direction, kOutbound);
  EXPECT_EQ(r.action, kAllow);
  EXPECT_EQ(r.protocol, 1u);
  EXPECT_EQ(r.address, 1u);
  EXPECT_EQ(r.app, 1u);
  EXPECT_EQ(r.line, 16);
}

TEST(RulesFile, NamesTheFirstBadLineAndWhatIsWrongWithIt) {
  struct Case {
    std::string text;
    int line;
    const char* says;
  } cases[] = {
      {"", 0, "the file is empty"},
      {"tarnwall-rules 2\n", 1, "version 2 is not one this program reads"},
      {"# first\ntarnwall-rules 1\n", 1, "the first line must be"},
      {file_of("protokoll p1 tcp 1 \"X\"\n"), 7, "'protokoll' is not an entry"},
      {file_of("protocol p1 tcp 65536 \"X\"\n"), 7, "the port '65536' is not a number from 0 to 65535"},
      {file_of("protocol p1 tcp -1 \"X\"\n"), 7, "the port '-1'"},
      {file_of("protocol p1 icmp 1 \"X\"\n"), 7, "the transport 'icmp'"},
      {file_of("protocol p1 tcp 1 X\n"), 7, "must be in double quotes"},
      {file_of("protocol p1 tcp 1 \"X\n"), 7, "has no closing"},
      {file_of("protocol p1 tcp 1 \"X\"y\n"), 7, "runs straight into"},
      {file_of("protocol p0 tcp 1 \"X\"\n"), 7, "the label 'p0' is given to a second protocol"},
      {file_of("protocol p1 tcp 1 \"X\" extra\n"), 7, "too many fields"},
      {file_of("protocol p1 tcp 1\n"), 7, "too few fields"},
      {file_of("protocol p1 tcp 1 \"12345678901234567890\"\n"), 7, "is 20 characters long; it may have at most 19"},
      {file_of("protocol p1 tcp 1 \"\"\n"), 7, "the protocol name is empty"},
      {file_of("protocol p1 tcp 80 \"A\"\nprotocol p2 tcp 80 \"B\"\n"), 8, "tcp port 80 is already defined on line 7"},
      {file_of("protocol p1 any \"Another\"\n"), 7, "any protocol is already defined on line 2"},
      {file_of("address a1 single 256.0.0.1 \"X\"\n"), 7, "the address '256.0.0.1' is not of the form"},
      {file_of("address a1 single 1.2.3 \"X\"\n"), 7, "the address '1.2.3'"},
      {file_of("address a1 single 1.2.3.4.5 \"X\"\n"), 7, "the address '1.2.3.4.5'"},
      {file_of("address a1 range 10.0.0.9 10.0.0.1 \"X\"\n"), 7,
       "the range starts at 10.0.0.9, after its end 10.0.0.1"},
      {file_of("address a1 range 10.0.0.1 10.0.0.9 \"X\"\naddress a2 range 10.0.0.1 10.0.0.9 \"Y\"\n"), 8,
       "the range 10.0.0.1 to 10.0.0.9 is already defined on line 7"},
      {file_of("application x1 \"A.EXE\" \"123456789012345678901234567890123456789012\"\n"), 7,
       "is 42 characters long; it may have at most 41"},
      {file_of("application x1 \"<AnyApplication>\" \"X\"\n"), 7, "is the wildcard entry's own key"},
      {file_of("application x1 \"A.EXE\" \"1\"\napplication x2 \"A.EXE\" \"2\"\n"), 8, "already defined on line 7"},
      {file_of("rule out allow log p0 a0 x9\n"), 7, "no application with the label 'x9' is defined above"},
      {file_of("rule out allow log p0 a0 x1\napplication x1 \"A.EXE\" \"\"\n"), 7,
       "no application with the label 'x1'"},
      {file_of("rule in deny nolog p0 a0 x0\n"), 7,
       "a rule for the same protocol, address, application and direction is on line 5"},
      {file_of("rule sideways deny log p0 a0 x0\n"), 7, "the direction 'sideways'"},
      {file_of("rule out maybe log p0 a0 x0\n"), 7, "the action 'maybe'"},
      {file_of("rule out deny yes p0 a0 x0\n"), 7, "the log flag 'yes'"},
      {file_of("logfile \"a\"\nlogfile \"b\"\n"), 8, "a second logfile line; the first is on line 7"},
      {file_of("logfile \"" + std::string(260, 'a') + "\"\n"), 7, "is 260 characters long; it may have at most 259"},
      {file_of("protocol p1 tcp 1 \"A\x01\"\n"), 7, "control character U+0001 at column 21"},
      {file_of("protocol p1 tcp 1 \"A\xC2\x85\"\n"), 7, "control character U+0085"},
      {file_of("application x1 \"A.EXE\" \"a\tb\"\n"), 7, "the description holds a tab"},
      {file_of("protocol p1 tcp 1 \"A\xE9\"\n"), 7, "byte 0xE9 at column 21 is not UTF-8 text"},
      {file_of("protocol p1 tcp 1 \"A\xC0\xAF\"\n"), 7, "is not UTF-8 text"},  // an overlong '/'
      {file_of("protocol p1 tcp 1 \"\xE2\x9C\x93\"\n"), 7, "holds a character that ISO 8859-1"},
      {file_of(std::string(5000, ' ') + "\n"), 7, "the line is 5000 bytes long"},
      {"tarnwall-rules 1\naddress a0 any \"A\"\napplication x0 any \"*\" \"\"\n", 0,
       "the file has no wildcard protocol"},
      {"tarnwall-rules 1\n" + std::string(kWildcards) + "rule in deny log p0 a0 x0\n", 0,
       "the file has no outbound default rule"},
  };
  for (const Case& c : cases) {
    RuleSet set;
    Fault fault;
    Latin1 cp;
    EXPECT_FALSE(read_rule_set(c.text, cp, set, fault)) << c.says;
    EXPECT_EQ(fault.line, c.line) << c.says << " -> " << describe(fault);
    EXPECT_NE(fault.message.find(c.says), std::string::npos) << describe(fault);
    EXPECT_LE(fault.excerpt.size(), 63u);
  }
}

TEST(RulesFile, AMessageQuotesTheLineShortAndPrintable) {
  RuleSet set;
  Fault fault;
  Latin1 cp;
  std::string bad = "rule out allow log p0 a0 x9 " + std::string(200, 'z');
  ASSERT_FALSE(read_rule_set(file_of(bad + "\n"), cp, set, fault));
  std::string text = describe(fault);
  EXPECT_EQ(text.rfind("line 7: ", 0), 0u) << text;
  EXPECT_NE(text.find(": rule out allow log p0 a0 x9 zzz"), std::string::npos) << text;
  EXPECT_NE(text.find("..."), std::string::npos) << text;
}

TEST(RulesFile, CountsBeyondTheStoresListsAreRefused) {
  std::string body;
  for (int i = 0; i < 861; i++) body += "protocol q" + std::to_string(i) + " tcp " + std::to_string(i + 1) + " \"P\"\n";
  RuleSet set;
  Fault fault;
  Latin1 cp;
  EXPECT_FALSE(read_rule_set(file_of(body), cp, set, fault));
  EXPECT_EQ(fault.line, 7 + 860);
  EXPECT_NE(fault.message.find("more protocols than the rule store can ever hold (861)"), std::string::npos);
}

// A set built as the store holds it, written and read back.
RuleSet sample_set() {
  RuleSet s;
  s.has_log_file = true;
  s.log_file = "C:\\Logs\\x \"y\".log";
  s.protocols = {{"", true, "Any Protocol"}, {"", false, "HTTP", kTcp, 80}, {"", false, "Q\"uote", kUdp, 0}};
  Address any{"", true, "Any Address"}, lan{"", false, "LAN", kRange, 0x0100000A, 0xFF00000A},
      one{"", false, "One", kSingle, 0x0100007F, 0x0100007F};
  s.addresses = {any, lan, one};
  s.apps = {{"", true, "*", "Any Application"}, {"", false, "IE.EXE", "Caf\xE9 \xFF"}};
  Rule in{kInbound, kDeny, true, 0, 0, 0}, out{kOutbound, kAsk, false, 0, 0, 0}, web{kOutbound, kAllow, true, 1, 1, 1};
  s.rules = {in, out, web};
  return s;
}

TEST(RulesFile, WhatIsWrittenReadsBackTheSame) {
  RuleSet set = sample_set(), back;
  Latin1 cp;
  std::string text, again;
  Fault fault;
  ASSERT_TRUE(write_rule_set(set, cp, text, fault)) << describe(fault);
  EXPECT_NE(text.find("application x1 \"IE.EXE\" \"Caf\xC3\xA9 \xC3\xBF\"\n"), std::string::npos) << text;
  EXPECT_NE(text.find("protocol p2 udp 0 \"Q\"\"uote\"\n"), std::string::npos) << text;
  EXPECT_NE(text.find("address a1 range 10.0.0.1 10.0.0.255 \"LAN\"\n"), std::string::npos) << text;
  EXPECT_NE(text.find("rule out allow log p1 a1 x1\n"), std::string::npos) << text;
  ASSERT_TRUE(read_rule_set(text, cp, back, fault)) << describe(fault);
  ASSERT_TRUE(write_rule_set(back, cp, again, fault));
  EXPECT_EQ(text, again);
}

TEST(RulesFile, TheWriterRefusesWhatWouldNotReadBack) {
  Latin1 cp;
  std::string text;
  struct Case {
    void (*spoil)(RuleSet&);
    const char* says;
  } cases[] = {
      {[](RuleSet& s) { s.protocols[1].name = "A\x01"; },
       "protocol key 0 cannot be written: its name holds a control character"},
      {[](RuleSet& s) { s.apps[1].description = "\x85"; }, "its description holds a control character"},
      {[](RuleSet& s) { s.addresses[2].high = 0x0200007F; }, "a single address whose two bounds differ"},
      {[](RuleSet& s) { s.addresses[1].type = 7; }, "its address type 7"},
      {[](RuleSet& s) { s.protocols[1].port = 70000; }, "its port 70000 is above 65535"},
      {[](RuleSet& s) { s.rules[2].action = 3; }, "its action 3"},
      {[](RuleSet& s) { s.protocols[1].name = ""; }, "the protocol name is empty"},
      {[](RuleSet& s) { s.rules.erase(s.rules.begin()); }, "no inbound default rule"},
  };
  for (const Case& c : cases) {
    RuleSet set = sample_set();
    c.spoil(set);
    Fault fault;
    EXPECT_FALSE(write_rule_set(set, cp, text, fault)) << c.says;
    EXPECT_NE(fault.message.find(c.says), std::string::npos) << fault.message;
  }
}

}  // namespace
