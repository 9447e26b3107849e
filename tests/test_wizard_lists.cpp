// Kindler's readers with no window: the field syntax, the provider list, the application
// lists, the port values and the group and rule tables. Files come from memory, except
// where the disk itself is the point (a missing PROVIDER.LST).
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>

#include "wizard_memory_files.h"
#include "lists.h"

using namespace kindler;

namespace {

// Files in memory, and the messages the user was shown.
struct Fixture : MemoryFiles {};

std::string Line(const std::string& group, const std::string& port = "80", const std::string& transport = "TCP",
                 const std::string& app = "iexplore.exe") {
  return group + ",Web browser," + app + ",HTTP," + port + "," + transport + ",OUT,ALL\r\n";
}

std::vector<std::string> Names(const WizardLists& lists) {
  std::vector<std::string> names;
  for (const auto& g : lists.Groups()) names.push_back(g.name);
  return names;
}

TEST(WizardFields, SyntaxOfFields) {
  struct Case {
    const char* data;
    int count;
    std::vector<std::string> fields;
  } cases[] = {
      {"a,b,c", 3, {"a", "b", "c"}},
      {"  a  ,\tb ,c  \r\n", 3, {"a", "b", "c"}},
      {"\"x, y\",b,c", 3, {"x, y", "b", "c"}},
      {"\"  quoted  \" ignored,b,c", 3, {"  quoted  ", "b", "c"}},
      {"a\nb\r\nc", 3, {"a", "b", "c"}},
      {"a,,c\n", 3, {"a", "", "c"}},
      {"a,b,", 3, {"a", "b", ""}},
  };
  for (const auto& c : cases) {
    FieldReader reader(c.data);
    std::vector<std::string> fields;
    Failure failure;
    ASSERT_FALSE(reader.AtEnd()) << c.data;
    ASSERT_TRUE(reader.ReadRecord(c.count, fields, failure)) << c.data;
    EXPECT_EQ(fields, c.fields) << c.data;
    EXPECT_TRUE(reader.AtEnd()) << c.data;
  }
}

TEST(WizardFields, EndOfDataInsideARecordFails) {
  for (const char* data : {"a,b\r\n", "a,b", "a,\"b, c", "a\n\n"}) {
    FieldReader reader(data);
    std::vector<std::string> fields;
    Failure failure;
    EXPECT_FALSE(reader.ReadRecord(3, fields, failure)) << data;
    EXPECT_NE(failure.code, 0);
    EXPECT_FALSE(failure.text.empty());
  }
  // Blank lines between records are no record.
  FieldReader reader("\r\n  \r\na,b,c\r\n\r\n\r\n");
  std::vector<std::string> fields;
  Failure failure;
  EXPECT_FALSE(reader.AtEnd());
  EXPECT_TRUE(reader.ReadRecord(3, fields, failure));
  EXPECT_EQ(fields[0], "a");
  EXPECT_TRUE(reader.AtEnd());
}

TEST(WizardPort, ValuesAndRounding) {
  struct Case {
    const char* field;
    bool ok;
    int32_t port;
  } cases[] = {
      {"80", true, 80},       {"abc", true, 0},
      {"80.5", true, 80},     {"81.5", true, 82},
      {"80.51", true, 81},    {"80.49", true, 80},
      {"-2.5", true, -2},     {"-3.5", true, -4},
      {"+7", true, 7},        {"0000000000443", true, 443},
      {"25abc", true, 25},    {".5", true, 0},
      {"32767", true, 32767}, {"-32768", true, -32768},
      {"32767.5", false, 0},  {"-32768.6", false, 0},
      {"70000", false, 0},    {"99999999999999999999", false, 0},
      {"", true, 0},
  };
  for (const auto& c : cases) {
    int32_t port = 12345;
    EXPECT_EQ(ParsePort(c.field, port), c.ok) << c.field;
    if (c.ok) {
      EXPECT_EQ(port, c.port) << c.field;
    }
  }
}

TEST(WizardProviders, EmptyFieldsSkippedAndFiftyRead) {
  Fixture f;
  std::string text = "A.LST,,Skipped\r\n\"\",B.ICO,Skipped too\r\n";
  for (int i = 0; i < 60; ++i)
    text += (std::string("P") += std::to_string(i)) + ".LST,P.ICO,\"Provider " + std::to_string(i) + "\"\r\n";
  f.files["PROVIDER.LST"] = text;
  Failure failure;
  int step = 0;
  ASSERT_TRUE(f.lists.LoadProviderList(failure, step));
  ASSERT_EQ(f.lists.ProviderCount(), 50);
  EXPECT_EQ(f.lists.Providers()[0].listFile, "P0.LST");
  EXPECT_EQ(f.lists.Providers()[0].iconFile, "P.ICO");
  EXPECT_EQ(f.lists.Providers()[49].name, "Provider 49");
}

TEST(WizardProviders, FailuresNameTheirStep) {
  // A missing file on disk: step 1, with the C library's code and text.
  namespace fs = std::filesystem;
  const fs::path before = fs::current_path();
  const fs::path empty = before / "wizard_no_lists";
  fs::create_directories(empty);
  fs::current_path(empty);
  WizardLists disk(ReadFileFromDisk, {});
  Failure failure;
  int step = 0;
  bool loaded = disk.LoadProviderList(failure, step);
  fs::current_path(before);
  fs::remove_all(empty);
  ASSERT_FALSE(loaded);
  EXPECT_EQ(step, 1);
  EXPECT_EQ(ProviderListFailureMessage(failure, step),
            "Could not load the provider list - wizard cannot continue.  Error code = " + std::to_string(ENOENT) +
                ",1.  Error text = " + std::strerror(ENOENT));

  Fixture f;
  f.files["PROVIDER.LST"] = "A.LST,A.ICO,Alpha\r\nB.LST,B.ICO\r\n";
  ASSERT_FALSE(f.lists.LoadProviderList(failure, step));
  EXPECT_EQ(step, 2);
  EXPECT_EQ(ProviderListFailureMessage(failure, step),
            "Could not load the provider list - wizard cannot continue.  Error code = " + std::to_string(kEndInRecord) +
                ",2.  Error text = The file ends in the middle of a record.");
}

TEST(WizardApplications, InvalidRecordsGiveOneMessageAfterTheWholeFile) {
  Fixture f;
  f.files["A.LST"] = Line("Web") + Line("Mail") + Line("Chat", "6667", "tcp") + Line("News") +
                     "Web,Web browser,iexplore.exe,HTTP,80,TCP,out,ALL\r\n" + Line("Files");
  EXPECT_EQ(f.lists.LoadApplicationList("A.LST", "Alpha"), -1);
  ASSERT_EQ(f.messages.size(), 1u);
  EXPECT_EQ(f.messages[0], "Errors found processing application list for Alpha (A.LST).");
  EXPECT_EQ(f.lists.RuleCount(), 4);
  EXPECT_EQ(Names(f.lists), (std::vector<std::string>{"Web", "Mail", "News", "Files"}));
}

TEST(WizardApplications, ReadOrConvertFailureStopsTheList) {
  struct Case {
    const char* content;  // null: the file is missing
    int rulesKept;
  } cases[] = {
      {nullptr, 0},
      {"Web,Web browser,iexplore.exe,HTTP,80,TCP,OUT,ALL\r\nMail,m,outlook.exe,SMTP,70000,TCP,OUT,ALL\r\n"
       "News,n,news.exe,NNTP,119,TCP,OUT,ALL\r\n",
       1},
      {"Web,Web browser,iexplore.exe,HTTP,80,TCP,OUT,ALL\r\nMail,m,outlook.exe,SMTP,25\r\n", 1},
  };
  for (const auto& c : cases) {
    Fixture f;
    if (c.content) f.files["A.LST"] = c.content;
    EXPECT_NE(f.lists.LoadApplicationList("A.LST", "Alpha"), 0);
    ASSERT_EQ(f.messages.size(), 1u);
    EXPECT_EQ(f.messages[0], "Could not process application list for Alpha (A.LST).");
    EXPECT_EQ(f.lists.RuleCount(), c.rulesKept);
  }
}

TEST(WizardApplications, FieldsTrimmedCutAndCoded) {
  Fixture f;
  const std::string description50(50, 'd'), app35(35, 'a'), protocol25(25, 'p');
  f.files["A.LST"] = "Mail,  " + description50 + "  ,  " + app35 + "  ," + protocol25 +
                     ",  25  , TCP , OUT , ALL \r\n" + "Names,\"Resolver, local\",cache.exe,DNS,53,UDP,IN,LOCAL\r\n" +
                     // Blanks in quotes are no name: it would be an entry without one.
                     "Mail,\"   \",x.exe,SMTP,25,TCP,OUT,ALL\r\n";
  EXPECT_EQ(f.lists.LoadApplicationList("A.LST", "Alpha"), -1);
  ASSERT_EQ(f.lists.RuleCount(), 2);
  const WizardRule& mail = f.lists.Rules()[0];
  EXPECT_EQ(mail.description, description50.substr(0, 40));
  EXPECT_EQ(mail.applicationName, app35.substr(0, 29));
  EXPECT_EQ(mail.protocolName, protocol25.substr(0, 19));
  EXPECT_EQ(mail.port, 25);
  EXPECT_EQ(std::vector<int32_t>({mail.transport, mail.direction, mail.localOnly}), std::vector<int32_t>({0, 1, 0}));
  const WizardRule& names = f.lists.Rules()[1];
  EXPECT_EQ(names.description, "Resolver, local");
  EXPECT_EQ(std::vector<int32_t>({names.transport, names.direction, names.localOnly}), std::vector<int32_t>({1, 0, 1}));
}

TEST(WizardGroups, SharedGroupsAndChoosingAgain) {
  Fixture f;
  f.files["A.LST"] = Line("Email") + Line("Web") + Line("A only");
  f.files["B.LST"] = Line("Web", "443") + Line("B only") + Line("Email", "110");
  f.lists.LoadApplicationList("A.LST", "A");
  f.lists.LoadApplicationList("B.LST", "B");
  f.lists.RemoveEmptyGroups();
  EXPECT_EQ(Names(f.lists), (std::vector<std::string>{"Email", "Web", "A only", "B only"}));
  EXPECT_EQ(f.lists.RuleCount(), 6);
  f.lists.SetAccess(1, kDeny);   // Web
  f.lists.SetAccess(3, kAllow);  // B only

  // Back to the provider page, A alone.
  f.lists.EmptyRuleTable();
  f.lists.LoadApplicationList("A.LST", "A");
  f.lists.RemoveEmptyGroups();
  EXPECT_EQ(Names(f.lists), (std::vector<std::string>{"Email", "Web", "A only"}));
  EXPECT_EQ(f.lists.Groups()[1].access, kDeny);
  for (const auto& rule : f.lists.Rules()) EXPECT_LT(rule.group, f.lists.GroupCount());
  EXPECT_EQ(f.lists.Rules()[2].group, 2);

  // B again: its group comes back new, at Ask.
  f.lists.LoadApplicationList("B.LST", "B");
  EXPECT_EQ(f.lists.Groups()[3].name, "B only");
  EXPECT_EQ(f.lists.Groups()[3].access, kAsk);
}

TEST(WizardGroups, FullTablesCutTheListAndSaySo) {
  Fixture f;
  std::string text;
  for (int g = 0; g < 52; ++g) text += Line("Group " + std::to_string(g));
  text += Line("Group 51", "8080");
  for (int r = 0; r < 960; ++r) text += Line("Group 0", std::to_string(r % 30000 + 1));
  f.files["A.LST"] = text;
  EXPECT_EQ(f.lists.LoadApplicationList("A.LST", "Alpha"), 0);
  EXPECT_EQ(f.lists.GroupCount(), 50);
  EXPECT_EQ(f.lists.FindOrAddGroup("Group 50"), -1);
  EXPECT_EQ(f.lists.FindOrAddGroup("Group 49"), 49);
  // 50 from the group lines, then 950 of the 960 more: the rule table is full.
  ASSERT_EQ(f.lists.RuleCount(), 1000);
  EXPECT_EQ(f.lists.Rules()[999].port, 950);
  // One message names the list and what it lost: three entries of two groups, ten rules.
  ASSERT_EQ(f.messages.size(), 1u);
  EXPECT_EQ(f.messages[0],
            "The wizard's tables are full: 3 entries in 2 groups beyond the 50 groups and 10 entries beyond the "
            "1000 rules it can hold were left out of the application list for Alpha (A.LST).  Choose fewer "
            "providers to keep them.");
}

// Choosing a provider with 30 groups, going back and choosing another with 30 others:
// the first choice's groups must not take the places of the second's.
TEST(WizardGroups, AnEarlierChoiceLeavesNoGroupsBehind) {
  Fixture f;
  std::string a, b;
  for (int g = 0; g < 30; ++g) a += Line(std::string("A") += std::to_string(g), std::to_string(g + 1));
  for (int g = 0; g < 30; ++g) b += Line(std::string("B") += std::to_string(g), std::to_string(g + 1));
  f.files["A.LST"] = a + Line("Shared", "5000");
  f.files["B.LST"] = b + Line("Shared", "5001");
  ASSERT_EQ(f.lists.LoadApplicationList("A.LST", "A"), 0);
  f.lists.RemoveEmptyGroups();
  f.lists.SetAccess(30, kDeny);  // Shared
  f.lists.SetAccess(0, kAllow);  // A0

  f.lists.EmptyRuleTable();
  ASSERT_EQ(f.lists.LoadApplicationList("B.LST", "B"), 0);
  f.lists.RemoveEmptyGroups();
  EXPECT_TRUE(f.messages.empty());
  EXPECT_EQ(f.lists.GroupCount(), 31);
  EXPECT_EQ(f.lists.RuleCount(), 31);
  EXPECT_EQ(f.lists.Groups()[0].name, "B0");
  EXPECT_EQ(f.lists.Groups()[30].name, "Shared");
  EXPECT_EQ(f.lists.Groups()[30].access, kDeny);  // kept across the choices
  for (const auto& rule : f.lists.Rules()) EXPECT_EQ(f.lists.Groups()[rule.group].name.substr(0, 1) != "A", true);

  // Back to A: A0 was not part of the last choice, so it comes back new, at Ask.
  f.lists.EmptyRuleTable();
  ASSERT_EQ(f.lists.LoadApplicationList("A.LST", "A"), 0);
  f.lists.RemoveEmptyGroups();
  EXPECT_EQ(f.lists.Groups()[0].name, "A0");
  EXPECT_EQ(f.lists.Groups()[0].access, kAsk);
  EXPECT_EQ(f.lists.Groups()[30].access, kDeny);
}

TEST(WizardApplications, RecordsThatCannotBeStoredAreInvalid) {
  using namespace std::string_literals;
  // A NUL in any field, and a port below 0 (also one that only rounds below it).
  const std::string bad[] = {
      "Mail,Mail program,out\0look.exe,SMTP,25,TCP,OUT,ALL\r\n"s,
      "Ma\0il,Mail program,outlook.exe,SMTP,25,TCP,OUT,ALL\r\n"s,
      "Mail,Mail program,outlook.exe,SMTP,25,TCP,OUT,ALL\0\r\n"s,
      "Mail,Mail program,outlook.exe,SMTP,-25,TCP,OUT,ALL\r\n"s,
      "Mail,Mail program,outlook.exe,SMTP,-0.6,TCP,OUT,ALL\r\n"s,
  };
  for (const std::string& record : bad) {
    Fixture f;
    f.files["A.LST"] = Line("Web") + record + Line("News", "119");
    EXPECT_EQ(f.lists.LoadApplicationList("A.LST", "Alpha"), -1);
    ASSERT_EQ(f.messages.size(), 1u);
    EXPECT_EQ(f.messages[0], "Errors found processing application list for Alpha (A.LST).");
    EXPECT_EQ(Names(f.lists), (std::vector<std::string>{"Web", "News"}));
    for (const auto& rule : f.lists.Rules()) EXPECT_GE(rule.port, 0);
  }
  // -0.4 rounds to 0, which is no port at all: a valid record.
  Fixture f;
  f.files["A.LST"] = Line("Web", "-0.4");
  EXPECT_EQ(f.lists.LoadApplicationList("A.LST", "Alpha"), 0);
  ASSERT_EQ(f.lists.RuleCount(), 1);
  EXPECT_EQ(f.lists.Rules()[0].port, 0);
}

TEST(WizardProviders, ARecordWithANulIsNoProvider) {
  using namespace std::string_literals;
  Fixture f;
  f.files["PROVIDER.LST"] = "A.LST\0X,A.ICO,Alpha\r\nB.LST,B.ICO,Bra\0vo\r\nC.LST,C.ICO,Cobalt\r\n"s;
  Failure failure;
  int step = 0;
  ASSERT_TRUE(f.lists.LoadProviderList(failure, step));
  ASSERT_EQ(f.lists.ProviderCount(), 1);
  EXPECT_EQ(f.lists.Providers()[0].name, "Cobalt");
}

// Empty lines after a record that is cut short do not complete it.
TEST(WizardFields, TrailingBlankLinesDoNotHideACutRecord) {
  for (const char* tail : {"", "\r\n", "\r\n\r\n", "\r\n  \t\r\n ", "\n\n"}) {
    SCOPED_TRACE(testing::PrintToString(tail));
    Fixture f;
    f.files["PROVIDER.LST"] = std::string("A.LST,A.ICO,Alpha\r\nB.LST,B.ICO") + tail;
    Failure failure;
    int step = 0;
    EXPECT_FALSE(f.lists.LoadProviderList(failure, step));
    EXPECT_EQ(step, 2);
    EXPECT_EQ(failure.code, kEndInRecord);

    f.files["A.LST"] = Line("Web") + "Mail,Mail program,outlook.exe,SMTP,25,TCP,OUT" + tail;
    EXPECT_EQ(f.lists.LoadApplicationList("A.LST", "Alpha"), kEndInRecord);
    ASSERT_EQ(f.messages.size(), 1u);
    EXPECT_EQ(f.messages[0], "Could not process application list for Alpha (A.LST).");
  }
  // A comma still promises a field, even an empty last one before the empty lines.
  FieldReader reader("a,b,\r\n\r\n");
  std::vector<std::string> fields;
  Failure failure;
  EXPECT_TRUE(reader.ReadRecord(3, fields, failure));
  EXPECT_EQ(fields, (std::vector<std::string>{"a", "b", ""}));
  EXPECT_TRUE(reader.AtEnd());
}

TEST(WizardEncoding, AByteOrderMarkIsNoPartOfTheFirstField) {
  const std::string mark = "\xEF\xBB\xBF";
  Fixture f;
  f.files["PROVIDER.LST"] = mark + "A.LST,A.ICO,Alpha\r\n";
  f.files["A.LST"] = mark + Line("Email") + Line("Email", "25");
  Failure failure;
  int step = 0;
  ASSERT_TRUE(f.lists.LoadProviderList(failure, step));
  EXPECT_EQ(f.lists.Providers()[0].listFile, "A.LST");
  EXPECT_EQ(f.lists.LoadApplicationList("A.LST", "Alpha"), 0);
  EXPECT_EQ(Names(f.lists), (std::vector<std::string>{"Email"}));
}

// A file marked as UTF-8 is cut between its characters: "é" is two bytes, and the 40th
// byte would be its first.
TEST(WizardEncoding, AMarkedUtf8FileIsCutBetweenCharacters) {
  const std::string e = "\xC3\xA9", euro = "\xE2\x82\xAC";
  Fixture f;
  f.files["A.LST"] = "\xEF\xBB\xBFMail," + std::string(39, 'd') + e + "," + std::string(28, 'a') + euro + "x.exe," +
                     std::string(18, 'p') + e + ",25,TCP,OUT,ALL\r\n";
  ASSERT_EQ(f.lists.LoadApplicationList("A.LST", "Alpha"), 0);
  ASSERT_EQ(f.lists.RuleCount(), 1);
  EXPECT_EQ(f.lists.Rules()[0].description, std::string(39, 'd'));
  EXPECT_EQ(f.lists.Rules()[0].applicationName, std::string(28, 'a'));
  EXPECT_EQ(f.lists.Rules()[0].protocolName, std::string(18, 'p'));
}

// A size cap or a read error comes after the file was opened: step 2, as reading a record.
TEST(WizardProviders, AFileTooLargeIsAReadingFailure) {
  namespace fs = std::filesystem;
  const fs::path before = fs::current_path();
  const fs::path dir = before / "wizard_large_list";
  fs::create_directories(dir);
  fs::current_path(dir);
  {
    std::FILE* file = std::fopen("PROVIDER.LST", "wb");
    ASSERT_TRUE(file);
    std::string line = "A.LST,A.ICO,Alpha\r\n";
    std::string block;
    while (block.size() < 1024 * 1024) block += line;
    for (int i = 0; i < 17; ++i) std::fwrite(block.data(), 1, block.size(), file);
    std::fclose(file);
  }
  WizardLists disk(ReadFileFromDisk, {});
  Failure failure;
  int step = 0;
  bool loaded = disk.LoadProviderList(failure, step);
  fs::current_path(before);
  fs::remove_all(dir);
  ASSERT_FALSE(loaded);
  EXPECT_EQ(step, 2);
  EXPECT_EQ(failure.code, kFileTooLarge);
}

TEST(WizardGroups, RemovingEmptyGroupsRenumbersRules) {
  Fixture f;
  for (const char* name : {"unused 0", "kept 1", "unused 2", "unused 3", "kept 4"}) f.lists.FindOrAddGroup(name);
  f.lists.AddWizardRule("kept 4", "d", "a.exe", "p", 1, 0, 0, 0);
  f.lists.AddWizardRule("kept 1", "d", "b.exe", "p", 2, 0, 0, 0);
  f.lists.SetAccess(4, kAllow);
  f.lists.RemoveEmptyGroups();
  EXPECT_EQ(Names(f.lists), (std::vector<std::string>{"kept 1", "kept 4"}));
  EXPECT_EQ(f.lists.Groups()[1].access, kAllow);
  EXPECT_EQ(f.lists.Rules()[0].group, 1);
  EXPECT_EQ(f.lists.Rules()[1].group, 0);
}

// In a code page with two-byte characters a cut falls before a character that would not
// fit whole. Shift JIS stands for them: 0x81 to 0x9F and 0xE0 to 0xFC lead, and a trail
// byte may look like an ASCII letter.
TEST(WizardEncoding, DoubleByteCharactersAreNeverSplit) {
  CodePage sjis;
  for (int b = 0x81; b <= 0x9F; ++b) sjis.lead[b] = true;
  for (int b = 0xE0; b <= 0xFC; ++b) sjis.lead[b] = true;
  const std::string kanji = "\x93\x64";  // lead, then a trail byte that reads as 'd'
  EXPECT_EQ(CutToCharacters(std::string(39, 'd') + kanji, 40, sjis), std::string(39, 'd'));
  EXPECT_EQ(CutToCharacters(std::string(38, 'd') + kanji + "x", 40, sjis), std::string(38, 'd') + kanji);
  EXPECT_EQ(CutToCharacters(kanji + kanji + kanji, 5, sjis), kanji + kanji);
  // One byte a character: the plain cut.
  EXPECT_EQ(CutToCharacters(std::string(39, 'd') + kanji, 40, CodePage::SingleByte()), std::string(39, 'd') + "\x93");
  // UTF-8: a broken sequence counts byte by byte and is cut like single bytes.
  EXPECT_EQ(CutToCharacters("ab\xE2\x82", 3, CodePage::Utf8()), "ab\xE2");
  EXPECT_EQ(CutToCharacters("ab\xF0\x9F\x98\x80", 5, CodePage::Utf8()), "ab");

  Fixture f;
  f.lists.SetCodePage(sjis);
  f.files["A.LST"] =
      "Mail," + std::string(39, 'd') + kanji + "," + std::string(28, 'a') + kanji + ",SMTP,25,TCP,OUT,ALL\r\n";
  ASSERT_EQ(f.lists.LoadApplicationList("A.LST", "Alpha"), 0);
  EXPECT_EQ(f.lists.Rules()[0].description, std::string(39, 'd'));
  EXPECT_EQ(f.lists.Rules()[0].applicationName, std::string(28, 'a'));
}

}  // namespace
