// bench_lookup - what one rule lookup costs under the platform's locks.
//
// Prints the cost of one semaphore wait plus release (the floor every hold pays),
// then for each rule set the holds and time per lookup of the stepwise reference
// and of PFW_GetRule, their ratio, and each as a multiple of holds x pair cost.
// The lock-free scan line is the same matching done straight on the mapped
// entries, to show what is left once the holds are paid for.
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include <algorithm>
#include <vector>

#include "reference_lookup.h"
#include "bench_support.h"
#include "tessary.h"

namespace {

using Store = BenchLists;

struct Connection {
  unsigned port;
  int transport;
  unsigned long address;
  const char* app;
  int direction;
};

// The lookup's matching and scoring done on the mapped entries without any hold.
template <typename Entry>
Entry* at(void* root, uint32_t offset) {
  return offset ? (Entry*)((char*)root - PFW_ROOT_OFFSET + offset) : nullptr;
}

int lock_free_scan(const Store& s, const Connection& c) {
  static uint32_t pk[PFW_PROTOCOL_SLOTS], ak[PFW_ADDRESS_SLOTS], xk[PFW_APP_SLOTS];
  static int ps[PFW_PROTOCOL_SLOTS], as[PFW_ADDRESS_SLOTS], xs[PFW_APP_SLOTS];
  int np = 0, na = 0, nx = 0;
  for (PFW_PROTO* e = at<PFW_PROTO>(s.protocols, s.protocols->head); e; e = at<PFW_PROTO>(s.protocols, e->next))
    if (e->any || (e->transport == c.transport && e->port == c.port)) pk[np] = e->key, ps[np++] = !e->any;
  for (PFW_ADR* e = at<PFW_ADR>(s.addresses, s.addresses->head); e; e = at<PFW_ADR>(s.addresses, e->next))
    if (e->any || (PFW_CompareAddresses(c.address, e->low) >= 0 && PFW_CompareAddresses(c.address, e->high) <= 0))
      ak[na] = e->key, as[na++] = !e->any;
  for (PFW_APP* e = at<PFW_APP>(s.apps, s.apps->head); e; e = at<PFW_APP>(s.apps, e->next))
    if (e->any || strcmp(e->name, c.app) == 0) xk[nx] = e->key, xs[nx++] = !e->any;
  int best = -1, best_score = -1;
  for (PFW_RULE* r = at<PFW_RULE>(s.rules, s.rules->head); r; r = at<PFW_RULE>(s.rules, r->next)) {
    if (r->direction != c.direction) continue;
    int i = (int)(std::find(pk, pk + np, r->protocol_key) - pk);
    int j = (int)(std::find(ak, ak + na, r->address_key) - ak);
    int k = (int)(std::find(xk, xk + nx, r->app_key) - xk);
    if (i == np || j == na || k == nx) continue;
    int score = PFW_RuleScore(ps[i], xs[k], as[j]);
    if (score > best_score) best_score = score, best = (int)r->key;
  }
  return best;
}

// The pair cost drifts with the host's load, so every batch of lookups is paired
// with a batch of bare waits and releases taken right before it.
struct Timing {
  double us;       // median time per call
  double pair_us;  // median pair cost measured alongside
  double ratio;    // median of each batch's time / (holds x its pair cost)
};

HANDLE g_semaphore;  // the rule list's semaphore, opened while the lists exist

double pair_batch_us(int calls) {
  double start = now_us();
  for (int i = 0; i < calls; i++) {
    WaitForSingleObject(g_semaphore, INFINITE);
    ReleaseSemaphore(g_semaphore, 1, nullptr);
  }
  return (now_us() - start) / calls;
}

template <typename Work>
Timing interleaved(int batches, int calls, double holds, Work work) {
  std::vector<double> us, pair, ratio;
  for (int b = 0; b < batches; b++) {
    double p = pair_batch_us(calls * (int)holds);
    double start = now_us();
    for (int i = 0; i < calls; i++) work();
    double t = (now_us() - start) / calls;
    us.push_back(t), pair.push_back(p), ratio.push_back(t / (holds * p));
  }
  auto median = [](std::vector<double>& v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
  };
  return Timing{median(us), median(pair), median(ratio)};
}

struct Figures {
  double holds;
  Timing time;
  int key;
};

template <typename Lookup>
Figures measure(Lookup lookup, uint64_t (*holds_so_far)(), int batches, int calls) {
  int key = -1;
  uint64_t before = holds_so_far();
  lookup(&key);
  double holds = (double)(holds_so_far() - before);
  Timing time = interleaved(batches, calls, holds, [&] { lookup(&key); });
  return Figures{holds, time, key};
}

uint64_t all_holds() { return reference_holds() + PFW_GetLockHoldCount(); }
uint64_t library_holds() { return PFW_GetLockHoldCount(); }

bool report(const char* name, Store& s, const Connection& c, int reference_calls, int fast_calls) {
  g_semaphore = OpenSemaphoreA(SEMAPHORE_ALL_ACCESS, FALSE, PFW_RULE_SEMAPHORE_NAME);
  PFW_RULE copy;
  Figures ref = measure(
      [&](int* key) {
        reference_get_rule(s.rules, s.addresses, s.protocols, s.apps, c.port, c.transport, c.address, c.app,
                           c.direction, key, &copy);
      },
      all_holds, 5, reference_calls);
  Figures fast = measure(
      [&](int* key) {
        PFW_GetRule(s.rules, s.addresses, s.protocols, s.apps, c.port, c.transport, c.address, c.app, c.direction, key,
                    &copy);
      },
      library_holds, 9, fast_calls);
  CloseHandle(g_semaphore);
  std::vector<double> scans;
  for (int b = 0; b < 7; b++) {
    double start = now_us();
    for (int i = 0; i < 200; i++) lock_free_scan(s, c);
    scans.push_back((now_us() - start) / 200);
  }
  std::sort(scans.begin(), scans.end());
  double scan = scans[3];
  int scanned = lock_free_scan(s, c);
  bool same = ref.key == fast.key && fast.key == scanned;
  double floor_fast = fast.holds * fast.time.pair_us;
  printf("\n%s  (lists: %d protocols, %d addresses, %d applications, %d rules)\n", name, s.protocols->count,
         s.addresses->count, s.apps->count, s.rules->count);
  printf("  reference: %3.0f holds  %8.1f us/lookup  = %.2f x (holds x pair of %.1f us)\n", ref.holds, ref.time.us,
         ref.time.ratio, ref.time.pair_us);
  printf("  fast     : %3.0f holds  %8.1f us/lookup  = %.2f x (holds x pair of %.1f us)\n", fast.holds, fast.time.us,
         fast.time.ratio, fast.time.pair_us);
  printf("  lock-free scan of the same entries: %.2f us; fast / (holds x pair + scan) = %.2f\n", scan,
         fast.time.us / (floor_fast + scan));
  printf("  fast is %.1f times faster; governing rule %d (%s)\n", ref.time.us / fast.time.us, fast.key,
         same ? "reference, fast and scan agree" : "DISAGREE");
  return same && fast.holds <= 4;
}

// Case (b): one specific and one wildcard entry per list, a rule for each of the 8 mixes.
void fill_one_of_each(Store& s) {
  s.add_wildcards();
  PFW_AddProtocol(s.protocols, 0, "HTTP", PFW_TCP, 80, 1);
  PFW_AddAddress(s.addresses, 0, ip(192, 168, 1, 0), ip(192, 168, 1, 255), "Home Net", PFW_NETWORK_ADDRESS, 1);
  PFW_AddApp(s.apps, 0, "IEXPLORE.EXE", "Browser", 1);
  for (int mix = 0; mix < 8; mix++)
    PFW_AddRule(s.rules, mix & 1, (mix >> 1) & 1, (mix >> 2) & 1, PFW_OUTBOUND, mix % 3, 1);
}

// Full lists with a realistic mix: a service for every well-known port, hosts and
// nets spread over a few private networks, one entry per installed program, and
// rules tying them together with the two defaults first.
void fill_fraction(Store& s, double fraction) {
  s.add_wildcards();
  PFW_AddRule(s.rules, 0, 0, 0, PFW_INBOUND, PFW_DENY, 1);
  PFW_AddRule(s.rules, 0, 0, 0, PFW_OUTBOUND, PFW_ASK, 1);
  char name[64];
  unsigned seed = 12345;
  auto next = [&](unsigned n) { return (seed = seed * 1103515245u + 12345u) / 65536u % n; };
  int protocols = (int)((PFW_PROTOCOL_SLOTS - 1) * fraction), addresses = (int)((PFW_ADDRESS_SLOTS - 1) * fraction);
  int apps = (int)((PFW_APP_SLOTS - 1) * fraction), rules = (int)((PFW_RULE_SLOTS - 2) * fraction);
  for (int i = 0; i < protocols; i++) {
    snprintf(name, sizeof name, "Service %d", i);
    PFW_AddProtocol(s.protocols, 0, name, (PFW_TRANSPORT)(i & 1), 1 + (unsigned)i / 2 * 3);
  }
  for (int i = 0; i < addresses; i++) {
    snprintf(name, sizeof name, "Host %d", i);
    int net = (int)next(4), host = (int)next(250);
    if (i % 4 == 0)
      PFW_AddAddress(s.addresses, 0, ip(10, net, host, 0), ip(10, net, host, 255), name, PFW_NETWORK_ADDRESS);
    else
      PFW_AddAddress(s.addresses, 0, ip(10, net, host, i % 250), ip(10, net, host, i % 250), name, PFW_SINGLE_ADDRESS);
  }
  for (int i = 0; i < apps; i++) {
    snprintf(name, sizeof name, "PROGRAM%03d.EXE", i);
    PFW_AddApp(s.apps, 0, name, "Installed program");
  }
  // The program the busy connection comes from has rules of its own.
  int made = PFW_AddRule(s.rules, 0, 0, 8, PFW_OUTBOUND, PFW_ALLOW, 0);
  made += PFW_AddRule(s.rules, 82, 0, 8, PFW_OUTBOUND, PFW_DENY, 1);
  while (made < rules) {
    int p = next(3) ? (int)next(s.protocols->next_key) : 0;
    int a = next(3) ? (int)next(s.addresses->next_key) : 0;
    int x = next(4) ? (int)next(s.apps->next_key) : 0;
    made += PFW_AddRule(s.rules, p, a, x, (int)next(2), (int)next(3), (int)next(2));
  }
}

// Each case gets lists of its own, removed before the next one is made.
template <typename Fill>
bool run_case(const char* name, Fill fill, const Connection& c, int reference_calls, int fast_calls) {
  Store s;
  if (!s.ok()) {
    printf("the shared lists could not be created\n");
    return false;
  }
  fill(s);
  return report(name, s, c, reference_calls, fast_calls);
}

void fill_installed(Store& s) {
  s.add_wildcards();
  PFW_AddRule(s.rules, 0, 0, 0, PFW_INBOUND, PFW_DENY, 1);
  PFW_AddRule(s.rules, 0, 0, 0, PFW_OUTBOUND, PFW_ASK, 1);
}

}  // namespace

int main() {
  Connection browse{80, PFW_TCP, ip(192, 168, 1, 20), "IEXPLORE.EXE", PFW_OUTBOUND};
  bool ok = run_case("(a) the installed set", fill_installed, browse, 40, 100);
  ok &= run_case("(b) one specific and one wildcard entry per list, 8 rules", fill_one_of_each, browse, 10, 100);

  // A connection that finds a few entries in every full list.
  Connection busy{1 + 40 * 3, PFW_UDP, ip(10, 2, 17, 3), "PROGRAM007.EXE", PFW_OUTBOUND};
  const double fractions[] = {0.25, 0.5, 1.0};
  for (double fraction : fractions) {
    char name[80];
    snprintf(name, sizeof name, "(c) lists filled to %.0f%% of capacity", fraction * 100);
    ok &= run_case(
        name, [&](Store& s) { fill_fraction(s, fraction); }, busy, 10, 50);
  }
  printf("\n%s\n",
         ok ? "every lookup agreed and took at most 4 holds" : "FAILED: a lookup disagreed or took more holds");
  return ok ? 0 : 1;
}
