// What Edictor's nodes and rows show, without a window: pictures, words, captions, sort
// texts and the small text helpers of the dialogs.
#include <gtest/gtest.h>

#include <set>

#include "help_topics.h"
#include "entry_checks.h"
#include "edictor_ids.h"
#include "help/tarnwall_help.h"
#include "rule_view.h"

using namespace edictor;

namespace {

TEST(EditorModel, PicturesByPortAndProgramName) {
  const std::pair<unsigned, int> ports[] = {
      {21, kPicFileTransfer}, {23, kPicTerminal},        {25, kPicMail}, {30, kPicMail}, {80, kPicProtocol},
      {0, kPicProtocol},      {65536 + 21, kPicProtocol}};
  for (auto [port, picture] : ports) EXPECT_EQ(ProtocolPicture(port), picture) << port;
  const std::pair<const char*, int> programs[] = {{"netscape.exe", kPicBrowser},  {"NETSCAPE.EXE", kPicApp},
                                                  {"iexplore.exe", kPicWebGlobe}, {"outlook.exe", kPicMailProgram},
                                                  {"Outlook.exe", kPicApp},       {"", kPicApp}};
  for (auto [name, picture] : programs) EXPECT_EQ(AppPicture(name), picture) << name;
}

TEST(EditorModel, WordsAndCaptionsForEachAction) {
  struct Case {
    int action;
    const char *word, *sort, *inbound, *outbound;
    int light;
  };
  const Case cases[] = {{PFW_ALLOW, "Allow", "ALLOW", "Inbound: Allow", "Outbound: Allow", 0},
                        {PFW_DENY, "Deny", "DENY", "Inbound: Deny", "Outbound: Deny", 1},
                        {PFW_ASK, "Ask User", "ASK", "Inbound: Ask", "Outbound: Ask", 2},
                        {3, "", "", "", "", -1},
                        {-1, "", "", "", "", -1}};
  for (const Case& c : cases) {
    EXPECT_STREQ(ActionWord(c.action), c.word);
    EXPECT_STREQ(PolicySortText(c.action), c.sort);
    EXPECT_EQ(DefaultCaption(PFW_INBOUND, c.action), c.inbound);
    EXPECT_EQ(DefaultCaption(PFW_OUTBOUND, c.action), c.outbound);
    EXPECT_EQ(LightPicture(c.action), c.light);
  }
}

TEST(EditorModel, SortTextsCompareAsUnsignedBytes) {
  EXPECT_LT(CompareSortTexts("ALLOW", "ASK"), 0);
  EXPECT_LT(CompareSortTexts("ASK", "DENY"), 0);
  EXPECT_LT(CompareSortTexts("HTTP", "HTTPS"), 0);     // a prefix is smaller
  EXPECT_GT(CompareSortTexts("a", "Z"), 0);            // bytes, not letters
  EXPECT_GT(CompareSortTexts("\xE9t\xE9", "zoo"), 0);  // above 127 sorts after ASCII
  EXPECT_EQ(CompareSortTexts("", ""), 0);
  EXPECT_LT(CompareSortTexts("", "A"), 0);
}

TEST(EditorModel, TreeLevelsOfEachTab) {
  using L = std::array<Level, 4>;
  EXPECT_EQ(TabLevels(kTabProtocol), (L{kLevelProtocol, kLevelAddress, kLevelApp, kLevelRule}));
  EXPECT_EQ(TabLevels(kTabAddress), (L{kLevelAddress, kLevelProtocol, kLevelApp, kLevelRule}));
  EXPECT_EQ(TabLevels(kTabApplication), (L{kLevelApp, kLevelAddress, kLevelProtocol, kLevelRule}));
}

TEST(EditorModel, RecordTextsNeverReadPastTheirFields) {
  // Fields filled to the last byte, as another process might leave them mid-write.
  PFW_PROTO protocol{};
  PFW_ADR address{};
  PFW_APP app{};
  PFW_RULE rule{};
  memset(protocol.name, 'P', sizeof protocol.name);
  memset(address.name, 'A', sizeof address.name);
  memset(app.description, 'D', sizeof app.description);
  memset(app.name, 'N', sizeof app.name);
  rule.direction = PFW_INBOUND;
  rule.action = PFW_DENY;
  RuleView view{&rule, &protocol, &address, &app};
  std::array<std::string, 5> row = RowTexts(view);
  EXPECT_EQ(row[0], std::string(20, 'P'));
  EXPECT_EQ(row[1], std::string(32, 'A'));
  EXPECT_EQ(row[2], std::string(42, 'D'));
  EXPECT_EQ(row[3], "INBOUND");
  EXPECT_EQ(row[4], "Deny");
  EXPECT_EQ(SortText(view, 4), "DENY");
  EXPECT_EQ(NodeFor(view, kLevelApp).picture, kPicApp);
  EXPECT_EQ(NodeFor(view, kLevelRule).picture, kPicDeny);
}

TEST(EditorModel, NumbersAndNamesFromTheBoxes) {
  struct Case {
    const char* text;
    unsigned long max;
    bool ok;
    unsigned long value;
  };
  const Case cases[] = {{"0", 255, true, 0},
                        {"255", 255, true, 255},
                        {"256", 255, false, 0},
                        {"", 255, false, 0},
                        {"1a", 255, false, 0},
                        {" 1", 255, false, 0},
                        {"-1", 255, false, 0},
                        {"007", 255, true, 7},
                        {"65535", 65535, true, 65535},
                        {"65536", 65535, false, 0},
                        {"99999999999", 4294967295ul, false, 0}};
  for (const Case& c : cases) {
    unsigned long value = 12345;
    EXPECT_EQ(ParseNumber(c.text, c.max, &value), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(value, c.value) << c.text;
    }
  }
  EXPECT_EQ(BareFileName("C:\\Program Files\\Deep\\Folder\\browser.exe"), "browser.exe");
  EXPECT_EQ(BareFileName("D:tool.exe"), "tool.exe");
  EXPECT_EQ(BareFileName("plain.exe"), "plain.exe");
  EXPECT_EQ(Capitals("netscape.exe"), "NETSCAPE.EXE");
  EXPECT_EQ(DottedAddress(0x0100007Ful), "127.0.0.1");
  EXPECT_EQ(DottedAddress(0xFF01A8C0ul), "192.168.1.255");
}

}  // namespace

namespace {

TEST(EditorModel, ContextMenuStateByRecord) {
  PFW_RULE inbound{}, other{};
  inbound.kind = other.kind = PFW_KIND_RULE;
  inbound.key = 0;
  inbound.action = PFW_DENY;
  other.key = 7;
  other.action = 9;  // no known action: no mark
  PFW_PROTO protocol{};
  protocol.kind = PFW_KIND_PROTOCOL;
  protocol.key = 3;
  struct Case {
    const void* record;
    bool light, actions, remove, greyed;
    int checked;
  };
  const Case cases[] = {{&inbound, false, true, false, true, PFW_DENY},
                        {&inbound, true, true, false, false, PFW_DENY},
                        {&other, false, true, true, true, -1},
                        {&protocol, false, false, false, true, -1}};
  for (const Case& c : cases) {
    MenuState state = ContextMenuState(c.record, c.light);
    EXPECT_EQ(state.actions, c.actions);
    EXPECT_TRUE(state.add);
    EXPECT_EQ(state.remove, c.remove);
    EXPECT_EQ(state.removeGreyed, c.greyed);
    EXPECT_EQ(state.checked, c.checked);
  }
  EXPECT_EQ(RenameLimit(PFW_KIND_RULE), 0);
}

// Renaming takes what creating takes: a text made by Create New survives an edit that
// leaves it alone.
TEST(EditorModel, RenameLimitsAreThoseOfCreateNew) {
  EXPECT_EQ(RenameLimit(PFW_KIND_PROTOCOL), kProtocolNameMax);
  EXPECT_EQ(RenameLimit(PFW_KIND_ADDRESS), kAddressNameMax);
  EXPECT_EQ(RenameLimit(PFW_KIND_APP), kAppDescriptionMax);
}

TEST(EditorModel, ARenameComparesTheTextAsTypedBeforeAnyCut) {
  const std::string description41(41, 'd'), name31(31, 'n'), name30(30, 'n');
  struct Case {
    const char* what;
    int kind;
    std::string before, typed;
    bool change, cut;
    std::string text;
  };
  const Case cases[] = {
      {"own 41-character description", PFW_KIND_APP, description41, description41, false, false, ""},
      {"own 31-character address name", PFW_KIND_ADDRESS, name31, name31, false, false, ""},
      {"own short name", PFW_KIND_PROTOCOL, "HTTP", "HTTP", false, false, ""},
      {"changed long name, cut", PFW_KIND_ADDRESS, name31, name31 + "x", true, true, name30},
      {"changed to a longer text", PFW_KIND_ADDRESS, "Proxy", name31, true, true, name30},
      {"changed and short", PFW_KIND_APP, description41, "Mail", true, false, "Mail"},
      {"case alone is a change", PFW_KIND_PROTOCOL, "http", "HTTP", true, false, "HTTP"},
      {"emptied", PFW_KIND_PROTOCOL, "HTTP", "", true, false, ""},
      {"a rule is never renamed", PFW_KIND_RULE, "Allow", "Deny", false, false, ""},
  };
  for (const Case& c : cases) {
    RenameOutcome outcome = DecideRename(c.kind, c.before, c.typed);
    EXPECT_EQ(outcome.change, c.change) << c.what;
    EXPECT_EQ(outcome.cut, c.cut) << c.what;
    if (c.change) {
      EXPECT_EQ(outcome.text, c.text) << c.what;
    }
  }
}

TEST(EditorModel, EachTreeHasItsOwnName) {
  EXPECT_EQ(TreeName(kTabAddress, PFW_INBOUND), "Inbound Address Tree");
  EXPECT_EQ(TreeName(kTabProtocol, PFW_OUTBOUND), "Outbound Protocol Tree");
  EXPECT_EQ(TreeName(kTabApplication, PFW_OUTBOUND), "Outbound Application Tree");
}

TEST(EditorModel, BlankNamesAndTheStoresRefusals) {
  for (const char* blank : {"", " ", "      "}) EXPECT_TRUE(IsBlank(blank)) << '"' << blank << '"';
  for (const char* text : {"a", " a ", "\t"}) EXPECT_FALSE(IsBlank(text)) << '"' << text << '"';
  EXPECT_EQ(CreateRefusal("protocol", false), "The protocol could not be added: the protocol list is full.");
  EXPECT_EQ(CreateRefusal("address", true),
            "The address could not be added: another program has just added an entry with the same name or value.");
}

}  // namespace

namespace {

// Every window, dialog and command has a topic of its own; what has none gets the editor's.
TEST(EditorModel, HelpTopicsOfWindowsDialogsAndCommands) {
  const std::pair<int, ULONG_PTR> controls[] = {{IDC_TREE_PROTOCOL_IN, IDH_EDICTOR_PROTOCOL_TREES},
                                                {IDC_TREE_PROTOCOL_OUT, IDH_EDICTOR_PROTOCOL_TREES},
                                                {IDC_TREE_ADDRESS_IN, IDH_EDICTOR_ADDRESS_TREES},
                                                {IDC_TREE_ADDRESS_OUT, IDH_EDICTOR_ADDRESS_TREES},
                                                {IDC_TREE_APP_IN, IDH_EDICTOR_APPLICATION_TREES},
                                                {IDC_TREE_APP_OUT, IDH_EDICTOR_APPLICATION_TREES},
                                                {IDC_RULE_LIST, IDH_EDICTOR_RULE_LIST},
                                                {IDC_LIGHT_OUT, IDH_EDICTOR_DEFAULT_RULES},
                                                {IDC_CAPTION_IN, IDH_EDICTOR_DEFAULT_RULES},
                                                {IDC_TAB, IDH_TARNWALL_EDICTOR},
                                                {0, IDH_TARNWALL_EDICTOR}};
  for (auto [id, topic] : controls) EXPECT_EQ(HelpTopicForControl(id), topic) << id;
  const std::pair<UINT, ULONG_PTR> dialogs[] = {{IDD_ADD_RULE, IDH_EDICTOR_ADD_RULE},
                                                {IDD_ADD_PROTOCOL, IDH_EDICTOR_ADD_PROTOCOL},
                                                {IDD_ADD_APPLICATION, IDH_EDICTOR_ADD_APPLICATION},
                                                {IDD_ADD_ADDRESS, IDH_EDICTOR_ADD_ADDRESS}};
  for (auto [id, topic] : dialogs) EXPECT_EQ(HelpTopicForDialog(id), topic) << id;
  // In a dialog F1 names the dialog, in the form the control.
  EXPECT_EQ(HelpTopicForFocus(IDD_ADD_PROTOCOL, IDC_PROTO_NAME), IDH_EDICTOR_ADD_PROTOCOL);
  EXPECT_EQ(HelpTopicForFocus(IDD_TREE_FORM, IDC_RULE_LIST), IDH_EDICTOR_RULE_LIST);
  EXPECT_EQ(HelpTopicForFocus(0, IDC_TREE_APP_IN), IDH_EDICTOR_APPLICATION_TREES);
  // Each menu command its own topic; the context menu's items share the menu's.
  const UINT commands[] = {ID_APP_EXIT_CMD,      ID_RULE_ADD,       ID_RULE_DELETE, ID_TOOLS_LOCK,    ID_TOOLS_TIMER,
                           ID_HELP_CONTENTS_CMD, ID_HELP_INDEX_CMD, ID_HELP_CMD,    ID_HELP_FEEDBACK, ID_APP_ABOUT_CMD};
  std::set<ULONG_PTR> topics;
  for (UINT id : commands) {
    ULONG_PTR topic = HelpTopicForCommand(id);
    EXPECT_GE(topic, static_cast<ULONG_PTR>(IDH_EDICTOR_CMD_EXIT)) << id;
    EXPECT_LE(topic, static_cast<ULONG_PTR>(IDH_EDICTOR_CMD_ABOUT)) << id;
    topics.insert(topic);
  }
  EXPECT_EQ(topics.size(), sizeof commands / sizeof commands[0]);
  for (UINT id : {ID_ACTION_DENY, ID_ACTION_ASK, ID_ACTION_ALLOW, ID_CONTEXT_ADD, ID_CONTEXT_DELETE})
    EXPECT_EQ(HelpTopicForCommand(id), static_cast<ULONG_PTR>(IDH_EDICTOR_CONTEXT_MENU)) << id;
  EXPECT_EQ(HelpTopicForCommand(0), static_cast<ULONG_PTR>(IDH_TARNWALL_EDICTOR));
  // In a modal dialog F1 asks for help; Shift+F1 is the frame's help mode, not a request.
  EXPECT_TRUE(IsHelpKey(WM_KEYDOWN, VK_F1, false));
  EXPECT_FALSE(IsHelpKey(WM_KEYDOWN, VK_F1, true));
  EXPECT_FALSE(IsHelpKey(WM_KEYUP, VK_F1, false));
  EXPECT_FALSE(IsHelpKey(WM_KEYDOWN, VK_F2, false));
  EXPECT_TRUE(IsHelpKey(0x004D, 0, false));  // the system's WM_KEYF1 is taken, not doubled
}

}  // namespace
