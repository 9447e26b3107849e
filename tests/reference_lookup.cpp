#include "reference_lookup.h"

#include <string.h>

namespace {

uint64_t g_holds = 0;

// One list as the stepwise enumeration sees it: its semaphore and its memory.
template <typename Entry>
struct StepList {
  void* root;
  HANDLE semaphore;
  uint32_t first_slot;

  char* base() const { return (char*)root - PFW_ROOT_OFFSET; }

  // Pages another process committed may not be committed in our view yet.
  void commit_used() const {
    int32_t count = ((PFW_LIST_ROOT*)root)->count;
    if (count > 0) VirtualAlloc(base() + first_slot, (SIZE_T)count * sizeof(Entry), MEM_COMMIT, PAGE_READWRITE);
  }

  // One step: under its own hold, walk from a link to the first entry that passes
  // the test and copy it, link included, into the caller's buffer.
  template <typename Test>
  bool step(uint32_t from, Test test, Entry* copy, bool from_head = false) const {
    WaitForSingleObject(semaphore, INFINITE);
    g_holds++;
    commit_used();
    if (from_head) from = ((PFW_LIST_ROOT*)root)->head;  // read under the hold, like every other link
    bool found = false;
    int guard = ((PFW_LIST_ROOT*)root)->count;
    for (uint32_t link = from; link != 0 && guard-- > 0;) {
      const Entry* e = (const Entry*)(base() + link);
      if (test(*e)) {
        memcpy(copy, e, sizeof(Entry));
        found = true;
        break;
      }
      link = e->next;
    }
    ReleaseSemaphore(semaphore, 1, nullptr);
    return found;
  }

  template <typename Test>
  bool first(Test test, Entry* copy) const {
    return step(0, test, copy, true);
  }
};

HANDLE open_semaphore(const char* name) { return OpenSemaphoreA(SEMAPHORE_ALL_ACCESS, FALSE, name); }

struct Semaphores {
  HANDLE protocol = open_semaphore(PFW_PROTOCOL_SEMAPHORE_NAME);
  HANDLE address = open_semaphore(PFW_ADDRESS_SEMAPHORE_NAME);
  HANDLE app = open_semaphore(PFW_APP_SEMAPHORE_NAME);
  ~Semaphores() {
    CloseHandle(protocol);
    CloseHandle(address);
    CloseHandle(app);
  }
};

}  // namespace

uint64_t reference_holds() { return g_holds; }

PFW_RULE* reference_get_rule(PFW_RULE_ROOT* rules, PFW_ADR_ROOT* addresses, PFW_PROTO_ROOT* protocols,
                             PFW_APP_ROOT* apps, unsigned port, int transport, unsigned long address,
                             const char* app_name, int direction, int* out_key, PFW_RULE* out_copy) {
  static Semaphores sems;  // named objects: any handle to them is the same lock
  StepList<PFW_PROTO> plist{protocols, sems.protocol, PFW_FIRST_SLOT};
  StepList<PFW_ADR> alist{addresses, sems.address, PFW_FIRST_SLOT};
  StepList<PFW_APP> xlist{apps, sems.app, PFW_FIRST_SLOT};

  auto protocol_matches = [&](const PFW_PROTO& e) {
    return (e.transport == transport && e.port == port) || e.any != 0;
  };
  auto address_matches = [&](const PFW_ADR& e) {
    return e.any == 1 || (PFW_CompareAddresses(address, e.low) >= 0 && PFW_CompareAddresses(address, e.high) <= 0);
  };
  auto app_matches = [&](const PFW_APP& e) { return strcmp(e.name, app_name) == 0 || e.any != 0; };

  int best_score = -1;
  int best_key = -1;
  PFW_RULE best_copy;
  PFW_PROTO p;
  for (bool hp = plist.first(protocol_matches, &p); hp; hp = plist.step(p.next, protocol_matches, &p)) {
    PFW_ADR a;
    for (bool ha = alist.first(address_matches, &a); ha; ha = alist.step(a.next, address_matches, &a)) {
      PFW_APP x;
      for (bool hx = xlist.first(app_matches, &x); hx; hx = xlist.step(x.next, app_matches, &x)) {
        int key;
        PFW_RULE copy;
        if (!PFW_GetRuleByNumbers(rules, (int)p.key, (int)a.key, (int)x.key, direction, &key, &copy)) continue;
        int score = PFW_RuleScore(p.any == 0, x.any == 0, a.any == 0);
        if (score > best_score) {
          best_score = score;
          best_key = key;
          best_copy = copy;
        }
      }
    }
  }
  if (best_score < 0 || !out_key || !out_copy) return nullptr;
  *out_key = best_key;
  memcpy(out_copy, &best_copy, PFW_RULE_COPY_BYTES);
  return PFW_GetRuleByIndex(rules, best_key, nullptr);
}
