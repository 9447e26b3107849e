// add_rules.exe against an installed rule set: what it refuses and how it says
// so, and what it reports for a rule it adds, changes or leaves as it was.
#include "registry_fixture.h"
#include "traffic_consumer.h"

using namespace regtest;

namespace {

class AddRulesTest : public RegistryTest {
 protected:
  void SetUp() override {
    RegistryTest::SetUp();
    install_starting_set();
  }
  static ProgramRun add_rules(const std::string& args) {
    return run_program("\"" + program_directory() + "add_rules.exe\" " + args, "", nullptr);
  }
};

TEST_F(AddRulesTest, RefusesWhatWouldBeCutOrMisreadNamingTheField) {
  struct Case {
    std::string rule;
    const char* says;
  } cases[] = {
      {"Web;" + std::string(30, 'P') + ";HTTP;80;tcp;out;allow;all", "program name 'PPPP"},
      {std::string(42, 'D') + ";WEB.EXE;HTTP;80;tcp;out;allow;all", "is longer than 41 characters"},
      {"Web;WEB.EXE;" + std::string(20, 'H') + ";80;tcp;out;allow;all", "is longer than 19 characters"},
      {"Web;WEB.EXE;HTTP;80;tcp;out;permit;all", "action 'permit' is not allow, deny or ask"},
      {"Web;WEB.EXE;HTTP;80;tcp;sideways;allow;all", "direction 'sideways' is not in or out"},
      {"Web;WEB.EXE;HTTP;80;icmp;out;allow;all", "transport 'icmp' is not tcp or udp"},
      {"Web;WEB.EXE;HTTP;80;tcp;out;allow;world", "scope 'world' is not all or local"},
      {"Web;WEB.EXE;HTTP;http;tcp;out;allow;all", "port 'http' is not a number from 0 to 65535"},
      {"Web;WEB.EXE;HTTP;80;tcp;out;allow", "expected 8 fields separated by ';', found 7"},
  };
  std::string args;
  for (const Case& c : cases) args += " \"" + c.rule + "\"";
  ProgramRun run = add_rules(args);
  EXPECT_EQ(run.exit_code, 3);
  EXPECT_TRUE(run.out.empty()) << run.out;
  for (const Case& c : cases) EXPECT_NE(run.err.find(c.says), std::string::npos) << c.says << "\n" << run.err;
  EXPECT_NE(run.err.find("program name 'PPPPPPPPPPPPPPPPPPPPPPPPPPPPPP' is longer than 29 characters"),
            std::string::npos)
      << run.err;
  // Nothing was stored: the installed set still has only its two rules.
  EXPECT_EQ(value_names(kRuleSet).size(), 2u);
  EXPECT_EQ(value_names(kApps).size(), 1u);

  run = add_rules("--help");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_NE(run.out.find("usage: add_rules"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("at most 29 characters"), std::string::npos) << run.out;
}

TEST_F(AddRulesTest, SaysWhetherARuleWasStoredChangedOrLeftAsItWas) {
  ProgramRun run = add_rules(
      "\"Web;WEB.EXE;HTTP;80;tcp;out;allow;all\" \"Web;WEB.EXE;HTTP;80;tcp;out;deny;all\" "
      "\"Web;WEB.EXE;HTTP;80;tcp;out;deny;all\" \"Web;WEB.EXE;HTTP;80;tcp;in;deny;all\" "
      "\"Db;DB.EXE;Database;5432;tcp;in;allow;local\" \"Db;DB.EXE;Database;5432;tcp;in;ask;local\"");
  ASSERT_EQ(run.exit_code, 0) << run.err;
  std::vector<std::string> words;
  size_t start = 0;
  for (size_t end; (end = run.out.find('\n', start)) != std::string::npos; start = end + 1)
    words.push_back(run.out.substr(start, run.out.find("  ", start) - start));
  EXPECT_EQ(words, (std::vector<std::string>{"stored", "changed (was allow)", "unchanged", "stored", "stored",
                                             "changed (was allow)"}))
      << run.out;
}

}  // namespace
