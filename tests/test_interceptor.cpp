// The stand-in interceptor: its attempt syntax, decision table and traffic
// line; its explanation against the library's lookup; and interceptor.exe
// feeding a consumer window through the mailbox.
#include <gtest/gtest.h>
#include <string.h>

#include <atomic>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "interceptor_handoff.h"
#include "interceptor_session.h"
#include "store_fixture.h"
#include "traffic_consumer.h"

using namespace interceptor;

namespace {

// ---------------------------------------------------------------------------
// The hand-over between deciding and delivering threads
// ---------------------------------------------------------------------------

struct Item {
  int number = -1;
  bool decided = false;
};

// Deciders that take uneven times finish out of order; the deliverer, slower
// still, must see every item once, in the order submitted, decided unless it
// was submitted as needing no decision, and the ring never holds more than asked.
TEST(Handoff, DeliversEveryItemOnceInOrderWhateverOrderTheyAreDecidedIn) {
  const int kItems = 600;
  const size_t kDepth = 8;
  std::atomic<int> deciding{0}, most_at_once{0}, decided_ahead{0}, most_ahead{0};
  std::vector<Item> delivered;
  {
    Ordered<Item> ring(
        kDepth, 3,
        [&](Item& item) {
          int now = ++deciding;
          for (int m = most_at_once.load(); now > m && !most_at_once.compare_exchange_weak(m, now);) {
          }
          // Every fifth item takes long, so the ones after it overtake it.
          Sleep(item.number % 5 == 0 ? 3 : 0);
          item.decided = true;
          int ahead = ++decided_ahead;
          for (int m = most_ahead.load(); ahead > m && !most_ahead.compare_exchange_weak(m, ahead);) {
          }
          --deciding;
        },
        [&](Item& item) {
          if (item.number % 50 == 0) Sleep(2);  // a monitor that is slow now and then
          if (item.decided) --decided_ahead;
          delivered.push_back(item);
        });
    for (int i = 0; i < kItems; i++) ring.submit(Item{i, false}, i % 7 != 3);
    ring.finish();
    ring.finish();  // a second finish is harmless
  }
  ASSERT_EQ(delivered.size(), (size_t)kItems);
  for (int i = 0; i < kItems; i++) {
    ASSERT_EQ(delivered[i].number, i) << "out of order";
    EXPECT_EQ(delivered[i].decided, i % 7 != 3) << "item " << i;
  }
  EXPECT_GE(most_at_once.load(), 2) << "the deciders never worked at the same time";
  EXPECT_LE(most_ahead.load(), (int)kDepth) << "more items held than the ring's depth";
}

TEST(Handoff, WithoutDecidersSubmitDoesTheWorkItselfInOrder) {
  std::vector<int> delivered;
  DWORD submitting_thread = GetCurrentThreadId();
  bool all_here = true;
  Ordered<Item> ring(
      4, 0, [&](Item& item) { item.decided = true; },
      [&](Item& item) {
        all_here = all_here && GetCurrentThreadId() == submitting_thread && item.decided == (item.number != 1);
        delivered.push_back(item.number);
      });
  for (int i = 0; i < 5; i++) ring.submit(Item{i, false}, i != 1);
  ring.finish();
  EXPECT_EQ(delivered, (std::vector<int>{0, 1, 2, 3, 4}));
  EXPECT_TRUE(all_here) << "with no deciding thread, each item is decided and delivered as it is submitted";
}

// ---------------------------------------------------------------------------
// Attempt syntax
// ---------------------------------------------------------------------------

TEST(AttemptSyntax, ReadsEveryFieldInEachAcceptedForm) {
  Attempt a;
  std::string error;
  ASSERT_EQ(parse_attempt("out tcp 80 192.168.1.5 IEXPLORE.EXE", a, error), Parsed::kAttempt) << error;
  EXPECT_EQ(a.direction, PFW_OUTBOUND);
  EXPECT_EQ(a.transport, PFW_TCP);
  EXPECT_EQ(a.port, 80u);
  EXPECT_EQ(a.address, ip("192.168.1.5"));
  EXPECT_EQ(a.program, "IEXPLORE.EXE");

  // Keywords in any case, tabs and a CR line end, a quoted name with blanks inside.
  ASSERT_EQ(parse_attempt("\tINBOUND\tUdp  0 0.0.0.0   \"My Server.exe\"\r\n", a, error), Parsed::kAttempt) << error;
  EXPECT_EQ(a.direction, PFW_INBOUND);
  EXPECT_EQ(a.transport, PFW_UDP);
  EXPECT_EQ(a.port, 0u);
  EXPECT_EQ(a.address, 0u);
  EXPECT_EQ(a.program, "My Server.exe");

  // Unquoted, the rest of the line is the name; the extremes of port and address.
  ASSERT_EQ(parse_attempt("Out TCP 65535 255.255.255.255 C:\\Program Files\\x.exe ", a, error), Parsed::kAttempt);
  EXPECT_EQ(a.port, 65535u);
  EXPECT_EQ(a.address, 0xFFFFFFFFul);
  EXPECT_EQ(a.program, "C:\\Program Files\\x.exe");
  EXPECT_EQ(dotted(ip("10.20.30.40")), "10.20.30.40");
}

TEST(AttemptSyntax, SkipsBlankAndCommentLines) {
  Attempt a;
  std::string error;
  for (const char* line : {"", "   \t\r\n", "# out tcp 80 1.2.3.4 X.EXE", "  #comment"})
    EXPECT_EQ(parse_attempt(line, a, error), Parsed::kSkip) << "'" << line << "'";
}

TEST(AttemptSyntax, RejectsMalformedLinesSayingWhatIsWrong) {
  struct Case {
    const char* line;
    const char* says;
  } cases[] = {
      {"sideways tcp 80 1.2.3.4 X.EXE", "direction 'sideways'"},
      {"out", "transport missing"},
      {"out icmp 80 1.2.3.4 X.EXE", "transport 'icmp'"},
      {"out tcp", "port missing"},
      {"out tcp 65536 1.2.3.4 X.EXE", "port '65536'"},
      {"out tcp -1 1.2.3.4 X.EXE", "port '-1'"},
      {"out tcp 80x 1.2.3.4 X.EXE", "port '80x'"},
      {"out tcp 0080000 1.2.3.4 X.EXE", "port '0080000'"},
      {"out tcp 80", "address missing"},
      {"out tcp 80 256.1.1.1 X.EXE", "address '256.1.1.1'"},
      {"out tcp 80 1.2.3 X.EXE", "address '1.2.3'"},
      {"out tcp 80 1.2.3.4.5 X.EXE", "address '1.2.3.4.5'"},
      {"out tcp 80 0x7f.0.0.1 X.EXE", "address '0x7f.0.0.1'"},
      {"out tcp 80 1..3.4 X.EXE", "address '1..3.4'"},
      {"out tcp 80 1.2.3.4", "program name missing"},
      {"out tcp 80 1.2.3.4 \"\"", "program name missing"},
      {"out tcp 80 1.2.3.4 \"X.EXE", "no closing quote"},
      {"out tcp 80 1.2.3.4 X\x01.EXE", "control character"},
  };
  for (const Case& c : cases) {
    Attempt a;
    a.program = "untouched";
    std::string error;
    EXPECT_EQ(parse_attempt(c.line, a, error), Parsed::kError) << c.line;
    EXPECT_NE(error.find(c.says), std::string::npos) << c.line << " -> " << error;
    EXPECT_EQ(a.program, "untouched") << "a rejected line changed the attempt";
  }
  // A NUL is refused, not taken as the end of the name.
  Attempt a;
  std::string error;
  using namespace std::string_literals;
  EXPECT_EQ(parse_attempt("out tcp 80 1.2.3.4 IE\0XPLORE.EXE"s, a, error), Parsed::kError);
  EXPECT_NE(error.find("NUL byte"), std::string::npos) << error;
  // A huge word is quoted as a short excerpt that says how long it was.
  ASSERT_EQ(parse_attempt("out tcp " + std::string(100000, '7') + " 1.2.3.4 X.EXE", a, error), Parsed::kError);
  EXPECT_LT(error.size(), 120u) << error;
  EXPECT_NE(error.find("(100000 bytes)"), std::string::npos) << error;
}

// ---------------------------------------------------------------------------
// Decision table
// ---------------------------------------------------------------------------

PFW_RULE rule_of(int action, int log) {
  PFW_RULE r = {};
  r.action = action;
  r.log = log;
  return r;
}

TEST(DecisionTable, RunModeAndRuleActionGiveTheDocumentedVerdict) {
  Switches all;
  all.log_fully_armed = all.log_stand_by = all.log_allow = all.log_deny = 1;
  PFW_RULE allow = rule_of(PFW_ALLOW, 1), deny = rule_of(PFW_DENY, 1), ask = rule_of(PFW_ASK, 1), odd = rule_of(7, 1);
  const PFW_RULE* rules[] = {&allow, &deny, &ask, &odd, nullptr};
  for (const PFW_RULE* r : rules) {
    EXPECT_FALSE(decide(PFW_MODE_BLOCK, r, all).allow) << "block lets nothing through";
    EXPECT_TRUE(decide(PFW_MODE_STANDBY, r, all).allow) << "stand by lets everything through";
    EXPECT_FALSE(decide(5, r, all).allow) << "an unknown mode stops the connection";
    EXPECT_FALSE(decide(-1, r, all).allow);
  }
  EXPECT_TRUE(decide(PFW_MODE_FILTER, &allow, all).allow);
  EXPECT_STREQ(decide(PFW_MODE_FILTER, &allow, all).word, "allow");
  EXPECT_FALSE(decide(PFW_MODE_FILTER, &deny, all).allow);
  EXPECT_STREQ(decide(PFW_MODE_FILTER, &deny, all).word, "deny");
  Decision asked = decide(PFW_MODE_FILTER, &ask, all);
  EXPECT_FALSE(asked.allow);
  EXPECT_STREQ(asked.word, "ask:deny");
  EXPECT_FALSE(decide(PFW_MODE_FILTER, &odd, all).allow);
  Decision none = decide(PFW_MODE_FILTER, nullptr, all);
  EXPECT_FALSE(none.allow);
  EXPECT_STREQ(none.why, "no rule");
}

TEST(DecisionTable, ALineIsDueOnlyWhenRuleFlagAndSwitchesAgree) {
  Switches s;
  PFW_RULE allow_logged = rule_of(PFW_ALLOW, 1), allow_quiet = rule_of(PFW_ALLOW, 0),
           deny_logged = rule_of(PFW_DENY, 1), ask_logged = rule_of(PFW_ASK, 1);

  // Filter: the rule's flag and the switch of the outcome.
  s.log_allow = 1;
  EXPECT_TRUE(decide(PFW_MODE_FILTER, &allow_logged, s).log);
  EXPECT_FALSE(decide(PFW_MODE_FILTER, &allow_quiet, s).log);
  EXPECT_FALSE(decide(PFW_MODE_FILTER, &deny_logged, s).log) << "log_deny is off";
  EXPECT_FALSE(decide(PFW_MODE_FILTER, nullptr, s).log);
  s.log_allow = 0;
  s.log_deny = 1;
  EXPECT_FALSE(decide(PFW_MODE_FILTER, &allow_logged, s).log);
  EXPECT_TRUE(decide(PFW_MODE_FILTER, &deny_logged, s).log);
  EXPECT_TRUE(decide(PFW_MODE_FILTER, &ask_logged, s).log);
  EXPECT_TRUE(decide(PFW_MODE_FILTER, nullptr, s).log) << "a connection no rule covers is worth a line";

  // Block: the mode decides, so its switch stands in for the rule's flag.
  EXPECT_FALSE(decide(PFW_MODE_BLOCK, &deny_logged, s).log) << "log_fully_armed is off";
  s.log_fully_armed = 1;
  EXPECT_TRUE(decide(PFW_MODE_BLOCK, &allow_quiet, s).log);
  EXPECT_TRUE(decide(PFW_MODE_BLOCK, nullptr, s).log);
  s.log_deny = 0;
  EXPECT_FALSE(decide(PFW_MODE_BLOCK, &deny_logged, s).log);

  // Stand by: its switch and log_allow.
  s.log_stand_by = 1;
  EXPECT_FALSE(decide(PFW_MODE_STANDBY, &allow_logged, s).log) << "log_allow is off";
  s.log_allow = 1;
  EXPECT_TRUE(decide(PFW_MODE_STANDBY, &deny_logged, s).log);
  s.log_stand_by = 0;
  EXPECT_FALSE(decide(PFW_MODE_STANDBY, &allow_logged, s).log);
}

// ---------------------------------------------------------------------------
// Traffic line
// ---------------------------------------------------------------------------

SYSTEMTIME when() {
  SYSTEMTIME t = {};
  t.wYear = 2024;
  t.wMonth = 5;
  t.wDay = 1;
  t.wHour = 13;
  t.wMinute = 45;
  t.wSecond = 7;
  return t;
}

TEST(TrafficLine, CarriesTimeAttemptDecisionAndRuleKey) {
  Attempt a;
  std::string error;
  ASSERT_EQ(parse_attempt("out tcp 80 192.168.1.5 IEXPLORE.EXE", a, error), Parsed::kAttempt);
  PFW_RULE r = rule_of(PFW_ALLOW, 1);
  r.protocol_key = 2;
  r.address_key = 0;
  r.app_key = 3;
  r.direction = PFW_OUTBOUND;
  Decision d = decide(PFW_MODE_FILTER, &r, Switches{});
  EXPECT_EQ(traffic_line(when(), a, d, PFW_MODE_FILTER, 7, &r),
            "2024-05-01 13:45:07 out TCP/80 192.168.1.5 IEXPLORE.EXE allow mode=filter rule=7:2,0,3,1\n");

  ASSERT_EQ(parse_attempt("in udp 53 10.0.0.1 DNS.EXE", a, error), Parsed::kAttempt);
  d = decide(PFW_MODE_BLOCK, nullptr, Switches{});
  EXPECT_EQ(traffic_line(when(), a, d, PFW_MODE_BLOCK, -1, nullptr),
            "2024-05-01 13:45:07 in UDP/53 10.0.0.1 DNS.EXE deny mode=block rule=none\n");
}

TEST(TrafficLine, LongProgramNamesAreCutSoTheLineFitsTheRecord) {
  Attempt a;
  a.direction = PFW_OUTBOUND;
  a.transport = PFW_UDP;
  a.port = 65535;
  a.address = 0xFFFFFFFFul;
  // Every other field as wide as it gets.
  PFW_RULE r = rule_of(PFW_ASK, 1);
  r.protocol_key = r.address_key = r.app_key = 0xFFFFFFFFu;
  r.direction = PFW_OUTBOUND;
  Decision d = decide(PFW_MODE_FILTER, &r, Switches{});
  SYSTEMTIME t = when();
  t.wYear = 65535;
  for (size_t length : {1u, 60u, 120u, 300u, 5000u}) {
    a.program = std::string(length, 'P');
    std::string line = traffic_line(t, a, d, 12345678, 2147483647, &r);
    EXPECT_LE(line.size(), 199u) << length;
    EXPECT_EQ(line.back(), '\n');
    EXPECT_EQ(line.find('\n'), line.size() - 1);
    EXPECT_NE(line.find("rule=2147483647:-1,-1,-1,1"), std::string::npos) << line;
    EXPECT_NE(line.find(std::string(length < 50 ? length : 50, 'P')), std::string::npos) << "the name was lost";
  }
  // A name that came with control characters keeps the line one line.
  a.program = "EVIL\nEXE\r";
  std::string line = traffic_line(when(), a, d, PFW_MODE_FILTER, -1, nullptr);
  EXPECT_NE(line.find("EVIL?EXE?"), std::string::npos) << line;
  EXPECT_EQ(line.find('\n'), line.size() - 1);
}

// ---------------------------------------------------------------------------
// The explanation against the library's lookup
// ---------------------------------------------------------------------------

class ExplainTest : public StoreTest {};

// Rule sets whose entries carry explicit keys in shuffled order, as a registry
// load can give them, so list order and key order differ; overlapping address
// ranges give many candidates of equal score.
TEST_F(ExplainTest, NamesTheSameWinnerAsTheLookupOnVariedRuleSets) {
  const unsigned kPorts[] = {21, 25, 80, 443};
  const char* kApps[] = {"IEXPLORE.EXE", "FTP.EXE", "iexplore.exe", "MAIL.EXE"};
  int compared = 0, won = 0, ties = 0;
  for (int set = 0; set < 40; set++) {
    std::mt19937 rng(0xE4A1u + set);
    auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    std::vector<unsigned> keys(24);
    for (unsigned i = 0; i < keys.size(); i++) keys[i] = i;
    std::shuffle(keys.begin(), keys.end(), rng);
    size_t next = 0;
    std::vector<int> in_list[3];  // keys given to protocols, addresses, applications
    auto take = [&](int list) {
      in_list[list].push_back((int)keys[next]);
      return keys[next++];
    };
    bool wildcards_late = pick(4) == 0;
    auto wildcards = [&] {
      PFW_AddProtocol(protocols, 1, "Any", PFW_TCP, 0, take(0));
      PFW_AddAddress(addresses, 1, 0, 0, "Any", PFW_SINGLE_ADDRESS, take(1));
      PFW_AddApp(apps, 1, "", "Any", take(2));
    };
    if (!wildcards_late) wildcards();
    for (unsigned port : kPorts) PFW_AddProtocol(protocols, 0, "svc", (PFW_TRANSPORT)pick(2), port, take(0));
    for (int i = 0; i < 6; i++) {
      unsigned lo = (unsigned)pick(4), hi = lo + (unsigned)pick(3);
      PFW_AddAddress(addresses, 0, ip(("10.0.0." + std::to_string(lo)).c_str()),
                     ip(("10.0.0." + std::to_string(hi)).c_str()), "net", PFW_NETWORK_ADDRESS, take(1));
    }
    for (const char* app : kApps) PFW_AddApp(apps, 0, app, "app", take(2));
    if (wildcards_late) wildcards();
    auto part = [&](int list) { return in_list[list][pick((int)in_list[list].size())]; };
    for (int i = 0; i < 40; i++) PFW_AddRule(rules, part(0), part(1), part(2), pick(2), pick(3), pick(2));

    for (int c = 0; c < 8; c++) {
      Attempt a;
      a.direction = pick(2);
      a.transport = pick(2);
      a.port = kPorts[pick(4)];
      a.address = ip(("10.0.0." + std::to_string(pick(6))).c_str());
      a.program = kApps[pick(4)];
      int key = -1;
      PFW_RULE copy = {};
      PFW_GetRule(rules, addresses, protocols, apps, a.port, a.transport, a.address, a.program.c_str(), a.direction,
                  &key, &copy);
      Explanation e = explain(Roots{protocols, addresses, apps, rules}, a);
      ASSERT_EQ(e.winner_key(), key) << "set " << set << " attempt " << describe(a) << "\n"
                                     << format_explanation(e, a, key);
      EXPECT_EQ(e.candidates.size(), (size_t)(e.protocols * e.addresses * e.apps));
      if (e.winner >= 0) {
        won++;
        int equal = 0;
        for (const Candidate& cand : e.candidates) {
          EXPECT_LE(cand.score, e.candidates[e.winner].score);
          equal += cand.score == e.candidates[e.winner].score;
        }
        ties += equal > 1;
      }
      compared++;
    }
    TearDown();
    SetUp();
  }
  // The sets must have exercised what they are for.
  EXPECT_GT(won, compared / 2);
  EXPECT_GT(ties, 5);
}

TEST_F(ExplainTest, MarksTheWinnerAndComparesWithTheLookup) {
  PFW_AddProtocol(protocols, 1, "Any", PFW_TCP, 0, 0);
  PFW_AddProtocol(protocols, 0, "HTTP", PFW_TCP, 80);
  PFW_AddAddress(addresses, 1, 0, 0, "Any", PFW_SINGLE_ADDRESS, 0);
  PFW_AddApp(apps, 1, "", "Any");
  PFW_AddApp(apps, 0, "IEXPLORE.EXE", "browser");
  PFW_AddRule(rules, 0, 0, 0, PFW_OUTBOUND, PFW_DENY, 1);   // key 0: score 0
  PFW_AddRule(rules, 1, 0, 0, PFW_OUTBOUND, PFW_ALLOW, 0);  // key 1: HTTP, score 4
  Attempt a;
  std::string error;
  ASSERT_EQ(parse_attempt("out tcp 80 192.168.1.5 IEXPLORE.EXE", a, error), Parsed::kAttempt);
  Explanation e = explain(Roots{protocols, addresses, apps, rules}, a);
  ASSERT_EQ(e.candidates.size(), 4u);  // 2 protocols x 1 address x 2 applications
  EXPECT_EQ(e.winner_key(), 1);
  std::string text = format_explanation(e, a, 1);
  EXPECT_NE(text.find("1 HTTP TCP/80"), std::string::npos) << text;
  EXPECT_NE(text.find("<= winner"), std::string::npos) << text;
  EXPECT_NE(text.find("winner: rule 1 (score 4); PFW_GetRule: rule 1, the same"), std::string::npos) << text;
  EXPECT_NE(format_explanation(e, a, 0).find("DIFFERENT"), std::string::npos);
}

// ---------------------------------------------------------------------------
// interceptor.exe and a consumer window
// ---------------------------------------------------------------------------

class InterceptorTest : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    PFW_InitializeGlobalData();
    saved_mode = PFW_GetRunMode();
    saved = current_switches();
    saved_monitor = PFW_GetGlobalMonitorHwnd();
    PFW_SetGlobalMonitorHwnd(nullptr);
    PFW_SetRunMode(PFW_MODE_FILTER);
    PFW_SetLogAllow(1);
    PFW_SetLogDeny(1);
    PFW_SetLogFullyArmed(1);
    PFW_SetLogStandBy(1);

    // The installed start: wildcards and the two default rules; then two programs.
    PFW_AddProtocol(protocols, 1, "Any Protocol", PFW_TCP, 0, 0);
    PFW_AddAddress(addresses, 1, 0, 0, "Any Address", PFW_SINGLE_ADDRESS, 0);
    PFW_AddApp(apps, 1, "", "Any Application");
    PFW_AddRule(rules, 0, 0, (int)apps->any_key, PFW_INBOUND, PFW_DENY, 1);  // key 0
    PFW_AddRule(rules, 0, 0, (int)apps->any_key, PFW_OUTBOUND, PFW_ASK, 1);  // key 1
    PFW_AddApp(apps, 0, "GOOD.EXE", "allowed");
    PFW_AddApp(apps, 0, "BAD.EXE", "denied");
    PFW_GetExactAppByName(apps, "GOOD.EXE", &good_app, nullptr);
    PFW_GetExactAppByName(apps, "BAD.EXE", &bad_app, nullptr);
    PFW_AddRule(rules, 0, 0, good_app, PFW_OUTBOUND, PFW_ALLOW, 1);  // key 2
    PFW_AddRule(rules, 0, 0, bad_app, PFW_OUTBOUND, PFW_DENY, 1);    // key 3
  }
  void TearDown() override {
    PFW_SetGlobalMonitorHwnd(saved_monitor);
    PFW_SetRunMode(saved_mode);
    PFW_SetLogAllow(saved.log_allow);
    PFW_SetLogDeny(saved.log_deny);
    PFW_SetLogFullyArmed(saved.log_fully_armed);
    PFW_SetLogStandBy(saved.log_stand_by);
    StoreTest::TearDown();
  }

  static ProgramRun interceptor(const std::string& args, const std::string& input, TrafficConsumer* consumer) {
    return run_program("\"" + program_directory() + "interceptor.exe\" " + args, input, consumer);
  }
  static std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (!line.empty()) lines.push_back(line);
    }
    return lines;
  }
  static long mailbox_count() { return semaphore_count(PFW_GLOBAL_SEMAPHORE_NAME); }

  int good_app = -1, bad_app = -1;
  int saved_mode = 0;
  Switches saved;
  HWND saved_monitor = nullptr;
};

TEST_F(InterceptorTest, EveryLineReachesTheMonitorInOrderWithItsLamp) {
  TrafficConsumer consumer;
  ASSERT_TRUE(consumer.hwnd());
  PFW_SetGlobalMonitorHwnd(consumer.hwnd());

  const int kAttempts = 400;
  std::string input;
  std::vector<std::string> expected;
  for (int i = 0; i < kAttempts; i++) {
    bool good = i % 3 != 0;
    std::string address = "10.1." + std::to_string(i / 200) + "." + std::to_string(i % 200);
    std::string port = std::to_string(1000 + i);
    if (i % 10 == 5) {  // inbound: the default rule, key 0, decides
      input += "in tcp " + port + " " + address + " GOOD.EXE\n";
      expected.push_back("in TCP/" + port + " " + address + " GOOD.EXE deny mode=filter rule=0:0,0," +
                         std::to_string(apps->any_key) + ",0\n");
      continue;
    }
    input += "out tcp " + port + " " + address + (good ? " GOOD.EXE\n" : " BAD.EXE\n");
    expected.push_back("out TCP/" + port + " " + address +
                       (good ? " GOOD.EXE allow mode=filter rule=2:0,0," + std::to_string(good_app) + ",1\n"
                             : " BAD.EXE deny mode=filter rule=3:0,0," + std::to_string(bad_app) + ",1\n"));
  }
  ProgramRun run = interceptor("", input, &consumer);
  ASSERT_EQ(run.exit_code, 0) << run.err;

  ASSERT_EQ(consumer.lines.size(), (size_t)kAttempts) << "lines were lost";
  for (int i = 0; i < kAttempts; i++) {
    const std::string& line = consumer.lines[i];
    ASSERT_GT(line.size(), 20u);
    EXPECT_EQ(line.substr(20), expected[i]) << "line " << i;  // after "YYYY-MM-DD HH:MM:SS "
  }
  EXPECT_EQ(consumer.empty_messages, 0);
  // Both kinds of decision flashed their lamp, at most once per attempt.
  EXPECT_GE(consumer.lamps[0], 1) << "left lamp: let through";
  EXPECT_GE(consumer.lamps[1], 1) << "right lamp: stopped";
  EXPECT_LE(consumer.lamps[0] + consumer.lamps[1], kAttempts);
  std::vector<std::string> printed = lines_of(run.out);
  ASSERT_EQ(printed.size(), (size_t)kAttempts);
  EXPECT_NE(printed[0].find("-> deny [rule] mode=filter rule=3 (out Any Protocol, Any Address, BAD.EXE); log: sent"),
            std::string::npos)
      << printed[0];
  EXPECT_NE(printed[5].find("-> deny [rule] mode=filter rule=0 (in Any Protocol, Any Address, Any Application)"),
            std::string::npos)
      << printed[5];
  EXPECT_EQ(mailbox_count(), 1);
}

TEST_F(InterceptorTest, NothingIsDepositedWhileNoMonitorIsRecorded) {
  const std::string input = "out tcp 80 10.0.0.1 GOOD.EXE\nout tcp 80 10.0.0.1 BAD.EXE\nin udp 53 10.0.0.2 X.EXE\n";
  ProgramRun run = interceptor("", input, nullptr);
  ASSERT_EQ(run.exit_code, 0) << run.err;
  for (const std::string& line : lines_of(run.out)) EXPECT_NE(line.find("log: no monitor"), std::string::npos) << line;
  EXPECT_EQ(lines_of(run.out).size(), 3u);
  EXPECT_EQ(mailbox_count(), 1);

  // A handle left behind by a monitor that is gone counts as none.
  HWND gone;
  {
    TrafficConsumer consumer;
    gone = consumer.hwnd();
  }
  PFW_SetGlobalMonitorHwnd(gone);
  run = interceptor("", input, nullptr);
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(lines_of(run.out).size(), 3u);
  EXPECT_NE(run.out.find("log: no monitor"), std::string::npos) << run.out;
  EXPECT_EQ(mailbox_count(), 1);
}

TEST_F(InterceptorTest, ALineTheMonitorDoesNotTakeIsTakenBackNotLeftHolding) {
  TrafficConsumer consumer;
  PFW_SetGlobalMonitorHwnd(consumer.hwnd());
  consumer.ready = false;  // as a monitor between recording its window and being ready
  ProgramRun run =
      interceptor("--answer-ms 100 \"out tcp 80 10.0.0.1 GOOD.EXE\" \"out tcp 81 10.0.0.1 GOOD.EXE\"", "", &consumer);
  ASSERT_EQ(run.exit_code, 0) << run.err;
  std::vector<std::string> printed = lines_of(run.out);
  ASSERT_EQ(printed.size(), 4u) << run.out;
  EXPECT_NE(printed[0].find("TCP/80 10.0.0.1 GOOD.EXE -> allow"), std::string::npos) << printed[0];
  EXPECT_EQ(printed[1], "note: the monitor did not take the last line sent; it was taken back");
  EXPECT_NE(printed[2].find("TCP/81 10.0.0.1 GOOD.EXE -> allow"), std::string::npos) << printed[2];
  EXPECT_EQ(printed[3], "note: the monitor did not take the last line sent; it was taken back");
  EXPECT_EQ(mailbox_count(), 1) << "the mailbox was left full";

  consumer.ready = true;
  run = interceptor("--answer-ms 100 \"out tcp 82 10.0.0.1 GOOD.EXE\"", "", &consumer);
  ASSERT_EQ(run.exit_code, 0) << run.err;
  ASSERT_EQ(consumer.lines.size(), 1u);
  EXPECT_NE(consumer.lines[0].find("TCP/82"), std::string::npos);
}

TEST_F(InterceptorTest, AMonitorKilledWithALinePendingLeavesTheMailboxFreeForTheNext) {
  HANDLE notified = CreateEventA(nullptr, TRUE, FALSE, "TarnwallMonitorNotified");
  HANDLE monitor = start_helper("global_helper.exe monitor TarnwallMonitorNotified");
  ASSERT_TRUE(notified && monitor);
  // The helper records its window; wait for the record to name a live window.
  DWORD from = GetTickCount();
  while (!IsWindow(PFW_GetGlobalMonitorHwnd()) || PFW_GetGlobalMonitorHwnd() == saved_monitor) {
    ASSERT_LT(GetTickCount() - from, 10000u) << "the stand-in monitor did not record its window";
    Sleep(1);
  }
  // The answer time is long: the line must come back because the monitor is
  // gone, not because the time ran out three times over.
  struct Run {
    ProgramRun result;
    static DWORD WINAPI main(void* self) {
      ((Run*)self)->result = interceptor("--answer-ms 20000 \"out tcp 80 10.0.0.1 GOOD.EXE\"", "", nullptr);
      return 0;
    }
  } run;
  HANDLE thread = CreateThread(nullptr, 0, Run::main, &run, 0, nullptr);
  ASSERT_EQ(WaitForSingleObject(notified, 10000), WAIT_OBJECT_0) << "the monitor was not told of the line";
  TerminateProcess(monitor, 1);
  WaitForSingleObject(monitor, INFINITE);
  CloseHandle(monitor);
  CloseHandle(notified);
  DWORD ended = WaitForSingleObject(thread, 10000);
  if (ended != WAIT_OBJECT_0) {
    // Not left behind to hold the mailbox for the tests after this one.
    WaitForSingleObject(thread, 60000);
  }
  CloseHandle(thread);
  ASSERT_EQ(ended, WAIT_OBJECT_0) << "the interceptor did not end within 10 s of the monitor's death";
  ASSERT_EQ(run.result.exit_code, 0) << run.result.err;
  std::vector<std::string> printed = lines_of(run.result.out);
  ASSERT_EQ(printed.size(), 2u) << run.result.out;
  EXPECT_NE(printed[0].find("log: sent"), std::string::npos) << printed[0];
  EXPECT_EQ(printed[1], "note: the monitor did not take the last line sent; it was taken back");
  EXPECT_EQ(mailbox_count(), 1) << "the mailbox was left full";

  // The next interceptor finds no monitor and deposits nothing.
  ProgramRun next = interceptor("\"out tcp 81 10.0.0.1 GOOD.EXE\"", "", nullptr);
  ASSERT_EQ(next.exit_code, 0) << next.err;
  EXPECT_NE(next.out.find("log: no monitor"), std::string::npos) << next.out;
  EXPECT_EQ(mailbox_count(), 1);
}

TEST_F(InterceptorTest, ADecisionNamesItsRuleWithinItsLookupsHolds) {
  Session session;
  std::string error;
  ASSERT_TRUE(session.open(error)) << error;
  Attempt a;
  ASSERT_EQ(parse_attempt("out tcp 80 10.0.0.1 BAD.EXE", a, error), Parsed::kAttempt);
  unsigned long long before = PFW_GetLockHoldCount();
  Outcome o = session.decide(a);
  EXPECT_EQ(PFW_GetLockHoldCount() - before, 4u) << "one hold of each list, the names included";
  EXPECT_EQ(o.rule_key, 3);
  EXPECT_EQ(o.rule_names, "out Any Protocol, Any Address, BAD.EXE");
  EXPECT_TRUE(o.names_application);

  // Found only in capitals: two lookups, and still nothing more for the names.
  a.program = "bad.exe";
  before = PFW_GetLockHoldCount();
  o = session.decide(a);
  EXPECT_EQ(PFW_GetLockHoldCount() - before, 8u);
  EXPECT_TRUE(o.in_capitals);
  EXPECT_EQ(o.rule_names, "out Any Protocol, Any Address, BAD.EXE");

  // The wildcard application is named by its description.
  a.program = "OTHER.EXE";
  o = session.decide(a);
  EXPECT_EQ(o.rule_key, 1);
  EXPECT_FALSE(o.names_application);
  EXPECT_EQ(o.rule_names, "out Any Protocol, Any Address, Any Application");
  session.close();
}

TEST_F(InterceptorTest, RunModeAndSwitchesAreReadForEachAttempt) {
  // In this process: the window of this very thread takes the lines while settle() waits.
  TrafficConsumer consumer;
  PFW_SetGlobalMonitorHwnd(consumer.hwnd());
  Session session;
  std::string error;
  ASSERT_TRUE(session.open(error)) << error;
  Attempt good;
  ASSERT_EQ(parse_attempt("out tcp 80 10.0.0.1 GOOD.EXE", good, error), Parsed::kAttempt);

  PFW_SetRunMode(PFW_MODE_BLOCK);
  Outcome o = session.handle(good);
  EXPECT_FALSE(o.decision.allow);
  EXPECT_EQ(o.delivery, Delivery::kSent);
  EXPECT_TRUE(session.settle()) << "the window of this thread was not given the line";
  ASSERT_EQ(consumer.lines.size(), 1u);
  EXPECT_NE(consumer.lines[0].find("GOOD.EXE deny mode=block rule=2:"), std::string::npos) << consumer.lines[0];

  PFW_SetLogFullyArmed(0);
  EXPECT_EQ(session.handle(good).delivery, Delivery::kNotLogged);
  PFW_SetRunMode(PFW_MODE_STANDBY);
  o = session.handle(good);
  EXPECT_TRUE(o.decision.allow);
  EXPECT_EQ(o.delivery, Delivery::kSent);
  PFW_SetLogStandBy(0);
  EXPECT_EQ(session.handle(good).delivery, Delivery::kNotLogged);
  session.settle();
  EXPECT_EQ(consumer.lines.size(), 2u);
  consumer.pump_pending();
  EXPECT_GE(consumer.lamps[1], 1) << "block mode stopped the attempts";
  EXPECT_GE(consumer.lamps[0], 1) << "stand-by mode let them through";
  session.close();
}

TEST_F(InterceptorTest, ALampIsFlashedAtMostOnceWhileItIsStillLit) {
  TrafficConsumer consumer;
  PFW_SetGlobalMonitorHwnd(consumer.hwnd());
  Courier courier;
  HWND monitor = courier.monitor();
  ASSERT_EQ(monitor, consumer.hwnd());
  int posted = 0;
  for (int i = 0; i < 200; i++) posted += courier.lamp(monitor, true);
  consumer.pump_pending();
  EXPECT_GE(posted, 1);
  EXPECT_LT(posted, 10) << "a burst would flood the monitor's queue";
  EXPECT_EQ(consumer.lamps[1], posted);
  EXPECT_TRUE(courier.lamp(monitor, false)) << "the other lamp has its own pace";
  Sleep(60);  // past the lamp's 30 ms
  EXPECT_TRUE(courier.lamp(monitor, true));
  consumer.pump_pending();
  EXPECT_EQ(consumer.lamps[0], 1);
}

TEST_F(InterceptorTest, MalformedLinesAreRejectedAndTheRestDecided) {
  std::string long_name(300, 'N');
  ProgramRun run = interceptor("",
                               "out tcp 80 10.0.0.1 GOOD.EXE\n"
                               "out tcp 80 10.0.0.300 GOOD.EXE\n"
                               "# a comment\n"
                               "out tcp 80 10.0.0.2 " +
                                   long_name + "\n",
                               nullptr);
  EXPECT_EQ(run.exit_code, 3);
  EXPECT_NE(run.err.find("line 2 rejected: address '10.0.0.300'"), std::string::npos) << run.err;
  std::vector<std::string> printed = lines_of(run.out);
  ASSERT_EQ(printed.size(), 2u);
  EXPECT_NE(printed[0].find("GOOD.EXE -> allow"), std::string::npos) << printed[0];
  // The outbound default (key 1) asks, and nobody can be asked yet.
  EXPECT_NE(printed[1].find("-> ask:deny [ask rule, no monitor to ask] mode=filter rule=1"), std::string::npos)
      << printed[1];
}

// Standard input as raw bytes: each line gets its own verdict, a bad one is
// quoted short, and nothing in one line ends or hides the rest.
TEST_F(InterceptorTest, EachInputLineGetsItsOwnVerdictWhateverItsBytes) {
  using namespace std::string_literals;
  std::mt19937 rng(7);
  std::string noise = "Z";  // not a comment
  for (int i = 0; i < 3000; i++) {
    char c = (char)(rng() % 256);
    noise += c == '\n' ? 'x' : c;
  }
  struct Case {
    std::string line;
    const char* out;  // fragment of the verdict on standard output, or null
    const char* err;  // fragment of the rejection on the error output, or null
  } cases[] = {
      {"out tcp 80 10.0.0.1 GOOD.EXE", "GOOD.EXE -> allow [rule]", nullptr},
      {"\x1A", nullptr, "line 2 rejected: direction '?'"},  // Ctrl-Z ends nothing
      {"out tcp 80 10.0.0.1 IE\0XPLORE.EXE"s, nullptr, "line 3 rejected: the line holds a NUL byte"},
      {"out tcp 80 10.0.0.1 " + std::string(1 << 20, 'N'), nullptr, "line 4 rejected: longer than 4096 bytes"},
      {noise, nullptr, "line 5 rejected:"},
      {"out tcp 80 10.0.0.1 good.exe", "good.exe -> allow [rule, program matched in capitals]", nullptr},
      {"out tcp 80 10.0.0.1 bad.exe", "bad.exe -> deny [rule, program matched in capitals] mode=filter rule=3",
       nullptr},
      {"out tcp 80 10.0.0.1 other.exe", "other.exe -> ask:deny [ask rule, no monitor to ask] mode=filter rule=1 (out",
       nullptr},
      {"in udp 53 10.0.0.2 GOOD.EXE", "-> deny [rule] mode=filter rule=0 (in Any Protocol", nullptr},
  };
  std::string input;
  for (const Case& c : cases) input += c.line + "\r\n";
  input.resize(input.size() - 2);  // the last line ends without a line feed
  ProgramRun run = interceptor("", input, nullptr);
  EXPECT_EQ(run.exit_code, 3);
  std::vector<std::string> out = lines_of(run.out), err = lines_of(run.err);
  size_t o = 0, e = 0;
  for (const Case& c : cases) {
    if (c.out) {
      ASSERT_LT(o, out.size()) << run.out;
      EXPECT_NE(out[o++].find(c.out), std::string::npos) << out[o - 1];
    } else {
      ASSERT_LT(e, err.size()) << run.err;
      EXPECT_NE(err[e].find(c.err), std::string::npos) << err[e];
      EXPECT_LT(err[e++].size(), 160u) << "a rejected line is quoted short";
    }
  }
  EXPECT_EQ(o, out.size()) << run.out;
  EXPECT_EQ(e, err.size()) << run.err;

  // Nothing to decide: usage, and a failure.
  for (const char* args : {"--explain", "\"\""}) {
    run = interceptor(args, "", nullptr);
    EXPECT_EQ(run.exit_code, 1) << args;
    EXPECT_NE(run.err.find("usage: interceptor"), std::string::npos) << args << ": " << run.err;
  }
}

TEST_F(InterceptorTest, ExplainSaysWhichFormOfTheProgramNameMatched) {
  ProgramRun run = interceptor(
      "--explain \"out tcp 80 10.0.0.1 good.exe\" \"out tcp 80 10.0.0.1 GOOD.EXE\" "
      "\"out tcp 80 10.0.0.1 new.exe\"",
      "", nullptr);
  ASSERT_EQ(run.exit_code, 0) << run.err;
  std::vector<std::string> forms;
  for (const std::string& line : lines_of(run.out))
    if (line.find("  program name: ") == 0) forms.push_back(line);
  ASSERT_EQ(forms.size(), 3u) << run.out;
  EXPECT_EQ(forms[0],
            "  program name: good.exe found only a rule for any application; in capitals, GOOD.EXE, it "
            "matched a rule naming it");
  EXPECT_EQ(forms[1], "  program name: GOOD.EXE matched as given");
  EXPECT_EQ(forms[2], "  program name: new.exe found no rule naming it, as given or in capitals (NEW.EXE)");
  // The candidates shown are those of the form that matched.
  EXPECT_NE(run.out.find("winner: rule 2 (score 2); PFW_GetRule: rule 2, the same"), std::string::npos) << run.out;
}

// ---------------------------------------------------------------------------
// Asking the user: the consumer window stands in for the monitor's prompt
// ---------------------------------------------------------------------------

TEST_F(InterceptorTest, AnAskRuleAsksTheMonitorAndTheDecisionFollowsTheAnswer) {
  PFW_AddProtocol(protocols, 0, "Alt Web", PFW_TCP, 8080);
  const std::string long_name(40, 'L');
  struct Case {
    int answer;
    std::string program;
    const char* word;
    const char* why;
    bool from_memory = false;
  } cases[] = {
      {PFW_ALLOW, "NEW.EXE", "ask:allow", "asked, the user allowed it"},
      {PFW_DENY, "NEW.EXE", "ask:deny", "asked, the user denied it"},
      {TrafficConsumer::kIgnore, "NEW.EXE", "ask:timeout", "asked, no answer in time"},
      {PFW_ALLOW, long_name, "ask:allow", "asked, the user allowed it"},
      // The monitor answered from memory: both the printed line and the traffic line say so,
      // and a long name is cut so the longer word still fits.
      {PFW_ALLOW, "NEW.EXE", "ask:allow (remembered)", "asked, the monitor remembered the user allowed it", true},
      {PFW_DENY, long_name, "ask:deny (remembered)", "asked, the monitor remembered the user denied it", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.word);
    TrafficConsumer consumer;
    PFW_SetGlobalMonitorHwnd(consumer.hwnd());
    consumer.prompt_answer = c.answer;
    consumer.prompt_from_memory = c.from_memory;
    // An answer that comes is waited for however slow the machine; one that never comes
    // is given up on soon.
    const char* ask_ms = c.answer == TrafficConsumer::kIgnore ? "200" : "60000";
    ProgramRun run = interceptor(
        std::string("--explain --ask-ms ") + ask_ms + " \"out tcp 8080 10.0.0.9 " + c.program + "\"", "", &consumer);
    ASSERT_EQ(run.exit_code, 0) << run.err;
    std::string verdict = std::string("-> ") + c.word + " [" + c.why + "] mode=filter rule=1 (out Any Protocol";
    EXPECT_NE(run.out.find(verdict), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("  winner: rule 1"), std::string::npos) << "--explain shows it too\n" << run.out;
    ASSERT_EQ(consumer.lines.size(), 1u);
    EXPECT_NE(consumer.lines[0].find(std::string(" ") + c.word + " mode=filter rule=1:"), std::string::npos)
        << consumer.lines[0];
    EXPECT_EQ(consumer.prompt_messages, 1);
    if (c.answer == TrafficConsumer::kIgnore) continue;
    ASSERT_EQ(consumer.prompts.size(), 1u);
    const PFW_PROMPT_REQUEST& r = consumer.prompts[0];
    EXPECT_EQ(std::string(r.program), c.program.substr(0, PFW_PROMPT_PROGRAM_SIZE - 1));
    EXPECT_STREQ(r.protocol_name, "Alt Web");
    EXPECT_EQ(r.direction, PFW_OUTBOUND);
    EXPECT_EQ(r.transport, PFW_TCP);
    EXPECT_EQ(r.port, 8080u);
    EXPECT_EQ(r.address, (uint32_t)ip("10.0.0.9"));
  }

  // Block mode decides without asking; so does a rule that is not Ask.
  TrafficConsumer consumer;
  PFW_SetGlobalMonitorHwnd(consumer.hwnd());
  consumer.prompt_answer = PFW_ALLOW;
  PFW_SetRunMode(PFW_MODE_BLOCK);
  ProgramRun run = interceptor("\"out tcp 8080 10.0.0.9 NEW.EXE\"", "", &consumer);
  PFW_SetRunMode(PFW_MODE_FILTER);
  run = interceptor("\"out tcp 8080 10.0.0.9 GOOD.EXE\"", "", &consumer);
  EXPECT_EQ(consumer.prompt_messages, 0);
}

// One attempt waits for its answer while the others are decided and delivered;
// twenty attempts of one program to one place give one prompt, whose answer
// reaches them all.
TEST_F(InterceptorTest, AskedAttemptsHoldUpNoOtherAndOneAnswerServesTheSameConnection) {
  TrafficConsumer consumer;
  PFW_SetGlobalMonitorHwnd(consumer.hwnd());
  consumer.prompt_answer = PFW_ALLOW;
  // The answer comes once every other attempt has been decided and delivered and all
  // twenty asks wait: none of the others waited for it, and it reaches them all.
  consumer.answer_when = [](const TrafficConsumer& c) { return c.lines.size() >= 19 && c.requests_unanswered() >= 20; };
  std::string input = "out tcp 8080 10.0.0.9 NEW.EXE\n";
  for (int i = 0; i < 19; i++)
    input += "out tcp 8080 10.0.0.9 NEW.EXE\nout tcp " + std::to_string(81 + i) + " 10.0.0.1 GOOD.EXE\n";
  ProgramRun run = interceptor("", input, &consumer);
  ASSERT_EQ(run.exit_code, 0) << run.err;
  std::vector<std::string> printed = lines_of(run.out);
  ASSERT_EQ(printed.size(), 39u) << run.out;
  // Every GOOD.EXE line comes first, in input order; then the twenty answered ones.
  for (int i = 0; i < 19; i++)
    EXPECT_NE(printed[i].find("out TCP/" + std::to_string(81 + i) + " 10.0.0.1 GOOD.EXE -> allow"), std::string::npos)
        << printed[i];
  for (int i = 19; i < 39; i++) EXPECT_NE(printed[i].find("NEW.EXE -> ask:allow"), std::string::npos) << printed[i];
  EXPECT_EQ(consumer.prompts.size(), 1u);
  EXPECT_EQ(consumer.answered, std::vector<int>{20});
  EXPECT_EQ(consumer.lines.size(), 39u);
}

TEST_F(InterceptorTest, ExplainOptionNamesTheSameWinnerAsTheLookup) {
  PFW_AddProtocol(protocols, 0, "HTTP", PFW_TCP, 80);
  int http = -1;
  PFW_GetExactProtocolByService(protocols, PFW_TCP, 80, &http, nullptr);
  PFW_AddAddress(addresses, 0, ip("10.0.0.0"), ip("10.0.0.255"), "LAN", PFW_NETWORK_ADDRESS);
  int lan = -1;
  PFW_GetExactAddressByRange(addresses, ip("10.0.0.0"), ip("10.0.0.255"), &lan, nullptr);
  PFW_AddRule(rules, http, 0, 0, PFW_OUTBOUND, PFW_DENY, 0);        // score 4
  PFW_AddRule(rules, 0, lan, bad_app, PFW_OUTBOUND, PFW_ALLOW, 0);  // score 6
  PFW_AddRule(rules, http, lan, 0, PFW_OUTBOUND, PFW_ALLOW, 1);     // score 10

  const char* attempts[] = {"out tcp 80 10.0.0.7 BAD.EXE", "out tcp 80 192.168.0.1 BAD.EXE",
                            "out tcp 21 10.0.0.7 BAD.EXE", "in tcp 80 10.0.0.7 GOOD.EXE"};
  std::string args;
  for (const char* a : attempts) args += std::string(" \"") + a + "\"";
  ProgramRun run = interceptor("--explain" + args, "", nullptr);
  ASSERT_EQ(run.exit_code, 0) << run.err;

  std::vector<std::string> verdicts;
  for (const std::string& line : lines_of(run.out))
    if (line.find("  winner: ") == 0) verdicts.push_back(line);
  ASSERT_EQ(verdicts.size(), 4u) << run.out;
  for (int i = 0; i < 4; i++) {
    Attempt a;
    std::string error;
    ASSERT_EQ(parse_attempt(attempts[i], a, error), Parsed::kAttempt);
    int key = -1;
    PFW_RULE copy;
    ASSERT_TRUE(PFW_GetRule(rules, addresses, protocols, apps, a.port, a.transport, a.address, a.program.c_str(),
                            a.direction, &key, &copy));
    std::string named = "winner: rule " + std::to_string(key) + " ";
    EXPECT_NE(verdicts[i].find(named), std::string::npos) << attempts[i] << ": " << verdicts[i];
    EXPECT_NE(verdicts[i].find(", the same"), std::string::npos) << verdicts[i];
  }
  EXPECT_NE(verdicts[0].find("(score 10)"), std::string::npos) << run.out;
}

}  // namespace
