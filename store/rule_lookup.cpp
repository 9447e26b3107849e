// rule_lookup.cpp - PFW_GetRule: which rule governs one connection.
//
// The answer is the one the stepwise enumeration gives (every matching protocol,
// then address, then application entry, newest first; the highest score wins,
// ties going to the combination met first), but it is found with one hold of
// each list instead of one hold per step: under Wine a hold costs about 50 us,
// while scanning a whole list costs well under one.
#include <algorithm>

#include "shared_list.h"

using namespace tessary;

namespace {

// A matching entry: its key, whether it is specific, and its place in list order.
struct Match {
  uint32_t key;
  uint16_t position;
  uint8_t specific;
};

// The matches of one list, sized by the list's capacity so no call allocates.
// When the caller wants the deciding rule's entries named, each match's entry is
// copied while the list is held, so naming them takes no hold of its own.
template <typename Entry, size_t Capacity>
struct Matches {
  Match items[Capacity];
  Match by_key[Capacity];
  Entry copies[Capacity];
  int size = 0;

  void add(const Entry& e, bool copy) {
    if (size >= (int)Capacity) return;
    items[size] = Match{e.key, (uint16_t)size, (uint8_t)(e.any == 0 ? 1 : 0)};
    if (copy) memcpy(&copies[size], &e, offsetof(Entry, next));
    size++;
  }

  // Sort a copy by key (then place) so a rule's key is found by binary search.
  void index() {
    std::copy(items, items + size, by_key);
    std::sort(by_key, by_key + size,
              [](const Match& a, const Match& b) { return a.key != b.key ? a.key < b.key : a.position < b.position; });
  }

  // The first place in list order where the key matched, or null.
  const Match* find(uint32_t key) const {
    if (size <= 8) {
      for (int i = 0; i < size; i++)
        if (items[i].key == key) return &items[i];
      return nullptr;
    }
    const Match* end = by_key + size;
    const Match* m = std::lower_bound(by_key, end, key, [](const Match& a, uint32_t k) { return a.key < k; });
    return m != end && m->key == key ? m : nullptr;
  }
};

template <typename Entry, typename Root, size_t Capacity, typename Test>
void collect(ListId list, Root* root, Matches<Entry, Capacity>& out, bool copy, Test matches) {
  out.size = 0;
  if (!root || root->head == 0) return;
  {
    ListLock lock(list, root);
    if (!lock.held()) return;
    int steps = root->count;
    for (Entry* e = (Entry*)entry_at(list, root, root->head); e && steps-- > 0;
         e = (Entry*)entry_at(list, root, e->next))
      if (matches(*e)) out.add(*e, copy);
  }
  if (out.size > 8) out.index();
}

struct Candidate {
  int score = -1;
  uint32_t order[3] = {0, 0, 0};
  PFW_RULE* rule = nullptr;

  bool beaten_by(int s, const uint32_t o[3]) const {
    if (s != score) return s > score;
    return std::lexicographical_compare(o, o + 3, order, order + 3);
  }
};

}  // namespace

namespace {

PFW_RULE* get_rule(PFW_RULE_ROOT* rules, PFW_ADR_ROOT* addresses, PFW_PROTO_ROOT* protocols, PFW_APP_ROOT* apps,
                   unsigned port, int transport, unsigned long address, const char* app_name, int direction,
                   int* out_key, PFW_RULE* out_copy, PFW_RULE_ENTRIES* out_entries) {
  // A call that cannot take the answer gets none.
  if (!out_key || !out_copy || !rules || !addresses || !protocols || !apps) return nullptr;

  static thread_local Matches<PFW_PROTO, PFW_PROTOCOL_SLOTS> p;
  static thread_local Matches<PFW_ADR, PFW_ADDRESS_SLOTS> a;
  static thread_local Matches<PFW_APP, PFW_APP_SLOTS> x;
  bool copy = out_entries != nullptr;

  collect<PFW_PROTO>(kProtocols, protocols, p, copy,
                     [&](const PFW_PROTO& e) { return (e.transport == transport && e.port == port) || e.any != 0; });
  if (p.size == 0) return nullptr;
  collect<PFW_ADR>(kAddresses, addresses, a, copy, [&](const PFW_ADR& e) {
    return e.any == 1 || (PFW_CompareAddresses(address, e.low) >= 0 && PFW_CompareAddresses(address, e.high) <= 0);
  });
  if (a.size == 0) return nullptr;
  collect<PFW_APP>(kApps, apps, x, copy,
                   [&](const PFW_APP& e) { return e.any != 0 || (app_name && strcmp(e.name, app_name) == 0); });
  if (x.size == 0 || rules->head == 0) return nullptr;

  ListLock lock(kRules, rules);
  if (!lock.held()) return nullptr;
  Candidate best;
  const Match* winner[3] = {nullptr, nullptr, nullptr};
  int steps = rules->count;
  // Newest first, as the by-numbers walk would meet them: an older rule with the
  // same numbers and place never displaces a newer one.
  for (PFW_RULE* r = (PFW_RULE*)entry_at(kRules, rules, rules->head); r && steps-- > 0;
       r = (PFW_RULE*)entry_at(kRules, rules, r->next)) {
    if (r->direction != direction) continue;
    const Match* mp = p.find(r->protocol_key);
    if (!mp) continue;
    const Match* ma = a.find(r->address_key);
    if (!ma) continue;
    const Match* mx = x.find(r->app_key);
    if (!mx) continue;
    int score = PFW_RuleScore(mp->specific, mx->specific, ma->specific);
    uint32_t order[3] = {mp->position, ma->position, mx->position};
    if (best.beaten_by(score, order)) {
      best.score = score;
      std::copy(order, order + 3, best.order);
      best.rule = r;
      winner[0] = mp, winner[1] = ma, winner[2] = mx;
    }
  }
  if (!best.rule) return nullptr;
  // Still under the hold: nothing can be unlinked between finding and returning.
  *out_key = (int)best.rule->key;
  memcpy(out_copy, best.rule, PFW_RULE_COPY_BYTES);
  if (out_entries) {
    // The entries as they were matched, each copied under its own list's hold.
    memset(out_entries, 0, sizeof *out_entries);
    memcpy(&out_entries->protocol, &p.copies[winner[0]->position], PFW_PROTO_COPY_BYTES);
    memcpy(&out_entries->address, &a.copies[winner[1]->position], PFW_ADR_COPY_BYTES);
    memcpy(&out_entries->app, &x.copies[winner[2]->position], PFW_APP_COPY_BYTES);
  }
  return best.rule;
}

}  // namespace

extern "C" PFW_RULE* PFW_GetRule(PFW_RULE_ROOT* rules, PFW_ADR_ROOT* addresses, PFW_PROTO_ROOT* protocols,
                                 PFW_APP_ROOT* apps, unsigned port, int transport, unsigned long address,
                                 const char* app_name, int direction, int* out_key, PFW_RULE* out_copy) {
  return get_rule(rules, addresses, protocols, apps, port, transport, address, app_name, direction, out_key, out_copy,
                  nullptr);
}

extern "C" PFW_RULE* PFW_GetRuleWithEntries(PFW_RULE_ROOT* rules, PFW_ADR_ROOT* addresses, PFW_PROTO_ROOT* protocols,
                                            PFW_APP_ROOT* apps, unsigned port, int transport, unsigned long address,
                                            const char* app_name, int direction, int* out_key, PFW_RULE* out_copy,
                                            PFW_RULE_ENTRIES* out_entries) {
  if (!out_entries) return nullptr;
  return get_rule(rules, addresses, protocols, apps, port, transport, address, app_name, direction, out_key, out_copy,
                  out_entries);
}
