// interceptor_explain.cpp - the lookup's candidates, enumerated through public calls.
#include "interceptor_explain.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <utility>

namespace interceptor {
namespace {

// Keys are scanned one by one up to the list's next key; explicit keys from a
// hand-made registry could make that range huge, so the scan stops somewhere.
constexpr uint32_t kMaxKeysScanned = 1u << 20;

// The list's entries that pass the test, newest first. A live pointer locates
// an entry's slot in this process's view, and a later slot is a newer entry.
template <typename Entry, typename Root, typename ByIndex, typename Test>
std::vector<Entry> matching(Root* root, ByIndex by_index, Test test, bool& truncated) {
  std::vector<std::pair<const Entry*, Entry>> found;
  if (!root) return {};
  uint32_t end = root->next_key;
  if (end > kMaxKeysScanned) {
    end = kMaxKeysScanned;
    truncated = true;
  }
  for (uint32_t key = 0; key < end; key++) {
    Entry copy;
    memset(&copy, 0, sizeof copy);
    const Entry* live = by_index(root, (int)key, &copy);
    if (live && test(copy)) found.emplace_back(live, copy);
  }
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
  std::vector<Entry> out;
  out.reserve(found.size());
  for (auto& f : found) out.push_back(f.second);
  return out;
}

const char* action_word(int action) {
  switch (action) {
    case PFW_ALLOW:
      return "allow";
    case PFW_DENY:
      return "deny";
    case PFW_ASK:
      return "ask";
    default:
      return "?";
  }
}

std::string protocol_text(const PFW_PROTO& p) {
  char text[80];
  if (p.any)
    snprintf(text, sizeof text, "%u any (%.19s)", p.key, p.name);
  else
    snprintf(text, sizeof text, "%u %.19s %s/%u", p.key, p.name, p.transport == PFW_UDP ? "UDP" : "TCP", p.port);
  return text;
}

std::string address_text(const PFW_ADR& a) {
  char text[96];
  if (a.any == 1)
    snprintf(text, sizeof text, "%u any (%.31s)", a.key, a.name);
  else if (a.low == a.high)
    snprintf(text, sizeof text, "%u %.31s %s", a.key, a.name, dotted(a.low).c_str());
  else
    snprintf(text, sizeof text, "%u %.31s %s-%s", a.key, a.name, dotted(a.low).c_str(), dotted(a.high).c_str());
  return text;
}

std::string app_text(const PFW_APP& x) {
  char text[64];
  if (x.any)
    snprintf(text, sizeof text, "%u any (%.29s)", x.key, x.name);
  else
    snprintf(text, sizeof text, "%u %.29s", x.key, x.name);
  return text;
}

std::string rule_text(const Candidate& c) {
  if (!c.has_rule) return "no rule";
  char text[64];
  snprintf(text, sizeof text, "rule %d %s%s", c.rule_key, action_word(c.rule.action), c.rule.log ? " log" : "");
  return text;
}

std::string pad(std::string s, size_t width) {
  if (s.size() < width) s.append(width - s.size(), ' ');
  return s;
}

}  // namespace

Explanation explain(const Roots& roots, const Attempt& attempt) {
  Explanation e;
  std::vector<PFW_PROTO> protocols = matching<PFW_PROTO>(
      roots.protocols, PFW_GetProtocolByIndex,
      [&](const PFW_PROTO& p) { return (p.transport == attempt.transport && p.port == attempt.port) || p.any != 0; },
      e.truncated);
  std::vector<PFW_ADR> addresses = matching<PFW_ADR>(
      roots.addresses, PFW_GetAddressByIndex,
      [&](const PFW_ADR& a) {
        return a.any == 1 || (PFW_CompareAddresses(attempt.address, a.low) >= 0 &&
                              PFW_CompareAddresses(attempt.address, a.high) <= 0);
      },
      e.truncated);
  std::vector<PFW_APP> apps = matching<PFW_APP>(
      roots.apps, PFW_GetAppByIndex,
      [&](const PFW_APP& x) { return x.any != 0 || strcmp(x.name, attempt.program.c_str()) == 0; }, e.truncated);
  e.protocols = (int)protocols.size();
  e.addresses = (int)addresses.size();
  e.apps = (int)apps.size();

  int best = -1;
  for (const PFW_PROTO& p : protocols)
    for (const PFW_ADR& a : addresses)
      for (const PFW_APP& x : apps) {
        Candidate c;
        c.protocol = p;
        c.address = a;
        c.app = x;
        memset(&c.rule, 0, sizeof c.rule);
        int key = -1;
        if (roots.rules &&
            PFW_GetRuleByNumbers(roots.rules, (int)p.key, (int)a.key, (int)x.key, attempt.direction, &key, &c.rule)) {
          c.has_rule = true;
          c.rule_key = key;
          c.score = PFW_RuleScore(p.any == 0, x.any == 0, a.any == 0);
          // Only a higher score displaces: among equals the first met stays.
          if (c.score > best) {
            best = c.score;
            e.winner = (int)e.candidates.size();
          }
        }
        e.candidates.push_back(c);
      }
  return e;
}

std::string format_explanation(const Explanation& e, const Attempt& attempt, int lookup_key) {
  std::string out = "explain " + describe(attempt) + "\n";
  char counts[160];
  snprintf(counts, sizeof counts, "  matching entries: %d protocol, %d address, %d application; %zu combination%s\n",
           e.protocols, e.addresses, e.apps, e.candidates.size(), e.candidates.size() == 1 ? "" : "s");
  out += counts;
  if (e.truncated) out += "  (a list's keys were too many to scan them all; entries may be missing)\n";
  if (!e.candidates.empty())
    out += "  " + pad("protocol", 36) + pad("address", 52) + pad("application", 36) + pad("rule", 20) + "score\n";
  for (size_t i = 0; i < e.candidates.size(); i++) {
    const Candidate& c = e.candidates[i];
    std::string score = c.has_rule ? std::to_string(c.score) : "-";
    out += "  " + pad(protocol_text(c.protocol), 36) + pad(address_text(c.address), 52) + pad(app_text(c.app), 36) +
           pad(rule_text(c), 20) + score + ((int)i == e.winner ? "  <= winner" : "") + "\n";
  }
  std::string winner = e.winner >= 0 ? "rule " + std::to_string(e.winner_key()) : "none";
  std::string lookup = lookup_key >= 0 ? "rule " + std::to_string(lookup_key) : "none";
  out += "  winner: " + winner;
  if (e.winner >= 0) out += " (score " + std::to_string(e.candidates[e.winner].score) + ")";
  out += "; PFW_GetRule: " + lookup +
         (e.winner_key() == lookup_key ? ", the same\n" : ", DIFFERENT (the lists changed meanwhile?)\n");
  return out;
}

}  // namespace interceptor
