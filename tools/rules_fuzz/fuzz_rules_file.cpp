// libFuzzer target for the rule-set file reader of rules.exe, built natively with
// clang, ASan and UBSan (tools/rules_fuzz/run.sh). Whatever the bytes, the reader
// either names a fault (with a line inside the input, or none) or gives a set
// within the store's limits whose rules name entries it holds, with one wildcard
// of each kind and both default rules; and such a set written out reads back the same.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "../rules_format.h"

using namespace rulesfile;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

template <typename E>
int wildcards(const std::vector<E>& entries) {
  int n = 0;
  for (const E& e : entries) n += e.any;
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  Latin1 codepage;
  RuleSet set;
  Fault fault;
  if (!read_rule_set(input, codepage, set, fault)) {
    Check(!fault.message.empty());
    size_t lines = 1;
    for (char c : input) lines += c == '\n';
    Check(fault.line >= 0 && (size_t)fault.line <= lines);
    Check(fault.excerpt.size() <= 64);
    Check(!describe(fault).empty());
    return 0;
  }
  Check(set.protocols.size() <= kProtocolsMax && set.addresses.size() <= kAddressesMax && set.apps.size() <= kAppsMax &&
        set.rules.size() <= kRulesMax);
  Check(wildcards(set.protocols) == 1 && wildcards(set.addresses) == 1 && wildcards(set.apps) == 1);
  for (const Protocol& p : set.protocols)
    Check(!p.name.empty() && p.name.size() <= kProtocolNameMax && p.port <= 65535);
  for (const Address& a : set.addresses)
    Check(!a.name.empty() && a.name.size() <= kAddressNameMax && compare_addresses(a.low, a.high) <= 0);
  for (const App& a : set.apps)
    Check(!a.name.empty() && a.name.size() <= kAppNameMax && a.description.size() <= kDescriptionMax);
  for (const Rule& r : set.rules)
    Check(r.protocol < set.protocols.size() && r.address < set.addresses.size() && r.app < set.apps.size() &&
          r.direction >= 0 && r.direction <= 1 && r.action >= 0 && r.action <= 2);
  Check(!set.has_log_file || (!set.log_file.empty() && set.log_file.size() <= kLogFileMax));
  // What was read can be written, and the text reads back as the same set.
  std::string text;
  Fault again;
  Check(write_rule_set(set, codepage, text, again));
  RuleSet back;
  Check(read_rule_set(text, codepage, back, again));
  Check(back.rules.size() == set.rules.size() && back.apps.size() == set.apps.size());
  return 0;
}
