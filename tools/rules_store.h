// rules_store.h - the rule store's side of rules.exe: the active rule set read
// from the shared lists, and a rule-set file's set put in its place, in the
// lists (so running programs see it at once) and in the registry (so the next
// start loads it).
//
// Replacing works within the lists' rules: slots are never reused and keys never
// given twice, so an import changes what differs and leaves the rest alone.
//   - An entry of the file that the store holds unchanged (same key text, name
//     and description) keeps its key, as long as the file's order of entries
//     agrees with the order of their keys; from the first entry that is new,
//     changed or out of order, that entry and every later one of its list is
//     added afresh (after the old one is deleted), so the lists end in the
//     file's order and overlapping address ranges keep their precedence.
//   - The wildcard entries and the two default rules (rule keys 0 and 1) are
//     never deleted: the wildcards must carry the names the store has, and the
//     default rules take the file's action and log flag in place.
//   - Any other rule whose protocol, address and application are all kept is
//     kept and takes the file's action and log flag; the rest are deleted and
//     added anew.
// Rules are deleted before the entries they name, and entries added before the
// rules that name them, so at no moment does a rule name a missing entry.
// The registry is then made to hold exactly the lists' new set: values that
// differ are written, values the set does not hold are deleted, and values that
// are already right are not touched, so a second import of a file writes nothing.
#ifndef TARNWALL_RULES_STORE_H
#define TARNWALL_RULES_STORE_H

#include <windows.h>

#include <string>
#include <vector>

#include "rules_format.h"
#include "list_set.h"
#include "tessary.h"

namespace rulestore {

// The machine's ANSI code page, through the system's conversions.
class SystemCodepage : public rulesfile::Codepage {
 public:
  bool to_ansi(const std::string& utf8, std::string& ansi) const override;
  bool to_utf8(const std::string& ansi, std::string& utf8) const override;
  std::string name() const override;
};

// The four shared lists as one program holds them; open() (or construction)
// creates or joins them, load_from_registry() fills those another process has not.
using StoreLists = tessary::ListSet;

// The set the lists hold now, entries in the order of their keys (the order they
// were made in), each with its store key. A rule that names an entry the lists
// no longer hold can decide no connection; it is left out and named in `notes`.
void read_live_set(StoreLists& lists, rulesfile::RuleSet& out, std::vector<std::string>& notes);

// The "LogFile" value of the active rule set; false when it cannot be read.
bool read_log_file(std::string& out);

// True when Tarnwall's keys are installed: the base key, "Rules" and the active set.
bool store_installed();

// Outcome of an import, for its report.
struct ImportReport {
  bool changed = false;
  int added[4] = {}, removed[4] = {};  // protocols, addresses, applications, rules
  int rules_changed = 0;               // kept rules whose action or log flag changed
  int values_written = 0, values_deleted = 0;
  bool log_file_changed = false;
  bool lists_restarted = false;  // the lists were started afresh to find room
  std::vector<std::string> notes;
};

enum class ImportResult {
  kDone,     // the store holds the file's set (or held it already)
  kRefused,  // the store cannot take it; nothing was changed (message says why)
  kFailed    // a change failed part-way; the set is mixed (message says what to do)
};

// Replaces the active rule set by `target`, a set read from the file `source`
// (named in the mark an interrupted import leaves behind).
ImportResult import_rule_set(const rulesfile::RuleSet& target, const std::string& source, ImportReport& report,
                             std::string& message);

// With TARNWALL_RULES_TIMING set, how long each step took goes to standard error
// (for the benchmark).
void phase(const char* what);

// An import that did not finish leaves this mark ("Rules" key, value
// "RulesImportPending"); false when there is none.
bool pending_import(std::string& what);

}  // namespace rulestore

#endif  // TARNWALL_RULES_STORE_H
