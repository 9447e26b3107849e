// interceptor_explain.h - every candidate the rule lookup weighs for one
// attempt, worked out again through the store's public calls.
//
// The lookup tries each matching protocol entry, then each matching address
// entry, then each matching application entry, each list newest first, and
// keeps the first rule with the highest score. The explanation enumerates the
// same combinations: entries are found key by key with the by-index lookups and
// put newest first by their slot, since slots are taken in order and never
// reused, so a later slot holds a newer entry.
#ifndef TARNWALL_INTERCEPTOR_EXPLAIN_H
#define TARNWALL_INTERCEPTOR_EXPLAIN_H

#include <string>
#include <vector>

#include "interceptor_core.h"

namespace interceptor {

struct Roots {
  PFW_PROTO_ROOT* protocols = nullptr;
  PFW_ADR_ROOT* addresses = nullptr;
  PFW_APP_ROOT* apps = nullptr;
  PFW_RULE_ROOT* rules = nullptr;
};

struct Candidate {
  PFW_PROTO protocol;
  PFW_ADR address;
  PFW_APP app;
  bool has_rule = false;
  int rule_key = -1;
  PFW_RULE rule;
  int score = -1;  // -1 without a rule
};

struct Explanation {
  int protocols = 0, addresses = 0, apps = 0;  // matching entries of each list
  std::vector<Candidate> candidates;           // in the lookup's order
  int winner = -1;                             // index into candidates, -1 for none
  bool truncated = false;                      // a list's keys were too many to scan
  int winner_key() const { return winner >= 0 ? candidates[winner].rule_key : -1; }
};

Explanation explain(const Roots& roots, const Attempt& attempt);

// The explanation as text, one candidate per line, the winner marked; the
// last line compares it with lookup_key, the key PFW_GetRule gave (-1: none).
std::string format_explanation(const Explanation& e, const Attempt& attempt, int lookup_key);

}  // namespace interceptor

#endif
