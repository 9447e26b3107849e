// bench_recovery - what one owner per lock costs and what it gives back:
//   - one hold: a semaphore wait + release alone, and with the companion mutex
//     taken first and let go last, as every hold of a list now is;
//   - a decision with its rule named: holds of the lookup that copies the
//     rule's entries, against the lookup followed by three by-key lookups;
//   - from a holder's death to the next process's completed lookup: a helper
//     process holds the rule list and is killed while this process's lookup
//     waits for it;
//   - the stress run: 4 list_worker processes x 2,000 mixed operations, in
//     operations per second.
// It makes its own registry keys (the installed starting set) and removes them.
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bench_support.h"
#include "list_worker.h"
#include "owned_lock.h"

namespace {

const StartingSet kStartingSet{"Standard", "Any Application", "Every program", PFW_ALLOW, 0};

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

HANDLE start(const std::string& command_line) {
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi = {};
  std::string cmd = command_line;
  if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return nullptr;
  CloseHandle(pi.hThread);
  return pi.hProcess;
}

void one_hold() {
  HANDLE sem = OpenSemaphoreA(SYNCHRONIZE | SEMAPHORE_MODIFY_STATE, FALSE, PFW_RULE_SEMAPHORE_NAME);
  HANDLE owner = tessary::open_owner_mutex(PFW_RULE_SEMAPHORE_NAME);
  const int kPairs = 4000;
  std::vector<double> alone, with_mutex;
  for (int batch = 0; batch < 5; batch++) {
    double t0 = now_us();
    for (int i = 0; i < kPairs; i++) {
      WaitForSingleObject(sem, INFINITE);
      ReleaseSemaphore(sem, 1, nullptr);
    }
    double t1 = now_us();
    for (int i = 0; i < kPairs; i++) {
      tessary::acquire_owned(owner, sem);
      tessary::release_owned(owner, sem);
    }
    double t2 = now_us();
    alone.push_back((t1 - t0) / kPairs);
    with_mutex.push_back((t2 - t1) / kPairs);
  }
  printf("one hold, semaphore alone (before):          %7.1f us\n", median(alone));
  printf("one hold, companion mutex + semaphore (now): %7.1f us (%.2fx)\n", median(with_mutex),
         median(with_mutex) / median(alone));
  CloseHandle(owner);
  CloseHandle(sem);
}

void named_decision(BenchLists& l) {
  PFW_AddProtocol(l.protocols, 0, "HTTP", PFW_TCP, 80);
  PFW_AddAddress(l.addresses, 0, ip(10, 0, 0, 1), ip(10, 0, 0, 1), "Host", PFW_SINGLE_ADDRESS);
  PFW_AddApp(l.apps, 0, "IEXPLORE.EXE", "Browser");
  PFW_AddRule(l.rules, 1, 1, 1, PFW_OUTBOUND, PFW_ALLOW, 1);
  const int kCalls = 500;
  int key = -1;
  PFW_RULE rule;
  PFW_RULE_ENTRIES entries;
  unsigned long long h0 = PFW_GetLockHoldCount();
  double t0 = now_us();
  for (int i = 0; i < kCalls; i++) {
    PFW_GetRule(l.rules, l.addresses, l.protocols, l.apps, 80, PFW_TCP, ip(10, 0, 0, 1), "IEXPLORE.EXE", PFW_OUTBOUND,
                &key, &rule);
    PFW_PROTO p;
    PFW_ADR a;
    PFW_APP x;
    PFW_GetProtocolByIndex(l.protocols, (int)rule.protocol_key, &p);
    PFW_GetAddressByIndex(l.addresses, (int)rule.address_key, &a);
    PFW_GetAppByIndex(l.apps, (int)rule.app_key, &x);
  }
  unsigned long long h1 = PFW_GetLockHoldCount();
  double t1 = now_us();
  for (int i = 0; i < kCalls; i++)
    PFW_GetRuleWithEntries(l.rules, l.addresses, l.protocols, l.apps, 80, PFW_TCP, ip(10, 0, 0, 1), "IEXPLORE.EXE",
                           PFW_OUTBOUND, &key, &rule, &entries);
  unsigned long long h2 = PFW_GetLockHoldCount();
  double t2 = now_us();
  printf("decision with its rule named, lookup + 3 by-key lookups (before): %.1f holds, %7.1f us\n",
         (double)(h1 - h0) / kCalls, (t1 - t0) / kCalls);
  printf("decision with its rule named, lookup copying the entries (now):   %.1f holds, %7.1f us\n",
         (double)(h2 - h1) / kCalls, (t2 - t1) / kCalls);
}

struct LookupThread {
  BenchLists* l;
  double done_at = 0;
  bool found = false;
  static DWORD WINAPI main(void* self) {
    LookupThread* t = (LookupThread*)self;
    int key = -1;
    PFW_RULE rule;
    t->found = PFW_GetRule(t->l->rules, t->l->addresses, t->l->protocols, t->l->apps, 80, PFW_TCP, ip(10, 0, 0, 1),
                           "IEXPLORE.EXE", PFW_OUTBOUND, &key, &rule) != nullptr;
    t->done_at = now_us();
    return 0;
  }
};

// The helper of the death figure: this program started as "hold", which takes
// the rule list's lock the way the library does, says so and waits to be killed.
int hold() {
  HANDLE owner = tessary::open_owner_mutex(PFW_RULE_SEMAPHORE_NAME);
  HANDLE sem = OpenSemaphoreA(SYNCHRONIZE | SEMAPHORE_MODIFY_STATE, FALSE, PFW_RULE_SEMAPHORE_NAME);
  HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, "TarnwallBenchHeld");
  if (!owner || !sem || !ready || tessary::acquire_owned(owner, sem) == tessary::Acquired::kFailed) return 1;
  SetEvent(ready);
  Sleep(INFINITE);
  return 0;
}

void death_to_lookup(BenchLists& l, const char* self) {
  HANDLE held = CreateEventA(nullptr, FALSE, FALSE, "TarnwallBenchHeld");
  std::vector<double> waits;
  for (int round = 0; round < 10; round++) {
    HANDLE helper = start(std::string(self) + " hold");
    if (!helper || WaitForSingleObject(held, 10000) != WAIT_OBJECT_0) {
      printf("death to lookup: the holding helper did not start\n");
      return;
    }
    LookupThread t{&l};
    unsigned long long before = PFW_GetLockHoldCount();
    HANDLE thread = CreateThread(nullptr, 0, LookupThread::main, &t, 0, nullptr);
    // The lookup has its three other lists and now waits for the rule list.
    while (PFW_GetLockHoldCount() < before + 3) Sleep(0);
    double killed_at = now_us();
    TerminateProcess(helper, 1);
    if (WaitForSingleObject(thread, 10000) != WAIT_OBJECT_0 || !t.found) {
      printf("death to lookup: the lookup did not complete after the holder's death\n");
      return;
    }
    waits.push_back(t.done_at - killed_at);
    CloseHandle(thread);
    WaitForSingleObject(helper, INFINITE);
    CloseHandle(helper);
  }
  printf("from a holder's death to the next completed lookup: median %.0f us, worst %.0f us (10 kills)\n",
         median(waits), *std::max_element(waits.begin(), waits.end()));
  printf("  holds taken over from a dead holder: %llu\n", PFW_GetDeadHolderCount());
  CloseHandle(held);
}

void stress() {
  HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(WorkerTally),
                                      TARNWALL_WORKER_TALLY_NAME);
  WorkerTally* tally = (WorkerTally*)MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(WorkerTally));
  HANDLE go = CreateEventA(nullptr, TRUE, FALSE, "TarnwallWorkGo");
  memset(tally, 0, sizeof *tally);
  BenchLists l;
  PFW_LoadProtocolSetFromRegistry(l.protocols);
  PFW_LoadAddressSetFromRegistry(l.addresses);
  PFW_LoadApplicationSetFromRegistry(l.apps);
  PFW_LoadRuleSetFromRegistry(l.rules);
  const int kWorkers = 4, kOps = 2000;
  HANDLE workers[kWorkers];
  for (int i = 0; i < kWorkers; i++)
    workers[i] =
        start("list_worker.exe ops " + std::to_string(i) + " " + std::to_string(kOps) + " " + std::to_string(77 + i));
  double t0 = now_us();
  SetEvent(go);
  bool ok = WaitForMultipleObjects(kWorkers, workers, TRUE, 300000) == WAIT_OBJECT_0;
  double seconds = (now_us() - t0) / 1e6;
  for (HANDLE w : workers) {
    DWORD code = 1;
    GetExitCodeProcess(w, &code);
    ok = ok && code == 0;
    CloseHandle(w);
  }
  printf(
      "stress: %d processes x %d mixed operations (each change written to the registry too): %.1f s, "
      "%.0f operations/s%s\n",
      kWorkers, kOps, seconds, kWorkers * kOps / seconds, ok ? "" : " (A WORKER FAILED)");
  UnmapViewOfFile(tally);
  CloseHandle(mapping);
  CloseHandle(go);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && strcmp(argv[1], "hold") == 0) return hold();
  remove_product_keys();
  if (!install_starting_set(kStartingSet)) {
    printf("could not write the starting keys\n");
    return 1;
  }
  {
    BenchLists l;
    if (!l.ok()) return 1;
    l.add_wildcards();
    one_hold();
    named_decision(l);
    death_to_lookup(l, argv[0]);
  }
  stress();
  remove_product_keys();
  return 0;
}
