// Kindler's decisions without a window: where Next and Back lead from every page, how the
// buttons then stand, when the provider page may be left and what it loads, what pages 3,
// 4 and 6 show, when closing asks first, and which Edictor a Finish starts.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "wizard_memory_files.h"
#include "frm_wizard.h"
#include "page_flow.h"

using namespace kindler;

namespace {

PageState At(int page, int groupPage = 0, int groupPageCount = 0, bool otherOnly = false) {
  return {static_cast<int16_t>(page), static_cast<int16_t>(groupPage), static_cast<int16_t>(groupPageCount), otherOnly};
}

std::string Describe(const PageState& s) {
  return "page " + std::to_string(s.page) + " group page " + std::to_string(s.groupPage) + "/" +
         std::to_string(s.groupPageCount) + (s.otherOnly ? " other only" : "");
}

TEST(WizardFlow, NextFromEveryPage) {
  struct Case {
    PageState from, to;
    bool finish;
  } cases[] = {
      {At(1), At(2), false},
      {At(2, 0, 2), At(3, 0, 2), false},
      {At(2, 0, 0, true), At(5, 0, 0, true), false},
      {At(3, 1, 2), At(4, 0, 2), false},  // always the first five groups
      {At(3, 0, 0), At(6, 0, 0), false},  // no group: page 4 left out
      {At(4, 0, 2), At(4, 1, 2), false},
      {At(4, 1, 2), At(6, 2, 2), false},  // past the last group-row page
      {At(4, 0, 1), At(6, 1, 1), false},
      {At(5, 0, 0, true), At(6, 0, 0, true), false},
      {At(6, 1, 2), At(6, 1, 2), true},
  };
  for (const Case& c : cases) {
    NextStep step = NextFrom(c.from);
    EXPECT_EQ(step.to, c.to) << Describe(c.from) << " led to " << Describe(step.to);
    EXPECT_EQ(step.finish, c.finish) << Describe(c.from);
  }
}

TEST(WizardFlow, BackFromEveryPage) {
  struct Case {
    PageState from, to;
  } cases[] = {
      {At(1), At(1)},
      {At(2), At(1)},
      {At(3, 0, 2), At(2, 0, 2)},
      {At(4, 1, 2), At(4, 0, 2)},
      {At(4, 0, 2), At(3, 0, 2)},
      {At(5, 0, 0, true), At(2, 0, 0, true)},
      {At(6, 2, 2), At(4, 1, 2)},              // the last group-row page
      {At(6, 0, 0, true), At(5, 0, 0, true)},  // "Other" alone
      {At(6, 0, 0), At(3, 0, 0)},              // page 4 was left out
  };
  for (const Case& c : cases) {
    PageState to = BackFrom(c.from);
    EXPECT_EQ(to, c.to) << Describe(c.from) << " led to " << Describe(to);
  }
}

TEST(WizardFlow, ButtonsAfterAMove) {
  for (int page = 2; page <= 6; ++page) {
    ButtonLook next = ButtonsAfterNext(page);
    EXPECT_TRUE(next.backEnabled) << page;
    EXPECT_TRUE(next.focusOnNext) << page;
    EXPECT_STREQ(next.nextCaption, page == 6 ? "&Finish" : "&Next >") << page;
  }
  ButtonLook first = ButtonsAfterBack(1);
  EXPECT_FALSE(first.backEnabled);
  EXPECT_TRUE(first.focusOnNext);
  for (int page = 2; page <= 5; ++page) {
    ButtonLook back = ButtonsAfterBack(page);
    EXPECT_TRUE(back.backEnabled) << page;
    EXPECT_FALSE(back.focusOnNext) << page;
    EXPECT_STREQ(back.nextCaption, "&Next >") << page;
  }
}

// Provider lists in memory, and what the user was told.
struct Providers : MemoryFiles {
  Providers() {
    files["PROVIDER.LST"] =
        "A.LST,A.ICO,Alpha Net\r\nB.LST,B.ICO,Bravo Online\r\nC.LST,C.ICO,Cobalt\r\nE.LST,E.ICO,Empty Link\r\n"
        "X.LST,X.ICO,Broken Line\r\n";
    // A: five groups; B: one more and a shared one; C: one shared; E: none; X: a bad record.
    files["A.LST"] =
        Record("Email", 25) + Record("Web", 80) + Record("News", 119) + Record("Files", 21) + Record("Chat", 6667);
    files["B.LST"] = Record("Web", 443) + Record("Games", 2800);
    files["C.LST"] = Record("Email", 110);
    files["E.LST"] = "\r\n";
    files["X.LST"] = Record("Email", 25) + "Web,Browser,web.exe,HTTP,80,tcp,OUT,ALL\r\n";
    Failure failure;
    int step = 0;
    lists.LoadProviderList(failure, step);
  }
  static std::string Record(const std::string& group, int port) {
    return group + ",Service," + group + ".exe,Port" + std::to_string(port) + "," + std::to_string(port) +
           ",TCP,OUT,ALL\r\n";
  }
  std::vector<std::string> GroupNames() const {
    std::vector<std::string> names;
    for (const ServiceGroup& g : lists.Groups()) names.push_back(g.name);
    return names;
  }
};

TEST(WizardProviderPage, RefusalsLeaveEverythingAsItWas) {
  const char* const kNothing =
      "Please select at least one Internet Service Provider.  If your provider is not listed, select 'Other'.";
  const char* const kBoth =
      "'Other' may only be selected on its own.  Please select at least one Internet Service Provider.  If your "
      "provider is not listed, select 'Other'.";
  struct Case {
    std::vector<int> chosen;
    const char* refusal;
  } cases[] = {{{}, kNothing}, {{0, kOtherTag}, kBoth}, {{kOtherTag, 2}, kBoth}};
  for (const Case& c : cases) {
    Providers p;
    PageState state = At(2, 0, 1);
    ASSERT_EQ(AcceptProviders({0}, p.lists, state).accepted, true);
    Acceptance a = AcceptProviders(c.chosen, p.lists, state);
    EXPECT_FALSE(a.accepted) << c.chosen.size();
    ASSERT_NE(a.refusal, nullptr) << c.chosen.size();
    EXPECT_STREQ(a.refusal, c.refusal);
    EXPECT_EQ(state, At(2, 0, 1));
    EXPECT_EQ(p.lists.RuleCount(), 5) << "a refused choice emptied the rule table";
    EXPECT_TRUE(p.messages.empty());
  }
}

TEST(WizardProviderPage, OtherAloneEmptiesTheRuleTable) {
  Providers p;
  PageState state = At(2);
  ASSERT_TRUE(AcceptProviders({0, 1}, p.lists, state).accepted);
  ASSERT_EQ(p.lists.RuleCount(), 7);
  Acceptance a = AcceptProviders({kOtherTag}, p.lists, state);
  EXPECT_TRUE(a.accepted);
  EXPECT_EQ(a.refusal, nullptr);
  EXPECT_TRUE(state.otherOnly);
  EXPECT_EQ(p.lists.RuleCount(), 0);
  EXPECT_EQ(NextFrom(state).to.page, 5);
  // Providers again after "Other": no longer "Other" alone.
  ASSERT_TRUE(AcceptProviders({2}, p.lists, state).accepted);
  EXPECT_FALSE(state.otherOnly);
}

TEST(WizardProviderPage, GroupPagesCountFivesAndChoicesSurviveAReload) {
  Providers p;
  PageState state = At(2);
  ASSERT_TRUE(AcceptProviders({0, 1}, p.lists, state).accepted);
  EXPECT_EQ(p.GroupNames(), (std::vector<std::string>{"Email", "Web", "News", "Files", "Chat", "Games"}));
  EXPECT_EQ(state.groupPageCount, 2);
  p.lists.SetAccess(1, kDeny);
  p.lists.SetAccess(5, kAllow);
  // Alpha alone: Games goes, Web keeps Deny; five groups fill one page.
  ASSERT_TRUE(AcceptProviders({0}, p.lists, state).accepted);
  EXPECT_EQ(p.GroupNames(), (std::vector<std::string>{"Email", "Web", "News", "Files", "Chat"}));
  EXPECT_EQ(p.lists.Groups()[1].access, kDeny);
  EXPECT_EQ(state.groupPageCount, 1);
  // A provider whose list names no service leaves no group-row page.
  ASSERT_TRUE(AcceptProviders({3}, p.lists, state).accepted);
  EXPECT_EQ(state.groupPageCount, 0);
  EXPECT_TRUE(p.messages.empty());
}

TEST(WizardProviderPage, AFailingListKeepsThePageAndEveryListIsRead) {
  Providers p;
  PageState state = At(2);
  ASSERT_TRUE(AcceptProviders({0, 1}, p.lists, state).accepted);
  p.files.erase("C.LST");
  Acceptance a = AcceptProviders({4, 2}, p.lists, state);
  EXPECT_FALSE(a.accepted);
  EXPECT_EQ(a.refusal, nullptr) << "the lists have told the user already";
  ASSERT_EQ(p.messages.size(), 2u) << "each failing list is told";
  EXPECT_EQ(p.messages[0], "Errors found processing application list for Broken Line (X.LST).");
  EXPECT_EQ(p.messages[1].substr(0, 50), "Could not process application list for Cobalt (C.L");
  EXPECT_EQ(state.page, 2);
}

TEST(WizardPages, JoinedNames) {
  std::vector<std::string> many;
  for (int i = 0; i < 30; ++i) {
    std::string name = "P";  // appended, not "P" + ...: a false alarm of this compiler
    name += std::to_string(i);
    many.push_back(name);
  }
  std::vector<std::string> twentyOne(many.begin(), many.begin() + 21);
  EXPECT_EQ(JoinProviderNames({}), "");
  EXPECT_EQ(JoinProviderNames({"A"}), "A");
  EXPECT_EQ(JoinProviderNames({"A", "B"}), "A and B");
  EXPECT_EQ(JoinProviderNames({"A", "B", "C"}), "A, B and C");
  std::string all = JoinProviderNames(twentyOne);
  EXPECT_EQ(all.substr(0, 8), "P0, P1, ");
  EXPECT_EQ(all.substr(all.size() - 13), ", P19 and P20");
  EXPECT_EQ(JoinProviderNames(many), "P0, P1, P2 and 27 other providers");
}

TEST(WizardPages, PageThreeNamesTheChosenProvidersWhole) {
  Providers p;
  const std::string longName = "Provider " + std::string(290, 'n') + " End";
  p.files["PROVIDER.LST"] += "L.LST,L.ICO,\"" + longName + "\"\r\n";
  WizardLists& lists = p.lists;
  Failure failure;
  int step = 0;
  ASSERT_TRUE(lists.LoadProviderList(failure, step));
  const std::string pageTemplate = "As a user of %1, Tarnwall gives you";
  EXPECT_EQ(PageThreeText(pageTemplate, {0}, lists), "As a user of Alpha Net, Tarnwall gives you");
  EXPECT_EQ(PageThreeText(pageTemplate, {0, 1, 2}, lists),
            "As a user of Alpha Net, Bravo Online and Cobalt, Tarnwall gives you");
  EXPECT_EQ(PageThreeText(pageTemplate, {5, 2}, lists), "As a user of " + longName + " and Cobalt, Tarnwall gives you");
  // "Other" and a tag beyond the table name nobody; the template never changes.
  EXPECT_EQ(PageThreeText(pageTemplate, {kOtherTag, 1, 99}, lists), "As a user of Bravo Online, Tarnwall gives you");
  EXPECT_EQ(PageThreeText("No place for names.", {0}, lists), "No place for names.");
}

TEST(WizardPages, GroupRowsShowFiveGroupsAPage) {
  Providers p;
  PageState state = At(2);
  ASSERT_TRUE(AcceptProviders({0, 1}, p.lists, state).accepted);
  p.lists.SetAccess(0, kDeny);
  p.lists.SetAccess(1, kAllow);
  state = NextFrom(NextFrom(state).to).to;
  ASSERT_EQ(state, At(4, 0, 2));
  struct Expected {
    bool shown;
    const char* name;
    int option;
  } first[] = {{true, "Email", 0}, {true, "Web", 2}, {true, "News", 1}, {true, "Files", 1}, {true, "Chat", 1}},
    second[] = {{true, "Games", 1}, {false, "", 1}, {false, "", 1}, {false, "", 1}, {false, "", 1}};
  for (int page = 0; page < 2; ++page) {
    state.groupPage = static_cast<int16_t>(page);
    for (int row = 1; row <= kRowsPerPage; ++row) {
      const Expected& e = (page == 0 ? first : second)[row - 1];
      GroupRowLook look = RowLook(state, row, p.lists);
      EXPECT_EQ(look.group, page * 5 + row - 1);
      EXPECT_EQ(look.shown, e.shown) << page << "/" << row;
      EXPECT_EQ(look.name, e.name) << page << "/" << row;
      EXPECT_EQ(look.option, e.option) << page << "/" << row;
    }
  }
}

TEST(WizardPages, OptionsAndAccessCodes) {
  EXPECT_EQ(CodeOfOption(0), kDeny);
  EXPECT_EQ(CodeOfOption(1), kAsk);
  EXPECT_EQ(CodeOfOption(2), kAllow);
  EXPECT_EQ(CodeOfOption(3), kAsk);
  EXPECT_EQ(CodeOfOption(-1), kAsk);
  for (int option = 0; option < 3; ++option) EXPECT_EQ(OptionOfCode(CodeOfOption(option)), option);
  EXPECT_EQ(OptionOfCode(7), 2);  // any other code shows as Allow
}

TEST(WizardPages, PageSixNotesProvidersWithoutServices) {
  EXPECT_TRUE(ShowsNoServicesNote(At(6), 0));
  EXPECT_FALSE(ShowsNoServicesNote(At(6, 1, 1), 3));
  EXPECT_FALSE(ShowsNoServicesNote(At(6, 0, 0, true), 0));
}

TEST(WizardClosing, WhoIsAskedFirst) {
  EXPECT_TRUE(AsksBeforeClosing(CloseOrigin::kUser, false));
  EXPECT_TRUE(AsksBeforeClosing(CloseOrigin::kUser, true));
  EXPECT_TRUE(AsksBeforeClosing(CloseOrigin::kProgram, true));
  EXPECT_FALSE(AsksBeforeClosing(CloseOrigin::kProgram, false));
  EXPECT_FALSE(AsksBeforeClosing(CloseOrigin::kOther, true));
  EXPECT_FALSE(AsksBeforeClosing(CloseOrigin::kOther, false));
}

TEST(WizardClosing, WhichEdictorFinishStarts) {
  const std::string stored = std::string("  C:\\Tarnwall\\edictor.exe") + '\0' + "   ";
  EXPECT_EQ(EdictorToStart(stored, true), "C:\\Tarnwall\\edictor.exe");
  EXPECT_EQ(EdictorToStart(stored, false), "");
  EXPECT_EQ(EdictorToStart(std::string(512, ' '), true), "");
  EXPECT_EQ(EdictorToStart("", true), "");
}

TEST(WizardCodePage, LeadBytesOfTheSystemsCodePages) {
  CodePage sjis = CodePageOf(932);
  EXPECT_FALSE(sjis.utf8);
  EXPECT_TRUE(sjis.lead[0x81]);
  EXPECT_TRUE(sjis.lead[0xE0]);
  EXPECT_FALSE(sjis.lead['A']);
  EXPECT_FALSE(sjis.lead[0xA1]);  // a half-width katakana: one byte
  CodePage western = CodePageOf(1252);
  for (int b = 0; b < 256; ++b) EXPECT_FALSE(western.lead[b]) << b;
  EXPECT_TRUE(CodePageOf(CP_UTF8).utf8);
  EXPECT_EQ(CutToCharacters(std::string(39, 'd') + "\x93\x64", 40, sjis), std::string(39, 'd'));
}

}  // namespace
