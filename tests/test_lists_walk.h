// test_lists_walk.h - looks at a shared list from the outside: walks its links
// under its semaphore and checks that they are sound, and describes the whole
// rule set as one text so two processes can compare what they see; and the
// adds every process makes in the race test.
// Used by the list tests and by list_helper, so it needs no test framework.
#ifndef TARNWALL_TEST_LISTS_WALK_H
#define TARNWALL_TEST_LISTS_WALK_H

#include <stdio.h>
#include <string.h>

#include <set>
#include <string>
#include <vector>

#include "tessary.h"

template <typename Entry>
struct ListTraits;
template <>
struct ListTraits<PFW_PROTO> {
  static constexpr uint32_t first = PFW_FIRST_SLOT, slots = PFW_PROTOCOL_SLOTS;
  static constexpr int kind = PFW_KIND_PROTOCOL;
  static constexpr const char* semaphore = PFW_PROTOCOL_SEMAPHORE_NAME;
};
template <>
struct ListTraits<PFW_ADR> {
  static constexpr uint32_t first = PFW_FIRST_SLOT, slots = PFW_ADDRESS_SLOTS;
  static constexpr int kind = PFW_KIND_ADDRESS;
  static constexpr const char* semaphore = PFW_ADDRESS_SEMAPHORE_NAME;
};
template <>
struct ListTraits<PFW_APP> {
  static constexpr uint32_t first = PFW_FIRST_SLOT, slots = PFW_APP_SLOTS;
  static constexpr int kind = PFW_KIND_APP;
  static constexpr const char* semaphore = PFW_APP_SEMAPHORE_NAME;
};
template <>
struct ListTraits<PFW_RULE> {
  static constexpr uint32_t first = PFW_RULE_FIRST_SLOT, slots = PFW_RULE_SLOTS;
  static constexpr int kind = PFW_KIND_RULE;
  static constexpr const char* semaphore = PFW_RULE_SEMAPHORE_NAME;
};

// One list as seen under one hold of its semaphore.
template <typename Entry>
struct ListWalk {
  std::string problem;  // empty when the list is sound
  uint32_t head = 0, next_key = 0;
  int32_t count = 0;
  std::vector<Entry> linked;  // newest first
  std::vector<Entry> slots;   // every used slot in slot order, unlinked ones included
};

// Walks the list the way another process would: its own hold, its own commit of
// the used slots, then every link checked before it is followed.
template <typename Entry, typename Root>
ListWalk<Entry> walk_list(Root* root) {
  using T = ListTraits<Entry>;
  ListWalk<Entry> w;
  HANDLE s = OpenSemaphoreA(SEMAPHORE_ALL_ACCESS, FALSE, T::semaphore);
  if (!s || WaitForSingleObject(s, 10000) != WAIT_OBJECT_0) {
    w.problem = "the semaphore cannot be taken";
    if (s) CloseHandle(s);
    return w;
  }
  char* base = (char*)root - PFW_ROOT_OFFSET;
  w.head = root->head;
  w.next_key = root->next_key;
  w.count = root->count;
  char why[160] = "";
  if (w.count < 0 || (uint32_t)w.count > T::slots) {
    snprintf(why, sizeof why, "count %d is outside 0..%u", (int)w.count, T::slots);
  } else {
    if (w.count > 0) VirtualAlloc(base + T::first, (SIZE_T)w.count * sizeof(Entry), MEM_COMMIT, PAGE_READWRITE);
    for (int i = 0; i < w.count; i++) w.slots.push_back(*(Entry*)(base + T::first + i * sizeof(Entry)));
    std::vector<bool> seen(w.count);
    std::set<uint32_t> keys;
    for (uint32_t link = w.head; link != 0 && !why[0];) {
      uint32_t index = (link - T::first) / sizeof(Entry);
      if (link < T::first || (link - T::first) % sizeof(Entry) != 0 || index >= (uint32_t)w.count) {
        snprintf(why, sizeof why, "link %u names no used slot", link);
        break;
      }
      if (seen[index]) {
        snprintf(why, sizeof why, "slot %u is linked twice", index);
        break;
      }
      seen[index] = true;
      const Entry& e = w.slots[index];
      if (e.kind != T::kind)
        snprintf(why, sizeof why, "slot %u has kind %d", index, (int)e.kind);
      else if (e.key >= w.next_key)
        snprintf(why, sizeof why, "key %u is not below next_key %u", e.key, w.next_key);
      else if (!keys.insert(e.key).second)
        snprintf(why, sizeof why, "key %u is linked twice", e.key);
      else if (!memchr(e.key_text, 0, sizeof e.key_text))
        snprintf(why, sizeof why, "key text of slot %u has no end", index);
      w.linked.push_back(e);
      link = e.next;
    }
  }
  w.problem = why;
  ReleaseSemaphore(s, 1, nullptr);
  CloseHandle(s);
  return w;
}

// The rule set as the programs enumerate it: every key from 0 to next_key - 1
// by the by-index lookups, one line per entry found.
inline std::string describe_lists(PFW_PROTO_ROOT* protocols, PFW_ADR_ROOT* addresses, PFW_APP_ROOT* apps,
                                  PFW_RULE_ROOT* rules) {
  std::string out;
  char line[300];
  snprintf(line, sizeof line, "protocols next_key=%u any_key=%u\n", protocols->next_key, protocols->any_key);
  out += line;
  for (uint32_t k = 0; k < protocols->next_key; k++) {
    PFW_PROTO p;
    if (!PFW_GetProtocolByIndex(protocols, (int)k, &p)) continue;
    snprintf(line, sizeof line, "P %u any=%d [%s] [%s] %d/%u\n", p.key, (int)p.any, p.key_text, p.name,
             (int)p.transport, p.port);
    out += line;
  }
  snprintf(line, sizeof line, "addresses next_key=%u any_key=%u\n", addresses->next_key, addresses->any_key);
  out += line;
  for (uint32_t k = 0; k < addresses->next_key; k++) {
    PFW_ADR a;
    if (!PFW_GetAddressByIndex(addresses, (int)k, &a)) continue;
    snprintf(line, sizeof line, "A %u any=%d [%s] [%s] %08x-%08x type=%d\n", a.key, (int)a.any, a.key_text, a.name,
             a.low, a.high, (int)a.type);
    out += line;
  }
  snprintf(line, sizeof line, "apps next_key=%u any_key=%u\n", apps->next_key, apps->any_key);
  out += line;
  for (uint32_t k = 0; k < apps->next_key; k++) {
    PFW_APP x;
    if (!PFW_GetAppByIndex(apps, (int)k, &x)) continue;
    snprintf(line, sizeof line, "X %u any=%d [%s] [%s] [%s]\n", x.key, (int)x.any, x.key_text, x.name, x.description);
    out += line;
  }
  snprintf(line, sizeof line, "rules next_key=%u\n", rules->next_key);
  out += line;
  for (uint32_t k = 0; k < rules->next_key; k++) {
    PFW_RULE r;
    if (!PFW_GetRuleByIndex(rules, (int)k, &r)) continue;
    snprintf(line, sizeof line, "R %u [%s] %u,%u,%u dir=%d action=%d log=%d\n", r.key, r.key_text, r.protocol_key,
             r.address_key, r.app_key, (int)r.direction, (int)r.action, (int)r.log);
    out += line;
  }
  return out;
}

// Network byte order of a.b.c.d, without WinSock.
inline unsigned long ip_of(unsigned a, unsigned b, unsigned c, unsigned d) {
  return (unsigned long)(a | (b << 8) | (c << 16) | (d << 24));
}

// Where the processes of the race test meet before every round, so that they
// collide on each shared entry instead of one running ahead of the others.
struct RaceBarrier {
  volatile LONG arrived;
};
#define TARNWALL_RACE_BARRIER_NAME "TarnwallRaceBarrier"

// Waits until all competitors have arrived at this round; false if one never comes.
inline bool meet(RaceBarrier* barrier, int competitors, int round) {
  InterlockedIncrement(&barrier->arrived);
  ULONGLONG give_up = GetTickCount64() + 20000;
  while (barrier->arrived < competitors * (round + 1)) {
    SwitchToThread();
    if (GetTickCount64() > give_up) return false;
  }
  return true;
}

// What each process of the race test does once released: every process adds the
// same shared entries in the same order, so they collide on every one, and adds
// entries of its own, deleting every other one again so unlinks race with inserts.
// Returns how many shared adds this process won, or -1 when an own add or delete
// failed or a competitor went missing.
inline int race_adds(int id, int rounds, PFW_PROTO_ROOT* protocols, PFW_ADR_ROOT* addresses, PFW_APP_ROOT* apps,
                     PFW_RULE_ROOT* rules, RaceBarrier* barrier, int competitors) {
  int won = 0;
  for (int i = 0; i < rounds; i++) {
    if (!meet(barrier, competitors, i)) return -1;
    char name[32];
    snprintf(name, sizeof name, "SHARED%03d.EXE", i);
    won += PFW_AddProtocol(protocols, 0, "Shared", PFW_TCP, 2000 + i);
    won += PFW_AddAddress(addresses, 0, ip_of(10, 1, i / 256, i % 256), ip_of(10, 1, i / 256, i % 256), "Shared",
                          PFW_SINGLE_ADDRESS);
    won += PFW_AddApp(apps, 0, name, "Shared");
    won += PFW_AddRule(rules, i, i, i, PFW_OUTBOUND, PFW_ALLOW, 0);
    unsigned own_port = 10000 + id * 1000 + i;
    if (PFW_AddProtocol(protocols, 0, "Own", PFW_UDP, own_port) != 1) return -1;
    if (PFW_AddRule(rules, 100000 + id, i, 0, PFW_INBOUND, PFW_DENY, 0) != 1) return -1;
    if (i % 2 == 0) {
      int key = -1;
      if (!PFW_GetExactProtocolByService(protocols, PFW_UDP, own_port, &key, nullptr)) return -1;
      if (PFW_DeleteProtocol(protocols, key) != 1) return -1;
      if (!PFW_GetRuleByNumbers(rules, 100000 + id, i, 0, PFW_INBOUND, &key, nullptr)) return -1;
      if (PFW_DeleteRule(rules, key) != 1) return -1;
    }
  }
  return won;
}

#endif
