// libFuzzer target for Kindler's list readers, built natively with clang, ASan and UBSan
// (wizard/fuzz/run.sh). The input is taken once as PROVIDER.LST and once as an
// application list; whatever the bytes, the tables must stay within their limits and the
// rule table must point only at existing groups.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "../lists.h"

namespace {
void Check(bool condition) {
    if (!condition) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    int reports = 0;
    kindler::WizardLists lists(
        [&](const std::string&, std::string& content, kindler::Failure&) {
            content = input;
            return true;
        },
        [&](const std::string& message) {
            Check(!message.empty());
            ++reports;
        });

    kindler::Failure failure;
    int step = 0;
    if (lists.LoadProviderList(failure, step)) {
        Check(lists.ProviderCount() <= kindler::kMaxProviders);
        for (const auto& p : lists.Providers()) Check(!p.listFile.empty() && !p.iconFile.empty() && !p.name.empty());
    } else {
        Check(step == 2 && failure.code != 0);
    }

    // Twice, as when the user goes back and accepts the provider page again.
    for (int pass = 0; pass < 2; ++pass) {
        lists.EmptyRuleTable();
        reports = 0;
        int16_t result = lists.LoadApplicationList("A.LST", "A");
        Check((result == 0) == (reports == 0));
        Check(reports <= 1);
        lists.RemoveEmptyGroups();
        Check(lists.GroupCount() <= kindler::kMaxGroups && lists.RuleCount() <= kindler::kMaxRules);
        for (const auto& rule : lists.Rules()) {
            Check(rule.group >= 0 && rule.group < lists.GroupCount());
            Check(rule.description.size() <= kindler::kDescriptionLimit);
            Check(rule.applicationName.size() <= kindler::kApplicationNameLimit);
            Check(rule.protocolName.size() <= kindler::kProtocolNameLimit);
            Check(rule.port >= -32768 && rule.port <= 32767);
        }
        // After the removal every group holds a rule.
        for (int g = 0; g < lists.GroupCount(); ++g) {
            bool used = false;
            for (const auto& rule : lists.Rules()) used = used || rule.group == g;
            Check(used);
        }
    }
    return 0;
}
