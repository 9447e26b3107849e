// libFuzzer target for Kindler's list readers, built natively with clang, ASan and UBSan
// (wizard/fuzz/run.sh).
//
// One input holds up to four files, split at the byte 0x1E: PROVIDER.LST, then the lists
// A.LST, B.LST and C.LST. The provider page is accepted three times, as a user choosing,
// going back and choosing again would: every provider; the others in reverse order
// without the first; the first alone. A provider list that names a list several times
// (under several providers) loads it as often, so small inputs reach the table limits.
// Without a usable provider list the three lists themselves are the choice. After every
// load the tables must hold what the wizard may write (no NUL in a field, ports 0 to
// 65535, at most 50 groups and 1,000 rules, every rule's group there), and no record may
// be dropped without a message naming its list.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "../lists.h"

namespace {

using kindler::WizardLists;

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "property broken: %s\n", what);
    std::abort();
  }
}

bool HoldsNul(const std::string& text) { return text.find('\0') != std::string::npos; }

void CheckTables(const WizardLists& lists) {
  Check(lists.ProviderCount() <= kindler::kMaxProviders, "at most 50 providers");
  Check(lists.GroupCount() <= kindler::kMaxGroups, "at most 50 groups");
  Check(lists.RuleCount() <= kindler::kMaxRules, "at most 1,000 rules");
  for (const auto& g : lists.Groups()) {
    Check(!HoldsNul(g.name), "no NUL in a group name");
    Check(g.access == kindler::kAllow || g.access == kindler::kDeny || g.access == kindler::kAsk,
          "a group's access is an action code");
  }
  for (const auto& rule : lists.Rules()) {
    Check(rule.group >= 0 && rule.group < lists.GroupCount(), "every rule's group exists");
    Check(!HoldsNul(rule.description) && !HoldsNul(rule.applicationName) && !HoldsNul(rule.protocolName),
          "no NUL in a rule's field");
    Check(!rule.description.empty() && !rule.applicationName.empty() && !rule.protocolName.empty(),
          "no empty name in a rule");
    Check(rule.description.size() <= kindler::kDescriptionLimit, "description cut to 40");
    Check(rule.applicationName.size() <= kindler::kApplicationNameLimit, "application name cut to 29");
    Check(rule.protocolName.size() <= kindler::kProtocolNameLimit, "protocol name cut to 19");
    Check(rule.port >= 0 && rule.port <= 65535, "port within 0 to 65535");
    Check(rule.transport == 0 || rule.transport == 1, "transport TCP or UDP");
    Check(rule.direction == 0 || rule.direction == 1, "direction IN or OUT");
    Check(rule.localOnly == 0 || rule.localOnly == 1, "scope ALL or LOCAL");
  }
}

// The records of a list as the reader gives them, counted apart from the loader's own
// bookkeeping; -1 when the reading fails.
int CountRecords(const std::string& content) {
  kindler::FieldReader reader(content);
  std::vector<std::string> fields;
  kindler::Failure failure;
  int records = 0;
  while (!reader.AtEnd()) {
    if (!reader.ReadRecord(8, fields, failure)) return -1;
    ++records;
  }
  return records;
}

int Count(const std::vector<std::string>& messages, const std::string& start) {
  int n = 0;
  for (const auto& m : messages) n += m.compare(0, start.size(), start) == 0;
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> parts;
  std::size_t from = 0;
  while (parts.size() < 3) {
    std::size_t at = input.find('\x1e', from);
    if (at == std::string::npos) break;
    parts.push_back(input.substr(from, at - from));
    from = at + 1;
  }
  parts.push_back(input.substr(from));

  std::map<std::string, std::string> files;
  files["PROVIDER.LST"] = parts[0];
  const char* names[] = {"A.LST", "B.LST", "C.LST"};
  for (std::size_t i = 1; i < parts.size(); ++i) files[names[i - 1]] = parts[i];

  std::vector<std::string> messages;
  WizardLists lists(
      [&](const std::string& name, std::string& content, kindler::Failure& failure) {
        auto it = files.find(name);
        if (it == files.end()) {
          failure = {2, "No such file"};
          return false;
        }
        content = it->second;
        return true;
      },
      [&](const std::string& message) { messages.push_back(message); });
  // A code page with lead bytes, so cuts meet two-byte characters as well.
  kindler::CodePage page;
  for (int b = 0x81; b <= 0x9F; ++b) page.lead[b] = true;
  lists.SetCodePage(page);

  kindler::Failure failure;
  int step = 0;
  if (lists.LoadProviderList(failure, step)) {
    for (const auto& p : lists.Providers()) {
      Check(!p.listFile.empty() && !p.iconFile.empty() && !p.name.empty(), "no empty provider field");
      Check(!HoldsNul(p.listFile) && !HoldsNul(p.iconFile) && !HoldsNul(p.name), "no NUL in a provider field");
    }
  } else {
    Check(step == 2 && failure.code != 0, "a provider list held in memory fails while reading, step 2");
  }
  CheckTables(lists);

  // The lists of the chosen providers in table order; six at most keeps each input
  // quick (six lists of an input's size already reach every limit).
  std::vector<std::string> all;
  for (const auto& p : lists.Providers()) {
    if (all.size() == 6) break;
    all.push_back(p.listFile);
  }
  if (all.empty())
    for (std::size_t i = 1; i < parts.size(); ++i) all.push_back(names[i - 1]);
  std::vector<std::vector<std::string>> choices = {all};
  if (all.size() > 1) {
    choices.emplace_back(all.rbegin(), all.rend() - 1);
    choices.push_back({all[0]});
  }
  // Each file's records, counted once.
  std::map<std::string, int> records;
  for (const auto& [name, content] : files) records[name] = CountRecords(content);
  auto tallied = [&](const std::string& name) { return records.count(name) ? records[name] : -2; };

  for (std::size_t c = 0; c < choices.size(); ++c) {
    std::map<std::string, int32_t> before;
    for (const auto& g : lists.Groups()) before[g.name] = g.access;
    lists.EmptyRuleTable();
    Check(lists.GroupCount() == 0 && lists.RuleCount() == 0, "accepting again starts from empty tables");
    bool failed = false;
    for (const std::string& name : choices[c]) {
      messages.clear();
      const int rulesBefore = lists.RuleCount();
      const int16_t result = lists.LoadApplicationList(name, name);
      CheckTables(lists);
      const std::string where = name + " (" + name + ").";
      if (result != 0 && result != -1) {
        failed = true;
        Check(Count(messages, "Could not process application list for " + where) == 1, "a stopped list says so");
        continue;
      }
      const kindler::ListTally& t = lists.LastTally();
      Check(t.records == tallied(name), "every record of the list was read");
      Check(lists.RuleCount() - rulesBefore == t.added, "the rules added are those counted");
      Check(t.added + t.invalid + t.cutForGroups + t.cutForRules == t.records, "every record accounted for");
      Check((t.invalid > 0) == (result == -1), "invalid records make the list fail");
      Check(Count(messages, "Errors found processing application list for " + where) == (t.invalid > 0),
            "invalid records are reported once");
      const bool cut = t.cutForGroups > 0 || t.cutForRules > 0;
      Check(Count(messages, "The wizard's tables are full: ") == (cut ? 1 : 0), "a cut list is reported once");
      if (cut) Check(messages[0].find("(" + name + ")") != std::string::npos, "the cut list is named");
      Check(t.cutForRules == 0 || lists.RuleCount() == kindler::kMaxRules, "rules are cut only when full");
      Check(t.cutForGroups == 0 || lists.GroupCount() == kindler::kMaxGroups, "groups are cut only when full");
      failed = failed || result != 0;
    }
    if (failed) continue;  // the wizard stays on the provider page
    lists.RemoveEmptyGroups();
    CheckTables(lists);
    for (int g = 0; g < lists.GroupCount(); ++g) {
      bool used = false;
      for (const auto& rule : lists.Rules()) used = used || rule.group == g;
      Check(used, "after the removal every group holds a rule");
      auto earlier = before.find(lists.Groups()[g].name);
      if (earlier != before.end()) Check(lists.Groups()[g].access == earlier->second, "a group keeps its access");
      // The user's choices on page 4, varied by the group's place.
      lists.SetAccess(g, static_cast<int32_t>((g + c) % 3));
    }
  }
  return 0;
}
