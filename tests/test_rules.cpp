// rules.exe run as a user runs it, against an installed rule set: export and
// import reproduce a set exactly, a bad file changes nothing, a second import
// writes nothing, running programs see an import at once, and an import killed
// part-way leaves a sound set that a second import completes.
#include <gtest/gtest.h>
#include <stdio.h>

#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "registry_fixture.h"
#include "rules_format.h"
#include "rules_store.h"
#include "starting_values.h"
#include "traffic_consumer.h"

using namespace rulesfile;
using namespace regtest;

namespace {

const char kLogFile[] = "C:\\Logs\\connections.log";

std::string temp_path(const std::string& name) {
  char dir[MAX_PATH];
  GetTempPathA(sizeof dir, dir);
  return std::string(dir) + "tarnwall-rules-" + std::to_string(GetCurrentProcessId()) + "-" + name;
}

void put_file(const std::string& path, const std::string& text) {
  FILE* f = fopen(path.c_str(), "wb");
  ASSERT_TRUE(f) << path;
  fwrite(text.data(), 1, text.size(), f);
  fclose(f);
}

std::string file_text(const std::string& path) {
  std::string text;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return text;
  char buffer[65536];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, f)) > 0;) text.append(buffer, n);
  fclose(f);
  return text;
}

ProgramRun rules(const std::string& args) {
  return run_program("\"" + program_directory() + "rules.exe\" " + args, "", nullptr);
}

// Every value under the product's keys, by key and name: type and bytes.
std::map<std::string, std::string> registry_contents() {
  std::map<std::string, std::string> all;
  for (const char* path : {kProtocols, kAddresses, kApps, kRules, kRuleSet})
    for (const std::string& name : value_names(path)) {
      std::vector<unsigned char> data;
      DWORD type = 0;
      read_value(path, name.c_str(), &data, &type);
      all[std::string(path) + "|" + name] = std::to_string(type) + ":" + std::string(data.begin(), data.end());
    }
  return all;
}

// Watches the product's keys for any value set or deleted below them.
class RegistryWatch {
 public:
  RegistryWatch() {
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, kBase, 0, KEY_NOTIFY, &key_);
    event_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    armed_ = key_ && RegNotifyChangeKeyValue(key_, TRUE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET, event_,
                                             TRUE) == ERROR_SUCCESS;
  }
  ~RegistryWatch() {
    if (key_) RegCloseKey(key_);
    CloseHandle(event_);
  }
  bool armed() const { return armed_; }
  bool changed() const { return WaitForSingleObject(event_, 0) == WAIT_OBJECT_0; }

 private:
  HKEY key_ = nullptr;
  HANDLE event_ = nullptr;
  bool armed_ = false;
};

// The lists held by this process, as a running program holds them.
struct Held : rulestore::StoreLists {
  Held() { EXPECT_TRUE(load_from_registry()); }
  RuleSet set() {
    RuleSet s;
    std::vector<std::string> notes;
    rulestore::read_live_set(*this, s, notes);
    EXPECT_TRUE(notes.empty()) << notes[0];
    return s;
  }
};

// A rule set as the store holds it, labels and keys aside, one line per entry.
std::string text_of(const RuleSet& set, bool with_log_file = true) {
  RuleSet s = set;
  s.has_log_file = with_log_file && s.has_log_file;
  std::string text;
  Fault fault;
  rulestore::SystemCodepage cp;
  EXPECT_TRUE(write_rule_set(s, cp, text, fault)) << describe(fault);
  return text;
}

// The installed wildcards and default rules, as install_starting_set writes them.
RuleSet starting_set() {
  RuleSet s;
  s.has_log_file = true;
  s.log_file = kLogFile;
  s.protocols = {{"", true, "Any Protocol"}};
  s.addresses = {{"", true, "Any Address"}};
  s.apps = {{"", true, "Any Application", "Every program"}};
  s.rules = {{kInbound, kDeny, true, 0, 0, 0}, {kOutbound, kAllow, false, 0, 0, 0}};
  return s;
}

// The starting set grown to `rule_count` rules over many protocols, addresses and programs.
RuleSet big_set(size_t rule_count, const std::string& program_prefix = "PROG") {
  RuleSet s = starting_set();
  for (int i = 0; i < 40; i++) s.protocols.push_back({"", false, "Service " + std::to_string(i), i % 2, 1000u + i});
  for (int i = 0; i < 10; i++)
    s.addresses.push_back({"", false, "Net " + std::to_string(i), kRange, (uint32_t)(10 | (i << 8)),
                           (uint32_t)(10 | (i << 8) | (255u << 24))});
  for (int i = 0; i < 20; i++)
    s.apps.push_back({"", false, program_prefix + std::to_string(i) + ".EXE", "Program " + std::to_string(i)});
  for (size_t p = 1; p < s.protocols.size() && s.rules.size() < rule_count; p++)
    for (size_t x = 1; x < s.apps.size() && s.rules.size() < rule_count; x++)
      for (int d : {kInbound, kOutbound})
        if (s.rules.size() < rule_count)
          s.rules.push_back({d, (int)((p + x) % 3), (p + x) % 2 == 0, p, (p * 7 + x) % s.addresses.size(), x});
  return s;
}

class RulesTest : public RegistryTest {
 protected:
  void SetUp() override {
    RegistryTest::SetUp();
    install_starting_set();
    ASSERT_TRUE(write_string(kRuleSet, PFW_VALUE_LOG_FILE, kLogFile));
  }
  void TearDown() override {
    for (const std::string& f : files_) DeleteFileA(f.c_str());
    RegistryTest::TearDown();
  }
  std::string file(const std::string& name) {
    files_.push_back(temp_path(name));
    return files_.back();
  }
  std::string file_with(const std::string& name, const RuleSet& set) {
    std::string path = file(name);
    put_file(path, text_of(set));
    return path;
  }
  // The set a fresh start of the store would load from the registry.
  static RuleSet registry_set() {
    Held lists;
    RuleSet s = lists.set();
    s.has_log_file = rulestore::read_log_file(s.log_file);
    return s;
  }

 private:
  std::vector<std::string> files_;
};

TEST_F(RulesTest, TheInstalledSetRoundTripsAndASecondImportWritesNothing) {
  // The records exactly as the installer writes them.
  namespace sv = starting_values;
  make_layout();
  ASSERT_TRUE(write_value(kProtocols, "0", REG_BINARY, sv::k_PROTO_ANY_RECORD, sizeof sv::k_PROTO_ANY_RECORD));
  ASSERT_TRUE(write_value(kAddresses, "0", REG_BINARY, sv::k_ADR_ANY_RECORD, sizeof sv::k_ADR_ANY_RECORD));
  ASSERT_TRUE(write_value(kApps, "0", REG_BINARY, sv::k_APP_ANY_RECORD, sizeof sv::k_APP_ANY_RECORD));
  ASSERT_TRUE(write_value(kRuleSet, sv::k_RULE_INBOUND.value_name, REG_BINARY, sv::k_RULE_INBOUND_RECORD,
                          sizeof sv::k_RULE_INBOUND_RECORD));
  ASSERT_TRUE(write_value(kRuleSet, sv::k_RULE_OUTBOUND.value_name, REG_BINARY, sv::k_RULE_OUTBOUND_RECORD,
                          sizeof sv::k_RULE_OUTBOUND_RECORD));
  ASSERT_TRUE(write_string(kRuleSet, PFW_VALUE_LOG_FILE, kLogFile));
  RuleSet installed = starting_set();
  installed.apps[0].name = sv::k_APP_ANY_NAME;
  installed.apps[0].description = sv::k_APP_ANY_DESCRIPTION;
  installed.rules[0].action = (int)sv::k_RULE_INBOUND.action;
  installed.rules[0].log = sv::k_RULE_INBOUND.log != 0;
  installed.rules[1].action = (int)sv::k_RULE_OUTBOUND.action;
  installed.rules[1].log = sv::k_RULE_OUTBOUND.log != 0;

  std::string path = file("installed.txt");
  ProgramRun run = rules("export \"" + path + "\"");
  ASSERT_EQ(run.exit_code, 0) << run.err;
  std::string text = file_text(path);
  EXPECT_EQ(text.rfind("tarnwall-rules 1\n", 0), 0u) << text;
  EXPECT_NE(text.find("logfile \"C:\\Logs\\connections.log\"\n"), std::string::npos) << text;
  EXPECT_NE(text.find("application x0 any \"*\" \"Any Application\"\n"), std::string::npos) << text;
  EXPECT_NE(text.find("rule in deny log p0 a0 x0\nrule out ask log p0 a0 x0\n"), std::string::npos) << text;
  EXPECT_EQ(text, text_of(installed));

  std::map<std::string, std::string> before = registry_contents();
  RegistryWatch watch;
  ASSERT_TRUE(watch.armed());
  run = rules("import \"" + path + "\"");
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_NE(run.out.find("Nothing to change"), std::string::npos) << run.out;
  EXPECT_FALSE(watch.changed()) << "an import of the set already there wrote to the registry";
  EXPECT_EQ(registry_contents(), before);
  // The watch does see a write below the product's keys.
  ASSERT_TRUE(write_string(kRuleSet, PFW_VALUE_LOG_FILE, "C:\\other.log"));
  EXPECT_TRUE(watch.changed());
}

TEST_F(RulesTest, TheWizardsSetRoundTripsOntoAFreshInstallation) {
  HMODULE library = LoadLibraryA("tessary");
  ASSERT_TRUE(library);
  char edictor[PFW_EDICTOR_PATH_SIZE + 1];
  ASSERT_EQ(SW_Startup(edictor), 1);
  SW_AddRule("Web Browser", "IEXPLORE.EXE", "HTTP", 80, PFW_TCP, PFW_OUTBOUND, PFW_ALLOW, 0);
  SW_AddRule("Web Browser", "IEXPLORE.EXE", "HTTPS", 443, PFW_TCP, PFW_OUTBOUND, PFW_ALLOW, 0);
  SW_AddRule("Mail", "MAIL.EXE", "SMTP", 25, PFW_TCP, PFW_OUTBOUND, PFW_ASK, 0);
  SW_AddRule("File Sharing", "SYSTEM", "NetBIOS", 139, PFW_TCP, PFW_INBOUND, PFW_DENY, 0);
  SW_AddRule("Local Database", "DBSERVER.EXE", "Database", 5432, PFW_TCP, PFW_INBOUND, PFW_ALLOW, 1);
  SW_AddRule("Name Service", "NSLOOKUP.EXE", "DNS", 53, PFW_UDP, PFW_OUTBOUND, PFW_ALLOW, 0);
  SW_Shutdown();
  FreeLibrary(library);

  std::string exported = file("wizard.txt"), again = file("wizard-again.txt");
  ProgramRun run = rules("export \"" + exported + "\"");
  ASSERT_EQ(run.exit_code, 0) << run.err;
  std::string text = file_text(exported);
  EXPECT_NE(text.find("address a1 single 127.0.0.1 \"Local Host\"\n"), std::string::npos) << text;
  EXPECT_NE(text.find("rule out ask log p3 a0 x2\n"), std::string::npos) << text;

  // A new machine: only the installed set.
  make_layout();
  install_starting_set();
  ASSERT_TRUE(write_string(kRuleSet, PFW_VALUE_LOG_FILE, "C:\\elsewhere.log"));
  run = rules("import \"" + exported + "\"");
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_NE(run.out.find("Imported 7 protocols, 2 addresses, 6 applications, 8 rules"), std::string::npos) << run.out;
  run = rules("export \"" + again + "\"");
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(file_text(again), text) << "the same entries in the same order, the same rules, actions and flags";
  // The registry holds the rules under the keys the new entries got.
  std::vector<unsigned char> data;
  ASSERT_TRUE(read_value(kRuleSet, "3,0,2,1", &data));
  PFW_RULE_RECORD mail;
  ASSERT_EQ(data.size(), sizeof mail);
  memcpy(&mail, data.data(), sizeof mail);
  EXPECT_EQ(mail.action, PFW_ASK);
  EXPECT_EQ(mail.log, 1);
}

TEST_F(RulesTest, ASetAtTheListsCapacityRoundTrips) {
  RuleSet full = big_set(PFW_RULE_SLOTS);
  ASSERT_EQ(full.rules.size(), (size_t)PFW_RULE_SLOTS);
  std::string path = file_with("full.txt", full), again = file("full-again.txt");
  ProgramRun run = rules("import \"" + path + "\"");
  ASSERT_EQ(run.exit_code, 0) << run.err;
  run = rules("export \"" + again + "\"");
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(file_text(again), file_text(path));
  {
    Held lists;  // every slot of the rule list taken by the loaded set
    EXPECT_EQ(lists.rules->count, (int)PFW_RULE_SLOTS);
    run = rules("import \"" + path + "\"");
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_NE(run.out.find("Nothing to change"), std::string::npos) << run.out;
  }
}

TEST_F(RulesTest, WhenTheListsLackRoomNothingChangesUntilTheyStartAfresh) {
  RuleSet first = big_set(PFW_RULE_SLOTS), second = big_set(PFW_RULE_SLOTS, "OTHER");
  std::string a = file_with("a.txt", first), b = file_with("b.txt", second);
  ASSERT_EQ(rules("import \"" + a + "\"").exit_code, 0);
  {
    Held lists;  // a running program keeps the full lists alive
    std::map<std::string, std::string> before = registry_contents();
    ProgramRun run = rules("import \"" + b + "\"");
    EXPECT_EQ(run.exit_code, 3) << run.out << run.err;
    EXPECT_NE(run.err.find("the shared rule list has room for 0 more entries"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Nothing was changed. End Wayguard, Edictor"), std::string::npos) << run.err;
    EXPECT_EQ(registry_contents(), before);
    EXPECT_EQ(text_of(lists.set()), text_of(first, false));
  }
  // With no other program holding them, the lists start afresh and take the new set.
  ProgramRun run = rules("import \"" + b + "\"");
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_NE(run.out.find("started afresh"), std::string::npos) << run.out;
  EXPECT_EQ(text_of(registry_set()), text_of(second));
}

TEST_F(RulesTest, AFileWithOneBadLineChangesNothingAndNamesTheLine) {
  RuleSet set = big_set(40);
  std::string text = text_of(set);
  // The bad line goes in the middle of the rules, before the 20th.
  size_t at = 0;
  int line = 1;
  for (int rules_seen = 0; rules_seen < 20; line++) {
    if (text.compare(at, 5, "rule ") == 0 && ++rules_seen == 20) break;
    at = text.find('\n', at) + 1;
  }
  text.insert(at, "rule out allow log p1 a0 x99\n");
  std::string path = file("bad.txt");
  put_file(path, text);

  Held lists;  // the running programs' view must not change either
  RuleSet live_before = lists.set();
  int counts_before[4] = {lists.protocols->count, lists.addresses->count, lists.apps->count, lists.rules->count};
  std::map<std::string, std::string> before = registry_contents();
  RegistryWatch watch;
  ProgramRun run = rules("import \"" + path + "\"");
  EXPECT_EQ(run.exit_code, 2);
  std::string says = "line " + std::to_string(line) +
                     ": no application with the label 'x99' is defined above this "
                     "rule: rule out allow log p1 a0 x99";
  EXPECT_NE(run.err.find(says), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("nothing was changed"), std::string::npos) << run.err;
  EXPECT_FALSE(watch.changed());
  EXPECT_EQ(registry_contents(), before);
  EXPECT_EQ(text_of(lists.set()), text_of(live_before));
  int counts_after[4] = {lists.protocols->count, lists.addresses->count, lists.apps->count, lists.rules->count};
  EXPECT_TRUE(std::equal(counts_before, counts_before + 4, counts_after)) << "slots were taken";

  run = rules("check \"" + path + "\"");
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_NE(run.err.find(says), std::string::npos) << run.err;
}

TEST_F(RulesTest, RunningProgramsSeeTheNewSetAtOnceAndASecondImportChangesNothing) {
  Held lists;
  PFW_InitializeGlobalData();
  int saved_mode = PFW_GetRunMode();
  PFW_SetRunMode(PFW_MODE_FILTER);
  HWND saved_monitor = PFW_GetGlobalMonitorHwnd();
  PFW_SetGlobalMonitorHwnd(nullptr);

  RuleSet set = starting_set();
  set.log_file = "C:\\Logs\\imported.log";
  set.protocols.push_back({"", false, "HTTP", kTcp, 80});
  set.addresses.push_back({"", false, "Blocked", kRange, 0x0000000A, 0xFFFFFF0A});  // 10.0.0.0 - 10.255.255.255
  set.apps.push_back({"", false, "GOOD.EXE", "Good"});
  set.rules.push_back({kOutbound, kAllow, true, 1, 0, 1});
  set.rules.push_back({kOutbound, kDeny, true, 0, 1, 1});
  std::string path = file_with("live.txt", set);
  ProgramRun run = rules("import \"" + path + "\"");
  ASSERT_EQ(run.exit_code, 0) << run.err;

  // This process's lists, the interceptor and the global block see it at once.
  EXPECT_EQ(text_of(lists.set(), false), text_of(set, false));
  EXPECT_STREQ(PFW_GetLogFileName(), "C:\\Logs\\imported.log");
  ProgramRun decided = run_program("\"" + program_directory() +
                                       "interceptor.exe\" \"out tcp 80 192.0.2.1 GOOD.EXE\" "
                                       "\"out tcp 81 10.1.2.3 GOOD.EXE\" \"out tcp 81 192.0.2.1 GOOD.EXE\"",
                                   "", nullptr);
  EXPECT_EQ(decided.exit_code, 0) << decided.err;
  std::vector<std::string> lines;
  for (size_t start = 0, end; (end = decided.out.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(decided.out.substr(start, end - start));
  ASSERT_EQ(lines.size(), 3u) << decided.out;
  EXPECT_NE(lines[0].find("-> allow [rule]"), std::string::npos) << lines[0];
  EXPECT_NE(lines[1].find("-> deny [rule]"), std::string::npos) << lines[1];
  EXPECT_NE(lines[2].find("-> allow [rule]"), std::string::npos) << lines[2] << " (the outbound default rule)";

  // The same file again: no slot, no registry value, nothing.
  int counts_before[4] = {lists.protocols->count, lists.addresses->count, lists.apps->count, lists.rules->count};
  std::map<std::string, std::string> before = registry_contents();
  RegistryWatch watch;
  run = rules("import \"" + path + "\"");
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_NE(run.out.find("Nothing to change"), std::string::npos) << run.out;
  EXPECT_FALSE(watch.changed());
  EXPECT_EQ(registry_contents(), before);
  int counts_after[4] = {lists.protocols->count, lists.addresses->count, lists.apps->count, lists.rules->count};
  EXPECT_TRUE(std::equal(counts_before, counts_before + 4, counts_after));

  // An action and a log flag changed in place: the rule keeps its slot.
  set.rules[2].action = kDeny;
  set.rules[2].log = false;
  put_file(path, text_of(set));
  run = rules("import \"" + path + "\"");
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_NE(run.out.find("1 rule took a new action or log flag"), std::string::npos) << run.out;
  EXPECT_EQ(lists.rules->count, counts_before[3]);
  EXPECT_EQ(text_of(lists.set(), false), text_of(set, false));

  PFW_SetGlobalMonitorHwnd(saved_monitor);
  PFW_SetRunMode(saved_mode);
}

TEST_F(RulesTest, AProgramStartedAfterAnImportLoadsTheImportedSet) {
  RuleSet set = big_set(100);
  std::string path = file_with("edictor.txt", set);
  {
    // Stands in for a running Edictor: it holds the lists while the set is replaced.
    Held editor;
    ASSERT_EQ(rules("import \"" + path + "\"").exit_code, 0);
    EXPECT_EQ(text_of(editor.set(), false), text_of(set, false));
  }
  // Its next start creates the lists again and loads them from the registry.
  EXPECT_EQ(text_of(registry_set()), text_of(set));
}

TEST_F(RulesTest, OverlappingRangesKeepTheFilesPrecedence) {
  RuleSet set = starting_set();
  set.addresses.push_back({"", false, "Wide", kRange, 0x0000000A, 0xFFFFFF0A});
  set.addresses.push_back({"", false, "Narrow", kRange, 0x0000010A, 0xFF00010A});
  std::string path = file_with("order.txt", set);
  ASSERT_EQ(rules("import \"" + path + "\"").exit_code, 0);
  std::swap(set.addresses[1], set.addresses[2]);
  put_file(path, text_of(set));
  ASSERT_EQ(rules("import \"" + path + "\"").exit_code, 0);
  Held lists;
  EXPECT_EQ(text_of(lists.set(), false), text_of(set, false));
  PFW_ADR hit;
  ASSERT_TRUE(PFW_GetAddressByIP(lists.addresses, ip("10.0.1.5"), nullptr, &hit));
  EXPECT_STREQ(hit.name, "Wide") << "the entry last in the file wins, as the newest does in the store";
}

TEST_F(RulesTest, NamesMoveBetweenTheCodePageAndUtf8AndWhatCannotIsRefused) {
  if (GetACP() != 1252) GTEST_SKIP() << "written for code page 1252; this machine has " << GetACP();
  PFW_APP_RECORD app = {1, 0, "CAF\xC9.EXE", "Caf\xE9 \x80 \xFF"};
  ASSERT_TRUE(write_value(kApps, "1", REG_BINARY, &app, sizeof app));
  std::string path = file("names.txt");
  ProgramRun run = rules("export \"" + path + "\"");
  ASSERT_EQ(run.exit_code, 0) << run.err;
  std::string text = file_text(path);
  EXPECT_NE(text.find("application x1 \"CAF\xC3\x89.EXE\" \"Caf\xC3\xA9 \xE2\x82\xAC \xC3\xBF\"\n"), std::string::npos)
      << text;
  ASSERT_TRUE(delete_value(kApps, "1"));
  ASSERT_EQ(rules("import \"" + path + "\"").exit_code, 0);
  std::vector<unsigned char> data;
  ASSERT_TRUE(read_value(kApps, "1", &data));
  ASSERT_EQ(data.size(), sizeof app);
  EXPECT_EQ(memcmp(data.data(), &app, sizeof app), 0) << "the same bytes came back";

  // A character the code page lacks, and a byte it gives no character.
  put_file(path, text + "application x9 \"\xE2\x9C\x93.EXE\" \"\"\n");
  run = rules("import \"" + path + "\"");
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_NE(run.err.find("holds a character that code page 1252"), std::string::npos) << run.err;
  PFW_APP_RECORD odd = {2, 0, "ODD.EXE", "\x81"};
  ASSERT_TRUE(write_value(kApps, "2", REG_BINARY, &odd, sizeof odd));
  std::string before = file_text(path);
  run = rules("export \"" + path + "\"");
  EXPECT_EQ(run.exit_code, 4);
  EXPECT_NE(run.err.find("application key 2 cannot be written: its description"), std::string::npos) << run.err;
  EXPECT_EQ(file_text(path), before) << "a refused export leaves the file as it was";
}

TEST_F(RulesTest, UsageStoreAndFileFaultsGiveTheirExitCodes) {
  EXPECT_EQ(rules("").exit_code, 1);
  EXPECT_EQ(rules("export").exit_code, 1);
  EXPECT_EQ(rules("backup x.txt").exit_code, 1);
  EXPECT_EQ(rules("--help").exit_code, 0);
  ProgramRun run = rules("check \"" + temp_path("missing.txt") + "\"");
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_NE(run.err.find("cannot be opened"), std::string::npos) << run.err;

  RuleSet set = starting_set();
  std::string path = file_with("ok.txt", set);
  run = rules("check \"" + path + "\"");
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_NE(run.out.find("OK: 1 protocol, 1 address, 1 application, 2 rules"), std::string::npos) << run.out;

  // A wildcard under another name cannot be made again under key 0: refused, nothing changed.
  set.protocols[0].name = "Every Protocol";
  put_file(path, text_of(set));
  std::map<std::string, std::string> before = registry_contents();
  run = rules("import \"" + path + "\"");
  EXPECT_EQ(run.exit_code, 3);
  EXPECT_NE(run.err.find("line 6: the wildcard protocol is named 'Every Protocol' here but 'Any Protocol'"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(registry_contents(), before);

  delete_maker_key();
  run = rules("import \"" + file_with("ok2.txt", starting_set()) + "\"");
  EXPECT_EQ(run.exit_code, 3);
  EXPECT_NE(run.err.find("is Tarnwall installed?"), std::string::npos) << run.err;
}

TEST_F(RulesTest, TwoImportsStartedTogetherLeaveOneFilesSetWhole) {
  RuleSet a = big_set(300, "FIRST"), b = big_set(300, "SECOND");
  std::string path_a = file_with("first.txt", a), path_b = file_with("second.txt", b);
  for (int round = 0; round < 3; round++) {
    SCOPED_TRACE("round " + std::to_string(round));
    make_layout();
    install_starting_set();
    ASSERT_TRUE(write_string(kRuleSet, PFW_VALUE_LOG_FILE, kLogFile));
    Held lists;
    HANDLE first = start_helper("\"" + program_directory() + "rules.exe\" import \"" + path_a + "\"");
    HANDLE second = start_helper("\"" + program_directory() + "rules.exe\" import \"" + path_b + "\"");
    ASSERT_TRUE(first && second);
    HANDLE both[2] = {first, second};
    ASSERT_EQ(WaitForMultipleObjects(2, both, TRUE, 120000), WAIT_OBJECT_0) << "the imports did not end";
    DWORD code_a = 99, code_b = 99;
    GetExitCodeProcess(first, &code_a);
    GetExitCodeProcess(second, &code_b);
    CloseHandle(first);
    CloseHandle(second);
    EXPECT_EQ(code_a, 0u);
    EXPECT_EQ(code_b, 0u);
    std::string live = text_of(lists.set(), false);
    EXPECT_TRUE(live == text_of(a, false) || live == text_of(b, false)) << "a mix of the two files";
    lists.close();
    std::string stored = text_of(registry_set(), false);
    EXPECT_EQ(stored, live) << "the registry holds another set than the lists";
  }
}

// Every rule names entries the set holds, the wildcards have their keys, and the
// two default rules are rule keys 0 and 1 - in the lists and in what the registry loads.
void expect_sound(rulestore::StoreLists& lists, const char* where) {
  RuleSet s;
  std::vector<std::string> notes;
  rulestore::read_live_set(lists, s, notes);
  EXPECT_TRUE(notes.empty()) << where << ": " << notes[0];
  ASSERT_FALSE(s.protocols.empty() || s.addresses.empty() || s.apps.empty()) << where;
  EXPECT_TRUE(s.protocols[0].any && s.protocols[0].key == 0) << where;
  EXPECT_TRUE(s.addresses[0].any && s.addresses[0].key == 0) << where;
  ASSERT_GE(s.rules.size(), 2u) << where;
  EXPECT_EQ(s.rules[0].key, 0u);
  EXPECT_EQ(s.rules[1].key, 1u);
  for (int i = 0; i < 2; i++)
    EXPECT_TRUE(s.rules[i].direction == i && s.rules[i].protocol == 0 && s.rules[i].address == 0 &&
                s.apps[s.rules[i].app].any)
        << where;
}

// What the next start of the store would load: every rule value names entries
// stored, and the wildcards and both default rules are there.
void expect_registry_sound() {
  std::set<std::string> stored[3];
  const char* keys[3] = {kProtocols, kAddresses, kApps};
  for (int k = 0; k < 3; k++)
    for (const std::string& name : value_names(keys[k])) stored[k].insert(name);
  for (int k = 0; k < 3; k++) EXPECT_TRUE(stored[k].count("0")) << keys[k] << ": the wildcard is gone";
  EXPECT_TRUE(value_exists(kRuleSet, "0,0,0,0") && value_exists(kRuleSet, "0,0,0,1")) << "a default rule is gone";
  for (const std::string& name : value_names(kRuleSet)) {
    if (name == PFW_VALUE_LOG_FILE) continue;
    int p = -1, a = -1, x = -1, d = -1;
    ASSERT_EQ(sscanf(name.c_str(), "%d,%d,%d,%d", &p, &a, &x, &d), 4) << name;
    EXPECT_TRUE(stored[0].count(std::to_string(p)) && stored[1].count(std::to_string(a)) &&
                stored[2].count(std::to_string(x)))
        << "the stored rule " << name << " names an entry that is not stored";
  }
}

TEST_F(RulesTest, AnImportKilledPartWayLeavesASoundSetThatASecondImportCompletes) {
  std::mt19937 random(20);
  RuleSet set = big_set(600);
  std::string path = file_with("killed.txt", set);
  int killed_in_a_hold = 0;
  for (int round = 0; round < 6; round++) {
    SCOPED_TRACE("round " + std::to_string(round));
    make_layout();
    install_starting_set();
    ASSERT_TRUE(write_string(kRuleSet, PFW_VALUE_LOG_FILE, kLogFile));
    Held lists;
    HANDLE importer = start_helper("\"" + program_directory() + "rules.exe\" import \"" + path + "\"");
    ASSERT_TRUE(importer);
    // The import marks the set as changing before its first change; it is killed
    // at some point after that.
    bool marked = false;
    for (int i = 0; i < 20000 && !marked; i++) {
      marked = value_exists(kRules, "RulesImportPending");
      if (!marked && WaitForSingleObject(importer, 1) == WAIT_OBJECT_0) break;
    }
    ASSERT_TRUE(marked) << "the import never marked the set as changing";
    Sleep(random() % 400);
    TerminateProcess(importer, 9);
    WaitForSingleObject(importer, INFINITE);
    CloseHandle(importer);

    // A list's semaphore has no owner the system knows of: an import killed while
    // it held one leaves that list locked for every process that has it open, until
    // they all let go. The lists are then checked only through the registry, the
    // copy the next start loads.
    bool lists_usable = free_list_semaphores() == 4;
    if (lists_usable) {
      expect_sound(lists, "the running programs' lists");
    } else {
      killed_in_a_hold++;
      lists.close();
    }
    expect_registry_sound();
    ProgramRun warned = rules("check \"" + path + "\"");
    if (value_exists(kRules, "RulesImportPending")) {
      EXPECT_NE(warned.err.find("did not finish"), std::string::npos) << warned.err;
    }

    ProgramRun run = rules("import \"" + path + "\"");
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_FALSE(value_exists(kRules, "RulesImportPending"));
    if (lists_usable) {
      EXPECT_EQ(text_of(lists.set(), false), text_of(set, false));
    }
    lists.close();
    EXPECT_EQ(text_of(registry_set()), text_of(set));
  }
  printf("%d of 6 imports were killed while they held a list's lock\n", killed_in_a_hold);
}

}  // namespace
